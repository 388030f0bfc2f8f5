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
  if (display)
    e.lParam = TurnPenPosition(e.lParam, display->m_Rotate, display->m_Width, display->m_Height, penScaleX, penScaleY);
}

void ksMain::TurnKey(InputEvent& e) const {
  if (display) e.wParam = TurnArrowKey(e.wParam, display->m_Rotate);
}

std::uint32_t ksMain::FeedControl(const InputEvent& e) {
  const ks::play::InputEvent event{static_cast<std::uint32_t>(e.message), static_cast<std::uint32_t>(e.wParam),
                                   static_cast<std::int32_t>(e.lParam), static_cast<std::uint32_t>(e.time)};
  return control->HandleEvent(event);
}

void ksMain::HandleEvent(InputEvent& e) {
  if (e.message == WM_LBUTTONDOWN || e.message == WM_LBUTTONUP || e.message == WM_MOUSEMOVE) TurnPen(e);
  if (e.message == WM_KEYDOWN || e.message == WM_KEYUP) TurnKey(e);
  // Typed characters are for the on-screen keyboard of the menus only.
  if (e.message == WM_CHAR && state_ != AppState::kMenus) return;

  switch (state_) {
    case AppState::kPlay: {
      if (!control) {
        state_ = AppState::kMainMenu;
        return;
      }
      if (resultUntil) {
        if (Reached(GetTime(), *resultUntil) || e.message == WM_KEYUP || e.message == WM_LBUTTONUP) FinishMatch();
        return;
      }
      // The in-game menu key opens the menu over the table at any time, the
      // computer's turn included; a running shot is first played to its end,
      // so the menu's choices find the balls at rest.
      if (e.message == WM_KEYUP && keyMap &&
          keyMap->ActionOf(static_cast<std::uint32_t>(e.wParam)) == ks::play::KeyMap::kInGameMenu) {
        if (control->ShotRunning() && ZipToEnd() != 0) {
          ShowMatchOver();
          return;
        }
        ::PushInGameMenu(this);
        return;
      }
      if (e.message == WM_KEYUP && keyMap &&
          keyMap->ActionOf(static_cast<std::uint32_t>(e.wParam)) == ks::play::KeyMap::kShowKeyMap) {
        ::ToggleKeyMap(this);
        DrawMatchFrame(true);
        return;
      }
      const std::uint32_t over = FeedControl(e);
      inPlay = true;
      // A held key stands in for the frame tick, so it draws a frame too.
      if (e.message == WM_TIMER || e.message == WM_KEYDOWN) DrawMatchFrame(false);
      if (over != 0) ShowMatchOver();
      return;
    }
    case AppState::kMenus: {
      if (!dlgMan) return;
      if (e.message == WM_KEYDOWN || e.message == WM_KEYUP) e.wParam = MenuKey(e.wParam);
      if (e.message == WM_CHAR) e.message = ui::kMsgChar;
      dlgMan->Dispatch(e);
      if (state_ == AppState::kMenus) {
        // Only a screen with something to paint is drawn and shown, so an
        // idle menu costs nothing between ticks.
        Dlg* top = dlgMan->Top();
        if (top != nullptr) {
          const RECT& dirty = top->DirtyRect();
          if (dirty.right > dirty.left && dirty.bottom > dirty.top) {
            display->BeginDraw();
            dlgMan->DrawTop();
            display->EndDraw();
            display->Present();
            ++menuFrames;
          }
        }
      }
      if (!dlgMan->NonEmpty() && state_ == AppState::kMenus) {
        // Back to the match under the in-game menu; with no match the
        // main menu comes back instead.
        state_ = inPlay && control ? AppState::kPlay : AppState::kMainMenu;
        if (state_ == AppState::kPlay) {
          // The settings may have changed on the way (in-game menu,
          // Settings): the match takes them as it goes on.
          ApplyPrefsToTable();
          DrawMatchFrame(true);
        }
      }
      return;
    }
    case AppState::kLoading: {
      WriteLog(kLog, L"Allocating Game Memory");
      try {
        gameMemory.assign(kGameMemorySize, 0);
        workBlock.assign(kWorkBlockSize, 0);
      } catch (const std::bad_alloc&) {
        WriteLog(kLog, L"Game memory could not be allocated");
        ReleaseMatchMemory();
        state_ = AppState::kMainMenu;
        return;
      }
      ShowLoading();
      state_ = AppState::kCreateMatch;
      return;
    }
    case AppState::kMovie: {
      if (!movie) {
        state_ = stateAfterMovie_;
        return;
      }
      if (movie->Update(e) == -1) {
        movie->Stop();
        movie->Close();
        movie.reset();
        state_ = stateAfterMovie_;
        StartMusic(L"");
      }
      return;
    }
    case AppState::kMainMenu:
      ::PushMainMenu(this);
      state_ = AppState::kMenus;
      return;
    case AppState::kCreateMatch:
      CreateControl(matchStartMode_);
      return;
    case AppState::kCareerMenus:
      ::PushMainMenu(this);
      ::PushCareerMap(this);
      state_ = AppState::kMenus;
      return;
    case AppState::kStartMovie: {
      display->BeginDraw();
      display->Clear();
      display->Present();
      display->EndDraw();
      state_ = AppState::kMovie;
      stateAfterMovie_ = AppState::kCareerMenus;
      if (movie && movie->Start(0, 0) != 0) {
        movie->Close();
        movie.reset();
        state_ = AppState::kCareerMenus;
        StartMusic(L"");
      }
      return;
    }
    case AppState::kSplash: {
      const std::uint32_t now = GetTime();
      if (!Reached(now, splashDeadline)) return;
      splashDeadline = now + kSplashMs;
      if (splashImage) display->ReleaseTexture(splashImage);
      splashImage = nullptr;
      copyrightImage = display->GetTexture(L"Copyright.tga", L"UI", L"res.ark", 0, false, false);
      DrawFullScreenImage(copyrightImage);
      state_ = AppState::kCopyright;
      return;
    }
    case AppState::kCopyright: {
      if (!Reached(GetTime(), splashDeadline)) return;
      if (copyrightImage) display->ReleaseTexture(copyrightImage);
      copyrightImage = nullptr;
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
  WriteLog(kLog, L"Match over: %s %d:%d", lastResult_.c_str(), pool()->rules.GamesWon[0], pool()->rules.GamesWon[1]);
  resultUntil = GetTime() + kResultHoldMs;
}

void ksMain::DrawFullScreenImage(ssImage* image) {
  display->BeginDraw();
  if (image != nullptr) {
    const ssRect whole{0, 0, display->m_Width, display->m_Height};
    const ssRect source{0, 0, image->Width(), image->Height()};
    display->DrawImage(image, &whole, &source, 1);
  } else {
    display->Clear();
  }
  display->Present();
  display->EndDraw();
}

void ksMain::StartMenus() {
  menuFrames = 1;
  menuStartTime = GetTime();
  StartMusic(L"");
  ::PushMainMenu(this);
  state_ = AppState::kMenus;
  if (prefs_[ks::app::pref::kShowWelcome] != 0) {
    prefs_[ks::app::pref::kShowWelcome] = 0;
    ::PushWelcome(this);
  }
  matchSetup_.secondPlayer = 0;
  matchSetup_.menuGame = 4;
  matchSetup_.room = 0;
  matchSetup_.gameGoal = 1;
  matchSetup_.playerOne = 128;
  matchSetup_.opponent = 128;
}

void ksMain::ShowLoading() {
  if (!display) return;
  display->BeginDraw();
  display->Clear();
  if (mediumFont != nullptr) {
    // Measured on the screen as drawn, so the text is centred whichever
    // way the screen is held.
    int w = 0, h = 0;
    display->MeasureText(mediumFont, L"Loading...", &w, &h, false);
    w = ui::ToFracX(display.get(), w);
    h = ui::ToFracY(display.get(), h);
    display->DrawTextFrac(mediumFont, 0x8000 - w / 2, 0x8000 - h / 2, L"Loading...", -1,
                          display->ColorToPixel(0xFFFFFF), 0, 0, false, false, false, 0, nullptr, false, false);
  }
  display->Present();
  display->EndDraw();
}

void ksMain::CreateControl(StartMode mode) {
  playMode_ = mode;
  LoadRoom(matchSetup_.room);
  roomReady = true;
  WriteLog(kLog, L"Creating Control");
  ks::play::PlayHost host;
  host.clock = [this] { return GetTime(); };
  host.scene = &scene->scene.host;
  host.resetZoomAfterShot = prefs_[ks::app::pref::kUserView] != 0;
  // The camera distance the last match ended with, and the room's view
  // distances from a table end and from above.
  host.aimDistance = cameraDistance;
  host.endViewDistance = nearViewDistance;
  host.overheadDistance = farViewDistance;
  host.strokeFactor = prefs_[ks::app::pref::kStrokeFactor];
  // The pen takes the stick by its grip or its tip as the last frame drew it,
  // and picks up the ball drawn nearest to it.
  ks::play::TableScene* drawn = &scene->scene;
  host.gripOutline = [drawn](std::int32_t* points, int capacity) { return drawn->GripOutline(points, capacity); };
  host.tipOutline = [drawn](std::int32_t* points, int capacity) { return drawn->TipOutline(points, capacity); };
  host.ballOnScreen = [drawn](int ball, int* x, int* y) { return drawn->BallScreenPoint(ball, x, y); };
  host.screenWidth = display->m_Rotate & 1 ? display->m_Height : display->m_Width;
  host.screenHeight = display->m_Rotate & 1 ? display->m_Width : display->m_Height;
  for (std::size_t i = 0; i < ks::app::kKeyMapSize; ++i) keyMap->keys[i] = prefs_.keys[i];
  WriteLog(kLog, L"Creating View");
  scene->SetCamera(ks::play::CameraPreset::kTableEnd);
  scene->scene.host.clock = [this] { return GetTime(); };
  control = std::make_unique<ks::play::Control>(pool(), &scene->view, keyMap.get(), host);
  control->Start(playMode_ == StartMode::kFresh ? ks::play::Control::kNewGame : static_cast<int>(playMode_));
  ApplyPrefsToTable();
  inPlay = true;
  resultUntil.reset();
  lastHud_.clear();
  DrawMatchFrame(true);
  menuStartTime = 0;
  state_ = AppState::kPlay;
  WriteLog(kLog, L"Ready to Play");
}

void ksMain::ApplyPrefsToTable() {
  using namespace ks::app;
  if (scene) {
    // "Room Graphics": the room around the table is drawn, or black.
    scene->scene.host.roomGraphics = prefs_[pref::kRoomGraphics] != 0;
    scene->scene.ForceFull();
  }
  if (control && control->Computer() != nullptr) {
    // "Adversary View": the computer's turn seen from the table end
    // ("Downtable") or from above ("Overhead").
    ks::play::AiMode& ai = *control->Computer();
    const bool fromTableEnd = prefs_[pref::kAdversaryView] != 0;
    if (ai.fromTableEnd != fromTableEnd) {
      ai.fromTableEnd = fromTableEnd;
      // A computer still working out its shot is seen from the new place
      // at once; one already under way keeps the camera it has.
      if (control->ComputerToPlay() && control->Active() == &ai && ai.phase <= ks::play::AiMode::kPhaseThinking)
        ai.Begin();
    }
  }
}

void ksMain::DrawMatchFrame(bool full) {
  if (!control || !scene || !display) return;
  const ks::Pool& p = *pool();
  auto nameOf = [this](int entry) {
    const char* n =
        entry >= 0 && entry < ks::app::kTableEntries ? opponents_[static_cast<std::size_t>(entry)].nickname : "";
    return std::wstring(n, n + std::char_traits<char>::length(n));
  };
  const std::wstring second = matchSetup_.secondPlayer == 0 ? std::wstring() : nameOf(matchSetup_.opponent);
  const ks::play::HudTexts texts = ks::play::MakeHudTexts(p, control.get(), nameOf(matchSetup_.playerOne), second);
  std::wstring summary = texts.name[0] + texts.score[0] + texts.name[1] + texts.score[1] + texts.result + texts.title +
                         texts.progress + static_cast<wchar_t>(L'0' + texts.atTable) +
                         static_cast<wchar_t>(L'A' + texts.icon + 1);
  if (control->CallingPocket()) summary += static_cast<wchar_t>(L'0' + control->CallPocket()->selected);
  // Track lines are drawn over a full frame, which also clears them away,
  // and so is the call-pocket prompt when it moves.
  const bool tracks = control->TrackLinesShown();
  const bool textsChanged = summary != lastHud_;
  if (full || keyMapScreen_ || tracks || tracksShown_ || display->m_FullRefresh ||
      (textsChanged && control->CallingPocket()))
    scene->scene.ForceFull();
  tracksShown_ = tracks;
  lastHud_ = summary;
  lastResult_ = texts.result;
  // The band and the box lie over the scene: frames that would disturb them
  // are drawn in full, and they with them. New texts over an unchanged
  // scene are drawn over what lay under the old ones.
  std::array<std::int32_t, 4> areas[2];
  const int areaCount = ks::play::HudAreas(*display, mediumFont, texts, areas);
  scene->scene.SetOverlays(areas, areaCount);
  display->BeginDraw();
  scene->DrawFrame();
  if (!scene->scene.LastFrameFull() && textsChanged && !scene->scene.RestoreOverlays(areas, areaCount)) {
    scene->scene.ForceFull();
    scene->DrawFrame();
  }
  if (tracks) ks::play::DrawTrackLines(*display, scene->scene, *control->TrackLines());
  if (scene->scene.LastFrameFull() || textsChanged)
    ks::play::DrawHud(*display, mediumFont, smallFont, texts, &scene->icons);
  if (control->CallingPocket()) ks::play::DrawCallPocketPrompt(*display, mediumFont, *control->CallPocket());
  if (keyMapScreen_) {
    // The keypad covers the table; it is painted whole over each frame.
    keyMapScreen_->Invalidate(0);
    keyMapScreen_->Draw(keyMapScreen_->DirtyRect(), 0);
  }
  display->EndDraw();
  display->Present();
  display->m_FullRefresh = false;
}

void ksMain::RedrawMatch(bool) { DrawMatchFrame(true); }

void ksMain::FinishMatch() {
  resultUntil.reset();
  inPlay = false;
  EndPlay();
  ReleaseMatchMemory();
  ::PushMainMenu(this);
  state_ = AppState::kMenus;
  if (returnScreen_ == ReturnScreen::kQuickPlay) {
    ::PushQuickPlay(this);
    careerPlay_ = false;
  }
  if (careerPlay_) {
    careerPlay_ = false;
    careerMessage.clear();
    // With no new room (and so no movie) the map comes back, with the
    // settlement shown over it.
    const int movie = ShowCareerResult();
    if (movie == 0 && returnScreen_ == ReturnScreen::kCareerMap && state_ == AppState::kMenus) ::PushCareerMap(this);
    if (!careerMessage.empty() && dlgMan && display) {
      // The menus below are shown first: the box sits on them, not on the
      // last frame of the match.
      display->BeginDraw();
      dlgMan->DrawTop();
      display->EndDraw();
      display->Present();
      ui::ShowPictureMessage(dlgMan.get(), display.get(), careerMessage.c_str());
    }
  }
}

void ksMain::EndPlay() {
  keyMapScreen_.reset();
  if (control) cameraDistance = control->Aim() ? control->Aim()->aimDistance : cameraDistance;
  control.reset();
  inPlay = false;
  playMode_ = StartMode::kFresh;
  UnloadRoom();
  StopMusic();
  StartMusic(L"");
}

int ksMain::ShowCareerResult() {
  ks::app::CareerRecord* career = CurrentCareer();
  if (career == nullptr || pool() == nullptr) return 0;
  if (careerHeld) {
    SaveCareers();
    return 0;
  }
  const ks::Pool& p = *pool();
  const bool won = p.rules.GamesWon[0] == p.rules.MatchGoal;
  career->matchesPlayed = static_cast<std::uint16_t>(career->matchesPlayed + 1);
  const int opponentRating =
      matchSetup_.opponent < ks::app::kTableEntries ? opponents_[matchSetup_.opponent].rating : 0;
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
      if (career->level > prefs_[ks::app::pref::kBestLevel]) {
        prefs_[ks::app::pref::kBestLevel] = career->level;
        SavePrefs();
      }
      SaveCareers();
      PlayMovie(career->level);
      result = 1;
    } else {
      careerMessage = std::wstring(L"You won ") + bet;
    }
  } else {
    career->money -= career->bet;
    SaveCareers();
    static constexpr std::int32_t kFloor[4] = {50, 100, 200, 450};
    const std::int32_t floor = kFloor[career->difficulty & 3];
    if (career->money >= floor) {
      careerMessage = std::wstring(L"You lost ") + bet + L".  Better luck next time.";
    } else {
      career->money += floor;
      SaveCareers();
      ks::app::FormatMoney(floorText, 32, floor);
      careerMessage = std::wstring(L"You lost ") + bet +
                      L" and are nearly broke. Fortunately, a kind soul has given you " + floorText;
    }
  }
  SaveCareers();
  return result;
}
