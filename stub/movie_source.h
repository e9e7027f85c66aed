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
  std::vector<std::uint8_t> head;  // the movie's first bytes, enough for its header
};

MovieSource ReadOwnMovie(const std::wstring& exePath, std::size_t headBytes);

std::wstring OwnPath();

}  // namespace quillon::stub
