#include "backend/display.h"

#include "backend/backend.h"
#include "backend/headless/headless_display.h"
#include "backend/sdl/sdl_backend.h"

namespace ce::backend {

std::unique_ptr<Display> CreateDisplay(const gdi::Surface& frame) {
  if (ChosenBackend() == BackendKind::Sdl) {
    // With no display the desktop back end has ended the program; a window
    // that cannot be opened leaves it running on memory only, said why on
    // standard error.
    if (auto display = sdl::CreateDisplay(frame)) return display;
  }
  return std::make_unique<HeadlessDisplay>(frame);
}

void InstallDisplay() { gdi::SetDisplayMaker(&CreateDisplay); }

}  // namespace ce::backend
