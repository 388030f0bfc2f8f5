#include "launcher_state.h"

#include "common/module_state.h"
#include "common/ui_helpers.h"

namespace tessivo {

HINSTANCE Module() {
  HINSTANCE module = suite::ModuleInstance();
  return module != nullptr ? module : GetModuleHandleW(nullptr);
}

int S(int n) {
  suite::InitScreenDpi();
  return suite::ScaleByDpi(n);
}

LauncherState& State() {
  static LauncherState state;
  return state;
}

void ReloadColors() {
  suite::CColorScheme scheme;
  scheme.LoadCurrent();
  scheme.GetColors(State().colors);
}

void CopyTransparent(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY) {
  if (dest == nullptr || source == nullptr) return;
  constexpr COLORREF kMagenta = RGB(255, 0, 255);
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      const COLORREF c = GetPixel(source, sourceX + column, sourceY + row);
      if (c == CLR_INVALID || (c & 0xFFFFFF) == kMagenta) continue;
      SetPixel(dest, x + column, y + row, c);
    }
  }
}

}  // namespace tessivo
