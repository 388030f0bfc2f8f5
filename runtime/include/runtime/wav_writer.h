// PCM WAV files for the build's sound makers: the canonical 44-byte header
// ("RIFF", a 16-byte "fmt " chunk, "data") and the samples, and tones to
// fill them with.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ks::runtime {

// The file of PCM samples already in the file's layout (8-bit unsigned or
// 16-bit little-endian, channels interleaved).
std::vector<std::uint8_t> PcmWav(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits,
                                 std::span<const std::uint8_t> samples);

// 16-bit mono samples as a WAV file at `path`; false when it cannot be
// written whole.
bool WriteMonoPcmWav(const std::string& path, const std::vector<std::int16_t>& samples, std::uint32_t rate);

// Appends a tone of `hz` at `level` (of full scale) lasting `seconds` at
// `rate`, with short fades so that it starts and ends without a click.
void AppendTone(std::vector<std::int16_t>& samples, std::uint32_t rate, double hz, double seconds, double level);

}  // namespace ks::runtime
