// The ActionScript 1 and 2 machine: the heap and its collector, the global object and the
// built-in prototypes, conversions and comparisons per SWF version, calls, and the action
// interpreter (interpreter.cpp). It knows the display only through `Clip` and `Host`.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "avm1/object.h"

namespace quillon::player::avm1 {

// A movie clip as scripts see it; the display side implements it.
class Clip : public Object {
 public:
  explicit Clip(Machine& vm) : Object(vm) {}
  std::string TypeOf() const override { return "movieclip"; }
  std::string_view ClassName() const override { return "MovieClip"; }

  virtual bool Alive() const = 0;
  virtual Clip* ParentClip() = 0;
  virtual Clip* ChildByName(std::string_view name) = 0;
  // "_level0.a.b" and "/a/b" (the root is "/").
  virtual std::string DotPath() = 0;
  virtual std::string SlashPath() = 0;
  // Property numbers of GetProperty/SetProperty (0 _x ... 21 _ymouse).
  virtual Value GetIndexed(int index) = 0;
  virtual void SetIndexed(int index, const Value& value) = 0;
  // Timeline control; frames are 1-based numbers or labels, as scripts give them.
  virtual void GotoFrame(const Value& frame, bool play, int bias) = 0;
  virtual void Play() = 0;
  virtual void Stop() = 0;
  virtual void NextFrame() = 0;
  virtual void PrevFrame() = 0;
  virtual int CurrentFrame() = 0;
  virtual int FramesLoaded() = 0;
  virtual void Duplicate(const std::string& name, int depth) = 0;
  virtual void Remove() = 0;
  // Dragging with the pointer; `bounds` (left, top, right, bottom in the parent's pixels) or null.
  virtual void StartDrag(bool, const double*) {}
  virtual void StopDrag() {}
};

// What the machine needs from the player around it.
class Host {
 public:
  virtual ~Host() = default;
  virtual Clip* Root() = 0;
  virtual Clip* Level(int n) = 0;
  virtual double Milliseconds() = 0;
  virtual void GetUrl(const std::string& url, const std::string& target, int method) = 0;
  // Every object the display keeps alive (clip objects of placed clips).
  virtual void TraceRoots(std::vector<Object*>& out) = 0;
  // loadMovie and MovieClipLoader: `url`'s movie or image replaces what `target` shows, on a
  // later frame; `listener` (or null) hears how it went. False when nothing was started.
  virtual bool LoadMovie(Clip* target, const std::string& url, Object* listener) {
    (void)target, (void)url, (void)listener;
    return false;
  }
  virtual bool UnloadMovie(Clip* target) {
    (void)target;
    return false;
  }
};

// A function body: where its actions lie and how it was declared.
struct ScriptCode {
  std::shared_ptr<const std::vector<std::uint8_t>> bytes;
  std::size_t begin = 0, end = 0;
  std::string name;
  std::vector<std::string> params;
  std::vector<std::uint8_t> paramRegisters;  // DefineFunction2: 0 for a named parameter
  bool isFunction2 = false;
  std::uint8_t registerCount = 0;
  std::uint16_t flags = 0;  // DefineFunction2 preload and suppress flags
  std::vector<std::string> pool;  // the constant pool in force where it was defined
  int version = 0;
};

// A thrown script value, carried through native frames as a C++ exception.
struct ScriptThrow {
  Value value;
};
// A script stopped for running too long or too deep; the player goes on.
struct ScriptAbort {
  std::string why;
};

// Limits that keep a hostile movie harmless.
inline constexpr int kMaxCallDepth = 256;
inline constexpr double kScriptSeconds = 2.0;
inline constexpr double kFrameSeconds = 4.0;
inline constexpr int kMaxTimerCalls = 1000;  // timer calls one frame may catch up on
inline constexpr std::size_t kNativeStackBytes = 4u << 20;
inline constexpr std::size_t kMaxObjects = 4u << 20;
inline constexpr std::size_t kMaxStringLength = 16u << 20;
// Arrays hold their elements densely: this bounds one array to some 60 MiB.
inline constexpr std::size_t kMaxArrayLength = 1u << 20;

class Machine {
 public:
  Machine(Host& host, int swfVersion);
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  int version() const { return version_; }
  bool caseSensitive() const { return version_ >= 7; }
  Host& host() { return host_; }
  Object* global() { return global_; }

  // Allocation on the collected heap. Objects live until a collection finds them unreachable.
  template <typename T, typename... A> T* Make(A&&... args) {
    auto owned = std::make_unique<T>(*this, std::forward<A>(args)...);
    T* raw = owned.get();
    Adopt(std::move(owned));
    return raw;
  }
  Object* NewObject();  // with Object.prototype
  Object* NewArray(std::vector<Value> items = {});
  Function* NewNative(NativeFn fn, int length = 0);
  // A constructor with its prototype object linked both ways.
  Function* NewClass(NativeFn call, NativeFn construct, Object* prototype);
  // Frees what no root reaches. Call only between scripts, when no native frame holds values.
  void Collect();
  std::size_t ObjectCount() const { return heap_.size(); }

  // Built-in prototypes, for the classes that make their objects.
  Object* objectProto = nullptr;
  Object* functionProto = nullptr;
  Object* arrayProto = nullptr;
  Object* stringProto = nullptr;
  Object* numberProto = nullptr;
  Object* booleanProto = nullptr;
  Object* dateProto = nullptr;
  Object* errorProto = nullptr;
  Object* movieClipProto = nullptr;

  // Conversions as the running movie's version has them.
  double ToNumber(const Value& v);
  std::string ToString(const Value& v);
  bool ToBool(const Value& v);
  Value ToPrimitive(const Value& v, bool preferString = false);
  Object* ToObject(const Value& v);  // null for undefined and null
  std::string TypeOf(const Value& v);
  double ToInteger(const Value& v);
  // == (Equals2), === and the < of Less2: undefined when either side is NaN.
  bool LooseEquals(const Value& a, const Value& b);
  bool StrictEquals(const Value& a, const Value& b);
  Value LessThan(const Value& a, const Value& b);

  // Calls a function value; anything not callable gives undefined.
  Value CallValue(const Value& fn, const Value& thisValue, std::span<const Value> args);
  Value CallFunction(Function* fn, const Value& thisValue, std::span<const Value> args, Object* superProto = nullptr);
  Value Construct(const Value& ctor, std::span<const Value> args);
  // Calls obj[name](args) with obj as this; undefined when the method is missing.
  Value CallMethod(Object* obj, std::string_view name, std::span<const Value> args);

  // Runs an action block with `clip` as its timeline; exceptions that escape are reported
  // and dropped, as the reference player does.
  void RunScript(std::shared_ptr<const std::vector<std::uint8_t>> code, Clip* clip);
  // Runs a whole DoInitAction or clip event block the same way.
  void RunBlock(std::shared_ptr<const std::vector<std::uint8_t>> code, std::size_t begin, std::size_t end, Clip* clip,
                std::vector<Object*> extraScope = {});

  // Scripts' trace output, one line per call.
  std::function<void(const std::string&)> onTrace;
  void Trace(const std::string& line);
  // An exception no script caught: the trace output says so, as the reference player's does.
  void ReportUncaught(const Value& v);
  // Runs script calls that the player starts between frames: the time limits apply, and what
  // they throw is reported as uncaught. Inside a running script it just calls `f`.
  void CallFromHost(const std::function<void()>& f, bool reportUncaught = true);
  // Runs `f` as an entry of its own, even inside a script: the time limit restarts unless a host
  // call is already running, and what `f` throws stops here.
  void CallGuarded(const std::function<void()>& f, bool reportUncaught = true);

  // Resolves a target path ("/a/b", "_root.a", "../x", "a:b" before the colon) from `base`.
  Clip* ResolveTarget(std::string_view path, Clip* base);

  // Timers of setInterval and setTimeout, run by the player each frame.
  // Runs the timers due by `nowMs`, calling `afterEach` after each one.
  void RunTimers(double nowMs, const std::function<void()>& afterEach = {});
  int AddTimer(Value fn, Value thisValue, std::string method, std::vector<Value> args, double interval, bool repeat);
  void ClearTimer(int id);

  std::minstd_rand random{static_cast<std::uint_fast32_t>(std::chrono::steady_clock::now().time_since_epoch().count())};

  // Time limits: one script (with what it calls) and all scripts of one frame. Tools and the
  // fuzzer may lower them.
  double scriptSeconds = kScriptSeconds;
  double frameSeconds = kFrameSeconds;
  // Native stack the scripts of one entry may use: nested calls, with and try blocks all take
  // some, and sanitizer builds far more per level.
  std::size_t nativeStackBytes = kNativeStackBytes;
  void CheckStack();
  void BeginFrame() {
    frameStart = std::chrono::steady_clock::now();
    inFrame_ = true;
    stack.clear();
  }
  // The frame's own scripts are done: those the host starts until the next frame (input, loads)
  // are not held to what is left of its time before they start.
  void EndFrame() { inFrame_ = false; }
  // Guards that each script call passes through.
  void EnterCall();
  void LeaveCall() { --depth_; }
  void CheckTime();
  bool InScript() const { return depth_ > 0 || running_ > 0; }

  // Timeline scripts of one frame share one stack and four registers; functions have their own
  // registers and reach these above their count.
  std::vector<Value> stack;
  Value globalRegisters[4];

  // For the interpreter and the classes.
  Clip* currentClip = nullptr;  // the clip of the innermost running timeline code
  const std::vector<Object*>* callerScope = nullptr;  // the running code's scope chain
  std::chrono::steady_clock::time_point scriptStart, frameStart = std::chrono::steady_clock::now();
  std::uintptr_t stackBase = 0;  // where the outermost script entry began

 private:
  bool inFrame_ = false;  // between BeginFrame and EndFrame
  int running_ = 0;  // host calls in progress
  friend class Interpreter;
  void Adopt(std::unique_ptr<Object> obj);
  void InstallBuiltins();

  struct Timer {
    int id;
    Value fn, thisValue;
    std::string method;
    std::vector<Value> args;
    double interval, due;
    bool repeat;
  };

  Host& host_;
  int version_;
  std::vector<std::unique_ptr<Object>> heap_;
  Object* global_ = nullptr;
  int depth_ = 0;
  std::vector<Timer> timers_;
  int nextTimer_ = 1;
  std::size_t lastCollectSize_ = 0;
};

// Each built-in family installs itself on the global object (one file each).
void InstallObject(Machine& vm, Object* global);
void InstallFunction(Machine& vm, Object* global);
void InstallArray(Machine& vm, Object* global);
void InstallString(Machine& vm, Object* global);
void InstallNumberBoolean(Machine& vm, Object* global);
void InstallMath(Machine& vm, Object* global);
void InstallDate(Machine& vm, Object* global);
void InstallGlobals(Machine& vm, Object* global);  // parseInt, escape, setInterval, ...
void InstallError(Machine& vm, Object* global);
void InstallBroadcaster(Machine& vm, Object* global);

}  // namespace quillon::player::avm1
