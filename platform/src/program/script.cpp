#include "program/script.h"

#include <atomic>
#include <cctype>
#include <cwctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "backend/headless/headless_display.h"
#include "backend/input.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "gdi/screen.h"
#include "kernel/clock.h"
#include "kernel/debug_output.h"
#include "menus/menus.h"

namespace ce::program {

using backend::HeadlessDisplay;
using backend::InputEvent;
using backend::InputKind;
using backend::InputSource;
using backend::QueueBoxAnswer;

namespace {

constexpr int kMaxCoordinate = 1 << 15;
constexpr long long kMaxWaitMs = 24ll * 3600 * 1000;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Trim(std::string_view text) {
  std::size_t start = 0;
  std::size_t end = text.size();
  while (start < end && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  while (end > start && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return std::string(text.substr(start, end - start));
}

bool ParseInteger(const std::string& text, long long low, long long high, long long* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 0);
  if (end != text.c_str() + text.size() || value < low || value > high) return false;
  *out = value;
  return true;
}

}  // namespace

int KeyFromName(std::string_view name) {
  static const struct {
    const char* name;
    int vk;
  } kNames[] = {
      {"enter", VK_RETURN},    {"return", VK_RETURN}, {"action", VK_RETURN},  {"escape", VK_ESCAPE},
      {"esc", VK_ESCAPE},      {"back", VK_ESCAPE},   {"backspace", VK_BACK}, {"tab", VK_TAB},
      {"space", VK_SPACE},     {"left", VK_LEFT},     {"right", VK_RIGHT},    {"up", VK_UP},
      {"down", VK_DOWN},       {"home", VK_HOME},     {"end", VK_END},        {"pageup", VK_PRIOR},
      {"pagedown", VK_NEXT},   {"insert", VK_INSERT}, {"delete", VK_DELETE},  {"shift", VK_SHIFT},
      {"control", VK_CONTROL}, {"ctrl", VK_CONTROL},  {"alt", VK_MENU},       {"softkey1", VK_TSOFT1},
      {"softkey2", VK_TSOFT2}, {"talk", VK_TTALK},    {"star", VK_TSTAR},     {"pound", VK_TPOUND},
      {"off", VK_OFF},
  };
  const std::string lower = Lower(name);
  for (const auto& n : kNames) {
    if (lower == n.name) return n.vk;
  }
  if (lower.size() == 1 && std::isalnum(static_cast<unsigned char>(lower[0]))) {
    return std::toupper(static_cast<unsigned char>(lower[0]));
  }
  if (lower.size() >= 2 && lower[0] == 'f' && std::isdigit(static_cast<unsigned char>(lower[1]))) {
    long long n = 0;
    if (ParseInteger(lower.substr(1), 1, 24, &n)) return VK_F1 + static_cast<int>(n) - 1;
  }
  long long code = 0;
  if (ParseInteger(lower, 1, 0xFFFF, &code)) return static_cast<int>(code);
  return 0;
}

namespace {

// A message box button's name as its IDOK... value; 0 when unknown.
int ButtonFromName(std::string_view name) {
  static const struct {
    const char* name;
    int id;
  } kButtons[] = {{"ok", IDOK},         {"cancel", IDCANCEL}, {"abort", IDABORT}, {"retry", IDRETRY},
                  {"ignore", IDIGNORE}, {"yes", IDYES},       {"no", IDNO}};
  const std::string lower = Lower(name);
  for (const auto& b : kButtons) {
    if (lower == b.name) return b.id;
  }
  return 0;
}

}  // namespace

std::optional<std::vector<ScriptCommand>> ParseScript(std::string_view text, std::string* error) {
  using Kind = ScriptCommand::Kind;
  static const struct {
    const char* name;
    Kind kind;
  } kCommands[] = {{"wait", Kind::Wait},       {"tap", Kind::Tap},
                   {"down", Kind::Down},       {"move", Kind::Move},
                   {"up", Kind::Up},           {"key", Kind::Key},
                   {"keydown", Kind::KeyDown}, {"keyup", Kind::KeyUp},
                   {"text", Kind::Text},       {"screenshot", Kind::Screenshot},
                   {"answer", Kind::Answer},   {"quit", Kind::Quit},
                   {"menu", Kind::Menu},       {"softkey", Kind::SoftKey},
                   {"select", Kind::Select},   {"type", Kind::Type},
                   {"click", Kind::Click},     {"check", Kind::Check},
                   {"sip", Kind::Sip},         {"hold", Kind::Hold}};
  std::vector<ScriptCommand> commands;
  std::istringstream in{std::string(text)};
  std::string raw;
  int lineNumber = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = "line " + std::to_string(lineNumber) + ": " + why;
    return std::nullopt;
  };
  while (std::getline(in, raw)) {
    ++lineNumber;
    std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    const std::size_t space = line.find_first_of(" \t");
    const std::string word = Lower(line.substr(0, space));
    std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
    ScriptCommand command;
    command.line = lineNumber;
    bool known = false;
    for (const auto& c : kCommands) {
      if (word == c.name) {
        command.kind = c.kind;
        known = true;
      }
    }
    if (!known) return fail("unknown command \"" + word + "\"");
    if (command.kind == Kind::Text || command.kind == Kind::Menu) {
      // The rest of the line as it stands: '#' is a character here.
      if (command.kind == Kind::Menu) rest = Trim(rest);
      if (rest.empty()) return fail(command.kind == Kind::Text ? "text needs characters" : "menu needs a caption");
      command.text = ce::WideFromUtf8(rest);
      commands.push_back(std::move(command));
      continue;
    }
    if (command.kind == Kind::Sip && Lower(rest.substr(0, rest.find_first_of(" \t"))) == "type") {
      // Keys of the panel for the rest of the line as it stands.
      const std::size_t gap = rest.find_first_of(" \t");
      command.key = 2;
      command.text = gap == std::string::npos ? std::wstring() : ce::WideFromUtf8(rest.substr(gap + 1));
      if (command.text.empty()) return fail("sip type needs characters");
      commands.push_back(std::move(command));
      continue;
    }
    if (command.kind == Kind::Select || command.kind == Kind::Type) {
      // A control id, then the rest of the line as it stands.
      const std::size_t gap = rest.find_first_of(" \t");
      long long id = 0;
      if (gap == std::string::npos || !ParseInteger(rest.substr(0, gap), 1, 0xFFFF, &id)) {
        return fail(word + " needs a control id and text");
      }
      command.key = static_cast<int>(id);
      command.text = ce::WideFromUtf8(rest.substr(gap + 1));
      if (command.text.empty()) return fail(word + " needs a control id and text");
      commands.push_back(std::move(command));
      continue;
    }
    // Elsewhere a '#' starts a comment.
    rest = Trim(rest.substr(0, rest.find('#')));
    std::istringstream args(rest);
    std::vector<std::string> words;
    for (std::string w; args >> w;) words.push_back(w);
    switch (command.kind) {
      case Kind::Wait:
        if (words.size() != 1 || !ParseInteger(words[0], 0, kMaxWaitMs, &command.ms)) {
          return fail("wait needs milliseconds");
        }
        break;
      case Kind::Tap:
      case Kind::Hold:
      case Kind::Down:
      case Kind::Move:
      case Kind::Up: {
        long long x = 0;
        long long y = 0;
        if (words.size() != 2 || !ParseInteger(words[0], -kMaxCoordinate, kMaxCoordinate, &x) ||
            !ParseInteger(words[1], -kMaxCoordinate, kMaxCoordinate, &y)) {
          return fail(word + " needs two coordinates");
        }
        command.x = static_cast<int>(x);
        command.y = static_cast<int>(y);
        break;
      }
      case Kind::Key:
      case Kind::KeyDown:
      case Kind::KeyUp:
        if (words.size() != 1 || (command.key = KeyFromName(words[0])) == 0) {
          return fail(word + " needs a key name or code");
        }
        break;
      case Kind::Screenshot:
        if (words.size() != 1) return fail("screenshot needs a file name");
        command.path = words[0];
        break;
      case Kind::Answer:
        if (words.size() != 1 || (command.key = ButtonFromName(words[0])) == 0) {
          return fail("answer needs a button: ok, cancel, yes, no, abort, retry or ignore");
        }
        break;
      case Kind::Click:
      case Kind::Check: {
        long long id = 0;
        if (words.size() != 1 || !ParseInteger(words[0], 0, 0xFFFF, &id)) return fail(word + " needs a control id");
        command.key = static_cast<int>(id);
        break;
      }
      case Kind::Quit:
        if (!words.empty()) return fail("quit takes nothing");
        break;
      case Kind::SoftKey:
        if (words.size() == 1 && Lower(words[0]) == "left") {
          command.key = VK_TSOFT1;
        } else if (words.size() == 1 && Lower(words[0]) == "right") {
          command.key = VK_TSOFT2;
        } else {
          return fail("softkey needs left or right");
        }
        break;
      case Kind::Sip:
        if (words.size() == 1 && Lower(words[0]) == "on") {
          command.key = 1;
        } else if (words.size() == 1 && Lower(words[0]) == "off") {
          command.key = 0;
        } else {
          return fail("sip needs on, off or type");
        }
        break;
      case Kind::Text:
      case Kind::Menu:
      case Kind::Select:
      case Kind::Type:
        break;
    }
    commands.push_back(std::move(command));
  }
  return commands;
}

struct ScriptRunner::Shared {
  std::vector<ScriptCommand> commands;
  bool quitAtEnd = false;
  HANDLE stop = nullptr;  // manual-reset: set to end the script early
  std::atomic<int> failures{0};
};

namespace {

// Lets the program handle what it was given: on the virtual clock until all
// other threads wait, without moving time.
void Settle(HANDLE stop) {
  if (ce::kernel::clock::IsVirtual()) {
    ce::kernel::clock::Advance(0);
  } else {
    WaitForSingleObject(stop, 20);
  }
}

// Gives the program the event through the back end's input queue, as the
// user's own input comes.
void Feed(InputKind kind, const ScriptCommand& c) {
  InputEvent event;
  event.kind = kind;
  event.pen = POINT{c.x, c.y};
  event.key = static_cast<WORD>(c.key);
  InputSource::Current()->Inject(event);
}

void FeedText(const std::wstring& text) {
  for (const wchar_t c : text) {
    InputEvent event;
    event.kind = InputKind::Char;
    event.key = static_cast<WORD>(c);
    InputSource::Current()->Inject(event);
  }
}

// Chooses an entry of the open popup. The popup may still be opening (on
// the host's clock): it is given a moment to appear.
bool ChooseMenu(const ScriptCommand& c, HANDLE stop) {
  constexpr int kAttempts = 50;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (ce::menus::ChooseOpenEntry(c.text)) return true;
    if (ce::menus::CurrentPopup()) break;  // open, but no such entry
    Settle(stop);
    if (ce::kernel::clock::IsVirtual()) break;  // settled: it is not coming
  }
  ce::kernel::Diagnostic("script: line %d: no entry \"%s\" in an open menu", c.line, ce::Utf8FromWide(c.text).c_str());
  return false;
}

// The visible control with the id in the tree under a window, depth first.
HWND FindControlUnder(HWND top, int id) {
  for (HWND child = GetWindow(top, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (IsWindowVisible(child) && GetWindowLongW(child, GWL_ID) == id) return child;
    if (HWND found = FindControlUnder(child, id)) return found;
  }
  return nullptr;
}

// The control with the id: in the active window first, then in the other
// top-level windows.
HWND FindControl(int id) {
  if (HWND active = GetActiveWindow()) {
    if (HWND found = FindControlUnder(active, id)) return found;
  }
  struct Search {
    int id;
    HWND found;
  } search{id, nullptr};
  EnumWindows(
      [](HWND top, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        s->found = FindControlUnder(top, s->id);
        return s->found ? FALSE : TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[32] = {};
  GetClassNameW(hwnd, name, 32);
  std::wstring upper(name);
  for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
  return upper;
}

bool Select(const ScriptCommand& c) {
  HWND control = FindControl(c.key);
  const std::wstring cls = control ? ClassOf(control) : std::wstring();
  const bool list = cls == L"LISTBOX";
  if (!list && cls != L"COMBOBOX") {
    ce::kernel::Diagnostic("script: line %d: no list box or combo box with id %d", c.line, c.key);
    return false;
  }
  const LPARAM text = reinterpret_cast<LPARAM>(c.text.c_str());
  const LRESULT index =
      SendMessageW(control, list ? LB_FINDSTRINGEXACT : CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), text);
  if (index < 0) {
    ce::kernel::Diagnostic("script: line %d: control %d has no item \"%s\"", c.line, c.key,
                           ce::Utf8FromWide(c.text).c_str());
    return false;
  }
  const LRESULT before = SendMessageW(control, list ? LB_GETCURSEL : CB_GETCURSEL, 0, 0);
  SendMessageW(control, list ? LB_SETCURSEL : CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  const bool tells = !list || (GetWindowLongW(control, GWL_STYLE) & LBS_NOTIFY);
  if (before != index && tells) {
    if (HWND parent = GetParent(control)) {
      const WORD code = list ? LBN_SELCHANGE : CBN_SELCHANGE;
      SendMessageW(parent, WM_COMMAND, MAKELONG(static_cast<WORD>(c.key), code), reinterpret_cast<LPARAM>(control));
    }
  }
  return true;
}

bool Type(const ScriptCommand& c, HANDLE stop) {
  HWND control = FindControl(c.key);
  if (!control) {
    ce::kernel::Diagnostic("script: line %d: no control with id %d", c.line, c.key);
    return false;
  }
  SetFocus(control);
  const int length = GetWindowTextLengthW(control);
  SendMessageW(control, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
  Settle(stop);
  FeedText(c.text);
  return true;
}

bool Screenshot(const std::string& path) {
  auto screen = ce::gdi::Screen::Current();
  auto* display = dynamic_cast<HeadlessDisplay*>(&screen->display());
  if (!display) {
    ce::kernel::Diagnostic("script: screenshot needs the headless display");
    return false;
  }
  if (!display->SaveScreenshot(path)) {
    ce::kernel::Diagnostic("script: cannot write the screenshot \"%s\"", path.c_str());
    return false;
  }
  return true;
}

// The program's topmost visible dialog, or null.
BOOL CALLBACK FindDialog(HWND hwnd, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  wchar_t name[16];
  if (process == GetCurrentProcessId() && IsWindowVisible(hwnd) && GetClassNameW(hwnd, name, 16) &&
      ce::EqualsNoCase(name, L"Dialog")) {
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
  }
  return TRUE;
}

// Presses a control of the topmost dialog (only when it is not checked yet,
// for `check`), on the dialog's own thread.
bool PressControl(int id, bool onlyToCheck) {
  HWND dialog = nullptr;
  EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&dialog));
  HWND control = dialog ? GetDlgItem(dialog, id) : nullptr;
  if (!control) {
    ce::kernel::Diagnostic("script: no control %d in a dialog", id);
    return false;
  }
  if (onlyToCheck && SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED) return true;
  return PostMessageW(control, BM_CLICK, 0, 0) != FALSE;
}

// Types a command's text with taps on the input panel's keys.
bool TapPanel(const ScriptCommand& c, HANDLE stop) {
  const auto taps = ce::menus::SipTapsFor(c.text);
  if (!taps) {
    ce::kernel::Diagnostic("script: line %d: the input panel is down or lacks a key for \"%s\"", c.line,
                           ce::Utf8FromWide(c.text).c_str());
    return false;
  }
  for (const POINT& at : *taps) {
    ScriptCommand tap = c;
    tap.x = at.x;
    tap.y = at.y;
    Feed(InputKind::PenDown, tap);
    Settle(stop);
    Feed(InputKind::PenUp, tap);
    Settle(stop);
  }
  return true;
}

// A command that failed ends the script (its message is out); a run that
// ends with its script is asked to end now.
DWORD Failed(ScriptRunner::Shared& shared) {
  shared.failures.fetch_add(1);
  if (shared.quitAtEnd) Feed(InputKind::Quit, ScriptCommand{});
  return 1;
}

DWORD WINAPI RunScript(LPVOID parameter) {
  auto* shared = static_cast<ScriptRunner::Shared*>(parameter);
  using Kind = ScriptCommand::Kind;
  for (const ScriptCommand& c : shared->commands) {
    if (WaitForSingleObject(shared->stop, 0) == WAIT_OBJECT_0) return 0;
    Settle(shared->stop);
    switch (c.kind) {
      case Kind::Wait:
        if (WaitForSingleObject(shared->stop, static_cast<DWORD>(c.ms)) == WAIT_OBJECT_0) return 0;
        break;
      case Kind::Tap:
        Feed(InputKind::PenDown, c);
        Settle(shared->stop);
        Feed(InputKind::PenUp, c);
        break;
      case Kind::Down:
        Feed(InputKind::PenDown, c);
        break;
      case Kind::Move:
        Feed(InputKind::PenMove, c);
        break;
      case Kind::Up:
        Feed(InputKind::PenUp, c);
        break;
      case Kind::Key:
        Feed(InputKind::KeyDown, c);
        Settle(shared->stop);
        Feed(InputKind::KeyUp, c);
        break;
      case Kind::KeyDown:
        Feed(InputKind::KeyDown, c);
        break;
      case Kind::KeyUp:
        Feed(InputKind::KeyUp, c);
        break;
      case Kind::Text:
        FeedText(c.text);
        break;
      case Kind::Screenshot:
        if (!Screenshot(c.path)) return Failed(*shared);
        break;
      case Kind::Answer:
        QueueBoxAnswer(c.key);
        break;
      case Kind::Select:
        if (!Select(c)) return Failed(*shared);
        break;
      case Kind::Type:
        if (!Type(c, shared->stop)) return Failed(*shared);
        break;
      case Kind::Click:
      case Kind::Check:
        if (!PressControl(c.key, c.kind == Kind::Check)) return Failed(*shared);
        break;
      case Kind::Quit:
        Feed(InputKind::Quit, c);
        return 0;
      case Kind::Menu:
        if (!ChooseMenu(c, shared->stop)) return Failed(*shared);
        break;
      case Kind::SoftKey:
        Feed(InputKind::KeyDown, c);
        Settle(shared->stop);
        Feed(InputKind::KeyUp, c);
        break;
      case Kind::Sip:
        if (c.key == 2) {
          if (!TapPanel(c, shared->stop)) return Failed(*shared);
          break;
        }
        if (!ce::menus::SetSip(c.key != 0)) {
          ce::kernel::Diagnostic("script: line %d: the input panel could not be put %s", c.line, c.key ? "up" : "down");
          return Failed(*shared);
        }
        break;
      case Kind::Hold:
        // Past the shell's hold time (500 ms), on the platform clock.
        Feed(InputKind::PenDown, c);
        if (WaitForSingleObject(shared->stop, 600) == WAIT_OBJECT_0) return 0;
        Feed(InputKind::PenUp, c);
        break;
    }
  }
  Settle(shared->stop);
  if (shared->quitAtEnd) Feed(InputKind::Quit, ScriptCommand{});
  return 0;
}

}  // namespace

std::unique_ptr<ScriptRunner> ScriptRunner::Start(std::vector<ScriptCommand> commands, bool quitAtEnd) {
  std::unique_ptr<ScriptRunner> runner(new ScriptRunner());
  runner->shared_ = std::make_shared<Shared>();
  runner->shared_->commands = std::move(commands);
  runner->shared_->quitAtEnd = quitAtEnd;
  runner->shared_->stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  runner->thread_ = CreateThread(nullptr, 0, RunScript, runner->shared_.get(), 0, nullptr);
  if (!runner->thread_) return nullptr;
  return runner;
}

std::unique_ptr<ScriptRunner> ScriptRunner::StartFile(const std::string& hostPath, bool quitAtEnd) {
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) {
    ce::kernel::Diagnostic("script: cannot read \"%s\"", hostPath.c_str());
    return nullptr;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::string error;
  auto commands = ParseScript(text.str(), &error);
  if (!commands) {
    ce::kernel::Diagnostic("script: \"%s\" %s", hostPath.c_str(), error.c_str());
    return nullptr;
  }
  return Start(std::move(*commands), quitAtEnd);
}

ScriptRunner::~ScriptRunner() {
  Stop();
  if (shared_ && shared_->stop) CloseHandle(shared_->stop);
}

bool ScriptRunner::Wait(DWORD timeoutMs) {
  return !thread_ || WaitForSingleObject(thread_, timeoutMs) == WAIT_OBJECT_0;
}

void ScriptRunner::Stop() {
  if (!thread_) return;
  SetEvent(shared_->stop);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
}

int ScriptRunner::failures() const { return shared_ ? shared_->failures.load() : 0; }

}  // namespace ce::program
