// User notifications: the device's store of registrations, one text file in
// the runtime folder that every program of the device reads and rewrites
// under a lock (see notify_store.h for its form).
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <sstream>

#include "ce/notify.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "kernel/debug_output.h"
#include "kernel/device.h"
#include "kernel/notify_store.h"

namespace ce::kernel::notify {
namespace {

constexpr std::string_view kHeading = "notifications 1";

std::string Escape(const std::wstring& text) {
  std::string out;
  for (char c : ce::Utf8FromWide(text)) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::optional<std::wstring> Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        return std::nullopt;
    }
  }
  std::wstring wide = ce::WideFromUtf8(out);
  if (wide.size() > kLongestText) return std::nullopt;
  return wide;
}

std::vector<std::string_view> SplitOn(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t pos = 0;
  while (true) {
    const std::size_t end = text.find(separator, pos);
    parts.push_back(text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
    if (end == std::string_view::npos) return parts;
    pos = end + 1;
  }
}

std::optional<std::uint32_t> Number(std::string_view text) {
  std::uint32_t value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

void PutTime(std::ostringstream& out, const SYSTEMTIME& t) {
  out << ' ' << t.wYear << ' ' << t.wMonth << ' ' << t.wDayOfWeek << ' ' << t.wDay << ' ' << t.wHour << ' ' << t.wMinute
      << ' ' << t.wSecond << ' ' << t.wMilliseconds;
}

std::optional<Notification> ParseLine(std::string_view line) {
  const auto fields = SplitOn(line, '\t');
  if (fields.size() != 6) return std::nullopt;
  const auto words = SplitOn(fields[0], ' ');
  constexpr std::size_t kNumbers = 3 + 8 + 8 + 3;
  if (words.size() != kNumbers) return std::nullopt;
  std::uint32_t numbers[kNumbers];
  for (std::size_t i = 0; i < kNumbers; ++i) {
    const auto value = Number(words[i]);
    if (!value) return std::nullopt;
    numbers[i] = *value;
  }
  for (std::size_t i = 3; i < 19; ++i) {
    if (numbers[i] > 0xFFFF) return std::nullopt;
  }
  Notification n;
  n.id = numbers[0];
  n.type = numbers[1];
  n.event = numbers[2];
  const auto word = [&](std::size_t i) { return static_cast<WORD>(numbers[i]); };
  n.start = SYSTEMTIME{word(3), word(4), word(5), word(6), word(7), word(8), word(9), word(10)};
  n.end = SYSTEMTIME{word(11), word(12), word(13), word(14), word(15), word(16), word(17), word(18)};
  if (numbers[19] > 1) return std::nullopt;
  n.hasUser = numbers[19] == 1;
  n.actionFlags = numbers[20];
  n.maxSound = numbers[21];
  if (n.id == 0 || n.type < CNT_EVENT || n.type > CNT_CLASSICTIME) return std::nullopt;
  std::wstring* texts[] = {&n.application, &n.arguments, &n.title, &n.text, &n.sound};
  for (std::size_t i = 0; i < 5; ++i) {
    auto text = Unescape(fields[i + 1]);
    if (!text) return std::nullopt;
    *texts[i] = std::move(*text);
  }
  if (n.application.empty()) return std::nullopt;
  return n;
}

}  // namespace

std::optional<Store> ParseStore(std::string_view text) {
  if (text.size() > kLargestStore) return std::nullopt;
  auto lines = SplitOn(text, '\n');
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  if (lines.size() < 2 || lines[0] != kHeading || lines[1].substr(0, 5) != "next ") return std::nullopt;
  const auto next = Number(lines[1].substr(5));
  if (!next || *next == 0) return std::nullopt;
  Store store;
  store.next = *next;
  if (lines.size() - 2 > kMostNotifications) return std::nullopt;
  for (std::size_t i = 2; i < lines.size(); ++i) {
    auto n = ParseLine(lines[i]);
    if (!n || n->id >= store.next) return std::nullopt;
    for (const Notification& other : store.items) {
      if (other.id == n->id) return std::nullopt;
    }
    store.items.push_back(std::move(*n));
  }
  return store;
}

std::string FormatStore(const Store& store) {
  std::ostringstream out;
  out << kHeading << '\n' << "next " << store.next << '\n';
  for (const Notification& n : store.items) {
    out << n.id << ' ' << n.type << ' ' << n.event;
    PutTime(out, n.start);
    PutTime(out, n.end);
    out << ' ' << (n.hasUser ? 1 : 0) << ' ' << n.actionFlags << ' ' << n.maxSound;
    for (const std::wstring* t : {&n.application, &n.arguments, &n.title, &n.text, &n.sound}) out << '\t' << Escape(*t);
    out << '\n';
  }
  return out.str();
}

}  // namespace ce::kernel::notify

namespace {

using ce::kernel::notify::Notification;
using ce::kernel::notify::Store;

std::string StorePath() { return ce::device::RuntimeFolder() + "/notifications.txt"; }

// Holds the store's lock (a lock file beside it) while it lives.
class StoreLock {
 public:
  StoreLock() {
    fd_ = ::open((ce::device::RuntimeFolder() + "/notifications.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {}
    }
  }
  ~StoreLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;

 private:
  int fd_ = -1;
};

Store Load() {
  const std::string path = StorePath();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Store{};
  std::string text;
  char chunk[65536];
  bool tooLarge = false;
  while (true) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(chunk, static_cast<std::size_t>(got));
    if (text.size() > ce::kernel::notify::kLargestStore) {
      tooLarge = true;
      break;
    }
  }
  ::close(fd);
  auto store = tooLarge ? std::nullopt : ce::kernel::notify::ParseStore(text);
  if (!store) {
    ce::kernel::Diagnostic("notifications: %s is not a valid store; it is taken as empty", path.c_str());
    return Store{};
  }
  return *store;
}

bool Save(const Store& store) {
  const std::string path = StorePath();
  const std::string temp = path + ".new";
  const std::string text = ce::kernel::notify::FormatStore(store);
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  bool ok = fd >= 0;
  for (std::size_t done = 0; ok && done < text.size();) {
    const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    ok = wrote > 0;
    if (ok) done += static_cast<std::size_t>(wrote);
  }
  if (fd >= 0) {
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
  }
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    ce::kernel::Diagnostic("notifications: cannot write %s (the old store stays)", path.c_str());
  }
  return ok;
}

std::uint32_t IdOf(HANDLE handle) {
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  return value > 0xFFFFFFFFu ? 0 : static_cast<std::uint32_t>(value);
}

HANDLE HandleOf(std::uint32_t id) { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(id)); }

std::wstring Text(const TCHAR* text) { return text ? std::wstring(text) : std::wstring(); }

bool ValidTime(const SYSTEMTIME& time) {
  FILETIME unused{};
  return SystemTimeToFileTime(&time, &unused) != FALSE;
}

bool TooLong(const TCHAR* text) { return text && std::wcslen(text) > ce::kernel::notify::kLongestText; }

}  // namespace

HANDLE CeSetUserNotificationEx(HANDLE notification, CE_NOTIFICATION_TRIGGER* trigger,
                               CE_USER_NOTIFICATION* userNotification) {
  if (!trigger || trigger->dwSize != sizeof(CE_NOTIFICATION_TRIGGER) || trigger->dwType < CNT_EVENT ||
      trigger->dwType > CNT_CLASSICTIME || !trigger->lpszApplication || trigger->lpszApplication[0] == L'\0' ||
      TooLong(trigger->lpszApplication) || TooLong(trigger->lpszArguments)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const DWORD type = trigger->dwType;
  if ((type != CNT_EVENT && !ValidTime(trigger->stStartTime)) ||
      (type == CNT_PERIOD && !ValidTime(trigger->stEndTime)) ||
      ((type == CNT_PERIOD || type == CNT_CLASSICTIME) && !userNotification)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (userNotification && (TooLong(userNotification->pwszDialogTitle) || TooLong(userNotification->pwszDialogText) ||
                           TooLong(userNotification->pwszSound))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Notification n;
  n.type = type;
  n.event = type == CNT_EVENT ? trigger->dwEvent : 0;
  if (type != CNT_EVENT) n.start = trigger->stStartTime;
  if (type == CNT_PERIOD) n.end = trigger->stEndTime;
  n.application = trigger->lpszApplication;
  n.arguments = Text(trigger->lpszArguments);
  if (userNotification) {
    n.hasUser = true;
    n.actionFlags = userNotification->ActionFlags;
    n.maxSound = userNotification->nMaxSound;
    n.title = Text(userNotification->pwszDialogTitle);
    n.text = Text(userNotification->pwszDialogText);
    n.sound = Text(userNotification->pwszSound);
  }

  StoreLock lock;
  Store store = Load();
  if (notification) {
    const std::uint32_t id = IdOf(notification);
    const auto it =
        std::find_if(store.items.begin(), store.items.end(), [&](const Notification& x) { return x.id == id; });
    if (id == 0 || it == store.items.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    n.id = id;
    *it = std::move(n);
  } else {
    if (store.items.size() >= ce::kernel::notify::kMostNotifications || store.next == 0xFFFFFFFFu) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    n.id = store.next++;
    store.items.push_back(std::move(n));
  }
  const std::uint32_t id = notification ? IdOf(notification) : store.items.back().id;
  if (!Save(store)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return HandleOf(id);
}

BOOL CeClearUserNotification(HANDLE notification) {
  const std::uint32_t id = IdOf(notification);
  StoreLock lock;
  Store store = Load();
  const auto it =
      std::find_if(store.items.begin(), store.items.end(), [&](const Notification& x) { return x.id == id; });
  if (id == 0 || it == store.items.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  store.items.erase(it);
  if (!Save(store)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

BOOL CeGetUserNotificationHandles(HANDLE* handles, DWORD count, LPDWORD needed) {
  if (!needed || (count > 0 && !handles)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Store store;
  {
    StoreLock lock;
    store = Load();
  }
  *needed = static_cast<DWORD>(store.items.size());
  if (count < store.items.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  for (std::size_t i = 0; i < store.items.size(); ++i) handles[i] = HandleOf(store.items[i].id);
  return TRUE;
}

namespace {

constexpr std::size_t AlignUp(std::size_t offset, std::size_t alignment) {
  return (offset + alignment - 1) / alignment * alignment;
}

}  // namespace

BOOL CeGetUserNotification(HANDLE notification, UINT bufferSize, LPDWORD needed, LPBYTE buffer) {
  if (!needed || (bufferSize > 0 && !buffer)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::uint32_t id = IdOf(notification);
  Store store;
  {
    StoreLock lock;
    store = Load();
  }
  const auto it =
      std::find_if(store.items.begin(), store.items.end(), [&](const Notification& x) { return x.id == id; });
  if (id == 0 || it == store.items.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const Notification& n = *it;
  // The layout: header, trigger, user notification, then the texts.
  const std::size_t triggerAt = AlignUp(sizeof(CE_NOTIFICATION_INFO_HEADER), alignof(CE_NOTIFICATION_TRIGGER));
  const std::size_t userAt = AlignUp(triggerAt + sizeof(CE_NOTIFICATION_TRIGGER), alignof(CE_USER_NOTIFICATION));
  std::size_t textAt = AlignUp(n.hasUser ? userAt + sizeof(CE_USER_NOTIFICATION) : userAt, alignof(TCHAR));
  const std::wstring* texts[] = {&n.application, &n.arguments, &n.title, &n.text, &n.sound};
  const std::size_t textCount = n.hasUser ? 5 : 2;
  std::size_t total = textAt;
  for (std::size_t i = 0; i < textCount; ++i) total += (texts[i]->size() + 1) * sizeof(TCHAR);
  *needed = static_cast<DWORD>(total);
  if (bufferSize < total) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (reinterpret_cast<std::uintptr_t>(buffer) % alignof(CE_NOTIFICATION_INFO_HEADER) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::memset(buffer, 0, total);
  TCHAR* placed[5] = {};
  for (std::size_t i = 0; i < textCount; ++i) {
    placed[i] = reinterpret_cast<TCHAR*>(buffer + textAt);
    std::wmemcpy(placed[i], texts[i]->c_str(), texts[i]->size() + 1);
    textAt += (texts[i]->size() + 1) * sizeof(TCHAR);
  }
  auto* trigger = reinterpret_cast<CE_NOTIFICATION_TRIGGER*>(buffer + triggerAt);
  *trigger =
      CE_NOTIFICATION_TRIGGER{sizeof(CE_NOTIFICATION_TRIGGER), n.type, n.event, placed[0], placed[1], n.start, n.end};
  CE_USER_NOTIFICATION* user = nullptr;
  if (n.hasUser) {
    user = reinterpret_cast<CE_USER_NOTIFICATION*>(buffer + userAt);
    *user = CE_USER_NOTIFICATION{n.actionFlags, placed[2], placed[3], placed[4], n.maxSound, 0};
  }
  auto* header = reinterpret_cast<CE_NOTIFICATION_INFO_HEADER*>(buffer);
  *header = CE_NOTIFICATION_INFO_HEADER{HandleOf(n.id), 0, trigger, user};
  return TRUE;
}
