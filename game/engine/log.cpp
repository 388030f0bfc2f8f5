#include "engine/log.h"

#include <cstdarg>
#include <string>
#include <vector>

#include "ce/crt.h"
#include "ce/kernel/debug.h"
#include "ce/strconv.h"
#include "engine/file.h"

namespace {

struct LogState {
  bool enabled = true;
  bool trace = false;
  std::wstring path;
  std::uint32_t word = 0;
};

LogState& State() {
  static LogState state;
  return state;
}

std::vector<std::uint8_t> Utf16Line(std::wstring_view text, bool crlf) {
  std::vector<std::uint8_t> bytes;
  ce::AppendUtf16LE(bytes, text);
  if (crlf) ce::AppendUtf16LE(bytes, L"\r\n");
  return bytes;
}

// Device printf rules, cut to the line buffer and always terminated.
void FormatLine(wchar_t (&line)[kLogLineChars], const wchar_t* format, va_list args) {
  _vsnwprintf(line, kLogLineChars - 1, format ? format : L"", args);
  line[kLogLineChars - 1] = 0;
}

void WriteFormatted(const wchar_t* format, va_list args) {
  wchar_t line[kLogLineChars] = {};
  FormatLine(line, format, args);
  WriteLogLine(line);
}

}  // namespace

void OpenLog(const wchar_t* folder, const wchar_t* header, std::uint32_t word) {
  LogState& state = State();
  state.word = word;
  if (!state.enabled) return;
  state.path = folder ? folder : L"";
  state.path += L"\\message.log";
  ssFile file(word);
  if (!file.Open(state.path.c_str(), kFileModeCreateWrite, 0)) {
    state.enabled = false;
    return;
  }
  std::wstring first = header ? header : L"";
  first += L"\r\n\r\n";
  std::vector<std::uint8_t> bytes = Utf16Line(first, false);
  file.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  file.Close();
}

void EnableTrace() {
  State().trace = true;
  WriteLogLine(L"TRACE ON");
}

void WriteLogLine(const wchar_t* text) {
  LogState& state = State();
  if (!state.enabled || state.path.empty()) return;
  OutputDebugStringW(text);
  ssFile file(state.word);
  if (!file.Open(state.path.c_str(), kFileModeReadWrite, 0)) return;
  file.Seek(0, kSeekEnd);
  std::vector<std::uint8_t> bytes = Utf16Line(text ? text : L"", true);
  file.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  file.Close();
}

void WriteLog(int level, const wchar_t* format, ...) {
  const LogState& state = State();
  if (level == kLogLevelSilent || !state.trace || !state.enabled) return;
  va_list args;
  va_start(args, format);
  WriteFormatted(format, args);
  va_end(args);
}

void WriteTrace(const wchar_t* format, ...) {
  if (!State().enabled) return;
  va_list args;
  va_start(args, format);
  WriteFormatted(format, args);
  va_end(args);
}

void WriteAbortLog(const wchar_t* format, ...) {
  wchar_t message[kLogLineChars] = {};
  va_list args;
  va_start(args, format);
  FormatLine(message, format, args);
  va_end(args);
  // The message goes in as an argument, never as a format of its own.
  WriteLog(2, L"%s", kAbortBanner);
  WriteLog(2, L"%s", message);
  WriteLog(2, L"\r\n");
  WriteLogLine(kAbortBanner);
  WriteLogLine(message);
}

void ResetLogState() { State() = LogState{}; }
