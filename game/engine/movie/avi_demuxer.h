// ssAviDemuxer: the video frames of an AVI movie, read through an ssFile.
//
// Open walks the RIFF "AVI " file: the "hdrl" list (main header "avih" and
// one "strl" list per stream with its "strh" and "strf"), the "movi" list
// and the "idx1" index. The first stream of type "vids" is the video. Frame
// positions come from the index (offsets from the "movi" list's type word,
// or from the start of the file, whichever the first entry fits); without
// usable index entries the "movi" list is scanned for the video's chunks.
// Every size is checked against its list and the file: a chunk that runs
// past its end is cut there, an index entry outside the "movi" list gives an
// empty frame (the player skips it).
//
// Every call takes the demuxer's lock, so the movie player and anything
// else holding the demuxer never interleave a seek and a read.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

class ssFile;

class ssAviDemuxer {
 public:
  // Open's failures.
  static constexpr int kNotAvi = -2;     // no RIFF "AVI " header
  static constexpr int kNoVideo = -3;    // no "vids" stream with a picture size
  static constexpr int kBadSize = -4;    // the picture is empty or larger than kMaxSide
  static constexpr int kNoFrames = -5;   // no "movi" list, or no video chunk in it
  static constexpr int kMaxSide = 4096;  // pixels

  ssAviDemuxer() = default;
  ssAviDemuxer(const ssAviDemuxer&) = delete;
  ssAviDemuxer& operator=(const ssAviDemuxer&) = delete;

  // 0, or one of the failures above. The stream stays the caller's and must
  // outlive the demuxer's use.
  int Open(ssFile* stream);

  int Width() const;
  int Height() const;
  // Frames a second as the stream header states it; a stated 0 or exactly
  // 23 reads as 25.
  double FrameRate() const;
  // The stream header's four handler characters, first in the low byte.
  std::uint32_t Handler() const;
  // Whether the handler is `code` (four characters), regardless of case.
  bool HandlerIs(const char* code) const;
  std::uint32_t FrameCount() const;
  // The current frame's size in bytes; 0 without one (past the end, or an
  // index entry that points outside the "movi" list).
  std::uint32_t CurrentFrameSize() const;
  std::uint32_t CurrentFrame() const;
  // Reads the current frame into `buffer` and moves on to the next one:
  // the bytes read (0 for an empty frame), or -1 past the last frame, when
  // the frame does not fit `capacity` or the stream cannot be read.
  int ReadFrame(void* buffer, std::uint32_t capacity);
  // 0, or -1 past the last frame or before Open; a negative frame counts as 0.
  int SetCurrentFrame(int frame);

 private:
  struct Frame {
    std::uint32_t offset;  // of the frame's bytes in the file
    std::uint32_t size;
  };
  struct Chunk {
    std::uint32_t id;
    std::uint32_t start;  // of the chunk's data
    std::uint32_t end;    // of the data, cut at the enclosing list's end
    std::uint32_t next;   // where the following chunk begins (may lie past the list)
  };

  bool ReadAt(std::uint32_t offset, void* buffer, std::uint32_t count);
  // The chunk header at `at` inside a list ending at `end`; false when no
  // full header fits.
  bool ChunkAt(std::uint32_t at, std::uint32_t end, Chunk* chunk);
  void ReadHeaderList(const Chunk& hdrl);
  void ReadStreamList(const Chunk& strl, int number);
  void ReadIndex(const Chunk& idx1);
  void ScanMovi();
  bool IsVideoChunk(std::uint32_t id) const;

  mutable std::mutex m_Mutex;
  ssFile* m_Stream = nullptr;
  std::uint32_t m_FileEnd = 0;
  int m_Width = 0, m_Height = 0;
  int m_MainWidth = 0, m_MainHeight = 0;  // from "avih", when no "strf" gives them
  double m_Rate = 0;
  std::uint32_t m_Handler = 0;
  int m_VideoStream = -1;
  int m_StreamCount = 0;
  std::uint32_t m_MoviStart = 0, m_MoviEnd = 0;  // the "movi" list's type word, and its end
  bool m_HaveMovi = false;
  std::vector<Frame> m_Frames;
  std::uint32_t m_Current = 0;
};
