#include "kernel/device_path.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <mutex>
#include <set>
#include <string_view>

#include "ce/strconv.h"
#include "ce/winerror.h"
#include "kernel/device.h"
#include "kernel/volume.h"

namespace ce::kernel::fs {
namespace {

constexpr std::wstring_view kProgramFiles = L"Program Files";
constexpr std::wstring_view kWindows = L"Windows";
// Programs that are part of the device itself: their folder is "\Windows"
// rather than "\Program Files\<Name>".
constexpr std::wstring_view kSystemPrograms[] = {L"Home"};
constexpr std::string_view kRuntimeName = ".runtime";
constexpr std::string_view kConfigName = "device.conf";

struct Mount {
  std::vector<std::wstring> prefix;  // device components the mount stands for
  std::string host;
  int volume = 0;
  bool card = false;
  std::wstring exeDeviceName;  // the program file's device name, in a program mount
  std::string exeHostName;
  std::wstring programName;  // in a program mount
};

struct CardSetting {
  std::wstring name;
  std::string host;  // empty: a folder of the root
};

std::wstring Trim(std::wstring_view text) {
  const auto first = text.find_first_not_of(L" \t");
  if (first == std::wstring_view::npos) return {};
  const auto last = text.find_last_not_of(L" \t");
  return std::wstring(text.substr(first, last - first + 1));
}

std::vector<std::wstring> SplitList(const std::string& value) {
  std::vector<std::wstring> items;
  const std::wstring wide = WideFromUtf8(value);
  std::size_t start = 0;
  while (start <= wide.size()) {
    const auto end = wide.find(L';', start);
    const auto stop = end == std::wstring::npos ? wide.size() : end;
    items.push_back(Trim(std::wstring_view(wide).substr(start, stop - start)));
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return items;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool ValidComponent(std::wstring_view name, bool wildcards) {
  if (name.empty() || name.size() > 255) return false;
  for (wchar_t c : name) {
    if (c < 0x20 || c == L'<' || c == L'>' || c == L':' || c == L'"' || c == L'|') return false;
    if (!wildcards && (c == L'*' || c == L'?')) return false;
  }
  return true;
}

// "Name=/host/folder" or "Name"; entries with a name the device cannot hold
// are skipped.
std::vector<std::pair<std::wstring, std::string>> ParseNamed(const std::string& value) {
  std::vector<std::pair<std::wstring, std::string>> out;
  for (const std::wstring& item : SplitList(value)) {
    const auto eq = item.find(L'=');
    std::wstring name = Trim(std::wstring_view(item).substr(0, eq));
    std::string host =
        eq == std::wstring::npos ? std::string() : Utf8FromWide(Trim(std::wstring_view(item).substr(eq + 1)));
    if (!ValidComponent(name, false) || name == L"." || name == L"..") continue;
    while (host.size() > 1 && host.back() == '/') host.pop_back();
    out.emplace_back(std::move(name), std::move(host));
  }
  return out;
}

std::vector<CardSetting> Cards() {
  std::vector<CardSetting> cards;
  const auto value = ce::device::Setting("storage_cards");
  if (!value) return cards;
  for (auto& [name, host] : ParseNamed(*value)) cards.push_back({name, host});
  return cards;
}

// The running executable's host path: read once, since a process keeps
// its executable (every path resolved asks for it).
const std::string& ExePath() {
  static const std::string path = [] {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
  }();
  return path;
}

std::wstring ExeDeviceName(const std::string& exeHost) {
  std::wstring name = WideFromUtf8(exeHost.substr(exeHost.rfind('/') + 1));
  if (name.size() < 4 || !EqualsNoCase(std::wstring_view(name).substr(name.size() - 4), L".exe")) name += L".exe";
  return name;
}

// The device components a program folder stands for.
std::vector<std::wstring> ProgramPrefix(const std::wstring& program) {
  for (std::wstring_view system : kSystemPrograms) {
    if (EqualsNoCase(program, system)) return {std::wstring(kWindows)};
  }
  return {std::wstring(kProgramFiles), program};
}

std::vector<Mount> Mounts() {
  std::vector<Mount> mounts;
  const std::vector<CardSetting> cards = Cards();
  for (std::size_t i = 0; i < cards.size(); ++i) {
    if (!cards[i].host.empty())
      mounts.push_back({{cards[i].name}, cards[i].host, static_cast<int>(i + 1), true, {}, {}, {}});
  }
  const std::string& exe = ExePath();
  if (!exe.empty()) {
    const std::string exeName = exe.substr(exe.rfind('/') + 1);
    std::wstring program = WideFromUtf8(ce::device::SettingOr("program_name", ""));
    if (program.empty()) {
      program = WideFromUtf8(exeName);
      if (const auto dot = program.rfind(L'.'); dot != std::wstring::npos && dot > 0) program.resize(dot);
    }
    std::string folder = ce::device::SettingOr("program_folder", exe.substr(0, exe.rfind('/')));
    if (folder.empty()) folder = "/";
    if (ValidComponent(program, false)) {
      mounts.push_back({ProgramPrefix(program), folder, 0, false, ExeDeviceName(exe), exeName, program});
    }
  }
  if (const auto more = ce::device::Setting("program_folders")) {
    for (auto& [name, host] : ParseNamed(*more)) {
      if (!host.empty()) mounts.push_back({ProgramPrefix(name), host, 0, false, {}, {}, name});
    }
  }
  return mounts;
}

std::string RealPath(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return {};
  std::string out(real);
  ::free(real);
  return out;
}

bool Within(const std::string& path, const std::string& base) {
  if (base.empty()) return false;
  if (base == "/") return true;
  return path == base ||
         (path.size() > base.size() && path.compare(0, base.size(), base) == 0 && path[base.size()] == '/');
}

// A symbolic link is followed only when it stays inside the device.
bool LinkStaysInside(const std::string& hostPath, const std::vector<Mount>& mounts) {
  const std::string target = RealPath(hostPath);
  if (target.empty()) return false;  // dangling: treat as leaving
  if (Within(target, RealPath(ce::device::Root()))) return true;
  for (const Mount& mount : mounts) {
    if (Within(target, RealPath(mount.host))) return true;
  }
  return false;
}

// Finds `name` in the host folder `dir`: the exact spelling first, else the
// entry equal to it ignoring case (the smallest such host name, so the
// choice never depends on the order the host lists them in).
bool FindEntry(const std::string& dir, const std::wstring& name, bool atRoot, std::string& found) {
  const std::string exact = Utf8FromWide(name);
  struct stat st {};
  if (!(atRoot && IsHiddenRootEntry(exact)) && ::lstat((dir + "/" + exact).c_str(), &st) == 0) {
    found = exact;
    return true;
  }
  DIR* folder = ::opendir(dir.c_str());
  if (!folder) return false;
  bool any = false;
  while (const dirent* entry = ::readdir(folder)) {
    const std::string hostName = entry->d_name;
    // Case folding keeps a character's UTF-8 length, so other lengths never match.
    if (hostName.size() != exact.size()) continue;
    if (hostName == "." || hostName == ".." || (atRoot && IsHiddenRootEntry(hostName))) continue;
    if (!EqualsNoCase(WideFromUtf8(hostName), name)) continue;
    if (!any || hostName < found) found = hostName;
    any = true;
  }
  ::closedir(folder);
  return any;
}

// The outcome of walking components down from a host folder.
struct Walk {
  DWORD error = 0;
  std::string host;
  std::wstring device;
  std::vector<std::string> names;  // the host name of each component walked
  bool exists = false;
};

// Walks comps[index..] down from `host` (device path `device`). `exeMount`:
// the program mount whose executable is found under its device name;
// `fromRoot`: the walk starts at the device root, whose hidden entries it
// skips. A missing leaf is no error; a missing folder on the way is.
Walk WalkDown(std::string host, std::wstring device, const std::vector<std::wstring>& comps, std::size_t index,
              const Mount* exeMount, bool fromRoot, const std::vector<Mount>& mounts) {
  Walk walk;
  bool exists = true;
  for (std::size_t i = index; i < comps.size(); ++i) {
    const bool last = i + 1 == comps.size();
    std::string name;
    bool found = false;
    bool isExe = false;
    if (exeMount && i == exeMount->prefix.size() && !exeMount->exeDeviceName.empty() &&
        EqualsNoCase(comps[i], exeMount->exeDeviceName)) {
      name = exeMount->exeHostName;
      found = isExe = true;
    } else {
      found = FindEntry(host, comps[i], fromRoot && i == 0, name);
    }
    if (!found) {
      if (!last) return Walk{ERROR_PATH_NOT_FOUND, {}, {}, {}, false};
      name = Utf8FromWide(comps[i]);
      host += "/" + name;
      device += L"\\" + comps[i];
      walk.names.push_back(name);
      exists = false;
      break;
    }
    host += "/" + name;
    device += L"\\" + (isExe ? exeMount->exeDeviceName : WideFromUtf8(name));
    walk.names.push_back(name);
    struct stat st {};
    if (::lstat(host.c_str(), &st) != 0) {
      if (!last) return Walk{ERROR_PATH_NOT_FOUND, {}, {}, {}, false};
      exists = false;
      break;
    }
    if (S_ISLNK(st.st_mode) && !LinkStaysInside(host, mounts)) return Walk{ERROR_ACCESS_DENIED, {}, {}, {}, false};
    if (!last && ::stat(host.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
      return Walk{ERROR_PATH_NOT_FOUND, {}, {}, {}, false};
    }
  }
  walk.host = std::move(host);
  walk.device = std::move(device);
  walk.exists = exists;
  return walk;
}

// The device's own folder for a program mount ("Program Files/<Name>" or
// "Windows" below the root), in whatever case the root already spells it.
std::string OwnProgramFolder(const std::string& root, const Mount& mount) {
  std::string folder = root;
  for (std::size_t i = 0; i < mount.prefix.size(); ++i) {
    std::string name;
    if (!FindEntry(folder, mount.prefix[i], i == 0, name)) name = Utf8FromWide(mount.prefix[i]);
    folder += "/" + name;
  }
  return folder;
}

// A path in a program folder: the device's own folder first, then the
// installed one, which is read-only.
DWORD ResolveInProgramFolder(const std::string& root, const Mount& mount, const std::vector<std::wstring>& comps,
                             const std::vector<Mount>& mounts, Resolved& out) {
  std::wstring device;
  for (const std::wstring& p : mount.prefix) device += L"\\" + p;
  const std::size_t index = mount.prefix.size();
  const std::string own = OwnProgramFolder(root, mount);
  const bool isExe =
      comps.size() == index + 1 && !mount.exeDeviceName.empty() && EqualsNoCase(comps[index], mount.exeDeviceName);
  const Walk installed = WalkDown(mount.host, device, comps, index, &mount, false, mounts);
  Walk mine;
  mine.error = ERROR_PATH_NOT_FOUND;
  struct stat ownInfo {};
  if (!isExe && ::stat(own.c_str(), &ownInfo) == 0 && S_ISDIR(ownInfo.st_mode)) {
    mine = WalkDown(own, device, comps, index, nullptr, false, mounts);
  }
  if (mine.error != 0 && mine.error != ERROR_PATH_NOT_FOUND) return mine.error;

  auto ownPath = [&](const std::vector<std::string>& names) {
    std::string host = own;
    for (const std::string& name : names) host += "/" + name;
    return host;
  };
  out.isFixed = comps.size() == index;
  if (mine.error == 0 && mine.exists) {
    out.host = mine.host;
    out.device = mine.device;
    out.writeHost = mine.host;
    if (installed.error == 0 && installed.exists) out.underHost = installed.host;
    out.exists = true;
    return 0;
  }
  if (installed.error == 0 && installed.exists) {
    out.host = installed.host;
    out.device = installed.device;
    out.readOnly = true;
    if (!isExe) out.writeHost = ownPath(installed.names);
    out.needsParents = true;
    out.exists = true;
    return 0;
  }
  if (mine.error == 0) {  // a new entry in a folder of the device's own
    out.host = out.writeHost = mine.host;
    out.device = mine.device;
    return 0;
  }
  if (installed.error == 0) {  // a new entry in an installed folder
    // The executable's name is never made anew: an empty writeHost refuses it.
    out.host = isExe ? installed.host : ownPath(installed.names);
    if (!isExe) out.writeHost = out.host;
    out.device = installed.device;
    out.needsParents = true;
    return 0;
  }
  return installed.error;
}

DWORD ResolveImpl(LPCWSTR path, Resolved& out, std::wstring* mask) {
  out = Resolved{};
  if (!path) return ERROR_INVALID_PARAMETER;
  const std::wstring_view text(path);
  if (text.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  if (text.empty()) return ERROR_PATH_NOT_FOUND;

  // Split into components; "." stays, ".." steps back but never above the root.
  std::vector<std::wstring> parts;
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && IsSeparator(text[pos])) ++pos;
    std::size_t end = pos;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    if (end > pos) parts.emplace_back(text.substr(pos, end - pos));
    pos = end;
  }
  if (mask) {
    if (parts.empty() || IsSeparator(text.back())) return ERROR_FILE_NOT_FOUND;
    *mask = parts.back();
    parts.pop_back();
    if (mask->size() > 255) return ERROR_FILENAME_EXCED_RANGE;
    if (!ValidComponent(*mask, true) || *mask == L"..") return ERROR_INVALID_NAME;
  }
  std::vector<std::wstring> comps;
  for (std::wstring& part : parts) {
    if (part == L".") continue;
    if (part == L"..") {
      if (comps.empty()) return ERROR_ACCESS_DENIED;
      comps.pop_back();
      continue;
    }
    if (part.size() > 255) return ERROR_FILENAME_EXCED_RANGE;
    if (!ValidComponent(part, false)) return ERROR_INVALID_NAME;
    comps.push_back(std::move(part));
  }
  const std::string root = ce::device::Root();
  // The device's own bookkeeping in the root is not part of its namespace.
  if (!comps.empty() && (EqualsNoCase(comps.front(), WideFromUtf8(std::string(kRuntimeName))) ||
                         EqualsNoCase(comps.front(), WideFromUtf8(std::string(kConfigName))))) {
    return ERROR_ACCESS_DENIED;
  }

  // The longest mount the path lies in, else the root.
  const std::vector<Mount> mounts = Mounts();
  const Mount* mount = nullptr;
  for (const Mount& m : mounts) {
    if (m.prefix.size() > comps.size() || (mount && mount->prefix.size() >= m.prefix.size())) continue;
    bool match = true;
    for (std::size_t i = 0; i < m.prefix.size() && match; ++i) match = EqualsNoCase(m.prefix[i], comps[i]);
    if (match) mount = &m;
  }

  if (mount && !mount->card) {
    if (const DWORD error = ResolveInProgramFolder(root, *mount, comps, mounts, out)) return error;
  } else {
    std::string host = root;
    std::wstring device;
    std::size_t index = 0;
    if (mount) {
      host = mount->host;
      for (const std::wstring& p : mount->prefix) device += L"\\" + p;
      index = mount->prefix.size();
      out.volume = mount->volume;
      out.isCard = index == comps.size();
      out.isFixed = index == comps.size();
    } else {
      const std::vector<CardSetting> cards = Cards();
      for (std::size_t i = 0; i < cards.size() && !comps.empty(); ++i) {
        if (cards[i].host.empty() && EqualsNoCase(cards[i].name, comps.front())) {
          out.volume = static_cast<int>(i + 1);
          out.isCard = comps.size() == 1;
        }
      }
      out.isFixed = comps.empty() || out.isCard || (comps.size() == 1 && EqualsNoCase(comps.front(), kProgramFiles));
    }
    Walk walk = WalkDown(host, device, comps, index, nullptr, !mount, mounts);
    if (walk.error != 0) return walk.error;
    out.host = std::move(walk.host);
    out.device = std::move(walk.device);
    out.writeHost = out.host;
    out.exists = walk.exists;
  }
  if (out.exists && ::stat(out.host.c_str(), &out.st) != 0) out.exists = false;
  if (out.device.empty()) out.device = L"\\";
  out.isDirectory = out.exists && S_ISDIR(out.st.st_mode);
  return 0;
}

// The device path of a host path inside the device whose links are all
// resolved: below the longest of the root and the mounts that holds it.
// Nothing for a path outside them or in the root's hidden entries.
std::optional<std::wstring> DeviceFromHost(const std::string& real, const std::vector<Mount>& mounts) {
  std::string base = RealPath(ce::device::Root());
  if (!Within(real, base)) base.clear();
  const Mount* owner = nullptr;
  for (const Mount& mount : mounts) {
    const std::string host = RealPath(mount.host);
    if (Within(real, host) && (base.empty() || host.size() > base.size())) {
      base = host;
      owner = &mount;
    }
  }
  if (base.empty()) return std::nullopt;
  std::wstring device;
  if (owner) {
    for (const std::wstring& p : owner->prefix) device += L"\\" + p;
  }
  const std::string rest = base == "/" ? real.substr(1) : real.substr(std::min(real.size(), base.size() + 1));
  std::size_t start = 0;
  while (start < rest.size()) {
    std::size_t end = rest.find('/', start);
    if (end == std::string::npos) end = rest.size();
    const std::string name = rest.substr(start, end - start);
    if (!owner && start == 0 && IsHiddenRootEntry(name)) return std::nullopt;
    const bool isExe =
        owner && start == 0 && end == rest.size() && !owner->exeHostName.empty() && name == owner->exeHostName;
    device += L"\\" + (isExe ? owner->exeDeviceName : WideFromUtf8(name));
    start = end + 1;
  }
  return device;
}

std::mutex g_standardLock;
std::set<std::string> g_prepared;

}  // namespace

DWORD PrepareWrite(const Resolved& entry) {
  if (!entry.needsParents) return 0;
  if (entry.writeHost.empty()) return ERROR_ACCESS_DENIED;
  const std::string root = ce::device::Root();
  if (!Within(entry.writeHost, root)) return ERROR_ACCESS_DENIED;
  const std::size_t leaf = entry.writeHost.rfind('/');
  for (std::size_t pos = root.size() + 1; pos <= leaf; ++pos) {
    if (pos != leaf && entry.writeHost[pos] != '/') continue;
    const std::string folder = entry.writeHost.substr(0, pos);
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return ErrorFromErrno(errno);
  }
  return 0;
}

DWORD CopyUp(Resolved& entry) {
  if (!entry.readOnly) return 0;
  if (entry.writeHost.empty() || entry.isDirectory) return ERROR_ACCESS_DENIED;
  if (const DWORD error = PrepareWrite(entry)) return error;
  const auto size = static_cast<std::uint64_t>(entry.st.st_size);
  if (!ReserveSpace(0, size)) return ERROR_DISK_FULL;
  const int from = OpenRegularHostFile(entry.host, O_RDONLY | O_CLOEXEC);
  if (from < 0) {
    const int error = errno;
    ReleaseSpace(0, size);
    return ErrorFromErrno(error);
  }
  // Written beside the target and linked into place, so a half-made copy
  // never shows and a copy another process made meanwhile is kept.
  std::string temp = entry.writeHost.substr(0, entry.writeHost.rfind('/')) + "/.copy-XXXXXX";
  const int to = ::mkostemp(temp.data(), O_CLOEXEC);
  if (to < 0) {
    const int error = errno;
    ::close(from);
    ReleaseSpace(0, size);
    return ErrorFromErrno(error);
  }
  int error = 0;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    for (ssize_t done = 0; done < n && error == 0;) {
      const ssize_t w = ::write(to, buffer + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno != EINTR) error = errno;
      if (w > 0) done += w;
    }
    if (error != 0) break;
  }
  if (error == 0 && ::fchmod(to, entry.st.st_mode & 0777) != 0) error = errno;
  if (::close(to) != 0 && error == 0) error = errno;
  ::close(from);
  if (error == 0 && ::link(temp.c_str(), entry.writeHost.c_str()) != 0 && errno != EEXIST) error = errno;
  ::unlink(temp.c_str());
  if (error != 0) {
    ReleaseSpace(0, size);
    return ErrorFromErrno(error);
  }
  entry.host = entry.writeHost;
  entry.readOnly = false;
  entry.needsParents = false;
  if (::stat(entry.host.c_str(), &entry.st) != 0) return ErrorFromErrno(errno);
  return 0;
}

bool IsHiddenRootEntry(const std::string& hostName) { return hostName == kRuntimeName || hostName == kConfigName; }

DWORD Resolve(LPCWSTR path, Resolved& out) {
  EnsureStandardFolders();
  return ResolveImpl(path, out, nullptr);
}

DWORD ResolveWithMask(LPCWSTR path, Resolved& folder, std::wstring& mask) {
  EnsureStandardFolders();
  return ResolveImpl(path, folder, &mask);
}

DWORD CanonicalPath(LPCWSTR path, std::wstring& out) {
  Resolved entry;
  if (const DWORD error = Resolve(path, entry)) return error;
  std::string host = entry.host;
  std::wstring leaf;
  if (!entry.exists) {
    // A new name: its folder is made canonical, the name stays as given.
    leaf = entry.device.substr(entry.device.rfind(L'\\') + 1);
    host = host.substr(0, host.rfind('/'));
  }
  const std::string real = RealPath(host);
  if (real.empty()) {
    // A folder of a program's own that is not made yet: nothing on the way
    // can be a link, and the walk already gave the stored case.
    out = entry.device;
    return 0;
  }
  const std::optional<std::wstring> device = DeviceFromHost(real, Mounts());
  if (!device) return ERROR_ACCESS_DENIED;
  out = *device;
  if (!leaf.empty()) out += L"\\" + leaf;
  if (out.empty()) out = L"\\";
  return 0;
}

std::vector<MountEntry> MountsIn(const std::wstring& deviceFolder) {
  std::vector<MountEntry> entries;
  for (const Mount& mount : Mounts()) {
    std::wstring parent;
    for (std::size_t i = 0; i + 1 < mount.prefix.size(); ++i) parent += L"\\" + mount.prefix[i];
    if (parent.empty()) parent = L"\\";
    if (EqualsNoCase(parent, deviceFolder)) entries.push_back({mount.prefix.back(), mount.host, mount.card});
  }
  return entries;
}

std::vector<Volume> Volumes() {
  std::vector<Volume> volumes;
  Volume store;
  store.host = ce::device::Root();
  if (const auto free = ce::device::Setting("free_bytes"); free && !free->empty()) {
    const long long value = ce::device::SettingNumber("free_bytes", -1);
    if (value >= 0) store.freeOverride = static_cast<unsigned long long>(value);
  }
  volumes.push_back(store);
  const std::vector<CardSetting> cards = Cards();
  std::vector<std::wstring> frees;
  if (const auto value = ce::device::Setting("storage_card_free_bytes")) frees = SplitList(*value);
  for (std::size_t i = 0; i < cards.size(); ++i) {
    Volume card;
    card.index = static_cast<int>(i + 1);
    card.name = cards[i].name;
    if (!cards[i].host.empty()) {
      card.host = cards[i].host;
    } else {
      std::string found;
      card.host =
          store.host + "/" + (FindEntry(store.host, cards[i].name, true, found) ? found : Utf8FromWide(cards[i].name));
    }
    if (i < frees.size() && !frees[i].empty()) {
      const std::string digits = Utf8FromWide(frees[i]);
      unsigned long long value = 0;
      const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
      if (ec == std::errc() && ptr == digits.data() + digits.size()) card.freeOverride = value;
    }
    volumes.push_back(card);
  }
  return volumes;
}

Volume VolumeOf(int index) {
  std::vector<Volume> volumes = Volumes();
  if (index < 0 || static_cast<std::size_t>(index) >= volumes.size()) return volumes.front();
  return volumes[static_cast<std::size_t>(index)];
}

std::string ProgramHostPath() { return ExePath(); }

std::wstring ProgramDevicePath() {
  for (const Mount& mount : Mounts()) {
    if (mount.exeDeviceName.empty()) continue;
    std::wstring path;
    for (const std::wstring& p : mount.prefix) path += L"\\" + p;
    return path + L"\\" + mount.exeDeviceName;
  }
  return {};
}

std::vector<ProgramMount> ProgramMounts() {
  std::vector<ProgramMount> out;
  for (const Mount& mount : Mounts()) {
    if (mount.card) continue;
    std::wstring device;
    for (const std::wstring& p : mount.prefix) device += L"\\" + p;
    out.push_back({device, mount.programName, mount.host, mount.exeHostName});
  }
  return out;
}

std::string HostChild(const std::string& hostFolder, const std::wstring& name) {
  return hostFolder + "/" + Utf8FromWide(name);
}

int OpenRegularHostFile(const std::string& host, int flags, unsigned mode) {
  const int fd = ::open(host.c_str(), flags | O_NONBLOCK, static_cast<mode_t>(mode));
  if (fd < 0) {
    // A FIFO opened for writing with no reader.
    if (errno == ENXIO) errno = EACCES;
    return -1;
  }
  struct stat st {};
  const bool stated = ::fstat(fd, &st) == 0;
  if (!stated || !S_ISREG(st.st_mode)) {
    const int error = stated ? EACCES : errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  if (const int status = ::fcntl(fd, F_GETFL); status >= 0) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  return fd;
}

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EBUSY:
      return ERROR_BUSY;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case ELOOP:
      return ERROR_ACCESS_DENIED;
    default:
      return ERROR_GEN_FAILURE;
  }
}

void EnsureStandardFolders() {
  const std::string root = ce::device::Root();
  {
    std::lock_guard guard(g_standardLock);
    if (!g_prepared.insert(root + "\n" + ce::device::SettingOr("storage_cards", "")).second) return;
  }
  // Each folder is made only when no folder of that name in another case
  // exists, so a device laid out by hand keeps its own spelling.
  static constexpr const wchar_t* kFolders[] = {L"My Documents", L"Windows", L"Program Files", L"Application Data"};
  std::vector<std::wstring> names(std::begin(kFolders), std::end(kFolders));
  for (const CardSetting& card : Cards()) {
    if (card.host.empty()) {
      names.push_back(card.name);
    } else {
      ::mkdir(card.host.c_str(), 0777);
    }
  }
  for (const std::wstring& name : names) {
    std::string found;
    if (!FindEntry(root, name, true, found)) ::mkdir((root + "/" + Utf8FromWide(name)).c_str(), 0777);
  }
}

}  // namespace ce::kernel::fs
