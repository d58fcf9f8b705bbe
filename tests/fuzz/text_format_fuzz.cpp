// Whole-number and real conversions on arbitrary text, against a plain reading of their grammar,
// and FormatGeneral on arbitrary doubles, which must read back to 15 significant digits.

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_entry.h"
#include "numeric/text_format.h"

namespace vistrel::fuzz {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Blanks, sign, "$" or "0x", digits, nothing else; in 32 bits (hexadecimal as a bit pattern).
bool ExpectedInt(std::string_view text, std::int32_t& value) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  std::string digits(text.substr(i));
  if (digits.empty()) return false;
  for (const char c : digits) {
    if (!(hex ? IsHexDigit(c) : IsDigit(c))) return false;
  }
  errno = 0;
  const unsigned long long magnitude = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
  if (errno == ERANGE) return false;
  const unsigned long long limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  if (magnitude > limit) return false;
  std::uint32_t pattern = static_cast<std::uint32_t>(magnitude);
  if (negative) pattern = 0u - pattern;
  value = static_cast<std::int32_t>(pattern);
  return true;
}

void CheckFormat(long double value, char separator) {
  const std::string text = FormatGeneral(value, separator);
  Require(!text.empty() && text.size() <= 26, "formatted text empty or too long: " + text);
  if (!std::isfinite(value)) return;
  long double back = 0;
  Require(TryStrToFloat(text, back, separator), "formatted value does not read: " + text);
  const long double error = std::fabs(back - value);
  // 15 digits: half a unit in the 15th digit is at most 5E-15 of the value.
  Require(std::fabs(value) < LDBL_MIN || error <= std::fabs(value) * 5.000001e-15L,
          "formatted value reads back wrong: " + text);
  // The project files hold doubles: every finite double's text must read back as a double.
  if (std::fabs(value) <= DBL_MAX && value == static_cast<double>(value)) {
    double as_double = 0;
    Require(TryStrToDouble(text, as_double, separator), "formatted double does not read: " + text);
  }
  const bool scientific = text.find('E') != std::string::npos;
  const long double magnitude = std::fabs(back);
  Require(value == 0 || scientific == (magnitude < 0.0001L || magnitude >= 1e15L),
          "wrong notation: " + text);
}

}  // namespace

int NumberConversions(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const char separator = (data[0] & 1) != 0 ? ',' : '.';
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  std::int32_t expected = 0, actual = 0;
  const bool expected_ok = ExpectedInt(text, expected);
  Require(TryStrToInt(text, actual) == expected_ok, "whole number accepted or refused wrongly");
  if (expected_ok) Require(actual == expected, "whole number read wrong");
  try {
    Require(StrToInt(text) == actual && expected_ok, "StrToInt disagrees with TryStrToInt");
  } catch (const EConvertError& e) {
    Require(!expected_ok, "StrToInt refuses what TryStrToInt reads");
    Require(std::string_view(e.what()) ==
                UpToNul("'" + std::string(text) + "' n'est pas une valeur entière correcte"),
            "wrong whole-number message");
  }

  long double real = 0;
  const bool real_ok = TryStrToFloat(text, real, separator);
  double real_double = 0;
  const bool double_ok = TryStrToDouble(text, real_double, separator);
  Require(!double_ok || real_ok, "a double reads where the extended real does not");
  if (double_ok) {
    Require(std::fabs(static_cast<long double>(real_double) - real) <=
                std::fabs(real) * 1.2e-16L + 5e-324L,
            "double and extended readings differ by more than a rounding");
  }
  if (real_ok) {
    Require(std::isfinite(real), "a real reads as infinite");
    CheckFormat(real, separator);
  }
  try {
    Require(StrToFloat(text, separator) == real && real_ok, "StrToFloat disagrees");
  } catch (const EConvertError& e) {
    Require(!real_ok, "StrToFloat refuses what TryStrToFloat reads");
    Require(std::string_view(e.what()) ==
                UpToNul("'" + std::string(text) +
                        "' n'est pas une valeur en virgule flottante correcte"),
            "wrong real message");
  }

  // The same bytes as a double's bit pattern, formatted and read back.
  if (size >= 1 + sizeof(double)) {
    double bits;
    std::memcpy(&bits, data + 1, sizeof bits);
    CheckFormat(bits, separator);
  }
  return 0;
}

}  // namespace vistrel::fuzz

VISTREL_FUZZ_MAIN(vistrel::fuzz::NumberConversions)
