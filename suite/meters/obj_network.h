// The network bank: watches one interface's byte counters, shows whether
// data flows, the totals and the rates, and keeps three 24-hour histories.
#pragma once

#include <mutex>
#include <string>

#include "ce/windows.h"
#include "obj_battery.h"
#include "obj_meter.h"

namespace pelmora {

// "1000 b", "1.0 Kb", "1.0 Mb", "1.0 Gb"; rates add "ps".
std::wstring NetworkNumberText(double count, bool rate);
// The history value of a rate in bytes per second: 400000 B/s is 100.
int RateHistoryValue(double bytesPerSecond);

class CObjNetwork : public CObjMeter {
 public:
  BOOL Init(HINSTANCE instance, HWND window) override;
  BOOL Draw(HDC dc, const RECT& bank, HFONT normalFont, HFONT secondFont, int size, int bankIndex,
            BOOL selected) override;
  BOOL Update() override;
  BOOL Action(int bankIndex) override;
  BOOL SecondAction(int bankIndex) override;

  // Finds the watched interface; false when there is none.
  bool FindInterface();
  bool IsConnected() { return FindInterface(); }
  void SetDisabled(bool disabled);
  bool IsDisabled() const;

  int state = 4;
  long interfaceIndex = -1;
  DWORD received = 0, sent = 0;
  double downloadRate = 0, uploadRate = 0;
  int mode[6] = {};
  std::wstring texts[5];  // written by the worker under m_textLock
  std::wstring Text(int index);
  HistoryRing download, upload, total;

 private:
  bool ReadCounters();
  MeterPicture m_pictures[3];
  // The texts are strings the worker replaces while the UI thread draws.
  std::mutex m_textLock;
  struct Sample {
    DWORD sent = 0, received = 0;
    ULONGLONG ms = 0;
    bool filled = false;
  } m_samples[2];
  int m_nextSample = 0;
  DWORD m_lastReceived = 0;
  DWORD m_lastSent = 0;
};

CObjNetwork& Network();

}  // namespace pelmora
