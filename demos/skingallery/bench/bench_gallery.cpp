// The gallery's grid under the keys and the scroll bar, each step painted
// and presented on the headless screen at 240x320, and the modal loop
// waiting for input.
#include <benchmark/benchmark.h>

#include <ctime>
#include <thread>

#include "../tests/gallery_setup.h"
#include "gallery_form.h"
#include "temp_device.h"

namespace {

struct Bench {
  Bench() {
    ::setenv("DEVICE_BACKEND", "headless", 1);
    gallerytest::UseDevice("PocketPC");
    gallerytest::LoadSkin(skin);
    form = std::make_unique<gallery::GalleryForm>(&skin);
    form->load_properties();
    form->set_active(true);
    form->get_grid().set_rows(1000);
    form->get_grid().set_focus();
    gallerytest::Pump(*form);
  }
  ce::test::TempDevice device;
  skinner::Properties skin;
  std::unique_ptr<gallery::GalleryForm> form;
};

Bench& TheBench() {
  static Bench bench;
  return bench;
}

double ProcessSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// One key moves the selection by a row; the repaint and the blit to the
// screen are part of it.
void BM_GridKeyMovesTheSelection(benchmark::State& state) {
  Bench& b = TheBench();
  HWND window = b.form->get_window();
  b.form->get_grid().set_selection(500);
  bool down = true;
  for (auto _ : state) {
    const UINT key = down ? VK_DOWN : VK_UP;
    down = !down;
    PostMessageW(window, WM_KEYDOWN, key, 0);
    PostMessageW(window, WM_KEYUP, key, 0);
    gallerytest::Pump(*b.form);
    UpdateWindow(window);
  }
}
BENCHMARK(BM_GridKeyMovesTheSelection)->Unit(benchmark::kMicrosecond);

// A page of a 1,000-row grid scrolled, painted and presented.
void BM_GridScrollsAPage(benchmark::State& state) {
  Bench& b = TheBench();
  HWND window = b.form->get_window();
  auto& bar = b.form->get_grid().get_vertical();
  bar.set_value(0);
  for (auto _ : state) {
    const int page = bar.get_page();
    const int next = bar.get_value() + page >= bar.get_maximum() - page ? 0 : bar.get_value() + page;
    bar.set_value(next);
    gallerytest::Pump(*b.form);
    UpdateWindow(window);
  }
}
BENCHMARK(BM_GridScrollsAPage)->Unit(benchmark::kMicrosecond);

// The modal loop waiting for input: the share of a core it takes over a
// second of waiting once the form has settled (the counter "cpu_percent").
void BM_ModalLoopIdles(benchmark::State& state) {
  Bench& b = TheBench();
  double percent = 0;
  for (auto _ : state) {
    gallerytest::Pump(*b.form);
    HWND window = b.form->get_window();
    std::thread watcher([window, &percent] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the run's own start
      const double before = ProcessSeconds();
      const auto start = std::chrono::steady_clock::now();
      std::this_thread::sleep_for(std::chrono::seconds(1));
      const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      percent = 100.0 * (ProcessSeconds() - before) / wall;
      PostMessageW(window, WM_CLOSE, 0, 0);
    });
    b.form->run();
    watcher.join();
    ShowWindow(window, SW_SHOW);
  }
  state.counters["cpu_percent"] = percent;
}
BENCHMARK(BM_ModalLoopIdles)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
