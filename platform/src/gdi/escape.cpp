// The display driver's escapes: the raw frame buffer and display power.
#include <cstring>
#include <mutex>

#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "gdi/objects.h"

using namespace ce::gdi;

namespace {

int Refuse(DWORD error) {
  SetLastError(error);
  return -1;
}

bool Supported(const Screen& screen, int escape) {
  switch (escape) {
    case QUERYESCSUPPORT:
      return true;
    case GETRAWFRAMEBUFFER:
      return screen.rawFrameBufferEscape();
    case SETPOWERMANAGEMENT:
    case GETPOWERMANAGEMENT:
      return screen.powerEscape();
    default:
      return false;
  }
}

}  // namespace

// Results: above 0 done, 0 the driver does not know the escape, below 0 the
// escape failed (bad sizes or values).
int ExtEscape(HDC hdc, int escape, int inputSize, LPCSTR input, int outputSize, LPSTR output) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return -1;
  Screen& screen = *dc->screen;
  if (!Supported(screen, escape)) return 0;
  switch (escape) {
    case QUERYESCSUPPORT: {
      if (input == nullptr || inputSize < static_cast<int>(sizeof(DWORD))) return Refuse(ERROR_INVALID_PARAMETER);
      DWORD asked;
      std::memcpy(&asked, input, sizeof asked);
      return Supported(screen, static_cast<int>(asked)) ? 1 : 0;
    }
    case GETRAWFRAMEBUFFER: {
      if (output == nullptr || outputSize < static_cast<int>(sizeof(RawFrameBufferInfo))) {
        return Refuse(ERROR_INSUFFICIENT_BUFFER);
      }
      const Surface& view = screen.view();
      RawFrameBufferInfo info{};
      info.wFormat = screen.bitsPerPixel() == 16 ? FORMAT_565 : FORMAT_OTHER;
      info.wBPP = static_cast<WORD>(screen.bitsPerPixel());
      info.pFramePointer = view.origin;
      info.cxStride = static_cast<int>(view.colStep);
      info.cyStride = static_cast<int>(view.rowStep);
      info.cxPixels = view.width;
      info.cyPixels = view.height;
      std::memcpy(output, &info, sizeof info);
      return 1;
    }
    case SETPOWERMANAGEMENT: {
      if (input == nullptr || inputSize < static_cast<int>(sizeof(VIDEO_POWER_MANAGEMENT))) {
        return Refuse(ERROR_INVALID_PARAMETER);
      }
      VIDEO_POWER_MANAGEMENT vpm;
      std::memcpy(&vpm, input, sizeof vpm);
      if (vpm.Length < sizeof vpm || vpm.PowerState < VideoPowerOn || vpm.PowerState > VideoPowerOff) {
        return Refuse(ERROR_INVALID_PARAMETER);
      }
      screen.SetPowerState(vpm.PowerState);
      return 1;
    }
    case GETPOWERMANAGEMENT: {
      if (output == nullptr || outputSize < static_cast<int>(sizeof(VIDEO_POWER_MANAGEMENT))) {
        return Refuse(ERROR_INSUFFICIENT_BUFFER);
      }
      const VIDEO_POWER_MANAGEMENT vpm{sizeof(VIDEO_POWER_MANAGEMENT), 1, screen.powerState()};
      std::memcpy(output, &vpm, sizeof vpm);
      return 1;
    }
    default:
      return 0;
  }
}
