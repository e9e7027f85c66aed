// Script values: undefined, null, boolean, number, string and object references. Objects are
// owned by the machine's heap; a Value only points at one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon::player::avm1 {

class Object;

struct Value {
  enum class Type : std::uint8_t { Undefined, Null, Bool, Number, String, Object };

  Type type = Type::Undefined;
  bool boolean = false;
  double number = 0;
  std::string string;
  Object* object = nullptr;

  static Value Undefined() { return {}; }
  static Value Null() {
    Value v;
    v.type = Type::Null;
    return v;
  }
  static Value Bool(bool b) {
    Value v;
    v.type = Type::Bool;
    v.boolean = b;
    return v;
  }
  static Value Num(double n) {
    Value v;
    v.type = Type::Number;
    v.number = n;
    return v;
  }
  static Value Str(std::string s) {
    Value v;
    v.type = Type::String;
    v.string = std::move(s);
    return v;
  }
  // A null object pointer gives null, so natives can return lookups directly.
  static Value Obj(Object* o) {
    if (!o) return Null();
    Value v;
    v.type = Type::Object;
    v.object = o;
    return v;
  }

  bool IsUndefined() const { return type == Type::Undefined; }
  bool IsNull() const { return type == Type::Null; }
  bool IsNullish() const { return type == Type::Undefined || type == Type::Null; }
  bool IsNumber() const { return type == Type::Number; }
  bool IsString() const { return type == Type::String; }
  bool IsBool() const { return type == Type::Bool; }
  bool IsObject() const { return type == Type::Object; }
};

// The reference player's number printing: up to 15 significant digits, integers plainly below
// 1e15, exponent forms such as "1e+21" and "1.5e-7", "NaN", "Infinity", "-Infinity"; -0 is "0".
std::string NumberToString(double n);
// Number printing in another radix (Number.prototype.toString(radix)), radix 2..36.
std::string NumberToStringRadix(double n, int radix);
// String to number as scripts convert: leading and trailing white space allowed, "0x" hex
// (SWF 6 and later), an empty string is NaN from SWF 5 on and 0 before.
double StringToNumber(std::string_view s, int swfVersion);

// ECMAScript's ToInt32 and ToUint32 (wrapping, NaN and infinities give 0).
std::int32_t ToInt32(double n);
std::uint32_t ToUint32(double n);

}  // namespace quillon::player::avm1
