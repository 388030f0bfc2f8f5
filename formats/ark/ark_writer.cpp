#include "ark_writer.h"

#include <set>

namespace arkpack {

namespace {
void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}
}  // namespace

std::vector<std::uint8_t> BuildArchive(const std::vector<Member>& members, std::string* error) {
  std::set<std::string> seen;
  std::uint64_t total = 12 + 40 * std::uint64_t{members.size()};
  for (const Member& m : members) total += m.data.size();
  if (total > 0xFFFFFFFFu) {
    if (error) *error = "archive would exceed 4 GB";
    return {};
  }
  std::vector<std::uint8_t> out(12 + 40 * members.size(), 0);
  Put32(out, 0, 0);
  Put32(out, 4, 258);
  Put32(out, 8, static_cast<std::uint32_t>(members.size()));
  for (std::size_t i = 0; i < members.size(); ++i) {
    std::string name = members[i].name;
    for (char& c : name) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (name.empty() || name.size() > 31 || name.find('\0') != std::string::npos) {
      if (error) *error = "member name must have 1 to 31 characters: \"" + members[i].name + "\"";
      return {};
    }
    if (!seen.insert(name).second) {
      if (error) *error = "member name given twice: \"" + name + "\"";
      return {};
    }
    std::size_t entry = 12 + 40 * i;
    for (std::size_t c = 0; c < name.size(); ++c) out[entry + c] = static_cast<std::uint8_t>(name[c]);
    Put32(out, entry + 32, static_cast<std::uint32_t>(out.size()));
    Put32(out, entry + 36, static_cast<std::uint32_t>(members[i].data.size()));
    out.insert(out.end(), members[i].data.begin(), members[i].data.end());
  }
  return out;
}

}  // namespace arkpack
