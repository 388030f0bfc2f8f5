// ssOggSource: a streaming sound source that decodes an Ogg Vorbis file with
// the integer Vorbis decoder. It serves the movies' sound tracks: the audio
// device pulls 16-bit stereo blocks from it through Read. The file is read
// through an ssFile stream (an archive member or a plain file) by four
// callbacks, so the decoder never touches the host's files.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/audio/sound_source.h"

class ssArchive;
class ssAudioDevice;
class ssFile;

class ssOggSource : public ssSoundSource {
 public:
  ssOggSource();
  ~ssOggSource() override;

  // The format the owner asks for (the device follows the stream's own rate
  // and channels once a file is open), the loop flag and an option byte; 0.
  int Create(ssAudioDevice* device, std::uint32_t bits, std::uint32_t channels, std::uint32_t rate,
             std::uint32_t blockLength, std::uint32_t blocks, bool loop, std::uint8_t option);

  // Opens `name` in `folder` of the archive file `archive` through the
  // archive reader (m_Archive); without a reader, `name` as a plain file.
  // 0, or -1 when there is no such file or it is not Ogg Vorbis of 1 or 2
  // channels at a rate the device can play.
  using ssSoundSource::OpenFile;
  int OpenFile(const wchar_t* name, const wchar_t* folder, const wchar_t* archive);
  // Decodes from an open stream, which the source takes over; 0 or -1.
  int OpenStream(void* stream, const void* arguments) override;
  void Close() override;
  // Fills `length` bytes of 16-bit stereo. Past the end of the stream (or a
  // decoding error, which ends it) the rest is silence; with looping the
  // block in which the end falls is completed with silence and the next
  // starts from the beginning. Returns 0.
  int Read(std::uint8_t* buffer, std::uint32_t length, std::uint32_t rate, std::uint32_t bits) override;
  // Back to the first sample.
  int Rewind() override;

  bool IsOpenStream() const { return m_Decoder != nullptr; }
  std::uint32_t Channels() const { return m_Channels; }
  bool AtEnd() const { return m_End; }

  ssArchive* m_Archive = nullptr;  // set by the movie player
  bool m_Loop = false;
  std::uint8_t m_Option = 0;

 private:
  struct Decoder;
  // Opens the decoder over m_Stream; 0 or -1 (the stream is then closed).
  int OpenDecoder();

  std::unique_ptr<ssFile> m_Stream;
  std::unique_ptr<Decoder> m_Decoder;
  std::uint32_t m_Channels = 0;
  std::uint32_t m_Blocks = 0;
  bool m_End = false;
  std::vector<std::uint8_t> m_Scratch;  // grown, never shrunk
};
