// The mixer: resampling to 44.1 kHz keeps frequency and length, in and out points and loops
// cut where they say, envelopes and transforms scale each side, loud sums clip.
#include <gtest/gtest.h>

#include "sound/mixer.h"
#include "sound/sound_writer.h"

namespace quillon::player::sound {
namespace {

std::shared_ptr<const Pcm> MakePcm(std::vector<std::int16_t> samples, int rate, int channels = 1) {
  auto p = std::make_shared<Pcm>();
  p->rate = rate;
  p->channels = channels;
  p->samples = std::move(samples);
  return p;
}

std::vector<std::int16_t> MixFrames(Mixer& m, std::size_t frames) {
  std::vector<std::int16_t> out(frames * 2, 0);
  m.Mix(out);
  return out;
}

// Frames of output until the left side falls silent for good.
std::size_t SoundingLength(const std::vector<std::int16_t>& out) {
  std::size_t last = 0;
  for (std::size_t i = 0; i < out.size(); i += 2)
    if (out[i] != 0) last = i / 2 + 1;
  return last;
}

TEST(Resampling, FrequencyAndLengthSurviveEveryRate) {
  for (const int rate : {5512, 11025, 22050, 44100}) {
    const std::size_t frames = static_cast<std::size_t>(rate);  // one second
    Mixer m;
    Voice v;
    v.pcm = MakePcm(test::Sine(440, rate, frames), rate);
    ASSERT_NE(m.Play(v), 0u);
    const auto out = MixFrames(m, 50000);
    const auto left = test::Side(out, 2, 0);
    const auto right = test::Side(out, 2, 1);
    EXPECT_NEAR(test::Frequency(left, kOutputRate), 440, 0.5) << "from " << rate << " Hz";
    EXPECT_NEAR(test::Frequency(right, kOutputRate), 440, 0.5) << "mono reaches both sides";
    // One second of source is 44,100 output samples, within one source sample.
    EXPECT_NEAR(static_cast<double>(SoundingLength(out)), 44100, 44100.0 / rate + 2) << "from " << rate << " Hz";
    EXPECT_NEAR(test::Peak(left), 12000, 150);
  }
}

TEST(Resampling, LinearInterpolationLiesBetweenSourceSamples) {
  Mixer m;
  Voice v;
  v.pcm = MakePcm({0, 4000, 8000}, 11025);  // four output samples per source sample
  m.Play(v);
  const auto out = MixFrames(m, 6);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[2], 1000);
  EXPECT_EQ(out[4], 2000);
  EXPECT_EQ(out[8], 4000);
}

TEST(PlayingInstructions, InAndOutPointsCutAtTheirSamples) {
  Mixer m;
  Voice v;
  v.pcm = MakePcm(std::vector<std::int16_t>(44100, 1000), 44100);
  v.info.inPoint = 10000;
  v.info.outPoint = 30000;
  m.Play(v);
  const auto out = MixFrames(m, 44100);
  EXPECT_EQ(SoundingLength(out), 20000u) << "plays from sample 10,000 to 30,000";
}

TEST(PlayingInstructions, LoopsRepeatTheCutPart) {
  Mixer m;
  Voice v;
  std::vector<std::int16_t> ramp(1000);
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::int16_t>(i + 1);
  v.pcm = MakePcm(ramp, 44100);
  v.info.loops = 3;
  v.info.inPoint = 100;
  const auto id = m.Play(v);
  const auto out = MixFrames(m, 5000);
  EXPECT_EQ(SoundingLength(out), 2700u) << "three times the 900 samples after the in point";
  EXPECT_EQ(out[0], 101);
  EXPECT_EQ(out[900 * 2], 101) << "the second loop starts at the in point again";
  EXPECT_EQ(out[1799 * 2], 1000);
  MixFrames(m, 1);
  const auto done = m.TakeFinished();
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0], id);
}

TEST(PlayingInstructions, EnvelopesScaleEachSide) {
  Mixer m;
  Voice v;
  v.pcm = MakePcm(std::vector<std::int16_t>(44100, 10000), 44100);
  v.info.envelope = {{0, 32768, 0}, {20000, 0, 32768}};
  m.Play(v);
  const auto out = MixFrames(m, 30000);
  EXPECT_EQ(out[0], 10000);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[10000 * 2], 5000) << "halfway down the left ramp";
  EXPECT_EQ(out[10000 * 2 + 1], 5000);
  EXPECT_EQ(out[25000 * 2], 0) << "the last point holds";
  EXPECT_EQ(out[25000 * 2 + 1], 10000);
  EXPECT_DOUBLE_EQ(EnvelopeLevel(v.info.envelope, 5000, false), 0.75);
}

TEST(Transforms, VolumeAndPanScaleAndCrossTheSides) {
  Transform t;
  t.volume = 50;
  t.leftToLeft = 100;
  t.leftToRight = 100;
  t.rightToRight = 0;
  t.rightToLeft = 0;
  Mixer m;
  Voice v;
  v.pcm = MakePcm({8000, -4000}, 44100, 2);
  v.gains = [t] { return t.ToGains(); };
  m.Play(v);
  const auto out = MixFrames(m, 1);
  EXPECT_EQ(out[0], 4000) << "the left side at half volume";
  EXPECT_EQ(out[1], 4000) << "the left side sent right; the right side dropped";
  Transform parent;
  parent.volume = 50;
  const Gains g = parent.Over(t.ToGains());
  EXPECT_DOUBLE_EQ(g.leftToLeft, 0.25);
  EXPECT_DOUBLE_EQ(g.rightToRight, 0);
}

TEST(Mixing, LoudSumsClipInsteadOfWrapping) {
  Mixer m;
  Voice v;
  v.pcm = MakePcm({30000, -30000}, 44100);
  m.Play(v);
  m.Play(v);
  const auto out = MixFrames(m, 2);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(out[2], -32768);
}

TEST(Mixing, VoicesBeyondTheLimitDoNotStart) {
  Mixer m;
  Voice v;
  v.pcm = MakePcm(std::vector<std::int16_t>(100, 1), 44100);
  for (std::size_t i = 0; i < kMaxVoices; ++i) ASSERT_NE(m.Play(v), 0u);
  EXPECT_EQ(m.Play(v), 0u);
  EXPECT_EQ(m.VoiceCount(), kMaxVoices);
  m.StopIf([](const Voice&) { return true; });
  EXPECT_EQ(m.VoiceCount(), 0u);
}

}  // namespace
}  // namespace quillon::player::sound
