#include "gradient.h"


namespace quillon::render {

std::vector<std::uint32_t> GradientSteps(Colour from, Colour to, int n) {
  from &= 0x00FFFFFFu;
  to &= 0x00FFFFFFu;
  const int fr = RedOf(from), fg = GreenOf(from), fb = BlueOf(from);
  const int tr = RedOf(to), tg = GreenOf(to), tb = BlueOf(to);
  const auto pack = [](int r, int g, int b) {
    return static_cast<std::uint32_t>((r << 16) | (g << 8) | b);
  };
  if (n <= 0) return {pack(tr / 2 + fr / 2, tg / 2 + fg / 2, tb / 2 + fb / 2)};
  const int dr = tr - fr, dg = tg - fg, db = tb - fb;
  std::vector<std::uint32_t> steps(static_cast<std::size_t>(n) + 1);
  for (int i = 0; i <= n; ++i) {
    steps[static_cast<std::size_t>(i)] = pack(fr + i * dr / n, fg + i * dg / n, fb + i * db / n);
  }
  return steps;
}

PixelBlock GradientBlock(int width, int height, Colour from, Colour to, int direction) {
  PixelBlock block = PixelBlock::Make(width, height, 32);
  if (width <= 0 || height <= 0) return block;
  int n = width + height - 2;
  if (direction == 0) n = width - 1;
  if (direction == 1) n = height - 1;
  const std::vector<std::uint32_t> steps = GradientSteps(from, to, n);
  auto* out = reinterpret_cast<unsigned char*>(block.bytes.data());
  for (int r = 0; r < height; ++r) {
    // Buffer row 0 is the bottom row of the rectangle.
    unsigned char* row = out + static_cast<std::size_t>(height - 1 - r) * static_cast<std::size_t>(width) * 4;
    for (int c = 0; c < width; ++c) {
      int step = -1;
      switch (direction) {
        case 0: step = c; break;
        case 1: step = r; break;
        case 2: step = c + r; break;
        case 3: step = c + (height - 1 - r); break;
        default: break;
      }
      if (step < 0) continue;
      const std::uint32_t value = steps[static_cast<std::size_t>(step)];
      // Little-endian bytes blue, green, red, zero whatever the host order.
      row[c * 4 + 0] = static_cast<unsigned char>(value & 0xFF);
      row[c * 4 + 1] = static_cast<unsigned char>((value >> 8) & 0xFF);
      row[c * 4 + 2] = static_cast<unsigned char>((value >> 16) & 0xFF);
      row[c * 4 + 3] = 0;
    }
  }
  return block;
}

void GradientFill(Surface& surface, int x, int y, int width, int height, Colour from, Colour to,
                  int direction) {
  if (width <= 0 || height <= 0) return;
  surface.WritePixels(x, y, GradientBlock(width, height, from, to, direction));
}

}  // namespace quillon::render
