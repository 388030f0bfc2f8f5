#include <tremor/ivorbisfile.h>

#include <algorithm>
#include <cstdint>

#include "audio/vorbis_decoder.h"
#include "frame_units.h"

namespace audio {

struct DecoderVorbis::Library {
  OggVorbis_File file;
};

namespace {

std::uint32_t clamp_to_u32(std::int64_t value) {
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 0, 0xFFFFFFFF));
}

}  // namespace

std::size_t DecoderVorbis::file_read(void* buffer, std::size_t size, std::size_t count, void* file) {
  if (size == 0 || count == 0) return 0;
  const std::uint64_t want = std::min<std::uint64_t>(std::uint64_t{size} * count, 0x7FFFFFFF);
  const std::uint32_t got = static_cast<os::File*>(file)->read(buffer, static_cast<std::uint32_t>(want));
  return got / size;
}

int DecoderVorbis::file_seek(void* file, std::int64_t offset, int origin) {
  os::File& f = *static_cast<os::File*>(file);
  std::int64_t target = 0;
  switch (origin) {
    case 0:
      target = offset;
      break;
    case 1:
      target = offset + f.tell();
      break;
    case 2:
      target = offset + f.get_size();
      break;
    default:
      return 0;
  }
  f.seek(clamp_to_u32(target));
  return 0;
}

int DecoderVorbis::file_close(void* /*file*/) { return 0; }

long DecoderVorbis::file_tell(void* file) { return static_cast<long>(static_cast<os::File*>(file)->tell()); }

DecoderVorbis::DecoderVorbis(const std::wstring& path) : file_(path, 0) {
  if (!file_.is_ok()) return;
  library_ = new Library{};
  const ov_callbacks callbacks = {file_read, file_seek, file_close, file_tell};
  if (ov_open_callbacks(&file_, &library_->file, nullptr, 0, callbacks) < 0) {
    delete library_;
    library_ = nullptr;
    return;
  }
  const vorbis_info* info = ov_info(&library_->file, -1);
  if (info == nullptr || info->channels <= 0 || info->channels > 2 || info->rate <= 0) {
    ov_clear(&library_->file);
    delete library_;
    library_ = nullptr;
    return;
  }
  channels_ = static_cast<std::uint32_t>(info->channels);
  sample_rate_ = clamp_to_u32(info->rate);
  // The library divides by the stream's duration: a stream it finds no
  // length for (a cut file) has no average bitrate.
  if (ov_time_total(&library_->file, -1) > 0) bitrate_ = clamp_to_u32(ov_bitrate(&library_->file, -1));
}

DecoderVorbis::~DecoderVorbis() {
  if (library_ != nullptr) ov_clear(&library_->file);
  delete library_;
}

PCMData& DecoderVorbis::get_data(PCMData& out, std::uint32_t count) {
  liba::Lock hold(lock_);
  out = PCMData();
  if (library_ == nullptr) return out;
  const std::uint32_t frames = std::min(count, kMaxFrames);
  const std::uint32_t capacity = channels_ * frames * 2;
  SharedBuffer bytes(capacity);
  int bitstream = 0;
  // 16-bit interleaved samples in the host's byte order, which is little-endian
  // on every machine this runs on.
  const long got = capacity == 0 ? 0
                                 : ov_read(&library_->file, reinterpret_cast<char*>(bytes.make_unique()),
                                           static_cast<int>(capacity), &bitstream);
  if (got < 0) {
    stopped_ = true;
    return out;
  }
  if (got == 0 && capacity != 0) stopped_ = true;
  // A chained file may change its format between links: the bytes carry the
  // format of the link they came from.
  std::uint32_t channels = channels_;
  std::uint32_t rate = sample_rate_;
  if (const vorbis_info* info = ov_info(&library_->file, -1)) {
    if (info->channels >= 1 && info->channels <= 2 && info->rate > 0) {
      channels = static_cast<std::uint32_t>(info->channels);
      rate = clamp_to_u32(info->rate);
    }
  }
  out = PCMData(SharedBuffer(bytes, 0, static_cast<std::uint32_t>(std::min<long>(got, capacity))), channels, 16, rate);
  return out;
}

bool DecoderVorbis::is_open() {
  liba::Lock hold(lock_);
  return library_ != nullptr;
}

bool DecoderVorbis::is_end() {
  liba::Lock hold(lock_);
  if (library_ == nullptr) return true;
  return stopped_ || ov_pcm_tell(&library_->file) == ov_pcm_total(&library_->file, -1);
}

std::uint32_t DecoderVorbis::get_channels() { return channels_; }
std::uint32_t DecoderVorbis::get_sample_rate() { return sample_rate_; }
std::uint32_t DecoderVorbis::get_bitrate() { return bitrate_; }
std::uint32_t DecoderVorbis::time_to_units(double seconds) { return frame_units::to_units(get_sample_rate(), seconds); }
double DecoderVorbis::units_to_time(std::uint32_t units) { return frame_units::to_time(get_sample_rate(), units); }

std::uint32_t DecoderVorbis::get_length() {
  liba::Lock hold(lock_);
  if (library_ == nullptr) return 0;
  return clamp_to_u32(ov_pcm_total(&library_->file, -1));
}

std::uint32_t DecoderVorbis::get_position() {
  liba::Lock hold(lock_);
  if (library_ == nullptr) return 0;
  if (stopped_) return clamp_to_u32(ov_pcm_total(&library_->file, -1));
  return clamp_to_u32(ov_pcm_tell(&library_->file));
}

void DecoderVorbis::seek(std::uint32_t units) {
  liba::Lock hold(lock_);
  if (library_ == nullptr) return;
  ov_pcm_seek(&library_->file, units);
  stopped_ = false;
}

bool DecoderVorbis::read_time(double seconds) { return read(time_to_units(seconds)); }

bool DecoderVorbis::read(std::uint32_t units) { return frame_units::read(*this, is_open(), units); }

}  // namespace audio
