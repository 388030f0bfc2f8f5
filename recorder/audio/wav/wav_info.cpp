#include "audio/wav_info.h"
#include "runtime/le_bytes.h"

#include <cstring>

namespace audio {

namespace {

using ks::runtime::LoadLe16;
using ks::runtime::LoadLe32;

void Put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool ReadExact(liba::ResourceReader& reader, void* buffer, std::uint32_t count) {
  return reader.is_ok() && reader.read(buffer, count) == count;
}

bool WriteExact(liba::ResourceWriter& writer, const void* buffer, std::uint32_t count) {
  return writer.is_ok() && writer.write(buffer, count) == count;
}

bool Read16(liba::ResourceReader& reader, std::uint16_t& value) {
  std::uint8_t b[2];
  if (!ReadExact(reader, b, 2)) return false;
  value = LoadLe16(b);
  return true;
}

bool Read32(liba::ResourceReader& reader, std::uint32_t& value) {
  std::uint8_t b[4];
  if (!ReadExact(reader, b, 4)) return false;
  value = LoadLe32(b);
  return true;
}

bool Write16(liba::ResourceWriter& writer, std::uint32_t value) {
  std::uint8_t b[2];
  Put16(b, value);
  return WriteExact(writer, b, 2);
}

bool Write32(liba::ResourceWriter& writer, std::uint32_t value) {
  std::uint8_t b[4];
  Put32(b, value);
  return WriteExact(writer, b, 4);
}

bool WriteTag(liba::ResourceWriter& writer, const char* tag) { return WriteExact(writer, tag, 4); }

// The "fact" chunk's sample count; `offset` gets the count's file position.
bool ReadFact(WAVInfo& info, liba::ResourceReader& reader, std::uint32_t& samples, std::uint32_t& offset) {
  std::uint32_t size = 0;
  if (!find_chunk(info, reader, "fact", size) || size < 4) return false;
  offset = reader.tell();
  return Read32(reader, samples);
}

bool WriteFact(liba::ResourceWriter& writer, std::uint32_t samples, std::uint32_t& offset) {
  if (!WriteTag(writer, "fact") || !Write32(writer, 4)) return false;
  offset = writer.tell();
  return Write32(writer, samples);
}

}  // namespace

bool WAVInfoPCM::read_extra(liba::ResourceReader& /*reader*/) {
  if (format_tag != WAVE_FORMAT_PCM) return false;
  if ((channels != 1 && channels != 2) || (bits_per_sample != 8 && bits_per_sample != 16)) return false;
  if (sample_rate < kPlayableRateMin || sample_rate > kPlayableRateMax) return false;
  // Every stage after the reader takes a frame as channels whole bytes.
  const std::uint64_t frame = static_cast<std::uint64_t>(channels) * ((bits_per_sample + 7) / 8);
  return frame == block_align;
}

bool WAVInfoPCM::write_extra(liba::ResourceWriter& /*writer*/) { return true; }

bool WAVInfoADPCM::read_extra(liba::ResourceReader& reader) {
  std::uint16_t extra = 0;
  std::uint16_t count = 0;
  if (!Read16(reader, extra) || !Read16(reader, samples_per_block) || !Read16(reader, count)) return false;
  if (format_tag != WAVE_FORMAT_ADPCM || (channels != 1 && channels != 2) || bits_per_sample != 4) return false;
  if (sample_rate < kPlayableRateMin || sample_rate > kPlayableRateMax) return false;
  // Checked before the table is read, so a hostile count allocates nothing.
  if (count != 7 || fmt_size < 22u + 4u * count) return false;
  std::vector<ADPCMCoefficient> table(count);
  for (ADPCMCoefficient& pair : table) {
    std::uint16_t c1 = 0;
    std::uint16_t c2 = 0;
    if (!Read16(reader, c1) || !Read16(reader, c2)) return false;
    pair.coef1 = static_cast<std::int16_t>(c1);
    pair.coef2 = static_cast<std::int16_t>(c2);
  }
  coefficients = std::move(table);
  coefficient_count = count;
  // A block holds a 7-byte header per channel, then two samples per byte
  // and channel besides the two the header carries.
  if (block_align < 7 * channels) return false;
  const std::uint32_t most = (block_align - 7 * channels) * 2 / channels + 2;
  if (samples_per_block == 0 || samples_per_block > most) return false;
  return ReadFact(*this, reader, fact_samples, fact_offset);
}

bool WAVInfoADPCM::write_extra(liba::ResourceWriter& writer) {
  const std::uint32_t count = static_cast<std::uint32_t>(coefficients.size());
  if (!Write16(writer, 4 * (count + 1)) || !Write16(writer, samples_per_block) || !Write16(writer, count)) return false;
  for (const ADPCMCoefficient& pair : coefficients) {
    if (!Write16(writer, static_cast<std::uint16_t>(pair.coef1)) ||
        !Write16(writer, static_cast<std::uint16_t>(pair.coef2)))
      return false;
  }
  return WriteFact(writer, fact_samples, fact_offset);
}

bool WAVInfoGSM::read_extra(liba::ResourceReader& reader) {
  std::uint16_t extra = 0;
  if (fmt_size < 20 || !Read16(reader, extra) || !Read16(reader, samples_per_block)) return false;
  if (format_tag != WAVE_FORMAT_GSM610 || channels != 1 || sample_rate != 8000 || samples_per_block != 320 ||
      block_align != 65)
    return false;
  return ReadFact(*this, reader, fact_samples, fact_offset);
}

bool WAVInfoGSM::write_extra(liba::ResourceWriter& writer) {
  return Write16(writer, 2) && Write16(writer, samples_per_block) && WriteFact(writer, fact_samples, fact_offset);
}

bool read_wav_header(WAVInfo& info, liba::ResourceReader& reader) {
  std::uint8_t h[36];
  if (!reader.is_ok() || reader.seek(0) == 0 || !ReadExact(reader, h, sizeof h)) return false;
  if (std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 8, "WAVE", 4) != 0 || std::memcmp(h + 12, "fmt ", 4) != 0)
    return false;
  info.riff_size = LoadLe32(h + 4);
  info.fmt_size = LoadLe32(h + 16);
  info.format_tag = LoadLe16(h + 20);
  info.channels = LoadLe16(h + 22);
  info.sample_rate = LoadLe32(h + 24);
  info.byte_rate = LoadLe32(h + 28);
  info.block_align = LoadLe16(h + 32);
  info.bits_per_sample = LoadLe16(h + 34);
  return info.fmt_size >= 16;
}

bool write_wav_header(WAVInfo& info, liba::ResourceWriter& writer) {
  std::uint8_t h[36];
  std::memcpy(h, "RIFF", 4);
  Put32(h + 4, info.riff_size);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  Put32(h + 16, info.fmt_size);
  Put16(h + 20, info.format_tag);
  Put16(h + 22, info.channels);
  Put32(h + 24, info.sample_rate);
  Put32(h + 28, info.byte_rate);
  Put16(h + 32, info.block_align);
  Put16(h + 34, info.bits_per_sample);
  return WriteExact(writer, h, sizeof h);
}

bool read_wav_info(WAVInfo& info, liba::ResourceReader& reader) {
  if (!read_wav_header(info, reader) || !info.read_extra(reader)) return false;
  std::uint32_t size = 0;
  if (!find_chunk(info, reader, "data", size)) return false;
  info.data_offset = reader.tell();
  const std::uint32_t file_size = reader.get_size();
  const std::uint32_t present = file_size >= info.data_offset ? file_size - info.data_offset : 0;
  info.data_size = size == 0 || size > present ? present : size;
  return true;
}

bool write_wav_info(WAVInfo& info, liba::ResourceWriter& writer) {
  return write_wav_header(info, writer) && info.write_extra(writer) && WriteTag(writer, "data") &&
         Write32(writer, info.data_size);
}

bool find_chunk(WAVInfo& info, liba::ResourceReader& reader, const char* tag, std::uint32_t& size) {
  const std::uint64_t file_size = reader.get_size();
  // Just past the fmt chunk and its pad byte, if its size is odd.
  std::uint64_t at = 20ull + info.fmt_size + (info.fmt_size & 1u);
  // Every step moves forward by at least the 8 bytes of a chunk head, and
  // a position past the end stops the walk, so it always ends.
  while (at + 8 <= file_size) {
    std::uint8_t head[8];
    if (reader.seek(static_cast<std::uint32_t>(at)) == 0 || !ReadExact(reader, head, sizeof head)) return false;
    const std::uint32_t body = LoadLe32(head + 4);
    if (std::memcmp(head, tag, 4) == 0) {
      size = body;
      return true;
    }
    // RIFF pads an odd chunk body to an even length.
    at += 8ull + body + (body & 1u);
  }
  return false;
}

}  // namespace audio
