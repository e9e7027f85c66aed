// Fill and line styles that the drawing methods build from script arguments.
#pragma once

#include <optional>

#include "avm1/object.h"
#include "swf/movie.h"

namespace quillon::player {

// beginGradientFill(type, colors, alphas, ratios, matrix, spread, interpolation, focalRatio):
// the gradient fill it asks for, none when the type or the colour lists are unusable.
std::optional<FillStyle> GradientFillFromArgs(avm1::Call& c);

// lineStyle's arguments after the colour and alpha: pixel hinting, scale mode ("normal",
// "none", "vertical", "horizontal"), caps ("round", "square", "none"), joints ("round",
// "bevel", "miter") and the miter limit.
void ApplyLineOptions(avm1::Call& c, LineStyle& line);

}  // namespace quillon::player
