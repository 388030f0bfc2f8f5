// Shared by the toolkit's tests and benchmark: a display device opened
// headless as the game opens it (240 x 320 turned to a 320 x 240 logical
// screen), an archive in memory whose "UI/res.ark" holds fonts rendered
// from the DejaVu faces and a few procedural pictures, a screen that
// records every message it receives, and input sent through the screen
// stack the way the application hands window messages on.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "display/display_s16.h"
#include "display/font.h"
#include "engine/image.h"
#include "engine/testing/memory_file.h"
#include "ui/dlg.h"
#include "ui/dlg_man.h"
#include "ui/ui_types.h"

namespace ks::ui::test {

// "UI/res.ark": the fonts "Small Fonts7" (mono), "Cornerstone8" and
// "cornerstone10", and the pictures "Back.tga", "Home.tga" (24 x 16),
// "Bill.tga" (190 x 74) and "Glow.tga" (40 x 30).
std::vector<std::uint8_t> ResArchive();

// A device opened headless with the archive set; null when it cannot open.
std::unique_ptr<ssDisplayS16> OpenDisplay(int width = 240, int height = 320);

// One message a recording screen received.
struct Received {
  UINT message;
  WPARAM p1;
  LPARAM p2;
};

// A screen that records its messages, then handles them as any screen.
class RecordingDlg : public Dlg {
 public:
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override {
    m_Log.push_back(Received{message, p1, p2});
    if (message == ::ui::kMsgInitDialog && m_OnInit) m_OnInit(this);
    if (message == ::ui::kMsgCommand && m_OnCommand) m_OnCommand(this, p1, p2);
    return Dlg::WndProc(message, p1, p2);
  }
  ~RecordingDlg() override {
    if (m_Deleted != nullptr) ++*m_Deleted;
  }
  // The commands (message 273) received, as (id, code) pairs.
  std::vector<std::pair<int, int>> Commands() const;
  int Count(UINT message) const;
  // Whether a command with that id and code arrived.
  bool Has(int id, int code) const;

  std::vector<Received> m_Log;
  void (*m_OnInit)(RecordingDlg*) = nullptr;
  void (*m_OnCommand)(RecordingDlg*, WPARAM, LPARAM) = nullptr;
  int* m_Deleted = nullptr;
  void* m_User = nullptr;
};

// A full-screen screen with the small font, created on the device.
RecordingDlg* MakeScreen(ssDisplay* display, int id = 1000);

// A fraction rectangle from logical pixels of the 320 x 240 screen.
RECT Px(int left, int top, int right, int bottom);

// Feedback codes the toolkit reported while alive.
class FeedbackLog {
 public:
  FeedbackLog();
  ~FeedbackLog();
  static std::vector<int>& Codes();
};

// Input as the application hands it to the stack: one InputEvent each.
struct Driver {
  DlgMan* man;
  DWORD time = 1000;
  int Send(UINT message, WPARAM p1, LPARAM p2) {
    InputEvent e;
    e.message = message;
    e.wParam = p1;
    e.lParam = p2;
    e.time = time;
    time += 31;
    return man->Dispatch(e);
  }
  // A quick tap of a key: down, then up.
  int Key(int code) {
    Send(::ui::kMsgKeyDown, static_cast<WPARAM>(code), 0);
    return Send(::ui::kMsgKeyUp, static_cast<WPARAM>(code), 0);
  }
  int Tap(int x, int y) {
    Send(::ui::kMsgPenDown, 1, ::ui::MakePos(x, y));
    return Send(::ui::kMsgPenUp, 0, ::ui::MakePos(x, y));
  }
};

// The logical pixel (x, y) of the back buffer.
std::uint16_t Pixel(const ssDisplayS16& d, int x, int y);

}  // namespace ks::ui::test
