// View: the camera of the table scene. It keeps a target point, an eye
// offset, yaw, pitch and roll, and the 4 x 4 view matrix made from them,
// which it hands to the graphics device as the view transform. The input
// modes turn, move and zoom it; the frame drawing reads its matrix and its
// flags.
#pragma once

#include <array>
#include <cstdint>

#include "simulation/fixed.h"

class ssDisplay;

namespace ks {
class Pool;
}

namespace ks::play {

class View {
 public:
  static constexpr std::int32_t kPitchMax = -384;    // near the table's plane
  static constexpr std::int32_t kPitchMin = -65536;  // straight down
  static constexpr Fix16 kZoomInLimit = 0x170001;    // zooming in applies only at or beyond this
  static constexpr Fix16 kZoomOutLimit = 0xB40000;   // zooming out applies only below this

  View();

  // Stores the device and builds the matrix.
  void Attach(ssDisplay* device);
  // Builds the matrix from the angles and the target, adds the eye offset.
  void Recompute();
  // Hands the matrix to the device as its view transform; marks the scene.
  void Apply();
  // Turns by the deltas; the pitch stays within [kPitchMin, kPitchMax].
  int Rotate(std::int32_t deltaPitch, std::int32_t deltaYaw, std::int32_t deltaRoll);
  void SetDistance(Fix16 distance);
  void Zoom(Fix16 delta);
  // Moves the target, held within the table's half extents.
  void Move(const FixVec3& delta);
  void SetTarget(const FixVec3& point);
  void LookAt(const FixVec3& point);
  // A planar vector turned by the yaw, with and without the target added.
  FixVec3 ToTable2D(const FixVec3& v) const;
  FixVec3 TurnByYaw(const FixVec3& v) const;

  Pool* pool = nullptr;
  std::array<Fix16, 16> matrix{};
  FixVec3 target{0, 0, 0};
  FixVec3 eye{0, 0x10000, 0x1B0000};
  std::int32_t yaw = 0;
  std::int32_t pitch = -2048;
  std::int32_t roll = 0;
  Fix16 savedDistance = 0;
  ssDisplay* device = nullptr;
  std::uint8_t matrixChanged = 1;
  std::uint8_t dirty = 1;
  std::uint8_t cueTilt = 1;
  // Set while only the cue stick moves (the aim modes); left alone here.
  std::uint8_t stickOnly = 0;
};

}  // namespace ks::play
