#include "engine/image.h"

#include <algorithm>
#include <cstring>

#include "engine/file.h"
#include "engine/jpeg_decoder.h"
#include "runtime/le_bytes.h"

namespace {

using ks::runtime::LoadLe16;
using ks::runtime::LoadLe32;

// The largest pixel buffer an image may take (kMaxImageSide squared, 4 bytes
// a pixel); Convert refuses anything larger.
constexpr std::uint64_t kMaxPixelBytes = std::uint64_t{kMaxImageSide} * kMaxImageSide * 4;

void StoreU16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void StoreU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

struct Argb {
  std::uint32_t a, r, g, b;
};

// A pixel in the display's 16-bit format: RGB565, or RGB444 at depth 12.
// 0 is the transparent colour key, so an opaque pixel that would be 0 is 1.
std::uint32_t DisplayPixel(const Argb& c, bool depth12, bool opaque) {
  std::uint32_t p = depth12 ? ((c.r >> 4) << 8) | ((c.g >> 4) << 4) | (c.b >> 4)
                            : ((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3);
  if (p == 0 && opaque) p = 1;
  return p;
}

std::uint32_t Grey(const Argb& c) { return (c.r * 77 + c.g * 150 + c.b * 29) >> 8; }

Argb ReadSource(std::uint16_t format, const std::uint8_t* p) {
  switch (format) {
    case kPixelRGB565: {
      std::uint32_t v = LoadLe16(p);
      return {0xFF, ((v >> 11) & 0x1F) << 3, ((v >> 5) & 0x3F) << 2, (v & 0x1F) << 3};
    }
    case kPixelBGR24:
      return {0xFF, p[2], p[1], p[0]};
    case kPixelChannel8:
      return {0xFF, p[0], p[0], p[0]};
    default:  // kPixelARGB32
      return {p[3], p[2], p[1], p[0]};
  }
}

void WriteTarget(std::uint16_t target, const Argb& c, bool depth12, std::uint8_t* out) {
  switch (target) {
    case kPixelDisplay:
      StoreU16(out, DisplayPixel(c, depth12, c.a != 0));
      break;
    case kPixelRGB565:
      StoreU16(out, ((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3));
      break;
    case kPixelBGR24:
      out[0] = static_cast<std::uint8_t>(c.b);
      out[1] = static_cast<std::uint8_t>(c.g);
      out[2] = static_cast<std::uint8_t>(c.r);
      break;
    case kPixelChannel8:
      out[0] = static_cast<std::uint8_t>(c.a != 0 ? c.b : 0);
      break;
    case kPixelARGB4444: {
      auto nibble = [](std::uint32_t v) { return std::min<std::uint32_t>((v + 15) / 16, 15); };
      StoreU16(out, (nibble(c.r) << 12) | (nibble(c.g) << 8) | (nibble(c.b) << 4) | nibble(c.a));
      break;
    }
    case kPixelARGB32:
    case kPixelRaw32Alpha:
    case kPixelRaw32:
    case kPixelRaw32c:
      StoreU32(out, (c.a << 24) | (c.r << 16) | (c.g << 8) | c.b);
      break;
    default:
      // Any other target: an 8-bit single channel (the grey level) in the
      // pixel's first byte.
      out[0] = static_cast<std::uint8_t>(Grey(c));
      break;
  }
}

bool ConversionExists(std::uint16_t source, std::uint16_t target) {
  switch (source) {
    case kPixel4BitIndexed:
    case kPixelPalettised:
      return BytesPerPixel(target) == 2;
    case kPixelRGB565:
      return target == kPixelDisplay || target == kPixelRGB565;
    case kPixelChannel8:
      return target == kPixelDisplay;
    case kPixelBGR24:
    case kPixelARGB32:
      return true;
    default:
      return false;
  }
}

std::uint32_t SourceRowMinimum(std::uint16_t source, std::uint32_t width) {
  if (source == kPixel4BitIndexed) return (width + 1) / 2;
  return width * BytesPerPixel(source);
}

}  // namespace

std::uint32_t BytesPerPixel(std::uint16_t format) {
  switch (format) {
    case kPixelPalettised:
    case kPixelChannel8:
    case kPixelChannel8b:
      return 1;
    case kPixelRGB565:
    case kPixelDisplay:
    case kPixelARGB4444:
      return 2;
    case kPixelBGR24:
      return 3;
    default:
      return 4;
  }
}

std::uint32_t Log2Floor(std::uint32_t value) {
  std::uint32_t n = 0;
  while (value > 1) {
    value >>= 1;
    ++n;
  }
  return n;
}

ssImage::ssImage() = default;

ssImage::~ssImage() { Free(); }

void ssImage::Free() {
  m_Palette.reset();
  m_Owned.reset();
  m_Pixels = nullptr;
  m_Borrowed = false;
  m_BufferSize = 0;
  m_FileName.clear();
  m_Folder.clear();
  m_Archive.clear();
}

ssImage::Buffer ssImage::AllocatePixels(std::uint64_t bytes) {
  if (bytes == 0 || bytes > kMaxPixelBytes) return nullptr;
  return Buffer(static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(bytes), 1)));
}

void ssImage::AdoptPixels(Buffer buffer, std::uint32_t bytes) {
  m_Owned = std::move(buffer);
  m_Pixels = m_Owned.get();
  m_BufferSize = bytes;
  m_Borrowed = false;
}

void ssImage::SetSize(std::uint32_t width, std::uint32_t height) {
  m_Width = m_Width2 = m_Width3 = static_cast<std::uint16_t>(width);
  m_Height = m_Height2 = m_Height3 = static_cast<std::uint16_t>(height);
  m_Log2Width = Log2Floor(width);
}

void ssImage::SetBorrowedPixels(std::uint8_t* pixels, std::uint16_t format, std::uint16_t width, std::uint16_t height,
                                std::uint32_t bufferSize) {
  m_Owned.reset();
  m_Pixels = pixels;
  m_Borrowed = true;
  m_Format = format;
  m_BufferSize = bufferSize;
  SetSize(width, height);
}

std::uint32_t ssImage::Load(ssFile* stream, std::uint32_t word, std::uint16_t requestedFormat) {
  (void)word;
  if (stream == nullptr) return kImageBadData;
  std::uint32_t size = stream->GetSize();
  Buffer data(static_cast<std::uint8_t*>(std::malloc(std::max<std::uint32_t>(size, 1))));
  if (!data) return kImageNoMemory;
  // A stream that delivers less than it announced is decoded as far as it goes.
  size = size == 0 ? 0 : stream->Read(data.get(), size);

  // Whatever the image held before is gone, loaded or not.
  m_Palette.reset();
  m_Owned.reset();
  m_Pixels = nullptr;
  m_Borrowed = false;
  m_BufferSize = 0;
  const std::uint8_t* bytes = data.get();
  if (size >= 18 && (bytes[2] == 2 || bytes[2] == 10)) return LoadTga(bytes, size, requestedFormat);
  std::uint32_t magic = size >= 4 ? LoadLe32(bytes) : 0;
  if (magic == kImageMagicPalette) return LoadPalettised(bytes, size);
  if (magic == kImageMagicRaw32 || magic == kImageMagicRaw16 || magic == kImageMagicRaw32c) return LoadRaw(bytes, size);
  if (magic == kImageMagicPackedJpeg) {
    if (size < kImageRawHeaderSize) return kImageBadData;
    if (LoadLe32(bytes + 16) == kImageAlphaKind) {
      m_Alpha = true;
      if (requestedFormat == kPixelARGB32) m_DisplayDepth = 32;
    } else {
      m_Alpha = false;
      requestedFormat = kPixelDisplay;
    }
    return LoadJpeg(bytes + kImageRawHeaderSize, size - kImageRawHeaderSize, requestedFormat);
  }
  return LoadJpeg(bytes, size, requestedFormat);
}

std::uint32_t ssImage::LoadTga(const std::uint8_t* data, std::uint32_t size, std::uint16_t requestedFormat) {
  const std::uint32_t idLength = data[0];
  const std::uint32_t colourMapType = data[1];
  const bool runLength = data[2] == 10;
  const std::uint32_t colourMapLength = LoadLe16(data + 5);
  const std::uint32_t colourMapBits = data[7];
  const std::uint32_t width = LoadLe16(data + 12);
  const std::uint32_t height = LoadLe16(data + 14);
  const std::uint32_t bits = data[16];
  if (bits != 24 && bits != 32) return kImageBadData;
  if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) return kImageBadData;
  // True-colour pictures have no use for an ID field or a colour map, but a
  // file that carries them is read past them.
  std::uint64_t at = 18 + idLength + (colourMapType != 0 ? colourMapLength * ((colourMapBits + 7) / 8) : 0);
  if (at > size) return kImageBadData;

  const std::uint32_t pixelBytes = bits / 8;
  const std::uint32_t rowBytes = width * pixelBytes;
  const std::uint64_t total = std::uint64_t{width} * height;
  Buffer pixels = AllocatePixels(total * pixelBytes);
  if (!pixels) return kImageNoMemory;
  // Rows are stored bottom first: pixel k of the file lands in row
  // height - 1 - k / width.
  auto place = [&](std::uint64_t k) {
    std::uint64_t row = height - 1 - k / width;
    return pixels.get() + row * rowBytes + (k % width) * pixelBytes;
  };
  const std::uint8_t* in = data + at;
  const std::uint8_t* end = data + size;
  if (!runLength) {
    if (static_cast<std::uint64_t>(end - in) < total * pixelBytes) return kImageBadData;
    for (std::uint32_t fileRow = 0; fileRow < height; ++fileRow) {
      std::memcpy(pixels.get() + std::uint64_t{height - 1 - fileRow} * rowBytes, in + std::uint64_t{fileRow} * rowBytes,
                  rowBytes);
    }
  } else {
    std::uint64_t k = 0;
    while (k < total) {
      if (in >= end) return kImageBadData;
      const std::uint32_t header = *in++;
      const std::uint32_t count = (header & 0x7F) + 1;
      if (count > total - k) return kImageBadData;  // a packet may not run past the picture
      if (header & 0x80) {
        if (static_cast<std::uint32_t>(end - in) < pixelBytes) return kImageBadData;
        for (std::uint32_t i = 0; i < count; ++i) std::memcpy(place(k++), in, pixelBytes);
        in += pixelBytes;
      } else {
        if (static_cast<std::uint64_t>(end - in) < std::uint64_t{count} * pixelBytes) return kImageBadData;
        for (std::uint32_t i = 0; i < count; ++i, in += pixelBytes) std::memcpy(place(k++), in, pixelBytes);
      }
    }
  }
  return Convert(bits == 24 ? kPixelBGR24 : kPixelARGB32, requestedFormat, pixels.get(), nullptr, width, height,
                 rowBytes);
}

std::uint32_t ssImage::LoadPalettised(const std::uint8_t* data, std::uint32_t size) {
  if (size < kImagePaletteHeaderSize) return kImageBadData;
  const std::uint32_t width = LoadLe32(data + 4);
  const std::uint32_t height = LoadLe32(data + 8);
  if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) return kImageBadData;
  const std::uint64_t count = std::uint64_t{width} * height;
  if (size - kImagePaletteHeaderSize < count) return kImageBadData;
  Buffer pixels = AllocatePixels(count);
  std::unique_ptr<std::uint32_t[]> palette(new (std::nothrow) std::uint32_t[256]);
  if (!pixels || !palette) return kImageNoMemory;
  // Each group of 32 entries is stored with entries 8-15 and 16-23 exchanged.
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t within = i & 31;
    std::uint32_t stored = within;
    if (within >= 8 && within < 16) {
      stored = within + 8;
    } else if (within >= 16 && within < 24) {
      stored = within - 8;
    }
    palette[i] = LoadLe32(data + 16 + 4 * ((i & ~31u) + stored));
  }
  std::memcpy(pixels.get(), data + kImagePaletteHeaderSize, static_cast<std::size_t>(count));
  m_Palette = std::move(palette);
  AdoptPixels(std::move(pixels), static_cast<std::uint32_t>(count));
  m_Format = kPixelPalettised;
  SetSize(width, height);
  return kImageLoadedAsStored;
}

std::uint32_t ssImage::LoadRaw(const std::uint8_t* data, std::uint32_t size) {
  if (size < kImageRawHeaderSize) return kImageBadData;
  const std::uint32_t magic = LoadLe32(data);
  const std::uint32_t width = LoadLe32(data + 8);
  const std::uint32_t height = LoadLe32(data + 12);
  const bool withAlpha = LoadLe32(data + 16) == kImageAlphaKind;
  if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) return kImageBadData;
  std::uint16_t format = kPixelRaw32c;
  if (magic == kImageMagicRaw32) {
    format = withAlpha ? kPixelRaw32Alpha : kPixelRaw32;
  } else if (magic == kImageMagicRaw16) {
    format = withAlpha ? kPixelARGB4444 : kPixelDisplay;
  }
  const std::uint32_t stored = size - kImageRawHeaderSize;
  if (stored < std::uint64_t{width} * height * BytesPerPixel(format)) return kImageBadData;
  Buffer pixels = AllocatePixels(stored);
  if (!pixels) return kImageNoMemory;
  std::memcpy(pixels.get(), data + kImageRawHeaderSize, stored);
  AdoptPixels(std::move(pixels), stored);
  m_Format = format;
  m_Alpha = withAlpha;
  SetSize(width, height);
  return kImageLoadedAsStored;
}

std::uint32_t ssImage::LoadJpeg(const std::uint8_t* data, std::uint32_t size, std::uint16_t requestedFormat) {
  ssJpegPixels decoded;
  if (!DecodeJpeg(data, size, kMaxImageSide, &decoded)) return kImageBadData;
  Buffer pixels(decoded.pixels);
  // The decoder gives 4 bytes a pixel; a 2-byte row would come from RGB565.
  std::uint16_t source = decoded.rowBytes / decoded.width == 2 ? kPixelRGB565 : kPixelARGB32;
  return Convert(source, requestedFormat, pixels.get(), nullptr, decoded.width, decoded.height, decoded.rowBytes);
}

std::uint32_t ssImage::Convert(std::uint16_t sourceFormat, std::uint16_t targetFormat, const std::uint8_t* source,
                               const std::uint32_t* palette, std::uint32_t width, std::uint32_t height,
                               std::uint32_t sourceRowBytes) {
  if (source == nullptr || width == 0 || height == 0 || width > 0xFFFF || height > 0xFFFF) return kImageNoPixels;
  if (!ConversionExists(sourceFormat, targetFormat)) return kImageNoPixels;
  if (sourceRowBytes < SourceRowMinimum(sourceFormat, width)) return kImageNoPixels;
  const bool indexed = sourceFormat == kPixel4BitIndexed || sourceFormat == kPixelPalettised;
  if (indexed && palette == nullptr) return kImageNoPixels;
  const std::uint32_t targetBytes = BytesPerPixel(targetFormat);
  const std::uint64_t bytes = std::uint64_t{width} * height * targetBytes;
  Buffer out = AllocatePixels(bytes);
  if (!out) return kImageNoPixels;

  const bool depth12 = m_DisplayDepth == 12 && targetFormat == kPixelDisplay;
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* row = source + std::uint64_t{y} * sourceRowBytes;
    std::uint8_t* target = out.get() + std::uint64_t{y} * width * targetBytes;
    if (sourceFormat == kPixel4BitIndexed) {
      // Two indices a byte, low nibble first, through 16-bit palette entries
      // whose 5-bit red and blue fields are exchanged; bit 15 marks colour.
      for (std::uint32_t x = 0; x < width; ++x) {
        std::uint32_t index = (row[x / 2] >> ((x & 1) * 4)) & 0xF;
        std::uint32_t e = palette[index] & 0xFFFF;
        std::uint32_t p = ((e & 0x1F) << 10) | (e & 0x03E0) | ((e >> 10) & 0x1F);
        if (p != 0) p |= 0x8000;
        StoreU16(target + 2 * x, p);
      }
    } else if (sourceFormat == kPixelPalettised) {
      // 5-5-5 entries widened with red and blue exchanged; index 0 is
      // transparent unless its entry has bit 15 set.
      for (std::uint32_t x = 0; x < width; ++x) {
        std::uint32_t index = row[x];
        std::uint32_t e = palette[index] & 0xFFFF;
        std::uint32_t p = 0;
        if (index != 0 || (e & 0x8000)) {
          std::uint32_t r5 = (e >> 10) & 0x1F, g5 = (e >> 5) & 0x1F, b5 = e & 0x1F;
          p = depth12 ? ((b5 >> 1) << 8) | ((g5 >> 1) << 4) | (r5 >> 1)
                      : (b5 << 11) | (((g5 << 1) | (g5 >> 4)) << 5) | r5;
          if (p == 0) p = 1;
        }
        StoreU16(target + 2 * x, p);
      }
    } else if (sourceFormat == kPixelARGB32 && targetFormat == kPixelARGB32) {
      std::memcpy(target, row, std::size_t{width} * 4);
    } else {
      const std::uint32_t sourceBytes = BytesPerPixel(sourceFormat);
      for (std::uint32_t x = 0; x < width; ++x) {
        WriteTarget(targetFormat, ReadSource(sourceFormat, row + x * sourceBytes), depth12, target + x * targetBytes);
      }
    }
  }
  m_Format = targetFormat;
  SetSize(width, height);
  AdoptPixels(std::move(out), static_cast<std::uint32_t>(bytes));
  return kImageLoaded;
}

bool ssImage::Rotate(int quarterTurns) {
  if (quarterTurns < 1 || quarterTurns > 3 || m_Pixels == nullptr) return true;
  const std::uint32_t w = m_Width, h = m_Height, bpp = BytesPerPixel(m_Format);
  const std::uint64_t bytes = std::uint64_t{w} * h * bpp;
  Buffer out = AllocatePixels(bytes);
  if (!out) return false;
  const std::uint32_t newWidth = quarterTurns == 2 ? w : h;
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint32_t nx, ny;
      if (quarterTurns == 1) {
        nx = h - 1 - y;
        ny = x;
      } else if (quarterTurns == 2) {
        nx = w - 1 - x;
        ny = h - 1 - y;
      } else {
        nx = y;
        ny = w - 1 - x;
      }
      std::memcpy(out.get() + (std::uint64_t{ny} * newWidth + nx) * bpp, m_Pixels + (std::uint64_t{y} * w + x) * bpp,
                  bpp);
    }
  }
  AdoptPixels(std::move(out), static_cast<std::uint32_t>(bytes));
  if (quarterTurns == 2) {
    SetSize(w, h);
  } else {
    SetSize(h, w);
  }
  m_Rotated = true;
  return true;
}

namespace {

struct Field {
  std::uint32_t shift, bits;
};

// Four-tap blend of one 16-bit pixel, channel by channel.
std::uint32_t Blend16(const std::uint8_t* const taps[4], const std::uint32_t weights[4], const Field* fields,
                      int fieldCount) {
  std::uint32_t result = 0;
  for (int f = 0; f < fieldCount; ++f) {
    std::uint32_t mask = (1u << fields[f].bits) - 1;
    std::uint32_t sum = 0;
    for (int t = 0; t < 4; ++t) sum += ((LoadLe16(taps[t]) >> fields[f].shift) & mask) * weights[t];
    result |= (((sum + 32768) >> 16) & mask) << fields[f].shift;
  }
  return result;
}

}  // namespace

bool ssImage::Scale(std::uint32_t width, std::uint32_t height) {
  if (m_Pixels == nullptr) return false;
  if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) return false;
  const std::uint32_t w = m_Width, h = m_Height, bpp = BytesPerPixel(m_Format);
  if (w == 0 || h == 0) return false;
  const std::uint64_t bytes = std::uint64_t{width} * height * bpp;
  Buffer out = AllocatePixels(bytes);
  if (!out) return false;

  static const Field k565[] = {{11, 5}, {5, 6}, {0, 5}};
  static const Field k444[] = {{8, 4}, {4, 4}, {0, 4}};
  static const Field k4444[] = {{12, 4}, {8, 4}, {4, 4}, {0, 4}};
  const Field* fields = k565;
  int fieldCount = 3;
  if (m_Format == kPixelARGB4444) {
    fields = k4444;
    fieldCount = 4;
  } else if (m_Format == kPixelDisplay && m_DisplayDepth == 12) {
    fields = k444;
  }

  // Sample at pixel centres: source = (target + 0.5) * scale - 0.5, in
  // 16.16, clamped to the picture (edges repeat).
  auto sourceCoordinate = [](std::uint32_t i, std::uint32_t from, std::uint32_t to) {
    std::int64_t s = ((2 * std::int64_t{i} + 1) * from * 0x8000) / to - 0x8000;
    return std::clamp<std::int64_t>(s, 0, (std::int64_t{from} - 1) << 16);
  };
  for (std::uint32_t y = 0; y < height; ++y) {
    std::int64_t sy = sourceCoordinate(y, h, height);
    std::uint32_t y0 = static_cast<std::uint32_t>(sy >> 16), y1 = std::min(y0 + 1, h - 1);
    std::uint32_t fy = static_cast<std::uint32_t>((sy & 0xFFFF) >> 8);
    for (std::uint32_t x = 0; x < width; ++x) {
      std::int64_t sx = sourceCoordinate(x, w, width);
      std::uint32_t x0 = static_cast<std::uint32_t>(sx >> 16), x1 = std::min(x0 + 1, w - 1);
      std::uint32_t fx = static_cast<std::uint32_t>((sx & 0xFFFF) >> 8);
      std::uint8_t* target = out.get() + (std::uint64_t{y} * width + x) * bpp;
      const std::uint8_t* taps[4] = {
          m_Pixels + (std::uint64_t{y0} * w + x0) * bpp, m_Pixels + (std::uint64_t{y0} * w + x1) * bpp,
          m_Pixels + (std::uint64_t{y1} * w + x0) * bpp, m_Pixels + (std::uint64_t{y1} * w + x1) * bpp};
      if (m_Format == kPixelPalettised) {
        // Indices do not blend: the nearest one.
        std::memcpy(target, taps[(fy >= 128 ? 2 : 0) + (fx >= 128 ? 1 : 0)], 1);
        continue;
      }
      const std::uint32_t weights[4] = {(256 - fx) * (256 - fy), fx * (256 - fy), (256 - fx) * fy, fx * fy};
      if (bpp == 2) {
        StoreU16(target, Blend16(taps, weights, fields, fieldCount));
      } else {
        for (std::uint32_t c = 0; c < bpp; ++c) {
          std::uint32_t sum = 0;
          for (int t = 0; t < 4; ++t) sum += taps[t][c] * weights[t];
          target[c] = static_cast<std::uint8_t>((sum + 32768) >> 16);
        }
      }
    }
  }
  AdoptPixels(std::move(out), static_cast<std::uint32_t>(bytes));
  SetSize(width, height);
  return true;
}
