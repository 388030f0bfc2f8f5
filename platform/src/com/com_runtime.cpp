// Thread initialisation, object creation and the task allocator.
#include <cstdlib>
#include <limits>
#include <string>

#include "ce/kernel/module.h"
#include "ce/msxml.h"
#include "ce/objbase.h"
#include "ce/winreg.h"
#include "com/xml_document.h"

namespace {

thread_local int t_initCount = 0;

// The library named by the class's InprocServer32 key, or empty.
std::wstring ServerPath(REFCLSID clsid) {
  wchar_t braced[40];
  if (StringFromGUID2(clsid, braced, 40) == 0) return {};
  const std::wstring key = std::wstring(L"CLSID\\") + braced + L"\\InprocServer32";
  HKEY server = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &server) != ERROR_SUCCESS) return {};
  wchar_t path[MAX_PATH + 1] = {};
  DWORD type = 0;
  DWORD size = MAX_PATH * sizeof(wchar_t);
  const LONG status = RegQueryValueExW(server, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
  RegCloseKey(server);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
  path[MAX_PATH] = L'\0';
  return path;
}

}  // namespace

HRESULT CoInitializeEx(LPVOID /*reserved*/, DWORD /*coInit*/) {
  if (t_initCount == std::numeric_limits<int>::max()) return E_UNEXPECTED;
  return t_initCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (t_initCount > 0) --t_initCount;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (t_initCount == 0) return CO_E_NOTINITIALIZED;
  // Every class here lives in the caller's process.
  if ((context & CLSCTX_INPROC) == 0) return REGDB_E_CLASSNOTREG;
  if (IsEqualCLSID(clsid, CLSID_DOMDocument)) {
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return ce::com::CreateXmlDocument(iid, object);
  }
  const std::wstring path = ServerPath(clsid);
  if (path.empty()) return REGDB_E_CLASSNOTREG;
  // The library stays loaded for the life of the process, as objects and
  // factories it hands out may outlive any single call.
  HMODULE module = LoadLibraryW(path.c_str());
  if (module == nullptr) return CO_E_DLLNOTFOUND;
  FARPROC entry = GetProcAddressW(module, L"DllGetClassObject");
  if (entry == nullptr) return CO_E_ERRORINDLL;
  // The export has its real signature; FARPROC only carries it here.
  auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(reinterpret_cast<void (*)()>(entry));
  void* factoryPointer = nullptr;
  HRESULT hr = getClassObject(clsid, IID_IClassFactory, &factoryPointer);
  if (FAILED(hr)) return hr;
  if (factoryPointer == nullptr) return E_NOINTERFACE;
  auto* factory = static_cast<IClassFactory*>(factoryPointer);
  hr = factory->CreateInstance(outer, iid, object);
  factory->Release();
  if (FAILED(hr)) *object = nullptr;
  return hr;
}

LPVOID CoTaskMemAlloc(SIZE_T size) { return std::malloc(size == 0 ? 1 : size); }

LPVOID CoTaskMemRealloc(LPVOID block, SIZE_T size) { return std::realloc(block, size == 0 ? 1 : size); }

void CoTaskMemFree(LPVOID block) { std::free(block); }
