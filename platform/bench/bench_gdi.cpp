// Speed of the pixel paths on a 240 x 320 RGB565 frame: the plain copy a
// program's present makes, a masked copy, a 2x stretch and a fill.
#include <benchmark/benchmark.h>

#include <cstring>

#include "ce/wingdi.h"

namespace {

struct Frame {
  Frame(int width, int height) {
    struct {
      BITMAPINFOHEADER header;
      DWORD masks[3];
    } info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = -height;
    info.header.biPlanes = 1;
    info.header.biBitCount = 16;
    info.header.biCompression = BI_BITFIELDS;
    info.masks[0] = 0xF800;
    info.masks[1] = 0x07E0;
    info.masks[2] = 0x001F;
    bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    std::memset(bits, 0x5A, static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 2);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bitmap);
  }
  ~Frame() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  HBITMAP bitmap = nullptr;
  void* bits = nullptr;
  HDC dc = nullptr;
  HGDIOBJ old = nullptr;
};

void BM_BitBltCopy(benchmark::State& state) {
  Frame a(240, 320);
  Frame b(240, 320);
  for (auto _ : state) BitBlt(b.dc, 0, 0, 240, 320, a.dc, 0, 0, SRCCOPY);
  state.SetItemsProcessed(state.iterations() * 240 * 320);
}
BENCHMARK(BM_BitBltCopy);

void BM_BitBltAnd(benchmark::State& state) {
  Frame a(240, 320);
  Frame b(240, 320);
  for (auto _ : state) BitBlt(b.dc, 0, 0, 240, 320, a.dc, 0, 0, SRCAND);
  state.SetItemsProcessed(state.iterations() * 240 * 320);
}
BENCHMARK(BM_BitBltAnd);

void BM_StretchBltDouble(benchmark::State& state) {
  Frame a(120, 160);
  Frame b(240, 320);
  for (auto _ : state) StretchBlt(b.dc, 0, 0, 240, 320, a.dc, 0, 0, 120, 160, SRCCOPY);
  state.SetItemsProcessed(state.iterations() * 240 * 320);
}
BENCHMARK(BM_StretchBltDouble);

void BM_FillRect(benchmark::State& state) {
  Frame a(240, 320);
  HBRUSH brush = CreateSolidBrush(RGB(10, 200, 30));
  const RECT all{0, 0, 240, 320};
  for (auto _ : state) FillRect(a.dc, &all, brush);
  state.SetItemsProcessed(state.iterations() * 240 * 320);
  DeleteObject(brush);
}
BENCHMARK(BM_FillRect);

}  // namespace
