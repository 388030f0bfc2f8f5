#include <algorithm>
#include <memory>

#include "audio/mp3_encoder.h"
#include "audio/mp3_encoder_wav.h"

namespace audio {
namespace {

std::uint32_t le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

struct Releaser {
  void operator()(MP3EncoderParams* p) const { mp3_encoder_release(p); }
};

}  // namespace

WavToMp3Result encode_wav_to_mp3(const std::uint8_t* wav, std::size_t size, std::int32_t bitrate_kbps,
                                 std::vector<std::uint8_t>& mp3) {
  mp3.clear();
  if (wav == nullptr || size < 12 || std::equal(wav, wav + 4, "RIFF") == false ||
      std::equal(wav + 8, wav + 12, "WAVE") == false)
    return WavToMp3Result::kBadWav;
  const std::uint8_t* fmt = nullptr;
  std::size_t fmt_size = 0;
  const std::uint8_t* data = nullptr;
  std::size_t data_size = 0;
  std::size_t pos = 12;
  while (pos + 8 <= size && data == nullptr) {
    const std::uint32_t chunk = le32(wav + pos + 4);
    const std::size_t body = pos + 8;
    const std::size_t avail = size - body;
    if (std::equal(wav + pos, wav + pos + 4, "fmt ")) {
      if (chunk > avail) return WavToMp3Result::kBadWav;
      fmt = wav + body;
      fmt_size = chunk;
    } else if (std::equal(wav + pos, wav + pos + 4, "data")) {
      data = wav + body;
      data_size = std::min<std::size_t>(chunk, avail);
    }
    if (chunk > avail) break;
    pos = body + chunk + (chunk & 1);
  }
  if (fmt == nullptr || fmt_size < 16 || data == nullptr) return WavToMp3Result::kBadWav;
  const int format = le16(fmt), channels = le16(fmt + 2), bits = le16(fmt + 14);
  const std::int32_t rate = static_cast<std::int32_t>(std::min<std::uint32_t>(le32(fmt + 4), 1u << 30));
  if (format != 1 || bits != 16 || (channels != 1 && channels != 2)) return WavToMp3Result::kUnsupportedWav;

  std::unique_ptr<MP3EncoderParams, Releaser> enc(mp3_encoder_create(rate, channels, bitrate_kbps));
  if (!enc) return WavToMp3Result::kEncoderRefused;
  const std::size_t frames = data_size / (2u * static_cast<unsigned>(channels));
  std::vector<std::int16_t> left(1152), right(1152);
  std::vector<std::uint8_t> out(kMP3FlushBytes);
  for (std::size_t done = 0; done < frames;) {
    const std::size_t n = std::min<std::size_t>(1152, frames - done);
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint8_t* f = data + (done + i) * 2u * static_cast<unsigned>(channels);
      left[i] = static_cast<std::int16_t>(le16(f));
      right[i] = channels == 2 ? static_cast<std::int16_t>(le16(f + 2)) : 0;
    }
    done += n;
    const std::int32_t got = mp3_encoder_encode(enc.get(), left.data(), right.data(), static_cast<std::int32_t>(n),
                                                out.data(), static_cast<std::int32_t>(out.size()));
    if (got < 0) return WavToMp3Result::kEncoderFailed;
    mp3.insert(mp3.end(), out.begin(), out.begin() + got);
  }
  const std::int32_t got = mp3_encoder_flush(enc.get(), out.data(), static_cast<std::int32_t>(out.size()));
  if (got < 0) return WavToMp3Result::kEncoderFailed;
  mp3.insert(mp3.end(), out.begin(), out.begin() + got);
  return WavToMp3Result::kOk;
}

}  // namespace audio
