// The MP3 file writer: the last stage of an MP3 recording. It only gathers
// the encoder's frames and appends them to the file, in writes of up to
// 120,000 bytes to keep the number of file operations small on flash; what
// it gathered is also written once it has waited about a second, so a
// recording cut off by a crash loses no more than that.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/blocks.h"
#include "audio/file_writer.h"
#include "audio/link.h"
#include "liba/timer.h"
#include "os/file.h"

namespace audio {

class FileWriterMP3 : public Consumer<MP3Data>, public FileWriter {
 public:
  // Creates (or empties) the file; with append, continues an existing file
  // at its end. A missing file is not created in append mode: the writer
  // then stays closed.
  FileWriterMP3(const std::wstring& path, bool append);
  // Writes what is gathered and closes the file.
  ~FileWriterMP3() override;

  // Under the link lock: gathers the block's frame_size bytes (never more
  // than its view holds); a block longer than the gathering buffer is
  // written at once, after what was gathered before it.
  void on_data(const MP3Data& block) override;
  bool is_open() override;
  // Bytes taken so far, gathered ones included (the file's length when
  // appending counts too).
  std::uint32_t get_written() override;

  static constexpr std::uint32_t kBufferBytes = 120000;

 private:
  bool open_locked() const;
  bool write_all(const std::uint8_t* bytes, std::uint32_t count);

  std::unique_ptr<os::File> file_;
  bool ok_ = false;
  std::uint32_t total_ = 0;
  std::vector<std::uint8_t> buffer_;
  std::uint32_t fill_ = 0;
  liba::Timer since_write_;
};

}  // namespace audio
