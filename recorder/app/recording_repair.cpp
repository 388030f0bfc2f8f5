#include "recording_repair.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "audio/mp3_reader.h"
#include "audio/wav_info.h"
#include "ce/winbase.h"
#include "os/file.h"
#include "os/log.h"
#include "os/path.h"
#include "runtime/le_bytes.h"

namespace vocamo {

namespace {

using ks::runtime::LoadLe32;

// A marker longer than this is not one of ours.
constexpr std::uint32_t kMaxMarkerBytes = 4096;

void put32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool read_at(os::File& file, std::uint32_t position, std::uint8_t* bytes, std::uint32_t count) {
  return file.seek(position) != 0 && file.read(bytes, count) == count;
}

bool write32_at(os::File& file, std::uint32_t position, std::uint32_t value) {
  std::uint8_t bytes[4];
  put32(bytes, value);
  return file.seek(position) != 0 && file.write(bytes, 4) == 4;
}

// What a repair found: a file to leave, one it mended, or a recording that
// holds nothing whole (no block, no frame) and so can never play.
enum class Outcome { kept, mended, empty };

// The longest header the WAV writers make: MS ADPCM's, with its
// coefficient table and "fact" chunk.
constexpr std::uint32_t kLongestWavHeader = 90;

// The first `count` bytes of the file are the start of `expected`.
bool begins_with(os::File& file, std::uint32_t count, const char* expected) {
  std::uint8_t bytes[4];
  count = std::min<std::uint32_t>(count, 4);
  return read_at(file, 0, bytes, count) && std::memcmp(bytes, expected, count) == 0;
}

// The file's last-write time, put back after the repair.
class KeepFileTime {
 public:
  explicit KeepFileTime(const std::wstring& path) : path_(path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    known_ = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != 0;
    time_ = data.ftLastWriteTime;
  }
  ~KeepFileTime() {
    if (!known_) return;
    HANDLE handle = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return;
    SetFileTime(handle, nullptr, nullptr, &time_);
    CloseHandle(handle);
  }
  KeepFileTime(const KeepFileTime&) = delete;
  KeepFileTime& operator=(const KeepFileTime&) = delete;
  // The file is going: nothing to put back.
  void forget() { known_ = false; }

 private:
  std::wstring path_;
  FILETIME time_{};
  bool known_ = false;
};

// The sizes a WAV file of the recorder's has to carry for what it holds.
// Tries each of the three formats the writers make.
Outcome repair_wav(const std::wstring& path) {
  os::File file(path, 3);
  if (!file.is_ok()) return Outcome::kept;
  const std::uint32_t file_size = file.get_size();
  if (file_size == 0) return Outcome::empty;  // made before the first block came
  audio::WAVInfoPCM pcm;
  audio::WAVInfoADPCM adpcm;
  audio::WAVInfoGSM gsm;
  audio::WAVInfo* info = nullptr;
  std::uint32_t fact_offset = 0;
  std::uint32_t samples_per_block = 0;
  for (audio::WAVInfo* candidate :
       {static_cast<audio::WAVInfo*>(&pcm), static_cast<audio::WAVInfo*>(&adpcm), static_cast<audio::WAVInfo*>(&gsm)}) {
    if (file.seek(0) == 0 || !audio::read_wav_info(*candidate, file)) continue;
    info = candidate;
    break;
  }
  if (info == nullptr) {
    // Cut inside the header, which the writer puts down in one write.
    const bool cut_header = file_size <= kLongestWavHeader && begins_with(file, file_size, "RIFF");
    return cut_header ? Outcome::empty : Outcome::kept;
  }
  if (info->block_align == 0 || info->data_offset < 8) return Outcome::kept;
  if (info == &adpcm) {
    fact_offset = adpcm.fact_offset;
    samples_per_block = adpcm.samples_per_block;
  } else if (info == &gsm) {
    fact_offset = gsm.fact_offset;
    samples_per_block = gsm.samples_per_block;
  }

  const std::uint32_t present = file_size - info->data_offset;  // read_wav_info found data_offset <= size
  const std::uint32_t blocks = present / info->block_align;
  if (blocks == 0) return Outcome::empty;
  const std::uint32_t data_size = blocks * info->block_align;
  const std::uint32_t pad = data_size & 1u;
  const std::uint64_t total = static_cast<std::uint64_t>(info->data_offset) + data_size + pad;
  if (total > 0xFFFFFFFFull) return Outcome::kept;

  std::uint8_t stored_data[4];
  std::uint8_t stored_riff[4];
  if (!read_at(file, info->data_offset - 4, stored_data, 4) || !read_at(file, 4, stored_riff, 4)) return Outcome::kept;
  std::uint32_t stored_fact = 0;
  if (fact_offset != 0) {
    std::uint8_t bytes[4];
    if (!read_at(file, fact_offset, bytes, 4)) return Outcome::kept;
    stored_fact = LoadLe32(bytes);
  }
  const std::uint32_t riff_size = static_cast<std::uint32_t>(total - 8);
  // A count past 32 bits (a file near 4 GB of short blocks) is held at the
  // most the field can say.
  const auto fact_samples =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{blocks} * samples_per_block, 0xFFFFFFFFull));
  if (LoadLe32(stored_data) == data_size && LoadLe32(stored_riff) == riff_size && file_size == total &&
      (fact_offset == 0 || stored_fact == fact_samples))
    return Outcome::kept;

  // A partial block at the end is dropped; an odd data chunk gets its pad.
  bool ok = file.set_size(static_cast<std::uint32_t>(total));
  if (ok && pad != 0) {
    const std::uint8_t zero = 0;
    ok = file.seek(static_cast<std::uint32_t>(total - 1)) != 0 && file.write(&zero, 1) == 1;
  }
  ok = ok && write32_at(file, 4, riff_size) && write32_at(file, info->data_offset - 4, data_size);
  if (ok && fact_offset != 0) ok = write32_at(file, fact_offset, fact_samples);
  return ok && file.flush() ? Outcome::mended : Outcome::kept;
}

// Walks the MPEG audio frames from the start (past an ID3v2 tag) and cuts
// the file at a last frame that runs past its end. Anything in the walk
// that is not a frame header (a tag at the end, or not an MP3 file at all)
// leaves the file alone. A file with no whole frame (empty, or its first
// frame cut short) holds nothing.
Outcome repair_mp3(const std::wstring& path) {
  os::File file(path, 3);
  if (!file.is_ok()) return Outcome::kept;
  const std::uint32_t size = file.get_size();
  if (size == 0) return Outcome::empty;
  std::uint32_t at = 0;
  std::uint8_t head[10];
  if (size >= 10 && read_at(file, 0, head, 10) && std::memcmp(head, "ID3", 3) == 0) {
    const std::uint32_t tag =
        (head[6] & 0x7Fu) << 21 | (head[7] & 0x7Fu) << 14 | (head[8] & 0x7Fu) << 7 | (head[9] & 0x7Fu);
    at = 10 + tag + ((head[5] & 0x10) != 0 ? 10 : 0);
  }

  // Frame headers are read from a window of the file, refilled as the walk
  // passes its end, so a long recording costs few reads.
  constexpr std::uint32_t kWindow = 64 * 1024;
  std::vector<std::uint8_t> window(kWindow);
  std::uint32_t window_start = 0;
  std::uint32_t window_length = 0;
  const std::uint32_t start = at;
  bool first = true;
  while (at < size) {
    if (size - at < 4) {
      // A header cut short: cut here. Nothing before it is nothing at all
      // when it begins as a frame's sync does.
      std::uint8_t sync = 0;
      if (first && at == 0 && read_at(file, 0, &sync, 1) && sync == 0xFF) return Outcome::empty;
      break;
    }
    if (at < window_start || at + 4 > window_start + window_length) {
      window_start = at;
      window_length = std::min(kWindow, size - at);
      if (!read_at(file, window_start, window.data(), window_length)) return Outcome::kept;
    }
    audio::MP3FrameInfo frame;
    if (!audio::parse_frame_header(window.data() + (at - window_start), frame) || frame.frame_length == 0)
      return Outcome::kept;
    if (first && frame.layer != 3) return Outcome::kept;  // the recorder writes Layer III only
    first = false;
    if (frame.frame_length > size - at) break;  // the last frame runs past the end: cut here
    at += frame.frame_length;
  }
  if (at >= size || first) return Outcome::kept;
  if (at == start) return Outcome::empty;
  return file.set_size(at) && file.flush() ? Outcome::mended : Outcome::kept;
}

}  // namespace

bool mark_unfinished(const std::wstring& marker, const std::wstring& recording) {
  // UTF-16LE, each character as two bytes: the device's paths are in the
  // basic plane.
  std::vector<std::uint8_t> bytes;
  for (wchar_t c : recording) {
    const auto unit = static_cast<std::uint32_t>(c);
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
  }
  os::File file(marker, 1);
  if (!file.is_ok()) return false;
  const auto count = static_cast<std::uint32_t>(bytes.size());
  return file.write(bytes.data(), count) == count && file.flush();
}

void clear_unfinished(const std::wstring& marker) {
  if (os::FileInfo(os::expand_path(marker)).exists()) os::delete_file(marker);
}

std::wstring read_unfinished(const std::wstring& marker) {
  os::File file(marker, 0);
  if (!file.is_ok()) return {};
  const std::uint32_t size = file.get_size();
  if (size == 0 || size > kMaxMarkerBytes || size % 2 != 0) return {};
  std::vector<std::uint8_t> bytes(size);
  if (file.read(bytes.data(), size) != size) return {};
  std::wstring path;
  for (std::uint32_t i = 0; i < size; i += 2) {
    const wchar_t c = static_cast<wchar_t>(bytes[i] | bytes[i + 1] << 8);
    if (c == 0) return {};
    path.push_back(c);
  }
  return path;
}

bool repair_unfinished(const std::wstring& marker) {
  const std::wstring path = read_unfinished(marker);
  const bool repaired = !path.empty() && repair_recording(path);
  clear_unfinished(marker);
  return repaired;
}

bool repair_recording(const std::wstring& path) {
  const std::wstring full = os::expand_path(path);
  const std::wstring extension = os::to_lower(os::path_extension(full));
  if (extension != L"wav" && extension != L"mp3") return false;
  if (!os::FileInfo(full).exists()) return false;
  Outcome outcome = Outcome::kept;
  {
    KeepFileTime keep(full);
    outcome = extension == L"wav" ? repair_wav(full) : repair_mp3(full);
    if (outcome == Outcome::empty) keep.forget();
  }
  if (outcome == Outcome::mended) os::get_log() << L"repair_recording: mended " << full << L"\n";
  if (outcome != Outcome::empty) return outcome == Outcome::mended;
  // Nothing in it can ever play: listed, it would only puzzle the user.
  const bool deleted = os::delete_file(full);
  os::get_log() << L"repair_recording: " << (deleted ? L"deleted " : L"cannot delete ") << full
                << L", which holds no whole block or frame\n";
  return deleted;
}

}  // namespace vocamo
