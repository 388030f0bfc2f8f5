// ShellExecuteEx: the device's programs are started (through the kernel's
// process calls), shortcut files are followed to their targets, and the
// browser is a stand-in that records what it was asked to open, so a test or
// a person can see the request in the runtime folder.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "ce/shellapi.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "ce/winnls.h"
#include "kernel/device.h"
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
    // Values above 32 report success, as the device's shell does.
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(33));
    return TRUE;
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
      info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(33));
      return TRUE;
    }
    if (IsProgramRequest(shortcut.target)) return Start(info, shortcut.target, all);
    ce::kernel::NotImplemented("ShellExecuteEx(a shortcut to a document)");
    return FALSE;
  }
  if (IsProgramRequest(info->lpFile)) return Start(info, info->lpFile, parameters);
  ce::kernel::NotImplemented("ShellExecuteEx(document)");
  return FALSE;
}
