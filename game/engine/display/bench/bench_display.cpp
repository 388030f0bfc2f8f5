// The frame path of the 16-bit display device at the two screen sizes the
// game runs on: presenting an unchanged and a fully changed frame through
// GAPI, and the solid fill and the blend over the whole buffer.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>

#include "display/display_s16.h"
#include "screen_config.h"
#include "temp_device.h"

namespace {

// A GAPI device on a headless screen of the given size, on a private
// device root.
std::unique_ptr<ssDisplayS16> Open(int width, int height) {
  static ce::test::TempDevice device;
  ce::test::ScreenConfig config{{"DEVICE_BACKEND", "headless"},
                                {"DEVICE_SCREEN_WIDTH", std::to_string(width).c_str()},
                                {"DEVICE_SCREEN_HEIGHT", std::to_string(height).c_str()}};
  auto d = std::make_unique<ssDisplayS16>();
  d->ForceOutput(ssDisplayS16::kModeGapi);
  d->m_Rotate = width < height ? 1 : 0;
  if (d->Init(nullptr, width, height, 16, 0) != 0) return nullptr;
  return d;
}

void PresentUnchanged(benchmark::State& state) {
  auto d = Open(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  if (!d) return state.SkipWithError("no display");
  d->BeginDraw();
  std::fill_n(d->m_BackBuffer, d->m_Width * d->m_Height, 0x1234);
  d->Present();
  for (auto _ : state) {
    d->Present();
    benchmark::ClobberMemory();
  }
  d->EndDraw();
}

void PresentChanged(benchmark::State& state) {
  auto d = Open(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  if (!d) return state.SkipWithError("no display");
  d->BeginDraw();
  std::uint16_t value = 1;
  for (auto _ : state) {
    state.PauseTiming();
    std::fill_n(d->m_BackBuffer, d->m_Width * d->m_Height, value++);
    state.ResumeTiming();
    d->Present();
    benchmark::ClobberMemory();
  }
  d->EndDraw();
}

void FillRect16(benchmark::State& state) {
  auto d = Open(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  if (!d) return state.SkipWithError("no display");
  const ssRect all{0, 0, d->m_Width, d->m_Height};
  for (auto _ : state) {
    ssDisplayS16::FillRect16(d->m_BackBuffer, all, 0x1234, d->m_Width * 2);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * d->m_Width * d->m_Height);
}

void BlendRect(benchmark::State& state) {
  auto d = Open(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  if (!d) return state.SkipWithError("no display");
  const ssRect all{0, 0, d->m_Width, d->m_Height};
  for (auto _ : state) {
    d->BlendRect(d->m_BackBuffer, all, 0x8410, d->m_Width * 2);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * d->m_Width * d->m_Height);
}

BENCHMARK(PresentUnchanged)->Args({240, 320})->Args({480, 640});
BENCHMARK(PresentChanged)->Args({240, 320})->Args({480, 640});
BENCHMARK(FillRect16)->Args({240, 320})->Args({480, 640});
BENCHMARK(BlendRect)->Args({240, 320})->Args({480, 640});

}  // namespace
