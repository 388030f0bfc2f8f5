#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "skin_compiler.h"
#include "skinner/cursor.h"
#include "skinner/properties.h"

namespace {

using skinner::Anchor;
using skinner::Cursor;

TEST(Cursor, NamesLoadTheirSystemCursorsAndOthersNone) {
  const struct {
    const wchar_t* name;
    int id;
  } cases[] = {{L"ARROW", 32512},    {L"HAND", 32649},   {L"IBEAM", 32513},
               {L"SIZENESW", 32643}, {L"SIZENS", 32645}, {L"SIZENWSE", 32642},
               {L"SIZEWE", 32644},   {L"WAIT", 32514},   {L"SIZEALL", 32646},
               {L"NO", 32648},       {L"HELP", 32651},   {L"APPSTARTING", 32650},
               {L"no", 0},           {L"", 0},           {L"ARROW ", 0}};
  for (const auto& c : cases) {
    const Cursor cursor = Cursor::from_name(c.name);
    EXPECT_EQ(cursor.get(), c.id != 0 ? LoadCursorW(nullptr, MAKEINTRESOURCEW(c.id)) : nullptr) << c.name;
  }
  Cursor::from_name(L"HAND").apply();
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));
  Cursor().apply();
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
}

TEST(Cursor, AnchorsAndSkinCursors) {
  EXPECT_EQ(skinner::anchor_from_name(L"RATIO"), Anchor::RATIO);
  EXPECT_EQ(skinner::anchor_from_name(L"MAX_SIDE"), Anchor::MAX_SIDE);
  EXPECT_EQ(skinner::anchor_from_name(L"BOTH_SIDE"), Anchor::BOTH_SIDE);
  EXPECT_EQ(skinner::anchor_from_name(L"ratio"), Anchor::MIN_SIDE);
  std::vector<std::uint8_t> blob;
  std::string error;
  ASSERT_TRUE(
      skinc::Compile("skin \"S\"\nkind K\n  text Cursor \"NO\"\nform F\n  control c : K\n  control d\n"
                     "    text Cursor \"nope\"\n",
                     blob, error))
      << error;
  skinner::PropertiesImpl p(blob, {});
  EXPECT_EQ(p.read_cursor(L"K", L"c", L"F", L"Cursor", Cursor()).get(), LoadCursorW(nullptr, MAKEINTRESOURCEW(32648)));
  EXPECT_TRUE(p.read_cursor(L"", L"d", L"F", L"Cursor", Cursor::from_name(L"HAND")).is_none());
}

}  // namespace
