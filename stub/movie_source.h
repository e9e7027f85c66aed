// Finds the movie inside the stub's own executable through the trailer. Win32.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::stub {

enum class SourceError { None, CannotOpen, NoTrailer };

struct MovieSource {
  SourceError error = SourceError::None;
  std::uint64_t movieSize = 0;
  std::vector<std::uint8_t> head;  // the movie's first bytes (all of them when asked for enough)
};

// Reads at most `headBytes` of the movie; a movie too large for memory is CannotOpen.
MovieSource ReadOwnMovie(const std::wstring& exePath, std::size_t headBytes);

std::wstring OwnPath();

}  // namespace quillon::stub
