#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "display/display_s16.h"
#include "display/sprite.h"
#include "engine/image.h"
#include "engine/testing/memory_file.h"

namespace {

// Texel of the 6 x 4 test picture; 0 is transparent.
std::uint16_t Texel(int x, int y) { return (x + 2 * y) % 4 == 0 ? 0 : static_cast<std::uint16_t>(0x1000 + 16 * y + x); }

// The picture as a raw 16-bit image file (stored as is, device format).
std::vector<std::uint8_t> RawPicture() {
  std::vector<std::uint8_t> f(kImageRawHeaderSize, 0);
  const std::uint32_t magic = kImageMagicRaw16, w = 6, h = 4;
  std::memcpy(f.data(), &magic, 4);
  std::memcpy(f.data() + 8, &w, 4);
  std::memcpy(f.data() + 12, &h, 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      const std::uint16_t t = Texel(x, y);
      f.push_back(static_cast<std::uint8_t>(t));
      f.push_back(static_cast<std::uint8_t>(t >> 8));
    }
  }
  return f;
}

struct Device : ssDisplayS16 {
  std::vector<std::uint16_t> pixels;
  Device(int w, int h, int rotate) {
    m_Width = m_RenderWidth = w;
    m_Height = m_RenderHeight = h;
    m_Rotate = rotate;
    m_Depth = 16;
    m_RenderPitch = w * 2;
    m_RenderBits = 16;
    pixels.assign(static_cast<std::size_t>(w) * h, 0x0841);
    m_RenderBuffer = pixels.data();
    m_ClipStack[0] = ssRect{0, 0, w, h};
    auto archive = std::make_unique<ssMemoryArchive>();
    archive->AddFile(L"\\UI\\pic.raw", RawPicture());
    archive->SetBaseFolder(L"\\", 0);
    SetArchive(std::move(archive));
  }
  ~Device() override { m_RenderBuffer = nullptr; }
  std::uint16_t Logical(int x, int y) const {
    int bx = x, by = y;
    if (m_Rotate == 1) bx = y, by = m_Height - 1 - x;
    if (m_Rotate == 2) bx = m_Width - 1 - x, by = m_Height - 1 - y;
    if (m_Rotate == 3) bx = m_Width - 1 - y, by = x;
    return pixels[static_cast<std::size_t>(by) * m_Width + bx];
  }
};

TEST(Sprite, BlitsTheSamePixelsInEveryRotation) {
  const int lw = 12, lh = 8;
  for (int rotate = 0; rotate < 4; ++rotate) {
    Device d(rotate & 1 ? lh : lw, rotate & 1 ? lw : lh, rotate);
    ssSprite sprite;
    ASSERT_TRUE(sprite.Load(&d, L"pic.raw", L"UI", nullptr, false)) << rotate;
    sprite.AddRect(ssRect{1, 1, 5, 3});  // 4 columns, 2 rows
    sprite.AddRect(ssRect{0, 0, 6, 4});
    sprite.Blit(0, 2, 3);
    // Clipped by the clip rectangle; past the screen's edge nothing is written.
    d.PushClipRect(ssRect{0, 0, 11, 8});
    sprite.Blit(1, 8, 6);
    d.PopClipRect();
    sprite.Blit(7, 0, 0);  // no such rectangle
    sprite.Blit(-1, 0, 0);
    for (int y = 0; y < lh; ++y) {
      for (int x = 0; x < lw; ++x) {
        std::uint16_t want = 0x0841;
        if (x >= 2 && x < 6 && y >= 3 && y < 5 && Texel(x - 2 + 1, y - 3 + 1) != 0) want = Texel(x - 1, y - 2);
        if (x >= 8 && x < 11 && y >= 6 && Texel(x - 8, y - 6) != 0) want = Texel(x - 8, y - 6);
        EXPECT_EQ(d.Logical(x, y), want) << "rotation " << rotate << " at " << x << "," << y;
      }
    }
    sprite.Release();
    EXPECT_EQ(d.TextureCount(), 0);
  }
}

TEST(TextureCache, SharesByNameIgnoringCaseAndRefusesBadImages) {
  Device d(8, 8, 0);
  auto archive = std::make_unique<ssMemoryArchive>();
  archive->AddFile(L"\\UI\\pic.raw", RawPicture());
  archive->AddFile(L"\\UI\\junk.tga", std::vector<std::uint8_t>(40, 0x33));
  archive->SetBaseFolder(L"\\", 0);
  d.SetArchive(std::move(archive));
  ssImage* a = d.GetTexture(L"pic.raw", L"UI", nullptr, 0, false, false);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(d.GetTexture(L"PIC.RAW", L"ui", nullptr, 0, true, false), a);
  EXPECT_EQ(a->References(), 2u);
  EXPECT_EQ(a->Format(), kPixelDisplay);
  // An image that opens but does not decode is not cached.
  EXPECT_EQ(d.GetTexture(L"junk.tga", L"UI", nullptr, 0, false, false), nullptr);
  EXPECT_EQ(d.m_LastTextureStatus, kImageBadData);
  EXPECT_EQ(d.GetTexture(L"none.tga", L"UI", nullptr, 0, false, false), nullptr);
  EXPECT_EQ(d.m_LastTextureStatus, 0x80000005u);
  EXPECT_EQ(d.TextureCount(), 1);
  d.ReleaseTexture(a);
  EXPECT_EQ(d.TextureCount(), 1);
  d.ReleaseTexture(a);
  EXPECT_EQ(d.TextureCount(), 0);
}

TEST(TextureCache, RescaleSwapsDesignSidesOnTurnedScreens) {
  Device d(12, 24, 1);  // a 24 x 12 logical screen, turned
  d.m_DesignWidth = 12;
  d.m_DesignHeight = 6;
  d.m_XScale = d.m_YScale = 2.0f;
  ssImage* a = d.GetTexture(L"pic.raw", L"UI", nullptr, 0, true, true);
  ASSERT_NE(a, nullptr);
  // 6 x 4 turned is 4 x 6, then doubled.
  EXPECT_EQ(a->Width(), 8);
  EXPECT_EQ(a->Height(), 12);
}

TEST(Sprite, MissingTextureDrawsNothing) {
  Device d(8, 8, 0);
  ssSprite sprite;
  EXPECT_FALSE(sprite.Load(&d, L"none.raw", L"UI", nullptr, false));
  sprite.AddRect(ssRect{0, 0, 2, 2});
  sprite.Blit(0, 0, 0);
  for (std::uint16_t p : d.pixels) EXPECT_EQ(p, 0x0841);
}

}  // namespace
