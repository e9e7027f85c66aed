// setInterval and setTimeout under the player's frames: calls by the clock of the frame's end,
// catching up one call per interval passed, earliest first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "avm1/assembler.h"
#include "display/player.h"
#include "swf_writer.h"

namespace quillon::player {
namespace {

using namespace test;
using avm1::testing::Asm;
namespace ops = avm1::testing;
using Lines = std::vector<std::string>;

// set<kind>(function () { trace(label); }, ms)
Asm& StartTimer(Asm& a, const char* kind, const std::string& label, double ms) {
  a.Push(ms);
  a.DefineFunction("", {}, [label](Asm& body) { body.Push(label).Op(ops::kTrace); });
  return a.Push(2, kind).Op(ops::kCallFunction).Op(ops::kPop);
}

struct Frames {
  std::shared_ptr<const Movie> movie;
  Player player;
  Lines lines;
  // A 10 frames-a-second movie whose first frame runs `script`; the rest of its frames are empty.
  explicit Frames(const Asm& script)
      : movie(LoadMovie(MovieFile(100, 100, {DoActionTag(script.Code()), ShowFrame(), ShowFrame(), ShowFrame(), ShowFrame()},
                                  'F', 10))
                  .movie),
        player(movie) {
    player.onTrace = [this](const std::string& l) { lines.push_back(l); };
  }
  Lines Tick() {
    player.Tick();
    Lines out;
    out.swap(lines);
    return out;
  }
};

TEST(Timers, AnIntervalCatchesUpOneCallPerIntervalWithinEachFrame) {
  Asm a;
  StartTimer(a, "setInterval", "i", 30);
  Frames run(a);
  EXPECT_EQ(run.Tick(), (Lines{"i", "i", "i"})) << "due at 30, 60 and 90 ms of the first 100";
  EXPECT_EQ(run.Tick(), (Lines{"i", "i", "i"})) << "120, 150, 180";
  EXPECT_EQ(run.Tick(), (Lines{"i", "i", "i", "i"})) << "210, 240, 270, 300";
}

TEST(Timers, TimersDueInOneFrameRunEarliestFirstAndATimeoutOnce) {
  Asm a;
  StartTimer(a, "setInterval", "fifty", 50);
  StartTimer(a, "setInterval", "forty", 40);
  StartTimer(a, "setTimeout", "once", 150);
  Frames run(a);
  EXPECT_EQ(run.Tick(), (Lines{"forty", "fifty", "forty", "fifty"})) << "40, 50, 80, 100";
  EXPECT_EQ(run.Tick(), (Lines{"forty", "fifty", "once", "forty", "fifty", "forty"}))
      << "120, 150, 150, 160, 200, 200: a tie goes to the timer started first";
  EXPECT_EQ(run.Tick(), (Lines{"forty", "fifty", "forty", "fifty"})) << "the timeout is gone";
}

}  // namespace
}  // namespace quillon::player
