#include "home_colors.h"

#include "common/color_scheme.h"

namespace home {

static_assert(kColorCount == suite::CColorScheme::kColorCount);

HomeScheme DefaultScheme() {
  HomeScheme scheme;
  suite::CColorScheme defaults;
  defaults.GetColors(scheme.colors.data());
  return scheme;
}

HomeScheme ReadCurrentScheme() {
  HomeScheme scheme;
  suite::CColorScheme current;
  current.LoadCurrent();
  current.GetColors(scheme.colors.data());
  WCHAR background[suite::CColorScheme::kPathCapacity] = {};
  if (current.GetBgImage(background)) scheme.background = background;
  return scheme;
}

}  // namespace home
