// Windows across programs: slots, the published window lists and the
// message socket (see ipc.h).
//
// Files in <runtime>/windows:
//   slot-N.lock     held (flock) by the program in slot N while it lives
//   slot-N.windows  its top-level windows, one a line (written atomically)
//   slot-N.sock     its socket
//   foreground      the programs that held the device's foreground, most
//                   recent first: "<slot> <window>" a line, the window hex
//                   (written atomically under foreground.lock)
// Each request is one connection: a fixed header, then the data bytes; the
// answer is a fixed reply, for a post as soon as the message is taken, for a
// sent message once the window procedure returned. The peer's data is
// checked before it is used.
#include "user/ipc.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "ce/strconv.h"
#include "ce/winbase.h"
#include "kernel/debug_output.h"
#include "kernel/device.h"
#include "kernel/registry_store.h"
#include "user/input.h"
#include "user/state.h"
#include "user/window_tree.h"

namespace ce::user::ipc {
namespace {

constexpr std::uint32_t kMagic = 0x4D574543;   // "CEWM"
constexpr std::uint32_t kMaxData = 16u << 20;  // WM_COPYDATA's bytes at most
constexpr long long kDefaultTimeoutMs = 5000;

enum Kind : std::uint32_t { kPost = 1, kSend = 2, kForward = 3, kTakeOver = 4, kInput = 5 };
enum Status : std::uint32_t { kOk = 0, kNoWindow = 1, kTimedOut = 2, kBadRequest = 3 };

struct Header {
  std::uint32_t magic;
  std::uint32_t kind;
  std::uint32_t hwnd;
  std::uint32_t message;
  std::uint64_t wParam;
  std::int64_t lParam;
  std::uint64_t dwData;  // WM_COPYDATA's dwData
  std::uint32_t dataSize;
  std::uint32_t hasData;  // WM_COPYDATA with a block
};

struct Reply {
  std::uint32_t magic;
  std::uint32_t status;
  std::int64_t result;
};

struct Local {
  std::mutex lock;
  pid_t pid = 0;
  int slot = 0;
  bool tried = false;
  int lockFd = -1;
  int listenFd = -1;
};

Local& L() {
  static Local local;
  return local;
}

std::string Folder() { return ce::device::RuntimeFolder() + "/windows"; }
std::string PathOf(int slot, const char* suffix) { return Folder() + "/slot-" + std::to_string(slot) + suffix; }

long long TimeoutMs() {
  const long long value = ce::device::SettingNumber("send_timeout_ms", kDefaultTimeoutMs);
  return value > 0 && value < 3600000 ? value : kDefaultTimeoutMs;
}

// After a fork the child holds copies of the parent's files: it lets go of
// them (closing, never unlocking: the lock stays the parent's) and takes a
// slot of its own when it needs one.
void CheckForkLocked(Local& l) {
  const pid_t pid = ::getpid();
  if (l.pid == pid) return;
  if (l.pid != 0) {
    if (l.lockFd >= 0) ::close(l.lockFd);
    if (l.listenFd >= 0) ::close(l.listenFd);
  }
  l.slot = 0;
  l.tried = false;
  l.lockFd = -1;
  l.listenFd = -1;
  l.pid = pid;
}

bool ReadAll(int fd, void* buffer, std::size_t size) {
  auto* p = static_cast<char*>(buffer);
  while (size > 0) {
    const ssize_t n = ::recv(fd, p, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteAll(int fd, const void* buffer, std::size_t size) {
  const auto* p = static_cast<const char*>(buffer);
  while (size > 0) {
    const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void SetTimeouts(int fd, long long ms) {
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(ms / 1000);
  tv.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

bool MakeAddress(const std::string& path, sockaddr_un* address) {
  *address = sockaddr_un{};
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

// Whether the program in a slot lives; a dead one's files are removed.
bool SlotAlive(int slot) {
  const int fd = ::open(PathOf(slot, ".lock").c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return true;
  }
  ::unlink(PathOf(slot, ".windows").c_str());
  ::unlink(PathOf(slot, ".sock").c_str());
  ::close(fd);
  return false;
}

// ---- window lists ----

std::string Escape(const std::wstring& text) {
  std::string out;
  for (unsigned char c : ce::Utf8FromWide(text)) {
    if (c < 0x20 || c == '%') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::wstring Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const std::string hex = text.substr(i + 1, 2);
      char* end = nullptr;
      const long value = std::strtol(hex.c_str(), &end, 16);
      if (end == hex.c_str() + 2) {
        out += static_cast<char>(value);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return ce::WideFromUtf8(out);
}

bool ParseNumber(const std::string& text, int base, unsigned long long limit, unsigned long long* out) {
  if (text.empty() || text.size() > 20) return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), &end, base);
  if (errno != 0 || end != text.c_str() + text.size() || value > limit) return false;
  *out = value;
  return true;
}

bool ParseSigned(const std::string& text, LONG* out) {
  if (text.empty() || text.size() > 12) return false;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end != text.c_str() + text.size() || value < INT32_MIN || value > INT32_MAX) return false;
  *out = static_cast<LONG>(value);
  return true;
}

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

// The windows listed for a slot; malformed lines are skipped, and a window
// whose handle is not of that slot is not believed.
std::vector<WindowInfo> ReadList(int slot) {
  std::vector<WindowInfo> list;
  std::ifstream in(PathOf(slot, ".windows"));
  std::string line;
  DWORD pid = 0;
  while (std::getline(in, line)) {
    const auto f = Split(line);
    unsigned long long v[5] = {};
    if (f.size() == 2 && f[0] == "pid") {
      if (ParseNumber(f[1], 10, 0xFFFFFFFFull, &v[0])) pid = static_cast<DWORD>(v[0]);
      continue;
    }
    if (f.size() != 11) continue;
    WindowInfo info;
    if (!ParseNumber(f[0], 16, 0xFFFFFFFFull, &v[0]) || !ParseNumber(f[1], 16, 0xFFFFFFFFull, &v[1]) ||
        !ParseNumber(f[2], 16, 0xFFFFFFFFull, &v[2]) || !ParseNumber(f[3], 16, 0xFFFFFFFFull, &v[3]) ||
        !ParseNumber(f[4], 10, 0xFFFFFFFFull, &v[4]) || !ParseSigned(f[5], &info.rect.left) ||
        !ParseSigned(f[6], &info.rect.top) || !ParseSigned(f[7], &info.rect.right) ||
        !ParseSigned(f[8], &info.rect.bottom)) {
      continue;
    }
    info.hwnd = ToHwnd(static_cast<std::uintptr_t>(v[0]));
    if (SlotOf(info.hwnd) != slot || (v[0] & 3) != 0 || v[0] == 0) continue;
    info.owner = ToHwnd(static_cast<std::uintptr_t>(v[1]));
    info.style = static_cast<DWORD>(v[2]);
    info.exStyle = static_cast<DWORD>(v[3]);
    info.threadId = static_cast<DWORD>(v[4]);
    info.className = Unescape(f[9]);
    info.title = Unescape(f[10]);
    list.push_back(std::move(info));
  }
  for (auto& info : list) info.processId = pid;
  return list;
}

// ---- the server side ----

struct Pending {
  std::mutex lock;
  std::condition_variable done;
  bool finished = false;
  LRESULT result = 0;
  std::vector<BYTE> data;
  COPYDATASTRUCT copy{};
};

// ---- the device's foreground ----

struct ForegroundEntry {
  int slot = 0;
  HWND hwnd = nullptr;
};

std::string ForegroundPath() { return Folder() + "/foreground"; }

// Holds the foreground list's lock while it lives (none when the runtime
// folder cannot be used).
class ForegroundLock {
 public:
  ForegroundLock() : fd_(::open((Folder() + "/foreground.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {}
    }
  }
  ~ForegroundLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  ForegroundLock(const ForegroundLock&) = delete;
  ForegroundLock& operator=(const ForegroundLock&) = delete;

 private:
  int fd_;
};

// The list as stored; malformed lines, and windows not of their slot, are
// skipped.
std::vector<ForegroundEntry> ReadForeground() {
  std::vector<ForegroundEntry> entries;
  std::ifstream in(ForegroundPath());
  std::string line;
  while (entries.size() < static_cast<std::size_t>(kMaxSlots) && std::getline(in, line)) {
    const std::size_t space = line.find(' ');
    unsigned long long slot = 0;
    unsigned long long hwnd = 0;
    if (space == std::string::npos || !ParseNumber(line.substr(0, space), 10, kMaxSlots, &slot) ||
        !ParseNumber(line.substr(space + 1), 16, 0xFFFFFFFFull, &hwnd) || slot == 0) {
      continue;
    }
    const HWND window = ToHwnd(static_cast<std::uintptr_t>(hwnd));
    if (SlotOf(window) != static_cast<int>(slot)) continue;
    entries.push_back(ForegroundEntry{static_cast<int>(slot), window});
  }
  return entries;
}

void WriteForeground(const std::vector<ForegroundEntry>& entries) {
  std::ostringstream text;
  for (const ForegroundEntry& e : entries) {
    text << e.slot << ' ' << std::hex << static_cast<unsigned long>(Value(e.hwnd)) << std::dec << '\n';
  }
  const std::string path = ForegroundPath();
  const std::string temp = path + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text.str();
    if (!out.flush()) return;
  }
  std::rename(temp.c_str(), path.c_str());
}

// The slot of the live program in front (0 for none); programs that are
// gone are passed over.
int ForegroundSlot() {
  ForegroundLock lock;
  for (const ForegroundEntry& e : ReadForeground()) {
    if (e.slot == CurrentSlot() || SlotAlive(e.slot)) return e.slot;
  }
  return 0;
}

DWORD OwnerThread(HWND hwnd) {
  std::lock_guard guard(S().lock);
  auto w = FindLocked(hwnd);
  return w && !w->destroying ? w->threadId : 0;
}

Reply Handle(const Header& h, std::vector<BYTE> data) {
  Reply reply{kMagic, kOk, 0};
  const HWND hwnd = ToHwnd(h.hwnd);
  const DWORD thread = OwnerThread(hwnd);
  if (!thread) {
    reply.status = kNoWindow;
    return reply;
  }
  switch (h.kind) {
    case kForward:
      if (!PushTask(thread, [hwnd] { BringToFront(hwnd); })) {
        reply.status = kNoWindow;
      }
      return reply;
    case kTakeOver:
      // Only while nothing took the foreground since it was handed on.
      if (ForegroundSlot() == CurrentSlot() && !PushTask(thread, [hwnd] { BringToFront(hwnd); })) {
        reply.status = kNoWindow;
      }
      return reply;
    case kInput: {
      // Delivered before the answer, so a sender's keys keep their order.
      if (h.message == WM_CHAR) {
        if (data.size() % sizeof(wchar_t) != 0) {
          reply.status = kBadRequest;
          return reply;
        }
        std::wstring text(data.size() / sizeof(wchar_t), L'\0');
        if (!data.empty()) std::memcpy(text.data(), data.data(), data.size());
        DeliverTextHere(text);
      } else if ((h.message == WM_KEYDOWN || h.message == WM_KEYUP) && !h.hasData && h.wParam <= 0xFFFF) {
        DeliverKeyHere(static_cast<int>(h.wParam), h.message == WM_KEYDOWN);
      } else {
        reply.status = kBadRequest;
      }
      return reply;
    }
    case kSend: {
      auto pending = std::make_shared<Pending>();
      LPARAM lParam = static_cast<LPARAM>(h.lParam);
      if (h.hasData) {
        pending->data = std::move(data);
        pending->copy.dwData = static_cast<ULONG_PTR>(h.dwData);
        pending->copy.cbData = static_cast<DWORD>(pending->data.size());
        pending->copy.lpData = pending->data.empty() ? nullptr : pending->data.data();
        lParam = reinterpret_cast<LPARAM>(&pending->copy);
      }
      const UINT message = h.message;
      const auto wParam = static_cast<WPARAM>(h.wParam);
      const bool pushed = PushTask(thread, [pending, hwnd, message, wParam, lParam] {
        const LRESULT result = CallProc(hwnd, message, wParam, lParam);
        std::lock_guard guard(pending->lock);
        pending->result = result;
        pending->finished = true;
        pending->done.notify_all();
      });
      if (!pushed) {
        reply.status = kNoWindow;
        return reply;
      }
      std::unique_lock lock(pending->lock);
      if (!pending->done.wait_for(lock, std::chrono::milliseconds(TimeoutMs()), [&] { return pending->finished; })) {
        reply.status = kTimedOut;
        return reply;
      }
      reply.result = static_cast<std::int64_t>(pending->result);
      return reply;
    }
    default:
      reply.status = kBadRequest;
      return reply;
  }
}

// Held while a post is acknowledged and queued, so that posts are queued in
// the order they were acknowledged: a sender makes its next post only once
// the last one was.
std::mutex g_postOrder;

// A post needs no answer from the window procedure: it is acknowledged once
// it is taken, and queued after that. Acknowledged after queueing, the
// answer could be lost to a window procedure that ends this program as soon
// as it has the message, and the sender would take a delivered message for
// a lost one. A post whose acknowledgement cannot be written is dropped.
void ServePost(int fd, const Header& h) {
  Reply reply{kMagic, kOk, 0};
  const HWND hwnd = ToHwnd(h.hwnd);
  if (!OwnerThread(hwnd)) {
    reply.status = kNoWindow;
  } else if (h.message == WM_COPYDATA || h.hasData) {
    reply.status = kBadRequest;
  }
  if (reply.status != kOk) {
    WriteAll(fd, &reply, sizeof reply);
    return;
  }
  std::lock_guard guard(g_postOrder);
  if (WriteAll(fd, &reply, sizeof reply)) {
    PostToWindow(hwnd, h.message, static_cast<WPARAM>(h.wParam), static_cast<LPARAM>(h.lParam));
  }
}

void ServeConnection(int fd) {
  SetTimeouts(fd, TimeoutMs());
  Header h{};
  if (ReadAll(fd, &h, sizeof h) && h.magic == kMagic && h.dataSize <= kMaxData && (h.hasData || h.dataSize == 0)) {
    std::vector<BYTE> data(h.dataSize);
    if (data.empty() || ReadAll(fd, data.data(), data.size())) {
      if (h.kind == kPost) {
        ServePost(fd, h);
      } else {
        const Reply reply = Handle(h, std::move(data));
        WriteAll(fd, &reply, sizeof reply);
      }
    }
  }
  ::close(fd);
}

void Serve(int listenFd, pid_t owner) {
  for (;;) {
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (::getpid() != owner) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    // A connection of its own, so a slow window procedure holds up no other.
    std::thread(ServeConnection, fd).detach();
  }
}

// ---- the client side ----

// Sends a request to the slot of hwnd and reads the answer.
bool Request(HWND hwnd, Header h, const std::vector<BYTE>& data, Reply* reply) {
  const int slot = SlotOf(hwnd);
  sockaddr_un address{};
  if (slot == 0 || !MakeAddress(PathOf(slot, ".sock"), &address)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  // The other program may act on what this one wrote to the registry as
  // soon as it has the message.
  (void)ce::kernel::registry::FlushPending();
  h.magic = kMagic;
  h.hwnd = static_cast<std::uint32_t>(Value(hwnd));
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  // The answer may take as long as the window procedure; the server gives up
  // after the same time, so a little more is allowed here.
  SetTimeouts(fd, TimeoutMs() + 1000);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    SlotAlive(slot);  // cleans up after a program that is gone
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  const bool sent = WriteAll(fd, &h, sizeof h) && (data.empty() || WriteAll(fd, data.data(), data.size()));
  const bool answered = sent && ReadAll(fd, reply, sizeof *reply) && reply->magic == kMagic;
  ::close(fd);
  if (!answered) {
    SetLastError(SlotAlive(slot) ? ERROR_TIMEOUT : ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  switch (reply->status) {
    case kOk:
      return true;
    case kTimedOut:
      SetLastError(ERROR_TIMEOUT);
      return false;
    case kBadRequest:
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    default:
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return false;
  }
}

}  // namespace

int AcquireSlot() {
  Local& l = L();
  std::lock_guard guard(l.lock);
  CheckForkLocked(l);
  if (l.tried) return l.slot;
  l.tried = true;
  ::mkdir(Folder().c_str(), 0700);
  for (int slot = 1; slot <= kMaxSlots; ++slot) {
    const int fd = ::open(PathOf(slot, ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) break;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      continue;
    }
    sockaddr_un address{};
    const std::string socketPath = PathOf(slot, ".sock");
    const int listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::unlink(socketPath.c_str());
    ::unlink(PathOf(slot, ".windows").c_str());
    if (listenFd < 0 || !MakeAddress(socketPath, &address) ||
        ::bind(listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd, 16) != 0) {
      ce::kernel::Diagnostic("platform: cannot open the window socket %s; windows stay private to this program",
                             socketPath.c_str());
      if (listenFd >= 0) ::close(listenFd);
      ::close(fd);
      return 0;
    }
    l.slot = slot;
    l.lockFd = fd;
    l.listenFd = listenFd;
    std::thread(Serve, listenFd, l.pid).detach();
    return slot;
  }
  ce::kernel::Diagnostic("platform: no free window slot in %s; windows stay private to this program", Folder().c_str());
  return 0;
}

int CurrentSlot() {
  Local& l = L();
  std::lock_guard guard(l.lock);
  CheckForkLocked(l);
  return l.slot;
}

bool IsRemote(HWND hwnd) {
  const int slot = SlotOf(hwnd);
  return slot != 0 && slot != CurrentSlot();
}

void Publish(const std::vector<WindowInfo>& windows) {
  Local& l = L();
  std::lock_guard guard(l.lock);
  CheckForkLocked(l);
  if (l.slot == 0) return;
  std::ostringstream text;
  text << "pid\t" << static_cast<unsigned long>(l.pid) << '\n';
  for (const WindowInfo& w : windows) {
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, "%lx\t%lx\t%x\t%x\t%u\t%d\t%d\t%d\t%d",
                  static_cast<unsigned long>(Value(w.hwnd)), static_cast<unsigned long>(Value(w.owner)),
                  static_cast<unsigned>(w.style), static_cast<unsigned>(w.exStyle), static_cast<unsigned>(w.threadId),
                  static_cast<int>(w.rect.left), static_cast<int>(w.rect.top), static_cast<int>(w.rect.right),
                  static_cast<int>(w.rect.bottom));
    text << numbers << '\t' << Escape(w.className) << '\t' << Escape(w.title) << '\n';
  }
  const std::string path = PathOf(l.slot, ".windows");
  const std::string temp = path + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text.str();
    if (!out.flush()) return;
  }
  std::rename(temp.c_str(), path.c_str());
}

std::vector<WindowInfo> OtherWindows() {
  std::vector<WindowInfo> all;
  const int own = CurrentSlot();
  for (int slot = 1; slot <= kMaxSlots; ++slot) {
    if (slot == own) continue;
    if (::access(PathOf(slot, ".windows").c_str(), F_OK) != 0) continue;
    if (!SlotAlive(slot)) continue;
    auto list = ReadList(slot);
    all.insert(all.end(), list.begin(), list.end());
  }
  return all;
}

std::optional<WindowInfo> Describe(HWND hwnd) {
  const int slot = SlotOf(hwnd);
  if (slot == 0 || slot == CurrentSlot() || !SlotAlive(slot)) return std::nullopt;
  for (auto& info : ReadList(slot)) {
    if (info.hwnd == hwnd) return info;
  }
  return std::nullopt;
}

bool Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Header h{};
  h.kind = kPost;
  h.message = message;
  h.wParam = wParam;
  h.lParam = lParam;
  Reply reply{};
  return Request(hwnd, h, {}, &reply);
}

std::optional<LRESULT> Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Header h{};
  h.kind = kSend;
  h.message = message;
  h.wParam = wParam;
  h.lParam = lParam;
  std::vector<BYTE> data;
  if (message == WM_COPYDATA) {
    // The block's bytes travel; its address means nothing over there.
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (copy) {
      if (copy->cbData > kMaxData || (copy->cbData > 0 && !copy->lpData)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
      }
      const auto* bytes = static_cast<const BYTE*>(copy->lpData);
      data.assign(bytes, bytes + copy->cbData);
      h.dwData = copy->dwData;
      h.dataSize = copy->cbData;
      h.hasData = 1;
    }
    h.lParam = 0;
  }
  Reply reply{};
  if (!Request(hwnd, h, data, &reply)) return std::nullopt;
  return static_cast<LRESULT>(reply.result);
}

bool BringForward(HWND hwnd) {
  Header h{};
  h.kind = kForward;
  Reply reply{};
  return Request(hwnd, h, {}, &reply);
}

void NoteForeground(HWND hwnd) {
  const int own = CurrentSlot();
  if (own == 0 || hwnd == nullptr) return;
  const int slot = IsRemote(hwnd) ? SlotOf(hwnd) : own;
  if (slot == own) {
    // A program that ends without closing its windows still hands the
    // foreground on.
    static std::once_flag atExit;
    std::call_once(atExit, [] { std::atexit([] { LeaveForeground(); }); });
  }
  ForegroundLock lock;
  std::vector<ForegroundEntry> entries = ReadForeground();
  if (!entries.empty() && entries.front().slot == slot && entries.front().hwnd == hwnd) return;
  std::erase_if(entries, [slot](const ForegroundEntry& e) { return e.slot == slot || !SlotAlive(e.slot); });
  entries.insert(entries.begin(), ForegroundEntry{slot, hwnd});
  WriteForeground(entries);
}

void LeaveForeground() {
  const int own = CurrentSlot();
  if (own == 0) return;
  std::vector<ForegroundEntry> behind;
  {
    ForegroundLock lock;
    std::vector<ForegroundEntry> entries = ReadForeground();
    std::erase_if(entries, [own](const ForegroundEntry& e) { return e.slot != own && !SlotAlive(e.slot); });
    if (entries.empty() || entries.front().slot != own) {
      // Not in front: it only leaves the list.
      std::erase_if(entries, [own](const ForegroundEntry& e) { return e.slot == own; });
      WriteForeground(entries);
      return;
    }
    entries.erase(entries.begin());
    WriteForeground(entries);
    behind = entries;
  }
  // The program that stood behind comes forward, as the device activates
  // the next window when the one in front goes.
  for (const ForegroundEntry& e : behind) {
    Header h{};
    h.kind = kTakeOver;
    Reply reply{};
    if (Request(e.hwnd, h, {}, &reply)) return;
  }
}

HWND ForegroundElsewhere() {
  const int own = CurrentSlot();
  if (own == 0) return nullptr;
  ForegroundLock lock;
  for (const ForegroundEntry& e : ReadForeground()) {
    if (e.slot == own) return nullptr;
    if (SlotAlive(e.slot)) return e.hwnd;
  }
  return nullptr;
}

bool ForwardInput(HWND hwnd, UINT message, WPARAM key, std::wstring_view text) {
  Header h{};
  h.kind = kInput;
  h.message = message;
  h.wParam = key;
  std::vector<BYTE> data;
  if (message == WM_CHAR && !text.empty()) {
    if (text.size() > kMaxData / sizeof(wchar_t)) return false;
    const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
    data.assign(bytes, bytes + text.size() * sizeof(wchar_t));
    h.dataSize = static_cast<std::uint32_t>(data.size());
    h.hasData = 1;
  }
  Reply reply{};
  return Request(hwnd, h, data, &reply);
}

}  // namespace ce::user::ipc
