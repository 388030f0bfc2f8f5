// Cost of the formatter on a typical log line and of the ANSI conversions.
#include <benchmark/benchmark.h>

#include "ce/crt.h"
#include "ce/winnls.h"

namespace {

void BM_FormatLogLine(benchmark::State& state) {
  wchar_t buffer[512];
  for (auto _ : state) {
    const int n = _snwprintf(buffer, 512, L"%s %dx%d %3.2fx%3.2f [%d/%d]", L"Open Display", 320, 240, 1.5, 1.25, 7, 99);
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_FormatLogLine);

void BM_FormatIntegers(benchmark::State& state) {
  wchar_t buffer[64];
  int value = 0;
  for (auto _ : state) {
    const int n = _snwprintf(buffer, 64, L"%d %08X %I64d", value, value, static_cast<long long>(value) << 20);
    benchmark::DoNotOptimize(n);
    ++value;
  }
}
BENCHMARK(BM_FormatIntegers);

void BM_WideToAnsi(benchmark::State& state) {
  const std::wstring text(256, L'\u00e9');
  char out[256];
  for (auto _ : state) {
    const int n = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, text.data(), 256, out, 256, nullptr, nullptr);
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_WideToAnsi);

}  // namespace
