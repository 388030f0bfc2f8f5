// Archives and member streams: lookup, status words, the loose-file
// fallback, reads and seeks within members, and corrupt directories. Most
// cases run twice, reading through the archive's handle and preloaded.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ark_writer.h"
#include "engine/archive.h"
#include "memory_file.h"

namespace {

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<std::uint8_t> Pack(const std::vector<arkpack::Member>& members) {
  std::string error;
  std::vector<std::uint8_t> ark = arkpack::BuildArchive(members, &error);
  EXPECT_FALSE(ark.empty()) << error;
  return ark;
}

std::string ReadAll(ssFile& f, std::uint32_t chunk = 1000) {
  std::string out;
  std::vector<char> buf(chunk);
  for (;;) {
    std::uint32_t n = f.Read(buf.data(), chunk);
    if (n == 0) break;
    out.append(buf.data(), n);
  }
  return out;
}

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

class ArchiveTest : public ::testing::TestWithParam<bool> {
 protected:
  ArchiveTest() : m_Archive(GetParam()) {
    m_Archive.SetBaseFolder(L"\\Program Files\\Kestrune", 0);
    m_Archive.AddFile(L"\\Program Files\\Kestrune\\UI\\res.ark", Pack({{"Numbers.tga", Bytes("0123456789")},
                                                                       {"keys.tga", Bytes("KEYS-DATA")},
                                                                       {"rack.wav", Bytes("RIFF....WAVE")}}));
  }
  ssMemoryArchive m_Archive;
};

TEST_P(ArchiveTest, MixedCaseNamesFindTheEntryAndTheOpenArchive) {
  auto a = m_Archive.OpenFile(L"NUMBERS.TGA", L"UI", L"res.ark", kFileModeRead, 3);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(m_Archive.LastStatus(), kArchiveFound);
  EXPECT_EQ(ReadAll(*a), "0123456789");
  // The sound loader spells the folder "ui": the same archive, not reopened.
  auto b = m_Archive.OpenFile(L"Rack.Wav", L"ui", L"RES.ARK", kFileModeRead, 3);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(m_Archive.LastStatus(), kArchiveFound);
  EXPECT_EQ(m_Archive.OpenArchiveCount(), 1u);
  EXPECT_EQ(m_Archive.OpenCount(L"\\Program Files\\Kestrune\\UI\\res.ark"), 1);
  EXPECT_FALSE(m_Archive.Failed());
}

TEST_P(ArchiveTest, StatusWordsAndTheLooseFileFallback) {
  m_Archive.AddFile(L"\\Program Files\\Kestrune\\UI\\extra.tga", Bytes("LOOSE"));
  m_Archive.AddFile(L"\\Program Files\\Kestrune\\Rooms\\Table.kso", Bytes("TABLE"));
  m_Archive.AddFile(L"\\Program Files\\Kestrune\\top.txt", Bytes("TOP"));

  // Archive newly opened, member not in it: the loose file of that name.
  auto loose = m_Archive.OpenFile(L"extra.tga", L"UI", L"res.ark", kFileModeRead, 3);
  ASSERT_NE(loose, nullptr);
  EXPECT_EQ(m_Archive.LastStatus(), kArchiveNewMemberMissing);
  EXPECT_TRUE(m_Archive.Failed());
  EXPECT_EQ(ReadAll(*loose), "LOOSE");

  // Archive already open, member missing, no loose file either.
  EXPECT_EQ(m_Archive.OpenFile(L"none.tga", L"UI", L"res.ark", kFileModeRead, 3), nullptr);
  EXPECT_EQ(m_Archive.LastStatus(), kArchiveMemberMissing);

  // A missing archive: the archive name plays no part in the fallback.
  auto table = m_Archive.OpenFile(L"Table.kso", L"Rooms", L"Garage.ark", kFileModeRead, 3);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(m_Archive.LastStatus(), kArchiveOpenFailed);
  EXPECT_EQ(ReadAll(*table), "TABLE");

  // An empty folder puts the loose file straight in the base folder.
  auto top = m_Archive.OpenFile(L"top.txt", L"", L"none.ark", kFileModeRead, 3);
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(ReadAll(*top), "TOP");

  // Found again: the failure flag clears only when a new archive holds it.
  ASSERT_NE(m_Archive.OpenFile(L"keys.tga", L"UI", L"res.ark", kFileModeRead, 3), nullptr);
  EXPECT_EQ(m_Archive.LastStatus(), kArchiveFound);
}

TEST_P(ArchiveTest, MissingArchiveIsRetriedOnEveryOpen) {
  const std::wstring path = L"\\Program Files\\Kestrune\\Rooms\\Garage.ark";
  EXPECT_EQ(m_Archive.OpenFile(L"Wall0.tga", L"Rooms", L"Garage.ark", kFileModeRead, 3), nullptr);
  EXPECT_EQ(m_Archive.LastStatus(), kArchiveOpenFailed);
  m_Archive.AddFile(path, Pack({{"wall0.tga", Bytes("W0")}}));
  auto wall = m_Archive.OpenFile(L"Wall0.tga", L"Rooms", L"Garage.ark", kFileModeRead, 3);
  ASSERT_NE(wall, nullptr);
  EXPECT_EQ(m_Archive.LastStatus(), kArchiveFound);
  EXPECT_EQ(ReadAll(*wall), "W0");
  EXPECT_EQ(m_Archive.OpenCount(path), 2);
}

TEST_P(ArchiveTest, ReadsStopAtTheMemberEnd) {
  auto m = m_Archive.OpenFile(L"numbers.tga", L"UI", L"res.ark", kFileModeRead, 3);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->GetSize(), 10u) << "the entry's length, not the archive's size";
  EXPECT_EQ(m->Seek(0, kSeekEnd), 10u);
  EXPECT_EQ(m->Seek(-3, kSeekEnd), 7u);
  char buf[100];
  EXPECT_EQ(m->Read(buf, 100), 3u);
  EXPECT_EQ(std::string(buf, 3), "789");
  EXPECT_EQ(m->Tell(), 10u);
  EXPECT_EQ(m->Read(buf, 100), 0u);
  // Seeks are not clamped to the member's end, but never go below its start.
  EXPECT_EQ(m->Seek(5, kSeekEnd), 15u);
  EXPECT_EQ(m->Read(buf, 4), 0u);
  EXPECT_EQ(m->Seek(-100, kSeekCurrent), 0u);
  EXPECT_EQ(m->Read(buf, 2), 2u);
  EXPECT_EQ(std::string(buf, 2), "01");
  EXPECT_EQ(m->Seek(3, kSeekCurrent), 5u);
  EXPECT_EQ(m->Read(buf, 1), 1u);
  EXPECT_EQ(buf[0], '5');
  // Members do not write into the archive, and Close leaves it usable.
  EXPECT_EQ(m->Write("x", 1), 0u);
  m->Close();
  EXPECT_EQ(m->Seek(0, kSeekBegin), 0u);
  EXPECT_EQ(m->Read(buf, 1), 1u);
  EXPECT_EQ(buf[0], '0');
}

TEST_P(ArchiveTest, MembersOfOneArchiveReadAlternately) {
  auto a = m_Archive.OpenFile(L"numbers.tga", L"UI", L"res.ark", kFileModeRead, 3);
  auto b = m_Archive.OpenFile(L"keys.tga", L"UI", L"res.ark", kFileModeRead, 3);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  std::string sa, sb;
  char c;
  for (int i = 0; i < 9; ++i) {
    ASSERT_EQ(a->Read(&c, 1), 1u);
    sa += c;
    ASSERT_EQ(b->Read(&c, 1), 1u);
    sb += c;
  }
  EXPECT_EQ(sa, "012345678");
  EXPECT_EQ(sb, "KEYS-DATA");
}

TEST_P(ArchiveTest, CloseArchiveForgetsOnlyThatArchive) {
  m_Archive.AddFile(L"\\Program Files\\Kestrune\\Rooms\\Garage.ark", Pack({{"floor.tga", Bytes("F")}}));
  auto keys = m_Archive.OpenFile(L"keys.tga", L"UI", L"res.ark", kFileModeRead, 3);
  ASSERT_NE(keys, nullptr);
  ASSERT_NE(m_Archive.OpenFile(L"floor.tga", L"Rooms", L"Garage.ark", kFileModeRead, 3), nullptr);
  EXPECT_EQ(m_Archive.OpenArchiveCount(), 2u);
  m_Archive.CloseArchive(L"ui", L"RES.ark");
  EXPECT_EQ(m_Archive.OpenArchiveCount(), 1u);
  EXPECT_EQ(ReadAll(*keys), "KEYS-DATA") << "a member kept past its archive still reads safely";
  auto floor = m_Archive.OpenFile(L"floor.tga", L"Rooms", L"Garage.ark", kFileModeRead, 3);
  ASSERT_NE(floor, nullptr);
  EXPECT_EQ(ReadAll(*floor), "F");
  EXPECT_EQ(m_Archive.OpenCount(L"\\Program Files\\Kestrune\\Rooms\\Garage.ark"), 1);
  ASSERT_NE(m_Archive.OpenFile(L"keys.tga", L"UI", L"res.ark", kFileModeRead, 3), nullptr);
  EXPECT_EQ(m_Archive.OpenCount(L"\\Program Files\\Kestrune\\UI\\res.ark"), 2);
}

// Each corrupt archive gives no member; a bad header or directory also no
// stream and is dropped; a bad entry is as good as absent.
TEST_P(ArchiveTest, CorruptArchivesAreRefused) {
  std::vector<std::uint8_t> good = Pack({{"a.bin", Bytes("AAAA")}, {"b.bin", Bytes("BBBB")}});
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::uint32_t status;
  };
  std::vector<Case> cases;
  auto with = [&](std::size_t at, std::uint32_t v) {
    std::vector<std::uint8_t> b = good;
    Put32(b, at, v);
    return b;
  };
  cases.push_back({"first word not 0", with(0, 1), kArchiveBadHeader});
  cases.push_back({"second word not 258", with(4, 257), kArchiveBadHeader});
  cases.push_back({"directory past the end", with(8, 3), kArchiveBadHeader});
  cases.push_back({"huge count", with(8, 0xFFFFFFFFu), kArchiveBadHeader});
  cases.push_back({"count that overflows 40 N in 32 bits", with(8, 0x06666667u), kArchiveBadHeader});
  cases.push_back({"empty file", {}, kArchiveBadHeader});
  cases.push_back({"header cut short", {0, 0, 0, 0, 2, 1}, kArchiveBadHeader});
  cases.push_back({"member offset past the end", with(12 + 32, 0xFFFFFFF0u), kArchiveNewMemberMissing});
  cases.push_back({"member length past the end", with(12 + 36, 1000), kArchiveNewMemberMissing});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ssMemoryArchive corrupt(GetParam());
    corrupt.AddFile(L"\\x.ark", c.bytes);
    EXPECT_EQ(corrupt.OpenFile(L"a.bin", L"", L"x.ark", kFileModeRead, 3), nullptr);
    EXPECT_EQ(corrupt.LastStatus(), c.status);
    if (c.status == kArchiveBadHeader) {
      EXPECT_EQ(corrupt.OpenArchiveCount(), 0u) << "a refused archive is not kept";
    } else {
      auto b = corrupt.OpenFile(L"b.bin", L"", L"x.ark", kFileModeRead, 3);
      ASSERT_NE(b, nullptr) << "the sound entries stay usable";
      EXPECT_EQ(ReadAll(*b), "BBBB");
    }
  }
}

TEST_P(ArchiveTest, NamesThatCannotMatch) {
  // A name without terminator in the file, a name longer than 31 characters
  // and a ".." folder never match or leave the base folder.
  std::vector<std::uint8_t> ark = Pack({{"abc", Bytes("X")}});
  std::memset(ark.data() + 12, 'a', 32);
  m_Archive.AddFile(L"\\Program Files\\Kestrune\\x.ark", ark);
  m_Archive.AddFile(L"\\Program Files\\secret.txt", Bytes("S"));
  EXPECT_EQ(m_Archive.OpenFile(std::wstring(32, L'a').c_str(), L"", L"x.ark", kFileModeRead, 3), nullptr);
  EXPECT_EQ(m_Archive.OpenFile(std::wstring(40, L'a').c_str(), L"", L"x.ark", kFileModeRead, 3), nullptr);
  EXPECT_EQ(m_Archive.OpenFile(L"secret.txt", L"..", L"none.ark", kFileModeRead, 3), nullptr);
  EXPECT_EQ(m_Archive.OpenFile(L"..\\secret.txt", L"", L"none.ark", kFileModeRead, 3), nullptr);
  EXPECT_EQ(m_Archive.OpenFile(nullptr, L"UI", L"res.ark", kFileModeRead, 3), nullptr);
}

INSTANTIATE_TEST_SUITE_P(ThroughHandleAndPreloaded, ArchiveTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Preloaded" : "Streamed";
                         });

TEST(ArchiveNames, NameToAsciiAndBack) {
  char ascii[32];
  ssArchive::NameToAscii(L"Table.KSO", ascii, sizeof ascii);
  EXPECT_STREQ(ascii, "table.kso");
  // The low byte of each unit; only A to Z are lowered.
  const wchar_t odd[] = {0x141, L'\u00C9', L'Z', 0};
  ssArchive::NameToAscii(odd, ascii, sizeof ascii);
  EXPECT_EQ(static_cast<unsigned char>(ascii[0]), 0x41 + 32);
  EXPECT_EQ(static_cast<unsigned char>(ascii[1]), 0xC9);
  EXPECT_EQ(ascii[2], 'z');
  ssArchive::NameToAscii(L"abcdef", ascii, 4);
  EXPECT_STREQ(ascii, "abc") << "cut to the buffer and terminated";

  wchar_t wide[8];
  CopyAsciiToWide("Tahoma\xE9", wide, 8);
  EXPECT_EQ(std::wstring(wide), std::wstring(L"Tahoma\u00E9"));
  CopyAsciiToWide("Tahoma8", wide, 4);
  EXPECT_EQ(std::wstring(wide), L"Tah");
}

}  // namespace
