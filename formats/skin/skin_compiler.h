// The skin compiler: a readable skin source to the compiled skin image, and
// the stored ZIP that carries it with its pictures.
//
// Source, one statement a line ('#' starts a comment line):
//   skin "Name"                         the skin name (its version key)
//   sizes 240x320 480x640 ...           up to 16 screen sizes
//   kind NAME [: BASE]                  a template that controls inherit from
//   form NAME [: BASE]                  a form (or a panel template)
//   control NAME [: KIND] [class CLASS] a declared control of the current form
//   child NAME [: KIND]                 a control node that is not declared
//   int KEY N | size KEY W H | colour KEY R G B
//   text KEY "..." | picture KEY "..." | font KEY "..."
// A property belongs to the last kind, form, control or child opened; a
// form's own properties come before its controls. Bases always name kinds.
// In quoted texts \" and \\ stand for themselves and \uXXXX for a UTF-16
// code unit; any other backslash is kept as it is.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace skinc {

// False with a message naming the line when the source is not sound.
bool Compile(const std::string& source, std::vector<std::uint8_t>& blob, std::string& error);

// A ZIP archive of stored members (name, bytes) in the given order, with
// CRC-32s and a central directory.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& members);

}  // namespace skinc
