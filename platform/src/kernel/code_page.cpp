// MultiByteToWideChar and WideCharToMultiByte over Windows-1252 and UTF-8.
// Each call converts into a temporary first, so a size query and a real
// conversion always agree and a too-small buffer is never written.
#include "kernel/code_page.h"

#include "ce/strconv.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "ce/winbase.h"
#include "ce/winnls.h"
#include "kernel/not_implemented.h"

namespace ce::kernel {
namespace {

// 0x80-0x9F of Windows-1252. The five bytes the code page leaves undefined
// map to the C1 control of the same value, so every byte round-trips.
constexpr wchar_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char32_t kReplacement = 0xFFFD;

bool IsValidCodePoint(char32_t c) { return c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF); }

bool IsAnsi(UINT codePage) { return codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == kAnsiCodePage; }

// Code pages the device knows but this layer does not convert.
bool IsUnimplemented(UINT codePage) {
  return codePage == CP_OEMCP || codePage == CP_MACCP || codePage == CP_SYMBOL || codePage == CP_UTF7;
}

// Decodes UTF-8; each maximal invalid sequence becomes one U+FFFD. Returns
// false when anything was invalid.
bool DecodeUtf8(const unsigned char* text, std::size_t size, std::wstring& out) {
  bool valid = true;
  std::size_t i = 0;
  while (i < size) {
    const unsigned lead = text[i];
    int extra = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      out += static_cast<wchar_t>(lead);
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, c = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3, c = lead & 0x07, minimum = 0x10000;
    } else {
      out += static_cast<wchar_t>(kReplacement);
      valid = false;
      ++i;
      continue;
    }
    std::size_t used = 1;
    bool ok = true;
    for (int k = 0; k < extra; ++k, ++used) {
      if (i + used >= size || (text[i + used] & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (text[i + used] & 0x3F);
    }
    if (!ok || c < minimum || !IsValidCodePoint(c)) {
      out += static_cast<wchar_t>(kReplacement);
      valid = false;
      i += used;
      continue;
    }
    out += static_cast<wchar_t>(c);
    i += used;
  }
  return valid;
}

// Letters of the code page written as a base letter and a combining mark.
struct Composition {
  wchar_t composite;
  wchar_t base;
  wchar_t mark;
};
// Upper-case Latin-1 forms; the lower-case ones are these plus 0x20.
constexpr Composition kLatin1Upper[] = {
    {0xC0, L'A', 0x300}, {0xC1, L'A', 0x301}, {0xC2, L'A', 0x302}, {0xC3, L'A', 0x303}, {0xC4, L'A', 0x308},
    {0xC5, L'A', 0x30A}, {0xC7, L'C', 0x327}, {0xC8, L'E', 0x300}, {0xC9, L'E', 0x301}, {0xCA, L'E', 0x302},
    {0xCB, L'E', 0x308}, {0xCC, L'I', 0x300}, {0xCD, L'I', 0x301}, {0xCE, L'I', 0x302}, {0xCF, L'I', 0x308},
    {0xD1, L'N', 0x303}, {0xD2, L'O', 0x300}, {0xD3, L'O', 0x301}, {0xD4, L'O', 0x302}, {0xD5, L'O', 0x303},
    {0xD6, L'O', 0x308}, {0xD9, L'U', 0x300}, {0xDA, L'U', 0x301}, {0xDB, L'U', 0x302}, {0xDC, L'U', 0x308},
    {0xDD, L'Y', 0x301},
};
constexpr Composition kOthers[] = {
    {0xFF, L'y', 0x308},  {0x178, L'Y', 0x308}, {0x160, L'S', 0x30C},
    {0x161, L's', 0x30C}, {0x17D, L'Z', 0x30C}, {0x17E, L'z', 0x30C},
};

bool IsNonSpacingMark(wchar_t c) { return c >= 0x300 && c <= 0x36F; }

// The precomposed letter of base + mark, or 0.
wchar_t Compose(wchar_t base, wchar_t mark) {
  for (const Composition& entry : kLatin1Upper) {
    if (entry.mark != mark) continue;
    if (entry.base == base) return entry.composite;
    if (entry.base + 0x20 == base) return static_cast<wchar_t>(entry.composite + 0x20);
  }
  for (const Composition& entry : kOthers) {
    if (entry.mark == mark && entry.base == base) return entry.composite;
  }
  return 0;
}

// Copies a finished conversion out under the size-query rules.
template <class Char>
int Deliver(const std::basic_string<Char>& result, Char* out, int outCount) {
  if (result.size() > static_cast<std::size_t>(INT32_MAX)) {
    SetLastError(ERROR_ARITHMETIC_OVERFLOW);
    return 0;
  }
  const int needed = static_cast<int>(result.size());
  if (outCount == 0) return needed;
  if (needed > outCount) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(out, result.data(), result.size() * sizeof(Char));
  return needed;
}

}  // namespace

wchar_t WideFromAnsi(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return static_cast<wchar_t>(byte);
}

int AnsiFromWide(wchar_t c) {
  if (c >= 0 && (c < 0x80 || (c >= 0xA0 && c <= 0xFF))) return static_cast<int>(c);
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == c) return 0x80 + i;
  }
  return -1;
}

}  // namespace ce::kernel

using ce::kernel::AnsiFromWide;
using ce::kernel::WideFromAnsi;

UINT GetACP() { return ce::kernel::kAnsiCodePage; }

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteCount, LPWSTR wide, int wideCount) {
  if (multiByte == nullptr || multiByteCount == 0 || multiByteCount < -1 || wideCount < 0 ||
      (wideCount > 0 && wide == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(multiByte);
  const std::size_t size = multiByteCount == -1 ? std::strlen(multiByte) + 1 : static_cast<std::size_t>(multiByteCount);
  std::wstring result;
  result.reserve(size);

  if (codePage == CP_UTF8) {
    if ((flags & ~MB_ERR_INVALID_CHARS) != 0) {
      SetLastError(ERROR_INVALID_FLAGS);
      return 0;
    }
    if (!ce::kernel::DecodeUtf8(bytes, size, result) && (flags & MB_ERR_INVALID_CHARS) != 0) {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return 0;
    }
    return ce::kernel::Deliver(result, wide, wideCount);
  }
  if (ce::kernel::IsAnsi(codePage)) {
    if ((flags & ~(MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS)) != 0 ||
        ((flags & MB_PRECOMPOSED) != 0 && (flags & MB_COMPOSITE) != 0)) {
      SetLastError(ERROR_INVALID_FLAGS);
      return 0;
    }
    if ((flags & MB_COMPOSITE) != 0) {
      ce::kernel::NotImplemented("MultiByteToWideChar(MB_COMPOSITE)");
      return 0;
    }
    if ((flags & MB_USEGLYPHCHARS) != 0) {
      ce::kernel::NotImplemented("MultiByteToWideChar(MB_USEGLYPHCHARS)");
      return 0;
    }
    // Every byte has a character, so MB_ERR_INVALID_CHARS never fails here.
    for (std::size_t i = 0; i < size; ++i) result += WideFromAnsi(bytes[i]);
    return ce::kernel::Deliver(result, wide, wideCount);
  }
  if (ce::kernel::IsUnimplemented(codePage)) {
    ce::kernel::NotImplemented("MultiByteToWideChar(code page)");
    return 0;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR multiByte, int multiByteCount,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar) {
  if (wide == nullptr || wideCount == 0 || wideCount < -1 || multiByteCount < 0 ||
      (multiByteCount > 0 && multiByte == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::size_t size = wideCount == -1 ? std::wcslen(wide) + 1 : static_cast<std::size_t>(wideCount);
  std::string result;
  result.reserve(size);

  if (codePage == CP_UTF8) {
    if (defaultChar != nullptr || usedDefaultChar != nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    if ((flags & ~WC_ERR_INVALID_CHARS) != 0) {
      SetLastError(ERROR_INVALID_FLAGS);
      return 0;
    }
    for (std::size_t i = 0; i < size; ++i) {
      auto c = static_cast<char32_t>(wide[i]);
      if (!ce::kernel::IsValidCodePoint(c)) {
        if ((flags & WC_ERR_INVALID_CHARS) != 0) {
          SetLastError(ERROR_NO_UNICODE_TRANSLATION);
          return 0;
        }
        c = ce::kernel::kReplacement;
      }
      ce::AppendUtf8(result, c);
    }
    return ce::kernel::Deliver(result, multiByte, multiByteCount);
  }
  if (ce::kernel::IsAnsi(codePage)) {
    constexpr DWORD kCompositeRules = WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR;
    const DWORD rules = flags & kCompositeRules;
    if ((flags & ~(WC_COMPOSITECHECK | kCompositeRules | WC_NO_BEST_FIT_CHARS)) != 0 ||
        (rules != 0 && (rules & (rules - 1)) != 0) || (rules != 0 && (flags & WC_COMPOSITECHECK) == 0)) {
      SetLastError(ERROR_INVALID_FLAGS);
      return 0;
    }
    const char fallback = defaultChar != nullptr ? *defaultChar : '?';
    bool usedDefault = false;
    auto emit = [&](wchar_t c) {
      const int byte = AnsiFromWide(c);
      if (byte < 0) {
        result += fallback;
        usedDefault = true;
      } else {
        result += static_cast<char>(byte);
      }
    };
    for (std::size_t i = 0; i < size; ++i) {
      const wchar_t c = wide[i];
      if ((flags & WC_COMPOSITECHECK) != 0 && i + 1 < size && ce::kernel::IsNonSpacingMark(wide[i + 1])) {
        const wchar_t composite = ce::kernel::Compose(c, wide[i + 1]);
        if (composite != 0) {
          emit(composite);
        } else if (rules == WC_DISCARDNS) {
          emit(c);
        } else if (rules == WC_DEFAULTCHAR) {
          result += fallback;
          usedDefault = true;
        } else {
          emit(c);
          emit(wide[i + 1]);
        }
        ++i;
        continue;
      }
      emit(c);
    }
    if (usedDefaultChar != nullptr) *usedDefaultChar = usedDefault ? TRUE : FALSE;
    return ce::kernel::Deliver(result, multiByte, multiByteCount);
  }
  if (ce::kernel::IsUnimplemented(codePage)) {
    ce::kernel::NotImplemented("WideCharToMultiByte(code page)");
    return 0;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}
