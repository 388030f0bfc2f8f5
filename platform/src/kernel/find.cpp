// Folder search: FindFirstFileW, FindNextFileW, FindClose. The matching
// entries are read at FindFirstFileW, sorted by name ignoring case, so a
// search sees one consistent listing. "." and ".." are never listed.
#include <dirent.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "ce/strconv.h"
#include "ce/winbase.h"
#include "kernel/device_path.h"
#include "kernel/file_info.h"
#include "kernel/handles.h"

namespace ce::kernel::fs {
namespace {

class FindObject : public KernelObject {
 public:
  FindObject() : KernelObject(HandleKind::Find) {}
  std::vector<WIN32_FIND_DATAW> entries;
  std::mutex lock;
  std::size_t next = 0;  // guarded by lock
};

// The device's wildcards, ignoring case: '*' any run of characters, '?' one
// character; "*" and "*.*" match every name, with or without a dot.
bool Matches(std::wstring_view mask, std::wstring_view name) {
  if (mask == L"*" || mask == L"*.*") return true;
  std::size_t m = 0;
  std::size_t n = 0;
  std::size_t starMask = std::wstring_view::npos;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == L'*') {
      starMask = m++;
      starName = n;
    } else if (m < mask.size() && (mask[m] == L'?' || ToUpperInvariant(mask[m]) == ToUpperInvariant(name[n]))) {
      ++m;
      ++n;
    } else if (starMask != std::wstring_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == L'*') ++m;
  return m == mask.size();
}

bool Fill(WIN32_FIND_DATAW& data, const std::wstring& name, const std::string& host, bool isCard) {
  EntryInfo info;
  if (name.size() >= MAX_PATH || !InfoOfHost(host, isCard, info)) return false;
  data = WIN32_FIND_DATAW{};
  data.dwFileAttributes = info.attributes;
  data.ftCreationTime = ToFileTime(info.creation);
  data.ftLastAccessTime = ToFileTime(info.lastAccess);
  data.ftLastWriteTime = ToFileTime(info.lastWrite);
  data.nFileSizeHigh = static_cast<DWORD>(info.size >> 32);
  data.nFileSizeLow = static_cast<DWORD>(info.size & 0xFFFFFFFFu);
  std::copy(name.begin(), name.end(), data.cFileName);
  data.cFileName[name.size()] = L'\0';
  return true;
}

// A host name the device can show: valid text, no character the device
// refuses in names, not the work file of a move or copy in progress.
bool Showable(const std::string& hostName, const std::wstring& name) {
  if (hostName.rfind(".ce-partial-", 0) == 0) return false;
  if (Utf8FromWide(name) != hostName) return false;
  for (wchar_t c : name) {
    if (c < 0x20 || c == L'\\' || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' ||
        c == L'|') {
      return false;
    }
  }
  return true;
}

}  // namespace
}  // namespace ce::kernel::fs

using namespace ce::kernel;
using namespace ce::kernel::fs;
using ce::CompareNoCase;
using ce::EqualsNoCase;
using ce::WideFromUtf8;

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData) {
  if (!findData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  Resolved folder;
  std::wstring mask;
  DWORD error = ResolveWithMask(fileName, folder, mask);
  if (error == 0 && !folder.isDirectory) error = ERROR_FILE_NOT_FOUND;
  if (error == ERROR_PATH_NOT_FOUND) error = ERROR_FILE_NOT_FOUND;
  if (error != 0) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }

  const bool atRoot = folder.device == L"\\";
  std::vector<std::wstring> cards;
  if (atRoot) {
    for (const Volume& volume : Volumes()) {
      if (volume.index > 0) cards.push_back(volume.name);
    }
  }
  const std::wstring exePath = ProgramDevicePath();
  const std::wstring exeFolder = exePath.substr(0, exePath.rfind(L'\\'));
  const std::wstring exeName = exePath.substr(exePath.rfind(L'\\') + 1);
  const std::string exeHost = ProgramHostPath();
  const std::string exeHostName = exeHost.substr(exeHost.rfind('/') + 1);
  const bool inProgramFolder = !exePath.empty() && EqualsNoCase(folder.device, exeFolder);
  // The executable shows under its device name in its installed folder.
  const std::string installedProgramFolder = folder.underHost.empty() ? folder.host : folder.underHost;
  const std::vector<MountEntry> mounts = MountsIn(folder.device);

  auto find = std::make_shared<FindObject>();
  for (const MountEntry& mount : mounts) {
    WIN32_FIND_DATAW data;
    if (Matches(mask, mount.name) && Fill(data, mount.name, mount.host, mount.card)) find->entries.push_back(data);
  }
  // The folder itself, then the installed folder beneath it, whose entries
  // show where the folder above has none of the same name.
  std::vector<std::wstring> seen;
  auto list = [&](const std::string& host, bool below) {
    DIR* dir = ::opendir(host.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string hostName = entry->d_name;
      if (hostName == "." || hostName == ".." || (atRoot && IsHiddenRootEntry(hostName))) continue;
      std::wstring name = WideFromUtf8(hostName);
      if (!Showable(hostName, name)) continue;
      if (inProgramFolder && host == installedProgramFolder && hostName == exeHostName) name = exeName;
      const bool mounted =
          std::any_of(mounts.begin(), mounts.end(), [&](const MountEntry& m) { return EqualsNoCase(m.name, name); });
      if (mounted || !Matches(mask, name)) continue;
      const auto same = [&](const std::wstring& other) { return EqualsNoCase(other, name); };
      if (below && std::any_of(seen.begin(), seen.end(), same)) continue;
      if (!below && !folder.underHost.empty()) seen.push_back(name);
      const bool isCard =
          std::any_of(cards.begin(), cards.end(), [&](const std::wstring& card) { return EqualsNoCase(card, name); });
      WIN32_FIND_DATAW data;
      if (Fill(data, name, host + "/" + hostName, isCard)) find->entries.push_back(data);
    }
    ::closedir(dir);
  };
  list(folder.host, false);
  if (!folder.underHost.empty()) list(folder.underHost, true);
  if (find->entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::sort(find->entries.begin(), find->entries.end(), [](const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
    const int order = CompareNoCase(a.cFileName, b.cFileName);
    return order != 0 ? order < 0 : std::wstring_view(a.cFileName) < std::wstring_view(b.cFileName);
  });
  *findData = find->entries[0];
  find->next = 1;
  HANDLE handle = InsertHandle(find);
  return handle ? handle : INVALID_HANDLE_VALUE;
}

BOOL FindNextFileW(HANDLE handle, LPWIN32_FIND_DATAW findData) {
  const auto find = LookupHandleAs<FindObject>(handle, HandleKind::Find);
  if (!find) return FALSE;
  if (!findData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(find->lock);
  if (find->next >= find->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *findData = find->entries[find->next++];
  return TRUE;
}

BOOL FindClose(HANDLE handle) {
  if (!LookupHandle(handle, HandleKind::Find)) return FALSE;
  return RemoveHandle(handle) ? TRUE : FALSE;
}
