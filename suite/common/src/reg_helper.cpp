#include "common/reg_helper.h"

#include <cwchar>

namespace suite {
namespace {

constexpr REGSAM kWriteAccess = 0x2001F;

// Reads a REG_SZ into `buffer` of sizeInBytes device bytes (two per
// character). A value too long for it, or of another type, is refused.
LONG QueryString(HKEY key, LPCWSTR value, LPWSTR buffer, DWORD sizeInBytes) {
  const DWORD chars = sizeInBytes / 2;
  if (chars == 0) return ERROR_MORE_DATA;
  DWORD type = 0;
  DWORD size = chars * static_cast<DWORD>(sizeof(wchar_t));
  const LONG status = RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  if (status != ERROR_SUCCESS) return status;
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    buffer[0] = L'\0';
    return ERROR_INVALID_DATA;
  }
  // The device's count: a value stored without its terminator still ends
  // inside the buffer.
  const DWORD stored = size / 2;
  buffer[stored < chars ? stored : chars - 1] = L'\0';
  return ERROR_SUCCESS;
}

LONG SetString(HKEY key, LPCWSTR value, LPCWSTR text, std::size_t length) {
  return RegSetValueExW(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>((length + 1) * 2));
}

}  // namespace

BOOL CRegHelper::ReadString(LPCWSTR key, LPCWSTR value, LPWSTR buffer, DWORD sizeInBytes) {
  if (key == nullptr || buffer == nullptr) return FALSE;
  HKEY open = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &open) != ERROR_SUCCESS) return FALSE;
  const LONG status = QueryString(open, value, buffer, sizeInBytes);
  RegCloseKey(open);
  return status == ERROR_SUCCESS;
}

BOOL CRegHelper::ReadDword(LPCWSTR key, LPCWSTR value, DWORD* out) {
  if (key == nullptr || out == nullptr) return FALSE;
  HKEY open = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &open) != ERROR_SUCCESS) return FALSE;
  const BOOL ok = RegReadDword(open, value, out);
  RegCloseKey(open);
  return ok;
}

BOOL CRegHelper::WriteString(LPCWSTR key, LPCWSTR value, LPCWSTR text, int length) {
  if (key == nullptr || text == nullptr || length < 0) return FALSE;
  const std::size_t actual = std::wcslen(text);
  const std::size_t count = static_cast<std::size_t>(length) < actual ? static_cast<std::size_t>(length) : actual;
  if (count >= static_cast<std::size_t>(kWriteCapacity)) return FALSE;
  wchar_t copy[kWriteCapacity];
  std::wmemcpy(copy, text, count);
  copy[count] = L'\0';
  HKEY open = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, kWriteAccess, nullptr, &open, nullptr) != ERROR_SUCCESS) {
    return FALSE;
  }
  const LONG status = SetString(open, value, copy, count);
  RegCloseKey(open);
  return status == ERROR_SUCCESS;
}

BOOL CRegHelper::WriteDword(LPCWSTR key, LPCWSTR value, DWORD number) {
  if (key == nullptr) return FALSE;
  HKEY open = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, kWriteAccess, nullptr, &open, nullptr) != ERROR_SUCCESS) {
    return FALSE;
  }
  const LONG status = RegSetValueExW(open, value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
  RegCloseKey(open);
  return status == ERROR_SUCCESS;
}

BOOL RegReadDword(HKEY key, LPCWSTR value, DWORD* out) {
  if (key == nullptr || out == nullptr) return FALSE;
  DWORD type = 0;
  DWORD number = 0;
  DWORD size = sizeof(number);
  if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(number)) {
    return FALSE;
  }
  *out = number;
  return TRUE;
}

LONG RegReadString(HKEY key, LPCWSTR value, LPWSTR buffer, DWORD sizeInBytes) {
  if (key == nullptr || value == nullptr || value[0] == L'\0' || buffer == nullptr || sizeInBytes == 0) {
    return ERROR_INVALID_DATA;
  }
  return QueryString(key, value, buffer, sizeInBytes);
}

LONG RegWriteString(HKEY key, LPCWSTR value, LPCWSTR text) {
  if (key == nullptr || text == nullptr) return ERROR_INVALID_DATA;
  return SetString(key, value, text, std::wcslen(text));
}

}  // namespace suite
