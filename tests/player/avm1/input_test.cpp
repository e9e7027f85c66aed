// Mouse and keyboard input under scripts: button states and actions, exact hit areas, clip
// mouse events, dragging, Key listeners and key focus.
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

Asm& TraceText(Asm& a, const std::string& s) { return a.Push(s).Op(ops::kTrace); }
Bytes TraceCode(const std::string& s) {
  Asm a;
  TraceText(a, s);
  return a.Bytes();
}

// name.member = function () { trace(text); }
Asm& SetTracer(Asm& a, const std::string& name, const std::string& member, const std::string& text) {
  a.Push(name).Op(ops::kGetVariable).Push(member);
  a.DefineFunction("", {}, [text](Asm& body) { TraceText(body, text); });
  return a.Op(ops::kSetMember);
}

struct Stage {
  std::shared_ptr<const Movie> movie;
  Player player;
  Lines lines;
  explicit Stage(const Bytes& file) : movie(LoadMovie(file).movie), player(movie) {
    player.onTrace = [this](const std::string& l) { lines.push_back(l); };
    player.Tick();
  }
  Lines Take() {
    Lines out;
    out.swap(lines);
    return out;
  }
  // The character the button at `depth` of the root shows now.
  int Shown(int depth) {
    const auto& button = *player.root().displayList.at(depth).sprite;
    return button.displayList.empty() ? 0 : button.displayList.begin()->second.characterId;
  }
};

// Shapes 1, 3 and 4 are 40-pixel squares at the origin; the button shows 1 up, 3 over, 4
// down, and is hit where shape 1 is. It sits at (100, 0).
Bytes ButtonMovie() {
  return MovieFile(300, 200, {RectShape(1, 0, 0, 800, 800, {255, 0, 0}), RectShape(3, 0, 0, 800, 800, {0, 255, 0}),
                              RectShape(4, 0, 0, 800, 800, {0, 0, 255}),
                              Button2(2, {{0x01 | 0x08, 1, 1}, {0x02, 3, 1}, {0x04, 4, 1}},
                                      {{kCondIdleToOverUp, TraceCode("rollOver")},
                                       {kCondOverUpToOverDown, TraceCode("press")},
                                       {kCondOverDownToOverUp, TraceCode("release")},
                                       {kCondOverUpToIdle, TraceCode("rollOut")},
                                       {kCondOverDownToOutDown, TraceCode("dragOut")},
                                       {kCondOutDownToIdle, TraceCode("releaseOutside")}}),
                              PlaceObject2({.depth = 1, .id = 2, .tx = 2000, .name = "b"}), ShowFrame()});
}

TEST(InputButton, StatesFollowThePointerAndTransitionsRunTheirActions) {
  Stage s(ButtonMovie());
  EXPECT_EQ(s.Shown(1), 1);
  s.player.MouseMove(50, 10);  // beside it
  EXPECT_EQ(s.Take(), Lines{});
  s.player.MouseMove(110, 10);
  EXPECT_EQ(s.Take(), Lines{"rollOver"});
  EXPECT_EQ(s.Shown(1), 3);
  s.player.MouseDown();
  EXPECT_EQ(s.Take(), Lines{"press"});
  EXPECT_EQ(s.Shown(1), 4);
  s.player.MouseUp();
  EXPECT_EQ(s.Take(), Lines{"release"});
  EXPECT_EQ(s.Shown(1), 3);
  s.player.MouseMove(10, 10);
  EXPECT_EQ(s.Take(), Lines{"rollOut"});
  EXPECT_EQ(s.Shown(1), 1);
  // Pressed, dragged off and let go outside.
  s.player.MouseMove(120, 20);
  s.player.MouseDown();
  s.player.MouseMove(200, 100);
  s.player.MouseUp();
  EXPECT_EQ(s.Take(), (Lines{"rollOver", "press", "dragOut", "releaseOutside"}));
}

TEST(InputButton, HitAreaIsTheExactShapeOfARotatedRecord) {
  // A 100-pixel square centred on the origin, turned 45 degrees in the hit state: a diamond
  // whose corners lie 70.7 pixels out along the axes. The button sits at (150, 100).
  const double r = 0.70710678;
  Bytes file = MovieFile(300, 200, {RectShape(1, -1000, -1000, 2000, 2000, {255, 0, 0}),
                                    Button2(2, {{0x01, 1, 1}, {0x08, 1, 2, MatrixBytes(0, 0, r, r, -r)}},
                                            {{kCondIdleToOverUp, TraceCode("over")}, {kCondOverUpToIdle, TraceCode("out")}}),
                                    PlaceObject2({.depth = 1, .id = 2, .tx = 3000, .ty = 2000, .name = "b"}), ShowFrame()});
  Stage s(file);
  s.player.MouseMove(150 + 45, 100 + 45);  // inside the unturned square, outside the diamond
  EXPECT_EQ(s.Take(), Lines{});
  s.player.MouseMove(150 + 65, 100);  // inside the diamond's right corner, outside the square
  EXPECT_EQ(s.Take(), Lines{"over"});
  s.player.MouseMove(150 - 40, 100 - 40);
  EXPECT_EQ(s.Take(), Lines{"out"});
  s.player.MouseMove(150, 100 - 69);
  EXPECT_EQ(s.Take(), Lines{"over"});
}

TEST(InputButton, KeyPressConditionsRunOnTheirKey) {
  // Key-press conditions live in the high byte: the code shifted left by one.
  Bytes file = MovieFile(100, 100, {RectShape(1, 0, 0, 400, 400, {255, 0, 0}),
                                    Button2(2, {{0x0F, 1, 1}},
                                            {{static_cast<std::uint16_t>('x' << 9), TraceCode("x key")},
                                             {static_cast<std::uint16_t>(13 << 9), TraceCode("enter key")}}),
                                    PlaceObject2({.depth = 1, .id = 2, .name = "b"}), ShowFrame()});
  Stage s(file);
  s.player.KeyDown('X', 'x');
  s.player.KeyUp('X', 'x');
  s.player.KeyDown('Y', 'y');
  s.player.KeyDown(13, 13);
  EXPECT_EQ(s.Take(), (Lines{"x key", "enter key"}));
}

// A sprite "clip" (a 40-pixel square) at (100, 100) with handlers set by the root's script.
Bytes ClipMovie(const Asm& script, std::uint32_t events = 0, const Bytes& eventCode = {}) {
  std::vector<Bytes> tags{RectShape(1, 0, 0, 800, 800, {255, 0, 0}),
                          Sprite(2, {PlaceObject2({.depth = 1, .id = 1, .name = "square"}), ShowFrame()})};
  if (events) {
    Bytes body{0x80 | 0x20 | 0x04 | 0x02};
    U16(body, 1);
    U16(body, 2);
    Append(body, MatrixBytes(2000, 2000));
    for (char c : std::string("clip")) body.push_back(static_cast<std::uint8_t>(c));
    body.push_back(0);
    U16(body, 0);
    U32(body, events);
    U32(body, events);
    U32(body, static_cast<std::uint32_t>(eventCode.size()));
    Append(body, eventCode);
    U32(body, 0);
    tags.push_back(Tag(26, body));
  } else {
    tags.push_back(PlaceObject2({.depth = 1, .id = 2, .tx = 2000, .ty = 2000, .name = "clip"}));
  }
  tags.push_back(DoActionTag(script.Code()));
  tags.push_back(ShowFrame());
  return MovieFile(300, 300, tags);
}

TEST(InputClip, ClipsWithPressHandlersActAsButtons) {
  Asm a;
  SetTracer(a, "clip", "onPress", "press");
  SetTracer(a, "clip", "onRelease", "release");
  SetTracer(a, "clip", "onReleaseOutside", "releaseOutside");
  SetTracer(a, "clip", "onRollOver", "rollOver");
  SetTracer(a, "clip", "onRollOut", "rollOut");
  Stage s(ClipMovie(a));
  s.player.MouseMove(110, 110);
  s.player.MouseDown();
  s.player.MouseUp();
  EXPECT_EQ(s.Take(), (Lines{"rollOver", "press", "release"}));
  s.player.MouseDown();
  s.player.MouseMove(10, 10);  // no rollOut while held
  s.player.MouseUp();
  EXPECT_EQ(s.Take(), (Lines{"press", "releaseOutside"}));
  s.player.MouseMove(20, 20);
  s.player.MouseDown();  // on nothing
  s.player.MouseUp();
  EXPECT_EQ(s.Take(), Lines{});
}

TEST(InputClip, EveryClipHearsMouseEventsAndListenersToo) {
  Asm a;
  // var l = {}; l.onMouseDown = ...; Mouse.addListener(l);
  a.Push("l").Push(0).Op(ops::kInitObject).Op(ops::kSetVariable);
  SetTracer(a, "l", "onMouseDown", "listener down");
  SetTracer(a, "l", "onMouseUp", "listener up");
  a.Push("l").Op(ops::kGetVariable).Push(1).Push("Mouse").Op(ops::kGetVariable).Push("addListener")
      .Op(ops::kCallMethod).Op(ops::kPop);
  Stage s(ClipMovie(a, kEventMouseDown, TraceCode("clip event")));
  s.player.MouseMove(5, 5);  // far from the clip: clip events do not care
  s.player.MouseDown();
  s.player.MouseUp();
  const Lines got = s.Take();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_NE(std::find(got.begin(), got.end(), "clip event"), got.end());
  EXPECT_EQ(got.back(), "listener up");
}

TEST(InputClip, MouseCoordinatesAreTheClipsOwn) {
  Asm a;
  Stage s(ClipMovie(a));
  s.player.MouseMove(130.5, 90);
  avm1::Clip* clip = s.player.ObjectOf(*s.player.rootInstance().displayList.at(1).sprite);
  EXPECT_EQ(clip->GetIndexed(20).number, 30.5);
  EXPECT_EQ(clip->GetIndexed(21).number, -10);
  EXPECT_EQ(s.player.ObjectOf(s.player.rootInstance())->GetIndexed(20).number, 130.5);
}

TEST(InputClip, DraggedClipsFollowThePointerWithinTheirBounds) {
  Asm a;
  // clip.startDrag(false, 0, 0, 150, 150)
  for (double v : {150.0, 150.0, 0.0, 0.0}) a.Push(v);
  a.Push(false).Push(5).Push("clip").Op(ops::kGetVariable).Push("startDrag").Op(ops::kCallMethod).Op(ops::kPop);
  Stage s(ClipMovie(a));
  // The drag began with the pointer at (0, 0): the clip keeps its offset of (100, 100).
  avm1::Clip* clip = s.player.ObjectOf(*s.player.rootInstance().displayList.at(1).sprite);
  s.player.MouseMove(20, 30);
  EXPECT_EQ(clip->GetIndexed(0).number, 120);
  EXPECT_EQ(clip->GetIndexed(1).number, 130);
  s.player.MouseMove(200, 10);
  EXPECT_EQ(clip->GetIndexed(0).number, 150);  // held at the right edge of the bounds
  EXPECT_EQ(clip->GetIndexed(1).number, 110);
  s.player.machine().RunScript(std::make_shared<const std::vector<std::uint8_t>>(Asm().Op(ops::kEndDrag).Bytes()), clip);
  s.player.MouseMove(0, 0);
  EXPECT_EQ(clip->GetIndexed(0).number, 150);
}

TEST(InputKey, ListenersClipEventsAndKeyState) {
  Asm a;
  a.Push("l").Push(0).Op(ops::kInitObject).Op(ops::kSetVariable);
  // l.onKeyDown = function () { trace(Key.getCode() + " " + Key.getAscii()); }
  a.Push("l").Op(ops::kGetVariable).Push("onKeyDown");
  a.DefineFunction("", {}, [](Asm& b) {
    b.Push(0).Push("Key").Op(ops::kGetVariable).Push("getCode").Op(ops::kCallMethod).Push(" ").Op(ops::kAdd2);
    b.Push(0).Push("Key").Op(ops::kGetVariable).Push("getAscii").Op(ops::kCallMethod).Op(ops::kAdd2).Op(ops::kTrace);
  });
  a.Op(ops::kSetMember);
  SetTracer(a, "l", "onKeyUp", "up");
  a.Push("l").Op(ops::kGetVariable).Push(1).Push("Key").Op(ops::kGetVariable).Push("addListener")
      .Op(ops::kCallMethod).Op(ops::kPop);
  Stage s(ClipMovie(a, kEventKeyDown, TraceCode("clip keyDown")));
  s.player.KeyDown(65, 97);
  auto isDown = [&](int code) {
    Asm q;
    q.Push(code).Push(1).Push("Key").Op(ops::kGetVariable).Push("isDown").Op(ops::kCallMethod).Op(ops::kTrace);
    s.player.machine().RunScript(std::make_shared<const std::vector<std::uint8_t>>(q.Bytes()),
                                 s.player.ObjectOf(s.player.rootInstance()));
    return s.Take();
  };
  EXPECT_EQ(s.Take(), (Lines{"65 97", "clip keyDown"}));
  EXPECT_EQ(isDown(65), Lines{"true"});
  s.player.KeyUp(65, 97);
  EXPECT_EQ(s.Take(), Lines{"up"});
  EXPECT_EQ(isDown(65), Lines{"false"});
}

TEST(InputKey, FocusTakesKeysFirstAndTabMovesItInReadingOrder) {
  // Two buttons: "b" at (100, 0) and "c" at (0, 100); Tab goes by rows, so from b to c.
  Asm a;
  SetTracer(a, "b", "onKeyDown", "b down");
  SetTracer(a, "c", "onKeyDown", "c down");
  SetTracer(a, "c", "onSetFocus", "c focused");
  SetTracer(a, "b", "onKillFocus", "b lost focus");
  SetTracer(a, "c", "onPress", "c pressed");
  a.Push("b").Op(ops::kGetVariable).Push(1).Push("Selection").Op(ops::kGetVariable).Push("setFocus")
      .Op(ops::kCallMethod).Op(ops::kPop);
  Bytes file = MovieFile(300, 300, {RectShape(1, 0, 0, 800, 800, {255, 0, 0}), Button2(2, {{0x0F, 1, 1}}, {}),
                                    PlaceObject2({.depth = 1, .id = 2, .tx = 2000, .name = "b"}),
                                    PlaceObject2({.depth = 2, .id = 2, .ty = 2000, .name = "c"}),
                                    DoActionTag(a.Code()), ShowFrame()});
  Stage s(file);
  s.player.KeyDown(9, 9);
  s.player.KeyUp(9, 9);
  s.player.KeyDown(32, 32);
  EXPECT_EQ(s.Take(), (Lines{"b down", "b lost focus", "c focused", "c down", "c pressed"}));
}

}  // namespace
}  // namespace quillon::player
