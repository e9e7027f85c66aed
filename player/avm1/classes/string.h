// String objects (the wrappers `new String(x)` and boxed primitives make) and the code unit
// helpers the text built-ins share.
#pragma once

#include <string>
#include <string_view>

#include "avm1/machine.h"

namespace quillon::player::avm1 {

class StringObject : public Object {
 public:
  StringObject(Machine& vm, std::string v) : Object(vm), value(std::move(v)) {}
  std::string_view ClassName() const override { return "String"; }
  // `length` is computed, so it follows the value; assigning it makes an own property.
  bool GetSpecial(std::string_view name, Value& out) override;
  bool PrimitiveValue(Value& out) const override {
    out = Value::Str(value);
    return true;
  }

  std::string value;
};

// A String wrapper with String.prototype, as boxing a primitive makes.
Object* NewStringObject(Machine& vm, std::string value);

namespace strings {

// Strings are UTF-8 inside the machine (a movie's text from before SWF 6 is decoded as it is
// read); scripts index them by UTF-16 code units. Half of a pair cut out by a script keeps its
// three-byte form, so that joining the halves again gives the character back.
std::u16string Units(std::string_view s);
std::string FromUnits(std::u16string_view units);
std::size_t UnitCount(std::string_view s);
// Appends `s` to `out`, a high half at the end of `out` and a low half at the start of `s`
// becoming one character.
void Join(std::string& out, std::string_view s);
// The text as the reference prints it: lone halves of pairs as U+FFFD.
std::string Printable(std::string_view s);

// UTF-8 is read leniently: a byte that starts no valid sequence stands for itself (Latin-1).
std::u16string Utf8ToUtf16(std::string_view s);
// A lone surrogate becomes U+FFFD, as the reference prints it.
std::string Utf16ToUtf8(std::u16string_view units);
void AppendUtf8(std::string& out, char32_t c);

// Appends, stopping the script (ScriptAbort) rather than growing past kMaxStringLength.
void AppendBounded(std::string& out, std::string_view s);

}  // namespace strings
}  // namespace quillon::player::avm1
