#include "ce/strconv.h"

#include <algorithm>

namespace ce {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

template <class Emit>
void DecodeUtf16(const char16_t* units, std::size_t count, Emit emit) {
  for (std::size_t i = 0; i < count; ++i) {
    const char32_t unit = units[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      emit(0x10000 + ((unit - 0xD800) << 10) + (static_cast<char32_t>(units[i + 1]) - 0xDC00));
      ++i;
    } else if (IsSurrogate(unit)) {
      emit(kReplacement);
    } else {
      emit(unit);
    }
  }
}

template <class Emit>
void EncodeUtf16(char32_t c, Emit emit) {
  if (c > 0x10FFFF || IsSurrogate(c)) c = kReplacement;
  if (c >= 0x10000) {
    c -= 0x10000;
    emit(static_cast<char16_t>(0xD800 + (c >> 10)));
    emit(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  } else {
    emit(static_cast<char16_t>(c));
  }
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF || IsSurrogate(c)) c = kReplacement;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string Utf8FromWide(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) AppendUtf8(out, static_cast<char32_t>(c));
  return out;
}

std::wstring WideFromUtf8(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int extra = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, c = lead & 0x07, minimum = 0x10000;
    } else {
      out += static_cast<wchar_t>(kReplacement);
      ++i;
      continue;
    }
    bool ok = true;
    std::size_t j = 1;
    for (; ok && j <= static_cast<std::size_t>(extra); ++j) {
      if (i + j >= text.size()) {
        ok = false;
        break;
      }
      const auto next = static_cast<unsigned char>(text[i + j]);
      if ((next & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (next & 0x3F);
    }
    if (!ok || c < minimum || c > 0x10FFFF || IsSurrogate(c)) {
      out += static_cast<wchar_t>(kReplacement);
      i += std::max<std::size_t>(1, j);
      continue;
    }
    out += static_cast<wchar_t>(c);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

std::u16string Utf16FromWide(std::wstring_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (wchar_t c : text) EncodeUtf16(static_cast<char32_t>(c), [&](char16_t unit) { out += unit; });
  return out;
}

std::wstring WideFromUtf16(std::u16string_view text) {
  std::wstring out;
  out.reserve(text.size());
  DecodeUtf16(text.data(), text.size(), [&](char32_t c) { out += static_cast<wchar_t>(c); });
  return out;
}

void AppendUtf16LE(std::vector<std::uint8_t>& out, std::wstring_view text) {
  for (wchar_t c : text) {
    EncodeUtf16(static_cast<char32_t>(c), [&](char16_t unit) {
      out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
      out.push_back(static_cast<std::uint8_t>(unit >> 8));
    });
  }
}

std::wstring WideFromUtf16LE(const std::uint8_t* bytes, std::size_t byteCount) {
  std::u16string units(byteCount / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return WideFromUtf16(units);
}

wchar_t ToUpperInvariant(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 32);
  if (c < 0xE0) return c;
  if (c <= 0xFE && c != 0xF7) return static_cast<wchar_t>(c - 32);  // Latin-1 letters
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A pairs upper/lower on even/odd code points, except the
    // run 0x139..0x148 and 0x179..0x17E, which pair on odd/even.
    const bool oddPaired = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (oddPaired) return (c % 2 == 0) ? static_cast<wchar_t>(c - 1) : c;
    return (c % 2 == 1) ? static_cast<wchar_t>(c - 1) : c;
  }
  // Greek, Cyrillic and the full-width Latin letters: fixed offsets.
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return static_cast<wchar_t>(c - 32);
  if (c == 0x3C2) return 0x3A3;  // final sigma
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return static_cast<wchar_t>(c - 37);
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return static_cast<wchar_t>(c - 63);
  if (c >= 0x430 && c <= 0x44F) return static_cast<wchar_t>(c - 32);
  if (c >= 0x450 && c <= 0x45F) return static_cast<wchar_t>(c - 80);
  if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<wchar_t>(c - 32);
  return c;
}

wchar_t ToLowerInvariant(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c + 32);
  if (c < 0xC0) return c;
  if (c <= 0xDE && c != 0xD7) return static_cast<wchar_t>(c + 32);
  if (c == 0x178) return 0xFF;
  if (c >= 0x100 && c <= 0x17F) {
    const bool oddPaired = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c == 0x130 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (oddPaired) return (c % 2 == 1) ? static_cast<wchar_t>(c + 1) : c;
    return (c % 2 == 0) ? static_cast<wchar_t>(c + 1) : c;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<wchar_t>(c + 32);
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return static_cast<wchar_t>(c + 37);
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return static_cast<wchar_t>(c + 63);
  if (c >= 0x410 && c <= 0x42F) return static_cast<wchar_t>(c + 32);
  if (c >= 0x400 && c <= 0x40F) return static_cast<wchar_t>(c + 80);
  if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<wchar_t>(c + 32);
  return c;
}

int CompareNoCase(std::wstring_view a, std::wstring_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const wchar_t ca = ToUpperInvariant(a[i]);
    const wchar_t cb = ToUpperInvariant(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) { return a.size() == b.size() && CompareNoCase(a, b) == 0; }

}  // namespace ce
