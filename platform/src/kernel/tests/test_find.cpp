#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ce/winbase.h"
#include "kernel/device.h"
#include "scoped_setting.h"
#include "temp_device.h"

namespace {

using ce::test::ScopedSetting;
using ce::test::TempDevice;

struct Found {
  std::wstring name;
  DWORD attributes;
  DWORD size;
};

// Every entry a search lists, in order; the search's closing error in *error.
std::vector<Found> Search(const wchar_t* pattern, DWORD* error = nullptr) {
  std::vector<Found> found;
  WIN32_FIND_DATAW data{};
  SetLastError(0);
  HANDLE find = FindFirstFileW(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) {
    if (error) *error = GetLastError();
    return found;
  }
  do {
    found.push_back({data.cFileName, data.dwFileAttributes, data.nFileSizeLow});
  } while (FindNextFileW(find, &data));
  if (error) *error = GetLastError();
  EXPECT_TRUE(FindClose(find));
  return found;
}

std::vector<std::wstring> Names(const std::vector<Found>& found) {
  std::vector<std::wstring> names;
  for (const Found& f : found) names.push_back(f.name);
  return names;
}

class Find : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"a.wav", "B.WAV", "ab.wav", "readme", "c.txt"}) {
      device.WriteHostFile(std::string("My Documents/Rec/") + name, name);
    }
    ::mkdir(device.HostPath("My Documents/Rec/Sub").c_str(), 0777);
  }
  TempDevice device;
};

TEST_F(Find, WildcardsMatchIgnoringCase) {
  using V = std::vector<std::wstring>;
  const struct {
    const wchar_t* mask;
    V names;
  } cases[] = {
      {L"*", V{L"a.wav", L"ab.wav", L"B.WAV", L"c.txt", L"readme", L"Sub"}},
      {L"*.*", V{L"a.wav", L"ab.wav", L"B.WAV", L"c.txt", L"readme", L"Sub"}},
      {L"*.WAV", V{L"a.wav", L"ab.wav", L"B.WAV"}},
      {L"?.wav", V{L"a.wav", L"B.WAV"}},
      {L"A*", V{L"a.wav", L"ab.wav"}},
      {L"*e", V{L"readme"}},
      {L"README", V{L"readme"}},
      {L"r?a*m?", V{L"readme"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mask " << std::string(c.mask, c.mask + std::wcslen(c.mask)));
    DWORD error = 0;
    const std::wstring pattern = std::wstring(L"\\my documents\\REC\\") + c.mask;
    EXPECT_EQ(Names(Search(pattern.c_str(), &error)), c.names);
    EXPECT_EQ(error, ERROR_NO_MORE_FILES);
  }
}

TEST_F(Find, NothingFoundAndBadCalls) {
  for (const wchar_t* pattern : {L"\\My Documents\\Rec\\*.mp3", L"\\My Documents\\Missing\\*", L"\\Missing\\Deeper\\*",
                                 L"\\My Documents\\Rec\\a.wav\\*", L"\\My Documents\\Rec\\"}) {
    DWORD error = 0;
    EXPECT_TRUE(Search(pattern, &error).empty());
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
  }
  SetLastError(0);
  EXPECT_EQ(FindFirstFileW(L"\\*", nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  WIN32_FIND_DATAW data{};
  SetLastError(0);
  EXPECT_EQ(FindFirstFileW(L"\\..\\*", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  HANDLE find = FindFirstFileW(L"\\My Documents\\Rec\\*", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(FindClose(find));
  SetLastError(0);
  EXPECT_FALSE(FindNextFileW(find, &data));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  SetLastError(0);
  EXPECT_FALSE(FindClose(find));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  HANDLE file = CreateFileW(L"\\My Documents\\Rec\\a.wav", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(FindClose(file)) << "a file handle is not a search";
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(Find, EntriesCarryAttributesSizesAndTimes) {
  const std::vector<Found> found = Search(L"\\My Documents\\Rec\\*");
  ASSERT_EQ(found.size(), 6u);
  EXPECT_EQ(found[0].attributes, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(found[0].size, 5u);  // "a.wav" holds its own name
  EXPECT_EQ(found[5].attributes, FILE_ATTRIBUTE_DIRECTORY) << "a plain folder is exactly the directory bit";

  HANDLE file = CreateFileW(L"\\My Documents\\Rec\\c.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  const FILETIME created{1000u, 0x01D00000u};
  ASSERT_TRUE(SetFileTime(file, &created, nullptr, nullptr));
  CloseHandle(file);
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(L"\\My Documents\\Rec\\C.TXT", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, L"c.txt");
  EXPECT_EQ(data.ftCreationTime.dwLowDateTime, created.dwLowDateTime);
  EXPECT_EQ(data.ftCreationTime.dwHighDateTime, created.dwHighDateTime);
  FindClose(find);
}

TEST_F(Find, RootListsCardsAsTemporaryFoldersAndHidesTheDevicesOwnFiles) {
  TempDevice elsewhere;  // a host folder mounted as a card
  ::setenv("DEVICE_ROOT", device.root().c_str(), 1);
  ce::device::Reset();
  ScopedSetting cards("DEVICE_STORAGE_CARDS", "Storage Card; SD Card=" + elsewhere.root());
  device.WriteHostFile("device.conf", "# settings\n");
  elsewhere.WriteHostFile("song.mp3", "x");

  const std::vector<Found> found = Search(L"\\*");
  std::vector<std::wstring> names = Names(found);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Application Data", L"My Documents", L"Program Files", L"SD Card",
                                              L"Storage Card", L"Windows"}));
  for (const Found& f : found) {
    const bool card = f.name == L"SD Card" || f.name == L"Storage Card";
    EXPECT_EQ(f.attributes, card ? FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY : FILE_ATTRIBUTE_DIRECTORY);
  }
  EXPECT_EQ(Names(Search(L"\\SD Card\\*")), std::vector<std::wstring>{L"song.mp3"});
}

}  // namespace
