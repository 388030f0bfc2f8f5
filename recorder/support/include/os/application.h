// The recorder's process-wide application object: COM for the UI thread,
// the window class name by which a running instance is found, the active
// object scheduler, and the single-instance rule.
#pragma once

#include <string>

#include "ce/windef.h"
#include "liba/nocopy.h"
#include "os/active_scheduler.h"
#include "os/com_scope.h"

namespace os {

class Application : private liba::Nocopy {
 public:
  // Ends the process (fatal error) when "SkinnerClass_" + name is longer
  // than 38 characters or another application object exists.
  Application(HINSTANCE instance_handle, const std::wstring& name);
  virtual ~Application();

  static Application* instance();
  CActiveScheduler* get_scheduler() const { return scheduler_; }
  const std::wstring& get_class_name() const { return class_name_; }
  HINSTANCE get_instance_handle() const { return instance_handle_; }

  // Waits for the single-instance lock, then looks for a running instance's
  // main window and hands it the command line. True when one took it; the
  // lock stays held either way.
  bool is_already_running(const std::wstring& command_line);
  void release_instance_lock();

 private:
  static BOOL CALLBACK enum_window(HWND hwnd, LPARAM self);

  ComScope com_;
  HINSTANCE instance_handle_;
  HANDLE mutex_ = nullptr;
  std::wstring class_name_;
  CActiveScheduler* scheduler_ = nullptr;
  bool found_ = false;
  std::wstring command_line_;
};

// Shows the wait cursor while it lives.
class WaitCursor : private liba::Nocopy {
 public:
  WaitCursor();
  ~WaitCursor();

 private:
  HCURSOR previous_;
};

}  // namespace os
