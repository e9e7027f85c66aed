// Reading the sound tags' bodies; movie.cpp hands them over by tag code.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "sound/format.h"

namespace quillon::player {
class Reader;
}

namespace quillon::player::sound {

// DefineSound after its character id: the format, the count, the samples decoded.
std::shared_ptr<const SoundDef> ReadDefineSound(Reader& r);
SoundInfo ReadSoundInfo(Reader& r);
// StartSound (the id first) and StartSound2 (a class name, which names no sound we keep).
StartSound ReadStartSound(Reader& r);
// DefineButtonSound after its button id.
ButtonSounds ReadButtonSounds(Reader& r);
// SoundStreamHead and SoundStreamHead2: the format of the stream's blocks and the sample
// frames a block holds on average.
struct StreamHead {
  Format format;
  std::uint16_t blockFrames = 0;
};
StreamHead ReadStreamHead(Reader& r);

// Collects one timeline's stream blocks while its tags are read, and decodes them at the end.
class StreamBuilder {
 public:
  void Head(const StreamHead& head) { head_ = head; }
  // The block of frame `frame` (0-based); a second one in the same frame is dropped.
  void Block(std::size_t frame, std::span<const std::uint8_t> bytes);
  // Null when the timeline has no stream.
  std::shared_ptr<const Stream> Finish(std::size_t frameCount);

 private:
  std::optional<StreamHead> head_;
  std::vector<std::pair<std::size_t, std::vector<std::uint8_t>>> blocks_;
};

}  // namespace quillon::player::sound
