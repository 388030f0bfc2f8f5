#include "engine/audio/game_sounds.h"

namespace {

constexpr std::size_t kWavHeaderBytes = 44;

}  // namespace

int LoadGameSound(ssAudioDevice& device, std::span<const std::uint8_t> member) {
  if (member.size() < kWavHeaderBytes) return -1;
  const std::uint32_t declared = static_cast<std::uint32_t>(member[40]) | static_cast<std::uint32_t>(member[41]) << 8 |
                                 static_cast<std::uint32_t>(member[42]) << 16 |
                                 static_cast<std::uint32_t>(member[43]) << 24;
  const std::size_t present = member.size() - kWavHeaderBytes;
  const auto samples = static_cast<std::uint32_t>(declared < present ? declared : present);
  return device.LoadEffect(member.data() + kWavHeaderBytes, samples, 1, 8, 8000, 0);
}

int LoadGameSounds(ssAudioDevice& device, MemberReader& reader) {
  int loaded = 0;
  std::vector<std::uint8_t> bytes;
  for (const char* name : kGameSoundNames) {
    bytes.clear();
    if (reader.ReadMember(name, bytes) && LoadGameSound(device, bytes) == 0) {
      ++loaded;
    } else if (bytes.size() < kWavHeaderBytes) {
      device.LoadEffect(nullptr, 0, 1, 8, 8000, 0);
    }
  }
  return loaded;
}
