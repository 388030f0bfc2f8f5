#include <gtest/gtest.h>

#include <vector>

#include "audio/link.h"

namespace {

using audio::PCMData;

struct Source : audio::Provider<PCMData> {
  int calls = 0;
  PCMData& get_data(PCMData& out, std::uint32_t count) override {
    ++calls;
    out = PCMData(audio::SharedBuffer(count * 2), 1, 16, 8000);
    return out;
  }
};

struct Sink : audio::Consumer<PCMData> {
  std::vector<std::uint32_t> sizes;
  void on_data(const PCMData& block) override { sizes.push_back(block.size()); }
};

// Doubles the block's rate, so a test can see it passed through.
struct Doubler : audio::Processor<PCMData, PCMData> {
  void process(PCMData& out, const PCMData& in) override {
    out = in;
    out.rate *= 2;
  }
};

TEST(Link, PullAndPushWithoutALinkDoNothing) {
  Sink sink;
  PCMData out(audio::SharedBuffer(8), 2, 16, 44100);
  sink.pull(out, 100);
  EXPECT_EQ(out.size(), 0u);
  EXPECT_EQ(out.channels + out.bits + out.rate, 0u);
  Source source;
  source.push(PCMData(audio::SharedBuffer(4), 1, 16, 8000));
  EXPECT_EQ(source.calls, 0);
}

TEST(Link, ConnectingANewConsumerUnlinksTheOldOne) {
  Source source;
  Sink first, second;
  audio::connect<PCMData>(&source, &first);
  EXPECT_EQ(first.provider, &source);
  audio::connect<PCMData>(&source, &second);
  EXPECT_EQ(first.provider, nullptr);
  EXPECT_EQ(second.provider, &source);
  EXPECT_EQ(source.consumer, &second);
  source.push(PCMData(audio::SharedBuffer(6), 1, 16, 8000));
  EXPECT_TRUE(first.sizes.empty());
  EXPECT_EQ(second.sizes, std::vector<std::uint32_t>{6});
  audio::connect<PCMData>(&source, nullptr);
  EXPECT_EQ(second.provider, nullptr);
  EXPECT_EQ(source.consumer, nullptr);
}

TEST(Link, AProcessorTransformsBothWays) {
  Source source;
  Doubler stage;
  Sink sink;
  audio::connect<PCMData>(&source, &stage);
  audio::connect<PCMData>(&stage, &sink);
  PCMData out;
  sink.pull(out, 10);
  EXPECT_EQ(out.size(), 20u);
  EXPECT_EQ(out.rate, 16000u);
  source.push(PCMData(audio::SharedBuffer(4), 1, 16, 8000));
  EXPECT_EQ(sink.sizes, std::vector<std::uint32_t>{4});
}

}  // namespace
