// Object: the constructor and Object.prototype (hasOwnProperty, addProperty, watch, ...).
#include <algorithm>

#include "avm1/machine.h"

namespace quillon::player::avm1 {
namespace {

Function* AsFunction(const Value& v) { return v.IsObject() ? dynamic_cast<Function*>(v.object) : nullptr; }

}  // namespace

void InstallObject(Machine& vm, Object* global) {
  Object* proto = vm.objectProto;
  auto call = [](Call& c) -> Value {
    if (c.Count() > 0 && !c.Arg(0).IsNullish()) return Value::Obj(c.vm.ToObject(c.Arg(0)));
    // Called without new, Object() gives an object with no prototype at all.
    return Value::Obj(c.vm.Make<Object>());
  };
  auto construct = [](Call& c) -> Value {
    if (c.Count() > 0 && !c.Arg(0).IsNullish()) return Value::Obj(c.vm.ToObject(c.Arg(0)));
    return c.thisValue;
  };
  Function* ctor = vm.NewClass(call, construct, proto);
  global->Define("Object", Value::Obj(ctor), kDontEnum);

  proto->DefineNative("toString", [](Call& c) -> Value {
    Object* self = c.This();
    if (self && self->TypeOf() == "function") return Value::Str("[type Function]");
    return Value::Str("[object Object]");
  });
  proto->DefineNative("toLocaleString", [](Call& c) -> Value {
    return c.vm.CallMethod(c.This(), "toString", {});
  });
  proto->DefineNative("valueOf", [](Call& c) -> Value { return c.thisValue; });
  proto->DefineNative("hasOwnProperty", [](Call& c) -> Value {
    Object* self = c.This();
    if (!self || c.Count() == 0) return Value::Bool(false);
    return Value::Bool(self->HasOwn(c.vm.ToString(c.Arg(0))));
  }, 1);
  proto->DefineNative("isPropertyEnumerable", [](Call& c) -> Value {
    Object* self = c.This();
    if (!self) return Value::Bool(false);
    const Property* p = self->FindOwn(c.vm.ToString(c.Arg(0)));
    return Value::Bool(p && !(p->flags & kDontEnum));
  }, 1);
  proto->DefineNative("isPrototypeOf", [](Call& c) -> Value {
    Object* self = c.This();
    if (!self || !c.Arg(0).IsObject()) return Value::Bool(false);
    int depth = 0;
    for (Object* o = c.Arg(0).object->Proto(); o && depth < 256; o = o->Proto(), ++depth)
      if (o == self) return Value::Bool(true);
    return Value::Bool(false);
  }, 1);
  proto->DefineNative("addProperty", [](Call& c) -> Value {
    Object* self = c.This();
    if (!self || c.Count() < 2) return Value::Bool(false);
    const std::string name = c.vm.ToString(c.Arg(0));
    Function* getter = AsFunction(c.Arg(1));
    Function* setter = AsFunction(c.Arg(2));
    // The setter must be a function or null.
    if (name.empty() || !getter || (!setter && !c.Arg(2).IsNull())) return Value::Bool(false);
    return Value::Bool(self->AddProperty(name, getter, setter));
  }, 3);
  proto->DefineNative("watch", [](Call& c) -> Value {
    Object* self = c.This();
    Function* callback = AsFunction(c.Arg(1));
    if (!self || c.Count() < 2 || !callback) return Value::Bool(false);
    return Value::Bool(self->Watch(c.vm.ToString(c.Arg(0)), callback, c.Arg(2)));
  }, 2);
  proto->DefineNative("unwatch", [](Call& c) -> Value {
    Object* self = c.This();
    if (!self || c.Count() == 0) return Value::Bool(false);
    return Value::Bool(self->Unwatch(c.vm.ToString(c.Arg(0))));
  }, 1);
  // Class registration for library symbols; the display side reads the table.
  Object* registry = vm.Make<Object>();
  global->Define("__registeredClasses", Value::Obj(registry), kDontEnum | kDontDelete);
  ctor->DefineNative("registerClass", [registry](Call& c) -> Value {
    if (c.Count() < 2) return Value::Bool(false);
    const std::string name = c.vm.ToString(c.Arg(0));
    if (c.Arg(1).IsObject() && AsFunction(c.Arg(1))) registry->Set(name, c.Arg(1));
    else registry->Delete(name);
    return Value::Bool(true);
  }, 2);
}

}  // namespace quillon::player::avm1
