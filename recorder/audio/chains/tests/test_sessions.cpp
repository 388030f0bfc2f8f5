// The record and play sessions on the headless devices and the virtual
// clock: a recording loses nothing at its stop and leaves out what was
// captured while paused; a playback follows pause, seek and its end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "audio/sessions.h"
#include "ce/testing.h"
#include "ce/windows.h"
#include "os/path.h"
#include "scoped_setting.h"
#include "speaker_time.h"
#include "temp_device.h"
#include "stage_test_support.h"
#include "wav_test_files.h"

namespace {

using namespace wav_test;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;

class Sessions : public ::testing::Test {
 protected:
  void SetUp() override { ce::testing::UseVirtualClock(0, kStart2010); }
  void TearDown() override { ce::testing::UseRealClock(); }
};

std::vector<std::uint8_t> ReadData(const std::wstring& path) {
  const std::string file = ReadFile(path);
  return file.size() < 44 ? std::vector<std::uint8_t>() : std::vector<std::uint8_t>(file.begin() + 44, file.end());
}

TEST_F(Sessions, ARecordingLosesNothingAtItsStopAndLeavesOutItsPause) {
  constexpr std::uint32_t kRate = 8000;
  const auto input = stage_test::to_bytes(stage_test::speech_like(kRate * 5, kRate, 3000));
  ce::test::ScopedSetting mic("DEVICE_MIC", stage_test::write_mic_file(input, 1, 16, kRate));

  audio::RecordSession session;
  EXPECT_FALSE(session.start(nullptr, 1, kRate));
  ASSERT_TRUE(session.start(audio::create_record_chain(TestPath(), L"PCM", 0, false), 1, kRate));
  EXPECT_TRUE(session.is_recording());
  ce::testing::AdvanceClock(1000);
  session.pause();
  EXPECT_TRUE(session.is_paused());
  const double at_pause = session.position();
  EXPECT_GT(at_pause, 0.0);
  ce::testing::AdvanceClock(1000);
  EXPECT_DOUBLE_EQ(session.position(), at_pause) << "nothing is timed while paused";
  session.resume();
  ce::testing::AdvanceClock(1345);  // ends inside a capture buffer
  EXPECT_FALSE(session.has_ended());
  const double before_stop = session.position();
  session.stop();
  EXPECT_FALSE(session.is_recording());
  EXPECT_GT(session.position(), before_stop) << "the buffer under way at the stop is kept";
  session.stop();  // a second stop changes nothing

  const auto recorded = ReadData(TestPath());
  ASSERT_EQ(recorded.size(), static_cast<std::size_t>(session.position() * kRate * 2 + 0.5));
  // What was recorded before the pause, then a later piece of the input:
  // the span captured while paused is not in the file.
  const auto first = static_cast<std::size_t>(at_pause * kRate * 2 + 0.5);
  ASSERT_LT(first, recorded.size());
  EXPECT_TRUE(std::equal(recorded.begin(), recorded.begin() + static_cast<std::ptrdiff_t>(first), input.begin()));
  const std::size_t rest = recorded.size() - first;
  bool found = false;
  for (std::size_t from = first + 2; from + rest <= input.size() && !found; from += 2) {
    found = std::equal(recorded.begin() + static_cast<std::ptrdiff_t>(first), recorded.end(),
                       input.begin() + static_cast<std::ptrdiff_t>(from));
  }
  EXPECT_TRUE(found) << "the recording goes on with the input after the pause";
}

TEST_F(Sessions, ARecordingWithoutAnInputDoesNotStart) {
  ce::test::ScopedSetting none("DEVICE_MIC_DEVICES", "0");
  audio::RecordSession session;
  EXPECT_FALSE(session.start(audio::create_record_chain(TestPath(), L"PCM", 0, false), 1, 8000));
  EXPECT_FALSE(session.is_recording());
  EXPECT_FALSE(session.has_ended());
}

// The last stage of a chain that, once told to stall, holds the first
// block it gets next for `stall_ms`, as a writer on a hung medium would.
// What it takes is counted outside, since the chain goes with the stop.
class StallingChain : public audio::RecordChain,
                      public audio::Consumer<audio::PCMData>,
                      public audio::Encoder,
                      public audio::FileWriter {
 public:
  StallingChain(DWORD stall_ms, std::size_t& received) : stall_ms_(stall_ms), received_(received) {
    never_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  }
  ~StallingChain() override { CloseHandle(never_); }

  void on_data(const audio::PCMData& block) override {
    if (stalling_ && !stalled_) {
      stalled_ = true;
      WaitForSingleObject(never_, stall_ms_);
    }
    received_ += block.size();
  }
  void stall() { stalling_ = true; }

  audio::Encoder* get_encoder() override { return this; }
  audio::Consumer<audio::PCMData>* get_consumer() override { return this; }
  audio::FileWriter* get_writer() override { return this; }
  std::wstring get_format_name() override { return L"PCM"; }
  bool is_open() override { return true; }
  std::uint32_t get_written() override { return static_cast<std::uint32_t>(received_); }
  std::uint32_t get_bitrate() override { return 0; }

 private:
  DWORD stall_ms_;
  std::size_t& received_;
  HANDLE never_ = nullptr;
  bool stalling_ = false;
  bool stalled_ = false;
};

void SetLogSwitch(DWORD value) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Zentra", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, L"Log", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4), ERROR_SUCCESS);
  RegCloseKey(key);
}

// The log's text (UTF-16LE after its mark) as plain ASCII.
std::string LogText() {
  std::string bytes;
  HANDLE file = CreateFileW(os::expand_path(L"%app_full_name%.txt").c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    bytes.resize(GetFileSize(file, nullptr));
    DWORD done = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    bytes.resize(done);
    CloseHandle(file);
  }
  std::string text;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) text.push_back(bytes[i]);
  return text;
}

TEST_F(Sessions, AStopGivesUpOnAnOutputStalledForFiveSecondsAndLogsIt) {
  constexpr std::uint32_t kRate = 8000;
  const auto input = stage_test::to_bytes(stage_test::speech_like(kRate * 10, kRate, 3000));
  ce::test::ScopedSetting mic("DEVICE_MIC", stage_test::write_mic_file(input, 1, 16, kRate));
  // The log lands beside the program: a folder of this test's own.
  ce::test::TempDevice folder;
  ce::test::ScopedSetting program_folder("DEVICE_PROGRAM_FOLDER", folder.root());
  ce::test::TempDevice device;  // made after the setting, so the device reads it
  SetLogSwitch(1);

  // The output stalls a second before the stop. Held for 4 s it comes back
  // within the stop's patience and everything reaches it; held for 9 s the
  // stop gives up after 5 s without progress, drops the queue and says so.
  const struct {
    DWORD stall_ms;
    bool given_up;
  } cases[] = {{4000, false}, {9000, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stall_ms);
    std::size_t received = 0;
    audio::RecordSession session;
    auto chain = std::make_unique<StallingChain>(c.stall_ms, received);
    StallingChain& stalling = *chain;
    ASSERT_TRUE(session.start(std::move(chain), 1, kRate));
    ce::testing::AdvanceClock(1000);
    stalling.stall();
    ce::testing::AdvanceClock(1000);
    const std::size_t logged_before = LogText().size();
    const DWORD stop_started = GetTickCount();
    session.stop();
    const DWORD waited = GetTickCount() - stop_started;
    EXPECT_LT(waited, c.stall_ms);
    const auto recorded = static_cast<std::size_t>(session.position() * kRate * 2 + 0.5);
    const std::string logged = LogText().substr(logged_before);
    if (c.given_up) {
      EXPECT_NE(logged.find("stalled"), std::string::npos) << logged;
      EXPECT_LT(received, recorded);
    } else {
      EXPECT_EQ(logged.find("stalled"), std::string::npos) << logged;
      EXPECT_EQ(received, recorded);
    }
  }
  SetLogSwitch(0);
  LogText();  // the switch is read again: the log lets go of its file
}

TEST_F(Sessions, APlaybackPausesSeeksAndEnds) {
  constexpr std::uint32_t kRate = 22050;
  {
    audio::FileWriterWAVPCM writer(TestPath(), false);
    writer.on_data(PCMBlock(Sine(kRate * 3, 1, 440.0, kRate), 1, 16, kRate));
  }
  audio::PlaySession session;
  EXPECT_FALSE(session.start(nullptr));
  ASSERT_TRUE(session.start(audio::create_play_chain(TestPath())));
  EXPECT_TRUE(session.is_playing());
  EXPECT_DOUBLE_EQ(session.length_time(), 3.0);
  ce::testing::AdvanceClock(500);
  EXPECT_GT(session.position(), 0u);
  session.pause();
  ce::testing::AdvanceClock(200);
  const std::uint32_t held = session.position();
  ce::testing::AdvanceClock(1000);
  EXPECT_EQ(session.position(), held) << "a paused player takes nothing more";
  session.resume();
  session.seek(session.length() / 4 * 3);
  EXPECT_GE(session.position_time(), 2.24);
  for (int i = 0; i < 100 && !session.is_played_out(); ++i) ce::testing::AdvanceClock(100);
  EXPECT_TRUE(session.has_ended());
  EXPECT_TRUE(session.is_played_out());
  session.stop();
  EXPECT_FALSE(session.is_playing());
  EXPECT_EQ(session.position(), 0u);
}

// A chain whose reader is a good file but whose sound comes in a format no
// device plays: the playback is over at once, though the reader is not
// through, rather than running silent until stopped.
TEST_F(Sessions, APlaybackNoDeviceCanPlayIsOverAtOnce) {
  {
    audio::FileWriterWAVPCM writer(TestPath(), false);
    writer.on_data(PCMBlock(Sine(8000 * 3, 1, 440.0, 8000), 1, 16, 8000));
  }
  struct Unplayable : audio::Provider<audio::PCMData> {
    audio::PCMData& get_data(audio::PCMData& out, std::uint32_t /*frames*/) override {
      static const std::string bytes(3200, '\x10');
      return out = PCMBlock(bytes, 1, 16, 400000);
    }
  };
  struct Chain : audio::PlayChain {
    audio::FileReaderWAVPCM reader{TestPath()};
    Unplayable sound;
    audio::Provider<audio::PCMData>* get_provider() override { return &sound; }
    audio::FileReader* get_reader() override { return &reader; }
    std::wstring get_format_name() override { return L"PCM"; }
    std::wstring get_title() override { return TestPath(); }
    bool accept(audio::RecordChain& /*chain*/) override { return false; }
  };
  audio::PlaySession session;
  ce::testing::TakePlayedAudio();
  ASSERT_TRUE(session.start(std::make_unique<Chain>()));
  for (int i = 0; i < 10 && !session.is_played_out(); ++i) ce::testing::AdvanceClock(100);
  EXPECT_TRUE(session.is_played_out());
  EXPECT_FALSE(session.has_ended());
  EXPECT_TRUE(ce::testing::TakePlayedAudio().empty());
  session.stop();
}

// The position shown is that of the sound heard, in every format the
// recorder writes, not that of the reader, which runs up to a pull and three
// buffers ahead of the speaker: after 1 s and 3 s of a 6 s file both the
// time and the bar stand within one 200 ms buffer of what the speaker has
// played.
TEST_F(Sessions, ThePositionIsThatOfTheSoundHeardInEveryFormat) {
  struct Case {
    const wchar_t* chain;
    std::uint32_t rate;
    std::uint32_t bitrate;
  };
  for (const Case& c : {Case{L"PCM", 22050, 0}, Case{L"PCM", 8000, 0}, Case{L"ADPCM", 22050, 0}, Case{L"GSM", 8000, 0},
                        Case{L"mp3", 22050, 32000}, Case{L"mp3", 44100, 64000}}) {
    SCOPED_TRACE(testing::Message() << std::string(c.chain, c.chain + std::wcslen(c.chain)) << " " << c.rate);
    const std::wstring path = TestPath("_" + std::to_string(c.rate) + std::string(c.chain, c.chain + 3));
    {
      auto chain = audio::create_record_chain(path, c.chain, c.bitrate, false);
      ASSERT_TRUE(chain);
      chain->get_consumer()->on_data(PCMBlock(Sine(c.rate * 6, 1, 440.0, c.rate), 1, 16, c.rate));
    }
    audio::PlaySession session;
    ce::testing::TakePlayedAudio();
    ASSERT_TRUE(session.start(audio::create_play_chain(path)));
    EXPECT_NEAR(session.length_time(), 6.0, 0.1);
    std::vector<ce::testing::PlayedBuffer> played;
    const std::uint64_t start = GetTickCount();
    for (const std::uint64_t at : {1000u, 3000u}) {
      ce::testing::AdvanceClock(start + at - GetTickCount());
      for (auto& buffer : ce::testing::TakePlayedAudio()) played.push_back(std::move(buffer));
      const double heard = ce::test::SpeakerSeconds(played, GetTickCount());
      EXPECT_NEAR(heard, at / 1000.0, 0.05);
      EXPECT_NEAR(session.position_time(), heard, 0.2) << at;
      EXPECT_NEAR(static_cast<double>(session.position()) / session.length(), heard / session.length_time(), 0.2 / 6)
          << at;
    }
  }
}

}  // namespace
