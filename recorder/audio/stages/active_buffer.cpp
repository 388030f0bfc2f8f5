#include "audio/active_buffer.h"

#include "ce/winbase.h"

namespace audio {
namespace {

HANDLE AsEvent(void* h) { return static_cast<HANDLE>(h); }

}  // namespace

ActiveBuffer::ActiveBuffer() {
  wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  start();
}

ActiveBuffer::~ActiveBuffer() {
  request_stop();
  if (wake_ != nullptr) SetEvent(AsEvent(wake_));
  wait();
  liba::Lock hold(Consumer<PCMData>::lock);
  queue_.clear();
  queued_bytes_ = 0;
  if (wake_ != nullptr) CloseHandle(AsEvent(wake_));
  wake_ = nullptr;
}

void ActiveBuffer::on_data(const PCMData& block) {
  liba::Lock hold(Consumer<PCMData>::lock);
  if (!accepting_) return;
  if (queued_bytes_ > kMaxQueuedBytes) {
    accepting_ = false;
    return;
  }
  MEMORYSTATUS memory{};
  memory.dwLength = sizeof memory;
  GlobalMemoryStatus(&memory);
  if (memory.dwAvailPhys < kMinFreeMemory) {
    accepting_ = false;
    return;
  }
  queue_.push_back(block);
  queued_bytes_ += block.size();
  SetEvent(AsEvent(wake_));
}

PCMData& ActiveBuffer::get_data(PCMData& out, std::uint32_t /*count*/) {
  out = PCMData();
  return out;
}

bool ActiveBuffer::is_accepting() {
  liba::Lock hold(Consumer<PCMData>::lock);
  return accepting_;
}

std::uint32_t ActiveBuffer::get_queued_count() {
  liba::Lock hold(Consumer<PCMData>::lock);
  return static_cast<std::uint32_t>(queue_.size()) + in_flight_;
}

std::int64_t ActiveBuffer::get_queued_bytes() {
  liba::Lock hold(Consumer<PCMData>::lock);
  return queued_bytes_;
}

void ActiveBuffer::reset() {
  liba::Lock hold(Consumer<PCMData>::lock);
  accepting_ = true;
  queue_.clear();
  queued_bytes_ = 0;
}

void ActiveBuffer::run() {
  // The wake-up is an auto-reset event: a block queued while this thread is
  // on its way to waiting leaves it set, so the wait returns at once.
  WaitForSingleObject(AsEvent(wake_), INFINITE);
  while (!is_stop_requested()) {
    PCMData block;
    bool taken = false;
    {
      liba::Lock hold(Consumer<PCMData>::lock);
      if (!queue_.empty()) {
        block = queue_.front();
        queue_.pop_front();
        queued_bytes_ -= block.size();
        // Counted until its push returns, so that a caller waiting for an
        // empty queue does not unlink the output while it is on its way.
        in_flight_ = 1;
        taken = true;
      }
    }
    if (!taken) {
      WaitForSingleObject(AsEvent(wake_), INFINITE);
      continue;
    }
    push(block);
    block = PCMData();
    liba::Lock hold(Consumer<PCMData>::lock);
    in_flight_ = 0;
  }
}

}  // namespace audio
