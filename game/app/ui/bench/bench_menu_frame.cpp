// One menu frame as the application runs it in the menu state: the event
// dispatched to the screen stack, the top screen drawn within its dirty
// rectangle, the frame presented, on a 240 x 320 screen. Two cases: a
// frame after a focus move (two buttons repainted) and a frame that
// repaints the whole screen.
#include <benchmark/benchmark.h>

#include "sample_screens.h"
#include "ui/dlg_man.h"

namespace {

using namespace ks::ui::sample;

void Frame(benchmark::State& state, bool whole) {
  auto display = OpenWithMenuArchive(KS_RES_ARK);
  if (!display) {
    state.SkipWithError("no menu archive at " KS_RES_ARK);
    return;
  }
  DlgMan man;
  man.Push(BuildMainMenu(display.get()), 0);
  man.DrawTop();
  DWORD now = 1000;
  bool down = true;
  for (auto _ : state) {
    // Alternate key-downs and key-ups of the Down key: every second frame
    // moves the focus, as a person stepping through the menu does.
    InputEvent e{down ? ::ui::kMsgKeyDown : ::ui::kMsgKeyUp, ::ui::kKeyDown, 0, now};
    down = !down;
    now += 31;
    if (whole) man.InvalidateTop();
    man.Dispatch(e);
    display->BeginDraw();
    man.DrawTop();
    display->EndDraw();
    display->Present();
  }
}

void BM_MenuFrameFocusMove(benchmark::State& state) { Frame(state, false); }
void BM_MenuFrameWhole(benchmark::State& state) { Frame(state, true); }

BENCHMARK(BM_MenuFrameFocusMove)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MenuFrameWhole)->Unit(benchmark::kMicrosecond);

}  // namespace
