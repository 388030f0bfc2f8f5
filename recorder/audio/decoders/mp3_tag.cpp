#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "audio/mp3_reader.h"
#include "os/file.h"

namespace audio {
namespace {

constexpr std::uint32_t kSearchBytes = 1000;
constexpr std::uint32_t kBodyBytes = 125;

// A field of the tag body: trailing spaces and NULs dropped, then cut at the
// first NUL.
std::string tag_field(const std::uint8_t* body, std::uint32_t from, std::uint32_t to) {
  std::uint32_t end = to + 1;
  while (end > from && (body[end - 1] == ' ' || body[end - 1] == 0)) --end;
  std::string text(reinterpret_cast<const char*>(body + from), end - from);
  const std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

}  // namespace

MP3TagInfo read_mp3_tag(const std::wstring& path) {
  MP3TagInfo tag;
  os::File file(path, 0);
  if (!file.is_ok()) return tag;

  const std::uint32_t size = file.get_size();
  const std::uint32_t n = std::min(size, kSearchBytes);
  std::uint8_t tail[kSearchBytes];
  file.seek(size - n);
  const std::uint32_t got = n == 0 ? 0 : file.read(tail, n);
  if (got < 3) return tag;
  std::int64_t index = -1;
  for (std::uint32_t i = got - 2; i-- > 0;) {
    if (tail[i] == 'T' && tail[i + 1] == 'A' && tail[i + 2] == 'G') {
      index = i;
      break;
    }
  }
  if (index < 0) return tag;

  std::uint8_t body[kBodyBytes];
  file.seek(static_cast<std::uint32_t>(size - got + static_cast<std::uint32_t>(index) + 3));
  if (file.read(body, kBodyBytes) < kBodyBytes) return tag;
  if (body[122] == 0 && body[123] != 0) tag.track = body[123];
  tag.title = tag_field(body, 0, 29);
  tag.artist = tag_field(body, 30, 59);
  tag.album = tag_field(body, 60, 89);
  tag.year = tag_field(body, 90, 93);
  tag.comment = tag_field(body, 94, 123);
  tag.genre = body[124];
  tag.found = 1;
  return tag;
}

}  // namespace audio
