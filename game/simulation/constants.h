// Constants and tolerances of the table simulation, each with its reason.
// Lengths are Fix16 ball radii, speeds Fix16 radii per second, simulation
// time about 2^24 units a second.
#pragma once

#include <cstdint>

namespace ks {

inline constexpr int kBallCount = 16;
inline constexpr int kRingSize = 256;

// Motion states (bit flags so that tests can use masks).
inline constexpr uint8_t kBallAtRest = 1;
inline constexpr uint8_t kBallSpinning = 2;
inline constexpr uint8_t kBallRolling = 4;
inline constexpr uint8_t kBallSliding = 8;
inline constexpr uint8_t kBallOff = 16;
inline constexpr uint8_t kBallTravelling = kBallRolling | kBallSliding;

// Event codes (second byte of an event pair).
inline constexpr uint8_t kEventSideCushionLeft = 16;   // x = -(hx - 1)
inline constexpr uint8_t kEventSideCushionRight = 17;  // x = hx - 1
inline constexpr uint8_t kEventEndCushionNear = 20;    // z = -(hz - 1)
inline constexpr uint8_t kEventEndCushionFar = 21;     // z = hz - 1
inline constexpr uint8_t kEventPocketFirst = 22;       // 22..27 pockets 0..5
inline constexpr uint8_t kEventJawFirst = 28;          // 28..39 jaw lines 0..11
inline constexpr uint8_t kEventKnuckleFirst = 40;      // 40..51 knuckles 0..11
inline constexpr uint8_t kEventKnuckleLast = 51;

inline constexpr uint32_t kNoTime = 0xFFFFFFFFu;         // no event predicted
inline constexpr uint32_t kPairNoContact = 0xFFFFFFFEu;  // pair checked: no contact in the horizon

// Ball radius and contact distance.
inline constexpr int32_t kBallRadius = 0x10000;
inline constexpr int64_t kContactDistSq = int64_t{4} << 32;  // (2 radii)^2 in 32 fraction bits
// Pairs closer than this band above contact count as touching when several
// fall in one instant (a quarter radius squared of slack).
inline constexpr int64_t kContactBand = int64_t{1} << 30;

// Speed and spin below which a ball stops (0.125 radii a second).
inline constexpr int32_t kRestThreshold = 8192;
// A spin axis this close to vertical turns a slow ball into a spinning top.
inline constexpr int32_t kVerticalAxis = 0x3F000000;

// Physics constants (set by InitPhysicsConstants).
inline constexpr int32_t kRollingDecel = 0x1E000;            // a_r: rolling speed falls by 2 a_r t
inline constexpr int32_t kRollingDecel2 = 0x3C000;           // 2 a_r, the deceleration of prediction
inline constexpr int32_t kSpinDecay = 0x1E0000;              // d_s: free spin decay
inline constexpr int32_t kSlidingFriction = 0x1000000;       // mu: slip decays at this rate
inline constexpr int32_t kSlidingFrictionStart = 0x2000000;  // constructor value
inline constexpr int32_t kRotationDivisor = 411774;          // pi * 2^17: rolled distance to half-angle

// Restitution factors as 4.28 values of (1 + e).
inline constexpr int32_t kCushionFactor = 0x1B000000;  // side and end cushions, e = 0.6875
inline constexpr int32_t kKnuckleFactor = 0x17000000;  // cushion noses at pocket mouths, e = 0.4375
inline constexpr int32_t kJawFactor = 0x13000000;      // pocket jaw faces, e = 0.1875
// Added to the closing speed of a collision before the restitution factor,
// so a ball always leaves the obstacle (0.25 radii a second).
inline constexpr int32_t kMinimumPush = 16384;
// Coulomb limit of cushion friction: at most this share (Fix20, 0.25) of the
// impact may be removed from the tangential slip.
inline constexpr int32_t kCushionImpactScale = 0x40000;
// Tangential slips below this are left alone (noise of the normalisation).
inline constexpr int32_t kCushionSlipThreshold = 384;
// Share (Fix16, 0.5) of the rolling spin that survives a cushion contact,
// since the cushion nose grips the ball above its equator.
inline constexpr int32_t kCushionSpinKeep = 32768;
// Impact offset in the ball-ball friction factors (Fix30, 1/16).
inline constexpr int32_t kImpactBias = 0x4000000;
inline constexpr uint32_t kTwoSevenths30 = 306783378;
inline constexpr uint32_t kFiveSevenths30 = 766958445;

// Simulation units per shot-clock tick (4 ms): 2^24 a second.
inline constexpr uint32_t kUnitsPerTick = 67108;
// Seek leaves the shown state alone when the newest entry is this close (1/30 s).
inline constexpr uint32_t kSeekSlack = 559241;
// Events of one ball within this much after the earliest collision are
// handled together (1/16 s).
inline constexpr uint32_t kMultiHitWindow = 0x100000;

// Steps after which a shot is forced to rest: a repeating zero-time event
// sequence must not hang the game. A break takes a few hundred steps.
inline constexpr uint32_t kStepCap = 20000;

// Power of a strike is capped here (640 radii a second).
inline constexpr int32_t kMaxStrikePower = 0x2800000;

}  // namespace ks
