#include "avm1/machine.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "avm1/classes/array.h"
#include "avm1/classes/extra_classes.h"
#include "avm1/classes/globals_text.h"
#include "avm1/classes/number_boolean.h"
#include "avm1/classes/string.h"
#include "avm1/interpreter.h"

namespace quillon::player::avm1 {

Machine::Machine(Host& host, int swfVersion) : host_(host), version_(swfVersion) { InstallBuiltins(); }

Machine::~Machine() = default;

void Machine::Adopt(std::unique_ptr<Object> obj) {
  // Past the bound a script gets no more objects: it is stopped, the movie goes on.
  if (heap_.size() >= kMaxObjects) throw ScriptAbort{"too many objects"};
  heap_.push_back(std::move(obj));
}

Object* Machine::NewObject() {
  Object* o = Make<Object>();
  o->SetProto(objectProto);
  return o;
}

Object* Machine::NewArray(std::vector<Value> items) {
  ArrayObject* a = Make<ArrayObject>();
  a->SetProto(arrayProto);
  if (items.size() > kMaxArrayLength) items.resize(kMaxArrayLength);
  a->items = std::move(items);
  return a;
}

Function* Machine::NewNative(NativeFn fn, int length) {
  Function* f = Make<Function>();
  f->SetProto(functionProto);
  f->native = std::move(fn);
  (void)length;
  return f;
}

Function* Machine::NewClass(NativeFn call, NativeFn construct, Object* prototype) {
  Function* f = NewNative(std::move(call));
  f->construct = std::move(construct);
  f->Define("prototype", Value::Obj(prototype), kDontEnum | kDontDelete);
  prototype->Define("constructor", Value::Obj(f), kDontEnum | kDontDelete);
  return f;
}

void Machine::InstallBuiltins() {
  objectProto = Make<Object>();
  // Function.prototype is a plain object: typeof gives "object" and calling it does nothing.
  functionProto = Make<Object>();
  functionProto->SetProto(objectProto);
  // The global object has no prototype: it answers neither toString nor hasOwnProperty.
  global_ = Make<Object>();
  InstallObject(*this, global_);
  InstallFunction(*this, global_);
  InstallArray(*this, global_);
  InstallString(*this, global_);
  InstallNumberBoolean(*this, global_);
  InstallMath(*this, global_);
  InstallDate(*this, global_);
  InstallGlobals(*this, global_);
  InstallTextGlobals(*this, global_);
  InstallError(*this, global_);
  InstallBroadcaster(*this, global_);
  InstallExtraClasses(*this, global_);  // after AsBroadcaster, which Stage and Key use
}

void Machine::Collect() {
  std::vector<Object*> work{global_, objectProto, functionProto, arrayProto, stringProto, numberProto,
                            booleanProto, dateProto, errorProto, movieClipProto};
  host_.TraceRoots(work);
  // What the timeline scripts left for the next frame.
  for (const Value& v : stack)
    if (v.object) work.push_back(v.object);
  for (const Value& v : globalRegisters)
    if (v.object) work.push_back(v.object);
  for (auto& t : timers_)
    for (const Value* v : {&t.fn, &t.thisValue})
      if (v->object) work.push_back(v->object);
  for (auto& t : timers_)
    for (auto& a : t.args)
      if (a.object) work.push_back(a.object);
  while (!work.empty()) {
    Object* o = work.back();
    work.pop_back();
    if (!o || o->marked) continue;
    o->marked = true;
    o->Trace(work);
  }
  std::erase_if(heap_, [](const std::unique_ptr<Object>& o) { return !o->marked; });
  for (auto& o : heap_) o->marked = false;
  lastCollectSize_ = heap_.size();
}

// ---- conversions ----

double Machine::ToNumber(const Value& v) {
  switch (v.type) {
    case Value::Type::Undefined:
    case Value::Type::Null: return version_ >= 7 ? NAN : 0;
    case Value::Type::Bool: return v.boolean ? 1 : 0;
    case Value::Type::Number: return v.number;
    case Value::Type::String: return StringToNumber(v.string, version_);
    case Value::Type::Object: {
      const Value p = ToPrimitive(v);
      if (p.IsObject()) return version_ >= 5 ? NAN : 0;
      return ToNumber(p);
    }
  }
  return NAN;
}

std::string Machine::ToString(const Value& v) {
  switch (v.type) {
    case Value::Type::Undefined: return version_ >= 7 ? "undefined" : "";
    case Value::Type::Null: return "null";
    case Value::Type::Bool: return v.boolean ? "true" : "false";
    case Value::Type::Number: return NumberToString(v.number);
    case Value::Type::String: return v.string;
    case Value::Type::Object: {
      if (auto* clip = dynamic_cast<Clip*>(v.object)) return clip->DotPath();
      const Value method = v.object->GetMethod("toString");
      if (method.IsObject() && dynamic_cast<Function*>(method.object)) {
        const Value r = CallFunction(static_cast<Function*>(method.object), v, {});
        if (!r.IsObject() && !r.IsUndefined()) return ToString(r);
      }
      return v.object->TypeOf() == "function" ? "[type Function]" : "[type Object]";
    }
  }
  return {};
}

bool Machine::ToBool(const Value& v) {
  switch (v.type) {
    case Value::Type::Undefined:
    case Value::Type::Null: return false;
    case Value::Type::Bool: return v.boolean;
    case Value::Type::Number: return v.number != 0 && !std::isnan(v.number);
    case Value::Type::String: {
      if (version_ >= 7) return !v.string.empty();
      const double n = StringToNumber(v.string, version_);
      return n != 0 && !std::isnan(n);
    }
    case Value::Type::Object: return true;
  }
  return false;
}

Value Machine::ToPrimitive(const Value& v, bool preferString) {
  if (!v.IsObject()) return v;
  if (preferString) return Value::Str(ToString(v));
  if (dynamic_cast<Clip*>(v.object)) return v;
  // Only valueOf is asked: an object whose valueOf gives an object stays one (and adds as NaN);
  // one without valueOf is undefined.
  const Value method = v.object->GetMethod("valueOf");
  if (method.IsObject() && dynamic_cast<Function*>(method.object)) {
    Value r = CallFunction(static_cast<Function*>(method.object), v, {});
    return r.IsObject() ? v : r;
  }
  return Value::Undefined();
}

Object* Machine::ToObject(const Value& v) {
  switch (v.type) {
    case Value::Type::Object: return v.object;
    case Value::Type::String: return NewStringObject(*this, v.string);
    case Value::Type::Number: return NewNumberObject(*this, v.number);
    case Value::Type::Bool: return NewBooleanObject(*this, v.boolean);
    default: return nullptr;
  }
}

std::string Machine::TypeOf(const Value& v) {
  switch (v.type) {
    case Value::Type::Undefined: return "undefined";
    case Value::Type::Null: return "null";
    case Value::Type::Bool: return "boolean";
    case Value::Type::Number: return "number";
    case Value::Type::String: return "string";
    case Value::Type::Object: return v.object->TypeOf();
  }
  return "undefined";
}

double Machine::ToInteger(const Value& v) {
  const double n = ToNumber(v);
  if (std::isnan(n)) return 0;
  if (std::isinf(n)) return n;
  return std::trunc(n);
}

bool Machine::StrictEquals(const Value& a, const Value& b) {
  if (a.type != b.type) return false;
  switch (a.type) {
    case Value::Type::Undefined:
    case Value::Type::Null: return true;
    case Value::Type::Bool: return a.boolean == b.boolean;
    // NaN equals itself here, unlike in ==.
    case Value::Type::Number: return a.number == b.number || (std::isnan(a.number) && std::isnan(b.number));
    case Value::Type::String: return a.string == b.string;
    case Value::Type::Object: return a.object == b.object;
  }
  return false;
}

bool Machine::LooseEquals(const Value& a, const Value& b) {
  if (a.type == b.type) return StrictEquals(a, b);
  if (a.IsNullish() && b.IsNullish()) return true;
  // An object equals null when its primitive value does (one without valueOf is undefined).
  if (a.IsObject() && b.IsNullish()) return ToPrimitive(a).IsNullish();
  if (b.IsObject() && a.IsNullish()) return ToPrimitive(b).IsNullish();
  if (a.IsNullish() || b.IsNullish()) return false;
  if (a.IsNumber() && b.IsString()) return a.number == ToNumber(b);
  if (a.IsString() && b.IsNumber()) return ToNumber(a) == b.number;
  if (a.IsBool()) return LooseEquals(Value::Num(a.boolean ? 1 : 0), b);
  if (b.IsBool()) return LooseEquals(a, Value::Num(b.boolean ? 1 : 0));
  if (a.IsObject() && !b.IsObject()) {
    const Value p = ToPrimitive(a);
    return !p.IsObject() && LooseEquals(p, b);
  }
  if (b.IsObject() && !a.IsObject()) {
    const Value p = ToPrimitive(b);
    return !p.IsObject() && LooseEquals(a, p);
  }
  return false;
}

Value Machine::LessThan(const Value& a, const Value& b) {
  // An object with no primitive value (clips aside) compares as false, and ends the
  // comparison before the other side is converted.
  auto opaque = [](const Value& p) { return p.IsObject() && !dynamic_cast<Clip*>(p.object); };
  const Value pa = ToPrimitive(a);
  if (opaque(pa)) return Value::Bool(false);
  const Value pb = ToPrimitive(b);
  if (opaque(pb)) return Value::Bool(false);
  if (pa.IsString() && pb.IsString()) return Value::Bool(pa.string < pb.string);
  const double x = ToNumber(pa), y = ToNumber(pb);
  if (std::isnan(x) || std::isnan(y)) return Value::Undefined();
  return Value::Bool(x < y);
}

// ---- calls ----

namespace {

std::uintptr_t StackHere() {
  char probe = 0;
  return reinterpret_cast<std::uintptr_t>(&probe);
}

// Marks where scripts entered the native stack; the outermost entry sets it.
struct StackAnchor {
  Machine& vm;
  bool owner;
  explicit StackAnchor(Machine& m) : vm(m), owner(m.stackBase == 0) {
    if (owner) vm.stackBase = StackHere();
  }
  ~StackAnchor() {
    if (owner) vm.stackBase = 0;
  }
  StackAnchor(const StackAnchor&) = delete;
  StackAnchor& operator=(const StackAnchor&) = delete;
};

}  // namespace

void Machine::CheckStack() {
  const std::uintptr_t here = StackHere();
  if (stackBase > here && stackBase - here > nativeStackBytes) throw ScriptAbort{"native stack exhausted"};
}

void Machine::EnterCall() {
  if (depth_ >= kMaxCallDepth) throw ScriptAbort{"256 levels of recursion were exceeded"};
  CheckStack();
  ++depth_;
  CheckTime();
}

void Machine::CheckTime() {
  if (running_ == 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - scriptStart > std::chrono::duration<double>(scriptSeconds)) throw ScriptAbort{"a script ran too long"};
  if (now - frameStart > std::chrono::duration<double>(frameSeconds)) throw ScriptAbort{"a frame's scripts ran too long"};
}

Value Machine::CallValue(const Value& fn, const Value& thisValue, std::span<const Value> args) {
  if (!fn.IsObject()) return {};
  auto* f = dynamic_cast<Function*>(fn.object);
  if (!f) return {};
  return CallFunction(f, thisValue, args);
}

Value Machine::CallFunction(Function* fn, const Value& thisValue, std::span<const Value> args, Object* superProto) {
  if (!fn) return {};
  const StackAnchor anchor(*this);
  EnterCall();
  struct Leave {
    Machine& vm;
    ~Leave() { vm.LeaveCall(); }
  } leave{*this};
  if (fn->script) return Interpreter::CallScript(*this, fn, thisValue, args, superProto);
  if (fn->native) {
    Call c{*this, thisValue, args, fn, false};
    return fn->native(c);
  }
  return {};
}

Value Machine::Construct(const Value& ctor, std::span<const Value> args) {
  auto* f = ctor.IsObject() ? dynamic_cast<Function*>(ctor.object) : nullptr;
  if (!f) return {};
  Object* obj = NewObject();
  const Value proto = f->Get("prototype");
  obj->SetProto(proto.IsObject() ? proto.object : nullptr);
  obj->Define("__constructor__", Value::Obj(f), kDontEnum);
  if (version_ < 7) obj->Define("constructor", Value::Obj(f), kDontEnum);
  if (f->construct) {
    EnterCall();
    struct Leave {
      Machine& vm;
      ~Leave() { vm.LeaveCall(); }
    } leave{*this};
    Call c{*this, Value::Obj(obj), args, f, true};
    const Value r = f->construct(c);
    if (c.refused) return {};
    return r.IsObject() ? r : Value::Obj(obj);
  }
  CallFunction(f, Value::Obj(obj), args);
  return Value::Obj(obj);
}

Value Machine::CallMethod(Object* obj, std::string_view name, std::span<const Value> args) {
  if (!obj) return {};
  return CallValue(obj->Get(name), Value::Obj(obj), args);
}

// ---- scripts ----

void Machine::RunScript(std::shared_ptr<const std::vector<std::uint8_t>> code, Clip* clip) {
  if (!code) return;
  const std::size_t size = code->size();
  RunBlock(std::move(code), 0, size, clip);
}

void Machine::RunBlock(std::shared_ptr<const std::vector<std::uint8_t>> code, std::size_t begin, std::size_t end,
                       Clip* clip, std::vector<Object*> extraScope) {
  if (!code) return;
  const bool outermost = running_ == 0;
  if (outermost) scriptStart = std::chrono::steady_clock::now();
  const StackAnchor anchor(*this);
  ++running_;
  try {
    // Once a frame's scripts have had their time, the rest of them do not start: a flood of
    // short ones would otherwise each run until its own first look at the clock.
    if (inFrame_) CheckTime();
    Interpreter::RunTimeline(*this, std::move(code), begin, end, clip, std::move(extraScope));
  } catch (const ScriptThrow& thrown) {
    // An uncaught exception ends the block, is reported, and the movie goes on.
    if (outermost) ReportUncaught(thrown.value);
  } catch (const ScriptAbort&) {
    if (!outermost) {
      --running_;
      throw;
    }
  }
  --running_;
}

void Machine::Trace(const std::string& line) {
  if (onTrace) onTrace(strings::Printable(line));
}

void Machine::ReportUncaught(const Value& v) {
  try {
    Trace("Warning: Uncaught exception, " + ToString(v));
  } catch (const ScriptThrow&) {
  }
}

// ---- targets ----

Clip* Machine::ResolveTarget(std::string_view path, Clip* base) {
  if (path.empty()) return base;
  // A clip taken off the stage reaches no other clip, not even the root.
  if (base && !base->Alive()) return nullptr;
  Clip* at = base;
  std::size_t i = 0;
  if (path[0] == '/') {
    at = host_.Root();
    i = 1;
  }
  while (i <= path.size() && at) {
    std::size_t j = i;
    // ".." is one segment in slash paths; a dot otherwise separates names.
    if (path.substr(i, 2) == "..") {
      at = at->ParentClip();
      i += 2;
      if (i < path.size() && (path[i] == '/' || path[i] == '.')) ++i;
      if (i >= path.size()) break;
      continue;
    }
    while (j < path.size() && path[j] != '/' && path[j] != '.') ++j;
    const std::string_view seg = path.substr(i, j - i);
    if (seg.empty() || seg == "this") {
    } else if (seg == "_root") {
      at = host_.Root();
    } else if (seg == "_parent") {
      at = at->ParentClip();
    } else if (seg.size() > 6 && seg.substr(0, 6) == "_level") {
      int n = 0;
      for (char c : seg.substr(6)) n = c >= '0' && c <= '9' && n < 100000 ? n * 10 + (c - '0') : n;
      at = host_.Level(n);
    } else {
      at = at->ChildByName(seg);
    }
    if (j >= path.size()) break;
    i = j + 1;
    if (i >= path.size()) break;
  }
  return at;
}

// ---- timers ----

int Machine::AddTimer(Value fn, Value thisValue, std::string method, std::vector<Value> args, double interval,
                      bool repeat) {
  if (timers_.size() >= 10000) return 0;
  const int id = nextTimer_++;
  const double now = host_.Milliseconds();
  timers_.push_back({id, std::move(fn), std::move(thisValue), std::move(method), std::move(args),
                     std::isfinite(interval) ? std::max(interval, 0.0) : 0, 0, repeat});
  timers_.back().due = now + timers_.back().interval;
  return id;
}

void Machine::ClearTimer(int id) {
  std::erase_if(timers_, [id](const Timer& t) { return t.id == id; });
}

void Machine::RunTimers(double nowMs, const std::function<void()>& afterEach) {
  // Timers that fell behind catch up, one call per interval passed, earliest first; a stall of
  // the host costs at most kMaxTimerCalls calls.
  for (int calls = 0; calls < kMaxTimerCalls; ++calls) {
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it)
      if (it->due <= nowMs && (next == timers_.end() || it->due < next->due)) next = it;
    if (next == timers_.end()) return;
    const Timer t = *next;
    if (t.repeat) next->due += std::max(t.interval, 1.0);
    else timers_.erase(next);
    CallGuarded([&] {
      if (!t.method.empty()) {
        Object* obj = ToObject(t.thisValue);
        if (obj) CallValue(obj->Get(t.method), t.thisValue, t.args);
      } else {
        CallValue(t.fn, t.thisValue, t.args);
      }
    });
    if (afterEach) afterEach();
  }
  for (Timer& t : timers_) t.due = std::max(t.due, nowMs + std::max(t.interval, 1.0));
}

void Machine::CallFromHost(const std::function<void()>& f, bool reportUncaught) {
  if (InScript()) f();
  else CallGuarded(f, reportUncaught);
}

void Machine::CallGuarded(const std::function<void()>& f, bool reportUncaught) {
  if (running_ == 0) scriptStart = std::chrono::steady_clock::now();
  ++running_;
  struct Leave {
    int& running;
    ~Leave() { --running; }
  } leave{running_};
  try {
    f();
  } catch (const ScriptThrow& thrown) {
    if (reportUncaught) ReportUncaught(thrown.value);
  } catch (const ScriptAbort&) {
  }
}

}  // namespace quillon::player::avm1
