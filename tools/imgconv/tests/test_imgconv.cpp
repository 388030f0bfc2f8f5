// The imgconv command: PNG in, each kind of picture out, matching the
// writer library byte for byte.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "image_writer.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

int RunTool(const std::string& args) {
  return std::system((std::string(IMGCONV_PATH) + " " + args + " > /dev/null 2>&1").c_str());
}

TEST(Imgconv, EachKindMatchesTheWriter) {
  fs::path dir = fs::temp_directory_path() / ("imgconv-test-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  imgconv::Picture picture;
  picture.width = 5;
  picture.height = 3;
  for (int i = 0; i < 15; ++i)
    picture.rgba.insert(picture.rgba.end(),
                        {static_cast<std::uint8_t>(i * 16), 40, 200, static_cast<std::uint8_t>(i == 3 ? 0 : 255)});
  std::vector<std::uint8_t> png = imgconv::EncodePng(picture);
  ASSERT_FALSE(png.empty());
  std::ofstream(dir / "in.png", std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  std::string error;
  struct Case {
    const char* kind;
    std::vector<std::uint8_t> expected;
  } cases[] = {
      {"tga24", imgconv::EncodeTga(picture, 24, false)},
      {"tga32-rle", imgconv::EncodeTga(picture, 32, true)},
      {"palette", imgconv::EncodePalettised(picture, &error)},
      {"raw16-alpha", imgconv::EncodeRaw(picture, 0xABCD0002u, true)},
      {"raw32c", imgconv::EncodeRaw(picture, 0xABCD0003u, false)},
      {"jpeg-packed", imgconv::EncodePackedJpeg(picture, 90, false)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    fs::path out = dir / (std::string(c.kind) + ".out");
    ASSERT_EQ(RunTool(std::string(c.kind) + " " + (dir / "in.png").string() + " " + out.string()), 0);
    EXPECT_EQ(ReadFile(out), c.expected);
  }
  EXPECT_NE(RunTool("tga24 " + (dir / "missing.png").string() + " " + (dir / "x").string()), 0);
  EXPECT_NE(RunTool("bmp " + (dir / "in.png").string() + " " + (dir / "x").string()), 0);
  std::ofstream(dir / "not.png") << "not a png";
  EXPECT_NE(RunTool("tga24 " + (dir / "not.png").string() + " " + (dir / "x").string()), 0);
  EXPECT_FALSE(fs::exists(dir / "x"));
  fs::remove_all(dir);
}

// A few bytes of PNG may declare a picture of a billion pixels: the size is
// refused from the header, before any memory for the pixels is taken.
TEST(Imgconv, HugeDeclaredSizeIsRefusedBeforeAllocating) {
  imgconv::Picture small;
  small.width = 1;
  small.height = 1;
  small.rgba = {1, 2, 3, 255};
  std::vector<std::uint8_t> png = imgconv::EncodePng(small);
  ASSERT_GT(png.size(), 33u);
  // The header chunk: length, "IHDR", width, height, ..., CRC over type and data.
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) png[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
  };
  auto crc = [&](std::size_t from, std::size_t to) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = from; i < to; ++i) {
      c ^= png[i];
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
  };
  struct Case {
    std::uint32_t width, height;
    bool ok;
  } cases[] = {{20000, 50000, false}, {4097, 1, false}, {1, 4097, false}, {1, 1, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    put32(16, c.width);
    put32(20, c.height);
    put32(29, crc(12, 29));
    imgconv::Picture picture;
    std::string error;
    EXPECT_EQ(imgconv::DecodePng(png, &picture, &error), c.ok) << error;
    if (!c.ok) {
      EXPECT_NE(error.find("4096"), std::string::npos) << error;
      EXPECT_LT(picture.rgba.capacity(), 1u << 20);
    }
  }
}

}  // namespace
