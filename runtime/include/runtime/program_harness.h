// What the window programs share: where their data lies, whether a window
// can be shown, starting again on their own script when it cannot, and the
// screen window with its message loop.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ce/windows.h"

namespace harness {

// What a window program takes on its command line: nothing; words but no
// options (a word beginning with '-'); or anything, for its WinMain to judge.
enum class Takes { kNothing, kWords, kAnything };

// Answers the command line before the device starts, as every program does:
// --help (or -h) alone prints `usage` on standard output and gives 0; an
// argument the program does not take is named on standard error with the
// usage and gives 2. Nothing (the program goes on) otherwise.
std::optional<int> AnswerCommandLine(int argc, char** argv, const char* usage, Takes takes);

// The data folder beside the folder of the running executable ("bin/../data"),
// the same in the build tree and in an installed tree.
std::string DataFolder();

// The program's command line (its arguments, as WinMain gets them) as
// narrow text; the options are ASCII.
std::string CommandLineText(LPCWSTR commandLine);

// A host file's bytes; empty when it cannot be read.
std::vector<std::uint8_t> ReadHostFile(const std::string& path);

// Whether no window will be shown: the headless back end chosen, or no back
// end chosen and no desktop named.
bool WithoutDisplay();

// With no display and no script nothing would ever happen: the program
// starts again (same arguments, the words of `line`) on its own script.
// Returns only when it cannot, having said why on standard error.
void RunOwnScript(const char* program, const std::string& script, const std::string& line);

// A window class of the procedure and a window over the whole screen, shown;
// null when either cannot be made.
HWND OpenScreenWindow(HINSTANCE instance, const wchar_t* className, const wchar_t* title, WNDPROC proc, int show);
// The same for a program that takes the whole screen as the game does: the
// shell's title bar, task bar and input panel button stay hidden while it is
// in front.
HWND OpenFullScreenWindow(HINSTANCE instance, const wchar_t* className, const wchar_t* title, WNDPROC proc, int show);

// The thread's message loop, until WM_QUIT; returns its exit code.
int RunMessageLoop();

}  // namespace harness
