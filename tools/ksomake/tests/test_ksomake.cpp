// The ksomake command and its description parser.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "kso_writer.h"

namespace fs = std::filesystem;

namespace {

TEST(Ksomake, WritesWhatTheLibraryWrites) {
  fs::path dir = fs::temp_directory_path() / ("ksomake-test-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string text =
      "header stick\nobject flat\nvertex 0 0 0\nvertex 1 0 0\nvertex 1 1 0\nvertex 0 1 0\nface 0 1 2 3 1 2 3\n";
  std::ofstream(dir / "m.txt") << text;
  std::string command = std::string(KSOMAKE_PATH) + " " + (dir / "m.txt").string() + " " + (dir / "m.kso").string();
  ASSERT_EQ(std::system((command + " > /dev/null 2>&1").c_str()), 0);
  std::ifstream in(dir / "m.kso", std::ios::binary);
  std::vector<std::uint8_t> written{std::istreambuf_iterator<char>(in), {}};
  ksomake::Model model;
  std::string error;
  ASSERT_TRUE(ksomake::ParseModel(text, &model, &error)) << error;
  EXPECT_EQ(written, ksomake::EncodeModel(model));
  EXPECT_EQ(written.size(), 260u + 28 + 8 + 24 + 64);
  fs::remove_all(dir);
}

TEST(Ksomake, DescriptionErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"vertex 0 0 0\n", "line 1: vertex before any object"},
      {"object cubes\n", "line 1: object kind must be triangles, quads or flat"},
      {"object triangles\nvertex 0 0\n", "line 2: vertex needs three numbers"},
      {"object triangles\nvertex 0 0 0\nface 0 0\n", "line 3: face needs 3 indices and optionally 6 attribute bytes"},
      {"object flat\nface 0 1 2 3 1 2 300\n", "line 2: attribute bytes are 0 to 255"},
      {"object triangles\nvertex 0 0 0\nface 0 0 1\n", "face index 1 past the object's vertices"},
      {"# fine\nbogus\n", "line 2: unknown keyword bogus"},
  };
  for (const Case& c : cases) {
    ksomake::Model model;
    std::string error;
    EXPECT_FALSE(ksomake::ParseModel(c.text, &model, &error)) << c.text;
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace
