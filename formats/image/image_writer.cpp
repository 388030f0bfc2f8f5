#include "image_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>

#include <jpeglib.h>
#include <png.h>

#include "runtime/le_bytes.h"

namespace imgconv {

using ks::runtime::AppendLe;

namespace {

const std::uint8_t* At(const Picture& p, std::uint32_t x, std::uint32_t y) {
  return p.rgba.data() + (static_cast<std::size_t>(y) * p.width + x) * 4;
}

std::vector<std::uint8_t> RawHeader(std::uint32_t magic, const Picture& picture, bool withAlpha) {
  std::vector<std::uint8_t> out;
  AppendLe(out, magic, 4);
  AppendLe(out, 0, 4);
  AppendLe(out, picture.width, 4);
  AppendLe(out, picture.height, 4);
  AppendLe(out, withAlpha ? 4 : 0, 4);
  out.resize(52, 0);
  return out;
}

}  // namespace

std::vector<std::uint8_t> EncodeTga(const Picture& picture, int bits, bool runLength) {
  const std::uint32_t bytes = bits == 32 ? 4 : 3;
  std::vector<std::uint8_t> out(18, 0);
  out[2] = runLength ? 10 : 2;
  out[12] = static_cast<std::uint8_t>(picture.width);
  out[13] = static_cast<std::uint8_t>(picture.width >> 8);
  out[14] = static_cast<std::uint8_t>(picture.height);
  out[15] = static_cast<std::uint8_t>(picture.height >> 8);
  out[16] = static_cast<std::uint8_t>(bytes * 8);
  out[17] = bits == 32 ? 8 : 0;  // alpha bits; origin bottom left
  // Pixels in file order: bottom row first, each B, G, R (, A).
  std::vector<std::array<std::uint8_t, 4>> pixels;
  for (std::uint32_t row = picture.height; row-- > 0;) {
    for (std::uint32_t x = 0; x < picture.width; ++x) {
      const std::uint8_t* p = At(picture, x, row);
      pixels.push_back({p[2], p[1], p[0], p[3]});
    }
  }
  auto put = [&](const std::array<std::uint8_t, 4>& p) { out.insert(out.end(), p.begin(), p.begin() + bytes); };
  if (!runLength) {
    for (const auto& p : pixels) put(p);
    return out;
  }
  auto same = [&](std::size_t a, std::size_t b) {
    return std::equal(pixels[a].begin(), pixels[a].begin() + bytes, pixels[b].begin());
  };
  std::size_t i = 0;
  while (i < pixels.size()) {
    std::size_t run = 1;
    while (i + run < pixels.size() && run < 128 && same(i, i + run)) ++run;
    if (run >= 2) {
      out.push_back(static_cast<std::uint8_t>(0x80 | (run - 1)));
      put(pixels[i]);
      i += run;
      continue;
    }
    std::size_t literal = 1;
    while (i + literal < pixels.size() && literal < 128 &&
           !(i + literal + 1 < pixels.size() && same(i + literal, i + literal + 1))) {
      ++literal;
    }
    out.push_back(static_cast<std::uint8_t>(literal - 1));
    for (std::size_t k = 0; k < literal; ++k) put(pixels[i + k]);
    i += literal;
  }
  return out;
}

std::vector<std::uint8_t> EncodePalettised(const Picture& picture, std::string* error) {
  std::map<std::uint32_t, std::uint8_t> indexOf;
  std::vector<std::uint32_t> palette(256, 0);
  bool transparent = false;
  for (std::uint32_t y = 0; y < picture.height; ++y) {
    for (std::uint32_t x = 0; x < picture.width; ++x) transparent = transparent || At(picture, x, y)[3] == 0;
  }
  std::uint32_t next = transparent ? 1 : 0;
  std::vector<std::uint8_t> indices;
  for (std::uint32_t y = 0; y < picture.height; ++y) {
    for (std::uint32_t x = 0; x < picture.width; ++x) {
      const std::uint8_t* p = At(picture, x, y);
      if (p[3] == 0) {
        indices.push_back(0);
        continue;
      }
      std::uint32_t entry = 0x8000u | (static_cast<std::uint32_t>(p[2] >> 3) << 10) |
                            (static_cast<std::uint32_t>(p[1] >> 3) << 5) | static_cast<std::uint32_t>(p[0] >> 3);
      auto it = indexOf.find(entry);
      if (it == indexOf.end()) {
        if (next > 255) {
          if (error) *error = "the picture has more than 256 colours";
          return {};
        }
        palette[next] = entry;
        it = indexOf.emplace(entry, static_cast<std::uint8_t>(next++)).first;
      }
      indices.push_back(it->second);
    }
  }
  std::vector<std::uint8_t> out;
  AppendLe(out, 0x0CAAD001u, 4);
  AppendLe(out, picture.width, 4);
  AppendLe(out, picture.height, 4);
  AppendLe(out, 0, 4);
  // Stored in groups of 32 with entries 8-15 and 16-23 exchanged.
  for (std::uint32_t group = 0; group < 256; group += 32) {
    for (std::uint32_t k = 0; k < 32; ++k) {
      std::uint32_t from = k >= 8 && k < 16 ? k + 8 : (k >= 16 && k < 24 ? k - 8 : k);
      AppendLe(out, palette[group + from], 4);
    }
  }
  out.insert(out.end(), indices.begin(), indices.end());
  return out;
}

std::vector<std::uint8_t> EncodeRaw(const Picture& picture, std::uint32_t magic, bool withAlpha) {
  std::vector<std::uint8_t> out = RawHeader(magic, picture, withAlpha);
  for (std::uint32_t y = 0; y < picture.height; ++y) {
    for (std::uint32_t x = 0; x < picture.width; ++x) {
      const std::uint8_t* p = At(picture, x, y);
      if (magic == 0xABCD0002u) {
        if (withAlpha) {
          auto q = [](std::uint32_t c) { return (c * 15 + 127) / 255; };
          AppendLe(out, (q(p[0]) << 12) | (q(p[1]) << 8) | (q(p[2]) << 4) | q(p[3]), 2);
        } else {
          std::uint32_t v = ((p[0] >> 3) << 11) | ((p[1] >> 2) << 5) | (p[2] >> 3);
          AppendLe(out, v == 0 && p[3] != 0 ? 1 : v, 2);
        }
      } else {
        out.push_back(p[2]);
        out.push_back(p[1]);
        out.push_back(p[0]);
        out.push_back(withAlpha ? p[3] : 0xFF);
      }
    }
  }
  return out;
}

std::vector<std::uint8_t> EncodeJpeg(const Picture& picture, int quality) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = picture.width;
  cinfo.image_height = picture.height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(picture.width) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    for (std::uint32_t x = 0; x < picture.width; ++x) {
      const std::uint8_t* p = At(picture, x, cinfo.next_scanline);
      row[3 * x] = p[0];
      row[3 * x + 1] = p[1];
      row[3 * x + 2] = p[2];
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

std::vector<std::uint8_t> EncodePackedJpeg(const Picture& picture, int quality, bool withAlpha) {
  std::vector<std::uint8_t> out = RawHeader(0xABCD0004u, picture, withAlpha);
  std::vector<std::uint8_t> jpeg = EncodeJpeg(picture, quality);
  out.insert(out.end(), jpeg.begin(), jpeg.end());
  return out;
}

bool DecodePng(const std::vector<std::uint8_t>& bytes, Picture* picture, std::string* error) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
    if (error) *error = image.message;
    return false;
  }
  if (image.width == 0 || image.height == 0 || image.width > kMaxSide || image.height > kMaxSide) {
    if (error) {
      *error = "the picture is " + std::to_string(image.width) + " x " + std::to_string(image.height) +
               " pixels; sides must be 1 to " + std::to_string(kMaxSide);
    }
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_RGBA;
  picture->width = image.width;
  picture->height = image.height;
  picture->rgba.assign(PNG_IMAGE_SIZE(image), 0);
  if (!png_image_finish_read(&image, nullptr, picture->rgba.data(), 0, nullptr)) {
    if (error) *error = image.message;
    png_image_free(&image);
    return false;
  }
  return true;
}

std::vector<std::uint8_t> EncodePng(const Picture& picture) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = picture.width;
  image.height = picture.height;
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, picture.rgba.data(), 0, nullptr)) return {};
  std::vector<std::uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, picture.rgba.data(), 0, nullptr)) return {};
  out.resize(size);
  return out;
}

}  // namespace imgconv
