// The service the home screen gives each plug-in as its site. A plug-in's
// request to be drawn again may come from any of its threads, so it is
// posted to the home screen's window and carried out on its UI thread.
#pragma once

#include <atomic>

#include "ce/homeplugin.h"

namespace home {

// The message the environment posts: wParam the plug-in's handle, lParam
// the PLUGIN_INVALIDATE_ bits.
inline constexpr UINT kMsgInvalidatePlugin = 0x8000 + 1;  // WM_APP + 1

class HostEnvironment final : public IHomePluginEnvironment {
 public:
  explicit HostEnvironment(HWND window) : m_window(window) {}

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override { return ++m_count; }
  ULONG Release() override;
  HRESULT InvalidatePlugin(HPLUGIN plugin, DWORD what) override;

  void SetWindow(HWND window) { m_window.store(window); }
  // Requests seen, for the home screen's tests.
  long Requests() const { return m_requests.load(); }

 private:
  ~HostEnvironment() = default;

  std::atomic<ULONG> m_count{1};
  std::atomic<HWND> m_window;
  std::atomic<long> m_requests{0};
};

}  // namespace home
