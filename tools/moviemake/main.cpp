// moviemake: writes one of the game's movies, an AVI file whose video stream
// has the "vp31" handler, and its Ogg Vorbis sound track of the same base
// name.
//
//   moviemake [options] <out.avi>
//     --scene title|break   what is drawn (default break)
//     --title TEXT          the title over the table (letters, digits, spaces)
//     --seconds S           length (default 3)
//     --size WxH            picture size, multiples of 16 (default 320x240)
//     --quality Q           0 to 63 (default 48)
//     --keyint N            a keyframe at least every N frames (default 15)
//     --no-sound            no sound track
//     --png FILE...         the frames from PNG files instead (all one size)
//     --test-tone S         the sound track is silence with a 1 kHz tone of
//                           0.2 s from S seconds on (for tests)
//     --sound-only          write only the sound track (out.ogg)
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "movie_writer.h"
#include "vorbis_writer.h"

namespace {

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

constexpr const char* kUsage =
    "usage: moviemake [--scene title|break] [--title TEXT] [--seconds S] [--size WxH] [--quality Q]\n"
    "                 [--keyint N] [--no-sound] [--png FILE...] <out.avi>\n";

int Usage() {
  std::cerr << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  moviemake::SceneSettings settings;
  double seconds = 3.0;
  int quality = 48, keyInterval = 15;
  bool sound = true;
  bool soundOnly = false;
  double toneAt = -1;
  std::vector<std::string> pngs;
  std::string out;
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == "--scene") {
      const char* v = value();
      if (v == nullptr) return Usage();
      if (std::string(v) == "title") {
        settings.scene = moviemake::Scene::kTitle;
      } else if (std::string(v) == "break") {
        settings.scene = moviemake::Scene::kBreak;
      } else {
        return Usage();
      }
    } else if (arg == "--title") {
      const char* v = value();
      if (v == nullptr) return Usage();
      settings.title = v;
    } else if (arg == "--seconds") {
      const char* v = value();
      if (v == nullptr) return Usage();
      seconds = std::atof(v);
    } else if (arg == "--size") {
      const char* v = value();
      if (v == nullptr || std::sscanf(v, "%dx%d", &settings.width, &settings.height) != 2) return Usage();
    } else if (arg == "--quality") {
      const char* v = value();
      if (v == nullptr) return Usage();
      quality = std::atoi(v);
    } else if (arg == "--keyint") {
      const char* v = value();
      if (v == nullptr) return Usage();
      keyInterval = std::atoi(v);
    } else if (arg == "--test-tone") {
      const char* v = value();
      if (v == nullptr) return Usage();
      toneAt = std::atof(v);
    } else if (arg == "--sound-only") {
      soundOnly = true;
    } else if (arg == "--no-sound") {
      sound = false;
    } else if (arg == "--png") {
      while (i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0 && i + 2 < argc) pngs.push_back(argv[++i]);
    } else if (!arg.empty() && arg[0] != '-' && out.empty()) {
      out = arg;
    } else {
      return Usage();
    }
  }
  if (out.empty() || seconds <= 0 || seconds > 600) return Usage();

  std::vector<moviemake::Picture> pictures;
  for (const std::string& path : pngs) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    moviemake::Picture p;
    std::string error;
    if (!in.good() && bytes.empty()) {
      std::cerr << "moviemake: cannot read " << path << "\n";
      return 1;
    }
    if (!imgconv::DecodePng(bytes, &p, &error)) {
      std::cerr << "moviemake: " << path << ": " << error << "\n";
      return 1;
    }
    pictures.push_back(std::move(p));
  }
  if (!pictures.empty()) {
    settings.width = static_cast<int>(pictures[0].width);
    settings.height = static_cast<int>(pictures[0].height);
    settings.frames = static_cast<int>(pictures.size());
    settings.scene = moviemake::Scene::kTitle;
  } else {
    settings.frames = static_cast<int>(std::lround(seconds * settings.rate));
  }

  if (soundOnly) {
    std::vector<std::int16_t> samples = moviemake::MakeSoundTrack(settings, 8000);
    if (toneAt >= 0) samples = moviemake::TestTone(samples.size(), 8000, toneAt);
    std::string error;
    const std::vector<std::uint8_t> ogg = moviemake::EncodeVorbis(samples, 8000, 0.4f, &error);
    if (ogg.empty() || !WriteFile(out, ogg)) {
      std::cerr << "moviemake: cannot write " << out << (error.empty() ? "" : ": " + error) << "\n";
      return 1;
    }
    return 0;
  }
  moviemake::Vp3Encoder encoder(settings.width, settings.height, 14997, 1000, quality, keyInterval);
  if (!encoder.Ok()) {
    std::cerr << "moviemake: " << encoder.Error() << "\n";
    return 1;
  }
  moviemake::AviVideo video;
  video.width = settings.width;
  video.height = settings.height;
  for (int f = 0; f < settings.frames; ++f) {
    const moviemake::Picture picture =
        pictures.empty() ? moviemake::DrawFrame(settings, f) : std::move(pictures[static_cast<std::size_t>(f)]);
    if (static_cast<int>(picture.width) != settings.width || static_cast<int>(picture.height) != settings.height) {
      std::cerr << "moviemake: frame " << f << " is not " << settings.width << "x" << settings.height << "\n";
      return 1;
    }
    bool key = false;
    std::vector<std::uint8_t> frame;
    if (!encoder.Encode(moviemake::ToPlanes(picture), &frame, &key)) {
      std::cerr << "moviemake: frame " << f << ": " << encoder.Error() << "\n";
      return 1;
    }
    video.frames.push_back(std::move(frame));
    video.keyframes.push_back(key);
  }
  if (!WriteFile(out, moviemake::WriteAvi(video))) {
    std::cerr << "moviemake: cannot write " << out << "\n";
    return 1;
  }
  if (sound) {
    std::string error;
    std::vector<std::int16_t> samples = moviemake::MakeSoundTrack(settings, 8000);
    if (toneAt >= 0) samples = moviemake::TestTone(samples.size(), 8000, toneAt);
    const std::vector<std::uint8_t> ogg = moviemake::EncodeVorbis(samples, 8000, 0.4f, &error);
    const std::size_t dot = out.find_last_of('.');
    const std::string oggPath = (dot == std::string::npos ? out : out.substr(0, dot)) + ".ogg";
    if (ogg.empty() || !WriteFile(oggPath, ogg)) {
      std::cerr << "moviemake: cannot write " << oggPath << (error.empty() ? "" : ": " + error) << "\n";
      return 1;
    }
  }
  std::cout << "moviemake: " << settings.frames << " frames of " << settings.width << "x" << settings.height << " -> "
            << out << "\n";
  return 0;
}
