// Sweepkit: the cleaner empties only its own folders. A folder the registry
// names is taken only when, compared by canonical path, it is one of the
// cleanable folders or lies below one and holds or lies in nothing the
// user or the system keeps; any other value, however it is spelled or
// wherever its links lead, falls back to the fixed folder, and everything
// outside the cleanable folders stays as it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ce/testing.h"
#include "sweepkit.h"
#include "temp_device.h"
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
std::string Narrow(const wchar_t* text) { return std::filesystem::path(text).string(); }

// Files of the user and the system, each in a folder a hostile value may
// name, and none in a cleanable folder.
constexpr const wchar_t* kKeptFiles[] = {
    L"\\root.txt",
    L"\\Windows\\system.txt",
    L"\\Windows\\alarm1.wav",
    L"\\Windows\\Start Menu\\Programs\\game.lnk",
    L"\\Windows\\Desktop\\desk.txt",
    L"\\My Documents\\Letters\\letter.txt",
    L"\\Application Data\\Home\\layout.home.xml",
    L"\\Music\\song.txt",
    L"\\Cache\\Cookies\\old.txt",
    L"\\Storage\\kept.txt",
    L"\\Storage\\Windows\\Profiles\\guest\\profile.dat",
    L"\\Storage Card\\Photos\\photo.jpg",
    L"\\Storage Card\\Windows\\Cookies\\card.txt",
};

class Sweepkit : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("DEVICE_STORAGE_CARDS", "Storage Card", 1);
    m_host.options.CT = 1;
    m_host.options.CC = 1;
    m_host.options.CTIF = 0;
    for (const wchar_t* folder :
         {L"\\Temp", kGuestCookies, L"\\Windows\\Cookies", L"\\Windows\\Temporary Internet Files",
          L"\\Storage\\Windows\\Profiles\\guest\\Cookies\\Sub"}) {
      MakeFolders(folder);
    }
    for (const wchar_t* kept : kKeptFiles) {
      std::wstring folder = kept;
      folder.resize(folder.rfind(L'\\'));
      if (!folder.empty()) MakeFolders(folder.c_str());
    }
  }
  void TearDown() override {
    SetShellFolder(L"Cookies", nullptr);
    CSweepkitDialog::DeleteInstance();
    ::unsetenv("DEVICE_STORAGE_CARDS");
  }
  static void PlantKeptFiles() {
    for (const wchar_t* kept : kKeptFiles) ASSERT_TRUE(WriteDeviceFile(kept, 10)) << Narrow(kept);
  }
  static void ExpectKeptFiles() {
    for (const wchar_t* kept : kKeptFiles) EXPECT_TRUE(DeviceFileExists(kept)) << Narrow(kept);
  }
  // A device of its own for each test: the links and files of one never
  // meet another.
  ce::test::TempDevice m_device;
  TestHost m_host;
};

TEST_F(Sweepkit, HostileRegistryFoldersCleanNothingOutsideTheCleanableFolders) {
  ce::test::TempDevice outside;  // a folder of the host beyond the device
  ::setenv("DEVICE_ROOT", m_device.root().c_str(), 1);
  ce::testing::ReloadDevice();
  ASSERT_EQ(::symlink(Host("My Documents").c_str(), Host("Temp/docs").c_str()), 0);
  ASSERT_EQ(::symlink(outside.root().c_str(), Host("Temp/out").c_str()), 0);
  ASSERT_EQ(::symlink("../../Windows", Host("Windows/Cookies/up").c_str()), 0);
  const struct {
    const wchar_t* value;
    const wchar_t* cleaned;  // the folder cleaned for it; null: the fixed folder
  } cases[] = {
      // Spelled another way, the cleanable folders themselves and below.
      {L"\\windows/COOKIES/", L"\\Windows\\Cookies"},
      {L"/Temp", L"\\Temp"},
      {L"\\Windows\\Temporary Internet Files\\..\\Cookies\\.", L"\\Windows\\Cookies"},
      {L"\\STORAGE\\windows\\profiles\\GUEST\\cookies\\sub", L"\\Storage\\Windows\\Profiles\\guest\\Cookies\\Sub"},
      // Out of them by "..", "/" or a link.
      {L"\\Temp/..", nullptr},
      {L"\\Temp\\..\\My Documents", nullptr},
      {L"\\Windows\\Cookies\\..", nullptr},
      {L"\\Windows\\Cookies/../..", nullptr},
      {L"\\Windows\\Cookies\\up", nullptr},
      {L"\\Temp\\docs", nullptr},
      {L"\\Temp\\docs\\Letters", nullptr},
      {L"\\Temp\\out", nullptr},
      {L"..", nullptr},
      // The root, a card's root, and the system's and the user's folders
      // and folders below them.
      {L"\\", nullptr},
      {L"/", nullptr},
      {L"", nullptr},
      {L"\\Storage Card", nullptr},
      {L"\\storage card\\Windows\\Cookies", nullptr},
      {L"\\Storage Card\\Photos", nullptr},
      {L"\\Windows", nullptr},
      {L"\\Windows\\", nullptr},
      {L"\\Windows\\Start Menu", nullptr},
      {L"\\Windows\\Start Menu\\Programs", nullptr},
      {L"\\Windows\\Desktop", nullptr},
      {L"\\My Documents", nullptr},
      {L"my documents", nullptr},
      {L"\\My Documents\\Letters\\", nullptr},
      {L"\\Application Data", nullptr},
      {L"\\Application Data\\Home", nullptr},
      {L"\\Program Files", nullptr},
      {L"\\Music", nullptr},
      {L"\\Storage", nullptr},
      {L"\\Storage\\Windows", nullptr},
      {L"\\Storage\\Windows\\Profiles\\guest", nullptr},
      {L"\\Cache\\Cookies", nullptr},
      {L"\\Missing", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.value));
    PlantKeptFiles();
    ASSERT_TRUE(WriteDeviceFile(L"\\Storage\\Windows\\Profiles\\guest\\Cookies\\c.txt", 100));
    ASSERT_TRUE(WriteDeviceFile(L"\\Windows\\Cookies\\w.txt", 100));
    SetShellFolder(L"Cookies", c.value);
    CSweepkitLogic logic;
    WCHAR folders[3][MAX_PATH];
    logic.ChooseFolders(folders[0], folders[1], folders[2]);
    EXPECT_STREQ(folders[1], c.cleaned != nullptr ? c.cleaned : kGuestCookies);
    logic.Clean(nullptr);
    ExpectKeptFiles();
    EXPECT_TRUE(std::filesystem::is_symlink(Host("Temp/docs")));
    if (c.cleaned == nullptr) {
      // The fixed folder is cleaned in its place, and stays.
      EXPECT_FALSE(DeviceFileExists(L"\\Storage\\Windows\\Profiles\\guest\\Cookies\\c.txt"));
      EXPECT_TRUE(DeviceFileExists(kGuestCookies));
    }
  }
}

TEST_F(Sweepkit, LinksAreJudgedByWhereTheyLead) {
  PlantKeptFiles();
  m_host.options.CC = 0;
  // The temporary folder itself leads into the user's documents.
  std::filesystem::remove_all(Host("Temp"));
  ASSERT_EQ(::symlink(Host("My Documents/Letters").c_str(), Host("Temp").c_str()), 0);
  CSweepkitLogic logic;
  logic.Clean(nullptr);
  ExpectKeptFiles();
  EXPECT_STREQ(logic.LastResultText(), L"No clean up necessary.");

  // A user's folder that leads into a cleanable folder: cleaning that
  // folder would empty the user's, so it is left alone.
  std::filesystem::remove(Host("Temp"));
  MakeFolders(L"\\Temp\\Kept Docs");
  ASSERT_TRUE(WriteDeviceFile(L"\\Temp\\Kept Docs\\mine.txt", 10));
  std::filesystem::rename(Host("My Documents"), Host("My Documents.old"));
  ASSERT_EQ(::symlink(Host("Temp/Kept Docs").c_str(), Host("My Documents").c_str()), 0);
  EXPECT_FALSE(CSweepkitLogic::IsCleanableFolder(L"\\Temp"));
  logic.Clean(nullptr);
  EXPECT_TRUE(DeviceFileExists(L"\\Temp\\Kept Docs\\mine.txt"));
  EXPECT_TRUE(DeviceFileExists(L"\\My Documents\\mine.txt"));
}

TEST_F(Sweepkit, CleaningTheTempFolderLeavesALinkAndItsTargetAlone) {
  PlantKeptFiles();
  ASSERT_EQ(::symlink(Host("My Documents").c_str(), Host("Temp/docs").c_str()), 0);
  ASSERT_EQ(::symlink(Host("root.txt").c_str(), Host("Temp/file-link").c_str()), 0);
  MakeFolders(L"\\Temp\\a\\b");
  ASSERT_TRUE(WriteDeviceFile(L"\\Temp\\a\\b\\deep.tmp", 2048));
  ASSERT_TRUE(WriteDeviceFile(L"\\Temp\\top.tmp", 1024));
  m_host.options.CC = 0;
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
  m_host.options.CC = 0;
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
  EXPECT_GE(m_host.optionSaves, 1);
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
    m_host.options.CT = 1;
    m_host.options.AC = 0;
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
    EXPECT_EQ(m_host.options.CT, c.expectedCT);
    EXPECT_EQ(m_host.saved.CT, c.expectedCT);
    EXPECT_EQ(m_host.options.AC, c.expectedCT == 1 ? 0u : 1u);
  }
}

}  // namespace
}  // namespace tessivo
