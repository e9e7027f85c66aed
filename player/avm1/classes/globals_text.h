// The global functions that read and write text: parseInt, parseFloat, isNaN, isFinite,
// escape and unescape.
#pragma once

#include <string>
#include <string_view>

#include "avm1/machine.h"

namespace quillon::player::avm1 {

void InstallTextGlobals(Machine& vm, Object* global);

// The URL encoding of escape(): every byte but ASCII letters and digits as %XX; the bytes are
// UTF-8 from SWF 6 on, Latin-1 before.
std::string EscapeText(std::string_view s, int swfVersion);
// unescape(): %XX and '+' decoded; the bytes are read as UTF-8 from SWF 6 on, Latin-1 before.
std::string UnescapeText(std::string_view s, int swfVersion);

}  // namespace quillon::player::avm1
