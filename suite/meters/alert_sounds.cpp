#include "alert_sounds.h"

#include <cstdio>
#include <string>

#include "common/bitmap_image.h"
#include "common/iss_utility.h"

namespace pelmora {

int InstallAlertSounds(HINSTANCE module) {
  wchar_t root[MAX_PATH] = {};
  suite::IssUtility::GetInstance()->GetStorageRoot(root);
  // Each level of "<root>Application Data\Home" in turn.
  std::wstring folder = root;
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  if (!folder.empty()) CreateDirectoryW(folder.c_str(), nullptr);
  folder += L"\\Application Data";
  CreateDirectoryW(folder.c_str(), nullptr);
  folder += L"\\Home";
  CreateDirectoryW(folder.c_str(), nullptr);
  int written = 0;
  for (const wchar_t* name : kAlertSounds) {
    const std::wstring path = folder + L"\\" + name;
    if (suite::FileExists(path.c_str())) continue;
    HRSRC found = FindResourceW(module, name, L"WAVE");
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    const DWORD size = found != nullptr ? SizeofResource(module, found) : 0;
    if (bytes == nullptr || size == 0) continue;
    const std::wstring temporary = path + L".new";
    HANDLE file =
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) continue;
    DWORD put = 0;
    const bool ok = WriteFile(file, bytes, size, &put, nullptr) && put == size;
    CloseHandle(file);
    if (ok && MoveFileW(temporary.c_str(), path.c_str())) {
      ++written;
    } else {
      DeleteFileW(temporary.c_str());
    }
  }
  return written;
}

}  // namespace pelmora
