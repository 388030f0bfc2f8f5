// Bitmap fonts (".fnt"): a header with the font's name, metrics and a glyph
// table for characters 32 upward, then one strip of 8-bit coverage values
// holding every glyph side by side. ssScaledFont rescales the glyphs to the
// device's scale at load and draws anti-aliased text into 16-bit targets.
#pragma once

#include <cstdint>
#include <vector>

#include "display/display.h"

class ssFile;

inline constexpr std::uint32_t kFontVersion = 257;
inline constexpr std::uint32_t kFontVersionOld = 256;
inline constexpr std::uint32_t kFontHeaderSize = 1172;
inline constexpr std::uint32_t kFontHeaderSizeOld = 652;
inline constexpr int kFontNameBytes = 128;
inline constexpr int kFontGlyphs = 256;
inline constexpr int kFontFirstChar = 32;
// The drawers have glyphs for these characters only.
inline constexpr int kFontLastDrawnChar = 159;

struct ssFontGlyph {
  std::uint16_t column = 0;  // first strip column of the glyph
  std::uint16_t width = 0;   // pixels
};

// The file header as held in memory (the strip is kept beside it).
struct ssFontHeader {
  std::uint32_t version = 0;
  char name[kFontNameBytes]{};
  std::uint16_t glyphCount = 0;
  std::uint16_t metric2 = 0;
  std::uint16_t height = 0;
  std::uint16_t stripWidth = 0;
  std::uint16_t metric3 = 0;
  ssFontGlyph glyphs[kFontGlyphs]{};
};

class ssFont {
 public:
  ssFont() = default;
  virtual ~ssFont() = default;
  ssFont(const ssFont&) = delete;
  ssFont& operator=(const ssFont&) = delete;

  // Reads a version 257 (or older 256) font and closes the stream. Returns
  // 0, or -1 for a null stream or a file that is short or inconsistent
  // (strip larger than the data, glyphs outside the strip); the font then
  // holds nothing.
  virtual int Load(ssFile* stream, float xScale, float yScale);
  // Horizontal and rotated string drawers; the base draws nothing.
  virtual int DrawString(int x, int y, std::uint32_t color, std::uint32_t backColor, const wchar_t* text, bool opaque,
                         const ssRect* clip, bool reverse);
  virtual int DrawStringRotated(int x, int y, std::uint32_t color, std::uint32_t backColor, const wchar_t* text,
                                bool opaque, const ssRect* clip, bool reverse);

  // Spacing plus glyph width per drawable character; a space adds spacing
  // plus the space width. Characters the drawers skip add nothing.
  int GetStringWidth(const wchar_t* text) const;
  // The glyph width of a drawable character other than the space; 0 for
  // the space and for characters the drawers skip.
  int GlyphWidth(wchar_t c) const;

  std::uint32_t AddRef() { return ++m_References; }
  std::uint32_t Release() {
    if (m_References > 0) --m_References;
    return m_References;
  }

  bool Loaded() const { return m_Loaded; }
  const ssFontHeader& Header() const { return m_Header; }
  const char* Name() const { return m_Header.name; }
  int Height() const { return m_Header.height; }
  const std::uint8_t* Strip() const { return m_Strip.data(); }

  int m_Spacing = 0;
  int m_SpaceWidth = 0;
  std::uint32_t m_References = 0;
  int m_Depth = 16;  // pixel depth of the target (the device sets its own)

 protected:
  void Reset();
  ssFontHeader m_Header{};
  std::vector<std::uint8_t> m_Strip;
  bool m_Loaded = false;
};

class ssScaledFont : public ssFont {
 public:
  explicit ssScaledFont(ssDisplay* device = nullptr) : m_Device(device) {}

  // Loads, then resamples the glyphs by the scale factors (unless both are
  // exactly 1.0). Scale factors that are not positive and finite, or that
  // would make the strip absurdly large, fail the load.
  int Load(ssFile* stream, float xScale, float yScale) override;
  int DrawString(int x, int y, std::uint32_t color, std::uint32_t backColor, const wchar_t* text, bool opaque,
                 const ssRect* clip, bool reverse) override;
  int DrawStringRotated(int x, int y, std::uint32_t color, std::uint32_t backColor, const wchar_t* text, bool opaque,
                        const ssRect* clip, bool reverse) override;

  // Mixes a colour into a pixel by coverage byte (>> 3 gives 0-31).
  static std::uint16_t Blend565(std::uint16_t dst, std::uint16_t color, int coverage);
  static std::uint16_t Blend444(std::uint16_t dst, std::uint16_t color, int coverage);

  ssDisplay* m_Device;

 private:
  int Draw(int x, int y, std::uint32_t color, std::uint32_t backColor, const wchar_t* text, bool opaque,
           const ssRect* clip, bool reverse, bool rotated);
  bool Rescale(float xs, float ys);
};
