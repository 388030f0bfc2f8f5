#include <algorithm>
#include <cstdint>
#include <cstring>

#include "audio/mp3_reader.h"

namespace audio {
namespace {

// Bytes past a frame's end that the decoder may read.
constexpr std::int64_t kGuardBytes = 8;

}  // namespace

FileReaderMP3::FileReaderMP3(const std::wstring& path) : file_(path, 0) {
  open_ = 1;
  if (!file_.is_ok()) {
    open_ = 0;
    return;
  }
  size_ = file_.get_size();
  // An empty file stays open with a zero reference frame: it is at its end
  // at once, so nothing plays.
  if (size_ == 0) return;
  open_stream();
}

FileReaderMP3::~FileReaderMP3() = default;

void FileReaderMP3::open_stream() {
  for (;;) {
    while (!find_frame(reference_)) {
      refill(kBlockBytes);
      if (at_end() || failed_) {
        open_ = 0;
        return;
      }
    }
    refill(kBlockBytes);
    position_ += reference_.frame_length;
    // A candidate counts only when a header of the same kind follows one
    // frame length later; a false one is skipped by its own length.
    MP3FrameInfo next;
    if (position_ < valid_ - 4 && parse_frame_header(buffer_ + position_, next) && matches_reference(next)) break;
    if (at_end()) break;
  }
  position_ = 0;
  open_ = at_end() ? 0 : 1;
}

bool FileReaderMP3::refill(std::int64_t ahead) {
  if (position_ <= valid_ - ahead) return false;
  std::int64_t kept = 0;
  if (position_ < valid_) {
    kept = valid_ - position_;
    std::memmove(buffer_, buffer_ + position_, static_cast<std::size_t>(kept));
  } else if (position_ > valid_) {
    // The read position stepped beyond the buffered bytes: move the file on
    // to it, so the file offset of the read position stays the same.
    const std::int64_t target = std::min<std::int64_t>(read_so_far_ + (position_ - valid_), size_);
    file_.seek(static_cast<std::uint32_t>(target));
    read_so_far_ = target;
  }
  const std::uint32_t room = static_cast<std::uint32_t>(kBufferSize - kept);
  const std::uint32_t got = file_.read(buffer_ + kept, room);
  read_so_far_ += got;
  position_ = 0;
  valid_ = kept + got;
  if (got < room && read_so_far_ < size_) failed_ = true;
  return got != 0;
}

bool FileReaderMP3::find_frame(MP3FrameInfo& out) {
  while (position_ < valid_ - 4) {
    if (parse_frame_header(buffer_ + position_, out)) return true;
    ++position_;
  }
  position_ = valid_;
  return false;
}

bool FileReaderMP3::find_frame_to_end(MP3FrameInfo& out) {
  for (;;) {
    const std::int64_t start = position_;
    if (find_frame(out)) return true;
    if (failed_ || read_so_far_ >= size_) return false;
    // Keep the last bytes the search could not test: a header may straddle
    // the end of the buffered data.
    position_ = std::max(start, valid_ - 4);
    refill(kBlockBytes);
  }
}

bool FileReaderMP3::matches_reference(const MP3FrameInfo& info) const {
  return info.version == reference_.version && info.layer == reference_.layer &&
         info.sample_rate == reference_.sample_rate && info.samples == reference_.samples &&
         info.channels == reference_.channels;
}

MP3Data& FileReaderMP3::get_data(MP3Data& out, std::uint32_t /*count*/) {
  liba::Lock hold(lock_);
  out = MP3Data();
  if (!open_ || at_end()) return out;
  refill(kBlockBytes);
  MP3FrameInfo info;
  if (!find_frame_to_end(info)) return out;
  while (!matches_reference(info)) {
    ++position_;
    if (!find_frame_to_end(info)) return out;
  }
  const std::int64_t length = info.frame_length;
  const std::int64_t copy = std::max<std::int64_t>(kBlockBytes, length + kGuardBytes);
  refill(copy);
  // A frame is given only when all of it is in the file; the last one may
  // end exactly at the file's end.
  if (position_ + length > valid_) {
    position_ = valid_;
    return out;
  }
  SharedBuffer bytes(static_cast<std::uint32_t>(copy));
  std::uint8_t* target = bytes.make_unique();
  const std::int64_t present = std::min(copy, valid_ - position_);
  std::memcpy(target, buffer_ + position_, static_cast<std::size_t>(present));
  std::memset(target + present, 0, static_cast<std::size_t>(copy - present));
  out.buffer = bytes;
  out.frame_size = info.frame_length;
  position_ += length;
  return out;
}

bool FileReaderMP3::is_open() {
  liba::Lock hold(lock_);
  return open_ != 0;
}

bool FileReaderMP3::is_end() {
  liba::Lock hold(lock_);
  return !open_ || at_end() || failed_;
}

std::uint32_t FileReaderMP3::get_channels() { return reference_.channels; }
std::uint32_t FileReaderMP3::get_bits_per_sample() { return 16; }
std::uint32_t FileReaderMP3::get_sample_rate() { return reference_.sample_rate; }
std::uint32_t FileReaderMP3::get_bitrate() { return reference_.bitrate * 1000; }

std::uint32_t FileReaderMP3::time_to_units(double seconds) {
  return seconds_to_count(reference_.bitrate * seconds * 125.0);
}

double FileReaderMP3::units_to_time(std::uint32_t units) {
  if (reference_.bitrate == 0) return 0.0;
  return static_cast<double>(units) * 8.0 / reference_.bitrate * 0.001;
}

std::uint32_t FileReaderMP3::get_length() {
  liba::Lock hold(lock_);
  return static_cast<std::uint32_t>(size_);
}

std::uint32_t FileReaderMP3::get_position() {
  liba::Lock hold(lock_);
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(file_position(), 0, size_));
}

void FileReaderMP3::seek(std::uint32_t units) {
  liba::Lock hold(lock_);
  read_so_far_ = std::min<std::int64_t>(units, size_);
  file_.seek(static_cast<std::uint32_t>(read_so_far_));
  valid_ = 0;
  position_ = 0;
  failed_ = false;
}

bool FileReaderMP3::read_forward(double amount, bool time_units) {
  const double start = time_units ? get_position_time() : static_cast<double>(get_position());
  for (;;) {
    const double now = time_units ? get_position_time() : static_cast<double>(get_position());
    if (!(now - start < amount)) return true;
    MP3Data block;
    get_data(block, 1);
    if (block.size() == 0) return false;
    push(block);
  }
}

bool FileReaderMP3::read_time(double seconds) { return read_forward(seconds, true); }

bool FileReaderMP3::read(std::uint32_t units) { return read_forward(static_cast<double>(units), false); }

}  // namespace audio
