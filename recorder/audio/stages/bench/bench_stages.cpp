// Throughput of the booster on speech-like and worst-case input at
// 44,100 Hz, and of a whole headless recording (recorder, booster, meters,
// buffering thread) on the virtual clock, which must run at least ten times
// faster than real time without the buffering thread overflowing.
//
// The recording runs on the headless sound device: where a display server
// is named, run it with DEVICE_BACKEND=headless.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <numbers>
#include <vector>

#include "audio/active_buffer.h"
#include "audio/booster.h"
#include "audio/level_meter_record.h"
#include "audio/meters.h"
#include "audio/recorder_pcm.h"
#include "ce/testing.h"

namespace {

using audio::PCMData;

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kBlockFrames = 5000;  // one capture buffer

struct CountingSink : audio::Consumer<PCMData> {
  std::uint64_t bytes = 0;
  void on_data(const PCMData& block) override { bytes += block.size(); }
};

std::vector<PCMData> split(const std::vector<std::int16_t>& s) {
  std::vector<PCMData> blocks;
  for (std::size_t at = 0; at < s.size(); at += kBlockFrames) {
    const std::size_t n = std::min<std::size_t>(kBlockFrames, s.size() - at);
    blocks.emplace_back(audio::SharedBuffer(s.data() + at, static_cast<std::uint32_t>(n * 2)), 1, 16, kRate);
  }
  return blocks;
}

std::vector<std::int16_t> speech(std::size_t count) {
  std::vector<std::int16_t> s(count);
  for (std::size_t i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double syllable = std::fmod(t, 0.25) / 0.25;
    const double envelope = syllable < 0.8 ? std::sin(std::numbers::pi * syllable / 0.8) : 0.0;
    double v = 0.0;
    for (int h = 1; h <= 4; ++h) v += std::sin(2.0 * std::numbers::pi * 140.0 * h * t) / h;
    s[i] = static_cast<std::int16_t>(std::lround(1500.0 * envelope * v / 2.1));
  }
  return s;
}

// Half-waves of two samples whose peaks decay slowly: every peak dominates
// everything after it, so every dominance scan runs the full 100 ms.
std::vector<std::int16_t> worst_case(std::size_t count) {
  std::vector<std::int16_t> s(count);
  for (std::size_t i = 0; i < count; ++i) {
    const int magnitude = 30000 - static_cast<int>(i * 29000 / count);
    s[i] = static_cast<std::int16_t>((i / 2) % 2 ? -magnitude : magnitude);
  }
  return s;
}

void run_booster(benchmark::State& state, const std::vector<std::int16_t>& signal) {
  const auto blocks = split(signal);
  for (auto _ : state) {
    audio::Booster booster;
    CountingSink sink;
    audio::connect<PCMData>(&booster, &sink);
    booster.set_gain(4);
    for (const PCMData& b : blocks) booster.on_data(b);
    booster.flush();
    benchmark::DoNotOptimize(sink.bytes);
    audio::connect<PCMData>(&booster, nullptr);
  }
  const double audio_seconds = static_cast<double>(signal.size()) / kRate;
  state.counters["x_realtime"] = benchmark::Counter(audio_seconds * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_BoosterSpeech(benchmark::State& state) { run_booster(state, speech(kRate * 10)); }
BENCHMARK(BM_BoosterSpeech)->Unit(benchmark::kMillisecond);

void BM_BoosterWorstCase(benchmark::State& state) { run_booster(state, worst_case(kRate * 10)); }
BENCHMARK(BM_BoosterWorstCase)->Unit(benchmark::kMillisecond);

void BM_HeadlessRecording(benchmark::State& state) {
  ce::testing::UseVirtualClock(0, 129067776000000000ull);
  constexpr std::uint64_t kStepMs = 100;
  constexpr std::uint64_t kSecondsPerRun = 30;
  std::uint32_t deepest = 0;
  double wall = 0.0;
  for (auto _ : state) {
    CountingSink sink;
    audio::ActiveBuffer buffer;
    audio::TimeMeter time_meter;
    audio::LevelMeterRecord level_meter(2.0);
    audio::Booster booster;
    booster.set_gain(4);
    audio::connect<PCMData>(&booster, &level_meter);
    audio::connect<PCMData>(&level_meter, &time_meter);
    audio::connect<PCMData>(&time_meter, &buffer);
    audio::connect<PCMData>(&buffer, &sink);
    audio::RecorderPCM recorder(1, kRate, 16);
    audio::connect<PCMData>(&recorder, &booster);
    const auto begin = std::chrono::steady_clock::now();
    recorder.start();
    for (std::uint64_t t = 0; t < kSecondsPerRun * 1000; t += kStepMs) {
      ce::testing::AdvanceClock(kStepMs);
      deepest = std::max(deepest, buffer.get_queued_count());
    }
    recorder.stop();
    audio::connect<PCMData>(&recorder, nullptr);
    booster.flush();
    while (buffer.get_queued_count() != 0) ce::testing::AdvanceClock(10);
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    audio::connect<PCMData>(&buffer, nullptr);
    if (!buffer.is_accepting()) state.SkipWithError("the buffering thread overflowed");
    // The last millisecond may still be on its way into the stopped buffer.
    if (sink.bytes + kRate / 1000 * 2 < kSecondsPerRun * kRate * 2) state.SkipWithError("audio was lost");
    state.counters["bytes"] = static_cast<double>(sink.bytes);
  }
  const double factor = kSecondsPerRun * state.iterations() / wall;
  state.counters["x_realtime"] = factor;
  state.counters["deepest_queue"] = deepest;
  if (factor < 10.0) state.SkipWithError("slower than ten times real time");
}
BENCHMARK(BM_HeadlessRecording)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
