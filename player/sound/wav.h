// The mixed output as a WAV file: 16-bit PCM, 44.1 kHz, stereo.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quillon::player::sound {

std::vector<std::uint8_t> WavBytes(std::span<const std::int16_t> interleavedStereo);

}  // namespace quillon::player::sound
