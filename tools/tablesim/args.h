// Strict parsing of tablesim's numbers and shots: a value is taken only when
// the whole text is a number in range, so a sign, an overflow or trailing
// characters are refused instead of wrapping or being ignored.
#pragma once

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>

#include "simulation/table.h"

namespace tablesim {

// Decimal digits only, at most `max`.
inline bool ParseUnsigned(const char* text, uint64_t max, uint64_t& out) {
  if (!text || !*text) return false;
  uint64_t v = 0;
  for (const char* c = text; *c; ++c) {
    if (!std::isdigit(static_cast<unsigned char>(*c))) return false;
    const uint64_t digit = static_cast<uint64_t>(*c - '0');
    if (digit > max || v > (max - digit) / 10) return false;
    v = v * 10 + digit;
  }
  out = v;
  return true;
}

// A seed: 0 to 4294967295.
inline bool ParseSeed(const char* text, uint32_t& out) {
  uint64_t v = 0;
  if (!ParseUnsigned(text, UINT32_MAX, v)) return false;
  out = static_cast<uint32_t>(v);
  return true;
}

// "ANGLE,POWER,TIPX,TIPY,ELEVATION", nothing after it but blanks. On
// failure `why` says what is wrong.
inline bool ParseShot(const std::string& text, ks::Shot& shot, std::string& why) {
  if (text.find('\0') != std::string::npos) {
    why = "a shot is text without NUL bytes";
    return false;
  }
  ks::Shot s;
  char extra = 0;
  if (std::sscanf(text.c_str(), "%lf,%lf,%lf,%lf,%lf %c", &s.angle, &s.power, &s.side, &s.height, &s.elevation,
                  &extra) != 5) {
    why = "a shot is ANGLE,POWER,TIPX,TIPY,ELEVATION";
    return false;
  }
  if (const char* problem = ks::CheckShot(s)) {
    why = problem;
    return false;
  }
  shot = s;
  return true;
}

}  // namespace tablesim
