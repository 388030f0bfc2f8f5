#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ce/testing.h"
#include "ce/winbase.h"
#include "os/file.h"
#include "os/finder.h"
#include "os/path.h"
#include "scoped_setting.h"
#include "temp_device.h"

namespace {

const std::wstring kProgram = L"\\Program Files\\vo_support_tests\\vo_support_tests.exe";

TEST(PathMacros, LeadingMacroExpandsAndSlashesTurn) {
  EXPECT_EQ(os::get_module_file_name(), kProgram);
  EXPECT_EQ(os::expand_path(L"%app_path%/skins/default/default.skin"),
            L"\\Program Files\\vo_support_tests\\skins\\default\\default.skin");
  EXPECT_EQ(os::expand_path(L"%app_full_name%.txt"), kProgram + L".txt");
  EXPECT_EQ(os::expand_path(L"%app_name%"), L"vo_support_tests.exe");
  EXPECT_EQ(os::expand_path(L"%my_documents%/a/b.wav"), L"\\My Documents\\a\\b.wav");
  EXPECT_EQ(os::expand_path(L"%windows%"), L"\\Windows");
  // Only a macro at the start, written exactly, counts.
  EXPECT_EQ(os::expand_path(L"x%app_path%/a"), L"x%app_path%\\a");
  EXPECT_EQ(os::expand_path(L"%APP_PATH%/a"), L"%APP_PATH%\\a");
  EXPECT_EQ(os::expand_path(L"\\a/%my_documents%"), L"\\a\\%my_documents%");
}

TEST(PathText, PartsOfAPath) {
  struct Case {
    std::wstring path, directory, file, extension, title;
  };
  const std::vector<Case> cases = {
      {L"\\a\\b\\c.wav", L"\\a\\b\\", L"c.wav", L"wav", L"c"},
      {L"c.wav", L"", L"c.wav", L"wav", L"c"},
      {L"\\a.dir\\file", L"\\a.dir\\", L"file", L"", L"file"},
      {L"/x/y/rec1.mp3", L"/x/y/", L"rec1.mp3", L"mp3", L"rec1"},
      {L"\\a\\", L"\\a\\", L"", L"", L""},
      {L"", L"", L"", L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
    EXPECT_EQ(os::path_directory(c.path), c.directory);
    EXPECT_EQ(os::path_file_name(c.path), c.file);
    EXPECT_EQ(os::path_extension(c.path), c.extension);
    EXPECT_EQ(os::path_title(c.path), c.title);
  }
  EXPECT_EQ(os::path_extension_pos(L"\\a.dir\\file"), -1);
  EXPECT_EQ(os::path_change_extension(L"\\a\\rec.wav", L"mp3"), L"\\a\\rec.mp3");
  EXPECT_EQ(os::path_change_extension(L"\\a.b\\rec", L"wav"), L"\\a.b\\rec.wav");
  EXPECT_EQ(os::path_parent_directory(L"\\a\\b\\"), L"\\a\\");
  EXPECT_EQ(os::path_parent_directory(L"\\a"), L"\\");
  EXPECT_EQ(os::path_strip_separator(L""), L"");
  EXPECT_EQ(os::path_strip_separator(L"\\a//"), L"\\a/");
}

TEST(PathText, JoinCompareAndPrefix) {
  EXPECT_EQ(os::path_join(L"", L"n"), L"n");
  EXPECT_EQ(os::path_join(L"\\", L"n"), L"\\n");
  EXPECT_EQ(os::path_join(L"\\a\\", L"n"), L"\\a\\n");
  EXPECT_EQ(os::path_join(L"\\a", L"n"), L"\\a\\n");
  EXPECT_TRUE(os::paths_equal(L"\\My Documents\\Rec\\", L"\\my documents\\REC"));
  EXPECT_TRUE(os::paths_equal(L"%my_documents%/x", L"\\My Documents\\X"));
  EXPECT_FALSE(os::paths_equal(L"\\a\\b", L"\\a\\bc"));
  EXPECT_TRUE(os::path_has_prefix(L"\\Storage Card", L"\\storage card\\My Documents"));
  EXPECT_TRUE(os::path_has_prefix(L"\\Storage Card", L"\\Storage Card"));
  EXPECT_FALSE(os::path_has_prefix(L"\\Storage Card", L"\\My Documents"));
  EXPECT_FALSE(os::path_has_prefix(L"\\Storage Card", L"\\St"));
  EXPECT_FALSE(os::path_has_prefix(L"\\Storage Card", L"\\Storage Card2\\My Documents"));
  EXPECT_TRUE(os::path_has_prefix(L"\\Storage Card\\", L"\\Storage Card\\x"));
  EXPECT_EQ(os::to_upper(L"abcÄ"), L"ABCÄ");
  EXPECT_EQ(os::to_lower(L"ABC"), L"abc");
}

TEST(SpecialFolders, KnownAndUnknown) {
  EXPECT_EQ(os::get_special_folder(5), L"\\My Documents");
  EXPECT_EQ(os::get_special_folder(0x7777), L"");
}

struct Recorder : os::Finder {
  std::vector<std::wstring> seen;
  int stop_after_files = -1;
  bool on_file(const std::wstring& path) override {
    seen.push_back(L"F " + path);
    return stop_after_files < 0 || static_cast<int>(seen.size()) < stop_after_files;
  }
  bool on_directory(const std::wstring& path) override {
    seen.push_back(L"D " + path);
    return true;
  }
};

std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
  std::sort(v.begin(), v.end());
  return v;
}

void Touch(const std::wstring& path) { os::File(path, 1).write("x", 1); }

class FinderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    os::create_directory(L"%my_documents%/scan/sub/deeper");
    os::create_directory(L"%my_documents%/scan/other");
    Touch(L"%my_documents%/scan/a.wav");
    Touch(L"%my_documents%/scan/b.txt");
    Touch(L"%my_documents%/scan/sub/c.wav");
    Touch(L"%my_documents%/scan/sub/deeper/d.wav");
  }
};

TEST_F(FinderTest, FilesThenFoldersRecursively) {
  Recorder r;
  EXPECT_TRUE(os::Finder::find(r, L"%my_documents%/scan", L"*.wav", L"*", true));
  const std::wstring base = L"%my_documents%/scan\\";
  EXPECT_EQ(Sorted(r.seen),
            Sorted({L"F " + base + L"a.wav", L"D " + base + L"sub", L"F " + base + L"sub\\c.wav",
                    L"D " + base + L"sub\\deeper", L"F " + base + L"sub\\deeper\\d.wav", L"D " + base + L"other"}));
  ASSERT_FALSE(r.seen.empty());
  EXPECT_EQ(r.seen.front(), L"F " + base + L"a.wav");

  Recorder flat;
  os::Finder::find(flat, L"%my_documents%/scan", L"*", L"*", false);
  EXPECT_EQ(flat.seen.size(), 4u);  // two files, two folders
}

TEST_F(FinderTest, StopAfterFirstFileEndsTheScan) {
  Recorder r;
  r.stop_after_files = 1;
  EXPECT_TRUE(os::Finder::find(r, L"%my_documents%/scan", L"*", L"*", true));
  ASSERT_EQ(r.seen.size(), 1u);
  EXPECT_EQ(r.seen[0].substr(0, 2), L"F ");
}

TEST_F(FinderTest, MissingFolderGivesNoCallbacks) {
  Recorder r;
  EXPECT_TRUE(os::Finder::find(r, L"%my_documents%/nothing", L"*", L"*", true));
  EXPECT_TRUE(r.seen.empty());
}

TEST(FindDrives, ListsTheStorageCardFoldersOnly) {
  ce::test::TempDevice card_a;
  ce::test::TempDevice card_b;
  ce::test::ScopedSetting cards("DEVICE_STORAGE_CARDS", "Storage Card=" + card_a.root() + "; SD Card=" + card_b.root());
  ce::testing::ReloadDevice();
  os::create_directory(L"\\Plain");
  Recorder r;
  EXPECT_TRUE(os::Finder::find_drives(r));
  EXPECT_EQ(Sorted(r.seen), Sorted({L"D \\SD Card", L"D \\Storage Card"}));
  ce::testing::ReloadDevice();
}

}  // namespace
