#include "engine/movie/movie_player.h"

#include <algorithm>
#include <cwchar>
#include <string>

#include "ce/winuser.h"
#include "display/display.h"
#include "engine/archive.h"
#include "engine/audio/audio_device.h"
#include "engine/file.h"
#include "engine/image.h"
#include "engine/log.h"
#include "engine/movie/avi_demuxer.h"
#include "engine/movie/ogg_source.h"
#include "engine/movie/video_decoder.h"
#include "engine/timer.h"

namespace {

// The largest frame the player reads: far beyond any VP3 frame of the
// screen's size, so a damaged index cannot make it allocate without bound.
constexpr std::uint32_t kMaxFrameBytes = 8u << 20;

}  // namespace

ssMoviePlayer::ssMoviePlayer() = default;

ssMoviePlayer::~ssMoviePlayer() { Close(); }

void ssMoviePlayer::Init(ssDisplay* display, ssAudioDevice* audio, ssInput* input) {
  m_Display = display;
  m_Audio = audio;
  m_Input = input;
  m_Timer = std::make_unique<ssTimer>();
  if (m_Audio != nullptr) {
    m_SavedPaused = m_Audio->Paused();
    if (m_SavedPaused) m_Audio->Pause(false);
  }
}

int ssMoviePlayer::Open(const wchar_t* name, const wchar_t* folder, const wchar_t* archive) {
  if (name == nullptr) return -1;
  if (m_Archive != nullptr) {
    m_Stream = m_Archive->OpenFile(name, folder, archive, kFileModeRead, 3);
  } else {
    auto file = std::make_unique<ssFile>();
    if (file->Open(name, kFileModeRead, 0)) m_Stream = std::move(file);
  }
  if (!m_Stream) return -1;

  m_Demuxer = std::make_unique<ssAviDemuxer>();
  if (const int result = m_Demuxer->Open(m_Stream.get()); result != 0) {
    m_Demuxer.reset();
    m_Stream.reset();
    return result;
  }
  m_Width = static_cast<std::uint32_t>(m_Demuxer->Width());
  m_Height = static_cast<std::uint32_t>(m_Demuxer->Height());
  m_FrameCount = m_Demuxer->FrameCount();
  if (m_RenderToImage) {
    m_Image = std::make_unique<ssImage>();
    m_ImagePixels.assign(static_cast<std::size_t>(m_Width) * m_Height * 2, 0);
    m_Image->SetBorrowedPixels(m_ImagePixels.data(), kPixelDisplay, static_cast<std::uint16_t>(m_Width),
                               static_cast<std::uint16_t>(m_Height), static_cast<std::uint32_t>(m_ImagePixels.size()));
  }

  if (m_Demuxer->HandlerIs("vp31")) {
    auto vp3 = std::make_unique<ssVP3Decoder>();
    if (vp3->Create(m_Display, static_cast<int>(m_Width), static_cast<int>(m_Height)) == 0) {
      // Doubled when twice the picture still fits the display's rows.
      const int row = m_Display != nullptr ? m_Display->m_Pitch / 2 : 0;
      vp3->m_Scale2x = !m_RenderToImage && 2 * static_cast<int>(m_Width) <= row;
      m_Decoder = std::move(vp3);
    }
  }
  if (!m_Decoder) {
    m_Decoder = std::make_unique<ssVideoDecoder>();
    m_Decoder->Create(m_Display, static_cast<int>(m_Width), static_cast<int>(m_Height));
  }

  // The sound track: the movie's name with ".ogg" for everything from its
  // last '.'. A name without one has no sound track.
  const std::wstring movie = name;
  const std::size_t dot = movie.find_last_of(L'.');
  if (dot != std::wstring::npos) {
    auto track = std::make_unique<ssOggSource>();
    track->Create(m_Audio, 16, 1, 8000, kTrackBlockLength, 4, false, 0);
    track->m_Archive = m_Archive;
    const std::wstring trackName = movie.substr(0, dot) + L".ogg";
    if (track->OpenFile(trackName.c_str(), folder, archive) == 0 &&
        (m_Audio == nullptr || m_Audio->AttachSource(track.get()) == 0)) {
      m_Track = std::move(track);
    }
  }
  return 0;
}

void ssMoviePlayer::SetRects(const RECT& rect) { m_Rects[0] = rect; }

bool ssMoviePlayer::DecodesVideo() const { return dynamic_cast<const ssVP3Decoder*>(m_Decoder.get()) != nullptr; }

bool ssMoviePlayer::ReadNextFrame() {
  const std::uint32_t size = m_Demuxer->CurrentFrameSize();
  if (size > kMaxFrameBytes) return false;
  if (size > m_FrameData.size()) m_FrameData.resize(size);
  const int got = m_Demuxer->ReadFrame(m_FrameData.data(), static_cast<std::uint32_t>(m_FrameData.size()));
  m_LastRead = m_Timer->Elapsed();
  if (got < 0) return false;
  m_FrameBytes = static_cast<std::uint32_t>(got);
  return true;
}

int ssMoviePlayer::Start(std::uint32_t first, std::uint32_t end) {
  if (!m_Demuxer || !m_Decoder || !m_Timer) return -1;
  if (m_Audio != nullptr) m_Audio->SetVolume(static_cast<int>(m_Volume));
  m_EndFrame = end == 0 ? m_FrameCount : std::min(end, m_FrameCount);
  m_FirstFrame = m_CurrentFrame = first;
  m_StartTime = m_LastRead = m_Timer->Elapsed();
  m_Finished = false;
  m_FramesShown = 0;
  m_Decoded = false;
  // Room for an uncompressed picture (no compressed frame is read larger).
  m_FrameData.assign(std::min<std::size_t>(static_cast<std::size_t>(m_Width) * m_Height * 2, kMaxFrameBytes), 0);
  if (first >= m_EndFrame || m_Demuxer->SetCurrentFrame(static_cast<int>(first)) != 0) return -1;
  if (!ReadNextFrame()) return -1;
  if (m_FrameBytes != 0) m_Decoded = m_Decoder->Decode(m_Rects, m_FrameData.data(), m_FrameBytes) == 0;
  m_FirstUpdate = true;
  m_Rate = kFrameRate;
  m_DueTime = m_StartTime;
  m_Late = false;
  return 0;
}

void ssMoviePlayer::Show() {
  if (m_RenderToImage) {
    if (m_Image && m_Decoder->ToImage(m_Image.get(), m_Rects) == 0 && m_Display != nullptr) {
      const RECT source{0, 0, static_cast<LONG>(m_Width), static_cast<LONG>(m_Height)};
      RECT dest = m_Rects[0];
      if (dest.right <= dest.left || dest.bottom <= dest.top) {
        // Centred on the logical screen.
        const bool turned = (m_Display->m_Rotate & 1) != 0;
        const LONG w = turned ? m_Display->m_Height : m_Display->m_Width;
        const LONG h = turned ? m_Display->m_Width : m_Display->m_Height;
        dest.left = (w - source.right) / 2;
        dest.top = (h - source.bottom) / 2;
        dest.right = dest.left + source.right;
        dest.bottom = dest.top + source.bottom;
      }
      m_Display->DrawImage(m_Image.get(), &dest, &source, 0);
    }
  } else {
    m_Decoder->ToScreen(m_Rects, m_FrameData.data(), m_FrameBytes);
  }
  ++m_FramesShown;
}

int ssMoviePlayer::Update(const InputEvent& event) {
  if (m_Finished || !m_Demuxer || !m_Decoder || !m_Timer) return -1;
  if (m_CurrentFrame >= m_EndFrame) return Finish();
  if (m_Display != nullptr) m_Display->BeginDraw();
  if (m_Decoded && !m_Late) Show();
  if (m_FirstUpdate) {
    // The first frame is on its way to the screen: the movie's clock and
    // its sound start now.
    m_FirstUpdate = false;
    m_StartTime = m_Timer->Elapsed();
    if (m_Track && m_Audio != nullptr) {
      const int wait = m_Audio->PlaySource(m_Track.get());
      if (wait > 0) m_StartTime += static_cast<std::uint32_t>(wait);
    }
  }
  m_Late = false;
  const bool skip = event.message == WM_KEYDOWN || event.message == WM_MOUSEMOVE || event.message == WM_LBUTTONDOWN;
  if (skip) {
    m_CurrentFrame = m_EndFrame;
  } else {
    // The next frame is due (its number from the first) / rate seconds
    // after the start. After the last one there is nothing to read, but
    // the last frame still keeps its time on the screen.
    const std::uint32_t next = m_CurrentFrame - m_FirstFrame + 1;
    m_DueTime = m_StartTime + static_cast<std::uint32_t>(1000.0 * next / m_Rate);
    const bool more = m_CurrentFrame + 1 < m_EndFrame;
    if (more && !ReadNextFrame()) {
      // A frame that cannot be read ends the movie as if it had run out.
      if (m_Display != nullptr) {
        m_Display->Present();
        m_Display->EndDraw();
      }
      m_CurrentFrame = m_EndFrame;
      return Finish();
    }
    if (!more || m_FrameBytes != 0) {
      const std::uint32_t now = m_Timer->Elapsed();
      const auto behind = static_cast<std::int32_t>(now - m_DueTime);
      m_Late = more && behind > static_cast<std::int32_t>(kLateMs);
      if (more) m_Decoded = m_Decoder->Decode(m_Rects, m_FrameData.data(), m_FrameBytes) == 0 || m_Decoded;
      // Sleep until the frame is due, never spinning: the timer is read
      // again after each sleep, which ends as soon as the time is reached.
      if (!m_Late) {
        for (std::int32_t left = static_cast<std::int32_t>(m_DueTime - m_Timer->Elapsed()); left > 0;
             left = static_cast<std::int32_t>(m_DueTime - m_Timer->Elapsed())) {
          m_Timer->Sleep(static_cast<std::uint32_t>(left));
        }
      }
    }
    ++m_CurrentFrame;
  }
  if (m_Display != nullptr) {
    m_Display->Present();
    m_Display->EndDraw();
  }
  return 0;
}

int ssMoviePlayer::Finish() {
  if (!m_Finished) {
    m_Finished = true;
    if (m_Image) m_Image->Free();
    if (m_Track && m_Audio != nullptr) m_Audio->StopSource(m_Track.get());
    m_FrameData.clear();
    m_FrameData.shrink_to_fit();
    m_FrameBytes = 0;
    if (m_Display != nullptr) {
      m_Display->BeginDraw();
      m_Display->Clear();
      m_Display->Present();
      m_Display->EndDraw();
    }
  }
  return -1;
}

int ssMoviePlayer::Stop() {
  if (m_Demuxer) m_Demuxer.reset();  // it reads the stream: it goes first
  if (m_Stream) m_Stream->Close();
  m_Stream.reset();
  return 0;
}

void ssMoviePlayer::Close() {
  if (m_Track) {
    if (m_Audio != nullptr) m_Audio->DetachSource(m_Track.get());
    m_Track.reset();
  }
  if (m_Audio != nullptr && m_SavedPaused) {
    m_Audio->Pause(true);
    m_SavedPaused = false;
  }
  m_Decoder.reset();
  m_Demuxer.reset();
  m_Image.reset();
  if (m_Stream) m_Stream->Close();
  m_Stream.reset();
  m_FrameData.clear();
  m_Timer.reset();
}
