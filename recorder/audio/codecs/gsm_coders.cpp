#include "audio/gsm_coders.h"

#include <gsm.h>

#include <cstring>
#include <limits>

namespace audio {
namespace {

// A coder state with the WAV49 packing switched on; null when libgsm cannot
// make one or lacks the packing.
gsm_state* create_state() {
  gsm state = gsm_create();
  if (state == nullptr) return nullptr;
  int one = 1;
  gsm_option(state, GSM_OPT_WAV49, &one);
  if (gsm_option(state, GSM_OPT_WAV49, nullptr) != 1) {
    gsm_destroy(state);
    return nullptr;
  }
  return state;
}

}  // namespace

EncoderGSM::EncoderGSM() : state_(create_state()) {}

EncoderGSM::~EncoderGSM() {
  // A block being encoded on another thread ends before the state goes.
  liba::Lock hold(Consumer<PCMData>::lock);
  if (state_ != nullptr) gsm_destroy(state_);
}

void EncoderGSM::get_block_format(PCMData& out, const PCMData& in) {
  if (state_ == nullptr || in.bits != 16 || in.channels != 1 || in.rate != gsm_sample_rate) {
    out = PCMData();
    return;
  }
  out = PCMData(SharedBuffer(gsm_block_samples * 2), 1, 16, gsm_sample_rate);
}

void EncoderGSM::encode_block(GSMData& out, const PCMData& in) {
  gsm_signal samples[gsm_block_samples];
  const std::uint8_t* bytes = in.buffer.data();
  for (std::uint32_t i = 0; i < gsm_block_samples; ++i) {
    samples[i] = static_cast<gsm_signal>(static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
  }
  out.buffer = SharedBuffer(gsm_block_bytes);
  std::uint8_t* block = out.buffer.make_unique();
  // The first frame fills 32 bytes and half of the next; the second frame
  // completes that byte and fills the rest.
  gsm_encode(state_, samples, block);
  gsm_encode(state_, samples + gsm_frame_samples, block + 32);
}

DecoderGSM::DecoderGSM() : state_(create_state()) {}

DecoderGSM::~DecoderGSM() {
  liba::Lock hold(Consumer<GSMData>::lock);
  if (state_ != nullptr) gsm_destroy(state_);
}

std::uint32_t DecoderGSM::count_blocks(std::uint32_t frames) {
  return static_cast<std::uint32_t>((std::uint64_t{frames} + gsm_frame_samples - 1) / gsm_frame_samples);
}

void DecoderGSM::decode_block(PCMData& out, const GSMData& in) {
  const std::uint32_t blocks = in.size() / gsm_block_bytes;
  const std::uint64_t bytes = std::uint64_t{blocks} * gsm_block_samples * 2;
  if (state_ == nullptr || blocks == 0 || bytes > std::numeric_limits<std::uint32_t>::max()) {
    out = PCMData();
    return;
  }
  out = PCMData(SharedBuffer(static_cast<std::uint32_t>(bytes)), 1, 16, gsm_sample_rate);
  std::uint8_t* target = out.buffer.make_unique();
  std::memset(target, 0, out.size());
  for (std::uint32_t b = 0; b < blocks; ++b) {
    // libgsm takes non-const bytes; decode from a copy of the block.
    gsm_byte block[gsm_block_bytes];
    std::memcpy(block, in.buffer.data() + std::size_t{b} * gsm_block_bytes, gsm_block_bytes);
    for (std::uint32_t half = 0; half < 2; ++half) {
      gsm_signal samples[gsm_frame_samples];
      // Both halves are always decoded, so the state stays paired; a frame
      // libgsm refuses stays silent.
      if (gsm_decode(state_, block + 33 * half, samples) < 0) continue;
      std::uint8_t* p = target + (std::size_t{b} * gsm_block_samples + half * gsm_frame_samples) * 2;
      for (std::uint32_t i = 0; i < gsm_frame_samples; ++i) {
        p[2 * i] = static_cast<std::uint8_t>(samples[i] & 0xFF);
        p[2 * i + 1] = static_cast<std::uint8_t>((samples[i] >> 8) & 0xFF);
      }
    }
  }
}

}  // namespace audio
