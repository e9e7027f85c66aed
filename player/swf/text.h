// Text of movies before SWF 6 is one byte a character (Latin-1); the player keeps all text as
// UTF-8, so it is decoded where it is read.
#pragma once

#include <string>
#include <string_view>

#include "swf/bytes.h"

namespace quillon::player {

inline std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

// A zero-terminated string of a movie of `swfVersion`, as UTF-8.
inline std::string ReadText(Reader& r, int swfVersion) {
  std::string s = r.str();
  return swfVersion >= 6 ? s : Latin1ToUtf8(s);
}

}  // namespace quillon::player
