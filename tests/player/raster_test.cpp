// The rasteriser's building blocks: coverage rules, gradients and strokes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "render/raster.h"

namespace quillon::player {
namespace {

std::vector<Line> Box(double x0, double y0, double x1, double y1) {
  return {{{x0, y0}, {x1, y0}}, {{x1, y0}, {x1, y1}}, {{x1, y1}, {x0, y1}}, {{x0, y1}, {x0, y0}}};
}

std::vector<int> Coverage(const std::vector<Line>& lines, FillRule rule, Quality q, int w, int h) {
  std::vector<int> cov(static_cast<std::size_t>(w * h), 0);
  Rasterize(lines, rule, q, w, h, [&](int y, int x0, int x1, std::uint8_t c) {
    for (int x = x0; x < x1; ++x) cov[static_cast<std::size_t>(y * w + x)] += c;
  });
  return cov;
}

TEST(Rasterize, EvenOddLeavesNestedBoxesHollowAndNonZeroFillsThem) {
  auto lines = Box(0, 0, 10, 10);
  const auto inner = Box(3, 3, 7, 7);  // same direction as the outer box
  lines.insert(lines.end(), inner.begin(), inner.end());
  const auto evenOdd = Coverage(lines, FillRule::EvenOdd, Quality::Low, 10, 10);
  const auto nonZero = Coverage(lines, FillRule::NonZero, Quality::Low, 10, 10);
  EXPECT_EQ(evenOdd[5 * 10 + 5], 0);
  EXPECT_EQ(evenOdd[1 * 10 + 1], 255);
  EXPECT_EQ(nonZero[5 * 10 + 5], 255);
}

TEST(Rasterize, ShapesOutsideTheCanvasAreClippedAndHugeCoordinatesAreSafe) {
  const auto cov = Coverage(Box(-5, -5, 3, 3), FillRule::NonZero, Quality::High, 4, 4);
  EXPECT_EQ(cov[0], 255);
  EXPECT_EQ(cov[2 * 4 + 2], 255);
  EXPECT_EQ(cov[3 * 4 + 3], 0);
  const auto huge = Coverage(Box(-1e300, -1e300, 1e300, 1e300), FillRule::NonZero, Quality::High, 4, 4);
  EXPECT_EQ(huge[5], 255);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Coverage({{{nan, 0}, {1, nan}}, {{0, 0}, {0, 4}}}, FillRule::NonZero, Quality::High, 4, 4);  // no crash
}

TEST(Rasterize, HighQualityCountsFourSamplesOnARotatedGrid) {
  // The samples sit at x = 0.375, 0.875, 0.125, 0.625 on the four quarter rows. Coverage is
  // in 256ths, 255 meaning the whole pixel.
  EXPECT_EQ(Coverage(Box(0, 0, 0.25, 1), FillRule::NonZero, Quality::High, 2, 1)[0], 64);   // one sample
  EXPECT_EQ(Coverage(Box(0, 0, 0.5, 1), FillRule::NonZero, Quality::High, 2, 1)[0], 128);   // two
  EXPECT_EQ(Coverage(Box(0, 0, 0.7, 1), FillRule::NonZero, Quality::High, 2, 1)[0], 192);   // three
  EXPECT_EQ(Coverage(Box(0, 0, 1, 1), FillRule::NonZero, Quality::High, 2, 1)[0], 255);
  EXPECT_EQ(Coverage(Box(0, 0, 1, 1), FillRule::NonZero, Quality::High, 2, 1)[1], 0);
  // The top half holds the samples of rows 0.125 and 0.375 (x 0.375 and 0.875).
  EXPECT_EQ(Coverage(Box(0, 0, 1, 0.5), FillRule::NonZero, Quality::High, 1, 1)[0], 128);
}

TEST(Rasterize, EachRowComesAsRunsOfEqualCoverageLeftToRight) {
  // x from 2.25 to 7.75: pixels 2 and 7 hold three of their four samples (x + 0.375, 0.875,
  // 0.125, 0.625), pixels 3 to 6 all four; two boxes side by side make one run where they meet.
  auto lines = Box(2.25, 0, 5, 2);
  const auto right = Box(5, 0, 7.75, 2);
  lines.insert(lines.end(), right.begin(), right.end());
  struct Run {
    int y, x0, x1, cover;
    bool operator==(const Run&) const = default;
  };
  std::vector<Run> runs;
  Rasterize(lines, FillRule::NonZero, Quality::High, 10, 4,
            [&](int y, int x0, int x1, std::uint8_t c) { runs.push_back({y, x0, x1, c}); });
  const std::vector<Run> expected = {{0, 2, 3, 192}, {0, 3, 7, 255}, {0, 7, 8, 192},
                                     {1, 2, 3, 192}, {1, 3, 7, 255}, {1, 7, 8, 192}};
  EXPECT_EQ(runs, expected);
  // Only the rows asked for are visited.
  runs.clear();
  Rasterize(lines, FillRule::NonZero, Quality::Low, 10, 4,
            [&](int y, int x0, int x1, std::uint8_t c) { runs.push_back({y, x0, x1, c}); }, 1, 2);
  EXPECT_EQ(runs, (std::vector<Run>{{1, 2, 8, 255}}));
}

TEST(Rasterize, VerticesSnapToA256thOfAPixel) {
  // Low quality samples x = 0.5 in pixel 0. A left edge a 1000th past it rounds onto the
  // sample and takes the pixel; one a 100th past it (more than half a grid step) does not.
  EXPECT_EQ(Coverage(Box(0.501, 0, 2, 1), FillRule::NonZero, Quality::Low, 2, 1)[0], 255);
  EXPECT_EQ(Coverage(Box(0.51, 0, 2, 1), FillRule::NonZero, Quality::Low, 2, 1)[0], 0);
  // Rows likewise: a top edge at 0.501 still covers the sample row at 0.5.
  EXPECT_EQ(Coverage(Box(0, 0.501, 1, 2), FillRule::NonZero, Quality::Low, 1, 2)[0], 255);
}

TEST(Flatten, ACurveBendingLessThanTheFlatnessIsOnePiece) {
  std::vector<Point> out;
  // The control point lies 0.186 px off the chord: the curve strays 0.093 px, under the
  // flatness of 0.1 px, so the chord alone stands for it.
  Flatten({387.75, 301.25}, {385.7, 290.05}, {385.25, 288.75}, true, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].x, 385.25);
  EXPECT_EQ(out[0].y, 288.75);
  // A 10 px bend needs several pieces: their corners lie on the curve
  // x = 20t - 10t^2, y = 10t^2 and their middles within the flatness of it.
  out.clear();
  Flatten({0, 0}, {10, 0}, {10, 10}, true, out);
  ASSERT_GT(out.size(), 4u);
  EXPECT_EQ(out.back().x, 10);
  EXPECT_EQ(out.back().y, 10);
  Point prev{0, 0};
  for (const Point& p : out) {
    const double t = std::sqrt(p.y / 10);
    EXPECT_NEAR(p.x, 20 * t - 10 * t * t, 1e-9);
    const Point mid{(prev.x + p.x) / 2, (prev.y + p.y) / 2};
    double nearest = 1e9;
    for (int i = 0; i <= 10000; ++i) {
      const double u = i / 10000.0;
      nearest = std::min(nearest, std::hypot(20 * u - 10 * u * u - mid.x, 10 * u * u - mid.y));
    }
    EXPECT_LE(nearest, 0.1 + 1e-3);
    prev = p;
  }
}

TEST(Gradient, ColoursInterpolateBetweenStopsAndPadBeyondThem) {
  Gradient g;
  g.stops = {{0.25, {0, 0, 0, 255}}, {0.75, {200, 100, 0, 255}}};
  EXPECT_EQ(GradientColorAt(g, 0.0), (Rgba{0, 0, 0, 255}));
  EXPECT_EQ(GradientColorAt(g, 0.5), (Rgba{100, 50, 0, 255}));
  EXPECT_EQ(GradientColorAt(g, 1.0), (Rgba{200, 100, 0, 255}));
  // Linear-RGB interpolation of black and white at the middle: linear 0.5 is sRGB 188.
  Gradient lin;
  lin.linearRgb = true;
  lin.stops = {{0, {0, 0, 0, 255}}, {1, {255, 255, 255, 255}}};
  EXPECT_NEAR(GradientColorAt(lin, 0.5).r, 188, 1);
  // Two stops at the same ratio: a hard edge, no division by zero.
  Gradient hard;
  hard.stops = {{0.5, {255, 0, 0, 255}}, {0.5, {0, 0, 255, 255}}};
  EXPECT_EQ(GradientColorAt(hard, 0.49), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(GradientColorAt(hard, 0.51), (Rgba{0, 0, 255, 255}));
}

TEST(Stroke, SquareCapsExtendAndNoCapsStopAtTheEnds) {
  StrokeStyle st;
  st.width = 2;
  st.startCap = st.endCap = Cap::Square;
  std::vector<Line> square;
  StrokePolyline({{2, 5}, {8, 5}}, {}, false, st, square);
  const auto s = Coverage(square, FillRule::NonZero, Quality::Low, 10, 10);
  EXPECT_EQ(s[5 * 10 + 1], 255) << "square cap reaches one half-width beyond the start";
  EXPECT_EQ(s[5 * 10 + 8], 255);
  EXPECT_EQ(s[5 * 10 + 9], 0);
  st.startCap = st.endCap = Cap::None;
  std::vector<Line> none;
  StrokePolyline({{2, 5}, {8, 5}}, {}, false, st, none);
  const auto n = Coverage(none, FillRule::NonZero, Quality::Low, 10, 10);
  EXPECT_EQ(n[5 * 10 + 1], 0);
  EXPECT_EQ(n[5 * 10 + 2], 255);
  EXPECT_EQ(n[5 * 10 + 7], 255);
  EXPECT_EQ(n[5 * 10 + 8], 0);
  EXPECT_EQ(n[4 * 10 + 5], 255);
  EXPECT_EQ(n[3 * 10 + 5], 0);
}

TEST(Stroke, MiterJoinsFillTheCornerUntilTheLimit) {
  StrokeStyle st;
  st.width = 4;
  st.startCap = st.endCap = Cap::None;
  st.join = Join::Miter;
  st.miterLimit = 3;
  std::vector<Line> lines;
  StrokePolyline({{2, 10}, {10, 10}, {10, 18}}, {}, false, st, lines);
  const auto c = Coverage(lines, FillRule::NonZero, Quality::Low, 20, 20);
  // The right-angle corner's outer miter reaches (12, 8): pixel (11, 8) is covered.
  EXPECT_EQ(c[8 * 20 + 11], 255);
  st.join = Join::Bevel;
  std::vector<Line> bevel;
  StrokePolyline({{2, 10}, {10, 10}, {10, 18}}, {}, false, st, bevel);
  const auto b = Coverage(bevel, FillRule::NonZero, Quality::Low, 20, 20);
  EXPECT_EQ(b[8 * 20 + 11], 0) << "a bevel cuts the corner off";
}

}  // namespace
}  // namespace quillon::player
