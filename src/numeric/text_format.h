#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "numeric/exception.h"

namespace vistrel {

// Conversion failure of a whole-number or real text.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// General format with 15 significant digits: fixed notation for magnitudes from 0.0001 up to
// below 1E15 (and for zero, written "0"), otherwise "E" notation with no plus sign and no
// leading zeros in the exponent (5E-5, 1.5E20). No trailing zeros; decimal_separator replaces
// the full stop (the user's locale for display, always '.' in files).
std::string FormatGeneral(long double value, char decimal_separator = '.');

// The same notation with the fewest significant digits (at most 17) that read back as this very
// double, '.' as separator.
std::string FormatShortestGeneral(double value);

// FormatGeneral's 15 digits with '.', except where their text lies beyond the largest double:
// other programs read 1.79769313486232E308 as infinity, so such a value is written with the
// shortest text that reads back (1.7976931348623157E308). For numbers in files.
std::string FormatGeneralReadable(double value);

// Whole number: optional leading blanks, optional sign, decimal digits or hexadecimal digits
// after "$" or "0x"; nothing may follow; must fit in 32 bits. Throws EConvertError
// "'%s' n'est pas une valeur entière correcte".
std::int32_t StrToInt(std::string_view text);
bool TryStrToInt(std::string_view text, std::int32_t& value);

// Real number: optional blanks around, optional sign, digits with at most one decimal
// separator, optional exponent. Throws EConvertError
// "'%s' n'est pas une valeur en virgule flottante correcte".
long double StrToFloat(std::string_view text, char decimal_separator = '.');
bool TryStrToFloat(std::string_view text, long double& value, char decimal_separator = '.');

// The same text rules, rounded once, straight to the nearest double (going through long double
// would round twice and can miss it by one unit in the last place). False for a text
// TryStrToFloat rejects and for a value beyond the range of a double, except that texts up to
// 1.79769313486232E308 (the largest double in general format) read as the largest double.
bool TryStrToDouble(std::string_view text, double& value, char decimal_separator = '.');

}  // namespace vistrel
