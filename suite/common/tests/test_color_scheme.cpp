#include <gtest/gtest.h>

#include <string>

#include "common/color_scheme.h"
#include "common/iss_utility.h"
#include "common/reg_helper.h"
#include "common/xml_document.h"
#include "suite_test_files.h"

namespace {

using suite::CColorScheme;

const std::wstring kHome = L"\\Storage\\Application Data\\Home\\";
const std::wstring kPrimary = kHome + L"vrn.scheme.xml";
const std::wstring kAlternate = kHome + L"vrn1.scheme.xml";

class ColorScheme : public ::testing::Test {
 protected:
  void SetUp() override {
    suite_test::MakeFolders(L"\\Storage\\Application Data\\Home");
    DeleteFileW(kPrimary.c_str());
    DeleteFileW(kAlternate.c_str());
    HKEY key = nullptr;
    RegDeleteKeyW(HKEY_CURRENT_USER, L"ControlPanel\\Home");
    RegCreateKeyExW(HKEY_CURRENT_USER, L"ControlPanel\\Home", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegCloseKey(key);
  }
  static void SetHomeValue(const wchar_t* name, const std::wstring& text) {
    suite::CRegHelper reg;
    ASSERT_TRUE(reg.WriteString(L"ControlPanel\\Home", name, text.c_str(), static_cast<int>(text.size())));
  }
  static std::wstring HomeValue(const wchar_t* name) {
    suite::CRegHelper reg;
    wchar_t text[256] = {};
    return reg.ReadString(L"ControlPanel\\Home", name, text, 512) ? text : L"<none>";
  }
  static COLORREF Color(CColorScheme& scheme, int slot) {
    COLORREF colors[CColorScheme::kColorCount];
    scheme.GetColors(colors);
    return colors[slot];
  }
};

TEST_F(ColorScheme, ValuesMustBeHashAndSixHexDigits) {
  CColorScheme scheme;
  const COLORREF before = Color(scheme, 4);
  const struct {
    const wchar_t* name;
    const wchar_t* text;
    bool taken;
  } cases[] = {
      {L"COLOR_HIGHLIGHT", L"#0000FF", true},
      {L"COLOR_HIGHLIGHT", L"#F", false},
      {L"COLOR_HIGHLIGHT", L"#12", false},
      {L"COLOR_HIGHLIGHT", L"#GGGGGG", false},
      {L"COLOR_HIGHLIGHT", L"0000FF", false},
      {L"COLOR_HIGHLIGHT", L"#0000FF0", false},
      {L"COLOR_highlight", L"#00FF00", false},
      {L"COLOR_UNKNOWN", L"#00FF00", false},
      {nullptr, L"#00FF00", false},
      {L"COLOR_HIGHLIGHT", nullptr, false},
  };
  for (const auto& c : cases) {
    scheme.SetColorByName(L"COLOR_HIGHLIGHT", L"#010203");
    scheme.SetColorByName(c.name, c.text);
    EXPECT_EQ(Color(scheme, 4), c.taken ? 0x00FF0000u : RGB(1, 2, 3)) << (c.text ? c.text : L"(null)");
  }
  EXPECT_NE(before, 0x00FF0000u);
}

TEST_F(ColorScheme, OlderSchemesKeepWorkingWhenANewerOneGoes) {
  CColorScheme first;
  { CColorScheme second; }
  first.SetColorByName(L"COLOR_HOMERULE", L"#123456");
  EXPECT_EQ(Color(first, 25), RGB(0x12, 0x34, 0x56));
}

TEST_F(ColorScheme, WrittenFileHasTheHomeScreensShapeAndReadsBack) {
  CColorScheme scheme;
  COLORREF colors[CColorScheme::kColorCount];
  for (int i = 0; i < CColorScheme::kColorCount; ++i) colors[i] = RGB(i, 2 * i, 255 - i);
  colors[0] = RGB(0, 0, 5);
  colors[1] = 0x00FF0000;  // blue
  scheme.SetColors(colors);
  scheme.SetBgImage(L"\\Windows\\bg.jpg");
  const std::wstring path = kHome + L"written.xml";
  ASSERT_TRUE(scheme.WriteFile(path.c_str()));

  suite::CXmlReader reader;
  ASSERT_TRUE(reader.Load(path.c_str(), TRUE, FALSE, FALSE));
  reader.PushNode();
  ASSERT_EQ(reader.SelectNodes(L"/colorscheme/title"), 8);
  const wchar_t* languages[] = {L"0x0409", L"0x0809", L"0x040c", L"0x0407", L"0x0410", L"0x0816", L"0x040a", L"0x0804"};
  for (const wchar_t* language : languages) {
    ASSERT_TRUE(reader.NextNode());
    wchar_t text[16];
    EXPECT_TRUE(reader.GetAttribute(L"lang", text, 16));
    EXPECT_STREQ(text, language);
    EXPECT_TRUE(reader.GetChildText(0, text, 16));
    EXPECT_STREQ(text, L"vrn");
  }
  reader.PopNode();
  reader.PushNode();
  ASSERT_TRUE(reader.SelectNode(L"/colorscheme/background"));
  wchar_t text[64];
  EXPECT_TRUE(reader.GetAttribute(L"bgimage", text, 64));
  EXPECT_STREQ(text, L"\\Windows\\bg.jpg");
  EXPECT_TRUE(reader.GetAttribute(L"valign", text, 64));
  EXPECT_STREQ(text, L"bottom");
  reader.PopNode();
  ASSERT_EQ(reader.SelectNodes(L"/colorscheme/scheme/color"), CColorScheme::kColorCount);
  for (int i = 0; i < CColorScheme::kColorCount; ++i) {
    ASSERT_TRUE(reader.NextNode());
    EXPECT_TRUE(reader.GetAttribute(L"name", text, 64));
    EXPECT_STREQ(text, CColorScheme::kColorNames[i]);
    EXPECT_TRUE(reader.GetAttribute(L"value", text, 64));
    if (i == 0) {
      EXPECT_STREQ(text, L"#000005");
    } else if (i == 1) {
      EXPECT_STREQ(text, L"#0000FF");
    }
  }
  reader.Close();

  CColorScheme again;
  ASSERT_TRUE(again.ParseFile(path.c_str(), FALSE, TRUE));
  COLORREF read[CColorScheme::kColorCount];
  again.GetColors(read);
  for (int i = 0; i < CColorScheme::kColorCount; ++i) EXPECT_EQ(read[i], colors[i]) << i;
  again.GetBgImage(text);
  EXPECT_STREQ(text, L"\\Windows\\bg.jpg");
}

TEST_F(ColorScheme, LoadCurrentFollowsTheHomeScreensSettings) {
  CColorScheme scheme;
  EXPECT_FALSE(scheme.LoadCurrent()) << "neither setting";

  // An empty "ColorScheme" sends the reader to the layout, with its paths.
  const std::wstring layout = kHome + L"default.home.xml";
  ASSERT_TRUE(suite_test::WriteDeviceFile(
      layout,
      "<home><background bgimage=\"\\Windows\\home.bmp\"/><scheme>"
      "<color name=\"COLOR_WINDOW\" value=\"#102030\"/><color name=\"COLOR_NOPE\" value=\"#FFFFFF\"/>"
      "<color name=\"COLOR_WINDOWTEXT\"/></scheme></home>"));
  SetHomeValue(L"ColorScheme", L"");
  SetHomeValue(L"Scheme", layout);
  ASSERT_TRUE(scheme.LoadCurrent());
  EXPECT_EQ(Color(scheme, 0), RGB(0x10, 0x20, 0x30));
  wchar_t background[256];
  scheme.GetBgImage(background);
  EXPECT_STREQ(background, L"\\Windows\\home.bmp");

  // A background in the settings wins over the file's.
  SetHomeValue(L"BgImage", L"\\Windows\\mine.bmp");
  ASSERT_TRUE(scheme.LoadCurrent());
  scheme.GetBgImage(background);
  EXPECT_STREQ(background, L"\\Windows\\mine.bmp");

  // A colour-scheme file named in "ColorScheme" is read with its own paths;
  // a missing file leaves the colours as they were.
  SetHomeValue(L"ColorScheme", kHome + L"none.xml");
  EXPECT_FALSE(scheme.LoadCurrent());
  EXPECT_EQ(Color(scheme, 0), RGB(0x10, 0x20, 0x30));
}

TEST_F(ColorScheme, SaveAsCurrentAlternatesAndNeverLosesTheFileInUse) {
  CColorScheme scheme;
  scheme.SetColorByName(L"COLOR_WINDOW", L"#ABCDEF");
  ASSERT_TRUE(scheme.SaveAsCurrent());
  EXPECT_EQ(HomeValue(L"ColorScheme"), kPrimary) << "from a layout, the primary file first";
  ASSERT_TRUE(scheme.SaveAsCurrent());
  EXPECT_EQ(HomeValue(L"ColorScheme"), kAlternate);
  EXPECT_EQ(suite_test::ReadDeviceFile(kPrimary), "<missing>") << "the old file goes once the new one is current";
  ASSERT_TRUE(scheme.SaveAsCurrent());
  EXPECT_EQ(HomeValue(L"ColorScheme"), kPrimary);

  CColorScheme reader;
  ASSERT_TRUE(reader.LoadCurrent());
  EXPECT_EQ(Color(reader, 0), RGB(0xAB, 0xCD, 0xEF));

  // The next save would go to the alternate; when it cannot be written the
  // home screen keeps its current file.
  suite_test::MakeFolders(kAlternate);
  EXPECT_FALSE(reader.SaveAsCurrent());
  EXPECT_EQ(HomeValue(L"ColorScheme"), kPrimary);
  EXPECT_NE(suite_test::ReadDeviceFile(kPrimary), "<missing>");
  RemoveDirectoryW(kAlternate.c_str());
}

}  // namespace
