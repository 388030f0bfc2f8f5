// The device's caches, text and image drawing, checked against references
// computed here: a logical picture drawn at rotation 0 must appear turned
// in the buffer at rotations 1 to 3.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "display/display_s16.h"
#include "display/font.h"
#include "engine/image.h"
#include "engine/testing/memory_file.h"

namespace {

std::vector<std::uint8_t> FontBytes(const char* name, int height) {
  // Glyphs 'A' (3 wide) and 'B' (2 wide) with graded coverage.
  const int stripWidth = 5;
  std::vector<std::uint8_t> f(kFontHeaderSize, 0);
  f[0] = 1;
  f[1] = 1;  // 257
  std::memcpy(f.data() + 4, name, std::strlen(name));
  f[132] = 128;
  f[136] = static_cast<std::uint8_t>(height);
  f[138] = stripWidth;
  f[142 + 33 * 4 + 2] = 3;  // 'A' at column 0
  f[142 + 34 * 4] = 3;      // 'B' at column 3
  f[142 + 34 * 4 + 2] = 2;
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < stripWidth; ++c) f.push_back(static_cast<std::uint8_t>((r * 37 + c * 91) & 0xFF));
  }
  return f;
}

// A 16-bit device over a buffer of its own, for drawing without a screen.
struct Device : ssDisplayS16 {
  std::vector<std::uint16_t> pixels;
  Device(int w, int h, int rotate, int depth = 16) {
    m_Width = m_RenderWidth = w;
    m_Height = m_RenderHeight = h;
    m_Rotate = rotate;
    m_Depth = depth;
    m_VWidth = rotate & 1 ? h : w;
    m_VHeight = rotate & 1 ? w : h;
    m_RenderPitch = w * 2;
    m_RenderBits = 16;
    pixels.assign(static_cast<std::size_t>(w) * h, 0x0841);
    m_RenderBuffer = pixels.data();
    m_ClipStack[0] = ssRect{0, 0, w, h};
    auto archive = std::make_unique<ssMemoryArchive>();
    archive->AddFile(L"\\Fonts\\Face9.fnt", FontBytes("Face9", 9));
    archive->AddFile(L"\\Fonts\\Small Fonts6.fnt", FontBytes("Small Fonts6", 6));
    archive->AddFile(L"\\Fonts\\Small Fonts7.fnt", FontBytes("Small Fonts7", 7));
    archive->SetBaseFolder(L"\\", 0);
    SetArchive(std::move(archive));
  }
  ~Device() override { m_RenderBuffer = nullptr; }
  std::uint16_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * m_Width + x]; }
  // The buffer pixel showing logical pixel (x, y).
  std::uint16_t Logical(int x, int y) const {
    switch (m_Rotate) {
      case 1:
        return At(y, m_Height - 1 - x);
      case 2:
        return At(m_Width - 1 - x, m_Height - 1 - y);
      case 3:
        return At(m_Width - 1 - y, x);
      default:
        return At(x, y);
    }
  }
};

TEST(FontCache, SharesReleasesAndFallsBack) {
  Device d(16, 16, 0);
  ssFont* a = d.GetFont(L"face9", L"Fonts", nullptr);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(d.GetFont(L"FACE9", L"Fonts", nullptr), a);
  EXPECT_EQ(a->m_References, 2u);
  EXPECT_NE(dynamic_cast<ssScaledFont*>(a), nullptr);
  // A font that cannot be loaded gives the first cached one.
  EXPECT_EQ(d.GetFont(L"Missing", L"Fonts", nullptr), a);
  EXPECT_EQ(a->m_References, 3u);
  ssFont* b = d.GetFont(L"Small Fonts6", L"Fonts", nullptr);
  ASSERT_NE(b, nullptr);
  for (int i = 0; i < 3; ++i) d.ReleaseFont(a);
  EXPECT_EQ(d.FontCount(), 1);
  EXPECT_EQ(d.GetDefaultFont(), b);
}

TEST(FontCache, SmallSquareScreenSubstitutesUnscaled) {
  Device d(240, 240, 0);
  d.m_DesignWidth = 320;
  d.m_XScale = d.m_YScale = 0.75f;
  ssFont* f = d.GetFont(L"Tahoma8", L"Fonts", nullptr);
  ASSERT_NE(f, nullptr);
  EXPECT_STREQ(f->Name(), "Small Fonts7");
  EXPECT_EQ(f->Height(), 7);  // scale 1.0
  EXPECT_EQ(d.GetFont(L"Small Fonts7", L"Fonts", nullptr)->Name(), std::string("Small Fonts6"));
  ssFont* other = d.GetFont(L"Face9", L"Fonts", nullptr);
  EXPECT_EQ(other->Height(), 7);  // trunc(9 × 0.75 + 0.5)
}

TEST(Text, MeasureLinesBackspaceAndWrap) {
  Device d(64, 64, 0);
  ssFont* f = d.GetFont(L"Face9", L"Fonts", nullptr);
  ASSERT_NE(f, nullptr);
  f->m_Spacing = 1;  // visible in the sums
  int w = 0, h = 0;
  d.MeasureText(f, L"A\nBA", &w, &h, false);
  EXPECT_EQ(w, (1 + 2) + (1 + 3));
  EXPECT_EQ(h, 9);
  d.MeasureText(f, L"\x08 \x00E9", &w, &h, false);
  EXPECT_EQ(w, 4 * 3 + 3);  // é has no glyph the drawers draw
  w = 5;
  d.MeasureText(f, L"AAA", &w, &h, true);
  EXPECT_EQ(w, 4);   // the second A passes 5 and starts over; the third is 4
  EXPECT_EQ(h, 18);  // one wrap and the last line
  d.MeasureTextFrac(f, L"AB", &w, &h);
  EXPECT_EQ(w, (7 << 16) / 64);
}

// The text picture at rotation 0, then the same call at rotations 1-3.
TEST(Text, EveryRotationShowsTheSamePicture) {
  const int lw = 24, lh = 14;
  for (int depth : {16, 12}) {
    Device base(lw, lh, 0, depth);
    ssFont* bf = base.GetFont(L"Face9", L"Fonts", nullptr);
    const ssRect clip{2, 1, 20, 12};
    base.DrawText(bf, 3, 2, L"AB BA", -1, 0xFFFF, 0x1234, 0x0F0F, true, true, false, 0, &clip, false, false);
    // A second string bounded by the clip stack instead of an argument.
    const ssRect pushed{0, 12, 11, 14};
    auto second = [&](Device& dev, ssFont* font) {
      dev.PushClipRect(pushed);
      dev.DrawText(font, 9, 11, L"BAB", -1, 0x7BEF, 0x1234, 0, true, false, false, 0, nullptr, false, false);
      dev.PopClipRect();
    };
    int changed = 0;
    for (int y = 0; y < lh; ++y) {
      for (int x = 0; x < lw; ++x) {
        const bool inside = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
        if (!inside) {
          EXPECT_EQ(base.At(x, y), 0x0841) << x << "," << y;
        }
        changed += base.At(x, y) != 0x0841;
      }
    }
    EXPECT_GT(changed, 40);
    second(base, bf);
    EXPECT_EQ(base.At(8, 12), 0x0841);
    EXPECT_NE(base.At(9, 12), 0x0841);
    EXPECT_NE(base.At(10, 13), 0x0841);
    EXPECT_EQ(base.At(11, 12), 0x0841);
    for (int rotate = 1; rotate < 4; ++rotate) {
      Device d(rotate & 1 ? lh : lw, rotate & 1 ? lw : lh, rotate, depth);
      ssFont* f = d.GetFont(L"Face9", L"Fonts", nullptr);
      d.DrawText(f, 3, 2, L"AB BA", -1, 0xFFFF, 0x1234, 0x0F0F, true, true, false, 0, &clip, false, false);
      second(d, f);
      for (int y = 0; y < lh; ++y) {
        for (int x = 0; x < lw; ++x) {
          ASSERT_EQ(d.Logical(x, y), base.At(x, y)) << "rotation " << rotate << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST(Text, SkipDrawsNothingAndFracPositions) {
  Device d(32, 16, 0);
  ssFont* f = d.GetFont(L"Face9", L"Fonts", nullptr);
  d.DrawTextFrac(f, 0x8000, 0, L"A", -1, 0xFFFF, 0, 0, true, false, true, 0, nullptr, false, false);
  for (std::uint16_t p : d.pixels) EXPECT_EQ(p, 0x0841);
  d.DrawTextFrac(f, 0x8000, 0x1000, L"A", -1, 0xFFFF, 0, 0, true, false, false, 0, nullptr, false, false);
  EXPECT_EQ(d.At(15, 1), 0x0841);
  EXPECT_NE(d.At(16, 1), 0x0841);
}

TEST(Text, BoxLayoutBreaksAndCentresLines) {
  Device d(40, 40, 0);
  ssFont* f = d.GetFont(L"Face9", L"Fonts", nullptr);
  // Space width 3, spacing 0: "AA" is 6 wide; a box 14 wide holds one "AA".
  const ssRect box{0, 0, 14, 40};
  d.DrawText(f, 0, 0, L"AA AA", -1, 0xFFFF, 0x1234, 0, true, false, false, 0, &box, true, true);
  // Each line: width 6 + 3, offset (14 - 9) / 2 = 2.
  auto opaqueRow = [&](int y) {
    int first = -1, last = -1;
    for (int x = 0; x < 40; ++x) {
      if (d.At(x, y) != 0x0841) {
        if (first < 0) first = x;
        last = x;
      }
    }
    return std::pair<int, int>(first, last);
  };
  EXPECT_EQ(opaqueRow(0), std::make_pair(2, 7));
  EXPECT_EQ(opaqueRow(9), std::make_pair(2, 7));
  EXPECT_EQ(opaqueRow(18), std::make_pair(-1, -1));
}

// Images.

struct Picture {
  std::vector<std::uint8_t> bytes;
  ssImage image;
  // A logical w x h picture stored turned for the rotation; 4 bytes a pixel
  // for 32-bit pictures.
  Picture(int w, int h, int rotate, int bytesPerPixel, std::uint32_t (*pixel)(int, int)) {
    const int sw = rotate & 1 ? h : w, sh = rotate & 1 ? w : h;
    bytes.assign(static_cast<std::size_t>(sw) * sh * bytesPerPixel, 0);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        int tx = x, ty = y;
        if (rotate == 1) tx = y, ty = sh - 1 - x;
        if (rotate == 2) tx = sw - 1 - x, ty = sh - 1 - y;
        if (rotate == 3) tx = sw - 1 - y, ty = x;
        const std::uint32_t v = pixel(x, y);
        std::memcpy(bytes.data() + (static_cast<std::size_t>(ty) * sw + tx) * bytesPerPixel, &v, bytesPerPixel);
      }
    }
    image.SetBorrowedPixels(bytes.data(), bytesPerPixel == 2 ? kPixelDisplay : kPixelARGB32,
                            static_cast<std::uint16_t>(sw), static_cast<std::uint16_t>(sh),
                            static_cast<std::uint32_t>(bytes.size()));
  }
};

std::uint32_t Keyed(int x, int y) { return (x + y) % 3 == 0 ? 0 : static_cast<std::uint32_t>(0x100 * y + x + 1); }

TEST(Image, OneToOneWithKeyClippedInEveryRotation) {
  const int lw = 20, lh = 12;
  for (int rotate = 0; rotate < 4; ++rotate) {
    Device d(rotate & 1 ? lh : lw, rotate & 1 ? lw : lh, rotate);
    Picture pic(6, 5, rotate, 2, Keyed);
    const ssRect clip{0, 0, 18, 11};
    d.PushClipRect(clip);
    // Source (1,1)-(6,5) at (15,8): cut by the clip on the right and bottom.
    const ssRect src{1, 1, 6, 5};
    const ssRect dst{15, 8, 20, 12};
    d.DrawImage(&pic.image, &dst, &src, 1);
    for (int y = 0; y < lh; ++y) {
      for (int x = 0; x < lw; ++x) {
        std::uint16_t want = 0x0841;
        if (x >= 15 && x < 18 && y >= 8 && y < 11) {
          const std::uint32_t v = Keyed(x - 15 + 1, y - 8 + 1);
          if (v != 0) want = static_cast<std::uint16_t>(v);
        }
        EXPECT_EQ(d.Logical(x, y), want) << rotate << ": " << x << "," << y;
      }
    }
  }
}

TEST(Image, ArgbBlendsByAlphaAndOffTargetIsCut) {
  Device d(8, 8, 0);
  Picture pic(4, 4, 0, 4, [](int x, int) -> std::uint32_t { return x == 0 ? 0xFFFFFFFFu : 0x80FF0000u; });
  const ssRect dst{6, 6, 10, 10};
  d.DrawImage(&pic.image, &dst, nullptr, 0);
  EXPECT_EQ(d.At(6, 6), ssScaledFont::Blend565(0x0841, 0xFFFF, 255));
  EXPECT_EQ(d.At(7, 7), ssScaledFont::Blend565(0x0841, 0xF800, 0x80));
  const ssRect negative{-2, -2, 2, 2};
  d.DrawImage(&pic.image, &negative, nullptr, 0);
  EXPECT_EQ(d.At(0, 0), ssScaledFont::Blend565(0x0841, 0xF800, 0x80));  // source column 2
}

TEST(Image, StretchTwoByTwoToFourByFour) {
  Device d(8, 8, 0);
  Picture pic(2, 2, 0, 2, [](int x, int y) -> std::uint32_t { return x == 0 && y == 0 ? 0 : 0xFFFF; });
  const ssRect dst{0, 0, 4, 4};
  d.DrawImage(&pic.image, &dst, nullptr, 0);
  // Step 0.5: (0,0) samples the keyed texel, replaced by what lies under it;
  // (1,0) mixes it half with white; the right column repeats the edge.
  EXPECT_EQ(d.At(0, 0), 0x0841);
  const std::uint16_t half = static_cast<std::uint16_t>(((1 + 31) / 2) << 11 | ((2 + 63) / 2) << 5 | (1 + 31) / 2);
  EXPECT_EQ(d.At(1, 0), half);
  EXPECT_EQ(d.At(3, 3), 0xFFFF);
  EXPECT_EQ(d.At(4, 0), 0x0841);
}

}  // namespace
