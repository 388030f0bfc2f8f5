#include "kernel/file_info.h"

#include <sys/stat.h>

#include "ce/kernel/file.h"
#include "kernel/file_meta.h"

namespace ce::kernel::fs {

bool InfoOfHost(const std::string& host, bool isCard, EntryInfo& info) {
  struct stat st {};
  if (::stat(host.c_str(), &st) != 0) return false;
  FileKey key;
  if (!KeyOfPath(host, key)) return false;
  const auto meta = LoadMeta(key);
  info = EntryInfo{};
  info.directory = S_ISDIR(st.st_mode);
  DWORD kept = meta ? meta->attributes : 0;
  if (info.directory) {
    info.attributes =
        FILE_ATTRIBUTE_DIRECTORY |
        (kept & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
    if (isCard) info.attributes |= FILE_ATTRIBUTE_TEMPORARY;
  } else {
    info.attributes = kept & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    if (!(st.st_mode & S_IWUSR)) info.attributes |= FILE_ATTRIBUTE_READONLY;
    if (info.attributes == 0) info.attributes = FILE_ATTRIBUTE_NORMAL;
    info.size = static_cast<std::uint64_t>(st.st_size);
  }
  struct stat link {};
  if (::lstat(host.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) info.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  info.creation = (meta && meta->creation) ? meta->creation : CreationTime(key, st);
  info.lastAccess = FileTimeFromTimespec(st.st_atim);
  info.lastWrite = FileTimeFromTimespec(st.st_mtim);
  return true;
}

}  // namespace ce::kernel::fs
