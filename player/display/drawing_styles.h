// Fill styles that the drawing methods build from script arguments.
#pragma once

#include <optional>

#include "avm1/object.h"
#include "swf/movie.h"

namespace quillon::player {

// beginGradientFill(type, colors, alphas, ratios, matrix, spread, interpolation, focalRatio):
// the gradient fill it asks for, none when the type or the colour lists are unusable.
std::optional<FillStyle> GradientFillFromArgs(avm1::Call& c);

}  // namespace quillon::player
