#include "backend/display.h"

#include <cstdio>
#include <string>

#include "backend/headless/headless_display.h"
#include "kernel/device.h"
#include "kernel/not_implemented.h"

namespace ce::backend {

std::unique_ptr<Display> CreateDisplay(const gdi::Surface& frame) {
  const std::string name = ce::device::SettingOr("backend", "headless");
  if (name != "headless") {
    // Only the headless display exists so far; say so and keep running on it.
    ce::kernel::NotImplemented("CreateDisplay(non-headless back end)");
    std::fprintf(stderr, "platform: display back end \"%s\" is not available, using headless\n", name.c_str());
  }
  return std::make_unique<HeadlessDisplay>(frame);
}

}  // namespace ce::backend
