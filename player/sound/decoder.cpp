#include "sound/decoder.h"

#include <algorithm>
#include <array>

namespace quillon::player::sound {
namespace {

class PcmDecoder : public Decoder {
 public:
  explicit PcmDecoder(const Format& f) : format_(f) {}
  void Decode(std::span<const std::uint8_t> bytes, std::vector<std::int16_t>& out) override {
    if (!format_.sixteenBit) {
      // Eight-bit samples are unsigned, 128 the middle.
      for (const std::uint8_t b : bytes) out.push_back(static_cast<std::int16_t>((b - 128) * 256));
      return;
    }
    // Both uncompressed codes are little-endian in practice: the native one was written on
    // little-endian machines.
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
      out.push_back(static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8));
  }
  int rate() const override { return format_.rate; }
  int channels() const override { return format_.channels(); }

 private:
  Format format_;
};

// The format's ADPCM: a 2-bit code size, then packets of 4096 sample frames, each opening with
// a literal first sample and step index per channel.
class AdpcmDecoder : public Decoder {
 public:
  explicit AdpcmDecoder(const Format& f) : format_(f) {}
  void Decode(std::span<const std::uint8_t> bytes, std::vector<std::int16_t>& out) override {
    BitReader bits{bytes};
    const int codeBits = static_cast<int>(bits.Read(2)) + 2;
    const int channels = format_.channels();
    std::array<int, 2> sample{}, index{};
    while (bits.Left() >= static_cast<std::size_t>(22 * channels)) {
      for (int c = 0; c < channels; ++c) {
        sample[c] = static_cast<std::int16_t>(bits.Read(16));
        index[c] = static_cast<int>(bits.Read(6));
        if (index[c] > 88) index[c] = 88;
        out.push_back(static_cast<std::int16_t>(sample[c]));
      }
      for (int n = 1; n < 4096 && bits.Left() >= static_cast<std::size_t>(codeBits * channels); ++n)
        for (int c = 0; c < channels; ++c) {
          Step(bits.Read(codeBits), codeBits, sample[c], index[c]);
          out.push_back(static_cast<std::int16_t>(sample[c]));
        }
    }
  }
  int rate() const override { return format_.rate; }
  int channels() const override { return format_.channels(); }

 private:
  struct BitReader {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;  // in bits
    std::size_t Left() const { return at < bytes.size() * 8 ? bytes.size() * 8 - at : 0; }
    // Past the end, zero bits: a body too short for its code size gives nothing, not a read
    // beyond it.
    std::uint32_t Read(int n) {
      std::uint32_t v = 0;
      for (int i = 0; i < n; ++i, ++at) v = v << 1 | (at < bytes.size() * 8 ? (bytes[at / 8] >> (7 - at % 8)) & 1u : 0u);
      return v;
    }
  };

  static void Step(std::uint32_t code, int codeBits, int& sample, int& index) {
    static constexpr std::array<int, 89> kSteps = {
        7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
        31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
        130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
        544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
        2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
        9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
    static constexpr int kIndex2[] = {-1, 2};
    static constexpr int kIndex3[] = {-1, -1, 2, 4};
    static constexpr int kIndex4[] = {-1, -1, -1, -1, 2, 4, 6, 8};
    static constexpr int kIndex5[] = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};
    static constexpr const int* kIndex[] = {kIndex2, kIndex3, kIndex4, kIndex5};
    const std::uint32_t sign = 1u << (codeBits - 1);
    const std::uint32_t magnitude = code & (sign - 1);
    int step = kSteps[static_cast<std::size_t>(index)];
    int diff = 0;
    for (std::uint32_t mask = sign >> 1; mask; mask >>= 1, step >>= 1)
      if (magnitude & mask) diff += step;
    diff += step;
    sample = std::clamp(code & sign ? sample - diff : sample + diff, -32768, 32767);
    index = std::clamp(index + kIndex[codeBits - 2][magnitude], 0, 88);
  }

  Format format_;
};

// Codecs without a decoder: their length in samples is known from the tags, so the caller
// pads with silence; streamed blocks give none, and the stream's timing comes from its frames.
class SilentDecoder : public Decoder {
 public:
  explicit SilentDecoder(const Format& f) : format_(f) {}
  void Decode(std::span<const std::uint8_t>, std::vector<std::int16_t>&) override {}
  int rate() const override { return format_.rate; }
  int channels() const override { return format_.channels(); }

 private:
  Format format_;
};

Mp3DecoderFactory& Mp3Slot() {
  static Mp3DecoderFactory factory = &MakeBuiltInMp3Decoder;
  return factory;
}

}  // namespace

int RateOfField(unsigned field) {
  static constexpr int kRates[] = {5512, 11025, 22050, 44100};
  return kRates[field & 3];
}

void SetMp3Decoders(Mp3DecoderFactory factory) { Mp3Slot() = factory; }
Mp3DecoderFactory Mp3Decoders() { return Mp3Slot(); }

std::unique_ptr<Decoder> MakeDecoder(const Format& format) {
  switch (format.codec) {
    case Codec::NativePcm:
    case Codec::LittlePcm: return std::make_unique<PcmDecoder>(format);
    case Codec::Adpcm: return std::make_unique<AdpcmDecoder>(format);
    case Codec::Mp3:
      if (const auto factory = Mp3Decoders())
        if (auto d = factory(format)) return d;
      return std::make_unique<SilentDecoder>(format);
    default: return std::make_unique<SilentDecoder>(format);
  }
}

Pcm DecodeSound(const Format& format, std::uint32_t sampleCount, std::span<const std::uint8_t> data) {
  sampleCount = std::min(sampleCount, kMaxSoundFrames);
  auto decoder = MakeDecoder(format);
  std::size_t skip = 0;
  if (format.codec == Codec::Mp3 && data.size() >= 2) {
    const auto seek = static_cast<std::int16_t>(data[0] | data[1] << 8);
    skip = seek > 0 ? static_cast<std::size_t>(seek) : 0;
    data = data.subspan(2);
  }
  Pcm pcm;
  decoder->Decode(data, pcm.samples);
  pcm.rate = decoder->rate();
  pcm.channels = decoder->channels();
  const auto channels = static_cast<std::size_t>(pcm.channels);
  // MP3 may decode to another rate than the tag claims: the count is the tag's, in its rate.
  std::size_t want = sampleCount;
  if (pcm.rate != format.rate && format.rate > 0)
    want = static_cast<std::size_t>(static_cast<double>(sampleCount) * pcm.rate / format.rate + 0.5);
  skip = std::min(skip, pcm.frames());
  pcm.samples.erase(pcm.samples.begin(), pcm.samples.begin() + static_cast<std::ptrdiff_t>(skip * channels));
  pcm.samples.resize(want * channels, 0);
  return pcm;
}

}  // namespace quillon::player::sound
