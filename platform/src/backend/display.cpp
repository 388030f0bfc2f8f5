#include "backend/display.h"

#include "backend/backend.h"
#include "backend/headless/headless_display.h"
#include "backend/sdl/sdl_backend.h"

namespace ce::backend {

std::unique_ptr<Display> CreateDisplay(const gdi::Surface& frame) {
  if (ChosenBackend() == BackendKind::Sdl) {
    // Without a reachable desktop the program still runs, on memory only;
    // the desktop back end has said why on standard error.
    if (auto display = sdl::CreateDisplay(frame)) return display;
  }
  return std::make_unique<HeadlessDisplay>(frame);
}

}  // namespace ce::backend
