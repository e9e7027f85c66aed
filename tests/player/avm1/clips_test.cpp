// Clips as scripts see them through the old property and target actions, and what older
// movies read from strings and names: indexes, paths, removed clips, the global names.
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

Bytes Script(const Asm& a) { return DoActionTag(a.Code()); }

// One frame of script in a movie of the given SWF version.
Bytes OneFrame(const Asm& a, int version = 10) {
  Bytes file = MovieFile(20, 20, {Script(a), ShowFrame()});
  file[3] = static_cast<std::uint8_t>(version);
  return file;
}

Lines Traces(const Bytes& file, int ticks = 1) {
  std::shared_ptr<const Movie> movie = LoadMovie(file).movie;
  Player player(movie);
  Lines lines;
  player.onTrace = [&lines](const std::string& l) { lines.push_back(l); };
  for (int i = 0; i < ticks; ++i) player.Tick();
  return lines;
}

// trace(getProperty(target, index)) with the index pushed as given.
Asm& TraceProperty(Asm& a, const std::string& target, ops::PushValue index) {
  return a.Push(target).Push(index).Op(ops::kGetProperty).Op(ops::kTrace);
}

TEST(ClipProperties, IndexesTruncateTowardZeroAndStringsReadAsNumbers) {
  Asm a;
  TraceProperty(a, "/", -0.8);     // 0: _x
  TraceProperty(a, "/", 11.9);     // 11: _target
  TraceProperty(a, "/", -1.0);     // no such property
  TraceProperty(a, "/", "0x13");   // 19: _quality
  TraceProperty(a, "/", "013");    // octal: 11 again
  TraceProperty(a, "/", "11ABC");  // not a number
  EXPECT_EQ(Traces(OneFrame(a)), (Lines{"0", "/", "undefined", "HIGH", "/", "undefined"}));
}

TEST(ClipProperties, OldMoviesReadTheLeadingNumberOfAnIndex) {
  Asm a;
  TraceProperty(a, "/", "11ABC");  // _target
  TraceProperty(a, "/", "0x13");   // 0: _x
  TraceProperty(a, "/", "ABC");    // 0: _x
  EXPECT_EQ(Traces(OneFrame(a, 4)), (Lines{"/", "0", "0"}));
}

TEST(OldMovies, ArithmeticReadsLeadingNumbersAndObjectsAsZero) {
  Asm a;
  a.Push(6.0).Push("1.5kg").Op(ops::kDivide).Op(ops::kTrace);  // 4
  a.Push("10px").Push(4.0).Op(ops::kSubtract).Op(ops::kTrace);  // 6
  a.Push(3.0).Push("ABC").Op(ops::kDivide).Op(ops::kTrace);     // by zero
  EXPECT_EQ(Traces(OneFrame(a, 4)), (Lines{"4", "6", "#ERROR#"}));
}

TEST(OldMovies, TheGlobalNamesAreNotVariables) {
  Asm a;
  // NaN and Infinity are undefined variables here, so they compare as 0.
  a.Push(1.0).Push("NaN").Op(ops::kGetVariable).Op(ops::kLess).Op(ops::kTrace);       // 1 < 0
  a.Push("NaN").Op(ops::kGetVariable).Push(1.0).Op(ops::kLess).Op(ops::kTrace);       // 0 < 1
  a.Push("Infinity").Op(ops::kGetVariable).Push(1.0).Op(ops::kLess).Op(ops::kTrace);  // 0 < 1
  EXPECT_EQ(Traces(OneFrame(a, 4)), (Lines{"0", "1", "1"}));
  // From SWF 5 on they are the numbers.
  EXPECT_EQ(Traces(OneFrame(a, 5)), (Lines{"false", "false", "false"}));
}

Bytes Named(int depth, int id, const std::string& name) {
  return PlaceObject2({.depth = depth, .id = id, .name = name});
}

// `var = this.createEmptyMovieClip(name, depth)`
Asm& MakeEmpty(Asm& a, const std::string& var, const std::string& name, double depth) {
  a.Push(var).Push(depth).Push(name).Push(2).Push("this").Op(ops::kGetVariable);
  return a.Push("createEmptyMovieClip").Op(ops::kCallMethod).Op(ops::kSetVariable);
}

// `object.member = value` for a variable object.
Asm& SetOn(Asm& a, const std::string& object, const std::string& member, ops::PushValue value) {
  return a.Push(object).Op(ops::kGetVariable).Push(member).Push(value).Op(ops::kSetMember);
}

TEST(ClipTargets, CloneSpriteTakesEveryScriptDepthUpToTheHighest) {
  Asm a;
  // The depth operand counts from the bottom of the script depths (16384 below zero).
  a.Push("src").Push("top").Push(2130706428.0).Op(ops::kCloneSprite);
  a.Push("src").Push("over").Push(2130706429.0).Op(ops::kCloneSprite);
  a.Push("src").Push("low").Push(0.0).Op(ops::kCloneSprite);
  a.Push("src").Push("under").Push(-1.0).Op(ops::kCloneSprite);
  a.Push("src").Push("part").Push(16385.7).Op(ops::kCloneSprite);
  for (const char* name : {"top", "over", "low", "under"}) a.Push(name).Op(ops::kGetVariable).Op(ops::kTrace);
  a.Push("part").Op(ops::kGetVariable).Push("getDepth").Op(ops::kGetMember);
  a.Push(0).Push("part").Op(ops::kGetVariable).Push("getDepth").Op(ops::kCallMethod).Op(ops::kTrace).Op(ops::kPop);
  Bytes file = MovieFile(20, 20, {Sprite(1, {ShowFrame()}), Named(1, 1, "src"), Script(a), ShowFrame()});
  EXPECT_EQ(Traces(file), (Lines{"_level0.top", "undefined", "_level0.low", "undefined", "1"}));
}

TEST(ClipTargets, AClipTargetIsFoundByItsPath) {
  Asm a;
  MakeEmpty(a, "first", "twin", 1);
  MakeEmpty(a, "second", "twin", 2);
  SetOn(a, "first", "x", "first's");
  SetOn(a, "second", "x", "second's");
  // tellTarget(second) lands on the first clip with that path.
  a.Push("second").Op(ops::kGetVariable).Op(ops::kSetTarget2);
  a.Push("x").Op(ops::kGetVariable).Op(ops::kTrace);
  a.SetTarget("");
  EXPECT_EQ(Traces(OneFrame(a)), (Lines{"first's"}));
}

// A function called by a path runs on the clip the path leads to; after a slash path a dot
// names a variable.
TEST(ClipTargets, FunctionsCalledByPathRunOnTheirClip) {
  Asm a;
  a.Push("inst").Op(ops::kGetVariable).Push("v").Push("kept").Op(ops::kSetMember);
  a.Push(2).Push(1).Push("_root.inst.gotoAndStop").Op(ops::kCallFunction).Op(ops::kPop);
  a.Push("inst").Op(ops::kGetVariable).Push("_currentframe").Op(ops::kGetMember).Op(ops::kTrace);
  a.Push(3).Push(1).Push("_root/inst.gotoAndStop").Op(ops::kCallFunction).Op(ops::kPop);
  a.Push("inst").Op(ops::kGetVariable).Push("_currentframe").Op(ops::kGetMember).Op(ops::kTrace);
  a.Push("/inst.v").Op(ops::kGetVariable).Op(ops::kTrace);
  a.Push("_root").Op(ops::kGetVariable).Push("_currentframe").Op(ops::kGetMember).Op(ops::kTrace);
  Bytes file = MovieFile(20, 20, {Sprite(1, {ShowFrame(), ShowFrame(), ShowFrame()}), Named(1, 1, "inst"), Script(a),
                                  ShowFrame(), ShowFrame()});
  EXPECT_EQ(Traces(file), (Lines{"2", "3", "kept", "1"}));
}

// A dotted name is set where reading it would find it: in the first scope where the whole
// path leads to an object, here _global after the timeline's `a` ends in a string.
TEST(ClipTargets, DottedVariablesAreSetWhereTheWholePathLeads) {
  Asm a;
  // _global.a = {b: {c: {}}}; a = {b: "text"}; then a.b.c.d = "set".
  a.Push("_global").Op(ops::kGetVariable).Push("a").Push("b").Push("c").Push(0).Op(ops::kInitObject).Push(1);
  a.Op(ops::kInitObject).Push(1).Op(ops::kInitObject).Op(ops::kSetMember);
  a.Push("a").Push("b").Push("text").Push(1).Op(ops::kInitObject).Op(ops::kSetVariable);
  a.Push("a.b.c.d").Push("set").Op(ops::kSetVariable);
  a.Push("_global").Op(ops::kGetVariable).Push("a").Op(ops::kGetMember).Push("b").Op(ops::kGetMember);
  a.Push("c").Op(ops::kGetMember).Push("d").Op(ops::kGetMember).Op(ops::kTrace);
  EXPECT_EQ(Traces(OneFrame(a)), (Lines{"set"}));
}

// An object whose valueOf gives no primitive compares as false, and the other side is then
// never converted.
TEST(OldMovies, ObjectsWithoutPrimitivesCompareAsFalse) {
  Asm a;
  a.DefineFunction("v", {}, [](Asm& body) { body.Push("valueOf ran").Op(ops::kTrace).Push(1).Op(ops::kReturn); });
  a.Push(0).Op(ops::kInitObject).Push(0).Op(ops::kLess2).Op(ops::kTrace);
  // {} < {valueOf: v}: v never runs.
  a.Push(0).Op(ops::kInitObject).Push("valueOf").Push("v").Op(ops::kGetVariable).Push(1).Op(ops::kInitObject);
  a.Op(ops::kLess2).Op(ops::kTrace);
  a.Push(0.0).Push("x").Op(ops::kLess2).Op(ops::kTrace);  // NaN still gives undefined
  EXPECT_EQ(Traces(OneFrame(a, 5)), (Lines{"false", "false", "undefined"}));
}

TEST(ClipTargets, MissingTargetsResolveNamesFromTheScriptsOwnClip) {
  Asm a;
  MakeEmpty(a, "holder", "holder", 1);
  MakeEmpty(a, "other", "other", 2);
  a.Push("other").Op(ops::kGetVariable).Push("_x").Push(123.0).Op(ops::kSetMember);
  // A variable holding a clip is no target name.
  a.Push("holder").Op(ops::kGetVariable).Op(ops::kSetTarget2);
  a.Push("other").Push(0).Op(ops::kGetProperty).Op(ops::kTrace);
  a.SetTarget("");
  // Under a target that is not there, names resolve from the root this script runs on.
  a.Push("/gone").Op(ops::kSetTarget2);
  a.Push("other").Push(0).Op(ops::kGetProperty).Op(ops::kTrace);
  a.SetTarget("");
  // Slash paths to nothing read as undefined, not null.
  a.Push("/gone").Op(ops::kGetVariable).Op(ops::kTrace);
  a.Push("/other").Op(ops::kGetVariable).Op(ops::kTrace);
  Lines want{"undefined", "123", "undefined", "_level0.other"};
  EXPECT_EQ(Traces(OneFrame(a)), want);
  // The same holds where the holder is found by a variable name only.
  Asm b;
  MakeEmpty(b, "one", "one", 1);
  b.Push("_global").Op(ops::kGetVariable).Push("kept").Push("one").Op(ops::kGetVariable).Op(ops::kSetMember);
  b.Push("kept").Push(13).Op(ops::kGetProperty).Op(ops::kTrace);
  b.Push("one").Push(13).Op(ops::kGetProperty).Op(ops::kTrace);
  EXPECT_EQ(Traces(OneFrame(b)), (Lines{"undefined", "one"}));
}

// Root: frame 1 has a script of its own (root1) and nothing else of note; frames 2 and 4 trace.
Bytes FourFrames(const Bytes& first, int version) {
  Asm two, four;
  two.Push("frame 2").Op(ops::kTrace);
  four.Push("frame 4").Op(ops::kTrace).Op(ops::kStop);
  Bytes file = MovieFile(20, 20, {first, ShowFrame(), Script(two), ShowFrame(), ShowFrame(), Script(four), ShowFrame()});
  file[3] = static_cast<std::uint8_t>(version);
  return file;
}

TEST(ClipTargets, OldMoviesSendTimelineActionsUnderAMissingTargetToTheRoot) {
  Asm a;
  a.Op(ops::kStop).SetTarget("missing").GotoFrame(3).Op(ops::kPlay).SetTarget("");
  EXPECT_EQ(Traces(FourFrames(Script(a), 6), 2), (Lines{"frame 4"}));
  EXPECT_EQ(Traces(FourFrames(Script(a), 7), 2), Lines{});
}

TEST(ClipTargets, AScriptWhoseClipWasRemovedReachesNoOtherClip) {
  // The sprite sends the root past the frame that removes it, then tries to send it back.
  Asm s;
  s.SetTarget("_root").GotoFrame(2).Op(ops::kPlay).SetTarget("");
  s.SetTarget("_root").GotoFrame(1).SetTarget("");
  Asm two, four;
  two.Push("frame 2").Op(ops::kTrace);
  four.Push("frame 4").Op(ops::kTrace).Op(ops::kStop);
  Bytes file = MovieFile(20, 20, {Sprite(1, {Script(s), ShowFrame()}), Named(1, 1, "s"), ShowFrame(), RemoveObject2(1), Script(two),
                                  ShowFrame(), ShowFrame(), Script(four), ShowFrame()});
  EXPECT_EQ(Traces(file, 2), (Lines{"frame 4"}));
}

}  // namespace
}  // namespace quillon::player
