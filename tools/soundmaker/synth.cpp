#include "synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "runtime/wav_writer.h"

namespace soundmaker {
namespace {

// A small fixed generator for the noise and the rack's timing.
class Noise {
 public:
  explicit Noise(std::uint32_t seed) : state_(seed) {}
  double Next() {  // -1 .. 1
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<double>(state_ >> 8) / static_cast<double>(1u << 23) - 1.0;
  }

 private:
  std::uint32_t state_;
};

using Buffer = std::vector<double>;

Buffer Silence(double seconds) { return Buffer(static_cast<std::size_t>(seconds * kRate), 0.0); }

// Adds a decaying sine (a struck resonance) at `start` seconds.
void Ring(Buffer& out, double start, double frequency, double amplitude, double decay) {
  const auto first = static_cast<std::size_t>(start * kRate);
  for (std::size_t i = first; i < out.size(); ++i) {
    const double t = static_cast<double>(i - first) / kRate;
    out[i] += amplitude * std::exp(-t / decay) * std::sin(2.0 * std::numbers::pi * frequency * t);
  }
}

// Adds a burst of decaying noise at `start` seconds.
void Burst(Buffer& out, Noise& noise, double start, double amplitude, double decay) {
  const auto first = static_cast<std::size_t>(start * kRate);
  for (std::size_t i = first; i < out.size(); ++i) {
    const double t = static_cast<double>(i - first) / kRate;
    out[i] += amplitude * std::exp(-t / decay) * noise.Next();
  }
}

// One ball hitting another: a bright, very short click.
void Click(Buffer& out, Noise& noise, double start, double loudness, double pitch) {
  Ring(out, start, 2600.0 * pitch, 0.55 * loudness, 0.006);
  Ring(out, start, 1700.0 * pitch, 0.35 * loudness, 0.010);
  Burst(out, noise, start, 0.25 * loudness, 0.002);
}

std::vector<std::uint8_t> ToSamples(const Buffer& in) {
  std::vector<std::uint8_t> out(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    // A short fade at the end so no sound stops on a step.
    const std::size_t left = in.size() - i;
    const double fade = left < 64 ? static_cast<double>(left) / 64.0 : 1.0;
    const double v = std::clamp(in[i] * fade, -1.0, 1.0);
    out[i] = static_cast<std::uint8_t>(std::lround(128.0 + v * 127.0));
  }
  return out;
}

constexpr double kLoudness[3] = {0.3, 0.6, 0.95};  // easy, medium, hard
constexpr const char* kLevel[3] = {"easy", "med", "hard"};

}  // namespace

std::vector<Sound> MakeGameSounds() {
  std::vector<Sound> sounds;
  Noise noise(0x5EED0001u);

  // The rack: fifteen balls settling into the triangle.
  {
    Buffer b = Silence(0.5);
    double at = 0.0;
    for (int i = 0; i < 15; ++i) {
      Click(b, noise, at, 0.9 - 0.04 * i, 0.9 + 0.2 * (noise.Next() + 1.0) / 2.0);
      at += 0.012 + 0.02 * (noise.Next() + 1.0) / 2.0;
    }
    sounds.push_back({"rack.wav", ToSamples(b)});
  }
  // Ball against ball.
  for (int level = 0; level < 3; ++level) {
    Buffer b = Silence(0.06);
    Click(b, noise, 0.0, kLoudness[level], 1.0);
    sounds.push_back({std::string("b_") + kLevel[level] + ".wav", ToSamples(b)});
  }
  // The cue's tip striking the cue ball: a dull tap.
  for (int level = 0; level < 3; ++level) {
    Buffer b = Silence(0.08);
    Ring(b, 0.0, 950.0, 0.5 * kLoudness[level], 0.012);
    Ring(b, 0.0, 420.0, 0.35 * kLoudness[level], 0.020);
    Burst(b, noise, 0.0, 0.3 * kLoudness[level], 0.004);
    sounds.push_back({std::string("c_") + kLevel[level] + ".wav", ToSamples(b)});
  }
  // A ball against the cushion rubber: a low thud.
  for (int level = 0; level < 3; ++level) {
    Buffer b = Silence(0.14);
    Ring(b, 0.0, 160.0, 0.7 * kLoudness[level], 0.035);
    Ring(b, 0.0, 310.0, 0.3 * kLoudness[level], 0.020);
    Burst(b, noise, 0.0, 0.12 * kLoudness[level], 0.006);
    sounds.push_back({std::string("r_") + kLevel[level] + ".wav", ToSamples(b)});
  }
  // A ball dropping into the pocket: a knock, then a short rattle.
  for (int level = 0; level < 3; ++level) {
    Buffer b = Silence(0.3);
    Ring(b, 0.0, 130.0, 0.6 * kLoudness[level], 0.05);
    Burst(b, noise, 0.0, 0.2 * kLoudness[level], 0.01);
    for (int k = 0; k < 4; ++k) Click(b, noise, 0.06 + 0.045 * k, 0.35 * kLoudness[level] / (1 + k), 0.6);
    sounds.push_back({std::string("p_") + kLevel[level] + ".wav", ToSamples(b)});
  }
  return sounds;
}

std::vector<std::uint8_t> WavFile(const std::vector<std::uint8_t>& samples) {
  return ks::runtime::PcmWav(kRate, 1, 8, samples);
}

}  // namespace soundmaker
