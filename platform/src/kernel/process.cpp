// Processes of the device: programs started from the device's program
// folders as host processes, handles to them and to other running programs
// of the device, waits on their end and their exit codes.
#include "kernel/process.h"

#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "ce/kernel/process.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "kernel/debug_output.h"
#include "kernel/device_path.h"
#include "kernel/handles.h"
#include "kernel/not_implemented.h"
#include "kernel/registry_store.h"
#include "kernel/wait.h"

extern char** environ;

namespace ce::kernel::process {
namespace {

std::atomic<ChildVariables> g_childVariables{nullptr};

// What is known of one process. Every handle to the same process shares it.
struct State {
  pid_t pid = 0;
  bool child = false;  // started by this program, which reaps it
  bool self = false;
  unsigned long long startTime = 0;  // of the host process, to tell a reused id
  std::wstring devicePath;
  bool ended = false;
  bool codeKnown = false;
  DWORD exitCode = STILL_ACTIVE;
  std::optional<DWORD> terminateCode;
};

struct Registry {
  std::mutex lock;
  std::map<pid_t, std::shared_ptr<State>> children;  // kept until reaped
  // In a forked process, the registry it had from its parent: kept, unused.
  Registry* replaced = nullptr;
};

Registry* g_registry = nullptr;

Registry& TheRegistry() {
  // Never destroyed: a watcher may reap a child during exit. A process forked
  // from this one starts a registry of its own: the children are not its
  // own, and the lock may be held by a watcher it does not have.
  static const bool made = [] {
    g_registry = new Registry;
    ::pthread_atfork(nullptr, nullptr, [] {
      auto* fresh = new Registry;
      fresh->replaced = g_registry;
      g_registry = fresh;
    });
    return true;
  }();
  (void)made;
  return *g_registry;
}

// The host's start time of a process, from /proc/<pid>/stat (field 22), and
// whether it is still running (not a zombie).
struct HostProcess {
  unsigned long long startTime = 0;
  bool running = false;
};

std::optional<HostProcess> ReadHostProcess(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(in, text)) return std::nullopt;
  const auto close = text.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(text.substr(close + 1));
  std::string field;
  std::vector<std::string> values;
  while (fields >> field && values.size() < 20) values.push_back(field);
  if (values.size() < 20) return std::nullopt;  // state is field 3, the start time field 22
  HostProcess process;
  process.running = values[0] != "Z" && values[0] != "X" && values[0] != "x";
  char* end = nullptr;
  process.startTime = std::strtoull(values[19].c_str(), &end, 10);
  return process;
}

// Reaps the child when it has ended. Call with the registry lock held.
void PollChildLocked(State& state) {
  if (state.ended) return;
  int status = 0;
  const pid_t done = ::waitpid(state.pid, &status, WNOHANG);
  if (done == 0) return;
  state.ended = true;
  state.codeKnown = done > 0 || state.terminateCode.has_value();
  if (state.terminateCode) {
    state.exitCode = *state.terminateCode;
  } else if (done < 0) {
    // Reaped behind this program's back: how it ended is not known.
  } else if (WIFEXITED(status)) {
    state.exitCode = static_cast<DWORD>(WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    state.exitCode = 128u + static_cast<DWORD>(WTERMSIG(status));
  }
}

// Reaps the child when it has ended and forgets it as a child: its id is
// free for the host to reuse. Call with the registry lock held.
void ReapLocked(State& state) {
  PollChildLocked(state);
  if (!state.ended) return;
  auto& children = TheRegistry().children;
  const auto it = children.find(state.pid);
  if (it != children.end() && it->second.get() == &state) children.erase(it);
}

// Whether the process has ended, looking again now. Call with the registry
// lock held.
bool PollLocked(State& state) {
  if (state.self) return false;
  if (state.child) {
    ReapLocked(state);
  } else if (!state.ended) {
    const auto host = ReadHostProcess(state.pid);
    if (!host || !host->running || host->startTime != state.startTime) state.ended = true;
  }
  return state.ended;
}

bool Poll(State& state) {
  std::lock_guard guard(TheRegistry().lock);
  return PollLocked(state);
}

// Reaps every child that ended: one whose watcher could not be started
// stays a zombie until then.
void SweepChildren() {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  for (auto it = registry.children.begin(); it != registry.children.end();) {
    PollChildLocked(*it->second);
    it = it->second->ended ? registry.children.erase(it) : std::next(it);
  }
}

// A thread per started child that sleeps until the child ends and reaps it
// then, so an ended program is no zombie while nobody asks about it. The
// wait leaves the child unreaped (WNOWAIT) and the reaping is done under the
// registry lock, as every poll does: one of them gets the status, the others
// find it recorded, and TerminateProcess never signals an id the host has
// already given to another process. It waits for its own child only, never
// for any child, so subprocesses a program runs itself stay its own.
void WatchChild(const std::shared_ptr<State>& state) {
  const auto watch = [state] {
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(state->pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {}
    std::lock_guard guard(TheRegistry().lock);
    ReapLocked(*state);
  };
  try {
    std::thread(watch).detach();
  } catch (const std::system_error& error) {
    ce::kernel::Diagnostic("platform: no watcher for process %d: %s", static_cast<int>(state->pid), error.what());
  }
}

class ProcessObject final : public Waitable {
 public:
  explicit ProcessObject(std::shared_ptr<State> state) : Waitable(HandleKind::Process), state_(std::move(state)) {}
  bool IsSignaledFor(ThreadRecord& /*thread*/) override { return Poll(*state_); }
  // Another process ends without telling this one: waits look again.
  bool NeedsPolling() const override { return true; }
  bool WaitsForOtherProgram() const override { return !state_->self; }
  const std::shared_ptr<State>& state() const { return state_; }

 private:
  std::shared_ptr<State> state_;
};

std::shared_ptr<State> StateOf(HANDLE handle) {
  auto object = LookupHandleAs<ProcessObject>(handle, HandleKind::Process);
  return object ? object->state() : nullptr;
}

bool EndsWithExe(const std::wstring& name) {
  return name.size() >= 4 && EqualsNoCase(std::wstring_view(name).substr(name.size() - 4), L".exe");
}

std::string RealPath(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return {};
  std::string out(real);
  ::free(real);
  return out;
}

// An installed program: its host executable, canonical device path and the
// program folder it lives in.
struct Program {
  std::string host;
  std::wstring device;
  std::wstring folderName;
  std::string folderHost;
  // Another executable beside the running program (the home screen's
  // folder holds the device's other programs): it starts as it would on
  // its own, choosing its own name and folder.
  bool besideRunning = false;
};

// DWORD error, or the program at a device path.
DWORD FindProgram(const std::wstring& devicePath, Program& out) {
  auto lookUp = [](const std::wstring& path, fs::Resolved& entry) {
    return fs::Resolve(path.c_str(), entry) == 0 && entry.exists;
  };
  fs::Resolved entry;
  bool found = lookUp(devicePath, entry);
  if (!found && EndsWithExe(devicePath)) {
    // A built executable has no suffix; the device calls it "<name>.exe".
    found = lookUp(devicePath.substr(0, devicePath.size() - 4), entry);
  }
  if (!found) return ERROR_FILE_NOT_FOUND;
  // Only what a program folder installs runs: never a file of the device's
  // own (which a program may have written) nor anything else on the host.
  if (!entry.readOnly || entry.isDirectory || !S_ISREG(entry.st.st_mode)) return ERROR_ACCESS_DENIED;
  for (const fs::ProgramMount& mount : fs::ProgramMounts()) {
    const std::wstring prefix = mount.device + L"\\";
    if (entry.device.size() <= prefix.size() ||
        !EqualsNoCase(std::wstring_view(entry.device).substr(0, prefix.size()), prefix)) {
      continue;
    }
    const std::string base = RealPath(mount.host);
    const std::string real = RealPath(entry.host);
    if (base.empty() || real.size() <= base.size() || real.compare(0, base.size(), base) != 0 ||
        (base != "/" && real[base.size()] != '/')) {
      return ERROR_ACCESS_DENIED;
    }
    if (::access(real.c_str(), X_OK) != 0) return ERROR_ACCESS_DENIED;
    out.host = real;
    out.device = EndsWithExe(entry.device) ? entry.device : entry.device + L".exe";
    out.folderName = mount.name;
    const std::string leaf = real.substr(real.rfind('/') + 1);
    out.besideRunning = !mount.exeName.empty() && leaf != mount.exeName;
    out.folderHost = mount.host;
    return 0;
  }
  return ERROR_ACCESS_DENIED;
}

// The device path of a host executable installed in a program folder.
std::optional<std::wstring> DevicePathOfHost(const std::string& exe) {
  const auto slash = exe.rfind('/');
  if (slash == std::string::npos) return std::nullopt;
  const std::string folder = RealPath(exe.substr(0, slash == 0 ? 1 : slash));
  std::wstring leaf = WideFromUtf8(exe.substr(slash + 1));
  if (!EndsWithExe(leaf)) leaf += L".exe";
  for (const fs::ProgramMount& mount : fs::ProgramMounts()) {
    if (!folder.empty() && RealPath(mount.host) == folder) return mount.device + L"\\" + leaf;
  }
  return std::nullopt;
}

HANDLE NewHandle(std::shared_ptr<State> state) {
  return InsertHandle(std::make_shared<ProcessObject>(std::move(state)));
}

}  // namespace

std::vector<std::wstring> SplitArguments(const std::wstring& commandLine) {
  std::vector<std::wstring> arguments;
  std::wstring current;
  bool quoted = false;
  bool any = false;
  for (wchar_t c : commandLine) {
    if (c == L'"') {
      quoted = !quoted;
      any = true;
    } else if (!quoted && (c == L' ' || c == L'\t')) {
      if (any) arguments.push_back(std::move(current));
      current.clear();
      any = false;
    } else {
      current += c;
      any = true;
    }
  }
  if (any) arguments.push_back(std::move(current));
  return arguments;
}

bool IsProgram(const std::wstring& devicePath) {
  Program program;
  return FindProgram(devicePath, program) == 0;
}

void SetChildVariables(ChildVariables source) { g_childVariables.store(source); }

Started StartProgram(const std::wstring& devicePath, const std::wstring& arguments) {
  SweepChildren();
  Program program;
  if (const DWORD error = FindProgram(devicePath, program)) return Started{error, nullptr, 0};

  std::vector<std::string> args{program.host};
  for (const std::wstring& a : SplitArguments(arguments)) args.push_back(Utf8FromWide(a));
  // The child shares the device (root and settings come with the
  // environment) but is its own program, in its own folder.
  std::vector<std::string> env;
  std::vector<std::string> given;
  if (const ChildVariables source = g_childVariables.load()) given = source();
  const auto replaced = [&given](std::string_view entry) {
    return std::any_of(given.begin(), given.end(), [entry](const std::string& g) {
      const auto eq = g.find('=');
      return eq != std::string::npos && entry.substr(0, eq + 1) == std::string_view(g).substr(0, eq + 1);
    });
  };
  for (char** e = environ; e && *e; ++e) {
    const std::string_view entry(*e);
    if (entry.rfind("DEVICE_PROGRAM_NAME=", 0) == 0 || entry.rfind("DEVICE_PROGRAM_FOLDER=", 0) == 0) continue;
    // An input script drives the program it was given to, not the ones
    // that program starts.
    if (entry.rfind("DEVICE_SCRIPT=", 0) == 0) continue;
    if (replaced(entry)) continue;
    env.emplace_back(entry);
  }
  env.insert(env.end(), given.begin(), given.end());
  if (!program.besideRunning) {
    env.push_back("DEVICE_PROGRAM_NAME=" + Utf8FromWide(program.folderName));
    env.push_back("DEVICE_PROGRAM_FOLDER=" + program.folderHost);
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  // The new program reads the registry as this one left it.
  (void)ce::kernel::registry::FlushPending();
  auto state = std::make_shared<State>();
  state->child = true;
  state->devicePath = program.device;
  {
    // Under the lock, so a sweep never reaps the child before it is known.
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, program.host.c_str(), nullptr, nullptr, argv.data(), envp.data());
    if (error != 0) {
      ce::kernel::Diagnostic("platform: cannot start %s: %s", program.host.c_str(), std::strerror(error));
      return Started{error == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_ACCESS_DENIED, nullptr, 0};
    }
    state->pid = pid;
    if (const auto host = ReadHostProcess(pid)) state->startTime = host->startTime;
    registry.children[pid] = state;
  }
  WatchChild(state);
  HANDLE handle = NewHandle(state);
  if (!handle) return Started{GetLastError(), nullptr, 0};
  return Started{0, handle, static_cast<DWORD>(state->pid)};
}

std::optional<std::wstring> DevicePathOf(HANDLE process) {
  if (process == kCurrentProcessPseudoHandle) return fs::ProgramDevicePath();
  const DWORD error = GetLastError();  // not a process handle is no failure here
  auto object = LookupHandle(process, HandleKind::Any);
  if (!object || object->kind() != HandleKind::Process) {
    SetLastError(error);
    return std::nullopt;
  }
  return std::static_pointer_cast<ProcessObject>(object)->state()->devicePath;
}

}  // namespace ce::kernel::process

using ce::kernel::kCurrentProcessPseudoHandle;
namespace process = ce::kernel::process;

HANDLE GetCurrentProcess() { return kCurrentProcessPseudoHandle; }

BOOL CreateProcessW(LPCWSTR imageName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPWSTR currentDirectory, LPSTARTUPINFOW /*startupInfo*/,
                    LPPROCESS_INFORMATION processInformation) {
  if (processAttributes || threadAttributes || inheritHandles || environment || currentDirectory ||
      ((!imageName || !*imageName) && (!commandLine || !*commandLine))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (creationFlags != 0) {
    char what[64];
    std::snprintf(what, sizeof what, "CreateProcessW(creation flags %#lx)", static_cast<unsigned long>(creationFlags));
    ce::kernel::NotImplemented(what);
    return FALSE;
  }
  std::wstring program;
  std::wstring arguments = commandLine ? commandLine : L"";
  if (imageName && *imageName) {
    program = imageName;
  } else {
    // The program is the first word of the command line.
    std::size_t start = arguments.find_first_not_of(L" \t");
    if (start == std::wstring::npos) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    std::size_t end = 0;
    if (arguments[start] == L'"') {
      end = arguments.find(L'"', start + 1);
      if (end == std::wstring::npos) end = arguments.size();
      program = arguments.substr(start + 1, end - start - 1);
      if (end < arguments.size()) ++end;
    } else {
      end = arguments.find_first_of(L" \t", start);
      if (end == std::wstring::npos) end = arguments.size();
      program = arguments.substr(start, end - start);
    }
    arguments = arguments.substr(end);
  }
  const process::Started started = process::StartProgram(program, arguments);
  if (started.error != 0) {
    SetLastError(started.error);
    return FALSE;
  }
  if (processInformation) {
    *processInformation = PROCESS_INFORMATION{started.handle, nullptr, started.id, 0};
  } else {
    CloseHandle(started.handle);
  }
  return TRUE;
}

HANDLE OpenProcess(DWORD /*access*/, BOOL inheritHandle, DWORD processId) {
  using ce::kernel::process::State;
  if (inheritHandle || processId == 0 || processId > static_cast<DWORD>(INT_MAX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  ce::kernel::process::SweepChildren();
  const auto pid = static_cast<pid_t>(processId);
  std::shared_ptr<State> state;
  {
    auto& registry = ce::kernel::process::TheRegistry();
    std::lock_guard guard(registry.lock);
    const auto it = registry.children.find(pid);
    if (it != registry.children.end()) state = it->second;
  }
  if (!state && pid == ::getpid()) {
    state = std::make_shared<State>();
    state->pid = pid;
    state->self = true;
    state->devicePath = ce::kernel::fs::ProgramDevicePath();
  }
  if (!state) {
    // Another program of the device: its executable is in a program folder.
    const auto host = ce::kernel::process::ReadHostProcess(pid);
    char exe[PATH_MAX];
    const ssize_t n = ::readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), exe, sizeof exe - 1);
    const auto device =
        n > 0 ? ce::kernel::process::DevicePathOfHost(std::string(exe, static_cast<std::size_t>(n))) : std::nullopt;
    if (!host || !host->running || !device) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    state = std::make_shared<State>();
    state->pid = pid;
    state->startTime = host->startTime;
    state->devicePath = *device;
  }
  return ce::kernel::process::NewHandle(std::move(state));
}

BOOL TerminateProcess(HANDLE process, UINT exitCode) {
  const auto state = process == kCurrentProcessPseudoHandle ? nullptr : ce::kernel::process::StateOf(process);
  if (process == kCurrentProcessPseudoHandle || (state && state->self)) {
    // The program ends at once, but what it wrote to the registry is kept.
    (void)ce::kernel::registry::FlushPending();
    ::_exit(static_cast<int>(exitCode));
  }
  if (!state) return FALSE;
  std::lock_guard guard(ce::kernel::process::TheRegistry().lock);
  if (ce::kernel::process::PollLocked(*state) || ::kill(state->pid, SIGKILL) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  // This program reaps its own children and tells their handles the code.
  if (state->child) state->terminateCode = exitCode;
  return TRUE;
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
  if (!exitCode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (process == kCurrentProcessPseudoHandle) {
    *exitCode = STILL_ACTIVE;
    return TRUE;
  }
  const auto state = ce::kernel::process::StateOf(process);
  if (!state) return FALSE;
  std::unique_lock guard(ce::kernel::process::TheRegistry().lock);
  if (!ce::kernel::process::PollLocked(*state)) {
    *exitCode = STILL_ACTIVE;
    return TRUE;
  }
  if (!state->codeKnown) {
    guard.unlock();
    ce::kernel::NotImplemented("GetExitCodeProcess(an ended process another program started)");
    return FALSE;
  }
  *exitCode = state->exitCode;
  return TRUE;
}
