// Script objects: ordered properties with attributes, getters and setters, watchers, the
// __proto__ chain; functions (native or script) are objects too.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "avm1/value.h"

namespace quillon::player::avm1 {

class Machine;
class Function;

// ASSetPropFlags bits; the higher ones hide a property from movies of some versions.
enum PropFlag : std::uint16_t { kDontEnum = 1, kDontDelete = 2, kReadOnly = 4 };
// Whether a property with `flags` is invisible to a movie of `version`.
bool HiddenFromVersion(std::uint16_t flags, int version);

struct Property {
  Value value;
  Function* getter = nullptr;  // set by addProperty: the property is virtual
  Function* setter = nullptr;
  std::uint16_t flags = 0;
  bool IsVirtual() const { return getter != nullptr; }
};

class Object {
 public:
  explicit Object(Machine& vm) : vm_(vm) {}
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  Machine& vm() const { return vm_; }

  // What typeof says and what the default toString names: "object", "function", "movieclip".
  virtual std::string TypeOf() const { return "object"; }
  // The class name that Object.prototype.toString does not show but tests and debugging do.
  virtual std::string_view ClassName() const { return "Object"; }

  // Full lookup: own properties (and what a subclass computes), then the __proto__ chain;
  // getters run with `self` as this. `found` tells a missing property from an undefined one.
  Value Get(std::string_view name, bool* found = nullptr);
  Value GetWithThis(std::string_view name, Object* self, bool* found);
  // The lookup conversions use for valueOf and toString: getters run, __resolve is not asked.
  Value GetMethod(std::string_view name);
  // Assignment: a setter on the chain runs, a watcher sees the change, read-only is kept.
  void Set(std::string_view name, Value value);
  // Assignment that starts from this object but runs setters with `self` as this.
  void SetWithThis(std::string_view name, Value value, Object* self);
  // True when the object or its chain has the property.
  bool Has(std::string_view name);
  bool HasOwn(std::string_view name);
  // delete: false when the property is missing or undeletable.
  virtual bool Delete(std::string_view name);

  // Own property storage, bypassing setters; keeps the position of an existing property.
  void Define(std::string_view name, Value value, std::uint16_t flags = 0);
  // A native method or property, hidden from enumeration as built-ins are.
  void DefineNative(std::string_view name, std::function<Value(struct Call&)> fn, int length = 0);
  Property* FindOwn(std::string_view name);
  bool AddProperty(std::string_view name, Function* getter, Function* setter);
  void SetFlags(std::string_view name, std::uint16_t set, std::uint16_t clear);
  void SetAllFlags(std::uint16_t set, std::uint16_t clear);
  bool Watch(std::string_view name, Function* callback, Value userData);
  bool Unwatch(std::string_view name);

  Object* Proto();
  void SetProto(Object* proto);

  // Enumerable property names in the reference player's order (newest first), own then
  // inherited, each once.
  std::vector<std::string> EnumerableKeys();
  // Own properties in storage order (oldest first), for the collector and for natives.
  template <typename F> void ForEachOwn(F&& f) {
    for (auto& slot : slots_)
      if (slot.alive) f(slot.name, slot.prop);
  }

  // Subclasses with computed properties (array indices, clip properties) answer here first.
  virtual bool GetSpecial(std::string_view name, Value& out) { (void)name; (void)out; return false; }
  virtual bool SetSpecial(std::string_view name, const Value& value) { (void)name; (void)value; return false; }
  // Names that GetSpecial answers and that for..in lists, in order.
  virtual void SpecialKeys(std::vector<std::string>& out) { (void)out; }
  // What the object holds besides its properties, for the collector.
  virtual void Trace(std::vector<Object*>& out);

  // Primitive value for objects that wrap one (Number, String, Boolean, Date).
  virtual bool PrimitiveValue(Value& out) const { (void)out; return false; }

  bool marked = false;
  // Interfaces a class prototype implements (ImplementsOp), for instanceof.
  std::vector<Object*> interfaces;

 protected:
  struct Slot {
    std::string name;
    Property prop;
    bool alive = true;
  };
  struct Watcher {
    std::string name;
    Function* callback;
    Value userData;
  };
  std::string Key(std::string_view name) const;
  Value Lookup(std::string_view name, Object* self, bool* found, bool resolve);
  Slot* FindSlot(std::string_view name);
  void Compact();

  Machine& vm_;
  std::vector<Slot> slots_;
  std::unordered_map<std::string, std::size_t> index_;
  std::vector<Watcher> watchers_;
  std::size_t dead_ = 0;
  int watchDepth_ = 0;
};

// One call of a function: the machine, this, the arguments, the callee.
struct Call {
  Machine& vm;
  Value thisValue;
  std::span<const Value> args;
  Function* callee = nullptr;
  bool constructing = false;
  // A construct hook sets this to make `new` give undefined (a refused size, say).
  bool refused = false;

  const Value& Arg(std::size_t i) const;
  Object* This() const { return thisValue.IsObject() ? thisValue.object : nullptr; }
  std::size_t Count() const { return args.size(); }
};

using NativeFn = std::function<Value(Call&)>;

struct ScriptCode;  // a function body, see machine.h

class Function : public Object {
 public:
  explicit Function(Machine& vm) : Object(vm) {}
  std::string TypeOf() const override { return "function"; }
  std::string_view ClassName() const override { return "Function"; }
  void Trace(std::vector<Object*>& out) override;

  NativeFn native;
  // For natives that build their own kind of object on `new` (Array, Date, ...); absent, `new`
  // makes a plain object and calls `native` on it.
  NativeFn construct;
  std::shared_ptr<const ScriptCode> script;
  std::vector<Object*> scope;  // captured scope chain, outermost first
};

}  // namespace quillon::player::avm1
