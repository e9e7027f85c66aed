// Number and Boolean objects: the wrappers `new Number(x)`, `new Boolean(x)` and boxed
// primitives make.
#pragma once

#include "avm1/machine.h"

namespace quillon::player::avm1 {

class NumberObject : public Object {
 public:
  NumberObject(Machine& vm, double v) : Object(vm), value(v) {}
  std::string_view ClassName() const override { return "Number"; }
  bool PrimitiveValue(Value& out) const override {
    out = Value::Num(value);
    return true;
  }

  double value;
};

class BooleanObject : public Object {
 public:
  BooleanObject(Machine& vm, bool v) : Object(vm), value(v) {}
  std::string_view ClassName() const override { return "Boolean"; }
  bool PrimitiveValue(Value& out) const override {
    out = Value::Bool(value);
    return true;
  }

  bool value;
};

// Wrappers with Number.prototype and Boolean.prototype, as boxing a primitive makes.
Object* NewNumberObject(Machine& vm, double value);
Object* NewBooleanObject(Machine& vm, bool value);

}  // namespace quillon::player::avm1
