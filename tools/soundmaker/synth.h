// Synthesis of the game's sound effects: short 8-bit mono sounds at 8000 Hz
// (the format the game's effect loader expects), made from decaying
// resonances and noise with a fixed seed, so every build makes the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace soundmaker {

struct Sound {
  std::string name;                   // the archive member name, e.g. "b_med.wav"
  std::vector<std::uint8_t> samples;  // unsigned 8-bit, 128 is silence
};

inline constexpr unsigned kRate = 8000;

// The thirteen effects in the game's loading order.
std::vector<Sound> MakeGameSounds();

// The whole file: the canonical 44-byte header, then the samples.
std::vector<std::uint8_t> WavFile(const std::vector<std::uint8_t>& samples);

}  // namespace soundmaker
