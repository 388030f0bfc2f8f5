// Power requests a program makes of the device: power requirements of
// devices and the power key. They are recorded in the runtime folder, where
// a test or a person can read them, and never change anything on the host.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>

#include "ce/pm.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "kernel/debug_output.h"
#include "kernel/device.h"
#include "kernel/not_implemented.h"

namespace {

// One line per request, appended with a single write so that concurrent
// programs never interleave inside a line.
void Record(const std::string& line) {
  const std::string path = ce::device::RuntimeFolder() + "/power-requests.log";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    ce::kernel::Diagnostic("power: cannot record \"%s\" in %s", line.c_str(), path.c_str());
    return;
  }
  const std::string text = line + '\n';
  if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    ce::kernel::Diagnostic("power: cannot record \"%s\" in %s", line.c_str(), path.c_str());
  }
  ::close(fd);
}

struct Requirements {
  std::mutex lock;
  std::uintptr_t next = 1;
  std::set<std::uintptr_t> held;
};

Requirements& TheRequirements() {
  static Requirements* requirements = new Requirements;
  return *requirements;
}

// Requirement handles are numbered values of their own, with a high tag so
// they are never taken for another kind of handle.
constexpr std::uintptr_t kRequirementTag = 0x5E000000;

}  // namespace

HANDLE SetPowerRequirement(PVOID device, CEDEVICE_POWER_STATE state, ULONG deviceFlags, PVOID systemState,
                           ULONG stateFlags) {
  if (device == nullptr || state < D0 || state > D4 || (deviceFlags & POWER_NAME) == 0 ||
      (deviceFlags & ~(POWER_NAME | POWER_FORCE)) != 0 || systemState != nullptr || stateFlags != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::string name = ce::Utf8FromWide(static_cast<const wchar_t*>(device));
  std::uintptr_t id = 0;
  {
    Requirements& requirements = TheRequirements();
    std::lock_guard guard(requirements.lock);
    id = kRequirementTag + requirements.next++;
    requirements.held.insert(id);
  }
  char line[160];
  std::snprintf(line, sizeof line, "require %s D%d %lu %#lx", name.c_str(), static_cast<int>(state),
                static_cast<unsigned long>(deviceFlags), static_cast<unsigned long>(id));
  Record(line);
  return reinterpret_cast<HANDLE>(id);
}

DWORD ReleasePowerRequirement(HANDLE requirement) {
  const auto id = reinterpret_cast<std::uintptr_t>(requirement);
  {
    Requirements& requirements = TheRequirements();
    std::lock_guard guard(requirements.lock);
    if (requirements.held.erase(id) == 0) return ERROR_INVALID_HANDLE;
  }
  char line[64];
  std::snprintf(line, sizeof line, "release %#lx", static_cast<unsigned long>(id));
  Record(line);
  return ERROR_SUCCESS;
}

void keybd_event(BYTE vk, BYTE /*scan*/, DWORD flags, DWORD /*extraInfo*/) {
  if (vk != VK_OFF) {
    char what[64];
    std::snprintf(what, sizeof what, "keybd_event(key %#x)", static_cast<unsigned>(vk));
    ce::kernel::NotImplemented(what);
    return;
  }
  char line[64];
  std::snprintf(line, sizeof line, "key %s %#lx", (flags & KEYEVENTF_KEYUP) ? "up" : "down",
                static_cast<unsigned long>(flags));
  Record(line);
}
