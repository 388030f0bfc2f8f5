// Where the home screen's settings live: HKEY_CURRENT_USER "ControlPanel\Home"
// names the layout ("Scheme"), the colour-scheme file ("ColorScheme") and the
// background picture ("BgImage"); the plug-ins' saved bytes sit under its
// "Plugins" key, one value per CLSID.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ce/minwindef.h"
#include "home_layout.h"

namespace home {

inline constexpr wchar_t kHomeKey[] = L"ControlPanel\\Home";
// A registry path value longer than this is refused.
inline constexpr DWORD kMaxSettingChars = 255;
// Saved plug-in bytes beyond this are neither written nor read.
inline constexpr std::size_t kMaxPluginBytes = 64 * 1024;

struct HomeSettings {
  std::wstring scheme;       // the layout file
  std::wstring colorScheme;  // the colour-scheme file; empty: the layout's colours
  std::wstring bgImage;      // overrides the files' background when not empty
};

HomeSettings ReadHomeSettings();
bool WriteHomeSetting(const wchar_t* name, const std::wstring& value);

// "\IPSM\" on a device of major version 3, else "\Storage\".
std::wstring StorageRoot();

// The layout "Scheme" names. False when it cannot be read (`why` says why).
bool ReadCurrentLayout(const HomeSettings& settings, HomeLayout& out, std::wstring* why);

// The bytes a plug-in saved, and saving them (empty bytes remove the value).
std::vector<std::uint8_t> ReadPluginBytes(const std::wstring& clsidText);
bool WritePluginBytes(const std::wstring& clsidText, const std::vector<std::uint8_t>& bytes);

// On a device without a layout: writes the default layout and colour scheme
// carried in the module's resources to root + "Application Data\Home\" and
// points "Scheme" and "ColorScheme" at them; and registers each plug-in the
// resources list that the registry does not know yet and whose library is
// found. Never replaces a file or value that exists.
void InstallDefaults(HINSTANCE module);

}  // namespace home
