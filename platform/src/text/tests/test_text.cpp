#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "scoped_setting.h"

namespace {

// The values programs pass on the device.
static_assert(DT_CALCRECT == 0x400 && DT_NOPREFIX == 0x800 && DT_VCENTER == 4 && DT_SINGLELINE == 0x20);
static_assert(DT_CENTER == 1 && DT_RIGHT == 2 && DT_BOTTOM == 8 && DT_WORDBREAK == 0x10 && DT_NOCLIP == 0x100);
static_assert(TRANSPARENT == 1 && OPAQUE == 2 && SYSTEM_FONT == 13 && FW_BOLD == 700 && CLEARTYPE_QUALITY == 5);
static_assert(ETO_OPAQUE == 2 && ETO_CLIPPED == 4 && TA_BASELINE == 24 && TA_CENTER == 6);
static_assert(sizeof(LOGFONTW) == 28 + 32 * sizeof(WCHAR));

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kInk = RGB(0, 0, 0);
constexpr COLORREF kPaper = RGB(0, 0, 255);

// A memory DC on a top-down DIB section of the given depth, filled white.
class Canvas {
 public:
  Canvas(int width, int height, int bpp) : width_(width), height_(height) {
    struct {
      BITMAPINFOHEADER header;
      DWORD masks[3];
    } info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = -height;
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bpp);
    info.header.biCompression = bpp == 16 ? BI_BITFIELDS : BI_RGB;
    info.masks[0] = 0xF800;
    info.masks[1] = 0x07E0;
    info.masks[2] = 0x001F;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
    Clear();
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  void Clear() {
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    const RECT all{0, 0, width_, height_};
    FillRect(dc_, &all, white);
  }
  // '#' ink, '.' white, 'o' paper (the background colour), '?' anything else.
  std::vector<std::string> Map() const {
    std::vector<std::string> rows;
    for (int y = 0; y < height_; ++y) {
      std::string row;
      for (int x = 0; x < width_; ++x) {
        const COLORREF c = GetPixel(dc_, x, y);
        row += c == kInk ? '#' : c == kWhite ? '.' : c == kPaper ? 'o' : '?';
      }
      rows.push_back(row);
    }
    return rows;
  }

 private:
  int width_;
  int height_;
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

HFONT MakeFont(int height, const wchar_t* face = L"Tahoma", int escapement = 0, int width = 0) {
  return CreateFontW(height, width, escapement, escapement, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
}

// Every test but the DejaVu ones runs on the box font: a cell of the font's
// height with three quarters above the baseline, an advance of half the
// height, and each visible character a box one column narrower than its
// advance from the cell's second row down to the baseline. At height 4: a
// 2 x 4 cell whose glyph is the first column of rows 1 and 2; the underline
// is row 3.
class BoxFontTest : public ::testing::TestWithParam<int> {
 protected:
  ce::test::ScopedSetting boxes_{"DEVICE_FONT_TEST", "fixed"};
};

INSTANTIATE_TEST_SUITE_P(Depths, BoxFontTest, ::testing::Values(16, 32),
                         [](const auto& info) { return std::to_string(info.param) + "bit"; });

struct LayoutCase {
  const char* name;
  const wchar_t* text;
  RECT rect;
  UINT format;
  std::vector<std::string> expected;
};

TEST_P(BoxFontTest, DrawTextLaysOutAlignsWrapsPrefixesAndClips) {
  const UINT single = DT_SINGLELINE;
  const std::vector<LayoutCase> cases = {
      {"left", L"ab", {1, 1, 11, 7}, single, {"", "", ".#.#", ".#.#"}},
      {"centre", L"ab", {1, 1, 11, 7}, single | DT_CENTER, {"", "", "....#.#", "....#.#"}},
      {"right", L"ab", {1, 1, 11, 7}, single | DT_RIGHT, {"", "", ".......#.#", ".......#.#"}},
      {"vcentre", L"ab", {1, 1, 11, 7}, single | DT_VCENTER, {"", "", "", ".#.#", ".#.#"}},
      {"bottom", L"ab", {1, 1, 11, 7}, single | DT_BOTTOM, {"", "", "", "", ".#.#", ".#.#"}},
      // Without DT_SINGLELINE vertical placement does not apply.
      {"vcentre multi-line", L"ab", {1, 1, 11, 7}, DT_VCENTER, {"", "", ".#.#", ".#.#"}},
      {"word break", L"ab cd", {0, 0, 6, 8}, DT_WORDBREAK, {"", "#.#", "#.#", "", "", "#.#", "#.#"}},
      {"line feeds", L"a\r\nb\nc", {0, 0, 12, 12}, 0, {"", "#", "#", "", "", "#", "#", "", "", "#", "#"}},
      {"long word stays whole",
       L"abcd e",
       {0, 0, 3, 8},
       DT_WORDBREAK | DT_NOCLIP,
       {"", "#.#.#.#", "#.#.#.#", "", "", "#", "#"}},
      {"prefix", L"a&bc&&", {0, 0, 12, 8}, single, {"", "#.#.#.#", "#.#.#.#", "..##"}},
      {"no prefix", L"a&b", {0, 0, 12, 8}, single | DT_NOPREFIX, {"", "#.#.#", "#.#.#"}},
      {"clipped overhang", L"abcdef", {6, 0, 12, 4}, single | DT_RIGHT, {"", "......#.#.#", "......#.#.#"}},
      {"no clip", L"abcdef", {6, 0, 12, 4}, single | DT_RIGHT | DT_NOCLIP, {"", "#.#.#.#.#.#", "#.#.#.#.#.#"}},
      {"end ellipsis", L"abcdef", {0, 0, 8, 4}, single | DT_END_ELLIPSIS, {"", "#.#.#.#", "#.#.#.#"}},
      {"ellipsis alone", L"abcdef", {0, 0, 1, 4}, single | DT_END_ELLIPSIS, {"", "#", "#"}},
  };
  Canvas canvas(12, 12, GetParam());
  HFONT font = MakeFont(4);
  HGDIOBJ old = SelectObject(canvas.dc(), font);
  SetTextColor(canvas.dc(), kInk);
  SetBkMode(canvas.dc(), TRANSPARENT);
  for (const LayoutCase& c : cases) {
    canvas.Clear();
    RECT rect = c.rect;
    EXPECT_NE(DrawTextW(canvas.dc(), c.text, -1, &rect, c.format), 0) << c.name;
    std::vector<std::string> expected = c.expected;
    expected.resize(12);
    for (std::string& row : expected) row.resize(12, '.');
    EXPECT_EQ(canvas.Map(), expected) << c.name;
  }
  SelectObject(canvas.dc(), old);
  DeleteObject(font);
}

TEST_P(BoxFontTest, DrawTextMeasuresAndReturnsHeights) {
  Canvas canvas(8, 8, GetParam());
  HFONT font = MakeFont(12);
  HGDIOBJ old = SelectObject(canvas.dc(), font);
  struct Case {
    const wchar_t* text;
    RECT rect;
    UINT format;
    RECT measured;
    int height;
  } cases[] = {
      // The measuring call of skinned controls: width = right, height = result.
      {L"abc", {0, 0, 1, 1}, DT_CALCRECT | DT_NOPREFIX | DT_VCENTER, {0, 0, 18, 12}, 12},
      {L"a&bc", {5, 5, 6, 6}, DT_CALCRECT | DT_SINGLELINE, {5, 5, 23, 17}, 12},
      {L"ab cd ef", {0, 0, 20, 0}, DT_CALCRECT | DT_WORDBREAK, {0, 0, 12, 36}, 36},
      {L"ab\ncd", {0, 0, 1, 1}, DT_CALCRECT, {0, 0, 12, 24}, 24},
      {L"", {3, 3, 9, 9}, DT_CALCRECT | DT_SINGLELINE, {3, 3, 3, 15}, 12},
  };
  for (const Case& c : cases) {
    RECT rect = c.rect;
    EXPECT_EQ(DrawTextW(canvas.dc(), c.text, -1, &rect, c.format), c.height);
    EXPECT_EQ(rect.left, c.measured.left);
    EXPECT_EQ(rect.top, c.measured.top);
    EXPECT_EQ(rect.right, c.measured.right);
    EXPECT_EQ(rect.bottom, c.measured.bottom);
  }
  // Drawing placed lines: the offset from the top to the text's bottom.
  RECT rect{0, 0, 8, 30};
  EXPECT_EQ(DrawTextW(canvas.dc(), L"a", 1, &rect, DT_SINGLELINE | DT_VCENTER), 21);
  EXPECT_EQ(DrawTextW(canvas.dc(), L"a", 1, &rect, DT_SINGLELINE | DT_BOTTOM), 30);
  EXPECT_EQ(DrawTextW(canvas.dc(), L"abcd", 2, &rect, DT_SINGLELINE), 12);

  SIZE size{};
  ASSERT_TRUE(GetTextExtentPoint32W(canvas.dc(), L"abcde", 5, &size));
  EXPECT_EQ(size.cx, 30);
  EXPECT_EQ(size.cy, 12);
  int fit = -1;
  int dx[4] = {};
  ASSERT_TRUE(GetTextExtentExPointW(canvas.dc(), L"abcd", 4, 20, &fit, dx, &size));
  EXPECT_EQ(fit, 3);
  EXPECT_EQ(dx[0], 6);
  EXPECT_EQ(dx[3], 24);
  TEXTMETRICW tm{};
  ASSERT_TRUE(GetTextMetricsW(canvas.dc(), &tm));
  EXPECT_EQ(tm.tmHeight, 12);
  EXPECT_EQ(tm.tmAscent, 9);
  EXPECT_EQ(tm.tmDescent, 3);
  EXPECT_EQ(tm.tmAveCharWidth, 6);

  // Character height and an explicit width.
  HFONT narrow = MakeFont(-10, L"Nina", 0, 3);
  SelectObject(canvas.dc(), narrow);
  ASSERT_TRUE(GetTextExtentPoint32W(canvas.dc(), L"abcd", 4, &size));
  EXPECT_EQ(size.cx, 12);
  EXPECT_EQ(size.cy, 10);

  SelectObject(canvas.dc(), old);
  DeleteObject(narrow);
  DeleteObject(font);
}

TEST_P(BoxFontTest, ExtTextOutFillsClipsAlignsAndTurns) {
  Canvas canvas(12, 8, GetParam());
  HFONT font = MakeFont(4);
  HGDIOBJ old = SelectObject(canvas.dc(), font);
  SetTextColor(canvas.dc(), kInk);
  SetBkColor(canvas.dc(), kPaper);

  // Opaque mode fills the text's cells.
  EXPECT_TRUE(ExtTextOutW(canvas.dc(), 0, 0, 0, nullptr, L"ab", 2, nullptr));
  EXPECT_EQ(canvas.Map(), (std::vector<std::string>{"oooo........", "#o#o........", "#o#o........", "oooo........",
                                                    "............", "............", "............", "............"}));

  // ETO_OPAQUE fills the rectangle, ETO_CLIPPED keeps the text inside it.
  canvas.Clear();
  SetBkMode(canvas.dc(), TRANSPARENT);
  const RECT box{0, 0, 3, 8};
  EXPECT_TRUE(ExtTextOutW(canvas.dc(), 0, 0, ETO_OPAQUE | ETO_CLIPPED, &box, L"abc", 3, nullptr));
  EXPECT_EQ(canvas.Map(), (std::vector<std::string>{"ooo.........", "#o#.........", "#o#.........", "ooo.........",
                                                    "ooo.........", "ooo.........", "ooo.........", "ooo........."}));

  // The reference point at the right end of the baseline; explicit advances.
  canvas.Clear();
  SetTextAlign(canvas.dc(), TA_RIGHT | TA_BASELINE);
  EXPECT_TRUE(ExtTextOutW(canvas.dc(), 8, 3, 0, nullptr, L"ab", 2, nullptr));
  SetTextAlign(canvas.dc(), TA_LEFT | TA_TOP);
  const int advances[] = {3, 5, 2};
  EXPECT_TRUE(ExtTextOutW(canvas.dc(), 0, 4, 0, nullptr, L"abc", 3, advances));
  EXPECT_EQ(canvas.Map(), (std::vector<std::string>{"............", "....#.#.....", "....#.#.....", "............",
                                                    "............", "#..#....#...", "#..#....#...", "............"}));
  SelectObject(canvas.dc(), old);
  DeleteObject(font);

  // Escapement 900 runs up from the reference point, 2700 down from it.
  canvas.Clear();
  HFONT up = MakeFont(4, L"Tahoma", 900);
  HFONT down = MakeFont(4, L"Tahoma", 2700);
  old = SelectObject(canvas.dc(), up);
  EXPECT_TRUE(ExtTextOutW(canvas.dc(), 2, 8, 0, nullptr, L"ab", 2, nullptr));
  SelectObject(canvas.dc(), down);
  EXPECT_TRUE(ExtTextOutW(canvas.dc(), 10, 0, 0, nullptr, L"ab", 2, nullptr));
  EXPECT_EQ(canvas.Map(), (std::vector<std::string>{".......##...", "............", ".......##...", "............",
                                                    "............", "...##.......", "............", "...##......."}));
  SelectObject(canvas.dc(), old);
  DeleteObject(up);
  DeleteObject(down);
}

TEST_P(BoxFontTest, BadArgumentsFailAndExtremeCoordinatesAreSafe) {
  Canvas canvas(8, 8, GetParam());
  RECT rect{0, 0, 8, 8};
  EXPECT_EQ(DrawTextW(canvas.dc(), nullptr, 3, &rect, 0), 0);
  EXPECT_EQ(DrawTextW(canvas.dc(), L"a", -2, &rect, 0), 0);
  EXPECT_EQ(DrawTextW(canvas.dc(), L"a", 1, nullptr, 0), 0);
  EXPECT_EQ(DrawTextW(nullptr, L"a", 1, &rect, 0), 0);
  SIZE size{};
  EXPECT_FALSE(GetTextExtentPoint32W(canvas.dc(), nullptr, 2, &size));
  EXPECT_FALSE(GetTextExtentPoint32W(canvas.dc(), L"a", -1, &size));
  EXPECT_FALSE(ExtTextOutW(canvas.dc(), 0, 0, 0, nullptr, nullptr, 2, nullptr));
  EXPECT_FALSE(GetTextMetricsW(canvas.dc(), nullptr));

  // Rectangles and points at the ends of the coordinate range.
  const UINT formats[] = {DT_CENTER | DT_VCENTER | DT_SINGLELINE, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE,
                          DT_WORDBREAK | DT_CENTER, DT_CALCRECT | DT_WORDBREAK, DT_SINGLELINE | DT_END_ELLIPSIS};
  for (UINT format : formats) {
    RECT huge{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    DrawTextW(canvas.dc(), L"ab cd&", -1, &huge, format);
    RECT inverted{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    DrawTextW(canvas.dc(), L"ab cd", -1, &inverted, format);
  }
  for (int turns = 0; turns < 4; ++turns) {
    HFONT font = MakeFont(4, L"Tahoma", turns * 900);
    HGDIOBJ old = SelectObject(canvas.dc(), font);
    EXPECT_TRUE(ExtTextOutW(canvas.dc(), INT_MAX, INT_MIN, 0, nullptr, L"abc", 3, nullptr));
    EXPECT_TRUE(ExtTextOutW(canvas.dc(), INT_MIN, INT_MAX, 0, nullptr, L"abc", 3, nullptr));
    SelectObject(canvas.dc(), old);
    DeleteObject(font);
  }
  // A lone '&' at the end prefixes nothing.
  canvas.Clear();
  RECT small{0, 0, 8, 8};
  EXPECT_EQ(DrawTextW(canvas.dc(), L"ab&", -1, &small, DT_CALCRECT | DT_SINGLELINE), 12);
  EXPECT_EQ(small.right, 12);
}

TEST(FontObjects, SelectDeleteStockAndGetObject) {
  Canvas canvas(4, 4, 32);
  HGDIOBJ system = GetStockObject(SYSTEM_FONT);
  ASSERT_NE(system, nullptr);
  LOGFONTW lf{};
  ASSERT_EQ(GetObjectW(system, sizeof lf, &lf), static_cast<int>(sizeof lf));
  // A character height of 9 points, from which programs derive points again.
  EXPECT_EQ(lf.lfHeight, -(12 * GetDeviceCaps(canvas.dc(), LOGPIXELSY) + 48) / 96);

  // A 40-character face keeps 31 characters; the rest of the LOGFONTW as given.
  LOGFONTW wanted{};
  wanted.lfHeight = 20;
  wanted.lfWeight = FW_BOLD;
  wanted.lfItalic = 1;
  wanted.lfUnderline = 1;
  wanted.lfCharSet = DEFAULT_CHARSET;
  for (int i = 0; i < LF_FACESIZE; ++i) wanted.lfFaceName[i] = L'x';
  HFONT font = CreateFontIndirectW(&wanted);
  ASSERT_NE(font, nullptr);
  ASSERT_EQ(GetObjectW(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
  EXPECT_EQ(lf.lfHeight, 20);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_EQ(lf.lfItalic, 1);
  EXPECT_EQ(std::wstring(lf.lfFaceName), std::wstring(31, L'x'));

  // A new DC has the system font; a null font changes nothing.
  EXPECT_EQ(SelectObject(canvas.dc(), font), system);
  EXPECT_EQ(SelectObject(canvas.dc(), nullptr), nullptr);
  TEXTMETRICW tm{};
  ASSERT_TRUE(GetTextMetricsW(canvas.dc(), &tm));
  EXPECT_EQ(tm.tmHeight, 20);
  EXPECT_EQ(tm.tmWeight, FW_BOLD);
  EXPECT_EQ(tm.tmItalic, 1);
  // A font differing in weight alone is its own font.
  wanted.lfWeight = FW_HEAVY;
  HFONT heavy = CreateFontIndirectW(&wanted);
  SelectObject(canvas.dc(), heavy);
  ASSERT_TRUE(GetTextMetricsW(canvas.dc(), &tm));
  EXPECT_EQ(tm.tmWeight, FW_HEAVY);
  SelectObject(canvas.dc(), font);
  DeleteObject(heavy);
  EXPECT_EQ(SelectObject(canvas.dc(), system), font);

  EXPECT_TRUE(DeleteObject(font));
  EXPECT_EQ(SelectObject(canvas.dc(), font), nullptr);
  EXPECT_EQ(GetObjectW(font, sizeof lf, &lf), 0);
  EXPECT_TRUE(DeleteObject(system));  // stock objects stay
  EXPECT_EQ(GetObjectW(system, sizeof lf, &lf), static_cast<int>(sizeof lf));
  EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);

  EXPECT_EQ(SetTextColor(canvas.dc(), RGB(1, 2, 3)), kInk);
  EXPECT_EQ(GetTextColor(canvas.dc()), RGB(1, 2, 3));
  EXPECT_EQ(SetBkMode(canvas.dc(), TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetBkMode(canvas.dc(), 7), 0);
  EXPECT_EQ(GetBkMode(canvas.dc()), TRANSPARENT);
  EXPECT_EQ(SetBkColor(canvas.dc(), kPaper), kWhite);
  EXPECT_EQ(SetTextColor(nullptr, 0), CLR_INVALID);
}

int CALLBACK Collect(const LOGFONTW* lf, const TEXTMETRICW* tm, DWORD type, LPARAM param) {
  auto* names = reinterpret_cast<std::vector<std::wstring>*>(param);
  names->push_back(lf->lfFaceName);
  EXPECT_GT(tm->tmHeight, 0);
  EXPECT_EQ(type, TRUETYPE_FONTTYPE);
  return names->size() < 3 ? 1 : 0;
}

TEST(FontObjects, EnumFontFamiliesListsTheDeviceFamiliesInOrder) {
  HDC screen = GetDC(nullptr);
  std::vector<std::wstring> names;
  {
    ce::test::ScopedSetting families("DEVICE_FONT_FAMILIES", "Alpha, Bookdings,Gamma ,Delta");
    // The callback stops after the third family.
    EXPECT_EQ(EnumFontFamiliesW(screen, nullptr, Collect, reinterpret_cast<LPARAM>(&names)), 0);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Alpha", L"Bookdings", L"Gamma"}));
    names.clear();
    EXPECT_EQ(EnumFontFamiliesW(screen, L"gamma", Collect, reinterpret_cast<LPARAM>(&names)), 1);
    EXPECT_EQ(names, std::vector<std::wstring>{L"Gamma"});
  }
  names.clear();
  EnumFontFamiliesW(screen, nullptr, Collect, reinterpret_cast<LPARAM>(&names));
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names[0], L"Tahoma");
  ReleaseDC(nullptr, screen);
}

// The device's own faces: plausible metrics, anti-aliased ink.
TEST(DejaVuText, MeasuresAndDrawsAntiAliased) {
  Canvas canvas(80, 24, 32);
  HFONT font = MakeFont(-16, L"Tahoma");
  HGDIOBJ old = SelectObject(canvas.dc(), font);
  TEXTMETRICW tm{};
  ASSERT_TRUE(GetTextMetricsW(canvas.dc(), &tm));
  EXPECT_GE(tm.tmHeight, 17);
  EXPECT_LE(tm.tmHeight, 21);
  EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
  EXPECT_EQ(tm.tmInternalLeading, tm.tmHeight - 16);
  SIZE narrow{};
  SIZE wide{};
  ASSERT_TRUE(GetTextExtentPoint32W(canvas.dc(), L"iiii", 4, &narrow));
  ASSERT_TRUE(GetTextExtentPoint32W(canvas.dc(), L"WWWW", 4, &wide));
  EXPECT_LT(narrow.cx * 2, wide.cx);  // proportional
  EXPECT_EQ(wide.cy, tm.tmHeight);

  SetBkMode(canvas.dc(), TRANSPARENT);
  RECT rect{0, 0, 80, 24};
  EXPECT_EQ(DrawTextW(canvas.dc(), L"Hello", -1, &rect, DT_SINGLELINE), tm.tmHeight);
  int ink = 0;
  int grey = 0;
  for (const std::string& row : canvas.Map()) {
    for (char c : row) {
      ink += c == '#';
      grey += c == '?';
    }
  }
  EXPECT_GT(ink, 20);
  EXPECT_GT(grey, 5);

  // A bold face is wider than the regular one.
  HFONT bold = CreateFontW(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Nina");
  SelectObject(canvas.dc(), bold);
  SIZE boldWide{};
  ASSERT_TRUE(GetTextExtentPoint32W(canvas.dc(), L"WWWW", 4, &boldWide));
  EXPECT_GT(boldWide.cx, wide.cx);
  SelectObject(canvas.dc(), old);
  DeleteObject(bold);
  DeleteObject(font);
}

}  // namespace
