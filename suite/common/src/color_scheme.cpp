#include "common/color_scheme.h"

#include <cstring>
#include <cwchar>

#include "ce/crt.h"
#include "common/iss_utility.h"
#include "common/string_helper.h"

namespace suite {
namespace {

constexpr const wchar_t* kHomeKey = L"ControlPanel\\Home";
// Registry texts are read into 256 device bytes: at most 127 characters.
constexpr DWORD kRegistryBytes = 256;
constexpr int kNameCapacity = 51;
constexpr int kValueCapacity = 16;

constexpr const wchar_t* kTitleLanguages[] = {L"0x0409", L"0x0809", L"0x040c", L"0x0407",
                                              L"0x0410", L"0x0816", L"0x040a", L"0x0804"};

// Before any scheme is read: a plain light scheme, so nothing draws in
// undefined colours.
constexpr COLORREF kDefaultColors[CColorScheme::kColorCount] = {
    RGB(255, 255, 255), RGB(0, 0, 0),       RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 64, 160),
    RGB(255, 255, 255), RGB(255, 255, 255), RGB(0, 0, 0),       RGB(128, 128, 128), RGB(0, 64, 160),
    RGB(96, 160, 224),  RGB(0, 64, 160),    RGB(96, 160, 224),  RGB(0, 48, 128),    RGB(64, 128, 208),
    RGB(0, 64, 160),    RGB(96, 160, 224),  RGB(255, 255, 255), RGB(0, 0, 0),       RGB(224, 224, 224),
    RGB(0, 0, 0),       RGB(192, 192, 192), RGB(0, 0, 0),       RGB(0, 64, 160),    RGB(255, 255, 255),
    RGB(160, 160, 160), RGB(255, 255, 224), RGB(0, 64, 160),    RGB(160, 160, 160)};

int HexPair(const wchar_t* text) {
  const wchar_t pair[3] = {text[0], text[1], L'\0'};
  return static_cast<int>(ce::wcstol(pair, nullptr, 16)) & 0xFF;
}

}  // namespace

const wchar_t* const CColorScheme::kColorNames[kColorCount] = {L"COLOR_WINDOW",
                                                               L"COLOR_WINDOWTEXT",
                                                               L"COLOR_STATIC",
                                                               L"COLOR_STATICTEXT",
                                                               L"COLOR_HIGHLIGHT",
                                                               L"COLOR_HIGHLIGHTTEXT",
                                                               L"COLOR_MENU",
                                                               L"COLOR_MENUTEXT",
                                                               L"COLOR_GRAYTEXT",
                                                               L"COLOR_GRADLEFT",
                                                               L"COLOR_GRADRIGHT",
                                                               L"COLOR_INTGRADLEFT",
                                                               L"COLOR_INTGRADRIGHT",
                                                               L"COLOR_TRAYGRADLEFT",
                                                               L"COLOR_TRAYGRADRIGHT",
                                                               L"COLOR_HIGHGRADLEFT",
                                                               L"COLOR_HIGHGRADRIGHT",
                                                               L"COLOR_TRAYTEXT",
                                                               L"COLOR_WINDOWFRAME",
                                                               L"COLOR_BTNFACE",
                                                               L"COLOR_BTNTEXT",
                                                               L"COLOR_SCROLLBAR",
                                                               L"COLOR_HOMETEXT",
                                                               L"COLOR_HOMEHIGHLIGHT",
                                                               L"COLOR_HOMEHIGHLIGHTTEXT",
                                                               L"COLOR_HOMERULE",
                                                               L"COLOR_ALERTWINDOW",
                                                               L"COLOR_ALERTTITLE",
                                                               L"COLOR_ALERTRULE"};

CColorScheme::CColorScheme() : m_strings(CStringHelper::GetInstance()), m_utility(IssUtility::GetInstance()) {
  std::memcpy(m_colors, kDefaultColors, sizeof m_colors);
}

BOOL CColorScheme::SchemePath(LPWSTR out, bool alternate) {
  if (!m_utility->GetStorageRoot(out)) return FALSE;
  m_strings->Concat(out,
                    alternate ? L"Application Data\\Home\\vrn1.scheme.xml" : L"Application Data\\Home\\vrn.scheme.xml");
  return TRUE;
}

BOOL CColorScheme::LoadCurrent() {
  WCHAR path[kPathCapacity] = {};
  BOOL schemeFile = TRUE;
  if (!m_registry.ReadString(kHomeKey, L"ColorScheme", path, kRegistryBytes) || path[0] == L'\0') {
    schemeFile = FALSE;
    if (!m_registry.ReadString(kHomeKey, L"Scheme", path, kRegistryBytes)) return FALSE;
  }
  WCHAR background[kPathCapacity] = {};
  const BOOL keepBackground =
      m_registry.ReadString(kHomeKey, L"BgImage", background, kRegistryBytes) && background[0] != L'\0';
  if (keepBackground) m_strings->Copy(m_bgImage, background);
  WCHAR primary[kPathCapacity] = {};
  m_currentIsPrimary = SchemePath(primary, false) && std::wcscmp(path, primary) == 0;
  return ParseFile(path, keepBackground, schemeFile);
}

BOOL CColorScheme::ParseFile(LPCWSTR path, BOOL keepBackground, BOOL colorSchemeFile) {
  if (path == nullptr || !m_reader.Load(path, TRUE, FALSE, FALSE)) return FALSE;
  m_reader.PushNode();
  const int count = m_reader.SelectNodes(colorSchemeFile ? L"//colorscheme//scheme//color" : L"//home//scheme//color");
  for (int i = 0; i < count && m_reader.NextNode(); ++i) {
    WCHAR name[kNameCapacity];
    WCHAR value[kValueCapacity];
    // An oversized name or value cannot be one of ours: skipped.
    if (m_reader.GetAttribute(L"name", name, kNameCapacity) && m_reader.GetAttribute(L"value", value, kValueCapacity)) {
      SetColorByName(name, value);
    }
  }
  m_reader.PopNode();
  BOOL ok = TRUE;
  if (!keepBackground) {
    ok = m_reader.SelectNode(colorSchemeFile ? L"//colorscheme//background" : L"//home//background") &&
         m_reader.GetAttribute(L"bgimage", m_bgImage, kPathCapacity);
  }
  m_reader.Close();
  return ok;
}

void CColorScheme::SetColorByName(LPCWSTR name, LPCWSTR text) {
  if (name == nullptr || text == nullptr) return;
  // Exactly "#RRGGBB": a shorter text would be read past its end.
  if (text[0] != L'#' || std::wcslen(text) != 7) return;
  for (int i = 1; i < 7; ++i) {
    if (!ce::iswxdigit(text[i])) return;
  }
  for (int slot = 0; slot < kColorCount; ++slot) {
    if (std::wcscmp(name, kColorNames[slot]) == 0) {
      m_colors[slot] = RGB(HexPair(text + 1), HexPair(text + 3), HexPair(text + 5));
      return;
    }
  }
}

BOOL CColorScheme::SaveAsCurrent() {
  WCHAR target[kPathCapacity];
  WCHAR old[kPathCapacity];
  if (!SchemePath(target, m_currentIsPrimary != FALSE) || !SchemePath(old, m_currentIsPrimary == FALSE)) {
    return FALSE;
  }
  // The file in use goes only once the home screen has been pointed at the
  // new one, so a failed write never leaves it without a scheme.
  DeleteFileW(target);
  if (!WriteFile(target)) return FALSE;
  if (!m_registry.WriteString(kHomeKey, L"BgImage", m_bgImage, m_strings->Length(m_bgImage))) return FALSE;
  if (!m_registry.WriteString(kHomeKey, L"ColorScheme", target, m_strings->Length(target))) return FALSE;
  DeleteFileW(old);
  m_currentIsPrimary = !m_currentIsPrimary;
  return TRUE;
}

BOOL CColorScheme::WriteFile(LPCWSTR path) {
  if (path == nullptr) return FALSE;
  CXmlDocument document;
  auto build = [&]() -> BOOL {
    if (!document.Create() || !document.CreateElement(L"colorscheme") || !document.AppendNew() ||
        !document.SelectNode(L"/colorscheme")) {
      return FALSE;
    }
    int index = 0;
    for (const wchar_t* language : kTitleLanguages) {
      if (!document.CreateElement(L"title") || !document.SetAttribute(L"lang", language) || !document.AppendNew() ||
          !document.SelectNodes(L"/colorscheme/title", index++) || !document.CreateLabelElement(L"vrn") ||
          !document.AppendNew() || !document.SelectNode(L"/colorscheme")) {
        return FALSE;
      }
    }
    if (!document.CreateElement(L"background") || !document.SetAttribute(L"bgimage", m_bgImage) ||
        !document.SetAttribute(L"valign", L"bottom") || !document.AppendNew()) {
      return FALSE;
    }
    if (!document.CreateElement(L"scheme") || !document.AppendNew() || !document.SelectNode(L"/colorscheme/scheme")) {
      return FALSE;
    }
    for (int slot = 0; slot < kColorCount; ++slot) {
      const COLORREF c = m_colors[slot];
      const unsigned rgb = GetRValue(c) * 65536u + GetGValue(c) * 256u + GetBValue(c);
      WCHAR value[kValueCapacity];
      if (!m_strings->Format(value, L"#%X", rgb)) return FALSE;
      while (m_strings->Length(value) < 7) m_strings->Insert(value, L"0", 1);
      if (!document.CreateElement(L"color") || !document.SetAttribute(L"name", kColorNames[slot]) ||
          !document.SetAttribute(L"value", value) || !document.AppendNew()) {
        return FALSE;
      }
    }
    return document.Save(path);
  };
  const BOOL ok = build();
  document.Close();
  return ok;
}

BOOL CColorScheme::GetBgImage(LPWSTR out) {
  if (out == nullptr) return FALSE;
  m_strings->Copy(out, m_bgImage);
  return TRUE;
}

BOOL CColorScheme::SetBgImage(LPCWSTR in) {
  if (in == nullptr) return FALSE;
  // The path field holds kPathCapacity characters with the terminator.
  const int n = m_strings->Length(in);
  const int keep = n < kPathCapacity ? n : kPathCapacity - 1;
  std::wmemcpy(m_bgImage, in, static_cast<std::size_t>(keep));
  m_bgImage[keep] = L'\0';
  return TRUE;
}

BOOL CColorScheme::GetColors(COLORREF* out) {
  if (out == nullptr) return FALSE;
  std::memcpy(out, m_colors, sizeof m_colors);
  return TRUE;
}

BOOL CColorScheme::SetColors(const COLORREF* in) {
  if (in == nullptr) return FALSE;
  std::memcpy(m_colors, in, sizeof m_colors);
  return TRUE;
}

}  // namespace suite
