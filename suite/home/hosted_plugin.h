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

  HostedPlugin(const LayoutPlugin& entry, HPLUGIN handle) : entry_(entry), handle_(handle) {}
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

  State state() const { return state_; }
  HPLUGIN handle() const { return handle_; }
  const std::wstring& clsidText() const { return entry_.clsidText; }
  int height() const { return height_; }
  bool selectable() const { return state_ == State::Running && selectable_; }
  // What went wrong, for the report.
  const std::wstring& failure() const { return failure_; }

 private:
  void Fail(const std::wstring& why);
  // Releases what it holds, whatever the plug-in does meanwhile.
  void Drop();

  LayoutPlugin entry_;
  HPLUGIN handle_;
  State state_ = State::Block;
  ComPtr<IHomePlugin> plugin_;
  ComPtr<IPersistStream> persist_;
  int height_ = 0;
  bool selectable_ = false;
  std::wstring failure_;
};

}  // namespace home
