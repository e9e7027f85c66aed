// The rows of a clip mask that let anything through: drawing under the mask keeps to them.
#pragma once

#include <cstdint>
#include <cstring>

#include "render/raster.h"

namespace quillon::player {

struct RowSpan {
  int top = 0, bottom = 0;  // [top, bottom)
  bool empty() const { return bottom <= top; }
};

// The smallest run of rows within [top, bottom) that holds every non-zero byte of the mask's
// rows there (`width` bytes a row); empty when they are all zero. Rows past the mask's end
// count as zero.
RowSpan CoveredRows(const MaskBuffer& mask, int width, int top, int bottom);

// How many of the bytes from `p` on (at most `n`) are zero before the first non-zero one.
inline int ZeroRun(const std::uint8_t* p, int n) {
  int i = 0;
  // Eight at a time while they are all zero: most of a mask is.
  for (std::uint64_t word = 0; i + 8 <= n; i += 8) {
    std::memcpy(&word, p + i, sizeof word);
    if (word) break;
  }
  while (i < n && p[i] == 0) ++i;
  return i;
}

}  // namespace quillon::player
