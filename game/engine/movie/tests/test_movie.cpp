// The movie player on the headless device: pictures on the screen, the
// sound track on the speaker, the timing on the virtual clock.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "ark_writer.h"
#include "ce/testing.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "display/display_s16.h"
#include "engine/audio/audio_wave_out.h"
#include "engine/audio/sound_source.h"
#include "engine/movie/movie_player.h"
#include "engine/timer.h"
#include "memory_file.h"
#include "movie_fixture.h"
#include "screen_config.h"

namespace {

using ce::testing::AdvanceClock;
using ce::testing::TakePlayedAudio;
using ks::test::MakeMovie;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;

// What the screen shows against the picture drawn: the peak signal-to-noise
// ratio of luma, the usual measure of a video's pictures (the colour
// difference planes are coded at half size, so sharp colour edges lose
// more), and of the three channels together. From screen pixel (x0, y0),
// every `scale` screen pixels one picture pixel.
struct Quality {
  double luma, rgb;
};
Quality Psnr(const moviemake::Picture& picture, int x0, int y0, int scale) {
  double lumaError = 0, rgbError = 0;
  std::size_t count = 0;
  auto luma = [](double r, double g, double b) { return 0.299 * r + 0.587 * g + 0.114 * b; };
  for (std::uint32_t y = 0; y < picture.height; ++y) {
    for (std::uint32_t x = 0; x < picture.width; ++x) {
      const COLORREF c = ce::testing::ScreenPixel(x0 + static_cast<int>(x) * scale, y0 + static_cast<int>(y) * scale);
      const std::uint8_t* p = &picture.rgba[(y * picture.width + x) * 4];
      const int d[3] = {GetRValue(c) - p[0], GetGValue(c) - p[1], GetBValue(c) - p[2]};
      for (int k : d) rgbError += k * k;
      const double dl = luma(GetRValue(c), GetGValue(c), GetBValue(c)) - luma(p[0], p[1], p[2]);
      lumaError += dl * dl;
      ++count;
    }
  }
  auto db = [](double mse) { return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse); };
  return {db(lumaError / static_cast<double>(count)), db(rgbError / (3.0 * static_cast<double>(count)))};
}

class MoviePlay : public ::testing::Test {
 protected:
  void SetUp() override {
    ce::testing::UseVirtualClock(0, kStart2010);
    TakePlayedAudio();
    m_Screen = std::make_unique<ce::test::ScreenConfig>(std::initializer_list<std::pair<const char*, const char*>>{
        {"DEVICE_SCREEN_WIDTH", "320"}, {"DEVICE_SCREEN_HEIGHT", "240"}});
    m_Display = std::make_unique<ssDisplayS16>();
    m_Display->m_Rotate = 0;
    ASSERT_EQ(m_Display->Init(nullptr, 320, 240, 16, 0), 0);
    m_Audio = std::make_unique<ssAudioWaveOut>();
    ASSERT_EQ(m_Audio->GetDeviceCaps(0), 0);
    m_Archive = std::make_unique<ssMemoryArchive>();
    m_Archive->SetBaseFolder(L"\\", 0);
  }
  void TearDown() override {
    m_Player.reset();
    m_Audio.reset();
    m_Display.reset();
    m_Screen.reset();
    waveOutSetVolume(nullptr, 0xFFFFFFFFu);
  }
  // The movies as "movies.ark" in "Movies", as the game keeps them.
  void Store(std::vector<arkpack::Member> members) {
    std::string error;
    m_Archive->AddFile(L"\\Movies\\movies.ark", arkpack::BuildArchive(members, &error));
    ASSERT_TRUE(error.empty()) << error;
  }
  int Open(const wchar_t* name) {
    m_Player = std::make_unique<ssMoviePlayer>();
    m_Player->Init(m_Display.get(), m_Audio.get(), nullptr);
    m_Player->m_Archive = m_Archive.get();
    return m_Player->Open(name, L"Movies", L"movies.ark");
  }
  // Updates with `event` until the movie ends (at most `limit` times),
  // refilling the audio device as the application does; the Updates that
  // returned 0.
  int PlayToEnd(int limit = 500, UINT message = WM_TIMER) {
    for (int n = 0; n < limit; ++n) {
      const int result = m_Player->Update(InputEvent{message, 0, 0, 0});
      m_Audio->FillBlock();
      if (result == -1) return n;
      EXPECT_EQ(result, 0);
      m_LastPlaying = GetTickCount();
    }
    ADD_FAILURE() << "the movie did not end";
    return limit;
  }
  std::unique_ptr<ce::test::ScreenConfig> m_Screen;
  std::unique_ptr<ssDisplayS16> m_Display;
  std::unique_ptr<ssAudioWaveOut> m_Audio;
  std::unique_ptr<ssMemoryArchive> m_Archive;
  std::unique_ptr<ssMoviePlayer> m_Player;
  std::uint32_t m_LastPlaying = 0;  // the clock after the last Update that returned 0
};

TEST_F(MoviePlay, FramesMatchTheirPicturesAndTheSoundIsOnTime) {
  const ks::test::TestMovie movie = MakeMovie(320, 240, 30, 48);  // the game's movies' quality
  Store({{"TestM.avi", movie.avi}, {"TestM.ogg", ks::test::ToneTrack()}});
  ASSERT_EQ(Open(L"TestM.avi"), 0);
  EXPECT_TRUE(m_Player->DecodesVideo());
  EXPECT_TRUE(m_Player->HasSoundTrack());
  m_Player->SetVolume(7);
  ASSERT_EQ(m_Player->Start(0, 0), 0);
  const std::uint32_t startTick = GetTickCount();

  Quality worst{99, 99};
  int updates = 0;
  for (; updates < 100; ++updates) {
    const int shown = m_Player->m_FramesShown;
    const int result = m_Player->Update(InputEvent{WM_TIMER, 0, 0, 0});
    m_Audio->FillBlock();
    if (result == -1) break;
    ASSERT_EQ(result, 0);
    ASSERT_EQ(m_Player->m_FramesShown, shown + 1) << "on the virtual clock no frame is late";
    // Frame k is on the screen from the k-th Update on and stays until
    // frame k + 1 is due.
    const int k = shown;
    const auto due = static_cast<std::uint32_t>(1000.0 * (k + 1) / 14.997);
    EXPECT_EQ(GetTickCount() - startTick, due) << "frame " << k;
    if (k % 7 == 0 || k == 29) {
      const Quality q = Psnr(moviemake::DrawFrame(movie.settings, k), 0, 0, 1);
      EXPECT_GE(q.luma, 30.0) << "frame " << k;
      EXPECT_GE(q.rgb, 25.0) << "frame " << k;
      worst = {std::min(worst.luma, q.luma), std::min(worst.rgb, q.rgb)};
    }
  }
  EXPECT_EQ(updates, 30);
  EXPECT_EQ(m_Player->m_FramesShown, 30);
  EXPECT_EQ(m_Player->Update(InputEvent{}), -1) << "an ended movie stays ended";
  std::printf("lowest PSNR of the frames checked: luma %.1f dB, RGB %.1f dB\n", worst.luma, worst.rgb);
  // The screen is cleared at the end.
  EXPECT_EQ(ce::testing::ScreenPixel(160, 120) & 0xFFFFFF, 0u);

  // The tone starts 1.0 s into the sound track; the track started with the
  // first frame.
  const std::uint32_t movieStart = m_Player->Timer()->StartTime() + m_Player->m_StartTime;
  EXPECT_EQ(movieStart, startTick);
  m_Player->Stop();
  m_Player->Close();
  const auto played = TakePlayedAudio();
  ASSERT_FALSE(played.empty());
  double onsetMs = -1;
  for (const auto& buffer : played) {
    for (std::size_t f = 0; f + 4 <= buffer.bytes.size() && onsetMs < 0; f += 4) {
      std::int16_t v = 0;
      std::memcpy(&v, &buffer.bytes[f], 2);
      if (std::abs(v) > 3000) onsetMs = static_cast<double>(buffer.startMs) + (f / 4) * 1000.0 / buffer.format.rate;
    }
    if (onsetMs >= 0) break;
  }
  ASSERT_GE(onsetMs, 0) << "the tone was not heard";
  const double blockMs = 5.0 * ssMoviePlayer::kTrackBlockLength / 4 * 1000.0 / 8000;
  const double expected = movieStart + 1000.0 * ks::test::kToneAt;
  std::printf("tone heard at %.1f ms, due at %.1f ms (a block is %.0f ms)\n", onsetMs, expected, blockMs);
  EXPECT_NEAR(onsetMs, expected, blockMs);
}

TEST_F(MoviePlay, SmallMovieIsDoubledOnTheScreen) {
  const ks::test::TestMovie movie = MakeMovie(160, 112, 3, 60);
  Store({{"SmallM.avi", movie.avi}});
  ASSERT_EQ(Open(L"SmallM.avi"), 0);
  EXPECT_FALSE(m_Player->HasSoundTrack()) << "no sound track: silent";
  ASSERT_EQ(m_Player->Start(0, 0), 0);
  ASSERT_EQ(m_Player->Update(InputEvent{}), 0);
  // 320 x 224 centred on 320 x 240: from (0, 8).
  EXPECT_GE(Psnr(moviemake::DrawFrame(movie.settings, 0), 0, 8, 2).luma, 30.0);
  EXPECT_EQ(ce::testing::ScreenPixel(1, 9), ce::testing::ScreenPixel(0, 8)) << "a 2 x 2 block";
  EXPECT_EQ(PlayToEnd(), 2);
}

TEST_F(MoviePlay, FramesRenderedIntoAnImageAreDrawnCentred) {
  const ks::test::TestMovie movie = MakeMovie(128, 96, 3, 60);
  Store({{"ImageM.avi", movie.avi}});
  m_Player = std::make_unique<ssMoviePlayer>();
  m_Player->Init(m_Display.get(), m_Audio.get(), nullptr);
  m_Player->m_Archive = m_Archive.get();
  m_Player->m_RenderToImage = true;
  ASSERT_EQ(m_Player->Open(L"ImageM.avi", L"Movies", L"movies.ark"), 0);
  ASSERT_EQ(m_Player->Start(0, 0), 0);
  ASSERT_EQ(m_Player->Update(InputEvent{}), 0);
  // Not doubled: 128 x 96 from (96, 72).
  EXPECT_GE(Psnr(moviemake::DrawFrame(movie.settings, 0), 96, 72, 1).luma, 30.0);
  EXPECT_EQ(PlayToEnd(), 2);
}

TEST_F(MoviePlay, KeyMoveOrTapEndsTheMovieAtTheNextUpdate) {
  const ks::test::TestMovie movie = MakeMovie(64, 48, 20, 30);
  Store({{"SkipM.avi", movie.avi}, {"SkipM.ogg", ks::test::ToneTrack()}});
  for (UINT message : {WM_KEYDOWN, WM_MOUSEMOVE, WM_LBUTTONDOWN}) {
    ASSERT_EQ(Open(L"SkipM.avi"), 0);
    ASSERT_EQ(m_Player->Start(0, 0), 0);
    const std::uint32_t before = GetTickCount();
    EXPECT_EQ(m_Player->Update(InputEvent{message, 0, 0, 0}), 0) << message;
    EXPECT_EQ(GetTickCount(), before) << "a skip does not wait for the next frame";
    EXPECT_EQ(m_Player->Update(InputEvent{WM_TIMER, 0, 0, 0}), -1) << message;
    m_Player->Stop();
    m_Player->Close();
  }
  // Other messages play on.
  ASSERT_EQ(Open(L"SkipM.avi"), 0);
  ASSERT_EQ(m_Player->Start(0, 0), 0);
  EXPECT_EQ(PlayToEnd(500, WM_TIMER), 20);
}

TEST_F(MoviePlay, LateFrameIsNotShownAndTheNextIsReadWithoutWaiting) {
  const ks::test::TestMovie movie = MakeMovie(64, 48, 10, 30);
  Store({{"LateM.avi", movie.avi}});
  ASSERT_EQ(Open(L"LateM.avi"), 0);
  ASSERT_EQ(m_Player->Start(0, 0), 0);
  ASSERT_EQ(m_Player->Update(InputEvent{}), 0);  // frame 0 shown, frame 1 read and due
  EXPECT_EQ(m_Player->m_FramesShown, 1);
  AdvanceClock(300);  // the application was busy
  const std::uint32_t before = GetTickCount();
  ASSERT_EQ(m_Player->Update(InputEvent{}), 0);  // frame 1 shown; frame 2 decoded 200 ms late
  EXPECT_EQ(m_Player->m_FramesShown, 2);
  EXPECT_TRUE(m_Player->m_Late);
  EXPECT_EQ(GetTickCount(), before) << "no wait for a late frame";
  ASSERT_EQ(m_Player->Update(InputEvent{}), 0);
  EXPECT_EQ(m_Player->m_FramesShown, 2) << "the late frame is not shown";
}

TEST_F(MoviePlay, StartFromALaterFrameTimesFromThatFrame) {
  const ks::test::TestMovie movie = MakeMovie(64, 48, 12, 30);
  Store({{"PartM.avi", movie.avi}});
  ASSERT_EQ(Open(L"PartM.avi"), 0);
  ASSERT_EQ(m_Player->Start(5, 9), 0);
  const std::uint32_t start = GetTickCount();
  ASSERT_EQ(m_Player->Update(InputEvent{}), 0);
  EXPECT_EQ(GetTickCount() - start, static_cast<std::uint32_t>(1000.0 / 14.997)) << "frame 6 is due one frame on";
  EXPECT_EQ(PlayToEnd(), 3);
  EXPECT_EQ(m_Player->m_FramesShown, 4);
  EXPECT_EQ(Open(L"PartM.avi"), 0);
  EXPECT_EQ(m_Player->Start(12, 0), -1) << "nothing to play";
}

TEST_F(MoviePlay, OtherHandlersKeepTheMoviesTimeButShowNothing) {
  ks::test::TestMovie movie = MakeMovie(64, 48, 15, 30);
  movie.video.handler = "xvid";
  Store({{"OtherM.avi", moviemake::WriteAvi(movie.video)}, {"OtherM.ogg", ks::test::ToneTrack()}});
  m_Display->BeginDraw();
  m_Display->DrawRect(ssRect{0, 0, 320, 240}, ssDisplayS16::kRectFilled, m_Display->MakePixel(0, 0, 255));
  m_Display->Present();
  m_Display->EndDraw();
  ASSERT_EQ(Open(L"OtherM.avi"), 0);
  EXPECT_FALSE(m_Player->DecodesVideo());
  EXPECT_TRUE(m_Player->HasSoundTrack());
  ASSERT_EQ(m_Player->Start(0, 0), 0);
  const std::uint32_t start = GetTickCount();
  ASSERT_EQ(m_Player->Update(InputEvent{}), 0);
  EXPECT_EQ(ce::testing::ScreenPixel(160, 120) & 0xFFFFFF, 0xFF0000u) << "nothing drawn over the screen";
  EXPECT_EQ(PlayToEnd(), 14);
  EXPECT_EQ(m_LastPlaying - start, static_cast<std::uint32_t>(15000.0 / 14.997));
}

TEST_F(MoviePlay, MissingOrDamagedMoviesEndCleanly) {
  const ks::test::TestMovie movie = MakeMovie(64, 48, 8, 30);
  const std::vector<std::uint8_t>& good = movie.avi;
  const std::size_t movi = ks::test::Find(good, "movi");
  const std::size_t idx1 = ks::test::Find(good, "idx1", movi);
  std::vector<std::uint8_t> cutFrame = good;  // frame 3 said to be 6 bytes long
  ks::test::Put32(cutFrame, idx1 + 8 + 3 * 16 + 12, 6);
  std::vector<std::uint8_t> outside = good;  // frames 2 and 5 point outside "movi"
  ks::test::Put32(outside, idx1 + 8 + 2 * 16 + 8, 0x7FFFFF00);
  ks::test::Put32(outside, idx1 + 8 + 5 * 16 + 12, 0x7FFFFF00);
  std::vector<std::uint8_t> garbage = good;  // frame data scrambled
  for (std::size_t i = movi + 200; i < idx1 - 100; ++i) garbage[i] = static_cast<std::uint8_t>(garbage[i] * 37 + 11);
  Store({{"Cut.avi", std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<long>(good.size() / 2))},
         {"Short.avi", cutFrame},
         {"Outside.avi", outside},
         {"Garbage.avi", garbage},
         {"Text.avi", std::vector<std::uint8_t>(2000, 'x')},
         {"Empty.avi", {}},
         {"Track.avi", good},
         {"Track.ogg", std::vector<std::uint8_t>(good.begin(), good.begin() + 300)}});
  EXPECT_EQ(Open(L"Missing.avi"), -1);
  EXPECT_LT(Open(L"Text.avi"), 0);
  EXPECT_LT(Open(L"Empty.avi"), 0);
  for (const wchar_t* name : {L"Cut.avi", L"Short.avi", L"Outside.avi", L"Garbage.avi", L"Track.avi"}) {
    ASSERT_EQ(Open(name), 0) << "name " << static_cast<char>(name[0]);
    EXPECT_FALSE(m_Player->HasSoundTrack());
    ASSERT_EQ(m_Player->Start(0, 0), 0);
    const std::uint32_t start = m_LastPlaying = GetTickCount();
    EXPECT_LE(PlayToEnd(), 8);
    EXPECT_LE(m_LastPlaying - start, static_cast<std::uint32_t>(8000.0 / 14.997) + 1) << "no longer than the movie";
    m_Player->Stop();
    m_Player->Close();
  }
}

TEST_F(MoviePlay, ThePausedFlagIsClearedForTheMovieAndPutBack) {
  ssSoundSource silence;
  ASSERT_EQ(m_Audio->AttachSource(&silence), 0);
  ASSERT_EQ(m_Audio->PlaySource(&silence), 0);
  m_Audio->Pause(true);
  m_Audio->DetachSource(&silence);
  const ks::test::TestMovie movie = MakeMovie(64, 48, 4, 30);
  Store({{"FlagM.avi", movie.avi}, {"FlagM.ogg", ks::test::ToneTrack()}});
  ASSERT_EQ(Open(L"FlagM.avi"), 0);
  EXPECT_FALSE(m_Audio->Paused()) << "the sound track is heard";
  EXPECT_EQ(m_Audio->SourceCount(), 1u) << "the sound track is attached as the stream source";
  ASSERT_EQ(m_Player->Start(0, 0), 0);
  PlayToEnd();
  m_Player->Stop();
  m_Player->Close();
  EXPECT_TRUE(m_Audio->Paused());
  EXPECT_EQ(m_Audio->SourceCount(), 0u) << "the sound track has left the device";
}

}  // namespace
