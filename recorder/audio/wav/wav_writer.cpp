#include "audio/wav_writer.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace audio {

namespace {

// How often the header's sizes are refreshed while recording, in seconds.
constexpr double kRefreshSeconds = 1.0;

// The largest position a 32-bit file size can describe.
constexpr std::uint64_t kMaxFileBytes = 0xFFFFFFFFull;

// A header made in memory, to be written to the file at once.
class HeaderImage : public liba::ResourceWriter {
 public:
  std::uint32_t write(const void* buffer, std::uint32_t count) override {
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    if (at_ + count > bytes.size()) bytes.resize(at_ + count);
    std::copy(p, p + count, bytes.begin() + at_);
    at_ += count;
    return count;
  }
  std::uint32_t get_size() override { return static_cast<std::uint32_t>(bytes.size()); }
  std::uint32_t seek(std::uint32_t position) override {
    at_ = std::min<std::size_t>(position, bytes.size());
    return 1;
  }
  std::uint32_t tell() override { return static_cast<std::uint32_t>(at_); }

  std::vector<std::uint8_t> bytes;

 private:
  std::size_t at_ = 0;
};

bool Patch32(os::File& file, std::uint32_t at, std::uint32_t value) {
  std::uint8_t b[4];
  for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(value >> (8 * i));
  return file.seek(at) != 0 && file.write(b, 4) == 4;
}

std::uint32_t Clamp32(std::uint64_t value) {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, kMaxFileBytes));
}

// The "fact" count of a block-coded file after a write: every stored block
// counts whole (padding that more blocks followed is played, so it is part
// of the recording), except the padding at the end of the last block.
std::uint32_t FactSamples(std::uint32_t blocks, std::uint32_t per_block, std::uint32_t padding) {
  const std::uint64_t samples = static_cast<std::uint64_t>(blocks) * per_block;
  return Clamp32(samples -
                 std::min<std::uint64_t>(blocks == 0 ? 0 : padding, std::min<std::uint64_t>(per_block, samples)));
}

}  // namespace

template <typename Info, typename Block>
FileWriterWAV<Info, Block>::FileWriterWAV(const std::wstring& path_, bool append, const Info& defaults)
    : info(defaults), path(path_) {
  if (!append) {
    ok = true;
    return;
  }
  appended_ = true;
  // Append never creates a file: a missing one stays missing.
  if (!os::File(path, 0).is_ok()) return;
  file = std::make_unique<os::File>(path, 3);
  const bool usable = file->is_ok() && read_wav_info(info, *file) &&
                      file->seek(info.data_offset + info.data_size) != 0 && file->is_ok();
  if (!usable) {
    // Nothing was written; dropping the file keeps the destructor off it.
    file.reset();
    info = defaults;
    return;
  }
  ok = true;
}

template <typename Info, typename Block>
FileWriterWAV<Info, Block>::~FileWriterWAV() {
  liba::Lock hold(this->lock);
  if (file) {
    update_header();
    file->close();
    file.reset();
  }
}

template <typename Info, typename Block>
bool FileWriterWAV<Info, Block>::is_open() {
  liba::Lock hold(this->lock);
  return ok;
}

template <typename Info, typename Block>
void FileWriterWAV<Info, Block>::on_data(const Block& block) {
  liba::Lock hold(this->lock);
  if (!ok) return;
  bool first = false;
  if (!file) {
    if (!configure(block)) return;
    file = std::make_unique<os::File>(path, 1);
    info.riff_size = 0;
    info.data_size = 0;
    ok = write_wav_info(info, *file);
    since_refresh_.restart();
    first = true;
  }
  if (!ok) return;
  ok = write_block(block);
  // The first block's sizes go into the header at once, so a recording cut
  // off before the next refresh is not read as empty.
  if (ok && (first || since_refresh_.elapsed() >= kRefreshSeconds)) {
    since_refresh_.restart();
    ok = update_header() && file->seek(info.data_offset + info.data_size) != 0;
  }
}

template <typename Info, typename Block>
bool FileWriterWAV<Info, Block>::write_units(const std::uint8_t* bytes, std::uint32_t size, std::uint32_t unit,
                                             std::uint32_t& whole) {
  whole = 0;
  if (unit == 0) return false;
  if (static_cast<std::uint64_t>(info.data_offset) + info.data_size + size > kMaxFileBytes) return false;
  if (size == 0) return true;
  const std::uint32_t written = file->write(bytes, size);
  whole = written / unit;
  info.data_size += whole * unit;
  if (written % unit != 0) {
    file->seek(info.data_offset + info.data_size);
    return false;
  }
  return written == size;
}

template <typename Info, typename Block>
bool FileWriterWAV<Info, Block>::update_header() {
  // RIFF pads a chunk of odd size with one byte, counted in the RIFF size;
  // the next block written goes over it.
  const std::uint32_t pad = info.data_size & 1u;
  info.riff_size = info.data_offset + info.data_size + pad - 8;
  if (pad != 0) {
    const std::uint8_t zero = 0;
    if (file->seek(info.data_offset + info.data_size) == 0 || file->write(&zero, 1) != 1) return false;
  }
  if (!appended_) {
    // The whole header in one write, so the RIFF and data sizes change
    // together.
    HeaderImage image;
    return write_wav_info(info, image) && file->seek(0) != 0 &&
           file->write(image.bytes.data(), static_cast<std::uint32_t>(image.bytes.size())) == image.bytes.size();
  }
  bool done = Patch32(*file, 4, info.riff_size) && Patch32(*file, info.data_offset - 4, info.data_size);
  if constexpr (requires { info.fact_samples; }) {
    done = done && Patch32(*file, info.fact_offset, info.fact_samples);
  }
  return done;
}

template class FileWriterWAV<WAVInfoPCM, PCMData>;
template class FileWriterWAV<WAVInfoADPCM, ADPCMData>;
template class FileWriterWAV<WAVInfoGSM, GSMData>;

// PCM

namespace {

WAVInfoPCM PCMDefaults() {
  WAVInfoPCM info;
  info.format_tag = WAVE_FORMAT_PCM;
  info.fmt_size = 16;
  info.data_offset = 44;
  return info;
}

}  // namespace

FileWriterWAVPCM::FileWriterWAVPCM(const std::wstring& path_, bool append)
    : FileWriterWAV(path_, append, PCMDefaults()) {
  if (file) frames_ = info.data_size / info.block_align;
}

bool FileWriterWAVPCM::configure(const PCMData& first) {
  const std::uint64_t align = static_cast<std::uint64_t>(first.channels) * ((first.bits + 7) / 8);
  const std::uint64_t byte_rate = align * first.rate;
  if (align == 0 || align > 0xFFFF || first.rate == 0 || byte_rate > kMaxFileBytes) return false;
  info.channels = first.channels;
  info.bits_per_sample = first.bits;
  info.sample_rate = first.rate;
  info.block_align = static_cast<std::uint16_t>(align);
  info.byte_rate = static_cast<std::uint32_t>(byte_rate);
  return true;
}

bool FileWriterWAVPCM::write_block(const PCMData& block) {
  if (block.channels != info.channels || block.bits != info.bits_per_sample || block.rate != info.sample_rate)
    return true;
  const std::uint32_t align = info.block_align;
  std::uint32_t whole = 0;
  const bool done = write_units(block.buffer.data(), block.size() / align * align, align, whole);
  frames_ += whole;
  return done;
}

std::uint32_t FileWriterWAVPCM::get_written() {
  liba::Lock hold(lock);
  return Clamp32(static_cast<std::uint64_t>(info.block_align) * frames_);
}

std::uint32_t FileWriterWAVPCM::get_bitrate() {
  liba::Lock hold(lock);
  return Clamp32(static_cast<std::uint64_t>(info.byte_rate) * 8);
}

// MS ADPCM

namespace {

WAVInfoADPCM ADPCMDefaults() {
  WAVInfoADPCM info;
  info.format_tag = WAVE_FORMAT_ADPCM;
  info.bits_per_sample = 4;
  info.fmt_size = 50;
  info.data_offset = 90;
  info.coefficients.assign(std::begin(kADPCMStandardCoefficients), std::end(kADPCMStandardCoefficients));
  info.coefficient_count = 7;
  return info;
}

// Samples per channel in one block of `align` bytes; 0 when the block
// cannot hold the per-channel headers.
std::uint32_t ADPCMSamplesPerBlock(std::uint32_t align, std::uint32_t channels, std::uint32_t bits) {
  if (channels == 0 || bits == 0 || align < 7 * channels) return 0;
  return (align - 7 * channels) * 8 / (bits * channels) + 2;
}

}  // namespace

FileWriterWAVADPCM::FileWriterWAVADPCM(const std::wstring& path_, bool append)
    : FileWriterWAV(path_, append, ADPCMDefaults()) {
  if (file) blocks_ = info.data_size / info.block_align;
}

bool FileWriterWAVADPCM::configure(const ADPCMData& first) {
  if (first.channels != 1 && first.channels != 2) return false;
  if (first.bits != 4 || first.rate == 0 || first.block_align > 0xFFFF) return false;
  const std::uint32_t per_block = ADPCMSamplesPerBlock(first.block_align, first.channels, first.bits);
  if (per_block == 0 || per_block > 0xFFFF) return false;
  info.channels = first.channels;
  info.sample_rate = first.rate;
  info.block_align = static_cast<std::uint16_t>(first.block_align);
  info.samples_per_block = static_cast<std::uint16_t>(per_block);
  info.byte_rate = static_cast<std::uint32_t>(static_cast<std::uint64_t>(first.rate) * first.block_align / per_block);
  return true;
}

bool FileWriterWAVADPCM::write_block(const ADPCMData& block) {
  if (block.channels != info.channels || block.bits != info.bits_per_sample || block.rate != info.sample_rate ||
      block.block_align != info.block_align)
    return true;
  const std::uint32_t align = info.block_align;
  const std::uint32_t count = block.size() / align;
  std::uint32_t whole = 0;
  const bool done = write_units(block.buffer.data(), count * align, align, whole);
  blocks_ += whole;
  info.fact_samples = FactSamples(blocks_, info.samples_per_block, whole == count ? block.padding : 0);
  return done;
}

std::uint32_t FileWriterWAVADPCM::get_written() {
  liba::Lock hold(lock);
  return Clamp32(static_cast<std::uint64_t>(info.block_align) * blocks_);
}

// GSM 06.10

namespace {

WAVInfoGSM GSMDefaults() {
  WAVInfoGSM info;
  info.format_tag = WAVE_FORMAT_GSM610;
  info.byte_rate = 1625;
  info.fmt_size = 20;
  info.data_offset = 60;
  info.bits_per_sample = 0;
  info.block_align = GSMData::kBlockBytes;
  info.channels = 1;
  info.sample_rate = 8000;
  info.samples_per_block = 320;
  return info;
}

}  // namespace

FileWriterWAVGSM::FileWriterWAVGSM(const std::wstring& path_, bool append)
    : FileWriterWAV(path_, append, GSMDefaults()) {
  if (file) blocks_ = info.data_size / info.block_align;
}

bool FileWriterWAVGSM::configure(const GSMData& /*first*/) { return true; }

bool FileWriterWAVGSM::write_block(const GSMData& block) {
  constexpr std::uint32_t align = GSMData::kBlockBytes;
  const std::uint32_t count = block.size() / align;
  std::uint32_t whole = 0;
  const bool done = write_units(block.buffer.data(), count * align, align, whole);
  // Counted on: the header's sizes describe every block stored so far.
  blocks_ += whole;
  info.fact_samples = FactSamples(blocks_, info.samples_per_block, whole == count ? block.padding : 0);
  return done;
}

std::uint32_t FileWriterWAVGSM::get_written() {
  liba::Lock hold(lock);
  return Clamp32(static_cast<std::uint64_t>(GSMData::kBlockBytes) * blocks_);
}

}  // namespace audio
