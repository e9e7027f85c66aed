// The playing window's arithmetic: fitting the stage and timing frames without drift.
#include <gtest/gtest.h>

#include "render/stage_view.h"

namespace quillon::player {
namespace {

TEST(ClientToStage, UndoesTheScaleAndTheBars) {
  // 550 x 400 in 1100 x 1000: scale 2 with 100 rows of bar above; client (300, 500) is
  // (300 / 2, (500 - 100) / 2) on the stage.
  const Viewport v = FitStage(1100, 1000, 550, 400);
  const StagePoint p = ClientToStage(v, 300, 500);
  EXPECT_DOUBLE_EQ(p.x, 150);
  EXPECT_DOUBLE_EQ(p.y, 200);
  // A point on the bar lands off the stage, above it.
  EXPECT_LT(ClientToStage(v, 10, 50).y, 0);
  // Unscaled and centred: 400 x 300 in 600 x 500 sits at (100, 100).
  const Viewport c = CentreStage(600, 500, 400, 300);
  EXPECT_EQ(c.x, 100);
  EXPECT_EQ(c.y, 100);
  EXPECT_DOUBLE_EQ(c.scale, 1.0);
  EXPECT_DOUBLE_EQ(ClientToStage(c, 100, 399).y, 299);
  // A smaller client shows the stage's middle: the corner lies outside, left and above.
  EXPECT_EQ(CentreStage(200, 100, 400, 300).x, -100);
  EXPECT_EQ(CentreStage(0, 100, 400, 300).width, 0);
}

TEST(FitStage, KeepsTheProportionsAndCentresWithBars) {
  // 550 x 400 in a 1100 x 1000 window: width limits, scale 2, bars of 100 above and below.
  const Viewport v = FitStage(1100, 1000, 550, 400);
  EXPECT_DOUBLE_EQ(v.scale, 2.0);
  EXPECT_EQ(v.width, 1100);
  EXPECT_EQ(v.height, 800);
  EXPECT_EQ(v.x, 0);
  EXPECT_EQ(v.y, 100);
  // Height limits: 400 x 300 stage in 1000 x 300: scale 1, bars of 300 left and right.
  const Viewport h = FitStage(1000, 300, 400, 300);
  EXPECT_EQ(h.width, 400);
  EXPECT_EQ(h.x, 300);
  EXPECT_EQ(h.y, 0);
  // The stage's own size shows it unscaled.
  const Viewport same = FitStage(550, 400, 550, 400);
  EXPECT_EQ(same.x, 0);
  EXPECT_EQ(same.width, 550);
  EXPECT_DOUBLE_EQ(same.scale, 1.0);
  // A minimised window (0 x 0) draws nothing.
  EXPECT_EQ(FitStage(0, 0, 550, 400).width, 0);
}

TEST(FrameClock, LateWakeUpsDoNotAccumulateIntoDrift) {
  // 24 fps in milliseconds; every wake-up comes 9 ms late.
  const double period = 1000.0 / 24;
  FrameClock clock(period, 0);
  int frames = 0;
  double now = 0;
  for (int i = 0; i < 240; ++i) {
    now = clock.NextDue() + 9;
    while (clock.Due(now)) ++frames;
  }
  // After 240 wake-ups the clock has shown one frame per period up to `now`, no fewer.
  EXPECT_EQ(frames, static_cast<int>(now / period) + 1);
  EXPECT_NEAR(clock.NextDue(), frames * period, 1e-6);
}

TEST(FrameClock, ALongStallResumesInsteadOfRacing) {
  FrameClock clock(10, 0, 5);
  EXPECT_TRUE(clock.Due(0));
  EXPECT_FALSE(clock.Due(5));
  int burst = 0;
  while (clock.Due(10000)) ++burst;  // woke up 1000 frames late
  EXPECT_LE(burst, 1);
  EXPECT_GT(clock.NextDue(), 10000);
}

}  // namespace
}  // namespace quillon::player
