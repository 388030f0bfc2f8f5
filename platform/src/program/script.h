// Scripted input for whole-program runs: the file named by the device
// setting "script" (DEVICE_SCRIPT), one command a line, '#' starts a
// comment, coordinates in device pixels:
//   wait <ms>             let the program run for that long
//   tap <x> <y>           pen down and up at a point
//   down|move|up <x> <y>  one pen event
//   key <key>             press and release a key (a name such as "Enter",
//                         "Left", "F1", "A", "5", or a code: 13, 0x0D, and
//                         device keys beyond 0xFF such as 0x5BDD)
//   keydown|keyup <key>   one key event
//   text <characters>     characters typed (the rest of the line)
//   menu <caption>        chooses the entry of the open popup menu with that
//                         caption (the rest of the line, without case or
//                         '&' marks); a popup entry opens its submenu
//   softkey left|right    presses a soft key (VK_TSOFT1 or VK_TSOFT2)
//   screenshot <file.png> what the screen shows, as a PNG file (host path)
//   select <id> <text>    chooses the item named by the text (the rest of the
//                         line, matched without regard to case) in the list
//                         box or combo box with that control id, as a user's
//                         choice: the parent is told (LBN_/CBN_SELCHANGE)
//   type <id> <text>      gives the control with that id the focus, puts its
//                         caret at the end of its text and types the rest of
//                         the line
//   answer <button>       the button the next message box is answered with
//                         (ok, cancel, yes, no, abort, retry, ignore); each
//                         box takes the oldest answer not yet used
//   click <id>            presses the control with that id in the topmost
//                         dialog (BM_CLICK)
//   check <id>            presses it if it is not checked yet (check boxes
//                         and radio buttons)
//   sip on|off            puts the input panel up or down
//   sip type <characters> taps the input panel's keys (Shift first where a
//                         character needs it) to type the rest of the line
//   hold <x> <y>          press and hold: pen down at a point, a wait past
//                         the hold time (on the platform clock), pen up
//   quit                  asks the program to end
// The script runs on the platform clock. Before each command the program
// is let to settle: on the virtual clock, until every other thread waits
// (so a screenshot shows the effect of the input before it) without moving
// time. At the end of the script a headless run is asked to end, so no run
// waits for ever. A command that fails (its message on standard error) ends
// the script there; a headless run is then asked to end, and the run ends
// with a non-zero status.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ce/minwindef.h"

namespace ce::program {

struct ScriptCommand {
  enum class Kind {
    Wait,
    Tap,
    Down,
    Move,
    Up,
    Key,
    KeyDown,
    KeyUp,
    Text,
    Screenshot,
    Answer,
    Quit,
    Menu,
    SoftKey,
    Select,
    Type,
    Click,
    Check,
    Sip,
    Hold
  };
  Kind kind = Kind::Wait;
  int line = 0;
  long long ms = 0;
  int x = 0;
  int y = 0;
  int key = 0;  // Key*: the key; Sip: 1 on, 0 off, 2 type; Answer: the button (IDOK, ...); Select, Type, Click, Check:
                // the control id
  std::wstring text;
  std::string path;
};

// A key name or number as a VK_ code; 0 when unknown.
int KeyFromName(std::string_view name);

// The commands of a script; nothing, with the line and the reason in
// *error, when a line is not a valid command.
std::optional<std::vector<ScriptCommand>> ParseScript(std::string_view text, std::string* error);

class ScriptRunner {
 public:
  // Runs the commands on a platform thread of their own.
  static std::unique_ptr<ScriptRunner> Start(std::vector<ScriptCommand> commands, bool quitAtEnd);
  // Reads and starts the script of a host file; null (with a message on
  // standard error) when it cannot be read or parsed.
  static std::unique_ptr<ScriptRunner> StartFile(const std::string& hostPath, bool quitAtEnd);
  ~ScriptRunner();
  ScriptRunner(const ScriptRunner&) = delete;
  ScriptRunner& operator=(const ScriptRunner&) = delete;

  // Waits for the end of the script (true) or the time-out.
  bool Wait(DWORD timeoutMs);
  // Stops the script where it is and waits for its thread.
  void Stop();
  // Commands that failed (a screenshot that could not be written, a menu
  // entry that was not there to choose, a control to select in or type into
  // that is not there): 0 or 1, the first one ending the script.
  int failures() const;

  struct Shared;

 private:
  ScriptRunner() = default;
  std::shared_ptr<Shared> shared_;
  HANDLE thread_ = nullptr;
};

}  // namespace ce::program
