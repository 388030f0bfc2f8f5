// Fuzz target for the preferences reader: whatever the file, the values the
// game indexes with stay in range.
#include <cstdlib>
#include <vector>

#include "fuzz_driver.h"
#include "match_setup.h"
#include "saves/prefs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ks::app;
  Prefs prefs;
  prefs.DefaultKeys({0x26, 0x28, 0x25, 0x27, 13});
  ParsePrefs(std::vector<std::uint8_t>(data, data + size), prefs);
  if (prefs[pref::kRoom] >= kRoomCount || prefs[pref::kMenuGame] >= kMenuGameCount || prefs[pref::kSecondPlayer] > 3 ||
      prefs[pref::kVolume] > 10 || prefs[pref::kBestLevel] > kFinalLevel || prefs.RenderMethod() > 3 ||
      prefs[pref::kGameGoal] == 0)
    std::abort();
  if (prefs.Serialise().size() != kPrefsFileSize) std::abort();
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  ks::app::Prefs prefs;
  prefs.Defaults();
  prefs.DefaultKeys({0x26, 0x28, 0x25, 0x27, 13});
  std::vector<std::uint8_t> shortKeys = prefs.Serialise();
  shortKeys.resize(120);
  return {prefs.Serialise(), shortKeys};
}
