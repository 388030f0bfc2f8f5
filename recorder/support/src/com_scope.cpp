#include "os/com_scope.h"

#include "ce/objbase.h"

namespace os {

// Only a successful initialisation is balanced by CoUninitialize.
ComScope::ComScope() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, 0))) {}
ComScope::~ComScope() {
  if (initialised_) CoUninitialize();
}

}  // namespace os
