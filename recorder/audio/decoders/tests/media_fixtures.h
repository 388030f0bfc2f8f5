// Test media made on the spot: MPEG audio frames built from their header
// fields, 16-bit PCM WAV files of a generated tone, and files made from them
// by the command-line encoders when those are installed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "temp_device.h"

namespace vo_test {

struct FrameFields {
  int version = 1;  // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5
  int layer = 3;
  int bitrate_index = 9;  // 128 kbit/s for MPEG-1 Layer III
  int rate_index = 0;     // 44100 Hz for MPEG-1
  int padding = 0;
  bool mono = false;
};

// The four header bytes (no CRC).
std::string FrameHeader(const FrameFields& fields);
// A whole frame: the header, then zeros up to the frame's length (for
// Layer III that is silent side information and main data).
std::string SilentFrame(const FrameFields& fields);
std::uint32_t FrameLength(const FrameFields& fields);

// 16-bit PCM WAV of a sine tone at `amplitude` (of full scale); the second
// channel carries the same tone at half the frequency.
std::string SineWav(std::uint32_t channels, std::uint32_t rate, double seconds, double frequency,
                    double amplitude = 0.5);
// Little-endian 16-bit samples of a WAV made by SineWav (the 44-byte header
// dropped).
std::vector<std::int16_t> WavSamples(const std::string& wav);

// A device of its own for a test, with host-side access to its documents.
class MediaFolder {
 public:
  // Device path (for the readers) of a name in the documents folder.
  static std::wstring DevicePath(const std::string& name);
  std::string HostPath(const std::string& name) const;
  void Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;

  // Whether the command-line tool is installed.
  static bool HaveTool(const std::string& tool);
  // Runs `tool args` with the current folder set to the documents folder;
  // true on exit status 0.
  bool Run(const std::string& tool, const std::string& args) const;

 private:
  ce::test::TempDevice device_;
};

}  // namespace vo_test
