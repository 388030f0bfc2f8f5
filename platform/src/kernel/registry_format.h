// The registry's keys in memory and their text file.
//
// The file is UTF-8 text meant to be read and diffed by eye:
//
//   # comment lines and blank lines are ignored
//   device-registry 1
//   [HKEY_CLASSES_ROOT\CLSID\{F3BE7FFF-7812-4002-B584-3C0950C6BEA3}]
//   "" = sz "Pelmora"
//   [HKEY_CURRENT_USER\Software\Zentra]
//   "Log" = dword 0x00000001
//   "BL" = binary 90 00 00 00 01 00 00 00
//   "Names" = multi_sz "one" "two"
//   "Odd" = type 1 61 00 62
//
// The first line that is not a comment names the format and its version. A
// "[...]" line starts a key: a root name and the components of its path
// separated by backslashes; a parent missing from the file exists implicitly.
// The lines below a key are its values, "name" = kind payload, where "" is the
// default value. Kinds: sz and expand_sz (one quoted string, stored as UTF-16
// with one terminator), multi_sz (quoted strings, each terminated, plus the
// closing empty string), dword (exactly four bytes, written as a
// little-endian number), binary (hex bytes), and "type N" followed by hex
// bytes for any other type or for text data that is not in the plain form
// (no terminator, embedded terminators, odd length, broken UTF-16). So every
// value's bytes survive exactly. In names and quoted strings the characters
// below U+0020, U+007F, '%' and '"' are written as %XX (their hex code).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ce/minwindef.h"

namespace ce::kernel::registry {

inline constexpr std::size_t kMaxKeyNameChars = 255;
inline constexpr std::size_t kMaxValueNameChars = 16383;
inline constexpr std::size_t kMaxDepth = 512;  // keys below a root, as on the device's desktop cousins
inline constexpr std::size_t kRootCount = 4;

struct Value {
  std::wstring name;
  DWORD type = 0;
  std::vector<std::uint8_t> data;  // as stored on the device: text is UTF-16LE
};

struct Key {
  std::wstring name;
  std::vector<Value> values;                  // in creation order
  std::vector<std::shared_ptr<Key>> subkeys;  // in creation order
  std::size_t depth = 0;                      // levels below its root
  bool deleted = false;                       // set once the key leaves the tree
};

using Roots = std::array<std::shared_ptr<Key>, kRootCount>;

// Root names in the order of their predefined handles (0x80000000 + index).
std::wstring_view RootName(std::size_t index);
Roots MakeEmptyRoots();

Key* FindSubkey(const Key& key, std::wstring_view name);
std::shared_ptr<Key> FindSubkeyShared(const Key& key, std::wstring_view name);
Value* FindValue(Key& key, std::wstring_view name);

struct ParseResult {
  bool ok = false;
  std::size_t line = 0;  // 1-based line of the fault
  std::string reason;
  Roots roots;
};

ParseResult ParseRegistryText(std::string_view text);
std::string FormatRegistryText(const Roots& roots);

}  // namespace ce::kernel::registry
