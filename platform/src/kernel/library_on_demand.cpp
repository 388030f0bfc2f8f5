#include "kernel/library_on_demand.h"

#include <dlfcn.h>

namespace ce::kernel {

void LibraryOnDemand::Open() {
  std::call_once(opened_, [this] {
    handle_ = ::dlopen(name_, RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
      const char* why = ::dlerror();
      error_ = std::string(name_) + " cannot be loaded" + (why != nullptr ? std::string(": ") + why : std::string());
    }
  });
}

void* LibraryOnDemand::Find(const char* symbol) {
  Open();
  return handle_ != nullptr ? ::dlsym(handle_, symbol) : nullptr;
}

const std::string& LibraryOnDemand::Error() {
  Open();
  return error_;
}

}  // namespace ce::kernel
