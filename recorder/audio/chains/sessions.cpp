#include "audio/sessions.h"

#include <algorithm>

#include "liba/thread.h"
#include "os/log.h"

namespace audio {

// Record

RecordSession::RecordSession() {
  connect<PCMData>(&booster_, &level_meter_);
  connect<PCMData>(&time_meter_, &buffer_);
}

RecordSession::~RecordSession() {
  stop();
  disconnect<PCMData>(&booster_);
  disconnect<PCMData>(&time_meter_);
}

bool RecordSession::start(std::unique_ptr<RecordChain> chain, std::uint32_t channels, std::uint32_t sample_rate) {
  stop();
  if (!chain) return false;
  chain_ = std::move(chain);
  recorder_ = std::make_unique<RecorderPCM>(channels, sample_rate, 16);
  time_meter_.reset();
  connect<PCMData>(recorder_.get(), &booster_);
  connect<PCMData>(&level_meter_, &time_meter_);
  connect<PCMData>(&buffer_, chain_->get_consumer());
  paused_ = false;
  silent_ = false;
  if (recorder_->is_open() && recorder_->start()) return true;
  stop();
  return false;
}

void RecordSession::pause() {
  if (!chain_ || paused_) return;
  disconnect<PCMData>(&level_meter_);
  paused_ = true;
  silent_ = false;
}

void RecordSession::resume() {
  if (!chain_ || !paused_) return;
  connect<PCMData>(&level_meter_, &time_meter_);
  paused_ = false;
}

void RecordSession::set_silent(bool silent) {
  if (!chain_ || paused_ || silent == silent_) return;
  if (silent)
    disconnect<PCMData>(&level_meter_);
  else
    connect<PCMData>(&level_meter_, &time_meter_);
  silent_ = silent;
}

void RecordSession::drain_buffer() {
  // Waits while the queue keeps shrinking; a thread that stalls is logged
  // and its queue dropped by the reset that follows.
  std::uint32_t last = buffer_.get_queued_count();
  unsigned stalled_ms = 0;
  while (last != 0 && stalled_ms < kDrainStallMs) {
    liba::sleep(10);
    const std::uint32_t now = buffer_.get_queued_count();
    stalled_ms = now < last ? 0 : stalled_ms + 10;
    last = now;
  }
  if (last != 0)
    os::get_log() << L"RecordSession: the buffering thread stalled; " << std::to_wstring(last) << L" blocks dropped\n";
}

void RecordSession::end_capture() {
  if (!recorder_) return;
  // stop() pushes the buffer under way before it returns, so nothing the
  // recorder took in is lost when it is unlinked afterwards.
  recorder_->stop();
  disconnect<PCMData>(recorder_.get());
  recorder_.reset();
}

void RecordSession::stop() {
  end_capture();
  if (!chain_) return;
  // The booster's look-ahead goes down the pipeline before it comes apart,
  // and the buffering thread hands every queued block to the encoder.
  booster_.flush();
  drain_buffer();
  booster_.reset();
  buffer_.reset();
  disconnect<PCMData>(&buffer_);
  disconnect<PCMData>(&level_meter_);
  // The encoder's last block, padded, reaches the writer, which finishes
  // the file.
  chain_.reset();
  paused_ = false;
}

bool RecordSession::has_ended() { return chain_ && (!chain_->get_writer()->is_open() || !buffer_.is_accepting()); }

// Play

PlaySession::PlaySession() { connect<PCMData>(&level_meter_, &player_); }

PlaySession::~PlaySession() {
  stop();
  disconnect<PCMData>(&level_meter_);
}

bool PlaySession::start(std::unique_ptr<PlayChain> chain) {
  stop();
  if (!chain) return false;
  {
    // Linked in under the player's lock, after the stop: the player pulls
    // nothing of the new chain before it has dropped the old stream.
    liba::Lock hold(player_.lock);
    chain_ = std::move(chain);
    connect<PCMData>(chain_->get_provider(), &level_meter_);
    set_anchor();
  }
  paused_ = false;
  if (player_.play()) return true;
  stop();
  return false;
}

void PlaySession::pause() {
  if (!chain_ || paused_) return;
  player_.pause();
  paused_ = true;
}

void PlaySession::resume() {
  if (!chain_ || !paused_) return;
  player_.play();
  paused_ = false;
}

void PlaySession::stop() {
  player_.stop();
  if (chain_) {
    // Under the level meter's lock: a pull of the player's thread ends
    // before the chain goes.
    disconnect<PCMData>(chain_->get_provider());
    chain_.reset();
  }
  anchor_ = Anchor();
  paused_ = false;
}

void PlaySession::set_anchor() {
  // Under the player's lock no pull is under way: everything the player
  // pulls after this comes from the reader's present position.
  liba::Lock hold(player_.lock);
  anchor_ = {player_.get_clock().pulled, chain_->get_reader()->get_position_time()};
}

std::uint32_t PlaySession::position() {
  if (!chain_) return 0;
  FileReader* reader = chain_->get_reader();
  return std::min(reader->get_length(), reader->time_to_units(position_time()));
}

std::uint32_t PlaySession::length() { return chain_ ? chain_->get_reader()->get_length() : 0; }

void PlaySession::seek(std::uint32_t units) {
  if (!chain_) return;
  // The sound read ahead of the old place is dropped, so the new place is
  // heard at once; a paused playback stays paused.
  player_.stop();
  {
    liba::Lock hold(player_.lock);
    chain_->get_reader()->seek(units);
    set_anchor();
  }
  player_.play();
  if (paused_) player_.pause();
}

double PlaySession::position_time() {
  if (!chain_) return 0.0;
  // Until the player has dropped what came before the anchor, the place
  // the playback was sent to stands.
  const double heard = std::max(0.0, player_.get_clock().played - anchor_.stream);
  return std::clamp(anchor_.file + heard, 0.0, std::max(0.0, chain_->get_reader()->get_length_time()));
}

double PlaySession::length_time() { return chain_ ? chain_->get_reader()->get_length_time() : 0.0; }

bool PlaySession::has_ended() {
  if (!chain_) return false;
  FileReader* reader = chain_->get_reader();
  return reader->get_length() <= reader->get_position() || reader->is_end();
}

bool PlaySession::is_played_out() {
  return chain_ && ((has_ended() && player_.get_state() == 0) || player_.has_failed());
}

}  // namespace audio
