// Mending a recording that a crash cut off: WAV sizes taken from what the
// file holds, an MP3 cut back to its last whole frame, anything else left
// alone; and the marker that names the recording being made.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ce/testing.h"
#include "ce/windows.h"
#include "os/file.h"
#include "recording_repair.h"
#include "temp_device.h"

namespace {

using Bytes = std::string;

void put16(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 2; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}
void put32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}
std::uint32_t get32(const Bytes& in, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(in[at + static_cast<std::size_t>(i)]);
  return v;
}

// A mono 16-bit PCM file as the writer leaves it between two refreshes of
// its header: the sizes say `stated` data bytes, the file holds `present`.
Bytes pcm_wav(std::uint32_t stated, std::uint32_t present) {
  Bytes out = "RIFF";
  put32(out, 36 + stated);
  out += "WAVEfmt ";
  put32(out, 16);
  put16(out, 1);
  put16(out, 1);
  put32(out, 8000);
  put32(out, 16000);
  put16(out, 2);
  put16(out, 16);
  out += "data";
  put32(out, stated);
  for (std::uint32_t i = 0; i < present; ++i) out.push_back(static_cast<char>(i * 7));
  return out;
}

// GSM 06.10: 65-byte blocks of 320 samples, a "fact" count, data at 60.
Bytes gsm_wav(std::uint32_t stated_blocks, std::uint32_t present) {
  Bytes out = "RIFF";
  put32(out, 52 + stated_blocks * 65);
  out += "WAVEfmt ";
  put32(out, 20);
  put16(out, 49);
  put16(out, 1);
  put32(out, 8000);
  put32(out, 1625);
  put16(out, 65);
  put16(out, 0);
  put16(out, 2);
  put16(out, 320);
  out += "fact";
  put32(out, 4);
  put32(out, stated_blocks * 320);
  out += "data";
  put32(out, stated_blocks * 65);
  out.append(present, '\x11');
  return out;
}

// MPEG-1 Layer III, 64 kbit/s, 44.1 kHz, mono: 208-byte frames.
constexpr std::uint32_t kFrame = 208;
Bytes mp3_frames(int count) {
  Bytes out;
  for (int i = 0; i < count; ++i) {
    Bytes frame("\xFF\xFB\x50\xC0", 4);
    frame.append(kFrame - 4, '\x00');
    out += frame;
  }
  return out;
}

class RecordingRepair : public ::testing::Test {
 protected:
  void SetUp() override { ce::testing::ReloadDevice(); }
  // Writes the file, mends it, and answers what it holds afterwards.
  Bytes mend(const std::string& name, const Bytes& contents, bool expect_change) {
    device_.WriteHostFile(name, contents);
    EXPECT_EQ(vocamo::repair_recording(L"\\" + std::wstring(name.begin(), name.end())), expect_change) << name;
    return device_.ReadHostFile(name);
  }

  ce::test::TempDevice device_;
};

TEST_F(RecordingRepair, WavSizesComeFromWhatTheFileHolds) {
  // Data written after the last refresh, ending in half a sample frame.
  const Bytes pcm = mend("cut.wav", pcm_wav(2000, 3001), true);
  EXPECT_EQ(pcm.size(), 44u + 3000u);
  EXPECT_EQ(get32(pcm, 4), 36u + 3000u);
  EXPECT_EQ(get32(pcm, 40), 3000u);
  EXPECT_EQ(pcm.substr(44, 3000), pcm_wav(0, 3000).substr(44));

  // A header that was never refreshed (sizes 0).
  EXPECT_EQ(get32(mend("never.wav", pcm_wav(0, 800), true), 40), 800u);

  // GSM: whole blocks only, the odd data chunk padded, the sample count
  // following the blocks.
  const Bytes gsm = mend("cut_gsm.wav", gsm_wav(2, 5 * 65 + 30), true);
  EXPECT_EQ(get32(gsm, 56), 5u * 65u);
  EXPECT_EQ(get32(gsm, 48), 5u * 320u);
  EXPECT_EQ(gsm.size(), 60u + 5u * 65u + 1u);
  EXPECT_EQ(get32(gsm, 4), gsm.size() - 8);

  // A finished file is left as it is.
  const Bytes whole = pcm_wav(1000, 1000);
  EXPECT_EQ(mend("whole.wav", whole, false), whole);
}

TEST_F(RecordingRepair, Mp3IsCutBackToItsLastWholeFrame) {
  EXPECT_EQ(mend("cut.mp3", mp3_frames(10) + mp3_frames(1).substr(0, 100), true), mp3_frames(10));
  EXPECT_EQ(mend("header.mp3", mp3_frames(3) + Bytes("\xFF\xFB", 2), true), mp3_frames(3));

  // Whole files, a file with a tag at its end, and files that are not the
  // recorder's MP3 files stay as they are.
  const Bytes tagged = mp3_frames(4) + "TAG" + Bytes(125, 'x');
  const Bytes garbage(5000, 'g');
  for (const auto& [name, contents] : {std::pair<std::string, Bytes>{"whole.mp3", mp3_frames(6)},
                                       {"tagged.mp3", tagged},
                                       {"garbage.mp3", garbage},
                                       {"cut.txt", mp3_frames(2) + "xx"}}) {
    EXPECT_EQ(mend(name, contents, false), contents) << name;
  }
}

TEST_F(RecordingRepair, ARecordingWithNoWholeBlockOrFrameIsDeleted) {
  // Killed before the first block or frame reached the file: it was made
  // empty, or stops inside its header or its first frame.
  for (const auto& [name, contents] : {std::pair<std::string, Bytes>{"empty.mp3", ""},
                                       {"empty.wav", ""},
                                       {"sync.mp3", Bytes("\xFF\xFB", 2)},
                                       {"first.mp3", mp3_frames(1).substr(0, kFrame - 1)},
                                       {"riff.wav", pcm_wav(0, 0).substr(0, 30)},
                                       {"header.wav", pcm_wav(0, 0)},
                                       {"half.wav", pcm_wav(0, 1)},
                                       {"gsm.wav", gsm_wav(0, 64)}}) {
    device_.WriteHostFile(name, contents);
    EXPECT_TRUE(vocamo::repair_recording(L"\\" + std::wstring(name.begin(), name.end()))) << name;
    EXPECT_FALSE(os::FileInfo(L"\\" + std::wstring(name.begin(), name.end())).exists()) << name;
  }
  // One whole block or frame is enough to keep it.
  EXPECT_EQ(mend("one.mp3", mp3_frames(1) + "\xFF", true), mp3_frames(1));
  EXPECT_EQ(mend("one.wav", pcm_wav(0, 3), true).size(), 46u);
  // A short file that is no header of ours stays.
  EXPECT_EQ(mend("short.wav", "notes", false), "notes");
}

TEST_F(RecordingRepair, TheMarkerNamesTheRecordingUntilItIsMended) {
  device_.WriteHostFile("cut.mp3", mp3_frames(2) + "\xFF");
  const std::wstring marker = L"\\Recording.txt";
  ASSERT_TRUE(vocamo::mark_unfinished(marker, L"\\cut.mp3"));
  EXPECT_EQ(vocamo::read_unfinished(marker), L"\\cut.mp3");
  EXPECT_TRUE(vocamo::repair_unfinished(marker));
  EXPECT_EQ(device_.ReadHostFile("cut.mp3"), mp3_frames(2));
  EXPECT_FALSE(os::FileInfo(marker).exists());

  // A marker naming a file that is gone, or a damaged one, only goes away.
  for (const Bytes& contents : {Bytes("\\\0g\0o\0n\0e\0.\0w\0a\0v\0", 18), Bytes("odd"), Bytes()}) {
    device_.WriteHostFile("Recording.txt", contents);
    EXPECT_FALSE(vocamo::repair_unfinished(marker));
    EXPECT_FALSE(os::FileInfo(marker).exists());
  }
}

}  // namespace
