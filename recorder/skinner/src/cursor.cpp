#include "skinner/cursor.h"

namespace skinner {

namespace {

struct Named {
  const wchar_t* name;
  int id;
};

constexpr Named kCursors[] = {
    {L"ARROW", 32512},   {L"HAND", 32649},     {L"IBEAM", 32513},  {L"SIZENESW", 32643},
    {L"SIZENS", 32645},  {L"SIZENWSE", 32642}, {L"SIZEWE", 32644}, {L"WAIT", 32514},
    {L"SIZEALL", 32646}, {L"NO", 32648},       {L"HELP", 32651},   {L"APPSTARTING", 32650},
};

constexpr const wchar_t* kAnchors[] = {L"MIN_SIDE", L"BOTH_SIDE", L"MAX_SIDE", L"RATIO"};

}  // namespace

Cursor Cursor::from_name(const std::wstring& name) {
  Cursor cursor;
  for (const Named& c : kCursors) {
    if (name == c.name) {
      cursor.handle_ = LoadCursorW(nullptr, MAKEINTRESOURCEW(c.id));
      break;
    }
  }
  return cursor;
}

void Cursor::apply() const {
  static const HCURSOR arrow = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  SetCursor(handle_ != nullptr ? handle_ : arrow);
}

Anchor anchor_from_name(const std::wstring& name) {
  for (int i = 0; i < 4; ++i) {
    if (name == kAnchors[i]) return static_cast<Anchor>(i);
  }
  return Anchor::MIN_SIDE;
}

}  // namespace skinner
