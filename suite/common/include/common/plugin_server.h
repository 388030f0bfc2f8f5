// The in-process COM server both home-screen plug-ins share: the class
// factory, the plug-in object PluginHello with its plug-in and persistence
// interfaces, the redraw request, and the exported entry points. Each
// plug-in library links this (suite_plugin) and defines what is its own:
// kPluginIdentity, DllMain, and PluginHello's GetHeight, GetSelectability,
// HandleEvent, IsDirty, Load and Save.
//
// Interface queries follow the COM contract: a null out pointer gives
// E_POINTER, and a failed query leaves it null.
#pragma once

#include "ce/homeplugin.h"
#include "common/com_ptr.h"
#include "ce/objidl.h"
#include "ce/windows.h"

namespace suite {

// The three constants that tell the plug-in libraries apart.
struct PluginIdentity {
  CLSID clsid;
  const wchar_t* clsidText;    // braced, spelled as it is registered
  const wchar_t* displayName;  // the class key's default value
  const wchar_t* moduleName;   // the library's file name, for its path
};
// Defined by each plug-in library.
extern const PluginIdentity kPluginIdentity;

class CClassFactory : public IClassFactory {
 public:
  CClassFactory() = default;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  HRESULT LockServer(BOOL lock) override;
  // Takes the plug-in's window down with it.
  virtual ~CClassFactory();

 private:
  LONG m_refs = 1;
};

class PluginHello : public IHomePlugin, public IPersistStream {
 public:
  PluginHello();

  // Shared by both interfaces: the persistence table's entries reach these
  // through the primary object.
  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT SetSite(IUnknown* site) override;
  HRESULT GetSite(REFIID iid, void** site) override;
  HRESULT Initialize(HPLUGIN plugin) override;
  HRESULT GetHeight(int* height) override;              // the plug-in's
  HRESULT GetSelectability(BOOL* selectable) override;  // the plug-in's
  // Refreshes the module's copy of the environment, then HandleEvent.
  HRESULT OnEvent(PluginEvent* event) override;

  HRESULT GetClassID(CLSID* classId) override;
  HRESULT IsDirty() override;                               // the plug-in's
  HRESULT Load(IStream* stream) override;                   // the plug-in's
  HRESULT Save(IStream* stream, BOOL clearDirty) override;  // the plug-in's
  HRESULT GetSizeMax(ULARGE_INTEGER* size) override;

  virtual ~PluginHello();

 private:
  // The plug-in's own event handling; `event` is never null.
  HRESULT HandleEvent(PluginEvent* event);

  LONG m_refs = 1;
  ComPtr<IHomePluginEnvironment> m_ppe;
};

// Asks the home screen to repaint the plug-in; nothing before the first
// OnEvent.
void RedrawScreen();

}  // namespace suite

#define SUITE_EXPORT extern "C" __attribute__((visibility("default")))

SUITE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object);
SUITE_EXPORT HRESULT DllCanUnloadNow();
SUITE_EXPORT HRESULT DllRegisterServer();
SUITE_EXPORT HRESULT DllUnregisterServer();
