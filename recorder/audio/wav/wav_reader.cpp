#include "audio/wav_reader.h"

#include <algorithm>

namespace audio {

namespace {

// Pieces in which read() copies a file into a linked consumer.
constexpr std::uint32_t kPCMReadFrames = 5000;
constexpr std::uint32_t kBlockReadBlocks = 10;

std::uint32_t Clamp32(std::uint64_t value) {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, 0xFFFFFFFFull));
}

}  // namespace

// PCM

FileReaderWAVPCM::FileReaderWAVPCM(const std::wstring& path) : FileReaderWAV(path) {
  open = read_wav_info(info_, file) && file.seek(info_.data_offset) != 0;
  if (open) length_ = info_.data_size - info_.data_size % info_.block_align;
}

bool FileReaderWAVPCM::is_open() {
  liba::Lock hold(lock);
  return open;
}

bool FileReaderWAVPCM::is_end() {
  liba::Lock hold(lock);
  return !open || position_ >= length_;
}

std::uint32_t FileReaderWAVPCM::get_channels() {
  liba::Lock hold(lock);
  return info_.channels;
}

std::uint32_t FileReaderWAVPCM::get_bits_per_sample() {
  liba::Lock hold(lock);
  return info_.bits_per_sample;
}

std::uint32_t FileReaderWAVPCM::get_sample_rate() {
  liba::Lock hold(lock);
  return info_.sample_rate;
}

std::uint32_t FileReaderWAVPCM::get_bitrate() {
  liba::Lock hold(lock);
  return Clamp32(static_cast<std::uint64_t>(info_.byte_rate) * 8);
}

std::uint32_t FileReaderWAVPCM::time_to_units(double seconds) {
  liba::Lock hold(lock);
  return Clamp32(static_cast<std::uint64_t>(seconds_to_count(info_.sample_rate * seconds)) * info_.block_align);
}

double FileReaderWAVPCM::units_to_time(std::uint32_t units) {
  liba::Lock hold(lock);
  if (info_.block_align == 0 || info_.sample_rate == 0) return 0.0;
  return static_cast<double>(units / info_.block_align) / info_.sample_rate;
}

std::uint32_t FileReaderWAVPCM::get_length() {
  liba::Lock hold(lock);
  return length_;
}

std::uint32_t FileReaderWAVPCM::get_position() {
  liba::Lock hold(lock);
  return position_;
}

void FileReaderWAVPCM::seek(std::uint32_t bytes) {
  liba::Lock hold(lock);
  if (!open) return;
  const std::uint32_t to = std::min(bytes - bytes % info_.block_align, length_);
  if (file.seek(info_.data_offset + to) != 0) position_ = to;
}

PCMData& FileReaderWAVPCM::get_data(PCMData& out, std::uint32_t frames) {
  liba::Lock hold(lock);
  out = PCMData();
  if (!open || position_ >= length_) return out;
  const std::uint32_t want =
      Clamp32(std::min<std::uint64_t>(static_cast<std::uint64_t>(frames) * info_.block_align, length_ - position_));
  if (want == 0) return out;
  SharedBuffer bytes(want);
  const std::uint32_t got = file.read(bytes.make_unique(), want);
  if (got != want) {
    // The file shrank or failed under us: stay at the last good position.
    file.seek(info_.data_offset + position_);
    return out;
  }
  position_ += got;
  out = PCMData(bytes, info_.channels, info_.bits_per_sample, info_.sample_rate);
  return out;
}

bool FileReaderWAVPCM::read(std::uint32_t bytes) {
  std::uint32_t frames = 0;
  {
    liba::Lock hold(lock);
    if (!open) return false;
    frames = bytes / info_.block_align;
  }
  while (frames > 0) {
    PCMData piece;
    get_data(piece, std::min(frames, kPCMReadFrames));
    const std::uint32_t got = piece.get_frames();
    if (got == 0) return false;
    push(piece);
    frames -= std::min(got, frames);
  }
  return true;
}

bool FileReaderWAVPCM::read_time(double seconds) { return read(time_to_units(seconds)); }

// MS ADPCM and GSM

template <typename Info, typename Block>
FileReaderWAVBlocks<Info, Block>::FileReaderWAVBlocks(const std::wstring& path) : FileReaderWAV(path) {
  open = read_wav_info(info_, file) && file.seek(info_.data_offset) != 0;
  if (!open) return;
  // A count of 0 is a recording whose header was never finished; a count
  // beyond the data is held to the blocks that are there, so the position
  // can reach the length. A count that ends inside a block ends the sound
  // there: the rest of that block is padding.
  const std::uint32_t stored = info_.data_size / info_.block_align;
  const std::uint64_t counted =
      (static_cast<std::uint64_t>(info_.fact_samples) + info_.samples_per_block - 1) / info_.samples_per_block;
  if (info_.fact_samples == 0 || counted > stored) {
    length_ = stored;
  } else {
    length_ = static_cast<std::uint32_t>(counted);
    tail_padding_ = static_cast<std::uint32_t>(counted * info_.samples_per_block - info_.fact_samples);
  }
}

template <typename Info, typename Block>
bool FileReaderWAVBlocks<Info, Block>::is_open() {
  liba::Lock hold(lock);
  return open;
}

template <typename Info, typename Block>
bool FileReaderWAVBlocks<Info, Block>::is_end() {
  liba::Lock hold(lock);
  return !open || block_position_ >= length_;
}

template <typename Info, typename Block>
std::uint32_t FileReaderWAVBlocks<Info, Block>::get_channels() {
  liba::Lock hold(lock);
  return info_.channels;
}

template <typename Info, typename Block>
std::uint32_t FileReaderWAVBlocks<Info, Block>::get_sample_rate() {
  liba::Lock hold(lock);
  return info_.sample_rate;
}

template <typename Info, typename Block>
std::uint32_t FileReaderWAVBlocks<Info, Block>::get_bitrate() {
  liba::Lock hold(lock);
  return Clamp32(static_cast<std::uint64_t>(info_.byte_rate) * 8);
}

template <typename Info, typename Block>
std::uint32_t FileReaderWAVBlocks<Info, Block>::time_to_units(double seconds) {
  liba::Lock hold(lock);
  if (info_.samples_per_block == 0) return 0;
  return seconds_to_count(info_.sample_rate * seconds / info_.samples_per_block);
}

template <typename Info, typename Block>
double FileReaderWAVBlocks<Info, Block>::units_to_time(std::uint32_t blocks) {
  liba::Lock hold(lock);
  if (info_.sample_rate == 0) return 0.0;
  return static_cast<double>(info_.samples_per_block) * blocks / info_.sample_rate;
}

template <typename Info, typename Block>
std::uint32_t FileReaderWAVBlocks<Info, Block>::get_length() {
  liba::Lock hold(lock);
  return length_;
}

template <typename Info, typename Block>
std::uint32_t FileReaderWAVBlocks<Info, Block>::get_position() {
  liba::Lock hold(lock);
  return block_position_;
}

template <typename Info, typename Block>
void FileReaderWAVBlocks<Info, Block>::seek(std::uint32_t blocks) {
  liba::Lock hold(lock);
  if (!open) return;
  const std::uint32_t to = std::min(blocks, length_);
  if (to == block_position_) return;
  if (file.seek(info_.data_offset + to * info_.block_align) != 0) block_position_ = to;
}

template <typename Info, typename Block>
Block& FileReaderWAVBlocks<Info, Block>::get_data(Block& out, std::uint32_t blocks) {
  liba::Lock hold(lock);
  out = Block();
  if (!open) return out;
  const std::uint32_t n = std::min(blocks, length_ - std::min(block_position_, length_));
  if (n == 0) return out;
  const std::uint32_t align = info_.block_align;
  // n blocks lie within the data, whose size fits 32 bits.
  SharedBuffer bytes(n * align);
  const std::uint32_t got = file.read(bytes.make_unique(), n * align);
  const std::uint32_t whole = got / align;
  block_position_ += whole;
  if (got % align != 0) file.seek(info_.data_offset + block_position_ * align);
  if (whole == 0) return out;
  out = make_block(SharedBuffer(bytes, 0, whole * align));
  if (block_position_ == length_) out.padding = tail_padding_;
  return out;
}

template <typename Info, typename Block>
bool FileReaderWAVBlocks<Info, Block>::read(std::uint32_t blocks) {
  std::uint32_t align = 0;
  {
    liba::Lock hold(lock);
    if (!open) return false;
    align = info_.block_align;
  }
  while (blocks > 0) {
    Block piece;
    get_data(piece, std::min(blocks, kBlockReadBlocks));
    const std::uint32_t got = piece.size() / align;
    if (got == 0) return false;
    this->push(piece);
    blocks -= std::min(got, blocks);
  }
  return true;
}

template <typename Info, typename Block>
bool FileReaderWAVBlocks<Info, Block>::read_time(double seconds) {
  {
    liba::Lock hold(lock);
    if (info_.samples_per_block == 0) return false;
  }
  return read(time_to_units(seconds));
}

template class FileReaderWAVBlocks<WAVInfoADPCM, ADPCMData>;
template class FileReaderWAVBlocks<WAVInfoGSM, GSMData>;

ADPCMData FileReaderWAVADPCM::make_block(const SharedBuffer& bytes) const {
  ADPCMData block;
  block.buffer = bytes;
  block.channels = info_.channels;
  block.bits = info_.bits_per_sample;
  block.rate = info_.sample_rate;
  block.block_align = info_.block_align;
  return block;
}

GSMData FileReaderWAVGSM::make_block(const SharedBuffer& bytes) const {
  GSMData block;
  block.buffer = bytes;
  return block;
}

}  // namespace audio
