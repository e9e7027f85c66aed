#include "render/raster.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numbers>
#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/mask_rows.h"
#include "render/span_blend.h"

namespace quillon::player {
namespace {

struct RasterEdge {
  double x0, y0, y1, dxdy;
  int dir;
};

struct Crossing {
  double x;
  int dir;
};

// Where a row's count of covering sample rows changes.
struct Mark {
  int x, delta;
};

struct Scratch {
  std::vector<RasterEdge> edges;
  std::vector<Mark> marks;
  std::vector<std::size_t> active;
  std::vector<Crossing> xs;
};

// Coordinates beyond this are clamped before rasterising: they are far off any canvas and
// keep the arithmetic finite for damaged matrices.
constexpr double kFar = 1e6;

double Clamp(double v) { return std::isfinite(v) ? std::clamp(v, -kFar, kFar) : 0.0; }

// Vertices sit on a grid of 1/256 pixel, as in hardware rasterisers, so a sample lying
// within rounding noise of an edge falls on the same side as in hardware-drawn frames.
constexpr double kSubpixel = 256;
double Snap(double v) { return std::round(Clamp(v) * kSubpixel) / kSubpixel; }

// Crossings and marks come a handful a row: an insertion sort beats the general one there.
template <typename T, typename Less>
void SortFew(std::vector<T>& v, Less less) {
  if (v.size() > 16) {
    std::sort(v.begin(), v.end(), less);
    return;
  }
  for (std::size_t i = 1; i < v.size(); ++i) {
    const T item = v[i];
    std::size_t j = i;
    for (; j > 0 && less(item, v[j - 1]); --j) v[j] = v[j - 1];
    v[j] = item;
  }
}

}  // namespace

void Rasterize(const std::vector<Line>& lines, FillRule rule, Quality quality, int width, int height,
               const RunSink& run, int rowTop, int rowBottom) {
  if (width <= 0 || height <= 0) return;
  // High quality takes four samples per pixel in the usual rotated-grid pattern, one on each
  // quarter row; low quality takes the pixel centre.
  const bool high = quality == Quality::High;
  const int S = high ? 4 : 1;
  static constexpr double kSampleX[4] = {0.375, 0.875, 0.125, 0.625};
  // The working lists are kept from call to call: a frame rasterises hundreds of small shapes.
  thread_local Scratch scratch;
  std::vector<RasterEdge>& edges = scratch.edges;
  edges.clear();
  edges.reserve(lines.size());
  double top = kFar, bottom = -kFar;
  for (const Line& l : lines) {
    const double ax = Snap(l.a.x), ay = Snap(l.a.y), bx = Snap(l.b.x), by = Snap(l.b.y);
    if (ay == by) continue;
    RasterEdge e;
    if (ay < by) {
      e = {ax, ay, by, (bx - ax) / (by - ay), 1};
    } else {
      e = {bx, by, ay, (ax - bx) / (ay - by), -1};
    }
    top = std::min(top, e.y0);
    bottom = std::max(bottom, e.y1);
    edges.push_back(e);
  }
  if (edges.empty()) return;
  std::sort(edges.begin(), edges.end(), [](const RasterEdge& p, const RasterEdge& q) { return p.y0 < q.y0; });
  const int rowFirst = std::max({0, rowTop, static_cast<int>(std::floor(top))});
  const int rowLast = std::min({height - 1, rowBottom - 1, static_cast<int>(std::ceil(bottom))});
  if (rowLast < rowFirst) return;
  const long long samplesWide = width;
  // Each sample row's inside intervals as marks where the count of covering rows changes: a
  // row's coverage is that count, constant between marks.
  std::vector<Mark>& marks = scratch.marks;
  std::vector<std::size_t>& active = scratch.active;
  std::vector<Crossing>& xs = scratch.xs;
  active.clear();
  double activeEnd = kFar;  // where the first active edge ends
  std::size_t next = 0;
  const int unit = 256 / S;  // S divides 256: count * unit is count * 256 / S

  for (int y = rowFirst; y <= rowLast; ++y) {
    marks.clear();
    for (int s = 0; s < S; ++s) {
      const double ys = y + (s + 0.5) / S;
      const double xo = high ? kSampleX[s] : 0.5;
      while (next < edges.size() && edges[next].y0 <= ys) {
        activeEnd = std::min(activeEnd, edges[next].y1);
        active.push_back(next++);
      }
      if (activeEnd <= ys) {
        std::erase_if(active, [&](std::size_t i) { return edges[i].y1 <= ys; });
        activeEnd = kFar;
        for (std::size_t i : active) activeEnd = std::min(activeEnd, edges[i].y1);
      }
      xs.clear();
      for (std::size_t i : active) {
        const RasterEdge& e = edges[i];
        if (e.y0 > ys) continue;
        xs.push_back({e.x0 + (ys - e.y0) * e.dxdy, e.dir});
      }
      SortFew(xs, [](const Crossing& p, const Crossing& q) { return p.x < q.x; });
      int winding = 0;
      for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
        winding += xs[i].dir;
        const bool inside = rule == FillRule::NonZero ? winding != 0 : (winding & 1) != 0;
        if (!inside) continue;
        // Pixel k's sample on this row sits at x = k + xo; it is inside when xa <= x < xb.
        long long k0 = static_cast<long long>(std::ceil(xs[i].x - xo));
        long long k1 = static_cast<long long>(std::ceil(xs[i + 1].x - xo));
        k0 = std::clamp(k0, 0ll, samplesWide);
        k1 = std::clamp(k1, 0ll, samplesWide);
        if (k1 <= k0) continue;
        marks.push_back({static_cast<int>(k0), 1});
        marks.push_back({static_cast<int>(k1), -1});
      }
    }
    if (marks.empty()) continue;
    SortFew(marks, [](const Mark& p, const Mark& q) { return p.x < q.x; });
    // Runs of equal coverage that touch are passed as one.
    int count = 0, runX0 = 0, runX1 = 0;
    std::uint8_t runCover = 0;
    for (std::size_t i = 0; i < marks.size();) {
      const int x = marks[i].x;
      while (i < marks.size() && marks[i].x == x) count += marks[i++].delta;
      if (count <= 0 || i >= marks.size()) continue;
      // Coverage in 256ths, with 255 standing for all of the pixel.
      const auto cover = static_cast<std::uint8_t>(count >= S ? 255 : count * unit);
      const int to = marks[i].x;
      if (runX1 == x && runCover == cover) {
        runX1 = to;
        continue;
      }
      if (runX1 > runX0) run(y, runX0, runX1, runCover);
      runX0 = x;
      runX1 = to;
      runCover = cover;
    }
    if (runX1 > runX0) run(y, runX0, runX1, runCover);
  }
}

namespace {

// Integral approximations of the parabola's arc-length-like error measure; they spread the
// flattening points so every piece deviates about equally from the curve.
double ApproxIntegral(double x) {
  constexpr double d = 0.67;
  return x / (1 - d + std::pow(d * d * d * d + 0.25 * x * x, 0.25));
}
double ApproxInverseIntegral(double x) {
  constexpr double b = 0.39;
  return x * (1 - b + std::sqrt(b * b + 0.25 * x * x));
}

constexpr double kFlatness = 0.1;  // device pixels

}  // namespace

void Flatten(Point from, Point control, Point to, bool curve, std::vector<Point>& out) {
  auto at = [&](double t) {
    const double u = 1 - t;
    return Point{u * u * from.x + 2 * u * t * control.x + t * t * to.x,
                 u * u * from.y + 2 * u * t * control.y + t * t * to.y};
  };
  // A control point within twice the flatness of the chord bends the curve less than the
  // flatness: one straight piece does.
  const double chordX = to.x - from.x, chordY = to.y - from.y;
  const double chord2 = chordX * chordX + chordY * chordY;
  const double bend = (control.x - from.x) * chordY - (control.y - from.y) * chordX;
  if (curve && chord2 > 0 && bend * bend <= 4 * kFlatness * kFlatness * chord2) curve = false;
  if (curve) {
    const double ddx = 2 * control.x - from.x - to.x, ddy = 2 * control.y - from.y - to.y;
    const double u0 = (control.x - from.x) * ddx + (control.y - from.y) * ddy;
    const double u2 = (to.x - control.x) * ddx + (to.y - control.y) * ddy;
    const double cross = (to.x - from.x) * ddy - (to.y - from.y) * ddx;
    const double x0 = u0 / cross, x2 = u2 / cross;
    const double scale = std::abs(cross) / (std::hypot(ddx, ddy) * std::abs(x2 - x0));
    const double a0 = ApproxIntegral(x0), a2 = ApproxIntegral(x2);
    const double count = 0.5 * std::abs(a2 - a0) * std::sqrt(scale / kFlatness);
    if (std::isfinite(count) && count > 1 && std::abs(cross) > 1e-9) {
      const int n = std::min(256, static_cast<int>(std::ceil(count)));
      const double v0 = ApproxInverseIntegral(a0), v2 = ApproxInverseIntegral(a2);
      for (int i = 1; i < n; ++i) {
        const double v = ApproxInverseIntegral(a0 + (a2 - a0) * i / n);
        out.push_back(at((v - v0) / (v2 - v0)));
      }
    }
  }
  out.push_back(to);
}

namespace {

void AddPolygon(const std::vector<Point>& poly, std::vector<Line>& out) {
  if (poly.size() < 3) return;
  double area = 0;
  for (std::size_t i = 0; i < poly.size(); ++i) {
    const Point& p = poly[i];
    const Point& q = poly[(i + 1) % poly.size()];
    area += p.x * q.y - q.x * p.y;
  }
  if (area == 0 || !std::isfinite(area)) return;
  for (std::size_t i = 0; i < poly.size(); ++i) {
    const Point& p = poly[i];
    const Point& q = poly[(i + 1) % poly.size()];
    if (area > 0) out.push_back({p, q});
    else out.push_back({q, p});
  }
}

void AddCircle(Point c, double r, std::vector<Line>& out) {
  // Enough sides to stay within a fiftieth of a pixel of the circle; the polygon's
  // corners reach slightly beyond it so its sides hug the circle from both sides.
  const double step = r > 0.02 ? std::acos(1 - 0.02 / r) : std::numbers::pi / 4;
  const int n = std::clamp(static_cast<int>(std::ceil(std::numbers::pi / step)), 8, 256);
  const double reach = r * 2 / (1 + std::cos(std::numbers::pi / n));
  std::vector<Point> poly;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * std::numbers::pi * i / n;
    poly.push_back({c.x + reach * std::cos(a), c.y + reach * std::sin(a)});
  }
  AddPolygon(poly, out);
}

Point Add(Point p, Point q, double k = 1) { return {p.x + q.x * k, p.y + q.y * k}; }

}  // namespace

void StrokePolyline(const std::vector<Point>& input, const std::vector<bool>& smoothIn, bool closed,
                    const StrokeStyle& style, std::vector<Line>& out) {
  // Drop repeated points; they have no direction.
  std::vector<Point> pts;
  std::vector<bool> smooth;
  for (std::size_t i = 0; i < input.size(); ++i) {
    if (!pts.empty() && std::hypot(input[i].x - pts.back().x, input[i].y - pts.back().y) < 1e-9) continue;
    pts.push_back(input[i]);
    smooth.push_back(i < smoothIn.size() && smoothIn[i]);
  }
  const double half = style.width / 2;
  if (pts.size() == 1) {
    // A dot: a zero-length line shows as its caps.
    if (style.startCap == Cap::Round) AddCircle(pts[0], half, out);
    else if (style.startCap == Cap::Square)
      AddPolygon({{pts[0].x - half, pts[0].y - half}, {pts[0].x + half, pts[0].y - half},
                  {pts[0].x + half, pts[0].y + half}, {pts[0].x - half, pts[0].y + half}}, out);
    return;
  }
  if (pts.size() < 2) return;
  if (closed && std::hypot(pts.front().x - pts.back().x, pts.front().y - pts.back().y) < 1e-9) {
    pts.pop_back();
    smooth.pop_back();
  } else {
    closed = false;
  }
  const std::size_t n = pts.size();
  const std::size_t segments = closed ? n : n - 1;
  auto dirOf = [&](std::size_t i) {
    const Point& p = pts[i];
    const Point& q = pts[(i + 1) % n];
    const double len = std::hypot(q.x - p.x, q.y - p.y);
    return Point{(q.x - p.x) / len, (q.y - p.y) / len};
  };
  // A hairline is a pixel thick across its minor axis: a segment at an angle to the pixel grid
  // is thinner than a pixel on its normal.
  auto halfOf = [&](std::size_t i) {
    if (!style.hairline) return half;
    const Point d = dirOf(i);
    return 0.5 * std::max(std::abs(d.x), std::abs(d.y));
  };
  for (std::size_t i = 0; i < segments; ++i) {
    const Point d = dirOf(i);
    const double h = halfOf(i);
    const Point nrm{-d.y * h, d.x * h};
    Point p = pts[i], q = pts[(i + 1) % n];
    if (!closed && i == 0 && style.startCap == Cap::Square) p = Add(p, d, -h);
    if (!closed && i + 1 == segments && style.endCap == Cap::Square) q = Add(q, d, h);
    AddPolygon({Add(p, nrm), Add(q, nrm), Add(q, nrm, -1), Add(p, nrm, -1)}, out);
  }
  if (!closed) {
    if (style.startCap == Cap::Round) AddCircle(pts.front(), halfOf(0), out);
    if (style.endCap == Cap::Round) AddCircle(pts.back(), halfOf(segments - 1), out);
  }
  for (std::size_t v = closed ? 0 : 1; v < (closed ? n : n - 1); ++v) {
    const std::size_t prev = (v + n - 1) % n;
    const Point d0 = dirOf(prev), d1 = dirOf(v);
    const double cross = d0.x * d1.y - d0.y * d1.x;
    const double dot = d0.x * d1.x + d0.y * d1.y;
    if (std::abs(cross) < 1e-12 && dot > 0) continue;
    const Point c = pts[v];
    Join join = style.hairline ? Join::Round : style.join;
    if (smooth[v] && join == Join::Round) join = Join::Bevel;
    const double h0 = halfOf(prev), h1 = halfOf(v);
    if (join == Join::Round) {
      AddCircle(c, std::max(h0, h1), out);
      continue;
    }
    const double side = cross > 0 ? -1 : 1;  // the outer side of the turn
    const Point n0{-d0.y * h0 * side, d0.x * h0 * side}, n1{-d1.y * h1 * side, d1.x * h1 * side};
    if (join == Join::Miter && !smooth[v]) {
      Point m{n0.x + n1.x, n0.y + n1.y};
      const double mlen = std::hypot(m.x, m.y);
      if (mlen > 1e-12) {
        const double cosHalf = (m.x * n0.x + m.y * n0.y) / (mlen * half);
        if (cosHalf > 1e-6 && 1 / cosHalf <= style.miterLimit) {
          const double reach = half / cosHalf;
          AddPolygon({c, Add(c, n0), Add(c, m, reach / mlen), Add(c, n1)}, out);
          continue;
        }
      }
    }
    AddPolygon({c, Add(c, n0), Add(c, n1)}, out);
  }
}

namespace {

inline double Spreaded(double t, Spread spread) {
  if (!std::isfinite(t)) return 0;
  switch (spread) {
    case Spread::Pad: return std::clamp(t, 0.0, 1.0);
    case Spread::Repeat: return t - std::floor(t);
    case Spread::Reflect: {
      const double m = t - 2 * std::floor(t / 2);
      return m > 1 ? 2 - m : m;
    }
  }
  return 0;
}

double ToLinear(double c) {
  c /= 255;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
double FromLinear(double c) {
  c = c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
  return c * 255;
}
std::uint8_t Byte(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0l, 255l)); }

}  // namespace

Rgba GradientColorAt(const Gradient& g, double t) {
  if (g.stops.empty()) return {0, 0, 0, 0};
  if (t <= g.stops.front().ratio) return g.stops.front().color;
  if (t >= g.stops.back().ratio) return g.stops.back().color;
  std::size_t i = 0;
  while (i + 1 < g.stops.size() && g.stops[i + 1].ratio < t) ++i;
  if (i + 1 >= g.stops.size()) return g.stops.back().color;
  const GradientStop& a = g.stops[i];
  const GradientStop& b = g.stops[i + 1];
  const double span = b.ratio - a.ratio;
  const double f = span <= 0 ? 1 : (t - a.ratio) / span;
  if (!g.linearRgb) return LerpRgba(a.color, b.color, f);
  return {Byte(FromLinear(Lerp(ToLinear(a.color.r), ToLinear(b.color.r), f))),
          Byte(FromLinear(Lerp(ToLinear(a.color.g), ToLinear(b.color.g), f))),
          Byte(FromLinear(Lerp(ToLinear(a.color.b), ToLinear(b.color.b), f))), Byte(Lerp(a.color.a, b.color.a, f))};
}

namespace {

// Colour for each pixel of a span, before the colour transform.
class Shader {
 public:
  Shader(const FillStyle& fill, const Matrix& toDevice, const DrawContext& ctx) : fill_(fill) {
    const bool gradient = fill.kind == FillKind::Linear || fill.kind == FillKind::Radial || fill.kind == FillKind::Focal;
    if (gradient)
      for (int i = 0; i < kRampSize; ++i) ramp_[static_cast<std::size_t>(i)] = GradientColorAt(fill.gradient, i / double(kRampSize - 1));
    // Each entry and the step to the next as doubles: Lerp's own terms, worked out once.
    for (std::size_t i = 0; gradient && i + 1 < kRampSize; ++i) {
      const Rgba a = ramp_[i], b = ramp_[i + 1];
      steps_[i] = {{{double(a.r), double(a.g), double(a.b), double(a.a)},
                    {double(b.r) - a.r, double(b.g) - a.g, double(b.b) - a.b, double(b.a) - a.a}}};
    }
    if (fill.kind == FillKind::Bitmap && ctx.bitmaps) bitmap_ = ctx.bitmaps(fill.bitmapId);
    inverse_ = (toDevice * fill.matrix).inverse();
    smooth_ = fill.smooth && ctx.quality == Quality::High;
  }

  // The colour at device point (px, py), for a kind known where the span is painted.
  template <FillKind kind>
  Rgba AtOf(double px, double py) const {
    const Point p = inverse_.apply({px, py});
    if constexpr (kind == FillKind::Linear) return Ramp(Spreaded((p.x + 16384) / 32768, fill_.gradient.spread));
    else if constexpr (kind == FillKind::Radial)
      return Ramp(Spreaded(std::sqrt(p.x * p.x + p.y * p.y) / 16384, fill_.gradient.spread));
    else if constexpr (kind == FillKind::Focal) return Ramp(Spreaded(FocalT(p), fill_.gradient.spread));
    else return Texel(p);
  }
  FillKind kind() const { return fill_.kind; }

  // The colours of `n` pixels of row `py` from pixel x on, where `covers` is not zero (linear
  // and radial gradients fill them all): AtOf's values, the gradients' positions worked out two
  // pixels at a time with the same operations.
  template <FillKind kind>
  void Piece(int x, double py, int n, const std::uint8_t* covers, Rgba* out) const {
    if constexpr (kind == FillKind::Linear || kind == FillKind::Radial || kind == FillKind::Focal) {
      std::array<double, kMaxPiece> t;
      const Matrix& m = inverse_;
      const double cy = m.c * py, dy = m.d * py;
      int i = 0;
#if defined(__SSE2__)
      const __m128d a = _mm_set1_pd(m.a), b = _mm_set1_pd(m.b), tx = _mm_set1_pd(m.tx), ty = _mm_set1_pd(m.ty);
      const __m128d vcy = _mm_set1_pd(cy), vdy = _mm_set1_pd(dy), half = _mm_set1_pd(0.5);
      for (; i + 2 <= n; i += 2) {
        const __m128d px = _mm_add_pd(_mm_cvtepi32_pd(_mm_set_epi32(0, 0, x + i + 1, x + i)), half);
        const __m128d ux = _mm_add_pd(_mm_add_pd(_mm_mul_pd(a, px), vcy), tx);
        __m128d v;
        if constexpr (kind == FillKind::Linear) {
          v = _mm_mul_pd(_mm_add_pd(ux, _mm_set1_pd(16384)), _mm_set1_pd(1.0 / 32768));
        } else if constexpr (kind == FillKind::Radial) {
          const __m128d uy = _mm_add_pd(_mm_add_pd(_mm_mul_pd(b, px), vdy), ty);
          v = _mm_mul_pd(_mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(ux, ux), _mm_mul_pd(uy, uy))), _mm_set1_pd(1.0 / 16384));
        } else {
          v = FocalT2(ux, _mm_add_pd(_mm_add_pd(_mm_mul_pd(b, px), vdy), ty));
        }
        _mm_storeu_pd(&t[static_cast<std::size_t>(i)], v);
      }
#endif
      for (; i < n; ++i) {
        const double px = static_cast<double>(x + i) + 0.5;
        const double ux = m.a * px + cy + m.tx;
        const double uy = m.b * px + dy + m.ty;
        if constexpr (kind == FillKind::Linear) t[static_cast<std::size_t>(i)] = (ux + 16384) / 32768;
        else if constexpr (kind == FillKind::Radial) t[static_cast<std::size_t>(i)] = std::sqrt(ux * ux + uy * uy) / 16384;
        else t[static_cast<std::size_t>(i)] = FocalT({ux, uy});
      }
      const Spread spread = fill_.gradient.spread;
      for (i = 0; i < n; ++i) out[i] = Ramp(Spreaded(t[static_cast<std::size_t>(i)], spread));
    } else {
      for (int i = 0; i < n; ++i)
        if (covers[i]) out[i] = AtOf<kind>(static_cast<double>(x + i) + 0.5, py);
    }
  }
  static constexpr int kMaxPiece = 64;

 private:
  static constexpr double kMaxFocal = 0.98;
  // Gradients are drawn from a ramp of 256 colours, sampled between its entries.
  static constexpr int kRampSize = 256;
  Rgba Ramp(double t) const {
    const double u = std::clamp(t * kRampSize - 0.5, 0.0, kRampSize - 1.0);
    const int i = std::min(static_cast<int>(u), kRampSize - 2);
    const double f = u - i;
    const auto& [from, step] = steps_[static_cast<std::size_t>(i)];
    // LerpRgba's arithmetic and rounding: the value lies between the two entries, so it needs
    // no clamp, and adding a half rounds it as lround does for all but values below a half.
    // The channels are put together in a register: stored byte by byte and read back whole,
    // they would stall the loads that follow.
#if defined(__SSE2__)
    // Two channels a register, the same operations in the same order; the value lies in
    // (-1.5, 256), where truncating it plus a half is the rounding below.
    const __m128d k = _mm_set1_pd(f), half = _mm_set1_pd(0.5);
    const __m128d rg = _mm_add_pd(_mm_add_pd(_mm_loadu_pd(&from[0]), _mm_mul_pd(_mm_loadu_pd(&step[0]), k)), half);
    const __m128d ba = _mm_add_pd(_mm_add_pd(_mm_loadu_pd(&from[2]), _mm_mul_pd(_mm_loadu_pd(&step[2]), k)), half);
    const __m128i wide = _mm_unpacklo_epi64(_mm_cvttpd_epi32(rg), _mm_cvttpd_epi32(ba));
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(wide, wide), _mm_setzero_si128());
    return std::bit_cast<Rgba>(static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes)));
#else
    std::uint32_t packed = 0;
    for (std::size_t c = 0; c < 4; ++c) {
      const double v = from[c] + step[c] * f;
      const std::uint32_t byte = v < 0.5 ? 0u : static_cast<std::uint32_t>(v + 0.5);
      packed |= byte << (std::endian::native == std::endian::little ? 8 * c : 24 - 8 * c);
    }
    return std::bit_cast<Rgba>(packed);
#endif
  }

#if defined(__SSE2__)
  // FocalT for two points, the same operations in the same order.
  __m128d FocalT2(__m128d px, __m128d py) const {
    const double f = std::clamp(fill_.gradient.focal, -kMaxFocal, kMaxFocal) * 16384;
    const __m128d fx = _mm_set1_pd(f), zero = _mm_setzero_pd(), one = _mm_set1_pd(1);
    const __m128d dx = _mm_sub_pd(px, fx);
    const __m128d dd = _mm_add_pd(_mm_mul_pd(dx, dx), _mm_mul_pd(py, py));
    const __m128d fd = _mm_mul_pd(fx, dx);
    const __m128d disc = _mm_sub_pd(_mm_mul_pd(fd, fd), _mm_mul_pd(dd, _mm_set1_pd(f * f - 16384.0 * 16384.0)));
    // max(0, disc) takes 0 for a NaN as std::max(0.0, disc) does.
    const __m128d root = _mm_sqrt_pd(_mm_max_pd(disc, zero));
    const __m128d s = _mm_div_pd(_mm_add_pd(_mm_xor_pd(fd, _mm_set1_pd(-0.0)), root), dd);
    const __m128d t = _mm_or_pd(_mm_and_pd(_mm_cmpgt_pd(s, zero), _mm_div_pd(one, s)), _mm_andnot_pd(_mm_cmpgt_pd(s, zero), one));
    return _mm_andnot_pd(_mm_cmpeq_pd(dd, zero), t);
  }
#endif

  double FocalT(Point p) const {
    // The focus stays a little inside the circle, as the reference player keeps it.
    const double fx = std::clamp(fill_.gradient.focal, -kMaxFocal, kMaxFocal) * 16384;
    const double dx = p.x - fx, dy = p.y;
    const double dd = dx * dx + dy * dy;
    if (dd == 0) return 0;
    const double fd = fx * dx;
    const double disc = fd * fd - dd * (fx * fx - 16384.0 * 16384.0);
    const double s = (-fd + std::sqrt(std::max(0.0, disc))) / dd;
    return s > 0 ? 1 / s : 1;
  }

  Rgba Fetch(long long x, long long y) const {
    const long long w = bitmap_->width, h = bitmap_->height;
    if (fill_.repeat) {
      // Most texels of a tiled fill lie in the first tile: no division for those.
      if (x < 0 || x >= w) {
        x %= w;
        if (x < 0) x += w;
      }
      if (y < 0 || y >= h) {
        y %= h;
        if (y < 0) y += h;
      }
    } else {
      x = std::clamp(x, 0ll, w - 1);
      y = std::clamp(y, 0ll, h - 1);
    }
    return bitmap_->pixels[static_cast<std::size_t>(y * w + x)];
  }

  // std::floor for the clamped coordinates below, without a call into the maths library.
  static long long FloorOf(double v) {
    const auto i = static_cast<long long>(v);
    return v < static_cast<double>(i) ? i - 1 : i;
  }

  Rgba Texel(Point p) const {
    if (!bitmap_ || bitmap_->width <= 0 || bitmap_->height <= 0 || !std::isfinite(p.x) || !std::isfinite(p.y))
      return {0, 0, 0, 0};
    const double x = std::clamp(p.x, -1e9, 1e9), y = std::clamp(p.y, -1e9, 1e9);
    if (!smooth_) return Fetch(FloorOf(x), FloorOf(y));
    const double u = x - 0.5, v = y - 0.5;
    const long long x0 = FloorOf(u), y0 = FloorOf(v);
    const double fx = u - static_cast<double>(x0), fy = v - static_cast<double>(y0);
    const Rgba c00 = Fetch(x0, y0), c10 = Fetch(x0 + 1, y0), c01 = Fetch(x0, y0 + 1), c11 = Fetch(x0 + 1, y0 + 1);
    // Interpolate premultiplied so transparent texels do not bleed their colour.
    auto mix = [&](auto get) {
      const double top = Lerp(get(c00) * c00.a, get(c10) * c10.a, fx), bot = Lerp(get(c01) * c01.a, get(c11) * c11.a, fx);
      return Lerp(top, bot, fy);
    };
    const double a = Lerp(Lerp(c00.a, c10.a, fx), Lerp(c01.a, c11.a, fx), fy);
    if (a <= 0) return {0, 0, 0, 0};
    return {Byte(mix([](Rgba c) { return c.r; }) / a), Byte(mix([](Rgba c) { return c.g; }) / a),
            Byte(mix([](Rgba c) { return c.b; }) / a), Byte(a)};
  }

  const FillStyle& fill_;
  std::array<Rgba, kRampSize> ramp_{};
  std::array<std::array<std::array<double, 4>, 2>, kRampSize - 1> steps_;  // gradients only
  const BitmapDef* bitmap_ = nullptr;
  Matrix inverse_;
  bool smooth_ = false;
};

// Room for the colours and coverage of a piece of a run.
constexpr int kPiece = Shader::kMaxPiece;
struct PieceBuffers {
  std::array<Rgba, kPiece> colours;
  std::array<std::uint8_t, kPiece> covers;
};

// One run of a fill at one coverage, scaled by the clip where there is one: the colours are
// worked out a piece at a time where anything covers them, then laid onto the row together.
// Layer targets take premultiplied source over; the frame takes the averaged blend. A solid
// fill's colour is already in every entry of `buf.colours`.
template <bool kLayer, bool kSolid, typename ShadePiece>
inline void PaintRun(Rgba* row, int x0, int x1, unsigned cover, const std::uint8_t* clipRow, ShadePiece shadePiece,
                     PieceBuffers& buf) {
  if constexpr (kSolid) {
    if (!clipRow && cover == 255 && buf.colours[0].a == 255) {
      std::fill(row + x0, row + x1, buf.colours[0]);
      return;
    }
  }
  Rgba* const colours = buf.colours.data();
  std::uint8_t* const covers = buf.covers.data();
  if (!clipRow) std::fill_n(covers, std::min(kPiece, x1 - x0), static_cast<std::uint8_t>(cover));
  for (int x = x0; x < x1;) {
    if (clipRow && clipRow[x] == 0) {
      x += ZeroRun(clipRow + x, x1 - x);
      continue;
    }
    const int n = std::min(kPiece, x1 - x);
    if (clipRow)
      for (int i = 0; i < n; ++i) covers[i] = static_cast<std::uint8_t>(cover * clipRow[x + i] / 255);
    if constexpr (!kSolid) shadePiece(x, n, covers, colours);
    if constexpr (kLayer) BlendPremultipliedRow(row + x, colours, covers, n);
    else BlendRow(row + x, colours, covers, n);
    x += n;
  }
}

void Paint(const DrawContext& ctx, const std::vector<Line>& lines, FillRule rule, const FillStyle& fill,
           const Matrix& toDevice, const ColorTransform& cx) {
  const int w = ctx.width();
  const int h = ctx.height();
  if (ctx.maskOut) {
    Rasterize(
        lines, rule, ctx.quality, w, h, [&](int y, int x0, int x1, std::uint8_t cover) {
      const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
      std::uint8_t* out = ctx.maskOut->data() + at;
      const std::uint8_t* clipRow = ctx.clip ? ctx.clip->data() + at : nullptr;
      if (!clipRow && cover == 255) {
        std::fill(out + x0, out + x1, std::uint8_t{255});
        return;
      }
      for (int x = x0; x < x1; ++x) {
        const unsigned c = clipRow ? cover * clipRow[x] / 255u : cover;
        // Full coverage, or nothing yet below: what the union below gives then.
        if (c == 0) continue;
        std::uint8_t& m = out[x];
        if (c == 255 || m == 0) m = static_cast<std::uint8_t>(c);
        else m = static_cast<std::uint8_t>(std::min(255u, m + c - m * c / 255));
      }
        }, ctx.rowTop, ctx.rowBottom);
    return;
  }
  const Shader shader(fill, toDevice, ctx);
  const bool solid = fill.kind == FillKind::Solid;
  const bool plain = cx.identity();
  const Rgba solidColor = cx.apply(fill.color);
  Rgba* const pixels = ctx.layer ? ctx.layer->pixels.data() : ctx.canvas->pixels.data();
  PieceBuffers buf;
  if (solid) buf.colours.fill(solidColor);
  Rasterize(lines, rule, ctx.quality, w, h, [&](int y, int x0, int x1, std::uint8_t cover) {
    const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
    Rgba* row = pixels + at;
    const std::uint8_t* clipRow = ctx.clip ? ctx.clip->data() + at : nullptr;
    const double py = y + 0.5;
    auto paint = [&](auto isSolid, auto shadePiece) {
      if (ctx.layer) PaintRun<true, decltype(isSolid)::value>(row, x0, x1, cover, clipRow, shadePiece, buf);
      else PaintRun<false, decltype(isSolid)::value>(row, x0, x1, cover, clipRow, shadePiece, buf);
    };
    auto shaded = [&](auto kind) {
      constexpr FillKind k = decltype(kind)::value;
      paint(std::false_type{}, [&shader, &cx, plain, py](int x, int n, const std::uint8_t* covers, Rgba* out) {
        shader.Piece<k>(x, py, n, covers, out);
        if (!plain)
          for (int i = 0; i < n; ++i)
            if (covers[i]) out[i] = cx.apply(out[i]);
      });
    };
    switch (solid ? FillKind::Solid : shader.kind()) {
      case FillKind::Solid: paint(std::true_type{}, [](int, int, const std::uint8_t*, Rgba*) {}); break;
      case FillKind::Linear: shaded(std::integral_constant<FillKind, FillKind::Linear>{}); break;
      case FillKind::Radial: shaded(std::integral_constant<FillKind, FillKind::Radial>{}); break;
      case FillKind::Focal: shaded(std::integral_constant<FillKind, FillKind::Focal>{}); break;
      case FillKind::Bitmap: shaded(std::integral_constant<FillKind, FillKind::Bitmap>{}); break;
    }
  }, ctx.rowTop, ctx.rowBottom);
}

bool Same(Point p, Point q) { return std::abs(p.x - q.x) < 1e-6 && std::abs(p.y - q.y) < 1e-6; }

}  // namespace

void DrawShape(const DrawContext& ctx, const ShapeGeometry& shape, const Matrix& toDevice, const ColorTransform& cx) {
  if (!ctx.canvas && !ctx.layer) return;
  
  for (const StyleGroup& group : shape.groups) {
    std::size_t lo = shape.fills.size() + 1, hi = 0;
    for (const Path& p : group.paths)
      for (std::size_t f : {p.fill0, p.fill1})
        if (f) lo = std::min(lo, f), hi = std::max(hi, f);
    for (std::size_t f = lo; f <= hi && f <= shape.fills.size(); ++f) {
      std::vector<Line> lines;
      for (const Path& p : group.paths) {
        if (p.fill0 != f && p.fill1 != f) continue;
        if (p.fill0 == f && p.fill1 == f) continue;  // both sides: an edge inside the fill
        std::vector<Point> pts;
        for (const Edge& e : p.edges) {
          pts.clear();
          const Point a = toDevice.apply(e.from);
          pts.push_back(a);
          Flatten(a, toDevice.apply(e.control), toDevice.apply(e.to), e.curve, pts);
          for (std::size_t i = 0; i + 1 < pts.size(); ++i) lines.push_back({pts[i], pts[i + 1]});
        }
      }
      Paint(ctx, lines, FillRule::EvenOdd, shape.fills[f - 1], toDevice, cx);
    }
    if (ctx.maskOut) continue;  // a mask is its fills' outline; its strokes do not widen it
    std::size_t llo = shape.lines.size() + 1, lhi = 0;
    for (const Path& p : group.paths)
      if (p.line) llo = std::min(llo, p.line), lhi = std::max(lhi, p.line);
    for (std::size_t l = llo; l <= lhi && l <= shape.lines.size(); ++l) {
      const LineStyle& ls = shape.lines[l - 1];
      // A stroke is as wide on the device as its width scaled by the object's stretch along
      // the axes it scales with, and at least one pixel.
      const double sx = std::hypot(toDevice.a, toDevice.b), sy = std::hypot(toDevice.c, toDevice.d);
      const double stretch = ls.noHScale && ls.noVScale ? 1.0 / 20
                             : ls.noHScale             ? sy
                             : ls.noVScale             ? sx
                                                       : std::min(sx, sy);
      StrokeStyle st;
      // Thinner than a pixel, or a pixel wide and unscaled (how authoring tools store a
      // hairline), it is drawn as a hairline.
      const double device = ls.width * stretch;
      st.hairline = device < 1 || (device <= 1 && ls.noHScale && ls.noVScale);
      st.width = std::max(1.0, ls.width * stretch);
      st.startCap = ls.startCap;
      st.endCap = ls.endCap;
      st.join = ls.join;
      st.miterLimit = std::max(1.0, ls.miterLimit);
      // A stroke that scales with its object is stretched with it where the object is scaled
      // more along one of its axes than the other: edges across the longer axis are thicker. It
      // is outlined where that stretch is undone (beyond the smaller scale), then stretched back.
      // A sheared object's strokes keep the smaller scale all round.
      const bool sheared = std::abs(toDevice.a * toDevice.c + toDevice.b * toDevice.d) > 1e-9 * sx * sy;
      const bool stretched = !ls.noHScale && !ls.noVScale && !st.hairline && stretch > 0 && !sheared &&
                             std::abs(sx - sy) > 1e-9 * std::max(sx, sy);
      const Matrix stretchBack{toDevice.a / stretch, toDevice.b / stretch, toDevice.c / stretch, toDevice.d / stretch, 0, 0};
      const Matrix undo = stretched ? stretchBack.inverse() : Matrix{};
      std::vector<Line> lines;
      std::vector<Point> pts;
      std::vector<bool> smooth;
      auto finish = [&] {
        if (pts.empty()) return;
        const bool closed = !ls.noClose && pts.size() > 2 && Same(pts.front(), pts.back());
        if (stretched) {
          for (Point& p : pts) p = undo.apply(p);
          const std::size_t from = lines.size();
          StrokePolyline(pts, smooth, closed, st, lines);
          for (std::size_t i = from; i < lines.size(); ++i)
            lines[i] = {stretchBack.apply(lines[i].a), stretchBack.apply(lines[i].b)};
        } else {
          StrokePolyline(pts, smooth, closed, st, lines);
        }
        pts.clear();
        smooth.clear();
      };
      // Edges of one line style continue across paths that only change fills.
      Point last;
      for (const Path& p : group.paths) {
        if (p.line != l) continue;
        for (const Edge& e : p.edges) {
          if (pts.empty() || !Same(e.from, last)) {
            finish();
            pts.push_back(toDevice.apply(e.from));
            smooth.push_back(false);
          }
          const std::size_t before = pts.size();
          Flatten(pts.back(), toDevice.apply(e.control), toDevice.apply(e.to), e.curve, pts);
          for (std::size_t i = before; i < pts.size(); ++i) smooth.push_back(i + 1 < pts.size());
          last = e.to;
        }
      }
      finish();
      FillStyle fs;
      if (ls.fill) fs = *ls.fill;
      else fs.color = ls.color;
      Paint(ctx, lines, FillRule::NonZero, fs, toDevice, cx);
    }
  }
}

}  // namespace quillon::player
