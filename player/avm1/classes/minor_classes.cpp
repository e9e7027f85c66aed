// The classes a projector offers without much behind them: the context menu's ContextMenu and
// ContextMenuItem, LocalConnection, the media classes with no device here (Camera, Microphone,
// NetConnection, NetStream, PrintJob, XMLSocket), Accessibility and System.IME. Scripts find
// them with the shapes they expect, and get "nothing there" answers.
#include "avm1/classes/array.h"
#include "avm1/classes/extra_classes.h"

namespace quillon::player::avm1 {
namespace {

constexpr unsigned kHidden = kDontEnum | kDontDelete;

Value ArgOr(Call& c, std::size_t i, Value fallback) {
  return c.Count() > i && !c.Arg(i).IsUndefined() ? c.Arg(i) : fallback;
}

Function* ClassOf(Machine& vm, Object* global, const char* name, NativeFn ctor) {
  Object* proto = vm.NewObject();
  Function* cls = vm.NewClass(ctor, nullptr, proto);
  global->Define(name, Value::Obj(cls), kDontEnum);
  return cls;
}

Object* Proto(Function* cls) {
  const Value p = cls->Get("prototype");
  return p.IsObject() ? p.object : nullptr;
}

// The menu's built-in entries, all shown until hideBuiltInItems.
constexpr const char* kBuiltInItems[] = {"print", "forward_back", "rewind", "loop", "play", "quality", "zoom", "save"};

void InstallContextMenu(Machine& vm, Object* global) {
  Function* item = ClassOf(vm, global, "ContextMenuItem", [](Call& c) -> Value {
    Object* self = c.This();
    if (!self) return {};
    self->Set("caption", c.Arg(0));
    self->Set("onSelect", c.Arg(1));
    self->Set("separatorBefore", ArgOr(c, 2, Value::Bool(false)));
    self->Set("enabled", ArgOr(c, 3, Value::Bool(true)));
    self->Set("visible", ArgOr(c, 4, Value::Bool(true)));
    return {};
  });
  Proto(item)->DefineNative("copy", [item](Call& c) -> Value {
    Object* self = c.This();
    if (!self) return {};
    const std::vector<Value> args = {self->Get("caption"), self->Get("onSelect"), self->Get("separatorBefore"),
                                     self->Get("enabled"), self->Get("visible")};
    return c.vm.Construct(Value::Obj(item), args);
  });

  Function* menu = ClassOf(vm, global, "ContextMenu", [](Call& c) -> Value {
    Object* self = c.This();
    if (!self) return {};
    self->Set("onSelect", c.Arg(0));
    Object* builtIn = c.vm.NewObject();
    for (const char* name : kBuiltInItems) builtIn->Set(name, Value::Bool(true));
    self->Set("builtInItems", Value::Obj(builtIn));
    self->Set("customItems", Value::Obj(c.vm.NewArray()));
    return {};
  });
  Object* menuProto = Proto(menu);
  menuProto->DefineNative("hideBuiltInItems", [](Call& c) -> Value {
    Object* self = c.This();
    const Value builtIn = self ? self->Get("builtInItems") : Value{};
    if (builtIn.IsObject())
      for (const char* name : kBuiltInItems) builtIn.object->Set(name, Value::Bool(false));
    return {};
  });
  menuProto->DefineNative("copy", [menu](Call& c) -> Value {
    Object* self = c.This();
    if (!self) return {};
    const Value onSelect[] = {self->Get("onSelect")};
    const Value copy = c.vm.Construct(Value::Obj(menu), onSelect);
    if (!copy.IsObject()) return copy;
    const Value builtIn = self->Get("builtInItems"), into = copy.object->Get("builtInItems");
    if (builtIn.IsObject() && into.IsObject())
      for (const char* name : kBuiltInItems) into.object->Set(name, builtIn.object->Get(name));
    const Value items = self->Get("customItems");
    auto* target = dynamic_cast<ArrayObject*>(copy.object->Get("customItems").object);
    if (auto* from = items.IsObject() ? dynamic_cast<ArrayObject*>(items.object) : nullptr; from && target)
      for (const Value& v : from->items) {
        Object* o = c.vm.ToObject(v);
        const Value copied = o ? c.vm.CallValue(o->Get("copy"), v, {}) : Value{};
        target->Push(copied.IsUndefined() ? v : copied);
      }
    return copy;
  });
}

// A local connection needs a second movie to talk to; this player runs one.
void InstallLocalConnection(Machine& vm, Object* global) {
  Function* cls = ClassOf(vm, global, "LocalConnection", [](Call&) -> Value { return {}; });
  Object* proto = Proto(cls);
  proto->Define("domain", Value::Obj(vm.NewNative([](Call&) { return Value::Str("localhost"); })), kHidden);
  proto->Define("connect", Value::Obj(vm.NewNative([](Call& c) {
    return Value::Bool(c.Arg(0).IsString() && !c.Arg(0).string.empty());
  }, 1)), kHidden);
  proto->Define("close", Value::Obj(vm.NewNative([](Call&) { return Value{}; })), kHidden);
  proto->Define("send", Value::Obj(vm.NewNative([](Call& c) {
    return Value::Bool(c.Count() >= 2 && c.Arg(0).IsString() && c.Arg(1).IsString());
  }, 2)), kHidden);
}

// No camera or microphone is ever attached: get() finds none and the name lists are empty.
void InstallDevices(Machine& vm, Object* global) {
  for (const char* name : {"Camera", "Microphone"}) {
    Function* cls = ClassOf(vm, global, name, [](Call&) -> Value { return {}; });
    cls->Define("get", Value::Obj(vm.NewNative([](Call&) { return Value::Null(); })), kDontEnum);
    cls->Define("names", Value::Obj(vm.NewArray()), kDontEnum);
  }
  Function* net = ClassOf(vm, global, "NetConnection", [](Call&) -> Value { return {}; });
  // Only connect(null), the local mode for progressive files, succeeds without a server.
  Proto(net)->DefineNative("connect", [](Call& c) { return Value::Bool(c.Arg(0).IsNull()); }, 1);
  Proto(net)->DefineNative("close", [](Call&) { return Value{}; });
  Function* stream = ClassOf(vm, global, "NetStream", [](Call&) -> Value { return {}; });
  for (const char* m : {"play", "pause", "close", "seek", "setBufferTime", "attachAudio", "attachVideo", "publish", "receiveAudio", "receiveVideo"})
    Proto(stream)->DefineNative(m, [](Call&) { return Value{}; });
  Function* print = ClassOf(vm, global, "PrintJob", [](Call&) -> Value { return {}; });
  // The user never agrees to print from a projector here.
  Proto(print)->DefineNative("start", [](Call&) { return Value::Bool(false); });
  Proto(print)->DefineNative("addPage", [](Call&) { return Value::Bool(false); });
  Proto(print)->DefineNative("send", [](Call&) { return Value{}; });
  Function* socket = ClassOf(vm, global, "XMLSocket", [](Call&) -> Value { return {}; });
  Proto(socket)->DefineNative("connect", [](Call&) { return Value::Bool(false); }, 2);
  Proto(socket)->DefineNative("send", [](Call&) { return Value{}; }, 1);
  Proto(socket)->DefineNative("close", [](Call&) { return Value{}; });
}

void InstallAccessibility(Machine& vm, Object* global) {
  Object* access = vm.NewObject();
  access->DefineNative("isActive", [](Call&) { return Value::Bool(false); });
  access->DefineNative("updateProperties", [](Call&) { return Value{}; });
  access->DefineNative("sendEvent", [](Call&) { return Value{}; });
  global->Define("Accessibility", Value::Obj(access), kDontEnum);
  const Value system = global->Get("System");
  if (!system.IsObject()) return;
  // No input method editor: text arrives as typed characters.
  Object* ime = vm.NewObject();
  ime->DefineNative("getEnabled", [](Call&) { return Value::Bool(false); });
  ime->DefineNative("setEnabled", [](Call&) { return Value::Bool(false); }, 1);
  ime->DefineNative("getConversionMode", [](Call&) { return Value::Str("UNKNOWN"); });
  ime->DefineNative("setConversionMode", [](Call&) { return Value::Bool(false); }, 1);
  ime->DefineNative("setCompositionString", [](Call&) { return Value::Bool(false); }, 1);
  ime->DefineNative("doConversion", [](Call&) { return Value::Bool(false); });
  system.object->Define("IME", Value::Obj(ime), kDontEnum);
}

}  // namespace

void InstallMinorClasses(Machine& vm, Object* global) {
  InstallContextMenu(vm, global);
  InstallLocalConnection(vm, global);
  InstallDevices(vm, global);
  InstallAccessibility(vm, global);
}

}  // namespace quillon::player::avm1
