// SystemParametersInfoW: the device's platform type and maker's text (device
// settings) and the work area (the whole screen).
#include <cstdio>
#include <cwchar>
#include <string>

#include "ce/strconv.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "gdi/screen.h"
#include "kernel/device.h"
#include "kernel/not_implemented.h"

namespace {

BOOL WriteText(const std::string& utf8, UINT byteCount, PVOID buffer) {
  const std::wstring text = ce::WideFromUtf8(utf8);
  if ((text.size() + 1) * sizeof(wchar_t) > byteCount) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  auto* out = static_cast<wchar_t*>(buffer);
  std::wmemcpy(out, text.c_str(), text.size() + 1);
  return TRUE;
}

}  // namespace

BOOL SystemParametersInfoW(UINT uiAction, UINT uiParam, PVOID pvParam, UINT /*fWinIni*/) {
  if (uiAction == SPI_GETPLATFORMTYPE || uiAction == SPI_GETOEMINFO) {
    if (!pvParam) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    const std::string text = uiAction == SPI_GETPLATFORMTYPE ? ce::device::SettingOr("platform_type", "PocketPC")
                                                             : ce::device::SettingOr("oem_info", "Handheld Device");
    return WriteText(text, uiParam, pvParam);
  }
  if (uiAction == SPI_GETWORKAREA) {
    if (!pvParam) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    // No task bar or menu bar is drawn by the platform: the whole screen.
    const auto screen = ce::gdi::Screen::Current();
    *static_cast<RECT*>(pvParam) = RECT{0, 0, screen->width(), screen->height()};
    return TRUE;
  }
  char what[64];
  std::snprintf(what, sizeof what, "SystemParametersInfoW(action %u)", uiAction);
  ce::kernel::NotImplemented(what);
  return FALSE;
}
