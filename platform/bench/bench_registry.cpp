// Cost of a burst of registry writes, as a settings dialog's Done makes them:
// 1,000 values set under one key of a registry that already holds a few
// hundred others, then the key flushed so everything is on disk.
#include <benchmark/benchmark.h>

#include <string>

#include "ce/winbase.h"
#include "ce/winreg.h"
#include "temp_device.h"

namespace {

void FillOthers() {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Others", 0, nullptr, 0, 0, nullptr, &key, nullptr);
  for (DWORD i = 0; i < 300; ++i) {
    const std::wstring name = L"other" + std::to_wstring(i);
    RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), sizeof i);
  }
  RegCloseKey(key);
}

void BM_RegistryThousandWritesAndFlush(benchmark::State& state) {
  ce::test::TempDevice device;
  FillOthers();
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Burst", 0, nullptr, 0, 0, nullptr, &key, nullptr);
  std::wstring names[1000];
  for (int i = 0; i < 1000; ++i) names[i] = L"icon" + std::to_wstring(i);
  DWORD round = 0;
  for (auto _ : state) {
    ++round;
    for (int i = 0; i < 1000; ++i) {
      const DWORD value = round * 1000 + static_cast<DWORD>(i);
      RegSetValueExW(key, names[i].c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    RegFlushKey(key);
  }
  RegCloseKey(key);
}
BENCHMARK(BM_RegistryThousandWritesAndFlush)->Unit(benchmark::kMillisecond);

}  // namespace
