// Cost of reading a module's resources: each call finds the module's table
// (dlsym on its handle) and checks the table's directory before it reads.
#include <benchmark/benchmark.h>

#include "ce/windows.h"

namespace {

void BM_LoadString(benchmark::State& state) {
  WCHAR buffer[64];
  for (auto _ : state) benchmark::DoNotOptimize(LoadStringW(nullptr, 40010, buffer, 64));
}
BENCHMARK(BM_LoadString);

void BM_FindAndLockResource(benchmark::State& state) {
  for (auto _ : state) {
    HRSRC found = FindResourceW(nullptr, L"Logo", L"GIF");
    benchmark::DoNotOptimize(LockResource(LoadResource(nullptr, found)));
  }
}
BENCHMARK(BM_FindAndLockResource);

void BM_LoadAndDestroyIcon(benchmark::State& state) {
  HINSTANCE program = GetModuleHandleW(nullptr);
  for (auto _ : state) {
    auto icon = static_cast<HICON>(LoadImageW(program, MAKEINTRESOURCEW(106), IMAGE_ICON, 32, 32, 0));
    benchmark::DoNotOptimize(icon);
    DestroyIcon(icon);
  }
}
BENCHMARK(BM_LoadAndDestroyIcon);

}  // namespace
