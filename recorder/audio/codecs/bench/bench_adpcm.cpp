// ADPCM encoding speed: our encoder (a predictor search over seven trial
// encodes per block) and, for comparison, ffmpeg's adpcm_ms encoder on the
// same samples with the same block size. The counter "x_realtime" is
// seconds of audio encoded per second; the ratio of the two times at the
// same channels and rate is ours / ffmpeg's.
//
// Run from an optimised build (the default RelWithDebInfo) on a quiet machine:
//   build/bin/vo_audio_codecs_bench_adpcm
// The ffmpeg rows come from bench/ffmpeg_adpcm.sh, which sums the times
// ffmpeg measures for its own encode calls (-benchmark_all), so process
// start and file reading stay out; they are skipped without ffmpeg.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/adpcm.h"
#include "audio/adpcm_coders.h"
#include "codec_test_support.h"

namespace {

using audio::ADPCMData;

constexpr std::uint32_t kSeconds = 10;
constexpr std::uint32_t kFfmpegRepeats = 6;
// bench/ffmpeg_adpcm.sh, from the build.
constexpr const char* kFfmpegScript = ADPCM_FFMPEG_SCRIPT;

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

// The first line a shell command prints.
std::string FirstLine(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "";
  char line[256] = {};
  const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
  pclose(pipe);
  std::string out = got ? line : "";
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// Seconds ffmpeg's encoder spends on `input` (best of five), or -1.
double FfmpegSeconds(const std::vector<std::int16_t>& input, std::uint32_t channels, std::uint32_t rate) {
  // The samples go to a file first, so the pipe is not timed; the script
  // removes it.
  const std::string path = FirstLine("mktemp");
  if (path.empty()) return -1;
  FILE* pipe = popen(("cat > '" + path + "'").c_str(), "w");
  if (pipe == nullptr) return -1;
  std::fwrite(input.data(), sizeof(std::int16_t), input.size(), pipe);
  if (pclose(pipe) != 0) return -1;
  const std::string block = std::to_string(audio::adpcm_block_align(rate, channels));
  const std::string seconds =
      FirstLine(std::string("sh '") + kFfmpegScript + "' '" + path + "' " + std::to_string(channels) + " " +
                std::to_string(rate) + " " + block + " 2> /dev/null");
  return seconds.empty() ? -1 : std::atof(seconds.c_str());
}

void BM_FfmpegADPCM(benchmark::State& state) {
  if (!HaveFfmpeg()) {
    state.SkipWithError("ffmpeg is not installed");
    return;
  }
  const auto channels = static_cast<std::uint32_t>(state.range(0));
  const auto rate = static_cast<std::uint32_t>(state.range(1));
  // The input repeated, so the sum of many short encode calls outweighs
  // the rounding of each one's time to a microsecond.
  std::vector<std::int16_t> input;
  for (std::uint32_t i = 0; i < kFfmpegRepeats; ++i) {
    input.insert(input.end(), Input(channels, rate).begin(), Input(channels, rate).end());
  }
  for (auto _ : state) {
    const double seconds = FfmpegSeconds(input, channels, rate);
    if (seconds <= 0) {
      state.SkipWithError("ffmpeg failed");
      return;
    }
    state.SetIterationTime(seconds / kFfmpegRepeats);
  }
  state.counters["x_realtime"] = benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FfmpegADPCM)
    ->Args({2, 44100})
    ->Args({1, 44100})
    ->Args({1, 8000})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
