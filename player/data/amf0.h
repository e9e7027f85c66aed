// AMF0, the value encoding of saved shared objects, and the .sol file around it:
//   00 BF, length of the rest (32 bits), "TCSO" 00 04 00 00 00 00, the object's name (16-bit
//   length), the encoding version (32 bits, 0), then name/value pairs, each followed by a 0 byte.
// Multi-byte numbers are big-endian. Objects repeated or reached again through a cycle are
// written once and referred to by their index afterwards.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "avm1/machine.h"

namespace quillon::player::data {

// One value with its own reference table.
std::string WriteAmf0(avm1::Machine& vm, const avm1::Value& value);
// False (and `out` undefined) for anything malformed, truncated or followed by extra bytes.
bool ReadAmf0(avm1::Machine& vm, std::span<const std::uint8_t> bytes, avm1::Value& out);

// The whole file for a shared object named `name` holding `data`'s enumerable properties.
std::string WriteSol(avm1::Machine& vm, std::string_view name, avm1::Object* data);
// The data object of a file, or null when the file is not one or is damaged anywhere.
avm1::Object* ReadSol(avm1::Machine& vm, std::span<const std::uint8_t> bytes, std::string* name = nullptr);

}  // namespace quillon::player::data
