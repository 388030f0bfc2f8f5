#include "media/wave_stream.h"

#include <algorithm>
#include <atomic>
#include <map>

#include "ce/winbase.h"
#include "ce/winuser.h"
#include "kernel/clock.h"
#include "media/wav_file.h"

namespace ce::media {
namespace {

// A buffer started this late after the previous one ended (a refill that
// came a little late on the host clock) still follows on without a gap.
constexpr std::uint64_t kFollowOnSlackMs = 20;

struct StreamTable {
  std::mutex mutex;
  std::map<std::uintptr_t, std::shared_ptr<WaveStream>> streams;
  std::uintptr_t next = 0x5A0000;
};

StreamTable& Table() {
  static StreamTable* table = new StreamTable;  // streams' threads may outlive static destruction
  return *table;
}

constexpr UINT kMaxVolumeDevices = 16;
std::atomic<std::uint32_t> g_volume[kMaxVolumeDevices] = {
    0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu,
    0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};

}  // namespace

HANDLE InsertStream(std::shared_ptr<WaveStream> stream) {
  StreamTable& t = Table();
  std::lock_guard guard(t.mutex);
  t.next += 0x10;
  t.streams[t.next] = std::move(stream);
  return reinterpret_cast<HANDLE>(t.next);
}

std::shared_ptr<WaveStream> FindStream(HANDLE handle, Direction direction) {
  StreamTable& t = Table();
  std::lock_guard guard(t.mutex);
  const auto it = t.streams.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == t.streams.end() || it->second->direction() != direction) return nullptr;
  return it->second;
}

void RemoveStream(HANDLE handle) {
  std::shared_ptr<WaveStream> doomed;
  StreamTable& t = Table();
  std::lock_guard guard(t.mutex);
  const auto it = t.streams.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == t.streams.end()) return;
  doomed = std::move(it->second);
  t.streams.erase(it);
}

std::uint32_t DeviceVolume(UINT device) { return device < kMaxVolumeDevices ? g_volume[device].load() : 0xFFFFFFFFu; }

void SetDeviceVolume(UINT device, std::uint32_t volume) {
  if (device < kMaxVolumeDevices) g_volume[device] = volume;
}

MMRESULT CheckFormat(const WAVEFORMATEX* format, PcmFormat* out) {
  if (!format) return MMSYSERR_INVALPARAM;
  if (format->wFormatTag != WAVE_FORMAT_PCM) return WAVERR_BADFORMAT;
  PcmFormat f{format->nChannels, format->nSamplesPerSec, format->wBitsPerSample};
  if (!IsSupportedFormat(f) || format->nBlockAlign != f.BlockAlign()) return WAVERR_BADFORMAT;
  *out = f;
  return MMSYSERR_NOERROR;
}

WaveStream::WaveStream(Direction direction, UINT device, const PcmFormat& format, DWORD callbackKind,
                       DWORD_PTR callback, DWORD_PTR instance)
    : direction_(direction),
      device_(device),
      format_(format),
      callbackKind_(callbackKind),
      callback_(callback),
      instance_(instance) {}

WaveStream::~WaveStream() {
  if (thread_) CloseHandle(thread_);
  if (wake_) CloseHandle(wake_);
  if (delivered_) CloseHandle(delivered_);
}

MMRESULT WaveStream::Begin(std::unique_ptr<AudioSink> sink, std::unique_ptr<AudioSource> source, HANDLE handle) {
  sink_ = std::move(sink);
  source_ = std::move(source);
  handle_ = handle;
  wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  delivered_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!wake_ || !delivered_) return MMSYSERR_NOMEM;
  Notify(direction_ == Direction::Out ? WOM_OPEN : WIM_OPEN, nullptr);
  // The thread holds the stream until it ends.
  auto* keep = new std::shared_ptr<WaveStream>(shared_from_this());
  thread_ = CreateThread(nullptr, 0, ThreadMain, keep, 0, &threadId_);
  if (!thread_) {
    delete keep;
    return MMSYSERR_NOMEM;
  }
  return MMSYSERR_NOERROR;
}

DWORD WINAPI WaveStream::ThreadMain(LPVOID parameter) {
  std::unique_ptr<std::shared_ptr<WaveStream>> keep(static_cast<std::shared_ptr<WaveStream>*>(parameter));
  (*keep)->Run();
  return 0;
}

bool WaveStream::OnOwnThread() const { return threadId_ != 0 && GetCurrentThreadId() == threadId_; }

std::uint64_t WaveStream::FrameMs(std::uint64_t frames) const {
  return (frames * 1000 + format_.rate - 1) / format_.rate;
}

void WaveStream::Wake() { SetEvent(wake_); }

void WaveStream::Notify(UINT message, WAVEHDR* header) {
  notes_.push_back(Note{message, header});
  ++notesQueued_;
}

void WaveStream::Deliver(const Note& note) {
  switch (callbackKind_) {
    case CALLBACK_FUNCTION:
      reinterpret_cast<LPWAVECALLBACK>(callback_)(handle_, note.message, instance_,
                                                  reinterpret_cast<DWORD_PTR>(note.header), 0);
      break;
    case CALLBACK_THREAD:
      // A thread that has ended does not hear from the device any more.
      PostThreadMessageW(static_cast<DWORD>(callback_), note.message, reinterpret_cast<WPARAM>(handle_),
                         reinterpret_cast<LPARAM>(note.header));
      break;
    case CALLBACK_WINDOW:
      // A window that is gone does not hear from the device any more.
      if (callback_ != 0) {
        PostMessageW(reinterpret_cast<HWND>(callback_), note.message, reinterpret_cast<WPARAM>(handle_),
                     reinterpret_cast<LPARAM>(note.header));
      }
      break;
    case CALLBACK_EVENT:
      SetEvent(reinterpret_cast<HANDLE>(callback_));
      break;
    default:
      break;
  }
}

void WaveStream::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (!notes_.empty()) {
      const Note note = notes_.front();
      notes_.pop_front();
      lock.unlock();
      Deliver(note);
      lock.lock();
      ++notesDelivered_;
      SetEvent(delivered_);
      if (note.message == WOM_CLOSE || note.message == WIM_CLOSE) return;
      continue;
    }
    const std::uint64_t now = kernel::clock::NowMs();
    const DWORD timeout = direction_ == Direction::Out ? StepOutput(now) : StepInput(now);
    if (!notes_.empty()) continue;
    lock.unlock();
    WaitForSingleObject(wake_, timeout);
    lock.lock();
  }
}

DWORD WaveStream::StepOutput(std::uint64_t now) {
  const unsigned align = format_.BlockAlign();
  while (!paused_ && !queue_.empty()) {
    WAVEHDR* header = queue_.front();
    if (!current_) {
      const std::uint64_t start = anchorMs_ + FrameMs(anchorFrames_);
      // After a gap the device starts again from now.
      if (!running_ || start + kFollowOnSlackMs < now) {
        running_ = true;
        anchorMs_ = now;
        anchorFrames_ = 0;
      }
      const bool loop = (header->dwFlags & (WHDR_BEGINLOOP | WHDR_ENDLOOP)) == (WHDR_BEGINLOOP | WHDR_ENDLOOP);
      if (loopsLeft_ == 0) loopsLeft_ = loop ? std::max<DWORD>(header->dwLoops, 1) : 1;
      currentFrames_ = header->dwBufferLength / align;
      current_ = true;
      if (sink_ && currentFrames_ > 0) {
        sink_->Play(reinterpret_cast<const std::uint8_t*>(header->lpData), currentFrames_ * align,
                    DeviceVolume(device_));
      }
    }
    const std::uint64_t due = anchorMs_ + FrameMs(anchorFrames_ + currentFrames_);
    if (now < due) return static_cast<DWORD>(std::min<std::uint64_t>(due - now, INFINITE - 1));
    anchorFrames_ += currentFrames_;
    doneFrames_ += currentFrames_;
    current_ = false;
    if (--loopsLeft_ > 0) continue;
    queue_.pop_front();
    header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    Notify(WOM_DONE, header);
  }
  return INFINITE;
}

DWORD WaveStream::StepInput(std::uint64_t now) {
  if (!started_) return INFINITE;
  const unsigned align = format_.BlockAlign();
  while (!queue_.empty()) {
    WAVEHDR* header = queue_.front();
    if (!current_) {
      if (!running_) {
        running_ = true;
        anchorMs_ = now;
        anchorFrames_ = 0;
      }
      currentFrames_ = header->dwBufferLength / align;
      current_ = true;
    }
    const std::uint64_t due = anchorMs_ + FrameMs(anchorFrames_ + currentFrames_);
    if (now < due) return static_cast<DWORD>(std::min<std::uint64_t>(due - now, INFINITE - 1));
    if (source_ && currentFrames_ > 0) {
      source_->Capture(reinterpret_cast<std::uint8_t*>(header->lpData), currentFrames_ * align);
    }
    header->dwBytesRecorded = static_cast<DWORD>(currentFrames_ * align);
    anchorFrames_ += currentFrames_;
    current_ = false;
    queue_.pop_front();
    header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    Notify(WIM_DATA, header);
  }
  // Starving: sound arriving while no buffer is queued is lost, and the
  // next buffer starts from the moment it is added.
  running_ = false;
  return INFINITE;
}

void WaveStream::CutInput(std::uint64_t now) {
  if (!current_ || queue_.empty()) return;
  WAVEHDR* header = queue_.front();
  const std::uint64_t startMs = anchorMs_ + FrameMs(anchorFrames_);
  const std::uint64_t elapsed = now > startMs ? now - startMs : 0;
  const std::uint64_t frames = std::min<std::uint64_t>(currentFrames_, elapsed * format_.rate / 1000);
  current_ = false;
  if (frames == 0) return;  // nothing recorded into it yet: it stays queued
  const unsigned align = format_.BlockAlign();
  if (source_) source_->Capture(reinterpret_cast<std::uint8_t*>(header->lpData), frames * align);
  header->dwBytesRecorded = static_cast<DWORD>(frames * align);
  queue_.pop_front();
  header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
  Notify(WIM_DATA, header);
}

void WaveStream::WaitDelivered() {
  if (OnOwnThread()) return;
  std::unique_lock lock(mutex_);
  const std::uint64_t target = notesQueued_;
  while (notesDelivered_ < target) {
    lock.unlock();
    WaitForSingleObject(delivered_, 10);
    lock.lock();
  }
}

MMRESULT WaveStream::Prepare(WAVEHDR* header, UINT size) {
  if (!header || size < sizeof(WAVEHDR) || (!header->lpData && header->dwBufferLength > 0)) {
    return MMSYSERR_INVALPARAM;
  }
  std::lock_guard guard(mutex_);
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT WaveStream::Unprepare(WAVEHDR* header, UINT size) {
  if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  std::lock_guard guard(mutex_);
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT WaveStream::Queue(WAVEHDR* header, UINT size) {
  if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  std::lock_guard guard(mutex_);
  if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  // A buffer already queued is not queued twice.
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  if (closing_) return MMSYSERR_INVALHANDLE;
  header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
  header->lpNext = nullptr;
  if (direction_ == Direction::In) header->dwBytesRecorded = 0;
  queue_.push_back(header);
  Wake();
  return MMSYSERR_NOERROR;
}

MMRESULT WaveStream::Pause() {
  std::lock_guard guard(mutex_);
  if (!paused_) {
    paused_ = true;
    pausedAt_ = kernel::clock::NowMs();
  }
  return MMSYSERR_NOERROR;
}

MMRESULT WaveStream::Restart() {
  std::lock_guard guard(mutex_);
  if (paused_) {
    paused_ = false;
    // The buffer under way resumes where it stopped.
    anchorMs_ += kernel::clock::NowMs() - pausedAt_;
    Wake();
  }
  return MMSYSERR_NOERROR;
}

MMRESULT WaveStream::StartInput() {
  std::lock_guard guard(mutex_);
  if (!started_) {
    started_ = true;
    running_ = false;
    current_ = false;
    Wake();
  }
  return MMSYSERR_NOERROR;
}

MMRESULT WaveStream::StopInput() {
  {
    std::lock_guard guard(mutex_);
    if (started_) {
      CutInput(kernel::clock::NowMs());
      started_ = false;
      running_ = false;
    }
    Wake();
  }
  WaitDelivered();
  return MMSYSERR_NOERROR;
}

MMRESULT WaveStream::Reset() {
  {
    std::lock_guard guard(mutex_);
    if (direction_ == Direction::In && started_) CutInput(kernel::clock::NowMs());
    started_ = false;
    running_ = false;
    current_ = false;
    loopsLeft_ = 0;
    doneFrames_ = 0;
    for (WAVEHDR* header : queue_) {
      header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
      Notify(direction_ == Direction::Out ? WOM_DONE : WIM_DATA, header);
    }
    queue_.clear();
    Wake();
  }
  WaitDelivered();
  return MMSYSERR_NOERROR;
}

std::uint64_t WaveStream::PlayedFrames() {
  std::lock_guard guard(mutex_);
  std::uint64_t frames = doneFrames_;
  if (current_ && !queue_.empty()) {
    // A paused buffer stands where the pause caught it.
    const std::uint64_t now = paused_ ? pausedAt_ : kernel::clock::NowMs();
    const std::uint64_t start = anchorMs_ + FrameMs(anchorFrames_);
    const std::uint64_t elapsed = now > start ? now - start : 0;
    frames += std::min<std::uint64_t>(currentFrames_, elapsed * format_.rate / 1000);
  }
  return frames;
}

MMRESULT WaveStream::Close() {
  {
    std::lock_guard guard(mutex_);
    if (!queue_.empty()) return WAVERR_STILLPLAYING;
    if (closing_) return MMSYSERR_INVALHANDLE;
    closing_ = true;
    Notify(direction_ == Direction::Out ? WOM_CLOSE : WIM_CLOSE, nullptr);
    Wake();
  }
  // From the stream's own callback the thread ends by itself afterwards.
  if (!OnOwnThread()) WaitForSingleObject(thread_, INFINITE);
  return MMSYSERR_NOERROR;
}

}  // namespace ce::media
