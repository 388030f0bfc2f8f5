// A component library with the test classes of test_plugin.h.
#include "test_plugin.h"

#include <atomic>
#include <mutex>
#include <stdexcept>

#include "ce/kernel/sync.h"
#include "ce/objidl.h"
#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"

#define TESTPLUG_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct ClassInfo {
  const GUID* clsid;
  int height;
  BOOL selectable;
  COLORREF color;
};

constexpr ClassInfo kClasses[] = {
    {&CLSID_TestRed, 30, TRUE, RGB(255, 0, 0)},       {&CLSID_TestGreen, 50, TRUE, RGB(0, 255, 0)},
    {&CLSID_TestBlue, 20, FALSE, RGB(0, 0, 255)},     {&CLSID_TestFailInit, 20, TRUE, RGB(0, 0, 0)},
    {&CLSID_TestThrower, 20, TRUE, RGB(255, 255, 0)}, {&CLSID_TestCloser, 20, TRUE, RGB(255, 0, 255)},
};
constexpr int kClassCount = sizeof kClasses / sizeof kClasses[0];

std::mutex g_lock;
TestPlugRecord g_records[kClassCount] = {};
int g_heights[kClassCount] = {};
class Plugin;
Plugin* g_live[kClassCount] = {};
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

int IndexOf(REFCLSID clsid) {
  for (int i = 0; i < kClassCount; ++i) {
    if (IsEqualCLSID(clsid, *kClasses[i].clsid)) return i;
  }
  return -1;
}

class Plugin final : public IHomePlugin, public IPersistStream {
 public:
  explicit Plugin(int index) : m_index(index) {
    ++g_objects;
    std::lock_guard guard(g_lock);
    ++g_records[m_index].live;
    g_live[m_index] = this;
    g_heights[m_index] = kClasses[m_index].height;
  }

  HRESULT QueryInterface(REFIID iid, void** object) override {
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
  ULONG AddRef() override { return ++m_count; }
  ULONG Release() override {
    const ULONG left = --m_count;
    if (left == 0) delete this;
    return left;
  }

  HRESULT SetSite(IUnknown* site) override {
    std::lock_guard guard(m_siteLock);
    if (m_environment) m_environment->Release();
    m_environment = nullptr;
    if (site == nullptr) return S_OK;
    return site->QueryInterface(IID_IHomePluginEnvironment, reinterpret_cast<void**>(&m_environment));
  }
  HRESULT GetSite(REFIID iid, void** site) override {
    if (!m_environment) return E_FAIL;
    return m_environment->QueryInterface(iid, site);
  }
  HRESULT Initialize(HPLUGIN plugin) override {
    if (IsEqualCLSID(*kClasses[m_index].clsid, CLSID_TestFailInit)) return E_FAIL;
    m_handle = plugin;
    std::lock_guard guard(g_lock);
    g_records[m_index].handle = plugin;
    return S_OK;
  }
  HRESULT GetHeight(int* height) override {
    std::lock_guard guard(g_lock);
    *height = g_heights[m_index];
    return S_OK;
  }
  HRESULT GetSelectability(BOOL* selectable) override {
    *selectable = kClasses[m_index].selectable;
    return S_OK;
  }
  HRESULT OnEvent(PluginEvent* event) override {
    if (event == nullptr || event->kind > PE_DATACHANGE) return S_OK;
    {
      std::lock_guard guard(g_lock);
      TestPlugRecord& record = g_records[m_index];
      ++record.events[event->kind];
      if (event->kind == PE_KEYDOWN) record.lastKey = event->keyDown.key;
      if (event->kind == PE_ACTION) record.lastAction = event->action;
      if (event->kind == PE_PAINT) {
        record.lastSelected = event->paint.selected;
        record.lastRect = event->paint.rect;
      }
    }
    if (event->kind == PE_ACTION && IsEqualCLSID(*kClasses[m_index].clsid, CLSID_TestThrower)) {
      throw std::runtime_error("the test plug-in fails on purpose");
    }
    if (event->kind == PE_ACTION && IsEqualCLSID(*kClasses[m_index].clsid, CLSID_TestCloser)) {
      const HWND home = GetDesktopWindow();
      PostMessageW(home, WM_CLOSE, 0, 0);
      MSG msg{};
      while (IsWindow(home) && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    }
    if (event->kind == PE_PAINT) {
      RECT area = event->paint.rect;
      if (!kClasses[m_index].selectable) {
        area.left -= 10;
        area.top -= 10;
        area.right += 10;
        area.bottom += 10;
      }
      HBRUSH brush = CreateSolidBrush(kClasses[m_index].color);
      FillRect(event->paint.hdc, &area, brush);
      DeleteObject(brush);
    }
    return S_OK;
  }

  HRESULT GetClassID(CLSID* classId) override {
    *classId = *kClasses[m_index].clsid;
    return S_OK;
  }
  HRESULT IsDirty() override { return S_OK; }
  HRESULT Load(IStream* stream) override {
    DWORD value = 0;
    ULONG read = 0;
    stream->Read(&value, sizeof value, &read);
    std::lock_guard guard(g_lock);
    g_records[m_index].loadedValue = read == sizeof value ? value : 0;
    return S_OK;
  }
  HRESULT Save(IStream* stream, BOOL) override {
    DWORD value = 0;
    {
      std::lock_guard guard(g_lock);
      value = 0x1000 + static_cast<DWORD>(++g_records[m_index].saves);
    }
    return stream->Write(&value, sizeof value, nullptr);
  }
  HRESULT GetSizeMax(ULARGE_INTEGER* size) override {
    size->QuadPart = 4;
    return S_OK;
  }

  void Request(DWORD what) {
    std::lock_guard guard(m_siteLock);
    if (m_environment) m_environment->InvalidatePlugin(m_handle, what);
  }

 private:
  ~Plugin() {
    if (m_environment) m_environment->Release();
    std::lock_guard guard(g_lock);
    --g_records[m_index].live;
    if (g_live[m_index] == this) g_live[m_index] = nullptr;
    --g_objects;
  }

  int m_index;
  std::atomic<ULONG> m_count{1};
  std::mutex m_siteLock;
  IHomePluginEnvironment* m_environment = nullptr;
  HPLUGIN m_handle = 0;
};

class Factory final : public IClassFactory {
 public:
  explicit Factory(int index) : m_index(index) {}
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++m_count; }
  ULONG Release() override {
    const ULONG left = --m_count;
    if (left == 0) delete this;
    return left;
  }
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* plugin = new Plugin(m_index);
    const HRESULT hr = plugin->QueryInterface(iid, object);
    plugin->Release();
    return hr;
  }
  HRESULT LockServer(BOOL lock) override {
    lock ? ++g_locks : --g_locks;
    return S_OK;
  }

 private:
  ~Factory() = default;
  int m_index;
  std::atomic<ULONG> m_count{1};
};

}  // namespace

TESTPLUG_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  const int index = IndexOf(clsid);
  if (index < 0) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new Factory(index);
  const HRESULT hr = factory->QueryInterface(iid, object);
  factory->Release();
  return hr;
}

TESTPLUG_EXPORT HRESULT DllCanUnloadNow() { return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

TESTPLUG_EXPORT BOOL TestPlugRead(const GUID* clsid, TestPlugRecord* record) {
  const int index = clsid ? IndexOf(*clsid) : -1;
  if (index < 0 || record == nullptr) return FALSE;
  std::lock_guard guard(g_lock);
  *record = g_records[index];
  return TRUE;
}

TESTPLUG_EXPORT void TestPlugReset() {
  std::lock_guard guard(g_lock);
  for (TestPlugRecord& record : g_records) {
    const int live = record.live;
    record = TestPlugRecord{};
    record.live = live;
  }
}

TESTPLUG_EXPORT BOOL TestPlugRequest(const GUID* clsid, int height, DWORD what) {
  const int index = clsid ? IndexOf(*clsid) : -1;
  if (index < 0) return FALSE;
  Plugin* plugin = nullptr;
  {
    std::lock_guard guard(g_lock);
    plugin = g_live[index];
    g_heights[index] = height;
  }
  if (!plugin) return FALSE;
  // From a thread of the plug-in's own, as a worker would.
  struct Job {
    Plugin* plugin;
    DWORD what;
  } job{plugin, what};
  HANDLE worker = CreateThread(
      nullptr, 0,
      [](LPVOID param) -> DWORD {
        auto* j = static_cast<Job*>(param);
        j->plugin->Request(j->what);
        return 0;
      },
      &job, 0, nullptr);
  if (!worker) return FALSE;
  WaitForSingleObject(worker, INFINITE);
  CloseHandle(worker);
  return TRUE;
}
