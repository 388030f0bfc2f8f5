#include "network_info_dialog.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "ce/aygshell.h"
#include "ce/commctrl.h"
#include "ce/iphlpapi.h"
#include "common/string_helper.h"
#include "meter_settings.h"
#include "obj_meter.h"

namespace pelmora {
namespace {

// A counter with thousands separators.
void Number(DWORD n, wchar_t* out) {
  wchar_t digits[16];
  std::swprintf(digits, 16, L"%lu", static_cast<unsigned long>(n));
  const int length = static_cast<int>(std::wcslen(digits));
  int o = 0;
  for (int i = 0; i < length; ++i) {
    if (i > 0 && (length - i) % 3 == 0) out[o++] = L',';
    out[o++] = digits[i];
  }
  out[o] = L'\0';
}

void Put(wchar_t* to, const wchar_t* from) {
  std::wcsncpy(to, from, 39);
  to[39] = L'\0';
}

}  // namespace

BOOL CNetworkInfoDialog::OnInitDialog(HWND hwnd) {
  HINSTANCE module = DialogModule();
  suite::SetUpDialog(hwnd, module, {201});
  static const UINT kTemplates[3] = {501, 151, 151};
  for (int i = 0; i < 3; ++i) m_pages[i] = suite::CreateDialogPage(module, kTemplates[i], hwnd, PageProc, i);
  if (m_pages[0] != nullptr) {
    SendDlgItemMessageW(m_pages[0], 1133, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(m_pages[0], 1033)), 0);
  }
  ShowPage(0);
  SetForegroundWindow(hwnd);
  SetTimer(hwnd, kNetworkTimer, 1000, nullptr);
  Refresh();
  return TRUE;
}

void CNetworkInfoDialog::Refresh() {
  if (Network().Refresh(&m_info) && m_pages[0] != nullptr) FillAdapterList(m_pages[0]);
}

BOOL CNetworkInfoDialog::FillAdapterList(HWND page) {
  ULONG size = 0;
  if (GetInterfaceInfo(nullptr, &size) != ERROR_INSUFFICIENT_BUFFER || size < sizeof(IP_INTERFACE_INFO)) return 0;
  std::vector<ULONGLONG> buffer((size + 7) / 8);
  auto* info = reinterpret_cast<IP_INTERFACE_INFO*>(buffer.data());
  if (GetInterfaceInfo(info, &size) != NO_ERROR) return 0;
  const LONG fit = static_cast<LONG>((size - offsetof(IP_INTERFACE_INFO, Adapter)) / sizeof(IP_ADAPTER_INDEX_MAP));
  const LONG count = info->NumAdapters < fit ? info->NumAdapters : fit;
  SendDlgItemMessageW(page, 1033, LB_RESETCONTENT, 0, 0);
  const wchar_t* chosenName = CMeterSettings::Get().deviceName;
  LONG chosen = 0;
  for (LONG i = 0; i < count; ++i) {
    wchar_t name[MAX_ADAPTER_NAME + 1] = {};
    std::wcsncpy(name, info->Adapter[i].Name, MAX_ADAPTER_NAME);
    SendDlgItemMessageW(page, 1033, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    if (std::wcscmp(name, chosenName) == 0) chosen = i;
  }
  SendDlgItemMessageW(page, 1033, LB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
  return 1;
}

void CNetworkInfoDialog::ShowPage(int index) {
  for (int i = 0; i < 3; ++i) {
    if (m_pages[i] != nullptr) ShowWindow(m_pages[i], i == index ? SW_SHOW : SW_HIDE);
  }
  m_infoShown = index == 0;
  if (m_pages[index] != nullptr) InvalidateRect(m_pages[index], nullptr, TRUE);
}

int CNetworkInfoDialog::Rows(int page, const wchar_t* labels[8], wchar_t values[8][40]) const {
  const NetworkInfoBlock& i = m_info;
  int n = 0;
  auto row = [&](const wchar_t* label, const wchar_t* value) {
    labels[n] = label;
    Put(values[n], value);
    ++n;
  };
  if (page == 0) {
    row(L"Device Name:", L"");
    row(L"Host Name:", i.hostName);
    row(L"IP Address:", i.ipAddress);
    row(L"MAC Address:", i.macAddress);
    wchar_t number[40];
    Number(i.bytesReceived, number);
    row(L"Bytes Received:", number);
    Number(i.bytesSent, number);
    row(L"Bytes Sent:", number);
  } else if (page == 1) {
    row(L"IP Address:", i.ipAddress);
    row(L"Subnet Mask:", i.subnetMask);
    row(L"Gateway:", i.gateway);
    row(L"Primary DNS:", i.primaryDns);
    row(L"Secondary DNS:", i.secondaryDns);
    row(L"Domain Name:", i.domainName);
    row(L"Proxy:", i.proxyEnabled ? L"Enabled" : L"Disabled");
  } else {
    row(L"DHCP:", i.dhcpEnabled ? L"Enabled" : L"Disabled");
    row(L"DHCP Server:", i.dhcpServer);
    row(L"Primary WINS:", i.primaryWins);
    row(L"2nd WINS:", i.secondWins);
    row(L"Lease Obtained:", i.leaseObtained);
    row(L"Lease Expires:", i.leaseExpires);
  }
  return n;
}

void CNetworkInfoDialog::PaintPage(HWND page, int index) {
  PAINTSTRUCT paint;
  HDC window = BeginPaint(page, &paint);
  RECT client{};
  GetClientRect(page, &client);
  HDC dc = CreateCompatibleDC(window);
  HBITMAP bitmap = CreateCompatibleBitmap(window, client.right, client.bottom);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  HFONT font = CreateFontW(Scale(14), 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, L"Nina");
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  const wchar_t* labels[8] = {};
  wchar_t values[8][40] = {};
  const int n = Rows(index, labels, values);
  for (int r = 0; r < n; ++r) {
    const int y = Scale(5 + 18 * r);
    RECT label{Scale(4), y, client.right - Scale(4), y + Scale(18)};
    DrawTextW(dc, labels[r], -1, &label, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    // The value keeps to the room right of its label; one too long for it
    // ends in an ellipsis rather than running over the label.
    SIZE labelSize{};
    GetTextExtentPoint32W(dc, labels[r], static_cast<int>(std::wcslen(labels[r])), &labelSize);
    RECT value = label;
    value.left = std::min(label.right, label.left + labelSize.cx + Scale(6));
    DrawTextW(dc, values[r], -1, &value, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  }
  if (index == 0) {
    m_paintedReceived = m_info.bytesReceived;
    m_paintedSent = m_info.bytesSent;
  }
  SelectObject(dc, oldFont);
  DeleteObject(font);
  BitBlt(window, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  EndPaint(page, &paint);
}

INT_PTR CALLBACK CNetworkInfoDialog::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CNetworkInfoDialog& self = Get();
  const int index = static_cast<int>(GetWindowLongPtrW(hwnd, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      return FALSE;
    case WM_PAINT:
      self.PaintPage(hwnd, index);
      return TRUE;
    case WM_COMMAND:
      if (index == 0 && LOWORD(wParam) == 1033 && HIWORD(wParam) == LBN_SELCHANGE) {
        const LRESULT at = SendDlgItemMessageW(hwnd, 1033, LB_GETCURSEL, 0, 0);
        wchar_t name[MAX_ADAPTER_NAME + 1] = {};
        if (at != LB_ERR &&
            SendDlgItemMessageW(hwnd, 1033, LB_GETTEXTLEN, static_cast<WPARAM>(at), 0) <= MAX_ADAPTER_NAME) {
          SendDlgItemMessageW(hwnd, 1033, LB_GETTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(name));
          CMeterSettings& settings = CMeterSettings::Get();
          std::swprintf(settings.deviceName, sizeof settings.deviceName / sizeof settings.deviceName[0], L"%.127ls",
                        name);
          self.Refresh();
          InvalidateRect(hwnd, nullptr, TRUE);
        }
      }
      return TRUE;
    default:
      return FALSE;
  }
}

void CNetworkInfoDialog::OnDestroy(HWND hwnd) {
  DestroyPages(m_pages);
  KillTimer(hwnd, kNetworkTimer);
}

bool CNetworkInfoDialog::WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  *result = 1;
  if (message == WM_TIMER) {
    if (wParam == kNetworkTimer && m_infoShown) {
      Refresh();
      if (m_info.bytesReceived != m_paintedReceived || m_info.bytesSent != m_paintedSent) {
        InvalidateRect(m_pages[0], nullptr, FALSE);
      }
    }
    return true;
  }
  if (message == WM_COMMAND) {
    switch (LOWORD(wParam)) {
      case 40005:
        EndDialog(hwnd, 0);
        return true;
      case 40011:
        ShowPage(0);
        return true;
      case 40012:
        ShowPage(1);
        return true;
      case 40013:
        ShowPage(2);
        return true;
      default:
        break;
    }
  }
  return CMeterDialog::WindowMessage(hwnd, message, wParam, lParam, result);
}

}  // namespace pelmora
