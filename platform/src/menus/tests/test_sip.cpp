#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "program/script.h"
#include "ce/aygshell.h"
#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "headless_device.h"
#include "kernel/clock.h"
#include "ce/strconv.h"
#include "menus/menus.h"
#include "menus/sip_keyboard.h"
#include "screen_config.h"
#include "temp_device.h"

namespace {

namespace clock = ce::kernel::clock;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;

struct Seen {
  UINT message;
  WPARAM wParam;
};
std::vector<Seen> g_seen;
std::vector<DWORD> g_gestures;  // what SHRecognizeGesture answered on each pen-down
SHACTIVATEINFO g_activate{};

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTINGCHANGE:
      g_seen.push_back({message, wParam});
      SHHandleWMSettingChange(hwnd, wParam, lParam, &g_activate);
      return 0;
    case WM_CHAR:
    case WM_KEYDOWN:
      g_seen.push_back({message, wParam});
      return 0;
    case WM_LBUTTONDOWN: {
      SHRGINFO info{};
      info.cbSize = sizeof info;
      info.hwndClient = hwnd;
      info.ptDown = POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
      info.dwFlags = SHRG_RETURNCMD;
      g_gestures.push_back(SHRecognizeGesture(&info));
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

std::vector<Seen> Of(UINT message) {
  std::vector<Seen> out;
  for (const Seen& s : g_seen) {
    if (s.message == message) out.push_back(s);
  }
  return out;
}

SIPINFO Info() {
  SIPINFO info{};
  info.cbSize = sizeof info;
  EXPECT_TRUE(SHSipInfo(SPI_GETSIPINFO, 0, &info, 0));
  return info;
}

class Sip : public ::testing::Test {
 protected:
  void SetUp() override {
    clock::UseVirtualClock(0, kStart2010);
    g_seen.clear();
    g_gestures.clear();
    g_activate = SHACTIVATEINFO{};
    g_activate.cbSize = sizeof g_activate;
    WNDCLASSW wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.lpszClassName = L"SipOwner";
    ASSERT_NE(RegisterClassW(&wc), 0);
    owner = CreateWindowExW(0, L"SipOwner", L"", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    ShowWindow(owner, SW_SHOW);
    SetFocus(owner);
    ce::test::PumpUntilIdle();
    g_seen.clear();
  }
  void TearDown() override {
    SHSipPreference(nullptr, SIP_FORCEDOWN);
    if (IsWindow(owner)) DestroyWindow(owner);
    ce::test::PumpUntilIdle();
    UnregisterClassW(L"SipOwner", nullptr);
  }
  HWND owner = nullptr;
};

TEST_F(Sip, ThePanelTakesTheBottomAboveTheBarAndTheActiveWindowFollows) {
  const int bar = GetSystemMetrics(SM_CYMENU);
  const int top = 320 - GetSystemMetrics(SM_CYFULLSCREEN);
  SIPINFO off = Info();
  EXPECT_EQ(off.fdwFlags & SIPF_ON, 0u);
  EXPECT_EQ(off.rcVisibleDesktop.top, top);
  EXPECT_EQ(off.rcVisibleDesktop.bottom, 320 - bar);

  ASSERT_TRUE(SHSipPreference(owner, SIP_UP));
  ce::test::RunFor(20);
  EXPECT_TRUE(ce::menus::SipOn());
  const SIPINFO on = Info();
  EXPECT_NE(on.fdwFlags & SIPF_ON, 0u);
  EXPECT_EQ(on.rcSipRect.bottom, 320 - bar);
  EXPECT_EQ(on.rcSipRect.left, 0);
  EXPECT_EQ(on.rcSipRect.right, 240);
  EXPECT_GT(on.rcSipRect.bottom - on.rcSipRect.top, 40);
  EXPECT_EQ(on.rcVisibleDesktop.bottom, on.rcSipRect.top);
  ASSERT_EQ(Of(WM_SETTINGCHANGE).size(), 1u);
  EXPECT_EQ(Of(WM_SETTINGCHANGE)[0].wParam, SPI_SETSIPINFO);
  EXPECT_EQ(g_activate.fSipUp, 1u);
  RECT r{};
  GetWindowRect(owner, &r);
  EXPECT_EQ(r.top, top);
  EXPECT_EQ(r.bottom, on.rcSipRect.top);
  // The panel is drawn over the screen's bottom.
  EXPECT_NE(ce::test::ScreenPixel(120, on.rcSipRect.top + 1), ce::test::ScreenPixel(120, on.rcSipRect.top - 2));

  // Up again changes nothing and tells no one.
  ASSERT_TRUE(SHSipPreference(owner, SIP_UP));
  EXPECT_EQ(Of(WM_SETTINGCHANGE).size(), 1u);

  // Down through SPI_SETSIPINFO: the window grows back to the bar.
  SIPINFO down{};
  down.cbSize = sizeof down;
  down.fdwFlags = SIPF_OFF;
  ASSERT_TRUE(SHSipInfo(SPI_SETSIPINFO, 0, &down, 0));
  ce::test::RunFor(20);
  EXPECT_FALSE(ce::menus::SipOn());
  EXPECT_EQ(Of(WM_SETTINGCHANGE).size(), 2u);
  EXPECT_EQ(g_activate.fSipUp, 0u);
  GetWindowRect(owner, &r);
  EXPECT_EQ(r.bottom, 320 - bar);
}

TEST_F(Sip, DialogsSizeAboveThePanelOrPutItDown) {
  ASSERT_TRUE(SHSipPreference(owner, SIP_UP));
  const RECT panel = Info().rcSipRect;
  SHINITDLGINFO init{SHIDIM_FLAGS, owner, SHIDIF_SIZEDLG};
  ASSERT_TRUE(SHInitDialog(&init));
  RECT r{};
  GetWindowRect(owner, &r);
  EXPECT_EQ(r.bottom, panel.top);
  init.dwFlags = SHIDIF_SIZEDLG | SHIDIF_SIPDOWN;
  ASSERT_TRUE(SHInitDialog(&init));
  EXPECT_FALSE(ce::menus::SipOn());
  GetWindowRect(owner, &r);
  EXPECT_EQ(r.bottom, 320 - GetSystemMetrics(SM_CYMENU));
}

TEST_F(Sip, BadArgumentsFail) {
  SIPINFO small{};
  small.cbSize = sizeof small - 1;
  EXPECT_FALSE(SHSipInfo(SPI_GETSIPINFO, 0, &small, 0));
  EXPECT_FALSE(SHSipInfo(SPI_GETSIPINFO, 0, nullptr, 0));
  EXPECT_FALSE(SHSipPreference(owner, static_cast<SIPSTATE>(17)));
  EXPECT_FALSE(ce::menus::SipOn());
  EXPECT_TRUE(SHSipPreference(owner, SIP_UNCHANGED));
  EXPECT_FALSE(ce::menus::SipOn());
}

// Taps at the middle of the panel's keys for text.
void TapKeys(const std::wstring& text) {
  const auto taps = ce::menus::SipTapsFor(text);
  ASSERT_TRUE(taps) << "no keys for the text";
  for (const POINT& at : *taps) {
    ce::test::Tap(at.x, at.y);
    ce::test::RunFor(20);
  }
}

TEST_F(Sip, TapsOnThePanelsKeysTypeIntoTheFocusWindow) {
  EXPECT_FALSE(ce::menus::SipTapsFor(L"a")) << "the panel is down";
  ASSERT_TRUE(SHSipPreference(owner, SIP_UP));
  ce::test::RunFor(20);
  TapKeys(L"q4 \b\r");
  std::wstring chars;
  for (const Seen& s : Of(WM_CHAR)) chars += static_cast<wchar_t>(s.wParam);
  EXPECT_EQ(chars, std::wstring(L"q4 \b\r"));
  std::vector<WPARAM> keys;
  for (const Seen& s : Of(WM_KEYDOWN)) keys.push_back(s.wParam);
  EXPECT_EQ(keys, (std::vector<WPARAM>{VK_BACK, VK_RETURN}));
  EXPECT_EQ(GetFocus(), owner);
  EXPECT_TRUE(g_gestures.empty());  // the pen never reached the window
}

// The whole keyboard at both densities: every key inside the panel, the
// rows filling its width without overlap, every label inside its key, and
// the letters, digits and symbols all there.
TEST(SipKeyboard, EveryKeyFitsAndEveryCharacterIsThere) {
  using ce::menus::sip::KeyKind;
  HDC dc = CreateCompatibleDC(nullptr);
  for (const SIZE panel : {SIZE{240, 80}, SIZE{480, 160}}) {
    const auto keys = ce::menus::sip::Layout(panel.cx, panel.cy);
    std::vector<int> rowWidths(5, 0);
    std::wstring typed;
    HFONT font =
        CreateFontW(-ce::menus::sip::LabelHeight(panel.cy), 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, L"Tahoma");
    HGDIOBJ old = SelectObject(dc, font);
    for (const auto& k : keys) {
      const int row = k.rect.top * 5 / panel.cy;
      ASSERT_GE(row, 0);
      ASSERT_LT(row, 5);
      rowWidths[static_cast<std::size_t>(row)] += k.rect.right - k.rect.left;
      EXPECT_GE(k.rect.left, 0);
      EXPECT_LE(k.rect.right, panel.cx);
      EXPECT_EQ(k.rect.bottom - k.rect.top, panel.cy / 5);
      for (const ce::menus::sip::Modifiers m : {ce::menus::sip::Modifiers{}, ce::menus::sip::Modifiers{true, false}}) {
        const std::wstring label = ce::menus::sip::LabelOf(k, m);
        SIZE extent{};
        GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &extent);
        EXPECT_LE(extent.cx, k.rect.right - k.rect.left - 2) << ce::Utf8FromWide(label) << " at " << panel.cx;
        EXPECT_LE(extent.cy, k.rect.bottom - k.rect.top) << ce::Utf8FromWide(label) << " at " << panel.cx;
        if (const wchar_t c = ce::menus::sip::CharacterOf(k, m)) typed += c;
      }
    }
    SelectObject(dc, old);
    DeleteObject(font);
    EXPECT_EQ(rowWidths, std::vector<int>(5, panel.cx));
    for (wchar_t c : std::wstring(
             L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 `~!@#$%^&*()-_=+[]{}\\|;:'\",.<>/?")) {
      EXPECT_NE(typed.find(c), std::wstring::npos) << static_cast<char>(c);
    }
    for (KeyKind kind : {KeyKind::kBackspace, KeyKind::kTab, KeyKind::kEnter, KeyKind::kShift, KeyKind::kCaps,
                         KeyKind::kLeft, KeyKind::kRight, KeyKind::kUp, KeyKind::kDown}) {
      EXPECT_TRUE(std::any_of(keys.begin(), keys.end(), [&](const auto& k) { return k.kind == kind; }));
    }
  }
  DeleteDC(dc);
}

// Shift holds for one key, CAP until pressed again; the panel's text
// reaches a focused edit control, at either screen size.
TEST_F(Sip, ShiftAndCapsTypeIntoAFocusedEditAtEitherSize) {
  const struct {
    const char* width;
    const char* height;
    const char* dpi;
  } screens[] = {{"240", "320", "96"}, {"480", "640", "192"}};
  for (const auto& screen : screens) {
    ce::test::ScreenConfig config({{"DEVICE_SCREEN_WIDTH", screen.width},
                                   {"DEVICE_SCREEN_HEIGHT", screen.height},
                                   {"DEVICE_SCREEN_DPI", screen.dpi}});
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 4, 4, 200, 24, owner, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    SetFocus(edit);
    ASSERT_TRUE(SHSipPreference(owner, SIP_UP));
    ce::test::RunFor(20);
    EXPECT_EQ(Info().rcSipRect.bottom - Info().rcSipRect.top, std::atoi(screen.dpi) * 80 / 96) << screen.width;
    TapKeys(L"xcvbnm Hi, Ann! {a+b}\bc");
    wchar_t text[64] = {};
    GetWindowTextW(edit, text, 64);
    EXPECT_EQ(std::wstring(text), L"xcvbnm Hi, Ann! {a+bc") << screen.width;
    // CAP: letters in capitals until it is pressed again; Shift over CAP
    // gives a small letter.
    SetWindowTextW(edit, L"");
    const auto taps = ce::menus::SipTapsFor(L"a");
    ASSERT_TRUE(taps);
    const RECT panel = Info().rcSipRect;
    const auto keys = ce::menus::sip::Layout(panel.right - panel.left, panel.bottom - panel.top);
    auto press = [&](ce::menus::sip::KeyKind kind) {
      for (const auto& k : keys) {
        if (k.kind != kind) continue;
        ce::test::Tap(panel.left + (k.rect.left + k.rect.right) / 2, panel.top + (k.rect.top + k.rect.bottom) / 2);
        ce::test::RunFor(20);
        return;
      }
    };
    press(ce::menus::sip::KeyKind::kCaps);
    TapKeys(L"Ab1");
    press(ce::menus::sip::KeyKind::kCaps);
    TapKeys(L"c");
    GetWindowTextW(edit, text, 64);
    EXPECT_EQ(std::wstring(text), L"Ab1c") << screen.width;
    SHSipPreference(owner, SIP_DOWN);
    ce::test::RunFor(20);
    DestroyWindow(edit);
  }
}

// A desktop keyboard's keys come as the device's keys; the message loop
// turns them into characters for the focused window, an edit control or a
// plain window alike.
TEST_F(Sip, DesktopKeysTypeIntoTheFocusedWindow) {
  HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 4, 4, 200, 24, owner, nullptr,
                              nullptr, nullptr);
  auto type = [] {
    for (int vk : {int{'X'}, int{'C'}, VK_SPACE}) {
      ce::test::KeyDown(vk);
      ce::test::KeyUp(vk);
    }
    ce::test::KeyDown(VK_SHIFT);
    for (int vk : {int{'V'}, int{'1'}, VK_OEM_2}) {
      ce::test::KeyDown(vk);
      ce::test::KeyUp(vk);
    }
    ce::test::KeyUp(VK_SHIFT);
    ce::test::RunFor(20);
    ce::test::TypeText(L"\u00e9");  // composed by the desktop, typed as a character
    ce::test::RunFor(20);
  };
  SetFocus(edit);
  type();
  wchar_t text[32] = {};
  GetWindowTextW(edit, text, 32);
  EXPECT_EQ(std::wstring(text), L"xc V!?\u00e9");
  SetFocus(owner);
  g_seen.clear();
  type();
  std::wstring chars;
  for (const Seen& s : Of(WM_CHAR)) chars += static_cast<wchar_t>(s.wParam);
  EXPECT_EQ(chars, L"xc V!?\u00e9");
  DestroyWindow(edit);
}

TEST_F(Sip, HoldingThePenStillIsTheContextMenuGesture) {
  const struct {
    const char* what;
    int moveX;  // where the pen moves before it goes up, or -1
    bool upAtOnce;
    DWORD expected;
  } cases[] = {
      {"held", -1, false, GN_CONTEXTMENU},
      {"held, wandering a little", 53, false, GN_CONTEXTMENU},
      {"released", -1, true, 0},
      {"moved away", 70, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    g_gestures.clear();
    const DWORD start = GetTickCount();
    ce::test::PenDown(50, 60);
    if (c.moveX >= 0) ce::test::PenMove(c.moveX, 60);
    if (c.upAtOnce) ce::test::PenUp(50, 60);
    ce::test::PumpUntilIdle();
    ASSERT_EQ(g_gestures.size(), 1u);
    EXPECT_EQ(g_gestures[0], c.expected);
    if (c.expected) {
      EXPECT_GE(GetTickCount() - start, 500u);
    }
    if (!c.upAtOnce) ce::test::PenUp(50, 60);
    ce::test::PumpUntilIdle();
  }
  // The pen goes up while the gesture waits: no gesture, and no longer wait.
  g_gestures.clear();
  const DWORD start = GetTickCount();
  clock::ScheduleWake(clock::NowMs() + 200, [] { ce::test::PenUp(50, 60); });
  ce::test::PenDown(50, 60);
  ce::test::PumpUntilIdle();
  ASSERT_EQ(g_gestures.size(), 1u);
  EXPECT_EQ(g_gestures[0], 0u);
  EXPECT_LT(GetTickCount() - start, 300u);

  SHRGINFO bad{};
  bad.cbSize = sizeof bad;
  bad.hwndClient = nullptr;
  bad.dwFlags = SHRG_RETURNCMD;
  EXPECT_EQ(SHRecognizeGesture(&bad), 0u);
}

TEST_F(Sip, TheScriptPutsThePanelUpAndHoldsThePen) {
  std::string error;
  for (const char* bad : {"sip\n", "sip sideways\n", "sip type\n", "hold 10\n", "hold a b\n"}) {
    EXPECT_FALSE(ce::program::ParseScript(bad, &error)) << bad;
  }
  auto commands = ce::program::ParseScript("sip on\nsip type xcvbnm X\nhold 50 60\nsip OFF\n", &error);
  ASSERT_TRUE(commands) << error;
  ASSERT_EQ(commands->size(), 4u);
  EXPECT_EQ((*commands)[0].key, 1);
  EXPECT_EQ((*commands)[1].text, L"xcvbnm X");
  EXPECT_EQ((*commands)[3].key, 0);

  auto runner = ce::program::ScriptRunner::Start(std::move(*commands), false);
  ASSERT_TRUE(runner);
  // The main thread's loop by hand: it waits in Sleep, as a program's would
  // in GetMessage, while the script holds the pen on the same clock.
  for (int i = 0; i < 200 && !runner->Wait(0); ++i) {
    ce::test::PumpUntilIdle();
    Sleep(10);
  }
  ASSERT_TRUE(runner->Wait(0));
  ce::test::PumpUntilIdle();
  EXPECT_EQ(runner->failures(), 0);
  EXPECT_EQ(g_gestures, (std::vector<DWORD>{GN_CONTEXTMENU}));
  std::wstring chars;
  for (const Seen& s : Of(WM_CHAR)) chars += static_cast<wchar_t>(s.wParam);
  EXPECT_EQ(chars, L"xcvbnm X") << "typed with taps on the panel";
  EXPECT_EQ(Of(WM_SETTINGCHANGE).size(), 2u);
  EXPECT_FALSE(ce::menus::SipOn());
}

// A BMP file: 24 bits, 2 x 2, bottom row first, rows padded to 4 bytes.
std::string Bmp(std::uint32_t declaredSize) {
  std::string b;
  auto u16 = [&](unsigned v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
  };
  auto u32 = [&](std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  b += "BM";
  u32(declaredSize);
  u32(0);
  u32(54);
  u32(40);
  u32(2);
  u32(2);
  u16(1);
  u16(24);
  u32(0);
  u32(16);
  u32(0);
  u32(0);
  u32(0);
  u32(0);
  // Bottom row: blue, green; top row: red, white (B, G, R each).
  b += std::string("\xFF\x00\x00\x00\xFF\x00\x00\x00", 8);
  b += std::string("\x00\x00\xFF\xFF\xFF\xFF\x00\x00", 8);
  return b;
}

TEST_F(Sip, BitmapsLoadFromBmpFilesAndBadFilesGiveNothing) {
  ce::test::TempDevice device;
  const std::string good = Bmp(70);
  device.WriteHostFile("good.bmp", good);
  device.WriteHostFile("cut.bmp", good.substr(0, 60));
  device.WriteHostFile("text.bmp", "not a picture");
  HBITMAP bitmap = SHLoadDIBitmap(L"\\good.bmp");
  ASSERT_NE(bitmap, nullptr);
  DIBSECTION dib{};
  ASSERT_EQ(GetObjectW(bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib));
  EXPECT_EQ(dib.dsBm.bmWidth, 2);
  EXPECT_EQ(dib.dsBm.bmHeight, 2);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 1, 0), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 0, 1), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0, 255, 0));
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);
  for (const wchar_t* path : {L"\\missing.bmp", L"\\cut.bmp", L"\\text.bmp"}) {
    EXPECT_EQ(SHLoadDIBitmap(path), nullptr) << static_cast<const void*>(path);
  }
  EXPECT_EQ(SHLoadDIBitmap(nullptr), nullptr);
}

}  // namespace
