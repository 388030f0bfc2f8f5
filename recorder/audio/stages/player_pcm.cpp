#include "audio/player_pcm.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#include "audio/device_thread.h"
#include "ce/mmsystem.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "liba/error.h"

namespace audio {
namespace {

constexpr std::uint32_t kPullFrames = 16384;
constexpr UINT kPoke = WM_USER;
constexpr int kBufferCount = 3;
// A format whose 200 ms need more than this is refused rather than allocated.
constexpr std::uint64_t kMaxBufferBytes = 16u << 20;

}  // namespace

class PlayerPCMImpl : public DeviceThread {
 public:
  explicit PlayerPCMImpl(PlayerPCM& owner) : owner_(owner) {
    for (WAVEHDR& h : headers_) h = WAVEHDR{};
    start_and_wait();
  }

  ~PlayerPCMImpl() override {
    request_stop();
    if (thread_id() != 0) PostThreadMessageW(thread_id(), kPoke, 0, 0);
    wait();
  }

  bool post_poke() { return thread_id() != 0 && PostThreadMessageW(thread_id(), kPoke, 0, 0) != FALSE; }

  bool play() {
    failed_ = false;
    active_ = true;
    pause_requested_ = false;
    return post_poke();
  }
  bool stop() {
    active_ = false;
    pause_requested_ = false;
    ++stops_;
    return post_poke();
  }
  bool pause() {
    pause_requested_ = true;
    return post_poke();
  }

  void set_volume(double v) {
    liba::Lock hold(owner_.lock);
    volume_ = std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0);
    apply_volume();
  }
  double get_volume() {
    liba::Lock hold(owner_.lock);
    return volume_;
  }
  std::uint32_t get_state() {
    liba::Lock hold(owner_.lock);
    return state_;
  }
  std::uint32_t get_buffer_size() {
    liba::Lock hold(owner_.lock);
    return buffer_size_;
  }
  bool has_failed() const { return failed_; }
  PlayerPCM::Clock get_clock() {
    liba::Lock hold(owner_.lock);
    return {pulled_, played_before_ + device_seconds()};
  }

 private:
  void on_message(const MSG& msg) override {
    switch (msg.message) {
      case MM_WOM_OPEN:
        on_open(reinterpret_cast<HWAVEOUT>(msg.wParam));
        break;
      case MM_WOM_CLOSE:
        on_close();
        break;
      case MM_WOM_DONE:
        on_done(reinterpret_cast<WAVEHDR*>(msg.lParam));
        break;
      case kPoke:
        on_poke();
        break;
      default:
        break;
    }
  }

  void on_pump_end() override {
    liba::Lock hold(owner_.lock);
    if (device_ != nullptr) {
      waveOutReset(device_);
      waveOutClose(device_);
      device_ = nullptr;
      settle_clock();
    }
  }

  void on_poke() {
    liba::Lock hold(owner_.lock);
    // Every stop is honoured, even when a play() came after it before this
    // poke: what was queued or pending belongs to the stream that stopped
    // and is never heard after it.
    const std::uint32_t stops = stops_;
    if (stops != stops_seen_) {
      stops_seen_ = stops;
      if (state_ != 0) {
        state_ = 2;
        if (device_ != nullptr) waveOutReset(device_);
      }
      pending_ = PCMData();
      // What the reset took back is never heard: the device is at 0 again.
      settle_clock();
      // A device with nothing queued gets no buffer back to close it on.
      keep_going();
    }
    if (active_ && state_ == 0) {
      if (pending_.size() == 0) pull();
      if (pending_.size() != 0) {
        channels_ = pending_.channels;
        bits_ = pending_.bits;
        rate_ = pending_.rate;
        state_ = 1;
        if (!open_device()) {
          // A block no device can play is dropped; the player stays closed
          // and a later play() tries the next one.
          pending_ = PCMData();
          channels_ = bits_ = rate_ = 0;
          state_ = 0;
          settle_clock();
          failed_ = true;
        }
      }
    }
    if (device_ == nullptr) return;
    if (pause_requested_ && !device_paused_) {
      waveOutPause(device_);
      device_paused_ = true;
    } else if (!pause_requested_ && device_paused_) {
      waveOutRestart(device_);
      device_paused_ = false;
    }
  }

  // Opens the device in the open format; false when the format is empty or
  // refused (then no device is open).
  bool open_device() {
    if (device_ != nullptr) return true;
    const std::uint32_t align = (bits_ * channels_) / 8;
    const std::uint64_t size = static_cast<std::uint64_t>(rate_) * 200 / 1000 * align;
    if (align == 0 || align > 0xFFFF || channels_ > 0xFFFF || bits_ > 0xFFFF || size == 0 || size > kMaxBufferBytes) {
      return false;
    }
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels_);
    format.nSamplesPerSec = rate_;
    format.nBlockAlign = static_cast<WORD>(align);
    format.nAvgBytesPerSec = static_cast<DWORD>(static_cast<std::uint64_t>(align) * rate_);
    format.wBitsPerSample = static_cast<WORD>(bits_);
    format.cbSize = 0;
    HWAVEOUT device = nullptr;
    if (waveOutOpen(&device, WAVE_MAPPER, &format, thread_id(), 0, CALLBACK_THREAD) != MMSYSERR_NOERROR) {
      return false;
    }
    device_ = device;
    if (size != buffer_size_) {
      buffer_size_ = static_cast<std::uint32_t>(size);
      for (std::vector<char>& b : buffers_) b.assign(buffer_size_, 0);
    }
    for (int i = 0; i < kBufferCount; ++i) headers_[i].dwUser = 0;
    return true;
  }

  void apply_volume() {
    if (device_ == nullptr) return;
    const DWORD w = static_cast<DWORD>(volume_ * 65535.0);
    waveOutSetVolume(device_, w | (w << 16));
  }

  bool all_free() const {
    return std::all_of(std::begin(headers_), std::end(headers_), [](const WAVEHDR& h) { return h.dwUser == 0; });
  }

  // After a buffer came back or the device opened: refill while playing,
  // close once a drained stream has every buffer back.
  void keep_going() {
    // A stream whose stop is on its way is not refilled.
    if (state_ == 1 && stops_ == stops_seen_ && !fill_buffers()) state_ = 2;
    if (state_ == 2 && all_free() && device_ != nullptr) {
      // Everything queued has played; a closed device has no position.
      settle_clock();
      waveOutClose(device_);
    }
  }

  void on_open(HWAVEOUT device) {
    liba::Lock hold(owner_.lock);
    device_ = device;
    apply_volume();
    keep_going();
  }

  void on_done(WAVEHDR* header) {
    liba::Lock hold(owner_.lock);
    if (header == nullptr) return;
    waveOutUnprepareHeader(device_, header, sizeof(WAVEHDR));
    header->dwUser = 0;
    keep_going();
  }

  void on_close() {
    {
      liba::Lock hold(owner_.lock);
      for (WAVEHDR& h : headers_) {
        waveOutUnprepareHeader(device_, &h, sizeof(WAVEHDR));
        h.dwFlags = 0;
        h.dwUser = 0;
      }
      state_ = 0;
      channels_ = bits_ = rate_ = 0;
      device_ = nullptr;
      device_paused_ = false;
    }
    // A player that is still active reopens at once for the pending block
    // (this is how a change of format in mid-stream plays on).
    post_poke();
  }

  // Fills every free buffer in turn and queues it; false when the data ran
  // out (or met a new format) before all were full.
  bool fill_buffers() {
    for (int i = 0; i < kBufferCount; ++i) {
      WAVEHDR& h = headers_[i];
      if (h.dwUser != 0) continue;
      char* data = buffers_[i].data();
      std::uint32_t count = 0;
      std::uint32_t remaining = buffer_size_;
      while (remaining > 0) {
        if (pending_.size() == 0) {
          pull();
          if (pending_.size() == 0) break;
          if (pending_.channels != channels_ || pending_.bits != bits_ || pending_.rate != rate_) break;
        }
        const std::uint32_t n = std::min(pending_.size(), remaining);
        std::memcpy(data + count, pending_.buffer.data(), n);
        count += n;
        remaining -= n;
        pending_.buffer = SharedBuffer(pending_.buffer, n, pending_.size() - n);
      }
      h.lpData = data;
      h.dwBufferLength = count;
      h.dwBytesRecorded = 0;
      h.dwUser = 1;
      h.dwFlags = 0;
      if (waveOutPrepareHeader(device_, &h, sizeof(WAVEHDR)) != MMSYSERR_NOERROR ||
          waveOutWrite(device_, &h, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        // No notification will come for this buffer: it is free again and
        // the stream ends here as at the end of the data.
        waveOutUnprepareHeader(device_, &h, sizeof(WAVEHDR));
        h.dwUser = 0;
        pending_ = PCMData();
        return false;
      }
      if (remaining > 0) return false;
    }
    return true;
  }

  // Pulls the next block into pending_ and counts it on the stream clock.
  // Nothing is pulled while a stop is on its way: what comes after it may
  // already belong to the next stream (its caller links that in under the
  // player's lock), and the stop would drop it unheard.
  void pull() {
    if (stops_ != stops_seen_) {
      pending_ = PCMData();
      return;
    }
    owner_.pull(pending_, kPullFrames);
    pulled_ += seconds_of(pending_);
  }

  static double seconds_of(const PCMData& block) {
    const std::uint32_t frame = block.frame_size();
    return block.rate == 0 || frame == 0 ? 0.0 : static_cast<double>(block.size() / frame) / block.rate;
  }

  // Seconds the open device has played since it was opened or reset.
  double device_seconds() {
    if (device_ == nullptr || rate_ == 0) return 0.0;
    MMTIME time{};
    time.wType = TIME_SAMPLES;
    if (waveOutGetPosition(device_, &time, sizeof time) != MMSYSERR_NOERROR || time.wType != TIME_SAMPLES) return 0.0;
    return static_cast<double>(time.u.sample) / rate_;
  }

  // Called when nothing more of what was pulled will be heard except the
  // pending block, and the device position no longer counts (it was reset,
  // is about to close, or none is open): the played clock catches up with
  // the pulled one.
  void settle_clock() { played_before_ = pulled_ - seconds_of(pending_); }

  PlayerPCM& owner_;
  HWAVEOUT device_ = nullptr;
  WAVEHDR headers_[kBufferCount];
  std::vector<char> buffers_[kBufferCount];
  double volume_ = 1.0;
  std::uint32_t channels_ = 0, bits_ = 0, rate_ = 0;
  std::uint32_t buffer_size_ = 0;
  PCMData pending_;
  std::uint32_t state_ = 0;
  bool device_paused_ = false;
  double pulled_ = 0.0;         // seconds pulled from the provider
  double played_before_ = 0.0;  // seconds heard before the device's own position
  std::atomic<bool> failed_{false};
  std::atomic<std::uint32_t> stops_{0};  // stop() calls so far
  std::uint32_t stops_seen_ = 0;         // those the thread has acted on
  std::atomic<bool> active_{false};
  std::atomic<bool> pause_requested_{false};
};

PlayerPCM::PlayerPCM() : impl_(std::make_unique<PlayerPCMImpl>(*this)) {}

PlayerPCM::~PlayerPCM() { impl_.reset(); }

void PlayerPCM::on_data(const PCMData& /*block*/) {
  liba::fatal_error(L"PlayerPCM::on_data", L"on_data unexpected - player is active object");
}

bool PlayerPCM::play() { return impl_->play(); }
bool PlayerPCM::stop() { return impl_->stop(); }
bool PlayerPCM::pause() { return impl_->pause(); }
void PlayerPCM::set_volume(double volume) { impl_->set_volume(volume); }
double PlayerPCM::get_volume() { return impl_->get_volume(); }
std::uint32_t PlayerPCM::get_state() { return impl_->get_state(); }
std::uint32_t PlayerPCM::get_buffer_size() { return impl_->get_buffer_size(); }
bool PlayerPCM::has_failed() { return impl_->has_failed(); }
PlayerPCM::Clock PlayerPCM::get_clock() { return impl_->get_clock(); }

}  // namespace audio
