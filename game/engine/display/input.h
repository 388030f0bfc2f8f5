// ssInput: the application's input device. Input reaches the game through
// window messages, so every operation here is empty; the object only keeps
// the window it was given and the wait callback the application installs.
#pragma once

#include "ce/windef.h"

// One window message as the application hands it on (to the play control
// and the movie player): the message, its two parameters and its time in ms.
struct InputEvent {
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
};

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
