// audiochain: the recorder's audio engine end to end on the headless device.
//
//   audiochain record --format pcm|adpcm|gsm|mp3 --rate HZ --channels 1|2
//                     [--bitrate KBPS] [--boost N] [--replace] --in INPUT.wav
//                     --out FILE
//     feeds INPUT.wav to the headless microphone and records it through the
//     recorder's record session (recorder, gain booster, level and time
//     meters, buffering thread, the record chain of that format), stopped as
//     the main form stops it; prints the samples taken in, the bytes of the
//     finished file and the peak level, and for MP3 the bit rate and sample
//     rate the file got. Every argument is checked before the output is
//     touched. A new FILE is recorded into as the recording goes, so a killed
//     run keeps what was recorded; an existing FILE is refused unless
//     --replace, and then replaced only by a finished recording (made beside
//     it under a temporary name), so a failure leaves it as it was.
//
//   audiochain play FILE --out HEARD.wav
//     plays FILE through the play session (its play chain, the level meter
//     and the player) on the headless speaker, which writes what it hears;
//     prints the format found and the duration. An empty FILE, or one no
//     reader takes for a recording, is refused as such.
//
//   audiochain encode-mp3 --bitrate KBPS INPUT.wav OUT.mp3
//     runs the MP3 encoder alone over a 16-bit PCM WAV file as fast as it
//     can, for timing beside other encoders as whole processes; prints the
//     bytes written and the encoding speed against real time. It streams
//     the file through the encoder a block at a time (its memory does not
//     grow with the file) and starts nothing of the device.
//
// play and encode-mp3 write into a temporary file beside the output and put
// it in the output's place only when it is complete, so a failure leaves an
// older file as it was. Record and play run on the virtual clock, so they
// take no longer than the work.
// Exit status: 0 done, 1 a failure (unreadable input, no chain, a chain
// that stops accepting, nothing to write, a failed write), 2 a bad argument.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/chains.h"
#include "audio/mp3_encoder.h"
#include "audio/mp3_encoder_wav.h"
#include "audio/sessions.h"
#include "audio/wav_reader.h"
#include "ce/mmsystem.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "os/file.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFailed = 1;
constexpr int kBadArgument = 2;

void print_usage(std::FILE* out) {
  std::fprintf(out,
               "usage: audiochain record --format pcm|adpcm|gsm|mp3 --rate HZ --channels 1|2 [--bitrate KBPS]\n"
               "                         [--boost N] [--replace] --in INPUT.wav --out FILE\n"
               "       audiochain play FILE --out HEARD.wav\n"
               "       audiochain encode-mp3 --bitrate KBPS INPUT.wav OUT.mp3\n");
}

int usage(const std::string& problem) {
  std::fprintf(stderr, "audiochain: %s\n", problem.c_str());
  print_usage(stderr);
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
// virtual clock, and the folders of the input and of the output as the
// cards "In" and "Out".
class Device {
 public:
  Device(const fs::path& in_folder, const fs::path& out_folder) {
    std::string pattern = (fs::temp_directory_path() / "audiochain.XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) root_ = pattern;
    ::setenv("DEVICE_ROOT", root_.c_str(), 1);
    ::setenv("DEVICE_BACKEND", "headless", 1);
    ::setenv("DEVICE_CLOCK", "virtual", 1);
    ::setenv("DEVICE_STORAGE_CARDS", ("In=" + in_folder.string() + ";Out=" + out_folder.string()).c_str(), 1);
  }
  ~Device() {
    std::error_code ignored;
    if (!root_.empty()) fs::remove_all(root_, ignored);
  }
  bool ok() const { return !root_.empty(); }
  // The device path of a file in the input or the output folder.
  static std::wstring in_path(const fs::path& file) { return L"\\In\\" + ce::WideFromUtf8(file.filename().string()); }
  static std::wstring out_path(const fs::path& file) { return L"\\Out\\" + ce::WideFromUtf8(file.filename().string()); }

 private:
  std::string root_;
};

// The output file a command asked for: absolute, in an existing folder, not
// a folder itself and not the input. Empty after a refusal, which it reports.
struct OutputCheck {
  fs::path path;
  int status = 0;
};

OutputCheck check_output(const fs::path& input, const fs::path& output) {
  OutputCheck r;
  std::error_code error;
  const fs::path out = fs::absolute(output, error).lexically_normal();
  if (error || out.filename().empty()) {
    r.status = fail("--out " + output.string() + " names a folder, not a file");
    return r;
  }
  if (fs::is_directory(out, error)) {
    r.status = fail("--out " + output.string() + " names a folder, not a file");
    return r;
  }
  if (!fs::is_directory(out.parent_path(), error)) {
    r.status = fail("no folder for " + output.string());
    return r;
  }
  const fs::path in = fs::absolute(input, error).lexically_normal();
  if (in == out || fs::equivalent(in, out, error)) {
    r.status = usage("the output " + output.string() + " is the input: it would be destroyed");
    return r;
  }
  r.path = out;
  return r;
}

// A file written beside its target under a temporary name and put in the
// target's place only by commit(); dropped otherwise, so an older target
// stays as it was.
class PendingOutput {
 public:
  explicit PendingOutput(const fs::path& target) : target_(target) {
    std::string pattern = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    fd_ = ::mkstemp(pattern.data());
    if (fd_ >= 0) temp_ = pattern;
  }
  ~PendingOutput() {
    if (fd_ >= 0) ::close(fd_);
    std::error_code ignored;
    if (!temp_.empty() && !committed_) fs::remove(temp_, ignored);
  }
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;

  bool ok() const { return !temp_.empty(); }
  const fs::path& temp() const { return temp_; }

  // Writes all of `bytes` to the temporary file.
  bool write(const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
      const ssize_t n = ::write(fd_, bytes, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      bytes += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }

  // Gives the temporary file the target's permissions (or those of a new
  // file) and renames it over the target.
  bool commit() {
    if (fd_ >= 0) {
      const bool synced = ::fsync(fd_) == 0;
      const bool closed = ::close(fd_) == 0;
      fd_ = -1;
      if (!synced || !closed) return false;
    }
    struct stat st {};
    mode_t mode = 0;
    if (::stat(target_.c_str(), &st) == 0) {
      mode = st.st_mode & 07777;
    } else {
      const mode_t mask = ::umask(0);
      ::umask(mask);
      mode = 0666 & ~mask;
    }
    ::chmod(temp_.c_str(), mode);
    std::error_code error;
    fs::rename(temp_, target_, error);
    committed_ = !error;
    return committed_;
  }

 private:
  fs::path target_;
  fs::path temp_;
  int fd_ = -1;
  bool committed_ = false;
};

// A 16-bit or 8-bit PCM WAV input of one or two channels, read through the
// recorder's WAV reader.
struct InputWav {
  std::uint32_t rate = 0, channels = 0, bits = 0;
  std::uint64_t frames = 0;
};

std::optional<InputWav> read_input_wav(const std::wstring& device_path) {
  audio::FileReaderWAVPCM reader(device_path);
  if (!reader.is_open()) return std::nullopt;
  InputWav wav;
  wav.rate = reader.get_sample_rate();
  wav.channels = reader.get_channels();
  wav.bits = reader.get_bits_per_sample();
  if ((wav.channels != 1 && wav.channels != 2) || (wav.bits != 8 && wav.bits != 16)) return std::nullopt;
  wav.frames = reader.get_length() / reader.get_info().block_align;
  return wav;
}

struct RecordArgs {
  std::string format;
  long rate = 0, channels = 0, bitrate = 0, boost = 1;
  bool bitrate_given = false, replace = false;
  fs::path in, out;
};

int record(const RecordArgs& a) {
  static const std::map<std::string, std::wstring> kChainNames = {{"pcm", audio::format_name_pcm},
                                                                  {"adpcm", audio::format_name_adpcm},
                                                                  {"gsm", audio::format_name_gsm},
                                                                  {"mp3", audio::format_name_mp3}};
  std::error_code error;
  if (!fs::is_regular_file(a.in, error)) return fail("cannot read " + a.in.string());
  const OutputCheck checked = check_output(a.in, a.out);
  if (checked.path.empty()) return checked.status;
  const fs::path out = checked.path;
  const bool over_old = fs::exists(out, error);
  if (over_old && !a.replace) return fail(a.out.string() + " exists: give --replace to record over it");
  const auto rate = static_cast<std::uint32_t>(a.rate);
  const auto channels = static_cast<std::uint32_t>(a.channels);
  const std::string format_text =
      std::to_string(rate) + " Hz, " + std::to_string(channels) + (channels == 1 ? " channel" : " channels");
  if (a.format == "gsm" && (a.rate != 8000 || a.channels != 1)) {
    return fail("GSM records 8000 Hz mono only, not " + format_text);
  }
  if (a.format == "mp3") {
    audio::MP3EncoderParams* encoder = audio::mp3_encoder_create(
        static_cast<std::int32_t>(rate), static_cast<std::int32_t>(channels), static_cast<std::int32_t>(a.bitrate));
    if (encoder == nullptr) {
      return fail("the MP3 encoder takes no " + format_text + " at " + std::to_string(a.bitrate) + " kbit/s");
    }
    audio::mp3_encoder_release(encoder);
  }
  const fs::path in = fs::absolute(a.in);
  Device device(in.parent_path(), out.parent_path());
  if (!device.ok()) return fail("cannot make a device folder");
  const auto wav = read_input_wav(Device::in_path(in));
  if (!wav) return fail(a.in.string() + " is not a PCM WAV file of 8 or 16 bits, 1 or 2 channels");
  // The device counts whole milliseconds: two more make sure the last
  // input frame is taken in (what follows it is silence).
  const std::uint64_t duration_ms = (wav->frames * 1000 + wav->rate - 1) / wav->rate + 2;
  ::setenv("DEVICE_MIC", in.string().c_str(), 1);
  const WAVEFORMATEX wanted{
      WAVE_FORMAT_PCM, static_cast<WORD>(channels), rate, rate * channels * 2, static_cast<WORD>(channels * 2), 16, 0};
  if (waveInOpen(nullptr, WAVE_MAPPER, &wanted, 0, 0, WAVE_FORMAT_QUERY) != MMSYSERR_NOERROR) {
    return fail("the headless microphone does not record " + format_text);
  }

  // An existing file is replaced only by a finished recording: until then
  // the recording goes into a file of its own beside it.
  std::optional<PendingOutput> pending;
  if (over_old) {
    pending.emplace(out);
    if (!pending->ok()) return fail("cannot write in the folder of " + a.out.string());
  }
  const fs::path target = over_old ? pending->temp() : out;
  auto chain = audio::create_record_chain(Device::out_path(target), kChainNames.at(a.format),
                                          static_cast<std::uint32_t>(a.bitrate * 1000), false);
  if (!chain) return fail("no record chain for the format " + a.format);

  audio::RecordSession session;
  session.booster().set_gain(static_cast<std::int32_t>(a.boost));
  // A chain that got no block leaves no file or an empty one; an empty
  // one goes, so a failed recording leaves nothing behind.
  const auto drop_if_empty = [&] {
    std::error_code ignored;
    if (!over_old && fs::is_regular_file(out, ignored) && fs::file_size(out, ignored) == 0) fs::remove(out, ignored);
  };
  if (!session.start(std::move(chain), channels, rate)) {
    drop_if_empty();
    return fail("the headless microphone does not record " + format_text);
  }
  // Run the input to its end, looking at the display values as the form's
  // timer does.
  double peak = 0.0;
  bool ended = false;
  for (std::uint64_t at = 0; at < duration_ms && !ended;) {
    const std::uint64_t step = std::min<std::uint64_t>(100, duration_ms - at);
    Sleep(static_cast<DWORD>(step));
    at += step;
    peak = std::max(peak, session.level_meter().get_level(0));
    ended = session.has_ended();
  }
  ended = ended || session.has_ended();
  session.stop();
  peak = std::max(peak, session.level_meter().get_level(0));
  if (ended) return fail("cannot write " + a.out.string() + ": the " + a.format + " chain stopped accepting");

  const auto samples = static_cast<unsigned long long>(std::llround(session.position() * rate));
  const auto written = fs::exists(target, error) ? static_cast<unsigned long long>(fs::file_size(target, error)) : 0ull;
  if (written == 0) {
    drop_if_empty();
    if (samples == 0)
      return fail("nothing was recorded from " + a.in.string() + ": " + a.out.string() + " not written");
    return fail("the " + a.format + " chain wrote nothing of " + format_text +
                (a.format == "mp3" ? " at " + std::to_string(a.bitrate) + " kbit/s" : ""));
  }
  if (pending && !pending->commit()) return fail("cannot write " + a.out.string());
  std::printf("samples in: %llu, bytes written: %llu, peak level: %.3f\n", samples, written, peak);
  if (a.format == "mp3") {
    // The encoder may take another sample rate than the input's for a bit
    // rate; say what the file got.
    const auto file = audio::create_play_chain(Device::out_path(out));
    if (file) {
      const std::uint32_t file_rate = file->get_reader()->get_sample_rate();
      std::printf("mp3: %u kbit/s, %u Hz%s%s\n", file->get_reader()->get_bitrate() / 1000, file_rate,
                  a.bitrate_given ? "" : " (bit rate chosen by audiochain)",
                  file_rate == rate ? "" : (" (resampled from " + std::to_string(rate) + " Hz)").c_str());
    }
  }
  return 0;
}

// The heard file as the speaker left it: a PCM WAV header whose data chunk
// ends the file. 0 when there is no such file or it holds no sound, -1 when
// its header and its size disagree (a write that failed).
long long heard_bytes(const std::wstring& device_path) {
  os::File file(device_path, 0);
  if (!file.is_ok() || file.get_size() == 0) return 0;
  audio::WAVInfoPCM info;
  std::uint32_t size = 0;
  if (!audio::read_wav_header(info, file) || !info.read_extra(file) || !audio::find_chunk(info, file, "data", size)) {
    return -1;
  }
  const std::uint64_t end = static_cast<std::uint64_t>(file.tell()) + size;
  if (end != file.get_size()) return -1;
  return size;
}

// What the player can take: one or two channels of 8 or 16 bits at a rate
// the device serves.
bool playable(audio::FileReader& reader) {
  const std::uint32_t rate = reader.get_sample_rate();
  const std::uint32_t channels = reader.get_channels();
  const std::uint32_t bits = reader.get_bits_per_sample();
  return rate >= 1000 && rate <= 192000 && (channels == 1 || channels == 2) && (bits == 8 || bits == 16);
}

int play(const fs::path& file, const fs::path& heard) {
  std::error_code error;
  if (!fs::is_regular_file(file, error)) return fail("cannot read " + file.string());
  const OutputCheck checked = check_output(file, heard);
  if (checked.path.empty()) return checked.status;
  PendingOutput output(checked.path);
  if (!output.ok()) return fail("cannot write in the folder of " + heard.string());
  Device device(fs::absolute(file).parent_path(), checked.path.parent_path());
  if (!device.ok()) return fail("cannot make a device folder");
  ::setenv("DEVICE_SPEAKER", output.temp().string().c_str(), 1);

  if (fs::file_size(file, error) == 0) return fail(file.string() + " is empty: there is no recording in it");
  auto chain = audio::create_play_chain(Device::in_path(fs::absolute(file)));
  // A reader that opens the file but finds no sound format in it (no rate
  // or no channels) has not found a recording either.
  if (!chain || chain->get_reader()->get_sample_rate() == 0 || chain->get_reader()->get_channels() == 0) {
    return fail(file.string() + " is not a recording: no reader takes it for one");
  }
  audio::FileReader* reader = chain->get_reader();
  const std::string format = ce::Utf8FromWide(chain->get_format_name());
  const std::uint32_t rate = reader->get_sample_rate();
  const std::uint32_t bits = reader->get_bits_per_sample();
  const std::uint32_t channels = reader->get_channels();
  const double duration = reader->get_length_time();
  if (!playable(*reader)) {
    return fail(file.string() + " reads as " + format + " of " + std::to_string(rate) + " Hz, " + std::to_string(bits) +
                " bit, " + std::to_string(channels) +
                " channels: the player takes 1000 to 192000 Hz, 1 or 2 channels of 8 or 16 bits");
  }

  audio::PlaySession session;
  if (!session.start(std::move(chain))) return fail("the player does not start");
  // Until the reader is at its end and the device has played it out; the
  // limit guards against a reader that never reaches its end.
  const double limit_ms = duration * 1000.0 * 2 + 10000.0;
  for (double at = 0; at < limit_ms && !session.is_played_out(); at += 100) Sleep(100);
  session.stop();

  std::printf("format: %s, %u Hz, %u bit, %u ch, duration: %.3f s\n", format.c_str(), rate, bits, channels, duration);
  const long long bytes = heard_bytes(Device::out_path(output.temp()));
  if (bytes < 0) return fail("cannot write " + heard.string() + ": the heard file is incomplete");
  if (bytes == 0) return fail("nothing could be played from " + file.string() + ": " + heard.string() + " not written");
  if (!output.commit()) return fail("cannot write " + heard.string());
  return 0;
}

// The WAV file read straight from its descriptor and the MP3 bytes
// gathered into large writes to the pending output.
class EncodeFiles : public audio::WavToMp3Stream {
 public:
  EncodeFiles(int in, PendingOutput& out) : in_(in), out_(out) { pending_.reserve(kWriteBlock); }
  std::int64_t read(std::uint8_t* into, std::size_t size) override {
    for (;;) {
      const ssize_t n = ::read(in_, into, size);
      if (n < 0 && errno == EINTR) continue;
      return n;
    }
  }
  bool write(const std::uint8_t* bytes, std::size_t size) override {
    written_ += size;
    if (pending_.size() + size > kWriteBlock && !flush()) return false;
    if (size >= kWriteBlock) return out_.write(bytes, size);
    pending_.insert(pending_.end(), bytes, bytes + size);
    return true;
  }
  bool flush() {
    const bool ok = out_.write(pending_.data(), pending_.size());
    pending_.clear();
    return ok;
  }
  std::uint64_t written() const { return written_; }

 private:
  static constexpr std::size_t kWriteBlock = 64 * 1024;
  int in_;
  PendingOutput& out_;
  std::vector<std::uint8_t> pending_;
  std::uint64_t written_ = 0;
};

int encode_mp3(long bitrate, const fs::path& in, const fs::path& out) {
  std::error_code error;
  if (!fs::is_regular_file(in, error)) return fail("cannot read " + in.string());
  const OutputCheck checked = check_output(in, out);
  if (checked.path.empty()) return checked.status;
  const int input = ::open(in.c_str(), O_RDONLY | O_CLOEXEC);
  if (input < 0) return fail("cannot read " + in.string());
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{input};
  PendingOutput output(checked.path);
  if (!output.ok()) return fail("cannot write in the folder of " + out.string());
  EncodeFiles files(input, output);
  audio::WavToMp3Info info;
  const auto start = std::chrono::steady_clock::now();
  const audio::WavToMp3Result result =
      audio::encode_wav_stream_to_mp3(files, static_cast<std::int32_t>(bitrate), &info);
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
    case audio::WavToMp3Result::kReadFailed:
      return fail("cannot read " + in.string());
    case audio::WavToMp3Result::kWriteFailed:
      return fail("cannot write " + out.string());
  }
  if (files.written() == 0) {
    return fail("the encoder gave nothing for " + in.string() + ": " + out.string() + " not written");
  }
  if (!files.flush() || !output.commit()) return fail("cannot write " + out.string());
  const double audio_seconds = info.rate > 0 ? static_cast<double>(info.frames) / info.rate : 0.0;
  std::printf("bytes written: %llu, encoding: %.3f s, speed: %.0fx real time\n",
              static_cast<unsigned long long>(files.written()), seconds, seconds > 0 ? audio_seconds / seconds : 0.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return usage("no command");
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    print_usage(stdout);
    return 0;
  }
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
    const std::string& key = args[i];
    if (key == "--replace") {
      a.replace = true;
      --i;
      continue;
    }
    if (i + 1 >= args.size()) return usage(key + " needs a value");
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
        a.bitrate_given = true;
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
