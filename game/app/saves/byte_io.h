// Little-endian reads and writes at fixed offsets of the save files' byte
// images. Callers check the image's size once before they read fields.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/le_bytes.h"

namespace ks::app {

inline std::uint16_t GetU16(const std::uint8_t* p, std::size_t at) { return ks::runtime::LoadLe16(p + at); }
inline std::uint32_t GetU32(const std::uint8_t* p, std::size_t at) { return ks::runtime::LoadLe32(p + at); }
inline std::int32_t GetS32(const std::uint8_t* p, std::size_t at) { return static_cast<std::int32_t>(GetU32(p, at)); }

inline void PutU16(std::uint8_t* p, std::size_t at, std::uint16_t v) {
  p[at] = static_cast<std::uint8_t>(v);
  p[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32(std::uint8_t* p, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutS32(std::uint8_t* p, std::size_t at, std::int32_t v) { PutU32(p, at, static_cast<std::uint32_t>(v)); }

}  // namespace ks::app
