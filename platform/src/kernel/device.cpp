#include "kernel/device.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>

namespace ce::device {
namespace {

struct State {
  std::mutex lock;
  bool loaded = false;
  std::string root;
  std::string runtime;
  std::map<std::string, std::string> settings;
};

State& TheState() {
  static State* state = new State;
  return *state;
}

void MakeFolders(const std::string& path) {
  for (std::size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos == path.size() || path[pos] == '/') {
      ::mkdir(path.substr(0, pos).c_str(), 0777);
    }
  }
}

std::string Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

std::string EnvName(std::string_view key) {
  std::string name = "DEVICE_";
  for (char c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c == '.' || c == '-') c = '_';
    name += c;
  }
  return name;
}

std::string DefaultRoot() {
  if (const char* root = std::getenv("DEVICE_ROOT"); root && *root) return root;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return std::string(data) + "/handheld-device";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.local/share/handheld-device";
}

void LoadLocked(State& state) {
  if (state.loaded) return;
  state.root = DefaultRoot();
  while (state.root.size() > 1 && state.root.back() == '/') state.root.pop_back();
  MakeFolders(state.root);
  state.runtime = state.root + "/.runtime";
  MakeFolders(state.runtime);
  state.settings.clear();
  std::ifstream conf(state.root + "/device.conf");
  std::string line;
  while (std::getline(conf, line)) {
    line = line.substr(0, line.find('#'));
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = Trim(std::string_view(line).substr(0, eq));
    if (!key.empty()) state.settings[key] = Trim(std::string_view(line).substr(eq + 1));
  }
  state.loaded = true;
}

}  // namespace

std::string Root() {
  State& state = TheState();
  std::lock_guard guard(state.lock);
  LoadLocked(state);
  return state.root;
}

std::string RuntimeFolder() {
  State& state = TheState();
  std::lock_guard guard(state.lock);
  LoadLocked(state);
  return state.runtime;
}

std::optional<std::string> Setting(std::string_view key) {
  if (const char* value = std::getenv(EnvName(key).c_str())) return std::string(value);
  State& state = TheState();
  std::lock_guard guard(state.lock);
  LoadLocked(state);
  const auto it = state.settings.find(std::string(key));
  if (it == state.settings.end()) return std::nullopt;
  return it->second;
}

std::string SettingOr(std::string_view key, std::string_view fallback) {
  auto value = Setting(key);
  return value ? *value : std::string(fallback);
}

long long SettingNumber(std::string_view key, long long fallback) {
  const auto value = Setting(key);
  if (!value) return fallback;
  long long number = 0;
  const char* begin = value->data();
  const char* end = begin + value->size();
  const auto [ptr, ec] = std::from_chars(begin, end, number);
  if (ec != std::errc() || ptr != end) return fallback;
  return number;
}

void Reset() {
  State& state = TheState();
  std::lock_guard guard(state.lock);
  state.loaded = false;
}

}  // namespace ce::device
