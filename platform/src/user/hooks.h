// What the areas above the window layer hand it, so that it never calls up
// into them: the system's window classes (controls) and the shell's windows
// (menus). Each is installed when the library starts
// (program/library_start.cpp); until then the window layer does without.
#pragma once

namespace ce::user {

// Registers the system's window classes (dialogs and the standard
// controls). It runs before any window is made, every time, so it must
// register only once itself.
using ClassRegistrar = void (*)();
void SetStandardClasses(ClassRegistrar registrar);

// The shell's windows: beforeTopLevel runs before a top-level window is
// made (the tray and the title bar come with the first), foregroundChanged
// when the foreground window, its title or its full-screen state changed.
struct ShellWindows {
  void (*beforeTopLevel)() = nullptr;
  void (*foregroundChanged)() = nullptr;
};
void SetShellWindows(const ShellWindows& shell);

// The window layer's calls of what was installed; nothing when it was not.
void RegisterStandardClasses();
void ShellBeforeTopLevel();
void ShellForegroundChanged();

}  // namespace ce::user
