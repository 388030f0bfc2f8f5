// A program on the headless back end (every tool, every test) loads none of
// the desktop's libraries: the desktop library, the display server's and the
// sound server's clients, and libxml2 with ICU are opened only when a
// window is shown on the desktop or an XML document is made.
#include <gtest/gtest.h>
#include <link.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ce/mmsystem.h"
#include "ce/windows.h"

namespace {

// The shared objects of the process whose names hold one of `parts`.
std::vector<std::string> LoadedAmong(const std::vector<std::string>& parts) {
  struct Search {
    const std::vector<std::string>* parts;
    std::vector<std::string> found;
  } search{&parts, {}};
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) {
        auto* s = static_cast<Search*>(data);
        const std::string name = info->dlpi_name != nullptr ? info->dlpi_name : "";
        for (const std::string& part : *s->parts) {
          if (name.find(part) != std::string::npos) s->found.push_back(name);
        }
        return 0;
      },
      &search);
  return search.found;
}

const std::vector<std::string> kDesktopLibraries = {"libSDL2",   "libX11", "libxcb",  "libwayland", "libpulse",
                                                    "libasound", "libicu", "libxml2", "libdbus"};

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The work of a small headless program: a window painted with text, a
// sound played. Run in a process of its own (a death test's), so that no
// other test of this program has loaded anything before.
void WorkHeadless() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = PlainProc;
  wc.lpszClassName = L"Plain";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, L"Plain", L"Plain", WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  HDC dc = GetDC(window);
  RECT r{0, 0, 200, 100};
  DrawTextW(dc, L"Text", -1, &r, DT_LEFT);
  ReleaseDC(window, dc);
  UpdateWindow(window);
  DestroyWindow(window);

  WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
  HWAVEOUT device = nullptr;
  if (waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR) {
    std::vector<char> silence(1600, 0);
    WAVEHDR header{};
    header.lpData = silence.data();
    header.dwBufferLength = static_cast<DWORD>(silence.size());
    waveOutPrepareHeader(device, &header, sizeof header);
    waveOutWrite(device, &header, sizeof header);
    waveOutReset(device);
    waveOutUnprepareHeader(device, &header, sizeof header);
    waveOutClose(device);
  }
}

TEST(LibraryLoading, AHeadlessProgramLoadsNoDesktopLibrary) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        WorkHeadless();
        std::string found;
        for (const std::string& name : LoadedAmong(kDesktopLibraries)) found += name + "\n";
        std::fputs(found.c_str(), stderr);
        std::fflush(stderr);
        _exit(found.empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "^$");
}

}  // namespace
