#include "engine/movie/avi_demuxer.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

#include "engine/file.h"
#include "runtime/le_bytes.h"

namespace {

using ks::runtime::LoadLe32;

constexpr std::uint32_t Fourcc(const char (&s)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(s[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[3])) << 24;
}

constexpr std::uint32_t kRiff = Fourcc("RIFF");
constexpr std::uint32_t kAvi = Fourcc("AVI ");
constexpr std::uint32_t kList = Fourcc("LIST");
constexpr std::uint32_t kHdrl = Fourcc("hdrl");
constexpr std::uint32_t kAvih = Fourcc("avih");
constexpr std::uint32_t kStrl = Fourcc("strl");
constexpr std::uint32_t kStrh = Fourcc("strh");
constexpr std::uint32_t kStrf = Fourcc("strf");
constexpr std::uint32_t kVids = Fourcc("vids");
constexpr std::uint32_t kMovi = Fourcc("movi");
constexpr std::uint32_t kRec = Fourcc("rec ");
constexpr std::uint32_t kIdx1 = Fourcc("idx1");

// Index entries read at most: far more than any of the game's movies.
constexpr std::uint32_t kMaxIndexEntries = 1u << 20;
// Streams looked at in "hdrl".
constexpr int kMaxStreams = 64;

std::int32_t I32(const std::uint8_t* p) { return static_cast<std::int32_t>(LoadLe32(p)); }

}  // namespace

bool ssAviDemuxer::ReadAt(std::uint32_t offset, void* buffer, std::uint32_t count) {
  if (m_Stream == nullptr || offset > m_FileEnd || count > m_FileEnd - offset) return false;
  if (offset > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) return false;
  if (m_Stream->Seek(static_cast<std::int32_t>(offset), kSeekBegin) != offset) return false;
  return m_Stream->Read(buffer, count) == count;
}

bool ssAviDemuxer::ChunkAt(std::uint32_t at, std::uint32_t end, Chunk* chunk) {
  if (at > end || end - at < 8) return false;
  std::uint8_t header[8];
  if (!ReadAt(at, header, 8)) return false;
  const std::uint32_t size = LoadLe32(header + 4);
  chunk->id = LoadLe32(header);
  chunk->start = at + 8;
  const std::uint64_t dataEnd = static_cast<std::uint64_t>(chunk->start) + size;
  chunk->end = static_cast<std::uint32_t>(std::min<std::uint64_t>(dataEnd, end));
  chunk->next = static_cast<std::uint32_t>(std::min<std::uint64_t>(dataEnd + (size & 1u), 0xFFFFFFFFu));
  return true;
}

int ssAviDemuxer::Open(ssFile* stream) {
  std::lock_guard lock(m_Mutex);
  m_Stream = stream;
  m_FileEnd = stream != nullptr ? stream->GetSize() : 0;
  m_Width = m_Height = m_MainWidth = m_MainHeight = 0;
  m_Rate = 0;
  m_Handler = 0;
  m_VideoStream = -1;
  m_StreamCount = 0;
  m_MoviStart = m_MoviEnd = 0;
  m_HaveMovi = false;
  m_Frames.clear();
  m_Current = 0;

  std::uint8_t header[12];
  if (!ReadAt(0, header, 12) || LoadLe32(header) != kRiff || LoadLe32(header + 8) != kAvi) return kNotAvi;
  // A RIFF size past the end of the file is cut at the end of the file.
  const std::uint32_t riffEnd =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(8ull + LoadLe32(header + 4), m_FileEnd));
  Chunk idx1{};
  bool haveIndex = false;
  Chunk chunk{};
  for (std::uint32_t at = 12; ChunkAt(at, riffEnd, &chunk); at = chunk.next) {
    if (chunk.id == kList && chunk.end - chunk.start >= 4) {
      std::uint8_t type[4];
      if (!ReadAt(chunk.start, type, 4)) break;
      if (LoadLe32(type) == kHdrl && m_VideoStream < 0) ReadHeaderList(chunk);
      if (LoadLe32(type) == kMovi && !m_HaveMovi) {
        m_HaveMovi = true;
        m_MoviStart = chunk.start;
        m_MoviEnd = chunk.end;
      }
    } else if (chunk.id == kIdx1 && !haveIndex) {
      idx1 = chunk;
      haveIndex = true;
    }
  }
  if (m_VideoStream < 0) return kNoVideo;
  if (m_Width == 0 || m_Height == 0) {
    m_Width = m_MainWidth;
    m_Height = m_MainHeight;
  }
  if (m_Width <= 0 || m_Height <= 0 || m_Width > kMaxSide || m_Height > kMaxSide) return kBadSize;
  if (!m_HaveMovi) return kNoFrames;
  if (haveIndex) ReadIndex(idx1);
  if (m_Frames.empty()) ScanMovi();
  if (m_Frames.empty()) return kNoFrames;
  return 0;
}

void ssAviDemuxer::ReadHeaderList(const Chunk& hdrl) {
  Chunk chunk{};
  for (std::uint32_t at = hdrl.start + 4; ChunkAt(at, hdrl.end, &chunk); at = chunk.next) {
    if (chunk.id == kAvih && chunk.end - chunk.start >= 40) {
      std::uint8_t avih[40];
      if (!ReadAt(chunk.start, avih, 40)) return;
      m_MainWidth = I32(avih + 32);
      m_MainHeight = I32(avih + 36);
      if (m_MainHeight < 0 && m_MainHeight != std::numeric_limits<std::int32_t>::min()) m_MainHeight = -m_MainHeight;
    } else if (chunk.id == kList && chunk.end - chunk.start >= 4 && m_StreamCount < kMaxStreams) {
      std::uint8_t type[4];
      if (!ReadAt(chunk.start, type, 4)) return;
      if (LoadLe32(type) == kStrl) ReadStreamList(chunk, m_StreamCount++);
    }
  }
}

void ssAviDemuxer::ReadStreamList(const Chunk& strl, int number) {
  Chunk chunk{};
  bool video = false;
  for (std::uint32_t at = strl.start + 4; ChunkAt(at, strl.end, &chunk); at = chunk.next) {
    if (chunk.id == kStrh && chunk.end - chunk.start >= 36 && m_VideoStream < 0) {
      std::uint8_t strh[36];
      if (!ReadAt(chunk.start, strh, 36) || LoadLe32(strh) != kVids) return;
      video = true;
      m_VideoStream = number;
      m_Handler = LoadLe32(strh + 4);
      const std::uint32_t scale = LoadLe32(strh + 20), rate = LoadLe32(strh + 24);
      m_Rate = scale == 0 ? 0.0 : static_cast<double>(rate) / scale;
    } else if (chunk.id == kStrf && video && chunk.end - chunk.start >= 12) {
      // BITMAPINFOHEADER: size, width, height (negative for rows top first).
      std::uint8_t strf[12];
      if (!ReadAt(chunk.start, strf, 12)) return;
      const std::int32_t w = I32(strf + 4), h = I32(strf + 8);
      m_Width = w;
      m_Height = h == std::numeric_limits<std::int32_t>::min() ? 0 : (h < 0 ? -h : h);
    }
  }
}

bool ssAviDemuxer::IsVideoChunk(std::uint32_t id) const {
  // "NNdc" (compressed) or "NNdb" (uncompressed), NN the stream's number.
  const int tens = static_cast<int>(id & 0xFF) - '0', ones = static_cast<int>((id >> 8) & 0xFF) - '0';
  if (tens < 0 || tens > 9 || ones < 0 || ones > 9 || tens * 10 + ones != m_VideoStream) return false;
  const char c2 = static_cast<char>((id >> 16) & 0xFF), c3 = static_cast<char>((id >> 24) & 0xFF);
  return c2 == 'd' && (c3 == 'c' || c3 == 'b');
}

void ssAviDemuxer::ReadIndex(const Chunk& idx1) {
  const std::uint32_t entries = std::min((idx1.end - idx1.start) / 16, kMaxIndexEntries);
  std::vector<std::uint8_t> table(static_cast<std::size_t>(entries) * 16);
  if (entries == 0 || !ReadAt(idx1.start, table.data(), entries * 16)) return;
  // Offsets count from the "movi" type word; some writers count from the
  // start of the file. The first video entry decides which.
  std::uint32_t base = m_MoviStart;
  for (std::uint32_t i = 0; i < entries; ++i) {
    const std::uint8_t* e = &table[static_cast<std::size_t>(i) * 16];
    if (!IsVideoChunk(LoadLe32(e))) continue;
    const std::uint32_t offset = LoadLe32(e + 8);
    std::uint8_t id[4];
    const bool relative =
        offset <= 0xFFFFFFFFu - m_MoviStart && ReadAt(m_MoviStart + offset, id, 4) && LoadLe32(id) == LoadLe32(e);
    if (!relative && ReadAt(offset, id, 4) && LoadLe32(id) == LoadLe32(e)) base = 0;
    break;
  }
  for (std::uint32_t i = 0; i < entries; ++i) {
    const std::uint8_t* e = &table[static_cast<std::size_t>(i) * 16];
    if (!IsVideoChunk(LoadLe32(e))) continue;
    const std::uint64_t chunk = static_cast<std::uint64_t>(base) + LoadLe32(e + 8);
    const std::uint64_t data = chunk + 8, size = LoadLe32(e + 12);
    // Only bytes inside the "movi" list are frames; anything else is an
    // empty frame that the player skips.
    const bool inside = chunk >= m_MoviStart + 4ull && data + size <= m_MoviEnd;
    m_Frames.push_back(inside ? Frame{static_cast<std::uint32_t>(data), static_cast<std::uint32_t>(size)}
                              : Frame{0, 0});
  }
}

void ssAviDemuxer::ScanMovi() {
  Chunk chunk{};
  std::uint32_t end = m_MoviEnd;
  std::uint32_t at = m_MoviStart + 4;
  while (ChunkAt(at, end, &chunk) && m_Frames.size() < kMaxIndexEntries) {
    if (chunk.id == kList) {
      // "rec " lists group a frame's chunks: walk into them.
      std::uint8_t type[4];
      if (chunk.end - chunk.start >= 4 && ReadAt(chunk.start, type, 4) && LoadLe32(type) == kRec) {
        at = chunk.start + 4;
        continue;
      }
    } else if (IsVideoChunk(chunk.id)) {
      m_Frames.push_back(Frame{chunk.start, chunk.end - chunk.start});
    }
    at = chunk.next;
  }
}

int ssAviDemuxer::Width() const {
  std::lock_guard lock(m_Mutex);
  return m_Width;
}

int ssAviDemuxer::Height() const {
  std::lock_guard lock(m_Mutex);
  return m_Height;
}

double ssAviDemuxer::FrameRate() const {
  std::lock_guard lock(m_Mutex);
  return m_Rate == 0.0 || m_Rate == 23.0 ? 25.0 : m_Rate;
}

std::uint32_t ssAviDemuxer::Handler() const {
  std::lock_guard lock(m_Mutex);
  return m_Handler;
}

bool ssAviDemuxer::HandlerIs(const char* code) const {
  std::lock_guard lock(m_Mutex);
  if (code == nullptr || std::strlen(code) != 4) return false;
  for (int i = 0; i < 4; ++i) {
    const auto have = static_cast<unsigned char>((m_Handler >> (8 * i)) & 0xFF);
    if (std::tolower(have) != std::tolower(static_cast<unsigned char>(code[i]))) return false;
  }
  return true;
}

std::uint32_t ssAviDemuxer::FrameCount() const {
  std::lock_guard lock(m_Mutex);
  return static_cast<std::uint32_t>(m_Frames.size());
}

std::uint32_t ssAviDemuxer::CurrentFrameSize() const {
  std::lock_guard lock(m_Mutex);
  return m_Current < m_Frames.size() ? m_Frames[m_Current].size : 0;
}

std::uint32_t ssAviDemuxer::CurrentFrame() const {
  std::lock_guard lock(m_Mutex);
  return m_Current;
}

int ssAviDemuxer::ReadFrame(void* buffer, std::uint32_t capacity) {
  std::lock_guard lock(m_Mutex);
  if (m_Current >= m_Frames.size()) return -1;
  const Frame frame = m_Frames[m_Current];
  if (frame.size > capacity || frame.size > static_cast<std::uint32_t>(std::numeric_limits<int>::max())) return -1;
  if (frame.size > 0 && (buffer == nullptr || !ReadAt(frame.offset, buffer, frame.size))) return -1;
  ++m_Current;
  return static_cast<int>(frame.size);
}

int ssAviDemuxer::SetCurrentFrame(int frame) {
  std::lock_guard lock(m_Mutex);
  const auto target = static_cast<std::uint32_t>(std::max(frame, 0));
  if (m_Frames.empty() || target >= m_Frames.size()) return -1;
  m_Current = target;
  return 0;
}
