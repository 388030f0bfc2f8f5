#include <algorithm>

#include "ce/winuser.h"
#include "skinner/canvas.h"
#include "skinner/font.h"

namespace skinner {

namespace {

UINT horizontal_flag(int align) { return align == 1 ? DT_CENTER : align == 2 ? DT_RIGHT : DT_LEFT; }
UINT vertical_flag(int align) { return align == 1 ? DT_VCENTER : align == 2 ? DT_BOTTOM : DT_TOP; }

}  // namespace

int draw_text_flags(const FontRep& font, Canvas& canvas, Colour colour, const std::wstring& text, Point origin,
                    Point size, int h_align, int v_align, UINT extra_flags) {
  HDC dc = canvas.get_dc();
  if (dc == nullptr) return 0;
  const COLORREF old_colour = SetTextColor(dc, to_colorref(colour));
  // A font that could not be made leaves the context's own font selected.
  HGDIOBJ old_font = font.get() != nullptr ? SelectObject(dc, font.get()) : nullptr;
  const int old_mode = SetBkMode(dc, TRANSPARENT);
  RECT rect{origin.x, origin.y, static_cast<LONG>(std::min<std::int64_t>(std::int64_t{origin.x} + size.x, INT32_MAX)),
            static_cast<LONG>(std::min<std::int64_t>(std::int64_t{origin.y} + size.y, INT32_MAX))};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
            horizontal_flag(h_align) | vertical_flag(v_align) | extra_flags | DT_SINGLELINE);
  SetBkMode(dc, old_mode);
  if (old_font != nullptr) SelectObject(dc, old_font);
  SetTextColor(dc, old_colour);
  return 0;
}

int draw_text(const FontDesc& desc, Canvas& canvas, Colour colour, const std::wstring& text, Point origin, Point size,
              int h_align, int v_align) {
  const FontRep* font = desc.get_font();
  if (font == nullptr) return 0;
  return draw_text_flags(*font, canvas, colour, text, origin, size, h_align, v_align, DT_NOPREFIX);
}

int layout_text(const FontDesc& desc, Canvas& canvas, Colour colour, const std::wstring& text, Point origin, Point size,
                int h_align, int v_align) {
  const FontRep* font = desc.get_font();
  if (font == nullptr) return 0;
  return draw_text_flags(*font, canvas, colour, fit_text(desc, text, size.x), origin, size, h_align, v_align,
                         DT_NOPREFIX);
}

}  // namespace skinner
