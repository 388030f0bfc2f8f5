// WAV file readers: the first stage of a playback pipeline for PCM, MS ADPCM
// and GSM files, each a provider of its block type and a FileReader through
// which the user interface asks for the length and position, seeks, and
// learns the end. Units: bytes for PCM, encoded blocks for MS ADPCM and GSM.
//
// Every slot takes the reader's own lock, so the user interface can ask or
// seek while the player's thread pulls blocks.
#pragma once

#include <cstdint>
#include <string>

#include "audio/blocks.h"
#include "audio/file_reader.h"
#include "audio/link.h"
#include "audio/wav_info.h"
#include "liba/thread.h"
#include "os/file.h"

namespace audio {

class FileReaderWAV : public FileReader {
 public:
  virtual WAVInfo& get_info() = 0;

 protected:
  // Opens the file for reading; the derived reader reads the header.
  explicit FileReaderWAV(const std::wstring& path) : file(path, 0) {}

  os::File file;
  bool open = false;
  liba::CriticalSection lock;
};

class FileReaderWAVPCM : public Provider<PCMData>, public FileReaderWAV {
 public:
  explicit FileReaderWAVPCM(const std::wstring& path);

  bool is_open() override;
  bool is_end() override;
  std::uint32_t get_channels() override;
  std::uint32_t get_bits_per_sample() override;
  std::uint32_t get_sample_rate() override;
  std::uint32_t get_bitrate() override;
  std::uint32_t time_to_units(double seconds) override;
  double units_to_time(std::uint32_t units) override;
  // Data bytes in whole frames.
  std::uint32_t get_length() override;
  std::uint32_t get_position() override;
  // Rounded down to a whole frame and held to the data.
  void seek(std::uint32_t bytes) override;
  bool read_time(double seconds) override;
  bool read(std::uint32_t bytes) override;
  WAVInfo& get_info() override { return info_; }

  // At most `frames` frames from the position; the empty block (zero
  // format) at the end, when not open, or on a short read.
  PCMData& get_data(PCMData& out, std::uint32_t frames) override;

 private:
  WAVInfoPCM info_;
  std::uint32_t length_ = 0;
  std::uint32_t position_ = 0;
};

// The MS ADPCM and GSM readers, which hand out whole encoded blocks.
template <typename Info, typename Block>
class FileReaderWAVBlocks : public Provider<Block>, public FileReaderWAV {
 public:
  bool is_open() override;
  bool is_end() override;
  std::uint32_t get_channels() override;
  // The width of the decoded samples.
  std::uint32_t get_bits_per_sample() override { return 16; }
  std::uint32_t get_sample_rate() override;
  std::uint32_t get_bitrate() override;
  std::uint32_t time_to_units(double seconds) override;
  double units_to_time(std::uint32_t blocks) override;
  // The "fact" sample count in blocks (a partial last block counts), held
  // to the blocks the data holds.
  std::uint32_t get_length() override;
  std::uint32_t get_position() override;
  void seek(std::uint32_t blocks) override;
  bool read_time(double seconds) override;
  bool read(std::uint32_t blocks) override;
  WAVInfo& get_info() override { return info_; }

  // At most `blocks` whole blocks from the position; after a short read the
  // file is set back to the end of the last whole block. A piece that ends
  // with the file's last block carries its padding beyond the "fact" count.
  Block& get_data(Block& out, std::uint32_t blocks) override;

 protected:
  explicit FileReaderWAVBlocks(const std::wstring& path);
  // A block of the reader's type over `bytes`, with the header's format.
  virtual Block make_block(const SharedBuffer& bytes) const = 0;

  Info info_;

 private:
  std::uint32_t block_position_ = 0;
  std::uint32_t length_ = 0;
  // Frames of the last block beyond the "fact" count, handed on with it.
  std::uint32_t tail_padding_ = 0;
};

class FileReaderWAVADPCM : public FileReaderWAVBlocks<WAVInfoADPCM, ADPCMData> {
 public:
  explicit FileReaderWAVADPCM(const std::wstring& path) : FileReaderWAVBlocks(path) {}

 protected:
  ADPCMData make_block(const SharedBuffer& bytes) const override;
};

class FileReaderWAVGSM : public FileReaderWAVBlocks<WAVInfoGSM, GSMData> {
 public:
  explicit FileReaderWAVGSM(const std::wstring& path) : FileReaderWAVBlocks(path) {}

 protected:
  GSMData make_block(const SharedBuffer& bytes) const override;
};

}  // namespace audio
