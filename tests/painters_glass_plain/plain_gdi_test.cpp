// The Plain looks on the main window's credit band (305 x 33, back colour 0xFF8080, large bold
// caption) and in every colour scheme.
#include <gtest/gtest.h>

#include "dib_button.h"

namespace quillon::render {
namespace {

using namespace testing;
using controls::ButtonMode;
using controls::CaptionAlignment;
using controls::ColorScheme;

constexpr OleColour kCreditBack = 0xFF8080;  // rgb(128, 128, 255), the panel's colour

class Plain : public ::testing::Test {
 protected:
  Plain() : button(305, 33, ButtonStyle::Plain) {
    container::FontDescription font;
    font.SetSizePoints(15.75);
    font.weight = 700;
    button.in.font = ToFontDesc(font);
    button.in.caption = L"Corvandel  制作  ";
    button.in.backColor = kCreditBack;
    button.in.foreColor = SystemColour(kColorBtnText);
    button.in.foreColorHover = SystemColour(kColorBtnText);
    button.in.picturePushOnHover = true;
    button.in.parentActive = true;
  }

  // Outside the caption every pixel is the face, with the border ring when there is one; inside
  // it the caption has left some ink.
  ::testing::AssertionResult Shows(Colour face, const Colour* border) {
    const Rect text = button.renderer.State().layout.captionRect;
    const int w = button.Width(), h = button.Height();
    int wrong = 0, ink = 0;
    std::string report;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool ring = x == 0 || y == 0 || x == w - 1 || y == h - 1;
        const Colour expected = ring && border ? *border : face;
        const bool inText = x >= text.left && x < text.right && y >= text.top && y < text.bottom;
        if (button.At(x, y) == expected) continue;
        if (inText && !ring) {
          ++ink;
        } else if (++wrong <= 6) {
          report += "\n  (" + std::to_string(x) + ", " + std::to_string(y) + ") is " +
                    Describe(button.At(x, y)) + ", expected " + Describe(expected);
        }
      }
    if (wrong) return ::testing::AssertionFailure() << wrong << " pixels differ:" << report;
    if (ink < 50) return ::testing::AssertionFailure() << "the caption left only " << ink << " pixels";
    return ::testing::AssertionSuccess();
  }

  DibButton button;
};

// Custom scheme: F = B, K = B shifted by -0.12 (255 x 0.12 = 30.6 -> 31): rgb(97, 97, 224).
TEST_F(Plain, CreditBandInTheCustomScheme) {
  button.in.colorScheme = ColorScheme::Custom;
  const Colour border = Rgb(97, 97, 224);
  button.Paint(ButtonState::Normal);
  EXPECT_TRUE(Shows(Rgb(128, 128, 255), nullptr)) << "at rest: the panel's colour, no border";
  button.Paint(ButtonState::Hot);
  EXPECT_TRUE(Shows(Rgb(136, 136, 255), &border)) << "hot: +8 (0.03), blue clamped";
  button.Paint(ButtonState::Down);
  EXPECT_TRUE(Shows(Rgb(108, 108, 235), &border)) << "pressed: -20 (0.08)";
  EXPECT_TRUE(button.host.regions.empty()) << "Plain never rebuilds the window region";
}

// A Plain button keeps scheme 0 when its back colour is assigned, and a stored design without a
// ColorScheme key loads 0: the hot and pressed faces then come from the Blue scheme.
TEST_F(Plain, CreditBandInTheBlueScheme) {
  button.in.colorScheme = ColorScheme::Blue;
  const Colour border = Rgb(49, 106, 197);
  button.Paint(ButtonState::Normal);
  EXPECT_TRUE(Shows(Rgb(128, 128, 255), nullptr));
  button.Paint(ButtonState::Hot);
  EXPECT_TRUE(Shows(Rgb(201, 218, 246), &border));
  button.Paint(ButtonState::Down);
  EXPECT_TRUE(Shows(Rgb(173, 190, 218), &border));
}

TEST_F(Plain, CaptionStaysPutWhenPressed) {
  button.Paint(ButtonState::Normal);
  const Rect atRest = button.renderer.State().layout.captionRect;
  std::vector<bool> inkAtRest;
  for (Colour c : button.Pixels()) inkAtRest.push_back(c != Rgb(128, 128, 255));
  button.in.colorScheme = ColorScheme::Custom;
  button.Paint(ButtonState::Down);
  EXPECT_EQ(button.renderer.State().layout.captionRect, atRest);
  const auto pressed = button.Pixels();
  int moved = 0;
  for (int y = 1; y < 32; ++y)
    for (int x = 1; x < 304; ++x) {
      const std::size_t i = static_cast<std::size_t>(y * 305 + x);
      moved += inkAtRest[i] != (pressed[i] != Rgb(108, 108, 235));
    }
  EXPECT_EQ(moved, 0);
}

struct SchemeCase {
  int scheme;
  Colour back, hot, pressed, border;
};

TEST_F(Plain, SchemesGiveBorderAndHighlightWhileRestKeepsTheBackColour) {
  const SchemeCase cases[] = {
      // Blue on white: F rgb(193, 210, 238) + 8 and - 20.
      {ColorScheme::Blue, Rgb(255, 255, 255), Rgb(201, 218, 246), Rgb(173, 190, 218), Rgb(49, 106, 197)},
      // Olive: F rgb(212, 214, 186).
      {ColorScheme::Olive, Rgb(10, 20, 30), Rgb(220, 222, 194), Rgb(192, 194, 166), Rgb(147, 160, 112)},
      // Silver: F rgb(224, 223, 227).
      {ColorScheme::Silver, Rgb(10, 20, 30), Rgb(232, 231, 235), Rgb(204, 203, 207), Rgb(178, 180, 191)},
      // Custom on rgb(10, 20, 30): pressed - 20 and border - 31 clamp at 0.
      {ColorScheme::Custom, Rgb(10, 20, 30), Rgb(18, 28, 38), Rgb(0, 0, 10), Rgb(0, 0, 0)},
      // Outside 0..3: F and K black, so hot is rgb(8, 8, 8) and pressed black.
      {4, Rgb(200, 100, 50), Rgb(8, 8, 8), Rgb(0, 0, 0), Rgb(0, 0, 0)},
      {-1, Rgb(200, 100, 50), Rgb(8, 8, 8), Rgb(0, 0, 0), Rgb(0, 0, 0)},
  };
  button.in.foreColor = Rgb(255, 0, 255);
  button.in.foreColorHover = Rgb(255, 0, 255);
  for (const SchemeCase& c : cases) {
    SCOPED_TRACE("ColorScheme " + std::to_string(c.scheme));
    button.in.colorScheme = c.scheme;
    button.in.backColor = c.back;
    button.Paint(ButtonState::Normal);
    EXPECT_TRUE(Shows(c.back, nullptr));
    button.Paint(ButtonState::Hot);
    EXPECT_TRUE(Shows(c.hot, &c.border));
    button.Paint(ButtonState::Down);
    EXPECT_TRUE(Shows(c.pressed, &c.border));
  }
}

TEST_F(Plain, LatchedButtonIsDarkerWithBorderWhateverTheState) {
  button.in.colorScheme = ColorScheme::Custom;
  button.in.mode = ButtonMode::Check;
  button.in.value = true;
  const Colour border = Rgb(97, 97, 224);
  for (int state : {ButtonState::Normal, ButtonState::Hot}) {
    button.in.mouseOver = false;
    button.Paint(state);
    EXPECT_TRUE(Shows(Rgb(115, 115, 242), &border)) << "state " << state << ": F - 13 (0.05)";
    button.in.mouseOver = true;
    button.Paint(state);
    EXPECT_TRUE(Shows(Rgb(125, 125, 252), &border)) << "state " << state << ": F - 3 (0.01)";
  }
  // The dispatcher stored the pressed state for the latched button.
  EXPECT_EQ(button.in.state, ButtonState::Down);
  // Blue scheme: F rgb(193, 210, 238) - 13.
  button.in.colorScheme = ColorScheme::Blue;
  button.in.mouseOver = false;
  button.Paint(ButtonState::Normal);
  const Colour blueBorder = Rgb(49, 106, 197);
  EXPECT_TRUE(Shows(Rgb(180, 197, 225), &blueBorder));
}

TEST_F(Plain, FocusedButtonLooksLikeAnUnfocusedOne) {
  button.in.colorScheme = ColorScheme::Custom;
  for (int state : {ButtonState::Normal, ButtonState::Hot, ButtonState::Down}) {
    button.in.hasFocus = false;
    button.in.isDefault = false;
    button.in.showFocusRect = false;
    button.Paint(state);
    const auto plain = button.Pixels();
    button.in.hasFocus = true;
    button.in.isDefault = true;
    button.in.showFocusRect = true;
    button.Paint(state);
    EXPECT_EQ(button.Pixels(), plain) << "state " << state;
  }
}

TEST(PlainBorder, LiesOverACaptionThatReachesTheEdge) {
  DibButton button(40, 20, ButtonStyle::Plain);
  button.in.colorScheme = ColorScheme::Custom;
  button.in.backColor = Rgb(0, 128, 0);  // border rgb(0, 97, 0)
  button.in.caption = L"WWWWWW";
  button.in.captionAlign = CaptionAlignment::Left;
  button.in.font.face = L"Tahoma";
  button.in.font.height = -40;
  button.in.font.weight = 700;
  button.in.foreColor = Rgb(255, 0, 0);
  button.in.foreColorHover = Rgb(255, 0, 0);
  auto ringPixels = [&] {
    std::vector<Colour> ring;
    for (int x = 0; x < 40; ++x) ring.push_back(button.At(x, 0)), ring.push_back(button.At(x, 19));
    for (int y = 1; y < 19; ++y) ring.push_back(button.At(0, y)), ring.push_back(button.At(39, y));
    return ring;
  };
  button.Paint(ButtonState::Normal);
  int inked = 0;
  for (Colour c : ringPixels()) inked += c != Rgb(0, 128, 0);
  ASSERT_GT(inked, 0) << "the caption should reach the outermost pixels for this check";
  for (int state : {ButtonState::Hot, ButtonState::Down}) {
    button.Paint(state);
    for (Colour c : ringPixels()) EXPECT_EQ(c, Rgb(0, 97, 0)) << "state " << state;
  }
}

}  // namespace
}  // namespace quillon::render
