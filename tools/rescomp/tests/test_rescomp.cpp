// The rescomp command: scripts with errors are refused with their file,
// line and a message; pictures are stored as the DIBs the platform reads.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class Rescomp : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("rescomp-test-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // Runs the tool on a script; its exit code, with standard error kept.
  int Run(const std::string& script) {
    Write("script.ksr", script);
    const std::string command = std::string(RESCOMP_PATH) + " " + (dir_ / "script.ksr").string() + " -o " +
                                (dir_ / "out.cpp").string() + " --table " + (dir_ / "out.bin").string() + " 2> " +
                                (dir_ / "err.txt").string();
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Errors() { return Read("err.txt"); }

  fs::path dir_;
};

std::uint32_t U16(const std::string& b, std::size_t at) {
  return static_cast<std::uint8_t>(b.at(at)) | (static_cast<std::uint8_t>(b.at(at + 1)) << 8);
}
std::uint32_t U32(const std::string& b, std::size_t at) { return U16(b, at) | (U16(b, at + 2) << 16); }

// The bytes of a resource with numeric type and name in a compiled table.
std::string Resource(const std::string& table, std::uint32_t type, std::uint32_t name) {
  const std::uint32_t count = U32(table, 12);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t at = 16 + i * 16;
    if (U32(table, at) == type && U32(table, at + 4) == name)
      return table.substr(U32(table, at + 8), U32(table, at + 12));
  }
  ADD_FAILURE() << "no resource " << type << "/" << name;
  return {};
}

std::string Png(int width, int height, const std::vector<std::uint8_t>& rgba) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
  std::string out(size, '\0');
  png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr);
  out.resize(size);
  return out;
}

TEST_F(Rescomp, ErrorsNameTheFileAndLine) {
  // A BMP whose pixel rows are cut short, and one whose header lies about
  // its colour table.
  std::string header = std::string("BM") + std::string(8, '\0') + std::string("\x36\0\0\0", 4);
  std::string info(40, '\0');
  info[0] = 40;
  info[4] = 4;    // width 4
  info[8] = 4;    // height 4
  info[12] = 1;   // planes
  info[14] = 24;  // bits a pixel
  Write("short.bmp", header + info + std::string(20, '\0'));
  std::string lying = info;
  lying[14] = 8;
  lying[32] = static_cast<char>(0xFF);
  lying[33] = 1;  // 511 colours for 8 bits a pixel
  Write("lying.bmp", header + lying + std::string(4096, '\0'));
  // An icon picture whose height is not twice its rows.
  std::string odd = info;
  odd[4] = 1;
  odd[8] = 3;
  odd[14] = 32;
  Write("odd.ico", std::string("\0\0\1\0\1\0", 6) + std::string("\1\1\0\0\1\0\x20\0", 8) +
                       std::string("\x60\0\0\0\x16\0\0\0", 8) + odd + std::string(56, '\0'));
  Write("bad.ico", std::string("\0\0\1\0\1\0", 6) + std::string(8, '\0') + std::string("\x10\0\0\0\xF0\0\0\0", 8));

  struct Case {
    const char* script;
    int line;
    const char* message;
  } cases[] = {
      {"strings\n  1 \"one\"\n", 2, "no \"end\""},
      {"# a comment\nstrings\n  1 \"one\n end\n", 3, "not closed"},
      {"strings\n  1 \"one\"\n  1 \"again\"\nend\n", 3, "string 1 is already defined"},
      {"strings\n  70000 \"big\"\nend\n", 2, "out of range"},
      {"bitmap 0 \"x.bmp\"\n", 1, "1 to 65535"},
      {"\n\nbitmap 3 \"missing.bmp\"\n", 3, "missing.bmp: no such file"},
      {"bitmap 3 \"short.bmp\"\n", 1, "cut short"},
      {"bitmap 3 \"lying.bmp\"\n", 1, "colour table"},
      {"icon 3 \"bad.ico\"\n", 1, "outside the file"},
      {"\nicon 3 \"odd.ico\"\n", 2, "twice its rows"},
      {"menu 4\n  item \"A\" 10\n  popup \"B\"\n  end\nend\n", 4, "no items"},
      {"menu 4\n  item \"A\" 10 bold\nend\n", 2, "unknown menu item option \"bold\""},
      {"accelerators 3\n  VK_NOPE 40001\nend\n", 2, "unknown name \"VK_NOPE\""},
      {"accelerators 3\n  \"?\" 40001 ctrl\nend\n", 2, "letter, a digit or a virtual key"},
      {"dialog 5 0 0 10 10\n  control \"x\" 1 slider 0 0 5 5\nend\n", 2, "unknown control class \"slider\""},
      {"dialog 5 0 0 10 10\n  style WS_POPUP | \nend\n", 2, "missing"},
      {"dialog 5 0 0 10 10\n  caption \"a\"\nend\ndialog 5 0 0 10 10\nend\n", 5, "already defined"},
      {"picture 1 \"a.png\"\n", 1, "unknown statement \"picture\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    EXPECT_EQ(Run(c.script), 1);
    const std::string errors = Errors();
    EXPECT_NE(errors.find("script.ksr:" + std::to_string(c.line) + ": error: "), std::string::npos) << errors;
    EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
  }
}

TEST_F(Rescomp, PicturesBecomeDibsAndIconsGetMasks) {
  // 3 x 2: the top-left pixel transparent, the rest opaque colours.
  std::vector<std::uint8_t> rgba;
  for (int i = 0; i < 6; ++i) {
    rgba.insert(rgba.end(), {static_cast<std::uint8_t>(10 * i), 100, 200, static_cast<std::uint8_t>(i == 0 ? 0 : 255)});
  }
  Write("pic.png", Png(3, 2, rgba));
  std::vector<std::uint8_t> opaque = rgba;
  opaque[3] = 255;
  Write("opaque.png", Png(3, 2, opaque));
  ASSERT_EQ(Run("bitmap 1 \"pic.png\"\nbitmap 2 \"opaque.png\"\nicon 7 \"pic.png\"\n"), 0) << Errors();
  const std::string table = Read("out.bin");
  ASSERT_EQ(table.substr(0, 4), "KSRT");
  EXPECT_EQ(U32(table, 8), table.size());

  const std::string withAlpha = Resource(table, 2, 1);
  EXPECT_EQ(U32(withAlpha, 4), 3u);
  EXPECT_EQ(U32(withAlpha, 8), 2u);
  EXPECT_EQ(U16(withAlpha, 14), 32u);
  // Bottom-up: the top row is the second; its first pixel as B, G, R, A.
  EXPECT_EQ(withAlpha.substr(40 + 12, 4), std::string("\xC8\x64\x00\x00", 4));
  const std::string plain = Resource(table, 2, 2);
  EXPECT_EQ(U16(plain, 14), 24u);
  EXPECT_EQ(plain.size(), 40u + 2 * 12);  // rows of 9 bytes padded to 12

  const std::string group = Resource(table, 14, 7);
  ASSERT_EQ(group.size(), 6u + 14);
  EXPECT_EQ(U16(group, 4), 1u);
  EXPECT_EQ(static_cast<std::uint8_t>(group[6]), 3);
  EXPECT_EQ(static_cast<std::uint8_t>(group[7]), 2);
  const std::string icon = Resource(table, 3, U16(group, 6 + 12));
  EXPECT_EQ(U32(icon, 8), 4u) << "an icon's stored height covers the mask";
  EXPECT_EQ(U32(group, 6 + 8), icon.size());
  // The mask rows follow the colour rows; the top row is stored last.
  const std::size_t maskAt = 40 + 3 * 4 * 2;
  EXPECT_EQ(static_cast<std::uint8_t>(icon.at(maskAt + 4)), 0x80);
  EXPECT_EQ(static_cast<std::uint8_t>(icon.at(maskAt)), 0x00);

  const std::string source = Read("out.cpp");
  EXPECT_NE(source.find("ce_module_resources"), std::string::npos);
}

TEST_F(Rescomp, UsageAndBadArguments) {
  EXPECT_EQ(std::system((std::string(RESCOMP_PATH) + " --help > /dev/null").c_str()), 0);
  EXPECT_NE(std::system((std::string(RESCOMP_PATH) + " --bogus 2> /dev/null").c_str()), 0);
}

}  // namespace
