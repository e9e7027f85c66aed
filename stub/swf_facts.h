// What the stub can tell about a movie from its header alone. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quillon::stub {

enum class Compression { None, Zlib, Lzma };

struct SwfFacts {
  Compression compression = Compression::None;
  int version = 0;
  std::uint32_t declaredLength = 0;  // the header's uncompressed file length
  bool hasFrameHeader = false;       // stage, rate and count were readable
  int stageWidth = 0, stageHeight = 0;  // pixels (twips / 20, rounded down)
  double frameRate = 0;
  int frameCount = 0;
  // The first tag, when it is the file attributes (required from version 8 on), tells whether
  // the movie is written in ActionScript 3.
  bool hasFileAttributes = false;
  bool actionScript3 = false;
};

// Reads the header of the movie's first bytes; nothing when they do not start an SWF file.
// `movie` may be a prefix of the movie; a compressed body is unpacked only as far as the header
// and the first tag need.
std::optional<SwfFacts> ReadSwfFacts(std::span<const std::uint8_t> movie);

// The facts as lines of text for the stub's window, with the movie's size in bytes.
std::wstring DescribeFacts(const SwfFacts& facts, std::uint64_t movieSize);

}  // namespace quillon::stub
