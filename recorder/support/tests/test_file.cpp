#include <gtest/gtest.h>

#include <string>

#include "ce/winbase.h"
#include "os/file.h"
#include "os/path.h"

namespace {

std::string ReadAll(const std::wstring& path) {
  os::File f(path, 0);
  std::string bytes(f.get_size(), '\0');
  EXPECT_EQ(f.read(bytes.data(), static_cast<std::uint32_t>(bytes.size())), bytes.size());
  return bytes;
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
  os::File f(path, 1);
  ASSERT_TRUE(f.is_ok());
  EXPECT_EQ(f.write(bytes.data(), static_cast<std::uint32_t>(bytes.size())), bytes.size());
}

TEST(File, MissingFileFailsInReadModeOnlyAndFailedObjectRefusesEverything) {
  os::File missing(L"%my_documents%/missing.bin", 0);
  EXPECT_FALSE(missing.is_ok());
  ASSERT_EQ(missing.error_list().size(), 1u);
  EXPECT_EQ(missing.error_list()[0], L"can't open file");
  char buffer[4];
  EXPECT_EQ(missing.read(buffer, 4), 0u);
  EXPECT_EQ(missing.write("abcd", 4), 0u);
  EXPECT_EQ(missing.skip(4), 0u);
  EXPECT_EQ(missing.seek(0), 0u);
  EXPECT_EQ(missing.get_size(), 0u);
  EXPECT_EQ(missing.tell(), 0u);
  EXPECT_FALSE(missing.flush());
  EXPECT_FALSE(missing.set_size(1));
  EXPECT_FALSE(os::FileInfo(L"%my_documents%/missing.bin").exists());

  for (int mode : {1, 2, 3}) {
    const std::wstring path = L"%my_documents%/new" + std::to_wstring(mode) + L".bin";
    os::File created(path, mode);
    EXPECT_TRUE(created.is_ok()) << mode;
    EXPECT_TRUE(os::FileInfo(path).exists()) << mode;
  }
}

TEST(File, ModesOnAnExistingFile) {
  const std::wstring path = L"%my_documents%/modes.bin";
  WriteAll(path, "abcdef");
  {
    os::File append(path, 2);
    EXPECT_EQ(append.tell(), 6u);
    EXPECT_EQ(append.write("gh", 2), 2u);
  }
  EXPECT_EQ(ReadAll(path), "abcdefgh");
  {
    os::File both(path, 3);
    EXPECT_EQ(both.tell(), 0u);
    EXPECT_EQ(both.write("XY", 2), 2u);  // over the old bytes, not shortening
    char c = 0;
    EXPECT_EQ(both.read(&c, 1), 1u);
    EXPECT_EQ(c, 'c');
  }
  EXPECT_EQ(ReadAll(path), "XYcdefgh");
  {
    os::File create(path, 1);
    EXPECT_EQ(create.get_size(), 0u);
  }
  EXPECT_EQ(ReadAll(path), "");
  // A read-only file refuses writing.
  os::File reader(L"%app_full_name%", 0);
  EXPECT_EQ(reader.write("x", 1), 0u);
}

TEST(File, ReadSkipSeekTellAndSize) {
  const std::wstring path = L"%my_documents%/rw.bin";
  WriteAll(path, "0123456789");
  os::File f(path, 3);
  char buffer[8] = {};
  EXPECT_EQ(f.read(buffer, 0), 0u);
  EXPECT_EQ(f.write(buffer, 0), 0u);
  EXPECT_EQ(f.skip(0), 0u);
  EXPECT_EQ(f.skip(3), 3u);
  EXPECT_EQ(f.read(buffer, 2), 2u);
  EXPECT_EQ(std::string(buffer, 2), "34");
  EXPECT_EQ(f.seek(8), 1u);
  EXPECT_EQ(f.read(buffer, 8), 2u);  // short at the end
  EXPECT_EQ(f.read(buffer, 8), 0u);
  EXPECT_EQ(f.tell(), 10u);
  EXPECT_TRUE(f.set_size(4));
  EXPECT_EQ(f.get_size(), 4u);
  EXPECT_TRUE(f.set_size(6));
  EXPECT_EQ(f.get_size(), 6u);
  EXPECT_TRUE(f.flush());
  // Reads and writes failing after a good open add no message.
  EXPECT_TRUE(f.is_ok());
}

TEST(FileInfo, FactsRenameAndMissingPath) {
  const std::wstring path = L"%my_documents%/info.wav";
  WriteAll(path, "12345");
  os::FileInfo info(path);
  EXPECT_TRUE(info.exists());
  EXPECT_EQ(info.get_size(), 5u);
  EXPECT_EQ(info.path, path);
  EXPECT_GE(info.get_time().year(), 2000);
  EXPECT_FALSE(info.attributes & FILE_ATTRIBUTE_DIRECTORY);

  EXPECT_TRUE(info.rename(L"%my_documents%/renamed.wav"));
  EXPECT_EQ(info.last_error, 0u);
  EXPECT_EQ(info.path, path);
  EXPECT_TRUE(os::FileInfo(L"%my_documents%/renamed.wav").exists());
  EXPECT_FALSE(info.rename(L"%my_documents%/again.wav"));
  EXPECT_NE(info.last_error, 0u);

  os::FileInfo missing(L"%my_documents%/nope.wav");
  EXPECT_FALSE(missing.exists());
  EXPECT_EQ(missing.get_size(), 0u);
  EXPECT_EQ(missing.get_time().year(), 1601);
  EXPECT_EQ(missing.last_error, ERROR_FILE_NOT_FOUND);

  // Moving onto an existing file fails and keeps both.
  WriteAll(L"%my_documents%/other.wav", "o");
  os::FileInfo renamed(L"%my_documents%/renamed.wav");
  EXPECT_FALSE(renamed.rename(L"%my_documents%/other.wav"));
  EXPECT_EQ(renamed.last_error, ERROR_ALREADY_EXISTS);
  EXPECT_EQ(ReadAll(L"%my_documents%/other.wav"), "o");

  EXPECT_TRUE(os::delete_file(L"%my_documents%/renamed.wav"));
  EXPECT_FALSE(os::delete_file(L"%my_documents%/renamed.wav"));
  EXPECT_FALSE(os::FileInfo(L"%my_documents%/renamed.wav").exists());
}

TEST(FileSystem, DirectoryTreeAndFreeSpace) {
  os::create_directory(L"%my_documents%/outer/inner/");
  EXPECT_TRUE(os::FileInfo(L"%my_documents%/outer").attributes & FILE_ATTRIBUTE_DIRECTORY);
  os::FileInfo inner(L"%my_documents%/outer/inner");
  EXPECT_TRUE(inner.exists());
  EXPECT_TRUE(inner.attributes & FILE_ATTRIBUTE_DIRECTORY);
  WriteAll(L"%my_documents%/outer/inner/keep.txt", "k");
  os::create_directory(L"%my_documents%/outer/inner");  // again: nothing changes
  EXPECT_TRUE(os::FileInfo(L"%my_documents%/outer/inner/keep.txt").exists());
  os::create_directory(L"");

  EXPECT_GT(os::get_disk_free_space(L"%my_documents%"), 0.0);
  EXPECT_EQ(os::get_disk_free_space(L"\\No Such Folder\\x"), 0.0);
}

}  // namespace
