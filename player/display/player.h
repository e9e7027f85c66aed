// Plays a movie: the main timeline and sprite timelines over their display lists, their
// scripts on the script machine, and drawing a frame into a canvas.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>

#include "avm1/machine.h"
#include "swf/movie.h"
#include "render/raster.h"

namespace quillon::player {

struct Instance;

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
  std::shared_ptr<Instance> sprite;  // for sprite characters
  const std::vector<ClipAction>* clipActions = nullptr;  // its onClipEvent handlers, from the timeline
};

// A running timeline: the main movie or a placed sprite.
struct Instance : std::enable_shared_from_this<Instance> {
  const Timeline* timeline = nullptr;
  std::size_t frame = 0;  // index of the frame shown; meaningful once `entered`
  bool entered = false;
  bool playing = true;
  int nesting = 0;     // sprites inside sprites, bounded against self-placing sprites
  bool fresh = false;  // placed during this tick: it already entered its first frame
  std::weak_ptr<Instance> parent;
  std::shared_ptr<int> liveCount;  // the player's count of sprite instances, kept by each
  ~Instance() {
    if (liveCount) --*liveCount;
  }
  std::map<int, DisplayObject> displayList;
  avm1::Clip* object = nullptr;  // its script object, made when first placed
};

class ClipObject;

class Player {
 public:
  explicit Player(std::shared_ptr<const Movie> movie);
  ~Player();

  // Advances every timeline one frame (the first call enters frame 1) and runs the scripts.
  void Tick();
  // Draws the current frame scaled by `scale` device pixels per stage pixel.
  void Render(Canvas& canvas, Quality quality, double scale = 1.0) const;

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

  // Timeline control, as scripts use it (0-based frames).
  void GotoFrame(Instance& target, std::size_t frame, bool play);

  avm1::Machine& machine() { return *vm_; }
  // The script object of a timeline, made on first use.
  avm1::Clip* ObjectOf(Instance& inst);
  // Where a timeline is placed in its parent (the root has its own).
  DisplayObject* DisplayOf(Instance& inst);
  // Clips that scripts make and remove; depths are the scripts' (0 and up for their own).
  void DuplicateClip(ClipObject& clip, const std::string& name, int depth);
  void RemoveClip(ClipObject& clip);
  avm1::Clip* CreateEmptyClip(ClipObject& parent, const std::string& name, int depth);
  std::size_t movieSize() const { return movie_->fileSize; }

 private:
  void EnterFrame(Instance& inst, std::size_t frame);
  void ApplyTags(Instance& inst, const Frame& frame, bool runScripts);
  void Place(Instance& inst, const PlaceObject& p);
  void AdvanceChildren(Instance& inst);
  void RunScripts();
  void DrawList(const DrawContext& ctx, const Instance& inst, const Matrix& m, const ColorTransform& cx) const;
  void DrawObject(const DrawContext& ctx, const DisplayObject& obj, const Matrix& m, const ColorTransform& cx) const;

  // A frame script, a clip event handler, or (with `method`) a handler property such as
  // onEnterFrame, queued to run in order.
  struct PendingScript {
    std::weak_ptr<Instance> target;
    std::shared_ptr<const std::vector<std::uint8_t>> code;
    std::string method;
  };
  void QueueClipEvent(Instance& inst, std::uint32_t event, const char* method);
  void EnterFrameEvents(Instance& inst);
  std::shared_ptr<Instance> NewSprite(Instance& parent, const Timeline* timeline);
  std::map<int, DisplayObject>::iterator PlaceAt(Instance& parent, int depth, DisplayObject obj);

  std::shared_ptr<const Movie> movie_;
  std::shared_ptr<Instance> root_;
  std::vector<PendingScript> pending_;
  class ScriptHost;
  std::unique_ptr<ScriptHost> host_;
  std::unique_ptr<avm1::Machine> vm_;
  DisplayObject rootDisplay_;
  std::vector<PendingScript> initScripts_;
  std::size_t collectedAt_ = 0;
  Timeline emptyTimeline_;
  std::set<const void*> initDone_;  // DoInitAction blocks already run
  std::shared_ptr<int> liveSprites_ = std::make_shared<int>(0);
  long ticks_ = 0;
  friend class ClipObject;
};

}  // namespace quillon::player
