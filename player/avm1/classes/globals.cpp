// Global functions of the machine itself: timers, ASSetPropFlags, NaN and Infinity.
#include <cmath>

#include "avm1/classes/array.h"
#include "avm1/machine.h"

namespace quillon::player::avm1 {
namespace {

Value AddTimer(Call& c, bool repeat) {
  if (c.Count() < 2) return {};
  const bool isMethod = c.Arg(0).IsObject() && c.Arg(1).IsString() && !dynamic_cast<Function*>(c.Arg(0).object);
  const std::size_t at = isMethod ? 2 : 1;
  if (c.Count() <= at) return {};
  if (!isMethod && !(c.Arg(0).IsObject() && dynamic_cast<Function*>(c.Arg(0).object))) return {};
  const double interval = c.vm.ToNumber(c.Arg(at));
  std::vector<Value> args(c.args.begin() + static_cast<std::ptrdiff_t>(at + 1), c.args.end());
  const int id = isMethod ? c.vm.AddTimer({}, c.Arg(0), c.vm.ToString(c.Arg(1)), std::move(args), interval, repeat)
                          : c.vm.AddTimer(c.Arg(0), Value::Undefined(), {}, std::move(args), interval, repeat);
  return id > 0 ? Value::Num(id) : Value::Undefined();
}

Value ClearTimer(Call& c) {
  const double id = c.vm.ToNumber(c.Arg(0));
  if (std::isfinite(id) && id >= 1 && id < 2147483647.0) c.vm.ClearTimer(static_cast<int>(id));
  return {};
}

// The names ASSetPropFlags works on: null for all, else a comma list or an array.
std::vector<std::string> Names(Call& c, const Value& v) {
  std::vector<std::string> names;
  if (v.IsObject()) {
    if (auto* a = dynamic_cast<ArrayObject*>(v.object))
      for (const Value& item : a->items) names.push_back(c.vm.ToString(item));
    return names;
  }
  const std::string list = c.vm.ToString(v);
  std::size_t i = 0;
  while (i <= list.size()) {
    const std::size_t j = std::min(list.find(',', i), list.size());
    names.push_back(list.substr(i, j - i));
    i = j + 1;
  }
  return names;
}

}  // namespace

void InstallGlobals(Machine& vm, Object* global) {
  global->DefineNative("setInterval", [](Call& c) { return AddTimer(c, true); }, 2);
  global->DefineNative("setTimeout", [](Call& c) { return AddTimer(c, false); }, 2);
  global->DefineNative("clearInterval", ClearTimer, 1);
  global->DefineNative("clearTimeout", ClearTimer, 1);
  global->DefineNative("updateAfterEvent", [](Call&) { return Value::Undefined(); });
  global->DefineNative("ASSetPropFlags", [](Call& c) -> Value {
    Object* obj = c.Arg(0).IsObject() ? c.Arg(0).object : nullptr;
    if (!obj || c.Count() < 3) return {};
    const auto set = static_cast<std::uint16_t>(ToUint32(c.vm.ToNumber(c.Arg(2))) & 0x7FFF);
    const auto clear =
        static_cast<std::uint16_t>(c.Arg(3).IsUndefined() ? 0 : ToUint32(c.vm.ToNumber(c.Arg(3))) & 0x7FFF);
    if (c.Arg(1).IsNull()) {
      obj->SetAllFlags(set, clear);
    } else {
      for (const std::string& name : Names(c, c.Arg(1))) obj->SetFlags(name, set, clear);
    }
    return {};
  }, 4);
  global->Define("NaN", Value::Num(NAN), kDontEnum | kDontDelete);
  global->Define("Infinity", Value::Num(INFINITY), kDontEnum | kDontDelete);
  (void)vm;
}

}  // namespace quillon::player::avm1
