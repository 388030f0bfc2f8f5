// A module's compiled resource table (made by tools/rescomp; the layout is
// described in its README): a header, a directory of 16-byte entries, the
// entries' texts and each resource's bytes. Every read is checked against
// the table's size, so a damaged table is refused rather than read past.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ce/windows.h"

namespace ce::resources {

// The shape of the symbol "ce_module_resources" a module exports.
struct ModuleResources {
  const unsigned char* table;
  std::size_t size;
};

class Table {
 public:
  // A checked view of `bytes`, or nullopt when the header, the directory or
  // any entry's texts or bytes lie outside it or disagree with it.
  static std::optional<Table> Parse(std::span<const std::uint8_t> bytes);

  // The entry of a type and name (MAKEINTRESOURCEW numbers or texts), as
  // the value FindResourceW hands out; null with the last error set.
  HRSRC Find(LPCWSTR type, LPCWSTR name) const;
  // The bytes of an entry Find returned; empty when `entry` is not one of
  // this table's entries.
  std::optional<std::span<const std::uint8_t>> Data(HRSRC entry) const;
  // Find and Data together: the bytes of a resource, or nullopt with the
  // last error set.
  std::optional<std::span<const std::uint8_t>> Get(LPCWSTR type, LPCWSTR name) const;
  // The bytes of the first entry of a type, in the table's order; nullopt
  // with the last error set when there is none.
  std::optional<std::span<const std::uint8_t>> First(LPCWSTR type) const;

 private:
  explicit Table(std::span<const std::uint8_t> bytes, std::uint32_t count) : bytes_(bytes), count_(count) {}
  bool KeyMatches(std::uint32_t key, LPCWSTR wanted) const;

  std::span<const std::uint8_t> bytes_;
  std::uint32_t count_;
};

// The table of the module `module` stands for (null: the running program),
// or nullopt with ERROR_RESOURCE_DATA_NOT_FOUND when it has none or it is
// damaged.
std::optional<Table> TableOf(HMODULE module);

// String `index` (0 to 15) of a string-table block, or nullopt when the
// block ends before it or a length runs past the block's end.
std::optional<std::span<const WCHAR>> StringInBlock(std::span<const std::uint8_t> block, unsigned index);

// The entries of an accelerator resource up to the one marked last, or
// nullopt when no entry is marked last.
std::optional<std::vector<ACCEL>> ParseAccelerators(std::span<const std::uint8_t> data);

// An icon of `group` (an RT_GROUP_ICON resource of `table`) at cx by cy,
// as LoadImageW(IMAGE_ICON) makes it; null with the last error set.
HICON IconFromGroup(const Table& table, std::span<const std::uint8_t> group, int cx, int cy);

// The platform's icon for a file without one of its own: a plain page drawn
// at cx by cy; null when the size is out of range.
HICON PlainFileIcon(int cx, int cy);

// Little-endian reads from checked spans.
inline std::uint32_t U16At(std::span<const std::uint8_t> b, std::size_t at) {
  return b[at] | (static_cast<std::uint32_t>(b[at + 1]) << 8);
}
inline std::uint32_t U32At(std::span<const std::uint8_t> b, std::size_t at) {
  return U16At(b, at) | (U16At(b, at + 2) << 16);
}

}  // namespace ce::resources
