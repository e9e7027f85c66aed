// The String class: wrappers, String() and String.fromCharCode, and the prototype's methods.
// Methods read `this` as a string, so they serve boxed primitives and other objects alike, and
// index by UTF-16 code units.
#include "avm1/classes/string.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace quillon::player::avm1 {
namespace {

// Case mapping of the reference player: ranges of code units that move by `delta`, every
// `step`th unit. It covers the Latin, Greek, Cyrillic, Armenian and Georgian letters, Latin and
// Greek extended, roman numerals, circled and fullwidth letters; nothing outside the BMP.
struct CaseRange {
  char16_t first, last;
  std::int16_t delta;
  std::uint8_t step;
};

constexpr CaseRange kToLower[] = {
    {0x0041, 0x005A, 32, 1}, {0x00C0, 0x00D6, 32, 1}, {0x00D8, 0x00DE, 32, 1}, {0x0100, 0x012E, 1, 2},
    {0x0130, 0x0130, -199, 1}, {0x0132, 0x0136, 1, 2}, {0x0139, 0x0147, 1, 2}, {0x014A, 0x0176, 1, 2},
    {0x0178, 0x0178, -121, 1}, {0x0179, 0x017D, 1, 2}, {0x0181, 0x0181, 210, 1}, {0x0182, 0x0184, 1, 2},
    {0x0186, 0x0186, 206, 1}, {0x0187, 0x0187, 1, 1}, {0x0189, 0x018A, 205, 1}, {0x018B, 0x018B, 1, 1},
    {0x018E, 0x018E, 79, 1}, {0x018F, 0x018F, 202, 1}, {0x0190, 0x0190, 203, 1}, {0x0191, 0x0191, 1, 1},
    {0x0193, 0x0193, 205, 1}, {0x0194, 0x0194, 207, 1}, {0x0196, 0x0196, 211, 1}, {0x0197, 0x0197, 209, 1},
    {0x0198, 0x0198, 1, 1}, {0x019C, 0x019C, 211, 1}, {0x019D, 0x019D, 213, 1}, {0x019F, 0x019F, 214, 1},
    {0x01A0, 0x01A4, 1, 2}, {0x01A6, 0x01A6, 218, 1}, {0x01A7, 0x01A7, 1, 1}, {0x01A9, 0x01A9, 218, 1},
    {0x01AC, 0x01AC, 1, 1}, {0x01AE, 0x01AE, 218, 1}, {0x01AF, 0x01AF, 1, 1}, {0x01B1, 0x01B2, 217, 1},
    {0x01B3, 0x01B5, 1, 2}, {0x01B7, 0x01B7, 219, 1}, {0x01B8, 0x01B8, 1, 1}, {0x01BC, 0x01BC, 1, 1},
    {0x01C4, 0x01C4, 2, 1}, {0x01C5, 0x01C5, 1, 1}, {0x01C7, 0x01C7, 2, 1}, {0x01C8, 0x01C8, 1, 1},
    {0x01CA, 0x01CA, 2, 1}, {0x01CB, 0x01DB, 1, 2}, {0x01DE, 0x01EE, 1, 2}, {0x01F1, 0x01F1, 2, 1},
    {0x01F2, 0x01F4, 1, 2}, {0x01F6, 0x01F6, -97, 1}, {0x01F7, 0x01F7, -56, 1}, {0x01F8, 0x021E, 1, 2},
    {0x0222, 0x0232, 1, 2}, {0x0386, 0x0386, 38, 1}, {0x0388, 0x038A, 37, 1}, {0x038C, 0x038C, 64, 1},
    {0x038E, 0x038F, 63, 1}, {0x0391, 0x03AB, 32, 1}, {0x03D8, 0x03EE, 1, 2}, {0x03F4, 0x03F4, -60, 1},
    {0x0400, 0x040F, 80, 1}, {0x0410, 0x042F, 32, 1}, {0x0460, 0x0480, 1, 2}, {0x048A, 0x04BE, 1, 2},
    {0x04C1, 0x04C3, 1, 2}, {0x04C7, 0x04C7, 1, 1}, {0x04CB, 0x04CB, 1, 1}, {0x04D0, 0x04F8, 1, 2},
    {0x0531, 0x0556, 48, 1}, {0x10A0, 0x10C5, 48, 1}, {0x1E00, 0x1E94, 1, 2}, {0x1EA0, 0x1EF8, 1, 2},
    {0x1F08, 0x1F0F, -8, 1}, {0x1F18, 0x1F1D, -8, 1}, {0x1F28, 0x1F2F, -8, 1}, {0x1F38, 0x1F3F, -8, 1},
    {0x1F48, 0x1F4D, -8, 1}, {0x1F59, 0x1F5F, -8, 2}, {0x1F68, 0x1F6F, -8, 1}, {0x1F88, 0x1F8F, -8, 1},
    {0x1F98, 0x1F9F, -8, 1}, {0x1FA8, 0x1FAF, -8, 1}, {0x1FB8, 0x1FB9, -8, 1}, {0x1FBA, 0x1FBB, -74, 1},
    {0x1FBC, 0x1FBC, -9, 1}, {0x1FC8, 0x1FCB, -86, 1}, {0x1FCC, 0x1FCC, -9, 1}, {0x1FD8, 0x1FD9, -8, 1},
    {0x1FDA, 0x1FDB, -100, 1}, {0x1FE8, 0x1FE9, -8, 1}, {0x1FEA, 0x1FEB, -112, 1}, {0x1FEC, 0x1FEC, -7, 1},
    {0x1FF8, 0x1FF9, -128, 1}, {0x1FFA, 0x1FFB, -126, 1}, {0x1FFC, 0x1FFC, -9, 1}, {0x2126, 0x2126, -7517, 1},
    {0x212A, 0x212A, -8383, 1}, {0x212B, 0x212B, -8262, 1}, {0x2160, 0x216F, 16, 1}, {0x24B6, 0x24CF, 26, 1},
    {0xFF21, 0xFF3A, 32, 1},
};

constexpr CaseRange kToUpper[] = {
    {0x0061, 0x007A, -32, 1}, {0x00E0, 0x00F6, -32, 1}, {0x00F8, 0x00FE, -32, 1}, {0x00FF, 0x00FF, 121, 1},
    {0x0101, 0x012F, -1, 2}, {0x0131, 0x0131, -232, 1}, {0x0133, 0x0137, -1, 2}, {0x013A, 0x0148, -1, 2},
    {0x014B, 0x0177, -1, 2}, {0x017A, 0x017E, -1, 2}, {0x017F, 0x017F, -300, 1}, {0x0183, 0x0185, -1, 2},
    {0x0188, 0x0188, -1, 1}, {0x018C, 0x018C, -1, 1}, {0x0192, 0x0192, -1, 1}, {0x0195, 0x0195, 97, 1},
    {0x0199, 0x0199, -1, 1}, {0x01A1, 0x01A5, -1, 2}, {0x01A8, 0x01A8, -1, 1}, {0x01AD, 0x01AD, -1, 1},
    {0x01B0, 0x01B0, -1, 1}, {0x01B4, 0x01B6, -1, 2}, {0x01B9, 0x01B9, -1, 1}, {0x01BD, 0x01BD, -1, 1},
    {0x01BF, 0x01BF, 56, 1}, {0x01C5, 0x01C5, -1, 1}, {0x01C6, 0x01C6, -2, 1}, {0x01C8, 0x01C8, -1, 1},
    {0x01C9, 0x01C9, -2, 1}, {0x01CB, 0x01CB, -1, 1}, {0x01CC, 0x01CC, -2, 1}, {0x01CE, 0x01DC, -1, 2},
    {0x01DD, 0x01DD, -79, 1}, {0x01DF, 0x01EF, -1, 2}, {0x01F2, 0x01F2, -1, 1}, {0x01F3, 0x01F3, -2, 1},
    {0x01F5, 0x01F5, -1, 1}, {0x01F9, 0x021F, -1, 2}, {0x0223, 0x0233, -1, 2}, {0x0253, 0x0253, -210, 1},
    {0x0254, 0x0254, -206, 1}, {0x0256, 0x0257, -205, 1}, {0x0259, 0x0259, -202, 1}, {0x025B, 0x025B, -203, 1},
    {0x0260, 0x0260, -205, 1}, {0x0263, 0x0263, -207, 1}, {0x0268, 0x0268, -209, 1}, {0x0269, 0x0269, -211, 1},
    {0x026F, 0x026F, -211, 1}, {0x0272, 0x0272, -213, 1}, {0x0275, 0x0275, -214, 1}, {0x0280, 0x0280, -218, 1},
    {0x0283, 0x0283, -218, 1}, {0x0288, 0x0288, -218, 1}, {0x028A, 0x028B, -217, 1}, {0x0292, 0x0292, -219, 1},
    {0x0345, 0x0345, 84, 1}, {0x03AC, 0x03AC, -38, 1}, {0x03AD, 0x03AF, -37, 1}, {0x03B1, 0x03CB, -32, 1},
    {0x03CC, 0x03CC, -64, 1}, {0x03CD, 0x03CE, -63, 1}, {0x03D0, 0x03D0, -62, 1}, {0x03D1, 0x03D1, -57, 1},
    {0x03D5, 0x03D5, -47, 1}, {0x03D6, 0x03D6, -54, 1}, {0x03D9, 0x03EF, -1, 2}, {0x03F0, 0x03F0, -86, 1},
    {0x03F1, 0x03F1, -80, 1}, {0x03F2, 0x03F2, -79, 1}, {0x03F5, 0x03F5, -96, 1}, {0x0430, 0x044F, -32, 1},
    {0x0450, 0x045F, -80, 1}, {0x0461, 0x0481, -1, 2}, {0x048B, 0x04BF, -1, 2}, {0x04C2, 0x04C4, -1, 2},
    {0x04C8, 0x04C8, -1, 1}, {0x04CC, 0x04CC, -1, 1}, {0x04D1, 0x04F9, -1, 2}, {0x0561, 0x0586, -48, 1},
    {0x1E01, 0x1E95, -1, 2}, {0x1E9B, 0x1E9B, -59, 1}, {0x1EA1, 0x1EF9, -1, 2}, {0x1F00, 0x1F07, 8, 1},
    {0x1F10, 0x1F15, 8, 1}, {0x1F20, 0x1F27, 8, 1}, {0x1F30, 0x1F37, 8, 1}, {0x1F40, 0x1F45, 8, 1},
    {0x1F51, 0x1F57, 8, 2}, {0x1F60, 0x1F67, 8, 1}, {0x1F70, 0x1F71, 74, 1}, {0x1F72, 0x1F75, 86, 1},
    {0x1F76, 0x1F77, 100, 1}, {0x1F78, 0x1F79, 128, 1}, {0x1F7A, 0x1F7B, 112, 1}, {0x1F7C, 0x1F7D, 126, 1},
    {0x1F80, 0x1F87, 8, 1}, {0x1F90, 0x1F97, 8, 1}, {0x1FA0, 0x1FA7, 8, 1}, {0x1FB0, 0x1FB1, 8, 1},
    {0x1FB3, 0x1FB3, 9, 1}, {0x1FBE, 0x1FBE, -7205, 1}, {0x1FC3, 0x1FC3, 9, 1}, {0x1FD0, 0x1FD1, 8, 1},
    {0x1FE0, 0x1FE1, 8, 1}, {0x1FE5, 0x1FE5, 7, 1}, {0x1FF3, 0x1FF3, 9, 1}, {0x2170, 0x217F, -16, 1},
    {0x24D0, 0x24E9, -26, 1}, {0xFF41, 0xFF5A, -32, 1},
};

template <std::size_t N> char16_t MapCase(const CaseRange (&table)[N], char16_t c) {
  const auto* end = table + N;
  const auto* it = std::upper_bound(table, end, c, [](char16_t v, const CaseRange& r) { return v < r.first; });
  if (it == table) return c;
  const CaseRange& r = *(it - 1);
  if (c > r.last || (c - r.first) % r.step != 0) return c;
  return static_cast<char16_t>(c + r.delta);
}

bool NameIs(const Machine& vm, std::string_view name, std::string_view want) {
  if (name.size() != want.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    char a = name[i];
    if (!vm.caseSensitive() && a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != want[i]) return false;
  }
  return true;
}

// An argument that is absent or undefined counts as not given.
bool Given(const Call& c, std::size_t i) { return i < c.Count() && !c.Arg(i).IsUndefined(); }

std::int32_t IntArg(Call& c, std::size_t i) { return ToInt32(c.vm.ToNumber(c.Arg(i))); }

// A String object's own value; anything else converts, through its toString if it has one.
std::string ThisString(Call& c) {
  if (auto* wrapper = dynamic_cast<StringObject*>(c.This())) return wrapper->value;
  return c.vm.ToString(c.thisValue);
}

std::u16string ThisUnits(Call& c) { return strings::Units(ThisString(c)); }

Value UnitsValue(std::u16string_view units) { return Value::Str(strings::FromUnits(units)); }

// A negative position counts from the end; the result lies in [0, len].
std::int64_t FromEnd(std::int32_t pos, std::int64_t len) {
  std::int64_t p = pos;
  if (p < 0) p += len;
  return std::clamp<std::int64_t>(p, 0, len);
}

Value CharAt(Call& c) {
  const std::u16string s = ThisUnits(c);
  const std::int32_t i = IntArg(c, 0);
  if (i < 0 || static_cast<std::size_t>(i) >= s.size()) return Value::Str("");
  return UnitsValue(std::u16string_view(s).substr(static_cast<std::size_t>(i), 1));
}

Value CharCodeAt(Call& c) {
  const std::u16string s = ThisUnits(c);
  const std::int32_t i = IntArg(c, 0);
  if (i < 0) return Value::Num(NAN);
  // Before SWF 6 a position past the end reads the terminating zero.
  if (static_cast<std::size_t>(i) >= s.size()) return Value::Num(c.vm.version() >= 6 ? NAN : 0);
  return Value::Num(s[static_cast<std::size_t>(i)]);
}

Value Concat(Call& c) {
  std::string out = ThisString(c);
  for (const Value& v : c.args) strings::AppendBounded(out, c.vm.ToString(v));
  return Value::Str(std::move(out));
}

Value IndexOf(Call& c) {
  if (c.Count() == 0) return {};
  const std::u16string s = ThisUnits(c);
  const std::u16string needle = strings::Units(c.vm.ToString(c.Arg(0)));
  std::int64_t start = Given(c, 1) ? IntArg(c, 1) : 0;
  if (start < 0) start = 0;
  if (start > static_cast<std::int64_t>(s.size())) return Value::Num(-1);
  const std::size_t at = s.find(needle, static_cast<std::size_t>(start));
  return Value::Num(at == std::u16string::npos ? -1 : static_cast<double>(at));
}

Value LastIndexOf(Call& c) {
  if (c.Count() == 0) return {};
  const std::u16string s = ThisUnits(c);
  const std::u16string needle = strings::Units(c.vm.ToString(c.Arg(0)));
  std::int64_t start = Given(c, 1) ? IntArg(c, 1) : static_cast<std::int64_t>(s.size());
  if (start < 0) start = 0;
  const std::size_t at = s.rfind(needle, static_cast<std::size_t>(start));
  return Value::Num(at == std::u16string::npos ? -1 : static_cast<double>(at));
}

Value Slice(Call& c) {
  if (c.Count() == 0) return {};
  const std::u16string s = ThisUnits(c);
  const auto len = static_cast<std::int64_t>(s.size());
  const std::int64_t from = Given(c, 0) ? FromEnd(IntArg(c, 0), len) : 0;
  const std::int64_t to = Given(c, 1) ? FromEnd(IntArg(c, 1), len) : len;
  if (from >= to) return Value::Str("");
  return UnitsValue(std::u16string_view(s).substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
}

Value Substr(Call& c) {
  if (c.Count() == 0) return {};
  const std::u16string s = ThisUnits(c);
  const auto len = static_cast<std::int64_t>(s.size());
  const std::int64_t from = Given(c, 0) ? FromEnd(IntArg(c, 0), len) : 0;
  std::int64_t count = len - from;
  if (Given(c, 1)) {
    count = IntArg(c, 1);
    // A negative length counts back from the end of the string, and the reference gives
    // nothing when that reaches the end: "abcd".substr(1, -2) is "bc", substr(1, -1) is "".
    if (count < 0) {
      count += len;
      if (count < 0 || from + count >= len) return Value::Str("");
    }
    count = std::min(count, len - from);
  }
  if (count <= 0) return Value::Str("");
  return UnitsValue(std::u16string_view(s).substr(static_cast<std::size_t>(from), static_cast<std::size_t>(count)));
}

Value Substring(Call& c) {
  if (c.Count() == 0) return {};
  const std::u16string s = ThisUnits(c);
  const auto len = static_cast<std::int64_t>(s.size());
  std::int64_t from = Given(c, 0) ? std::clamp<std::int64_t>(IntArg(c, 0), 0, len) : 0;
  std::int64_t to = Given(c, 1) ? std::clamp<std::int64_t>(IntArg(c, 1), 0, len) : len;
  if (from > to) std::swap(from, to);
  return UnitsValue(std::u16string_view(s).substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
}

Value Split(Call& c) {
  Machine& vm = c.vm;
  const std::string whole = ThisString(c);
  std::vector<Value> items;
  std::size_t limit = kMaxArrayLength;
  if (Given(c, 1)) limit = std::min<std::size_t>(static_cast<std::size_t>(std::max(IntArg(c, 1), 0)), kMaxArrayLength);
  std::string separator = ",";  // before SWF 6 a missing separator splits at commas
  if (!Given(c, 0)) {
    // From SWF 6 on, no separator gives the whole string, whatever the limit.
    if (vm.version() >= 6) return Value::Obj(vm.NewArray({Value::Str(whole)}));
  } else {
    separator = vm.ToString(c.Arg(0));
  }
  const std::u16string s = strings::Units(whole);
  const std::u16string sep = strings::Units(separator);
  if (sep.empty()) {
    if (vm.version() >= 6) {
      for (std::size_t i = 0; i < s.size() && items.size() < limit; ++i)
        items.push_back(UnitsValue(std::u16string_view(s).substr(i, 1)));
    } else if (limit > 0) {
      items.push_back(Value::Str(whole));
    }
    return Value::Obj(vm.NewArray(std::move(items)));
  }
  std::size_t from = 0;
  while (items.size() < limit) {
    const std::size_t at = s.find(sep, from);
    if (at == std::u16string::npos) {
      items.push_back(UnitsValue(std::u16string_view(s).substr(from)));
      break;
    }
    items.push_back(UnitsValue(std::u16string_view(s).substr(from, at - from)));
    from = at + sep.size();
  }
  return Value::Obj(vm.NewArray(std::move(items)));
}

Value ChangeCase(Call& c, bool upper) {
  std::u16string s = ThisUnits(c);
  if (c.vm.version() >= 6) {
    for (char16_t& u : s) u = upper ? MapCase(kToUpper, u) : MapCase(kToLower, u);
  } else {
    // Before SWF 6 only ASCII letters change.
    for (char16_t& u : s) {
      if (upper && u >= 'a' && u <= 'z') u = static_cast<char16_t>(u - 'a' + 'A');
      if (!upper && u >= 'A' && u <= 'Z') u = static_cast<char16_t>(u - 'A' + 'a');
    }
  }
  return UnitsValue(s);
}

// String.prototype.toString and valueOf answer for String objects only; anything else would
// convert itself through them again.
Value OwnValue(Call& c) {
  if (Object* o = c.This()) {
    Value v;
    if (o->PrimitiveValue(v) && v.IsString()) return v;
  }
  if (c.thisValue.IsString()) return c.thisValue;
  return {};
}

Value FromCharCode(Call& c) {
  std::u16string units;
  for (const Value& v : c.args) {
    const auto code = static_cast<char16_t>(ToUint32(c.vm.ToNumber(v)) & 0xFFFFu);
    // A zero ends the string, as in the reference's C strings.
    if (code == 0) break;
    units.push_back(code);
  }
  return Value::Str(strings::FromUnits(units));
}

// `new` hands the constructor a fresh object; the wrapper takes over its prototype link and
// whatever else the machine put on it.
void TakeOver(Call& c, Object* made, Object* fallbackProto) {
  if (Object* shell = c.This()) {
    shell->ForEachOwn([&](const std::string& name, const Property& p) { made->Define(name, p.value, p.flags); });
  } else {
    made->SetProto(fallbackProto);
  }
}

}  // namespace

bool StringObject::GetSpecial(std::string_view name, Value& out) {
  if (!NameIs(vm(), name, "length")) return false;
  out = Value::Num(static_cast<double>(strings::UnitCount(value)));
  return true;
}

Object* NewStringObject(Machine& vm, std::string value) {
  auto* o = vm.Make<StringObject>(std::move(value));
  o->SetProto(vm.stringProto);
  return o;
}

namespace strings {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

namespace {

// One code point at `i`, advancing it; invalid input yields the byte itself. Encoded surrogates
// are accepted so that unpaired halves survive a round trip.
char32_t Decode(std::string_view s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  int need = 0;
  char32_t c = 0, min = 0;
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  if (b0 >= 0xC2 && b0 <= 0xDF) need = 1, c = b0 & 0x1Fu, min = 0x80;
  else if (b0 >= 0xE0 && b0 <= 0xEF) need = 2, c = b0 & 0x0Fu, min = 0x800;
  else if (b0 >= 0xF0 && b0 <= 0xF4) need = 3, c = b0 & 0x07u, min = 0x10000;
  if (need == 0 || s.size() - i <= static_cast<std::size_t>(need)) {
    ++i;
    return b0;
  }
  for (int k = 1; k <= need; ++k) {
    const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return b0;
    }
    c = (c << 6) | (b & 0x3Fu);
  }
  if (c < min || c > 0x10FFFF) {
    ++i;
    return b0;
  }
  i += static_cast<std::size_t>(need) + 1;
  return c;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const char32_t c = Decode(s, i);
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (units[i + 1] - 0xDC00u));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

std::u16string Units(std::string_view s) { return Utf8ToUtf16(s); }

std::string FromUnits(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (units[i + 1] - 0xDC00u));
      ++i;
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

namespace {

// The code unit of an encoded half of a pair at `at` (three bytes), or 0.
char16_t HalfAt(std::string_view s, std::size_t at) {
  if (at + 3 > s.size() || static_cast<unsigned char>(s[at]) != 0xED) return 0;
  const auto b1 = static_cast<unsigned char>(s[at + 1]), b2 = static_cast<unsigned char>(s[at + 2]);
  if (b1 < 0xA0 || b1 > 0xBF || (b2 & 0xC0) != 0x80) return 0;
  return static_cast<char16_t>(0xD000 | (b1 & 0x3F) << 6 | (b2 & 0x3F));
}

}  // namespace

void Join(std::string& out, std::string_view s) {
  if (out.size() >= 3 && !s.empty()) {
    const char16_t high = HalfAt(out, out.size() - 3), low = HalfAt(s, 0);
    if (high >= 0xD800 && high <= 0xDBFF && low >= 0xDC00) {
      out.resize(out.size() - 3);
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (low - 0xDC00u));
      s.remove_prefix(3);
    }
  }
  out.append(s);
}

std::string Printable(std::string_view s) {
  std::string out;
  std::size_t from = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (static_cast<unsigned char>(s[i]) != 0xED || !HalfAt(s, i)) continue;
    out.append(s.substr(from, i - from));
    out += "\xEF\xBF\xBD";
    i += 2;
    from = i + 1;
  }
  if (from == 0) return std::string(s);
  out.append(s.substr(from));
  return out;
}

std::size_t UnitCount(std::string_view s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size();) n += Decode(s, i) >= 0x10000 ? 2 : 1;
  return n;
}

void AppendBounded(std::string& out, std::string_view s) {
  if (s.size() > kMaxStringLength - std::min(out.size(), kMaxStringLength)) throw ScriptAbort{"string too long"};
  Join(out, s);
}

}  // namespace strings

void InstallString(Machine& vm, Object* global) {
  Object* proto = vm.Make<Object>();
  proto->SetProto(vm.objectProto);
  vm.stringProto = proto;

  proto->DefineNative("toString", OwnValue);
  proto->DefineNative("valueOf", OwnValue);
  proto->DefineNative("charAt", CharAt, 1);
  proto->DefineNative("charCodeAt", CharCodeAt, 1);
  proto->DefineNative("concat", Concat, 1);
  proto->DefineNative("indexOf", IndexOf, 1);
  proto->DefineNative("lastIndexOf", LastIndexOf, 1);
  proto->DefineNative("slice", Slice, 2);
  proto->DefineNative("substring", Substring, 2);
  proto->DefineNative("split", Split, 2);
  proto->DefineNative("substr", Substr, 2);
  proto->DefineNative("toLowerCase", [](Call& c) { return ChangeCase(c, false); });
  proto->DefineNative("toUpperCase", [](Call& c) { return ChangeCase(c, true); });

  Function* cls = vm.NewClass(
      [](Call& c) { return Value::Str(c.Count() == 0 ? std::string() : c.vm.ToString(c.Arg(0))); },
      [](Call& c) {
        auto* o = c.vm.Make<StringObject>(c.Count() == 0 ? std::string() : c.vm.ToString(c.Arg(0)));
        TakeOver(c, o, c.vm.stringProto);
        return Value::Obj(o);
      },
      proto);
  cls->DefineNative("fromCharCode", FromCharCode, 1);
  global->Define("String", Value::Obj(cls), kDontEnum);
}

}  // namespace quillon::player::avm1
