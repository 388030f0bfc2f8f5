// Image loading and pixel conversion. Fixtures come from the image writers
// of formats/image, which share no code with the readers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/image.h"
#include "image_writer.h"
#include "memory_file.h"

namespace {

// A picture with distinct pixels: a colour ramp, one pure black opaque pixel
// at (1, 0) and, when asked, a transparent one at (2, 0).
imgconv::Picture Ramp(std::uint32_t w, std::uint32_t h, bool transparentPixel = false) {
  imgconv::Picture p;
  p.width = w;
  p.height = h;
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      p.rgba.push_back(static_cast<std::uint8_t>(x * 255 / (w > 1 ? w - 1 : 1)));
      p.rgba.push_back(static_cast<std::uint8_t>(y * 255 / (h > 1 ? h - 1 : 1)));
      p.rgba.push_back(static_cast<std::uint8_t>((x * 7 + y * 3) & 0xFF));
      p.rgba.push_back(0xFF);
    }
  }
  if (w > 1) std::memset(p.rgba.data() + 4, 0, 3);
  if (transparentPixel && w > 2) p.rgba[8 + 3] = 0;
  return p;
}

std::uint16_t Rgb565(const std::uint8_t* rgba) {
  return static_cast<std::uint16_t>(((rgba[0] >> 3) << 11) | ((rgba[1] >> 2) << 5) | (rgba[2] >> 3));
}

std::uint16_t Pixel16(const ssImage& image, std::uint32_t x, std::uint32_t y) {
  const std::uint8_t* p = image.Pixels() + (y * image.Width() + x) * 2;
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Load(ssImage& image, const std::vector<std::uint8_t>& bytes, std::uint16_t format) {
  ssMemoryFile stream(bytes);
  return image.Load(&stream, 0, format);
}

TEST(Image, TgaUncompressedAndRunLengthGiveTheSamePixels) {
  imgconv::Picture picture = Ramp(13, 7);
  // Long runs too: a band of one colour across rows.
  for (std::uint32_t x = 0; x < 13; ++x) std::memset(picture.rgba.data() + (3 * 13 + x) * 4, 0x40, 3);
  for (int bits : {24, 32}) {
    SCOPED_TRACE(bits);
    ssImage plain, rle;
    ASSERT_EQ(Load(plain, imgconv::EncodeTga(picture, bits, false), kPixelDisplay), kImageLoaded);
    ASSERT_EQ(Load(rle, imgconv::EncodeTga(picture, bits, true), kPixelDisplay), kImageLoaded);
    ASSERT_EQ(plain.Width(), 13);
    ASSERT_EQ(plain.Height(), 7);
    EXPECT_EQ(plain.Format(), kPixelDisplay);
    EXPECT_EQ(plain.Log2Width(), 3u);
    EXPECT_EQ(std::memcmp(plain.Pixels(), rle.Pixels(), 13 * 7 * 2), 0);
    // Rows come out top first, whatever the file's bottom-first order.
    for (std::uint32_t y = 0; y < 7; ++y) {
      for (std::uint32_t x = 0; x < 13; ++x) {
        std::uint16_t expected = Rgb565(picture.rgba.data() + (y * 13 + x) * 4);
        if (expected == 0) expected = 1;
        ASSERT_EQ(Pixel16(plain, x, y), expected) << x << "," << y;
      }
    }
    EXPECT_EQ(Pixel16(plain, 1, 0), 1) << "opaque black is stored as 1, never the colour key 0";
  }
}

TEST(Image, Tga32KeepsAlphaInTheTargetFormat) {
  imgconv::Picture picture = Ramp(4, 2, true);
  ssImage image;
  ASSERT_EQ(Load(image, imgconv::EncodeTga(picture, 32, true), kPixelARGB32), kImageLoaded);
  const std::uint8_t* p = image.Pixels();
  EXPECT_EQ(p[2 * 4 + 3], 0) << "transparent pixel keeps alpha 0";
  EXPECT_EQ(p[0 * 4 + 3], 0xFF);
  EXPECT_EQ(p[3 * 4 + 2], picture.rgba[3 * 4 + 0]) << "B, G, R, A bytes: red third";
  ssImage display;
  ASSERT_EQ(Load(display, imgconv::EncodeTga(picture, 32, false), kPixelDisplay), kImageLoaded);
  EXPECT_EQ(Pixel16(display, 1, 0), 1);
}

TEST(Image, PalettisedGroupsAreReordered) {
  std::vector<std::uint8_t> file(kImagePaletteHeaderSize + 4, 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put32(0, kImageMagicPalette);
  put32(4, 2);
  put32(8, 2);
  for (std::uint32_t i = 0; i < 256; ++i) put32(16 + 4 * i, i);  // file entry i holds i
  file[kImagePaletteHeaderSize + 3] = 200;
  ssImage image;
  ASSERT_EQ(Load(image, file, kPixelDisplay), kImageLoadedAsStored);
  EXPECT_EQ(image.Format(), kPixelPalettised);
  ASSERT_NE(image.Palette(), nullptr);
  EXPECT_EQ(image.Palette()[8], 16u);
  EXPECT_EQ(image.Palette()[16], 8u);
  EXPECT_EQ(image.Palette()[7], 7u);
  EXPECT_EQ(image.Palette()[24], 24u);
  EXPECT_EQ(image.Palette()[32 + 15], 32u + 23);
  EXPECT_EQ(image.Pixels()[3], 200);

  // The writer and the reader agree on a real picture.
  imgconv::Picture picture = Ramp(5, 3, true);
  std::string error;
  std::vector<std::uint8_t> encoded = imgconv::EncodePalettised(picture, &error);
  ASSERT_FALSE(encoded.empty()) << error;
  ssImage decoded;
  ASSERT_EQ(Load(decoded, encoded, kPixelDisplay), kImageLoadedAsStored);
  EXPECT_EQ(decoded.Pixels()[2], 0) << "the transparent pixel uses index 0";
  ssImage converted;
  ASSERT_EQ(converted.Convert(kPixelPalettised, kPixelDisplay, decoded.Pixels(), decoded.Palette(), 5, 3, 5), 0u);
  EXPECT_EQ(Pixel16(converted, 2, 0), 0) << "index 0 without bit 15 is transparent";
  EXPECT_EQ(Pixel16(converted, 1, 0), 1) << "opaque black";
  std::uint16_t expected = Rgb565(picture.rgba.data() + 4 * 4);
  EXPECT_EQ(Pixel16(converted, 4, 0) & 0xF81F, expected & 0xF81F) << "red and blue land in place";
}

TEST(Image, RawFormatsByMagicAndAlphaKind) {
  imgconv::Picture picture = Ramp(3, 2);
  struct Case {
    std::uint32_t magic;
    bool alpha;
    std::uint16_t format;
  } cases[] = {
      {kImageMagicRaw32, true, kPixelRaw32Alpha}, {kImageMagicRaw32, false, kPixelRaw32},
      {kImageMagicRaw16, true, kPixelARGB4444},   {kImageMagicRaw16, false, kPixelDisplay},
      {kImageMagicRaw32c, true, kPixelRaw32c},    {kImageMagicRaw32c, false, kPixelRaw32c},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.magic);
    std::vector<std::uint8_t> file = imgconv::EncodeRaw(picture, c.magic, c.alpha);
    ssImage image;
    ASSERT_EQ(Load(image, file, kPixelDisplay), kImageLoadedAsStored);
    EXPECT_EQ(image.Format(), c.format);
    EXPECT_EQ(image.HasAlpha(), c.alpha);
    EXPECT_EQ(image.Width(), 3);
    EXPECT_EQ(image.Height(), 2);
    EXPECT_EQ(std::memcmp(image.Pixels(), file.data() + kImageRawHeaderSize, file.size() - kImageRawHeaderSize), 0)
        << "pixels used as stored";
  }
}

TEST(Image, JpegBareAndPackedDecodeCloseToTheOriginal) {
  // Smooth gradients, which JPEG keeps well.
  imgconv::Picture picture;
  picture.width = 32;
  picture.height = 24;
  for (std::uint32_t y = 0; y < 24; ++y) {
    for (std::uint32_t x = 0; x < 32; ++x) {
      picture.rgba.insert(picture.rgba.end(),
                          {static_cast<std::uint8_t>(x * 8), static_cast<std::uint8_t>(y * 10), 128, 255});
    }
  }
  for (int packed = 0; packed < 2; ++packed) {
    SCOPED_TRACE(packed);
    std::vector<std::uint8_t> file =
        packed ? imgconv::EncodePackedJpeg(picture, 95, false) : imgconv::EncodeJpeg(picture, 95);
    ssImage image;
    ASSERT_EQ(Load(image, file, packed ? kPixelARGB32 : kPixelARGB32), kImageLoaded);
    // Packed without alpha always decodes to the display format.
    EXPECT_EQ(image.Format(), packed ? kPixelDisplay : kPixelARGB32);
    EXPECT_EQ(image.Width(), 32);
    EXPECT_EQ(image.Height(), 24);
    if (!packed) {
      int worst = 0;
      for (std::size_t i = 0; i < 32 * 24; ++i) {
        const std::uint8_t* got = image.Pixels() + 4 * i;  // B, G, R, A
        const std::uint8_t* want = picture.rgba.data() + 4 * i;
        worst = std::max({worst, std::abs(got[2] - want[0]), std::abs(got[1] - want[1]), std::abs(got[0] - want[2])});
        ASSERT_EQ(got[3], 0xFF);
      }
      EXPECT_LE(worst, 24);
    }
  }
  ssImage withAlpha;
  ASSERT_EQ(Load(withAlpha, imgconv::EncodePackedJpeg(picture, 90, true), kPixelARGB32), kImageLoaded);
  EXPECT_TRUE(withAlpha.HasAlpha());
  EXPECT_EQ(withAlpha.Format(), kPixelARGB32);
  EXPECT_EQ(withAlpha.DisplayDepth(), 32u);
}

// Every damaged file gives the failure status and no pixels are taken from
// beyond its data.
TEST(Image, DamagedFilesAreRefused) {
  imgconv::Picture picture = Ramp(16, 16);
  std::vector<std::uint8_t> tga = imgconv::EncodeTga(picture, 24, false);
  std::vector<std::uint8_t> rle = imgconv::EncodeTga(picture, 24, true);
  std::vector<std::uint8_t> jpeg = imgconv::EncodeJpeg(picture, 80);
  std::vector<std::uint8_t> raw = imgconv::EncodeRaw(picture, kImageMagicRaw16, false);
  std::string error;
  std::vector<std::uint8_t> palette = imgconv::EncodePalettised(Ramp(4, 4), &error);
  imgconv::Picture flat2x2 = Ramp(2, 2);
  flat2x2.rgba.assign(16, 0x80);
  std::size_t sof = 2;
  while (sof + 1 < jpeg.size() && !(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC0)) ++sof;
  ASSERT_LT(sof + 6, jpeg.size());
  auto cut = [](std::vector<std::uint8_t> v, std::size_t n) {
    v.resize(n);
    return v;
  };
  auto set = [](std::vector<std::uint8_t> v, std::size_t at, std::uint8_t b) {
    v[at] = b;
    return v;
  };
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"not a picture", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}},
      {"empty", {}},
      {"TGA cut short", cut(tga, tga.size() - 1)},
      {"TGA header only", cut(tga, 18)},
      {"TGA of 16 bits", set(tga, 16, 16)},
      {"TGA width 0", set(set(tga, 12, 0), 13, 0)},
      {"TGA wider than the limit", set(tga, 13, 0x20)},
      {"TGA ID field past the end", set(cut(tga, 40), 0, 200)},
      {"RLE cut short", cut(rle, rle.size() - 2)},
      {"RLE run past the picture", set(imgconv::EncodeTga(flat2x2, 24, true), 18, 0x84)},
      {"JPEG cut short", cut(jpeg, jpeg.size() / 2)},
      {"JPEG header only", cut(jpeg, 20)},
      {"JPEG segment longer than the data", {0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF, 1, 2, 3}},
      {"JPEG of height 0", set(set(jpeg, sof + 5, 0), sof + 6, 0)},
      {"raw header cut short", cut(raw, 40)},
      {"raw pixels cut short", cut(raw, raw.size() - 1)},
      {"raw huge width", set(raw, 11, 0x7F)},
      {"palettised pixels cut short", cut(palette, palette.size() - 1)},
      {"palettised palette cut short", cut(palette, 600)},
      {"packed JPEG header cut short", cut(imgconv::EncodePackedJpeg(picture, 80, false), 30)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ssImage image;
    EXPECT_EQ(Load(image, c.bytes, kPixelDisplay), kImageBadData);
    EXPECT_EQ(image.Pixels(), nullptr);
  }
}

TEST(Image, ConvertTable) {
  // Source pixel 0xAARRGGBB as B, G, R, A bytes.
  auto argb = [](std::uint32_t v) {
    return std::vector<std::uint8_t>{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                     static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
  };
  struct Case {
    std::uint16_t from, to;
    std::vector<std::uint8_t> source;
    std::uint32_t depth;
    std::uint32_t expected;  // little-endian value of the target pixel
  } cases[] = {
      {kPixelARGB32, kPixelARGB4444, argb(0xFF10F101), 16, 0x1F1F},  // min((c + 15) / 16, 15) per channel
      {kPixelARGB32, kPixelARGB4444, argb(0x00000000), 16, 0x0000},
      {kPixelARGB32, kPixelChannel8, argb(0x80112233), 16, 0x33},  // the blue byte when alpha is set
      {kPixelARGB32, kPixelChannel8, argb(0x00112233), 16, 0x00},
      {kPixelARGB32, kPixelDisplay, argb(0xFFFFFFFF), 16, 0xFFFF},
      {kPixelARGB32, kPixelDisplay, argb(0xFF000000), 16, 0x0001},  // opaque black
      {kPixelARGB32, kPixelDisplay, argb(0x00000000), 16, 0x0000},  // transparent stays the key
      {kPixelARGB32, kPixelDisplay, argb(0xFFFFFFFF), 12, 0x0FFF},
      {kPixelARGB32, kPixelDisplay, argb(0xFF123456), 12, 0x0135},
      {kPixelRGB565, kPixelDisplay, {0x34, 0x12}, 16, 0x1234},  // copied
      {kPixelRGB565, kPixelDisplay, {0xFF, 0xFF}, 12, 0x0FFF},  // top 4 bits of each channel
      {kPixelRGB565, kPixelDisplay, {0x00, 0x00}, 16, 0x0001},
      {kPixelBGR24, kPixelDisplay, {0x00, 0x00, 0xFF}, 16, 0xF800},
      {kPixelBGR24, kPixelARGB32, {0x01, 0x02, 0x03}, 16, 0xFF030201},
      {kPixelChannel8, kPixelDisplay, {0xFF}, 16, 0xFFFF},
      {kPixelChannel8, kPixelDisplay, {0x00}, 16, 0x0001},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.from << "->" << c.to << " depth " << c.depth);
    ssImage image;
    image.SetDisplayDepth(c.depth);
    ASSERT_EQ(image.Convert(c.from, c.to, c.source.data(), nullptr, 1, 1, static_cast<std::uint32_t>(c.source.size())),
              0u);
    std::uint32_t got = 0;
    for (std::uint32_t i = 0; i < BytesPerPixel(c.to); ++i) got |= std::uint32_t{image.Pixels()[i]} << (8 * i);
    EXPECT_EQ(got, c.expected);
    EXPECT_EQ(image.Format(), c.to);
  }
  // Two 4-bit indices a byte, low nibble first; entries' 5-bit red and
  // blue fields exchanged and bit 15 set for a colour.
  const std::uint32_t palette[16] = {0, 0x001F, 0x7C00, 0x03E0};
  const std::uint8_t nibbles[2] = {0x10, 0x32};
  ssImage four;
  ASSERT_EQ(four.Convert(kPixel4BitIndexed, kPixelDisplay, nibbles, palette, 4, 1, 2), 0u);
  EXPECT_EQ(Pixel16(four, 0, 0), 0x0000);
  EXPECT_EQ(Pixel16(four, 1, 0), 0xFC00);
  EXPECT_EQ(Pixel16(four, 2, 0), 0x801F);
  EXPECT_EQ(Pixel16(four, 3, 0), 0x83E0);

  ssImage image;
  std::uint8_t pixel[4] = {};
  EXPECT_EQ(image.Convert(kPixelARGB32, kPixelDisplay, nullptr, nullptr, 1, 1, 4), kImageNoPixels);
  EXPECT_EQ(image.Convert(kPixelARGB32, kPixelDisplay, pixel, nullptr, 2, 1, 4), kImageNoPixels) << "row too short";
  EXPECT_EQ(image.Convert(kPixelPalettised, kPixelDisplay, pixel, nullptr, 1, 1, 1), kImageNoPixels) << "no palette";
  EXPECT_EQ(image.Convert(kPixelARGB32, kPixelDisplay, pixel, nullptr, 0xFFFF, 0xFFFF, 0xFFFF * 4), kImageNoPixels)
      << "larger than any picture";
}

TEST(Image, RotateAndScale) {
  // A 3 x 2 picture of six distinct grey levels.
  const std::uint8_t grey[6] = {10, 50, 90, 130, 170, 210};
  ssImage image;
  ASSERT_EQ(image.Convert(kPixelChannel8, kPixelDisplay, grey, nullptr, 3, 2, 3), 0u);
  std::vector<std::uint16_t> before;
  for (std::uint32_t i = 0; i < 6; ++i) before.push_back(Pixel16(image, i % 3, i / 3));
  ASSERT_TRUE(image.Rotate(1));
  EXPECT_TRUE(image.IsRotated());
  ASSERT_EQ(image.Width(), 2);
  ASSERT_EQ(image.Height(), 3);
  // A quarter turn clockwise: the bottom-left pixel comes to the top left.
  EXPECT_EQ(Pixel16(image, 0, 0), before[3]);
  EXPECT_EQ(Pixel16(image, 1, 0), before[0]);
  EXPECT_EQ(Pixel16(image, 0, 2), before[5]);
  ASSERT_TRUE(image.Rotate(3));
  for (std::uint32_t i = 0; i < 6; ++i) EXPECT_EQ(Pixel16(image, i % 3, i / 3), before[i]);
  ASSERT_TRUE(image.Rotate(2));
  EXPECT_EQ(Pixel16(image, 0, 0), before[5]);

  // Scaling a flat picture keeps its colour; a 2 x 1 ramp doubled blends.
  imgconv::Picture flat = Ramp(1, 1);
  flat.rgba = {200, 100, 50, 255};
  ssImage scaled;
  ASSERT_EQ(Load(scaled, imgconv::EncodeTga(flat, 24, false), kPixelDisplay), kImageLoaded);
  std::uint16_t colour = Pixel16(scaled, 0, 0);
  ASSERT_TRUE(scaled.Scale(4, 3));
  EXPECT_EQ(scaled.Width(), 4);
  EXPECT_EQ(scaled.Log2Width(), 2u);
  for (std::uint32_t i = 0; i < 12; ++i) EXPECT_EQ(Pixel16(scaled, i % 4, i / 4), colour);
  const std::uint8_t ramp[8] = {0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  ssImage wide;
  ASSERT_EQ(wide.Convert(kPixelARGB32, kPixelARGB32, ramp, nullptr, 2, 1, 8), 0u);
  ASSERT_TRUE(wide.Scale(4, 1));
  const std::uint8_t* p = wide.Pixels();
  EXPECT_EQ(p[0], 0);
  EXPECT_GT(p[4], 0);
  EXPECT_LT(p[4], p[8]);
  EXPECT_EQ(p[12], 0xFF);
  EXPECT_FALSE(wide.Scale(0, 1));
}

TEST(Image, ReferenceCountAndFree) {
  ssImage image;
  EXPECT_EQ(image.AddRef(), 1u);
  EXPECT_EQ(image.AddRef(), 2u);
  EXPECT_EQ(image.Release(), 1u);
  EXPECT_EQ(image.Release(), 0u);
  EXPECT_EQ(image.Release(), 0u) << "never below 0";
  EXPECT_EQ(image.Word(), -1);
  std::uint8_t frame[8] = {};
  image.SetBorrowedPixels(frame, kPixelDisplay, 2, 2, 8);
  EXPECT_EQ(image.Pixels(), frame);
  image.Free();
  EXPECT_EQ(image.Pixels(), nullptr);
}

}  // namespace
