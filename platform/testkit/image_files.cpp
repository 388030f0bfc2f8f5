#include "testkit/image_files.h"

#include <gif_lib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace ce::imaging::testkit {
namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

int Write(GifFileType* gif, const GifByteType* data, int n) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + n);
  return n;
}

}  // namespace

std::uint32_t PatternColour(int index) {
  return ((index & 4) ? 0xFF0000u : 0) | ((index & 2) ? 0x00FF00u : 0) | ((index & 1) ? 0x0000FFu : 0);
}

std::uint32_t PatternPixel(int x, int y, int colours) { return PatternColour((x + 3 * y) % colours); }

std::vector<std::uint8_t> EncodeBmp(int width, int height, const BmpOptions& o) {
  const int bpp = o.bitCount;
  const int colours = bpp == 1 ? 2 : 8;
  const std::uint32_t tableCount = bpp <= 8 ? (1u << bpp) : 0;
  const bool masks = o.bitfields && (bpp == 16 || bpp == 32);
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * bpp + 31) / 32 * 4;
  const std::uint32_t offBits = 14 + 40 + (masks ? 12 : 0) + tableCount * 4;
  std::vector<std::uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, offBits + stride * height);
  Put32(out, 0);
  Put32(out, offBits);
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(o.topDown ? -height : height));
  Put16(out, 1);
  Put16(out, static_cast<std::uint32_t>(bpp));
  Put32(out, masks ? 3 : 0);
  Put32(out, stride * height);
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  if (masks) {
    const bool wide = bpp == 32;
    Put32(out, wide ? 0xFF0000 : 0xF800);
    Put32(out, wide ? 0x00FF00 : 0x07E0);
    Put32(out, wide ? 0x0000FF : 0x001F);
  }
  for (std::uint32_t i = 0; i < tableCount; ++i) Put32(out, i < 8 ? PatternColour(static_cast<int>(i)) : 0);
  for (int row = 0; row < height; ++row) {
    const int y = o.topDown ? row : height - 1 - row;
    std::vector<std::uint8_t> line(stride, 0);
    for (int x = 0; x < width; ++x) {
      const int index = (x + 3 * y) % colours;
      const std::uint32_t c = PatternColour(index);
      const std::uint8_t r = static_cast<std::uint8_t>(c >> 16), g = static_cast<std::uint8_t>(c >> 8),
                         b = static_cast<std::uint8_t>(c);
      switch (bpp) {
        case 1:
          line[x / 8] |= static_cast<std::uint8_t>(index << (7 - x % 8));
          break;
        case 4:
          line[x / 2] |= static_cast<std::uint8_t>(x % 2 ? index : index << 4);
          break;
        case 8:
          line[x] = static_cast<std::uint8_t>(index);
          break;
        case 16: {
          const std::uint32_t v =
              masks ? ((r >> 3) << 11 | (g >> 2) << 5 | b >> 3) : ((r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
          line[2 * x] = static_cast<std::uint8_t>(v);
          line[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
          break;
        }
        case 24:
          line[3 * x] = b, line[3 * x + 1] = g, line[3 * x + 2] = r;
          break;
        default:
          line[4 * x] = b, line[4 * x + 1] = g, line[4 * x + 2] = r;
          break;
      }
    }
    out.insert(out.end(), line.begin(), line.end());
  }
  return out;
}

namespace {

// A 4 x 2 BMP of two colours (black, white) from its RLE data.
std::vector<std::uint8_t> RleBmp(bool four, const std::vector<std::uint8_t>& pixels) {
  std::vector<std::uint8_t> out = {'B', 'M'};
  Put32(out, 14 + 40 + 8 + static_cast<std::uint32_t>(pixels.size()));
  Put32(out, 0);
  Put32(out, 14 + 40 + 8);
  for (std::uint32_t v : {40u, 4u, 2u}) Put32(out, v);
  Put16(out, 1);
  Put16(out, four ? 4 : 8);
  for (std::uint32_t v : {four ? 2u : 1u, static_cast<std::uint32_t>(pixels.size()), 0u, 0u, 2u, 0u}) Put32(out, v);
  Put32(out, 0x000000);
  Put32(out, 0xFFFFFF);
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

}  // namespace

std::vector<std::uint8_t> Rle8Sample() { return RleBmp(false, {2, 1, 2, 0, 0, 0, 0, 4, 1, 0, 1, 0, 0, 1}); }

std::vector<std::uint8_t> Rle4Sample() { return RleBmp(true, {4, 0x10, 0, 0, 0, 4, 0x11, 0x00, 0, 1}); }

std::vector<std::uint8_t> EncodeGif(int width, int height, bool interlace, int transparent) {
  std::vector<std::uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, Write, &error);
  GifColorType colours[8];
  for (int i = 0; i < 8; ++i) {
    const std::uint32_t c = PatternColour(i);
    colours[i] = {static_cast<GifByteType>(c >> 16), static_cast<GifByteType>(c >> 8), static_cast<GifByteType>(c)};
  }
  ColorMapObject* map = GifMakeMapObject(8, colours);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, width, height, 8, 0, map);
  if (transparent >= 0) {
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSAL_UNSPECIFIED;
    control.TransparentColor = transparent;
    GifByteType block[4];
    const std::size_t n = EGifGCBToExtension(&control, block);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), block);
  }
  EGifPutImageDesc(gif, 0, 0, width, height, interlace, nullptr);
  std::vector<GifPixelType> line(static_cast<std::size_t>(width));
  static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
  for (int pass = 0; pass < (interlace ? 4 : 1); ++pass) {
    for (int y = interlace ? kStart[pass] : 0; y < height; y += interlace ? kStep[pass] : 1) {
      for (int x = 0; x < width; ++x) line[x] = static_cast<GifPixelType>((x + 3 * y) % 8);
      EGifPutLine(gif, line.data(), width);
    }
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

std::uint32_t QuadrantPixel(int x, int y, int width, int height) {
  const bool right = x >= width / 2, bottom = y >= height / 2;
  if (!bottom) return right ? 0x00FF00 : 0xFF0000;
  return right ? 0xFFFFFF : 0x0000FF;
}

std::vector<std::uint8_t> EncodeJpeg(int width, int height) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = QuadrantPixel(x, y, width, height);
      row[3 * x] = static_cast<JSAMPLE>(c >> 16);
      row[3 * x + 1] = static_cast<JSAMPLE>(c >> 8);
      row[3 * x + 2] = static_cast<JSAMPLE>(c);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<std::uint8_t> out(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return out;
}

}  // namespace ce::imaging::testkit
