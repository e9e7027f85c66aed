// The mixer: every playing sound resampled to 44,100 Hz stereo with linear interpolation,
// cut to its in and out points, looped, shaped by its envelope and by the gains of the clip
// that plays it, summed and clipped to 16 bits.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "sound/format.h"

namespace quillon::player::sound {

inline constexpr int kOutputRate = 44100;
// Sounds playing at once; more are not started, as the reference player drops them.
inline constexpr std::size_t kMaxVoices = 32;

// How much of each source side reaches each output side, volume included: 1 passes a side
// unchanged.
struct Gains {
  double leftToLeft = 1, leftToRight = 0, rightToLeft = 0, rightToRight = 1;
};

// A clip's sound transform as scripts set it, in percent.
struct Transform {
  std::int32_t volume = 100;
  std::int32_t leftToLeft = 100, leftToRight = 0, rightToLeft = 0, rightToRight = 100;
  Gains ToGains() const;
  // This transform applied after `inner` (a parent's over its child's).
  Gains Over(const Gains& inner) const;
};

struct Voice {
  std::shared_ptr<const Pcm> pcm;
  SoundInfo info;
  std::size_t startFrame = 0;  // where in the samples it starts (streams, Sound.start offsets)
  std::uint32_t soundId = 0;   // 0 for streams
  const void* owner = nullptr;  // whatever started it, for stopping by owner
  std::function<Gains()> gains;  // asked at every mix; none is full volume
};

class Mixer {
 public:
  using VoiceId = std::uint64_t;

  // 0 when no voice is free or the sound is empty.
  VoiceId Play(Voice voice);
  void Stop(VoiceId id);
  // Stops every voice the predicate picks.
  void StopIf(const std::function<bool(const Voice&)>& pick);
  void StopAll();
  bool Playing(VoiceId id) const;
  bool AnyPlaying(const std::function<bool(const Voice&)>& pick) const;
  // Milliseconds into the sound of a playing voice (within its current loop), or -1.
  double PositionMs(VoiceId id) const;
  std::size_t VoiceCount() const { return voices_.size(); }

  // Adds the next frames of sound to `out` (interleaved left, right), which holds what to mix
  // over (silence, usually).
  void Mix(std::span<std::int16_t> out);
  // Voices that ran out since the last call, oldest first.
  std::vector<VoiceId> TakeFinished();

 private:
  struct Active {
    VoiceId id;
    Voice voice;
    double position = 0;  // in output samples from the start of the sound
    double begin = 0, end = 0;
    std::uint32_t loopsLeft = 1;
  };
  bool Render(Active& p, std::span<float> mix);
  std::vector<Active> voices_;
  std::vector<VoiceId> finished_;
  std::vector<float> scratch_;
  VoiceId next_ = 1;
};

// The envelope's level of one side at a position (44.1 kHz samples), 0 to 1.
double EnvelopeLevel(const std::vector<EnvelopePoint>& envelope, double at, bool right);

}  // namespace quillon::player::sound
