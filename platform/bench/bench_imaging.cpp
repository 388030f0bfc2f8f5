// DecompressImageIndirect on a screen-sized picture (240 x 320) into a
// 16-bit bitmap, as programs load their skins and pictures: a 24-bit BMP
// (budget 1 ms) and a GIF (budget 3 ms), read through a 4096-byte buffer.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ce/imgdecmp.h"
#include "ce/wingdi.h"
#include "testkit/image_files.h"

namespace {

struct Source {
  const std::vector<std::uint8_t>* data;
  std::size_t at;
};

DWORD Read(LPSTR buffer, DWORD max, LPARAM lParam) {
  auto* source = reinterpret_cast<Source*>(lParam);
  const std::size_t n = std::min<std::size_t>(max, source->data->size() - source->at);
  if (n > 0) std::memcpy(buffer, source->data->data() + source->at, n);
  source->at += n;
  return static_cast<DWORD>(n);
}

void Decode(benchmark::State& state, const std::vector<std::uint8_t>& file) {
  BYTE buffer[4096];
  for (auto _ : state) {
    Source source{&file, 0};
    HBITMAP bitmap = nullptr;
    DecompressImageInfo info{};
    info.dwSize = sizeof info;
    info.pbBuffer = buffer;
    info.dwBufferMax = sizeof buffer;
    info.phBM = &bitmap;
    info.iBitDepth = 16;
    info.lParam = reinterpret_cast<LPARAM>(&source);
    info.iScale = 100;
    info.iMaxWidth = 10000;
    info.iMaxHeight = 10000;
    info.pfnGetData = Read;
    info.crTransparentOverride = 0xFFFFFFFF;
    if (DecompressImageIndirect(&info) < 0) state.SkipWithError("decode failed");
    DeleteObject(bitmap);
  }
}

void BM_Bmp24To16(benchmark::State& state) {
  Decode(state, ce::imaging::testkit::EncodeBmp(240, 320, {24, false, false}));
}
BENCHMARK(BM_Bmp24To16)->Unit(benchmark::kMicrosecond);

void BM_GifTo16(benchmark::State& state) { Decode(state, ce::imaging::testkit::EncodeGif(240, 320, false)); }
BENCHMARK(BM_GifTo16)->Unit(benchmark::kMicrosecond);

void BM_JpegTo16(benchmark::State& state) { Decode(state, ce::imaging::testkit::EncodeJpeg(240, 320)); }
BENCHMARK(BM_JpegTo16)->Unit(benchmark::kMicrosecond);

}  // namespace
