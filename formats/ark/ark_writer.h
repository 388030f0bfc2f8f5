// Writes ".ark" archives: the header (0, 258, member count), one 40-byte
// directory entry per member (lower-case name zero-padded to 32 bytes,
// offset, length), then the members' bytes in directory order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace arkpack {

struct Member {
  std::string name;  // lower-cased when written; at most 31 bytes
  std::vector<std::uint8_t> data;
};

// The archive's bytes; empty with a message in `error` when a name is empty,
// too long or given twice (after lower-casing).
std::vector<std::uint8_t> BuildArchive(const std::vector<Member>& members, std::string* error);

}  // namespace arkpack
