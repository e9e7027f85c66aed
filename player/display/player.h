// Plays a movie: the main timeline and sprite timelines over their display lists, the
// AVM1 subset that timeline scripts use, and drawing a frame into a canvas.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "swf/movie.h"
#include "render/raster.h"

namespace quillon::player {

struct Instance;

// A script value.
struct Value {
  enum class Type { Undefined, Null, Bool, Number, String, Clip } type = Type::Undefined;
  double number = 0;
  bool boolean = false;
  std::string string;

  static Value Num(double n) { return {Type::Number, n, false, {}}; }
  static Value Str(std::string s) { return {Type::String, 0, false, std::move(s)}; }
  static Value Bool(bool b) { return {Type::Bool, 0, b, {}}; }
  static Value ClipAt(std::string path) { return {Type::Clip, 0, false, std::move(path)}; }
  double ToNumber() const;
  std::string ToString() const;
  bool ToBool() const;
};

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
};

class Avm1;

class Player {
 public:
  explicit Player(std::shared_ptr<const Movie> movie);

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

  // Timeline control, as scripts use it (0-based frames).
  void GotoFrame(Instance& target, std::size_t frame, bool play);

 private:
  void EnterFrame(Instance& inst, std::size_t frame);
  void ApplyTags(Instance& inst, const Frame& frame, bool runScripts);
  void Place(Instance& inst, const PlaceObject& p);
  void AdvanceChildren(Instance& inst);
  void RunScripts();
  void DrawList(const DrawContext& ctx, const Instance& inst, const Matrix& m, const ColorTransform& cx) const;
  void DrawObject(const DrawContext& ctx, const DisplayObject& obj, const Matrix& m, const ColorTransform& cx) const;

  struct PendingScript {
    std::weak_ptr<Instance> target;
    std::shared_ptr<const std::vector<std::uint8_t>> code;
  };

  std::shared_ptr<const Movie> movie_;
  std::shared_ptr<Instance> root_;
  std::vector<PendingScript> pending_;
  std::map<std::string, Value> variables_;
  std::shared_ptr<int> liveSprites_ = std::make_shared<int>(0);
  long actionBudget_ = 0;  // actions left in this tick
  long ticks_ = 0;
  // Seeded from the clock: it cannot fail, unlike a device that may have no entropy source.
  std::minstd_rand random_{static_cast<std::uint_fast32_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
  friend class Avm1;
};

}  // namespace quillon::player
