#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ce/shellapi.h"
#include "ce/winbase.h"
#include "kernel/device.h"

namespace {

SHELLEXECUTEINFOW Request(LPCWSTR file, LPCWSTR parameters) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = L"open";
  info.lpFile = file;
  info.lpParameters = parameters;
  info.nShow = 1;
  return info;
}

TEST(ShellExecuteEx, TheBrowserRecordsEachRequest) {
  const std::string log = ce::device::RuntimeFolder() + "/shell-requests.log";
  std::remove(log.c_str());
  SHELLEXECUTEINFOW first = Request(L"iexplore.exe", L"http://example.invalid/a");
  SHELLEXECUTEINFOW second = Request(L"\\Windows\\IEXPLORE.EXE", L"\\Storage\\help.htp");
  ASSERT_TRUE(ShellExecuteEx(&first));
  ASSERT_TRUE(ShellExecuteExW(&second));
  EXPECT_GT(reinterpret_cast<std::uintptr_t>(first.hInstApp), 32u);
  EXPECT_EQ(first.hProcess, nullptr);
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            "open\tiexplore.exe\thttp://example.invalid/a\n"
            "open\t\\Windows\\IEXPLORE.EXE\t\\Storage\\help.htp\n");
}

TEST(ShellExecuteEx, RefusesBadRequestsAndMissingFiles) {
  EXPECT_FALSE(ShellExecuteEx(nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SHELLEXECUTEINFOW wrong_size = Request(L"iexplore.exe", nullptr);
  wrong_size.cbSize = 12;
  EXPECT_FALSE(ShellExecuteEx(&wrong_size));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SHELLEXECUTEINFOW missing = Request(L"\\Windows\\nothing.lnk", nullptr);
  EXPECT_FALSE(ShellExecuteEx(&missing));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
