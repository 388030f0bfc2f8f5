// The test seam over the platform's own parts: the device, the clock, the
// screen and the headless sound devices.
#include "ce/testing.h"

#include <mutex>

#include "backend/headless/audio_headless.h"
#include "backend/headless/headless_display.h"
#include "gdi/screen.h"
#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/network.h"
#include "kernel/not_implemented.h"
#include "kernel/registry_store.h"
#include "media/wav_file.h"

namespace ce::testing {

namespace {

PcmFormat FromMedia(const media::PcmFormat& format) { return PcmFormat{format.channels, format.rate, format.bits}; }
media::PcmFormat ToMedia(const PcmFormat& format) {
  return media::PcmFormat{format.channels, format.rate, format.bits};
}

}  // namespace

void SetStrictMode(bool strict) { kernel::SetStrictMode(strict); }

std::string DeviceRoot() { return device::Root(); }
std::string DeviceRuntimeFolder() { return device::RuntimeFolder(); }
void ReloadDevice() {
  // What was written to the registry goes to the device it was written on.
  (void)kernel::registry::FlushPending();
  device::Reset();
  // A new device's interfaces count from what they show, not on from the
  // totals an earlier test's adapters ran up.
  kernel::network::ForgetCounters();
}

void UseVirtualClock(std::uint64_t startTickMs, std::uint64_t startSystemTime100ns) {
  kernel::clock::UseVirtualClock(startTickMs, startSystemTime100ns);
}
void UseRealClock() { kernel::clock::UseRealClock(); }
void AdvanceClock(std::uint64_t ms) { kernel::clock::Advance(ms); }

void ReloadScreen() { gdi::Screen::Reset(); }

COLORREF ScreenPixel(int x, int y) {
  const auto screen = gdi::Screen::Current();
  const auto* display = dynamic_cast<const backend::HeadlessDisplay*>(&screen->display());
  return display ? display->Pixel(x, y) : CLR_INVALID;
}

void PokeScreenMemory(int x, int y, std::uint32_t value) {
  const auto screen = gdi::Screen::Current();
  if (x < 0 || y < 0 || x >= screen->width() || y >= screen->height()) return;
  std::lock_guard guard(gdi::GdiLock());
  screen->view().Write(x, y, value);
}

std::vector<PlayedBuffer> TakePlayedAudio() {
  std::vector<PlayedBuffer> out;
  for (backend::headless::PlayedBuffer& played : backend::headless::TakePlayedAudio()) {
    out.push_back(PlayedBuffer{played.startMs, played.device, played.stream, FromMedia(played.format), played.volume,
                               std::move(played.bytes)});
  }
  return out;
}

std::vector<std::uint8_t> MakeWav(const PcmFormat& format, const std::vector<std::uint8_t>& samples) {
  std::vector<std::uint8_t> file(44);
  media::WriteWavHeader(file.data(), ToMedia(format), static_cast<std::uint32_t>(samples.size()));
  file.insert(file.end(), samples.begin(), samples.end());
  return file;
}

std::optional<WavLayout> ParseWav(const std::uint8_t* bytes, std::size_t size) {
  const auto image = media::ParseWav(bytes, size);
  if (!image) return std::nullopt;
  return WavLayout{FromMedia(image->format), image->dataOffset, image->dataSize};
}

}  // namespace ce::testing
