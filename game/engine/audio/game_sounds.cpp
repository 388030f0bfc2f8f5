#include "engine/audio/game_sounds.h"

int LoadGameSound(ssAudioDevice& device, std::span<const std::uint8_t> member) {
  std::span<const std::uint8_t> samples;
  if (!GameSoundSamples(member, samples)) return -1;
  return device.LoadEffect(samples.data(), static_cast<std::uint32_t>(samples.size()), 1, 8, 8000, 0);
}

int LoadGameSounds(ssAudioDevice& device, MemberReader& reader) {
  return LoadGameSoundSet(
      [&](const char* name, std::vector<std::uint8_t>& bytes) { return reader.ReadMember(name, bytes); },
      [&](const std::uint8_t* data, std::uint32_t samples) { return device.LoadEffect(data, samples, 1, 8, 8000, 0); });
}
