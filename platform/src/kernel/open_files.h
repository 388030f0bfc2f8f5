// The files this process holds open, for the device's share modes: an open,
// delete or rename that the share mode of an earlier open forbids fails with
// ERROR_SHARING_VIOLATION.
#pragma once

#include <cstdint>

#include "ce/minwindef.h"
#include "kernel/file_meta.h"

namespace ce::kernel::fs {

// Registers an open of `key` with its access and share mode. Returns a token
// for Forget, or 0 when an earlier open forbids this one.
std::uint64_t AdmitOpen(const FileKey& key, DWORD access, DWORD share);
void ForgetOpen(std::uint64_t token);

// True when some open of `key` does not allow an access `access` (GENERIC_
// bits) by someone else, or, with deleting set, does not share delete.
bool OpenForbids(const FileKey& key, DWORD access, bool deleting);

}  // namespace ce::kernel::fs
