// AsBroadcaster: listeners and broadcastMessage, given to any object by initialize.
#include "avm1/classes/array.h"
#include "avm1/machine.h"

namespace quillon::player::avm1 {
namespace {

ArrayObject* Listeners(Call& c) {
  Object* self = c.This();
  if (!self) return nullptr;
  const Value v = self->Get("_listeners");
  return v.IsObject() ? dynamic_cast<ArrayObject*>(v.object) : nullptr;
}

}  // namespace

void InstallBroadcaster(Machine& vm, Object* global) {
  Object* proto = vm.NewObject();
  Function* ctor = vm.NewClass([](Call&) { return Value::Undefined(); }, nullptr, proto);
  Function* add = vm.NewNative([](Call& c) -> Value {
    ArrayObject* list = Listeners(c);
    if (!list) return Value::Bool(false);
    for (const Value& v : list->items)
      if (c.vm.StrictEquals(v, c.Arg(0))) return Value::Bool(true);
    list->Push(c.Arg(0));
    return Value::Bool(true);
  }, 1);
  Function* remove = vm.NewNative([](Call& c) -> Value {
    ArrayObject* list = Listeners(c);
    if (!list) return Value::Bool(false);
    for (std::size_t i = 0; i < list->items.size(); ++i)
      if (c.vm.StrictEquals(list->items[i], c.Arg(0))) {
        list->items.erase(list->items.begin() + static_cast<std::ptrdiff_t>(i));
        return Value::Bool(true);
      }
    return Value::Bool(false);
  }, 1);
  Function* broadcast = vm.NewNative([](Call& c) -> Value {
    ArrayObject* list = Listeners(c);
    if (!list || c.Count() == 0) return {};
    const std::string name = c.vm.ToString(c.Arg(0));
    const std::vector<Value> copy = list->items;  // listeners may remove themselves
    const std::span<const Value> rest = c.args.subspan(1);
    for (const Value& l : copy)
      if (Object* o = c.vm.ToObject(l)) c.vm.CallValue(o->Get(name), l, rest);
    return copy.empty() ? Value::Bool(false) : Value::Bool(true);
  }, 1);
  ctor->Define("addListener", Value::Obj(add), kDontEnum);
  ctor->Define("removeListener", Value::Obj(remove), kDontEnum);
  ctor->Define("broadcastMessage", Value::Obj(broadcast), kDontEnum);
  ctor->DefineNative("initialize", [add, remove, broadcast](Call& c) -> Value {
    Object* target = c.Arg(0).IsObject() ? c.Arg(0).object : nullptr;
    if (!target) return {};
    target->Define("_listeners", Value::Obj(c.vm.NewArray()), kDontEnum);
    target->Define("addListener", Value::Obj(add), kDontEnum);
    target->Define("removeListener", Value::Obj(remove), kDontEnum);
    target->Define("broadcastMessage", Value::Obj(broadcast), kDontEnum);
    return {};
  }, 1);
  global->Define("AsBroadcaster", Value::Obj(ctor), kDontEnum);
}

}  // namespace quillon::player::avm1
