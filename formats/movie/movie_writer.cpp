#include "movie_writer.h"

#include <theora/theoraenc.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "runtime/le_bytes.h"

namespace moviemake {

using ks::runtime::AppendLe;

namespace {

std::uint8_t Clamp8(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

Planes ToPlanes(const Picture& picture) {
  Planes p;
  p.width = static_cast<int>(picture.width) & ~1;
  p.height = static_cast<int>(picture.height) & ~1;
  const auto w = static_cast<std::size_t>(p.width), h = static_cast<std::size_t>(p.height);
  p.y.resize(w * h);
  p.cb.resize(w / 2 * (h / 2));
  p.cr.resize(w / 2 * (h / 2));
  auto at = [&](std::size_t x, std::size_t y) { return &picture.rgba[(y * picture.width + x) * 4]; };
  for (std::size_t y = 0; y < h; ++y) {
    for (std::size_t x = 0; x < w; ++x) {
      const std::uint8_t* c = at(x, y);
      p.y[y * w + x] = Clamp8(16 + (65.481 * c[0] + 128.553 * c[1] + 24.966 * c[2]) / 255.0);
    }
  }
  for (std::size_t y = 0; y < h / 2; ++y) {
    for (std::size_t x = 0; x < w / 2; ++x) {
      double r = 0, g = 0, b = 0;
      for (std::size_t k = 0; k < 4; ++k) {
        const std::uint8_t* c = at(2 * x + (k & 1), 2 * y + (k >> 1));
        r += c[0] / 4.0;
        g += c[1] / 4.0;
        b += c[2] / 4.0;
      }
      p.cb[y * (w / 2) + x] = Clamp8(128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255.0);
      p.cr[y * (w / 2) + x] = Clamp8(128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255.0);
    }
  }
  return p;
}

// ---- Theora packets to VP3.1 frames ----------------------------------------

namespace {

class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size) : data_(data), bits_(size * 8) {}
  bool Has(std::size_t n) const { return at_ + n <= bits_; }
  std::uint32_t Get(int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++at_) v = v << 1 | ((data_[at_ >> 3] >> (7 - (at_ & 7))) & 1u);
    return v;
  }
  std::size_t Position() const { return at_; }
  std::size_t Size() const { return bits_; }

 private:
  const std::uint8_t* data_;
  std::size_t bits_;
  std::size_t at_ = 0;
};

class BitWriter {
 public:
  void Put(std::uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) {
      if ((at_ & 7) == 0) out_.push_back(0);
      if ((v >> i) & 1u) out_.back() |= static_cast<std::uint8_t>(0x80u >> (at_ & 7));
      ++at_;
    }
  }
  std::vector<std::uint8_t> Take() { return std::move(out_); }

 private:
  std::vector<std::uint8_t> out_;
  std::size_t at_ = 0;
};

}  // namespace

std::vector<std::uint8_t> TheoraToVp31(const std::uint8_t* packet, std::size_t size, bool* keyframe) {
  BitReader in(packet, size);
  // Theora: packet kind (0 data), frame type (0 key), 6-bit quantiser, a
  // flag for further quantisers (never set in VP3-compatible mode), and on
  // keyframes 3 reserved bits.
  if (!in.Has(9) || in.Get(1) != 0) return {};
  const std::uint32_t inter = in.Get(1);
  const std::uint32_t quantiser = in.Get(6);
  if (in.Get(1) != 0) return {};
  if (inter == 0) {
    if (!in.Has(3)) return {};
    in.Get(3);
  }
  // VP3.1: frame type, a spare bit, the quantiser; on keyframes two 4-bit
  // size codes (unused), the 5-bit version (1), the coding type (0, DCT)
  // and 2 reserved bits.
  BitWriter out;
  out.Put(inter, 1);
  out.Put(0, 1);
  out.Put(quantiser, 6);
  if (inter == 0) {
    out.Put(0, 4);
    out.Put(0, 4);
    out.Put(1, 5);
    out.Put(0, 1);
    out.Put(0, 2);
  }
  while (in.Has(8)) out.Put(in.Get(8), 8);
  while (in.Position() < in.Size()) out.Put(in.Get(1), 1);
  if (keyframe != nullptr) *keyframe = inter == 0;
  return out.Take();
}

struct Vp3Encoder::State {
  th_enc_ctx* encoder = nullptr;
};

Vp3Encoder::Vp3Encoder(int width, int height, int rateNumerator, int rateDenominator, int quality, int keyInterval)
    : state_(std::make_unique<State>()), width_(width), height_(height) {
  if (width <= 0 || height <= 0 || width % 16 != 0 || height % 16 != 0 || width > 4096 || height > 4096) {
    error_ = "the picture's sides must be multiples of 16 up to 4096";
    return;
  }
  th_info info;
  th_info_init(&info);
  info.frame_width = static_cast<ogg_uint32_t>(width);
  info.frame_height = static_cast<ogg_uint32_t>(height);
  info.pic_width = info.frame_width;
  info.pic_height = info.frame_height;
  info.pic_x = info.pic_y = 0;
  info.fps_numerator = static_cast<ogg_uint32_t>(rateNumerator);
  info.fps_denominator = static_cast<ogg_uint32_t>(rateDenominator);
  info.pixel_fmt = TH_PF_420;
  info.colorspace = TH_CS_UNSPECIFIED;
  info.quality = std::clamp(quality, 0, 63);
  info.target_bitrate = 0;
  info.keyframe_granule_shift = 6;
  state_->encoder = th_encode_alloc(&info);
  th_info_clear(&info);
  if (state_->encoder == nullptr) {
    error_ = "the Theora encoder refused the settings";
    return;
  }
  int vp3 = 1;
  if (th_encode_ctl(state_->encoder, TH_ENCCTL_SET_VP3_COMPATIBLE, &vp3, sizeof vp3) != 0 || vp3 != 1) {
    error_ = "the Theora encoder has no VP3-compatible mode";
    return;
  }
  int interval = std::clamp(keyInterval, 1, 64);
  th_encode_ctl(state_->encoder, TH_ENCCTL_SET_KEYFRAME_FREQUENCY_FORCE, &interval, sizeof interval);
  // The three header packets (identification, comments, setup) are not
  // stored: the VP3 decoder has the setup data built in.
  th_comment comment;
  th_comment_init(&comment);
  ogg_packet packet;
  while (th_encode_flushheader(state_->encoder, &comment, &packet) > 0) {}
  th_comment_clear(&comment);
}

Vp3Encoder::~Vp3Encoder() {
  if (state_ && state_->encoder != nullptr) th_encode_free(state_->encoder);
}

bool Vp3Encoder::Encode(const Planes& planes, std::vector<std::uint8_t>* frame, bool* keyframe) {
  frame->clear();
  if (keyframe != nullptr) *keyframe = false;
  if (!Ok()) return false;
  if (planes.width != width_ || planes.height != height_) {
    error_ = "a frame of another size";
    return false;
  }
  th_ycbcr_buffer buffer;
  auto plane = [](th_img_plane& p, int w, int h, const std::vector<std::uint8_t>& bytes) {
    p.width = w;
    p.height = h;
    p.stride = w;
    p.data = const_cast<unsigned char*>(bytes.data());
  };
  plane(buffer[0], width_, height_, planes.y);
  plane(buffer[1], width_ / 2, height_ / 2, planes.cb);
  plane(buffer[2], width_ / 2, height_ / 2, planes.cr);
  if (th_encode_ycbcr_in(state_->encoder, buffer) != 0) {
    error_ = "the Theora encoder refused a frame";
    return false;
  }
  ogg_packet packet;
  int packets = 0;
  while (th_encode_packetout(state_->encoder, 0, &packet) > 0) {
    ++packets;
    if (packet.bytes > 0) {
      *frame = TheoraToVp31(packet.packet, static_cast<std::size_t>(packet.bytes), keyframe);
      if (frame->empty()) {
        error_ = "the Theora encoder gave a packet that is no frame";
        return false;
      }
    }
  }
  if (packets == 0) {
    error_ = "the Theora encoder gave no frame";
    return false;
  }
  return true;
}

// ---- AVI ---------------------------------------------------------------------

namespace {

void PutFourcc(std::vector<std::uint8_t>& out, const std::string& code) {
  for (std::size_t i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(i < code.size() ? code[i] : ' '));
}
void Patch32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}
// Opens a chunk (or a list, with its type): returns where its size goes.
std::size_t Begin(std::vector<std::uint8_t>& out, const std::string& id, const std::string& type = {}) {
  PutFourcc(out, id);
  const std::size_t at = out.size();
  AppendLe(out, 0, 4);
  if (!type.empty()) PutFourcc(out, type);
  return at;
}
void End(std::vector<std::uint8_t>& out, std::size_t sizeAt) {
  Patch32(out, sizeAt, static_cast<std::uint32_t>(out.size() - sizeAt - 4));
  if (out.size() & 1) out.push_back(0);
}

}  // namespace

std::vector<std::uint8_t> WriteAvi(const AviVideo& video) {
  const auto w = static_cast<std::uint32_t>(video.width), h = static_cast<std::uint32_t>(video.height);
  const auto count = static_cast<std::uint32_t>(video.frames.size());
  std::uint32_t largest = 0;
  for (const auto& f : video.frames) largest = std::max(largest, static_cast<std::uint32_t>(f.size()));
  const std::uint32_t usPerFrame =
      video.rate == 0 ? 0 : static_cast<std::uint32_t>(1000000.0 * video.scale / video.rate + 0.5);

  std::vector<std::uint8_t> out;
  const std::size_t riff = Begin(out, "RIFF", "AVI ");
  const std::size_t hdrl = Begin(out, "LIST", "hdrl");
  const std::size_t avih = Begin(out, "avih");
  AppendLe(out, usPerFrame, 4);
  AppendLe(out, 0, 4);        // max bytes a second
  AppendLe(out, 0, 4);        // padding granularity
  AppendLe(out, 0x10, 4);     // has an index
  AppendLe(out, count, 4);    // frames
  AppendLe(out, 0, 4);        // initial frames
  AppendLe(out, 1, 4);        // streams
  AppendLe(out, largest, 4);  // suggested buffer size
  AppendLe(out, w, 4);
  AppendLe(out, h, 4);
  for (int i = 0; i < 4; ++i) AppendLe(out, 0, 4);
  End(out, avih);
  const std::size_t strl = Begin(out, "LIST", "strl");
  const std::size_t strh = Begin(out, "strh");
  PutFourcc(out, "vids");
  PutFourcc(out, video.handler);
  AppendLe(out, 0, 4);  // flags
  AppendLe(out, 0, 2);  // priority
  AppendLe(out, 0, 2);  // language
  AppendLe(out, 0, 4);  // initial frames
  AppendLe(out, video.scale, 4);
  AppendLe(out, video.rate, 4);
  AppendLe(out, 0, 4);  // start
  AppendLe(out, count, 4);
  AppendLe(out, largest, 4);
  AppendLe(out, 0xFFFFFFFFu, 4);  // quality
  AppendLe(out, 0, 4);            // sample size
  AppendLe(out, 0, 2);
  AppendLe(out, 0, 2);
  AppendLe(out, static_cast<std::uint16_t>(w), 2);
  AppendLe(out, static_cast<std::uint16_t>(h), 2);
  End(out, strh);
  const std::size_t strf = Begin(out, "strf");
  AppendLe(out, 40, 4);
  AppendLe(out, w, 4);
  AppendLe(out, h, 4);
  AppendLe(out, 1, 2);   // planes
  AppendLe(out, 24, 2);  // bits
  std::string upper = video.handler;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  PutFourcc(out, upper);
  AppendLe(out, w * h * 3, 4);
  for (int i = 0; i < 4; ++i) AppendLe(out, 0, 4);
  End(out, strf);
  End(out, strl);
  End(out, hdrl);

  const std::size_t movi = Begin(out, "LIST", "movi");
  const std::size_t moviType = movi + 4;
  struct Entry {
    std::uint32_t offset, size, flags;
  };
  std::vector<Entry> index;
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto& frame = video.frames[i];
    const std::size_t chunk = out.size();
    const std::size_t sizeAt = Begin(out, "00dc");
    out.insert(out.end(), frame.begin(), frame.end());
    End(out, sizeAt);
    const bool key = i < video.keyframes.size() && video.keyframes[i];
    index.push_back(
        {static_cast<std::uint32_t>(chunk - moviType), static_cast<std::uint32_t>(frame.size()), key ? 0x10u : 0u});
  }
  End(out, movi);
  const std::size_t idx1 = Begin(out, "idx1");
  for (const Entry& e : index) {
    PutFourcc(out, "00dc");
    AppendLe(out, e.flags, 4);
    AppendLe(out, e.offset, 4);
    AppendLe(out, e.size, 4);
  }
  End(out, idx1);
  End(out, riff);
  return out;
}

// ---- Drawings --------------------------------------------------------------------

namespace {

// A 5 x 7 face of capitals and digits, a row a string ('#' set).
const std::map<char, const char*>& Glyphs() {
  static const std::map<char, const char*> glyphs = {
      {'A', ".###.#...##...#######...##...##...#"}, {'B', "####.#...##...#####.#...##...#####."},
      {'C', ".###.#...##....#....#....#...#.###."}, {'D', "####.#...##...##...##...##...#####."},
      {'E', "######....#....####.#....#....#####"}, {'F', "######....#....####.#....#....#...."},
      {'G', ".###.#...##....#.####...##...#.####"}, {'H', "#...##...##...#######...##...##...#"},
      {'I', ".###...#....#....#....#....#...###."}, {'J', "..###...#....#....#....#.#..#..##.."},
      {'K', "#...##..#.#.#..##...#.#..#..#.#...#"}, {'L', "#....#....#....#....#....#....#####"},
      {'M', "#...###.###.#.##...##...##...##...#"}, {'N', "#...###..##.#.##..###...##...##...#"},
      {'O', ".###.#...##...##...##...##...#.###."}, {'P', "####.#...##...#####.#....#....#...."},
      {'Q', ".###.#...##...##...##.#.##..#..##.#"}, {'R', "####.#...##...#####.#.#..#..#.#...#"},
      {'S', ".#####....#.....###.....#....#####."}, {'T', "#####..#....#....#....#....#....#.."},
      {'U', "#...##...##...##...##...##...#.###."}, {'V', "#...##...##...##...##...#.#.#...#.."},
      {'W', "#...##...##...##.#.##.#.##.#.#.#.#."}, {'X', "#...##...#.#.#...#...#.#.#...##...#"},
      {'Y', "#...##...#.#.#...#....#....#....#.."}, {'Z', "#####....#...#...#...#...#....#####"},
      {'0', ".###.#...##..###.#.###..##...#.###."}, {'1', "..#...##....#....#....#....#...###."},
      {'2', ".###.#...#....#..##..#...#....#####"}, {'3', ".###.#...#....#..##.....##...#.###."},
      {'4', "...#...##..#.#.#..#.#####...#....#."}, {'5', "######....####.....#....##...#.###."},
      {'6', ".###.#...##....####.#...##...#.###."}, {'7', "#####....#...#...#....#....#....#.."},
      {'8', ".###.#...##...#.###.#...##...#.###."}, {'9', ".###.#...##...#.####....##...#.###."}};
  return glyphs;
}

const char* Glyph(char c) {
  const auto& g = Glyphs();
  const auto it = g.find(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  return it == g.end() ? nullptr : it->second;
}

struct Canvas {
  Picture& p;
  void Blend(int x, int y, const double rgb[3], double a) {
    if (x < 0 || y < 0 || x >= static_cast<int>(p.width) || y >= static_cast<int>(p.height) || a <= 0) return;
    std::uint8_t* c = &p.rgba[(static_cast<std::size_t>(y) * p.width + static_cast<std::size_t>(x)) * 4];
    a = std::min(a, 1.0);
    for (int k = 0; k < 3; ++k) c[k] = Clamp8(c[k] * (1 - a) + rgb[k] * a);
  }
  // A disc with a soft edge, lit from the upper left.
  void Ball(double cx, double cy, double r, const double rgb[3], bool shaded) {
    for (int y = static_cast<int>(cy - r - 1); y <= static_cast<int>(cy + r + 1); ++y) {
      for (int x = static_cast<int>(cx - r - 1); x <= static_cast<int>(cx + r + 1); ++x) {
        const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
        const double d = std::sqrt(dx * dx + dy * dy);
        const double a = std::clamp(r - d + 0.5, 0.0, 1.0);
        if (a <= 0) continue;
        double c[3] = {rgb[0], rgb[1], rgb[2]};
        if (shaded) {
          const double light = std::clamp(0.55 + 0.45 * (-dx - dy) / (1.4 * r) + 0.25 * (1 - d / r), 0.3, 1.25);
          for (double& k : c) k = std::min(255.0, k * light);
        }
        Blend(x, y, c, a);
      }
    }
  }
};

int TitleMargin(int w, int h) { return std::min(w, h) / 30; }

struct Layout {
  double left, top, right, bottom;  // the cloth
  double radius;                    // of a ball
};

Layout TableLayout(int w, int h) {
  const double margin = std::min(w, h) * 0.1;
  return {margin, margin, w - margin, h - margin, std::min(w, h) / 40.0};
}

void DrawTable(Canvas& c, const Layout& t) {
  const int w = static_cast<int>(c.p.width), h = static_cast<int>(c.p.height);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t* px = &c.p.rgba[(static_cast<std::size_t>(y) * c.p.width + static_cast<std::size_t>(x)) * 4];
      const bool cloth = x >= t.left && x < t.right && y >= t.top && y < t.bottom;
      if (cloth) {
        // Felt, lighter in the middle under the lamp.
        const double dx = (x - w / 2.0) / w, dy = (y - h / 2.0) / h;
        const double lamp = 1.0 - 0.9 * (dx * dx + dy * dy);
        px[0] = Clamp8(20 * lamp);
        px[1] = Clamp8(120 * lamp);
        px[2] = Clamp8(60 * lamp);
      } else {
        // Wooden rails with a grain.
        const double grain = 0.8 + 0.2 * std::sin(x * 0.21 + std::sin(y * 0.13) * 2.0);
        px[0] = Clamp8(120 * grain);
        px[1] = Clamp8(70 * grain);
        px[2] = Clamp8(35 * grain);
      }
      px[3] = 255;
    }
  }
  const double pocket[3] = {8, 8, 8};
  const double pr = t.radius * 1.7;
  for (double px : {t.left, (t.left + t.right) / 2, t.right}) {
    for (double py : {t.top, t.bottom}) c.Ball(px, py, pr, pocket, false);
  }
}

void DrawTitle(Canvas& c, const std::string& title, double appear) {
  if (title.empty() || appear <= 0) return;
  const int w = static_cast<int>(c.p.width), h = static_cast<int>(c.p.height);
  const int chars = static_cast<int>(title.size());
  // The game shows a movie unscaled in the middle of the screen, so an
  // upright screen sees only the middle square of a landscape frame: the
  // title keeps inside that square, a margin from its sides.
  const int room = std::min(w, h) - 2 * TitleMargin(w, h);
  const int scale = std::max(1, std::min(room / (chars * 6), h / 24));
  const int textW = chars * 6 * scale - scale, textH = 7 * scale;
  const int x0 = (w - textW) / 2, y0 = h / 3 - textH / 2;
  const double shadow[3] = {0, 0, 0}, gold[3] = {255, 215, 90};
  const double a = std::clamp(appear, 0.0, 1.0);
  for (int pass = 0; pass < 2; ++pass) {
    const int off = pass == 0 ? std::max(1, scale / 3) : 0;
    for (int i = 0; i < chars; ++i) {
      const char* g = Glyph(title[static_cast<std::size_t>(i)]);
      if (g == nullptr) continue;
      for (int gy = 0; gy < 7; ++gy) {
        for (int gx = 0; gx < 5; ++gx) {
          if (g[gy * 5 + gx] != '#') continue;
          for (int sy = 0; sy < scale; ++sy) {
            for (int sx = 0; sx < scale; ++sx) {
              c.Blend(x0 + (i * 6 + gx) * scale + sx + off, y0 + gy * scale + sy + off, pass == 0 ? shadow : gold,
                      pass == 0 ? a * 0.6 : a);
            }
          }
        }
      }
    }
  }
}

constexpr double kBallColours[15][3] = {{230, 200, 40}, {40, 80, 200},  {210, 40, 40},  {110, 40, 150}, {230, 120, 30},
                                        {30, 130, 60},  {130, 40, 30},  {20, 20, 20},   {230, 200, 40}, {40, 80, 200},
                                        {210, 40, 40},  {110, 40, 150}, {230, 120, 30}, {30, 130, 60},  {130, 40, 30}};

}  // namespace

Picture DrawFrame(const SceneSettings& settings, int frame) {
  Picture p;
  p.width = static_cast<std::uint32_t>(settings.width);
  p.height = static_cast<std::uint32_t>(settings.height);
  p.rgba.assign(static_cast<std::size_t>(p.width) * p.height * 4, 255);
  Canvas c{p};
  const Layout t = TableLayout(settings.width, settings.height);
  DrawTable(c, t);
  const double seconds = frame / settings.rate;
  const double total = settings.frames / settings.rate;

  if (settings.scene == Scene::kBreak) {
    // The rack: a triangle of 15 balls pointing at the cue ball, which
    // rolls in from the left and strikes at a third of the movie.
    const double r = t.radius;
    const double midY = (t.top + t.bottom) / 2;
    const double apexX = t.left + (t.right - t.left) * 0.68;
    const double strike = total / 3;
    struct Ball {
      double x, y;
    };
    std::vector<Ball> rack;
    for (int row = 0; row < 5; ++row) {
      for (int k = 0; k <= row; ++k) {
        rack.push_back({apexX + row * r * 1.75, midY + (k - row / 2.0) * r * 2.02});
      }
    }
    const double cueStartX = t.left + (t.right - t.left) * 0.2;
    double cueX = cueStartX + (apexX - 2 * r - cueStartX) * std::min(1.0, seconds / strike);
    const double after = std::max(0.0, seconds - strike);
    // After the strike every ball runs out from the rack's centre and slows.
    const double travel = 1 - std::exp(-after * 1.6);
    const double cx = apexX + 2 * r * 1.75, cy = midY;
    auto bounce = [](double v, double lo, double hi) {
      const double span = hi - lo;
      double u = std::fmod(v - lo, 2 * span);
      if (u < 0) u += 2 * span;
      return lo + (u <= span ? u : 2 * span - u);
    };
    for (std::size_t i = 0; i < rack.size(); ++i) {
      double x = rack[i].x, y = rack[i].y;
      if (after > 0) {
        const double dx = x - cx + 0.3 * r, dy = y - cy + 0.1 * r * static_cast<double>(i % 3);
        const double len = std::max(1e-6, std::sqrt(dx * dx + dy * dy));
        const double reach = (t.right - t.left) * (0.35 + 0.03 * static_cast<double>(i % 5));
        x = bounce(x + dx / len * reach * travel, t.left + r, t.right - r);
        y = bounce(y + dy / len * reach * travel, t.top + r, t.bottom - r);
      }
      c.Ball(x, y, r, kBallColours[i], true);
    }
    if (after > 0) cueX = apexX - 2 * r - (apexX - cueStartX) * 0.25 * travel;
    const double white[3] = {240, 240, 230};
    c.Ball(cueX, midY, r, white, true);
  }
  if (settings.scene == Scene::kTitle) {
    // A lone ball rolls along the lower half, so the picture never stands still.
    const double r = t.radius;
    const double x = t.left + r + (t.right - t.left - 2 * r) * (seconds / std::max(total, 1e-3));
    const double y = t.top + (t.bottom - t.top) * 0.72;
    c.Ball(x, y, r, kBallColours[static_cast<std::size_t>(settings.title.size() % 15)], true);
  }
  // The title fades in over the first second.
  DrawTitle(c, settings.title, seconds / 1.0);
  return p;
}

std::vector<std::int16_t> MakeSoundTrack(const SceneSettings& settings, int rate) {
  const double total = settings.frames / settings.rate;
  const auto n = static_cast<std::size_t>(total * rate);
  std::vector<double> mix(n, 0.0);
  constexpr double kPi = 3.14159265358979323846;
  // A soft rising chord under the title.
  const double notes[3] = {261.63, 329.63, 392.0};
  for (int k = 0; k < 3; ++k) {
    const double start = 0.15 * k;
    for (std::size_t i = 0; i < n; ++i) {
      const double t = static_cast<double>(i) / rate - start;
      if (t < 0) continue;
      const double env = std::min(1.0, t / 0.05) * std::exp(-t * 1.2);
      mix[i] += 0.18 * env * std::sin(2 * kPi * notes[k] * t);
    }
  }
  if (settings.scene == Scene::kBreak) {
    // The knock of the strike, then the clatter of balls meeting.
    std::uint32_t seed = 12345;
    auto noise = [&seed] {
      seed = seed * 1664525u + 1013904223u;
      return static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
    };
    const double strike = total / 3;
    const double hits[] = {0.0, 0.03, 0.05, 0.09, 0.14, 0.2, 0.31, 0.45};
    for (std::size_t h = 0; h < std::size(hits); ++h) {
      const double at = strike + hits[h];
      const double loud = h == 0 ? 0.7 : 0.35 / (1 + 0.3 * static_cast<double>(h));
      for (std::size_t i = static_cast<std::size_t>(at * rate); i < n; ++i) {
        const double t = static_cast<double>(i) / rate - at;
        if (t > 0.06) break;
        mix[i] += loud * std::exp(-t * 90) * (0.6 * noise() + 0.4 * std::sin(2 * kPi * 1800 * t));
      }
    }
  }
  std::vector<std::int16_t> out(n);
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = static_cast<std::int16_t>(std::clamp(std::lround(mix[i] * 32767), -32768L, 32767L));
  }
  return out;
}

std::vector<std::int16_t> TestTone(std::size_t count, int rate, double at) {
  std::vector<std::int16_t> out(count, 0);
  constexpr double kPi = 3.14159265358979323846;
  const auto first = static_cast<std::size_t>(std::max(0.0, at) * rate);
  const auto last = std::min(count, first + static_cast<std::size_t>(0.2 * rate));
  for (std::size_t i = first; i < last; ++i) {
    out[i] = static_cast<std::int16_t>(12000 * std::sin(2 * kPi * 1000 * static_cast<double>(i - first) / rate));
  }
  return out;
}

}  // namespace moviemake
