#include "numeric/text_format.h"

#include <locale.h>
#include <stdlib.h>

#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace vistrel {

namespace {

constexpr int kSignificantDigits = 15;
// Fixed notation covers decimal exponents -4 (0.0001) to 14 (below 1E15).
constexpr int kFixedMinExponent = -4;
constexpr int kFixedMaxExponent = 14;
// FormatGeneral's text of the largest double, rounded up past it by the 15-digit cut.
constexpr long double kLargestDoubleText = 1.79769313486232e308L;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The "C" locale, so that parsing never follows whatever setlocale the program made.
locale_t CLocale() {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c_locale;
}

// Conversions must leave no sticky floating-point flags behind: callers check those flags
// around their own computations.
class PreserveFpFlags {
 public:
  PreserveFpFlags() { std::fegetexceptflag(&flags_, FE_ALL_EXCEPT); }
  ~PreserveFpFlags() { std::fesetexceptflag(&flags_, FE_ALL_EXCEPT); }
  PreserveFpFlags(const PreserveFpFlags&) = delete;
  PreserveFpFlags& operator=(const PreserveFpFlags&) = delete;

 private:
  std::fexcept_t flags_;
};

// The conversion messages quote the text exactly as given.
std::string Quoted(std::string_view text, const char* tail) {
  return "'" + std::string(text) + "' " + tail;
}

// Checks the real-number grammar and gives the text with blanks removed and '.' as separator,
// so that strtold and strtod never see hexadecimal floats, "inf", "nan" or a locale's separator.
bool NormaliseReal(std::string_view text, char decimal_separator, std::string& normalised) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;

  normalised.clear();
  std::size_t i = begin;
  if (i < end && (text[i] == '+' || text[i] == '-')) normalised += text[i++];
  std::size_t mantissa_digits = 0;
  for (; i < end && IsDigit(text[i]); ++i, ++mantissa_digits) normalised += text[i];
  if (i < end && text[i] == decimal_separator) {
    normalised += '.';
    for (++i; i < end && IsDigit(text[i]); ++i, ++mantissa_digits) normalised += text[i];
  }
  if (mantissa_digits == 0) return false;
  if (i < end && (text[i] == 'e' || text[i] == 'E')) {
    normalised += 'e';
    ++i;
    if (i < end && (text[i] == '+' || text[i] == '-')) normalised += text[i++];
    std::size_t exponent_digits = 0;
    for (; i < end && IsDigit(text[i]); ++i, ++exponent_digits) normalised += text[i];
    if (exponent_digits == 0) return false;
  }
  return i == end;
}

}  // namespace

std::string FormatGeneral(long double value, char decimal_separator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";  // negative zero too

  PreserveFpFlags keep_flags;
  // "%.14Le" rounds to 15 significant digits exactly, in one step. Only its digits and exponent
  // are used: the decimal point it prints follows the C locale.
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*Le", kSignificantDigits - 1, value);

  std::string digits;
  int exponent = 0;
  const char* p = buffer;
  for (; *p != '\0' && *p != 'e'; ++p) {
    if (IsDigit(*p)) digits += *p;
  }
  if (*p == 'e') exponent = std::atoi(p + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string text;
  if (value < 0) text += '-';
  if (exponent >= kFixedMinExponent && exponent <= kFixedMaxExponent) {
    if (exponent >= 0) {
      const std::size_t integer_length = static_cast<std::size_t>(exponent) + 1;
      if (digits.size() <= integer_length) {
        text += digits;
        text.append(integer_length - digits.size(), '0');
      } else {
        text.append(digits, 0, integer_length);
        text += decimal_separator;
        text.append(digits, integer_length);
      }
    } else {
      text += '0';
      text += decimal_separator;
      text.append(static_cast<std::size_t>(-exponent - 1), '0');
      text += digits;
    }
  } else {
    text += digits[0];
    if (digits.size() > 1) {
      text += decimal_separator;
      text.append(digits, 1);
    }
    text += 'E';
    text += std::to_string(exponent);
  }
  return text;
}

bool TryStrToInt(std::string_view text, std::int32_t& value) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == text.size()) return false;

  // Accumulated as a magnitude: decimal allows up to 2^31 (for the negative limit), hexadecimal
  // up to 2^32 - 1, which is read as the 32-bit pattern ("$FFFFFFFF" is -1).
  const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = hex ? HexDigitValue(text[i]) : (IsDigit(text[i]) ? text[i] - '0' : -1);
    if (digit < 0) return false;
    magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
    if (magnitude > limit) return false;
  }
  std::uint32_t pattern = static_cast<std::uint32_t>(magnitude);
  if (negative) pattern = 0u - pattern;
  value = static_cast<std::int32_t>(pattern);
  return true;
}

std::int32_t StrToInt(std::string_view text) {
  std::int32_t value = 0;
  if (!TryStrToInt(text, value)) {
    throw EConvertError(Quoted(text, "n'est pas une valeur entière correcte"));
  }
  return value;
}

bool TryStrToFloat(std::string_view text, long double& value, char decimal_separator) {
  std::string normalised;
  if (!NormaliseReal(text, decimal_separator, normalised)) return false;
  PreserveFpFlags keep_flags;
  char* parsed_end = nullptr;
  const long double result = strtold_l(normalised.c_str(), &parsed_end, CLocale());
  if (parsed_end != normalised.c_str() + normalised.size()) return false;
  // Overflow is an error; an underflow keeps strtold's nearest value (zero or subnormal).
  if (std::isinf(result)) return false;
  value = result;
  return true;
}

bool TryStrToDouble(std::string_view text, double& value, char decimal_separator) {
  std::string normalised;
  if (!NormaliseReal(text, decimal_separator, normalised)) return false;
  PreserveFpFlags keep_flags;
  char* parsed_end = nullptr;
  double result = strtod_l(normalised.c_str(), &parsed_end, CLocale());
  if (parsed_end != normalised.c_str() + normalised.size()) return false;
  if (std::isinf(result)) {
    // The largest double written with 15 digits, 1.79769313486232E308, lies just above it; so
    // does every text up to that one, which must read back as the largest double, not fail.
    const long double extended = strtold_l(normalised.c_str(), nullptr, CLocale());
    if (!(std::fabs(extended) <= kLargestDoubleText)) return false;
    result = std::copysign(std::numeric_limits<double>::max(), result);
  }
  value = result;
  return true;
}

long double StrToFloat(std::string_view text, char decimal_separator) {
  long double value = 0;
  if (!TryStrToFloat(text, value, decimal_separator)) {
    throw EConvertError(Quoted(text, "n'est pas une valeur en virgule flottante correcte"));
  }
  return value;
}

std::string FormatShortestGeneral(double value) {
  if (!std::isfinite(value)) return FormatGeneral(value, '.');
  char buf[64];
  const auto end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific).ptr;
  const std::string text(buf, end);  // [-]d[.ddd]e[+-]XX
  const std::size_t e = text.find('e');
  const bool negative = text[0] == '-';
  std::string digits;
  for (std::size_t i = negative ? 1 : 0; i < e; ++i) {
    if (text[i] != '.') digits += text[i];
  }
  const int exponent = std::atoi(text.c_str() + e + 1);
  const double magnitude = std::fabs(value);
  std::string out = negative ? "-" : "";
  if (magnitude == 0) return out + "0";
  if (magnitude >= 1e-4 && magnitude < 1e15) {
    if (exponent < 0) {
      out += "0." + std::string(std::size_t(-exponent - 1), '0') + digits;
    } else if (std::size_t(exponent) + 1 >= digits.size()) {
      out += digits + std::string(std::size_t(exponent) + 1 - digits.size(), '0');
    } else {
      out += digits.substr(0, std::size_t(exponent) + 1) + "." +
             digits.substr(std::size_t(exponent) + 1);
    }
  } else {
    out += digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += "E" + std::to_string(exponent);
  }
  return out;
}

std::string FormatGeneralReadable(double value) {
  std::string text = FormatGeneral(value, '.');
  long double read = 0;
  if (std::isfinite(value) && TryStrToFloat(text, read, '.') &&
      std::fabs(read) > std::numeric_limits<double>::max()) {
    text = FormatShortestGeneral(value);
  }
  return text;
}

}  // namespace vistrel
