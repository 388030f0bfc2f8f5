// The one way out for diagnostics: the platform's own (bad settings, back-end
// failures, refused files) and the programs' debug output (OutputDebugStringW).
// Each message becomes one line on the host's standard error, written with a
// single write and no lock, so lines of threads and programs sharing the
// stream do not mix and a process on its way out never waits here.
#pragma once

#include <string_view>

namespace ce::kernel {

// Formats like printf (UTF-8) and writes the text as one line.
void Diagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes `text` (UTF-8) as one line: carriage returns are dropped and line
// ends around it trimmed, then one line end is added. An empty text writes
// nothing.
void DiagnosticLine(std::string_view text);

}  // namespace ce::kernel
