// The computer opponent: plans candidate shots in closed form, tries each on
// a private copy of the table's physics one candidate a frame, keeps the best
// and spoils it with an error that grows as the skill falls.
//
// The real Pool is never touched while thinking: the opponent keeps a copy
// of it taken at the start of the think and simulates every trial on a
// second copy, so nothing needs restoring and nothing allocates per frame.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "simulation/fixed.h"
#include "simulation/pool.h"

namespace ks {

// The strike the computer chose, in the table's terms (y below is the
// table's long axis, the Pool's z).
struct AiShot {
  int32_t speed = 0;      // strike power, Fix16
  int32_t elevation = 0;  // cue elevation angle
  Fix30 aimX = 0;         // direction the cue ball travels
  Fix30 aimY = 0;
  Fix16 tipX = 0;  // side, ball radii
  Fix16 tipY = 0;  // height; positive is above centre (follow)
  Fix16 cueX = 0;  // where the cue ball stands
  Fix16 cueY = 0;
  friend bool operator==(const AiShot&, const AiShot&) = default;
};

inline constexpr uint8_t kAiKindNone = 0xFF;
inline constexpr int kAiKindCount = 9;
inline constexpr int32_t kAiOffTable = static_cast<int32_t>(0x80000000u);
inline constexpr int32_t kAiMaxSpeed = 0x3000000;
inline constexpr int32_t kAiNoScore = -10000;
inline constexpr int32_t kAiNoTie = 0x7fffffff;

// One candidate: what the computer wants before it becomes a strike.
struct AiCandidate {
  uint8_t kind = kAiKindNone;  // 0 hit, 1 hit lowest, 2 soft hit, 3 pot, 4 pot with draw,
                               // 5 combination, 6 combination with draw, 7 kick pot, 8 kick hit
  uint8_t pocket = 0;
  uint8_t ball = 0;     // object ball
  uint8_t second = 0;   // combination: the ball that goes in
  uint8_t cushion = 0;  // kicks: 0 x = 1 - hx, 1 x = hx - 1, 2 y = 1 - hz, 3 y = hz - 1
  FixVec2 edgeA;        // window of aim directions (Fix30)
  FixVec2 edgeB;
  FixVec2 cue;     // cue-ball position
  FixVec2 travel;  // direction the potted ball travels (Fix30)
};

// Per-skill error sizes and search effort. Skills 1 to 13 have rows; 14
// means no error. Lookups clamp so no skill reads outside the tables.
struct AiSkillRow {
  int32_t speedError;
  int32_t elevationError;
  int32_t aimError;
  int32_t tipXError;
  int32_t tipYError;
  int32_t powerTries;
  int32_t powerStep;
  int32_t breakCut;
};
const AiSkillRow& AiSkillTable(int skill);  // skill clamped to 1..13
int32_t AiPowerTries(int skill);            // skill 13 and above use skill 12's
int32_t AiPowerStep(int skill);
int32_t AiBreakCut(int skill);   // 65536 from skill 13 on
int32_t AiAimErrorRow(int row);  // row clamped to 1..13

// The break default of a game type (1 Straight .. 6 10-Ball).
AiShot AiBreakDefault(int gameType);

// Closed-form ball laws the plans invert.
struct AiLaws {
  int32_t rollingDecel = 0x3C000;  // a
  int32_t mu = 0x1000000;          // sliding friction
  int32_t kv = 0;                  // sliding travel rate 2 mu / 7
};
uint32_t AiSpeedForDistance(const AiLaws& laws, uint32_t distance);
// The cue-ball speed at contact that gives the object ball v along its line;
// 0 when the cut cosine is not positive (no such speed).
uint32_t AiSpeedOverCut(uint32_t v, Fix30 c);
// How far the cue ball travels along `aim` before it touches a ball at
// `target`; the radicand is clamped at 0 for touching or overlapping balls.
int32_t AiContactDistance(FixVec2 target, FixVec2 cue, FixVec2 aim);
uint32_t AiStartSpeed(const AiLaws& laws, int32_t d, uint32_t u);
// Sets speed and tips for a side speed w, start speed vs and arrival u;
// false when vs is 0.
bool AiStrikeForSpeeds(AiShot& shot, int32_t w, uint32_t vs, uint32_t u);
void AiStrikeCapped(const AiLaws& laws, AiShot& shot, int32_t d, Fix30 s);
// The cut sine from the cosine, with |c| clamped to 1.0.
Fix30 AiCutSine(Fix30 c);
// 0 when the plan stands, 1 when it is refused (speed above 0x3000000 or
// the tip off the ball).
int AiCheckPlan(const AiShot& shot);

// The two edges of a window of directions (Fix30 unit vectors): `a` is the
// clockwise edge, `b` the counter-clockwise one.
struct AiWindow {
  FixVec2 a;
  FixVec2 b;
};

// Position values by balls (or points) a side still needs, and the chance of
// making a shot from how wide its window of aim directions is.
int32_t AiValueA(int index);  // index clamped to the table
int32_t AiValueB(int index);
int32_t AiSuccessEntry(int index);      // index clamped to 0..309
uint32_t AiSkillScale(int skillIndex);  // index clamped to 0..12
// Weight 0..9980 of a window whose edges have dot product `measure`.
int32_t AiSuccessWeight(int32_t measure, int skillIndex);
int32_t AiSuccessWeightKick(int32_t measure, int skillIndex);
// (success * p + failure * (10000 - p)) / 10000 kept to 16 bits.
int32_t AiCombineScore(int32_t success, int32_t failure, int32_t p);

// The scratch block the opponent works in: the placement list and the
// candidate list share it with the snapshots a think keeps, so the list sizes
// are bounded by what is left of it.
inline constexpr int kAiScratchBytes = 0x10000;
inline constexpr int kAiSnapshotBytes = 512 + 16 + 1536 + 128;
inline constexpr int kAiCandidateBytes = 40;
inline constexpr int kAiPlacementBytes = 8;

class AiOpponent {
 public:
  static constexpr int kMaxPlacements = 8;
  static constexpr int kMaxCandidates =
      (kAiScratchBytes - kAiSnapshotBytes - kMaxPlacements * kAiPlacementBytes) / kAiCandidateBytes;
  // One frame opens each placement and one tries each candidate, so a think
  // never runs longer than this many frames.
  static constexpr int kMaxFrames = kMaxPlacements * (kMaxCandidates + 1) + 2;

  explicit AiOpponent(Pool& pool);

  // Starts a think for the player to move.
  int AiThink();
  // One frame of the think: 0 while it goes on, 1 when `AiShot` is final.
  int AiFinishThink();
  // Puts `AiShot` into the Pool's cue so the next shot strikes it, and the
  // plan it came from into the called shot the rules read it against.
  void ApplyShot() const;

  // Exposed for tests and the harness.
  int AiPlanShot(const AiCandidate& c);
  int32_t AiSkillNoise(int n);
  int32_t AiEventNoise();
  void AiApplySkillError(bool isBreak);
  void AiBreakShot();
  int GenerateCandidates();
  // Legal object balls for the shooter (bit n for ball n).
  uint16_t LegalTargets() const;
  // The money ball of the game as a bit-n mask (converted from the Pool's
  // bit 15 - n mask), 0 when the game has none.
  uint16_t MoneyBallBits() const;
  const AiCandidate* Candidates() const { return candidates_.data(); }
  const std::vector<FixVec2>& Placements() const { return placements_; }

  // Planning geometry on `AiBallPos` (ball numbers 0-15, pockets 0-5).
  // Each window test leaves its window in `work`; 1 means covered.
  int AiNarrowWindow(FixVec2 d);
  int AiRegionTest(int n, int k);
  int AiWindowBlocked(int n);
  void AiBuildBallRecord(int n);
  void AiBuildBallRecords();
  int AiHitWindow(int a, int b);
  int AiGhostWindow(int a, int b, const AiWindow& w);
  int AiPathBlocked(int a, int b, int mirrorCushion = -1);
  int AiPocketShotOpen(int n, const AiWindow& w);
  int32_t AiFreeTravel(int n, FixVec2 d) const;
  void AiClassifyBalls();
  int AiPickTargetByClass(int32_t required, int32_t excluded);
  uint16_t AiChooseGroupMask() const;
  bool AiInRackArea(FixVec2 p) const;
  // Smallest aim-window measure over the pockets the cue ball can pot `t`
  // in, with that pocket; false when there is none.
  bool AiBestPocket(int t, int32_t& measure, int& pocket);
  void AiBuildPlacements();
  // Scoring of the position a trial left (on `AiBallPos`).
  int32_t AiNextShotValue(int32_t clearance, int own, int opp, int target, int pocket, int next, bool straight);
  int32_t AiSecondShotWeight(int target, int pocket, int next);
  int32_t AiComboMeasure(int m, int t);

  Pool& pool;
  std::array<FixVec2, kBallCount> AiBallPos{};
  AiShot aiShot;
  AiCandidate trial;
  AiShot bestShot;
  AiCandidate bestCandidate;
  int32_t bestScore = kAiNoScore;
  int32_t bestTie = kAiNoTie;
  int32_t bestSuccess = kAiNoScore;  // the best candidate's position value before weighing
  int32_t AiPlacementsLeft = 0;
  int32_t AiCandidatesLeft = 0;
  int32_t candidateCursor = 0;
  int32_t candidateCount = 0;
  uint8_t thinking = 0;
  int16_t baseSkill = 0;  // the skill word before a second player's raise
  int32_t ownCount = 0;   // own balls left, as the last scoring saw them
  int32_t framesThisThink = 0;
  int32_t trialsThisThink = 0;
  uint32_t failedSimulations = 0;  // trials that hit the step cap
  bool computerBothSides = false;
  int roomIndex = 0;

  // Geometry state.
  std::array<std::array<AiWindow, 6>, kBallCount> ballRecord{};  // per ball, per pocket
  std::array<uint8_t, kBallCount> blockedPockets{};              // bit k: pocket k closed
  std::array<int32_t, kBallCount> ballClass{};
  int rackCount = 0;
  int ballCount = 0;
  uint16_t groupMask = 0;
  AiWindow work;
  uint8_t mirrorCode = 0;
  int target = 0;
  bool cushionOnly = false;
  int currentPocket = 0;

  // Per-trial outcome.
  uint8_t firstHit = 0;
  uint16_t pocketedMask = 0;
  uint8_t scratched = 0;
  int32_t penaltyCount = 0;
  int32_t lastScore = kAiNoScore;
  int32_t lastTie = kAiNoTie;
  int32_t lastSuccess = kAiNoScore;  // the position value before weighing by the chance of success

 private:
  void AiStartSearch();
  int AiThinkStep();
  bool AiTryCandidate();
  void AiEvaluateCandidate();
  void ScoreOutcome();
  int32_t EvaluatePosition(int outcome, int shooter, int ownBefore, const RuleBlock& before, const RuleBlock& after);
  void CountSides(const RuleBlock& r, int shooter, bool potted, int& own, int& opp) const;
  int32_t Floors(int32_t value, int own, int opp) const;
  // The position values in use: the main table W and the second W'; the
  // Straight evaluation works with them exchanged.
  int32_t value_(int i) const;
  int32_t valueAlt_(int i) const;
  bool swapTables_ = false;
  bool AiSimulateShot();
  void AiKeepBest();
  void AiFallback();
  void AddCandidate(const AiCandidate& c);
  void Fill(AiCandidate& c, int kind) const;
  void AddPotCandidates(int t);
  void AddComboCandidates(int t);
  void AddHitCandidate(int t, uint8_t kind);
  void AddKickCandidates(int t, const AiWindow& w, int second);
  void AddKickPots(int t);
  void AddKickCombos(int t);
  void AddKickHitCandidates(int t);
  void GenerateStraight(int inHand, int behind);
  void GenerateAllBalls(int behind);
  void GenerateEightBall(int inHand, int behind);
  void GenerateLowBall(int inHand);
  void AddPlacement(int t, FixVec2 d);
  void PlaceBehind(int t, int k);
  FixVec2 Mirror(FixVec2 p, int cushion) const;
  int32_t Rand();
  AiLaws Laws() const;

  std::unique_ptr<Pool> saved_;  // the table as the think started
  std::unique_ptr<Pool> work_;   // where trials run
  std::array<AiCandidate, kMaxCandidates> candidates_{};
  std::vector<FixVec2> placements_;  // reserved once, never grows past kMaxPlacements
  int32_t placementCursor_ = 0;
  bool anyPlanned_ = false;
  AiShot firstPlanned_;
  AiCandidate firstPlannedCandidate_;
};

static_assert(kAiSnapshotBytes + AiOpponent::kMaxPlacements * kAiPlacementBytes +
                  AiOpponent::kMaxCandidates * kAiCandidateBytes <=
              kAiScratchBytes);

}  // namespace ks
