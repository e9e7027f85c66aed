// The edge, Rounded, SilverToolbar and SystemTheme painters over a pixel buffer: the theme state
// mapping, the SystemTheme fallback, the ForeColor writes and the cues that are counted rather
// than seen (dotted focus frames, captions). The pixel-exact looks are in the Wine tests.
#include <gtest/gtest.h>

#include "memory_surface.h"
#include "painters/system_theme.h"
#include "redraw.h"
#include "styles_host.h"

namespace quillon::render {
namespace {

using testing::MemorySurface;
using testing::StylesHost;

constexpr Colour kWhite = Rgb(255, 255, 255);
constexpr int kW = 60, kH = 24;

PaintInput Button(int style) {
  PaintInput in;
  in.buttonStyle = style;
  in.backColor = Rgb(236, 235, 231);
  in.foreColor = Rgb(200, 0, 0);
  in.foreColorHover = Rgb(0, 0, 200);
  in.caption = L"OK";
  in.showFocusRect = true;
  in.parentActive = true;
  return in;
}

struct Rig {
  StylesHost host;
  MemorySurface surface{kW, kH};
  ButtonRenderer renderer;  // the standard painters, as registered
  void Draw(PaintInput& in) { renderer.Redraw(surface, host, in); }
};

// ---- SystemTheme: which theme state a button is drawn in ----

TEST(SystemThemeState, StatesMapToPushButtonStates) {
  PaintInput in = Button(ButtonStyle::SystemTheme);
  in.parentActive = false;
  EXPECT_EQ(SystemThemeState(in, 0), 1) << "at rest: PBS_NORMAL";
  EXPECT_EQ(SystemThemeState(in, 1), 2) << "under the mouse: PBS_HOT";
  EXPECT_EQ(SystemThemeState(in, 2), 3) << "pressed: PBS_PRESSED";
  EXPECT_EQ(SystemThemeState(in, 7), 0) << "an unknown state has no theme state";
}

TEST(SystemThemeState, FocusedOrDefaultAtRestInActiveWindowIsDefaulted) {
  PaintInput in = Button(ButtonStyle::SystemTheme);
  in.hasFocus = true;
  EXPECT_EQ(SystemThemeState(in, 0), 5);
  in.hasFocus = false;
  in.isDefault = true;
  EXPECT_EQ(SystemThemeState(in, 0), 5) << "a default button without the focus";
  in.parentActive = false;
  EXPECT_EQ(SystemThemeState(in, 0), 1) << "an inactive window shows no defaulted button";
}

TEST(SystemThemeState, TheStoredStateDecidesTheDefaultedLook) {
  PaintInput in = Button(ButtonStyle::SystemTheme);
  in.hasFocus = true;
  in.state = 1;
  EXPECT_EQ(SystemThemeState(in, 1), 2) << "the focused button under the mouse is hot";
  EXPECT_EQ(SystemThemeState(in, 0), 1) << "stored state hot: the argument alone is not enough";
  in.state = 0;
  EXPECT_EQ(SystemThemeState(in, 2), 5) << "stored state at rest wins over a pressed argument";
}

TEST(SystemThemeState, DisabledWinsOverEverything) {
  PaintInput in = Button(ButtonStyle::SystemTheme);
  in.enabled = false;
  in.hasFocus = true;
  for (int s = 0; s < 3; ++s) EXPECT_EQ(SystemThemeState(in, s), 4) << "state " << s;
}

// ---- SystemTheme through the dispatcher ----

TEST(SystemThemeDispatch, WithoutVisualStylesTheButtonBecomesRoundedForGood) {
  Rig r;
  r.host.themed = false;
  PaintInput in = Button(ButtonStyle::SystemTheme);
  in.caption.clear();
  r.Draw(in);
  EXPECT_EQ(r.host.fallbacks, 1);
  EXPECT_EQ(in.buttonStyle, ButtonStyle::Rounded);
  EXPECT_EQ(in.colorScheme, 0);
  EXPECT_EQ(in.backColor, Rgb(236, 235, 231)) << "the Rounded face of the Blue scheme";
  // The Rounded look: navy outline, lightened corners, the standard face at mid height
  // (row 12 of 24: 254 + (12 x -18) div 23 = 245, likewise 244 and 240).
  EXPECT_EQ(r.surface.At(0, 10), Rgb(0, 60, 116));
  EXPECT_EQ(r.surface.At(1, 1), Rgb(77, 137, 193));
  EXPECT_EQ(r.surface.At(30, 12), Rgb(245, 244, 240));
  // From then on it is a Rounded button: the theme is not asked again.
  r.host.themed = true;
  const int asked = r.host.themeQuestions;
  r.Draw(in);
  EXPECT_EQ(r.host.themeQuestions, asked);
  EXPECT_EQ(r.host.fallbacks, 1);
}

TEST(SystemThemeDispatch, NoThemeDataLeavesCaptionOnTheButtonFace) {
  Rig r;  // the memory surface opens no theme
  PaintInput in = Button(ButtonStyle::SystemTheme);
  r.Draw(in);
  EXPECT_EQ(r.host.fallbacks, 0);
  EXPECT_EQ(r.surface.At(0, 0), testing::kTestButtonFace);
  EXPECT_EQ(r.surface.At(30, 2), testing::kTestButtonFace);
  ASSERT_EQ(r.surface.texts.size(), 1u) << "the caption is drawn even without a theme";
  EXPECT_EQ(r.surface.texts[0].text, L"OK");
  EXPECT_TRUE(r.host.regions.empty()) << "the themed painter never asks for the style's region";
}

// ---- SilverToolbar writes ForeColor ----

TEST(SilverToolbarForeColor, WhiteWhilePressedButtonTextOtherwise) {
  Rig r;
  PaintInput in = Button(ButtonStyle::SilverToolbar);
  in.state = 2;
  r.Draw(in);
  ASSERT_FALSE(r.host.storedFore.empty());
  EXPECT_EQ(r.host.storedFore.back(), kWhite);
  ASSERT_EQ(r.surface.texts.size(), 1u);
  EXPECT_EQ(r.surface.texts[0].colour, kWhite) << "the pressed caption is white";
  for (int s : {0, 1}) {
    in.state = s;
    in.foreColor = Rgb(200, 0, 0);
    r.Draw(in);
    EXPECT_EQ(r.host.storedFore.back(), testing::kTestButtonText) << "state " << s;
    EXPECT_EQ(in.foreColor, testing::kTestButtonText) << "the assigned red is overwritten";
  }
}

TEST(SilverToolbarForeColor, LatchedFaceTakesButtonTextAndKeepsTheStoredState) {
  Rig r;
  PaintInput in = Button(ButtonStyle::SilverToolbar);
  in.mode = 1;
  in.value = true;
  r.Draw(in);
  EXPECT_TRUE(r.host.storedStates.empty()) << "Redraw does not force Down on a SilverToolbar";
  EXPECT_EQ(in.state, 0);
  ASSERT_EQ(r.surface.texts.size(), 1u);
  EXPECT_EQ(r.surface.texts[0].colour, testing::kTestButtonText);
  EXPECT_EQ(r.surface.At(30, 12), Rgb(254, 254, 254));
}

TEST(SilverToolbarForeColor, HeldLatchedButtonShowsThePressedFace) {
  Rig r;
  PaintInput in = Button(ButtonStyle::SilverToolbar);
  in.mode = 1;
  in.value = true;
  in.mouseHeld = true;
  in.state = 1;
  r.Draw(in);
  EXPECT_EQ(r.surface.At(30, 12), Rgb(229, 228, 221));
  EXPECT_EQ(r.surface.At(0, 10), Rgb(157, 157, 146));
}

// ---- Edge styles: focus and default cues ----

TEST(EdgeStylesCues, DottedFrameOnlyAtRunTimeWithShowFocusRectInActiveWindow) {
  for (int style : {ButtonStyle::Classic, ButtonStyle::Flat, ButtonStyle::HoverRaised, ButtonStyle::HoverThin}) {
    for (int state : {0, 1, 2}) {
      Rig r;
      PaintInput in = Button(style);
      in.hasFocus = true;
      in.state = state;
      r.Draw(in);
      EXPECT_EQ(r.surface.focusRects, 1) << "style " << style << " state " << state;
      in.userMode = false;
      r.Draw(in);
      EXPECT_EQ(r.surface.focusRects, 1) << "design time: no dotted frame, style " << style;
      in.userMode = true;
      in.parentActive = false;
      r.Draw(in);
      EXPECT_EQ(r.surface.focusRects, 1) << "inactive window, style " << style;
      in.parentActive = true;
      in.showFocusRect = false;
      r.Draw(in);
      EXPECT_EQ(r.surface.focusRects, 1) << "ShowFocusRect off, style " << style;
      in.showFocusRect = true;
      in.hasFocus = false;
      in.isDefault = true;
      r.Draw(in);
      EXPECT_EQ(r.surface.focusRects, 2) << "the default button gets it too, style " << style;
    }
  }
}

TEST(EdgeStylesCues, DesignTimeDefaultClassicKeepsItsBlackOutline) {
  Rig r;
  PaintInput in = Button(ButtonStyle::Classic);
  in.isDefault = true;
  in.userMode = false;
  r.Draw(in);
  EXPECT_EQ(r.surface.focusRects, 0);
  EXPECT_EQ(r.surface.At(0, 10), Rgb(0, 0, 0));
  EXPECT_EQ(r.surface.At(kW - 1, 10), Rgb(0, 0, 0));
  EXPECT_EQ(r.surface.At(kW - 2, 10), testing::kTestWorkspace) << "the workspace frame inside it";
}

TEST(EdgeStylesCues, PressedClassicHasNoDefaultOutline) {
  Rig r;
  PaintInput in = Button(ButtonStyle::Classic);
  in.hasFocus = true;
  in.state = 2;
  r.Draw(in);
  EXPECT_EQ(r.surface.At(kW - 2, 10), Rgb(172, 168, 153)) << "the pressed frame, not the workspace frame";
  EXPECT_EQ(r.surface.At(0, 10), Rgb(0, 0, 0));
}

TEST(EdgeStylesCues, LatchedButtonsRunNoCues) {
  for (int style : {ButtonStyle::Classic, ButtonStyle::Flat, ButtonStyle::HoverRaised, ButtonStyle::HoverThin}) {
    Rig r;
    PaintInput in = Button(style);
    in.mode = 1;
    in.value = true;
    in.hasFocus = true;
    r.Draw(in);
    EXPECT_EQ(r.surface.focusRects, 0) << "style " << style;
  }
}

TEST(EdgeStylesCues, UnknownStateDrawsNothing) {
  Rig r;
  PaintInput in = Button(ButtonStyle::Classic);
  in.hasFocus = true;
  in.state = 5;
  r.Draw(in);
  EXPECT_EQ(r.surface.focusRects, 0);
  EXPECT_TRUE(r.surface.texts.empty());
  EXPECT_EQ(r.surface.At(0, 0), Rgb(240, 240, 240)) << "the surface stays as cleared";
}

// ---- Rounded without a known scheme ----

TEST(RoundedUnknownScheme, NoFaceNoCaptionNoOutlineButTheHotRim) {
  Rig r;
  PaintInput in = Button(ButtonStyle::Rounded);
  in.colorScheme = 4;
  in.hasFocus = true;
  in.showFocusRect = false;
  r.Draw(in);
  EXPECT_TRUE(r.surface.texts.empty());
  EXPECT_EQ(r.surface.At(0, 0), Rgb(240, 240, 240));
  EXPECT_EQ(r.surface.At(1, 2), Rgb(240, 240, 240)) << "no focus rim either";
  in.state = 1;
  r.Draw(in);
  EXPECT_TRUE(r.surface.texts.empty());
  EXPECT_EQ(r.surface.At(30, 1), Rgb(255, 240, 207));
  EXPECT_EQ(r.surface.At(30, kH - 2), Rgb(229, 151, 0));
  EXPECT_EQ(r.surface.At(0, 10), Rgb(240, 240, 240));
}

}  // namespace
}  // namespace quillon::render
