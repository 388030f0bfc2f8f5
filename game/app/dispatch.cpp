// ksMain's event dispatch and game states: the splash and copyright
// screens, the menus on the screen stack, loading, play and movies; and the
// operations that enter and leave play.
#include <array>
#include <cstdint>
#include <new>
#include <string>

#include "engine/audio/audio_wave_out.h"
#include "display/display_s16.h"
#include "display/font.h"
#include "engine/log.h"
#include "input_turn.h"
#include "ks_main.h"
#include "engine/movie/movie_player.h"
#include "play/control.h"
#include "play/hud.h"
#include "play/scene_loader.h"
#include "play/track_lines.h"
#include "screens.h"
#include "simulation/table.h"
#include "ui/dlg.h"
#include "ui/dlg_man.h"
#include "ui/message_dlg.h"

namespace {
constexpr int kLog = 2;
// How long the final frame of a match stays before the menus return (a key
// or a tap goes on at once).
constexpr std::uint32_t kResultHoldMs = 4000;

// Unsigned clock readings compared across a wrap.
bool Reached(std::uint32_t now, std::uint32_t deadline) { return static_cast<std::int32_t>(now - deadline) >= 0; }
}  // namespace

LPARAM TurnPenPosition(LPARAM position, int rotate, int w, int h, float scaleX, float scaleY) {
  const std::uint32_t packed = static_cast<std::uint32_t>(position);
  const int x0 = static_cast<int>(static_cast<float>(packed & 0xFFFF) * scaleX);
  const int y0 = static_cast<int>(static_cast<float>(packed >> 16) * scaleY);
  int x = x0, y = y0;
  switch (rotate & 3) {
    case 1:
      x = w - y0;
      y = x0;
      break;
    case 2:
      x = w - x0;
      y = h - y0;
      break;
    case 3:
      x = y0;
      y = h - x0;
      break;
    default:
      break;
  }
  // Positions off the display wrap within their 16 bits, as packed words do.
  return static_cast<LPARAM>((static_cast<std::uint32_t>(x) & 0xFFFFu) | (static_cast<std::uint32_t>(y) & 0xFFFFu)
                                                                             << 16);
}

WPARAM MenuKey(WPARAM key) {
  switch (key) {
    case VK_ESCAPE:
    case VK_F1:
      return 0x39;
    case VK_F2:
      return 0x33;
    default:
      return key;
  }
}

WPARAM TurnArrowKey(WPARAM key, int rotate) {
  static constexpr WPARAM kCycle[4] = {0x25, 0x26, 0x27, 0x28};  // Left, Up, Right, Down
  for (int i = 0; i < 4; ++i)
    if (key == kCycle[i]) return kCycle[(i + (rotate & 3)) & 3];
  return key;
}

void ksMain::TurnPen(InputEvent& e) const {
  if (m_Display)
    e.lParam = TurnPenPosition(e.lParam, m_Display->m_Rotate, m_Display->m_Width, m_Display->m_Height, m_PenScaleX,
                               m_PenScaleY);
}

void ksMain::TurnKey(InputEvent& e) const {
  if (m_Display) e.wParam = TurnArrowKey(e.wParam, m_Display->m_Rotate);
}

std::uint32_t ksMain::FeedControl(const InputEvent& e) {
  const ks::play::InputEvent event{static_cast<std::uint32_t>(e.message), static_cast<std::uint32_t>(e.wParam),
                                   static_cast<std::int32_t>(e.lParam), static_cast<std::uint32_t>(e.time)};
  return m_Control->HandleEvent(event);
}

void ksMain::HandleEvent(InputEvent& e) {
  if (e.message == WM_LBUTTONDOWN || e.message == WM_LBUTTONUP || e.message == WM_MOUSEMOVE) TurnPen(e);
  if (e.message == WM_KEYDOWN || e.message == WM_KEYUP) TurnKey(e);
  // Typed characters are for the on-screen keyboard of the menus only.
  if (e.message == WM_CHAR && m_State != AppState::kMenus) return;

  switch (m_State) {
    case AppState::kPlay: {
      if (!m_Control) {
        m_State = AppState::kMainMenu;
        return;
      }
      if (m_ResultUntil) {
        if (Reached(GetTime(), *m_ResultUntil) || e.message == WM_KEYUP || e.message == WM_LBUTTONUP) FinishMatch();
        return;
      }
      // The in-game menu key opens the menu over the table at any time, the
      // computer's turn included; a running shot is first played to its end,
      // so the menu's choices find the balls at rest.
      if (e.message == WM_KEYUP && m_KeyMap &&
          m_KeyMap->ActionOf(static_cast<std::uint32_t>(e.wParam)) == ks::play::KeyMap::kInGameMenu) {
        if (m_Control->ShotRunning() && ZipToEnd() != 0) {
          ShowMatchOver();
          return;
        }
        ::PushInGameMenu(this);
        return;
      }
      if (e.message == WM_KEYUP && m_KeyMap &&
          m_KeyMap->ActionOf(static_cast<std::uint32_t>(e.wParam)) == ks::play::KeyMap::kShowKeyMap) {
        ::ToggleKeyMap(this);
        DrawMatchFrame(true);
        return;
      }
      const std::uint32_t over = FeedControl(e);
      m_InPlay = true;
      // A held key stands in for the frame tick, so it draws a frame too.
      if (e.message == WM_TIMER || e.message == WM_KEYDOWN) DrawMatchFrame(false);
      if (over != 0) ShowMatchOver();
      return;
    }
    case AppState::kMenus: {
      if (!m_DlgMan) return;
      if (e.message == WM_KEYDOWN || e.message == WM_KEYUP) e.wParam = MenuKey(e.wParam);
      if (e.message == WM_CHAR) e.message = ui::kMsgChar;
      m_DlgMan->Dispatch(e);
      if (m_State == AppState::kMenus) {
        // Only a screen with something to paint is drawn and shown, so an
        // idle menu costs nothing between ticks.
        Dlg* top = m_DlgMan->Top();
        if (top != nullptr) {
          const RECT& dirty = top->DirtyRect();
          if (dirty.right > dirty.left && dirty.bottom > dirty.top) {
            m_Display->BeginDraw();
            m_DlgMan->DrawTop();
            m_Display->EndDraw();
            m_Display->Present();
            ++m_MenuFrames;
          }
        }
      }
      // The stack emptied: back to the match under the in-game menu, also
      // when the menu's choice has already handed the events to play; with
      // no match the main menu comes back instead.
      if (!m_DlgMan->NonEmpty() && (m_State == AppState::kMenus || m_State == AppState::kPlay)) {
        m_State = m_InPlay && m_Control ? AppState::kPlay : AppState::kMainMenu;
        if (m_State == AppState::kPlay) {
          // The settings may have changed on the way (in-game menu,
          // Settings): the match takes them as it goes on. The table is
          // drawn whole at once over the menu's picture, and the next event
          // begins the turn again.
          ApplyPrefsToTable();
          m_Control->MenuClosed();
          DrawMatchFrame(true);
        }
      }
      return;
    }
    case AppState::kLoading: {
      WriteLog(kLog, L"Allocating Game Memory");
      try {
        m_GameMemory.assign(kGameMemorySize, 0);
        m_WorkBlock.assign(kWorkBlockSize, 0);
      } catch (const std::bad_alloc&) {
        WriteLog(kLog, L"Game memory could not be allocated");
        ReleaseMatchMemory();
        m_State = AppState::kMainMenu;
        return;
      }
      ShowLoading();
      m_State = AppState::kCreateMatch;
      return;
    }
    case AppState::kMovie: {
      if (!m_Movie) {
        m_State = m_StateAfterMovie;
        return;
      }
      if (m_Movie->Update(e) == -1) {
        m_Movie->Stop();
        m_Movie->Close();
        m_Movie.reset();
        m_State = m_StateAfterMovie;
        StartMusic(L"");
      }
      return;
    }
    case AppState::kMainMenu:
      ::PushMainMenu(this);
      m_State = AppState::kMenus;
      return;
    case AppState::kCreateMatch:
      CreateControl(m_MatchStartMode);
      return;
    case AppState::kCareerMenus:
      ::PushMainMenu(this);
      ::PushCareerMap(this);
      m_State = AppState::kMenus;
      return;
    case AppState::kStartMovie: {
      m_Display->BeginDraw();
      m_Display->Clear();
      m_Display->Present();
      m_Display->EndDraw();
      m_State = AppState::kMovie;
      m_StateAfterMovie = AppState::kCareerMenus;
      if (m_Movie && m_Movie->Start(0, 0) != 0) {
        m_Movie->Close();
        m_Movie.reset();
        m_State = AppState::kCareerMenus;
        StartMusic(L"");
      }
      return;
    }
    case AppState::kSplash: {
      const std::uint32_t now = GetTime();
      if (!Reached(now, m_SplashDeadline)) return;
      m_SplashDeadline = now + kSplashMs;
      if (m_SplashImage) m_Display->ReleaseTexture(m_SplashImage);
      m_SplashImage = nullptr;
      m_CopyrightImage = m_Display->GetTexture(L"Copyright.tga", L"UI", L"res.ark", 0, true, false);
      DrawFullScreenImage(m_CopyrightImage);
      m_State = AppState::kCopyright;
      return;
    }
    case AppState::kCopyright: {
      if (!Reached(GetTime(), m_SplashDeadline)) return;
      if (m_CopyrightImage) m_Display->ReleaseTexture(m_CopyrightImage);
      m_CopyrightImage = nullptr;
      StartMenus();
      return;
    }
    default:
      return;
  }
}

void ksMain::ShowMatchOver() {
  // The verdict stays on screen a moment before the menus return.
  DrawMatchFrame(true);
  WriteLog(kLog, L"Match over: %s %d:%d", m_LastHud.result.c_str(), Pool()->rules.GamesWon[0],
           Pool()->rules.GamesWon[1]);
  m_ResultUntil = GetTime() + kResultHoldMs;
}

void ksMain::DrawFullScreenImage(ssImage* image) {
  m_Display->BeginDraw();
  if (image != nullptr) {
    // The picture is stored turned for the screen and drawn over the screen
    // as the person sees it (its sides swap with an odd turn), so it stands
    // upright and whole in every rotation. It is first scaled to the
    // screen by its own scaler, which samples at pixel centres and so gives
    // the same picture whichever way it is turned.
    const int w = m_Display->m_Width, h = m_Display->m_Height;
    if (image->Width() != w || image->Height() != h)
      image->Scale(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h));
    const bool odd = (m_Display->m_Rotate & 1) != 0;
    const ssRect whole{0, 0, odd ? h : w, odd ? w : h};
    m_Display->DrawImage(image, &whole, nullptr, 1);
  } else {
    m_Display->Clear();
  }
  m_Display->Present();
  m_Display->EndDraw();
}

void ksMain::StartMenus() {
  m_MenuFrames = 1;
  m_MenuStartTime = GetTime();
  StartMusic(L"");
  ::PushMainMenu(this);
  m_State = AppState::kMenus;
  if (m_Prefs[ks::app::pref::kShowWelcome] != 0) {
    m_Prefs[ks::app::pref::kShowWelcome] = 0;
    ::PushWelcome(this);
  }
  m_MatchSetup.secondPlayer = 0;
  m_MatchSetup.menuGame = 4;
  m_MatchSetup.room = 0;
  m_MatchSetup.gameGoal = 1;
  m_MatchSetup.playerOne = 128;
  m_MatchSetup.opponent = 128;
}

void ksMain::ShowLoading() {
  if (!m_Display) return;
  m_Display->BeginDraw();
  m_Display->Clear();
  if (m_MediumFont != nullptr) {
    // Measured on the screen as drawn, so the text is centred whichever
    // way the screen is held.
    int w = 0, h = 0;
    m_Display->MeasureText(m_MediumFont, L"Loading...", &w, &h, false);
    w = ui::ToFracX(m_Display.get(), w);
    h = ui::ToFracY(m_Display.get(), h);
    m_Display->DrawTextFrac(m_MediumFont, 0x8000 - w / 2, 0x8000 - h / 2, L"Loading...", -1,
                            m_Display->ColorToPixel(0xFFFFFF), 0, 0, false, false, false, 0, nullptr, false, false);
  }
  m_Display->Present();
  m_Display->EndDraw();
}

void ksMain::CreateControl(StartMode mode) {
  m_PlayMode = mode;
  LoadRoom(m_MatchSetup.room);
  m_RoomReady = true;
  WriteLog(kLog, L"Creating Control");
  ks::play::PlayHost host;
  host.clock = [this] { return GetTime(); };
  host.scene = &m_Scene->scene.host;
  host.resetZoomAfterShot = m_Prefs[ks::app::pref::kUserView] != 0;
  // The camera distance the last match ended with, and the room's view
  // distances from a table end and from above.
  host.aimDistance = m_CameraDistance;
  host.endViewDistance = m_NearViewDistance;
  host.overheadDistance = m_FarViewDistance;
  host.strokeFactor = m_Prefs[ks::app::pref::kStrokeFactor];
  // The pen takes the stick by its grip or its tip as the last frame drew it,
  // and picks up the ball drawn nearest to it.
  ks::play::TableScene* drawn = &m_Scene->scene;
  host.gripOutline = [drawn](std::int32_t* points, int capacity) { return drawn->GripOutline(points, capacity); };
  host.tipOutline = [drawn](std::int32_t* points, int capacity) { return drawn->TipOutline(points, capacity); };
  host.ballOnScreen = [drawn](int ball, int* x, int* y) { return drawn->BallScreenPoint(ball, x, y); };
  host.screenWidth = m_Display->m_Rotate & 1 ? m_Display->m_Height : m_Display->m_Width;
  host.screenHeight = m_Display->m_Rotate & 1 ? m_Display->m_Width : m_Display->m_Height;
  for (std::size_t i = 0; i < ks::app::kKeyMapSize; ++i) m_KeyMap->keys[i] = m_Prefs.keys[i];
  WriteLog(kLog, L"Creating View");
  m_Scene->SetCamera(ks::play::CameraPreset::kTableEnd);
  m_Scene->scene.host.clock = [this] { return GetTime(); };
  m_Control = std::make_unique<ks::play::Control>(Pool(), &m_Scene->view, m_KeyMap.get(), host);
  m_Control->Start(m_PlayMode == StartMode::kFresh ? ks::play::Control::kNewGame : static_cast<int>(m_PlayMode));
  ApplyPrefsToTable();
  m_InPlay = true;
  m_ResultUntil.reset();
  m_HudShown = false;
  DrawMatchFrame(true);
  m_MenuStartTime = 0;
  m_State = AppState::kPlay;
  WriteLog(kLog, L"Ready to Play");
}

void ksMain::ApplyPrefsToTable() {
  using namespace ks::app;
  if (m_Scene) {
    // "Room Graphics": the room around the table is drawn, or black.
    m_Scene->scene.host.roomGraphics = m_Prefs[pref::kRoomGraphics] != 0;
    m_Scene->scene.ForceFull();
  }
  if (m_Control && m_Control->Computer() != nullptr) {
    // "Adversary View": the computer's turn seen from the table end
    // ("Downtable") or from above ("Overhead").
    ks::play::AiMode& ai = *m_Control->Computer();
    const bool fromTableEnd = m_Prefs[pref::kAdversaryView] != 0;
    if (ai.fromTableEnd != fromTableEnd) {
      ai.fromTableEnd = fromTableEnd;
      // A computer still working out its shot is seen from the new place
      // at once; one already under way keeps the camera it has.
      if (m_Control->ComputerToPlay() && m_Control->Active() == &ai && ai.phase <= ks::play::AiMode::kPhaseThinking)
        ai.Begin();
    }
  }
}

void ksMain::DrawMatchFrame(bool full) {
  if (!m_Control || !m_Scene || !m_Display) return;
  const ks::Pool& p = *Pool();
  // The players' names are widened in place: a frame allocates nothing.
  auto nameOf = [this](int entry, ks::play::HudText& out) {
    out.clear();
    if (entry < 0 || entry >= ks::app::kTableEntries) return;
    for (const char* c = m_Opponents[static_cast<std::size_t>(entry)].nickname; *c != 0; ++c)
      out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
  };
  ks::play::HudText first, second;
  nameOf(m_MatchSetup.playerOne, first);
  if (m_MatchSetup.secondPlayer != 0) nameOf(m_MatchSetup.opponent, second);
  const ks::play::HudTexts texts = ks::play::MakeHudTexts(p, m_Control.get(), first, second);
  const int pocket = m_Control->CallingPocket() ? m_Control->CallPocket()->selected : -1;
  // Track lines are drawn over a full frame, which also clears them away,
  // and so is the call-pocket prompt when it moves.
  const bool tracks = m_Control->TrackLinesShown();
  const bool textsChanged = !m_HudShown || !(texts == m_LastHud) || pocket != m_LastPocket;
  if (full || m_KeyMapScreen || tracks || m_TracksShown || m_Display->m_FullRefresh ||
      (textsChanged && m_Control->CallingPocket()))
    m_Scene->scene.ForceFull();
  m_TracksShown = tracks;
  m_LastHud = texts;
  m_LastPocket = pocket;
  m_HudShown = true;
  // The band and the box lie over the scene: frames that would disturb them
  // are drawn in full, and they with them. New texts over an unchanged
  // scene are drawn over what lay under the old ones.
  std::array<std::int32_t, 4> areas[2];
  const int areaCount = ks::play::HudAreas(*m_Display, m_MediumFont, texts, areas);
  m_Scene->scene.SetOverlays(areas, areaCount);
  // The scene draws into the back buffer, which it takes as its target.
  m_Scene->DrawFrame();
  if (!m_Scene->scene.LastFrameFull() && textsChanged && !m_Scene->scene.RestoreOverlays(areas, areaCount)) {
    m_Scene->scene.ForceFull();
    m_Scene->DrawFrame();
  }
  m_Display->m_FullRefresh = false;
  // A frame in which nothing changed (the table at rest, the same texts)
  // draws nothing more and is not shown again: the screen holds it
  // already, and the display is not even opened for drawing.
  if (!m_Scene->scene.LastFrameDrew() && !textsChanged) return;
  m_Display->BeginDraw();
  if (tracks) ks::play::DrawTrackLines(*m_Display, m_Scene->scene, *m_Control->TrackLines());
  if (m_Scene->scene.LastFrameFull() || textsChanged)
    ks::play::DrawHud(*m_Display, m_MediumFont, m_SmallFont, texts, &m_Scene->icons);
  if (m_Control->CallingPocket()) ks::play::DrawCallPocketPrompt(*m_Display, m_MediumFont, *m_Control->CallPocket());
  if (m_KeyMapScreen) {
    // The keypad covers the table; it is painted whole over each frame.
    m_KeyMapScreen->Invalidate(0);
    m_KeyMapScreen->Draw(m_KeyMapScreen->DirtyRect(), 0);
  }
  m_Display->EndDraw();
  m_Display->Present();
  ++m_MatchFramesShown;
}

void ksMain::RedrawMatch(bool) { DrawMatchFrame(true); }

void ksMain::FinishMatch() {
  m_ResultUntil.reset();
  m_InPlay = false;
  EndPlay();
  ReleaseMatchMemory();
  ::PushMainMenu(this);
  m_State = AppState::kMenus;
  if (m_ReturnScreen == ReturnScreen::kQuickPlay) {
    ::PushQuickPlay(this);
    m_CareerPlay = false;
  }
  if (m_CareerPlay) {
    m_CareerPlay = false;
    m_CareerMessage.clear();
    // With no new room (and so no movie) the map comes back, with the
    // settlement shown over it.
    const int movie = ShowCareerResult();
    if (movie == 0 && m_ReturnScreen == ReturnScreen::kCareerMap && m_State == AppState::kMenus) ::PushCareerMap(this);
    if (!m_CareerMessage.empty() && m_DlgMan && m_Display) {
      // The menus below are shown first: the box sits on them, not on the
      // last frame of the match.
      m_Display->BeginDraw();
      m_DlgMan->DrawTop();
      m_Display->EndDraw();
      m_Display->Present();
      ui::ShowPictureMessage(m_DlgMan.get(), m_Display.get(), m_CareerMessage.c_str());
    }
  }
}

void ksMain::EndPlay() {
  m_KeyMapScreen.reset();
  if (m_Control) m_CameraDistance = m_Control->CameraDistance();
  m_Control.reset();
  m_InPlay = false;
  m_PlayMode = StartMode::kFresh;
  UnloadRoom();
  StopMusic();
  StartMusic(L"");
}

int ksMain::ShowCareerResult() {
  ks::app::CareerRecord* career = CurrentCareer();
  if (career == nullptr || Pool() == nullptr) return 0;
  if (m_CareerHeld) {
    SaveCareers();
    return 0;
  }
  const ks::Pool& p = *Pool();
  const bool won = p.rules.GamesWon[0] == p.rules.MatchGoal;
  career->matchesPlayed = static_cast<std::uint16_t>(career->matchesPlayed + 1);
  const int opponentRating =
      m_MatchSetup.opponent < ks::app::kTableEntries ? m_Opponents[m_MatchSetup.opponent].rating : 0;
  career->rating = ks::app::UpdatedRating(career->rating, opponentRating, won);
  career->held = 0;
  wchar_t bet[32], floorText[32];
  ks::app::FormatMoney(bet, 32, career->bet);
  int result = 0;
  if (won) {
    career->matchesWon = static_cast<std::uint16_t>(career->matchesWon + 1);
    career->money += career->bet;
    SaveCareers();
    // The room's champion beaten for the first time opens the next room and
    // plays its movie; the last room's champion wins the career (level 6)
    // and plays the winning movie.
    if (career->chosenRow == 0 && career->level == career->currentRoom && career->level < ks::app::kFinalLevel) {
      career->level = static_cast<std::uint8_t>(career->level + 1);
      if (career->level > m_Prefs[ks::app::pref::kBestLevel]) {
        m_Prefs[ks::app::pref::kBestLevel] = career->level;
        SavePrefs();
      }
      SaveCareers();
      PlayMovie(career->level);
      result = 1;
    } else {
      m_CareerMessage = std::wstring(L"You won ") + bet;
    }
  } else {
    career->money -= career->bet;
    SaveCareers();
    static constexpr std::int32_t kFloor[4] = {50, 100, 200, 450};
    const std::int32_t floor = kFloor[career->difficulty & 3];
    if (career->money >= floor) {
      m_CareerMessage = std::wstring(L"You lost ") + bet + L".  Better luck next time.";
    } else {
      career->money += floor;
      SaveCareers();
      ks::app::FormatMoney(floorText, 32, floor);
      m_CareerMessage = std::wstring(L"You lost ") + bet +
                        L" and are nearly broke. Fortunately, a kind soul has given you " + floorText;
    }
  }
  SaveCareers();
  return result;
}
