// One plug-in of the layout as the home screen holds it: created through the
// registry, given its site, handle and saved bytes, asked its height, and
// from then on sent events. Every call into the plug-in is guarded: a call
// that throws marks the plug-in failed, and the home screen leaves it out.
#pragma once

#include <string>

#include "ce/homeplugin.h"
#include "common/com_ptr.h"
#include "home_layout.h"

namespace home {

using suite::ComPtr;

class HostedPlugin {
 public:
  enum class State {
    Block,    // its CLSID is not registered: shown as a plain block
    Running,  // created and answering
    Failed,   // could not be created or set up, or failed in a call
  };

  HostedPlugin(const LayoutPlugin& entry, HPLUGIN handle) : m_entry(entry), m_handle(handle) {}
  ~HostedPlugin() { Unload(); }
  HostedPlugin(const HostedPlugin&) = delete;
  HostedPlugin& operator=(const HostedPlugin&) = delete;

  // Creates and sets up the plug-in (site, handle, saved bytes, height,
  // selectability); `maxHeight` bounds the height it may ask for; a plain
  // block is `blockHeight` high.
  void Load(IHomePluginEnvironment* environment, int maxHeight, int blockHeight);
  // Saves its bytes when it says it has changes, takes its site away and
  // releases it.
  void Unload();

  // Sends an event; false when the plug-in failed in it.
  bool Send(PluginEvent& event);
  // Asks the height again; true when it changed.
  bool Remeasure(int maxHeight);

  State GetState() const { return m_state; }
  HPLUGIN GetHandle() const { return m_handle; }
  const std::wstring& clsidText() const { return m_entry.clsidText; }
  int GetHeight() const { return m_height; }
  bool IsSelectable() const { return m_state == State::Running && m_selectable; }
  // What went wrong, for the report.
  const std::wstring& GetFailure() const { return m_failure; }

 private:
  void Fail(const std::wstring& why);
  // Releases what it holds, whatever the plug-in does meanwhile.
  void Drop();

  LayoutPlugin m_entry;
  HPLUGIN m_handle;
  State m_state = State::Block;
  // Held while the plug-in runs: releasing a plug-in's class factory is
  // what takes its own windows (and what they own) down with it.
  ComPtr<IClassFactory> m_factory;
  ComPtr<IHomePlugin> m_plugin;
  ComPtr<IPersistStream> m_persist;
  int m_height = 0;
  bool m_selectable = false;
  std::wstring m_failure;
};

}  // namespace home
