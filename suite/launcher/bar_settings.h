// CBarSettings: every persistent setting of the launcher bar and its 160
// icon items, kept as values of one registry key under HKEY_CURRENT_USER
// ("SOFTWARE\Tarnwell\Tessivo") that stays open for the module's life. The
// bar lays out from it; the options, icons and tool dialogs change it and
// save it through it. One instance per module (BarSettings()).
//
// Numbers are REG_DWORD values, texts REG_SZ values of at most 259
// characters. Icon item i is stored as "F"i (path), "P"i (parameters,
// absent when there are none), "N"i (name) and "I"i (the resource icon
// number as one byte of REG_BINARY).
#pragma once

#include <string>

#include "ce/windows.h"
#include "tool_host.h"

namespace tessivo {

inline constexpr int kIconItemCount = 160;
inline constexpr int kTextCapacity = 260;
// The most icon lines the bar shows, static and scrolling together.
inline constexpr DWORD kMaxLines = 10;
// The most scrolling lines one page shows.
inline constexpr DWORD kMaxShownLines = 5;

// One icon slot of the bar: what it starts and the icon it shows. An empty
// path means an empty slot.
class CIconItem {
 public:
  CIconItem() = default;
  virtual ~CIconItem();
  CIconItem(const CIconItem&) = delete;
  CIconItem& operator=(const CIconItem&) = delete;
  // Takes the other item's texts and icon; the other is left empty.
  void MoveFrom(CIconItem& other);

  void SetPath(LPCWSTR path);
  // An empty or null text means no parameters.
  void SetParameters(LPCWSTR parameters);
  void SetName(LPCWSTR name);
  // Shows `icon` without owning it.
  void SetIcon(HICON icon);
  // Shows `icon` and destroys it with the item.
  void AdoptIcon(HICON icon);
  // The module's icon resource `number` at the bar's icon size, owned; 0
  // does nothing.
  void LoadResourceIcon(BYTE number);
  // With a non-zero number the resource icon, else the given icon.
  void Set(LPCWSTR path, LPCWSTR parameters, LPCWSTR name, HICON icon, BYTE number);
  // Copies program-list entry `index` (path, parameters, name, icon); an
  // index outside the list empties the item.
  void SetFromEntry(int index);
  // Looks the icon up in the program list when the item has none and a
  // path; storage-card paths wait until the device has run for 30 s.
  void EnsureIcon();
  void Clear();

  const std::wstring& Path() const { return m_path; }
  const std::wstring& Parameters() const { return m_parameters; }
  const std::wstring& Name() const { return m_name; }
  bool HasPath() const { return !m_path.empty(); }
  bool HasParameters() const { return !m_parameters.empty(); }
  HICON Icon() const { return m_icon; }
  BYTE ResourceIcon() const { return m_resourceIcon; }

 private:
  void DropIcon();

  std::wstring m_path;
  std::wstring m_parameters;
  std::wstring m_name;
  HICON m_icon = nullptr;
  BOOL m_ownsIcon = FALSE;
  BYTE m_resourceIcon = 0;
};

class CBarSettings {
 public:
  CBarSettings();
  virtual ~CBarSettings();
  CBarSettings(const CBarSettings&) = delete;
  CBarSettings& operator=(const CBarSettings&) = delete;

  // Opens (creates) the key and its "CPL" subkey; the constructor does. A
  // key deleted since it was opened is made again, here and before every
  // load and save, so the settings never go to a dead key.
  BOOL Open();
  void Close();
  bool IsOpen() const { return m_key != nullptr; }

  // Two scrolling lines, one shown, no static line, no date; all items
  // empty.
  void SetDefaultLayout();
  // 1 when the settings and the icon items were read. 0, changing nothing,
  // when the key is not open or "NumLines" or "Date" is missing (a first
  // run). The items are replaced all together, or not at all when none of
  // them is stored. Line counts out of range are brought back in range.
  BOOL Load();
  // The layout, "CD", every item (an item without a path has its values
  // removed, so an emptied slot stays empty), then the options.
  BOOL SaveIcons();
  void SaveOptions();
  void SaveCD();
  void SaveWindowHandle(HWND window);
  // 1 while an item with a name other than "* No Icon *" has no icon
  // after looking again.
  BOOL RetryMissingIcons();

  CIconItem& Item(int index) { return m_items[index]; }
  const CIconItem& Item(int index) const { return m_items[index]; }

  // Brings the line counts within what the bar can show: at most ten lines
  // in all and at most five shown scrolling lines, no more than there are.
  void ClampLines();

  // The layout ("NumLines", "NS", "SW", "Date") and options.
  DWORD numLines = 0;  // static lines
  DWORD ns = 2;        // scrolling lines in total
  DWORD sw = 1;        // scrolling lines shown at a time
  DWORD date = 0;
  DWORD an = 0;
  DWORD cd = 0;
  // The tools' options (Sweepkit, Juggler, Chimer), live while a tool
  // edits them.
  ToolOptions options;
  WCHAR explore[kTextCapacity] = {};

 private:
  bool KeyIsGone() const;
  void Revalidate();
  void ReadDword(LPCWSTR name, DWORD* field);
  void ReadText(LPCWSTR name, WCHAR* field);
  void WriteDword(LPCWSTR name, DWORD value);
  void WriteText(LPCWSTR name, LPCWSTR text);

  HKEY m_key = nullptr;
  HKEY m_cplKey = nullptr;
  CIconItem m_items[kIconItemCount];
};

// The module's settings, created on first use.
CBarSettings& BarSettings();

// The registry value name of item i: prefix "F", "P", "N" or "I".
std::wstring ItemValueName(LPCWSTR prefix, int index);

}  // namespace tessivo
