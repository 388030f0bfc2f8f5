// The headless sound devices. The speaker writes what it plays to the WAV
// file named by the setting "speaker" (host path; the first sound played
// fixes the file's format and later sound is converted to it), and always
// keeps a record in memory that tests read. There is a microphone only when
// the setting "mic" asks for one, as a desktop has none of its own: "mic"
// names a WAV file (host path; converted to the format asked for, silence
// after its end), or is "tone" (a sine at "mic_frequency" Hz, 440 by
// default) or "silence". Without it waveInGetNumDevs answers 0 and
// waveInOpen MMSYSERR_NODRIVER.
//
// Devices for tests: "speaker_devices" and "mic_devices" (default 1, the
// latter when "mic" is set; 0 means none), "speaker_fail" and "mic_fail"
// ("open": every open is refused with
// MMSYSERR_ALLOCATED), "speaker_formats" (the capability bits reported) and
// "speaker_only_format" ("rate,bits,channels": every other format is refused
// with WAVERR_BADFORMAT). Settings are read at each open.
#pragma once

#include <cstdint>
#include <vector>

#include "backend/audio.h"

namespace ce::backend::headless {

struct PlayedBuffer {
  std::uint64_t startMs = 0;  // platform clock when it began to play
  UINT device = 0;
  std::uint64_t stream = 0;  // which open of the device played it (counts from 1)
  backend::PcmFormat format;
  std::uint32_t volume = 0xFFFFFFFFu;  // the device volume then (not applied to bytes)
  std::vector<std::uint8_t> bytes;     // as the program wrote them
};

// Takes everything played since the last call, oldest first. The record
// keeps at most "speaker_memory_limit" bytes (default 64 MB), dropping the
// oldest buffers.
std::vector<PlayedBuffer> TakePlayedAudio();

class HeadlessAudio final : public backend::AudioBackend {
 public:
  UINT OutputCount() override;
  backend::DeviceInfo OutputInfo(UINT device) override;
  MMRESULT OpenOutput(UINT device, const backend::PcmFormat& format,
                      std::unique_ptr<backend::AudioSink>* sink) override;
  UINT InputCount() override;
  backend::DeviceInfo InputInfo(UINT device) override;
  MMRESULT OpenInput(UINT device, const backend::PcmFormat& format,
                     std::unique_ptr<backend::AudioSource>* source) override;
};

}  // namespace ce::backend::headless
