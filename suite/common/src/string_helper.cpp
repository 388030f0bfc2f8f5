#include "common/string_helper.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "ce/crt.h"

namespace suite {
namespace {

CStringHelper* g_instance = nullptr;

template <typename Char>
int LengthOf(const Char* text) {
  if (text == nullptr) return 0;
  int n = 0;
  while (text[n] != 0) ++n;
  return n;
}

// Copies `count` characters and a terminator.
void CopyRange(wchar_t* dst, const wchar_t* src, int count) {
  std::wmemmove(dst, src, static_cast<std::size_t>(count));
  dst[count] = L'\0';
}

template <typename Char>
int FindIn(const Char* text, const Char* needle, int start) {
  if (text == nullptr || needle == nullptr || start < 0) return -1;
  const int length = LengthOf(text);
  const int needleLength = LengthOf(needle);
  if (start > length) return -1;
  for (int i = start; i + needleLength <= length; ++i) {
    int k = 0;
    while (k < needleLength && text[i + k] == needle[k]) ++k;
    if (k == needleLength) return i;
  }
  return -1;
}

// strtok's rule on a saved position: skip leading delimiters, cut at the
// next one.
template <typename Char>
Char* NextToken(Char* text, const Char* delimiters, Char*& state) {
  Char* p = text != nullptr ? text : state;
  if (p == nullptr || delimiters == nullptr) return nullptr;
  auto isDelimiter = [delimiters](Char c) {
    for (const Char* d = delimiters; *d != 0; ++d) {
      if (*d == c) return true;
    }
    return false;
  };
  while (*p != 0 && isDelimiter(*p)) ++p;
  if (*p == 0) {
    state = nullptr;
    return nullptr;
  }
  Char* token = p;
  while (*p != 0 && !isDelimiter(*p)) ++p;
  if (*p != 0) {
    *p = 0;
    state = p + 1;
  } else {
    state = nullptr;
  }
  return token;
}

}  // namespace

CStringHelper* CStringHelper::GetInstance() {
  if (g_instance == nullptr) g_instance = new CStringHelper();
  return g_instance;
}

void CStringHelper::DeleteInstance() {
  delete g_instance;
  g_instance = nullptr;
}

int CStringHelper::LoadResString(LPWSTR buffer, UINT id, int size) const {
  if (buffer == nullptr || m_module == nullptr || size <= 0) return 0;
  return LoadStringW(m_module, id, buffer, size);
}

void CStringHelper::Copy(LPWSTR dst, LPCWSTR src) const {
  if (dst == nullptr || src == nullptr) return;
  CopyRange(dst, src, LengthOf(src));
}

void CStringHelper::Concat(LPWSTR dst, LPCWSTR src) const {
  if (dst == nullptr || src == nullptr) return;
  CopyRange(dst + LengthOf(dst), src, LengthOf(src));
}

void CStringHelper::ConcatA(char* dst, const char* src) const {
  if (dst == nullptr || src == nullptr) return;
  const int start = LengthOf(dst);
  const int n = LengthOf(src);
  std::memmove(dst + start, src, static_cast<std::size_t>(n));
  dst[start + n] = '\0';
}

int CStringHelper::Length(LPCWSTR text) const { return LengthOf(text); }
int CStringHelper::LengthA(const char* text) const { return LengthOf(text); }

WCHAR CStringHelper::FirstChar(LPCWSTR text) const { return text == nullptr ? L'\0' : text[0]; }

WCHAR CStringHelper::LastChar(LPCWSTR text) const {
  const int n = LengthOf(text);
  return n == 0 ? L'\0' : text[n - 1];
}

int CStringHelper::Compare(LPCWSTR a, LPCWSTR b) const {
  if (a == nullptr || b == nullptr) return -1;
  return std::wcscmp(a, b);
}

int CStringHelper::CompareA(const char* a, const char* b) const {
  if (a == nullptr || b == nullptr) return -1;
  return std::strcmp(a, b);
}

int CStringHelper::CompareNoCase(LPCWSTR a, LPCWSTR b) const {
  if (a == nullptr || b == nullptr) return -1;
  return _wcsicmp(a, b);
}

int CStringHelper::Find(LPCWSTR text, LPCWSTR needle, int start) const { return FindIn(text, needle, start); }
int CStringHelper::FindA(const char* text, const char* needle, int start) const { return FindIn(text, needle, start); }

BOOL CStringHelper::Mid(LPWSTR dst, LPCWSTR src, int start, int len) const {
  if (dst == nullptr || src == nullptr || start < 0 || len < 0) return FALSE;
  const int length = LengthOf(src);
  if (start > length || len > length - start) return FALSE;
  CopyRange(dst, src + start, len);
  return TRUE;
}

BOOL CStringHelper::SafeMid(LPWSTR dst, LPCWSTR src, int start, int len) const {
  if (dst == nullptr || src == nullptr) return FALSE;
  const int length = LengthOf(src);
  if (start < 0) start = 0;
  if (start > length) start = length;
  if (len < 0) len = 0;
  if (len > length - start) len = length - start;
  CopyRange(dst, src + start, len);
  return TRUE;
}

BOOL CStringHelper::MidFrom(LPWSTR dst, LPCWSTR src, int start) const {
  if (dst == nullptr || src == nullptr || start < 0) return FALSE;
  const int length = LengthOf(src);
  if (start > length) return FALSE;
  CopyRange(dst, src + start, length - start);
  return TRUE;
}

BOOL CStringHelper::Left(LPWSTR dst, LPCWSTR src, int n) const {
  if (dst == nullptr || src == nullptr) return FALSE;
  const int length = LengthOf(src);
  if (n < 0) n = 0;
  if (n > length) n = length;
  CopyRange(dst, src, n);
  return TRUE;
}

BOOL CStringHelper::Right(LPWSTR dst, LPCWSTR src, int n) const {
  if (dst == nullptr || src == nullptr) return FALSE;
  const int length = LengthOf(src);
  if (n < 0) n = 0;
  if (n > length) n = length;
  CopyRange(dst, src + length - n, n);
  return TRUE;
}

BOOL CStringHelper::Delete(int pos, int n, LPWSTR text) const {
  if (text == nullptr || n < 0) return FALSE;
  const int length = LengthOf(text);
  if (pos < 0) pos = 0;
  if (pos >= length) return TRUE;
  if (n > length - pos) n = length - pos;
  CopyRange(text + pos, text + pos + n, length - pos - n);
  return TRUE;
}

BOOL CStringHelper::Insert(LPWSTR text, LPCWSTR insert, int pos) const {
  if (text == nullptr || insert == nullptr) return FALSE;
  const int length = LengthOf(text);
  const int added = LengthOf(insert);
  if (length + added >= kTextCapacity) return FALSE;
  if (pos < 0) pos = 0;
  if (pos > length) pos = length;
  std::wmemmove(text + pos + added, text + pos, static_cast<std::size_t>(length - pos + 1));
  std::wmemcpy(text + pos, insert, static_cast<std::size_t>(added));
  return TRUE;
}

void CStringHelper::TrimLeft(LPWSTR text) const {
  if (text == nullptr) return;
  int skip = 0;
  while (text[skip] != 0 && ce::iswctype(text[skip], _SPACE)) ++skip;
  if (skip > 0) CopyRange(text, text + skip, LengthOf(text + skip));
}

void CStringHelper::TrimRight(LPWSTR text) const {
  if (text == nullptr) return;
  int n = LengthOf(text);
  while (n > 0 && ce::iswctype(text[n - 1], _SPACE)) --n;
  text[n] = L'\0';
}

void CStringHelper::Trim(LPWSTR text) const {
  TrimRight(text);
  TrimLeft(text);
}

void CStringHelper::Empty(LPWSTR text) const {
  if (text != nullptr) text[0] = L'\0';
}
void CStringHelper::EmptyA(char* text) const {
  if (text != nullptr) text[0] = '\0';
}
BOOL CStringHelper::IsEmpty(LPCWSTR text) const { return text == nullptr || text[0] == 0; }
BOOL CStringHelper::IsEmptyA(const char* text) const { return text == nullptr || text[0] == 0; }

BOOL CStringHelper::AnsiToWide(LPWSTR dst, const char* src) const {
  if (dst == nullptr || src == nullptr) return FALSE;
  const std::size_t n = static_cast<std::size_t>(LengthOf(src));
  const std::size_t converted = ce::mbstowcs(dst, src, n);
  dst[converted == static_cast<std::size_t>(-1) ? 0 : converted] = L'\0';
  return converted != static_cast<std::size_t>(-1);
}

BOOL CStringHelper::WideToAnsi(char* dst, LPCWSTR src) const {
  if (dst == nullptr || src == nullptr) return FALSE;
  const std::size_t n = static_cast<std::size_t>(LengthOf(src));
  const std::size_t converted = ce::wcstombs(dst, src, n);
  dst[converted == static_cast<std::size_t>(-1) ? 0 : converted] = '\0';
  return converted != static_cast<std::size_t>(-1);
}

BOOL CStringHelper::Format(LPWSTR buffer, LPCWSTR format, ...) const {
  if (buffer == nullptr || format == nullptr) return FALSE;
  va_list args;
  va_start(args, format);
  const int n = ce::vswprintf(buffer, format, args);
  va_end(args);
  return n >= 0;
}

BOOL CStringHelper::IntToString(LPWSTR buffer, int value) const { return Format(buffer, L"%i", value); }

long CStringHelper::ToLong(LPCWSTR text) const { return text == nullptr ? -1 : ce::wcstol(text, nullptr, 10); }

double CStringHelper::ToDouble(LPCWSTR text) const { return text == nullptr ? -1.0 : ce::wcstod(text, nullptr); }

double CStringHelper::ToDoubleA(const char* text) const {
  if (text == nullptr) return -1.0;
  wchar_t wide[kTextCapacity];
  int n = 0;
  // Numbers are ASCII: a longer text is cut where a number could not go on.
  for (; text[n] != 0 && n < kTextCapacity - 1; ++n) wide[n] = static_cast<unsigned char>(text[n]);
  wide[n] = L'\0';
  return ce::wcstod(wide, nullptr);
}

BOOL CStringHelper::DoubleToString(LPWSTR buffer, double value, int digits) const {
  if (buffer == nullptr || digits < 1 || digits > 17) return FALSE;
  char text[40];
  _gcvt(value, digits, text);
  const char* e = std::strchr(text, 'e');
  const double magnitude = value < 0 ? -value : value;
  if (e != nullptr && value != 0 && magnitude < 0.1) {
    const int exponent = -static_cast<int>(std::strtol(e + 1, nullptr, 10));
    if (exponent > 0 && exponent <= digits) {
      // "1.234e-005" becomes "0.00001234".
      char plain[40];
      int n = 0;
      const char* p = text;
      if (*p == '-') plain[n++] = *p++;
      plain[n++] = '0';
      plain[n++] = '.';
      for (int i = 1; i < exponent; ++i) plain[n++] = '0';
      for (; p < e; ++p) {
        if (*p != '.') plain[n++] = *p;
      }
      plain[n] = '\0';
      std::memcpy(text, plain, static_cast<std::size_t>(n + 1));
    }
  }
  const int length = LengthOf(text);
  if (length > 0 && text[length - 1] == '.') text[length - 1] = '\0';
  int i = 0;
  for (; text[i] != 0; ++i) buffer[i] = static_cast<unsigned char>(text[i]);
  buffer[i] = L'\0';
  return TRUE;
}

LPWSTR CStringHelper::Tokenize(LPWSTR text, LPCWSTR delimiters) { return NextToken(text, delimiters, m_tokenState); }

char* CStringHelper::TokenizeA(char* text, const char* delimiters) {
  return NextToken(text, delimiters, m_tokenStateA);
}

}  // namespace suite
