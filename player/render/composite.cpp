#include "render/composite.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon::player {
namespace {

// x / 255 rounded, for x up to 255 * 255 * 4.
inline int Div255(int x) {
  x += 128;
  return (x + (x >> 8)) >> 8;
}
inline int Mul(int a, int b) { return Div255(a * b); }
inline std::uint8_t Byte(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

// The mixed term of a separable mode, premultiplied, in 255 * 255 units: Sa Da B(Sc/Sa, Dc/Da).
inline int Mixed(BlendMode mode, int s, int sa, int d, int da) {
  switch (mode) {
    case BlendMode::Multiply: return s * d;
    case BlendMode::Screen: return s * da + d * sa - s * d;
    case BlendMode::Lighten: return std::max(s * da, d * sa);
    case BlendMode::Darken: return std::min(s * da, d * sa);
    case BlendMode::Difference: return std::abs(s * da - d * sa);
    case BlendMode::Hardlight:
      return 2 * s <= sa ? 2 * s * d : sa * da - 2 * (sa - s) * (da - d);
    case BlendMode::Overlay:
      return 2 * d <= da ? 2 * s * d : sa * da - 2 * (sa - s) * (da - d);
    default: return s * da;
  }
}

inline int Separable(BlendMode mode, int s, int sa, int d, int da) {
  return Div255(s * (255 - da) + d * (255 - sa) + Mixed(mode, s, sa, d, da));
}

}  // namespace

namespace {

template <BlendMode mode>
[[gnu::always_inline]] inline Rgba Blended(Rgba src, Rgba dst) {
  constexpr bool separable = mode == BlendMode::Multiply || mode == BlendMode::Screen || mode == BlendMode::Lighten ||
                             mode == BlendMode::Darken || mode == BlendMode::Difference ||
                             mode == BlendMode::Hardlight || mode == BlendMode::Overlay;
  if constexpr (separable) {
    // A clear source leaves every mixed term at zero: what the formulas below give then.
    if (src == Rgba{0, 0, 0, 0}) return {std::min(dst.r, dst.a), std::min(dst.g, dst.a), std::min(dst.b, dst.a), dst.a};
  }
  const int sa = src.a, da = dst.a;
  const int s[3] = {src.r, src.g, src.b}, d[3] = {dst.r, dst.g, dst.b};
  int out[4];
  switch (mode) {
    case BlendMode::Normal:
    case BlendMode::Layer:
      for (int i = 0; i < 3; ++i) out[i] = s[i] + Mul(d[i], 255 - sa);
      out[3] = sa + Mul(da, 255 - sa);
      break;
    case BlendMode::Add:
      for (int i = 0; i < 3; ++i) out[i] = s[i] + d[i];
      out[3] = sa + da;
      break;
    case BlendMode::Subtract:
      for (int i = 0; i < 3; ++i) out[i] = d[i] - s[i];
      out[3] = sa + da - Mul(sa, da);
      break;
    case BlendMode::Invert:
      // The destination turns to its complement where the source covers it.
      for (int i = 0; i < 3; ++i) out[i] = Mul(da - d[i], sa) + Mul(d[i], 255 - sa);
      out[3] = da;
      break;
    case BlendMode::Alpha:
      for (int i = 0; i < 3; ++i) out[i] = Mul(d[i], sa);
      out[3] = Mul(da, sa);
      break;
    case BlendMode::Erase:
      for (int i = 0; i < 3; ++i) out[i] = Mul(d[i], 255 - sa);
      out[3] = Mul(da, 255 - sa);
      break;
    default:
      for (int i = 0; i < 3; ++i) out[i] = Separable(mode, s[i], sa, d[i], da);
      out[3] = sa + da - Mul(sa, da);
      break;
  }
  // Premultiplied colour never exceeds its alpha.
  const std::uint8_t a = Byte(out[3]);
  return {std::min(Byte(out[0]), a), std::min(Byte(out[1]), a), std::min(Byte(out[2]), a), a};
}

}  // namespace

Rgba BlendPixel(Rgba src, Rgba dst, BlendMode mode) {
  switch (mode) {
#define QUILLON_BLEND(M) case BlendMode::M: return Blended<BlendMode::M>(src, dst);
    QUILLON_BLEND(Normal) QUILLON_BLEND(Layer) QUILLON_BLEND(Multiply) QUILLON_BLEND(Screen) QUILLON_BLEND(Lighten)
    QUILLON_BLEND(Darken) QUILLON_BLEND(Difference) QUILLON_BLEND(Add) QUILLON_BLEND(Subtract) QUILLON_BLEND(Invert)
    QUILLON_BLEND(Alpha) QUILLON_BLEND(Erase) QUILLON_BLEND(Overlay) QUILLON_BLEND(Hardlight)
#undef QUILLON_BLEND
  }
  return Blended<BlendMode::Normal>(src, dst);
}

Rgba TransformPremultiplied(Rgba c, const ColorTransform& cx) {
  if (c.a == 0) return c;
  auto straight = [&](std::uint8_t v) { return std::min(255.0, v * 255.0 / c.a); };
  const std::uint8_t a = ColorTransform::Channel(c.a, cx.am, cx.aa);
  auto premul = [a](std::uint8_t v) { return static_cast<std::uint8_t>(Mul(v, a)); };
  return {premul(ColorTransform::Channel(straight(c.r), cx.rm, cx.ra)),
          premul(ColorTransform::Channel(straight(c.g), cx.gm, cx.ga)),
          premul(ColorTransform::Channel(straight(c.b), cx.bm, cx.ba)), a};
}

namespace {

#if defined(__SSE2__)
// x / 255 rounded as Div255 does, on eight 16-bit lanes (x up to 255 * 255).
inline __m128i Div255x8(__m128i x) {
  x = _mm_add_epi16(x, _mm_set1_epi16(128));
  return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
}

// Source over for two pixels widened to 16-bit lanes, coverage already widened the same way:
// Blended<Normal> of the covered source, lane for lane.
inline __m128i OverWide(__m128i s, __m128i d, __m128i cover) {
  s = Div255x8(_mm_mullo_epi16(s, cover));
  const __m128i sa = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
  const __m128i out = _mm_add_epi16(s, Div255x8(_mm_mullo_epi16(d, _mm_sub_epi16(_mm_set1_epi16(255), sa))));
  const __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(out, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
  // Alpha is at most 255 here, so the colour's clamp to a byte is the clamp to alpha.
  return _mm_min_epi16(out, a);
}

// Plain source over along a row of `n` pixels, four at a time; returns how many were done.
// A pixel with a clear source or no coverage is left as it is.
int OverRow(Rgba* dst, const Rgba* src, const std::uint8_t* clip, int n) {
  const __m128i zero = _mm_setzero_si128(), alphaBits = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
    __m128i cover = _mm_set1_epi8(static_cast<char>(0xFF));
    if (clip) {
      std::uint32_t four;
      std::memcpy(&four, clip + i, sizeof four);
      const __m128i c = _mm_cvtsi32_si128(static_cast<int>(four));
      const __m128i c2 = _mm_unpacklo_epi8(c, c);
      cover = _mm_unpacklo_epi16(c2, c2);  // each pixel's coverage in its four bytes
    }
    const __m128i skip = _mm_or_si128(_mm_cmpeq_epi32(_mm_and_si128(s, alphaBits), zero), _mm_cmpeq_epi32(cover, zero));
    if (_mm_movemask_epi8(skip) == 0xFFFF) continue;
    const __m128i lo = OverWide(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(cover, zero));
    const __m128i hi = OverWide(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(cover, zero));
    const __m128i out = _mm_packus_epi16(lo, hi);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_or_si128(_mm_and_si128(skip, d), _mm_andnot_si128(skip, out)));
  }
  return i;
}
#endif

template <BlendMode mode>
void CompositeRows(const CompositeTarget& dst, const Layer& src, const ColorTransform& cx, const MaskBuffer* clip,
                   int x0, int y0, int x1, int y1) {
  const bool plain = cx.identity();
  constexpr bool over = mode == BlendMode::Normal || mode == BlendMode::Layer;
  auto ch = [](double v, double mul, double add) { return std::clamp(v * mul + add, 0.0, 255.0); };
  // Per source alpha, the terms of the transformed source-over below that do not depend on
  // the colour: the un-premultiplying factor, and the mixing alpha and fraction when fully covered.
  std::array<double, 256> unpremultiply{}, fullAlpha{}, fullFraction{};
  if (over && !plain)
    for (int a = 1; a < 256; ++a) {
      const auto i = static_cast<std::size_t>(a);
      unpremultiply[i] = 255.0 / a;
      fullAlpha[i] = ch(a, cx.am, cx.aa) * 255 / 255.0;
      fullFraction[i] = fullAlpha[i] / 255.0;
    }
  // Neighbouring pixels of a layer are mostly the same over the same destination (flat fills):
  // the last pixel's result stands for the next one with the same inputs.
  std::uint32_t lastSrc = 0, lastDst = 0;
  int lastCover = -1;
  Rgba lastOut{};
  for (int y = y0; y < y1; ++y) {
    const std::size_t drow = static_cast<std::size_t>(y - dst.y) * static_cast<std::size_t>(dst.width);
    const Rgba* srow = &src.at(0, y - src.y);
    const std::uint8_t* crow = clip ? clip->data() + drow : nullptr;
    Rgba* drowp = dst.pixels + drow;
    int x = x0;
#if defined(__SSE2__)
    if (over && plain && x1 > x0)
      x += OverRow(drowp + (x0 - dst.x), srow + (x0 - src.x), crow ? crow + (x0 - dst.x) : nullptr, x1 - x0);
#endif
    for (; x < x1; ++x) {
      const int cover = crow ? crow[x - dst.x] : 255;
      if (cover == 0) continue;
      const Rgba raw = srow[x - src.x];
      Rgba& d = drowp[x - dst.x];
      if (over) {
        if (raw.a == 0) continue;
        if (plain && raw.a == 255 && cover == 255) {  // what source over gives then
          d = raw;
          continue;
        }
      }
      const std::uint32_t srcKey = std::bit_cast<std::uint32_t>(raw), dstKey = std::bit_cast<std::uint32_t>(d);
      if (srcKey == lastSrc && dstKey == lastDst && cover == lastCover) {
        d = lastOut;
        continue;
      }
      lastSrc = srcKey, lastDst = dstKey, lastCover = cover;
      if (over && !plain) {
        // The transformed colour is not rounded before it is mixed, so a fractional alpha
        // mixes as the fraction it is.
        const double k = unpremultiply[raw.a];
        const double a = cover == 255 ? fullAlpha[raw.a] : ch(raw.a, cx.am, cx.aa) * cover / 255.0;
        if (a <= 0) {
          lastOut = d;
          continue;
        }
        const double f = cover == 255 ? fullFraction[raw.a] : a / 255.0;
        auto mix = [&](double straight, std::uint8_t below) {
          return static_cast<std::uint8_t>(std::clamp(straight * f + below * (1 - f) + 0.5, 0.0, 255.0));
        };
        d = {mix(ch(std::min(255.0, raw.r * k), cx.rm, cx.ra), d.r), mix(ch(std::min(255.0, raw.g * k), cx.gm, cx.ga), d.g),
             mix(ch(std::min(255.0, raw.b * k), cx.bm, cx.ba), d.b), mix(255.0, d.a)};
        lastOut = d;
        continue;
      }
      Rgba s = raw;
      if (!plain && !over) s = TransformPremultiplied(s, cx);
      if (over) {
        if (cover < 255) s = {static_cast<std::uint8_t>(Mul(s.r, cover)), static_cast<std::uint8_t>(Mul(s.g, cover)),
                              static_cast<std::uint8_t>(Mul(s.b, cover)), static_cast<std::uint8_t>(Mul(s.a, cover))};
        d = Blended<mode>(s, d);
        lastOut = d;
        continue;
      }
      const Rgba r = Blended<mode>(s, d);
      if (cover >= 255) {
        d = r;
        lastOut = d;
        continue;
      }
      auto mix = [cover](std::uint8_t to, std::uint8_t from) {
        return static_cast<std::uint8_t>(from + Div255((to - from) * cover));
      };
      d = {mix(r.r, d.r), mix(r.g, d.g), mix(r.b, d.b), mix(r.a, d.a)};
      lastOut = d;
    }
  }
}

}  // namespace

void Composite(const CompositeTarget& dst, const Layer& src, BlendMode mode, const ColorTransform& cx,
               const MaskBuffer* clip, const LayerRect* part) {
  if (!dst.pixels || src.empty()) return;
  const LayerRect whole{0, 0, src.width, src.height};
  const LayerRect& p = part ? *part : whole;
  const int x0 = std::max({dst.x, src.x + std::max(0, p.x0)});
  const int y0 = std::max({dst.y, src.y + std::max(0, p.y0), dst.y + std::max(0, dst.rowTop)});
  const int x1 = std::min(dst.x + dst.width, src.x + std::min(src.width, p.x1));
  const int y1 = std::min({dst.y + dst.height, src.y + std::min(src.height, p.y1), dst.y + std::min(dst.height, dst.rowBottom)});
  switch (mode) {
#define QUILLON_COMPOSITE(M) \
    case BlendMode::M: return CompositeRows<BlendMode::M>(dst, src, cx, clip, x0, y0, x1, y1);
    QUILLON_COMPOSITE(Normal) QUILLON_COMPOSITE(Layer) QUILLON_COMPOSITE(Multiply) QUILLON_COMPOSITE(Screen)
    QUILLON_COMPOSITE(Lighten) QUILLON_COMPOSITE(Darken) QUILLON_COMPOSITE(Difference) QUILLON_COMPOSITE(Add)
    QUILLON_COMPOSITE(Subtract) QUILLON_COMPOSITE(Invert) QUILLON_COMPOSITE(Alpha) QUILLON_COMPOSITE(Erase)
    QUILLON_COMPOSITE(Overlay) QUILLON_COMPOSITE(Hardlight)
#undef QUILLON_COMPOSITE
  }
}

}  // namespace quillon::player
