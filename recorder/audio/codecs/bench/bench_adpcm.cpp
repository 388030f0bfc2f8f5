// ADPCM encoding speed: our encoder (seven trial encodes per block) and,
// for comparison, ffmpeg's adpcm_ms encoder on the same samples fed through
// a pipe. The counter "x_realtime" is seconds of audio encoded per second.
// The ffmpeg figure is the run's time less that of a run which only copies
// the same input, so process start and pipe transfer mostly drop out.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/adpcm_coders.h"
#include "codec_test_support.h"

namespace {

using audio::ADPCMData;

constexpr std::uint32_t kSeconds = 10;
constexpr std::uint32_t kFfmpegRepeats = 12;

// Counts the encoded bytes so the work cannot be dropped.
struct Sink : audio::Consumer<ADPCMData> {
  std::uint64_t bytes = 0;
  void on_data(const ADPCMData& block) override { bytes += block.size(); }
};

const std::vector<std::int16_t>& Input(std::uint32_t channels, std::uint32_t rate) {
  static std::vector<std::int16_t> cache[2][2];
  std::vector<std::int16_t>& input = cache[channels - 1][rate == 44100 ? 1 : 0];
  if (input.empty()) input = codec_test::Signal(kSeconds * rate, channels, rate, 16000, 11);
  return input;
}

// Pieces of 5,000 frames, as the recorder hands them on.
std::vector<audio::PCMData> Pieces(std::uint32_t channels, std::uint32_t rate) {
  const std::vector<std::int16_t>& input = Input(channels, rate);
  std::vector<audio::PCMData> pieces;
  const std::size_t piece = 5000 * channels;
  for (std::size_t at = 0; at < input.size(); at += piece) {
    const std::size_t n = std::min(piece, input.size() - at);
    pieces.push_back(
        codec_test::Pcm(std::vector<std::int16_t>(input.begin() + at, input.begin() + at + n), channels, rate));
  }
  return pieces;
}

void BM_EncodeADPCM(benchmark::State& state) {
  const auto channels = static_cast<std::uint32_t>(state.range(0));
  const auto rate = static_cast<std::uint32_t>(state.range(1));
  const std::vector<audio::PCMData> pieces = Pieces(channels, rate);
  for (auto _ : state) {
    audio::EncoderADPCM encoder;
    Sink sink;
    audio::connect<ADPCMData>(&encoder, &sink);
    for (const audio::PCMData& piece : pieces) encoder.on_data(piece);
    benchmark::DoNotOptimize(sink.bytes);
  }
  state.counters["x_realtime"] = benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_EncodeADPCM)->Args({2, 44100})->Args({1, 44100})->Args({1, 8000})->Unit(benchmark::kMillisecond);

bool HaveFfmpeg() { return std::system("command -v ffmpeg > /dev/null 2>&1") == 0; }

// Wall time of one ffmpeg run that reads the input from a pipe.
double FfmpegSeconds(const std::vector<std::int16_t>& input, std::uint32_t channels, std::uint32_t rate,
                     const std::string& codec) {
  const std::string command = "ffmpeg -nostdin -v error -f s16le -ar " + std::to_string(rate) + " -ac " +
                              std::to_string(channels) + " -i - -c:a " + codec + " -f null - > /dev/null 2>&1";
  const auto start = std::chrono::steady_clock::now();
  FILE* pipe = popen(command.c_str(), "w");
  if (pipe == nullptr) return -1;
  std::fwrite(input.data(), sizeof(std::int16_t), input.size(), pipe);
  if (pclose(pipe) != 0) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_FfmpegADPCM(benchmark::State& state) {
  if (!HaveFfmpeg()) {
    state.SkipWithError("ffmpeg is not installed");
    return;
  }
  const auto channels = static_cast<std::uint32_t>(state.range(0));
  const auto rate = static_cast<std::uint32_t>(state.range(1));
  // The input repeated, so the encoding outweighs the noise of two process
  // runs; each run's best of three.
  std::vector<std::int16_t> input;
  for (std::uint32_t i = 0; i < kFfmpegRepeats; ++i) {
    input.insert(input.end(), Input(channels, rate).begin(), Input(channels, rate).end());
  }
  for (auto _ : state) {
    double encode = 1e9, copy = 1e9;
    for (int run = 0; run < 3; ++run) {
      const double e = FfmpegSeconds(input, channels, rate, "adpcm_ms");
      const double c = FfmpegSeconds(input, channels, rate, "pcm_s16le");
      if (e < 0 || c < 0) {
        state.SkipWithError("ffmpeg failed");
        return;
      }
      encode = std::min(encode, e);
      copy = std::min(copy, c);
    }
    state.SetIterationTime(std::max(encode - copy, 1e-6));
  }
  state.counters["x_realtime"] =
      benchmark::Counter(kSeconds * kFfmpegRepeats, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FfmpegADPCM)
    ->Args({2, 44100})
    ->Args({1, 8000})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
