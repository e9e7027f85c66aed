// Decoding the format's uncompressed and ADPCM sound, and silence of the right length where
// there is no decoder.
#include <gtest/gtest.h>

#include "sound/decoder.h"
#include "sound/sound_writer.h"

namespace quillon::player::sound {
namespace {

using test::Bytes;

Format Make(Codec codec, int rate, bool sixteen, bool stereo) { return {codec, rate, sixteen, stereo}; }

TEST(PcmDecoding, SixteenBitSamplesAreLittleEndianInBothCodes) {
  const Bytes data = {0x34, 0x12, 0x00, 0x80, 0xFF, 0x7F};
  for (const Codec codec : {Codec::LittlePcm, Codec::NativePcm}) {
    const Pcm pcm = DecodeSound(Make(codec, 22050, true, false), 3, data);
    ASSERT_EQ(pcm.samples.size(), 3u);
    EXPECT_EQ(pcm.samples[0], 0x1234);
    EXPECT_EQ(pcm.samples[1], -32768);
    EXPECT_EQ(pcm.samples[2], 32767);
    EXPECT_EQ(pcm.rate, 22050);
  }
}

TEST(PcmDecoding, EightBitSamplesAreUnsignedAroundTheMiddle) {
  const Pcm pcm = DecodeSound(Make(Codec::LittlePcm, 11025, false, false), 3, Bytes{0, 128, 255});
  ASSERT_EQ(pcm.samples.size(), 3u);
  EXPECT_EQ(pcm.samples[0], -32768);
  EXPECT_EQ(pcm.samples[1], 0);
  EXPECT_EQ(pcm.samples[2], 127 * 256);
}

TEST(PcmDecoding, TheSampleCountCutsOrPadsWithSilence) {
  const Bytes data = {1, 0, 2, 0, 3, 0, 4, 0};
  const Pcm stereo = DecodeSound(Make(Codec::LittlePcm, 44100, true, true), 3, data);
  ASSERT_EQ(stereo.frames(), 3u) << "a stereo sound of 3 sample frames holds 6 samples";
  EXPECT_EQ(stereo.samples[3], 4);
  EXPECT_EQ(stereo.samples[4], 0);
  const Pcm cut = DecodeSound(Make(Codec::LittlePcm, 44100, true, false), 2, data);
  EXPECT_EQ(cut.samples, (std::vector<std::int16_t>{1, 2}));
}

// Decoded ADPCM follows the wave it was made from: a 440 Hz sine within a share of its
// amplitude that grows as the codes shrink.
TEST(AdpcmDecoding, EveryCodeSizeFollowsTheWaveInMonoAndStereo) {
  const double tolerance[] = {0.45, 0.2, 0.08, 0.04};  // of the amplitude, 2 to 5 bits
  for (int bits = 2; bits <= 5; ++bits)
    for (int channels = 1; channels <= 2; ++channels) {
      const std::size_t frames = 9000;  // more than two packets
      const auto wave = test::Sine(440, 22050, frames, 12000, channels);
      const Bytes coded = test::EncodeAdpcm(wave, channels, bits);
      const Pcm pcm = DecodeSound(Make(Codec::Adpcm, 22050, true, channels == 2), frames, coded);
      ASSERT_EQ(pcm.frames(), frames);
      ASSERT_EQ(pcm.channels, channels);
      double worst = 0;
      // The first cycles settle the step size.
      for (std::size_t i = 200 * static_cast<std::size_t>(channels); i < wave.size(); ++i)
        worst = std::max(worst, std::abs(static_cast<double>(pcm.samples[i]) - wave[i]));
      EXPECT_LT(worst, tolerance[bits - 2] * 12000) << bits << "-bit ADPCM, " << channels << " channel(s)";
      for (int side = 0; side < channels; ++side)
        EXPECT_NEAR(test::Frequency(test::Side(pcm.samples, channels, side), 22050), 440, 1);
      // Each packet opens with its sample as it was.
      EXPECT_EQ(pcm.samples[4096 * static_cast<std::size_t>(channels)], wave[4096 * static_cast<std::size_t>(channels)]);
    }
}

TEST(AdpcmDecoding, DamagedDataGivesWhatItHoldsThenSilence) {
  const auto wave = test::Sine(440, 11025, 1000);
  Bytes coded = test::EncodeAdpcm(wave, 1, 4);
  coded.resize(coded.size() / 2);
  const Pcm pcm = DecodeSound(Make(Codec::Adpcm, 11025, true, false), 1000, coded);
  ASSERT_EQ(pcm.frames(), 1000u);
  EXPECT_EQ(pcm.samples.back(), 0);
  EXPECT_NE(pcm.samples[100], 0);
}

// Found by the fuzzer: a body without even its code size was read past its end.
TEST(AdpcmDecoding, BodiesTooShortForTheirHeadsAreSilence) {
  for (const Bytes& body : {Bytes{}, Bytes{0x40}, Bytes{0xC0, 0x12}}) {
    const Pcm pcm = DecodeSound(Make(Codec::Adpcm, 22050, true, true), 300, body);
    EXPECT_EQ(pcm.frames(), 300u) << body.size() << " bytes";
    EXPECT_TRUE(std::all_of(pcm.samples.begin(), pcm.samples.end(), [](std::int16_t s) { return s == 0; }));
  }
}

TEST(SilentCodecs, NellymoserIsSilenceOfItsLength) {
  for (const Codec codec : {Codec::Nelly, Codec::Nelly8k, Codec::Nelly16k, Codec::Speex}) {
    const Pcm pcm = DecodeSound(Make(codec, 8000, true, false), 4000, Bytes(500, 0x5A));
    EXPECT_EQ(pcm.frames(), 4000u);
    EXPECT_TRUE(std::all_of(pcm.samples.begin(), pcm.samples.end(), [](std::int16_t s) { return s == 0; }));
  }
}

TEST(SilentCodecs, AHugeCountIsCut) {
  const Pcm pcm = DecodeSound(Make(Codec::Nelly, 8000, true, false), 0xFFFFFFFF, Bytes{});
  EXPECT_EQ(pcm.frames(), kMaxSoundFrames);
}

}  // namespace
}  // namespace quillon::player::sound
