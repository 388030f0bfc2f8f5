#include "program_harness.h"

#include <cstdio>
#include <utility>

#include "display/display_s16.h"
#include "engine/testing/memory_file.h"
#include "play/scene_loader.h"

namespace harness {

bool AddHostFile(ssMemoryArchive& archive, const std::string& hostPath, const std::wstring& devicePath,
                 const char* program) {
  std::vector<std::uint8_t> bytes = ReadHostFile(hostPath);
  const bool found = !bytes.empty();
  if (!found) std::fprintf(stderr, "%s: missing data: %s\n", program, hostPath.c_str());
  archive.AddFile(devicePath, std::move(bytes));
  return found;
}

void AddTableData(ssMemoryArchive& archive, const std::string& data, const char* program) {
  for (int room = 0; room < ks::play::kRoomCount; ++room) {
    const std::wstring name = ks::play::RoomName(room);
    AddHostFile(archive, data + "/table/Rooms/" + std::string(name.begin(), name.end()) + ".ark",
                L"\\Rooms\\" + name + L".ark", program);
  }
  AddHostFile(archive, data + "/table/UI/res.ark", L"\\UI\\res.ark", program);
}

std::unique_ptr<ssDisplayS16> OpenDisplay(HWND window, int turn, const wchar_t* title) {
  auto display = std::make_unique<ssDisplayS16>();
  display->m_Rotate = turn;
  if (display->Init(window, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 16, 0) != 0) {
    MessageBoxW(window, L"The display could not be opened.", title, MB_OK);
    return nullptr;
  }
  return display;
}

}  // namespace harness
