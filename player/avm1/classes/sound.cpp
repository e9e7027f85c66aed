// The Sound class over the player's SoundControl. A Sound object remembers its target as a
// path, so that a renamed or replaced clip is found (or not) as the reference player finds it.
#include "avm1/classes/sound.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "avm1/classes/extra_classes.h"

namespace quillon::player::avm1 {
namespace {

struct SoundState {
  SoundControl* control = nullptr;
};

constexpr std::string_view kStateKey = "\x01" "soundControl";
constexpr std::string_view kTargetKey = "\x01" "soundTarget";  // a path; absent for the global sound
constexpr std::string_view kSoundKey = "\x01" "soundId";      // the attached sound
constexpr std::string_view kVoiceKey = "\x01" "soundVoice";   // the latest voice started
// SWF 6 and later see these (the version bit of ASSetPropFlags).
constexpr std::uint16_t kSwf6 = 0x0080;

SoundControl* ControlOf(Machine& vm) { return extra_detail::StateOf<SoundState>(vm, kStateKey)->control; }

// Volume and pan convert as the reference player's machine code does: out of range and NaN
// give the lowest integer; a missing argument is 0.
std::int32_t Truncated(Call& c, std::size_t i) {
  if (i >= c.Count()) return 0;
  const double n = c.vm.ToNumber(c.Arg(i));
  if (!(n >= -2147483648.0 && n < 2147483648.0)) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(n);
}

// A dot path whose names may also be variables holding clips, as target paths resolve in the
// reference player: a clip renamed away is still found through a variable of its old name.
Clip* ThroughVariables(Machine& vm, std::string_view path, Clip* base) {
  Clip* at = base;
  constexpr std::string_view kLevel = "_level0";
  if (path.substr(0, kLevel.size()) == kLevel) {
    at = vm.host().Root();
    path.remove_prefix(kLevel.size());
    if (!path.empty() && path[0] == '.') path.remove_prefix(1);
  }
  while (at && !path.empty()) {
    const std::size_t dot = path.find('.');
    const std::string_view name = path.substr(0, dot);
    path = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
    Clip* next = at->ChildByName(name);
    if (!next) {
      const Value v = at->Get(name);
      next = v.IsObject() ? dynamic_cast<Clip*>(v.object) : nullptr;
    }
    at = next;
  }
  return at;
}

// The target clip: null with `global` set for the movie's own sound, null alone when the
// target is not on the stage.
Object* TargetOf(Call& c, bool& global) {
  global = false;
  Object* self = c.This();
  Property* p = self ? self->FindOwn(kTargetKey) : nullptr;
  if (!self) return nullptr;
  if (!p) {
    global = true;
    return nullptr;
  }
  Clip* base = c.vm.currentClip ? c.vm.currentClip : c.vm.host().Root();
  if (!p->value.IsString()) return nullptr;
  Clip* clip = c.vm.ResolveTarget(p->value.string, base);
  if (!clip) clip = ThroughVariables(c.vm, p->value.string, base);
  return clip && clip->Alive() ? clip : nullptr;
}

bool Read(Call& c, sound::Transform& t, Object** target = nullptr) {
  SoundControl* control = ControlOf(c.vm);
  bool global = false;
  Object* clip = TargetOf(c, global);
  if (target) *target = clip;
  if (!clip && !global) return false;
  if (!control) {
    t = {};
    return true;
  }
  return control->GetTransform(clip, t);
}

void Write(Call& c, const sound::Transform& t) {
  bool global = false;
  Object* clip = TargetOf(c, global);
  if (SoundControl* control = ControlOf(c.vm); control && (clip || global)) control->SetTransform(clip, t);
}

std::uint32_t AttachedSound(Call& c) {
  Object* self = c.This();
  Property* p = self ? self->FindOwn(kSoundKey) : nullptr;
  return p && p->value.IsNumber() ? static_cast<std::uint32_t>(p->value.number) : 0;
}

Value GetVolume(Call& c) {
  sound::Transform t;
  return Read(c, t) ? Value::Num(t.volume) : Value::Undefined();
}

Value SetVolume(Call& c) {
  sound::Transform t;
  if (!Read(c, t)) return {};
  t.volume = Truncated(c, 0);
  Write(c, t);
  return {};
}

Value GetPan(Call& c) {
  sound::Transform t;
  if (!Read(c, t)) return {};
  const std::int64_t ll = t.leftToLeft, rr = t.rightToRight;
  const std::int64_t pan = ll != 100 ? 100 - std::llabs(ll) : std::llabs(rr) - 100;
  return Value::Num(static_cast<double>(static_cast<std::int32_t>(pan)));
}

Value SetPan(Call& c) {
  sound::Transform t;
  if (!Read(c, t)) return {};
  const std::int64_t pan = Truncated(c, 0);
  t.leftToLeft = static_cast<std::int32_t>(pan >= 0 ? 100 - pan : 100);
  t.rightToRight = static_cast<std::int32_t>(pan >= 0 ? 100 : 100 + pan);
  t.leftToRight = t.rightToLeft = 0;
  Write(c, t);
  return {};
}

Value GetTransform(Call& c) {
  sound::Transform t;
  if (!Read(c, t)) return {};
  Object* out = c.vm.NewObject();
  out->Set("ll", Value::Num(t.leftToLeft));
  out->Set("lr", Value::Num(t.leftToRight));
  out->Set("rr", Value::Num(t.rightToRight));
  out->Set("rl", Value::Num(t.rightToLeft));
  return Value::Obj(out);
}

// Only the object's own fields change the transform; inherited ones are not looked at.
Value SetTransform(Call& c) {
  Object* from = c.Arg(0).IsObject() ? c.Arg(0).object : nullptr;
  sound::Transform t;
  if (!from || !Read(c, t)) return {};
  const std::pair<const char*, std::int32_t*> fields[] = {
      {"ll", &t.leftToLeft}, {"lr", &t.leftToRight}, {"rr", &t.rightToRight}, {"rl", &t.rightToLeft}};
  for (const auto& [name, into] : fields)
    if (from->FindOwn(name)) *into = ToInt32(c.vm.ToNumber(from->Get(name)));
  Write(c, t);
  return {};
}

Value AttachSound(Call& c) {
  Object* self = c.This();
  SoundControl* control = ControlOf(c.vm);
  if (!self || !control || c.Count() == 0) return {};
  if (const std::uint32_t id = control->FindSound(c.vm.ToString(c.Arg(0))))
    self->Define(kSoundKey, Value::Num(id), kDontEnum | kDontDelete);
  return {};
}

Value Start(Call& c) {
  Object* self = c.This();
  SoundControl* control = ControlOf(c.vm);
  const std::uint32_t id = AttachedSound(c);
  if (!self || !control || !id) return {};
  double offset = c.Count() > 0 ? c.vm.ToNumber(c.Arg(0)) : 0;
  if (!(offset > 0)) offset = 0;
  const double loopsArg = c.Count() > 1 ? c.vm.ToNumber(c.Arg(1)) : 1;
  const int loops = loopsArg >= 1 && loopsArg < 65536 ? static_cast<int>(loopsArg) : 1;
  bool global = false;
  Object* clip = TargetOf(c, global);
  if (!clip && !global) return {};
  const std::uint64_t voice = control->Start(id, clip, self, offset, loops);
  self->Define(kVoiceKey, Value::Num(static_cast<double>(voice)), kDontEnum | kDontDelete);
  return {};
}

Value Stop(Call& c) {
  SoundControl* control = ControlOf(c.vm);
  if (!control) return {};
  std::uint32_t id = 0;
  if (c.Count() > 0) {
    id = control->FindSound(c.vm.ToString(c.Arg(0)));
    if (!id) return {};
  }
  bool global = false;
  Object* clip = TargetOf(c, global);
  if (clip || global) control->Stop(clip, id);
  return {};
}

Value Duration(Call& c) {
  SoundControl* control = ControlOf(c.vm);
  const std::uint32_t id = AttachedSound(c);
  if (!control || !id) return {};
  return Value::Num(std::round(control->DurationMs(id)));
}

Value Position(Call& c) {
  SoundControl* control = ControlOf(c.vm);
  const std::uint32_t id = AttachedSound(c);
  if (!control || !id) return {};
  Object* self = c.This();
  Property* p = self ? self->FindOwn(kVoiceKey) : nullptr;
  const double at = p && p->value.IsNumber() ? control->PositionMs(static_cast<std::uint64_t>(p->value.number)) : -1;
  return Value::Num(at >= 0 ? std::round(at) : 0);
}

// Loads an MP3 file beside the movie; the sound is there at once, so onLoad hears success
// (or failure) on the call.
Value LoadSound(Call& c) {
  Object* self = c.This();
  SoundControl* control = ControlOf(c.vm);
  if (!self || !control || c.Count() == 0) return {};
  const std::uint32_t id = control->LoadSound(c.vm.ToString(c.Arg(0)));
  if (id) self->Define(kSoundKey, Value::Num(id), kDontEnum | kDontDelete);
  if (id && c.vm.ToBool(c.Arg(1))) Start(c);
  const Value ok = Value::Bool(id != 0);
  c.vm.CallMethod(self, "onLoad", std::span<const Value>(&ok, 1));
  return {};
}

Value BytesLoaded(Call& c) {
  if (!AttachedSound(c)) return {};
  return Value::Num(0);
}

}  // namespace

void SetSoundControl(Machine& vm, SoundControl* control) { extra_detail::StateOf<SoundState>(vm, kStateKey)->control = control; }

void StopAllSounds(Machine& vm) {
  if (SoundControl* control = ControlOf(vm)) control->StopAll();
}

void InstallSound(Machine& vm, Object* global) {
  Object* proto = vm.NewObject();
  Function* cls = vm.NewClass([](Call& c) -> Value {
    Object* self = c.This();
    if (!self || c.Count() == 0 || c.Arg(0).IsUndefined()) return {};
    // A clip is kept by its path now; anything else by what it converts to (which may throw).
    std::string path;
    if (auto* clip = c.Arg(0).IsObject() ? dynamic_cast<Clip*>(c.Arg(0).object) : nullptr) path = clip->DotPath();
    else path = c.vm.ToString(c.Arg(0));
    self->Define(kTargetKey, Value::Str(std::move(path)), kDontEnum | kDontDelete);
    return {};
  }, nullptr, proto);
  const std::uint16_t hidden = kDontEnum | kDontDelete;
  proto->DefineNative("getPan", GetPan);
  proto->DefineNative("getTransform", GetTransform);
  proto->DefineNative("getVolume", GetVolume);
  proto->DefineNative("setPan", SetPan, 1);
  proto->DefineNative("setTransform", SetTransform, 1);
  proto->DefineNative("setVolume", SetVolume, 1);
  proto->DefineNative("stop", Stop);
  proto->DefineNative("attachSound", AttachSound, 1);
  proto->DefineNative("start", Start);
  proto->DefineNative("getDuration", Duration);
  proto->DefineNative("setDuration", [](Call&) -> Value { return {}; });
  proto->DefineNative("getPosition", Position);
  proto->DefineNative("setPosition", [](Call&) -> Value { return {}; });
  proto->DefineNative("loadSound", LoadSound, 2);
  proto->DefineNative("getBytesLoaded", BytesLoaded);
  proto->DefineNative("getBytesTotal", BytesLoaded);
  for (const char* name : {"getPan", "getTransform", "getVolume", "setPan", "setTransform", "setVolume", "stop",
                           "attachSound", "start"})
    proto->SetFlags(name, hidden, 0);
  for (const char* name : {"getDuration", "setDuration", "getPosition", "setPosition", "loadSound", "getBytesLoaded",
                           "getBytesTotal"})
    proto->SetFlags(name, hidden | kSwf6, 0);
  proto->AddProperty("duration", vm.NewNative(Duration), nullptr);
  proto->AddProperty("position", vm.NewNative(Position), nullptr);
  proto->AddProperty("id3", vm.NewNative([](Call&) -> Value { return {}; }), nullptr);
  for (const char* name : {"duration", "position", "id3"}) proto->SetFlags(name, hidden | kSwf6, 0);
  proto->SetFlags("constructor", kDontEnum, 0);
  global->Define("Sound", Value::Obj(cls), kDontEnum);
  Function* stopAll = vm.NewNative([](Call& c) -> Value {
    StopAllSounds(c.vm);
    return {};
  });
  global->Define("stopAllSounds", Value::Obj(stopAll), kDontEnum);
}

}  // namespace quillon::player::avm1
