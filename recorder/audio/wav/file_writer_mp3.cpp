#include "audio/file_writer_mp3.h"

#include <algorithm>
#include <cstring>

namespace audio {

namespace {

// How long gathered frames may wait before they are written, in seconds.
constexpr double kWriteSeconds = 1.0;

}  // namespace

FileWriterMP3::FileWriterMP3(const std::wstring& path, bool append) : buffer_(kBufferBytes) {
  if (append && !os::File(path, 0).is_ok()) return;
  file_ = std::make_unique<os::File>(path, append ? 3 : 1);
  ok_ = true;
  if (append) {
    total_ = file_->get_size();
    ok_ = file_->seek(total_) != 0;
  }
}

FileWriterMP3::~FileWriterMP3() {
  liba::Lock hold(lock);
  if (!file_) return;
  if (fill_ > 0) write_all(buffer_.data(), fill_);
  file_->close();
}

bool FileWriterMP3::open_locked() const { return ok_ && file_ && file_->is_ok(); }

bool FileWriterMP3::is_open() {
  liba::Lock hold(lock);
  return open_locked();
}

std::uint32_t FileWriterMP3::get_written() {
  liba::Lock hold(lock);
  return total_;
}

bool FileWriterMP3::write_all(const std::uint8_t* bytes, std::uint32_t count) {
  return file_->write(bytes, count) == count;
}

void FileWriterMP3::on_data(const MP3Data& block) {
  liba::Lock hold(lock);
  if (!open_locked()) return;
  // The valid bytes can never be more than the block holds.
  const std::uint32_t length = std::min(block.frame_size, block.size());
  if (length == 0) return;
  // The file's 32-bit size cannot pass 4 GB.
  if (static_cast<std::uint64_t>(total_) + length > 0xFFFFFFFFull) {
    ok_ = false;
    return;
  }
  total_ += length;
  if (fill_ + length > kBufferBytes) {
    ok_ = write_all(buffer_.data(), fill_);
    fill_ = 0;
    if (!open_locked()) return;
  }
  if (length <= kBufferBytes) {
    if (fill_ == 0) since_write_.restart();  // the age of the oldest gathered frame
    std::memcpy(buffer_.data() + fill_, block.buffer.data(), length);
    fill_ += length;
  } else {
    ok_ = write_all(block.buffer.data(), length);
  }
  // Whole frames only ever reach the file, so a file cut off between two
  // writes still ends at a frame's end.
  if (fill_ > 0 && since_write_.elapsed() >= kWriteSeconds) {
    ok_ = write_all(buffer_.data(), fill_);
    fill_ = 0;
  }
}

}  // namespace audio
