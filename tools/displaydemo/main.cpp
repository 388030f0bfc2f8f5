// A demonstration of the game's 16-bit display device: a moving test pattern
// that follows the pen and changes colour with the keys. With the headless
// back end and a script (DEVICE_SCRIPT) it runs unattended and writes
// screenshots; at a desktop it opens a window.
#include <memory>

#include "ce/windows.h"
#include "ce/winmain.h"
#include "display/display_s16.h"

namespace {

constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT kFrameMs = 33;

struct Demo {
  std::unique_ptr<ssDisplayS16> display;
  int width = 0;
  int height = 0;
  int phase = 0;
  int penX = -1;
  int penY = -1;
  int palette = 0;
};

Demo g_demo;

std::uint32_t PaletteColor(int index) {
  static constexpr std::uint32_t kColors[] = {0xE04040, 0x40C040, 0x4060E0, 0xE0C020, 0xC040C0, 0x20C0C0};
  return kColors[index % 6];
}

void DrawFrame() {
  ssDisplayS16& d = *g_demo.display;
  d.BeginDraw();
  // Diagonal bands that move one step a frame.
  constexpr int kBand = 16;
  for (int y = 0; y < g_demo.height; y += kBand) {
    for (int x = 0; x < g_demo.width; x += kBand) {
      const int shade = ((x + y) / kBand + g_demo.phase / 4) % 8;
      d.DrawRect(ssRect{x, y, x + kBand, y + kBand}, ssDisplayS16::kRectFilled,
                 d.MakePixel(24 + shade * 16, 24 + shade * 8, 64 + shade * 20));
    }
  }
  // A square that travels along the top edge, and a frame round the screen.
  const int travel = (g_demo.phase * 3) % (g_demo.width > 24 ? g_demo.width - 24 : 1);
  d.DrawRect(ssRect{travel, 8, travel + 24, 32}, ssDisplayS16::kRectFilled, d.MakePixel(255, 255, 255));
  d.DrawRect(ssRect{0, 0, g_demo.width, g_demo.height}, 0, d.MakePixel(255, 255, 0));
  // The pen's last position, in the colour the keys chose.
  if (g_demo.penX >= 0) {
    const std::uint32_t pixel = d.ColorToPixel(PaletteColor(g_demo.palette));
    d.DrawRect(ssRect{g_demo.penX - 12, g_demo.penY - 12, g_demo.penX + 12, g_demo.penY + 12},
               ssDisplayS16::kRectFilled, pixel);
    d.DrawRect(ssRect{g_demo.penX - 16, g_demo.penY - 16, g_demo.penX + 16, g_demo.penY + 16},
               ssDisplayS16::kRectBlend, pixel);
  }
  d.EndDraw();
  d.Present();
}

LRESULT CALLBACK DemoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == kFrameTimer) {
        ++g_demo.phase;
        DrawFrame();
      }
      return 0;
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
      if (message == WM_LBUTTONDOWN || (wParam & MK_LBUTTON) != 0) {
        g_demo.penX = static_cast<SHORT>(LOWORD(lParam));
        g_demo.penY = static_cast<SHORT>(HIWORD(lParam));
      }
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        DestroyWindow(window);
      } else {
        ++g_demo.palette;
      }
      return 0;
    case WM_DESTROY:
      KillTimer(window, kFrameTimer);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DemoProc;
  wc.hInstance = instance;
  wc.lpszClassName = L"DisplayDemo";
  if (RegisterClassW(&wc) == 0) return 1;
  g_demo.width = GetSystemMetrics(SM_CXSCREEN);
  g_demo.height = GetSystemMetrics(SM_CYSCREEN);
  HWND window = CreateWindowExW(0, L"DisplayDemo", L"Display demo", WS_POPUP | WS_VISIBLE, 0, 0, g_demo.width,
                                g_demo.height, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, show);

  g_demo.display = std::make_unique<ssDisplayS16>();
  if (g_demo.display->Init(window, g_demo.width, g_demo.height, 16, 0) != 0) {
    MessageBoxW(window, L"The display could not be opened.", L"Display demo", MB_OK);
    return 1;
  }
  DrawFrame();
  SetTimer(window, kFrameTimer, kFrameMs, nullptr);

  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  g_demo.display.reset();
  return static_cast<int>(msg.wParam);
}

CE_PROGRAM_ENTRY(WinMain)
