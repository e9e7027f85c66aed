// Keyboard focus under scripts: the Tab order, focus events and the roll events a focused
// button hears, what takes the focus and what loses it, the focus rectangle, the cursor.
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

// path.member = function () { trace(text); }
Asm& SetTracer(Asm& a, const std::string& path, const std::string& member, const std::string& text) {
  a.Push(path).Op(ops::kGetVariable).Push(member);
  a.DefineFunction("", {}, [text](Asm& body) { TraceText(body, text); });
  return a.Op(ops::kSetMember);
}

// path.member = value
template <typename V>
Asm& SetMember(Asm& a, const std::string& path, const std::string& member, V value) {
  return a.Push(path).Op(ops::kGetVariable).Push(member).Push(value).Op(ops::kSetMember);
}

// Selection hears of every change and traces the new focus.
Asm& TraceFocusChanges(Asm& a) {
  a.Push("l").Push(0).Op(ops::kInitObject).Op(ops::kSetVariable);
  a.Push("l").Op(ops::kGetVariable).Push("onSetFocus");
  a.DefineFunction("", {"o", "n"}, [](Asm& b) { b.Push("focus ").Push("n").Op(ops::kGetVariable).Op(ops::kAdd2).Op(ops::kTrace); });
  a.Op(ops::kSetMember);
  return a.Push("l").Op(ops::kGetVariable).Push(1).Push("Selection").Op(ops::kGetVariable).Push("addListener")
      .Op(ops::kCallMethod).Op(ops::kPop);
}

// trace(Selection.setFocus(path))
Asm& TraceSetFocus(Asm& a, const std::string& path) {
  return a.Push(path).Op(ops::kGetVariable).Push(1).Push("Selection").Op(ops::kGetVariable).Push("setFocus")
      .Op(ops::kCallMethod).Op(ops::kTrace);
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
  void Run(const Asm& a) {
    player.machine().RunScript(std::make_shared<const std::vector<std::uint8_t>>(a.Bytes()),
                               player.ObjectOf(player.rootInstance()));
  }
  void Tab(bool backwards = false) {
    if (backwards) player.KeyDown(16, 0);
    player.KeyDown(9, 9);
    player.KeyUp(9, 9);
    if (backwards) player.KeyUp(16, 0);
  }
};

// A test rectangle shape with its declared bounds made its true ones: the focus frame
// follows what a shape declares.
Bytes TightRectShape(int id, int w, int h, Rgb fill) {
  const Bytes tag = RectShape(id, 0, 0, w, h, fill);
  const std::size_t head = (tag[0] | (tag[1] << 8)) & 0x3F;
  const std::size_t start = head == 0x3F ? 6 : 2;
  Bytes body(tag.begin() + static_cast<std::ptrdiff_t>(start), tag.end());
  const std::size_t loose = Rect(-100000, 100000, -100000, 100000).size();
  const Bytes tight = Rect(0, w, 0, h);
  body.erase(body.begin() + 2, body.begin() + 2 + static_cast<std::ptrdiff_t>(loose));
  body.insert(body.begin() + 2, tight.begin(), tight.end());
  return Tag(tag[0] >> 6 | (tag[1] << 2), body);
}

// Sprite 10 is a red 40-pixel square at its origin; `clips` places it by name at pixel corners.
struct Placed {
  std::string name;
  int x, y;
};
Bytes SquaresMovie(const std::vector<Placed>& clips, const Asm& script, const std::vector<Bytes>& more = {}) {
  std::vector<Bytes> tags{TightRectShape(1, 800, 800, {255, 0, 0}),
                          Sprite(10, {PlaceObject2({.depth = 1, .id = 1, .name = ""}), ShowFrame()})};
  tags.insert(tags.end(), more.begin(), more.end());
  int depth = 1;
  for (const Placed& c : clips) tags.push_back(PlaceObject2({.depth = depth++, .id = 10, .tx = c.x * 20, .ty = c.y * 20, .name = c.name}));
  tags.push_back(DoActionTag(script.Code()));
  tags.push_back(ShowFrame());
  return MovieFile(300, 300, tags);
}

TEST(FocusTabOrder, TabGoesByRowsAndSkipsAClipOnAnotherClipsCorner) {
  Asm a;
  TraceFocusChanges(a);
  for (const char* n : {"a", "b", "c", "d"}) SetMember(a, n, "tabEnabled", true);
  // b and d share the top left corner; d comes later on the stage, so Tab never stops at it.
  Stage s(SquaresMovie({{"a", 200, 0}, {"b", 0, 0}, {"c", 0, 100}, {"d", 0, 0}}, a));
  for (int i = 0; i < 4; ++i) s.Tab();
  EXPECT_EQ(s.Take(), (Lines{"focus _level0.b", "focus _level0.a", "focus _level0.c", "focus _level0.b"}));
  s.Tab(true);
  EXPECT_EQ(s.Take(), Lines{"focus _level0.c"}) << "Shift+Tab goes back, wrapping to the last row";
}

TEST(FocusTabOrder, TabIndexOrdersAndTabChildrenFalseHidesAClipsInside) {
  Asm a;
  TraceFocusChanges(a);
  SetMember(a, "x", "tabIndex", 2);
  a.Push("outer").Op(ops::kGetVariable).Push("inner").Op(ops::kGetMember).Push("tabIndex").Push(1).Op(ops::kSetMember);
  SetMember(a, "outer", "tabIndex", 3);
  SetMember(a, "y", "tabEnabled", true);  // no tabIndex: outside the custom order
  const Bytes outer = Sprite(11, {PlaceObject2({.depth = 1, .id = 10, .name = "inner"}), ShowFrame()});
  Stage s(SquaresMovie({{"x", 0, 0}, {"y", 0, 200}}, a, {outer, PlaceObject2({.depth = 5, .id = 11, .tx = 2000, .ty = 2000, .name = "outer"})}));
  for (int i = 0; i < 3; ++i) s.Tab();
  EXPECT_EQ(s.Take(), (Lines{"focus _level0.outer.inner", "focus _level0.x", "focus _level0.outer"}));
  Asm hide;
  SetMember(hide, "outer", "tabChildren", false);
  s.Run(hide);
  s.Tab();
  s.Tab();
  EXPECT_EQ(s.Take(), (Lines{"focus _level0.x", "focus _level0.outer"})) << "inner is no stop any more";
}

TEST(FocusEvents, TabRollsTheFocusOverBeforeTellingItScriptFocusTellsFirst) {
  Asm a;
  for (const char* n : {"a", "b"}) {
    const std::string s = n;
    SetTracer(a, s, "onRollOver", s + " over");
    SetTracer(a, s, "onRollOut", s + " out");
    SetTracer(a, s, "onSetFocus", s + " set");
    SetTracer(a, s, "onKillFocus", s + " kill");
  }
  // Escape gives a the focus from a script: l.onKeyDown = function () { Selection.setFocus(a); }
  a.Push("k").Push(0).Op(ops::kInitObject).Op(ops::kSetVariable);
  a.Push("k").Op(ops::kGetVariable).Push("onKeyDown");
  a.DefineFunction("", {}, [](Asm& b) {
    b.Push(0).Push("Key").Op(ops::kGetVariable).Push("getCode").Op(ops::kCallMethod).Push(27).Op(ops::kEquals2);
    b.Op(ops::kNot).If("done");
    b.Push("a").Op(ops::kGetVariable).Push(1).Push("Selection").Op(ops::kGetVariable).Push("setFocus")
        .Op(ops::kCallMethod).Op(ops::kPop);
    b.Label("done");
  });
  a.Op(ops::kSetMember);
  a.Push("k").Op(ops::kGetVariable).Push(1).Push("Key").Op(ops::kGetVariable).Push("addListener")
      .Op(ops::kCallMethod).Op(ops::kPop);
  Stage s(SquaresMovie({{"a", 0, 0}, {"b", 100, 0}}, a));
  s.Tab();
  EXPECT_EQ(s.Take(), (Lines{"a over", "a set"}));
  s.Tab();
  EXPECT_EQ(s.Take(), (Lines{"a out", "b over", "a kill", "b set"}));
  s.player.KeyDown(27, 27);
  EXPECT_EQ(s.Take(), (Lines{"b kill", "a set", "b out", "a over"})) << "a script's change rolls after the handlers";
  // The window losing the keyboard takes the focus with it.
  s.player.WindowFocus(false);
  EXPECT_EQ(s.Take(), (Lines{"a out", "a kill"}));
}

TEST(FocusEvents, PlainClipsTakeTheFocusOnlyWithFocusEnabledAndLoseItHidden) {
  Asm a;
  TraceFocusChanges(a);
  TraceSetFocus(a, "p");
  SetMember(a, "p", "focusEnabled", true);
  TraceSetFocus(a, "p");
  SetMember(a, "p", "_visible", false);
  Stage s(SquaresMovie({{"p", 0, 0}}, a));
  EXPECT_EQ(s.Take(), (Lines{"false", "focus _level0.p", "true", "focus null"}));
  // A click on the stage takes the focus from a clip.
  Asm again;
  SetMember(again, "p", "_visible", true);
  TraceSetFocus(again, "p");
  s.Run(again);
  s.player.MouseMove(250, 250);
  s.player.MouseDown();
  s.player.MouseUp();
  EXPECT_EQ(s.Take(), (Lines{"focus _level0.p", "true", "focus null"}));
}

// The colour of canvas pixel (x, y).
Rgba Pixel(const Canvas& c, int x, int y) { return c.at(x, y); }
bool Yellow(Rgba c) { return c.r == 255 && c.g == 255 && c.b == 0; }
bool Red(Rgba c) { return c.r == 255 && c.g == 0 && c.b == 0; }

TEST(FocusRect, TabDrawsAThreePixelYellowFrameInsideTheBoundsUntilThePointerMoves) {
  Asm a;
  SetMember(a, "a", "tabEnabled", true);
  Stage s(SquaresMovie({{"a", 100, 20}}, a));
  Canvas canvas(300, 300, {255, 255, 255, 255});
  s.player.Render(canvas, Quality::Low);
  EXPECT_TRUE(Red(Pixel(canvas, 100, 20))) << "no frame before Tab";
  s.Tab();
  EXPECT_TRUE(s.player.FocusHighlighted());
  s.player.Render(canvas, Quality::Low);
  // The square covers [100, 140) x [20, 60): the frame is its outer three pixels.
  for (const auto& [x, y] : {std::pair{100, 20}, {102, 40}, {139, 59}, {120, 57}, {137, 30}})
    EXPECT_TRUE(Yellow(Pixel(canvas, x, y))) << x << ", " << y;
  for (const auto& [x, y] : {std::pair{103, 23}, {136, 56}, {120, 40}})
    EXPECT_TRUE(Red(Pixel(canvas, x, y))) << x << ", " << y;
  EXPECT_FALSE(Yellow(Pixel(canvas, 99, 20)));
  EXPECT_FALSE(Yellow(Pixel(canvas, 140, 60)));
  // Twice the size on the device: the frame is 6 pixels wide, from (200, 40).
  Canvas big(600, 600, {255, 255, 255, 255});
  s.player.Render(big, Quality::Low, 2);
  EXPECT_TRUE(Yellow(Pixel(big, 205, 45)));
  EXPECT_TRUE(Red(Pixel(big, 206, 46)));
  // The pointer moving hides it; the focus stays.
  s.player.MouseMove(5, 5);
  s.player.Render(canvas, Quality::Low);
  EXPECT_TRUE(Red(Pixel(canvas, 100, 20)));
  // _focusrect false on the clip keeps it hidden even after Tab.
  Asm off;
  SetMember(off, "a", "_focusrect", false);
  s.Run(off);
  s.Tab();
  s.player.Render(canvas, Quality::Low);
  EXPECT_TRUE(Red(Pixel(canvas, 100, 20)));
}

Bytes TraceCode(const std::string& s) {
  Asm a;
  TraceText(a, s);
  return a.Bytes();
}

TEST(FocusButton, EnterClicksTheFocusedButtonAndTheHandShowsOverIt) {
  Asm a;
  const Bytes button = Button2(2, {{0x0F, 1, 1}}, {{kCondOverUpToOverDown, TraceCode("press")},
                                                   {kCondOverDownToOverUp, TraceCode("release")}});
  Stage s(MovieFile(300, 300, {RectShape(1, 0, 0, 800, 800, {255, 0, 0}), button,
                               PlaceObject2({.depth = 1, .id = 2, .tx = 2000, .name = "b"}), DoActionTag(a.Code()),
                               ShowFrame()}));
  s.Tab();
  s.player.KeyDown(13, 13);
  s.player.KeyUp(13, 13);
  EXPECT_EQ(s.Take(), (Lines{"press", "release"}));
  s.player.MouseMove(120, 20);
  EXPECT_EQ(s.player.CursorShape(), Player::Cursor::Hand);
  s.player.MouseMove(20, 20);
  EXPECT_EQ(s.player.CursorShape(), Player::Cursor::Arrow);
  Asm plain;
  SetMember(plain, "b", "useHandCursor", false);
  s.Run(plain);
  s.player.MouseMove(121, 20);
  EXPECT_EQ(s.player.CursorShape(), Player::Cursor::Arrow) << "useHandCursor false keeps the arrow";
  Asm hide;
  hide.Push(0).Push("Mouse").Op(ops::kGetVariable).Push("hide").Op(ops::kCallMethod).Op(ops::kPop);
  s.Run(hide);
  EXPECT_EQ(s.player.CursorShape(), Player::Cursor::Hidden);
}

TEST(FocusButton, TabIndexHoldsA32BitIntegerOnButtonsAndClips) {
  Asm a;
  for (const char* n : {"a", "b"}) {
    SetMember(a, n, "tabIndex", 1.9);
    a.Push(n).Op(ops::kGetVariable).Push("tabIndex").Op(ops::kGetMember).Op(ops::kTrace);
    SetMember(a, n, "tabIndex", 2147483648.0);
    a.Push(n).Op(ops::kGetVariable).Push("tabIndex").Op(ops::kGetMember).Op(ops::kTrace);
    SetMember(a, n, "tabIndex", "x");
    a.Push(n).Op(ops::kGetVariable).Push("tabIndex").Op(ops::kGetMember).Op(ops::kTrace);
  }
  const Bytes button = Button2(2, {{0x0F, 1, 1}}, {});
  Stage s(SquaresMovie({{"a", 0, 0}}, a, {button, PlaceObject2({.depth = 9, .id = 2, .name = "b"})}));
  EXPECT_EQ(s.Take(), (Lines{"1", "-2147483648", "-2147483648", "1", "-2147483648", "-2147483648"}));
}

}  // namespace
}  // namespace quillon::player
