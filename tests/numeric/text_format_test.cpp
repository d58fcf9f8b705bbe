#include "numeric/text_format.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace vistrel {
namespace {

struct FormatCase {
  long double value;
  const char* expected;
  char separator = '.';
};

TEST(FormatGeneral, FifteenSignificantDigitsFixedOrScientificAndNames) {
  const FormatCase cases[] = {
      {0.0L, "0"},
      {-0.0L, "0"},
      {0.1L, "0.1"},
      {0.5L, "0.5"},
      {12.5L, "12.5"},
      {100.0L, "100"},
      {-2.0L, "-2"},
      {-1234.5L, "-1234.5"},
      {1.0L / 3.0L, "0.333333333333333"},
      {2.0L / 3.0L, "0.666666666666667"},
      {123.456, "123.456"},  // a double: its binary error lies beyond 15 digits
      // Lower boundary of fixed notation.
      {0.0001L, "0.0001"},
      {-0.0001L, "-0.0001"},
      {0.00015L, "0.00015"},
      {0.00009999999999999999L, "0.0001"},  // rounds up into fixed notation
      {0.0000999999999999L, "9.99999999999E-5"},
      {0.00005L, "5E-5"},
      {-0.00001L, "-1E-5"},
      // Upper boundary of fixed notation.
      {1e14L, "100000000000000"},
      {999999999999999.0L, "999999999999999"},
      {999999999999999.5L, "1E15"},  // rounds up out of fixed notation
      {1e15L, "1E15"},
      {-1e15L, "-1E15"},
      {1.5e20L, "1.5E20"},
      {123456789012345678.0L, "1.23456789012346E17"},
      {1e100L, "1E100"},
      {1e-100L, "1E-100"},
      {std::numeric_limits<long double>::max(), "1.18973149535723E4932"},
      {std::numeric_limits<long double>::denorm_min(), "3.64519953188247E-4951"},
      // Non-finite values give names.
      {std::numeric_limits<long double>::infinity(), "INF"},
      {-std::numeric_limits<long double>::infinity(), "-INF"},
      {std::numeric_limits<long double>::quiet_NaN(), "NAN"},
      // The decimal separator replaces the full stop only.
      {12.5L, "12,5", ','},
      {-0.00015L, "-0,00015", ','},
      {1.5e20L, "1,5E20", ','},
      {100.0L, "100", ','},
  };
  for (const FormatCase& c : cases) {
    EXPECT_EQ(FormatGeneral(c.value, c.separator), c.expected)
        << "value " << static_cast<double>(c.value);
  }
}

// Any decimal of at most 15 significant digits survives double -> text -> double unchanged, over
// the whole exponent range of both notations.
TEST(FormatGeneral, RoundTripsFifteenDigitDoubles) {
  std::mt19937_64 random(20240517);
  std::uniform_int_distribution<std::int64_t> mantissa(100000000000000, 999999999999999);
  std::uniform_int_distribution<int> exponent(-300, 300);
  for (int n = 0; n < 20000; ++n) {
    const std::string decimal =
        std::to_string(mantissa(random)) + "e" + std::to_string(exponent(random) - 14);
    const double value = std::strtod(decimal.c_str(), nullptr) * (n % 2 == 0 ? 1 : -1);
    const std::string text = FormatGeneral(value);
    double parsed = 0;
    ASSERT_TRUE(TryStrToDouble(text, parsed)) << text;
    ASSERT_EQ(parsed, value) << decimal << " -> " << text;
  }
}

struct IntCase {
  const char* text;
  std::int32_t expected;
};

TEST(StrToInt, AcceptsDecimalAndHexadecimalWithin32Bits) {
  const IntCase cases[] = {
      {"0", 0},
      {"123", 123},
      {"-5", -5},
      {"+7", 7},
      {"  42", 42},
      {"\t-42", -42},
      {"000012", 12},
      {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {"$FF", 255},
      {"$ff", 255},
      {"0x1F", 31},
      {"0X1f", 31},
      {"-$10", -16},
      {"$0000000001", 1},
      // Hexadecimal texts are 32-bit patterns.
      {"$7FFFFFFF", 2147483647},
      {"$80000000", std::numeric_limits<std::int32_t>::min()},
      {"$FFFFFFFF", -1},
      {"0xFFFFFFFE", -2},
  };
  for (const IntCase& c : cases) {
    std::int32_t value = 12345;
    EXPECT_TRUE(TryStrToInt(c.text, value)) << c.text;
    EXPECT_EQ(value, c.expected) << c.text;
    EXPECT_EQ(StrToInt(c.text), c.expected) << c.text;
  }
}

TEST(StrToInt, RejectsEverythingElseWithTheQuotedText) {
  const char* const cases[] = {
      "",     " ",    "+",     "-",    "2147483648", "-2147483649", "99999999999999999999",
      "12.5", "12.0", "1,5",   "abc",  "12 ",        "12a",         "1e3",
      "$",    "0x",   "$G",    "0x-1", "$100000000", "++1",         "- 1",
      "\t",   "12\n", "0b101",
  };
  for (const char* text : cases) {
    std::int32_t value = 12345;
    EXPECT_FALSE(TryStrToInt(text, value)) << '"' << text << '"';
    EXPECT_EQ(value, 12345) << "a failed conversion leaves the output alone";
    try {
      StrToInt(text);
      ADD_FAILURE() << "no exception for \"" << text << '"';
    } catch (const EConvertError& error) {
      EXPECT_EQ(error.what(), "'" + std::string(text) + "' n'est pas une valeur entière correcte");
    }
  }
}

struct FloatCase {
  const char* text;
  char separator;
  long double expected;
};

TEST(StrToFloat, AcceptsSignDigitsSeparatorAndExponent) {
  const FloatCase cases[] = {
      {"1.5", '.', 1.5L},
      {"-2", '.', -2.0L},
      {"+0.25", '.', 0.25L},
      {"  3.5  ", '.', 3.5L},
      {"\t7\t", '.', 7.0L},
      {"1e3", '.', 1000.0L},
      {"1E-3", '.', 0.001L},
      {"-1.5e+2", '.', -150.0L},
      {".5", '.', 0.5L},
      {"5.", '.', 5.0L},
      {"1,5", ',', 1.5L},
      {"-0,00015", ',', -0.00015L},
      {"0.1", '.', 0.1L},  // to extended precision: not the double 0.1
      {"123456789012345678901234567890", '.', 1.23456789012345678901234567890e29L},
      {"1e4000", '.', 1e4000L},  // beyond double, within long double
      {"1e-5000", '.', 0.0L},    // underflow gives the nearest value, not an error
  };
  for (const FloatCase& c : cases) {
    long double value = 12345;
    EXPECT_TRUE(TryStrToFloat(c.text, value, c.separator)) << c.text;
    EXPECT_EQ(value, c.expected) << c.text;
    EXPECT_EQ(StrToFloat(c.text, c.separator), c.expected) << c.text;
  }
}

TEST(StrToFloat, RejectsEverythingElseWithTheQuotedText) {
  const struct {
    const char* text;
    char separator;
  } cases[] = {
      {"", '.'},      {" ", '.'},       {"abc", '.'},     {"1e", '.'},     {".", '.'},
      {"1,5", '.'},   {"1.5", ','},     {"1.2.3", '.'},   {"1e5.5", '.'},  {"--1", '.'},
      {"1 000", '.'}, {"inf", '.'},     {"nan", '.'},     {"0x10", '.'},   {"1e+", '.'},
      {"e5", '.'},    {"1e99999", '.'}, {"-1e5000", '.'}, {"1.5x", '.'},   {"\n1", '.'},
      {"+", '.'},     {"-.", '.'},      {"1,000.5", '.'}, {"1.5 e3", '.'},
  };
  for (const auto& c : cases) {
    long double value = 12345;
    EXPECT_FALSE(TryStrToFloat(c.text, value, c.separator)) << '"' << c.text << '"';
    EXPECT_EQ(value, 12345) << "a failed conversion leaves the output alone";
    try {
      StrToFloat(c.text, c.separator);
      ADD_FAILURE() << "no exception for \"" << c.text << '"';
    } catch (const EConvertError& error) {
      EXPECT_EQ(error.what(),
                "'" + std::string(c.text) + "' n'est pas une valeur en virgule flottante correcte");
    }
  }
}

TEST(TryStrToDouble, RoundsOnceToTheNearestDouble) {
  // Rounding through long double first lands one unit away from the nearest double here.
  const char* const text = "4.23746568286588E230";
  const double nearest = std::strtod(text, nullptr);
  ASSERT_NE(static_cast<double>(StrToFloat(text)), nearest);
  double value = 0;
  EXPECT_TRUE(TryStrToDouble(text, value));
  EXPECT_EQ(value, nearest);

  EXPECT_TRUE(TryStrToDouble(" -1,5e308 ", value, ','));
  EXPECT_EQ(value, -1.5e308);
  value = 7;
  for (const char* rejected : {"1e309", "-2e308", "1.5e4000", "abc", "1,5", ""}) {
    EXPECT_FALSE(TryStrToDouble(rejected, value)) << rejected;
  }
  EXPECT_EQ(value, 7.0);
}

TEST(StrToFloat, LeavesNoFloatingPointFlagsBehind) {
  std::feclearexcept(FE_ALL_EXCEPT);
  long double value = 0;
  EXPECT_FALSE(TryStrToFloat("1e99999", value));
  EXPECT_TRUE(TryStrToFloat("1e-5000", value));
  double narrow = 0;
  EXPECT_FALSE(TryStrToDouble("1e309", narrow));
  EXPECT_EQ(FormatGeneral(1.0L / 3.0L), "0.333333333333333");
  EXPECT_EQ(std::fetestexcept(FE_OVERFLOW | FE_UNDERFLOW | FE_INVALID | FE_DIVBYZERO), 0);
}

// A program may switch the C locale to one with a decimal comma; the conversions must not follow.
TEST(TextFormat, IgnoresTheProcessLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  // The build makes a French locale of its own; the C library looks in LOCPATH first.
  if (std::getenv("LOCPATH") == nullptr) ::setenv("LOCPATH", VISTREL_TEST_LOCALES, 0);
  const char* const comma_locales[] = {"fr_FR.UTF-8", "fr_FR.utf8", "de_DE.UTF-8", "de_DE.utf8"};
  const char* chosen = nullptr;
  for (const char* name : comma_locales) {
    if (std::setlocale(LC_ALL, name) != nullptr) {
      chosen = name;
      break;
    }
  }
  if (chosen == nullptr) GTEST_SKIP() << "no decimal-comma locale installed";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");

  EXPECT_EQ(FormatGeneral(12.5L), "12.5");
  EXPECT_EQ(FormatGeneral(-1.5e20L), "-1.5E20");
  EXPECT_EQ(FormatGeneral(12.5L, ','), "12,5");
  EXPECT_EQ(StrToFloat("12.5"), 12.5L);
  EXPECT_EQ(StrToFloat("12,5", ','), 12.5L);
  long double value = 0;
  EXPECT_FALSE(TryStrToFloat("12,5", value, '.'));
  std::setlocale(LC_ALL, previous.c_str());
}

}  // namespace
}  // namespace vistrel
