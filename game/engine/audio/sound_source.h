// Sound sources: what feeds the audio device's output stream. The base
// source is a streaming source of silence; the application attaches one at
// start-up so the output stream runs and carries the sound effects. Derived
// sources (the movie's sound track) override opening, reading and rewinding.
#pragma once

#include <cstdint>

#include "ce/mmsystem.h"

class ssAudioDevice;

class ssSoundSource {
 public:
  ssSoundSource() = default;
  // Leaves the device it is attached to, so the device never keeps a
  // pointer to a source that is gone.
  virtual ~ssSoundSource();
  ssSoundSource(const ssSoundSource&) = delete;
  ssSoundSource& operator=(const ssSoundSource&) = delete;

  // Two operations with nothing to do (the second is the application's
  // "initialise").
  virtual int Reserved() { return 0; }
  virtual int Init() { return 0; }
  // Both mark the source streaming at 16 bits, hand their arguments to the
  // opening hook, then set the rate to 8000 Hz. Return 0.
  virtual int OpenFile(const WCHAR* name, const void* location);
  virtual int OpenStream(void* stream, const void* arguments);
  virtual void Close() {}
  // Stores the volume (0 to 10) and, when attached, hands it to the device.
  virtual int SetVolume(int volume);
  virtual int GetVolume() { return m_Volume; }
  // Fills `length` bytes for a device playing at `rate` Hz and `bits` bits;
  // 0, or an error that ends the device's refill. The base gives silence.
  virtual int Read(std::uint8_t* buffer, std::uint32_t length, std::uint32_t rate, std::uint32_t bits);
  virtual int Rewind();

  // Set by the device.
  ssAudioDevice* m_Device = nullptr;  // the device attached to, or null
  HWAVEOUT m_WaveOut = nullptr;       // the device's wave-out handle

  bool m_Open = false;
  bool m_Streaming = true;  // a streaming source becomes the device's stream source
  bool m_Playing = false;   // set by the device's Start
  bool m_Attached = false;

  std::uint32_t m_Bits = 16;             // bits per sample
  std::uint32_t m_Rate = 8000;           // Hz
  std::uint32_t m_Mode = 7;              // channel or mode word
  std::uint32_t m_BlockLength = 1024;    // bytes; the device's blocks are 5 of these
  int m_Volume = 0;                      // 0 to 10
  std::uint32_t m_State[3] = {0, 0, 0};  // for derived sources

 protected:
  // What opening does for the source's kind; the base only rewinds.
  virtual int OpenHook(const void* first, const void* second);
};
