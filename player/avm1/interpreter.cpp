#include "avm1/interpreter.h"

#include <cmath>
#include <cstring>

#include "avm1/classes/array.h"
#include "avm1/classes/sound.h"
#include "avm1/classes/string.h"
#include "swf/bytes.h"
#include "swf/text.h"

namespace quillon::player::avm1 {
namespace {

enum : std::uint16_t {
  kPreloadThis = 0x01, kSuppressThis = 0x02, kPreloadArguments = 0x04, kSuppressArguments = 0x08,
  kPreloadSuper = 0x10, kSuppressSuper = 0x20, kPreloadRoot = 0x40, kPreloadParent = 0x80, kPreloadGlobal = 0x100,
};

// Frames past the most a timeline can hold never count as loaded.
constexpr double kMaxFrames = 16001;
// The time limit is checked every this many actions.
constexpr int kCheckEvery = 4096;
constexpr std::size_t kMaxStack = 1u << 20;

bool SameName(const Machine& vm, std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (vm.caseSensitive()) return a == b;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// `super` in a method: properties come from the prototype above the method's home, with the
// caller's this; calling it runs the superclass constructor.
class SuperObject : public Function {
 public:
  SuperObject(Machine& vm, Value self, Object* home) : Function(vm), self_(std::move(self)), home_(home) {
    native = [this](Call& c) {
      Object* ctor = nullptr;
      if (home_) {
        const Value v = home_->Get("__constructor__");
        if (v.IsObject()) ctor = v.object;
      }
      auto* f = dynamic_cast<Function*>(ctor);
      if (!f) return Value::Undefined();
      const Value proto = f->Get("prototype");
      return c.vm.CallFunction(f, self_, c.args, proto.IsObject() ? proto.object : nullptr);
    };
  }
  bool GetSpecial(std::string_view name, Value& out) override {
    Object* above = home_ ? home_->Proto() : nullptr;
    if (!above) {  // nothing above: every member is missing
      out = Value::Undefined();
      return true;
    }
    bool found = false;
    out = above->GetWithThis(name, self_.IsObject() ? self_.object : above, &found);
    return true;
  }
  // Where a method named `name` lives above the home, so that its own super goes one further.
  Object* HolderOf(std::string_view name) {
    for (Object* o = home_ ? home_->Proto() : nullptr; o; o = o->Proto())
      if (o->HasOwn(name)) return o;
    return nullptr;
  }
  const Value& self() const { return self_; }
  // Callable, but scripts see an object.
  std::string TypeOf() const override { return "object"; }
  void Trace(std::vector<Object*>& out) override {
    Function::Trace(out);
    if (self_.object) out.push_back(self_.object);
    if (home_) out.push_back(home_);
  }

 private:
  Value self_;
  Object* home_;
};

struct Activation {
  Machine& vm;
  std::shared_ptr<const std::vector<std::uint8_t>> code;
  std::vector<Object*> scope;  // outermost first; scope[0] is the timeline (or defining) clip
  Object* locals = nullptr;    // where var and function declarations go
  Value thisValue;
  Clip* target = nullptr;      // tellTarget and SetTarget
  Clip* base = nullptr;
  std::vector<Value> registers;  // local ones; those above reach the machine's four
  std::vector<std::string> pool;
  Value* Register(std::size_t r) {
    if (r < registers.size()) return &registers[r];
    return r < 4 ? &vm.globalRegisters[r] : nullptr;
  }
  std::vector<Value> ownStack;
  std::vector<Value>* stack = &ownStack;  // timeline code uses the machine's
  Value returned;
  bool hasReturned = false;
  int version = 0;
  int counter = 0;
  bool thisByName = true;  // false in functions that preload or suppress this
};

class Run {
 public:
  Run(Activation& a) : a_(a), vm_(a.vm), bytes_(*a.code), outerScope_(a.vm.callerScope) { vm_.callerScope = &a_.scope; }
  ~Run() { vm_.callerScope = outerScope_; }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  // Executes [from, to); leaves `pc` where control went (to, or a jump target outside).
  void Execute(std::size_t& pc, std::size_t from, std::size_t to);

 private:
  Value Pop() {
    if (a_.stack->empty()) return {};
    Value v = std::move(a_.stack->back());
    a_.stack->pop_back();
    return v;
  }
  void Push(Value v) {
    if (a_.stack->size() >= kMaxStack) throw ScriptAbort{"stack overflow"};
    a_.stack->push_back(std::move(v));
  }
  void PushBool(bool b) { Push(a_.version < 5 ? Value::Num(b ? 1 : 0) : Value::Bool(b)); }
  std::vector<Value> PopArgs() {
    const double n = vm_.ToNumber(Pop());
    std::vector<Value> args;
    if (!(n > 0)) return args;
    const std::size_t count = n > static_cast<double>(a_.stack->size()) ? a_.stack->size() : static_cast<std::size_t>(n);
    for (std::size_t i = 0; i < count; ++i) args.push_back(Pop());
    return args;
  }

  Clip* TargetClip() { return a_.target; }
  // A target that is not there leaves timeline actions without a clip and names resolving on
  // the root.
  void SetTarget(Clip* clip) {
    // Up to SWF 6 timeline actions under a target that is not there go to the root.
    if (!clip && a_.version <= 6) clip = vm_.host().Root();
    a_.target = clip;
    if (!a_.scope.empty()) a_.scope.front() = clip ? clip : static_cast<Object*>(vm_.host().Root());
  }
  Value GetVariable(const std::string& name);
  void SetVariable(const std::string& name, Value value);
  bool Keyword(std::string_view name, Value& out);
  Object* EvalDotPath(std::string_view path);
  // The object before a colon: a clip's path, or else a variable holding an object.
  Object* PathObject(std::string_view path) {
    if (Clip* clip = vm_.ResolveTarget(path, a_.target)) return clip;
    if (path.empty() || path.find('/') != std::string_view::npos) return nullptr;
    return EvalDotPath(path);
  }
  Value LookupDotPath(const std::string& path);
  static bool Follow(Object* from, std::string_view rest, Value& out);
  Object* FindScopeHolder(const std::string& name);
  Clip* TargetFromValue(const Value& v);
  Function* MakeFunction(Reader& r, std::size_t bodyStart, bool v2, std::size_t& bodySize);
  void DefineLocal(const std::string& name, Value value);
  void DoTry(Reader& r, std::size_t& pc);
  void CallNamed(const std::string& name, std::vector<Value>& args);
  void CallMethodOn(const Value& objValue, const std::string& name, std::vector<Value>& args);
  void Goto2(std::uint8_t flags, int bias);
  static bool FrameLoaded(double frame0) { return !(frame0 >= kMaxFrames); }
  std::size_t SkipActions(std::size_t at, std::size_t count) const {
    for (std::size_t i = 0; i < count && at < bytes_.size(); ++i) {
      const std::uint8_t code = bytes_[at];
      if (code == 0) break;
      std::size_t length = 0;
      if (code >= 0x80 && at + 3 <= bytes_.size()) length = bytes_[at + 1] | static_cast<std::size_t>(bytes_[at + 2]) << 8;
      at += 1 + (code >= 0x80 ? 2 + length : 0);
    }
    return std::min(at, bytes_.size());
  }

  Activation& a_;
  Machine& vm_;
  const std::vector<std::uint8_t>& bytes_;
  const std::vector<Object*>* outerScope_;
};

bool Run::Keyword(std::string_view name, Value& out) {
  if (name.empty() || (name[0] != '_' && name[0] != 't' && name[0] != 'T')) return false;
  if (SameName(vm_, name, "this")) {
    if (!a_.thisByName) return false;
    out = a_.thisValue;
    return true;
  }
  if (SameName(vm_, name, "_global") && a_.version >= 6) {
    out = Value::Obj(vm_.global());
    return true;
  }
  if (SameName(vm_, name, "_root")) {
    out = Value::Obj(vm_.host().Root());
    return true;
  }
  if (name.size() > 6 && SameName(vm_, name.substr(0, 6), "_level")) {
    int n = 0;
    for (char c : name.substr(6)) {
      if (c < '0' || c > '9') return false;
      n = n < 100000 ? n * 10 + (c - '0') : n;
    }
    out = Value::Obj(vm_.host().Level(n));
    return true;
  }
  return false;
}

Object* Run::FindScopeHolder(const std::string& name) {
  for (auto it = a_.scope.rbegin(); it != a_.scope.rend(); ++it)
    if (*it && (*it)->Has(name)) return *it;
  if (vm_.global()->Has(name)) return vm_.global();
  return nullptr;
}

Object* Run::EvalDotPath(std::string_view path) {
  Object* at = nullptr;
  std::size_t i = 0;
  bool first = true;
  while (i <= path.size()) {
    std::size_t j = path.find('.', i);
    if (j == std::string_view::npos) j = path.size();
    const std::string seg(path.substr(i, j - i));
    Value v;
    if (first) {
      v = GetVariable(seg);
      first = false;
    } else if (at) {
      v = at->Get(seg);
    }
    at = v.IsObject() ? v.object : nullptr;
    if (!at) return nullptr;
    i = j + 1;
    if (j >= path.size()) break;
  }
  return at;
}

// Walks "b.c" from `from`; false when a step is missing.
bool Run::Follow(Object* from, std::string_view rest, Value& out) {
  Object* at = from;
  std::size_t i = 0;
  while (at) {
    std::size_t j = rest.find('.', i);
    if (j == std::string_view::npos) j = rest.size();
    bool found = false;
    out = at->Get(rest.substr(i, j - i), &found);
    if (!found) return false;
    if (j >= rest.size()) return true;
    at = out.IsObject() ? out.object : nullptr;
    i = j + 1;
  }
  return false;
}

// "a.b.c": the first scope in which the whole path resolves gives the value.
Value Run::LookupDotPath(const std::string& path) {
  const auto dot = path.find('.');
  const std::string first = path.substr(0, dot);
  const std::string_view rest = std::string_view(path).substr(dot + 1);
  Value out;
  Value start;
  if (SameName(vm_, first, "this")) {
    return a_.thisValue.IsObject() && Follow(a_.thisValue.object, rest, out) ? out : Value{};
  }
  for (auto it = a_.scope.rbegin(); it != a_.scope.rend(); ++it) {
    if (!*it) continue;
    bool found = false;
    start = (*it)->Get(first, &found);
    if (found && start.IsObject() && Follow(start.object, rest, out)) return out;
  }
  bool found = false;
  start = vm_.global()->Get(first, &found);
  if (found && start.IsObject() && Follow(start.object, rest, out)) return out;
  if (Keyword(first, start) && start.IsObject() && Follow(start.object, rest, out)) return out;
  return {};
}

Clip* Run::TargetFromValue(const Value& v) {
  if (v.IsObject())
    if (auto* clip = dynamic_cast<Clip*>(v.object)) return clip;
  // Anything else names its target by its string form (an object's toString runs).
  const std::string path = vm_.ToString(v);
  if (path.empty()) return a_.target;
  if (path.find('/') == std::string::npos && path.find('.') != std::string::npos)
    return dynamic_cast<Clip*>(EvalDotPath(path));
  if (path.find('/') == std::string::npos && path.find(':') == std::string::npos) {
    Value kw;
    if (Keyword(path, kw)) return kw.IsObject() ? dynamic_cast<Clip*>(kw.object) : nullptr;
  }
  // Under a target that is missing or removed, names resolve from the clip the script runs on.
  Clip* from = a_.target && a_.target->Alive() ? a_.target : a_.base;
  if (path.find_first_of("/:") == std::string::npos)
    if (Clip* c = from ? from->ChildByName(path) : nullptr) return c;
  return vm_.ResolveTarget(path, from);
}

Value Run::GetVariable(const std::string& name) {
  const auto colon = name.rfind(':');
  if (colon != std::string::npos) {
    Object* holder = PathObject(std::string_view(name).substr(0, colon));
    return holder ? holder->Get(std::string_view(name).substr(colon + 1)) : Value{};
  }
  if (const auto slash = name.rfind('/'); slash != std::string::npos) {
    // "/a/b.x": after a slash path, a dot names a variable, as a colon does.
    if (const auto dot = name.find('.', slash); dot != std::string::npos && dot + 1 < name.size()) {
      Object* holder = PathObject(std::string_view(name).substr(0, dot));
      return holder ? holder->Get(std::string_view(name).substr(dot + 1)) : Value{};
    }
    Clip* clip = vm_.ResolveTarget(name, a_.target);
    return clip ? Value::Obj(clip) : Value{};
  }
  Value kw;
  if (SameName(vm_, name, "this") && a_.thisByName) {
    // A variable named this hides it only in the scope that set it.
    Object* own = a_.locals ? a_.locals : (a_.scope.empty() ? nullptr : a_.scope.front());
    Property* shadow = own ? own->FindOwn(name) : nullptr;
    return shadow && !shadow->IsVirtual() ? shadow->value : a_.thisValue;
  }
  if (name.find('.') != std::string::npos && name.size() > 1) {
    const auto dot = name.find('.');
    if (dot > 0 && name.back() != '.') return LookupDotPath(name);
  }
  for (auto it = a_.scope.rbegin(); it != a_.scope.rend(); ++it) {
    if (!*it) continue;
    bool found = false;
    Value v = (*it)->Get(name, &found);
    if (found) return v;
  }
  // _root and _global are only names: a variable of that name hides them.
  if (Keyword(name, kw)) return kw;
  // Movies older than the global object see none of its names (NaN, Infinity, Math).
  if (a_.version < 5) return {};
  return vm_.global()->Get(name);
}

void Run::SetVariable(const std::string& name, Value value) {
  const auto colon = name.rfind(':');
  if (colon != std::string::npos) {
    if (Object* holder = PathObject(std::string_view(name).substr(0, colon)))
      holder->Set(std::string_view(name).substr(colon + 1), std::move(value));
    return;
  }
  const auto dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0 && dot + 1 < name.size()) {
    // The holder is found as a read finds it: the first scope where the whole path leads somewhere.
    const Value holder = GetVariable(name.substr(0, dot));
    if (holder.IsObject()) holder.object->Set(std::string_view(name).substr(dot + 1), std::move(value));
    return;
  }
  if (SameName(vm_, name, "this")) {
    Object* own = a_.locals ? a_.locals : (a_.scope.empty() ? nullptr : a_.scope.front());
    if (own) own->Define(name, std::move(value));
    return;
  }
  for (auto it = a_.scope.rbegin(); it != a_.scope.rend(); ++it)
    if (*it && (*it)->Has(name)) {
      (*it)->Set(name, std::move(value));
      return;
    }
  if (!a_.scope.empty() && a_.scope.front()) a_.scope.front()->Set(name, std::move(value));
}

void Run::DefineLocal(const std::string& name, Value value) {
  Object* where = a_.locals ? a_.locals : (a_.scope.empty() ? nullptr : a_.scope.front());
  if (where) where->Set(name, std::move(value));
}

Function* Run::MakeFunction(Reader& r, std::size_t bodyStart, bool v2, std::size_t& bodySize) {
  auto code = std::make_shared<ScriptCode>();
  code->name = ReadText(r, a_.version);
  const std::size_t params = r.u16();
  if (v2) {
    code->isFunction2 = true;
    code->registerCount = r.u8();
    code->flags = r.u16();
  }
  for (std::size_t i = 0; i < params && !r.failed(); ++i) {
    std::uint8_t reg = 0;
    if (v2) reg = r.u8();
    code->params.push_back(ReadText(r, a_.version));
    code->paramRegisters.push_back(reg);
  }
  bodySize = r.u16();
  code->bytes = a_.code;
  code->begin = bodyStart;
  code->end = std::min(bodyStart + bodySize, bytes_.size());
  code->pool = a_.pool;
  code->version = a_.version;
  Function* fn = vm_.Make<Function>();
  fn->SetProto(vm_.functionProto);
  fn->script = std::move(code);
  // SWF 5 functions are no closures: they run in the scope of whoever calls them.
  if (a_.version >= 6) fn->scope = a_.scope;
  Object* proto = vm_.NewObject();
  proto->Define("constructor", Value::Obj(fn), kDontEnum);
  fn->Define("prototype", Value::Obj(proto), kDontEnum);
  return fn;
}

void Run::CallNamed(const std::string& name, std::vector<Value>& args) {
  Value fn;
  Value self = Value::Obj(a_.base ? static_cast<Object*>(a_.base) : nullptr);
  Value kw;
  if (Keyword(name, kw)) {
    fn = kw;
  } else if (const auto cut = name.find_last_of(":/."); cut != std::string::npos) {
    fn = GetVariable(name);
    // A function found by a path runs on the object the path leads to.
    if (cut > 0) {
      const std::string path = name.substr(0, cut);
      const Value owner = GetVariable(path);
      if (owner.IsObject()) self = owner;
      else if (Clip* clip = vm_.ResolveTarget(path, a_.target)) self = Value::Obj(clip);
    }
  } else {
    Object* holder = FindScopeHolder(name);
    if (holder) {
      fn = holder->Get(name);
      if (holder != a_.locals && dynamic_cast<Clip*>(holder)) self = Value::Obj(holder);
    }
  }
  if (!fn.IsObject()) {
    Push(Value{});
    return;
  }
  if (auto* super = dynamic_cast<SuperObject*>(fn.object)) {
    Push(vm_.CallFunction(super, super->self(), args));
    return;
  }
  Push(vm_.CallValue(fn, self.IsNull() ? Value{} : self, args));
}

void Run::CallMethodOn(const Value& objValue, const std::string& name, std::vector<Value>& args) {
  if (name.empty()) {
    Push(vm_.CallValue(objValue, Value{}, args));
    return;
  }
  if (objValue.IsObject()) {
    if (auto* super = dynamic_cast<SuperObject*>(objValue.object)) {
      Object* holder = super->HolderOf(name);
      bool found = false;
      const Value fn = holder ? holder->GetWithThis(name, super->self().object, &found) : Value{};
      auto* f = fn.IsObject() ? dynamic_cast<Function*>(fn.object) : nullptr;
      Push(f ? vm_.CallFunction(f, super->self(), args, holder) : Value{});
      return;
    }
  }
  Object* obj = vm_.ToObject(objValue);
  if (!obj) {
    Push(Value{});
    return;
  }
  Object* holder = obj;
  for (int depth = 0; holder && depth < 256 && !holder->HasOwn(name); ++depth) holder = holder->Proto();
  // A method of the object itself has the object's prototype as its home.
  if (holder == obj) holder = obj->Proto();
  const Value fn = obj->Get(name);
  auto* f = fn.IsObject() ? dynamic_cast<Function*>(fn.object) : nullptr;
  if (!f) {
    Push(Value{});
    return;
  }
  const Value self = objValue.IsObject() ? objValue : Value::Obj(obj);
  Push(vm_.CallFunction(f, self, args, holder));
}

void Run::Goto2(std::uint8_t flags, int bias) {
  Value frame = Pop();
  Clip* clip = a_.target;
  if (frame.IsString()) {
    const auto colon = frame.string.rfind(':');
    if (colon != std::string::npos) {
      clip = vm_.ResolveTarget(std::string_view(frame.string).substr(0, colon), a_.target);
      frame = Value::Str(frame.string.substr(colon + 1));
    }
  }
  if (clip) clip->GotoFrame(frame, flags & 1, bias);
}

void Run::DoTry(Reader& r, std::size_t& pc) {
  const std::uint8_t flags = r.u8();
  const std::size_t trySize = r.u16(), catchSize = r.u16(), finallySize = r.u16();
  const bool inRegister = flags & 4;
  std::string catchName;
  std::uint8_t catchRegister = 0;
  if (inRegister) catchRegister = r.u8();
  else catchName = ReadText(r, a_.version);
  const std::size_t tryStart = pc, catchStart = tryStart + trySize, finallyStart = catchStart + catchSize,
                    after = finallyStart + finallySize;
  const bool hasCatch = flags & 1, hasFinally = flags & 2;
  std::size_t next = after;
  auto runFinally = [&] {
    if (!hasFinally) return;
    std::size_t p = finallyStart;
    Execute(p, finallyStart, std::min(after, bytes_.size()));
    if (p != std::min(after, bytes_.size())) next = p;
  };
  std::size_t p = tryStart;
  const std::size_t depth = a_.stack->size();
  try {
    Execute(p, tryStart, std::min(catchStart, bytes_.size()));
    if (p != std::min(catchStart, bytes_.size())) next = p;
  } catch (const ScriptThrow& thrown) {
    if (!hasCatch) {
      runFinally();
      throw;
    }
    // What the try block pushed before the throw is gone.
    if (a_.stack->size() > depth) a_.stack->resize(depth);
    if (inRegister) {
      if (Value* reg = a_.Register(catchRegister)) *reg = thrown.value;
    } else {
      DefineLocal(catchName, thrown.value);
    }
    std::size_t c = catchStart;
    try {
      Execute(c, catchStart, std::min(finallyStart, bytes_.size()));
      if (c != std::min(finallyStart, bytes_.size())) next = c;
    } catch (const ScriptThrow&) {
      runFinally();
      throw;
    }
  }
  if (a_.hasReturned) {
    const Value kept = a_.returned;
    a_.hasReturned = false;
    runFinally();
    if (!a_.hasReturned) {
      a_.returned = kept;
      a_.hasReturned = true;
    }
    pc = bytes_.size();
    return;
  }
  runFinally();
  pc = a_.hasReturned ? bytes_.size() : next;
}

// instanceof: the constructor's prototype on the object's chain, or the constructor among the
// interfaces a prototype on the chain implements.
bool IsInstance(const Value& obj, const Value& ctor) {
  if (!obj.IsObject() || !ctor.IsObject()) return false;
  const Value proto = ctor.object->Get("prototype");
  int depth = 0;
  for (Object* o = obj.object->Proto(); o && depth < 256; o = o->Proto(), ++depth) {
    if (proto.IsObject() && o == proto.object) return true;
    for (Object* i : o->interfaces)
      if (i == ctor.object) return true;
  }
  return false;
}

// A bounded concatenation: scripts that double a string in a loop stop growing it.
std::string Joined(std::string a, const std::string& b) {
  if (a.size() + b.size() > kMaxStringLength) throw ScriptAbort{"string too long"};
  strings::Join(a, b);
  return a;
}

std::string Substring(const std::string& text, double start, double length) {
  // SWF 4 string extraction: 1-based start, lengths past the end clipped.
  const std::u16string s = strings::Units(text);
  if (std::isnan(start)) start = 1;
  if (std::isnan(length)) length = 0;
  double from = std::trunc(start) - 1;
  if (from < 0) from = 0;
  if (from >= static_cast<double>(s.size())) return {};
  double len = std::trunc(length);
  if (len < 0 || from + len > static_cast<double>(s.size())) len = static_cast<double>(s.size()) - from;
  return strings::FromUnits(std::u16string_view(s).substr(static_cast<std::size_t>(from), static_cast<std::size_t>(len)));
}

void Run::Execute(std::size_t& pc, std::size_t from, std::size_t to) {
  vm_.CheckStack();  // with and try blocks nest without calls
  to = std::min(to, bytes_.size());
  while (pc >= from && pc < to && !a_.hasReturned) {
    if (++a_.counter >= kCheckEvery) {
      a_.counter = 0;
      vm_.CheckTime();
    }
    const std::uint8_t op = bytes_[pc];
    if (op == 0) {
      pc = to;
      break;
    }
    std::size_t length = 0;
    std::size_t dataAt = pc + 1;
    if (op >= 0x80) {
      if (pc + 3 > bytes_.size()) {
        pc = to;
        break;
      }
      length = bytes_[pc + 1] | static_cast<std::size_t>(bytes_[pc + 2]) << 8;
      dataAt = pc + 3;
      // A long action (a constant pool of thousands of strings, a push of thousands of values)
      // is work of many: it brings the next look at the clock nearer.
      a_.counter += static_cast<int>(length >> 6);
    }
    if (dataAt + length > bytes_.size()) {
      pc = to;
      break;
    }
    std::size_t next = dataAt + length;
    Reader r(std::span<const std::uint8_t>(bytes_).subspan(dataAt, length));
    Clip* tgt = TargetClip();
    switch (op) {
      case 0x04: if (tgt) tgt->NextFrame(); break;
      case 0x05: if (tgt) tgt->PrevFrame(); break;
      case 0x06: if (tgt) tgt->Play(); break;
      case 0x07: if (tgt) tgt->Stop(); break;
      case 0x08: break;  // quality: nothing for scripts to see
      case 0x09: StopAllSounds(vm_); break;
      case 0x0A: { const double b = vm_.ToNumber(Pop()); Push(Value::Num(vm_.ToNumber(Pop()) + b)); break; }
      case 0x0B: { const double b = vm_.ToNumber(Pop()); Push(Value::Num(vm_.ToNumber(Pop()) - b)); break; }
      case 0x0C: { const double b = vm_.ToNumber(Pop()); Push(Value::Num(vm_.ToNumber(Pop()) * b)); break; }
      case 0x0D: {
        const double b = vm_.ToNumber(Pop()), x = vm_.ToNumber(Pop());
        if (b == 0 && a_.version < 5) Push(Value::Str("#ERROR#"));
        else Push(Value::Num(x / b));
        break;
      }
      case 0x0E: { const double b = vm_.ToNumber(Pop()); PushBool(vm_.ToNumber(Pop()) == b); break; }
      case 0x0F: { const double b = vm_.ToNumber(Pop()); PushBool(vm_.ToNumber(Pop()) < b); break; }
      case 0x10: { const bool b = vm_.ToBool(Pop()); PushBool(vm_.ToBool(Pop()) && b); break; }
      case 0x11: { const bool b = vm_.ToBool(Pop()); PushBool(vm_.ToBool(Pop()) || b); break; }
      case 0x12: PushBool(!vm_.ToBool(Pop())); break;
      case 0x13: { const std::string b = vm_.ToString(Pop()); PushBool(vm_.ToString(Pop()) == b); break; }
      case 0x14: case 0x31:  // StringLength, MBStringLength
        Push(Value::Num(static_cast<double>(strings::UnitCount(vm_.ToString(Pop())))));
        break;
      case 0x15: case 0x35: {
        const double len = vm_.ToNumber(Pop()), start = vm_.ToNumber(Pop());
        Push(Value::Str(Substring(vm_.ToString(Pop()), start, len)));
        break;
      }
      case 0x17: Pop(); break;
      case 0x18: Push(Value::Num(ToInt32(vm_.ToNumber(Pop())))); break;
      case 0x1C: {
        const Value name = Pop();
        Push(GetVariable(vm_.ToString(name)));
        break;
      }
      case 0x1D: {
        Value v = Pop();
        SetVariable(vm_.ToString(Pop()), std::move(v));
        break;
      }
      case 0x20: {  // SetTarget2
        const Value t = Pop();
        const bool reset = t.IsUndefined() || (t.IsString() && t.string.empty());
        // A clip names its target by its path: of two clips with one name the first is found.
        Clip* clip = reset ? a_.base : TargetFromValue(t);
        if (!reset && t.IsObject() && clip) clip = vm_.ResolveTarget(clip->SlashPath(), nullptr);
        SetTarget(clip);
        break;
      }
      case 0x21: { const std::string b = vm_.ToString(Pop()); Push(Value::Str(Joined(vm_.ToString(Pop()), b))); break; }
      case 0x22: {  // GetProperty: fractional indexes truncate toward zero
        const double index = std::trunc(vm_.ToNumber(Pop()));
        Clip* clip = TargetFromValue(Pop());
        Push(clip && index >= 0 && index < 64 ? clip->GetIndexed(static_cast<int>(index)) : Value{});
        break;
      }
      case 0x23: {  // SetProperty
        Value v = Pop();
        const double index = std::trunc(vm_.ToNumber(Pop()));
        Clip* clip = TargetFromValue(Pop());
        if (clip && index >= 0 && index < 64) clip->SetIndexed(static_cast<int>(index), v);
        break;
      }
      case 0x24: {  // CloneSprite
        const double depth = vm_.ToNumber(Pop());
        const std::string name = vm_.ToString(Pop());
        Clip* source = TargetFromValue(Pop());
        // The clip decides which depths it takes; only what fits an int gets that far.
        const double shifted = std::trunc(depth) - 16384;
        if (source && shifted >= -2147483648.0 && shifted <= 2147483647.0) source->Duplicate(name, static_cast<int>(shifted));
        break;
      }
      case 0x25: if (Clip* clip = TargetFromValue(Pop())) clip->Remove(); break;
      case 0x26: {  // trace
        const Value v = Pop();
        vm_.Trace(v.IsUndefined() ? "undefined" : vm_.ToString(v));
        break;
      }
      case 0x27: {  // StartDrag
        Clip* clip = TargetFromValue(Pop());
        const bool lockCenter = vm_.ToBool(Pop());
        double bounds[4] = {0, 0, 0, 0};
        const bool constrained = vm_.ToBool(Pop());
        if (constrained)
          for (int i = 3; i >= 0; --i) bounds[i] = vm_.ToNumber(Pop());
        if (clip) clip->StartDrag(lockCenter, constrained ? bounds : nullptr);
        break;
      }
      case 0x28:  // EndDrag
        if (vm_.currentClip) vm_.currentClip->StopDrag();
        break;
      case 0x29: { const std::string b = vm_.ToString(Pop()); PushBool(vm_.ToString(Pop()) < b); break; }
      case 0x2A: throw ScriptThrow{Pop()};
      case 0x2B: {  // CastOp
        const Value obj = Pop(), ctor = Pop();
        Push(IsInstance(obj, ctor) ? obj : Value::Null());
        break;
      }
      case 0x2C: {  // ImplementsOp
        const Value ctor = Pop();
        std::vector<Value> list = PopArgs();
        if (ctor.IsObject()) {
          const Value proto = ctor.object->Get("prototype");
          if (proto.IsObject())
            for (auto& i : list)
              if (i.IsObject()) proto.object->interfaces.push_back(i.object);
        }
        break;
      }
      case 0x30: {  // RandomNumber
        const double n = vm_.ToNumber(Pop());
        if (!(n >= 1) || n > 2147483647.0) {
          Push(Value::Num(0));
          break;
        }
        std::uniform_int_distribution<long> pick(0, static_cast<long>(n) - 1);
        Push(Value::Num(static_cast<double>(pick(vm_.random))));
        break;
      }
      case 0x32: case 0x36: {  // CharToAscii: the first character's code
        const std::u16string s = strings::Units(vm_.ToString(Pop()));
        Push(Value::Num(s.empty() ? 0 : s[0]));
        break;
      }
      case 0x33: case 0x37: {  // AsciiToChar; before SWF 6 AsciiToChar makes a one-byte character
        const double n = vm_.ToNumber(Pop());
        std::uint32_t c = std::isfinite(n) ? static_cast<std::uint32_t>(ToUint32(n) & 0xFFFF) : 0;
        if (a_.version < 6 && op == 0x33) c &= 0xFF;
        std::string ch;
        strings::AppendUtf8(ch, c);
        Push(Value::Str(std::move(ch)));
        break;
      }
      case 0x34: Push(Value::Num(vm_.host().Milliseconds())); break;
      case 0x3A: {  // Delete
        const std::string name = vm_.ToString(Pop());
        const Value obj = Pop();
        PushBool(obj.IsObject() && obj.object->Delete(name));
        break;
      }
      case 0x3B: {  // Delete2
        std::string name = vm_.ToString(Pop());
        Object* holder = nullptr;
        const auto colon = name.rfind(':');
        const auto dot = name.rfind('.');
        if (colon != std::string::npos) {
          holder = PathObject(std::string_view(name).substr(0, colon));
          name = name.substr(colon + 1);
        } else if (dot != std::string::npos && dot > 0 && dot + 1 < name.size()) {
          holder = EvalDotPath(std::string_view(name).substr(0, dot));
          name = name.substr(dot + 1);
        } else {
          holder = FindScopeHolder(name);
        }
        PushBool(holder && holder->Delete(name));
        break;
      }
      case 0x3C: {  // DefineLocal
        Value v = Pop();
        DefineLocal(vm_.ToString(Pop()), std::move(v));
        break;
      }
      case 0x3D: {  // CallFunction
        const std::string name = vm_.ToString(Pop());
        std::vector<Value> args = PopArgs();
        CallNamed(name, args);
        break;
      }
      case 0x3E: a_.returned = Pop(); a_.hasReturned = true; break;
      case 0x3F: {
        const double b = vm_.ToNumber(Pop());
        Push(Value::Num(std::fmod(vm_.ToNumber(Pop()), b)));
        break;
      }
      case 0x40: {  // NewObject
        const std::string name = vm_.ToString(Pop());
        std::vector<Value> args = PopArgs();
        Push(vm_.Construct(GetVariable(name), args));
        break;
      }
      case 0x41: {  // DefineLocal2
        const std::string name = vm_.ToString(Pop());
        Object* where = a_.locals ? a_.locals : (a_.scope.empty() ? nullptr : a_.scope.front());
        if (where && !where->Has(name)) where->Set(name, Value{});
        break;
      }
      case 0x42: {  // InitArray
        const double n = vm_.ToNumber(Pop());
        // A count the stack cannot hold makes nothing and takes nothing.
        if (!(n >= 0) || n > static_cast<double>(a_.stack->size())) {
          Push(Value{});
          break;
        }
        std::vector<Value> items;
        for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) items.push_back(Pop());
        Push(Value::Obj(vm_.NewArray(std::move(items))));
        break;
      }
      case 0x43: {  // InitObject
        const double n = vm_.ToNumber(Pop());
        if (!(n >= 0) || n * 2 > static_cast<double>(a_.stack->size())) {
          Push(Value{});
          break;
        }
        Object* obj = vm_.NewObject();
        const auto count = static_cast<std::size_t>(n);
        for (std::size_t i = 0; i < count; ++i) {
          Value v = Pop();
          obj->Set(vm_.ToString(Pop()), std::move(v));
        }
        Push(Value::Obj(obj));
        break;
      }
      case 0x44: Push(Value::Str(vm_.TypeOf(Pop()))); break;
      case 0x45: {  // TargetPath
        const Value v = Pop();
        auto* clip = v.IsObject() ? dynamic_cast<Clip*>(v.object) : nullptr;
        Push(clip ? Value::Str(clip->DotPath()) : Value{});
        break;
      }
      case 0x46: case 0x55: {  // Enumerate, Enumerate2
        const Value v = Pop();
        Object* obj = nullptr;
        if (op == 0x46) {
          const Value found = GetVariable(vm_.ToString(v));
          obj = found.IsObject() ? found.object : nullptr;
        } else {
          obj = v.IsObject() ? v.object : nullptr;
        }
        Push(Value::Null());
        if (obj) {
          const std::vector<std::string> keys = obj->EnumerableKeys();
          for (auto it = keys.rbegin(); it != keys.rend(); ++it) Push(Value::Str(*it));
        }
        break;
      }
      case 0x47: {  // Add2
        const Value b = vm_.ToPrimitive(Pop()), x = vm_.ToPrimitive(Pop());
        if (x.IsString() || b.IsString()) Push(Value::Str(Joined(vm_.ToString(x), vm_.ToString(b))));
        else Push(Value::Num(vm_.ToNumber(x) + vm_.ToNumber(b)));
        break;
      }
      case 0x48: { const Value b = Pop(), x = Pop(); Push(vm_.LessThan(x, b)); break; }
      case 0x49: { const Value b = Pop(), x = Pop(); PushBool(vm_.LooseEquals(x, b)); break; }
      case 0x4A: Push(Value::Num(vm_.ToNumber(Pop()))); break;
      case 0x4B: Push(Value::Str(vm_.ToString(Pop()))); break;
      case 0x4C: { Value v = a_.stack->empty() ? Value{} : a_.stack->back(); Push(std::move(v)); break; }
      case 0x4D: { Value b = Pop(), x = Pop(); Push(std::move(b)); Push(std::move(x)); break; }
      case 0x4E: {  // GetMember
        const std::string name = vm_.ToString(Pop());
        const Value objValue = Pop();
        Object* obj = vm_.ToObject(objValue);
        Push(obj ? obj->Get(name) : Value{});
        break;
      }
      case 0x4F: {  // SetMember
        Value v = Pop();
        const std::string name = vm_.ToString(Pop());
        const Value obj = Pop();
        // A member without a name is never made.
        if (obj.IsObject() && !name.empty()) obj.object->Set(name, std::move(v));
        break;
      }
      case 0x50: Push(Value::Num(vm_.ToNumber(Pop()) + 1)); break;
      case 0x51: Push(Value::Num(vm_.ToNumber(Pop()) - 1)); break;
      case 0x52: {  // CallMethod
        const Value nameValue = Pop();
        const Value obj = Pop();
        std::vector<Value> args = PopArgs();
        CallMethodOn(obj, nameValue.IsUndefined() ? std::string() : vm_.ToString(nameValue), args);
        break;
      }
      case 0x53: {  // NewMethod
        const Value nameValue = Pop();
        const Value obj = Pop();
        std::vector<Value> args = PopArgs();
        const std::string name = nameValue.IsUndefined() ? std::string() : vm_.ToString(nameValue);
        Value ctor = obj;
        if (!name.empty()) {
          Object* o = vm_.ToObject(obj);
          ctor = o ? o->Get(name) : Value{};
        }
        Push(vm_.Construct(ctor, args));
        break;
      }
      case 0x54: {  // InstanceOf
        const Value ctor = Pop(), obj = Pop();
        PushBool(IsInstance(obj, ctor));
        break;
      }
      case 0x60: { const auto b = ToInt32(vm_.ToNumber(Pop())); Push(Value::Num(ToInt32(vm_.ToNumber(Pop())) & b)); break; }
      case 0x61: { const auto b = ToInt32(vm_.ToNumber(Pop())); Push(Value::Num(ToInt32(vm_.ToNumber(Pop())) | b)); break; }
      case 0x62: { const auto b = ToInt32(vm_.ToNumber(Pop())); Push(Value::Num(ToInt32(vm_.ToNumber(Pop())) ^ b)); break; }
      case 0x63: {
        const auto b = ToUint32(vm_.ToNumber(Pop())) & 31;
        const auto x = ToUint32(vm_.ToNumber(Pop()));
        Push(Value::Num(static_cast<std::int32_t>(x << b)));
        break;
      }
      case 0x64: {
        const auto b = ToUint32(vm_.ToNumber(Pop())) & 31;
        const auto x = ToInt32(vm_.ToNumber(Pop()));
        Push(Value::Num(x >> b));
        break;
      }
      case 0x65: {
        const auto b = ToUint32(vm_.ToNumber(Pop())) & 31;
        const auto x = ToUint32(vm_.ToNumber(Pop()));
        Push(Value::Num(x >> b));
        break;
      }
      case 0x66: { const Value b = Pop(), x = Pop(); PushBool(vm_.StrictEquals(x, b)); break; }
      case 0x67: { const Value b = Pop(), x = Pop(); Push(vm_.LessThan(b, x)); break; }
      case 0x68: { const std::string b = vm_.ToString(Pop()); PushBool(vm_.ToString(Pop()) > b); break; }
      case 0x69: {  // Extends
        const Value superclass = Pop(), subclass = Pop();
        if (!superclass.IsObject() || !subclass.IsObject()) break;
        Object* proto = vm_.Make<Object>();
        const Value superProto = superclass.object->Get("prototype");
        proto->SetProto(superProto.IsObject() ? superProto.object : nullptr);
        proto->Define("__constructor__", superclass, kDontEnum);
        subclass.object->Set("prototype", Value::Obj(proto));
        break;
      }
      // GotoFrame and GotoLabel stop there, as the reference movies show; gotoAndPlay adds a Play.
      case 0x81: if (tgt) tgt->GotoFrame(Value::Num(r.u16() + 1.0), false, 0); break;
      case 0x83: {
        const std::string url = ReadText(r, a_.version), window = ReadText(r, a_.version);
        vm_.host().GetUrl(url, window, 0);
        break;
      }
      case 0x87: {
        if (Value* reg = a_.Register(r.u8())) *reg = a_.stack->empty() ? Value{} : a_.stack->back();
        break;
      }
      case 0x88: {
        a_.pool.clear();
        const std::size_t count = r.u16();
        for (std::size_t i = 0; i < count && !r.failed(); ++i) a_.pool.push_back(ReadText(r, a_.version));
        break;
      }
      case 0x8A: {  // WaitForFrame: the whole movie is loaded, up to the frames a timeline can have
        const std::size_t frame = r.u16();
        const std::size_t skip = r.u8();
        if (!FrameLoaded(static_cast<double>(frame))) next = SkipActions(next, skip);
        break;
      }
      case 0x8B: {
        const std::string path = ReadText(r, a_.version);
        SetTarget(path.empty() ? a_.base : vm_.ResolveTarget(path, a_.target));
        break;
      }
      case 0x8C: if (tgt) tgt->GotoFrame(Value::Str(ReadText(r, a_.version)), false, 0); break;
      case 0x8D: {  // WaitForFrame2
        const std::size_t skip = r.u8();
        const Value frame = Pop();
        const double n = frame.IsString() ? 0 : vm_.ToNumber(frame) - 1;
        if (!FrameLoaded(n)) next = SkipActions(next, skip);
        break;
      }
      case 0x8E:
      case 0x9B: {
        std::size_t bodySize = 0;
        Function* fn = MakeFunction(r, next, op == 0x8E, bodySize);
        next = std::min(next + bodySize, bytes_.size());
        const std::string& name = fn->script->name;
        if (name.empty()) Push(Value::Obj(fn));
        else DefineLocal(name, Value::Obj(fn));
        break;
      }
      case 0x8F: {
        pc = next;
        DoTry(r, pc);
        continue;
      }
      case 0x89: break;  // StrictMode
      case 0x94: {  // With
        const std::size_t size = r.u16();
        const Value v = Pop();
        Object* obj = vm_.ToObject(v);
        std::size_t p = next;
        const std::size_t end = std::min(next + size, bytes_.size());
        if (obj) {
          a_.scope.push_back(obj);
          struct PopScope {
            std::vector<Object*>& scope;
            ~PopScope() { scope.pop_back(); }
          } popScope{a_.scope};
          Execute(p, next, end);
        } else {
          p = end;
        }
        pc = p;
        continue;
      }
      case 0x96:
        while (!r.atEnd() && !r.failed()) {
          const std::uint8_t type = r.u8();
          switch (type) {
            case 0: Push(Value::Str(ReadText(r, a_.version))); break;
            case 1: Push(Value::Num(r.f32())); break;
            case 2: Push(Value::Null()); break;
            case 3: Push(Value{}); break;
            case 4: { const Value* reg = a_.Register(r.u8()); Push(reg ? *reg : Value{}); break; }
            case 5: Push(Value::Bool(r.u8() != 0)); break;
            case 6: Push(Value::Num(r.f64Swapped())); break;
            case 7: Push(Value::Num(r.s32())); break;
            case 8: { const std::size_t i = r.u8(); Push(i < a_.pool.size() ? Value::Str(a_.pool[i]) : Value{}); break; }
            case 9: { const std::size_t i = r.u16(); Push(i < a_.pool.size() ? Value::Str(a_.pool[i]) : Value{}); break; }
            default: r.skip(r.remaining()); break;
          }
        }
        break;
      case 0x99: {
        const long long target = static_cast<long long>(next) + r.s16();
        if (target < 0 || static_cast<std::size_t>(target) > bytes_.size()) { pc = to; return; }
        pc = static_cast<std::size_t>(target);
        continue;
      }
      case 0x9A: {
        const std::uint8_t method = r.u8();
        const std::string window = vm_.ToString(Pop()), url = vm_.ToString(Pop());
        vm_.host().GetUrl(url, window, method);
        break;
      }
      case 0x9D: {
        const std::int16_t offset = r.s16();
        if (vm_.ToBool(Pop())) {
          const long long target = static_cast<long long>(next) + offset;
          if (target < 0 || static_cast<std::size_t>(target) > bytes_.size()) { pc = to; return; }
          pc = static_cast<std::size_t>(target);
          continue;
        }
        break;
      }
      case 0x9E: Pop(); break;  // Call: runs a frame's actions, which the display issue brings
      case 0x9F: {
        const std::uint8_t flags = r.u8();
        const int bias = (flags & 2) ? r.u16() : 0;
        Goto2(flags, bias);
        break;
      }
      default: break;  // unknown: skipped by its length
    }
    pc = next;
  }
}

}  // namespace

void Interpreter::RunTimeline(Machine& vm, std::shared_ptr<const std::vector<std::uint8_t>> code, std::size_t begin,
                              std::size_t end, Clip* clip, std::vector<Object*> extraScope) {
  Activation a{vm, std::move(code), {}, nullptr, Value::Obj(clip), clip, clip, {}, {}, {}, &vm.stack, {}, false,
               vm.version(), 0};
  a.scope.push_back(clip);
  for (Object* o : extraScope) a.scope.push_back(o);
  Clip* outer = vm.currentClip;
  vm.currentClip = clip;
  struct Restore {
    Machine& vm;
    Clip* outer;
    ~Restore() { vm.currentClip = outer; }
  } restore{vm, outer};
  Run run(a);
  std::size_t pc = begin;
  run.Execute(pc, begin, end);
}

Value Interpreter::CallScript(Machine& vm, Function* fn, const Value& thisValue, std::span<const Value> args,
                              Object* home) {
  const ScriptCode& code = *fn->script;
  Clip* base = nullptr;
  for (Object* o : fn->scope)
    if (auto* c = dynamic_cast<Clip*>(o)) {
      base = c;
      break;
    }
  std::vector<Object*> scope = fn->scope;
  if (code.version < 6) {
    // The caller's scope, with a clip it is called on as the timeline.
    auto* self = thisValue.IsObject() ? dynamic_cast<Clip*>(thisValue.object) : nullptr;
    scope = vm.callerScope ? *vm.callerScope : std::vector<Object*>{vm.currentClip};
    if (scope.empty()) scope.push_back(vm.currentClip);
    if (self) scope.front() = self;
    base = dynamic_cast<Clip*>(scope.front());
  }
  if (!base) base = vm.currentClip;
  Activation a{vm, code.bytes, std::move(scope), nullptr, thisValue, base, base, {}, code.pool, {}, nullptr, {}, false,
               code.version, 0};
  a.stack = &a.ownStack;
  if (a.scope.empty()) a.scope.push_back(base);
  Object* locals = vm.Make<Object>();
  a.locals = locals;
  a.scope.push_back(locals);
  a.registers.resize(code.isFunction2 ? code.registerCount : 4);

  Object* self = thisValue.IsObject() ? thisValue.object : nullptr;
  if (!home && self) home = self->Proto();
  auto makeArguments = [&] {
    Object* arguments = vm.NewArray(std::vector<Value>(args.begin(), args.end()));
    arguments->Define("callee", Value::Obj(fn), kDontEnum);
    arguments->Define("caller", Value::Null(), kDontEnum);
    return arguments;
  };
  auto makeSuper = [&]() -> Object* { return vm.Make<SuperObject>(thisValue, home); };
  if (code.isFunction2) {
    std::size_t reg = 1;
    auto preload = [&](Value v) {
      if (reg < a.registers.size()) a.registers[reg] = std::move(v);
      ++reg;
    };
    const std::uint16_t f = code.flags;
    if (f & kPreloadThis) preload(thisValue);
    if (f & kPreloadArguments) preload(Value::Obj(makeArguments()));
    else if (!(f & kSuppressArguments)) locals->Define("arguments", Value::Obj(makeArguments()));
    if (f & kPreloadSuper) preload(Value::Obj(makeSuper()));
    else if (!(f & kSuppressSuper)) locals->Define("super", Value::Obj(makeSuper()));
    if (f & kPreloadRoot) preload(Value::Obj(vm.host().Root()));
    // A clip without a parent takes no register: the next preload moves up.
    if (f & kPreloadParent)
      if (Clip* parent = base ? base->ParentClip() : nullptr) preload(Value::Obj(parent));
    if (f & kPreloadGlobal) preload(Value::Obj(vm.global()));
    if (f & kSuppressThis) a.thisValue = Value{};
    a.thisByName = !(f & (kPreloadThis | kSuppressThis));
    for (std::size_t i = 0; i < code.params.size(); ++i) {
      const Value v = i < args.size() ? args[i] : Value{};
      const std::uint8_t r = code.paramRegisters[i];
      if (r != 0 && r < a.registers.size()) a.registers[r] = v;
      else if (r == 0) locals->Define(code.params[i], v);
    }
  } else {
    locals->Define("arguments", Value::Obj(makeArguments()));
    locals->Define("super", Value::Obj(makeSuper()));
    for (std::size_t i = 0; i < code.params.size(); ++i) locals->Define(code.params[i], i < args.size() ? args[i] : Value{});
  }
  Run run(a);
  std::size_t pc = code.begin;
  run.Execute(pc, code.begin, code.end);
  return a.hasReturned ? a.returned : Value{};
}

}  // namespace quillon::player::avm1
