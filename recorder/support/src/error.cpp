#include "liba/error.h"

#include "ce/winbase.h"
#if VO_HAVE_WINDOWS
#include "ce/winuser.h"
#endif
#include "liba/text_stream.h"
#include "os/log.h"

namespace liba {

namespace {

#if VO_HAVE_WINDOWS
// Owned by the foreground window, plain OK style.
void PlatformBox(const std::wstring& text, const std::wstring& caption) {
  MessageBoxW(GetForegroundWindow(), text.c_str(), caption.c_str(), 0);
}
#else
// Without a window layer there is nothing to show the box on.
void PlatformBox(const std::wstring&, const std::wstring&) {}
#endif

FatalMessageBox g_box = &PlatformBox;

}  // namespace

FatalMessageBox set_fatal_message_box(FatalMessageBox box) {
  FatalMessageBox previous = g_box;
  g_box = box != nullptr ? box : &PlatformBox;
  return previous;
}

void fatal_error(const std::wstring& where, const std::wstring& what) {
  os::get_log() << L"Snag: " << what << L" @ " << where << L"\n";
  os::get_log().flush();
  g_box(what, where);
  // Exit code 1 so that whoever started the program sees the failure.
  TerminateProcess(GetCurrentProcess(), 1);
  for (;;) Sleep(INFINITE);
}

}  // namespace liba
