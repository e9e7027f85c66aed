// The GDI surface's primitives, pixel for pixel on a memory DIB section.
#include <gtest/gtest.h>

#include "gdi_surface.h"
#include "gradient.h"

namespace quillon::render {
namespace {

constexpr COLORREF kBack = RGB(10, 20, 30);
constexpr COLORREF kInk = RGB(200, 100, 50);

struct Canvas : ::testing::Test {
  DibCanvas dib{40, 20};
  GdiSurface surface{dib, nullptr, kBack};
  Canvas() { dib.Fill(kBack); }
  // Every pixel outside `painted` must still be the background.
  template <typename Pred>
  void ExpectOnly(Pred painted, COLORREF ink) {
    for (int y = 0; y < dib.Height(); ++y)
      for (int x = 0; x < dib.Width(); ++x)
        ASSERT_EQ(dib.Pixel(x, y), painted(x, y) ? ink : kBack) << "pixel " << x << "," << y;
  }
};

TEST_F(Canvas, LinesLeaveOutTheirEndPoint) {
  surface.DrawLine(5, 3, 5, 20 - 3, kInk);  // rows 3 .. H - 4
  ExpectOnly([](int x, int y) { return x == 5 && y >= 3 && y <= 16; }, kInk);
  dib.Fill(kBack);
  surface.DrawLine(2, 7, 12, 7, kInk);
  ExpectOnly([](int x, int y) { return y == 7 && x >= 2 && x <= 11; }, kInk);
}

TEST_F(Canvas, FramesLieInsideTheirRectangle) {
  surface.FrameRectangle(0, 0, 40, 20, kInk);
  ExpectOnly([](int x, int y) { return x == 0 || y == 0 || x == 39 || y == 19; }, kInk);
  dib.Fill(kBack);
  surface.FrameRectangle(2, 3, 5, 4, kInk);
  ExpectOnly([](int x, int y) {
    const bool inX = x >= 2 && x <= 6, inY = y >= 3 && y <= 6;
    return (inX && (y == 3 || y == 6)) || (inY && (x == 2 || x == 6));
  }, kInk);
  dib.Fill(kBack);
  surface.FrameRectangle(2, 3, 0, 4, kInk);
  surface.FrameRectangle(2, 3, 5, -1, kInk);
  ExpectOnly([](int, int) { return false; }, kInk);
}

TEST_F(Canvas, FillsCoverRightAndBottomExclusive) {
  surface.FillRectangle(kInk, {3, 4, 8, 6});
  ExpectOnly([](int x, int y) { return x >= 3 && x <= 7 && y >= 4 && y <= 5; }, kInk);
  dib.Fill(kBack);
  surface.FillRectangle(kInk, {8, 4, 3, 6});
  ExpectOnly([](int, int) { return false; }, kInk);
}

TEST_F(Canvas, FocusFrameIsUndoneByASecondCall) {
  surface.FillRectangle(RGB(255, 255, 255), {0, 0, 40, 20});
  surface.FocusRectangle(2, 2, 36, 16);
  int changed = 0;
  for (int x = 0; x < 40; ++x)
    for (int y = 0; y < 20; ++y) {
      const bool onFrame = (x == 2 || x == 37 || y == 2 || y == 17) && x >= 2 && x <= 37 && y >= 2 && y <= 17;
      if (dib.Pixel(x, y) != RGB(255, 255, 255)) {
        ++changed;
        EXPECT_TRUE(onFrame) << x << "," << y;
      }
    }
  EXPECT_GT(changed, 0);
  surface.FocusRectangle(2, 2, 36, 16);
  for (int x = 0; x < 40; ++x)
    for (int y = 0; y < 20; ++y) ASSERT_EQ(dib.Pixel(x, y), RGB(255, 255, 255)) << x << "," << y;
}

TEST_F(Canvas, PixelsAndClear) {
  surface.SetPixel(3, 4, kInk);
  EXPECT_EQ(surface.GetPixel(3, 4), kInk);
  EXPECT_EQ(dib.Pixel(3, 4), kInk);
  surface.SetBackgroundColour(RGB(1, 2, 3));
  surface.Clear();
  ExpectOnly([](int, int) { return true; }, RGB(1, 2, 3));
}

TEST_F(Canvas, GradientShowsFromColourAtTheTop) {
  GradientFill(surface, 4, 5, 3, 3, 0x000000, 0x0000FF, 1);
  for (int x = 4; x < 7; ++x) {
    EXPECT_EQ(dib.Pixel(x, 5), RGB(0, 0, 0));
    EXPECT_EQ(dib.Pixel(x, 6), RGB(127, 0, 0));
    EXPECT_EQ(dib.Pixel(x, 7), RGB(255, 0, 0));
  }
  EXPECT_EQ(dib.Pixel(3, 5), kBack);
  EXPECT_EQ(dib.Pixel(7, 5), kBack);
  EXPECT_EQ(dib.Pixel(4, 4), kBack);
  EXPECT_EQ(dib.Pixel(4, 8), kBack);
}

TEST_F(Canvas, GradientLeftToRightAndDiagonals) {
  GradientFill(surface, 0, 0, 4, 2, RGB(10, 0, 0), RGB(0, 0, 0), 0);
  const int falling[] = {10, 7, 4, 0};
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(dib.Pixel(x, 0), RGB(falling[x], 0, 0));
    EXPECT_EQ(dib.Pixel(x, 1), RGB(falling[x], 0, 0));
  }
  GradientFill(surface, 10, 10, 3, 2, 0, RGB(0, 0, 30), 3);
  EXPECT_EQ(dib.Pixel(10, 11), RGB(0, 0, 0));   // bottom-left: from colour
  EXPECT_EQ(dib.Pixel(12, 10), RGB(0, 0, 30));  // top-right: to colour
  GradientFill(surface, 20, 10, 3, 2, 0, RGB(0, 0, 30), 2);
  EXPECT_EQ(dib.Pixel(20, 10), RGB(0, 0, 0));
  EXPECT_EQ(dib.Pixel(22, 11), RGB(0, 0, 30));
}

TEST_F(Canvas, GradientClipsAtTheSurfaceAndSkipsEmptySizes) {
  GradientFill(surface, 38, 18, 5, 5, kInk, kInk, 1);
  EXPECT_EQ(dib.Pixel(39, 19), kInk);
  EXPECT_EQ(dib.Pixel(37, 19), kBack);
  GradientFill(surface, 0, 0, 0, 5, kInk, kInk, 1);
  GradientFill(surface, 0, 0, 5, 0, kInk, kInk, 1);
  EXPECT_EQ(dib.Pixel(0, 0), kBack);
}

TEST_F(Canvas, BlockReadAndWriteKeepRowsAligned) {
  for (int x = 0; x < 15; ++x)
    for (int y = 0; y < 3; ++y) surface.SetPixel(2 + x, 1 + y, RGB(x * 10, y * 50, 7));
  for (int bpp : {24, 32}) {
    PixelBlock block = surface.ReadPixels(2, 1, 15, 3, bpp);
    ASSERT_EQ(block.Stride(), bpp == 24 ? 48 : 60);
    for (int x = 0; x < 15; ++x)
      for (int y = 0; y < 3; ++y) {
        const std::uint8_t* p = block.bytes.data() + block.OffsetFromTop(x, y);
        ASSERT_EQ(p[2], x * 10);
        ASSERT_EQ(p[1], y * 50);
        ASSERT_EQ(p[0], 7);
      }
    surface.WritePixels(20, 10, block);
    for (int x = 0; x < 15; ++x)
      for (int y = 0; y < 3; ++y) ASSERT_EQ(dib.Pixel(20 + x, 10 + y), RGB(x * 10, y * 50, 7));
  }
}

// Without direct access blocks are copied through a temporary bitmap: bottom-up 32-bit and
// 24-bit surfaces read the same as the in-place canvas above.
TEST(BlockRead, BottomUpAndTwentyFourBitSurfaces) {
  for (int depth : {32, 24}) {
    MemoryDc dc(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 7;
    info.bmiHeader.biHeight = 5;  // bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(depth);
    void* bits = nullptr;
    Bitmap bitmap(::CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(bitmap);
    Selection selected(dc.Get(), bitmap.Get());
    GdiSurface surface(dc.Get(), 7, 5);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) surface.SetPixel(x, y, RGB(x * 30, y * 40, 9));
    const PixelBlock block = surface.ReadPixels(1, 1, 5, 3, 24);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) {
        const std::uint8_t* p = block.bytes.data() + block.OffsetFromTop(x, y);
        ASSERT_EQ(RGB(p[2], p[1], p[0]), RGB((x + 1) * 30, (y + 1) * 40, 9)) << depth << ": " << x << "," << y;
      }
  }
}

TEST_F(Canvas, TextMeasuresAndDrawsInTheTextColour) {
  FontDesc tahoma;
  tahoma.face = L"Tahoma";
  tahoma.height = -11;
  EXPECT_EQ(surface.MeasureText(L"", {0, 0, 40, 20}, dt::kWordBreak, tahoma), (Size{0, 0}));
  const Size one = surface.MeasureText(L"Wi", {0, 0, 40, 20}, dt::kWordBreak, tahoma);
  EXPECT_GT(one.width, 0);
  EXPECT_GT(one.height, 0);
  // Word breaking wraps at the measuring width.
  const Size two = surface.MeasureText(L"Wi Wi Wi Wi", {0, 0, 20, 20}, dt::kWordBreak, tahoma);
  EXPECT_GT(two.height, one.height);
  // "&" is a prefix: "&W" measures like "W".
  EXPECT_EQ(surface.MeasureText(L"&Wi", {0, 0, 40, 20}, dt::kWordBreak, tahoma).width, one.width);
  surface.SetTextColour(kInk);
  surface.DrawString(L"Wi", {0, 0, 40, 20}, dt::kCenter | dt::kWordBreak, tahoma);
  int inked = 0;
  for (int x = 0; x < 40; ++x)
    for (int y = 0; y < 20; ++y) inked += dib.Pixel(x, y) == kInk;
  EXPECT_GT(inked, 0);
  // Transparent background: pixels away from the glyphs keep the face.
  EXPECT_EQ(dib.Pixel(0, 19), kBack);
  EXPECT_EQ(surface.TextColour(), kInk);
}

TEST_F(Canvas, NoGdiObjectOutlivesItsCall) {
  const int before = LiveGdiObjects();
  {
    GdiSurface scoped(dib.Dc(), 40, 20);
    scoped.DrawLine(0, 0, 5, 5, kInk);
    scoped.FrameRectangle(0, 0, 5, 5, kInk);
    scoped.FillRectangle(kInk, {0, 0, 3, 3});
    (void)scoped.ReadPixels(0, 0, 5, 5, 24);
    EXPECT_EQ(LiveGdiObjects(), before);
    FontDesc f;
    f.face = L"Tahoma";
    f.height = -11;
    scoped.DrawString(L"x", {0, 0, 40, 20}, 0, f);
    // The caption font is kept for the paint and goes with the surface; the symbol font
    // lives only inside its call.
    EXPECT_EQ(LiveGdiObjects(), before + 1);
    scoped.DrawString(L"6", {0, 0, 40, 20}, 0, SymbolFont());
    EXPECT_EQ(LiveGdiObjects(), before + 1);
  }
  EXPECT_EQ(LiveGdiObjects(), before);
}

TEST(Regions, ShapesOfTheRegionTable) {
  const int live = LiveGdiObjects();
  {
    // Glass and SilverToolbar at 80 x 24 pixels.
    Region glass = MakeRegion(RegionFor(3, 80, 24, 0, 0));
    GdiObject<HRGN> expectedGlass(::CreateRoundRectRgn(0, 0, 81, 25, 3, 3));
    EXPECT_TRUE(::EqualRgn(glass.Get(), expectedGlass.Get()));
    Region silver = MakeRegion(RegionFor(6, 80, 24, 0, 0));
    GdiObject<HRGN> expectedSilver(::CreateRoundRectRgn(0, 0, 81, 25, 4, 4));
    EXPECT_TRUE(::EqualRgn(silver.Get(), expectedSilver.Get()));
    EXPECT_FALSE(::EqualRgn(glass.Get(), silver.Get()));
    EXPECT_FALSE(::PtInRegion(glass.Get(), 0, 0));
    EXPECT_TRUE(::PtInRegion(glass.Get(), 40, 0));
    // Plain and OrangeGloss: exactly W x H.
    for (int style : {4, 8}) {
      Region plain = MakeRegion(RegionFor(style, 80, 24, 97, 33));
      RECT box{};
      ASSERT_EQ(::GetRgnBox(plain.Get(), &box), SIMPLEREGION);
      EXPECT_EQ(box.left, 0);
      EXPECT_EQ(box.top, 0);
      EXPECT_EQ(box.right, 97);
      EXPECT_EQ(box.bottom, 33);
    }
  }
  EXPECT_EQ(LiveGdiObjects(), live);
}

}  // namespace
}  // namespace quillon::render
