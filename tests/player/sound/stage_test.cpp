// Sound in played movies: StartSound tags start and stop event sounds, a streamed sound keeps
// to its timeline's frames, and each tick gives exactly one frame's worth of samples.
#include <gtest/gtest.h>

#include "display/player.h"
#include "display/sound_stage.h"
#include "sound/sound_writer.h"
#include "sound/wav.h"

namespace quillon::player {
namespace {

using test::Bytes;

std::shared_ptr<const Movie> Load(const Bytes& file) {
  auto r = LoadMovie(file);
  EXPECT_TRUE(r.movie);
  return r.movie;
}

std::vector<std::int16_t> Play(Player& player, int frames) {
  player.sound().KeepAudio(true);
  std::vector<std::int16_t> all;
  for (int i = 0; i < frames; ++i) {
    player.Tick();
    const auto part = player.sound().TakeAudio();
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

std::size_t SoundingLength(const std::vector<std::int16_t>& out) {
  std::size_t last = 0;
  for (std::size_t i = 0; i < out.size(); i += 2)
    if (out[i] != 0) last = i / 2 + 1;
  return last;
}

TEST(EventSounds, StartSoundPlaysItAndTicksGiveTheirFramesOfSamples) {
  const auto wave = test::Sine(440, 22050, 5512);  // a quarter second
  const Bytes movie = test::MovieFile(
      100, 100,
      {test::DefineSound(1, test::FormatByte(3, 2, true, false), 5512, test::Pcm16Bytes(wave)), test::StartSoundTag(1),
       test::ShowFrame(), test::ShowFrame(), test::DoActionTag(Bytes{0x07, 0x00}), test::ShowFrame()},
      'F', 12);
  auto m = Load(movie);
  ASSERT_EQ(m->sounds.size(), 1u);
  Player player(m);
  EXPECT_TRUE(player.sound().HasSound());
  const auto out = Play(player, 10);
  EXPECT_EQ(out.size(), 36750u * 2) << "10 frames at 12 a second are 36,750 samples";
  EXPECT_NEAR(static_cast<double>(SoundingLength(out)), 11025, 3);
  EXPECT_NEAR(test::Frequency(test::Side(out, 2, 0), 44100), 440, 1);
  EXPECT_EQ(player.sound().mixer().VoiceCount(), 0u) << "played once, on the movie's stopped timeline";
}

TEST(EventSounds, TheStopFlagAndNoMultipleAreHonoured) {
  const Bytes pcm = test::Pcm16Bytes(std::vector<std::int16_t>(44100, 1000));
  test::SoundInfoSpec stop, once;
  stop.stop = true;
  once.noMultiple = true;
  const Bytes movie = test::MovieFile(
      100, 100,
      {test::DefineSound(1, test::FormatByte(3, 3, true, false), 44100, pcm), test::StartSoundTag(1, once),
       test::ShowFrame(), test::StartSoundTag(1, once), test::ShowFrame(), test::StartSoundTag(1, stop),
       test::ShowFrame()},
      'F', 10);
  Player player(Load(movie));
  const auto out = Play(player, 3);
  EXPECT_EQ(out[4410 * 2 + 100], 1000) << "the second start is refused: one voice, not two";
  EXPECT_EQ(SoundingLength(out), 8820u) << "stopped in the third frame, before its samples";
}

// A streamed sound whose every frame's block holds that frame's number: the sound heard at
// each frame must be its own block's, over thirty seconds.
Bytes CountingStream(int frames, bool stopAt5) {
  std::vector<Bytes> tags = {test::StreamHead(test::FormatByte(3, 1, true, false), 441)};
  for (int f = 0; f < frames; ++f) {
    tags.push_back(test::StreamBlock(test::Pcm16Bytes(std::vector<std::int16_t>(441, static_cast<std::int16_t>((f + 1) * 10)))));
    if (stopAt5 && f == 4) tags.push_back(test::DoActionTag(Bytes{0x07, 0x00}));
    tags.push_back(test::ShowFrame());
  }
  return test::MovieFile(100, 100, tags, 'F', 25);
}

TEST(StreamedSound, StaysWithItsFramesForThirtySeconds) {
  const int frames = 750;
  Player player(Load(CountingStream(frames, false)));
  const auto out = Play(player, frames);
  ASSERT_EQ(out.size(), static_cast<std::size_t>(frames) * 1764 * 2);
  int off = 0;
  for (int f = 0; f < frames; ++f) {
    const std::size_t middle = static_cast<std::size_t>(f) * 1764 + 882;
    if (out[middle * 2] != (f + 1) * 10) ++off;
  }
  EXPECT_EQ(off, 0) << "frames whose sound was another frame's";
}

TEST(StreamedSound, StopsWhenItsClipStops) {
  Player player(Load(CountingStream(20, true)));
  const auto out = Play(player, 10);
  EXPECT_EQ(out[(4 * 1764 + 882) * 2], 50);
  EXPECT_EQ(SoundingLength(out), 5u * 1764) << "nothing after the frame that stopped";
}

TEST(WavOutput, HeaderDescribes16BitStereoAt44100) {
  const std::vector<std::int16_t> s = {1, -1, 256, -256};
  const auto wav = sound::WavBytes(s);
  ASSERT_EQ(wav.size(), 44u + 8u);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(wav[22], 2);                                 // channels
  EXPECT_EQ(wav[24] | wav[25] << 8 | wav[26] << 16, 44100);
  EXPECT_EQ(wav[34], 16);                                // bits
  EXPECT_EQ(wav[40], 8);                                 // data bytes
  EXPECT_EQ(wav[46], 0xFF);
  EXPECT_EQ(wav[47], 0xFF);
}

}  // namespace
}  // namespace quillon::player
