// The player-facing singletons: System (security, capabilities), Stage, Key, Mouse and Selection,
// with the state the player feeds them: stage and view size, sandbox, full screen, keys and
// buttons. Listeners go through AsBroadcaster, so they behave as script broadcasters do.
#include <bitset>
#include <chrono>
#include <cmath>
#include <utility>

#include "avm1/classes/bitmap_data.h"
#include "avm1/classes/data_classes.h"
#include "avm1/classes/extra_classes.h"
#include "avm1/classes/filters.h"
#include "avm1/classes/sound.h"
#include "avm1/classes/text_format.h"
#include "avm1/classes/xml.h"

namespace quillon::player::avm1 {
namespace {

constexpr std::uint8_t kConstant = kDontEnum | kDontDelete | kReadOnly;
constexpr std::string_view kStateKey = "\x01" "system";

struct SystemState {
  double movieWidth = 550, movieHeight = 400;
  double viewWidth = 0, viewHeight = 0;
  bool viewSet = false;
  std::string scaleMode = "showAll";
  std::uint8_t align = 0;  // kAlign bits
  bool showMenu = true;
  bool fullScreen = false;
  std::function<void(bool)> fullScreenHandler;
  bool useNetwork = false;
  bool mouseShown = true;
  std::bitset<256> down, toggled;
  int lastCode = 0, lastAscii = 0;
};

std::shared_ptr<SystemState> State(Machine& vm) { return extra_detail::StateOf<SystemState>(vm, kStateKey); }

std::pair<double, double> StageSize(const SystemState& s) {
  if (s.scaleMode == "noScale" && s.viewSet) return {s.viewWidth, s.viewHeight};
  return {s.movieWidth, s.movieHeight};
}

std::string Lower(std::string s) {
  for (char& ch : s)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  return s;
}

// Stage.align keeps the edge letters it is given, in this order, whatever else is around them.
constexpr char kAlign[] = "LTRB";

std::uint8_t ParseAlign(const std::string& s) {
  std::uint8_t bits = 0;
  for (char ch : Lower(s))
    for (int i = 0; i < 4; ++i)
      if (ch == kAlign[i] - 'A' + 'a') bits = static_cast<std::uint8_t>(bits | 1 << i);
  return bits;
}

std::string AlignText(std::uint8_t bits) {
  std::string s;
  for (int i = 0; i < 4; ++i)
    if (bits & 1 << i) s += kAlign[i];
  return s;
}

// Anything but a known mode (in any case) is showAll.
std::string ParseScaleMode(const std::string& s) {
  const std::string l = Lower(s);
  for (const char* mode : {"noScale", "exactFit", "noBorder"})
    if (l == Lower(mode)) return mode;
  return "showAll";
}

void Broadcast(Machine& vm, std::string_view object, std::span<const Value> args) {
  Object* target = vm.ToObject(vm.global()->Get(object));
  if (target) vm.CallMethod(target, "broadcastMessage", args);
}

// Player input arrives between scripts: it runs as a script of its own, with its time limit, and
// what a listener throws stops there.
void Resized(Machine& vm, std::pair<double, double> before) {
  if (StageSize(*State(vm)) == before) return;
  const Value args[] = {Value::Str("onResize")};
  Broadcast(vm, "Stage", args);
}

void FullScreenChanged(Machine& vm, bool fullScreen) {
  const Value args[] = {Value::Str("onFullScreen"), Value::Bool(fullScreen)};
  Broadcast(vm, "Stage", args);
}

void MakeBroadcaster(Machine& vm, Object* obj) {
  Object* broadcaster = vm.ToObject(vm.global()->Get("AsBroadcaster"));
  const Value args[] = {Value::Obj(obj)};
  if (broadcaster) vm.CallMethod(broadcaster, "initialize", args);
}

void Accessor(Machine& vm, Object* obj, std::string_view name, NativeFn get, NativeFn set) {
  obj->AddProperty(name, vm.NewNative(std::move(get)), set ? vm.NewNative(std::move(set)) : nullptr);
  obj->SetFlags(name, kDontEnum, 0);
}

int KeyCode(Machine& vm, const Value& v) {
  const double n = vm.ToNumber(v);
  return std::isfinite(n) && n >= 0 && n < 256 ? static_cast<int>(n) : -1;
}

// ---- System ----

struct Capability {
  const char* name;
  Value value;
};

void InstallSystemObject(Machine& vm, Object* global) {
  Object* system = vm.NewObject();
  Object* security = vm.NewObject();
  for (const char* name : {"allowDomain", "allowInsecureDomain", "loadPolicyFile"})
    security->DefineNative(name, [](Call&) { return Value::Undefined(); }, 1);
  // A movie played from disk is local; the movie's own flag says whether it may use the network.
  Accessor(vm, security, "sandboxType", [](Call& c) {
    return Value::Str(State(c.vm)->useNetwork ? "localWithNetwork" : "localWithFile");
  }, nullptr);
  system->Define("security", Value::Obj(security), kDontEnum);

  Object* caps = vm.NewObject();
  const std::string version(kPlayerVersion);
  std::string versionEncoded;
  for (char ch : version) versionEncoded += ch == ' ' ? "%20" : ch == ',' ? "%2C" : std::string(1, ch);
  const Capability capabilities[] = {
      {"avHardwareDisable", Value::Bool(false)},
      {"hasAccessibility", Value::Bool(true)},
      {"hasAudio", Value::Bool(true)},
      {"hasAudioEncoder", Value::Bool(true)},
      {"hasEmbeddedVideo", Value::Bool(true)},
      {"hasIME", Value::Bool(true)},
      {"hasMP3", Value::Bool(true)},
      {"hasPrinting", Value::Bool(true)},
      {"hasScreenBroadcast", Value::Bool(false)},
      {"hasScreenPlayback", Value::Bool(false)},
      {"hasStreamingAudio", Value::Bool(true)},
      {"hasStreamingVideo", Value::Bool(true)},
      {"hasTLS", Value::Bool(true)},
      {"hasVideoEncoder", Value::Bool(true)},
      {"isDebugger", Value::Bool(false)},
      {"language", Value::Str("en")},
      {"localFileReadDisable", Value::Bool(false)},
      {"manufacturer", Value::Str("Quillon Windows")},
      {"os", Value::Str("Windows 10")},
      {"pixelAspectRatio", Value::Num(1)},
      {"playerType", Value::Str("StandAlone")},
      {"screenColor", Value::Str("color")},
      {"screenDPI", Value::Num(72)},
      {"screenResolutionX", Value::Num(1920)},
      {"screenResolutionY", Value::Num(1080)},
      {"version", Value::Str(version)},
      {"windowlessDisable", Value::Bool(false)},
      {"serverString",
       Value::Str("A=t&SA=t&SV=t&EV=t&MP3=t&AE=t&VE=t&ACC=t&PR=t&SP=f&SB=f&DEB=f&V=" + versionEncoded +
                  "&M=Quillon%20Windows&R=1920x1080&DP=72&COL=color&AR=1.0&OS=Windows%2010&L=en&IME=t"
                  "&PT=StandAlone&AVD=f&LFD=f&WD=f&TLS=t")},
  };
  for (const Capability& cap : capabilities) caps->Define(cap.name, cap.value, kDontDelete | kReadOnly);
  system->Define("capabilities", Value::Obj(caps), kDontEnum);

  system->Define("useCodepage", Value::Bool(false), kDontEnum);
  system->Define("exactSettings", Value::Bool(vm.version() >= 7), kDontEnum);
  system->DefineNative("setClipboard", [](Call&) { return Value::Bool(true); }, 1);
  system->DefineNative("showSettings", [](Call&) { return Value::Undefined(); }, 1);
  global->Define("System", Value::Obj(system), kDontEnum);
}

// ---- Stage ----

void InstallStage(Machine& vm, Object* global) {
  Object* stage = vm.NewObject();
  MakeBroadcaster(vm, stage);
  Accessor(vm, stage, "width", [](Call& c) { return Value::Num(StageSize(*State(c.vm)).first); }, nullptr);
  Accessor(vm, stage, "height", [](Call& c) { return Value::Num(StageSize(*State(c.vm)).second); }, nullptr);
  Accessor(vm, stage, "scaleMode", [](Call& c) { return Value::Str(State(c.vm)->scaleMode); }, [](Call& c) -> Value {
    std::string mode = ParseScaleMode(c.vm.ToString(c.Arg(0)));
    const auto state = State(c.vm);
    const auto before = StageSize(*state);
    state->scaleMode = std::move(mode);
    Resized(c.vm, before);
    return {};
  });
  Accessor(vm, stage, "align", [](Call& c) { return Value::Str(AlignText(State(c.vm)->align)); }, [](Call& c) -> Value {
    const std::uint8_t bits = ParseAlign(c.vm.ToString(c.Arg(0)));
    State(c.vm)->align = bits;
    return {};
  });
  Accessor(vm, stage, "showMenu", [](Call& c) { return Value::Bool(State(c.vm)->showMenu); }, [](Call& c) -> Value {
    const bool show = c.vm.ToBool(c.Arg(0));
    State(c.vm)->showMenu = show;
    return {};
  });
  Accessor(vm, stage, "displayState", [](Call& c) {
    return Value::Str(State(c.vm)->fullScreen ? "fullScreen" : "normal");
  }, [](Call& c) -> Value {
    const std::string want = Lower(c.vm.ToString(c.Arg(0)));
    if (want != "normal" && want != "fullscreen") return {};
    const bool full = want == "fullscreen";
    const auto state = State(c.vm);
    if (state->fullScreen == full) return {};
    state->fullScreen = full;
    if (state->fullScreenHandler) state->fullScreenHandler(full);
    FullScreenChanged(c.vm, full);
    return {};
  });
  global->Define("Stage", Value::Obj(stage), kDontEnum);
}

// ---- Key, Mouse, Selection ----

void InstallKey(Machine& vm, Object* global) {
  Object* key = vm.NewObject();
  MakeBroadcaster(vm, key);
  static constexpr std::pair<const char*, int> kCodes[] = {
      {"BACKSPACE", 8}, {"CAPSLOCK", 20}, {"CONTROL", 17}, {"DELETEKEY", 46}, {"DOWN", 40}, {"END", 35},
      {"ENTER", 13},    {"ESCAPE", 27},   {"HOME", 36},    {"INSERT", 45},    {"LEFT", 37}, {"PGDN", 34},
      {"PGUP", 33},     {"RIGHT", 39},    {"SHIFT", 16},   {"SPACE", 32},     {"TAB", 9},   {"UP", 38}};
  for (const auto& [name, code] : kCodes) key->Define(name, Value::Num(code), kConstant);
  key->DefineNative("isDown", [](Call& c) -> Value {
    const int code = KeyCode(c.vm, c.Arg(0));
    return Value::Bool(code >= 0 && State(c.vm)->down.test(static_cast<std::size_t>(code)));
  }, 1);
  key->DefineNative("isToggled", [](Call& c) -> Value {
    const int code = KeyCode(c.vm, c.Arg(0));
    return Value::Bool(code >= 0 && State(c.vm)->toggled.test(static_cast<std::size_t>(code)));
  }, 1);
  key->DefineNative("getCode", [](Call& c) { return Value::Num(State(c.vm)->lastCode); });
  key->DefineNative("getAscii", [](Call& c) { return Value::Num(State(c.vm)->lastAscii); });
  // Whether the last key may be shown to other movies: there are none to hide it from.
  key->DefineNative("isAccessible", [](Call&) { return Value::Bool(true); });
  global->Define("Key", Value::Obj(key), kDontEnum);
}

void InstallMouse(Machine& vm, Object* global) {
  Object* mouse = vm.NewObject();
  MakeBroadcaster(vm, mouse);
  // Both answer 1 when the pointer was shown before the call, 0 when it was hidden.
  mouse->DefineNative("show", [](Call& c) -> Value {
    const auto state = State(c.vm);
    const bool was = state->mouseShown;
    state->mouseShown = true;
    return Value::Num(was ? 1 : 0);
  });
  mouse->DefineNative("hide", [](Call& c) -> Value {
    const auto state = State(c.vm);
    const bool was = state->mouseShown;
    state->mouseShown = false;
    return Value::Num(was ? 1 : 0);
  });
  global->Define("Mouse", Value::Obj(mouse), kDontEnum);
}

// Focus belongs to the text fields; without one focused the selection is nowhere.
void InstallSelection(Machine& vm, Object* global) {
  Object* selection = vm.NewObject();
  MakeBroadcaster(vm, selection);
  selection->DefineNative("getFocus", [](Call&) { return Value::Null(); });
  selection->DefineNative("setFocus", [](Call&) { return Value::Bool(false); }, 1);
  for (const char* name : {"getBeginIndex", "getEndIndex", "getCaretIndex"})
    selection->DefineNative(name, [](Call&) { return Value::Num(-1); });
  selection->DefineNative("setSelection", [](Call&) { return Value::Undefined(); }, 2);
  global->Define("Selection", Value::Obj(selection), kDontEnum);
}

void KeyEvent(Machine& vm, int code, int ascii, bool down, const std::function<void()>& first) {
  const auto state = State(vm);
  if (code >= 0 && code < 256) {
    const auto bit = static_cast<std::size_t>(code);
    // A press flips the toggle of any key, not only the lock keys.
    if (down) state->toggled.flip(bit);
    state->down.set(bit, down);
  }
  state->lastCode = code;
  state->lastAscii = ascii;
  if (first) first();
  const Value args[] = {Value::Str(down ? "onKeyDown" : "onKeyUp")};
  vm.CallFromHost([&] { Broadcast(vm, "Key", args); }, false);
}

}  // namespace

void SetStageSize(Machine& vm, double width, double height) {
  const auto state = State(vm);
  state->movieWidth = width;
  state->movieHeight = height;
}

void SetViewportSize(Machine& vm, double width, double height) {
  const auto state = State(vm);
  const auto before = StageSize(*state);
  state->viewWidth = width;
  state->viewHeight = height;
  state->viewSet = true;
  vm.CallFromHost([&] { Resized(vm, before); }, false);
}

void SetMovieUsesNetwork(Machine& vm, bool useNetwork) { State(vm)->useNetwork = useNetwork; }

void SetFullScreenHandler(Machine& vm, std::function<void(bool)> handler) {
  State(vm)->fullScreenHandler = std::move(handler);
}

void SetFullScreen(Machine& vm, bool fullScreen) {
  const auto state = State(vm);
  if (state->fullScreen == fullScreen) return;
  state->fullScreen = fullScreen;
  vm.CallFromHost([&] { FullScreenChanged(vm, fullScreen); }, false);
}

bool MouseShown(Machine& vm) { return State(vm)->mouseShown; }

bool MenuShown(Machine& vm) { return State(vm)->showMenu; }

void SetMenuShown(Machine& vm, bool shown) { State(vm)->showMenu = shown; }

void KeyPressed(Machine& vm, int code, int ascii, const std::function<void()>& first) {
  KeyEvent(vm, code, ascii, true, first);
}

void KeyReleased(Machine& vm, int code, int ascii, const std::function<void()>& first) {
  KeyEvent(vm, code, ascii, false, first);
}

void MouseButton(Machine& vm, int button, bool down) {
  const auto state = State(vm);
  if (button > 0 && button < 256) {
    const auto bit = static_cast<std::size_t>(button);
    if (down) state->toggled.flip(bit);
    state->down.set(bit, down);
  }
  // Only the main button reaches Mouse listeners; the others belong to the context menu.
  if (button != 1) return;
  const Value args[] = {Value::Str(down ? "onMouseDown" : "onMouseUp")};
  vm.CallFromHost([&] { Broadcast(vm, "Mouse", args); }, false);
}

void MouseMoved(Machine& vm) {
  const Value args[] = {Value::Str("onMouseMove")};
  vm.CallFromHost([&] { Broadcast(vm, "Mouse", args); }, false);
}

void MouseWheel(Machine& vm, int delta) {
  const Value args[] = {Value::Str("onMouseWheel"), Value::Num(delta)};
  vm.CallFromHost([&] { Broadcast(vm, "Mouse", args); }, false);
}

void InstallSystem(Machine& vm, Object* global) {
  InstallSystemObject(vm, global);
  InstallStage(vm, global);
  InstallKey(vm, global);
  InstallMouse(vm, global);
  InstallSelection(vm, global);
}

void InstallExtraClasses(Machine& vm, Object* global) {
  InstallGeom(vm, global);
  InstallFilters(vm, global);
  InstallBitmapData(vm, global);
  InstallSystem(vm, global);
  InstallColor(vm, global);
  InstallSound(vm, global);
  InstallXml(vm, global);  // before the data classes, which add loading to it
  InstallDataClasses(vm, global);
  InstallMinorClasses(vm, global);  // after System, which gets IME
  InstallTextFormat(vm, global);
  InstallMovieClipLoader(vm, global);
}

}  // namespace quillon::player::avm1
