#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "backend/headless/audio_headless.h"
#include "ce/mmsystem.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "kernel/clock.h"
#include "kernel/device.h"
#include "media/audio_backend.h"
#include "media/wav_file.h"
#include "scoped_setting.h"

namespace {

namespace clock = ce::kernel::clock;
using ce::backend::headless::PlayedBuffer;
using ce::backend::headless::TakePlayedAudio;
using ce::test::ScopedSetting;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;

WAVEFORMATEX Format(DWORD rate, WORD bits, WORD channels) {
  const WORD align = static_cast<WORD>(channels * bits / 8);
  return WAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

// A buffer of `bytes` bytes filled with one byte value.
struct Buffer {
  explicit Buffer(std::size_t bytes, char fill = 0) : data(bytes, fill) {
    header.lpData = data.data();
    header.dwBufferLength = static_cast<DWORD>(bytes);
  }
  std::vector<char> data;
  WAVEHDR header{};
};

struct Note {
  UINT message;
  WAVEHDR* header;
  DWORD tick;
};

// What a function callback heard; it may also queue a buffer again.
struct Listener {
  std::mutex mutex;
  std::vector<Note> notes;
  int requeues = 0;  // how many more times a done buffer is written again
  std::vector<Note> Take() {
    std::lock_guard guard(mutex);
    return std::exchange(notes, {});
  }
};

void CALLBACK ListenerCallback(HANDLE device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
  auto* listener = reinterpret_cast<Listener*>(instance);
  auto* header = reinterpret_cast<WAVEHDR*>(param1);
  bool again = false;
  {
    std::lock_guard guard(listener->mutex);
    listener->notes.push_back(Note{message, header, GetTickCount()});
    if (message == WOM_DONE && listener->requeues > 0) {
      --listener->requeues;
      again = true;
    }
  }
  if (again) {
    EXPECT_EQ(waveOutWrite(static_cast<HWAVEOUT>(device), header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
}

class WaveOut : public ::testing::Test {
 protected:
  void SetUp() override {
    clock::UseVirtualClock(0, kStart2010);
    TakePlayedAudio();
  }
  HWAVEOUT OpenWithListener(const WAVEFORMATEX& format) {
    HWAVEOUT device = nullptr;
    EXPECT_EQ(waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(ListenerCallback),
                          reinterpret_cast<DWORD_PTR>(&listener), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    return device;
  }
  Listener listener;
};

TEST(WaveOutHeader, ValuesAreTheDevicesOwn) {
  const std::pair<DWORD, DWORD> values[] = {{MM_WOM_OPEN, 0x3BB},
                                            {MM_WOM_CLOSE, 0x3BC},
                                            {MM_WOM_DONE, 0x3BD},
                                            {MM_WIM_OPEN, 0x3BE},
                                            {MM_WIM_CLOSE, 0x3BF},
                                            {MM_WIM_DATA, 0x3C0},
                                            {CALLBACK_THREAD, 0x20000},
                                            {CALLBACK_FUNCTION, 0x30000},
                                            {CALLBACK_EVENT, 0x50000},
                                            {WAVE_FORMAT_QUERY, 1},
                                            {WAVE_MAPPER, 0xFFFFFFFFu},
                                            {WAVERR_BADFORMAT, 32},
                                            {WAVERR_STILLPLAYING, 33},
                                            {WAVERR_UNPREPARED, 34},
                                            {MMSYSERR_BADDEVICEID, 2},
                                            {MMSYSERR_ALLOCATED, 4},
                                            {MMSYSERR_INVALHANDLE, 5},
                                            {WHDR_DONE, 1},
                                            {WHDR_PREPARED, 2},
                                            {WHDR_BEGINLOOP, 4},
                                            {WHDR_ENDLOOP, 8},
                                            {WHDR_INQUEUE, 0x10},
                                            {WAVE_FORMAT_2M08, 0x10},
                                            {SND_ASYNC, 1},
                                            {SND_NODEFAULT, 2},
                                            {SND_MEMORY, 4},
                                            {SND_LOOP, 8},
                                            {SND_NOSTOP, 0x10},
                                            {TIME_MS, 1},
                                            {TIME_SAMPLES, 2},
                                            {TIME_BYTES, 4},
                                            {TIME_SMPTE, 8}};
  for (const auto& [value, expected] : values) EXPECT_EQ(value, expected);
}

TEST_F(WaveOut, DevicesAndCapabilities) {
  EXPECT_EQ(waveOutGetNumDevs(), 1u);
  WAVEOUTCAPSW caps{};
  ASSERT_EQ(waveOutGetDevCaps(0, &caps, sizeof caps), MMSYSERR_NOERROR);
  EXPECT_TRUE(caps.dwFormats & WAVE_FORMAT_2M08);
  EXPECT_EQ(caps.wChannels, 2);
  EXPECT_NE(caps.szPname[0], L'\0');
  EXPECT_EQ(waveOutGetDevCaps(1, &caps, sizeof caps), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(waveOutGetDevCaps(0, nullptr, sizeof caps), MMSYSERR_INVALPARAM);
  {
    ScopedSetting formats("DEVICE_SPEAKER_FORMATS", "8");
    ASSERT_EQ(waveOutGetDevCaps(0, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.dwFormats, 8u);
  }
  ScopedSetting none("DEVICE_SPEAKER_DEVICES", "0");
  EXPECT_EQ(waveOutGetNumDevs(), 0u);
  HWAVEOUT device = nullptr;
  const WAVEFORMATEX format = Format(8000, 16, 1);
  EXPECT_EQ(waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NODRIVER);
  EXPECT_EQ(device, nullptr);
}

TEST_F(WaveOut, OpenChecksTheFormatAndTheDevice) {
  struct Case {
    const char* name;
    WAVEFORMATEX format;
    UINT device;
    DWORD flags;
    MMRESULT expected;
  };
  WAVEFORMATEX badTag = Format(8000, 16, 1);
  badTag.wFormatTag = 2;
  WAVEFORMATEX badAlign = Format(8000, 16, 2);
  badAlign.nBlockAlign = 2;
  const Case cases[] = {
      {"8 kHz 16-bit stereo", Format(8000, 16, 2), WAVE_MAPPER, WAVE_FORMAT_QUERY, MMSYSERR_NOERROR},
      {"22 kHz 8-bit mono", Format(22050, 8, 1), 0, WAVE_FORMAT_QUERY, MMSYSERR_NOERROR},
      {"not PCM", badTag, 0, WAVE_FORMAT_QUERY, WAVERR_BADFORMAT},
      {"three channels", Format(8000, 16, 3), 0, WAVE_FORMAT_QUERY, WAVERR_BADFORMAT},
      {"24 bits", Format(8000, 24, 1), 0, WAVE_FORMAT_QUERY, WAVERR_BADFORMAT},
      {"rate 0", Format(0, 16, 1), 0, WAVE_FORMAT_QUERY, WAVERR_BADFORMAT},
      {"block align off", badAlign, 0, WAVE_FORMAT_QUERY, WAVERR_BADFORMAT},
      {"no such device", Format(8000, 16, 1), 3, WAVE_FORMAT_QUERY, MMSYSERR_BADDEVICEID},
      {"unknown flag", Format(8000, 16, 1), 0, 0x100, MMSYSERR_INVALFLAG},
      {"function without a function", Format(8000, 16, 1), 0, CALLBACK_FUNCTION, MMSYSERR_INVALPARAM},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(waveOutOpen(nullptr, c.device, &c.format, 0, 0, c.flags), c.expected) << c.name;
  }
  EXPECT_EQ(waveOutOpen(nullptr, 0, nullptr, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveOutOpen(nullptr, 0, &cases[0].format, 0, 0, CALLBACK_NULL), MMSYSERR_INVALPARAM);

  ScopedSetting only("DEVICE_SPEAKER_ONLY_FORMAT", "22050,16,2");
  const WAVEFORMATEX fine = Format(22050, 16, 2);
  const WAVEFORMATEX other = Format(8000, 16, 2);
  EXPECT_EQ(waveOutOpen(nullptr, 0, &fine, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutOpen(nullptr, 0, &other, 0, 0, WAVE_FORMAT_QUERY), WAVERR_BADFORMAT);
  ScopedSetting busy("DEVICE_SPEAKER_FAIL", "open");
  HWAVEOUT device = nullptr;
  EXPECT_EQ(waveOutOpen(&device, 0, &fine, 0, 0, CALLBACK_NULL), MMSYSERR_ALLOCATED);
  EXPECT_EQ(device, nullptr);
}

TEST_F(WaveOut, BuffersPlayInOrderAtTheirTimeAndComeBackDone) {
  const WAVEFORMATEX format = Format(8000, 16, 1);  // 1600 bytes last 100 ms
  HWAVEOUT device = OpenWithListener(format);
  Buffer first(1600, 1), second(800, 2);
  ASSERT_EQ(waveOutPrepareHeader(device, &first.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutPrepareHeader(device, &second.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(first.header.dwFlags, WHDR_PREPARED);
  ASSERT_EQ(waveOutWrite(device, &first.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(device, &second.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  // Written while the first buffer plays: the device reads it when it gets there.
  second.data.assign(800, 7);
  clock::Advance(99);
  EXPECT_EQ(first.header.dwFlags & (WHDR_INQUEUE | WHDR_DONE), WHDR_INQUEUE);
  clock::Advance(51);
  EXPECT_EQ(second.header.dwFlags, WHDR_PREPARED | WHDR_DONE);
  ASSERT_EQ(waveOutUnprepareHeader(device, &first.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(first.header.dwFlags, WHDR_DONE);
  ASSERT_EQ(waveOutClose(device), MMSYSERR_NOERROR);

  const std::vector<Note> notes = listener.Take();
  ASSERT_EQ(notes.size(), 4u);
  EXPECT_EQ(notes[0].message, WOM_OPEN);
  EXPECT_EQ(notes[1].message, WOM_DONE);
  EXPECT_EQ(notes[1].header, &first.header);
  EXPECT_EQ(notes[1].tick, 100u);
  EXPECT_EQ(notes[2].header, &second.header);
  EXPECT_EQ(notes[2].tick, 150u);
  EXPECT_EQ(notes[3].message, WOM_CLOSE);

  const std::vector<PlayedBuffer> played = TakePlayedAudio();
  ASSERT_EQ(played.size(), 2u);
  EXPECT_EQ(played[0].startMs, 0u);
  EXPECT_EQ(played[1].startMs, 100u);
  EXPECT_EQ(played[1].bytes, std::vector<std::uint8_t>(800, 7));
  EXPECT_EQ(played[0].format, (ce::media::PcmFormat{1, 8000, 16}));
}

TEST_F(WaveOut, CallbackWritesTheNextBufferWithoutAGap) {
  HWAVEOUT device = OpenWithListener(Format(8000, 8, 1));  // 80 bytes last 10 ms
  listener.requeues = 3;
  Buffer a(80), b(80);
  waveOutPrepareHeader(device, &a.header, sizeof(WAVEHDR));
  waveOutPrepareHeader(device, &b.header, sizeof(WAVEHDR));
  waveOutWrite(device, &a.header, sizeof(WAVEHDR));
  waveOutWrite(device, &b.header, sizeof(WAVEHDR));
  clock::Advance(100);
  std::vector<std::uint64_t> starts;
  for (const PlayedBuffer& p : TakePlayedAudio()) starts.push_back(p.startMs);
  EXPECT_EQ(starts, (std::vector<std::uint64_t>{0, 10, 20, 30, 40}));
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
}

TEST_F(WaveOut, HeaderMisuseIsRefused) {
  HWAVEOUT device = OpenWithListener(Format(8000, 16, 1));
  Buffer buffer(1600);
  EXPECT_EQ(waveOutWrite(device, &buffer.header, sizeof(WAVEHDR)), WAVERR_UNPREPARED);
  EXPECT_EQ(waveOutPrepareHeader(device, &buffer.header, 8), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveOutPrepareHeader(device, nullptr, sizeof(WAVEHDR)), MMSYSERR_INVALPARAM);
  ASSERT_EQ(waveOutPrepareHeader(device, &buffer.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(device, &buffer.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  // A buffer in the queue is not queued twice, unprepared or closed under.
  EXPECT_EQ(waveOutWrite(device, &buffer.header, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveOutUnprepareHeader(device, &buffer.header, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveOutClose(device), WAVERR_STILLPLAYING);
  clock::Advance(100);
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
  // A closed handle, a null one and one of the other direction are refused.
  EXPECT_EQ(waveOutWrite(device, &buffer.header, sizeof(WAVEHDR)), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveOutReset(device), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveOutClose(device), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveOutPause(nullptr), MMSYSERR_INVALHANDLE);
  HWAVEIN in = nullptr;
  const WAVEFORMATEX format = Format(8000, 16, 1);
  ScopedSetting mic("DEVICE_MIC", "tone");  // the device has a microphone only when given one
  ASSERT_EQ(waveInOpen(&in, 0, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutReset(reinterpret_cast<HWAVEOUT>(in)), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
}

TEST_F(WaveOut, ResetReturnsEveryBufferBeforeItReturns) {
  HWAVEOUT device = OpenWithListener(Format(8000, 16, 1));
  Buffer a(1600), b(1600), c(1600);
  for (Buffer* buffer : {&a, &b, &c}) {
    waveOutPrepareHeader(device, &buffer->header, sizeof(WAVEHDR));
    waveOutWrite(device, &buffer->header, sizeof(WAVEHDR));
  }
  clock::Advance(150);
  ASSERT_EQ(waveOutReset(device), MMSYSERR_NOERROR);
  std::vector<Note> notes = listener.Take();
  ASSERT_EQ(notes.size(), 4u);  // open, a at 100 ms, then b and c at once
  EXPECT_EQ(notes[2].header, &b.header);
  EXPECT_EQ(notes[2].tick, 150u);
  EXPECT_EQ(notes[3].header, &c.header);
  EXPECT_EQ(c.header.dwFlags, WHDR_PREPARED | WHDR_DONE);
  // After a reset the next buffer starts from now.
  waveOutWrite(device, &a.header, sizeof(WAVEHDR));
  clock::Advance(100);
  const auto played = TakePlayedAudio();
  ASSERT_EQ(played.size(), 3u);
  EXPECT_EQ(played[2].startMs, 150u);
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
}

TEST_F(WaveOut, PauseHoldsTheBufferUnderWay) {
  HWAVEOUT device = OpenWithListener(Format(8000, 16, 1));
  Buffer a(1600);
  waveOutPrepareHeader(device, &a.header, sizeof(WAVEHDR));
  waveOutWrite(device, &a.header, sizeof(WAVEHDR));
  clock::Advance(40);
  ASSERT_EQ(waveOutPause(device), MMSYSERR_NOERROR);
  clock::Advance(500);
  EXPECT_FALSE(a.header.dwFlags & WHDR_DONE);
  ASSERT_EQ(waveOutRestart(device), MMSYSERR_NOERROR);
  clock::Advance(100);
  const auto notes = listener.Take();
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[1].tick, 600u) << "60 ms were left when it paused";
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
}

// The position is what has been heard: it moves with the clock through the
// buffer under way, holds while paused or starved, and a reset clears it.
TEST_F(WaveOut, PositionCountsWhatHasBeenHeard) {
  HWAVEOUT device = OpenWithListener(Format(8000, 16, 2));  // 3200 bytes last 100 ms
  using Answer = std::pair<UINT, DWORD>;
  const auto position = [&](UINT type) {
    MMTIME time{};
    time.wType = type;
    EXPECT_EQ(waveOutGetPosition(device, &time, sizeof time), MMSYSERR_NOERROR);
    return Answer(time.wType, time.u.cb);
  };
  EXPECT_EQ(position(TIME_SAMPLES), Answer(TIME_SAMPLES, 0));
  Buffer a(3200), b(3200);
  for (Buffer* buffer : {&a, &b}) {
    waveOutPrepareHeader(device, &buffer->header, sizeof(WAVEHDR));
    waveOutWrite(device, &buffer->header, sizeof(WAVEHDR));
  }
  clock::Advance(40);
  EXPECT_EQ(position(TIME_SAMPLES).second, 320u);
  EXPECT_EQ(position(TIME_MS).second, 40u);
  EXPECT_EQ(position(TIME_BYTES).second, 1280u);
  // A format the device does not count in is answered in bytes.
  EXPECT_EQ(position(TIME_SMPTE), Answer(TIME_BYTES, 1280));
  waveOutPause(device);
  clock::Advance(500);
  EXPECT_EQ(position(TIME_MS).second, 40u);
  waveOutRestart(device);
  clock::Advance(120);
  EXPECT_EQ(position(TIME_MS).second, 160u);  // into the second buffer
  clock::Advance(300);
  EXPECT_EQ(position(TIME_MS).second, 200u) << "nothing more is queued";
  waveOutWrite(device, &a.header, sizeof(WAVEHDR));
  clock::Advance(30);
  EXPECT_EQ(position(TIME_MS).second, 230u);
  waveOutReset(device);
  EXPECT_EQ(position(TIME_MS).second, 0u);

  MMTIME time{TIME_MS, {}};
  EXPECT_EQ(waveOutGetPosition(device, nullptr, sizeof time), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveOutGetPosition(device, &time, sizeof time - 1), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutGetPosition(device, &time, sizeof time), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveOutGetPosition(nullptr, &time, sizeof time), MMSYSERR_INVALHANDLE);
}

TEST_F(WaveOut, LoopedBufferPlaysItsCount) {
  HWAVEOUT device = OpenWithListener(Format(8000, 8, 1));
  Buffer a(80);
  a.header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
  a.header.dwLoops = 3;
  waveOutPrepareHeader(device, &a.header, sizeof(WAVEHDR));
  waveOutWrite(device, &a.header, sizeof(WAVEHDR));
  clock::Advance(100);
  EXPECT_EQ(TakePlayedAudio().size(), 3u);
  const auto notes = listener.Take();
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[1].tick, 30u);
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
}

TEST_F(WaveOut, ThreadMessagesCarryHandleAndHeader) {
  const WAVEFORMATEX format = Format(8000, 16, 1);
  HWAVEOUT device = nullptr;
  ASSERT_EQ(waveOutOpen(&device, 0, &format, GetCurrentThreadId(), 0, CALLBACK_THREAD), MMSYSERR_NOERROR);
  Buffer a(160);
  waveOutPrepareHeader(device, &a.header, sizeof(WAVEHDR));
  waveOutWrite(device, &a.header, sizeof(WAVEHDR));
  MSG msg{};
  ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.message, MM_WOM_OPEN);
  EXPECT_EQ(msg.wParam, reinterpret_cast<WPARAM>(device));
  ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.message, MM_WOM_DONE);
  EXPECT_EQ(msg.lParam, reinterpret_cast<LPARAM>(&a.header));
  EXPECT_EQ(GetTickCount(), 10u);
  ASSERT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
  ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.message, MM_WOM_CLOSE);
}

TEST_F(WaveOut, WindowMessagesReachTheWindowProcedure) {
  static std::vector<UINT> seen;
  seen.clear();
  WNDCLASSW wc{};
  wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message >= MM_WOM_OPEN && message <= MM_WOM_DONE) seen.push_back(message);
    return DefWindowProcW(hwnd, message, wParam, lParam);
  };
  wc.lpszClassName = L"WaveOutListener";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND window = CreateWindowExW(0, L"WaveOutListener", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);

  const WAVEFORMATEX format = Format(8000, 16, 1);
  HWAVEOUT device = nullptr;
  ASSERT_EQ(waveOutOpen(&device, 0, &format, reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW),
            MMSYSERR_NOERROR);
  Buffer a(160);
  waveOutPrepareHeader(device, &a.header, sizeof(WAVEHDR));
  waveOutWrite(device, &a.header, sizeof(WAVEHDR));
  MSG msg{};
  while (seen.size() < 2 && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  ASSERT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
  while (seen.size() < 3 && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  EXPECT_EQ(seen, (std::vector<UINT>{MM_WOM_OPEN, MM_WOM_DONE, MM_WOM_CLOSE}));

  EXPECT_EQ(waveOutOpen(&device, 0, &format, 0x12345678, 0, CALLBACK_WINDOW), MMSYSERR_INVALPARAM)
      << "a window that does not exist is refused";
  DestroyWindow(window);
}

TEST_F(WaveOut, EventIsSetForEachNotification) {
  const WAVEFORMATEX format = Format(8000, 16, 1);
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HWAVEOUT device = nullptr;
  ASSERT_EQ(waveOutOpen(&device, 0, &format, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT), MMSYSERR_NOERROR);
  EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);  // open
  Buffer a(1600);
  waveOutPrepareHeader(device, &a.header, sizeof(WAVEHDR));
  waveOutWrite(device, &a.header, sizeof(WAVEHDR));
  EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(a.header.dwFlags & WHDR_DONE);
  EXPECT_EQ(GetTickCount(), 100u);
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
  CloseHandle(event);
}

TEST_F(WaveOut, VolumeIsKeptPerDeviceAndAppliedToTheSpeakerFile) {
  const std::string path = ce::device::Root() + "/speaker.wav";
  ScopedSetting speaker("DEVICE_SPEAKER", path);
  HWAVEOUT device = OpenWithListener(Format(8000, 16, 1));
  DWORD volume = 0;
  ASSERT_EQ(waveOutGetVolume(nullptr, &volume), MMSYSERR_NOERROR);
  EXPECT_EQ(volume, 0xFFFFFFFFu);
  ASSERT_EQ(waveOutSetVolume(device, 0x80008000u), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutGetVolume(nullptr, &volume), MMSYSERR_NOERROR);
  EXPECT_EQ(volume, 0x80008000u) << "the handle's device is device 0";
  EXPECT_EQ(waveOutGetVolume(device, nullptr), MMSYSERR_INVALPARAM);

  Buffer a(4);
  const std::int16_t samples[2] = {10000, -20000};
  std::memcpy(a.data.data(), samples, sizeof samples);
  waveOutPrepareHeader(device, &a.header, sizeof(WAVEHDR));
  waveOutWrite(device, &a.header, sizeof(WAVEHDR));
  clock::Advance(10);
  // A second stream of another format is converted to the file's format.
  HWAVEOUT other = nullptr;
  const WAVEFORMATEX stereo8 = Format(8000, 8, 2);
  ASSERT_EQ(waveOutOpen(&other, 0, &stereo8, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  Buffer b(2);
  b.data = {static_cast<char>(0xC0), static_cast<char>(0xC0)};
  b.header.lpData = b.data.data();
  waveOutPrepareHeader(other, &b.header, sizeof(WAVEHDR));
  waveOutWrite(other, &b.header, sizeof(WAVEHDR));
  clock::Advance(10);
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(other), MMSYSERR_NOERROR);
  waveOutSetVolume(nullptr, 0xFFFFFFFFu);

  const auto played = TakePlayedAudio();
  ASSERT_EQ(played.size(), 2u);
  EXPECT_EQ(played[0].volume, 0x80008000u);
  EXPECT_EQ(std::memcmp(played[0].bytes.data(), samples, 4), 0) << "the record keeps the bytes as written";
  std::FILE* file = std::fopen(path.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  std::vector<std::uint8_t> image(100);
  image.resize(std::fread(image.data(), 1, image.size(), file));
  std::fclose(file);
  const auto wav = ce::media::ParseWav(image.data(), image.size());
  ASSERT_TRUE(wav);
  EXPECT_EQ(wav->format, (ce::media::PcmFormat{1, 8000, 16}));
  ASSERT_EQ(wav->dataSize, 6u);
  std::int16_t heard[3];
  std::memcpy(heard, image.data() + wav->dataOffset, sizeof heard);
  EXPECT_EQ(heard[0], 10000 * 0x8000 / 0xFFFF);
  EXPECT_EQ(heard[1], -20000 * 0x8000 / 0xFFFF);
  EXPECT_EQ(heard[2], 16384 * 0x8000 / 0xFFFF) << "8-bit stereo 0xC0 becomes 16-bit mono 16384, at the device volume";
}

}  // namespace

namespace {

// The SDL back end on SDL's silent "dummy" driver: the same pacing and
// notifications, with the bytes handed to the host.
TEST(WaveSdl, PlaysAndRecordsThroughTheHostDriver) {
  ce::test::ScopedSetting backend("DEVICE_BACKEND", "sdl");
  ce::test::ScopedSetting driver("SDL_AUDIODRIVER", "dummy");
  ce::media::ResetBackend();
  (void)TakePlayedAudio();  // what tests before this one left in the headless speaker
  clock::UseVirtualClock(0, kStart2010);
  const WAVEFORMATEX format = Format(8000, 16, 1);
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HWAVEOUT out = nullptr;
  ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT),
            MMSYSERR_NOERROR);
  Buffer a(1600);
  waveOutPrepareHeader(out, &a.header, sizeof(WAVEHDR));
  waveOutWrite(out, &a.header, sizeof(WAVEHDR));
  while (!(a.header.dwFlags & WHDR_DONE)) WaitForSingleObject(event, INFINITE);
  EXPECT_EQ(GetTickCount(), 100u);
  EXPECT_TRUE(TakePlayedAudio().empty()) << "the headless speaker heard nothing";
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
  HWAVEIN in = nullptr;
  const MMRESULT opened = waveInOpen(&in, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT);
  if (opened == MMSYSERR_NOERROR) {
    Buffer b(160);
    waveInPrepareHeader(in, &b.header, sizeof(WAVEHDR));
    waveInAddBuffer(in, &b.header, sizeof(WAVEHDR));
    waveInStart(in);
    while (!(b.header.dwFlags & WHDR_DONE)) WaitForSingleObject(event, INFINITE);
    EXPECT_EQ(b.header.dwBytesRecorded, 160u);
    EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
  }
  CloseHandle(event);
  ce::media::ResetBackend();
}

}  // namespace
