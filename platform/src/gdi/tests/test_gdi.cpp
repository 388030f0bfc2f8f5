#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "backend/headless/headless_display.h"
#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "gdi/objects.h"
#include "gdi/screen.h"
#include "screen_config.h"

namespace {

// The values programs pass on the device; a slip here breaks them silently.
static_assert(SRCCOPY == 0xCC0020 && SRCAND == 0x8800C6 && SRCPAINT == 0xEE0086 && NOTSRCCOPY == 0x330008);
static_assert(BITSPIXEL == 12 && LOGPIXELSX == 88 && LOGPIXELSY == 90 && HORZRES == 8 && VERTRES == 10);
static_assert(BI_RGB == 0 && BI_BITFIELDS == 3 && DIB_RGB_COLORS == 0);
static_assert(QUERYESCSUPPORT == 8 && SETPOWERMANAGEMENT == 6147 && GETPOWERMANAGEMENT == 6148 &&
              GETRAWFRAMEBUFFER == 0x20001);
static_assert(WHITE_BRUSH == 0 && BLACK_BRUSH == 4 && NULL_BRUSH == 5 && SYSTEM_FONT == 13);

// --- A DIB section of any format, with direct access to its bits ---------

struct Format {
  const char* name;
  int bpp;
  DWORD compression;
  DWORD masks[3];
  std::vector<RGBQUAD> table;
  DWORD raw;       // a pixel value ...
  COLORREF color;  // ... and the colour it shows, both ways exact
};

std::vector<RGBQUAD> Ramp(int count, COLORREF (*entry)(int)) {
  std::vector<RGBQUAD> table;
  for (int i = 0; i < count; ++i) {
    const COLORREF c = entry(i);
    table.push_back(RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0});
  }
  return table;
}

const std::vector<Format>& Formats() {
  static const std::vector<Format> formats = {
      {"mono",
       1,
       BI_RGB,
       {},
       Ramp(2, [](int i) { return i ? RGB(255, 255, 255) : RGB(0, 0, 0); }),
       1,
       RGB(255, 255, 255)},
      {"4bit", 4, BI_RGB, {}, Ramp(16, [](int i) { return RGB(i * 16, 0, 255 - i * 16); }), 5, RGB(80, 0, 175)},
      {"8bit", 8, BI_RGB, {}, Ramp(256, [](int i) { return RGB(i, 255 - i, i / 2); }), 200, RGB(200, 55, 100)},
      {"565", 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, {}, 0x8410, RGB(132, 130, 132)},
      {"555", 16, BI_RGB, {}, {}, 0x7C1F, RGB(255, 0, 255)},
      {"24bit", 24, BI_RGB, {}, {}, 0x123456, RGB(0x12, 0x34, 0x56)},
      {"32bit", 32, BI_RGB, {}, {}, 0x00ABCDEF, RGB(0xAB, 0xCD, 0xEF)},
      {"32bgr", 32, BI_BITFIELDS, {0x0000FF, 0x00FF00, 0xFF0000}, {}, 0x00112233, RGB(0x33, 0x22, 0x11)},
  };
  return formats;
}

class Dib {
 public:
  Dib(const Format& f, int width, int height, bool topDown) : f_(f), width_(width), height_(height), topDown_(topDown) {
    std::vector<BYTE> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = topDown ? -height : height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(f.bpp);
    h.biCompression = f.compression;
    h.biClrUsed = static_cast<DWORD>(f.table.size());
    std::memcpy(info.data(), &h, sizeof h);
    if (f.compression == BI_BITFIELDS) std::memcpy(info.data() + sizeof h, f.masks, sizeof f.masks);
    if (!f.table.empty()) std::memcpy(info.data() + sizeof h, f.table.data(), f.table.size() * sizeof(RGBQUAD));
    bitmap_ = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS,
                               reinterpret_cast<void**>(&bits_), nullptr, 0);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~Dib() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  Dib(const Dib&) = delete;
  Dib& operator=(const Dib&) = delete;

  HDC dc() const { return dc_; }
  HBITMAP bitmap() const { return bitmap_; }
  BYTE* bits() const { return bits_; }
  DWORD mask() const { return f_.bpp == 32 ? 0xFFFFFFFFu : (1u << f_.bpp) - 1; }

  // Pixel access written from the DIB layout itself: rows padded to 32 bits,
  // bottom row first unless top-down, sub-byte pixels high bits first.
  DWORD Peek(int x, int y) const {
    const BYTE* row = Row(y);
    const std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(f_.bpp);
    if (f_.bpp < 8) return (row[bit / 8] >> (8 - f_.bpp - bit % 8)) & mask();
    DWORD v = 0;
    for (int b = 0; b < f_.bpp / 8; ++b) v |= DWORD{row[bit / 8 + static_cast<std::size_t>(b)]} << (8 * b);
    return v;
  }
  void Poke(int x, int y, DWORD v) {
    BYTE* row = Row(y);
    const std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(f_.bpp);
    if (f_.bpp < 8) {
      const int shift = static_cast<int>(8 - f_.bpp - bit % 8);
      row[bit / 8] = static_cast<BYTE>((row[bit / 8] & ~(mask() << shift)) | ((v & mask()) << shift));
      return;
    }
    for (int b = 0; b < f_.bpp / 8; ++b) row[bit / 8 + static_cast<std::size_t>(b)] = static_cast<BYTE>(v >> (8 * b));
  }

 private:
  BYTE* Row(int y) const {
    const std::size_t rowBytes = ((static_cast<std::size_t>(width_) * static_cast<std::size_t>(f_.bpp) + 31) / 32) * 4;
    return bits_ + rowBytes * static_cast<std::size_t>(topDown_ ? y : height_ - 1 - y);
  }

  const Format& f_;
  int width_;
  int height_;
  bool topDown_;
  HBITMAP bitmap_ = nullptr;
  BYTE* bits_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

ce::backend::HeadlessDisplay& Shown() {
  return dynamic_cast<ce::backend::HeadlessDisplay&>(ce::gdi::Screen::Current()->display());
}

// --- DIB sections and pixels ----------------------------------------------

TEST(GdiDib, BitsAndPixelsAgreeInEveryFormat) {
  for (const Format& f : Formats()) {
    for (bool topDown : {false, true}) {
      SCOPED_TRACE(std::string(f.name) + (topDown ? " top-down" : " bottom-up"));
      Dib dib(f, 9, 5, topDown);
      ASSERT_NE(dib.bitmap(), nullptr);
      ASSERT_NE(dib.bits(), nullptr);
      dib.Poke(3, 1, f.raw);
      EXPECT_EQ(GetPixel(dib.dc(), 3, 1), f.color) << "bits seen through GetPixel";
      EXPECT_EQ(GetPixel(dib.dc(), 3, 2), GetPixel(dib.dc(), 0, 0)) << "neighbours untouched";
      EXPECT_EQ(SetPixel(dib.dc(), 8, 4, f.color), f.color);
      EXPECT_EQ(dib.Peek(8, 4), f.raw) << "SetPixel seen in the bits";
      EXPECT_EQ(dib.Peek(7, 4), 0u);
      EXPECT_EQ(GetPixel(dib.dc(), 9, 0), CLR_INVALID) << "outside the bitmap";
      EXPECT_EQ(SetPixel(dib.dc(), -1, 0, f.color), CLR_INVALID);
    }
  }
}

TEST(GdiDib, SetPixelReturnsTheColourTheFormatHolds) {
  Dib dib(Formats()[3], 2, 2, true);  // RGB565
  EXPECT_EQ(SetPixel(dib.dc(), 0, 0, RGB(255, 255, 255)), RGB(255, 255, 255));
  EXPECT_EQ(SetPixel(dib.dc(), 0, 0, RGB(7, 3, 7)), RGB(0, 0, 0));
  EXPECT_EQ(SetPixel(dib.dc(), 1, 1, RGB(0, 255, 255)), RGB(0, 255, 255));
  EXPECT_EQ(dib.Peek(1, 1), 0x07FFu);
}

TEST(GdiDib, ObjectDescribesTheSection) {
  Dib dib(Formats()[5], 5, 3, false);  // 24 bits, bottom-up
  DIBSECTION ds{};
  ASSERT_EQ(GetObjectW(dib.bitmap(), sizeof ds, &ds), static_cast<int>(sizeof ds));
  EXPECT_EQ(ds.dsBm.bmWidth, 5);
  EXPECT_EQ(ds.dsBm.bmHeight, 3);
  EXPECT_EQ(ds.dsBm.bmWidthBytes, 16);
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 24);
  EXPECT_EQ(ds.dsBm.bmBits, dib.bits());
  EXPECT_EQ(ds.dsBmih.biHeight, 3);
  BITMAP bm{};
  ASSERT_EQ(GetObjectW(dib.bitmap(), sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmBits, dib.bits());

  Dib fields(Formats()[3], 3, 3, true);
  ASSERT_EQ(GetObjectW(fields.bitmap(), sizeof ds, &ds), static_cast<int>(sizeof ds));
  EXPECT_EQ(ds.dsBitfields[0], 0xF800u);
  EXPECT_EQ(ds.dsBitfields[1], 0x07E0u);
  EXPECT_EQ(ds.dsBitfields[2], 0x001Fu);
  EXPECT_EQ(ds.dsBm.bmWidthBytes, 8);
}

TEST(GdiDib, BadHeadersAreRefused) {
  struct Case {
    const char* what;
    void (*change)(BITMAPINFOHEADER&, DWORD* masks);
    DWORD error;
  };
  const Case cases[] = {
      {"short header", [](BITMAPINFOHEADER& h, DWORD*) { h.biSize = 12; }, ERROR_INVALID_PARAMETER},
      {"two planes", [](BITMAPINFOHEADER& h, DWORD*) { h.biPlanes = 2; }, ERROR_INVALID_PARAMETER},
      {"no width", [](BITMAPINFOHEADER& h, DWORD*) { h.biWidth = 0; }, ERROR_INVALID_PARAMETER},
      {"negative width", [](BITMAPINFOHEADER& h, DWORD*) { h.biWidth = -4; }, ERROR_INVALID_PARAMETER},
      {"no height", [](BITMAPINFOHEADER& h, DWORD*) { h.biHeight = 0; }, ERROR_INVALID_PARAMETER},
      {"lowest height", [](BITMAPINFOHEADER& h, DWORD*) { h.biHeight = INT32_MIN; }, ERROR_INVALID_PARAMETER},
      {"2 bits", [](BITMAPINFOHEADER& h, DWORD*) { h.biBitCount = 2; }, ERROR_INVALID_PARAMETER},
      {"fields at 24 bits", [](BITMAPINFOHEADER& h, DWORD*) { h.biBitCount = 24; }, ERROR_INVALID_PARAMETER},
      {"run-length", [](BITMAPINFOHEADER& h, DWORD*) { h.biCompression = 1; }, ERROR_INVALID_PARAMETER},
      {"zero mask", [](BITMAPINFOHEADER&, DWORD* m) { m[1] = 0; }, ERROR_INVALID_PARAMETER},
      {"overlapping masks", [](BITMAPINFOHEADER&, DWORD* m) { m[1] = 0x0FE0; }, ERROR_INVALID_PARAMETER},
      {"gappy mask", [](BITMAPINFOHEADER&, DWORD* m) { m[2] = 0x0015; }, ERROR_INVALID_PARAMETER},
      {"mask past 16 bits", [](BITMAPINFOHEADER&, DWORD* m) { m[0] = 0x1F800; }, ERROR_INVALID_PARAMETER},
      {"table too long",
       [](BITMAPINFOHEADER& h, DWORD*) {
         h.biBitCount = 4;
         h.biCompression = BI_RGB;
         h.biClrUsed = 17;
       },
       ERROR_INVALID_PARAMETER},
      {"too large",
       [](BITMAPINFOHEADER& h, DWORD*) {
         h.biWidth = 30000;
         h.biHeight = 30000;
         h.biBitCount = 32;
       },
       ERROR_NOT_ENOUGH_MEMORY},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<BYTE> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    BITMAPINFOHEADER h{sizeof h, 4, 4, 1, 16, BI_BITFIELDS, 0, 0, 0, 0, 0};
    DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    c.change(h, masks);
    std::memcpy(info.data(), &h, sizeof h);
    std::memcpy(info.data() + sizeof h, masks, sizeof masks);
    void* bits = reinterpret_cast<void*>(1);
    SetLastError(0);
    EXPECT_EQ(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &bits, nullptr, 0),
              nullptr);
    EXPECT_EQ(bits, nullptr);
    EXPECT_EQ(GetLastError(), c.error);
  }
  void* bits = nullptr;
  SetLastError(0);
  EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// --- Raster operations ------------------------------------------------------

TEST(GdiBlit, RasterOperationsCombinePixelsInEveryFormat) {
  struct Rop {
    const char* name;
    DWORD code;
    DWORD (*expect)(DWORD s, DWORD d);
  };
  const Rop rops[] = {
      {"SRCCOPY", SRCCOPY, [](DWORD s, DWORD) { return s; }},
      {"SRCAND", SRCAND, [](DWORD s, DWORD d) { return s & d; }},
      {"SRCPAINT", SRCPAINT, [](DWORD s, DWORD d) { return s | d; }},
      {"NOTSRCCOPY", NOTSRCCOPY, [](DWORD s, DWORD) { return ~s; }},
      {"SRCINVERT", SRCINVERT, [](DWORD s, DWORD d) { return s ^ d; }},
      {"DSTINVERT", DSTINVERT, [](DWORD, DWORD d) { return ~d; }},
      {"BLACKNESS", BLACKNESS, [](DWORD, DWORD) { return 0u; }},
  };
  for (const Format& f : Formats()) {
    for (const Rop& rop : rops) {
      SCOPED_TRACE(std::string(f.name) + " " + rop.name);
      Dib src(f, 7, 5, false);
      Dib dst(f, 7, 5, true);
      // Distinct, format-wide patterns in both, so every bit position counts.
      for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
          src.Poke(x, y, (0x9E3779B9u * static_cast<DWORD>(x + 7 * y + 1)) >> 3);
          dst.Poke(x, y, (0x85EBCA6Bu * static_cast<DWORD>(x + 7 * y + 3)) >> 5);
        }
      }
      // A 4x3 block from (1, 1) of the source to (2, 2) of the destination,
      // which runs past the destination's bottom edge.
      std::vector<DWORD> before(35);
      for (int i = 0; i < 35; ++i) before[static_cast<std::size_t>(i)] = dst.Peek(i % 7, i / 7);
      ASSERT_TRUE(BitBlt(dst.dc(), 2, 2, 4, 4, src.dc(), 1, 1, rop.code));
      for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
          const DWORD d = before[static_cast<std::size_t>(x + 7 * y)];
          const bool inside = x >= 2 && x < 6 && y >= 2;
          const DWORD want = inside ? rop.expect(src.Peek(x - 1, y - 1), d) & dst.mask() : d;
          ASSERT_EQ(dst.Peek(x, y), want) << "at " << x << "," << y;
        }
      }
    }
  }
}

TEST(GdiBlit, SourceIsConvertedToTheDestinationFormat) {
  Dib from32(Formats()[6], 3, 1, true);
  Dib to565(Formats()[3], 3, 1, true);
  SetPixel(from32.dc(), 0, 0, RGB(255, 0, 0));
  SetPixel(from32.dc(), 1, 0, RGB(0, 255, 255));
  SetPixel(from32.dc(), 2, 0, RGB(132, 130, 132));
  ASSERT_TRUE(BitBlt(to565.dc(), 0, 0, 3, 1, from32.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(to565.Peek(0, 0), 0xF800u);
  EXPECT_EQ(to565.Peek(1, 0), 0x07FFu);
  EXPECT_EQ(to565.Peek(2, 0), 0x8410u);

  // A monochrome source goes through its colour table; masks combine after.
  Dib mono(Formats()[0], 2, 1, true);
  Dib to24(Formats()[5], 2, 1, true);
  mono.Poke(1, 0, 1);
  HBRUSH brush = CreateSolidBrush(RGB(0x12, 0x34, 0x56));
  const RECT row{0, 0, 2, 1};
  FillRect(to24.dc(), &row, brush);
  DeleteObject(brush);
  ASSERT_TRUE(BitBlt(to24.dc(), 0, 0, 2, 1, mono.dc(), 0, 0, SRCAND));
  EXPECT_EQ(GetPixel(to24.dc(), 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(to24.dc(), 1, 0), RGB(0x12, 0x34, 0x56));
}

TEST(GdiBlit, OverlappingCopyWithinOneBitmapScrolls) {
  for (int shift : {1, -1}) {
    SCOPED_TRACE(shift);
    Dib dib(Formats()[3], 3, 6, false);
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 3; ++x) dib.Poke(x, y, static_cast<DWORD>(10 * y + x));
    }
    // Rows 1..4 move by one row, both ways.
    ASSERT_TRUE(BitBlt(dib.dc(), 0, 1 + shift, 3, 4, dib.dc(), 0, 1, SRCCOPY));
    for (int y = 1; y < 5; ++y) {
      for (int x = 0; x < 3; ++x) EXPECT_EQ(dib.Peek(x, y + shift), static_cast<DWORD>(10 * y + x));
    }
    // Sideways through the general path (another raster operation): each
    // pixel takes the source as it was before the call.
    const DWORD first = dib.Peek(0, 0);
    const DWORD second = dib.Peek(1, 0);
    ASSERT_TRUE(BitBlt(dib.dc(), 1, 0, 2, 6, dib.dc(), 0, 0, NOTSRCCOPY));
    EXPECT_EQ(dib.Peek(1, 0), ~first & 0xFFFF);
    EXPECT_EQ(dib.Peek(2, 0), ~second & 0xFFFF);
  }
}

TEST(GdiBlit, SourceOutsideItsBitmapLeavesDestinationAlone) {
  Dib src(Formats()[6], 2, 2, true);
  Dib dst(Formats()[6], 4, 4, true);
  const RECT all{0, 0, 2, 2};
  FillRect(src.dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 4, 4, src.dc(), -1, -1, SRCCOPY));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const bool copied = x >= 1 && x <= 2 && y >= 1 && y <= 2;
      EXPECT_EQ(GetPixel(dst.dc(), x, y), copied ? RGB(255, 255, 255) : RGB(0, 0, 0)) << x << "," << y;
    }
  }
}

// --- Stretching ---------------------------------------------------------------

// Source pixel values encode their column and row; the result lists, per
// destination pixel, which source pixel it took.
std::vector<std::vector<DWORD>> Stretch(int sw, int sh, int dw, int dh, int rawDw = 0) {
  const Format& f = Formats()[6];
  Dib src(f, sw, sh, true);
  Dib dst(f, dw, dh, true);
  for (int y = 0; y < sh; ++y) {
    for (int x = 0; x < sw; ++x) src.Poke(x, y, static_cast<DWORD>(x | (y << 8)));
  }
  if (rawDw < 0) {
    EXPECT_TRUE(StretchBlt(dst.dc(), dw, 0, rawDw, dh, src.dc(), 0, 0, sw, sh, SRCCOPY));
  } else {
    EXPECT_TRUE(StretchBlt(dst.dc(), 0, 0, dw, dh, src.dc(), 0, 0, sw, sh, SRCCOPY));
  }
  std::vector<std::vector<DWORD>> out(static_cast<std::size_t>(dh));
  for (int y = 0; y < dh; ++y) {
    for (int x = 0; x < dw; ++x) out[static_cast<std::size_t>(y)].push_back(dst.Peek(x, y));
  }
  return out;
}

std::vector<DWORD> Columns(const std::vector<std::vector<DWORD>>& out) {
  std::vector<DWORD> cols;
  for (DWORD v : out[0]) cols.push_back(v & 0xFF);
  return cols;
}

std::vector<DWORD> Rows(const std::vector<std::vector<DWORD>>& out) {
  std::vector<DWORD> rows;
  for (const auto& row : out) rows.push_back(row[0] >> 8);
  return rows;
}

TEST(GdiStretch, GrowingRepeatsPixelsEvenly) {
  const auto doubled = Stretch(2, 2, 4, 4);
  EXPECT_EQ(Columns(doubled), (std::vector<DWORD>{0, 0, 1, 1}));
  EXPECT_EQ(Rows(doubled), (std::vector<DWORD>{0, 0, 1, 1}));
  const auto grown = Stretch(10, 7, 15, 10);  // factor 1.5
  EXPECT_EQ(Columns(grown), (std::vector<DWORD>{0, 1, 1, 2, 3, 3, 4, 5, 5, 6, 7, 7, 8, 9, 9}));
  EXPECT_EQ(Rows(grown), (std::vector<DWORD>{0, 1, 1, 2, 3, 3, 4, 5, 5, 6}));
}

TEST(GdiStretch, ShrinkingDropsPixelsEvenly) {
  const auto halved = Stretch(8, 6, 4, 3);
  EXPECT_EQ(Columns(halved), (std::vector<DWORD>{1, 3, 5, 7}));
  EXPECT_EQ(Rows(halved), (std::vector<DWORD>{1, 3, 5}));
  const auto third = Stretch(9, 1, 3, 1);
  EXPECT_EQ(Columns(third), (std::vector<DWORD>{1, 4, 7}));
}

TEST(GdiStretch, OppositeSignsMirror) {
  const auto mirrored = Stretch(4, 1, 4, 1, -4);
  EXPECT_EQ(Columns(mirrored), (std::vector<DWORD>{3, 2, 1, 0}));
}

TEST(GdiStretch, RasterOperationAppliesWhileStretching) {
  const Format& f = Formats()[6];
  Dib src(f, 1, 1, true);
  Dib dst(f, 2, 2, true);
  src.Poke(0, 0, 0x00F0F0F0);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) dst.Poke(x, y, 0x000F0FFF);
  }
  ASSERT_TRUE(StretchBlt(dst.dc(), 0, 0, 2, 2, src.dc(), 0, 0, 1, 1, SRCPAINT));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) EXPECT_EQ(dst.Peek(x, y), 0x00FFFFFFu);
  }
}

// --- Brushes and fills ------------------------------------------------------

TEST(GdiFill, FillRectIsClippedToTheBitmapAndTheClipRectangle) {
  Dib dib(Formats()[6], 8, 8, true);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  const RECT spill{-2, -2, 3, 3};
  EXPECT_NE(FillRect(dib.dc(), &spill, red), 0);
  EXPECT_EQ(IntersectClipRect(dib.dc(), 2, 2, 6, 6), SIMPLEREGION);
  EXPECT_EQ(IntersectClipRect(dib.dc(), 4, 0, 20, 20), SIMPLEREGION) << "clips narrow, never widen";
  const RECT all{0, 0, 8, 8};
  EXPECT_NE(FillRect(dib.dc(), &all, blue), 0);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      COLORREF want = RGB(0, 0, 0);
      if (x < 3 && y < 3) want = RGB(255, 0, 0);
      if (x >= 4 && x < 6 && y >= 2 && y < 6) want = RGB(0, 0, 255);
      EXPECT_EQ(GetPixel(dib.dc(), x, y), x >= 4 && x < 6 && y >= 2 && y < 6 ? want : CLR_INVALID)
          << "outside the clip GetPixel answers nothing, at " << x << "," << y;
      EXPECT_EQ(dib.Peek(x, y), want == RGB(255, 0, 0) ? 0xFF0000u : want == RGB(0, 0, 255) ? 0x0000FFu : 0u);
    }
  }
  EXPECT_EQ(IntersectClipRect(dib.dc(), 7, 7, 8, 8), NULLREGION);
  EXPECT_EQ(SelectClipRgn(dib.dc(), nullptr), SIMPLEREGION);
  EXPECT_EQ(GetPixel(dib.dc(), 0, 0), RGB(255, 0, 0));
  const RECT reversed{5, 5, 1, 1};
  EXPECT_NE(FillRect(dib.dc(), &reversed, blue), 0);
  EXPECT_EQ(GetPixel(dib.dc(), 2, 2), RGB(255, 0, 0)) << "an empty rectangle fills nothing";
  EXPECT_NE(FillRect(dib.dc(), &all, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))), 0);
  EXPECT_EQ(GetPixel(dib.dc(), 0, 0), RGB(255, 0, 0)) << "the hollow brush paints nothing";
  DeleteObject(red);
  DeleteObject(blue);
}

TEST(GdiFill, StockBrushesHaveTheirColours) {
  const std::pair<int, COLORREF> brushes[] = {{WHITE_BRUSH, RGB(255, 255, 255)},
                                              {LTGRAY_BRUSH, RGB(192, 192, 192)},
                                              {GRAY_BRUSH, RGB(128, 128, 128)},
                                              {DKGRAY_BRUSH, RGB(64, 64, 64)},
                                              {BLACK_BRUSH, RGB(0, 0, 0)}};
  for (const auto& [which, color] : brushes) {
    LOGBRUSH lb{};
    ASSERT_EQ(GetObjectW(GetStockObject(which), sizeof lb, &lb), static_cast<int>(sizeof lb));
    EXPECT_EQ(lb.lbStyle, BS_SOLID);
    EXPECT_EQ(lb.lbColor, color);
    EXPECT_TRUE(DeleteObject(GetStockObject(which))) << "stock objects survive deletion";
  }
  LOGBRUSH lb{};
  ASSERT_EQ(GetObjectW(GetStockObject(NULL_BRUSH), sizeof lb, &lb), static_cast<int>(sizeof lb));
  EXPECT_EQ(lb.lbStyle, BS_NULL);
}

TEST(GdiFill, PatternRasterOperationUsesTheSelectedBrush) {
  Dib dib(Formats()[6], 2, 2, true);
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  HGDIOBJ old = SelectObject(dib.dc(), green);
  EXPECT_EQ(old, GetStockObject(WHITE_BRUSH));
  ASSERT_TRUE(BitBlt(dib.dc(), 0, 0, 1, 2, nullptr, 0, 0, PATCOPY));
  EXPECT_EQ(GetPixel(dib.dc(), 0, 1), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(dib.dc(), 1, 1), RGB(0, 0, 0));
  EXPECT_EQ(SelectObject(dib.dc(), old), green);
  EXPECT_TRUE(DeleteObject(green));
}

// --- Compatible bitmaps and DCs ------------------------------------------------

TEST(GdiDc, CompatibleBitmapsTakeTheDepthOfTheirDc) {
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  HBITMAP colour = CreateCompatibleBitmap(screen, 10, 4);
  BITMAP bm{};
  ASSERT_EQ(GetObjectW(colour, sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmBitsPixel, 16);
  EXPECT_EQ(bm.bmWidth, 10);
  EXPECT_EQ(bm.bmWidthBytes, 20);
  EXPECT_EQ(bm.bmBits, nullptr);

  HDC memory = CreateCompatibleDC(screen);
  HBITMAP mono = CreateCompatibleBitmap(memory, 10, 4);  // a new memory DC holds a 1x1 monochrome bitmap
  ASSERT_EQ(GetObjectW(mono, sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmBitsPixel, 1);
  EXPECT_EQ(bm.bmWidthBytes, 2);

  HGDIOBJ original = SelectObject(memory, colour);
  ASSERT_NE(original, nullptr);
  const RECT r{0, 0, 10, 4};
  FillRect(memory, &r, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
  EXPECT_EQ(GetPixel(memory, 9, 3), RGB(132, 130, 132)) << "grey as 16-bit RGB565 holds it";
  EXPECT_EQ(GetDeviceCaps(memory, BITSPIXEL), 16);

  EXPECT_EQ(SelectObject(memory, original), colour);
  EXPECT_TRUE(DeleteObject(colour));
  EXPECT_TRUE(DeleteObject(mono));
  EXPECT_TRUE(DeleteDC(memory));
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

TEST(GdiDc, ABitmapLivesInOneDcAtATime) {
  HDC a = CreateCompatibleDC(nullptr);
  HDC b = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(a, 4, 4);
  HGDIOBJ oldA = SelectObject(a, bitmap);
  ASSERT_NE(oldA, nullptr);
  SetLastError(0);
  EXPECT_EQ(SelectObject(b, bitmap), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(DeleteObject(bitmap)) << "still selected";
  EXPECT_EQ(SelectObject(a, bitmap), bitmap) << "selecting it again into its own DC is fine";
  SelectObject(a, oldA);
  EXPECT_NE(SelectObject(b, bitmap), nullptr);
  EXPECT_TRUE(DeleteDC(b)) << "deleting the DC lets the bitmap go";
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_TRUE(DeleteDC(a));
  HDC screen = GetDC(nullptr);
  HBITMAP other = CreateCompatibleBitmap(screen, 2, 2);
  EXPECT_EQ(SelectObject(screen, other), nullptr) << "the screen's DC draws on the screen only";
  DeleteObject(other);
  ReleaseDC(nullptr, screen);
}

TEST(GdiDc, StaleAndWrongHandlesFailCleanly) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 2, 2);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  ASSERT_TRUE(DeleteDC(dc));
  ASSERT_TRUE(DeleteObject(bitmap));
  const RECT r{0, 0, 1, 1};
  HDC live = CreateCompatibleDC(nullptr);
  HDC fakes[] = {dc, nullptr, reinterpret_cast<HDC>(brush), reinterpret_cast<HDC>(0x1234),
                 reinterpret_cast<HDC>(INVALID_HANDLE_VALUE)};
  for (HDC bad : fakes) {
    SCOPED_TRACE(reinterpret_cast<std::uintptr_t>(bad));
    SetLastError(0);
    EXPECT_EQ(GetPixel(bad, 0, 0), CLR_INVALID);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetPixel(bad, 0, 0, 0), CLR_INVALID);
    EXPECT_FALSE(BitBlt(bad, 0, 0, 1, 1, live, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(live, 0, 0, 1, 1, bad, 0, 0, SRCCOPY));
    EXPECT_FALSE(StretchBlt(live, 0, 0, 2, 2, bad, 0, 0, 1, 1, SRCCOPY));
    EXPECT_EQ(FillRect(bad, &r, brush), 0);
    EXPECT_EQ(SelectObject(bad, brush), nullptr);
    EXPECT_FALSE(DeleteDC(bad));
    EXPECT_EQ(GetDeviceCaps(bad, HORZRES), 0);
    EXPECT_EQ(ExtEscape(bad, QUERYESCSUPPORT, 0, nullptr, 0, nullptr), -1);
    EXPECT_EQ(CreateCompatibleBitmap(bad, 1, 1), nullptr);
  }
  SetLastError(0);
  EXPECT_EQ(SelectObject(live, bitmap), nullptr) << "deleted bitmap";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(DeleteObject(bitmap));
  EXPECT_EQ(FillRect(live, &r, reinterpret_cast<HBRUSH>(bitmap)), 0);
  EXPECT_EQ(FillRect(live, &r, reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(6))), 0);
  EXPECT_FALSE(DeleteObject(live)) << "a DC is not deleted as an object";
  EXPECT_EQ(GetObjectW(live, 0, nullptr), 0);
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_TRUE(DeleteDC(live));
}

// --- The screen -----------------------------------------------------------------

TEST(GdiScreen, CapabilitiesFollowTheConfiguredScreen) {
  {
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 240);
    EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 320);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 16);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(screen, TECHNOLOGY), DT_RASDISPLAY);
    EXPECT_EQ(GetDeviceCaps(screen, PLANES), 1);
    EXPECT_EQ(GetDeviceCaps(screen, HORZSIZE), 64);  // 240 px at 96 DPI is 63.5 mm
    ReleaseDC(nullptr, screen);
  }
  ce::test::ScreenConfig config{{"DEVICE_SCREEN_WIDTH", "480"},
                                {"DEVICE_SCREEN_HEIGHT", "640"},
                                {"DEVICE_SCREEN_DPI", "192"},
                                {"DEVICE_SCREEN_BPP", "32"}};
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  for (HDC dc : {screen, memory}) {
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 480);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 640);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 192);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 192);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

TEST(GdiScreen, BadSettingsFallBackToTheDefaults) {
  ce::test::ScreenConfig config{{"DEVICE_SCREEN_WIDTH", "-5"},
                                {"DEVICE_SCREEN_HEIGHT", "many"},
                                {"DEVICE_SCREEN_BPP", "24"},
                                {"DEVICE_SCREEN_ROTATION", "45"}};
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 240);
  EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 320);
  EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 16);
  EXPECT_EQ(ce::gdi::Screen::Current()->rotation(), 0);
  ReleaseDC(nullptr, screen);
}

TEST(GdiScreen, DrawingOnTheScreenIsShownAndPresented) {
  ce::test::ScreenConfig config{{"DEVICE_SCREEN_WIDTH", "40"}, {"DEVICE_SCREEN_HEIGHT", "30"}};
  HDC screen = GetDC(nullptr);
  auto& shown = Shown();
  const int before = shown.presentCount();
  HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
  const RECT r{30, 20, 50, 50};
  ASSERT_NE(FillRect(screen, &r, brush), 0);
  EXPECT_EQ(shown.presentCount(), before + 1);
  EXPECT_EQ(shown.lastPresented().left, 30);
  EXPECT_EQ(shown.lastPresented().right, 40) << "presented area is clipped to the screen";
  EXPECT_EQ(shown.Pixel(39, 29), RGB(255, 0, 0));
  EXPECT_EQ(shown.Pixel(29, 29), RGB(0, 0, 0));
  EXPECT_EQ(shown.Pixel(40, 0), CLR_INVALID);

  // Back from the screen into memory, as programs grab what is shown.
  Dib copy(Formats()[6], 10, 10, true);
  ASSERT_TRUE(BitBlt(copy.dc(), 0, 0, 10, 10, screen, 30, 20, SRCCOPY));
  EXPECT_EQ(GetPixel(copy.dc(), 9, 9), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(copy.dc(), 0, 0), RGB(255, 0, 0));
  DeleteObject(brush);
  ReleaseDC(nullptr, screen);
}

TEST(GdiScreen, ADcWithAnOriginDrawsOnlyInItsOwnArea) {
  // The shape of a window's DC: the screen, seen from the window's corner,
  // limited to the window.
  ce::test::ScreenConfig config{{"DEVICE_SCREEN_WIDTH", "40"}, {"DEVICE_SCREEN_HEIGHT", "50"}};
  auto screen = ce::gdi::Screen::Current();
  HDC window;
  {
    std::lock_guard guard(ce::gdi::GdiLock());
    window = ce::gdi::CreateScreenDc(screen, POINT{10, 20}, RECT{10, 20, 30, 40});
  }
  ASSERT_NE(window, nullptr);
  HBRUSH brush = CreateSolidBrush(RGB(255, 255, 255));
  const RECT everything{-50, -50, 100, 100};
  ASSERT_NE(FillRect(window, &everything, brush), 0);
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 40; ++x) {
      const bool owned = x >= 10 && x < 30 && y >= 20 && y < 40;
      ASSERT_EQ(Shown().Pixel(x, y), owned ? RGB(255, 255, 255) : RGB(0, 0, 0)) << x << "," << y;
    }
  }
  EXPECT_EQ(SetPixel(window, 0, 0, RGB(255, 0, 0)), RGB(255, 0, 0));
  EXPECT_EQ(Shown().Pixel(10, 20), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(window, -1, 0), CLR_INVALID) << "outside its area";
  EXPECT_EQ(IntersectClipRect(window, 5, 5, 100, 100), SIMPLEREGION);
  EXPECT_EQ(GetPixel(window, 4, 5), CLR_INVALID);
  EXPECT_EQ(GetPixel(window, 19, 19), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(window, 20, 19), CLR_INVALID);
  DeleteObject(brush);
  EXPECT_TRUE(DeleteDC(window));
}

TEST(GdiScreen, ScreenshotIsAPngOfWhatIsShown) {
  ce::test::ScreenConfig config{{"DEVICE_SCREEN_WIDTH", "3"}, {"DEVICE_SCREEN_HEIGHT", "2"}};
  HDC screen = GetDC(nullptr);
  SetPixel(screen, 0, 0, RGB(255, 0, 0));
  SetPixel(screen, 2, 1, RGB(0, 0, 255));
  ReleaseDC(nullptr, screen);
  const std::string path = ::testing::TempDir() + "gdi_screenshot.png";
  ASSERT_TRUE(Shown().SaveScreenshot(path));
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  ASSERT_GT(png.size(), 8u + 25u + 12u);
  EXPECT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8), 0);
  EXPECT_EQ(std::memcmp(png.data() + 12, "IHDR", 4), 0);
  EXPECT_EQ(png[19], 3);  // width, big-endian
  EXPECT_EQ(png[23], 2);  // height
  // The image data is stored uncompressed: rows of filter 0 then RGB.
  const unsigned char rows[] = {0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255};
  const auto found = std::search(png.begin(), png.end(), std::begin(rows), std::end(rows));
  EXPECT_NE(found, png.end());
  EXPECT_FALSE(Shown().SaveScreenshot("/nonexistent-folder/x.png"));
}

}  // namespace
