// Shapes drawn through DrawShape: focal gradients and hairline strokes, with expected pixels
// worked out from the geometry.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "render/raster.h"

namespace quillon::player {
namespace {

// A closed path of straight edges through `pts` (twips) with the given styles.
Path Polygon(const std::vector<Point>& pts, std::size_t fill, std::size_t line, bool close = true) {
  Path p;
  p.fill1 = fill;
  p.line = line;
  const std::size_t n = close ? pts.size() : pts.size() - 1;
  for (std::size_t i = 0; i < n; ++i) {
    Edge e;
    e.from = pts[i];
    e.to = pts[(i + 1) % pts.size()];
    e.control = {(e.from.x + e.to.x) / 2, (e.from.y + e.to.y) / 2};
    p.edges.push_back(e);
  }
  return p;
}

Canvas Draw(const ShapeGeometry& shape, int w, int h, Quality q, const Matrix& toDevice = Matrix::Scale(1.0 / 20)) {
  Canvas c(w, h, {255, 255, 255, 255});
  DrawContext ctx;
  ctx.canvas = &c;
  ctx.quality = q;
  DrawShape(ctx, shape, toDevice, ColorTransform{});
  return c;
}

// A 110 x 101 pixel box filled with a black-to-white focal gradient whose circle has a 50-pixel
// radius around the pixel centre (50.5, 50.5).
ShapeGeometry FocalBox(double focal) {
  ShapeGeometry g;
  FillStyle f;
  f.kind = FillKind::Focal;
  const double k = 50.0 * 20 / 16384;  // gradient units to twips
  f.matrix = {k, 0, 0, k, 50.5 * 20, 50.5 * 20};
  f.gradient.stops = {{0, {0, 0, 0, 255}}, {1, {255, 255, 255, 255}}};
  f.gradient.focal = focal;
  g.fills.push_back(f);
  g.groups.emplace_back();
  g.groups.back().paths.push_back(Polygon({{0, 0}, {2200, 0}, {2200, 2020}, {0, 2020}}, 1, 0));
  return g;
}

TEST(FocalGradient, ColourGoesFromTheFocusToTheCircleAlongEachRay) {
  // Focus half way to the right edge: at x 75.5. Its pixel is the first stop.
  const Canvas c = Draw(FocalBox(0.5), 110, 101, Quality::Low);
  EXPECT_LE(c.at(75, 50).r, 1);
  // 13 pixels right of the focus, of the 25 to the circle: t = 0.52, 132.6 of 255.
  EXPECT_NEAR(c.at(88, 50).r, 133, 2);
  // 25 pixels left of it, of the 75 to the circle on that side: t = 1/3, 85.
  EXPECT_NEAR(c.at(50, 50).r, 85, 2);
  // (50.5, 0.5) lies on the circle straight above its centre: the ray from the focus ends there.
  EXPECT_GE(c.at(50, 0).r, 253);
  EXPECT_EQ(c.at(105, 50).r, 255) << "padded beyond the circle";
}

TEST(FocalGradient, TheFocusStaysInsideTheCircle) {
  // A focus on the circle itself is drawn at 0.98 of the radius, at x 99.5: the pixel at 100.5
  // lies on the circle (t = 1), where a focus left on the circle would make it the first stop.
  const Canvas c = Draw(FocalBox(1.0), 110, 101, Quality::Low);
  EXPECT_LE(c.at(99, 50).r, 1);
  EXPECT_GE(c.at(100, 50).r, 253);
  // Left of the focus at the centre: 49 of the 99 pixels to the circle, t = 0.495, 126.
  EXPECT_NEAR(c.at(50, 50).r, 126, 2);
}

// Black to white across a 67 x 41 box: linear from the left edge to the right, radial out to
// 30 pixels from (33.5, 20.5). Every pixel of every row, odd ones at a row's end included, has
// the grey of its own position.
TEST(Gradient, EachPixelTakesTheColourOfItsOwnPosition) {
  for (const FillKind kind : {FillKind::Linear, FillKind::Radial}) {
    ShapeGeometry g;
    FillStyle f;
    f.kind = kind;
    const double k = (kind == FillKind::Linear ? 67.0 / 2 : 30.0) * 20 / 16384;
    f.matrix = {k, 0, 0, k, 33.5 * 20, 20.5 * 20};
    f.gradient.stops = {{0, {0, 0, 0, 255}}, {1, {255, 255, 255, 255}}};
    g.fills.push_back(f);
    g.groups.emplace_back();
    g.groups.back().paths.push_back(Polygon({{0, 0}, {1340, 0}, {1340, 820}, {0, 820}}, 1, 0));
    const Canvas c = Draw(g, 67, 41, Quality::Low);
    int off = 0;
    for (int y = 0; y < 41; ++y)
      for (int x = 0; x < 67; ++x) {
        const double px = x + 0.5, py = y + 0.5;
        const double t = kind == FillKind::Linear ? px / 67 : std::min(1.0, std::hypot(px - 33.5, py - 20.5) / 30);
        off += std::abs(c.at(x, y).r - 255 * t) > 1.01;
      }
    EXPECT_EQ(off, 0) << (kind == FillKind::Linear ? "linear" : "radial");
  }
}

// A diagonal stroke from (10, 10) to (90, 90) pixels with the given line style.
ShapeGeometry Diagonal(const LineStyle& ls) {
  ShapeGeometry g;
  g.lines.push_back(ls);
  g.groups.emplace_back();
  g.groups.back().paths.push_back(Polygon({{200, 200}, {1800, 1800}}, 0, 1, false));
  return g;
}

// The samples a row's pixels hold, from how dark they are (black on white, 64 per sample).
int RowSamples(const Canvas& c, int y) {
  int darkness = 0;
  for (int x = 0; x < c.width; ++x) darkness += 255 - c.at(x, y).r;
  return (darkness + 32) / 64;
}

TEST(Hairline, AnUnscaledPixelLineIsOnePixelAcrossItsMinorAxis) {
  LineStyle ls;
  ls.width = 20;
  ls.color = {0, 0, 0, 255};
  ls.noHScale = ls.noVScale = true;
  // In a clip scaled 4 times the unscaled line stays a pixel wide, drawn as a hairline: at 45
  // degrees each quarter row of a pixel row meets one sample, the samples being a pixel apart.
  const Canvas c = Draw(Diagonal(ls), 400, 400, Quality::High, Matrix::Scale(4.0 / 20));
  for (int y = 150; y < 250; y += 13) EXPECT_EQ(RowSamples(c, y), 4) << "row " << y;
  // A scaling line a pixel wide keeps its width on the normal: sqrt 2 pixels across a row,
  // 5 or 6 samples of the row's quarter rows.
  ls.noHScale = ls.noVScale = false;
  const Canvas wide = Draw(Diagonal(ls), 100, 100, Quality::High);
  for (int y = 30; y < 70; y += 7) {
    EXPECT_GE(RowSamples(wide, y), 5) << "row " << y;
    EXPECT_LE(RowSamples(wide, y), 6) << "row " << y;
  }
}

TEST(Hairline, LinesThinnerThanAPixelAreHairlinesWhateverTheirScaleMode) {
  LineStyle ls;
  ls.width = 5;  // a quarter pixel
  ls.color = {0, 0, 0, 255};
  const Canvas c = Draw(Diagonal(ls), 100, 100, Quality::High);
  for (int y = 30; y < 70; y += 7) EXPECT_EQ(RowSamples(c, y), 4) << "row " << y;
  // Upright, a hairline covers one whole pixel column when centred on it.
  ShapeGeometry g;
  g.lines.push_back(ls);
  g.groups.emplace_back();
  g.groups.back().paths.push_back(Polygon({{410, 200}, {410, 1800}}, 0, 1, false));
  const Canvas up = Draw(g, 100, 100, Quality::High);
  EXPECT_EQ(up.at(20, 50).r, 0);
  EXPECT_EQ(up.at(19, 50).r, 255);
  EXPECT_EQ(up.at(21, 50).r, 255);
}

// A box from (100, 100) to (300, 300) twips with a 20-twip stroke, scaled 2 across and 4 down:
// its sides run from x 10 to 30 and y 20 to 60 pixels, the upright ones 2 pixels thick and the
// level ones 4, as the stroke is stretched with the box. Turned a quarter, the thicknesses turn.
TEST(Stroke, AStrokeScaledMoreOneWayIsThickerAcrossThatWay) {
  LineStyle ls;
  ls.width = 20;
  ls.color = {0, 0, 0, 255};
  ShapeGeometry g;
  g.lines.push_back(ls);
  g.groups.emplace_back();
  g.groups.back().paths.push_back(Polygon({{100, 100}, {300, 100}, {300, 300}, {100, 300}}, 0, 1));
  auto black = [](const Canvas& c, int x, int y) { return c.at(x, y).r == 0; };
  const Canvas c = Draw(g, 80, 80, Quality::Low, Matrix{2.0 / 20, 0, 0, 4.0 / 20, 0, 0});
  EXPECT_TRUE(black(c, 10, 40) && black(c, 9, 40));  // the left side: x 9 to 11
  EXPECT_FALSE(black(c, 11, 40) || black(c, 8, 40));
  EXPECT_TRUE(black(c, 20, 18) && black(c, 20, 21));  // the top: y 18 to 22
  EXPECT_FALSE(black(c, 20, 17) || black(c, 20, 22));
  // Turned: x' = -y, y' = x, moved right by 70. The top becomes the right side, x 48 to 52.
  const Canvas turned = Draw(g, 80, 80, Quality::Low, Matrix{0, 2.0 / 20, -4.0 / 20, 0, 70, 0});
  EXPECT_TRUE(black(turned, 48, 20) && black(turned, 51, 20));
  EXPECT_FALSE(black(turned, 47, 20) || black(turned, 52, 20));
  EXPECT_TRUE(black(turned, 40, 9) && black(turned, 40, 10));  // the left side, now the top: y 9 to 11
  EXPECT_FALSE(black(turned, 40, 8) || black(turned, 40, 11));
}

}  // namespace
}  // namespace quillon::player
