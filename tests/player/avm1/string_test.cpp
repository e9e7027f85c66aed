// The String class: wrappers, code unit indexing per version and the methods' argument rules.
#include "avm1/classes/string.h"

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "avm1/classes/array.h"
#include "avm1/fake_host.h"

namespace quillon::player::avm1::testing {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

Value S(const char* s) { return Value::Str(s); }
Value N(double n) { return Value::Num(n); }

Value Method(Rig& rig, const Value& self, const char* name, std::vector<Value> args = {}) {
  return rig.vm.CallValue(rig.vm.stringProto->Get(name), self, args);
}

std::string Text(Rig& rig, const Value& self, const char* name, std::vector<Value> args = {}) {
  const Value v = Method(rig, self, name, std::move(args));
  EXPECT_TRUE(v.IsString()) << name;
  return v.string;
}

double Number(Rig& rig, const Value& self, const char* name, std::vector<Value> args = {}) {
  const Value v = Method(rig, self, name, std::move(args));
  EXPECT_TRUE(v.IsNumber()) << name;
  return v.number;
}

std::vector<std::string> Split(Rig& rig, const char* s, std::vector<Value> args) {
  const Value v = Method(rig, S(s), "split", std::move(args));
  std::vector<std::string> out;
  auto* a = v.IsObject() ? dynamic_cast<ArrayObject*>(v.object) : nullptr;
  EXPECT_NE(a, nullptr);
  if (a)
    for (const Value& item : a->items) out.push_back(item.string);
  return out;
}

using Strings = std::vector<std::string>;

TEST(StringTest, LengthCountsUtf16Units) {
  Rig v8(8), v5(5);
  EXPECT_EQ(v8.vm.ToObject(S("a\xF0\x9F\x98\x8B" "b"))->Get("length").number, 4);  // a, pair, b
  EXPECT_EQ(v8.vm.ToObject(S("\xC3\xA9"))->Get("length").number, 1);
  EXPECT_EQ(v8.vm.ToObject(S(""))->Get("length").number, 0);
  EXPECT_EQ(v5.vm.ToObject(S("a\xF0\x9F\x98\x8B" "b"))->Get("length").number, 4);
  Rig v6(6);
  EXPECT_EQ(v6.vm.ToObject(S("abc"))->Get("LENGTH").number, 3);  // names ignore case before 7
  EXPECT_TRUE(v8.vm.ToObject(S("abc"))->Get("LENGTH").IsUndefined());
}

TEST(StringTest, BoxedAndConstructedStringsAreWrappers) {
  Rig rig;
  Object* boxed = rig.vm.ToObject(S("hi"));
  ASSERT_NE(dynamic_cast<StringObject*>(boxed), nullptr);
  EXPECT_EQ(boxed->Proto(), rig.vm.stringProto);
  EXPECT_EQ(rig.vm.stringProto->Proto(), rig.vm.objectProto);

  const Value ctor = rig.vm.global()->Get("String");
  const Value args[] = {N(333)};
  const Value made = rig.vm.Construct(ctor, args);
  ASSERT_TRUE(made.IsObject());
  auto* wrapper = dynamic_cast<StringObject*>(made.object);
  ASSERT_NE(wrapper, nullptr);
  EXPECT_EQ(wrapper->value, "333");
  EXPECT_EQ(wrapper->Proto(), rig.vm.stringProto);
  EXPECT_EQ(rig.vm.TypeOf(made), "object");
  EXPECT_EQ(rig.vm.ToString(made), "333");
  EXPECT_EQ(Text(rig, made, "valueOf"), "333");
  EXPECT_EQ(rig.vm.Construct(ctor, {}).object->Get("length").number, 0);

  // Called, String converts; with nothing it gives the empty string.
  EXPECT_EQ(rig.vm.CallValue(ctor, {}, args).string, "333");
  const Value none = rig.vm.CallValue(ctor, {}, {});
  EXPECT_TRUE(none.IsString());
  EXPECT_EQ(none.string, "");
  // toString belongs to String objects; a plain object gets nothing back.
  EXPECT_TRUE(Method(rig, Value::Obj(rig.vm.NewObject()), "toString").IsUndefined());
}

TEST(StringTest, CharAtAndCharCodeAtIndexUnits) {
  Rig rig;
  const Value s = S("h\xF0\x9F\x98\x8Bi");  // h, U+1F60B, i
  EXPECT_EQ(Text(rig, s, "charAt", {N(0)}), "h");
  EXPECT_EQ(Text(rig, s, "charAt", {N(1)}), "\xED\xA0\xBD");  // the high half of the pair, D83D
  EXPECT_EQ(Text(rig, s, "charAt", {N(2)}), "\xED\xB8\x8B");  // and the low one, DE0B
  EXPECT_EQ(Text(rig, s, "charAt", {N(3)}), "i");
  EXPECT_EQ(Text(rig, s, "charAt", {N(4)}), "");
  EXPECT_EQ(Text(rig, s, "charAt", {N(-1)}), "");
  EXPECT_EQ(Text(rig, s, "charAt", {N(4294967299.0)}), "i");  // wraps to 3
  EXPECT_EQ(Text(rig, s, "charAt", {}), "h");
  EXPECT_EQ(Number(rig, s, "charCodeAt", {N(1)}), 0xD83D);
  EXPECT_EQ(Number(rig, s, "charCodeAt", {N(2)}), 0xDE0B);
  EXPECT_EQ(Number(rig, s, "charCodeAt", {S("3")}), 'i');
  EXPECT_EQ(Number(rig, s, "charCodeAt", {N(NAN)}), 'h');
  EXPECT_TRUE(std::isnan(Number(rig, s, "charCodeAt", {N(-1)})));
  EXPECT_TRUE(std::isnan(Number(rig, s, "charCodeAt", {N(4)})));
  Rig v5(5);
  EXPECT_EQ(Number(v5, S("ab"), "charCodeAt", {N(5)}), 0);  // past the end reads the terminator
  EXPECT_TRUE(std::isnan(Number(v5, S("ab"), "charCodeAt", {N(-1)})));
  EXPECT_EQ(Text(v5, S("\xC3\xA9" "b"), "charAt", {N(1)}), "b");  // characters, not bytes
}

TEST(StringTest, IndexOfAndLastIndexOf) {
  Rig rig;
  const Value s = S("xxabcxxabc");
  EXPECT_EQ(Number(rig, s, "indexOf", {S("abc")}), 2);
  EXPECT_EQ(Number(rig, s, "indexOf", {S("abc"), N(3)}), 7);
  EXPECT_EQ(Number(rig, s, "indexOf", {S("abc"), N(-5)}), 2);
  EXPECT_EQ(Number(rig, s, "indexOf", {S("abc"), N(4294967299.0)}), 7);
  EXPECT_EQ(Number(rig, s, "indexOf", {S("abc"), Value::Undefined()}), 2);
  EXPECT_EQ(Number(rig, s, "indexOf", {S("q")}), -1);
  EXPECT_EQ(Number(rig, s, "indexOf", {S(""), N(10)}), 10);
  EXPECT_EQ(Number(rig, s, "indexOf", {S(""), N(11)}), -1);
  EXPECT_TRUE(Method(rig, s, "indexOf").IsUndefined());
  EXPECT_EQ(Number(rig, s, "lastIndexOf", {S("abc")}), 7);
  EXPECT_EQ(Number(rig, s, "lastIndexOf", {S("abc"), N(6)}), 2);
  EXPECT_EQ(Number(rig, s, "lastIndexOf", {S("abc"), N(100)}), 7);
  EXPECT_EQ(Number(rig, s, "lastIndexOf", {S("abc"), Value::Null()}), -1);  // null is position 0
  EXPECT_EQ(Number(rig, s, "lastIndexOf", {S("xx"), Value::Null()}), 0);
  EXPECT_EQ(Number(rig, s, "lastIndexOf", {S("abc"), Value::Undefined()}), 7);
  EXPECT_EQ(Number(rig, s, "lastIndexOf", {S("")}), 10);
  EXPECT_EQ(Number(rig, s, "lastIndexOf", {S(""), N(4)}), 4);
  EXPECT_TRUE(Method(rig, s, "lastIndexOf").IsUndefined());
  // The needle converts per version: undefined is "undefined" from SWF 7, "" before.
  EXPECT_EQ(Number(rig, S("is undefined"), "indexOf", {Value::Undefined()}), 3);
  Rig v6(6);
  EXPECT_EQ(Number(v6, S("is undefined"), "indexOf", {Value::Undefined()}), 0);
  EXPECT_EQ(Number(v6, S("is undefined"), "lastIndexOf", {Value::Undefined()}), 12);
  EXPECT_EQ(Number(rig, S("a\xF0\x9F\x98\x8B" "b"), "indexOf", {S("b")}), 3);
}

TEST(StringTest, SliceAndSubstring) {
  Rig rig;
  const Value s = S("abcdef");
  EXPECT_EQ(Text(rig, s, "slice", {N(1), N(3)}), "bc");
  EXPECT_EQ(Text(rig, s, "slice", {N(-2)}), "ef");
  EXPECT_EQ(Text(rig, s, "slice", {N(-3), N(-1)}), "de");
  EXPECT_EQ(Text(rig, s, "slice", {N(3), N(1)}), "");
  EXPECT_EQ(Text(rig, s, "slice", {Value::Undefined(), N(2)}), "ab");
  EXPECT_EQ(Text(rig, s, "slice", {Value::Null(), Value::Null()}), "");
  EXPECT_EQ(Text(rig, s, "slice", {N(4294967297.0), N(4294967299.0)}), "bc");
  EXPECT_TRUE(Method(rig, s, "slice").IsUndefined());
  EXPECT_EQ(Text(rig, s, "substring", {N(4), N(1)}), "bcd");  // ends swap
  EXPECT_EQ(Text(rig, s, "substring", {N(-3), N(2)}), "ab");
  EXPECT_EQ(Text(rig, s, "substring", {N(2), Value::Null()}), "ab");
  EXPECT_EQ(Text(rig, s, "substring", {N(2)}), "cdef");
  EXPECT_EQ(Text(rig, s, "substring", {N(2), N(99)}), "cdef");
  EXPECT_EQ(Text(rig, s, "substring", {Value::Undefined(), Value::Undefined()}), "abcdef");
  EXPECT_TRUE(Method(rig, s, "substring").IsUndefined());
}

TEST(StringTest, SubstrCountsNegativeLengthsFromTheEnd) {
  Rig rig;
  const Value s = S("abcdef");
  EXPECT_EQ(Text(rig, s, "substr", {N(1), N(2)}), "bc");
  EXPECT_EQ(Text(rig, s, "substr", {N(-2)}), "ef");
  EXPECT_EQ(Text(rig, s, "substr", {N(-9)}), "abcdef");
  EXPECT_EQ(Text(rig, s, "substr", {N(4), N(10)}), "ef");
  EXPECT_EQ(Text(rig, s, "substr", {N(1), Value::Null()}), "");
  EXPECT_EQ(Text(rig, s, "substr", {N(1), Value::Undefined()}), "bcdef");
  EXPECT_EQ(Text(rig, s, "substr", {Value::Null(), N(3)}), "abc");
  EXPECT_EQ(Text(rig, s, "substr", {N(4294967296.0), N(-4294967294.0)}), "ab");
  // length + count units, and nothing when that reaches the end of the string.
  EXPECT_EQ(Text(rig, s, "substr", {N(0), N(-1)}), "abcde");
  EXPECT_EQ(Text(rig, s, "substr", {N(1), N(-2)}), "bcde");
  EXPECT_EQ(Text(rig, s, "substr", {N(1), N(-1)}), "");
  EXPECT_EQ(Text(rig, s, "substr", {N(2), N(-5)}), "c");
  EXPECT_EQ(Text(rig, s, "substr", {N(-4), N(-4)}), "cd");
  EXPECT_EQ(Text(rig, s, "substr", {N(0), N(-6)}), "");
  EXPECT_EQ(Text(rig, s, "substr", {N(0), N(-8)}), "");
  EXPECT_TRUE(Method(rig, s, "substr").IsUndefined());
}

TEST(StringTest, SplitHonoursSeparatorAndLimitPerVersion) {
  Rig rig;
  EXPECT_EQ(Split(rig, "a,b,,c", {S(",")}), (Strings{"a", "b", "", "c"}));
  EXPECT_EQ(Split(rig, "a,b,,c", {S(","), N(2)}), (Strings{"a", "b"}));
  EXPECT_EQ(Split(rig, "a,b,,c", {S(","), N(0)}), Strings{});
  EXPECT_EQ(Split(rig, "a,b,,c", {S(","), N(-3)}), Strings{});
  EXPECT_EQ(Split(rig, "a,b,,c", {S(","), Value::Null()}), Strings{});
  EXPECT_EQ(Split(rig, "a,b,,c", {S(","), Value::Undefined()}).size(), 4u);
  EXPECT_EQ(Split(rig, "xabyabz", {S("ab")}), (Strings{"x", "y", "z"}));
  EXPECT_EQ(Split(rig, "", {S(",")}), Strings{""});
  EXPECT_EQ(Split(rig, "a\xC3\xA9", {S("")}), (Strings{"a", "\xC3\xA9"}));
  EXPECT_EQ(Split(rig, "abc", {S(""), N(2)}), (Strings{"a", "b"}));
  EXPECT_EQ(Split(rig, "a,b", {}), Strings{"a,b"});
  EXPECT_EQ(Split(rig, "a,b", {Value::Undefined(), N(0)}), Strings{"a,b"});

  Rig v5(5);
  EXPECT_EQ(Split(v5, "a,b,,c", {}), (Strings{"a", "b", "", "c"}));  // commas by default
  EXPECT_EQ(Split(v5, "a,b,,c", {Value::Undefined(), N(1)}), Strings{"a"});
  EXPECT_EQ(Split(v5, "abc", {S("")}), Strings{"abc"});
}

TEST(StringTest, CaseMappingFollowsTheReferenceTable) {
  Rig rig;
  EXPECT_EQ(Text(rig, S("Hello W\xC3\xB6rld"), "toUpperCase"), "HELLO W\xC3\x96RLD");
  EXPECT_EQ(Text(rig, S("\xC3\x80\xCE\xA3\xD0\xAF"), "toLowerCase"), "\xC3\xA0\xCF\x83\xD1\x8F");  // ÀΣЯ
  EXPECT_EQ(Text(rig, S("\xC3\x9F\xC2\xB5"), "toUpperCase"), "\xC3\x9F\xC2\xB5");  // ß and µ stay
  EXPECT_EQ(Text(rig, S("\xC4\xB0"), "toLowerCase"), "i");                        // İ
  EXPECT_EQ(Text(rig, S("\xC7\x85"), "toUpperCase"), "\xC7\x84");                 // ǅ to Ǆ
  EXPECT_EQ(Text(rig, S("\xC7\x85"), "toLowerCase"), "\xC7\x86");                 // ǅ to ǆ
  EXPECT_EQ(Text(rig, S("\xCF\x82"), "toUpperCase"), "\xCE\xA2");                 // final sigma
  EXPECT_EQ(Text(rig, S("\xE1\xBE\xB3"), "toUpperCase"), "\xE1\xBE\xBC");         // ᾳ to ᾼ
  EXPECT_EQ(Text(rig, S("\xE1\x82\xA0"), "toLowerCase"), "\xE1\x83\x90");         // Georgian
  EXPECT_EQ(Text(rig, S("\xEF\xBD\x81"), "toUpperCase"), "\xEF\xBC\xA1");         // fullwidth a
  EXPECT_EQ(Text(rig, S("\xC8\xBA"), "toLowerCase"), "\xC8\xBA");                 // later Unicode: unmapped
  EXPECT_EQ(Text(rig, S("\xF0\x90\x90\xA8"), "toUpperCase"), "\xF0\x90\x90\xA8"); // outside the BMP
  Rig v5(5);
  EXPECT_EQ(Text(v5, S("\xC3\xA0z"), "toUpperCase"), "\xC3\xA0Z");
  EXPECT_EQ(Text(v5, S("Q\xC3\x80"), "toLowerCase"), "q\xC3\x80");
}

TEST(StringTest, ConcatAndFromCharCode) {
  Rig rig;
  EXPECT_EQ(Text(rig, S("x"), "concat", {N(1), Value::Null(), Value::Undefined(), Value::Bool(true)}),
            "x1nullundefinedtrue");
  EXPECT_EQ(Text(rig, S("x"), "concat"), "x");
  Rig v6(6);
  EXPECT_EQ(Text(v6, S("x"), "concat", {Value::Undefined(), N(2)}), "x2");
  // The receiver converts too, so the methods work on any value.
  EXPECT_EQ(Text(rig, N(12), "concat", {N(3)}), "123");

  const Value from = rig.vm.global()->Get("String").object->Get("fromCharCode");
  auto fromCodes = [&](std::vector<Value> args) { return rig.vm.CallValue(from, {}, args).string; };
  EXPECT_EQ(fromCodes({N(72), N(105)}), "Hi");
  EXPECT_EQ(fromCodes({N(65536 + 65)}), "A");
  EXPECT_EQ(fromCodes({N(-65536 + 66)}), "B");
  EXPECT_EQ(fromCodes({N(72), N(0), N(73)}), "H");  // a zero ends the string
  EXPECT_EQ(fromCodes({S("junk"), N(65)}), "");
  EXPECT_EQ(fromCodes({N(0xD83D), N(0xDE0B)}), "\xF0\x9F\x98\x8B");
  EXPECT_EQ(fromCodes({N(0xDC00)}), "\xED\xB0\x80");
  EXPECT_EQ(fromCodes({N(0x3039)}), "\xE3\x80\xB9");
  EXPECT_EQ(fromCodes({}), "");
  Rig v5(5);
  const Value from5 = v5.vm.global()->Get("String").object->Get("fromCharCode");
  const Value codes[] = {N(0xE9), N(0x3042)};
  EXPECT_EQ(v5.vm.CallValue(from5, {}, codes).string, "\xC3\xA9\xE3\x81\x82");
}

TEST(StringTest, Utf8ReadingIsLenient) {
  EXPECT_EQ(strings::Utf8ToUtf16("a\xFF" "b"), (std::u16string{u'a', 0xFF, u'b'}));
  EXPECT_EQ(strings::Utf8ToUtf16("\xC3"), (std::u16string{0xC3}));                    // cut short
  EXPECT_EQ(strings::Utf8ToUtf16("\xC0\x80"), (std::u16string{0xC0, 0x80}));          // overlong
  EXPECT_EQ(strings::Utf8ToUtf16("\xED\xA0\xBD"), (std::u16string{0xD83D}));          // a lone half
  EXPECT_EQ(strings::Utf16ToUtf8(u"\u00e9\u3042"), "\xC3\xA9\xE3\x81\x82");
}

TEST(StringTest, HalvesOfAPairJoinBackAndPrintAsReplacementsAlone) {
  Rig rig;
  const std::string high = "\xED\xA0\xBD", low = "\xED\xB8\x8B";  // D83D DE0B: U+1F60B
  std::string joined = "h" + high;
  strings::Join(joined, low + "i");
  EXPECT_EQ(joined, "h\xF0\x9F\x98\x8Bi");
  EXPECT_EQ(strings::UnitCount(joined), 4u);
  std::string reversed = low;
  strings::Join(reversed, high);  // low then high is no pair
  EXPECT_EQ(reversed, low + high);
  // A script that copies a string one charAt at a time ends with the same string.
  const Value s = S("a\xF0\x9F\x98\x8B");
  const Value copy[] = {Value::Str(Text(rig, s, "charAt", {N(1)})), Value::Str(Text(rig, s, "charAt", {N(2)}))};
  EXPECT_EQ(Text(rig, S("a"), "concat", {copy[0], copy[1]}), "a\xF0\x9F\x98\x8B");
  EXPECT_EQ(strings::Printable("x" + high + "y" + low), "x" + kReplacement + "y" + kReplacement);
  EXPECT_EQ(strings::Printable("\xF0\x9F\x98\x8B"), "\xF0\x9F\x98\x8B");
  rig.vm.Trace(low);
  EXPECT_EQ(rig.lines, (std::vector<std::string>{kReplacement}));
}

}  // namespace
}  // namespace quillon::player::avm1::testing
