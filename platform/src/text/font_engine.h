// Realised fonts: a logical font (LOGFONTW) turned into metrics and glyph
// coverage at one pixel size. Faces come from the device's font files
// through FreeType, the name a program asks for mapped onto a family by one
// table; the device setting "font_test = fixed" swaps every face for a
// built-in box font with exact metrics, for tests. Realised fonts and their
// glyphs are cached; callers hold the GDI lock around every use.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ce/wingdi.h"

namespace ce::text {

// One glyph's coverage (0 = none, 255 = full), placed relative to the pen on
// the baseline: column 0 is `left` pixels right of the pen, row 0 is `top`
// pixels above the baseline.
struct Glyph {
  int advance = 0;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> coverage;  // width * height, rows top-down
};

struct FontMetrics {
  int height = 0;  // ascent + descent: one line
  int ascent = 0;
  int descent = 0;
  int internalLeading = 0;
  int averageWidth = 0;
  int maxWidth = 0;
  int weight = FW_NORMAL;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  bool fixedPitch = false;
  int underlineOffset = 1;  // rows below the baseline
  int strikeOffset = 1;     // rows above the baseline
  int lineThickness = 1;
  BYTE pitchAndFamily = 0;
};

class RealizedFont {
 public:
  virtual ~RealizedFont() = default;
  const FontMetrics& metrics() const { return metrics_; }
  // Quarter turns counter-clockwise the text is drawn at (0 to 3).
  int quarterTurns() const { return quarterTurns_; }
  // The glyph of a character, rendered once and kept. The reference stays
  // valid until the next call.
  const Glyph& GlyphOf(wchar_t c);
  int Advance(wchar_t c) {
    if (static_cast<std::uint32_t>(c) < kDirect && direct_[static_cast<std::uint32_t>(c)]) {
      return direct_[static_cast<std::uint32_t>(c)]->advance;
    }
    return GlyphOf(c).advance;
  }

 protected:
  virtual Glyph Render(wchar_t c) = 0;
  FontMetrics metrics_;
  int quarterTurns_ = 0;
  bool fixedAdvance_ = false;

 private:
  friend std::shared_ptr<RealizedFont> Realize(const LOGFONTW& logfont);
  static constexpr std::uint32_t kDirect = 256;
  static constexpr std::size_t kMostOthers = 4096;
  std::array<std::unique_ptr<Glyph>, kDirect> direct_;
  std::unordered_map<wchar_t, Glyph> others_;
};

// The realised font for a logical font under the device's current font
// setting; never null (a face whose file cannot be read falls back to the
// box font, with a warning).
std::shared_ptr<RealizedFont> Realize(const LOGFONTW& logfont);

// The font families the device lists, in order ("font_families", a comma
// separated list, or the built-in list).
std::vector<std::wstring> DeviceFamilies();

}  // namespace ce::text
