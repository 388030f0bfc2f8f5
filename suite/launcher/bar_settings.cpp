#include "bar_settings.h"

#include <algorithm>
#include <cwchar>
#include <memory>

#include "ce/crt.h"
#include "common/module_state.h"
#include "launcher_state.h"
#include "program_list.h"

namespace tessivo {
namespace {

constexpr const wchar_t* kKeyPath = L"SOFTWARE\\Tarnwell\\Tessivo";
constexpr const wchar_t* kDefaultExplorer = L"\\windows\\FExplore.exe";
constexpr DWORD kStorageCardWaitMs = 30000;

bool IsStorageCardPath(const std::wstring& path) {
  constexpr const wchar_t* kPrefix = L"\\Storage Card";
  return path.size() >= 13 && _wcsnicmp(path.c_str(), kPrefix, 13) == 0;
}

void CopyText(WCHAR* field, LPCWSTR text) {
  std::wcsncpy(field, text, kTextCapacity - 1);
  field[kTextCapacity - 1] = L'\0';
}

// A REG_SZ value of at most 259 characters; false when missing or of
// another type.
bool QueryText(HKEY key, const std::wstring& name, std::wstring& out) {
  WCHAR buffer[kTextCapacity];
  DWORD type = 0;
  DWORD size = sizeof buffer;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  // The registry counts two bytes a character.
  const std::size_t chars = std::min<std::size_t>(size / 2, kTextCapacity - 1);
  buffer[chars] = L'\0';
  out = buffer;
  return true;
}

bool ValueExists(HKEY key, const std::wstring& name) {
  DWORD size = 0;
  return RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
}

}  // namespace

std::wstring ItemValueName(LPCWSTR prefix, int index) { return std::wstring(prefix) + std::to_wstring(index); }

// --- CIconItem ---------------------------------------------------------------

CIconItem::~CIconItem() { DropIcon(); }

void CIconItem::DropIcon() {
  if (m_ownsIcon && m_icon != nullptr) DestroyIcon(m_icon);
  m_icon = nullptr;
  m_ownsIcon = FALSE;
}

void CIconItem::MoveFrom(CIconItem& other) {
  Clear();
  m_path.swap(other.m_path);
  m_parameters.swap(other.m_parameters);
  m_name.swap(other.m_name);
  m_icon = other.m_icon;
  m_ownsIcon = other.m_ownsIcon;
  m_resourceIcon = other.m_resourceIcon;
  other.m_icon = nullptr;
  other.m_ownsIcon = FALSE;
  other.m_resourceIcon = 0;
}

void CIconItem::SetPath(LPCWSTR path) { m_path = path != nullptr ? path : L""; }
void CIconItem::SetParameters(LPCWSTR parameters) { m_parameters = parameters != nullptr ? parameters : L""; }
void CIconItem::SetName(LPCWSTR name) { m_name = name != nullptr ? name : L""; }

void CIconItem::SetIcon(HICON icon) {
  DropIcon();
  m_icon = icon;
}

void CIconItem::AdoptIcon(HICON icon) {
  DropIcon();
  m_icon = icon;
  m_ownsIcon = icon != nullptr;
}

void CIconItem::LoadResourceIcon(BYTE number) {
  if (number == 0) return;
  DropIcon();
  m_icon = static_cast<HICON>(LoadImageW(Module(), MAKEINTRESOURCEW(number), IMAGE_ICON, S(16), S(16), 0));
  m_ownsIcon = m_icon != nullptr;
  m_resourceIcon = number;
}

void CIconItem::Set(LPCWSTR path, LPCWSTR parameters, LPCWSTR name, HICON icon, BYTE number) {
  SetPath(path);
  SetParameters(parameters);
  SetName(name);
  m_resourceIcon = 0;
  if (number != 0) {
    LoadResourceIcon(number);
  } else {
    SetIcon(icon);
  }
}

void CIconItem::SetFromEntry(int index) {
  CProgramList& list = ProgramList();
  if (index < 0 || index >= list.Count()) {
    Clear();
    return;
  }
  const ProgramEntry& entry = list.Entry(index);
  Set(entry.path.c_str(), entry.parameters.c_str(), entry.name.c_str(), entry.icon, entry.resourceIcon);
}

void CIconItem::EnsureIcon() {
  if (m_icon != nullptr || m_path.empty()) return;
  // Storage cards are mounted late after a device start.
  if (IsStorageCardPath(m_path) && GetTickCount() < kStorageCardWaitMs) return;
  if (HICON icon = ProgramList().FindIcon(m_path.c_str(), m_parameters.c_str())) AdoptIcon(icon);
}

void CIconItem::Clear() {
  DropIcon();
  m_path.clear();
  m_parameters.clear();
  m_name.clear();
  m_resourceIcon = 0;
}

// --- CBarSettings --------------------------------------------------------------

CBarSettings::CBarSettings() {
  CopyText(explore, kDefaultExplorer);
  Open();
  SetDefaultLayout();
}

CBarSettings::~CBarSettings() { Close(); }

BOOL CBarSettings::Open() {
  if (m_key != nullptr && !KeyIsGone()) return TRUE;
  Close();
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, &disposition) !=
      ERROR_SUCCESS) {
    m_key = nullptr;
    return FALSE;
  }
  if (RegCreateKeyExW(m_key, L"CPL", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_cplKey, &disposition) !=
      ERROR_SUCCESS) {
    m_cplKey = nullptr;
  }
  return TRUE;
}

bool CBarSettings::KeyIsGone() const {
  // Any query names the key's state: a key deleted under the open handle
  // (the setup program removing the settings, a new device) answers so.
  DWORD size = 0;
  const LONG status = RegQueryValueExW(m_key, L"NumLines", nullptr, nullptr, nullptr, &size);
  return status == ERROR_KEY_DELETED || status == ERROR_INVALID_HANDLE;
}

void CBarSettings::Revalidate() {
  if (m_key != nullptr && KeyIsGone()) Open();
}

void CBarSettings::Close() {
  if (m_cplKey != nullptr) RegCloseKey(m_cplKey);
  if (m_key != nullptr) RegCloseKey(m_key);
  m_cplKey = nullptr;
  m_key = nullptr;
}

void CBarSettings::SetDefaultLayout() {
  ns = 2;
  numLines = 0;
  sw = 1;
  date = 0;
  an = 0;
  cd = 0;
  for (CIconItem& item : m_items) item.Clear();
}

void CBarSettings::ClampLines() {
  numLines = std::min(numLines, kMaxLines);
  ns = std::min(ns, kMaxLines - numLines);
  sw = std::min({sw, kMaxShownLines, ns});
}

void CBarSettings::ReadDword(LPCWSTR name, DWORD* field) {
  DWORD value = 0;
  DWORD type = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExW(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
      type == REG_DWORD && size == sizeof value) {
    *field = value;
  }
}

void CBarSettings::ReadText(LPCWSTR name, WCHAR* field) {
  std::wstring text;
  if (QueryText(m_key, name, text)) CopyText(field, text.c_str());
}

void CBarSettings::WriteDword(LPCWSTR name, DWORD value) {
  RegSetValueExW(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void CBarSettings::WriteText(LPCWSTR name, LPCWSTR text) {
  const DWORD size = static_cast<DWORD>((std::wcslen(text) + 1) * 2);
  RegSetValueExW(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size);
}

BOOL CBarSettings::Load() {
  Revalidate();
  if (m_key == nullptr) return 0;
  if (!ValueExists(m_key, L"NumLines") || !ValueExists(m_key, L"Date")) return 0;
  std::wstring text;
  if (QueryText(m_key, L"Explore", text) && !text.empty()) {
    CopyText(explore, text.c_str());
  } else {
    CopyText(explore, kDefaultExplorer);
  }
  ReadDword(L"NT", &options.NT);
  ReadDword(L"NM", &options.NM);
  ReadText(L"NWC", options.NWC);
  ReadText(L"NWT", options.NWT);
  ReadText(L"NWL", options.NWL);
  ReadDword(L"NV", &options.NV);
  ReadDword(L"NT1", &options.NT1);
  ReadDword(L"NT2", &options.NT2);
  ReadDword(L"NT3", &options.NT3);
  ReadDword(L"CT", &options.CT);
  ReadDword(L"CC", &options.CC);
  ReadDword(L"CTIF", &options.CTIF);
  ReadDword(L"AC", &options.AC);
  ReadDword(L"CW", &options.CW);
  ReadDword(L"CWS", &options.CWS);
  ReadDword(L"CWA", &options.CWA);
  ReadDword(L"NumLines", &numLines);
  ReadDword(L"Date", &date);
  ReadDword(L"AN", &an);
  ReadDword(L"NS", &ns);
  ReadDword(L"SW", &sw);
  ReadDword(L"CD", &cd);
  ClampLines();

  // All the items or none: read them into a scratch list first.
  auto scratch = std::make_unique<CIconItem[]>(kIconItemCount);
  int present = 0;
  for (int i = 0; i < kIconItemCount; ++i) {
    std::wstring path;
    std::wstring name;
    if (!QueryText(m_key, ItemValueName(L"F", i), path) || !QueryText(m_key, ItemValueName(L"N", i), name) ||
        !ValueExists(m_key, ItemValueName(L"I", i))) {
      continue;
    }
    std::wstring parameters;
    QueryText(m_key, ItemValueName(L"P", i), parameters);
    BYTE number = 0;
    DWORD type = 0;
    DWORD size = 1;
    if (RegQueryValueExW(m_key, ItemValueName(L"I", i).c_str(), nullptr, &type, &number, &size) != ERROR_SUCCESS ||
        type != REG_BINARY || size != 1) {
      number = 0;
    }
    scratch[i].Set(path.c_str(), parameters.c_str(), name.c_str(), nullptr, number);
    ++present;
  }
  if (present == 0) return 0;
  for (int i = 0; i < kIconItemCount; ++i) {
    m_items[i].MoveFrom(scratch[i]);
    m_items[i].EnsureIcon();
  }
  return 1;
}

BOOL CBarSettings::SaveIcons() {
  Revalidate();
  if (m_key == nullptr) return 0;
  WriteDword(L"NumLines", numLines);
  WriteDword(L"Date", date);
  WriteDword(L"AN", an);
  WriteDword(L"NS", ns);
  WriteDword(L"SW", sw);
  SaveCD();
  for (int i = 0; i < kIconItemCount; ++i) {
    const CIconItem& item = m_items[i];
    const std::wstring f = ItemValueName(L"F", i);
    const std::wstring p = ItemValueName(L"P", i);
    const std::wstring n = ItemValueName(L"N", i);
    const std::wstring icon = ItemValueName(L"I", i);
    if (!item.HasPath()) {
      // An emptied slot must not come back from its old values.
      RegDeleteValueW(m_key, f.c_str());
      RegDeleteValueW(m_key, p.c_str());
      RegDeleteValueW(m_key, n.c_str());
      RegDeleteValueW(m_key, icon.c_str());
      continue;
    }
    WriteText(f.c_str(), item.Path().c_str());
    if (item.HasParameters()) {
      WriteText(p.c_str(), item.Parameters().c_str());
    } else {
      RegDeleteValueW(m_key, p.c_str());
    }
    WriteText(n.c_str(), item.Name().c_str());
    const BYTE number = item.ResourceIcon();
    RegSetValueExW(m_key, icon.c_str(), 0, REG_BINARY, &number, 1);
  }
  SaveOptions();
  return 1;
}

void CBarSettings::SaveOptions() {
  Revalidate();
  if (m_key == nullptr) return;
  WriteDword(L"CT", options.CT);
  WriteDword(L"CC", options.CC);
  WriteDword(L"CTIF", options.CTIF);
  WriteDword(L"AC", options.AC);
  WriteDword(L"CW", options.CW);
  WriteDword(L"CWS", options.CWS);
  WriteDword(L"CWA", options.CWA);
  WriteDword(L"NT", options.NT);
  WriteDword(L"NM", options.NM);
  WriteText(L"NWC", options.NWC);
  WriteText(L"NWT", options.NWT);
  WriteText(L"NWL", options.NWL);
  WriteDword(L"NV", options.NV);
  WriteDword(L"NT1", options.NT1);
  WriteDword(L"NT2", options.NT2);
  WriteDword(L"NT3", options.NT3);
  WriteDword(L"Updated", 1);
}

void CBarSettings::SaveCD() {
  Revalidate();
  if (m_key != nullptr) WriteDword(L"CD", cd);
}

void CBarSettings::SaveWindowHandle(HWND window) {
  Revalidate();
  if (m_key != nullptr) WriteDword(L"THR", static_cast<DWORD>(reinterpret_cast<UINT_PTR>(window)));
}

BOOL CBarSettings::RetryMissingIcons() {
  BOOL missing = 0;
  const std::wstring& noIcon = ProgramList().NoIconText();
  for (CIconItem& item : m_items) {
    if (item.Icon() != nullptr || item.Name().empty() || item.Name() == noIcon) continue;
    if (HICON icon = ProgramList().FindIcon(item.Path().c_str(), item.Parameters().c_str())) item.AdoptIcon(icon);
    if (item.Icon() == nullptr) missing = 1;
  }
  return missing;
}

CBarSettings& BarSettings() {
  static CBarSettings settings;
  return settings;
}

}  // namespace tessivo
