// Script bitmaps on the stage: MovieClip.attachBitmap puts a BitmapData's pixels on one of a
// clip's depths, where they show as they stand at each frame drawn.
#pragma once

#include "avm1/machine.h"
#include "render/raster.h"

namespace quillon::player {

class Player;

// attachBitmap on the MovieClip prototype, and loadBitmap's view of the movie's exports.
void InstallBitmapDisplay(avm1::Machine& vm, Player& player);

// Draws a bitmap with its top left corner at the origin, one pixel a stage pixel (20 twips).
void DrawBitmap(const DrawContext& ctx, const BitmapDef& bitmap, const Matrix& world, const ColorTransform& color);

}  // namespace quillon::player
