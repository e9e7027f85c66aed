// The Number and Boolean classes: conversion when called, wrappers on `new`, and the
// prototypes' toString and valueOf.
#include "avm1/classes/number_boolean.h"

#include <cmath>
#include <limits>

namespace quillon::player::avm1 {
namespace {

// `new` hands the constructor a fresh object; the wrapper takes over its prototype link and
// whatever else the machine put on it.
void TakeOver(Call& c, Object* made, Object* fallbackProto) {
  if (Object* shell = c.This()) {
    shell->ForEachOwn([&](const std::string& name, const Property& p) { made->Define(name, p.value, p.flags); });
  } else {
    made->SetProto(fallbackProto);
  }
}

// The wrapped value of `this`; the prototype methods answer nothing for other objects, which
// would otherwise convert themselves through these same methods again.
bool ThisPrimitive(const Call& c, Value::Type type, Value& out) {
  if (c.thisValue.type == type) {
    out = c.thisValue;
    return true;
  }
  Object* o = c.This();
  return o && o->PrimitiveValue(out) && out.type == type;
}

Value NumberToStringMethod(Call& c) {
  Value v;
  if (!ThisPrimitive(c, Value::Type::Number, v)) return {};
  const int radix = c.Count() == 0 || c.Arg(0).IsUndefined() ? 10 : ToInt32(c.vm.ToNumber(c.Arg(0)));
  return Value::Str(NumberToStringRadix(v.number, radix));
}

Value NumberValueOf(Call& c) {
  Value v;
  return ThisPrimitive(c, Value::Type::Number, v) ? v : Value::Undefined();
}

Value BooleanToStringMethod(Call& c) {
  Value v;
  if (!ThisPrimitive(c, Value::Type::Bool, v)) return {};
  return Value::Str(v.boolean ? "true" : "false");
}

Value BooleanValueOf(Call& c) {
  Value v;
  return ThisPrimitive(c, Value::Type::Bool, v) ? v : Value::Undefined();
}

void InstallNumber(Machine& vm, Object* global) {
  Object* proto = vm.Make<Object>();
  proto->SetProto(vm.objectProto);
  vm.numberProto = proto;
  proto->DefineNative("toString", NumberToStringMethod, 1);
  proto->DefineNative("valueOf", NumberValueOf);

  Function* cls = vm.NewClass(
      [](Call& c) { return Value::Num(c.Count() == 0 ? 0.0 : c.vm.ToNumber(c.Arg(0))); },
      [](Call& c) {
        auto* o = c.vm.Make<NumberObject>(c.Count() == 0 ? 0.0 : c.vm.ToNumber(c.Arg(0)));
        TakeOver(c, o, c.vm.numberProto);
        return Value::Obj(o);
      },
      proto);
  constexpr std::uint16_t kConstant = kDontEnum | kDontDelete | kReadOnly;
  cls->Define("MAX_VALUE", Value::Num(std::numeric_limits<double>::max()), kConstant);
  cls->Define("MIN_VALUE", Value::Num(std::numeric_limits<double>::denorm_min()), kConstant);
  cls->Define("NaN", Value::Num(std::numeric_limits<double>::quiet_NaN()), kConstant);
  cls->Define("NEGATIVE_INFINITY", Value::Num(-std::numeric_limits<double>::infinity()), kConstant);
  cls->Define("POSITIVE_INFINITY", Value::Num(std::numeric_limits<double>::infinity()), kConstant);
  global->Define("Number", Value::Obj(cls), kDontEnum);
}

void InstallBoolean(Machine& vm, Object* global) {
  Object* proto = vm.Make<Object>();
  proto->SetProto(vm.objectProto);
  vm.booleanProto = proto;
  proto->DefineNative("toString", BooleanToStringMethod);
  proto->DefineNative("valueOf", BooleanValueOf);

  Function* cls = vm.NewClass(
      // Boolean() with nothing to convert gives undefined, not false.
      [](Call& c) { return c.Count() == 0 ? Value::Undefined() : Value::Bool(c.vm.ToBool(c.Arg(0))); },
      [](Call& c) {
        auto* o = c.vm.Make<BooleanObject>(c.Count() != 0 && c.vm.ToBool(c.Arg(0)));
        TakeOver(c, o, c.vm.booleanProto);
        return Value::Obj(o);
      },
      proto);
  global->Define("Boolean", Value::Obj(cls), kDontEnum);
}

}  // namespace

Object* NewNumberObject(Machine& vm, double value) {
  auto* o = vm.Make<NumberObject>(value);
  o->SetProto(vm.numberProto);
  return o;
}

Object* NewBooleanObject(Machine& vm, bool value) {
  auto* o = vm.Make<BooleanObject>(value);
  o->SetProto(vm.booleanProto);
  return o;
}

void InstallNumberBoolean(Machine& vm, Object* global) {
  InstallNumber(vm, global);
  InstallBoolean(vm, global);
}

}  // namespace quillon::player::avm1
