// RIFF/WAVE headers of the three kinds of WAV file the recorder reads and
// writes: PCM (tag 1), Microsoft ADPCM (tag 2) and GSM 06.10 in the WAV49
// packing (tag 49). Every number on disk is little-endian.
//
// Created files have a fixed layout: the 36 standard bytes, the format's own
// fmt fields and "fact" chunk, then "data" (data from 44, 90 and 60). Files
// from elsewhere may carry other chunks; the readers walk to "fact" and
// "data" wherever they are.
#pragma once

#include <cstdint>
#include <vector>

#include "liba/resource.h"

namespace audio {

inline constexpr std::uint32_t WAVE_FORMAT_PCM = 1;
inline constexpr std::uint32_t WAVE_FORMAT_ADPCM = 2;
inline constexpr std::uint32_t WAVE_FORMAT_GSM610 = 49;

// The sample rates the device's wave output plays. A header outside them
// is refused like a damaged one: a file that nothing can play is not taken
// for a recording (and never "plays" without a sound).
inline constexpr std::uint32_t kPlayableRateMin = 1000;
inline constexpr std::uint32_t kPlayableRateMax = 192000;

struct WAVInfo {
  WAVInfo() = default;
  WAVInfo(const WAVInfo&) = default;
  WAVInfo& operator=(const WAVInfo&) = default;
  virtual ~WAVInfo() = default;

  // Reads the format's own fields after the 16 standard fmt bytes, and the
  // chunks that belong to them; answers whether the file is of this format.
  virtual bool read_extra(liba::ResourceReader& reader) = 0;
  virtual bool write_extra(liba::ResourceWriter& writer) = 0;

  std::uint32_t channels = 0;
  std::uint32_t bits_per_sample = 0;
  std::uint32_t sample_rate = 0;
  std::uint32_t format_tag = 0;  // 16 bits on disk
  std::uint32_t byte_rate = 0;
  std::uint16_t block_align = 0;
  std::uint32_t riff_size = 0;    // the second word of the file
  std::uint32_t fmt_size = 0;     // length of the fmt chunk's body
  std::uint32_t data_size = 0;    // length of the data chunk's body
  std::uint32_t data_offset = 0;  // file position of the first data byte
};

struct WAVInfoPCM : WAVInfo {
  // Tag 1 in a form the wave output plays: one or two channels of 8 or 16
  // bits at a playable rate, and a block align that is exactly one frame.
  bool read_extra(liba::ResourceReader& reader) override;
  bool write_extra(liba::ResourceWriter& writer) override;
};

struct ADPCMCoefficient {
  std::int16_t coef1 = 0;
  std::int16_t coef2 = 0;
};

// The predictor pairs every MS ADPCM file of the recorder carries.
inline constexpr ADPCMCoefficient kADPCMStandardCoefficients[7] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                                                   {240, 0}, {460, -208}, {392, -232}};

struct WAVInfoADPCM : WAVInfo {
  // Tag 2, one or two channels, 4 bits, a playable rate, seven coefficient
  // pairs, and block
  // arithmetic that holds: a block align of at least one header per channel
  // and between 1 and as many samples per block as such a block holds.
  bool read_extra(liba::ResourceReader& reader) override;
  bool write_extra(liba::ResourceWriter& writer) override;

  std::uint16_t samples_per_block = 1;
  std::vector<ADPCMCoefficient> coefficients;
  std::uint32_t coefficient_count = 0;
  std::uint32_t fact_samples = 0;
  // File position of the "fact" sample count (where it was read or last
  // written), so an appended file's count can be updated in place.
  std::uint32_t fact_offset = 0;
};

struct WAVInfoGSM : WAVInfo {
  // Tag 49, mono, 8000 Hz, 320 samples in 65-byte blocks.
  bool read_extra(liba::ResourceReader& reader) override;
  bool write_extra(liba::ResourceWriter& writer) override;

  std::uint16_t samples_per_block = 0;
  std::uint32_t fact_samples = 0;
  std::uint32_t fact_offset = 0;
};

// The 36 standard bytes, from the reader's position 0. False on a short
// read, a wrong tag, or an fmt chunk shorter than its 16 standard bytes.
bool read_wav_header(WAVInfo& info, liba::ResourceReader& reader);
bool write_wav_header(WAVInfo& info, liba::ResourceWriter& writer);

// The whole test of whether a file is of the record's format: the header,
// the format's own fields and the data chunk. A data size of 0 or one past
// the end of the file means "to the end of the file" (a recording that was
// cut off before its header was finished).
bool read_wav_info(WAVInfo& info, liba::ResourceReader& reader);
// Header, format fields, "data" and the data size; the writer must stand at 0.
bool write_wav_info(WAVInfo& info, liba::ResourceWriter& writer);

// Walks the chunks after the fmt chunk to the one named `tag` (four bytes);
// the reader then stands at its body and `size` holds the body's length.
// False when the walk runs past the end of the file.
bool find_chunk(WAVInfo& info, liba::ResourceReader& reader, const char* tag, std::uint32_t& size);

}  // namespace audio
