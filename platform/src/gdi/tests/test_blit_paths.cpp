// The row-at-a-time blit paths against the general pixel-by-pixel loop: the
// same random bitmaps, positions, clips, stretches and raster operations
// through both must leave identical bytes behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ce/wingdi.h"
#include "gdi/objects.h"

namespace {

struct Format {
  const char* name;
  int bpp;
  DWORD compression;
  DWORD masks[3];
  int tableSize;
};

const Format kFormats[] = {
    {"mono", 1, BI_RGB, {}, 2},   {"4bit", 4, BI_RGB, {}, 16},
    {"8bit", 8, BI_RGB, {}, 256}, {"565", 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, 0},
    {"555", 16, BI_RGB, {}, 0},   {"24bit", 24, BI_RGB, {}, 0},
    {"32bit", 32, BI_RGB, {}, 0}, {"32bgr", 32, BI_BITFIELDS, {0x0000FF, 0x00FF00, 0xFF0000}, 0},
};

const DWORD kRops[] = {SRCCOPY,   SRCCOPY, SRCCOPY,   SRCAND,    SRCPAINT,  SRCINVERT, NOTSRCCOPY, SRCERASE,
                       MERGECOPY, PATCOPY, PATINVERT, DSTINVERT, BLACKNESS, WHITENESS, MERGEPAINT, NOTSRCERASE};

class Dib {
 public:
  Dib(const Format& f, int width, int height, bool topDown, std::mt19937& random) {
    std::vector<BYTE> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = topDown ? -height : height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(f.bpp);
    h.biCompression = f.compression;
    h.biClrUsed = static_cast<DWORD>(f.tableSize);
    std::memcpy(info.data(), &h, sizeof h);
    if (f.compression == BI_BITFIELDS) std::memcpy(info.data() + sizeof h, f.masks, sizeof f.masks);
    for (int i = 0; i < f.tableSize; ++i) {
      const RGBQUAD q{static_cast<BYTE>(random()), static_cast<BYTE>(random()), static_cast<BYTE>(random()), 0};
      std::memcpy(info.data() + sizeof h + static_cast<std::size_t>(i) * sizeof q, &q, sizeof q);
    }
    bitmap_ = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS,
                               reinterpret_cast<void**>(&bits_), nullptr, 0);
    size_ = ((static_cast<std::size_t>(width) * static_cast<std::size_t>(f.bpp) + 31) / 32) * 4 *
            static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < size_; ++i) bits_[i] = static_cast<BYTE>(random());
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
  std::vector<BYTE> Bytes() const { return {bits_, bits_ + size_}; }
  void Restore(const std::vector<BYTE>& bytes) { std::memcpy(bits_, bytes.data(), size_); }

 private:
  HBITMAP bitmap_ = nullptr;
  BYTE* bits_ = nullptr;
  std::size_t size_ = 0;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

struct Call {
  bool stretch;
  int x, y, w, h, sx, sy, sw, sh;
  DWORD rop;
  std::string Describe() const {
    return (stretch ? "StretchBlt(" : "BitBlt(") + std::to_string(x) + "," + std::to_string(y) + "," +
           std::to_string(w) + "," + std::to_string(h) + " <- " + std::to_string(sx) + "," + std::to_string(sy) + "," +
           std::to_string(sw) + "," + std::to_string(sh) + " rop " + std::to_string(rop >> 16) + ")";
  }
};

BOOL Blit(const Call& c, HDC dest, HDC source) {
  return c.stretch ? StretchBlt(dest, c.x, c.y, c.w, c.h, source, c.sx, c.sy, c.sw, c.sh, c.rop)
                   : BitBlt(dest, c.x, c.y, c.w, c.h, source, c.sx, c.sy, c.rop);
}

class BlitPaths : public ::testing::Test {
 protected:
  void TearDown() override { ce::gdi::SetBlitRowPaths(true); }
};

TEST_F(BlitPaths, RowPathsMatchThePixelLoop) {
  std::mt19937 random(20261210);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  int checked = 0;
  for (int round = 0; round < 6000; ++round) {
    const Format& from = kFormats[pick(0, 7)];
    const Format& to = kFormats[pick(0, 7)];
    const bool sameBitmap = pick(0, 7) == 0;
    Dib dest(to, pick(1, 48), pick(1, 24), pick(0, 1) == 1, random);
    Dib other(from, pick(1, 48), pick(1, 24), pick(0, 1) == 1, random);
    Dib& source = sameBitmap ? dest : other;

    HBRUSH brush = CreateSolidBrush(RGB(pick(0, 255), pick(0, 255), pick(0, 255)));
    HGDIOBJ oldBrush = SelectObject(dest.dc(), brush);
    if (pick(0, 3) == 0) IntersectClipRect(dest.dc(), pick(-4, 20), pick(-4, 10), pick(0, 50), pick(0, 26));

    Call c{};
    c.stretch = pick(0, 2) == 0;
    c.x = pick(-6, 24);
    c.y = pick(-4, 12);
    c.w = pick(0, 56) == 0 ? 0 : pick(1, 56);
    c.h = pick(0, 28) == 0 ? 0 : pick(1, 28);
    c.sx = pick(-6, 24);
    c.sy = pick(-4, 12);
    c.sw = c.stretch ? pick(1, 60) : c.w;
    c.sh = c.stretch ? pick(1, 30) : c.h;
    if (c.stretch && pick(0, 3) == 0) c.w = -c.w;
    if (c.stretch && pick(0, 3) == 0) c.sh = -c.sh;
    if (c.stretch && pick(0, 2) == 0) {
      c.sw = c.w == 0 ? 1 : (c.w < 0 ? -c.w : c.w) / 2 + 1;  // the common 2x growth
    }
    c.rop = kRops[pick(0, 15)];

    const std::vector<BYTE> before = dest.Bytes();
    ce::gdi::SetBlitRowPaths(false);
    const BOOL slowResult = Blit(c, dest.dc(), source.dc());
    const std::vector<BYTE> slow = dest.Bytes();
    dest.Restore(before);
    ce::gdi::SetBlitRowPaths(true);
    const BOOL fastResult = Blit(c, dest.dc(), source.dc());
    const std::vector<BYTE> fast = dest.Bytes();
    checked += slow != before ? 1 : 0;

    ASSERT_EQ(slowResult, fastResult) << c.Describe();
    const auto diff = std::mismatch(slow.begin(), slow.end(), fast.begin()).first - slow.begin();
    ASSERT_TRUE(slow == fast) << "first differing byte " << diff << ": " << from.name << " -> " << to.name
                              << (sameBitmap ? " (one bitmap) " : " ") << c.Describe();

    SelectObject(dest.dc(), oldBrush);
    DeleteObject(brush);
  }
  // Most rounds must have drawn something for the comparison to mean much.
  EXPECT_GT(checked, 1500);
}

}  // namespace
