// TextSnapshot: the characters of a clip's static texts (DefineText), in depth order, as
// MovieClip.getTextSnapshot and new TextSnapshot(clip) give them.
#include "display/text_snapshot.h"

#include <algorithm>
#include <cmath>

#include "avm1/classes/string.h"
#include "display/clip_object.h"
#include "display/player.h"

namespace quillon::player {
namespace {

using avm1::Value;
namespace strings = avm1::strings;

constexpr std::string_view kClipKey = "\x01" "snapshotClip";

// The text of every static text directly in the clip, one after the other.
std::u16string SnapshotText(Player& player, const Instance& inst) {
  std::u16string out;
  for (const auto& [depth, obj] : inst.displayList) {
    const auto* text = obj.character ? std::get_if<TextDef>(obj.character.get()) : nullptr;
    if (!text) continue;
    for (const TextRecord& rec : text->records) {
      const Character* c = player.movie().Find(rec.fontId);
      const auto* font = c ? std::get_if<FontDef>(c) : nullptr;
      for (const TextGlyph& g : rec.glyphs)
        if (font && g.index < font->glyphs.size()) out += static_cast<char16_t>(font->glyphs[g.index].code);
    }
  }
  return out;
}

std::shared_ptr<Instance> ClipOf(avm1::Call& c) {
  avm1::Object* self = c.This();
  const avm1::Property* p = self ? self->FindOwn(kClipKey) : nullptr;
  auto* clip = p && p->value.IsObject() ? dynamic_cast<ClipObject*>(p->value.object) : nullptr;
  return clip ? clip->instance() : nullptr;
}

double Index(avm1::Machine& vm, const Value& v, double size) {
  const double d = vm.ToNumber(v);
  return std::isfinite(d) ? std::clamp(std::trunc(d), 0.0, size) : 0;
}

avm1::Object* NewSnapshot(avm1::Machine& vm, avm1::Object* proto, avm1::Clip* clip) {
  avm1::Object* o = vm.NewObject();
  o->SetProto(proto);
  if (clip) o->Define(kClipKey, Value::Obj(clip), avm1::kDontEnum);
  return o;
}

char16_t Fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

}  // namespace

void InstallTextSnapshot(avm1::Machine& vm, Player& player) {
  avm1::Object* proto = vm.NewObject();
  using Body = Value (*)(avm1::Call&, const std::u16string&);
  struct Method {
    const char* name;
    Body body;
    int length;
  };
  // Defined in this order, listed newest first.
  static const Method kMethods[] = {
      {"getCount", [](avm1::Call&, const std::u16string& t) { return Value::Num(static_cast<double>(t.size())); }, 0},
      {"setSelected", [](avm1::Call&, const std::u16string&) { return Value::Undefined(); }, 3},
      {"getSelected", [](avm1::Call&, const std::u16string&) { return Value::Bool(false); }, 2},
      {"getText", [](avm1::Call& c, const std::u16string& t) {
         const double size = static_cast<double>(t.size());
         const auto from = static_cast<std::size_t>(Index(c.vm, c.Arg(0), size));
         const auto to = static_cast<std::size_t>(std::max(Index(c.vm, c.Arg(1), size), static_cast<double>(from)));
         return Value::Str(strings::Utf16ToUtf8(std::u16string_view(t).substr(from, to - from)));
       }, 3},
      {"getSelectedText", [](avm1::Call&, const std::u16string&) { return Value::Str(""); }, 1},
      {"hitTestTextNearPos", [](avm1::Call&, const std::u16string&) { return Value::Num(-1); }, 3},
      {"findText", [](avm1::Call& c, const std::u16string& t) {
         const std::u16string needle = strings::Utf8ToUtf16(c.vm.ToString(c.Arg(1)));
         const auto from = static_cast<std::size_t>(Index(c.vm, c.Arg(0), static_cast<double>(t.size())));
         const bool exact = c.vm.ToBool(c.Arg(2));
         if (needle.empty()) return Value::Num(-1);
         for (std::size_t i = from; i + needle.size() <= t.size(); ++i) {
           bool same = true;
           for (std::size_t k = 0; same && k < needle.size(); ++k)
             same = exact ? t[i + k] == needle[k] : Fold(t[i + k]) == Fold(needle[k]);
           if (same) return Value::Num(static_cast<double>(i));
         }
         return Value::Num(-1);
       }, 3},
      {"setSelectColor", [](avm1::Call&, const std::u16string&) { return Value::Undefined(); }, 1},
      {"getTextRunInfo", [](avm1::Call& c, const std::u16string&) { return Value::Obj(c.vm.NewArray()); }, 2},
  };
  for (const Method& m : kMethods) {
    if (vm.version() < 6) {
      // SWF 5 movies see the names but no methods behind them.
      const std::string name = m.name;
      avm1::Function* getter = vm.NewNative([](avm1::Call&) { return Value::Undefined(); });
      avm1::Function* setter = vm.NewNative([name](avm1::Call& c) -> Value {
        if (avm1::Object* self = c.This()) self->Define(name, c.Arg(0));
        return {};
      });
      proto->AddProperty(m.name, getter, setter);
      continue;
    }
    const Body body = m.body;
    proto->Define(m.name, Value::Obj(vm.NewNative([&player, body](avm1::Call& c) -> Value {
      auto inst = ClipOf(c);
      return body(c, inst ? SnapshotText(player, *inst) : std::u16string());
    }, m.length)));
  }
  avm1::Function* ctor = vm.NewClass(
      [](avm1::Call&) { return Value::Undefined(); },
      [proto](avm1::Call& c) -> Value {
        auto* clip = c.Arg(0).IsObject() ? dynamic_cast<avm1::Clip*>(c.Arg(0).object) : nullptr;
        return Value::Obj(NewSnapshot(c.vm, proto, clip));
      },
      proto);
  vm.global()->Define("TextSnapshot", Value::Obj(ctor), avm1::kDontEnum);
  vm.movieClipProto->DefineNative("getTextSnapshot", [proto](avm1::Call& c) -> Value {
    auto* clip = c.This() ? dynamic_cast<ClipObject*>(c.This()) : nullptr;
    if (!clip || !clip->instance()) return Value::Undefined();
    return Value::Obj(NewSnapshot(c.vm, proto, clip));
  });
}

}  // namespace quillon::player
