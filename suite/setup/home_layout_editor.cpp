#include "home_layout_editor.h"

#include <cwchar>
#include <memory>

#include "ce/aygshell.h"
#include "ce/crt.h"
#include "common/com_ptr.h"
#include "common/iss_utility.h"
#include "common/reg_helper.h"
#include "common/string_helper.h"
#include "dialog_setup.h"
#include "setup_ids.h"

namespace setup {
namespace {

constexpr wchar_t kHomeKey[] = L"ControlPanel\\Home";
constexpr wchar_t kLayoutFolder[] = L"Application Data\\Home\\";
constexpr wchar_t kFirstName[] = L"QV.home.xml";
constexpr wchar_t kSecondName[] = L"QV1.home.xml";
constexpr wchar_t kPluginQuery[] = L"//home//plugin";
// A braced CLSID is 38 characters; room for a little more tells a longer
// value from one.
constexpr int kClsidChars = 64;

// The suite maker's name and address written into each layout.
constexpr wchar_t kAuthor[] = L"Tarnwell";
constexpr wchar_t kContactUrl[] = L"http://www.example.com/";

std::unique_ptr<CHomeLayoutEditor> g_instance;

bool SameText(const std::wstring& a, const std::wstring& b) {
  return suite::CStringHelper::GetInstance()->CompareNoCase(a.c_str(), b.c_str()) == 0;
}

}  // namespace

bool SameClsid(const wchar_t* a, const wchar_t* b) {
  return a != nullptr && b != nullptr && suite::CStringHelper::GetInstance()->CompareNoCase(a, b) == 0;
}

CHomeLayoutEditor* CHomeLayoutEditor::GetInstance() {
  if (!g_instance) g_instance.reset(new CHomeLayoutEditor());
  return g_instance.get();
}

void CHomeLayoutEditor::DeleteInstance() { g_instance.reset(); }

void CHomeLayoutEditor::SetRequest(int choice, BOOL remove) {
  m_choice = (choice == kChoiceLauncher || choice == kChoiceMeters) ? choice : kChoiceBoth;
  m_remove = remove ? TRUE : FALSE;
}

BOOL CHomeLayoutEditor::Run(HWND parent, HINSTANCE module, int choice, BOOL remove) {
  SetRequest(choice, remove);
  m_module = module;
  const INT_PTR result =
      DialogBoxParamW(module, MAKEINTRESOURCEW(IDD_PROGRESS), parent, ProgressProc, reinterpret_cast<LPARAM>(this));
  return result == 1 ? TRUE : FALSE;
}

// --- The progress dialog ------------------------------------------------------------

INT_PTR CALLBACK CHomeLayoutEditor::ProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
  auto* self = reinterpret_cast<CHomeLayoutEditor*>(GetWindowLongPtrW(dialog, DWLP_USER));
  return self != nullptr ? self->OnProgressMessage(dialog, message, wParam, lParam) : FALSE;
}

void CHomeLayoutEditor::InitProgress(HWND dialog) {
  m_menuBar = SetUpFullScreenDialog(dialog, m_module, IDM_PROGRESS_BAR);

  // The text spans the dialog, 10 pixels in from either side.
  if (HWND text = GetDlgItem(dialog, IDC_PROGRESS)) {
    RECT client{};
    RECT box{};
    GetClientRect(dialog, &client);
    GetWindowRect(text, &box);
    POINT topLeft{box.left, box.top};
    ScreenToClient(dialog, &topLeft);
    MoveWindow(text, 10, topLeft.y, (client.right - client.left) - 20, box.bottom - box.top, TRUE);
  }
  m_finished = FALSE;
  m_dots = 0;
  ShowDots(dialog);
  SetTimer(dialog, kTimeoutTimer, kTimeoutMs, nullptr);
  SetTimer(dialog, kDotsTimer, kDotsMs, nullptr);
  PostMessageW(dialog, kMsgApply, 0, 0);
}

void CHomeLayoutEditor::ShowDots(HWND dialog) {
  WCHAR text[suite::CStringHelper::kTextCapacity] = {};
  suite::CStringHelper::GetInstance()->LoadResString(text, IDS_SETTING, suite::CStringHelper::kTextCapacity - 8);
  std::size_t length = std::wcslen(text);
  for (int i = 0; i < m_dots; ++i) text[length++] = L'.';
  text[length] = L'\0';
  SetDlgItemTextW(dialog, IDC_PROGRESS, text);
}

void CHomeLayoutEditor::Finish(HWND dialog, BOOL success) {
  m_finished = TRUE;
  KillTimer(dialog, kTimeoutTimer);
  KillTimer(dialog, kDotsTimer);
  SetCursor(nullptr);
  suite::IssUtility::GetInstance()->PlayEventSound(0, success ? FALSE : TRUE);
  WCHAR text[suite::CStringHelper::kTextCapacity] = {};
  suite::CStringHelper::GetInstance()->LoadResString(text, success ? IDS_LAYOUT_DONE : IDS_LAYOUT_FAILED,
                                                     suite::CStringHelper::kTextCapacity);
  MessageBoxW(dialog, text, L"", MB_OK | MB_ICONEXCLAMATION);
  EndDialog(dialog, success ? 1 : 0);
}

INT_PTR CHomeLayoutEditor::OnProgressMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      InitProgress(dialog);
      return TRUE;
    case WM_TIMER:
      if (wParam == kDotsTimer) {
        m_dots = m_dots >= kMaxDots ? 0 : m_dots + 1;
        ShowDots(dialog);
      } else if (wParam == kTimeoutTimer && !m_finished) {
        Finish(dialog, FALSE);  // the home screen never reloaded
      }
      return TRUE;
    case kMsgApply: {
      SetCursor(LoadCursorW(nullptr, IDC_WAIT));
      if (!ApplyLayout() && !m_finished) Finish(dialog, FALSE);
      return TRUE;
    }
    case WM_SYSCOLORCHANGE:
      // The home screen has read the new layout.
      if (!m_finished) Finish(dialog, TRUE);
      return TRUE;
    case WM_DESTROY:
      KillTimer(dialog, kTimeoutTimer);
      KillTimer(dialog, kDotsTimer);
      if (m_menuBar != nullptr) {
        DestroyWindow(m_menuBar);
        m_menuBar = nullptr;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

// --- The layout ---------------------------------------------------------------------

BOOL CHomeLayoutEditor::ApplyLayout() {
  m_newFile.clear();
  suite::CRegHelper registry;
  WCHAR current[kSchemeChars + 1] = {};
  // Sizes are the device's: two bytes a character.
  if (!registry.ReadString(kHomeKey, L"Scheme", current, (kSchemeChars + 1) * 2) || current[0] == L'\0') {
    return FALSE;
  }
  WCHAR root[MAX_PATH] = {};
  if (!suite::IssUtility::GetInstance()->GetStorageRoot(root)) return FALSE;
  const std::wstring folder = std::wstring(root) + kLayoutFolder;
  // Paths on the device match without regard to case, so a "Scheme" that
  // differs from the first name only in case still names that file.
  const bool firstInUse = SameText(current, folder + kFirstName);
  const std::wstring newFile = folder + (firstInUse ? kSecondName : kFirstName);

  // The folder is the home screen's; a device whose layout lies elsewhere
  // may not have it yet.
  std::wstring made = root;
  for (const wchar_t* part : {L"Application Data", L"Home"}) {
    made += part;
    CreateDirectoryW(made.c_str(), nullptr);
    made += L"\\";
  }
  const BOOL built = ReadCurrentLayout(current) && BuildNewLayout(newFile.c_str());
  m_reader.Close();
  m_document.Close();
  if (!built) return FALSE;
  if (!registry.WriteString(kHomeKey, L"Scheme", newFile.c_str(), static_cast<int>(newFile.size()))) return FALSE;
  m_newFile = newFile;
  // The home screen owns the desktop window; it reloads and then tells
  // every window with WM_SYSCOLORCHANGE. Without a home screen nobody
  // answers, and the progress dialog's time-out reports it.
  if (HWND desktop = GetDesktopWindow()) SendMessageW(desktop, WM_SETTINGCHANGE, 0xF2, 0);
  return TRUE;
}

BOOL CHomeLayoutEditor::ReadCurrentLayout(LPCWSTR path) {
  m_launcherPresent = FALSE;
  m_metersPresent = FALSE;
  m_firstPluginKept = FALSE;
  if (!m_reader.Load(path, TRUE, FALSE, FALSE) || !m_reader.SelectNode(L"/home")) return FALSE;
  m_reader.PushNode();
  const int count = m_reader.SelectNodes(kPluginQuery);
  for (int i = 0; i < count && m_reader.NextNode(); ++i) {
    WCHAR clsid[kClsidChars] = {};
    // An element without a usable CLSID names no plug-in of ours; it is
    // copied as it is.
    if (!m_reader.GetAttribute(L"clsid", clsid, kClsidChars)) continue;
    if (i == 0 && SameClsid(clsid, kKeptFirstClsid)) {
      m_firstPluginKept = TRUE;
    } else if (SameClsid(clsid, kLauncherClsid)) {
      m_launcherPresent = TRUE;
    } else if (SameClsid(clsid, kMetersClsid)) {
      m_metersPresent = TRUE;
    }
  }
  m_reader.PopNode();
  return TRUE;
}

BOOL CHomeLayoutEditor::AppendTextElement(LPCWSTR name, LPCWSTR attribute, LPCWSTR value, LPCWSTR text) {
  if (!m_document.CreateElement(name)) return FALSE;
  if (attribute != nullptr && !m_document.SetAttribute(attribute, value)) return FALSE;
  if (!m_document.AppendNew()) return FALSE;
  const std::wstring path = std::wstring(L"/home/") + name;
  return m_document.SelectNode(path.c_str()) && m_document.CreateLabelElement(text) && m_document.AppendNew() &&
         m_document.SelectNode(L"/home");
}

BOOL CHomeLayoutEditor::AppendPlugin(LPCWSTR clsid) {
  return m_document.CreateElement(L"plugin") && m_document.SetAttribute(L"clsid", clsid) && m_document.AppendNew();
}

BOOL CHomeLayoutEditor::CopyReaderNode() {
  suite::ComPtr<IXMLDOMNode> node;
  node.Attach(m_reader.GetNode());
  return node ? m_document.AppendNode(node.Get()) : FALSE;
}

BOOL CHomeLayoutEditor::CopyFromCurrent(LPCWSTR query) {
  m_reader.PushNode();
  // A layout without the element is fine; one that has it must copy.
  const BOOL ok = m_reader.SelectNode(query) ? CopyReaderNode() : TRUE;
  m_reader.PopNode();
  return ok;
}

BOOL CHomeLayoutEditor::BuildNewLayout(LPCWSTR path) {
  if (!m_document.Create() || !m_document.AddXmlDeclaration() || !m_document.CreateElement(L"home") ||
      !m_document.AppendNew() || !m_document.SelectNode(L"/home")) {
    return FALSE;
  }
  if (!AppendTextElement(L"author", nullptr, nullptr, kAuthor) ||
      !AppendTextElement(L"contacturl", nullptr, nullptr, kContactUrl) ||
      !AppendTextElement(L"title", L"lang", L"0x0409", L"Quorvist") ||
      !AppendTextElement(L"version", nullptr, nullptr, L"1.0")) {
    return FALSE;
  }
  if (!CopyFromCurrent(L"//home//default") || !CopyFromCurrent(L"//home//background") ||
      !CopyFromCurrent(L"//home//scheme")) {
    return FALSE;
  }

  m_reader.PushNode();
  const int count = m_reader.SelectNodes(kPluginQuery);
  int index = 0;
  if (m_firstPluginKept) {
    if (!m_reader.NextNode() || !CopyReaderNode()) return FALSE;
    index = 1;
  }
  if (!m_remove) {
    if (m_choice != kChoiceMeters && !m_launcherPresent && !AppendPlugin(kLauncherClsid)) return FALSE;
    if (m_choice != kChoiceLauncher && !m_metersPresent && !AppendPlugin(kMetersClsid)) return FALSE;
  }
  const bool dropLauncher = m_remove && m_choice != kChoiceMeters;
  const bool dropMeters = m_remove && m_choice != kChoiceLauncher;
  suite::ComPtr<IXMLDOMNode> movedLast;
  BOOL ok = TRUE;
  for (; ok && index < count && m_reader.NextNode(); ++index) {
    WCHAR clsid[kClsidChars] = {};
    if (!m_reader.GetAttribute(L"clsid", clsid, kClsidChars)) {
      ok = CopyReaderNode();
      continue;
    }
    if ((dropLauncher && SameClsid(clsid, kLauncherClsid)) || (dropMeters && SameClsid(clsid, kMetersClsid))) {
      continue;
    }
    if (!m_remove && SameClsid(clsid, kMovedLastClsid)) {
      if (!movedLast) movedLast.Attach(m_reader.GetNode());
      continue;
    }
    ok = CopyReaderNode();
  }
  if (movedLast && ok) ok = m_document.AppendNode(movedLast.Get());
  m_reader.PopNode();
  return ok && m_document.Save(path);
}

}  // namespace setup
