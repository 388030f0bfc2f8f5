#include "os/registry.h"

#include "ce/winbase.h"
#include "liba/text.h"

namespace os {

std::wstring parse_registry_path(const std::wstring& path, HKEY& root) {
  struct Root {
    const wchar_t* name;
    HKEY key;
  };
  const Root roots[] = {{L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                        {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                        {L"HKEY_USERS", HKEY_USERS},
                        {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER}};
  for (const Root& r : roots) {
    const std::wstring name = r.name;
    if (liba::starts_with(path, name)) {
      root = r.key;
      return path.size() > name.size() + 1 ? path.substr(name.size() + 1) : std::wstring();
    }
  }
  return std::wstring();
}

bool get_registry_dword(const std::wstring& path, const std::wstring& name, std::uint32_t& out) {
  HKEY root = HKEY_CURRENT_USER;
  const std::wstring subkey = parse_registry_path(path, root);
  RegKey key;
  DWORD disposition = 0;
  if (RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key.key, &disposition) !=
      ERROR_SUCCESS) {
    key.key = nullptr;
    return false;
  }
  // A one-byte probe first: only a DWORD value is read into `out`.
  BYTE probe = 0;
  DWORD type = 0;
  DWORD size = 1;
  if (RegQueryValueExW(key.key, name.c_str(), nullptr, &type, &probe, &size) == ERROR_MORE_DATA && type == REG_DWORD) {
    DWORD value = 0;
    size = sizeof value;
    if (RegQueryValueExW(key.key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
            ERROR_SUCCESS &&
        size == sizeof value) {
      out = value;
    }
  }
  return true;
}

}  // namespace os
