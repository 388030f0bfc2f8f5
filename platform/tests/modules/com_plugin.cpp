// A component library for the tests: one class whose objects answer a
// number through a small interface of their own, served the way the
// suite's plug-ins serve theirs.
#include <atomic>
#include <new>

#include "com_plugin.h"

namespace {

std::atomic<long> g_objects{0};

class Sample final : public ISample {
 public:
  Sample() { ++g_objects; }
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISample)) {
      *object = static_cast<ISample*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  LONG Answer() override { return 42; }

 private:
  ~Sample() { --g_objects; }
  std::atomic<ULONG> refs_{1};
};

class Factory final : public IClassFactory {
 public:
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
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* sample = new (std::nothrow) Sample;
    if (sample == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = sample->QueryInterface(iid, object);
    sample->Release();
    return hr;
  }
  HRESULT LockServer(BOOL lock) override {
    g_objects += lock ? 1 : -1;
    return S_OK;
  }

 private:
  ~Factory() = default;
  std::atomic<ULONG> refs_{1};
};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!IsEqualCLSID(clsid, CLSID_SampleObject)) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) Factory;
  if (factory == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(iid, object);
  factory->Release();
  return hr;
}

__attribute__((visibility("default"))) HRESULT DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }

__attribute__((visibility("default"))) LONG SampleObjectCount() { return static_cast<LONG>(g_objects.load()); }
}
