#include "home_settings.h"

#include <algorithm>

#include "ce/kernel/file.h"
#include "ce/kernel/system.h"
#include "ce/objbase.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "ce/winreg.h"
#include "common/log.h"

namespace home {
namespace {

// Resources of the home screen's module.
constexpr WORD kDefaultLayoutResource = 1;
constexpr WORD kDefaultSchemeResource = 2;
constexpr WORD kPluginListResource = 3;
constexpr WORD kStartMenuResource = 4;
constexpr wchar_t kDataType[] = L"HOMEDATA";

std::optional<std::wstring> ReadString(HKEY key, const wchar_t* name) {
  wchar_t buffer[kMaxSettingChars + 1] = {};
  DWORD type = 0;
  DWORD size = sizeof buffer;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  if (type != REG_SZ) return std::nullopt;
  // The size is the device's (two bytes a character); whatever it says, the
  // text ends inside the buffer.
  buffer[std::min<DWORD>(size / 2, kMaxSettingChars)] = L'\0';
  return std::wstring(buffer);
}

std::wstring PluginKey(const std::wstring& clsidText) { return std::wstring(kHomeKey) + L"\\Plugins\\" + clsidText; }

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::uint8_t> ResourceBytes(HINSTANCE module, WORD id) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), kDataType);
  if (!found) return {};
  const DWORD size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  const auto* bytes = static_cast<const std::uint8_t*>(LockResource(loaded));
  if (!bytes || size == 0) return {};
  return {bytes, bytes + size};
}

// Writes a new file beside the target, then renames it into place; an
// existing target is left alone.
bool WriteNewFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  if (FileExists(path)) return true;
  const std::wstring temporary = path + L".new";
  DeleteFileW(temporary.c_str());
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size() && FlushFileBuffers(file);
  CloseHandle(file);
  if (!ok || !MoveFileW(temporary.c_str(), path.c_str())) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

void MakeFolders(const std::wstring& folder) {
  for (std::size_t pos = 1; pos != std::wstring::npos; pos = folder.find(L'\\', pos + 1)) {
    CreateDirectoryW(folder.substr(0, pos).c_str(), nullptr);
  }
  CreateDirectoryW(folder.c_str(), nullptr);
}

bool IsRegistered(const std::wstring& clsidText) {
  HKEY key = nullptr;
  const std::wstring path = L"CLSID\\" + clsidText + L"\\InprocServer32";
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Each line of the list: a braced CLSID, a space, the library's file name.
void RegisterListedPlugins(HINSTANCE module) {
  const std::vector<std::uint8_t> list = ResourceBytes(module, kPluginListResource);
  const std::wstring text = ce::WideFromUtf8(std::string(list.begin(), list.end()));
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = text.substr(start, end - start);
    start = end + 1;
    const std::size_t space = line.find(L' ');
    if (space == std::wstring::npos) continue;
    const std::wstring clsid = line.substr(0, space);
    std::wstring library = line.substr(space + 1);
    while (!library.empty() && (library.back() == L'\r' || library.back() == L' ')) library.pop_back();
    if (IsRegistered(clsid)) continue;
    HMODULE plugin = LoadLibraryW(library.c_str());
    if (!plugin) continue;  // not built or not installed: its block stays plain
    using RegisterProc = HRESULT (*)();
    FARPROC entry = GetProcAddressW(plugin, L"DllRegisterServer");
    const HRESULT hr = entry ? reinterpret_cast<RegisterProc>(reinterpret_cast<void (*)()>(entry))() : E_FAIL;
    if (FAILED(hr)) {
      suite::LogLine(L"Home: %s could not register itself (0x%08X)", library.c_str(), static_cast<unsigned>(hr));
    }
    FreeLibrary(plugin);
  }
}

}  // namespace

HomeSettings ReadHomeSettings() {
  HomeSettings settings;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kHomeKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return settings;
  settings.scheme = ReadString(key, L"Scheme").value_or(L"");
  settings.colorScheme = ReadString(key, L"ColorScheme").value_or(L"");
  settings.bgImage = ReadString(key, L"BgImage").value_or(L"");
  RegCloseKey(key);
  return settings;
}

bool WriteHomeSetting(const wchar_t* name, const std::wstring& value) {
  if (value.size() > kMaxSettingChars) return false;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kHomeKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LONG status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>((value.size() + 1) * 2));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

std::wstring StorageRoot() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (GetVersionExW(&info) && info.dwMajorVersion == 3) return L"\\IPSM\\";
  return L"\\Storage\\";
}

bool ReadCurrentLayout(const HomeSettings& settings, HomeLayout& out, std::wstring* why) {
  if (settings.scheme.empty()) {
    if (why) *why = L"no layout is set (\"Scheme\")";
    return false;
  }
  std::wstring reason;
  if (!ReadHomeFile(settings.scheme.c_str(), out, &reason)) {
    if (why) *why = settings.scheme + L": " + reason;
    return false;
  }
  return true;
}

std::vector<std::uint8_t> ReadPluginBytes(const std::wstring& clsidText) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, PluginKey(clsidText).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  std::vector<std::uint8_t> bytes(kMaxPluginBytes);
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(bytes.size());
  const LONG status = RegQueryValueExW(key, L"Data", nullptr, &type, bytes.data(), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_BINARY) return {};
  bytes.resize(std::min<std::size_t>(size, kMaxPluginBytes));
  return bytes;
}

bool WritePluginBytes(const std::wstring& clsidText, const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() > kMaxPluginBytes) return false;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, PluginKey(clsidText).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG status = bytes.empty()
                          ? RegDeleteValueW(key, L"Data")
                          : RegSetValueExW(key, L"Data", 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
  return status == ERROR_SUCCESS || (bytes.empty() && status == ERROR_FILE_NOT_FOUND);
}

// Each line of the list: a shortcut's name, '=', the program's device path.
// A new device's Start Menu gets a shortcut to each listed program that is
// installed, as the programs' own installation would give it.
void InstallStartMenu(HINSTANCE module) {
  const std::vector<std::uint8_t> list = ResourceBytes(module, kStartMenuResource);
  const std::wstring text = ce::WideFromUtf8(std::string(list.begin(), list.end()));
  const std::wstring folder = StorageRoot() + L"Windows\\Start Menu\\Programs";
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == L'\r' || line.back() == L' ')) line.pop_back();
    const std::size_t equals = line.find(L'=');
    if (equals == std::wstring::npos || equals == 0) continue;
    const std::wstring name = line.substr(0, equals);
    const std::wstring target = line.substr(equals + 1);
    // A built program has no suffix on the host; the device adds ".exe".
    const std::wstring bare = target.size() > 4 ? target.substr(0, target.size() - 4) : target;
    if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES &&
        GetFileAttributesW(bare.c_str()) == INVALID_FILE_ATTRIBUTES) {
      continue;  // not installed
    }
    const std::string quoted = "\"" + ce::Utf8FromWide(target) + "\"";
    const std::string shortcut = std::to_string(quoted.size()) + "#" + quoted;
    MakeFolders(folder);
    WriteNewFile(folder + L"\\" + name + L".lnk", std::vector<std::uint8_t>(shortcut.begin(), shortcut.end()));
  }
}

void InstallDefaults(HINSTANCE module) {
  const HomeSettings settings = ReadHomeSettings();
  if (settings.scheme.empty()) {
    const std::wstring folder = StorageRoot() + L"Application Data\\Home";
    MakeFolders(folder);
    const std::wstring layout = folder + L"\\default.home.xml";
    const std::wstring scheme = folder + L"\\vrn.scheme.xml";
    const bool layoutWritten = WriteNewFile(layout, ResourceBytes(module, kDefaultLayoutResource));
    const bool schemeWritten = WriteNewFile(scheme, ResourceBytes(module, kDefaultSchemeResource));
    if (schemeWritten && settings.colorScheme.empty()) WriteHomeSetting(L"ColorScheme", scheme);
    if (layoutWritten) WriteHomeSetting(L"Scheme", layout);
    if (!layoutWritten) suite::LogLine(L"Home: could not write %s", layout.c_str());
    InstallStartMenu(module);
  }
  RegisterListedPlugins(module);
}

}  // namespace home
