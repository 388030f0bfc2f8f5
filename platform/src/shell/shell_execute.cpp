// ShellExecuteEx: the device's programs are started (through the kernel's
// process calls), shortcut files are followed to their targets, and the
// browser is a stand-in that records what it was asked to open, so a test or
// a person can see the request in the runtime folder. A document, or a page
// asked of the browser, is shown with the host's viewer where there is one,
// else a message says where the file is or which address was asked for.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "ce/shellapi.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "ce/winnls.h"
#include "ce/winuser.h"
#include "backend/backend.h"
#include "kernel/device.h"
#include "kernel/device_path.h"
#include "kernel/not_implemented.h"
#include "kernel/process.h"
#include "shell/shortcut.h"

namespace {

constexpr std::wstring_view kBrowser = L"iexplore.exe";

bool IsBrowser(std::wstring_view file) {
  const std::size_t slash = file.find_last_of(L"\\/");
  const std::wstring_view name = slash == std::wstring_view::npos ? file : file.substr(slash + 1);
  return ce::EqualsNoCase(name, kBrowser);
}

std::string Field(LPCWSTR text) { return text == nullptr ? std::string() : ce::Utf8FromWide(text); }

// One line per request, appended with a single write so that concurrent
// programs never interleave inside a line.
bool RecordRequest(const SHELLEXECUTEINFOW& info) {
  std::string line = Field(info.lpVerb) + '\t' + Field(info.lpFile) + '\t' + Field(info.lpParameters) + '\n';
  const std::string path = ce::device::RuntimeFolder() + "/shell-requests.log";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const ssize_t written = ::write(fd, line.data(), line.size());
  ::close(fd);
  return written == static_cast<ssize_t>(line.size());
}

bool EndsWithNoCase(std::wstring_view text, std::wstring_view tail) {
  return text.size() >= tail.size() && ce::EqualsNoCase(text.substr(text.size() - tail.size()), tail);
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view head) {
  return text.size() >= head.size() && ce::EqualsNoCase(text.substr(0, head.size()), head);
}

// An executable file of that name in one of the host's PATH folders.
std::optional<std::string> OnHostPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return std::nullopt;
  const std::string folders = path;
  for (std::size_t start = 0; start <= folders.size();) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = folders.substr(start, end - start);
    start = end + 1;
    if (folder.empty()) continue;
    const std::string candidate = folder + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

// The host program that shows documents and web pages: the setting
// "viewer" ("none" for none); without it the desktop's own opener when the
// program runs in a window on a desktop, never in a headless run.
std::optional<std::string> Viewer() {
  if (const auto setting = ce::device::Setting("viewer")) {
    if (setting->empty() || *setting == "none") return std::nullopt;
    return *setting;
  }
  if (ce::backend::ChosenBackend() != ce::backend::BackendKind::Sdl) return std::nullopt;
  return OnHostPath("xdg-open");
}

// Starts the viewer on one argument, without waiting for it; a thread of
// its own collects it when it ends. False when it could not be started.
bool StartViewer(const std::string& viewer, const std::string& target) {
  std::string program = viewer;
  std::string argument = target;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  if (::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
  return true;
}

// A web address the host's viewer may be given: http or https only.
bool IsWebAddress(std::wstring_view text) {
  return StartsWithNoCase(text, L"http://") || StartsWithNoCase(text, L"https://");
}

// A regular file of the device: its host path.
std::optional<std::string> DocumentOnHost(const std::wstring& path) {
  ce::kernel::fs::Resolved file;
  if (path.empty() || ce::kernel::fs::Resolve(path.c_str(), file) != 0 || !file.exists || file.isDirectory) {
    return std::nullopt;
  }
  struct stat info {};
  if (::stat(file.host.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return file.host;
}

// Shows a device document: the viewer on its host file, else a message
// that says where the file is.
void ShowDocument(HWND owner, const std::wstring& device, const std::string& host) {
  if (const auto viewer = Viewer(); viewer && StartViewer(*viewer, host)) return;
  const std::wstring text = L"This device has no viewer for \"" + device + L"\".\nThe file is at " +
                            ce::WideFromUtf8(host) + L" on this computer.";
  MessageBoxW(owner, text.c_str(), L"Documents", MB_OK | MB_ICONINFORMATION);
}

// Shows what the browser was asked for: a device document as above; a web
// address with the viewer, else a message that names it; anything else (or
// nothing: the start page) a message that names what was asked.
void ShowInBrowser(HWND owner, const std::wstring& asked) {
  std::wstring target = asked;
  while (!target.empty() && target.front() == L' ') target.erase(target.begin());
  while (!target.empty() && target.back() == L' ') target.pop_back();
  if (target.size() >= 2 && target.front() == L'"' && target.back() == L'"') {
    target = target.substr(1, target.size() - 2);
  }
  if (!target.empty() && !IsWebAddress(target)) {
    if (const auto host = DocumentOnHost(target)) return ShowDocument(owner, target, *host);
  }
  if (IsWebAddress(target)) {
    if (const auto viewer = Viewer(); viewer && StartViewer(*viewer, ce::Utf8FromWide(target))) return;
  }
  const std::wstring text = target.empty() ? std::wstring(L"This device has no web browser.")
                                           : L"This device has no web browser. The page asked for is " + target + L".";
  MessageBoxW(owner, text.c_str(), L"Browser", MB_OK | MB_ICONINFORMATION);
}

BOOL Succeed(SHELLEXECUTEINFOW* info) {
  // Values above 32 report success, as the device's shell does.
  info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(33));
  return TRUE;
}

}  // namespace

namespace ce::shell {

// The largest shortcut file the device makes is a line of a few hundred
// characters; anything far larger is not a shortcut.
constexpr std::size_t kLargestShortcut = 4096;

DWORD ReadShortcut(LPCWSTR path, Shortcut& out) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return GetLastError() == ERROR_PATH_NOT_FOUND ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
  char bytes[kLargestShortcut + 1];
  DWORD got = 0;
  const BOOL read = ReadFile(file, bytes, sizeof bytes, &got, nullptr);
  CloseHandle(file);
  if (!read || got == 0 || got > kLargestShortcut) return ERROR_BAD_FORMAT;
  std::wstring text(got, L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(got), text.data(), static_cast<int>(got));
  if (n <= 0) return ERROR_BAD_FORMAT;
  text.resize(static_cast<std::size_t>(n));
  const std::size_t hash = text.find(L'#');
  if (hash == 0 || hash == std::wstring::npos || hash > 5) return ERROR_BAD_FORMAT;
  std::size_t length = 0;
  for (std::size_t i = 0; i < hash; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return ERROR_BAD_FORMAT;
    length = length * 10 + static_cast<std::size_t>(text[i] - L'0');
  }
  if (length == 0 || length > text.size() - hash - 1) return ERROR_BAD_FORMAT;
  const std::wstring body = text.substr(hash + 1, length);
  if (text.find_first_not_of(L" \t\r\n", hash + 1 + length) != std::wstring::npos) return ERROR_BAD_FORMAT;
  if (body.find_first_of(L"\r\n") != std::wstring::npos) return ERROR_BAD_FORMAT;
  std::size_t end = 0;
  if (body[0] == L'"') {
    end = body.find(L'"', 1);
    if (end == std::wstring::npos || end == 1) return ERROR_BAD_FORMAT;
    out.target = body.substr(1, end - 1);
    ++end;
  } else {
    end = std::min(body.find(L' '), body.size());
    out.target = body.substr(0, end);
  }
  const std::size_t params = body.find_first_not_of(L' ', end);
  out.parameters = params == std::wstring::npos ? std::wstring() : body.substr(params);
  return out.target.empty() ? ERROR_BAD_FORMAT : 0;
}

}  // namespace ce::shell

namespace {

using ce::shell::ReadShortcut;
using ce::shell::Shortcut;

BOOL Fail(SHELLEXECUTEINFOW* info, DWORD error) {
  // hInstApp carries a small error value, as the device's shell gives it.
  info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(error == ERROR_FILE_NOT_FOUND ? 2 : 31));
  SetLastError(error);
  return FALSE;
}

BOOL Start(SHELLEXECUTEINFOW* info, const std::wstring& program, const std::wstring& parameters) {
  const ce::kernel::process::Started started = ce::kernel::process::StartProgram(program, parameters);
  if (started.error != 0) return Fail(info, started.error);
  if (info->fMask & SEE_MASK_NOCLOSEPROCESS) {
    info->hProcess = started.handle;
  } else {
    CloseHandle(started.handle);
  }
  info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(33));
  return TRUE;
}

// A document of the device (a regular file that is no program), recorded
// and shown; a folder or any other kind of entry is refused.
BOOL OpenDocument(SHELLEXECUTEINFOW* info, const std::wstring& path) {
  const auto host = DocumentOnHost(path);
  if (!host) return Fail(info, ERROR_ACCESS_DENIED);
  SHELLEXECUTEINFOW opened = *info;
  opened.lpFile = path.c_str();
  if (!RecordRequest(opened)) return Fail(info, ERROR_ACCESS_DENIED);
  ShowDocument(info->hwnd, path, *host);
  return Succeed(info);
}

// A program, or what can only be one: a ".exe" or a file that is not there
// (starting it gives the error to report).
bool IsProgramRequest(const std::wstring& file) {
  return ce::kernel::process::IsProgram(file) || EndsWithNoCase(file, L".exe") ||
         GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES;
}

}  // namespace

BOOL ShellExecuteEx(SHELLEXECUTEINFOW* info) {
  if (info == nullptr || info->cbSize != sizeof(SHELLEXECUTEINFOW) || info->lpFile == nullptr ||
      info->lpFile[0] == L'\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->hProcess = nullptr;
  if (info->lpVerb && info->lpVerb[0] != L'\0' && !ce::EqualsNoCase(info->lpVerb, L"open")) {
    ce::kernel::NotImplemented(("ShellExecuteEx(verb \"" + Field(info->lpVerb) + "\")").c_str());
    return FALSE;
  }
  if ((info->fMask & ~SEE_MASK_NOCLOSEPROCESS) != 0) {
    char what[64];
    std::snprintf(what, sizeof what, "ShellExecuteEx(mask %#lx)", static_cast<unsigned long>(info->fMask));
    ce::kernel::NotImplemented(what);
    return FALSE;
  }
  if (IsBrowser(info->lpFile)) {
    if (!RecordRequest(*info)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    ShowInBrowser(info->hwnd, info->lpParameters ? info->lpParameters : L"");
    return Succeed(info);
  }
  const std::wstring parameters = info->lpParameters ? info->lpParameters : L"";
  if (EndsWithNoCase(info->lpFile, L".lnk")) {
    Shortcut shortcut;
    if (const DWORD error = ReadShortcut(info->lpFile, shortcut)) return Fail(info, error);
    // A shortcut leads to a program, never to another shortcut.
    if (EndsWithNoCase(shortcut.target, L".lnk")) return Fail(info, ERROR_BAD_FORMAT);
    std::wstring all = shortcut.parameters;
    if (!parameters.empty()) all += (all.empty() ? L"" : L" ") + parameters;
    if (IsBrowser(shortcut.target)) {
      SHELLEXECUTEINFOW followed = *info;
      followed.lpFile = shortcut.target.c_str();
      followed.lpParameters = all.c_str();
      if (!RecordRequest(followed)) return Fail(info, ERROR_ACCESS_DENIED);
      ShowInBrowser(info->hwnd, all);
      return Succeed(info);
    }
    if (IsProgramRequest(shortcut.target)) return Start(info, shortcut.target, all);
    return OpenDocument(info, shortcut.target);
  }
  if (IsProgramRequest(info->lpFile)) return Start(info, info->lpFile, parameters);
  return OpenDocument(info, info->lpFile);
}
