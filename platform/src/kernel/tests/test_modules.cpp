#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ce/shlobj.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "scoped_setting.h"
#include "temp_device.h"

namespace {

using ce::test::ScopedSetting;
using ce::test::TempDevice;

// The device name of this test program, as its folder is mounted.
std::wstring ProgramName() {
  return ce::WideFromUtf8(std::filesystem::read_symlink("/proc/self/exe").filename().string());
}

TEST(Modules, ProgramFileNameIsADevicePath) {
  const std::wstring expected = L"\\Program Files\\" + ProgramName() + L"\\" + ProgramName() + L".exe";
  wchar_t buffer[MAX_PATH] = {};
  EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, MAX_PATH), expected.size());
  EXPECT_EQ(buffer, expected);
  HMODULE self = GetModuleHandleW(nullptr);
  ASSERT_NE(self, nullptr);
  EXPECT_EQ(GetModuleFileNameW(self, buffer, MAX_PATH), expected.size());
  EXPECT_EQ(GetModuleHandleW((ProgramName() + L".exe").c_str()), self);

  // The program file and what lies beside it are found through that path.
  HANDLE file = CreateFileW(expected.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  WIN32_FIND_DATAW data{};
  const std::wstring pattern = expected.substr(0, expected.rfind(L'\\') + 1) + L"*.exe";
  HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.cFileName, ProgramName() + L".exe");
  FindClose(find);
  EXPECT_NE(GetFileAttributesW(L"\\Program Files"), INVALID_FILE_ATTRIBUTES);

  ScopedSetting name("DEVICE_PROGRAM_NAME", "Kestrune");
  EXPECT_GT(GetModuleFileNameW(nullptr, buffer, MAX_PATH), 0u);
  EXPECT_EQ(buffer, L"\\Program Files\\Kestrune\\" + ProgramName() + L".exe");
}

// The home screen is part of the device: its folder is "\Windows", where its
// installed files are read-only and the device's own files stay usable.
TEST(Modules, SystemProgramLivesInTheWindowsFolder) {
  TempDevice device;
  ScopedSetting name("DEVICE_PROGRAM_NAME", "Home");
  const std::wstring expected = L"\\Windows\\" + ProgramName() + L".exe";
  wchar_t buffer[MAX_PATH] = {};
  EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, MAX_PATH), expected.size());
  EXPECT_EQ(buffer, expected);
  EXPECT_NE(GetFileAttributesW(expected.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW(L"\\Program Files\\Home"), INVALID_FILE_ATTRIBUTES);

  // Installed files cannot be deleted; the device's own file there can be
  // written, read back and deleted.
  SetLastError(0);
  EXPECT_FALSE(DeleteFileW(expected.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  HANDLE file = CreateFileW(L"\\Windows\\chime.wav", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(file, "RIFF", 4, &written, nullptr));
  CloseHandle(file);
  EXPECT_TRUE(std::filesystem::is_regular_file(device.HostPath("Windows/chime.wav")));
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(L"\\Windows\\chime.wav", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
  EXPECT_TRUE(DeleteFileW(L"\\Windows\\chime.wav"));
  EXPECT_FALSE(RemoveDirectoryW(L"\\Windows"));
}

TEST(Modules, FileNameSizeRules) {
  const std::wstring full = L"\\Program Files\\" + ProgramName() + L"\\" + ProgramName() + L".exe";
  const DWORD length = static_cast<DWORD>(full.size());
  const struct {
    DWORD size;
    DWORD result;
    DWORD error;
  } cases[] = {
      {length + 1, length, 0},           {length, length, ERROR_INSUFFICIENT_BUFFER},  // no room for the terminator
      {5, 5, ERROR_INSUFFICIENT_BUFFER}, {1, 1, ERROR_INSUFFICIENT_BUFFER},           {0, 0, ERROR_INSUFFICIENT_BUFFER},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    wchar_t buffer[MAX_PATH];
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, c.size), c.result);
    EXPECT_EQ(GetLastError(), c.error);
    if (c.size > 0) {
      EXPECT_EQ(std::wstring(buffer), full.substr(0, std::min(length, c.size - 1)));
    }
    EXPECT_EQ(buffer[c.size], L'#') << "nothing is written past the buffer";
  }
}

class Libraries : public ::testing::Test {
 protected:
  TempDevice device;
  const std::string library = CE_SAMPLE_LIBRARY;
  const std::string folder = std::filesystem::path(library).parent_path().string();
};

TEST_F(Libraries, LoadByPathAndExportsByNameAndOrdinal) {
  ScopedSetting mounts("DEVICE_PROGRAM_FOLDERS", "Samples=" + folder);
  HMODULE module = LoadLibraryW(L"\\program files\\samples\\samplelib.dll");
  ASSERT_NE(module, nullptr);
  FARPROC answer = GetProcAddressW(module, L"SampleAnswer");
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  // The library's entry point was called with its own handle.
  FARPROC attachedAs = GetProcAddressW(module, L"SampleAttachedAs");
  ASSERT_NE(attachedAs, nullptr);
  EXPECT_EQ(attachedAs(), reinterpret_cast<INT_PTR>(module));
  FARPROC seven = GetProcAddressW(module, MAKEINTRESOURCE(7));
  ASSERT_NE(seven, nullptr);
  EXPECT_EQ(seven(), 7);

  SetLastError(0);
  EXPECT_EQ(GetProcAddressW(module, L"NoSuchExport"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  SetLastError(0);
  EXPECT_EQ(GetProcAddressW(module, MAKEINTRESOURCE(8)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

  wchar_t path[MAX_PATH] = {};
  EXPECT_GT(GetModuleFileNameW(module, path, MAX_PATH), 0u);
  EXPECT_STREQ(path, L"\\Program Files\\Samples\\SampleLib.dll");
  EXPECT_EQ(GetModuleHandleW(L"SAMPLELIB.DLL"), module);
  EXPECT_EQ(GetModuleHandleW(L"SampleLib"), module);

  // Each load counts; the library stays until the last FreeLibrary.
  EXPECT_EQ(LoadLibraryW(L"\\Program Files\\Samples\\SampleLib"), module);
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(GetModuleHandleW(L"SampleLib.dll"), module);
  EXPECT_TRUE(FreeLibrary(module));
  SetLastError(0);
  EXPECT_EQ(GetModuleHandleW(L"SampleLib.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  SetLastError(0);
  EXPECT_FALSE(FreeLibrary(module));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  SetLastError(0);
  EXPECT_EQ(GetProcAddressW(module, L"SampleAnswer"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(Libraries, BareNamesSearchTheProgramFolderThenWindows) {
  SetLastError(0);
  EXPECT_EQ(LoadLibraryW(L"SampleLib.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

  std::filesystem::copy_file(library, device.HostPath("Windows/ossvcs.dll"));
  HMODULE fromWindows = LoadLibraryW(L"OSSVCS.DLL");
  ASSERT_NE(fromWindows, nullptr);
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(fromWindows, path, MAX_PATH);
  EXPECT_STREQ(path, L"\\Windows\\ossvcs.dll");
  EXPECT_TRUE(FreeLibrary(fromWindows));

  ScopedSetting programFolder("DEVICE_PROGRAM_FOLDER", folder);
  HMODULE beside = LoadLibraryW(L"SampleLib.dll");
  ASSERT_NE(beside, nullptr);
  EXPECT_TRUE(FreeLibrary(beside));

  device.WriteHostFile("Windows/broken.dll", "not a library");
  SetLastError(0);
  EXPECT_EQ(LoadLibraryW(L"broken.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_BAD_FORMAT);
  SetLastError(0);
  EXPECT_EQ(LoadLibraryW(L"\\Windows\\coredll.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
  EXPECT_FALSE(FreeLibrary(nullptr));
  EXPECT_FALSE(FreeLibrary(reinterpret_cast<HMODULE>(0x1234)));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(SpecialFolders, FixedPathsCreatedOnDemand) {
  TempDevice device;
  const struct {
    int csidl;
    const wchar_t* path;
  } cases[] = {
      {CSIDL_PERSONAL, L"\\My Documents"},         {CSIDL_WINDOWS, L"\\Windows"},
      {CSIDL_STARTUP, L"\\Windows\\StartUp"},      {CSIDL_PROGRAMS, L"\\Windows\\Start Menu\\Programs"},
      {CSIDL_STARTMENU, L"\\Windows\\Start Menu"}, {CSIDL_PROGRAM_FILES, L"\\Program Files"},
      {CSIDL_APPDATA, L"\\Application Data"},
  };
  for (const auto& c : cases) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, c.csidl, FALSE));
    EXPECT_STREQ(path, c.path);
    EXPECT_EQ(GetFileAttributesW(path), FILE_ATTRIBUTE_DIRECTORY);

    LPITEMIDLIST list = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, c.csidl, &list), S_OK);
    wchar_t fromList[MAX_PATH] = {};
    EXPECT_TRUE(SHGetPathFromIDList(list, fromList));
    EXPECT_STREQ(fromList, c.path);
    std::free(list);
  }
  wchar_t path[MAX_PATH] = L"x";
  EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, 0x7777, TRUE));
  EXPECT_STREQ(path, L"");
  EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, nullptr, CSIDL_PERSONAL, TRUE));
  LPITEMIDLIST list = reinterpret_cast<LPITEMIDLIST>(&path);
  EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, 0x7777, &list), E_INVALIDARG);
  EXPECT_EQ(list, nullptr);
  EXPECT_FALSE(SHGetPathFromIDList(nullptr, path));
}

}  // namespace
