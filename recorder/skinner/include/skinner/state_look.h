// One look of a control state: a picture, a font and a text colour, read
// under one skin key; a missing key falls back to another look.
#pragma once

#include <string>

#include "skinner/font.h"
#include "skinner/picture.h"
#include "skinner/properties.h"

namespace skinner {

class Control;

struct StateLook {
  StateLook() = default;

  Picture picture;
  FontDesc font;
  Colour colour;

  // Reads the picture, font and colour of the key, each defaulting to the
  // fallback's.
  void load(const Control& control, const std::wstring& key, const StateLook& fallback);
};

}  // namespace skinner
