// Typing into an edit that holds 1,000 characters: each key is a WM_CHAR
// followed by the repaint it causes (the edit scrolled to its caret at the
// end of the text). A character typed and one taken away with Backspace
// keep the length steady.
#include <benchmark/benchmark.h>

#include <string>

#include "ce/winuser.h"
#include "controls/edit_and_lists.h"

namespace {

void BM_TypeIntoEditOf1000Characters(benchmark::State& state) {
  ce::controls::RegisterEditAndLists();
  HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 10, 10, 200, 24, nullptr,
                              nullptr, nullptr, nullptr);
  std::wstring text;
  for (int i = 0; i < 1000; ++i) text += static_cast<wchar_t>(L'a' + i % 26);
  SetWindowTextW(edit, text.c_str());
  SendMessageW(edit, EM_SETSEL, 1000, 1000);
  SetFocus(edit);
  UpdateWindow(edit);
  bool add = true;
  for (auto _ : state) {
    SendMessageW(edit, WM_CHAR, add ? L'x' : VK_BACK, 1);
    UpdateWindow(edit);
    add = !add;
  }
  state.counters["length"] = static_cast<double>(GetWindowTextLengthW(edit));
  DestroyWindow(edit);
}
BENCHMARK(BM_TypeIntoEditOf1000Characters);

}  // namespace
