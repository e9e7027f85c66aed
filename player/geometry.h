// Matrices, colour transforms and colours as the movie stores them, in twips unless noted.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace quillon::player {

struct Point {
  double x = 0, y = 0;
};

// x' = a x + c y + tx, y' = b x + d y + ty.
struct Matrix {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
  bool operator==(const Matrix&) const = default;
  // this after `inner`: first inner, then this.
  Matrix operator*(const Matrix& inner) const {
    return {a * inner.a + c * inner.b,  b * inner.a + d * inner.b,  a * inner.c + c * inner.d,
            b * inner.c + d * inner.d,  a * inner.tx + c * inner.ty + tx, b * inner.tx + d * inner.ty + ty};
  }
  double det() const { return a * d - b * c; }
  // A singular matrix inverts to the zero map, so nothing sampled through it is undefined.
  Matrix inverse() const {
    const double k = det();
    if (k == 0 || !std::isfinite(k)) return {0, 0, 0, 0, 0, 0};
    return {d / k, -b / k, -c / k, a / k, (c * ty - d * tx) / k, (b * tx - a * ty) / k};
  }
  static Matrix Scale(double s) { return {s, 0, 0, s, 0, 0}; }
  static Matrix Translate(double x, double y) { return {1, 0, 0, 1, x, y}; }
};

struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Rgba&) const = default;
};

// std::lround, inlined for the per-pixel paths: halves round away from zero. Values far out of
// any channel's range take the library's own answer.
inline long RoundHalfAway(double v) {
  if (!(v < 1e9 && v > -1e9)) return std::lround(v);
  const long r = static_cast<long>(v);
  const double f = v - static_cast<double>(r);
  return f >= 0.5 ? r + 1 : f <= -0.5 ? r - 1 : r;
}

// Multipliers are fractions (the stored 8.8 values / 256), additions are in 0..255 units.
struct ColorTransform {
  double rm = 1, gm = 1, bm = 1, am = 1;
  double ra = 0, ga = 0, ba = 0, aa = 0;

  // this after `inner`.
  ColorTransform operator*(const ColorTransform& in) const {
    return {rm * in.rm, gm * in.gm, bm * in.bm, am * in.am,
            in.ra * rm + ra, in.ga * gm + ga, in.ba * bm + ba, in.aa * am + aa};
  }
  bool identity() const {
    return rm == 1 && gm == 1 && bm == 1 && am == 1 && ra == 0 && ga == 0 && ba == 0 && aa == 0;
  }
  static std::uint8_t Channel(double v, double m, double add) {
    return static_cast<std::uint8_t>(std::clamp(RoundHalfAway(v * m + add), 0l, 255l));
  }
  Rgba apply(Rgba c) const {
    return {Channel(c.r, rm, ra), Channel(c.g, gm, ga), Channel(c.b, bm, ba), Channel(c.a, am, aa)};
  }
};

inline double Lerp(double a, double b, double t) { return a + (b - a) * t; }
inline Rgba LerpRgba(Rgba a, Rgba b, double t) {
  auto ch = [t](std::uint8_t x, std::uint8_t y) {
    return static_cast<std::uint8_t>(std::clamp(RoundHalfAway(Lerp(x, y, t)), 0l, 255l));
  };
  return {ch(a.r, b.r), ch(a.g, b.g), ch(a.b, b.b), ch(a.a, b.a)};
}

}  // namespace quillon::player
