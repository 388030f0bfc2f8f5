#include "media/audio_backend.h"

#include <mutex>
#include <vector>

#include "backend/headless/audio_headless.h"
#include "kernel/debug_output.h"
#include "kernel/device.h"

namespace ce::media {
namespace {

std::mutex g_mutex;
AudioBackend* g_backend = nullptr;
// Back ends replaced by ResetBackend stay alive: streams still open use them.
std::vector<AudioBackend*>* g_retired = new std::vector<AudioBackend*>;

}  // namespace

AudioBackend& Backend() {
  std::lock_guard guard(g_mutex);
  if (!g_backend) {
    const std::string name = ce::device::SettingOr("backend", "headless");
    if (name == "sdl") {
      if (auto sdl = backend::CreateSdlAudio()) g_backend = sdl.release();
    }
    if (!g_backend) {
      if (name != "headless")
        ce::kernel::Diagnostic("platform: sound back end \"%s\" is not available, using headless", name.c_str());
      g_backend = new backend::headless::HeadlessAudio;
    }
  }
  return *g_backend;
}

void ResetBackend() {
  std::lock_guard guard(g_mutex);
  if (g_backend) g_retired->push_back(g_backend);
  g_backend = nullptr;
}

}  // namespace ce::media
