// ssFile over the device's files, and an archive read from a real file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ark_writer.h"
#include "ce/winbase.h"
#include "engine/archive.h"
#include "engine/file.h"

namespace {

std::string ReadAll(ssFile& f) {
  std::string out;
  char buf[64];
  for (std::uint32_t n; (n = f.Read(buf, sizeof buf)) > 0;) out.append(buf, n);
  return out;
}

void WriteText(const wchar_t* path, const std::string& text) {
  ssFile f;
  ASSERT_TRUE(f.Open(path, kFileModeCreateWrite, 0));
  ASSERT_EQ(f.Write(text.data(), static_cast<std::uint32_t>(text.size())), text.size());
}

TEST(File, ModeBitsChooseAccessAndCreation) {
  CreateDirectoryW(L"\\Saves", nullptr);
  ssFile f;
  // Read only: the file must exist.
  EXPECT_FALSE(f.Open(L"\\Saves\\game.sav", kFileModeRead, 0));
  EXPECT_FALSE(f.IsOpen());

  WriteText(L"\\Saves\\game.sav", "first contents");
  // Create always empties an existing file.
  WriteText(L"\\Saves\\game.sav", "new");
  ASSERT_TRUE(f.Open(L"\\Saves\\game.sav", kFileModeRead, 0));
  EXPECT_EQ(ReadAll(f), "new");
  EXPECT_EQ(f.Write("x", 1), 0u) << "opened for reading only";
  f.Close();

  // Bit 0x8000 opens or creates without emptying.
  ASSERT_TRUE(f.Open(L"\\Saves\\other.sav", kFileModeWrite | kFileModeOpenAlways, 0));
  EXPECT_EQ(f.Write("abc", 3), 3u);
  f.Close();
  ASSERT_TRUE(f.Open(L"\\Saves\\other.sav", kFileModeWrite | kFileModeOpenAlways, 0));
  EXPECT_EQ(f.GetSize(), 3u);
  f.Close();

  // Read and write, open existing: appending.
  ASSERT_TRUE(f.Open(L"\\SAVES\\GAME.SAV", kFileModeReadWrite, 0));
  EXPECT_EQ(f.Seek(0, kSeekEnd), 3u);
  EXPECT_EQ(f.Write("+", 1), 1u);
  EXPECT_EQ(f.Seek(0, kSeekBegin), 0u);
  EXPECT_EQ(ReadAll(f), "new+");
  EXPECT_EQ(f.Name(), L"\\SAVES\\GAME.SAV");
}

TEST(File, PositionSizeAndTell) {
  WriteText(L"\\numbers.bin", "0123456789");
  ssFile f;
  ASSERT_TRUE(f.Open(L"\\numbers.bin", kFileModeRead, 3));
  char buf[4];
  EXPECT_EQ(f.Read(buf, 4), 4u);
  EXPECT_EQ(f.Position(), 4u);
  EXPECT_EQ(f.GetSize(), 10u);
  EXPECT_EQ(f.Tell(), 4u) << "GetSize keeps the position";
  EXPECT_EQ(f.Seek(-2, kSeekCurrent), 2u);
  EXPECT_EQ(f.Seek(-1, kSeekEnd), 9u);
  EXPECT_EQ(f.Read(buf, 4), 1u);
  EXPECT_EQ(f.Seek(-20, kSeekBegin), 0xFFFFFFFFu) << "a move before the start fails";
}

TEST(File, ClosedFileOperationsReturnZero) {
  ssFile f;
  char buf[4];
  EXPECT_EQ(f.Read(buf, 4), 0u);
  EXPECT_EQ(f.Write(buf, 4), 0u);
  EXPECT_EQ(f.Seek(1, kSeekBegin), 0u);
  EXPECT_EQ(f.GetSize(), 0u);
  EXPECT_EQ(f.Close(), kCloseNotOpen);
  WriteText(L"\\c.bin", "c");
  ASSERT_TRUE(f.Open(L"\\c.bin", kFileModeRead, 0));
  EXPECT_NE(f.Close(), 0u);
  EXPECT_EQ(f.Close(), kCloseNotOpen);
}

TEST(File, NamesTooLongOrMissingAreRefused) {
  ssFile f;
  EXPECT_FALSE(f.Open(nullptr, kFileModeRead, 0));
  EXPECT_FALSE(f.Open(L"", kFileModeRead, 0));
  std::wstring longName = L"\\" + std::wstring(kMaxFileName, L'a');
  EXPECT_FALSE(f.Open(longName.c_str(), kFileModeCreateWrite, 0));
  EXPECT_EQ(GetFileAttributesW(longName.c_str()), INVALID_FILE_ATTRIBUTES) << "nothing was created";
}

TEST(File, ArchiveOnTheDeviceWithCaseInsensitivePaths) {
  std::string error;
  std::vector<std::uint8_t> ark =
      arkpack::BuildArchive({{"Stick.kso", {'S', 'T', 'I', 'C', 'K'}}, {"stick.tga", {'T', 'G', 'A'}}}, &error);
  ASSERT_FALSE(ark.empty()) << error;
  CreateDirectoryW(L"\\Program Files", nullptr);
  CreateDirectoryW(L"\\Program Files\\Game", nullptr);
  CreateDirectoryW(L"\\Program Files\\Game\\Rooms", nullptr);
  {
    ssFile f;
    ASSERT_TRUE(f.Open(L"\\Program Files\\Game\\Rooms\\Garage.ark", kFileModeCreateWrite, 0));
    ASSERT_EQ(f.Write(ark.data(), static_cast<std::uint32_t>(ark.size())), ark.size());
  }
  for (bool preload : {false, true}) {
    ssArchive archive(preload);
    archive.SetBaseFolder(L"\\program files\\GAME", 0);
    auto kso = archive.OpenFile(L"STICK.kso", L"rooms", L"garage.ARK", kFileModeRead, 3);
    auto tga = archive.OpenFile(L"Stick.tga", L"Rooms", L"Garage.ark", kFileModeRead, 3);
    ASSERT_NE(kso, nullptr);
    ASSERT_NE(tga, nullptr);
    EXPECT_EQ(archive.OpenArchiveCount(), 1u);
    char c;
    std::string a, b;
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(kso->Read(&c, 1), 1u);
      a += c;
      ASSERT_EQ(tga->Read(&c, 1), 1u);
      b += c;
    }
    EXPECT_EQ(a, "STI");
    EXPECT_EQ(b, "TGA");
    EXPECT_EQ(ReadAll(*kso), "CK");
    // The member's stream was deleted before the archive; the archive's
    // handle stays open for the other member.
    kso.reset();
    EXPECT_EQ(tga->Seek(0, kSeekBegin), 0u);
    EXPECT_EQ(ReadAll(*tga), "TGA");
  }
}

}  // namespace
