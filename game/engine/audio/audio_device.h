// The game's audio device interface. Its own operations do nothing and
// return 0, except AttachSource, which records the device in the source.
#pragma once

#include <cstdint>

class ssSoundSource;

class ssAudioDevice {
 public:
  ssAudioDevice() = default;
  virtual ~ssAudioDevice() = default;
  ssAudioDevice(const ssAudioDevice&) = delete;
  ssAudioDevice& operator=(const ssAudioDevice&) = delete;

  virtual int GetDeviceCaps(std::uintptr_t word) {
    (void)word;
    return 0;
  }
  virtual int Open(std::uint32_t queryFlag) {
    (void)queryFlag;
    return 0;
  }
  // data: `samples` frames of `channels` x `bits`-bit PCM at `rate` Hz.
  virtual int LoadEffect(const void* data, std::uint32_t samples, std::uint32_t channels, std::uint32_t bits,
                         std::uint32_t rate, int convert) {
    (void)data, (void)samples, (void)channels, (void)bits, (void)rate, (void)convert;
    return 0;
  }
  // delay: in 4 ms units.
  virtual int PlayEffect(int effect, int delay) {
    (void)effect, (void)delay;
    return 0;
  }
  virtual int PlaySound(int sound) {
    (void)sound;
    return 0;
  }
  virtual int SetVolume(int volume, ssSoundSource* source = nullptr) {
    (void)volume, (void)source;
    return 0;
  }
  virtual int GetVolume() { return 0; }
  virtual int FillBlock() { return 0; }
  virtual int AttachSource(ssSoundSource* source);
  virtual int PlaySource(ssSoundSource* source) {
    (void)source;
    return 0;
  }
  virtual int DetachSource(ssSoundSource* source) {
    (void)source;
    return 0;
  }
  virtual int StopSource(ssSoundSource* source) {
    (void)source;
    return 0;
  }
  virtual int Pause(bool on) {
    (void)on;
    return 0;
  }
  // Whether refills take silence instead of the stream source (Pause).
  virtual bool Paused() const { return false; }

 protected:
  std::uint32_t m_Channels = 2;
  std::uint32_t m_Bits = 16;
  std::uint32_t m_Rate = 22050;
  std::uint32_t m_DeviceId = 0xFFFF;  // none
};
