#include "gdi/display.h"

#include <atomic>

namespace ce::gdi {
namespace {

constinit std::atomic<DisplayMaker> g_maker{nullptr};

// The screen stays memory only.
class NoDisplay final : public Display {
 public:
  void Present(const RECT& /*area*/) override {}
  void SetPowerState(ULONG /*state*/) override {}
};

}  // namespace

void SetDisplayMaker(DisplayMaker maker) { g_maker.store(maker); }

std::unique_ptr<Display> MakeDisplay(const Surface& frame) {
  if (const DisplayMaker maker = g_maker.load()) return maker(frame);
  return std::make_unique<NoDisplay>();
}

}  // namespace ce::gdi
