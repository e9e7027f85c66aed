// flash.filters. Each class keeps its settings behind accessors on its prototype, which bring
// what a script assigns into range as the reference player does (blur 0 to 255, quality 0 to 15,
// colours to 24 bits, alphas to 0..1); the values live in hidden own properties, so subclasses
// calling super() get them too. clone() constructs the same class from the current values.
#include "avm1/classes/filters.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <type_traits>

#include "avm1/classes/array.h"

namespace quillon::player::avm1 {
namespace {

constexpr std::uint8_t kHidden = kDontEnum | kDontDelete;
constexpr std::string_view kKindKey = "\x01" "filter";

enum class Kind { Number, Quality, Color, Alpha, Bool, Type, Numbers, Any };

struct Prop {
  const char* name;
  Kind kind;
  double lo = -INFINITY, hi = INFINITY;
  double number = 0;      // default for numeric kinds and booleans
  const char* text = "";  // default for Type
};

constexpr double kBlur = 255;

// Arguments come in this order in each constructor.
struct ClassLayout {
  const char* name;
  std::vector<Prop> props;
};

const std::vector<ClassLayout>& Classes() {
  static const std::vector<ClassLayout> kClasses = {
      {"DropShadowFilter",
       {{"distance", Kind::Number, -INFINITY, INFINITY, 4}, {"angle", Kind::Number, -INFINITY, INFINITY, 45},
        {"color", Kind::Color, 0, 0, 0}, {"alpha", Kind::Alpha, 0, 1, 1}, {"blurX", Kind::Number, 0, kBlur, 4},
        {"blurY", Kind::Number, 0, kBlur, 4}, {"strength", Kind::Number, 0, 255, 1}, {"quality", Kind::Quality, 0, 15, 1},
        {"inner", Kind::Bool}, {"knockout", Kind::Bool}, {"hideObject", Kind::Bool}}},
      {"BlurFilter",
       {{"blurX", Kind::Number, 0, kBlur, 4}, {"blurY", Kind::Number, 0, kBlur, 4}, {"quality", Kind::Quality, 0, 15, 1}}},
      {"GlowFilter",
       {{"color", Kind::Color, 0, 0, 0xFF0000}, {"alpha", Kind::Alpha, 0, 1, 1}, {"blurX", Kind::Number, 0, kBlur, 6},
        {"blurY", Kind::Number, 0, kBlur, 6}, {"strength", Kind::Number, 0, 255, 2}, {"quality", Kind::Quality, 0, 15, 1},
        {"inner", Kind::Bool}, {"knockout", Kind::Bool}}},
      {"BevelFilter",
       {{"distance", Kind::Number, -INFINITY, INFINITY, 4}, {"angle", Kind::Number, -INFINITY, INFINITY, 45},
        {"highlightColor", Kind::Color, 0, 0, 0xFFFFFF}, {"highlightAlpha", Kind::Alpha, 0, 1, 1},
        {"shadowColor", Kind::Color, 0, 0, 0}, {"shadowAlpha", Kind::Alpha, 0, 1, 1},
        {"blurX", Kind::Number, 0, kBlur, 4}, {"blurY", Kind::Number, 0, kBlur, 4},
        {"strength", Kind::Number, 0, 255, 1}, {"quality", Kind::Quality, 0, 15, 1},
        {"type", Kind::Type, 0, 0, 0, "inner"}, {"knockout", Kind::Bool}}},
      {"GradientGlowFilter",
       {{"distance", Kind::Number, -INFINITY, INFINITY, 4}, {"angle", Kind::Number, -INFINITY, INFINITY, 45},
        {"colors", Kind::Numbers}, {"alphas", Kind::Numbers}, {"ratios", Kind::Numbers},
        {"blurX", Kind::Number, 0, kBlur, 4}, {"blurY", Kind::Number, 0, kBlur, 4},
        {"strength", Kind::Number, 0, 255, 1}, {"quality", Kind::Quality, 0, 15, 1},
        {"type", Kind::Type, 0, 0, 0, "inner"}, {"knockout", Kind::Bool}}},
      {"GradientBevelFilter",
       {{"distance", Kind::Number, -INFINITY, INFINITY, 4}, {"angle", Kind::Number, -INFINITY, INFINITY, 45},
        {"colors", Kind::Numbers}, {"alphas", Kind::Numbers}, {"ratios", Kind::Numbers},
        {"blurX", Kind::Number, 0, kBlur, 4}, {"blurY", Kind::Number, 0, kBlur, 4},
        {"strength", Kind::Number, 0, 255, 1}, {"quality", Kind::Quality, 0, 15, 1},
        {"type", Kind::Type, 0, 0, 0, "inner"}, {"knockout", Kind::Bool}}},
      {"ConvolutionFilter",
       {{"matrixX", Kind::Quality, 0, 15, 0}, {"matrixY", Kind::Quality, 0, 15, 0}, {"matrix", Kind::Numbers},
        {"divisor", Kind::Number, -INFINITY, INFINITY, 1}, {"bias", Kind::Number, -INFINITY, INFINITY, 0},
        {"preserveAlpha", Kind::Bool, 0, 0, 1}, {"clamp", Kind::Bool, 0, 0, 1}, {"color", Kind::Color, 0, 0, 0},
        {"alpha", Kind::Alpha, 0, 1, 0}}},
      {"ColorMatrixFilter", {{"matrix", Kind::Numbers}}},
      {"DisplacementMapFilter",
       {{"mapBitmap", Kind::Any}, {"mapPoint", Kind::Any}, {"componentX", Kind::Quality, 0, 8, 0},
        {"componentY", Kind::Quality, 0, 8, 0}, {"scaleX", Kind::Number, -65535, 65535, 0},
        {"scaleY", Kind::Number, -65535, 65535, 0}, {"mode", Kind::Type, 0, 0, 0, "wrap"},
        {"color", Kind::Color, 0, 0, 0}, {"alpha", Kind::Alpha, 0, 1, 0}}},
  };
  return kClasses;
}

std::string Key(std::string_view name) { return "\x01" + std::string(name); }

Object* Package(Machine& vm, Object* parent, std::string_view name) {
  if (Property* p = parent->FindOwn(name); p && p->value.IsObject()) return p->value.object;
  Object* o = vm.NewObject();
  parent->Define(name, Value::Obj(o), kDontEnum);
  return o;
}

Value FiltersMember(Machine& vm, std::string_view name) {
  Object* flash = vm.ToObject(vm.global()->Get("flash"));
  Object* filters = flash ? vm.ToObject(flash->Get("filters")) : nullptr;
  return filters ? filters->Get(name) : Value{};
}

double Clamped(double v, const Prop& p) {
  if (std::isnan(v)) return p.lo > -INFINITY ? p.lo : 0;
  return std::clamp(v, p.lo, p.hi);
}

bool ValidType(std::string_view layout, const std::string& s) {
  if (layout == "DisplacementMapFilter") return s == "wrap" || s == "clamp" || s == "ignore" || s == "color";
  return s == "inner" || s == "outer" || s == "full";
}

// What the reference player stores for a value assigned to a property of `kind`.
Value Coerce(Machine& vm, const ClassLayout& layout, const Prop& p, const Value& v, const Value& old) {
  switch (p.kind) {
    case Kind::Number:
    case Kind::Alpha: return Value::Num(Clamped(vm.ToNumber(v), p));
    case Kind::Quality: {
      const double n = vm.ToNumber(v);
      return Value::Num(std::isfinite(n) ? std::clamp(std::trunc(n), p.lo, p.hi) : p.lo);
    }
    case Kind::Color: {
      const double n = vm.ToNumber(v);
      if (!std::isfinite(n)) return Value::Num(0);
      const auto bits = static_cast<std::uint32_t>(static_cast<std::int64_t>(std::fmod(std::trunc(n), 4294967296.0)));
      return Value::Num(bits & 0xFFFFFF);
    }
    case Kind::Bool: return Value::Bool(vm.ToBool(v));
    case Kind::Type: {
      const std::string s = vm.ToString(v);
      return ValidType(layout.name, s) ? Value::Str(s) : old;
    }
    case Kind::Numbers: {
      std::vector<Value> items;
      if (v.IsObject())
        if (auto* a = dynamic_cast<ArrayObject*>(v.object))
          for (const Value& item : a->items) items.push_back(Value::Num(vm.ToNumber(item)));
      // A colour matrix always has its twenty entries, missing ones zero.
      if (layout.name == std::string_view("ColorMatrixFilter")) items.resize(20, Value::Num(0));
      return Value::Obj(vm.NewArray(std::move(items)));
    }
    case Kind::Any: return v;
  }
  return v;
}

Value Default(Machine& vm, const ClassLayout& layout, const Prop& p) {
  switch (p.kind) {
    case Kind::Bool: return Value::Bool(p.number != 0);
    case Kind::Type: return Value::Str(p.text);
    case Kind::Numbers: {
      std::vector<Value> items;
      if (layout.name == std::string_view("ColorMatrixFilter"))
        for (int i = 0; i < 20; ++i) items.push_back(Value::Num(i % 6 == 0 ? 1 : 0));
      return Value::Obj(vm.NewArray(std::move(items)));
    }
    case Kind::Any: return Value::Null();
    default: return Value::Num(p.number);
  }
}

// Arrays read back as copies, so changing one changes nothing until it is assigned.
Value ReadBack(Machine& vm, const Value& stored) {
  if (stored.IsObject())
    if (auto* a = dynamic_cast<ArrayObject*>(stored.object)) return Value::Obj(vm.NewArray(a->items));
  return stored;
}

void InstallClass(Machine& vm, Object* package, const ClassLayout& layout) {
  Object* proto = vm.NewObject();
  Function* cls = vm.NewClass([&layout](Call& c) -> Value {
    Object* self = c.This();
    if (!self) return {};
    self->Define(kKindKey, Value::Str(layout.name), kHidden);
    for (std::size_t i = 0; i < layout.props.size(); ++i) {
      const Prop& p = layout.props[i];
      const Value def = Default(c.vm, layout, p);
      const Value v = i < c.Count() && !c.Arg(i).IsUndefined() ? Coerce(c.vm, layout, p, c.Arg(i), def) : def;
      self->Define(Key(p.name), v, kHidden);
    }
    return {};
  }, nullptr, proto);
  package->Define(layout.name, Value::Obj(cls), kDontEnum);
  for (const Prop& p : layout.props) {
    const std::string key = Key(p.name);
    Function* get = vm.NewNative([key](Call& c) -> Value {
      Object* self = c.This();
      return self ? ReadBack(c.vm, self->Get(key)) : Value{};
    });
    Function* set = vm.NewNative([key, &layout, &p](Call& c) -> Value {
      Object* self = c.This();
      if (self && self->FindOwn(key)) self->Set(key, Coerce(c.vm, layout, p, c.Arg(0), self->Get(key)));
      return {};
    });
    proto->AddProperty(p.name, get, set);
  }
  proto->DefineNative("clone", [&layout](Call& c) -> Value {
    Object* self = c.This();
    if (!self) return {};
    std::vector<Value> args;
    for (const Prop& p : layout.props) args.push_back(self->Get(Key(p.name)));
    return c.vm.Construct(FiltersMember(c.vm, layout.name), args);
  });
}

// ---- script objects to native filters ----

struct Reader {
  Machine& vm;
  Object* o;
  double Num(std::string_view name) const { return vm.ToNumber(o->Get(Key(name))); }
  bool Flag(std::string_view name) const { return vm.ToBool(o->Get(Key(name))); }
  std::string Text(std::string_view name) const { return vm.ToString(o->Get(Key(name))); }
  std::vector<double> Numbers(std::string_view name) const {
    std::vector<double> out;
    const Value v = o->Get(Key(name));
    if (v.IsObject())
      if (auto* a = dynamic_cast<ArrayObject*>(v.object))
        for (const Value& item : a->items) out.push_back(vm.ToNumber(item));
    return out;
  }
  Rgba Color(std::string_view color, std::string_view alpha) const {
    const auto rgb = static_cast<std::uint32_t>(Num(color));
    return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb),
            AlphaByte(Num(alpha))};
  }
  static std::uint8_t AlphaByte(double a) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(std::isnan(a) ? 0.0 : a, 0.0, 1.0) * 255));
  }
  double Radians(std::string_view name) const { return Num(name) * std::numbers::pi / 180; }
  int Passes() const { return static_cast<int>(Num("quality")); }
};

std::vector<GradientFilterStop> Stops(const Reader& r) {
  const auto colors = r.Numbers("colors"), alphas = r.Numbers("alphas"), ratios = r.Numbers("ratios");
  const std::size_t n = std::min({colors.size(), alphas.size(), ratios.size(), std::size_t{16}});
  std::vector<GradientFilterStop> stops;
  for (std::size_t i = 0; i < n; ++i) {
    const double c = std::isfinite(colors[i]) ? colors[i] : 0;
    const auto rgb = static_cast<std::uint32_t>(static_cast<std::int64_t>(c));
    GradientFilterStop s;
    s.color = {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb),
               Reader::AlphaByte(alphas[i])};
    s.ratio = static_cast<std::uint8_t>(std::clamp(std::isnan(ratios[i]) ? 0.0 : ratios[i], 0.0, 255.0));
    stops.push_back(s);
  }
  return stops;
}

double Rgb(Rgba c) { return (c.r << 16) | (c.g << 8) | c.b; }
double Alpha(Rgba c) { return c.a / 255.0; }
double Degrees(double radians) { return radians * 180 / std::numbers::pi; }
const char* TypeOf(bool inner, bool onTop) { return onTop ? "full" : inner ? "inner" : "outer"; }

}  // namespace

void InstallFilters(Machine& vm, Object* global) {
  if (vm.version() < 8) return;
  Object* package = Package(vm, Package(vm, global, "flash"), "filters");
  for (const ClassLayout& layout : Classes()) InstallClass(vm, package, layout);
}

bool FilterOf(Machine& vm, const Value& v, Filter& out) {
  if (!v.IsObject()) return false;
  const Value kind = v.object->Get(kKindKey);
  if (!kind.IsString()) return false;
  const std::string name = vm.ToString(kind);
  const Reader r{vm, v.object};
  if (name == "DropShadowFilter") {
    DropShadowFilter f;
    f.distance = r.Num("distance"), f.angle = r.Radians("angle"), f.color = r.Color("color", "alpha");
    f.blurX = r.Num("blurX"), f.blurY = r.Num("blurY"), f.strength = r.Num("strength"), f.passes = r.Passes();
    f.inner = r.Flag("inner"), f.knockout = r.Flag("knockout"), f.compositeSource = !r.Flag("hideObject");
    out = f;
  } else if (name == "BlurFilter") {
    out = BlurFilter{r.Num("blurX"), r.Num("blurY"), r.Passes()};
  } else if (name == "GlowFilter") {
    GlowFilter f;
    f.color = r.Color("color", "alpha");
    f.blurX = r.Num("blurX"), f.blurY = r.Num("blurY"), f.strength = r.Num("strength"), f.passes = r.Passes();
    f.inner = r.Flag("inner"), f.knockout = r.Flag("knockout");
    out = f;
  } else if (name == "BevelFilter") {
    BevelFilter f;
    f.distance = r.Num("distance"), f.angle = r.Radians("angle");
    f.highlight = r.Color("highlightColor", "highlightAlpha"), f.shadow = r.Color("shadowColor", "shadowAlpha");
    f.blurX = r.Num("blurX"), f.blurY = r.Num("blurY"), f.strength = r.Num("strength"), f.passes = r.Passes();
    const std::string type = r.Text("type");
    f.inner = type == "inner", f.onTop = type == "full", f.knockout = r.Flag("knockout");
    out = f;
  } else if (name == "GradientGlowFilter" || name == "GradientBevelFilter") {
    GradientFilter f;
    f.bevel = name == "GradientBevelFilter";
    f.distance = r.Num("distance"), f.angle = r.Radians("angle"), f.stops = Stops(r);
    f.blurX = r.Num("blurX"), f.blurY = r.Num("blurY"), f.strength = r.Num("strength"), f.passes = r.Passes();
    const std::string type = r.Text("type");
    f.inner = type == "inner", f.onTop = type == "full", f.knockout = r.Flag("knockout");
    out = f;
  } else if (name == "ConvolutionFilter") {
    ConvolutionFilter f;
    f.columns = static_cast<int>(r.Num("matrixX")), f.rows = static_cast<int>(r.Num("matrixY"));
    const auto m = r.Numbers("matrix");
    f.matrix.assign(static_cast<std::size_t>(f.columns) * static_cast<std::size_t>(f.rows), 0.0f);
    for (std::size_t i = 0; i < f.matrix.size() && i < m.size(); ++i) f.matrix[i] = static_cast<float>(m[i]);
    f.divisor = static_cast<float>(r.Num("divisor")), f.bias = static_cast<float>(r.Num("bias"));
    f.preserveAlpha = r.Flag("preserveAlpha"), f.clamp = r.Flag("clamp");
    f.defaultColor = r.Color("color", "alpha");
    out = f;
  } else if (name == "ColorMatrixFilter") {
    ColorMatrixFilter f;
    const auto m = r.Numbers("matrix");
    for (std::size_t i = 0; i < 20; ++i) f.matrix[i] = i < m.size() ? static_cast<float>(m[i]) : 0.0f;
    out = f;
  } else {
    return false;
  }
  return true;
}

Value NewFilter(Machine& vm, const Filter& filter) {
  return std::visit(
      [&](const auto& f) -> Value {
        using T = std::decay_t<decltype(f)>;
        std::vector<Value> a;
        auto num = [&a](double v) { a.push_back(Value::Num(v)); };
        auto flag = [&a](bool v) { a.push_back(Value::Bool(v)); };
        const char* cls = "";
        if constexpr (std::is_same_v<T, DropShadowFilter>) {
          cls = "DropShadowFilter";
          num(f.distance), num(Degrees(f.angle)), num(Rgb(f.color)), num(Alpha(f.color)), num(f.blurX), num(f.blurY);
          num(f.strength), num(f.passes), flag(f.inner), flag(f.knockout), flag(!f.compositeSource);
        } else if constexpr (std::is_same_v<T, BlurFilter>) {
          cls = "BlurFilter";
          num(f.blurX), num(f.blurY), num(f.passes);
        } else if constexpr (std::is_same_v<T, GlowFilter>) {
          cls = "GlowFilter";
          num(Rgb(f.color)), num(Alpha(f.color)), num(f.blurX), num(f.blurY), num(f.strength), num(f.passes);
          flag(f.inner), flag(f.knockout);
        } else if constexpr (std::is_same_v<T, BevelFilter>) {
          cls = "BevelFilter";
          num(f.distance), num(Degrees(f.angle)), num(Rgb(f.highlight)), num(Alpha(f.highlight)), num(Rgb(f.shadow));
          num(Alpha(f.shadow)), num(f.blurX), num(f.blurY), num(f.strength), num(f.passes);
          a.push_back(Value::Str(TypeOf(f.inner, f.onTop))), flag(f.knockout);
        } else if constexpr (std::is_same_v<T, GradientFilter>) {
          cls = f.bevel ? "GradientBevelFilter" : "GradientGlowFilter";
          std::vector<Value> colors, alphas, ratios;
          for (const auto& s : f.stops) {
            colors.push_back(Value::Num(Rgb(s.color)));
            alphas.push_back(Value::Num(Alpha(s.color)));
            ratios.push_back(Value::Num(s.ratio));
          }
          num(f.distance), num(Degrees(f.angle));
          a.push_back(Value::Obj(vm.NewArray(std::move(colors))));
          a.push_back(Value::Obj(vm.NewArray(std::move(alphas))));
          a.push_back(Value::Obj(vm.NewArray(std::move(ratios))));
          num(f.blurX), num(f.blurY), num(f.strength), num(f.passes);
          a.push_back(Value::Str(TypeOf(f.inner, f.onTop))), flag(f.knockout);
        } else if constexpr (std::is_same_v<T, ConvolutionFilter>) {
          cls = "ConvolutionFilter";
          std::vector<Value> m;
          for (float v : f.matrix) m.push_back(Value::Num(v));
          num(f.columns), num(f.rows), a.push_back(Value::Obj(vm.NewArray(std::move(m))));
          num(f.divisor), num(f.bias), flag(f.preserveAlpha), flag(f.clamp), num(Rgb(f.defaultColor));
          num(Alpha(f.defaultColor));
        } else {
          cls = "ColorMatrixFilter";
          std::vector<Value> m;
          for (float v : f.matrix) m.push_back(Value::Num(v));
          a.push_back(Value::Obj(vm.NewArray(std::move(m))));
        }
        const Value ctor = FiltersMember(vm, cls);
        if (!ctor.IsObject()) return {};
        return vm.Construct(ctor, a);
      },
      filter);
}

}  // namespace quillon::player::avm1
