// Gathering and splitting for block codecs: an encoder collects PCM of any
// block size into exactly one encoded block's worth and encodes it; a decoder
// decodes whole encoded units and hands out as many frames as are asked for.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "audio/link.h"
#include "liba/nocopy.h"

namespace audio {

template <typename T>
class BlockEncoderPCM : public Consumer<PCMData>, public Provider<T>, private liba::Nocopy {
 public:
  void on_data(const PCMData& block) override {
    liba::Lock hold(Consumer<PCMData>::lock);
    if (gather_.size() == 0) {
      get_block_format(gather_, block);
      fill_ = 0;
    }
    if (gather_.size() == 0 || !block.same_format(gather_)) return;
    std::uint32_t used = 0;
    while (used < block.size()) {
      used += take(gather_, fill_, block, used);
      if (fill_ == gather_.size()) {
        T encoded;
        encode_block(encoded, gather_);
        fill_ = 0;
        this->push(encoded);
      }
    }
  }

  // Pads a partly filled block with silence, encodes it and pushes it marked
  // with the frames of padding, so a recording keeps its last samples and
  // its true length; the record chain calls this before it lets the encoder
  // go.
  void flush() {
    liba::Lock hold(Consumer<PCMData>::lock);
    if (gather_.size() == 0 || fill_ == 0) return;
    const std::uint32_t missing = gather_.size() - fill_;
    std::memset(gather_.buffer.make_unique() + fill_, gather_.bits == 8 ? 0x80 : 0, missing);
    fill_ = 0;
    T encoded;
    encode_block(encoded, gather_);
    encoded.padding = gather_.frame_size() == 0 ? 0 : missing / gather_.frame_size();
    this->push(encoded);
  }

  // Gathers by pulling PCM from upstream until one block is full. When the
  // upstream runs dry the partial block is kept for the next call and the
  // answer is empty.
  T& get_data(T& out, std::uint32_t /*count*/) override {
    liba::Lock hold(Consumer<PCMData>::lock);
    out = T();
    for (;;) {
      PCMData in;
      const std::uint32_t frames = pull_gather_.size() == 0 ? 4096 : missing_frames();
      this->pull(in, frames);
      if (in.size() == 0) return out;
      if (pull_gather_.size() == 0) {
        get_block_format(pull_gather_, in);
        pull_fill_ = 0;
        if (pull_gather_.size() == 0) return out;
      }
      if (!in.same_format(pull_gather_)) continue;
      std::uint32_t used = 0;
      while (used < in.size()) {
        used += take(pull_gather_, pull_fill_, in, used);
        if (pull_fill_ == pull_gather_.size()) {
          encode_block(out, pull_gather_);
          pull_fill_ = 0;
          // Samples beyond one block are dropped: the pull asks for exactly
          // what is missing, so this only happens with an oversized answer.
          return out;
        }
      }
    }
  }

 protected:
  virtual void encode_block(T& out, const PCMData& in) = 0;
  // A fresh block of exactly one encoded block's worth of PCM in the input's
  // format, or a block of size 0 when the codec refuses the format.
  virtual void get_block_format(PCMData& out, const PCMData& in) = 0;

 private:
  // Copies as much of `in` from `offset` as fits into `gather`; returns the
  // bytes taken.
  static std::uint32_t take(PCMData& gather, std::uint32_t& fill, const PCMData& in, std::uint32_t offset) {
    const std::uint32_t piece = std::min(gather.size() - fill, in.size() - offset);
    std::memcpy(gather.buffer.make_unique() + fill, in.buffer.data() + offset, piece);
    fill += piece;
    return piece;
  }
  std::uint32_t missing_frames() const {
    const std::uint32_t frame = pull_gather_.frame_size();
    return frame == 0 ? 0 : (pull_gather_.size() - pull_fill_) / frame;
  }

  PCMData gather_;
  std::uint32_t fill_ = 0;
  PCMData pull_gather_;
  std::uint32_t pull_fill_ = 0;
};

template <typename T>
class BlockDecoderPCM : public Provider<PCMData>, public Consumer<T>, private liba::Nocopy {
 public:
  // Push side: each encoded block is decoded and pushed on whole.
  // A block's padding frames are cut from the end of its decoded samples.
  void on_data(const T& block) override {
    liba::Lock hold(Consumer<T>::lock);
    PCMData decoded;
    decode_block(decoded, block);
    drop_padding(decoded, padding_of(block));
    this->push(decoded);
  }

  PCMData& get_data(PCMData& out, std::uint32_t frames) override {
    liba::Lock hold(Consumer<T>::lock);
    while (pending_.size() == 0) {
      T encoded;
      this->pull(encoded, count_blocks(frames));
      if (encoded.size() == 0) break;
      decode_block(pending_, encoded);
      drop_padding(pending_, padding_of(encoded));
    }
    const std::uint32_t frame = pending_.frame_size();
    if (pending_.size() == 0 || frame == 0) {
      pending_ = PCMData();
      out = PCMData();
      return out;
    }
    const std::uint64_t wanted = static_cast<std::uint64_t>(frames) * frame;
    const std::uint32_t give = static_cast<std::uint32_t>(std::min<std::uint64_t>(wanted, pending_.size()));
    out = PCMData(SharedBuffer(pending_.buffer, 0, give), pending_.channels, pending_.bits, pending_.rate);
    pending_.buffer = SharedBuffer(pending_.buffer, give, pending_.size() - give);
    return out;
  }

 protected:
  virtual void decode_block(PCMData& out, const T& in) = 0;
  // Encoded units to pull for a request of that many frames.
  virtual std::uint32_t count_blocks(std::uint32_t frames) = 0;

 private:
  static std::uint32_t padding_of(const T& block) {
    if constexpr (requires { block.padding; }) {
      return block.padding;
    } else {
      return 0;
    }
  }
  static void drop_padding(PCMData& decoded, std::uint32_t frames) {
    const std::uint64_t cut = static_cast<std::uint64_t>(frames) * decoded.frame_size();
    if (cut == 0) return;
    if (cut >= decoded.size()) {
      decoded = PCMData();
      return;
    }
    decoded.buffer = SharedBuffer(decoded.buffer, 0, decoded.size() - static_cast<std::uint32_t>(cut));
  }

  PCMData pending_;
};

}  // namespace audio
