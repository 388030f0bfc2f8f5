// The message log: "message.log", a UTF-16 little-endian text file (no
// byte-order mark, CR LF line ends) in the folder given to OpenLog. The file
// is opened and closed for every line, so a line already written survives a
// crash. Every line written to the file also goes to the device's debug
// output (OutputDebugStringW), the one way out of the programs' diagnostics.
// Only the program, when the device setting message_log is on, opens the log
// and turns tracing on; otherwise WriteLog writes nothing.
#pragma once

#include <cstdint>

// Level that is never written.
inline constexpr int kLogLevelSilent = 5;
// WriteLog formats into this many wide characters; longer lines are cut.
inline constexpr std::size_t kLogLineChars = 512;

// Creates (empties) "<folder>\message.log" and writes the header and an empty
// line. When the file cannot be created the log stays off for the run.
void OpenLog(const wchar_t* folder, const wchar_t* header, std::uint32_t word);
void EnableTrace();
// Appends `text` and CR LF when the log is on, and hands it to the debug
// output; a line that cannot be written to the file is dropped there.
void WriteLogLine(const wchar_t* text);
// Device printf rules (%s is a wide string). Written only when tracing is on
// and level is not kLogLevelSilent.
void WriteLog(int level, const wchar_t* format, ...);
// Written whenever the log is on, tracing or not.
void WriteTrace(const wchar_t* format, ...);
// Records a fatal stop: the banner and the message, whatever the trace flag.
void WriteAbortLog(const wchar_t* format, ...);

inline constexpr const wchar_t* kAbortBanner = L"\r\n**************************\r\nABORT - Program terminating";

// Back to the state at start (log on, tracing off, no file). For tests.
void ResetLogState();
