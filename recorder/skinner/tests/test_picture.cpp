#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "liba/zip_file.h"
#include "os/file.h"
#include "skin_art.h"
#include "skin_compiler.h"
#include "skinner/bitmap.h"
#include "skinner/picture.h"

namespace {

using skinner::Bitmap;
using skinner::Picture;
using skinner::Point;

void WriteFile(const std::wstring& path, const std::string& bytes) {
  os::File f(path, 1);
  f.write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

Point BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  return {info.bmWidth, info.bmHeight};
}

std::string Skin(const std::string& source) {
  std::vector<std::uint8_t> blob;
  std::string error;
  EXPECT_TRUE(skinc::Compile(source, blob, error)) << error;
  return {blob.begin(), blob.end()};
}

const skinart::Rgb kRed{200, 30, 30};

TEST(Picture, ParsesScalesAndMapsTheNinePatch) {
  Picture p;
  EXPECT_TRUE(p.is_transparent_at({0, 0}, {0, 0}, {10, 10}));  // no bitmap
  EXPECT_FALSE(p.load(L"0 0 4 4 5 5 9", L"", 1.0));
  ASSERT_TRUE(p.load(L"0 0 4 4 5 5 9 9 s img", L"", 2.0));
  EXPECT_EQ(p.b(), (Point{8, 8}));
  EXPECT_EQ(p.c(), (Point{9, 9}));  // the one-pixel middle stays one pixel
  EXPECT_EQ(p.d(), (Point{18, 18}));
  EXPECT_EQ(p.full_size(), (Point{18, 18}));
  EXPECT_EQ(p.min_size(), (Point{17, 17}));
  EXPECT_TRUE(p.is_stretch());
  ASSERT_TRUE(p.load(L"0 0 4 4 6 6 9 9", L"", 2.0));
  EXPECT_EQ(p.c(), (Point{12, 12}));
  EXPECT_TRUE(p.is_stretch());  // no mode word
  ASSERT_TRUE(p.load(L"0 0 4 4 5 5 9 9 tile", L"", 1.0));
  EXPECT_FALSE(p.is_stretch());
  // Tiling a one-pixel middle: every middle offset maps to 4.
  const struct {
    int p;
    int mapped;
  } tile[] = {{10, 0}, {14, 4}, {15, 4}, {25, 4}, {26, 5}, {29, 8}, {30, -1}, {9, -1}};
  for (const auto& t : tile) EXPECT_EQ(p.map_point({t.p, t.p}, {10, 10}, {20, 20}).x, t.mapped) << t.p;
  ASSERT_TRUE(p.load(L"0 0 2 2 6 6 8 8 S x", L"", 1.0));
  EXPECT_EQ(p.map_point({6, 1}, {0, 0}, {12, 12}), (Point{4, 1}));
  // C before B counts as C = B.
  ASSERT_TRUE(p.load(L"0 0 4 4 2 2 9 9 t x", L"", 1.0));
  EXPECT_EQ(p.map_point({7, 7}, {0, 0}, {20, 20}).x, 0);
  EXPECT_EQ((Point{7, -7} * 1.5), (Point{10, -10}));
  EXPECT_EQ((Point{10, 9} / 2.0), (Point{5, 4}));
}

TEST(Picture, SharesOneBitmapPerImageAndScale) {
  EXPECT_FALSE(Picture::cache_exists());
  {
    Picture a, b, c;
    ASSERT_TRUE(a.load(L"0 0 1 1 2 2 3 3 s one", L"%my_documents%/none.zip", 1.0));
    ASSERT_TRUE(b.load(L"0 0 1 1 2 2 3 3 t one", L"%my_documents%/none.zip", 1.0));
    ASSERT_TRUE(c.load(L"0 0 1 1 2 2 3 3 s one", L"%my_documents%/none.zip", 2.0));
    EXPECT_EQ(a.get_bitmap(), b.get_bitmap());
    EXPECT_NE(a.get_bitmap(), c.get_bitmap());
    EXPECT_FALSE(a.get_bitmap()->is_loaded());  // a missing image still has its entry
    EXPECT_EQ(Picture::cache_size(), 2u);
    {
      Picture copy = c;
      c = a;
      EXPECT_EQ(Picture::cache_size(), 2u);
    }
    EXPECT_EQ(Picture::cache_size(), 1u);
  }
  EXPECT_FALSE(Picture::cache_exists());
}

TEST(Bitmap, LoadsFromTheArchiveFirstThenBesideTheSkin) {
  os::create_directory(L"%my_documents%/art");
  WriteFile(L"%my_documents%/art/s.zip",
            skinc::StoredZip({{"s.skin", Skin("skin \"S\"\n")},
                              {"btn.bmp", skinart::EncodeBmp24(skinart::Image(10, 7, kRed))},
                              {"btn_1.bmp", skinart::EncodeBmp24(skinart::RoundedMask(10, 7, 3))},
                              {"btn_8.bmp", skinart::EncodeBmp24(skinart::SoftAlpha(10, 7, 3, 2))},
                              {"glow.bmp", skinart::EncodeBmp24(skinart::Image(4, 4, kRed))},
                              {"glow_8.bmp", skinart::EncodeBmp8Grey(skinart::SoftAlpha(4, 4, 0, 0))}}));
  WriteFile(L"%my_documents%/art/btn.bmp", skinart::EncodeBmp24(skinart::Image(3, 3, kRed)));
  WriteFile(L"%my_documents%/art/side.bmp", skinart::EncodeBmp24(skinart::Image(5, 6, kRed)));

  const Bitmap btn(L"%my_documents%/art/s.zip", L"btn", 1.5);
  ASSERT_TRUE(btn.is_loaded());
  EXPECT_EQ(btn.width(), 10);  // the archive's, not the plain file's
  EXPECT_EQ(btn.height(), 7);
  EXPECT_EQ(BitmapSize(btn.colour()), (Point{15, 10}));
  ASSERT_NE(btn.mask(), nullptr);
  EXPECT_FALSE(btn.is_alpha());                // "_1" wins over "_8"
  EXPECT_TRUE(btn.is_transparent_at({0, 0}));  // the rounded corner
  EXPECT_FALSE(btn.is_transparent_at({7, 5}));
  EXPECT_TRUE(btn.is_transparent_at({-1, 5}));

  const Bitmap glow(L"%my_documents%/art/s.zip", L"glow", 1.0);
  ASSERT_TRUE(glow.is_loaded());
  EXPECT_TRUE(glow.is_alpha());
  EXPECT_EQ(BitmapSize(glow.colour()), (Point{4, 4}));
  EXPECT_FALSE(glow.is_transparent_at({1, 1}));

  const Bitmap side(L"%my_documents%/art/s.zip", L"side", 2.0);
  ASSERT_TRUE(side.is_loaded());
  EXPECT_EQ(BitmapSize(side.colour()), (Point{10, 12}));
  EXPECT_EQ(side.mask(), nullptr);
  EXPECT_FALSE(side.is_transparent_at({0, 0}));
  EXPECT_FALSE(Bitmap(L"%my_documents%/art/s.zip", L"nothing", 1.0).is_loaded());
}

// A BMP header with one field changed, for the own reader.
std::string Patched(std::string bmp, std::size_t at, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) bmp[at + i] = static_cast<char>(value >> (8 * i));
  return bmp;
}

TEST(Bitmap, OwnReaderChecksTheHeaderBeforeTrustingIt) {
  const std::string grey = skinart::EncodeBmp8Grey(skinart::SoftAlpha(6, 5, 0, 2));
  const std::string colour = skinart::EncodeBmp24(skinart::Image(6, 5, kRed));
  const struct {
    const char* what;
    std::string bmp;
    bool made;
  } cases[] = {
      {"8 bits with 256 colours", grey, true},
      {"24 bits", colour, true},
      {"pixel data cut short", colour.substr(0, 70), true},
      {"3 bits per pixel", Patched(colour, 28, 3, 2), false},
      {"width 0", Patched(colour, 18, 0, 4), false},
      {"height beyond the limit", Patched(colour, 22, 20000, 4), false},
      {"negative width", Patched(colour, 18, 0xFFFFFFF0u, 4), false},
      {"pixels inside the header", Patched(colour, 10, 20, 4), false},
      {"compressed", Patched(colour, 30, 1, 4), false},
      {"not a BMP", Patched(colour, 0, 'X', 1), false},
      {"header cut short", colour.substr(0, 30), false},
  };
  for (const auto& c : cases) {
    WriteFile(L"%my_documents%/own.zip", skinc::StoredZip({{"img.bmp", c.bmp}}));
    liba::ZipFile zip(L"%my_documents%/own.zip");
    HBITMAP out = nullptr;
    EXPECT_TRUE(skinner::load_zipped_image(zip, L"img.bmp", 0, out)) << c.what;
    EXPECT_EQ(out != nullptr, c.made) << c.what;
    if (out != nullptr) {
      EXPECT_EQ(BitmapSize(out), (Point{6, 5})) << c.what;
      DeleteObject(out);
    }
  }
  liba::ZipFile zip(L"%my_documents%/own.zip");
  HBITMAP out = nullptr;
  EXPECT_TRUE(skinner::load_zipped_image(zip, L"missing.bmp", 0, out));
  EXPECT_EQ(out, nullptr);
}

TEST(Picture, SkinLookupSkipsTextsThatAreNoDescriptor) {
  skinner::PropertiesImpl p(
      [] {
        const std::string s = Skin(
            "skin \"S\"\nkind K\n  picture Look \"0 0 1 1 2 2 3 3 s x\"\n"
            "form F\n  control c : K\n    picture Look \"1 2 3\"\n");
        return std::vector<std::uint8_t>(s.begin(), s.end());
      }(),
      {});
  const Picture look = p.read_picture(L"K", L"c", L"F", L"Look", Picture());
  EXPECT_EQ(look.d(), (Point{3, 3}));
  EXPECT_EQ(p.read_picture(L"", L"c", L"F", L"Look", Picture()).get_bitmap(), nullptr);
}

}  // namespace
