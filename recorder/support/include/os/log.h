// Text files in UTF-16LE and the diagnostic log switched by the registry
// value "Log" under HKEY_CURRENT_USER\Software\Zentra. While the log is on,
// its text goes to its file and each finished line also to the device's
// debug output (OutputDebugStringW), the one way out of the programs'
// diagnostics.
#pragma once

#include <string>

#include "liba/text_stream.h"
#include "liba/thread.h"
#include "os/file.h"

namespace os {

template <typename Char>
class TextOStreamFile;

// Creates the file anew and starts it with the byte-order mark FF FE.
template <>
class TextOStreamFile<wchar_t> : public liba::TextOStream<wchar_t> {
 public:
  explicit TextOStreamFile(const std::wstring& path);
  void write(const wchar_t* begin, const wchar_t* end) override;
  void flush() override;

 protected:
  File file_;
};

template <typename Char>
class Log;

template <>
class Log<wchar_t> : public TextOStreamFile<wchar_t> {
 public:
  explicit Log(const std::wstring& path) : TextOStreamFile<wchar_t>(path) {}
  void write(const wchar_t* begin, const wchar_t* end) override;
  void flush() override;
  // Closes the file and hands on a last unfinished line; later writes do
  // nothing.
  void close();
  // Writes and flushes `record` when the log's lock can be had without
  // waiting (see write_log_without_waiting); false when it could not.
  bool write_without_waiting(const std::wstring& record);

 private:
  // Hands each line that [begin, end) finishes to the debug output, keeping
  // the rest for the next write; with lock_ held.
  void to_debug_output(const wchar_t* begin, const wchar_t* end);

  liba::CriticalSection lock_;
  std::wstring pending_;
  bool closed_ = false;
};

// The current log stream, switched on or off by the registry value.
liba::TextOStream<wchar_t>& get_log();

// Writes one record to the current log for a program that is about to end:
// the log's locks are tried a few times, with a yield between, but never
// waited for. The owner of a lock may be stuck, or, in a child forked while
// other threads ran, not exist at all; the record is then left out (false)
// so that the program still ends. True also when the log is off.
bool write_log_without_waiting(const std::wstring& record);

}  // namespace os
