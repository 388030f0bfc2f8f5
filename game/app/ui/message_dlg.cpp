// MessageDlg and PictureMessageDlg.
#include "ui/message_dlg.h"

#include <cwchar>

#include "ui/dlg_man.h"
#include "ui/static_text.h"

namespace {

constexpr std::uint32_t kPlainBevel[5] = {0xFFFFFF, 0xE0E0E0, 0xD3D3D3, 0x7F7F7F, 0x3F3F3F};
constexpr std::uint32_t kTextBevel[5] = {0xEAEAEA, 0x8D8D8D, 0x2A2A2A, 0x3D3D3D, 0x000000};
constexpr std::uint32_t kAnswerBevel[5] = {0xC0FFFF, 0x78B898, 0x008040, 0x286848, 0x000000};

void Colours(Wnd* w, std::uint32_t a, std::uint32_t b, std::uint32_t c, const std::uint32_t bevel[5]) {
  w->SetColourA(a);
  w->SetColourB(b);
  w->SetColourC(c);
  w->SetBevelColours(bevel);
}

void CopyBounded(wchar_t* to, const wchar_t* from, std::size_t chars) {
  std::wcsncpy(to, from != nullptr ? from : L"", chars - 1);
  to[chars - 1] = 0;
}

// One widget of a box's table: created on the screen with its colours,
// font and picture. Null when the creation fails.
template <class T>
T* Add(Dlg* screen, ssDisplay* d, RECT frac, const wchar_t* caption, int kind, std::uint32_t style, std::uint32_t flags,
       int id, const wchar_t* font, const wchar_t* image) {
  auto* w = new T();
  if (!w->Create(d, screen, frac, caption, kind, style, flags, id, 0)) {
    // A failed creation never reached the parent's list.
    if (!screen->RemoveChild(w)) delete w;
    return nullptr;
  }
  w->SetFontByName(font, L"UI", L"res.ark");
  if (image != nullptr) w->SetImageByName(image, L"UI", L"res.ark");
  return w;
}

}  // namespace

// ---- MessageDlg --------------------------------------------------------------------

MessageDlg::MessageDlg() = default;
MessageDlg::~MessageDlg() = default;

bool MessageDlg::Build(ssDisplay* device, ssInput*) {
  if (!Create(device, nullptr, RECT{0, 0, 55109, 43194}, L"Dialog", ui::kKindWindow, 0x10C00800, 0x200000, 1006, 0)) {
    return false;
  }
  Colours(this, 0xFFFF00, 0x5B5B5B, 0x000000, kPlainBevel);
  SetFontByName(L"Small Fonts7", L"UI", L"res.ark");
  m_TextLabel = Add<StaticText>(this, device, RECT{7447, 12660, 56897, 38725}, L"Text", ui::kKindStatic, 0x10800200,
                                0x80020, kTextId, L"Small Fonts7", nullptr);
  if (m_TextLabel == nullptr) return false;
  Colours(m_TextLabel, 0xFFFF80, 0x000000, 0xC0C0C0, kTextBevel);
  StaticText* no = Add<StaticText>(this, device, RECT{12809, 42449, 33065, 46173}, L"Cancel", ui::kKindStatic,
                                   0x10000000, 0x200020, kNegativeLabelId, L"Small Fonts7", nullptr);
  if (no == nullptr) return false;
  Colours(no, 0xFFFFFF, 0xFFFF80, 0x000000, kAnswerBevel);
  StaticText* yes = Add<StaticText>(this, device, RECT{41108, 42449, 57790, 46173}, L"OK", ui::kKindStatic, 0x10000000,
                                    0x200020, kPositiveLabelId, L"Small Fonts7", nullptr);
  if (yes == nullptr) return false;
  Colours(yes, 0xFFFFFF, 0xFFFF80, 0x000000, kAnswerBevel);
  Picture* ok = Add<Picture>(this, device, RECT{35746, 40960, 40513, 46917}, L"Test Picture", ui::kKindPicture,
                             0x10000000, 0, kPositiveId, L"cornerstone10", L"Home.tga");
  if (ok == nullptr) return false;
  Colours(ok, 0xFFFFFF, 0xD3D3D3, 0x000000, kPlainBevel);
  Picture* back = Add<Picture>(this, device, RECT{7447, 40960, 12213, 46917}, L"Test Picture", ui::kKindPicture,
                               0x10000000, 0, kNegativeId, L"cornerstone10", L"Back.tga");
  if (back == nullptr) return false;
  Colours(back, 0xFFFFFF, 0xD3D3D3, 0x000000, kPlainBevel);
  return true;
}

void MessageDlg::SetMessage(const wchar_t* title, const wchar_t* text, int buttons) {
  CopyBounded(m_Title, title, kTextChars);
  CopyBounded(m_Text, text, kTextChars);
  Wnd* yesLabel = GetChild(kPositiveLabelId);
  Wnd* noLabel = GetChild(kNegativeLabelId);
  Wnd* yes = GetChild(kPositiveId);
  Wnd* no = GetChild(kNegativeId);
  if (yesLabel == nullptr || noLabel == nullptr || yes == nullptr || no == nullptr) return;
  if (buttons == 1) {
    yesLabel->SetText(L"OK");
    yesLabel->ShowWindow(5);
    yes->ShowWindow(5);
    no->ShowWindow(0);
    noLabel->ShowWindow(0);
  } else if (buttons == 2) {
    yesLabel->SetText(L"Yes");
    yesLabel->ShowWindow(5);
    yes->ShowWindow(5);
    noLabel->SetText(L"No");
    noLabel->ShowWindow(5);
    no->ShowWindow(5);
  }
}

void MessageDlg::Show(DlgMan* stack, const wchar_t* title, const wchar_t* text, int buttons) {
  SetMessage(title, text, buttons);
  if (stack != nullptr) stack->Push(this, 0);
}

void MessageDlg::OnInitDialog() {
  SetText(m_Title);
  if (m_TextLabel != nullptr) m_TextLabel->SetText(m_Text);
  SetDefaultButtons(kPositiveId, kNegativeId);
}

void MessageDlg::OnBack() { Cancel(); }
void MessageDlg::OnOk() { EndDialog(kResultOk); }

LRESULT MessageDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    OnInitDialog();
    return 0;
  }
  if (message == ui::kMsgCommand && ui::CommandCode(p1) == ui::kNotifyClicked) {
    if (ui::CommandId(p1) == kNegativeId) {
      OnBack();
      return 0;
    }
    if (ui::CommandId(p1) == kPositiveId) {
      OnOk();
      return 0;
    }
  }
  return DefWndProc(message, p1, p2);
}

// ---- PictureMessageDlg -------------------------------------------------------------

PictureMessageDlg::PictureMessageDlg() = default;
PictureMessageDlg::~PictureMessageDlg() = default;

bool PictureMessageDlg::Build(ssDisplay* device, ssInput*) {
  if (!Create(device, nullptr, RECT{0, 0, 56897, 27554}, L"Dialog", ui::kKindWindow, 0x10000800, 0, 1007, 0)) {
    return false;
  }
  Colours(this, 0xFFFFFF, 0xD3D3D3, 0x000000, kPlainBevel);
  SetFontByName(L"cornerstone10", L"UI", L"res.ark");
  SetImageByName(L"Bill.tga", L"UI", L"res.ark");
  Picture* frame = Add<Picture>(this, device, RECT{20256, 37236, 46173, 45428}, L"Test Picture", ui::kKindPicture,
                                0x10800000, 0x80020, 0, L"cornerstone10", nullptr);
  if (frame == nullptr) return false;
  Colours(frame, 0xFFFFFF, 0x000000, 0x000000, kPlainBevel);
  m_TextLabel = Add<StaticText>(this, device, RECT{10724, 21597, 55109, 36491}, L"Text", ui::kKindStatic, 0x10800200,
                                0x280020, kTextId, L"Small Fonts7", nullptr);
  if (m_TextLabel == nullptr) return false;
  Colours(m_TextLabel, 0xFFFFFF, 0x000000, 0x000000, kPlainBevel);
  StaticText* label = Add<StaticText>(this, device, RECT{27108, 40215, 41108, 43938}, L"Continue", ui::kKindStatic,
                                      0x10000000, 0x200020, 0, L"Small Fonts7", nullptr);
  if (label == nullptr) return false;
  Colours(label, 0xFFFFFF, 0xD3D3D3, 0x000000, kPlainBevel);
  Picture* go = Add<Picture>(this, device, RECT{21448, 38725, 26214, 44683}, L"Test Picture", ui::kKindPicture,
                             0x10000000, 0, kContinueId, L"cornerstone10", L"Home.tga");
  if (go == nullptr) return false;
  Colours(go, 0xFFFFFF, 0xD3D3D3, 0x000000, kPlainBevel);
  return true;
}

void PictureMessageDlg::SetMessageText(const wchar_t* text) { CopyBounded(m_Text, text, kTextChars); }

void PictureMessageDlg::OnInitDialog() {
  if (m_TextLabel != nullptr) m_TextLabel->SetText(m_Text);
  SetDefaultButtons(kContinueId, kContinueId);
}

void PictureMessageDlg::OnContinue() { EndDialog(kResultOk); }

LRESULT PictureMessageDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    OnInitDialog();
    return 0;
  }
  if (message == ui::kMsgCommand && ui::CommandCode(p1) == ui::kNotifyClicked && ui::CommandId(p1) == kContinueId) {
    OnContinue();
    return 0;
  }
  return DefWndProc(message, p1, p2);
}

// ---- the calls screens use ---------------------------------------------------------

bool ui::ShowMessage(DlgMan* stack, ssDisplay* device, const wchar_t* title, const wchar_t* text, int buttons) {
  auto* box = new MessageDlg();
  if (!box->Build(device, nullptr)) {
    delete box;
    return false;
  }
  box->Show(stack, title, text, buttons);
  return true;
}

bool ui::ShowPictureMessage(DlgMan* stack, ssDisplay* device, const wchar_t* text) {
  auto* box = new PictureMessageDlg();
  if (!box->Build(device, nullptr)) {
    delete box;
    return false;
  }
  box->SetMessageText(text);
  if (stack != nullptr) stack->Push(box, 0);
  return true;
}
