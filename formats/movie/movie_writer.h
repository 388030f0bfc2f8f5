// Makes the game's movies: pictures drawn procedurally (or read from PNG
// files) are encoded as VP3.1 frames and stored in an AVI file with the
// "vp31" handler; the sound track is an Ogg Vorbis file of the same base
// name (vorbis_writer.h).
//
// Frames come from the Theora encoder in its VP3-compatible mode (VP3's
// quantisers, Huffman codes and loop filter, one quantiser a frame). The
// Theora bit stream descends from VP3 and differs only in each frame's
// header bits, so every data packet's header is rewritten to the VP3.1
// layout and the rest of the packet is moved along bit by bit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image_writer.h"

namespace moviemake {

using Picture = imgconv::Picture;  // RGBA, top row first

// A picture in YCbCr 4:2:0 (studio range, BT.601), rows top first.
struct Planes {
  int width = 0;  // even
  int height = 0;
  std::vector<std::uint8_t> y, cb, cr;  // width x height, then (width/2) x (height/2) each
};
Planes ToPlanes(const Picture& picture);

// Rewrites one Theora data packet as a VP3.1 frame. Empty for a header
// packet or a packet too short to hold a frame header.
std::vector<std::uint8_t> TheoraToVp31(const std::uint8_t* packet, std::size_t size, bool* keyframe);

// VP3.1 frames from pictures of one size (multiples of 16 on both sides).
class Vp3Encoder {
 public:
  // quality: 0 (smallest) to 63 (best); a keyframe at least every
  // keyInterval frames (1: every frame a keyframe).
  Vp3Encoder(int width, int height, int rateNumerator, int rateDenominator, int quality, int keyInterval);
  ~Vp3Encoder();
  Vp3Encoder(const Vp3Encoder&) = delete;
  Vp3Encoder& operator=(const Vp3Encoder&) = delete;

  bool Ok() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  // One compressed frame into `frame`; false (with Error set) on failure.
  // A frame the encoder finds unchanged from the one before comes out
  // empty: a dropped frame, which players skip.
  bool Encode(const Planes& planes, std::vector<std::uint8_t>* frame, bool* keyframe);

 private:
  struct State;
  std::unique_ptr<State> state_;
  int width_, height_;
  std::string error_;
};

struct AviVideo {
  int width = 0;
  int height = 0;
  std::uint32_t rate = 14997;  // frames per `scale` seconds
  std::uint32_t scale = 1000;
  std::string handler = "vp31";  // the stream header's four characters
  std::vector<std::vector<std::uint8_t>> frames;
  std::vector<bool> keyframes;  // one per frame
};
// RIFF "AVI " with "hdrl" (avih, one "strl" of strh "vids" and strf), the
// "movi" list of "00dc" chunks and the "idx1" index (offsets from the
// "movi" list's type word).
std::vector<std::uint8_t> WriteAvi(const AviVideo& video);

// The movies' drawings.
enum class Scene {
  kTitle,  // a title over the table
  kBreak,  // the title, then a cue ball breaking a rack
};
struct SceneSettings {
  Scene scene = Scene::kBreak;
  std::string title;  // letters, digits and spaces
  int width = 320;
  int height = 240;
  int frames = 45;
  double rate = 14.997;  // frames a second
};
Picture DrawFrame(const SceneSettings& settings, int frame);
// The sound track: a short chord under the title and, for a break, the
// knock of the strike and the clatter of the rack; mono at `rate` Hz, as
// long as the movie.
std::vector<std::int16_t> MakeSoundTrack(const SceneSettings& settings, int rate);
// `count` samples of silence with a 1 kHz tone (amplitude 12000) of 0.2 s
// from `at` seconds on: a sound track whose timing a test can find.
std::vector<std::int16_t> TestTone(std::size_t count, int rate, double at);

}  // namespace moviemake
