#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "ce/shellapi.h"
#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "kernel/device.h"
#include "scoped_setting.h"
#include "temp_device.h"
#include "ce/strconv.h"

namespace {

SHELLEXECUTEINFOW Request(LPCWSTR file, LPCWSTR parameters) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = L"open";
  info.lpFile = file;
  info.lpParameters = parameters;
  info.nShow = 1;
  return info;
}

TEST(ShellExecuteEx, TheBrowserRecordsEachRequest) {
  const std::string log = ce::device::RuntimeFolder() + "/shell-requests.log";
  std::remove(log.c_str());
  SHELLEXECUTEINFOW first = Request(L"iexplore.exe", L"http://example.invalid/a");
  SHELLEXECUTEINFOW second = Request(L"\\Windows\\IEXPLORE.EXE", L"\\Storage\\help.htp");
  ASSERT_TRUE(ShellExecuteEx(&first));
  ASSERT_TRUE(ShellExecuteExW(&second));
  EXPECT_GT(reinterpret_cast<std::uintptr_t>(first.hInstApp), 32u);
  EXPECT_EQ(first.hProcess, nullptr);
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            "open\tiexplore.exe\thttp://example.invalid/a\n"
            "open\t\\Windows\\IEXPLORE.EXE\t\\Storage\\help.htp\n");
}

TEST(ShellExecuteEx, RefusesBadRequestsAndMissingFiles) {
  EXPECT_FALSE(ShellExecuteEx(nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SHELLEXECUTEINFOW wrong_size = Request(L"iexplore.exe", nullptr);
  wrong_size.cbSize = 12;
  EXPECT_FALSE(ShellExecuteEx(&wrong_size));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SHELLEXECUTEINFOW missing = Request(L"\\Windows\\nothing.lnk", nullptr);
  EXPECT_FALSE(ShellExecuteEx(&missing));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// What a person is shown for a document or a web page: with the viewer
// setting pinned to "none", a message that says where the file is or which
// address was asked for; with it naming a host program, that program gets
// the document's host file or the web address, and no message comes. An
// address other than a web page's never reaches the viewer; a viewer that
// cannot start falls back to the message.
TEST(ShellExecuteEx, DocumentsAndWebPagesAreShownWithTheViewerOrAMessage) {
  ce::test::TempDevice device;
  const std::string help = device.HostPath("Storage/help.htp");
  std::filesystem::create_directories(device.HostPath("Storage/Folder"));
  std::ofstream(help) << "<html>help</html>";
  const std::string seen = device.HostPath("seen.txt");
  const std::string viewer = device.HostPath("viewer.sh");
  std::ofstream(viewer) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << seen << "'\n";
  ::chmod(viewer.c_str(), 0755);

  const struct {
    const char* viewer;
    LPCWSTR file;
    LPCWSTR parameters;
    std::string shown;   // what the message says, or "" for none
    std::string viewed;  // what the viewer got, or "" when it ran not
  } cases[] = {
      {"none", L"iexplore.exe", L"\\Storage\\help.htp", help + " on this computer", ""},
      {"none", L"\\Storage\\help.htp", nullptr, help + " on this computer", ""},
      {"none", L"iexplore.exe", L"http://example.invalid/a", "The page asked for is http://example.invalid/a.", ""},
      {"none", L"iexplore.exe", nullptr, "This device has no web browser.", ""},
      {"viewer", L"iexplore.exe", L"\\Storage\\help.htp", "", help},
      {"viewer", L"\\Storage\\help.htp", nullptr, "", help},
      {"viewer", L"iexplore.exe", L"https://example.invalid/b", "", "https://example.invalid/b"},
      {"viewer", L"iexplore.exe", L"file:///etc/passwd", "The page asked for is file:///etc/passwd.", ""},
      {"/nowhere/viewer", L"iexplore.exe", L"\\Storage\\help.htp", help + " on this computer", ""},
  };
  for (const auto& c : cases) {
    const std::string name = std::string(c.viewer) + " " + (c.parameters ? ce::Utf8FromWide(c.parameters) : "-");
    ce::test::ScopedSetting pinned("DEVICE_VIEWER", std::string(c.viewer) == "viewer" ? viewer : c.viewer);
    std::remove(seen.c_str());
    ::testing::internal::CaptureStderr();
    SHELLEXECUTEINFOW request = Request(c.file, c.parameters);
    const BOOL opened = ShellExecuteEx(&request);
    // The headless device writes each message box on standard error.
    const std::string told = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(opened) << name;
    EXPECT_GT(reinterpret_cast<std::uintptr_t>(request.hInstApp), 32u) << name;
    if (c.shown.empty()) {
      EXPECT_EQ(told.find("This device has no"), std::string::npos) << name << ": " << told;
    } else {
      EXPECT_NE(told.find(c.shown), std::string::npos) << name << ": " << told;
    }
    std::string got;
    for (int tries = 0; tries < 1000 && !c.viewed.empty() && (got = ReadAll(seen)).empty(); ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(got, c.viewed) << name;
  }

  // A folder is no document; what is not there is not found.
  SHELLEXECUTEINFOW folder = Request(L"\\Storage\\Folder", nullptr);
  EXPECT_FALSE(ShellExecuteEx(&folder));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  SHELLEXECUTEINFOW missing = Request(L"\\Storage\\gone.htp", nullptr);
  EXPECT_FALSE(ShellExecuteEx(&missing));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// File icons: a program with an icon (orange 16 x 16 picture with clear
// corners; 32 x 32 picture with a clear left half and a purple right half),
// the child program without icons, documents and shortcuts.
class FileIcons : public ::testing::Test {
 protected:
  void SetUp() override {
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 40, 40, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    target_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(target_, nullptr);
    old_ = SelectObject(dc_, target_);
  }
  void TearDown() override {
    SelectObject(dc_, old_);
    DeleteObject(target_);
    DeleteDC(dc_);
  }
  // Draws the icon of `path` at its own size on white; false when there is
  // none.
  bool Draw(LPCWSTR path, UINT size) {
    RECT all{0, 0, 40, 40};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SHFILEINFOW info{};
    if (SHGetFileInfoW(path, 0, &info, sizeof info, SHGFI_ICON | size) == 0) return false;
    EXPECT_TRUE(DrawIconEx(dc_, 0, 0, info.hIcon, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_TRUE(DestroyIcon(info.hIcon));
    return true;
  }

  ce::test::TempDevice device_;
  ce::test::ScopedSetting folders_{"DEVICE_PROGRAM_FOLDERS",
                                   "Iconic=" CE_ICON_PROGRAM_FOLDER ";Child=" CE_CHILD_PROGRAM_FOLDER};
  HDC dc_ = nullptr;
  HBITMAP target_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

TEST_F(FileIcons, AProgramGivesItsOwnIconDirectlyWithParametersAndThroughAShortcut) {
  device_.WriteHostFile("My Documents/Iconic.lnk", "37#\"\\Program Files\\Iconic\\Iconic.exe\" -a");
  for (LPCWSTR path : {L"\\Program Files\\Iconic\\Iconic.exe", L"\\program files\\iconic\\iconic.exe -x two",
                       L"\"\\Program Files\\Iconic\\Iconic.exe\" -x", L"\\My Documents\\Iconic.lnk"}) {
    SCOPED_TRACE(testing::Message() << std::wstring(path).size());
    ASSERT_TRUE(Draw(path, SHGFI_SMALLICON)) << GetLastError();
    EXPECT_EQ(GetPixel(dc_, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc_, 8, 8), RGB(255, 128, 0));
    EXPECT_EQ(GetPixel(dc_, 16, 8), RGB(255, 255, 255)) << "the small size";
    ASSERT_TRUE(Draw(path, SHGFI_LARGEICON));
    EXPECT_EQ(GetPixel(dc_, 4, 4), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc_, 20, 20), RGB(128, 0, 128));
    EXPECT_EQ(GetPixel(dc_, 31, 31), RGB(128, 0, 128));
  }
}

TEST_F(FileIcons, FilesWithoutIconsOfTheirOwnGetThePlainPage) {
  device_.WriteHostFile("My Documents/notes.txt", "text");
  device_.WriteHostFile("My Documents/Empty.exe", "not a module, though named like one");
  // A module file whose table claims more bytes than follow it.
  device_.WriteHostFile("My Documents/Damaged.dll", std::string("\177ELFKSRT\001\0\0\0@\0\0\0\001\0\0\0", 20));
  for (LPCWSTR path : {L"\\My Documents\\notes.txt", L"\\Program Files\\Child\\Child.exe", L"\\My Documents\\Empty.exe",
                       L"\\My Documents\\Damaged.dll"}) {
    ASSERT_TRUE(Draw(path, SHGFI_SMALLICON)) << GetLastError();
    EXPECT_EQ(GetPixel(dc_, 0, 0), RGB(255, 255, 255)) << "clear beside the page";
    EXPECT_EQ(GetPixel(dc_, 2, 0), RGB(128, 128, 128)) << "the page's edge";
    EXPECT_EQ(GetPixel(dc_, 7, 1), RGB(255, 255, 255)) << "the page";
    EXPECT_EQ(GetPixel(dc_, 16, 8), RGB(255, 255, 255)) << "the small size";
  }
}

// A little-endian 64-bit ELF file holding `table` as its ".ce_resources"
// section (at offset `at`, with `claimed` as the section's size), with no
// other contents: what the shell reads of a module.
std::string ElfWithResources(const std::string& table, std::uint64_t claimed, std::uint64_t at = 64) {
  auto put = [](std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  };
  const std::string names = std::string("\0.shstrtab\0.ce_resources\0", 25);
  const std::uint64_t namesAt = at + table.size();
  const std::uint64_t headersAt = (namesAt + names.size() + 7) & ~std::uint64_t{7};
  std::string file = std::string("\177ELF\2\1\1", 7);
  file.resize(0x28, '\0');
  put(file, headersAt, 8);  // section headers
  file.resize(0x3A, '\0');
  put(file, 64, 2);  // their size
  put(file, 3, 2);   // three: none, the names, the resources
  put(file, 1, 2);   // the names are section 1
  file.resize(at, '\0');
  file += table;
  file += names;
  file.resize(headersAt, '\0');
  auto section = [&](std::uint32_t name, std::uint64_t offset, std::uint64_t size) {
    std::string header;
    put(header, name, 4);
    header.resize(0x18, '\0');
    put(header, offset, 8);
    put(header, size, 8);
    header.resize(64, '\0');
    file += header;
  };
  section(0, 0, 0);
  section(1, namesAt, names.size());
  section(11, at, claimed);
  return file;
}

// The resource table of a module whose section is damaged: each read is
// checked against the section and the file, and such a module shows the
// plain page, never more than it holds.
TEST_F(FileIcons, DamagedResourceSectionsGiveThePlainPage) {
  auto u32 = [](std::uint32_t v) {
    std::string out;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return out;
  };
  // A table with one icon group (type 14) whose bytes lie at `offset`.
  auto table = [&](std::uint32_t size, std::uint32_t count, std::uint32_t offset, std::uint32_t length) {
    std::string t = "KSRT" + u32(1) + u32(size) + u32(count) + u32(14) + u32(1) + u32(offset) + u32(length);
    t.resize(size < 4096 ? size : 64, '\0');
    return t;
  };
  const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"a table larger than its section", ElfWithResources(table(64, 1, 32, 8), 40)},
      {"a section past the file's end", ElfWithResources(table(64, 1, 32, 8), 1u << 30)},
      {"more entries than the table holds", ElfWithResources(table(64, 100000, 32, 8), 64)},
      {"a group past the table's end", ElfWithResources(table(64, 1, 60, 16), 64)},
      {"a group naming a missing picture", ElfWithResources(table(64, 1, 32, 20), 64)},
      {"a table claiming four gigabytes", ElfWithResources(table(0xFFFFFFF0u, 1, 32, 8), 64)},
      {"a section at an offset beyond the file", ElfWithResources(table(64, 1, 32, 8), 64, 1u << 20).substr(0, 100)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    device_.WriteHostFile("My Documents/Module.dll", c.file);
    ASSERT_TRUE(Draw(L"\\My Documents\\Module.dll", SHGFI_SMALLICON)) << GetLastError();
    EXPECT_EQ(GetPixel(dc_, 2, 0), RGB(128, 128, 128)) << "the page's edge";
  }
}

TEST_F(FileIcons, MissingFilesAndBrokenShortcutsFailAndWriteNothing) {
  device_.WriteHostFile("My Documents/Lost.lnk", "23#\\Program Files\\Lost.exe");
  device_.WriteHostFile("My Documents/Bad.lnk", "99#\\Program Files\\Iconic\\Iconic.exe");
  device_.WriteHostFile("My Documents/Loop.lnk", "23#\\My Documents\\Other.lnk");
  for (LPCWSTR path : {L"\\My Documents\\nothing.txt", L"\\Program Files\\Iconic\\Gone.exe -x", L"\\My Documents", L"",
                       L"\\My Documents\\Lost.lnk", L"\\My Documents\\Bad.lnk", L"\\My Documents\\Loop.lnk"}) {
    SHFILEINFOW info;
    std::memset(&info, 0xAB, sizeof info);
    SHFILEINFOW untouched = info;
    EXPECT_EQ(SHGetFileInfoW(path, 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON), 0u);
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_EQ(std::memcmp(&info, &untouched, sizeof info), 0);
  }
  // A record smaller than the platform's is refused before anything is read.
  SHFILEINFOW info{};
  EXPECT_EQ(SHGetFileInfoW(L"\\Program Files\\Iconic\\Iconic.exe", 0, &info, sizeof info - 1, SHGFI_ICON), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(info.hIcon, nullptr);
}

}  // namespace
