// The home screen's layout file: the plug-ins in the order they are shown.
//
//   <home>
//     <plugin clsid="{...}"/> ...
//   </home>
//
// (Its colours and background are the colour scheme's, read by the suite's
// CColorScheme.)
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ce/objbase.h"

namespace home {

// A layout names at most this many plug-ins; later ones are ignored.
inline constexpr std::size_t kMaxPlugins = 32;

struct LayoutPlugin {
  std::wstring clsidText;  // as written in the file, braces included
  CLSID clsid{};
};

struct HomeLayout {
  std::vector<LayoutPlugin> plugins;
};

// Reads a device file or a document's text. False for a file that is
// missing or malformed, or whose root is not "home". Within a good document
// a plug-in without a well-formed braced CLSID is skipped. `why` (optional)
// says what was wrong.
bool ReadHomeFile(const wchar_t* path, HomeLayout& out, std::wstring* why = nullptr);
bool ReadHomeText(std::wstring_view text, HomeLayout& out, std::wstring* why = nullptr);

}  // namespace home
