// Builds ZIP archives from local headers for the reader's tests and fuzzing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vo_test {

struct ZipMember {
  std::string name;
  std::string data;
  std::uint32_t compressed_size;  // equal to data.size() for a stored member
  std::string extra;
};

inline void PutLE(std::string& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline ZipMember Stored(const std::string& name, const std::string& data, const std::string& extra = "") {
  return {name, data, static_cast<std::uint32_t>(data.size()), extra};
}

inline std::string BuildZip(const std::vector<ZipMember>& members) {
  std::string out;
  for (const ZipMember& m : members) {
    PutLE(out, 0x04034b50u, 4);
    PutLE(out, 10, 2);  // version
    PutLE(out, 0, 2);   // flags
    PutLE(out, m.compressed_size == m.data.size() ? 0 : 8, 2);
    PutLE(out, 0, 4);  // time, date
    PutLE(out, 0, 4);  // CRC-32 (not checked)
    PutLE(out, m.compressed_size, 4);
    PutLE(out, static_cast<std::uint32_t>(m.data.size()), 4);
    PutLE(out, static_cast<std::uint32_t>(m.name.size()), 2);
    PutLE(out, static_cast<std::uint32_t>(m.extra.size()), 2);
    out += m.name + m.extra;
    out += m.data.substr(0, m.compressed_size);
  }
  PutLE(out, 0x02014b50u, 4);  // a central directory starts here; never read
  return out;
}

}  // namespace vo_test
