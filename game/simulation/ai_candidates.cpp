// The candidate shots worth simulating for one cue-ball placement, by game.
#include <algorithm>

#include "simulation/ai.h"

namespace ks {
namespace {

constexpr int32_t kCutLimit = 0x10000000;  // cut cosine 0.25: thinner cuts are not tried

bool OnTable(FixVec2 p) { return p.x != kAiOffTable; }

FixVec2 Sub(FixVec2 a, FixVec2 b) { return {WrapSub32(a.x, b.x), WrapSub32(a.z, b.z)}; }
int64_t Dot64(FixVec2 p, FixVec2 q) { return SMul64(p.x, q.x) + SMul64(p.z, q.z); }

FixVec2 UnitOf(FixVec2 v) {
  if (v.x != 0 || v.z != 0) NormalizeVec2Scaled(v);
  return v;
}

FixVec2 MiddleUnit(const AiWindow& w) { return UnitOf({(w.a.x >> 1) + (w.b.x >> 1), (w.a.z >> 1) + (w.b.z >> 1)}); }

// A window found from the cue ball's mirror image in a cushion, turned into
// directions off that cushion: the axis across the cushion changes sign.
void UnmirrorWindow(AiWindow& w, int cushion) {
  if (cushion < 2) {
    w.a.x = WrapNeg32(w.a.x);
    w.b.x = WrapNeg32(w.b.x);
  } else {
    w.a.z = WrapNeg32(w.a.z);
    w.b.z = WrapNeg32(w.b.z);
  }
}

}  // namespace

void AiOpponent::AddCandidate(const AiCandidate& c) {
  // The list shares the scratch block with the snapshots: stop at capacity.
  if (candidateCount < kMaxCandidates) candidates_[static_cast<size_t>(candidateCount++)] = c;
}

void AiOpponent::Fill(AiCandidate& c, int kind) const {
  c = AiCandidate{};
  c.kind = static_cast<uint8_t>(kind);
  c.pocket = static_cast<uint8_t>(currentPocket);
  c.ball = static_cast<uint8_t>(target);
  c.edgeA = work.a;
  c.edgeB = work.b;
  c.cue = AiBallPos[0];
}

void AiOpponent::AddPotCandidates(int t) {
  target = t;
  for (int k = 0; k < 6; ++k) {
    if (blockedPockets[static_cast<size_t>(t)] & (1u << k)) continue;
    const AiWindow& w = ballRecord[static_cast<size_t>(t)][static_cast<size_t>(k)];
    if (AiPocketShotOpen(t, w)) continue;
    currentPocket = k;
    AiCandidate c;
    Fill(c, 4);
    c.travel = MiddleUnit(w);
    if (Dot2Fix30(c.travel, MiddleUnit(work)) <= kCutLimit) continue;
    AddCandidate(c);
    c.kind = 3;
    AddCandidate(c);
  }
}

void AiOpponent::AddComboCandidates(int t) {
  target = t;
  const FixVec2 pt = AiBallPos[static_cast<size_t>(t)];
  const FixVec2 cueToT = UnitOf(Sub(pt, AiBallPos[0]));
  for (int j = 1; j < kBallCount; ++j) {
    const FixVec2 pj = AiBallPos[static_cast<size_t>(j)];
    if (j == t || !OnTable(pj)) continue;
    if (pool.GameType == 2 && !(groupMask & (1u << j))) continue;
    const FixVec2 tToJ = UnitOf(Sub(pj, pt));
    if (Dot2Fix30(tToJ, cueToT) < 0) continue;
    for (int k = 0; k < 6; ++k) {
      if (blockedPockets[static_cast<size_t>(j)] & (1u << k)) continue;
      if (Dot64(tToJ, Sub(pool.table.pocketAim[static_cast<size_t>(k)], pj)) < 0) continue;
      const AiWindow& wj = ballRecord[static_cast<size_t>(j)][static_cast<size_t>(k)];
      if (AiGhostWindow(t, j, wj) || AiPathBlocked(t, j)) continue;
      const AiWindow saved = work;
      if (AiGhostWindow(0, t, saved) || AiPathBlocked(0, t)) continue;
      currentPocket = k;
      AiCandidate c;
      Fill(c, 6);
      c.second = static_cast<uint8_t>(j);
      c.travel = MiddleUnit(wj);
      if (Dot2Fix30(c.travel, MiddleUnit(work)) <= kCutLimit) continue;
      AddCandidate(c);
      c.kind = 5;
      AddCandidate(c);
    }
  }
}

void AiOpponent::AddHitCandidate(int t, uint8_t kind) {
  target = t;
  AiHitWindow(0, t);  // the window is wanted even when something covers part of it
  AiCandidate c;
  Fill(c, kind);
  c.pocket = 255;
  c.travel = MiddleUnit(work);
  AddCandidate(c);
}

void AiOpponent::AddKickCandidates(int t, const AiWindow& w, int second) {
  const FixVec2 cue = AiBallPos[0];
  for (int cu = cushionOnly ? 3 : 0; cu < 4; ++cu) {
    // Aim at the object ball from the cue ball's mirror image: the straight
    // line to the image is the path off the cushion.
    AiBallPos[0] = Mirror(cue, cu);
    const bool open = AiPocketShotOpen(t, w) == 0 && AiPathBlocked(0, t, cu) == 0;
    AiBallPos[0] = cue;
    if (!open) continue;
    UnmirrorWindow(work, cu);
    target = t;
    AiCandidate c;
    Fill(c, 7);
    c.cushion = static_cast<uint8_t>(cu);
    c.second = static_cast<uint8_t>(second);
    c.travel = MiddleUnit(w);
    AddCandidate(c);
  }
}

void AiOpponent::AddKickPots(int t) {
  for (int k = 0; k < 6; ++k) {
    if (blockedPockets[static_cast<size_t>(t)] & (1u << k)) continue;
    currentPocket = k;
    const AiWindow w = ballRecord[static_cast<size_t>(t)][static_cast<size_t>(k)];
    AddKickCandidates(t, w, 0);
  }
}

void AiOpponent::AddKickCombos(int t) {
  const FixVec2 pt = AiBallPos[static_cast<size_t>(t)];
  for (int j = 1; j < kBallCount; ++j) {
    const FixVec2 pj = AiBallPos[static_cast<size_t>(j)];
    if (j == t || !OnTable(pj)) continue;
    if (pool.GameType == 2 && !(groupMask & (1u << j))) continue;
    const FixVec2 tToJ = UnitOf(Sub(pj, pt));
    for (int k = 0; k < 6; ++k) {
      if (blockedPockets[static_cast<size_t>(j)] & (1u << k)) continue;
      if (Dot64(tToJ, Sub(pool.table.pocketAim[static_cast<size_t>(k)], pj)) < 0) continue;
      if (AiGhostWindow(t, j, ballRecord[static_cast<size_t>(j)][static_cast<size_t>(k)]) || AiPathBlocked(t, j))
        continue;
      currentPocket = k;
      const AiWindow w = work;
      AddKickCandidates(t, w, j);
    }
  }
}

void AiOpponent::AddKickHitCandidates(int t) {
  const FixVec2 cue = AiBallPos[0];
  for (int cu = cushionOnly ? 3 : 0; cu < 4; ++cu) {
    AiBallPos[0] = Mirror(cue, cu);
    const bool open = AiHitWindow(0, t) == 0 && AiPathBlocked(0, t, cu) == 0;
    AiBallPos[0] = cue;
    if (!open) continue;
    UnmirrorWindow(work, cu);
    target = t;
    AiCandidate c;
    Fill(c, 8);
    c.pocket = 255;
    c.cushion = static_cast<uint8_t>(cu);
    c.travel = MiddleUnit(work);
    AddCandidate(c);
  }
}

// ---- generation by game ----

int AiOpponent::GenerateCandidates() {
  candidateCount = 0;
  cushionOnly = false;
  const uint8_t flags = pool.rules.TurnFlags;
  const int inHand = flags & 2, behind = flags & 4;
  switch (pool.GameType) {
    case 1:
      GenerateStraight(inHand, behind);
      break;
    case 2:
      GenerateEightBall(inHand, behind);
      break;
    default:
      GenerateLowBall(inHand);
      break;
  }
  return candidateCount;
}

void AiOpponent::GenerateStraight(int /*inHand*/, int behind) {
  AiClassifyBalls();
  if (ballCount <= 5) {
    GenerateAllBalls(behind);
    return;
  }
  const int32_t exclude = (behind ? 2 : 0) + (ballCount < 8 && rackCount == 1 ? 32 : 0);
  const int32_t zones[4] = {1, 2, 4, 8};
  // Passes over the length zones, far end first: each takes the best ball
  // of the first zone that has one and adds its shots.
  auto passes = [&](int limit, bool nearCushion, auto add) {
    while (candidateCount < limit) {
      int t = 0;
      for (int32_t z : zones) {
        t = nearCushion ? AiPickTargetByClass(z | 16, exclude) : AiPickTargetByClass(z, exclude | 16);
        if (t) break;
      }
      if (!t) break;
      ballClass[static_cast<size_t>(t)] = -1;
      add(t);
    }
  };
  passes(8, true, [&](int t) {
    AddPotCandidates(t);
    if (!behind) AddComboCandidates(t);
  });
  passes(12, false, [&](int t) {
    AddPotCandidates(t);
    if (!behind) AddComboCandidates(t);
  });
  if (candidateCount < 6) {
    passes(10, true, [&](int t) {
      if (behind) return;
      AddKickPots(t);
      AddKickCombos(t);
    });
    passes(12, false, [&](int t) {
      AddPotCandidates(t);
      if (behind) return;
      AddKickPots(t);
      AddKickCombos(t);
    });
  }
  if (candidateCount < 6 || behind) {
    cushionOnly = true;
    for (int b = 1; b < kBallCount; ++b) {
      const int32_t c = ballClass[static_cast<size_t>(b)];
      if (c == -1 || !(c & 2)) continue;
      AddKickPots(b);
      AddKickCombos(b);
    }
    cushionOnly = false;
  }
  if (candidateCount == 0) {
    for (int b = 1; b < kBallCount; ++b) {
      const int32_t c = ballClass[static_cast<size_t>(b)];
      if (c == -1) continue;
      if (!behind || !(c & 2)) {
        AddPotCandidates(b);
        AddComboCandidates(b);
        AddKickPots(b);
        AddKickCombos(b);
      } else {
        cushionOnly = true;
        AddKickPots(b);
        AddKickCombos(b);
        cushionOnly = false;
      }
    }
  }
  if (!behind || candidateCount < 6) {
    // A safety at the nearest ball, then a plain hit.
    const FixVec2 cue = AiBallPos[0];
    int nearest = 0;
    int64_t best = 0;
    for (int b = 1; b < kBallCount; ++b) {
      const FixVec2 p = AiBallPos[static_cast<size_t>(b)];
      if (!OnTable(p)) continue;
      if (behind && (ballClass[static_cast<size_t>(b)] & 2)) continue;
      const int64_t d = std::abs(int64_t{p.x} - cue.x) + std::abs(int64_t{p.z} - cue.z);
      if (!nearest || d < best) {
        nearest = b;
        best = d;
      }
    }
    if (nearest) {
      AddHitCandidate(nearest, 2);
      AddHitCandidate(nearest, 0);
    }
  }
  if (candidateCount == 0) {
    cushionOnly = true;
    for (int b = 1; b < kBallCount; ++b) {
      const int32_t c = ballClass[static_cast<size_t>(b)];
      if (c != -1 && (c & 2)) AddKickHitCandidates(b);
    }
    cushionOnly = false;
  }
}

void AiOpponent::GenerateAllBalls(int behind) {
  for (int b = 1; b < kBallCount; ++b) {
    const int32_t c = ballClass[static_cast<size_t>(b)];
    if (c == -1) continue;
    if (behind && (c & 2)) {
      cushionOnly = true;
      AddKickPots(b);
      AddKickCombos(b);
      cushionOnly = false;
      continue;
    }
    AddPotCandidates(b);
    AddComboCandidates(b);
    AddHitCandidate(b, 2);
    if (pool.skill >= 5) {
      AddKickPots(b);
      AddKickCombos(b);
    }
  }
}

void AiOpponent::GenerateEightBall(int inHand, int behind) {
  groupMask = AiChooseGroupMask();
  const int32_t headLine = -(pool.table.hz >> 1);
  const bool strong = pool.skill >= 9;
  bool any = false;
  for (int b = 1; b < kBallCount; ++b) {
    const FixVec2 p = AiBallPos[static_cast<size_t>(b)];
    if (!(groupMask & (1u << b)) || !OnTable(p)) continue;
    any = true;
    if (behind && p.z <= headLine) {
      if (candidateCount < 6 && !inHand) {
        cushionOnly = true;
        AddKickPots(b);
        if (candidateCount < 6) AddKickCombos(b);
        cushionOnly = false;
      }
      continue;
    }
    AddPotCandidates(b);
    if (!inHand) {
      if (candidateCount < 4) AddHitCandidate(b, 2);
      if (candidateCount < 8) AddComboCandidates(b);
    }
    if (strong) {
      AddKickPots(b);
      AddKickCombos(b);
    }
  }
  if (any && inHand && candidateCount < 4) {
    for (int b = 1; b < kBallCount; ++b) {
      const FixVec2 p = AiBallPos[static_cast<size_t>(b)];
      if (!(groupMask & (1u << b)) || !OnTable(p)) continue;
      if (behind && p.z <= headLine) {
        cushionOnly = true;
        AddKickPots(b);
        AddKickCombos(b);
        cushionOnly = false;
        continue;
      }
      AddHitCandidate(b, 2);
      AddComboCandidates(b);
      if (strong) {
        AddKickPots(b);
        AddKickCombos(b);
      }
    }
  }
  if (!any && OnTable(AiBallPos[8])) {
    const bool eightBehind = behind && AiBallPos[8].z <= headLine;
    if (eightBehind) {
      cushionOnly = true;
      AddKickPots(8);
      AddKickCombos(8);
      cushionOnly = false;
    } else {
      AddPotCandidates(8);
      AddComboCandidates(8);
      AddHitCandidate(8, 2);
      if (strong) {
        AddKickPots(8);
        AddKickCombos(8);
      }
    }
  }
  if (candidateCount == 0) {
    int t = 0;
    for (int b = 1; b < kBallCount && !t; ++b) {
      if ((groupMask & (1u << b)) && OnTable(AiBallPos[static_cast<size_t>(b)])) t = b;
    }
    if (!t && OnTable(AiBallPos[8])) t = 8;
    if (t) AddHitCandidate(t, 2);
  }
}

void AiOpponent::GenerateLowBall(int inHand) {
  int lowest = 0;
  for (int b = 1; b < kBallCount && !lowest; ++b) {
    if (OnTable(AiBallPos[static_cast<size_t>(b)])) lowest = b;
  }
  if (!lowest) return;
  if (AiHitWindow(0, lowest)) {
    // Hidden: a plain hit as the fallback, then the ways round.
    AddHitCandidate(lowest, 0);
  } else {
    AddHitCandidate(lowest, 1);
    AddPotCandidates(lowest);
    AddComboCandidates(lowest);
    if (inHand && candidateCount >= 3) return;
  }
  AddKickHitCandidates(lowest);
  if (pool.skill >= 9) {
    AddKickPots(lowest);
    AddKickCombos(lowest);
  }
}

}  // namespace ks
