// The Sound class: a clip's sound transform (volume, pan, the four channel mixes), sounds of
// the library or loaded from files started and stopped, their duration and position, and
// onSoundComplete; stopAllSounds. The player plays them through the SoundControl it sets.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "avm1/machine.h"
#include "sound/mixer.h"

namespace quillon::player::avm1 {

struct SoundControl {
  virtual ~SoundControl() = default;
  // `clip` null is the movie's global transform. False when `clip` is no clip on the stage.
  virtual bool GetTransform(Object* clip, sound::Transform& out) = 0;
  virtual void SetTransform(Object* clip, const sound::Transform& in) = 0;
  // The library sound exported as `name`, or 0.
  virtual std::uint32_t FindSound(std::string_view name) = 0;
  // A sound loaded from an MP3 file beside the movie, or 0 when it cannot be read.
  virtual std::uint32_t LoadSound(const std::string& url) = 0;
  virtual double DurationMs(std::uint32_t sound) = 0;
  // Plays a sound for `clip` (null: the movie) and names the voice; `owner` hears
  // onSoundComplete when it ends.
  virtual std::uint64_t Start(std::uint32_t sound, Object* clip, Object* owner, double offsetSeconds, int loops) = 0;
  // Stops the sounds of `clip` (null: every clip), of one sound (0: any).
  virtual void Stop(Object* clip, std::uint32_t sound) = 0;
  // Milliseconds into a voice, or a negative number when it is not playing.
  virtual double PositionMs(std::uint64_t voice) = 0;
  virtual void StopAll() = 0;
};

// The control stays the caller's; clear it (nullptr) before destroying it.
void SetSoundControl(Machine& vm, SoundControl* control);
void InstallSound(Machine& vm, Object* global);
// The StopSounds action and stopAllSounds.
void StopAllSounds(Machine& vm);

}  // namespace quillon::player::avm1
