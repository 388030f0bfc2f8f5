// The recorder with 500 recordings in its folder: start-up to the main form
// painted (the skin chosen and checked, the form and its list built, the
// settings read, the skin applied and every control drawn), and a refresh
// of the recordings list.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "ce/windows.h"
#include "form_main.h"
#include "os/com_scope.h"
#include "os/path.h"
#include "scoped_setting.h"
#include "skinner/device_caps.h"
#include "skinner/properties.h"
#include "temp_device.h"
#include "vocamo_main.h"

namespace {

constexpr int kRecordings = 500;

// A headless Pocket PC on a root of its own, with the recordings in place.
void Device() {
  static ce::test::ScopedSetting backend("DEVICE_BACKEND", "headless");
  static ce::test::ScopedSetting folder("DEVICE_PROGRAM_FOLDER", VO_DATA_DIR);
  static ce::test::ScopedSetting platform("DEVICE_PLATFORM_TYPE", "PocketPC");
  static ce::test::TempDevice device;
  static const bool made = [] {
    for (int i = 1; i <= kRecordings; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "memo%03d.%s", i, i % 3 == 0 ? "wav" : "mp3");
      device.WriteHostFile(std::string("My Documents/My Vocamo/") + name, std::string(1000 + i, 'r'));
    }
    skinner::install_device_info();
    return true;
  }();
  (void)made;
}

// The start-up's own steps, up to a painted main form.
std::unique_ptr<vocamo::FormMain> start(skinner::Properties& skin) {
  const skinner::Point screen = skinner::get_screen_size();
  skin.reset(skinner::Properties::create_for_device(os::expand_path(L"%app_path%/skins/alternative/alternative.skin"),
                                                    screen));
  if (!skinner::Properties::match_screen(skin, vocamo::kSkinVersion, screen))
    skinner::Properties::create_named(skin, os::expand_path(L"%app_path%/skins/default/default.skin"), L"", screen);
  if (!skinner::Properties::match_screen(skin, vocamo::kSkinVersion, screen)) return nullptr;
  auto form = std::make_unique<vocamo::FormMain>(nullptr, &skin);
  form->load_settings(os::path_join(L"%app_path%", L"Settings.xml"));
  form->load_properties();
  UpdateWindow(form->get_window());
  return form;
}

void BM_StartUpToThePaintedMainFormWith500Recordings(benchmark::State& state) {
  Device();
  os::ComScope com;
  for (auto _ : state) {
    skinner::Properties skin;
    auto form = start(skin);
    if (!form || form->files().get_row_count() != kRecordings) {
      state.SkipWithError("the main form did not list the recordings");
      break;
    }
    state.PauseTiming();  // tearing down is not part of the start
    form.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StartUpToThePaintedMainFormWith500Recordings)->Unit(benchmark::kMillisecond);

void BM_RefreshTheListOf500Recordings(benchmark::State& state) {
  Device();
  os::ComScope com;
  skinner::Properties skin;
  auto form = start(skin);
  if (!form) {
    state.SkipWithError("the main form did not start");
    return;
  }
  for (auto _ : state) {
    form->on_command(nullptr, L"Refresh_list");
    benchmark::DoNotOptimize(form->files().get_row_count());
  }
  if (form->files().get_row_count() != kRecordings) state.SkipWithError("the list lost recordings");
}
BENCHMARK(BM_RefreshTheListOf500Recordings)->Unit(benchmark::kMillisecond);

}  // namespace
