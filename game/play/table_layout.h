// The face layout of the table model that the table file and its reader
// share: which runs of faces of which drawing groups make up each of the six
// rail parts, by sub-mesh (flat quads, textured triangles, textured quads).
// The asset builder lays the file out by this table and the reader copies
// the rail parts by it, so the two cannot drift apart.
#pragma once

#include <array>
#include <cstdint>

namespace ks::play {

inline constexpr int kTableGroupsInFile = 16;
inline constexpr int kRailParts = 6;
inline constexpr int kRailSubMeshes = 3;  // flat quads, textured triangles, textured quads

struct FaceRun {
  std::uint8_t group = 0;
  std::uint8_t first = 0;
  std::uint8_t last = 0;  // inclusive
};

struct RailSubMesh {
  int primitiveType = 0;
  int runCount = 0;
  std::array<FaceRun, 4> runs{};
};

using RailLayout = std::array<std::array<RailSubMesh, kRailSubMeshes>, kRailParts>;

inline constexpr RailLayout kRailLayout = {{
    {{{2, 4, {{{5, 0, 1}, {6, 0, 1}, {7, 0, 0}, {7, 11, 11}}}},
      {3, 2, {{{3, 35, 41}, {3, 49, 55}}}},
      {4, 4, {{{15, 0, 1}, {13, 4, 5}, {13, 8, 9}, {13, 22, 23}}}}}},
    {{{2, 4, {{{5, 2, 3}, {6, 2, 3}, {7, 1, 1}, {7, 2, 2}}}},
      {3, 3, {{{3, 28, 34}, {4, 4, 8}, {4, 10, 10}}}},
      {4, 3, {{{15, 2, 3}, {13, 2, 2}, {13, 10, 11}}}}}},
    {{{2, 4, {{{5, 4, 5}, {6, 4, 5}, {7, 3, 3}, {7, 4, 4}}}},
      {3, 3, {{{3, 0, 6}, {4, 0, 3}, {4, 9, 9}}}},
      {4, 3, {{{15, 4, 5}, {13, 3, 3}, {13, 12, 13}}}}}},
    {{{2, 4, {{{5, 6, 7}, {6, 6, 7}, {7, 5, 5}, {7, 6, 6}}}},
      {3, 2, {{{3, 7, 13}, {3, 21, 27}}}},
      {4, 4, {{{15, 6, 7}, {13, 6, 7}, {13, 14, 15}, {13, 16, 17}}}}}},
    {{{2, 4, {{{5, 8, 9}, {6, 8, 9}, {7, 7, 7}, {7, 8, 8}}}},
      {3, 3, {{{3, 14, 20}, {4, 11, 14}, {4, 20, 20}}}},
      {4, 3, {{{15, 8, 9}, {13, 0, 0}, {13, 18, 19}}}}}},
    {{{2, 4, {{{5, 10, 11}, {6, 10, 11}, {7, 9, 9}, {7, 10, 10}}}},
      {3, 3, {{{3, 42, 48}, {4, 15, 19}, {4, 21, 21}}}},
      {4, 3, {{{15, 10, 11}, {13, 1, 1}, {13, 20, 21}}}}}},
}};

// Faces in one sub-mesh of a rail part.
constexpr int RailFaceCount(const RailSubMesh& mesh) {
  int n = 0;
  for (int r = 0; r < mesh.runCount; ++r)
    n += mesh.runs[static_cast<std::size_t>(r)].last - mesh.runs[static_cast<std::size_t>(r)].first + 1;
  return n;
}

// The table file's object kinds by group (1 textured triangles, 4 flat
// quads, 5 textured quads) and the fewest faces the rail parts need.
inline constexpr std::array<int, kTableGroupsInFile> kTableGroupKind = {5, 5, 5, 1, 1, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5};
inline constexpr std::array<int, kTableGroupsInFile> kTableGroupMinFaces = {0, 0, 0, 56, 22, 12, 12, 12,
                                                                            0, 0, 0, 0,  0,  24, 0,  12};

}  // namespace ks::play
