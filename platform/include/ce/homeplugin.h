// The home screen's plug-in contract: the interface a home-screen plug-in
// implements (IHomePlugin, with IPersistStream beside it), the service the
// home screen offers it as its site (IHomePluginEnvironment), and the event
// records the home screen passes to OnEvent.
//
// A plug-in is an in-process component library found through
// HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32. The home screen creates it
// and then calls, in this order: SetSite (its environment), Initialize (the
// plug-in's handle), IPersistStream::Load (the plug-in's saved bytes),
// GetHeight, and from then on GetSelectability and OnEvent, all on its UI
// thread. At the end it calls SetSite(nullptr) and releases the object.
//
// The records are laid out for this build (a device context is
// pointer-sized); they never cross a file or another program.
#pragma once

#include "ce/objbase.h"
#include "ce/objidl.h"
#include "ce/windef.h"

#pragma GCC visibility push(default)

DEFINE_GUID(IID_IHomePlugin, 0x7F0C58E9, 0x4F30, 0x47BB, 0x96, 0x93, 0xD7, 0x78, 0xE9, 0x99, 0xC4, 0x33);
DEFINE_GUID(IID_IHomePluginEnvironment, 0xFF328DC0, 0x22F5, 0x4AC1, 0xA1, 0x03, 0x19, 0xB3, 0x89, 0xC6, 0x33, 0xFA);

// The home screen's name for one loaded plug-in: a 32-bit value, so a
// plug-in may keep it where four bytes are kept.
using HPLUGIN = DWORD;

// Event kinds: the first field of every record.
inline constexpr DWORD PE_KEYDOWN = 0;         // a key pressed while the plug-in has the selection
inline constexpr DWORD PE_ACTION = 1;          // the action key (Enter), or the pen on the plug-in it selects
inline constexpr DWORD PE_PAINT = 2;           // draw into hdc inside rect
inline constexpr DWORD PE_SYSCOLORCHANGE = 3;  // the colour scheme changed: reload it
inline constexpr DWORD PE_TIMER = 4;           // the home screen's periodic tick
inline constexpr DWORD PE_DATACHANGE = 5;      // something the plug-in shows may have changed

struct PluginKeyData {
  WORD key;  // virtual key code (VK_LEFT, VK_UP, ...)
};

// What brought a PE_ACTION: the action key acts on the plug-in's own
// selection; the pen names the point it touched, so the plug-in acts on
// what lies there. A plug-in that knows nothing of the point acts on its
// selection, as for the key.
inline constexpr DWORD PLUGIN_ACTION_KEY = 0;   // the action key; no point
inline constexpr DWORD PLUGIN_ACTION_TAP = 1;   // a tap at `point`
inline constexpr DWORD PLUGIN_ACTION_HOLD = 2;  // press and hold at `point`: the context gesture

struct PluginActionData {
  DWORD source;  // PLUGIN_ACTION_...
  POINT point;   // the pen's point, in the coordinates of PE_PAINT's rect
};

struct PluginPaintData {
  HDC hdc;        // the home screen's drawing surface
  BOOL selected;  // non-zero when this plug-in has the selection
  RECT rect;      // the plug-in's area in hdc's coordinates
};

struct PluginEvent {
  DWORD kind;  // PE_...
  union {
    PluginKeyData keyDown;    // PE_KEYDOWN
    PluginActionData action;  // PE_ACTION
    PluginPaintData paint;    // PE_PAINT
  };
};

// Bits of IHomePluginEnvironment::InvalidatePlugin.
inline constexpr DWORD PLUGIN_INVALIDATE_PAINT = 0x1;   // paint the plug-in's area again
inline constexpr DWORD PLUGIN_INVALIDATE_HEIGHT = 0x2;  // ask GetHeight again and lay out anew

class IHomePlugin : public IObjectWithSite {
 public:
  virtual HRESULT Initialize(HPLUGIN plugin) = 0;
  // The height in pixels the plug-in wants on the home screen.
  virtual HRESULT GetHeight(int* height) = 0;
  // TRUE when the plug-in takes the selection (keys and actions).
  virtual HRESULT GetSelectability(BOOL* selectable) = 0;
  virtual HRESULT OnEvent(PluginEvent* event) = 0;

 protected:
  ~IHomePlugin() = default;
};

class IHomePluginEnvironment : public IUnknown {
 public:
  // Asks the home screen to repaint (and with PLUGIN_INVALIDATE_HEIGHT to
  // re-measure) the plug-in. Safe from any thread: the work is done later on
  // the home screen's UI thread.
  virtual HRESULT InvalidatePlugin(HPLUGIN plugin, DWORD what) = 0;

 protected:
  ~IHomePluginEnvironment() = default;
};

#pragma GCC visibility pop
