// The arithmetic of the Glass and Plain looks, natively: the rows a Glass face is laid out on,
// the Plain scheme table, and whole faces on a pixel buffer (text recorded, not drawn).
#include <gtest/gtest.h>

#include "fake_host.h"
#include "glass_faces.h"
#include "memory_surface.h"
#include "painters/glass.h"
#include "painters/plain.h"
#include "redraw.h"

namespace quillon::render {
namespace {

using namespace testing;

TEST(GlassRows, RoundHalvesToEven) {
  // H = 33: 16.5 -> 16, 14.5 -> 14, 15.5 -> 16, 15.5 -> 16.
  EXPECT_EQ(GlassRowsFor(33), (GlassRows{16, 14, 16, 16}));
  // H = 24: 12, 10, 11, 11.
  EXPECT_EQ(GlassRowsFor(24), (GlassRows{12, 10, 11, 11}));
  // H = 25: 12.5 -> 12, 10.5 -> 10, 11.5 -> 12, 11.5 -> 12.
  EXPECT_EQ(GlassRowsFor(25), (GlassRows{12, 10, 12, 12}));
  // H = 23: 11.5 -> 12, 9.5 -> 10, 10.5 -> 10, 10.5 -> 10.
  EXPECT_EQ(GlassRowsFor(23), (GlassRows{12, 10, 10, 10}));
  // The lower strips end on the last row inside the frame at every height.
  for (int h = 15; h < 80; ++h) {
    const GlassRows r = GlassRowsFor(h);
    EXPECT_EQ(r.lowerHalf + r.lowerStrip, h - 1) << "H = " << h;
  }
}

TEST(PlainSchemes, FaceAndBorderByScheme) {
  const Colour b = Rgb(128, 128, 255);
  EXPECT_EQ(PlainColoursFor(0, b), (PlainSchemeColours{Rgb(193, 210, 238), Rgb(49, 106, 197)}));
  EXPECT_EQ(PlainColoursFor(1, b), (PlainSchemeColours{Rgb(212, 214, 186), Rgb(147, 160, 112)}));
  EXPECT_EQ(PlainColoursFor(2, b), (PlainSchemeColours{Rgb(224, 223, 227), Rgb(178, 180, 191)}));
  // Custom: the back colour and the back colour less 31 (0.12 x 255 = 30.6).
  EXPECT_EQ(PlainColoursFor(3, b), (PlainSchemeColours{b, Rgb(97, 97, 224)}));
  EXPECT_EQ(PlainColoursFor(4, b), (PlainSchemeColours{0, 0}));
  EXPECT_EQ(PlainColoursFor(-3, b), (PlainSchemeColours{0, 0}));
}

struct MemoryButton {
  MemoryButton(int w, int h, int style) : surface(w, h) {
    host.width = w;
    host.height = h;
    in.buttonStyle = style;
    in.parentActive = true;
  }
  void Paint(int state) {
    in.state = state;
    renderer.Redraw(surface, host, in);
  }
  ::testing::AssertionResult LooksLike(const ExpectedFace& e) {
    for (int y = 0; y < e.Height(); ++y)
      for (int x = 0; x < e.Width(); ++x)
        if (surface.At(x, y) != e.At(x, y))
          return ::testing::AssertionFailure() << "(" << x << ", " << y << ") is " << Describe(surface.At(x, y))
                                               << ", expected " << Describe(e.At(x, y));
    return ::testing::AssertionSuccess();
  }
  MemorySurface surface;
  FakeHost host;
  PaintInput in;
  ButtonRenderer renderer;
};

TEST(GlassFaces, EveryLookAtOddAndEvenHeights) {
  // B = rgb(100, 150, 200): top B + 13, lower half from B - 5 to B - 38.
  const GlassShades shades{Rgb(113, 163, 213), Rgb(100, 150, 200), Rgb(95, 145, 195), Rgb(62, 112, 162)};
  const struct {
    int w, h;
    GlassNumbers rows;
  } sizes[] = {{97, 33, {16, 14, 16, 16}}, {80, 24, {12, 10, 11, 11}}, {60, 25, {12, 10, 12, 12}}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(std::to_string(s.w) + " x " + std::to_string(s.h));
    MemoryButton button(s.w, s.h, ButtonStyle::Glass);
    button.in.backColor = Rgb(100, 150, 200);
    button.Paint(ButtonState::Normal);
    EXPECT_TRUE(button.LooksLike(GlassNormalFace(s.w, s.h, s.rows, shades)));
    button.Paint(ButtonState::Hot);
    EXPECT_TRUE(button.LooksLike(GlassHotFace(s.w, s.h, s.rows)));
    button.Paint(ButtonState::Down);
    EXPECT_TRUE(button.LooksLike(GlassPressedFace(s.w, s.h, s.rows)));
  }
}

TEST(GlassFaces, CaptionComesBeforeTheFramesAndFocusFrameLast) {
  MemoryButton button(97, 33, ButtonStyle::Glass);
  button.in.caption = L"打开文件";
  button.in.hasFocus = true;
  button.in.showFocusRect = true;
  for (int state : {0, 1, 2}) {
    button.surface.focusRects = 0;
    button.surface.texts.clear();
    button.Paint(state);
    EXPECT_EQ(button.surface.texts.size(), 1u) << "state " << state;
    EXPECT_EQ(button.surface.focusRects, 1) << "state " << state;
  }
  button.in.parentActive = false;
  button.surface.focusRects = 0;
  button.Paint(0);
  EXPECT_EQ(button.surface.focusRects, 0);
  button.in.parentActive = true;
  button.in.enabled = false;
  button.Paint(0);
  EXPECT_EQ(button.surface.focusRects, 0) << "a disabled button shows no focus frame";
}

TEST(GlassFaces, UnknownStateDrawsNoFaceButMarksTheCorners) {
  MemoryButton button(40, 20, ButtonStyle::Glass);
  button.surface.SetBackgroundColour(Rgb(1, 2, 3));
  button.Paint(7);
  EXPECT_EQ(button.surface.At(10, 10), Rgb(1, 2, 3));
  EXPECT_EQ(button.surface.At(1, 1), kGlassCorner);
  EXPECT_EQ(button.surface.At(38, 18), kGlassCorner);
}

TEST(PlainFaces, UnknownStateStillGetsItsBorder) {
  MemoryButton button(40, 20, ButtonStyle::Plain);
  button.surface.SetBackgroundColour(Rgb(1, 2, 3));
  button.in.colorScheme = 2;
  button.Paint(5);
  EXPECT_EQ(button.surface.At(10, 10), Rgb(1, 2, 3));
  EXPECT_EQ(button.surface.At(0, 0), Rgb(178, 180, 191));
  EXPECT_EQ(button.surface.At(39, 19), Rgb(178, 180, 191));
}

}  // namespace
}  // namespace quillon::render
