#include "engine/movie/ogg_source.h"

#include <tremor/ivorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "engine/archive.h"
#include "engine/audio/audio_device.h"
#include "engine/file.h"
#include "engine/log.h"

struct ssOggSource::Decoder {
  OggVorbis_File file{};
};

namespace {

// The rates the device can be opened at.
constexpr long kMinRate = 1000;
constexpr long kMaxRate = 48000;

size_t ReadCallback(void* buffer, size_t size, size_t count, void* source) {
  auto* stream = static_cast<ssFile*>(source);
  if (size == 0 || count == 0) return 0;
  const std::uint64_t bytes = std::min<std::uint64_t>(static_cast<std::uint64_t>(size) * count, 1u << 30);
  return stream->Read(buffer, static_cast<std::uint32_t>(bytes)) / size;
}

// 0 on success and -1 on failure, as the decoder expects.
int SeekCallback(void* source, ogg_int64_t offset, int origin) {
  auto* stream = static_cast<ssFile*>(source);
  if (offset < std::numeric_limits<std::int32_t>::min() || offset > std::numeric_limits<std::int32_t>::max()) return -1;
  int whence = kSeekBegin;
  if (origin == SEEK_CUR) whence = kSeekCurrent;
  if (origin == SEEK_END) whence = kSeekEnd;
  const std::uint32_t size = stream->GetSize();
  std::int64_t target = offset;
  if (whence == kSeekCurrent) target += stream->Tell();
  if (whence == kSeekEnd) target += size;
  if (target < 0 || target > size) return -1;
  return stream->Seek(static_cast<std::int32_t>(target), kSeekBegin) == static_cast<std::uint32_t>(target) ? 0 : -1;
}

int CloseCallback(void*) { return 0; }  // the source closes its stream itself

long TellCallback(void* source) { return static_cast<long>(static_cast<ssFile*>(source)->Tell()); }

std::wstring Widen(const char* text) {
  std::wstring out;
  for (const char* c = text; c != nullptr && *c != 0 && out.size() < 256; ++c) {
    out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
  }
  return out;
}

}  // namespace

ssOggSource::ssOggSource() = default;

ssOggSource::~ssOggSource() {
  // Leave the device before the decoder goes, so no refill reads a source
  // that is half gone.
  if (m_Device != nullptr) m_Device->DetachSource(this);
  Close();
}

int ssOggSource::Create(ssAudioDevice*, std::uint32_t bits, std::uint32_t channels, std::uint32_t rate,
                        std::uint32_t blockLength, std::uint32_t blocks, bool loop, std::uint8_t option) {
  m_Bits = bits;
  m_Channels = channels;
  m_Rate = rate;
  m_BlockLength = blockLength;
  m_Blocks = blocks;
  m_Loop = loop;
  m_Option = option;
  return 0;
}

int ssOggSource::OpenFile(const wchar_t* name, const wchar_t* folder, const wchar_t* archive) {
  Close();
  if (name == nullptr) return -1;
  if (m_Archive != nullptr) {
    m_Stream = m_Archive->OpenFile(name, folder, archive, kFileModeRead, 3);
  } else {
    auto file = std::make_unique<ssFile>();
    if (file->Open(name, kFileModeRead, 0)) m_Stream = std::move(file);
  }
  if (!m_Stream) {
    WriteLog(2, L"Can't open Ogg file %s", name);
    return -1;
  }
  return OpenDecoder();
}

int ssOggSource::OpenStream(void* stream, const void*) {
  Close();
  if (stream == nullptr) return -1;
  m_Stream.reset(static_cast<ssFile*>(stream));
  return OpenDecoder();
}

int ssOggSource::OpenDecoder() {
  auto decoder = std::make_unique<Decoder>();
  const ov_callbacks callbacks{ReadCallback, SeekCallback, CloseCallback, TellCallback};
  if (ov_open_callbacks(m_Stream.get(), &decoder->file, nullptr, 0, callbacks) < 0) {
    WriteLog(2, L"Input does not appear to be an Ogg bitstream.");
    m_Stream.reset();
    return -1;
  }
  const vorbis_info* info = ov_info(&decoder->file, -1);
  if (info == nullptr || info->channels < 1 || info->channels > 2 || info->rate < kMinRate || info->rate > kMaxRate) {
    WriteLog(2, L"Unsupported Ogg stream");
    ov_clear(&decoder->file);
    m_Stream.reset();
    return -1;
  }
  if (const vorbis_comment* comment = ov_comment(&decoder->file, -1); comment != nullptr) {
    for (int i = 0; i < comment->comments && comment->user_comments != nullptr; ++i) {
      WriteLog(2, L"%s", Widen(comment->user_comments[i]).c_str());
    }
    WriteLog(2, L"Encoded by: %s", Widen(comment->vendor).c_str());
  }
  WriteLog(2, L"Bitstream is %d channel, %ldHz", info->channels, info->rate);
  WriteLog(2, L"Decoded length: %ld samples", static_cast<long>(ov_pcm_total(&decoder->file, -1)));
  m_Decoder = std::move(decoder);
  m_Streaming = true;
  m_Bits = 16;
  m_Channels = static_cast<std::uint32_t>(info->channels);
  m_Rate = static_cast<std::uint32_t>(info->rate);
  m_Open = true;
  Rewind();
  return 0;
}

void ssOggSource::Close() {
  if (m_Decoder) ov_clear(&m_Decoder->file);
  m_Decoder.reset();
  if (m_Stream) m_Stream->Close();
  m_Stream.reset();
  m_Open = false;
  m_End = false;
}

int ssOggSource::Rewind() {
  m_End = false;
  if (m_Decoder && ov_pcm_seek(&m_Decoder->file, 0) != 0) m_End = true;
  return 0;
}

int ssOggSource::Read(std::uint8_t* buffer, std::uint32_t length, std::uint32_t, std::uint32_t) {
  if (buffer == nullptr) return 0;
  if (!m_Decoder || (m_End && !m_Loop)) {
    std::memset(buffer, 0, length);
    return 0;
  }
  const std::uint32_t frames = length / 4;
  // Stereo decodes straight into the block; mono into the scratch buffer,
  // widened afterwards.
  const bool mono = m_Channels == 1;
  const std::uint32_t want = mono ? frames * 2 : frames * 4;
  if (mono && m_Scratch.size() < want) m_Scratch.resize(want);
  std::uint8_t* target = mono ? m_Scratch.data() : buffer;
  std::uint32_t done = 0;
  while (done < want) {
    int section = 0;
    const long got =
        ov_read(&m_Decoder->file, reinterpret_cast<char*>(target + done), static_cast<int>(want - done), &section);
    const vorbis_info* info = got > 0 ? ov_info(&m_Decoder->file, section) : nullptr;
    if (got <= 0 || got > static_cast<long>(want - done) || info == nullptr ||
        static_cast<std::uint32_t>(info->channels) != m_Channels) {
      // The end, a decoding error or a chained stream of another layout: the
      // stream ends here. Only a true end loops.
      m_End = true;
      if (m_Loop && got == 0) Rewind();
      break;
    }
    done += static_cast<std::uint32_t>(got);
  }
  std::memset(target + done, 0, want - done);
  if (mono) {
    for (std::uint32_t i = 0; i < frames; ++i) {
      std::memcpy(buffer + 4 * i, m_Scratch.data() + 2 * i, 2);
      std::memcpy(buffer + 4 * i + 2, m_Scratch.data() + 2 * i, 2);
    }
  }
  std::memset(buffer + frames * 4, 0, length - frames * 4);
  return 0;
}
