// CProgramList: the catalogue from which the bar's icon items are chosen:
// the device's settings pages, the suite's own special items, the pages of
// the news reader when it is installed, and every program, shortcut and
// document found under the Start Menu and My Documents folders of the
// storage root. At most 1000 entries; each has a name, a path, optional
// parameters and a small icon. The icons of scanned files are kept between
// scans by path and modification time, so a scan asks the shell only for
// files it has not seen as they are now.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "ce/windows.h"

namespace tessivo {

inline constexpr int kMaxProgramEntries = 1000;

struct ProgramEntry {
  std::wstring path;
  std::wstring parameters;  // empty: none
  std::wstring name;
  HICON icon = nullptr;
  BYTE resourceIcon = 0;  // 0: the icon came from the file
  bool ownsIcon = true;   // false: the scan's icon cache keeps it
};

class CProgramList {
 public:
  CProgramList() = default;
  virtual ~CProgramList();
  CProgramList(const CProgramList&) = delete;
  CProgramList& operator=(const CProgramList&) = delete;

  // The install folder, the special-folder library and the item texts,
  // each once.
  void Prepare();
  // Clear, the fixed entries, the scans of the Start Menu and My Documents,
  // then title-casing.
  void Rebuild();
  void Clear();
  // 1, or 0 when the list is full. The icon: `icon`, else resource icon
  // `resourceIcon`, else the file's own.
  BOOL AddEntry(LPCWSTR name, LPCWSTR path, LPCWSTR parameters, HICON icon, BYTE resourceIcon);
  // The file's small icon, asked for "path parameters" when there are
  // parameters (except for the three document viewers); 0 when none.
  HICON FindIcon(LPCWSTR path, LPCWSTR parameters) const;
  // The folder of special folder `id` with a trailing "\".
  std::wstring GetSpecialFolder(int id) const;

  int Count() const { return static_cast<int>(m_entries.size()); }
  const ProgramEntry& Entry(int index) const { return m_entries[static_cast<std::size_t>(index)]; }
  // The first entry with this name (case-insensitive), or -1.
  int FindByName(LPCWSTR name) const;
  const std::wstring& NoIconText() const { return m_noIcon; }
  const std::wstring& CustomLinkText() const { return m_customLink; }
  const std::wstring& InstallFolder() const { return m_installFolder; }

 private:
  void AddFixedEntries();
  void ScanFolder(const std::wstring& folder, int depth);
  void AddFile(const std::wstring& folder, const WIN32_FIND_DATAW& found);
  void TitleCase();
  // The icon of a scanned file as it is now, from the cache or the shell.
  HICON ScannedIcon(const std::wstring& path, const FILETIME& written);
  void DropUnseenIcons();

  struct CachedIcon {
    FILETIME written;
    HICON icon;  // null: the shell had none
    bool seen;
  };
  std::vector<ProgramEntry> m_entries;
  std::unordered_map<std::wstring, CachedIcon> m_iconCache;
  std::wstring m_noIcon;
  std::wstring m_customLink;
  std::wstring m_installFolder;
  HMODULE m_folderLibrary = nullptr;
  bool m_folderLibraryTried = false;
  FARPROC m_folderLookup = nullptr;
  FARPROC m_folderPath = nullptr;
  FARPROC m_folderRelease = nullptr;
};

// The file name of `path` without its folder and extension; false for a
// name without a dot, a path ending in "\" before the dot, or a bare name
// without a folder.
bool GetFileTitle(const std::wstring& path, std::wstring& title);

// The module's program list.
CProgramList& ProgramList();

}  // namespace tessivo
