// The bar's costs: one home-screen paint of the icon lines with every slot
// holding an icon, building the default icon set from a full program list
// of 1000 entries (the first start's worst case), and the program scan of a
// Start Menu holding 1000 shortcuts to a program carrying its icon (the
// recorder, some 20 MB with its debugging data): on a first start, and
// again as the icons dialog rescans.
#include <benchmark/benchmark.h>

#include <string>

#include "bar_settings.h"
#include "launcher_state.h"
#include "obj_bar.h"
#include "obj_icons.h"
#include "program_list.h"
#include "scoped_setting.h"
#include "temp_device.h"
#include "tool_hooks.h"

namespace tessivo {
void RequestRedraw() {}
void InstallToolHost() {}
void ShowOptionsDialog(HWND) {}
void ShowIconsDialog(HWND) {}
void ShowSweepkit(HWND, LPCWSTR) {}
void ShowTuneup(HWND) {}
void ShowChimer(HWND) {}
void RunJuggler(HWND) {}
void StartTuneup() {}
void StartSweepkit() {}
void HourlyClean() {}
void StartChimer(HWND) {}
void ChimerMinuteCheck(HWND) {}
void ChimerPlay(HWND, int) {}
void ChimerStop(HWND, int) {}
void EndChimer() {}
void ShowIconDetails(HWND, int) {}
}  // namespace tessivo

namespace {

using namespace tessivo;

void FillList(int entries) {
  CProgramList& list = ProgramList();
  list.Prepare();
  list.Clear();
  HICON icon = static_cast<HICON>(LoadImageW(Module(), MAKEINTRESOURCEW(210), IMAGE_ICON, 16, 16, 0));
  for (int i = 0; i < entries; ++i) {
    const std::wstring name = L"Program " + std::to_wstring(i);
    const std::wstring path = L"\\Program Files\\P" + std::to_wstring(i) + L"\\p.exe";
    list.AddEntry(name.c_str(), path.c_str(), nullptr, i == 0 ? icon : nullptr, i == 0 ? 0 : 210);
  }
}

void BM_PaintBar(benchmark::State& state) {
  FillList(200);
  CBarSettings& settings = BarSettings();
  settings.SetDefaultLayout();
  settings.numLines = 3;
  settings.ns = 2;
  settings.sw = 1;
  settings.date = 1;
  Bar().CreateResources();
  Bar().BuildDefaultItems(nullptr);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 240, 80);
  SelectObject(dc, bitmap);
  for (auto _ : state) Bar().Paint(dc, 0, 0, 240, 80, TRUE, nullptr);
  DeleteDC(dc);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
}
BENCHMARK(BM_PaintBar)->Unit(benchmark::kMicrosecond);

void BM_BuildDefaultItems(benchmark::State& state) {
  FillList(kMaxProgramEntries);
  Bar().CreateResources();
  for (auto _ : state) {
    BarSettings().SetDefaultLayout();
    Bar().BuildDefaultItems(nullptr);
  }
}
BENCHMARK(BM_BuildDefaultItems)->Unit(benchmark::kMillisecond);

// A device whose Start Menu holds `count` shortcuts to the recorder.
struct ShortcutDevice {
  ce::test::TempDevice device;
  ce::test::ScopedSetting folders{"DEVICE_PROGRAM_FOLDERS", "Vocamo=" + std::string(RECORDER_FOLDER)};
  explicit ShortcutDevice(int count) {
    const std::string target = "\"\\Program Files\\Vocamo\\Vocamo.exe\"";
    const std::string text = std::to_string(target.size()) + "#" + target;
    for (int i = 0; i < count; ++i) {
      device.WriteHostFile("Storage/Windows/Start Menu/Programs/Program " + std::to_string(i) + ".lnk", text);
    }
  }
};

void BM_ScanShortcutsFirstStart(benchmark::State& state) {
  ShortcutDevice device(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    CProgramList list;  // nothing seen before
    list.Prepare();
    list.Rebuild();
    if (list.Count() < state.range(0)) state.SkipWithError("shortcuts left out of the list");
  }
}
BENCHMARK(BM_ScanShortcutsFirstStart)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ScanShortcutsAgain(benchmark::State& state) {
  ShortcutDevice device(static_cast<int>(state.range(0)));
  CProgramList list;
  list.Prepare();
  list.Rebuild();
  for (auto _ : state) list.Rebuild();
}
BENCHMARK(BM_ScanShortcutsAgain)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
