// The arkpack command: a folder in, an archive out; bad names refused.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string RunTool(const std::string& args) { return std::string(ARKPACK_PATH) + " " + args + " > /dev/null 2>&1"; }

std::vector<unsigned char> ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Arkpack, PacksAFolderInNameOrder) {
  fs::path dir = fs::temp_directory_path() / ("arkpack-test-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "in" / "sub");
  std::ofstream(dir / "in" / "Zeta.TGA") << "zz";
  std::ofstream(dir / "in" / "alpha.wav") << "aaa";
  std::ofstream(dir / "in" / "sub" / "skipped.bin") << "s";
  ASSERT_EQ(std::system(RunTool((dir / "in").string() + " " + (dir / "out.ark").string()).c_str()), 0);
  std::vector<unsigned char> ark = ReadFile(dir / "out.ark");
  ASSERT_EQ(ark.size(), 12u + 2 * 40 + 5);
  EXPECT_EQ(ark[4], 2);
  EXPECT_EQ(ark[5], 1);
  EXPECT_EQ(ark[8], 2) << "two members; the sub-folder is not packed";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&ark[12])), "alpha.wav");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&ark[52])), "zeta.tga") << "names are lower-cased";
  EXPECT_EQ(ark[12 + 32], 92) << "data follow the directory";
  EXPECT_EQ(std::string(ark.begin() + 92, ark.end()), "aaazz");

  std::ofstream(dir / "in" / (std::string(32, 'n') + ".x")) << "long";
  EXPECT_NE(std::system(RunTool((dir / "in").string() + " " + (dir / "bad.ark").string()).c_str()), 0);
  EXPECT_FALSE(fs::exists(dir / "bad.ark"));
  EXPECT_NE(std::system(RunTool((dir / "missing").string() + " " + (dir / "bad.ark").string()).c_str()), 0);
  fs::remove_all(dir);
}

// A symbolic link loop in the folder is named and the run refused, with no
// archive written, rather than the tool dying on an uncaught error.
TEST(Arkpack, RefusesASymlinkLoopClearly) {
  fs::path dir = fs::temp_directory_path() / ("arkpack-loop-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "in");
  std::ofstream(dir / "in" / "a.wav") << "aaa";
  fs::create_symlink("loop", dir / "in" / "loop");
  const std::string command = std::string(ARKPACK_PATH) + " " + (dir / "in").string() + " " +
                              (dir / "out.ark").string() + " > /dev/null 2> " + (dir / "err.txt").string();
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status)) << "the tool died";
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::vector<unsigned char> err = ReadFile(dir / "err.txt");
  const std::string message(err.begin(), err.end());
  EXPECT_NE(message.find("loop"), std::string::npos) << message;
  EXPECT_FALSE(fs::exists(dir / "out.ark"));
  fs::remove_all(dir);
}

}  // namespace
