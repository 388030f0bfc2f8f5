#include "backend/headless/audio_headless.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <numbers>
#include <string>

#include "kernel/clock.h"
#include "kernel/debug_output.h"
#include "kernel/device.h"
#include "backend/wav_file.h"

namespace ce::backend::headless {
namespace {

constexpr DWORD kAllStandardFormats = 0x0FFF;

struct PlayedRecord {
  std::mutex mutex;
  std::deque<PlayedBuffer> buffers;
  std::size_t bytes = 0;
  std::uint64_t streams = 0;
};

PlayedRecord& Record() {
  static PlayedRecord* record = new PlayedRecord;  // device threads may outlive static destruction
  return *record;
}

// The speaker's WAV file, shared by every open stream.
class SpeakerFile {
 public:
  void Write(const std::string& path, const backend::PcmFormat& format, const std::uint8_t* bytes, std::size_t count,
             std::uint32_t volume) {
    std::lock_guard guard(mutex_);
    if (path != path_) Open(path, format);
    if (!file_) return;
    std::vector<std::uint8_t> data;
    if (format == format_) {
      data.assign(bytes, bytes + count);
    } else {
      backend::ConvertPcm(format, bytes, count, format_, data);
    }
    backend::ApplyVolume(format_, data.data(), data.size(), volume);
    if (data.empty() || data.size() > 0xFFFFFFFFu - 36 - size_) return;
    std::fseek(file_, 0, SEEK_END);
    std::fwrite(data.data(), 1, data.size(), file_);
    size_ += static_cast<std::uint32_t>(data.size());
    // The header is kept right after every write, so the file is whole
    // however the program ends.
    std::uint8_t header[44];
    backend::WriteWavHeader(header, format_, size_);
    std::fseek(file_, 0, SEEK_SET);
    std::fwrite(header, 1, sizeof header, file_);
    std::fflush(file_);
  }

 private:
  void Open(const std::string& path, const backend::PcmFormat& format) {
    if (file_) std::fclose(file_);
    path_ = path;
    format_ = format;
    size_ = 0;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
      ce::kernel::Diagnostic("platform: cannot write the speaker file \"%s\"", path.c_str());
      return;
    }
    std::uint8_t header[44];
    backend::WriteWavHeader(header, format_, 0);
    std::fwrite(header, 1, sizeof header, file_);
    std::fflush(file_);
  }

  std::mutex mutex_;
  std::string path_;
  std::FILE* file_ = nullptr;
  backend::PcmFormat format_;
  std::uint32_t size_ = 0;
};

SpeakerFile& Speaker() {
  static SpeakerFile* speaker = new SpeakerFile;
  return *speaker;
}

class HeadlessSink final : public backend::AudioSink {
 public:
  HeadlessSink(UINT device, const backend::PcmFormat& format, std::uint64_t stream)
      : device_(device), format_(format), stream_(stream) {}

  void Play(const std::uint8_t* bytes, std::size_t count, std::uint32_t volume) override {
    const std::string path = ce::device::SettingOr("speaker", "");
    if (!path.empty()) Speaker().Write(path, format_, bytes, count, volume);
    PlayedRecord& r = Record();
    const auto limit = static_cast<std::size_t>(ce::device::SettingNumber("speaker_memory_limit", 64ll << 20));
    std::lock_guard guard(r.mutex);
    PlayedBuffer played;
    played.startMs = kernel::clock::NowMs();
    played.device = device_;
    played.stream = stream_;
    played.format = format_;
    played.volume = volume;
    played.bytes.assign(bytes, bytes + count);
    r.bytes += count;
    r.buffers.push_back(std::move(played));
    while (r.bytes > limit && !r.buffers.empty()) {
      r.bytes -= r.buffers.front().bytes.size();
      r.buffers.pop_front();
    }
  }

 private:
  UINT device_;
  backend::PcmFormat format_;
  std::uint64_t stream_;
};

// The microphone: a WAV file's samples in the asked format, then silence;
// or a generated signal.
class HeadlessSource final : public backend::AudioSource {
 public:
  HeadlessSource(const backend::PcmFormat& format, const std::string& mic) : format_(format) {
    if (mic == "tone") {
      frequency_ = static_cast<double>(ce::device::SettingNumber("mic_frequency", 440));
    } else if (mic == "silence") {
      sine_ = false;
    } else {
      LoadFile(mic);
    }
  }

  void Capture(std::uint8_t* bytes, std::size_t count) override {
    const unsigned align = format_.BlockAlign();
    const std::uint8_t silence = format_.bits == 8 ? 0x80 : 0x00;
    if (haveFile_) {
      const std::size_t take = std::min(count, samples_.size() - std::min(position_, samples_.size()));
      if (take) std::memcpy(bytes, samples_.data() + position_, take);
      std::memset(bytes + take, silence, count - take);
      position_ += take;
      return;
    }
    for (std::size_t f = 0; f < count / align; ++f) {
      int v = 0;
      if (sine_) {
        const double phase = 2.0 * std::numbers::pi * frequency_ * static_cast<double>(frame_) / format_.rate;
        v = static_cast<int>(std::lround(8192.0 * std::sin(phase)));
      }
      ++frame_;
      for (unsigned c = 0; c < format_.channels; ++c) {
        std::uint8_t* p = bytes + f * align + c * (format_.bits / 8);
        if (format_.bits == 8) {
          p[0] = static_cast<std::uint8_t>((v >> 8) + 128);
        } else {
          const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
          p[0] = static_cast<std::uint8_t>(u);
          p[1] = static_cast<std::uint8_t>(u >> 8);
        }
      }
    }
  }

 private:
  void LoadFile(const std::string& path) {
    haveFile_ = true;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
      ce::kernel::Diagnostic("platform: cannot read the microphone file \"%s\"; recording silence", path.c_str());
      return;
    }
    std::vector<std::uint8_t> image;
    std::uint8_t chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) image.insert(image.end(), chunk, chunk + got);
    std::fclose(file);
    const auto wav = backend::ParseWav(image.data(), image.size());
    if (!wav) {
      ce::kernel::Diagnostic("platform: \"%s\" is not a PCM WAV file; recording silence", path.c_str());
      return;
    }
    if (wav->format == format_) {
      samples_.assign(image.begin() + static_cast<std::ptrdiff_t>(wav->dataOffset),
                      image.begin() + static_cast<std::ptrdiff_t>(wav->dataOffset + wav->dataSize));
    } else {
      backend::ConvertPcm(wav->format, image.data() + wav->dataOffset, wav->dataSize, format_, samples_);
    }
  }

  backend::PcmFormat format_;
  bool haveFile_ = false;
  std::vector<std::uint8_t> samples_;
  std::size_t position_ = 0;
  bool sine_ = true;
  double frequency_ = 440.0;
  std::uint64_t frame_ = 0;
};

UINT DeviceCount(const char* key) {
  const long long n = ce::device::SettingNumber(key, 1);
  return n < 0 ? 0 : static_cast<UINT>(std::min(n, 8ll));
}

bool FailsOpen(const char* key) { return ce::device::SettingOr(key, "") == "open"; }

bool FormatAllowed(const backend::PcmFormat& format) {
  const std::string only = ce::device::SettingOr("speaker_only_format", "");
  if (only.empty()) return true;
  unsigned rate = 0, bits = 0, channels = 0;
  if (std::sscanf(only.c_str(), "%u,%u,%u", &rate, &bits, &channels) != 3) return true;
  return format == backend::PcmFormat{channels, rate, bits};
}

// The microphone the device was given, if any.
std::string MicSetting() { return ce::device::SettingOr("mic", ""); }

}  // namespace

std::vector<PlayedBuffer> TakePlayedAudio() {
  PlayedRecord& r = Record();
  std::lock_guard guard(r.mutex);
  std::vector<PlayedBuffer> out(std::make_move_iterator(r.buffers.begin()), std::make_move_iterator(r.buffers.end()));
  r.buffers.clear();
  r.bytes = 0;
  return out;
}

UINT HeadlessAudio::OutputCount() { return DeviceCount("speaker_devices"); }

backend::DeviceInfo HeadlessAudio::OutputInfo(UINT device) {
  backend::DeviceInfo info;
  info.name = L"Speaker " + std::to_wstring(device);
  info.formats = static_cast<DWORD>(ce::device::SettingNumber("speaker_formats", kAllStandardFormats));
  return info;
}

MMRESULT HeadlessAudio::OpenOutput(UINT device, const backend::PcmFormat& format,
                                   std::unique_ptr<backend::AudioSink>* sink) {
  if (device >= OutputCount()) return MMSYSERR_BADDEVICEID;
  if (!backend::IsSupportedFormat(format) || !FormatAllowed(format)) return WAVERR_BADFORMAT;
  if (FailsOpen("speaker_fail")) return MMSYSERR_ALLOCATED;
  if (sink) {
    PlayedRecord& r = Record();
    std::uint64_t stream = 0;
    {
      std::lock_guard guard(r.mutex);
      stream = ++r.streams;
    }
    *sink = std::make_unique<HeadlessSink>(device, format, stream);
  }
  return MMSYSERR_NOERROR;
}

UINT HeadlessAudio::InputCount() { return MicSetting().empty() ? 0 : DeviceCount("mic_devices"); }

backend::DeviceInfo HeadlessAudio::InputInfo(UINT device) {
  backend::DeviceInfo info;
  info.name = L"Microphone " + std::to_wstring(device);
  info.formats = kAllStandardFormats;
  info.channels = 2;
  return info;
}

MMRESULT HeadlessAudio::OpenInput(UINT device, const backend::PcmFormat& format,
                                  std::unique_ptr<backend::AudioSource>* source) {
  if (device >= InputCount()) return MMSYSERR_BADDEVICEID;
  if (!backend::IsSupportedFormat(format)) return WAVERR_BADFORMAT;
  if (FailsOpen("mic_fail")) return MMSYSERR_ALLOCATED;
  if (source) *source = std::make_unique<HeadlessSource>(format, MicSetting());
  return MMSYSERR_NOERROR;
}

}  // namespace ce::backend::headless
