// The network bank: watches one interface's byte counters, shows whether
// data flows, the totals and the rates, and keeps three 24-hour histories.
#pragma once

#include <atomic>
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

// What the network information dialog shows of the chosen adapter.
struct NetworkInfoBlock {
  wchar_t hostName[40];
  wchar_t ipAddress[40];
  wchar_t subnetMask[40];
  wchar_t gateway[40];
  wchar_t primaryDns[40];
  wchar_t secondaryDns[40];
  wchar_t dhcpServer[40];
  wchar_t macAddress[40];
  wchar_t leaseObtained[40];
  wchar_t leaseExpires[40];
  wchar_t domainName[40];
  wchar_t primaryWins[40];
  wchar_t secondWins[40];
  BOOL dhcpEnabled;
  BOOL proxyEnabled;
  DWORD bytesReceived;
  DWORD bytesSent;
};

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

  // Gathers the chosen adapter's details and counters into `block` (on the
  // UI thread, without touching what the worker measures); false when
  // there is no adapter.
  bool Refresh(NetworkInfoBlock* block);
  // While the information dialog is open the worker asks for no repaint.
  std::atomic<bool> infoOpen{false};

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
