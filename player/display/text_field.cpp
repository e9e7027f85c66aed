#include "display/text_field.h"

#include <algorithm>
#include <cmath>

#include "avm1/classes/array.h"
#include "avm1/classes/string.h"
#include "avm1/classes/style_sheet.h"
#include "avm1/classes/text_format.h"
#include "display/clip_object.h"
#include "display/player.h"
#include "display/text_snapshot.h"
#include "text/editing.h"
#include "text/html.h"
#include "text/layout.h"

namespace quillon::player {
namespace {

using avm1::Value;
namespace strings = avm1::strings;

// Script-side settings kept on the field's object, hidden from scripts' enumeration.
constexpr std::string_view kStyleSheetKey = "\x01" "styleSheet";
constexpr std::string_view kTabIndexKey = "\x01" "tabIndex";
constexpr std::string_view kFiltersKey = "\x01" "filters";

struct FieldRef {
  ClipObject* clip = nullptr;
  std::shared_ptr<Instance> inst;
  text::Field* field = nullptr;
};

FieldRef FieldOf(avm1::Call& c) {
  FieldRef r;
  r.clip = c.This() ? dynamic_cast<ClipObject*>(c.This()) : nullptr;
  r.inst = r.clip ? r.clip->instance() : nullptr;
  r.field = r.inst ? r.inst->field.get() : nullptr;
  if (!r.field) r.clip = nullptr;
  return r;
}

std::u16string Units(avm1::Machine& vm, const Value& v) { return strings::Utf8ToUtf16(vm.ToString(v)); }
std::string Utf8(const std::u16string& s) { return strings::Utf16ToUtf8(s); }

void Changed(const FieldRef& r) { r.clip->player().TextChanged(*r.inst); }

text::Layout LayoutOf(const FieldRef& r) { return text::LayoutField(*r.field, r.clip->player().fonts()); }

}  // namespace

void RefitField(const text::FontSource& fonts, text::Field& f) {
  if (f.autoSize == text::AutoSize::None) return;
  const text::Layout l = text::LayoutField(f, fonts);
  if (l.xMin == f.xMin && l.xMax == f.xMax && l.yMin == f.yMin && l.yMax == f.yMax) return;
  f.autoShift += l.xMin - f.xMin;
  f.xMin = l.xMin, f.xMax = l.xMax, f.yMin = l.yMin, f.yMax = l.yMax;
  ++f.revision;
}

namespace {

void Refit(const FieldRef& r) { RefitField(r.clip->player().fonts(), *r.field); }

void SetHtml(text::Field& f, std::u16string_view html) {
  text::HtmlOptions options;
  options.multiline = f.multiline;
  options.condenseWhite = f.condenseWhite;
  text::HtmlContent content = text::ParseHtml(html, f.newFormat, options);
  text::SetContent(f, std::move(content.text), std::move(content.spans));
}

const char* AutoSizeName(text::AutoSize a) {
  switch (a) {
    case text::AutoSize::Left: return "left";
    case text::AutoSize::Center: return "center";
    case text::AutoSize::Right: return "right";
    default: return "none";
  }
}

double Whole(avm1::Machine& vm, const Value& v) {
  const double d = vm.ToNumber(v);
  return std::isfinite(d) ? std::trunc(d) : 0;
}

// A property: its getter on a field, and its setter; a null setter makes it read-only.
struct Prop {
  const char* name;
  Value (*get)(avm1::Call&, FieldRef&);
  void (*set)(avm1::Call&, FieldRef&, const Value&);
  bool lateOnly = false;  // without a field, movies before SWF 8 keep assignments as plain properties
};

Value BoolOf(bool b) { return Value::Bool(b); }

#define QUILLON_BOOL_PROP(script, member)                                                               \
  Prop {                                                                                                \
    script, [](avm1::Call&, FieldRef& r) { return BoolOf(r.field->member); },                          \
        [](avm1::Call& c, FieldRef& r, const Value& v) {                                               \
          r.field->member = c.vm.ToBool(v);                                                             \
          ++r.field->revision;                                                                          \
          Refit(r);                                                                                     \
        }                                                                                               \
  }

// In the order the reference player defines them: enumeration lists the newest first.
const Prop kProps[] = {
    {"gridFitType", [](avm1::Call&, FieldRef& r) { return Value::Str(r.field->gridFitType); },
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       const std::string s = c.vm.ToString(v);
       if (s == "none" || s == "pixel" || s == "subpixel") r.field->gridFitType = s;
     },
     true},
    {"antiAliasType", [](avm1::Call&, FieldRef& r) { return Value::Str(r.field->antiAliasType); },
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       const std::string s = c.vm.ToString(v);
       if (s == "normal" || s == "advanced") r.field->antiAliasType = s;
     },
     true},
    {"thickness", [](avm1::Call&, FieldRef& r) { return Value::Num(r.field->thickness); },
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       // Kept as given, infinities and NaN too: only drawing bounds it.
       r.field->thickness = c.vm.ToNumber(v);
     },
     true},
    {"sharpness", [](avm1::Call&, FieldRef& r) { return Value::Num(r.field->sharpness); },
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       r.field->sharpness = c.vm.ToNumber(v);
     },
     true},
    {"filters", [](avm1::Call& c, FieldRef& r) {
       // A copy of the list last set, as the reference gives.
       const avm1::Property* p = r.clip->FindOwn(kFiltersKey);
       auto* list = p && p->value.IsObject() ? dynamic_cast<avm1::ArrayObject*>(p->value.object) : nullptr;
       return Value::Obj(c.vm.NewArray(list ? list->items : std::vector<Value>{}));
     },
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       auto* list = v.IsObject() ? dynamic_cast<avm1::ArrayObject*>(v.object) : nullptr;
       r.clip->Define(kFiltersKey, Value::Obj(c.vm.NewArray(list ? list->items : std::vector<Value>{})), avm1::kDontEnum);
     },
     true},
    {"scroll", [](avm1::Call&, FieldRef& r) {
       return Value::Num(std::clamp(r.field->scroll, 1, LayoutOf(r).maxScroll));
     },
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       // The line index below it is a wrapping 32-bit integer: 2^31 past a multiple of 2^32
       // wraps to the last line, one more to the first.
       const auto index = static_cast<std::int32_t>(static_cast<std::uint32_t>(avm1::ToInt32(c.vm.ToNumber(v))) - 1u);
       r.field->scroll = std::clamp(index, 0, std::max(LayoutOf(r).maxScroll - 1, 0)) + 1;
       ++r.field->revision;
     }},
    {"maxscroll", [](avm1::Call&, FieldRef& r) { return Value::Num(LayoutOf(r).maxScroll); }, nullptr},
    {"borderColor", [](avm1::Call&, FieldRef& r) { return Value::Num(r.field->borderColor); },
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       r.field->borderColor = avm1::ToUint32(c.vm.ToNumber(v)) & 0xFFFFFF;
       ++r.field->revision;
     }},
    {"backgroundColor", [](avm1::Call&, FieldRef& r) { return Value::Num(r.field->backgroundColor); },
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       r.field->backgroundColor = avm1::ToUint32(c.vm.ToNumber(v)) & 0xFFFFFF;
       ++r.field->revision;
     }},
    {"textColor", [](avm1::Call&, FieldRef& r) {
       return Value::Num(text::FormatAt(*r.field, 0).color.value_or(0));
     },
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       text::TextFormat f;
       f.color = avm1::ToUint32(c.vm.ToNumber(v)) & 0xFFFFFF;
       text::ApplyFormat(*r.field, 0, r.field->text.size(), f);
       r.field->newFormat.MergeFrom(f);
     }},
    {"tabIndex", [](avm1::Call&, FieldRef& r) {
       const avm1::Property* p = r.clip->FindOwn(kTabIndexKey);
       return p ? p->value : Value::Undefined();
     },
     // Fields keep it as an unsigned 32-bit number (clips and buttons as a signed one).
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       r.clip->Define(kTabIndexKey, v.IsUndefined() ? v : Value::Num(avm1::ToUint32(c.vm.ToNumber(v))), avm1::kDontEnum);
     }},
    {"autoSize", [](avm1::Call&, FieldRef& r) { return Value::Str(AutoSizeName(r.field->autoSize)); },
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       text::AutoSize a = text::AutoSize::None;
       if (v.IsBool()) {
         a = v.boolean ? text::AutoSize::Left : text::AutoSize::None;
       } else {
         const std::string s = c.vm.ToString(v);
         a = s == "left" ? text::AutoSize::Left : s == "center" ? text::AutoSize::Center
             : s == "right" ? text::AutoSize::Right : text::AutoSize::None;
       }
       r.field->autoSize = a;
       ++r.field->revision;
       Refit(r);
     }},
    {"text", [](avm1::Call&, FieldRef& r) { return Value::Str(Utf8(r.field->text)); },
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       text::SetText(*r.field, Units(c.vm, v), r.field->newFormat);
       Changed(r);
     }},
    {"type", [](avm1::Call&, FieldRef& r) { return Value::Str(r.field->readOnly ? "dynamic" : "input"); },
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       std::string s = c.vm.ToString(v);
       for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
       if (s == "input") r.field->readOnly = false;
       else if (s == "dynamic") r.field->readOnly = true;
     }},
    {"htmlText", [](avm1::Call&, FieldRef& r) {
       const text::Field& f = *r.field;
       return Value::Str(f.html ? Utf8(text::WriteHtml(f.text, f.spans)) : Utf8(f.text));
     },
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       if (r.field->html) SetHtml(*r.field, Units(c.vm, v));
       else text::SetText(*r.field, Units(c.vm, v), r.field->newFormat);
       Changed(r);
     }},
    {"variable", [](avm1::Call&, FieldRef& r) {
       return r.field->variable.empty() ? Value::Null() : Value::Str(r.field->variable);
     },
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       r.field->variable = v.IsNullish() ? "" : c.vm.ToString(v);
       r.field->boundKnown = false;  // the binding is read on the next frame
     }},
    {"hscroll", [](avm1::Call&, FieldRef& r) { return Value::Num(r.field->hscroll); },
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       r.field->hscroll = std::clamp(static_cast<double>(avm1::ToInt32(c.vm.ToNumber(v))), 0.0, LayoutOf(r).maxHScroll);
       ++r.field->revision;
     }},
    {"maxhscroll", [](avm1::Call&, FieldRef& r) { return Value::Num(LayoutOf(r).maxHScroll); }, nullptr},
    {"maxChars", [](avm1::Call&, FieldRef& r) {
       return r.field->maxChars > 0 ? Value::Num(r.field->maxChars) : Value::Null();
     },
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       const double d = Whole(c.vm, v);
       r.field->maxChars = static_cast<int>(std::clamp(d, 0.0, 2147483647.0));
     }},
    QUILLON_BOOL_PROP("embedFonts", embedFonts),
    {"html", [](avm1::Call&, FieldRef& r) { return BoolOf(r.field->html); },
     [](avm1::Call& c, FieldRef& r, const Value& v) { r.field->html = c.vm.ToBool(v); }},
    QUILLON_BOOL_PROP("border", border),
    QUILLON_BOOL_PROP("background", background),
    QUILLON_BOOL_PROP("wordWrap", wordWrap),
    QUILLON_BOOL_PROP("password", password),
    QUILLON_BOOL_PROP("multiline", multiline),
    QUILLON_BOOL_PROP("selectable", selectable),
    {"length", [](avm1::Call&, FieldRef& r) { return Value::Num(static_cast<double>(r.field->text.size())); },
     nullptr},
    {"bottomScroll", [](avm1::Call&, FieldRef& r) { return Value::Num(LayoutOf(r).bottomScroll); }, nullptr},
    // Whole pixels, as the reference measures.
    {"textWidth", [](avm1::Call&, FieldRef& r) { return Value::Num(std::round(LayoutOf(r).textWidth)); }, nullptr},
    {"textHeight", [](avm1::Call&, FieldRef& r) { return Value::Num(std::round(LayoutOf(r).textHeight)); }, nullptr},
    {"restrict", [](avm1::Call&, FieldRef& r) {
       return r.field->restrictSet ? Value::Str(*r.field->restrictSet) : Value::Null();
     },
     [](avm1::Call& c, FieldRef& r, const Value& v) {
       if (v.IsNullish()) r.field->restrictSet.reset();
       else r.field->restrictSet = c.vm.ToString(v);
       r.field->restrict = r.field->restrictSet.value_or("");
     }},
    QUILLON_BOOL_PROP("condenseWhite", condenseWhite),
    QUILLON_BOOL_PROP("mouseWheelEnabled", mouseWheelEnabled),
    {"styleSheet", [](avm1::Call&, FieldRef& r) {
       const avm1::Property* p = r.clip->FindOwn(kStyleSheetKey);
       return p ? p->value : Value::Undefined();
     },
     [](avm1::Call&, FieldRef& r, const Value& v) {
       r.clip->Define(kStyleSheetKey, v.IsObject() ? v : Value::Undefined(), avm1::kDontEnum);
     }},
};

#undef QUILLON_BOOL_PROP

// The (begin, end) a format method's leading arguments name, clamped to the text.
struct Range {
  std::size_t begin = 0, end = 0;
};

Range RangeArgs(avm1::Call& c, const text::Field& f, std::size_t count) {
  const double size = static_cast<double>(f.text.size());
  auto at = [&](std::size_t i) {
    const double d = c.vm.ToNumber(c.Arg(i));
    return std::isfinite(d) ? std::clamp(std::trunc(d), 0.0, size) : 0.0;
  };
  Range r{0, f.text.size()};
  if (count >= 1) {
    r.begin = static_cast<std::size_t>(at(0));
    r.end = r.begin + 1;
  }
  if (count >= 2) r.end = static_cast<std::size_t>(std::max(at(1), static_cast<double>(r.begin)));
  r.end = std::min(r.end, f.text.size());
  return r;
}

void CallChanged(avm1::Machine& vm, ClipObject& clip) {
  const Value self = Value::Obj(&clip);
  vm.CallMethod(&clip, "onChanged", std::span<const Value>(&self, 1));
  const Value listeners = clip.Get("_listeners");
  if (listeners.IsObject()) {
    const Value args[] = {Value::Str("onChanged"), self};
    vm.CallMethod(&clip, "broadcastMessage", args);
  }
}

void InstallMethods(avm1::Machine& vm, avm1::Object* proto) {
  auto method = [&](const char* name, auto body, int length = 0) {
    proto->DefineNative(name, [body](avm1::Call& c) -> Value {
      FieldRef r = FieldOf(c);
      if (!r.clip) return Value::Undefined();
      return body(c, r);
    }, length);
  };
  method("getTextFormat", [](avm1::Call& c, FieldRef& r) {
    const Range range = RangeArgs(c, *r.field, std::min<std::size_t>(c.Count(), 2));
    return Value::Obj(avm1::NewTextFormat(c.vm, text::RangeFormat(*r.field, range.begin, range.end)));
  }, 2);
  method("setTextFormat", [](avm1::Call& c, FieldRef& r) {
    if (c.Count() == 0) return Value::Undefined();
    const std::size_t n = std::min<std::size_t>(c.Count() - 1, 2);
    avm1::TextFormatObject* format = avm1::AsTextFormat(c.Arg(n));
    if (!format) return Value::Undefined();
    const Range range = RangeArgs(c, *r.field, n);
    text::ApplyFormat(*r.field, range.begin, range.end, format->format);
    Refit(r);
    return Value::Undefined();
  }, 3);
  method("getNewTextFormat", [](avm1::Call& c, FieldRef& r) {
    return Value::Obj(avm1::NewTextFormat(c.vm, r.field->newFormat));
  });
  method("setNewTextFormat", [](avm1::Call& c, FieldRef& r) {
    if (avm1::TextFormatObject* format = avm1::AsTextFormat(c.Arg(0))) r.field->newFormat.MergeFrom(format->format);
    return Value::Undefined();
  }, 1);
  method("replaceSel", [](avm1::Call& c, FieldRef& r) {
    if (c.Count() == 0) return Value::Undefined();
    text::Field& f = *r.field;
    const std::size_t begin = std::min(f.selectionBegin, f.selectionEnd), end = std::max(f.selectionBegin, f.selectionEnd);
    const std::u16string insert = text::FieldNewlines(Units(c.vm, c.Arg(0)));
    text::ReplaceRange(f, begin, end, insert, begin < end ? text::FormatAt(f, begin) : f.newFormat);
    f.selectionBegin = f.selectionEnd = std::min(begin + insert.size(), f.text.size());
    Changed(r);
    return Value::Undefined();
  }, 1);
  method("replaceText", [](avm1::Call& c, FieldRef& r) {
    if (c.Count() < 3) return Value::Undefined();
    text::Field& f = *r.field;
    const double size = static_cast<double>(f.text.size());
    const double b = c.vm.ToNumber(c.Arg(0)), e = c.vm.ToNumber(c.Arg(1));
    if (!(b >= 0) || !(e >= b) || b > size) return Value::Undefined();
    const auto begin = static_cast<std::size_t>(b);
    const auto end = static_cast<std::size_t>(std::min(e, size));
    text::ReplaceRange(f, begin, end, Units(c.vm, c.Arg(2)), f.newFormat);
    Changed(r);
    return Value::Undefined();
  }, 3);
  method("removeTextField", [](avm1::Call&, FieldRef& r) {
    r.clip->Remove();
    return Value::Undefined();
  });
  method("getDepth", [](avm1::Call&, FieldRef& r) {
    return Value::Num(static_cast<double>(r.inst->depth) - kScriptDepthBase);
  });
  // Movies before SWF 7 have no replaceText.
  if (vm.version() < 7) proto->Delete("replaceText");
  method("addListener", [](avm1::Call& c, FieldRef& r) {
    Value list = r.clip->Get("_listeners");
    auto* array = list.IsObject() ? dynamic_cast<avm1::ArrayObject*>(list.object) : nullptr;
    if (!array) {
      array = dynamic_cast<avm1::ArrayObject*>(c.vm.NewArray());
      if (!array) return Value::Bool(false);
      r.clip->Define("_listeners", Value::Obj(array), avm1::kDontEnum);
    }
    for (const Value& v : array->items)
      if (c.vm.StrictEquals(v, c.Arg(0))) return Value::Bool(true);
    array->Push(c.Arg(0));
    return Value::Bool(true);
  }, 1);
  method("removeListener", [](avm1::Call& c, FieldRef& r) {
    Value list = r.clip->Get("_listeners");
    auto* array = list.IsObject() ? dynamic_cast<avm1::ArrayObject*>(list.object) : nullptr;
    if (!array) return Value::Bool(false);
    for (std::size_t i = 0; i < array->items.size(); ++i)
      if (c.vm.StrictEquals(array->items[i], c.Arg(0))) {
        array->items.erase(array->items.begin() + static_cast<std::ptrdiff_t>(i));
        return Value::Bool(true);
      }
    return Value::Bool(false);
  }, 1);
}

void InstallProps(avm1::Machine& vm, avm1::Object* proto) {
  for (const Prop& p : kProps) {
    avm1::Function* getter = vm.NewNative([&p](avm1::Call& c) -> Value {
      FieldRef r = FieldOf(c);
      return r.clip ? p.get(c, r) : Value::Undefined();
    });
    avm1::Function* setter = vm.NewNative([&p](avm1::Call& c) -> Value {
      FieldRef r = FieldOf(c);
      if (r.clip) {
        if (p.set) p.set(c, r, c.Arg(0));
      } else if (p.lateOnly && c.vm.version() < 8 && c.This()) {
        c.This()->Define(p.name, c.Arg(0));
      }
      return {};
    });
    proto->AddProperty(p.name, getter, setter);
  }
}

// The clip and name a variable path ("a.b.name", "/a/b:name", "name") stands for, from `base`.
std::pair<avm1::Clip*, std::string> VariableTarget(avm1::Machine& vm, const std::string& path, avm1::Clip* base) {
  const std::size_t colon = path.rfind(':');
  const std::size_t dot = path.rfind('.');
  std::size_t cut = colon != std::string::npos ? colon : dot;
  if (cut == std::string::npos) return {base, path};
  avm1::Clip* clip = vm.ResolveTarget(std::string_view(path).substr(0, cut), base);
  return {clip, path.substr(cut + 1)};
}

// Where a field's variable lives: its clip's timeline. Buttons have none of their own, so a field
// inside a button is bound on the clip the button sits in.
std::shared_ptr<Instance> VariableScope(const Instance& field) {
  auto at = field.parent.lock();
  while (at && at->kind == InstanceKind::Button) at = at->parent.lock();
  return at;
}

std::size_t WordStart(const std::u16string& t, std::size_t at) {
  while (at > 0 && t[at - 1] == u' ') --at;
  while (at > 0 && t[at - 1] != u' ' && t[at - 1] != u'\r') --at;
  return at;
}

}  // namespace

void InitScriptField(text::Field& f, double width, double height) {
  f.xMin = 0, f.yMin = 0;
  f.xMax = width * 20, f.yMax = height * 20;
  f.newFormat = text::DefaultFormat();
  f.text.clear();
  f.spans = {{0, 0, f.newFormat}};
  f.readOnly = true;
  f.selectable = true;
  f.embedFonts = false;
  f.fontId = 0;
  f.html = f.multiline = f.wordWrap = f.password = f.border = f.background = false;
  f.selectionBegin = f.selectionEnd = 0;
  ++f.revision;
}

bool TypeIntoField(text::Field& f, std::u16string_view typed) {
  std::optional<std::u16string> pattern;
  if (f.restrictSet) pattern = strings::Utf8ToUtf16(*f.restrictSet);
  const std::size_t begin = std::min(f.selectionBegin, f.selectionEnd), end = std::max(f.selectionBegin, f.selectionEnd);
  std::u16string insert = text::FieldNewlines(typed);
  if (!f.multiline) std::erase(insert, u'\r');
  insert = text::FilterTyped(insert, pattern, f.maxChars, f.text.size(), end - begin);
  if (insert.empty() && begin == end) return false;
  const text::TextFormat format = begin > 0 ? text::FormatAt(f, begin - 1) : f.newFormat;
  text::ReplaceRange(f, begin, end, insert, f.text.empty() ? f.newFormat : format);
  f.selectionBegin = f.selectionEnd = begin + insert.size();
  return true;
}

bool EditFieldKey(text::Field& f, FieldKey key, bool shift) {
  const std::size_t size = f.text.size();
  std::size_t& caret = f.selectionEnd;
  const std::size_t lo = std::min(f.selectionBegin, f.selectionEnd), hi = std::max(f.selectionBegin, f.selectionEnd);
  auto moveTo = [&](std::size_t at) {
    caret = std::min(at, size);
    if (!shift) f.selectionBegin = caret;
  };
  switch (key) {
    case FieldKey::Backspace:
    case FieldKey::Delete: {
      if (f.readOnly) return false;
      std::size_t from = lo, to = hi;
      if (from == to) {
        if (key == FieldKey::Backspace) {
          if (from == 0) return false;
          --from;
        } else {
          if (to >= size) return false;
          ++to;
        }
      }
      text::ReplaceRange(f, from, to, u"", f.newFormat);
      f.selectionBegin = f.selectionEnd = from;
      return true;
    }
    case FieldKey::Left:
      if (!shift && lo != hi) moveTo(lo);
      else moveTo(caret > 0 ? caret - 1 : 0);
      return false;
    case FieldKey::Right:
      if (!shift && lo != hi) moveTo(hi);
      else moveTo(caret + 1);
      return false;
    case FieldKey::Home: moveTo(text::ParagraphStart(f.text, caret)); return false;
    case FieldKey::End: moveTo(text::ParagraphEnd(f.text, caret)); return false;
    case FieldKey::Up: moveTo(WordStart(f.text, text::ParagraphStart(f.text, caret))); return false;
    case FieldKey::Down: moveTo(text::ParagraphEnd(f.text, text::ParagraphEnd(f.text, caret) + 1)); return false;
    case FieldKey::SelectAll:
      f.selectionBegin = 0;
      f.selectionEnd = size;
      return false;
    case FieldKey::Enter:
      if (f.readOnly || !f.multiline) return false;
      return TypeIntoField(f, u"\r");
    default: return false;
  }
}

avm1::Clip* Player::CreateTextField(Instance& parent, const std::string& name, int depth, double x, double y,
                                    double width, double height) {
  if (parent.unloaded) return nullptr;
  EditTextDef def;
  def.xMax = width * 20;
  def.yMax = height * 20;
  def.readOnly = true;
  DisplayObject obj;
  obj.name = name;
  obj.character = std::make_shared<const Character>(std::move(def));
  obj.matrix = Matrix::Translate(std::round(x * 20), std::round(y * 20));
  obj.movedByScript = true;
  DisplayObject* placed = Instantiate(parent, depth, std::move(obj), true);
  if (!placed || !placed->sprite) return nullptr;
  if (!placed->sprite->field) placed->sprite->field = std::make_shared<text::Field>();
  InitScriptField(*placed->sprite->field, width, height);
  return ObjectOf(*placed->sprite);
}

void Player::CloneField(const Instance& source, DisplayObject& copy) {
  copy.visible = true;
  if (!copy.sprite || !source.field || copy.characterId != 0) return;
  // Fields that scripts made share one plain definition, of no size; its type follows the
  // latest change to any of them.
  copy.sprite->field = std::make_shared<text::Field>();
  InitScriptField(*copy.sprite->field, 0, 0);
  copy.sprite->field->swfVersion = source.field->swfVersion;
  copy.sprite->field->readOnly = source.field->readOnly;
}

Instance* Player::Focused() const {
  auto f = focus_.lock();
  return f && !f->detached && !f->unloaded ? f.get() : nullptr;
}

void Player::TextChanged(Instance& inst) {
  text::Field* f = inst.field.get();
  if (!f) return;
  RefitField(*fonts_, *f);
  if (f->variable.empty()) return;
  const auto scope = VariableScope(inst);
  if (!scope) return;
  auto [clip, name] = VariableTarget(*vm_, f->variable, ObjectOf(*scope));
  if (!clip || name.empty()) return;
  f->boundText = Utf8(f->text);
  f->boundKnown = true;
  clip->Set(name, Value::Str(f->boundText));
}

void Player::SyncTextVariables() {
  std::vector<std::shared_ptr<Instance>> fields;
  std::vector<Instance*> stack{root_.get()};
  while (!stack.empty() && fields.size() < 100000) {
    Instance* inst = stack.back();
    stack.pop_back();
    for (auto& [depth, obj] : inst->displayList) {
      if (!obj.sprite || obj.sprite->unloaded) continue;
      if (obj.sprite->field && !obj.sprite->field->variable.empty()) fields.push_back(obj.sprite);
      stack.push_back(obj.sprite.get());
    }
  }
  for (const auto& inst : fields) {
    text::Field& f = *inst->field;
    const auto scope = VariableScope(*inst);
    if (!scope) continue;
    auto [clip, name] = VariableTarget(*vm_, f.variable, ObjectOf(*scope));
    if (!clip || name.empty()) continue;
    bool found = false;
    const Value v = clip->Get(name, &found);
    if (!found || v.IsUndefined()) {
      // The field gives a missing variable its text.
      if (!f.text.empty() || !f.boundKnown) {
        f.boundText = Utf8(f.text);
        f.boundKnown = true;
        clip->Set(name, Value::Str(f.boundText));
      }
      continue;
    }
    const std::string s = vm_->ToString(v);
    if (f.boundKnown && s == f.boundText) continue;
    f.boundText = s;
    f.boundKnown = true;
    if (f.html) SetHtml(f, strings::Utf8ToUtf16(s));
    else text::SetText(f, strings::Utf8ToUtf16(s), f.newFormat);
    RefitField(*fonts_, f);
  }
}

void InstallTextField(avm1::Machine& vm, Player& player) {
  avm1::Object* proto = vm.NewObject();
  InstallProps(vm, proto);
  InstallMethods(vm, proto);
  avm1::Function* ctor = vm.NewClass([](avm1::Call&) { return Value::Undefined(); }, nullptr, proto);
  ctor->DefineNative("getFontList", [](avm1::Call& c) -> Value {
    std::vector<Value> names;
    for (const char* n : {"_sans", "_serif", "_typewriter", "Arial", "Courier New", "Times New Roman"})
      names.push_back(Value::Str(n));
    return Value::Obj(c.vm.NewArray(std::move(names)));
  });
  ctor->Define("StyleSheet", Value::Obj(avm1::NewStyleSheetClass(vm)), avm1::kDontEnum);
  vm.global()->Define("TextField", Value::Obj(ctor), avm1::kDontEnum);
  InstallTextSnapshot(vm, player);

  vm.movieClipProto->DefineNative("createTextField", [&player](avm1::Call& c) -> Value {
    auto* clip = c.This() ? dynamic_cast<ClipObject*>(c.This()) : nullptr;
    auto inst = clip ? clip->instance() : nullptr;
    if (!inst || c.Count() < 6) return Value::Undefined();
    const double d = c.vm.ToNumber(c.Arg(1));
    if (!Player::ScriptDepthUsable(d)) return Value::Undefined();
    auto number = [&](std::size_t i) {
      const double v = c.vm.ToNumber(c.Arg(i));
      return std::isfinite(v) ? v : 0.0;
    };
    avm1::Clip* made = player.CreateTextField(*inst, c.vm.ToString(c.Arg(0)), static_cast<int>(std::trunc(d)) + kScriptDepthBase,
                                              number(2), number(3), std::max(number(4), 0.0), std::max(number(5), 0.0));
    // The SWF 8 player gives the new field; earlier ones give nothing.
    return c.vm.version() >= 8 && made ? Value::Obj(made) : Value::Undefined();
  }, 6);

  const Value selection = vm.global()->Get("Selection");
  if (!selection.IsObject()) return;
  auto focusedField = [&player]() -> text::Field* {
    Instance* f = player.Focused();
    return f ? f->field.get() : nullptr;
  };
  selection.object->DefineNative("getBeginIndex", [focusedField](avm1::Call&) -> Value {
    text::Field* f = focusedField();
    return Value::Num(f ? static_cast<double>(std::min(f->selectionBegin, f->selectionEnd)) : -1);
  });
  selection.object->DefineNative("getEndIndex", [focusedField](avm1::Call&) -> Value {
    text::Field* f = focusedField();
    return Value::Num(f ? static_cast<double>(std::max(f->selectionBegin, f->selectionEnd)) : -1);
  });
  selection.object->DefineNative("getCaretIndex", [focusedField](avm1::Call&) -> Value {
    text::Field* f = focusedField();
    return Value::Num(f ? static_cast<double>(f->selectionEnd) : -1);
  });
  selection.object->DefineNative("setSelection", [focusedField](avm1::Call& c) -> Value {
    text::Field* f = focusedField();
    if (!f || c.Count() == 0) return Value::Undefined();
    const double size = static_cast<double>(f->text.size());
    auto at = [&](std::size_t i) {
      const double v = c.vm.ToNumber(c.Arg(i));
      return static_cast<std::size_t>(std::isfinite(v) ? std::clamp(std::trunc(v), 0.0, size) : 0.0);
    };
    const std::size_t begin = at(0);
    const std::size_t end = c.Count() > 1 ? at(1) : begin;
    f->selectionBegin = std::min(begin, end);
    f->selectionEnd = std::max(begin, end);
    return Value::Undefined();
  }, 2);
}

// Called by the player when typing changed a field's text.
void NotifyFieldChanged(avm1::Machine& vm, ClipObject& clip) { CallChanged(vm, clip); }

}  // namespace quillon::player
