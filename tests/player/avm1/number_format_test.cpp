// Number printing and string-to-number reading against the reference player's rules.
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "avm1/value.h"

namespace quillon::player::avm1 {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");

struct Printed {
  double n;
  const char* text;
};

TEST(NumberFormatTest, PrintsFifteenSignificantDigits) {
  const Printed cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {1, "1"},
      {-7, "-7"},
      {0.1, "0.1"},
      {0.1 + 0.2, "0.3"},
      {-345.0026666666666, "-345.002666666667"},
      {std::sqrt(2.0), "1.4142135623731"},  // the 15th digit is a zero, dropped
      {3.141592653589793, "3.14159265358979"},
      {0.14999990000000005, "0.1499999"},
      {123456789012345.6, "123456789012346"},
      {999999999999999, "999999999999999"},
      {100000000000000, "100000000000000"},
      {1e15, "1e+15"},
      {-8639999999999980, "-8.63999999999998e+15"},
      {2e19, "2e+19"},
      {1e21, "1e+21"},
      {1.2345678901234568e20, "1.23456789012346e+20"},
      {9.999999999999999e22, "1e+23"},  // rounding carries into the exponent
      {0.0001, "0.0001"},
      {0.000123, "0.000123"},
      {0.00001, "1e-5"},
      {1.5e-7, "1.5e-7"},
      {-2.5e-10, "-2.5e-10"},
      {5e-25, "5e-25"},
      {1e-98, "1e-98"},
      {std::numeric_limits<double>::max(), "1.79769313486231e+308"},
      {std::numeric_limits<double>::denorm_min(), "4.94065645841247e-324"},
      {kNaN, "NaN"},
      {kInf, "Infinity"},
      {-kInf, "-Infinity"},
  };
  for (const auto& c : cases) EXPECT_EQ(NumberToString(c.n), c.text) << c.text;
}

TEST(NumberFormatTest, ExactHalvesRoundAwayFromZero) {
  // 1000000000000005 is exact in binary; to 15 digits it lies halfway.
  EXPECT_EQ(NumberToString(1000000000000005.0), "1.00000000000001e+15");
  EXPECT_EQ(NumberToString(-1000000000000005.0), "-1.00000000000001e+15");
  EXPECT_EQ(NumberToString(1000000000000006.0), "1.00000000000001e+15");
  EXPECT_EQ(NumberToString(1000000000000004.0), "1e+15");
}

TEST(NumberFormatTest, OtherRadixesPrintTheIntegerPart) {
  EXPECT_EQ(NumberToStringRadix(4123, 2), "1000000011011");
  EXPECT_EQ(NumberToStringRadix(4123, 13), "1b52");
  EXPECT_EQ(NumberToStringRadix(4123, 36), "36j");
  EXPECT_EQ(NumberToStringRadix(-123.1, 16), "-7b");
  EXPECT_EQ(NumberToStringRadix(-2147483647.9, 36), "-zik0zj");
  EXPECT_EQ(NumberToStringRadix(255, 16), "ff");
  EXPECT_EQ(NumberToStringRadix(0, 2), "0");
  // Radix 10 and radixes out of range print as toString() does.
  EXPECT_EQ(NumberToStringRadix(-123.1, 10), "-123.1");
  EXPECT_EQ(NumberToStringRadix(4123.5, 0), "4123.5");
  EXPECT_EQ(NumberToStringRadix(4123, 37), "4123");
  EXPECT_EQ(NumberToStringRadix(kNaN, 10), "NaN");
}

TEST(NumberFormatTest, UnrepresentableIntegersPrintTheMinimumsDigitsBelowZero) {
  // NaN, infinities and out-of-range values become INT32_MIN, whose remainders are negative.
  EXPECT_EQ(NumberToStringRadix(kNaN, 2), "-/" + std::string(31, '0'));
  EXPECT_EQ(NumberToStringRadix(kNaN, 16), "-(0000000");
  EXPECT_EQ(NumberToStringRadix(kInf, 8), "-.0000000000");
  EXPECT_EQ(NumberToStringRadix(1e10, 32), "-.000000");
  EXPECT_EQ(NumberToStringRadix(kNaN, 36), "-\r\x1e\x1c" "0\r\x1c");
}

struct Read {
  const char* text;
  int version;
  double want;
};

TEST(NumberFormatTest, ReadsStringsAsScriptsConvertThem) {
  const Read cases[] = {
      {"12", 7, 12},
      {" \t\r\n12", 7, 12},
      {"+5", 7, 5},
      {"-5.5", 7, -5.5},
      {".5", 7, 0.5},
      {"5.", 7, 5},
      {"123e-1", 7, 12.3},
      {"1E3", 7, 1000},
      {"-0", 7, 0},
      {"0x10", 6, 16},
      {"0XfF", 6, 255},
      {"-0x10", 6, -16},
      {"010", 6, 8},
      {"+010", 6, 8},
      {"-010", 6, -8},
      {" 010", 6, 10},  // white space first: decimal
      {"09", 6, 9},
      {"037777777777", 6, -1},  // octal and hex wrap to 32 bits
      {"-037777777777", 6, 1},
      {"0x1999999981ffffff", 6, -2113929217},
      {"010", 5, 10},
      {"1e400", 7, kInf},
      {"-1e400", 7, -kInf},
      {"1e-400", 7, 0},
      {"", 4, 0},
      {"abc", 4, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(StringToNumber(c.text, c.version), c.want) << c.text;
}

TEST(NumberFormatTest, OldMoviesReadTheNumberAtTheFrontOfAString) {
  struct Case {
    const char* text;
    double want;
  };
  const Case cases[] = {{"11ABC", 11},   {"12.34A", 12.34}, {"013", 13},   {"0x13", 0},    {"ABC", 0},
                        {"-2.5kg", -2.5}, {"1e3x", 1000},    {"1e", 1},     {"1e+", 1},     {"3.4.5", 3.4},
                        {"  7 ", 7},      {"NaN", 0},        {".5.", 0.5},  {"+", 0}};
  for (const auto& c : cases) EXPECT_EQ(StringToNumber(c.text, 4), c.want) << c.text;
  // From SWF 5 on the whole string has to be a number.
  EXPECT_TRUE(std::isnan(StringToNumber("11ABC", 5)));
  EXPECT_TRUE(std::isnan(StringToNumber("12.34A", 7)));
}

TEST(NumberFormatTest, RejectsWhatIsNotAWholeNumber) {
  for (const char* text : {"", " ", "5 ", "\r12\r", "100a", "inf", "Infinity", "-Infinity", "NaN", "0x",
                           "0xhello", "0x12g", ".", "e5", "1e", "1e+", "--1", "true", "1,5"})
    EXPECT_TRUE(std::isnan(StringToNumber(text, 7))) << text;
  EXPECT_TRUE(std::isnan(StringToNumber("", 5)));
  EXPECT_TRUE(std::isnan(StringToNumber("0x10", 5)));
  EXPECT_TRUE(std::signbit(StringToNumber("-0", 7)));
}

TEST(NumberFormatTest, IntegerConversionsWrap) {
  EXPECT_EQ(ToInt32(4294967297.0), 1);
  EXPECT_EQ(ToInt32(-4294967294.0), 2);
  EXPECT_EQ(ToInt32(2147483648.0), -2147483647 - 1);
  EXPECT_EQ(ToInt32(-1.9), -1);
  EXPECT_EQ(ToInt32(1.9), 1);
  EXPECT_EQ(ToInt32(kNaN), 0);
  EXPECT_EQ(ToInt32(kInf), 0);
  EXPECT_EQ(ToInt32(1e300), 0);  // a multiple of 2^32
  EXPECT_EQ(ToUint32(-1), 4294967295u);
  EXPECT_EQ(ToUint32(4294967296.0 + 5), 5u);
  EXPECT_EQ(ToUint32(-kInf), 0u);
}

}  // namespace
}  // namespace quillon::player::avm1
