// Sounds for tests: sine waves, the format's ADPCM written by a small encoder, the sound tags,
// and measures of what comes out (frequency by zero crossings, level).
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <span>
#include <vector>

#include "swf_writer.h"

namespace quillon::player::test {

inline std::vector<std::int16_t> Sine(double hz, int rate, std::size_t frames, double amplitude = 12000,
                                      int channels = 1) {
  std::vector<std::int16_t> out;
  for (std::size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      out.push_back(static_cast<std::int16_t>(
          std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate + c))));
  return out;
}

// One side of interleaved samples.
inline std::vector<double> Side(std::span<const std::int16_t> s, int channels, int side) {
  std::vector<double> out;
  for (std::size_t i = static_cast<std::size_t>(side); i < s.size(); i += static_cast<std::size_t>(channels))
    out.push_back(s[i]);
  return out;
}

// Cycles a second, from the rising zero crossings between the first and the last.
inline double Frequency(const std::vector<double>& s, int rate) {
  long first = -1, last = -1, count = 0;
  for (std::size_t i = 1; i < s.size(); ++i)
    if (s[i - 1] < 0 && s[i] >= 0) {
      if (first < 0) first = static_cast<long>(i);
      last = static_cast<long>(i);
      ++count;
    }
  if (count < 2) return 0;
  return static_cast<double>(count - 1) * rate / static_cast<double>(last - first);
}

inline double Peak(const std::vector<double>& s, std::size_t from = 0, std::size_t to = ~std::size_t{0}) {
  double p = 0;
  for (std::size_t i = from; i < s.size() && i < to; ++i) p = std::max(p, std::abs(s[i]));
  return p;
}

// The encoder side of the format's ADPCM: the nearest code at each step, following the
// decoder's state so that errors do not build up.
inline Bytes EncodeAdpcm(std::span<const std::int16_t> samples, int channels, int bits) {
  static constexpr std::array<int, 89> kSteps = {
      7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
      31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
      130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
      544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
      2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
      9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
  static const std::vector<std::vector<int>> kIndex = {
      {-1, 2}, {-1, -1, 2, 4}, {-1, -1, -1, -1, 2, 4, 6, 8}, {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16}};
  Bits out;
  out.u(static_cast<std::uint32_t>(bits - 2), 2);
  const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
  std::array<int, 2> predicted{}, index{40, 40};
  for (std::size_t f = 0; f < frames; ++f) {
    const bool head = f % 4096 == 0;
    for (int c = 0; c < channels; ++c) {
      const int target = samples[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)];
      if (head) {
        // Each packet restarts from the sample; the step size carries on.
        predicted[c] = target;
        out.s(target, 16);
        out.u(static_cast<std::uint32_t>(index[c]), 6);
        continue;
      }
      const int signBit = 1 << (bits - 1);
      int diff = target - predicted[c];
      std::uint32_t code = diff < 0 ? static_cast<std::uint32_t>(signBit) : 0;
      diff = std::abs(diff);
      int step = kSteps[static_cast<std::size_t>(index[c])], rebuilt = 0;
      for (int mask = signBit >> 1; mask; mask >>= 1, step >>= 1)
        if (diff >= step) {
          code |= static_cast<std::uint32_t>(mask);
          diff -= step;
          rebuilt += step;
        }
      rebuilt += step;
      predicted[c] = std::clamp(code & static_cast<std::uint32_t>(signBit) ? predicted[c] - rebuilt : predicted[c] + rebuilt,
                                -32768, 32767);
      index[c] = std::clamp(index[c] + kIndex[static_cast<std::size_t>(bits - 2)][code & (signBit - 1)], 0, 88);
      out.u(code, bits);
    }
  }
  return out.done();
}

inline std::uint8_t FormatByte(int codec, int rateField, bool sixteen, bool stereo) {
  return static_cast<std::uint8_t>(codec << 4 | rateField << 2 | (sixteen ? 2 : 0) | (stereo ? 1 : 0));
}

inline Bytes Pcm16Bytes(std::span<const std::int16_t> s) {
  Bytes b;
  for (const std::int16_t v : s) U16(b, static_cast<std::uint16_t>(v));
  return b;
}

inline Bytes DefineSound(int id, std::uint8_t format, std::uint32_t sampleCount, const Bytes& data) {
  Bytes b;
  U16(b, static_cast<unsigned>(id));
  b.push_back(format);
  U32(b, sampleCount);
  Append(b, data);
  return Tag(14, b);
}

struct SoundInfoSpec {
  bool stop = false, noMultiple = false;
  long inPoint = -1, outPoint = -1;
  int loops = 0;
  std::vector<std::array<std::uint32_t, 3>> envelope;  // position, left, right
};

inline Bytes SoundInfoBytes(const SoundInfoSpec& s) {
  Bytes b;
  b.push_back(static_cast<std::uint8_t>((s.stop ? 0x20 : 0) | (s.noMultiple ? 0x10 : 0) | (s.envelope.empty() ? 0 : 8) |
                                        (s.loops ? 4 : 0) | (s.outPoint >= 0 ? 2 : 0) | (s.inPoint >= 0 ? 1 : 0)));
  if (s.inPoint >= 0) U32(b, static_cast<std::uint32_t>(s.inPoint));
  if (s.outPoint >= 0) U32(b, static_cast<std::uint32_t>(s.outPoint));
  if (s.loops) U16(b, static_cast<unsigned>(s.loops));
  if (!s.envelope.empty()) {
    b.push_back(static_cast<std::uint8_t>(s.envelope.size()));
    for (const auto& p : s.envelope) {
      U32(b, p[0]);
      U16(b, p[1]);
      U16(b, p[2]);
    }
  }
  return b;
}

inline Bytes StartSoundTag(int id, const SoundInfoSpec& info = {}) {
  Bytes b;
  U16(b, static_cast<unsigned>(id));
  Append(b, SoundInfoBytes(info));
  return Tag(15, b);
}

inline Bytes StreamHead(std::uint8_t format, unsigned blockFrames) {
  Bytes b{format, format};
  U16(b, blockFrames);
  return Tag(18, b);
}

inline Bytes StreamBlock(const Bytes& data) { return Tag(19, data); }

// The frames of an MP3 file (layer III), as a stream's blocks carry them whole, each with the
// sample frames it decodes to.
struct Mp3Frame {
  Bytes bytes;
  unsigned samples = 0;
};

inline std::vector<Mp3Frame> Mp3Frames(const Bytes& file) {
  static constexpr unsigned kRate1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static constexpr unsigned kRate2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static constexpr unsigned kHz[] = {44100, 48000, 32000};
  std::vector<Mp3Frame> frames;
  for (std::size_t at = 0; at + 4 <= file.size();) {
    const unsigned version = file[at + 1] >> 3 & 3, bitrate = file[at + 2] >> 4, rate = file[at + 2] >> 2 & 3;
    if (file[at] != 0xFF || (file[at + 1] & 0xE0) != 0xE0 || (file[at + 1] >> 1 & 3) != 1 || version == 1 ||
        bitrate == 0 || bitrate == 15 || rate == 3) {
      ++at;
      continue;
    }
    const bool one = version == 3;
    const unsigned hz = kHz[rate] >> (one ? 0 : version == 2 ? 1 : 2);
    const std::size_t length = (one ? 144000u : 72000u) * (one ? kRate1 : kRate2)[bitrate] / hz + (file[at + 2] >> 1 & 1);
    if (at + length > file.size()) break;
    frames.push_back({Bytes(file.begin() + static_cast<std::ptrdiff_t>(at), file.begin() + static_cast<std::ptrdiff_t>(at + length)),
                      one ? 1152u : 576u});
    at += length;
  }
  return frames;
}

// A streamed MP3 sound for a timeline of `frames` frames at `frameRate`: the head, then each
// frame's block holding the MP3 frames that bring the stream up to that frame's end, as an
// authoring tool lays them out. Returns every frame's tags, each ending in ShowFrame.
inline std::vector<Bytes> Mp3StreamTags(const Bytes& file, std::uint8_t format, int sampleRate, double frameRate,
                                        int frames) {
  const auto all = Mp3Frames(file);
  std::vector<Bytes> tags = {StreamHead(format, static_cast<unsigned>(sampleRate / frameRate))};
  std::size_t next = 0;
  double have = 0;
  for (int f = 0; f < frames; ++f) {
    Bytes block;
    unsigned count = 0;
    Bytes body;
    while (next < all.size() && have < (f + 1) * sampleRate / frameRate) {
      Append(body, all[next].bytes);
      count += all[next].samples;
      have += all[next].samples;
      ++next;
    }
    if (count) {
      U16(block, count);
      U16(block, 0);  // seek samples
      Append(block, body);
      tags.push_back(StreamBlock(block));
    }
    tags.push_back(ShowFrame());
  }
  return tags;
}

}  // namespace quillon::player::test
