#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "ce/mmsystem.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "kernel/clock.h"
#include "kernel/device.h"
#include "media/wav_file.h"
#include "scoped_setting.h"

namespace {

namespace clock = ce::kernel::clock;
using ce::test::ScopedSetting;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;
const WAVEFORMATEX kMono16 = {WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};  // 1600 bytes last 100 ms

struct Buffer {
  explicit Buffer(std::size_t bytes) : data(bytes, 'x') {
    header.lpData = data.data();
    header.dwBufferLength = static_cast<DWORD>(bytes);
  }
  // A copy has a header of its own over its own bytes.
  Buffer(const Buffer& other) : Buffer(other.data.size()) {}
  Buffer& operator=(const Buffer&) = delete;
  std::int16_t Sample(std::size_t i) const {
    std::int16_t v = 0;
    std::memcpy(&v, data.data() + 2 * i, 2);
    return v;
  }
  std::vector<char> data;
  WAVEHDR header{};
};

class WaveIn : public ::testing::Test {
 protected:
  void SetUp() override { clock::UseVirtualClock(0, kStart2010); }

  // A desktop has no microphone of its own: the tests ask for the tone.
  ScopedSetting tone_{"DEVICE_MIC", "tone"};

  HWAVEIN OpenToThisThread(const WAVEFORMATEX& format = kMono16) {
    HWAVEIN device = nullptr;
    EXPECT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, GetCurrentThreadId(), 0, CALLBACK_THREAD), MMSYSERR_NOERROR);
    MSG msg{};
    EXPECT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, MM_WIM_OPEN);
    return device;
  }
  void Queue(HWAVEIN device, std::vector<Buffer>& buffers) {
    for (Buffer& b : buffers) {
      ASSERT_EQ(waveInPrepareHeader(device, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
      ASSERT_EQ(waveInAddBuffer(device, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
  }
  // The next MM_WIM_DATA, with the tick it arrived at.
  WAVEHDR* NextData(DWORD* tick = nullptr) {
    MSG msg{};
    EXPECT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, MM_WIM_DATA);
    if (tick) *tick = GetTickCount();
    return reinterpret_cast<WAVEHDR*>(msg.lParam);
  }
  void CloseAfterReset(HWAVEIN device) {
    ASSERT_EQ(waveInReset(device), MMSYSERR_NOERROR);
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {}
    ASSERT_EQ(waveInClose(device), MMSYSERR_NOERROR);
    ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, MM_WIM_CLOSE);
  }
};

TEST_F(WaveIn, BuffersFillInTurnWithTheGeneratedSignal) {
  EXPECT_EQ(waveInGetNumDevs(), 1u);
  WAVEINCAPSW caps{};
  EXPECT_EQ(waveInGetDevCaps(0, &caps, sizeof caps), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInGetDevCaps(2, &caps, sizeof caps), MMSYSERR_BADDEVICEID);

  HWAVEIN device = OpenToThisThread();
  std::vector<Buffer> buffers(3, Buffer(1600));
  Queue(device, buffers);
  clock::Advance(500);  // nothing is recorded before the start
  EXPECT_EQ(buffers[0].header.dwFlags, WHDR_PREPARED | WHDR_INQUEUE);
  ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
  DWORD tick = 0;
  for (int i = 0; i < 3; ++i) {
    WAVEHDR* header = NextData(&tick);
    EXPECT_EQ(header, &buffers[i].header);
    EXPECT_EQ(tick, 600u + 100u * i);
    EXPECT_EQ(header->dwBytesRecorded, 1600u);
    EXPECT_EQ(header->dwFlags, WHDR_PREPARED | WHDR_DONE);
  }
  // A 440 Hz sine at a quarter of full scale, continuing across buffers.
  for (std::size_t frame : {std::size_t{1}, std::size_t{5}, std::size_t{801}}) {
    const std::size_t b = frame / 800;
    const double expected = 8192.0 * std::sin(2.0 * std::numbers::pi * 440.0 * static_cast<double>(frame) / 8000.0);
    EXPECT_EQ(buffers[b].Sample(frame % 800), static_cast<std::int16_t>(std::lround(expected))) << frame;
  }
  CloseAfterReset(device);
}

TEST_F(WaveIn, StopReturnsTheBufferUnderWayAndKeepsTheRest) {
  HWAVEIN device = OpenToThisThread();
  std::vector<Buffer> buffers(3, Buffer(1600));
  Queue(device, buffers);
  waveInStart(device);
  clock::Advance(150);
  EXPECT_EQ(NextData(), &buffers[0].header);
  ASSERT_EQ(waveInStop(device), MMSYSERR_NOERROR);
  WAVEHDR* cut = NextData();
  EXPECT_EQ(cut, &buffers[1].header);
  EXPECT_EQ(cut->dwBytesRecorded, 800u) << "50 ms of 8 kHz 16-bit mono";
  EXPECT_EQ(buffers[2].header.dwFlags, WHDR_PREPARED | WHDR_INQUEUE);
  // Stopped: nothing more comes until a start.
  clock::Advance(1000);
  MSG msg{};
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(waveInStop(device), MMSYSERR_NOERROR) << "stopping twice is harmless";
  waveInStart(device);
  DWORD tick = 0;
  EXPECT_EQ(NextData(&tick), &buffers[2].header);
  EXPECT_EQ(tick, 1250u);
  CloseAfterReset(device);
}

TEST_F(WaveIn, ResetReturnsEveryBuffer) {
  HWAVEIN device = OpenToThisThread();
  std::vector<Buffer> buffers(4, Buffer(1600));
  Queue(device, buffers);
  EXPECT_EQ(waveInClose(device), WAVERR_STILLPLAYING);
  waveInStart(device);
  clock::Advance(30);
  ASSERT_EQ(waveInReset(device), MMSYSERR_NOERROR);
  std::vector<DWORD> recorded;
  for (int i = 0; i < 4; ++i) recorded.push_back(NextData()->dwBytesRecorded);
  EXPECT_EQ(recorded, (std::vector<DWORD>{480, 0, 0, 0}));
  for (const Buffer& b : buffers) EXPECT_EQ(b.header.dwFlags, WHDR_PREPARED | WHDR_DONE);
  EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
  MSG msg{};
  ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.message, MM_WIM_CLOSE);
}

TEST_F(WaveIn, MicrophoneFileIsReadInTheAskedFormatThenSilence) {
  // 8-bit mono at 4 kHz: a ramp 0x80, 0x90, ... of 4 samples.
  const std::string path = ce::device::Root() + "/mic.wav";
  std::vector<std::uint8_t> image(44);
  const std::uint8_t samples[] = {0x80, 0x90, 0xA0, 0xB0};
  ce::media::WriteWavHeader(image.data(), ce::media::PcmFormat{1, 4000, 8}, sizeof samples);
  image.insert(image.end(), std::begin(samples), std::end(samples));
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(image.data(), 1, image.size(), file);
  std::fclose(file);
  ScopedSetting mic("DEVICE_MIC", path);

  HWAVEIN device = OpenToThisThread();  // 16-bit mono at 8 kHz
  std::vector<Buffer> buffers(1, Buffer(24));
  Queue(device, buffers);
  waveInStart(device);
  NextData();
  const std::int16_t expected[] = {0, 0, 4096, 4096, 8192, 8192, 12288, 12288, 0, 0, 0, 0};
  for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(buffers[0].Sample(i), expected[i]) << i;
  CloseAfterReset(device);
}

TEST_F(WaveIn, AbsentFailingAndSilentMicrophones) {
  for (const char* setting : {"DEVICE_MIC", "DEVICE_MIC_DEVICES"}) {
    ScopedSetting none(setting, std::string(setting) == "DEVICE_MIC" ? "" : "0");
    HWAVEIN device = nullptr;
    EXPECT_EQ(waveInGetNumDevs(), 0u) << setting;
    EXPECT_EQ(waveInOpen(&device, WAVE_MAPPER, &kMono16, 0, 0, CALLBACK_NULL), MMSYSERR_NODRIVER) << setting;
    EXPECT_EQ(waveInOpen(&device, 0, &kMono16, 0, 0, CALLBACK_NULL), MMSYSERR_NODRIVER) << setting;
    EXPECT_EQ(device, nullptr);
  }
  {
    ScopedSetting fail("DEVICE_MIC_FAIL", "open");
    HWAVEIN device = nullptr;
    EXPECT_EQ(waveInOpen(&device, WAVE_MAPPER, &kMono16, 0, 0, CALLBACK_NULL), MMSYSERR_ALLOCATED);
    EXPECT_EQ(device, nullptr);
  }
  ScopedSetting silence("DEVICE_MIC", "silence");
  HWAVEIN device = OpenToThisThread();
  std::vector<Buffer> buffers(1, Buffer(16));
  EXPECT_EQ(waveInAddBuffer(device, &buffers[0].header, sizeof(WAVEHDR)), WAVERR_UNPREPARED);
  Queue(device, buffers);
  waveInStart(device);
  NextData();
  EXPECT_EQ(buffers[0].data, std::vector<char>(16, 0));
  CloseAfterReset(device);
}

// A function callback that hands each filled buffer straight back.
struct Requeue {
  int filled = 0;
};
void CALLBACK RequeueCallback(HANDLE device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
  if (message != WIM_DATA) return;
  auto* header = reinterpret_cast<WAVEHDR*>(param1);
  auto* state = reinterpret_cast<Requeue*>(instance);
  if (header->dwBytesRecorded == 0) return;  // the reset's return
  if (++state->filled < 5) waveInAddBuffer(static_cast<HWAVEIN>(device), header, sizeof(WAVEHDR));
}

TEST_F(WaveIn, CallbackAddsTheBufferBack) {
  Requeue state;
  HWAVEIN device = nullptr;
  ASSERT_EQ(waveInOpen(&device, 0, &kMono16, reinterpret_cast<DWORD_PTR>(RequeueCallback),
                       reinterpret_cast<DWORD_PTR>(&state), CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  Buffer buffer(160);
  waveInPrepareHeader(device, &buffer.header, sizeof(WAVEHDR));
  waveInAddBuffer(device, &buffer.header, sizeof(WAVEHDR));
  waveInStart(device);
  clock::Advance(200);
  EXPECT_EQ(state.filled, 5);
  EXPECT_EQ(waveInReset(device), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInUnprepareHeader(device, &buffer.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
}

}  // namespace
