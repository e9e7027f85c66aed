// The display side under scripts: the order frame scripts and clip events run in, what gotos
// do to children, unloading, clip references, depths, properties and the drawing methods.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "avm1/assembler.h"
#include "display/player.h"
#include "swf_writer.h"

namespace quillon::player {
namespace {

using namespace test;
using avm1::testing::Asm;
using avm1::testing::Undefined;
namespace ops = avm1::testing;

// Statement helpers over the assembler, so scripts read close to their source.
Asm& TraceText(Asm& a, const std::string& s) { return a.Push(s).Op(ops::kTrace); }
// Pushes the value of a dotted name such as "clip._x".
Asm& Value(Asm& a, const std::string& path) {
  std::size_t start = 0, dot = path.find('.');
  a.Push(path.substr(0, dot)).Op(ops::kGetVariable);
  while (dot != std::string::npos) {
    start = dot + 1;
    dot = path.find('.', start);
    a.Push(path.substr(start, dot - start)).Op(ops::kGetMember);
  }
  return a;
}
Asm& TraceValue(Asm& a, const std::string& path) { return Value(a, path).Op(ops::kTrace); }
// object.member = value, with the value already built by `value`.
template <typename F> Asm& SetMember(Asm& a, const std::string& object, const std::string& member, F value) {
  Value(a, object).Push(member);
  value(a);
  return a.Op(ops::kSetMember);
}
Asm& SetNumber(Asm& a, const std::string& object, const std::string& member, double v) {
  return SetMember(a, object, member, [v](Asm& x) { x.Push(v); });
}
// object.method(args...) with the result left on the stack.
Asm& CallMethod(Asm& a, const std::string& object, const std::string& method, const std::vector<ops::PushValue>& args) {
  for (auto it = args.rbegin(); it != args.rend(); ++it) a.Push(*it);
  a.Push(static_cast<std::int32_t>(args.size()));
  Value(a, object).Push(method);
  return a.Op(ops::kCallMethod);
}

Bytes Script(const Asm& a) { return DoActionTag(a.Code()); }

Bytes Named(int depth, int id, const std::string& name, int tx = 0) {
  return PlaceObject2({.depth = depth, .id = id, .tx = tx, .name = name});
}

// PlaceObject2 of a sprite with onClipEvent handlers: (events, actions) pairs, and the sum of
// events the tag declares (which filters what runs).
Bytes PlaceWithEvents(int depth, int id, const std::string& name, std::uint32_t declared,
                      const std::vector<std::pair<std::uint32_t, Bytes>>& handlers) {
  Bytes body{0x80 | 0x20 | 0x04 | 0x02};
  U16(body, static_cast<unsigned>(depth));
  U16(body, static_cast<unsigned>(id));
  Append(body, MatrixBytes(0, 0));
  body.insert(body.end(), name.begin(), name.end());
  body.push_back(0);
  U16(body, 0);
  U32(body, declared);
  for (const auto& [events, code] : handlers) {
    U32(body, events);
    U32(body, static_cast<std::uint32_t>(code.size()));
    Append(body, code);
  }
  U32(body, 0);
  return Tag(26, body);
}

Bytes ExportAssets(int id, const std::string& name) {
  Bytes b;
  U16(b, 1);
  U16(b, static_cast<unsigned>(id));
  b.insert(b.end(), name.begin(), name.end());
  b.push_back(0);
  return Tag(56, b);
}

Bytes TraceBlock(const std::string& text) {
  Asm a;
  TraceText(a, text);
  return a.Bytes();
}

// A sprite whose only frame traces "<name>: frame 1" through this.
Bytes TracingSprite(int id, int frames) {
  std::vector<Bytes> tags;
  for (int f = 1; f <= frames; ++f) {
    Asm a;
    a.Push("this").Op(ops::kGetVariable).Push(": frame " + std::to_string(f)).Op(ops::kAdd2).Op(ops::kTrace);
    tags.push_back(Script(a));
    tags.push_back(ShowFrame());
  }
  return Sprite(id, tags);
}

struct Stage {
  std::shared_ptr<const Movie> movie;
  Player player;
  std::vector<std::string> lines;
  explicit Stage(const Bytes& file) : movie(LoadMovie(file).movie), player(movie) {
    player.onTrace = [this](const std::string& l) { lines.push_back(l); };
  }
  std::vector<std::string> Ticks(int n) {
    lines.clear();
    for (int i = 0; i < n; ++i) player.Tick();
    return lines;
  }
};

using Lines = std::vector<std::string>;

TEST(DisplayOrder, NewerClipsRunTheirFramesFirstAndNewClipsStartAtOnce) {
  // Root frame 1 places a (2 frames) then b (2 frames); a's second frame places c.
  Asm root;
  TraceText(root, "root 1");
  std::vector<Bytes> aTags = {Script(Asm().Push("a 1").Op(ops::kTrace)), ShowFrame(),
                              Script(Asm().Push("a 2").Op(ops::kTrace)), Named(1, 3, "c"), ShowFrame()};
  Stage run(MovieFile(20, 20, {TracingSprite(3, 2), Sprite(1, aTags), TracingSprite(2, 2), Script(root),
                             Named(1, 1, "a"), Named(2, 2, "b"), ShowFrame(), ShowFrame()}));
  EXPECT_EQ(run.Ticks(1), (Lines{"root 1", "a 1", "_level0.b: frame 1"}));
  // b is newer than a, a than the root; c starts inside a's frame and runs right after it.
  EXPECT_EQ(run.Ticks(1), (Lines{"_level0.b: frame 2", "a 2", "_level0.a.c: frame 1"}));
  // Looping back to frame 1: c queued its second frame first, but a's rewind took it away
  // before the queue ran, so only the others speak.
  EXPECT_EQ(run.Ticks(1), (Lines{"_level0.b: frame 1", "a 1", "root 1"}));
}

TEST(DisplayOrder, InitializeThenConstructThenFrameScriptsAsTheTagDeclares) {
  const std::uint32_t kInit = kEventInitialize, kConstruct = kEventConstruct;
  const auto handlers = [&](const std::string& n) {
    return std::vector<std::pair<std::uint32_t, Bytes>>{{kInit, TraceBlock(n + " init")},
                                                       {kConstruct, TraceBlock(n + " construct")},
                                                       {kEventLoad, TraceBlock(n + " load")},
                                                       {kEventEnterFrame, TraceBlock(n + " enterFrame")}};
  };
  Stage run(MovieFile(20, 20, {Sprite(1, {Script(Asm().Push("frame").Op(ops::kTrace)), ShowFrame()}),
                             PlaceWithEvents(1, 1, "m1", kInit | kConstruct | kEventLoad | kEventEnterFrame, handlers("m1")),
                             // Declares only initialize: its other handlers never run.
                             PlaceWithEvents(2, 1, "m2", kInit, handlers("m2")), ShowFrame(), ShowFrame()}));
  EXPECT_EQ(run.Ticks(1), (Lines{"m1 init", "m2 init", "m1 construct", "frame", "m1 load", "frame"}));
  EXPECT_EQ(run.Ticks(1), (Lines{"m1 enterFrame"})) << "a clip placed this tick waits a tick for enterFrame";
}

TEST(DisplayOrder, InitActionsRunBeforeTheFrameThatHoldsThem) {
  Bytes init;
  U16(init, 1);
  Append(init, TraceBlock("init"));
  Stage run(MovieFile(20, 20, {Script(Asm().Push("frame").Op(ops::kTrace)), Tag(59, init), ShowFrame(), ShowFrame()}));
  EXPECT_EQ(run.Ticks(1), (Lines{"init", "frame"}));
  EXPECT_EQ(run.Ticks(2), (Lines{"frame"})) << "init actions run once, frame scripts every time";
}

TEST(DisplayGoto, RewindKeepsTimelineClipsAndDropsScriptClipsOnTimelineDepths) {
  // Frame 1 places "kid"; frame 2 makes "made" on a timeline depth and "kept" on a script one;
  // frame 3 goes back to frame 1.
  Asm two;
  CallMethod(two, "this", "createEmptyMovieClip", {"made", -100.0}).Op(ops::kPop);
  CallMethod(two, "this", "createEmptyMovieClip", {"kept", 5.0}).Op(ops::kPop);
  Asm three;
  three.GotoFrame(0);
  TraceValue(three, "kid");
  TraceValue(three, "made");
  TraceValue(three, "kept");
  Stage run(MovieFile(20, 20, {TracingSprite(1, 1), Named(1, 1, "kid"), ShowFrame(), Script(two), ShowFrame(),
                             Script(three), ShowFrame()}));
  EXPECT_EQ(run.Ticks(3), (Lines{"_level0.kid: frame 1", "_level0.kid", "undefined", "_level0.kept"}))
      << "the kid placed by frame 1 is the same clip: its first frame does not run again";
}

TEST(DisplayGoto, FramesPassedOverPlaceClipsButRunNoScripts) {
  Asm one;
  one.GotoFrame(2);
  TraceValue(one, "kid._name");
  Stage run(MovieFile(20, 20, {TracingSprite(1, 1), Script(one), ShowFrame(), Named(1, 1, "kid"),
                             Script(Asm().Push("skipped").Op(ops::kTrace)), ShowFrame(),
                             Script(Asm().Push("three").Op(ops::kTrace).Op(ops::kStop)), ShowFrame()}));
  EXPECT_EQ(run.Ticks(2), (Lines{"kid", "_level0.kid: frame 1", "three"}));
}

TEST(DisplayTimeline, SpriteStreamsCutShortStayOnTheirLastFrame) {
  // Two frames and End loop; the same frames without End, or with a script after the last
  // ShowFrame, play once.
  auto frames = [](const std::string& n) {
    return std::vector<Bytes>{Script(Asm().Push(n + " 1").Op(ops::kTrace)), ShowFrame(),
                              Script(Asm().Push(n + " 2").Op(ops::kTrace)), ShowFrame()};
  };
  Bytes cut;
  U16(cut, 2);
  U16(cut, 2);
  for (const auto& t : frames("cut")) Append(cut, t);
  std::vector<Bytes> trailing = frames("tail");
  trailing.pop_back();
  Stage run(MovieFile(20, 20, {Sprite(1, frames("loop")), Tag(39, cut), Sprite(3, trailing), Named(1, 1, "a"),
                             Named(2, 2, "b"), Named(3, 3, "c"), ShowFrame()}));
  run.Ticks(2);
  EXPECT_EQ(run.Ticks(1), (Lines{"loop 1"}));
  const auto& dict = run.movie->dictionary;
  EXPECT_TRUE(std::get<SpriteDef>(*dict.at(1)).timeline.loops);
  EXPECT_FALSE(std::get<SpriteDef>(*dict.at(2)).timeline.loops);
  EXPECT_FALSE(std::get<SpriteDef>(*dict.at(3)).timeline.loops);
}

TEST(DisplayUnload, AClipWithAnUnloadHandlerLingersBelowTheTimelineUntilTheTickEnds) {
  Asm one;
  SetMember(one, "kid", "onUnload", [](Asm& a) { a.DefineFunction("", {}, [](Asm& b) { TraceText(b, "unloaded"); }); });
  Asm two;
  TraceValue(two, "kid");
  CallMethod(two, "kid", "getDepth", {}).Op(ops::kTrace);
  Asm three;
  TraceValue(three, "kid");
  Stage run(MovieFile(20, 20, {Sprite(1, {ShowFrame()}), Named(1, 1, "kid"), Script(one), ShowFrame(),
                             RemoveObject2(1), Script(two), ShowFrame(), Script(three), ShowFrame()}));
  run.Ticks(1);
  // Depth 1 is script depth -16383; it moves to -32769 - (-16383).
  EXPECT_EQ(run.Ticks(1), (Lines{"unloaded", "_level0.kid", "-16386"}));
  EXPECT_EQ(run.Ticks(1), (Lines{"undefined"}));
}

TEST(DisplayReferences, AReferenceToARemovedClipFindsTheClipNowOnItsPath) {
  Asm a;
  a.Push("old");
  CallMethod(a, "this", "createEmptyMovieClip", {"c", 1.0});
  a.Op(ops::kSetVariable);
  CallMethod(a, "old", "removeMovieClip", {}).Op(ops::kPop);
  TraceValue(a, "old._x");
  CallMethod(a, "this", "createEmptyMovieClip", {"c", 2.0});
  a.Push("_x").Push(7.0).Op(ops::kSetMember);
  TraceValue(a, "old._x");
  Stage run(MovieFile(20, 20, {Script(a), ShowFrame()}));
  EXPECT_EQ(run.Ticks(1), (Lines{"undefined", "7"}));
}

TEST(DisplayDepths, NextHighestDepthSwapsAndLookups) {
  Asm a;
  CallMethod(a, "this", "getNextHighestDepth", {}).Op(ops::kTrace);
  CallMethod(a, "this", "createEmptyMovieClip", {"x", 3.0}).Op(ops::kPop);
  CallMethod(a, "this", "getNextHighestDepth", {}).Op(ops::kTrace);
  CallMethod(a, "x", "swapDepths", {-16380.0}).Op(ops::kPop);
  CallMethod(a, "x", "getDepth", {}).Op(ops::kTrace);
  // A shape answers as the clip it is in.
  CallMethod(a, "this", "getInstanceAtDepth", {3.0}).Op(ops::kTrace);
  CallMethod(a, "this", "getInstanceAtDepth", {-16380.0}).Op(ops::kTrace);
  TraceValue(a, "shape._name");
  // Depths scripts may not use give nothing.
  CallMethod(a, "this", "createEmptyMovieClip", {"far", 2130690045.0}).Op(ops::kTrace);
  CallMethod(a, "this", "createEmptyMovieClip", {"low", -16385.0}).Op(ops::kTrace);
  CallMethod(a, "this", "createEmptyMovieClip", {"high", 2130690044.0}).Op(ops::kTrace);
  Stage run(MovieFile(20, 20, {RectShape(1, 0, 0, 20, 20, {0, 0, 255}), Named(4, 1, "shape"), Script(a), ShowFrame()}));
  EXPECT_EQ(run.Ticks(1), (Lines{"0", "4", "-16380", "_level0", "_level0.x", "", "undefined", "undefined",
                                 "_level0.high"}));
}

TEST(DisplayDepths, RemoveMovieClipOnlyTakesClipsOnScriptDepths) {
  Asm a;
  for (const double depth : {-1.0, 2130690031.0, 2130690032.0}) {
    const std::string name = "d" + std::to_string(static_cast<long long>(depth));
    CallMethod(a, "this", "createEmptyMovieClip", {name, depth}).Op(ops::kPop);
    CallMethod(a, name, "removeMovieClip", {}).Op(ops::kPop);
    TraceValue(a, name);
  }
  Stage run(MovieFile(20, 20, {Script(a), ShowFrame()}));
  EXPECT_EQ(run.Ticks(1), (Lines{"_level0.d-1", "undefined", "_level0.d2130690032"}));
}

TEST(DisplayClasses, AttachMovieRunsTheRegisteredConstructorAtOnceWithItsPrototype) {
  // function C() { trace("ctor " + this._name + " " + this.greeting); }
  // C.prototype.greeting = "hi"; Object.registerClass("lib", C);
  Asm a;
  a.Push("C").DefineFunction("", {}, [](Asm& b) {
    b.Push("ctor ").Push("this").Op(ops::kGetVariable).Push("_name").Op(ops::kGetMember).Op(ops::kAdd2);
    b.Push(" ").Op(ops::kAdd2).Push("this").Op(ops::kGetVariable).Push("greeting").Op(ops::kGetMember).Op(ops::kAdd2);
    b.Op(ops::kTrace);
  }).Op(ops::kSetVariable);
  Value(a, "C.prototype").Push("greeting").Push("hi").Op(ops::kSetMember);
  Value(a, "C");
  a.Push("lib").Push(2).Push("Object").Op(ops::kGetVariable).Push("registerClass").Op(ops::kCallMethod).Op(ops::kPop);
  CallMethod(a, "this", "attachMovie", {"LIB", "one", 1.0}).Op(ops::kPop);
  TraceText(a, "after");
  TraceValue(a, "one.greeting");
  Stage run(MovieFile(20, 20, {Sprite(1, {Script(Asm().Push("first frame").Op(ops::kTrace)), ShowFrame()}),
                             ExportAssets(1, "lib"), Script(a), ShowFrame()}));
  EXPECT_EQ(run.Ticks(1), (Lines{"ctor one hi", "after", "hi", "first frame"}));
}

TEST(DisplayProperties, ScaleAndRotationReadBackAsSetAndMissingNumbersChangeNothing) {
  Asm a;
  CallMethod(a, "this", "createEmptyMovieClip", {"m", 1.0}).Op(ops::kPop);
  SetNumber(a, "m", "_rotation", 190);
  SetNumber(a, "m", "_xscale", -50);
  TraceValue(a, "m._rotation");
  TraceValue(a, "m._xscale");
  SetNumber(a, "m", "_x", 12.34);
  SetMember(a, "m", "_x", [](Asm& x) { x.Push(Undefined{}); });
  SetMember(a, "m", "_x", [](Asm& x) { x.Push(nullptr); });
  TraceValue(a, "m._x");
  SetMember(a, "m", "_visible", [](Asm& x) { x.Push("false"); });
  TraceValue(a, "m._visible");
  SetMember(a, "m", "_visible", [](Asm& x) { x.Push("0"); });
  TraceValue(a, "m._visible");
  TraceValue(a, "m._currentframe");
  Stage run(MovieFile(20, 20, {Script(a), ShowFrame()}));
  // 190 degrees is -170; _x keeps whole twips (12.34 px is 246.8 twips).
  EXPECT_EQ(run.Ticks(1), (Lines{"-170", "-50", "12.35", "true", "false", "0"}));
}

TEST(DisplayProperties, PointsConvertThroughWholeTwips) {
  Asm a;
  a.Push("p").Push("x").Push(1.0).Push("y").Push(1.0).Push(2).Op(ops::kInitObject).Op(ops::kSetVariable);
  SetNumber(a, "kid", "_xscale", 33.33);
  a.Push("p").Op(ops::kGetVariable).Push(1).Push("kid").Op(ops::kGetVariable).Push("localToGlobal").Op(ops::kCallMethod).Op(ops::kPop);
  TraceValue(a, "p.x");
  TraceValue(a, "p.y");
  Stage run(MovieFile(20, 20, {Sprite(1, {ShowFrame()}), Named(1, 1, "kid", 200), Script(a), ShowFrame()}));
  // 20 twips scaled by 0.3333 is 6.67, 6.67 + 200 rounds to 207 twips.
  EXPECT_EQ(run.Ticks(1), (Lines{"10.35", "1"}));
}

TEST(DisplayDrawing, DrawnShapesGiveSizeAndHitsAndStayBounded) {
  Asm a;
  CallMethod(a, "this", "createEmptyMovieClip", {"d", 1.0}).Op(ops::kPop);
  CallMethod(a, "d", "beginFill", {255.0}).Op(ops::kPop);
  CallMethod(a, "d", "moveTo", {10.0, 10.0}).Op(ops::kPop);
  CallMethod(a, "d", "lineTo", {110.0, 10.0}).Op(ops::kPop);
  CallMethod(a, "d", "lineTo", {10.0, 60.0}).Op(ops::kPop);
  CallMethod(a, "d", "endFill", {}).Op(ops::kPop);
  TraceValue(a, "d._width");
  TraceValue(a, "d._height");
  CallMethod(a, "d", "hitTest", {20.0, 20.0, true}).Op(ops::kTrace);
  CallMethod(a, "d", "hitTest", {100.0, 55.0, true}).Op(ops::kTrace);
  CallMethod(a, "d", "hitTest", {100.0, 55.0, false}).Op(ops::kTrace);
  // A script drawing without end stops adding edges at the limit instead of growing forever.
  a.Push("i").Push(0.0).Op(ops::kSetVariable);
  a.Label("loop");
  CallMethod(a, "d", "lineTo", {5.0, 5.0}).Op(ops::kPop);
  a.Push("i").Push("i").Op(ops::kGetVariable).Op(ops::kIncrement).Op(ops::kSetVariable);
  a.Push("i").Op(ops::kGetVariable).Push(400000.0).Op(ops::kLess2).If("loop");
  Stage run(MovieFile(200, 200, {Script(a), ShowFrame()}));
  // The loop must reach the limit however slow the build: no time limit cuts it short.
  run.player.machine().scriptSeconds = run.player.machine().frameSeconds = 600;
  EXPECT_EQ(run.Ticks(1), (Lines{"100", "50", "true", "false", "true"}));
  Canvas c(200, 200, {});
  run.player.Render(c, Quality::Low);
  EXPECT_EQ(c.at(20, 20), (Rgba{0, 0, 255, 255})) << "the drawn fill shows";
  const DisplayObject& drawn = run.player.root().displayList.at(kScriptDepthBase + 1);
  EXPECT_EQ(drawn.sprite->drawing->edges, 1u << 18) << "edges stop at the limit";
}

// Pushes a new array of numbers, in order.
Asm& NumberArray(Asm& a, const std::vector<double>& items) {
  for (auto it = items.rbegin(); it != items.rend(); ++it) a.Push(*it);
  return a.Push(static_cast<std::int32_t>(items.size())).Op(ops::kInitArray);
}

// clip.beginGradientFill(type, colours, [100, 100], [0, 255], matrix, ...extra); the matrix object's
// (name, value) pairs are pushed as given, strings as strings.
void GradientFill(Asm& a, const std::string& clip, const std::string& type, const std::vector<double>& colours,
                  const std::vector<std::pair<std::string, ops::PushValue>>& matrix,
                  const std::vector<ops::PushValue>& extra) {
  for (auto it = extra.rbegin(); it != extra.rend(); ++it) a.Push(*it);
  for (const auto& [name, value] : matrix) a.Push(name).Push(value);
  a.Push(static_cast<std::int32_t>(matrix.size())).Op(ops::kInitObject);
  NumberArray(a, {0, 255});
  NumberArray(a, {100, 100});
  NumberArray(a, colours);
  a.Push(type).Push(static_cast<std::int32_t>(5 + extra.size()));
  Value(a, clip).Push("beginGradientFill").Op(ops::kCallMethod).Op(ops::kPop);
}

void DrawBox(Asm& a, const std::string& clip, double x0, double y0, double x1, double y1) {
  CallMethod(a, clip, "moveTo", {x0, y0}).Op(ops::kPop);
  CallMethod(a, clip, "lineTo", {x1, y0}).Op(ops::kPop);
  CallMethod(a, clip, "lineTo", {x1, y1}).Op(ops::kPop);
  CallMethod(a, clip, "lineTo", {x0, y1}).Op(ops::kPop);
  CallMethod(a, clip, "lineTo", {x0, y0}).Op(ops::kPop);
  CallMethod(a, clip, "endFill", {}).Op(ops::kPop);
}

TEST(DisplayDrawing, GradientFillsFollowTheirBoxMatrixAndFocalRatio) {
  Asm a;
  // A linear ramp from black to red across a 100-pixel box given in the box form.
  CallMethod(a, "this", "createEmptyMovieClip", {"g", 1.0}).Op(ops::kPop);
  GradientFill(a, "g", "linear", {0x000000, 0xFF0000},
               {{"matrixType", "box"}, {"x", 0.0}, {"y", 0.0}, {"w", 100.0}, {"h", 10.0}, {"r", 0.0}}, {});
  DrawBox(a, "g", 0, 0, 100, 10);
  // A focal gradient, black to white, its circle of radius 50 around (50.5, 70.5) through a
  // matrix object (gradient space is 1638.4 pixels across); the focus half way to the right edge.
  CallMethod(a, "this", "createEmptyMovieClip", {"f", 2.0}).Op(ops::kPop);
  const double k = 100 / 1638.4;
  GradientFill(a, "f", "radial", {0x000000, 0xFFFFFF},
               {{"a", k}, {"b", 0.0}, {"c", 0.0}, {"d", k}, {"tx", 50.5}, {"ty", 70.5}}, {"pad", "RGB", 0.5});
  DrawBox(a, "f", 0, 20, 110, 121);
  // An unknown type or missing colours fill nothing.
  CallMethod(a, "this", "createEmptyMovieClip", {"n", 3.0}).Op(ops::kPop);
  GradientFill(a, "n", "conic", {0x000000, 0xFFFFFF}, {}, {});
  DrawBox(a, "n", 150, 150, 190, 190);
  Stage run(MovieFile(200, 200, {Script(a), ShowFrame()}));
  run.Ticks(1);
  Canvas c(200, 200, {255, 255, 255, 255});
  run.player.Render(c, Quality::Low);
  // Pixel 25's centre is a quarter of the way along (t = 0.255: 65 of red), pixel 75's three
  // quarters (t = 0.755: 192.5).
  EXPECT_NEAR(c.at(0, 5).r, 1, 2);
  EXPECT_NEAR(c.at(25, 5).r, 65, 2);
  EXPECT_NEAR(c.at(75, 5).r, 193, 2);
  EXPECT_EQ(c.at(75, 5).g, 0);
  // The focus (75.5, 70.5) is black; 13 pixels right of it, of the 25 to the circle, t = 0.52
  // (133); 25 pixels left, of the 75 to the circle on that side, t = 1/3 (85).
  EXPECT_LE(c.at(75, 70).r, 1);
  EXPECT_NEAR(c.at(88, 70).r, 133, 2);
  EXPECT_NEAR(c.at(50, 70).r, 85, 2);
  EXPECT_EQ(c.at(170, 170), (Rgba{255, 255, 255, 255}));
}

TEST(DisplayDrawing, LineStylesTakeTheirScaleModeAndCaps) {
  Asm a;
  // A 4-pixel line in a clip scaled 3 times, from (10, 50) to (40, 50): device (30, 150) to (120, 150).
  for (const auto& [name, depth, mode] : {std::tuple{"u", 1.0, "none"}, std::tuple{"s", 2.0, "normal"}}) {
    CallMethod(a, "this", "createEmptyMovieClip", {name, depth}).Op(ops::kPop);
    SetNumber(a, name, "_xscale", 300);
    SetNumber(a, name, "_yscale", 300);
    SetNumber(a, name, "_y", depth == 1 ? 0 : 60);
    CallMethod(a, name, "lineStyle", {4.0, 0.0, 100.0, false, mode, "none"}).Op(ops::kPop);
    CallMethod(a, name, "moveTo", {10.0, 50.0}).Op(ops::kPop);
    CallMethod(a, name, "lineTo", {40.0, 50.0}).Op(ops::kPop);
  }
  Stage run(MovieFile(200, 300, {Script(a), ShowFrame()}));
  run.Ticks(1);
  Canvas c(200, 300, {255, 255, 255, 255});
  run.player.Render(c, Quality::Low);
  // Unscaled it stays 4 pixels (148 to 152); scaled it is 12 (204 to 216 for the clip 60 lower).
  EXPECT_EQ(c.at(60, 149).r, 0);
  EXPECT_EQ(c.at(60, 150).r, 0);
  EXPECT_EQ(c.at(60, 153).r, 255);
  EXPECT_EQ(c.at(60, 146).r, 255);
  EXPECT_EQ(c.at(60, 205).r, 0);
  EXPECT_EQ(c.at(60, 214).r, 0);
  EXPECT_EQ(c.at(60, 217).r, 255);
  // No caps: the line stops at its ends.
  EXPECT_EQ(c.at(30, 150).r, 0);
  EXPECT_EQ(c.at(28, 150).r, 255);
  EXPECT_EQ(c.at(121, 150).r, 255);
}

TEST(DisplayProperties, AMirroredClipSetToItsOwnScaleStaysMirrored) {
  Asm a;
  CallMethod(a, "this", "createEmptyMovieClip", {"m", 1.0}).Op(ops::kPop);
  SetNumber(a, "m", "_xscale", -100);
  SetNumber(a, "m", "_xscale", -100);
  TraceValue(a, "m._xscale");
  TraceValue(a, "m._rotation");
  SetNumber(a, "m", "_yscale", 50);
  Stage run(MovieFile(20, 20, {Script(a), ShowFrame()}));
  EXPECT_EQ(run.Ticks(1), (Lines{"-100", "0"}));
  const Matrix& m = run.player.root().displayList.at(kScriptDepthBase + 1).matrix;
  EXPECT_EQ(m.a, -1);
  EXPECT_EQ(m.d, 0.5) << "turned half round, it would read -0.5";
  EXPECT_EQ(m.b, 0);
  EXPECT_EQ(m.c, 0);
}

TEST(DisplayLimits, SelfAttachingClipsStopAtTheNestingLimit) {
  // The library clip attaches itself inside itself on its first frame, without end.
  Asm self;
  CallMethod(self, "this", "attachMovie", {"me", "inner", 1.0}).Op(ops::kPop);
  Asm root;
  CallMethod(root, "this", "attachMovie", {"me", "outer", 1.0}).Op(ops::kPop);
  Stage run(MovieFile(20, 20, {Sprite(1, {Script(self), ShowFrame()}), ExportAssets(1, "me"), Script(root), ShowFrame()}));
  run.Ticks(3);
  int depth = 0;
  const Instance* at = &run.player.root();
  while (!at->displayList.empty() && at->displayList.begin()->second.sprite) {
    at = at->displayList.begin()->second.sprite.get();
    ++depth;
  }
  EXPECT_GT(depth, 4);
  EXPECT_LE(depth, 40);
}

}  // namespace
}  // namespace quillon::player
