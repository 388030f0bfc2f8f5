#include "alert_sounds.h"

#include <cstdio>
#include <string>

#include "common/bitmap_image.h"
#include "common/iss_utility.h"

namespace pelmora {

namespace {

// "<root>Application Data\Home", each level made in turn.
std::wstring HomeDataFolder() {
  wchar_t root[MAX_PATH] = {};
  suite::IssUtility::GetInstance()->GetStorageRoot(root);
  std::wstring folder = root;
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  if (!folder.empty()) CreateDirectoryW(folder.c_str(), nullptr);
  folder += L"\\Application Data";
  CreateDirectoryW(folder.c_str(), nullptr);
  folder += L"\\Home";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

// Writes the resource `name` of `type` as `folder\name` unless that file is
// there already (through a new file renamed into place); true when written.
bool InstallResourceFile(HINSTANCE module, const std::wstring& folder, const wchar_t* name, const wchar_t* type) {
  const std::wstring path = folder + L"\\" + name;
  if (suite::FileExists(path.c_str())) return false;
  HRSRC found = FindResourceW(module, name, type);
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  const DWORD size = found != nullptr ? SizeofResource(module, found) : 0;
  if (bytes == nullptr || size == 0) return false;
  const std::wstring temporary = path + L".new";
  HANDLE file =
      CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  const bool ok = WriteFile(file, bytes, size, &put, nullptr) && put == size;
  CloseHandle(file);
  if (ok && MoveFileW(temporary.c_str(), path.c_str())) return true;
  DeleteFileW(temporary.c_str());
  return false;
}

}  // namespace

int InstallAlertSounds(HINSTANCE module) {
  const std::wstring folder = HomeDataFolder();
  int written = 0;
  for (const wchar_t* name : kAlertSounds) {
    if (InstallResourceFile(module, folder, name, L"WAVE")) ++written;
  }
  return written;
}

bool InstallHelpDocument(HINSTANCE module) {
  return InstallResourceFile(module, HomeDataFolder(), kHelpDocument, L"HELP");
}

}  // namespace pelmora
