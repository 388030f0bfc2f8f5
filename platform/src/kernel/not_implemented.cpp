#include "kernel/not_implemented.h"

#include <atomic>
#include <cstdlib>

#include "ce/winbase.h"
#include "kernel/debug_output.h"

namespace ce::kernel {
namespace {
std::atomic<bool> g_strict{false};
}

void NotImplemented(const char* what, std::source_location where) {
  ce::kernel::Diagnostic("platform: %s is not implemented (%s:%u)", what, where.file_name(),
                         static_cast<unsigned>(where.line()));
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  if (g_strict.load()) std::abort();
}

void SetStrictMode(bool strict) { g_strict.store(strict); }

}  // namespace ce::kernel
