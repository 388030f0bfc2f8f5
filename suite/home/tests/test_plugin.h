// The test plug-in library's classes and the exports through which the
// home screen's tests read what each class was sent. It implements the
// plug-in interface directly, with nothing of the suite's common library.
#pragma once

#include "ce/homeplugin.h"

// Red: 30 pixels, takes the selection, fills its area with pure red.
DEFINE_GUID(CLSID_TestRed, 0xA1E00001, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
// Green: 50 pixels, takes the selection, fills its area with pure green.
DEFINE_GUID(CLSID_TestGreen, 0xA1E00002, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02);
// Blue: 20 pixels, never selected, fills its area with pure blue and
// paints past it on every side (the home screen must clip that).
DEFINE_GUID(CLSID_TestBlue, 0xA1E00003, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03);
// Refuses Initialize.
DEFINE_GUID(CLSID_TestFailInit, 0xA1E00004, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04);
// 20 pixels, takes the selection, throws from OnEvent on PE_ACTION.
DEFINE_GUID(CLSID_TestThrower, 0xA1E00005, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05);
// 20 pixels, takes the selection; on PE_ACTION it runs a message loop of its
// own, as a dialog does, in which the home window is closed.
DEFINE_GUID(CLSID_TestCloser, 0xA1E00006, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06);

// What one class saw since the last reset.
struct TestPlugRecord {
  int events[6];                // count per event kind
  WORD lastKey;                 // the last PE_KEYDOWN's key
  PluginActionData lastAction;  // the last PE_ACTION's record
  BOOL lastSelected;            // the last PE_PAINT's selected flag
  RECT lastRect;                // the last PE_PAINT's area
  DWORD loadedValue;            // the four bytes its last Load read (0 when none)
  int saves;                    // calls of Save
  HPLUGIN handle;               // the handle Initialize gave
  int live;                     // objects alive
};

extern "C" {
using TestPlugReadProc = BOOL (*)(const GUID* clsid, TestPlugRecord* record);
using TestPlugResetProc = void (*)();
// Asks the home screen, from another thread, to repaint (and re-measure)
// the live object of the class; `height` becomes its new height.
using TestPlugRequestProc = BOOL (*)(const GUID* clsid, int height, DWORD what);
}
