// Reading the RIFF "WAVE" files the devices play and the headless
// microphone reads: PCM only, 8 or 16 bits, 1 or 2 channels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "backend/audio.h"

namespace ce::backend {

struct WavImage {
  PcmFormat format;
  std::size_t dataOffset = 0;  // of the samples within the image
  std::size_t dataSize = 0;    // whole frames, inside the image
};

// Parses an image of `size` bytes. The data chunk is clamped to the bytes
// present, and a data size of 0 means "to the end of the file" (a recording
// cut short before its header was finished). Null for anything else than
// a PCM WAV of a supported format.
std::optional<WavImage> ParseWav(const std::uint8_t* bytes, std::size_t size);

// The canonical 44-byte header of a PCM WAV holding dataSize bytes.
void WriteWavHeader(std::uint8_t* header44, const PcmFormat& format, std::uint32_t dataSize);

// Whether the devices can play or record this format.
bool IsSupportedFormat(const PcmFormat& format);

}  // namespace ce::backend
