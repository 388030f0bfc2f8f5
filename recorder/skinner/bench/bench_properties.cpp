// Property lookups through three levels of inheritance, and loading a skin
// from its ZIP.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "os/file.h"
#include "skin_compiler.h"
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

}  // namespace
