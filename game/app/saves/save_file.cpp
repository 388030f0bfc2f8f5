#include "saves/save_file.h"

#include "ce/winbase.h"
#include "engine/file.h"

namespace ks::app {

namespace {

long long g_writeLimit = -1;

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

SaveRead ReadOne(const std::wstring& path, std::size_t limit, std::vector<std::uint8_t>& out) {
  ssFile file;
  if (!file.Open(path.c_str(), kFileModeRead)) return SaveRead::kMissing;
  const std::uint32_t size = file.GetSize();
  if (size > limit) {
    file.Close();
    return SaveRead::kTooLarge;
  }
  out.assign(size, 0);
  const std::uint32_t got = size == 0 ? 0 : file.Read(out.data(), size);
  out.resize(got);
  file.Close();
  return SaveRead::kOk;
}

}  // namespace

std::wstring SavePath(const std::wstring& folder, const wchar_t* name) { return folder + L"\\" + name; }

void SetSaveWriteLimitForTesting(long long bytes) { g_writeLimit = bytes; }

SaveRead ReadSaveFile(const std::wstring& path, std::size_t limit, std::vector<std::uint8_t>& out) {
  out.clear();
  const SaveRead first = ReadOne(path, limit, out);
  if (first != SaveRead::kMissing) return first;
  return ReadOne(path + L".new", limit, out);
}

bool WriteSaveFile(const std::wstring& path, const std::uint8_t* data, std::size_t size) {
  const std::wstring fresh = path + L".new";
  ssFile file;
  if (!file.Open(fresh.c_str(), kFileModeCreateWrite)) return false;
  std::size_t allowed = size;
  if (g_writeLimit >= 0 && static_cast<unsigned long long>(g_writeLimit) < size)
    allowed = static_cast<std::size_t>(g_writeLimit);
  const std::uint32_t written = allowed == 0 ? 0 : file.Write(data, static_cast<std::uint32_t>(allowed));
  file.Close();
  if (written != size) {
    // A killed program would leave the partial file; a failed write cleans
    // it up. Either way the old save is untouched.
    if (g_writeLimit < 0) DeleteFileW(fresh.c_str());
    return false;
  }
  if (Exists(path) && !DeleteFileW(path.c_str())) {
    DeleteFileW(fresh.c_str());
    return false;
  }
  return MoveFileW(fresh.c_str(), path.c_str()) != FALSE;
}

}  // namespace ks::app
