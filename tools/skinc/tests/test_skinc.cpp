#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "skin_compiler.h"
#include "skin_dump.h"

namespace {

// Canonical source: what skindump prints for the compiled skin.
const char kSource[] =
    "skin \"Test_1.00\"\n"
    "sizes 240x320 0x0 480x640\n"
    "kind Base\n"
    "  colour Color 1 2 3\n"
    "  font Normal \"12 1 0 0 Face Name\"\n"
    "kind Btn : Base\n"
    "  int Action 4\n"
    "  picture Normal \"0 0 4 4 5 5 9 9 s btn\"\n"
    "  int Normal -7\n"
    "form Main\n"
    "  size Size 240 268\n"
    "  text Title \"Quote \\\" back \\\\ tab \\u0009 \\u00E9t\\u00E9 \xC3\xA9\"\n"
    "  control btnOk : Btn class Button\n"
    "    text Text \"OK\"\n"
    "  child hidden\n"
    "    int Visible 0\n"
    "  control frmA class Frame\n"
    "form Main_L\n"
    "  text Devices \"P\"\n";

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Skinc, DumpGivesBackTheSourceAndRecompilesToTheSameBytes) {
  std::vector<std::uint8_t> blob;
  std::string error;
  ASSERT_TRUE(skinc::Compile(kSource, blob, error)) << error;
  std::string text;
  ASSERT_TRUE(skindump::Dump(blob, text, error)) << error;
  // The dump writes é as UTF-8 and the tab as an escape.
  std::string expected = kSource;
  expected.replace(expected.find("\\u00E9t\\u00E9"), 13, "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(text, expected);
  std::vector<std::uint8_t> again;
  ASSERT_TRUE(skinc::Compile(text, again, error)) << error;
  EXPECT_EQ(again, blob);
}

TEST(Skinc, RefusesUnsoundSources) {
  const struct {
    const char* source;
    const char* message;
  } cases[] = {
      {"form F\n", "no name"},
      {"skin \"S\"\nform ABCDEFGHIJKLMNOPQRSTUVWXYZ012345\n", "longer than 31"},
      {"skin \"S\"\nform F\nform F\n", "duplicate form"},
      {"skin \"S\"\nform F : Nope\n", "base names no kind"},
      {"skin \"S\"\nkind A : B\nkind B : A\n", "cycle"},
      {"skin \"S\"\nform F\n  int X 9999999999\n", "out of range"},
      {"skin \"S\"\nform F\n  colour C 1 2 256\n", "out of range"},
      {"skin \"S\"\nform F\n  control c\n  int X 1\n", ""},  // belongs to the control: fine
      {"skin \"S\"\nform F\n  text T \"open\n", "unterminated"},
      {"skin \"S\"\nint X 1\n", "outside"},
      {"skin \"S\"\nform F\n  int X 1\n  int X 2\n", "duplicate property"},
      {"skin \"S\"\nsizes 1x1 1x1 1x1 1x1 1x1 1x1 1x1 1x1 1x1 1x1 1x1 1x1 1x1 1x1 1x1 1x1 1x1\n", "16"},
      {"skin \"S\"\nwidget W\n", "unknown statement"},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> blob;
    std::string error;
    const bool ok = skinc::Compile(c.source, blob, error);
    if (*c.message == '\0') {
      EXPECT_TRUE(ok) << c.source << error;
    } else {
      EXPECT_FALSE(ok) << c.source;
      EXPECT_NE(error.find(c.message), std::string::npos) << c.source << " -> " << error;
    }
  }
}

TEST(Skinc, ArchiveIsAcceptedByStandardToolsAndDumpsBack) {
  const std::string dir = ::testing::TempDir() + "skinc_test";
  ASSERT_EQ(std::system(("rm -rf " + dir + " && mkdir -p " + dir).c_str()), 0);
  std::ofstream(dir + "/demo.txt") << kSource;
  std::ofstream(dir + "/btn.bmp", std::ios::binary) << std::string("BM not really a picture");
  const std::string zip = dir + "/demo.zip";
  ASSERT_EQ(std::system((std::string(SKINC_PATH) + " " + dir + "/demo.txt " + zip + " " + dir + "/btn.bmp").c_str()),
            0);
  ASSERT_EQ(std::system(("python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); "
                         "assert z.testzip() is None; assert z.namelist()==['demo.skin','btn.bmp']\" " +
                         zip)
                            .c_str()),
            0);
  if (std::system("command -v unzip >/dev/null 2>&1") == 0) {
    EXPECT_EQ(std::system(("unzip -tq " + zip + " >/dev/null").c_str()), 0);
  }
  ASSERT_EQ(std::system((std::string(SKINDUMP_PATH) + " " + zip + " > " + dir + "/dump.txt").c_str()), 0);
  std::vector<std::uint8_t> blob;
  std::string error;
  ASSERT_TRUE(skinc::Compile(Slurp(dir + "/dump.txt"), blob, error)) << error;
  std::vector<std::uint8_t> direct;
  ASSERT_TRUE(skinc::Compile(kSource, direct, error));
  EXPECT_EQ(blob, direct);
  // A bare skin dumps the same.
  ASSERT_EQ(std::system((std::string(SKINC_PATH) + " --bare " + dir + "/demo.txt " + dir + "/demo.skin").c_str()), 0);
  EXPECT_EQ(Slurp(dir + "/demo.skin"), std::string(direct.begin(), direct.end()));
}

TEST(Skindump, RefusesDamagedImages) {
  std::vector<std::uint8_t> blob;
  std::string error;
  ASSERT_TRUE(skinc::Compile(kSource, blob, error));
  std::string text;
  EXPECT_FALSE(skindump::Dump(std::vector<std::uint8_t>(blob.begin(), blob.begin() + 199), text, error));
  std::vector<std::uint8_t> bad = blob;
  bad[64] = 0xF0, bad[65] = 0xFF, bad[66] = 0xFF, bad[67] = 0x7F;  // forms root far past the end
  EXPECT_FALSE(skindump::Dump(bad, text, error));
  bad = blob;
  for (int i = 0; i < 64; ++i) bad[i] = 'A';  // unterminated skin name
  EXPECT_FALSE(skindump::Dump(bad, text, error));
}

}  // namespace
