// MovieClipLoader: loadClip hands the load to the player, whose progress events come back
// through the loader's own broadcastMessage (so scripts may replace it), to the loader itself
// first and then to its listeners.
#include "avm1/classes/extra_classes.h"

namespace quillon::player::avm1 {
namespace {

// A target given as a clip, a path, or a level number.
Clip* TargetArg(Call& c, const Value& v) {
  if (v.IsObject()) return dynamic_cast<Clip*>(v.object);
  if (v.IsNumber()) return c.vm.host().Level(static_cast<int>(c.vm.ToInteger(v)));
  if (v.IsString()) return c.vm.ResolveTarget(v.string, c.vm.currentClip ? c.vm.currentClip : c.vm.host().Root());
  return nullptr;
}

}  // namespace

void InstallMovieClipLoader(Machine& vm, Object* global) {
  const Value broadcaster = global->Get("AsBroadcaster");
  Object* proto = vm.NewObject();
  Function* cls = vm.NewClass([](Call& c) -> Value {
    Object* self = c.This();
    if (!self) return {};
    const Value me[] = {Value::Obj(self)};
    self->Define("_listeners", Value::Obj(c.vm.NewArray({me[0]})), kDontEnum);
    return {};
  }, nullptr, proto);
  // The broadcaster's methods, shared with every loader through the prototype.
  if (broadcaster.IsObject())
    for (const char* name : {"addListener", "removeListener", "broadcastMessage"})
      proto->Define(name, broadcaster.object->Get(name), kDontEnum);
  proto->DefineNative("loadClip", [](Call& c) -> Value {
    Object* self = c.This();
    Clip* target = TargetArg(c, c.Arg(1));
    if (!self || !target || !c.Arg(0).IsString()) return Value::Bool(false);
    return Value::Bool(c.vm.host().LoadMovie(target, c.Arg(0).string, self));
  }, 2);
  proto->DefineNative("unloadClip", [](Call& c) -> Value {
    Clip* target = TargetArg(c, c.Arg(0));
    return Value::Bool(target && c.vm.host().UnloadMovie(target));
  }, 1);
  proto->DefineNative("getProgress", [](Call& c) -> Value {
    Clip* target = TargetArg(c, c.Arg(0));
    Object* out = c.vm.NewObject();
    if (target) {
      out->Set("bytesLoaded", c.vm.CallMethod(target, "getBytesLoaded", {}));
      out->Set("bytesTotal", c.vm.CallMethod(target, "getBytesTotal", {}));
    }
    return Value::Obj(out);
  }, 1);
  global->Define("MovieClipLoader", Value::Obj(cls), kDontEnum);
}

}  // namespace quillon::player::avm1
