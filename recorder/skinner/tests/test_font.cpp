#include <gtest/gtest.h>

#include <string>

#include "scoped_setting.h"
#include "skinner/font.h"

namespace {

using skinner::FontDesc;
using skinner::FontRep;
using skinner::Point;

TEST(FontRep, ParsesTheFiveFields) {
  const struct {
    std::wstring text;
    double scale;
    bool ok;
    LONG height;
    LONG weight;
    int italic;
    int underline;
    std::wstring face;
  } cases[] = {
      {L"20 0 1 1 Courier New", 1.0, true, 20, 400, 1, 1, L"Courier New"},
      {L"12 1 0 0 Tahoma", 1.0, true, 12, 700, 0, 0, L"Tahoma"},
      {L"11 0 0 0 Sans", 1.5, true, 16, 400, 0, 0, L"Sans"},
      {L" -12 +3 0 0", 2.0, true, -24, 700, 0, 0, L""},
      {L"10 0 0 0 " + std::wstring(40, L'F'), 1.0, true, 10, 400, 0, 0, std::wstring(31, L'F')},
      {L"20 0 0", 1.0, false, 0, 0, 0, 0, L""},
      {L"20 0 x 0 Sans", 1.0, false, 0, 0, 0, 0, L""},
  };
  for (const auto& c : cases) {
    LOGFONTW lf;
    ASSERT_EQ(FontRep::parse(c.text, c.scale, lf), c.ok) << std::string(c.text.begin(), c.text.end());
    if (!c.ok) {
      EXPECT_EQ(FontRep(c.text, c.scale).get(), nullptr);
      continue;
    }
    EXPECT_EQ(lf.lfHeight, c.height) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(lf.lfWeight, c.weight) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(lf.lfItalic, c.italic) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(lf.lfUnderline, c.underline) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(lf.lfCharSet, 1);
    EXPECT_EQ(std::wstring(lf.lfFaceName), c.face) << std::string(c.text.begin(), c.text.end());
  }
}

TEST(FontDesc, SharesOneFontPerTextAndScale) {
  EXPECT_FALSE(FontDesc::cache_exists());
  {
    FontDesc a;
    a.parse(L"12 0 0 0 Sans");
    FontDesc b;
    b.parse(L"12 0 0 0 Sans");
    EXPECT_EQ(a.get_font(), b.get_font());
    EXPECT_NE(a.get_font()->get(), nullptr);
    FontDesc doubled(2.0);
    doubled.parse(L"12 0 0 0 Sans");
    EXPECT_NE(doubled.get_font(), a.get_font());
    EXPECT_EQ(FontDesc::cache_size(), 2u);
    {
      FontDesc copy = doubled;
      doubled = a;
      EXPECT_EQ(FontDesc::cache_size(), 2u);  // the copy still holds the scale-2 font
    }
    EXPECT_EQ(FontDesc::cache_size(), 1u);
    a.parse(L"14 0 0 0 Sans");
    EXPECT_EQ(FontDesc::cache_size(), 2u);
  }
  EXPECT_FALSE(FontDesc::cache_exists());
}

TEST(FontDesc, MeasuresAndFitsWithTheEllipsis) {
  // The box font: cells as high as the font, advances half of that.
  ce::test::ScopedSetting boxes("DEVICE_FONT_TEST", "fixed");
  FontDesc none;
  EXPECT_EQ(none.measure_text(L"abc"), (Point{0, 0}));
  FontDesc desc;
  desc.parse(L"20 0 0 0 Sans");
  EXPECT_EQ(desc.measure_text(L"abcd"), (Point{40, 20}));
  EXPECT_EQ(desc.measure_text(L"").x, 0);
  EXPECT_EQ(skinner::fit_text(desc, L"abcd", 41), L"abcd");
  EXPECT_EQ(skinner::fit_text(desc, L"abcd", 40), L"ab\u2026");  // exactly as wide: fitted
  EXPECT_EQ(skinner::fit_text(desc, L"abcd", 5), L"\u2026");
  EXPECT_EQ(skinner::fit_text(desc, L"", 0), L"");
}

}  // namespace
