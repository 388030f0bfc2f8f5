#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "display/font.h"
#include "engine/testing/memory_file.h"

namespace {

struct GlyphSpec {
  wchar_t c;
  std::uint16_t column, width;
};

// A version 257 font file: glyphs from `glyphs`, the strip from `strip`.
std::vector<std::uint8_t> FontFile(const std::string& name, int height, int stripWidth,
                                   const std::vector<GlyphSpec>& glyphs, const std::vector<std::uint8_t>& strip,
                                   int glyphCount = 128) {
  std::vector<std::uint8_t> f(kFontHeaderSize, 0);
  auto put16 = [&](std::size_t at, int v) {
    f[at] = static_cast<std::uint8_t>(v);
    f[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  put16(0, 257);
  std::memcpy(f.data() + 4, name.data(), name.size());
  put16(132, glyphCount);
  put16(136, height);
  put16(138, stripWidth);
  for (const GlyphSpec& g : glyphs) {
    put16(142 + (g.c - 32) * 4, g.column);
    put16(144 + (g.c - 32) * 4, g.width);
  }
  f.insert(f.end(), strip.begin(), strip.end());
  return f;
}

// 'A' two columns wide at 0, 'B' one column at 2; three rows.
std::vector<std::uint8_t> SmallFont(int height = 3) {
  std::vector<std::uint8_t> strip(3 * static_cast<std::size_t>(height), 0);
  for (int r = 0; r < height; ++r) {
    strip[r * 3 + 0] = 255;
    strip[r * 3 + 1] = 7;  // below 8: no coverage
    strip[r * 3 + 2] = 128;
  }
  return FontFile("Test", height, 3, {{L'A', 0, 2}, {L'B', 2, 1}}, strip);
}

int LoadInto(ssFont& font, std::vector<std::uint8_t> bytes, float xs = 1.0f, float ys = 1.0f) {
  ssMemoryFile file(std::move(bytes), 0, false);
  return font.Load(&file, xs, ys);
}

TEST(FontLoad, CurrentVersionMetrics) {
  ssFont font;
  ASSERT_EQ(LoadInto(font, SmallFont(12)), 0);
  EXPECT_STREQ(font.Name(), "Test");
  EXPECT_EQ(font.Height(), 12);
  EXPECT_EQ(font.m_Spacing, 1);
  EXPECT_EQ(font.m_SpaceWidth, 4);
  EXPECT_EQ(font.GetStringWidth(L"AB A"), (1 + 2) + (1 + 1) + (1 + 4) + (1 + 2));
  ssFont eight;
  ASSERT_EQ(LoadInto(eight, SmallFont(8)), 0);
  EXPECT_EQ(eight.m_Spacing, 1);  // height / 12 is 0, raised to 1
}

TEST(FontLoad, OldVersionMovesFieldsAndClearsTableTail) {
  std::vector<std::uint8_t> f(kFontHeaderSizeOld, 0);
  std::memcpy(f.data(), "Old", 3);
  f[128] = 200;  // glyph count
  f[132] = 2;    // height
  f[134] = 4;    // strip width
  // Entry of character 33: column 1, width 3; the last half entry (127)
  // carries only its column.
  f[138 + 4] = 1;
  f[138 + 6] = 3;
  f[138 + 127 * 4] = 1;
  f.insert(f.end(), 8, 200);
  ssFont font;
  ASSERT_EQ(LoadInto(font, f), 0);
  EXPECT_EQ(font.Header().version, 256u);
  EXPECT_STREQ(font.Name(), "Old");
  EXPECT_EQ(font.Height(), 2);
  EXPECT_EQ(font.Header().stripWidth, 4);
  EXPECT_EQ(font.GlyphWidth(L'!'), 3);
  EXPECT_EQ(font.Header().glyphs[127].column, 1);
  EXPECT_EQ(font.Header().glyphs[127].width, 0);
  for (int i = 128; i < kFontGlyphs; ++i) EXPECT_EQ(font.Header().glyphs[i].width, 0);
}

TEST(FontLoad, RefusesBadFiles) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Case> cases;
  std::vector<std::uint8_t> f = SmallFont();
  cases.push_back({"empty", {}});
  cases.push_back({"short header", std::vector<std::uint8_t>(f.begin(), f.begin() + 600)});
  cases.push_back({"short strip", std::vector<std::uint8_t>(f.begin(), f.end() - 1)});
  f = SmallFont();
  std::memset(f.data() + 4, 'x', kFontNameBytes);
  cases.push_back({"name without end", f});
  cases.push_back({"glyph past strip", FontFile("T", 1, 3, {{L'A', 2, 2}}, {1, 2, 3})});
  cases.push_back({"count over 256", FontFile("T", 1, 1, {}, {0}, 300)});
  for (const Case& c : cases) {
    ssFont font;
    EXPECT_EQ(LoadInto(font, c.bytes), -1) << c.what;
    EXPECT_FALSE(font.Loaded()) << c.what;
    EXPECT_EQ(font.GetStringWidth(L"AB"), 0) << c.what;
  }
  ssFont font;
  EXPECT_EQ(font.Load(nullptr, 1.0f, 1.0f), -1);
  // A glyph past the count is not in use, wherever it points.
  EXPECT_EQ(LoadInto(font, FontFile("T", 1, 3, {{L'A', 9, 9}}, {1, 2, 3}, 1)), 0);
  EXPECT_EQ(font.GlyphWidth(L'A'), 0);
}

// Every truncation and many corrupted copies of a good file either load
// whole or are refused; what loads draws inside the target (the sanitizer
// build watches the memory).
TEST(FontLoad, CorruptFilesNeverReachOutsideTheirData) {
  std::vector<std::uint8_t> good =
      FontFile("Mut", 5, 12, {{L'A', 0, 4}, {L'B', 4, 5}, {L'C', 9, 3}}, std::vector<std::uint8_t>(60, 200));
  struct Pixels : ssDisplay {
    std::vector<std::uint16_t> pixels = std::vector<std::uint16_t>(16 * 8, 0);
    Pixels() {
      m_RenderWidth = 16;
      m_RenderHeight = 8;
      m_RenderPitch = 32;
      m_RenderBits = 16;
      m_RenderBuffer = pixels.data();
      m_ClipStack[0] = ssRect{0, 0, 16, 8};
    }
  } target;
  auto exercise = [&](std::vector<std::uint8_t> bytes, float scale) {
    ssScaledFont font(&target);
    if (LoadInto(font, std::move(bytes), scale, scale) != 0) return false;
    font.DrawString(-3, -2, 0xFFFF, 0x1234, L"ABC A\x7F~", true, nullptr, false);
    font.DrawStringRotated(20, 3, 0xFFFF, 0x1234, L"CBA", true, nullptr, true);
    EXPECT_GE(font.GetStringWidth(L"ABC"), 0);
    return true;
  };
  for (std::size_t n = 0; n < good.size(); ++n) {
    EXPECT_FALSE(exercise(std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)), 1.0f))
        << n;
  }
  EXPECT_TRUE(exercise(good, 1.0f));
  std::uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  int loaded = 0;
  for (int i = 0; i < 2000; ++i) {
    std::vector<std::uint8_t> bytes = good;
    for (int k = 0; k < 3; ++k) {
      // Mostly the header words and the glyph table, where the sizes live.
      const std::size_t at = (next() >> 8) % (i % 2 ? 150 : bytes.size());
      bytes[at] = static_cast<std::uint8_t>(next() >> 24);
    }
    loaded += exercise(bytes, i % 3 == 0 ? 1.7f : 1.0f);
  }
  EXPECT_GT(loaded, 0);
}

TEST(FontLoad, MeasuresOnlyDrawableCharacters) {
  ssFont font;
  ASSERT_EQ(LoadInto(font, SmallFont(12)), 0);
  EXPECT_EQ(font.GetStringWidth(L"A\x00A0\x0100\x4E00\x1F"), 3);
}

TEST(ScaledFont, UnitScaleKeepsBitmapAndDropsSpacing) {
  ssScaledFont font;
  const std::vector<std::uint8_t> bytes = SmallFont(12);
  ASSERT_EQ(LoadInto(font, bytes), 0);
  EXPECT_EQ(font.m_Spacing, 0);
  EXPECT_EQ(font.m_SpaceWidth, 4);
  EXPECT_EQ(0, std::memcmp(font.Strip(), bytes.data() + kFontHeaderSize, 36));
}

TEST(ScaledFont, CarriesDroppedFractionsOfWidths) {
  std::vector<std::uint8_t> strip(9, 255);
  ssScaledFont font;
  ASSERT_EQ(LoadInto(font, FontFile("S", 1, 9, {{L'A', 0, 3}, {L'B', 3, 3}, {L'C', 6, 3}}, strip), 1.5f, 2.0f), 0);
  EXPECT_EQ(font.GlyphWidth(L'A'), 4);
  EXPECT_EQ(font.GlyphWidth(L'B'), 4);
  EXPECT_EQ(font.GlyphWidth(L'C'), 5);
  EXPECT_EQ(font.Header().glyphs['B' - 32].column, 4);
  EXPECT_EQ(font.Header().stripWidth, 13);
  EXPECT_EQ(font.Height(), 2);  // trunc(1 × 2 + 0.5)
  // The first sample is the solid pixel itself; the second row samples
  // half way to the row below the last, which counts as 0.
  EXPECT_EQ(font.Strip()[0], 255);
  EXPECT_EQ(font.Strip()[13], 127);
}

TEST(ScaledFont, RefusesUnusableScale) {
  for (float s : {0.0f, -1.0f, 1e9f}) {
    ssScaledFont font;
    EXPECT_EQ(LoadInto(font, SmallFont(), s, 1.0f), -1) << s;
  }
}

TEST(ScaledFont, CoverageBlendReferenceValues) {
  EXPECT_EQ(ssScaledFont::Blend565(0xFFFF, 0x0000, 255), 0x0020);
  EXPECT_EQ(ssScaledFont::Blend565(0x0000, 0xFFFF, 255), 0xF7BE);
  EXPECT_EQ(ssScaledFont::Blend565(0x1234, 0xFFFF, 16 << 3), 0x8519);
  EXPECT_EQ(ssScaledFont::Blend565(0x1234, 0xFFFF, 7), 0x1234);
  // RGB444 in nibbles: weight (a >> 1) of 16.
  EXPECT_EQ(ssScaledFont::Blend444(0x0000, 0x0FFF, 255), 0x0EEE);
  EXPECT_EQ(ssScaledFont::Blend444(0x0FFF, 0x0000, 255), 0x0000);  // 15 - 225/16, floored
}

// A device with only a render target: 8 x 6 pixels.
struct Target : ssDisplay {
  std::vector<std::uint16_t> pixels = std::vector<std::uint16_t>(8 * 6, 0x1111);
  Target() {
    m_Width = m_RenderWidth = 8;
    m_Height = m_RenderHeight = 6;
    m_RenderPitch = 16;
    m_RenderBits = 16;
    m_RenderBuffer = pixels.data();
    m_ClipStack[0] = ssRect{0, 0, 8, 6};
  }
  std::uint16_t At(int x, int y) const { return pixels[y * 8 + x]; }
};

TEST(ScaledFontDraw, ForwardOpaqueAndTransparent) {
  Target t;
  ssScaledFont font(&t);
  ASSERT_EQ(LoadInto(font, SmallFont(3)), 0);
  font.DrawString(1, 1, 0xDF00FFFF, 0xFF000000 | 0x2222, L"AB", false, nullptr, false);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) {
      std::uint16_t want = 0x1111;
      if (y >= 1 && y < 4 && x == 1) want = ssScaledFont::Blend565(0x1111, 0xFFFF, 255);
      if (y >= 1 && y < 4 && x == 3) want = ssScaledFont::Blend565(0x1111, 0xFFFF, 128);
      EXPECT_EQ(t.At(x, y), want) << x << "," << y;
    }
  }
  Target o;
  ssScaledFont opaque(&o);
  ASSERT_EQ(LoadInto(opaque, SmallFont(3)), 0);
  opaque.m_Spacing = 1;
  opaque.DrawString(0, 0, 0xFFFF, 0x2222,
                    L"A\x01"
                    L"A",
                    true, nullptr, false);
  // A: full, background (coverage 7), spacing background; then A again at 3.
  const std::uint16_t full = ssScaledFont::Blend565(0x1111, 0xFFFF, 255);
  const std::uint16_t row[8] = {full, 0x2222, 0x2222, full, 0x2222, 0x2222, 0x1111, 0x1111};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(o.At(x, 2), row[x]) << x;
  EXPECT_EQ(o.At(0, 3), 0x1111);
}

TEST(ScaledFontDraw, ClipBoundsForwardAndReverse) {
  // Forward: [left, right); reverse: (left, right].
  Target t;
  ssScaledFont font(&t);
  ASSERT_EQ(LoadInto(font, SmallFont(3)), 0);
  const ssRect clip{2, 0, 4, 2};
  font.DrawString(1, 0, 0xFFFF, 0, L"AAA", true, &clip, false);
  for (int x = 0; x < 8; ++x) {
    const bool inside = x >= 2 && x < 4;
    EXPECT_EQ(t.At(x, 0) != 0x1111, inside) << x;
    EXPECT_EQ(t.At(x, 2), 0x1111) << x;
  }
  Target r;
  ssScaledFont rev(&r);
  ASSERT_EQ(LoadInto(rev, SmallFont(3)), 0);
  rev.DrawString(6, 5, 0xFFFF, 0, L"AAA", true, &clip, true);
  for (int x = 0; x < 8; ++x) {
    for (int y = 0; y < 6; ++y) {
      const bool inside = x > 2 && x <= 4 && y > 0 && y <= 2 && y >= 3;  // rows 5..3 drawn, clip stops at 2
      EXPECT_EQ(r.At(x, y) != 0x1111, inside) << x << "," << y;
    }
  }
}

TEST(ScaledFontDraw, RotatedRunsGlyphRowsAlongX) {
  Target t;
  ssScaledFont font(&t);
  ASSERT_EQ(LoadInto(font, SmallFont(3)), 0);
  // Forward: rows go right from x, the pen goes up from y.
  font.DrawStringRotated(2, 4, 0xFFFF, 0x2222, L"B", true, nullptr, false);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool inside = y == 4 && x >= 2 && x < 5;
      EXPECT_EQ(t.At(x, y) != 0x1111, inside) << x << "," << y;
    }
  }
  Target r;
  ssScaledFont rev(&r);
  ASSERT_EQ(LoadInto(rev, SmallFont(3)), 0);
  rev.DrawStringRotated(5, 1, 0xFFFF, 0x2222, L"A", false, nullptr, true);
  // Reverse: rows go left from x, the pen goes down from y; A's first
  // column is solid, its second below the coverage threshold.
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool inside = y == 1 && x <= 5 && x > 2;
      EXPECT_EQ(r.At(x, y) != 0x1111, inside) << x << "," << y;
    }
  }
}

TEST(ScaledFontDraw, DepthTwelveBlendsInRgb444AndSkipsOtherTargets) {
  Target t;
  ssScaledFont font(&t);
  font.m_Depth = 12;
  ASSERT_EQ(LoadInto(font, SmallFont(3)), 0);
  font.DrawString(0, 0, 0x0FFF, 0, L"A", false, nullptr, false);
  EXPECT_EQ(t.At(0, 0), ssScaledFont::Blend444(0x1111, 0x0FFF, 255));
  t.m_RenderBits = 8;
  font.DrawString(0, 3, 0x0FFF, 0, L"A", false, nullptr, false);
  EXPECT_EQ(t.At(0, 3), 0x1111);
}

}  // namespace
