// The one way a platform call reports a path it does not implement: it logs
// the call, sets ERROR_CALL_NOT_IMPLEMENTED and, in strict mode (tests), aborts.
// An unimplemented path never pretends to succeed.
#pragma once

#include <source_location>

namespace ce::kernel {

void NotImplemented(const char* what, std::source_location where = std::source_location::current());

// Tests switch this on so an unimplemented call fails the test at once.
void SetStrictMode(bool strict);

}  // namespace ce::kernel
