#include "liba/error.h"

#include "ce/winbase.h"
#include "liba/text_stream.h"
#include "os/log.h"

namespace liba {

namespace {
void NoBox(const std::wstring&, const std::wstring&) {}
FatalMessageBox g_box = &NoBox;
}  // namespace

FatalMessageBox set_fatal_message_box(FatalMessageBox box) {
  FatalMessageBox previous = g_box;
  g_box = box != nullptr ? box : &NoBox;
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
