// flash.geom. Point, Rectangle and Matrix act as the script classes the reference player ships:
// plain instance properties, script arithmetic (+ joins strings, a NaN comparison makes >= and
// <= true), and new geom objects made through the package's current constructors. ColorTransform
// and Transform keep native state behind a hidden own property, so subclasses calling super()
// get it too.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>

#include "avm1/classes/extra_classes.h"

namespace quillon::player::avm1 {
namespace {

constexpr std::uint8_t kHidden = kDontEnum | kDontDelete;
constexpr std::string_view kColorData = "\x01" "colorTransform";
constexpr std::string_view kTransformClip = "\x01" "transformClip";
constexpr int kMaxParents = 256;
// Bounds of a clip with nothing in it sit at this sentinel (the largest twip value, in pixels).
constexpr double kNoBounds = 6710886;

using Matrix6 = std::array<double, 6>;
using Color8 = std::array<double, 8>;
constexpr Color8 kIdentityColor{1, 1, 1, 1, 0, 0, 0, 0};

// ---- script arithmetic ----

Value Member(Machine& vm, const Value& v, std::string_view name) {
  Object* o = vm.ToObject(v);
  return o ? o->Get(name) : Value{};
}

double Num(Machine& vm, const Value& v, std::string_view name) { return vm.ToNumber(Member(vm, v, name)); }

Value Plus(Machine& vm, const Value& a, const Value& b) {
  const Value x = vm.ToPrimitive(a), y = vm.ToPrimitive(b);
  if (x.IsString() || y.IsString()) {
    std::string s = vm.ToString(x);
    const std::string t = vm.ToString(y);
    if (s.size() + t.size() > kMaxStringLength) throw ScriptAbort{"string too long"};
    return Value::Str(s + t);
  }
  return Value::Num(vm.ToNumber(x) + vm.ToNumber(y));
}

// What "text" + v makes of v.
std::string Text(Machine& vm, const Value& v) { return vm.ToString(vm.ToPrimitive(v)); }

bool Less(Machine& vm, const Value& a, const Value& b) {
  const Value r = vm.LessThan(a, b);
  return r.IsBool() && r.boolean;
}
bool AtLeast(Machine& vm, const Value& a, const Value& b) { return !Less(vm, a, b); }

// Math.min and Math.max: NaN wins.
double Min(double a, double b) { return std::isnan(a) || std::isnan(b) ? NAN : std::min(a, b); }
double Max(double a, double b) { return std::isnan(a) || std::isnan(b) ? NAN : std::max(a, b); }
// width <= 0 || height <= 0 as compiled: NaN counts as empty.
bool EmptySize(double w, double h) { return !(w > 0) || !(h > 0); }

Value Get(Call& c, std::string_view name) {
  Object* self = c.This();
  return self ? self->Get(name) : Value{};
}
double GetNum(Call& c, std::string_view name) { return c.vm.ToNumber(Get(c, name)); }
void Put(Call& c, std::string_view name, Value v) {
  if (Object* self = c.This()) self->Set(name, std::move(v));
}

// ---- the package ----

Value GeomClass(Machine& vm, std::string_view name) {
  return Member(vm, Member(vm, Member(vm, Value::Obj(vm.global()), "flash"), "geom"), name);
}

Value Make(Machine& vm, std::string_view cls, std::span<const Value> args) {
  return vm.Construct(GeomClass(vm, cls), args);
}

Value MakePoint(Machine& vm, Value x, Value y) {
  const Value args[] = {std::move(x), std::move(y)};
  return Make(vm, "Point", args);
}

Value MakeRect(Machine& vm, Value x, Value y, Value w, Value h) {
  const Value args[] = {std::move(x), std::move(y), std::move(w), std::move(h)};
  return Make(vm, "Rectangle", args);
}

Value MakeRect(Machine& vm, double x, double y, double w, double h) {
  return MakeRect(vm, Value::Num(x), Value::Num(y), Value::Num(w), Value::Num(h));
}

Value MakeMatrix(Machine& vm, const Matrix6& m) {
  const Value args[] = {Value::Num(m[0]), Value::Num(m[1]), Value::Num(m[2]),
                        Value::Num(m[3]), Value::Num(m[4]), Value::Num(m[5])};
  return Make(vm, "Matrix", args);
}

bool IsInstance(Machine& vm, const Value& v, std::string_view cls) {
  if (!v.IsObject()) return false;
  const Value proto = Member(vm, GeomClass(vm, cls), "prototype");
  if (!proto.IsObject()) return false;
  int depth = 0;
  for (Object* o = v.object->Proto(); o && depth < kMaxParents; o = o->Proto(), ++depth)
    if (o == proto.object) return true;
  return false;
}

void Accessor(Machine& vm, Object* proto, std::string_view name, NativeFn get, NativeFn set, bool hidden) {
  proto->AddProperty(name, vm.NewNative(std::move(get)), set ? vm.NewNative(std::move(set)) : nullptr);
  if (hidden) proto->SetFlags(name, kDontEnum, 0);
}

Function* Class(Machine& vm, Object* geom, std::string_view name, NativeFn init, Object* proto) {
  Function* cls = vm.NewClass(std::move(init), nullptr, proto);
  geom->Define(name, Value::Obj(cls), kDontEnum);
  return cls;
}

// ---- Point ----

void InstallPoint(Machine& machine, Object* geom) {
  Object* proto = machine.NewObject();
  Function* cls = Class(machine, geom, "Point", [](Call& c) -> Value {
    const bool none = c.Count() == 0;
    Put(c, "x", none ? Value::Num(0) : c.Arg(0));
    Put(c, "y", none ? Value::Num(0) : c.Arg(1));
    return {};
  }, proto);

  Accessor(machine, proto, "length", [](Call& c) -> Value {
    const double x = GetNum(c, "x");
    const double y = GetNum(c, "y");
    return Value::Num(std::sqrt(x * x + y * y));
  }, nullptr, true);
  proto->DefineNative("add", [](Call& c) -> Value {
    Value x = Plus(c.vm, Get(c, "x"), Member(c.vm, c.Arg(0), "x"));
    Value y = Plus(c.vm, Get(c, "y"), Member(c.vm, c.Arg(0), "y"));
    return MakePoint(c.vm, std::move(x), std::move(y));
  }, 1);
  proto->DefineNative("subtract", [](Call& c) -> Value {
    const double x = GetNum(c, "x") - Num(c.vm, c.Arg(0), "x");
    const double y = GetNum(c, "y") - Num(c.vm, c.Arg(0), "y");
    return MakePoint(c.vm, Value::Num(x), Value::Num(y));
  }, 1);
  proto->DefineNative("equals", [](Call& c) -> Value {
    const Value& p = c.Arg(0);
    if (!IsInstance(c.vm, p, "Point")) return Value::Bool(false);
    return Value::Bool(c.vm.LooseEquals(Member(c.vm, p, "x"), Get(c, "x")) &&
                       c.vm.LooseEquals(Member(c.vm, p, "y"), Get(c, "y")));
  }, 1);
  proto->DefineNative("clone", [](Call& c) -> Value {
    Value x = Get(c, "x");
    return MakePoint(c.vm, std::move(x), Get(c, "y"));
  });
  proto->DefineNative("offset", [](Call& c) -> Value {
    Put(c, "x", Plus(c.vm, Get(c, "x"), c.Arg(0)));
    Put(c, "y", Plus(c.vm, Get(c, "y"), c.Arg(1)));
    return {};
  }, 2);
  proto->DefineNative("normalize", [](Call& c) -> Value {
    const Value length = Get(c, "length");
    if (!Less(c.vm, Value::Num(0), length)) return {};
    const double f = c.vm.ToNumber(c.Arg(0)) / c.vm.ToNumber(length);
    Put(c, "x", Value::Num(GetNum(c, "x") * f));
    Put(c, "y", Value::Num(GetNum(c, "y") * f));
    return {};
  }, 1);
  proto->DefineNative("toString", [](Call& c) -> Value {
    std::string s = "(x=" + Text(c.vm, Get(c, "x"));
    s += ", y=" + Text(c.vm, Get(c, "y")) + ")";
    return Value::Str(std::move(s));
  });

  cls->DefineNative("distance", [](Call& c) -> Value {
    Object* a = c.vm.ToObject(c.Arg(0));
    if (!a) return {};
    const Value args[] = {c.Arg(1)};
    return Member(c.vm, c.vm.CallValue(a->Get("subtract"), c.Arg(0), args), "length");
  }, 2);
  cls->DefineNative("interpolate", [](Call& c) -> Value {
    Machine& vm = c.vm;
    const Value &p1 = c.Arg(0), &p2 = c.Arg(1);
    const double f = vm.ToNumber(c.Arg(2));
    const Value x2 = Member(vm, p2, "x"), y2 = Member(vm, p2, "y");
    Value x = Plus(vm, x2, Value::Num(f * (Num(vm, p1, "x") - vm.ToNumber(x2))));
    Value y = Plus(vm, y2, Value::Num(f * (Num(vm, p1, "y") - vm.ToNumber(y2))));
    return MakePoint(vm, std::move(x), std::move(y));
  }, 3);
  cls->DefineNative("polar", [](Call& c) -> Value {
    const double length = c.vm.ToNumber(c.Arg(0));
    const double angle = c.vm.ToNumber(c.Arg(1));
    return MakePoint(c.vm, Value::Num(length * std::cos(angle)), Value::Num(length * std::sin(angle)));
  }, 2);
}

// ---- Rectangle ----

struct Box {
  double x, y, w, h;
};

Box BoxOf(Machine& vm, const Value& v) {
  const double x = Num(vm, v, "x");
  const double y = Num(vm, v, "y");
  const double w = Num(vm, v, "width");
  const double h = Num(vm, v, "height");
  return {x, y, w, h};
}

std::optional<Box> Overlap(const Box& a, const Box& b) {
  if (EmptySize(a.w, a.h) || EmptySize(b.w, b.h)) return std::nullopt;
  const double x = Max(a.x, b.x), y = Max(a.y, b.y);
  const double w = Min(a.x + a.w, b.x + b.w) - x, h = Min(a.y + a.h, b.y + b.h) - y;
  if (EmptySize(w, h)) return std::nullopt;
  return Box{x, y, w, h};
}

Value Contains(Call& c, const Value& x, const Value& y) {
  Machine& vm = c.vm;
  const bool in = AtLeast(vm, x, Get(c, "x")) && Less(vm, x, Plus(vm, Get(c, "x"), Get(c, "width"))) &&
                  AtLeast(vm, y, Get(c, "y")) && Less(vm, y, Plus(vm, Get(c, "y"), Get(c, "height")));
  return Value::Bool(in);
}

void Inflate(Call& c, double dx, double dy) {
  Put(c, "x", Value::Num(GetNum(c, "x") - dx));
  Put(c, "width", Plus(c.vm, Get(c, "width"), Value::Num(2 * dx)));
  Put(c, "y", Value::Num(GetNum(c, "y") - dy));
  Put(c, "height", Plus(c.vm, Get(c, "height"), Value::Num(2 * dy)));
}

void Offset(Call& c, const Value& dx, const Value& dy) {
  Put(c, "x", Plus(c.vm, Get(c, "x"), dx));
  Put(c, "y", Plus(c.vm, Get(c, "y"), dy));
}

Value CopyRect(Machine& vm, const Value& r) {
  Value x = Member(vm, r, "x"), y = Member(vm, r, "y"), w = Member(vm, r, "width"), h = Member(vm, r, "height");
  return MakeRect(vm, std::move(x), std::move(y), std::move(w), std::move(h));
}

void InstallRectangle(Machine& vm, Object* geom) {
  Object* proto = vm.NewObject();
  Class(vm, geom, "Rectangle", [](Call& c) -> Value {
    const bool none = c.Count() == 0;
    Put(c, "x", none ? Value::Num(0) : c.Arg(0));
    Put(c, "y", none ? Value::Num(0) : c.Arg(1));
    Put(c, "width", none ? Value::Num(0) : c.Arg(2));
    Put(c, "height", none ? Value::Num(0) : c.Arg(3));
    return {};
  }, proto);

  // Moving one edge keeps the opposite one.
  Accessor(vm, proto, "left", [](Call& c) { return Get(c, "x"); }, [](Call& c) -> Value {
    Put(c, "width", Plus(c.vm, Get(c, "width"), Value::Num(GetNum(c, "x") - c.vm.ToNumber(c.Arg(0)))));
    Put(c, "x", c.Arg(0));
    return {};
  }, true);
  Accessor(vm, proto, "right", [](Call& c) { return Plus(c.vm, Get(c, "x"), Get(c, "width")); }, [](Call& c) -> Value {
    Put(c, "width", Value::Num(c.vm.ToNumber(c.Arg(0)) - GetNum(c, "x")));
    return {};
  }, true);
  Accessor(vm, proto, "top", [](Call& c) { return Get(c, "y"); }, [](Call& c) -> Value {
    Put(c, "height", Plus(c.vm, Get(c, "height"), Value::Num(GetNum(c, "y") - c.vm.ToNumber(c.Arg(0)))));
    Put(c, "y", c.Arg(0));
    return {};
  }, true);
  Accessor(vm, proto, "bottom", [](Call& c) { return Plus(c.vm, Get(c, "y"), Get(c, "height")); }, [](Call& c) -> Value {
    Put(c, "height", Value::Num(c.vm.ToNumber(c.Arg(0)) - GetNum(c, "y")));
    return {};
  }, true);
  Accessor(vm, proto, "topLeft", [](Call& c) {
    Value x = Get(c, "x");
    return MakePoint(c.vm, std::move(x), Get(c, "y"));
  }, [](Call& c) -> Value {
    const Value px = Member(c.vm, c.Arg(0), "x"), py = Member(c.vm, c.Arg(0), "y");
    Put(c, "width", Plus(c.vm, Get(c, "width"), Value::Num(GetNum(c, "x") - c.vm.ToNumber(px))));
    Put(c, "height", Plus(c.vm, Get(c, "height"), Value::Num(GetNum(c, "y") - c.vm.ToNumber(py))));
    Put(c, "x", px);
    Put(c, "y", py);
    return {};
  }, true);
  Accessor(vm, proto, "bottomRight", [](Call& c) {
    Value x = Plus(c.vm, Get(c, "x"), Get(c, "width"));
    Value y = Plus(c.vm, Get(c, "y"), Get(c, "height"));
    return MakePoint(c.vm, std::move(x), std::move(y));
  }, [](Call& c) -> Value {
    Put(c, "width", Value::Num(Num(c.vm, c.Arg(0), "x") - GetNum(c, "x")));
    Put(c, "height", Value::Num(Num(c.vm, c.Arg(0), "y") - GetNum(c, "y")));
    return {};
  }, true);
  Accessor(vm, proto, "size", [](Call& c) {
    Value w = Get(c, "width");
    return MakePoint(c.vm, std::move(w), Get(c, "height"));
  }, [](Call& c) -> Value {
    Put(c, "width", Member(c.vm, c.Arg(0), "x"));
    Put(c, "height", Member(c.vm, c.Arg(0), "y"));
    return {};
  }, true);

  proto->DefineNative("clone", [](Call& c) { return CopyRect(c.vm, c.thisValue); });
  proto->DefineNative("contains", [](Call& c) { return Contains(c, c.Arg(0), c.Arg(1)); }, 2);
  proto->DefineNative("containsPoint", [](Call& c) {
    const Value x = Member(c.vm, c.Arg(0), "x"), y = Member(c.vm, c.Arg(0), "y");
    return Contains(c, x, y);
  }, 1);
  proto->DefineNative("containsRectangle", [](Call& c) -> Value {
    const Box a = BoxOf(c.vm, c.thisValue), b = BoxOf(c.vm, c.Arg(0));
    // >= and <= as compiled: a NaN side passes.
    const auto ge = [](double p, double q) { return !(p < q); };
    return Value::Bool(ge(b.x, a.x) && ge(b.y, a.y) && ge(a.x + a.w, b.x + b.w) && ge(a.y + a.h, b.y + b.h));
  }, 1);
  proto->DefineNative("equals", [](Call& c) -> Value {
    const Value& r = c.Arg(0);
    if (!IsInstance(c.vm, r, "Rectangle")) return Value::Bool(false);
    for (const char* name : {"x", "y", "width", "height"})
      if (!c.vm.LooseEquals(Get(c, name), Member(c.vm, r, name))) return Value::Bool(false);
    return Value::Bool(true);
  }, 1);
  proto->DefineNative("inflate", [](Call& c) -> Value {
    Inflate(c, c.vm.ToNumber(c.Arg(0)), c.vm.ToNumber(c.Arg(1)));
    return {};
  }, 2);
  proto->DefineNative("inflatePoint", [](Call& c) -> Value {
    Inflate(c, Num(c.vm, c.Arg(0), "x"), Num(c.vm, c.Arg(0), "y"));
    return {};
  }, 1);
  proto->DefineNative("intersection", [](Call& c) -> Value {
    const auto box = Overlap(BoxOf(c.vm, c.thisValue), BoxOf(c.vm, c.Arg(0)));
    return box ? MakeRect(c.vm, box->x, box->y, box->w, box->h) : MakeRect(c.vm, 0.0, 0.0, 0.0, 0.0);
  }, 1);
  proto->DefineNative("intersects", [](Call& c) -> Value {
    return Value::Bool(Overlap(BoxOf(c.vm, c.thisValue), BoxOf(c.vm, c.Arg(0))).has_value());
  }, 1);
  proto->DefineNative("isEmpty", [](Call& c) -> Value {
    const double w = GetNum(c, "width");
    return Value::Bool(EmptySize(w, GetNum(c, "height")));
  });
  proto->DefineNative("offset", [](Call& c) -> Value {
    Offset(c, c.Arg(0), c.Arg(1));
    return {};
  }, 2);
  proto->DefineNative("offsetPoint", [](Call& c) -> Value {
    const Value x = Member(c.vm, c.Arg(0), "x"), y = Member(c.vm, c.Arg(0), "y");
    Offset(c, x, y);
    return {};
  }, 1);
  proto->DefineNative("setEmpty", [](Call& c) -> Value {
    for (const char* name : {"x", "y", "width", "height"}) Put(c, name, Value::Num(0));
    return {};
  });
  proto->DefineNative("union", [](Call& c) -> Value {
    const Box a = BoxOf(c.vm, c.thisValue), b = BoxOf(c.vm, c.Arg(0));
    if (EmptySize(a.w, a.h)) return CopyRect(c.vm, c.Arg(0));
    if (EmptySize(b.w, b.h)) return CopyRect(c.vm, c.thisValue);
    const double x = Min(a.x, b.x), y = Min(a.y, b.y);
    return MakeRect(c.vm, x, y, Max(a.x + a.w, b.x + b.w) - x, Max(a.y + a.h, b.y + b.h) - y);
  }, 1);
  proto->DefineNative("toString", [](Call& c) -> Value {
    std::string s = "(x=" + Text(c.vm, Get(c, "x"));
    s += ", y=" + Text(c.vm, Get(c, "y"));
    s += ", w=" + Text(c.vm, Get(c, "width"));
    s += ", h=" + Text(c.vm, Get(c, "height")) + ")";
    return Value::Str(std::move(s));
  });
}

// ---- Matrix ----

constexpr const char* kMatrixNames[] = {"a", "b", "c", "d", "tx", "ty"};

Matrix6 MatrixOf(Machine& vm, const Value& v) {
  Matrix6 m{};
  for (std::size_t i = 0; i < m.size(); ++i) m[i] = Num(vm, v, kMatrixNames[i]);
  return m;
}

void PutMatrix(Call& c, const Matrix6& m) {
  for (std::size_t i = 0; i < m.size(); ++i) Put(c, kMatrixNames[i], Value::Num(m[i]));
}

// m, then n.
Matrix6 Concat(const Matrix6& m, const Matrix6& n) {
  return {m[0] * n[0] + m[1] * n[2], m[0] * n[1] + m[1] * n[3], m[2] * n[0] + m[3] * n[2],
          m[2] * n[1] + m[3] * n[3], m[4] * n[0] + m[5] * n[2] + n[4], m[4] * n[1] + m[5] * n[3] + n[5]};
}

Value TransformPoint(Call& c, bool translate) {
  Machine& vm = c.vm;
  const Matrix6 m = MatrixOf(vm, c.thisValue);
  const double px = Num(vm, c.Arg(0), "x"), py = Num(vm, c.Arg(0), "y");
  const Value x = Value::Num(m[0] * px + m[2] * py), y = Value::Num(m[1] * px + m[3] * py);
  if (!translate) return MakePoint(vm, x, y);
  Value tx = Plus(vm, x, Get(c, "tx"));
  Value ty = Plus(vm, y, Get(c, "ty"));
  return MakePoint(vm, std::move(tx), std::move(ty));
}

void InstallMatrix(Machine& machine, Object* geom) {
  Object* proto = machine.NewObject();
  Class(machine, geom, "Matrix", [](Call& c) -> Value {
    if (c.Count() == 0) {
      PutMatrix(c, {1, 0, 0, 1, 0, 0});
      return {};
    }
    for (std::size_t i = 0; i < 6; ++i) Put(c, kMatrixNames[i], c.Arg(i));
    return {};
  }, proto);

  proto->DefineNative("clone", [](Call& c) -> Value {
    std::vector<Value> args;
    for (const char* name : kMatrixNames) args.push_back(Get(c, name));
    return Make(c.vm, "Matrix", args);
  });
  proto->DefineNative("concat", [](Call& c) -> Value {
    Machine& vm = c.vm;
    const Matrix6 m = MatrixOf(vm, c.thisValue);
    Matrix6 n = MatrixOf(vm, c.Arg(0));
    n[4] = n[5] = 0;
    const Matrix6 r = Concat(m, n);
    PutMatrix(c, {r[0], r[1], r[2], r[3], 0, 0});
    // The translation adds as scripts add: a string there joins.
    Put(c, "tx", Plus(vm, Value::Num(r[4]), Member(vm, c.Arg(0), "tx")));
    Put(c, "ty", Plus(vm, Value::Num(r[5]), Member(vm, c.Arg(0), "ty")));
    return {};
  }, 1);
  proto->DefineNative("createBox", [](Call& c) -> Value {
    Machine& vm = c.vm;
    const double sx = vm.ToNumber(c.Arg(0)), sy = vm.ToNumber(c.Arg(1)), r = vm.ToNumber(c.Arg(2));
    const double cos = std::cos(r), sin = std::sin(r);
    PutMatrix(c, {cos * sx, sin * sy, -sin * sx, cos * sy, 0, 0});
    Put(c, "tx", c.Arg(3).IsNullish() ? Value::Num(0) : c.Arg(3));
    Put(c, "ty", c.Arg(4).IsNullish() ? Value::Num(0) : c.Arg(4));
    return {};
  }, 5);
  proto->DefineNative("createGradientBox", [](Call& c) -> Value {
    Machine& vm = c.vm;
    // A gradient's square is 1638.4 pixels wide; unlike createBox, no rotation means none.
    const double w = vm.ToNumber(c.Arg(0)), h = vm.ToNumber(c.Arg(1));
    const double r = c.Arg(2).IsNullish() ? 0 : vm.ToNumber(c.Arg(2));
    const double sx = w / 1638.4, sy = h / 1638.4, cos = std::cos(r), sin = std::sin(r);
    const double tx = c.Arg(3).IsNullish() ? 0 : vm.ToNumber(c.Arg(3));
    const double ty = c.Arg(4).IsNullish() ? 0 : vm.ToNumber(c.Arg(4));
    PutMatrix(c, {sx * cos, sy * sin, -sx * sin, sy * cos, tx + w / 2, ty + h / 2});
    return {};
  }, 5);
  proto->DefineNative("deltaTransformPoint", [](Call& c) { return TransformPoint(c, false); }, 1);
  proto->DefineNative("transformPoint", [](Call& c) { return TransformPoint(c, true); }, 1);
  proto->DefineNative("identity", [](Call& c) -> Value {
    PutMatrix(c, {1, 0, 0, 1, 0, 0});
    return {};
  });
  proto->DefineNative("invert", [](Call& c) -> Value {
    const Matrix6 m = MatrixOf(c.vm, c.thisValue);
    const double det = m[0] * m[3] - m[1] * m[2];
    const double a = m[3] / det, b = -m[1] / det, cc = -m[2] / det, d = m[0] / det;
    PutMatrix(c, {a, b, cc, d, -(a * m[4] + cc * m[5]), -(b * m[4] + d * m[5])});
    return {};
  });
  proto->DefineNative("rotate", [](Call& c) -> Value {
    const double q = c.vm.ToNumber(c.Arg(0));
    const double cos = std::cos(q), sin = std::sin(q);
    PutMatrix(c, Concat(MatrixOf(c.vm, c.thisValue), {cos, sin, -sin, cos, 0, 0}));
    return {};
  }, 1);
  proto->DefineNative("scale", [](Call& c) -> Value {
    const double sx = c.vm.ToNumber(c.Arg(0)), sy = c.vm.ToNumber(c.Arg(1));
    const Matrix6 m = MatrixOf(c.vm, c.thisValue);
    PutMatrix(c, {m[0] * sx, m[1] * sy, m[2] * sx, m[3] * sy, m[4] * sx, m[5] * sy});
    return {};
  }, 2);
  proto->DefineNative("translate", [](Call& c) -> Value {
    Put(c, "tx", Plus(c.vm, Get(c, "tx"), c.Arg(0)));
    Put(c, "ty", Plus(c.vm, Get(c, "ty"), c.Arg(1)));
    return {};
  }, 2);
  proto->DefineNative("toString", [](Call& c) -> Value {
    std::string s = "(";
    for (std::size_t i = 0; i < 6; ++i) {
      if (i) s += ", ";
      s += kMatrixNames[i];
      s += "=" + Text(c.vm, Get(c, kMatrixNames[i]));
    }
    return Value::Str(s + ")");
  });
}

// ---- ColorTransform ----

class ColorData : public Object {
 public:
  explicit ColorData(Machine& vm) : Object(vm) {}
  std::string_view ClassName() const override { return "ColorTransformData"; }
  Color8 v = kIdentityColor;
};

ColorData* DataOf(const Value& v) {
  if (!v.IsObject()) return nullptr;
  Property* p = v.object->FindOwn(kColorData);
  return p && p->value.IsObject() ? dynamic_cast<ColorData*>(p->value.object) : nullptr;
}

std::int32_t RgbOf(const Color8& v) {
  const auto r = static_cast<std::uint32_t>(ToInt32(v[4])), g = static_cast<std::uint32_t>(ToInt32(v[5]));
  const auto b = static_cast<std::uint32_t>(ToInt32(v[6]));
  return static_cast<std::int32_t>((r << 16) | (g << 8) | b);
}

void SetRgb(Color8& v, std::int32_t rgb) {
  v[0] = v[1] = v[2] = 0;
  v[4] = (rgb >> 16) & 0xFF;
  v[5] = (rgb >> 8) & 0xFF;
  v[6] = rgb & 0xFF;
}

// `outer` applied after `inner`.
Color8 Combine(const Color8& inner, const Color8& outer) {
  Color8 r{};
  for (std::size_t i = 0; i < 4; ++i) {
    r[i] = inner[i] * outer[i];
    r[i + 4] = inner[i + 4] * outer[i] + outer[i + 4];
  }
  return r;
}

void InstallColorTransform(Machine& vm, Object* geom) {
  Object* proto = vm.NewObject();
  Class(vm, geom, "ColorTransform", [](Call& c) -> Value {
    Object* self = c.This();
    if (!self) return {};
    auto* data = c.vm.Make<ColorData>();
    for (std::size_t i = 0; i < data->v.size() && i < c.Count(); ++i) data->v[i] = c.vm.ToNumber(c.Arg(i));
    self->Define(kColorData, Value::Obj(data), kHidden);
    return Value::Obj(self);
  }, proto);

  // Unlike the script classes these are listed by for..in, in this order (newest first).
  struct Field {
    const char* name;
    std::size_t index;
  };
  static constexpr Field kFields[] = {{"alphaMultiplier", 3}, {"redMultiplier", 0}, {"greenMultiplier", 1},
                                      {"blueMultiplier", 2},  {"alphaOffset", 7},   {"redOffset", 4},
                                      {"greenOffset", 5},     {"blueOffset", 6}};
  for (const Field& f : kFields) {
    const std::size_t i = f.index;
    Accessor(vm, proto, f.name, [i](Call& c) -> Value {
      ColorData* d = DataOf(c.thisValue);
      return d ? Value::Num(d->v[i]) : Value::Undefined();
    }, [i](Call& c) -> Value {
      const double n = c.vm.ToNumber(c.Arg(0));
      if (ColorData* d = DataOf(c.thisValue)) d->v[i] = n;
      return {};
    }, false);
  }
  Accessor(vm, proto, "rgb", [](Call& c) -> Value {
    ColorData* d = DataOf(c.thisValue);
    return d ? Value::Num(RgbOf(d->v)) : Value::Undefined();
  }, [](Call& c) -> Value {
    const std::int32_t rgb = ToInt32(c.vm.ToNumber(c.Arg(0)));
    if (ColorData* d = DataOf(c.thisValue)) SetRgb(d->v, rgb);
    return {};
  }, false);
  proto->Define("concat", Value::Obj(vm.NewNative([](Call& c) -> Value {
    ColorData* d = DataOf(c.thisValue);
    const ColorData* second = DataOf(c.Arg(0));
    if (d && second) d->v = Combine(second->v, d->v);
    return {};
  })), 0);
  proto->Define("toString", Value::Obj(vm.NewNative([](Call& c) -> Value {
    ColorData* d = DataOf(c.thisValue);
    if (!d) return {};
    static constexpr const char* kNames[] = {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
                                             "redOffset",     "greenOffset",     "blueOffset",     "alphaOffset"};
    std::string s = "(";
    for (std::size_t i = 0; i < 8; ++i) {
      if (i) s += ", ";
      s += kNames[i];
      s += "=" + NumberToString(d->v[i]);
    }
    return Value::Str(s + ")");
  })), 0);
}

// ---- Transform ----

Clip* ClipOf(const Value& self) {
  if (!self.IsObject()) return nullptr;
  Property* p = self.object->FindOwn(kTransformClip);
  Clip* clip = p && p->value.IsObject() ? dynamic_cast<Clip*>(p->value.object) : nullptr;
  return clip && clip->Alive() ? clip : nullptr;
}

Matrix6 ClipMatrix(Machine& vm, Clip* clip) {
  Matrix6 m{};
  if (ColorTarget* t = GetColorTarget(vm); t && t->GetMatrix(clip, m.data())) return m;
  const double sx = vm.ToNumber(clip->GetIndexed(2)) / 100, sy = vm.ToNumber(clip->GetIndexed(3)) / 100;
  const double r = vm.ToNumber(clip->GetIndexed(10)) * std::numbers::pi / 180;
  const double cos = std::cos(r), sin = std::sin(r);
  return {sx * cos, sx * sin, -sy * sin, sy * cos, vm.ToNumber(clip->GetIndexed(0)), vm.ToNumber(clip->GetIndexed(1))};
}

void SetClipMatrix(Machine& vm, Clip* clip, const Matrix6& m) {
  if (ColorTarget* t = GetColorTarget(vm); t && t->SetMatrix(clip, m.data())) return;
  const double sx = std::hypot(m[0], m[1]);
  const double sy = (m[0] * m[3] - m[1] * m[2] < 0 ? -1 : 1) * std::hypot(m[2], m[3]);
  clip->SetIndexed(0, Value::Num(m[4]));
  clip->SetIndexed(1, Value::Num(m[5]));
  clip->SetIndexed(10, Value::Num(std::atan2(m[1], m[0]) * 180 / std::numbers::pi));
  clip->SetIndexed(2, Value::Num(sx * 100));
  clip->SetIndexed(3, Value::Num(sy * 100));
}

// Without a display to ask, a clip is untinted.
bool ClipColor(Machine& vm, Clip* clip, Color8& out) {
  ColorTarget* t = GetColorTarget(vm);
  if (!t) {
    out = kIdentityColor;
    return true;
  }
  return t->GetColorTransform(clip, out.data());
}

Value MakeColor(Machine& vm, const Color8& v) {
  std::vector<Value> args;
  for (double n : v) args.push_back(Value::Num(n));
  return Make(vm, "ColorTransform", args);
}

Value PixelBounds(Machine& vm, Clip* clip) {
  Clip* root = vm.host().Root();
  const Value args[] = {root ? Value::Obj(root) : Value::Undefined()};
  const Value b = vm.CallMethod(clip, "getBounds", args);
  const double x0 = Num(vm, b, "xMin"), x1 = Num(vm, b, "xMax"), y0 = Num(vm, b, "yMin"), y1 = Num(vm, b, "yMax");
  const bool empty = !(x0 <= x1 && y0 <= y1) || std::fabs(x0) >= kNoBounds || std::fabs(y0) >= kNoBounds ||
                     std::fabs(x1) >= kNoBounds || std::fabs(y1) >= kNoBounds;
  return empty ? MakeRect(vm, 0.0, 0.0, 0.0, 0.0) : MakeRect(vm, x0, y0, x1 - x0, y1 - y0);
}

void InstallTransform(Machine& vm, Object* geom) {
  Object* proto = vm.NewObject();
  Class(vm, geom, "Transform", [](Call& c) -> Value {
    Object* self = c.This();
    if (!self) return {};
    if (c.Arg(0).IsObject() && dynamic_cast<Clip*>(c.Arg(0).object)) self->Define(kTransformClip, c.Arg(0), kHidden);
    return Value::Obj(self);
  }, proto);

  Accessor(vm, proto, "matrix", [](Call& c) -> Value {
    Clip* clip = ClipOf(c.thisValue);
    return clip ? MakeMatrix(c.vm, ClipMatrix(c.vm, clip)) : Value::Undefined();
  }, [](Call& c) -> Value {
    Matrix6 m{};
    Clip* clip = ClipOf(c.thisValue);
    if (clip && ReadMatrix(c.vm, c.Arg(0), m.data())) SetClipMatrix(c.vm, clip, m);
    return {};
  }, false);
  Accessor(vm, proto, "concatenatedMatrix", [](Call& c) -> Value {
    Clip* clip = ClipOf(c.thisValue);
    if (!clip) return {};
    Matrix6 m = ClipMatrix(c.vm, clip);
    int depth = 0;
    for (Clip* p = clip->ParentClip(); p && depth < kMaxParents; p = p->ParentClip(), ++depth)
      m = Concat(m, ClipMatrix(c.vm, p));
    return MakeMatrix(c.vm, m);
  }, nullptr, false);
  Accessor(vm, proto, "colorTransform", [](Call& c) -> Value {
    Clip* clip = ClipOf(c.thisValue);
    Color8 v{};
    return clip && ClipColor(c.vm, clip, v) ? MakeColor(c.vm, v) : Value::Undefined();
  }, [](Call& c) -> Value {
    Clip* clip = ClipOf(c.thisValue);
    const ColorData* d = DataOf(c.Arg(0));
    ColorTarget* t = GetColorTarget(c.vm);
    if (clip && d && t) t->SetColorTransform(clip, d->v.data());
    return {};
  }, false);
  Accessor(vm, proto, "concatenatedColorTransform", [](Call& c) -> Value {
    Clip* clip = ClipOf(c.thisValue);
    Color8 v{};
    if (!clip || !ClipColor(c.vm, clip, v)) return {};
    int depth = 0;
    for (Clip* p = clip->ParentClip(); p && depth < kMaxParents; p = p->ParentClip(), ++depth) {
      Color8 outer{};
      if (ClipColor(c.vm, p, outer)) v = Combine(v, outer);
    }
    return MakeColor(c.vm, v);
  }, nullptr, false);
  Accessor(vm, proto, "pixelBounds", [](Call& c) -> Value {
    Clip* clip = ClipOf(c.thisValue);
    return clip ? PixelBounds(c.vm, clip) : Value::Undefined();
  }, nullptr, false);
}

Object* Package(Machine& vm, Object* parent, std::string_view name) {
  if (Property* p = parent->FindOwn(name); p && p->value.IsObject()) return p->value.object;
  Object* o = vm.NewObject();
  parent->Define(name, Value::Obj(o), kDontEnum);
  return o;
}

}  // namespace

Value NewPoint(Machine& vm, double x, double y) { return MakePoint(vm, Value::Num(x), Value::Num(y)); }

Value NewRectangle(Machine& vm, double x, double y, double width, double height) {
  return MakeRect(vm, x, y, width, height);
}

Value NewMatrix(Machine& vm, const double m[6]) { return MakeMatrix(vm, {m[0], m[1], m[2], m[3], m[4], m[5]}); }

Value NewColorTransform(Machine& vm, const double ct[8]) {
  Color8 v{};
  std::copy(ct, ct + 8, v.begin());
  return MakeColor(vm, v);
}

Value NewTransform(Machine& vm, Object* clip) {
  const Value args[] = {Value::Obj(clip)};
  return Make(vm, "Transform", args);
}

bool ReadColorTransform(const Value& v, double out[8]) {
  const ColorData* d = DataOf(v);
  if (!d) return false;
  std::copy(d->v.begin(), d->v.end(), out);
  return true;
}

bool ReadMatrix(Machine& vm, const Value& v, double out[6]) {
  if (!v.IsObject()) return false;
  const Matrix6 m = MatrixOf(vm, v);
  std::copy(m.begin(), m.end(), out);
  return true;
}

void InstallGeom(Machine& vm, Object* global) {
  // The package arrived with SWF 8; older movies see no `flash` at all.
  if (vm.version() < 8) return;
  Object* geom = Package(vm, Package(vm, global, "flash"), "geom");
  InstallPoint(vm, geom);
  InstallRectangle(vm, geom);
  InstallMatrix(vm, geom);
  InstallColorTransform(vm, geom);
  InstallTransform(vm, geom);
}

}  // namespace quillon::player::avm1
