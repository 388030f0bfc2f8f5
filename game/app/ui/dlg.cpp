// Dlg: a screen's start, end, key buttons and focus navigation.
#include "ui/dlg.h"

#include <cstdlib>

Dlg::Dlg() = default;
Dlg::~Dlg() = default;

int Dlg::EndHook() {
  m_Running = 0;
  return 1;
}

int Dlg::MessageHook() { return 0; }

int Dlg::Draw(const RECT& rect, int) {
  // The rectangle may be this screen's own dirty rectangle, which painting
  // resets: work on a copy.
  const RECT dirty = rect;
  Paint(dirty);
  return 1;
}

void Dlg::Start() {
  m_Running = 1;
  m_Result = kResultRunning;
  m_Focused = nullptr;
  WndProc(ui::kMsgInitDialog, reinterpret_cast<WPARAM>(this), static_cast<LPARAM>(m_Spare));
  Invalidate(0);
  if (m_Focused != nullptr) return;
  for (auto& child : m_Children) {
    if ((child->Flags() & ui::kFlagFirstFocus) != 0) {
      FocusChild(child.get());
      return;
    }
  }
  for (auto& child : m_Children) {
    if (child->CanFocus() && child->IsVisible()) {
      FocusChild(child.get());
      return;
    }
  }
}

void Dlg::FocusChild(Wnd* child) {
  if (child == nullptr) return;
  Wnd* previous = m_Focused;
  m_Focused = child;
  child->SetFocus(previous != child ? previous : nullptr);
  child->SetFocusFlag(true);
}

void Dlg::EndDialog(int result) {
  m_Result = result;
  EndHook();
}

Wnd* Dlg::GetChild(int id) const {
  for (const auto& child : m_Children) {
    if (child->Id() == id) return child.get();
  }
  return nullptr;
}

void Dlg::SetDefaultButtons(int three, int nine) {
  m_Button3 = GetChild(three);
  m_Button9 = GetChild(nine);
}

void Dlg::SetDefaultButtons(int three, int nine, int enter) {
  SetDefaultButtons(three, nine);
  m_ButtonEnter = GetChild(enter);
}

void Dlg::SetDirectionButtons(int up, int down, int left, int right) {
  m_ButtonUp = GetChild(up);
  m_ButtonDown = GetChild(down);
  m_ButtonLeft = GetChild(left);
  m_ButtonRight = GetChild(right);
}

void Dlg::Press(Wnd* button) {
  if (button != nullptr) button->Activate();
}

LRESULT Dlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  switch (message) {
    case ui::kMsgPaint: {
      Invalidate(0);
      Draw(m_DirtyRect, 1);
      break;
    }
    case ui::kMsgPenMove:
      OnPenMove(static_cast<std::uint32_t>(p1), p2);
      break;
    case ui::kMsgPenDown:
      OnPenDown(static_cast<std::uint32_t>(p1), p2);
      break;
    case ui::kMsgPenUp:
      OnPenUp(static_cast<std::uint32_t>(p1), p2);
      break;
    case ui::kMsgKeyUp:
      // The end of a focus chain is reported with the screen itself as the
      // first parameter: that is not a key.
      if (p1 != reinterpret_cast<WPARAM>(this)) HandleKeyUp(static_cast<int>(p1), p2);
      break;
    case ui::kMsgChar: {
      // A typed character goes where the keys go (the widget holding the
      // capture, else the focused one) when that is a text entry; other
      // widgets would hand it back up.
      Wnd* target = m_Capture != nullptr ? m_Capture : m_Focused;
      if (target != nullptr && target->Kind() == ui::kKindKeyboard) return target->WndProc(message, p1, p2);
      break;
    }
    default:
      break;
  }
  return 0;
}

void Dlg::HandleKeyUp(int key, LPARAM p2) {
  if (m_Capture != nullptr) {
    if (key == ui::kKey3 && m_Button3 != nullptr) {
      Press(m_Button3);
    } else {
      m_Capture->WndProc(ui::kMsgKeyUp, static_cast<WPARAM>(key), p2);
    }
    return;
  }
  switch (key) {
    case ui::kKeyEnter:
      if (m_ButtonEnter != nullptr) {
        Press(m_ButtonEnter);
        ui::Feedback(4);
      } else if (m_Focused != nullptr) {
        if ((m_Focused->Flags() & ui::kFlagOwnKeys) != 0) {
          m_Focused->WndProc(ui::kMsgKeyUp, static_cast<WPARAM>(key), p2);
        } else {
          Press(m_Focused);
          ui::Feedback(2);
        }
      }
      break;
    case ui::kKeyLeft:
    case ui::kKeyUp:
    case ui::kKeyRight:
    case ui::kKeyDown: {
      Wnd* button = nullptr;
      Direction direction = kUp;
      switch (key) {
        case ui::kKeyLeft:
          button = m_ButtonLeft, direction = kLeft;
          break;
        case ui::kKeyUp:
          button = m_ButtonUp, direction = kUp;
          break;
        case ui::kKeyRight:
          button = m_ButtonRight, direction = kRight;
          break;
        default:
          button = m_ButtonDown, direction = kDown;
          break;
      }
      if (button != nullptr) {
        Press(button);
      } else if (m_Focused != nullptr && (m_Focused->Flags() & ui::kFlagOwnKeys) != 0 &&
                 m_Focused->Neighbour(direction) == nullptr) {
        m_Focused->WndProc(ui::kMsgKeyUp, static_cast<WPARAM>(key), p2);
      } else {
        CycleFocus(direction);
      }
      break;
    }
    case ui::kKey3:
      Press(m_Button3);
      break;
    case ui::kKey9:
      if (m_Button9 != nullptr) {
        if (m_Focused != nullptr) m_Focused->KillFocus();
        Press(m_Button9);
        ui::Feedback(5);
      }
      break;
    default:
      break;
  }
}

void Dlg::CycleFocus(int direction) {
  if (m_Focused == nullptr || direction < kUp || direction > kRight) return;
  const auto dir = static_cast<Direction>(direction);
  Wnd* next = m_Focused->Neighbour(dir);
  // A ring of hidden children would never end: at most one step a child.
  for (int steps = 0; next != nullptr && steps <= ChildCount(); ++steps) {
    if (next->IsVisible() || m_AnyFocus != 0) break;
    next = next->Neighbour(dir);
  }
  if (next != nullptr && !next->IsVisible() && m_AnyFocus == 0) next = nullptr;
  if (next != nullptr) {
    Wnd* previous = m_Focused;
    m_Focused = next;
    next->SetFocus(previous != next ? previous : nullptr);
    next->SetFocusFlag(true);
    ui::Feedback(0);
    return;
  }
  static constexpr int kKeys[5] = {0, ui::kKeyUp, ui::kKeyDown, ui::kKeyLeft, ui::kKeyRight};
  WndProc(ui::kMsgKeyUp, reinterpret_cast<WPARAM>(this), kKeys[direction]);
  ui::Feedback(1);
}

bool Dlg::FocusNearest(int direction) {
  if (m_Focused == nullptr) return false;
  const RECT from = m_Focused->ScreenRect();
  Wnd* best = nullptr;
  long bestScore = 99999;
  for (auto& child : m_Children) {
    Wnd* c = child.get();
    if (c == m_Focused || !c->CanFocus() || !c->IsVisible()) continue;
    const RECT& r = c->ScreenRect();
    long distance;
    long across;
    switch (direction) {
      case kUp:
        distance = from.top - r.top;
        across = std::labs(static_cast<long>(r.left) - from.left);
        break;
      case kDown:
        distance = r.top - from.top;
        across = std::labs(static_cast<long>(r.left) - from.left);
        break;
      case kLeft:
        distance = from.left - r.left;
        across = std::labs(static_cast<long>(r.top) - from.top);
        break;
      default:
        distance = r.left - from.left;
        across = std::labs(static_cast<long>(r.top) - from.top);
        break;
    }
    if (distance <= 0) continue;
    const long score = distance + across / 3;
    if (score < bestScore) {
      bestScore = score;
      best = c;
    }
  }
  if (best == nullptr) return false;
  Wnd* previous = m_Focused;
  best->SetFocusFlag(true);
  best->SetFocus(previous);
  m_Focused = best;
  return true;
}

bool Dlg::FocusNearestUp() { return FocusNearest(kUp); }
bool Dlg::FocusNearestDown() { return FocusNearest(kDown); }
bool Dlg::FocusNearestLeft() { return FocusNearest(kLeft); }
bool Dlg::FocusNearestRight() { return FocusNearest(kRight); }
