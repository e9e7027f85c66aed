// Per-pixel picture blending: opacity, mask colour, effects, grey and faded looks, silhouettes.
#include <gtest/gtest.h>

#include "picture.h"

namespace quillon::render {
namespace {

PixelBlock Solid(int w, int h, int bpp, int b, int g, int r, int a = 0) {
  PixelBlock block = PixelBlock::Make(w, h, bpp);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = block.bytes.data() + block.OffsetFromTop(x, y);
      p[0] = static_cast<std::uint8_t>(b);
      p[1] = static_cast<std::uint8_t>(g);
      p[2] = static_cast<std::uint8_t>(r);
      if (bpp == 32) p[3] = static_cast<std::uint8_t>(a);
    }
  return block;
}

const std::uint8_t* Px(const PixelBlock& b, int x = 0, int y = 0) { return b.bytes.data() + b.OffsetFromTop(x, y); }

TEST(GrayValue, RoundsInnerThenOuterToEven) {
  EXPECT_EQ(GrayValue(255, 0, 0), 76);  // 76.5 -> 76
  EXPECT_EQ(GrayValue(5, 0, 0), 2);     // 1.5 -> 2
  EXPECT_EQ(GrayValue(15, 0, 0), 4);    // 4.5 -> 4
  EXPECT_EQ(GrayValue(255, 255, 255), 254);
  EXPECT_EQ(GrayValue(0, 0, 0), 0);
  for (int v = 0; v < 256; ++v) ASSERT_LE(GrayValue(v, v, v), 254);
}

TEST(PictureLook, OpacityByStateAndDisabledMode) {
  const EffectTables t;
  PaintInput in;
  in.pictureOpacity = 200;
  in.pictureOpacityOnOver = 100;
  EXPECT_EQ(PictureLookFor(in, 0, t).opacity, 200);
  EXPECT_EQ(PictureLookFor(in, 1, t).opacity, 100);
  EXPECT_EQ(PictureLookFor(in, 1, t).alphaOpacity, 100);
  EXPECT_FALSE(PictureLookFor(in, 0, t).grayscale);
  in.enabled = false;
  EXPECT_EQ(PictureLookFor(in, 0, t).opacity, 52);
  EXPECT_EQ(PictureLookFor(in, 2, t).alphaOpacity, 52);
  // Disabled while hot: the plain renderer keeps the hover opacity, the alpha one does not.
  EXPECT_EQ(PictureLookFor(in, 1, t).opacity, 100);
  EXPECT_EQ(PictureLookFor(in, 1, t).alphaOpacity, 52);
  in.disabledPictureMode = 1;
  for (auto [opacity, expected] : {std::pair{255, 191}, {254, 190}, {10, 8}, {200, 150}}) {
    in.pictureOpacity = opacity;
    const PictureLook look = PictureLookFor(in, 0, t);
    EXPECT_EQ(look.opacity, expected) << opacity;
    EXPECT_TRUE(look.grayscale);
  }
}

TEST(PictureLook, EffectsByState) {
  const EffectTables t;
  PaintInput in;
  in.pictureEffectOnOver = 1;
  in.pictureEffectOnDown = 2;
  EXPECT_EQ(PictureLookFor(in, 0, t).effect, nullptr);
  EXPECT_EQ(PictureLookFor(in, 1, t).effect, &t.light);
  EXPECT_EQ(PictureLookFor(in, 2, t).effect, &t.dark);
  in.pictureEffectOnOver = 3;
  EXPECT_EQ(PictureLookFor(in, 1, t).effect, nullptr);
}

TEST(BlendPicture, OpacityDividesBy256) {
  PixelBlock face = Solid(2, 2, 24, 200, 200, 200);
  const PixelBlock pic = Solid(2, 2, 24, 100, 100, 100);
  PictureLook look;
  look.opacity = 128;
  BlendPicture(face, pic, look, 0xE0E0E0, kNoSilhouette, nullptr);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(Px(face, 1, 1)[k], 149);  // (100*128 + 200*127) div 256
  // 254 never reaches the picture's colour; 255 does.
  face = Solid(1, 1, 24, 0, 0, 0);
  look.opacity = 254;
  BlendPicture(face, Solid(1, 1, 24, 255, 255, 255), look, 0xE0E0E0, kNoSilhouette, nullptr);
  EXPECT_EQ(Px(face)[0], 253);
  look.opacity = 255;
  BlendPicture(face, Solid(1, 1, 24, 255, 255, 255), look, 0xE0E0E0, kNoSilhouette, nullptr);
  EXPECT_EQ(Px(face)[0], 255);
}

TEST(BlendPicture, MaskColourKeysOutExactMatchesOnly) {
  PixelBlock face = Solid(2, 1, 24, 1, 2, 3);
  PixelBlock pic = Solid(2, 1, 24, 0xE0, 0xE0, 0xE0);
  pic.bytes[pic.OffsetFromTop(1, 0)] = 0xE1;  // one step off in blue
  PictureLook look;
  BlendPicture(face, pic, look, 0xE0E0E0, kNoSilhouette, nullptr);
  EXPECT_EQ(Px(face, 0)[0], 1);
  EXPECT_EQ(Px(face, 0)[2], 3);
  EXPECT_EQ(Px(face, 1)[0], 0xE1);
  look.useMaskColor = false;
  BlendPicture(face, pic, look, 0xE0E0E0, kNoSilhouette, nullptr);
  EXPECT_EQ(Px(face, 0)[0], 0xE0);
}

TEST(BlendPicture, EffectsAndGrayscale) {
  const EffectTables t;
  PictureLook look;
  look.effect = &t.light;
  PixelBlock face = Solid(1, 1, 24, 0, 0, 0);
  BlendPicture(face, Solid(1, 1, 24, 200, 200, 200), look, 0xE0E0E0, kNoSilhouette, nullptr);
  EXPECT_EQ(Px(face)[1], 229);
  look.effect = &t.dark;
  BlendPicture(face, Solid(1, 1, 24, 200, 200, 200), look, 0xE0E0E0, kNoSilhouette, nullptr);
  EXPECT_EQ(Px(face)[1], 170);
  // Grey wins over the effect: pure red at 191 over a white face.
  look.grayscale = true;
  look.opacity = 191;
  face = Solid(1, 1, 24, 255, 255, 255);
  BlendPicture(face, Solid(1, 1, 24, 0, 0, 255), look, 0xE0E0E0, kNoSilhouette, nullptr);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(Px(face)[k], (255 * 64 + 76 * 191) / 256);
}

TEST(BlendPicture, SilhouettePaintsItsColourWithTheSameOpacity) {
  PictureLook look;
  PixelBlock face = Solid(2, 1, 24, 10, 10, 10);
  PixelBlock pic = Solid(2, 1, 24, 50, 60, 70);
  pic.bytes[pic.OffsetFromTop(1, 0)] = 0xE0;
  pic.bytes[pic.OffsetFromTop(1, 0) + 1] = 0xE0;
  pic.bytes[pic.OffsetFromTop(1, 0) + 2] = 0xE0;
  BlendPicture(face, pic, look, 0xE0E0E0, Rgb(192, 192, 192), nullptr);
  EXPECT_EQ(Px(face, 0)[0], 192);
  EXPECT_EQ(Px(face, 1)[0], 10);  // keyed-out pixels cast no shadow
  look.opacity = 128;
  face = Solid(1, 1, 24, 0, 0, 0);
  BlendPicture(face, Solid(1, 1, 24, 1, 1, 1), look, 0xE0E0E0, Rgb(0, 0, 200), nullptr);
  EXPECT_EQ(Px(face)[0], 200 * 128 / 256);  // blue channel
  EXPECT_EQ(Px(face)[2], 0);
  look.opacity = 0;
  face = Solid(1, 1, 24, 7, 7, 7);
  BlendPicture(face, Solid(1, 1, 24, 1, 1, 1), look, 0xE0E0E0, Rgb(0, 0, 200), nullptr);
  EXPECT_EQ(Px(face)[0], 7);
}

TEST(BlendAlphaPicture, PixelAlphaScaledByOpacity) {
  PictureLook look;
  PixelBlock face = Solid(1, 1, 32, 0, 0, 0, 0);
  BlendAlphaPicture(face, Solid(1, 1, 32, 200, 200, 200, 128), look, kNoSilhouette);
  EXPECT_EQ(Px(face)[0], 200 * 128 / 256);
  look.alphaOpacity = 128;  // 128 * 128 div 255 = 64
  face = Solid(1, 1, 32, 0, 0, 0, 0);
  BlendAlphaPicture(face, Solid(1, 1, 32, 200, 200, 200, 128), look, kNoSilhouette);
  EXPECT_EQ(Px(face)[0], 200 * 64 / 256);
  // Full alpha, no effect: all four bytes copied.
  look.alphaOpacity = 255;
  face = Solid(1, 1, 32, 9, 9, 9, 9);
  BlendAlphaPicture(face, Solid(1, 1, 32, 1, 2, 3, 255), look, kNoSilhouette);
  EXPECT_EQ(Px(face)[0], 1);
  EXPECT_EQ(Px(face)[2], 3);
  EXPECT_EQ(Px(face)[3], 255);
  // A silhouette at full alpha: colour with a zero fourth byte.
  BlendAlphaPicture(face, Solid(1, 1, 32, 1, 2, 3, 255), look, Rgb(10, 20, 30));
  EXPECT_EQ(Px(face)[0], 30);
  EXPECT_EQ(Px(face)[2], 10);
  EXPECT_EQ(Px(face)[3], 0);
  // Alpha zero leaves the face.
  face = Solid(1, 1, 32, 5, 5, 5, 5);
  BlendAlphaPicture(face, Solid(1, 1, 32, 1, 2, 3, 0), look, Rgb(10, 20, 30));
  EXPECT_EQ(Px(face)[0], 5);
}

TEST(PictureBlock, FifteenPixelRowsArePaddedAndUnskewed) {
  PictureData pic;
  pic.kind = PictureKind::Bitmap;
  pic.width = 15;
  pic.height = 3;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 15; ++x) pic.pixels.push_back(static_cast<std::uint32_t>((x << 16) | (y << 8)));
  const PixelBlock b = PictureBlock(pic, 24, 0);
  EXPECT_EQ(b.Stride(), 48);
  ASSERT_EQ(b.bytes.size(), 144u);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 15; ++x) {
      EXPECT_EQ(Px(b, x, y)[2], x);
      EXPECT_EQ(Px(b, x, y)[1], y);
    }
  // Row 0 of the buffer is the picture's bottom row.
  EXPECT_EQ(b.bytes[1], 2);
}

TEST(PictureBlock, IconTransparencyTakesTheMaskColour) {
  PictureData icon;
  icon.kind = PictureKind::Icon;
  icon.width = 3;
  icon.height = 1;
  icon.hasAlpha = true;
  icon.pixels = {0x00FFFFFFu, 0xFF123456u, 0x80000000u};
  const PixelBlock b = PictureBlock(icon, 24, 0xC0C0C0);
  EXPECT_EQ(Px(b, 0)[0], 0xC0);  // transparent: the mask colour shows
  EXPECT_EQ(Px(b, 1)[0], 0x56);
  EXPECT_EQ(Px(b, 1)[2], 0x12);
  EXPECT_EQ(Px(b, 2)[0], (0xC0 * 127 + 127) / 255);  // half over silver
  // A bitmap keeps its colours whatever its alpha bytes say.
  PictureData bitmap = icon;
  bitmap.kind = PictureKind::Bitmap;
  bitmap.hasAlpha = false;
  EXPECT_EQ(Px(PictureBlock(bitmap, 24, 0xC0C0C0), 0)[0], 0xFF);
  EXPECT_EQ(Px(PictureBlock(bitmap, 32, 0xC0C0C0), 0)[3], 255);
}

TEST(IsAlphaBitmap, OnlyThirtyTwoBitBitmaps) {
  PictureData p;
  p.kind = PictureKind::Bitmap;
  p.bitsPerPixel = 32;
  EXPECT_TRUE(IsAlphaBitmap(p));
  p.bitsPerPixel = 24;
  EXPECT_FALSE(IsAlphaBitmap(p));
  p.kind = PictureKind::Icon;
  p.bitsPerPixel = 32;
  EXPECT_FALSE(IsAlphaBitmap(p));
}

}  // namespace
}  // namespace quillon::render
