#include "audio/device_thread.h"

#include "ce/winbase.h"
#include "ce/winuser.h"

namespace audio {

DeviceThread::~DeviceThread() {
  if (ready_ != nullptr) CloseHandle(static_cast<HANDLE>(ready_));
}

bool DeviceThread::start_and_wait() {
  if (ready_ == nullptr) ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (ready_ == nullptr || !start()) return false;
  WaitForSingleObject(static_cast<HANDLE>(ready_), INFINITE);
  return true;
}

void DeviceThread::announce() {
  thread_id_ = GetCurrentThreadId();
  SetEvent(static_cast<HANDLE>(ready_));
}

void DeviceThread::run() {
  announce();
  set_priority(1);
  MSG msg{};
  while (!is_stop_requested()) {
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
    on_message(msg);
  }
  on_pump_end();
}

}  // namespace audio
