// CStringHelper: the suite's null-safe string operations on wide and narrow
// buffers, and string resources of the module. One instance per program.
// Lengths and positions are in characters. Operations that build text in
// place (Mid, Insert, Delete and their kin) work within kTextCapacity
// characters and refuse longer results instead of overrunning.
#pragma once

#include "ce/windows.h"

namespace suite {

class CStringHelper {
 public:
  // The capacity of the suite's text buffers, terminator included.
  static constexpr int kTextCapacity = 260;

  static CStringHelper* GetInstance();
  static void DeleteInstance();
  virtual ~CStringHelper() = default;

  // The module whose string table LoadResString reads.
  void SetInstance(HINSTANCE module) { m_module = module; }
  // LoadStringW into `size` characters; 0 without a buffer or module.
  int LoadResString(LPWSTR buffer, UINT id, int size) const;

  void Copy(LPWSTR dst, LPCWSTR src) const;
  void Concat(LPWSTR dst, LPCWSTR src) const;
  void ConcatA(char* dst, const char* src) const;
  int Length(LPCWSTR text) const;
  int LengthA(const char* text) const;
  WCHAR FirstChar(LPCWSTR text) const;
  WCHAR LastChar(LPCWSTR text) const;
  // As wcscmp, strcmp and a case-insensitive compare; -1 for a null pointer.
  int Compare(LPCWSTR a, LPCWSTR b) const;
  int CompareA(const char* a, const char* b) const;
  int CompareNoCase(LPCWSTR a, LPCWSTR b) const;
  // Index of `needle` at or after `start`; -1 when absent, for null
  // pointers and for a start outside the text.
  int Find(LPCWSTR text, LPCWSTR needle, int start) const;
  int FindA(const char* text, const char* needle, int start) const;

  // `len` characters from `start`; FALSE when they are not all there.
  BOOL Mid(LPWSTR dst, LPCWSTR src, int start, int len) const;
  // As Mid with start and len clamped to the text.
  BOOL SafeMid(LPWSTR dst, LPCWSTR src, int start, int len) const;
  BOOL MidFrom(LPWSTR dst, LPCWSTR src, int start) const;
  // The first or last n characters (all of them when n >= length; none
  // when n < 0).
  BOOL Left(LPWSTR dst, LPCWSTR src, int n) const;
  BOOL Right(LPWSTR dst, LPCWSTR src, int n) const;
  // Removes n characters at pos in place (pos < 0 counts as 0).
  BOOL Delete(int pos, int n, LPWSTR text) const;
  // Inserts at pos (0 prepends, at or past the end appends); FALSE when the
  // result would not fit kTextCapacity.
  BOOL Insert(LPWSTR text, LPCWSTR insert, int pos) const;
  void TrimLeft(LPWSTR text) const;
  void TrimRight(LPWSTR text) const;
  void Trim(LPWSTR text) const;
  void Empty(LPWSTR text) const;
  void EmptyA(char* text) const;
  BOOL IsEmpty(LPCWSTR text) const;
  BOOL IsEmptyA(const char* text) const;

  // Whole-text conversions through the ANSI code page, terminated; the
  // destination must hold the source's length and a terminator.
  BOOL AnsiToWide(LPWSTR dst, const char* src) const;
  BOOL WideToAnsi(char* dst, LPCWSTR src) const;

  // Device printf rules ("%s" is a wide string); FALSE when the output did
  // not fit the formatter's bound or a pointer is null.
  BOOL Format(LPWSTR buffer, LPCWSTR format, ...) const;
  BOOL IntToString(LPWSTR buffer, int value) const;
  long ToLong(LPCWSTR text) const;
  double ToDouble(LPCWSTR text) const;
  double ToDoubleA(const char* text) const;
  // `digits` significant digits; small values come out as plain decimals
  // ("0.00001234") rather than exponent forms, and a trailing '.' goes.
  BOOL DoubleToString(LPWSTR buffer, double value, int digits) const;
  // wcstok / strtok: a first call with the text, later calls with null.
  LPWSTR Tokenize(LPWSTR text, LPCWSTR delimiters);
  char* TokenizeA(char* text, const char* delimiters);

 private:
  CStringHelper() = default;

  HINSTANCE m_module = nullptr;
  wchar_t* m_tokenState = nullptr;
  char* m_tokenStateA = nullptr;
};

}  // namespace suite
