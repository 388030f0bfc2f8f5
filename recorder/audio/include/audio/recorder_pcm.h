// The sound input: the first stage of a recording pipeline. Nobody pulls
// from it; its own thread receives filled capture buffers from the wave
// input device and pushes each one downstream as a PCM block.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/link.h"

namespace audio {

// A capture device as the user interface sees it.
class Recorder : public Provider<PCMData> {
 public:
  virtual bool start() = 0;
  virtual bool stop() = 0;
  virtual bool is_stopped() = 0;
  virtual bool is_open() = 0;
  virtual std::uint32_t get_channels() = 0;
  virtual std::uint32_t get_bits_per_sample() = 0;
  virtual std::uint32_t get_sample_rate() = 0;
  // Bits per second of the captured PCM.
  virtual std::uint32_t get_bitrate() = 0;
};

class RecorderPCMImpl;

class RecorderPCM : public Recorder {
 public:
  // Opens the default input device in that format and queues twenty buffers
  // of 5,000 frames; capture begins with start(). A format the device
  // refuses (or a zero one) leaves the recorder not open.
  RecorderPCM(std::uint32_t channels, std::uint32_t sample_rate, std::uint32_t bits_per_sample);
  ~RecorderPCM() override;

  // A pull from the recorder is a programming error: the program ends.
  PCMData& get_data(PCMData& out, std::uint32_t count) override;

  bool start() override;
  // Stops capturing. The buffer under way comes back with what it holds and
  // has been pushed downstream when stop() returns (unless called on the
  // recorder's own thread), so a caller that unlinks the recorder afterwards
  // loses nothing. Stopping a stopped recorder answers true at once.
  bool stop() override;
  bool is_stopped() override;
  bool is_open() override;
  std::uint32_t get_channels() override;
  std::uint32_t get_bits_per_sample() override;
  std::uint32_t get_sample_rate() override;
  std::uint32_t get_bitrate() override;

  // Bytes of one capture buffer (block align x 5,000).
  std::uint32_t get_buffer_size();

 private:
  std::unique_ptr<RecorderPCMImpl> impl_;
};

}  // namespace audio
