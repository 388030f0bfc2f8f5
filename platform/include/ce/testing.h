// The test seam of the platform: what tests, benchmarks, fuzz targets and
// harnesses outside the platform may do to the device beyond what a program
// can. It sets the device up (strict mode, the device root and its settings
// read again), moves the virtual clock, reads the headless screen and
// speaker, and builds and reads the WAV files the headless microphone and
// speaker use. Programs never include it.
//
// Everything else a test sets up goes through device settings, the
// DEVICE_<KEY> variables (see device.h): the back end ("backend"), the
// microphone's input file ("mic"), the speaker's output file ("speaker"),
// the screen ("screen_*") and a script of input ("script").
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ce/windef.h"

namespace ce::testing {

// --- The device -------------------------------------------------------------

// In strict mode a platform call that is not implemented aborts the
// program, so a test fails at once instead of going on with a refusal.
void SetStrictMode(bool strict);

// Host path of the device root (no trailing slash), created on first use.
std::string DeviceRoot();
// Host path of the folder for what crosses processes (named mutexes, the
// windows of running programs, the log of shell requests).
std::string DeviceRuntimeFolder();
// Forgets the device root and the configuration read from "device.conf", so
// the next use reads DEVICE_ROOT and the configuration again. For tests that
// switch devices. (DEVICE_<KEY> variables are read at each use anyway.)
// Pending registry changes are written to the device they were made on
// first.
void ReloadDevice();

// --- The clock --------------------------------------------------------------

// Switches to the virtual clock, starting at startTickMs with the system time
// startSystemTime100ns (FILETIME units: 100 ns since 1601-01-01). Time then
// moves only when AdvanceClock is called, or when every platform thread
// waits and something is due. Call it before other threads wait.
void UseVirtualClock(std::uint64_t startTickMs, std::uint64_t startSystemTime100ns);
// Back to the host's clock.
void UseRealClock();
// Virtual clock only: moves time forward by ms, stopping at each due moment
// on the way and letting the threads woken there run until they wait again;
// returns once everything woken by the last step waits again.
void AdvanceClock(std::uint64_t ms);

// --- The screen (headless back end) -----------------------------------------

// Forgets the screen, so the next use makes it from the screen settings
// ("screen_width", "screen_bpp", "screen_rotation", ...) again; whoever
// still holds the old screen keeps drawing on it.
void ReloadScreen();
// The colour the headless display shows at a screen pixel (black while the
// panel is off); CLR_INVALID outside the screen or on another back end.
COLORREF ScreenPixel(int x, int y);
// Writes a raw pixel value (RGB565 or XRGB8888, as the screen holds it)
// into the screen memory at a screen pixel, behind every drawing path's
// back; nothing is presented. Nothing happens outside the screen.
void PokeScreenMemory(int x, int y, std::uint32_t value);

// --- Menus and the shell's bar ----------------------------------------------

// One entry of an open popup, as the user sees it.
struct MenuEntry {
  std::wstring caption;  // without its '&' marks
  UINT id = 0;           // 0 for separators and popups
  bool enabled = false;
  bool checked = false;
  bool popup = false;
  bool separator = false;
  bool selected = false;
};
// The entries of the open popup's deepest level; empty when none is open.
std::vector<MenuEntry> OpenMenuEntries();
// Chooses an entry of the open popup by its caption (without case), as
// the script's "menu" word does; false when none is open or no enabled
// entry has that caption. From any thread.
bool ChooseMenuEntry(const std::wstring& caption);
// The command the last popup ended with (0: cancelled); nothing before
// the first popup.
std::optional<UINT> LastMenuCommand();

// A button of a shell menu bar (SHCreateMenuBar); the first visible one is
// the left soft key, the second the right one.
struct MenuBarButton {
  int id = 0;
  std::wstring caption;
  bool enabled = false;
  bool checked = false;
  bool hidden = false;
  bool indeterminate = false;
  bool dropDown = false;  // it drops a popup
  int image = -2;         // the bar image it shows (I_IMAGENONE: none)
};
// The buttons of a bar window; nothing when it is not one.
std::optional<std::vector<MenuBarButton>> MenuBarButtons(HWND bar);
// The done button of a window (SHDoneButton): whether it shows, and
// pressing it (WM_COMMAND IDOK, or IDCANCEL, to the window).
bool DoneButtonShown(HWND hwnd);
bool PressDoneButton(HWND hwnd);
// The shell's "tray" window of a Smartphone device (class and title
// "tray"): how often a program asked it to show the caption again
// (WM_USER with wParam 4), and the foreground window's title it showed
// then. Nothing on a Pocket PC, which has no such window.
struct TrayState {
  int captionRefreshes = 0;
  std::wstring caption;
};
std::optional<TrayState> Tray();

// --- Sound (headless back end) ----------------------------------------------

// A PCM format of the sound devices: 1 or 2 channels of 8 or 16 bits.
struct PcmFormat {
  unsigned channels = 0;
  unsigned rate = 0;
  unsigned bits = 0;
  bool operator==(const PcmFormat&) const = default;
};

// One buffer the headless speaker played.
struct PlayedBuffer {
  std::uint64_t startMs = 0;  // the clock when it began to play
  UINT device = 0;
  std::uint64_t stream = 0;  // which open of the device played it (counts from 1)
  PcmFormat format;
  std::uint32_t volume = 0xFFFFFFFFu;  // the device volume then (not applied to the bytes)
  std::vector<std::uint8_t> bytes;     // as the program wrote them
};

// Takes everything the headless speaker played since the last call, oldest
// first. The speaker keeps at most "speaker_memory_limit" bytes (default
// 64 MB), dropping the oldest buffers.
std::vector<PlayedBuffer> TakePlayedAudio();

// A PCM WAV file as the headless microphone reads it ("mic") and the
// headless speaker writes it ("speaker"): the canonical 44-byte header
// followed by the samples.
std::vector<std::uint8_t> MakeWav(const PcmFormat& format, const std::vector<std::uint8_t>& samples);

// Where the samples of a PCM WAV file are.
struct WavLayout {
  PcmFormat format;
  std::size_t dataOffset = 0;  // of the samples within the file
  std::size_t dataSize = 0;    // whole frames, inside the file
};
// Parses a file the way the sound devices do: PCM of 8 or 16 bits, 1 or 2
// channels; the data chunk is clamped to the bytes present and a data size of
// 0 means "to the end of the file". Nothing for anything else.
std::optional<WavLayout> ParseWav(const std::uint8_t* bytes, std::size_t size);

}  // namespace ce::testing
