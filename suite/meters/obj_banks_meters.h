// The clock bank and the two icon banks that start and end every row.
#pragma once

#include "ce/windows.h"
#include "obj_meter.h"

namespace pelmora {

class CObjClock : public CObjMeter {
 public:
  // Loads the face picture.
  BOOL Init(HINSTANCE instance, HWND window) override;
  BOOL Update() override;
  BOOL Draw(HDC dc, const RECT& bank, HFONT normalFont, HFONT secondFont, int size, int bankIndex,
            BOOL selected) override;
  BOOL Action(int bankIndex) override;
  BOOL IsSingleAction() override { return 1; }
  // The end of a hand of `length` at `fraction` of a full turn from centre.
  static POINT HandEnd(POINT centre, int length, double fraction);

 private:
  int m_counter = 0;
  MeterPicture m_face;
};

class CObjLeftIcon : public CObjMeter {
 public:
  ~CObjLeftIcon() override;
  // Loads the icon (resource 50) and the picture shown at Tiny.
  BOOL Init(HINSTANCE instance, HWND window) override;
  // Opens the Drainlog window over the plug-in window.
  BOOL Action(int bankIndex) override;
  // The battery swap: after the user's OK the other main battery is in use.
  BOOL SecondAction(int bankIndex) override;
  BOOL Draw(HDC dc, const RECT& bank, HFONT normalFont, HFONT secondFont, int size, int bankIndex,
            BOOL selected) override;
  // Scaled like everything drawn in it, so the icon stays inside its bank at
  // any DPI.
  int GetWidth() override { return Scale(22); }
  int GetMainHeight(int size) override;
  int GetLabelHeight(int size) override;

 private:
  HICON m_icon = nullptr;
  MeterPicture m_tiny;
};

class CObjRightIcons : public CObjMeter {
 public:
  // Loads the picture of the two icons.
  BOOL Init(HINSTANCE instance, HWND window) override;
  BOOL Draw(HDC dc, const RECT& bank, HFONT normalFont, HFONT secondFont, int size, int bankIndex,
            BOOL selected) override;
  BOOL OnTapUp(int, int, int, int) override { return 1; }
  // Opens the options over the plug-in window.
  BOOL Action(int bankIndex) override;
  // Opens the help file in the browser.
  BOOL SecondAction(int bankIndex) override;
  int GetWidth() override { return Scale(21); }
  int GetMainHeight(int size) override;
  int GetLabelHeight(int size) override;

 private:
  MeterPicture m_icons;  // left half help, right half options
};

CObjClock& Clock();
CObjLeftIcon& LeftIcon();
CObjRightIcons& RightIcons();

}  // namespace pelmora
