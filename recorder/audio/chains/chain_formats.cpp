#include "chain_formats.h"

// The block codecs come from their own library; the chains of their formats
// join the build with it.
#if __has_include("audio/adpcm_coders.h") && __has_include("audio/gsm_coders.h")
#include "audio/adpcm_coders.h"
#include "audio/gsm_coders.h"
#define VO_CHAINS_HAVE_BLOCK_CODECS 1
#endif

// So do the readers and decoders of Ogg Vorbis, Musepack and MP3.
#if __has_include("audio/vorbis_decoder.h")
#include "audio/vorbis_decoder.h"
#define VO_CHAINS_HAVE_VORBIS 1
#endif
#if __has_include("audio/mpc_decoder.h")
#include "audio/mpc_decoder.h"
#define VO_CHAINS_HAVE_MPC 1
#endif
#if __has_include("audio/mp3_reader.h") && __has_include("audio/mp3_decoder.h")
#include "audio/mp3_decoder.h"
#include "audio/mp3_reader.h"
#include "liba/text.h"
#define VO_CHAINS_HAVE_MP3_PLAYBACK 1
#endif

// The MP3 record chain needs the encoder stage and, for copying a file's
// frames into it, the MP3 reader.
#if defined(VO_CHAINS_HAVE_MP3_PLAYBACK) && __has_include("audio/mp3_encoder_stage.h")
#include "audio/file_writer_mp3.h"
#include "audio/mp3_encoder_stage.h"
#define VO_CHAINS_HAVE_MP3_RECORDING 1
#endif

#ifdef VO_CHAINS_HAVE_MP3_PLAYBACK
namespace audio {

// The MP3 play chain shows the title of the file's tag, when it has one, in
// place of the path.
class PlayChainMP3 : public PlayChainReaderDecoder<FileReaderMP3, DecoderMP3> {
 public:
  PlayChainMP3(FileReaderMP3* reader, const std::wstring& path, const std::wstring& format_name)
      : PlayChainReaderDecoder(reader, path, format_name) {
    const MP3TagInfo tag = read_mp3_tag(path);
    if (!tag.title.empty()) set_title(liba::narrow_to_wide(tag.title));
  }
};

}  // namespace audio
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

#ifdef VO_CHAINS_HAVE_VORBIS
PlayChain* open_vorbis_chain(const std::wstring& path) {
  return new PlayChainReaderOnly<DecoderVorbis>(new DecoderVorbis(path), path, format_name_vorbis);
}
#else
PlayChain* open_vorbis_chain(const std::wstring& /*path*/) { return nullptr; }
#endif

#ifdef VO_CHAINS_HAVE_MPC
PlayChain* open_mpc_chain(const std::wstring& path) {
  return new PlayChainReaderOnly<DecoderMPC>(new DecoderMPC(path), path, format_name_mpc);
}
#else
PlayChain* open_mpc_chain(const std::wstring& /*path*/) { return nullptr; }
#endif

#ifdef VO_CHAINS_HAVE_MP3_PLAYBACK
PlayChain* open_mp3_chain(const std::wstring& path) {
  return new PlayChainMP3(new FileReaderMP3(path), path, format_name_mp3);
}
#else
PlayChain* open_mp3_chain(const std::wstring& /*path*/) { return nullptr; }
#endif

#ifdef VO_CHAINS_HAVE_MP3_RECORDING
RecordChain* create_mp3_record_chain(const std::wstring& path, std::uint32_t bitrate, bool append) {
  return new RecordChainBase<EncoderMP3, FileWriterMP3, FileReaderMP3>(new EncoderMP3(bitrate), path, format_name_mp3,
                                                                       append);
}
#else
RecordChain* create_mp3_record_chain(const std::wstring& /*path*/, std::uint32_t /*bitrate*/, bool /*append*/) {
  return nullptr;
}
#endif

}  // namespace audio::chain_formats
