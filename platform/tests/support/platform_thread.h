// Runs a callable on a thread made by CreateThread, for tests of the
// platform's threads. The callable must outlive the thread.
#pragma once

#include <functional>

#include "ce/winbase.h"

namespace ce::test {

using ThreadBody = std::function<DWORD()>;

inline DWORD WINAPI RunThreadBody(LPVOID body) { return (*static_cast<ThreadBody*>(body))(); }

inline HANDLE StartThread(ThreadBody& body, DWORD flags = 0, DWORD* threadId = nullptr) {
  return CreateThread(nullptr, 0, RunThreadBody, &body, flags, threadId);
}

// Waits for a thread without limit and closes its handle; its exit code.
inline DWORD JoinThread(HANDLE thread) {
  DWORD code = 0xDEAD;
  if (WaitForSingleObject(thread, INFINITE) == WAIT_OBJECT_0) GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  return code;
}

}  // namespace ce::test
