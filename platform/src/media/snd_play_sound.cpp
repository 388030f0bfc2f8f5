// sndPlaySoundW: one sound at a time through wave-out device 0. A
// synchronous sound plays on the caller's thread; an asynchronous one is
// watched by a small thread that closes the device when it has ended.
#include <cstring>
#include <mutex>
#include <vector>

#include "ce/mmsystem.h"
#include "ce/winbase.h"
#include "media/wav_file.h"

namespace {

// Sound files larger than this are refused rather than read into memory.
constexpr DWORD kMaxSoundBytes = 64u << 20;

struct Sound {
  std::vector<std::uint8_t> image;
  ce::media::WavImage wav;
  HWAVEOUT device = nullptr;
  HANDLE done = nullptr;  // set by the device for every notification
  WAVEHDR header{};
};

std::mutex g_mutex;
Sound* g_async = nullptr;        // the asynchronous sound playing, if any
HANDLE g_asyncThread = nullptr;  // its watcher

bool Load(LPCWSTR name, UINT flags, Sound& sound) {
  if (flags & SND_MEMORY) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(name);
    if (std::memcmp(bytes, "RIFF", 4) != 0) return false;
    const std::uint32_t riff = static_cast<std::uint32_t>(bytes[4]) | static_cast<std::uint32_t>(bytes[5]) << 8 |
                               static_cast<std::uint32_t>(bytes[6]) << 16 | static_cast<std::uint32_t>(bytes[7]) << 24;
    if (riff > kMaxSoundBytes) return false;
    sound.image.assign(bytes, bytes + riff + 8);
  } else {
    HANDLE file =
        CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD size = GetFileSize(file, nullptr);
    bool ok = size != 0xFFFFFFFFu && size <= kMaxSoundBytes;
    if (ok) {
      sound.image.resize(size);
      DWORD got = 0;
      ok = ReadFile(file, sound.image.data(), size, &got, nullptr) && got == size;
    }
    CloseHandle(file);
    if (!ok) return false;
  }
  const auto wav = ce::media::ParseWav(sound.image.data(), sound.image.size());
  if (!wav) return false;
  sound.wav = *wav;
  return true;
}

bool Start(Sound& sound, bool loop) {
  const ce::media::PcmFormat& f = sound.wav.format;
  WAVEFORMATEX format{WAVE_FORMAT_PCM,
                      static_cast<WORD>(f.channels),
                      f.rate,
                      f.rate * f.BlockAlign(),
                      static_cast<WORD>(f.BlockAlign()),
                      static_cast<WORD>(f.bits),
                      0};
  sound.done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!sound.done) return false;
  if (waveOutOpen(&sound.device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(sound.done), 0, CALLBACK_EVENT) !=
      MMSYSERR_NOERROR) {
    sound.device = nullptr;
    return false;
  }
  sound.header.lpData = reinterpret_cast<LPSTR>(sound.image.data() + sound.wav.dataOffset);
  sound.header.dwBufferLength = static_cast<DWORD>(sound.wav.dataSize);
  if (loop) {
    sound.header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    sound.header.dwLoops = 0xFFFFFFFFu;
  }
  return waveOutPrepareHeader(sound.device, &sound.header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR &&
         waveOutWrite(sound.device, &sound.header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
}

// Waits until the sound has played (or was reset), then frees the device.
void Finish(Sound& sound) {
  if (sound.device) {
    if (sound.header.dwFlags & WHDR_INQUEUE) {
      while (!(sound.header.dwFlags & WHDR_DONE)) WaitForSingleObject(sound.done, INFINITE);
    }
    waveOutUnprepareHeader(sound.device, &sound.header, sizeof(WAVEHDR));
    waveOutClose(sound.device);
  }
  if (sound.done) CloseHandle(sound.done);
}

DWORD WINAPI WatchAsync(LPVOID parameter) {
  auto* sound = static_cast<Sound*>(parameter);
  Finish(*sound);
  std::lock_guard guard(g_mutex);
  if (g_async == sound) g_async = nullptr;
  delete sound;
  return 0;
}

// Stops the asynchronous sound and waits for its watcher.
void StopAsync() {
  HANDLE watcher = nullptr;
  {
    std::lock_guard guard(g_mutex);
    if (g_async) waveOutReset(g_async->device);
    watcher = g_asyncThread;
    g_asyncThread = nullptr;
  }
  if (watcher) {
    WaitForSingleObject(watcher, INFINITE);
    CloseHandle(watcher);
  }
}

}  // namespace

BOOL sndPlaySoundW(LPCWSTR soundName, UINT flags) {
  if (!soundName) {
    StopAsync();
    return TRUE;
  }
  const bool async = flags & SND_ASYNC;
  if ((flags & SND_LOOP) && !async) return FALSE;
  if (flags & SND_NOSTOP) {
    std::lock_guard guard(g_mutex);
    if (g_async) return FALSE;
  }
  auto sound = std::make_unique<Sound>();
  // There is no default system sound to fall back on.
  if (!Load(soundName, flags, *sound)) return FALSE;
  StopAsync();
  if (!Start(*sound, flags & SND_LOOP)) {
    Finish(*sound);
    return FALSE;
  }
  if (!async) {
    Finish(*sound);
    return TRUE;
  }
  std::lock_guard guard(g_mutex);
  Sound* raw = sound.release();
  g_async = raw;
  g_asyncThread = CreateThread(nullptr, 0, WatchAsync, raw, 0, nullptr);
  if (!g_asyncThread) {
    g_async = nullptr;
    waveOutReset(raw->device);
    Finish(*raw);
    delete raw;
    return FALSE;
  }
  return TRUE;
}
