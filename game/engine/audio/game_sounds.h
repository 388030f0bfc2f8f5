// The game's thirteen sound effects: their member names in the user
// interface archive, and loading one member (a canonical 44-byte WAV header,
// then 8-bit mono samples at 8000 Hz) into the audio device. Archive reading
// belongs to the data layer; it reaches this code through MemberReader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/audio/audio_device.h"

inline constexpr std::size_t kGameSoundCount = 13;
// Effect n is loaded n-th: 0 the rack, then ball-ball (1-3), cushion (4-6),
// rail (7-9) and pocket (10-12) sounds, each soft, medium and hard.
inline constexpr const char* kGameSoundNames[kGameSoundCount] = {
    "rack.wav",   "b_easy.wav", "b_med.wav",  "b_hard.wav", "c_easy.wav", "c_med.wav", "c_hard.wav",
    "r_easy.wav", "r_med.wav",  "r_hard.wav", "p_easy.wav", "p_med.wav",  "p_hard.wav"};

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
