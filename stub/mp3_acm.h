// MP3 decoded by the platform: the audio compression manager's MPEG Layer-3 codec, which
// Windows and Wine both carry. The player's core asks for it through SetMp3Decoders.
#pragma once

#include <memory>

#include "sound/decoder.h"

namespace quillon::stub {

// A decoder for MP3 sound stored as `format` says. It opens the codec at the first frame it is
// given, at that frame's rate and channels, and hands out samples in the format's channel count.
// Where the system has no MP3 codec it gives nothing, and the player plays silence.
std::unique_ptr<player::sound::Decoder> MakeAcmMp3Decoder(const player::sound::Format& format);

}  // namespace quillon::stub
