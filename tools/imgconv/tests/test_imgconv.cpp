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

}  // namespace
