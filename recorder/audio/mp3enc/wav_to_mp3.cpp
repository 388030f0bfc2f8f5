#include <algorithm>
#include <cstring>
#include <memory>

#include "audio/mp3_encoder.h"
#include "audio/mp3_encoder_wav.h"
#include "runtime/le_bytes.h"

namespace audio {
namespace {

using ks::runtime::LoadLe16;
using ks::runtime::LoadLe32;

struct Releaser {
  void operator()(MP3EncoderParams* p) const { mp3_encoder_release(p); }
};

// Sample frames handed to the encoder a call, and read from the file a
// block.
constexpr std::size_t kFramesPerCall = 1152;
constexpr std::size_t kFramesPerBlock = 16 * kFramesPerCall;

// Reads `size` bytes unless the file ends first: the count read, or -1.
std::int64_t read_full(WavToMp3Stream& stream, std::uint8_t* into, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const std::int64_t n = stream.read(into + got, size - got);
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(got);
}

// Reads and drops `size` bytes: true when all were there.
bool skip(WavToMp3Stream& stream, std::uint64_t size, std::vector<std::uint8_t>& scratch, bool& failed) {
  while (size > 0) {
    const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(size, scratch.size()));
    const std::int64_t n = read_full(stream, scratch.data(), part);
    if (n < 0) failed = true;
    if (n != static_cast<std::int64_t>(part)) return false;
    size -= part;
  }
  return true;
}

}  // namespace

WavToMp3Result encode_wav_stream_to_mp3(WavToMp3Stream& stream, std::int32_t bitrate_kbps, WavToMp3Info* info) {
  if (info != nullptr) *info = WavToMp3Info{};
  std::uint8_t head[12];
  std::int64_t n = read_full(stream, head, sizeof head);
  if (n < 0) return WavToMp3Result::kReadFailed;
  if (n < 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) {
    return WavToMp3Result::kBadWav;
  }
  // The chunks up to the data chunk; the last fmt chunk before it counts.
  std::vector<std::uint8_t> block(kFramesPerBlock * 4);
  std::uint8_t fmt[16] = {};
  std::uint32_t fmt_size = 0;
  bool have_fmt = false;
  std::uint32_t data_size = 0;
  for (;;) {
    std::uint8_t chunk[8];
    n = read_full(stream, chunk, sizeof chunk);
    if (n < 0) return WavToMp3Result::kReadFailed;
    if (n < 8) return WavToMp3Result::kBadWav;
    const std::uint32_t size = LoadLe32(chunk + 4);
    if (std::memcmp(chunk, "data", 4) == 0) {
      data_size = size;
      break;
    }
    // The rest of the chunk and its padding byte, which must be there.
    std::uint64_t rest = static_cast<std::uint64_t>(size) + (size & 1u);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      const std::size_t kept = std::min<std::size_t>(size, sizeof fmt);
      n = read_full(stream, fmt, kept);
      if (n < 0) return WavToMp3Result::kReadFailed;
      if (n < static_cast<std::int64_t>(kept)) return WavToMp3Result::kBadWav;
      fmt_size = size;
      have_fmt = true;
      rest -= kept;
    }
    bool failed = false;
    if (!skip(stream, rest, block, failed)) return failed ? WavToMp3Result::kReadFailed : WavToMp3Result::kBadWav;
  }
  if (!have_fmt || fmt_size < 16) return WavToMp3Result::kBadWav;
  const int format = LoadLe16(fmt), channels = LoadLe16(fmt + 2), bits = LoadLe16(fmt + 14);
  const std::int32_t rate = static_cast<std::int32_t>(std::min<std::uint32_t>(LoadLe32(fmt + 4), 1u << 30));
  if (format != 1 || bits != 16 || (channels != 1 && channels != 2)) return WavToMp3Result::kUnsupportedWav;

  std::unique_ptr<MP3EncoderParams, Releaser> enc(mp3_encoder_create(rate, channels, bitrate_kbps));
  if (!enc) return WavToMp3Result::kEncoderRefused;
  if (info != nullptr) {
    info->rate = static_cast<std::uint32_t>(rate);
    info->channels = static_cast<std::uint32_t>(channels);
  }
  const std::size_t frame_bytes = 2u * static_cast<unsigned>(channels);
  std::int16_t left[kFramesPerCall], right[kFramesPerCall];
  std::size_t taken = 0;  // frames in left and right
  std::vector<std::uint8_t> out(kMP3FlushBytes);
  const auto encode = [&]() {
    const std::int32_t got = mp3_encoder_encode(enc.get(), left, right, static_cast<std::int32_t>(taken), out.data(),
                                                static_cast<std::int32_t>(out.size()));
    if (info != nullptr) info->frames += taken;
    taken = 0;
    if (got < 0) return WavToMp3Result::kEncoderFailed;
    if (!stream.write(out.data(), static_cast<std::size_t>(got))) return WavToMp3Result::kWriteFailed;
    return WavToMp3Result::kOk;
  };
  // The data chunk a block at a time; a partial frame at the end of a block
  // waits at the start of the next.
  std::uint64_t left_to_read = data_size;
  std::size_t held = 0;
  while (left_to_read > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left_to_read, block.size() - held));
    n = read_full(stream, block.data() + held, want);
    if (n < 0) return WavToMp3Result::kReadFailed;
    left_to_read = n < static_cast<std::int64_t>(want) ? 0 : left_to_read - want;
    held += static_cast<std::size_t>(n);
    const std::size_t frames = held / frame_bytes;
    for (std::size_t i = 0; i < frames; ++i) {
      const std::uint8_t* f = block.data() + i * frame_bytes;
      left[taken] = static_cast<std::int16_t>(LoadLe16(f));
      right[taken] = channels == 2 ? static_cast<std::int16_t>(LoadLe16(f + 2)) : 0;
      if (++taken == kFramesPerCall) {
        const WavToMp3Result r = encode();
        if (r != WavToMp3Result::kOk) return r;
      }
    }
    const std::size_t used = frames * frame_bytes;
    std::memmove(block.data(), block.data() + used, held - used);
    held -= used;
  }
  if (taken > 0) {
    const WavToMp3Result r = encode();
    if (r != WavToMp3Result::kOk) return r;
  }
  const std::int32_t got = mp3_encoder_flush(enc.get(), out.data(), static_cast<std::int32_t>(out.size()));
  if (got < 0) return WavToMp3Result::kEncoderFailed;
  if (!stream.write(out.data(), static_cast<std::size_t>(got))) return WavToMp3Result::kWriteFailed;
  return WavToMp3Result::kOk;
}

WavToMp3Result encode_wav_to_mp3(const std::uint8_t* wav, std::size_t size, std::int32_t bitrate_kbps,
                                 std::vector<std::uint8_t>& mp3) {
  class Image : public WavToMp3Stream {
   public:
    Image(const std::uint8_t* bytes, std::size_t size, std::vector<std::uint8_t>& mp3)
        : bytes_(bytes), size_(bytes != nullptr ? size : 0), mp3_(mp3) {}
    std::int64_t read(std::uint8_t* into, std::size_t size) override {
      const std::size_t n = std::min(size, size_ - at_);
      if (n > 0) std::memcpy(into, bytes_ + at_, n);
      at_ += n;
      return static_cast<std::int64_t>(n);
    }
    bool write(const std::uint8_t* bytes, std::size_t size) override {
      mp3_.insert(mp3_.end(), bytes, bytes + size);
      return true;
    }

   private:
    const std::uint8_t* bytes_;
    std::size_t size_;
    std::size_t at_ = 0;
    std::vector<std::uint8_t>& mp3_;
  };
  mp3.clear();
  Image image(wav, size, mp3);
  const WavToMp3Result result = encode_wav_stream_to_mp3(image, bitrate_kbps);
  if (result != WavToMp3Result::kOk) mp3.clear();
  return result;
}

}  // namespace audio
