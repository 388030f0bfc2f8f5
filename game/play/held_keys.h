// Held keys in play: the frame tick polls the keys of the key map, and a
// held one makes the tick a key-down of that key, so that a held key acts
// once a tick at the play control's own rate (turning the aim, moving the
// view or the ball, pulling the stick back), whatever the host's key
// repeat. The host's auto-repeat of those keys is dropped for that reason.
// The game's window procedure and the table demos share this path.
#pragma once

#include <cstdint>
#include <span>

namespace ks::play {

// The key the frame tick turns into a key-down: of the key map's key codes
// above 13 that `held(code)` says are down, the last in key-map order; 0
// when none is.
template <typename Held>
std::uint8_t PolledKey(std::span<const std::uint8_t, 32> keys, Held&& held) {
  std::uint8_t last = 0;
  for (const std::uint8_t key : keys)
    if (key > 13 && held(key)) last = key;
  return last;
}

// True for a key-down the host repeats for a key that was down already
// (bit 30 of its second parameter) when the tick polls that key: it is
// dropped, the tick gives the key-downs of a held key.
inline bool IsPolledRepeat(std::span<const std::uint8_t, 32> keys, std::uint32_t key, std::uint32_t flags) {
  if ((flags & (1u << 30)) == 0 || key <= 13 || key > 0xFF) return false;
  for (const std::uint8_t k : keys)
    if (k == key) return true;
  return false;
}

}  // namespace ks::play
