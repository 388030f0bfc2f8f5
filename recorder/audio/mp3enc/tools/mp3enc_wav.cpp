// Command line: mp3enc_wav IN.wav OUT.mp3 [kbit/s] — encodes a 16-bit PCM
// WAV file with the recorder's encoder (a harness tool; host file calls).
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "audio/mp3_encoder_wav.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s IN.wav OUT.mp3 [kbit/s]\n", argv[0]);
    return 2;
  }
  const int kbps = argc > 3 ? std::atoi(argv[3]) : 64;
  std::FILE* in = std::fopen(argv[1], "rb");
  if (in == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::vector<std::uint8_t> wav;
  std::uint8_t buf[65536];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, in)) > 0;) wav.insert(wav.end(), buf, buf + n);
  std::fclose(in);
  std::vector<std::uint8_t> mp3;
  const audio::WavToMp3Result r = audio::encode_wav_to_mp3(wav.data(), wav.size(), kbps, mp3);
  if (r != audio::WavToMp3Result::kOk) {
    std::fprintf(stderr, "%s: cannot encode (error %d)\n", argv[1], static_cast<int>(r));
    return 1;
  }
  std::FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr || std::fwrite(mp3.data(), 1, mp3.size(), out) != mp3.size()) {
    std::perror(argv[2]);
    return 1;
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
