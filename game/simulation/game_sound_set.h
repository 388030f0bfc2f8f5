// The game's thirteen sound effects and the one routine that loads them, for
// the audio device and the table simulation alike. Header only and free of
// platform calls; it lives with the simulation, the lowest layer, so the
// simulation needs nothing from the engine above it.
//
// Each effect is an archive member: a canonical 44-byte WAV header whose
// 32-bit word at byte 40 is the data size, then 8-bit mono samples at
// 8000 Hz. Effect n is the n-th member loaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

inline constexpr std::size_t kGameSoundCount = 13;
// Effect n is loaded n-th: 0 the rack, then ball-ball (1-3), cushion (4-6),
// rail (7-9) and pocket (10-12) sounds, each soft, medium and hard.
inline constexpr const char* kGameSoundNames[kGameSoundCount] = {
    "rack.wav",   "b_easy.wav", "b_med.wav",  "b_hard.wav", "c_easy.wav", "c_med.wav", "c_hard.wav",
    "r_easy.wav", "r_med.wav",  "r_hard.wav", "p_easy.wav", "p_med.wav",  "p_hard.wav"};
inline constexpr std::size_t kGameSoundHeaderBytes = 44;

// The samples of one member: as many as the header's data size says, cut to
// the bytes the member holds. False when the member is shorter than its header.
inline bool GameSoundSamples(std::span<const std::uint8_t> member, std::span<const std::uint8_t>& samples) {
  if (member.size() < kGameSoundHeaderBytes) return false;
  const std::uint32_t declared = static_cast<std::uint32_t>(member[40]) | static_cast<std::uint32_t>(member[41]) << 8 |
                                 static_cast<std::uint32_t>(member[42]) << 16 |
                                 static_cast<std::uint32_t>(member[43]) << 24;
  const std::size_t present = member.size() - kGameSoundHeaderBytes;
  samples = member.subspan(kGameSoundHeaderBytes, declared < present ? declared : present);
  return true;
}

// Loads the thirteen effects in order. `read(name, bytes)` fills `bytes` with
// a whole member and says whether it was there; `load(data, samples)` hands
// samples to the player and gives 0 when it took them. A missing or short
// member is loaded as an empty (silent) effect, so every later effect keeps
// its number. Returns the effects loaded with their samples.
template <class Read, class Load>
int LoadGameSoundSet(Read&& read, Load&& load) {
  int loaded = 0;
  std::vector<std::uint8_t> bytes;
  for (const char* name : kGameSoundNames) {
    bytes.clear();
    std::span<const std::uint8_t> samples;
    if (read(name, bytes) && GameSoundSamples(bytes, samples)) {
      if (load(samples.data(), static_cast<std::uint32_t>(samples.size())) == 0) ++loaded;
    } else {
      load(static_cast<const std::uint8_t*>(nullptr), std::uint32_t{0});
    }
  }
  return loaded;
}
