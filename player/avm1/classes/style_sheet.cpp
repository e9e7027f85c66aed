#include "avm1/classes/style_sheet.h"

#include <cmath>

#include "avm1/classes/array.h"
#include "avm1/classes/data_classes.h"
#include "avm1/classes/text_format.h"

namespace quillon::player::avm1 {
namespace {

bool Space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string TrimLeft(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && Space(s[i])) ++i;
  return std::string(s.substr(i));
}

std::string Trim(std::string_view s) {
  std::string t = TrimLeft(s);
  while (!t.empty() && Space(t.back())) t.pop_back();
  return t;
}

// CSS names become script names: "font-size" is fontSize, a doubled dash stays one dash.
std::string CamelCase(std::string_view name) {
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '-' && i + 1 < name.size()) {
      const char next = name[++i];
      out += next == '-' ? '-' : static_cast<char>(std::toupper(static_cast<unsigned char>(next)));
    } else {
      out += name[i];
    }
  }
  return out;
}

// parseInt's reading: white space, a sign, digits; NaN without digits.
double LeadingInt(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && Space(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  const std::size_t digits = i;
  double v = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') v = v * 10 + (s[i++] - '0');
  if (i == digits) return NAN;
  return negative ? -v : v;
}

double IntOf(Machine& vm, const Value& v) {
  if (v.IsNumber()) return std::isfinite(v.number) ? std::trunc(v.number) : NAN;
  return LeadingInt(vm.ToString(v));
}

Value Get(Object* o, const char* name, bool& present) {
  const Value v = o->Get(name);
  present = o->vm().ToBool(v);  // the reference skips every false value, 0 and "" included
  return v;
}

// A style object's CSS properties as a TextFormat.
TextFormatObject* Transform(Machine& vm, Object* style) {
  TextFormatObject* tf = NewTextFormat(vm, {});
  text::TextFormat& f = tf->format;
  f.kerning = false;
  bool has = false;
  Value v = Get(style, "color", has);
  if (has && v.IsString() && v.string.size() == 7 && v.string[0] == '#') {
    std::uint32_t c = 0;
    bool ok = true;
    for (std::size_t i = 1; i < 7; ++i) {
      const char ch = static_cast<char>(std::tolower(static_cast<unsigned char>(v.string[i])));
      const int d = ch >= '0' && ch <= '9' ? ch - '0' : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10 : -1;
      if (d < 0) ok = false;
      c = c * 16 + static_cast<std::uint32_t>(std::max(d, 0));
    }
    if (ok) f.color = c;
  }
  v = Get(style, "display", has);
  if (has) {
    const std::string d = vm.ToString(v);
    if (d == "inline" || d == "none" || d == "block") tf->display = d;
  }
  v = Get(style, "fontFamily", has);
  if (has) {
    // A list of faces: each without its leading white space, empty ones dropped.
    const std::string list = vm.ToString(v);
    std::string out;
    std::size_t start = 0;
    while (start <= list.size()) {
      std::size_t comma = list.find(',', start);
      if (comma == std::string::npos) comma = list.size();
      const std::string name = TrimLeft(std::string_view(list).substr(start, comma - start));
      if (!name.empty()) out += (out.empty() ? "" : ",") + name;
      start = comma + 1;
    }
    f.font = out;
  }
  v = Get(style, "fontSize", has);
  if (has) {
    const double size = IntOf(vm, v);
    if (size > 0) f.size = size;
  }
  v = Get(style, "fontStyle", has);
  if (has && v.IsString()) {
    if (v.string == "normal") f.italic = false;
    else if (v.string == "italic") f.italic = true;
  }
  v = Get(style, "fontWeight", has);
  if (has && v.IsString()) {
    if (v.string == "normal") f.bold = false;
    else if (v.string == "bold") f.bold = true;
  }
  v = Get(style, "kerning", has);
  if (has) {
    if (v.IsString()) {
      const double n = LeadingInt(v.string);
      f.kerning = v.string == "true" || (!std::isnan(n) && n != 0);
    } else if (v.IsNumber()) {
      f.kerning = IntOf(vm, v) != 0;
    }
  }
  auto integer = [&](const char* name, std::optional<double>& into, bool clampAtZero) {
    bool present = false;
    const Value value = Get(style, name, present);
    if (!present) return;
    double n = IntOf(vm, value);
    if (std::isnan(n)) n = 0;
    into = clampAtZero ? std::max(n, 0.0) : n;
  };
  integer("leading", f.leading, false);
  v = Get(style, "letterSpacing", has);
  if (has) f.letterSpacing = IntOf(vm, v);
  integer("marginLeft", f.leftMargin, true);
  integer("marginRight", f.rightMargin, true);
  integer("textIndent", f.indent, false);
  v = Get(style, "textAlign", has);
  if (has) {
    std::string a = vm.ToString(v);
    for (char& ch : a) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (a == "left") f.align = text::Align::Left;
    else if (a == "center") f.align = text::Align::Center;
    else if (a == "right") f.align = text::Align::Right;
    else if (a == "justify") f.align = text::Align::Justify;
  }
  v = Get(style, "textDecoration", has);
  if (has && v.IsString()) {
    if (v.string == "none") f.underline = false;
    else if (v.string == "underline") f.underline = true;
  }
  return tf;
}

Object* Table(Call& c, const char* name) {
  Object* self = c.This();
  if (!self) return nullptr;
  const Value v = self->Get(name);
  if (v.IsObject()) return v.object;
  Object* fresh = c.vm.NewObject();
  self->Define(name, Value::Obj(fresh), kDontEnum);
  return fresh;
}

Object* Copy(Machine& vm, Object* from) {
  Object* out = vm.NewObject();
  std::vector<std::string> keys = from->EnumerableKeys();
  for (auto it = keys.rbegin(); it != keys.rend(); ++it) out->Set(*it, from->Get(*it));
  return out;
}

void SetStyle(Call& c, const std::string& name, const Value& style) {
  Object* css = Table(c, "_css");
  Object* styles = Table(c, "_styles");
  if (!css || !styles) return;
  Object* copy = style.IsObject() ? Copy(c.vm, style.object) : nullptr;
  // A style that is no object stays listed, as null.
  css->Set(name, copy ? Value::Obj(copy) : Value::Null());
  const Value arg[] = {copy ? Value::Obj(copy) : Value::Null()};
  const Value tf = c.vm.CallMethod(c.This(), "transform", arg);
  styles->Set(name, tf);
}

Value ParseInto(Call& c) {
  const auto rules = ParseCss(c.vm.ToString(c.Arg(0)));
  if (!rules) return Value::Bool(false);
  for (const CssRule& rule : *rules) {
    for (const std::string& selector : rule.selectors) {
      Object* style = c.vm.NewObject();
      for (const auto& [name, value] : rule.properties) style->Set(name, Value::Str(value));
      SetStyle(c, selector, Value::Obj(style));
    }
  }
  return Value::Bool(true);
}

}  // namespace

std::optional<std::vector<CssRule>> ParseCss(std::string_view css) {
  std::vector<CssRule> rules;
  std::size_t i = 0;
  const std::size_t n = css.size();
  while (true) {
    while (i < n && Space(css[i])) ++i;
    if (i >= n) break;
    const std::size_t open = css.find('{', i);
    if (open == std::string_view::npos) return std::nullopt;
    CssRule rule;
    std::string_view selectors = css.substr(i, open - i);
    std::size_t start = 0;
    while (start <= selectors.size()) {
      std::size_t comma = selectors.find(',', start);
      if (comma == std::string_view::npos) comma = selectors.size();
      const std::string s = Trim(selectors.substr(start, comma - start));
      if (s.empty()) return std::nullopt;
      for (char ch : s)
        if (Space(ch)) return std::nullopt;
      rule.selectors.push_back(s);
      start = comma + 1;
    }
    i = open + 1;
    // Properties up to the closing brace; the end of the text closes the block between properties.
    while (true) {
      while (i < n && Space(css[i])) ++i;
      if (i >= n) break;
      if (css[i] == '}') {
        ++i;
        break;
      }
      const std::size_t colon = css.find(':', i);
      if (colon == std::string_view::npos) return std::nullopt;
      std::string name(css.substr(i, colon - i));
      while (!name.empty() && Space(name.back())) name.pop_back();
      const std::string raw(css.substr(i, colon - i));
      if (name.size() < raw.size() && raw.find_first_of(" \t\r\n") < name.size()) return std::nullopt;
      for (char ch : name)
        if (Space(ch)) return std::nullopt;
      std::size_t end = colon + 1;
      while (end < n && css[end] != ';' && css[end] != '}') ++end;
      if (end >= n) return std::nullopt;
      const std::string value = TrimLeft(css.substr(colon + 1, end - colon - 1));
      if (!raw.empty()) rule.properties.emplace_back(CamelCase(raw), value);
      i = end;
      if (css[i] == ';') ++i;
    }
    rules.push_back(std::move(rule));
  }
  return rules;
}

Function* NewStyleSheetClass(Machine& vm) {
  Object* proto = vm.NewObject();
  const std::uint16_t flags = kDontEnum | kDontDelete | kReadOnly;
  auto method = [&](const char* name, NativeFn fn, int length) {
    proto->Define(name, Value::Obj(vm.NewNative(std::move(fn), length)), flags);
  };
  method("getStyle", [](Call& c) -> Value {
    Object* css = Table(c, "_css");
    const Value v = css ? css->Get(c.vm.ToString(c.Arg(0))) : Value::Undefined();
    return v.IsObject() ? Value::Obj(Copy(c.vm, v.object)) : Value::Null();
  }, 1);
  method("setStyle", [](Call& c) -> Value {
    if (c.Count() == 0) return Value::Undefined();
    SetStyle(c, c.vm.ToString(c.Arg(0)), c.Arg(1));
    return Value::Undefined();
  }, 2);
  method("getStyleNames", [](Call& c) -> Value {
    Object* css = Table(c, "_css");
    std::vector<Value> names;
    if (css)
      for (const std::string& k : css->EnumerableKeys()) names.push_back(Value::Str(k));
    return Value::Obj(c.vm.NewArray(std::move(names)));
  }, 0);
  method("clear", [](Call& c) -> Value {
    if (Object* self = c.This()) {
      self->Define("_css", Value::Obj(c.vm.NewObject()), kDontEnum);
      self->Define("_styles", Value::Obj(c.vm.NewObject()), kDontEnum);
    }
    return Value::Undefined();
  }, 0);
  method("transform", [](Call& c) -> Value {
    Object* style = c.Arg(0).IsNullish() ? nullptr : c.vm.ToObject(c.Arg(0));
    return style ? Value::Obj(Transform(c.vm, style)) : Value::Null();
  }, 1);
  method("parseCSS", ParseInto, 1);
  proto->Define("parse", Value::Obj(vm.NewNative(ParseInto, 1)), kDontEnum);
  method("load", [](Call& c) -> Value {
    Object* self = c.This();
    if (!self || c.Count() == 0) return Value::Bool(false);
    self->Set("loaded", Value::Bool(false));
    return Value::Bool(LoadText(c.vm, self, c.Arg(0)));
  }, 1);
  // What a finished load hands over: the CSS text, or undefined when nothing could be read.
  proto->DefineNative("onData", [](Call& c) -> Value {
    Object* self = c.This();
    if (!self) return {};
    if (c.Arg(0).IsUndefined()) {
      const Value failed[] = {Value::Bool(false)};
      c.vm.CallMethod(self, "onLoad", failed);
      return {};
    }
    const Value src[] = {Value::Str(c.vm.ToString(c.Arg(0)))};
    const Value parsed = c.vm.CallMethod(self, "parseCSS", src);
    self->Set("loaded", Value::Bool(true));
    const Value result[] = {Value::Bool(c.vm.ToBool(parsed))};
    c.vm.CallMethod(self, "onLoad", result);
    return {};
  }, 1);
  proto->DefineNative("onLoad", [](Call&) -> Value { return {}; }, 1);
  return vm.NewClass([](Call&) { return Value::Undefined(); }, nullptr, proto);
}

}  // namespace quillon::player::avm1
