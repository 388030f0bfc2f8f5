#include "kernel/volume.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <tuple>

#include "ce/winbase.h"
#include "kernel/device.h"

namespace ce::kernel::fs {
namespace {

// Bytes this process has taken from a fixed figure, per device root, volume
// and figure: a new figure (or a new device) starts afresh.
using UsageKey = std::tuple<std::string, int, std::uint64_t>;

struct Usage {
  std::mutex lock;
  std::map<UsageKey, long double> used;  // may go below 0 when files existing before are freed
};

Usage& TheUsage() {
  static Usage* usage = new Usage;
  return *usage;
}

std::uint64_t FreeOf(std::uint64_t figure, long double used) {
  const long double free = static_cast<long double>(figure) - used;
  if (free <= 0) return 0;
  if (free >= 18446744073709551615.0L) return ~std::uint64_t{0};
  return static_cast<std::uint64_t>(free);
}

}  // namespace

bool ReserveSpace(int volume, std::uint64_t bytes) {
  const Volume v = VolumeOf(volume);
  if (!v.freeOverride || bytes == 0) return true;
  Usage& usage = TheUsage();
  std::lock_guard guard(usage.lock);
  long double& used = usage.used[UsageKey{ce::device::Root(), v.index, *v.freeOverride}];
  if (FreeOf(*v.freeOverride, used) < bytes) return false;
  used += static_cast<long double>(bytes);
  return true;
}

void ReleaseSpace(int volume, std::uint64_t bytes) {
  const Volume v = VolumeOf(volume);
  if (!v.freeOverride || bytes == 0) return;
  Usage& usage = TheUsage();
  std::lock_guard guard(usage.lock);
  usage.used[UsageKey{ce::device::Root(), v.index, *v.freeOverride}] -= static_cast<long double>(bytes);
}

bool QuerySpace(const Volume& volume, SpaceInfo& info) {
  struct statvfs st {};
  if (::statvfs(volume.host.c_str(), &st) != 0) return false;
  const std::uint64_t unit = st.f_frsize ? st.f_frsize : st.f_bsize;
  info.freeToCaller = static_cast<std::uint64_t>(st.f_bavail) * unit;
  info.totalFree = static_cast<std::uint64_t>(st.f_bfree) * unit;
  info.total = static_cast<std::uint64_t>(st.f_blocks) * unit;
  if (volume.freeOverride) {
    Usage& usage = TheUsage();
    std::lock_guard guard(usage.lock);
    const auto it = usage.used.find(UsageKey{ce::device::Root(), volume.index, *volume.freeOverride});
    const std::uint64_t free = FreeOf(*volume.freeOverride, it == usage.used.end() ? 0 : it->second);
    info.freeToCaller = free;
    info.totalFree = free;
    if (info.total < free) info.total = free;
  }
  return true;
}

}  // namespace ce::kernel::fs

using namespace ce::kernel::fs;

BOOL GetDiskFreeSpaceExW(LPCWSTR directoryName, PULARGE_INTEGER freeBytesAvailable, PULARGE_INTEGER totalBytes,
                         PULARGE_INTEGER totalFreeBytes) {
  Resolved where;
  if (directoryName) {
    if (const DWORD error = Resolve(directoryName, where)) {
      SetLastError(error);
      return FALSE;
    }
    if (!where.exists) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return FALSE;
    }
  }
  SpaceInfo info;
  if (!QuerySpace(VolumeOf(where.volume), info)) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  if (freeBytesAvailable) freeBytesAvailable->QuadPart = info.freeToCaller;
  if (totalBytes) totalBytes->QuadPart = info.total;
  if (totalFreeBytes) totalFreeBytes->QuadPart = info.totalFree;
  return TRUE;
}
