#include "picture.h"

namespace quillon::render {

namespace {

constexpr int kFadedOpacity = 52;

std::uint8_t Byte(int v) { return static_cast<std::uint8_t>(v); }

}  // namespace

int GrayValue(int red, int green, int blue) {
  return RoundHalfEven(0.59 * green + RoundHalfEven(0.3 * red) + 0.11 * blue);
}

bool IsAlphaBitmap(const PictureData& picture) {
  return picture.kind == PictureKind::Bitmap && picture.bitsPerPixel == 32;
}

PictureLook PictureLookFor(const PaintInput& in, int state, const EffectTables& tables) {
  PictureLook look;
  const int effect = state == 1 ? in.pictureEffectOnOver : state == 2 ? in.pictureEffectOnDown : 0;
  if (effect == 1) look.effect = &tables.light;
  if (effect == 2) look.effect = &tables.dark;
  look.useMaskColor = in.useMaskColor;

  int disabledOpacity = kFadedOpacity;
  if (!in.enabled && in.disabledPictureMode == 1) {
    disabledOpacity = RoundHalfEven(in.pictureOpacity * 0.75);
    look.grayscale = true;
  }
  if (state == 1) {
    look.opacity = in.pictureOpacityOnOver;
    look.alphaOpacity = in.enabled ? in.pictureOpacityOnOver : disabledOpacity;
  } else if (in.enabled) {
    look.opacity = in.pictureOpacity;
    look.alphaOpacity = in.pictureOpacity;
  } else {
    look.opacity = disabledOpacity;
    look.alphaOpacity = disabledOpacity;
  }
  return look;
}

PixelBlock PictureBlock(const PictureData& picture, int bitsPerPixel, Colour maskColour) {
  PixelBlock block = PixelBlock::Make(picture.width, picture.height, bitsPerPixel);
  const std::size_t count =
      static_cast<std::size_t>(block.width) * static_cast<std::size_t>(block.height);
  const bool havePixels = picture.pixels.size() >= count;
  // An icon is drawn over a fill of the mask colour first (its alpha decides what shows).
  const bool overMask = picture.kind != PictureKind::Bitmap;
  const int bgR = RedOf(maskColour), bgG = GreenOf(maskColour), bgB = BlueOf(maskColour);
  const int bytes = bitsPerPixel / 8;

  for (int row = 0; row < block.height; ++row) {
    for (int x = 0; x < block.width; ++x) {
      const std::size_t i = static_cast<std::size_t>(row) * static_cast<std::size_t>(block.width) +
                            static_cast<std::size_t>(x);
      const std::uint32_t p = havePixels ? picture.pixels[i] : 0;
      int r = static_cast<int>((p >> 16) & 0xFF), g = static_cast<int>((p >> 8) & 0xFF),
          b = static_cast<int>(p & 0xFF), a = static_cast<int>(p >> 24);
      if (!picture.hasAlpha) a = 255;
      if (overMask) {
        r = (r * a + bgR * (255 - a) + 127) / 255;
        g = (g * a + bgG * (255 - a) + 127) / 255;
        b = (b * a + bgB * (255 - a) + 127) / 255;
        a = 255;
      }
      std::uint8_t* out = block.bytes.data() + block.OffsetFromTop(x, row);
      out[0] = Byte(b);
      out[1] = Byte(g);
      out[2] = Byte(r);
      if (bytes == 4) out[3] = Byte(a);
    }
  }
  return block;
}

void BlendPicture(PixelBlock& face, const PixelBlock& picture, const PictureLook& look,
                  Colour maskColour, Colour silhouette, Surface* nearest) {
  const int alpha = look.opacity;
  const int beta = 255 - alpha;
  const bool silhouetted = silhouette != kNoSilhouette;
  const int sr = RedOf(silhouette), sg = GreenOf(silhouette), sb = BlueOf(silhouette);
  for (int row = 0; row < face.height; ++row) {
    for (int x = 0; x < face.width; ++x) {
      const std::size_t at = face.OffsetFromTop(x, row);
      std::uint8_t* f = face.bytes.data() + at;
      const std::uint8_t* p = picture.bytes.data() + at;
      if (look.useMaskColor) {
        Colour c = Rgb(p[2], p[1], p[0]);
        if (nearest) c = nearest->NearestColour(c);
        if (c == maskColour) continue;
      }
      if (alpha <= 0) continue;
      int out[3];
      if (silhouetted) {
        const int s[3] = {sb, sg, sr};
        for (int k = 0; k < 3; ++k) out[k] = alpha >= 255 ? s[k] : (s[k] * alpha + f[k] * beta) / 256;
      } else if (look.grayscale) {
        const int y = GrayValue(p[2], p[1], p[0]);
        for (int k = 0; k < 3; ++k) out[k] = alpha >= 255 ? y : (f[k] * beta + y * alpha) / 256;
      } else {
        for (int k = 0; k < 3; ++k) {
          const int t = look.effect ? (*look.effect)[p[k]] : p[k];
          out[k] = alpha >= 255 ? t : (t * alpha + f[k] * beta) / 256;
        }
      }
      for (int k = 0; k < 3; ++k) f[k] = Byte(out[k]);
    }
  }
}

void BlendAlphaPicture(PixelBlock& face, const PixelBlock& picture, const PictureLook& look,
                       Colour silhouette) {
  const bool silhouetted = silhouette != kNoSilhouette;
  const int s[3] = {BlueOf(silhouette), GreenOf(silhouette), RedOf(silhouette)};
  for (int row = 0; row < face.height; ++row) {
    for (int x = 0; x < face.width; ++x) {
      const std::size_t at = face.OffsetFromTop(x, row);
      std::uint8_t* f = face.bytes.data() + at;
      const std::uint8_t* p = picture.bytes.data() + at;
      const int alpha = p[3] * look.alphaOpacity / 255;
      if (alpha <= 0) continue;
      const int beta = 255 - alpha;
      if (silhouetted) {
        if (alpha >= 255) {
          for (int k = 0; k < 3; ++k) f[k] = Byte(s[k]);
          f[3] = 0;
        } else {
          for (int k = 0; k < 3; ++k) f[k] = Byte((s[k] * alpha + f[k] * beta) / 256);
        }
      } else if (look.grayscale) {
        const int y = GrayValue(p[2], p[1], p[0]);
        for (int k = 0; k < 3; ++k) f[k] = Byte(alpha >= 255 ? y : (f[k] * beta + y * alpha) / 256);
      } else if (alpha >= 255 && !look.effect) {
        for (int k = 0; k < 4; ++k) f[k] = p[k];
      } else {
        for (int k = 0; k < 3; ++k) {
          const int t = look.effect ? (*look.effect)[p[k]] : p[k];
          f[k] = Byte(alpha >= 255 ? t : (t * alpha + f[k] * beta) / 256);
        }
      }
    }
  }
}

void RenderPicture(Surface& surface, int x, int y, const PictureData& picture, Colour maskColour,
                   Colour silhouette, const PictureLook& look) {
  if (PictureEmpty(&picture)) return;
  PixelBlock face = surface.ReadPixels(x, y, picture.width, picture.height, 24);
  const PixelBlock pixels = PictureBlock(picture, 24, maskColour);
  BlendPicture(face, pixels, look, maskColour, silhouette, surface.IsTrueColour() ? nullptr : &surface);
  surface.WritePixels(x, y, face);
}

void RenderAlphaPicture(Surface& surface, int x, int y, const PictureData& picture,
                        Colour silhouette, const PictureLook& look) {
  if (PictureEmpty(&picture)) return;
  PixelBlock face = surface.ReadPixels(x, y, picture.width, picture.height, 32);
  const PixelBlock pixels = PictureBlock(picture, 32, 0);
  BlendAlphaPicture(face, pixels, look, silhouette);
  surface.WritePixels(x, y, face);
}

void DrawPicture(Surface& surface, const Rect& rect, const PictureData* picture,
                 const PaintInput& in, const PictureLook& look, Colour silhouette,
                 const SystemColours& system) {
  if (PictureEmpty(picture)) return;
  const Colour mask = picture->kind == PictureKind::Icon ? TranslateColour(0xC0C0C0, system) : in.maskColor;
  if (IsAlphaBitmap(*picture)) {
    RenderAlphaPicture(surface, rect.left, rect.top, *picture, silhouette, look);
  } else {
    RenderPicture(surface, rect.left, rect.top, *picture, mask, silhouette, look);
  }
}

}  // namespace quillon::render
