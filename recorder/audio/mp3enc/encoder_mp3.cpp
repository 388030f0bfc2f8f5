#include <cstring>

#include "audio/mp3_encoder_stage.h"

namespace audio {

EncoderMP3::EncoderMP3(std::uint32_t bitrate) : bitrate_(bitrate) {}

EncoderMP3::~EncoderMP3() {
  liba::Lock hold(lock);
  finish_encoder();
}

MP3Data& EncoderMP3::get_data(MP3Data& out, std::uint32_t /*count*/) {
  out = MP3Data();
  return out;
}

void EncoderMP3::push_bytes(const std::uint8_t* bytes, std::int32_t count) {
  MP3Data block;
  block.buffer = SharedBuffer(bytes, static_cast<std::uint32_t>(count));
  block.frame_size = static_cast<std::uint32_t>(count);
  push(block);
}

void EncoderMP3::convert(const std::uint8_t* bytes, std::uint32_t samples) {
  for (std::uint32_t i = 0; i < samples; ++i) {
    if (bits_ == 16) {
      const std::uint8_t* f = bytes + i * 2 * channels_;
      left_[i] = static_cast<std::int16_t>(f[0] | (f[1] << 8));
      right_[i] = channels_ == 2 ? static_cast<std::int16_t>(f[2] | (f[3] << 8)) : 0;
    } else {
      const std::uint8_t* f = bytes + i * channels_;
      left_[i] = static_cast<std::int16_t>((f[0] - 128) * 256);
      right_[i] = channels_ == 2 ? static_cast<std::int16_t>((f[1] - 128) * 256) : 0;
    }
  }
}

void EncoderMP3::finish_encoder() {
  if (encoder_ == nullptr) return;
  // The samples of an unfinished frame are coded too, so a recording keeps
  // its last moments; then the flush gives the encoder's delay and the end.
  const std::uint32_t frame_bytes = channels_ * bits_ / 8;
  const std::uint32_t samples = pending_count_ / frame_bytes;
  if (samples > 0) {
    convert(pending_, samples);
    const std::int32_t n = mp3_encoder_encode(encoder_, left_, right_, static_cast<std::int32_t>(samples), output_,
                                              static_cast<std::int32_t>(sizeof output_));
    if (n > 0) push_bytes(output_, n);
  }
  pending_count_ = 0;
  const std::int32_t n = mp3_encoder_flush(encoder_, output_, static_cast<std::int32_t>(sizeof output_));
  if (n > 0) push_bytes(output_, n);
  mp3_encoder_release(encoder_);
  encoder_ = nullptr;
}

void EncoderMP3::on_data(const PCMData& block) {
  liba::Lock hold(lock);
  const std::uint32_t size = block.size();
  // Only 8- and 16-bit samples fit the frame buffer (a frame of 1152 stereo
  // 16-bit samples); wider samples are refused like any unusable format.
  if (size == 0 || block.rate == 0 || (block.bits != 8 && block.bits != 16) ||
      (block.channels != 1 && block.channels != 2))
    return;
  if (block.channels != channels_ || block.rate != rate_ || block.bits != bits_) {
    finish_encoder();
    channels_ = block.channels;
    rate_ = block.rate;
    bits_ = block.bits;
  }
  if (encoder_ == nullptr) {
    pending_count_ = 0;
    const auto rate = static_cast<std::int32_t>(rate_ > 0x7fffffffu ? 0x7fffffffu : rate_);
    encoder_ =
        mp3_encoder_create(rate, static_cast<std::int32_t>(channels_), static_cast<std::int32_t>(bitrate_ / 1000));
    if (encoder_ == nullptr) return;
  }
  const std::uint32_t samples = static_cast<std::uint32_t>(mp3_encoder_samples_per_frame(encoder_));
  const std::uint32_t frame = samples * (bits_ * channels_ / 8);
  const std::uint8_t* bytes = block.buffer.data();
  std::uint32_t consumed = 0;
  // A block that exactly completes a frame leaves it pending for the next.
  while (frame - pending_count_ + consumed < size) {
    const std::uint32_t take = frame - pending_count_;
    std::memcpy(pending_ + pending_count_, bytes + consumed, take);
    consumed += take;
    pending_count_ = 0;
    convert(pending_, samples);
    const std::int32_t n = mp3_encoder_encode(encoder_, left_, right_, static_cast<std::int32_t>(samples), output_,
                                              static_cast<std::int32_t>(sizeof output_));
    push_bytes(output_, n < 0 ? 0 : n);
  }
  std::memcpy(pending_ + pending_count_, bytes + consumed, size - consumed);
  pending_count_ += size - consumed;
}

}  // namespace audio
