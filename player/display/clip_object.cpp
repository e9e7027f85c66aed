#include "display/clip_object.h"

#include <cmath>
#include <numbers>

#include "display/player.h"

namespace quillon::player {
namespace {

using avm1::Value;

constexpr const char* kPropertyNames[] = {"_x", "_y", "_xscale", "_yscale", "_currentframe", "_totalframes",
                                          "_alpha", "_visible", "_width", "_height", "_rotation", "_target",
                                          "_framesloaded", "_name", "_droptarget", "_url", "_highquality",
                                          "_focusrect", "_soundbuftime", "_quality", "_xmouse", "_ymouse"};

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// The bounding box of what a display object draws, in its parent's twips.
struct Box {
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  bool empty() const { return x0 > x1; }
  void Add(const Matrix& m, double ax, double ay, double bx, double by) {
    for (const Point p : {Point{ax, ay}, Point{bx, ay}, Point{ax, by}, Point{bx, by}}) {
      const Point q = m.apply(p);
      x0 = std::min(x0, q.x), y0 = std::min(y0, q.y), x1 = std::max(x1, q.x), y1 = std::max(y1, q.y);
    }
  }
};

void AddBounds(const Instance& inst, const Matrix& m, Box& box, int depth);

void AddObject(const DisplayObject& obj, const Matrix& m, Box& box, int depth) {
  if (!obj.character || depth > 64) return;
  const Matrix world = m * obj.matrix;
  if (const auto* shape = std::get_if<ShapeDef>(obj.character.get())) {
    box.Add(world, shape->xMin, shape->yMin, shape->xMax, shape->yMax);
  } else if (obj.sprite) {
    AddBounds(*obj.sprite, world, box, depth + 1);
  }
}

void AddBounds(const Instance& inst, const Matrix& m, Box& box, int depth) {
  for (const auto& [d, obj] : inst.displayList) AddObject(obj, m, box, depth);
}

double Twips(double pixels) {
  const double t = std::round(pixels * 20);
  return std::isfinite(t) ? std::clamp(t, -2147483648.0, 2147483647.0) : 0;
}

}  // namespace

int ClipPropertyIndex(std::string_view name) {
  for (int i = 0; i < static_cast<int>(std::size(kPropertyNames)); ++i)
    if (SameNoCase(name, kPropertyNames[i])) return i;
  return -1;
}

ClipObject::ClipObject(avm1::Machine& vm, Player& player, std::weak_ptr<Instance> instance)
    : Clip(vm), player_(player), instance_(std::move(instance)) {
  SetProto(vm.movieClipProto);
}

DisplayObject* ClipObject::Display() {
  auto inst = instance_.lock();
  return inst ? player_.DisplayOf(*inst) : nullptr;
}

avm1::Clip* ClipObject::ParentClip() {
  auto inst = instance_.lock();
  auto parent = inst ? inst->parent.lock() : nullptr;
  return parent ? player_.ObjectOf(*parent) : nullptr;
}

avm1::Clip* ClipObject::ChildByName(std::string_view name) {
  auto inst = instance_.lock();
  if (!inst) return nullptr;
  for (auto& [depth, obj] : inst->displayList) {
    if (!obj.sprite) continue;
    const bool same = vm().caseSensitive() ? obj.name == name : SameNoCase(obj.name, name);
    if (same) return player_.ObjectOf(*obj.sprite);
  }
  return nullptr;
}

std::string ClipObject::DotPath() {
  auto inst = instance_.lock();
  if (!inst) return "";
  auto parent = inst->parent.lock();
  if (!parent) return "_level0";
  DisplayObject* d = Display();
  return player_.ObjectOf(*parent)->DotPath() + "." + (d ? d->name : std::string());
}

std::string ClipObject::SlashPath() {
  auto inst = instance_.lock();
  if (!inst) return "";
  auto parent = inst->parent.lock();
  if (!parent) return "/";
  DisplayObject* d = Display();
  std::string up = player_.ObjectOf(*parent)->SlashPath();
  if (up != "/") up += "/";
  return up + (d ? d->name : std::string());
}

Value ClipObject::GetIndexed(int index) {
  auto inst = instance_.lock();
  DisplayObject* d = Display();
  if (!inst || !d) return {};
  const Matrix& m = d->matrix;
  const double frames = inst->timeline ? static_cast<double>(inst->timeline->frames.size()) : 1;
  switch (index) {
    case 0: return Value::Num(m.tx / 20);
    case 1: return Value::Num(m.ty / 20);
    case 2: return Value::Num(std::hypot(m.a, m.b) * 100);
    case 3: return Value::Num(std::hypot(m.c, m.d) * 100);
    case 4: return Value::Num(static_cast<double>(inst->frame + 1));
    case 5: case 12: return Value::Num(frames);
    case 6: return Value::Num(d->colorTransform.am * 100);
    case 7: return Value::Bool(d->visible);
    case 8: case 9: {
      Box box;
      Matrix identity;
      auto parent = inst->parent.lock();
      AddObject(*d, identity, box, 0);
      if (box.empty()) return Value::Num(0);
      return Value::Num((index == 8 ? box.x1 - box.x0 : box.y1 - box.y0) / 20);
    }
    case 10: {
      const double r = std::atan2(m.b, m.a) * 180 / std::numbers::pi;
      return Value::Num(r);
    }
    case 11: return Value::Str(SlashPath());
    case 13: return Value::Str(d->name);
    case 14: return Value::Str("");
    case 15: return Value::Str("");
    case 16: return Value::Num(1);
    case 17: return Value::Bool(true);
    case 18: return Value::Num(5);
    case 19: return Value::Str("HIGH");
    case 20: case 21: return Value::Num(0);
    default: return {};
  }
}

void ClipObject::SetIndexed(int index, const Value& value) {
  DisplayObject* d = Display();
  if (!d) return;
  Matrix& m = d->matrix;
  if (index == 13) {
    d->name = vm().ToString(value);
    return;
  }
  if (index == 7) {
    d->visible = vm().ToBool(value);
    return;
  }
  const double v = vm().ToNumber(value);
  if (!std::isfinite(v)) return;
  const double sx = std::hypot(m.a, m.b), sy = std::hypot(m.c, m.d);
  const double rot = std::atan2(m.b, m.a);
  const double skew = std::atan2(-m.c, m.d);
  switch (index) {
    case 0: m.tx = Twips(v); break;
    case 1: m.ty = Twips(v); break;
    case 2: m.a = std::cos(rot) * v / 100; m.b = std::sin(rot) * v / 100; break;
    case 3: m.c = -std::sin(skew) * v / 100; m.d = std::cos(skew) * v / 100; break;
    case 6: d->colorTransform.am = v / 100; break;
    case 8: case 9: {
      const Value now = GetIndexed(index);
      const double current = now.IsNumber() ? now.number : 0;
      if (current <= 0) break;
      const double k = v / current;
      if (index == 8) m.a *= k, m.b *= k;
      else m.c *= k, m.d *= k;
      break;
    }
    case 10: {
      double deg = std::fmod(v, 360);
      if (deg > 180) deg -= 360;
      if (deg < -180) deg += 360;
      const double angle = deg * std::numbers::pi / 180;
      m.a = std::cos(angle) * sx; m.b = std::sin(angle) * sx;
      m.c = -std::sin(angle) * sy; m.d = std::cos(angle) * sy;
      break;
    }
    default: break;
  }
}

void ClipObject::GotoFrame(const Value& frame, bool play, int bias) {
  auto inst = instance_.lock();
  if (!inst || !inst->timeline) return;
  double n = NAN;
  if (frame.IsString()) {
    n = avm1::StringToNumber(frame.string, 7);
    if (!std::isfinite(n)) {
      if (auto f = inst->timeline->FrameOfLabel(frame.string)) {
        player_.GotoFrame(*inst, *f + static_cast<std::size_t>(std::max(bias, 0)), play);
      } else if (!play) {
        inst->playing = false;
      }
      return;
    }
  } else {
    n = vm().ToNumber(frame);
  }
  if (!std::isfinite(n)) return;
  const double f = std::floor(n) + bias;
  if (f < 1) {
    if (!play) inst->playing = false;
    return;
  }
  player_.GotoFrame(*inst, static_cast<std::size_t>(std::min(f, 1e9)) - 1, play);
}

void ClipObject::Play() {
  if (auto inst = instance_.lock()) inst->playing = true;
}

void ClipObject::Stop() {
  if (auto inst = instance_.lock()) inst->playing = false;
}

void ClipObject::NextFrame() {
  auto inst = instance_.lock();
  if (!inst || !inst->timeline) return;
  if (inst->frame + 1 < inst->timeline->frames.size()) player_.GotoFrame(*inst, inst->frame + 1, false);
  else inst->playing = false;
}

void ClipObject::PrevFrame() {
  auto inst = instance_.lock();
  if (!inst) return;
  if (inst->frame > 0) player_.GotoFrame(*inst, inst->frame - 1, false);
  else inst->playing = false;
}

int ClipObject::CurrentFrame() {
  auto inst = instance_.lock();
  return inst ? static_cast<int>(inst->frame) + 1 : 0;
}

int ClipObject::FramesLoaded() {
  auto inst = instance_.lock();
  return inst && inst->timeline ? static_cast<int>(inst->timeline->frames.size()) : 0;
}

void ClipObject::Duplicate(const std::string& name, int depth) { player_.DuplicateClip(*this, name, depth); }

void ClipObject::Remove() { player_.RemoveClip(*this); }

bool ClipObject::GetSpecial(std::string_view name, Value& out) {
  if (!name.empty() && name[0] == '_') {
    const int index = ClipPropertyIndex(name);
    if (index >= 0) {
      out = GetIndexed(index);
      return true;
    }
    if (SameNoCase(name, "_parent")) {
      avm1::Clip* p = ParentClip();
      out = p ? Value::Obj(p) : Value::Undefined();
      return true;
    }
    if (SameNoCase(name, "_root")) {
      out = Value::Obj(player_.ObjectOf(*player_.root_));
      return true;
    }
    if (SameNoCase(name, "_global") && vm().version() >= 6) {
      out = Value::Obj(vm().global());
      return true;
    }
  }
  if (avm1::Clip* child = ChildByName(name)) {
    out = Value::Obj(child);
    return true;
  }
  return false;
}

bool ClipObject::SetSpecial(std::string_view name, const Value& value) {
  if (name.empty() || name[0] != '_') return false;
  const int index = ClipPropertyIndex(name);
  if (index < 0) return false;
  SetIndexed(index, value);
  return true;
}

void InstallMovieClip(avm1::Machine& vm, Player& player) {
  avm1::Object* proto = vm.NewObject();
  vm.movieClipProto = proto;
  auto self = [](avm1::Call& c) { return c.This() ? dynamic_cast<ClipObject*>(c.This()) : nullptr; };
  auto method = [&](const char* name, auto body) {
    proto->DefineNative(name, [self, body](avm1::Call& c) -> Value {
      ClipObject* clip = self(c);
      if (!clip) return {};
      return body(*clip, c);
    });
  };
  method("play", [](ClipObject& clip, avm1::Call&) { clip.Play(); return Value{}; });
  method("stop", [](ClipObject& clip, avm1::Call&) { clip.Stop(); return Value{}; });
  method("nextFrame", [](ClipObject& clip, avm1::Call&) { clip.NextFrame(); return Value{}; });
  method("prevFrame", [](ClipObject& clip, avm1::Call&) { clip.PrevFrame(); return Value{}; });
  method("gotoAndPlay", [](ClipObject& clip, avm1::Call& c) { clip.GotoFrame(c.Arg(0), true, 0); return Value{}; });
  method("gotoAndStop", [](ClipObject& clip, avm1::Call& c) { clip.GotoFrame(c.Arg(0), false, 0); return Value{}; });
  method("getDepth", [](ClipObject& clip, avm1::Call&) {
    auto inst = clip.instance();
    if (!inst || !inst->parent.lock()) return Value::Num(-16384);
    for (auto& [depth, obj] : inst->parent.lock()->displayList)
      if (obj.sprite == inst) return Value::Num(depth - 16384);
    return Value{};
  });
  method("removeMovieClip", [](ClipObject& clip, avm1::Call&) { clip.Remove(); return Value{}; });
  method("duplicateMovieClip", [](ClipObject& clip, avm1::Call& c) {
    const double depth = c.vm.ToNumber(c.Arg(1));
    if (!std::isfinite(depth) || std::abs(depth) > 1e9) return Value{};
    clip.Duplicate(c.vm.ToString(c.Arg(0)), static_cast<int>(depth));
    return Value::Obj(clip.ParentClip() ? clip.ParentClip()->ChildByName(c.vm.ToString(c.Arg(0))) : nullptr);
  });
  method("createEmptyMovieClip", [&player](ClipObject& clip, avm1::Call& c) {
    const double depth = c.vm.ToNumber(c.Arg(1));
    if (!std::isfinite(depth) || std::abs(depth) > 1e9) return Value{};
    return Value::Obj(player.CreateEmptyClip(clip, c.vm.ToString(c.Arg(0)), static_cast<int>(depth)));
  });
  method("getBytesLoaded", [&player](ClipObject&, avm1::Call&) { return Value::Num(static_cast<double>(player.movieSize())); });
  method("getBytesTotal", [&player](ClipObject&, avm1::Call&) { return Value::Num(static_cast<double>(player.movieSize())); });
  vm.global()->Define("MovieClip", Value::Obj(vm.NewClass([](avm1::Call&) { return Value{}; }, nullptr, proto)),
                      avm1::kDontEnum);
}

}  // namespace quillon::player
