// The movie's sound on the stage: the StartSound tags of the frames that play, button sounds,
// each timeline's streamed sound kept to its frames, the Sound class's control, and the mixed
// output, one frame's worth of samples a tick.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "avm1/classes/sound.h"
#include "sound/mixer.h"

namespace quillon::player {

class Player;
struct Instance;
struct Movie;

class SoundStage : public avm1::SoundControl {
 public:
  explicit SoundStage(Player& player);

  // A timeline entered `frame` and runs it: its sounds start, its stream keeps on or jumps.
  void FrameEntered(Instance& inst, std::size_t frame);
  // A button changed state (1 up, 2 over, 4 down).
  void ButtonChanged(Instance& button, int from, int to);
  // The end of a tick: streams of clips that stopped or left stop, one frame of sound is
  // mixed, and Sound objects whose sounds ended hear onSoundComplete.
  void EndTick();
  void TraceRoots(std::vector<avm1::Object*>& out) const;
  void SetFolder(const std::filesystem::path& folder) { folder_ = folder; }

  // Whether the movie has sound to play (so an output device is worth opening).
  bool HasSound() const;
  // Whether a timeline's streamed sound is playing (the stub then times frames by the sound).
  bool StreamPlaying() const { return !streams_.empty(); }
  static bool MovieHasSound(const Movie& movie);
  // Keeps the mixed samples (44.1 kHz, stereo, interleaved) for TakeAudio; off, they are
  // mixed and dropped.
  void KeepAudio(bool keep) { keep_ = keep; }
  std::vector<std::int16_t> TakeAudio();
  sound::Mixer& mixer() { return mixer_; }

  bool GetTransform(avm1::Object* clip, sound::Transform& out) override;
  void SetTransform(avm1::Object* clip, const sound::Transform& in) override;
  std::uint32_t FindSound(std::string_view name) override;
  std::uint32_t LoadSound(const std::string& url) override;
  double DurationMs(std::uint32_t sound) override;
  std::uint64_t Start(std::uint32_t sound, avm1::Object* clip, avm1::Object* owner, double offsetSeconds,
                      int loops) override;
  void Stop(avm1::Object* clip, std::uint32_t sound) override;
  double PositionMs(std::uint64_t voice) override;
  void StopAll() override;

 private:
  struct StreamPlay {
    std::weak_ptr<Instance> inst;
    sound::Mixer::VoiceId voice = 0;
    std::size_t frame = 0;
    long tick = 0;  // the tick that last entered one of its frames
  };
  struct Kept {
    std::weak_ptr<Instance> inst;
    sound::Transform transform;
  };
  std::shared_ptr<const sound::SoundDef> Find(std::uint32_t id) const;
  void Play(const sound::StartSound& s, Instance* inst);
  std::function<sound::Gains()> GainsOf(Instance* inst);
  std::shared_ptr<Instance> InstanceOf(avm1::Object* clip);
  sound::Transform* TransformOf(const Instance& inst);

  Player& player_;
  sound::Mixer mixer_;
  sound::Transform global_;
  std::map<const Instance*, Kept> transforms_;
  std::map<const Instance*, StreamPlay> streams_;
  std::map<sound::Mixer::VoiceId, avm1::Object*> owners_;  // Sound objects waiting for their end
  std::map<std::uint32_t, std::shared_ptr<const sound::SoundDef>> loaded_;
  std::filesystem::path folder_;
  std::vector<std::int16_t> audio_, scratch_;
  bool keep_ = false;
  long ticks_ = 0;
};

}  // namespace quillon::player
