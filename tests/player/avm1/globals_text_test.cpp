// parseInt, parseFloat, isNaN, isFinite, escape and unescape.
#include "avm1/classes/globals_text.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "avm1/fake_host.h"

namespace quillon::player::avm1::testing {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

Value Invoke(Rig& rig, const char* fn, std::vector<Value> args) {
  return rig.vm.CallValue(rig.vm.global()->Get(fn), {}, args);
}

double Num(Rig& rig, const char* fn, std::vector<Value> args) {
  const Value v = Invoke(rig, fn, std::move(args));
  EXPECT_TRUE(v.IsNumber()) << fn;
  return v.number;
}

Value S(const char* s) { return Value::Str(s); }
Value N(double n) { return Value::Num(n); }

TEST(GlobalsTextTest, ParseIntReadsPrefixesAndRadixes) {
  Rig rig;
  EXPECT_EQ(Num(rig, "parseInt", {S("42")}), 42);
  EXPECT_EQ(Num(rig, "parseInt", {S(" \t-42px")}), -42);
  EXPECT_EQ(Num(rig, "parseInt", {S("3.75")}), 3);
  EXPECT_EQ(Num(rig, "parseInt", {S("0x3F8")}), 1016);
  EXPECT_EQ(Num(rig, "parseInt", {S("-0x1f")}), -31);
  EXPECT_EQ(Num(rig, "parseInt", {S("0777")}), 511);  // a leading zero means octal
  EXPECT_EQ(Num(rig, "parseInt", {S("08")}), 0);
  EXPECT_EQ(Num(rig, "parseInt", {S("777"), N(8)}), 511);
  EXPECT_EQ(Num(rig, "parseInt", {S("0777"), N(10)}), 777);
  EXPECT_EQ(Num(rig, "parseInt", {S("101"), N(2)}), 5);
  EXPECT_EQ(Num(rig, "parseInt", {S("ff"), N(16)}), 255);
  EXPECT_EQ(Num(rig, "parseInt", {S("0xff"), N(16)}), 255);
  EXPECT_EQ(Num(rig, "parseInt", {S("Zz"), N(36)}), 35 * 36 + 35);
  EXPECT_EQ(Num(rig, "parseInt", {S("12"), Value::Undefined()}), 12);
  EXPECT_EQ(Num(rig, "parseInt", {N(-7.9)}), -7);
  for (auto args : std::vector<std::vector<Value>>{{S("")}, {S("abc")}, {S("0x")}, {S("-")}, {S("12"), N(1)},
                                                    {S("12"), N(37)}, {S("9"), N(8)}, {S("Infinity")}})
    EXPECT_TRUE(std::isnan(Num(rig, "parseInt", args)));
  EXPECT_TRUE(Invoke(rig, "parseInt", {}).IsUndefined());
}

TEST(GlobalsTextTest, ParseFloatReadsTheLongestNumberItCan) {
  Rig rig;
  EXPECT_EQ(Num(rig, "parseFloat", {S("3.25abc")}), 3.25);
  EXPECT_EQ(Num(rig, "parseFloat", {S(" \r\n\t-1.5e3x")}), -1500);
  EXPECT_EQ(Num(rig, "parseFloat", {S("007.5")}), 7.5);
  EXPECT_EQ(Num(rig, "parseFloat", {S("+.5e1")}), 5);
  EXPECT_EQ(Num(rig, "parseFloat", {S("-.25")}), -0.25);
  EXPECT_EQ(Num(rig, "parseFloat", {S("4 5")}), 4);
  EXPECT_EQ(Num(rig, "parseFloat", {S("0x1A")}), 0);
  EXPECT_EQ(Num(rig, "parseFloat", {S("2e")}), 2);
  EXPECT_EQ(Num(rig, "parseFloat", {S("2e+")}), 2);
  EXPECT_EQ(Num(rig, "parseFloat", {S("2E2E2")}), 200);
  EXPECT_EQ(Num(rig, "parseFloat", {S("1e999")}), kInf);
  EXPECT_EQ(Num(rig, "parseFloat", {N(1.5)}), 1.5);
  // The reference's oddities: later dots are skipped, then an exponent no longer counts, and
  // the exponent wraps at 32 bits.
  EXPECT_EQ(Num(rig, "parseFloat", {S("1.2.3")}), 1.23);
  EXPECT_EQ(Num(rig, "parseFloat", {S("1.2.3e5")}), 1.23);
  EXPECT_EQ(Num(rig, "parseFloat", {S("25e-1.5")}), 2.5);
  EXPECT_EQ(Num(rig, "parseFloat", {S("1e4294967298")}), 100);
  for (const char* s : {"", "-", ".", "e5", "abc", "Infinity", "-Infinity", "true", "\xC4\xB1"})
    EXPECT_TRUE(std::isnan(Num(rig, "parseFloat", {S(s)}))) << s;
  EXPECT_TRUE(Invoke(rig, "parseFloat", {}).IsUndefined());
}

TEST(GlobalsTextTest, IsNaNAndIsFinite) {
  Rig v7(7), v6(6);
  EXPECT_TRUE(Invoke(v7, "isNaN", {}).boolean);
  EXPECT_FALSE(Invoke(v7, "isNaN", {S("12")}).boolean);
  EXPECT_TRUE(Invoke(v7, "isNaN", {S("12 ")}).boolean);
  EXPECT_TRUE(Invoke(v7, "isNaN", {Value::Undefined()}).boolean);
  EXPECT_FALSE(Invoke(v6, "isNaN", {Value::Undefined()}).boolean);  // undefined is 0 before SWF 7
  EXPECT_FALSE(Invoke(v7, "isFinite", {}).boolean);
  EXPECT_FALSE(Invoke(v6, "isFinite", {}).boolean);
  EXPECT_TRUE(Invoke(v7, "isFinite", {S("-5")}).boolean);
  EXPECT_FALSE(Invoke(v7, "isFinite", {S("1e999")}).boolean);
  EXPECT_FALSE(Invoke(v7, "isFinite", {Value::Null()}).boolean);
  EXPECT_TRUE(Invoke(v6, "isFinite", {Value::Null()}).boolean);
}

TEST(GlobalsTextTest, EscapeLeavesOnlyLettersAndDigits) {
  Rig rig;
  EXPECT_EQ(Invoke(rig, "escape", {S("AZaz09")}).string, "AZaz09");
  EXPECT_EQ(Invoke(rig, "escape", {S("a b+c@d.e_f-g*h/i")}).string, "a%20b%2Bc%40d%2Ee%5Ff%2Dg%2Ah%2Fi");
  EXPECT_EQ(Invoke(rig, "escape", {S("%\n~")}).string, "%25%0A%7E");
  EXPECT_EQ(Invoke(rig, "escape", {S("\xC4\x80")}).string, "%C4%80");
  EXPECT_EQ(Invoke(rig, "escape", {N(1.5)}).string, "1%2E5");
  EXPECT_TRUE(Invoke(rig, "escape", {}).IsUndefined());
}

TEST(GlobalsTextTest, UnescapeDropsBrokenEscapes) {
  Rig rig;
  EXPECT_EQ(Invoke(rig, "unescape", {S("a%20b+c")}).string, "a b c");
  EXPECT_EQ(Invoke(rig, "unescape", {S("%41%4a%4A")}).string, "AJJ");
  EXPECT_EQ(Invoke(rig, "unescape", {S("%E3%81%82%C3%A9")}).string, "\xE3\x81\x82\xC3\xA9");
  EXPECT_EQ(Invoke(rig, "unescape", {S("x%zy%")}).string, "xy");      // "%z" goes, "y" stays
  EXPECT_EQ(Invoke(rig, "unescape", {S("x%4gy")}).string, "xy");      // "%4g" goes whole
  EXPECT_EQ(Invoke(rig, "unescape", {S("%u0041")}).string, "0041");
  EXPECT_EQ(Invoke(rig, "unescape", {S("%%41")}).string, "41");
  EXPECT_EQ(Invoke(rig, "unescape", {S("a%00b")}).string, "a");
  EXPECT_EQ(Invoke(rig, "unescape", {S("a%4")}).string, "a");
  EXPECT_TRUE(Invoke(rig, "unescape", {}).IsUndefined());
  // A byte that is no UTF-8 reads as Latin-1 from SWF 6 on; before, every byte is Latin-1.
  EXPECT_EQ(Invoke(rig, "unescape", {S("%E9")}).string, "\xC3\xA9");
  EXPECT_EQ(Invoke(rig, "escape", {S("\xC3\xA9")}).string, "%C3%A9");
  Rig v5(5);
  EXPECT_EQ(Invoke(v5, "unescape", {S("%E9")}).string, "\xC3\xA9");
  EXPECT_EQ(Invoke(v5, "unescape", {S("%C3%A9")}).string, "\xC3\x83\xC2\xA9");
  EXPECT_EQ(Invoke(v5, "escape", {S("\xC3\xA9")}).string, "%E9");
  const char* text = "caf\xC3\xA9 & \xF0\x9F\x98\x8B";
  EXPECT_EQ(UnescapeText(EscapeText(text, 8), 8), text);
  EXPECT_EQ(UnescapeText(EscapeText("caf\xC3\xA9", 5), 5), "caf\xC3\xA9");
}

}  // namespace
}  // namespace quillon::player::avm1::testing
