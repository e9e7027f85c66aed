// quillon-render --audio with MP3: an event sound and a streamed sound made from a file encoded
// here with an MP3 encoder (two seconds of 660 Hz at 44.1 kHz, the left side at 12,000 and the
// right at 6,000, joint stereo at 96 kbit/s, no tag frame; the encoder puts 1,105 samples of
// delay before the wave).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "sound/render_run.h"
#include "sound/sound_writer.h"

namespace quillon::player::test {
namespace {

constexpr unsigned kEncoderDelay = 576 + 529;

Bytes File() {
  std::ifstream in(QUILLON_SOUND_DATA "/sine660_44100_stereo.mp3", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void ExpectWave(const WavFile& w, std::size_t from, std::size_t to, const char* what) {
  const auto left = Side(w.samples, 2, 0), right = Side(w.samples, 2, 1);
  const std::vector<double> l(left.begin() + static_cast<std::ptrdiff_t>(from), left.begin() + static_cast<std::ptrdiff_t>(to));
  const std::vector<double> r(right.begin() + static_cast<std::ptrdiff_t>(from), right.begin() + static_cast<std::ptrdiff_t>(to));
  EXPECT_NEAR(Frequency(l, 44100), 660, 1) << what;
  EXPECT_NEAR(Frequency(r, 44100), 660, 1) << what;
  // Lossy: the level within a tenth.
  EXPECT_NEAR(Peak(l), 12000, 1200) << what;
  EXPECT_NEAR(Peak(r), 6000, 600) << what;
}

TEST(RenderedMp3Audio, AnEventSoundStartsAtItsFrameAndEndsAtItsCount) {
  const Bytes file = File();
  ASSERT_GT(file.size(), 20000u);
  // A second and a half of it, the encoder's delay skipped by the seek samples.
  Bytes data;
  U16(data, kEncoderDelay);
  Append(data, file);
  const Bytes movie = MovieFile(
      32, 32,
      {DefineSound(1, FormatByte(2, 3, true, true), 66150, data), ShowFrame(), StartSoundTag(1), ShowFrame(),
       DoActionTag(Bytes{0x07, 0x00}), ShowFrame()},
      'F', 12);
  int status = -1;
  const WavFile w = RenderAudio(movie, 24, "mp3", &status);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(w.frames(), 88200u) << "24 frames at 12 a second";
  EXPECT_EQ(w.channels, 2);
  EXPECT_EQ(w.rate, 44100u);
  EXPECT_EQ(w.bits, 16);
  const auto left = Side(w.samples, 2, 0);
  EXPECT_EQ(Peak(left, 0, 3675), 0) << "nothing before the second frame";
  // With the delay skipped the wave starts at once: its first quarter cycle already rises.
  EXPECT_GT(Peak(left, 3675, 3675 + 30), 3000);
  ExpectWave(w, 3675 + 2000, 3675 + 64000, "event sound");
  EXPECT_EQ(Peak(left, 3675 + 66150 + 2), 0) << "cut at its 66,150 samples";
  EXPECT_GT(Peak(left, 3675 + 66150 - 40, 3675 + 66150), 3000);
}

// Twenty frames at 12 a second carry the file's MP3 frames as an authoring tool lays them out:
// the stream plays through them without a gap, at the wave's frequency and levels.
TEST(RenderedMp3Audio, AStreamPlaysThroughItsFrames) {
  const Bytes file = File();
  std::vector<Bytes> tags = Mp3StreamTags(file, FormatByte(2, 3, true, true), 44100, 12, 20);
  const Bytes movie = MovieFile(32, 32, tags, 'F', 12);
  int status = -1;
  const WavFile w = RenderAudio(movie, 20, "mp3-stream", &status);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(w.frames(), 73500u) << "20 frames at 12 a second";
  ExpectWave(w, kEncoderDelay + 1000, 73000, "stream");
  // Every frame after the encoder's delay holds a loud part of the wave: no gap between blocks.
  const auto left = Side(w.samples, 2, 0);
  for (std::size_t f = 1; f < 20; ++f)
    EXPECT_GT(Peak(left, f * 3675, (f + 1) * 3675), 10000) << "frame " << f;
}

// A stream stops with its timeline: a movie whose frame 6 stops it is silent from frame 7 on.
TEST(RenderedMp3Audio, AStreamStopsWhenItsTimelineStops) {
  const Bytes file = File();
  std::vector<Bytes> tags = Mp3StreamTags(file, FormatByte(2, 3, true, true), 44100, 12, 20);
  // Frame 6 (index 5) is the sixth ShowFrame: a stop action before it.
  int shown = 0;
  for (std::size_t i = 0; i < tags.size(); ++i)
    if (tags[i] == ShowFrame() && ++shown == 6) {
      tags.insert(tags.begin() + static_cast<std::ptrdiff_t>(i), DoActionTag(Bytes{0x07, 0x00}));
      break;
    }
  const WavFile w = RenderAudio(MovieFile(32, 32, tags, 'F', 12), 12, "mp3-stop");
  ASSERT_EQ(w.frames(), 44100u);
  const auto left = Side(w.samples, 2, 0);
  EXPECT_GT(Peak(left, 5 * 3675, 6 * 3675), 10000) << "the stopping frame is heard";
  EXPECT_EQ(Peak(left, 6 * 3675), 0) << "silent after it";
}

}  // namespace
}  // namespace quillon::player::test
