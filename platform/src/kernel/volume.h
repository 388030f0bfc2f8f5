// Free space of the device's volumes. A volume whose free space the
// configuration fixes (free_bytes, storage_card_free_bytes) reports that
// figure, less what this process has written to it since and plus what it
// has freed; a write that would need more fails with ERROR_DISK_FULL before
// anything changes, so tests can fill a disk of any size.
#pragma once

#include <cstdint>

#include "kernel/device_path.h"

namespace ce::kernel::fs {

// Takes `bytes` of the volume's fixed free space; false when it lacks them.
// Always true on a volume without a fixed figure (the host then reports
// ENOSPC itself).
bool ReserveSpace(int volume, std::uint64_t bytes);
void ReleaseSpace(int volume, std::uint64_t bytes);

struct SpaceInfo {
  std::uint64_t freeToCaller = 0;
  std::uint64_t total = 0;
  std::uint64_t totalFree = 0;
};
// False with errno set when the host cannot tell.
bool QuerySpace(const Volume& volume, SpaceInfo& info);

}  // namespace ce::kernel::fs
