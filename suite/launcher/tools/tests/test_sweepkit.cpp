// Sweepkit: the cleaner empties only its own folders. A folder the registry
// names is taken only when it is a plain folder that holds nothing the user
// or the programs keep; the root, "\Windows", the storage root, a storage
// card, "\My Documents" and a folder reached through a link are refused,
// and everything outside the cleaned folders stays as it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ce/testing.h"
#include "sweepkit.h"
#include "test_host.h"

namespace tessivo {
namespace {

using test::DeviceFileExists;
using test::RunSteps;
using test::TestHost;
using test::WriteDeviceFile;

constexpr wchar_t kShellFolders[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr wchar_t kGuestCookies[] = L"\\Storage\\Windows\\Profiles\\guest\\Cookies";

void MakeFolders(const wchar_t* path) {
  std::wstring partial;
  for (const wchar_t* p = path; *p; ++p) {
    if (*p == L'\\' && !partial.empty()) CreateDirectoryW(partial.c_str(), nullptr);
    partial += *p;
  }
  CreateDirectoryW(partial.c_str(), nullptr);
}

void SetShellFolder(const wchar_t* name, const wchar_t* value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0, 0, nullptr, &key, nullptr), 0);
  if (value == nullptr) {
    RegDeleteValueW(key, name);
  } else {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
  }
  RegCloseKey(key);
}

std::string Host(const char* relative) { return ce::testing::DeviceRoot() + "/" + relative; }

class Sweepkit : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("DEVICE_STORAGE_CARDS", "Storage Card", 1);
    for (const char* planted : {"Temp", "Cache", "Storage", "My Documents", "Storage Card", "root.txt"}) {
      std::filesystem::remove_all(Host(planted));
    }
    host_.options.CT = 1;
    host_.options.CC = 1;
    host_.options.CTIF = 0;
    MakeFolders(L"\\Temp");
    MakeFolders(kGuestCookies);
    MakeFolders(L"\\My Documents\\Letters");
    MakeFolders(L"\\Storage Card\\Photos");
  }
  void TearDown() override {
    SetShellFolder(L"Cookies", nullptr);
    CSweepkitDialog::DeleteInstance();
    ::unsetenv("DEVICE_STORAGE_CARDS");
  }
  // Files that no clean may touch.
  void PlantKeptFiles() {
    ASSERT_TRUE(WriteDeviceFile(L"\\root.txt", 10));
    ASSERT_TRUE(WriteDeviceFile(L"\\Windows\\system.txt", 10));
    ASSERT_TRUE(WriteDeviceFile(L"\\My Documents\\Letters\\letter.txt", 10));
    ASSERT_TRUE(WriteDeviceFile(L"\\Storage\\kept.txt", 10));
    ASSERT_TRUE(WriteDeviceFile(L"\\Storage Card\\Photos\\photo.jpg", 10));
  }
  void ExpectKeptFiles() {
    for (const wchar_t* kept : {L"\\root.txt", L"\\Windows\\system.txt", L"\\My Documents\\Letters\\letter.txt",
                                L"\\Storage\\kept.txt", L"\\Storage Card\\Photos\\photo.jpg"}) {
      EXPECT_TRUE(DeviceFileExists(kept)) << std::filesystem::path(kept).string();
    }
  }
  TestHost host_;
};

TEST_F(Sweepkit, RegistryFoldersOutsideTheCleanableOnesAreRefused) {
  ASSERT_EQ(::symlink(Host("My Documents").c_str(), Host("Temp/docs").c_str()), 0);
  MakeFolders(L"\\Cache\\Cookies");
  ASSERT_EQ(::symlink(Host("My Documents").c_str(), Host("Cache/linked").c_str()), 0);
  const wchar_t* refused[] = {L"\\",
                              L"\\Windows",
                              L"\\Storage",
                              L"\\My Documents",
                              L"\\My Documents\\Letters",
                              L"\\Storage Card",
                              L"\\Storage Card\\Photos",
                              L"\\Temp\\docs",
                              L"\\Cache\\linked",
                              L"\\Temp\\..\\My Documents",
                              L"\\\\My Documents",
                              L"My Documents",
                              L"\\Missing"};
  for (const wchar_t* folder : refused) {
    SCOPED_TRACE(std::filesystem::path(folder).string());
    EXPECT_FALSE(CSweepkitLogic::IsCleanableFolder(folder));
    PlantKeptFiles();
    ASSERT_TRUE(WriteDeviceFile(L"\\Storage\\Windows\\Profiles\\guest\\Cookies\\c.txt", 100));
    SetShellFolder(L"Cookies", folder);
    CSweepkitLogic logic;
    WCHAR folders[3][MAX_PATH];
    logic.ChooseFolders(folders[0], folders[1], folders[2]);
    EXPECT_STREQ(folders[1], kGuestCookies);
    logic.Clean(nullptr);
    ExpectKeptFiles();
    // The fixed folder is cleaned in its place.
    EXPECT_FALSE(DeviceFileExists(L"\\Storage\\Windows\\Profiles\\guest\\Cookies\\c.txt"));
    EXPECT_TRUE(DeviceFileExists(kGuestCookies));
  }
  EXPECT_TRUE(CSweepkitLogic::IsCleanableFolder(L"\\Cache\\Cookies"));
  // The links themselves are left in place, and what they lead to.
  EXPECT_TRUE(std::filesystem::is_symlink(Host("Temp/docs")));
  EXPECT_TRUE(std::filesystem::is_symlink(Host("Cache/linked")));
}

TEST_F(Sweepkit, CleaningTheTempFolderLeavesALinkAndItsTargetAlone) {
  PlantKeptFiles();
  ASSERT_EQ(::symlink(Host("My Documents").c_str(), Host("Temp/docs").c_str()), 0);
  ASSERT_EQ(::symlink(Host("root.txt").c_str(), Host("Temp/file-link").c_str()), 0);
  MakeFolders(L"\\Temp\\a\\b");
  ASSERT_TRUE(WriteDeviceFile(L"\\Temp\\a\\b\\deep.tmp", 2048));
  ASSERT_TRUE(WriteDeviceFile(L"\\Temp\\top.tmp", 1024));
  host_.options.CC = 0;
  CSweepkitLogic logic;
  EXPECT_EQ(logic.Clean(nullptr), 0u);
  ExpectKeptFiles();
  EXPECT_FALSE(DeviceFileExists(L"\\Temp\\a"));
  EXPECT_FALSE(DeviceFileExists(L"\\Temp\\top.tmp"));
  EXPECT_TRUE(DeviceFileExists(L"\\Temp"));
  EXPECT_TRUE(std::filesystem::is_symlink(Host("Temp/docs")));
  EXPECT_TRUE(std::filesystem::is_symlink(Host("Temp/file-link")));
  EXPECT_STREQ(logic.LastResultText(), L"Deleted 2 files - a total of 3 KB.");
}

TEST_F(Sweepkit, TempReachedThroughALinkIsNotCleaned) {
  PlantKeptFiles();
  std::filesystem::remove_all(Host("Temp"));
  ASSERT_EQ(::symlink(Host("My Documents/Letters").c_str(), Host("Temp").c_str()), 0);
  host_.options.CC = 0;
  CSweepkitLogic logic;
  logic.Clean(nullptr);
  ExpectKeptFiles();
  EXPECT_STREQ(logic.LastResultText(), L"No clean up necessary.");
  std::filesystem::remove(Host("Temp"));
}

TEST_F(Sweepkit, ResultTexts) {
  CSweepkitLogic logic;
  logic.LoadTexts();
  const struct {
    DWORD count;
    ULONGLONG bytes;
    const wchar_t* text;
  } cases[] = {
      {0, 0, L"No clean up necessary."},
      {1, 3000, L"Deleted 1 file - a total of 2 KB."},
      {3, 10240, L"Deleted 3 files - a total of 10 KB."},
      {2, 0x40000000000ull, L"Deleted 2 files - a total of 2147483647 KB."},
  };
  for (const auto& c : cases) {
    WCHAR text[MAX_PATH];
    logic.ResultText(c.count, c.bytes, text, MAX_PATH);
    EXPECT_STREQ(text, c.text);
  }
}

TEST_F(Sweepkit, AReadOnlyFileStopsTheWalkOfItsFolder) {
  MakeFolders(L"\\Temp\\sub");
  ASSERT_TRUE(WriteDeviceFile(L"\\Temp\\sub\\a.tmp", 3000));
  ASSERT_TRUE(WriteDeviceFile(L"\\Temp\\sub\\locked.tmp", 10));
  ASSERT_TRUE(SetFileAttributesW(L"\\Temp\\sub\\locked.tmp", FILE_ATTRIBUTE_READONLY));
  DWORD count = 0;
  ULONGLONG bytes = 0;
  CSweepkitLogic logic;
  const DWORD result = logic.DeleteTree(L"\\Temp", &count, &bytes);
  EXPECT_EQ(result, static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));  // the sub-folder could not go
  EXPECT_TRUE(DeviceFileExists(L"\\Temp\\sub\\locked.tmp"));
  EXPECT_LE(count, 1u);
  SetFileAttributesW(L"\\Temp\\sub\\locked.tmp", FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(logic.DeleteTree(L"\\Temp", &count, &bytes), 0u);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(bytes, 3010u);
  EXPECT_TRUE(DeviceFileExists(L"\\Temp"));
}

TEST_F(Sweepkit, CleanFromTheDialogShowsTheResultAndEndsWithOne) {
  ASSERT_TRUE(WriteDeviceFile(L"\\Temp\\one.tmp", 3000));
  host_.options.CC = 0;
  RunSteps({[] {
    HWND dialog = CSweepkitDialog::Existing()->Window();
    EXPECT_EQ(IsDlgButtonChecked(dialog, kIdCleanTemp), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kIdCleanCookies), static_cast<UINT>(BST_UNCHECKED));
    PostMessageW(dialog, WM_COMMAND, kCmdClean, 0);
  }});
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(CSweepkitDialog::Instance()->Show(nullptr), 1);
  const std::string shown = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(shown.find("Sweepkit: Deleted 1 file - a total of 2 KB."), std::string::npos) << shown;
  EXPECT_FALSE(DeviceFileExists(L"\\Temp\\one.tmp"));
  EXPECT_GE(host_.optionSaves, 1);
}

TEST_F(Sweepkit, TheHourlyCleanShowsNothing) {
  ASSERT_TRUE(WriteDeviceFile(L"\\Temp\\one.tmp", 10));
  ::testing::internal::CaptureStderr();
  CleanSilently();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_FALSE(DeviceFileExists(L"\\Temp\\one.tmp"));
}

TEST_F(Sweepkit, DialogChoicesKeptOrPutBack) {
  // The menu bar's "Cancel" (40028) keeps the check boxes; IDCANCEL and the
  // Back key put the four values back; a click on the automatic clean is
  // written at once.
  const struct {
    int command;  // 0: the Back key
    DWORD expectedCT;
  } cases[] = {{kCmdDone, 0}, {IDOK, 0}, {IDCANCEL, 1}, {0, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    host_.options.CT = 1;
    host_.options.AC = 0;
    RunSteps({[] {
                HWND dialog = CSweepkitDialog::Existing()->Window();
                CheckDlgButton(dialog, kIdCleanTemp, BST_UNCHECKED);
                CheckDlgButton(dialog, kIdAutoClean, BST_CHECKED);
                ::testing::internal::CaptureStderr();
                SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kIdAutoClean, BN_CLICKED), 0);
                EXPECT_NE(::testing::internal::GetCapturedStderr().find("Automatic cleanup will only occur"),
                          std::string::npos);
              },
              [&c] {
                EXPECT_EQ(GetToolHost()->Options().AC, 1u);
                HWND dialog = CSweepkitDialog::Existing()->Window();
                if (c.command == 0)
                  PostMessageW(dialog, WM_HOTKEY, 0, MAKELPARAM(MOD_KEYUP, VK_ESCAPE));
                else
                  PostMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(c.command), 0);
              }});
    CSweepkitDialog::Instance()->Show(nullptr);
    EXPECT_EQ(host_.options.CT, c.expectedCT);
    EXPECT_EQ(host_.saved.CT, c.expectedCT);
    EXPECT_EQ(host_.options.AC, c.expectedCT == 1 ? 0u : 1u);
  }
}

}  // namespace
}  // namespace tessivo
