// What the gallery's tests and benchmarks share: the built skin put on the
// device, and a device of either kind.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ce/testing.h"
#include "ce/windows.h"
#include "skinner/device_caps.h"
#include "skinner/form_impl.h"
#include "skinner/properties.h"

namespace gallerytest {

inline void UseDevice(const char* platform) {
  ::setenv("DEVICE_PLATFORM_TYPE", platform, 1);
  ce::testing::ReloadScreen();
  skinner::forget_device_caps();
  skinner::install_device_info();
}

// The skin the build made, copied onto the device; false when missing.
inline bool LoadSkin(skinner::Properties& skin) {
  std::ifstream in(GALLERY_SKIN_PATH, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty()) return false;
  HANDLE file = CreateFileW(L"\\gallery.zip", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  skin.reset(skinner::Properties::create_for_device(L"\\gallery.zip", skinner::get_screen_size()));
  return skinner::Properties::is_valid(skin);
}

// Everything queued, through the form's own dispatch.
template <typename Form>
void Pump(Form& form) {
  MSG msg{};
  for (int guard = 0; guard < 20000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++guard)
    form.get_impl().dispatch_message(msg);
}

}  // namespace gallerytest
