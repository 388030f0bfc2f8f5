// Prints a compiled skin back as skin source (the language of skin_compiler.h).
// It reads the image on its own, sharing no code with the compiler or with
// the recorder's loader, so each checks the others.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skindump {

// False with a message when the image is no skin or is damaged.
bool Dump(const std::vector<std::uint8_t>& blob, std::string& out, std::string& error);

// The bytes of the first member with the extension ".skin" of a stored ZIP,
// or the bytes themselves when they are no ZIP.
std::vector<std::uint8_t> SkinFromFile(const std::vector<std::uint8_t>& bytes);

}  // namespace skindump
