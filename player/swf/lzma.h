// A raw LZMA stream decoder (5 property bytes given apart), for ZWS movies.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quillon::player {

// Decodes exactly `outSize` bytes (or up to an end marker); nothing on a damaged stream.
std::optional<std::vector<std::uint8_t>> LzmaDecode(std::span<const std::uint8_t, 5> props,
                                                    std::span<const std::uint8_t> data, std::size_t outSize);

}  // namespace quillon::player
