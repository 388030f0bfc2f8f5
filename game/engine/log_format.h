// Bounded wide formatting for log lines with the device's printf rules: %s is
// a wide string and %S a narrow one (%c / %C likewise), %d %i %u %x %X %o %p
// with h, l, ll and I64 sizes, %f %e %g (written as fixed point), flags
// "-+0 #", widths and precisions (also "*"). Output is cut to fit and always
// terminated. The kernel's own formatter replaces this once it is offered.
#pragma once

#include <cstdarg>
#include <cstddef>

// Characters written, without the terminator.
std::size_t FormatLogText(wchar_t* out, std::size_t count, const wchar_t* format, va_list args);
