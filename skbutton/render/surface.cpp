#include "surface.h"

#include <cmath>

#include "paint_input.h"

namespace quillon::render {

FontDesc SymbolFont() {
  FontDesc font;
  font.face = L"Marlett";
  font.height = 14;
  font.charset = 2;  // SYMBOL_CHARSET
  return font;
}

FontDesc ToFontDesc(const container::FontDescription& font, int dpi) {
  FontDesc desc;
  desc.face = font.face;
  const double pixels = font.SizePoints() * dpi / 72.0;
  desc.height = -static_cast<int>(std::floor(pixels + 0.5));
  desc.weight = font.weight;
  desc.italic = font.italic;
  desc.underline = font.underline;
  desc.strikeOut = font.strikethrough;
  desc.charset = static_cast<std::uint8_t>(font.charset);
  return desc;
}

PixelBlock PixelBlock::Make(int width, int height, int bitsPerPixel) {
  PixelBlock block;
  block.width = width > 0 ? width : 0;
  block.height = height > 0 ? height : 0;
  block.bitsPerPixel = bitsPerPixel;
  block.bytes.assign(static_cast<std::size_t>(Stride(block.width, bitsPerPixel)) *
                         static_cast<std::size_t>(block.height),
                     0);
  return block;
}

}  // namespace quillon::render
