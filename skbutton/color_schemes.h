// Starting colours of the button styles in the Blue, Olive and Silver schemes.
#pragma once

#include <cstdint>
#include <optional>

namespace quillon::controls {

// The scheme a newly chosen style starts with (the current one when the style has none).
std::int32_t DefaultSchemeFor(std::int32_t buttonStyle, std::int32_t currentScheme);
// The BackColor (0x00BBGGRR) of a style in a scheme; nothing when BackColor stays as it is.
// buttonFace is the current system button-face colour.
std::optional<std::uint32_t> SchemeBackColor(std::int32_t buttonStyle, std::int32_t scheme,
                                             std::uint32_t buttonFace);
// Whether a style starts with the focus rectangle shown.
bool SchemeShowsFocusRect(std::int32_t buttonStyle);

// Colour channels shifted by 255 x factor (single precision), rounded to nearest with
// ties to even and clamped.
std::uint32_t ShiftChannels(std::uint32_t colour, float factor);
constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return r | (g << 8) | (b << 16); }

}  // namespace quillon::controls
