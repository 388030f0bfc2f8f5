// Pens, lines and rectangles, checked by probing pixels of a small canvas.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "ce/winbase.h"
#include "ce/wingdi.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// A 32-bit canvas, white to start with.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
    const RECT all{0, 0, width, height};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }
  // The canvas as rows of characters: '.' white, '#' black, 'r' red,
  // 'b' blue, '?' anything else.
  std::vector<std::string> Picture() const {
    std::vector<std::string> rows;
    for (int y = 0; y < height_; ++y) {
      std::string row;
      for (int x = 0; x < width_; ++x) {
        const COLORREF c = At(x, y);
        row += c == kWhite ? '.' : c == kBlack ? '#' : c == kRed ? 'r' : c == kBlue ? 'b' : '?';
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

TEST(GdiPens, LineToLeavesOutItsEndPointAndMovesOn) {
  Canvas canvas(8, 6);
  POINT previous{-1, -1};
  ASSERT_TRUE(MoveToEx(canvas.dc(), 1, 1, &previous));
  EXPECT_EQ(previous.x, 0);
  EXPECT_EQ(previous.y, 0);
  ASSERT_TRUE(LineTo(canvas.dc(), 6, 1));
  ASSERT_TRUE(LineTo(canvas.dc(), 6, 4));  // starts where the last one ended
  ASSERT_TRUE(LineTo(canvas.dc(), 3, 1));  // a diagonal back up
  MoveToEx(canvas.dc(), 0, 0, &previous);
  EXPECT_EQ(previous.x, 3);
  EXPECT_EQ(previous.y, 1);
  const std::vector<std::string> expected = {
      "........",  //
      ".######.",  //
      "....#.#.",  //
      ".....##.",  //
      "......#.",  //
      "........",
  };
  EXPECT_EQ(canvas.Picture(), expected);
}

TEST(GdiPens, ShallowAndSteepLinesHaveOnePixelPerStep) {
  Canvas canvas(12, 6);
  MoveToEx(canvas.dc(), 0, 0, nullptr);
  LineTo(canvas.dc(), 10, 4);
  MoveToEx(canvas.dc(), 11, 5, nullptr);
  LineTo(canvas.dc(), 11, 5);  // zero length: nothing
  const std::vector<std::string> expected = {
      "##..........",  //
      "..##........",  //
      "....###.....",  //
      ".......##...",  //
      ".........#..",  //
      "............",
  };
  EXPECT_EQ(canvas.Picture(), expected);
}

TEST(GdiPens, PolylineJoinsPointsWithoutMovingThePosition) {
  Canvas canvas(7, 5);
  HPEN red = CreatePen(PS_SOLID, 1, kRed);
  HGDIOBJ old = SelectObject(canvas.dc(), red);
  EXPECT_EQ(old, GetStockObject(BLACK_PEN));  // a new DC draws black
  MoveToEx(canvas.dc(), 2, 2, nullptr);
  const POINT points[] = {{1, 3}, {5, 3}, {5, 0}};
  ASSERT_TRUE(Polyline(canvas.dc(), points, 3));
  POINT position{};
  MoveToEx(canvas.dc(), 0, 0, &position);
  EXPECT_EQ(position.x, 2);
  EXPECT_EQ(position.y, 2);
  const std::vector<std::string> expected = {
      ".......",  //
      ".....r.",  //
      ".....r.",  //
      ".rrrrr.",  //
      ".......",
  };
  EXPECT_EQ(canvas.Picture(), expected);

  EXPECT_FALSE(Polyline(canvas.dc(), points, 1));
  EXPECT_FALSE(Polyline(canvas.dc(), nullptr, 3));
  SelectObject(canvas.dc(), old);
  EXPECT_TRUE(DeleteObject(red));
}

TEST(GdiPens, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
  struct Case {
    const char* name;
    int pen;    // a stock pen, or -1 for a red pen
    int brush;  // a stock brush, or -1 for a blue brush
    std::vector<std::string> picture;
  };
  const Case cases[] = {
      {"pen and brush", -1, -1, {"........", ".rrrrrr.", ".rbbbbr.", ".rbbbbr.", ".rrrrrr.", "........"}},
      {"null brush", -1, NULL_BRUSH, {"........", ".rrrrrr.", ".r....r.", ".r....r.", ".rrrrrr.", "........"}},
      {"null pen", NULL_PEN, -1, {"........", ".bbbbb..", ".bbbbb..", ".bbbbb..", "........", "........"}},
      {"black pen", BLACK_PEN, BLACK_BRUSH, {"........", ".######.", ".######.", ".######.", ".######.", "........"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas canvas(8, 6);
    HPEN pen = c.pen < 0 ? CreatePen(PS_SOLID, 1, kRed) : static_cast<HPEN>(GetStockObject(c.pen));
    HBRUSH brush = c.brush < 0 ? CreateSolidBrush(kBlue) : static_cast<HBRUSH>(GetStockObject(c.brush));
    HGDIOBJ oldPen = SelectObject(canvas.dc(), pen);
    HGDIOBJ oldBrush = SelectObject(canvas.dc(), brush);
    ASSERT_TRUE(Rectangle(canvas.dc(), 1, 1, 7, 5));
    EXPECT_EQ(canvas.Picture(), c.picture);
    SelectObject(canvas.dc(), oldPen);
    SelectObject(canvas.dc(), oldBrush);
    DeleteObject(pen);  // stock objects survive this
    DeleteObject(brush);
  }
  EXPECT_NE(GetStockObject(BLACK_BRUSH), nullptr);
}

TEST(GdiPens, StylesAndWidths) {
  Canvas canvas(30, 6);
  HPEN dash = CreatePen(PS_DASH, 1, kBlack);
  HPEN wide = CreatePen(PS_SOLID, 2, kRed);
  HPEN none = CreatePen(PS_NULL, 1, kBlack);
  HGDIOBJ old = SelectObject(canvas.dc(), dash);
  MoveToEx(canvas.dc(), 0, 0, nullptr);
  LineTo(canvas.dc(), 30, 0);
  SelectObject(canvas.dc(), wide);
  MoveToEx(canvas.dc(), 2, 2, nullptr);
  LineTo(canvas.dc(), 6, 2);
  SelectObject(canvas.dc(), none);
  MoveToEx(canvas.dc(), 0, 5, nullptr);
  LineTo(canvas.dc(), 30, 5);
  SelectObject(canvas.dc(), old);

  const std::vector<std::string> picture = canvas.Picture();
  EXPECT_EQ(picture[0], "##################......######");  // 18 on, 6 off
  // Two pixels wide: each step paints a 2 x 2 square.
  EXPECT_EQ(picture[2], "..rrrrr.......................");
  EXPECT_EQ(picture[3], "..rrrrr.......................");
  EXPECT_EQ(picture[5], std::string(30, '.'));
  for (HPEN pen : {dash, wide, none}) EXPECT_TRUE(DeleteObject(pen));
  EXPECT_EQ(SelectObject(canvas.dc(), dash), nullptr);  // deleted

  EXPECT_EQ(CreatePen(42, 1, kBlack), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_NE(GetStockObject(WHITE_PEN), GetStockObject(BLACK_PEN));
  EXPECT_NE(GetStockObject(NULL_PEN), nullptr);
}

TEST(GdiPens, LinesStayInsideTheClipWhateverTheirEnds) {
  Canvas canvas(10, 4);
  IntersectClipRect(canvas.dc(), 2, 0, 8, 4);
  MoveToEx(canvas.dc(), INT_MIN, 1, nullptr);
  LineTo(canvas.dc(), INT_MAX, 1);  // returns at once: only the clip is walked
  MoveToEx(canvas.dc(), 5, INT_MIN, nullptr);
  LineTo(canvas.dc(), 5, INT_MAX);
  Rectangle(canvas.dc(), INT_MIN, INT_MIN, INT_MAX, INT_MAX);  // only white fill
  // The rectangle's white brush covered both lines inside the clip; pixels
  // outside the clip read as CLR_INVALID.
  const std::vector<std::string> expected = {
      "??......??",  //
      "??......??",  //
      "??......??",  //
      "??......??",
  };
  EXPECT_EQ(canvas.Picture(), expected);
  MoveToEx(canvas.dc(), INT_MIN, 1, nullptr);
  LineTo(canvas.dc(), INT_MAX, 1);
  EXPECT_EQ(canvas.Picture()[1], "??######??");
  EXPECT_FALSE(LineTo(nullptr, 1, 1));
  EXPECT_FALSE(Rectangle(nullptr, 0, 0, 1, 1));
}

}  // namespace
