#include "common/plugin_server.h"

#include <new>
#include <string>

#include "common/module_state.h"

namespace suite {
namespace {

// The host's redraw request: repaint and measure again.
constexpr DWORD kRedrawPlugin = 3;

std::wstring ClassKey() { return std::wstring(L"CLSID\\") + kPluginIdentity.clsidText; }

}  // namespace

// --- CClassFactory --------------------------------------------------------------

HRESULT CClassFactory::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG CClassFactory::AddRef() { return static_cast<ULONG>(++m_refs); }

ULONG CClassFactory::Release() {
  if (--m_refs <= 0) {
    delete this;
    return 0;
  }
  return static_cast<ULONG>(m_refs);
}

HRESULT CClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  auto* plugin = new (std::nothrow) PluginHello();
  if (plugin == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = plugin->QueryInterface(iid, object);
  // A failed query destroys the object again.
  plugin->Release();
  return SUCCEEDED(hr) ? S_OK : E_NOINTERFACE;
}

HRESULT CClassFactory::LockServer(BOOL lock) {
  if (lock) {
    AddObject();
  } else {
    RemoveObject();
  }
  return S_OK;
}

CClassFactory::~CClassFactory() {
  if (HWND window = PluginWindow()) {
    DestroyWindow(window);
    SetPluginWindow(nullptr);
  }
}

// --- PluginHello ----------------------------------------------------------------

PluginHello::PluginHello() { AddObject(); }

PluginHello::~PluginHello() {
  if (m_ppe && HostEnvironment() == m_ppe.Get()) SetHostEnvironment(nullptr);
  m_ppe.Reset();
  RemoveObject();
}

HRESULT PluginHello::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IObjectWithSite) || IsEqualIID(iid, IID_IHomePlugin)) {
    *object = static_cast<IHomePlugin*>(this);
  } else if (IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IPersistStream)) {
    *object = static_cast<IPersistStream*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG PluginHello::AddRef() { return static_cast<ULONG>(++m_refs); }

ULONG PluginHello::Release() {
  if (--m_refs <= 0) {
    delete this;
    return 0;
  }
  return static_cast<ULONG>(m_refs);
}

HRESULT PluginHello::SetSite(IUnknown* site) {
  // The module's copy must not outlive the reference it copies.
  if (m_ppe && HostEnvironment() == m_ppe.Get()) SetHostEnvironment(nullptr);
  m_ppe.Reset();
  if (site == nullptr) return S_OK;
  void* environment = nullptr;
  const HRESULT hr = site->QueryInterface(IID_IHomePluginEnvironment, &environment);
  if (SUCCEEDED(hr)) m_ppe.Attach(static_cast<IHomePluginEnvironment*>(environment));
  return hr;
}

HRESULT PluginHello::GetSite(REFIID iid, void** site) {
  if (site == nullptr) return E_POINTER;
  if (!m_ppe) {
    *site = nullptr;
    return E_FAIL;
  }
  return m_ppe->QueryInterface(iid, site);
}

HRESULT PluginHello::Initialize(HPLUGIN plugin) {
  SetPluginHandle(plugin);
  return S_OK;
}

HRESULT PluginHello::OnEvent(PluginEvent* event) {
  SetHostEnvironment(m_ppe.Get());
  if (event == nullptr) return E_POINTER;
  return HandleEvent(event);
}

HRESULT PluginHello::GetClassID(CLSID* classId) {
  if (classId == nullptr) return E_POINTER;
  *classId = kPluginIdentity.clsid;
  return S_OK;
}

HRESULT PluginHello::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  size->QuadPart = 0;
  return S_OK;
}

void RedrawScreen() {
  if (IHomePluginEnvironment* environment = HostEnvironment()) {
    environment->InvalidatePlugin(PluginHandle(), kRedrawPlugin);
  }
}

}  // namespace suite

using namespace suite;

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!IsEqualCLSID(clsid, kPluginIdentity.clsid)) return CLASS_E_CLASSNOTAVAILABLE;
  if (object == nullptr) return E_POINTER;
  auto* factory = new (std::nothrow) CClassFactory();
  if (factory == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(iid, object);
  factory->Release();
  return SUCCEEDED(hr) ? S_OK : E_NOINTERFACE;
}

HRESULT DllCanUnloadNow() { return ObjectCount() == 0 ? S_OK : S_FALSE; }

HRESULT DllRegisterServer() {
  const std::wstring classKey = ClassKey();
  HKEY key = nullptr;
  HKEY server = nullptr;
  HRESULT hr = E_FAIL;
  // Each step runs only when the one before it succeeded; both keys are
  // closed whatever happened.
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, classKey.c_str(), 0, const_cast<LPWSTR>(L""), 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) == ERROR_SUCCESS) {
    const std::wstring name = kPluginIdentity.displayName;
    if (RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                       static_cast<DWORD>((name.size() + 1) * 2)) == ERROR_SUCCESS &&
        RegCreateKeyExW(key, L"InprocServer32", 0, const_cast<LPWSTR>(L""), 0, KEY_ALL_ACCESS, nullptr, &server,
                        nullptr) == ERROR_SUCCESS) {
      HMODULE module = GetModuleHandleW(kPluginIdentity.moduleName);
      WCHAR path[MAX_PATH] = {};
      const DWORD length = module != nullptr ? GetModuleFileNameW(module, path, MAX_PATH) : 0;
      // A path cut to the buffer would register another file.
      if (length > 0 && length < MAX_PATH &&
          RegSetValueExW(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), (length + 1) * 2) ==
              ERROR_SUCCESS) {
        hr = S_OK;
      }
    }
  }
  if (server != nullptr) RegCloseKey(server);
  if (key != nullptr) RegCloseKey(key);
  return hr;
}

HRESULT DllUnregisterServer() {
  const std::wstring classKey = ClassKey();
  if (RegDeleteKeyW(HKEY_CLASSES_ROOT, (classKey + L"\\InprocServer32").c_str()) != ERROR_SUCCESS) return E_FAIL;
  if (RegDeleteKeyW(HKEY_CLASSES_ROOT, classKey.c_str()) != ERROR_SUCCESS) return E_FAIL;
  return S_OK;
}
