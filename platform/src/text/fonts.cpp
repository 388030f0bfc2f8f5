// Fonts as GDI objects, the DC's text state, measuring, ExtTextOutW and the
// enumeration of font families.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>
#include <wchar.h>

#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "gdi/objects.h"
#include "kernel/not_implemented.h"
#include "text/font_engine.h"
#include "text/text_render.h"

using namespace ce::gdi;

namespace {

// Text lengths are capped so no sum of advances can overflow.
constexpr std::size_t kMostChars = 1u << 20;

TEXTMETRICW MetricsOf(const ce::text::RealizedFont& font, const LOGFONTW& lf) {
  const ce::text::FontMetrics& m = font.metrics();
  TEXTMETRICW tm{};
  tm.tmHeight = m.height;
  tm.tmAscent = m.ascent;
  tm.tmDescent = m.descent;
  tm.tmInternalLeading = m.internalLeading;
  tm.tmExternalLeading = 0;
  tm.tmAveCharWidth = m.averageWidth;
  tm.tmMaxCharWidth = m.maxWidth;
  tm.tmWeight = m.weight;
  tm.tmOverhang = 0;
  tm.tmDigitizedAspectX = 96;
  tm.tmDigitizedAspectY = 96;
  tm.tmFirstChar = L' ';
  tm.tmLastChar = 0xFFFC;
  tm.tmDefaultChar = L'?';
  tm.tmBreakChar = L' ';
  tm.tmItalic = m.italic ? 1 : 0;
  tm.tmUnderlined = m.underline ? 1 : 0;
  tm.tmStruckOut = m.strikeOut ? 1 : 0;
  // The low bit set means a variable pitch, as the desktop reports it.
  tm.tmPitchAndFamily = static_cast<BYTE>((m.pitchAndFamily & 0xF0) | (m.fixedPitch ? 0 : 1));
  tm.tmCharSet = lf.lfCharSet;
  return tm;
}

const Font& CurrentFont(const Dc& dc) { return dc.font ? *dc.font : *StockFont(SYSTEM_FONT); }

}  // namespace

HFONT CreateFontIndirectW(const LOGFONTW* logfont) {
  if (logfont == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  LOGFONTW lf = *logfont;
  lf.lfFaceName[LF_FACESIZE - 1] = L'\0';  // an unterminated name is cut
  std::lock_guard guard(GdiLock());
  return static_cast<HFONT>(InsertObject(std::make_shared<Font>(lf)));
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCWSTR faceName) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = static_cast<BYTE>(italic != 0);
  lf.lfUnderline = static_cast<BYTE>(underline != 0);
  lf.lfStrikeOut = static_cast<BYTE>(strikeOut != 0);
  lf.lfCharSet = static_cast<BYTE>(charSet);
  lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
  lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  if (faceName) {
    for (int i = 0; i < LF_FACESIZE - 1 && faceName[i] != L'\0'; ++i) lf.lfFaceName[i] = faceName[i];
  }
  return CreateFontIndirectW(&lf);
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return CLR_INVALID;
  return std::exchange(dc->textColor, color & 0x00FFFFFF);
}

COLORREF GetTextColor(HDC hdc) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  return dc ? dc->textColor : CLR_INVALID;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return CLR_INVALID;
  return std::exchange(dc->bkColor, color & 0x00FFFFFF);
}

COLORREF GetBkColor(HDC hdc) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  return dc ? dc->bkColor : CLR_INVALID;
}

int SetBkMode(HDC hdc, int mode) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return 0;
  if (mode != TRANSPARENT && mode != OPAQUE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return std::exchange(dc->bkMode, mode);
}

int GetBkMode(HDC hdc) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  return dc ? dc->bkMode : 0;
}

UINT SetTextAlign(HDC hdc, UINT align) {
  if (align & TA_UPDATECP) {
    ce::kernel::NotImplemented("SetTextAlign(TA_UPDATECP)");
    return GDI_ERROR;
  }
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return GDI_ERROR;
  if ((align & ~(TA_CENTER | TA_BASELINE)) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return GDI_ERROR;
  }
  return std::exchange(dc->textAlign, align);
}

UINT GetTextAlign(HDC hdc) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  return dc ? dc->textAlign : GDI_ERROR;
}

BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW metrics) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return FALSE;
  if (metrics == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *metrics = MetricsOf(*ce::text::FontOf(*dc), CurrentFont(*dc).logfont);
  return TRUE;
}

BOOL GetTextExtentExPointW(HDC hdc, LPCWSTR text, int count, int maxExtent, LPINT fit, LPINT dx, LPSIZE size) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return FALSE;
  if (count < 0 || static_cast<std::size_t>(count) > kMostChars || (count > 0 && text == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto font = ce::text::FontOf(*dc);
  long long extent = 0;
  int fitted = 0;
  bool fitting = true;
  for (int i = 0; i < count; ++i) {
    extent += font->Advance(text[i]);
    if (fitting && extent <= maxExtent) {
      fitted = i + 1;
    } else {
      fitting = false;
    }
    if (dx) dx[i] = static_cast<int>(std::min<long long>(extent, 0x7FFFFFFF));
  }
  if (fit) *fit = fitted;
  if (size) *size = SIZE{static_cast<LONG>(std::min<long long>(extent, 0x7FFFFFFF)), font->metrics().height};
  return TRUE;
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, LPSIZE size) {
  if (size == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return GetTextExtentExPointW(hdc, text, count, 0, nullptr, nullptr, size);
}

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const int* dx) {
  if ((options & ~(ETO_OPAQUE | ETO_CLIPPED)) != 0) {
    ce::kernel::NotImplemented("ExtTextOutW(options)");
    return FALSE;
  }
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return FALSE;
  if (count > kMostChars || (count > 0 && text == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!ce::text::Drawable(*dc)) return FALSE;
  auto font = ce::text::FontOf(*dc);
  if (rect && (options & ETO_OPAQUE)) ce::text::FillSolid(*dc, *rect, dc->bkColor);
  if (count == 0) return TRUE;
  ce::text::Run run;
  run.text = text;
  run.count = count;
  run.dx = dx;
  if (dx) {
    for (UINT i = 0; i < count; ++i) run.width += dx[i];
  } else {
    run.width = ce::text::RunWidth(*font, text, count);
  }
  long long u = 0;
  long long v = 0;
  switch (dc->textAlign & TA_CENTER) {
    case TA_RIGHT:
      u = -run.width;
      break;
    case TA_CENTER:
      u = -run.width / 2;
      break;
    default:
      break;
  }
  switch (dc->textAlign & TA_BASELINE) {
    case TA_BASELINE:
      v = -font->metrics().ascent;
      break;
    case TA_BOTTOM:
      v = -font->metrics().height;
      break;
    default:
      break;
  }
  std::optional<RECT> clip;
  if (rect && (options & ETO_CLIPPED)) clip = *rect;
  ce::text::DrawRun(*dc, *font, x, y, u, v, run, clip);
  return TRUE;
}

int EnumFontFamiliesW(HDC hdc, LPCWSTR family, FONTENUMPROCW proc, LPARAM lParam) {
  if (proc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::vector<std::pair<LOGFONTW, TEXTMETRICW>> entries;
  {
    std::lock_guard guard(GdiLock());
    auto dc = LookupDc(hdc);
    if (!dc) return 0;
    const std::vector<std::wstring> families = ce::text::DeviceFamilies();
    for (const std::wstring& name : families) {
      if (family != nullptr && wcscasecmp(name.c_str(), family) != 0) continue;
      LOGFONTW lf{};
      lf.lfHeight = 16;
      lf.lfWeight = FW_NORMAL;
      lf.lfCharSet = DEFAULT_CHARSET;
      const std::size_t length = std::min<std::size_t>(name.size(), LF_FACESIZE - 1);
      std::copy_n(name.begin(), length, lf.lfFaceName);
      auto font = ce::text::Realize(lf);
      lf.lfWidth = font->metrics().averageWidth;
      lf.lfPitchAndFamily = font->metrics().pitchAndFamily;
      entries.emplace_back(lf, MetricsOf(*font, lf));
    }
  }
  // The callback runs without the GDI lock: it may draw or measure.
  int answer = 1;
  for (const auto& [lf, tm] : entries) {
    answer = proc(&lf, &tm, TRUETYPE_FONTTYPE, lParam);
    if (answer == 0) break;
  }
  return answer;
}
