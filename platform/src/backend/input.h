// The input part of a back end: a queue of neutral events (the pen in device
// pixels, the device's keys, quit) that the window manager turns into window
// messages. A back end knows nothing of windows or messages; it only says
// what the user did, in the order it happened.
//
// Poll and Wait are called on the program's window thread (the desktop back
// end pumps its host events there); Wake may be called from any thread.
#pragma once

#include <memory>
#include <optional>

#include "ce/windef.h"

namespace ce::backend {

enum class InputKind {
  PenDown,  // the pen touched the screen at `pen`
  PenMove,  // the pen, still down, moved to `pen`
  PenUp,    // the pen left the screen at `pen`
  KeyDown,  // a device key went down, or repeats while held (`repeat`)
  KeyUp,    // a device key was released
  Quit,     // the user asked the program to close (the window's close button)
  Char,     // a character typed as such, not as keys (`key` holds its UTF-16 unit)
  Focus,    // the person gave the program's window the desktop's keyboard
};

// Bits of InputEvent::modifiers: the modifier keys held when the event
// happened. The modifier keys are also device keys of their own (VK_SHIFT,
// VK_CONTROL, VK_MENU), reported with their own down and up events.
inline constexpr BYTE kModifierShift = 0x01;
inline constexpr BYTE kModifierControl = 0x02;
inline constexpr BYTE kModifierAlt = 0x04;

// A Wait without a time limit.
inline constexpr DWORD kWaitForever = 0xFFFFFFFF;

struct InputEvent {
  InputKind kind = InputKind::Quit;
  POINT pen{};          // pen events: device pixels, always inside the screen
  WORD key = 0;         // key events: the device's virtual-key code
  BYTE modifiers = 0;   // kModifier* bits, for pen and key events
  bool repeat = false;  // KeyDown: the key was already down (auto-repeat of a held key)
};

class InputSource {
 public:
  virtual ~InputSource() = default;

  // Takes the oldest pending event; false when none is pending. Never blocks.
  virtual bool Poll(InputEvent& event) = 0;
  // Blocks until an event is pending, Wake is called or `timeoutMs`
  // milliseconds pass (kWaitForever, the value of INFINITE: no limit). True
  // unless the time ran out.
  // A Wake that came while nobody waited ends the next Wait at once.
  virtual bool Wait(DWORD timeoutMs) = 0;
  // Ends the current or the next Wait; from any thread.
  virtual void Wake() = 0;
  // Whether the user's events can be read on the calling thread (the
  // desktop's come to the window thread only).
  virtual bool ReadableHere() const { return true; }
  // True when a Wait on the calling thread sleeps until the host has events
  // (the desktop back end's window thread), so that thread can do all its
  // sleeping there.
  virtual bool WaitsForHostEvents() const { return false; }

  // Gives the source an event as if the user had caused it (scripted runs),
  // from any thread: it comes out of Poll after what is already pending,
  // like the user's own, and the arrival handler is told.
  void Inject(const InputEvent& event);

  // The input source of the back end chosen for this process (the one the
  // screen's display belongs to), made on first use.
  static std::shared_ptr<InputSource> Current();
  // Forgets the current source so the next Current() chooses again; whoever
  // still holds the old one keeps it. For tests.
  static void Reset();

 protected:
  // Queues an injected event for Poll; from any thread.
  virtual void Queue(const InputEvent& event) = 0;
};

// Whoever takes the input says here how to be told that an event was
// injected (the window layer wakes its input thread). The handler runs on
// the injecting thread once the event is queued; null for none.
void SetInputArrivalHandler(void (*handler)());

// Answers given ahead for the next message boxes (IDOK, IDYES, ...), oldest
// first: a script says what the user will press before the box comes up.
void QueueBoxAnswer(int id);
// The oldest answer given ahead and not yet used, if any.
std::optional<int> TakeBoxAnswer();

}  // namespace ce::backend
