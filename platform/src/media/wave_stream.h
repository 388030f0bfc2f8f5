// One open wave device: the queue of buffers, the pacing by the platform
// clock, and the thread that plays or records and delivers notifications.
//
// Each stream has its own platform thread (the "audio thread" of a program).
// The thread starts the front buffer when its time comes, hands its bytes to
// the back end then (so bytes written into a queued buffer before it plays
// are heard), waits for the platform clock to reach the buffer's end, marks
// it done and notifies. Notifications are delivered on that thread, in order,
// with no lock held, so a function callback may queue the next buffer.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "ce/mmsystem.h"
#include "media/audio_backend.h"

namespace ce::media {

enum class Direction { Out, In };

class WaveStream : public std::enable_shared_from_this<WaveStream> {
 public:
  WaveStream(Direction direction, UINT device, const PcmFormat& format, DWORD callbackKind, DWORD_PTR callback,
             DWORD_PTR instance);
  ~WaveStream();
  WaveStream(const WaveStream&) = delete;
  WaveStream& operator=(const WaveStream&) = delete;

  // Starts the stream's thread, which delivers the open notification first.
  MMRESULT Begin(std::unique_ptr<AudioSink> sink, std::unique_ptr<AudioSource> source, HANDLE handle);

  Direction direction() const { return direction_; }
  UINT device() const { return device_; }
  const PcmFormat& format() const { return format_; }

  MMRESULT Prepare(WAVEHDR* header, UINT size);
  MMRESULT Unprepare(WAVEHDR* header, UINT size);
  // waveOutWrite and waveInAddBuffer.
  MMRESULT Queue(WAVEHDR* header, UINT size);
  MMRESULT Pause();
  MMRESULT Restart();
  MMRESULT StartInput();
  MMRESULT StopInput();
  MMRESULT Reset();
  // Output: frames heard since the open or the last reset (the buffer under
  // way counted as far as the clock has played it).
  std::uint64_t PlayedFrames();
  // Ends the thread after the close notification; refused while buffers
  // are queued.
  MMRESULT Close();

 private:
  struct Note {
    UINT message;
    WAVEHDR* header;
  };

  static DWORD WINAPI ThreadMain(LPVOID parameter);
  void Run();
  // Plays or records what is due; the milliseconds until the next due
  // moment, or INFINITE. Lock held.
  DWORD StepOutput(std::uint64_t now);
  DWORD StepInput(std::uint64_t now);
  // Ends the front input buffer with what it holds by now. Lock held.
  void CutInput(std::uint64_t now);
  void Notify(UINT message, WAVEHDR* header);
  void Deliver(const Note& note);
  // Waits until every notification queued so far has been delivered (not
  // on the stream's own thread). Lock not held.
  void WaitDelivered();
  bool OnOwnThread() const;
  std::uint64_t FrameMs(std::uint64_t frames) const;
  void Wake();

  const Direction direction_;
  const UINT device_;
  const PcmFormat format_;
  const DWORD callbackKind_;
  const DWORD_PTR callback_;
  const DWORD_PTR instance_;
  HANDLE handle_ = nullptr;  // the HWAVEOUT / HWAVEIN value

  std::mutex mutex_;
  std::unique_ptr<AudioSink> sink_;
  std::unique_ptr<AudioSource> source_;
  std::deque<WAVEHDR*> queue_;
  std::deque<Note> notes_;
  std::uint64_t notesQueued_ = 0;
  std::uint64_t notesDelivered_ = 0;
  bool closing_ = false;
  bool paused_ = false;
  std::uint64_t pausedAt_ = 0;
  bool started_ = false;  // input: recording
  bool running_ = false;  // the timeline (anchor) is valid
  std::uint64_t anchorMs_ = 0;
  std::uint64_t anchorFrames_ = 0;  // frames done since the anchor
  bool current_ = false;            // the front buffer has begun
  std::uint64_t currentFrames_ = 0;
  std::uint64_t doneFrames_ = 0;  // output: frames of finished buffers since open or reset
  DWORD loopsLeft_ = 0;

  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  HANDLE wake_ = nullptr;       // auto-reset: something changed
  HANDLE delivered_ = nullptr;  // auto-reset: a notification was delivered
};

// The handle table of the wave devices. Values are never reused, so a
// closed handle stays invalid.
HANDLE InsertStream(std::shared_ptr<WaveStream> stream);
std::shared_ptr<WaveStream> FindStream(HANDLE handle, Direction direction);
void RemoveStream(HANDLE handle);

// Device volumes (per output device), 0xFFFFFFFF at start.
std::uint32_t DeviceVolume(UINT device);
void SetDeviceVolume(UINT device, std::uint32_t volume);

// Checks a WAVEFORMATEX and turns it into a PcmFormat.
MMRESULT CheckFormat(const WAVEFORMATEX* format, PcmFormat* out);

}  // namespace ce::media
