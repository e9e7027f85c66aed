// What the sound tags say: how samples are coded, the sounds of the dictionary, the playing
// instructions of StartSound and button sounds, and a timeline's streamed sound, decoded.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace quillon::player::sound {

enum class Codec : std::uint8_t {
  NativePcm = 0, Adpcm = 1, Mp3 = 2, LittlePcm = 3, Nelly16k = 4, Nelly8k = 5, Nelly = 6, Speex = 11,
};

struct Format {
  Codec codec = Codec::LittlePcm;
  int rate = 44100;  // samples a second per channel
  bool sixteenBit = true;
  bool stereo = false;
  int channels() const { return stereo ? 2 : 1; }
};

// The format's rate field, as the samples are timed: 0 is the 5.5 kHz rate.
int RateOfField(unsigned field);

// Decoded samples, interleaved when stereo.
struct Pcm {
  int rate = 44100;
  int channels = 1;
  std::vector<std::int16_t> samples;
  std::size_t frames() const { return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0; }
};

struct SoundDef {
  Format format;
  std::uint32_t sampleCount = 0;
  Pcm pcm;
  double DurationMs() const { return pcm.rate > 0 ? static_cast<double>(pcm.frames()) * 1000.0 / pcm.rate : 0; }
};

// A point of a volume envelope: where (in 44.1 kHz samples from the start of the sound) and the
// levels of both sides (0 to 32768).
struct EnvelopePoint {
  std::uint32_t at = 0;
  std::uint16_t left = 32768, right = 32768;
};

struct SoundInfo {
  bool stop = false;        // stops the sound instead of starting it
  bool noMultiple = false;  // not started again while it plays
  std::optional<std::uint32_t> inPoint, outPoint;  // 44.1 kHz samples
  std::uint16_t loops = 1;
  std::vector<EnvelopePoint> envelope;
};

struct StartSound {
  std::uint16_t soundId = 0;
  SoundInfo info;
};

// DefineButtonSound: the sounds of the four state changes, idle meaning the pointer is off.
struct ButtonSounds {
  enum Change { OverToIdle = 0, IdleToOver = 1, OverToDown = 2, DownToOver = 3 };
  std::optional<StartSound> sounds[4];
};

// A timeline's streamed sound, decoded whole, and where each frame's block begins in it.
struct Stream {
  Format format;
  Pcm pcm;
  static constexpr std::size_t kNoBlock = ~std::size_t{0};
  std::vector<std::size_t> frameStart;  // sample frames; kNoBlock for frames without a block
};

}  // namespace quillon::player::sound
