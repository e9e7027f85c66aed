#include "display/player.h"

#include <algorithm>
#include <cmath>

#include "avm1/classes/data_classes.h"
#include "avm1/classes/extra_classes.h"
#include "display/bitmap_display.h"
#include "display/clip_object.h"
#include "text/draw.h"
#include "text/movie_fonts.h"
#include "display/text_field.h"
#include "display/sound_stage.h"
#include "display/layered.h"
#include "render/band_pool.h"
#include "render/layer_cache.h"
#include "render/mask_rows.h"

namespace quillon::player {
namespace {

// Scripts that keep queueing scripts (a goto in every frame script) stop here per tick.
constexpr int kMaxJobsPerTick = 200000;
constexpr int kMaxNesting = 32;
// Sprites placing sprites can multiply; beyond this many live instances new ones stay empty.
constexpr int kMaxSprites = 20000;
// The collector runs when this many objects were made since it last ran.
constexpr std::size_t kCollectEvery = 20000;
constexpr std::size_t kMaxClipLayers = 16;
// Script depths: what scripts may make clips on, and remove them from.
constexpr double kLowestScriptDepth = -16384, kHighestScriptDepth = 2130690044, kRemovableBelow = 2130690032;
// Clips that wait for their unload handlers move below every depth the timeline uses; a free
// slot is looked for this many times.
constexpr int kMaxRelocationTries = 4096;

bool Scriptable(const Character* c) {
  if (!c) return false;
  if (std::holds_alternative<SpriteDef>(*c) || std::holds_alternative<ButtonDef>(*c)) return true;
  return std::holds_alternative<OtherDef>(*c) || std::holds_alternative<EditTextDef>(*c);
}

void Detach(Instance& inst, int depth = 0) {
  inst.detached = true;
  inst.unloaded = true;
  if (depth > kMaxNesting * 2) return;
  for (auto& [d, obj] : inst.displayList)
    if (obj.sprite) Detach(*obj.sprite, depth + 1);
}

}  // namespace

class Player::ScriptHost : public avm1::Host {
 public:
  explicit ScriptHost(Player& player) : player_(player) {}
  avm1::Clip* Root() override { return player_.ObjectOf(*player_.root_); }
  avm1::Clip* Level(int n) override { return n == 0 ? Root() : nullptr; }
  double Milliseconds() override { return player_.Milliseconds(); }
  // GetURL2's flags: 0x80 loads variables into the target (a clip path, or "_levelN"), the
  // low two bits send the current timeline's variables (1 GET, 2 POST).
  void GetUrl(const std::string& url, const std::string& target, int flags) override {
    if (flags & 0x80) {
      avm1::Machine& vm = player_.machine();
      avm1::Clip* base = vm.currentClip ? vm.currentClip : Root();
      if (avm1::Clip* clip = vm.ResolveTarget(target, base)) avm1::LoadVariables(vm, clip, url, flags & 3, base);
      return;
    }
    if (flags & 0x40) {  // into the clip the target names; no address unloads it
      avm1::Machine& vm = player_.machine();
      avm1::Clip* clip = vm.ResolveTarget(target, vm.currentClip ? vm.currentClip : Root());
      if (clip && url.empty()) UnloadMovie(clip);
      else if (clip) LoadMovie(clip, url, nullptr);
      return;
    }
    if (player_.onGetUrl) player_.onGetUrl(url, target);
  }
  bool LoadMovie(avm1::Clip* target, const std::string& url, avm1::Object* listener) override {
    auto* clip = dynamic_cast<ClipObject*>(target);
    const auto inst = clip ? clip->instance() : nullptr;
    return inst && player_.LoadMovie(*inst, url, listener);
  }
  bool UnloadMovie(avm1::Clip* target) override {
    auto* clip = dynamic_cast<ClipObject*>(target);
    const auto inst = clip ? clip->instance() : nullptr;
    if (!inst) return false;
    player_.UnloadMovie(*inst);
    return true;
  }
  void TraceRoots(std::vector<avm1::Object*>& out) override {
    Walk(*player_.root_, out, 0);
    for (const auto& held : {player_.hover_, player_.pressed_})
      if (held && held->object) out.push_back(held->object);
    for (const auto& load : player_.movieLoads_)
      for (avm1::Object* held : {static_cast<avm1::Object*>(load.target), load.listener})
        if (held) out.push_back(held);
    for (const auto& band : player_.queues_)
      for (const auto& job : band)
        if (job.constructor) out.push_back(job.constructor);
    player_.sound_->TraceRoots(out);
  }

 private:
  static void Walk(Instance& inst, std::vector<avm1::Object*>& out, int depth) {
    if (inst.object) out.push_back(inst.object);
    if (depth > kMaxNesting * 2) return;
    for (auto& [d, obj] : inst.displayList)
      if (obj.sprite) Walk(*obj.sprite, out, depth + 1);
  }
  Player& player_;
};

// Colour transforms and matrices for the Color and flash.geom classes.
class Player::ColorHook : public avm1::ColorTarget {
 public:
  explicit ColorHook(Player& player) : player_(player) {}
  bool GetColorTransform(avm1::Object* clip, double out[8]) override {
    const DisplayObject* d = Find(clip);
    if (!d) return false;
    const ColorTransform& c = d->colorTransform;
    const double v[8] = {c.rm, c.gm, c.bm, c.am, c.ra, c.ga, c.ba, c.aa};
    std::copy(v, v + 8, out);
    return true;
  }
  void SetColorTransform(avm1::Object* clip, const double in[8]) override {
    DisplayObject* d = Find(clip);
    if (!d) return;
    for (int i = 0; i < 8; ++i)
      if (!std::isfinite(in[i])) return;
    d->colorTransform = {in[0], in[1], in[2], in[3], in[4], in[5], in[6], in[7]};
    d->movedByScript = true;  // the timeline no longer moves or tints it
  }
  bool GetMatrix(avm1::Object* clip, double out[6]) override {
    const DisplayObject* d = Find(clip);
    if (!d) return false;
    const Matrix& m = d->matrix;
    const double v[6] = {m.a, m.b, m.c, m.d, m.tx / 20, m.ty / 20};
    std::copy(v, v + 6, out);
    return true;
  }
  bool SetMatrix(avm1::Object* clip, const double in[6]) override {
    DisplayObject* d = Find(clip);
    if (!d) return false;
    for (int i = 0; i < 6; ++i)
      if (!std::isfinite(in[i])) return true;
    auto twips = [](double px) { return std::clamp(std::round(px * 20), -2147483648.0, 2147483647.0); };
    d->matrix = {in[0], in[1], in[2], in[3], twips(in[4]), twips(in[5])};
    d->scaleKnown = false;
    d->movedByScript = true;
    return true;
  }

 private:
  DisplayObject* Find(avm1::Object* clip) {
    auto* obj = dynamic_cast<ClipObject*>(clip);
    auto inst = obj ? obj->instance() : nullptr;
    return inst ? player_.DisplayOf(*inst) : nullptr;
  }
  Player& player_;
};

Player::Player(std::shared_ptr<const Movie> movie)
    : movie_(std::move(movie)), root_(std::make_shared<Instance>()), host_(std::make_unique<ScriptHost>(*this)) {
  SetDeviceFonts(text::DeviceFonts::System());
  root_->timeline = &movie_->timeline;
  emptyTimeline_.frames.emplace_back();
  vm_ = std::make_unique<avm1::Machine>(*host_, movie_->version);
  InstallMovieClip(*vm_, *this);
  InstallBitmapDisplay(*vm_, *this);
  InstallTextField(*vm_, *this);
  // The machine installs Stage, Color and flash.geom; they learn the stage from here.
  avm1::SetStageSize(*vm_, movie_->StageWidth(), movie_->StageHeight());
  colors_ = std::make_unique<ColorHook>(*this);
  avm1::SetColorTarget(*vm_, colors_.get());
  sound_ = std::make_unique<SoundStage>(*this);
  avm1::SetSoundControl(*vm_, sound_.get());
  vm_->onTrace = [this](const std::string& line) {
    if (onTrace) onTrace(line);
  };
  InstallFocus();
}

void Player::SetDeviceFonts(std::shared_ptr<const text::FontSource> device) {
  fonts_ = std::make_shared<text::MovieFonts>(movie_, std::move(device));
}

// Timelines hold pointers into the machine's heap: they go first.
Player::~Player() {
  // The movie ends: its shared objects are saved while the machine is whole.
  if (vm_) avm1::FlushSharedObjects(*vm_);
  for (auto& band : queues_) band.clear();
  lingering_.clear();
  hover_.reset();
  pressed_.reset();
  root_.reset();
  if (vm_) avm1::SetColorTarget(*vm_, nullptr);
  if (vm_) avm1::SetSoundControl(*vm_, nullptr);
  sound_.reset();
  vm_.reset();
}

avm1::Clip* Player::ObjectOf(Instance& inst) {
  if (!inst.object) {
    auto* obj = vm_->Make<ClipObject>(*this, inst.weak_from_this(), inst.kind);
    inst.object = obj;
    obj->RememberPath();
  }
  return inst.object;
}

DisplayObject* Player::DisplayOf(Instance& inst) {
  auto parent = inst.parent.lock();
  if (!parent) return &inst == root_.get() ? &rootDisplay_ : nullptr;
  const auto it = parent->displayList.find(inst.depth);
  if (it != parent->displayList.end() && it->second.sprite.get() == &inst) return &it->second;
  return nullptr;
}

std::shared_ptr<Instance> Player::NewInstance(Instance& parent, InstanceKind kind, const Timeline* timeline) {
  if (parent.nesting >= kMaxNesting || *liveSprites_ >= kMaxSprites) return nullptr;
  auto inst = std::make_shared<Instance>();
  inst->liveCount = liveSprites_;
  ++*liveSprites_;
  inst->kind = kind;
  inst->timeline = timeline;
  inst->parent = parent.weak_from_this();
  inst->nesting = parent.nesting + 1;
  inst->serial = nextSerial_++;
  return inst;
}

bool Player::ScriptDepthUsable(double depth) {
  return std::isfinite(depth) && depth >= kLowestScriptDepth && depth <= kHighestScriptDepth;
}

avm1::Function* Player::RegisteredClass(std::uint16_t characterId) {
  const auto name = movie_->exportNames.find(characterId);
  if (name == movie_->exportNames.end()) return nullptr;
  const avm1::Value registry = vm_->global()->Get("__registeredClasses");
  if (!registry.IsObject()) return nullptr;
  const avm1::Value ctor = registry.object->Get(name->second);
  return ctor.IsObject() ? dynamic_cast<avm1::Function*>(ctor.object) : nullptr;
}

void Player::CallConstructor(Instance& inst, avm1::Function* ctor) {
  avm1::Clip* self = ObjectOf(inst);
  self->Define("__constructor__", avm1::Value::Obj(ctor), avm1::kDontEnum);
  if (vm_->version() < 7) self->Define("constructor", avm1::Value::Obj(ctor), avm1::kDontEnum);
  vm_->CallFunction(ctor, avm1::Value::Obj(self), {});
}

DisplayObject* Player::Instantiate(Instance& parent, int depth, DisplayObject obj, bool byScript, avm1::Object* init) {
  InstanceKind kind = InstanceKind::Sprite;
  const Timeline* timeline = nullptr;
  bool scriptable = true;
  const Character* c = obj.character.get();
  if (const auto* sprite = c ? std::get_if<SpriteDef>(c) : nullptr) {
    timeline = &sprite->timeline;
  } else if (c && std::holds_alternative<ButtonDef>(*c)) {
    kind = InstanceKind::Button;
  } else if (c && std::holds_alternative<OtherDef>(*c)) {
    kind = InstanceKind::Video;
  } else if (c && std::holds_alternative<EditTextDef>(*c)) {
    kind = InstanceKind::EditText;
  } else if (!c && byScript) {
    timeline = &emptyTimeline_;
  } else {
    scriptable = false;
  }
  RemoveAt(parent, depth);
  obj.depth = depth;
  obj.byScript = byScript;
  obj.sprite.reset();
  if (scriptable) {
    obj.sprite = NewInstance(parent, kind, timeline);
    if (!obj.sprite) return nullptr;
    obj.sprite->depth = depth;
    if (const auto* sprite = std::get_if<SpriteDef>(c)) obj.sprite->movie = sprite->movie;
    if (kind != InstanceKind::Video) {
      const long n = nextInstanceName_++;
      if (obj.name.empty()) obj.name = "instance" + std::to_string(n);
    }
  }
  auto placed = parent.displayList.emplace(depth, std::move(obj)).first;
  if (!scriptable) return &placed->second;
  const std::shared_ptr<Instance> inst = placed->second.sprite;
  const std::uint16_t characterId = placed->second.characterId;

  avm1::Function* ctor = kind == InstanceKind::Sprite && characterId ? RegisteredClass(characterId) : nullptr;
  if (ctor) {
    const avm1::Value proto = ctor->Get("prototype");
    if (proto.IsObject()) ObjectOf(*inst)->SetProto(proto.object);
  }
  if (init) {
    avm1::Clip* self = ObjectOf(*inst);
    for (const std::string& key : init->EnumerableKeys()) self->Set(key, init->Get(key));
  }
  if (!byScript) {
    QueueClipEvent(*inst, kEventInitialize, nullptr, kInitialize);
    QueueClipEvent(*inst, kEventConstruct, nullptr, kConstruct);
    if (ctor) Queue(kConstruct, {inst, nullptr, {}, ctor, false});
  }
  if (const auto* button = c ? std::get_if<ButtonDef>(c) : nullptr) {
    inst->button = placed->second.character;
    for (const ButtonRecord& rec : button->records) {
      if (!(rec.states & 1)) continue;
      const auto& dictionary = MovieOf(*inst).dictionary;
      const auto dict = dictionary.find(rec.characterId);
      if (dict == dictionary.end() || dict->second.get() == c) continue;
      DisplayObject child;
      child.characterId = rec.characterId;
      child.character = dict->second;
      child.matrix = rec.matrix;
      child.colorTransform = rec.colorTransform;
      child.filters = rec.filters;
      child.blendMode = BlendModeName(BlendModeFromByte(rec.blendMode));
      Instantiate(*inst, rec.depth, std::move(child), false);
    }
  }
  if (const auto* edit = c ? std::get_if<EditTextDef>(c) : nullptr) {
    inst->field = std::make_shared<text::Field>(text::FieldFromDefinition(*edit, *fonts_));
    inst->field->swfVersion = movie_->version;
  }
  if (timeline) ApplyFrame(*inst, 0, true);
  if (byScript && ctor && !inst->detached) CallConstructor(*inst, ctor);
  QueueClipEvent(*inst, kEventLoad, "onLoad");
  return inst->detached ? nullptr : DisplayOf(*inst);
}

void Player::ApplyPlacement(DisplayObject& obj, const PlaceObject& p) {
  if (p.matrix && !obj.movedByScript) {
    obj.matrix = *p.matrix;
    obj.scaleKnown = false;
  }
  if (p.colorTransform && !obj.movedByScript) obj.colorTransform = *p.colorTransform;
  if (p.ratio) obj.ratio = *p.ratio;
  if (p.name) obj.name = *p.name;
  if (p.clipDepth) obj.clipDepth = *p.clipDepth;
  if (p.visible) obj.visible = *p.visible;
  if (p.blendMode) obj.blendMode = BlendModeName(BlendModeFromByte(*p.blendMode));
  if (p.cacheAsBitmap) obj.cacheAsBitmap = *p.cacheAsBitmap;
  if (p.filters) obj.filters = *p.filters;
  if (p.opaqueBackground) obj.opaqueBackground = *p.opaqueBackground;
}

void Player::Place(Instance& inst, const PlaceObject& p, std::size_t frame) {
  const auto it = inst.displayList.find(p.depth);
  if (p.move && it != inst.displayList.end()) {
    DisplayObject& obj = it->second;
    if (p.characterId && *p.characterId != obj.characterId && !obj.sprite) {
      // Shapes change character in place (tweens); scriptable objects keep theirs.
      const auto& dictionary = MovieOf(inst).dictionary;
      const auto dict = dictionary.find(*p.characterId);
      if (dict != dictionary.end() && !Scriptable(dict->second.get())) {
        obj.characterId = *p.characterId;
        obj.character = dict->second;
      }
    }
    ApplyPlacement(obj, p);
    return;
  }
  if (!p.characterId) return;
  const auto& dictionary = MovieOf(inst).dictionary;
  const auto dict = dictionary.find(*p.characterId);
  if (dict == dictionary.end()) return;
  DisplayObject obj;
  obj.characterId = *p.characterId;
  obj.character = dict->second;
  ApplyPlacement(obj, p);
  if (!p.clipActions.empty()) {
    obj.clipActions = &p.clipActions;
    obj.clipEvents = p.clipEventFlags;
  }
  obj.placedFrame = frame;
  Instantiate(inst, p.depth, std::move(obj), false);
}

bool Player::HasUnloadHandlers(Instance& inst) {
  if (const DisplayObject* d = DisplayOf(inst); d && d->clipActions && (d->clipEvents & kEventUnload))
    for (const ClipAction& a : *d->clipActions)
      if (a.events & kEventUnload) return true;
  if (inst.object && inst.object->Has("onUnload")) return true;
  for (auto& [depth, obj] : inst.displayList)
    if (obj.sprite && HasUnloadHandlers(*obj.sprite)) return true;
  return false;
}

void Player::Unload(Instance& inst, bool runHandlers) {
  if (inst.unloaded) return;
  inst.unloaded = true;
  if (runHandlers) QueueClipEvent(inst, kEventUnload, "onUnload");
  for (auto& [depth, obj] : inst.displayList)
    if (obj.sprite) Unload(*obj.sprite, runHandlers);
}

void Player::RemoveAt(Instance& parent, int depth) {
  const auto it = parent.displayList.find(depth);
  if (it == parent.displayList.end()) return;
  const std::shared_ptr<Instance> inst = it->second.sprite;
  if (!inst) {
    parent.displayList.erase(it);
    return;
  }
  if (!inst->unloaded && HasUnloadHandlers(*inst)) {
    // It stays, below the timeline's depths, until its handlers ran at the end of the tick.
    long to = -1L - depth;
    int tries = 0;
    while (parent.displayList.count(static_cast<int>(to)) && tries++ < kMaxRelocationTries && to > -2147483647L) --to;
    if (!parent.displayList.count(static_cast<int>(to))) {
      auto node = parent.displayList.extract(it);
      node.key() = static_cast<int>(to);
      node.mapped().depth = static_cast<int>(to);
      inst->depth = static_cast<int>(to);
      parent.displayList.insert(std::move(node));
      Unload(*inst, true);
      lingering_.push_back(inst);
      return;
    }
  }
  Unload(*inst, false);
  parent.displayList.erase(it);
  Detach(*inst);
}

void Player::FinishRemovals() {
  auto pending = std::move(lingering_);
  lingering_.clear();
  for (auto& weak : pending) {
    auto inst = weak.lock();
    if (!inst || inst->detached) continue;
    if (auto parent = inst->parent.lock()) {
      const auto it = parent->displayList.find(inst->depth);
      if (it != parent->displayList.end() && it->second.sprite == inst) parent->displayList.erase(it);
    }
    Detach(*inst);
  }
}

void Player::QueueClipEvent(Instance& inst, std::uint32_t event, const char* method, Band band) {
  const bool unload = event == kEventUnload;
  if (const DisplayObject* d = DisplayOf(inst); d && d->clipActions && (d->clipEvents & event))
    for (const ClipAction& action : *d->clipActions)
      if (action.events & event) Queue(band, {inst.weak_from_this(), action.code, {}, nullptr, unload});
  if (method && inst.object) Queue(band, {inst.weak_from_this(), nullptr, method, nullptr, unload});
}

void Player::ApplyFrame(Instance& inst, std::size_t frame, bool runScripts) {
  if (!inst.timeline || frame >= inst.timeline->frames.size()) return;
  const auto keep = inst.shared_from_this();
  inst.frame = frame;
  inst.entered = true;
  const Frame& tags = inst.timeline->frames[frame];
  const bool scripts = !movie_->usesActionScript3;
  // A frame's init actions run before anything else in it, once per movie.
  if (scripts)
    for (const ControlTag& tag : tags.tags)
      if (const auto* i = std::get_if<InitAction>(&tag); i && initDone_.insert(i).second)
        vm_->RunScript(i->code, ObjectOf(*root_));
  for (const ControlTag& tag : tags.tags) {
    if (const auto* p = std::get_if<PlaceObject>(&tag)) Place(inst, *p, frame);
    else if (const auto* r = std::get_if<RemoveObject>(&tag)) RemoveAt(inst, r->depth);
    else if (const auto* a = std::get_if<DoAction>(&tag); a && runScripts && scripts)
      Queue(kNormal, {inst.weak_from_this(), a->code, {}, nullptr, false});
  }
  if (runScripts) sound_->FrameEntered(inst, frame);
}

void Player::Rewind(Instance& inst, std::size_t target) {
  // What the timeline alone shows on the target frame, depth by depth.
  struct Wanted {
    PlaceObject place;
    const PlaceObject* origin = nullptr;
    std::size_t frame = 0, order = 0;
    bool kept = false;
  };
  std::map<int, Wanted> wanted;
  std::size_t order = 0;
  const auto keep = inst.shared_from_this();
  for (std::size_t f = 0; f <= target; ++f)
    for (const ControlTag& tag : inst.timeline->frames[f].tags) {
      if (const auto* p = std::get_if<PlaceObject>(&tag)) {
        auto w = wanted.find(p->depth);
        if (p->move && w != wanted.end()) {
          PlaceObject& into = w->second.place;
          if (p->matrix) into.matrix = p->matrix;
          if (p->colorTransform) into.colorTransform = p->colorTransform;
          if (p->ratio) into.ratio = p->ratio;
          if (p->name) into.name = p->name;
          if (p->clipDepth) into.clipDepth = p->clipDepth;
          if (p->visible) into.visible = p->visible;
          if (p->blendMode) into.blendMode = p->blendMode;
          if (p->cacheAsBitmap) into.cacheAsBitmap = p->cacheAsBitmap;
          if (p->filters) into.filters = p->filters;
          if (p->opaqueBackground) into.opaqueBackground = p->opaqueBackground;
        } else if (p->characterId) {
          Wanted fresh;
          fresh.place = *p;
          fresh.place.clipActions.clear();
          fresh.origin = p;
          fresh.frame = f;
          fresh.order = order++;
          wanted[p->depth] = std::move(fresh);
        }
      } else if (const auto* r = std::get_if<RemoveObject>(&tag)) {
        wanted.erase(r->depth);
      }
    }
  // The timeline's own objects that stay keep running; everything else on its depths leaves.
  std::vector<int> depths;
  for (const auto& [depth, obj] : inst.displayList)
    if (depth >= 0 && depth < kScriptDepthBase) depths.push_back(depth);
  for (const int depth : depths) {
    const auto it = inst.displayList.find(depth);
    if (it == inst.displayList.end()) continue;
    const auto w = wanted.find(depth);
    DisplayObject& obj = it->second;
    if (w != wanted.end() && !obj.byScript && obj.characterId == w->second.place.characterId.value_or(0) &&
        obj.placedFrame == w->second.frame) {
      ApplyPlacement(obj, w->second.place);
      w->second.kept = true;
    } else {
      RemoveAt(inst, depth);
    }
  }
  inst.frame = target;
  const Frame& tags = inst.timeline->frames[target];
  const bool scripts = !movie_->usesActionScript3;
  if (scripts)
    for (const ControlTag& tag : tags.tags)
      if (const auto* i = std::get_if<InitAction>(&tag); i && initDone_.insert(i).second)
        vm_->RunScript(i->code, ObjectOf(*root_));
  std::vector<std::pair<std::size_t, int>> fresh;
  for (const auto& [depth, w] : wanted)
    if (!w.kept) fresh.emplace_back(w.order, depth);
  std::sort(fresh.begin(), fresh.end());
  for (const auto& [ord, depth] : fresh) {
    const auto w = wanted.find(depth);
    if (w == wanted.end() || inst.displayList.count(depth)) continue;
    const auto& dictionary = MovieOf(inst).dictionary;
    const auto dict = dictionary.find(*w->second.place.characterId);
    if (dict == dictionary.end()) continue;
    DisplayObject obj;
    obj.characterId = dict->first;
    obj.character = dict->second;
    ApplyPlacement(obj, w->second.place);
    if (!w->second.origin->clipActions.empty()) {
      obj.clipActions = &w->second.origin->clipActions;
      obj.clipEvents = w->second.origin->clipEventFlags;
    }
    obj.placedFrame = w->second.frame;
    Instantiate(inst, depth, std::move(obj), false);
  }
  if (scripts)
    for (const ControlTag& tag : tags.tags)
      if (const auto* a = std::get_if<DoAction>(&tag)) Queue(kNormal, {inst.weak_from_this(), a->code, {}, nullptr, false});
  sound_->FrameEntered(inst, target);
}

void Player::GotoFrame(Instance& inst, std::size_t target, bool play) {
  inst.playing = play;
  if (!inst.timeline || inst.timeline->frames.empty() || inst.detached) return;
  target = std::min(target, inst.timeline->frames.size() - 1);
  if (inst.entered && target == inst.frame) return;
  if (inst.entered && target < inst.frame) {
    Rewind(inst, target);
    return;
  }
  // Frames passed over place and remove objects but run no scripts.
  for (std::size_t f = inst.entered ? inst.frame + 1 : 0; f < target; ++f) {
    ApplyFrame(inst, f, false);
    if (inst.frame != f || inst.detached) return;  // a script there moved the timeline itself
  }
  ApplyFrame(inst, target, true);
}

void Player::Advance(Instance& inst) {
  if (!inst.timeline || inst.timeline->frames.size() <= 1) return;
  if (inst.frame + 1 < inst.timeline->frames.size()) GotoFrame(inst, inst.frame + 1, true);
  else if (inst.timeline->loops && (loop || &inst != root_.get())) GotoFrame(inst, 0, true);
}

avm1::Clip* Player::DuplicateClip(Instance& source, const std::string& name, int depth, avm1::Object* init) {
  auto parent = source.parent.lock();
  const DisplayObject* from = DisplayOf(source);
  const bool field = source.kind == InstanceKind::EditText;
  if (!parent || !from || (source.kind != InstanceKind::Sprite && !field) || source.unloaded) return nullptr;
  DisplayObject copy;
  copy.characterId = from->characterId;
  copy.character = from->character;
  copy.matrix = from->matrix;
  copy.colorTransform = from->colorTransform;
  copy.ratio = from->ratio;
  copy.visible = from->visible;
  copy.clipActions = from->clipActions;
  copy.clipEvents = from->clipEvents;
  copy.xscale = from->xscale;
  copy.yscale = from->yscale;
  copy.rotation = from->rotation;
  copy.scaleKnown = from->scaleKnown;
  copy.movedByScript = true;
  copy.name = name;
  const std::shared_ptr<Drawing> drawing = source.drawing;
  const std::shared_ptr<Instance> keep = source.shared_from_this();
  DisplayObject* placed = Instantiate(*parent, depth, std::move(copy), true, init);
  if (!placed || !placed->sprite) return nullptr;
  if (drawing) placed->sprite->drawing = std::make_shared<Drawing>(*drawing);
  if (field) CloneField(source, *placed);
  return ObjectOf(*placed->sprite);
}

avm1::Clip* Player::AttachClip(Instance& parent, std::uint16_t characterId, const std::string& name, int depth,
                               avm1::Object* init) {
  const auto dict = movie_->dictionary.find(characterId);
  if (dict == movie_->dictionary.end() || !std::holds_alternative<SpriteDef>(*dict->second) || parent.unloaded)
    return nullptr;
  DisplayObject obj;
  obj.characterId = characterId;
  obj.character = dict->second;
  obj.name = name;
  DisplayObject* placed = Instantiate(parent, depth, std::move(obj), true, init);
  return placed && placed->sprite ? ObjectOf(*placed->sprite) : nullptr;
}

avm1::Clip* Player::CreateEmptyClip(Instance& parent, const std::string& name, int depth) {
  if (parent.unloaded) return nullptr;
  DisplayObject obj;
  obj.name = name;
  DisplayObject* placed = Instantiate(parent, depth, std::move(obj), true);
  return placed && placed->sprite ? ObjectOf(*placed->sprite) : nullptr;
}

void Player::RemoveClip(Instance& inst) {
  auto parent = inst.parent.lock();
  if (!parent || inst.unloaded) return;
  // Scripts remove only what lies on their own depths.
  const double script = static_cast<double>(inst.depth) - kScriptDepthBase;
  if (script < 0 || script >= kRemovableBelow) return;
  RemoveAt(*parent, inst.depth);
}

bool Player::SwapDepths(Instance& inst, int depth) {
  auto parent = inst.parent.lock();
  if (!parent || inst.unloaded || !DisplayOf(inst)) return false;
  if (depth == inst.depth) return true;
  auto& list = parent->displayList;
  auto mine = list.extract(inst.depth);
  auto other = list.extract(depth);
  if (other) {
    other.key() = inst.depth;
    other.mapped().depth = inst.depth;
    other.mapped().byScript = true;
    if (other.mapped().sprite) other.mapped().sprite->depth = inst.depth;
    list.insert(std::move(other));
  }
  mine.key() = depth;
  mine.mapped().depth = depth;
  mine.mapped().byScript = true;
  inst.depth = depth;
  list.insert(std::move(mine));
  return true;
}

void Player::RunQueue() {
  for (int budget = kMaxJobsPerTick; budget > 0; --budget) {
    auto band = std::find_if(queues_.rbegin(), queues_.rend(), [](const auto& q) { return !q.empty(); });
    if (band == queues_.rend()) break;
    PendingScript job = std::move(band->front());
    band->pop_front();
    auto target = job.target.lock();
    if (!target || target->detached || (target->unloaded && !job.evenUnloaded)) continue;
    avm1::Clip* clip = ObjectOf(*target);
    if (job.code) {
      vm_->RunScript(job.code, clip);
      continue;
    }
    // A handler property or a constructor: a call with the clip as this.
    vm_->CallGuarded([&] {
      if (job.constructor) CallConstructor(*target, job.constructor);
      else vm_->CallMethod(clip, job.method, {});
    });
  }
  for (auto& band : queues_) band.clear();
}

void Player::SetDataPaths(const std::filesystem::path& folder, const std::filesystem::path& store,
                          const std::string& movieUrl) {
  avm1::SetLoader(*vm_, std::make_shared<data::Loader>(folder));
  movieLoader_ = std::make_shared<data::Loader>(folder);
  avm1::SetSharedObjectStore(*vm_, store, movieUrl);
  sound_->SetFolder(folder);
}

double Player::Milliseconds() const {
  const double rate = movie_->frameRate > 0 ? movie_->frameRate : 12;
  return std::floor(static_cast<double>(ticks_ > 0 ? ticks_ - 1 : 0) * 1000 / rate);
}

void Player::Tick() {
  ++ticks_;
  vm_->BeginFrame();
  if (!root_->entered) {
    ApplyFrame(*root_, 0, true);
  } else {
    // Newer clips run first; clips made during this pass wait for the next tick.
    std::vector<std::shared_ptr<Instance>> order;
    std::vector<Instance*> stack{root_.get()};
    while (!stack.empty()) {
      Instance* inst = stack.back();
      stack.pop_back();
      if (inst->timeline && !inst->unloaded) order.push_back(inst->shared_from_this());
      for (auto& [depth, obj] : inst->displayList)
        if (obj.sprite && !obj.sprite->unloaded) stack.push_back(obj.sprite.get());
    }
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a->serial > b->serial; });
    for (const auto& inst : order) {
      if (inst->unloaded || inst->detached) continue;
      QueueClipEvent(*inst, kEventEnterFrame, "onEnterFrame");
      if (inst->playing) Advance(*inst);
    }
  }
  RunQueue();
  // Timers run up to the frame's end; scripts a timer started (an attached clip's onLoad) run
  // before the next timer.
  const double rate = movie_->frameRate > 0 ? movie_->frameRate : 12;
  vm_->RunTimers(std::floor(static_cast<double>(ticks_) * 1000 / rate), [this] { RunQueue(); });
  avm1::DeliverLoads(*vm_);
  RunQueue();
  SyncTextVariables();
  DeliverMovieLoads();
  FinishRemovals();
  sound_->EndTick();
  if (vm_->ObjectCount() > collectedAt_ + kCollectEvery) {
    vm_->Collect();
    collectedAt_ = vm_->ObjectCount();
  }
  vm_->EndFrame();
}

void Player::Render(Canvas& canvas, Quality quality, double scale) const {
  // Bands of at least this many rows: thinner ones cost more in setting up than they save.
  constexpr int kMinBandRows = 32;
  const int threads = std::min(BandPool::Resolve(drawThreads_), std::max(1, canvas.height / kMinBandRows));
  if (!layers_) layers_ = std::make_unique<LayerCache>();
  if (threads <= 1) {
    RenderRows(canvas, quality, scale, 0, canvas.height, layers_.get());
  } else {
    if (!bands_ || bands_->threads() != threads) bands_ = std::make_unique<BandPool>(threads);
    bands_->Run(threads, [&](int band) {
      RenderRows(canvas, quality, scale, canvas.height * band / threads, canvas.height * (band + 1) / threads,
                 layers_.get());
    });
  }
  layers_->EndFrame();
  if (!rootDisplay_.visible) return;
  const Matrix toDevice = Matrix::Scale(scale / 20) * Matrix::Translate(-movie_->xMin, -movie_->yMin);
  DrawFocusRect(canvas, toDevice, scale);
}

void Player::RenderRows(Canvas& canvas, Quality quality, double scale, int rowTop, int rowBottom,
                        LayerCache* shared) const {
  std::fill(canvas.pixels.begin() + static_cast<std::ptrdiff_t>(rowTop) * canvas.width,
            canvas.pixels.begin() + static_cast<std::ptrdiff_t>(rowBottom) * canvas.width, movie_->background);
  DrawContext ctx;
  ctx.canvas = &canvas;
  ctx.quality = quality;
  ctx.scale = scale;
  ctx.rowTop = rowTop;
  ctx.rowBottom = rowBottom;
  ctx.shared = shared;
  ctx.bitmaps = [this](std::uint16_t id) -> const BitmapDef* {
    const Character* c = movie_->Find(id);
    return c ? std::get_if<BitmapDef>(c) : nullptr;
  };
  const Matrix toDevice = Matrix::Scale(scale / 20) * Matrix::Translate(-movie_->xMin, -movie_->yMin);
  const Matrix m = toDevice * rootDisplay_.matrix;
  if (!rootDisplay_.visible) return;
  if (root_->drawing) DrawShape(ctx, root_->drawing->shape, m, rootDisplay_.colorTransform);
  DrawList(ctx, *root_, m, rootDisplay_.colorTransform);
}

void Player::DrawList(const DrawContext& ctx, const Instance& inst, const Matrix& m, const ColorTransform& cx) const {
  struct Clip {
    int until;
    MaskBuffer mask;
    RowSpan rows;  // what is drawn under it keeps to these
  };
  std::vector<Clip> clips;
  const std::size_t size = static_cast<std::size_t>(ctx.width()) * static_cast<std::size_t>(ctx.height());
  for (const auto& [depth, obj] : inst.displayList) {
    while (!clips.empty() && clips.back().until < depth) clips.pop_back();
    DrawContext local = ctx;
    local.maskLayers = ctx.maskLayers + clips.size();
    if (!clips.empty()) {
      local.clip = &clips.back().mask;
      local.rowTop = clips.back().rows.top, local.rowBottom = clips.back().rows.bottom;
    }
    if (obj.clipDepth > 0) {
      // Each mask layer holds a frame-sized buffer; layers beyond the limit (counting those of
      // the enclosing sprites) are not drawn.
      if (ctx.maskLayers + clips.size() >= kMaxClipLayers) continue;
      Clip clip{obj.clipDepth, MaskBuffer(size, 0), {}};
      local.maskOut = &clip.mask;
      if (clips.empty() || !clips.back().rows.empty()) DrawObject(local, obj, m, cx);
      clip.rows = CoveredRows(clip.mask, ctx.width(), local.rowTop, local.rowBottom);
      clips.push_back(std::move(clip));
      continue;
    }
    if (!obj.visible) continue;
    // Nothing shows through a mask that covers nothing here.
    if (!clips.empty() && clips.back().rows.empty()) continue;
    DrawObject(local, obj, m, cx);
  }
}

void Player::DrawObject(const DrawContext& ctx, const DisplayObject& obj, const Matrix& m,
                        const ColorTransform& cx) const {
  if (!obj.character && !obj.sprite) return;
  if (obj.sprite && !ctx.maskOut) {
    // A clip that masks another (setMask) shows only as that one's outline.
    if (auto of = obj.sprite->maskOf.lock(); of && !of->detached && of->mask.lock() == obj.sprite) return;
    if (auto by = obj.sprite->mask.lock(); by && !by->detached) {
      MaskBuffer mask(static_cast<std::size_t>(ctx.width()) * static_cast<std::size_t>(ctx.height()), 0);
      DrawMaskOf(ctx, *by, m, *obj.sprite, mask);
      DrawContext local = ctx;
      local.clip = &mask;
      const RowSpan rows = CoveredRows(mask, ctx.width(), ctx.rowTop, ctx.rowBottom);
      if (rows.empty()) return;
      local.rowTop = rows.top, local.rowBottom = rows.bottom;
      DrawPlaced(local, obj, m, cx);
      return;
    }
  }
  DrawPlaced(ctx, obj, m, cx);
}

void Player::DrawPlaced(const DrawContext& ctx, const DisplayObject& obj, const Matrix& m,
                        const ColorTransform& cx) const {
  if (!ctx.maskOut && NeedsLayer(obj)) {
    DrawLayered(ctx, obj, m, cx);
    return;
  }
  // A mask is its shapes' outline: blend modes and filters leave it alone, and a scroll rect
  // moves its content without cutting it.
  Matrix world = m * obj.matrix;
  if (obj.scrollRect) world = world * Matrix::Translate(-obj.scrollRect->x * 20, -obj.scrollRect->y * 20);
  DrawContent(ctx, obj, world, cx * obj.colorTransform);
}

void Player::DrawContent(const DrawContext& ctx, const DisplayObject& obj, const Matrix& world,
                         const ColorTransform& color) const {
  if (const auto* shape = obj.character ? std::get_if<ShapeDef>(obj.character.get()) : nullptr) {
    DrawShape(ctx, shape->geometry, world, color);
  } else if (const auto* morph = obj.character ? std::get_if<MorphShapeDef>(obj.character.get()) : nullptr) {
    DrawShape(ctx, morph->at(obj.ratio), world, color);
  } else if (const auto* staticText = obj.character ? std::get_if<TextDef>(obj.character.get()) : nullptr) {
    text::DrawStaticText(ctx, *staticText, *fonts_, world, color);
  } else if (const auto* bitmap = obj.character ? std::get_if<BitmapDef>(obj.character.get()) : nullptr) {
    DrawBitmap(ctx, *bitmap, world, color);
  } else if (obj.sprite && obj.sprite->field) {
    text::DrawField(ctx, *obj.sprite->field, *fonts_, world, color);
  } else if (obj.sprite && obj.sprite->movie) {
    // A loaded movie's shapes fill with its own bitmaps.
    DrawContext own = ctx;
    own.bitmaps = [movie = obj.sprite->movie](std::uint16_t id) -> const BitmapDef* {
      const Character* c = movie->Find(id);
      return c ? std::get_if<BitmapDef>(c) : nullptr;
    };
    if (obj.sprite->drawing) DrawShape(own, obj.sprite->drawing->shape, world, color);
    DrawList(own, *obj.sprite, world, color);
  } else if (obj.sprite) {
    if (obj.sprite->drawing) DrawShape(ctx, obj.sprite->drawing->shape, world, color);
    DrawList(ctx, *obj.sprite, world, color);
  }
}

// ---- Input ----

namespace {

constexpr const char* kButtonMethods[] = {"onPress", "onRelease", "onReleaseOutside", "onRollOver",
                                          "onRollOut", "onDragOver", "onDragOut"};
constexpr std::uint32_t kButtonEvents = kEventPress | kEventRelease | kEventReleaseOutside | kEventRollOver |
                                        kEventRollOut | kEventDragOver | kEventDragOut;

// Button states: which of the four a button is in, as the condition bits name them.
enum ButtonPhase { kIdle, kOverUp, kOverDown, kOutDown };

// The key code a button's key-press condition names for a key: the special keys have their
// own small numbers, the rest their character.
int ButtonKeyCode(int code, int ascii) {
  switch (code) {
    case 37: return 1;
    case 39: return 2;
    case 36: return 3;
    case 35: return 4;
    case 45: return 5;
    case 46: return 6;
    case 8: return 8;
    case 13: return 13;
    case 38: return 14;
    case 40: return 15;
    case 33: return 16;
    case 34: return 17;
    case 9: return 18;
    case 27: return 19;
    default: return ascii >= 32 && ascii < 128 ? ascii : 0;
  }
}

}  // namespace

bool Player::Interactive(Instance& inst) {
  if (inst.unloaded || inst.detached) return false;
  if (inst.object) {
    const avm1::Value enabled = inst.object->Get("enabled");
    if (!enabled.IsUndefined() && !vm_->ToBool(enabled)) return false;
  }
  if (inst.kind == InstanceKind::Button) return true;
  if (inst.kind != InstanceKind::Sprite) return false;
  if (const DisplayObject* d = DisplayOf(inst); d && d->clipActions && (d->clipEvents & kButtonEvents)) return true;
  if (inst.object)
    for (const char* m : kButtonMethods)
      if (inst.object->Has(m)) return true;
  return false;
}

bool Player::ButtonHit(const Instance& button, Point local) const {
  const auto* def = button.button ? std::get_if<ButtonDef>(button.button.get()) : nullptr;
  if (!def) return false;
  for (const ButtonRecord& rec : def->records) {
    if (!(rec.states & 8)) continue;
    const auto& dictionary = MovieOf(button).dictionary;
    const auto dict = dictionary.find(rec.characterId);
    if (dict == dictionary.end() || dict->second == button.button) continue;
    DisplayObject area;
    area.character = dict->second;
    area.matrix = rec.matrix;
    if (ObjectHit(area, local)) return true;
  }
  return false;
}

bool Player::TracksAsMenu(Instance& inst) {
  if (inst.object) {
    const avm1::Value v = inst.object->Get("trackAsMenu");
    if (!v.IsUndefined()) return vm_->ToBool(v);
  }
  const auto* def = inst.button ? std::get_if<ButtonDef>(inst.button.get()) : nullptr;
  return def && def->trackAsMenu;
}

Instance* Player::Pick(Instance& inst, Point local, int depth) {
  if (depth > kMaxNesting * 2) return nullptr;
  for (auto it = inst.displayList.rbegin(); it != inst.displayList.rend(); ++it) {
    DisplayObject& obj = it->second;
    if (!obj.visible || obj.clipDepth > 0 || !obj.sprite) continue;
    Instance& child = *obj.sprite;
    if (child.unloaded || child.detached) continue;
    const Point p = obj.matrix.inverse().apply(local);
    if (child.kind == InstanceKind::Button) {
      if (Interactive(child) && ButtonHit(child, p)) return &child;
      continue;
    }
    if (child.kind != InstanceKind::Sprite) continue;
    if (Instance* found = Pick(child, p, depth + 1)) return found;
    if (Interactive(child) && ObjectHit(obj, local)) return &child;
  }
  return nullptr;
}

void Player::SetButtonState(Instance& button, int state) {
  if (button.buttonState == state) return;
  const int from = button.buttonState;
  button.buttonState = state;
  sound_->ButtonChanged(button, from, state);
  const auto character = button.button;
  const auto* def = character ? std::get_if<ButtonDef>(character.get()) : nullptr;
  if (!def || button.detached) return;
  std::set<int> wanted;
  for (const ButtonRecord& rec : def->records)
    if (rec.states & state) wanted.insert(rec.depth);
  std::vector<int> gone;
  for (const auto& [depth, obj] : button.displayList) gone.push_back(depth);
  const auto keep = button.shared_from_this();
  for (const int depth : gone) RemoveAt(button, depth);
  for (const ButtonRecord& rec : def->records) {
    if (!(rec.states & state)) continue;
    const auto& dictionary = MovieOf(button).dictionary;
    const auto dict = dictionary.find(rec.characterId);
    if (dict == dictionary.end() || dict->second == character) continue;
    DisplayObject child;
    child.characterId = rec.characterId;
    child.character = dict->second;
    child.matrix = rec.matrix;
    child.colorTransform = rec.colorTransform;
    child.filters = rec.filters;
    child.blendMode = BlendModeName(BlendModeFromByte(rec.blendMode));
    Instantiate(button, rec.depth, std::move(child), false);
  }
}

void Player::FireMouse(Instance& inst, MouseEvent event) {
  static constexpr std::uint32_t kFlags[] = {kEventRollOver, kEventRollOut, kEventPress, kEventRelease,
                                             kEventReleaseOutside, kEventDragOver, kEventDragOut};
  static constexpr const char* kMethods[] = {"onRollOver", "onRollOut", "onPress", "onRelease",
                                             "onReleaseOutside", "onDragOver", "onDragOut"};
  const auto i = static_cast<std::size_t>(event);
  if (inst.kind == InstanceKind::Button) {
    // The state it goes to, and the condition that names the change.
    static constexpr std::uint16_t kConditions[] = {kCondIdleToOverUp, kCondOverUpToIdle, kCondOverUpToOverDown,
                                                    kCondOverDownToOverUp, kCondOutDownToIdle,
                                                    kCondOutDownToOverDown, kCondOverDownToOutDown};
    static constexpr int kShown[] = {2, 1, 4, 2, 1, 4, 2};
    SetButtonState(inst, kShown[i]);
    const auto* def = inst.button ? std::get_if<ButtonDef>(inst.button.get()) : nullptr;
    auto parent = inst.parent.lock();
    if (def && parent && !movie_->usesActionScript3)
      for (const ButtonAction& action : def->actions)
        if (action.conditions & kConditions[i]) Queue(kNormal, {parent, action.code, {}, nullptr, false});
  }
  QueueClipEvent(inst, kFlags[i], kMethods[i]);
}

void Player::UpdateHover() {
  const Point local = rootDisplay_.matrix.inverse().apply(mouse_);
  Instance* now = Pick(*root_, local, 0);
  // What the pointer was over stays so until the pointer moves, even when it left the stage:
  // its actions still run on its parent's timeline.
  const std::shared_ptr<Instance> before = hover_;
  if (now == before.get()) return;
  hover_ = now ? now->shared_from_this() : nullptr;
  if (mouseDown_) {
    // With the button held only the object pressed hears of the drag, and objects that track
    // as menus. A pressed button taken off and placed again is the same button to the pointer.
    const bool pressedGone = pressed_ && pressed_->detached;
    if (before && (before == pressed_ || TracksAsMenu(*before))) FireMouse(*before, MouseEvent::DragOut);
    if (now && (now == pressed_.get() || pressedGone || TracksAsMenu(*now))) FireMouse(*now, MouseEvent::DragOver);
  } else {
    if (before) FireMouse(*before, MouseEvent::RollOut);
    if (now) FireMouse(*now, MouseEvent::RollOver);
  }
}

std::vector<std::shared_ptr<Instance>> Player::LiveInstances() {
  std::vector<std::shared_ptr<Instance>> order;
  std::vector<Instance*> stack{root_.get()};
  while (!stack.empty()) {
    Instance* inst = stack.back();
    stack.pop_back();
    if (!inst->unloaded) order.push_back(inst->shared_from_this());
    for (auto& [depth, obj] : inst->displayList)
      if (obj.sprite && !obj.sprite->unloaded) stack.push_back(obj.sprite.get());
  }
  std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a->serial > b->serial; });
  return order;
}

void Player::BroadcastClipEvent(std::uint32_t event, const char* method) {
  for (const auto& inst : LiveInstances())
    if (inst->kind == InstanceKind::Sprite) QueueClipEvent(*inst, event, method);
}

Instance* Player::DropPick(Instance& inst, Point local, const Instance& excluded, int depth) {
  if (depth > kMaxNesting * 2) return nullptr;
  for (auto it = inst.displayList.rbegin(); it != inst.displayList.rend(); ++it) {
    const DisplayObject& obj = it->second;
    if (!obj.visible || obj.clipDepth > 0 || obj.sprite.get() == &excluded) continue;
    if (obj.sprite && obj.sprite->kind == InstanceKind::Sprite) {
      if (Instance* found = DropPick(*obj.sprite, obj.matrix.inverse().apply(local), excluded, depth + 1)) return found;
      continue;
    }
    if (&inst != root_.get() && ObjectHit(obj, local)) return &inst;
  }
  if (&inst != root_.get() && inst.drawing) {
    DisplayObject self;
    self.sprite = inst.shared_from_this();
    if (const DisplayObject* d = DisplayOf(inst); d && ObjectHit(self, local) && d->visible) return &inst;
  }
  return nullptr;
}

Instance* Player::DropTarget(Instance& dragged) {
  return DropPick(*root_, rootDisplay_.matrix.inverse().apply(mouse_), dragged, 0);
}

void Player::StartDrag(Instance& inst, bool lockCenter, const double* bounds) {
  DisplayObject* d = DisplayOf(inst);
  auto parent = inst.parent.lock();
  if (!d || !parent || inst.unloaded) return;
  dragged_ = inst.weak_from_this();
  dragSeen_ = dragged_;
  dragBounded_ = bounds != nullptr;
  if (bounds) {
    for (int i = 0; i < 4; ++i) dragBounds_[i] = std::isfinite(bounds[i]) ? std::round(bounds[i] * 20) : 0;
    if (dragBounds_[0] > dragBounds_[2]) std::swap(dragBounds_[0], dragBounds_[2]);
    if (dragBounds_[1] > dragBounds_[3]) std::swap(dragBounds_[1], dragBounds_[3]);
  }
  const Point at = StageMatrix(*this, *parent).inverse().apply(mouse_);
  dragOffset_ = lockCenter ? Point{0, 0} : Point{d->matrix.tx - at.x, d->matrix.ty - at.y};
  UpdateDrag();
}

void Player::StopDrag() { dragged_.reset(); }

void Player::UpdateDrag() {
  auto inst = dragged_.lock();
  if (!inst) return;
  DisplayObject* d = DisplayOf(*inst);
  auto parent = inst->parent.lock();
  if (!d || !parent || inst->unloaded) {
    dragged_.reset();
    return;
  }
  Point at = StageMatrix(*this, *parent).inverse().apply(mouse_);
  at.x += dragOffset_.x;
  at.y += dragOffset_.y;
  if (dragBounded_) {
    at.x = std::clamp(at.x, dragBounds_[0], dragBounds_[2]);
    at.y = std::clamp(at.y, dragBounds_[1], dragBounds_[3]);
  }
  if (!std::isfinite(at.x) || !std::isfinite(at.y)) return;
  d->matrix.tx = std::round(at.x);
  d->matrix.ty = std::round(at.y);
  d->movedByScript = true;
}

void Player::MouseMove(double x, double y) {
  const Point to{std::round(x * 20), std::round(y * 20)};
  // A move to where the pointer already is changes nothing, not even what the keyboard is over.
  if (!std::isfinite(to.x) || !std::isfinite(to.y) || (to.x == mouse_.x && to.y == mouse_.y)) return;
  mouse_ = to;
  highlight_ = false;
  UpdateDrag();
  BroadcastClipEvent(kEventMouseMove, "onMouseMove");
  avm1::MouseMoved(*vm_);
  UpdateHover();
  RunQueue();
}

void Player::MouseDown(int button) {
  if (button != 1) {
    avm1::MouseButton(*vm_, button, true);
    return;
  }
  if (highlight_) {
    // What the keyboard was over gives way to what the pointer is over.
    highlight_ = false;
    UpdateHover();
  }
  mouseDown_ = true;
  BroadcastClipEvent(kEventMouseDown, "onMouseDown");
  avm1::MouseButton(*vm_, 1, true);
  if (hover_) {
    pressed_ = hover_;
    FireMouse(*pressed_, MouseEvent::Press);
  }
  // A click gives the focus to the selectable text field under it, and takes it from anything else.
  Instance* target = MouseFocusTarget(*root_, rootDisplay_.matrix.inverse().apply(mouse_), 0);
  const bool intoField = target && target->field && target->field->selectable;
  ChangeFocus(intoField ? target : nullptr, false);
  if (intoField && Focused() == target) PlaceCaret(*target);
  RunQueue();
}

void Player::MouseUp(int button) {
  if (button != 1) {
    avm1::MouseButton(*vm_, button, false);
    return;
  }
  mouseDown_ = false;
  highlight_ = false;
  BroadcastClipEvent(kEventMouseUp, "onMouseUp");
  avm1::MouseButton(*vm_, 1, false);
  const std::shared_ptr<Instance> pressed = std::move(pressed_);
  pressed_.reset();
  if (pressed) FireMouse(*pressed, pressed == hover_ ? MouseEvent::Release : MouseEvent::ReleaseOutside);
  RunQueue();
}

bool Player::ButtonKeyPress(int code, int ascii) {
  const int key = ButtonKeyCode(code, ascii);
  if (!key || movie_->usesActionScript3) return false;
  bool matched = false;
  for (const auto& inst : LiveInstances()) {
    if (inst->kind == InstanceKind::Button) {
      const auto* def = inst->button ? std::get_if<ButtonDef>(inst->button.get()) : nullptr;
      auto parent = inst->parent.lock();
      if (!def || !parent || !Interactive(*inst)) continue;
      for (const ButtonAction& action : def->actions)
        if (action.keyCode == key) {
          Queue(kNormal, {parent, action.code, {}, nullptr, false});
          matched = true;
        }
    } else if (const DisplayObject* d = DisplayOf(*inst); d && d->clipActions && (d->clipEvents & kEventKeyPress)) {
      for (const ClipAction& action : *d->clipActions)
        if ((action.events & kEventKeyPress) && action.keyCode == key)
          Queue(kNormal, {inst, action.code, {}, nullptr, false});
    }
  }
  return matched;
}

void Player::CallHandler(avm1::Object* obj, const char* name, std::vector<avm1::Value> args) {
  if (!obj) return;
  vm_->CallGuarded([&] { vm_->CallMethod(obj, name, args); });
}

void Player::KeyDown(int code, int ascii) {
  if (code == 16) shiftDown_ = true;
  auto focus = focus_.lock();
  if (focus && (focus->detached || focus->unloaded)) focus.reset();
  // A focused clip or button hears the key before Key's listeners; text fields do not.
  const bool hears = focus && (focus->kind == InstanceKind::Sprite || focus->kind == InstanceKind::Button);
  avm1::KeyPressed(*vm_, code, ascii, [&] {
    if (hears) CallHandler(ObjectOf(*focus), "onKeyDown");
  });
  BroadcastClipEvent(kEventKeyDown, nullptr);
  // A key that a button's key-press action takes does nothing else.
  const bool taken = ButtonKeyPress(code, ascii);
  RunQueue();
  if (taken) return;
  if (code == 9) {
    MoveFocus(shiftDown_);
    RunQueue();
  } else if (focus && focus->field && (code == 46 || (code >= 35 && code <= 40))) {
    TextControl(code);  // keys that type no character still edit a focused field
  } else if (code == 32 && focus && !spacePressed_ && Interactive(*focus)) {
    // Space presses the focused button as a click would.
    spacePressed_ = true;
    FireMouse(*focus, MouseEvent::Press);
    RunQueue();
  } else if (code == 13 && focus && !focus->field && Interactive(*focus)) {
    // Enter clicks the focused button.
    FireMouse(*focus, MouseEvent::Press);
    FireMouse(*focus, MouseEvent::Release);
    RunQueue();
  }
}

void Player::KeyUp(int code, int ascii) {
  if (code == 16) shiftDown_ = false;
  auto focus = focus_.lock();
  if (focus && (focus->detached || focus->unloaded)) focus.reset();
  if (code == 32 && spacePressed_) {
    spacePressed_ = false;
    if (focus) {
      FireMouse(*focus, MouseEvent::Release);
      RunQueue();
    }
  }
  const bool hears = focus && (focus->kind == InstanceKind::Sprite || focus->kind == InstanceKind::Button);
  avm1::KeyReleased(*vm_, code, ascii, [&] {
    if (hears) CallHandler(ObjectOf(*focus), "onKeyUp");
  });
  BroadcastClipEvent(kEventKeyUp, nullptr);
  RunQueue();
}

// Typed text goes to a focused text field; without editable fields it has nowhere to go.
void Player::TextInput(char32_t ch) {
  // The window's characters for Backspace and Enter edit as those keys do.
  if (ch == 8 || ch == 13) {
    TextControl(static_cast<int>(ch));
    return;
  }
  Instance* inst = Focused();
  if (!inst || !inst->field || inst->field->readOnly || ch < 32 || ch == 127) return;
  std::u16string typed;
  if (ch >= 0x10000) {
    typed += static_cast<char16_t>(0xD800 + ((ch - 0x10000) >> 10));
    typed += static_cast<char16_t>(0xDC00 + ((ch - 0x10000) & 0x3FF));
  } else {
    typed += static_cast<char16_t>(ch);
  }
  if (!TypeIntoField(*inst->field, typed)) return;
  TextChanged(*inst);
  NotifyFieldChanged(*vm_, *static_cast<ClipObject*>(ObjectOf(*inst)));
  RunQueue();
}

void Player::TextControl(int code) {
  Instance* inst = Focused();
  if (!inst || !inst->field) return;
  FieldKey key = FieldKey::None;
  switch (code) {
    case 8: key = FieldKey::Backspace; break;
    case 13: key = FieldKey::Enter; break;
    case 35: key = FieldKey::End; break;
    case 36: key = FieldKey::Home; break;
    case 37: key = FieldKey::Left; break;
    case 38: key = FieldKey::Up; break;
    case 39: key = FieldKey::Right; break;
    case 40: key = FieldKey::Down; break;
    case 46: key = FieldKey::Delete; break;
    case 65: key = FieldKey::SelectAll; break;
    default: return;
  }
  if (!EditFieldKey(*inst->field, key, shiftDown_)) return;
  TextChanged(*inst);
  NotifyFieldChanged(*vm_, *static_cast<ClipObject*>(ObjectOf(*inst)));
  RunQueue();
}

void Player::MouseWheel(int delta) {
  avm1::MouseWheel(*vm_, delta);
  RunQueue();
}

}  // namespace quillon::player

