// The platform gallery: what the platform's UI layer draws, one page at a
// time: text (faces, sizes, styles, turns and DrawTextW's layouts), menus
// (the shell's menu bar, a tap's popup menu, a message box), pictures
// (BMP, GIF and JPEG resources through the decoder library), a dialog
// with every control, and a Smartphone page: the native edit, scroll bars,
// a picture in a static and the shell's soft-key bar. The right soft key or the Right arrow moves to the
// next page, the Left arrow to the one before; Esc ends the program. On the
// menus page the soft keys belong to its menu bar, whose menu has the pages.
//
// At a desktop it opens a window. With no display it runs unattended from
// a script (DEVICE_SCRIPT, else its own platformgallery.script from the data
// folder beside the program's folder) and writes screenshots.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "ce/aygshell.h"
#include "ce/commctrl.h"
#include "ce/crt.h"
#include "ce/device.h"
#include "ce/imgdecmp.h"
#include "ce/windows.h"
#include "ce/winmain.h"
#include "runtime/program_harness.h"

namespace {

enum Page { kPageText, kPageMenus, kPagePictures, kPageDialogs, kPagePhone, kPageCount };

const wchar_t* const kPageTitles[kPageCount] = {L"Text", L"Menus", L"Pictures", L"Dialogs", L"Smartphone"};

// The resources' menus and their commands (platformgallery.ksr).
constexpr int kBarMenu = 100;
constexpr int kTapMenu = 200;
constexpr UINT kCmdGreet = 101;
constexpr UINT kCmdNextPage = 110;
constexpr UINT kCmdPreviousPage = 111;
constexpr UINT kCmdMessage = 112;
constexpr UINT kCmdPicture = 115;  // the menu bar's picture button
constexpr UINT kCmdFirstColour = 120;
constexpr UINT kCmdLastColour = 122;

const COLORREF kColours[] = {RGB(200, 40, 40), RGB(40, 150, 60), RGB(40, 80, 200)};
const wchar_t* const kColourNames[] = {L"red", L"green", L"blue"};

// The pictures, carried as resources of type "PICTURE".
constexpr int kPictureCount = 3;
constexpr int kFirstPicture = 300;
const wchar_t* const kPictureNames[kPictureCount] = {L"BMP", L"GIF", L"JPEG"};

// The dialog resource and its controls.
constexpr int kDialog = 400;
constexpr int kIdSmall = 1010;
constexpr int kIdMedium = 1011;
constexpr int kIdLarge = 1012;
constexpr int kIdBorder = 1001;
constexpr int kIdShadow = 1002;
constexpr int kIdName = 1020;
constexpr int kIdTime = 1040;
constexpr int kIdColour = 1050;
constexpr int kIdCount = 1030;
constexpr int kIdCountSpin = 1031;
const wchar_t* const kTimes[] = {L"Morning", L"Noon", L"Evening", L"Night"};
const wchar_t* const kColourItems[] = {L"Red", L"Green", L"Blue"};
const wchar_t* const kCounts[] = {L"One", L"Two", L"Three", L"Four", L"Five"};

// The Smartphone page: the shell's soft-key bar ("tapres.dll", bar 18100,
// left key 18201, right key 18200) and its controls.
constexpr int kSoftKeyBar = 18100;
constexpr UINT kSoftLeft = 18201;
constexpr UINT kSoftRight = 18200;
constexpr int kIdNote = 2001;
constexpr int kIdJournal = 2002;
constexpr int kIdPlaces = 2003;
constexpr int kIdBadge = 2004;
constexpr LPARAM kInputModeText = 3;  // the native edit's input mode for text
const wchar_t* const kPlaces[] = {L"Harbour", L"Orchard", L"Quarry", L"Meadow", L"Lighthouse",
                                  L"Mill",    L"Bridge",  L"Market", L"Tower",  L"Garden"};

struct Gallery {
  HWND window = nullptr;
  HINSTANCE instance = nullptr;
  int page = kPageText;
  int colour = -1;  // chosen from the tap's popup menu, -1 before
  const wchar_t* lastCommand = L"none yet";
  HBITMAP pictures[kPictureCount] = {};  // decoded once, when first shown
  bool picturesDecoded = false;
  std::wstring dialogResult = L"The dialog has not been closed yet.";
  HBITMAP barImages = nullptr;  // the menu bar's picture button
  HBITMAP badge = nullptr;      // the Smartphone page's static picture
  std::wstring platformType;
  // The Smartphone page's controls and the procedures they had before the
  // gallery kept its keys from them.
  std::vector<std::pair<HWND, WNDPROC>> pageControls;
};

Gallery g_gallery;

HFONT MakeFont(const wchar_t* face, int height, LONG weight = FW_NORMAL, bool italic = false, bool underline = false,
               LONG escapement = 0) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfItalic = italic ? 1 : 0;
  lf.lfUnderline = underline ? 1 : 0;
  lf.lfEscapement = escapement;
  lf.lfOrientation = escapement;
  std::wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return CreateFontIndirectW(&lf);
}

// Draws a line of text in a font made for it; returns the line's height.
int TextLine(HDC dc, int x, int y, const wchar_t* text, HFONT font) {
  HGDIOBJ old = SelectObject(dc, font);
  ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(std::wcslen(text)), nullptr);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  DeleteObject(font);
  return static_cast<int>(tm.tmHeight);
}

// Faces, sizes, styles, turned text and DrawTextW's layouts.
void PaintText(HDC dc, const RECT& area) {
  int y = area.top;
  const int x = area.left + 4;
  y += TextLine(dc, x, y, L"Tahoma: a quick brown fox", MakeFont(L"Tahoma", -12));
  y += TextLine(dc, x, y, L"Courier New: fixed 0123", MakeFont(L"Courier New", -12));
  y += TextLine(dc, x, y, L"Serif: a quiet river", MakeFont(L"Times New Roman", -12, FW_NORMAL, false, false));
  int sx = x;
  for (int size : {8, 10, 14, 18}) {
    wchar_t label[16];
    std::swprintf(label, 16, L"%dpx", size);
    HFONT font = MakeFont(L"Tahoma", -size);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE extent{};
    GetTextExtentPoint32W(dc, label, static_cast<int>(std::wcslen(label)), &extent);
    ExtTextOutW(dc, sx, y + 18 - size, 0, nullptr, label, static_cast<UINT>(std::wcslen(label)), nullptr);
    SelectObject(dc, old);
    DeleteObject(font);
    sx += extent.cx + 8;
  }
  y += 24;
  int bx = x;
  struct Style {
    const wchar_t* text;
    LONG weight;
    bool italic, underline;
  };
  for (const Style& s : {Style{L"Bold", FW_BOLD, false, false}, Style{L"Italic", FW_NORMAL, true, false},
                         Style{L"Underline", FW_NORMAL, false, true}}) {
    HFONT font = MakeFont(L"Tahoma", -12, s.weight, s.italic, s.underline);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE extent{};
    GetTextExtentPoint32W(dc, s.text, static_cast<int>(std::wcslen(s.text)), &extent);
    ExtTextOutW(dc, bx, y, 0, nullptr, s.text, static_cast<UINT>(std::wcslen(s.text)), nullptr);
    SelectObject(dc, old);
    DeleteObject(font);
    bx += extent.cx + 10;
  }
  y += 20;

  // Turned text: up the left of a box (900), down its right (2700).
  const int turnTop = y, turnBottom = y + 90;
  TextLine(dc, x, turnBottom, L"Upwards", MakeFont(L"Tahoma", -12, FW_NORMAL, false, false, 900));
  TextLine(dc, area.right - 6, turnTop, L"Downwards", MakeFont(L"Tahoma", -12, FW_NORMAL, false, false, 2700));

  // DrawTextW's layouts on shaded boxes between the turned texts.
  HFONT font = MakeFont(L"Tahoma", -11);
  HGDIOBJ old = SelectObject(dc, font);
  HBRUSH shade = CreateSolidBrush(RGB(220, 228, 245));
  const int left = x + 20, right = area.right - 26;
  struct Layout {
    const wchar_t* text;
    UINT format;
    int height;
  };
  int by = turnTop;
  for (const Layout& l :
       {Layout{L"Left", DT_LEFT | DT_SINGLELINE | DT_VCENTER, 16},
        Layout{L"Centred", DT_CENTER | DT_SINGLELINE | DT_VCENTER, 16},
        Layout{L"Right", DT_RIGHT | DT_SINGLELINE | DT_VCENTER, 16},
        Layout{L"Long lines break between words when the box is too narrow for them.", DT_LEFT | DT_WORDBREAK, 40}}) {
    RECT box{left, by, right, by + l.height};
    FillRect(dc, &box, shade);
    RECT inner{box.left + 2, box.top + 1, box.right - 2, box.bottom - 1};
    DrawTextW(dc, l.text, -1, &inner, l.format);
    by += l.height + 2;
  }
  DeleteObject(shade);
  SelectObject(dc, old);
  DeleteObject(font);
}

// What the menus page offers, and what was last chosen.
void PaintMenus(HDC dc, const RECT& area) {
  HFONT font = MakeFont(L"Tahoma", -12);
  HGDIOBJ old = SelectObject(dc, font);
  RECT text{area.left + 6, area.top, area.right - 6, area.top + 110};
  DrawTextW(dc,
            L"The bar below is the shell's menu bar: the left soft key greets, the right one drops a menu. "
            L"Tap the box for a popup menu of colours.",
            -1, &text, DT_LEFT | DT_WORDBREAK);
  RECT box{area.left + 40, area.top + 110, area.right - 40, area.top + 170};
  HBRUSH fill = CreateSolidBrush(g_gallery.colour >= 0 ? kColours[g_gallery.colour] : RGB(220, 220, 220));
  FillRect(dc, &box, fill);
  DeleteObject(fill);
  DrawTextW(dc, L"Tap here", -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  wchar_t status[96];
  std::swprintf(status, 96, L"Colour: %ls\nLast command: %ls",
                g_gallery.colour >= 0 ? kColourNames[g_gallery.colour] : L"none yet", g_gallery.lastCommand);
  RECT line{area.left + 6, box.bottom + 8, area.right - 6, box.bottom + 48};
  DrawTextW(dc, status, -1, &line, DT_LEFT | DT_WORDBREAK);
  SelectObject(dc, old);
  DeleteObject(font);
}

// The box the menus page's tap opens its popup from.
bool InTapBox(HWND window, int x, int y) {
  RECT client{};
  GetClientRect(window, &client);
  const int top = client.top + 24 + 110;
  return x >= client.left + 40 && x < client.right - 40 && y >= top && y < top + 60;
}

// The colours popup from the program's menu resource, at the tap.
void TapMenu(HWND window, int x, int y) {
  HMENU menu = LoadMenuW(g_gallery.instance, MAKEINTRESOURCEW(kTapMenu));
  if (menu == nullptr) return;
  POINT at{x, y};
  ClientToScreen(window, &at);
  TrackPopupMenuEx(GetSubMenu(menu, 0), TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y, window, nullptr);
  DestroyMenu(menu);
}

// The decoder's read callback over a resource's bytes.
struct PictureReader {
  const BYTE* bytes;
  DWORD size;
  DWORD at;
};

DWORD CALLBACK ReadPicture(LPSTR buffer, DWORD bufferMax, LPARAM lParam) {
  auto* reader = reinterpret_cast<PictureReader*>(lParam);
  const DWORD count = std::min(bufferMax, reader->size - reader->at);
  std::memcpy(buffer, reader->bytes + reader->at, count);
  reader->at += count;
  return count;
}

// Decodes the picture resources through the decoder library, loaded by
// name as the device's programs load it; a picture that fails stays null
// and its place says so.
void DecodePictures() {
  g_gallery.picturesDecoded = true;
  HMODULE library = LoadLibraryW(L"imgdecmp.dll");
  if (library == nullptr) {
    std::fprintf(stderr, "platformgallery: imgdecmp.dll could not be loaded\n");
    return;
  }
  using Decompress = HRESULT (*)(DecompressImageInfo*);
  auto decompress =
      reinterpret_cast<Decompress>(reinterpret_cast<void*>(GetProcAddressW(library, MAKEINTRESOURCEW(1))));
  for (int i = 0; i < kPictureCount && decompress != nullptr; ++i) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(kFirstPicture + i), L"PICTURE");
    HGLOBAL loaded = found != nullptr ? LoadResource(nullptr, found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
      std::fprintf(stderr, "platformgallery: missing data: picture resource %d\n", kFirstPicture + i);
      continue;
    }
    PictureReader reader{static_cast<const BYTE*>(bytes), SizeofResource(nullptr, found), 0};
    BYTE buffer[1024];
    DecompressImageInfo info{};
    info.dwSize = sizeof(info);
    info.pbBuffer = buffer;
    info.dwBufferMax = sizeof(buffer);
    info.phBM = &g_gallery.pictures[i];
    info.iBitDepth = 24;
    info.lParam = reinterpret_cast<LPARAM>(&reader);
    info.iScale = 100;
    info.pfnGetData = ReadPicture;
    info.crTransparentOverride = 0xFFFFFFFF;
    if (decompress(&info) != S_OK) {
      std::fprintf(stderr, "platformgallery: picture resource %d did not decode\n", kFirstPicture + i);
      g_gallery.pictures[i] = nullptr;
    }
  }
  // The bitmaps stay valid after the library goes: they are the platform's.
  FreeLibrary(library);
}

// Each picture as decoded, with its format and size under it.
void PaintPictures(HDC dc, const RECT& area) {
  if (!g_gallery.picturesDecoded) DecodePictures();
  HFONT font = MakeFont(L"Tahoma", -12);
  HGDIOBJ oldFont = SelectObject(dc, font);
  HDC source = CreateCompatibleDC(dc);
  const int columnWidth = (area.right - area.left) / 2;
  for (int i = 0; i < kPictureCount; ++i) {
    const int x = area.left + (i % 2) * columnWidth + 8;
    const int y = area.top + (i / 2) * 130;
    wchar_t caption[48];
    BITMAP bm{};
    if (g_gallery.pictures[i] != nullptr && GetObjectW(g_gallery.pictures[i], sizeof(bm), &bm) != 0) {
      HGDIOBJ old = SelectObject(source, g_gallery.pictures[i]);
      const int w = std::min(static_cast<int>(bm.bmWidth), columnWidth - 16);
      const int h = static_cast<int>(bm.bmHeight);
      BitBlt(dc, x, y, w, h, source, 0, 0, SRCCOPY);
      SelectObject(source, old);
      std::swprintf(caption, 48, L"%ls, %d x %d", kPictureNames[i], static_cast<int>(bm.bmWidth), h);
      RECT line{x, y + h + 2, x + columnWidth - 8, y + h + 18};
      DrawTextW(dc, caption, -1, &line, DT_LEFT | DT_SINGLELINE);
    } else {
      std::swprintf(caption, 48, L"%ls: not decoded", kPictureNames[i]);
      RECT line{x, y, x + columnWidth - 8, y + 16};
      DrawTextW(dc, caption, -1, &line, DT_LEFT | DT_SINGLELINE);
    }
  }
  DeleteDC(source);
  RECT note{area.left + 8, area.top + 226, area.right - 8, area.bottom};
  DrawTextW(dc, L"Three pictures carried as resources, decoded by the picture decoder library.", -1, &note,
            DT_LEFT | DT_WORDBREAK);
  SelectObject(dc, oldFont);
  DeleteObject(font);
}

// The text of a list box's or combo box's selected item, or "none".
std::wstring Selected(HWND dialog, int id, UINT getSel, UINT getText) {
  const LRESULT index = SendDlgItemMessageW(dialog, id, getSel, 0, 0);
  if (index < 0) return L"none";
  wchar_t text[64] = {};
  SendDlgItemMessageW(dialog, id, getText, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  return text;
}

// Fills the lists and sets the first choices; OK keeps what was chosen for
// the page to show.
INT_PTR CALLBACK SettingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CheckRadioButton(dialog, kIdSmall, kIdLarge, kIdMedium);
      CheckDlgButton(dialog, kIdBorder, BST_CHECKED);
      for (const wchar_t* t : kTimes)
        SendDlgItemMessageW(dialog, kIdTime, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
      SendDlgItemMessageW(dialog, kIdTime, LB_SETCURSEL, 0, 0);
      for (const wchar_t* c : kColourItems)
        SendDlgItemMessageW(dialog, kIdColour, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c));
      SendDlgItemMessageW(dialog, kIdColour, CB_SETCURSEL, 0, 0);
      for (const wchar_t* c : kCounts)
        SendDlgItemMessageW(dialog, kIdCount, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c));
      SendDlgItemMessageW(dialog, kIdCount, LB_SETCURSEL, 0, 0);
      // The up-down's arrows step through the one-line list.
      SendDlgItemMessageW(dialog, kIdCountSpin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(dialog, kIdCount)),
                          0);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        wchar_t name[64] = {};
        GetDlgItemTextW(dialog, kIdName, name, 64);
        const wchar_t* size = IsDlgButtonChecked(dialog, kIdSmall) == BST_CHECKED   ? L"small"
                              : IsDlgButtonChecked(dialog, kIdLarge) == BST_CHECKED ? L"large"
                                                                                    : L"medium";
        std::wstring result = L"Name: ";
        result += name;
        result += L"\nSize: ";
        result += size;
        result += L"\nBorder: ";
        result += IsDlgButtonChecked(dialog, kIdBorder) == BST_CHECKED ? L"yes" : L"no";
        result += L"\nShadow: ";
        result += IsDlgButtonChecked(dialog, kIdShadow) == BST_CHECKED ? L"yes" : L"no";
        result += L"\nTime: " + Selected(dialog, kIdTime, LB_GETCURSEL, LB_GETTEXT);
        result += L"\nColour: " + Selected(dialog, kIdColour, CB_GETCURSEL, CB_GETLBTEXT);
        result += L"\nCount: " + Selected(dialog, kIdCount, LB_GETCURSEL, LB_GETTEXT);
        g_gallery.dialogResult = result;
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        g_gallery.dialogResult = L"The dialog was cancelled.";
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void OpenDialog(HWND window) {
  if (DialogBoxParamW(g_gallery.instance, MAKEINTRESOURCEW(kDialog), window, SettingsProc, 0) < 0)
    std::fprintf(stderr, "platformgallery: the dialog could not be made\n");
  InvalidateRect(window, nullptr, TRUE);
}

void PaintDialogs(HDC dc, const RECT& area) {
  HFONT font = MakeFont(L"Tahoma", -12);
  HGDIOBJ old = SelectObject(dc, font);
  RECT intro{area.left + 6, area.top, area.right - 6, area.top + 50};
  DrawTextW(dc, L"Tap the page or press Enter to open a dialog with every control.", -1, &intro,
            DT_LEFT | DT_WORDBREAK);
  RECT result{area.left + 6, area.top + 56, area.right - 6, area.bottom};
  DrawTextW(dc, g_gallery.dialogResult.c_str(), -1, &result, DT_LEFT | DT_WORDBREAK);
  SelectObject(dc, old);
  DeleteObject(font);
}

// A small picture made in code: `count` squares of `side` pixels side by
// side, each a ring in its colour on `ground` (magenta is left out where a
// bar draws it).
HBITMAP MakeRings(int side, std::initializer_list<COLORREF> colours, COLORREF ground = RGB(255, 0, 255)) {
  const int count = static_cast<int>(colours.size());
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), side * count, -side, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr || bits == nullptr) return bitmap;
  auto* pixels = static_cast<DWORD*>(bits);
  const DWORD back =
      static_cast<DWORD>(GetRValue(ground)) << 16 | static_cast<DWORD>(GetGValue(ground)) << 8 | GetBValue(ground);
  int i = 0;
  for (COLORREF c : colours) {
    const DWORD colour = static_cast<DWORD>(GetRValue(c)) << 16 | static_cast<DWORD>(GetGValue(c)) << 8 | GetBValue(c);
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        const int dx = 2 * x + 1 - side;
        const int dy = 2 * y + 1 - side;
        const int d = dx * dx + dy * dy;
        const bool ring = d <= side * side && d >= (side / 2) * (side / 2);
        pixels[y * side * count + i * side + x] = ring ? colour : back;
      }
    }
    ++i;
  }
  return bitmap;
}

void PaintPhone(HDC dc, const RECT& area) {
  HFONT font = MakeFont(L"Tahoma", -12);
  HGDIOBJ old = SelectObject(dc, font);
  std::wstring intro = L"Platform type: " + g_gallery.platformType +
                       L". The native edit below takes the keys; the lists scroll with their bars.";
  RECT text{area.left + 6, area.top, area.right - 6, area.top + 48};
  DrawTextW(dc, intro.c_str(), -1, &text, DT_LEFT | DT_WORDBREAK);
  SelectObject(dc, old);
  DeleteObject(font);
  // The page was painted over its controls: they draw themselves again.
  for (int id : {kIdNote, kIdJournal, kIdPlaces, kIdBadge}) {
    if (HWND control = GetDlgItem(g_gallery.window, id)) InvalidateRect(control, nullptr, TRUE);
  }
}

// The page's controls take the keys they work with, but the gallery's own
// keys (Left, Right, Esc) stay the gallery's, whichever control has the
// focus: the window acts on them.
LRESULT CALLBACK PageControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC previous = nullptr;
  for (const auto& [window, proc] : g_gallery.pageControls) {
    if (window == control) previous = proc;
  }
  if (message == WM_KEYDOWN && (wParam == VK_LEFT || wParam == VK_RIGHT || wParam == VK_ESCAPE)) {
    // Posted: the window may end the page, and this control with it.
    PostMessageW(g_gallery.window, WM_KEYDOWN, wParam, lParam);
    return 0;
  }
  if (message == WM_DESTROY) std::erase_if(g_gallery.pageControls, [&](const auto& c) { return c.first == control; });
  return previous != nullptr ? CallWindowProcW(previous, control, message, wParam, lParam)
                             : DefWindowProcW(control, message, wParam, lParam);
}

void KeepGalleryKeys(HWND control) {
  if (control == nullptr) return;
  const LONG_PTR previous = SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PageControlProc));
  g_gallery.pageControls.emplace_back(control, reinterpret_cast<WNDPROC>(previous));
}

// Makes the Smartphone page's controls and soft-key bar.
void OpenPhonePage(HWND window) {
  wchar_t type[64] = {};
  SystemParametersInfoW(SPI_GETPLATFORMTYPE, 64, type, 0);
  g_gallery.platformType = type;
  const bool phone = _wcsicmp(type, L"SmartPhone") == 0;
  auto make = [&](LPCWSTR cls, DWORD style, int x, int y, int w, int h, int id, LPCWSTR text) {
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, window,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_gallery.instance, nullptr);
  };
  // The native edit as a Smartphone form makes it: a bordered child, shown.
  HWND note = make(phone ? L"CAPEDIT" : L"EDIT", WS_BORDER, 8, 76, 150, 24, kIdNote, L"A note to self");
  SendMessageW(note, EM_SETINPUTMODE, 0, kInputModeText);
  HWND journal = make(L"EDIT", WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 8, 108, 150, 80, kIdJournal,
                      L"Monday: the tide came in early.\r\nTuesday: wind from the west.\r\nWednesday: clear skies.\r\n"
                      L"Thursday: rain at noon.\r\nFriday: the boats went out.\r\nSaturday: market day.\r\n"
                      L"Sunday: a quiet harbour.");
  HWND places = make(L"LISTBOX", WS_BORDER | WS_VSCROLL | LBS_NOTIFY, 8, 196, 150, 70, kIdPlaces, L"");
  for (const wchar_t* place : kPlaces) SendMessageW(places, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(place));
  for (HWND control : {note, journal, places}) KeepGalleryKeys(control);
  SendMessageW(places, LB_SETCURSEL, 2, 0);
  HWND badge = make(L"STATIC", SS_BITMAP, 172, 80, 0, 0, kIdBadge, L"");
  if (g_gallery.badge == nullptr) g_gallery.badge = MakeRings(48, {RGB(200, 120, 20)}, RGB(255, 255, 255));
  SendMessageW(badge, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(g_gallery.badge));
  SetFocus(note);
  const int end = GetWindowTextLengthW(note);
  SendMessageW(note, EM_SETSEL, static_cast<WPARAM>(end), end);  // typing goes on after the text
  // The soft keys come from the shell's resource library, loaded for its
  // resources only, as a Smartphone program does.
  HMODULE shell = LoadLibraryExW(L"tapres.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (shell == nullptr) {
    std::fprintf(stderr, "platformgallery: the shell's resource library is missing\n");
    return;
  }
  SHMENUBARINFO info{};
  info.cbSize = sizeof(info);
  info.hwndParent = window;
  info.nToolBarId = kSoftKeyBar;
  info.hInstRes = shell;
  if (SHCreateMenuBar(&info)) {
    TBBUTTONINFOW text{};
    text.cbSize = sizeof(text);
    text.dwMask = TBIF_TEXT;
    text.pszText = const_cast<LPWSTR>(L"Back");
    SendMessageW(info.hwndMB, TB_SETBUTTONINFOW, kSoftLeft, reinterpret_cast<LPARAM>(&text));
    text.pszText = const_cast<LPWSTR>(L"Next");
    SendMessageW(info.hwndMB, TB_SETBUTTONINFOW, kSoftRight, reinterpret_cast<LPARAM>(&text));
  } else {
    std::fprintf(stderr, "platformgallery: the soft-key bar could not be made\n");
  }
  FreeLibrary(shell);
}

void ClosePhonePage(HWND window) {
  for (int id : {kIdNote, kIdJournal, kIdPlaces, kIdBadge}) {
    if (HWND control = GetDlgItem(window, id)) DestroyWindow(control);
  }
  SetFocus(window);
}

// The menus page's bar: the menu resource's soft keys and a picture button
// beside them.
void OpenMenusBar(HWND window) {
  SHMENUBARINFO info{};
  info.cbSize = sizeof(info);
  info.hwndParent = window;
  info.nToolBarId = kBarMenu;
  info.hInstRes = g_gallery.instance;
  if (!SHCreateMenuBar(&info)) {
    std::fprintf(stderr, "platformgallery: the menu bar could not be made\n");
    return;
  }
  if (g_gallery.barImages == nullptr) g_gallery.barImages = MakeRings(16, {RGB(230, 200, 40), RGB(60, 200, 90)});
  const int first =
      CommandBar_AddBitmap(info.hwndMB, nullptr, reinterpret_cast<UINT_PTR>(g_gallery.barImages), 2, 16, 16);
  if (first < 0) return;
  TBBUTTON button{};
  button.iBitmap = first;
  button.idCommand = kCmdPicture;
  button.fsState = TBSTATE_ENABLED;
  button.fsStyle = BTNS_BUTTON;
  button.iString = -1;
  SendMessageW(info.hwndMB, TB_INSERTBUTTONW, 2, reinterpret_cast<LPARAM>(&button));
}

void PaintPage(HWND window) {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(window, &ps);
  RECT client{};
  GetClientRect(window, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  // A title band: the page's name and where it stands.
  RECT band{client.left, client.top, client.right, client.top + 20};
  HBRUSH bandBrush = CreateSolidBrush(RGB(40, 70, 140));
  FillRect(dc, &band, bandBrush);
  DeleteObject(bandBrush);
  wchar_t title[64];
  std::swprintf(title, 64, L"%d/%d  %ls", g_gallery.page + 1, static_cast<int>(kPageCount),
                kPageTitles[g_gallery.page]);
  HFONT titleFont = MakeFont(L"Tahoma", -13, FW_BOLD);
  HGDIOBJ old = SelectObject(dc, titleFont);
  SetTextColor(dc, RGB(255, 255, 255));
  RECT titleBox{band.left + 4, band.top, band.right - 4, band.bottom};
  DrawTextW(dc, title, -1, &titleBox, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
  SelectObject(dc, old);
  DeleteObject(titleFont);
  SetTextColor(dc, RGB(0, 0, 0));
  const RECT area{client.left, band.bottom + 4, client.right, client.bottom};
  switch (g_gallery.page) {
    case kPageText:
      PaintText(dc, area);
      break;
    case kPageMenus:
      PaintMenus(dc, area);
      break;
    case kPagePictures:
      PaintPictures(dc, area);
      break;
    case kPageDialogs:
      PaintDialogs(dc, area);
      break;
    case kPagePhone:
      PaintPhone(dc, area);
      break;
    default:
      break;
  }
  EndPaint(window, &ps);
}

// The menus page has the shell's menu bar from the menu resource and the
// Smartphone page the shell's soft-key bar; the other pages have none, so
// the right soft key comes to the window.
void ShowPage(int page) {
  const int before = g_gallery.page;
  g_gallery.page = (page + kPageCount) % kPageCount;
  if (HWND bar = SHFindMenuBar(g_gallery.window)) DestroyWindow(bar);
  if (before == kPagePhone) ClosePhonePage(g_gallery.window);
  if (g_gallery.page == kPageMenus) OpenMenusBar(g_gallery.window);
  if (g_gallery.page == kPagePhone) OpenPhonePage(g_gallery.window);
  InvalidateRect(g_gallery.window, nullptr, TRUE);
}

void Command(HWND window, UINT id) {
  if (id == kCmdGreet) {
    g_gallery.lastCommand = L"Greet";
    MessageBoxW(window, L"Hello from the left soft key.", L"Greeting", MB_OK | MB_ICONINFORMATION);
  } else if (id == kCmdMessage) {
    g_gallery.lastCommand = L"Show a message";
    MessageBoxW(window, L"A message box opened from a menu command.", L"Message", MB_OK);
  } else if (id == kCmdPicture) {
    g_gallery.lastCommand = L"the picture button";
  } else if (id == kCmdNextPage || id == kSoftRight) {
    ShowPage(g_gallery.page + 1);
  } else if (id == kCmdPreviousPage || id == kSoftLeft) {
    ShowPage(g_gallery.page - 1);
  } else if (id >= kCmdFirstColour && id <= kCmdLastColour) {
    g_gallery.colour = static_cast<int>(id - kCmdFirstColour);
    g_gallery.lastCommand = L"a colour";
  }
  InvalidateRect(window, nullptr, TRUE);
}

LRESULT CALLBACK GalleryProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      PaintPage(window);
      return 0;
    case WM_COMMAND:
      Command(window, LOWORD(wParam));
      return 0;
    case WM_LBUTTONDOWN: {
      const int x = static_cast<SHORT>(LOWORD(lParam)), y = static_cast<SHORT>(HIWORD(lParam));
      if (g_gallery.page == kPageMenus && InTapBox(window, x, y)) TapMenu(window, x, y);
      if (g_gallery.page == kPageDialogs) OpenDialog(window);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        DestroyWindow(window);
      } else if (wParam == VK_RIGHT || wParam == VK_TSOFT2) {
        ShowPage(g_gallery.page + 1);
      } else if (wParam == VK_RETURN && g_gallery.page == kPageDialogs) {
        OpenDialog(window);
      } else if (wParam == VK_LEFT) {
        ShowPage(g_gallery.page - 1);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
  if (harness::WithoutDisplay() && !ce::device::Setting("script")) {
    harness::RunOwnScript("platformgallery", harness::DataFolder() + "/platformgallery/platformgallery.script", "");
    return 1;
  }
  HWND window = harness::OpenScreenWindow(instance, L"PlatformGallery", L"Platform gallery", GalleryProc, show);
  if (window == nullptr) return 1;
  g_gallery.window = window;
  g_gallery.instance = instance;
  UpdateWindow(window);
  const int code = harness::RunMessageLoop();
  for (HBITMAP& picture : g_gallery.pictures) {
    if (picture != nullptr) DeleteObject(picture);
    picture = nullptr;
  }
  for (HBITMAP made : {g_gallery.barImages, g_gallery.badge}) {
    if (made != nullptr) DeleteObject(made);
  }
  return code;
}

// The gallery takes no arguments; --help describes it without starting the device.
int main(int argc, char** argv) {
  constexpr const char* kUsage =
      "usage: platformgallery\n"
      "  the platform's UI layer, a page at a time: Right or the right soft key\n"
      "  for the next page, Left for the one before, Esc ends it. With\n"
      "  DEVICE_BACKEND=headless and DEVICE_SCRIPT=FILE it runs unattended.\n";
  if (const std::optional<int> answered = harness::AnswerCommandLine(argc, argv, kUsage, harness::Takes::kNothing))
    return *answered;
  return ce::RunProgram(argc, argv, WinMain);
}
