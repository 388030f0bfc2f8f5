#include "saves/prefs.h"

#include <algorithm>

#include "match_setup.h"
#include "saves/byte_io.h"

namespace ks::app {

std::uint32_t Prefs::RenderMethod() const { return GetU32(block.data(), pref::kRenderMethod); }
void Prefs::SetRenderMethod(std::uint32_t method) { PutU32(block.data(), pref::kRenderMethod, method); }

void Prefs::Defaults() {
  std::fill(block.begin(), block.begin() + 41, 0);
  PutU16(block.data(), 0, kPrefsMagic);
  const std::pair<std::size_t, std::uint8_t> values[] = {{2, 128}, {3, 0},  {4, 50}, {5, 5},  {6, 2},  {7, 0},  {8, 0},
                                                         {9, 0},   {10, 7}, {11, 1}, {12, 8}, {13, 0}, {14, 0}, {15, 1},
                                                         {16, 10}, {17, 1}, {18, 0}, {19, 1}, {20, 0}, {21, 0}, {22, 1},
                                                         {23, 2},  {24, 3}, {28, 1}, {29, 1}, {30, 0}, {40, 0}};
  for (const auto& [at, v] : values) block[at] = v;
  PutU16(block.data(), 26, 50);
  SetRenderMethod(0);
}

void Prefs::DefaultKeys(const std::array<std::uint8_t, 5>& gapi) {
  // Entries 24, 25, 30 and 31 have no default and keep what they hold.
  const std::pair<int, std::uint8_t> values[] = {
      {0, 0x73},  {1, 0x70},    {2, 1},       {3, 0x72},     {4, 0},        {5, gapi[4]}, {6, 0x30},
      {7, 0x30},  {8, gapi[0]}, {9, gapi[1]}, {10, gapi[2]}, {11, gapi[3]}, {12, 0x32},   {13, 0x31},
      {14, 2},    {15, 27},     {16, 0x71},   {17, 3},       {18, 0x37},    {19, 0x34},   {20, 0x35},
      {21, 0x36}, {22, 0x38},   {23, 0x39},   {26, 0x33},    {27, 4},       {28, 0x78},   {29, 0x77}};
  for (const auto& [at, v] : values) keys[static_cast<std::size_t>(at)] = v;
}

bool Prefs::Sanitise() {
  bool changed = false;
  auto limit = [&](std::size_t at, std::uint8_t max, std::uint8_t fallback) {
    if (block[at] > max) {
      block[at] = fallback;
      changed = true;
    }
  };
  limit(pref::kPlayerOne, kOpponentCount - 1, 128);
  limit(pref::kOpponent, kOpponentCount - 1, 0);
  limit(pref::kMenuGame, kMenuGameCount - 1, 2);
  limit(pref::kSecondPlayer, 3, 0);
  limit(pref::kRoom, kRoomCount - 1, 0);
  limit(pref::kEffectsVolume, 10, 7);
  limit(pref::kVolume, 10, 10);
  limit(pref::kLastRoom, kRoomCount - 1, 0);
  limit(pref::kBestLevel, kFinalLevel, 0);
  if (block[pref::kGameGoal] == 0) {
    block[pref::kGameGoal] = 5;
    changed = true;
  }
  if (RenderMethod() > 3) {
    SetRenderMethod(RenderMethod() & 7u);
    if (RenderMethod() > 3) SetRenderMethod(0);
    changed = true;
  }
  return changed;
}

std::vector<std::uint8_t> Prefs::Serialise() const {
  std::vector<std::uint8_t> out(kPrefsFileSize, 0);
  std::copy(block.begin(), block.end(), out.begin());
  PutU32(out.data(), kPrefsBlockSize, version);
  std::copy(keys.begin(), keys.end(), out.begin() + kPrefsBlockSize + 4);
  return out;
}

PrefsParse ParsePrefs(const std::vector<std::uint8_t>& bytes, Prefs& prefs) {
  if (bytes.size() < kPrefsBlockSize + 4 || bytes.size() > kPrefsFileSize || GetU16(bytes.data(), 0) != kPrefsMagic) {
    prefs.Defaults();
    return PrefsParse::kDefaults;
  }
  std::copy_n(bytes.begin(), kPrefsBlockSize, prefs.block.begin());
  prefs.version = GetU32(bytes.data(), kPrefsBlockSize);
  PrefsParse result = PrefsParse::kKeysReset;
  if ((prefs.version >> 16) == (kPrefsVersion >> 16) && bytes.size() == kPrefsFileSize) {
    // A complete key map is the user's own assignment and is kept.
    std::copy_n(bytes.begin() + kPrefsBlockSize + 4, kKeyMapSize, prefs.keys.begin());
    result = PrefsParse::kOk;
  }
  prefs.Sanitise();
  return result;
}

}  // namespace ks::app
