#include "play/input_mode.h"

namespace ks::play {

int KeyMap::ActionOf(std::uint32_t key) const {
  for (int i = 0; i < 32; ++i)
    if (keys[i] != 0 && keys[i] == (key & 0xFF)) return i;
  return -1;
}

int InputMode::Init(InputMode* parent) {
  parent_ = parent;
  children_.clear();
  return 0;
}

std::uint32_t InputMode::OnCommand(const InputEvent& e) {
  if (parent_ != nullptr) return parent_->OnCommand(e);
  const std::uint32_t c = e.wParam;
  if (c == 0 || c == 8 || c == 9 || c > 18) return 0;
  return MakeResult(kResultCommand, c);
}

std::uint32_t InputMode::OnResult(std::uint32_t result) {
  posted_ = result;
  hasPosted_ = true;
  return 0;
}

std::uint32_t InputMode::HandleEvent(const InputEvent& e) {
  if (hasPosted_) {
    hasPosted_ = false;
    return posted_;
  }
  std::uint32_t r = 0;
  switch (e.message) {
    case kMsgPenDown:
      r = OnPenDown(e);
      break;
    case kMsgPenUp:
      r = OnPenUp(e);
      break;
    case kMsgPenMove:
      if ((e.wParam & 1) != 0) {
        r = OnPenMove(e);
        penMoveTime = e.time;
      }
      break;
    case kMsgKeyDown:
      r = OnKeyDown(e);
      break;
    case kMsgKeyUp:
      r = OnKeyUp(e);
      break;
    case kMsgCommand:
      return OnCommand(e);
    case kMsgStartShot:
      return kResultStartShot;
    case kMsgLeave:
      r = MakeResult(kResultLeave, e.wParam >> 16);
      break;
    case kMsgEnd:
      r = MakeResult(kResultEnd, e.wParam >> 16);
      break;
    default:
      break;
  }
  if (ResultCodeOf(r) == 0) {
    r = OnIdle(e);
  } else if ((r & 0x8000) != 0) {
    if (ResultCodeOf(r) == kResultEnd) return ResultValueOf(r) == 0x8000 ? OnEnd(e) : OnEndWith(e);
    r = OnResult(r);
  }
  lastEvent = e;
  return r;
}

InputMode* InputMode::AddChild(std::unique_ptr<InputMode> mode) {
  children_.push_back(std::move(mode));
  return children_.back().get();
}

View* InputMode::GetTop() {
  InputMode* m = this;
  while (m->parent_ != nullptr) m = m->parent_;
  return m->view;
}

std::uint32_t InputMode::HoldTime(const InputEvent& e) {
  if (keyUpTime >= holdStart) holdStart = e.time;
  return e.time - holdStart;
}

}  // namespace ks::play
