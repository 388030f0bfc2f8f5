// The formatter behind every printf-style call of the layer: the device's
// rules for wide and narrow formats, written into a bounded buffer. It never
// calls the host's printf and never stores past the capacity.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace ce::kernel {

// Stores at most `capacity` characters; anything beyond only sets overflow.
template <class Char>
struct FormatSink {
  Char* out = nullptr;
  std::size_t capacity = 0;
  std::size_t length = 0;
  bool overflow = false;

  void Put(Char c) {
    if (length < capacity) {
      out[length++] = c;
    } else {
      overflow = true;
    }
  }
};

// Formats `format` with `args` (which the caller still owns and must end).
// Stops as soon as the sink overflows. Writes no terminator.
void FormatV(FormatSink<wchar_t>& sink, const wchar_t* format, va_list args);
void FormatV(FormatSink<char>& sink, const char* format, va_list args);

// The text of a double for _gcvt and the formatter: conversion 'e', 'f' or
// 'g' (upper case gives upper-case letters), `alt` as the '#' flag. Appends
// no sign for negative values; returns the digits of |value|.
std::size_t FormatDouble(double magnitude, char conversion, int precision, bool alt, char* out, std::size_t size);

}  // namespace ce::kernel
