#include "os/url.h"

#include "ce/shellapi.h"
#include "ce/winuser.h"

namespace os {

bool open_url(const std::wstring& url) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.lpVerb = L"open";
  info.lpFile = L"iexplore.exe";
  info.lpParameters = url.c_str();
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteEx(&info) != FALSE;
}

}  // namespace os
