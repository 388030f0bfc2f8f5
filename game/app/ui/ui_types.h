// What the game's widgets and screens share: the message numbers they send
// each other, the notification codes, pen positions packed in one word and
// the conversion of design-screen pixels (220 x 176) to screen fractions.
#pragma once

#include <cstdint>

#include "ce/windef.h"

namespace ui {

// Messages between widgets, with the platform's numbers.
inline constexpr UINT kMsgPaint = 15;
inline constexpr UINT kMsgKeyDown = 256;
inline constexpr UINT kMsgKeyUp = 257;
// A character typed on a desktop keyboard (the first parameter).
inline constexpr UINT kMsgChar = 258;
inline constexpr UINT kMsgInitDialog = 272;
inline constexpr UINT kMsgCommand = 273;
inline constexpr UINT kMsgHScroll = 276;
inline constexpr UINT kMsgVScroll = 277;
inline constexpr UINT kMsgPenMove = 512;
inline constexpr UINT kMsgPenDown = 513;
inline constexpr UINT kMsgPenUp = 514;
// Sent to the screen below when the screen above it closes.
inline constexpr UINT kMsgChildClosed = 793;

// Notification codes: the high 16 bits of a command's first parameter.
inline constexpr int kNotifyClicked = 0;
inline constexpr int kNotifyChanged = 1;
inline constexpr int kNotifyPressed = 2;
inline constexpr int kNotifyListFocus = 4;
inline constexpr int kNotifyLeave = 5;
inline constexpr int kNotifyFocus = 6;
inline constexpr int kNotifyLostFocus = 7;

// Key codes the toolkit acts on.
inline constexpr int kKeyEnter = 0x0D;
inline constexpr int kKeyLeft = 0x25;
inline constexpr int kKeyUp = 0x26;
inline constexpr int kKeyRight = 0x27;
inline constexpr int kKeyDown = 0x28;
inline constexpr int kKey3 = 0x33;
inline constexpr int kKey9 = 0x39;

// Widget kinds.
inline constexpr int kKindWindow = 0;
inline constexpr int kKindStatic = 1;
inline constexpr int kKindKeyboard = 2;
inline constexpr int kKindPicture = 3;
inline constexpr int kKindButton = 5;
inline constexpr int kKindListBox = 9;
inline constexpr int kKindScrollBar = 10;
inline constexpr int kKindChoiceList = 15;

// Style bits the base reads.
inline constexpr std::uint32_t kStyleCentre = 0x800;
inline constexpr std::uint32_t kStyleFocusable = 0x10000;
inline constexpr std::uint32_t kStyleBevel18 = 0x40000;
inline constexpr std::uint32_t kStyleBevel = 0x400000;
inline constexpr std::uint32_t kStyleInset = 0x800000;
inline constexpr std::uint32_t kStyleTitle = 0xC00000;
inline constexpr std::uint32_t kStyleVisible = 0x10000000;

// Flag bits the base reads.
inline constexpr std::uint32_t kFlagTransparent = 0x20;
inline constexpr std::uint32_t kFlagOwnKeys = 0x10000;
inline constexpr std::uint32_t kFlagTranslucent = 0x80000;
inline constexpr std::uint32_t kFlagFirstFocus = 0x100000;
inline constexpr std::uint32_t kFlagShadow = 0x200000;

// A command's first parameter: control id low, code high.
constexpr WPARAM MakeCommand(int id, int code) {
  return static_cast<WPARAM>((static_cast<std::uint32_t>(id) & 0xFFFFu) | (static_cast<std::uint32_t>(code) & 0xFFFFu)
                                                                              << 16);
}
constexpr int CommandId(WPARAM p1) { return static_cast<int>(static_cast<std::uint32_t>(p1) & 0xFFFFu); }
constexpr int CommandCode(WPARAM p1) { return static_cast<int>((static_cast<std::uint32_t>(p1) >> 16) & 0xFFFFu); }

// A pen position: x in the low 16 bits, y in the high 16 bits, both
// unsigned screen pixels.
constexpr LPARAM MakePos(int x, int y) {
  return static_cast<LPARAM>((static_cast<std::uint32_t>(x) & 0xFFFFu) | (static_cast<std::uint32_t>(y) & 0xFFFFu)
                                                                             << 16);
}
constexpr int PosX(LPARAM pos) { return static_cast<int>(static_cast<std::uint32_t>(pos) & 0xFFFFu); }
constexpr int PosY(LPARAM pos) { return static_cast<int>((static_cast<std::uint32_t>(pos) >> 16) & 0xFFFFu); }

// Design-screen pixels to 16.16 fractions of the screen.
constexpr LONG DesignX(int x) { return static_cast<LONG>((static_cast<std::int64_t>(x) * 65536 + 32768) / 220); }
constexpr LONG DesignY(int y) { return static_cast<LONG>((static_cast<std::int64_t>(y) * 65536 + 32768) / 176); }
// A rectangle given by its design-pixel corner and size, as fractions.
constexpr RECT DesignRect(int x, int y, int w, int h) {
  return RECT{DesignX(x), DesignY(y), DesignX(x + w), DesignY(y + h)};
}

// The feedback hook: called with a code after focus and selection moves
// (0 moved, 1 no move possible, 2 chosen with Enter, 4 Enter button, 5 "9"
// button). Nothing is installed by default.
using FeedbackHook = void (*)(int code);
void SetFeedbackHook(FeedbackHook hook);
void Feedback(int code);

}  // namespace ui
