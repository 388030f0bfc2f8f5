// The game's audio device over wave-out: one continuous output stream, a
// ring of 16 blocks filled on the window thread from the streaming source
// (silence in play), into which short effects are mixed at the moment they
// are due. The wave-out callback runs on the platform's audio thread and only
// writes the next prepared block; filling and mixing stay on the window
// thread, up to 14 blocks ahead.
//
// Block numbers: blocks are numbered in the order they are filled since the
// stream started; block n sits in ring slot n mod 16 and is the (n + 1)-th
// block written to wave-out. An effect's time origin is the start of block
// (written - 1), the block queued behind the one playing; its delay places it
// that many 4 ms units later.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "ce/mmsystem.h"
#include "ce/winbase.h"
#include "engine/audio/audio_device.h"

class ssAudioWaveOut : public ssAudioDevice {
 public:
  static constexpr int kRingBlocks = 16;
  static constexpr int kFillAhead = kRingBlocks - 2;  // blocks filled but not yet written, at most
  static constexpr std::uint32_t kVolumeStep = 6553;  // one step of the 0..10 volume in wave-out units

  ssAudioWaveOut();
  ~ssAudioWaveOut() override;

  int GetDeviceCaps(std::uintptr_t word) override;
  int Open(std::uint32_t queryFlag) override;
  int LoadEffect(const void* data, std::uint32_t samples, std::uint32_t channels, std::uint32_t bits,
                 std::uint32_t rate, int convert) override;
  int PlayEffect(int effect, int delay) override;
  int SetVolume(int volume, ssSoundSource* source = nullptr) override;
  int GetVolume() override;
  int FillBlock() override;
  int AttachSource(ssSoundSource* source) override;
  int PlaySource(ssSoundSource* source) override;
  int DetachSource(ssSoundSource* source) override;
  int StopSource(ssSoundSource* source) override;
  int Pause(bool on) override;
  bool Paused() const override { return m_Paused; }

  // Around losing and regaining the focus.
  void Stop();
  void Start();

  // What the device is doing, for the application and tests.
  bool IsOpen() const { return m_WaveOut != nullptr; }
  std::uint32_t BlockSize() const { return m_BlockSize; }
  std::uint32_t Pending() const { return m_Pending; }
  std::uint32_t Written() const { return m_Written; }
  std::uint32_t Filled() const { return m_Filled; }
  std::size_t PlayingEffects() const { return m_Playing.size(); }
  // Attached sources (the stream source, when there is one, among them).
  std::size_t SourceCount() const {
    return static_cast<std::size_t>(std::count_if(m_Sources.begin(), m_Sources.end(), [](auto* s) { return s; }));
  }
  ssSoundSource* Source(std::size_t i) const { return i < m_Sources.size() ? m_Sources[i] : nullptr; }
  std::uint32_t Rate() const { return m_Rate; }

  static void CALLBACK WaveCallback(HANDLE waveOut, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                    DWORD_PTR param2);

 private:
  struct Block {
    WAVEHDR header{};
    std::vector<std::uint8_t> data;
  };
  struct Effect {
    WAVEHDR header{};
    std::vector<std::uint8_t> data;  // 16-bit stereo in the device's format
    bool prepared = false;
  };
  // One effect under way in the stream.
  struct PlayingEffect {
    std::uint32_t startBlock;  // block number where it begins
    std::int32_t startOffset;  // byte offset in that block; negative once finished
    std::int32_t bytesLeft;
    const std::uint8_t* cursor;
    std::uint8_t flag;
    std::uint32_t user;
  };
  static constexpr std::int32_t kFinished = static_cast<std::int32_t>(0xF0000000u);

  int OpenRing(std::uint32_t rate, std::uint32_t bits, std::uint32_t channels, std::uint32_t blockLength);
  void FreeRing();
  void CloseDevice();
  void StartEffect(const Effect& effect, int delay);
  // Mixes from the effect's cursor into a block from byte `offset`; returns
  // the bytes mixed.
  static std::uint32_t MixInto(PlayingEffect& effect, std::uint8_t* block, std::uint32_t offset,
                               std::uint32_t blockSize);
  void WriteNextBlock();
  static void SetSystemVolume(HWAVEOUT waveOut, std::uint32_t level);

  HWAVEOUT m_WaveOut = nullptr;
  std::uintptr_t m_CallerWord = 0;  // handed to GetDeviceCaps; kept, never read
  WAVEOUTCAPSW m_Caps{};
  UINT m_DeviceCount = 0;
  WAVEFORMATEX m_Format{};

  int m_SavedVolume = 10;  // read from the system at Open
  int m_Volume = 10;

  std::vector<std::unique_ptr<Effect>> m_Effects;

  std::vector<Block> m_Ring;
  std::uint32_t m_BlockSize = 2304;
  std::uint32_t m_FillIndex = 0;
  std::uint32_t m_WriteIndex = 0;
  std::uint32_t m_Pending = 0;
  std::uint32_t m_Written = 0;
  std::uint64_t m_BytesWritten = 0;
  std::uint32_t m_Filled = 0;

  std::vector<PlayingEffect> m_Playing;
  std::vector<ssSoundSource*> m_Sources;  // entry 0: the stream source, or null

  bool m_Running = false;
  bool m_Accepting = false;
  bool m_Paused = false;
  // Polled by Stop without the lock while the callback counts it down.
  std::atomic<int> m_Drain{0};
};
