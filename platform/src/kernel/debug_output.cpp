#include "kernel/debug_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "ce/kernel/debug.h"
#include "ce/strconv.h"

namespace ce::kernel {

void DiagnosticLine(std::string_view text) {
  while (!text.empty() && (text.front() == '\n' || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  if (text.empty()) return;
  std::string line;
  line.reserve(text.size() + 1);
  for (char c : text) {
    if (c != '\r') line += c;
  }
  line += '\n';
  const char* at = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t n = ::write(STDERR_FILENO, at, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere to report that the report failed
    at += n;
    left -= static_cast<std::size_t>(n);
  }
}

void Diagnostic(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int size = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (size > 0) {
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<std::size_t>(size));
    DiagnosticLine(text);
  }
  va_end(again);
}

}  // namespace ce::kernel

void OutputDebugStringW(LPCWSTR text) {
  if (text != nullptr) ce::kernel::DiagnosticLine(ce::Utf8FromWide(text));
}
