// The movies' sound tracks as Ogg Vorbis files, through libvorbisenc.
//
// Kept apart from the video writer: the game's integer Vorbis decoder
// defines the same symbols as the reference library, so a program must
// never link both. The game's tests read sound tracks that moviemake wrote
// at build time instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace moviemake {

// Mono 16-bit samples as an Ogg Vorbis file; empty with `error` set when
// the encoder refuses. quality: -0.1 to 1.0.
std::vector<std::uint8_t> EncodeVorbis(const std::vector<std::int16_t>& samples, int rate, float quality,
                                       std::string* error);

}  // namespace moviemake
