// Image loading and conversion (TGA and JPEG, 256 x 256) and member reads.
#include <benchmark/benchmark.h>

#include "ark_writer.h"
#include "engine/archive.h"
#include "engine/image.h"
#include "image_writer.h"
#include "memory_file.h"

namespace {

imgconv::Picture Picture256() {
  imgconv::Picture p;
  p.width = p.height = 256;
  for (std::uint32_t y = 0; y < 256; ++y) {
    for (std::uint32_t x = 0; x < 256; ++x) {
      p.rgba.insert(p.rgba.end(), {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                                   static_cast<std::uint8_t>((x * y) >> 8), 0xFF});
    }
  }
  return p;
}

void LoadImage(benchmark::State& state, const std::vector<std::uint8_t>& file, std::uint16_t format) {
  for (auto _ : state) {
    ssMemoryFile stream(file);
    ssImage image;
    benchmark::DoNotOptimize(image.Load(&stream, 0, format));
    benchmark::DoNotOptimize(image.Pixels());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 256 * 256 * 2);
}

void BM_Tga24ToDisplay(benchmark::State& state) {
  LoadImage(state, imgconv::EncodeTga(Picture256(), 24, false), kPixelDisplay);
}
void BM_Tga32RunLengthToDisplay(benchmark::State& state) {
  LoadImage(state, imgconv::EncodeTga(Picture256(), 32, true), kPixelDisplay);
}
void BM_JpegToDisplay(benchmark::State& state) {
  LoadImage(state, imgconv::EncodeJpeg(Picture256(), 85), kPixelDisplay);
}
void BM_PackedJpegToDisplay(benchmark::State& state) {
  LoadImage(state, imgconv::EncodePackedJpeg(Picture256(), 85, false), kPixelDisplay);
}

// Reads a 256 KB member in 4 KB pieces, alternating two members so every
// read puts the shared stream back in place.
void BM_MemberReads(benchmark::State& state) {
  std::vector<std::uint8_t> data(256 * 1024, 0x5A);
  std::string error;
  ssMemoryArchive archive(state.range(0) != 0);
  archive.AddFile(L"\\a.ark", arkpack::BuildArchive({{"one.bin", data}, {"two.bin", data}}, &error));
  std::vector<std::uint8_t> buffer(4096);
  for (auto _ : state) {
    auto one = archive.OpenFile(L"one.bin", L"", L"a.ark", kFileModeRead, 3);
    auto two = archive.OpenFile(L"two.bin", L"", L"a.ark", kFileModeRead, 3);
    while (one->Read(buffer.data(), 4096) == 4096 && two->Read(buffer.data(), 4096) == 4096) {}
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2 * 256 * 1024);
}

void BM_MemberLookup(benchmark::State& state) {
  std::vector<arkpack::Member> members;
  for (int i = 0; i < 64; ++i) members.push_back({"member" + std::to_string(i) + ".tga", {1, 2, 3}});
  std::string error;
  ssMemoryArchive archive;
  archive.AddFile(L"\\a.ark", arkpack::BuildArchive(members, &error));
  for (auto _ : state) benchmark::DoNotOptimize(archive.OpenFile(L"MEMBER63.TGA", L"", L"a.ark", kFileModeRead, 3));
}

}  // namespace

BENCHMARK(BM_Tga24ToDisplay);
BENCHMARK(BM_Tga32RunLengthToDisplay);
BENCHMARK(BM_JpegToDisplay);
BENCHMARK(BM_PackedJpegToDisplay);
BENCHMARK(BM_MemberReads)->Arg(0)->Arg(1);
BENCHMARK(BM_MemberLookup);
