#include "runtime/riff_reader.h"

#include <algorithm>

#include "runtime/le_bytes.h"

namespace ks::runtime {

namespace {

std::string_view Text(std::span<const std::uint8_t> bytes, std::size_t at) {
  return {reinterpret_cast<const char*>(bytes.data() + at), 4};
}

}  // namespace

RiffReader::RiffReader(std::span<const std::uint8_t> file, std::string_view form)
    : bytes_(file), ok_(file.size() >= 12 && Text(file, 0) == "RIFF" && Text(file, 8) == form) {}

bool RiffReader::Next(RiffChunk& chunk) {
  if (!ok_ || at_ > bytes_.size() || bytes_.size() - at_ < 8) return false;
  chunk.id = Text(bytes_, at_);
  chunk.size = LoadLe32(bytes_.data() + at_ + 4);
  chunk.offset = at_ + 8;
  const std::size_t held = std::min<std::size_t>(chunk.size, bytes_.size() - chunk.offset);
  chunk.body = bytes_.subspan(chunk.offset, held);
  at_ = chunk.offset + std::size_t{chunk.size} + (chunk.size & 1u);
  return true;
}

}  // namespace ks::runtime
