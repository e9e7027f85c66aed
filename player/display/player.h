// Plays a movie: the main timeline and sprite timelines over their display lists, their
// scripts on the script machine, and drawing a frame into a canvas.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "avm1/machine.h"
#include "data/loader.h"
#include "swf/movie.h"
#include "render/raster.h"
#include "text/field.h"
#include "text/layout.h"

namespace quillon::player {

struct Instance;

// Scripts' depths start at this internal depth; the timeline uses the ones below it.
inline constexpr int kScriptDepthBase = 16384;

struct DisplayObject {
  int depth = 0;
  std::uint16_t characterId = 0;
  std::shared_ptr<const Character> character;
  Matrix matrix;
  ColorTransform colorTransform;
  double ratio = 0;
  std::string name;
  int clipDepth = 0;
  bool visible = true;
  std::shared_ptr<Instance> sprite;  // for scriptable characters: sprites, buttons, text fields, video
  const std::vector<ClipAction>* clipActions = nullptr;  // its onClipEvent handlers, from the timeline
  std::uint32_t clipEvents = 0;  // the events those handlers may answer
  bool byScript = false;         // made by attachMovie, duplicateMovieClip or createEmptyMovieClip
  bool movedByScript = false;    // a script set its position, scale or rotation: the timeline leaves it
  std::size_t placedFrame = 0;   // the timeline frame that placed it
  // _xscale, _yscale and _rotation as scripts last set them, kept apart from the matrix so
  // that they read back as set.
  double xscale = 100, yscale = 100, rotation = 0;
  bool scaleKnown = false;
  std::string blendMode = "normal";
  bool cacheAsBitmap = false;
  std::vector<Filter> filters;
  std::optional<Rgba> opaqueBackground;
  // What of it shows, in its own pixels: the rectangle's corner lands on its origin.
  struct ScrollRect {
    double x = 0, y = 0, width = 0, height = 0;
  };
  std::optional<ScrollRect> scrollRect;
};

enum class InstanceKind : std::uint8_t { Sprite, Button, EditText, Video };

// What a clip's drawing methods (beginFill, lineTo, ...) made; it shows below the clip's children.
struct Drawing {
  ShapeGeometry shape;  // one style group, paths in the order drawn
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;  // twips, meaningful when `hasBounds`
  bool hasBounds = false;
  Point pen, fillStart;
  std::size_t fill = 0, line = 0;  // the styles in use (1-based), 0 for none
  std::size_t fillPath = 0, linePath = 0;  // their paths (1-based), 0 for none yet
  std::size_t edges = 0;
};

// A scriptable object on the stage: the main movie, a placed sprite, a button, a text field or
// a video. Sprites and the main movie run a timeline.
struct Instance : std::enable_shared_from_this<Instance> {
  InstanceKind kind = InstanceKind::Sprite;
  const Timeline* timeline = nullptr;
  std::size_t frame = 0;  // index of the frame shown; meaningful once `entered`
  bool entered = false;
  bool playing = true;
  int nesting = 0;  // sprites inside sprites, bounded against self-placing sprites
  int depth = 0;    // its key in the parent's display list
  std::uint64_t serial = 0;  // creation order: newer instances run their frames first
  bool unloaded = false;     // taken off the stage (or about to be, once its unload handlers ran)
  bool detached = false;     // no longer in its parent's display list
  std::weak_ptr<Instance> parent;
  std::shared_ptr<int> liveCount;  // the player's count of instances, kept by each
  ~Instance() {
    if (liveCount) --*liveCount;
  }
  std::map<int, DisplayObject> displayList;
  std::shared_ptr<Drawing> drawing;
  bool lockRoot = false;
  avm1::Clip* object = nullptr;  // its script object, made when first needed
  int buttonState = 1;           // buttons: the state shown, 1 up, 2 over, 4 down
  std::shared_ptr<const Character> button;  // buttons: their definition
  // A loaded movie's main timeline: its characters come from this movie, not the first one.
  std::shared_ptr<const Movie> movie;
  std::shared_ptr<text::Field> field;       // text fields: their text and settings
  // setMask: the clip whose shapes clip this one, and for a mask the clip it clips (it is not
  // drawn itself then).
  std::weak_ptr<Instance> mask, maskOf;
  std::optional<bool> focusRect;  // _focusrect as a script set it; unset follows the root's
};

class BandPool;
class LayerCache;
class ClipObject;
class SoundStage;

class Player {
 public:
  explicit Player(std::shared_ptr<const Movie> movie);
  ~Player();

  // Advances every timeline one frame (the first call enters frame 1) and runs the scripts.
  void Tick();
  // Draws the current frame scaled by `scale` device pixels per stage pixel.
  void Render(Canvas& canvas, Quality quality, double scale = 1.0) const;
  // How many threads draw a frame, in bands of rows: 0 (the default) takes one a core, 1 draws
  // on the caller's thread alone. The image is the same with any number.
  void SetDrawThreads(int count) { drawThreads_ = count; }

  const Movie& movie() const { return *movie_; }
  const Instance& root() const { return *root_; }
  std::size_t CurrentFrame() const { return root_->frame; }  // 0-based
  bool Playing() const { return root_->playing; }
  // Movie time in milliseconds: when the frame shown began, the first frame at 0.
  double Milliseconds() const;

  // Called for getURL with the address and the window name; the stub opens a browser.
  std::function<void(const std::string& url, const std::string& target)> onGetUrl;

  // Every line that a script traces.
  std::function<void(const std::string&)> onTrace;

  // Where the movie's data comes from (relative addresses resolve against `folder`) and where
  // its shared objects are saved (under `store`; empty keeps them in memory only). `movieUrl`
  // is the movie's path or address, which names the folders of its saves.
  void SetDataPaths(const std::filesystem::path& folder, const std::filesystem::path& store, const std::string& movieUrl);

  // Timeline control, as scripts use it (0-based frames).
  void GotoFrame(Instance& target, std::size_t frame, bool play);

  // Input, between ticks. Positions are stage pixels; buttons are 1 (left), 2 (right) and
  // 4 (middle); keys are key codes as Key.getCode gives them with the character typed (0 for
  // none) as Key.getAscii gives it.
  void MouseMove(double x, double y);
  void MouseDown(int button = 1);
  void MouseUp(int button = 1);
  void KeyDown(int code, int ascii);
  void KeyUp(int code, int ascii);
  void TextInput(char32_t ch);
  // An editing key for a focused text field alone (key codes as KeyDown's: 8 Backspace, 13 Enter,
  // 35 End, 36 Home, 37-40 arrows, 46 Delete; 65 selects all), without key events.
  void TextControl(int code);
  void MouseWheel(int delta);
  // The window lost (or got back) the keyboard: the focus leaves the stage with it.
  void WindowFocus(bool active);
  // An input method's text being composed: it stands in the focused field, in place of what was
  // composed before, and is committed (onChanged) by ImeCommit or when the field loses the focus.
  void ImePreedit(std::u16string_view text);
  void ImeCommit(std::u16string_view text);
  // What the pointer should look like where it is: a hand over buttons and clips that answer
  // the mouse (unless useHandCursor is false), hidden after Mouse.hide.
  enum class Cursor : std::uint8_t { Arrow, Hand, Hidden };
  Cursor CursorShape();
  // Whether the focus shows its yellow rectangle: Tab moved it and the pointer has not moved since.
  bool FocusHighlighted() const { return highlight_; }
  // A projector's own controls: playing the main timeline, and whether it starts over at its end.
  void SetPlaying(bool play) { root_->playing = play; }
  bool loop = true;
  // Dragging a clip with the pointer (startDrag); `bounds` are left, top, right and bottom in
  // the parent's pixels, or null.
  void StartDrag(Instance& inst, bool lockCenter, const double* bounds);
  void StopDrag();
  bool WasDragged(const Instance& inst) const { return dragSeen_.lock().get() == &inst; }
  // The clip under the pointer below a dragged one, or null.
  Instance* DropTarget(Instance& dragged);
  // Where the pointer is on the stage, in twips.
  Point MousePosition() const { return mouse_; }

  // The fonts text is laid out and drawn with: the movie's own, and device fonts from
  // `device` (by default the font files the system has).
  const text::FontSource& fonts() const { return *fonts_; }
  void SetDeviceFonts(std::shared_ptr<const text::FontSource> device);

  avm1::Machine& machine() { return *vm_; }
  // Sound: what plays, and the mixed output of each tick.
  SoundStage& sound() { return *sound_; }
  // The script object of an instance, made on first use.
  avm1::Clip* ObjectOf(Instance& inst);
  // Where an instance is placed in its parent (the root has its own).
  DisplayObject* DisplayOf(Instance& inst);
  Instance& rootInstance() { return *root_; }

  // Clips that scripts make, move and remove; depths are internal (scripts' plus kScriptDepthBase).
  avm1::Clip* DuplicateClip(Instance& source, const std::string& name, int depth, avm1::Object* init);
  avm1::Clip* AttachClip(Instance& parent, std::uint16_t characterId, const std::string& name, int depth,
                         avm1::Object* init);
  avm1::Clip* CreateEmptyClip(Instance& parent, const std::string& name, int depth);
  void RemoveClip(Instance& inst);
  bool SwapDepths(Instance& inst, int depth);
  std::size_t movieSize() const { return movie_->fileSize; }
  // Whether a script depth may hold clips that scripts make.
  static bool ScriptDepthUsable(double depth);

  // Text fields (display/text_field.cpp): createTextField's field, a box in the parent's pixels.
  avm1::Clip* CreateTextField(Instance& parent, const std::string& name, int depth, double x, double y, double width,
                              double height);
  // Fields bound to a variable show its value; a field whose variable is missing gives it its text.
  void SyncTextVariables();
  // After a field's text changed: its variable follows.
  void TextChanged(Instance& field);
  // The instance with the keyboard focus, or null.
  Instance* Focused() const;
  // A duplicated field starts over from its definition: an empty box for createTextField's.
  void CloneField(const Instance& source, DisplayObject& copy);
  // loadMovie and MovieClipLoader.loadClip: the movie or image at `url` replaces what `target`
  // shows, on a later frame; `listener` hears onLoadStart, onLoadProgress, onLoadComplete and
  // onLoadInit, or onLoadError. False when the address is unusable.
  bool LoadMovie(Instance& target, const std::string& url, avm1::Object* listener);
  // unloadMovie: the clip stays, empty.
  void UnloadMovie(Instance& target);
  // The movie whose characters an instance's timeline places.
  const Movie& MovieOf(const Instance& inst) const;

 private:
  // A job for the script queue: a block of actions, a handler property such as onEnterFrame
  // (`method`), or a class constructor.
  struct PendingScript {
    std::weak_ptr<Instance> target;
    std::shared_ptr<const std::vector<std::uint8_t>> code;
    std::string method;
    avm1::Function* constructor = nullptr;
    bool evenUnloaded = false;  // unload handlers run on a clip already taken off
  };
  // Jobs run in three bands: initialize events first, then construct events and class
  // constructors, then everything else, each band in the order queued.
  enum Band { kNormal = 0, kConstruct = 1, kInitialize = 2 };

  void ApplyFrame(Instance& inst, std::size_t frame, bool runScripts);
  void Rewind(Instance& inst, std::size_t target);
  void Place(Instance& inst, const PlaceObject& p, std::size_t frame);
  void ApplyPlacement(DisplayObject& obj, const PlaceObject& p);
  // Puts a new object on a depth (replacing what was there) and brings it to life.
  DisplayObject* Instantiate(Instance& parent, int depth, DisplayObject obj, bool byScript,
                             avm1::Object* init = nullptr);
  void RemoveAt(Instance& parent, int depth);
  bool HasUnloadHandlers(Instance& inst);
  void Unload(Instance& inst, bool runHandlers);
  void FinishRemovals();
  void Advance(Instance& inst);
  void RunQueue();
  void Queue(Band band, PendingScript job) { queues_[band].push_back(std::move(job)); }
  void QueueClipEvent(Instance& inst, std::uint32_t event, const char* method, Band band = kNormal);
  avm1::Function* RegisteredClass(std::uint16_t characterId);
  void CallConstructor(Instance& inst, avm1::Function* ctor);
  std::shared_ptr<Instance> NewInstance(Instance& parent, InstanceKind kind, const Timeline* timeline);
  void DrawList(const DrawContext& ctx, const Instance& inst, const Matrix& m, const ColorTransform& cx) const;
  void DrawObject(const DrawContext& ctx, const DisplayObject& obj, const Matrix& m, const ColorTransform& cx) const;
  void DrawPlaced(const DrawContext& ctx, const DisplayObject& obj, const Matrix& m, const ColorTransform& cx) const;
  // The coverage of `mask` (a setMask clip) drawn into `out`, for the clip `masked` whose
  // parent's device matrix is `m`.
  void DrawMaskOf(const DrawContext& ctx, const Instance& mask, const Matrix& m, const Instance& masked,
                  MaskBuffer& out) const;
  // What the object itself draws (its shape, or a sprite's drawing and children) through `world`.
  void DrawContent(const DrawContext& ctx, const DisplayObject& obj, const Matrix& world, const ColorTransform& color) const;
  // An object drawn on its own into an offscreen layer, then composited (display/layered.cpp).
  void DrawLayered(const DrawContext& ctx, const DisplayObject& obj, const Matrix& m, const ColorTransform& cx) const;

  // Pointer events: the object under the pointer that answers the mouse, and the one pressed.
  enum class MouseEvent { RollOver, RollOut, Press, Release, ReleaseOutside, DragOver, DragOut };
  Instance* Pick(Instance& inst, Point local, int depth);
  bool Interactive(Instance& inst);
  bool TracksAsMenu(Instance& inst);
  bool ButtonHit(const Instance& button, Point local) const;
  void FireMouse(Instance& inst, MouseEvent event);
  void SetButtonState(Instance& button, int state);
  void UpdateHover();
  void BroadcastClipEvent(std::uint32_t event, const char* method);
  bool ButtonKeyPress(int code, int ascii);
  std::vector<std::shared_ptr<Instance>> LiveInstances();

  std::shared_ptr<const Movie> movie_;
  std::shared_ptr<const text::FontSource> fonts_;
  Point mouse_{};
  bool mouseDown_ = false;
  std::shared_ptr<Instance> hover_, pressed_;
  void UpdateDrag();
  // Keyboard focus: Selection.setFocus and the Tab key move it; it hears key events first.
  void InstallFocus();
  // Keyboard focus, display/focus.cpp.
  bool TakesFocus(Instance& inst);         // Selection.setFocus may give it the focus
  bool TabEnabled(Instance& inst);         // Tab stops at it in the automatic order
  void HoverFocus(Instance* to, bool now);  // the focus stands under the keyboard as under the pointer
  void ChangeFocus(Instance* to, bool rollsFirst);
  void FocusVisibility(Instance& inst);    // `inst` was hidden: a focus inside it is lost
  bool FocusRectShown(const Instance& inst) const;
  void DrawFocusRect(Canvas& canvas, const Matrix& toDevice, double scale) const;
  // What an instance covers on the stage, twips (left, top, right, bottom); false for nothing.
  bool StageBox(const Instance& inst, double out[4]) const;
  const DisplayObject* PlacedOf(const Instance& inst) const;
  Instance* MouseFocusTarget(Instance& inst, Point local, int depth);
  bool highlight_ = false;
  void SetFocus(Instance* to);
  struct Composition {
    std::weak_ptr<Instance> field;
    std::size_t start = 0, length = 0;
  } composition_;
  // Takes the composed text out of its field (it stays, uncommitted, when `keep`); the field.
  Instance* EndComposition(bool keep);
  // A click in a field puts its caret at the character boundary nearest the pointer.
  void PlaceCaret(Instance& field);
  void MoveFocus(bool backwards);
  void CallHandler(avm1::Object* obj, const char* name, std::vector<avm1::Value> args = {});
  std::weak_ptr<Instance> focus_;
  bool shiftDown_ = false, spacePressed_ = false;
  Instance* DropPick(Instance& inst, Point local, const Instance& excluded, int depth);
  std::weak_ptr<Instance> dragged_, dragSeen_;
  Point dragOffset_{};
  bool dragBounded_ = false;
  double dragBounds_[4] = {0, 0, 0, 0};  // twips
  std::shared_ptr<Instance> root_;
  std::array<std::deque<PendingScript>, 3> queues_;
  class ScriptHost;
  std::unique_ptr<ScriptHost> host_;
  class ColorHook;
  std::unique_ptr<ColorHook> colors_;
  std::unique_ptr<SoundStage> sound_;
  std::unique_ptr<avm1::Machine> vm_;
  DisplayObject rootDisplay_;
  std::size_t collectedAt_ = 0;
  Timeline emptyTimeline_;
  std::set<const void*> initDone_;  // DoInitAction blocks already run
  std::shared_ptr<int> liveSprites_ = std::make_shared<int>(0);
  std::vector<std::weak_ptr<Instance>> lingering_;  // unloading clips, taken off at the end of the tick
  // Movies and images on their way into clips; their own loader, so no other load takes their results.
  struct MovieLoad {
    int ticket = 0;
    avm1::Clip* target = nullptr;  // found by its path when it arrives
    avm1::Object* listener = nullptr;
  };
  std::vector<MovieLoad> movieLoads_;
  std::shared_ptr<data::Loader> movieLoader_;
  void DeliverMovieLoads();
  Instance* ReplaceContent(Instance& target, std::shared_ptr<const Movie> movie);
  std::uint64_t nextSerial_ = 1;
  long nextInstanceName_ = 1;
  long ticks_ = 0;
  friend class ClipObject;
  // The drawing threads, started on the first frame drawn with more than one.
  int drawThreads_ = 0;
  mutable std::unique_ptr<BandPool> bands_;
  // Filtered layers, kept from one frame to the next while their objects stay the same.
  mutable std::unique_ptr<LayerCache> layers_;
  void RenderRows(Canvas& canvas, Quality quality, double scale, int rowTop, int rowBottom,
                  LayerCache* shared = nullptr) const;
};

}  // namespace quillon::player
