// Encoder throughput on 60 s of a speech-like signal. The "x_realtime"
// counter is seconds of audio encoded per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/mp3_encoder.h"
#include "encoder_state.h"

namespace {

std::vector<std::int16_t> speech_like(int n, int rate, std::uint32_t seed) {
  std::vector<std::int16_t> v(static_cast<std::size_t>(n));
  const double pi = 3.14159265358979;
  const double a1 = 2 * 0.97 * std::cos(2 * pi * 500 / rate), a2 = -0.97 * 0.97;
  double y1 = 0, y2 = 0;
  for (int i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const double x = static_cast<double>(seed >> 8) / 16777216.0 - 0.5;
    const double y = x + a1 * y1 + a2 * y2;
    y2 = y1;
    y1 = y;
    const double env = 0.25 + 0.75 * std::pow(std::sin(pi * 4.0 * i / rate), 2);
    v[static_cast<std::size_t>(i)] =
        static_cast<std::int16_t>(std::lround(std::fmax(-1.0, std::fmin(1.0, env * 0.08 * y)) * 32767));
  }
  return v;
}

void BM_Encode(benchmark::State& state) {
  const int rate = static_cast<int>(state.range(0));
  const int channels = static_cast<int>(state.range(1));
  const int kbps = static_cast<int>(state.range(2));
  const int seconds = 60;
  const std::vector<std::int16_t> left = speech_like(rate * seconds, rate, 1u);
  const std::vector<std::int16_t> right = speech_like(rate * seconds, rate, 2u);
  std::vector<std::uint8_t> out(audio::kMP3FlushBytes);
  std::size_t bytes = 0;
  double counts = 0, granules = 0;
  for (auto _ : state) {
    audio::MP3EncoderParams* e = audio::mp3_encoder_create(rate, channels, kbps);
    const int spf = audio::mp3_encoder_samples_per_frame(e);
    for (std::size_t i = 0; i < left.size(); i += static_cast<std::size_t>(spf)) {
      const int n = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(spf), left.size() - i));
      bytes += static_cast<std::size_t>(
          audio::mp3_encoder_encode(e, left.data() + i, right.data() + i, n, out.data(), static_cast<int>(out.size())));
    }
    bytes += static_cast<std::size_t>(audio::mp3_encoder_flush(e, out.data(), static_cast<int>(out.size())));
    counts += static_cast<double>(e->state->count_calls);
    granules += static_cast<double>(left.size()) / 576.0 * channels;
    audio::mp3_encoder_release(e);
  }
  benchmark::DoNotOptimize(bytes);
  // Bit counts per granule and channel: the cost of the gain search.
  state.counters["counts_per_granule"] = counts / granules;
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(seconds) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_Encode)
    ->Args({44100, 1, 64})
    ->Args({44100, 1, 96})
    ->Args({22050, 1, 32})
    ->Args({44100, 2, 128})
    ->Unit(benchmark::kMillisecond);
