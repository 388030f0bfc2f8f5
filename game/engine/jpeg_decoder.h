// JPEG decoding from memory. The decoder reads through a memory source made
// from the decompressor's own allocator; data that end early are finished
// with an end-of-image marker and the decode is reported as failed, and any
// decoder error returns here instead of ending the program.
#pragma once

#include <cstddef>
#include <cstdint>

struct ssJpegPixels {
  std::uint8_t* pixels = nullptr;  // malloc'd B, G, R, A bytes (A = 0xFF); the caller frees
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t rowBytes = 0;
};

// False (and no pixels) when the data are not a whole, decodable JPEG
// picture of at most maxSide pixels a side.
bool DecodeJpeg(const std::uint8_t* data, std::size_t size, std::uint32_t maxSide, ssJpegPixels* out);
