#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/file.h"
#include "os/path.h"
#include "scoped_setting.h"
#include "screen_config.h"
#include "skin_art.h"
#include "skin_compiler.h"
#include "skinner/bitmap.h"
#include "skinner/canvas.h"
#include "skinner/font.h"
#include "skinner/picture.h"

namespace {

using skinner::Canvas;
using skinner::CanvasImpl;
using skinner::Colour;
using skinner::Picture;
using skinner::Point;

constexpr int kWidth = 64;
constexpr int kHeight = 48;
const Colour kBackground{96, 48, 200, 255};

// Every pixel its own colour, so a drawn pixel tells where it came from.
skinart::Image Grid(int w, int h, int step) {
  skinart::Image image(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      image.at(x, y) = {static_cast<std::uint8_t>(x * step), static_cast<std::uint8_t>(y * step), 100};
  }
  return image;
}

skinart::Image Filled(int w, int h, std::vector<std::pair<Point, skinart::Rgb>> pixels, skinart::Rgb fill) {
  skinart::Image image(w, h, fill);
  for (const auto& [at, colour] : pixels) image.at(at.x, at.y) = colour;
  return image;
}

// A back buffer like the form's: compatible with the screen, in a memory
// context, filled with the background colour.
class CanvasTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    config_ = std::make_unique<ce::test::ScreenConfig>(std::initializer_list<std::pair<const char*, const char*>>{
        {"DEVICE_SCREEN_BPP", GetParam() == 16 ? "16" : "32"}});
    HDC screen = GetDC(nullptr);
    buffer_ = CreateCompatibleBitmap(screen, kWidth, kHeight);
    dc_ = CreateCompatibleDC(screen);
    old_ = SelectObject(dc_, buffer_);
    scratch_bitmap_ = CreateCompatibleBitmap(screen, 1, 1);
    scratch_ = CreateCompatibleDC(screen);
    old_scratch_ = SelectObject(scratch_, scratch_bitmap_);
    ReleaseDC(nullptr, screen);
    impl_ = std::make_unique<CanvasImpl>(dc_, Point{0, 0}, Point{kWidth, kHeight});
    canvas_.set_impl(impl_.get());
    canvas_.fill({0, 0}, {kWidth, kHeight}, kBackground);
    skin_ = L"%my_documents%/canvas" + std::to_wstring(GetParam()) + L".zip";
  }
  void TearDown() override {
    impl_.reset();
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(buffer_);
    SelectObject(scratch_, old_scratch_);
    DeleteDC(scratch_);
    DeleteObject(scratch_bitmap_);
    config_.reset();
  }

  void Skin(const std::vector<std::pair<std::string, std::string>>& images) {
    std::vector<std::uint8_t> blob;
    std::string error;
    ASSERT_TRUE(skinc::Compile("skin \"S\"\n", blob, error)) << error;
    std::vector<std::pair<std::string, std::string>> members{{"s.skin", std::string(blob.begin(), blob.end())}};
    members.insert(members.end(), images.begin(), images.end());
    const std::string zip = skinc::StoredZip(members);
    os::File f(skin_, 1);
    f.write(zip.data(), static_cast<std::uint32_t>(zip.size()));
  }
  Picture Load(const std::wstring& descriptor) {
    Picture p;
    EXPECT_TRUE(p.load(descriptor, skin_, 1.0));
    EXPECT_TRUE(p.get_bitmap() != nullptr && p.get_bitmap()->is_loaded());
    return p;
  }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y) & 0xFFFFFF; }
  // A colour as the back buffer's depth keeps it.
  COLORREF Kept(COLORREF c) const {
    SetPixel(scratch_, 0, 0, c);
    return GetPixel(scratch_, 0, 0) & 0xFFFFFF;
  }
  COLORREF Source(const Picture& p, int x, int y) const {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, p.get_bitmap()->colour());
    const COLORREF c = GetPixel(dc, x, y) & 0xFFFFFF;
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return c;
  }
  COLORREF Background() const { return Kept(skinner::to_colorref(kBackground)); }
  // Row y of the canvas from x0 shows these source columns of row sy (-1:
  // the background).
  void ExpectRow(const Picture& p, int x0, int y, int sy, const std::vector<int>& columns, const char* what) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const int x = x0 + static_cast<int>(i);
      const COLORREF want = columns[i] < 0 ? Background() : Source(p, columns[i], sy);
      EXPECT_EQ(At(x, y), want) << what << " column " << i << " at " << GetParam() << " bits";
    }
  }

  std::unique_ptr<ce::test::ScreenConfig> config_;
  HBITMAP buffer_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
  HBITMAP scratch_bitmap_ = nullptr;
  HDC scratch_ = nullptr;
  HGDIOBJ old_scratch_ = nullptr;
  std::unique_ptr<CanvasImpl> impl_;
  Canvas canvas_;
  std::wstring skin_;
};

TEST_P(CanvasTest, NinePartsShrinkTileAndStretch) {
  Skin({{"grid.bmp", skinart::EncodeBmp24(Grid(11, 11, 20))}, {"wide.bmp", skinart::EncodeBmp24(Grid(24, 4, 10))}});
  // Borders 4 and 4, middle 3; drawn 11 high so rows are not scaled.
  const Picture stretch = Load(L"0 0 4 4 7 7 11 11 s grid");
  stretch.draw(canvas_, {0, 0}, {6, 11});  // 3 and 3, no centre
  ExpectRow(stretch, 0, 0, 0, {0, 1, 2, 8, 9, 10, -1}, "narrow top");
  ExpectRow(stretch, 0, 5, 5, {0, 1, 2, 8, 9, 10, -1}, "narrow middle");
  stretch.draw(canvas_, {10, 0}, {8, 11});  // exactly both borders
  ExpectRow(stretch, 10, 0, 0, {0, 1, 2, 3, 7, 8, 9, 10, -1}, "borders only");
  ExpectRow(stretch, 10, 5, 5, {0, 1, 2, 3, 7, 8, 9, 10, -1}, "side edges only");
  // Tiles: the last one cut, never scaled.
  const Picture tile = Load(L"0 0 4 4 7 7 11 11 tile grid");
  tile.draw(canvas_, {20, 0}, {16, 11});
  ExpectRow(tile, 20, 0, 0, {0, 1, 2, 3, 4, 5, 6, 4, 5, 6, 4, 5, 7, 8, 9, 10, -1}, "tiled top edge");
  ExpectRow(tile, 20, 5, 5, {0, 1, 2, 3, 4, 5, 6, 4, 5, 6, 4, 5, 7, 8, 9, 10, -1}, "tiled centre");
  // Stretched middle: it starts and ends with the middle's own columns.
  stretch.draw(canvas_, {40, 0}, {20, 11});
  ExpectRow(stretch, 40, 5, 5, {0, 1, 2, 3, 4}, "stretched start");
  ExpectRow(stretch, 40 + 15, 5, 5, {6, 7, 8, 9, 10, -1}, "stretched end");
  // Borders 2 and 20 in 10: no left border, the right one 10 wide.
  const Picture wide = Load(L"0 0 2 0 3 0 23 4 s wide");
  wide.draw(canvas_, {0, 20}, {10, 4});
  ExpectRow(wide, 0, 20, 0, {13, 14, 15, 16, 17, 18, 19, 20, 21, 22, -1}, "lopsided");
}

TEST_P(CanvasTest, OnePixelCentresAndMasks) {
  const skinart::Rgb white{255, 255, 255};
  const skinart::Rgb black{0, 0, 0};
  Skin({{"dot.bmp", skinart::EncodeBmp24(Grid(9, 9, 25))},
        {"hole.bmp", skinart::EncodeBmp24(Grid(9, 9, 25))},
        {"hole_1.bmp", skinart::EncodeBmp24(Filled(9, 9, {{{4, 4}, black}, {{0, 0}, black}}, white))}});
  // A 1 x 1 centre fills the whole middle with its colour.
  const Picture dot = Load(L"0 0 4 4 5 5 9 9 s dot");
  dot.draw(canvas_, {0, 0}, {20, 20});
  ExpectRow(dot, 0, 10, 4, {0, 1, 2, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 6, 7, 8}, "filled centre");
  // Transparent in the mask: the centre and the corner pixel stay as they were.
  const Picture hole = Load(L"0 0 4 4 5 5 9 9 s hole");
  canvas_.fill({0, 0}, {kWidth, kHeight}, kBackground);
  hole.draw(canvas_, {0, 0}, {20, 20});
  ExpectRow(hole, 0, 10, 4, {0, 1, 2, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 5, 6, 7, 8}, "masked centre");
  ExpectRow(hole, 0, 0, 0, {-1, 1, 2, 3}, "masked corner");
  EXPECT_TRUE(hole.is_transparent_at({0, 0}, {0, 0}, {20, 20}));
  EXPECT_TRUE(hole.is_transparent_at({12, 12}, {0, 0}, {20, 20}));
  EXPECT_FALSE(hole.is_transparent_at({1, 0}, {0, 0}, {20, 20}));
  // Nothing at all for an empty rectangle or a picture without image.
  canvas_.fill({0, 0}, {kWidth, kHeight}, kBackground);
  dot.draw(canvas_, {5, 5}, {0, 10});
  Picture().draw(canvas_, {5, 5}, {10, 10});
  EXPECT_EQ(At(5, 5), Background());
}

TEST_P(CanvasTest, AlphaMapsBlendOverTheBackground) {
  const skinart::Rgb colour{250, 130, 10};
  skinart::Image alpha(4, 1);
  const int levels[] = {255, 0, 128, 64};
  for (int x = 0; x < 4; ++x) alpha.at(x, 0) = {static_cast<std::uint8_t>(levels[x]), 0, 0};
  Skin({{"glow.bmp", skinart::EncodeBmp24(skinart::Image(4, 1, colour))},
        {"glow_8.bmp", skinart::EncodeBmp8Grey(alpha)}});
  const Picture glow = Load(L"0 0 0 0 4 1 4 1 s glow");
  ASSERT_TRUE(glow.get_bitmap()->is_alpha());
  glow.draw(canvas_, {2, 3}, {4, 1});
  const COLORREF d = Background();
  const COLORREF s = Source(glow, 0, 0);
  for (int x = 0; x < 4; ++x) {
    const int a = levels[x];
    const auto mix = [&](int shift) {
      return ((((d >> shift) & 0xFF) * (256 - a) + ((s >> shift) & 0xFF) * a) >> 8) & 0xFF;
    };
    const COLORREF want = Kept(RGB(mix(0), mix(8), mix(16)));
    // 5-6-5 pixels widen to eight bits by more than one rule on the way
    // through the buffers: a step of the narrowest channel is allowed there.
    const int slack = GetParam() == 16 ? 8 : 0;
    for (int shift : {0, 8, 16}) {
      EXPECT_NEAR(static_cast<int>((At(2 + x, 3) >> shift) & 0xFF), static_cast<int>((want >> shift) & 0xFF), slack)
          << "alpha " << a << " at " << GetParam() << " bits";
    }
  }
  EXPECT_EQ(At(3, 3), d);  // alpha 0 leaves the background as it was
  EXPECT_EQ(At(1, 3), d);
  EXPECT_EQ(At(6, 3), d);
  // The blending buffers are kept between draws: a picture with no middle
  // after a wider one leaves its middle untouched.
  glow.draw(canvas_, {0, 10}, {12, 1});
  const Picture hollow = Load(L"0 0 2 0 2 1 4 1 s glow");
  hollow.draw(canvas_, {0, 12}, {10, 1});
  for (int x = 2; x < 8; ++x) EXPECT_EQ(At(x, 12), d) << x;
  EXPECT_NE(At(0, 12), d);  // the opaque left border
}

TEST_P(CanvasTest, ClipsReplaceEachOther) {
  const Colour red{250, 0, 0, 255};
  canvas_.set_clip({0, 0}, {10, 10});
  canvas_.set_clip({20, 20}, {10, 10});
  canvas_.fill({0, 0}, {kWidth, kHeight}, red);
  canvas_.restore_clip();  // pixels outside the clip do not read
  EXPECT_EQ(At(5, 5), Background());
  EXPECT_EQ(At(25, 25), Kept(skinner::to_colorref(red)));
  EXPECT_EQ(At(30, 25), Background());
  canvas_.restore_clip();
  canvas_.fill({0, 0}, {1, 1}, red);
  EXPECT_EQ(At(0, 0), Kept(skinner::to_colorref(red)));
}

// The box font draws each letter as a block one pixel narrower than its
// advance (half the height), so where the ink lies is exact.
TEST_P(CanvasTest, TextInEachAlignment) {
  ce::test::ScopedSetting boxes("DEVICE_FONT_TEST", "fixed");
  skinner::FontDesc font;
  font.parse(L"10 0 0 0 Sans");
  const Colour ink{0, 0, 0, 255};
  const COLORREF black = Kept(0);
  // Bounds of the ink inside a 40 x 20 box at (x, y).
  const auto ink_bounds = [&](int x, int y) {
    int left = 99, right = -1, top = 99, bottom = -1;
    for (int j = 0; j < 20; ++j) {
      for (int i = 0; i < 40; ++i) {
        if (At(x + i, y + j) != black) continue;
        left = std::min(left, i);
        right = std::max(right, i);
        top = std::min(top, j);
        bottom = std::max(bottom, j);
      }
    }
    return std::vector<int>{left, right, top, bottom};
  };
  std::vector<int> top_left;
  for (int v = 0; v < 3; ++v) {
    for (int h = 0; h < 3; ++h) {
      canvas_.fill({0, 0}, {kWidth, kHeight}, kBackground);
      skinner::draw_text(font, canvas_, ink, L"ab", {4, 4}, {40, 20}, h, v);
      const std::vector<int> b = ink_bounds(4, 4);
      if (h == 0 && v == 0) top_left = b;
      ASSERT_EQ(top_left[0], 0);
      const int dx = h == 0 ? 0 : h == 1 ? (40 - 10) / 2 : 40 - 10;
      const int dy = v == 0 ? 0 : v == 1 ? (20 - 10) / 2 : 20 - 10;
      EXPECT_EQ(b, (std::vector<int>{top_left[0] + dx, top_left[1] + dx, top_left[2] + dy, top_left[3] + dy}))
          << "alignment " << h << "," << v;
    }
  }
  EXPECT_EQ(top_left[1], 8);  // two letters of advance 5, the second's last inked column 8
  // Fitted: exactly as wide as the box gets the ellipsis (a third block).
  canvas_.fill({0, 0}, {kWidth, kHeight}, kBackground);
  skinner::layout_text(font, canvas_, ink, L"abcd", {4, 4}, {20, 20}, 0, 0);
  EXPECT_EQ(ink_bounds(4, 4)[1], 13);
  canvas_.fill({0, 0}, {kWidth, kHeight}, kBackground);
  skinner::layout_text(font, canvas_, ink, L"abcd", {4, 4}, {21, 20}, 0, 0);
  EXPECT_EQ(ink_bounds(4, 4)[1], 18);
  // Text is clipped to its box, and a desc without font draws nothing.
  canvas_.fill({0, 0}, {kWidth, kHeight}, kBackground);
  skinner::draw_text(font, canvas_, ink, L"abcdefgh", {4, 4}, {12, 20}, 0, 0);
  EXPECT_EQ(ink_bounds(4, 4)[1], 11);
  canvas_.fill({0, 0}, {kWidth, kHeight}, kBackground);
  skinner::draw_text(skinner::FontDesc(), canvas_, ink, L"ab", {4, 4}, {40, 20}, 0, 0);
  EXPECT_EQ(ink_bounds(4, 4)[1], -1);
}

INSTANTIATE_TEST_SUITE_P(Depths, CanvasTest, ::testing::Values(16, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return "Bits" + std::to_string(info.param); });

}  // namespace
