#include "sweepkit.h"

#include <iterator>

#include "ce/aygshell.h"
#include "ce/crt.h"
#include "common/iss_utility.h"
#include "common/reg_helper.h"
#include "common/string_helper.h"
#include "common/ui_helpers.h"
#include "tool_host.h"

namespace tessivo {

namespace {

constexpr int kPath = static_cast<int>(MAX_PATH);
constexpr UINT kStrNone = 127;
constexpr UINT kStrOne = 128;
constexpr UINT kStrMany = 129;
constexpr UINT kStrAutoNotice = 40058;
constexpr UINT kMenuBar = 164;

constexpr wchar_t kShellFolders[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr wchar_t kCacheContent[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\Content";

// Reads a REG_SZ value into out (MAX_PATH characters), terminated; empty on
// any failure.
void ReadFolderValue(HKEY root, LPCWSTR keyPath, LPCWSTR name, LPWSTR out) {
  out[0] = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  // The device counts two bytes a character.
  if (suite::RegReadString(key, name, out, MAX_PATH * 2) != ERROR_SUCCESS) out[0] = 0;
  RegCloseKey(key);
}

// "<storage root>\<rest>", e.g. "\Storage\Windows\Cookies".
void StorageFolder(LPCWSTR rest, LPWSTR out) {
  WCHAR root[MAX_PATH] = {};
  suite::GetStorageRootName(root);
  out[0] = 0;
  if (lstrlenW(root) + lstrlenW(rest) + 2 > kPath) return;
  lstrcpyW(out, root);
  lstrcatW(out, L"\\");
  lstrcatW(out, rest);
}

// The canonical form of `path` (one spelling per folder: separators, "."
// and "..", letter case and links resolved by the device) into `out`
// (MAX_PATH characters); false when the device cannot name it.
bool Canonical(LPCWSTR path, LPWSTR out) {
  const DWORD length = GetCanonicalPathNameW(path, out, MAX_PATH);
  return length > 0 && length < MAX_PATH;
}

// True when `folder` is `other` or lies above it ("\A" above "\A\B"); both
// canonical.
bool IsAtOrAbove(const wchar_t* folder, const wchar_t* other) {
  if (folder[0] == L'\\' && folder[1] == 0) return true;  // the root holds everything
  const int n = lstrlenW(folder);
  if (n > lstrlenW(other) || _wcsnicmp(folder, other, static_cast<std::size_t>(n)) != 0) return false;
  return other[n] == 0 || other[n] == L'\\';
}

// The folders Sweepkit exists to empty, in both layouts of the browser's
// folders; those without a leading "\" both on the store and under the
// storage root.
constexpr const wchar_t* kCleanable[] = {L"\\Temp", L"Windows\\Profiles\\guest\\Cookies",
                                         L"Windows\\Profiles\\guest\\Temporary Internet Files", L"Windows\\Cookies",
                                         L"Windows\\Temporary Internet Files"};
// Folders that hold the system's files: neither they nor a folder above
// them is ever emptied (the browser's folders lie below some of them).
constexpr const wchar_t* kSystem[] = {L"\\", L"", L"Windows", L"Windows\\Profiles", L"Windows\\Profiles\\guest"};
// Folders that hold what the user or the programs keep: nothing at, above
// or below them is ever emptied.
constexpr const wchar_t* kOwned[] = {L"My Documents",        L"Program Files",    L"Application Data",
                                     L"Windows\\Start Menu", L"Windows\\Desktop", L"Windows\\Fonts"};

// Calls `use` with the canonical form of each place `name` stands for that
// the device can name: a name with a leading "\" itself; any other on the
// store and under the storage root (the empty name: the storage root).
template <typename Use>
void ForEachPlace(const wchar_t* name, Use use) {
  WCHAR canonical[MAX_PATH];
  if (name[0] == L'\\') {
    if (Canonical(name, canonical)) use(static_cast<const wchar_t*>(canonical));
    return;
  }
  WCHAR path[MAX_PATH];
  if (name[0] != 0) {
    lstrcpyW(path, L"\\");
    lstrcatW(path, name);
    if (Canonical(path, canonical)) use(static_cast<const wchar_t*>(canonical));
    StorageFolder(name, path);
  } else {
    suite::GetStorageRootName(path);
  }
  if (path[0] != 0 && Canonical(path, canonical)) use(static_cast<const wchar_t*>(canonical));
}

// True when the canonical folder lies on, or holds, a storage card: all of
// a card is the user's.
bool TouchesStorageCard(const wchar_t* folder) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(L"\\*", &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool touches = false;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_TEMPORARY) == 0) continue;
    WCHAR card[MAX_PATH];
    lstrcpyW(card, L"\\");
    lstrcpynW(card + 1, found.cFileName, MAX_PATH - 1);
    touches = IsAtOrAbove(card, folder) || IsAtOrAbove(folder, card);
  } while (!touches && FindNextFileW(find, &found));
  FindClose(find);
  return touches;
}

}  // namespace

bool CSweepkitLogic::CleanableFolder(LPCWSTR folder, LPWSTR canonical) {
  if (canonical != nullptr) canonical[0] = 0;
  if (folder == nullptr || folder[0] == 0) return false;
  WCHAR path[MAX_PATH];
  if (!Canonical(folder, path)) return false;
  const DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  // One of the cleanable folders themselves, or a folder below one.
  bool inside = false;
  for (const wchar_t* name : kCleanable) {
    ForEachPlace(name, [&](const wchar_t* place) { inside = inside || IsAtOrAbove(place, path); });
  }
  if (!inside) return false;
  // Never what holds the system's or the user's folders, nor what lies in
  // the user's: compared where they really are, so a link either way cannot
  // bring them in.
  bool kept = TouchesStorageCard(path);
  for (const wchar_t* name : kSystem) {
    ForEachPlace(name, [&](const wchar_t* place) { kept = kept || IsAtOrAbove(path, place); });
  }
  for (const wchar_t* name : kOwned) {
    ForEachPlace(name,
                 [&](const wchar_t* place) { kept = kept || IsAtOrAbove(path, place) || IsAtOrAbove(place, path); });
  }
  if (kept) return false;
  if (canonical != nullptr) lstrcpyW(canonical, path);
  return true;
}

bool CSweepkitLogic::IsCleanableFolder(LPCWSTR folder) { return CleanableFolder(folder, nullptr); }

CSweepkitLogic::CSweepkitLogic(LPCWSTR messageTitle) : CToolLogic(124), m_utility(suite::IssUtility::GetInstance()) {
  SetMessageTitle(messageTitle);
}

void CSweepkitLogic::SetMessageTitle(LPCWSTR title) {
  m_messageTitle[0] = 0;
  if (title != nullptr) lstrcpynW(m_messageTitle, title, static_cast<int>(std::size(m_messageTitle)));
}

void CSweepkitLogic::LoadTexts() {
  HINSTANCE module = GetToolHost() != nullptr ? GetToolHost()->Module() : nullptr;
  LoadStringW(module, kStrNone, m_textNone, MAX_PATH);
  LoadStringW(module, kStrOne, m_textOne, MAX_PATH);
  LoadStringW(module, kStrMany, m_textMany, MAX_PATH);
}

void CSweepkitLogic::OnPaint(HDC dc, HWND hwnd) { PaintToolHeader(dc, hwnd, m_title); }

void CSweepkitLogic::ChooseFolders(LPWSTR temp, LPWSTR cookies, LPWSTR internetFiles) const {
  temp[0] = cookies[0] = internetFiles[0] = 0;
  ToolHost* host = GetToolHost();
  if (host == nullptr) return;
  const ToolOptions& options = host->Options();
  if (options.CT) lstrcpyW(temp, L"\\Temp");
  WCHAR named[MAX_PATH] = {};
  if (m_utility->GetOsVersionKind() > 2) {
    if (options.CC) {
      ReadFolderValue(HKEY_CURRENT_USER, kShellFolders, L"Cookies", named);
      if (named[0] != 0 && IsCleanableFolder(named))
        lstrcpyW(cookies, named);
      else
        StorageFolder(L"Windows\\Profiles\\guest\\Cookies", cookies);
    }
    if (options.CTIF) {
      ReadFolderValue(HKEY_CURRENT_USER, kShellFolders, L"Cache", named);
      if (named[0] != 0 && IsCleanableFolder(named))
        lstrcpyW(internetFiles, named);
      else
        StorageFolder(L"Windows\\Profiles\\guest\\Temporary Internet Files", internetFiles);
    }
  } else {
    if (options.CC) StorageFolder(L"Windows\\Cookies", cookies);
    if (options.CTIF) {
      ReadFolderValue(HKEY_LOCAL_MACHINE, kCacheContent, L"CachePath", named);
      if (named[0] != 0 && IsCleanableFolder(named))
        lstrcpyW(internetFiles, named);
      else
        StorageFolder(L"Windows\\Temporary Internet Files", internetFiles);
    }
  }
  // The fixed folders pass the same test (one that leads through a link
  // into the user's folders, or is missing, is not cleaned), and each is
  // cleaned by its canonical name, where the test found it.
  for (LPWSTR folder : {temp, cookies, internetFiles}) {
    WCHAR canonical[MAX_PATH];
    if (folder[0] != 0 && CleanableFolder(folder, canonical)) {
      lstrcpyW(folder, canonical);
    } else {
      folder[0] = 0;
    }
  }
}

DWORD CSweepkitLogic::DeleteTree(LPCWSTR folder, DWORD* count, ULONGLONG* bytes) {
  const int length = lstrlenW(folder);
  if (length == 0 || length + 4 >= kPath) return ERROR_FILENAME_EXCED_RANGE;
  WCHAR pattern[MAX_PATH];
  lstrcpyW(pattern, folder);
  lstrcatW(pattern, L"\\*.*");
  WCHAR path[MAX_PATH];
  auto join = [&](LPCWSTR name) {
    if (length + 1 + lstrlenW(name) >= kPath) return false;
    suite::CStringHelper::GetInstance()->Format(path, L"%s\\%s", folder, name);
    return true;
  };

  // Sub-folders first, each emptied by its own walk.
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(pattern, &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const DWORD a = found.dwFileAttributes;
      if ((a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT) && join(found.cFileName)) {
        DeleteTree(path, count, bytes);
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }

  // Then the entries in the order the search gives them, each deleted as
  // the first one left; a search again once the list is used up, until one
  // finds nothing (entries made during the walk go too). The first entry
  // that cannot go ends the walk. One search per round rather than one per
  // entry: a search reads the whole folder. A link is passed over and stays.
  for (;;) {
    find = FindFirstFileW(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    bool deleted = false;
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
      if (!join(found.cFileName)) {
        FindClose(find);
        return ERROR_FILENAME_EXCED_RANGE;
      }
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (!RemoveDirectoryW(path)) {
          const DWORD error = GetLastError();
          FindClose(find);
          return error;
        }
      } else {
        if (!DeleteFileW(path)) {
          const DWORD error = GetLastError();
          FindClose(find);
          return error;
        }
        *count += 1;
        *bytes += (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
      }
      deleted = true;
    } while (FindNextFileW(find, &found));
    FindClose(find);
    if (!deleted) return 0;
  }
}

void CSweepkitLogic::ResultText(DWORD count, ULONGLONG bytes, LPWSTR text, int capacity) const {
  WCHAR buffer[MAX_PATH] = {};
  // The formatter's %d takes an int: the kilobytes are bounded to it.
  const int kb = static_cast<int>(std::min<ULONGLONG>(bytes / 1024, 0x7FFFFFFF));
  const int files = static_cast<int>(std::min<DWORD>(count, 0x7FFFFFFF));
  if (count == 0) {
    lstrcpynW(buffer, m_textNone, MAX_PATH);
  } else if (count == 1 && m_textOne[0] != 0) {
    suite::CStringHelper::GetInstance()->Format(buffer, m_textOne, kb);
  } else {
    suite::CStringHelper::GetInstance()->Format(buffer, m_textMany, files, kb);
  }
  lstrcpynW(text, buffer, capacity);
}

DWORD CSweepkitLogic::Clean(HWND parent) {
  if (m_textNone[0] == 0) LoadTexts();
  DWORD count = 0;
  ULONGLONG bytes = 0;
  DWORD result = 0;
  WCHAR folders[3][MAX_PATH];
  ChooseFolders(folders[0], folders[1], folders[2]);
  for (const auto& folder : folders) {
    if (folder[0] != 0) result = DeleteTree(folder, &count, &bytes);
  }
  ResultText(count, bytes, m_lastText, MAX_PATH);
  if (parent != nullptr && m_messageTitle[0] != 0) MessageBoxW(parent, m_lastText, m_messageTitle, MB_OK);
  return result;
}

DWORD CleanSilently() {
  CSweepkitLogic logic;
  return logic.Clean(nullptr);
}

// --- The dialog ---------------------------------------------------------------------------

CSweepkitDialog::CSweepkitDialog() = default;

void CSweepkitDialog::StampOpenTime() {
  CSweepkitLogic::StampOpenTime();
  SetMessageTitle(m_title);
  LoadTexts();
}

BOOL CSweepkitDialog::OnInitDialog(HWND hwnd) {
  SetUpToolWindow(hwnd, {kMenuBar, true, kToolDialogFlags});
  const ToolOptions& options = GetToolHost()->Options();
  m_copy[0] = options.CT;
  m_copy[1] = options.CC;
  m_copy[2] = options.CTIF;
  m_copy[3] = options.AC;
  CheckDlgButton(hwnd, kIdCleanTemp, options.CT ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(hwnd, kIdCleanCookies, options.CC ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(hwnd, kIdCleanInternetFiles, options.CTIF ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(hwnd, kIdAutoClean, options.AC ? BST_CHECKED : BST_UNCHECKED);
  SetFocus(GetDlgItem(hwnd, kIdCleanTemp));
  return CSweepkitLogic::OnInitDialog(hwnd);
}

void CSweepkitDialog::StoreChoices(HWND hwnd) {
  ToolOptions& options = GetToolHost()->Options();
  options.CT = IsDlgButtonChecked(hwnd, kIdCleanTemp) == BST_CHECKED ? 1 : 0;
  options.CC = IsDlgButtonChecked(hwnd, kIdCleanCookies) == BST_CHECKED ? 1 : 0;
  options.CTIF = IsDlgButtonChecked(hwnd, kIdCleanInternetFiles) == BST_CHECKED ? 1 : 0;
  GetToolHost()->SaveOptions();
}

void CSweepkitDialog::OnOK(HWND hwnd, int id) {
  if (id == IDCANCEL) {
    Cancel(hwnd);
    return;
  }
  StoreChoices(hwnd);
  EndDialog(hwnd, id);
}

void CSweepkitDialog::Cancel(HWND hwnd) {
  ToolOptions& options = GetToolHost()->Options();
  options.CT = m_copy[0];
  options.CC = m_copy[1];
  options.CTIF = m_copy[2];
  options.AC = m_copy[3];
  GetToolHost()->SaveOptions();
  EndDialog(hwnd, 0);
}

bool CSweepkitDialog::WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (suite::IsBackKeyUp(message, lParam)) {
    Cancel(hwnd);
    *result = TRUE;
    return true;
  }
  if (message != WM_COMMAND) return false;
  const int id = LOWORD(wParam);
  if (id == kCmdClean || id == kIdCleanCommand) {
    StoreChoices(hwnd);
    Clean(hwnd);
    EndDialog(hwnd, 1);
  } else if (id == kIdAutoClean && HIWORD(wParam) == BN_CLICKED) {
    ToolOptions& options = GetToolHost()->Options();
    options.AC = IsDlgButtonChecked(hwnd, kIdAutoClean) == BST_CHECKED ? 1 : 0;
    GetToolHost()->SaveOptions();
    if (options.AC) ShowToolMessage(hwnd, 124, kStrAutoNotice, MB_ICONEXCLAMATION);
  } else {
    return false;
  }
  *result = TRUE;
  return true;
}

}  // namespace tessivo
