#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "audio/active_buffer.h"
#include "ce/winbase.h"
#include "scoped_setting.h"
#include "stage_test_support.h"

namespace {

using audio::ActiveBuffer;
using audio::PCMData;
using ce::test::ScopedSetting;
using stage_test::Sink;

PCMData bytes_block(std::uint32_t size, std::uint8_t tag = 0) {
  return stage_test::make_block(std::vector<std::uint8_t>(size, tag), 1, 8, 8000);
}

// Holds the first delivery until released.
struct GateSink : Sink {
  HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> entered{0};
  ~GateSink() override { CloseHandle(gate); }
  void on_data(const PCMData& block) override {
    ++entered;
    WaitForSingleObject(gate, INFINITE);
    Sink::on_data(block);
  }
};

void wait_for(const std::function<bool()>& done) {
  for (int i = 0; i < 5000 && !done(); ++i) Sleep(1);
  ASSERT_TRUE(done());
}

TEST(ActiveBuffer, DeliversEveryBlockOnceInOrder) {
  Sink sink;
  ActiveBuffer buffer;
  audio::connect<PCMData>(&buffer, &sink);
  stage_test::Source upstream;
  audio::connect<PCMData>(&upstream, &buffer);
  for (int i = 0; i < 300; ++i) upstream.push(bytes_block(1 + i % 7, static_cast<std::uint8_t>(i)));
  wait_for([&] { return buffer.get_queued_count() == 0; });
  audio::connect<PCMData>(&buffer, nullptr);
  ASSERT_EQ(sink.blocks.size(), 300u);
  for (int i = 0; i < 300; ++i) {
    EXPECT_EQ(sink.blocks[i].size(), 1u + i % 7);
    EXPECT_EQ(sink.blocks[i].buffer.data()[0], static_cast<std::uint8_t>(i));
  }
  PCMData out = bytes_block(4);
  buffer.get_data(out, 100);
  EXPECT_EQ(out.size(), 0u);
  EXPECT_EQ(out.channels + out.bits + out.rate, 0u);
  EXPECT_TRUE(buffer.is_accepting());
}

// The block on its way downstream still counts, so a caller that waits for
// the count to reach 0 before unlinking the output loses nothing.
TEST(ActiveBuffer, CountsTheBlockUnderWayUntilItArrives) {
  GateSink sink;
  ActiveBuffer buffer;
  audio::connect<PCMData>(&buffer, &sink);
  buffer.on_data(bytes_block(10));
  wait_for([&] { return sink.entered == 1; });
  EXPECT_EQ(buffer.get_queued_bytes(), 0);
  EXPECT_EQ(buffer.get_queued_count(), 1u);
  SetEvent(sink.gate);
  wait_for([&] { return buffer.get_queued_count() == 0; });
  audio::connect<PCMData>(&buffer, nullptr);
  EXPECT_EQ(sink.blocks.size(), 1u);
}

TEST(ActiveBuffer, RefusesEverythingOnceTheQueueOverflowsUntilReset) {
  GateSink sink;
  ActiveBuffer buffer;
  audio::connect<PCMData>(&buffer, &sink);
  buffer.on_data(bytes_block(1));  // held at the gate
  wait_for([&] { return sink.entered == 1; });
  for (int i = 0; i < 10; ++i) buffer.on_data(bytes_block(1000000));
  EXPECT_EQ(buffer.get_queued_bytes(), 10000000);
  buffer.on_data(bytes_block(1));  // exactly 10,000,000 queued still accepts
  EXPECT_TRUE(buffer.is_accepting());
  EXPECT_EQ(buffer.get_queued_bytes(), 10000001);
  buffer.on_data(bytes_block(1));
  EXPECT_FALSE(buffer.is_accepting());
  EXPECT_EQ(buffer.get_queued_count(), 12u);
  buffer.reset();
  EXPECT_TRUE(buffer.is_accepting());
  EXPECT_EQ(buffer.get_queued_bytes(), 0);
  EXPECT_EQ(buffer.get_queued_count(), 1u) << "the block at the gate";
  buffer.on_data(bytes_block(3));
  EXPECT_EQ(buffer.get_queued_count(), 2u);
  SetEvent(sink.gate);
  wait_for([&] { return buffer.get_queued_count() == 0; });
  audio::connect<PCMData>(&buffer, nullptr);
  ASSERT_EQ(sink.blocks.size(), 2u);
  EXPECT_EQ(sink.blocks[1].size(), 3u);
}

TEST(ActiveBuffer, RefusesWhenFreeMemoryIsLow) {
  ScopedSetting low("DEVICE_MEMORY_AVAILABLE_BYTES", "999999");
  ActiveBuffer buffer;
  buffer.on_data(bytes_block(1));
  EXPECT_FALSE(buffer.is_accepting());
  EXPECT_EQ(buffer.get_queued_count(), 0u);
}

}  // namespace
