// The software rasteriser: polygons to per-pixel coverage, and shapes painted into an RGBA frame.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "geometry.h"
#include "render/layer.h"
#include "swf/movie.h"

namespace quillon::player {

enum class Quality { Low, High };  // Low samples pixel centres only; High anti-aliases (4 x 4 samples).

// An opaque frame; pixel (x, y) covers [x, x+1) x [y, y+1) in device space.
struct Canvas {
  int width = 0, height = 0;
  std::vector<Rgba> pixels;
  Canvas() = default;
  Canvas(int w, int h, Rgba fill) : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}
  Rgba& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
  const Rgba& at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
};

// Coverage 0..255 per pixel, the same size as the canvas; used for clip masks.
using MaskBuffer = std::vector<std::uint8_t>;

struct Line {
  Point a, b;
};

enum class FillRule { EvenOdd, NonZero };

// Calls `run(y, x0, x1, coverage)` for each run of pixels [x0, x1) of row y that the polygons
// cover by the same non-zero amount (255 for all of a pixel), rows in order and each row's runs
// left to right; only rows in [rowTop, rowBottom) are visited (each row's coverage is the same
// however many are).
using RunSink = std::function<void(int y, int x0, int x1, std::uint8_t coverage)>;
constexpr int kAllRows = 1 << 30;
void Rasterize(const std::vector<Line>& lines, FillRule rule, Quality quality, int width, int height,
               const RunSink& run, int rowTop = 0, int rowBottom = kAllRows);

// Appends the quadratic curve (or line) from `from` to `to` as straight pieces within a
// tenth of a pixel (points already in device space).
void Flatten(Point from, Point control, Point to, bool curve, std::vector<Point>& out);

struct StrokeStyle {
  double width = 1;  // device pixels
  Cap startCap = Cap::Round, endCap = Cap::Round;
  Join join = Join::Round;
  double miterLimit = 3;
  bool hairline = false;  // a pixel thick across the minor axis, joined round; `width` unused
};
// Outlines a polyline as positively wound polygons to fill with the non-zero rule.
// `smooth[i]` marks vertices inside a flattened curve, joined without a visible corner.
void StrokePolyline(const std::vector<Point>& pts, const std::vector<bool>& smooth, bool closed,
                    const StrokeStyle& style, std::vector<Line>& out);

using BitmapLookup = std::function<const BitmapDef*(std::uint16_t)>;

class LayerCache;

struct DrawContext {
  Canvas* canvas = nullptr;
  Layer* layer = nullptr;             // when set, drawing goes here (at its own pixel grid) instead
  MaskBuffer* maskOut = nullptr;      // when set, coverage goes here instead of colour
  const MaskBuffer* clip = nullptr;   // when set, multiplies coverage
  Quality quality = Quality::High;
  BitmapLookup bitmaps;
  std::size_t maskLayers = 0;          // mask buffers held by the enclosing display lists
  double scale = 1;                    // device pixels per stage pixel: filter sizes follow it
  // The rows of the target this drawing may touch (a band of the frame drawn by one thread).
  int rowTop = 0, rowBottom = kAllRows;
  LayerCache* shared = nullptr;  // when bands draw the frame: the layers they all draw whole
  // The pixel grid drawn on: the layer's when there is one, else the canvas's.
  int width() const { return layer ? layer->width : canvas ? canvas->width : 0; }
  int height() const { return layer ? layer->height : canvas ? canvas->height : 0; }
};

// Draws a shape's fills and strokes through `toDevice` (twips to device pixels).
void DrawShape(const DrawContext& ctx, const ShapeGeometry& shape, const Matrix& toDevice,
               const ColorTransform& cx);

// The colour a gradient takes at position t along it (spread already applied).
Rgba GradientColorAt(const Gradient& g, double t);

}  // namespace quillon::player
