#include "engine/jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
#include <jerror.h>

#include "engine/log.h"

// No C++ object with a destructor lives in a frame that longjmp crosses: the
// decoder's state is plain C data.
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

void ErrorExit(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void OutputMessage(j_common_ptr cinfo) {
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  WriteLog(2, L"JPEG: %S", text);
}

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// Out of data: hand the decoder an end-of-image marker so it stops, and
// remember that the picture was cut short.
boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* source = reinterpret_cast<MemorySource*>(cinfo->src);
  source->ranOut = true;
  WARNMS(cinfo, JWRN_JPEG_EOF);
  source->base.next_input_byte = kEndOfImage;
  source->base.bytes_in_buffer = sizeof kEndOfImage;
  return TRUE;
}

// Skips within the data; a skip past their end stops at the end, where the
// next read meets the end-of-image marker.
void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = cinfo->src;
  std::size_t n = static_cast<std::size_t>(count);
  if (n > source->bytes_in_buffer) n = source->bytes_in_buffer;
  source->next_input_byte += n;
  source->bytes_in_buffer -= n;
}

}  // namespace

bool DecodeJpeg(const std::uint8_t* data, std::size_t size, std::uint32_t maxSide, ssJpegPixels* out) {
  if (data == nullptr || out == nullptr) return false;
  *out = ssJpegPixels{};
  jpeg_decompress_struct cinfo;
  ErrorManager errors;
  std::uint8_t* volatile pixels = nullptr;

  cinfo.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = ErrorExit;
  errors.base.output_message = OutputMessage;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::free(pixels);
    return false;
  }
  jpeg_create_decompress(&cinfo);
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
  if (source->ranOut || cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > maxSide ||
      cinfo.image_height > maxSide) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  // RGB out whatever the stored colour space, so grey pictures decode too.
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  const std::uint32_t width = cinfo.output_width;
  const std::uint32_t height = cinfo.output_height;
  const std::uint32_t components = static_cast<std::uint32_t>(cinfo.output_components);
  if (components != 3 || width == 0 || height == 0 || width > maxSide || height > maxSide) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  pixels = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(width) * height * 4));
  if (pixels == nullptr) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, width * 3, 1);
  while (cinfo.output_scanline < height) {
    std::uint32_t y = cinfo.output_scanline;
    if (jpeg_read_scanlines(&cinfo, row, 1) != 1) break;
    std::uint8_t* target = pixels + static_cast<std::size_t>(y) * width * 4;
    const JSAMPLE* rgb = row[0];
    for (std::uint32_t x = 0; x < width; ++x) {
      target[4 * x + 0] = rgb[3 * x + 2];
      target[4 * x + 1] = rgb[3 * x + 1];
      target[4 * x + 2] = rgb[3 * x + 0];
      target[4 * x + 3] = 0xFF;
    }
  }
  bool complete = cinfo.output_scanline == height;
  if (complete) jpeg_finish_decompress(&cinfo);
  bool cutShort = source->ranOut;
  jpeg_destroy_decompress(&cinfo);
  if (!complete || cutShort) {
    std::free(pixels);
    return false;
  }
  out->pixels = pixels;
  out->width = width;
  out->height = height;
  out->rowBytes = width * 4;
  return true;
}
