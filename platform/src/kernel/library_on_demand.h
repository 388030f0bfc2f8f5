// A shared library the platform opens with dlopen the first time one of its
// functions is called, instead of linking it: a program that never calls it
// does not load it, nor what it pulls in. The platform uses it for the
// libraries only some programs need (the desktop's, XML, fonts, pictures).
//
// Each function of such a library the platform calls is defined under its
// own name with CE_FORWARD, in one file per library, and forwards to the
// library's own; the platform library's link names a function that lacks
// its line. The definitions stay inside the platform library (its version
// script keeps the libraries' names out of its exports).
#pragma once

#include <mutex>
#include <string>

namespace ce::kernel {

class LibraryOnDemand {
 public:
  // `name` is the library's file name as dlopen takes it (its soname).
  explicit LibraryOnDemand(const char* name) : name_(name) {}
  LibraryOnDemand(const LibraryOnDemand&) = delete;
  LibraryOnDemand& operator=(const LibraryOnDemand&) = delete;

  // The function `symbol` of the library, which is opened on the first
  // call; null when the library cannot be opened or lacks it.
  void* Find(const char* symbol);
  // Why the library could not be opened; empty when it was.
  const std::string& Error();

 private:
  void Open();

  const char* name_;
  std::once_flag opened_;
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace ce::kernel

// CE_FORWARD(LIBRARY, RESULT, NAME, (PARAMETERS), (ARGUMENTS), MISSING)
// Defines NAME, as the library's header declares it, to call the library's
// own NAME; without the library (or NAME in it) it gives MISSING. LIBRARY is
// an expression giving the LibraryOnDemand.
#define CE_FORWARD(library, result, name, parameters, arguments, missing)                    \
  extern "C" result name parameters {                                                        \
    static const auto function = reinterpret_cast<decltype(&::name)>((library).Find(#name)); \
    if (function == nullptr) return missing;                                                 \
    return function arguments;                                                               \
  }
