#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "ce/winbase.h"
#include "ce/strconv.h"
#include "kernel/device.h"
#include "scoped_setting.h"
#include "temp_device.h"

namespace {

using ce::test::ScopedSetting;
using ce::test::TempDevice;

class Files : public ::testing::Test {
 protected:
  TempDevice device;

  static HANDLE Open(const wchar_t* path, DWORD access, DWORD disposition, DWORD share = 0) {
    return CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  static bool Write(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
  }
  static std::string ReadAll(const wchar_t* path) {
    HANDLE file = Open(path, GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string text(4096, '\0');
    DWORD got = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
    CloseHandle(file);
    text.resize(got);
    return text;
  }
  static bool WriteNew(const wchar_t* path, const std::string& bytes) {
    HANDLE file = Open(path, GENERIC_WRITE, CREATE_ALWAYS);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = Write(file, bytes);
    CloseHandle(file);
    return ok;
  }
  // Runs `call` (false: it failed) on a thread of its own and gives the
  // error it left, or "opened" when it did not fail. Should it block on the
  // FIFO at `fifo` after all, the FIFO's other end is opened so the test
  // fails instead of hanging.
  static std::string ErrorOf(const std::function<bool()>& call, const std::string& fifo) {
    auto result = std::async(std::launch::async, [&] {
      SetLastError(0);
      return call() ? std::string("opened") : std::to_string(GetLastError());
    });
    if (result.wait_for(std::chrono::seconds(30)) == std::future_status::timeout) {
      const int peer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
      result.wait();
      ::close(peer);
      return "blocked";
    }
    return result.get();
  }
  static bool OpenAndClose(const wchar_t* path, DWORD access, DWORD disposition) {
    HANDLE file = Open(path, access, disposition, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
  }
  bool HostExists(const std::string& relative) const {
    struct stat st {};
    return ::lstat(device.HostPath(relative).c_str(), &st) == 0;
  }
};

TEST_F(Files, NamesResolveIgnoringCaseAndNewNamesKeepTheirCase) {
  device.WriteHostFile("My Documents/Song.WAV", "abc");
  EXPECT_EQ(ReadAll(L"\\my documents\\SONG.wav"), "abc");
  EXPECT_EQ(ReadAll(L"My Documents/song.wav"), "abc") << "relative paths start at the root; '/' separates too";
  EXPECT_EQ(ReadAll(L"\\My Documents\\.\\x\\..\\Song.wav"), "abc");

  ASSERT_TRUE(WriteNew(L"\\MY DOCUMENTS\\NewFile.TXT", "x"));
  EXPECT_TRUE(HostExists("My Documents/NewFile.TXT")) << "a new file keeps its case in an existing folder";
  EXPECT_FALSE(HostExists("MY DOCUMENTS"));
  ASSERT_TRUE(WriteNew(L"\\my documents\\newfile.txt", "yz"));
  EXPECT_EQ(device.ReadHostFile("My Documents/NewFile.TXT"), "yz") << "the existing entry is replaced, not doubled";

  // Letters beyond ASCII fold too, without the host's locale.
  ASSERT_TRUE(WriteNew(L"\\My Documents\\\u00C4rger \u0152uvre.txt", "u"));
  EXPECT_EQ(ReadAll(L"\\my documents\\\u00E4RGER \u0153UVRE.TXT"), "u");
}

TEST_F(Files, PathsThatWouldLeaveTheDeviceOrAreMalformedFail) {
  const std::wstring longPath = L"\\" + std::wstring(MAX_PATH, L'a');
  const std::wstring longName = L"\\" + std::wstring(256, L'a');  // a path that fits, a name that does not
  const struct {
    const wchar_t* path;
    DWORD error;
  } cases[] = {
      {nullptr, ERROR_INVALID_PARAMETER},
      {L"", ERROR_PATH_NOT_FOUND},
      {L"\\..\\escape.txt", ERROR_ACCESS_DENIED},
      {L"\\My Documents\\..\\..\\escape.txt", ERROR_ACCESS_DENIED},
      {L"..\\escape.txt", ERROR_ACCESS_DENIED},
      {longPath.c_str(), ERROR_FILENAME_EXCED_RANGE},
      {longName.c_str(), ERROR_FILENAME_EXCED_RANGE},
      {L"\\C:\\x.txt", ERROR_INVALID_NAME},
      {L"\\a*b.txt", ERROR_INVALID_NAME},
      {L"\\No Such Folder\\x.txt", ERROR_PATH_NOT_FOUND},
      {L"\\.runtime\\x.txt", ERROR_ACCESS_DENIED},
      {L"\\device.conf", ERROR_ACCESS_DENIED},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path ? std::filesystem::path(c.path).string() : "null");
    SetLastError(0);
    EXPECT_EQ(Open(c.path, GENERIC_WRITE, OPEN_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(device.root()).parent_path() / "escape.txt"));
  // An absolute host path is a device path like any other: it stays inside.
  ASSERT_TRUE(CreateDirectoryW(L"/tmp", nullptr));
  ASSERT_TRUE(WriteNew(L"/tmp/inside.txt", "in"));
  EXPECT_TRUE(HostExists("tmp/inside.txt"));
}

TEST_F(Files, SymbolicLinksAreFollowedOnlyInsideTheDevice) {
  TempDevice outside;  // another folder on the host
  outside.WriteHostFile("secret.txt", "secret");
  ::setenv("DEVICE_ROOT", device.root().c_str(), 1);
  ce::device::Reset();
  std::filesystem::create_directories(device.HostPath("My Documents"));
  ASSERT_EQ(::symlink(outside.root().c_str(), device.HostPath("My Documents/out").c_str()), 0);
  ASSERT_EQ(::symlink(device.HostPath("Windows").c_str(), device.HostPath("My Documents/win").c_str()), 0);
  device.WriteHostFile("Windows/inside.txt", "inside");

  SetLastError(0);
  EXPECT_EQ(Open(L"\\My Documents\\out\\secret.txt", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open(L"\\My Documents\\out\\new.txt", GENERIC_WRITE, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(std::filesystem::exists(outside.HostPath("new.txt")));
  EXPECT_EQ(ReadAll(L"\\My Documents\\win\\inside.txt"), "inside");
  // A followed link says so, by its attributes and in a search.
  EXPECT_EQ(GetFileAttributesW(L"\\My Documents\\win"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_EQ(GetFileAttributesW(L"\\My Documents\\win\\inside.txt") & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW(L"\\My Documents\\w*", &found);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(found.cFileName, L"win");
  EXPECT_EQ(found.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
  FindClose(find);
}

// Two paths that reach the same entry give one canonical text: separators,
// "." and "..", letter case and links inside the device are resolved once.
TEST_F(Files, CanonicalPathsSpellEachEntryOnce) {
  ScopedSetting cards("DEVICE_STORAGE_CARDS", "Storage Card");
  std::filesystem::create_directories(device.HostPath("My Documents/Letters"));
  std::filesystem::create_directories(device.HostPath("Windows/Start Menu"));
  std::filesystem::create_directories(device.HostPath("Temp"));
  std::filesystem::create_directories(device.HostPath("Storage Card/Photos"));
  device.WriteHostFile("My Documents/Letters/Note.TXT", "n");
  ASSERT_EQ(::symlink(device.HostPath("My Documents").c_str(), device.HostPath("Temp/docs").c_str()), 0);
  ASSERT_EQ(::symlink(device.HostPath("Temp/docs").c_str(), device.HostPath("Temp/chain").c_str()), 0);
  ASSERT_EQ(::symlink("../Windows/Start Menu", device.HostPath("Temp/menu").c_str()), 0);
  TempDevice outside;
  ::setenv("DEVICE_ROOT", device.root().c_str(), 1);
  ce::device::Reset();
  ASSERT_EQ(::symlink(outside.root().c_str(), device.HostPath("Temp/out").c_str()), 0);

  const struct {
    const wchar_t* path;
    const wchar_t* canonical;  // null: fails with `error`
    DWORD error;
  } cases[] = {
      {L"\\My Documents", L"\\My Documents", 0},
      {L"my documents/letters\\", L"\\My Documents\\Letters", 0},
      {L"\\MY DOCUMENTS\\.\\Letters\\..\\letters\\note.txt", L"\\My Documents\\Letters\\Note.TXT", 0},
      {L"\\Temp/..", L"\\", 0},
      {L"/", L"\\", 0},
      {L"\\Temp\\docs", L"\\My Documents", 0},
      {L"\\temp\\DOCS\\Letters", L"\\My Documents\\Letters", 0},
      {L"\\Temp\\chain\\..", L"\\Temp", 0},  // ".." steps back in the text, as the device opens it
      {L"\\Temp\\chain", L"\\My Documents", 0},
      {L"\\Temp\\menu", L"\\Windows\\Start Menu", 0},
      {L"\\storage card\\PHOTOS", L"\\Storage Card\\Photos", 0},
      {L"\\My Documents\\New File.txt", L"\\My Documents\\New File.txt", 0},
      {L"\\Temp\\docs\\New.txt", L"\\My Documents\\New.txt", 0},
      {L"\\Temp\\out", nullptr, ERROR_ACCESS_DENIED},
      {L"\\..", nullptr, ERROR_ACCESS_DENIED},
      {L"\\Missing\\x", nullptr, ERROR_PATH_NOT_FOUND},
      {L"\\a*b", nullptr, ERROR_INVALID_NAME},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ce::Utf8FromWide(c.path));
    wchar_t out[MAX_PATH] = {};
    SetLastError(0);
    const DWORD length = GetCanonicalPathNameW(c.path, out, MAX_PATH);
    if (c.canonical == nullptr) {
      EXPECT_EQ(length, 0u);
      EXPECT_EQ(GetLastError(), c.error);
      continue;
    }
    EXPECT_STREQ(out, c.canonical);
    EXPECT_EQ(length, std::wcslen(c.canonical));
  }
  // A buffer too small is told the size needed and left alone.
  wchar_t small[4] = {L'x', 0};
  EXPECT_EQ(GetCanonicalPathNameW(L"\\my documents", small, 4), 14u);
  EXPECT_STREQ(small, L"x");
  EXPECT_EQ(GetCanonicalPathNameW(nullptr, small, 4), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(Files, CreateDispositions) {
  const struct {
    DWORD disposition;
    bool existed;
    bool opens;
    DWORD error;  // last error after the call
    std::string contents;
  } cases[] = {
      {CREATE_NEW, false, true, ERROR_SUCCESS, ""},
      {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
      {CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
      {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
      {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, "<missing>"},
      {OPEN_EXISTING, true, true, ERROR_SUCCESS, "old"},
      {OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
      {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
      {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, "<missing>"},
      {TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "disposition " << c.disposition << " existed " << c.existed);
    DeleteFileW(L"\\f.bin");
    if (c.existed) {
      ASSERT_TRUE(WriteNew(L"\\f.bin", "old"));
    }
    SetLastError(1234);
    HANDLE file = Open(L"\\f.bin", GENERIC_READ | GENERIC_WRITE, c.disposition);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opens);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    EXPECT_EQ(ReadAll(L"\\f.bin"), c.contents);
  }
  SetLastError(0);
  EXPECT_EQ(Open(L"\\f.bin", GENERIC_READ, 9), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SetLastError(0);
  EXPECT_EQ(Open(L"\\My Documents", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE) << "a folder is not a file";
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(Files, ShareModesAreEnforcedBetweenHandles) {
  ASSERT_TRUE(WriteNew(L"\\shared.txt", "data"));
  HANDLE reader = Open(L"\\shared.txt", GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  HANDLE second = Open(L"\\shared.txt", GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ);
  EXPECT_NE(second, INVALID_HANDLE_VALUE) << "two readers that share reading";
  CloseHandle(second);

  const struct {
    DWORD access;
    DWORD share;
    DWORD disposition;
  } refused[] = {
      {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING},  // the reader does not share writing
      {GENERIC_READ, 0, OPEN_EXISTING},                                    // this one would not share reading
      {GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS},
  };
  for (const auto& r : refused) {
    SetLastError(0);
    EXPECT_EQ(Open(L"\\shared.txt", r.access, r.disposition, r.share), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  }
  SetLastError(0);
  EXPECT_FALSE(DeleteFileW(L"\\shared.txt"));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(MoveFileW(L"\\shared.txt", L"\\moved.txt"));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(ReadAll(L"\\shared.txt"), "data") << "a refused truncation leaves the file";

  CloseHandle(reader);
  HANDLE writer = Open(L"\\shared.txt", GENERIC_WRITE, OPEN_EXISTING);
  EXPECT_NE(writer, INVALID_HANDLE_VALUE) << "closing the reader lifts its share mode";
  CloseHandle(writer);
  EXPECT_TRUE(DeleteFileW(L"\\shared.txt"));
}

TEST_F(Files, ReadWriteAndFilePointer) {
  HANDLE file = Open(L"\\data.bin", GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Write(file, "0123456789"));
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 10u);
  EXPECT_EQ(SetFilePointer(file, -4, nullptr, FILE_END), 6u);
  char buffer[16] = {};
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(std::string(buffer, got), "6789") << "a read at the end is short";
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(got, 0u) << "at the end of the file a read succeeds with nothing";

  SetLastError(0);
  EXPECT_EQ(SetFilePointer(file, -11, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 10u) << "a failed seek does not move";

  LONG high = 0;
  EXPECT_EQ(SetFilePointer(file, 3, &high, FILE_BEGIN), 3u);
  EXPECT_EQ(high, 0);
  high = -1;
  SetLastError(0);
  EXPECT_EQ(SetFilePointer(file, -1, &high, FILE_CURRENT), 2u) << "high part -1 with low -1 is a step back of one";
  EXPECT_EQ(high, 0);

  // Seeking past the end and writing leaves zeros in the gap.
  EXPECT_EQ(SetFilePointer(file, 12, nullptr, FILE_BEGIN), 12u);
  ASSERT_TRUE(Write(file, "!"));
  DWORD sizeHigh = 99;
  EXPECT_EQ(GetFileSize(file, &sizeHigh), 13u);
  EXPECT_EQ(sizeHigh, 0u);

  EXPECT_EQ(SetFilePointer(file, 4, nullptr, FILE_BEGIN), 4u);
  ASSERT_TRUE(SetEndOfFile(file));
  EXPECT_EQ(GetFileSize(file, nullptr), 4u);
  EXPECT_TRUE(FlushFileBuffers(file));
  CloseHandle(file);
  EXPECT_EQ(ReadAll(L"\\data.bin"), "0123");

  HANDLE readOnly = Open(L"\\data.bin", GENERIC_READ, OPEN_EXISTING);
  SetLastError(0);
  EXPECT_FALSE(Write(readOnly, "x"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  SetLastError(0);
  EXPECT_FALSE(SetEndOfFile(readOnly));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  SetLastError(0);
  EXPECT_FALSE(ReadFile(readOnly, nullptr, 4, &got, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  CloseHandle(readOnly);
  HANDLE writeOnly = Open(L"\\data.bin", GENERIC_WRITE, OPEN_EXISTING);
  SetLastError(0);
  EXPECT_FALSE(ReadFile(writeOnly, buffer, 4, &got, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(writeOnly);
}

TEST_F(Files, BadHandlesFailWithInvalidHandle) {
  HANDLE closed = Open(L"\\c.txt", GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_TRUE(CloseHandle(closed));
  HANDLE find = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data;
  find = FindFirstFileW(L"\\*", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  for (HANDLE bad : {HANDLE{nullptr}, INVALID_HANDLE_VALUE, closed, find}) {
    char byte = 0;
    DWORD count = 7;
    FILETIME time{};
    SetLastError(0);
    EXPECT_FALSE(ReadFile(bad, &byte, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(count, 0u);
    SetLastError(0);
    EXPECT_FALSE(WriteFile(bad, &byte, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(0);
    EXPECT_EQ(SetFilePointer(bad, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(0);
    EXPECT_EQ(GetFileSize(bad, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(0);
    EXPECT_FALSE(SetEndOfFile(bad));
    EXPECT_FALSE(FlushFileBuffers(bad));
    EXPECT_FALSE(GetFileTime(bad, &time, nullptr, nullptr));
    EXPECT_FALSE(SetFileTime(bad, &time, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
  EXPECT_TRUE(FindClose(find));
}

TEST_F(Files, NullNamesFailCleanly) {
  ASSERT_TRUE(WriteNew(L"\\x.txt", "x"));
  WIN32_FILE_ATTRIBUTE_DATA info{};
  const struct {
    const char* call;
    bool (*run)(WIN32_FILE_ATTRIBUTE_DATA*);
  } cases[] = {
      {"DeleteFileW", [](WIN32_FILE_ATTRIBUTE_DATA*) { return DeleteFileW(nullptr) != FALSE; }},
      {"MoveFileW from", [](WIN32_FILE_ATTRIBUTE_DATA*) { return MoveFileW(nullptr, L"\\y.txt") != FALSE; }},
      {"MoveFileW to", [](WIN32_FILE_ATTRIBUTE_DATA*) { return MoveFileW(L"\\x.txt", nullptr) != FALSE; }},
      {"CopyFileW", [](WIN32_FILE_ATTRIBUTE_DATA*) { return CopyFileW(L"\\x.txt", nullptr, FALSE) != FALSE; }},
      {"CreateDirectoryW", [](WIN32_FILE_ATTRIBUTE_DATA*) { return CreateDirectoryW(nullptr, nullptr) != FALSE; }},
      {"RemoveDirectoryW", [](WIN32_FILE_ATTRIBUTE_DATA*) { return RemoveDirectoryW(nullptr) != FALSE; }},
      {"SetFileAttributesW", [](WIN32_FILE_ATTRIBUTE_DATA*) { return SetFileAttributesW(nullptr, 0) != FALSE; }},
      {"GetFileAttributesW",
       [](WIN32_FILE_ATTRIBUTE_DATA*) { return GetFileAttributesW(nullptr) != INVALID_FILE_ATTRIBUTES; }},
      {"GetFileAttributesExW",
       [](WIN32_FILE_ATTRIBUTE_DATA* data) {
         return GetFileAttributesExW(nullptr, GetFileExInfoStandard, data) != FALSE;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    SetLastError(0);
    EXPECT_FALSE(c.run(&info));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_EQ(ReadAll(L"\\x.txt"), "x");
}

TEST_F(Files, MoveNeverReplacesAndKeepsBothFiles) {
  ASSERT_TRUE(WriteNew(L"\\My Documents\\a.wav", "A"));
  ASSERT_TRUE(WriteNew(L"\\My Documents\\b.wav", "B"));
  SetLastError(0);
  EXPECT_FALSE(MoveFileW(L"\\My Documents\\a.wav", L"\\My Documents\\B.WAV"));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(ReadAll(L"\\My Documents\\a.wav"), "A");
  EXPECT_EQ(ReadAll(L"\\My Documents\\b.wav"), "B");

  SetLastError(0);
  EXPECT_FALSE(MoveFileW(L"\\My Documents\\none.wav", L"\\My Documents\\c.wav"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  SetLastError(0);
  EXPECT_FALSE(MoveFileW(L"\\My Documents\\a.wav", L"\\Nowhere\\a.wav"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

  // A change of letter case only.
  ASSERT_TRUE(MoveFileW(L"\\My Documents\\a.wav", L"\\My Documents\\A.Wav"));
  EXPECT_TRUE(HostExists("My Documents/A.Wav"));
  EXPECT_FALSE(HostExists("My Documents/a.wav"));

  // Folders move with what they hold, but not into themselves.
  ASSERT_TRUE(CreateDirectoryW(L"\\My Documents\\Old", nullptr));
  ASSERT_TRUE(MoveFileW(L"\\My Documents\\A.Wav", L"\\My Documents\\old\\a.wav"));
  ASSERT_TRUE(MoveFileW(L"\\My Documents\\Old", L"\\Renamed"));
  EXPECT_EQ(ReadAll(L"\\renamed\\A.WAV"), "A");
  EXPECT_FALSE(MoveFileW(L"\\Renamed", L"\\Renamed\\Inner"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(MoveFileW(L"\\", L"\\Elsewhere"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(Files, MoveExReplacesAFileInOneStep) {
  ASSERT_TRUE(WriteNew(L"\\Application Data\\s.xml", "old"));
  ASSERT_TRUE(WriteNew(L"\\Application Data\\s.xml.new", "new"));
  ASSERT_TRUE(MoveFileExW(L"\\Application Data\\s.xml.new", L"\\Application Data\\S.XML", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(ReadAll(L"\\Application Data\\s.xml"), "new");
  EXPECT_EQ(ReadAll(L"\\Application Data\\s.xml.new"), "<missing>");
  // Without the flag it refuses, as MoveFileW does; a missing target is a
  // plain move.
  ASSERT_TRUE(WriteNew(L"\\Application Data\\t.xml", "t"));
  EXPECT_FALSE(MoveFileExW(L"\\Application Data\\t.xml", L"\\Application Data\\s.xml", 0));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(MoveFileExW(L"\\Application Data\\t.xml", L"\\Application Data\\u.xml", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(ReadAll(L"\\Application Data\\u.xml"), "t");
  // Folders are never replaced.
  ASSERT_TRUE(CreateDirectoryW(L"\\Application Data\\Dir", nullptr));
  EXPECT_FALSE(MoveFileExW(L"\\Application Data\\u.xml", L"\\Application Data\\Dir", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadAll(L"\\Application Data\\u.xml"), "t");
}

TEST_F(Files, MoveAcrossHostFileSystemsCopiesThenDeletes) {
  struct stat here {};
  struct stat shm {};
  if (::stat(device.root().c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 || here.st_dev == shm.st_dev) {
    GTEST_SKIP() << "needs /dev/shm on another file system than the temporary folder";
  }
  char pattern[] = "/dev/shm/ce-card-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string card = pattern;
  {
    ScopedSetting cards("DEVICE_STORAGE_CARDS", "Storage Card=" + card);
    ASSERT_TRUE(CreateDirectoryW(L"\\My Documents\\Rec", nullptr));
    ASSERT_TRUE(WriteNew(L"\\My Documents\\Rec\\one.wav", "one"));
    HANDLE file = Open(L"\\My Documents\\Rec\\one.wav", GENERIC_WRITE, OPEN_EXISTING);
    const FILETIME created{0x12345678u, 0x01D00000u};
    ASSERT_TRUE(SetFileTime(file, &created, nullptr, nullptr));
    CloseHandle(file);

    ASSERT_TRUE(MoveFileW(L"\\My Documents\\Rec\\one.wav", L"\\Storage Card\\one.wav"));
    EXPECT_EQ(ReadAll(L"\\Storage Card\\one.wav"), "one");
    EXPECT_FALSE(HostExists("My Documents/Rec/one.wav"));
    WIN32_FILE_ATTRIBUTE_DATA info{};
    ASSERT_TRUE(GetFileAttributesExW(L"\\Storage Card\\one.wav", GetFileExInfoStandard, &info));
    EXPECT_EQ(info.ftCreationTime.dwLowDateTime, created.dwLowDateTime) << "the creation time goes with the file";
    EXPECT_EQ(info.ftCreationTime.dwHighDateTime, created.dwHighDateTime);

    ASSERT_TRUE(WriteNew(L"\\My Documents\\Rec\\one.wav", "again"));
    EXPECT_FALSE(MoveFileW(L"\\My Documents\\Rec\\one.wav", L"\\Storage Card\\ONE.wav"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ReadAll(L"\\Storage Card\\one.wav"), "one");

    ASSERT_TRUE(MoveFileW(L"\\My Documents\\Rec", L"\\Storage Card\\Rec")) << "a folder moves whole";
    EXPECT_EQ(ReadAll(L"\\Storage Card\\Rec\\one.wav"), "again");
    EXPECT_FALSE(HostExists("My Documents/Rec"));
  }
  std::filesystem::remove_all(card);
}

TEST_F(Files, CopyFile) {
  ASSERT_TRUE(WriteNew(L"\\src.txt", "source"));
  ASSERT_TRUE(WriteNew(L"\\dst.txt", "target"));
  SetLastError(0);
  EXPECT_FALSE(CopyFileW(L"\\src.txt", L"\\DST.txt", TRUE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_EQ(ReadAll(L"\\dst.txt"), "target");
  EXPECT_TRUE(CopyFileW(L"\\src.txt", L"\\DST.txt", FALSE));
  EXPECT_EQ(ReadAll(L"\\dst.txt"), "source");
  EXPECT_TRUE(CopyFileW(L"\\src.txt", L"\\My Documents\\new.txt", TRUE));
  EXPECT_EQ(ReadAll(L"\\My Documents\\new.txt"), "source");
  EXPECT_EQ(ReadAll(L"\\src.txt"), "source");
  SetLastError(0);
  EXPECT_FALSE(CopyFileW(L"\\missing.txt", L"\\x.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// A FIFO where a file is expected is refused at once as "access denied",
// whichever way it is opened or copied: nothing waits for a peer.
TEST_F(Files, AFifoIsRefusedWithoutBlocking) {
  std::filesystem::create_directories(device.HostPath("My Documents"));
  const std::string fifo = device.HostPath("My Documents/fifo.wav");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  const wchar_t* const path = L"\\My Documents\\fifo.wav";
  const struct {
    const char* what;
    std::function<bool()> call;
  } cases[] = {
      {"read", [&] { return OpenAndClose(path, GENERIC_READ, OPEN_EXISTING); }},
      {"write", [&] { return OpenAndClose(path, GENERIC_WRITE, OPEN_EXISTING); }},
      {"read and write", [&] { return OpenAndClose(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS); }},
      {"replace", [&] { return OpenAndClose(path, GENERIC_WRITE, CREATE_ALWAYS); }},
      {"truncate", [&] { return OpenAndClose(path, GENERIC_WRITE, TRUNCATE_EXISTING); }},
      {"copy", [&] { return CopyFileW(path, L"\\My Documents\\copy.wav", FALSE) != FALSE; }},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorOf(c.call, fifo), std::to_string(ERROR_ACCESS_DENIED)) << c.what;
  }
  EXPECT_FALSE(HostExists("My Documents/copy.wav"));
  struct stat st {};
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO itself is left as it was";
}

TEST_F(Files, Folders) {
  EXPECT_TRUE(CreateDirectoryW(L"\\My Documents\\New", nullptr));
  SetLastError(0);
  EXPECT_FALSE(CreateDirectoryW(L"\\my documents\\NEW", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  SetLastError(0);
  EXPECT_FALSE(CreateDirectoryW(L"\\Missing\\New", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

  ASSERT_TRUE(WriteNew(L"\\My Documents\\New\\f.txt", "f"));
  SetLastError(0);
  EXPECT_FALSE(RemoveDirectoryW(L"\\My Documents\\New"));
  EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
  SetLastError(0);
  EXPECT_FALSE(RemoveDirectoryW(L"\\My Documents\\New\\f.txt"));
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
  SetLastError(0);
  EXPECT_FALSE(DeleteFileW(L"\\My Documents\\New"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(DeleteFileW(L"\\My Documents\\New\\F.TXT"));
  SetLastError(0);
  EXPECT_FALSE(DeleteFileW(L"\\My Documents\\New\\f.txt"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(RemoveDirectoryW(L"\\My Documents\\New"));
  SetLastError(0);
  EXPECT_FALSE(RemoveDirectoryW(L"\\"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(Files, AttributesReadOnlyAndHidden) {
  ASSERT_TRUE(WriteNew(L"\\note.txt", "keep"));
  EXPECT_EQ(GetFileAttributesW(L"\\note.txt"), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GetFileAttributesW(L"\\My Documents"), FILE_ATTRIBUTE_DIRECTORY);
  SetLastError(0);
  EXPECT_EQ(GetFileAttributesW(L"\\none.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  ASSERT_TRUE(SetFileAttributesW(L"\\note.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetFileAttributesW(L"\\NOTE.TXT"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  for (DWORD disposition : {DWORD{OPEN_EXISTING}, DWORD{CREATE_ALWAYS}}) {
    SetLastError(0);
    EXPECT_EQ(Open(L"\\note.txt", GENERIC_WRITE, disposition), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  }
  SetLastError(0);
  EXPECT_FALSE(DeleteFileW(L"\\note.txt"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadAll(L"\\note.txt"), "keep");

  ASSERT_TRUE(SetFileAttributesW(L"\\note.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesW(L"\\note.txt"), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(DeleteFileW(L"\\note.txt"));

  ASSERT_TRUE(CreateDirectoryW(L"\\Hidden", nullptr));
  ASSERT_TRUE(SetFileAttributesW(L"\\Hidden", FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetFileAttributesW(L"\\Hidden"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);

  WIN32_FILE_ATTRIBUTE_DATA info{};
  ASSERT_TRUE(WriteNew(L"\\sized.bin", std::string(1000, 'x')));
  ASSERT_TRUE(GetFileAttributesExW(L"\\sized.bin", GetFileExInfoStandard, &info));
  EXPECT_EQ(info.nFileSizeLow, 1000u);
  EXPECT_EQ(info.nFileSizeHigh, 0u);
  SetLastError(0);
  EXPECT_FALSE(GetFileAttributesExW(L"\\sized.bin", GetFileExInfoStandard, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(Files, CreationTimeIsKeptAcrossReopenAndRename) {
  const FILETIME created{0x89ABCDEFu, 0x01C00000u};
  const FILETIME written{0x11111110u, 0x01D50000u};
  HANDLE file = Open(L"\\My Documents\\memo001.wav", GENERIC_WRITE, CREATE_NEW);
  ASSERT_TRUE(SetFileTime(file, &created, nullptr, &written));
  CloseHandle(file);

  ASSERT_TRUE(MoveFileW(L"\\My Documents\\memo001.wav", L"\\memo002.wav"));
  file = Open(L"\\MEMO002.WAV", GENERIC_READ, OPEN_EXISTING);
  FILETIME creation{};
  FILETIME write{};
  ASSERT_TRUE(GetFileTime(file, &creation, nullptr, &write));
  CloseHandle(file);
  EXPECT_EQ(creation.dwLowDateTime, created.dwLowDateTime);
  EXPECT_EQ(creation.dwHighDateTime, created.dwHighDateTime);
  EXPECT_EQ(write.dwLowDateTime, written.dwLowDateTime);
  EXPECT_EQ(write.dwHighDateTime, written.dwHighDateTime);

  HANDLE readOnly = Open(L"\\memo002.wav", GENERIC_READ, OPEN_EXISTING);
  SetLastError(0);
  EXPECT_FALSE(SetFileTime(readOnly, &created, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(readOnly);
}

TEST_F(Files, FullDiskFailsTheWriteAndKeepsTheFile) {
  ScopedSetting free("DEVICE_FREE_BYTES", "100");
  HANDLE file = Open(L"\\My Documents\\rec.wav", GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
  ASSERT_TRUE(Write(file, std::string(60, 'a')));
  ULARGE_INTEGER available{};
  ULARGE_INTEGER total{};
  ULARGE_INTEGER totalFree{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"\\My Documents", &available, &total, &totalFree));
  EXPECT_EQ(available.QuadPart, 40u);
  EXPECT_EQ(totalFree.QuadPart, 40u);
  EXPECT_GE(total.QuadPart, 40u);

  DWORD written = 99;
  SetLastError(0);
  EXPECT_FALSE(WriteFile(file, std::string(60, 'b').data(), 60, &written, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(GetFileSize(file, nullptr), 60u);
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 60u);
  // Overwriting in place needs no space.
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_BEGIN), 0u);
  EXPECT_TRUE(Write(file, std::string(60, 'c')));
  CloseHandle(file);
  EXPECT_EQ(ReadAll(L"\\My Documents\\rec.wav"), std::string(60, 'c'));
  SetLastError(0);
  EXPECT_FALSE(CopyFileW(L"\\My Documents\\rec.wav", L"\\copy.wav", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  EXPECT_FALSE(HostExists("copy.wav"));

  ASSERT_TRUE(DeleteFileW(L"\\My Documents\\rec.wav"));
  ASSERT_TRUE(GetDiskFreeSpaceExW(nullptr, &available, nullptr, nullptr));
  EXPECT_EQ(available.QuadPart, 100u) << "a deleted file gives its space back";
}

TEST_F(Files, EachVolumeHasItsOwnFreeSpace) {
  ScopedSetting cards("DEVICE_STORAGE_CARDS", "Storage Card;SD Card");
  ScopedSetting frees("DEVICE_STORAGE_CARD_FREE_BYTES", "5000000");
  ULARGE_INTEGER card{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"\\Storage Card\\", &card, nullptr, nullptr));
  EXPECT_EQ(card.QuadPart, 5000000u);
  ULARGE_INTEGER sd{};
  ULARGE_INTEGER sdTotal{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"\\sd card", &sd, &sdTotal, nullptr));
  EXPECT_GT(sd.QuadPart, 0u) << "no figure: the host's free space";
  EXPECT_GE(sdTotal.QuadPart, sd.QuadPart);
  SetLastError(0);
  EXPECT_FALSE(GetDiskFreeSpaceExW(L"\\No Card", &card, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

  // A move onto a card needs room on the card, and a failed one keeps the file.
  ScopedSetting little("DEVICE_STORAGE_CARD_FREE_BYTES", "100");
  ASSERT_TRUE(WriteNew(L"\\My Documents\\big.wav", std::string(200, 'x')));
  SetLastError(0);
  EXPECT_FALSE(MoveFileW(L"\\My Documents\\big.wav", L"\\Storage Card\\big.wav"));
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  EXPECT_EQ(ReadAll(L"\\My Documents\\big.wav"), std::string(200, 'x'));
  EXPECT_FALSE(HostExists("Storage Card/big.wav"));
  ASSERT_TRUE(WriteNew(L"\\My Documents\\small.wav", std::string(60, 'y')));
  ASSERT_TRUE(MoveFileW(L"\\My Documents\\small.wav", L"\\Storage Card\\small.wav"));
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"\\Storage Card", &card, nullptr, nullptr));
  EXPECT_EQ(card.QuadPart, 40u);
}

// A program folder installed on the host ("Shipped"), beside the device.
class ProgramFolders : public Files {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "ce-installed-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    installed = pattern;
    std::filesystem::create_directories(installed + "/Sub");
    WriteHost("data.txt", "installed");
    WriteHost("Sub/deep.txt", "deep");
    WriteHost("locked.txt", "locked");
    std::filesystem::permissions(installed + "/locked.txt", std::filesystem::perms::owner_read);
    setting.emplace("DEVICE_PROGRAM_FOLDERS", "Shipped=" + installed);
    before = Snapshot();
  }
  void TearDown() override {
    EXPECT_EQ(Snapshot(), before) << "the installed folder changed";
    setting.reset();
    std::filesystem::remove_all(installed);
  }
  void WriteHost(const std::string& relative, const std::string& text) const {
    std::FILE* f = std::fopen((installed + "/" + relative).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(text.c_str(), f);
    std::fclose(f);
  }
  // Every entry of the installed folder with its size, mode and contents.
  std::string Snapshot() const {
    std::vector<std::string> lines;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(installed)) {
      std::string line = entry.path().string() + " " + std::to_string(static_cast<int>(entry.status().permissions()));
      if (entry.is_regular_file()) {
        std::FILE* f = std::fopen(entry.path().c_str(), "rb");
        char buffer[256] = {};
        const std::size_t n = f ? std::fread(buffer, 1, sizeof buffer, f) : 0;
        if (f) std::fclose(f);
        line += " " + std::string(buffer, n);
      }
      lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
  }
  static std::vector<std::wstring> List(const wchar_t* pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern, &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      names.emplace_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
  }

  std::string installed;
  std::optional<ScopedSetting> setting;
  std::string before;
};

// Installed files are read; every call that would change or remove one is
// refused, and the host folder is left exactly as it was installed.
TEST_F(ProgramFolders, InstalledEntriesAreReadOnlyToTheDevice) {
  EXPECT_EQ(ReadAll(L"\\Program Files\\Shipped\\data.txt"), "installed");
  EXPECT_EQ(ReadAll(L"\\program files\\SHIPPED\\sub\\Deep.txt"), "deep");
  struct Case {
    const char* what;
    BOOL ok;
  } cases[] = {
      {"DeleteFileW", DeleteFileW(L"\\Program Files\\Shipped\\data.txt")},
      {"DeleteFileW deep", DeleteFileW(L"\\Program Files\\Shipped\\Sub\\deep.txt")},
      {"MoveFileW out", MoveFileW(L"\\Program Files\\Shipped\\data.txt", L"\\My Documents\\stolen.txt")},
      {"MoveFileW within", MoveFileW(L"\\Program Files\\Shipped\\data.txt", L"\\Program Files\\Shipped\\b.txt")},
      {"MoveFileW folder", MoveFileW(L"\\Program Files\\Shipped\\Sub", L"\\Program Files\\Shipped\\Sub2")},
      {"RemoveDirectoryW", RemoveDirectoryW(L"\\Program Files\\Shipped\\Sub")},
      {"RemoveDirectoryW top", RemoveDirectoryW(L"\\Program Files\\Shipped")},
      {"SetFileAttributesW",
       SetFileAttributesW(L"\\Program Files\\Shipped\\data.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(c.ok) << c.what;
  }
  SetLastError(0);
  EXPECT_FALSE(DeleteFileW(L"\\Program Files\\Shipped\\data.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(ReadAll(L"\\Program Files\\Shipped\\data.txt"), "installed");
  EXPECT_EQ(ReadAll(L"\\My Documents\\stolen.txt"), "<missing>");
  // A file installed read-only stays so in the device's copy too.
  EXPECT_EQ(Open(L"\\Program Files\\Shipped\\locked.txt", GENERIC_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
}

// A FIFO in an installed folder is never copied up for a writer: the copy
// would wait on it forever.
TEST_F(ProgramFolders, AnInstalledFifoIsRefusedWithoutBlocking) {
  const std::string fifo = installed + "/pipe.dat";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  before = Snapshot();
  EXPECT_EQ(
      ErrorOf([] { return OpenAndClose(L"\\Program Files\\Shipped\\pipe.dat", GENERIC_WRITE, OPEN_EXISTING); }, fifo),
      std::to_string(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(HostExists("Program Files/Shipped/pipe.dat"));
}

// What a program writes in a program folder lands in the device's own folder
// of that name, which is looked up before the installed one.
TEST_F(ProgramFolders, WritesLandInTheDevicesOwnFolder) {
  const std::string own = "Program Files/Shipped/";
  ASSERT_TRUE(WriteNew(L"\\Program Files\\Shipped\\new.txt", "new"));
  EXPECT_TRUE(HostExists(own + "new.txt"));
  ASSERT_TRUE(WriteNew(L"\\Program Files\\Shipped\\Sub\\made.txt", "made")) << "in an installed sub-folder";
  EXPECT_EQ(device.ReadHostFile(own + "Sub/made.txt"), "made");
  ASSERT_TRUE(CreateDirectoryW(L"\\Program Files\\Shipped\\Sub\\Saves", nullptr));
  EXPECT_TRUE(std::filesystem::is_directory(device.HostPath(own + "Sub/Saves")));
  EXPECT_FALSE(CreateDirectoryW(L"\\Program Files\\Shipped\\Sub", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

  // Opened for writing, an installed file becomes the device's own copy.
  HANDLE file = Open(L"\\Program Files\\Shipped\\data.txt", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  char head[4] = {};
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(file, head, 4, &got, nullptr));
  EXPECT_EQ(std::string(head, got), "inst") << "the copy starts as the installed file";
  ASSERT_TRUE(Write(file, "MINE"));
  CloseHandle(file);
  EXPECT_EQ(ReadAll(L"\\Program Files\\Shipped\\data.txt"), "instMINEd");
  EXPECT_EQ(device.ReadHostFile(own + "data.txt"), "instMINEd");

  ASSERT_TRUE(WriteNew(L"\\My Documents\\a.txt", "copied"));
  ASSERT_TRUE(CopyFileW(L"\\My Documents\\a.txt", L"\\Program Files\\Shipped\\Sub\\deep.txt", FALSE));
  EXPECT_EQ(ReadAll(L"\\Program Files\\Shipped\\Sub\\deep.txt"), "copied");
  EXPECT_FALSE(CopyFileW(L"\\My Documents\\a.txt", L"\\Program Files\\Shipped\\locked.txt", FALSE));
  ASSERT_TRUE(MoveFileW(L"\\Program Files\\Shipped\\new.txt", L"\\Program Files\\Shipped\\Sub\\moved.txt"));
  EXPECT_EQ(device.ReadHostFile(own + "Sub/moved.txt"), "new");

  // A listing shows each name once, the device's own entry over the installed.
  EXPECT_EQ(List(L"\\Program Files\\Shipped\\*"), (std::vector<std::wstring>{L"data.txt", L"locked.txt", L"Sub"}));
  EXPECT_EQ(List(L"\\Program Files\\Shipped\\Sub\\*"),
            (std::vector<std::wstring>{L"deep.txt", L"made.txt", L"moved.txt", L"Saves"}));
  const std::vector<std::wstring> programs = List(L"\\Program Files\\*");
  EXPECT_EQ(std::count(programs.begin(), programs.end(), L"Shipped"), 1) << "the folder and its mount are one";

  // Deleting the device's copy shows the installed file again.
  EXPECT_TRUE(DeleteFileW(L"\\Program Files\\Shipped\\data.txt"));
  EXPECT_EQ(ReadAll(L"\\Program Files\\Shipped\\data.txt"), "installed");
  EXPECT_FALSE(DeleteFileW(L"\\Program Files\\Shipped\\data.txt"));
}

// The running program's own folder is its executable's host folder: the
// executable cannot be written or deleted, and new files go to the device.
TEST_F(Files, TheRunningProgramsFolderIsInstalledReadOnly) {
  wchar_t exe[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
  const std::wstring folder = std::wstring(exe).substr(0, std::wstring(exe).rfind(L'\\'));
  EXPECT_NE(GetFileAttributesW(exe), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(DeleteFileW(exe));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Open(exe, GENERIC_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(exe, GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  const std::wstring note = folder + L"\\note.txt";
  ASSERT_TRUE(WriteNew(note.c_str(), "beside"));
  const std::string name = ce::Utf8FromWide(folder.substr(folder.rfind(L'\\') + 1));
  EXPECT_EQ(device.ReadHostFile("Program Files/" + name + "/note.txt"), "beside");
  char self[4096] = {};
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(n, 0);
  EXPECT_FALSE(std::filesystem::exists(
      std::filesystem::path(std::string(self, static_cast<std::size_t>(n))).parent_path() / "note.txt"));
  EXPECT_TRUE(DeleteFileW(note.c_str()));
}

}  // namespace
