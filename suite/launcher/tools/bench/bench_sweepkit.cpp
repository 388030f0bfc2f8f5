// Sweepkit's walk takes the first entry of a fresh search after each
// deletion: the cost of emptying one folder of N files.
#include <benchmark/benchmark.h>

#include <string>

#include "ce/winbase.h"
#include "sweepkit.h"
#include "temp_device.h"

namespace {

void BM_DeleteTreeOneFolder(benchmark::State& state) {
  static ce::test::TempDevice device;
  const int files = static_cast<int>(state.range(0));
  tessivo::CSweepkitLogic logic;
  for (auto _ : state) {
    state.PauseTiming();
    CreateDirectoryW(L"\\Temp", nullptr);
    for (int i = 0; i < files; ++i) {
      const std::wstring path = L"\\Temp\\file" + std::to_wstring(i) + L".tmp";
      HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      CloseHandle(file);
    }
    state.ResumeTiming();
    DWORD count = 0;
    ULONGLONG bytes = 0;
    logic.DeleteTree(L"\\Temp", &count, &bytes);
    benchmark::DoNotOptimize(count);
  }
}
BENCHMARK(BM_DeleteTreeOneFolder)->Arg(500)->Arg(2000)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
