// DefineButtonSound: a button's four sounds are read with their playing instructions and each
// plays on its change of state, in the tick that follows.
#include <gtest/gtest.h>

#include "display/player.h"
#include "display/sound_stage.h"
#include "sound/sound_writer.h"

namespace quillon::player {
namespace {

using namespace test;

// A quarter of a tick's samples at 12 frames a second (3,675), all at `level`.
Bytes Level(int id, int level) {
  return DefineSound(id, FormatByte(3, 3, true, false), 900, Pcm16Bytes(std::vector<std::int16_t>(900, static_cast<std::int16_t>(level))));
}

// DefineButton: one 40-pixel square in every state, the hit area among them.
Bytes Button(int id, int shape) {
  Bytes b;
  U16(b, static_cast<unsigned>(id));
  b.push_back(0x0F);
  U16(b, static_cast<unsigned>(shape));
  U16(b, 1);
  Append(b, MatrixBytes(0, 0));
  b.push_back(0);  // end of records
  b.push_back(0);  // no actions
  return Tag(7, b);
}

// Sounds 10 to 13 for the changes in the tag's order: over to idle, idle to over, over to down
// (played twice), down to over.
Bytes ButtonSounds(int button) {
  Bytes b;
  U16(b, static_cast<unsigned>(button));
  for (int i = 0; i < 4; ++i) {
    U16(b, static_cast<unsigned>(10 + i));
    SoundInfoSpec info;
    if (i == 2) info.loops = 2;
    Append(b, SoundInfoBytes(info));
  }
  return Tag(17, b);
}

struct Stage {
  Player player;
  explicit Stage(const Bytes& file) : player(LoadMovie(file).movie) {
    player.sound().KeepAudio(true);
    Tick();
  }
  // The samples of one tick, left side.
  std::vector<double> Tick() {
    player.Tick();
    return Side(player.sound().TakeAudio(), 2, 0);
  }
};

std::size_t Sounding(const std::vector<double>& s) {
  std::size_t n = 0;
  for (const double v : s) n += v != 0;
  return n;
}

TEST(ButtonSounds, EachChangeOfStatePlaysItsSound) {
  const Bytes movie = MovieFile(
      300, 200,
      {RectShape(1, 0, 0, 800, 800, {255, 0, 0}), Level(10, 1000), Level(11, 2000), Level(12, 3000), Level(13, 4000),
       Button(2, 1), ButtonSounds(2), PlaceObject2({.depth = 1, .id = 2, .tx = 2000}), ShowFrame()},
      'F', 12);
  const auto loaded = LoadMovie(movie);
  ASSERT_TRUE(loaded.movie);
  ASSERT_EQ(loaded.movie->buttonSounds.count(2), 1u);
  const auto& read = loaded.movie->buttonSounds.at(2);
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(read.sounds[i]) << i;
    EXPECT_EQ(read.sounds[i]->soundId, 10 + i);
  }
  EXPECT_EQ(read.sounds[2]->info.loops, 2);

  Stage s(movie);
  EXPECT_EQ(Sounding(s.Tick()), 0u) << "nothing before the pointer comes";
  s.player.MouseMove(110, 10);
  auto heard = s.Tick();
  EXPECT_EQ(heard[0], 2000) << "idle to over";
  EXPECT_EQ(Sounding(heard), 900u);
  s.player.MouseDown();
  heard = s.Tick();
  EXPECT_EQ(heard[0], 3000) << "over to down";
  EXPECT_EQ(Sounding(heard), 1800u) << "looped twice";
  s.player.MouseUp();
  heard = s.Tick();
  EXPECT_EQ(heard[0], 4000) << "down to over";
  s.player.MouseMove(10, 10);
  heard = s.Tick();
  EXPECT_EQ(heard[0], 1000) << "over to idle";
  EXPECT_EQ(Sounding(s.Tick()), 0u) << "and nothing when nothing changes";
}

TEST(ButtonSounds, AnEmptySlotIsSilentAndTheOthersStillPlay) {
  Bytes sounds;
  U16(sounds, 2);
  U16(sounds, 0);   // over to idle: none
  U16(sounds, 11);  // idle to over
  sounds.push_back(0);
  U16(sounds, 0);
  U16(sounds, 0);
  const Bytes movie = MovieFile(300, 200,
                                {RectShape(1, 0, 0, 800, 800, {255, 0, 0}), Level(11, 2000), Button(2, 1),
                                 Tag(17, sounds), PlaceObject2({.depth = 1, .id = 2, .tx = 2000}), ShowFrame()},
                                'F', 12);
  Stage s(movie);
  s.player.MouseMove(110, 10);
  EXPECT_EQ(s.Tick()[0], 2000);
  s.player.MouseMove(10, 10);
  EXPECT_EQ(Sounding(s.Tick()), 0u);
}

}  // namespace
}  // namespace quillon::player
