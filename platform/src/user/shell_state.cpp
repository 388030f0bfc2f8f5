// Cursors, system metrics, message boxes and the full-screen state of
// windows.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "backend/sdl/desktop_glue.h"
#include "ce/aygshell.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "backend/backend.h"
#include "backend/input.h"
#include "gdi/screen.h"
#include "kernel/debug_output.h"
#include "kernel/device.h"
#include "kernel/not_implemented.h"
#include "user/hooks.h"
#include "user/message_box.h"
#include "user/observe.h"
#include "user/state.h"

using namespace ce::user;

namespace {

struct SystemCursor {
  int id;
};

SystemCursor g_cursors[] = {{32512}, {32513}, {32514}, {32515}, {32516}, {32642}, {32643},
                            {32644}, {32645}, {32646}, {32648}, {32649}, {32650}, {32651}};

HCURSOR HandleOf(SystemCursor& c) { return reinterpret_cast<HCURSOR>(&c); }

std::mutex g_boxLock;
std::optional<MessageBoxRecord> g_lastBox;

// The buttons of a message box type, in order.
std::vector<int> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
      return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
      return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
      return {IDYES, IDNO};
    case MB_RETRYCANCEL:
      return {IDRETRY, IDCANCEL};
    default:
      return {IDOK};
  }
}

int AnswerFromSetting(const std::string& text) {
  static const struct {
    const char* name;
    int id;
  } kNames[] = {{"ok", IDOK},         {"cancel", IDCANCEL}, {"abort", IDABORT}, {"retry", IDRETRY},
                {"ignore", IDIGNORE}, {"yes", IDYES},       {"no", IDNO}};
  for (const auto& n : kNames) {
    if (text == n.name) return n.id;
  }
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  return (end && *end == '\0' && value > 0 && value <= IDNO) ? static_cast<int>(value) : 0;
}

int Scaled(int value96) {
  const int dpi = ce::gdi::Screen::Current()->dpi();
  return (value96 * dpi + 48) / 96;
}

}  // namespace

namespace ce::user {

std::optional<MessageBoxRecord> LastMessageBox() {
  std::lock_guard guard(g_boxLock);
  return g_lastBox;
}

int CurrentCursorId() {
  std::lock_guard guard(S().lock);
  return S().cursor ? reinterpret_cast<SystemCursor*>(S().cursor)->id : 0;
}

DWORD FullScreenState(HWND hwnd) {
  std::lock_guard guard(S().lock);
  auto w = FindLocked(hwnd);
  return w ? w->fullScreenFlags : 0;
}

ForegroundView Foreground() {
  std::lock_guard guard(S().lock);
  ForegroundView view;
  auto w = S().active ? FindLocked(S().active) : nullptr;
  if (!w || w->destroying) return view;
  view.hwnd = w->handle;
  view.title = w->text;
  view.fullScreen = (w->fullScreenFlags & SHFS_HIDETASKBAR) != 0;
  return view;
}

}  // namespace ce::user

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR cursorName) {
  if (instance != nullptr || !IS_INTRESOURCE(cursorName)) {
    ce::kernel::NotImplemented("LoadCursorW(resource)");
    return nullptr;
  }
  const int id = LOWORD(reinterpret_cast<ULONG_PTR>(cursorName));
  for (SystemCursor& c : g_cursors) {
    if (c.id == id) return HandleOf(c);
  }
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
  bool known = cursor == nullptr;
  for (SystemCursor& c : g_cursors) known |= HandleOf(c) == cursor;
  if (!known) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  HCURSOR old = nullptr;
  {
    std::lock_guard guard(S().lock);
    old = S().cursor;
    S().cursor = cursor;
  }
  // The desktop window's pointer takes the matching shape.
  ce::backend::sdl::ShowCursorShape(cursor ? reinterpret_cast<SystemCursor*>(cursor)->id : 0);
  return old;
}

HCURSOR GetCursor() {
  std::lock_guard guard(S().lock);
  return S().cursor;
}

int GetSystemMetrics(int index) {
  const auto screen = ce::gdi::Screen::Current();
  switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
      return screen->width();
    case SM_CYSCREEN:
      return screen->height();
    case SM_CYFULLSCREEN:
      return screen->height() - Scaled(26);  // less the task bar
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
      return Scaled(13);
    case SM_CYCAPTION:
    case SM_CYMENU:
      return Scaled(26);
    case SM_CXBORDER:
    case SM_CYBORDER:
      return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
    case SM_CXEDGE:
    case SM_CYEDGE:
      return Scaled(2);
    case SM_CXICON:
    case SM_CYICON:
      return Scaled(32);
    case SM_CXSMICON:
    case SM_CYSMICON:
      return Scaled(16);
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
      return Scaled(8);
    default:
      ce::kernel::NotImplemented("GetSystemMetrics(index)");
      return 0;
  }
}

int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
  const std::wstring captionText = caption ? caption : L"Error";
  const std::wstring bodyText = text ? text : L"";
  const std::vector<int> buttons = ButtonsOf(type);
  const std::size_t defaultIndex = (type & MB_DEFMASK) >> 8;
  int answer = buttons[defaultIndex < buttons.size() ? defaultIndex : 0];
  const auto isButton = [&](int id) { return std::find(buttons.begin(), buttons.end(), id) != buttons.end(); };
  // An answer given ahead (a script's "answer") comes first, then the
  // device setting; without either the desktop shows the box and waits.
  bool decided = false;
  if (const auto scripted = ce::backend::TakeBoxAnswer()) {
    decided = isButton(*scripted);
    if (decided) {
      answer = *scripted;
    } else {
      ce::kernel::Diagnostic("platform: the scripted answer %d is not a button of this box; using the default",
                             *scripted);
    }
  } else if (const auto setting = ce::device::Setting("messagebox_answer")) {
    const int wanted = AnswerFromSetting(*setting);
    decided = isButton(wanted);
    if (decided) {
      answer = wanted;
    } else {
      ce::kernel::Diagnostic("platform: messagebox_answer \"%s\" is not a button of this box; using the default",
                             setting->c_str());
    }
  }
  std::fprintf(stderr, "%s: %s\n", ce::Utf8FromWide(captionText).c_str(), ce::Utf8FromWide(bodyText).c_str());
  std::fflush(stderr);
  if (!decided && ce::backend::ChosenBackend() == ce::backend::BackendKind::Sdl) {
    // The box is answered with the user's events, which only the window
    // thread reads; a box from another thread takes its default at once.
    const auto input = ce::backend::InputSource::Current();
    if (input->ReadableHere()) {
      answer = RunMessageBox(captionText, bodyText, buttons, defaultIndex, *input);
    } else {
      ce::kernel::Diagnostic("platform: a message box away from the window thread takes its default button");
    }
  }
  std::lock_guard guard(g_boxLock);
  g_lastBox = MessageBoxRecord{captionText, bodyText, type, answer};
  return answer;
}

BOOL SHFullScreen(HWND hwnd, DWORD state) {
  constexpr DWORD kAll = SHFS_SHOWTASKBAR | SHFS_HIDETASKBAR | SHFS_SHOWSIPBUTTON | SHFS_HIDESIPBUTTON |
                         SHFS_SHOWSTARTICON | SHFS_HIDESTARTICON;
  if (state & ~kAll) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  {
    std::lock_guard guard(S().lock);
    auto w = FindLocked(hwnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    // Each pair is show/hide; the newer word replaces the older.
    for (DWORD show : {SHFS_SHOWTASKBAR, SHFS_SHOWSIPBUTTON, SHFS_SHOWSTARTICON}) {
      const DWORD hide = show << 1;
      if (state & show) w->fullScreenFlags = (w->fullScreenFlags & ~hide) | show;
      if (state & hide) w->fullScreenFlags = (w->fullScreenFlags & ~show) | hide;
    }
  }
  ShellForegroundChanged();
  return TRUE;
}
