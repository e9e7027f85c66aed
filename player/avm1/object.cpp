#include "avm1/object.h"

#include <algorithm>
#include <map>
#include <unordered_set>

#include "avm1/machine.h"

namespace quillon::player::avm1 {
namespace {

// A virtual property's getter or setter that reaches the same property again, directly or
// through others, runs at most this many times at once; deeper reads give undefined and
// deeper assignments do nothing, as in the reference player.
constexpr int kMaxVirtualNesting = 65;

struct VirtualCall {
  VirtualCall(const Object* owner, std::string_view name) : key(owner, std::string(name)) {
    int& n = Active()[key];
    allowed = n < kMaxVirtualNesting;
    if (allowed) ++n;
  }
  ~VirtualCall() {
    if (!allowed) return;
    auto& active = Active();
    if (const auto it = active.find(key); it != active.end() && --it->second <= 0) active.erase(it);
  }
  VirtualCall(const VirtualCall&) = delete;
  VirtualCall& operator=(const VirtualCall&) = delete;
  static std::map<std::pair<const Object*, std::string>, int>& Active() {
    thread_local std::map<std::pair<const Object*, std::string>, int> active;
    return active;
  }
  std::pair<const Object*, std::string> key;
  bool allowed = false;
};

// Prototype chains that loop (a.__proto__ = a) stop here.
constexpr int kMaxChain = 256;
// One object holds at most this many properties; a loop adding more stops growing it.
constexpr std::size_t kMaxProperties = 1u << 20;
// A watcher that assigns its own property again would recurse without end.
constexpr int kMaxWatchDepth = 32;

const Value kUndefined;
constexpr std::uint16_t kVersionBits = 0x7F80;

}  // namespace

bool HiddenFromVersion(std::uint16_t flags, int version) {
  if (!(flags & kVersionBits)) return false;
  // Which bit hides from which versions, as the reference player's movies show it.
  return ((flags & 0x0080) && version <= 5) || ((flags & 0x0100) && version == 6) ||
         ((flags & 0x0400) && version <= 6) || ((flags & 0x1000) && version <= 7) ||
         ((flags & 0x2000) && version <= 8) || ((flags & 0x4000) && version <= 9);
}

const Value& Call::Arg(std::size_t i) const { return i < args.size() ? args[i] : kUndefined; }

std::string Object::Key(std::string_view name) const {
  std::string key(name);
  if (!vm_.caseSensitive())
    for (char& c : key)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return key;
}

Object::Slot* Object::FindSlot(std::string_view name) {
  const auto it = index_.find(Key(name));
  return it == index_.end() ? nullptr : &slots_[it->second];
}

Property* Object::FindOwn(std::string_view name) {
  Slot* s = FindSlot(name);
  return s ? &s->prop : nullptr;
}

void Object::Compact() {
  std::vector<Slot> kept;
  kept.reserve(slots_.size() - dead_);
  for (auto& s : slots_)
    if (s.alive) kept.push_back(std::move(s));
  slots_ = std::move(kept);
  index_.clear();
  for (std::size_t i = 0; i < slots_.size(); ++i) index_[Key(slots_[i].name)] = i;
  dead_ = 0;
}

void Object::Define(std::string_view name, Value value, std::uint16_t flags) {
  if (Slot* s = FindSlot(name)) {
    s->prop.value = std::move(value);
    s->prop.getter = s->prop.setter = nullptr;
    s->prop.flags = flags;
    return;
  }
  if (slots_.size() - dead_ >= kMaxProperties) return;
  index_[Key(name)] = slots_.size();
  slots_.push_back(Slot{std::string(name), Property{std::move(value), nullptr, nullptr, flags}, true});
}

void Object::DefineNative(std::string_view name, NativeFn fn, int length) {
  Define(name, Value::Obj(vm_.NewNative(std::move(fn), length)), kDontEnum);
}

Object* Object::Proto() {
  Slot* s = FindSlot("__proto__");
  return s && s->prop.value.IsObject() ? s->prop.value.object : nullptr;
}

void Object::SetProto(Object* proto) {
  if (Slot* s = FindSlot("__proto__")) s->prop.value = Value::Obj(proto);
  else Define("__proto__", proto ? Value::Obj(proto) : Value::Undefined(), kDontEnum);
}

Value Object::Get(std::string_view name, bool* found) { return GetWithThis(name, this, found); }

Value Object::GetWithThis(std::string_view name, Object* self, bool* found) { return Lookup(name, self, found, true); }

Value Object::GetMethod(std::string_view name) {
  if (Value special; GetSpecial(name, special)) return special;
  bool found = false;
  return Lookup(name, this, &found, false);
}

Value Object::Lookup(std::string_view name, Object* self, bool* found, bool resolve) {
  Object* o = this;
  for (int depth = 0; o && depth < kMaxChain; ++depth) {
    Slot* s = o->FindSlot(name);
    if (s && HiddenFromVersion(s->prop.flags, vm_.version())) s = nullptr;
    if (s) {
      if (found) *found = true;
      if (s->prop.IsVirtual()) {
        VirtualCall guard(o, name);
        if (!guard.allowed) return Value::Undefined();
        return vm_.CallFunction(s->prop.getter, Value::Obj(self), {});
      }
      return s->prop.value;
    }
    Value out;
    if (o->GetSpecial(name, out)) {
      if (found) *found = true;
      return out;
    }
    o = o->Proto();
  }
  // A prototype chain that never ends stops the script, as in the reference player.
  if (o) throw ScriptAbort{"prototype chain too long"};
  if (found) *found = false;
  // A missing property asks __resolve, when the object or its chain has one.
  if (resolve && name != "__resolve") {
    bool has = false;
    const Value resolver = GetWithThis("__resolve", self, &has);
    if (has && resolver.IsObject())
      if (auto* fn = dynamic_cast<Function*>(resolver.object)) {
        const Value args[] = {Value::Str(std::string(name))};
        return vm_.CallFunction(fn, Value::Obj(self), args);
      }
  }
  return {};
}

bool Object::Has(std::string_view name) {
  Object* o = this;
  for (int depth = 0; o && depth < kMaxChain; ++depth) {
    if (o->FindSlot(name)) return true;
    Value out;
    if (o->GetSpecial(name, out)) return true;
    o = o->Proto();
  }
  return false;
}

bool Object::HasOwn(std::string_view name) {
  if (FindSlot(name)) return true;
  Value out;
  return GetSpecial(name, out);
}

void Object::Set(std::string_view name, Value value) { SetWithThis(name, std::move(value), this); }

void Object::SetWithThis(std::string_view name, Value value, Object* self) {
  if (!watchers_.empty() && watchDepth_ < kMaxWatchDepth) {
    const std::string key = Key(name);
    for (std::size_t i = 0; i < watchers_.size(); ++i) {
      if (Key(watchers_[i].name) != key) continue;
      Function* callback = watchers_[i].callback;
      const Value userData = watchers_[i].userData;
      const Value old = Get(name);
      const Value args[] = {Value::Str(std::string(name)), old, value, userData};
      ++watchDepth_;
      try {
        value = vm_.CallFunction(callback, Value::Obj(self), args);
      } catch (...) {
        --watchDepth_;
        throw;
      }
      --watchDepth_;
      break;
    }
  }
  if (Slot* s = FindSlot(name)) {
    if (s->prop.IsVirtual()) {
      if (Function* setter = s->prop.setter) {
        VirtualCall guard(this, name);
        const Value args[] = {value};
        if (guard.allowed) vm_.CallFunction(setter, Value::Obj(self), args);
      }
      return;
    }
    if (HiddenFromVersion(s->prop.flags, vm_.version())) s->prop.flags &= static_cast<std::uint16_t>(~kVersionBits);
    else if (s->prop.flags & kReadOnly) return;
    s->prop.value = std::move(value);
    return;
  }
  if (SetSpecial(name, value)) return;
  // A getter/setter pair inherited from a prototype handles the assignment.
  Object* o = Proto();
  for (int depth = 0; o && depth < kMaxChain; ++depth) {
    if (Slot* s = o->FindSlot(name); s && !HiddenFromVersion(s->prop.flags, vm_.version())) {
      if (s->prop.IsVirtual()) {
        if (Function* setter = s->prop.setter) {
          VirtualCall guard(o, name);
          const Value args[] = {value};
          if (guard.allowed) vm_.CallFunction(setter, Value::Obj(self), args);
        }
        return;
      }
      break;
    }
    o = o->Proto();
  }
  Define(name, std::move(value));
}

bool Object::Delete(std::string_view name) {
  const auto it = index_.find(Key(name));
  if (it == index_.end()) return false;
  Slot& s = slots_[it->second];
  if (s.prop.flags & kDontDelete) return false;
  s.alive = false;
  s.prop = Property{};
  index_.erase(it);
  if (++dead_ > 16 && dead_ * 2 > slots_.size()) Compact();
  return true;
}

bool Object::AddProperty(std::string_view name, Function* getter, Function* setter) {
  if (name.empty() || !getter) return false;
  if (Slot* s = FindSlot(name)) {
    s->prop.value = {};
    s->prop.getter = getter;
    s->prop.setter = setter;
    return true;
  }
  if (slots_.size() - dead_ >= kMaxProperties) return false;
  index_[Key(name)] = slots_.size();
  slots_.push_back(Slot{std::string(name), Property{{}, getter, setter, 0}, true});
  return true;
}

void Object::SetFlags(std::string_view name, std::uint16_t set, std::uint16_t clear) {
  if (Slot* s = FindSlot(name)) s->prop.flags = static_cast<std::uint16_t>((s->prop.flags & ~clear) | set);
}

void Object::SetAllFlags(std::uint16_t set, std::uint16_t clear) {
  for (auto& s : slots_)
    if (s.alive) s.prop.flags = static_cast<std::uint16_t>((s.prop.flags & ~clear) | set);
}

bool Object::Watch(std::string_view name, Function* callback, Value userData) {
  if (!callback) return false;
  const std::string key = Key(name);
  for (auto& w : watchers_)
    if (Key(w.name) == key) {
      w.callback = callback;
      w.userData = std::move(userData);
      return true;
    }
  watchers_.push_back({std::string(name), callback, std::move(userData)});
  return true;
}

bool Object::Unwatch(std::string_view name) {
  const std::string key = Key(name);
  for (std::size_t i = 0; i < watchers_.size(); ++i)
    if (Key(watchers_[i].name) == key) {
      watchers_.erase(watchers_.begin() + static_cast<std::ptrdiff_t>(i));
      return true;
    }
  return false;
}

std::vector<std::string> Object::EnumerableKeys() {
  // The reference player pushes names oldest first, own properties before inherited ones, and
  // for..in pops them: so the chain's far end comes first, each object's newest name first.
  std::vector<std::string> pushed;
  std::unordered_set<std::string> seen;
  Object* o = this;
  for (int depth = 0; o && depth < kMaxChain; ++depth) {
    std::vector<std::string> special;
    o->SpecialKeys(special);  // newest first
    for (auto it = special.rbegin(); it != special.rend(); ++it)
      if (seen.insert(Key(*it)).second) pushed.push_back(*it);
    for (auto& slot : o->slots_) {
      if (!slot.alive) continue;
      // Hidden properties still shadow inherited ones of the same name.
      if (seen.insert(Key(slot.name)).second && !(slot.prop.flags & kDontEnum)) pushed.push_back(slot.name);
    }
    o = o->Proto();
  }
  return {pushed.rbegin(), pushed.rend()};
}

void Object::Trace(std::vector<Object*>& out) {
  for (auto& s : slots_) {
    if (!s.alive) continue;
    if (s.prop.value.object) out.push_back(s.prop.value.object);
    if (s.prop.getter) out.push_back(s.prop.getter);
    if (s.prop.setter) out.push_back(s.prop.setter);
  }
  for (Object* i : interfaces) out.push_back(i);
  for (auto& w : watchers_) {
    out.push_back(w.callback);
    if (w.userData.object) out.push_back(w.userData.object);
  }
}

void Function::Trace(std::vector<Object*>& out) {
  Object::Trace(out);
  for (Object* o : scope)
    if (o) out.push_back(o);
}

}  // namespace quillon::player::avm1
