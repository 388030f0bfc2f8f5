// The shared file layouts: the byte reader's bounds, the RIFF walk over
// whole, padded and cut chunks, and the WAV and BMP writers' headers and
// row padding.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/bmp_writer.h"
#include "runtime/le_bytes.h"
#include "runtime/riff_reader.h"
#include "runtime/wav_writer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using ks::runtime::AppendLe;
using ks::runtime::ByteReader;
using ks::runtime::LoadLe16;
using ks::runtime::LoadLe32;

Bytes FromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(LeBytes, ReadsLittleEndianAndFailsPastTheEnd) {
  const Bytes bytes = {0x01, 0x02, 0x03, 0x04, 0xFF, 0xFE, 0x7F};
  EXPECT_EQ(LoadLe16(bytes.data()), 0x0201);
  EXPECT_EQ(LoadLe32(bytes.data() + 1), 0xFF040302u);

  ByteReader reader(bytes);
  EXPECT_EQ(reader.U32(), 0x04030201u);
  EXPECT_EQ(reader.U16(), 0xFEFF);
  EXPECT_TRUE(reader.ok());
  EXPECT_EQ(reader.remaining(), 1u);
  // Two bytes wanted, one there: nothing read, and the reader stays failed.
  EXPECT_EQ(reader.U16(), 0);
  EXPECT_FALSE(reader.ok());
  EXPECT_EQ(reader.U8(), 0);
  EXPECT_EQ(reader.remaining(), 0u);

  ByteReader far(bytes, 8);
  EXPECT_FALSE(far.ok());
  ByteReader skipping(bytes, 2);
  EXPECT_FALSE(skipping.Skip(static_cast<std::size_t>(-1)));
  EXPECT_TRUE(ByteReader(bytes, 7).ok());
  EXPECT_TRUE(ByteReader(bytes).Bytes(7).size() == 7);

  std::string out;
  AppendLe(out, 0x11223344u, 3);
  EXPECT_EQ(out, std::string("\x44\x33\x22", 3));
}

TEST(RiffReader, WalksChunksWithPaddingAndGivesWhatIsThereOfACutOne) {
  Bytes file = FromText("RIFF");
  AppendLe(file, 0, 4);
  for (char c : std::string("WAVEodd ")) file.push_back(static_cast<std::uint8_t>(c));
  AppendLe(file, 3, 4);
  for (std::uint8_t b : {1, 2, 3, 0}) file.push_back(b);  // three bytes and the pad
  for (char c : std::string("data")) file.push_back(static_cast<std::uint8_t>(c));
  AppendLe(file, 100, 4);
  for (std::uint8_t b : {9, 8}) file.push_back(b);

  ks::runtime::RiffReader reader(file, "WAVE");
  ASSERT_TRUE(reader.ok());
  ks::runtime::RiffChunk chunk;
  ASSERT_TRUE(reader.Next(chunk));
  EXPECT_EQ(chunk.id, "odd ");
  EXPECT_EQ(chunk.offset, 20u);
  EXPECT_EQ(chunk.body.size(), 3u);
  EXPECT_TRUE(chunk.whole());
  ASSERT_TRUE(reader.Next(chunk));
  EXPECT_EQ(chunk.id, "data");
  EXPECT_EQ(chunk.size, 100u);
  EXPECT_EQ(chunk.body.size(), 2u);
  EXPECT_FALSE(chunk.whole());
  EXPECT_FALSE(reader.Next(chunk));

  EXPECT_FALSE(ks::runtime::RiffReader(file, "AVI ").ok());
  EXPECT_FALSE(ks::runtime::RiffReader(Bytes(file.begin(), file.begin() + 11), "WAVE").ok());
}

TEST(WavWriter, WritesTheCanonicalHeader) {
  const Bytes samples = {0x80, 0x81, 0x7F};
  const Bytes wav = ks::runtime::PcmWav(8000, 1, 8, samples);
  ASSERT_EQ(wav.size(), 47u);
  ks::runtime::RiffReader reader(wav, "WAVE");
  ASSERT_TRUE(reader.ok());
  EXPECT_EQ(LoadLe32(wav.data() + 4), 39u);
  ks::runtime::RiffChunk fmt, data;
  ASSERT_TRUE(reader.Next(fmt) && reader.Next(data));
  EXPECT_EQ(fmt.id, "fmt ");
  ByteReader fields(fmt.body);
  EXPECT_EQ(fields.U16(), 1);      // PCM
  EXPECT_EQ(fields.U16(), 1);      // channels
  EXPECT_EQ(fields.U32(), 8000u);  // rate
  EXPECT_EQ(fields.U32(), 8000u);  // bytes a second
  EXPECT_EQ(fields.U16(), 1);      // block
  EXPECT_EQ(fields.U16(), 8);      // bits
  EXPECT_EQ(data.id, "data");
  EXPECT_EQ(Bytes(data.body.begin(), data.body.end()), samples);

  const Bytes stereo = ks::runtime::PcmWav(22050, 2, 16, Bytes(8, 0));
  EXPECT_EQ(LoadLe32(stereo.data() + 28), 22050u * 4);
  EXPECT_EQ(LoadLe16(stereo.data() + 32), 4);
}

TEST(BmpWriter, StoresRowsBottomUpPaddedToFourBytes) {
  // Two rows of two: the top row first.
  const std::uint32_t pixels[] = {0x112233, 0x445566, 0x778899, 0xAABBCC};
  const std::string bmp = ks::runtime::EncodeBmp24(2, 2, pixels, ks::runtime::kBmp96Dpi);
  ASSERT_EQ(bmp.size(), 54u + 2 * 8);
  const auto* p = reinterpret_cast<const std::uint8_t*>(bmp.data());
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(LoadLe32(p + 2), bmp.size());
  EXPECT_EQ(LoadLe32(p + 10), 54u);
  EXPECT_EQ(LoadLe16(p + 28), 24);
  EXPECT_EQ(LoadLe32(p + 38), 3780u);
  // The bottom row first, blue-green-red, two bytes of padding.
  EXPECT_EQ(bmp.substr(54, 8), std::string("\x99\x88\x77\xCC\xBB\xAA\0\0", 8));
  EXPECT_EQ(bmp.substr(62, 8), std::string("\x33\x22\x11\x66\x55\x44\0\0", 8));

  const std::uint8_t levels[] = {10, 20, 30};
  const std::string grey = ks::runtime::EncodeBmp8Grey(3, 1, levels, ks::runtime::kBmp72Dpi);
  const auto* g = reinterpret_cast<const std::uint8_t*>(grey.data());
  ASSERT_EQ(grey.size(), 54u + 1024 + 4);
  EXPECT_EQ(LoadLe32(g + 10), 54u + 1024);
  EXPECT_EQ(LoadLe32(g + 46), 256u);
  EXPECT_EQ(LoadLe32(g + 54 + 4 * 200), 0x00C8C8C8u);
  EXPECT_EQ(grey.substr(54 + 1024), std::string("\x0A\x14\x1E\0", 4));
}

}  // namespace
