// Skin fonts: a font text of five fields (height, bold, italic, underline,
// face name) made into a GDI font, shared per (text, scale) through a
// process-wide cache, and measured on the screen context.
#pragma once

#include <cstdint>
#include <string>

#include "ce/wingdi.h"
#include "skinner/properties.h"

namespace skinner {

class FontRep {
 public:
  FontRep(const std::wstring& description, double scale);
  ~FontRep();
  FontRep(const FontRep&) = delete;
  FontRep& operator=(const FontRep&) = delete;

  // Null when the text was not a font or the font could not be made.
  HFONT get() const { return font_; }
  // The description as parsed; false when a number was missing.
  static bool parse(const std::wstring& description, double scale, LOGFONTW& out);

 private:
  HFONT font_ = nullptr;
};

struct FontCacheEntry;

// A counted reference into the font cache. The cache exists while any
// FontDesc does.
class FontDesc {
 public:
  explicit FontDesc(double scale = 1.0);
  FontDesc(const FontDesc& other);
  FontDesc& operator=(const FontDesc& other);
  ~FontDesc();

  // The whole text and the desc's scale become the cache key.
  void parse(const std::wstring& text);
  double get_scale() const { return scale_; }
  const FontRep* get_font() const;
  // The extent of the text on one line without prefix processing; (0, 0)
  // without a font, width 0 for an empty text.
  Point measure_text(const std::wstring& text) const;

  // Entries in the cache, for tests; 0 when the cache does not exist.
  static std::size_t cache_size();
  static bool cache_exists();

 private:
  void release();

  FontCacheEntry* entry_ = nullptr;
  double scale_ = 1.0;
};

const FontRep* get_font(const FontDesc& desc);
Point measure_text(const FontDesc& desc, const std::wstring& text);
// The text that fits the width: itself when narrower than the width, else
// its longest head that leaves room for the ellipsis (U+2026), then the
// ellipsis.
std::wstring fit_text(const FontDesc& desc, const std::wstring& text, int width);

class Canvas;

// Text alignment: horizontal 0 left, 1 centre, 2 right; vertical 0 top,
// 1 centre, 2 bottom. Text is always one line, clipped to its rectangle.
// Draws the text into (origin, origin + size) in the colour; nothing
// without a font. Answers 0.
int draw_text(const FontDesc& desc, Canvas& canvas, Colour colour, const std::wstring& text, Point origin, Point size,
              int h_align, int v_align);
// The same with a text that does not fit cut to end in the ellipsis.
int layout_text(const FontDesc& desc, Canvas& canvas, Colour colour, const std::wstring& text, Point origin, Point size,
                int h_align, int v_align);
// What both share: the font selected, the colour set, a transparent
// background, and the extra DrawTextW flags.
int draw_text_flags(const FontRep& font, Canvas& canvas, Colour colour, const std::wstring& text, Point origin,
                    Point size, int h_align, int v_align, UINT extra_flags);

}  // namespace skinner
