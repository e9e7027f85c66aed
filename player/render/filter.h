// Filters as a movie stores them (PlaceObject3's filter list) or a script sets them: the
// parameters only. Applying them to a layer is render/filters.h's business; see layer.h for
// where that pass runs.
#pragma once

#include <cstdint>
#include <variant>
#include <vector>

#include "geometry.h"

namespace quillon::player {

// Blur sizes and distances are in stage pixels (the movie's 16.16 values), angles in radians,
// strengths as multipliers (the 8.8 values).
struct DropShadowFilter {
  Rgba color{0, 0, 0, 255};
  double blurX = 4, blurY = 4;
  double angle = 0.785398163397448;
  double distance = 4;
  double strength = 1;
  bool inner = false, knockout = false, compositeSource = true;
  int passes = 1;
  bool operator==(const DropShadowFilter&) const = default;
};

struct BlurFilter {
  double blurX = 4, blurY = 4;
  int passes = 1;
  bool operator==(const BlurFilter&) const = default;
};

struct GlowFilter {
  Rgba color{255, 0, 0, 255};
  double blurX = 6, blurY = 6;
  double strength = 2;
  bool inner = false, knockout = false, compositeSource = true;
  int passes = 1;
  bool operator==(const GlowFilter&) const = default;
};

// The colours in the order the tag stores them: the first is the highlight's (drawn on the side
// facing the light, opposite `angle`), the second the shadow's, whatever the format notes say.
struct BevelFilter {
  Rgba highlight{255, 255, 255, 255};
  Rgba shadow{0, 0, 0, 255};
  double blurX = 4, blurY = 4;
  double angle = 0.785398163397448;
  double distance = 4;
  double strength = 1;
  bool inner = true, knockout = false, compositeSource = true, onTop = false;
  int passes = 1;
  bool operator==(const BevelFilter&) const = default;
};

struct GradientFilterStop {
  Rgba color;
  std::uint8_t ratio = 0;
  bool operator==(const GradientFilterStop&) const = default;
};

// Gradient glow and gradient bevel share one layout.
struct GradientFilter {
  bool bevel = false;  // gradient bevel; otherwise gradient glow
  std::vector<GradientFilterStop> stops;
  double blurX = 4, blurY = 4;
  double angle = 0.785398163397448;
  double distance = 4;
  double strength = 1;
  bool inner = false, knockout = false, compositeSource = true, onTop = false;
  int passes = 1;
  bool operator==(const GradientFilter&) const = default;
};

struct ConvolutionFilter {
  int columns = 0, rows = 0;
  std::vector<float> matrix;  // rows * columns, row by row
  float divisor = 1, bias = 0;
  Rgba defaultColor{0, 0, 0, 0};
  bool clamp = true, preserveAlpha = true;
  bool operator==(const ConvolutionFilter&) const = default;
};

// Four rows of five: r' = m[0] r + m[1] g + m[2] b + m[3] a + m[4], and so on (straight
// colour, offsets in 0..255 units).
struct ColorMatrixFilter {
  float matrix[20] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
  bool operator==(const ColorMatrixFilter&) const = default;
};

using Filter = std::variant<DropShadowFilter, BlurFilter, GlowFilter, BevelFilter, GradientFilter,
                            ConvolutionFilter, ColorMatrixFilter>;

}  // namespace quillon::player
