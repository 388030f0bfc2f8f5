// Loading the game's thirteen sound effects (game_sound_set.h) into the
// audio device. Archive reading belongs to the data layer; it reaches this
// code through MemberReader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/audio/audio_device.h"
#include "simulation/game_sound_set.h"

// Reads a whole archive member (lower-case 8-bit name) into `bytes`; false
// when it is missing.
class MemberReader {
 public:
  virtual ~MemberReader() = default;
  virtual bool ReadMember(const char* name, std::vector<std::uint8_t>& bytes) = 0;
};

// Hands one member's samples to the device as 1 channel, 8 bits, 8000 Hz.
// The sample count is the header's data size (byte 40), cut to the bytes the
// member holds; a member shorter than its header loads nothing and gives -1.
// Otherwise the device's LoadEffect result.
int LoadGameSound(ssAudioDevice& device, std::span<const std::uint8_t> member);

// Loads the thirteen effects in order; the count loaded. A missing or short
// member still takes its effect number (as an empty effect), so the numbers
// of the others do not move.
int LoadGameSounds(ssAudioDevice& device, MemberReader& reader);
