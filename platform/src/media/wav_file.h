// The WAV files the devices play and the headless microphone reads, read
// and written by the back end (backend/wav_file.h); the wave devices use
// its names as their own.
#pragma once

#include "backend/wav_file.h"
#include "media/audio_backend.h"

namespace ce::media {

using backend::IsSupportedFormat;
using backend::ParseWav;
using backend::WavImage;
using backend::WriteWavHeader;

}  // namespace ce::media
