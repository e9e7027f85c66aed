// Colour values of the button control and the arithmetic the painters derive their shades with.
// Portable: no window system. System colours come in through SystemColours so that the
// translation can be exercised without a display.
#pragma once

#include <array>
#include <cstdint>

#include "../../support/rounding.h"

namespace quillon::render {

// An OLE colour: 0x00BBGGRR, or a system-colour index when the top bit is set.
using OleColour = std::uint32_t;
// An explicit colour, 0x00BBGGRR (red in the low byte), as GDI takes it.
using Colour = std::uint32_t;

// TranslateColour's answer when a colour cannot be translated; drawn unchanged by the callers.
inline constexpr Colour kBadColour = 0xFFFFFFFFu;

constexpr Colour Rgb(int r, int g, int b) {
  return static_cast<Colour>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RedOf(Colour c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }

// OLE colour naming a system colour (COLOR_* index).
constexpr OleColour SystemColour(int index) { return 0x80000000u | static_cast<OleColour>(index & 0xFF); }

// Indices of the system colours the control reads.
inline constexpr int kColorAppWorkspace = 12;
inline constexpr int kColorBtnFace = 15;
inline constexpr int kColorGrayText = 17;
inline constexpr int kColorBtnText = 18;
// Highest valid system colour index (COLOR_MENUBAR).
inline constexpr int kLastSystemColour = 30;

// Current values of the system colours (GetSysColor on Windows, a fixed table in tests).
class SystemColours {
 public:
  virtual ~SystemColours() = default;
  virtual Colour Get(int index) const = 0;
};

// A fixed table of system colours, filled with the classic scheme unless told otherwise.
class FixedSystemColours final : public SystemColours {
 public:
  FixedSystemColours();
  Colour Get(int index) const override;
  void Set(int index, Colour value);

 private:
  std::array<Colour, kLastSystemColour + 1> values_{};
};

using quillon::RoundHalfEven;

// OLE colour -> explicit colour (OleTranslateColor with the default palette). A system colour
// becomes its current value; an invalid one gives kBadColour.
Colour TranslateColour(OleColour colour, const SystemColours& system);

// Per channel half-sum, ties to even.
Colour MixColours(Colour a, Colour b);

// Per channel channel + 255 * f, ties to even, clamped to 255 for f > 0 and to 0 otherwise.
// The factor is single precision on purpose: it keeps 255 * 0.1 just above 25.5.
Colour ShiftColour(Colour colour, float factor);

// The brighten and darken tables of the picture effects, built once per control instance.
struct EffectTables {
  EffectTables();
  std::array<std::uint8_t, 256> light{};  // min(255, v * 293 div 255)
  std::array<std::uint8_t, 256> dark{};   // v * 217 div 255
};

}  // namespace quillon::render
