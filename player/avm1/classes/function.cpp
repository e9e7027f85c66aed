// Function: call and apply on Function.prototype.
#include "avm1/classes/array.h"
#include "avm1/machine.h"

namespace quillon::player::avm1 {
namespace {

// Without an object to run on, a function runs on the global object, as the reference does.
Value ThisArg(Call& c) {
  const Value& t = c.Arg(0);
  if (t.IsNullish()) return Value::Obj(c.vm.global());
  if (t.IsObject()) return t;
  return Value::Obj(c.vm.ToObject(t));
}

Function* Self(Call& c) { return c.This() ? dynamic_cast<Function*>(c.This()) : nullptr; }

}  // namespace

void InstallFunction(Machine& vm, Object* global) {
  Object* proto = vm.functionProto;
  auto call = [](Call&) -> Value { return Value::Undefined(); };
  Function* ctor = vm.NewClass(call, call, proto);
  global->Define("Function", Value::Obj(ctor), kDontEnum);
  proto->DefineNative("call", [](Call& c) -> Value {
    Function* f = Self(c);
    if (!f) return {};
    const std::span<const Value> rest = c.args.size() > 1 ? c.args.subspan(1) : std::span<const Value>{};
    return c.vm.CallFunction(f, ThisArg(c), rest);
  }, 1);
  proto->DefineNative("apply", [](Call& c) -> Value {
    Function* f = Self(c);
    if (!f) return {};
    std::vector<Value> args;
    if (c.Arg(1).IsObject()) {
      Object* list = c.Arg(1).object;
      if (auto* array = dynamic_cast<ArrayObject*>(list)) {
        args = array->items;
      } else {
        const double n = c.vm.ToNumber(list->Get("length"));
        for (std::size_t i = 0; n > 0 && i < static_cast<std::size_t>(std::min(n, 65536.0)); ++i)
          args.push_back(list->Get(std::to_string(i)));
      }
    }
    return c.vm.CallFunction(f, ThisArg(c), args);
  }, 2);
}

}  // namespace quillon::player::avm1
