// The drawing the plug-ins do on every home-screen paint: the focus tint
// of a plug-in's area and a gradient band, on a 32-bit surface.
#include <benchmark/benchmark.h>

#include "common/iss_utility.h"
#include "common/ui_helpers.h"

namespace {

struct Surface {
  explicit Surface(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    old = SelectObject(dc, bitmap);
  }
  ~Surface() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
};

void BM_TintRect(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  Surface surface(width, height);
  const RECT area{0, 0, width, height};
  for (auto _ : state) suite::TintRect(surface.dc, &area, RGB(0, 64, 160), 128);
  state.SetItemsProcessed(state.iterations() * width * height);
}
BENCHMARK(BM_TintRect)->Args({240, 40})->Args({480, 80});

void BM_DrawGradient(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  Surface surface(width, height);
  suite::IssUtility& utility = *suite::IssUtility::GetInstance();
  for (auto _ : state) utility.DrawGradient(surface.dc, 0, 0, width, height, RGB(0, 48, 128), RGB(96, 160, 224));
  state.SetItemsProcessed(state.iterations() * width * height);
}
BENCHMARK(BM_DrawGradient)->Args({240, 26})->Args({480, 640});

}  // namespace
