// Text fields under scripts: createTextField, the TextField properties and format methods,
// TextFormat conversions, Selection on a focused field, typing, and variable binding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "avm1/assembler.h"
#include "display/player.h"
#include "swf_writer.h"
#include "text/text_writer.h"

namespace quillon::player {
namespace {

using namespace test;
using avm1::testing::Asm;
namespace ops = avm1::testing;
using Lines = std::vector<std::string>;

Asm& Get(Asm& a, const std::string& path) {
  std::size_t start = 0, dot = path.find('.');
  a.Push(path.substr(0, dot)).Op(ops::kGetVariable);
  while (dot != std::string::npos) {
    start = dot + 1;
    dot = path.find('.', start);
    a.Push(path.substr(start, dot - start)).Op(ops::kGetMember);
  }
  return a;
}
Asm& TraceValue(Asm& a, const std::string& path) { return Get(a, path).Op(ops::kTrace); }
Asm& Call(Asm& a, const std::string& object, const std::string& method, const std::vector<ops::PushValue>& args) {
  for (auto it = args.rbegin(); it != args.rend(); ++it) a.Push(*it);
  a.Push(static_cast<std::int32_t>(args.size()));
  Get(a, object).Push(method);
  return a.Op(ops::kCallMethod);
}
Asm& SetMember(Asm& a, const std::string& object, const std::string& member, const ops::PushValue& v) {
  Get(a, object).Push(member).Push(v);
  return a.Op(ops::kSetMember);
}
// _root.createTextField("t", 1, 10, 20, 100, 30)
Asm& MakeField(Asm& a, const std::string& name = "t") {
  Call(a, "_root", "createTextField", {name, 1.0, 10.0, 20.0, 100.0, 30.0});
  return a.Op(ops::kPop);
}

struct Stage {
  std::shared_ptr<const Movie> movie;
  Player player;
  Lines lines;
  explicit Stage(const Asm& script, int frames = 1) : movie(Load(script, frames)), player(movie) {
    player.onTrace = [this](const std::string& l) { lines.push_back(l); };
    player.Tick();
  }
  static std::shared_ptr<const Movie> Load(const Asm& script, int frames) {
    std::vector<Bytes> tags{DoActionTag(script.Code()), ShowFrame()};
    for (int i = 1; i < frames; ++i) tags.push_back(ShowFrame());
    return LoadMovie(MovieFile(200, 200, tags)).movie;
  }
  Lines Take() {
    Lines out;
    out.swap(lines);
    return out;
  }
};

TEST(TextFieldScript, CreatedFieldHasThePlainDefaults) {
  Asm a;
  MakeField(a);
  for (const char* p : {"t.text", "t.type", "t.autoSize", "t._x", "t._y", "t.length", "t.maxChars", "t.variable",
                        "t.html", "t.selectable"})
    TraceValue(a, p);
  Stage s(a);
  EXPECT_EQ(s.Take(), (Lines{"", "dynamic", "none", "10", "20", "0", "null", "null", "false", "true"}));
}

TEST(TextFieldScript, TextSetterTurnsNewlinesIntoReturnsAndCountsUnits) {
  Asm a;
  MakeField(a);
  SetMember(a, "t", "text", "ab\ncd");
  TraceValue(a, "t.length");
  Call(a, "t.text", "indexOf", {"\r"}).Op(ops::kTrace);
  Stage s(a);
  EXPECT_EQ(s.Take(), (Lines{"5", "2"}));
}

TEST(TextFieldScript, HtmlTextWritesTheReferenceLayout) {
  Asm a;
  MakeField(a);
  SetMember(a, "t", "html", true);
  SetMember(a, "t", "htmlText", "<b>hi</b>");
  TraceValue(a, "t.text");
  TraceValue(a, "t.htmlText");
  SetMember(a, "t", "html", false);
  TraceValue(a, "t.htmlText");
  Stage s(a);
  EXPECT_EQ(s.Take(), (Lines{"hi",
                             "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" "
                             "LETTERSPACING=\"0\" KERNING=\"0\"><B>hi</B></FONT></P>",
                             "hi"}));
}

TEST(TextFieldScript, FormatsOfRangesMergeAndReadBackUnsetWhereMixed) {
  Asm a;
  MakeField(a);
  SetMember(a, "t", "text", "abcd");
  // var f = new TextFormat(); f.bold = true; t.setTextFormat(2, 4, f);
  a.Push("f").Push(0).Push("TextFormat").Op(ops::kNewObject).Op(ops::kDefineLocal);
  SetMember(a, "f", "bold", true);
  Get(a, "f").Push(4.0).Push(2.0).Push(3);
  Get(a, "t").Push("setTextFormat").Op(ops::kCallMethod).Op(ops::kPop);
  Call(a, "t", "getTextFormat", {}).Push("bold").Op(ops::kGetMember).Op(ops::kTrace);
  Call(a, "t", "getTextFormat", {2.0, 4.0}).Push("bold").Op(ops::kGetMember).Op(ops::kTrace);
  Call(a, "t", "getTextFormat", {0.0}).Push("bold").Op(ops::kGetMember).Op(ops::kTrace);
  Call(a, "t", "getTextFormat", {}).Push("size").Op(ops::kGetMember).Op(ops::kTrace);
  Stage s(a);
  EXPECT_EQ(s.Take(), (Lines{"null", "true", "false", "12"}));
}

TEST(TextFormatScript, MembersConvertAsTheReferenceDoes) {
  Asm a;
  a.Push("f").Push(0).Push("TextFormat").Op(ops::kNewObject).Op(ops::kDefineLocal);
  TraceValue(a, "f.size");
  SetMember(a, "f", "size", 2.5);
  TraceValue(a, "f.size");  // half to even
  SetMember(a, "f", "size", 3.5);
  TraceValue(a, "f.size");
  SetMember(a, "f", "leftMargin", -3.0);
  TraceValue(a, "f.leftMargin");
  SetMember(a, "f", "color", -3.0);
  TraceValue(a, "f.color");
  SetMember(a, "f", "align", "center");
  SetMember(a, "f", "align", "sideways");
  TraceValue(a, "f.align");
  Stage s(a);
  EXPECT_EQ(s.Take(), (Lines{"null", "2", "4", "0", "4294967293", "center"}));
}

TEST(TextFieldScript, ReplaceSelUsesTheSelectionOnceFocused) {
  Asm a;
  MakeField(a);
  SetMember(a, "t", "text", "abcd");
  Call(a, "t", "replaceSel", {"|"}).Op(ops::kPop);
  TraceValue(a, "t.text");
  Get(a, "t").Push(1).Push("Selection").Op(ops::kGetVariable).Push("setFocus").Op(ops::kCallMethod).Op(ops::kPop);
  Call(a, "Selection", "getEndIndex", {}).Op(ops::kTrace);
  Call(a, "Selection", "setSelection", {1.0, 3.0}).Op(ops::kPop);
  Call(a, "t", "replaceSel", {"-"}).Op(ops::kPop);
  TraceValue(a, "t.text");
  Call(a, "Selection", "getCaretIndex", {}).Op(ops::kTrace);
  Stage s(a);
  EXPECT_EQ(s.Take(), (Lines{"|abcd", "5", "|-cd", "2"}));
}

TEST(TextFieldInput, TypingHonoursRestrictAndMaxCharsAndTellsOnChanged) {
  Asm a;
  MakeField(a);
  SetMember(a, "t", "type", "input");
  SetMember(a, "t", "restrict", "a-z");
  SetMember(a, "t", "maxChars", 3.0);
  Get(a, "t").Push("onChanged");
  a.DefineFunction("", {}, [](Asm& body) { TraceValue(body, "t.text"); });
  a.Op(ops::kSetMember);
  Get(a, "t").Push(1).Push("Selection").Op(ops::kGetVariable).Push("setFocus").Op(ops::kCallMethod).Op(ops::kPop);
  Stage s(a);
  s.Take();
  for (char32_t ch : {U'a', U'1', U'B', U'c', U'd'}) s.player.TextInput(ch);
  EXPECT_EQ(s.Take(), (Lines{"a", "ab", "abc"})) << "digits drop, capitals fit as small letters, a fourth is too many";
  s.player.TextInput(8);  // Backspace
  s.player.TextControl(36);  // Home
  s.player.TextInput(U'z');
  EXPECT_EQ(s.Take(), (Lines{"ab", "zab"}));
}

TEST(TextFieldVariable, BoundFieldFollowsItsVariableBothWays) {
  Asm a;
  MakeField(a);
  SetMember(a, "t", "variable", "shown");
  a.Push("shown").Push("first").Op(ops::kSetVariable);
  Stage s(a, 3);
  s.player.Tick();
  s.Take();
  const auto* root = &s.player.rootInstance();
  const Instance* field = nullptr;
  for (const auto& [depth, obj] : root->displayList)
    if (obj.sprite && obj.sprite->field) field = obj.sprite.get();
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->field->text, u"first") << "the variable's value shows in the field";
}

// A button has no timeline of its own: a field among its states is bound on the clip holding it.
TEST(TextFieldVariable, AFieldInsideAButtonIsBoundOnTheButtonsClip) {
  EditText field;
  field.variable = "label";
  field.text = "before";
  Asm second;
  TraceValue(second, "holder.label");
  SetMember(second, "holder", "label", "after");
  Asm third;
  TraceValue(third, "holder.label");
  const Bytes file = MovieFile(
      200, 200,
      {EditTextTag(field), Button2(3, {{0x0F, 2, 1}}, {}), Sprite(4, {PlaceObject2({.depth = 1, .id = 3, .name = ""}), ShowFrame()}),
       PlaceObject2({.depth = 1, .id = 4, .name = "holder"}), ShowFrame(), DoActionTag(second.Code()), ShowFrame(),
       DoActionTag(third.Code()), ShowFrame()});
  const auto movie = LoadMovie(file).movie;
  ASSERT_TRUE(movie);
  Player player(movie);
  Lines lines;
  player.onTrace = [&](const std::string& l) { lines.push_back(l); };
  for (int i = 0; i < 3; ++i) player.Tick();
  EXPECT_EQ(lines, (Lines{"before", "after"})) << "the field gave the clip its text, then follows the clip's variable";
  const Instance* shown = nullptr;
  for (const auto& [d, holder] : player.rootInstance().displayList)
    for (const auto& [e, button] : holder.sprite->displayList)
      for (const auto& [f, part] : button.sprite->displayList)
        if (part.sprite && part.sprite->field) shown = part.sprite.get();
  ASSERT_NE(shown, nullptr) << "the field is drawn among the button's states";
  EXPECT_EQ(shown->field->text, u"after");
}

TEST(TextFieldScript, AutoSizeFromTheRightMovesXAndWidthIsSetUnscaled) {
  Asm a;
  MakeField(a);  // at (10, 20), 100 x 30
  SetMember(a, "t", "autoSize", "right");
  // No fonts here: the empty text is 0 wide, the box the 2 + 2 pixel gutters, its right edge kept.
  TraceValue(a, "t._x");
  TraceValue(a, "t._width");
  SetMember(a, "t", "_x", 0.0);
  TraceValue(a, "t._x");
  SetMember(a, "t", "_width", 50.0);  // the box grows to 50, then fits its text from the right again
  TraceValue(a, "t._x");
  TraceValue(a, "t._width");
  MakeField(a, "u");
  SetMember(a, "u", "_xscale", 200.0);
  SetMember(a, "u", "_width", 20.0);  // the box is 20 of the field's own pixels, shown doubled
  TraceValue(a, "u._width");
  TraceValue(a, "u._xscale");
  Stage s(a);
  EXPECT_EQ(s.Take(), (Lines{"106", "4", "0", "46", "4", "40", "200"}));
}

TEST(TextFieldScript, AlphaKeepsWholeTwoHundredFiftySixths) {
  Asm a;
  MakeField(a);
  for (double alpha : {0.5, 50.0, 33.0, -20.0}) {
    SetMember(a, "t", "_alpha", alpha);
    TraceValue(a, "t._alpha");
  }
  Stage s(a);
  // 0.5% of 256 is 1.28, kept as 1; 33% is 84.48, kept as 84; truncation goes towards zero.
  EXPECT_EQ(s.Take(), (Lines{"0.390625", "50", "32.8125", "-19.921875"}));
}

// A field at (0, 0), 100 x 30, holding "test", with the focus given by a click at (x, 10).
struct ClickedField {
  Stage stage;
  explicit ClickedField(double x) : stage(Script()) {
    stage.player.MouseMove(x, 10);
    stage.player.MouseDown();
    stage.player.MouseUp();
  }
  static Asm Script() {
    Asm a;
    Call(a, "_root", "createTextField", {"t", 1.0, 0.0, 0.0, 100.0, 30.0}).Op(ops::kPop);
    SetMember(a, "t", "type", "input");
    SetMember(a, "t", "text", "test");
    Get(a, "t").Push("onChanged");
    a.DefineFunction("", {}, [](Asm& body) { TraceValue(body, "t.text"); });
    a.Op(ops::kSetMember);
    return a;
  }
};

TEST(TextFieldInput, AClickPutsTheCaretWhereItFallsInsteadOfSelectingAll) {
  ClickedField after(90);
  after.stage.player.TextInput(U'x');
  EXPECT_EQ(after.stage.Take(), (Lines{"testx"})) << "past the text's end: the caret goes after it";
  ClickedField before(1);
  before.stage.player.TextInput(U'x');
  EXPECT_EQ(before.stage.Take(), (Lines{"xtest"})) << "left of the gutter: the caret goes first";
}

TEST(TextFieldInput, ComposedTextStandsInTheFieldAndCommitsWhenTheFocusLeaves) {
  ClickedField f(90);
  f.stage.player.ImePreedit(u"k");
  f.stage.player.ImePreedit(u"ka");  // each version replaces the one before
  EXPECT_TRUE(f.stage.Take().empty()) << "composing is no change yet";
  const Instance* field = nullptr;
  for (const auto& [depth, obj] : f.stage.player.rootInstance().displayList)
    if (obj.sprite && obj.sprite->field) field = obj.sprite.get();
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->field->text, u"testka");
  f.stage.player.ImeCommit(u"\u304B");  // the input method's own character
  EXPECT_EQ(f.stage.Take(), (Lines{"test\xE3\x81\x8B"}));
  EXPECT_EQ(field->field->text, u"test\u304B");
  f.stage.player.ImePreedit(u"q");
  f.stage.player.MouseMove(150, 150);  // a click outside takes the focus away
  f.stage.player.MouseDown();
  f.stage.player.MouseUp();
  EXPECT_EQ(f.stage.Take(), (Lines{"test\xE3\x81\x8Bq"})) << "the composed text stays, committed";
  EXPECT_EQ(field->field->selectionBegin, 0u);
  EXPECT_EQ(field->field->selectionEnd, 0u) << "a field without the focus forgets its selection";
}

}  // namespace
}  // namespace quillon::player
