// The quick-play save "ksQPSave.usr" (2,892 bytes): the marker 0x101010, a
// reserved word, the 776-byte table state, the match set-up at 784 and
// reserved bytes to the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "match_setup.h"

namespace ks::app {

inline constexpr std::uint32_t kQuickPlayMarker = 0x101010;
inline constexpr std::size_t kQuickPlayFileSize = 2892;
inline constexpr std::size_t kQuickPlayStateAt = 8;
inline constexpr std::size_t kQuickPlayStateSize = 776;
inline constexpr std::size_t kQuickPlaySetupAt = 784;

struct QuickPlaySave {
  std::vector<std::uint8_t> state;  // the table state, kQuickPlayStateSize bytes
  MatchSetup setup;
};

std::vector<std::uint8_t> SerialiseQuickPlay(const QuickPlaySave& save);
// The save in `bytes`, or nothing when the size, the marker or the set-up is
// wrong (the table state is checked by the table when it reads it).
std::optional<QuickPlaySave> ParseQuickPlay(const std::vector<std::uint8_t>& bytes);

}  // namespace ks::app
