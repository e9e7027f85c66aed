// Error: message, name and toString.
#include "avm1/machine.h"

namespace quillon::player::avm1 {

void InstallError(Machine& vm, Object* global) {
  Object* proto = vm.NewObject();
  vm.errorProto = proto;
  auto init = [](Call& c) -> Value {
    Object* self = c.This();
    if (c.constructing && self && !c.Arg(0).IsUndefined()) self->Set("message", c.Arg(0));
    if (!c.constructing) {
      Object* e = c.vm.NewObject();
      e->SetProto(c.vm.errorProto);
      if (!c.Arg(0).IsUndefined()) e->Set("message", c.Arg(0));
      return Value::Obj(e);
    }
    return c.thisValue;
  };
  Function* ctor = vm.NewClass(init, init, proto);
  proto->Define("message", Value::Str("Error"), kDontEnum);
  proto->Define("name", Value::Str("Error"), kDontEnum);
  proto->DefineNative("toString", [](Call& c) -> Value {
    Object* self = c.This();
    return self ? Value::Str(c.vm.ToString(self->Get("message"))) : Value::Str("Error");
  });
  global->Define("Error", Value::Obj(ctor), kDontEnum);
}

}  // namespace quillon::player::avm1
