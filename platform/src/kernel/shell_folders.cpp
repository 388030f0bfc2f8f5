// The shell's special folders: fixed device paths, created on demand.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "ce/shlobj.h"
#include "ce/winbase.h"

namespace {

struct SpecialFolder {
  int csidl;
  std::wstring_view path;
};

constexpr SpecialFolder kFolders[] = {
    {CSIDL_PROGRAMS, L"\\Windows\\Start Menu\\Programs"},
    {CSIDL_PERSONAL, L"\\My Documents"},
    {CSIDL_STARTUP, L"\\Windows\\StartUp"},
    {CSIDL_STARTMENU, L"\\Windows\\Start Menu"},
    {CSIDL_APPDATA, L"\\Application Data"},
    {CSIDL_WINDOWS, L"\\Windows"},
    {CSIDL_PROGRAM_FILES, L"\\Program Files"},
};

const SpecialFolder* Lookup(int csidl) {
  for (const SpecialFolder& folder : kFolders) {
    if (folder.csidl == csidl) return &folder;
  }
  return nullptr;
}

// Creates each folder along the path that is missing; an existing folder in
// another letter case is used as it is.
void MakeFolders(std::wstring_view path) {
  for (std::size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos == path.size() || path[pos] == L'\\') {
      const std::wstring prefix(path.substr(0, pos));
      const DWORD saved = GetLastError();
      CreateDirectoryW(prefix.c_str(), nullptr);
      SetLastError(saved);
    }
  }
}

// What an item list holds: the CSIDL it was made for, behind a tag that
// tells a list of ours from anything else.
struct ItemList {
  std::uint32_t tag;
  int csidl;
};
constexpr std::uint32_t kItemListTag = 0x4C444953u;

}  // namespace

BOOL SHGetSpecialFolderPath(HWND /*owner*/, LPWSTR path, int csidl, BOOL /*create*/) {
  const SpecialFolder* folder = Lookup(csidl);
  if (!folder || !path) {
    if (path) path[0] = L'\0';
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  MakeFolders(folder->path);
  folder->path.copy(path, folder->path.size());
  path[folder->path.size()] = L'\0';
  return TRUE;
}

HRESULT SHGetSpecialFolderLocation(HWND /*owner*/, int csidl, LPITEMIDLIST* list) {
  if (!list) return E_INVALIDARG;
  *list = nullptr;
  if (!Lookup(csidl)) return E_INVALIDARG;
  auto* item = static_cast<ItemList*>(std::malloc(sizeof(ItemList)));
  if (!item) return E_OUTOFMEMORY;
  item->tag = kItemListTag;
  item->csidl = csidl;
  *list = reinterpret_cast<LPITEMIDLIST>(item);
  return S_OK;
}

BOOL SHGetPathFromIDList(LPCITEMIDLIST list, LPWSTR path) {
  if (path) path[0] = L'\0';
  if (!list || !path) return FALSE;
  ItemList item;
  std::memcpy(&item, list, sizeof item);
  if (item.tag != kItemListTag) return FALSE;
  return SHGetSpecialFolderPath(nullptr, path, item.csidl, TRUE);
}
