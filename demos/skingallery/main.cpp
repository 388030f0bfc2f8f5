// The skin gallery: a form with every control of the skinned UI, built on a
// skin that skinc compiles from resources/skingallery at build time (art
// from skinart). The message button runs a second form modally over it.
// Pocket PC or Smartphone comes from the device configuration
// ("platform_type"). At a desktop it opens a window; with no display it runs
// unattended from a script (DEVICE_SCRIPT, else its own skingallery.script
// from the data folder) and leaves screenshots.
#include <cstdio>
#include <string>

#include "ce/device.h"
#include "ce/windows.h"
#include "ce/winmain.h"
#include "gallery_form.h"
#include "runtime/program_harness.h"
#include "skinner/device_caps.h"

namespace {

constexpr const wchar_t* kDeviceSkin = L"\\skingallery.zip";

// Puts the built skin where the device's file calls find it.
bool InstallSkin() {
  const auto bytes = harness::ReadHostFile(harness::DataFolder() + "/skingallery/skingallery.zip");
  if (bytes.empty()) {
    std::fprintf(stderr, "skingallery: missing data: skingallery/skingallery.zip\n");
    return false;
  }
  HANDLE file = CreateFileW(kDeviceSkin, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "skingallery: could not write the skin to the device\n");
    return false;
  }
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  if (harness::WithoutDisplay() && !ce::device::Setting("script")) {
    harness::RunOwnScript("skingallery", harness::DataFolder() + "/skingallery/skingallery.script", "");
    return 1;
  }
  if (!InstallSkin()) return 1;
  skinner::install_device_info();
  skinner::Properties skin;
  skin.reset(skinner::Properties::create_for_device(kDeviceSkin, skinner::get_screen_size()));
  if (!skinner::Properties::is_valid(skin)) {
    std::fprintf(stderr, "skingallery: the skin could not be read\n");
    return 1;
  }
  gallery::GalleryForm form(&skin);
  form.run();
  return 0;
}

// The gallery takes no arguments; --help describes it without starting the device.
int main(int argc, char** argv) {
  constexpr const char* kUsage =
      "usage: skingallery\n"
      "  a form with every control of the skinned UI and a message form over it;\n"
      "  DEVICE_PLATFORM_TYPE=Smartphone shows the phone's soft keys. With\n"
      "  DEVICE_BACKEND=headless and DEVICE_SCRIPT=FILE it runs unattended.\n";
  if (const std::optional<int> answered = harness::AnswerCommandLine(argc, argv, kUsage, harness::Takes::kNothing))
    return *answered;
  return ce::RunProgram(argc, argv, WinMain);
}
