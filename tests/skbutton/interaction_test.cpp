#include <gtest/gtest.h>

#include "rig.h"

namespace quillon::controls::testing {
namespace {

constexpr std::int16_t L = kLeftButton;
constexpr std::int16_t kSpace = 32;
constexpr std::int16_t kEnter = 13;
constexpr std::int16_t kEsc = 27;
constexpr auto N = ButtonState::Normal;
constexpr auto H = ButtonState::Hot;
constexpr auto D = ButtonState::Down;

// A 97 x 33 pixel Glass button on an active form, created and loaded as in the program.
struct Button : Rig {
  explicit Button(TestForm* sharedForm = nullptr, std::wstring name = L"skbutton1", std::uintptr_t window = 0x2000,
                  std::uintptr_t containerWindow = 0x1000)
      : Rig(sharedForm, std::move(name), window, containerWindow) {
    container::PropertyBag bag;
    bag.Set(L"buttonstyle", std::int32_t{ButtonStyle::Glass});
    b().Load(bag);
    b().OnParentActivate(true);
    ClearLog();
  }
  void Enter() {  // the cursor arrives over the button
    site.cursorOver = true;
    b().OnMouseMove(0, 0, 10, 10);
  }
  void Away() {
    site.cursorOver = false;
    b().OnMouseMove(0, 0, -5, 10);
  }
  void Press(float x = 10, float y = 10) { b().OnMouseDown(L, 0, x, y); }
  void Release(float x = 10, float y = 10) { b().OnMouseUp(L, 0, x, y); }
  void SpaceDown() { b().OnKeyDown(kSpace, 0); }
  void SpaceUp() { b().OnKeyUp(kSpace, 0); }
  std::vector<std::string>& Events() { return events.events; }
};

TEST(Events, ADoubleClickYieldsTheSevenEventsInOrder) {
  Button r;
  r.Enter();
  r.ClearLog();
  r.Press();
  r.Release();
  r.b().OnDblClick();
  r.Release();
  EXPECT_EQ(r.Events(), (Log{"MouseDown(1,0,10,10)", "Click", "MouseUp(1,0,10,10)", "MouseDown(1,0,10,10)",
                             "DblClick", "Click", "MouseUp(1,0,10,10)"}));
  EXPECT_EQ(r.b().State(), N);
}

TEST(Events, ADoubleClickAfterARightPressDoesNothing) {
  Button r;
  r.Enter();
  r.b().OnMouseDown(kRightButton, 0, 3, 3);
  r.ClearLog();
  r.b().OnDblClick();
  EXPECT_TRUE(r.Events().empty());
  EXPECT_EQ(r.b().State(), H);
}

TEST(Transitions, MouseMovesOverAndAway) {
  for (auto from : {N, D}) {
    Button r;
    if (from == D) {
      // Down with nothing held: a shown Value, kept when the style stops forcing it.
      r.b().SetMode(ButtonMode::Check);
      r.b().SetValue(true);
      r.b().SetButtonStyle(ButtonStyle::Classic);
    }
    ASSERT_EQ(r.b().State(), from);
    r.ClearLog();
    r.Enter();
    EXPECT_EQ(r.b().State(), H);
    EXPECT_EQ(r.form.Logged("tooltip").size(), 1u) << "becoming Hot shows the tooltip";
    r.Enter();
    EXPECT_EQ(r.form.Logged("tooltip").size(), 1u) << "staying Hot does not rebuild it";
    EXPECT_EQ(r.Events(), (Log{"MouseEnter", "MouseEnter"})) << "MouseEnter on every move over the button";
    EXPECT_EQ(r.form.Logged("track"), (Log{"track:8192", "track:8192"}));
    r.Away();
    EXPECT_EQ(r.b().State(), N);
    EXPECT_FALSE(r.b().MouseOver());
  }
}

TEST(Transitions, DraggingOffAndBackOnWhileHeld) {
  Button r;
  r.Enter();
  r.Press();
  EXPECT_EQ(r.b().State(), D);
  r.Away();
  EXPECT_EQ(r.b().State(), N);
  r.Enter();
  EXPECT_EQ(r.b().State(), D) << "a held press shows Down again";
  r.ClearLog();
  r.Release();
  EXPECT_EQ(r.Events(), (Log{"Click", "MouseUp(1,0,10,10)"}));
  EXPECT_EQ(r.b().State(), N) << "Normal after the click; the next move makes it Hot";
  r.Enter();
  EXPECT_EQ(r.b().State(), H);

  Button outside;
  outside.Enter();
  outside.Press();
  outside.Away();
  outside.ClearLog();
  outside.Release(120, 10);
  EXPECT_EQ(outside.Events(), (Log{"MouseUp(1,0,120,10)"})) << "released outside: no Click";
}

TEST(Transitions, OnlyAReleaseStrictlyInsideClicks) {
  // 97 x 33 pixels: inside means 0 < x < 97 and 0 < y < 33.
  const std::pair<float, float> edges[] = {{0, 10}, {10, 0}, {97, 10}, {10, 33}, {-1, 10}};
  for (auto [x, y] : edges) {
    Button r;
    r.Enter();
    r.Press(x, y);
    r.ClearLog();
    r.Release(x, y);
    ASSERT_EQ(r.Events().size(), 1u) << x << "," << y;
    EXPECT_EQ(r.Events()[0].rfind("MouseUp", 0), 0u);
  }
  Button inside;
  inside.Press(96.5f, 32.5f);
  inside.ClearLog();
  inside.Release(96.5f, 32.5f);
  EXPECT_EQ(inside.Events().front(), "Click");
}

TEST(Transitions, RightButtonRaisesOnlyMouseUp) {
  Button r;
  r.Enter();
  r.ClearLog();
  r.b().OnMouseDown(kRightButton, 2, 4, 5);
  EXPECT_EQ(r.b().State(), H);
  EXPECT_FALSE(r.b().MouseHeld());
  r.b().OnMouseUp(kRightButton, 2, 4, 5);
  EXPECT_EQ(r.Events(), (Log{"MouseUp(2,2,4,5)"}));
}

TEST(Transitions, SpacePressAndRelease) {
  Button r;
  r.Enter();
  r.ClearLog();
  r.SpaceDown();
  EXPECT_EQ(r.b().State(), D);
  EXPECT_TRUE(r.b().SpaceHeld());
  EXPECT_TRUE(r.site.capture) << "Space captures the mouse for the button";
  r.Away();
  EXPECT_EQ(r.b().State(), D) << "while Space is held the mouse changes nothing";
  r.Enter();
  r.SpaceUp();
  EXPECT_EQ(r.b().State(), H);
  EXPECT_FALSE(r.site.capture);
  EXPECT_EQ(r.Events(), (Log{"KeyDown(32,0)", "MouseEnter", "Click", "KeyUp(32,0)"}));

  Button away;
  away.SpaceDown();
  away.SpaceUp();
  EXPECT_EQ(away.b().State(), N) << "released with the cursor elsewhere: Normal";
}

TEST(Transitions, SpaceWhileTheMouseHoldsTheButton) {
  Button r;
  r.Enter();
  r.Press();
  r.ClearLog();
  r.SpaceDown();
  EXPECT_FALSE(r.b().SpaceHeld());
  EXPECT_EQ(r.b().State(), D);
  r.SpaceUp();
  EXPECT_EQ(r.b().State(), D) << "over and held: stays Down";
  EXPECT_EQ(r.Events(), (Log{"KeyDown(32,0)", "KeyUp(32,0)"})) << "no Click from the Space release";
  EXPECT_FALSE(r.b().MouseHeld()) << "the Space release ends the mouse hold too";

  Button off;
  off.Enter();
  off.Press();
  off.Away();
  off.SpaceDown();
  EXPECT_EQ(off.b().State(), N) << "held but elsewhere: Normal";
}

TEST(Transitions, AltSpaceIsIgnoredEntirely) {
  Button r;
  r.Enter();
  r.ClearLog();
  r.b().OnKeyDown(kSpace, kAltMask);
  EXPECT_EQ(r.b().State(), H);
  EXPECT_FALSE(r.b().SpaceHeld());
  EXPECT_TRUE(r.Events().empty()) << "no KeyDown for Alt+Space";
  EXPECT_TRUE(r.form.Logged("redraw").empty());
}

TEST(Transitions, AnotherKeyCancelsTheSpaceClick) {
  Button r;
  r.Enter();
  r.SpaceDown();
  r.ClearLog();
  r.b().OnKeyDown(65, kShiftMask);
  EXPECT_EQ(r.b().State(), N);
  EXPECT_FALSE(r.b().SpaceHeld());
  r.SpaceUp();
  EXPECT_EQ(r.Events(), (Log{"KeyDown(65,1)", "KeyUp(32,0)"})) << "no Click after a cancelled Space";
}

TEST(Transitions, EnterAndArrowKeysKeepTheSpaceHold) {
  Button r;
  r.Enter();
  r.SpaceDown();
  r.ClearLog();
  r.b().OnKeyDown(37, 0);
  r.b().OnKeyDown(38, 0);
  r.b().OnKeyDown(39, 0);
  r.b().OnKeyDown(40, 0);
  r.b().OnKeyDown(kEnter, 0);
  EXPECT_TRUE(r.b().SpaceHeld());
  EXPECT_EQ(r.form.Logged("focus"), (Log{"focus:previous", "focus:previous", "focus:next", "focus:next"}));
  EXPECT_EQ(r.Events(), (Log{"KeyDown(37,0)", "KeyDown(38,0)", "KeyDown(39,0)", "KeyDown(40,0)", "Click",
                             "KeyDown(13,0)"}));
}

TEST(CheckMode, SpaceRepeatTogglesEachTimeAndClicksOnceAtRelease) {
  Button r;
  r.b().SetMode(ButtonMode::Check);
  r.Enter();
  r.ClearLog();
  r.SpaceDown();
  EXPECT_TRUE(r.b().Value());
  r.SpaceDown();
  EXPECT_FALSE(r.b().Value());
  r.SpaceDown();
  EXPECT_TRUE(r.b().Value());
  r.SpaceUp();
  int clicks = 0;
  for (const auto& e : r.Events()) clicks += e == "Click";
  EXPECT_EQ(clicks, 1);
}

TEST(CheckMode, EnterClicksWithoutTogglingAndMouseClicksToggle) {
  Button r;
  r.b().SetMode(ButtonMode::Check);
  r.Enter();
  r.ClearLog();
  r.b().OnKeyDown(kEnter, 0);
  EXPECT_FALSE(r.b().Value());
  EXPECT_EQ(r.Events(), (Log{"Click", "KeyDown(13,0)"}));
  r.Press();
  r.Release();
  EXPECT_TRUE(r.b().Value());
  EXPECT_EQ(r.b().State(), D) << "a set Value shows Down in the Glass style";
  r.Press();
  r.Release();
  EXPECT_FALSE(r.b().Value());
  EXPECT_EQ(r.b().State(), N);
}

TEST(AccessKeys, CaptionExamples) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"Save && Exit", L""}, {L"&Open", L"o"},  {L"A&&B&c", L"c"}, {L"&&&x", L"x"},
      {L"&&&&x", L""},        {L"x&", L""},      {L"&Save", L"s"},  {L"Fish && &Chips", L"c"},
      {L"Save&", L""},        {L"A&&B&&C&D", L""}, {L"&", L""},     {L"", L""},
      {L"&\u00C9t\u00E9", L"\u00E9"}, {L"&&", L""}, {L"&& &", L""}};
  for (auto [caption, key] : cases) {
    EXPECT_EQ(AccessKeyOf(caption), key) << container::Narrow(caption);
  }
  Button r;
  r.b().SetCaption(L"Fish && &Chips");
  EXPECT_EQ(r.site.accessKeys, L"c");
  r.b().SetCaption(L"Save && Exit");
  EXPECT_EQ(r.site.accessKeys, L"") << "the old key is cleared";
}

TEST(AccessKeys, ByMode) {
  {
    Button r;
    r.b().SetMode(ButtonMode::Check);
    r.ClearLog();
    r.b().OnAccessKeyPress('s');
    EXPECT_TRUE(r.b().Value());
    EXPECT_EQ(r.Events(), (Log{"Click"}));
    EXPECT_EQ(r.form.Logged("doevents").size(), 1u) << "pending events run before the Click";
    r.b().OnAccessKeyPress('s');
    EXPECT_FALSE(r.b().Value());
    EXPECT_EQ(r.b().State(), N);
  }
  for (std::int32_t mode : {ButtonMode::Check, ButtonMode::Option}) {
    for (std::int16_t key : {kEnter, kEsc}) {
      Button r;
      r.b().SetMode(mode);
      r.ClearLog();
      r.b().OnAccessKeyPress(key);
      EXPECT_FALSE(r.b().Value()) << mode;
      EXPECT_TRUE(r.Events().empty()) << "Enter/Esc as access key does nothing for mode " << mode;
    }
  }
  for (std::int16_t key : {kEnter, kEsc, std::int16_t{'p'}}) {
    Button r;
    r.b().OnAccessKeyPress(key);
    EXPECT_EQ(r.Events(), (Log{"Click"})) << "a Push button clicks for " << key;
  }
  {
    Button r;
    r.b().SetEnabled(false);
    r.ClearLog();
    r.b().OnAccessKeyPress('p');
    EXPECT_TRUE(r.Events().empty()) << "a disabled button ignores its access key";
  }
  {
    Button r;  // an access key while Space is held drops the Space click
    r.SpaceDown();
    r.b().OnAccessKeyPress('p');
    EXPECT_FALSE(r.b().SpaceHeld());
    r.ClearLog();
    r.SpaceUp();
    EXPECT_EQ(r.Events(), (Log{"KeyUp(32,0)"}));
  }
}

TEST(OptionGroups, AClickSetsItsOwnValueAndClearsOnlyOptionButtonsOfTheSameContainer) {
  TestForm form;
  Button a(&form, L"a", 0x2001, 0x1000);
  Button b(&form, L"b", 0x2002, 0x1000);
  Button check(&form, L"c", 0x2003, 0x1000);
  Button other(&form, L"d", 0x2004, 0x3000);  // a picture box on the same form
  for (Button* x : {&a, &b, &other}) x->b().SetMode(ButtonMode::Option);
  check.b().SetMode(ButtonMode::Check);
  b.b().SetValue(true);
  check.b().SetValue(true);
  other.b().SetValue(true);
  form.log.clear();
  a.Press();
  a.Release();
  EXPECT_TRUE(a.b().Value());
  EXPECT_FALSE(b.b().Value());
  EXPECT_TRUE(check.b().Value()) << "Check buttons are not in the group";
  EXPECT_TRUE(other.b().Value()) << "another container is another group";
  EXPECT_EQ(form.Logged("notify"), (Log{"notify:Value"})) << "the cleared button is told through its property";

  // Space and the access key select too.
  b.SpaceDown();
  EXPECT_TRUE(b.b().Value());
  EXPECT_FALSE(a.b().Value());
  a.b().OnAccessKeyPress('a');
  EXPECT_TRUE(a.b().Value());
  EXPECT_FALSE(b.b().Value());
}

TEST(OptionGroups, SettingValueInCodeNeverTouchesTheGroup) {
  TestForm form;
  Button a(&form, L"a", 0x2001);
  Button b(&form, L"b", 0x2002);
  a.b().SetMode(ButtonMode::Option);
  b.b().SetMode(ButtonMode::Option);
  a.b().SetValue(true);
  b.b().SetValue(true);
  EXPECT_TRUE(a.b().Value());
  EXPECT_TRUE(b.b().Value());
}

TEST(MouseLeave, RaisesOnceAndNotWhileSpaceIsHeld) {
  Button r;
  r.Enter();
  r.ClearLog();
  r.b().OnMouseLeave();
  EXPECT_EQ(r.b().State(), N);
  EXPECT_EQ(r.Events(), (Log{"MouseLeave"}));
  EXPECT_EQ(r.form.Logged("redraw").size(), 1u);
  r.ClearLog();
  r.b().OnMouseLeave();
  EXPECT_TRUE(r.form.Logged("redraw").empty()) << "already Normal: no redraw";

  Button s;
  s.Enter();
  s.SpaceDown();
  s.ClearLog();
  s.b().OnMouseLeave();
  EXPECT_EQ(s.b().State(), D) << "the pressed look stays while Space is held";
  EXPECT_TRUE(s.Events().empty());
  EXPECT_FALSE(s.b().MouseOver());
}

TEST(Activation, DeactivationDropsThePressAndThePendingClick) {
  Button r;
  r.Enter();
  r.SpaceDown();
  r.Press();
  r.ClearLog();
  r.b().OnParentActivate(false);
  EXPECT_EQ(r.b().State(), N);
  EXPECT_FALSE(r.b().MouseHeld());
  EXPECT_FALSE(r.b().SpaceHeld());
  EXPECT_FALSE(r.b().HasFocus());
  EXPECT_FALSE(r.b().ParentActive());
  r.SpaceUp();
  EXPECT_EQ(r.Events(), (Log{"KeyUp(32,0)"})) << "no Click after deactivation";
  r.b().OnParentActivate(true);
  EXPECT_TRUE(r.b().ParentActive());
  EXPECT_EQ(r.b().State(), N);
}

TEST(Focus, GotAndLostFocus) {
  Button r;
  r.ClearLog();
  r.b().OnGotFocus();
  EXPECT_TRUE(r.b().HasFocus());
  EXPECT_TRUE(r.form.log.empty()) << "got focus does not redraw";
  r.Enter();
  r.b().OnLostFocus();
  EXPECT_EQ(r.b().State(), H) << "active form, cursor over: Hot";
  r.b().OnParentActivate(false);
  r.Enter();
  r.b().OnLostFocus();
  EXPECT_EQ(r.b().State(), N) << "inactive form: Normal";
  EXPECT_FALSE(r.b().HasFocus());
  r.Press();
  EXPECT_TRUE(r.b().HasFocus()) << "an accepted press takes the focus flag";
}

TEST(Ambient, DisplayAsDefaultIsFollowedAndRedrawsOnlyForItsNames) {
  Button r;
  r.site.displayAsDefault = true;
  r.ClearLog();
  r.b().OnAmbientChanged(L"Font");
  EXPECT_TRUE(r.b().IsDefault());
  EXPECT_TRUE(r.form.log.empty());
  r.b().OnAmbientChanged(L"DisplayAsDefault");
  r.b().OnAmbientChanged(L"BackColor");
  EXPECT_EQ(r.form.log, (Log{"redraw", "redraw"}));
}

TEST(SubclassedMessages, AreDispatchedByNumberAndLeaveTheResultAlone) {
  Button r;
  r.Enter();
  bool handled = false;
  std::int32_t result = 77;
  std::uintptr_t window = 0x1000;
  auto send = [&](std::uint32_t message, std::uintptr_t wParam) {
    std::intptr_t lParam = 0;
    r.b().Subclass_WndProc(false, handled, result, window, message, wParam, lParam);
  };
  r.ClearLog();
  send(kWmNcActivate, 0);
  EXPECT_FALSE(r.b().ParentActive());
  send(kWmActivate, 1);
  EXPECT_TRUE(r.b().ParentActive());
  send(kWmSysColorChange, 0);
  send(kWmThemeChanged, 0);
  EXPECT_EQ(r.form.Logged("redraw").size(), 4u);
  send(kWmMouseLeave, 0);
  EXPECT_EQ(r.Events(), (Log{"MouseLeave"}));
  send(0x0200, 0);
  EXPECT_FALSE(handled);
  EXPECT_EQ(result, 77);
}

TEST(Tooltip, NotForAButtonShowingDown) {
  Button r;
  r.b().SetMode(ButtonMode::Check);
  r.b().SetValue(true);
  r.ClearLog();
  r.Enter();
  EXPECT_EQ(r.b().State(), D);
  EXPECT_TRUE(r.form.Logged("tooltip").empty());
}

TEST(Pointer, TheHandCursorIsSetOnEveryMouseInput) {
  Button r;
  r.b().SetHandPointer(true);
  r.ClearLog();
  r.Enter();
  r.Press();
  r.Release();
  r.b().OnDblClick();
  EXPECT_EQ(r.form.Logged("setcursor").size(), 5u) << "move, press, release, double click and its press";
}

TEST(Capture, ALeftPressCapturesAndItsReleaseLetsGo) {
  Button r;
  r.Press();
  EXPECT_TRUE(r.site.capture);
  r.Release();
  EXPECT_FALSE(r.site.capture);
}

TEST(Keys, CharactersOnlyRaiseKeyPressAndOtherKeyReleasesNothing) {
  Button r;
  r.ClearLog();
  r.b().OnKeyPress('a');
  r.b().OnKeyUp(65, 0);
  EXPECT_EQ(r.Events(), (Log{"KeyPress(97)"}));
  EXPECT_TRUE(r.form.Logged("redraw").empty());
}

TEST(Resize, GrowsBackToTheMinimumInTheShrunkDimension) {
  Button r;
  r.site.extent = {3015, 200};
  r.ClearLog();
  r.b().OnResize();
  EXPECT_EQ(r.form.log, (Log{"extent:3015x220", "region", "redraw"}));
  r.site.extent = {100, 495};
  r.b().OnResize();
  EXPECT_EQ(r.site.extent, (container::Extent{220, 495}));
  r.ClearLog();
  r.b().OnResize();
  EXPECT_EQ(r.form.log, (Log{"region", "redraw"}));
  r.ClearLog();
  r.b().OnPaint();
  EXPECT_EQ(r.form.log, (Log{"redraw"}));
}

}  // namespace
}  // namespace quillon::controls::testing
