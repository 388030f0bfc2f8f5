#include "audio/recorder_pcm.h"

#include <vector>

#include "audio/device_thread.h"
#include "ce/mmsystem.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "liba/error.h"

namespace audio {
namespace {

constexpr int kBufferCount = 20;
constexpr std::uint32_t kBufferFrames = 5000;
// Handled after every notification posted before it: stop() waits for it.
constexpr UINT kDrained = WM_USER + 1;

}  // namespace

class RecorderPCMImpl : public DeviceThread {
 public:
  RecorderPCMImpl(RecorderPCM& owner, std::uint32_t channels, std::uint32_t rate, std::uint32_t bits)
      : owner_(owner), channels_(channels), rate_(rate), bits_(bits) {
    for (WAVEHDR& h : headers_) h = WAVEHDR{};
    drained_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!start_and_wait()) return;
    const std::uint64_t align = block_align();
    const std::uint64_t size = align * kBufferFrames;
    // A zero format would give empty buffers that come back at once, forever.
    if (align == 0 || rate_ == 0 || align > 0xFFFF || channels_ > 0xFFFF || bits_ > 0xFFFF || size > 0xFFFFFFFFu) {
      return;
    }
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels_);
    format.nSamplesPerSec = rate_;
    format.nBlockAlign = static_cast<WORD>(align);
    format.nAvgBytesPerSec = static_cast<DWORD>(align * rate_);
    format.wBitsPerSample = static_cast<WORD>(bits_);
    format.cbSize = 0;
    liba::Lock hold(lock_);
    HWAVEIN device = nullptr;
    if (waveInOpen(&device, WAVE_MAPPER, &format, thread_id(), 0, CALLBACK_THREAD) != MMSYSERR_NOERROR) return;
    device_ = device;
    buffer_size_ = static_cast<std::uint32_t>(size);
    for (int i = 0; i < kBufferCount; ++i) {
      buffers_[i].assign(buffer_size_, 0);
      WAVEHDR& h = headers_[i];
      h = WAVEHDR{};
      h.lpData = buffers_[i].data();
      h.dwBufferLength = buffer_size_;
      waveInPrepareHeader(device_, &h, sizeof(WAVEHDR));
      waveInAddBuffer(device_, &h, sizeof(WAVEHDR));
    }
  }

  ~RecorderPCMImpl() override {
    {
      liba::Lock hold(lock_);
      closing_ = true;
      if (device_ != nullptr) {
        waveInReset(device_);
        waveInClose(device_);
      }
    }
    if (thread_id() != 0) PostThreadMessageW(thread_id(), WM_QUIT, 0, 0);
    wait();
    if (drained_ != nullptr) CloseHandle(drained_);
  }

  bool start() {
    liba::Lock hold(lock_);
    if (device_ == nullptr) return false;
    const bool ok = waveInStart(device_) == MMSYSERR_NOERROR;
    stopped_ = !ok;
    return ok;
  }

  bool stop() {
    {
      liba::Lock hold(lock_);
      if (stopped_) return true;
      if (device_ == nullptr || waveInStop(device_) != MMSYSERR_NOERROR) {
        stopped_ = false;
        return false;
      }
      stopped_ = true;
    }
    // The buffer under way has been posted back to this thread with what it
    // holds; wait until it has been pushed downstream.
    if (GetCurrentThreadId() != thread_id() && drained_ != nullptr && PostThreadMessageW(thread_id(), kDrained, 0, 0)) {
      WaitForSingleObject(drained_, INFINITE);
    }
    return true;
  }

  bool is_stopped() {
    liba::Lock hold(lock_);
    return stopped_;
  }
  bool is_open() {
    liba::Lock hold(lock_);
    return device_ != nullptr && capturing_;
  }
  std::uint32_t channels() {
    liba::Lock hold(lock_);
    return channels_;
  }
  std::uint32_t bits() {
    liba::Lock hold(lock_);
    return bits_;
  }
  std::uint32_t rate() {
    liba::Lock hold(lock_);
    return rate_;
  }
  std::uint32_t bitrate() {
    liba::Lock hold(lock_);
    return static_cast<std::uint32_t>(block_align() * rate_ * 8);
  }
  std::uint32_t buffer_size() {
    liba::Lock hold(lock_);
    return buffer_size_;
  }

 private:
  std::uint64_t block_align() const { return static_cast<std::uint64_t>(channels_) * ((bits_ + 7ull) / 8); }

  void on_message(const MSG& msg) override {
    switch (msg.message) {
      case MM_WIM_OPEN: {
        liba::Lock hold(lock_);
        break;
      }
      case MM_WIM_CLOSE: {
        liba::Lock hold(lock_);
        device_ = nullptr;
        stopped_ = true;
        break;
      }
      case MM_WIM_DATA:
        on_data(reinterpret_cast<WAVEHDR*>(msg.lParam));
        break;
      case kDrained:
        SetEvent(drained_);
        break;
      default:
        break;
    }
  }

  void on_data(WAVEHDR* header) {
    liba::Lock hold(lock_);
    if (header == nullptr) return;
    waveInUnprepareHeader(device_, header, sizeof(WAVEHDR));
    const std::uint32_t recorded = std::min(header->dwBytesRecorded, header->dwBufferLength);
    owner_.push(PCMData(SharedBuffer(header->lpData, recorded), channels_, bits_, rate_));
    bool all_done = true;
    for (const WAVEHDR& h : headers_) all_done = all_done && (h.dwFlags & WHDR_DONE) != 0;
    if (all_done) {
      // The device has been reset or starves: the buffers stay with us.
      capturing_ = false;
      return;
    }
    capturing_ = true;
    header->dwUser = 0;
    header->dwFlags = 0;
    header->dwBytesRecorded = 0;
    if (!closing_ && device_ != nullptr) {
      waveInPrepareHeader(device_, header, sizeof(WAVEHDR));
      waveInAddBuffer(device_, header, sizeof(WAVEHDR));
    }
  }

  liba::CriticalSection lock_;
  RecorderPCM& owner_;
  WAVEHDR headers_[kBufferCount];
  std::vector<char> buffers_[kBufferCount];
  HWAVEIN device_ = nullptr;
  std::uint32_t buffer_size_ = 0;
  bool capturing_ = true;
  bool stopped_ = false;
  bool closing_ = false;
  std::uint32_t channels_, rate_, bits_;
  HANDLE drained_ = nullptr;
};

RecorderPCM::RecorderPCM(std::uint32_t channels, std::uint32_t sample_rate, std::uint32_t bits_per_sample)
    : impl_(std::make_unique<RecorderPCMImpl>(*this, channels, sample_rate, bits_per_sample)) {}

RecorderPCM::~RecorderPCM() { impl_.reset(); }

PCMData& RecorderPCM::get_data(PCMData& /*out*/, std::uint32_t /*count*/) {
  liba::fatal_error(L"RecorderPCM::get_data", L"get_data unexpected - recorder is active object");
}

bool RecorderPCM::start() { return impl_->start(); }
bool RecorderPCM::stop() { return impl_->stop(); }
bool RecorderPCM::is_stopped() { return impl_->is_stopped(); }
bool RecorderPCM::is_open() { return impl_->is_open(); }
std::uint32_t RecorderPCM::get_channels() { return impl_->channels(); }
std::uint32_t RecorderPCM::get_bits_per_sample() { return impl_->bits(); }
std::uint32_t RecorderPCM::get_sample_rate() { return impl_->rate(); }
std::uint32_t RecorderPCM::get_bitrate() { return impl_->bitrate(); }
std::uint32_t RecorderPCM::get_buffer_size() { return impl_->buffer_size(); }

}  // namespace audio
