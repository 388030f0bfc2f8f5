// Deferred work on the UI thread: a pending active object runs when the
// scheduler's hidden window receives the dispatch message for it.
#pragma once

#include <cstdint>

#include "ce/windef.h"
#include "liba/nocopy.h"

// An object the scheduler can run later.
class CActive {
 public:
  virtual ~CActive() = default;
  virtual void run() = 0;

  bool pending = false;
};

class CActiveScheduler : private liba::Nocopy {
 public:
  // WM_USER + 5; wParam is the active object.
  static constexpr unsigned kDispatchMessage = 1029;

  CActiveScheduler();
  // Ends the process through the fatal-error exit when objects still wait.
  virtual ~CActiveScheduler();

  // Makes the object pending and posts its dispatch message.
  bool add(CActive* object);
  // Runs a pending object (its flag cleared first); false when not pending.
  bool dispatch(CActive* object);
  std::uint32_t get_count() const;
  HWND get_window() const;

  struct Impl;

 private:
  Impl* impl_;
};
