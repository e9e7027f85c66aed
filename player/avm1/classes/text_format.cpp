// The TextFormat class: thirteen constructor arguments, one getter and setter pair a member on
// the prototype, each converting as the reference player does, and getTextExtent.
#include "avm1/classes/text_format.h"

#include <cfenv>
#include <cmath>

#include "avm1/classes/extra_classes.h"
#include "avm1/classes/string.h"

namespace quillon::player::avm1 {
namespace {

struct MeasureState {
  TextMeasure measure;
};
constexpr std::string_view kMeasureKey = "\x01" "textMeasure";

constexpr std::size_t kMaxFontName = 64;  // UTF-16 units a font name keeps

Object*& Prototype(Machine& vm) {
  // One machine, one prototype; kept beside the measure hook.
  struct ProtoState {
    Object* proto = nullptr;
  };
  return extra_detail::StateOf<ProtoState>(vm, "\x01" "textFormatProto")->proto;
}

std::string FontName(Machine& vm, const Value& v) {
  std::u16string units = strings::Utf8ToUtf16(vm.ToString(v));
  if (units.size() > kMaxFontName) units.resize(kMaxFontName);
  return strings::Utf16ToUtf8(units);
}

std::optional<text::Align> AlignOf(Machine& vm, const Value& v) {
  std::string s = vm.ToString(v);
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (s == "left") return text::Align::Left;
  if (s == "center") return text::Align::Center;
  if (s == "right") return text::Align::Right;
  if (s == "justify") return text::Align::Justify;
  return std::nullopt;
}

const char* AlignText(text::Align a) {
  switch (a) {
    case text::Align::Center: return "center";
    case text::Align::Right: return "right";
    case text::Align::Justify: return "justify";
    default: return "left";
  }
}

template <typename T> Value Maybe(const std::optional<T>& v, Value (*make)(const T&)) {
  return v ? make(*v) : Value::Null();
}

Value NumberValue(const double& d) { return Value::Num(d); }
Value BoolValue(const bool& b) { return Value::Bool(b); }
Value StringValue(const std::string& s) { return Value::Str(s); }

Value TabStopsValue(Machine& vm, const std::optional<std::vector<double>>& stops) {
  if (!stops) return Value::Null();
  std::vector<Value> items;
  for (double d : *stops) items.push_back(Value::Num(d));
  return Value::Obj(vm.NewArray(std::move(items)));
}

std::optional<std::vector<double>> TabStopsOf(Machine& vm, const Value& v) {
  Object* o = v.IsObject() ? v.object : nullptr;
  if (!o) return std::vector<double>{};
  const double length = vm.ToNumber(o->Get("length"));
  std::vector<double> stops;
  if (std::isfinite(length) && length > 0) {
    const auto n = static_cast<std::size_t>(std::min(length, 10000.0));
    for (std::size_t i = 0; i < n; ++i) stops.push_back(FormatInteger(vm.ToNumber(o->Get(std::to_string(i)))));
  }
  return stops;
}

// One member: how scripts read it and how an assignment converts.
struct Member {
  const char* name;
  Value (*get)(Machine&, const TextFormatObject&);
  void (*set)(Machine&, TextFormatObject&, const Value&);
  void (*clear)(text::TextFormat&);
};

#define QUILLON_OPT_GET(field, make) \
  [](Machine&, const TextFormatObject& o) { return Maybe(o.format.field, make); }

double MarginOf(Machine& vm, const Value& v) {
  const double d = vm.ToNumber(v);
  return FormatInteger(std::isnan(d) ? 0 : std::max(d, 0.0));
}

const Member kMembers[] = {
    {"font", QUILLON_OPT_GET(font, StringValue),
     [](Machine& vm, TextFormatObject& o, const Value& v) { o.format.font = FontName(vm, v); },
     [](text::TextFormat& f) { f.font.reset(); }},
    {"size", QUILLON_OPT_GET(size, NumberValue),
     [](Machine& vm, TextFormatObject& o, const Value& v) { o.format.size = FormatInteger(vm.ToNumber(v)); },
     [](text::TextFormat& f) { f.size.reset(); }},
    {"color", [](Machine&, const TextFormatObject& o) {
       return o.format.color ? Value::Num(*o.format.color) : Value::Null();
     },
     [](Machine& vm, TextFormatObject& o, const Value& v) { o.format.color = ToUint32(vm.ToNumber(v)); },
     [](text::TextFormat& f) { f.color.reset(); }},
    {"url", QUILLON_OPT_GET(url, StringValue),
     [](Machine& vm, TextFormatObject& o, const Value& v) { o.format.url = vm.ToString(v); },
     [](text::TextFormat& f) { f.url.reset(); }},
    {"target", QUILLON_OPT_GET(target, StringValue),
     [](Machine& vm, TextFormatObject& o, const Value& v) { o.format.target = vm.ToString(v); },
     [](text::TextFormat& f) { f.target.reset(); }},
    {"bold", QUILLON_OPT_GET(bold, BoolValue),
     [](Machine& vm, TextFormatObject& o, const Value& v) { o.format.bold = vm.ToBool(v); },
     [](text::TextFormat& f) { f.bold.reset(); }},
    {"italic", QUILLON_OPT_GET(italic, BoolValue),
     [](Machine& vm, TextFormatObject& o, const Value& v) { o.format.italic = vm.ToBool(v); },
     [](text::TextFormat& f) { f.italic.reset(); }},
    {"underline", QUILLON_OPT_GET(underline, BoolValue),
     [](Machine& vm, TextFormatObject& o, const Value& v) { o.format.underline = vm.ToBool(v); },
     [](text::TextFormat& f) { f.underline.reset(); }},
    {"align", [](Machine&, const TextFormatObject& o) {
       return o.format.align ? Value::Str(AlignText(*o.format.align)) : Value::Null();
     },
     [](Machine& vm, TextFormatObject& o, const Value& v) {
       // A name it does not know leaves the alignment as it was.
       if (auto a = AlignOf(vm, v)) o.format.align = a;
     },
     [](text::TextFormat&) {}},  // null leaves the alignment too
    {"leftMargin", QUILLON_OPT_GET(leftMargin, NumberValue),
     [](Machine& vm, TextFormatObject& o, const Value& v) { o.format.leftMargin = MarginOf(vm, v); },
     [](text::TextFormat& f) { f.leftMargin.reset(); }},
    {"rightMargin", QUILLON_OPT_GET(rightMargin, NumberValue),
     [](Machine& vm, TextFormatObject& o, const Value& v) { o.format.rightMargin = MarginOf(vm, v); },
     [](text::TextFormat& f) { f.rightMargin.reset(); }},
    {"indent", QUILLON_OPT_GET(indent, NumberValue),
     [](Machine& vm, TextFormatObject& o, const Value& v) { o.format.indent = FormatInteger(vm.ToNumber(v)); },
     [](text::TextFormat& f) { f.indent.reset(); }},
    {"leading", QUILLON_OPT_GET(leading, NumberValue),
     [](Machine& vm, TextFormatObject& o, const Value& v) { o.format.leading = FormatInteger(vm.ToNumber(v)); },
     [](text::TextFormat& f) { f.leading.reset(); }},
    {"blockIndent", QUILLON_OPT_GET(blockIndent, NumberValue),
     [](Machine& vm, TextFormatObject& o, const Value& v) { o.format.blockIndent = FormatInteger(vm.ToNumber(v)); },
     [](text::TextFormat& f) { f.blockIndent.reset(); }},
    {"tabStops", [](Machine& vm, const TextFormatObject& o) { return TabStopsValue(vm, o.format.tabStops); },
     [](Machine& vm, TextFormatObject& o, const Value& v) { o.format.tabStops = TabStopsOf(vm, v); },
     [](text::TextFormat& f) { f.tabStops.reset(); }},
    {"bullet", QUILLON_OPT_GET(bullet, BoolValue),
     [](Machine& vm, TextFormatObject& o, const Value& v) { o.format.bullet = vm.ToBool(v); },
     [](text::TextFormat& f) { f.bullet.reset(); }},
    {"kerning", QUILLON_OPT_GET(kerning, BoolValue),
     [](Machine& vm, TextFormatObject& o, const Value& v) { o.format.kerning = vm.ToBool(v); },
     [](text::TextFormat& f) { f.kerning.reset(); }},
    {"letterSpacing", QUILLON_OPT_GET(letterSpacing, NumberValue),
     [](Machine& vm, TextFormatObject& o, const Value& v) { o.format.letterSpacing = vm.ToNumber(v); },
     [](text::TextFormat& f) { f.letterSpacing.reset(); }},
};

#undef QUILLON_OPT_GET

// null and undefined unset a member; anything else converts.
void Assign(Machine& vm, TextFormatObject& o, const Member& m, const Value& v) {
  if (v.IsNullish()) m.clear(o.format);
  else m.set(vm, o, v);
}

TextFormatObject* Self(Call& c) { return c.This() ? dynamic_cast<TextFormatObject*>(c.This()) : nullptr; }

Value GetTextExtent(Call& c) {
  TextFormatObject* self = Self(c);
  if (!self || c.Count() == 0) return Value::Undefined();
  const std::u16string text = strings::Utf8ToUtf16(c.vm.ToString(c.Arg(0)));
  double wrap = -1;
  if (c.Count() > 1 && !c.Arg(1).IsUndefined()) {
    wrap = c.vm.ToNumber(c.Arg(1));
    if (!std::isfinite(wrap) || wrap < 0) wrap = -1;
  }
  text::TextFormat f = self->format;
  if (!f.size) f.size = 12;
  TextExtent e;
  const auto state = extra_detail::StateOf<MeasureState>(c.vm, kMeasureKey);
  if (state->measure) {
    e = state->measure(f, text, wrap);
  } else {
    // Without fonts: an even advance of half the size, lines of the size.
    const double size = *f.size;
    e.ascent = size * 0.9;
    e.descent = size * 0.2;
    e.width = 0.5 * size * static_cast<double>(text.size());
    e.height = e.ascent + e.descent;
  }
  Object* out = c.vm.NewObject();
  out->Set("ascent", Value::Num(e.ascent));
  out->Set("descent", Value::Num(e.descent));
  out->Set("width", Value::Num(e.width));
  out->Set("height", Value::Num(e.height));
  // The field that would hold the text: the text plus its 2-pixel gutters.
  out->Set("textFieldHeight", Value::Num(e.height + 4));
  out->Set("textFieldWidth", Value::Num(wrap >= 0 ? wrap : e.width + 4));
  return Value::Obj(out);
}

}  // namespace

double FormatInteger(double v) {
  if (!std::isfinite(v) || v >= 2147483648.0 || v < -2147483648.0) return -2147483648.0;
  return std::nearbyint(v);
}

TextFormatObject* NewTextFormat(Machine& vm, const text::TextFormat& format) {
  auto* o = vm.Make<TextFormatObject>();
  o->format = format;
  if (Object* proto = Prototype(vm)) o->SetProto(proto);
  else o->SetProto(vm.objectProto);
  return o;
}

TextFormatObject* AsTextFormat(const Value& v) {
  return v.IsObject() ? dynamic_cast<TextFormatObject*>(v.object) : nullptr;
}

void SetTextMeasure(Machine& vm, TextMeasure measure) {
  extra_detail::StateOf<MeasureState>(vm, kMeasureKey)->measure = std::move(measure);
}

void InstallTextFormat(Machine& vm, Object* global) {
  Object* proto = vm.NewObject();
  Prototype(vm) = proto;
  for (const Member& m : kMembers) {
    Function* getter = vm.NewNative([&m](Call& c) -> Value {
      TextFormatObject* self = Self(c);
      return self ? m.get(c.vm, *self) : Value::Undefined();
    });
    Function* setter = vm.NewNative([&m](Call& c) -> Value {
      if (TextFormatObject* self = Self(c)) Assign(c.vm, *self, m, c.Arg(0));
      return {};
    });
    proto->AddProperty(m.name, getter, setter);
    proto->SetFlags(m.name, kDontEnum, 0);
  }
  proto->AddProperty("display", vm.NewNative([](Call& c) -> Value {
    TextFormatObject* self = Self(c);
    return self ? Value::Str(self->display) : Value::Undefined();
  }), vm.NewNative([](Call& c) -> Value {
    if (TextFormatObject* self = Self(c)) {
      const std::string d = c.vm.ToString(c.Arg(0));
      if (d == "inline" || d == "block" || d == "none") self->display = d;
    }
    return {};
  }));
  proto->SetFlags("display", kDontEnum, 0);
  proto->DefineNative("getTextExtent", GetTextExtent, 2);
  // new TextFormat(font, size, color, bold, italic, underline, url, target, align,
  //                leftMargin, rightMargin, indent, leading)
  static constexpr const char* kArguments[] = {"font", "size", "color", "bold", "italic", "underline", "url",
                                               "target", "align", "leftMargin", "rightMargin", "indent", "leading"};
  auto construct = [](Call& c) -> Value {
    TextFormatObject* self = NewTextFormat(c.vm, {});
    for (std::size_t i = 0; i < std::size(kArguments) && i < c.Count(); ++i) {
      for (const Member& m : kMembers) {
        if (std::string_view(m.name) != kArguments[i]) continue;
        const Value& v = c.Arg(i);
        // The constructor cuts numbers toward zero and keeps the margins' sign, where the
        // setters round and clamp.
        if (!v.IsNullish() && (i == 1 || i >= 9)) {
          double d = c.vm.ToNumber(v);
          d = std::isfinite(d) ? FormatInteger(std::trunc(d)) : -2147483648.0;
          std::optional<double>* into[] = {&self->format.size, &self->format.leftMargin, &self->format.rightMargin,
                                          &self->format.indent, &self->format.leading};
          *into[i == 1 ? 0 : i - 8] = d;
        } else {
          Assign(c.vm, *self, m, v);
        }
      }
    }
    return Value::Obj(self);
  };
  Function* ctor = vm.NewClass(construct, construct, proto);
  global->Define("TextFormat", Value::Obj(ctor), kDontEnum);
}

}  // namespace quillon::player::avm1
