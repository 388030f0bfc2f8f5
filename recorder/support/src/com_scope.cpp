#include "os/com_scope.h"

#if VO_HAVE_COM
#include "ce/objbase.h"
#endif

namespace os {

#if VO_HAVE_COM
// Only a successful initialisation is balanced by CoUninitialize.
ComScope::ComScope() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, 0))) {}
ComScope::~ComScope() {
  if (initialised_) CoUninitialize();
}
#else
// Without the platform's COM layer there is nothing to initialise.
ComScope::ComScope() = default;
ComScope::~ComScope() = default;
#endif

}  // namespace os
