#include "skinner/state_look.h"

#include "skinner/control.h"

namespace skinner {

void StateLook::load(const Control& control, const std::wstring& key, const StateLook& fallback) {
  // The fallback may be this look itself: read every value before storing.
  Picture new_picture = control.read_picture(key, fallback.picture);
  FontDesc new_font = control.read_font(key, fallback.font);
  const Colour new_colour = control.read_colour(key, fallback.colour);
  picture = new_picture;
  font = new_font;
  colour = new_colour;
}

}  // namespace skinner
