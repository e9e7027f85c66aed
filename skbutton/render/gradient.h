// Linear gradients of the button faces: a table of colours, one per step, expanded into a
// bottom-up 32-bit block and copied to the surface in one transfer.
#pragma once

#include <cstdint>
#include <vector>

#include "colour.h"
#include "surface.h"

namespace quillon::render {

enum class GradientDirection : int {
  LeftToRight = 0,
  TopToBottom = 1,
  TopLeftToBottomRight = 2,
  BottomLeftToTopRight = 3,
};

// Steps 0 .. n of the gradient, packed in buffer order (red << 16 | green << 8 | blue).
// n > 0: from + (i * (to - from)) div n per channel, truncating toward zero.
// n = 0: the single step is (to div 2) + (from div 2) per channel.
std::vector<std::uint32_t> GradientSteps(Colour from, Colour to, int n);

// The gradient of a width x height rectangle as a 32-bit block, rows bottom-up. A direction
// outside 0..3 leaves every pixel zero (black), which no caller asks for.
PixelBlock GradientBlock(int width, int height, Colour from, Colour to, int direction);

// Paints the gradient at (x, y); nothing for a width or height of zero or less.
void GradientFill(Surface& surface, int x, int y, int width, int height, Colour from, Colour to,
                  int direction);

}  // namespace quillon::render
