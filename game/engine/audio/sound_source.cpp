#include "engine/audio/sound_source.h"

#include <cstring>

#include "engine/audio/audio_device.h"

ssSoundSource::~ssSoundSource() {
  if (m_Device) m_Device->DetachSource(this);
}

int ssSoundSource::OpenFile(const WCHAR* name, const void* location) {
  m_Streaming = true;
  m_Bits = 16;
  OpenHook(name, location);
  m_Rate = 8000;
  return 0;
}

int ssSoundSource::OpenStream(void* stream, const void* arguments) {
  m_Streaming = true;
  m_Bits = 16;
  OpenHook(stream, arguments);
  m_Rate = 8000;
  return 0;
}

int ssSoundSource::OpenHook(const void*, const void*) { return Rewind(); }

int ssSoundSource::SetVolume(int volume) {
  m_Volume = volume;
  if (m_Device) m_Device->SetVolume(volume, this);
  return 0;
}

int ssSoundSource::Read(std::uint8_t* buffer, std::uint32_t length, std::uint32_t, std::uint32_t) {
  if (buffer) std::memset(buffer, 0, length);
  return 0;
}

int ssSoundSource::Rewind() {
  m_BlockLength = 1024;
  m_Bits = 16;
  return 0;
}
