#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ce/imgdecmp.h"
#include "ce/winbase.h"
#include "ce/winerror.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "testkit/image_files.h"
#include "scoped_setting.h"

namespace {

using namespace ce::imaging::testkit;

struct Source {
  std::vector<std::uint8_t> data;
  std::size_t at = 0;
  DWORD extra = 0;  // a faulty reader claims this many bytes more than asked
};

DWORD CALLBACK Read(LPSTR buffer, DWORD max, LPARAM lParam) {
  auto* source = reinterpret_cast<Source*>(lParam);
  const std::size_t n = std::min<std::size_t>(max, source->data.size() - source->at);
  if (n > 0) std::memcpy(buffer, source->data.data() + source->at, n);
  source->at += n;
  return n == 0 ? 0 : static_cast<DWORD>(n) + source->extra;
}

int g_progressCalls = 0;
void CALLBACK Progress(IImageRender*, BOOL complete, LPARAM) { g_progressCalls += complete ? 1 : 0; }

// A decoded picture: its size, depth and pixels as 0x00RRGGBB.
struct Decoded {
  HRESULT result = E_FAIL;
  int width = 0, height = 0, bitsPixel = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

class Decoder {
 public:
  explicit Decoder(std::vector<std::uint8_t> data, DWORD bufferSize = 4096) : buffer_(bufferSize) {
    source_.data = std::move(data);
    info_.dwSize = sizeof info_;
    info_.pbBuffer = buffer_.data();
    info_.dwBufferMax = bufferSize;
    info_.phBM = &bitmap_;
    info_.iBitDepth = 32;
    info_.lParam = reinterpret_cast<LPARAM>(&source_);
    info_.iScale = 100;
    info_.iMaxWidth = 10000;
    info_.iMaxHeight = 10000;
    info_.pfnGetData = Read;
    info_.pfnImageProgress = Progress;
    info_.crTransparentOverride = 0xFFFFFFFF;
  }
  ~Decoder() {
    if (bitmap_) DeleteObject(bitmap_);
  }
  DecompressImageInfo& info() { return info_; }
  Source& source() { return source_; }

  Decoded Run() {
    Decoded d;
    d.result = DecompressImageIndirect(&info_);
    EXPECT_EQ(d.result >= 0, bitmap_ != nullptr);
    if (!bitmap_) return d;
    DIBSECTION section{};
    EXPECT_EQ(GetObjectW(bitmap_, sizeof section, &section), static_cast<int>(sizeof section));
    d.width = section.dsBm.bmWidth;
    d.height = section.dsBm.bmHeight;
    d.bitsPixel = section.dsBm.bmBitsPixel;
    EXPECT_LT(section.dsBmih.biHeight, 0);  // top-down rows
    const auto* bits = static_cast<const std::uint8_t*>(section.dsBm.bmBits);
    for (int y = 0; y < d.height; ++y) {
      const std::uint8_t* row = bits + static_cast<std::size_t>(y) * section.dsBm.bmWidthBytes;
      for (int x = 0; x < d.width; ++x) {
        std::uint32_t p = 0;
        if (d.bitsPixel == 16) {
          const std::uint32_t v = row[2 * x] | row[2 * x + 1] << 8;
          p = ((v >> 11) * 255 / 31) << 16 | (((v >> 5) & 63) * 255 / 63) << 8 | (v & 31) * 255 / 31;
        } else if (d.bitsPixel == 24) {
          p = static_cast<std::uint32_t>(row[3 * x + 2]) << 16 | row[3 * x + 1] << 8 | row[3 * x];
        } else {
          std::memcpy(&p, row + 4 * x, 4);
          p &= 0xFFFFFF;
        }
        d.pixels.push_back(p);
      }
    }
    return d;
  }

 private:
  std::vector<BYTE> buffer_;
  Source source_;
  HBITMAP bitmap_ = nullptr;
  DecompressImageInfo info_{};
};

void ExpectPattern(const Decoded& d, int width, int height, int colours, const std::string& what) {
  ASSERT_EQ(d.result, S_OK) << what;
  ASSERT_EQ(d.width, width) << what;
  ASSERT_EQ(d.height, height) << what;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      ASSERT_EQ(d.At(x, y), PatternPixel(x, y, colours)) << what << " at " << x << "," << y;
    }
  }
}

TEST(DecompressImage, BmpOfEveryDepthAndRowOrder) {
  // Odd widths pad every row; 1 and 4 bits end mid-byte.
  for (int bpp : {1, 4, 8, 16, 24, 32}) {
    for (bool topDown : {false, true}) {
      for (bool bitfields : {false, true}) {
        if (bitfields && bpp != 16 && bpp != 32) continue;
        const std::string what =
            std::to_string(bpp) + (topDown ? " top-down" : " bottom-up") + (bitfields ? " bitfields" : "");
        Decoder decoder(EncodeBmp(13, 7, {bpp, topDown, bitfields}));
        ExpectPattern(decoder.Run(), 13, 7, bpp == 1 ? 2 : 8, what);
      }
    }
  }
}

TEST(DecompressImage, RunLengthBmp) {
  constexpr std::uint32_t W = 0xFFFFFF, B = 0;
  const struct {
    const char* what;
    std::vector<std::uint8_t> file;
    std::vector<std::uint32_t> pixels;  // top row first
  } cases[] = {
      {"RLE8", Rle8Sample(), {W, B, W, B, W, W, B, B}},
      {"RLE4", Rle4Sample(), {W, W, B, B, W, B, W, B}},
  };
  for (const auto& c : cases) {
    Decoder decoder(c.file);
    const Decoded d = decoder.Run();
    ASSERT_EQ(d.result, S_OK) << c.what;
    ASSERT_EQ(d.width, 4) << c.what;
    ASSERT_EQ(d.height, 2) << c.what;
    EXPECT_EQ(d.pixels, c.pixels) << c.what;
  }
}

TEST(DecompressImage, GifPlainInterlacedAndTransparent) {
  {
    Decoder decoder(EncodeGif(11, 6, false));
    ExpectPattern(decoder.Run(), 11, 6, 8, "plain");
  }
  {
    Decoder decoder(EncodeGif(11, 19, true));
    ExpectPattern(decoder.Run(), 11, 19, 8, "interlaced");
  }
  // Index 3 is transparent: it takes the override colour (COLORREF order).
  Decoder decoder(EncodeGif(8, 4, false, 3));
  decoder.info().crTransparentOverride = RGB(0x12, 0x34, 0x56);
  const Decoded d = decoder.Run();
  ASSERT_EQ(d.result, S_OK);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) {
      const std::uint32_t want = (x + 3 * y) % 8 == 3 ? 0x123456 : PatternPixel(x, y);
      EXPECT_EQ(d.At(x, y), want) << x << "," << y;
    }
  }
}

TEST(DecompressImage, Jpeg) {
  Decoder decoder(EncodeJpeg(32, 24));
  const Decoded d = decoder.Run();
  ASSERT_EQ(d.result, S_OK);
  ASSERT_EQ(d.width, 32);
  ASSERT_EQ(d.height, 24);
  // Lossy: each quadrant's middle within a few steps of its colour.
  for (auto [x, y] : {std::pair{8, 6}, {24, 6}, {8, 18}, {24, 18}}) {
    const std::uint32_t want = QuadrantPixel(x, y, 32, 24), got = d.At(x, y);
    for (int shift : {0, 8, 16}) {
      EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF), static_cast<int>((want >> shift) & 0xFF), 8)
          << x << "," << y;
    }
  }
}

TEST(DecompressImage, OutputDepths) {
  for (int depth : {16, 24, 32}) {
    Decoder decoder(EncodeBmp(5, 3, {24, false, false}));
    decoder.info().iBitDepth = depth;
    const Decoded d = decoder.Run();
    EXPECT_EQ(d.bitsPixel, depth);
    ExpectPattern(d, 5, 3, 8, "depth " + std::to_string(depth));
  }
  // Depth 0: the depth of the screen.
  Decoder decoder(EncodeBmp(5, 3, {24, false, false}));
  decoder.info().iBitDepth = 0;
  HDC screen = GetDC(nullptr);
  const int screenDepth = GetDeviceCaps(screen, BITSPIXEL);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(decoder.Run().bitsPixel, screenDepth);
}

TEST(DecompressImage, ScaleAndLargestSize) {
  struct Case {
    int width, height, scale, maxWidth, maxHeight, wantWidth, wantHeight;
  };
  const Case cases[] = {
      {40, 20, 100, 10000, 10000, 40, 20},   // as stored
      {40, 20, 50, 10000, 10000, 20, 10},    // half
      {40, 20, 250, 10000, 10000, 100, 50},  // larger
      {40, 20, 100, 10, 10000, 10, 5},       // shrunk to the width, shape kept
      {40, 20, 100, 10000, 4, 8, 4},         // shrunk to the height
      {40, 20, 100, 0, 0, 40, 20},           // no limit
      {3, 1, 10, 10000, 10000, 1, 1},        // never below a pixel
  };
  for (const Case& c : cases) {
    Decoder decoder(EncodeBmp(c.width, c.height, {24, false, false}));
    decoder.info().iScale = c.scale;
    decoder.info().iMaxWidth = c.maxWidth;
    decoder.info().iMaxHeight = c.maxHeight;
    const Decoded d = decoder.Run();
    ASSERT_EQ(d.result, S_OK);
    EXPECT_EQ(d.width, c.wantWidth) << c.scale << " " << c.maxWidth << " " << c.maxHeight;
    EXPECT_EQ(d.height, c.wantHeight) << c.scale << " " << c.maxWidth << " " << c.maxHeight;
    // Nearest pixel: the top left corner is the picture's.
    EXPECT_EQ(d.At(0, 0), PatternPixel(0, 0));
  }
}

TEST(DecompressImage, ReadsThroughTheCallbackInPiecesAndReportsProgress) {
  g_progressCalls = 0;
  Decoder decoder(EncodeGif(20, 20, false), 1);
  ExpectPattern(decoder.Run(), 20, 20, 8, "one-byte reads");
  EXPECT_EQ(decoder.info().dwBufferCurrent, 0u);  // the last read met the end
  EXPECT_EQ(g_progressCalls, 1);
}

// Bytes of a file with a little-endian value put at an offset.
std::vector<std::uint8_t> Patched(std::vector<std::uint8_t> data, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) data[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  return data;
}

TEST(DecompressImage, RefusesCorruptAndHostileFiles) {
  const auto bmp8 = EncodeBmp(6, 4, {8, false, false});
  const auto bmp24 = EncodeBmp(6, 4, {24, false, false});
  const auto gif = EncodeGif(6, 4, false);
  const auto jpeg = EncodeJpeg(16, 16);
  auto cut = [](std::vector<std::uint8_t> d, std::size_t n) {
    d.resize(n);
    return d;
  };
  const struct {
    const char* what;
    std::vector<std::uint8_t> data;
  } cases[] = {
      {"empty", {}},
      {"unknown format", {'P', 'K', 3, 4, 0, 0, 0, 0}},
      {"header cut short", cut(bmp24, 30)},
      {"pixels cut short", cut(bmp24, bmp24.size() - 1)},
      {"width 0", Patched(bmp24, 18, 0, 4)},
      {"negative width", Patched(bmp24, 18, 0xFFFFFFFF, 4)},
      {"height 0", Patched(bmp24, 22, 0, 4)},
      {"huge picture", Patched(Patched(bmp24, 18, 30000, 4), 22, 30000, 4)},
      {"longest height", Patched(bmp24, 22, 0x80000000u, 4)},
      {"two planes", Patched(bmp24, 26, 2, 2)},
      {"bit count 7", Patched(bmp24, 28, 7, 2)},
      {"24 bits with bitfields", Patched(bmp24, 30, 3, 4)},
      {"unknown compression", Patched(bmp24, 30, 9, 4)},
      {"colour table of 300", Patched(bmp8, 46, 300, 4)},
      {"pixels before the header's end", Patched(bmp8, 10, 20, 4)},
      {"pixels past the end", Patched(bmp24, 10, 0x7FFFFFF0, 4)},
      {"header size 200", Patched(bmp24, 14, 200, 4)},
      {"RLE8 without its end", cut(Rle8Sample(), Rle8Sample().size() - 2)},
      {"GIF cut short", cut(gif, gif.size() - 4)},
      {"GIF of no picture", cut(gif, 13 + 24)},
      {"GIF screen 0 wide", Patched(gif, 6, 0, 2)},
      {"JPEG cut short", cut(jpeg, jpeg.size() / 2)},
      {"JPEG header only", cut(jpeg, 20)},
  };
  for (const auto& c : cases) {
    Decoder decoder(c.data);
    const Decoded d = decoder.Run();
    EXPECT_LT(d.result, 0) << c.what;
  }
}

TEST(DecompressImage, RefusesABadRecordOrReader) {
  std::vector<std::uint8_t> bmp = EncodeBmp(4, 4, {24, false, false});
  {
    Decoder decoder(bmp);
    decoder.info().dwSize = 60;
    EXPECT_EQ(decoder.Run().result, E_INVALIDARG);
  }
  {
    Decoder decoder(bmp);
    decoder.info().pfnGetData = nullptr;
    EXPECT_EQ(decoder.Run().result, E_INVALIDARG);
  }
  {
    Decoder decoder(bmp);
    decoder.info().dwBufferMax = 0;
    EXPECT_EQ(decoder.Run().result, E_INVALIDARG);
  }
  {
    Decoder decoder(bmp);
    decoder.info().iBitDepth = 17;
    EXPECT_EQ(decoder.Run().result, E_INVALIDARG);
  }
  {
    // Scaled beyond what a bitmap can be, with no limit to shrink it.
    Decoder decoder(bmp);
    decoder.info().iScale = 0x7FFFFFFF;
    decoder.info().iMaxWidth = 0;
    decoder.info().iMaxHeight = 0;
    EXPECT_EQ(decoder.Run().result, E_FAIL);
  }
  {
    // A reader that claims more than the buffer holds.
    Decoder decoder(bmp, 64);
    decoder.source().extra = 1;
    EXPECT_EQ(decoder.Run().result, E_FAIL);
  }
  DecompressImageInfo info{};
  info.dwSize = sizeof info;
  EXPECT_EQ(DecompressImageIndirect(&info), E_INVALIDARG);  // no bitmap address
  EXPECT_EQ(DecompressImageIndirect(nullptr), E_INVALIDARG);
}

TEST(DecompressImage, TheDecompressorLibraryExportsItAsNumberOne) {
  // The library lies beside the programs; mounted here as a program folder.
  const std::filesystem::path library = CE_IMGDECMP_LIBRARY;
  ce::test::ScopedSetting folders("DEVICE_PROGRAM_FOLDERS", "Imaging=" + library.parent_path().string());
  HMODULE module = LoadLibraryW(L"\\Program Files\\Imaging\\imgdecmp.dll");
  ASSERT_NE(module, nullptr);
  FARPROC proc = GetProcAddressW(module, MAKEINTRESOURCE(1));
  ASSERT_NE(proc, nullptr);
  // As programs do: through a pointer-sized value to the function's type.
  auto decompress = reinterpret_cast<HRESULT (*)(DecompressImageInfo*)>(reinterpret_cast<void*>(proc));
  // The library runs on its own copy of the platform here (this test
  // program links the platform statically), so only its answer to a bad
  // record is looked at.
  DecompressImageInfo info{};
  info.dwSize = 1;
  EXPECT_EQ(decompress(&info), E_INVALIDARG);
  EXPECT_TRUE(FreeLibrary(module));
}

}  // namespace
