// Keyboard focus: Selection.setFocus and getFocus, Tab and Shift+Tab, what a click does to the
// focus, the roll events a focused button hears as if the pointer were over it, the yellow
// rectangle around a focus that Tab moved, and the Button class's focus properties.
#include <algorithm>
#include <cmath>

#include "avm1/classes/extra_classes.h"
#include "display/clip_object.h"
#include "display/player.h"
#include "display/tab_order.h"
#include "display/text_field.h"

namespace quillon::player {
namespace {

using avm1::Value;

constexpr Rgba kFocusYellow{255, 255, 0, 255};
constexpr double kFocusLine = 3;  // stage pixels, drawn inside the focus's box
constexpr int kMaxFocusNesting = 256;
// MovieClip's and Button's tabIndex, kept on the object and hidden from scripts' enumeration.
constexpr std::string_view kTabIndexKey = "\x01" "tabIndex";

// tabIndex holds a 32-bit integer: what does not fit (and what is no number) becomes the
// smallest one, as the reference player's conversion gives.
double TabIndexOf(avm1::Machine& vm, const Value& v) {
  const double n = vm.ToNumber(v);
  if (!std::isfinite(n) || n <= -2147483649.0 || n >= 2147483648.0) return -2147483648.0;
  return std::trunc(n);
}

// tabIndex as a getter and setter pair on a prototype.
void DefineTabIndex(avm1::Machine& vm, avm1::Object* proto, bool enumerable) {
  avm1::Function* getter = vm.NewNative([](avm1::Call& c) -> Value {
    avm1::Object* self = c.This();
    const avm1::Property* p = self ? self->FindOwn(kTabIndexKey) : nullptr;
    return p ? p->value : Value::Undefined();
  });
  avm1::Function* setter = vm.NewNative([](avm1::Call& c) -> Value {
    avm1::Object* self = c.This();
    if (!self) return {};
    const Value& v = c.Arg(0);
    self->Define(kTabIndexKey, v.IsUndefined() ? v : Value::Num(TabIndexOf(c.vm, v)), avm1::kDontEnum);
    return {};
  });
  proto->AddProperty("tabIndex", getter, setter);
  if (!enumerable) proto->SetFlags("tabIndex", avm1::kDontEnum, 0);
}

// Box of twips: left, top, right, bottom.
void Grow(double box[4], const Matrix& m, const double local[4]) {
  for (const Point p : {Point{local[0], local[1]}, Point{local[2], local[1]}, Point{local[0], local[3]},
                        Point{local[2], local[3]}}) {
    const Point q = m.apply(p);
    box[0] = std::min(box[0], q.x), box[1] = std::min(box[1], q.y);
    box[2] = std::max(box[2], q.x), box[3] = std::max(box[3], q.y);
  }
}

void FillRect(Canvas& canvas, long x0, long y0, long x1, long y1) {
  x0 = std::max(x0, 0L), y0 = std::max(y0, 0L);
  x1 = std::min(x1, static_cast<long>(canvas.width)), y1 = std::min(y1, static_cast<long>(canvas.height));
  for (long y = y0; y < y1; ++y)
    for (long x = x0; x < x1; ++x) canvas.at(static_cast<int>(x), static_cast<int>(y)) = kFocusYellow;
}

}  // namespace

void Player::InstallFocus() {
  avm1::Machine& vm = *vm_;
  DefineTabIndex(vm, vm.movieClipProto, false);
  // Buttons as scripts see them: their focus and pointer settings live on Button.prototype.
  avm1::Object* buttonProto = vm.NewObject();
  avm1::Function* button = vm.NewClass([](avm1::Call&) -> Value { return {}; }, nullptr, buttonProto);
  buttonProto->Define("getDepth", vm.movieClipProto->Get("getDepth"), avm1::kDontEnum);
  buttonProto->Define("useHandCursor", Value::Bool(true), avm1::kDontEnum);
  buttonProto->Define("enabled", Value::Bool(true), avm1::kDontEnum);
  DefineTabIndex(vm, buttonProto, true);
  vm.global()->Define("Button", Value::Obj(button), avm1::kDontEnum);

  const Value selection = vm.global()->Get("Selection");
  if (!selection.IsObject()) return;
  selection.object->DefineNative("getFocus", [this](avm1::Call&) -> Value {
    Instance* f = Focused();
    return f ? Value::Str(ObjectOf(*f)->DotPath()) : Value::Null();
  });
  selection.object->DefineNative("setFocus", [this](avm1::Call& c) -> Value {
    const Value v = c.Arg(0);
    if (v.IsNullish()) {
      ChangeFocus(nullptr, false);
      return Value::Bool(true);
    }
    avm1::Clip* clip = v.IsObject() ? dynamic_cast<avm1::Clip*>(v.object) : nullptr;
    if (!clip && v.IsString())
      clip = vm_->ResolveTarget(c.vm.ToString(v), vm_->currentClip ? vm_->currentClip : ObjectOf(*root_));
    auto* object = dynamic_cast<ClipObject*>(clip);
    auto inst = object ? object->instance() : nullptr;
    if (!inst || !TakesFocus(*inst)) return Value::Bool(false);
    // Focusing a field again selects all its text again.
    if (inst->field && Focused() == inst.get()) {
      inst->field->selectionBegin = 0;
      inst->field->selectionEnd = inst->field->text.size();
    }
    ChangeFocus(inst.get(), false);
    return Value::Bool(true);
  }, 1);
}

bool Player::TakesFocus(Instance& inst) {
  if (inst.unloaded || inst.detached) return false;
  switch (inst.kind) {
    case InstanceKind::Button: return true;
    case InstanceKind::EditText: return inst.field && (inst.field->selectable || !inst.field->readOnly);
    case InstanceKind::Sprite:
      // Clips take the focus when they answer the mouse, or when focusEnabled says so.
      return (inst.object && vm_->ToBool(inst.object->Get("focusEnabled"))) || Interactive(inst);
    default: return false;
  }
}

bool Player::TabEnabled(Instance& inst) {
  switch (inst.kind) {
    case InstanceKind::Button:
    case InstanceKind::Sprite: return Interactive(inst);
    case InstanceKind::EditText: return inst.field && !inst.field->readOnly;
    default: return false;
  }
}

void Player::HoverFocus(Instance* to, bool now) {
  // The pointer and the keyboard share what is "over": the focus takes it from the pointer.
  if (hover_) FireMouse(*hover_, MouseEvent::RollOut);
  hover_ = to && Interactive(*to) ? to->shared_from_this() : nullptr;
  if (hover_) FireMouse(*hover_, MouseEvent::RollOver);
  if (now) RunQueue();
}

void Player::ChangeFocus(Instance* to, bool rollsFirst) {
  if (Focused() == to) return;
  HoverFocus(to, rollsFirst);
  SetFocus(to);
}

void Player::SetFocus(Instance* to) {
  auto before = focus_.lock();
  if (before && (before->detached || before->unloaded)) before.reset();
  // A field given the focus, even again, has all its text selected.
  if (to && to->field) {
    to->field->selectionBegin = 0;
    to->field->selectionEnd = to->field->text.size();
  }
  if (before.get() == to) return;
  // Text being composed stays in the field it was typed into, committed.
  if (Instance* composed = EndComposition(true)) {
    TextChanged(*composed);
    NotifyFieldChanged(*vm_, *static_cast<ClipObject*>(ObjectOf(*composed)));
  }
  // A field that loses the focus forgets its selection: replaceSel then inserts at the start.
  if (before && before->field) before->field->selectionBegin = before->field->selectionEnd = 0;
  focus_ = to ? to->weak_from_this() : std::weak_ptr<Instance>();
  const Value oldValue = before ? Value::Obj(ObjectOf(*before)) : Value::Null();
  const Value newValue = to ? Value::Obj(ObjectOf(*to)) : Value::Null();
  if (before) CallHandler(ObjectOf(*before), "onKillFocus", {newValue});
  if (to) CallHandler(ObjectOf(*to), "onSetFocus", {oldValue});
  const Value selection = vm_->global()->Get("Selection");
  if (selection.IsObject()) CallHandler(selection.object, "broadcastMessage", {Value::Str("onSetFocus"), oldValue, newValue});
}

void Player::MoveFocus(bool backwards) {
  std::vector<TabStop> stops;
  std::vector<Instance*> insts;
  // Stage order: parents before their children, depth by depth; hidden clips and clips whose
  // tabChildren is false keep their children out.
  auto opensChildren = [this](Instance& inst) {
    if (inst.kind != InstanceKind::Sprite) return false;
    if (!inst.object) return true;
    const Value v = inst.object->Get("tabChildren");
    return v.IsUndefined() || vm_->ToBool(v);
  };
  std::vector<std::pair<Instance*, int>> stack;
  auto pushChildren = [&](Instance& inst, int level) {
    if (level >= kMaxFocusNesting || !opensChildren(inst)) return;
    for (auto it = inst.displayList.rbegin(); it != inst.displayList.rend(); ++it)
      if (it->second.sprite && it->second.visible) stack.emplace_back(it->second.sprite.get(), level + 1);
  };
  pushChildren(*root_, 0);
  while (!stack.empty() && stops.size() < 100000) {
    auto [inst, level] = stack.back();
    stack.pop_back();
    if (inst->unloaded || inst->detached) continue;
    TabStop stop;
    stop.byDefault = TabEnabled(*inst);
    if (inst->object) {
      const Value enabled = inst->object->Get("tabEnabled");
      if (!enabled.IsUndefined()) stop.tabEnabled = vm_->ToBool(enabled);
      const Value index = inst->object->Get("tabIndex");
      if (!index.IsUndefined()) {
        const double n = vm_->ToNumber(index);
        if (!std::isnan(n)) stop.tabIndex = n;
      }
    }
    double box[4];
    if (StageBox(*inst, box)) {
      stop.x = box[0], stop.y = box[1];
    }
    stops.push_back(stop);
    insts.push_back(inst);
    pushChildren(*inst, level);
  }
  const std::vector<std::size_t> order = TabOrder(stops);
  std::optional<std::size_t> current;
  if (Instance* f = Focused())
    if (const auto at = std::find(insts.begin(), insts.end(), f); at != insts.end())
      current = static_cast<std::size_t>(at - insts.begin());
  const auto next = NextTabStop(stops, order, current, backwards);
  if (!next) return;
  highlight_ = true;
  Instance* to = insts[*next];
  if (to == Focused()) return;
  ChangeFocus(to, true);
}

void Player::FocusVisibility(Instance& inst) {
  for (Instance* at = Focused(); at; at = at->parent.lock().get())
    if (at == &inst) {
      ChangeFocus(nullptr, false);
      return;
    }
}

Instance* Player::MouseFocusTarget(Instance& inst, Point local, int depth) {
  if (depth > kMaxFocusNesting) return nullptr;
  for (auto it = inst.displayList.rbegin(); it != inst.displayList.rend(); ++it) {
    DisplayObject& obj = it->second;
    if (!obj.visible || obj.clipDepth > 0 || !obj.sprite) continue;
    Instance& child = *obj.sprite;
    if (child.unloaded || child.detached) continue;
    const Point p = obj.matrix.inverse().apply(local);
    switch (child.kind) {
      case InstanceKind::EditText:
        if (const text::Field* f = child.field.get(); f && p.x >= f->xMin && p.x <= f->xMax && p.y >= f->yMin && p.y <= f->yMax)
          return &child;
        break;
      case InstanceKind::Button:
        if (Interactive(child) && ButtonHit(child, p)) return &child;
        break;
      case InstanceKind::Sprite:
        if (Instance* found = MouseFocusTarget(child, p, depth + 1)) return found;
        if (Interactive(child) && ObjectHit(obj, local)) return &child;
        break;
      default: break;
    }
  }
  return nullptr;
}

const DisplayObject* Player::PlacedOf(const Instance& inst) const {
  auto parent = inst.parent.lock();
  if (!parent) return &inst == root_.get() ? &rootDisplay_ : nullptr;
  const auto it = parent->displayList.find(inst.depth);
  return it != parent->displayList.end() && it->second.sprite.get() == &inst ? &it->second : nullptr;
}

bool Player::StageBox(const Instance& inst, double out[4]) const {
  const DisplayObject* placed = PlacedOf(inst);
  if (!placed) return false;
  double local[4];
  if (const text::Field* f = inst.field.get()) {
    local[0] = f->xMin, local[1] = f->yMin, local[2] = f->xMax, local[3] = f->yMax;
  } else if (!OwnBounds(*placed, local)) {
    return false;
  }
  // Matrices keep whole twips of translation on the way up, as the clips' own do.
  Matrix m;
  const Instance* at = &inst;
  for (int i = 0; at && i < kMaxFocusNesting; ++i) {
    if (const DisplayObject* d = PlacedOf(*at)) {
      m = d->matrix * m;
      m.tx = std::round(m.tx), m.ty = std::round(m.ty);
    }
    at = at->parent.lock().get();
  }
  out[0] = out[1] = INFINITY;
  out[2] = out[3] = -INFINITY;
  Grow(out, m, local);
  // Bounds are whole twips: corners a rounding apart are the same corner to Tab.
  for (int i = 0; i < 4; ++i) {
    if (!std::isfinite(out[i])) return false;
    out[i] = std::round(out[i]);
  }
  return true;
}

void Player::PlaceCaret(Instance& field) {
  text::Field* f = field.field.get();
  if (!f) return;
  Matrix m;
  const Instance* at = &field;
  for (int i = 0; at && i < kMaxFocusNesting; ++i) {
    if (const DisplayObject* d = PlacedOf(*at)) m = d->matrix * m;
    at = at->parent.lock().get();
  }
  const Point p = m.inverse().apply(mouse_);
  if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
  const text::Layout layout = text::LayoutField(*f, fonts());
  const std::size_t index = std::min(layout.CharAt(*f, (p.x - layout.xMin) / 20, (p.y - layout.yMin) / 20), f->text.size());
  f->selectionBegin = f->selectionEnd = index;
}

bool Player::FocusRectShown(const Instance& inst) const {
  if (inst.kind != InstanceKind::Sprite && inst.kind != InstanceKind::Button) return false;
  if (&inst == root_.get()) return false;
  for (const Instance* at = &inst; at; at = at->parent.lock().get()) {
    const DisplayObject* d = PlacedOf(*at);
    if (!d || !d->visible) return false;
  }
  return inst.focusRect.value_or(root_->focusRect.value_or(true));
}

void Player::DrawFocusRect(Canvas& canvas, const Matrix& toDevice, double scale) const {
  if (!highlight_) return;
  const Instance* f = Focused();
  double box[4];
  if (!f || !FocusRectShown(*f) || !StageBox(*f, box)) return;
  const Point a = toDevice.apply({box[0], box[1]}), b = toDevice.apply({box[2], box[3]});
  const long x0 = std::lround(a.x), y0 = std::lround(a.y), x1 = std::lround(b.x), y1 = std::lround(b.y);
  if (x1 <= x0 || y1 <= y0) return;
  const long w = std::max(1L, std::lround(kFocusLine * scale));
  FillRect(canvas, x0, y0, x1, y0 + w);
  FillRect(canvas, x0, y1 - w, x1, y1);
  FillRect(canvas, x0, y0 + w, x0 + w, y1 - w);
  FillRect(canvas, x1 - w, y0 + w, x1, y1 - w);
}

void Player::WindowFocus(bool active) {
  if (active) return;
  // Leaving the window takes what the keyboard was over, then the focus.
  if (hover_ && !mouseDown_) {
    FireMouse(*hover_, MouseEvent::RollOut);
    hover_.reset();
    RunQueue();
  }
  SetFocus(nullptr);
  RunQueue();
}

Player::Cursor Player::CursorShape() {
  if (!avm1::MouseShown(*vm_)) return Cursor::Hidden;
  Instance* under = Pick(*root_, rootDisplay_.matrix.inverse().apply(mouse_), 0);
  if (!under) return Cursor::Arrow;
  const Value hand = ObjectOf(*under)->Get("useHandCursor");
  return hand.IsUndefined() || vm_->ToBool(hand) ? Cursor::Hand : Cursor::Arrow;
}

}  // namespace quillon::player
