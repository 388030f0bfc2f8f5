// ssMoviePlayer: plays one of the game's movies full screen, frame by frame
// from the application's event loop, with its Ogg Vorbis sound track.
//
// The movie is an AVI file (an archive member, or a plain file without an
// archive); its video is decoded by ssVP3Decoder when the stream's handler
// is "vp31" (in any case) and by the empty ssVideoDecoder otherwise, which
// shows nothing but keeps the movie's time. The sound track is the file of
// the same base name with the extension ".ogg"; when there is none the
// movie plays silent.
//
// Timing: frame k of the movie (counting from the first frame played) is
// due k / 14.997 s after the first Update, when the first frame is shown and
// the sound track starts. Each Update shows the frame decoded last, reads
// and decodes the next one and sleeps until it is due; a frame decoded more
// than 60 ms late is not shown. A key press, a pen move or a tap ends the
// movie: the Update that receives it returns 0 and the next one -1.
//
// Life: Init, Open, Start, Update ... until -1, Stop, Close.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ce/windef.h"
#include "display/input.h"

class ssArchive;
class ssAudioDevice;
class ssAviDemuxer;
class ssDisplay;
class ssFile;
class ssImage;
class ssOggSource;
class ssTimer;
class ssVideoDecoder;

class ssMoviePlayer {
 public:
  static constexpr float kFrameRate = 14.997f;  // frames a second, whatever the file says
  static constexpr std::uint32_t kLateMs = 60;  // a frame decoded later than this is not shown
  // The sound track's source: 16 bits, 1 channel, 8000 Hz, 4 blocks of 4096 bytes.
  static constexpr std::uint32_t kTrackBlockLength = 4096;

  ssMoviePlayer();
  ~ssMoviePlayer();
  ssMoviePlayer(const ssMoviePlayer&) = delete;
  ssMoviePlayer& operator=(const ssMoviePlayer&) = delete;

  // Stores the devices and creates the timer. The audio device's paused
  // flag is saved and cleared for the time of the movie, so the sound track
  // is heard; Close puts it back.
  void Init(ssDisplay* display, ssAudioDevice* audio, ssInput* input);
  // Opens `name` in `folder` of the archive file `archive` through
  // m_Archive, or `name` as a plain file when m_Archive is null. 0, -1 when
  // the movie cannot be opened, or the demuxer's failure.
  int Open(const wchar_t* name, const wchar_t* folder, const wchar_t* archive);
  void SetVolume(std::uint32_t volume) { m_Volume = volume; }
  // The area of the logical screen the picture is centred in (empty: the
  // whole screen).
  void SetRects(const RECT& rect);
  // Plays frames first to end (0: to the last); 0, or -1 when nothing is
  // open or `first` is past the end.
  int Start(std::uint32_t first, std::uint32_t end);
  // 0 while playing, -1 once the movie has ended.
  int Update(const InputEvent& event);
  // Closes the stream; 0.
  int Stop();
  // Detaches and deletes the sound track, puts the audio flag back and
  // frees everything Open and Start made.
  void Close();

  ssArchive* m_Archive = nullptr;  // set by the application before Open
  // Frames rendered into an image (drawn with the display's DrawImage)
  // instead of straight into the back buffer.
  bool m_RenderToImage = false;

  // State, for the application and tests.
  std::uint32_t m_Width = 0;
  std::uint32_t m_Height = 0;
  std::uint32_t m_FrameCount = 0;
  std::uint32_t m_EndFrame = 0;
  std::uint32_t m_CurrentFrame = 0;
  std::uint32_t m_FirstFrame = 0;
  std::uint32_t m_LastRead = 0;  // ms of the player's timer
  std::uint32_t m_DueTime = 0;
  std::uint32_t m_StartTime = 0;
  std::uint32_t m_Volume = 0;
  float m_Rate = kFrameRate;
  bool m_Late = false;
  bool m_FirstUpdate = false;
  bool m_Decoded = false;  // a frame has been decoded since Start
  int m_FramesShown = 0;   // since Start
  bool HasSoundTrack() const { return m_Track != nullptr; }
  bool DecodesVideo() const;
  ssTimer* Timer() { return m_Timer.get(); }

 private:
  // Reads the demuxer's current frame into the frame buffer (grown to it);
  // false when it could not be read.
  bool ReadNextFrame();
  void Show();
  // The movie is over: stop the sound, free the frame buffer, clear the
  // screen.
  int Finish();

  ssDisplay* m_Display = nullptr;
  ssAudioDevice* m_Audio = nullptr;
  ssInput* m_Input = nullptr;
  std::unique_ptr<ssTimer> m_Timer;
  std::unique_ptr<ssFile> m_Stream;
  std::unique_ptr<ssAviDemuxer> m_Demuxer;
  std::unique_ptr<ssVideoDecoder> m_Decoder;
  std::unique_ptr<ssOggSource> m_Track;
  std::unique_ptr<ssImage> m_Image;
  std::vector<std::uint8_t> m_FrameData;
  std::vector<std::uint8_t> m_ImagePixels;  // the target image's pixels
  std::uint32_t m_FrameBytes = 0;           // of the frame in m_FrameData
  RECT m_Rects[2]{};
  bool m_SavedPaused = false;
  bool m_Finished = false;
};
