#include "options_dialog.h"

#include <algorithm>
#include <cstdio>

#include "ce/aygshell.h"
#include "ce/commctrl.h"
#include "obj_banks.h"
#include "obj_battery.h"
#include "obj_network.h"
#include "title_bar_meters.h"

namespace pelmora {
namespace {

constexpr UINT kPageTemplates[4] = {301, 302, 303, 304};
// The control that takes the focus on each page.
constexpr int kFirstControl[4] = {1021, 1025, 501, 1013};
// Each one-line list's up-down carries the list's id plus 100.
constexpr int kSpinOffset = 100;

void AddText(HWND page, int id, const wchar_t* text) {
  SendDlgItemMessageW(page, id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

void AddNumber(HWND page, int id, int n) {
  wchar_t text[16];
  std::swprintf(text, 16, L"%d", n);
  AddText(page, id, text);
}

// Selects entry `value` when it is below `limit`; otherwise no selection.
void Select(HWND page, int id, DWORD value, DWORD limit) {
  SendDlgItemMessageW(page, id, LB_SETCURSEL, value < limit ? static_cast<WPARAM>(value) : static_cast<WPARAM>(-1), 0);
}

void Check(HWND page, int id, DWORD on) {
  SendDlgItemMessageW(page, id, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Spin(HWND page, int listId) {
  SendDlgItemMessageW(page, listId + kSpinOffset, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(page, listId)), 0);
}

// Bit 0 of the button's state: 1 when checked.
BOOL IsChecked(HWND hwnd, int id) { return static_cast<BOOL>(SendDlgItemMessageW(hwnd, id, BM_GETSTATE, 0, 0) & 1); }

DWORD Selection(HWND page, int id) {
  const LRESULT at = SendDlgItemMessageW(page, id, LB_GETCURSEL, 0, 0);
  return at == LB_ERR ? 0xFFFFFFFFu : static_cast<DWORD>(at);
}

}  // namespace

void CardSizeText(std::uint32_t totalKb, wchar_t* out, int outChars) {
  // Tenths of a megabyte from the remainder (kilobytes out of 1024).
  std::swprintf(out, static_cast<std::size_t>(outChars), L"%u.%u MB", totalKb / 1024, totalKb % 1024 * 10 / 1024);
}

INT_PTR COptionsDialog::Show(HWND parent, int page) {
  if (Window() == nullptr) {
    LoadStrings();
    m_firstPage = page;
    Remember();
  }
  return CDialogWindow::Show(parent);
}

void COptionsDialog::LoadStrings() {
  LoadStringW(DialogModule(), 10, m_title, 40);
  LoadStringW(DialogModule(), 19, m_noRepeat, 40);
}

void COptionsDialog::Remember() {
  const CMeterSettings& s = CMeterSettings::Get();
  m_saved = Values{s.bs,   s.ur,   s.pim,   {},   s.disableNetMon, s.vbl, s.vbc, s.vml, s.vsl,
                   s.vblv, s.vmlv, s.vfreq, s.bt, s.tbb,           s.mtb, s.tbm, {}};
  for (int i = 0; i < kBankCount; ++i) m_saved.d[i] = s.d[i];
  for (int i = 0; i < kCardSlots; ++i) m_saved.pictures[i] = s.sci[i].picture;
}

void COptionsDialog::PutBack() {
  CMeterSettings& s = CMeterSettings::Get();
  s.bs = m_saved.bs;
  s.ur = m_saved.ur;
  s.pim = m_saved.pim;
  for (int i = 0; i < kBankCount; ++i) s.d[i] = m_saved.d[i];
  s.disableNetMon = m_saved.disableNetMon;
  s.vbl = m_saved.vbl;
  s.vbc = m_saved.vbc;
  s.vml = m_saved.vml;
  s.vsl = m_saved.vsl;
  s.vblv = m_saved.vblv;
  s.vmlv = m_saved.vmlv;
  s.vfreq = m_saved.vfreq;
  s.bt = m_saved.bt;
  s.tbb = m_saved.tbb;
  s.mtb = m_saved.mtb;
  s.tbm = m_saved.tbm;
  for (int i = 0; i < kCardSlots; ++i) s.sci[i].picture = m_saved.pictures[i];
  ApplyLayout();
  CTitleBarMeters::Get().ApplySettings();
}

void COptionsDialog::ApplyLayout() {
  Banks().Relayout();
  RequestRedraw();
}

BOOL COptionsDialog::OnInitDialog(HWND hwnd) {
  suite::SetUpDialog(hwnd, DialogModule(), {204});
  SetWindowTextW(hwnd, m_title);
  m_cardPicture.Load(DialogModule(), L"PM_StgCard_0.bmp", 105, 197);
  for (int i = 0; i < 4; ++i)
    m_pages[i] = suite::CreateDialogPage(DialogModule(), kPageTemplates[i], hwnd, PageProc, i);
  m_netCheck = m_pages[1] != nullptr ? GetDlgItem(m_pages[1], 1020) : nullptr;
  const int first = m_firstPage >= 0 && m_firstPage < 4 ? m_firstPage : 0;
  SetForegroundWindow(hwnd);
  // The focus goes to the first control of the page shown (never to a
  // control of a hidden page).
  ShowPage(first);
  return TRUE;
}

void COptionsDialog::ShowPage(int index) {
  for (int i = 0; i < 4; ++i) {
    if (m_pages[i] != nullptr && i != index) ShowWindow(m_pages[i], SW_HIDE);
  }
  m_shown = index;
  if (m_pages[index] == nullptr) return;
  ShowWindow(m_pages[index], SW_SHOW);
  SetFocus(GetDlgItem(m_pages[index], kFirstControl[index]));
}

void COptionsDialog::FillCards(HWND page) {
  const CMeterSettings& s = CMeterSettings::Get();
  SendDlgItemMessageW(page, 1024, LB_RESETCONTENT, 0, 0);
  m_cardCount = 0;
  for (int i = 0; i < kCardSlots; ++i) {
    if (s.sci[i].totalKb == 0 || s.sci[i].picture == 255) continue;
    wchar_t text[32];
    CardSizeText(s.sci[i].totalKb, text, 32);
    AddText(page, 1024, text);
    m_cardSlots[m_cardCount++] = i;
  }
  if (m_cardCount == 0) {
    wchar_t none[40] = {};
    LoadStringW(DialogModule(), 11, none, 40);
    AddText(page, 1024, none);
  }
  if (m_card >= m_cardCount) m_card = 0;
  SendDlgItemMessageW(page, 1024, LB_SETCURSEL, static_cast<WPARAM>(m_card), 0);
}

void COptionsDialog::FillPage(int index, HWND page) {
  const CMeterSettings& s = CMeterSettings::Get();
  wchar_t text[40];
  switch (index) {
    case 0:
      for (int id = 40; id <= 42; ++id) {
        text[0] = L'\0';
        LoadStringW(DialogModule(), static_cast<UINT>(id), text, 40);
        AddText(page, 1021, text);
      }
      Select(page, 1021, s.bs, 3);
      for (int seconds : kUpdateSeconds) AddNumber(page, 1022, seconds);
      Select(page, 1022, s.ur, 7);
      Check(page, 1010, s.pim);
      FillCards(page);
      for (int id : {1021, 1022, 1024}) Spin(page, id);
      break;
    case 1:
      for (int bank = 0; bank < kBankCount; ++bank) {
        const int id = 1025 + bank;
        for (int name = 11; name <= 16; ++name) {
          text[0] = L'\0';
          LoadStringW(DialogModule(), static_cast<UINT>(name), text, 40);
          AddText(page, id, text);
        }
        Select(page, id, s.d[bank], 6);
        Spin(page, id);
      }
      Check(page, 1020, s.disableNetMon);
      break;
    case 2:
      Check(page, 501, s.vbl);
      Check(page, 502, s.vbc);
      Check(page, 503, s.vml);
      Check(page, 504, s.vsl);
      for (int n = 0; n <= 50; ++n) {
        AddNumber(page, 1024, n);
        AddNumber(page, 1025, n);
      }
      Select(page, 1024, s.vblv, 51);
      Select(page, 1025, s.vmlv, 51);
      AddText(page, 1002, m_noRepeat);
      for (int i = 1; i < 7; ++i) AddNumber(page, 1002, kRepeatMinutes[i]);
      Select(page, 1002, s.vfreq, 8);
      for (int id : {1024, 1025, 1002}) Spin(page, id);
      break;
    case 3:
      Check(page, 1013, s.bt);
      if (s.tbb == 0 || s.tbb == 1 || s.tbb == 3) Check(page, 1016 + static_cast<int>(s.tbb), 1);
      Check(page, 1014, s.mtb);
      if (s.tbm == 1 || s.tbm == 3) Check(page, 1020 + static_cast<int>(s.tbm), 1);
      break;
    default:
      break;
  }
}

void COptionsDialog::PaintCard(HWND page) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(page, &paint);
  const CMeterSettings& s = CMeterSettings::Get();
  const MeterBitmap strip = m_cardPicture.Bitmap();
  if (m_cardCount > 0 && strip.dc != nullptr) {
    const int picture = s.sci[m_cardSlots[m_card]].picture;
    if (picture < 12) {
      const int column = strip.width / 12;
      // Beside the card list and its Next button, level with the list: at a
      // fixed place the picture fell under the Reset button or the list's
      // label at some densities.
      POINT at = {Scale(119), Scale(103)};
      RECT list{};
      RECT next{};
      HWND listWindow = GetDlgItem(page, 1024);
      HWND nextWindow = GetDlgItem(page, 1005);
      if (listWindow != nullptr && nextWindow != nullptr && GetWindowRect(listWindow, &list) &&
          GetWindowRect(nextWindow, &next)) {
        at = {std::max(list.right, next.right) + Scale(8), list.top};
        ScreenToClient(page, &at);
      }
      CopyTransparent(dc, at.x, at.y, column, strip.height, strip.dc, column * picture, 0);
    }
  }
  EndPaint(page, &paint);
}

void COptionsDialog::OnPageCommand(HWND page, int index, WORD id, WORD code) {
  CMeterSettings& s = CMeterSettings::Get();
  const bool selection = code == LBN_SELCHANGE;
  const bool clicked = code == BN_CLICKED;
  switch (index) {
    case 0:
      if (id == 1021 && selection) {
        const DWORD size = Selection(page, id);
        if (size < 3) {
          s.bs = size;
          ApplyLayout();
        }
      } else if (id == 1022 && selection) {
        const DWORD at = Selection(page, id);
        if (at < 7) s.ur = at;
      } else if (id == 1010 && clicked) {
        s.pim = IsChecked(page, id);
        RequestRedraw();
      } else if (id == 1011 && clicked) {
        Battery().ResetTimeRemaining();
      } else if (id == 1024 && selection) {
        const DWORD at = Selection(page, id);
        if (static_cast<int>(at) < m_cardCount) m_card = static_cast<int>(at);
        InvalidateRect(page, nullptr, TRUE);
      } else if (id == 1005 && clicked && m_cardCount > 0) {
        CardInfo& card = s.sci[m_cardSlots[m_card]];
        if (card.picture != 255) card.picture = static_cast<std::uint8_t>((card.picture + 1) % 12);
        InvalidateRect(page, nullptr, TRUE);
      }
      break;
    case 1:
      if (id >= 1025 && id <= 1030 && selection) {
        const DWORD type = Selection(page, id);
        if (type < 6) {
          s.d[id - 1025] = type;
          ApplyLayout();
        }
      } else if (id == 1020 && clicked) {
        Network().SetDisabled(IsChecked(page, id) != 0);
        RequestRedraw();
      }
      break;
    case 2:
      if (clicked && id >= 501 && id <= 504) {
        DWORD* flags[4] = {&s.vbl, &s.vbc, &s.vml, &s.vsl};
        *flags[id - 501] = static_cast<DWORD>(IsChecked(page, id));
      } else if (selection && (id == 1024 || id == 1025)) {
        const DWORD at = Selection(page, id);
        if (at <= 50) (id == 1024 ? s.vblv : s.vmlv) = at;
      } else if (selection && id == 1002) {
        const DWORD at = Selection(page, id);
        if (at < 7) s.vfreq = at;
      }
      break;
    case 3:
      if (!clicked) break;
      if (id == 1013) {
        s.bt = static_cast<DWORD>(IsChecked(page, id));
      } else if (id == 1014) {
        s.mtb = static_cast<DWORD>(IsChecked(page, id));
      } else if (id == 1016 || id == 1017 || id == 1019) {
        s.tbb = static_cast<DWORD>(id - 1016);
      } else if (id == 1021 || id == 1023) {
        s.tbm = static_cast<DWORD>(id - 1020);
      } else {
        break;
      }
      CTitleBarMeters::Get().ApplySettings();
      break;
    default:
      break;
  }
}

INT_PTR CALLBACK COptionsDialog::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  COptionsDialog& self = Get();
  const int index = static_cast<int>(GetWindowLongPtrW(hwnd, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      self.FillPage(static_cast<int>(lParam), hwnd);
      return FALSE;
    case WM_SETFOCUS:
      if (index >= 0 && index < 3) SetFocus(GetDlgItem(hwnd, kFirstControl[index]));
      return TRUE;
    case WM_PAINT:
      if (index != 0) return FALSE;
      self.PaintCard(hwnd);
      return TRUE;
    case WM_COMMAND:
      self.OnPageCommand(hwnd, index, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

void COptionsDialog::OnDestroy(HWND) {
  DestroyPages(m_pages);
  m_netCheck = nullptr;
}

void COptionsDialog::Cancel(HWND hwnd) {
  PutBack();
  EndDialog(hwnd, 0);
}

void COptionsDialog::OnOK(HWND hwnd, int id) {
  if (id == IDCANCEL) {
    PutBack();
    EndDialog(hwnd, IDCANCEL);
    return;
  }
  // The shell's done button means what Done means.
  CMeterSettings::Get().Save();
  EndDialog(hwnd, 0);
}

bool COptionsDialog::WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  *result = 1;
  if (message == WM_CLOSE) {
    // Closed on losing the activation: nothing is kept.
    PutBack();
    return false;
  }
  if (message == WM_COMMAND) {
    switch (LOWORD(wParam)) {
      case kCmdDone:
        OnOK(hwnd, IDOK);
        return true;
      case kCmdGeneral:
        ShowPage(0);
        return true;
      case kCmdCustomize:
        ShowPage(1);
        return true;
      case kCmdSpeech:
        ShowPage(2);
        return true;
      case kCmdTitleBar:
        ShowPage(3);
        return true;
      default:
        break;
    }
  }
  return CMeterDialog::WindowMessage(hwnd, message, wParam, lParam, result);
}

}  // namespace pelmora
