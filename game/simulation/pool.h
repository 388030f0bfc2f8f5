// The Pool: the one object that holds the whole table and simulates shots
// event by event in integer fixed point.
//
// All state lives in the object (the step ring in a block it owns), so a
// value copy is a full snapshot: `Pool copy = pool;` and `pool = copy;` save
// and restore everything, which replay checks, look-ahead and saves rely on.
// Services (clock, sound, archive, hooks, random source) are pointers that
// the copy shares.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "simulation/constants.h"
#include "simulation/fixed.h"
#include "simulation/services.h"

namespace ks {

struct FixQuat {
  Fix30 w = kFixOne30;
  Fix30 x = 0;
  Fix30 y = 0;
  Fix30 z = 0;
  friend bool operator==(const FixQuat&, const FixQuat&) = default;
};

// The shown state of one ball.
struct BallState {
  FixVec3 position;          // Fix16 radii, y = 0 on the cloth
  FixQuat orientation;       // Fix30
  uint8_t shade = 0;         // colour row of the appearance table
  uint8_t stripe = 0;        // 1 for balls 9 to 15
  uint8_t state = kBallOff;  // motion state while shown
  uint8_t changed = 0;       // set when position, orientation or state changed
};

// One ball in a step record: the state at the step's instant.
struct BallEntry {
  uint8_t state = kBallOff;
  FixVec3 position;   // Fix16
  FixVec3 direction;  // Fix30 unit, y = 0
  int32_t speed = 0;  // Fix16 radii a second
  FixVec3 spinAxis;   // Fix30 unit
  int32_t spin = 0;   // surface speed, Fix16 radii a second
  FixQuat orientation;
};

struct StepRecord {
  std::array<BallEntry, kBallCount> ball;
};

// A ball's own next event (stop, start rolling, cushion, jaw, knuckle, pocket).
struct BallEvent {
  uint32_t time = kNoTime;  // absolute simulation time
  uint16_t kind = 0;
  uint8_t valid = 0;
};

// Closed-form description of a ball's current motion.
struct BallMotion {
  FixQuat orientation;  // at the start of the motion
  FixVec3 start;        // Fix16 position at the start
  FixVec3 direction;    // Fix30 unit
  FixVec3 spinAxis;     // Fix30 unit
  FixVec3 slip;         // Fix30 unit direction in which friction acts (x, z)
  uint32_t startTime = 0;
  int32_t speed = 0;      // start speed
  int32_t spin = 0;       // start spin rate
  int32_t slipSpeed = 0;  // speed of the contact point over the cloth
  uint8_t state = kBallOff;
  BallEvent next;
};

// Velocity and acceleration of a moving ball for pair prediction (Fix16).
struct MotionVector {
  FixVec3 velocity;
  FixVec3 acceleration;
};

struct EventPair {
  uint8_t a = 0;
  uint8_t b = 0;
};

// The table's cushion and pocket geometry for the ball centre (Fix16).
struct TableGeometry {
  Fix16 hx = 0x100000;              // half width
  Fix16 hz = 0x200000;              // half length
  std::array<Fix16, 4> cushion{};   // x left, x right, z near, z far
  std::array<FixVec2, 6> pocket{};  // prediction centres
  std::array<FixVec2, 12> knuckle{};
  std::array<FixVec2, 12> jawNormal{};  // Fix30
  std::array<FixVec2, 12> jawPoint{};
  Fix16 captureRadius = 0x24000;
  uint64_t captureRadiusSq = 0;
  std::array<FixVec2, 6> railAnchor{};
  std::array<FixVec2, 12> pocketAnchor{};
  // Points for the computer opponent and the table model.
  std::array<FixVec2, 6> pocketAim{};
  std::array<FixVec2, 16> pocketApproach{};
  std::array<FixVec2, 4> sidePocketApproach{};
};

// Facts a shot leaves for the rules, and the rule state the racking touches.
struct RuleBlock {
  uint8_t CurrentPlayer = 0;
  uint8_t BreakPlayer = 0;
  std::array<int16_t, 2> Score{};
  std::array<int16_t, 2> GamesWon{};
  std::array<int16_t, 2> FoulsInRow{};
  int16_t PointsGoal = 150;
  int16_t MatchGoal = 5;
  uint8_t Outcome = 0;
  uint8_t OutcomeDetail = 0;
  uint8_t TurnFlags = 0;  // 1 break, 2 ball in hand, 4 behind the head string, 8 match over
  uint8_t SolidsOwner = 0;
  uint16_t PocketedThisShot = 0;
  uint16_t excludedBall = 0;  // byte offset of the ball a Straight re-rack keeps
  FixVec3 reRackCueCopy;
  FixVec3 reRackBallCopy;
  // The shot record, filled during the shot.
  uint8_t ShotFlags = 0;
  uint8_t LowestBall = 0;
  uint8_t Scratch = 0;
  uint8_t FirstHit = 0;
  std::array<uint8_t, kBallCount> RailAfterContact{};
  std::array<int8_t, kBallCount> PocketOf{};
  uint8_t RailCount = 0;
  uint8_t Foul = 0;
  // Shot and cue set-up kept in saves; the first shot word is the aim angle.
  std::array<FixVec3, 5> shotSetup{};
  std::array<int32_t, 3> shotWords{};
  uint16_t placedWord = 0;  // cleared when balls are placed
  std::array<FixVec3, 6> cueSetup{};
  std::array<int32_t, 3> cueWords{0x20000000, 0x20000000, 0xB00000};
  uint16_t cueMode = 2;
  FixAngle viewAngle = 0;
  // Turn-start copy that a Straight miscall restores: player and six score words.
  uint8_t turnStartPlayer = 0;
  std::array<int16_t, 6> turnStartScores{};
  uint32_t OnTableMask = 0xFFFF;
  uint32_t PocketedCount = 0;
};

// Called shot read by the rules: kind 3-7, pocket, ball, second ball.
struct CalledShot {
  uint8_t kind = 0;
  uint8_t pocket = 0;
  uint8_t ball = 0;
  uint8_t second = 0;
};

// Ball masks. The rules use bit 15 - n for ball n (cue ball 0x8000, the 9
// 0x40); the computer opponent's per-shot masks use bit n. One helper each.
constexpr uint16_t RuleMaskOf(int ball) {
  return ball >= 0 && ball < 16 ? static_cast<uint16_t>(0x8000u >> ball) : uint16_t{0};
}
constexpr uint32_t BitMaskOf(int ball) { return ball >= 0 && ball < 16 ? 1u << ball : 0u; }
constexpr uint32_t RuleMaskToBitMask(uint32_t ruleMask) {
  uint32_t out = 0;
  for (int n = 0; n < 16; ++n) {
    if (ruleMask & (0x8000u >> n)) out |= 1u << n;
  }
  return out;
}

// Camera block used by the view and the aim line.
struct CameraBlock {
  std::array<int32_t, 2> viewScale{896, 896};
  std::array<Fix16, 2> viewDistance{-4996868, -4996868};
  FixVec3 position{0, 0, -4996868};
  FixVec3 orbitPoint;
  FixVec3 right{kFixOne30, 0, 0};
  FixVec3 up{0, kFixOne30, 0};
  FixVec3 forward{0, 0, kFixOne30};
  std::array<int32_t, 3> turn{0, 5376, 0};  // pending turn angles; the second is the pitch
  FixAngle viewHeading = 0;                 // heading of the view, written by the computer's aim animation
  uint8_t dirty = 0;
  uint8_t moved = 0;
};

// What the computer's turn shows before its strike, and its progress.
struct AiPresentation {
  uint32_t start = 0;  // Pool::GetTime ticks (the shot clock in the stroke's last phase)
  FixVec2 ballStart, ballDelta, ballTarget;
  FixAngle headingStart = 0;
  int32_t headingDelta = 0;
  FixAngle elevationStart = 0;
  int32_t elevationDelta = 0;
  FixAngle elevationTarget = 0;
  FixVec2 aimTarget;  // planned direction of the cue ball (Fix30)
  std::array<Fix16, 2> tipTarget{};
  int32_t strokeBase = 0;
  int32_t strokeDelta = 0;
  int32_t strokePower = 0;
  int32_t strokePhase = 0;
  int32_t strokeDistance = 0;  // cue distance behind the ball, reported with code 7
};

// The 256-record step ring in a block the Pool owns; copies are deep.
class StepRing {
 public:
  StepRing() : records_(std::make_unique<StepRecord[]>(kRingSize)) {}
  StepRing(const StepRing& o) : StepRing() { *this = o; }
  StepRing& operator=(const StepRing& o) {
    if (this != &o) std::copy(o.records_.get(), o.records_.get() + kRingSize, records_.get());
    return *this;
  }
  StepRecord& operator[](int i) { return records_[static_cast<size_t>(i & (kRingSize - 1))]; }
  const StepRecord& operator[](int i) const { return records_[static_cast<size_t>(i & (kRingSize - 1))]; }

 private:
  std::unique_ptr<StepRecord[]> records_;
};

// Snapshot of the shown balls and the rule block (the saves' ball copy).
struct BallSnapshot {
  std::array<BallState, kBallCount> balls;
  RuleBlock rules;
};

class Pool {
 public:
  Pool();
  Pool(const Pool&) = default;
  Pool& operator=(const Pool&) = default;

  // ---- services ----
  PoolHost* host = nullptr;
  GameSound* sound = nullptr;
  MemberReader* archive = nullptr;
  PoolObserver* observer = nullptr;
  RandomSource* random = nullptr;

  // ---- clocks ----
  void StartClock();
  uint32_t GetTime() const;  // 4-ms ticks since StartClock
  void SetShotTimeScale(int n);
  void StartShotClock();
  uint32_t GetShotTime();
  void SetShotStarted() { shotStarted = 1; }
  void ClearShotStarted() { shotStarted = 0; }
  void ResetCue();
  void ResetTable();
  void SetupTable();
  void OrbitCamera();
  FixVec3 ProjectOnAxes(const FixVec3& point) const;
  void OnGameEvent(int code);
  void OnGameEventData(int code, const void* block, size_t size);
  void OnViewChanged();
  void PrepareOpponent();

  // ---- motion and strike ----
  void InitPhysicsConstants();
  void ComputeBallStep();
  void BeginShot();
  void StrikePreview(int32_t power);
  void StrikeWithParameters(const int32_t block[6]);
  void BeginStrike(int32_t power);
  void AimFromCue();
  void StrikeCueBall();
  void StartMotions();
  // The strike from the cue words: BeginStrike, AimFromCue, StrikeCueBall
  // and StartMotions in that order.
  void StrikeFromCue(int32_t power);
  void ComputeSlip(int ball);
  void InterpolateBalls(const StepRecord& record, uint32_t offset);
  // The state a motion reaches `t` units after its start.
  void EvaluateMotion(const BallMotion& m, uint32_t t, BallEntry& out) const;
  void BuildMotion(int ball, const BallEntry& e);

  // ---- collisions and events ----
  void CollectEvents();
  void ApplyStateChange(int ball);
  int32_t ApplyBallCollision(int a, int b);
  int32_t ApplyMultiCollision(const EventPair* pairs, int count);
  int32_t ApplyTableCushion(int ball, int code);
  void ApplyPocketDrop(int ball);
  int32_t ApplyJawLine(int ball, int jaw);
  int32_t ApplyKnuckle(int ball, int knuckle);
  void RecordRuleFacts();
  void SetSliding(BallEntry& e) const;

  // ---- shot execution ----
  void StepSimulation();
  void PredictEvents();
  void AdvanceStepRing();
  void StartShot();
  int RunShot();
  int FinishShot();
  int IsShotOver();
  void SyncShotClock();
  int PlayShotFrame();
  int SeekReplay(uint32_t time);
  void ClearPredictions();
  // One predicted and applied step (the look-ahead's unit of work); false
  // once the shot has ended. Beyond the step cap every ball is brought to rest.
  bool SimulateOneStep();
  // The shot record the rules read: reset before each shot.
  void ResetShot();

  // ---- geometry and prediction ----
  void InitCushionGeometry();
  void InitPocketGeometry();
  void InitPocketPositions();
  void SnapshotBallPositions(FixVec2 out[kBallCount]) const;
  void PrepareMotionVectors();
  void PredictBallEvents();
  void PredictPairEvents();
  int32_t TimeToTravel(int32_t distance, int32_t speed) const;
  // Contact time of f(t) (coefficients A4..A0, 8 fraction bits) within the
  // horizon; negative when there is none.
  int32_t SolveContactQuartic(const int64_t coeff[5], uint32_t horizon, bool touchingAllowed,
                              bool newtonOnly = false) const;

  // ---- racking, placement, sounds ----
  void RackBalls();
  void PlaceBalls(int16_t layout);
  void RerackStraightAround(int k);
  void RerackStraightFull();
  void ResetRackPositions();
  void SaveBallState();
  void RestoreBallState();
  // Loads the thirteen effects in order; a missing or short member keeps its
  // effect number as a silent effect. Returns the effects loaded with samples.
  int LoadSounds();
  void PlayEffect(int effect, uint32_t delay);
  void PlaySound(int number);
  // Puts the cue ball on a free spot, searching the head area first.
  void PlaceCueBallInHand();
  // Spots the listed balls on the long axis from the foot spot (the rules
  // choose which balls).
  void SpotBalls(const uint8_t* balls, int count);

  // ---- the computer's turn shown before its strike ----
  void AiSetBallTarget(FixVec2 spot);
  int AiAnimateBall();
  // direction: planned cue-ball direction (Fix30); side as planned (stored negated).
  void AiSetAimTarget(FixVec2 direction, Fix16 side, Fix16 height, FixAngle elevationAngle);
  int AiAnimateAim();
  void AiStartStroke(int32_t power);
  int AiAnimateStroke();

  // ---- cue stick pose, cue ball facing the stick, and the placement probe ----
  // Places the stick model in table space behind the cue ball along the aim.
  void PoseCueStick();
  // Turns the cue ball so the point the tip will strike faces the stick.
  void OrientCueBall();
  // How far (Fix16) the struck ball would roll along the unit direction
  // (dx, dz) (Fix30) before its first event; predictions are left as found.
  int32_t ProbeCueLine(Fix30 dx, Fix30 dz);

  // ---- rules of the game types ----
  void ResetGame();
  // Judges the shot that has come to rest by the rules of `GameType`.
  void EvaluateShot();
  int Resign();
  int QuitMatch();
  void Miscall();
  bool IsGroupCleared() const;
  void UpdatePocketedMask();
  void CountRailBalls();
  void SpotPocketedBalls();
  // Takes the turn-start copy (player and score words) before a shot.
  void BeginTurn();

  // ---- the table-state stream kept in saves ----
  static constexpr size_t kTableStateSize = 776;
  // Writes the live state (with the match-over flag masked out) to `buffer`;
  // returns the bytes written, 0 when `length` is too short.
  size_t WriteState(uint8_t* buffer, size_t length) const;
  // Reads a stream into the snapshot and the match set-up. A short stream or
  // one with out-of-range fields is refused (false) and nothing changes.
  bool ReadState(const uint8_t* buffer, size_t length);

  // ---- the canonical state ----
  // Hash over the named fields of the simulation state (not raw bytes).
  uint64_t StateHash() const;

  // ---- fields ----
  // Turn bytes.
  uint8_t shotTimeScale = 1;     // 1 << n
  uint8_t shotTimeScaleRun = 1;  // copy for the running shot
  uint8_t shotStarted = 0;
  uint32_t frameCounter = 0;
  uint32_t frameCounterShot = 0;
  uint32_t poolStartTime = 0;  // ms
  uint32_t shotStartTime = 0;  // ms

  // Event bookkeeping.
  int32_t ballPairListStart = 0;
  uint8_t movingSecondBall = 0;
  uint8_t lastBall = 0;
  int32_t gameTypeIndex = 0;  // GameType - 1 for the opponent's tables
  int32_t skillIndex = 0;

  // Physics constants.
  int32_t rollingDecel2 = kRollingDecel2;
  int32_t spinDecay = kSpinDecay;
  int32_t cushionFactor = kCushionFactor;
  int32_t knuckleFactor = kKnuckleFactor;
  int32_t jawFactor = kJawFactor;
  int32_t impactBias = kImpactBias;
  int32_t slidingFriction = kSlidingFrictionStart;
  int32_t minimumPush = kMinimumPush;
  int32_t impactScale = kCushionImpactScale;
  int32_t slipThreshold = kCushionSlipThreshold;
  int32_t spinKeep = kCushionSpinKeep;
  int32_t rollingDecel = kRollingDecel;
  int32_t slideTravelRate = 0;  // k_v
  int32_t slideSpinRate = 0;    // k_w
  int32_t slideTravelHalf = 0;
  int32_t slideSpinHalf = 0;

  uint32_t timeToNextEvent = kNoTime;
  std::array<uint32_t, kRingSize> ringTime{};
  std::array<BallState, kBallCount> ballStates{};

  std::array<EventPair, 16> eventList{};
  std::array<EventPair, 16> grazingList{};
  int32_t eventCount = 0;    // pairs
  int32_t grazingCount = 0;  // pairs

  StepRing ring;
  int32_t ringPrevIndex = 0;
  int32_t ringIndex = 1;
  int32_t ringCurrent = 0;  // in ball entries (16 a record)
  int32_t ringNext = 16;
  int32_t ringLead = 1;

  // Shot flags.
  uint8_t shotRunning = 0;
  uint8_t silent = 0;
  uint8_t fastSimulation = 0;
  uint8_t strikePending = 0;
  int32_t strikePower = 0;
  FixSinCos elevation{0, kFixOne30};
  FixQuat rotation;
  FixVec3 spinScratch;
  std::array<Fix16, 2> tip{};  // side, height (ball radii)
  int32_t rotationDivisor = kRotationDivisor;
  uint8_t probeBall = 0;
  uint16_t probeWord = 2;

  // Match and cue parameters.
  int16_t GameType = 3;
  int16_t OpponentKind = 1;
  int16_t skill = 1;
  // The application's match set-up writes these: the second computer flag
  // (player 2 a computer set up as playing against a computer) and the
  // two camera angles (Fix16 degrees) and camera steps.
  uint8_t secondComputer = 0;
  std::array<Fix16, 2> cameraAngles{};
  std::array<int32_t, 2> cameraSteps{};
  uint32_t MoneyBallMask = 0x40;
  FixVec3 cueDirection{0, 0, -kFixOne30};  // points from the ball to the stick
  std::array<Fix16, 2> cueTip{};           // side, height; positive height strikes above centre
  int32_t cueStrikeFactor = 0x20000;
  FixAngle cueElevation = 768;
  int32_t powerSetting = 4096;
  RuleBlock rules;
  CalledShot called;
  // The cue stick model (30 points, 8 directions, Fix16) and its posed copy.
  std::array<FixVec3, 30> stickPoints{};
  std::array<FixVec3, 8> stickDirections{};
  std::array<FixVec3, 30> stickPointsPosed{};
  std::array<FixVec3, 8> stickDirectionsPosed{};
  FixVec3 stickOrigin;
  uint8_t callingOn = 0;                // calling of shots (a preferences byte of the match set-up)
  uint8_t calledPocket8 = 0;            // the pocket called for the 8
  uint8_t shotState = 0;                // non-zero while a shot is running for play
  std::array<int16_t, 2> matchSetup{};  // the application's two match set-up words
  uint16_t struckBall = 0;              // index of the ball record the player strikes
  uint16_t poolWord = 0;

  // Shot playback.
  uint32_t lastFrameTime = 0;
  uint32_t shownTime = 0;
  uint32_t rewindStart = 0;
  uint32_t rewindEnd = 0;
  uint32_t rewindLength = 0;
  uint32_t frameCount = 0;
  int32_t highestRingIndex = 0;
  uint8_t replayAvailable = 0;
  uint32_t shotClock = 0;  // last GetShotTime
  uint8_t redraw = 0;
  uint8_t footSpotGuard = 0;
  int16_t opponentIndex = -1;
  uint8_t tableMode = 0;

  CameraBlock camera;
  AiPresentation aiShow;
  Fix16 headSpotZ = 0;
  FixVec3 contactNormal;
  uint32_t stepCount = 0;
  uint32_t stepCapHits = 0;  // shots forced to rest by the step cap

  std::array<std::array<uint32_t, kBallCount>, kBallCount> pairTimes{};
  std::array<BallMotion, kBallCount> motions{};
  std::array<MotionVector, kBallCount> motionVectors{};
  uint32_t simClock = 0;

  TableGeometry table;
  std::array<std::array<FixVec2, kBallCount>, 8> rackPositions{};
  BallSnapshot snapshot;

 private:
  void OfferEvent(uint8_t a, uint8_t b, uint32_t relative);
  bool InGrazingList(int a, int b) const;
  void AddGrazing(int a, int b);
  int32_t ApplyObstacle(int ball, const FixVec3& normal, int32_t factor);
  void ApplyNormalExchange(BallEntry& a, BallEntry& b, bool aTravelling, bool bTravelling) const;
  void PlayCollisionSound(int kind, int32_t strength);
  void KeepInside(BallEntry& e, const FixVec3& was) const;
  void ForceRest();
  bool CueTouchesBall() const;
  bool BallTouchesOthers(int ball, const FixVec3& pos) const;
  void Shuffle(int layout);
  void Jitter(int excluded);
  StepRecord& Current() { return ring[ringCurrent >> 4]; }
  StepRecord& Next() { return ring[ringNext >> 4]; }
};

}  // namespace ks
