#include "engine/audio/audio_wave_out.h"

#include <algorithm>
#include <cstring>

#include "engine/audio/audio_mix.h"
#include "engine/audio/sound_source.h"

namespace {

// One lock for every device's ring, counters, effect list and source list,
// shared with the wave-out callback. Made once, never destroyed: the audio
// thread may still be on its way out when the program ends.
CRITICAL_SECTION& AudioLock() {
  static CRITICAL_SECTION* section = [] {
    auto* s = new CRITICAL_SECTION;
    InitializeCriticalSection(s);
    return s;
  }();
  return *section;
}

class Locked {
 public:
  Locked() { EnterCriticalSection(&AudioLock()); }
  ~Locked() { LeaveCriticalSection(&AudioLock()); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

// The device the callback serves.
std::atomic<ssAudioWaveOut*> g_Device{nullptr};

std::int16_t Load16(const std::uint8_t* p) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | p[1] << 8));
}

void Store16(std::uint8_t* p, std::int16_t v) {
  const auto u = static_cast<std::uint16_t>(v);
  p[0] = static_cast<std::uint8_t>(u);
  p[1] = static_cast<std::uint8_t>(u >> 8);
}

// The longest effect, in bytes of the device format: counts stay in 32 bits.
constexpr std::uint64_t kMaxEffectBytes = 0x7FFFFFFCu;

}  // namespace

ssAudioWaveOut::ssAudioWaveOut() {
  AudioLock();
  m_Channels = 2;
  m_Bits = 16;
  m_Rate = 8000;
  g_Device = this;
}

ssAudioWaveOut::~ssAudioWaveOut() {
  Stop();
  CloseDevice();
  for (ssSoundSource* source : m_Sources) {
    if (source) {
      source->m_Device = nullptr;
      source->m_Attached = false;
    }
  }
  ssAudioWaveOut* self = this;
  g_Device.compare_exchange_strong(self, nullptr);
}

int ssAudioWaveOut::GetDeviceCaps(std::uintptr_t word) {
  m_CallerWord = word;
  CloseDevice();
  m_DeviceCount = waveOutGetNumDevs();
  m_DeviceId = 0xFFFF;
  for (UINT id = 0; id < m_DeviceCount; ++id) {
    if (waveOutGetDevCaps(id, &m_Caps, sizeof m_Caps) == MMSYSERR_NOERROR && (m_Caps.dwFormats & WAVE_FORMAT_2M08)) {
      m_DeviceId = id;
      break;
    }
  }
  if (m_DeviceId == 0xFFFF) return 0;
  g_Device = this;
  const int result = Open(0);
  if (result == static_cast<int>(WAVERR_BADFORMAT)) {
    m_Channels = 2;
    m_Bits = 16;
    m_Rate = 22050;
    return Open(0);
  }
  if (result == static_cast<int>(MMSYSERR_ALLOCATED)) return 9;
  if (result == static_cast<int>(MMSYSERR_BADDEVICEID)) return 10;
  return result;
}

int ssAudioWaveOut::Open(std::uint32_t queryFlag) {
  const auto align = static_cast<WORD>(m_Bits / 8 * m_Channels);
  // PCM carries no extra format bytes.
  m_Format = WAVEFORMATEX{WAVE_FORMAT_PCM, static_cast<WORD>(m_Channels), m_Rate, m_Rate * align,
                          align,           static_cast<WORD>(m_Bits),     0};
  const bool query = queryFlag & WAVE_FORMAT_QUERY;
  if (!query) CloseDevice();
  HWAVEOUT handle = nullptr;
  const MMRESULT result = waveOutOpen(&handle, m_DeviceId == 0xFFFF ? WAVE_MAPPER : m_DeviceId, &m_Format,
                                      reinterpret_cast<DWORD_PTR>(&ssAudioWaveOut::WaveCallback), 0,
                                      CALLBACK_FUNCTION | (queryFlag & WAVE_FORMAT_QUERY));
  if (!query) m_WaveOut = result == MMSYSERR_NOERROR ? handle : nullptr;
  m_Written = 0;
  m_BytesWritten = 0;
  g_Device = this;
  if (!query && m_WaveOut) m_SavedVolume = GetVolume();
  return static_cast<int>(result);
}

void ssAudioWaveOut::CloseDevice() {
  if (!m_WaveOut) return;
  // Every queued block and effect comes back before the handle goes.
  {
    Locked lock;
    m_Accepting = false;
    m_Running = false;
  }
  waveOutReset(m_WaveOut);
  FreeRing();
  waveOutClose(m_WaveOut);
  m_WaveOut = nullptr;
}

int ssAudioWaveOut::LoadEffect(const void* data, std::uint32_t samples, std::uint32_t channels, std::uint32_t bits,
                               std::uint32_t rate, int convert) {
  (void)convert;
  auto effect = std::make_unique<Effect>();
  const bool usable =
      (data || samples == 0) && (channels == 1 || channels == 2) && (bits == 8 || bits == 16) && rate > 0 && m_Rate > 0;
  if (usable) {
    const auto* in = static_cast<const std::uint8_t*>(data);
    // 16-bit effects of another rate are stepped through at the rate ratio.
    const bool step = bits == 16 && rate != m_Rate;
    const std::uint64_t frames = step ? static_cast<std::uint64_t>(samples) * m_Rate / rate : samples;
    if (frames * 4 > kMaxEffectBytes) {
      m_Effects.push_back(std::move(effect));
      return 5;
    }
    effect->data.resize(frames * 4);
    const std::uint32_t whole = step ? rate / m_Rate : 1;
    const std::uint32_t part = step ? rate % m_Rate : 0;
    std::uint64_t index = 0;
    std::uint32_t carry = 0;
    const std::uint32_t inFrame = channels * (bits / 8);
    for (std::uint64_t f = 0; f < frames && index < samples; ++f) {
      const std::uint8_t* frame = in + index * inFrame;
      std::int16_t left = 0;
      std::int16_t right = 0;
      if (bits == 8) {
        left = static_cast<std::int16_t>((frame[0] - 128) * 256);
        right = channels == 2 ? static_cast<std::int16_t>((frame[1] - 128) * 256) : left;
      } else {
        left = Load16(frame);
        right = channels == 2 ? Load16(frame + 2) : left;
      }
      Store16(effect->data.data() + f * 4, left);
      Store16(effect->data.data() + f * 4 + 2, right);
      index += whole;
      carry += part;
      if (carry >= m_Rate) {
        carry -= m_Rate;
        ++index;
      }
    }
  }
  effect->header.lpData = reinterpret_cast<LPSTR>(effect->data.data());
  effect->header.dwBufferLength = static_cast<DWORD>(effect->data.size());
  effect->header.dwUser = rate;
  int result = usable ? 0 : 5;
  if (usable) {
    const MMRESULT prepared = waveOutPrepareHeader(m_WaveOut, &effect->header, sizeof(WAVEHDR));
    effect->prepared = prepared == MMSYSERR_NOERROR;
    if (!effect->prepared) result = prepared == MMSYSERR_ERROR || prepared == MMSYSERR_ALLOCATED ? 4 : 5;
  }
  Locked lock;
  m_Effects.push_back(std::move(effect));
  return result;
}

int ssAudioWaveOut::PlayEffect(int effect, int delay) {
  if (!m_WaveOut) return -1;
  if (effect < 0 || static_cast<std::size_t>(effect) >= m_Effects.size()) return -1;
  if (m_Volume == 0) return 0;
  Effect& e = *m_Effects[static_cast<std::size_t>(effect)];
  if (!m_Running) {
    // Played on its own. A header still queued is not written again.
    if (e.header.dwFlags & WHDR_INQUEUE) return 0;
    e.header.dwFlags |= WHDR_BEGINLOOP | WHDR_ENDLOOP;
    e.header.dwLoops = 0;
    waveOutWrite(m_WaveOut, &e.header, sizeof(WAVEHDR));
    return 0;
  }
  Locked lock;
  StartEffect(e, delay);
  return 0;
}

void ssAudioWaveOut::StartEffect(const Effect& effect, int delay) {
  if (m_Ring.empty() || m_BlockSize == 0) return;
  PlayingEffect record{};
  record.cursor = effect.data.data();
  record.bytesLeft = static_cast<std::int32_t>(effect.data.size() & ~std::size_t{3});
  if (record.bytesLeft <= 0) return;
  const std::uint64_t units = static_cast<std::uint64_t>(std::max(delay, 0));
  const std::uint64_t offset = (static_cast<std::uint64_t>(m_Rate) * units * 4 / 250) & ~std::uint64_t{3};
  const std::uint64_t k = offset / m_BlockSize;
  const auto r = static_cast<std::uint32_t>(offset % m_BlockSize);
  const std::uint64_t origin = m_Written > 0 ? m_Written - 1 : 0;
  record.startBlock = static_cast<std::uint32_t>(std::min<std::uint64_t>(origin + k, 0xFFFFFFFFu));
  record.startOffset = static_cast<std::int32_t>(r & ~3u);
  if (record.startBlock < m_Filled) {
    // Due within blocks already filled: mix straight into them.
    std::uint32_t from = static_cast<std::uint32_t>(record.startOffset);
    for (std::uint32_t b = record.startBlock; b < m_Filled && record.bytesLeft > 0; ++b) {
      MixInto(record, m_Ring[b % kRingBlocks].data.data(), from, m_BlockSize);
      from = 0;
    }
    if (record.bytesLeft <= 0) return;
    record.startBlock = m_Filled;
    record.startOffset = 0;
  }
  m_Playing.push_back(record);
}

std::uint32_t ssAudioWaveOut::MixInto(PlayingEffect& effect, std::uint8_t* block, std::uint32_t offset,
                                      std::uint32_t blockSize) {
  if (offset >= blockSize || effect.bytesLeft <= 0) return 0;
  const std::uint32_t n =
      std::min<std::uint32_t>(blockSize - offset, static_cast<std::uint32_t>(effect.bytesLeft)) & ~3u;
  std::uint8_t* out = block + offset;
  for (std::uint32_t i = 0; i < n; i += 2) {
    Store16(out + i, MixSample(Load16(out + i), Load16(effect.cursor + i)));
  }
  effect.cursor += n;
  effect.bytesLeft -= static_cast<std::int32_t>(n);
  return n;
}

int ssAudioWaveOut::SetVolume(int volume, ssSoundSource* source) {
  (void)source;
  m_Volume = std::clamp(volume, 0, 10);
  if (m_WaveOut) SetSystemVolume(m_WaveOut, static_cast<std::uint32_t>(m_Volume ? m_Volume : m_SavedVolume));
  return 0;
}

void ssAudioWaveOut::SetSystemVolume(HWAVEOUT waveOut, std::uint32_t level) {
  const DWORD word = level * kVolumeStep;
  waveOutSetVolume(waveOut, word | word << 16);
}

int ssAudioWaveOut::GetVolume() {
  DWORD volume = 0;
  if (waveOutGetVolume(m_WaveOut, &volume) != MMSYSERR_NOERROR) return m_Volume;
  return static_cast<int>((volume & 0xFFFFu) / kVolumeStep);
}

int ssAudioWaveOut::FillBlock() {
  if (!m_WaveOut || m_Ring.empty()) return -1;
  Locked lock;
  ssSoundSource* stream = m_Sources.empty() ? nullptr : m_Sources[0];
  while (m_Pending < static_cast<std::uint32_t>(kFillAhead)) {
    Block& block = m_Ring[m_FillIndex];
    if (!stream || !stream->m_Open || !stream->m_Playing || m_Paused) {
      std::memset(block.data.data(), 0, m_BlockSize);
    } else if (const int error = stream->Read(block.data.data(), m_BlockSize, m_Rate, m_Bits); error != 0) {
      // The block was not filled: it stays the next to fill.
      return error;
    }
    for (PlayingEffect& effect : m_Playing) {
      if (effect.startOffset < 0 || effect.bytesLeft <= 0 || effect.startBlock > m_Filled) continue;
      const auto from = effect.startBlock == m_Filled ? static_cast<std::uint32_t>(effect.startOffset) : 0u;
      MixInto(effect, block.data.data(), from, m_BlockSize);
      effect.startOffset = effect.bytesLeft > 0 ? 0 : kFinished;
    }
    m_FillIndex = (m_FillIndex + 1) % kRingBlocks;
    ++m_Pending;
    ++m_Filled;
    std::erase_if(m_Playing, [](const PlayingEffect& e) { return e.startOffset < 0 || e.bytesLeft < 1; });
  }
  return 0;
}

void ssAudioWaveOut::WriteNextBlock() {
  if (m_Pending == 0) {
    // The window thread has not refilled in time. Play a block of silence
    // rather than the old block still in the ring.
    Block& block = m_Ring[m_FillIndex];
    std::memset(block.data.data(), 0, m_BlockSize);
    m_FillIndex = (m_FillIndex + 1) % kRingBlocks;
    ++m_Filled;
    ++m_Pending;
  }
  --m_Pending;
  waveOutWrite(m_WaveOut, &m_Ring[m_WriteIndex].header, sizeof(WAVEHDR));
  m_WriteIndex = (m_WriteIndex + 1) % kRingBlocks;
  ++m_Written;
  m_BytesWritten += m_BlockSize;
}

void CALLBACK ssAudioWaveOut::WaveCallback(HANDLE, UINT message, DWORD_PTR, DWORD_PTR param1, DWORD_PTR) {
  if (message != WOM_DONE) return;
  Locked lock;
  ssAudioWaveOut* device = g_Device;
  if (!device) return;
  if (!device->m_WaveOut || !device->m_Accepting) {
    const int drain = device->m_Drain.load();
    if (drain > 0) device->m_Drain = drain - 1;
    return;
  }
  // Only a ring block coming back moves the stream on; an effect that was
  // played on its own before the stream started does not.
  const auto* done = reinterpret_cast<const WAVEHDR*>(param1);
  const bool ringBlock =
      std::any_of(device->m_Ring.begin(), device->m_Ring.end(), [done](const Block& b) { return &b.header == done; });
  if (ringBlock) device->WriteNextBlock();
}

void ssAudioWaveOut::Start() {
  Locked lock;
  ssSoundSource* stream = m_Sources.empty() ? nullptr : m_Sources[0];
  if (!stream || !m_WaveOut || m_Ring.empty()) return;
  stream->m_Playing = true;
  m_FillIndex = m_WriteIndex = m_Pending = m_Written = m_Filled = 0;
  m_BytesWritten = 0;
  // Block numbers start again, so effects placed by the old ones are dropped.
  m_Playing.clear();
  FillBlock();
  m_Running = true;
  m_Accepting = true;
  for (int i = 0; i < 2 && m_Pending > 0; ++i) {
    --m_Pending;
    waveOutWrite(m_WaveOut, &m_Ring[m_WriteIndex].header, sizeof(WAVEHDR));
    m_WriteIndex = (m_WriteIndex + 1) % kRingBlocks;
    ++m_Written;
    m_BytesWritten += m_BlockSize;
  }
}

void ssAudioWaveOut::Stop() {
  bool draining = false;
  {
    Locked lock;
    if (m_Accepting) {
      m_Accepting = false;
      m_Drain = 2;
      draining = true;
    }
  }
  if (draining) {
    // The two blocks in the device play out.
    for (int step = 0; step < 50 && m_Drain.load() > 0; ++step) Sleep(10);
    Locked lock;
    m_Running = false;
  }
  if (m_WaveOut) waveOutReset(m_WaveOut);
  Locked lock;
  m_Written = 0;
  m_BytesWritten = 0;
}

int ssAudioWaveOut::Pause(bool on) {
  Locked lock;
  if (on) {
    m_Paused = true;
    for (std::uint32_t i = 0; i < m_Pending && !m_Ring.empty(); ++i) {
      std::memset(m_Ring[(m_WriteIndex + i) % kRingBlocks].data.data(), 0, m_BlockSize);
    }
    return 0;
  }
  m_Paused = false;
  ssSoundSource* stream = m_Sources.empty() ? nullptr : m_Sources[0];
  if (!stream || !stream->m_Open || !stream->m_Playing) return 0;
  for (std::uint32_t i = 0; i < m_Pending && !m_Ring.empty(); ++i) {
    Block& block = m_Ring[(m_WriteIndex + i) % kRingBlocks];
    if (stream->Read(block.data.data(), m_BlockSize, m_Rate, m_Bits) != 0) break;
  }
  return 0;
}

int ssAudioWaveOut::OpenRing(std::uint32_t rate, std::uint32_t bits, std::uint32_t channels,
                             std::uint32_t blockLength) {
  (void)channels;
  // The ring and the mixing work on 16-bit stereo.
  bits = 16;
  if (blockLength < 4 || blockLength > (1u << 20) || rate == 0) return -1;
  if (rate != m_Rate || bits != m_Bits) {
    CloseDevice();
    m_Channels = 2;
    m_Rate = rate;
    m_Bits = bits;
    if (Open(0) != 0) {
      m_Channels = 2;
      m_Bits = 16;
      m_Rate = 22050;
      if (const int result = Open(0); result != 0) return result;
    }
  }
  FreeRing();
  std::vector<Block> ring(kRingBlocks);
  const std::uint32_t size = (5 * blockLength) & ~3u;
  for (Block& block : ring) {
    block.data.assign(size, 0);
    block.header.lpData = reinterpret_cast<LPSTR>(block.data.data());
    block.header.dwBufferLength = size;
    if (const MMRESULT prepared = waveOutPrepareHeader(m_WaveOut, &block.header, sizeof(WAVEHDR));
        prepared != MMSYSERR_NOERROR) {
      return static_cast<int>(prepared);
    }
  }
  Locked lock;
  m_Ring = std::move(ring);
  m_BlockSize = size;
  m_FillIndex = m_WriteIndex = m_Pending = m_Filled = 0;
  return 0;
}

void ssAudioWaveOut::FreeRing() {
  std::vector<Block> old;
  {
    Locked lock;
    old.swap(m_Ring);
    m_Pending = 0;
  }
  for (Block& block : old) waveOutUnprepareHeader(m_WaveOut, &block.header, sizeof(WAVEHDR));
}

int ssAudioWaveOut::AttachSource(ssSoundSource* source) {
  // With no device there is nothing to attach to.
  if (!source || !m_WaveOut) return -1;
  source->m_Device = this;
  bool streamFree = false;
  {
    Locked lock;
    streamFree = m_Sources.empty() || !m_Sources[0];
  }
  if (source->m_Streaming && streamFree) {
    if (const int result = OpenRing(source->m_Rate, source->m_Bits, 2, source->m_BlockLength); result != 0) {
      {
        Locked lock;
        m_Sources.clear();
        m_Running = m_Accepting = m_Paused = false;
      }
      CloseDevice();
      return result;
    }
    Locked lock;
    if (m_Sources.empty()) {
      m_Sources.push_back(source);
    } else {
      m_Sources[0] = source;
    }
  } else {
    Locked lock;
    if (m_Sources.empty()) m_Sources.push_back(nullptr);
    m_Sources.push_back(source);
  }
  source->m_WaveOut = m_WaveOut;
  if (source->m_Streaming) source->m_Attached = true;
  return 0;
}

int ssAudioWaveOut::PlaySource(ssSoundSource* source) {
  if (!m_WaveOut) return -1;
  bool start = false;
  {
    Locked lock;
    start = source && !m_Sources.empty() && m_Sources[0] == source && !m_Running;
  }
  if (start) Start();
  return 0;
}

int ssAudioWaveOut::DetachSource(ssSoundSource* source) {
  if (!source) return 0;
  if (!m_WaveOut) {
    // Nothing plays; the list only forgets the source.
    Locked lock;
    std::replace(m_Sources.begin(), m_Sources.begin() + std::min<std::size_t>(m_Sources.size(), 1), source,
                 static_cast<ssSoundSource*>(nullptr));
    if (m_Sources.size() > 1) std::erase(m_Sources, source);
    source->m_Attached = false;
    source->m_Device = nullptr;
    return 0;
  }
  bool isStream = false;
  {
    Locked lock;
    isStream = !m_Sources.empty() && m_Sources[0] == source;
  }
  if (isStream) {
    Stop();
    Locked lock;
    m_Sources[0] = nullptr;
    source->m_Playing = false;
  } else {
    // Removed and the rest closed up, so no live entry is skipped or
    // overwritten later.
    Locked lock;
    if (m_Sources.size() > 1) {
      const auto it = std::find(m_Sources.begin() + 1, m_Sources.end(), source);
      if (it != m_Sources.end()) m_Sources.erase(it);
    }
  }
  source->m_Attached = false;
  source->m_Device = nullptr;
  return 0;
}

int ssAudioWaveOut::StopSource(ssSoundSource* source) {
  if (source && source->m_Streaming) Stop();
  return 0;
}
