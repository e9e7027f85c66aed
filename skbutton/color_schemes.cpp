#include "color_schemes.h"

#include <algorithm>
#include <cmath>

#include "enums.h"

namespace quillon::controls {

std::uint32_t ShiftChannels(std::uint32_t colour, float factor) {
  // The product is formed from the single-precision factor, so 255 x 0.1 lies just above
  // 25.5 and always rounds up.
  const double offset = 255.0 * static_cast<double>(factor);
  std::uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const double channel = static_cast<double>((colour >> shift) & 0xFF);
    double n = std::nearbyint(channel + offset);
    n = factor > 0 ? std::min(n, 255.0) : std::max(n, 0.0);
    out |= static_cast<std::uint32_t>(n) << shift;
  }
  return out;
}

std::int32_t DefaultSchemeFor(std::int32_t buttonStyle, std::int32_t currentScheme) {
  switch (buttonStyle) {
    case ButtonStyle::Classic:
    case ButtonStyle::Flat:
    case ButtonStyle::Rounded:
    case ButtonStyle::Plain:
    case ButtonStyle::SilverToolbar:
    case ButtonStyle::BlueToolbar:
    case ButtonStyle::OrangeGloss:
    case ButtonStyle::SoftGradient:
      return ColorScheme::Blue;
    case ButtonStyle::Glass:
    case ButtonStyle::WhiteGloss:
      return ColorScheme::Silver;
    default:
      return currentScheme;
  }
}

std::optional<std::uint32_t> SchemeBackColor(std::int32_t buttonStyle, std::int32_t scheme,
                                             std::uint32_t buttonFace) {
  // Blue, Olive, Silver per style; Custom and other schemes keep BackColor.
  auto pick = [scheme](std::uint32_t blue, std::uint32_t olive, std::uint32_t silver) -> std::optional<std::uint32_t> {
    switch (scheme) {
      case ColorScheme::Blue: return blue;
      case ColorScheme::Olive: return olive;
      case ColorScheme::Silver: return silver;
      default: return std::nullopt;
    }
  };
  switch (buttonStyle) {
    case ButtonStyle::Rounded:
      return pick(Rgb(236, 235, 231), Rgb(243, 238, 219), Rgb(240, 241, 252));
    case ButtonStyle::Glass:
      return pick(Rgb(224, 236, 253), Rgb(232, 237, 222), ShiftChannels(Rgb(212, 212, 212), 0.06f));
    case ButtonStyle::GoldHover:
      return pick(Rgb(202, 225, 252), Rgb(212, 214, 186), ShiftChannels(Rgb(160, 158, 186), 0.15f));
    case ButtonStyle::OrangeGloss:
    case ButtonStyle::SoftGradient:
      return pick(Rgb(173, 209, 255), Rgb(212, 214, 186), Rgb(224, 223, 227));
    case ButtonStyle::WhiteGloss:
      return pick(Rgb(173, 209, 255), Rgb(212, 214, 186), Rgb(213, 214, 225));
    case ButtonStyle::Classic:
    case ButtonStyle::Flat:
    case ButtonStyle::Plain:
    case ButtonStyle::SilverToolbar:
    case ButtonStyle::BlueToolbar:
    case ButtonStyle::HoverRaised:
    case ButtonStyle::HoverThin:
      return buttonFace;
    default:
      return std::nullopt;
  }
}

bool SchemeShowsFocusRect(std::int32_t buttonStyle) {
  return buttonStyle == ButtonStyle::Classic || buttonStyle == ButtonStyle::Flat ||
         buttonStyle == ButtonStyle::WhiteGloss;
}

}  // namespace quillon::controls
