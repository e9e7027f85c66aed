// Bitmap payloads: zlib-packed lossless pixels and JPEG, PNG or GIF data.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "swf/movie.h"

namespace quillon::player {

// Inflates a zlib stream, refusing output beyond `maxSize` (then setting `*tooLarge`); nothing on
// damage.
std::optional<std::vector<std::uint8_t>> Inflate(std::span<const std::uint8_t> data, std::size_t maxSize,
                                                 bool allowTruncated = false, bool* tooLarge = nullptr);

// DefineBitsLossless (v1) or DefineBitsLossless2 (v2) after the character id.
std::optional<BitmapDef> DecodeLossless(std::span<const std::uint8_t> body, bool version2);

// JPEG (with optional separate tables), PNG or GIF; `alpha` is a zlib channel or empty.
std::optional<BitmapDef> DecodeImage(std::span<const std::uint8_t> data, std::span<const std::uint8_t> tables,
                                     std::span<const std::uint8_t> alpha);

// Bitmaps larger than this many pixels are refused.
inline constexpr std::size_t kMaxBitmapPixels = 16u << 20;

}  // namespace quillon::player
