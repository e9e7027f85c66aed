#include "display/sound_stage.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "display/clip_object.h"
#include "display/player.h"
#include "sound/decoder.h"

namespace quillon::player {
namespace {

// Samples kept for a reader that is late, about ten seconds: older ones are dropped.
constexpr std::size_t kMaxKeptSamples = sound::kOutputRate * 2 * 10;
// Sounds that scripts load get ids above the dictionary's.
constexpr std::uint32_t kFirstLoadedId = 0x10000;
constexpr std::size_t kMaxLoadedBytes = 64u << 20;
constexpr int kMaxNesting = 64;

// The channel count of an MP3 file: its first frame header says, after any ID3v2 tag.
bool Mp3IsStereo(const std::vector<std::uint8_t>& b) {
  std::size_t at = 0;
  if (b.size() >= 10 && b[0] == 'I' && b[1] == 'D' && b[2] == '3')
    at = 10 + (static_cast<std::size_t>(b[6] & 0x7F) << 21 | static_cast<std::size_t>(b[7] & 0x7F) << 14 |
               static_cast<std::size_t>(b[8] & 0x7F) << 7 | static_cast<std::size_t>(b[9] & 0x7F));
  for (; at + 3 < b.size(); ++at)
    if (b[at] == 0xFF && (b[at + 1] & 0xE0) == 0xE0) return (b[at + 3] >> 6) != 3;
  return true;
}

}  // namespace

SoundStage::SoundStage(Player& player) : player_(player) {}

bool SoundStage::HasSound() const { return !loaded_.empty() || MovieHasSound(player_.movie()); }

bool SoundStage::MovieHasSound(const Movie& m) {
  if (!m.sounds.empty() || m.timeline.stream) return true;
  for (const auto& [id, c] : m.dictionary)
    if (const auto* sprite = std::get_if<SpriteDef>(c.get()); sprite && sprite->timeline.stream) return true;
  return false;
}

std::shared_ptr<const sound::SoundDef> SoundStage::Find(std::uint32_t id) const {
  if (id >= kFirstLoadedId) {
    const auto it = loaded_.find(id);
    return it == loaded_.end() ? nullptr : it->second;
  }
  const auto& sounds = player_.movie().sounds;
  const auto it = sounds.find(static_cast<std::uint16_t>(id));
  return it == sounds.end() ? nullptr : it->second;
}

sound::Transform* SoundStage::TransformOf(const Instance& inst) {
  const auto it = transforms_.find(&inst);
  if (it == transforms_.end()) return nullptr;
  // A new instance at the address of a gone one starts afresh.
  if (it->second.inst.lock().get() != &inst) {
    transforms_.erase(it);
    return nullptr;
  }
  return &it->second.transform;
}

// The gains of a clip's sound: its own transform, then each parent's, then the movie's.
std::function<sound::Gains()> SoundStage::GainsOf(Instance* inst) {
  std::weak_ptr<Instance> weak = inst ? inst->weak_from_this() : std::weak_ptr<Instance>();
  return [this, weak]() {
    sound::Gains g;
    auto at = weak.lock();
    for (int i = 0; at && i < kMaxNesting; ++i) {
      if (const sound::Transform* t = TransformOf(*at)) g = t->Over(g);
      at = at->parent.lock();
    }
    return global_.Over(g);
  };
}

void SoundStage::Play(const sound::StartSound& s, Instance* inst) {
  const auto def = Find(s.soundId);
  if (!def) return;
  const std::uint32_t id = s.soundId;
  if (s.info.stop) {
    mixer_.StopIf([id](const sound::Voice& v) { return v.soundId == id; });
    return;
  }
  if (s.info.noMultiple && mixer_.AnyPlaying([id](const sound::Voice& v) { return v.soundId == id; })) return;
  sound::Voice v;
  v.pcm = std::shared_ptr<const sound::Pcm>(def, &def->pcm);
  v.info = s.info;
  v.soundId = id;
  v.owner = inst;
  v.gains = GainsOf(inst);
  mixer_.Play(std::move(v));
}

void SoundStage::FrameEntered(Instance& inst, std::size_t frame) {
  if (!inst.timeline || frame >= inst.timeline->frames.size()) return;
  for (const sound::StartSound& s : inst.timeline->frames[frame].sounds) Play(s, &inst);
  const auto& stream = inst.timeline->stream;
  if (!stream) return;
  auto it = streams_.find(&inst);
  if (it != streams_.end() && it->second.inst.lock().get() != &inst) {
    mixer_.Stop(it->second.voice);
    streams_.erase(it);
    it = streams_.end();
  }
  const std::size_t start = frame < stream->frameStart.size() ? stream->frameStart[frame] : sound::Stream::kNoBlock;
  // The stream plays on through the frames that follow; a jump, or a frame that starts it
  // afresh, starts it where that frame's block begins.
  if (it != streams_.end() && it->second.frame + 1 == frame && mixer_.Playing(it->second.voice)) {
    it->second.frame = frame;
    it->second.tick = ticks_;
    return;
  }
  if (it != streams_.end()) {
    mixer_.Stop(it->second.voice);
    streams_.erase(it);
  }
  if (start == sound::Stream::kNoBlock) return;
  sound::Voice v;
  v.pcm = std::shared_ptr<const sound::Pcm>(stream, &stream->pcm);
  v.startFrame = start;
  v.owner = &inst;
  v.gains = GainsOf(&inst);
  if (const auto voice = mixer_.Play(std::move(v))) streams_[&inst] = {inst.weak_from_this(), voice, frame, ticks_};
}

void SoundStage::ButtonChanged(Instance& button, int from, int to) {
  const DisplayObject* d = player_.DisplayOf(button);
  if (!d) return;
  const auto& all = player_.movie().buttonSounds;
  const auto it = all.find(d->characterId);
  if (it == all.end()) return;
  using Change = sound::ButtonSounds::Change;
  int change = -1;
  if (to == 1 && from != 1) change = Change::OverToIdle;
  else if (to == 2 && from == 1) change = Change::IdleToOver;
  else if (to == 4) change = Change::OverToDown;
  else if (to == 2 && from == 4) change = Change::DownToOver;
  if (change < 0) return;
  if (const auto& s = it->second.sounds[change]) Play(*s, &button);
}

void SoundStage::EndTick() {
  ++ticks_;
  // Streams stop with their clip; the frame it stopped on is still heard.
  for (auto it = streams_.begin(); it != streams_.end();) {
    auto inst = it->second.inst.lock();
    const bool stalled = inst && !inst->playing && it->second.tick != ticks_ - 1;
    if (!inst || inst->unloaded || inst->detached || stalled || !mixer_.Playing(it->second.voice)) {
      mixer_.Stop(it->second.voice);
      it = streams_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto it = transforms_.begin(); it != transforms_.end();)
    it = it->second.inst.expired() ? transforms_.erase(it) : std::next(it);
  const double rate = player_.movie().frameRate > 0 ? player_.movie().frameRate : 12;
  auto samplesBy = [rate](long ticks) { return static_cast<std::size_t>(std::floor(static_cast<double>(ticks) * sound::kOutputRate / rate)); };
  const std::size_t frames = samplesBy(ticks_) - samplesBy(ticks_ - 1);
  std::vector<std::int16_t>& into = keep_ ? audio_ : scratch_;
  if (!keep_) scratch_.clear();
  const std::size_t at = into.size();
  into.resize(at + frames * 2, 0);
  mixer_.Mix(std::span<std::int16_t>(into).subspan(at));
  if (audio_.size() > kMaxKeptSamples)
    audio_.erase(audio_.begin(), audio_.begin() + static_cast<std::ptrdiff_t>(audio_.size() - kMaxKeptSamples));
  avm1::Machine& vm = player_.machine();
  for (const auto id : mixer_.TakeFinished()) {
    const auto it = owners_.find(id);
    if (it == owners_.end()) continue;
    avm1::Object* owner = it->second;
    owners_.erase(it);
    vm.CallGuarded([&] { vm.CallMethod(owner, "onSoundComplete", {}); });
  }
  // Voices that no longer play forget their owners too (stopped by scripts).
  std::erase_if(owners_, [this](const auto& kv) { return !mixer_.Playing(kv.first); });
}

void SoundStage::TraceRoots(std::vector<avm1::Object*>& out) const {
  for (const auto& [id, owner] : owners_) out.push_back(owner);
}

std::vector<std::int16_t> SoundStage::TakeAudio() {
  std::vector<std::int16_t> out;
  out.swap(audio_);
  return out;
}

std::shared_ptr<Instance> SoundStage::InstanceOf(avm1::Object* clip) {
  auto* obj = dynamic_cast<ClipObject*>(clip);
  return obj ? obj->instance() : nullptr;
}

bool SoundStage::GetTransform(avm1::Object* clip, sound::Transform& out) {
  if (!clip) {
    out = global_;
    return true;
  }
  const auto inst = InstanceOf(clip);
  if (!inst) return false;
  const sound::Transform* t = TransformOf(*inst);
  out = t ? *t : sound::Transform{};
  return true;
}

void SoundStage::SetTransform(avm1::Object* clip, const sound::Transform& in) {
  if (!clip) {
    global_ = in;
    return;
  }
  if (const auto inst = InstanceOf(clip)) transforms_[inst.get()] = {inst, in};
}

std::uint32_t SoundStage::FindSound(std::string_view name) {
  const std::uint16_t id = player_.movie().Exported(name);
  return id && player_.movie().sounds.count(id) ? id : 0;
}

// Only files beside the movie (or below its folder) are read.
std::uint32_t SoundStage::LoadSound(const std::string& url) {
  if (url.empty() || folder_.empty() || url.find("://") != std::string::npos || url.find("..") != std::string::npos ||
      url[0] == '/' || url[0] == '\\' || url.find(':') != std::string::npos)
    return 0;
  std::ifstream in(folder_ / url, std::ios::binary);
  if (!in) return 0;
  std::vector<std::uint8_t> bytes;
  for (std::istreambuf_iterator<char> it(in), end; it != end && bytes.size() < kMaxLoadedBytes; ++it)
    bytes.push_back(static_cast<std::uint8_t>(*it));
  sound::Format format;
  format.codec = sound::Codec::Mp3;
  format.stereo = Mp3IsStereo(bytes);
  auto decoder = sound::MakeDecoder(format);
  auto def = std::make_shared<sound::SoundDef>();
  def->format = format;
  decoder->Decode(bytes, def->pcm.samples);
  def->pcm.rate = decoder->rate();
  def->pcm.channels = decoder->channels();
  if (def->pcm.samples.empty()) return 0;
  def->sampleCount = static_cast<std::uint32_t>(def->pcm.frames());
  const auto id = kFirstLoadedId + static_cast<std::uint32_t>(loaded_.size());
  loaded_[id] = std::move(def);
  return id;
}

double SoundStage::DurationMs(std::uint32_t sound) {
  const auto def = Find(sound);
  return def ? def->DurationMs() : 0;
}

std::uint64_t SoundStage::Start(std::uint32_t sound, avm1::Object* clip, avm1::Object* owner, double offsetSeconds,
                                int loops) {
  const auto def = Find(sound);
  if (!def) return 0;
  const auto inst = clip ? InstanceOf(clip) : nullptr;
  sound::Voice v;
  v.pcm = std::shared_ptr<const sound::Pcm>(def, &def->pcm);
  v.info.loops = static_cast<std::uint16_t>(std::clamp(loops, 1, 65535));
  v.startFrame = static_cast<std::size_t>(std::min(offsetSeconds * def->pcm.rate, 1e15));
  v.soundId = sound;
  v.owner = inst ? inst.get() : clip ? nullptr : static_cast<const void*>(&player_.rootInstance());
  v.gains = GainsOf(inst ? inst.get() : nullptr);
  const auto voice = mixer_.Play(std::move(v));
  if (voice && owner) owners_[voice] = owner;
  return voice;
}

void SoundStage::Stop(avm1::Object* clip, std::uint32_t sound) {
  const auto inst = clip ? InstanceOf(clip) : nullptr;
  if (clip && !inst) return;
  const void* who = inst.get();
  mixer_.StopIf([&](const sound::Voice& v) { return (!who || v.owner == who) && (!sound || v.soundId == sound); });
}

double SoundStage::PositionMs(std::uint64_t voice) { return mixer_.PositionMs(voice); }

void SoundStage::StopAll() {
  mixer_.StopAll();
  streams_.clear();
}

}  // namespace quillon::player
