// ShellExecuteEx. The device's programs are not started from here: the
// browser is a stand-in that records what it was asked to open, so a test or
// a person can see the request in the runtime folder.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "ce/shellapi.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "kernel/device.h"
#include "kernel/not_implemented.h"

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

}  // namespace

BOOL ShellExecuteEx(SHELLEXECUTEINFOW* info) {
  if (info == nullptr || info->cbSize != sizeof(SHELLEXECUTEINFOW) || info->lpFile == nullptr ||
      info->lpFile[0] == L'\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->hProcess = nullptr;
  if (IsBrowser(info->lpFile)) {
    if (!RecordRequest(*info)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    // Values above 32 report success, as the device's shell does.
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(33));
    return TRUE;
  }
  if (GetFileAttributesW(info->lpFile) == INVALID_FILE_ATTRIBUTES) {
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(2));
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  ce::kernel::NotImplemented("ShellExecuteEx(document or program)");
  return FALSE;
}
