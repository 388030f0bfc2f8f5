// Quorvist: the suite's setup program. One runs at a time; a second start
// brings the first to the front.

#include "ce/device.h"
#include "ce/winmain.h"
#include "ce/winuser.h"
#include "common/iss_utility.h"
#include "common/string_helper.h"
#include "add_remove_dialog.h"
#include "home_layout_editor.h"
#include "obj_menu_list.h"
#include "runtime/program_harness.h"
#include "setup_ids.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
  // Without a display nothing would ever reach it: it runs its own script.
  if (harness::WithoutDisplay() && !ce::device::Setting("script")) {
    harness::RunOwnScript("Quorvist", harness::DataFolder() + "/Quorvist/Quorvist.script", "");
    return 1;
  }
  setup::CObjMenuList* list = setup::CObjMenuList::GetInstance();
  int code = 0;
  if (list->InitInstance(instance, show)) {
    HACCEL keys = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(setup::IDA_MAIN));
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (keys != nullptr && TranslateAcceleratorW(list->Window(), keys, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    code = static_cast<int>(msg.wParam);
  }
  setup::CObjMenuList::DeleteInstance();
  setup::CAddRemoveDialog::DeleteInstance();
  setup::CHomeLayoutEditor::DeleteInstance();
  suite::IssUtility::DeleteInstance();
  suite::CStringHelper::DeleteInstance();
  return code;
}

// Quorvist takes no arguments; --help describes it without starting the device.
int main(int argc, char** argv) {
  constexpr const char* kUsage =
      "usage: Quorvist\n"
      "  the suite's setup program: adds the launcher bar and the meters plug-in\n"
      "  to the home screen's layout or removes them, and opens the plug-ins'\n"
      "  dialogs in the running home screen. Up and Down move the selection,\n"
      "  Enter or a digit runs an item. With DEVICE_BACKEND=headless and\n"
      "  DEVICE_SCRIPT=FILE it runs unattended.\n";
  if (const std::optional<int> answered = harness::AnswerCommandLine(argc, argv, kUsage, harness::Takes::kNothing))
    return *answered;
  return ce::RunProgram(argc, argv, WinMain);
}
