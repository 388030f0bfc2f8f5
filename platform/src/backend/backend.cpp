#include "backend/backend.h"

#include <atomic>
#include <cstdlib>
#include <string>

#include "kernel/debug_output.h"
#include "kernel/device.h"

namespace ce::backend {
namespace {

bool DisplayServerNamed() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace

BackendKind ChosenBackend() {
  const auto name = ce::device::Setting("backend");
  if (!name || name->empty()) return DisplayServerNamed() ? BackendKind::Sdl : BackendKind::Headless;
  if (*name == "sdl") return BackendKind::Sdl;
  static std::atomic<bool> warned{false};
  if (*name != "headless" && !warned.exchange(true)) {
    ce::kernel::Diagnostic(
        "platform: device setting backend = \"%s\" is neither \"headless\" nor \"sdl\", using headless", name->c_str());
  }
  return BackendKind::Headless;
}

}  // namespace ce::backend
