// One refill of the output ring: one 5120-byte block filled from the silent
// source with 0, 5 and 20 effects mixed in. The virtual clock moves the
// device on by exactly one block between refills.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "ce/testing.h"
#include "engine/audio/audio_wave_out.h"
#include "engine/audio/sound_source.h"

namespace {

void BM_FillOneBlock(benchmark::State& state) {
  ce::testing::UseVirtualClock(0, 129067776000000000ull);
  ssAudioWaveOut device;
  if (device.GetDeviceCaps(0) != 0 || !device.IsOpen()) {
    state.SkipWithError("no sound device");
    return;
  }
  const int effects = static_cast<int>(state.range(0));
  std::vector<std::uint8_t> effect(8000 * 10, 0xA0);  // ten seconds
  for (int i = 0; i < effects; ++i) {
    device.LoadEffect(effect.data(), static_cast<std::uint32_t>(effect.size()), 1, 8, 8000, 0);
  }
  ssSoundSource silence;
  device.AttachSource(&silence);
  device.PlaySource(&silence);
  for (auto _ : state) {
    state.PauseTiming();
    ce::testing::AdvanceClock(160);
    // Effects that ran out start again beyond the queued blocks, so the
    // refills mix them.
    for (int i = static_cast<int>(device.PlayingEffects()); i < effects; ++i) device.PlayEffect(i, 600);
    state.ResumeTiming();
    benchmark::DoNotOptimize(device.FillBlock());
  }
  device.Stop();
  state.SetLabel(std::to_string(effects) + " effects");
}
BENCHMARK(BM_FillOneBlock)->Arg(0)->Arg(5)->Arg(20);

}  // namespace
