// Turning coded sound into 16-bit samples: one interface for every codec of the format.
// Uncompressed and ADPCM sound decode here; MP3 comes from the platform (see SetMp3Decoders);
// Nellymoser and Speex, which nothing here decodes, give silence of their length.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "sound/format.h"

namespace quillon::player::sound {

class Decoder {
 public:
  virtual ~Decoder() = default;
  // Appends the samples of the next piece of coded sound, interleaved as `channels()` says.
  // Pieces of one sound come in order; a decoder may keep state from one to the next.
  virtual void Decode(std::span<const std::uint8_t> bytes, std::vector<std::int16_t>& out) = 0;
  // The sample rate of what comes out, which for MP3 the coded frames decide.
  virtual int rate() const = 0;
  virtual int channels() const = 0;
};

// A decoder for `format`; always one, silent where the codec cannot be decoded.
std::unique_ptr<Decoder> MakeDecoder(const Format& format);

// Where MP3 decoders come from; null gives silence. Natively this is Debian's libmpg123 when
// the build has it; the Windows stub sets its own.
using Mp3DecoderFactory = std::unique_ptr<Decoder> (*)(const Format& format);
void SetMp3Decoders(Mp3DecoderFactory factory);
Mp3DecoderFactory Mp3Decoders();
// The decoder the build brings, or null (see mp3_mpg123.cpp).
std::unique_ptr<Decoder> MakeBuiltInMp3Decoder(const Format& format);

// A DefineSound body after its format byte and sample count: decoded, and cut or padded with
// silence to `sampleCount` frames (MP3 first skips its seek samples).
Pcm DecodeSound(const Format& format, std::uint32_t sampleCount, std::span<const std::uint8_t> data);

// Sounds longer than this (in sample frames, some 6 minutes at 44.1 kHz) are cut, so that a
// damaged count cannot ask for gigabytes.
inline constexpr std::uint32_t kMaxSoundFrames = 16u << 20;

}  // namespace quillon::player::sound
