// Speed of dialogs: a dialog of 20 controls (statics, check boxes, a radio
// group and push buttons, as a settings page has) made from its template,
// shown and painted, then destroyed.
#include <benchmark/benchmark.h>

#include <vector>

#include "ce/winuser.h"

namespace {

class Builder {
 public:
  explicit Builder(DWORD style) {
    Dword(style | DS_SETFONT);
    Dword(0);
    Word(0);
    for (int i = 0; i < 4; ++i) Word(0);
    bytes_[14] = 120;  // cx
    bytes_[16] = 150;  // cy
    Word(0);
    Word(0);
    String(L"Settings");
    Word(8);
    String(L"Tahoma");
  }
  void Add(WORD cls, DWORD style, WORD id, const wchar_t* text, short x, short y, short cx, short cy) {
    while (bytes_.size() % 4) bytes_.push_back(0);
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    Word(static_cast<WORD>(x)), Word(static_cast<WORD>(y)), Word(static_cast<WORD>(cx)), Word(static_cast<WORD>(cy));
    Word(id);
    Word(0xFFFF);
    Word(cls);
    String(text);
    Word(0);
    ++bytes_[8];
  }
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

 private:
  void Word(WORD w) {
    bytes_.push_back(static_cast<BYTE>(w & 0xFF));
    bytes_.push_back(static_cast<BYTE>(w >> 8));
  }
  void Dword(DWORD d) {
    Word(static_cast<WORD>(d & 0xFFFF));
    Word(static_cast<WORD>(d >> 16));
  }
  void String(const wchar_t* s) {
    for (; *s; ++s) Word(static_cast<WORD>(*s));
    Word(0);
  }
  std::vector<BYTE> bytes_;
};

Builder TwentyControls() {
  Builder b(WS_POPUP | WS_VISIBLE);
  for (WORD i = 0; i < 6; ++i) {
    b.Add(0x0082, SS_LEFT, static_cast<WORD>(100 + i), L"Label text", 4, static_cast<short>(4 + 12 * i), 50, 10);
    b.Add(0x0080, BS_AUTOCHECKBOX | WS_TABSTOP, static_cast<WORD>(200 + i), L"Option", 60,
          static_cast<short>(4 + 12 * i), 56, 10);
  }
  for (WORD i = 0; i < 5; ++i) {
    b.Add(0x0080, BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0), static_cast<WORD>(300 + i), L"Choice", 4,
          static_cast<short>(80 + 10 * i), 60, 10);
  }
  b.Add(0x0080, BS_GROUPBOX, 400, L"Group", 2, 74, 116, 54);
  b.Add(0x0080, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, IDOK, L"OK", 10, 132, 40, 14);
  b.Add(0x0080, BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, L"Cancel", 60, 132, 40, 14);
  return b;
}

INT_PTR CALLBACK Proc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG ? TRUE : FALSE; }

void Pump() {
  MSG msg{};
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// Made, shown and painted: what a person waits for.
void BM_CreateAndShowDialogOf20Controls(benchmark::State& state) {
  const Builder b = TwentyControls();
  DestroyWindow(CreateDialogIndirectParamW(nullptr, b.get(), nullptr, Proc, 0));  // warms fonts and classes
  Pump();
  for (auto _ : state) {
    HWND dialog = CreateDialogIndirectParamW(nullptr, b.get(), nullptr, Proc, 0);
    Pump();
    state.PauseTiming();
    DestroyWindow(dialog);
    Pump();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CreateAndShowDialogOf20Controls)->Unit(benchmark::kMicrosecond);

}  // namespace
