// The printf-style calls: counted (_snwprintf), capped at 1024 characters
// (wsprintfW and the device's count-less swprintf), wide and narrow.
#include <cstdarg>

#include "ce/crt.h"
#include "ce/winbase.h"
#include "kernel/format.h"

namespace {

using ce::kernel::FormatSink;

// _snwprintf rules: terminated when shorter than count, full without a
// terminator when exactly count, -1 when longer.
template <class Char>
int FormatCounted(Char* buffer, std::size_t count, const Char* format, va_list args) {
  if (format == nullptr || (buffer == nullptr && count != 0)) return -1;
  FormatSink<Char> sink{buffer, count};
  ce::kernel::FormatV(sink, format, args);
  if (sink.overflow) return -1;
  if (sink.length < count) buffer[sink.length] = 0;
  return static_cast<int>(sink.length);
}

// Formats into at most kFormatBound - 1 characters plus the terminator.
// Returns the length and whether the text was cut.
template <class Char>
int FormatCapped(Char* buffer, const Char* format, va_list args, bool& cut) {
  cut = false;
  if (buffer == nullptr) return -1;
  if (format == nullptr) {
    buffer[0] = 0;
    return -1;
  }
  FormatSink<Char> sink{buffer, ce::kFormatBound - 1};
  ce::kernel::FormatV(sink, format, args);
  buffer[sink.length] = 0;
  cut = sink.overflow;
  return static_cast<int>(sink.length);
}

template <class Char>
int FormatBounded(Char* buffer, const Char* format, va_list args) {
  bool cut = false;
  const int length = FormatCapped(buffer, format, args, cut);
  return cut ? -1 : length;
}

}  // namespace

int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args) {
  bool cut = false;
  const int length = FormatCapped(buffer, format, args, cut);
  return length < 0 ? 0 : length;  // a cut result is kept, as on the device
}

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  const int result = wvsprintfW(buffer, format, args);
  va_end(args);
  return result;
}

int _vsnwprintf(wchar_t* buffer, std::size_t count, const wchar_t* format, va_list args) {
  return FormatCounted(buffer, count, format, args);
}

int _snwprintf(wchar_t* buffer, std::size_t count, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = FormatCounted(buffer, count, format, args);
  va_end(args);
  return result;
}

int _vsnprintf(char* buffer, std::size_t count, const char* format, va_list args) {
  return FormatCounted(buffer, count, format, args);
}

int _snprintf(char* buffer, std::size_t count, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = FormatCounted(buffer, count, format, args);
  va_end(args);
  return result;
}

namespace ce {

int vswprintf(wchar_t* buffer, const wchar_t* format, va_list args) { return FormatBounded(buffer, format, args); }

int swprintf(wchar_t* buffer, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = FormatBounded(buffer, format, args);
  va_end(args);
  return result;
}

int vsprintf(char* buffer, const char* format, va_list args) { return FormatBounded(buffer, format, args); }

int sprintf(char* buffer, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = FormatBounded(buffer, format, args);
  va_end(args);
  return result;
}

}  // namespace ce
