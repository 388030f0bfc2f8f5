// DlgMan: the screen stack with key auto-repeat and deferred deletion.
#include "ui/dlg_man.h"

#include <algorithm>

#include "ui/dlg.h"

namespace {

// Whether a is later than b on a clock that may wrap.
bool After(DWORD a, DWORD b) { return static_cast<std::int32_t>(a - b) > 0; }

}  // namespace

DlgMan::DlgMan() { m_Deferred.reserve(32); }

DlgMan::~DlgMan() {
  PopAll();
  DeleteDeferred();
}

Dlg* DlgMan::Top() const { return m_Top >= 0 ? m_Screens[static_cast<std::size_t>(m_Top)] : nullptr; }

Dlg* DlgMan::At(int index) const {
  return index >= 0 && index < Count() ? m_Screens[static_cast<std::size_t>(index)] : nullptr;
}

void DlgMan::Push(Dlg* screen, int notifyCode) {
  if (screen == nullptr) return;
  screen->m_Manager = this;
  screen->m_NotifyCode = notifyCode;
  m_Screens.push_back(screen);
  ++m_Count;
  m_Top = static_cast<int>(m_Count) - 1;
  screen->Start();
}

void DlgMan::PushReplace(Dlg* screen, int notifyCode) {
  if (screen == nullptr) return;
  Pop();
  Push(screen, notifyCode);
}

void DlgMan::PushBottom(Dlg* screen, int notifyCode) {
  if (screen == nullptr) return;
  screen->m_Manager = this;
  screen->m_NotifyCode = notifyCode;
  m_Screens.insert(m_Screens.begin(), screen);
  ++m_Count;
  m_Top = static_cast<int>(m_Count) - 1;
  screen->Start();
}

Dlg* DlgMan::Pop() {
  if (m_Count == 0) return nullptr;
  Dlg* popped = m_Screens.back();
  m_Screens.pop_back();
  // The list grows past its reserved room rather than lose a screen when
  // more than 32 close within one event.
  m_Deferred.push_back(popped);
  --m_Count;
  --m_Top;
  if (Dlg* top = Top(); top != nullptr) {
    top->Invalidate(0);
    return top;
  }
  return popped;
}

void DlgMan::PopAll() {
  while (Pop() != nullptr) {}
}

void DlgMan::DeleteDeferred() {
  for (Dlg* screen : m_Deferred) delete screen;
  m_Deferred.clear();
}

int DlgMan::CloseFinished() {
  Dlg* top = Top();
  if (top == nullptr) return 0;
  const int result = top->Result();
  if (result != Dlg::kResultOk && result != Dlg::kResultCancel && result != Dlg::kResultClose) return 0;
  Dlg* below = At(m_Top - 1);
  WPARAM p1 = 0;
  if (below != nullptr) {
    p1 = static_cast<WPARAM>((static_cast<std::uint32_t>(below->Id()) & 0xFFFFu) |
                             (static_cast<std::uint32_t>(top->NotifyCode()) & 0xFFFFu) << 16);
  }
  Pop();
  if (below != nullptr) below->WndProc(ui::kMsgChildClosed, p1, static_cast<LPARAM>(result));
  return 1;
}

void DlgMan::Repeat(InputEvent& event) {
  const DWORD t = event.time;
  if (event.message == ui::kMsgKeyDown) {
    switch (m_RepeatStage) {
      case 0:
        m_LastPress = t;
        m_FirstRepeatTime = t + m_FirstDelay;
        m_FastStageTime = t + m_FastStart;
        m_RepeatStage = 1;
        break;
      case 1:
        if (After(t, m_FirstRepeatTime)) {
          m_RepeatStage = 2;
          event.message = ui::kMsgKeyUp;
          m_LastPress = t;
        }
        break;
      case 2:
        if (t - m_LastPress > m_SlowInterval) {
          event.message = ui::kMsgKeyUp;
          m_LastPress = t;
        }
        if (After(t, m_FastStageTime)) m_RepeatStage = 3;
        break;
      default:
        if (t - m_LastPress > m_FastInterval) {
          event.message = ui::kMsgKeyUp;
          m_LastPress = t;
        }
        break;
    }
  } else if (event.message == ui::kMsgKeyUp) {
    // A real release just after a synthetic press would count twice.
    if (t - m_LastPress < 100 && m_RepeatStage > 1) event.message = 0;
    m_RepeatStage = 0;
    m_LastPress = 0;
  }
}

int DlgMan::Dispatch(InputEvent& event) {
  if (Dlg* top = Top(); top != nullptr) {
    if (top->StartTime() == 0) top->SetStartTime(event.time);
    Repeat(event);
    if (event.message != 0) top->WndProc(event.message, event.wParam, event.lParam);
    while (CloseFinished() != 0) {}
  }
  DeleteDeferred();
  return m_Top;
}

int DlgMan::DrawTop() {
  if (Dlg* top = Top(); top != nullptr) {
    top->SetDirtyFlag(false);
    const RECT dirty = top->DirtyRect();
    top->Draw(dirty, 1);
  }
  return 0;
}

void DlgMan::InvalidateTop() {
  if (Dlg* top = Top(); top != nullptr) top->m_DirtyRect = top->ScreenRect();
}

bool DlgMan::HasScreen(int id) const {
  return std::any_of(m_Screens.begin(), m_Screens.end(), [id](const Dlg* s) { return s->Id() == id; });
}

bool DlgMan::TopIs(int id) const {
  const Dlg* top = Top();
  return top != nullptr && top->Id() == id;
}

Dlg* DlgMan::FindScreen(int id) const {
  auto it = std::find_if(m_Screens.begin(), m_Screens.end(), [id](const Dlg* s) { return s->Id() == id; });
  return it != m_Screens.end() ? *it : nullptr;
}

void DlgMan::SetRepeatTiming(DWORD firstDelay, DWORD slowInterval, DWORD fastInterval) {
  m_FirstDelay = firstDelay;
  m_SlowInterval = slowInterval;
  m_FastInterval = fastInterval;
}
