// The global functions that read and write text: parseInt, parseFloat, isNaN, isFinite,
// escape and unescape.
#pragma once

#include <string>
#include <string_view>

#include "avm1/machine.h"

namespace quillon::player::avm1 {

void InstallTextGlobals(Machine& vm, Object* global);

// The URL encoding of escape(): every byte but ASCII letters and digits as %XX.
std::string EscapeText(std::string_view s);
// unescape(): %XX and '+' decoded; from SWF 6 on the bytes are read as UTF-8.
std::string UnescapeText(std::string_view s, int swfVersion);

}  // namespace quillon::player::avm1
