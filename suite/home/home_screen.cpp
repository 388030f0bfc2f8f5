#include "home_screen.h"

#include <cwchar>
#include <algorithm>
#include <cstring>

#include "ce/aygshell.h"
#include "ce/kernel/time.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"

namespace home {
namespace {

int Scaled(int pixels, int dpi) { return (pixels * dpi + 48) / 96; }

bool Meets(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

void Fill(HDC dc, const RECT& rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

COLORREF Blend(COLORREF from, COLORREF to, int step, int steps) {
  auto mix = [&](int shift) {
    const int a = static_cast<int>((from >> shift) & 0xFF);
    const int b = static_cast<int>((to >> shift) & 0xFF);
    return static_cast<COLORREF>(a + (b - a) * step / std::max(steps, 1)) << shift;
  };
  return mix(0) | mix(8) | mix(16);
}

constexpr const wchar_t* kDays[] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
constexpr const wchar_t* kMonths[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                      L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};

}  // namespace

HomeScreen::HomeScreen(HWND window, int width, int height, int dpi)
    : m_window(window),
      m_width(std::max(width, 1)),
      m_height(std::max(height, 1)),
      m_dpi(dpi > 0 ? dpi : 96),
      m_colors(DefaultScheme().colors) {
  m_environment.Attach(new HostEnvironment(window));
  HDC screen = GetDC(nullptr);
  m_buffer = CreateCompatibleDC(screen);
  m_bufferBitmap = CreateCompatibleBitmap(screen, m_width, m_height);
  ReleaseDC(nullptr, screen);
  m_bufferOld = SelectObject(m_buffer, m_bufferBitmap);
  LOGFONTW font{};
  font.lfHeight = -Scaled(12, m_dpi);
  font.lfWeight = FW_BOLD;
  std::wcscpy(font.lfFaceName, L"Tahoma");
  m_titleFont = CreateFontIndirectW(&font);
  Layout();
}

HomeScreen::~HomeScreen() {
  Unload();
  m_environment->SetWindow(nullptr);
  m_environment.Reset();
  if (m_backgroundPicture) DeleteObject(m_backgroundPicture);
  SelectObject(m_buffer, m_bufferOld);
  DeleteObject(m_bufferBitmap);
  DeleteDC(m_buffer);
  DeleteObject(m_titleFont);
}

void HomeScreen::Load(const HomeLayout& layout, const HomeScheme& scheme) {
  Unload();
  ChangeColors(scheme);
  const int blockHeight = Scaled(24, m_dpi);
  for (const LayoutPlugin& entry : layout.plugins) {
    auto plugin = std::make_unique<HostedPlugin>(entry, m_nextHandle++);
    plugin->Load(m_environment.Get(), m_height, blockHeight);
    if (plugin->GetState() != HostedPlugin::State::Failed) m_plugins.push_back(std::move(plugin));
  }
  m_selected = -1;
  for (std::size_t i = 0; i < m_plugins.size(); ++i) {
    if (m_plugins[i]->IsSelectable()) {
      m_selected = static_cast<int>(i);
      break;
    }
  }
  Layout();
  Invalidate(nullptr);
}

void HomeScreen::Unload() {
  // Released in the reverse of their creation.
  while (!m_plugins.empty()) m_plugins.pop_back();
  m_rects.clear();
  m_selected = -1;
}

void HomeScreen::ChangeColors(const HomeScheme& scheme) {
  m_colors = scheme.colors;
  if (scheme.background != m_background) {
    m_background = scheme.background;
    if (m_backgroundPicture) DeleteObject(m_backgroundPicture);
    m_backgroundPicture = m_background.empty() ? nullptr : SHLoadDIBitmap(m_background.c_str());
  }
  Invalidate(nullptr);
}

RECT HomeScreen::TitleRect() const { return RECT{0, 0, m_width, Scaled(26, m_dpi)}; }

void HomeScreen::Layout() {
  m_rects.clear();
  int y = TitleRect().bottom;
  for (const auto& plugin : m_plugins) {
    m_rects.push_back(RECT{0, y, m_width, y + plugin->GetHeight()});
    y += plugin->GetHeight();
  }
}

void HomeScreen::Invalidate(const RECT* rect) {
  if (m_window) InvalidateRect(m_window, rect, FALSE);
}

std::vector<HomeScreen::Item> HomeScreen::Items() const {
  std::vector<Item> items;
  for (std::size_t i = 0; i < m_plugins.size(); ++i) {
    items.push_back(
        Item{m_plugins[i]->clsidText(), m_rects[i], m_plugins[i]->GetState(), m_plugins[i]->IsSelectable()});
  }
  return items;
}

int HomeScreen::Selected() const { return m_selected; }

void HomeScreen::PaintTitle(HDC dc) {
  const RECT title = TitleRect();
  // A left-to-right gradient in bands of four pixels.
  constexpr int kBand = 4;
  const int bands = (m_width + kBand - 1) / kBand;
  for (int band = 0; band < bands; ++band) {
    const RECT part{band * kBand, title.top, std::min(m_width, (band + 1) * kBand), title.bottom};
    Fill(dc, part, Blend(m_colors[kColorTrayGradLeft], m_colors[kColorTrayGradRight], band, bands - 1));
  }
  SYSTEMTIME now{};
  GetLocalTime(&now);
  m_lastMinute = now.wHour * 60 + now.wMinute;
  wchar_t time[16];
  wchar_t date[32];
  const int day = now.wDayOfWeek < 7 ? now.wDayOfWeek : 0;
  const int month = now.wMonth >= 1 && now.wMonth <= 12 ? now.wMonth - 1 : 0;
  std::swprintf(time, 16, L"%d:%02d", now.wHour, now.wMinute);
  std::swprintf(date, 32, L"%ls %d %ls", kDays[day], now.wDay, kMonths[month]);
  HGDIOBJ old = SelectObject(dc, m_titleFont);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, m_colors[kColorTrayText]);
  RECT text{title.left + Scaled(6, m_dpi), title.top, title.right - Scaled(6, m_dpi), title.bottom};
  DrawTextW(dc, date, -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  DrawTextW(dc, time, -1, &text, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
}

void HomeScreen::PaintItem(std::size_t index) {
  HostedPlugin& plugin = *m_plugins[index];
  const RECT& rect = m_rects[index];
  if (rect.bottom <= rect.top) return;
  if (plugin.GetState() != HostedPlugin::State::Running) {
    // A plain block for an item no plug-in here stands for, with its rule.
    Fill(m_buffer, rect, m_colors[kColorStatic]);
    Fill(m_buffer, RECT{rect.left, rect.bottom - 1, rect.right, rect.bottom}, m_colors[kColorHomeRule]);
    return;
  }
  PluginEvent event{};
  event.kind = PE_PAINT;
  event.paint.hdc = m_buffer;
  event.paint.selected = static_cast<int>(index) == m_selected ? TRUE : FALSE;
  event.paint.rect = rect;
  // A plug-in draws only inside its own area.
  IntersectClipRect(m_buffer, rect.left, rect.top, rect.right, rect.bottom);
  plugin.Send(event);
  SelectClipRgn(m_buffer, nullptr);
}

void HomeScreen::Paint(HDC target, const RECT& area) {
  RECT clip{std::max<LONG>(0, area.left), std::max<LONG>(0, area.top), std::min<LONG>(m_width, area.right),
            std::min<LONG>(m_height, area.bottom)};
  if (clip.right <= clip.left || clip.bottom <= clip.top) return;
  Fill(m_buffer, clip, m_colors[kColorWindow]);
  if (m_backgroundPicture) {
    // The picture sits at the bottom of the screen, centred.
    BITMAP info{};
    if (GetObjectW(m_backgroundPicture, sizeof info, &info) == sizeof info) {
      HDC picture = CreateCompatibleDC(m_buffer);
      HGDIOBJ old = SelectObject(picture, m_backgroundPicture);
      const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
      BitBlt(m_buffer, (m_width - info.bmWidth) / 2, m_height - height, info.bmWidth, height, picture, 0, 0, SRCCOPY);
      SelectObject(picture, old);
      DeleteDC(picture);
    }
  }
  if (Meets(TitleRect(), clip)) PaintTitle(m_buffer);
  ++m_depth;
  for (std::size_t i = 0; i < m_plugins.size(); ++i) {
    if (Meets(m_rects[i], clip)) PaintItem(i);
  }
  --m_depth;
  BitBlt(target, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, m_buffer, clip.left, clip.top,
         SRCCOPY);
  SweepFailed();
}

void HomeScreen::Select(int index) {
  if (index == m_selected) return;
  const int old = m_selected;
  m_selected = index;
  if (old >= 0 && old < static_cast<int>(m_rects.size())) Invalidate(&m_rects[static_cast<std::size_t>(old)]);
  if (index >= 0 && index < static_cast<int>(m_rects.size())) Invalidate(&m_rects[static_cast<std::size_t>(index)]);
}

void HomeScreen::OnKey(WORD key) {
  if (key == VK_UP || key == VK_DOWN) {
    const int step = key == VK_UP ? -1 : 1;
    for (int i = m_selected + step; i >= 0 && i < static_cast<int>(m_plugins.size()); i += step) {
      if (m_plugins[static_cast<std::size_t>(i)]->IsSelectable()) {
        Select(i);
        break;
      }
    }
    return;
  }
  if (m_selected < 0) return;
  PluginEvent event{};
  if (key == VK_RETURN) {
    event.kind = PE_ACTION;
  } else {
    event.kind = PE_KEYDOWN;
    event.keyDown.key = key;
  }
  ++m_depth;
  m_plugins[static_cast<std::size_t>(m_selected)]->Send(event);
  --m_depth;
  SweepFailed();
}

void HomeScreen::OnPen(POINT point, bool hold) {
  for (std::size_t i = 0; i < m_plugins.size(); ++i) {
    const RECT& r = m_rects[i];
    if (point.x < r.left || point.x >= r.right || point.y < r.top || point.y >= r.bottom) continue;
    if (!m_plugins[i]->IsSelectable()) return;
    Select(static_cast<int>(i));
    PluginEvent event{};
    event.kind = PE_ACTION;
    event.action.source = hold ? PLUGIN_ACTION_HOLD : PLUGIN_ACTION_TAP;
    event.action.point = point;
    ++m_depth;
    m_plugins[i]->Send(event);
    --m_depth;
    SweepFailed();
    return;
  }
}

void HomeScreen::SendToAll(DWORD kind) {
  ++m_depth;
  for (std::size_t i = 0; i < m_plugins.size(); ++i) {
    PluginEvent event{};
    event.kind = kind;
    m_plugins[i]->Send(event);
  }
  --m_depth;
  SweepFailed();
}

void HomeScreen::OnTimer() {
  SendToAll(PE_TIMER);
  SYSTEMTIME now{};
  GetLocalTime(&now);
  if (now.wHour * 60 + now.wMinute != m_lastMinute) {
    const RECT title = TitleRect();
    Invalidate(&title);
  }
}

void HomeScreen::OnSysColorChange(const HomeScheme& scheme) {
  ChangeColors(scheme);
  SendToAll(PE_SYSCOLORCHANGE);
}

void HomeScreen::OnInvalidate(HPLUGIN handle, DWORD what) {
  for (std::size_t i = 0; i < m_plugins.size(); ++i) {
    if (m_plugins[i]->GetHandle() != handle) continue;
    if ((what & PLUGIN_INVALIDATE_HEIGHT) != 0 && m_depth == 0 && m_plugins[i]->Remeasure(m_height)) {
      Layout();
      Invalidate(nullptr);
    } else {
      Invalidate(&m_rects[i]);
    }
    break;
  }
  SweepFailed();
}

void HomeScreen::SweepFailed() {
  // Only once no call into a plug-in is under way further up the stack.
  if (m_depth != 0) return;
  const bool any = std::any_of(m_plugins.begin(), m_plugins.end(),
                               [](const auto& p) { return p->GetState() == HostedPlugin::State::Failed; });
  if (!any) return;
  const HostedPlugin* selected = m_selected >= 0 ? m_plugins[static_cast<std::size_t>(m_selected)].get() : nullptr;
  std::erase_if(m_plugins, [](const auto& p) { return p->GetState() == HostedPlugin::State::Failed; });
  m_selected = -1;
  for (std::size_t i = 0; i < m_plugins.size(); ++i) {
    if (m_plugins[i].get() == selected) m_selected = static_cast<int>(i);
  }
  if (m_selected < 0) {
    for (std::size_t i = 0; i < m_plugins.size(); ++i) {
      if (m_plugins[i]->IsSelectable()) {
        m_selected = static_cast<int>(i);
        break;
      }
    }
  }
  Layout();
  Invalidate(nullptr);
}

}  // namespace home
