#include "liba/error.h"

#include "ce/winbase.h"
#include "ce/winuser.h"
#include "liba/text_stream.h"
#include "os/log.h"

namespace liba {

namespace {

// Owned by the foreground window, plain OK style.
void PlatformBox(const std::wstring& text, const std::wstring& caption) {
  MessageBoxW(GetForegroundWindow(), text.c_str(), caption.c_str(), 0);
}

FatalMessageBox g_box = &PlatformBox;

}  // namespace

FatalMessageBox set_fatal_message_box(FatalMessageBox box) {
  FatalMessageBox previous = g_box;
  g_box = box != nullptr ? box : &PlatformBox;
  return previous;
}

void fatal_error(const std::wstring& where, const std::wstring& what) {
  // The way out waits for no lock of the log: the thread holding it may be
  // stuck or, in a child forked while other threads ran, not exist.
  os::write_log_without_waiting(L"Snag: " + what + L" @ " + where + L"\n");
  g_box(what, where);
  // Exit code 1 so that whoever started the program sees the failure.
  TerminateProcess(GetCurrentProcess(), 1);
  for (;;) Sleep(INFINITE);
}

}  // namespace liba
