// Property lookups through three levels of inheritance, loading a skin
// from its ZIP, and the cold load of a skin's pictures.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "os/file.h"
#include "skin_art.h"
#include "skin_compiler.h"
#include "skinner/picture.h"
#include "skinner/properties.h"
#include "temp_device.h"

namespace {

// A skin of some size: 40 kinds in chains of three, 20 forms of 15 controls.
std::string Source() {
  std::string s = "skin \"Bench\"\nsizes 240x320 320x240 480x640\n";
  for (int k = 0; k < 40; ++k) {
    s += "kind K" + std::to_string(k);
    if (k % 3 != 0) s += " : K" + std::to_string(k - 1);
    s += "\n";
    for (int p = 0; p < 8; ++p) {
      s += "  int I" + std::to_string(k * 8 + p) + " " + std::to_string(p) + "\n";
      s += "  colour C" + std::to_string(k * 8 + p) + " 1 2 3\n";
      s += "  text T" + std::to_string(k * 8 + p) + " \"text\"\n";
    }
  }
  for (int f = 0; f < 20; ++f) {
    s += "form Form" + std::to_string(f) + "\n  size Size 240 268\n  text Text \"Title\"\n";
    for (int c = 0; c < 15; ++c) {
      s += "  control c" + std::to_string(c) + " : K" + std::to_string(3 * (c % 13) + 2) + " class Button\n";
      s += "    size Position 4 4\n    text Text \"Press\"\n";
    }
  }
  return s;
}

std::vector<std::uint8_t> Blob() {
  std::vector<std::uint8_t> blob;
  std::string error;
  skinc::Compile(Source(), blob, error);
  return blob;
}

void BM_LookupThroughThreeLevels(benchmark::State& state) {
  skinner::PropertiesImpl p(Blob(), {480, 640});
  const std::wstring kind = L"K2", control = L"c2", form = L"Form7", key = L"I0";  // in K0, two bases up
  int sum = 0;
  for (auto _ : state) {
    sum += p.read_int(kind, control, form, key, -1);
    benchmark::DoNotOptimize(sum);
  }
  if (sum != 0) state.SkipWithError("wrong value");
}
BENCHMARK(BM_LookupThroughThreeLevels);

void BM_ColourThroughThreeLevelsAlternatingForms(benchmark::State& state) {
  skinner::PropertiesImpl p(Blob(), {480, 640});
  const std::wstring kind = L"K5", control = L"c5", forms[2] = {L"Form3", L"Form12"}, key = L"C24";
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(p.read_colour(kind, control, forms[i++ & 1], key, {}));
  }
}
BENCHMARK(BM_ColourThroughThreeLevelsAlternatingForms);

void BM_LoadSkinFromZip(benchmark::State& state) {
  static ce::test::TempDevice device;
  const std::vector<std::uint8_t> blob = Blob();
  {
    const std::string zip = skinc::StoredZip({{"bench.skin", std::string(blob.begin(), blob.end())}});
    os::File f(L"%my_documents%/bench.zip", 1);
    f.write(zip.data(), static_cast<std::uint32_t>(zip.size()));
  }
  for (auto _ : state) {
    skinner::PropertiesImpl p(L"%my_documents%/bench.zip", L"", {480, 640});
    if (!p.is_valid()) state.SkipWithError("skin did not load");
  }
  state.counters["bytes"] = static_cast<double>(blob.size());
}
BENCHMARK(BM_LoadSkinFromZip)->Unit(benchmark::kMillisecond);

// 50 pictures of 25 images (half with a mask, half with an alpha map) at
// scale 2, decoded and scaled from the archive into an empty cache.
void BM_ColdPictureLoad(benchmark::State& state) {
  static ce::test::TempDevice device;
  std::vector<std::pair<std::string, std::string>> members{{"bench.skin", "not read here"}};
  for (int i = 0; i < 25; ++i) {
    const std::string name = "img" + std::to_string(i);
    members.emplace_back(name + ".bmp", skinart::EncodeBmp24(skinart::RoundedFrame(24, 24, 6, {200, 210, 220},
                                                                                   {120, 130, 150}, {20, 20, 20})));
    members.emplace_back(name + (i % 2 == 0 ? "_1.bmp" : "_8.bmp"),
                         i % 2 == 0 ? skinart::EncodeBmp24(skinart::RoundedMask(24, 24, 6))
                                    : skinart::EncodeBmp24(skinart::SoftAlpha(24, 24, 6, 4)));
  }
  {
    const std::string zip = skinc::StoredZip(members);
    os::File f(L"%my_documents%/pictures.zip", 1);
    f.write(zip.data(), static_cast<std::uint32_t>(zip.size()));
  }
  for (auto _ : state) {
    std::vector<skinner::Picture> pictures(50);
    for (int i = 0; i < 50; ++i) {
      pictures[i].load(L"0 0 6 6 7 7 24 24 s img" + std::to_wstring(i % 25), L"%my_documents%/pictures.zip", 2.0);
    }
    if (skinner::Picture::cache_size() != 25) state.SkipWithError("pictures not shared");
  }
}
BENCHMARK(BM_ColdPictureLoad)->Unit(benchmark::kMillisecond);

}  // namespace
