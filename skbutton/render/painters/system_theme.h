// The SystemTheme style: the platform's themed push button, with the caption and picture drawn
// on top. Redraw only calls it while visual styles are on; otherwise the button becomes a
// Rounded button for good.
#pragma once

#include "redraw.h"

namespace quillon::render {

// Theme states of the push-button part.
inline constexpr int kPbsNormal = 1;
inline constexpr int kPbsHot = 2;
inline constexpr int kPbsPressed = 3;
inline constexpr int kPbsDisabled = 4;
inline constexpr int kPbsDefaulted = 5;

// The theme state drawn for a button in `state`: disabled wins, then the state, and a focused or
// default button at rest in an active window is drawn as the defaulted button.
int SystemThemeState(const PaintInput& in, int state);

void PaintSystemTheme(PaintContext& c, int state);

}  // namespace quillon::render
