#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/bitmap_image.h"
#include "common/iss_utility.h"
#include "common/ui_helpers.h"
#include "pictures/bmp_writer.h"
#include "suite_test_files.h"

namespace {

using suite::IssUtility;

// A 32-bit surface to draw on and read back.
class Surface {
 public:
  Surface(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    m_dc = CreateCompatibleDC(nullptr);
    m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_old = SelectObject(m_dc, m_bitmap);
    Fill(RGB(255, 255, 255));
  }
  ~Surface() {
    SelectObject(m_dc, m_old);
    DeleteObject(m_bitmap);
    DeleteDC(m_dc);
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  HDC dc() const { return m_dc; }
  COLORREF At(int x, int y) const { return GetPixel(m_dc, x, y); }
  void Fill(COLORREF colour) {
    BITMAP facts{};
    GetObjectW(m_bitmap, sizeof facts, &facts);
    RECT all{0, 0, facts.bmWidth, -facts.bmHeight < 0 ? facts.bmHeight : -facts.bmHeight};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(m_dc, &all, brush);
    DeleteObject(brush);
  }

 private:
  HDC m_dc = nullptr;
  HBITMAP m_bitmap = nullptr;
  HGDIOBJ m_old = nullptr;
};

bool Near(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

TEST(Drawing, GradientsFollowTheirFormula) {
  IssUtility& utility = *IssUtility::GetInstance();
  Surface surface(120, 10);
  utility.DrawGradient(surface.dc(), 10, 2, 110, 6, RGB(0, 0, 0), RGB(200, 100, 0));
  EXPECT_EQ(surface.At(10, 2), RGB(0, 0, 0));
  EXPECT_EQ(surface.At(60, 2), RGB(100, 50, 0)) << "half way";
  EXPECT_EQ(surface.At(109, 5), RGB(198, 99, 0)) << "the last column stops short of the right colour";
  EXPECT_EQ(surface.At(60, 5), surface.At(60, 2)) << "every row is the first row";
  EXPECT_EQ(surface.At(60, 6), RGB(255, 255, 255));
  EXPECT_EQ(surface.At(9, 2), RGB(255, 255, 255));

  // Equal colours give a band within one step of the colour (two truncated
  // products); a width of 1 is the left colour; nothing for no width.
  utility.DrawGradient(surface.dc(), 0, 0, 120, 1, RGB(200, 255, 7), RGB(200, 255, 7));
  for (int x = 0; x < 120; ++x) EXPECT_TRUE(Near(surface.At(x, 0), RGB(200, 255, 7), 1)) << x;
  utility.DrawGradient(surface.dc(), 5, 8, 6, 10, RGB(1, 2, 3), RGB(250, 250, 250));
  EXPECT_EQ(surface.At(5, 9), RGB(1, 2, 3));
  surface.Fill(RGB(255, 255, 255));
  utility.DrawGradient(surface.dc(), 50, 0, 50, 10, RGB(0, 0, 0), RGB(0, 0, 0));
  utility.DrawGradient(surface.dc(), 50, 0, 40, 10, RGB(0, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(surface.At(45, 5), RGB(255, 255, 255));
}

TEST(Drawing, TintBlendsAndClampsItsStrength) {
  Surface surface(20, 10);
  RECT area{2, 2, 8, 6};
  suite::TintRect(surface.dc(), &area, RGB(255, 0, 0), 300);
  EXPECT_EQ(surface.At(2, 2), RGB(254, 0, 0)) << "300 acts as 255";
  EXPECT_EQ(surface.At(7, 5), RGB(254, 0, 0));
  EXPECT_EQ(surface.At(8, 5), RGB(255, 255, 255));
  EXPECT_EQ(surface.At(7, 6), RGB(255, 255, 255));

  surface.Fill(RGB(255, 255, 255));
  suite::TintRect(surface.dc(), &area, RGB(255, 0, 0), -40);
  EXPECT_EQ(surface.At(3, 3), RGB(254, 254, 254)) << "a negative strength acts as 0";
  surface.Fill(RGB(200, 100, 0));
  suite::TintRect(surface.dc(), &area, RGB(0, 0, 200), 128);
  EXPECT_EQ(surface.At(3, 3), RGB(99, 49, 100));

  RECT empty{5, 5, 5, 9};
  RECT inverted{8, 8, 2, 2};
  surface.Fill(RGB(255, 255, 255));
  suite::TintRect(surface.dc(), &empty, RGB(0, 0, 0), 255);
  suite::TintRect(surface.dc(), &inverted, RGB(0, 0, 0), 255);
  suite::TintRect(nullptr, &area, RGB(0, 0, 0), 255);
  suite::TintRect(surface.dc(), nullptr, RGB(0, 0, 0), 255);
  EXPECT_EQ(surface.At(5, 5), RGB(255, 255, 255));
}

TEST(Drawing, FrameOutlinesFillsTilesAndCastsAShadow) {
  IssUtility& utility = *IssUtility::GetInstance();
  constexpr COLORREF kWhite = RGB(255, 255, 255);
  constexpr COLORREF kRed = RGB(255, 0, 0);
  constexpr COLORREF kGreen = RGB(0, 255, 0);
  constexpr COLORREF kBlue = RGB(0, 0, 255);
  HPEN shadow = CreatePen(PS_SOLID, 1, kRed);
  HPEN outline = static_cast<HPEN>(GetStockObject(BLACK_PEN));
  HBRUSH fill = CreateSolidBrush(kBlue);

  // Without a tile: outline over (3, 1)-(16, 10), blue inside, the shadow
  // along row 11 and column 17 up to (but not into) the top row.
  Surface plain(20, 14);
  HGDIOBJ pen = SelectObject(plain.dc(), GetStockObject(WHITE_PEN));
  HGDIOBJ brush = SelectObject(plain.dc(), GetStockObject(NULL_BRUSH));
  utility.DrawFrame(plain.dc(), 0, 0, 20, 14, outline, shadow, fill, nullptr);
  struct Probe {
    int x, y;
    COLORREF colour;
  };
  const Probe probes[] = {{3, 1, 0},       {16, 1, 0},     {3, 10, 0},      {16, 10, 0},     {4, 2, kBlue},
                          {15, 9, kBlue},  {3, 11, kRed},  {16, 11, kRed},  {17, 11, kRed},  {17, 1, kRed},
                          {17, 0, kWhite}, {2, 5, kWhite}, {18, 5, kWhite}, {3, 12, kWhite}, {10, 0, kWhite}};
  for (const Probe& p : probes) EXPECT_EQ(plain.At(p.x, p.y), p.colour) << p.x << "," << p.y;
  // The DC keeps the pen and brush it had.
  EXPECT_EQ(SelectObject(plain.dc(), pen), GetStockObject(WHITE_PEN));
  EXPECT_EQ(SelectObject(plain.dc(), brush), GetStockObject(NULL_BRUSH));

  // With a tile: it covers the inside, cut at the outline.
  HDC scratch = CreateCompatibleDC(nullptr);
  HBITMAP tileBitmap = CreateCompatibleBitmap(plain.dc(), 5, 3);  // 32 bits, like the surface
  HGDIOBJ oldScratch = SelectObject(scratch, tileBitmap);
  const RECT tileArea{0, 0, 5, 3};
  HBRUSH green = CreateSolidBrush(kGreen);
  FillRect(scratch, &tileArea, green);
  DeleteObject(green);
  SetPixel(scratch, 0, 0, kRed);
  SelectObject(scratch, oldScratch);
  DeleteDC(scratch);
  Surface tiled(20, 14);
  utility.DrawFrame(tiled.dc(), 0, 0, 20, 14, outline, shadow, fill, tileBitmap);
  EXPECT_EQ(tiled.At(4, 2), kRed) << "the tile starts inside the outline";
  EXPECT_EQ(tiled.At(9, 5), kRed) << "and repeats";
  EXPECT_EQ(tiled.At(15, 9), kGreen);
  EXPECT_EQ(tiled.At(16, 9), RGB(0, 0, 0)) << "the outline stays";
  EXPECT_EQ(tiled.At(17, 5), kRed);

  utility.DrawFrame(nullptr, 0, 0, 20, 14, outline, shadow, fill, nullptr);
  Surface untouched(20, 14);
  utility.DrawFrame(untouched.dc(), 0, 0, 20, 14, nullptr, shadow, fill, nullptr);
  EXPECT_EQ(untouched.At(3, 1), kWhite);
  DeleteObject(tileBitmap);
  DeleteObject(fill);
  DeleteObject(shadow);
}

TEST(Drawing, TilesAndTextStayInsideTheirArea) {
  IssUtility& utility = *IssUtility::GetInstance();
  Surface tile(4, 3);
  tile.Fill(RGB(0, 0, 255));
  SetPixel(tile.dc(), 0, 0, RGB(255, 0, 0));
  Surface surface(30, 20);
  utility.TileBitmap(surface.dc(), 1, 1, 11, 8, tile.dc(), 4, 3);
  EXPECT_EQ(surface.At(1, 1), RGB(255, 0, 0));
  EXPECT_EQ(surface.At(5, 4), RGB(255, 0, 0)) << "the second tile in each direction";
  EXPECT_EQ(surface.At(10, 7), RGB(0, 0, 255)) << "the last tiles are cut";
  EXPECT_EQ(surface.At(11, 7), RGB(255, 255, 255));
  EXPECT_EQ(surface.At(10, 8), RGB(255, 255, 255));

  Surface text(120, 40);
  utility.DrawTextWithFont(text.dc(), 60, 10, 16, FW_BOLD, L"Tahoma", L"Wide", RGB(0, 0, 0), 1, 0);
  int left = 120;
  int right = -1;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 120; ++x) {
      if (text.At(x, y) != RGB(255, 255, 255)) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
  }
  ASSERT_LE(left, right) << "something was drawn";
  EXPECT_LT(left, 60);
  EXPECT_GT(right, 60) << "centred on x";
}

TEST(Pictures, AFileInWindowsOverridesTheResource) {
  HMODULE self = GetModuleHandleW(nullptr);
  Surface screen(10, 10);
  suite::CBitmapImage image;
  ASSERT_TRUE(image.LoadBitmap(screen.dc(), self, 110, L"\\Windows\\ScrollUp.bmp", 77));
  EXPECT_EQ(image.GetWidth(), 6);
  EXPECT_EQ(image.GetHeight(), 3);
  EXPECT_EQ(image.GetValue(), 77u);
  EXPECT_EQ(GetPixel(image.GetDC(), 1, 1), RGB(10, 200, 30)) << "the resource";

  ASSERT_TRUE(suite_test::WriteDeviceFile(L"\\Windows\\ScrollUp.bmp", suite_test::MakeBmp(5, 2, 200, 10, 30)));
  ASSERT_TRUE(image.LoadBitmap(screen.dc(), self, 110, L"\\Windows\\ScrollUp.bmp", 0));
  EXPECT_EQ(image.GetWidth(), 5);
  EXPECT_EQ(GetPixel(image.GetDC(), 1, 1), RGB(200, 10, 30)) << "the file";

  // A file that is not a picture falls back to the resource.
  ASSERT_TRUE(suite_test::WriteDeviceFile(L"\\Windows\\Broken.bmp", "BM not really"));
  ASSERT_TRUE(image.LoadBitmap(screen.dc(), self, 110, L"\\Windows\\Broken.bmp", 0));
  EXPECT_EQ(image.GetWidth(), 6);
  EXPECT_FALSE(image.LoadBitmap(screen.dc(), self, 999, L"\\Windows\\None.bmp", 0));
  EXPECT_FALSE(image.IsLoaded());
}

TEST(Pictures, DecodedImagesFromFilesOrResources) {
  HMODULE self = GetModuleHandleW(nullptr);
  Surface screen(40, 40);
  suite::CBitmapImage image;
  ASSERT_TRUE(image.LoadImage(screen.dc(), self, 120, L"IMAGE", L"\\Windows\\Header.gif"));
  EXPECT_EQ(image.GetWidth(), 6);
  // Decoded at the depth of the DC (16 bits here), so near the colour.
  EXPECT_TRUE(Near(GetPixel(image.GetDC(), 0, 0), RGB(10, 200, 30), 8));
  ASSERT_TRUE(suite_test::WriteDeviceFile(L"\\Windows\\Header.gif", suite_test::MakeBmp(3, 4, 1, 2, 250)));
  ASSERT_TRUE(image.LoadImage(screen.dc(), self, 120, L"IMAGE", L"\\Windows\\Header.gif"));
  EXPECT_EQ(image.GetHeight(), 4);
  EXPECT_FALSE(image.LoadImage(screen.dc(), self, 121, L"IMAGE", L"\\Windows\\None.gif"))
      << "a resource id that does not exist";

  suite::CImageDecoder decoder;
  ASSERT_TRUE(decoder.DecodeResource(screen.dc(), 120, L"IMAGE", self));
  decoder.Draw(screen.dc(), 0, 0, -1, -1);
  EXPECT_TRUE(Near(screen.At(5, 2), RGB(10, 200, 30), 8));
  EXPECT_EQ(screen.At(6, 2), RGB(255, 255, 255)) << "natural size";
  screen.Fill(RGB(255, 255, 255));
  decoder.Draw(screen.dc(), 0, 0, 20, 20);
  EXPECT_TRUE(Near(screen.At(19, 19), RGB(10, 200, 30), 8)) << "stretched";
  EXPECT_FALSE(decoder.DecodeResource(screen.dc(), 121, L"IMAGE", self));
  EXPECT_FALSE(decoder.IsLoaded());
}

}  // namespace
