// The cost of the MP3 play path (frame search, the per-frame copy and the
// decode stage) against libmad decoding the same stream by itself. The
// stream is 30 s of a tone with noise made by the command-line MP3 encoder at
// 128 kbit/s stereo, or without it many copies of a silent frame pattern.
#include <benchmark/benchmark.h>
#include <mad.h>

#include <cmath>
#include <string>

#include "audio/mp3_decoder.h"
#include "audio/mp3_reader.h"
#include "media_fixtures.h"

namespace {

std::string Stream() {
  if (vo_test::MediaFolder::HaveTool("lame")) {
    std::string wav = vo_test::SineWav(2, 44100, 30.0, 440.0, 0.4);
    std::uint32_t noise = 12345;
    for (std::size_t i = 44; i + 1 < wav.size(); i += 2) {
      noise = noise * 1664525u + 1013904223u;
      wav[i] = static_cast<char>(wav[i] ^ static_cast<char>(noise >> 24));
    }
    vo_test::MediaFolder folder;
    folder.Write("in.wav", wav);
    if (folder.Run("lame", "--quiet -b 128 in.wav out.mp3")) return folder.Read("out.mp3");
  }
  std::string s;
  for (int i = 0; i < 2000; ++i) s += vo_test::SilentFrame({1, 3, 9 + i % 3, 0, i % 2, false});
  return s;
}

const std::string& Bytes() {
  static const std::string bytes = Stream();
  return bytes;
}

// libmad alone: one buffer, frame after frame, synthesised and converted the
// same way the decode stage does.
void RawLibmad(benchmark::State& state) {
  const std::string& bytes = Bytes();
  std::string padded = bytes + std::string(MAD_BUFFER_GUARD, '\0');
  std::uint8_t out[4608];
  for (auto _ : state) {
    mad_stream stream;
    mad_frame frame;
    mad_synth synth;
    mad_stream_init(&stream);
    mad_frame_init(&frame);
    mad_synth_init(&synth);
    mad_stream_buffer(&stream, reinterpret_cast<const unsigned char*>(padded.data()), padded.size());
    std::size_t frames = 0;
    for (;;) {
      if (mad_frame_decode(&frame, &stream) != 0) {
        if (MAD_RECOVERABLE(stream.error)) continue;
        break;
      }
      mad_synth_frame(&synth, &frame);
      audio::write_pcm(out, synth.pcm.channels, synth.pcm.length, synth.pcm.samples[0], synth.pcm.samples[1], 16);
      ++frames;
    }
    mad_frame_finish(&frame);
    mad_stream_finish(&stream);
    benchmark::DoNotOptimize(frames);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void PlayPath(benchmark::State& state) {
  vo_test::MediaFolder folder;
  folder.Write("bench.mp3", Bytes());
  const std::wstring path = vo_test::MediaFolder::DevicePath("bench.mp3");
  for (auto _ : state) {
    audio::FileReaderMP3 reader(path);
    audio::DecoderMP3 decoder;
    audio::connect<audio::MP3Data>(&reader, &decoder);
    std::size_t bytes = 0;
    for (;;) {
      audio::PCMData pcm;
      decoder.get_data(pcm, 8192);
      if (pcm.size() == 0) break;
      bytes += pcm.size();
    }
    audio::connect<audio::MP3Data>(&reader, nullptr);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Bytes().size()));
}

BENCHMARK(RawLibmad)->Unit(benchmark::kMillisecond);
BENCHMARK(PlayPath)->Unit(benchmark::kMillisecond);

}  // namespace
