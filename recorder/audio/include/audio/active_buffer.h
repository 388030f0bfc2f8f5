// The buffering thread between capture and encoding: blocks pushed into it
// are queued at once, and its own thread pushes them on downstream in
// order, so the capture thread never waits for the encoder or the file.
// It refuses further blocks (until reset) once the queue grows beyond
// 10,000,000 bytes or free memory falls below 1,000,000 bytes.
#pragma once

#include <cstdint>
#include <deque>

#include "audio/link.h"
#include "liba/thread.h"

namespace audio {

class ActiveBuffer : public Consumer<PCMData>, public Provider<PCMData>, private liba::Thread {
 public:
  static constexpr std::int64_t kMaxQueuedBytes = 10000000;
  static constexpr std::uint32_t kMinFreeMemory = 1000000;

  ActiveBuffer();
  ~ActiveBuffer() override;

  void on_data(const PCMData& block) override;
  // Push-only: a pull answers the empty block.
  PCMData& get_data(PCMData& out, std::uint32_t count) override;

  // False after an overflow, until reset.
  bool is_accepting();
  // Blocks not yet delivered downstream: the queued ones and the one whose
  // push is under way, so that 0 means everything has arrived.
  std::uint32_t get_queued_count();
  std::int64_t get_queued_bytes();
  // Drops the queue and accepts again.
  void reset();

 private:
  void run() override;

  std::deque<PCMData> queue_;
  bool accepting_ = true;
  std::int64_t queued_bytes_ = 0;
  std::uint32_t in_flight_ = 0;
  void* wake_ = nullptr;  // auto-reset event: work was queued or a stop requested
};

}  // namespace audio
