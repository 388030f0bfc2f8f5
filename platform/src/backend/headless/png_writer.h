// A small PNG encoder for screenshots: 8-bit RGB, no filtering, the image
// data in stored (uncompressed) deflate blocks. Any PNG reader opens it.
#pragma once

#include <cstdint>
#include <vector>

namespace ce::backend {

// `rgb` holds width x height pixels, three bytes each, rows top to bottom.
std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace ce::backend
