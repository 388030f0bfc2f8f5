// The back end's sound (backend/audio.h) as the wave devices see it: its
// interface, under the media area's names, and the one chosen for the
// device.
#pragma once

#include "backend/audio.h"

namespace ce::media {

using backend::ApplyVolume;
using backend::AudioBackend;
using backend::AudioSink;
using backend::AudioSource;
using backend::ConvertPcm;
using backend::DeviceInfo;
using backend::PcmFormat;

// The back end chosen by the device setting "backend", made on first use.
AudioBackend& Backend();
// Forgets the back end so the next use reads the settings again (tests).
void ResetBackend();

}  // namespace ce::media
