// Modules: the running program and the host shared libraries loaded from
// device paths. A library's host file carries its device name (build it
// with the prefix "" and the suffix ".dll"); its exports are C symbols.
// Host libraries have no ordinals, so export n is the symbol "Ordinal_n".
#include <dlfcn.h>
#include <link.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "ce/strconv.h"
#include "ce/winbase.h"
#include "kernel/debug_output.h"
#include "kernel/device_path.h"
#include "kernel/process.h"
#include "kernel/module.h"

namespace ce::kernel {
namespace {

struct Module {
  std::wstring device;  // device path of the module's file
  std::string host;
  void* library = nullptr;
  int references = 0;
};

struct Modules {
  // Recursive: a library's start-up code may load libraries itself.
  std::recursive_mutex lock;
  std::map<const Module*, std::unique_ptr<Module>> loaded;
};

Modules& TheModules() {
  static Modules* modules = new Modules;
  return *modules;
}

// The running program's module; its address is the program's HMODULE.
Module& MainModule() {
  static Module* main = new Module;
  return *main;
}

HMODULE HandleOf(const Module* module) { return reinterpret_cast<HMODULE>(const_cast<Module*>(module)); }

bool IsMain(HMODULE module) { return module == nullptr || module == HandleOf(&MainModule()); }

// The loaded library behind a handle, or null. Call with the lock held.
Module* Find(HMODULE module) {
  auto& loaded = TheModules().loaded;
  const auto it = loaded.find(reinterpret_cast<const Module*>(module));
  return it == loaded.end() ? nullptr : it->second.get();
}

std::wstring Leaf(const std::wstring& path) {
  const auto cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

// A module name without an extension means a ".dll", as on the device.
std::wstring WithExtension(std::wstring name) {
  if (Leaf(name).find(L'.') == std::wstring::npos) name += L".dll";
  return name;
}

// Calls the library's own "DllMain", if it has one; TRUE without one.
bool CallEntry(const Module* module, DWORD reason) {
  void* entry = ::dlsym(module->library, "DllMain");
  if (entry == nullptr) return true;
  // Only the library's own entry counts, not one of a library it links.
  Dl_info info;
  void* owner = nullptr;
  link_map* wanted = nullptr;
  if (::dlinfo(module->library, RTLD_DI_LINKMAP, &wanted) != 0 || !::dladdr1(entry, &info, &owner, RTLD_DL_LINKMAP) ||
      static_cast<link_map*>(owner) != wanted) {
    return true;
  }
  auto call = reinterpret_cast<DLLMAIN>(entry);
  return call(reinterpret_cast<HANDLE>(HandleOf(module)), reason, nullptr) != FALSE;
}

}  // namespace
}  // namespace ce::kernel

using namespace ce::kernel;

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  std::wstring path;
  if (IsMain(module)) {
    path = fs::ProgramDevicePath();
    if (path.empty()) {
      SetLastError(ERROR_GEN_FAILURE);
      return 0;
    }
  } else if (auto program = process::DevicePathOf(reinterpret_cast<HANDLE>(module))) {
    // A process handle in place of a module: the program it runs.
    path = std::move(*program);
  } else {
    std::lock_guard guard(TheModules().lock);
    const Module* found = Find(module);
    if (!found) {
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
    path = found->device;
  }
  if (size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (path.size() < size) {
    path.copy(fileName, path.size());
    fileName[path.size()] = L'\0';
    return static_cast<DWORD>(path.size());
  }
  // Truncated: as much as fits with its terminator, and the whole buffer
  // size as the result so a caller can grow the buffer and ask again.
  path.copy(fileName, size - 1);
  fileName[size - 1] = L'\0';
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
  if (!moduleName) return HandleOf(&MainModule());
  const std::wstring wanted = WithExtension(moduleName);
  const bool byPath = wanted.find_first_of(L"\\/") != std::wstring::npos;
  const std::wstring program = fs::ProgramDevicePath();
  if (byPath ? ce::EqualsNoCase(wanted, program) : ce::EqualsNoCase(wanted, Leaf(program))) {
    return HandleOf(&MainModule());
  }
  std::lock_guard guard(TheModules().lock);
  for (const auto& [key, module] : TheModules().loaded) {
    if (byPath ? ce::EqualsNoCase(wanted, module->device) : ce::EqualsNoCase(wanted, Leaf(module->device))) {
      return HandleOf(module.get());
    }
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

HMODULE LoadLibraryW(LPCWSTR libFileName) {
  if (!libFileName || !*libFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::wstring name = WithExtension(libFileName);
  std::vector<std::wstring> candidates;
  if (name.find_first_of(L"\\/") != std::wstring::npos) {
    candidates.push_back(name);
  } else {
    // A bare name: the program's folder, then the device's "\Windows".
    const std::wstring program = fs::ProgramDevicePath();
    if (!program.empty()) candidates.push_back(program.substr(0, program.rfind(L'\\') + 1) + name);
    candidates.push_back(L"\\Windows\\" + name);
  }
  fs::Resolved file;
  bool found = false;
  for (const std::wstring& candidate : candidates) {
    if (fs::Resolve(candidate.c_str(), file) == 0 && file.exists && !file.isDirectory) {
      found = true;
      break;
    }
  }
  if (!found) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (file.host == fs::ProgramHostPath()) return HandleOf(&MainModule());

  Modules& modules = TheModules();
  std::lock_guard guard(modules.lock);
  for (auto& [key, module] : modules.loaded) {
    if (module->host == file.host) {
      ++module->references;
      return HandleOf(module.get());
    }
  }
  void* library = ::dlopen(file.host.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = ::dlerror();
    ce::kernel::Diagnostic("LoadLibraryW: cannot load %s: %s", file.host.c_str(), why ? why : "unknown error");
    SetLastError(ERROR_BAD_FORMAT);
    return nullptr;
  }
  auto module = std::make_unique<Module>();
  module->device = file.device;
  module->host = file.host;
  module->library = library;
  module->references = 1;
  const Module* key = module.get();
  modules.loaded.emplace(key, std::move(module));
  if (!CallEntry(key, DLL_PROCESS_ATTACH)) {
    modules.loaded.erase(key);
    ::dlclose(library);
    SetLastError(ERROR_DLL_INIT_FAILED);
    return nullptr;
  }
  return HandleOf(key);
}

HMODULE LoadLibraryExW(LPCWSTR libFileName, HANDLE file, DWORD flags) {
  if (file || (flags & ~LOAD_LIBRARY_AS_DATAFILE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return LoadLibraryW(libFileName);
}

BOOL FreeLibrary(HMODULE module) {
  if (IsMain(module)) {
    if (module) return TRUE;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Modules& modules = TheModules();
  std::lock_guard guard(modules.lock);
  Module* found = Find(module);
  if (!found) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (--found->references == 0) {
    CallEntry(found, DLL_PROCESS_DETACH);
    void* library = found->library;
    modules.loaded.erase(found);
    ::dlclose(library);
  }
  return TRUE;
}

FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName) {
  std::string symbol;
  if (IS_INTRESOURCE(procName)) {
    symbol = "Ordinal_" + std::to_string(reinterpret_cast<ULONG_PTR>(procName));
  } else {
    symbol = ce::Utf8FromWide(procName);
  }
  void* address = nullptr;
  if (IsMain(module)) {
    if (!module) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    address = ::dlsym(RTLD_DEFAULT, symbol.c_str());
  } else {
    std::lock_guard guard(TheModules().lock);
    const Module* found = Find(module);
    if (!found) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    address = ::dlsym(found->library, symbol.c_str());
  }
  if (!address) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(address);
}

namespace ce::kernel {

const void* ModuleOwnSymbol(HMODULE module, const char* symbol) {
  // dlsym on a handle searches the module and then the libraries it links;
  // the symbol counts only when the module's own object defines it.
  auto own = [symbol](void* library) -> const void* {
    if (!library) return nullptr;
    void* address = ::dlsym(library, symbol);
    link_map* wanted = nullptr;
    if (!address || ::dlinfo(library, RTLD_DI_LINKMAP, &wanted) != 0) return nullptr;
    Dl_info info;
    void* owner = nullptr;
    if (!::dladdr1(address, &info, &owner, RTLD_DL_LINKMAP)) return nullptr;
    return static_cast<link_map*>(owner) == wanted ? address : nullptr;
  };
  if (IsMain(module)) {
    static void* program = ::dlopen(nullptr, RTLD_NOW);
    return own(program);
  }
  std::lock_guard guard(TheModules().lock);
  const Module* found = Find(module);
  return found ? own(found->library) : nullptr;
}

}  // namespace ce::kernel
