#include "common/launch.h"

#include <string>
#include <vector>

namespace suite {

void SayCannotOpen(HWND owner, LPCWSTR what, DWORD error) {
  const std::wstring path = what != nullptr ? what : L"";
  // The caption is the file's name, as a person knows the program.
  std::wstring caption = path.substr(path.find_last_of(L'\\') + 1);
  if (const auto dot = caption.rfind(L'.'); dot != std::wstring::npos && dot > 0) caption.resize(dot);
  std::wstring text = L"Cannot open \"" + path + L"\"";
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    text += L": it is not on this device.";
  } else {
    text += L" (error " + std::to_wstring(error) + L").";
  }
  MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

BOOL StartProgram(HWND owner, LPCWSTR path, LPCWSTR parameters) {
  std::wstring line = parameters != nullptr ? parameters : L"";
  std::vector<WCHAR> commandLine(line.begin(), line.end());
  commandLine.push_back(L'\0');
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(path, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info)) {
    SayCannotOpen(owner, path, GetLastError());
    return FALSE;
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return TRUE;
}

BOOL OpenWithShell(HWND owner, SHELLEXECUTEINFOW* info) {
  if (!ShellExecuteExW(info)) {
    SayCannotOpen(owner, info->lpFile, GetLastError());
    return FALSE;
  }
  if (info->hProcess != nullptr && (info->fMask & SEE_MASK_NOCLOSEPROCESS) == 0) CloseHandle(info->hProcess);
  return TRUE;
}

BOOL OpenInBrowser(HWND owner, LPCWSTR document, HINSTANCE module) {
  if (GetFileAttributesW(document) == INVALID_FILE_ATTRIBUTES) {
    SayCannotOpen(owner, document, ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = L"OPEN";
  info.lpFile = L"iexplore.exe";
  info.lpParameters = document;
  info.nShow = SW_SHOW;
  info.hInstApp = module;
  if (!OpenWithShell(owner, &info)) return FALSE;
  if (info.hProcess != nullptr) CloseHandle(info.hProcess);
  return TRUE;
}

}  // namespace suite
