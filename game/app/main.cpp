// Kestrune's host entry: the program folder, then the platform's start.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "ce/device.h"
#include "ce/winmain.h"
#include "program.h"
#include "runtime/program_harness.h"

// The program's folder on the device is its data folder beside bin/
// ("data/Kestrune"), unless the device configuration names one.
int main(int argc, char** argv) {
  constexpr const char* kUsage =
      "usage: Kestrune\n"
      "  the pool game; its data is read from data/Kestrune beside the program's folder.\n";
  if (const std::optional<int> answered = harness::AnswerCommandLine(argc, argv, kUsage, harness::Takes::kNothing))
    return *answered;
  const std::string data = harness::DataFolder() + "/Kestrune";
  if (!ce::device::Setting("program_folder")) {
    if (::access((data + "/UI/res.ark").c_str(), R_OK) == 0) ::setenv("DEVICE_PROGRAM_FOLDER", data.c_str(), 1);
  }
  // Headless and without a script nothing would ever happen: the game runs
  // its own script from its data folder.
  if (ce::device::SettingOr("backend", "") == "headless" && !ce::device::Setting("script")) {
    const std::string script = data + "/kestrune.script";
    if (::access(script.c_str(), R_OK) == 0) ::setenv("DEVICE_SCRIPT", script.c_str(), 1);
  }
  return ce::RunProgram(argc, argv, KestruneWinMain);
}
