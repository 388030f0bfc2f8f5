#include "lng_encode.h"

#include <cstdint>
#include <vector>

namespace lngmake {

namespace {

// The code points of bytes 0x80 to 0x9F in Windows-1252 (0 where unused).
constexpr std::uint16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                     0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool Decode(const std::string& utf8, std::vector<std::uint32_t>& out, std::string& error) {
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + static_cast<std::size_t>(extra) >= utf8.size() + (extra == 0 ? 1 : 0)) {
      error = "malformed UTF-8 at byte " + std::to_string(i);
      return false;
    }
    std::uint32_t cp = extra == 0 ? b : b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
      if ((c & 0xC0) != 0x80) {
        error = "malformed UTF-8 at byte " + std::to_string(i);
        return false;
      }
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
      error = "malformed UTF-8 at byte " + std::to_string(i);
      return false;
    }
    out.push_back(cp);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return true;
}

void Unit(std::string& out, std::uint32_t u) {
  out.push_back(static_cast<char>(u & 0xFF));
  out.push_back(static_cast<char>(u >> 8));
}

}  // namespace

bool ToUtf16(const std::string& utf8, std::string& out, std::string& error) {
  std::vector<std::uint32_t> cps;
  if (!Decode(utf8, cps, error)) return false;
  out = "\xFF\xFE";
  for (const std::uint32_t cp : cps) {
    if (cp < 0x10000) {
      Unit(out, cp);
    } else {
      Unit(out, 0xD800 + ((cp - 0x10000) >> 10));
      Unit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  return true;
}

bool ToAnsi(const std::string& utf8, std::string& out, std::string& error) {
  std::vector<std::uint32_t> cps;
  if (!Decode(utf8, cps, error)) return false;
  out.clear();
  for (const std::uint32_t cp : cps) {
    int byte = cp < 0x80 || (cp >= 0xA0 && cp < 0x100) ? static_cast<int>(cp) : -1;
    for (int i = 0; i < 32 && byte < 0; ++i) {
      if (kHigh[i] != 0 && kHigh[i] == cp) byte = 0x80 + i;
    }
    if (byte < 0) {
      error = "U+" + std::to_string(cp) + " is not in the ANSI code page";
      return false;
    }
    out.push_back(static_cast<char>(byte));
  }
  return true;
}

}  // namespace lngmake
