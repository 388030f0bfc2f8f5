// A recording and a playback as the user interface runs them: each session
// owns its pipeline's stages, links them as the chain of the moment needs,
// and takes them apart in the one order that loses nothing.
//
// Record: recorder -> booster -> level meter -> time meter -> buffering
// thread -> the record chain (encoder and writer). Pause cuts the link from
// the level meter to the time meter, so captured sound is measured but
// neither timed nor written.
//
// Play: the play chain's provider -> level meter -> player.
//
// Both run on the user interface's thread; the stages have threads of their
// own and are read through their own locks.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/active_buffer.h"
#include "audio/booster.h"
#include "audio/chains.h"
#include "audio/level_meter_record.h"
#include "audio/meters.h"
#include "audio/player_pcm.h"
#include "audio/recorder_pcm.h"

namespace audio {

class RecordSession {
 public:
  // Seconds without a sample above the threshold before the level meter
  // reports silence (voice activation).
  static constexpr double kSilenceTimeoutSeconds = 2.0;

  RecordSession();
  RecordSession(const RecordSession&) = delete;
  RecordSession& operator=(const RecordSession&) = delete;
  // Stops a recording that still runs, which finishes its file.
  ~RecordSession();

  // Stops any recording under way, then records 16-bit PCM of that many
  // channels and that rate from the default input into `chain`. False, with
  // the session stopped again (the chain goes, a file it made stays), when
  // there is no chain or the input does not open or start in that format.
  bool start(std::unique_ptr<RecordChain> chain, std::uint32_t channels, std::uint32_t sample_rate);
  // Pause cuts the recording from the time meter on; resume restores it.
  // Both do nothing when no recording runs.
  void pause();
  void resume();
  bool is_paused() const { return paused_; }
  // Voice activation: while silent (and not paused) the recording is cut
  // from the time meter as a pause cuts it; sound brings it back.
  void set_silent(bool silent);

  // Ends the capture: the recorder stops, hands on the buffer under way and
  // goes. The rest of the pipeline keeps what it has until stop(). Lets the
  // caller do something between the end of capture and the end of the file
  // (the end-of-recording sound).
  void end_capture();
  // Ends the recording, losing nothing the recorder took in: end_capture,
  // the booster's look-ahead delivered, the buffering thread drained, the
  // stages reset, and the chain deleted, which hands the encoder's last
  // (padded) block to the writer and finishes the file. Idempotent. A
  // buffering thread that stops making progress for kDrainStallMs is given
  // up (its blocks dropped) rather than holding the caller forever.
  static constexpr unsigned kDrainStallMs = 5000;
  void stop();

  bool is_recording() const { return chain_ != nullptr; }
  // True when the recording cannot go on: the writer stopped accepting
  // (a full or failed medium) or the buffer overflowed. The caller stops.
  bool has_ended();
  // Seconds recorded (paused spans not counted).
  double position() const { return time_meter_.get_time(); }

  // For the display and the controls while a recording runs.
  RecordChain* chain() { return chain_.get(); }
  Recorder* recorder() { return recorder_.get(); }
  Booster& booster() { return booster_; }
  LevelMeterRecord& level_meter() { return level_meter_; }

 private:
  Booster booster_;
  LevelMeterRecord level_meter_{kSilenceTimeoutSeconds};
  TimeMeter time_meter_;
  ActiveBuffer buffer_;
  std::unique_ptr<RecordChain> chain_;
  std::unique_ptr<RecorderPCM> recorder_;
  bool paused_ = false;
  bool silent_ = false;
  void drain_buffer();
};

class PlaySession {
 public:
  PlaySession();
  PlaySession(const PlaySession&) = delete;
  PlaySession& operator=(const PlaySession&) = delete;
  ~PlaySession();

  // Stops any playback under way, then plays `chain`. False, with the
  // session stopped again, when there is no chain or the player does not
  // start.
  bool start(std::unique_ptr<PlayChain> chain);
  // Pause holds the player where it is; resume goes on. Both do nothing
  // when nothing plays.
  void pause();
  void resume();
  bool is_paused() const { return paused_; }
  // Ends the playback and lets the chain go. Idempotent.
  void stop();

  bool is_playing() const { return chain_ != nullptr; }
  // Position, length and seeking in the reader's units (see FileReader);
  // 0 when nothing plays. The position is that of the sound being heard,
  // which trails the reader by what the decoder and the player hold.
  std::uint32_t position();
  std::uint32_t length();
  void seek(std::uint32_t units);
  // Seconds; the position as above.
  double position_time();
  double length_time();
  // The reader has given everything.
  bool has_ended();
  // The playback is over: the reader has given everything and the player
  // has played it out, or the player could play none of it.
  bool is_played_out();

  PlayChain* chain() { return chain_.get(); }
  PlayerPCM& player() { return player_; }
  LevelMeter& level_meter() { return level_meter_; }

 private:
  // Where the player's stream and the file meet: what the player pulls
  // from `stream` seconds of its pulled clock on is the file's sound from
  // `file` seconds. Set at the start and at each seek, which stop the
  // player first, so nothing pulled before it is heard after it.
  struct Anchor {
    double stream = 0.0;
    double file = 0.0;
  };
  void set_anchor();

  LevelMeter level_meter_;
  PlayerPCM player_;
  std::unique_ptr<PlayChain> chain_;
  Anchor anchor_;
  bool paused_ = false;
};

}  // namespace audio
