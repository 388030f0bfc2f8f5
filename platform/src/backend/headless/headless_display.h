// The headless display: the screen is memory, and this display shows it the
// way a panel scans it out, so tests read exactly what a user would see,
// including writes that went straight to the frame buffer. It counts what
// it was asked to present and can write a screenshot.
#pragma once

#include <atomic>
#include <string>

#include "backend/display.h"

namespace ce::backend {

class HeadlessDisplay final : public Display {
 public:
  explicit HeadlessDisplay(const gdi::Surface& frame) : frame_(frame) {}

  void Present(const RECT& area) override;
  void SetPowerState(ULONG state) override { powerState_ = state; }
  void Raise() override { ++raiseCount_; }

  int width() const { return frame_.width; }
  int height() const { return frame_.height; }
  // The colour shown at a screen pixel (black while the panel is off);
  // CLR_INVALID outside the screen.
  COLORREF Pixel(int x, int y) const;
  // Writes what is shown as a PNG file at a host path; false when the file
  // cannot be written.
  bool SaveScreenshot(const std::string& hostPath) const;

  int presentCount() const { return presentCount_; }
  const RECT& lastPresented() const { return lastPresented_; }
  ULONG powerState() const { return powerState_; }
  // How often the program was brought to the front.
  int raiseCount() const { return raiseCount_.load(); }

 private:
  gdi::Surface frame_;
  int presentCount_ = 0;
  RECT lastPresented_{};
  ULONG powerState_ = VideoPowerOn;
  std::atomic<int> raiseCount_{0};
};

}  // namespace ce::backend
