#include <gtest/gtest.h>

#include "audio/blocks.h"
#include "audio/shared_buffer.h"

namespace {

TEST(SharedBuffer, CopiesShareAndSubViewsKeepTheBytesAlive) {
  const char text[] = "abcdefgh";
  audio::SharedBuffer view;
  {
    audio::SharedBuffer whole(text, 8);
    audio::SharedBuffer copy(whole);
    EXPECT_EQ(whole.data(), copy.data());
    EXPECT_EQ(whole.use_count(), 2);
    view = audio::SharedBuffer(whole, 2, 3);
    EXPECT_EQ(whole.use_count(), 3);
  }
  ASSERT_EQ(view.size(), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(view.data()), 3), "cde");
  EXPECT_EQ(view.use_count(), 1);
}

TEST(SharedBuffer, MakeUniqueCopiesOnlyTheViewedBytesWhenShared) {
  audio::SharedBuffer whole("abcdefgh", 8);
  audio::SharedBuffer part(whole, 4, 2);
  std::uint8_t* bytes = part.make_unique();
  bytes[0] = 'X';
  EXPECT_EQ(part.use_count(), 1);
  EXPECT_EQ(whole.use_count(), 1);
  EXPECT_EQ(whole.data()[4], 'e');
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(part.data()), 2), "Xf");
  // A sole owner writes in place.
  const std::uint8_t* before = whole.data();
  EXPECT_EQ(whole.make_unique(), before);
  // Self-assignment (through a reference, as it happens in real code) keeps
  // the bytes.
  const audio::SharedBuffer& same = part;
  part = same;
  EXPECT_EQ(part.data()[1], 'f');
  part.fill(7);
  EXPECT_EQ(part.data()[0], 7);
}

TEST(PCMData, FramesFollowTheFormatAndAZeroFormatHasNone) {
  audio::PCMData stereo(audio::SharedBuffer(4000), 2, 16, 44100);
  EXPECT_EQ(stereo.get_frames(), 1000u);
  EXPECT_EQ(audio::PCMData(audio::SharedBuffer(10), 1, 8, 8000).get_frames(), 10u);
  EXPECT_EQ(audio::PCMData(audio::SharedBuffer(10), 0, 16, 8000).get_frames(), 0u);
  EXPECT_EQ(audio::PCMData().get_frames(), 0u);
}

}  // namespace
