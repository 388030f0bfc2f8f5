// DecompressImageIndirect over mutated BMP, GIF and JPEG files, read
// through the callback in small pieces, at each output depth.
#include <algorithm>
#include <cstring>

#include "ce/imgdecmp.h"
#include "ce/wingdi.h"
#include "fuzz_driver.h"
#include "testkit/image_files.h"

namespace {

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at;
};

DWORD Read(LPSTR buffer, DWORD max, LPARAM lParam) {
  auto* input = reinterpret_cast<Input*>(lParam);
  const std::size_t n = std::min<std::size_t>(max, input->size - input->at);
  if (n > 0) std::memcpy(buffer, input->data + input->at, n);
  input->at += n;
  return static_cast<DWORD>(n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int kDepths[] = {16, 24, 32};
  BYTE buffer[509];
  Input input{data, size, 0};
  DecompressImageInfo info{};
  info.dwSize = sizeof info;
  info.pbBuffer = buffer;
  info.dwBufferMax = sizeof buffer;
  HBITMAP bitmap = nullptr;
  info.phBM = &bitmap;
  info.iBitDepth = kDepths[size % 3];
  info.lParam = reinterpret_cast<LPARAM>(&input);
  info.iScale = 100;
  info.iMaxWidth = 10000;
  info.iMaxHeight = 10000;
  info.pfnGetData = Read;
  info.crTransparentOverride = 0xFFFFFFFF;
  const HRESULT result = DecompressImageIndirect(&info);
  if ((result >= 0) != (bitmap != nullptr)) __builtin_trap();
  if (bitmap) DeleteObject(bitmap);
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  using namespace ce::imaging::testkit;
  std::vector<std::vector<std::uint8_t>> seeds;
  for (int bpp : {1, 4, 8, 16, 24, 32}) seeds.push_back(EncodeBmp(7, 5, {bpp, bpp == 8, false}));
  seeds.push_back(EncodeBmp(6, 3, {16, false, true}));
  seeds.push_back(EncodeBmp(6, 3, {32, true, true}));
  seeds.push_back(Rle8Sample());
  seeds.push_back(Rle4Sample());
  seeds.push_back(EncodeGif(9, 6, false));
  seeds.push_back(EncodeGif(9, 10, true, 3));
  seeds.push_back(EncodeJpeg(16, 16));
  return seeds;
}

std::vector<std::string> KsFuzzDictionary() { return {"BM", "GIF89a", "\xFF\xD8\xFF", "\x21\xF9\x04", "\x2C"}; }
