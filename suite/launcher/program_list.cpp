#include "program_list.h"

#include <cwchar>

#include "ce/crt.h"
#include "ce/shellapi.h"
#include "common/module_state.h"
#include "common/reg_helper.h"
#include "common/string_helper.h"
#include "common/ui_helpers.h"
#include "bar_settings.h"
#include "launcher_state.h"

namespace tessivo {
namespace {

constexpr DWORD kStorageCardWaitMs = 30000;
// Folder nesting the scan follows; deeper trees (or a loop of links) stop
// there.
constexpr int kMaxScanDepth = 12;

struct SettingsPage {
  const wchar_t* parameters;
  UINT nameId;
  BYTE icon;
};

constexpr SettingsPage kSettingsPages[] = {
    {L"sounds.cpl.xml", 40046, 210},
    {L"home.cpl.xml", 40048, 214},
    {L"about.cpl.xml", 40049, 213},
    {L"accessib.cpl.xml", 40050, 219},
    {L"connmgr_preferred.cpl.xml", 40056, 217},
    {L"clock.cpl.xml", 40057, 216},
    {L"owner.cpl.xml", 40051, 218},
    {L"power.cpl.xml", 40052, 205},
    {L"regional.cpl.xml", 40053, 218},
    {L"security.cpl.xml", 40055, 203},
};

struct SpecialItem {
  UINT textId;
  BYTE icon;
};

// Tuneup opens only from its icon: it is offered beside the other tools.
constexpr SpecialItem kSpecialItems[] = {{122, 240}, {123, 241}, {163, 247}, {131, 242}, {40044, 168}};

std::wstring LoadText(UINT id, int capacity) {
  WCHAR buffer[kTextCapacity] = {};
  suite::CStringHelper* strings = suite::CStringHelper::GetInstance();
  strings->SetInstance(Module());
  if (LoadStringW(Module(), id, buffer, capacity) <= 0) return {};
  return buffer;
}

bool EndsWithNoCase(const std::wstring& text, const wchar_t* suffix) {
  const std::size_t n = std::wcslen(suffix);
  return text.size() >= n && _wcsicmp(text.c_str() + text.size() - n, suffix) == 0;
}

bool IsStorageCardPath(const std::wstring& path) {
  return path.size() >= 13 && _wcsnicmp(path.c_str(), L"\\Storage Card", 13) == 0;
}

// The special-folder library's calls: look a folder up, turn the result
// into a path, release the result.
using FolderLookupFn = HRESULT (*)(HWND, int, void**);
using FolderPathFn = BOOL (*)(void*, LPWSTR);
using FolderReleaseFn = void (*)(void*);

}  // namespace

bool GetFileTitle(const std::wstring& path, std::wstring& title) {
  const std::size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return false;
  const std::size_t dot = path.rfind(L'.');
  if (dot == std::wstring::npos || dot < slash) return false;
  title = path.substr(slash + 1, dot - slash - 1);
  return true;
}

CProgramList::~CProgramList() {
  Clear();
  for (auto& [path, cached] : m_iconCache) {
    if (cached.icon != nullptr) DestroyIcon(cached.icon);
  }
  if (m_folderLibrary != nullptr) FreeLibrary(m_folderLibrary);
}

void CProgramList::Prepare() {
  if (m_installFolder.empty()) {
    WCHAR folder[kTextCapacity] = {};
    suite::CRegHelper registry;
    if (registry.ReadString(L"SOFTWARE\\Tarnwell\\Pelmora", L"InstallDir", folder) && folder[0] != L'\0') {
      m_installFolder = folder;
    } else {
      m_installFolder = L"\\Program Files\\Tarnwell\\Quorvist";
    }
  }
  if (!m_folderLibraryTried) {
    m_folderLibraryTried = true;
    const std::wstring library = m_installFolder + L"\\Version.dll";
    m_folderLibrary = LoadLibraryW(library.c_str());
    if (m_folderLibrary != nullptr) {
      m_folderLookup = GetProcAddressW(m_folderLibrary, MAKEINTRESOURCEW(1));
      m_folderPath = GetProcAddressW(m_folderLibrary, MAKEINTRESOURCEW(2));
      m_folderRelease = GetProcAddressW(m_folderLibrary, MAKEINTRESOURCEW(3));
    }
  }
  if (m_noIcon.empty()) m_noIcon = LoadText(120, kTextCapacity);
  if (m_customLink.empty()) m_customLink = LoadText(130, kTextCapacity);
}

void CProgramList::Clear() {
  for (ProgramEntry& entry : m_entries) {
    if (entry.icon != nullptr && entry.ownsIcon) DestroyIcon(entry.icon);
  }
  m_entries.clear();
}

BOOL CProgramList::AddEntry(LPCWSTR name, LPCWSTR path, LPCWSTR parameters, HICON icon, BYTE resourceIcon) {
  if (Count() >= kMaxProgramEntries || name == nullptr || path == nullptr) {
    if (icon != nullptr) DestroyIcon(icon);
    return 0;
  }
  ProgramEntry entry;
  entry.name = name;
  entry.path = path;
  entry.parameters = parameters != nullptr ? parameters : L"";
  entry.resourceIcon = resourceIcon;
  if (icon != nullptr) {
    entry.icon = icon;
  } else if (resourceIcon != 0) {
    entry.icon = static_cast<HICON>(LoadImageW(Module(), MAKEINTRESOURCEW(resourceIcon), IMAGE_ICON, S(16), S(16), 0));
  } else if (*path != L'\0') {
    entry.icon = FindIcon(path, nullptr);
  }
  m_entries.push_back(std::move(entry));
  return 1;
}

HICON CProgramList::FindIcon(LPCWSTR path, LPCWSTR parameters) const {
  if (path == nullptr || *path == L'\0') return nullptr;
  std::wstring query = path;
  const bool viewer = _wcsicmp(path, L"\\Windows\\notes.exe") == 0 || _wcsicmp(path, L"\\Windows\\pxl.exe") == 0 ||
                      _wcsicmp(path, L"\\Windows\\pword.exe") == 0;
  if (parameters != nullptr && *parameters != L'\0' && !viewer) {
    query += L' ';
    query += parameters;
  }
  SHFILEINFOW info = {};
  const DWORD_PTR result = SHGetFileInfoW(query.c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON);
  if (result == 0 || result == static_cast<DWORD_PTR>(-1)) return nullptr;
  return info.hIcon;
}

std::wstring CProgramList::GetSpecialFolder(int id) const {
  std::wstring folder;
  if (m_folderLookup != nullptr && m_folderPath != nullptr && m_folderRelease != nullptr) {
    void* result = nullptr;
    auto lookup = reinterpret_cast<FolderLookupFn>(reinterpret_cast<void (*)()>(m_folderLookup));
    auto toPath = reinterpret_cast<FolderPathFn>(reinterpret_cast<void (*)()>(m_folderPath));
    auto release = reinterpret_cast<FolderReleaseFn>(reinterpret_cast<void (*)()>(m_folderRelease));
    if (SUCCEEDED(lookup(nullptr, id, &result)) && result != nullptr) {
      WCHAR buffer[MAX_PATH] = {};
      if (toPath(result, buffer)) {
        buffer[MAX_PATH - 1] = L'\0';
        folder = buffer;
      }
      release(result);
    }
  }
  if (folder.empty()) {
    if (id == 5) folder = L"\\My Documents";
    if (id == 11) folder = L"\\Windows\\Start Menu";
  }
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  return folder;
}

int CProgramList::FindByName(LPCWSTR name) const {
  if (name == nullptr) return -1;
  for (int i = 0; i < Count(); ++i) {
    if (_wcsicmp(m_entries[static_cast<std::size_t>(i)].name.c_str(), name) == 0) return i;
  }
  return -1;
}

void CProgramList::AddFixedEntries() {
  for (const SettingsPage& page : kSettingsPages) {
    const std::wstring name = LoadText(page.nameId, 41);
    AddEntry(name.c_str(), L"\\Windows\\settings.exe", page.parameters, nullptr, page.icon);
  }
  for (const SpecialItem& item : kSpecialItems) {
    const std::wstring text = LoadText(item.textId, 41);
    AddEntry(text.c_str(), text.c_str(), nullptr, nullptr, item.icon);
  }
  AddEntry(m_noIcon.c_str(), L"", nullptr, nullptr, 0);
  AddEntry(m_customLink.c_str(), L"", nullptr, nullptr, 0);
  if (suite::FileExists(L"\\windows\\drhelp.htp")) {
    for (UINT id = 143; id <= 160; ++id) {
      const std::wstring page = LoadText(id, 41);
      const std::wstring name = L"Diarist: " + page;
      AddEntry(name.c_str(), L"Diarist", page.c_str(), nullptr, static_cast<BYTE>(32 + (id - 143)));
    }
  }
}

void CProgramList::Rebuild() {
  Clear();
  AddFixedEntries();
  for (auto& [path, cached] : m_iconCache) cached.seen = false;
  WCHAR root[MAX_PATH] = {};
  suite::GetStorageRootName(root);
  ScanFolder(std::wstring(root) + GetSpecialFolder(11), 0);
  ScanFolder(std::wstring(root) + GetSpecialFolder(5), 0);
  DropUnseenIcons();
  TitleCase();
}

HICON CProgramList::ScannedIcon(const std::wstring& path, const FILETIME& written) {
  const auto found = m_iconCache.find(path);
  if (found != m_iconCache.end()) {
    CachedIcon& cached = found->second;
    cached.seen = true;
    if (cached.written.dwLowDateTime == written.dwLowDateTime &&
        cached.written.dwHighDateTime == written.dwHighDateTime) {
      return cached.icon;
    }
    // Changed since: asked again.
    if (cached.icon != nullptr) DestroyIcon(cached.icon);
    cached = {written, FindIcon(path.c_str(), nullptr), true};
    return cached.icon;
  }
  HICON icon = FindIcon(path.c_str(), nullptr);
  m_iconCache.emplace(path, CachedIcon{written, icon, true});
  return icon;
}

void CProgramList::DropUnseenIcons() {
  for (auto it = m_iconCache.begin(); it != m_iconCache.end();) {
    if (it->second.seen) {
      ++it;
      continue;
    }
    if (it->second.icon != nullptr) DestroyIcon(it->second.icon);
    it = m_iconCache.erase(it);
  }
}

void CProgramList::ScanFolder(const std::wstring& folder, int depth) {
  if (depth > kMaxScanDepth || folder.size() + 4 >= MAX_PATH) return;
  WIN32_FIND_DATAW found = {};
  const std::wstring pattern = folder + L"*.*";
  HANDLE find = FindFirstFileW(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    found.cFileName[MAX_PATH - 1] = L'\0';
    if (found.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY) {
      ScanFolder(folder + found.cFileName + L"\\", depth + 1);
    } else {
      AddFile(folder, found);
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

void CProgramList::AddFile(const std::wstring& folder, const WIN32_FIND_DATAW& found) {
  const std::wstring name = found.cFileName;
  if (name.size() < 4 || _wcsicmp(name.c_str(), L"icon.lnk") == 0) return;
  const std::wstring full = folder + name;
  std::wstring title;
  if (!GetFileTitle(full, title) || Count() >= kMaxProgramEntries) return;
  std::wstring path = full;
  std::wstring parameters;
  std::wstring shown = title;
  if (EndsWithNoCase(name, L"psw") || EndsWithNoCase(name, L"pwd") || EndsWithNoCase(name, L"txt") ||
      EndsWithNoCase(name, L"rtf")) {
    path = L"\\Windows\\pword.exe";
    parameters = full;
    shown = L"WORD: " + title;
  } else if (EndsWithNoCase(name, L"pxl")) {
    path = L"\\Windows\\pxl.exe";
    parameters = full;
    shown = L"EXCEL: " + title;
  } else if (EndsWithNoCase(name, L"pwi")) {
    path = L"\\Windows\\notes.exe";
    parameters = full;
    shown = L"NOTES: " + title;
  }
  ProgramEntry entry;
  entry.name = shown;
  entry.path = path;
  entry.parameters = parameters;
  if (IsStorageCardPath(path) && GetTickCount() <= kStorageCardWaitMs) {
    // A card is mounted late after a device start: its icons come later.
    m_entries.push_back(std::move(entry));
    return;
  }
  entry.icon = ScannedIcon(full, found.ftLastWriteTime);
  entry.ownsIcon = false;
  if (entry.icon == nullptr) return;  // nothing the device can show
  m_entries.push_back(std::move(entry));
}

void CProgramList::TitleCase() {
  for (ProgramEntry& entry : m_entries) {
    bool wordStart = true;
    for (wchar_t& c : entry.name) {
      if (wordStart && c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
      wordStart = c == L' ';
    }
  }
}

CProgramList& ProgramList() {
  static CProgramList list;
  return list;
}

}  // namespace tessivo
