// The home screen's layout file: the plug-ins in the order they are shown,
// the background picture, and the colour scheme the layout carries.
//
//   <home>
//     <background bgimage="\Windows\picture.bmp"/>
//     <scheme><color name="COLOR_WINDOW" value="#FFFFFF"/> ...</scheme>
//     <plugin clsid="{...}"/> ...
//   </home>
//
// A colour-scheme file has the same "scheme" and "background" under a
// "colorscheme" root.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "ce/objbase.h"
#include "home_colors.h"

namespace home {

// Limits on what a file may hold; anything beyond is refused.
inline constexpr std::size_t kMaxPlugins = 32;
inline constexpr std::size_t kMaxColorEntries = 256;
inline constexpr std::size_t kMaxPathChars = 259;

struct LayoutPlugin {
  std::wstring clsidText;  // as written in the file, braces included
  CLSID clsid{};
};

struct SchemeColors {
  ColorTable colors{};
  std::array<bool, kColorCount> present{};  // which slots the file set
};

struct HomeLayout {
  std::vector<LayoutPlugin> plugins;
  std::wstring background;  // empty: none
  SchemeColors scheme;
};

enum class FileKind { Layout, ColorScheme };

// Reads a device file or a document's text. False for a file that is
// missing, malformed, or whose root is not the kind's ("home",
// "colorscheme"). Within a good document, a plug-in without a well-formed
// braced CLSID, an unknown colour name, a value that is not "#RRGGBB" and a
// background path longer than kMaxPathChars are skipped; entries beyond the
// limits above are ignored. `why` (optional) says what was wrong.
bool ReadHomeFile(const wchar_t* path, FileKind kind, HomeLayout& out, std::wstring* why = nullptr);
bool ReadHomeText(std::wstring_view text, FileKind kind, HomeLayout& out, std::wstring* why = nullptr);

}  // namespace home
