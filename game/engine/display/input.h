// ssInput: the application's input device. Input reaches the game through
// window messages, so every operation here is empty; the object only keeps
// the window it was given and the wait callback the application installs.
#pragma once

#include "ce/windef.h"

class ssInput {
 public:
  using WaitCallback = void (*)();

  ssInput() = default;
  virtual ~ssInput() = default;
  ssInput(const ssInput&) = delete;
  ssInput& operator=(const ssInput&) = delete;

  void Init(HWND window) {
    m_Window = window;
    Prepare();
  }

  HWND m_Window = nullptr;
  WaitCallback m_Wait = nullptr;

 protected:
  virtual void Prepare() {}
};
