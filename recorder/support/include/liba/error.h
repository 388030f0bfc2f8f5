// Error lists of objects that can fail, and the fatal-error exit.
#pragma once

#include <string>
#include <vector>

namespace liba {

// A non-empty list means the object has failed for the rest of its life.
class ErrorBase {
 public:
  ErrorBase() = default;
  ErrorBase(const ErrorBase&) = default;
  ErrorBase& operator=(const ErrorBase&) = default;
  virtual void add_error(const std::wstring& message) { errors.push_back(message); }
  virtual ~ErrorBase() = default;

  bool is_ok() const { return errors.empty(); }

  std::vector<std::wstring> errors;
};

// Logs "Snag: <what> @ <where>", shows a message box and ends the process
// with exit code 1. Never returns.
[[noreturn]] void fatal_error(const std::wstring& where, const std::wstring& what);

// Shows the fatal-error message box (text, caption). The default is the
// platform's message box over the foreground window; a test may put another
// in its place (null restores the default).
using FatalMessageBox = void (*)(const std::wstring& text, const std::wstring& caption);
FatalMessageBox set_fatal_message_box(FatalMessageBox box);

}  // namespace liba
