// The preferences file "ksPref.dat" (140 bytes): the 104-byte preferences
// block, the version word (its high half 0xA7C4) and the 32-byte key map.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ks::app {

inline constexpr std::size_t kPrefsBlockSize = 104;
inline constexpr std::size_t kKeyMapSize = 32;
inline constexpr std::size_t kPrefsFileSize = kPrefsBlockSize + 4 + kKeyMapSize;  // 140
inline constexpr std::uint16_t kPrefsMagic = 5648;
inline constexpr std::uint32_t kPrefsVersion = 0xA7C40000u;

// Byte offsets of the preferences block that the game reads.
namespace pref {
inline constexpr std::size_t kPlayerOne = 2;
inline constexpr std::size_t kOpponent = 3;
inline constexpr std::size_t kPointGoal = 4;
inline constexpr std::size_t kGameGoal = 5;
inline constexpr std::size_t kMenuGame = 6;
inline constexpr std::size_t kSecondPlayer = 7;
inline constexpr std::size_t kRoom = 8;
inline constexpr std::size_t kMusic = 9;
inline constexpr std::size_t kEffectsVolume = 10;
inline constexpr std::size_t kStrokeFactor = 12;
inline constexpr std::size_t kLastCareer = 13;
inline constexpr std::size_t kLastRoom = 14;
inline constexpr std::size_t kRoomGraphics = 15;
inline constexpr std::size_t kVolume = 16;
inline constexpr std::size_t kShowWelcome = 17;
inline constexpr std::size_t kUserView = 18;
inline constexpr std::size_t kAdversaryView = 19;
inline constexpr std::size_t kBestLevel = 20;
inline constexpr std::size_t kQuickPlaySaved = 21;
inline constexpr std::size_t kRenderMethod = 36;  // u32, bits 0-2
inline constexpr std::size_t kOrientation = 40;
}  // namespace pref

struct Prefs {
  std::array<std::uint8_t, kPrefsBlockSize> block{};
  std::uint32_t version = kPrefsVersion;
  std::array<std::uint8_t, kKeyMapSize> keys{};

  std::uint8_t& operator[](std::size_t offset) { return block[offset]; }
  std::uint8_t operator[](std::size_t offset) const { return block[offset]; }
  std::uint32_t RenderMethod() const;
  void SetRenderMethod(std::uint32_t method);

  // The defaults of the block (bytes 41 to 103 are left as they are).
  void Defaults();
  // The default key map; `gapi` holds the device's Up, Down, Left, Right and
  // Start keys.
  void DefaultKeys(const std::array<std::uint8_t, 5>& gapi);
  // Values that index tables or lists are brought into range; true when
  // something had to change.
  bool Sanitise();

  std::vector<std::uint8_t> Serialise() const;
};

enum class PrefsParse {
  kOk,         // block and key map read
  kKeysReset,  // the block read, the key map left at its defaults (wrong version or a short key map)
  kDefaults    // a wrong magic, or too short to hold the block: the defaults
};
// Reads a preferences file's bytes into `prefs`, whose key map already holds
// the defaults. Values out of range are brought into range.
PrefsParse ParsePrefs(const std::vector<std::uint8_t>& bytes, Prefs& prefs);

}  // namespace ks::app
