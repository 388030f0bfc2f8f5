// The movie path's costs: YUV 4:2:0 to RGB565 of a 320 x 240 frame (beside
// libswscale's conversion of the same frame), at double size, turned for a
// portrait screen, and decoding plus converting a whole 320 x 240 movie.
#include <benchmark/benchmark.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include <vector>

#include "display/display.h"
#include "engine/movie/video_decoder.h"
#include "engine/movie/yuv_convert.h"
#include "movie_writer.h"

namespace {

moviemake::Planes Frame() {
  moviemake::SceneSettings settings;
  settings.width = 320;
  settings.height = 240;
  settings.title = "BENCH";
  return moviemake::ToPlanes(moviemake::DrawFrame(settings, 30));
}

ssYuvPlanes PlanesOf(const moviemake::Planes& p) {
  return ssYuvPlanes{p.y.data(), p.cb.data(), p.cr.data(), p.width, p.width / 2, p.width, p.height};
}

void Convert(benchmark::State& state, int screenW, int screenH, int rotate, bool doubled) {
  const moviemake::Planes frame = Frame();
  std::vector<std::uint16_t> screen(static_cast<std::size_t>(screenW) * screenH);
  ssPixelTarget target{screen.data(), screenW, screenW, screenH, rotate, 16};
  for (auto _ : state) {
    ssConvertYuv(PlanesOf(frame), target, doubled, nullptr);
    benchmark::DoNotOptimize(screen.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * frame.width * frame.height);
}

void BM_Yuv565_320x240(benchmark::State& state) { Convert(state, 320, 240, 0, false); }
void BM_Yuv565_320x240_Turned(benchmark::State& state) { Convert(state, 240, 320, 1, false); }
void BM_Yuv565_320x240_Double(benchmark::State& state) { Convert(state, 640, 480, 0, true); }

void BM_Swscale565_320x240(benchmark::State& state) {
  const moviemake::Planes frame = Frame();
  std::vector<std::uint16_t> screen(320 * 240);
  SwsContext* context =
      sws_getContext(320, 240, AV_PIX_FMT_YUV420P, 320, 240, AV_PIX_FMT_RGB565LE, SWS_POINT, nullptr, nullptr, nullptr);
  if (context == nullptr) {
    state.SkipWithError("libswscale has no such conversion");
    return;
  }
  const std::uint8_t* const source[3] = {frame.y.data(), frame.cb.data(), frame.cr.data()};
  const int sourcePitch[3] = {320, 160, 160};
  std::uint8_t* const target[1] = {reinterpret_cast<std::uint8_t*>(screen.data())};
  const int targetPitch[1] = {640};
  for (auto _ : state) {
    sws_scale(context, source, sourcePitch, 0, 240, target, targetPitch);
    benchmark::DoNotOptimize(screen.data());
    benchmark::ClobberMemory();
  }
  sws_freeContext(context);
  state.SetItemsProcessed(state.iterations() * 320 * 240);
}

// Every frame of a 320 x 240 movie decoded and converted, as the player
// does; "x realtime" is how many times faster than the movie's 14.997 frames
// a second.
void BM_DecodeAndConvert_320x240(benchmark::State& state) {
  moviemake::SceneSettings settings;
  settings.title = "BENCH";
  settings.frames = 45;
  moviemake::Vp3Encoder encoder(320, 240, 14997, 1000, 48, 15);
  std::vector<std::vector<std::uint8_t>> frames;
  for (int f = 0; f < settings.frames; ++f) {
    std::vector<std::uint8_t> frame;
    bool key = false;
    encoder.Encode(moviemake::ToPlanes(moviemake::DrawFrame(settings, f)), &frame, &key);
    frames.push_back(std::move(frame));
  }
  std::vector<std::uint16_t> screen(320 * 240);
  // A display stand-in: the decoder converts into its render target.
  ssDisplay display;
  display.m_RenderBuffer = screen.data();
  display.m_RenderPitch = 640;
  display.m_RenderWidth = 320;
  display.m_RenderHeight = 240;
  display.m_RenderBits = 16;
  display.m_Depth = 16;
  std::int64_t decoded = 0;
  for (auto _ : state) {
    ssVP3Decoder decoder;
    if (decoder.Create(&display, 320, 240) != 0) {
      state.SkipWithError("no VP3 decoder");
      return;
    }
    for (const auto& frame : frames) {
      if (!frame.empty()) decoder.Decode(nullptr, frame.data(), static_cast<std::uint32_t>(frame.size()));
      decoder.ToScreen(nullptr, nullptr, 0);
      ++decoded;
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(decoded);
  state.counters["x realtime"] = benchmark::Counter(static_cast<double>(decoded) / 14.997, benchmark::Counter::kIsRate);
}

// libswscale first: it runs slower after wide vector code has run.
BENCHMARK(BM_Swscale565_320x240);
BENCHMARK(BM_Yuv565_320x240);
BENCHMARK(BM_Yuv565_320x240_Turned);
BENCHMARK(BM_Yuv565_320x240_Double);
BENCHMARK(BM_DecodeAndConvert_320x240)->Unit(benchmark::kMillisecond);

}  // namespace
