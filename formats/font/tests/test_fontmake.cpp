// Fonts rendered by the writer load in the game's font reader and draw.
#include <gtest/gtest.h>

#include <vector>

#include "display/display.h"
#include "display/font.h"
#include "engine/testing/memory_file.h"
#include "font_writer.h"

namespace {

std::vector<std::uint8_t> Make(bool old, int pixels, bool mono = false) {
  fontmake::Options o;
  o.facePath = std::string(KS_DEJAVU_DIR) + "/DejaVuSansCondensed.ttf";
  o.name = "Small Fonts7";
  o.pixels = pixels;
  o.oldVersion = old;
  o.mono = mono;
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

// A 16-bit render target of the given size, black.
struct Target : ssDisplay {
  std::vector<std::uint16_t> pixels;
  Target(int width, int height) : pixels(static_cast<std::size_t>(width) * height, 0) {
    m_RenderWidth = width;
    m_RenderHeight = height;
    m_RenderPitch = width * 2;
    m_RenderBits = 16;
    m_RenderBuffer = pixels.data();
    m_ClipStack[0] = ssRect{0, 0, width, height};
  }
  bool Lit(int x, int y) const { return pixels[static_cast<std::size_t>(y) * m_RenderWidth + x] != 0; }
};

TEST(Fontmake, RenderedTextHasInk) {
  Target t(64, 16);
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

// The two smallest game fonts, as the build makes them: menu texts drawn
// white on black show each letter as an island of columns of its own, with
// a blank column before the next (letters that run together merge
// islands; a lost dot or stroke loses one), and in full white only (grey
// edges blur at these sizes).
TEST(Fontmake, SmallFontsKeepLettersApart) {
  const wchar_t* const kTexts[] = {
      L"Small Fonts", L"turn",      L"Career Play", L"Quick Play",          L"Settings",
      L"About",       L"Help",      L"Quit",        L"Leave Room",          L"Rack Em",
      L"Difficulty",  L"Game Type", L"Nickname",    L"Your Rank: D (1305)", L"Cancel",
      L"Done",        L"Back",      L"Enter",       L"Spot (11)",           L"Wallet: $ 1,234,000"};
  for (int pixels : {7, 8}) {
    ssMemoryFile file(Make(false, pixels, true), 0, false);
    ssScaledFont font;
    ASSERT_EQ(font.Load(&file, 1.0f, 1.0f), 0);
    for (std::size_t i = 0; i < std::size_t{font.Header().stripWidth} * font.Height(); ++i) {
      ASSERT_TRUE(font.Strip()[i] == 0 || font.Strip()[i] == 255) << pixels << " px: grey at strip byte " << i;
    }
    for (const wchar_t* text : kTexts) {
      const int width = font.GetStringWidth(text);
      Target t(width + 2, font.Height());
      font.m_Device = &t;
      font.DrawString(1, 0, 0xFFFF, 0, text, false, nullptr, false);
      int islands = 0;
      bool previousLit = false;
      for (int x = 0; x < width + 2; ++x) {
        bool lit = false;
        for (int y = 0; y < font.Height(); ++y) lit = lit || t.Lit(x, y);
        islands += lit && !previousLit;
        previousLit = lit;
      }
      int letters = 0;
      for (const wchar_t* c = text; *c != 0; ++c) letters += *c != L' ';
      EXPECT_EQ(islands, letters) << pixels << " px: " << testing::PrintToString(std::wstring(text));
    }
  }
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
