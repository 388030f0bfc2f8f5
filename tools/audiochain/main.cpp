// audiochain: the recorder's audio engine end to end on the headless device.
//
//   audiochain record --format pcm|adpcm|gsm|mp3 --rate HZ --channels 1|2
//                     [--bitrate KBPS] [--boost N] --in INPUT.wav --out FILE
//     feeds INPUT.wav to the headless microphone and records it through the
//     recorder, the gain booster, the level and time meters and the
//     buffering thread into the record chain of that format, stopping as the
//     main form does; prints the samples taken in, the bytes of the finished
//     file and the peak level.
//
//   audiochain play FILE --out HEARD.wav
//     plays FILE through its play chain, the level meter and the player on
//     the headless speaker, which writes what it hears to HEARD.wav; prints
//     the format found and the duration.
//
//   audiochain encode-mp3 --bitrate KBPS INPUT.wav OUT.mp3
//     runs the MP3 encoder alone over a 16-bit PCM WAV file as fast as it
//     can, for timing beside other encoders as whole processes; prints the
//     bytes written and the encoding speed against real time.
//
// Record and play run on the virtual clock, so they take no longer than the work.
// Exit status: 0 done, 1 a failure (unreadable input, no chain, a chain
// that stops accepting), 2 a bad argument.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/active_buffer.h"
#include "audio/booster.h"
#include "audio/chains.h"
#include "audio/level_meter_record.h"
#include "audio/meters.h"
#include "audio/mp3_encoder_wav.h"
#include "audio/player_pcm.h"
#include "audio/recorder_pcm.h"
#include "audio/wav_info.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "liba/resource.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFailed = 1;
constexpr int kBadArgument = 2;

int usage(const std::string& problem) {
  std::fprintf(stderr, "audiochain: %s\n", problem.c_str());
  std::fprintf(stderr,
               "usage: audiochain record --format pcm|adpcm|gsm|mp3 --rate HZ --channels 1|2 [--bitrate KBPS]\n"
               "                         [--boost N] --in INPUT.wav --out FILE\n"
               "       audiochain play FILE --out HEARD.wav\n"
               "       audiochain encode-mp3 --bitrate KBPS INPUT.wav OUT.mp3\n");
  return kBadArgument;
}

int fail(const std::string& problem) {
  std::fprintf(stderr, "audiochain: %s\n", problem.c_str());
  return kFailed;
}

std::optional<long> number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return std::nullopt;
  return v;
}

// A private device for this run: its own root, the headless back end, the
// virtual clock, and the folder of the user's file as the card "Host".
class Device {
 public:
  explicit Device(const fs::path& host_folder) {
    std::string pattern = (fs::temp_directory_path() / "audiochain.XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) root_ = pattern;
    ::setenv("DEVICE_ROOT", root_.c_str(), 1);
    ::setenv("DEVICE_BACKEND", "headless", 1);
    ::setenv("DEVICE_CLOCK", "virtual", 1);
    ::setenv("DEVICE_STORAGE_CARDS", ("Host=" + host_folder.string()).c_str(), 1);
  }
  ~Device() {
    std::error_code ignored;
    if (!root_.empty()) fs::remove_all(root_, ignored);
  }
  bool ok() const { return !root_.empty(); }
  // The device path of a file in the host folder.
  static std::wstring path_of(const fs::path& file) { return L"\\Host\\" + ce::WideFromUtf8(file.filename().string()); }

 private:
  std::string root_;
};

// A file's bytes as a reader for the WAV header parser.
class MemoryReader : public liba::ResourceReader {
 public:
  explicit MemoryReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
  std::uint32_t read(void* buffer, std::uint32_t count) override {
    const std::uint32_t n = std::min(count, get_size() - position_);
    std::copy_n(bytes_.data() + position_, n, static_cast<std::uint8_t*>(buffer));
    position_ += n;
    return n;
  }
  std::uint32_t skip(std::uint32_t count) override {
    const std::uint32_t n = std::min(count, get_size() - position_);
    position_ += n;
    return n;
  }
  std::uint32_t get_size() override { return static_cast<std::uint32_t>(bytes_.size()); }
  // Nonzero on success, as the file readers answer.
  std::uint32_t seek(std::uint32_t position) override {
    position_ = std::min(position, get_size());
    return 1;
  }
  std::uint32_t tell() override { return position_; }

 private:
  const std::vector<std::uint8_t>& bytes_;
  std::uint32_t position_ = 0;
};

// The input's PCM format and length; only what the headless microphone
// plays: 8 or 16 bits, 1 or 2 channels.
std::optional<audio::WAVInfoPCM> read_input_wav(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() > 0xFFFFFFFFu) return std::nullopt;
  MemoryReader reader(bytes);
  audio::WAVInfoPCM info;
  if (!audio::read_wav_info(info, reader)) return std::nullopt;
  if ((info.bits_per_sample != 8 && info.bits_per_sample != 16) || (info.channels != 1 && info.channels != 2)) {
    return std::nullopt;
  }
  return info;
}

std::optional<std::vector<std::uint8_t>> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct RecordArgs {
  std::string format;
  long rate = 0, channels = 0, bitrate = 0, boost = 1;
  fs::path in, out;
};

int record(const RecordArgs& a) {
  static const std::map<std::string, std::wstring> kChainNames = {
      {"pcm", L"PCM"}, {"adpcm", L"ADPCM"}, {"gsm", L"GSM"}, {"mp3", L"mp3"}};
  const auto image = read_file(a.in);
  if (!image) return fail("cannot read " + a.in.string());
  const auto wav = read_input_wav(*image);
  if (!wav) return fail(a.in.string() + " is not a PCM WAV file of 8 or 16 bits, 1 or 2 channels");
  const std::uint64_t input_frames = wav->data_size / wav->block_align;
  // The device counts whole milliseconds: two more make sure the last
  // input frame is taken in (what follows it is silence).
  const std::uint64_t duration_ms = (input_frames * 1000 + wav->sample_rate - 1) / wav->sample_rate + 2;

  const fs::path out = fs::absolute(a.out);
  std::error_code error;
  if (!fs::is_directory(out.parent_path(), error)) return fail("no folder for " + a.out.string());
  Device device(out.parent_path());
  if (!device.ok()) return fail("cannot make a device folder");
  ::setenv("DEVICE_MIC", fs::absolute(a.in).string().c_str(), 1);

  const auto rate = static_cast<std::uint32_t>(a.rate);
  const auto channels = static_cast<std::uint32_t>(a.channels);
  std::unique_ptr<audio::RecordChain> chain(
      audio::create_record_chain(Device::path_of(out), kChainNames.at(a.format), channels, 16, rate,
                                 static_cast<std::uint32_t>(a.bitrate * 1000), false));
  if (!chain) return fail("no record chain for the format " + a.format);

  // The pipeline of the main form: recorder, booster, recording level
  // meter, time meter, buffering thread, the chain's encoder and writer.
  audio::ActiveBuffer buffer;
  audio::TimeMeter time_meter;
  audio::LevelMeterRecord level_meter(2.0);
  audio::Booster booster;
  booster.set_gain(static_cast<std::int32_t>(a.boost));
  audio::connect<audio::PCMData>(&booster, &level_meter);
  audio::connect<audio::PCMData>(&level_meter, &time_meter);
  audio::connect<audio::PCMData>(&time_meter, &buffer);
  audio::connect<audio::PCMData>(&buffer, chain->get_consumer());
  auto recorder = std::make_unique<audio::RecorderPCM>(channels, rate, 16);
  audio::connect<audio::PCMData>(recorder.get(), &booster);

  auto take_apart = [&] {
    audio::connect<audio::PCMData>(recorder.get(), nullptr);
    recorder.reset();
    booster.flush();
    while (buffer.get_queued_count() != 0) Sleep(10);
    booster.reset();
    buffer.reset();
    audio::connect<audio::PCMData>(&buffer, nullptr);
  };
  if (!recorder->is_open() || !recorder->start()) {
    take_apart();
    return fail("the headless microphone does not record " + std::to_string(rate) + " Hz, " + std::to_string(channels) +
                " channels");
  }

  // Run the input to its end, looking at the display values as the form's
  // timer does.
  double peak = 0.0;
  bool refused = false;
  for (std::uint64_t at = 0; at < duration_ms && !refused;) {
    const std::uint64_t step = std::min<std::uint64_t>(100, duration_ms - at);
    Sleep(static_cast<DWORD>(step));
    at += step;
    peak = std::max(peak, level_meter.get_level(0));
    refused = !buffer.is_accepting() || !chain->get_writer()->is_open();
  }
  // Stop as the form does, with the buffer under way and the booster's
  // look-ahead delivered before the pipeline comes apart.
  recorder->stop();
  take_apart();
  peak = std::max(peak, level_meter.get_level(0));
  const std::uint32_t stored = chain->get_writer()->get_written();
  const bool writer_open = chain->get_writer()->is_open();
  chain.reset();  // the encoder hands on its last frames, the writer finishes the file
  if (refused || !writer_open) return fail("the " + a.format + " chain stopped accepting the recording");
  const auto samples = static_cast<unsigned long long>(std::llround(time_meter.get_time() * rate));
  const auto written = static_cast<unsigned long long>(fs::file_size(out, error));
  if (samples != 0 && (stored == 0 || error)) {
    return fail("the " + a.format + " chain wrote nothing of " + std::to_string(rate) + " Hz, " +
                std::to_string(channels) + " channels");
  }

  std::printf("samples in: %llu, bytes written: %llu, peak level: %.3f\n", samples, written, peak);
  return 0;
}

int play(const fs::path& file, const fs::path& heard) {
  std::error_code error;
  if (!fs::is_regular_file(file, error)) return fail("cannot read " + file.string());
  const fs::path heard_path = fs::absolute(heard);
  if (!fs::is_directory(heard_path.parent_path(), error)) return fail("no folder for " + heard.string());
  Device device(fs::absolute(file).parent_path());
  if (!device.ok()) return fail("cannot make a device folder");
  ::setenv("DEVICE_SPEAKER", heard_path.string().c_str(), 1);

  std::unique_ptr<audio::PlayChain> chain(audio::create_play_chain(Device::path_of(fs::absolute(file))));
  if (!chain) return fail("no reader opens " + file.string());
  audio::FileReader* reader = chain->get_reader();
  const double duration = reader->get_length_time();

  audio::LevelMeter meter;
  audio::PlayerPCM player;
  audio::connect<audio::PCMData>(&meter, &player);
  audio::connect<audio::PCMData>(chain->get_provider(), &meter);
  if (!player.play()) return fail("the player does not start");
  // Until the reader is at its end and the device has played it out; the
  // limit guards against a reader that never reaches its end.
  const double limit_ms = duration * 1000.0 * 2 + 10000.0;
  for (double at = 0; at < limit_ms; at += 100) {
    Sleep(100);
    if (reader->get_length() <= reader->get_position() && player.get_state() == 0) break;
  }
  player.stop();
  audio::connect<audio::PCMData>(chain->get_provider(), nullptr);
  audio::connect<audio::PCMData>(&meter, nullptr);

  std::printf("format: %s, %u Hz, %u bit, %u ch, duration: %.3f s\n",
              ce::Utf8FromWide(chain->get_format_name()).c_str(), reader->get_sample_rate(),
              reader->get_bits_per_sample(), reader->get_channels(), duration);
  return 0;
}

// The WAV's sample frames and rate, for the speed figure; 0 when the header
// is not the plain layout (the encoder itself reads any chunk order).
double wav_seconds(const std::vector<std::uint8_t>& wav) {
  if (wav.size() < 44) return 0;
  auto u16 = [&](std::size_t at) { return static_cast<std::uint32_t>(wav[at] | wav[at + 1] << 8); };
  auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
  const std::uint32_t rate = u32(24), align = u16(32);
  if (rate == 0 || align == 0) return 0;
  return static_cast<double>((wav.size() - 44) / align) / rate;
}

int encode_mp3(long bitrate, const fs::path& in, const fs::path& out) {
  const auto wav = read_file(in);
  if (!wav) return fail("cannot read " + in.string());
  std::vector<std::uint8_t> mp3;
  const auto start = std::chrono::steady_clock::now();
  const audio::WavToMp3Result result =
      audio::encode_wav_to_mp3(wav->data(), wav->size(), static_cast<std::int32_t>(bitrate), mp3);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  switch (result) {
    case audio::WavToMp3Result::kOk:
      break;
    case audio::WavToMp3Result::kBadWav:
      return fail(in.string() + " is not a WAV file");
    case audio::WavToMp3Result::kUnsupportedWav:
      return fail(in.string() + " is not 16-bit PCM, mono or stereo");
    case audio::WavToMp3Result::kEncoderRefused:
      return fail("the encoder does not take this rate and channel count at " + std::to_string(bitrate) + " kbit/s");
    case audio::WavToMp3Result::kEncoderFailed:
      return fail("the encoder failed");
  }
  std::ofstream file(out, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(mp3.data()), static_cast<std::streamsize>(mp3.size()));
  file.close();
  if (!file) return fail("cannot write " + out.string());
  const double audio_seconds = wav_seconds(*wav);
  std::printf("bytes written: %zu, encoding: %.3f s, speed: %.0fx real time\n", mp3.size(), seconds,
              seconds > 0 ? audio_seconds / seconds : 0.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return usage("no command");
  if (args[0] == "play") {
    if (args.size() != 4 || args[2] != "--out") return usage("play takes FILE --out HEARD.wav");
    return play(args[1], args[3]);
  }
  if (args[0] == "encode-mp3") {
    if (args.size() != 5 || args[1] != "--bitrate") return usage("encode-mp3 takes --bitrate KBPS INPUT.wav OUT.mp3");
    const auto v = number(args[2]);
    if (!v || *v < 8 || *v > 320) return usage("--bitrate must be 8 to 320 kbit/s");
    return encode_mp3(*v, args[3], args[4]);
  }
  if (args[0] != "record") return usage("unknown command \"" + args[0] + "\"");

  RecordArgs a;
  bool have_rate = false, have_channels = false;
  for (std::size_t i = 1; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) return usage(args[i] + " needs a value");
    const std::string& key = args[i];
    const std::string& value = args[i + 1];
    if (key == "--format") {
      a.format = value;
    } else if (key == "--in") {
      a.in = value;
    } else if (key == "--out") {
      a.out = value;
    } else if (key == "--rate" || key == "--channels" || key == "--bitrate" || key == "--boost") {
      const auto v = number(value);
      if (!v) return usage(key + " takes a whole number, not \"" + value + "\"");
      if (key == "--rate") {
        if (*v < 1000 || *v > 192000) return usage("--rate must be 1000 to 192000 Hz");
        a.rate = *v;
        have_rate = true;
      } else if (key == "--channels") {
        if (*v != 1 && *v != 2) return usage("--channels must be 1 or 2");
        a.channels = *v;
        have_channels = true;
      } else if (key == "--bitrate") {
        if (*v < 8 || *v > 320) return usage("--bitrate must be 8 to 320 kbit/s");
        a.bitrate = *v;
      } else {
        if (*v < 1 || *v > 64) return usage("--boost must be 1 to 64");
        a.boost = *v;
      }
    } else {
      return usage("unknown option " + key);
    }
  }
  if (a.format != "pcm" && a.format != "adpcm" && a.format != "gsm" && a.format != "mp3") {
    return usage(a.format.empty() ? "--format is missing" : "unknown format \"" + a.format + "\"");
  }
  if (!have_rate || !have_channels) return usage("--rate and --channels are needed");
  if (a.in.empty() || a.out.empty()) return usage("--in and --out are needed");
  if (a.format == "mp3" && a.bitrate == 0) a.bitrate = a.rate > 24000 ? 64 : 32;
  return record(a);
}
