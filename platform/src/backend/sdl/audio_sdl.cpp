// The sound devices of the SDL back end: the host's default playback and
// capture devices, or the ones named by the settings "sound_output" and
// "sound_input". A host without capture devices has no microphone
// (waveInOpen answers MMSYSERR_NODRIVER); the setting "mic" gives the device
// the headless back end's microphone instead (a WAV file, "tone" or
// "silence"). The wave devices keep their own pacing on the platform
// clock; a buffer's bytes are queued to SDL when the buffer starts playing,
// and capture hands over what SDL has recorded when an input buffer's time
// is up. SDL converts between the program's format and the host's.
#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "backend/audio.h"
#include "backend/headless/audio_headless.h"
#include "backend/wav_file.h"
#include "kernel/debug_output.h"
#include "kernel/device.h"

namespace ce::backend {
namespace {

// More than this much sound waiting in SDL means the host device runs
// slower than the platform clock: the backlog is dropped to keep latency low.
constexpr unsigned kMaxBacklogMs = 500;

SDL_AudioSpec SdlFormat(const PcmFormat& format) {
  SDL_AudioSpec wanted{};
  wanted.freq = static_cast<int>(format.rate);
  wanted.format = format.bits == 8 ? AUDIO_U8 : AUDIO_S16LSB;
  wanted.channels = static_cast<Uint8>(format.channels);
  wanted.samples = 1024;
  return wanted;
}

const char* DeviceName(const char* key, std::string& storage) {
  storage = ce::device::SettingOr(key, "");
  return storage.empty() ? nullptr : storage.c_str();
}

class SdlSink final : public AudioSink {
 public:
  SdlSink(SDL_AudioDeviceID device, const PcmFormat& format) : device_(device), format_(format) {
    SDL_PauseAudioDevice(device_, 0);
  }
  ~SdlSink() override { SDL_CloseAudioDevice(device_); }

  void Play(const std::uint8_t* bytes, std::size_t count, std::uint32_t volume) override {
    const std::size_t backlogLimit =
        static_cast<std::size_t>(format_.rate) * format_.BlockAlign() * kMaxBacklogMs / 1000;
    if (SDL_GetQueuedAudioSize(device_) > backlogLimit) SDL_ClearQueuedAudio(device_);
    scratch_.assign(bytes, bytes + count);
    ApplyVolume(format_, scratch_.data(), scratch_.size(), volume);
    SDL_QueueAudio(device_, scratch_.data(), static_cast<Uint32>(scratch_.size()));
  }

 private:
  SDL_AudioDeviceID device_;
  PcmFormat format_;
  std::vector<std::uint8_t> scratch_;
};

class SdlSource final : public AudioSource {
 public:
  SdlSource(SDL_AudioDeviceID device, const PcmFormat& format) : device_(device), format_(format) {
    SDL_PauseAudioDevice(device_, 0);
  }
  ~SdlSource() override { SDL_CloseAudioDevice(device_); }

  void Capture(std::uint8_t* bytes, std::size_t count) override {
    const Uint32 got = SDL_DequeueAudio(device_, bytes, static_cast<Uint32>(count));
    // The host delivered less than the platform clock says has passed.
    std::memset(bytes + got, format_.bits == 8 ? 0x80 : 0x00, count - got);
  }

 private:
  SDL_AudioDeviceID device_;
  PcmFormat format_;
};

class SdlAudio final : public AudioBackend {
 public:
  UINT OutputCount() override { return 1; }
  DeviceInfo OutputInfo(UINT) override { return Info(L"Speaker"); }
  UINT InputCount() override {
    if (MicConfigured()) return configured_.InputCount();
    // One device, the default or the one named, when the host has any to
    // record from (SDL answers -1 when it cannot list them: it may still open).
    return SDL_GetNumAudioDevices(1) == 0 ? 0 : 1;
  }
  DeviceInfo InputInfo(UINT device) override {
    return MicConfigured() ? configured_.InputInfo(device) : Info(L"Microphone");
  }

  MMRESULT OpenOutput(UINT device, const PcmFormat& format, std::unique_ptr<AudioSink>* sink) override {
    if (device != 0) return MMSYSERR_BADDEVICEID;
    if (!IsSupportedFormat(format)) return WAVERR_BADFORMAT;
    if (!sink) return MMSYSERR_NOERROR;
    const SDL_AudioDeviceID id = Open(format, false);
    if (!id) return MMSYSERR_ALLOCATED;
    *sink = std::make_unique<SdlSink>(id, format);
    return MMSYSERR_NOERROR;
  }

  MMRESULT OpenInput(UINT device, const PcmFormat& format, std::unique_ptr<AudioSource>* source) override {
    if (MicConfigured()) return configured_.OpenInput(device, format, source);
    if (InputCount() == 0) return MMSYSERR_NODRIVER;
    if (device != 0) return MMSYSERR_BADDEVICEID;
    if (!IsSupportedFormat(format)) return WAVERR_BADFORMAT;
    if (!source) return MMSYSERR_NOERROR;
    const SDL_AudioDeviceID id = Open(format, true);
    if (!id) return MMSYSERR_NODRIVER;  // listed, but the host cannot record from it
    *source = std::make_unique<SdlSource>(id, format);
    return MMSYSERR_NOERROR;
  }

 private:
  static bool MicConfigured() { return !ce::device::SettingOr("mic", "").empty(); }

  backend::headless::HeadlessAudio configured_;  // its microphone, when "mic" asks for one

  static DeviceInfo Info(const wchar_t* name) {
    DeviceInfo info;
    info.name = name;
    info.formats = 0x0FFF;
    return info;
  }

  static SDL_AudioDeviceID Open(const PcmFormat& format, bool capture) {
    std::string storage;
    const char* name = DeviceName(capture ? "sound_input" : "sound_output", storage);
    const SDL_AudioSpec want = SdlFormat(format);
    SDL_AudioSpec have{};
    const SDL_AudioDeviceID id = SDL_OpenAudioDevice(name, capture ? 1 : 0, &want, &have, 0);
    if (!id) {
      ce::kernel::Diagnostic("platform: cannot open the %s device %s: %s", capture ? "capture" : "playback",
                             name ? name : "(default)", SDL_GetError());
    }
    return id;
  }
};

}  // namespace

// Null when SDL has no working audio driver; the program then runs on the
// headless devices (silent).
std::unique_ptr<AudioBackend> CreateSdlAudio() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    ce::kernel::Diagnostic("platform: no SDL audio (%s); sound is not heard", SDL_GetError());
    return nullptr;
  }
  ce::kernel::Diagnostic("platform: SDL audio driver \"%s\"", SDL_GetCurrentAudioDriver());
  return std::make_unique<SdlAudio>();
}

}  // namespace ce::backend
