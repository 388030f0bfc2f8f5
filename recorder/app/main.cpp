// Vocamo, the voice recorder. Its skins, languages and cue sounds lie in the
// data folder (data/Vocamo), which is the program's own folder on the device
// ("\Program Files\Vocamo"). At a desktop it opens a window; with no display
// it runs unattended from a script (DEVICE_SCRIPT, else its own
// vocamo.script from the data folder) and leaves screenshots.
#include <cstdlib>
#include <string>

#include "ce/device.h"
#include "ce/windows.h"
#include "ce/winmain.h"
#include "runtime/program_harness.h"
#include "vocamo_main.h"

namespace {

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR command_line, int) {
  if (harness::WithoutDisplay() && !ce::device::Setting("script")) {
    // The device has no microphone unless it is given one: the unattended
    // run records a tone.
    if (!ce::device::Setting("mic")) ::setenv("DEVICE_MIC", "tone", 1);
    harness::RunOwnScript("Vocamo", harness::DataFolder() + "/Vocamo/vocamo.script", "");
    return 1;
  }
  return vocamo::run_recorder(instance, command_line != nullptr ? command_line : L"");
}

}  // namespace

int main(int argc, char** argv) {
  constexpr const char* kUsage =
      "usage: Vocamo\n"
      "  the voice recorder: records from the microphone into MP3 or WAV files\n"
      "  under \"My Vocamo\" and plays them back. With DEVICE_BACKEND=headless and\n"
      "  DEVICE_SCRIPT=FILE it runs unattended (DEVICE_MIC=FILE.wav feeds the\n"
      "  microphone).\n";
  if (const std::optional<int> answered = harness::AnswerCommandLine(argc, argv, kUsage, harness::Takes::kWords))
    return *answered;
  // The program's folder on the device is its data folder, where the
  // skins, languages and sounds are.
  if (!ce::device::Setting("program_folder"))
    ::setenv("DEVICE_PROGRAM_FOLDER", (harness::DataFolder() + "/Vocamo").c_str(), 1);
  return ce::RunProgram(argc, argv, WinMain);
}
