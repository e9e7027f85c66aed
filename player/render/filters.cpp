#include "render/filters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <tuple>
#include <type_traits>

namespace quillon::player {
namespace {

// No filter grows a layer by more than this per side: blurs of hundreds of pixels over many
// passes at a large display scale would otherwise ask for gigabytes.
constexpr int kMaxGrowth = 1024;

inline std::uint8_t Mul255(int a, int b) { return static_cast<std::uint8_t>((a * b + 127) / 255); }

std::uint8_t ClampByte(double v) {
  if (!(v > 0)) return 0;
  if (v >= 255) return 255;
  return static_cast<std::uint8_t>(v < 0.5 ? 0 : static_cast<int>(v + 0.5));  // lround for 0 < v < 255
}

int Passes(int passes) { return std::clamp(passes, 0, 15); }

// A blur's size in device pixels: the display's scale widens the box's reach beyond its centre
// pixel, so a 10-pixel blur drawn twice as large is 19 pixels wide, not 20.
double DeviceBlur(double size, double scale) { return size > 1 ? (size - 1) * scale + 1 : size; }

// Division by a blur's fixed divisor as a multiply and shift, exact for every numerator below
// 2^29 (a blur's sums stay below that: KernelFor caps the size): the multiplier is
// ceil(2^(29 + l) / d) with 2^l >= d, whose error stays below one part in 2^29.
class Divider {
 public:
  explicit Divider(std::uint32_t d) {
    int l = 0;
    while ((std::uint64_t{1} << l) < d) ++l;
    shift_ = 29 + l;
    m_ = ((std::uint64_t{1} << shift_) + d - 1) / d;
  }
  std::uint32_t operator()(std::uint32_t a) const { return static_cast<std::uint32_t>((a * m_) >> shift_); }

 private:
  std::uint64_t m_ = 1;
  int shift_ = 0;
};

// The vertical axis of a blur over a block of `rows` rows of `width` bytes, `stride` apart,
// every byte a sample of its own column: walked row by row, so each row is read whole instead
// of one byte a row. The sums are BlurAxis's, so the result is the same.
void BlurDown(std::uint8_t* data, int rows, std::size_t width, std::size_t stride, BoxKernel k, std::uint8_t outside) {
  if (k.identity() || rows <= 0 || width == 0) return;
  const std::uint32_t div = 256u * static_cast<std::uint32_t>(2 * k.whole + 1) + 2u * static_cast<std::uint32_t>(k.edge);
  const Divider divide(div);
  std::vector<std::uint8_t> src(static_cast<std::size_t>(rows) * width);
  for (long i = 0; i < rows; ++i)
    std::copy_n(data + static_cast<std::size_t>(i) * stride, width, src.data() + static_cast<std::size_t>(i) * width);
  const std::vector<std::uint8_t> clear(width, outside);
  auto at = [&](long t) { return t < 0 || t >= rows ? clear.data() : src.data() + static_cast<std::size_t>(t) * width; };
  std::vector<std::uint32_t> acc(width, 0);
  for (long t = -k.whole; t <= k.whole; ++t) {
    const std::uint8_t* r = at(t);
    for (std::size_t j = 0; j < width; ++j) acc[j] += r[j];
  }
  const std::uint32_t edge = static_cast<std::uint32_t>(k.edge);
  for (long i = 0; i < rows; ++i) {
    std::uint8_t* out = data + static_cast<std::size_t>(i) * stride;
    const std::uint8_t* enter = at(i + k.whole + 1);
    const std::uint8_t* leave = at(i - k.whole);
    if (edge > 0) {
      const std::uint8_t* above = at(i - k.whole - 1);
      for (std::size_t j = 0; j < width; ++j) {
        out[j] = static_cast<std::uint8_t>(divide(acc[j] * 256 + edge * (above[j] + enter[j]) + div / 2));
        acc[j] = acc[j] + enter[j] - leave[j];
      }
    } else {
      for (std::size_t j = 0; j < width; ++j) {
        out[j] = static_cast<std::uint8_t>(divide(acc[j] * 256 + div / 2));
        acc[j] = acc[j] + enter[j] - leave[j];
      }
    }
  }
}

// One axis of a blur over `lines` runs of `count` samples: sample k of line l sits at
// data[l * lineStep + k * step]. Samples beyond a run read as `outside`. A running sum
// slides along each line; the sums stay below 2^32 (KernelFor caps the size).
void BlurAxis(std::uint8_t* data, int count, int lines, std::size_t step, std::size_t lineStep, BoxKernel k,
              std::uint8_t outside) {
  if (k.identity() || count <= 0) return;
  const int r = k.reach();
  const std::uint32_t div = 256u * static_cast<std::uint32_t>(2 * k.whole + 1) + 2u * static_cast<std::uint32_t>(k.edge);
  const Divider divide(div);
  const std::uint32_t edge = static_cast<std::uint32_t>(k.edge);
  // One more on the right: the last step of the running sum reads a sample past the reach.
  std::vector<std::uint8_t> line(static_cast<std::size_t>(count + 2 * r + 1), outside);
  std::uint8_t* const padded = line.data() + r;
  for (int l = 0; l < lines; ++l) {
    std::uint8_t* base = data + static_cast<std::size_t>(l) * lineStep;
    if (step == 1) std::copy_n(base, count, padded);
    else
      for (int i = 0; i < count; ++i) padded[i] = base[static_cast<std::size_t>(i) * step];
    std::uint32_t acc = 0;
    for (int t = -k.whole; t <= k.whole; ++t) acc += padded[t];
    for (int i = 0; i < count; ++i) {
      std::uint32_t sum = acc * 256 + div / 2;
      if (edge > 0) sum += edge * (padded[i - k.whole - 1] + padded[i + k.whole + 1]);
      base[static_cast<std::size_t>(i) * step] = static_cast<std::uint8_t>(divide(sum));
      acc = acc + padded[i + k.whole + 1] - padded[i - k.whole];
    }
  }
}

// Kernels for both axes, shrunk when their passes would grow the layer past kMaxGrowth.
std::pair<BoxKernel, BoxKernel> Kernels(double blurX, double blurY, int passes) {
  auto fit = [passes](double size) {
    BoxKernel k = KernelFor(size);
    while (passes > 0 && k.reach() * passes > kMaxGrowth) k = KernelFor(2.0 * (kMaxGrowth / passes) - 1);
    return k;
  };
  return {fit(blurX), fit(blurY)};
}

// Blurs `channels` interleaved channels of a w x h block in place; the block already holds
// the margin the blur grows into, `outside` all round the content, which starts `gx` and `gy`
// pixels in from each side. Each pass works only where the content has reached: a box over
// samples that all hold `outside` gives `outside` back.
void BlurBlock(std::uint8_t* data, int w, int h, int channels, BoxKernel kx, BoxKernel ky, int passes, int gx, int gy,
               std::uint8_t outside) {
  const std::size_t pixel = static_cast<std::size_t>(channels);
  const std::size_t row = static_cast<std::size_t>(w) * pixel;
  int x0 = gx, x1 = w - gx, y0 = gy, y1 = h - gy;
  for (int p = 0; p < passes && x0 < x1 && y0 < y1; ++p) {
    x0 = std::max(0, x0 - kx.reach()), x1 = std::min(w, x1 + kx.reach());
    std::uint8_t* const rows = data + static_cast<std::size_t>(y0) * row + static_cast<std::size_t>(x0) * pixel;
    for (int c = 0; c < channels; ++c) BlurAxis(rows + c, x1 - x0, y1 - y0, pixel, row, kx, outside);
    y0 = std::max(0, y0 - ky.reach()), y1 = std::min(h, y1 + ky.reach());
    BlurDown(data + static_cast<std::size_t>(y0) * row + static_cast<std::size_t>(x0) * pixel, y1 - y0,
             static_cast<std::size_t>(x1 - x0) * pixel, row, ky, outside);
  }
}

Plane AlphaOf(const Layer& in) {
  Plane a(in.x, in.y, in.width, in.height, 0);
  for (std::size_t i = 0; i < a.values.size(); ++i) a.values[i] = in.pixels[i].a;
  return a;
}

Rgba Premultiplied(Rgba c) { return {Mul255(c.r, c.a), Mul255(c.g, c.a), Mul255(c.b, c.a), c.a}; }

// A premultiplied colour at `amount` / 255 of its strength.
inline Rgba Scaled(Rgba premul, int amount) {
  if (amount >= 255) return premul;  // Mul255(v, 255) is v
  if (amount <= 0) return {0, 0, 0, 0};
  return {Mul255(premul.r, amount), Mul255(premul.g, amount), Mul255(premul.b, amount), Mul255(premul.a, amount)};
}

// `top` over `bottom`, both premultiplied.
inline Rgba Over(Rgba top, Rgba bottom) {
  // An opaque top hides the bottom; a clear one (premultiplied, so all zero) shows it as it is.
  if (top.a == 255) return top;
  if (top == Rgba{0, 0, 0, 0}) return bottom;
  const int keep = 255 - top.a;
  auto ch = [keep](std::uint8_t t, std::uint8_t b) { return static_cast<std::uint8_t>(std::min(255, t + Mul255(b, keep))); };
  return {ch(top.r, bottom.r), ch(top.g, bottom.g), ch(top.b, bottom.b), ch(top.a, bottom.a)};
}

// `top` over `bottom` where `bottom` is, both premultiplied: what the object covers takes
// the colour, what it leaves clear stays clear.
inline Rgba Atop(Rgba top, Rgba bottom) {
  if (bottom.a == 0 || top.a == 0) return bottom;
  const int keep = 255 - top.a;
  auto ch = [&](std::uint8_t t, std::uint8_t b) {
    return static_cast<std::uint8_t>(std::min(255, Mul255(t, bottom.a) + Mul255(b, keep)));
  };
  return {ch(top.r, bottom.r), ch(top.g, bottom.g), ch(top.b, bottom.b), bottom.a};
}

struct Rect {
  int x0, y0, x1, y1;  // x1, y1 exclusive
};
Rect Union(Rect a, Rect b) { return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)}; }
Rect RectOf(const Layer& l) { return {l.x, l.y, l.x + l.width, l.y + l.height}; }
Rect RectOf(const Plane& p) { return {p.x, p.y, p.x + p.width, p.y + p.height}; }


// The offset a shadow or bevel moves by, in whole device pixels.
std::pair<int, int> Offset(double angle, double distance, double sx, double sy) {
  const double dx = std::cos(angle) * distance * sx, dy = std::sin(angle) * distance * sy;
  auto whole = [](double v) { return std::isfinite(v) ? static_cast<int>(std::clamp(std::lround(v), -long{kMaxGrowth}, long{kMaxGrowth})) : 0; };
  return {whole(dx), whole(dy)};
}

std::uint8_t Strengthen(int v, double strength) { return ClampByte(v * strength); }

// What a shadow-like filter has in common: one colour per strength value (a plain colour or
// a gradient), the filter's placement and how it combines with the object.
struct ShadowSpec {
  std::array<Rgba, 256> lut{};  // premultiplied colour for each strength
  double blurX = 0, blurY = 0, angle = 0, distance = 0, strength = 1;
  bool inner = false, knockout = false, compositeSource = true;
  int passes = 1;
};

// Row `y` of a plane over the device columns [x0, x0 + n), `outside` where it has no values.
void PlaneRow(const Plane& p, int y, int x0, int n, std::uint8_t outside, std::uint8_t* dst) {
  int a = std::max(x0, p.x), b = std::min(x0 + n, p.x + p.width);
  if (y < p.y || y >= p.y + p.height || a >= b) a = b = x0;
  else
    std::copy_n(p.values.data() + static_cast<std::size_t>(y - p.y) * static_cast<std::size_t>(p.width) + (a - p.x),
                b - a, dst + (a - x0));
  std::fill(dst, dst + (a - x0), outside);
  std::fill(dst + (b - x0), dst + n, outside);
}

// Row `y` of a layer over the device columns [x0, x0 + n), clear where it has no pixels.
void LayerRow(const Layer& l, int y, int x0, int n, Rgba* dst) {
  int a = std::max(x0, l.x), b = std::min(x0 + n, l.x + l.width);
  if (y < l.y || y >= l.y + l.height || a >= b) a = b = x0;
  else
    std::copy_n(l.pixels.data() + static_cast<std::size_t>(y - l.y) * static_cast<std::size_t>(l.width) + (a - l.x),
                b - a, dst + (a - x0));
  std::fill(dst, dst + (a - x0), Rgba{0, 0, 0, 0});
  std::fill(dst + (b - x0), dst + n, Rgba{0, 0, 0, 0});
}

// Runs `combine(src, colourIndex)` for every pixel of `out`, row by row: the object's pixel
// and the blurred plane's value there (moved by dx, dy), both read as whole rows.
template <class Combine>
void EachShadowPixel(Layer& out, const Layer& in, const Plane& blurred, std::uint8_t outside, Combine combine) {
  const int w = out.width;
  std::vector<std::uint8_t> values(static_cast<std::size_t>(w));
  std::vector<Rgba> src(static_cast<std::size_t>(w));
  for (int j = 0; j < out.height; ++j) {
    const int y = out.y + j;
    PlaneRow(blurred, y, out.x, w, outside, values.data());
    LayerRow(in, y, out.x, w, src.data());
    Rgba* o = out.pixels.data() + static_cast<std::size_t>(j) * static_cast<std::size_t>(w);
    for (int i = 0; i < w; ++i) o[i] = combine(src[static_cast<std::size_t>(i)], values[static_cast<std::size_t>(i)]);
  }
}

Layer Shadow(const Layer& in, const ShadowSpec& s, double sx, double sy) {
  const auto [dx, dy] = Offset(s.angle, s.distance, sx, sy);
  const int passes = Passes(s.passes);
  // Inside, the shadow falls from the object's surroundings, so the inverted alpha is blurred.
  Plane source(in.x, in.y, in.width, in.height, 0);
  const std::uint8_t outside = s.inner ? 255 : 0;
  for (std::size_t i = 0; i < source.values.size(); ++i)
    source.values[i] = static_cast<std::uint8_t>(s.inner ? 255 - in.pixels[i].a : in.pixels[i].a);
  Plane blurred = BlurPlane(source, DeviceBlur(s.blurX, sx), DeviceBlur(s.blurY, sy), passes, outside);
  blurred.x += dx;
  blurred.y += dy;
  const Rect r = s.inner ? RectOf(in) : Union(RectOf(in), RectOf(blurred));
  Layer out(r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0);
  // The shade for each blurred value, strength applied.
  std::array<Rgba, 256> shade{};
  for (int v = 0; v < 256; ++v) shade[static_cast<std::size_t>(v)] = s.lut[Strengthen(v, s.strength)];
  if (s.inner && (s.knockout || !s.compositeSource))
    EachShadowPixel(out, in, blurred, outside, [&](Rgba src, std::uint8_t v) { return Scaled(shade[v], src.a); });
  else if (s.inner)
    EachShadowPixel(out, in, blurred, outside, [&](Rgba src, std::uint8_t v) { return Atop(shade[v], src); });
  else if (s.knockout)
    EachShadowPixel(out, in, blurred, outside, [&](Rgba src, std::uint8_t v) { return Scaled(shade[v], 255 - src.a); });
  else if (!s.compositeSource)
    EachShadowPixel(out, in, blurred, outside, [&](Rgba, std::uint8_t v) { return shade[v]; });
  else
    EachShadowPixel(out, in, blurred, outside, [&](Rgba src, std::uint8_t v) { return Over(src, shade[v]); });
  return out;
}

struct BevelSpec {
  // Premultiplied colour for each index: 0 the full highlight, 128 nothing, 255 the full shadow.
  std::array<Rgba, 256> lut{};
  double blurX = 0, blurY = 0, angle = 0, distance = 0, strength = 1;
  bool inner = true, knockout = false, compositeSource = true, onTop = false;
  int passes = 1;
};

// Runs `combine(src, colour)` for every pixel of `out`, row by row: the object's pixel and the
// bevel's colour for the difference of the blurred alpha towards the light (back along dx, dy)
// and away from it.
template <class Combine>
void EachBevelPixel(Layer& out, const Layer& in, const Plane& blurred, int dx, int dy,
                    const std::array<Rgba, 511>& colourOf, Combine combine) {
  const int w = out.width;
  std::vector<std::uint8_t> lit(static_cast<std::size_t>(w)), away(static_cast<std::size_t>(w));
  std::vector<Rgba> src(static_cast<std::size_t>(w));
  for (int j = 0; j < out.height; ++j) {
    const int y = out.y + j;
    PlaneRow(blurred, y - dy, out.x - dx, w, 0, lit.data());
    PlaneRow(blurred, y + dy, out.x + dx, w, 0, away.data());
    LayerRow(in, y, out.x, w, src.data());
    Rgba* o = out.pixels.data() + static_cast<std::size_t>(j) * static_cast<std::size_t>(w);
    for (std::size_t i = 0; i < static_cast<std::size_t>(w); ++i)
      o[i] = combine(src[i], colourOf[static_cast<std::size_t>(lit[i] - away[i] + 255)]);
  }
}

Layer Bevel(const Layer& in, const BevelSpec& s, double sx, double sy) {
  const Plane blurred = BlurPlane(AlphaOf(in), DeviceBlur(s.blurX, sx), DeviceBlur(s.blurY, sy), Passes(s.passes), 0);
  const auto [dx, dy] = Offset(s.angle, s.distance, sx, sy);
  const bool inner = s.inner && !s.onTop, outer = !s.inner && !s.onTop;
  Rect r = RectOf(in);
  if (!inner) {
    const Rect b = RectOf(blurred);
    r = Union(r, Union({b.x0 - std::abs(dx), b.y0 - std::abs(dy), b.x1 + std::abs(dx), b.y1 + std::abs(dy)}, r));
  }
  Layer out(r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0);
  // The colour for each difference of the two blurred alphas (-255 .. 255).
  std::array<Rgba, 511> colourOf{};
  for (int shade = -255; shade <= 255; ++shade) {
    const double v = std::clamp(shade * s.strength, -255.0, 255.0);
    const int index = std::clamp(static_cast<int>(RoundHalfAway(128 + v / 2)), 0, 255);
    colourOf[static_cast<std::size_t>(shade + 255)] = s.lut[static_cast<std::size_t>(index)];
  }
  if (inner && (s.knockout || !s.compositeSource))
    EachBevelPixel(out, in, blurred, dx, dy, colourOf, [](Rgba src, Rgba c) { return Scaled(c, src.a); });
  else if (inner)
    EachBevelPixel(out, in, blurred, dx, dy, colourOf, [](Rgba src, Rgba c) { return Atop(c, src); });
  else if (outer && s.knockout)
    EachBevelPixel(out, in, blurred, dx, dy, colourOf, [](Rgba src, Rgba c) { return Scaled(c, 255 - src.a); });
  else if (outer && s.compositeSource)
    EachBevelPixel(out, in, blurred, dx, dy, colourOf, [](Rgba src, Rgba c) { return Over(src, c); });
  else if (!outer && !s.knockout && s.compositeSource)
    EachBevelPixel(out, in, blurred, dx, dy, colourOf, [](Rgba src, Rgba c) { return Over(c, src); });
  else
    EachBevelPixel(out, in, blurred, dx, dy, colourOf, [](Rgba, Rgba c) { return c; });
  return out;
}

std::array<Rgba, 256> PlainLut(Rgba color) {
  std::array<Rgba, 256> lut{};
  const Rgba c = Premultiplied(color);
  for (int i = 0; i < 256; ++i) lut[static_cast<std::size_t>(i)] = Scaled(c, i);
  return lut;
}

// A bevel's two colours on one scale: the highlight fades out towards the middle (128) and the
// shadow in beyond it, both in steps of 1/128, so the highlight is full at 0 and the shadow
// reaches 127/128 of full at 255.
std::array<Rgba, 256> BevelLut(Rgba highlight, Rgba shadow) {
  std::array<Rgba, 256> lut{};
  const Rgba h = Premultiplied(highlight), sh = Premultiplied(shadow);
  for (int i = 0; i < 256; ++i) {
    const int amount = std::min(255, (std::abs(i - 128) * 255 + 127) / 128);
    lut[static_cast<std::size_t>(i)] = Scaled(i < 128 ? h : sh, amount);
  }
  return lut;
}

std::array<Rgba, 256> GradientLut(const std::vector<GradientFilterStop>& stops) {
  std::array<Rgba, 256> lut{};
  if (stops.empty()) return lut;
  for (int i = 0; i < 256; ++i) {
    std::size_t k = 0;
    while (k < stops.size() && stops[k].ratio < i) ++k;
    Rgba c;
    if (k == 0) c = stops.front().color;
    else if (k == stops.size()) c = stops.back().color;
    else {
      const GradientFilterStop& a = stops[k - 1];
      const GradientFilterStop& b = stops[k];
      const int span = b.ratio - a.ratio;
      c = span <= 0 ? b.color : LerpRgba(a.color, b.color, static_cast<double>(i - a.ratio) / span);
    }
    lut[static_cast<std::size_t>(i)] = Premultiplied(c);
  }
  return lut;
}

Layer Convolve(const Layer& in, const ConvolutionFilter& f) {
  Layer out(in.x, in.y, in.width, in.height);
  const int cols = f.columns, rows = f.rows;
  if (cols <= 0 || rows <= 0 || f.matrix.size() < static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows)) return in;
  const double divisor = f.divisor == 0 ? 1.0 : f.divisor;
  // The sums run over straight colours.
  std::vector<std::array<double, 4>> straight(in.pixels.size());
  for (std::size_t i = 0; i < in.pixels.size(); ++i) {
    const Rgba p = in.pixels[i];
    const double k = p.a ? 255.0 / p.a : 0.0;
    straight[i] = {p.r * k, p.g * k, p.b * k, static_cast<double>(p.a)};
  }
  const std::array<double, 4> fallback = {static_cast<double>(f.defaultColor.r), static_cast<double>(f.defaultColor.g),
                                          static_cast<double>(f.defaultColor.b), static_cast<double>(f.defaultColor.a)};
  for (int y = 0; y < in.height; ++y) {
    for (int x = 0; x < in.width; ++x) {
      std::array<double, 4> sum{};
      for (int j = 0; j < rows; ++j) {
        for (int i = 0; i < cols; ++i) {
          int px = x + i - cols / 2, py = y + j - rows / 2;
          const bool inside = px >= 0 && py >= 0 && px < in.width && py < in.height;
          if (!inside && f.clamp) {
            px = std::clamp(px, 0, in.width - 1);
            py = std::clamp(py, 0, in.height - 1);
          }
          const auto& v = inside || f.clamp
                              ? straight[static_cast<std::size_t>(py) * static_cast<std::size_t>(in.width) + static_cast<std::size_t>(px)]
                              : fallback;
          const double w = f.matrix[static_cast<std::size_t>(j) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(i)];
          for (int c = 0; c < 4; ++c) sum[static_cast<std::size_t>(c)] += w * v[static_cast<std::size_t>(c)];
        }
      }
      const Rgba src = in.at(x, y);
      const std::uint8_t a = f.preserveAlpha ? src.a : ClampByte(sum[3] / divisor + f.bias);
      out.at(x, y) = Premultiplied({ClampByte(sum[0] / divisor + f.bias), ClampByte(sum[1] / divisor + f.bias),
                                    ClampByte(sum[2] / divisor + f.bias), a});
    }
  }
  return out;
}

}  // namespace

BoxKernel KernelFor(double size) {
  BoxKernel k;
  if (!std::isfinite(size) || size <= 1) return k;
  const double half = (std::min(size, 4.0 * kMaxGrowth) - 1) / 2;
  k.whole = static_cast<int>(std::floor(half));
  k.edge = static_cast<int>(std::lround((half - k.whole) * 256));
  if (k.edge >= 256) {
    ++k.whole;
    k.edge = 0;
  }
  return k;
}

Plane BlurPlane(const Plane& in, double blurX, double blurY, int passes, std::uint8_t outside) {
  passes = Passes(passes);
  const auto [kx, ky] = Kernels(blurX, blurY, passes);
  const int gx = kx.reach() * passes, gy = ky.reach() * passes;
  Plane out(in.x - gx, in.y - gy, in.width + 2 * gx, in.height + 2 * gy, outside);
  for (int j = 0; j < in.height; ++j)
    std::copy_n(in.values.begin() + static_cast<std::ptrdiff_t>(j) * in.width, in.width,
                out.values.begin() + static_cast<std::ptrdiff_t>(j + gy) * out.width + gx);
  BlurBlock(out.values.data(), out.width, out.height, 1, kx, ky, passes, gx, gy, outside);
  return out;
}

Layer BlurLayer(const Layer& in, double blurX, double blurY, int passes) {
  passes = Passes(passes);
  const auto [kx, ky] = Kernels(blurX, blurY, passes);
  const int gx = kx.reach() * passes, gy = ky.reach() * passes;
  Layer out(in.x - gx, in.y - gy, in.width + 2 * gx, in.height + 2 * gy);
  for (int j = 0; j < in.height; ++j)
    std::copy_n(in.pixels.begin() + static_cast<std::ptrdiff_t>(j) * in.width, in.width,
                out.pixels.begin() + static_cast<std::ptrdiff_t>(j + gy) * out.width + gx);
  static_assert(sizeof(Rgba) == 4 && std::is_standard_layout_v<Rgba>);
  BlurBlock(reinterpret_cast<std::uint8_t*>(out.pixels.data()), out.width, out.height, 4, kx, ky, passes, gx, gy, 0);
  return out;
}

Layer ColorMatrixLayer(const Layer& in, const float (&m)[20]) {
  Layer out(in.x, in.y, in.width, in.height);
  for (std::size_t i = 0; i < in.pixels.size(); ++i) {
    const Rgba p = in.pixels[i];
    const double k = p.a ? 255.0 / p.a : 0.0;
    const double c[4] = {p.r * k, p.g * k, p.b * k, static_cast<double>(p.a)};
    std::uint8_t v[4];
    for (int row = 0; row < 4; ++row) {
      const float* w = m + row * 5;
      v[row] = ClampByte(w[0] * c[0] + w[1] * c[1] + w[2] * c[2] + w[3] * c[3] + w[4]);
    }
    out.pixels[i] = Premultiplied({v[0], v[1], v[2], v[3]});
  }
  return out;
}

Layer ApplyFilter(const Layer& in, const Filter& f, double sx, double sy) {
  if (in.empty()) return in;
  return std::visit(
      [&](const auto& v) -> Layer {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, BlurFilter>) {
          return BlurLayer(in, DeviceBlur(v.blurX, sx), DeviceBlur(v.blurY, sy), v.passes);
        } else if constexpr (std::is_same_v<T, DropShadowFilter> || std::is_same_v<T, GlowFilter>) {
          ShadowSpec s;
          s.lut = PlainLut(v.color);
          s.blurX = v.blurX, s.blurY = v.blurY, s.strength = v.strength, s.passes = v.passes;
          s.inner = v.inner, s.knockout = v.knockout, s.compositeSource = v.compositeSource;
          if constexpr (std::is_same_v<T, DropShadowFilter>) s.angle = v.angle, s.distance = v.distance;
          return Shadow(in, s, sx, sy);
        } else if constexpr (std::is_same_v<T, BevelFilter>) {
          BevelSpec s;
          s.lut = BevelLut(v.highlight, v.shadow);
          s.blurX = v.blurX, s.blurY = v.blurY, s.angle = v.angle, s.distance = v.distance, s.strength = v.strength;
          s.inner = v.inner, s.knockout = v.knockout, s.compositeSource = v.compositeSource, s.onTop = v.onTop;
          s.passes = v.passes;
          return Bevel(in, s, sx, sy);
        } else if constexpr (std::is_same_v<T, GradientFilter>) {
          if (v.bevel) {
            BevelSpec s;
            s.lut = GradientLut(v.stops);
            s.blurX = v.blurX, s.blurY = v.blurY, s.angle = v.angle, s.distance = v.distance, s.strength = v.strength;
            s.inner = v.inner, s.knockout = v.knockout, s.compositeSource = v.compositeSource, s.onTop = v.onTop;
            s.passes = v.passes;
            return Bevel(in, s, sx, sy);
          }
          ShadowSpec s;
          s.lut = GradientLut(v.stops);
          s.blurX = v.blurX, s.blurY = v.blurY, s.angle = v.angle, s.distance = v.distance, s.strength = v.strength;
          s.inner = v.inner, s.knockout = v.knockout, s.compositeSource = v.compositeSource, s.passes = v.passes;
          return Shadow(in, s, sx, sy);
        } else if constexpr (std::is_same_v<T, ConvolutionFilter>) {
          return Convolve(in, v);
        } else {
          return ColorMatrixLayer(in, v.matrix);
        }
      },
      f);
}

FilterReach ReachOf(const Filter& f, double sx, double sy) {
  return std::visit(
      [&](const auto& v) -> FilterReach {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, ConvolutionFilter> || std::is_same_v<T, ColorMatrixFilter>) {
          return {};
        } else {
          const int passes = Passes(v.passes);
          const auto [kx, ky] = Kernels(DeviceBlur(v.blurX, sx), DeviceBlur(v.blurY, sy), passes);
          const int gx = kx.reach() * passes, gy = ky.reach() * passes;
          if constexpr (std::is_same_v<T, BlurFilter>) {
            return {gx, gy, gx, gy};
          } else {
            bool inner = v.inner;
            double angle = 0, distance = 0;
            if constexpr (!std::is_same_v<T, GlowFilter>) angle = v.angle, distance = v.distance;
            int dx = 0, dy = 0;
            std::tie(dx, dy) = Offset(angle, distance, sx, sy);
            bool twoSided = false;
            if constexpr (std::is_same_v<T, BevelFilter>) {
              inner = v.inner && !v.onTop;
              twoSided = true;
            } else if constexpr (std::is_same_v<T, GradientFilter>) {
              if (v.bevel) inner = v.inner && !v.onTop, twoSided = true;
            }
            if (inner) return {};
            if (twoSided) return {gx + std::abs(dx), gy + std::abs(dy), gx + std::abs(dx), gy + std::abs(dy)};
            return {gx + std::max(0, -dx), gy + std::max(0, -dy), gx + std::max(0, dx), gy + std::max(0, dy)};
          }
        }
      },
      f);
}

}  // namespace quillon::player
