#include "display/player.h"

#include <algorithm>
#include <cmath>

#include "avm1/classes/data_classes.h"
#include "avm1/classes/extra_classes.h"
#include "display/clip_object.h"

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
  if (const auto* other = std::get_if<OtherDef>(c)) return other->kind != OtherKind::StaticText;
  return false;
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
    if (player_.onGetUrl) player_.onGetUrl(url, target);
  }
  void TraceRoots(std::vector<avm1::Object*>& out) override {
    Walk(*player_.root_, out, 0);
    for (const auto& band : player_.queues_)
      for (const auto& job : band)
        if (job.constructor) out.push_back(job.constructor);
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
  root_->timeline = &movie_->timeline;
  emptyTimeline_.frames.emplace_back();
  vm_ = std::make_unique<avm1::Machine>(*host_, movie_->version);
  InstallMovieClip(*vm_, *this);
  // The machine installs Stage, Color and flash.geom; they learn the stage from here.
  avm1::SetStageSize(*vm_, movie_->StageWidth(), movie_->StageHeight());
  colors_ = std::make_unique<ColorHook>(*this);
  avm1::SetColorTarget(*vm_, colors_.get());
  vm_->onTrace = [this](const std::string& line) {
    if (onTrace) onTrace(line);
  };
}

// Timelines hold pointers into the machine's heap: they go first.
Player::~Player() {
  // The movie ends: its shared objects are saved while the machine is whole.
  if (vm_) avm1::FlushSharedObjects(*vm_);
  for (auto& band : queues_) band.clear();
  lingering_.clear();
  root_.reset();
  if (vm_) avm1::SetColorTarget(*vm_, nullptr);
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
  } else if (const auto* other = c ? std::get_if<OtherDef>(c) : nullptr; other && other->kind != OtherKind::StaticText) {
    kind = other->kind == OtherKind::Video ? InstanceKind::Video : InstanceKind::EditText;
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
    for (const ButtonRecord& rec : button->records) {
      if (!(rec.states & 1)) continue;
      const auto dict = movie_->dictionary.find(rec.characterId);
      if (dict == movie_->dictionary.end() || dict->second.get() == c) continue;
      DisplayObject child;
      child.characterId = rec.characterId;
      child.character = dict->second;
      child.matrix = rec.matrix;
      child.colorTransform = rec.colorTransform;
      Instantiate(*inst, rec.depth, std::move(child), false);
    }
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
  if (p.colorTransform) obj.colorTransform = *p.colorTransform;
  if (p.ratio) obj.ratio = *p.ratio;
  if (p.name) obj.name = *p.name;
  if (p.clipDepth) obj.clipDepth = *p.clipDepth;
  if (p.visible) obj.visible = *p.visible;
}

void Player::Place(Instance& inst, const PlaceObject& p, std::size_t frame) {
  const auto it = inst.displayList.find(p.depth);
  if (p.move && it != inst.displayList.end()) {
    DisplayObject& obj = it->second;
    if (p.characterId && *p.characterId != obj.characterId && !obj.sprite) {
      // Shapes change character in place (tweens); scriptable objects keep theirs.
      const auto dict = movie_->dictionary.find(*p.characterId);
      if (dict != movie_->dictionary.end() && !Scriptable(dict->second.get())) {
        obj.characterId = *p.characterId;
        obj.character = dict->second;
      }
    }
    ApplyPlacement(obj, p);
    return;
  }
  if (!p.characterId) return;
  const auto dict = movie_->dictionary.find(*p.characterId);
  if (dict == movie_->dictionary.end()) return;
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
    const auto dict = movie_->dictionary.find(*w->second.place.characterId);
    if (dict == movie_->dictionary.end()) continue;
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
  else if (inst.timeline->loops) GotoFrame(inst, 0, true);
}

avm1::Clip* Player::DuplicateClip(Instance& source, const std::string& name, int depth, avm1::Object* init) {
  auto parent = source.parent.lock();
  const DisplayObject* from = DisplayOf(source);
  if (!parent || !from || source.kind != InstanceKind::Sprite || source.unloaded) return nullptr;
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
    const bool outermost = vm_->running_ == 0;
    if (outermost) vm_->scriptStart = std::chrono::steady_clock::now();
    vm_->running_++;
    try {
      if (job.constructor) CallConstructor(*target, job.constructor);
      else vm_->CallMethod(clip, job.method, {});
    } catch (const avm1::ScriptThrow& thrown) {
      vm_->ReportUncaught(thrown.value);
    } catch (const avm1::ScriptAbort&) {
    }
    vm_->running_--;
  }
  for (auto& band : queues_) band.clear();
}

void Player::SetDataPaths(const std::filesystem::path& folder, const std::filesystem::path& store,
                          const std::string& movieUrl) {
  avm1::SetLoader(*vm_, std::make_shared<data::Loader>(folder));
  avm1::SetSharedObjectStore(*vm_, store, movieUrl);
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
  vm_->RunTimers(Milliseconds());
  avm1::DeliverLoads(*vm_);
  RunQueue();
  FinishRemovals();
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
  const Matrix m = toDevice * rootDisplay_.matrix;
  if (!rootDisplay_.visible) return;
  if (root_->drawing) DrawShape(ctx, root_->drawing->shape, m, rootDisplay_.colorTransform);
  DrawList(ctx, *root_, m, rootDisplay_.colorTransform);
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
  if (!obj.character && !obj.sprite) return;
  if (const auto* shape = obj.character ? std::get_if<ShapeDef>(obj.character.get()) : nullptr) {
    DrawShape(ctx, shape->geometry, world, color);
  } else if (const auto* morph = obj.character ? std::get_if<MorphShapeDef>(obj.character.get()) : nullptr) {
    DrawShape(ctx, morph->at(obj.ratio), world, color);
  } else if (obj.sprite) {
    if (obj.sprite->drawing) DrawShape(ctx, obj.sprite->drawing->shape, world, color);
    DrawList(ctx, *obj.sprite, world, color);
  }
}

}  // namespace quillon::player
