#include "display/clip_object.h"

#include <cctype>
#include <cmath>
#include <map>
#include <numbers>
#include <optional>

#include "avm1/classes/data_classes.h"
#include "avm1/classes/array.h"
#include "avm1/classes/extra_classes.h"
#include "avm1/classes/filters.h"
#include "display/drawing_styles.h"
#include "display/player.h"
#include "display/text_field.h"
#include "render/raster.h"

namespace quillon::player {
namespace {

using avm1::Value;

constexpr const char* kPropertyNames[] = {"_x", "_y", "_xscale", "_yscale", "_currentframe", "_totalframes",
                                          "_alpha", "_visible", "_width", "_height", "_rotation", "_target",
                                          "_framesloaded", "_name", "_droptarget", "_url", "_highquality",
                                          "_focusrect", "_soundbuftime", "_quality", "_xmouse", "_ymouse"};
constexpr int kMaxPathSegments = 256;
constexpr int kMaxBoundsNesting = 64;
// The bounds of something that draws nothing, in twips.
constexpr double kEmptyBounds = 134217728;
constexpr double kPi = std::numbers::pi;

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// A rectangle in twips; empty until something is added.
struct Box {
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  bool empty() const { return !(x0 <= x1); }
  void Add(const Matrix& m, const Box& b) {
    if (b.empty()) return;
    for (const Point p : {Point{b.x0, b.y0}, Point{b.x1, b.y0}, Point{b.x0, b.y1}, Point{b.x1, b.y1}}) {
      const Point q = m.apply(p);
      x0 = std::min(x0, q.x), y0 = std::min(y0, q.y), x1 = std::max(x1, q.x), y1 = std::max(y1, q.y);
    }
  }
};

Box Rect(double x0, double y0, double x1, double y1) { return {x0, y0, x1, y1}; }

// What auto-size has moved a text field's box by, which _x counts in.
double FieldShift(const DisplayObject& d) { return d.sprite && d.sprite->field ? d.sprite->field->autoShift : 0; }

Box LocalBounds(const Instance& inst, int depth);

// What a display object covers in its own coordinates.
Box ObjectBounds(const DisplayObject& obj, int depth) {
  if (obj.sprite && obj.sprite->field) {
    const text::Field& f = *obj.sprite->field;
    return Rect(f.xMin, f.yMin, f.xMax, f.yMax);
  }
  if (obj.sprite) return LocalBounds(*obj.sprite, depth + 1);
  if (!obj.character) return {};
  const Character& c = *obj.character;
  if (const auto* shape = std::get_if<ShapeDef>(&c)) return Rect(shape->xMin, shape->yMin, shape->xMax, shape->yMax);
  if (const auto* morph = std::get_if<MorphShapeDef>(&c)) {
    const double t = std::clamp(obj.ratio, 0.0, 1.0);
    const double* s = morph->startBounds;
    const double* e = morph->endBounds;
    return Rect(Lerp(s[0], e[0], t), Lerp(s[1], e[1], t), Lerp(s[2], e[2], t), Lerp(s[3], e[3], t));
  }
  if (const auto* other = std::get_if<OtherDef>(&c)) return Rect(other->xMin, other->yMin, other->xMax, other->yMax);
  if (const auto* text = std::get_if<TextDef>(&c)) return Rect(text->xMin, text->yMin, text->xMax, text->yMax);
  if (const auto* bitmap = std::get_if<BitmapDef>(&c)) return Rect(0, 0, bitmap->width * 20.0, bitmap->height * 20.0);
  return {};
}

Box LocalBounds(const Instance& inst, int depth) {
  Box box;
  if (const Drawing* d = inst.drawing.get(); d && d->hasBounds) box = Rect(d->xMin, d->yMin, d->xMax, d->yMax);
  if (depth > kMaxBoundsNesting) return box;
  for (const auto& [d, obj] : inst.displayList) box.Add(obj.matrix, ObjectBounds(obj, depth));
  return box;
}

double Twips(double pixels) {
  const double t = std::round(pixels * 20);
  return std::isfinite(t) ? std::clamp(t, -2147483648.0, 2147483647.0) : 0;
}

// Matrices keep whole twips of translation, as the reference player's do; the rounding
// shows in the points scripts convert.
Matrix WholeTwips(Matrix m) {
  m.tx = std::round(m.tx);
  m.ty = std::round(m.ty);
  return m;
}

// The matrix from an instance's coordinates to the stage's, concatenated from the inside out.
Matrix WorldMatrix(Player& player, Instance& inst) {
  Matrix m;
  Instance* at = &inst;
  for (int i = 0; at && i < kMaxBoundsNesting * 2; ++i) {
    if (const DisplayObject* d = player.DisplayOf(*at)) m = WholeTwips(d->matrix * m);
    auto parent = at->parent.lock();
    at = parent.get();
  }
  return m;
}

// Even-odd test of a point (twips, shape coordinates) against a shape's fills and strokes.
bool ShapeContains(const ShapeGeometry& shape, Point p) {
  std::vector<Point> pts;
  for (const StyleGroup& group : shape.groups) {
    std::map<std::size_t, int> crossings;
    for (const Path& path : group.paths) {
      for (const Edge& e : path.edges) {
        pts.clear();
        pts.push_back(e.from);
        Flatten(e.from, e.control, e.to, e.curve, pts);
        for (std::size_t i = 1; i < pts.size(); ++i) {
          const Point a = pts[i - 1], b = pts[i];
          if (path.line && path.line <= shape.lines.size()) {
            const double half = std::max(shape.lines[path.line - 1].width / 2, 1.0);
            const double dx = b.x - a.x, dy = b.y - a.y, len = dx * dx + dy * dy;
            const double t = len > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len, 0.0, 1.0) : 0;
            if (std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy)) <= half) return true;
          }
          if ((a.y > p.y) != (b.y > p.y)) {
            const double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
            if (x > p.x) {
              if (path.fill0) ++crossings[path.fill0];
              if (path.fill1 && path.fill1 != path.fill0) ++crossings[path.fill1];
            }
          }
        }
      }
    }
    for (const auto& [fill, n] : crossings)
      if (n % 2) return true;
  }
  return false;
}

bool ListContains(const Instance& inst, Point p, int depth);

bool ObjectContains(const DisplayObject& obj, Point parentPoint, int depth) {
  if (!obj.visible || depth > kMaxBoundsNesting) return false;
  const Point p = obj.matrix.inverse().apply(parentPoint);
  if (obj.sprite) return ListContains(*obj.sprite, p, depth + 1);
  if (!obj.character) return false;
  if (const auto* shape = std::get_if<ShapeDef>(obj.character.get())) return ShapeContains(shape->geometry, p);
  if (const auto* morph = std::get_if<MorphShapeDef>(obj.character.get())) return ShapeContains(morph->at(obj.ratio), p);
  const Box b = ObjectBounds(obj, depth);
  return !b.empty() && p.x >= b.x0 && p.x <= b.x1 && p.y >= b.y0 && p.y <= b.y1;
}

bool ListContains(const Instance& inst, Point p, int depth) {
  if (inst.drawing && ShapeContains(inst.drawing->shape, p)) return true;
  for (const auto& [d, obj] : inst.displayList)
    if (obj.clipDepth == 0 && ObjectContains(obj, p, depth)) return true;
  return false;
}

// The named child of an instance, scriptable or not, as the display list orders them.
const DisplayObject* NamedChild(const Instance& inst, std::string_view name, bool caseSensitive) {
  if (name.empty()) return nullptr;
  for (const auto& [depth, obj] : inst.displayList) {
    if (obj.sprite && obj.sprite->detached) continue;
    if (caseSensitive ? obj.name == name : SameNoCase(obj.name, name)) return &obj;
  }
  return nullptr;
}

}  // namespace

bool OwnBounds(const DisplayObject& obj, double out[4]) {
  const Box b = ObjectBounds(obj, 0);
  if (b.empty()) return false;
  out[0] = b.x0, out[1] = b.y0, out[2] = b.x1, out[3] = b.y1;
  return true;
}

int ClipPropertyIndex(std::string_view name) {
  for (int i = 0; i < static_cast<int>(std::size(kPropertyNames)); ++i)
    if (SameNoCase(name, kPropertyNames[i])) return i;
  return -1;
}

ClipObject::ClipObject(avm1::Machine& vm, Player& player, std::weak_ptr<Instance> instance, InstanceKind kind)
    : Clip(vm), player_(player), instance_(std::move(instance)), kind_(kind) {
  avm1::Object* proto = vm.movieClipProto;
  const char* cls = kind == InstanceKind::Button ? "Button" : kind == InstanceKind::EditText ? "TextField"
                    : kind == InstanceKind::Video  ? "Video" : nullptr;
  if (cls) {
    proto = vm.objectProto;
    const Value c = vm.global()->Get(cls);
    if (c.IsObject()) {
      const Value p = c.object->Get("prototype");
      if (p.IsObject()) proto = p.object;
    }
  }
  SetProto(proto);
}

std::string ClipObject::TypeOf() const { return kind_ == InstanceKind::Sprite ? "movieclip" : "object"; }

std::string_view ClipObject::ClassName() const {
  switch (kind_) {
    case InstanceKind::Button: return "Button";
    case InstanceKind::EditText: return "TextField";
    case InstanceKind::Video: return "Video";
    default: return "MovieClip";
  }
}

std::shared_ptr<Instance> ClipObject::instance() const {
  auto inst = instance_.lock();
  if (inst && !inst->detached) return inst;
  // Gone: the clip that has the same path now, if any.
  std::string_view path = path_;
  constexpr std::string_view kLevel = "_level0";
  if (path.substr(0, kLevel.size()) != kLevel) return nullptr;
  path.remove_prefix(kLevel.size());
  std::shared_ptr<Instance> at = player_.root_;
  const bool caseSensitive = vm().caseSensitive();
  for (int i = 0; !path.empty() && at && i < kMaxPathSegments; ++i) {
    if (path[0] != '.') return nullptr;
    path.remove_prefix(1);
    const std::size_t dot = path.find('.');
    const std::string_view name = path.substr(0, dot);
    path = dot == std::string_view::npos ? std::string_view() : path.substr(dot);
    const DisplayObject* child = NamedChild(*at, name, caseSensitive);
    at = child ? child->sprite : nullptr;
  }
  return path.empty() ? at : nullptr;
}

ClipObject* ClipObject::Current() {
  auto inst = instance();
  if (!inst) return nullptr;
  return static_cast<ClipObject*>(player_.ObjectOf(*inst));
}

void ClipObject::RememberPath() {
  if (auto inst = instance_.lock(); inst && !inst->detached) path_ = DotPath();
}

bool ClipObject::Alive() const { return instance() != nullptr; }

DisplayObject* ClipObject::Display() {
  auto inst = instance();
  return inst ? player_.DisplayOf(*inst) : nullptr;
}

avm1::Clip* ClipObject::ParentClip() {
  auto inst = instance();
  auto parent = inst ? inst->parent.lock() : nullptr;
  return parent ? player_.ObjectOf(*parent) : nullptr;
}

avm1::Clip* ClipObject::ChildByName(std::string_view name) {
  auto inst = instance();
  if (!inst) return nullptr;
  const DisplayObject* child = NamedChild(*inst, name, vm().caseSensitive());
  if (!child) return nullptr;
  // Shapes, static text and bitmaps have no script object: their name finds the clip they are in.
  return child->sprite ? player_.ObjectOf(*child->sprite) : player_.ObjectOf(*inst);
}

std::string ClipObject::DotPath() {
  auto inst = instance();
  if (!inst) return "";
  auto parent = inst->parent.lock();
  if (!parent) return "_level0";
  DisplayObject* d = player_.DisplayOf(*inst);
  return player_.ObjectOf(*parent)->DotPath() + "." + (d ? d->name : std::string());
}

std::string ClipObject::SlashPath() {
  auto inst = instance();
  if (!inst) return "";
  auto parent = inst->parent.lock();
  if (!parent) return "/";
  DisplayObject* d = player_.DisplayOf(*inst);
  std::string up = player_.ObjectOf(*parent)->SlashPath();
  if (up != "/") up += "/";
  return up + (d ? d->name : std::string());
}

namespace {

// The scale and rotation a matrix shows, kept with the object once known. Gives the skew
// between the matrix's axes, each axis read in the direction its kept scale's sign gives, so
// a mirrored object set to the scale it has stays as it is.
double KnowScale(DisplayObject& d) {
  const Matrix& m = d.matrix;
  if (!d.scaleKnown) {
    d.xscale = std::hypot(m.a, m.b) * 100;
    d.yscale = std::hypot(m.c, m.d) * 100;
    d.rotation = (m.a == 0 && m.b == 0) ? 0 : std::atan2(m.b, m.a) * 180 / kPi;
    d.scaleKnown = true;
  }
  const double fx = d.xscale < 0 ? -1 : 1, fy = d.yscale < 0 ? -1 : 1;
  const double rx = (m.a == 0 && m.b == 0) ? 0 : std::atan2(fx * m.b, fx * m.a);
  const double ry = (m.c == 0 && m.d == 0) ? rx : std::atan2(-fy * m.c, fy * m.d);
  return ry - rx;
}

// Rebuilds the matrix from the kept scale and rotation and the skew KnowScale gave.
void ApplyScale(DisplayObject& d, double skew) {
  Matrix& m = d.matrix;
  const double r = d.rotation * kPi / 180;
  const double sx = d.xscale / 100, sy = d.yscale / 100;
  // The matrix holds 16.16 fixed-point factors, as a movie stores them.
  auto fixed = [](double v) {
    const double f = std::round(v * 65536);
    return std::isfinite(f) ? std::clamp(f, -2147483648.0, 2147483647.0) / 65536 : 0.0;
  };
  m.a = fixed(std::cos(r) * sx);
  m.b = fixed(std::sin(r) * sx);
  m.c = fixed(-std::sin(r + skew) * sy);
  m.d = fixed(std::cos(r + skew) * sy);
}

double NormalDegrees(double v) {
  double deg = std::fmod(v, 360);
  if (deg > 180) deg -= 360;
  else if (deg < -180) deg += 360;
  return deg;
}

}  // namespace

Value ClipObject::GetIndexed(int index) {
  auto inst = instance();
  DisplayObject* d = inst ? player_.DisplayOf(*inst) : nullptr;
  if (!inst || !d) return {};
  const Matrix& m = d->matrix;
  const bool empty = inst->timeline == &player_.emptyTimeline_;
  const double frames = inst->timeline ? static_cast<double>(inst->timeline->frames.size()) : 1;
  switch (index) {
    case 0: return Value::Num((m.tx + FieldShift(*d)) / 20);
    case 1: return Value::Num(m.ty / 20);
    case 2: KnowScale(*d); return Value::Num(d->xscale);
    case 3: KnowScale(*d); return Value::Num(d->yscale);
    case 4: return Value::Num(empty || !inst->timeline ? 0 : static_cast<double>(inst->frame + 1));
    case 5: case 12: return Value::Num(frames);
    case 6: return Value::Num(d->colorTransform.am * 100);
    case 7: return Value::Bool(d->visible);
    case 8: case 9: {
      Box box;
      box.Add(m, ObjectBounds(*d, 0));
      if (box.empty()) return Value::Num(0);
      // The edges land on whole twips before they are measured.
      const double size = index == 8 ? std::round(box.x1) - std::round(box.x0) : std::round(box.y1) - std::round(box.y0);
      return Value::Num(size / 20);
    }
    case 10: KnowScale(*d); return Value::Num(d->rotation);
    case 11: return Value::Str(SlashPath());
    case 13: return Value::Str(d->name);
    case 14: {
      if (!player_.WasDragged(*inst)) return Value::Str("");
      Instance* under = player_.DropTarget(*inst);
      return Value::Str(under ? player_.ObjectOf(*under)->SlashPath() : "");
    }
    case 15: return Value::Str("");
    case 16: return Value::Num(1);
    case 17: return inst->focusRect ? Value::Bool(*inst->focusRect) : Value::Null();
    case 18: return Value::Num(5);
    case 19: return Value::Str("HIGH");
    case 20: case 21: {
      const Point p = WorldMatrix(player_, *inst).inverse().apply(player_.MousePosition());
      return Value::Num(std::round(index == 20 ? p.x : p.y) / 20);
    }
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
  if (index == 11 || index == 12 || index == 4 || index == 5 || index > 21) return;
  if (index == 17) {
    // Null gives the clip back the root's setting.
    if (auto inst = instance()) inst->focusRect = value.IsNullish() ? std::nullopt : std::optional<bool>(vm().ToBool(value));
    return;
  }
  // Numbers that are not there leave a property as it was.
  if (value.IsNullish()) return;
  const double v = vm().ToNumber(value);
  if (index == 7) {
    if (!std::isnan(v)) d->visible = v != 0;
    // A hidden object cannot keep the focus.
    if (auto inst = instance(); inst && !d->visible) player_.FocusVisibility(*inst);
    return;
  }
  if (!std::isfinite(v)) return;
  switch (index) {
    case 0: m.tx = Twips(v) - FieldShift(*d); d->movedByScript = true; break;
    case 1: m.ty = Twips(v); d->movedByScript = true; break;
    case 2: case 3: {
      const double skew = KnowScale(*d);
      (index == 2 ? d->xscale : d->yscale) = v;
      ApplyScale(*d, skew);
      d->movedByScript = true;
      break;
    }
    case 6:
      // The multiplier is kept in 256ths, as a movie's colour transforms carry it.
      d->colorTransform.am = std::clamp(std::trunc(v / 100 * 256), -32768.0, 32767.0) / 256;
      break;
    case 8: case 9: {
      if (d->sprite && d->sprite->field) {
        // A text field's size is its box, given unscaled: the field keeps its scale, so a
        // doubled field set to 20 shows 40 wide.
        text::Field& f = *d->sprite->field;
        const double size = std::max(0.0, Twips(v));
        (index == 8 ? f.xMax : f.yMax) = (index == 8 ? f.xMin : f.yMin) + size;
        ++f.revision;
        RefitField(player_.fonts(), f);  // auto-size fits the box again
        break;
      }
      const Box local = ObjectBounds(*d, 0);
      if (local.empty()) break;
      const double skew = KnowScale(*d);
      Box now;
      now.Add(m, local);
      const double current = index == 8 ? now.x1 - now.x0 : now.y1 - now.y0;
      if (!(current > 0)) {
        // Nothing to measure against: the unscaled size decides.
        const double base = index == 8 ? local.x1 - local.x0 : local.y1 - local.y0;
        if (!(base > 0)) break;
        (index == 8 ? d->xscale : d->yscale) = v * 20 / base * 100;
      } else {
        (index == 8 ? d->xscale : d->yscale) *= v * 20 / current;
      }
      ApplyScale(*d, skew);
      d->movedByScript = true;
      break;
    }
    case 10: {
      const double skew = KnowScale(*d);
      d->rotation = NormalDegrees(v);
      ApplyScale(*d, skew);
      d->movedByScript = true;
      break;
    }
    default: break;
  }
}

void ClipObject::GotoFrame(const Value& frame, bool play, int bias) {
  auto inst = instance();
  if (!inst || !inst->timeline) return;
  Value f = frame;
  if (f.IsObject()) f = Value::Str(vm().ToString(f));
  double n = NAN;
  if (f.IsString()) {
    // "target:frame" names the frame of another clip.
    if (const std::size_t colon = f.string.rfind(':'); colon != std::string::npos) {
      avm1::Clip* other = vm().ResolveTarget(std::string_view(f.string).substr(0, colon), this);
      if (other) other->GotoFrame(Value::Str(f.string.substr(colon + 1)), play, bias);
      return;
    }
    n = avm1::StringToNumber(f.string, 7);
    if (!std::isfinite(n)) {
      if (auto label = inst->timeline->FrameOfLabel(f.string)) {
        player_.GotoFrame(*inst, *label + static_cast<std::size_t>(std::max(bias, 0)), play);
      } else if (!play) {
        inst->playing = false;
      }
      return;
    }
  } else {
    n = vm().ToNumber(f);
  }
  // Frame numbers wrap as 32-bit integers do; what lands below the first frame does nothing.
  const std::uint32_t wrapped = static_cast<std::uint32_t>(avm1::ToInt32(n)) - 1u + static_cast<std::uint32_t>(bias);
  const auto index = static_cast<std::int32_t>(wrapped);
  if (index < 0) {
    if (!play) inst->playing = false;
    return;
  }
  player_.GotoFrame(*inst, static_cast<std::size_t>(index), play);
}

void ClipObject::Play() {
  if (auto inst = instance()) inst->playing = true;
}

void ClipObject::Stop() {
  if (auto inst = instance()) inst->playing = false;
}

void ClipObject::NextFrame() {
  auto inst = instance();
  if (!inst || !inst->timeline) return;
  if (inst->frame + 1 < inst->timeline->frames.size()) player_.GotoFrame(*inst, inst->frame + 1, false);
  else inst->playing = false;
}

void ClipObject::PrevFrame() {
  auto inst = instance();
  if (!inst || !inst->timeline) return;
  if (inst->frame > 0) player_.GotoFrame(*inst, inst->frame - 1, false);
  else inst->playing = false;
}

int ClipObject::CurrentFrame() {
  auto inst = instance();
  return inst ? static_cast<int>(inst->frame) + 1 : 0;
}

int ClipObject::FramesLoaded() {
  auto inst = instance();
  return inst && inst->timeline ? static_cast<int>(inst->timeline->frames.size()) : 0;
}

void ClipObject::Duplicate(const std::string& name, int depth) {
  auto inst = instance();
  if (inst && Player::ScriptDepthUsable(depth)) player_.DuplicateClip(*inst, name, depth + kScriptDepthBase, nullptr);
}

void ClipObject::Remove() {
  if (auto inst = instance()) player_.RemoveClip(*inst);
}

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
    if (SameNoCase(name, "_root") || SameNoCase(name, "_level0")) {
      out = Value::Obj(player_.ObjectOf(*player_.root_));
      return true;
    }
    if (SameNoCase(name, "_global") && vm().version() >= 6) {
      out = Value::Obj(vm().global());
      return true;
    }
    if (SameNoCase(name, "_lockroot")) {
      out = Value::Bool(false);
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

void ClipObject::SpecialKeys(std::vector<std::string>& out) {
  auto inst = instance();
  if (!inst) return;
  // Variables come first, newest first, then the children from the top depth down.
  std::vector<const std::string*> own;
  ForEachOwn([&](const std::string& name, const avm1::Property& prop) {
    if (!(prop.flags & avm1::kDontEnum) && !avm1::HiddenFromVersion(prop.flags, vm().version())) own.push_back(&name);
  });
  for (auto it = own.rbegin(); it != own.rend(); ++it) out.push_back(**it);
  for (auto it = inst->displayList.rbegin(); it != inst->displayList.rend(); ++it)
    if (!it->second.name.empty() && !(it->second.sprite && it->second.sprite->detached)) out.push_back(it->second.name);
}

namespace {

ClipObject* ThisClip(avm1::Call& c) {
  auto* clip = c.This() ? dynamic_cast<ClipObject*>(c.This()) : nullptr;
  return clip && clip->instance() ? clip : nullptr;
}

// A depth argument in script terms, or nothing when it is not a usable number.
std::optional<int> DepthArg(avm1::Machine& vm, const Value& v) {
  const double d = vm.ToNumber(v);
  if (!Player::ScriptDepthUsable(d)) return std::nullopt;
  return static_cast<int>(std::trunc(d)) + kScriptDepthBase;
}

avm1::Object* InitArg(const Value& v) { return v.IsObject() ? v.object : nullptr; }

Value BoundsObject(avm1::Machine& vm, const Box& box, bool empty, bool sameSpace) {
  avm1::Object* o = vm.NewObject();
  const double e = sameSpace ? (kEmptyBounds - 1) / 20 : kEmptyBounds / 20;
  o->Set("xMin", Value::Num(empty ? e : box.x0 / 20));
  o->Set("xMax", Value::Num(empty ? e : box.x1 / 20));
  o->Set("yMin", Value::Num(empty ? e : box.y0 / 20));
  o->Set("yMax", Value::Num(empty ? e : box.y1 / 20));
  return Value::Obj(o);
}

Value Bounds(avm1::Call& c, ClipObject& clip) {
  Player& player = clip.player();
  auto inst = clip.instance();
  Matrix toTarget;
  bool sameSpace = true;
  if (c.Count() > 0) {
    auto* target = c.Arg(0).IsObject() ? dynamic_cast<ClipObject*>(c.Arg(0).object) : nullptr;
    auto targetInst = target ? target->instance() : nullptr;
    if (!targetInst) return {};
    if (targetInst != inst) {
      toTarget = WorldMatrix(player, *targetInst).inverse() * WorldMatrix(player, *inst);
      sameSpace = false;
    }
  }
  const Box local = LocalBounds(*inst, 0);
  Box box;
  box.Add(toTarget, local);
  for (double* v : {&box.x0, &box.y0, &box.x1, &box.y1}) *v = std::round(*v);
  return BoundsObject(c.vm, box, local.empty(), sameSpace);
}

// localToGlobal and globalToLocal change the point's x and y when both are numbers.
void MovePoint(avm1::Call& c, ClipObject& clip, bool toGlobal) {
  if (!c.Arg(0).IsObject()) return;
  avm1::Object* pt = c.Arg(0).object;
  if (!pt->HasOwn("x") || !pt->HasOwn("y")) return;
  const Value x = pt->Get("x"), y = pt->Get("y");
  if (!x.IsNumber() || !y.IsNumber()) return;
  auto inst = clip.instance();
  Matrix m = WorldMatrix(clip.player(), *inst);
  if (!toGlobal) m = WholeTwips(m.inverse());
  const Point p = m.apply({x.number * 20, y.number * 20});
  pt->Set("x", Value::Num(Twips(p.x / 20) / 20));
  pt->Set("y", Value::Num(Twips(p.y / 20) / 20));
}

Value HitTest(avm1::Call& c, ClipObject& clip) {
  Player& player = clip.player();
  auto inst = clip.instance();
  const DisplayObject* d = player.DisplayOf(*inst);
  if (!d) return Value::Bool(false);
  auto parent = inst->parent.lock();
  const Matrix parentWorld = parent ? WorldMatrix(player, *parent) : Matrix{};
  if (c.Count() >= 2) {
    const double x = c.vm.ToNumber(c.Arg(0)), y = c.vm.ToNumber(c.Arg(1));
    if (!std::isfinite(x) || !std::isfinite(y)) return Value::Bool(false);
    const Point global{x * 20, y * 20};
    if (c.Count() >= 3 && c.vm.ToBool(c.Arg(2))) return Value::Bool(ObjectContains(*d, parentWorld.inverse().apply(global), 0));
    Box box;
    box.Add(parentWorld * d->matrix, ObjectBounds(*d, 0));
    return Value::Bool(!box.empty() && global.x >= box.x0 && global.x <= box.x1 && global.y >= box.y0 && global.y <= box.y1);
  }
  auto* other = c.Arg(0).IsObject() ? dynamic_cast<ClipObject*>(c.Arg(0).object) : nullptr;
  auto otherInst = other ? other->instance() : nullptr;
  const DisplayObject* od = otherInst ? player.DisplayOf(*otherInst) : nullptr;
  if (!od) return Value::Bool(false);
  auto otherParent = otherInst->parent.lock();
  Box a, b;
  a.Add(parentWorld * d->matrix, ObjectBounds(*d, 0));
  b.Add((otherParent ? WorldMatrix(player, *otherParent) : Matrix{}) * od->matrix, ObjectBounds(*od, 0));
  if (a.empty() || b.empty()) return Value::Bool(false);
  return Value::Bool(a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1);
}

// The drawing methods. Coordinates are pixels, kept as whole twips.
constexpr std::size_t kMaxDrawingEdges = 1u << 18;

double DrawCoord(avm1::Machine& vm, const Value& v) {
  const double t = std::round(vm.ToNumber(v) * 20);
  return std::isfinite(t) ? std::clamp(t, -2147483648.0, 2147483647.0) : 0;
}

Rgba DrawColor(avm1::Machine& vm, const Value& rgb, const Value& alpha) {
  const std::uint32_t c = avm1::ToUint32(vm.ToNumber(rgb));
  double a = alpha.IsUndefined() ? 100 : vm.ToNumber(alpha);
  if (!std::isfinite(a)) a = 100;
  a = std::clamp(a, 0.0, 100.0);
  return {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c),
          static_cast<std::uint8_t>(std::lround(a * 255 / 100))};
}

Drawing& DrawingOf(Instance& inst) {
  if (!inst.drawing) {
    inst.drawing = std::make_shared<Drawing>();
    inst.drawing->shape.groups.emplace_back();
  }
  return *inst.drawing;
}

void Extend(Drawing& d, Point p, double margin) {
  if (!d.hasBounds) {
    d.xMin = d.xMax = p.x;
    d.yMin = d.yMax = p.y;
    d.hasBounds = true;
  }
  d.xMin = std::min(d.xMin, p.x - margin), d.xMax = std::max(d.xMax, p.x + margin);
  d.yMin = std::min(d.yMin, p.y - margin), d.yMax = std::max(d.yMax, p.y + margin);
}

Path& NewPath(Drawing& d, std::size_t fill, std::size_t line, std::size_t& slot) {
  auto& paths = d.shape.groups.front().paths;
  paths.emplace_back();
  paths.back().fill1 = fill;
  paths.back().line = line;
  slot = paths.size();
  return paths.back();
}

void AddEdge(Drawing& d, Point control, Point to, bool curve) {
  if (d.edges >= kMaxDrawingEdges) return;
  ++d.edges;
  const Edge e{d.pen, curve ? control : Point{(d.pen.x + to.x) / 2, (d.pen.y + to.y) / 2}, to, curve};
  auto& paths = d.shape.groups.front().paths;
  if (d.fill) {
    if (!d.fillPath) NewPath(d, d.fill, 0, d.fillPath);
    paths[d.fillPath - 1].edges.push_back(e);
  }
  if (d.line) {
    if (!d.linePath) NewPath(d, 0, d.line, d.linePath);
    paths[d.linePath - 1].edges.push_back(e);
  }
  if (d.fill || d.line) {
    const double half = d.line ? d.shape.lines[d.line - 1].width / 2 : 0;
    Extend(d, d.pen, half);
    if (curve) Extend(d, control, half);
    Extend(d, to, half);
  }
  d.pen = to;
}

// A fill closes back to where it started.
void CloseFill(Drawing& d) {
  if (!d.fill) return;
  if (d.fillPath && (d.pen.x != d.fillStart.x || d.pen.y != d.fillStart.y)) {
    const std::size_t line = d.line;
    d.line = 0;
    AddEdge(d, {}, d.fillStart, false);
    d.line = line;
  }
  d.fill = 0;
  d.fillPath = 0;
}

void InstallDrawing(avm1::Object* proto) {
  auto method = [&](const char* name, auto body, int length) {
    proto->DefineNative(name, [body](avm1::Call& c) -> Value {
      ClipObject* clip = ThisClip(c);
      if (!clip) return {};
      body(c, DrawingOf(*clip->instance()));
      return {};
    }, length);
  };
  method("beginFill", [](avm1::Call& c, Drawing& d) {
    CloseFill(d);
    if (c.Arg(0).IsUndefined()) return;
    if (d.shape.fills.size() >= kMaxDrawingEdges) return;
    FillStyle fill;
    fill.color = DrawColor(c.vm, c.Arg(0), c.Arg(1));
    d.shape.fills.push_back(fill);
    d.fill = d.shape.fills.size();
    d.fillStart = d.pen;
  }, 2);
  method("beginGradientFill", [](avm1::Call& c, Drawing& d) {
    CloseFill(d);
    if (d.shape.fills.size() >= kMaxDrawingEdges) return;
    auto fill = GradientFillFromArgs(c);
    if (!fill) return;
    d.shape.fills.push_back(std::move(*fill));
    d.fill = d.shape.fills.size();
    d.fillStart = d.pen;
  }, 8);
  method("endFill", [](avm1::Call&, Drawing& d) { CloseFill(d); }, 0);
  method("lineStyle", [](avm1::Call& c, Drawing& d) {
    d.linePath = 0;
    if (c.Arg(0).IsUndefined() || d.shape.lines.size() >= kMaxDrawingEdges) {
      d.line = 0;
      return;
    }
    double width = c.vm.ToNumber(c.Arg(0));
    width = std::isfinite(width) ? std::clamp(width, 0.0, 255.0) : 0;
    LineStyle line;
    line.width = width * 20;
    line.color = DrawColor(c.vm, c.Arg(1), c.Arg(2));
    ApplyLineOptions(c, line);
    d.shape.lines.push_back(line);
    d.line = d.shape.lines.size();
  }, 8);
  method("moveTo", [](avm1::Call& c, Drawing& d) {
    d.pen = {DrawCoord(c.vm, c.Arg(0)), DrawCoord(c.vm, c.Arg(1))};
    if (d.fill) {
      CloseFill(d);
      d.fill = d.shape.fills.size();
      d.fillStart = d.pen;
    }
  }, 2);
  method("lineTo", [](avm1::Call& c, Drawing& d) {
    AddEdge(d, {}, {DrawCoord(c.vm, c.Arg(0)), DrawCoord(c.vm, c.Arg(1))}, false);
  }, 2);
  method("curveTo", [](avm1::Call& c, Drawing& d) {
    if (c.Count() < 4) return;
    AddEdge(d, {DrawCoord(c.vm, c.Arg(0)), DrawCoord(c.vm, c.Arg(1))},
            {DrawCoord(c.vm, c.Arg(2)), DrawCoord(c.vm, c.Arg(3))}, true);
  }, 4);
  method("clear", [](avm1::Call&, Drawing& d) {
    d = Drawing{};
    d.shape.groups.emplace_back();
  }, 0);
}

}  // namespace

void ClipObject::StartDrag(bool lockCenter, const double* bounds) {
  if (auto inst = instance()) player_.StartDrag(*inst, lockCenter, bounds);
}

void ClipObject::StopDrag() { player_.StopDrag(); }

bool ObjectHit(const DisplayObject& obj, Point parentPoint) { return ObjectContains(obj, parentPoint, 0); }

Matrix StageMatrix(Player& player, Instance& inst) { return WorldMatrix(player, inst); }

bool StageTopLeft(Player& player, Instance& inst, Point& out) {
  Box box;
  box.Add(WorldMatrix(player, inst), LocalBounds(inst, 0));
  if (box.empty()) return false;
  out = {box.x0, box.y0};
  return true;
}

void InstallMovieClip(avm1::Machine& vm, Player& player) {
  avm1::Object* proto = vm.NewObject();
  vm.movieClipProto = proto;
  auto method = [&](const char* name, auto body, int length = 0) {
    proto->DefineNative(name, [body](avm1::Call& c) -> Value {
      ClipObject* clip = ThisClip(c);
      if (!clip) return {};
      return body(*clip, c);
    }, length);
  };
  method("play", [](ClipObject& clip, avm1::Call&) { clip.Play(); return Value{}; });
  method("stop", [](ClipObject& clip, avm1::Call&) { clip.Stop(); return Value{}; });
  method("nextFrame", [](ClipObject& clip, avm1::Call&) { clip.NextFrame(); return Value{}; });
  method("prevFrame", [](ClipObject& clip, avm1::Call&) { clip.PrevFrame(); return Value{}; });
  method("gotoAndPlay", [](ClipObject& clip, avm1::Call& c) { clip.GotoFrame(c.Arg(0), true, 0); return Value{}; }, 1);
  method("gotoAndStop", [](ClipObject& clip, avm1::Call& c) { clip.GotoFrame(c.Arg(0), false, 0); return Value{}; }, 1);
  method("getDepth", [](ClipObject& clip, avm1::Call&) {
    return Value::Num(static_cast<double>(clip.instance()->depth) - kScriptDepthBase);
  });
  method("removeMovieClip", [](ClipObject& clip, avm1::Call&) { clip.Remove(); return Value{}; });
  method("duplicateMovieClip", [&player](ClipObject& clip, avm1::Call& c) {
    const std::string name = c.vm.ToString(c.Arg(0));
    const auto depth = DepthArg(c.vm, c.Arg(1));
    if (!depth) return Value{};
    return Value::Obj(player.DuplicateClip(*clip.instance(), name, *depth, InitArg(c.Arg(2))));
  }, 3);
  method("createEmptyMovieClip", [&player](ClipObject& clip, avm1::Call& c) {
    const std::string name = c.vm.ToString(c.Arg(0));
    const auto depth = DepthArg(c.vm, c.Arg(1));
    if (!depth) return Value{};
    return Value::Obj(player.CreateEmptyClip(*clip.instance(), name, *depth));
  }, 2);
  method("attachMovie", [&player](ClipObject& clip, avm1::Call& c) {
    const std::string id = c.vm.ToString(c.Arg(0));
    const std::string name = c.vm.ToString(c.Arg(1));
    const auto depth = DepthArg(c.vm, c.Arg(2));
    const std::uint16_t character = player.movie().Exported(id);
    if (!depth || !character) return Value{};
    return Value::Obj(player.AttachClip(*clip.instance(), character, name, *depth, InitArg(c.Arg(3))));
  }, 4);
  method("swapDepths", [&player](ClipObject& clip, avm1::Call& c) {
    auto inst = clip.instance();
    auto parent = inst->parent.lock();
    if (!parent) return Value{};
    int depth = 0;
    if (auto* other = c.Arg(0).IsObject() ? dynamic_cast<ClipObject*>(c.Arg(0).object) : nullptr) {
      auto otherInst = other->instance();
      if (!otherInst || otherInst->parent.lock() != parent) return Value{};
      depth = otherInst->depth;
    } else if (const auto d = DepthArg(c.vm, c.Arg(0))) {
      depth = *d;
    } else {
      return Value{};
    }
    player.SwapDepths(*inst, depth);
    return Value{};
  }, 1);
  // setMask(clip) clips this clip by another one's shapes; null, or anything else, takes the mask off.
  method("setMask", [](ClipObject& clip, avm1::Call& c) {
    auto inst = clip.instance();
    if (auto old = inst->mask.lock()) old->maskOf.reset();
    inst->mask.reset();
    auto* other = c.Arg(0).IsObject() ? dynamic_cast<ClipObject*>(c.Arg(0).object) : nullptr;
    auto by = other ? other->instance() : nullptr;
    if (!by || by == inst) return Value::Bool(true);
    if (auto before = by->maskOf.lock()) before->mask.reset();
    inst->mask = by;
    by->maskOf = inst;
    return Value::Bool(true);
  }, 1);
  method("getInstanceAtDepth", [&player](ClipObject& clip, avm1::Call& c) {
    if (c.Count() == 0) return Value{};
    const auto depth = DepthArg(c.vm, c.Arg(0));
    if (!depth) return Value{};
    auto inst = clip.instance();
    const auto it = inst->displayList.find(*depth);
    if (it == inst->displayList.end()) return Value{};
    // What has no script object of its own answers as the clip it is in.
    return Value::Obj(player.ObjectOf(it->second.sprite ? *it->second.sprite : *inst));
  }, 1);
  method("getNextHighestDepth", [](ClipObject& clip, avm1::Call&) {
    auto inst = clip.instance();
    const auto& list = inst->displayList;
    if (list.empty() || list.rbegin()->first < kScriptDepthBase) return Value::Num(0);
    return Value::Num(static_cast<double>(list.rbegin()->first) + 1 - kScriptDepthBase);
  });
  auto bytes = [&player](ClipObject& clip, avm1::Call&) {
    auto inst = clip.instance();
    if (!inst->parent.lock()) return Value::Num(static_cast<double>(player.movieSize()));
    const DisplayObject* d = player.DisplayOf(*inst);
    const auto* sprite = d && d->character ? std::get_if<SpriteDef>(d->character.get()) : nullptr;
    return Value::Num(sprite ? static_cast<double>(sprite->byteSize) : 0);
  };
  // mc.loadVariables(url, method): the variables land on this clip on a later frame; "GET" or
  // "POST" sends its own variables with the request.
  method("loadVariables", [](ClipObject& clip, avm1::Call& c) {
    if (c.Count() == 0) return Value{};
    std::string how = c.Count() > 1 ? c.vm.ToString(c.Arg(1)) : "";
    for (char& ch : how) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    const int sendMethod = how == "GET" ? 1 : how == "POST" ? 2 : 0;
    avm1::LoadVariables(c.vm, &clip, c.vm.ToString(c.Arg(0)), sendMethod, &clip);
    return Value{};
  }, 2);
  method("getBytesLoaded", bytes);
  method("getBytesTotal", bytes);
  method("getSWFVersion", [](ClipObject& clip, avm1::Call& c) {
    (void)clip;
    return Value::Num(c.vm.version());
  });
  method("getBounds", [](ClipObject& clip, avm1::Call& c) { return Bounds(c, clip); }, 1);
  method("getRect", [](ClipObject& clip, avm1::Call& c) { return Bounds(c, clip); }, 1);
  method("localToGlobal", [](ClipObject& clip, avm1::Call& c) { MovePoint(c, clip, true); return Value{}; }, 1);
  method("globalToLocal", [](ClipObject& clip, avm1::Call& c) { MovePoint(c, clip, false); return Value{}; }, 1);
  method("hitTest", [](ClipObject& clip, avm1::Call& c) { return HitTest(c, clip); }, 3);
  method("startDrag", [](ClipObject& clip, avm1::Call& c) {
    double bounds[4] = {0, 0, 0, 0};
    const bool constrained = c.Count() >= 5;
    for (int i = 0; constrained && i < 4; ++i) bounds[i] = c.vm.ToNumber(c.Arg(static_cast<std::size_t>(i) + 1));
    clip.StartDrag(c.vm.ToBool(c.Arg(0)), constrained ? bounds : nullptr);
    return Value{};
  }, 5);
  method("stopDrag", [](ClipObject& clip, avm1::Call&) { clip.StopDrag(); return Value{}; });
  method("loadMovie", [&player](ClipObject& clip, avm1::Call& c) {
    if (const auto inst = clip.instance()) player.LoadMovie(*inst, c.vm.ToString(c.Arg(0)), nullptr);
    return Value{};
  }, 2);
  method("unloadMovie", [&player](ClipObject& clip, avm1::Call&) {
    if (const auto inst = clip.instance()) player.UnloadMovie(*inst);
    return Value{};
  });
  InstallDrawing(proto);
  if (vm.version() >= 8) {
    // Properties of the later players, as getter and setter pairs on the prototype.
    auto property = [&](const char* name, auto get, auto set) {
      avm1::Function* getter = vm.NewNative([get](avm1::Call& c) -> Value {
        ClipObject* clip = ThisClip(c);
        DisplayObject* d = clip ? clip->player().DisplayOf(*clip->instance()) : nullptr;
        return d ? get(c, *clip, *d) : Value{};
      });
      avm1::Function* setter = vm.NewNative([set](avm1::Call& c) -> Value {
        ClipObject* clip = ThisClip(c);
        if (DisplayObject* d = clip ? clip->player().DisplayOf(*clip->instance()) : nullptr) set(c, *d);
        return {};
      });
      proto->AddProperty(name, getter, setter);
      proto->SetFlags(name, avm1::kDontEnum, 0);
    };
    property("blendMode", [](avm1::Call&, ClipObject&, DisplayObject& d) { return Value::Str(d.blendMode); },
             [](avm1::Call& c, DisplayObject& d) {
               static constexpr const char* kModes[] = {"normal", "layer", "multiply", "screen", "lighten", "darken",
                                                        "difference", "add", "subtract", "invert", "alpha", "erase",
                                                        "overlay", "hardlight"};
               const Value& v = c.Arg(0);
               if (v.IsNumber()) {
                 const double n = v.number;
                 if (n >= 1 && n <= 14) d.blendMode = kModes[static_cast<int>(n) - 1];
                 return;
               }
               const std::string mode = c.vm.ToString(v);
               for (const char* m : kModes)
                 if (mode == m) d.blendMode = m;
             });
    property("cacheAsBitmap", [](avm1::Call&, ClipObject&, DisplayObject& d) { return Value::Bool(d.cacheAsBitmap); },
             [](avm1::Call& c, DisplayObject& d) { d.cacheAsBitmap = c.vm.ToBool(c.Arg(0)); });
    // Reading gives new copies; assigning takes the array's filters as they stand, skipping
    // anything that is not one.
    property("filters", [](avm1::Call& c, ClipObject&, DisplayObject& d) {
               std::vector<Value> items;
               for (const Filter& f : d.filters) items.push_back(avm1::NewFilter(c.vm, f));
               return Value::Obj(c.vm.NewArray(std::move(items)));
             },
             [](avm1::Call& c, DisplayObject& d) {
               d.filters.clear();
               const Value& v = c.Arg(0);
               if (!v.IsObject()) return;
               if (auto* a = dynamic_cast<avm1::ArrayObject*>(v.object))
                 for (const Value& item : a->items)
                   if (Filter f; avm1::FilterOf(c.vm, item, f)) d.filters.push_back(std::move(f));
             });
    property("scrollRect", [](avm1::Call& c, ClipObject&, DisplayObject& d) {
               if (!d.scrollRect) return Value{};
               const auto& r = *d.scrollRect;
               return avm1::NewRectangle(c.vm, r.x, r.y, r.width, r.height);
             },
             [](avm1::Call& c, DisplayObject& d) {
               const Value& v = c.Arg(0);
               if (!v.IsObject()) {
                 d.scrollRect.reset();
                 return;
               }
               DisplayObject::ScrollRect r;
               r.x = c.vm.ToNumber(v.object->Get("x"));
               r.y = c.vm.ToNumber(v.object->Get("y"));
               r.width = c.vm.ToNumber(v.object->Get("width"));
               r.height = c.vm.ToNumber(v.object->Get("height"));
               if (std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) && std::isfinite(r.height))
                 d.scrollRect = r;
             });
    property("transform", [](avm1::Call& c, ClipObject& clip, DisplayObject&) { return avm1::NewTransform(c.vm, &clip); },
             [](avm1::Call&, DisplayObject&) {});
  }
  proto->Define("enabled", Value::Bool(true), avm1::kDontEnum);
  proto->Define("useHandCursor", Value::Bool(true), avm1::kDontEnum);
  vm.global()->Define("MovieClip", Value::Obj(vm.NewClass([](avm1::Call&) { return Value{}; }, nullptr, proto)),
                      avm1::kDontEnum);
  // Videos have a class of their own (buttons get theirs with the focus settings); the clip
  // properties reach them natively.
  avm1::Object* video = vm.NewObject();
  video->Define("getDepth", proto->Get("getDepth"), avm1::kDontEnum);
  for (const char* m : {"attachVideo", "clear"}) video->DefineNative(m, [](avm1::Call&) { return Value{}; });
  vm.global()->Define("Video", Value::Obj(vm.NewClass([](avm1::Call&) { return Value{}; }, nullptr, video)), avm1::kDontEnum);
}

}  // namespace quillon::player
