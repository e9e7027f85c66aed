#include "render/span_blend.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon::player {
namespace {

#if defined(__SSE2__)
// (x + 127) / 255 rounded down, on eight 16-bit lanes, for x + 127 below 65536.
inline __m128i Div255(__m128i x) {
  x = _mm_add_epi16(x, _mm_set1_epi16(128));
  return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
}

inline __m128i SpreadAlpha(__m128i x) {
  return _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
}

// Four coverage bytes, each spread over its pixel's four bytes.
inline __m128i SpreadCoverage(const std::uint8_t* coverage) {
  std::uint32_t four;
  std::memcpy(&four, coverage, sizeof four);
  const __m128i c = _mm_cvtsi32_si128(static_cast<int>(four));
  const __m128i c2 = _mm_unpacklo_epi8(c, c);
  return _mm_unpacklo_epi16(c2, c2);
}

const __m128i kAlphaLanes16 = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);

// BlendPremultiplied for two pixels in 16-bit lanes; every shortcut of the pixel form is what
// its formula gives, so the lanes need none.
inline __m128i OverLayer(__m128i s, __m128i d, __m128i cover) {
  const __m128i a = Div255(_mm_mullo_epi16(SpreadAlpha(s), cover));
  const __m128i colour = _mm_andnot_si128(kAlphaLanes16, s);  // the alpha lane keeps d's share only
  const __m128i mixed = _mm_add_epi16(_mm_mullo_epi16(colour, a), _mm_mullo_epi16(d, _mm_sub_epi16(_mm_set1_epi16(255), a)));
  return _mm_add_epi16(Div255(mixed), _mm_and_si128(kAlphaLanes16, a));
}

// Blend for two pixels in 16-bit lanes, alpha left for the caller to set.
inline __m128i OverFrame(__m128i s, __m128i d, __m128i cover) {
  const __m128i a = SpreadAlpha(s);
  const __m128i full = Div255(_mm_add_epi16(_mm_mullo_epi16(s, a), _mm_mullo_epi16(d, _mm_sub_epi16(_mm_set1_epi16(255), a))));
  const __m128i part =
      _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(full, cover), _mm_mullo_epi16(d, _mm_sub_epi16(_mm_set1_epi16(256), cover))), 8);
  const __m128i whole = _mm_cmpeq_epi16(cover, _mm_set1_epi16(255));
  return _mm_or_si128(_mm_and_si128(whole, full), _mm_andnot_si128(whole, part));
}
#endif

}  // namespace

void BlendRow(Rgba* dst, const Rgba* src, const std::uint8_t* coverage, int n) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128(), alphaBits = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i ones = _mm_set1_epi32(-1), notAlpha = _mm_set1_epi32(0x00FFFFFF);
  for (; i + 4 <= n; i += 4) {
    const __m128i cover = SpreadCoverage(coverage + i);
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
    // A clear source or no coverage leaves the pixel as it is, alpha and all.
    const __m128i keep = _mm_or_si128(_mm_cmpeq_epi32(_mm_and_si128(s, alphaBits), zero), _mm_cmpeq_epi32(cover, zero));
    if (_mm_movemask_epi8(keep) == 0xFFFF) continue;
    if (_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(cover, ones), _mm_cmpeq_epi32(_mm_or_si128(s, notAlpha), ones))) == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), s);  // opaque and whole: the source itself
      continue;
    }
    const __m128i lo = OverFrame(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(cover, zero));
    const __m128i hi = OverFrame(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(cover, zero));
    const __m128i out = _mm_or_si128(_mm_packus_epi16(lo, hi), alphaBits);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, out)));
  }
#endif
  for (; i < n; ++i) Blend(dst[i], src[i], coverage[i]);
}

void BlendPremultipliedRow(Rgba* dst, const Rgba* src, const std::uint8_t* coverage, int n) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128(), ones = _mm_set1_epi32(-1);
  const __m128i notAlpha = _mm_set1_epi32(0x00FFFFFF);
  for (; i + 4 <= n; i += 4) {
    std::uint32_t four;
    std::memcpy(&four, coverage + i, sizeof four);
    if (four == 0) continue;
    const __m128i cover = SpreadCoverage(coverage + i);
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    if (four == 0xFFFFFFFFu && _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_or_si128(s, notAlpha), ones)) == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), s);  // opaque and whole: the source itself
      continue;
    }
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
    const __m128i lo = OverLayer(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(cover, zero));
    const __m128i hi = OverLayer(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(cover, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < n; ++i) BlendPremultiplied(dst[i], src[i], coverage[i]);
}

}  // namespace quillon::player
