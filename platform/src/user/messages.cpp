// Posting, sending and dispatching window messages, key translation and the
// default window procedure.
#include <algorithm>
#include <cstring>

#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "user/hooks.h"
#include "user/ipc.h"
#include "user/state.h"

using namespace ce::user;

namespace ce::user {
bool TimerProcMatches(HWND hwnd, UINT_PTR id, TIMERPROC proc);
}

namespace {

// The character a key makes on the device's keyboard (US layout), or 0.
WCHAR CharacterOf(WPARAM vk, bool shift, bool caps, bool control) {
  if (vk >= 'A' && vk <= 'Z') {
    if (control) return static_cast<WCHAR>(vk - 'A' + 1);
    return static_cast<WCHAR>((shift != caps) ? vk : vk - 'A' + 'a');
  }
  if (control) return 0;
  if (vk >= '0' && vk <= '9') {
    static constexpr wchar_t kShifted[] = L")!@#$%^&*(";
    return shift ? kShifted[vk - '0'] : static_cast<WCHAR>(vk);
  }
  if (vk >= static_cast<WPARAM>(VK_NUMPAD0) && vk <= static_cast<WPARAM>(VK_NUMPAD0 + 9)) {
    return static_cast<WCHAR>(L'0' + (vk - VK_NUMPAD0));
  }
  struct Pair {
    int vk;
    wchar_t plain;
    wchar_t shifted;
  };
  static constexpr Pair kKeys[] = {
      {VK_SPACE, L' ', L' '},     {VK_RETURN, L'\r', L'\r'},  {VK_BACK, L'\b', L'\b'},     {VK_TAB, L'\t', L'\t'},
      {VK_ESCAPE, 0x1B, 0x1B},    {VK_MULTIPLY, L'*', L'*'},  {VK_ADD, L'+', L'+'},        {VK_SUBTRACT, L'-', L'-'},
      {VK_DECIMAL, L'.', L'.'},   {VK_DIVIDE, L'/', L'/'},    {VK_OEM_1, L';', L':'},      {VK_OEM_PLUS, L'=', L'+'},
      {VK_OEM_COMMA, L',', L'<'}, {VK_OEM_MINUS, L'-', L'_'}, {VK_OEM_PERIOD, L'.', L'>'}, {VK_OEM_2, L'/', L'?'},
      {VK_OEM_3, L'`', L'~'},     {VK_OEM_4, L'[', L'{'},     {VK_OEM_5, L'\\', L'|'},     {VK_OEM_6, L']', L'}'},
      {VK_OEM_7, L'\'', L'"'},
  };
  for (const Pair& p : kKeys) {
    if (static_cast<WPARAM>(p.vk) == vk) return shift ? p.shifted : p.plain;
  }
  return 0;
}

}  // namespace

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    SetLastError(ERROR_MESSAGE_SYNC_ONLY);
    return FALSE;
  }
  if (!hwnd) return PostThreadMessageW(GetCurrentThreadId(), message, wParam, lParam);
  if (ipc::IsRemote(hwnd)) return ipc::Post(hwnd, message, wParam, lParam) ? TRUE : FALSE;
  if (!PostToWindow(hwnd, message, wParam, lParam)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd && ipc::IsRemote(hwnd)) return ipc::Send(hwnd, message, wParam, lParam).value_or(0);
  auto window = Find(hwnd);
  if (!window) return 0;
  const DWORD target = window->threadId;
  const DWORD self = GetCurrentThreadId();
  if (target == self) return CallProc(hwnd, message, wParam, lParam);

  // Another thread of the program runs the procedure; meanwhile this thread
  // answers what is sent to it, so two threads sending to each other go on.
  struct Call {
    bool done = false;
    LRESULT result = 0;
  };
  auto call = std::make_shared<Call>();
  std::shared_ptr<ThreadSignal> signal;
  {
    std::lock_guard guard(S().lock);
    signal = ThreadLocked(self)->signal;
  }
  const bool pushed = PushTask(target, [=] {
    const LRESULT result = CallProc(hwnd, message, wParam, lParam);
    {
      std::lock_guard guard(S().lock);
      call->result = result;
      call->done = true;
    }
    auto lock = ce::kernel::LockScheduler();
    signal->SetLocked();
  });
  if (!pushed) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  ce::kernel::ThreadRecord& me = ce::kernel::CurrentThread();
  for (;;) {
    RunTasks();
    {
      std::lock_guard guard(S().lock);
      if (call->done) return call->result;
    }
    std::shared_ptr<ce::kernel::ThreadRecord> other;
    auto lock = ce::kernel::LockScheduler();
    other = ce::kernel::FindThreadLocked(target);
    if (!other || other->ended) {
      lock.unlock();
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    ce::kernel::Waitable* objects[2] = {signal.get(), other.get()};
    ce::kernel::WaitLocked(lock, me, objects, 2, false, INFINITE);
  }
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!proc) return DefWindowProcW(hwnd, message, wParam, lParam);
  return proc(hwnd, message, wParam, lParam);
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    // Only a live timer's own procedure is called, never an address that
    // merely arrived in a posted message.
    auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    if (TimerProcMatches(msg->hwnd, msg->wParam, proc)) proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    return 0;
  }
  if (!msg->hwnd) return 0;
  NoteKeyMessage(*msg);
  if (!Find(msg->hwnd)) return 0;
  return CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg) return FALSE;
  if (msg->message < WM_KEYDOWN || msg->message > WM_SYSCHAR) return FALSE;
  NoteKeyMessage(*msg);
  if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return TRUE;
  const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
  const bool caps = (GetKeyState(VK_CAPITAL) & 1) != 0;
  const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  const WCHAR ch = CharacterOf(msg->wParam, shift, caps, control);
  if (ch != 0) {
    const UINT charMessage = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    if (msg->hwnd) {
      PostMessageW(msg->hwnd, charMessage, ch, msg->lParam);
    } else {
      PostThreadMessageW(GetCurrentThreadId(), charMessage, ch, msg->lParam);
    }
  }
  return TRUE;
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      if (BeginPaint(hwnd, &ps)) EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush = nullptr;
      {
        std::lock_guard guard(S().lock);
        if (auto w = FindLocked(hwnd)) brush = w->cls->background;
      }
      RECT client{};
      if (!brush || !GetClientRect(hwnd, &client)) return 0;
      return FillRect(reinterpret_cast<HDC>(wParam), &client, brush) ? 1 : 0;
    }
    case WM_SETTEXT: {
      bool topLevel = false;
      {
        std::lock_guard guard(S().lock);
        auto w = FindLocked(hwnd);
        if (!w) return FALSE;
        w->text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
        topLevel = w->parent == nullptr;
      }
      if (topLevel) {
        PublishWindows();
        ShellForegroundChanged();
      }
      return TRUE;
    }
    case WM_GETTEXT: {
      auto* out = reinterpret_cast<LPWSTR>(lParam);
      if (!out || wParam == 0) return 0;
      std::lock_guard guard(S().lock);
      auto w = FindLocked(hwnd);
      if (!w) return 0;
      const std::size_t n = std::min<std::size_t>(w->text.size(), wParam - 1);
      std::wmemcpy(out, w->text.data(), n);
      out[n] = L'\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
      std::lock_guard guard(S().lock);
      auto w = FindLocked(hwnd);
      return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (!focus || (focus != hwnd && !IsChild(hwnd, focus))) SetFocus(hwnd);
      }
      return 0;
    case WM_SETCURSOR: {
      HCURSOR cursor = nullptr;
      {
        std::lock_guard guard(S().lock);
        if (auto w = FindLocked(hwnd)) cursor = w->cls->cursor;
      }
      if (!cursor || LOWORD(lParam) != HTCLIENT) return FALSE;
      SetCursor(cursor);
      return TRUE;
    }
    default:
      return 0;
  }
}
