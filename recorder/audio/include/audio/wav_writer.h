// WAV file writers: the last stage of a PCM, MS ADPCM or GSM recording.
//
// A writer either creates its file on the first block it accepts, or, in
// append mode, continues an existing WAV file of its own format behind the
// stored data. While it writes it refreshes the header's sizes about once a
// second, so a recording cut off by a crash or a dead battery stays playable
// up to then; the destructor writes the final sizes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "audio/blocks.h"
#include "audio/file_writer.h"
#include "audio/link.h"
#include "audio/wav_info.h"
#include "liba/timer.h"
#include "os/file.h"

namespace audio {

template <typename Info, typename Block>
class FileWriterWAV : public Consumer<Block>, public FileWriter {
 public:
  ~FileWriterWAV() override;

  // Under the link lock: creates the file on the first block the format
  // accepts, then stores each block. A stopped writer drops every block.
  void on_data(const Block& block) override;
  bool is_open() override;

 protected:
  // `defaults` is the header of a new file. In append mode the header is
  // read from the existing file instead; a file that is missing, not a WAV
  // file of this format, or cannot be positioned leaves the writer stopped
  // and the file untouched.
  FileWriterWAV(const std::wstring& path, bool append, const Info& defaults);

  // Takes the file's format from the first block; false refuses the block.
  virtual bool configure(const Block& first) = 0;
  // Stores one block; false stops the writer.
  virtual bool write_block(const Block& block) = 0;

  // Writes the first `size` bytes of `bytes` and counts the whole units of
  // `unit` bytes that reached the file into the data size (`whole`). A
  // short write is trimmed back to the last whole unit and answers false;
  // so does a block that would take the file past 4 GB, which the header's
  // 32-bit sizes cannot describe.
  bool write_units(const std::uint8_t* bytes, std::uint32_t size, std::uint32_t unit, std::uint32_t& whole);

  Info info;
  std::wstring path;
  std::unique_ptr<os::File> file;
  bool ok = false;

 private:
  // Writes the sizes into the file's header: a created file gets its whole
  // header again, an appended file only its size fields, in place, so
  // chunks of a layout this writer would not make stay as they are.
  bool update_header();

  bool appended_ = false;
  liba::Timer since_refresh_;
};

class FileWriterWAVPCM : public FileWriterWAV<WAVInfoPCM, PCMData>, public Encoder {
 public:
  FileWriterWAVPCM(const std::wstring& path, bool append);

  // Sample-data bytes stored: block align × frames.
  std::uint32_t get_written() override;
  std::uint32_t get_bitrate() override;

 protected:
  bool configure(const PCMData& first) override;
  // A block in another format than the file's is dropped (the writer goes
  // on); a partial frame at a block's end is not stored.
  bool write_block(const PCMData& block) override;

 private:
  std::uint32_t frames_ = 0;
};

class FileWriterWAVADPCM : public FileWriterWAV<WAVInfoADPCM, ADPCMData> {
 public:
  FileWriterWAVADPCM(const std::wstring& path, bool append);
  std::uint32_t get_written() override;

 protected:
  bool configure(const ADPCMData& first) override;
  bool write_block(const ADPCMData& block) override;

 private:
  std::uint32_t blocks_ = 0;
};

class FileWriterWAVGSM : public FileWriterWAV<WAVInfoGSM, GSMData> {
 public:
  FileWriterWAVGSM(const std::wstring& path, bool append);
  std::uint32_t get_written() override;

 protected:
  bool configure(const GSMData& first) override;
  bool write_block(const GSMData& block) override;

 private:
  std::uint32_t blocks_ = 0;
};

}  // namespace audio
