#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "program/script.h"
#include "ce/commctrl.h"
#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "controls/controls.h"
#include "headless_device.h"
#include "kernel/clock.h"

namespace {

namespace clock = ce::kernel::clock;
constexpr std::uint64_t kStart2010 = 129067776000000000ull;
constexpr WORD kButton = 0x0080;
constexpr WORD kStatic = 0x0082;

// Builds a dialog template in the binary layout, as the resource compiler
// writes it.
class Builder {
 public:
  explicit Builder(DWORD style, short cx = 120, short cy = 100, const wchar_t* title = L"Test",
                   const wchar_t* face = L"Tahoma", WORD points = 8) {
    Dword(face ? style | DS_SETFONT : style & ~DS_SETFONT);
    Dword(0);
    countAt_ = bytes_.size();
    Word(0);
    Word(0), Word(0), Word(static_cast<WORD>(cx)), Word(static_cast<WORD>(cy));
    Word(0);  // menu
    Word(0);  // class
    String(title);
    if (face) {
      Word(points);
      String(face);
    }
  }
  Builder& Add(WORD classOrdinal, DWORD style, WORD id, const wchar_t* text, short x = 4, short y = 4, short cx = 50,
               short cy = 12) {
    Item(style, id, x, y, cx, cy);
    Word(0xFFFF);
    Word(classOrdinal);
    String(text);
    Word(0);
    return *this;
  }
  Builder& AddNamed(const wchar_t* cls, DWORD style, WORD id, const wchar_t* text, short x = 4, short y = 4,
                    short cx = 50, short cy = 12) {
    Item(style, id, x, y, cx, cy);
    String(cls);
    String(text);
    Word(0);
    return *this;
  }
  // Creation data of `size` bytes, of which only `present` are there.
  Builder& AddWithData(WORD size, WORD present) {
    Item(WS_CHILD | WS_VISIBLE, 77, 4, 4, 50, 12);
    Word(0xFFFF);
    Word(kStatic);
    String(L"data");
    Word(size);
    for (WORD i = 0; i < present; ++i) bytes_.push_back(0xAB);
    return *this;
  }
  const DLGTEMPLATE* get() { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }
  std::vector<BYTE> bytes() const { return bytes_; }

 private:
  void Item(DWORD style, WORD id, short x, short y, short cx, short cy) {
    while (bytes_.size() % 4) bytes_.push_back(0);
    Dword(style);
    Dword(0);
    Word(static_cast<WORD>(x)), Word(static_cast<WORD>(y)), Word(static_cast<WORD>(cx)), Word(static_cast<WORD>(cy));
    Word(id);
    WORD count = 0;
    std::memcpy(&count, bytes_.data() + countAt_, 2);
    ++count;
    std::memcpy(bytes_.data() + countAt_, &count, 2);
  }
  void Word(WORD w) {
    bytes_.push_back(static_cast<BYTE>(w & 0xFF));
    bytes_.push_back(static_cast<BYTE>(w >> 8));
  }
  void Dword(DWORD d) {
    Word(static_cast<WORD>(d & 0xFFFF));
    Word(static_cast<WORD>(d >> 16));
  }
  void String(const wchar_t* s) {
    for (; *s; ++s) Word(static_cast<WORD>(*s));
    Word(0);
  }
  std::vector<BYTE> bytes_;
  std::size_t countAt_ = 0;
};

// What the dialog procedure saw.
struct Seen {
  std::vector<std::pair<int, int>> commands;  // (id, notification)
  LPARAM initParam = 0;
  HWND initFocus = nullptr;
  INT_PTR initResult = TRUE;
  std::function<void(HWND, UINT, WPARAM, LPARAM)> hook;
};
Seen g_seen;

INT_PTR CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_seen.hook) g_seen.hook(hwnd, message, wParam, lParam);
  if (!IsWindow(hwnd)) return TRUE;
  switch (message) {
    case WM_INITDIALOG:
      g_seen.initParam = lParam;
      g_seen.initFocus = reinterpret_cast<HWND>(wParam);
      return g_seen.initResult;
    case WM_COMMAND:
      g_seen.commands.push_back({LOWORD(wParam), HIWORD(wParam)});
      return TRUE;
    default:
      return FALSE;
  }
}

// Runs the thread's messages through the dialog's keyboard handling.
void PumpDialog(HWND dialog) {
  for (int round = 0; round < 4; ++round) {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!IsDialogMessageW(dialog, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    ce::test::PumpUntilIdle();
  }
}

void Press(int vk) {
  ce::test::KeyDown(vk);
  ce::test::KeyUp(vk);
}

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    clock::UseVirtualClock(0, kStart2010);
    g_seen = Seen{};
  }
  void TearDown() override {
    for (HWND hwnd : made) {
      if (IsWindow(hwnd)) DestroyWindow(hwnd);
    }
    ce::test::PumpUntilIdle();
    g_seen = Seen{};
  }
  HWND Make(Builder& b, HWND owner = nullptr, LPARAM param = 0) {
    HWND hwnd = CreateDialogIndirectParamW(nullptr, b.get(), owner, RecordingProc, param);
    if (hwnd) made.push_back(hwnd);
    return hwnd;
  }
  // A dialog of the usual kinds of control.
  static Builder Form() {
    Builder b(WS_POPUP | WS_VISIBLE);
    b.Add(kStatic, WS_VISIBLE, static_cast<WORD>(IDC_STATIC), L"Name:", 4, 4, 40, 10)
        .Add(kButton, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 10, L"Check", 4, 16, 60, 10)
        .Add(kButton, WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 11, L"One", 4, 28, 60, 10)
        .Add(kButton, WS_VISIBLE | BS_AUTORADIOBUTTON, 12, L"Two", 4, 40, 60, 10)
        .Add(kButton, WS_VISIBLE | BS_AUTORADIOBUTTON, 13, L"Three", 4, 52, 60, 10)
        .Add(kButton, WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, IDOK, L"OK", 4, 70, 40, 14)
        .Add(kButton, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, L"Cancel", 50, 70, 40, 14);
    return b;
  }
  std::vector<HWND> made;
};

TEST(DialogHeader, ValuesMatchTheDevice) {
  const std::pair<long long, long long> values[] = {
      {BM_GETCHECK, 0xF0},      {BM_SETCHECK, 0xF1},  {BM_GETSTATE, 0xF2},   {BM_CLICK, 0xF5},
      {BN_CLICKED, 0},          {BST_CHECKED, 1},     {BST_PUSHED, 4},       {BS_AUTORADIOBUTTON, 9},
      {BS_GROUPBOX, 7},         {SS_CENTER, 1},       {DS_SETFONT, 0x40},    {WM_INITDIALOG, 0x110},
      {WM_GETDLGCODE, 0x87},    {DM_GETDEFID, 0x400}, {STM_SETIMAGE, 0x172}, {WM_NEXTDLGCTL, 0x28},
      {DLGC_RADIOBUTTON, 0x40},
  };
  for (const auto& [actual, expected] : values) EXPECT_EQ(actual, expected);
}

TEST_F(Dialogs, ControlsComeFromTheTemplateInOrderWithTheDialogsFont) {
  Builder b = Form();
  HWND dlg = Make(b, nullptr, 1234);
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(g_seen.initParam, 1234);
  EXPECT_EQ(g_seen.initFocus, GetDlgItem(dlg, 10)) << "WM_INITDIALOG names the first tab stop";
  EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 10)) << "and TRUE gives it the focus";

  const int ids[] = {static_cast<WORD>(IDC_STATIC), 10, 11, 12, 13, IDOK, IDCANCEL};
  const wchar_t* classes[] = {L"STATIC", L"BUTTON", L"BUTTON", L"BUTTON", L"BUTTON", L"BUTTON", L"BUTTON"};
  HWND c = GetWindow(dlg, GW_CHILD);
  const auto font = static_cast<HFONT>(reinterpret_cast<HGDIOBJ>(SendMessageW(dlg, WM_GETFONT, 0, 0)));
  ASSERT_NE(font, nullptr);
  EXPECT_NE(font, GetStockObject(SYSTEM_FONT)) << "DS_SETFONT makes the dialog's own font";
  for (std::size_t i = 0; i < std::size(ids); ++i, c = GetWindow(c, GW_HWNDNEXT)) {
    ASSERT_NE(c, nullptr) << i;
    EXPECT_EQ(GetDlgCtrlID(c), ids[i]);
    wchar_t name[16];
    GetClassNameW(c, name, 16);
    EXPECT_STREQ(name, classes[i]);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0)), font) << i;
  }
  EXPECT_EQ(c, nullptr);

  // Controls sit where MapDialogRect puts their template rectangles.
  RECT expected{50, 70, 90, 84};
  ASSERT_TRUE(MapDialogRect(dlg, &expected));
  RECT actual{};
  GetWindowRect(GetDlgItem(dlg, IDCANCEL), &actual);
  POINT origin{0, 0};
  ClientToScreen(dlg, &origin);
  EXPECT_EQ(actual.left - origin.x, expected.left);
  EXPECT_EQ(actual.top - origin.y, expected.top);
  EXPECT_EQ(actual.right - actual.left, expected.right - expected.left);
  EXPECT_EQ(actual.bottom - actual.top, expected.bottom - expected.top);
  EXPECT_GT(expected.right - expected.left, 40) << "a dialog unit is a quarter of a character";

  // A larger face makes larger dialog units.
  Builder big(WS_POPUP, 120, 100, L"Big", L"Tahoma", 16);
  HWND dlg2 = Make(big);
  RECT unit{0, 0, 4, 8}, unit2{0, 0, 4, 8};
  MapDialogRect(dlg, &unit);
  MapDialogRect(dlg2, &unit2);
  EXPECT_GT(unit2.bottom, unit.bottom);
  EXPECT_FALSE(MapDialogRect(GetDlgItem(dlg, 10), &unit)) << "only a dialog has dialog units";
}

TEST_F(Dialogs, InitDialogReturningFalseLeavesTheFocusToTheProcedure) {
  Builder b = Form();
  g_seen.initResult = FALSE;
  g_seen.hook = [](HWND hwnd, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) SetFocus(GetDlgItem(hwnd, IDCANCEL));
  };
  HWND dlg = Make(b);
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(GetFocus(), GetDlgItem(dlg, IDCANCEL));
}

TEST_F(Dialogs, AHiddenDialogTakesTheFocusWhenShown) {
  Builder visible = Form();
  HWND main = Make(visible);
  ASSERT_EQ(GetActiveWindow(), main);
  Builder hidden(WS_POPUP);
  hidden.Add(kButton, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 5, L"B");
  HWND later = Make(hidden);
  ASSERT_NE(later, nullptr);
  EXPECT_EQ(GetActiveWindow(), main) << "made hidden, it leaves the activation where it is";
  EXPECT_EQ(GetFocus(), GetDlgItem(main, 10));
  ShowWindow(later, SW_SHOW);
  EXPECT_EQ(GetFocus(), GetDlgItem(later, 5));
}

TEST_F(Dialogs, ButtonsCheckAndNotifyByKind) {
  struct Case {
    DWORD type;
    std::vector<UINT> checksAfterClicks;  // after one, two and three BM_CLICKs
    LRESULT code;
  };
  const Case cases[] = {
      {BS_PUSHBUTTON, {0, 0, 0}, DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON},
      {BS_DEFPUSHBUTTON, {0, 0, 0}, DLGC_BUTTON | DLGC_DEFPUSHBUTTON},
      {BS_CHECKBOX, {0, 0, 0}, DLGC_BUTTON},
      {BS_AUTOCHECKBOX, {1, 0, 1}, DLGC_BUTTON},
      {BS_3STATE, {0, 0, 0}, DLGC_BUTTON},
      {BS_AUTO3STATE, {1, 2, 0}, DLGC_BUTTON},
      {BS_RADIOBUTTON, {0, 0, 0}, DLGC_BUTTON | DLGC_RADIOBUTTON},
      {BS_AUTORADIOBUTTON, {1, 1, 1}, DLGC_BUTTON | DLGC_RADIOBUTTON},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    Builder b(WS_POPUP);
    b.Add(kButton, WS_VISIBLE | WS_TABSTOP | c.type, 5, L"B");
    HWND dlg = Make(b);
    ASSERT_NE(dlg, nullptr);
    HWND button = GetDlgItem(dlg, 5);
    EXPECT_EQ(SendMessageW(button, WM_GETDLGCODE, 0, 0), c.code);
    g_seen.commands.clear();
    for (UINT expected : c.checksAfterClicks) {
      SendMessageW(button, BM_CLICK, 0, 0);
      EXPECT_EQ(SendMessageW(button, BM_GETCHECK, 0, 0), static_cast<LRESULT>(expected));
    }
    EXPECT_EQ(g_seen.commands, (std::vector<std::pair<int, int>>(3, {5, BN_CLICKED})));
    // BM_SETCHECK sets what the kind can hold and tells no one.
    g_seen.commands.clear();
    SendMessageW(button, BM_SETCHECK, BST_INDETERMINATE, 0);
    const bool holds = c.type != BS_PUSHBUTTON && c.type != BS_DEFPUSHBUTTON;
    const bool three = c.type == BS_3STATE || c.type == BS_AUTO3STATE;
    EXPECT_EQ(IsDlgButtonChecked(dlg, 5), holds ? (three ? BST_INDETERMINATE : BST_CHECKED) : BST_UNCHECKED);
    EXPECT_TRUE(g_seen.commands.empty());
    // The state carries the check, the pushed look and the focus.
    SendMessageW(button, BM_SETSTATE, TRUE, 0);
    SetFocus(button);
    const auto state = static_cast<UINT>(SendMessageW(button, BM_GETSTATE, 0, 0));
    EXPECT_EQ(state & (BST_PUSHED | BST_FOCUS), BST_PUSHED | BST_FOCUS);
    SendMessageW(button, BM_SETSTATE, FALSE, 0);
    EXPECT_EQ(SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED, 0);
    // A disabled button is not clicked.
    EnableWindow(button, FALSE);
    SendMessageW(button, BM_CLICK, 0, 0);
    EXPECT_TRUE(g_seen.commands.empty());
    DestroyWindow(dlg);
  }
}

TEST_F(Dialogs, FocusIsAnnouncedByButtonsThatAskForIt) {
  Builder b(WS_POPUP | WS_VISIBLE);
  b.Add(kButton, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_NOTIFY, 1, L"A")
      .Add(kButton, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 2, L"B");
  HWND dlg = Make(b);
  ASSERT_NE(dlg, nullptr);
  ASSERT_EQ(GetFocus(), GetDlgItem(dlg, 1));
  g_seen.commands.clear();
  SetFocus(GetDlgItem(dlg, 2));
  SetFocus(GetDlgItem(dlg, 1));
  EXPECT_EQ(g_seen.commands, (std::vector<std::pair<int, int>>{{1, BN_KILLFOCUS}, {1, BN_SETFOCUS}}));
}

TEST_F(Dialogs, StaticsAlignTheirTextAndTellTapsWhenAsked) {
  Builder b(WS_POPUP | WS_VISIBLE);
  b.Add(kStatic, WS_VISIBLE | SS_LEFT, 1, L"ii", 0, 0, 100, 10)
      .Add(kStatic, WS_VISIBLE | SS_CENTER, 2, L"ii", 0, 12, 100, 10)
      .Add(kStatic, WS_VISIBLE | SS_RIGHT | SS_NOTIFY, 3, L"ii", 0, 24, 100, 10);
  HWND dlg = Make(b);
  ASSERT_NE(dlg, nullptr);
  ce::test::PumpUntilIdle();
  // Which thirds of the control hold ink.
  auto inkIn = [&](int id) {
    RECT r{};
    GetWindowRect(GetDlgItem(dlg, id), &r);
    std::string thirds;
    const int w = r.right - r.left;
    for (int t = 0; t < 3; ++t) {
      bool ink = false;
      for (int x = r.left + t * w / 3; x < r.left + (t + 1) * w / 3 && !ink; ++x) {
        for (int y = r.top; y < r.bottom && !ink; ++y) ink = ce::test::ScreenPixel(x, y) != RGB(255, 255, 255);
      }
      thirds += ink ? '#' : '.';
    }
    return thirds;
  };
  EXPECT_EQ(inkIn(1), "#..");
  EXPECT_EQ(inkIn(2), ".#.");
  EXPECT_EQ(inkIn(3), "..#");
  SetDlgItemTextW(dlg, 3, L"");
  ce::test::PumpUntilIdle();
  EXPECT_EQ(inkIn(3), "...") << "a new text is drawn at once";

  for (int id : {1, 3}) {
    RECT r{};
    GetWindowRect(GetDlgItem(dlg, id), &r);
    ce::test::Tap(r.left + 2, r.top + 2);
    ce::test::PumpUntilIdle();
  }
  EXPECT_EQ(g_seen.commands, (std::vector<std::pair<int, int>>{{3, STN_CLICKED}}));
  EXPECT_EQ(SendDlgItemMessageW(dlg, 1, WM_GETDLGCODE, 0, 0), DLGC_STATIC);
}

TEST_F(Dialogs, RadioButtonsClearTheirGroupOnly) {
  Builder b(WS_POPUP);
  b.Add(kButton, WS_GROUP | BS_AUTORADIOBUTTON, 1003, L"Tessivo")
      .Add(kButton, BS_AUTORADIOBUTTON, 1004, L"Pelmora")
      .Add(kButton, BS_AUTORADIOBUTTON, 1005, L"Both")
      .Add(kButton, WS_GROUP | BS_AUTORADIOBUTTON, 1016, L"Other group");
  HWND dlg = Make(b);
  ASSERT_NE(dlg, nullptr);
  CheckDlgButton(dlg, 1016, BST_CHECKED);
  EXPECT_TRUE(CheckRadioButton(dlg, 1003, 1005, 1004));
  EXPECT_EQ(IsDlgButtonChecked(dlg, 1004), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dlg, 1003) + IsDlgButtonChecked(dlg, 1005), 0u);
  SendDlgItemMessageW(dlg, 1005, BM_CLICK, 0, 0);
  EXPECT_EQ(IsDlgButtonChecked(dlg, 1005), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dlg, 1004), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dlg, 1016), BST_CHECKED) << "another group keeps its choice";
  EXPECT_FALSE(CheckRadioButton(dlg, 1003, 1005, 999));
}

TEST_F(Dialogs, ThePenClicksWhenReleasedInside) {
  Builder b = Form();
  HWND dlg = Make(b);
  ASSERT_NE(dlg, nullptr);
  ce::test::PumpUntilIdle();
  RECT r{};
  GetWindowRect(GetDlgItem(dlg, 10), &r);
  ce::test::Tap(r.left + 3, r.top + 3);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(g_seen.commands, (std::vector<std::pair<int, int>>{{10, BN_CLICKED}}));
  EXPECT_EQ(IsDlgButtonChecked(dlg, 10), BST_CHECKED);
  EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 10));
  // Pressed, dragged off and released outside: nothing.
  GetWindowRect(GetDlgItem(dlg, IDOK), &r);
  ce::test::PenDown(r.left + 3, r.top + 3);
  ce::test::PumpUntilIdle();
  EXPECT_NE(SendDlgItemMessageW(dlg, IDOK, BM_GETSTATE, 0, 0) & BST_PUSHED, 0);
  ce::test::PenMove(r.right + 20, r.bottom + 20);
  ce::test::PenUp(r.right + 20, r.bottom + 20);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(g_seen.commands.size(), 1u);
  EXPECT_EQ(SendDlgItemMessageW(dlg, IDOK, BM_GETSTATE, 0, 0) & BST_PUSHED, 0);
}

TEST_F(Dialogs, KeysMoveBetweenControlsAndPressButtons) {
  Builder b = Form();
  HWND dlg = Make(b);
  ASSERT_NE(dlg, nullptr);
  EnableWindow(GetDlgItem(dlg, IDCANCEL), FALSE);
  PumpDialog(dlg);
  ASSERT_EQ(GetFocus(), GetDlgItem(dlg, 10));
  // Tab goes through the tab stops that can take the focus, round again.
  std::vector<int> order;
  for (int i = 0; i < 4; ++i) {
    Press(VK_TAB);
    PumpDialog(dlg);
    order.push_back(GetDlgCtrlID(GetFocus()));
  }
  EXPECT_EQ(order, (std::vector<int>{11, IDOK, 10, 11}));
  ce::test::KeyDown(VK_SHIFT);
  Press(VK_TAB);
  ce::test::KeyUp(VK_SHIFT);
  PumpDialog(dlg);
  EXPECT_EQ(GetDlgCtrlID(GetFocus()), 10);
  // Arrows move within the radio group and choose as they go.
  SetFocus(GetDlgItem(dlg, 11));
  order.clear();
  for (int vk : {VK_DOWN, VK_DOWN, VK_DOWN, VK_UP}) {
    Press(vk);
    PumpDialog(dlg);
    order.push_back(GetDlgCtrlID(GetFocus()));
  }
  EXPECT_EQ(order, (std::vector<int>{12, 13, 11, 13}));
  EXPECT_EQ(IsDlgButtonChecked(dlg, 13), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dlg, 11) + IsDlgButtonChecked(dlg, 12), 0u);
  // Tab comes back into the group at the chosen button.
  SetFocus(GetDlgItem(dlg, IDOK));
  ce::test::KeyDown(VK_SHIFT);
  Press(VK_TAB);
  ce::test::KeyUp(VK_SHIFT);
  PumpDialog(dlg);
  EXPECT_EQ(GetDlgCtrlID(GetFocus()), 13);
  // Enter presses the default button, space the focused control, Escape
  // the Cancel button unless it is disabled.
  g_seen.commands.clear();
  Press(VK_RETURN);
  PumpDialog(dlg);
  SetFocus(GetDlgItem(dlg, 10));
  Press(VK_SPACE);
  PumpDialog(dlg);
  Press(VK_ESCAPE);
  PumpDialog(dlg);
  EnableWindow(GetDlgItem(dlg, IDCANCEL), TRUE);
  Press(VK_ESCAPE);
  PumpDialog(dlg);
  EXPECT_EQ(g_seen.commands,
            (std::vector<std::pair<int, int>>{{IDOK, BN_CLICKED}, {10, BN_CLICKED}, {IDCANCEL, BN_CLICKED}}));
  EXPECT_EQ(SendMessageW(dlg, DM_GETDEFID, 0, 0), MAKELONG(IDOK, DC_HASDEFID));
}

TEST_F(Dialogs, TheKeysGoThroughChildPagesInOrder) {
  Builder outer(WS_POPUP | WS_VISIBLE);
  outer.Add(kButton, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, L"Done", 4, 100, 40, 14);
  HWND dlg = Make(outer);
  ASSERT_NE(dlg, nullptr);
  Builder page(WS_CHILD | WS_VISIBLE | DS_CONTROL);
  page.Add(kButton, WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 21, L"A", 4, 4, 40, 10)
      .Add(kButton, WS_VISIBLE | BS_AUTORADIOBUTTON, 22, L"B", 4, 16, 40, 10)
      .Add(kButton, WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX, 23, L"C", 4, 28, 40, 10);
  Builder hiddenPage(WS_CHILD | DS_CONTROL);
  hiddenPage.Add(kButton, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 31, L"D");
  HWND shown = Make(page, dlg);
  HWND hidden = Make(hiddenPage, dlg);
  ASSERT_NE(shown, nullptr);
  ASSERT_NE(hidden, nullptr);
  EXPECT_EQ(GetParent(shown), dlg);
  SetFocus(GetDlgItem(dlg, IDOK));
  std::vector<int> order;
  for (int vk : {VK_TAB, VK_DOWN, VK_DOWN, VK_TAB, VK_TAB}) {
    Press(vk);
    PumpDialog(dlg);
    order.push_back(GetDlgCtrlID(GetFocus()));
  }
  EXPECT_EQ(order, (std::vector<int>{21, 22, 21, 23, IDOK})) << "the hidden page is passed over";
  // Enter inside a page presses the dialog's default button.
  SetFocus(GetDlgItem(shown, 23));
  g_seen.commands.clear();
  Press(VK_RETURN);
  PumpDialog(dlg);
  EXPECT_EQ(g_seen.commands, (std::vector<std::pair<int, int>>{{IDOK, BN_CLICKED}}));
}

TEST_F(Dialogs, ModalDialogsNestAndEndFromAnyHandler) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = L"DialogOwner";
  RegisterClassW(&wc);
  HWND owner = CreateWindowExW(0, L"DialogOwner", L"", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
  made.push_back(owner);
  ce::test::PumpUntilIdle();

  static Builder outer = Form();
  static Builder inner = Form();
  static INT_PTR innerResult = 0;
  static bool ownerDisabled = false;
  static bool outerDisabled = false;
  static HWND outerDialog = nullptr;
  g_seen.hook = [owner](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) PostMessageW(hwnd, WM_APP, 0, lParam);
    if (message != WM_APP) return;
    if (lParam == 1) {  // the outer dialog opens the inner one
      outerDialog = hwnd;
      ownerDisabled = !IsWindowEnabled(owner);
      innerResult = DialogBoxIndirectParamW(nullptr, inner.get(), hwnd, RecordingProc, 2);
    } else {  // the inner one ends both
      outerDisabled = !IsWindowEnabled(outerDialog);
      EndDialog(outerDialog, 7);
      EndDialog(hwnd, 3);
    }
    (void)wParam;
  };
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, outer.get(), owner, RecordingProc, 1), 7);
  EXPECT_EQ(innerResult, 3);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(outerDisabled);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_FALSE(IsWindow(outerDialog));
  EXPECT_EQ(GetActiveWindow(), owner);
  UnregisterClassW(L"DialogOwner", nullptr);
}

TEST_F(Dialogs, ModalDialogTakesKeysAndEndsWithTheButtonsId) {
  static Builder form = Form();
  g_seen.hook = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) PostMessageW(hwnd, WM_APP, 0, 0);
    if (message == WM_APP) {
      Press(VK_TAB);     // to the first radio button
      Press(VK_DOWN);    // chooses "Two"
      Press(VK_RETURN);  // the default button
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
      EndDialog(hwnd, IsDlgButtonChecked(hwnd, 12) == BST_CHECKED ? 100 : 200);
    }
  };
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, form.get(), nullptr, RecordingProc, 0), 100);

  // Ended from WM_INITDIALOG: never shown, its result comes back at once.
  static bool shown = false;
  g_seen.hook = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) EndDialog(hwnd, 5);
    if (message == WM_SHOWWINDOW && wParam) shown = true;
  };
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, form.get(), nullptr, RecordingProc, 0), 5);
  EXPECT_FALSE(shown);
}

TEST_F(Dialogs, DialogsDestroyedInsideTheirOwnHandlers) {
  // Modal: the loop ends without EndDialog.
  static Builder form = Form();
  g_seen.hook = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) PostMessageW(GetDlgItem(hwnd, IDOK), BM_CLICK, 0, 0);
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) DestroyWindow(hwnd);
  };
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, form.get(), nullptr, RecordingProc, 0), 0);
  // Modeless: destroyed from a button's click, pressed with the pen.
  HWND dlg = Make(form);
  ASSERT_NE(dlg, nullptr);
  ce::test::PumpUntilIdle();
  RECT r{};
  GetWindowRect(GetDlgItem(dlg, IDOK), &r);
  ce::test::Tap(r.left + 3, r.top + 3);
  ce::test::PumpUntilIdle();
  EXPECT_FALSE(IsWindow(dlg));
  // From WM_INITDIALOG: creation reports nothing made.
  g_seen.hook = [](HWND hwnd, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) DestroyWindow(hwnd);
  };
  EXPECT_EQ(Make(form), nullptr);
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, form.get(), nullptr, RecordingProc, 0), -1);
  // A procedure that answers every message itself, WM_DESTROY too, still
  // lets the dialog's record go with its window.
  HWND greedy = CreateDialogIndirectParamW(
      nullptr, form.get(), nullptr, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return TRUE; }, 0);
  ASSERT_NE(greedy, nullptr);
  DestroyWindow(greedy);
  RECT r2{0, 0, 4, 8};
  EXPECT_FALSE(IsWindow(greedy));
  EXPECT_FALSE(MapDialogRect(greedy, &r2));
}

TEST_F(Dialogs, BadTemplatesAreRefusedWithoutReadingPastThem) {
  Builder good = Form();
  good.AddWithData(6, 6);
  const std::vector<BYTE> whole = good.bytes();
  HINSTANCE module = reinterpret_cast<HINSTANCE>(0x5000);
  // Every shorter piece of a good template is refused.
  for (std::size_t size = 0; size < whole.size(); ++size) {
    ce::controls::AddDialogTemplate(module, MAKEINTRESOURCEW(1),
                                    std::vector<BYTE>(whole.begin(), whole.begin() + size));
    EXPECT_EQ(CreateDialogParamW(module, MAKEINTRESOURCEW(1), nullptr, RecordingProc, 0), nullptr) << size;
  }
  ce::controls::AddDialogTemplate(module, MAKEINTRESOURCEW(1), whole);
  HWND dlg = CreateDialogParamW(module, MAKEINTRESOURCEW(1), nullptr, RecordingProc, 0);
  ASSERT_NE(dlg, nullptr);
  made.push_back(dlg);

  struct Case {
    const char* what;
    std::vector<BYTE> bytes;
  };
  Builder count(WS_POPUP);
  count.Add(kButton, BS_PUSHBUTTON, 1, L"A");
  std::vector<BYTE> tooMany = count.bytes();
  tooMany[8] = 5;  // five items said, one there
  Builder data(WS_POPUP);
  data.AddWithData(200, 4);
  Builder ordinal(WS_POPUP);
  ordinal.Add(0x0099, 0, 1, L"?");
  Builder unknown(WS_POPUP);
  unknown.AddNamed(L"NoSuchClass", 0, 1, L"?");
  const Case cases[] = {{"more items than there are", tooMany},
                        {"creation data past the end", data.bytes()},
                        {"an unknown class ordinal", ordinal.bytes()},
                        {"an unknown class name", unknown.bytes()}};
  for (const Case& c : cases) {
    ce::controls::AddDialogTemplate(module, L"Bad", c.bytes);
    EXPECT_EQ(CreateDialogParamW(module, L"bad", nullptr, RecordingProc, 0), nullptr) << c.what;
    EXPECT_EQ(DialogBoxParamW(module, L"BAD", nullptr, RecordingProc, 0), -1) << c.what;
  }
  EXPECT_EQ(FindWindowW(L"Dialog", nullptr), dlg) << "no half-made dialog is left";
  EXPECT_EQ(DialogBoxParamW(module, MAKEINTRESOURCEW(2), nullptr, RecordingProc, 0), -1);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);

  // DS_NOFAILCREATE leaves the control out and makes the rest.
  Builder tolerant(WS_POPUP | DS_NOFAILCREATE);
  tolerant.AddNamed(L"NoSuchClass", 0, 1, L"?").Add(kButton, BS_PUSHBUTTON, 2, L"B");
  HWND partial = Make(tolerant);
  ASSERT_NE(partial, nullptr);
  EXPECT_EQ(GetDlgItem(partial, 1), nullptr);
  EXPECT_NE(GetDlgItem(partial, 2), nullptr);
}

TEST_F(Dialogs, RepeatedIdsFindTheFirstControl) {
  Builder b(WS_POPUP);
  b.Add(kStatic, 0, 5, L"first").Add(kStatic, 0, 5, L"second");
  HWND dlg = Make(b);
  ASSERT_NE(dlg, nullptr);
  wchar_t text[16];
  GetDlgItemTextW(dlg, 5, text, 16);
  EXPECT_STREQ(text, L"first");
  EXPECT_EQ(GetWindow(GetDlgItem(dlg, 5), GW_HWNDNEXT), GetWindow(GetDlgItem(dlg, 5), GW_HWNDNEXT));
}

TEST_F(Dialogs, ItemTextsAndNumbersStayInsideTheirBuffers) {
  Builder b(WS_POPUP);
  b.Add(kStatic, 0, 1, L"Sample text").Add(kStatic, 0, 2, L"");
  HWND dlg = Make(b);
  ASSERT_NE(dlg, nullptr);
  wchar_t buffer[8];
  std::wmemset(buffer, L'#', 8);
  EXPECT_EQ(GetDlgItemTextW(dlg, 1, buffer, 5), 4u);
  EXPECT_STREQ(buffer, L"Samp");
  EXPECT_EQ(buffer[5], L'#');
  EXPECT_EQ(GetDlgItemTextW(dlg, 1, buffer, 1), 0u);
  EXPECT_EQ(buffer[0], L'\0');
  EXPECT_EQ(buffer[1], L'a') << "nothing written past the one character";
  EXPECT_EQ(GetDlgItemTextW(dlg, 99, buffer, 8), 0u);
  EXPECT_EQ(buffer[0], L'\0');

  struct Case {
    const wchar_t* text;
    BOOL isSigned;
    BOOL translated;
    UINT value;
  };
  const Case cases[] = {
      {L"42", FALSE, TRUE, 42},
      {L"  42  ", FALSE, TRUE, 42},
      {L"-5", TRUE, TRUE, static_cast<UINT>(-5)},
      {L"-5", FALSE, FALSE, 0},
      {L"4x", FALSE, FALSE, 0},
      {L"", FALSE, FALSE, 0},
      {L"4294967295", FALSE, TRUE, ~0u},
      {L"4294967296", FALSE, FALSE, 0},
      {L"2147483648", TRUE, FALSE, 0},
      {L"-2147483648", TRUE, TRUE, 0x80000000u},
  };
  for (const Case& c : cases) {
    SetDlgItemTextW(dlg, 2, c.text);
    BOOL translated = 2;
    EXPECT_EQ(GetDlgItemInt(dlg, 2, &translated, c.isSigned), c.value) << static_cast<const void*>(c.text);
    EXPECT_EQ(translated, c.translated);
  }
  SetDlgItemInt(dlg, 2, static_cast<UINT>(-12), TRUE);
  GetDlgItemTextW(dlg, 2, buffer, 8);
  EXPECT_STREQ(buffer, L"-12");
}

// Subclassing: a procedure put in front of a control's own.
WNDPROC g_original = nullptr;
int g_seenByFront = 0;
bool g_frontSawDestroy = false;
LRESULT CALLBACK FrontProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == BM_CLICK || message == WM_SETTEXT) ++g_seenByFront;
  if (message == WM_DESTROY) g_frontSawDestroy = true;
  return CallWindowProcW(g_original, hwnd, message, wParam, lParam);
}

TEST_F(Dialogs, EveryControlClassCanBeSubclassedThroughThePointerSizedField) {
  Builder b(WS_POPUP);
  b.Add(kButton, BS_AUTOCHECKBOX, 1042, L"Area");
  HWND dlg = Make(b);
  ASSERT_NE(dlg, nullptr);
  g_original = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(GetDlgItem(dlg, 1042), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrontProc)));
  ASSERT_NE(g_original, nullptr);
  SendMessageW(GetDlgItem(dlg, 1042), BM_CLICK, 0, 0);
  EXPECT_EQ(g_seenByFront, 1);
  EXPECT_EQ(IsDlgButtonChecked(dlg, 1042), BST_CHECKED) << "the control's own procedure still answers";
  SetWindowLongPtrW(GetDlgItem(dlg, 1042), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_original));

  const struct {
    const wchar_t* cls;
    DWORD style;
  } classes[] = {{L"BUTTON", BS_PUSHBUTTON}, {L"STATIC", SS_LEFT},
                 {L"EDIT", ES_MULTILINE},    {L"CAPEDIT", 0},
                 {L"LISTBOX", LBS_NOTIFY},   {L"COMBOBOX", CBS_DROPDOWNLIST},
                 {L"msctls_updown32", 0},    {L"msctls_trackbar32", 0},
                 {L"msctls_progress32", 0}};
  for (const auto& [cls, style] : classes) {
    HWND control = CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 60, 20, dlg,
                                   reinterpret_cast<HMENU>(7), nullptr, nullptr);
    ASSERT_NE(control, nullptr) << cls;
    // The 32-bit field cannot hold a procedure here: refused, nothing changed.
    SetLastError(0);
    EXPECT_EQ(SetWindowLongW(control, GWL_WNDPROC, 1234), 0) << cls;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX) << cls;
    g_seenByFront = 0;
    g_frontSawDestroy = false;
    g_original =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrontProc)));
    ASSERT_NE(g_original, nullptr) << cls;
    EXPECT_EQ(GetWindowLongPtrW(control, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(FrontProc));
    SetWindowTextW(control, L"New");
    EXPECT_EQ(g_seenByFront, 1) << cls;
    // A drop-down list's text is its chosen item's; the others keep it.
    if (style != CBS_DROPDOWNLIST) {
      wchar_t text[8] = {};
      GetWindowTextW(control, text, 8);
      EXPECT_STREQ(text, L"New") << cls;
    }
    DestroyWindow(control);
    EXPECT_TRUE(g_frontSawDestroy) << cls << ": WM_DESTROY reaches the subclass";
  }
}

TEST_F(Dialogs, ChildrenRunInTheOrderTheyWereMadeAndAutoBuddyTakesThePrevious) {
  Builder b(WS_POPUP | WS_VISIBLE);
  b.Add(kStatic, WS_VISIBLE, 1, L"Count:", 4, 4, 30, 10)
      .AddNamed(L"LISTBOX", WS_VISIBLE | WS_BORDER, 2, L"")
      .AddNamed(L"msctls_updown32", WS_VISIBLE | UDS_AUTOBUDDY | UDS_ALIGNRIGHT, 3, L"")
      .Add(kButton, WS_VISIBLE | BS_PUSHBUTTON, IDOK, L"OK", 4, 40, 40, 14);
  HWND dlg = Make(b);
  ASSERT_NE(dlg, nullptr);
  HWND list = GetDlgItem(dlg, 2);
  HWND spin = GetDlgItem(dlg, 3);
  EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(spin, UDM_GETBUDDY, 0, 0)), list);
  EXPECT_EQ(GetWindow(spin, GW_HWNDPREV), list);
  // A control the program adds later comes after the template's.
  HWND added =
      CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, dlg, reinterpret_cast<HMENU>(9), nullptr, nullptr);
  std::vector<int> ids;
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ids.push_back(GetDlgCtrlID(c));
  EXPECT_EQ(ids, (std::vector<int>{1, 2, 3, IDOK, 9}));
  EXPECT_EQ(GetWindow(added, GW_HWNDLAST), added);
}

// The screen may keep fewer bits a channel than a COLORREF.
bool NearColour(COLORREF a, COLORREF b) {
  for (int shift : {0, 8, 16}) {
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 8) return false;
  }
  return true;
}

// Lists, spin lists, combo boxes and edits keep the arrows in a dialog
// (and an open combo box Enter and Escape); a spin list shows when it has
// the focus.
TEST_F(Dialogs, ListsTakeTheArrowsAndASpinListShowsItsFocus) {
  Builder b(WS_POPUP | WS_VISIBLE, 120, 120, L"T", nullptr);
  b.AddNamed(L"LISTBOX", WS_VISIBLE | WS_BORDER | WS_TABSTOP, 20, L"", 4, 4, 60, 36)
      .AddNamed(L"LISTBOX", WS_VISIBLE | WS_BORDER | WS_TABSTOP, 21, L"", 4, 44, 60, 12)
      .AddNamed(L"msctls_updown32", WS_VISIBLE | UDS_AUTOBUDDY | UDS_ALIGNRIGHT | UDS_ARROWKEYS, 22, L"", 0, 0, 10, 12)
      .AddNamed(L"COMBOBOX", WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 23, L"", 4, 60, 60, 40)
      .AddNamed(L"EDIT", WS_VISIBLE | WS_BORDER | WS_TABSTOP, 24, L"abc", 4, 76, 60, 12)
      .Add(kButton, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, L"OK", 4, 92, 40, 14)
      .Add(kButton, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, L"Cancel", 50, 92, 40, 14);
  HWND dlg = Make(b);
  ASSERT_NE(dlg, nullptr);
  for (int id : {20, 21}) {
    for (const wchar_t* item : {L"one", L"two", L"three"})
      SendDlgItemMessageW(dlg, id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendDlgItemMessageW(dlg, id, LB_SETCURSEL, 0, 0);
  }
  for (const wchar_t* item : {L"red", L"green", L"blue"})
    SendDlgItemMessageW(dlg, 23, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  SendDlgItemMessageW(dlg, 23, CB_SETCURSEL, 0, 0);
  PumpDialog(dlg);

  struct Case {
    int id;
    std::vector<int> keys;
    UINT query;
    LRESULT want;
  };
  const Case cases[] = {
      {20, {VK_DOWN, VK_DOWN, VK_UP}, LB_GETCURSEL, 1},
      {21, {VK_DOWN, VK_RIGHT}, LB_GETCURSEL, 2},
      {23, {VK_DOWN, VK_DOWN}, CB_GETCURSEL, 2},
      {24, {VK_LEFT, VK_LEFT}, EM_GETSEL, MAKELONG(1, 1)},
  };
  for (const Case& c : cases) {
    HWND control = GetDlgItem(dlg, c.id);
    SetFocus(control);
    if (c.id == 24) SendMessageW(control, EM_SETSEL, 3, 3);
    for (int vk : c.keys) {
      Press(vk);
      PumpDialog(dlg);
    }
    EXPECT_EQ(GetFocus(), control) << c.id << ": the focus stays";
    EXPECT_EQ(SendMessageW(control, c.query, 0, 0), c.want) << c.id;
  }

  // An open combo box's list takes Enter and Escape; the dialog does not.
  HWND combo = GetDlgItem(dlg, 23);
  SetFocus(combo);
  g_seen.commands.clear();
  for (int vk : {VK_F4, VK_UP, VK_RETURN, VK_F4, VK_UP, VK_ESCAPE}) {
    Press(vk);
    PumpDialog(dlg);
  }
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
  EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
  for (const auto& command : g_seen.commands) {
    EXPECT_NE(command.first, IDOK);
    EXPECT_NE(command.first, IDCANCEL);
  }
  EXPECT_TRUE(IsWindowVisible(dlg));

  // The spin list's row is highlighted only while it has the focus.
  HWND spin = GetDlgItem(dlg, 21);
  RECT row{};
  GetWindowRect(spin, &row);
  auto highlighted = [&] {
    int count = 0;
    for (int x = row.left + 2; x < row.right - 2; ++x) {
      if (NearColour(ce::test::ScreenPixel(x, (row.top + row.bottom) / 2), GetSysColor(COLOR_HIGHLIGHT))) ++count;
    }
    return count > (row.right - row.left) / 2;
  };
  SetFocus(GetDlgItem(dlg, 20));
  PumpDialog(dlg);
  EXPECT_FALSE(highlighted());
  SetFocus(spin);
  PumpDialog(dlg);
  EXPECT_TRUE(highlighted());
}

TEST_F(Dialogs, ACaptionedDialogHasItsTitleBandAboveTheClientArea) {
  Builder b(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_ABSALIGN, 120, 60, L"Options", nullptr);
  b.Add(kButton, WS_VISIBLE | BS_AUTOCHECKBOX, 5, L"Loud", 0, 0, 60, 12);
  HWND dlg = Make(b);
  ASSERT_NE(dlg, nullptr);
  ce::test::PumpUntilIdle();
  const int band = GetSystemMetrics(SM_CYCAPTION);
  RECT window{};
  RECT client{};
  GetWindowRect(dlg, &window);
  GetClientRect(dlg, &client);
  RECT mapped{0, 0, 120, 60};
  MapDialogRect(dlg, &mapped);
  EXPECT_EQ(client.bottom, mapped.bottom) << "the template sizes the client area";
  EXPECT_EQ(window.bottom - window.top, client.bottom + band);
  POINT origin{0, 0};
  ClientToScreen(dlg, &origin);
  EXPECT_EQ(origin.y, window.top + band);
  RECT control{};
  GetWindowRect(GetDlgItem(dlg, 5), &control);
  EXPECT_EQ(control.top, window.top + band);
  EXPECT_TRUE(NearColour(ce::test::ScreenPixel(window.right - 3, window.top + 2), GetSysColor(COLOR_ACTIVECAPTION)));
  // The pen lands in client coordinates: a tap on the box checks it.
  ce::test::Tap(control.left + 4, (control.top + control.bottom) / 2);
  PumpDialog(dlg);
  EXPECT_EQ(IsDlgButtonChecked(dlg, 5), BST_CHECKED);
}

TEST_F(Dialogs, StaticsShowBitmapsAndIconsSetOnThem) {
  Builder b(WS_POPUP | WS_VISIBLE, 120, 100, L"T", nullptr);
  b.Add(kStatic, WS_VISIBLE | SS_BITMAP, 1, L"", 0, 0, 5, 5)
      .Add(kStatic, WS_VISIBLE | SS_BITMAP | SS_CENTERIMAGE, 2, L"", 40, 0, 40, 40)
      .Add(kStatic, WS_VISIBLE | SS_ICON, 3, L"", 0, 60, 5, 5);
  HWND dlg = Make(b);
  ASSERT_NE(dlg, nullptr);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 12, -6, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP picture = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(picture, nullptr);
  std::fill_n(static_cast<std::uint32_t*>(bits), 12 * 6, 0x0000FF00u);  // green
  HWND plain = GetDlgItem(dlg, 1);
  HWND centred = GetDlgItem(dlg, 2);
  RECT before{};
  GetWindowRect(centred, &before);
  EXPECT_EQ(SendMessageW(plain, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture)), 0);
  EXPECT_EQ(SendMessageW(centred, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture)), 0);
  EXPECT_EQ(SendMessageW(plain, STM_GETIMAGE, IMAGE_BITMAP, 0), reinterpret_cast<LRESULT>(picture));
  EXPECT_EQ(SendMessageW(plain, STM_GETIMAGE, IMAGE_ICON, 0), 0);
  EXPECT_EQ(SendMessageW(plain, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(picture)), 0) << "wrong kind";
  EXPECT_EQ(SendMessageW(GetDlgItem(dlg, 3), STM_SETIMAGE, IMAGE_ICON, 12345), 0) << "not an icon";
  ce::test::PumpUntilIdle();
  RECT r{};
  GetWindowRect(plain, &r);
  EXPECT_EQ(r.right - r.left, 12) << "the control takes the picture's size";
  EXPECT_EQ(r.bottom - r.top, 6);
  EXPECT_TRUE(NearColour(ce::test::ScreenPixel(r.left + 11, r.top + 5), RGB(0, 255, 0)));
  GetWindowRect(centred, &r);
  EXPECT_EQ(r.right - r.left, before.right - before.left) << "unless it centres the picture";
  const int cx = (r.left + r.right) / 2;
  const int cy = (r.top + r.bottom) / 2;
  EXPECT_TRUE(NearColour(ce::test::ScreenPixel(cx, cy), RGB(0, 255, 0)));
  EXPECT_EQ(ce::test::ScreenPixel(r.left + 1, r.top + 1), RGB(255, 255, 255));
  // Taking the picture away leaves the control empty; the caller still owns it.
  EXPECT_EQ(SendMessageW(centred, STM_SETIMAGE, IMAGE_BITMAP, 0), reinterpret_cast<LRESULT>(picture));
  ce::test::PumpUntilIdle();
  EXPECT_EQ(ce::test::ScreenPixel(cx, cy), RGB(255, 255, 255));
  DestroyWindow(dlg);
  DeleteObject(picture);
}

TEST_F(Dialogs, ControlsAreWindowClassesOfTheirOwn) {
  Builder empty(WS_POPUP);
  HWND parent = Make(empty);
  ASSERT_NE(parent, nullptr);
  HWND button = CreateWindowExW(0, L"button", L"Go", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 40, 20, parent,
                                reinterpret_cast<HMENU>(9), nullptr, nullptr);
  ASSERT_NE(button, nullptr);
  SendMessageW(button, BM_CLICK, 0, 0);
  EXPECT_EQ(g_seen.commands, (std::vector<std::pair<int, int>>{{9, BN_CLICKED}}));
  WNDCLASSW wc{};
  EXPECT_TRUE(GetClassInfoW(nullptr, L"STATIC", &wc));
  EXPECT_TRUE(GetClassInfoW(nullptr, L"Dialog", &wc));
  EXPECT_GE(wc.cbWndExtra, DLGWINDOWEXTRA);
}

TEST_F(Dialogs, ChecksAndButtonsAreDrawn) {
  Builder b(WS_POPUP | WS_VISIBLE, 120, 100, L"T", nullptr);
  b.Add(kButton, WS_VISIBLE | BS_CHECKBOX, 1, L"", 0, 0, 40, 10)
      .Add(kButton, WS_VISIBLE | BS_CHECKBOX, 2, L"", 0, 20, 40, 10)
      .Add(kButton, WS_VISIBLE | BS_DEFPUSHBUTTON, 3, L"", 0, 40, 40, 14)
      .Add(kButton, WS_VISIBLE | BS_GROUPBOX, 4, L"Group", 0, 0, 60, 35);
  HWND dlg = Make(b);
  ASSERT_NE(dlg, nullptr);
  CheckDlgButton(dlg, 1, BST_CHECKED);
  ce::test::PumpUntilIdle();
  // A group box drawn again leaves the controls inside it be.
  InvalidateRect(GetDlgItem(dlg, 4), nullptr, TRUE);
  ce::test::PumpUntilIdle();
  // Inside the mark, whatever its size.
  auto center = [&](int id) {
    RECT r{};
    GetWindowRect(GetDlgItem(dlg, id), &r);
    return ce::test::ScreenPixel(r.left + 4, (r.top + r.bottom) / 2);
  };
  // The screen keeps 5 or 6 bits of each channel.
  auto near = [](COLORREF a, COLORREF b) {
    for (int shift : {0, 8, 16}) {
      if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 8) return false;
    }
    return true;
  };
  EXPECT_EQ(center(1), RGB(0, 0, 0)) << "a checked box is marked";
  EXPECT_EQ(center(2), RGB(255, 255, 255));
  RECT r{};
  GetWindowRect(GetDlgItem(dlg, 3), &r);
  EXPECT_EQ(ce::test::ScreenPixel(r.left, r.top), RGB(0, 0, 0)) << "the frame";
  EXPECT_TRUE(near(ce::test::ScreenPixel((r.left + r.right) / 2, r.top + 3), ce::controls::kButtonFace));
}

// A dialog that erases itself whole (InvalidateRect with erase) paints over
// its controls unless it clips them; either way every control shows again
// once the paints are done, inside a child page too.
TEST_F(Dialogs, ADialogThatErasesItselfShowsItsControlsAgain) {
  for (const DWORD clip : {DWORD{0}, DWORD{WS_CLIPCHILDREN}}) {
    SCOPED_TRACE(clip ? "clips its children" : "paints over its children");
    Builder b(WS_POPUP | WS_VISIBLE | clip, 120, 100, L"T", nullptr);
    b.Add(kStatic, WS_VISIBLE, static_cast<WORD>(IDC_STATIC), L"Adapter:", 4, 4, 60, 10)
        .Add(kButton, WS_VISIBLE | BS_CHECKBOX, 1, L"Animate", 4, 20, 60, 10)
        .Add(kButton, WS_VISIBLE | BS_DEFPUSHBUTTON, IDOK, L"Next", 4, 70, 40, 14);
    HWND dlg = Make(b);
    ASSERT_NE(dlg, nullptr);
    Builder pageTemplate(WS_CHILD | WS_VISIBLE | DS_CONTROL, 50, 30, L"", nullptr);
    pageTemplate.Add(kButton, WS_VISIBLE | BS_CHECKBOX, 2, L"", 0, 0, 40, 10);
    HWND page = CreateDialogIndirectParamW(nullptr, pageTemplate.get(), dlg, RecordingProc, 0);
    ASSERT_NE(page, nullptr);
    SetWindowPos(page, nullptr, 60, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    CheckDlgButton(dlg, 1, BST_CHECKED);
    CheckDlgButton(page, 2, BST_CHECKED);
    ce::test::PumpUntilIdle();
    RECT r{};
    GetWindowRect(dlg, &r);
    auto shot = [&] {
      std::vector<COLORREF> pixels;
      for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) pixels.push_back(ce::test::ScreenPixel(x, y));
      }
      return pixels;
    };
    const auto before = shot();
    RECT box{};
    GetWindowRect(GetDlgItem(page, 2), &box);
    ASSERT_EQ(ce::test::ScreenPixel(box.left + 4, (box.top + box.bottom) / 2), RGB(0, 0, 0)) << "the page's mark";
    ASSERT_GT(std::count(before.begin(), before.end(), RGB(0, 0, 0)), 100) << "the controls are drawn";
    InvalidateRect(dlg, nullptr, TRUE);
    ce::test::PumpUntilIdle();
    EXPECT_TRUE(shot() == before) << "every control is drawn again";
    DestroyWindow(dlg);
  }
}

// A request to end the program (the user closing it, a script's quit) that
// comes while a modal loop runs inside the main window's procedure: each
// loop unwinds, the call that ran it returns with the main window still
// there, and only then is the main window asked to close, ending the
// program the way it always ends.
struct QuitCase {
  const char* name;
  std::function<LRESULT(HWND main)> modal;  // runs one, after the request
};
std::vector<std::string> g_quitLog;
std::function<LRESULT(HWND)> g_quitModal;
bool g_quitNested = false;  // the modal call asks for the request itself

LRESULT CALLBACK QuitMainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_APP: {
      if (!g_quitNested) ce::test::AskToQuit();
      SetTimer(hwnd, 1, 5000, nullptr);  // a loop that goes on fails the test, never hangs it
      const LRESULT result = g_quitModal(hwnd);
      g_quitLog.push_back("returned " + std::to_string(result) + (IsWindow(hwnd) ? ", window there" : ", window gone"));
      return 0;
    }
    case WM_TIMER:
      KillTimer(hwnd, 1);
      g_quitLog.push_back("still running");
      PostQuitMessage(4);
      return 0;
    case WM_CLOSE:
      g_quitLog.push_back("close");
      break;
    case WM_DESTROY:
      g_quitLog.push_back("destroy");
      PostQuitMessage(3);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(Dialogs, AQuitDuringAModalLoopUnwindsItThenClosesTheMainWindow) {
  static Builder form = Form();
  const auto dialog = [](HWND owner) { return DialogBoxIndirectParamW(nullptr, form.get(), owner, RecordingProc, 0); };
  const std::vector<QuitCase> cases = {
      {"dialog", dialog},
      {"dialog in a dialog",
       [&](HWND main) {
         // The request comes once the inner dialog is up.
         static int made = 0;
         made = 0;
         g_seen.hook = [&](HWND hwnd, UINT message, WPARAM, LPARAM) {
           if (message == WM_INITDIALOG && ++made == 1) PostMessageW(hwnd, WM_APP, 0, 0);
           if (message == WM_INITDIALOG && made == 2) ce::test::AskToQuit();
           if (message == WM_APP) g_quitLog.push_back("inner " + std::to_string(dialog(hwnd)));
         };
         const LRESULT result = dialog(main);
         g_seen.hook = nullptr;
         return result;
       }},
      {"popup menu",
       [](HWND main) {
         HMENU menu = CreatePopupMenu();
         AppendMenuW(menu, MF_STRING, 5, L"Five");
         const LRESULT chosen = TrackPopupMenuEx(menu, TPM_RETURNCMD, 10, 10, main, nullptr);
         DestroyMenu(menu);
         return chosen;
       }},
      {"the program's own loop",
       [](HWND) {
         MSG msg{};
         BOOL got = 0;
         while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) DispatchMessageW(&msg);
         if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
         return LRESULT{got};
       }},
  };
  WNDCLASSW wc{};
  wc.lpfnWndProc = QuitMainProc;
  wc.lpszClassName = L"QuitMain";
  ASSERT_NE(RegisterClassW(&wc), 0);
  for (const QuitCase& c : cases) {
    SCOPED_TRACE(c.name);
    g_quitLog.clear();
    g_quitModal = c.modal;
    g_quitNested = std::string(c.name) == "dialog in a dialog";
    HWND main =
        CreateWindowExW(0, L"QuitMain", L"Main", WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(main, nullptr);
    made.push_back(main);
    ce::test::PumpUntilIdle();
    PostMessageW(main, WM_APP, 0, 0);
    EXPECT_FALSE(ce::test::RunFor(1000)) << "the program's loop ends";
    std::vector<std::string> expected = {"returned 0, window there", "close", "destroy"};
    if (g_quitNested) expected.insert(expected.begin(), "inner 0");
    EXPECT_EQ(g_quitLog, expected);
    EXPECT_FALSE(IsWindow(main));
  }
  g_quitModal = nullptr;
  UnregisterClassW(L"QuitMain", nullptr);
}

TEST_F(Dialogs, AScriptPressesControlsOfTheTopmostDialog) {
  static Builder form = Form();
  static std::unique_ptr<ce::program::ScriptRunner> runner;
  std::string error;
  auto commands = ce::program::ParseScript("check 10\ncheck 10\ncheck 12\nclick 1\n", &error);
  ASSERT_TRUE(commands) << error;
  static std::vector<ce::program::ScriptCommand> script;
  script = std::move(*commands);
  g_seen.hook = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) PostMessageW(hwnd, WM_APP, 0, 0);
    if (message == WM_APP) runner = ce::program::ScriptRunner::Start(script, false);
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
      EndDialog(hwnd, IsDlgButtonChecked(hwnd, 10) * 10 + IsDlgButtonChecked(hwnd, 12));
    }
  };
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, form.get(), nullptr, RecordingProc, 0), 11);
  ASSERT_TRUE(runner);
  ASSERT_TRUE(runner->Wait(10000));
  EXPECT_EQ(runner->failures(), 0);
  EXPECT_EQ(g_seen.commands,
            (std::vector<std::pair<int, int>>{{10, BN_CLICKED}, {12, BN_CLICKED}, {IDOK, BN_CLICKED}}));
  runner.reset();

  // A control that is not there fails the command, and says so.
  EXPECT_FALSE(ce::program::ParseScript("click\n", &error));
  EXPECT_FALSE(ce::program::ParseScript("check 70000\n", &error));
  ::testing::internal::CaptureStderr();
  // It ends the script there: the screenshot after it is not taken.
  const std::string shot = ::testing::TempDir() + "after_failed_click.png";
  std::remove(shot.c_str());
  auto missing =
      ce::program::ScriptRunner::Start(*ce::program::ParseScript("click 99\nscreenshot " + shot + "\n", &error), false);
  ASSERT_TRUE(missing->Wait(10000));
  EXPECT_EQ(missing->failures(), 1);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("no control 99"), std::string::npos);
  EXPECT_FALSE(std::ifstream(shot).good());
}

}  // namespace
