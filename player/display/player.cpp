#include "display/player.h"

#include <algorithm>
#include <cmath>

#include "avm1.h"

namespace quillon::player {
namespace {

// Scripts that keep queueing scripts (a goto in every frame script) stop here per tick.
constexpr int kMaxScriptsPerTick = 10000;
constexpr int kMaxNesting = 32;
// Sprites placing sprites can multiply; beyond this many live instances new ones stay empty.
constexpr int kMaxSprites = 20000;
// All scripts of one tick together run at most this many actions (long ones count their bytes).
constexpr long kMaxActionsPerTick = 300000;
constexpr std::size_t kMaxClipLayers = 16;

}  // namespace

Player::Player(std::shared_ptr<const Movie> movie) : movie_(std::move(movie)), root_(std::make_shared<Instance>()) {
  root_->timeline = &movie_->timeline;
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
      if (const auto* sprite = std::get_if<SpriteDef>(obj.character.get()); sprite && inst.nesting < kMaxNesting && *liveSprites_ < kMaxSprites) {
        obj.sprite = std::make_shared<Instance>();
        obj.sprite->liveCount = liveSprites_;
        ++*liveSprites_;
        obj.sprite->timeline = &sprite->timeline;
        obj.sprite->parent = inst.weak_from_this();
        obj.sprite->nesting = inst.nesting + 1;
      }
    }
  }
  obj.depth = p.depth;
  if (p.matrix) obj.matrix = *p.matrix;
  if (p.colorTransform) obj.colorTransform = *p.colorTransform;
  if (p.ratio) obj.ratio = *p.ratio;
  if (p.name) obj.name = *p.name;
  if (p.clipDepth) obj.clipDepth = *p.clipDepth;
  if (p.visible) obj.visible = *p.visible;
  std::shared_ptr<Instance> started = obj.sprite && !obj.sprite->entered ? obj.sprite : nullptr;
  if (!modify) inst.displayList[p.depth] = std::move(fresh);
  if (started) {
    EnterFrame(*started, 0);
    started->fresh = true;
  }
}

void Player::ApplyTags(Instance& inst, const Frame& frame, bool runScripts) {
  for (const ControlTag& tag : frame.tags) {
    if (const auto* p = std::get_if<PlaceObject>(&tag)) Place(inst, *p);
    else if (const auto* r = std::get_if<RemoveObject>(&tag)) inst.displayList.erase(r->depth);
    else if (const auto* a = std::get_if<DoAction>(&tag); a && runScripts && !movie_->usesActionScript3)
      pending_.push_back({inst.weak_from_this(), a->code});
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
  for (std::size_t i = 0; i < pending_.size() && budget > 0; ++i, --budget) {
    const PendingScript job = pending_[i];
    if (auto target = job.target.lock()) {
      Avm1 vm(*this, target);
      vm.Run(*job.code);
    }
  }
  pending_.clear();
}

double Player::Milliseconds() const {
  const double rate = movie_->frameRate > 0 ? movie_->frameRate : 12;
  return std::floor(static_cast<double>(ticks_ > 0 ? ticks_ - 1 : 0) * 1000 / rate);
}

void Player::Tick() {
  actionBudget_ = kMaxActionsPerTick;
  ++ticks_;
  Instance& root = *root_;
  if (!root.entered) {
    EnterFrame(root, 0);
    // Sprites placed on the first frame do not advance on it.
  } else if (root.playing && root.timeline->frames.size() > 1) {
    const std::size_t next = root.frame + 1 >= root.timeline->frames.size() ? 0 : root.frame + 1;
    GotoFrame(root, next, true);
  }
  AdvanceChildren(root);
  RunScripts();
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
