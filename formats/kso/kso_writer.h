// Writes ".kso" models from a small text description:
//
//   # comment
//   header Any text kept in the 128-byte header block
//   object triangles | quads | flat      starts an object
//   vertex X Y Z                         decimal, stored as 16.16
//   face A B C [U0 V0 U1 V1 U2 V2]       triangles: corner indices, texels
//   face A B C D [U0 V0 ... U3 V3]       quads
//   face A B C D R G B                   flat: corner indices and a colour
//
// Indices count from 0 within the object; texel coordinates and colours are
// bytes (0-255). Objects are written in the order given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ksomake {

struct Face {
  std::vector<std::uint32_t> corners;
  std::vector<std::uint32_t> attributes;  // u, v pairs, or r, g, b
};

struct Object {
  int kind = 1;                        // 1 triangles, 4 flat quads, 5 textured quads
  std::vector<std::int32_t> vertices;  // x, y, z triples in 16.16
  std::vector<Face> faces;
};

struct Model {
  std::string header;
  std::vector<Object> objects;
};

// False with "line N: ..." in `error` for a description it cannot read.
bool ParseModel(const std::string& text, Model* model, std::string* error);
std::vector<std::uint8_t> EncodeModel(const Model& model);

}  // namespace ksomake
