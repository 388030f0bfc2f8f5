#include "os/path.h"

#include <cstdlib>
#include <vector>

#include "ce/crt.h"
#include "ce/shlobj.h"
#include "ce/winbase.h"

namespace os {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::size_t LastSeparator(const std::wstring& path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return i - 1;
  }
  return std::wstring::npos;
}

// The special folders are looked up once, on first use: before main the
// platform's device root may not be set up yet.
struct SpecialFolders {
  std::wstring documents = get_special_folder(CSIDL_PERSONAL);
  std::wstring windows = get_special_folder(CSIDL_WINDOWS);
  std::wstring startup = get_special_folder(CSIDL_STARTUP);
  std::wstring programs = get_special_folder(CSIDL_PROGRAMS);
  std::wstring start_menu = get_special_folder(CSIDL_STARTMENU);
  std::wstring program_files = get_special_folder(CSIDL_PROGRAM_FILES);
};

const SpecialFolders& Folders() {
  static const SpecialFolders folders;
  return folders;
}

std::wstring MacroValue(int index) {
  switch (index) {
    case 0:
      return get_module_file_name();
    case 1:
      return path_strip_separator(path_directory(get_module_file_name()));
    case 2:
      return path_file_name(get_module_file_name());
    case 3:
      return Folders().documents;
    case 4:
      return Folders().windows;
    case 5:
      return Folders().startup;
    case 6:
      return Folders().programs;
    case 7:
      return Folders().start_menu;
    default:
      return Folders().program_files;
  }
}

}  // namespace

std::wstring expand_path_macros(const std::wstring& path) {
  static const wchar_t* const names[] = {L"%app_full_name%", L"%app_path%",   L"%app_name%",
                                         L"%my_documents%",  L"%windows%",    L"%startup%",
                                         L"%programs%",      L"%start_menu%", L"%program_files%"};
  std::wstring result;
  std::size_t rest = 0;
  for (int i = 0; i < 9; ++i) {
    const std::wstring name = names[i];
    if (path.compare(0, name.size(), name) == 0) {
      result = MacroValue(i);
      rest = name.size();
      break;
    }
  }
  for (std::size_t i = rest; i < path.size(); ++i) result += path[i] == L'/' ? L'\\' : path[i];
  return result;
}

std::wstring expand_path(const std::wstring& path) { return expand_path_macros(path); }

int path_extension_pos(const std::wstring& path) {
  const std::size_t dot = path.rfind(L'.');
  if (dot == std::wstring::npos) return -1;
  const std::size_t sep = LastSeparator(path);
  if (sep != std::wstring::npos && sep > dot) return -1;
  return static_cast<int>(dot);
}

std::wstring path_strip_separator(const std::wstring& path) {
  if (!path.empty() && IsSeparator(path.back())) return path.substr(0, path.size() - 1);
  return path;
}

std::wstring path_normalize(const std::wstring& path) { return to_lower(path_strip_separator(expand_path(path))); }

bool paths_equal(const std::wstring& a, const std::wstring& b) { return path_normalize(a) == path_normalize(b); }

bool path_has_prefix(const std::wstring& folder, const std::wstring& path) {
  if (path_normalize(path.substr(0, folder.size())) != path_normalize(folder)) return false;
  // "\Storage Card" is no prefix of "\Storage Card2\x": the path must end
  // with the folder or go on with a separator.
  return path.size() <= folder.size() || IsSeparator(path[folder.size()]) ||
         (!folder.empty() && IsSeparator(folder.back()));
}

std::wstring path_directory(const std::wstring& path) {
  const std::size_t sep = LastSeparator(path);
  return sep == std::wstring::npos ? std::wstring() : path.substr(0, sep + 1);
}

std::wstring path_file_name(const std::wstring& path) {
  const std::size_t sep = LastSeparator(path);
  return sep == std::wstring::npos ? path : path.substr(sep + 1);
}

std::wstring path_extension(const std::wstring& path) {
  const int dot = path_extension_pos(path);
  return dot < 0 ? std::wstring() : path.substr(static_cast<std::size_t>(dot) + 1);
}

std::wstring path_remove_extension(const std::wstring& path) {
  const int dot = path_extension_pos(path);
  return dot < 0 ? path : path.substr(0, static_cast<std::size_t>(dot));
}

std::wstring path_parent_directory(const std::wstring& path) { return path_directory(path_strip_separator(path)); }

std::wstring path_title(const std::wstring& path) { return path_remove_extension(path_file_name(path)); }

std::wstring path_change_extension(const std::wstring& path, const std::wstring& ext) {
  return path_remove_extension(path) + L"." + ext;
}

std::wstring path_join(const std::wstring& dir, const std::wstring& name) {
  if (dir.empty()) return name;
  return path_strip_separator(dir) + L"\\" + name;
}

std::wstring to_lower(const std::wstring& text) {
  std::wstring out = text;
  for (wchar_t& c : out) c = static_cast<wchar_t>(ce::towlower(static_cast<wint_t>(c)));
  return out;
}

std::wstring to_upper(const std::wstring& text) {
  std::wstring out = text;
  for (wchar_t& c : out) c = static_cast<wchar_t>(ce::towupper(static_cast<wint_t>(c)));
  return out;
}

std::wstring get_module_file_name() {
  std::vector<wchar_t> buffer(1024);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n < buffer.size()) return std::wstring(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring get_special_folder(int csidl) {
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || list == nullptr) return std::wstring();
  wchar_t path[MAX_PATH + 1] = {};
  const BOOL ok = SHGetPathFromIDList(list, path);
  std::free(list);  // item lists live on the C heap
  return ok ? std::wstring(path) : std::wstring();
}

}  // namespace os
