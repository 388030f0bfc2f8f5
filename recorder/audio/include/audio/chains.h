// Play and record chains: the file-format-specific part of a pipeline.
//
// A play chain owns the reader of one file and, for compressed formats, the
// decoder after it; PCM comes out of get_provider(). A record chain owns the
// encoder and the file writer of one recording; PCM goes into
// get_consumer(). The two factories at the end are the only places that
// know which classes serve which format.
//
// A play chain can offer its reader to a record chain (accept); the record
// chain of the same format links the reader straight to its writer, so the
// stored blocks reach the new file with no decoding and no encoding.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "audio/blocks.h"
#include "audio/file_reader.h"
#include "audio/file_writer.h"
#include "audio/link.h"
#include "audio/wav_reader.h"
#include "audio/wav_writer.h"

namespace audio {

// Format names, compared exactly (case included).
inline const std::wstring format_name_pcm = L"PCM";
inline const std::wstring format_name_adpcm = L"ADPCM";
inline const std::wstring format_name_gsm = L"GSM";
inline const std::wstring format_name_mp3 = L"mp3";
inline const std::wstring format_name_vorbis = L"Vorbis";
inline const std::wstring format_name_mpc = L"MPC";

class FileReaderMP3;
class DecoderVorbis;
class DecoderMPC;

// Unlinks a provider from its consumer, whatever its block type.
template <typename T>
void disconnect(Provider<T>* provider) {
  connect<T>(provider, nullptr);
}

class RecordChain {
 public:
  RecordChain() = default;
  RecordChain(const RecordChain&) = delete;
  RecordChain& operator=(const RecordChain&) = delete;
  // Deletes the encoder, then the writer, which finishes the file.
  virtual ~RecordChain() = default;

  virtual Encoder* get_encoder() = 0;
  virtual Consumer<PCMData>* get_consumer() = 0;
  virtual FileWriter* get_writer() = 0;
  virtual std::wstring get_format_name() = 0;

  // One per reader type: the chain of the reader's own format links the
  // reader to its writer and answers true; every other answers false.
  virtual bool visit(DecoderMPC& /*reader*/) { return false; }
  virtual bool visit(DecoderVorbis& /*reader*/) { return false; }
  virtual bool visit(FileReaderWAVGSM& /*reader*/) { return false; }
  virtual bool visit(FileReaderWAVADPCM& /*reader*/) { return false; }
  virtual bool visit(FileReaderWAVPCM& /*reader*/) { return false; }
  virtual bool visit(FileReaderMP3& /*reader*/) { return false; }
};

class PlayChain {
 public:
  PlayChain() = default;
  PlayChain(const PlayChain&) = delete;
  PlayChain& operator=(const PlayChain&) = delete;
  virtual ~PlayChain() = default;

  // Where PCM comes out: the reader itself, or the decoder after it.
  virtual Provider<PCMData>* get_provider() = 0;
  virtual FileReader* get_reader() = 0;
  virtual std::wstring get_format_name() = 0;
  // The file's path, or the title the file itself gives.
  virtual std::wstring get_title() = 0;
  // Offers the reader to the record chain (its visit for this reader type).
  virtual bool accept(RecordChain& chain) = 0;
};

template <typename Reader>
class PlayChainReaderOnlyBase : public PlayChain {
 public:
  // Takes ownership of the reader.
  PlayChainReaderOnlyBase(Reader* reader, const std::wstring& path, const std::wstring& format_name)
      : format_name_(format_name), reader_(reader), title_(path) {}

  FileReader* get_reader() override { return reader_.get(); }
  std::wstring get_format_name() override { return format_name_; }
  std::wstring get_title() override { return title_; }
  bool accept(RecordChain& chain) override { return chain.visit(*reader_); }

 protected:
  void set_title(const std::wstring& title) { title_ = title; }
  Reader* reader() { return reader_.get(); }

 private:
  std::wstring format_name_;
  std::unique_ptr<Reader> reader_;
  std::wstring title_;
};

// A reader that gives PCM itself.
template <typename Reader>
class PlayChainReaderOnly : public PlayChainReaderOnlyBase<Reader> {
 public:
  using PlayChainReaderOnlyBase<Reader>::PlayChainReaderOnlyBase;
  Provider<PCMData>* get_provider() override { return this->reader(); }
};

// A reader of encoded blocks and the decoder that turns them into PCM.
template <typename Reader, typename Decoder>
class PlayChainReaderDecoder : public PlayChainReaderOnlyBase<Reader> {
 public:
  PlayChainReaderDecoder(Reader* reader, const std::wstring& path, const std::wstring& format_name)
      : PlayChainReaderOnlyBase<Reader>(reader, path, format_name), decoder_(std::make_unique<Decoder>()) {
    connect(this->reader(), decoder_.get());
  }
  // The decoder goes first, then the reader. A reader handed to a record
  // chain (accept) feeds that chain's writer and is left as it is.
  ~PlayChainReaderDecoder() override {
    if (this->reader()->consumer == decoder_.get()) disconnect(this->reader());
    decoder_.reset();
  }

  Provider<PCMData>* get_provider() override { return decoder_.get(); }

 private:
  std::unique_ptr<Decoder> decoder_;
};

// The PCM record chain: its writer is its own encoder.
class RecordChainWAV : public RecordChain {
 public:
  RecordChainWAV(const std::wstring& path, bool append) : writer_(std::make_unique<FileWriterWAVPCM>(path, append)) {}

  Encoder* get_encoder() override { return writer_.get(); }
  Consumer<PCMData>* get_consumer() override { return writer_.get(); }
  FileWriter* get_writer() override { return writer_.get(); }
  std::wstring get_format_name() override { return format_name_pcm; }

  using RecordChain::visit;
  bool visit(FileReaderWAVPCM& reader) override {
    connect<PCMData>(&reader, writer_.get());
    return true;
  }

 private:
  std::unique_ptr<FileWriterWAVPCM> writer_;
};

// An encoder of PCM into blocks and the writer of those blocks; `Reader`
// is the reader type whose blocks the writer can take as they are.
template <typename EncoderType, typename Writer, typename Reader>
class RecordChainBase : public RecordChain {
 public:
  // Takes ownership of the encoder; creates the writer and links the two.
  RecordChainBase(EncoderType* encoder, const std::wstring& path, const std::wstring& format_name, bool append)
      : writer_(std::make_unique<Writer>(path, append)), encoder_(encoder), format_name_(format_name) {
    connect(encoder_.get(), writer_.get());
  }
  // The encoder goes first (it hands its last block to the writer), then
  // the writer, which finishes the file.
  ~RecordChainBase() override {
    if constexpr (requires(EncoderType & e) { e.flush(); }) encoder_->flush();
    encoder_.reset();
    writer_.reset();
  }

  Encoder* get_encoder() override { return encoder_.get(); }
  Consumer<PCMData>* get_consumer() override { return encoder_.get(); }
  FileWriter* get_writer() override { return writer_.get(); }
  std::wstring get_format_name() override { return format_name_; }

  using RecordChain::visit;
  bool visit(Reader& reader) override {
    connect(&reader, writer_.get());
    return true;
  }

 private:
  std::unique_ptr<Writer> writer_;
  std::unique_ptr<EncoderType> encoder_;
  std::wstring format_name_;
};

// A record chain for the format name, or null for a name no chain serves.
// Each stage takes its format (channels, bits, rate) from the first block it
// gets. The MP3 bit rate (bits per second) goes to the MP3 encoder and is
// ignored by the other formats; append makes the writer continue an
// existing file.
std::unique_ptr<RecordChain> create_record_chain(const std::wstring& path, const std::wstring& format_name,
                                                 std::uint32_t mp3_bitrate, bool append);

// The first chain whose reader opens the file, trying PCM WAV, MS ADPCM WAV,
// GSM WAV, Ogg Vorbis, Musepack and MP3 in that order; null when none does.
// The content decides, never the file's name.
std::unique_ptr<PlayChain> create_play_chain(const std::wstring& path);

}  // namespace audio
