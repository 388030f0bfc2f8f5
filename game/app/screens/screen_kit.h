// What the menu screens share: the standard colours, widget creation with
// colours and a font from the menu archive, and opening a screen on the
// stack (a screen whose widgets could not all be made is not pushed).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "display/display_s16.h"
#include "engine/log.h"
#include "ks_main.h"
#include "ui/dlg.h"
#include "ui/dlg_man.h"
#include "ui/list_box.h"
#include "ui/static_text.h"

namespace kit {

inline constexpr std::uint32_t kBevel[5] = {0xFFFFFF, 0xE0E0E0, 0xD3D3D3, 0x7F7F7F, 0x3F3F3F};
inline constexpr std::uint32_t kYellow = 0xFFFF00;
inline constexpr std::uint32_t kWhite = 0xFFFFFF;
inline constexpr std::uint32_t kGrey = 0xD3D3D3;

inline void Colour(Wnd* w, std::uint32_t a, std::uint32_t b, std::uint32_t c = 0) {
  w->SetColourA(a);
  w->SetColourB(b);
  w->SetColourC(c);
  w->SetBevelColours(kBevel);
}

// The screen window itself: whole screen unless told otherwise.
inline void MakeScreen(Dlg* screen, ssDisplay* display, int id, std::uint32_t flags, std::uint32_t a, std::uint32_t b,
                       const wchar_t* background, const wchar_t* font, RECT r = RECT{0, 0, 0x10000, 0x10000},
                       std::uint32_t style = ui::kStyleVisible) {
  screen->Create(display, nullptr, r, L"Dialog", ui::kKindWindow, style, flags, id, 0);
  Colour(screen, a, b);
  if (background != nullptr) screen->SetImageByName(background, L"UI", L"res.ark");
  if (font != nullptr) screen->SetFontByName(font, L"UI", L"res.ark");
}

template <typename T>
T* Make(Wnd* parent, ssDisplay* display, RECT r, const wchar_t* caption, int kind, std::uint32_t style,
        std::uint32_t flags, int id, const wchar_t* font, std::uint32_t a, std::uint32_t b = kGrey) {
  auto* w = new T();
  if (!w->Create(display, parent, r, caption, kind, style, flags, id, 0)) {
    if (w->Parent() == nullptr) delete w;
    return nullptr;
  }
  Colour(w, a, b);
  if (font != nullptr) w->SetFontByName(font, L"UI", L"res.ark");
  return w;
}

inline StaticText* Label(Wnd* parent, ssDisplay* display, RECT r, const wchar_t* caption, std::uint32_t style,
                         std::uint32_t flags, int id, const wchar_t* font, std::uint32_t a, std::uint32_t b = 0) {
  return Make<StaticText>(parent, display, r, caption, ui::kKindStatic, style, flags, id, font, a, b);
}

// A corner picture ("Home.tga", "Back.tga") or any picture with an image.
inline Picture* Pic(Wnd* parent, ssDisplay* display, RECT r, int id, const wchar_t* image,
                    const wchar_t* font = L"cornerstone10", std::uint32_t style = 0x10000000, std::uint32_t flags = 0,
                    std::uint32_t a = kWhite, std::uint32_t b = kGrey) {
  auto* p = Make<Picture>(parent, display, r, L"Test Picture", ui::kKindPicture, style, flags, id, font, a, b);
  if (p != nullptr && image != nullptr) p->SetImageByName(image, L"UI", L"res.ark");
  return p;
}

// Gives a label the first of the fonts (from the menu archive) in which its
// caption lies whole in its box; the last one when none does.
inline void FitFont(StaticText* label, std::initializer_list<const wchar_t*> fonts) {
  if (label == nullptr) return;
  for (const wchar_t* font : fonts) {
    label->SetFontByName(font, L"UI", L"res.ark");
    label->Layout();
    if (label->CaptionFits()) break;
  }
  label->Invalidate(0);
}

// The opponent-table entry that stands for the career's player; its name
// is the application's spare name buffer.
inline constexpr int kCareerPlayerEntry = 160;
inline void SetCareerPlayerName(ksMain* app, const char* nickname) { app->SetSpareName(nickname); }

// Tab stops given in pixels of the design screen, scaled to the screen the
// widgets are laid out on, so the columns stay under their headings.
template <typename List, int N>
void DesignTabStops(List* list, const int (&stops)[N]) {
  int scaled[N];
  const int width = list->Device() ? ui::ScreenWidth(list->Device()) : 220;
  for (int i = 0; i < N; ++i) scaled[i] = stops[i] * width / 220;
  list->SetTabStops(N, scaled);
}

inline std::wstring Widen(const char* text) {
  std::wstring out;
  for (const char* c = text; c != nullptr && *c != 0; ++c) out.push_back(static_cast<unsigned char>(*c));
  return out;
}

// The career lists (select and delete): nickname, game type, difficulty
// in columns at these design pixels, the rows a border unit nearer the
// left edge than a list's default so that the widest names fit.
inline constexpr int kCareerColumns[2] = {89, 132};
inline void FillCareerList(ListBox* list, const ksMain* app) {
  list->Clear();
  list->SetTextOffset(2 * list->BorderUnit(), 2 * list->BorderUnit());
  DesignTabStops(list, kCareerColumns);
  if (app == nullptr) return;
  for (const ks::app::CareerRecord& career : app->Careers().records) {
    const std::wstring row = Widen(career.nickname.data()) + L"\t" + app->GameName(career.gameType % 6) + L"\t" +
                             app->DifficultyName(career.difficulty & 3);
    list->AddRow(row.c_str());
  }
}
// How wide (pixels, in the lists' font) a nickname may grow: it keeps a
// border unit clear of the game type's column.
inline int NicknameWidth(const ssDisplay* display) {
  const int width = display != nullptr ? ui::ScreenWidth(display) : 220;
  const int unit = display != nullptr ? static_cast<int>(display->m_BorderUnit) : 4;
  return kCareerColumns[0] * width / 220 - unit;
}

// Builds a screen of type T with the application's display and input and
// pushes it; `set` fills its fields before the build. Null when the build
// failed (the screen is then deleted, never shown half made).
template <typename T, typename F>
T* Open(ksMain* app, F set) {
  if (app == nullptr || !app->ScreensReady()) return nullptr;
  auto* screen = new T();
  set(*screen);
  if (!screen->Build(app->Display(), app->Input())) {
    WriteLog(2, L"A screen could not be built (id %d)", T::kScreenId);
    delete screen;
    return nullptr;
  }
  app->PushScreen(screen);
  return screen;
}

template <typename T>
T* Open(ksMain* app) {
  return Open<T>(app, [app](T& s) { s.m_App = app; });
}

}  // namespace kit
