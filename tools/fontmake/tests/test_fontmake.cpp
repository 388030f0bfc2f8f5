// Fonts rendered by the writer load in the game's font reader and draw.
#include <gtest/gtest.h>

#include <vector>

#include "display/display.h"
#include "display/font.h"
#include "engine/testing/memory_file.h"
#include "font_writer.h"

namespace {

std::vector<std::uint8_t> Make(bool old, int pixels) {
  fontmake::Options o;
  o.facePath = std::string(KS_DEJAVU_DIR) + "/DejaVuSansCondensed.ttf";
  o.name = "Small Fonts7";
  o.pixels = pixels;
  o.oldVersion = old;
  std::string error;
  std::vector<std::uint8_t> bytes = fontmake::Render(o, error);
  EXPECT_FALSE(bytes.empty()) << error;
  return bytes;
}

TEST(Fontmake, BothVersionsLoadWithTheSameMetrics) {
  for (bool old : {false, true}) {
    ssMemoryFile file(Make(old, 8), 0, false);
    ssFont font;
    ASSERT_EQ(font.Load(&file, 1.0f, 1.0f), 0) << old;
    EXPECT_STREQ(font.Name(), "Small Fonts7");
    EXPECT_GE(font.Height(), 8);
    EXPECT_LE(font.Height(), 12);
    EXPECT_GT(font.GlyphWidth(L'W'), font.GlyphWidth(L'i'));
    EXPECT_GT(font.GetStringWidth(L"Play"), 10);
  }
}

TEST(Fontmake, RenderedTextHasInk) {
  struct Target : ssDisplay {
    std::vector<std::uint16_t> pixels = std::vector<std::uint16_t>(64 * 16, 0);
    Target() {
      m_RenderWidth = 64;
      m_RenderHeight = 16;
      m_RenderPitch = 128;
      m_RenderBits = 16;
      m_RenderBuffer = pixels.data();
      m_ClipStack[0] = ssRect{0, 0, 64, 16};
    }
  } t;
  ssMemoryFile file(Make(false, 10), 0, false);
  ssScaledFont font(&t);
  ASSERT_EQ(font.Load(&file, 1.0f, 1.0f), 0);
  font.DrawString(0, 0, 0xFFFF, 0, L"Hi", false, nullptr, false);
  int inked = 0, outside = 0;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 64; ++x) {
      const bool lit = t.pixels[static_cast<std::size_t>(y) * 64 + x] > 0x4000;
      inked += lit;
      outside += lit && x >= font.GetStringWidth(L"Hi");
    }
  }
  EXPECT_GT(inked, 10);  // the stems of H and i
  EXPECT_EQ(outside, 0);
}

TEST(Fontmake, RefusesBadRequests) {
  fontmake::Options o;
  o.facePath = "/nonexistent.ttf";
  o.name = "X";
  std::string error;
  EXPECT_TRUE(fontmake::Render(o, error).empty());
  o.facePath = std::string(KS_DEJAVU_DIR) + "/DejaVuSans.ttf";
  o.name = "";
  EXPECT_TRUE(fontmake::Render(o, error).empty());
}

}  // namespace
