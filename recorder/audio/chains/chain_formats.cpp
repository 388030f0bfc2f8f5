#include "chain_formats.h"

#include "audio/adpcm_coders.h"
#include "audio/file_writer_mp3.h"
#include "audio/gsm_coders.h"
#include "audio/mp3_decoder.h"
#include "audio/mp3_encoder_stage.h"
#include "audio/mp3_reader.h"
#include "audio/mpc_decoder.h"
#include "audio/vorbis_decoder.h"
#include "liba/text.h"

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

namespace audio::chain_formats {

std::unique_ptr<PlayChain> open_pcm_chain(const std::wstring& path) {
  return std::make_unique<PlayChainReaderOnly<FileReaderWAVPCM>>(new FileReaderWAVPCM(path), path, format_name_pcm);
}

std::unique_ptr<PlayChain> open_adpcm_chain(const std::wstring& path) {
  return std::make_unique<PlayChainReaderDecoder<FileReaderWAVADPCM, DecoderADPCM>>(new FileReaderWAVADPCM(path), path,
                                                                                    format_name_adpcm);
}

std::unique_ptr<PlayChain> open_gsm_chain(const std::wstring& path) {
  return std::make_unique<PlayChainReaderDecoder<FileReaderWAVGSM, DecoderGSM>>(new FileReaderWAVGSM(path), path,
                                                                                format_name_gsm);
}

std::unique_ptr<RecordChain> create_adpcm_record_chain(const std::wstring& path, bool append) {
  return std::make_unique<RecordChainBase<EncoderADPCM, FileWriterWAVADPCM, FileReaderWAVADPCM>>(
      new EncoderADPCM, path, format_name_adpcm, append);
}

std::unique_ptr<RecordChain> create_gsm_record_chain(const std::wstring& path, bool append) {
  return std::make_unique<RecordChainBase<EncoderGSM, FileWriterWAVGSM, FileReaderWAVGSM>>(new EncoderGSM, path,
                                                                                           format_name_gsm, append);
}

std::unique_ptr<PlayChain> open_vorbis_chain(const std::wstring& path) {
  return std::make_unique<PlayChainReaderOnly<DecoderVorbis>>(new DecoderVorbis(path), path, format_name_vorbis);
}

std::unique_ptr<PlayChain> open_mpc_chain(const std::wstring& path) {
  return std::make_unique<PlayChainReaderOnly<DecoderMPC>>(new DecoderMPC(path), path, format_name_mpc);
}

std::unique_ptr<PlayChain> open_mp3_chain(const std::wstring& path) {
  return std::make_unique<PlayChainMP3>(new FileReaderMP3(path), path, format_name_mp3);
}

std::unique_ptr<RecordChain> create_mp3_record_chain(const std::wstring& path, std::uint32_t bitrate, bool append) {
  return std::make_unique<RecordChainBase<EncoderMP3, FileWriterMP3, FileReaderMP3>>(new EncoderMP3(bitrate), path,
                                                                                     format_name_mp3, append);
}

}  // namespace audio::chain_formats
