// Language file encodings: UTF-8 text to UTF-16LE with the byte-order mark,
// or to the ANSI code page (Windows-1252).
#pragma once

#include <string>

namespace lngmake {

// False with a message naming the byte offset for malformed UTF-8, or a
// character the code page lacks.
bool ToUtf16(const std::string& utf8, std::string& out, std::string& error);
bool ToAnsi(const std::string& utf8, std::string& out, std::string& error);

}  // namespace lngmake
