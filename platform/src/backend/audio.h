// The sound part of a back end. The wave devices (media/) keep the queues
// and the pacing and choose the back end (media/audio_backend.h); a back end only hears the bytes of a buffer when the
// device starts playing it, and hands over captured bytes when an input
// buffer's time is up. Devices are numbered from 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ce/mmsystem.h"

namespace ce::backend {

// A PCM format the devices accept: 1 or 2 channels of 8 or 16 bits.
struct PcmFormat {
  unsigned channels = 0;
  unsigned rate = 0;
  unsigned bits = 0;
  unsigned BlockAlign() const { return channels * (bits / 8); }
  bool operator==(const PcmFormat&) const = default;
};

// One open output stream of a device.
class AudioSink {
 public:
  virtual ~AudioSink() = default;
  // The bytes of a buffer that starts playing now (whole frames), and the
  // device volume in effect (left in the low word, right in the high word).
  virtual void Play(const std::uint8_t* bytes, std::size_t count, std::uint32_t volume) = 0;
};

// One open input stream of a device.
class AudioSource {
 public:
  virtual ~AudioSource() = default;
  // Fills count bytes (whole frames) with the next captured sound.
  virtual void Capture(std::uint8_t* bytes, std::size_t count) = 0;
};

struct DeviceInfo {
  std::wstring name;
  DWORD formats = 0;  // WAVE_FORMAT_ bits
  WORD channels = 2;
};

class AudioBackend {
 public:
  virtual ~AudioBackend() = default;
  virtual UINT OutputCount() = 0;
  virtual DeviceInfo OutputInfo(UINT device) = 0;
  // Checks the format (WAVERR_BADFORMAT) and the device; with sink null only
  // checks. MMSYSERR_NOERROR when it opens.
  virtual MMRESULT OpenOutput(UINT device, const PcmFormat& format, std::unique_ptr<AudioSink>* sink) = 0;
  virtual UINT InputCount() = 0;
  virtual DeviceInfo InputInfo(UINT device) = 0;
  virtual MMRESULT OpenInput(UINT device, const PcmFormat& format, std::unique_ptr<AudioSource>* source) = 0;
};

// The desktop back end's sound (sdl/audio_sdl.cpp); null when the desktop
// library has no audio.
std::unique_ptr<AudioBackend> CreateSdlAudio();

// Converts whole frames between PCM formats: channels (mono is copied to
// both sides, stereo averaged to mono), bits, and rate by nearest-sample
// stepping. Appends to out.
void ConvertPcm(const PcmFormat& from, const std::uint8_t* in, std::size_t inBytes, const PcmFormat& to,
                std::vector<std::uint8_t>& out);

// Scales 16-bit or 8-bit samples by a device volume word (0xFFFF is whole).
void ApplyVolume(const PcmFormat& format, std::uint8_t* bytes, std::size_t count, std::uint32_t volume);

}  // namespace ce::backend
