// Speed of the pixel paths on a 240 x 320 frame: plain copies between every
// common depth pair, the other raster operations programs use, stretches by
// 2x and by an uneven factor, and a fill.
#include <benchmark/benchmark.h>

#include <cstring>

#include "ce/wingdi.h"

namespace {

struct Frame {
  Frame(int width, int height, int bpp) {
    struct {
      BITMAPINFOHEADER header;
      DWORD masks[3];
    } info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = -height;
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bpp);
    info.header.biCompression = bpp == 16 ? BI_BITFIELDS : BI_RGB;
    info.masks[0] = 0xF800;
    info.masks[1] = 0x07E0;
    info.masks[2] = 0x001F;
    bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    const std::size_t rowBytes = ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bpp) + 31) / 32) * 4;
    auto* bytes = static_cast<unsigned char*>(bits);
    for (std::size_t i = 0; i < rowBytes * static_cast<std::size_t>(height); ++i) {
      bytes[i] = static_cast<unsigned char>(i * 37 + 11);
    }
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bitmap);
  }
  ~Frame() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;
  HBITMAP bitmap = nullptr;
  void* bits = nullptr;
  HDC dc = nullptr;
  HGDIOBJ old = nullptr;
};

// Arguments: source depth, destination depth, raster operation.
void BM_BitBlt(benchmark::State& state) {
  Frame source(240, 320, static_cast<int>(state.range(0)));
  Frame dest(240, 320, static_cast<int>(state.range(1)));
  const auto rop = static_cast<DWORD>(state.range(2));
  HBRUSH brush = CreateSolidBrush(RGB(90, 60, 200));
  HGDIOBJ oldBrush = SelectObject(dest.dc, brush);
  for (auto _ : state) BitBlt(dest.dc, 0, 0, 240, 320, source.dc, 0, 0, rop);
  state.SetItemsProcessed(state.iterations() * 240 * 320);
  SelectObject(dest.dc, oldBrush);
  DeleteObject(brush);
}
BENCHMARK(BM_BitBlt)
    ->ArgNames({"from", "to", "rop"})
    ->Args({16, 16, SRCCOPY})
    ->Args({32, 16, SRCCOPY})
    ->Args({16, 32, SRCCOPY})
    ->Args({24, 16, SRCCOPY})
    ->Args({32, 32, SRCCOPY})
    ->Args({8, 16, SRCCOPY})
    ->Args({16, 16, SRCAND})
    ->Args({16, 16, SRCPAINT})
    ->Args({16, 16, SRCINVERT})
    ->Args({16, 16, NOTSRCCOPY})
    ->Args({16, 16, PATCOPY})
    ->Args({16, 16, DSTINVERT})
    ->Args({32, 16, SRCAND});

// Arguments: source width, source height, depth (both sides).
void BM_StretchBlt(benchmark::State& state) {
  const int sw = static_cast<int>(state.range(0));
  const int sh = static_cast<int>(state.range(1));
  Frame source(sw, sh, static_cast<int>(state.range(2)));
  Frame dest(240, 320, 16);
  for (auto _ : state) StretchBlt(dest.dc, 0, 0, 240, 320, source.dc, 0, 0, sw, sh, SRCCOPY);
  state.SetItemsProcessed(state.iterations() * 240 * 320);
}
BENCHMARK(BM_StretchBlt)
    ->ArgNames({"sw", "sh", "from"})
    ->Args({120, 160, 16})
    ->Args({176, 220, 16})
    ->Args({176, 220, 24})
    ->Args({320, 400, 16});

void BM_FillRect(benchmark::State& state) {
  Frame a(240, 320, 16);
  HBRUSH brush = CreateSolidBrush(RGB(10, 200, 30));
  const RECT all{0, 0, 240, 320};
  for (auto _ : state) FillRect(a.dc, &all, brush);
  state.SetItemsProcessed(state.iterations() * 240 * 320);
  DeleteObject(brush);
}
BENCHMARK(BM_FillRect);

}  // namespace
