// The device's screen: its memory, its format and how that memory is laid
// out, read once from the device configuration:
//   screen_width, screen_height  the screen as programs see it (240 x 320)
//   screen_bpp                   16 (RGB565) or 32 (XRGB8888)
//   screen_dpi                   96
//   screen_rotation              0, 90, 180 or 270: how far the picture is
//                                turned, clockwise, in memory. At 90 the
//                                memory rows are screen_height pixels long and
//                                the screen's top row is the memory's last
//                                column; screen pitches then say that going
//                                down the screen goes backwards in memory.
//   screen_raw_framebuffer       1: the driver answers the raw frame-buffer
//                                escape (default 0)
//   screen_power_escape          1: the driver supports the display power
//                                escapes (default 1)
// GDI, the raw frame buffer and GAPI all draw into this one memory; the back
// end's display (gdi/display.h) shows it.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "gdi/display.h"
#include "gdi/surface.h"

namespace ce::gdi {

class Screen {
 public:
  // The screen of the current configuration, made on first use.
  static std::shared_ptr<Screen> Current();
  // Forgets the current screen so the next Current() reads the configuration
  // again; whoever still holds the old one keeps it. For tests.
  static void Reset();

  explicit Screen(int width, int height, int bitsPerPixel, int dpi, int rotation, bool rawEscape, bool powerEscape);
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  int width() const { return view_.width; }
  int height() const { return view_.height; }
  int bitsPerPixel() const { return format_->bitsPerPixel(); }
  int dpi() const { return dpi_; }
  int rotation() const { return rotation_; }
  const std::shared_ptr<const PixelFormat>& format() const { return format_; }
  // The memory as programs see the screen: (0, 0) is the top-left pixel.
  const Surface& view() const { return view_; }
  bool rawFrameBufferEscape() const { return rawEscape_; }
  bool powerEscape() const { return powerEscape_; }

  // Tells the display a rectangle changed; clipped to the screen.
  void Present(const RECT& area);
  void PresentAll();
  ULONG powerState() const { return powerState_; }
  void SetPowerState(ULONG state);
  Display& display() { return *display_; }

  // Game display and input state (gx.h).
  struct GameApi {
    bool displayOpen = false;
    bool suspended = false;
    bool inputOpen = false;
  };
  GameApi& gameApi() { return gameApi_; }

 private:
  std::vector<BYTE> memory_;
  std::shared_ptr<const PixelFormat> format_;
  Surface view_;
  int dpi_;
  int rotation_;
  bool rawEscape_;
  bool powerEscape_;
  ULONG powerState_ = VideoPowerOn;
  GameApi gameApi_;
  std::unique_ptr<Display> display_;
};

// One lock for all drawing state: GDI objects, DCs and the screen.
std::recursive_mutex& GdiLock();

}  // namespace ce::gdi
