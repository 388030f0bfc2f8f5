#include "host_environment.h"

#include "ce/winuser.h"

namespace home {

HRESULT HostEnvironment::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IHomePluginEnvironment)) {
    *object = static_cast<IHomePluginEnvironment*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG HostEnvironment::Release() {
  const ULONG left = --m_count;
  if (left == 0) delete this;
  return left;
}

HRESULT HostEnvironment::InvalidatePlugin(HPLUGIN plugin, DWORD what) {
  ++m_requests;
  HWND window = m_window.load();
  if (window == nullptr) return S_OK;
  return PostMessageW(window, kMsgInvalidatePlugin, plugin, static_cast<LPARAM>(what)) ? S_OK : E_FAIL;
}

}  // namespace home
