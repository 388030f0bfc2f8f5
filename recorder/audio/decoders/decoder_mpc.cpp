#include <mpc/mpcdec.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "audio/mpc_decoder.h"
#include "frame_units.h"

namespace audio {

struct DecoderMPC::Library {
  mpc_reader reader;
  mpc_streaminfo info;
  mpc_demux* demux = nullptr;
  MPC_SAMPLE_FORMAT samples[MPC_DECODER_BUFFER_LENGTH];
};

namespace {

os::File& file_of(mpc_reader* reader) { return *static_cast<os::File*>(reader->data); }

mpc_int32_t reader_read(mpc_reader* reader, void* buffer, mpc_int32_t size) {
  if (size <= 0) return 0;
  return static_cast<mpc_int32_t>(file_of(reader).read(buffer, static_cast<std::uint32_t>(size)));
}

mpc_bool_t reader_seek(mpc_reader* reader, mpc_int32_t offset) {
  if (offset < 0) return MPC_FALSE;
  return file_of(reader).seek(static_cast<std::uint32_t>(offset)) != 0 ? MPC_TRUE : MPC_FALSE;
}

mpc_int32_t reader_tell(mpc_reader* reader) {
  return static_cast<mpc_int32_t>(std::min<std::uint32_t>(file_of(reader).tell(), 0x7FFFFFFF));
}

mpc_int32_t reader_get_size(mpc_reader* reader) {
  return static_cast<mpc_int32_t>(std::min<std::uint32_t>(file_of(reader).get_size(), 0x7FFFFFFF));
}

mpc_bool_t reader_can_seek(mpc_reader* /*reader*/) { return MPC_TRUE; }

std::int16_t to_16_bits(MPC_SAMPLE_FORMAT sample) {
#ifdef MPC_FIXED_POINT
  const std::int32_t v = sample >> 14;
  return static_cast<std::int16_t>(std::clamp<std::int32_t>(v, -32768, 32767));
#else
  // Float samples are 1.0 at full scale. NaN fails both tests and ends low.
  const float v = sample * 32768.0f;
  if (!(v > -32768.0f)) return -32768;
  if (v >= 32767.0f) return 32767;
  return static_cast<std::int16_t>(v);
#endif
}

// Frames that carry no samples are passed over, but never without bound.
constexpr int kEmptyFramesAllowed = 64;

}  // namespace

DecoderMPC::DecoderMPC(const std::wstring& path) : file_(path, 0) {
  if (!file_.is_ok()) return;
  library_ = new Library{};
  library_->reader.read = reader_read;
  library_->reader.seek = reader_seek;
  library_->reader.tell = reader_tell;
  library_->reader.get_size = reader_get_size;
  library_->reader.canseek = reader_can_seek;
  library_->reader.data = &file_;
  library_->demux = mpc_demux_init(&library_->reader);
  if (library_->demux == nullptr) return;
  mpc_demux_get_info(library_->demux, &library_->info);
  const mpc_int64_t samples = mpc_streaminfo_get_length_samples(&library_->info);
  if (library_->info.channels == 0 || library_->info.channels > 2 || library_->info.sample_freq == 0) return;
  channels_ = library_->info.channels;
  sample_rate_ = library_->info.sample_freq;
  const double average = library_->info.average_bitrate;
  bitrate_ = average > 0.0 && average < 4294967295.0 ? static_cast<std::uint32_t>(average) : 0;
  // A header may claim any length, but no frame takes less than a bit of the
  // file: a longer claim is broken, and seeking into it would make the
  // library read on past the end for every frame claimed.
  const mpc_int64_t most = std::min<mpc_int64_t>(mpc_int64_t{file_.get_size()} * 8 * MPC_FRAME_LENGTH, 0xFFFFFFFF);
  length_ = static_cast<std::uint32_t>(std::clamp<mpc_int64_t>(samples, 0, most));
}

DecoderMPC::~DecoderMPC() {
  if (library_ != nullptr && library_->demux != nullptr) mpc_demux_exit(library_->demux);
  delete library_;
}

PCMData& DecoderMPC::get_data(PCMData& out, std::uint32_t count) {
  liba::Lock hold(lock_);
  out = PCMData();
  if (channels_ == 0) return out;
  if (pending_.size() == 0) {
    mpc_frame_info frame{};
    for (int tries = 0;; ++tries) {
      frame.buffer = library_->samples;
      const mpc_status status = mpc_demux_decode(library_->demux, &frame);
      if (status != MPC_STATUS_OK || frame.bits == -1 || tries == kEmptyFramesAllowed) {
        // The stream stopped, at its end or on an error: the position meets
        // the length, so the end shows.
        position_ = length_;
        return out;
      }
      if (frame.samples != 0) break;
    }
    const std::uint32_t n = std::min<std::uint32_t>(frame.samples, MPC_DECODER_BUFFER_LENGTH / channels_);
    const std::uint32_t total = n * channels_;
    SharedBuffer bytes(total * 2);
    std::uint8_t* p = bytes.make_unique();
    for (std::uint32_t i = 0; i < total; ++i) {
      const std::uint16_t v = static_cast<std::uint16_t>(to_16_bits(library_->samples[i]));
      p[2 * i] = static_cast<std::uint8_t>(v);
      p[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    pending_ = PCMData(bytes, channels_, 16, sample_rate_);
    position_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{position_} + n, 0xFFFFFFFFu));
  }
  const std::uint64_t wanted = std::uint64_t{count} * pending_.frame_size();
  const std::uint32_t take = static_cast<std::uint32_t>(std::min<std::uint64_t>(wanted, pending_.size()));
  out = PCMData(SharedBuffer(pending_.buffer, 0, take), pending_.channels, pending_.bits, pending_.rate);
  pending_.buffer = SharedBuffer(pending_.buffer, take, pending_.size() - take);
  return out;
}

bool DecoderMPC::is_open() {
  liba::Lock hold(lock_);
  return channels_ != 0;
}

bool DecoderMPC::is_end() {
  liba::Lock hold(lock_);
  return channels_ == 0 || position_ >= length_;
}

std::uint32_t DecoderMPC::get_channels() { return channels_; }
std::uint32_t DecoderMPC::get_sample_rate() { return sample_rate_; }
std::uint32_t DecoderMPC::get_bitrate() { return bitrate_; }
std::uint32_t DecoderMPC::time_to_units(double seconds) { return frame_units::to_units(get_sample_rate(), seconds); }
double DecoderMPC::units_to_time(std::uint32_t units) { return frame_units::to_time(get_sample_rate(), units); }

std::uint32_t DecoderMPC::get_length() {
  liba::Lock hold(lock_);
  return length_;
}

std::uint32_t DecoderMPC::get_position() {
  liba::Lock hold(lock_);
  return position_;
}

void DecoderMPC::seek(std::uint32_t units) {
  liba::Lock hold(lock_);
  if (channels_ == 0) return;
  position_ = std::min(units, length_);
  mpc_demux_seek_sample(library_->demux, position_);
}

bool DecoderMPC::read_time(double seconds) { return read(time_to_units(seconds)); }

bool DecoderMPC::read(std::uint32_t units) { return frame_units::read(*this, is_open(), units); }

}  // namespace audio
