#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "program/script.h"
#include "ce/commctrl.h"
#include "ce/crt.h"
#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "controls/edit_and_lists.h"
#include "headless_device.h"
#include "kernel/clock.h"

namespace {

namespace clock = ce::kernel::clock;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;
constexpr int kEditId = 1025;

// The notifications the parent received, as (id, code).
std::vector<std::pair<int, int>> g_commands;

// The trackbar's scroll messages the parent received.
struct Scroll {
  UINT message;
  WORD code;
  WORD pos;
  HWND from;
  bool operator==(const Scroll&) const = default;
};
std::vector<Scroll> g_scrolls;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) g_commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
  if (message == WM_HSCROLL || message == WM_VSCROLL) {
    g_scrolls.push_back({message, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)});
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

int Count(int code) {
  int n = 0;
  for (const auto& c : g_commands) n += c.second == code;
  return n;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t buffer[261] = {};
  GetWindowTextW(hwnd, buffer, 261);
  return buffer;
}

std::pair<DWORD, DWORD> Selection(HWND edit) {
  DWORD start = 99;
  DWORD end = 99;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return {start, end};
}

// Width of the first `count` characters in the system font.
int TextWidth(const wchar_t* text, int count) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
  SIZE size{};
  GetTextExtentPoint32W(dc, text, count, &size);
  SelectObject(dc, old);
  DeleteDC(dc);
  return size.cx;
}

// The screen may hold fewer bits a channel than a COLORREF.
bool Near(COLORREF a, COLORREF b) {
  const auto close = [](int x, int y) { return x - y < 8 && y - x < 8; };
  return close(GetRValue(a), GetRValue(b)) && close(GetGValue(a), GetGValue(b)) && close(GetBValue(a), GetBValue(b));
}

void Key(int vk) {
  ce::test::KeyDown(vk);
  ce::test::KeyUp(vk);
  ce::test::PumpUntilIdle();
}

void ShiftKey(int vk) {
  ce::test::KeyDown(VK_SHIFT);
  Key(vk);
  ce::test::KeyUp(VK_SHIFT);
  ce::test::PumpUntilIdle();
}

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    clock::UseVirtualClock(0, kStart2010);
    ce::controls::RegisterEditAndLists();
    ce::controls::RegisterTrackbarAndProgress();
    g_commands.clear();
    g_scrolls.clear();
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.lpszClassName = L"ControlsParent";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    ASSERT_NE(RegisterClassW(&wc), 0);
    parent = CreateWindowExW(0, L"ControlsParent", L"", WS_VISIBLE, 0, 0, 240, 300, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    SetFocus(parent);
    ce::test::PumpUntilIdle();
  }
  void TearDown() override {
    DestroyWindow(parent);
    ce::test::PumpUntilIdle();
    UnregisterClassW(L"ControlsParent", nullptr);
  }
  HWND Make(LPCWSTR cls, DWORD style, int x, int y, int w, int h, int id, LPCWSTR text = L"") {
    HWND hwnd = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    ce::test::PumpUntilIdle();
    g_commands.clear();
    return hwnd;
  }
  HWND MakeEdit(DWORD style = WS_BORDER, LPCWSTR text = L"", int width = 120, int height = 20) {
    return Make(L"EDIT", style, 10, 10, width, height, kEditId, text);
  }
  HWND parent = nullptr;
};

// ---- edit ----

TEST_F(Controls, EditValuesAndClassesMatchTheDevice) {
  static_assert(EM_SETSEL == 177 && EM_SETREADONLY == 207 && EM_SETINPUTMODE == 222 && EN_CHANGE == 0x300);
  static_assert(LB_ADDSTRING == 384 && LB_RESETCONTENT == 388 && LB_SETCURSEL == 390 && LB_GETCURSEL == 392);
  static_assert(LB_GETTEXT == 393 && LB_GETCOUNT == 395 && LB_FINDSTRINGEXACT == 418 && LBN_SELCHANGE == 1);
  for (LPCWSTR name : {L"EDIT", L"edit", L"CAPEDIT"}) {
    HWND edit = Make(name, 0, 0, 0, 100, 30, 7, L"start");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(TextOf(edit), L"start");
    EXPECT_TRUE(g_commands.empty());  // creation does not notify
    wchar_t cls[11] = {};
    GetClassNameW(edit, cls, 11);
    EXPECT_EQ(_wcsicmp(cls, name), 0);  // programs compare the class name with "EDIT"/"CAPEDIT"
    DestroyWindow(edit);
  }
  ce::controls::RegisterEditAndLists();  // again: harmless
}

TEST_F(Controls, EditTextCallsNotifyAndNeverWritePastTheBuffer) {
  HWND edit = MakeEdit();
  EXPECT_TRUE(SetWindowTextW(edit, L"Hello world"));
  EXPECT_EQ(Count(EN_CHANGE), 1);
  EXPECT_EQ(GetWindowTextLengthW(edit), 11);
  wchar_t small[6];
  std::fill(std::begin(small), std::end(small), L'#');
  EXPECT_EQ(SendMessageW(edit, WM_GETTEXT, 5, reinterpret_cast<LPARAM>(small)), 4);
  EXPECT_EQ(std::wstring(small), L"Hell");
  EXPECT_EQ(small[5], L'#');
  EXPECT_EQ(SendMessageW(edit, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(small)), 0);
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{0}, DWORD{0}));
}

TEST_F(Controls, EditTypingBackspaceAndFocusNotifications) {
  HWND edit = MakeEdit();
  SetFocus(edit);
  EXPECT_EQ(Count(EN_SETFOCUS), 1);
  ce::test::TypeText(L"abcdef");
  ce::test::PumpUntilIdle();
  EXPECT_EQ(TextOf(edit), L"abcdef");
  EXPECT_EQ(Count(EN_CHANGE), 6);
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{6}, DWORD{6}));
  EXPECT_EQ(SendMessageW(edit, EM_GETMODIFY, 0, 0), TRUE);

  // Backspace with a selection deletes the selection only.
  SendMessageW(edit, EM_SETSEL, 1, 3);
  SendMessageW(edit, WM_CHAR, VK_BACK, 0);
  EXPECT_EQ(TextOf(edit), L"adef");
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{1}, DWORD{1}));
  SendMessageW(edit, WM_CHAR, VK_BACK, 0);
  EXPECT_EQ(TextOf(edit), L"def");
  g_commands.clear();
  SendMessageW(edit, WM_CHAR, VK_BACK, 0);  // at the start: nothing to do
  EXPECT_EQ(TextOf(edit), L"def");
  EXPECT_EQ(Count(EN_CHANGE), 0);
  // Typing over a selection replaces it.
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, WM_CHAR, L'x', 0);
  EXPECT_EQ(TextOf(edit), L"x");

  SetFocus(parent);
  EXPECT_EQ(Count(EN_KILLFOCUS), 1);
  for (const auto& c : g_commands) EXPECT_EQ(c.first, kEditId);
}

TEST_F(Controls, EditKeysMoveAndSelect) {
  HWND edit = MakeEdit(WS_BORDER, L"one two");
  SetFocus(edit);
  Key(VK_END);
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{7}, DWORD{7}));
  ShiftKey(VK_LEFT);
  ShiftKey(VK_LEFT);
  ShiftKey(VK_LEFT);
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{4}, DWORD{7}));
  Key(VK_LEFT);  // collapses to the selection's start
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{4}, DWORD{4}));
  ShiftKey(VK_HOME);
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{0}, DWORD{4}));
  Key(VK_DELETE);
  EXPECT_EQ(TextOf(edit), L"two");
  Key(VK_DELETE);
  EXPECT_EQ(TextOf(edit), L"wo");
  Key(VK_RIGHT);
  Key(VK_RIGHT);
  Key(VK_RIGHT);  // stays at the end
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{2}, DWORD{2}));
}

TEST_F(Controls, EditSetSelCases) {
  HWND edit = MakeEdit(WS_BORDER, L"abcdef");
  const struct {
    int start, end;
    DWORD wantStart, wantEnd;
  } cases[] = {
      {0, -1, 0, 6},                 // all
      {2, 4, 2, 4},   {4, 2, 2, 4},  // either order
      {3, 100, 3, 6},                // past the end: clamped
      {-1, 0, 6, 6},                 // -1 drops the selection, the caret stays
  };
  for (const auto& c : cases) {
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(c.start), static_cast<LPARAM>(c.end));
    EXPECT_EQ(Selection(edit), std::make_pair(c.wantStart, c.wantEnd)) << c.start << "," << c.end;
  }
  SendMessageW(edit, EM_SETSEL, 1, 3);
  EXPECT_EQ(SendMessageW(edit, EM_GETSEL, 0, 0), MAKELONG(1, 3));
  SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"XYZ"));
  EXPECT_EQ(TextOf(edit), L"aXYZdef");
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{4}, DWORD{4}));
}

TEST_F(Controls, EditReadOnlyNumberAndLimit) {
  HWND edit = MakeEdit(WS_BORDER | ES_READONLY, L"fixed");
  SetFocus(edit);
  ce::test::TypeText(L"zz");
  ce::test::PumpUntilIdle();
  Key(VK_DELETE);
  EXPECT_EQ(TextOf(edit), L"fixed");
  EXPECT_TRUE(SendMessageW(edit, EM_SETREADONLY, FALSE, 0));
  EXPECT_EQ(GetWindowLongW(edit, GWL_STYLE) & ES_READONLY, 0);
  ce::test::TypeText(L"!");
  ce::test::PumpUntilIdle();
  EXPECT_EQ(TextOf(edit), L"!fixed");
  SendMessageW(edit, EM_SETREADONLY, TRUE, 0);
  EXPECT_NE(GetWindowLongW(edit, GWL_STYLE) & ES_READONLY, 0);
  EXPECT_EQ(SendMessageW(edit, EM_SETINPUTMODE, 0, 2), TRUE);

  HWND number = Make(L"EDIT", ES_NUMBER, 10, 40, 100, 20, 1027);
  SendMessageW(number, EM_LIMITTEXT, 3, 0);
  EXPECT_EQ(SendMessageW(number, EM_GETLIMITTEXT, 0, 0), 3);
  for (wchar_t c : std::wstring(L"1a2-34")) SendMessageW(number, WM_CHAR, c, 0);
  EXPECT_EQ(TextOf(number), L"123");
  EXPECT_GE(Count(EN_MAXTEXT), 1);
  // A replacement is cut to the limit.
  SendMessageW(number, EM_SETSEL, 1, 2);
  SendMessageW(number, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(L"9999"));
  EXPECT_EQ(TextOf(number), L"193");
}

TEST_F(Controls, EditPasswordKeepsTheText) {
  HWND edit = MakeEdit(WS_BORDER | ES_PASSWORD);
  for (wchar_t c : std::wstring(L"secret")) SendMessageW(edit, WM_CHAR, c, 0);
  EXPECT_EQ(TextOf(edit), L"secret");
  EXPECT_EQ(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0), L'*');
}

TEST_F(Controls, EditMultiLineLinesAndArrows) {
  HWND edit = MakeEdit(WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL, L"", 120, 80);
  SetFocus(edit);
  ce::test::TypeText(L"ab\rcdef\rg");
  ce::test::PumpUntilIdle();
  EXPECT_EQ(TextOf(edit), L"ab\r\ncdef\r\ng");
  EXPECT_EQ(SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 3);
  Key(VK_UP);  // from the end of "g" to the start of "cdef"'s line, same column
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{5}, DWORD{5}));
  Key(VK_END);
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{8}, DWORD{8}));
  Key(VK_UP);  // a shorter line: its end
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{2}, DWORD{2}));
  Key(VK_RIGHT);  // over the line break as one step
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{4}, DWORD{4}));
  SendMessageW(edit, WM_CHAR, VK_BACK, 0);  // joins the lines
  EXPECT_EQ(TextOf(edit), L"abcdef\r\ng");

  // Without sideways scrolling long lines wrap between words.
  HWND wrapped = Make(L"EDIT", ES_MULTILINE, 10, 100, 60, 80, 1030);
  std::wstring words;
  for (int i = 0; i < 10; ++i) words += L"word ";
  SetWindowTextW(wrapped, words.c_str());
  EXPECT_GT(SendMessageW(wrapped, EM_GETLINECOUNT, 0, 0), 2);
  HWND sideways = Make(L"EDIT", ES_MULTILINE | ES_AUTOHSCROLL, 10, 190, 60, 80, 1031);
  SetWindowTextW(sideways, words.c_str());
  EXPECT_EQ(SendMessageW(sideways, EM_GETLINECOUNT, 0, 0), 1);
}

TEST_F(Controls, EditPenPlacesTheCaretAndDragsASelection) {
  const wchar_t* text = L"abcdefgh";
  HWND edit = MakeEdit(WS_BORDER, text, 200, 20);
  // The text starts 3 pixels in: the border and the margin.
  const int left = 10 + 3;
  const int y = 20;
  const int at3 = left + TextWidth(text, 3);
  const int at6 = left + TextWidth(text, 6);
  ce::test::Tap(at3, y);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(GetFocus(), edit);
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{3}, DWORD{3}));
  ce::test::PenDown(at6, y);
  ce::test::PumpUntilIdle();
  ce::test::PenMove(left - 5, y);
  ce::test::PenUp(left - 5, y);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{0}, DWORD{6}));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(Controls, EditAlignmentMovesWhereThePenLands) {
  const wchar_t* text = L"ab";
  const int left = 10 + 3;
  const int innerWidth = 120 - 6;
  const struct {
    DWORD style;
    int x;
    DWORD want;
  } cases[] = {
      {ES_LEFT, left + TextWidth(text, 1), 1},
      {ES_RIGHT, left + TextWidth(text, 1), 0},
      {ES_RIGHT, left + innerWidth - TextWidth(text + 1, 1), 1},
      {ES_CENTER, left + (innerWidth - TextWidth(text, 2)) / 2 + TextWidth(text, 1), 1},
  };
  for (const auto& c : cases) {
    HWND edit = MakeEdit(WS_BORDER | c.style, text);
    ce::test::Tap(c.x, 20);
    ce::test::PumpUntilIdle();
    EXPECT_EQ(Selection(edit).first, c.want) << c.style << " at " << c.x;
    DestroyWindow(edit);
  }
}

TEST_F(Controls, EditScrollsSidewaysToFollowTheCaret) {
  HWND edit = MakeEdit(WS_BORDER | ES_AUTOHSCROLL, L"", 60, 20);
  SetFocus(edit);
  std::wstring text;
  for (int i = 0; i < 40; ++i) text += static_cast<wchar_t>(L'a' + i % 26);
  ce::test::TypeText(text);
  ce::test::PumpUntilIdle();
  // The start of the box now shows a character far from the first.
  ce::test::Tap(14, 20);
  ce::test::PumpUntilIdle();
  const auto sel = Selection(edit);
  EXPECT_GT(sel.first, 10u);
  Key(VK_HOME);
  ce::test::Tap(14, 20);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(Selection(edit).first, 0u);
}

TEST_F(Controls, EditDrawsTheSelectionInTheHighlightColour) {
  HWND edit = MakeEdit(WS_BORDER, L"MMMMMMMM", 120, 24);
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(ce::test::ScreenPixel(10, 10), RGB(0, 0, 0));  // border
  const auto highlighted = [] {
    int n = 0;
    for (int y = 11; y < 33; ++y) {
      for (int x = 11; x < 129; ++x) n += Near(ce::test::ScreenPixel(x, y), RGB(0, 0, 128));
    }
    return n;
  };
  EXPECT_GT(highlighted(), 100);
  SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(-1), 0);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(highlighted(), 0);
  EXPECT_EQ(ce::test::ScreenPixel(12 + TextWidth(L"MMMMMMMM", 8) + 20, 22), RGB(255, 255, 255));
}

// The clipboard's text, or "<none>" when it holds none.
std::wstring ClipboardText() {
  if (!OpenClipboard(nullptr)) return L"<closed>";
  std::wstring text = L"<none>";
  if (HANDLE block = GetClipboardData(CF_UNICODETEXT)) text = static_cast<const wchar_t*>(LocalLock(block));
  if (HANDLE block = GetClipboardData(CF_UNICODETEXT)) LocalUnlock(block);
  CloseClipboard();
  return text;
}

void SetClipboardText(const std::wstring& text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  ASSERT_TRUE(EmptyClipboard());
  HLOCAL block = LocalAlloc(LMEM_FIXED, (text.size() + 1) * sizeof(wchar_t));
  ASSERT_NE(block, nullptr);
  std::wmemcpy(static_cast<wchar_t*>(LocalLock(block)), text.c_str(), text.size() + 1);
  LocalUnlock(block);
  ASSERT_NE(SetClipboardData(CF_UNICODETEXT, block), nullptr);
  ASSERT_TRUE(CloseClipboard());
}

void ControlKey(int vk) {
  ce::test::KeyDown(VK_CONTROL);
  Key(vk);
  ce::test::KeyUp(VK_CONTROL);
  ce::test::PumpUntilIdle();
}

TEST_F(Controls, EditCopyCutAndPasteRoundTrip) {
  HWND edit = MakeEdit(WS_BORDER, L"hello world");
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, 0, 5);
  SendMessageW(edit, WM_COPY, 0, 0);
  EXPECT_EQ(ClipboardText(), L"hello");
  EXPECT_EQ(TextOf(edit), L"hello world");
  EXPECT_EQ(Count(EN_CHANGE), 0);

  SendMessageW(edit, EM_SETSEL, 5, 11);
  SendMessageW(edit, WM_CUT, 0, 0);
  EXPECT_EQ(ClipboardText(), L" world");
  EXPECT_EQ(TextOf(edit), L"hello");
  EXPECT_EQ(Count(EN_CHANGE), 1);

  SendMessageW(edit, EM_SETSEL, 0, 0);
  SendMessageW(edit, WM_PASTE, 0, 0);
  EXPECT_EQ(TextOf(edit), L" worldhello");
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{6}, DWORD{6}));
  EXPECT_EQ(Count(EN_CHANGE), 2);

  SendMessageW(edit, EM_SETSEL, 0, 1);
  SendMessageW(edit, WM_CLEAR, 0, 0);
  EXPECT_EQ(TextOf(edit), L"worldhello");
  EXPECT_EQ(ClipboardText(), L" world");  // clear leaves the clipboard alone

  // The keys: Ctrl+C/X/V and Ctrl+Insert, Shift+Delete, Shift+Insert.
  SendMessageW(edit, EM_SETSEL, 0, 5);
  ControlKey('C');
  EXPECT_EQ(ClipboardText(), L"world");
  SendMessageW(edit, EM_SETSEL, 10, 10);
  ControlKey('V');
  EXPECT_EQ(TextOf(edit), L"worldhelloworld");
  SendMessageW(edit, EM_SETSEL, 5, 10);
  ControlKey('X');
  EXPECT_EQ(TextOf(edit), L"worldworld");
  EXPECT_EQ(ClipboardText(), L"hello");
  SendMessageW(edit, EM_SETSEL, 0, 1);
  ControlKey(VK_INSERT);
  EXPECT_EQ(ClipboardText(), L"w");
  SendMessageW(edit, EM_SETSEL, 1, 2);
  ShiftKey(VK_DELETE);
  EXPECT_EQ(TextOf(edit), L"wrldworld");
  EXPECT_EQ(ClipboardText(), L"o");
  SendMessageW(edit, EM_SETSEL, 0, 0);
  ShiftKey(VK_INSERT);
  EXPECT_EQ(TextOf(edit), L"owrldworld");
}

TEST_F(Controls, EditClipboardRespectsPasswordReadOnlyLimitAndNumbers) {
  HWND password = MakeEdit(WS_BORDER | ES_PASSWORD, L"secret");
  SetClipboardText(L"kept");
  SendMessageW(password, EM_SETSEL, 0, -1);
  SendMessageW(password, WM_COPY, 0, 0);
  SendMessageW(password, WM_CUT, 0, 0);
  EXPECT_EQ(ClipboardText(), L"kept");
  EXPECT_EQ(TextOf(password), L"secret");
  SendMessageW(password, WM_PASTE, 0, 0);  // pasting into one is fine
  EXPECT_EQ(TextOf(password), L"kept");

  HWND fixed = Make(L"EDIT", WS_BORDER | ES_READONLY, 10, 40, 100, 20, 1027, L"fixed");
  SendMessageW(fixed, EM_SETSEL, 0, 2);
  SendMessageW(fixed, WM_CUT, 0, 0);
  EXPECT_EQ(TextOf(fixed), L"fixed");
  EXPECT_EQ(ClipboardText(), L"kept");
  SendMessageW(fixed, WM_PASTE, 0, 0);
  SendMessageW(fixed, WM_CLEAR, 0, 0);
  EXPECT_EQ(TextOf(fixed), L"fixed");
  SendMessageW(fixed, WM_COPY, 0, 0);  // copying out of one is fine
  EXPECT_EQ(ClipboardText(), L"fi");

  struct Case {
    DWORD style;
    std::size_t limit;
    const wchar_t* clip;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {0, 5, L"abcdefgh", L"abcde"},    // cut to the limit
      {0, 100, L"one\r\ntwo", L"one"},  // a line break ends a single line
      {0, 100, L"one\ntwo", L"one"},
      {ES_MULTILINE, 100, L"one\r\ntwo", L"one\r\ntwo"},
      {ES_MULTILINE, 4, L"one\r\ntwo", L"one"},  // never half a line break
      {ES_NUMBER, 100, L"123", L"123"},
      {ES_NUMBER, 100, L"12a", L""},  // refused whole
      {ES_UPPERCASE, 100, L"mixed", L"MIXED"},
  };
  int id = 1100;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "clip " << testing::PrintToString(std::wstring(c.clip)));
    HWND edit = Make(L"EDIT", WS_BORDER | c.style, 10, 70, 100, 40, ++id);
    SendMessageW(edit, EM_LIMITTEXT, c.limit, 0);
    SetClipboardText(c.clip);
    g_commands.clear();
    SendMessageW(edit, WM_PASTE, 0, 0);
    EXPECT_EQ(TextOf(edit), c.expected);
    EXPECT_EQ(Count(EN_CHANGE), *c.expected ? 1 : 0);
    DestroyWindow(edit);
  }
}

TEST_F(Controls, EditDrawsReadOnlyInTheFaceColour) {
  HWND edit = MakeEdit(WS_BORDER | ES_READONLY, L"", 120, 24);
  ce::test::PumpUntilIdle();
  EXPECT_TRUE(Near(ce::test::ScreenPixel(100, 20), GetSysColor(COLOR_BTNFACE)));
  SendMessageW(edit, EM_SETREADONLY, FALSE, 0);
  ce::test::PumpUntilIdle();
  EXPECT_TRUE(Near(ce::test::ScreenPixel(100, 20), GetSysColor(COLOR_WINDOW)));
}

// ---- trackbar and progress bar ----

TEST_F(Controls, TrackbarMessagesKeepThePositionInTheRange) {
  HWND bar = Make(TRACKBAR_CLASSW, TBS_AUTOTICKS, 10, 10, 120, 24, 1201);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(SendMessageW(bar, TBM_GETRANGEMIN, 0, 0), 0);
  EXPECT_EQ(SendMessageW(bar, TBM_GETRANGEMAX, 0, 0), 100);
  SendMessageW(bar, TBM_SETRANGE, TRUE, MAKELPARAM(-5, 20));
  EXPECT_EQ(SendMessageW(bar, TBM_GETRANGEMIN, 0, 0), -5);
  EXPECT_EQ(SendMessageW(bar, TBM_GETRANGEMAX, 0, 0), 20);
  EXPECT_EQ(SendMessageW(bar, TBM_GETPOS, 0, 0), 0);
  SendMessageW(bar, TBM_SETPOS, TRUE, 50);
  EXPECT_EQ(SendMessageW(bar, TBM_GETPOS, 0, 0), 20);
  SendMessageW(bar, TBM_SETPOS, TRUE, -50);
  EXPECT_EQ(SendMessageW(bar, TBM_GETPOS, 0, 0), -5);
  SendMessageW(bar, TBM_SETRANGEMIN, TRUE, 2);
  EXPECT_EQ(SendMessageW(bar, TBM_GETPOS, 0, 0), 2);
  SendMessageW(bar, TBM_SETPOS, TRUE, 15);
  SendMessageW(bar, TBM_SETRANGEMAX, TRUE, 10);
  EXPECT_EQ(SendMessageW(bar, TBM_GETPOS, 0, 0), 10);
  EXPECT_EQ(SendMessageW(bar, TBM_SETPAGESIZE, 0, 4), 20);
  EXPECT_EQ(SendMessageW(bar, TBM_GETPAGESIZE, 0, 0), 4);
  EXPECT_EQ(SendMessageW(bar, TBM_SETLINESIZE, 0, 2), 1);
  EXPECT_EQ(SendMessageW(bar, TBM_GETLINESIZE, 0, 0), 2);
  SendMessageW(bar, TBM_SETTICFREQ, 0, 0);  // no ticks: drawing must not loop forever
  SendMessageW(bar, TBM_SETTICFREQ, 2, 0);
  ce::test::PumpUntilIdle();
  EXPECT_TRUE(g_scrolls.empty()) << "messages from the program tell the parent nothing";
}

TEST_F(Controls, TrackbarKeysAndPenTellTheParent) {
  HWND bar = Make(TRACKBAR_CLASSW, 0, 10, 10, 111, 24, 1202);
  SendMessageW(bar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
  SendMessageW(bar, TBM_SETPAGESIZE, 0, 3);
  EXPECT_EQ(SendMessageW(bar, WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS, DLGC_WANTARROWS);
  SetFocus(bar);
  ce::test::PumpUntilIdle();
  struct Case {
    int key;
    WORD code;
    int pos;
  };
  const Case cases[] = {{VK_RIGHT, TB_LINEDOWN, 1}, {VK_NEXT, TB_PAGEDOWN, 4}, {VK_END, TB_BOTTOM, 10},
                        {VK_DOWN, TB_LINEDOWN, 10}, {VK_UP, TB_LINEUP, 9},     {VK_PRIOR, TB_PAGEUP, 6},
                        {VK_LEFT, TB_LINEUP, 5},    {VK_HOME, TB_TOP, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    g_scrolls.clear();
    Key(c.key);
    EXPECT_EQ(SendMessageW(bar, TBM_GETPOS, 0, 0), c.pos);
    const std::vector<Scroll> expected{{WM_HSCROLL, c.code, 0, bar}, {WM_HSCROLL, TB_ENDTRACK, 0, bar}};
    EXPECT_EQ(g_scrolls, expected);
  }

  // The channel runs from x 5 to x 105 of the window: a step is 10 pixels.
  g_scrolls.clear();
  ce::test::PenDown(10 + 80, 22);  // beside the thumb at 5: a page on
  ce::test::PenUp(10 + 80, 22);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(SendMessageW(bar, TBM_GETPOS, 0, 0), 3);
  std::vector<Scroll> expected{{WM_HSCROLL, TB_PAGEDOWN, 0, bar}, {WM_HSCROLL, TB_ENDTRACK, 0, bar}};
  EXPECT_EQ(g_scrolls, expected);

  g_scrolls.clear();
  ce::test::PenDown(10 + 35, 22);  // on the thumb, dragged to 7
  ce::test::PenMove(10 + 76, 22);
  ce::test::PenUp(10 + 76, 22);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(SendMessageW(bar, TBM_GETPOS, 0, 0), 7);
  expected = {
      {WM_HSCROLL, TB_THUMBTRACK, 7, bar}, {WM_HSCROLL, TB_THUMBPOSITION, 7, bar}, {WM_HSCROLL, TB_ENDTRACK, 0, bar}};
  EXPECT_EQ(g_scrolls, expected);

  // Upright it tells WM_VSCROLL.
  HWND upright = Make(TRACKBAR_CLASSW, TBS_VERT, 150, 10, 24, 100, 1203);
  SetFocus(upright);
  ce::test::PumpUntilIdle();
  g_scrolls.clear();
  Key(VK_DOWN);
  ASSERT_FALSE(g_scrolls.empty());
  EXPECT_EQ(g_scrolls[0], (Scroll{WM_VSCROLL, TB_LINEDOWN, 0, upright}));
}

TEST_F(Controls, ProgressBarRangeStepsAndDrawing) {
  HWND bar = Make(PROGRESS_CLASSW, 0, 10, 10, 102, 12, 1210);
  ASSERT_NE(bar, nullptr);
  PBRANGE range{};
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range)), 100);
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, 100);
  EXPECT_EQ(SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(10, 50)), MAKELONG(0, 100));
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 10) << "the position moves into the new range";
  EXPECT_EQ(SendMessageW(bar, PBM_SETPOS, 30, 0), 10);
  EXPECT_EQ(SendMessageW(bar, PBM_DELTAPOS, 100, 0), 30);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 50);
  EXPECT_EQ(SendMessageW(bar, PBM_SETSTEP, 15, 0), 10);
  EXPECT_EQ(SendMessageW(bar, PBM_STEPIT, 0, 0), 50);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 25) << "past the end it starts again";
  SendMessageW(bar, PBM_SETRANGE32, 0, 1000);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, TRUE, 0), 0);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 1000);
  SendMessageW(bar, PBM_SETPOS, 500, 0);
  ce::test::PumpUntilIdle();
  // Half filled: the highlight before the middle, the face after it.
  EXPECT_TRUE(Near(ce::test::ScreenPixel(10 + 20, 16), GetSysColor(COLOR_HIGHLIGHT)));
  EXPECT_TRUE(Near(ce::test::ScreenPixel(10 + 80, 16), GetSysColor(COLOR_BTNFACE)));
  SendMessageW(bar, PBM_SETRANGE32, 5, 5);  // an empty range draws and keeps the position sane
  ce::test::PumpUntilIdle();
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 5);
  EXPECT_EQ(SendMessageW(bar, PBM_STEPIT, 0, 0), 5);
}

// ---- list box ----

constexpr int kListId = 1033;

std::wstring ItemText(HWND list, int index) {
  const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return L"<error>";
  // Exactly the length the LEN message gave, and a guard after it.
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 2, L'#');
  EXPECT_EQ(SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(buffer.data())), length);
  EXPECT_EQ(buffer[static_cast<std::size_t>(length) + 1], L'#');
  return buffer.data();
}

void AddAll(HWND list, std::initializer_list<const wchar_t*> items) {
  for (const wchar_t* item : items) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
}

TEST_F(Controls, ListBoxItemsSortingAndErrors) {
  HWND sorted = Make(L"LISTBOX", WS_BORDER | LBS_SORT, 10, 10, 100, 80, kListId);
  AddAll(sorted, {L"pear", L"Apple", L"fig", L"banana"});
  const wchar_t* order[] = {L"Apple", L"banana", L"fig", L"pear"};
  ASSERT_EQ(SendMessageW(sorted, LB_GETCOUNT, 0, 0), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ItemText(sorted, i), order[i]);
  // LB_INSERTSTRING keeps its place even in a sorted list.
  EXPECT_EQ(SendMessageW(sorted, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(L"zz")), 0);
  EXPECT_EQ(SendMessageW(sorted, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"end")), 5);

  HWND list = Make(L"LISTBOX", WS_BORDER, 120, 10, 100, 80, kListId + 1);
  AddAll(list, {L"one", L"two", L"three"});
  EXPECT_EQ(ItemText(list, 1), L"two");
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_EQ(SendMessageW(list, LB_SETCURSEL, 2, 0), 2);
  EXPECT_EQ(SendMessageW(list, LB_SETITEMDATA, 1, 0x1234), LB_OKAY);
  EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 1, 0), 0x1234);
  // Deleting before the selection moves it; deleting it clears it.
  EXPECT_EQ(SendMessageW(list, LB_DELETESTRING, 0, 0), 2);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 0, 0), 0x1234);
  EXPECT_EQ(SendMessageW(list, LB_DELETESTRING, 1, 0), 1);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);

  const std::pair<UINT, WPARAM> bad[] = {
      {LB_GETTEXTLEN, 1},   {LB_GETTEXTLEN, static_cast<WPARAM>(-1)},
      {LB_DELETESTRING, 5}, {LB_SETCURSEL, 1},
      {LB_GETITEMDATA, 1},  {LB_SETITEMDATA, 7},
      {LB_SETTOPINDEX, 3},  {LB_INSERTSTRING, 3},
  };
  for (const auto& [message, index] : bad) {
    EXPECT_EQ(SendMessageW(list, message, index, reinterpret_cast<LPARAM>(L"x")), LB_ERR) << message;
  }
  wchar_t untouched[4] = {L'#', L'#', L'#', L'#'};
  EXPECT_EQ(SendMessageW(list, LB_GETTEXT, 9, reinterpret_cast<LPARAM>(untouched)), LB_ERR);
  EXPECT_EQ(untouched[0], L'#');
  EXPECT_EQ(SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0), LB_ERR);
  EXPECT_EQ(SendMessageW(list, LB_RESETCONTENT, 0, 0), LB_OKAY);
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 0);
  EXPECT_TRUE(g_commands.empty());  // programs' changes do not notify
}

TEST_F(Controls, ListBoxFindsFromAfterTheStartRoundToIt) {
  HWND list = Make(L"LISTBOX", 0, 10, 10, 100, 80, kListId);
  AddAll(list, {L"Alpha", L"beta", L"ALPHA", L"alphabet"});
  const struct {
    UINT message;
    int start;
    const wchar_t* text;
    LRESULT want;
  } cases[] = {
      {LB_FINDSTRINGEXACT, -1, L"alpha", 0}, {LB_FINDSTRINGEXACT, 0, L"alpha", 2},
      {LB_FINDSTRINGEXACT, 2, L"alpha", 0},  {LB_FINDSTRINGEXACT, -1, L"alp", LB_ERR},
      {LB_FINDSTRING, 2, L"alp", 3},         {LB_FINDSTRING, 3, L"B", 1},
      {LB_FINDSTRINGEXACT, 99, L"beta", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SendMessageW(list, c.message, static_cast<WPARAM>(c.start), reinterpret_cast<LPARAM>(c.text)), c.want)
        << c.start << " " << std::string(c.text, c.text + wcslen(c.text));
  }
}

TEST_F(Controls, ListBoxScrollsWithKeysAndTellsTheParent) {
  HWND list = Make(L"LISTBOX", WS_BORDER | LBS_NOTIFY, 10, 10, 100, 62, kListId);
  const LRESULT row = SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
  ASSERT_GT(row, 0);
  SetWindowPos(list, nullptr, 0, 0, 100, static_cast<int>(3 * row + 2), SWP_NOMOVE | SWP_NOZORDER);
  for (int i = 0; i < 10; ++i) {
    const std::wstring item = L"item " + std::to_wstring(i);
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  }
  SetFocus(list);
  g_commands.clear();
  Key(VK_DOWN);  // nothing chosen yet: the first
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
  Key(VK_UP);  // already at the top: no change, no notification
  EXPECT_EQ(Count(LBN_SELCHANGE), 1);
  for (int i = 0; i < 4; ++i) Key(VK_DOWN);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 4);
  EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 2);  // three rows show
  Key(VK_END);
  EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 7);
  Key(VK_HOME);
  EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
  EXPECT_EQ(Count(LBN_SELCHANGE), 7);
  ce::test::TypeText(L"i");  // the next item starting with the letter
  ce::test::PumpUntilIdle();
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);
  for (const auto& c : g_commands) EXPECT_EQ(c.first, kListId);
  EXPECT_EQ(SendMessageW(list, LB_SETTOPINDEX, 9, 0), LB_OKAY);  // as far as the last page
  EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 7);
}

TEST_F(Controls, ListBoxPenChoosesAndDrawsTheChoice) {
  HWND list = Make(L"LISTBOX", LBS_NOTIFY, 10, 10, 100, 100, kListId);
  AddAll(list, {L"a", L"b", L"c", L"d"});
  const int row = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  ce::test::Tap(50, 10 + row * 2 + row / 2);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(Count(LBN_SELCHANGE), 1);
  EXPECT_TRUE(Near(ce::test::ScreenPixel(100, 10 + row * 2 + 1), RGB(0, 0, 128)));
  EXPECT_TRUE(Near(ce::test::ScreenPixel(100, 10 + row + 1), RGB(255, 255, 255)));
  // A drag follows the pen.
  ce::test::PenDown(50, 10 + row / 2);
  ce::test::PumpUntilIdle();
  ce::test::PenMove(50, 10 + row * 3 + row / 2);
  ce::test::PenUp(50, 10 + row * 3 + row / 2);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 3);
  // A tap below the items changes nothing.
  ce::test::Tap(50, 10 + row * 5);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 3);
}

// ---- combo box ----

constexpr int kComboId = 1040;

HWND FindPopupList() {
  struct Search {
    HWND found = nullptr;
  } search;
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        wchar_t cls[16] = {};
        GetClassNameW(hwnd, cls, 16);
        if (std::wstring(cls) == L"LISTBOX" && IsWindowVisible(hwnd)) {
          reinterpret_cast<Search*>(param)->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

TEST_F(Controls, ListBoxHeightIsCutToWholeRowsUnlessAskedNot) {
  HWND fitted = Make(L"LISTBOX", WS_BORDER, 10, 10, 100, 50, 1);
  HWND free = Make(L"LISTBOX", WS_BORDER | LBS_NOINTEGRALHEIGHT, 120, 10, 100, 50, 2);
  HWND tiny = Make(L"LISTBOX", WS_BORDER, 10, 100, 100, 4, 3);
  const int row = static_cast<int>(SendMessageW(fitted, LB_GETITEMHEIGHT, 0, 0));
  ASSERT_GT(row, 0);
  RECT r{};
  GetWindowRect(fitted, &r);
  EXPECT_EQ(r.bottom - r.top, (48 / row) * row + 2);
  GetWindowRect(free, &r);
  EXPECT_EQ(r.bottom - r.top, 50);
  GetWindowRect(tiny, &r);
  EXPECT_EQ(r.bottom - r.top, 4) << "shorter than a row: left as it is";
  // A larger font changes the rows: the height follows.
  LOGFONTW lf{};
  lf.lfHeight = row * 2;
  HFONT big = CreateFontIndirectW(&lf);
  SendMessageW(fitted, WM_SETFONT, reinterpret_cast<WPARAM>(big), TRUE);
  const int bigRow = static_cast<int>(SendMessageW(fitted, LB_GETITEMHEIGHT, 0, 0));
  GetWindowRect(fitted, &r);
  EXPECT_EQ((r.bottom - r.top - 2) % bigRow, 0);
  DestroyWindow(fitted);
  DeleteObject(big);
}

TEST_F(Controls, ScrollBarsOfListsAndEditsAreDrawnAndWorkedWithThePen) {
  HWND list = Make(L"LISTBOX", WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 10, 10, 120, 82, 1);
  for (int i = 0; i < 20; ++i) {
    const std::wstring item = L"Item " + std::to_wstring(i);
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  }
  const int row = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  const int rows = 80 / row;
  const int bar = GetSystemMetrics(SM_CXVSCROLL);
  const int x = 10 + 120 - 1 - bar / 2;
  ce::test::PumpUntilIdle();
  EXPECT_TRUE(Near(ce::test::ScreenPixel(x, 12), GetSysColor(COLOR_BTNFACE))) << "the up arrow's box";

  // The arrows step a row, the track beside the thumb a page, and the
  // thumb drags; none of it changes the selection.
  const int lastTop = 20 - rows;
  const struct {
    int y;
    LRESULT top;
  } taps[] = {{89, 1}, {89, 2}, {13, 1}, {70, std::min(1 + rows, lastTop)}, {13, std::min(1 + rows, lastTop) - 1}};
  for (const auto& tap : taps) {
    ce::test::Tap(x, tap.y);
    ce::test::PumpUntilIdle();
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), tap.top) << tap.y;
  }
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
  SendMessageW(list, WM_VSCROLL, SB_TOP, 0);
  ce::test::PumpUntilIdle();
  ce::test::PenDown(x, 10 + 1 + bar + 2);  // the thumb, at the top of the track
  ce::test::PumpUntilIdle();
  ce::test::PenMove(x, 200);
  ce::test::PumpUntilIdle();
  ce::test::PenUp(x, 200);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), lastTop);
  SendMessageW(list, WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
  // A tap on the rows still chooses, beside the bar.
  ce::test::Tap(20, 10 + 1 + row / 2);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);

  std::wstring text;
  for (int i = 0; i < 30; ++i) text += L"Line " + std::to_wstring(i) + L"\r\n";
  HWND edit = Make(L"EDIT", WS_BORDER | WS_VSCROLL | ES_MULTILINE, 10, 120, 150, 80, kEditId, text.c_str());
  ASSERT_NE(edit, nullptr);
  const int editX = 10 + 150 - 1 - bar / 2;
  ce::test::Tap(editX, 120 + 80 - 3);
  ce::test::Tap(editX, 120 + 80 - 3);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 2);
  EXPECT_EQ(Selection(edit), (std::pair<DWORD, DWORD>{0, 0})) << "scrolling leaves the caret";
  SendMessageW(edit, WM_VSCROLL, SB_BOTTOM, 0);
  const LRESULT last = SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0);
  EXPECT_GT(last, 20);
  ce::test::Tap(editX, 120 + 3);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), last - 1);
}

TEST_F(Controls, ComboBoxMessagesAndTextBuffers) {
  static_assert(CB_ADDSTRING == 0x143 && CB_GETCURSEL == 0x147 && CB_GETLBTEXT == 0x148 && CB_SETCURSEL == 0x14E);
  static_assert(CB_FINDSTRINGEXACT == 0x158 && CB_RESETCONTENT == 331 && CBN_SELCHANGE == 1);
  HWND combo = Make(L"COMBOBOX", CBS_DROPDOWNLIST | CBS_SORT, 10, 10, 120, 100, kComboId);
  ASSERT_NE(combo, nullptr);
  // The window keeps the field's height; the rest is for the dropped list.
  RECT rect{};
  GetWindowRect(combo, &rect);
  EXPECT_LT(rect.bottom - rect.top, 40);
  for (const wchar_t* item : {L"Medium", L"High", L"Low"}) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  }
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"low")), 1);
  EXPECT_EQ(SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"none")),
            CB_ERR);
  EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 2, 0), 2);
  EXPECT_EQ(TextOf(combo), L"Medium");
  const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, 2, 0);
  ASSERT_EQ(length, 6);
  wchar_t buffer[8];
  std::fill(std::begin(buffer), std::end(buffer), L'#');
  EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(buffer)), 6);
  EXPECT_EQ(std::wstring(buffer), L"Medium");
  EXPECT_EQ(buffer[7], L'#');
  EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(buffer)), CB_ERR);
  EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXTLEN, 3, 0), CB_ERR);
  EXPECT_EQ(SendMessageW(combo, CB_SETITEMDATA, 0, 77), CB_OKAY);
  EXPECT_EQ(SendMessageW(combo, CB_GETITEMDATA, 0, 0), 77);
  EXPECT_EQ(SendMessageW(combo, CB_GETITEMDATA, 5, 0), CB_ERR);
  EXPECT_EQ(SendMessageW(combo, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(L"Off")), 0);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 3);  // the selection moved with its item
  EXPECT_EQ(SendMessageW(combo, CB_DELETESTRING, 0, 0), 3);
  EXPECT_EQ(SetWindowTextW(combo, L"high"), TRUE);  // names an item: selects it
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(SendMessageW(combo, CB_RESETCONTENT, 0, 0), CB_OKAY);
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_TRUE(g_commands.empty());
}

TEST_F(Controls, ComboBoxKeysChangeTheChoice) {
  HWND combo = Make(L"COMBOBOX", CBS_DROPDOWNLIST, 10, 10, 120, 100, kComboId);
  for (const wchar_t* item : {L"one", L"two", L"three"}) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  }
  SetFocus(combo);
  Key(VK_DOWN);
  Key(VK_DOWN);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
  Key(VK_UP);
  Key(VK_UP);  // at the top: no change
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(Count(CBN_SELCHANGE), 3);
  // Dropped: the arrows move in the list, Escape gives it up, Enter takes it.
  Key(VK_F4);
  EXPECT_EQ(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0), TRUE);
  Key(VK_DOWN);
  Key(VK_ESCAPE);
  EXPECT_EQ(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0), FALSE);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(Count(CBN_SELCHANGE), 3);
  Key(VK_F4);
  Key(VK_DOWN);
  Key(VK_DOWN);
  Key(VK_RETURN);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(Count(CBN_SELCHANGE), 4);
  EXPECT_EQ(GetCapture(), nullptr);
  for (const auto& c : g_commands) EXPECT_EQ(c.first, kComboId);
}

TEST_F(Controls, ComboBoxDropsAPopupListChosenWithThePen) {
  HWND combo = Make(L"COMBOBOX", CBS_DROPDOWNLIST, 10, 10, 120, 100, kComboId);
  for (const wchar_t* item : {L"red", L"green", L"blue"}) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  }
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
  RECT field{};
  GetWindowRect(combo, &field);
  ce::test::Tap(20, (field.top + field.bottom) / 2);
  ce::test::PumpUntilIdle();
  HWND popup = FindPopupList();
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(GetFocus(), combo);
  RECT list{};
  GetWindowRect(popup, &list);
  EXPECT_EQ(list.top, field.bottom);  // right under the field
  EXPECT_EQ(SendMessageW(popup, LB_GETCOUNT, 0, 0), 3);
  // Drawn over what lies below the field, the chosen item highlighted.
  const int row = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
  EXPECT_TRUE(Near(ce::test::ScreenPixel(list.right - 5, list.top + 1 + row / 2), RGB(0, 0, 128)));
  ce::test::Tap(40, list.top + 1 + row * 2 + row / 2);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(Count(CBN_SELCHANGE), 1);
  EXPECT_EQ(FindPopupList(), nullptr);
  // A tap outside gives the list up.
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  ASSERT_NE(FindPopupList(), nullptr);
  ce::test::Tap(200, 280);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(FindPopupList(), nullptr);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(Count(CBN_SELCHANGE), 1);
  // Destroyed while dropped: its popup goes with it.
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  DestroyWindow(combo);
  EXPECT_EQ(FindPopupList(), nullptr);
}

// ---- up-down and the one-line spin list ----

constexpr int kSpinListId = 1033;
constexpr int kUpDownId = 1034;

TEST_F(Controls, SpinListArrowsMoveTheBuddyListsSelection) {
  HWND list = Make(L"LISTBOX", WS_BORDER | LBS_NOTIFY, 10, 10, 120, 18, kSpinListId);
  for (const wchar_t* item : {L"eth0", L"wlan0", L"usb0"}) {
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  }
  SendMessageW(list, LB_SETCURSEL, 0, 0);
  HWND spin = Make(UPDOWN_CLASSW, UDS_AUTOBUDDY | UDS_ALIGNRIGHT | UDS_ARROWKEYS, 0, 0, 16, 18, kUpDownId);
  ASSERT_NE(spin, nullptr);
  EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(spin, UDM_GETBUDDY, 0, 0)), list);
  // The arrows sit at the list's right end, inside its old width.
  RECT listRect{};
  RECT spinRect{};
  GetWindowRect(list, &listRect);
  GetWindowRect(spin, &spinRect);
  EXPECT_EQ(listRect.right, spinRect.left);
  EXPECT_EQ(spinRect.right, 130);
  EXPECT_EQ(spinRect.top, listRect.top);

  const int upY = spinRect.top + 3;
  const int downY = spinRect.bottom - 3;
  const int x = (spinRect.left + spinRect.right) / 2;
  const struct {
    int y;
    LRESULT want;
  } taps[] = {{downY, 1}, {downY, 2}, {downY, 2}, {upY, 1}, {upY, 0}, {upY, 0}};
  for (const auto& tap : taps) {
    ce::test::Tap(x, tap.y);
    ce::test::PumpUntilIdle();
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), tap.want);
    // A one-line list shows its selection.
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), tap.want);
  }
  EXPECT_EQ(Count(LBN_SELCHANGE), 4);  // no change at either end
  for (const auto& c : g_commands) {
    if (c.second == LBN_SELCHANGE) {
      EXPECT_EQ(c.first, kSpinListId);
    }
  }
  EXPECT_EQ(SendMessageW(spin, UDM_GETPOS, 0, 0), MAKELONG(0, 0));
  EXPECT_EQ(SendMessageW(spin, UDM_SETPOS, 0, MAKELONG(2, 0)), 0);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 2);
  // The list box takes the arrow keys itself.
  SetFocus(list);
  Key(VK_UP);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);

  // With UDS_WRAP the ends meet.
  SetWindowLongW(spin, GWL_STYLE, GetWindowLongW(spin, GWL_STYLE) | UDS_WRAP);
  SendMessageW(list, LB_SETCURSEL, 0, 0);
  ce::test::Tap(x, upY);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 2);
}

TEST_F(Controls, UpDownWithANumberBuddy) {
  HWND edit = MakeEdit(WS_BORDER | ES_NUMBER, L"", 60, 20);
  HWND spin = Make(UPDOWN_CLASSW, UDS_SETBUDDYINT, 70, 10, 16, 20, kUpDownId);
  EXPECT_EQ(SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0), 0);
  SendMessageW(spin, UDM_SETRANGE, 0, MAKELONG(2000, 0));
  EXPECT_EQ(SendMessageW(spin, UDM_GETRANGE, 0, 0), MAKELONG(2000, 0));
  SendMessageW(spin, UDM_SETPOS, 0, MAKELONG(999, 0));
  EXPECT_EQ(TextOf(edit), L"999");
  ce::test::Tap(78, 12);  // up
  ce::test::PumpUntilIdle();
  EXPECT_EQ(TextOf(edit), L"1,000");
  EXPECT_EQ(SendMessageW(spin, UDM_GETPOS, 0, 0), MAKELONG(1000, 0));
  SetWindowTextW(edit, L"abc");
  EXPECT_NE(HIWORD(SendMessageW(spin, UDM_GETPOS, 0, 0)), 0);  // not a number: an error
  SendMessageW(spin, UDM_SETRANGE32, 0, 5);
  SendMessageW(spin, UDM_SETPOS32, 0, 5);
  ce::test::Tap(78, 12);  // at the top, no wrap: stays
  ce::test::PumpUntilIdle();
  BOOL error = TRUE;
  EXPECT_EQ(SendMessageW(spin, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error)), 5);
  EXPECT_FALSE(error);
  ce::test::Tap(78, 27);  // down
  ce::test::PumpUntilIdle();
  EXPECT_EQ(TextOf(edit), L"4");
}

// ---- script words ----

TEST(ControlScript, SelectAndTypeNeedAnIdAndText) {
  std::string error;
  auto commands = ce::program::ParseScript("select 1033 Wireless #2\ntype 1025 a b\n", &error);
  ASSERT_TRUE(commands) << error;
  ASSERT_EQ(commands->size(), 2u);
  EXPECT_EQ((*commands)[0].kind, ce::program::ScriptCommand::Kind::Select);
  EXPECT_EQ((*commands)[0].key, 1033);
  EXPECT_EQ((*commands)[0].text, L"Wireless #2");
  EXPECT_EQ((*commands)[1].kind, ce::program::ScriptCommand::Kind::Type);
  EXPECT_EQ((*commands)[1].text, L"a b");
  for (const char* bad : {"select", "select 1033", "type x hello", "select 0 a", "type 70000 a"}) {
    EXPECT_FALSE(ce::program::ParseScript(bad, &error)) << bad;
  }
}

TEST_F(Controls, ScriptSelectsInListsAndTypesIntoEdits) {
  HWND list = Make(L"LISTBOX", LBS_NOTIFY, 10, 10, 100, 60, kSpinListId);
  HWND combo = Make(L"COMBOBOX", CBS_DROPDOWNLIST, 10, 80, 100, 80, kComboId);
  HWND edit = Make(L"EDIT", WS_BORDER, 10, 120, 100, 20, kEditId, L"ab");
  for (const wchar_t* item : {L"eth0", L"wlan0"}) {
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  }
  std::string error;
  auto commands = ce::program::ParseScript("select 1033 WLAN0\nselect 1040 eth0\ntype 1025 cd\n", &error);
  ASSERT_TRUE(commands) << error;
  ::testing::internal::CaptureStderr();
  auto runner = ce::program::ScriptRunner::Start(std::move(*commands), false);
  ASSERT_TRUE(runner);
  while (!runner->Wait(0)) ce::test::RunFor(50);
  ce::test::PumpUntilIdle();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(TextOf(edit), L"abcd");
  EXPECT_EQ(GetFocus(), edit);
  EXPECT_EQ(Count(LBN_SELCHANGE), 2);  // == CBN_SELCHANGE: one from each
  EXPECT_EQ(g_commands.front(), std::make_pair(kSpinListId, int{LBN_SELCHANGE}));
  EXPECT_EQ(Count(EN_CHANGE), 2);
  EXPECT_EQ(runner->failures(), 0);
  // No such item, not a list, no such control: each a failed command, which
  // ends its script.
  const std::pair<const char*, const char*> failing[] = {
      {"select 1033 none\n", "no item \"none\""},
      {"select 1025 ab\n", "no list box or combo box with id 1025"},
      {"type 4000 x\n", "no control with id 4000"},
  };
  for (const auto& [script, message] : failing) {
    ::testing::internal::CaptureStderr();
    auto failed = ce::program::ScriptRunner::Start(*ce::program::ParseScript(script, &error), false);
    ASSERT_TRUE(failed);
    while (!failed->Wait(0)) ce::test::RunFor(50);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(failed->failures(), 1) << script;
    EXPECT_NE(said.find(message), std::string::npos) << said;
  }
}

}  // namespace
