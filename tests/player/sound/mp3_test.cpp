// MP3 through the build's decoder: a 440 Hz sine at 22,050 Hz made with an MP3 encoder.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "sound/decoder.h"
#include "sound/mixer.h"
#include "sound/sound_writer.h"

namespace quillon::player::sound {
namespace {

std::vector<std::uint8_t> File() {
  std::ifstream in(QUILLON_SOUND_DATA "/sine440_22050_mono.mp3", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Mp3Decoding, ASineComesBackAtItsFrequencyAndLength) {
  auto bytes = File();
  ASSERT_GT(bytes.size(), 1000u);
  // As a DefineSound body: seek samples, then the frames.
  bytes.insert(bytes.begin(), {0, 0});
  const Format format{Codec::Mp3, 22050, true, false};
  const Pcm pcm = DecodeSound(format, 11025, bytes);
  ASSERT_EQ(pcm.rate, 22050);
  ASSERT_EQ(pcm.frames(), 11025u);
  const auto wave = test::Side(pcm.samples, 1, 0);
  EXPECT_NEAR(test::Frequency(std::vector<double>(wave.begin() + 2000, wave.end()), 22050), 440, 2);
  // Lossy, but the level is kept within a tenth.
  EXPECT_NEAR(test::Peak(wave, 3000, 9000), 12000, 1200);
}

TEST(Mp3Decoding, SeekSamplesAreSkipped) {
  auto bytes = File();
  std::vector<std::uint8_t> plain = bytes, skipping = bytes;
  plain.insert(plain.begin(), {0, 0});
  skipping.insert(skipping.begin(), {100, 0});
  const Format format{Codec::Mp3, 22050, true, false};
  const Pcm a = DecodeSound(format, 5000, plain), b = DecodeSound(format, 5000, skipping);
  ASSERT_EQ(b.frames(), 5000u);
  for (std::size_t i = 2000; i < 2100; ++i) EXPECT_EQ(b.samples[i], a.samples[i + 100]);
}

TEST(Mp3Decoding, DamagedDataIsSilenceNotACrash) {
  std::vector<std::uint8_t> junk(3000);
  for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<std::uint8_t>(i * 7919 >> 3);
  const Pcm pcm = DecodeSound({Codec::Mp3, 44100, true, true}, 1000, junk);
  EXPECT_EQ(pcm.frames(), 1000u);
}

}  // namespace
}  // namespace quillon::player::sound
