// Timelines: frame stepping, sprites, and the frame-control scripts of the AVM1 subset.
#include <gtest/gtest.h>

#include <set>

#include "display/player.h"
#include "swf_writer.h"

namespace quillon::player {
namespace {

using namespace test;

const Bytes kStop{0x07};
const Bytes kPlay{0x06};
Bytes GotoFrame(int frame0) {
  return {0x81, 2, 0, static_cast<std::uint8_t>(frame0), static_cast<std::uint8_t>(frame0 >> 8)};
}
Bytes PushString(const std::string& s) {
  Bytes b{0x96};
  U16(b, static_cast<unsigned>(s.size() + 2));
  b.push_back(0);
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(0);
  return b;
}
Bytes GotoLabel(const std::string& label) {
  Bytes b{0x8C};
  U16(b, static_cast<unsigned>(label.size() + 1));
  b.insert(b.end(), label.begin(), label.end());
  b.push_back(0);
  return b;
}
Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const auto& p : parts) Append(b, p);
  return b;
}

// Which colour the 10 x 10 stage shows after `ticks` frames.
struct Session {
  std::shared_ptr<const Movie> movie;
  Player player;
  explicit Session(const Bytes& file) : movie(LoadMovie(file).movie), player(movie) {}
  Rgba After(int ticks) {
    for (int i = 0; i < ticks; ++i) player.Tick();
    Canvas c(10, 10, {});
    player.Render(c, Quality::Low);
    return c.at(5, 5);
  }
};

constexpr Rgba kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255}, kWhite{255, 255, 255, 255};

std::vector<Bytes> Colours() {
  return {Background({255, 255, 255}), RectShape(1, 0, 0, 200, 200, {255, 0, 0}),
          RectShape(2, 0, 0, 200, 200, {0, 255, 0}), RectShape(3, 0, 0, 200, 200, {0, 0, 255})};
}

// Frame k (0-based) shows shape k+1; `scripts[k]` runs in frame k.
Bytes ThreeFrames(const std::vector<Bytes>& scripts = {}, const std::vector<std::string>& labels = {}) {
  auto tags = Colours();
  for (int f = 0; f < 3; ++f) {
    if (f > 0) tags.push_back(RemoveObject2(1));
    tags.push_back(PlaceObject2({.depth = 1, .id = f + 1}));
    if (static_cast<std::size_t>(f) < labels.size() && !labels[f].empty()) tags.push_back(FrameLabel(labels[f]));
    if (static_cast<std::size_t>(f) < scripts.size() && !scripts[f].empty()) tags.push_back(DoActionTag(scripts[f]));
    tags.push_back(ShowFrame());
  }
  return MovieFile(10, 10, tags);
}

TEST(Timeline, FramesStepAndTheMainTimelineLoops) {
  Session run(ThreeFrames());
  EXPECT_EQ(run.After(0), kWhite) << "nothing shows before the first frame";
  EXPECT_EQ(run.After(1), kRed);
  EXPECT_EQ(run.After(1), kGreen);
  EXPECT_EQ(run.After(1), kBlue);
  EXPECT_EQ(run.After(1), kRed) << "after the last frame the movie starts over";
  EXPECT_EQ(run.player.CurrentFrame(), 0u);
}

TEST(Timeline, StopHoldsTheFrameAndGotoFrameJumps) {
  Session stop(ThreeFrames({{}, kStop}));
  EXPECT_EQ(stop.After(2), kGreen);
  EXPECT_EQ(stop.After(10), kGreen) << "Stop in frame 2 must hold it";
  EXPECT_FALSE(stop.player.Playing());

  // Frame 1 jumps to frame 3 (index 2) and stops there.
  Session jump(ThreeFrames({Concat({GotoFrame(2), kStop})}));
  EXPECT_EQ(jump.After(1), kBlue);
  EXPECT_EQ(jump.After(5), kBlue);

  // Frame 3's script jumps back to frame 2 before frame 3 is drawn; the GotoFrame action
  // stops there, as the reference movies show.
  Session back(ThreeFrames({{}, {}, GotoFrame(1)}));
  EXPECT_EQ(back.After(3), kGreen);
  EXPECT_EQ(back.After(1), kGreen);
  EXPECT_EQ(back.player.CurrentFrame(), 1u);
  EXPECT_FALSE(back.player.Playing());
}

TEST(Timeline, GotoLabelAndGotoFrame2FindLabelledFrames) {
  Session label(ThreeFrames({Concat({GotoLabel("last"), kStop})}, {"", "", "last"}));
  EXPECT_EQ(label.After(1), kBlue);
  // GotoFrame2 with a label string on the stack, "play" flag clear.
  Bytes gotoFrame2 = Concat({PushString("Middle"), Bytes{0x9F, 1, 0, 0x00}});
  Session frame2(ThreeFrames({gotoFrame2}, {"", "middle"}));
  EXPECT_EQ(frame2.After(1), kGreen) << "labels match without regard to case";
  EXPECT_EQ(frame2.After(3), kGreen) << "GotoFrame2 without the play flag stops";
}

TEST(Timeline, SpritesRunTheirOwnTimelineAndStopOnlyThemselves) {
  auto tags = Colours();
  // Sprite 10: red, green (stop), blue.
  tags.push_back(Sprite(10, {PlaceObject2({.depth = 1, .id = 1}), ShowFrame(), RemoveObject2(1),
                             PlaceObject2({.depth = 1, .id = 2}), DoActionTag(kStop), ShowFrame(), RemoveObject2(1),
                             PlaceObject2({.depth = 1, .id = 3}), ShowFrame()}));
  tags.push_back(PlaceObject2({.depth = 1, .id = 10}));
  tags.push_back(ShowFrame());
  tags.push_back(ShowFrame());
  tags.push_back(ShowFrame());
  tags.push_back(ShowFrame());
  Session run(MovieFile(10, 10, tags));
  EXPECT_EQ(run.After(1), kRed);
  EXPECT_EQ(run.After(1), kGreen);
  EXPECT_EQ(run.After(3), kGreen) << "the sprite's Stop holds the sprite";
  EXPECT_TRUE(run.player.Playing()) << "the sprite's Stop must not stop the main timeline";
  EXPECT_EQ(run.player.CurrentFrame(), 0u) << "the main timeline (4 frames) looped after 5 ticks";
}

TEST(Timeline, GetUrlIsHandedToTheHost) {
  Bytes getUrl{0x83};
  const std::string url = "https://example.org/", target = "_blank";
  U16(getUrl, static_cast<unsigned>(url.size() + target.size() + 2));
  getUrl.insert(getUrl.end(), url.begin(), url.end());
  getUrl.push_back(0);
  getUrl.insert(getUrl.end(), target.begin(), target.end());
  getUrl.push_back(0);
  Session run(ThreeFrames({getUrl}));
  std::vector<std::string> opened;
  run.player.onGetUrl = [&](const std::string& u, const std::string& t) { opened.push_back(u + " " + t); };
  run.After(1);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], "https://example.org/ _blank");
}

// GetURL2 (0x9A) with the value on top of the stack as address: the host sees it as text.
Bytes Report(const Bytes& pushValue) { return Concat({pushValue, PushString(""), Bytes{0x9A, 1, 0, 0}}); }

TEST(Timeline, GetTimeCountsMovieTimeAndRandomNumberStaysInRange) {
  // At 4 frames per second each frame lasts 250 ms; the clock starts with the first frame.
  std::vector<std::string> seen;
  auto listen = [&](Player& p) { p.onGetUrl = [&](const std::string& u, const std::string&) { seen.push_back(u); }; };
  {
    const Bytes getTime = Report(Bytes{0x34});
    auto tags = Colours();
    for (int f = 0; f < 3; ++f) {
      tags.push_back(DoActionTag(getTime));
      tags.push_back(ShowFrame());
    }
    Session run(MovieFile(10, 10, tags, 'F', 4));
    listen(run.player);
    run.After(3);
    EXPECT_EQ(seen, (std::vector<std::string>{"0", "250", "500"}));
  }
  seen.clear();
  // random(3), 24 times: every answer is 0, 1 or 2, and not all the same.
  Bytes script;
  for (int i = 0; i < 24; ++i) Append(script, Report(Bytes{0x96, 5, 0, 7, 3, 0, 0, 0, 0x30}));
  Append(script, Report(Bytes{0x96, 5, 0, 7, 0, 0, 0, 0, 0x30}));  // random(0) gives 0
  Session run(ThreeFrames({script}));
  listen(run.player);
  run.After(1);
  ASSERT_EQ(seen.size(), 25u);
  std::set<std::string> distinct(seen.begin(), seen.end() - 1);
  for (const auto& v : distinct) EXPECT_TRUE(v == "0" || v == "1" || v == "2") << v;
  EXPECT_GT(distinct.size(), 1u);
  EXPECT_EQ(seen.back(), "0");
}

TEST(Timeline, PropertyNumbersBeyondAnyPropertyAreIgnored) {
  // getProperty("", 2^32) and setProperty("", -2^32, 1) change nothing; frame 2 follows as usual.
  const Bytes huge{0x96, 9, 0, 6, 0x00, 0x00, 0xF0, 0x41, 0, 0, 0, 0};  // 2^32: high word first
  const Bytes hugeNegative{0x96, 9, 0, 6, 0x00, 0x00, 0xF0, 0xC1, 0, 0, 0, 0};
  const Bytes script = Concat({PushString(""), huge, Bytes{0x22, 0x17}, PushString(""), hugeNegative,
                               Bytes{0x96, 5, 0, 7, 1, 0, 0, 0, 0x23}});
  Session run(ThreeFrames({script}));
  EXPECT_EQ(run.After(1), kRed);
  EXPECT_EQ(run.After(1), kGreen);
}

TEST(Timeline, EndlessScriptsAndSelfPlacingSpritesCannotHangThePlayer) {
  // Jump back onto itself forever.
  const Bytes loop{0x99, 2, 0, 0xFB, 0xFF};
  Session run(ThreeFrames({loop}));
  EXPECT_EQ(run.After(2), kGreen) << "the endless script ends and the movie plays on";

  // A string doubling itself forever stops growing and the tick ends.
  const Bytes doubling = Concat({PushString("ab"), Bytes{0x4C, 0x21, 0x99, 2, 0, 0xF9, 0xFF}});
  Session grow(ThreeFrames({doubling}));
  EXPECT_EQ(grow.After(2), kGreen);

  // Sprite 10 places itself inside itself.
  auto tags = Colours();
  tags.push_back(Sprite(10, {PlaceObject2({.depth = 1, .id = 1}), PlaceObject2({.depth = 2, .id = 10}), ShowFrame()}));
  tags.push_back(PlaceObject2({.depth = 1, .id = 10}));
  tags.push_back(ShowFrame());
  Session self(MovieFile(10, 10, tags));
  EXPECT_EQ(self.After(2), kRed);
}

TEST(Timeline, SetPropertyThroughAClipNameChangesItsAlpha) {
  // box._alpha = 50 (GetVariable "box", SetMember "_alpha") over a black background.
  auto tags = Colours();
  tags.push_back(Background({0, 0, 0}));
  tags.push_back(PlaceObject2({.depth = 1, .id = 1, .name = "box"}));
  Bytes script = Concat({PushString("box"), Bytes{0x1C}, PushString("_alpha"),
                         Bytes{0x96, 5, 0, 7, 50, 0, 0, 0}, Bytes{0x4F}});
  tags.push_back(DoActionTag(script));
  tags.push_back(ShowFrame());
  Session run(MovieFile(10, 10, tags));
  // 50 % is stored as 128/256; red 255 at alpha 128 over black gives 128.
  EXPECT_EQ(run.After(1), (Rgba{128, 0, 0, 255}));
}

}  // namespace
}  // namespace quillon::player
