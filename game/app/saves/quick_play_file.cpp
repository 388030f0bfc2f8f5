#include "saves/quick_play_file.h"

#include <algorithm>

#include "saves/byte_io.h"

namespace ks::app {

std::vector<std::uint8_t> SerialiseQuickPlay(const QuickPlaySave& save) {
  std::vector<std::uint8_t> out(kQuickPlayFileSize, 0);
  PutU32(out.data(), 0, kQuickPlayMarker);
  std::copy_n(save.state.begin(), std::min(save.state.size(), kQuickPlayStateSize), out.begin() + kQuickPlayStateAt);
  save.setup.Write(out.data() + kQuickPlaySetupAt);
  return out;
}

std::optional<QuickPlaySave> ParseQuickPlay(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() != kQuickPlayFileSize || GetU32(bytes.data(), 0) != kQuickPlayMarker) return std::nullopt;
  QuickPlaySave save;
  save.setup = MatchSetup::Read(bytes.data() + kQuickPlaySetupAt);
  if (!save.setup.Valid()) return std::nullopt;
  save.state.assign(bytes.begin() + kQuickPlayStateAt, bytes.begin() + kQuickPlayStateAt + kQuickPlayStateSize);
  return save;
}

}  // namespace ks::app
