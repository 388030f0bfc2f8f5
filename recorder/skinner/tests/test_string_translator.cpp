#include <gtest/gtest.h>

#include <string>

#include "liba/string_translator.h"
#include "os/file.h"

namespace {

void WriteFile(const std::wstring& path, const std::string& bytes) {
  os::File f(path, 1);
  f.write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

// UTF-16LE with the byte-order mark, from text whose characters are below 256.
std::string Utf16File(const std::wstring& text) {
  std::string out = "\xFF\xFE";
  for (const wchar_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>((c >> 8) & 0xFF));
  }
  return out;
}

TEST(StringTranslator, ParsesEntriesByTheLineRules) {
  liba::StringTranslator t;
  t.parse_text(
      L"plain value here\r\n"
      L"empty=\n"
      L"spaced= two words\n"
      L"glued=value rest\n"
      L"//comment x\n"
      L"// spaced comment\n"
      L"/ slash\n"
      L"\n   \n"
      L"lonely\n"
      L"\n"
      L"next line taken\r"
      L"dup first\n"
      L"dup second\n"
      L"tab\tafter tab\n"
      L"last");
  const struct {
    const wchar_t* key;
    const wchar_t* value;
  } expected[] = {
      {L"plain", L"value here"}, {L"empty", L""},        {L"spaced", L" two words"},
      {L"glued=value", L"rest"}, {L"/", L"slash"},       {L"lonely", L"next line taken"},
      {L"dup", L"second"},       {L"tab", L"after tab"}, {L"last", L""},
  };
  for (const auto& e : expected) {
    ASSERT_TRUE(t.table().count(e.key)) << e.key;
    EXPECT_EQ(t.table().at(e.key), e.value) << e.key;
  }
  EXPECT_EQ(t.table().size(), std::size(expected));
}

TEST(StringTranslator, Utf16AndAnsiFilesGiveTheSameTable) {
  // "café" and the euro sign: 0x80 is the euro in Windows-1252.
  WriteFile(L"%my_documents%/ansi.lng", "drink caf\xE9\r\nprice 5 \x80\r\n");
  WriteFile(L"%my_documents%/wide.lng", Utf16File(L"drink caf\u00E9\r\nprice 5 \u20AC\r\n"));
  liba::StringTranslator ansi(L"%my_documents%/ansi.lng");
  liba::StringTranslator wide(L"%my_documents%/wide.lng");
  EXPECT_EQ(ansi.table(), wide.table());
  EXPECT_EQ(wide.translate(L"drink"), L"caf\u00E9");
  EXPECT_EQ(wide.translate(L"price"), L"5 \u20AC");
}

TEST(StringTranslator, LaterFilesAddToTheTableAndMissingFilesChangeNothing) {
  WriteFile(L"%my_documents%/one.lng", "a one\nb one\n");
  WriteFile(L"%my_documents%/two.lng", Utf16File(L"b two\nc two\n"));
  liba::StringTranslator t(L"%my_documents%/one.lng");
  EXPECT_TRUE(t.parse(L"%my_documents%/two.lng"));
  EXPECT_FALSE(t.parse(L"%my_documents%/missing.lng"));
  EXPECT_EQ(t.translate(L"a"), L"one");
  EXPECT_EQ(t.translate(L"b"), L"two");
  EXPECT_EQ(t.translate(L"c"), L"two");
  // An empty file is read without error and adds nothing.
  WriteFile(L"%my_documents%/empty.lng", "");
  EXPECT_TRUE(t.parse(L"%my_documents%/empty.lng"));
  EXPECT_EQ(t.table().size(), 3u);
  // An absent key answers the default object itself.
  const std::wstring fallback = L"fallback";
  EXPECT_EQ(&t.translate(L"zz", fallback), &fallback);
  EXPECT_EQ(&t.translate(L"a", fallback), &t.table().at(L"a"));
}

}  // namespace
