#include "gdi/screen.h"

#include <algorithm>

#include "kernel/debug_output.h"
#include "kernel/device.h"

namespace ce::gdi {
namespace {

struct Cache {
  std::mutex lock;
  std::shared_ptr<Screen> screen;
};

Cache& TheCache() {
  static Cache* cache = new Cache;  // never destroyed: DCs may outlive static destruction order
  return *cache;
}

// A numeric setting inside [low, high], or the fallback with a note on
// standard error naming the bad value.
long long Checked(const char* key, long long fallback, long long low, long long high) {
  const long long value = ce::device::SettingNumber(key, fallback);
  if (value < low || value > high) {
    ce::kernel::Diagnostic("platform: device setting %s = %lld is out of range %lld..%lld, using %lld", key, value, low,
                           high, fallback);
    return fallback;
  }
  return value;
}

}  // namespace

std::recursive_mutex& GdiLock() {
  static auto* lock = new std::recursive_mutex;
  return *lock;
}

std::shared_ptr<Screen> Screen::Current() {
  Cache& cache = TheCache();
  std::lock_guard guard(cache.lock);
  if (!cache.screen) {
    const auto width = static_cast<int>(Checked("screen_width", 240, 1, 4096));
    const auto height = static_cast<int>(Checked("screen_height", 320, 1, 4096));
    auto bpp = static_cast<int>(Checked("screen_bpp", 16, 16, 32));
    if (bpp != 16 && bpp != 32) {
      ce::kernel::Diagnostic("platform: device setting screen_bpp = %d is not 16 or 32, using 16", bpp);
      bpp = 16;
    }
    const auto dpi = static_cast<int>(Checked("screen_dpi", 96, 1, 1000));
    auto rotation = static_cast<int>(Checked("screen_rotation", 0, 0, 270));
    if (rotation % 90 != 0) {
      ce::kernel::Diagnostic("platform: device setting screen_rotation = %d is not a multiple of 90, using 0",
                             rotation);
      rotation = 0;
    }
    const bool raw = Checked("screen_raw_framebuffer", 0, 0, 1) != 0;
    const bool power = Checked("screen_power_escape", 1, 0, 1) != 0;
    cache.screen = std::make_shared<Screen>(width, height, bpp, dpi, rotation, raw, power);
  }
  return cache.screen;
}

void Screen::Reset() {
  Cache& cache = TheCache();
  std::lock_guard guard(cache.lock);
  cache.screen.reset();
}

Screen::Screen(int width, int height, int bitsPerPixel, int dpi, int rotation, bool rawEscape, bool powerEscape)
    : format_(bitsPerPixel == 32 ? PixelFormat::Xrgb8888() : PixelFormat::Rgb565()),
      dpi_(dpi),
      rotation_(rotation),
      rawEscape_(rawEscape),
      powerEscape_(powerEscape) {
  const std::ptrdiff_t pixel = bitsPerPixel / 8;
  memory_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * static_cast<std::size_t>(pixel),
                 0);
  BYTE* base = memory_.data();
  view_.width = width;
  view_.height = height;
  view_.format = format_.get();
  const bool turned = rotation == 90 || rotation == 270;
  const std::ptrdiff_t pitch = (turned ? height : width) * pixel;
  switch (rotation) {
    case 90:  // screen (x, y) is memory column height - 1 - y of row x
      view_.origin = base + (height - 1) * pixel;
      view_.colStep = pitch;
      view_.rowStep = -pixel;
      break;
    case 180:  // screen (x, y) is memory column width - 1 - x of row height - 1 - y
      view_.origin = base + (height - 1) * pitch + (width - 1) * pixel;
      view_.colStep = -pixel;
      view_.rowStep = -pitch;
      break;
    case 270:  // screen (x, y) is memory column y of row width - 1 - x
      view_.origin = base + (width - 1) * pitch;
      view_.colStep = -pitch;
      view_.rowStep = pixel;
      break;
    default:
      view_.origin = base;
      view_.colStep = pixel;
      view_.rowStep = pitch;
      break;
  }
  display_ = MakeDisplay(view_);
}

void Screen::Present(const RECT& area) {
  RECT clipped{std::max<LONG>(area.left, 0), std::max<LONG>(area.top, 0), std::min<LONG>(area.right, width()),
               std::min<LONG>(area.bottom, height())};
  if (clipped.left >= clipped.right || clipped.top >= clipped.bottom) return;
  display_->Present(clipped);
}

void Screen::PresentAll() { Present(RECT{0, 0, width(), height()}); }

void Screen::SetPowerState(ULONG state) {
  powerState_ = state;
  display_->SetPowerState(state);
}

}  // namespace ce::gdi
