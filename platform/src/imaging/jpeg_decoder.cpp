// JPEG files through libjpeg, in any colour space it turns into RGB. A file
// cut short is refused rather than shown half grey.
//
// libjpeg reports errors by calling back, and the call back leaves with
// longjmp: no C++ object with a destructor lives in a frame it crosses, and
// the pixels are plain malloc'd memory until the decoder is done.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include "picture.h"

namespace ce::imaging {
namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

struct MemorySource {
  jpeg_source_mgr base;
  bool ranOut;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }
void Quiet(j_common_ptr) {}
void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// Out of data: an end-of-image marker stops the decoder, and the picture
// counts as cut short.
boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* source = reinterpret_cast<MemorySource*>(cinfo->src);
  source->ranOut = true;
  source->base.next_input_byte = kEndOfImage;
  source->base.bytes_in_buffer = sizeof kEndOfImage;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = cinfo->src;
  std::size_t n = static_cast<std::size_t>(count);
  if (n > source->bytes_in_buffer) {
    reinterpret_cast<MemorySource*>(source)->ranOut = true;
    n = source->bytes_in_buffer;
  }
  source->next_input_byte += n;
  source->bytes_in_buffer -= n;
}

struct Decoded {
  std::uint32_t* pixels;  // malloc'd, width * height
  std::uint32_t width;
  std::uint32_t height;
};

// Plain C data only from here to the end of the decode.
bool DecodeToMemory(const std::uint8_t* data, std::size_t size, Decoded* result) {
  jpeg_decompress_struct cinfo;
  ErrorManager errors;
  std::uint32_t* volatile pixels = nullptr;
  cinfo.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = ErrorExit;
  errors.base.output_message = Quiet;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::free(pixels);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  // Enough for the largest picture taken; a hostile header asking for more
  // (a huge progressive picture) fails instead of growing without bound.
  cinfo.mem->max_memory_to_use = 256L << 20;
  auto* source = static_cast<MemorySource*>(
      (*cinfo.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_PERMANENT, sizeof(MemorySource)));
  source->base.init_source = InitSource;
  source->base.fill_input_buffer = FillInputBuffer;
  source->base.skip_input_data = SkipInputData;
  source->base.resync_to_restart = jpeg_resync_to_restart;
  source->base.term_source = TermSource;
  source->base.next_input_byte = data;
  source->base.bytes_in_buffer = size;
  source->ranOut = false;
  cinfo.src = &source->base;

  jpeg_read_header(&cinfo, TRUE);
  const std::uint64_t w = cinfo.image_width, h = cinfo.image_height;
  if (source->ranOut || w == 0 || h == 0 || w > kMaxSide || h > kMaxSide || w * h > kMaxPixels) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  const std::uint32_t width = cinfo.output_width, height = cinfo.output_height;
  if (cinfo.output_components != 3 || width != w || height != h) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  pixels = static_cast<std::uint32_t*>(std::malloc(static_cast<std::size_t>(width) * height * 4));
  if (pixels == nullptr) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, width * 3, 1);
  while (cinfo.output_scanline < height && !source->ranOut) {
    const std::uint32_t y = cinfo.output_scanline;
    if (jpeg_read_scanlines(&cinfo, row, 1) != 1) break;
    std::uint32_t* target = pixels + static_cast<std::size_t>(y) * width;
    const JSAMPLE* rgb = row[0];
    for (std::uint32_t x = 0; x < width; ++x, rgb += 3) {
      target[x] = static_cast<std::uint32_t>(rgb[0]) << 16 | static_cast<std::uint32_t>(rgb[1]) << 8 | rgb[2];
    }
  }
  // The source lives in the decoder's memory: read it before it goes.
  bool complete = cinfo.output_scanline == height && !source->ranOut;
  if (complete) {
    jpeg_finish_decompress(&cinfo);
    complete = !source->ranOut;
  }
  jpeg_destroy_decompress(&cinfo);
  if (!complete) {
    std::free(pixels);
    return false;
  }
  result->pixels = pixels;
  result->width = width;
  result->height = height;
  return true;
}

}  // namespace

bool DecodeJpeg(const std::uint8_t* data, std::size_t size, Picture& out) {
  Decoded decoded{nullptr, 0, 0};
  if (!DecodeToMemory(data, size, &decoded)) return false;
  bool ok = false;
  try {
    ok = out.Allocate(decoded.width, decoded.height);
    if (ok) std::memcpy(out.pixels.data(), decoded.pixels, out.pixels.size() * sizeof(std::uint32_t));
  } catch (...) {
    std::free(decoded.pixels);
    throw;
  }
  std::free(decoded.pixels);
  return ok;
}

}  // namespace ce::imaging
