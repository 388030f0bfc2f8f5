#include "chain_formats.h"

// The block codecs come from their own library; the chains of their formats
// join the build with it.
#if __has_include("audio/adpcm_coders.h") && __has_include("audio/gsm_coders.h")
#include "audio/adpcm_coders.h"
#include "audio/gsm_coders.h"
#define VO_CHAINS_HAVE_BLOCK_CODECS 1
#endif

namespace audio::chain_formats {

PlayChain* open_pcm_chain(const std::wstring& path) {
  return new PlayChainReaderOnly<FileReaderWAVPCM>(new FileReaderWAVPCM(path), path, format_name_pcm);
}

#ifdef VO_CHAINS_HAVE_BLOCK_CODECS

PlayChain* open_adpcm_chain(const std::wstring& path) {
  return new PlayChainReaderDecoder<FileReaderWAVADPCM, DecoderADPCM>(new FileReaderWAVADPCM(path), path,
                                                                      format_name_adpcm);
}

PlayChain* open_gsm_chain(const std::wstring& path) {
  return new PlayChainReaderDecoder<FileReaderWAVGSM, DecoderGSM>(new FileReaderWAVGSM(path), path, format_name_gsm);
}

RecordChain* create_adpcm_record_chain(const std::wstring& path, bool append) {
  return new RecordChainBase<EncoderADPCM, FileWriterWAVADPCM, FileReaderWAVADPCM>(new EncoderADPCM, path,
                                                                                   format_name_adpcm, append);
}

RecordChain* create_gsm_record_chain(const std::wstring& path, bool append) {
  return new RecordChainBase<EncoderGSM, FileWriterWAVGSM, FileReaderWAVGSM>(new EncoderGSM, path, format_name_gsm,
                                                                             append);
}

#else

PlayChain* open_adpcm_chain(const std::wstring& /*path*/) { return nullptr; }
PlayChain* open_gsm_chain(const std::wstring& /*path*/) { return nullptr; }
RecordChain* create_adpcm_record_chain(const std::wstring& /*path*/, bool /*append*/) { return nullptr; }
RecordChain* create_gsm_record_chain(const std::wstring& /*path*/, bool /*append*/) { return nullptr; }

#endif

// Ogg Vorbis, Musepack and MP3 come with the decoder and MP3 encoder
// libraries.
PlayChain* open_vorbis_chain(const std::wstring& /*path*/) { return nullptr; }
PlayChain* open_mpc_chain(const std::wstring& /*path*/) { return nullptr; }
PlayChain* open_mp3_chain(const std::wstring& /*path*/) { return nullptr; }
RecordChain* create_mp3_record_chain(const std::wstring& /*path*/, std::uint32_t /*bitrate*/, bool /*append*/) {
  return nullptr;
}

}  // namespace audio::chain_formats
