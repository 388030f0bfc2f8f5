// Runs the three WAV readers, and the writers appending, over files mutated
// deterministically from a few sound seeds (or over the files named on the
// command line), so every run checks the same inputs. A hang shows as the
// test's time-out, a bad memory access or overflow under the sanitizer build.
//   vo_audio_fuzz_wav [-runs=N] [file...]
#include <cstdint>
#include <string>
#include <vector>

#include "audio/wav_reader.h"
#include "audio/wav_writer.h"
#include "fuzz_driver.h"
#include "os/file.h"
#include "wav_fixtures.h"

namespace {

const std::wstring kPath = L"%my_documents%/fuzz.wav";

template <typename Block>
struct Counter : audio::Consumer<Block> {
  void on_data(const Block& block) override { bytes += block.size(); }
  std::uint64_t bytes = 0;
};

template <typename Reader, typename Block>
void Exercise(std::uint32_t count) {
  Reader reader(kPath);
  Counter<Block> sink;
  audio::connect<Block>(&reader, &sink);
  reader.is_end();
  reader.get_channels();
  reader.get_bits_per_sample();
  reader.get_sample_rate();
  reader.get_bitrate();
  reader.get_length_time();
  reader.time_to_units(1e12);
  reader.units_to_time(0xFFFFFFFFu);
  const std::uint32_t length = reader.get_length();
  // Every answer either moves the position forward or ends the file, so the
  // walk ends within the length.
  Block block;
  for (std::uint32_t guard = 0; guard <= length; ++guard) {
    reader.get_data(block, count);
    if (block.size() == 0) break;
  }
  reader.seek(0xFFFFFFFFu);
  reader.get_data(block, count);
  reader.seek(length / 2);
  reader.read(length);
  reader.seek(0);
  reader.read_time(0.5);
  reader.seek_time(-1.0);
  reader.read(0xFFFFFFFFu);
  audio::connect<Block>(&reader, nullptr);
}

template <typename Writer, typename Block>
void Append(const Block& block) {
  Writer writer(kPath, true);
  writer.on_data(block);
  writer.get_written();
  writer.is_open();
}

void RunOne(const std::string& bytes) {
  {
    os::File f(kPath, 1);
    f.write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  }
  Exercise<audio::FileReaderWAVPCM, audio::PCMData>(16384);
  Exercise<audio::FileReaderWAVADPCM, audio::ADPCMData>(7);
  Exercise<audio::FileReaderWAVGSM, audio::GSMData>(103);

  const std::string samples(800, '\x11');
  Append<audio::FileWriterWAVPCM>(audio::PCMData(audio::SharedBuffer(samples.data(), 800), 1, 16, 8000));
  audio::ADPCMData adpcm;
  adpcm.buffer = audio::SharedBuffer(samples.data(), 512);
  adpcm.channels = 1;
  adpcm.bits = 4;
  adpcm.rate = 8000;
  adpcm.block_align = 256;
  Append<audio::FileWriterWAVADPCM>(adpcm);
  audio::GSMData gsm;
  gsm.buffer = audio::SharedBuffer(samples.data(), 130);
  Append<audio::FileWriterWAVGSM>(gsm);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RunOne(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  using namespace wav_test;
  std::string data(1200, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  const std::string seeds[] = {
      PCMWav(data.substr(0, 1000)),
      PCMWav(data.substr(0, 999), 1, 8, 22050),
      Riff(FmtChunk({1, 2, 44100, 176400, 4, 16, ""}) + Chunk("LIST", "INFOodd") + Chunk("data", data)),
      ADPCMWav(data.substr(0, 1024), 2000),
      ADPCMWav(data.substr(0, 1024), 1000, 2, 512),
      GSMWav(data.substr(0, 650), 3200),
      Riff(FmtChunk({49, 1, 8000, 1625, 65, 0, std::string("\x02\x00\x40\x01", 4)}) +
           Chunk("data", data.substr(0, 130)) + Fact(640)),
  };
  std::vector<std::vector<std::uint8_t>> bytes;
  for (const std::string& seed : seeds) bytes.push_back(ks_fuzz::Bytes(seed));
  return bytes;
}

std::vector<std::string> KsFuzzDictionary() {
  // Chunk tags, and values the header fields give meaning to: channel and
  // bit counts, block sizes, samples per block, sizes near the top.
  std::vector<std::string> words = {
      "RIFF", "WAVE", "fmt ", "fact", "data", "LIST", ks_fuzz::LittleEndian(0xFFFFFFF8u, 4)};
  for (std::uint32_t v : {3u, 7u, 14u, 16u, 65u, 256u, 320u, 500u}) {
    words.push_back(ks_fuzz::LittleEndian(v, 2));
    words.push_back(ks_fuzz::LittleEndian(v, 4));
  }
  return words;
}
