// The entry every program goes through (ce/winmain.h).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "backend/backend.h"
#include "program/script.h"
#include "backend/input.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "ce/winmain.h"
#include "ce/winuser.h"
#include "kernel/clock.h"
#include "gdi/screen.h"
#include "kernel/debug_output.h"
#include "kernel/device.h"
#include "user/input.h"

namespace ce {

int RunProgram(int argc, char** argv, WINMAIN_PROC winMain) {
  if (!winMain) return 1;
  ce::device::Root();
  const bool headless = ce::backend::ChosenBackend() == ce::backend::BackendKind::Headless;
  if (headless && !ce::device::Setting("clock")) {
    // Scripted and test runs repeat exactly: time moves only when the
    // program waits.
    ::setenv("DEVICE_CLOCK", "virtual", 1);
    ce::kernel::clock::ReloadSettings();
  }
  std::wstring commandLine;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = ce::WideFromUtf8(argv[i] ? argv[i] : "");
    if (!commandLine.empty()) commandLine += L' ';
    if (arg.find_first_of(L" \t") != std::wstring::npos) arg = L"\"" + arg + L"\"";
    commandLine += arg;
  }
  // The screen and the input belong to this thread, the program's window
  // thread: a desktop back end opens its window here and takes its events here.
  ce::gdi::Screen::Current();
  ce::backend::InputSource::Current();
  ce::user::SetInputThread(GetCurrentThreadId());
  std::unique_ptr<ce::program::ScriptRunner> script;
  if (const auto path = ce::device::Setting("script")) {
    script = ce::program::ScriptRunner::StartFile(*path, headless);
    if (!script) return 1;
  }
  const int result = winMain(GetModuleHandleW(nullptr), nullptr, commandLine.data(), SW_SHOW);
  if (script) {
    script->Stop();
    // A run whose script failed fails, whatever the program answered.
    if (script->failures() > 0) {
      ce::kernel::Diagnostic("script: the run failed: a command of the script could not be carried out");
      return result != 0 ? result : 1;
    }
  }
  return result;
}

}  // namespace ce
