// Pictures on the face: every pixel is combined with the face already painted beneath it
// (opacity, mask colour, brighten/darken effects, grey and faded disabled looks, silhouettes).
// Portable: the face comes and goes through the surface's block transfers.
#pragma once

#include <cstdint>

#include "colour.h"
#include "paint_input.h"
#include "surface.h"

namespace quillon::render {

// Draw the picture itself rather than a one-colour silhouette.
inline constexpr Colour kNoSilhouette = kBadColour;

// How the picture looks in this redraw, derived from the properties and the state.
struct PictureLook {
  const std::array<std::uint8_t, 256>* effect = nullptr;  // LightTable, DarkTable or none
  bool grayscale = false;
  int opacity = 255;       // RenderPicture's alpha for every pixel
  int alphaOpacity = 255;  // RenderAlphaPicture scales each pixel's alpha by this
  bool useMaskColor = true;
};
PictureLook PictureLookFor(const PaintInput& in, int state, const EffectTables& tables);

// round(0.59 G + round(0.3 R) + 0.11 B), both ties to even, the inner one first.
int GrayValue(int red, int green, int blue);

// A 32-bit bitmap keeps its own alpha and takes the alpha renderer.
bool IsAlphaBitmap(const PictureData& picture);

// The picture's pixels as a bottom-up block of the given depth. An icon is first drawn over a
// background of the mask colour, as DrawIconEx onto a bitmap filled with it would.
PixelBlock PictureBlock(const PictureData& picture, int bitsPerPixel, Colour maskColour);

// Combines picture and face blocks of the same size in place (face receives the result).
void BlendPicture(PixelBlock& face, const PixelBlock& picture, const PictureLook& look,
                  Colour maskColour, Colour silhouette, Surface* nearest);
void BlendAlphaPicture(PixelBlock& face, const PixelBlock& picture, const PictureLook& look,
                       Colour silhouette);

// Draw `picture` with its top-left corner at (x, y) at its own size.
void RenderPicture(Surface& surface, int x, int y, const PictureData& picture, Colour maskColour,
                   Colour silhouette, const PictureLook& look);
void RenderAlphaPicture(Surface& surface, int x, int y, const PictureData& picture,
                        Colour silhouette, const PictureLook& look);

// DrawPicture: chooses the mask colour (silver for an icon, MaskColor as stored otherwise) and
// the renderer. Only the rectangle's top-left corner is used.
void DrawPicture(Surface& surface, const Rect& rect, const PictureData* picture,
                 const PaintInput& in, const PictureLook& look, Colour silhouette,
                 const SystemColours& system);

}  // namespace quillon::render
