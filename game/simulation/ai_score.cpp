// Scoring: what a position is worth to the side that shoots next, and how
// likely a shot is to go as planned given the width of its aim window.
#include <algorithm>

#include "simulation/ai.h"

namespace ks {
namespace {

constexpr int32_t kOne = 0x10000;

// Value of a position by balls (or points) a side still needs.
constexpr int16_t kValueA[16] = {10000, 9750, 9500, 9000, 8500, 8000, 7500, 7000,
                                 6000,  5000, 4000, 3000, 2000, 1000, 500,  250};
constexpr int16_t kValueB[17] = {10000, 9500, 9000, 8500, 8000, 7500, 7000, 6500, 6000,
                                 5000,  4000, 3000, 2000, 1000, 500,  250,  125};

// Half the chance, in ten-thousandths, of making a shot, by the width of its
// aim window scaled by skill: 5000 erf(i / 141), rising ever more slowly.
constexpr int16_t kSuccess[310] = {
    0,    40,   80,   120,  160,  199,  239,  279,  319,  359,  398,  439,  479,  518,  558,  597,  637,  676,  716,
    755,  794,  834,  873,  912,  951,  989,  1028, 1067, 1105, 1144, 1182, 1220, 1258, 1296, 1334, 1372, 1409, 1447,
    1484, 1521, 1558, 1595, 1632, 1668, 1705, 1741, 1777, 1813, 1848, 1884, 1919, 1955, 1990, 2024, 2059, 2094, 2128,
    2162, 2196, 2229, 2263, 2296, 2329, 2362, 2395, 2427, 2460, 2492, 2523, 2555, 2586, 2618, 2648, 2679, 2710, 2740,
    2770, 2800, 2829, 2859, 2888, 2917, 2945, 2974, 3002, 3030, 3058, 3085, 3112, 3139, 3166, 3193, 3219, 3245, 3271,
    3296, 3321, 3346, 3371, 3396, 3420, 3444, 3468, 3492, 3515, 3538, 3561, 3584, 3606, 3628, 3650, 3672, 3693, 3714,
    3735, 3756, 3776, 3797, 3816, 3836, 3856, 3875, 3894, 3913, 3931, 3950, 3968, 3986, 4003, 4021, 4038, 4055, 4072,
    4088, 4105, 4121, 4137, 4152, 4168, 4183, 4198, 4213, 4228, 4242, 4256, 4270, 4284, 4298, 4311, 4324, 4337, 4350,
    4363, 4375, 4387, 4399, 4411, 4423, 4434, 4446, 4457, 4468, 4479, 4489, 4500, 4510, 4520, 4530, 4540, 4549, 4559,
    4568, 4577, 4586, 4595, 4603, 4612, 4620, 4628, 4637, 4644, 4652, 4660, 4667, 4675, 4682, 4689, 4696, 4703, 4709,
    4716, 4722, 4729, 4735, 4741, 4747, 4753, 4759, 4764, 4770, 4775, 4781, 4786, 4791, 4796, 4801, 4805, 4810, 4815,
    4819, 4824, 4828, 4832, 4836, 4840, 4844, 4848, 4852, 4856, 4859, 4863, 4866, 4870, 4873, 4876, 4879, 4882, 4886,
    4888, 4891, 4894, 4897, 4900, 4902, 4905, 4907, 4910, 4912, 4915, 4917, 4919, 4921, 4923, 4926, 4928, 4930, 4931,
    4933, 4935, 4937, 4939, 4940, 4942, 4944, 4945, 4947, 4948, 4950, 4951, 4953, 4954, 4955, 4957, 4958, 4959, 4960,
    4961, 4962, 4964, 4965, 4966, 4967, 4968, 4969, 4970, 4970, 4971, 4972, 4973, 4974, 4975, 4975, 4976, 4977, 4978,
    4978, 4979, 4980, 4980, 4981, 4981, 4982, 4982, 4983, 4984, 4984, 4985, 4985, 4986, 4986, 4986, 4987, 4987, 4988,
    4988, 4988, 4989, 4989, 4998, 4990,
};

constexpr uint32_t kSkillScale[13] = {268435456, 268435456, 335544320, 335544320, 402653184, 402653184, 536870912,
                                      536870912, 469762048, 469762048, 536870912, 536870912, 603979776};

bool OnTable(FixVec2 p) { return p.x != kAiOffTable; }
FixVec2 Sub(FixVec2 a, FixVec2 b) { return {WrapSub32(a.x, b.x), WrapSub32(a.z, b.z)}; }

int32_t Div10000(int64_t v) { return static_cast<int32_t>(v / 10000); }

uint32_t SuccessIndex(int32_t measure, int skillIndex, bool kick) {
  const Fix30 d = std::max(measure, 0);
  uint32_t a = static_cast<uint32_t>(ArcCosFix(d));  // the window's angle, 4 x radians in Fix16
  if (kick) a >>= 2;
  const uint64_t i = (static_cast<uint64_t>(a) * AiSkillScale(skillIndex)) >> 32;
  return static_cast<uint32_t>(std::min<uint64_t>(i, 309));
}

}  // namespace

int32_t AiValueA(int i) { return kValueA[std::clamp(i, 0, 15)]; }
int32_t AiValueB(int i) { return kValueB[std::clamp(i, 0, 16)]; }
int32_t AiSuccessEntry(int i) { return kSuccess[std::clamp(i, 0, 309)]; }
uint32_t AiSkillScale(int i) { return kSkillScale[std::clamp(i, 0, 12)]; }

int32_t AiSuccessWeight(int32_t measure, int skillIndex) {
  return 2 * kSuccess[SuccessIndex(measure, skillIndex, false)];
}

int32_t AiSuccessWeightKick(int32_t measure, int skillIndex) {
  return kSuccess[SuccessIndex(measure, skillIndex, true)] >> 1;
}

int32_t AiCombineScore(int32_t success, int32_t failure, int32_t p) {
  const int64_t v = (int64_t{success} * p + int64_t{failure} * (10000 - p)) / 10000;
  return static_cast<int16_t>(static_cast<uint16_t>(v));  // a 16-bit score wraps
}

void AiOpponent::CountSides(const RuleBlock& r, int s, bool potted, int& own, int& opp) const {
  const int other = 1 - s;
  auto onTable = [&](int b) { return OnTable(AiBallPos[static_cast<size_t>(b)]); };
  switch (pool.GameType) {
    case 1: {
      own = std::clamp(r.PointsGoal - r.Score[static_cast<size_t>(s)], 0, 5) - (potted ? 1 : 0);
      own = std::max(own, 0);
      opp = std::clamp(r.PointsGoal - r.Score[static_cast<size_t>(other)], 0, 5);
      return;
    }
    case 2: {
      int low = 0, high = 0;
      for (int b = 1; b < 8; ++b) low += onTable(b) ? 1 : 0;
      for (int b = 9; b < kBallCount; ++b) high += onTable(b) ? 1 : 0;
      if (r.SolidsOwner == 0) {
        own = 1 + std::min(low, high);
        opp = 1 + std::max(low, high);
      } else {
        const bool lowMine = r.SolidsOwner == s + 1;
        own = 1 + (lowMine ? low : high);
        opp = 1 + (lowMine ? high : low);
      }
      return;
    }
    case 4: {
      // Balls taken in number order until the score reaches the total.
      const int total = r.Score[static_cast<size_t>(other)] == 60 ? 60 : 61;
      auto needed = [&](int score) {
        int n = 0;
        for (int b = 1; b < kBallCount && score < total; ++b) {
          if (!onTable(b)) continue;
          score += b;
          ++n;
        }
        return n;
      };
      own = needed(r.Score[static_cast<size_t>(s)]);
      opp = needed(r.Score[static_cast<size_t>(other)]);
      return;
    }
    default: {
      int n = 0;
      for (int b = 1; b < kBallCount; ++b) n += onTable(b) ? 1 : 0;
      own = opp = n;
      return;
    }
  }
}

int32_t AiOpponent::AiSecondShotWeight(int t, int pocket, int next) {
  // Where the cue ball and the ball after next lie against the line the
  // target travels to its pocket: on one side and close to it is the easy
  // way on.
  int index = 3;
  if (next > 0 && pocket >= 0) {
    const FixVec2 pt = AiBallPos[static_cast<size_t>(t)];
    FixVec2 u = Sub(pool.table.pocketAim[static_cast<size_t>(pocket)], pt);
    if (u.x != 0 || u.z != 0) NormalizeVec2Scaled(u);
    const FixVec2 c = Sub(AiBallPos[0], pt), n = Sub(AiBallPos[static_cast<size_t>(next)], pt);
    const int64_t c1 = (SMul64(u.x, c.z) - SMul64(u.z, c.x)) >> 30;
    const int64_t c2 = (SMul64(u.x, n.z) - SMul64(u.z, n.x)) >> 30;
    const bool sameSide = (c1 >= 0) == (c2 >= 0);
    const bool close = std::abs(c1) + std::abs(c2) < 0x80000;
    index = sameSide ? (close ? 2 : 3) : (close ? 4 : 5);
  }
  return valueAlt_(index);
}

int32_t AiOpponent::AiNextShotValue(int32_t clearance, int own, int opp, int t, int pocket, int next, bool straight) {
  const TableGeometry& g = pool.table;
  int32_t q = AiSuccessWeight(clearance, pool.skillIndex);
  const FixVec2 cue = AiBallPos[0];
  if (std::abs(int64_t{cue.x}) > g.hx - 2 * kOne || std::abs(int64_t{cue.z}) > g.hz - 2 * kOne) q /= 2;
  const int64_t v = value_(opp);
  int64_t value;
  if (own <= 1) {
    value = Div10000(int64_t{q} * 10000 - (10000 - q) * v);
  } else {
    const int64_t r = AiSecondShotWeight(t, pocket, next);
    const int64_t e = own == 2 ? Div10000(r * 10000 - (10000 - r) * value_(1))
                               : Div10000(value_(own - 2) * r - (10000 - r) * value_(own - 1));
    value = Div10000(e * q - (10000 - q) * v);
    if (own > 2 && straight) {
      // A break ball: the cue ball can open the rack from here.
      bool rack = false, zone = false;
      for (int b = 1; b < kBallCount; ++b) {
        const FixVec2 p = AiBallPos[static_cast<size_t>(b)];
        if (!OnTable(p)) continue;
        if (AiInRackArea(p))
          rack = true;
        else if (std::abs(int64_t{p.x}) < g.hx / 2 && p.z > -(g.hz / 2) && p.z < g.hz / 4)
          zone = true;
      }
      if (rack) value += zone ? 2000 : 500;
    }
  }
  return Floors(static_cast<int32_t>(value), own, opp);
}

int32_t AiOpponent::value_(int i) const { return swapTables_ ? AiValueA(i) : AiValueB(i); }
int32_t AiOpponent::valueAlt_(int i) const { return swapTables_ ? AiValueB(i) : AiValueA(i); }

int32_t AiOpponent::Floors(int32_t value, int own, int opp) const {
  const int64_t w = value_(opp);
  const int64_t alt = own > 0 ? valueAlt_(own - 1) / 8 : 0;
  value = std::max<int32_t>(value, static_cast<int32_t>((-((w * 57344) >> 16) + alt + 200) / 2));
  return std::max<int32_t>(value, static_cast<int32_t>(-w / 2));
}

int32_t AiOpponent::AiComboMeasure(int m, int t) {
  int32_t best = 0x7fffffff;
  if (m <= 0 || t <= 0 || !OnTable(AiBallPos[static_cast<size_t>(m)]) || !OnTable(AiBallPos[static_cast<size_t>(t)]))
    return best;
  const FixVec2 pm = AiBallPos[static_cast<size_t>(m)], pt = AiBallPos[static_cast<size_t>(t)];
  FixVec2 cueToM = Sub(pm, AiBallPos[0]), mToT = Sub(pt, pm);
  if ((cueToM.x == 0 && cueToM.z == 0) || (mToT.x == 0 && mToT.z == 0)) return best;
  NormalizeVec2Scaled(cueToM);
  NormalizeVec2Scaled(mToT);
  if (Dot2Fix30(cueToM, mToT) < 0) return best;
  for (int k = 0; k < 6; ++k) {
    if (blockedPockets[static_cast<size_t>(t)] & (1u << k)) continue;
    if (Dot2Fix30(mToT, Sub(pool.table.pocketAim[static_cast<size_t>(k)], pt)) < 0) continue;
    if (AiGhostWindow(m, t, ballRecord[static_cast<size_t>(t)][static_cast<size_t>(k)]) || AiPathBlocked(m, t))
      continue;
    const AiWindow w = work;
    if (AiGhostWindow(0, m, w) || AiPathBlocked(0, m)) continue;
    best = std::min(best, Dot2Fix30(work.a, work.b));
  }
  return best;
}

// The position a trial left, in `AiBallPos`, for the side that shoots next
// (`next`); `outcome` 1 means the turn passed, and the value is then negated
// back to the shooter's view.
int32_t AiOpponent::EvaluatePosition(int outcome, int shooter, int ownBefore, const RuleBlock& before,
                                     const RuleBlock& after) {
  const int next = outcome == 1 ? 1 - shooter : shooter;
  const int game = pool.GameType;
  int own = 0, opp = 0;
  CountSides(after, next, false, own, opp);
  AiBuildBallRecords();
  auto onTable = [&](int b) { return OnTable(AiBallPos[static_cast<size_t>(b)]); };
  auto sign = [&](int32_t v) { return outcome == 1 ? -v : v; };

  if (game == 1) {
    if (before.Score[static_cast<size_t>(shooter)] + __builtin_popcount(pocketedMask) >= before.PointsGoal)
      return 10000;
    swapTables_ = !swapTables_;
    int t = 0, pocket = -1;
    int32_t measure = 0x7fffffff;
    for (int pass = 0; pass < 2 && !t; ++pass) {
      for (int b = 1; b < kBallCount; ++b) {
        if (!onTable(b) || (pass == 0 && AiInRackArea(AiBallPos[static_cast<size_t>(b)]))) continue;
        int32_t m;
        int k;
        if (AiBestPocket(b, m, k) && m < measure) {
          measure = m;
          pocket = k;
          t = b;
        }
      }
    }
    const int32_t v = t ? AiNextShotValue(measure, own, opp, t, pocket, 0, true) : -value_(opp) / 4;
    swapTables_ = !swapTables_;
    return sign(v);
  }

  uint16_t group = 0;  // the balls the next shooter may aim at
  int t = 0, second = 0;
  if (game == 2) {
    if (ownBefore == 1 && (pocketedMask & (1u << 8))) return 10000;
    const uint8_t owner = after.SolidsOwner;
    group = owner == 0 ? 0xFEFE : owner == next + 1 ? 0x00FE : 0xFE00;
    int inGroup = 0;
    for (int b = 1; b < kBallCount; ++b) inGroup += (group & (1u << b)) && onTable(b) ? 1 : 0;
    if (own <= 1 || inGroup == 0) {
      t = onTable(8) ? 8 : 0;
    } else if (inGroup <= 2) {
      int64_t best = INT64_MAX;
      for (int b = 1; b < kBallCount; ++b) {
        if (!(group & (1u << b)) || !onTable(b)) continue;
        const FixVec2 d = Sub(AiBallPos[static_cast<size_t>(b)], AiBallPos[0]);
        const int64_t d2 = SMul64(d.x, d.x) + SMul64(d.z, d.z);
        if (d2 < best) {
          best = d2;
          second = t;
          t = b;
        } else if (!second) {
          second = b;
        }
      }
    } else {
      int32_t m1 = 0x7fffffff, m2 = 0x7fffffff;
      for (int b = 1; b < kBallCount; ++b) {
        if (!(group & (1u << b)) || !onTable(b)) continue;
        int32_t m;
        int k;
        AiBestPocket(b, m, k);
        if (!t || m < m1) {
          second = t;
          m2 = m1;
          t = b;
          m1 = m;
        } else if (!second || m < m2) {
          second = b;
          m2 = m;
        }
      }
    }
  } else {
    if (pocketedMask & MoneyBallBits()) return 10000;
    if (game == 4) {
      int total = before.Score[static_cast<size_t>(1 - shooter)] == 60 ? 60 : 61;
      int sum = before.Score[static_cast<size_t>(shooter)];
      for (int b = 1; b < kBallCount; ++b) sum += (pocketedMask & (1u << b)) ? b : 0;
      if (sum >= total) return 10000;
    }
    for (int b = 1; b < kBallCount; ++b) {
      if (!onTable(b)) continue;
      if (!t)
        t = b;
      else if (!second)
        second = b;
    }
    group = static_cast<uint16_t>(t ? 1u << t : 0);
  }
  if (!t) return sign(-value_(opp));
  int32_t v;
  if (AiHitWindow(0, t)) {
    v = game == 2 ? -value_(opp) : -value_(opp) / 2;
  } else {
    int32_t measure;
    int pocket;
    if (!AiBestPocket(t, measure, pocket)) {
      int32_t smallest = 0x7fffffff;
      for (int b = 1; b < kBallCount; ++b) {
        if (!(group & (1u << b)) || !onTable(b)) continue;
        int32_t m;
        int k;
        if (AiBestPocket(b, m, k)) smallest = std::min(smallest, m);
      }
      const int64_t c = AiSuccessWeight(smallest, pool.skillIndex);
      v = Div10000(c * 2000 - (10000 - c) * value_(opp));
    } else {
      v = AiNextShotValue(measure, own, opp, t, pocket, second, false);
    }
    if (game != 2 && second) {
      // Sending the ball after it in off the target.
      const int64_t w = AiSuccessWeight(AiComboMeasure(t, second), pool.skillIndex);
      v = std::max(v, Div10000(w * 10000 - (10000 - w) * value_(own)));
    }
  }
  return sign(Floors(v, own, opp));
}

}  // namespace ks
