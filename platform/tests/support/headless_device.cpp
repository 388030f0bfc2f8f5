#include "headless_device.h"

#include "ce/testing.h"
#include "ce/winbase.h"
#include "kernel/clock.h"
#include "kernel/message_queue.h"
#include "user/input.h"
#include "user/observe.h"

namespace ce::test {

namespace {

void Feed(ce::backend::InputKind kind, int x, int y, int key) {
  ce::backend::InputEvent event;
  event.kind = kind;
  event.pen = POINT{x, y};
  event.key = static_cast<WORD>(key);
  ce::user::FeedInput(event);
}

}  // namespace

void PenDown(int x, int y) { Feed(ce::backend::InputKind::PenDown, x, y, 0); }
void PenMove(int x, int y) { Feed(ce::backend::InputKind::PenMove, x, y, 0); }
void PenUp(int x, int y) { Feed(ce::backend::InputKind::PenUp, x, y, 0); }
void Tap(int x, int y) {
  PenDown(x, y);
  PenUp(x, y);
}
void KeyDown(int virtualKey) { Feed(ce::backend::InputKind::KeyDown, 0, 0, virtualKey); }
void KeyUp(int virtualKey) { Feed(ce::backend::InputKind::KeyUp, 0, 0, virtualKey); }
void TypeText(const std::wstring& text) {
  ce::user::PollInput();  // what was given before comes first
  ce::user::DeliverText(text);
}
void AskToQuit() { Feed(ce::backend::InputKind::Quit, 0, 0, 0); }

int PumpUntilIdle(bool* quit) {
  if (quit) *quit = false;
  int count = 0;
  MSG msg{};
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      if (quit) *quit = true;
      return count;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    ++count;
  }
  return count;
}

bool RunFor(DWORD ms) {
  const std::uint64_t end = ce::kernel::clock::NowMs() + ms;
  for (;;) {
    bool quit = false;
    PumpUntilIdle(&quit);
    if (quit) return false;
    const std::uint64_t now = ce::kernel::clock::NowMs();
    if (now >= end) {
      // What falls due at the very end is handled too.
      if (ce::kernel::clock::IsVirtual()) ce::kernel::clock::Advance(0);
      PumpUntilIdle(&quit);
      return !quit;
    }
    // Waits for the next message or the end, as GetMessageW would.
    ce::kernel::ThreadRecord& self = ce::kernel::CurrentThread();
    auto lock = ce::kernel::LockScheduler();
    self.queue->SetWaitFilterLocked(ce::kernel::MessageFilter{});
    ce::kernel::Waitable* queue = self.queue.get();
    ce::kernel::WaitLocked(lock, self, &queue, 1, false, static_cast<DWORD>(end - now));
  }
}

COLORREF ScreenPixel(int x, int y) { return ce::testing::ScreenPixel(x, y); }

std::optional<MessageBoxSeen> LastMessageBox() {
  const auto box = ce::user::LastMessageBox();
  if (!box) return std::nullopt;
  return MessageBoxSeen{box->caption, box->text, box->type, box->answer};
}

int CurrentCursorId() { return ce::user::CurrentCursorId(); }
DWORD FullScreenState(HWND hwnd) { return ce::user::FullScreenState(hwnd); }

}  // namespace ce::test
