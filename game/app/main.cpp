// Kestrune's host entry: the program folder, then the platform's start.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ce/device.h"
#include "ce/winmain.h"
#include "program.h"

// The program's folder on the device is its data folder beside bin/
// ("data/Kestrune"), unless the device configuration names one.
int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::puts("usage: Kestrune\n  the pool game; its data is read from data/Kestrune beside the program's folder.");
    return 0;
  }
  if (argc > 1) {
    std::fprintf(stderr, "usage: Kestrune (it takes no arguments)\n");
    return 2;
  }
  if (!ce::device::Setting("program_folder")) {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n > 0) {
      std::string folder(path, static_cast<std::size_t>(n));
      folder.resize(folder.rfind('/'));
      const std::string data = folder + "/../data/Kestrune";
      if (::access((data + "/UI/res.ark").c_str(), R_OK) == 0) ::setenv("DEVICE_PROGRAM_FOLDER", data.c_str(), 1);
    }
  }
  // Headless and without a script nothing would ever happen: the game runs
  // its own script from its data folder.
  if (ce::device::SettingOr("backend", "") == "headless" && !ce::device::Setting("script")) {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n > 0) {
      std::string folder(path, static_cast<std::size_t>(n));
      folder.resize(folder.rfind('/'));
      const std::string script = folder + "/../data/Kestrune/kestrune.script";
      if (::access(script.c_str(), R_OK) == 0) ::setenv("DEVICE_SCRIPT", script.c_str(), 1);
    }
  }
  return ce::RunProgram(argc, argv, KestruneWinMain);
}
