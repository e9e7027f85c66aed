// Pictures and captions drawn through the GDI surface, pixel for pixel on a memory DIB section.
#include <gtest/gtest.h>

#include <functional>

#include "fake_host.h"
#include "gdi_surface.h"
#include "picture.h"
#include "redraw.h"

namespace quillon::render {
namespace {

using testing::FakeHost;

constexpr COLORREF kFace = RGB(200, 200, 200);

PictureRef Bitmap24(int w, int h, std::function<std::uint32_t(int, int)> pixel) {
  std::vector<std::uint32_t> px;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px.push_back(pixel(x, y) | 0xFF000000u);
  return container::MakePicture(PictureKind::Bitmap, w, h, 24, false, std::move(px));
}

struct PictureCanvas : ::testing::Test {
  DibCanvas dib{40, 20};
  GdiSurface surface{dib};
  EffectTables tables;
  FixedSystemColours system;
  PaintInput in;
  PictureCanvas() { dib.Fill(kFace); }
  void Draw(const PictureRef& p, int state, Colour silhouette = kNoSilhouette, int x = 2, int y = 3) {
    DrawPicture(surface, {x, y, x, y}, p.get(), in, PictureLookFor(in, state, tables), silhouette, system);
  }
};

TEST_F(PictureCanvas, FifteenPixelBitmapRendersWithoutSkew) {
  const auto pic = Bitmap24(15, 4, [](int x, int y) { return static_cast<std::uint32_t>(x * 16 << 16 | y * 60 << 8 | 5); });
  Draw(pic, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 15; ++x) ASSERT_EQ(dib.Pixel(2 + x, 3 + y), RGB(x * 16, y * 60, 5)) << x << "," << y;
  EXPECT_EQ(dib.Pixel(1, 3), kFace);
  EXPECT_EQ(dib.Pixel(17, 3), kFace);
  EXPECT_EQ(dib.Pixel(2, 7), kFace);
}

TEST_F(PictureCanvas, MaskColourOpacityAndEffects) {
  // Left column exactly the mask colour, then one step off, then grey 100.
  const auto pic = Bitmap24(3, 1, [](int x, int) {
    return x == 0 ? 0xE0E0E0u : x == 1 ? 0xE0E0E1u : 0x646464u;
  });
  Draw(pic, 0);
  EXPECT_EQ(dib.Pixel(2, 3), kFace);
  EXPECT_EQ(dib.Pixel(3, 3), RGB(0xE0, 0xE0, 0xE1));
  EXPECT_EQ(dib.Pixel(4, 3), RGB(100, 100, 100));
  in.useMaskColor = false;
  Draw(pic, 0);
  EXPECT_EQ(dib.Pixel(2, 3), RGB(0xE0, 0xE0, 0xE0));
  // Opacity 128 over 200: (100 * 128 + 200 * 127) div 256 = 149.
  dib.Fill(kFace);
  in.pictureOpacity = 128;
  Draw(pic, 0);
  EXPECT_EQ(dib.Pixel(4, 3), RGB(149, 149, 149));
  // Hover opacity and effects: 200 brightened is 229, darkened 170.
  dib.Fill(kFace);
  const auto grey200 = Bitmap24(1, 1, [](int, int) { return 0xC8C8C8u; });
  in.pictureOpacityOnOver = 255;
  in.pictureEffectOnOver = 1;
  in.pictureEffectOnDown = 2;
  Draw(grey200, 1);
  EXPECT_EQ(dib.Pixel(2, 3), RGB(229, 229, 229));
  in.pictureOpacity = 255;
  Draw(grey200, 2);
  EXPECT_EQ(dib.Pixel(2, 3), RGB(170, 170, 170));
}

TEST_F(PictureCanvas, DisabledFadedAndGrey) {
  const auto red = Bitmap24(1, 1, [](int, int) { return 0xFF0000u; });
  in.enabled = false;
  Draw(red, 0);  // opacity 52: red (255*52 + 200*203) div 256, others 200*203 div 256
  EXPECT_EQ(dib.Pixel(2, 3), RGB((255 * 52 + 200 * 203) / 256, 200 * 203 / 256, 200 * 203 / 256));
  dib.Fill(kFace);
  in.disabledPictureMode = 1;
  Draw(red, 0);  // grey 76 at opacity 191
  const int g = (200 * 64 + 76 * 191) / 256;
  EXPECT_EQ(dib.Pixel(2, 3), RGB(g, g, g));
}

TEST_F(PictureCanvas, AlphaBitmapBlendsByItsOwnAlpha) {
  std::vector<std::uint32_t> px = {0x80646464u, 0xFF0A141Eu, 0x00FFFFFFu};
  const auto pic = container::MakePicture(PictureKind::Bitmap, 3, 1, 32, true, px);
  Draw(pic, 0);
  const int half = (100 * 128 + 200 * 127) / 256;
  EXPECT_EQ(dib.Pixel(2, 3), RGB(half, half, half));
  EXPECT_EQ(dib.Pixel(3, 3), RGB(10, 20, 30));
  EXPECT_EQ(dib.Pixel(4, 3), kFace);
  // PictureOpacity 128 halves the pixel alpha: 128 * 128 div 255 = 64.
  dib.Fill(kFace);
  in.pictureOpacity = 128;
  Draw(pic, 0);
  const int quarter = (100 * 64 + 200 * 191) / 256;
  EXPECT_EQ(dib.Pixel(2, 3), RGB(quarter, quarter, quarter));
  // Disabled while hot: the alpha renderer takes the disabled opacity (52).
  dib.Fill(kFace);
  in.pictureOpacity = 255;
  in.enabled = false;
  Draw(pic, 1);
  const int a = 255 * 52 / 255;
  EXPECT_EQ(dib.Pixel(3, 3), RGB((10 * a + 200 * (255 - a)) / 256, (20 * a + 200 * (255 - a)) / 256,
                                 (30 * a + 200 * (255 - a)) / 256));
  // A silhouette keeps the alpha.
  dib.Fill(kFace);
  in.enabled = true;
  Draw(pic, 0, RGB(0, 0, 0));
  EXPECT_EQ(dib.Pixel(2, 3), RGB(200 * 127 / 256, 200 * 127 / 256, 200 * 127 / 256));
  EXPECT_EQ(dib.Pixel(3, 3), RGB(0, 0, 0));
  EXPECT_EQ(dib.Pixel(4, 3), kFace);
}

TEST_F(PictureCanvas, IconTransparencyIsKeyedOutOrSilver) {
  std::vector<std::uint32_t> px = {0x00000000u, 0xFF102030u};
  const auto icon = container::MakePicture(PictureKind::Icon, 2, 1, 32, true, px);
  in.maskColor = 0x123456;  // icons key out silver, not MaskColor
  Draw(icon, 0);
  EXPECT_EQ(dib.Pixel(2, 3), kFace);
  EXPECT_EQ(dib.Pixel(3, 3), RGB(0x10, 0x20, 0x30));
  in.useMaskColor = false;
  Draw(icon, 0);
  EXPECT_EQ(dib.Pixel(2, 3), RGB(192, 192, 192));
  // Brighten applies to icons too: 0x30 = 48 -> 48 * 293 div 255 = 55.
  in.useMaskColor = true;
  in.pictureEffectOnOver = 1;
  Draw(icon, 1);
  EXPECT_EQ(dib.Pixel(3, 3), RGB(0x10 * 293 / 255, 0x20 * 293 / 255, 0x30 * 293 / 255));
}

// Captions with their effects, the separator and the symbol through a whole redraw.
void FlatFace(PaintContext& c, int) {
  c.ReadSize();
  c.surface.FillRectangle(c.Translate(c.in.backColor), c.client);
  c.DrawCaptionAndPicture();
}

struct CaptionCanvas : ::testing::Test {
  PainterTable table;
  ButtonRenderer renderer{table};
  DibCanvas dib{97, 33};
  GdiSurface surface{dib.Dc(), 97, 33};
  FakeHost host;
  PaintInput in;
  CaptionCanvas() {
    for (int s = 0; s < kButtonStyleCount; ++s) table.Set(s, &FlatFace);
    renderer.SetPainters(table);
    host.width = 97;
    host.height = 33;
    in.buttonStyle = ButtonStyle::Glass;
    in.caption = L"Go";
    in.font.face = L"Tahoma";
    in.font.height = -11;
    in.backColor = RGB(100, 100, 100);
    in.foreColor = RGB(0, 0, 255);
    in.foreColorHover = RGB(0, 255, 0);
  }
  std::vector<COLORREF> Draw() {
    renderer.Redraw(surface, host, in);
    std::vector<COLORREF> px;
    for (int y = 0; y < 33; ++y)
      for (int x = 0; x < 97; ++x) px.push_back(dib.Pixel(x, y));
    return px;
  }
};

// With a copy at (dx, dy): where the plain caption fully inks (x, y) and leaves (x + dx, y + dy)
// untouched, the effect drawing shows the copy's colour at (x + dx, y + dy).
void ExpectCopy(const std::vector<COLORREF>& plain, const std::vector<COLORREF>& effect, COLORREF ink,
                COLORREF face, COLORREF copy, int dx, int dy) {
  int checked = 0;
  for (int y = 1; y < 32; ++y)
    for (int x = 1; x < 96; ++x) {
      const COLORREF here = plain[static_cast<std::size_t>(y * 97 + x)];
      const COLORREF there = plain[static_cast<std::size_t>((y + dy) * 97 + x + dx)];
      if (here == ink && there == face) {
        ++checked;
        ASSERT_EQ(effect[static_cast<std::size_t>((y + dy) * 97 + x + dx)], copy) << x << "," << y;
      }
    }
  EXPECT_GT(checked, 3);
}

TEST_F(CaptionCanvas, EffectCopiesSitAtTheirOffsetsInTheirColours) {
  const auto plain = Draw();
  const COLORREF face = RGB(100, 100, 100);
  const COLORREF ink = RGB(0, 0, 255);
  int inked = 0;
  for (COLORREF c : plain) inked += c == ink;
  ASSERT_GT(inked, 5) << "the caption was not drawn";
  in.captionEffects = 1;  // Raised: +36 at (-1, -1)
  ExpectCopy(plain, Draw(), ink, face, RGB(136, 136, 136), -1, -1);
  in.captionEffects = 2;  // Sunken: +36 at (1, 1)
  ExpectCopy(plain, Draw(), ink, face, RGB(136, 136, 136), 1, 1);
  in.captionEffects = 3;  // Shadow: silver at (1, 1)
  ExpectCopy(plain, Draw(), ink, face, RGB(192, 192, 192), 1, 1);
  in.captionEffects = 5;  // Outline: -26 at the four diagonals
  const auto outline = Draw();
  for (auto [dx, dy] : {std::pair{1, 1}, {1, -1}, {-1, 1}, {-1, -1}})
    ExpectCopy(plain, outline, ink, face, RGB(74, 74, 74), dx, dy);
  in.backColor = RGB(240, 240, 240);  // Glow on 240 clamps to white
  in.captionEffects = 0;
  const auto light = Draw();
  in.captionEffects = 4;
  const auto glow = Draw();
  for (auto [dx, dy] : {std::pair{1, 1}, {1, -1}, {-1, 1}, {-1, -1}})
    ExpectCopy(light, glow, ink, RGB(240, 240, 240), RGB(255, 255, 255), dx, dy);
}

TEST_F(CaptionCanvas, StateColoursOfCaptionAndSymbol) {
  in.dropDownSymbol = 6;
  in.state = 1;
  const auto hot = Draw();
  const Rect symbol = renderer.State().layout.symbolRect;
  EXPECT_EQ(symbol, (Rect{82, 10, 97, 24}));  // round(16.5 - 7) = 10, round(24.5) = 24
  int captionHover = 0, symbolFore = 0, symbolHover = 0;
  for (int y = 0; y < 33; ++y)
    for (int x = 0; x < 97; ++x) {
      const COLORREF c = hot[static_cast<std::size_t>(y * 97 + x)];
      const bool inSymbol = x >= symbol.left && y >= symbol.top && y < symbol.bottom;
      if (inSymbol) {
        symbolFore += c == RGB(0, 0, 255);
        symbolHover += c == RGB(0, 255, 0);
      } else {
        captionHover += c == RGB(0, 255, 0);
      }
    }
  EXPECT_GT(captionHover, 5);
  EXPECT_GT(symbolFore, 5);
  EXPECT_EQ(symbolHover, 0);
  // Disabled: caption and symbol in the grey-text colour.
  host.colours.Set(kColorGrayText, RGB(109, 109, 109));
  in.enabled = false;
  const auto off = Draw();
  int grey = 0;
  for (COLORREF c : off) grey += c == RGB(109, 109, 109);
  EXPECT_GT(grey, 10);
  for (COLORREF c : off) ASSERT_NE(c, RGB(0, 0, 255));
}

TEST_F(CaptionCanvas, SeparatorShadesTheFaceAtSevenSeven) {
  in.backColor = RGB(128, 128, 128);
  in.dropDownSeparator = true;
  in.caption = L"";
  Draw();
  for (int y = 0; y < 33; ++y) {
    const bool on = y >= 3 && y <= 29;
    EXPECT_EQ(dib.Pixel(81, y), on ? RGB(102, 102, 102) : RGB(128, 128, 128)) << y;
    EXPECT_EQ(dib.Pixel(82, y), on ? RGB(154, 154, 154) : RGB(128, 128, 128)) << y;
  }
}

TEST_F(CaptionCanvas, NextCaptionMeasuresInTheControlFontAfterASymbol) {
  in.dropDownSymbol = 6;
  Draw();
  const Rect first = renderer.State().layout.captionRect;
  Draw();
  EXPECT_EQ(renderer.State().layout.captionRect, first);
  in.dropDownSymbol = 0;
  Draw();
  const Size control = surface.MeasureText(L"Go", {0, 0, 89, 33}, dt::kWordBreak, in.font);
  EXPECT_EQ(renderer.State().layout.captionRect.Width(), control.width);
}

}  // namespace
}  // namespace quillon::render
