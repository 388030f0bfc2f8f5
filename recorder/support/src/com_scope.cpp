#include "os/com_scope.h"

// The platform has no COM apartments yet: the objects the recorder creates
// through COM need no per-thread set-up, so the scope has nothing to do.
namespace os {

ComScope::ComScope() = default;
ComScope::~ComScope() = default;

}  // namespace os
