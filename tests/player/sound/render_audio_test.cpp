// quillon-render --audio, the real program on movies written here: the WAV it writes is 44.1 kHz
// 16-bit stereo PCM, exactly the frames' worth of samples, and each event sound is heard at its
// frame with its frequency and level, whatever the rate and code it was stored in.
#include <gtest/gtest.h>

#include <cmath>

#include "sound/render_run.h"
#include "sound/sound_writer.h"

namespace quillon::player::test {
namespace {

// The last frame stops the timeline, so that its sounds are not started again by a loop.
Bytes Stop() { return DoActionTag(Bytes{0x07, 0x00}); }

void ExpectCdFormat(const WavFile& w) {
  EXPECT_TRUE(w.riff);
  EXPECT_EQ(w.format, 1) << "PCM";
  EXPECT_EQ(w.channels, 2);
  EXPECT_EQ(w.rate, 44100u);
  EXPECT_EQ(w.bits, 16);
  EXPECT_EQ(w.blockAlign, 4);
  EXPECT_EQ(w.byteRate, 44100u * 4);
  EXPECT_EQ(w.dataBytes, w.samples.size() * 2);
}

// First and one past the last output frame where the left side is not silent.
std::pair<std::size_t, std::size_t> Heard(const WavFile& w) {
  std::size_t first = w.frames(), last = 0;
  for (std::size_t i = 0; i < w.frames(); ++i)
    if (w.samples[i * 2] != 0) {
      first = std::min(first, i);
      last = i + 1;
    }
  return {first, last};
}

TEST(RenderedAudio, WritesExactlyTheFramesWorthAtTheMovieRate) {
  struct Case {
    double rate;
    long frames;
    std::size_t samples;  // floor(frames * 44100 / rate)
  } cases[] = {{12, 12, 44100}, {24, 7, 12862}, {7.5, 3, 17640}, {30, 45, 66150}, {1, 2, 88200}};
  for (const Case& c : cases) {
    const Bytes movie = MovieFile(32, 32, {ShowFrame(), ShowFrame()}, 'F', c.rate);
    int status = -1;
    const WavFile w = RenderAudio(movie, c.frames, "silent", &status);
    EXPECT_EQ(status, 0);
    ExpectCdFormat(w);
    EXPECT_EQ(w.frames(), c.samples) << c.frames << " frames at " << c.rate << " a second";
    EXPECT_TRUE(std::all_of(w.samples.begin(), w.samples.end(), [](std::int16_t s) { return s == 0; }))
        << "a movie without sound writes silence";
  }
}

// A quarter second of 440 Hz at each of the format's rates, 8 and 16 bits, mono and stereo,
// started by the third frame at 12 frames a second: heard from sample 2 * 3675 = 7350 for
// 11,025 samples.
TEST(RenderedAudio, PcmEventSoundsAreHeardAtTheirFrameWithTheirFrequencyAndLevel) {
  struct Case {
    int rateField, rate;
    bool sixteen, stereo;
  } cases[] = {{0, 5512, true, false}, {1, 11025, false, false}, {2, 22050, true, true}, {3, 44100, true, false}};
  for (const Case& c : cases) {
    const std::size_t frames = static_cast<std::size_t>(c.rate / 4);
    const int channels = c.stereo ? 2 : 1;
    const auto wave = Sine(440, c.rate, frames, 12000, channels);
    Bytes data;
    if (c.sixteen) {
      data = Pcm16Bytes(wave);
    } else {
      for (const std::int16_t s : wave) data.push_back(static_cast<std::uint8_t>(std::lround(s / 256.0) + 128));
    }
    const Bytes movie = MovieFile(
        32, 32,
        {DefineSound(1, FormatByte(3, c.rateField, c.sixteen, c.stereo), static_cast<std::uint32_t>(frames), data),
         ShowFrame(), ShowFrame(), StartSoundTag(1), ShowFrame(), Stop(), ShowFrame()},
        'F', 12);
    const WavFile w = RenderAudio(movie, 12, "pcm");
    ExpectCdFormat(w);
    ASSERT_EQ(w.frames(), 44100u);
    const auto [first, last] = Heard(w);
    const double length = static_cast<double>(frames) * 44100 / c.rate;
    EXPECT_NEAR(static_cast<double>(first), 7350, 2) << c.rate << " Hz";
    EXPECT_NEAR(static_cast<double>(last), 7350 + length, 44100.0 / c.rate + 2) << c.rate << " Hz";
    for (int side = 0; side < 2; ++side) {
      const auto heard = Side(w.samples, 2, side);
      const std::vector<double> part(heard.begin() + 7350, heard.begin() + 7350 + static_cast<std::ptrdiff_t>(length));
      EXPECT_NEAR(Frequency(part, 44100), 440, 1) << c.rate << " Hz, side " << side;
      // 5.5 kHz has eight output samples to the cycle and one source sample in twelve: linear
      // interpolation rounds the peaks a little.
      EXPECT_NEAR(Peak(part), 12000, c.sixteen ? 200 : 300) << c.rate << " Hz, side " << side;
    }
  }
}

// ADPCM of every code size, 660 Hz stereo at 22,050 Hz, started by the first frame: within the
// codec's error of the level, at its frequency, for its length.
TEST(RenderedAudio, AdpcmEventSoundsAreHeardAtTheirFrequencyAndLevel) {
  const double tolerance[] = {0.45, 0.2, 0.1, 0.05};
  for (int bits = 2; bits <= 5; ++bits) {
    const std::size_t frames = 11025;  // half a second, three packets
    const auto wave = Sine(660, 22050, frames, 10000, 2);
    const Bytes movie = MovieFile(
        32, 32,
        {DefineSound(1, FormatByte(1, 2, true, true), frames, EncodeAdpcm(wave, 2, bits)), StartSoundTag(1),
         ShowFrame(), Stop(), ShowFrame()},
        'F', 10);
    const WavFile w = RenderAudio(movie, 10, "adpcm");
    ExpectCdFormat(w);
    ASSERT_EQ(w.frames(), 44100u) << "10 frames at 10 a second";
    const auto [first, last] = Heard(w);
    EXPECT_LE(first, 2u);
    EXPECT_NEAR(static_cast<double>(last), 22050, 3) << bits << "-bit";
    for (int side = 0; side < 2; ++side) {
      const auto heard = Side(w.samples, 2, side);
      const std::vector<double> part(heard.begin() + 1000, heard.begin() + 22000);
      EXPECT_NEAR(Frequency(part, 44100), 660, 1) << bits << "-bit, side " << side;
      EXPECT_NEAR(Peak(part), 10000, tolerance[bits - 2] * 10000) << bits << "-bit, side " << side;
    }
    EXPECT_EQ(Peak(Side(w.samples, 2, 0), 22060), 0) << "silent after its half second";
  }
}

}  // namespace
}  // namespace quillon::player::test
