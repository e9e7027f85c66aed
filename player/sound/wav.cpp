#include "sound/wav.h"

#include <string_view>

#include "sound/mixer.h"

namespace quillon::player::sound {

std::vector<std::uint8_t> WavBytes(std::span<const std::int16_t> samples) {
  std::vector<std::uint8_t> out;
  auto text = [&](std::string_view s) { out.insert(out.end(), s.begin(), s.end()); };
  auto u32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  auto u16 = [&](std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
  text("RIFF");
  u32(36 + dataBytes);
  text("WAVEfmt ");
  u32(16);
  u16(1);  // PCM
  u16(2);
  u32(kOutputRate);
  u32(kOutputRate * 4);
  u16(4);
  u16(16);
  text("data");
  u32(dataBytes);
  for (const std::int16_t s : samples) u16(static_cast<std::uint16_t>(s));
  return out;
}

}  // namespace quillon::player::sound
