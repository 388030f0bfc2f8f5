// metermake <folder>: writes the meters plug-in's bitmaps at 96 and 192 DPI:
// bar frames with three stacked states, bars with three colour rows, digit
// strips cut at the meters' offset tables, the memory, card and network
// picture strips, the clock face, and the icon banks' pictures (a battery
// with its history line, a question mark, a gear), and the help document
// "qveng.htp". Magenta is the transparent key everywhere.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "battery_meter_layout.h"
#include "runtime/bmp_writer.h"
#include "runtime/one_path_tool.h"
#include "runtime/picture.h"

namespace {

using picture::Image;
using picture::kKey;
using picture::Point;

bool Write(const std::string& folder, const std::string& name, const Image& image) {
  const std::string out =
      ks::runtime::EncodeBmp24(image.width, image.height, image.pixels.data(), ks::runtime::kBmp96Dpi);
  const std::string path = folder + "/" + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  return std::fclose(file) == 0 && ok;
}

// 3x5 glyphs: digits, percent, hour mark, minute mark; one row a string.
const char* const kGlyphs[13][5] = {
    {"###", "#.#", "#.#", "#.#", "###"}, {".#.", "##.", ".#.", ".#.", "###"}, {"###", "..#", "###", "#..", "###"},
    {"###", "..#", "###", "..#", "###"}, {"#.#", "#.#", "###", "..#", "..#"}, {"###", "#..", "###", "..#", "###"},
    {"###", "#..", "###", "#.#", "###"}, {"###", "..#", ".#.", ".#.", ".#."}, {"###", "#.#", "###", "#.#", "###"},
    {"###", "#.#", "###", "..#", "###"}, {"#.#", "..#", ".#.", "#..", "#.#"}, {"#..", "#..", "###", "#.#", "#.#"},
    {"...", "...", "###", "###", "#.#"}};

void Glyph(Image& image, int g, int x, int y, int unit, std::uint32_t c) {
  for (int row = 0; row < 5; ++row) {
    for (int column = 0; column < 3; ++column) {
      if (kGlyphs[g][row][column] == '#') image.Fill(x + column * unit, y + row * unit, unit, unit, c);
    }
  }
}

int S(int n, int dpi) { return (n * dpi + 48) / 96; }

// Drainlog: the gauge frame (a white track in a dark outline), the bar
// (one green row), the span button (left half "+": longer span, right half
// "-": shorter) and, from the 96-DPI run only, the page background.
bool MakeDrainlog(const std::string& folder, const std::string& suffix, int dpi) {
  const int f = dpi / 96;
  bool ok = true;
  Image meter(124 * f, 14 * f);
  meter.Fill(0, 0, 124 * f, 14 * f, 0xFFFFFF);
  meter.Frame(0, 0, 124 * f, 14 * f, 0x404060);
  meter.Frame(f, f, 122 * f, 12 * f, 0xA0A0C0);
  ok &= Write(folder, "DL_Meter" + suffix + ".bmp", meter);
  Image bar(120 * f, 10 * f);
  bar.Fill(0, 0, 120 * f, 10 * f, 0x30A040);
  bar.Fill(0, 0, 120 * f, 2 * f, 0x70D080);
  ok &= Write(folder, "DL_Bar" + suffix + ".bmp", bar);
  Image span(33 * f, 14 * f);
  for (int half = 0; half < 2; ++half) {
    const int x = half * 17 * f;
    span.Fill(x, 0, 16 * f, 14 * f, 0xE8E8F4);
    span.Frame(x, 0, 16 * f, 14 * f, 0x505070);
    span.Fill(x + 4 * f, 6 * f, 8 * f, 2 * f, 0x202040);
    if (half == 0) span.Fill(x + 7 * f, 3 * f, 2 * f, 8 * f, 0x202040);
  }
  ok &= Write(folder, "DL_Span" + suffix + ".bmp", span);
  if (f == 1) {
    Image background(240, 320);
    for (int y = 0; y < 320; ++y) {
      const std::uint32_t c = static_cast<std::uint32_t>(236 - y * 24 / 320);
      background.Fill(0, y, 240, 1, c << 16 | c << 8 | (c + 12 > 255 ? 255 : c + 12));
    }
    ok &= Write(folder, "DL_Background.bmp", background);
  }
  return ok;
}

// The small and tiny battery meters: a horizontal battery outline (dark
// edge, light inside, a nub at the right) over the level bar's three rows
// (empty track, fill, over 100), in the shared layout.
bool MakeBatteryMeter(const std::string& folder, const std::string& name, const pelmora::BatteryMeterLayout& layout,
                      int f) {
  const int w = layout.width * f;
  const int h = layout.height * f;
  const int body = (layout.barX * 2 + layout.barWidth) * f;
  const int bw = layout.barWidth * f;
  const int bh = layout.barHeight * f;
  Image meter(w, h + 3 * bh);
  meter.Fill(0, 0, body, h, 0x404040);
  meter.Fill(f, f, body - 2 * f, h - 2 * f, 0xF4F4F4);
  meter.Fill(body, h / 4, w - body, h - 2 * (h / 4), 0x404040);
  const std::uint32_t rows[3] = {0xF4F4F4, 0x40B050, 0xF0C040};
  for (int r = 0; r < 3; ++r) meter.Fill(0, h + r * bh, bw, bh, rows[r]);
  return Write(folder, name, meter);
}

// Title-bar indicators: the battery outline, its level bars (row 0 empty
// track, row 1 fill, row 2 the over-100 look, each the outline's size with
// a magenta margin), the memory bars (row 0 fill, row 1 track, row 2 over
// 100), the 10-pixel icons (0 memory, 1 to 12 the card pictures) and the
// digits cut at 0, 4, 7, 11, 15, 19, 23, 27, 31, 35, 39, 44, 48, 53.
bool MakeTitleBar(const std::string& folder, const std::string& suffix, int dpi) {
  const int f = dpi / 96;
  bool ok = true;
  // The title bar is 26 pixels high: the battery sits at y 18 under the
  // clock, 6 pixels high so a margin of the bar stays below it; the memory
  // bar at the top is 8 pixels high.
  const int bw = 30 * f;
  const int bh = 6 * f;
  Image battery(bw, bh);
  battery.Frame(0, 0, bw - 3 * f, bh, 0xF0F0F0);
  battery.Frame(f, f, bw - 5 * f, bh - 2 * f, 0x404040);
  battery.Fill(bw - 3 * f, bh / 4, 2 * f, bh / 2, 0xF0F0F0);
  ok &= Write(folder, "QV_TitleBar_Battery" + suffix + ".bmp", battery);
  Image levels(bw, bh * 3);
  const std::uint32_t levelColours[3] = {0xD8D8D8, 0x70D070, 0xF0C040};
  for (int r = 0; r < 3; ++r) levels.Fill(2 * f, bh * r + 2 * f, bw - 7 * f, bh - 4 * f, levelColours[r]);
  ok &= Write(folder, "QV_TitleBar_Pelmoras" + suffix + ".bmp", levels);
  const int mw = 30 * f;
  const int mh = 8 * f;
  Image bars(mw, mh * 3);
  const std::uint32_t barColours[3] = {0x70A0F0, 0xD8D8D8, 0xF0C040};
  for (int r = 0; r < 3; ++r) bars.Fill(0, mh * r + f, mw, mh - 2 * f, barColours[r]);
  ok &= Write(folder, "QV_TitleBar_Bars" + suffix + ".bmp", bars);
  Image icons(13 * 10 * f, mh);
  icons.Fill(f, 2 * f, 8 * f, 4 * f, 0x3050A0);
  for (int pin = 0; pin < 3; ++pin) icons.Fill(2 * f + pin * 3 * f, f, f, 6 * f, 0xC0C0C0);
  for (int c = 1; c < 13; ++c) {
    const std::uint32_t colour = 0x204060 + static_cast<std::uint32_t>(c - 1) * 0x0C0A04;
    icons.Fill(c * 10 * f + 2 * f, 0, 6 * f, 8 * f, colour);
    icons.Fill(c * 10 * f + 2 * f, 0, 2 * f, 2 * f, kKey);
  }
  ok &= Write(folder, "QV_TitleBar_Icons" + suffix + ".bmp", icons);
  static const int kCuts[14] = {0, 4, 7, 11, 15, 19, 23, 27, 31, 35, 39, 44, 48, 53};
  Image numbers(S(53, dpi), 5 * f + 2 * f);
  for (int g = 0; g < 13; ++g) Glyph(numbers, g, S(kCuts[g], dpi), 1, f, 0x101010);
  ok &= Write(folder, "QV_TitleBar_Numbers" + suffix + ".bmp", numbers);
  return ok;
}

constexpr std::uint32_t kInk = 0x283040;

// The clock face of `side` pixels: a light dial in a dark ring with twelve
// hour marks, the quarters longer; the hands are drawn on it.
Image ClockFace(int side) {
  Image im(side, side);
  const double r = side / 2.0;
  const Point c{r, r};
  im.Disc(c, r, kInk);
  im.Disc(c, r - std::max(1.0, side / 20.0), 0xFAF8F0);
  for (int h = 0; h < 12; ++h) {
    const double a = h * picture::kPi / 6;
    const double outer = r * 0.86;
    const double inner = h % 3 == 0 ? r * 0.62 : r * 0.74;
    im.Line({c.x + inner * std::sin(a), c.y - inner * std::cos(a)},
            {c.x + outer * std::sin(a), c.y - outer * std::cos(a)}, h % 3 == 0 ? side / 14.0 : side / 22.0, 0x606870);
  }
  return im;
}

// The left icon: a battery on its side with the falling line of its
// history across it, in a square of `side` pixels.
Image BatteryHistory(int side) {
  Image im(side, side);
  const double u = side / 16.0;
  im.RoundBox(1 * u, 4 * u, 13.5 * u, 13 * u, 1 * u, kInk);
  im.Fill(static_cast<int>(13.5 * u), static_cast<int>(6.8 * u), static_cast<int>(2 * u) + 1,
          static_cast<int>(3.4 * u) + 1, kInk);
  im.RoundBox(2.2 * u, 5.2 * u, 12.3 * u, 11.8 * u, 0.5 * u, 0xF4F8F0);
  im.Fill(static_cast<int>(2.2 * u), static_cast<int>(5.2 * u), static_cast<int>(5.5 * u),
          static_cast<int>(6.6 * u) + 1, 0x70C050);
  im.Line({3 * u, 6.5 * u}, {6 * u, 8 * u}, 1.2 * u, 0x2A6AB0);
  im.Line({6 * u, 8 * u}, {8.5 * u, 7.2 * u}, 1.2 * u, 0x2A6AB0);
  im.Line({8.5 * u, 7.2 * u}, {11.5 * u, 10.5 * u}, 1.2 * u, 0x2A6AB0);
  return im;
}

// The help icon: a question mark in a blue disc.
void Help(Image& im, int left, int side) {
  const int f = side / 12;
  im.Disc({left + side / 2.0, side / 2.0}, side / 2.0, 0x2F68B8);
  static const char* const kMark[7] = {".###.", "#...#", "....#", "..##.", "..#..", ".....", "..#.."};
  for (int row = 0; row < 7; ++row) {
    for (int column = 0; column < 5; ++column) {
      if (kMark[row][column] == '#') im.Fill(left + (column + 4) * f - f / 2, (row + 2) * f + f / 2, f, f, 0xFFFFFF);
    }
  }
}

// The options icon: a gear.
void Options(Image& im, int left, int side) {
  const Point c{left + side / 2.0, side / 2.0};
  im.Paint(0x5A6878, [&](double x, double y) {
    if (x < left || x >= left + side) return false;
    const double dx = x - c.x, dy = y - c.y;
    const double d = std::hypot(dx, dy);
    const bool tooth = std::cos(8 * std::atan2(dy, dx)) > 0.3;
    return d <= (tooth ? 0.46 : 0.35) * side && d >= 0.14 * side;
  });
}

bool MakeIcons(const std::string& folder, const std::string& suffix, int dpi) {
  const int f = dpi / 96;
  bool ok = Write(folder, "PM_Clock" + suffix + ".bmp", ClockFace(S(28, dpi)));
  ok &= Write(folder, "PM_LeftIcon" + suffix + ".bmp", BatteryHistory(S(11, dpi)));
  // Two icons side by side: help on the left, options on the right.
  const int side = 12 * f;
  Image right(2 * side, side);
  Help(right, 0, side);
  Options(right, side, side);
  ok &= Write(folder, "PM_RightIcons" + suffix + ".bmp", right);
  // The row's scroll arrows: a pair (left half pointing left, right half
  // right), 7 x 7, and the strip behind an arrow, 7 x 20 (the Tiny row
  // shows its lower 15).
  const int a = 7 * f;
  Image arrows(2 * a, a);
  for (int row = 0; row < a; ++row) {
    const int reach = (row < a / 2 ? row + 1 : a - row) * (a - 2 * f) / ((a + 1) / 2);
    arrows.Fill(a - f - reach, row, reach, 1, 0x304870);
    arrows.Fill(a + f, row, reach, 1, 0x304870);
  }
  ok &= Write(folder, "PM_ScrollArrows" + suffix + ".bmp", arrows);
  Image strip(a, 20 * f);
  strip.RoundBox(0, 0, a, 20 * f, 2 * f, 0xD8E0EA);
  ok &= Write(folder, "PM_ScrollStrip" + suffix + ".bmp", strip);
  return ok;
}

bool MakeSet(const std::string& folder, const std::string& suffix, int dpi) {
  const int f = dpi / 96;
  bool ok = true;
  // Frames: three states stacked (normal, second, third).
  const std::uint32_t frameColours[3] = {0x303030, 0x808080, 0xC04040};
  // The horizontal gauge sits 18 pixels into a 49-pixel bank at Small and
  // Tiny, above the label line: 29 x 8 keeps it inside.
  // The vertical gauge sits 3 pixels into the Big bank, left of the battery
  // picture and above the label line at 30: 12 x 27 keeps it there.
  const int hw = 29 * f, hh = 8 * f, vw = 12 * f, vh = 27 * f;
  Image frameH(hw, hh * 3);
  Image frameV(vw, vh * 3);
  for (int s = 0; s < 3; ++s) {
    frameH.Fill(0, hh * s, hw, hh, 0xF0F0F0);
    frameH.Frame(0, hh * s, hw, hh, frameColours[s]);
    frameV.Fill(0, vh * s, vw, vh, 0xF0F0F0);
    frameV.Frame(0, vh * s, vw, vh, frameColours[s]);
  }
  ok &= Write(folder, "PM_Meters_H" + suffix + ".bmp", frameH);
  ok &= Write(folder, "PM_Meters_V" + suffix + ".bmp", frameV);
  // Bars: three colour rows, low red, middle amber, high green.
  const std::uint32_t barColours[3] = {0xD03020, 0xE0B020, 0x30A040};
  const int bhw = 25 * f, bhh = 4 * f, bvw = 8 * f, bvh = 23 * f;
  Image barH(bhw, bhh * 3);
  Image barV(bvw, bvh * 3);
  for (int r = 0; r < 3; ++r) {
    barH.Fill(0, bhh * r, bhw, bhh, barColours[r]);
    barV.Fill(0, bvh * r, bvw, bvh, barColours[r]);
  }
  ok &= Write(folder, "PM_Bar_H_Small" + suffix + ".bmp", barH);
  ok &= Write(folder, "PM_Bar_V_Small" + suffix + ".bmp", barV);
  // Digit strips cut at the meters' offset tables.
  int hCuts[12] = {0, S(4, dpi)};
  for (int i = 2; i <= 10; ++i) hCuts[i] = S(4 * i, dpi) - 1;
  hCuts[11] = S(44, dpi);
  Image digitsH(hCuts[11], 5 * f + 2);
  for (int g = 0; g < 11; ++g) Glyph(digitsH, g, hCuts[g], 1, f, 0x101010);
  ok &= Write(folder, "PM_Meter_H_Numbers" + suffix + ".bmp", digitsH);
  Image digitsV(3 * f + 2, S(60, dpi));
  for (int g = 0; g < 12; ++g) Glyph(digitsV, g, 1, S(5 * g, dpi), f, 0x101010);
  ok &= Write(folder, "PM_Meter_V_Numbers" + suffix + ".bmp", digitsV);
  // Memory pictures: program (chip) | storage (drum), per size.
  const int memoryEdge[3] = {20, 14, 12};
  for (int size = 0; size < 3; ++size) {
    const int e = memoryEdge[size] * f;
    Image memory(2 * e, e);
    memory.Fill(2 * f, 3 * f, e - 4 * f, e - 6 * f, 0x3050A0);
    for (int pin = 0; pin < 4; ++pin) memory.Fill(3 * f + pin * (e - 6 * f) / 3, f, f, e - 2 * f, 0x808080);
    memory.Fill(2 * f, 3 * f, e - 4 * f, e - 6 * f, 0x3050A0);
    memory.Fill(e + 2 * f, 2 * f, e - 4 * f, e - 4 * f, 0x607080);
    memory.Frame(e + 2 * f, 2 * f, e - 4 * f, e - 4 * f, 0x202020);
    ok &= Write(folder, "PM_Memory_" + std::to_string(size) + suffix + ".bmp", memory);
  }
  // Card pictures: 12 columns, each a card outline in its own colour.
  for (int size = 0; size < 3; ++size) {
    const int e = memoryEdge[size] * f;
    Image cards(12 * e, e);
    for (int c = 0; c < 12; ++c) {
      const std::uint32_t colour = 0x204060 + static_cast<std::uint32_t>(c) * 0x0C0A04;
      cards.Fill(c * e + 3 * f, f, e - 6 * f, e - 2 * f, colour);
      cards.Fill(c * e + 3 * f, f, (e - 6 * f) / 3, 3 * f, 0xFF00FF);
    }
    ok &= Write(folder, "PM_StgCard_" + std::to_string(size) + suffix + ".bmp", cards);
  }
  // Network pictures: 5 columns (idle, receiving, sending, both, none).
  const int netEdge[3] = {22, 18, 12};
  const char* const netNames[3] = {"PM_Net_Large", "PM_Net_Small", "PM_Net_Tiny"};
  for (int size = 0; size < 3; ++size) {
    const int e = netEdge[size] * f;
    Image net(5 * e, e);
    for (int state = 0; state < 5; ++state) {
      const int x = state * e;
      const std::uint32_t idle = state == 4 ? 0xA0A0A0 : 0x406080;
      net.Fill(x + f, e / 4, e / 2 - f, e / 2, (state == 1 || state == 3) ? 0x30C040 : idle);
      net.Fill(x + e / 2, e / 4, e / 2 - f, e / 2, (state == 2 || state == 3) ? 0xE07020 : idle);
      if (state == 4) net.Fill(x + f, e / 2, e - 2 * f, f, 0xC02020);
    }
    ok &= Write(folder, netNames[size] + suffix + ".bmp", net);
  }
  // Battery pictures: one row per size (Big, Small, Tiny), 28 x 22 each.
  Image battery(28 * f, 22 * f * 3);
  const int bodies[3][2] = {{20, 12}, {12, 8}, {10, 6}};
  for (int row = 0; row < 3; ++row) {
    const int w = bodies[row][0] * f;
    const int h = bodies[row][1] * f;
    const int top = 22 * f * row + 2 * f;
    battery.Fill(0, top, w, h, 0x404040);
    battery.Fill(f, top + f, w - 2 * f, h - 2 * f, 0xE8E8E8);
    battery.Fill(w, top + h / 3, 2 * f, h / 3 + f, 0x404040);
  }
  ok &= Write(folder, "PM_Battery" + suffix + ".bmp", battery);
  // Charging marks (a bolt) and charged marks (a tick), small and large.
  for (int large = 0; large < 2; ++large) {
    const int e = (large ? 12 : 8) * f;
    Image bolt(e, e);
    for (int i = 0; i < e; ++i) bolt.Fill(e - 1 - i / 2 - (i < e / 2 ? 0 : e / 4), i, 2 * f, 1, 0xF0C000);
    ok &= Write(folder, std::string(large ? "PM_Charge_Large" : "PM_Charge") + suffix + ".bmp", bolt);
    Image tick(e, e);
    for (int i = 0; i < e / 3; ++i) tick.Fill(i, e / 2 + i, 2 * f, 2 * f, 0x20A040);
    for (int i = 0; i < 2 * e / 3; ++i) tick.Fill(e / 3 + i, e / 2 + e / 3 - i - f, 2 * f, 2 * f, 0x20A040);
    ok &= Write(folder, std::string(large ? "PM_Charged" : "PM_Charged_Small") + suffix + ".bmp", tick);
  }
  // Backup-battery warning: a red triangle-ish block with a white bar.
  Image warn(10 * f, 10 * f);
  for (int i = 0; i < 10 * f; ++i) warn.Fill(5 * f - i / 2, i, i + 1, 1, 0xD02020);
  warn.Fill(5 * f - f / 2, 3 * f, f, 4 * f, 0xFFFFFF);
  ok &= Write(folder, "PM_WarnIcon" + suffix + ".bmp", warn);
  ok &= MakeBatteryMeter(folder, "PM_Batt_Meter_Small" + suffix + ".bmp", pelmora::kSmallBatteryMeter, f);
  ok &= MakeBatteryMeter(folder, "PM_Batt_Meter_Tiny" + suffix + ".bmp", pelmora::kTinyBatteryMeter, f);
  ok &= MakeDrainlog(folder, suffix, dpi);
  ok &= MakeTitleBar(folder, suffix, dpi);
  ok &= MakeIcons(folder, suffix, dpi);
  return ok;
}

// The help document the meters' help icon and the setup program's "Help"
// item open: a small HTML page of our own about the meters and the setup
// program.
constexpr char kHelpDocument[] = R"(<html>
<head><title>Pelmora Help</title></head>
<body>
<h3>Pelmora</h3>
<p>Pelmora shows a row of meters on the home screen: battery, memory,
storage card, network and clock banks. Tap a bank to act on it, or select
the row and move between the banks with Left and Right.</p>
<h4>Banks</h4>
<ul>
<li>Battery: the level and the time left; tap it for the power settings.</li>
<li>Memory: program and storage memory, as used percent or free space.</li>
<li>Storage card: each card in turn, as used percent or free space.</li>
<li>Network: bytes and rates of one adapter; tap it for its details.</li>
<li>Clock: the time and the date.</li>
</ul>
<h4>Icons</h4>
<p>The left icon opens Drainlog, the history of the battery, memory and
network. The gear opens the options: the banks shown, their sizes, the
alerts and the title-bar indicators. The question mark opens this page.</p>
<h4>Quorvist</h4>
<p>Quorvist puts Pelmora and the Tessivo launcher bar on the home screen or
takes them off ("Add/Remove plug-ins"), and opens their dialogs. The digits
1 to 9 run its items at once.</p>
</body>
</html>
)";

bool WriteHelp(const std::string& folder) {
  std::FILE* file = std::fopen((folder + "/qveng.htp").c_str(), "wb");
  if (file == nullptr) return false;
  const std::size_t size = sizeof kHelpDocument - 1;
  const bool ok = std::fwrite(kHelpDocument, 1, size, file) == size;
  return std::fclose(file) == 0 && ok;
}

constexpr const char* kUsage =
    "usage: metermake <output folder>\n"
    "  writes the meters' bitmaps at 96 and 192 DPI and their help document\n"
    "  (qveng.htp) into the folder\n";

}  // namespace

int main(int argc, char** argv) {
  if (const int status = toolusage::OnePathArgument(argc, argv, kUsage); status >= 0) return status;
  const std::string folder = argv[1];
  // The left icon as an icon resource too, a 16- and a 32-pixel picture.
  const std::string icon = picture::Ico({BatteryHistory(16), BatteryHistory(32)});
  std::FILE* file = std::fopen((folder + "/PM_LeftIcon.ico").c_str(), "wb");
  const bool iconWritten = file != nullptr && std::fwrite(icon.data(), 1, icon.size(), file) == icon.size();
  if (file != nullptr && std::fclose(file) != 0) return 1;
  if (!iconWritten || !MakeSet(folder, "", 96) || !MakeSet(folder, "_192", 192) || !WriteHelp(folder)) {
    std::fprintf(stderr, "metermake: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
