#include "audio/chains.h"

#include "chain_formats.h"

namespace audio {

std::unique_ptr<RecordChain> create_record_chain(const std::wstring& path, const std::wstring& format_name,
                                                 std::uint32_t mp3_bitrate, bool append) {
  if (format_name == format_name_pcm) return std::make_unique<RecordChainWAV>(path, append);
  if (format_name == format_name_mp3) return chain_formats::create_mp3_record_chain(path, mp3_bitrate, append);
  if (format_name == format_name_adpcm) return chain_formats::create_adpcm_record_chain(path, append);
  if (format_name == format_name_gsm) return chain_formats::create_gsm_record_chain(path, append);
  return nullptr;
}

std::unique_ptr<PlayChain> create_play_chain(const std::wstring& path) {
  using Opener = std::unique_ptr<PlayChain> (*)(const std::wstring&);
  static constexpr Opener kOrder[] = {
      chain_formats::open_pcm_chain,    chain_formats::open_adpcm_chain, chain_formats::open_gsm_chain,
      chain_formats::open_vorbis_chain, chain_formats::open_mpc_chain,   chain_formats::open_mp3_chain,
  };
  for (Opener open : kOrder) {
    std::unique_ptr<PlayChain> chain = open(path);
    if (chain && chain->get_reader() != nullptr && chain->get_reader()->is_open()) return chain;
  }
  return nullptr;
}

}  // namespace audio
