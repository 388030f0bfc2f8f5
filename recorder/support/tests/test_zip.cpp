#include <gtest/gtest.h>

#include <string>

#include "liba/zip_file.h"
#include "os/file.h"
#include "zip_builder.h"

namespace {

using vo_test::BuildZip;
using vo_test::Stored;

const std::wstring kPath = L"%my_documents%/skin.zip";

void WriteArchive(const std::string& bytes) {
  os::File f(kPath, 1);
  f.write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

std::string ReadRest(liba::ZipFile& zip, std::uint32_t piece) {
  std::string out;
  char buffer[64];
  for (;;) {
    const std::uint32_t n = zip.read(buffer, piece);
    if (n == 0) return out;
    out.append(buffer, n);
  }
}

TEST(ZipFile, WalksMembersAndFindsByPathEquality) {
  WriteArchive(BuildZip({Stored("readme", "hello"), Stored("Skin", "0123456789abcdef", "EXTRA"), Stored("x", "")}));
  liba::ZipFile zip(kPath);
  EXPECT_EQ(zip.get_size(), 0u);
  EXPECT_EQ(zip.next_entry(), L"readme");
  EXPECT_EQ(zip.get_size(), 5u);
  EXPECT_EQ(zip.next_entry(), L"Skin");
  EXPECT_EQ(zip.next_entry(), L"x");
  EXPECT_EQ(zip.next_entry(), L"");  // the central directory is not a local header

  ASSERT_TRUE(zip.find_entry(L"skin"));
  EXPECT_EQ(zip.get_size(), 16u);
  for (std::uint32_t piece : {1u, 3u, 7u, 16u, 64u}) {
    SCOPED_TRACE(piece);
    zip.seek(0);
    EXPECT_EQ(ReadRest(zip, piece), "0123456789abcdef");
    EXPECT_EQ(zip.tell(), 16u);
  }
  EXPECT_TRUE(zip.find_entry(L"skin\\"));
  EXPECT_FALSE(zip.find_entry(L"skins"));
}

TEST(ZipFile, SeekSkipAndWritesNothing) {
  WriteArchive(BuildZip({Stored("a", "xyz"), Stored("skin", "0123456789")}));
  liba::ZipFile zip(kPath);
  ASSERT_TRUE(zip.find_entry(L"skin"));
  EXPECT_EQ(zip.skip(4), 4u);
  char c = 0;
  EXPECT_EQ(zip.read(&c, 1), 1u);
  EXPECT_EQ(c, '4');
  EXPECT_EQ(zip.skip(100), 5u);  // only up to the member's end
  EXPECT_EQ(zip.skip(1), 0u);
  EXPECT_EQ(zip.seek(2), 1u);
  EXPECT_EQ(zip.read(&c, 1), 1u);
  EXPECT_EQ(c, '2');
  // A position past the member reads nothing, not the bytes that follow it.
  zip.seek(20);
  EXPECT_EQ(zip.tell(), 10u);
  EXPECT_EQ(zip.read(&c, 1), 0u);
  EXPECT_EQ(zip.skip(1), 0u);
  zip.seek(0xFFFFFFF0u);
  EXPECT_EQ(zip.read(&c, 1), 0u);
  EXPECT_EQ(zip.write("q", 1), 0u);
  EXPECT_TRUE(zip.is_ok());
  // Back inside after a seek past the end.
  EXPECT_EQ(zip.seek(9), 1u);
  EXPECT_EQ(zip.read(&c, 5), 1u);
  EXPECT_EQ(c, '9');
}

TEST(ZipFile, RefusesWhatItCannotRead) {
  // A compressed first member ends the walk, even before a stored "skin".
  vo_test::ZipMember packed = Stored("packed", "aaaaaaaaaa");
  packed.compressed_size = 4;
  WriteArchive(BuildZip({packed, Stored("skin", "data")}));
  {
    liba::ZipFile zip(kPath);
    EXPECT_FALSE(zip.find_entry(L"skin"));
  }
  // Truncated inside the header, inside the name, inside the extra field.
  const std::string good = BuildZip({Stored("skin", "data", "EX")});
  for (std::size_t cut : {std::size_t{2}, std::size_t{20}, std::size_t{31}, std::size_t{35}}) {
    SCOPED_TRACE(cut);
    WriteArchive(good.substr(0, cut));
    liba::ZipFile zip(kPath);
    EXPECT_FALSE(zip.find_entry(L"skin"));
  }
  // A member size that would carry the next header offset past 4 GB.
  vo_test::ZipMember huge = Stored("a", "");
  std::string bytes = BuildZip({huge, Stored("skin", "d")});
  bytes[18] = bytes[19] = bytes[20] = bytes[21] = '\xFF';
  bytes[22] = bytes[23] = bytes[24] = bytes[25] = '\xFF';
  WriteArchive(bytes);
  {
    liba::ZipFile zip(kPath);
    EXPECT_FALSE(zip.find_entry(L"skin"));
  }
  // A missing archive.
  liba::ZipFile missing(L"%my_documents%/none.zip");
  EXPECT_FALSE(missing.is_ok());
  EXPECT_TRUE(missing.error_list().empty());
  EXPECT_FALSE(missing.find_entry(L"skin"));
  EXPECT_EQ(missing.get_size(), 0u);
  char c;
  EXPECT_EQ(missing.read(&c, 1), 0u);
}

TEST(ZipFile, SizesKeptInADataDescriptorSelectSizeZero) {
  vo_test::ZipMember deferred = Stored("skin", "");
  WriteArchive(BuildZip({deferred}) + "trailing descriptor bytes");
  liba::ZipFile zip(kPath);
  ASSERT_TRUE(zip.find_entry(L"skin"));
  EXPECT_EQ(zip.get_size(), 0u);
  char c;
  EXPECT_EQ(zip.read(&c, 1), 0u);
}

}  // namespace
