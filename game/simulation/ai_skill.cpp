// The opponent's skill tables, its noise draws, the skill error and the break.
#include <algorithm>

#include "simulation/ai.h"

namespace ks {
namespace {

constexpr AiSkillRow kSkill[13] = {
    {65536, 0, 384, 1024, 1024, 2, 1048576, 25165824},
    {65536, 0, 256, 768, 768, 2, 1048576, 25165824},
    {49152, 0, 192, 384, 384, 3, 699050, 20971520},
    {196608, 0, 160, 320, 320, 3, 699050, 20971520},
    {-8192, 0, 128, 256, 256, 4, 699050, 16777216},
    {32768, 0, 96, 192, 192, 4, 524288, 16777216},
    {16384, 0, 64, 128, 128, 5, 524288, 12582912},
    {12288, 0, 48, 64, 64, 6, 419430, 8388608},
    {6144, 0, 24, 24, 24, 7, 349525, 4194304},
    {4096, 0, 16, 16, 16, 7, 299593, 2097152},
    {2048, 0, 8, 8, 8, 8, 262144, 1048576},
    {1024, 0, 4, 4, 4, 8, 262144, 1048576},
    {0, 0, 0, 0, 0, 8, 262144, 65536},  // tries and step as skill 12
};

constexpr AiShot kBreakStraight{9437184, 768, -119537664, 1056964608, 20480, -16384, 719872, -1456128};
constexpr AiShot kBreakEight{41943040, 768, -1128448, 3025920, 0, -8192, 1193984, -1456128};
constexpr AiShot kBreakOther{41943040, 768, -1193984, 2912256, 0, -8192, 1193984, -1456128};

}  // namespace

const AiSkillRow& AiSkillTable(int skill) { return kSkill[std::clamp(skill, 1, 13) - 1]; }
int32_t AiPowerTries(int skill) { return AiSkillTable(skill).powerTries; }
int32_t AiPowerStep(int skill) { return AiSkillTable(skill).powerStep; }
int32_t AiBreakCut(int skill) { return AiSkillTable(skill).breakCut; }
int32_t AiAimErrorRow(int row) { return AiSkillTable(row).aimError; }

AiShot AiBreakDefault(int gameType) {
  if (gameType == 1) return kBreakStraight;
  if (gameType == 2) return kBreakEight;
  return kBreakOther;
}

int32_t AiOpponent::Rand() { return pool.random ? pool.random->Rand() : 0x00FF; }

int32_t AiOpponent::AiSkillNoise(int n) {
  const int e = -8 + __builtin_popcount(static_cast<uint32_t>(Rand()) & 0xFFFFu);
  return std::clamp(e * n, -8, 8);
}

int32_t AiOpponent::AiEventNoise() {
  const int e = -8 + __builtin_popcount(static_cast<uint32_t>(Rand()) & 0xFFFFu);
  return std::clamp(2 * e, -8, 8);
}

void AiOpponent::AiApplySkillError(bool isBreak) {
  int skill = pool.skill;
  if (AiEventNoise() == 8) skill = 1;  // a blunder, even for the best
  const int32_t tipNoise = AiEventNoise();
  if (tipNoise >= 6 || tipNoise <= -6) {
    aiShot.tipX = 0;
    aiShot.tipY = 0;
  }
  if (skill >= 14) return;
  int n = ownCount < 3 ? 5 - ownCount : 2;
  if (isBreak) n = std::min(n, 4);
  const AiSkillRow& row = AiSkillTable(skill);
  int64_t speed = static_cast<int64_t>(aiShot.speed) + static_cast<int64_t>(row.speedError) * (AiSkillNoise(n) + 6);
  speed = std::clamp<int64_t>(speed, 0x10000, kAiMaxSpeed);
  aiShot.speed = static_cast<int32_t>(speed);
  aiShot.elevation = WrapAdd32(aiShot.elevation, row.elevationError * AiSkillNoise(n));
  aiShot.tipX = WrapAdd32(aiShot.tipX, row.tipXError * AiSkillNoise(n));
  aiShot.tipY = WrapAdd32(aiShot.tipY, row.tipYError * AiSkillNoise(n));
  int aimRow;
  const uint8_t kind = trial.kind;
  if (kind == 7 || kind == 8) {
    aimRow = skill - 7;
  } else if (kind == 5 || kind == 6) {
    aimRow = skill - 3;
  } else {
    aimRow = skill + 1;
  }
  const int32_t angle = AiAimErrorRow(std::max(aimRow, 1)) * AiSkillNoise(n);
  const FixSinCos sc = SinCos(static_cast<FixAngle>(angle) & kAngleMask);
  FixVec2 d{Round64Shr30(SMul64(aiShot.aimX, sc.cos) - SMul64(aiShot.aimY, sc.sin)),
            Round64Shr30(SMul64(aiShot.aimX, sc.sin) + SMul64(aiShot.aimY, sc.cos))};
  if (d.x != 0 || d.z != 0) {
    NormalizeVec2Scaled(d);
    aiShot.aimX = d.x;
    aiShot.aimY = d.z;
  }
}

void AiOpponent::AiBreakShot() {
  aiShot = AiBreakDefault(pool.GameType);
  const int32_t hz = pool.table.hz;
  FixVec2 d;
  if (pool.GameType == 1) {
    d = {WrapSub32(0x54000, aiShot.cueX), WrapAdd32(WrapSub32(hz / 2, aiShot.cueY), 0x6F000)};
  } else {
    const int32_t scale = roomIndex < 3 ? 47233 : 56089;
    aiShot.cueX = FixMul16(aiShot.cueX, scale);
    aiShot.cueY = FixMul16(aiShot.cueY, scale);
    d = {WrapNeg32(aiShot.cueX), WrapSub32(hz / 2, aiShot.cueY)};
  }
  NormalizeVec2Scaled(d);
  aiShot.aimX = d.x;
  aiShot.aimY = d.z;
  if (Rand() & 1) {
    aiShot.aimX = WrapNeg32(aiShot.aimX);
    aiShot.tipX = WrapNeg32(aiShot.tipX);
    aiShot.cueX = WrapNeg32(aiShot.cueX);
  }
  if (pool.GameType != 1) aiShot.speed = std::max(0x10000, aiShot.speed - AiBreakCut(pool.skill));
  trial = AiCandidate{};
  trial.kind = 0;
  AiApplySkillError(true);
}

}  // namespace ks
