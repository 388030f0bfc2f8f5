// CRegHelper: single values under HKEY_CURRENT_USER by key path, and three
// free functions on keys the caller has open. Results differ on purpose,
// as the suite's callers expect: the helper class and RegReadDword answer 1
// for success, RegReadString and RegWriteString the registry's error code
// (0 for success).
//
// String sizes are the device's byte counts: two bytes a character with
// the terminator, so a size of 256 reads at most 127 characters. Only
// values of the expected type are read, and what is read is always
// terminated.
#pragma once

#include <cstddef>

#include "ce/windows.h"

namespace suite {

class CRegHelper {
 public:
  // The longest text WriteString stores, terminator included.
  static constexpr int kWriteCapacity = 260;

  CRegHelper() = default;
  virtual ~CRegHelper() = default;

  BOOL ReadString(LPCWSTR key, LPCWSTR value, LPWSTR buffer, DWORD sizeInBytes);
  // The same into a whole array, its size counted the device's way, so the
  // count can never be the host's bytes (four a character here).
  template <std::size_t N>
  BOOL ReadString(LPCWSTR key, LPCWSTR value, WCHAR (&buffer)[N]) {
    return ReadString(key, value, buffer, static_cast<DWORD>(N * 2));
  }
  BOOL ReadDword(LPCWSTR key, LPCWSTR value, DWORD* out);
  // Stores `length` characters of `text` (at most its real length); FALSE
  // for a text that does not fit kWriteCapacity.
  BOOL WriteString(LPCWSTR key, LPCWSTR value, LPCWSTR text, int length);
  BOOL WriteDword(LPCWSTR key, LPCWSTR value, DWORD number);
};

BOOL RegReadDword(HKEY key, LPCWSTR value, DWORD* out);
// ERROR_INVALID_DATA (13) for a null key, name, buffer or size, or an empty
// name; else the result of the read.
LONG RegReadString(HKEY key, LPCWSTR value, LPWSTR buffer, DWORD sizeInBytes);
LONG RegWriteString(HKEY key, LPCWSTR value, LPCWSTR text);

}  // namespace suite
