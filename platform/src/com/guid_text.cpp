// Identifiers as text: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include <cwchar>

#include "ce/objbase.h"

namespace {

constexpr int kTextLength = 38;

int HexDigit(OLECHAR c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// Reads `count` hexadecimal digits starting at text[at].
bool ReadHex(LPCOLESTR text, int at, int count, unsigned long long& out) {
  out = 0;
  for (int i = 0; i < count; ++i) {
    const int digit = HexDigit(text[at + i]);
    if (digit < 0) return false;
    out = out * 16 + static_cast<unsigned>(digit);
  }
  return true;
}

bool Parse(LPCOLESTR text, GUID& out) {
  // Stop at the first character that does not fit, so a short string is
  // never read past its terminator.
  static constexpr char kShape[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  for (int i = 0; i < kTextLength; ++i) {
    if (text[i] == L'\0') return false;
    if (kShape[i] == 'X') {
      if (HexDigit(text[i]) < 0) return false;
    } else if (text[i] != static_cast<OLECHAR>(kShape[i])) {
      return false;
    }
  }
  if (text[kTextLength] != L'\0') return false;
  unsigned long long value = 0;
  ReadHex(text, 1, 8, value);
  out.Data1 = static_cast<DWORD>(value);
  ReadHex(text, 10, 4, value);
  out.Data2 = static_cast<WORD>(value);
  ReadHex(text, 15, 4, value);
  out.Data3 = static_cast<WORD>(value);
  static constexpr int kBytes[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    ReadHex(text, kBytes[i], 2, value);
    out.Data4[i] = static_cast<BYTE>(value);
  }
  return true;
}

}  // namespace

HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid) {
  if (text == nullptr || clsid == nullptr) return E_INVALIDARG;
  GUID parsed{};
  if (!Parse(text, parsed)) return CO_E_CLASSSTRING;
  *clsid = parsed;
  return S_OK;
}

HRESULT IIDFromString(LPCOLESTR text, IID* iid) {
  if (text == nullptr || iid == nullptr) return E_INVALIDARG;
  GUID parsed{};
  if (!Parse(text, parsed)) return E_INVALIDARG;
  *iid = parsed;
  return S_OK;
}

int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int size) {
  if (buffer == nullptr || size < kTextLength + 1) return 0;
  std::swprintf(buffer, static_cast<std::size_t>(size), L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(guid.Data1), static_cast<unsigned>(guid.Data2), static_cast<unsigned>(guid.Data3),
                guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6],
                guid.Data4[7]);
  return kTextLength + 1;
}
