// CNetworkInfoDialog: one network adapter's state on three pages: general
// information with live byte counters, the IP configuration, and DHCP and
// WINS details.
#pragma once

#include "ce/windows.h"
#include "meter_dialog.h"
#include "obj_network.h"

namespace pelmora {

inline constexpr UINT_PTR kNetworkTimer = 100;

class CNetworkInfoDialog : public suite::CDialogWindow<CMeterDialog, CNetworkInfoDialog> {
 public:
  static CNetworkInfoDialog& Get() { return *Instance(); }

  UINT TemplateId() const { return kNetworkInfoTemplate; }
  BOOL OnInitDialog(HWND hwnd) override;
  // Has the meter gather the chosen adapter's details; on success fills
  // the Info page's adapter list again.
  void Refresh();
  // Lists the adapters in list 1033 of `page` and selects the chosen one
  // (the last of equal names; the first when none matches). 1 when filled.
  BOOL FillAdapterList(HWND page);

  bool IsOpen() const { return Window() != nullptr; }
  HWND Page(int index) const { return index >= 0 && index < 3 ? m_pages[index] : nullptr; }
  bool InfoPageShown() const { return m_infoShown; }
  const NetworkInfoBlock& Info() const { return m_info; }
  // The rows a page shows: label and value, at most 8.
  int Rows(int page, const wchar_t* labels[8], wchar_t values[8][40]) const;

 protected:
  bool WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  void OnDestroy(HWND hwnd) override;

 private:
  friend class suite::CDialogWindow<CMeterDialog, CNetworkInfoDialog>;
  CNetworkInfoDialog() = default;
  static INT_PTR CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void ShowPage(int index);
  void PaintPage(HWND page, int index);

  HWND m_pages[3] = {};
  bool m_infoShown = false;
  NetworkInfoBlock m_info{};
  DWORD m_paintedReceived = 0;
  DWORD m_paintedSent = 0;
};

}  // namespace pelmora
