// lstr* and Char* calls over wide strings, with locale-free case mapping.
#include <cwchar>

#include "ce/strconv.h"
#include "ce/winbase.h"

namespace {

// Values below 0x10000 are characters passed where a string is expected.
bool IsCharacterArgument(LPCWSTR text) { return (reinterpret_cast<ULONG_PTR>(text) >> 16) == 0; }

template <class Map>
LPWSTR MapInPlace(LPWSTR text, Map map) {
  if (IsCharacterArgument(text)) {
    const auto c = static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(text) & 0xFFFF);
    return reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(map(c))));
  }
  for (LPWSTR p = text; *p != 0; ++p) *p = map(*p);
  return text;
}

template <class Map>
DWORD MapBuffer(LPWSTR text, DWORD length, Map map) {
  if (text == nullptr) return 0;
  for (DWORD i = 0; i < length; ++i) text[i] = map(text[i]);
  return length;
}

int Sign(long long difference) { return difference < 0 ? -1 : (difference > 0 ? 1 : 0); }

}  // namespace

int lstrlenW(LPCWSTR text) {
  if (text == nullptr) return 0;
  return static_cast<int>(std::wcslen(text));
}

LPWSTR lstrcpyW(LPWSTR dest, LPCWSTR source) {
  if (dest == nullptr || source == nullptr) return nullptr;
  return std::wcscpy(dest, source);
}

LPWSTR lstrcpynW(LPWSTR dest, LPCWSTR source, int maxLength) {
  if (dest == nullptr || source == nullptr) return nullptr;
  if (maxLength <= 0) return dest;
  int i = 0;
  for (; i < maxLength - 1 && source[i] != 0; ++i) dest[i] = source[i];
  dest[i] = 0;
  return dest;
}

LPWSTR lstrcatW(LPWSTR dest, LPCWSTR source) {
  if (dest == nullptr || source == nullptr) return nullptr;
  return std::wcscat(dest, source);
}

int lstrcmpiW(LPCWSTR a, LPCWSTR b) {
  if (a == nullptr || b == nullptr) return Sign((a != nullptr) - (b != nullptr));
  return ce::CompareNoCase(a, b);
}

int lstrcmpW(LPCWSTR a, LPCWSTR b) {
  if (a == nullptr || b == nullptr) return Sign((a != nullptr) - (b != nullptr));
  const int folded = ce::CompareNoCase(a, b);
  if (folded != 0) return folded;
  for (; *a != 0; ++a, ++b) {
    if (*a != *b) {
      // Same letter in another case: the lower-case form sorts first.
      const bool aLower = ce::ToUpperInvariant(*a) != *a;
      return aLower ? -1 : 1;
    }
  }
  return 0;
}

LPWSTR CharUpperW(LPWSTR text) { return MapInPlace(text, ce::ToUpperInvariant); }
LPWSTR CharLowerW(LPWSTR text) { return MapInPlace(text, ce::ToLowerInvariant); }
DWORD CharUpperBuffW(LPWSTR text, DWORD length) { return MapBuffer(text, length, ce::ToUpperInvariant); }
DWORD CharLowerBuffW(LPWSTR text, DWORD length) { return MapBuffer(text, length, ce::ToLowerInvariant); }
