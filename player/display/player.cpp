#include "display/player.h"

#include <algorithm>
#include <cmath>

#include "display/clip_object.h"

namespace quillon::player {
namespace {

// Scripts that keep queueing scripts (a goto in every frame script) stop here per tick.
constexpr int kMaxScriptsPerTick = 10000;
constexpr int kMaxNesting = 32;
// Sprites placing sprites can multiply; beyond this many live instances new ones stay empty.
constexpr int kMaxSprites = 20000;
// The collector runs when this many objects were made since it last ran.
constexpr std::size_t kCollectEvery = 20000;
constexpr std::size_t kMaxClipLayers = 16;

}  // namespace

class Player::ScriptHost : public avm1::Host {
 public:
  explicit ScriptHost(Player& player) : player_(player) {}
  avm1::Clip* Root() override { return player_.ObjectOf(*player_.root_); }
  avm1::Clip* Level(int n) override { return n == 0 ? Root() : nullptr; }
  double Milliseconds() override { return player_.Milliseconds(); }
  void GetUrl(const std::string& url, const std::string& target, int) override {
    if (player_.onGetUrl) player_.onGetUrl(url, target);
  }
  void TraceRoots(std::vector<avm1::Object*>& out) override { Walk(*player_.root_, out); }

 private:
  static void Walk(Instance& inst, std::vector<avm1::Object*>& out) {
    if (inst.object) out.push_back(inst.object);
    for (auto& [depth, obj] : inst.displayList)
      if (obj.sprite) Walk(*obj.sprite, out);
  }
  Player& player_;
};

Player::Player(std::shared_ptr<const Movie> movie)
    : movie_(std::move(movie)), root_(std::make_shared<Instance>()), host_(std::make_unique<ScriptHost>(*this)) {
  root_->timeline = &movie_->timeline;
  emptyTimeline_.frames.emplace_back();
  vm_ = std::make_unique<avm1::Machine>(*host_, movie_->version);
  InstallMovieClip(*vm_, *this);
  vm_->onTrace = [this](const std::string& line) {
    if (onTrace) onTrace(line);
  };
}

// Timelines hold pointers into the machine's heap: they go first.
Player::~Player() {
  root_.reset();
  pending_.clear();
  vm_.reset();
}

avm1::Clip* Player::ObjectOf(Instance& inst) {
  if (!inst.object) inst.object = vm_->Make<ClipObject>(*this, inst.weak_from_this());
  return inst.object;
}

DisplayObject* Player::DisplayOf(Instance& inst) {
  auto parent = inst.parent.lock();
  if (!parent) return &rootDisplay_;
  for (auto& [depth, obj] : parent->displayList)
    if (obj.sprite.get() == &inst) return &obj;
  return nullptr;
}

std::shared_ptr<Instance> Player::NewSprite(Instance& parent, const Timeline* timeline) {
  if (parent.nesting >= kMaxNesting || *liveSprites_ >= kMaxSprites) return nullptr;
  auto sprite = std::make_shared<Instance>();
  sprite->liveCount = liveSprites_;
  ++*liveSprites_;
  sprite->timeline = timeline;
  sprite->parent = parent.weak_from_this();
  sprite->nesting = parent.nesting + 1;
  return sprite;
}

std::map<int, DisplayObject>::iterator Player::PlaceAt(Instance& parent, int depth, DisplayObject obj) {
  obj.depth = depth;
  parent.displayList.erase(depth);
  auto it = parent.displayList.emplace(depth, std::move(obj)).first;
  if (auto sprite = it->second.sprite; sprite && !sprite->entered) {
    EnterFrame(*sprite, 0);
    sprite->fresh = true;
    QueueClipEvent(*sprite, kEventLoad, "onLoad");
  }
  return it;
}

void Player::DuplicateClip(ClipObject& clip, const std::string& name, int depth) {
  auto inst = clip.instance();
  auto parent = inst ? inst->parent.lock() : nullptr;
  DisplayObject* from = inst ? DisplayOf(*inst) : nullptr;
  if (!parent || !from || depth < -16384 || depth > 2130690045) return;
  DisplayObject copy = *from;
  copy.name = name;
  copy.sprite = NewSprite(*parent, inst->timeline);
  if (!copy.sprite) return;
  PlaceAt(*parent, depth + 16384, std::move(copy));
}

void Player::RemoveClip(ClipObject& clip) {
  auto inst = clip.instance();
  auto parent = inst ? inst->parent.lock() : nullptr;
  if (!parent) return;
  for (auto it = parent->displayList.begin(); it != parent->displayList.end(); ++it)
    if (it->second.sprite == inst) {
      // Clips placed by the timeline stay; scripts remove only their own.
      if (it->first < 16384) return;
      parent->displayList.erase(it);
      return;
    }
}

avm1::Clip* Player::CreateEmptyClip(ClipObject& parentClip, const std::string& name, int depth) {
  auto parent = parentClip.instance();
  if (!parent || depth < -16384 || depth > 2130690045) return nullptr;
  DisplayObject obj;
  obj.name = name;
  obj.sprite = NewSprite(*parent, &emptyTimeline_);
  if (!obj.sprite) return nullptr;
  auto it = PlaceAt(*parent, depth + 16384, std::move(obj));
  return ObjectOf(*it->second.sprite);
}

void Player::QueueClipEvent(Instance& inst, std::uint32_t event, const char* method) {
  DisplayObject* d = DisplayOf(inst);
  if (d && d->clipActions)
    for (const ClipAction& action : *d->clipActions)
      if (action.events & event) pending_.push_back({inst.weak_from_this(), action.code, {}});
  if (method && inst.object) pending_.push_back({inst.weak_from_this(), nullptr, method});
}

void Player::EnterFrameEvents(Instance& inst) {
  std::vector<std::shared_ptr<Instance>> sprites;
  for (auto& [depth, obj] : inst.displayList)
    if (obj.sprite) sprites.push_back(obj.sprite);
  for (auto& s : sprites) {
    EnterFrameEvents(*s);
    QueueClipEvent(*s, kEventEnterFrame, "onEnterFrame");
  }
}

void Player::Place(Instance& inst, const PlaceObject& p) {
  auto it = inst.displayList.find(p.depth);
  const bool modify = p.move && it != inst.displayList.end();
  if (!modify && !p.characterId) return;
  DisplayObject fresh;
  DisplayObject& obj = modify ? it->second : fresh;
  if (p.characterId && (!modify || obj.characterId != *p.characterId)) {
    const auto dict = movie_->dictionary.find(*p.characterId);
    if (dict == movie_->dictionary.end()) {
      if (!modify) return;
    } else {
      obj.characterId = *p.characterId;
      obj.character = dict->second;
      obj.sprite.reset();
      if (const auto* sprite = std::get_if<SpriteDef>(obj.character.get())) obj.sprite = NewSprite(inst, &sprite->timeline);
    }
  }
  obj.depth = p.depth;
  if (p.matrix) obj.matrix = *p.matrix;
  if (p.colorTransform) obj.colorTransform = *p.colorTransform;
  if (p.ratio) obj.ratio = *p.ratio;
  if (p.name) obj.name = *p.name;
  if (p.clipDepth) obj.clipDepth = *p.clipDepth;
  if (p.visible) obj.visible = *p.visible;
  if (!p.clipActions.empty()) obj.clipActions = &p.clipActions;
  if (!modify) PlaceAt(inst, p.depth, std::move(fresh));
}

void Player::ApplyTags(Instance& inst, const Frame& frame, bool runScripts) {
  for (const ControlTag& tag : frame.tags) {
    if (const auto* p = std::get_if<PlaceObject>(&tag)) Place(inst, *p);
    else if (const auto* r = std::get_if<RemoveObject>(&tag)) inst.displayList.erase(r->depth);
    else if (const auto* a = std::get_if<DoAction>(&tag); a && runScripts && !movie_->usesActionScript3)
      pending_.push_back({inst.weak_from_this(), a->code, {}});
    else if (const auto* i = std::get_if<InitAction>(&tag); i && !movie_->usesActionScript3 && initDone_.insert(i).second)
      initScripts_.push_back({root_, i->code, {}});
  }
}

void Player::EnterFrame(Instance& inst, std::size_t frame) {
  if (!inst.timeline || frame >= inst.timeline->frames.size()) return;
  inst.frame = frame;
  inst.entered = true;
  ApplyTags(inst, inst.timeline->frames[frame], true);
}

void Player::GotoFrame(Instance& inst, std::size_t target, bool play) {
  inst.playing = play;
  if (!inst.timeline || inst.timeline->frames.empty()) return;
  target = std::min(target, inst.timeline->frames.size() - 1);
  if (inst.entered && target == inst.frame) return;
  std::size_t from = inst.entered ? inst.frame + 1 : 0;
  if (inst.entered && target < inst.frame) {
    // Rewinding rebuilds the list from the first frame; objects that stay on the same
    // depth with the same character keep running.
    std::map<int, DisplayObject> old = std::move(inst.displayList);
    inst.displayList.clear();
    for (std::size_t f = 0; f < target; ++f) ApplyTags(inst, inst.timeline->frames[f], false);
    ApplyTags(inst, inst.timeline->frames[target], true);
    for (auto& [depth, obj] : inst.displayList) {
      auto prev = old.find(depth);
      if (prev != old.end() && prev->second.characterId == obj.characterId && prev->second.sprite && obj.sprite)
        obj.sprite = std::move(prev->second.sprite);
    }
    inst.frame = target;
    return;
  }
  for (std::size_t f = from; f < target; ++f) ApplyTags(inst, inst.timeline->frames[f], false);
  EnterFrame(inst, target);
}

void Player::AdvanceChildren(Instance& inst) {
  std::vector<std::shared_ptr<Instance>> sprites;
  for (auto& [depth, obj] : inst.displayList)
    if (obj.sprite) sprites.push_back(obj.sprite);
  for (auto& s : sprites) {
    if (s->fresh) {
      s->fresh = false;
    } else if (s->playing && s->timeline && s->timeline->frames.size() > 1) {
      const std::size_t next = s->frame + 1 >= s->timeline->frames.size() ? 0 : s->frame + 1;
      GotoFrame(*s, next, true);
    }
    AdvanceChildren(*s);
  }
}

void Player::RunScripts() {
  int budget = kMaxScriptsPerTick;
  for (std::size_t i = 0; (i < pending_.size() || !initScripts_.empty()) && budget > 0; --budget) {
    PendingScript job;
    if (!initScripts_.empty()) {
      job = std::move(initScripts_.front());
      initScripts_.erase(initScripts_.begin());
    } else {
      job = pending_[i++];
    }
    auto target = job.target.lock();
    if (!target) continue;
    avm1::Clip* clip = ObjectOf(*target);
    if (job.code) {
      vm_->RunScript(job.code, clip);
    } else {
      // A handler property: runs when set on the clip, with the clip as this.
      try {
        vm_->running_++;
        vm_->scriptStart = std::chrono::steady_clock::now();
        vm_->CallMethod(clip, job.method, {});
      } catch (const avm1::ScriptThrow&) {
      } catch (const avm1::ScriptAbort&) {
      }
      vm_->running_--;
    }
  }
  pending_.clear();
  initScripts_.clear();
}

double Player::Milliseconds() const {
  const double rate = movie_->frameRate > 0 ? movie_->frameRate : 12;
  return std::floor(static_cast<double>(ticks_ > 0 ? ticks_ - 1 : 0) * 1000 / rate);
}

void Player::Tick() {
  ++ticks_;
  vm_->BeginFrame();
  Instance& root = *root_;
  if (root.entered) {
    EnterFrameEvents(root);
    QueueClipEvent(root, kEventEnterFrame, "onEnterFrame");
  }
  if (!root.entered) {
    EnterFrame(root, 0);
    // Sprites placed on the first frame do not advance on it.
  } else if (root.playing && root.timeline->frames.size() > 1) {
    const std::size_t next = root.frame + 1 >= root.timeline->frames.size() ? 0 : root.frame + 1;
    GotoFrame(root, next, true);
  }
  AdvanceChildren(root);
  RunScripts();
  vm_->RunTimers(Milliseconds());
  if (vm_->ObjectCount() > collectedAt_ + kCollectEvery) {
    vm_->Collect();
    collectedAt_ = vm_->ObjectCount();
  }
}

void Player::Render(Canvas& canvas, Quality quality, double scale) const {
  std::fill(canvas.pixels.begin(), canvas.pixels.end(), movie_->background);
  DrawContext ctx;
  ctx.canvas = &canvas;
  ctx.quality = quality;
  ctx.bitmaps = [this](std::uint16_t id) -> const BitmapDef* {
    const Character* c = movie_->Find(id);
    return c ? std::get_if<BitmapDef>(c) : nullptr;
  };
  const Matrix toDevice = Matrix::Scale(scale / 20) * Matrix::Translate(-movie_->xMin, -movie_->yMin);
  DrawList(ctx, *root_, toDevice, ColorTransform{});
}

void Player::DrawList(const DrawContext& ctx, const Instance& inst, const Matrix& m, const ColorTransform& cx) const {
  struct Clip {
    int until;
    MaskBuffer mask;
  };
  std::vector<Clip> clips;
  const std::size_t size = static_cast<std::size_t>(ctx.canvas->width) * static_cast<std::size_t>(ctx.canvas->height);
  for (const auto& [depth, obj] : inst.displayList) {
    while (!clips.empty() && clips.back().until < depth) clips.pop_back();
    DrawContext local = ctx;
    local.maskLayers = ctx.maskLayers + clips.size();
    if (!clips.empty()) local.clip = &clips.back().mask;
    if (obj.clipDepth > 0) {
      // Each mask layer holds a frame-sized buffer; layers beyond the limit (counting those of
      // the enclosing sprites) are not drawn.
      if (ctx.maskLayers + clips.size() >= kMaxClipLayers) continue;
      Clip clip{obj.clipDepth, MaskBuffer(size, 0)};
      local.maskOut = &clip.mask;
      DrawObject(local, obj, m, cx);
      clips.push_back(std::move(clip));
      continue;
    }
    if (!obj.visible) continue;
    DrawObject(local, obj, m, cx);
  }
}

void Player::DrawObject(const DrawContext& ctx, const DisplayObject& obj, const Matrix& m,
                        const ColorTransform& cx) const {
  const Matrix world = m * obj.matrix;
  const ColorTransform color = cx * obj.colorTransform;
  if (!obj.character) return;
  if (const auto* shape = std::get_if<ShapeDef>(obj.character.get())) {
    DrawShape(ctx, shape->geometry, world, color);
  } else if (const auto* morph = std::get_if<MorphShapeDef>(obj.character.get())) {
    DrawShape(ctx, morph->at(obj.ratio), world, color);
  } else if (obj.sprite) {
    DrawList(ctx, *obj.sprite, world, color);
  }
}

}  // namespace quillon::player
