#include "engine/audio/audio_device.h"

#include "engine/audio/sound_source.h"

int ssAudioDevice::AttachSource(ssSoundSource* source) {
  if (source) source->m_Device = this;
  return 0;
}
