// Registry values by a full key path ("HKEY_CURRENT_USER\Software\Zentra").
#pragma once

#include <cstdint>
#include <string>

#include "ce/winreg.h"
#include "liba/nocopy.h"

namespace os {

// The subkey after the root name and one separator; sets `root` when the
// path starts with a known root name, else leaves it and returns "".
std::wstring parse_registry_path(const std::wstring& path, HKEY& root);
// True when the key could be opened (it is created when missing); `out` is
// written only when the value exists as a DWORD.
bool get_registry_dword(const std::wstring& path, const std::wstring& name, std::uint32_t& out);

class RegKey : private liba::Nocopy {
 public:
  explicit RegKey(HKEY key = nullptr) : key(key) {}
  ~RegKey() {
    if (key != nullptr) RegCloseKey(key);
  }
  HKEY key;
};

}  // namespace os
