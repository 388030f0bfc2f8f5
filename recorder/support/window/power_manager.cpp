#include "skinner/power_manager.h"

#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "liba/text_stream.h"
#include "os/log.h"

namespace skinner {

namespace {

// Whether the display driver takes SETPOWERMANAGEMENT.
bool PowerEscapeSupported(HDC dc) {
  const int escape = SETPOWERMANAGEMENT;
  return ExtEscape(dc, QUERYESCSUPPORT, sizeof escape, reinterpret_cast<LPCSTR>(&escape), 0, nullptr) > 0;
}

}  // namespace

PowerManagerImpl::PowerManagerImpl(HWND w) : window(w) {}

void PowerManagerImpl::set_display_power(bool) {}
bool PowerManagerImpl::is_display_on() { return true; }

PowerManagerImplPocket::PowerManagerImplPocket(HWND w, UINT_PTR timer) : PowerManagerImpl(w) { timer_id = timer; }

void PowerManagerImplPocket::set_display_power(bool on) {
  HDC dc = GetDC(nullptr);
  if (PowerEscapeSupported(dc)) {
    VIDEO_POWER_MANAGEMENT power{};
    power.Length = sizeof power;
    power.DPMSVersion = 1;
    power.PowerState = on ? VideoPowerOn : VideoPowerOff;
    ExtEscape(dc, SETPOWERMANAGEMENT, sizeof power, reinterpret_cast<LPCSTR>(&power), 0, nullptr);
    if (on) idle.restart();
  }
  ReleaseDC(nullptr, dc);
}

bool PowerManagerImplPocket::is_display_on() {
  HDC dc = GetDC(nullptr);
  bool on = true;
  if (PowerEscapeSupported(dc)) {
    VIDEO_POWER_MANAGEMENT power{};
    power.Length = sizeof power;
    power.DPMSVersion = 1;
    ExtEscape(dc, GETPOWERMANAGEMENT, 0, nullptr, sizeof power, reinterpret_cast<LPSTR>(&power));
    on = power.PowerState == VideoPowerOn;
  }
  ReleaseDC(nullptr, dc);
  return on;
}

LRESULT PowerManagerImplPocket::on_message(UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_LBUTTONDOWN || message == WM_KEYDOWN) {
    os::get_log() << L"PowerManagerImpl interesting message\n";
    set_display_power(true);
    idle.restart();
  } else if (message == WM_TIMER && wParam == timer_id) {
    if (GetForegroundWindow() == window && is_display_on()) {
      if (interval != 0 && idle.elapsed() > interval) {
        os::get_log() << L"PowerManagerImpl time.elapsed() > interval\n";
        set_display_power(false);
      }
    } else {
      // Never behind another program, nor counting while the display is off.
      idle.restart();
    }
  }
  return 0;
}

}  // namespace skinner
