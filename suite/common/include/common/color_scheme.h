// CColorScheme: the home screen's current colours and background picture,
// read from the colour-scheme file or the home layout the home screen's
// settings name, and written back as a colour-scheme file the home screen
// then uses. The 29 colours are handed out and taken in as one block, in
// slot order (kColorNames).
#pragma once

#include "ce/windows.h"
#include "common/reg_helper.h"
#include "common/xml_document.h"

namespace suite {

class CStringHelper;
class IssUtility;

class CColorScheme {
 public:
  static constexpr int kColorCount = 29;
  // The slots the plug-ins draw their rows with.
  static constexpr int kHomeText = 22;
  static constexpr int kHomeHighlight = 23;
  static constexpr int kHomeHighlightText = 24;
  static constexpr int kHomeRule = 25;
  static constexpr int kPathCapacity = 256;
  // The colour names by slot.
  static const wchar_t* const kColorNames[kColorCount];

  CColorScheme();
  virtual ~CColorScheme() = default;

  // Reads the scheme the home screen uses now; FALSE when there is none or
  // it cannot be read (the colours stay as they were).
  BOOL LoadCurrent();
  // Reads the colours (and, unless keepBackground, the background) of a
  // colour-scheme file or, with colorSchemeFile FALSE, a home layout.
  BOOL ParseFile(LPCWSTR path, BOOL keepBackground, BOOL colorSchemeFile);
  // "#RRGGBB" into the slot of that name; anything else changes nothing.
  void SetColorByName(LPCWSTR name, LPCWSTR text);
  // Writes the scheme to the file the home screen does not use now and
  // makes that file the current one.
  BOOL SaveAsCurrent();
  BOOL WriteFile(LPCWSTR path);

  BOOL GetBgImage(LPWSTR out);
  BOOL SetBgImage(LPCWSTR in);
  BOOL GetColors(COLORREF* out);
  BOOL SetColors(const COLORREF* in);

 private:
  BOOL SchemePath(LPWSTR out, bool alternate);

  CRegHelper m_registry;
  CStringHelper* m_strings;
  IssUtility* m_utility;
  CXmlReader m_reader;
  WCHAR m_bgImage[kPathCapacity] = {};
  COLORREF m_colors[kColorCount];
  BOOL m_currentIsPrimary = FALSE;
};

}  // namespace suite
