// InputMode: the base of the play control's input modes. Exactly one mode
// is active at a time; the Control hands it every event (pen, keys,
// commands, the timer tick) and reads the 32-bit answer: the low half is a
// code, the high half a value.
//
// The dispatcher decodes the event, calls one handler and folds its answer
// into that protocol. A mode asked to leave (message kMsgLeave) answers
// through OnResult; the base posts the answer and returns it on the next
// dispatch, so the Control sees it one pass later.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace ks {
class Pool;
}

namespace ks::play {

class View;

struct InputEvent {
  std::uint32_t message = 0;
  std::uint32_t wParam = 0;
  std::int32_t lParam = 0;
  std::uint32_t time = 0;  // ms
};

// Message numbers the modes look at.
inline constexpr std::uint32_t kMsgStartShot = 4;
inline constexpr std::uint32_t kMsgKeyDown = 0x100;
inline constexpr std::uint32_t kMsgKeyUp = 0x101;
inline constexpr std::uint32_t kMsgCommand = 0x111;
inline constexpr std::uint32_t kMsgTimer = 0x113;
inline constexpr std::uint32_t kMsgPenMove = 0x200;
inline constexpr std::uint32_t kMsgPenDown = 0x201;
inline constexpr std::uint32_t kMsgPenUp = 0x202;
inline constexpr std::uint32_t kMsgLeave = 0x8001;
inline constexpr std::uint32_t kMsgEnd = 0x8002;

// Result codes (low half of a result word).
enum ResultCode : std::uint32_t {
  kResultNone = 0,
  kResultCommand = 2,
  kResultRedraw = 3,
  kResultStartShot = 4,
  kResultShotOver = 5,
  kResultTurnReady = 6,
  kResultLeave = 0x8001,
  kResultEnd = 0x8002,
};

constexpr std::uint32_t MakeResult(std::uint32_t code, std::uint32_t value) { return (value << 16) | (code & 0xFFFF); }
constexpr std::uint32_t ResultCodeOf(std::uint32_t r) { return r & 0xFFFF; }
constexpr std::uint32_t ResultValueOf(std::uint32_t r) { return r >> 16; }
constexpr int PenX(const InputEvent& e) { return static_cast<std::int16_t>(e.lParam & 0xFFFF); }
constexpr int PenY(const InputEvent& e) {
  return static_cast<std::int16_t>((static_cast<std::uint32_t>(e.lParam) >> 16) & 0xFFFF);
}
constexpr std::int32_t PenParam(int x, int y) {
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(y & 0xFFFF) << 16) |
                                   static_cast<std::uint32_t>(x & 0xFFFF));
}

// The device keys of the play actions, by action index.
struct KeyMap {
  enum Action {
    kAimMode = 0,
    kMoveView = 1,
    kMoveBall = 3,
    kZipToEnd = 5,
    kInGameMenu = 6,
    kUp = 8,
    kDown = 9,
    kLeft = 10,
    kRight = 11,
    kZoomIn = 12,
    kZoomOut = 13,
    kOverHead = 15,
    kStrokeCue = 16,
    kTipLeft = 18,
    kTipRight = 19,
    kTipUp = 20,
    kTipDown = 21,
    kCueUp = 22,
    kCueDown = 23,
    kReplay = 26,
    kTrackLines = 28,
    kShowKeyMap = 29,
    kNextMode = 30,
    kPreviousMode = 31,
  };
  std::uint8_t keys[32] = {};
  // The action of a key code (its low byte), -1 when it has none.
  int ActionOf(std::uint32_t key) const;
  bool Is(std::uint32_t key, int action) const { return keys[action] != 0 && keys[action] == (key & 0xFF); }

  // The arrow an action stands for: x is 1 for Right and -1 for Left, y is 1
  // for Up and -1 for Down; both 0 for any other action.
  struct Arrow {
    int x = 0;
    int y = 0;
  };
  static Arrow ArrowOf(int action) {
    return Arrow{action == kRight ? 1 : action == kLeft ? -1 : 0, action == kUp ? 1 : action == kDown ? -1 : 0};
  }
};

class InputMode {
 public:
  InputMode() = default;
  virtual ~InputMode() = default;
  InputMode(const InputMode&) = delete;
  InputMode& operator=(const InputMode&) = delete;

  virtual int Init(InputMode* parent);
  virtual std::uint32_t OnCommand(const InputEvent& e);
  virtual std::uint32_t HandleEvent(const InputEvent& e);
  virtual std::uint32_t OnPenMove(const InputEvent&) { return 0; }
  virtual std::uint32_t OnPenDown(const InputEvent&) { return 0; }
  virtual std::uint32_t OnPenUp(const InputEvent&) { return 0; }
  virtual std::uint32_t OnKeyDown(const InputEvent&) { return 0; }
  virtual std::uint32_t OnKeyUp(const InputEvent&) { return 0; }
  virtual std::uint32_t OnEnd(const InputEvent& e) { return MakeResult(kResultCommand, e.wParam >> 16); }
  virtual std::uint32_t OnEndWith(const InputEvent& e) { return MakeResult(kResultCommand, e.wParam >> 16); }
  virtual std::uint32_t OnResult(std::uint32_t result);
  virtual std::uint32_t OnIdle(const InputEvent&) { return 0; }

  // Adds an owned child mode.
  InputMode* AddChild(std::unique_ptr<InputMode> mode);
  // The camera, reached through the topmost parent.
  View* GetTop();
  InputMode* Parent() const { return parent_; }

  InputEvent lastEvent;
  int penX = 0, penY = 0;
  std::uint32_t penMoveTime = 0;
  // Shared by the Control with every mode it makes.
  const KeyMap* keyMap = nullptr;
  Pool* pool = nullptr;
  View* view = nullptr;  // set on the topmost object only
  // Key-hold timing: the time of the last key release and of the hold start.
  std::uint32_t keyUpTime = 1, holdStart = 0;
  // Milliseconds a key has been held at this key-down.
  std::uint32_t HoldTime(const InputEvent& e);

 protected:
  std::uint32_t posted_ = 0;
  bool hasPosted_ = false;
  InputMode* parent_ = nullptr;
  std::vector<std::unique_ptr<InputMode>> children_;
};

}  // namespace ks::play
