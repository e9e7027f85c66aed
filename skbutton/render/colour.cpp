#include "colour.h"

#include <algorithm>
#include <cmath>

namespace quillon::render {

FixedSystemColours::FixedSystemColours() {
  // Stand-in values of a common desktop scheme; tests overwrite what they depend on.
  values_[5] = Rgb(255, 255, 255);                // window
  values_[12] = Rgb(171, 171, 171);               // application workspace
  values_[13] = Rgb(51, 153, 255);                // highlight
  values_[14] = Rgb(255, 255, 255);               // highlight text
  values_[kColorBtnFace] = Rgb(240, 240, 240);
  values_[16] = Rgb(160, 160, 160);               // button shadow
  values_[kColorGrayText] = Rgb(109, 109, 109);
  values_[kColorBtnText] = Rgb(0, 0, 0);
  values_[20] = Rgb(255, 255, 255);               // button highlight
  values_[21] = Rgb(105, 105, 105);               // 3D dark shadow
  values_[22] = Rgb(227, 227, 227);               // 3D light
}

Colour FixedSystemColours::Get(int index) const {
  if (index < 0 || index > kLastSystemColour) return 0;
  return values_[static_cast<std::size_t>(index)];
}

void FixedSystemColours::Set(int index, Colour value) {
  if (index >= 0 && index <= kLastSystemColour) values_[static_cast<std::size_t>(index)] = value;
}

Colour TranslateColour(OleColour colour, const SystemColours& system) {
  switch (colour >> 24) {
    case 0x00:  // explicit RGB
    case 0x01:  // palette index: GDI resolves it against the selected palette
      return colour;
    case 0x02:  // palette-relative RGB
      return colour & 0x00FFFFFFu;
    case 0x80: {
      // Only the low 16 bits name the index; anything above COLOR_MENUBAR is invalid.
      const OleColour index = colour & 0x00FFFFFFu;
      if (index > static_cast<OleColour>(kLastSystemColour)) return kBadColour;
      return system.Get(static_cast<int>(index)) & 0x00FFFFFFu;
    }
    default:
      return kBadColour;
  }
}

Colour MixColours(Colour a, Colour b) {
  const auto half = [](int x, int y) { return RoundHalfEven((x + y) / 2.0); };
  return Rgb(half(RedOf(a), RedOf(b)), half(GreenOf(a), GreenOf(b)), half(BlueOf(a), BlueOf(b)));
}

Colour ShiftColour(Colour colour, float factor) {
  const double offset = 255.0 * static_cast<double>(factor);
  const auto shift = [&](int channel) {
    const int n = RoundHalfEven(channel + offset);
    return factor > 0.0f ? std::min(n, 255) : std::max(n, 0);
  };
  return Rgb(shift(RedOf(colour)), shift(GreenOf(colour)), shift(BlueOf(colour)));
}

EffectTables::EffectTables() {
  for (int v = 0; v < 256; ++v) {
    light[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(std::min(255, v * 293 / 255));
    dark[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(v * 217 / 255);
  }
}

}  // namespace quillon::render
