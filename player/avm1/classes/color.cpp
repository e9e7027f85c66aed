// The Color class: a clip's colour transform as a tint (setRGB, getRGB) and in percentages
// (setTransform, getTransform), read and written through the display's ColorTarget.
#include <array>

#include "avm1/classes/extra_classes.h"

namespace quillon::player::avm1 {
namespace {

struct ColorState {
  ColorTarget* target = nullptr;
};

constexpr std::string_view kStateKey = "\x01" "colorTarget";
// The clip (or target path) a Color object was made for.
constexpr std::string_view kTargetKey = "\x01" "colorClip";

using Color8 = std::array<double, 8>;

// The target is looked up at each call, as a path may name a different clip by then.
Clip* TargetOf(Call& c) {
  Object* self = c.This();
  Property* p = self ? self->FindOwn(kTargetKey) : nullptr;
  if (!p) return nullptr;
  Clip* clip = nullptr;
  if (p->value.IsObject()) clip = dynamic_cast<Clip*>(p->value.object);
  else if (p->value.IsString()) clip = c.vm.ResolveTarget(p->value.string, c.vm.currentClip);
  return clip && clip->Alive() ? clip : nullptr;
}

// Without a display to ask, a clip is untinted and stays so.
bool Read(Machine& vm, Clip* clip, Color8& out) {
  ColorTarget* t = GetColorTarget(vm);
  if (!t) {
    out = {1, 1, 1, 1, 0, 0, 0, 0};
    return true;
  }
  return t->GetColorTransform(clip, out.data());
}

void Write(Machine& vm, Clip* clip, const Color8& v) {
  if (ColorTarget* t = GetColorTarget(vm)) t->SetColorTransform(clip, v.data());
}

// getTransform's names: multipliers in percent (a), offsets (b), per channel.
struct Field {
  const char* name;
  std::size_t index;
  double scale;
};
constexpr Field kFields[] = {{"ra", 0, 100}, {"rb", 4, 1}, {"ga", 1, 100}, {"gb", 5, 1},
                             {"ba", 2, 100}, {"bb", 6, 1}, {"aa", 3, 100}, {"ab", 7, 1}};

Value SetRgb(Call& c) {
  const std::int32_t rgb = ToInt32(c.vm.ToNumber(c.Arg(0)));
  Clip* clip = TargetOf(c);
  Color8 v{};
  if (!clip || !Read(c.vm, clip, v)) return {};
  v[0] = v[1] = v[2] = 0;
  v[4] = (rgb >> 16) & 0xFF;
  v[5] = (rgb >> 8) & 0xFF;
  v[6] = rgb & 0xFF;
  Write(c.vm, clip, v);
  return {};
}

Value GetRgb(Call& c) {
  Clip* clip = TargetOf(c);
  Color8 v{};
  if (!clip || !Read(c.vm, clip, v)) return {};
  const auto r = static_cast<std::uint32_t>(ToInt32(v[4])), g = static_cast<std::uint32_t>(ToInt32(v[5]));
  const auto b = static_cast<std::uint32_t>(ToInt32(v[6]));
  return Value::Num(static_cast<std::int32_t>((r << 16) | (g << 8) | b));
}

// Only the names the object has change; the rest of the transform stays.
Value SetTransform(Call& c) {
  Object* from = c.Arg(0).IsObject() ? c.Arg(0).object : nullptr;
  Clip* clip = TargetOf(c);
  Color8 v{};
  if (!from || !clip || !Read(c.vm, clip, v)) return {};
  for (const Field& f : kFields) {
    bool found = false;
    const Value n = from->Get(f.name, &found);
    if (found) v[f.index] = c.vm.ToNumber(n) / f.scale;
  }
  Write(c.vm, clip, v);
  return {};
}

Value GetTransform(Call& c) {
  Clip* clip = TargetOf(c);
  Color8 v{};
  if (!clip || !Read(c.vm, clip, v)) return {};
  Object* out = c.vm.NewObject();
  for (const Field& f : kFields) out->Set(f.name, Value::Num(v[f.index] * f.scale));
  return Value::Obj(out);
}

}  // namespace

void SetColorTarget(Machine& vm, ColorTarget* target) { extra_detail::StateOf<ColorState>(vm, kStateKey)->target = target; }

ColorTarget* GetColorTarget(Machine& vm) { return extra_detail::StateOf<ColorState>(vm, kStateKey)->target; }

void InstallColor(Machine& vm, Object* global) {
  Object* proto = vm.NewObject();
  Function* cls = vm.NewClass([](Call& c) -> Value {
    if (Object* self = c.This()) self->Define(kTargetKey, c.Arg(0), kDontEnum | kDontDelete);
    return {};
  }, nullptr, proto);
  proto->DefineNative("setRGB", SetRgb, 1);
  proto->DefineNative("getRGB", GetRgb);
  proto->DefineNative("setTransform", SetTransform, 1);
  proto->DefineNative("getTransform", GetTransform);
  global->Define("Color", Value::Obj(cls), kDontEnum);
}

}  // namespace quillon::player::avm1
