#include "common/log.h"

#include <cstdarg>

#include "ce/crt.h"
#include "ce/kernel/debug.h"

namespace suite {

void LogLine(LPCWSTR format, ...) {
  wchar_t line[kLogLineChars] = {};
  va_list args;
  va_start(args, format);
  _vsnwprintf(line, kLogLineChars - 1, format != nullptr ? format : L"", args);
  va_end(args);
  line[kLogLineChars - 1] = 0;
  OutputDebugStringW(line);
}

}  // namespace suite
