#include "audio_device.h"

#include "sound_source.h"

int ssAudioDevice::AttachSource(ssSoundSource* source) {
  if (source) source->m_Device = this;
  return 0;
}
