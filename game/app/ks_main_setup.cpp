// ksMain's match set-up: the set-up record handed to the table, the
// computer's skill and the handicap, and the quick-play preferences.
#include "engine/log.h"
#include "ks_main.h"
#include "simulation/table.h"

void ksMain::SetupMatch(bool resetScores) {
  ks::Pool& p = *Pool();
  const auto kind = static_cast<ks::app::SecondPlayer>(m_MatchSetup.secondPlayer);
  switch (kind) {
    case ks::app::SecondPlayer::kComputer:
      p.OpponentKind = 2;
      p.skill = static_cast<std::int16_t>(GetOpponentSkill(m_MatchSetup.opponent));
      break;
    case ks::app::SecondPlayer::kHuman:
      p.OpponentKind = 1;
      break;
    case ks::app::SecondPlayer::kComputerSecond:
      p.OpponentKind = 2;
      p.skill = 8;
      break;
    default:
      p.OpponentKind = 0;
      break;
  }
  p.secondComputer = kind == ks::app::SecondPlayer::kComputerSecond ? 1 : 0;
  p.GameType = ks::app::GameTypeOfMenu(m_MatchSetup.menuGame);
  m_MatchSetup.gameType = static_cast<std::uint16_t>(p.GameType);
  p.rules.MatchGoal = static_cast<std::int16_t>(m_MatchSetup.gameGoal == 0 ? 1 : m_MatchSetup.gameGoal);
  if (resetScores) {
    if (p.GameType == 1) {
      // Straight: the handicaps count towards the point goal.
      p.matchSetup = {static_cast<std::int16_t>(m_MatchSetup.spotReceived),
                      static_cast<std::int16_t>(m_MatchSetup.spotGiven)};
      p.rules.Score = {0, 0};
    } else {
      p.matchSetup = {0, 0};
      p.rules.Score = {static_cast<std::int16_t>(m_MatchSetup.spotReceived),
                       static_cast<std::int16_t>(m_MatchSetup.spotGiven)};
    }
    p.rules.GamesWon = {0, 0};
    p.rules.FoulsInRow = {0, 0};
    if (m_MatchSetup.pointGoal != 0) p.rules.PointsGoal = static_cast<std::int16_t>(m_MatchSetup.pointGoal);
    p.rules.CurrentPlayer = 0;
    p.rules.Outcome = 0;
    p.rules.OutcomeDetail = 0;
  }
  // The camera's two angles (-34 degrees) and two steps.
  p.cameraAngles = {-0x220000, -0x220000};
  p.cameraSteps = {2304, 2304};
  if (resetScores) p.SaveBallState();
  SavePrefs();
}

int ksMain::GetOpponentSkill(int index) const {
  if (index < 0 || index >= ks::app::kTableEntries) return 1;
  const int rank = m_Opponents[static_cast<std::size_t>(index)].rankIndex;
  int difficulty = -1;
  if (m_CareerPlay) {
    const auto i = static_cast<std::size_t>(m_CurrentCareer);
    if (i < m_Careers.records.size()) difficulty = m_Careers.records[i].difficulty;
  }
  return ks::app::OpponentSkill(rank, difficulty);
}

void ksMain::ComputeSpot(int* spotReceived, int* spotGiven, int goal, int firstRating, int secondRating) const {
  int difficulty = -1;
  if (m_CareerPlay) {
    const auto i = static_cast<std::size_t>(m_CurrentCareer);
    if (i < m_Careers.records.size()) difficulty = m_Careers.records[i].difficulty;
  }
  ks::app::ComputeSpot(spotReceived, spotGiven, goal, firstRating, secondRating, difficulty);
}

void ksMain::ApplySettings() {
  using namespace ks::app;
  m_Prefs[pref::kPlayerOne] = static_cast<std::uint8_t>(m_MatchSetup.playerOne);
  m_Prefs[pref::kOpponent] = static_cast<std::uint8_t>(m_MatchSetup.opponent);
  m_Prefs[pref::kPointGoal] = PointGoalToByte(m_MatchSetup.pointGoal);
  m_Prefs[pref::kGameGoal] = static_cast<std::uint8_t>(m_MatchSetup.gameGoal);
  m_Prefs[pref::kMenuGame] = static_cast<std::uint8_t>(m_MatchSetup.menuGame);
  m_Prefs[pref::kSecondPlayer] = static_cast<std::uint8_t>(m_MatchSetup.secondPlayer);
  m_Prefs[pref::kRoom] = static_cast<std::uint8_t>(m_MatchSetup.room);
  SavePrefs();
}
