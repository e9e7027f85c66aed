// The smaller built-in families: flash.geom (geom.cpp), System, Stage, Key, Mouse and Selection
// (system.cpp) and Color (color.cpp), with the hooks the player around the machine feeds them.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "avm1/machine.h"

namespace quillon::player::avm1 {

// What System.capabilities.version reports; getVersion and $version should say the same.
inline constexpr std::string_view kPlayerVersion = "WIN 32,0,0,465";

// Installs all of them; needs AsBroadcaster on the global object already.
void InstallExtraClasses(Machine& vm, Object* global);
void InstallGeom(Machine& vm, Object* global);    // flash.geom, SWF 8 and later
void InstallSystem(Machine& vm, Object* global);  // System, Stage, Key, Mouse, Selection
void InstallColor(Machine& vm, Object* global);
// ContextMenu, LocalConnection, the device and network classes with nothing behind them, Accessibility.
void InstallMinorClasses(Machine& vm, Object* global);
void InstallMovieClipLoader(Machine& vm, Object* global);  // needs AsBroadcaster

// What the display lets scripts change on a clip. Colour transforms are eight numbers: the red,
// green, blue and alpha multipliers (1 leaves a channel as it is), then the red, green, blue and
// alpha offsets (-255 to 255). Matrices are a, b, c, d, tx, ty with tx and ty in pixels.
struct ColorTarget {
  virtual ~ColorTarget() = default;
  // False when `clip` has no colour transform (not a display object, or removed).
  virtual bool GetColorTransform(Object* clip, double out[8]) = 0;
  virtual void SetColorTransform(Object* clip, const double in[8]) = 0;
  // Without these the matrix is made from _x, _y, _xscale, _yscale and _rotation, which
  // cannot show skew.
  virtual bool GetMatrix(Object* clip, double out[6]) {
    (void)clip;
    (void)out;
    return false;
  }
  virtual bool SetMatrix(Object* clip, const double in[6]) {
    (void)clip;
    (void)in;
    return false;
  }
};

// The target stays the caller's; clear it (nullptr) before destroying it.
void SetColorTarget(Machine& vm, ColorTarget* target);
ColorTarget* GetColorTarget(Machine& vm);

// The movie's stage size from its header, and the view the player shows it in (in noScale mode
// Stage.width and height report the view). A view change in noScale mode tells Stage listeners
// (onResize). Call these between scripts.
void SetStageSize(Machine& vm, double width, double height);
void SetViewportSize(Machine& vm, double width, double height);
// The movie's FileAttributes use-network flag: a local movie plays in the "localWithNetwork"
// sandbox with it and in "localWithFile" without.
void SetMovieUsesNetwork(Machine& vm, bool useNetwork);
// Scripts asking for full screen (Stage.displayState) reach `handler`; the player reports a
// change it made itself (a key press) with SetFullScreen, which tells Stage listeners.
void SetFullScreenHandler(Machine& vm, std::function<void(bool fullScreen)> handler);
void SetFullScreen(Machine& vm, bool fullScreen);
// Whether scripts left the pointer shown (Mouse.hide, Mouse.show).
bool MouseShown(Machine& vm);
// Whether the stage's menu keeps its playing controls (Stage.showMenu, fscommand showmenu).
bool MenuShown(Machine& vm);
void SetMenuShown(Machine& vm, bool shown);

// Input, between scripts: key codes as Key.getCode gives them, `ascii` as Key.getAscii; mouse
// buttons as key codes 1 (left), 2 (right) and 4 (middle). Key and Mouse listeners hear of it.
// `first` runs once the key is known and before the listeners hear of it (the focused object's
// own handlers).
void KeyPressed(Machine& vm, int code, int ascii, const std::function<void()>& first = {});
void KeyReleased(Machine& vm, int code, int ascii, const std::function<void()>& first = {});
void MouseButton(Machine& vm, int button, bool down);
void MouseMoved(Machine& vm);
void MouseWheel(Machine& vm, int delta);

// flash.geom objects for other classes (BitmapData.rectangle, MovieClip.transform, ...); these
// construct through the script-visible classes and give undefined where flash.geom is missing.
Value NewPoint(Machine& vm, double x, double y);
Value NewRectangle(Machine& vm, double x, double y, double width, double height);
Value NewMatrix(Machine& vm, const double m[6]);
Value NewColorTransform(Machine& vm, const double ct[8]);
Value NewTransform(Machine& vm, Object* clip);
// The eight numbers of a ColorTransform object; false for anything else.
bool ReadColorTransform(const Value& v, double out[8]);
// a, b, c, d, tx, ty of any object, as numbers; false when `v` is not an object.
bool ReadMatrix(Machine& vm, const Value& v, double out[6]);

namespace extra_detail {

// Per-machine state of these classes lives in a hidden native function on the global object
// (its callable owns the state), so machines share nothing and no native holds a raw pointer a
// collection could free. A script that deletes it gets the defaults back.
template <typename State> struct Holder {
  std::shared_ptr<State> state;
  Value operator()(Call&) const { return {}; }
};

template <typename State> std::shared_ptr<State> StateOf(Machine& vm, std::string_view key) {
  Object* global = vm.global();
  if (Property* p = global->FindOwn(key); p && p->value.IsObject())
    if (auto* f = dynamic_cast<Function*>(p->value.object))
      if (auto* h = f->native.template target<Holder<State>>()) return h->state;
  auto state = std::make_shared<State>();
  global->Define(key, Value::Obj(vm.NewNative(Holder<State>{state})), kDontEnum | kDontDelete | kReadOnly);
  return state;
}

}  // namespace extra_detail

}  // namespace quillon::player::avm1
