// The stub's MP3 decoder, the system's codec under Wine: sines encoded with an MP3 encoder come
// back at their frequency, level, rate and length, as DefineSound bodies and as stream blocks.
#include <windows.h>

#include <gtest/gtest.h>

#include "mp3_acm.h"
#include "sound/decoder.h"
#include "sound/sound_writer.h"
#include "sound/tags.h"
#include "stub_run.h"

namespace quillon::player::sound {
namespace {

using test::Bytes;

Bytes File(const char* name) {
  return quillon::test::ReadFileBytes(quillon::test::WinPath((std::string(QUILLON_SOUND_DATA) + "/" + name).c_str()));
}

// The player asks the stub's decoder for every MP3 sound, as the stub sets it up.
class AcmMp3 : public ::testing::Test {
 protected:
  void SetUp() override { SetMp3Decoders(&stub::MakeAcmMp3Decoder); }
  void TearDown() override { SetMp3Decoders(nullptr); }
};

// Two seconds of 660 Hz at 44.1 kHz, left at 12,000 and right at 6,000; the encoder's delay of
// 1,105 samples skipped by the seek samples.
TEST_F(AcmMp3, AStereoEventSoundComesBackAtItsFrequencyLevelAndCount) {
  Bytes body;
  test::U16(body, 1105);
  test::Append(body, File("sine660_44100_stereo.mp3"));
  ASSERT_GT(body.size(), 20000u);
  const Pcm pcm = DecodeSound({Codec::Mp3, 44100, true, true}, 66150, body);
  ASSERT_EQ(pcm.rate, 44100);
  ASSERT_EQ(pcm.channels, 2);
  ASSERT_EQ(pcm.frames(), 66150u);
  const auto left = test::Side(pcm.samples, 2, 0), right = test::Side(pcm.samples, 2, 1);
  const std::vector<double> l(left.begin() + 2000, left.end()), r(right.begin() + 2000, right.end());
  EXPECT_NEAR(test::Frequency(l, 44100), 660, 1);
  EXPECT_NEAR(test::Frequency(r, 44100), 660, 1);
  EXPECT_NEAR(test::Peak(l), 12000, 1200);
  EXPECT_NEAR(test::Peak(r), 6000, 600);
  EXPECT_GT(test::Peak(left, 66150 - 100), 3000) << "decoded to its last sample, not padded";
}

// MPEG 2 at 22,050 Hz mono: the rate comes from the frames, the count from the tag.
TEST_F(AcmMp3, AMonoMpeg2SoundDecodesAtItsOwnRate) {
  Bytes body = {0, 0};
  test::Append(body, File("sine440_22050_mono.mp3"));
  const Pcm pcm = DecodeSound({Codec::Mp3, 22050, true, false}, 11025, body);
  ASSERT_EQ(pcm.rate, 22050);
  ASSERT_EQ(pcm.frames(), 11025u);
  const auto wave = test::Side(pcm.samples, 1, 0);
  EXPECT_NEAR(test::Frequency(std::vector<double>(wave.begin() + 2000, wave.end()), 22050), 440, 2);
  EXPECT_NEAR(test::Peak(wave, 3000, 9000), 12000, 1200);
}

// Stereo frames asked for as a mono sound: both sides averaged.
TEST_F(AcmMp3, ChannelsFollowTheTag) {
  Bytes body = {0x51, 0x04};
  test::Append(body, File("sine660_44100_stereo.mp3"));
  const Pcm pcm = DecodeSound({Codec::Mp3, 44100, true, false}, 44100, body);
  ASSERT_EQ(pcm.channels, 1);
  EXPECT_NEAR(test::Peak(test::Side(pcm.samples, 1, 0), 2000), 9000, 900);
}

// Frames cut into blocks anywhere (a block ends inside a frame) decode as the whole file does.
TEST_F(AcmMp3, PiecesDecodeAsTheWhole) {
  const Bytes file = File("sine660_44100_stereo.mp3");
  auto whole = MakeDecoder({Codec::Mp3, 44100, true, true});
  auto pieces = MakeDecoder({Codec::Mp3, 44100, true, true});
  std::vector<std::int16_t> a, b;
  whole->Decode(file, a);
  for (std::size_t at = 0; at < file.size(); at += 1000)
    pieces->Decode(std::span<const std::uint8_t>(file).subspan(at, std::min<std::size_t>(1000, file.size() - at)), b);
  ASSERT_GT(a.size(), 88200u * 2) << "two seconds and the encoder's delay";
  ASSERT_GE(b.size(), a.size() - 1152 * 2);
  for (std::size_t i = 0; i < 80000; i += 997) EXPECT_EQ(a[i], b[i]) << "sample " << i;
}

TEST_F(AcmMp3, DamagedDataIsSilenceOfItsCount) {
  Bytes junk(3000);
  for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<std::uint8_t>(i * 7919 >> 3);
  const Pcm pcm = DecodeSound({Codec::Mp3, 44100, true, true}, 1000, junk);
  EXPECT_EQ(pcm.frames(), 1000u);
}

}  // namespace
}  // namespace quillon::player::sound
