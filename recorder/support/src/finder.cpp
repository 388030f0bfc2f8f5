#include "os/finder.h"

#include "ce/winbase.h"
#include "liba/text_stream.h"
#include "os/log.h"
#include "os/path.h"

namespace os {

namespace {

std::wstring Pattern(const std::wstring& dir, const std::wstring& mask) {
  return expand_path(dir.empty() ? mask : path_join(dir, mask));
}

bool IsDots(const wchar_t* name) {
  return (name[0] == L'.' && name[1] == 0) || (name[0] == L'.' && name[1] == L'.' && name[2] == 0);
}

// False when a callback ended the scan.
bool Scan(Finder& finder, const std::wstring& dir, const std::wstring& file_mask, const std::wstring& dir_mask,
          bool recursive) {
  WIN32_FIND_DATAW data{};
  {
    FindHandle search(FindFirstFileW(Pattern(dir, file_mask).c_str(), &data));
    if (search.handle != INVALID_HANDLE_VALUE) {
      do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        if (!finder.on_file(path_join(dir, data.cFileName))) return false;
      } while (FindNextFileW(search.handle, &data));
    }
  }
  FindHandle search(FindFirstFileW(Pattern(dir, dir_mask).c_str(), &data));
  if (search.handle == INVALID_HANDLE_VALUE) return true;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || IsDots(data.cFileName)) continue;
    const std::wstring sub = path_join(dir, data.cFileName);
    if (!finder.on_directory(sub)) return false;
    if (recursive && !Scan(finder, sub, file_mask, dir_mask, recursive)) return false;
  } while (FindNextFileW(search.handle, &data));
  return true;
}

}  // namespace

FindHandle::~FindHandle() {
  if (handle != INVALID_HANDLE_VALUE && handle != nullptr) FindClose(handle);
}

bool Finder::on_file(const std::wstring&) { return true; }
bool Finder::on_directory(const std::wstring&) { return true; }

bool Finder::find(Finder& finder, const std::wstring& dir, const std::wstring& file_mask, const std::wstring& dir_mask,
                  bool recursive) {
  Scan(finder, dir, file_mask, dir_mask, recursive);
  return true;
}

bool Finder::find_drives(Finder& finder) {
  const std::wstring documents = expand_path(L"%my_documents%");
  get_log() << L"find_drives: mydoc={" << documents << L"}\n";
  WIN32_FIND_DATAW data{};
  FindHandle search(FindFirstFileW(L"\\*", &data));
  if (search.handle == INVALID_HANDLE_VALUE) return true;
  const DWORD card = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;
  do {
    if ((data.dwFileAttributes & card) != card) continue;
    const std::wstring path = std::wstring(L"\\") + data.cFileName;
    if (!path_has_prefix(path, documents)) {
      get_log() << L"returning result={" << path << L"}\n";
      if (!finder.on_directory(path)) break;
    } else {
      get_log() << L"skipping result={" << path << L"}\n";
    }
  } while (FindNextFileW(search.handle, &data));
  return true;
}

}  // namespace os
