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
    : window_(window),
      width_(std::max(width, 1)),
      height_(std::max(height, 1)),
      dpi_(dpi > 0 ? dpi : 96),
      colors_(DefaultScheme().colors) {
  environment_.Attach(new HostEnvironment(window));
  HDC screen = GetDC(nullptr);
  buffer_ = CreateCompatibleDC(screen);
  bufferBitmap_ = CreateCompatibleBitmap(screen, width_, height_);
  ReleaseDC(nullptr, screen);
  bufferOld_ = SelectObject(buffer_, bufferBitmap_);
  LOGFONTW font{};
  font.lfHeight = -Scaled(12, dpi_);
  font.lfWeight = FW_BOLD;
  std::wcscpy(font.lfFaceName, L"Tahoma");
  titleFont_ = CreateFontIndirectW(&font);
  Layout();
}

HomeScreen::~HomeScreen() {
  Unload();
  environment_->SetWindow(nullptr);
  environment_.Reset();
  if (backgroundPicture_) DeleteObject(backgroundPicture_);
  SelectObject(buffer_, bufferOld_);
  DeleteObject(bufferBitmap_);
  DeleteDC(buffer_);
  DeleteObject(titleFont_);
}

void HomeScreen::Load(const HomeLayout& layout, const HomeScheme& scheme) {
  Unload();
  ChangeColors(scheme);
  const int blockHeight = Scaled(24, dpi_);
  for (const LayoutPlugin& entry : layout.plugins) {
    auto plugin = std::make_unique<HostedPlugin>(entry, nextHandle_++);
    plugin->Load(environment_.Get(), height_, blockHeight);
    if (plugin->state() != HostedPlugin::State::Failed) plugins_.push_back(std::move(plugin));
  }
  selected_ = -1;
  for (std::size_t i = 0; i < plugins_.size(); ++i) {
    if (plugins_[i]->selectable()) {
      selected_ = static_cast<int>(i);
      break;
    }
  }
  Layout();
  Invalidate(nullptr);
}

void HomeScreen::Unload() {
  // Released in the reverse of their creation.
  while (!plugins_.empty()) plugins_.pop_back();
  rects_.clear();
  selected_ = -1;
}

void HomeScreen::ChangeColors(const HomeScheme& scheme) {
  colors_ = scheme.colors;
  if (scheme.background != background_) {
    background_ = scheme.background;
    if (backgroundPicture_) DeleteObject(backgroundPicture_);
    backgroundPicture_ = background_.empty() ? nullptr : SHLoadDIBitmap(background_.c_str());
  }
  Invalidate(nullptr);
}

RECT HomeScreen::TitleRect() const { return RECT{0, 0, width_, Scaled(26, dpi_)}; }

void HomeScreen::Layout() {
  rects_.clear();
  int y = TitleRect().bottom;
  for (const auto& plugin : plugins_) {
    rects_.push_back(RECT{0, y, width_, y + plugin->height()});
    y += plugin->height();
  }
}

void HomeScreen::Invalidate(const RECT* rect) {
  if (window_) InvalidateRect(window_, rect, FALSE);
}

std::vector<HomeScreen::Item> HomeScreen::Items() const {
  std::vector<Item> items;
  for (std::size_t i = 0; i < plugins_.size(); ++i) {
    items.push_back(Item{plugins_[i]->clsidText(), rects_[i], plugins_[i]->state(), plugins_[i]->selectable()});
  }
  return items;
}

int HomeScreen::Selected() const { return selected_; }

void HomeScreen::PaintTitle(HDC dc) {
  const RECT title = TitleRect();
  // A left-to-right gradient in bands of four pixels.
  constexpr int kBand = 4;
  const int bands = (width_ + kBand - 1) / kBand;
  for (int band = 0; band < bands; ++band) {
    const RECT part{band * kBand, title.top, std::min(width_, (band + 1) * kBand), title.bottom};
    Fill(dc, part, Blend(colors_[kColorTrayGradLeft], colors_[kColorTrayGradRight], band, bands - 1));
  }
  SYSTEMTIME now{};
  GetLocalTime(&now);
  lastMinute_ = now.wHour * 60 + now.wMinute;
  wchar_t time[16];
  wchar_t date[32];
  const int day = now.wDayOfWeek < 7 ? now.wDayOfWeek : 0;
  const int month = now.wMonth >= 1 && now.wMonth <= 12 ? now.wMonth - 1 : 0;
  std::swprintf(time, 16, L"%d:%02d", now.wHour, now.wMinute);
  std::swprintf(date, 32, L"%ls %d %ls", kDays[day], now.wDay, kMonths[month]);
  HGDIOBJ old = SelectObject(dc, titleFont_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colors_[kColorTrayText]);
  RECT text{title.left + Scaled(6, dpi_), title.top, title.right - Scaled(6, dpi_), title.bottom};
  DrawTextW(dc, date, -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  DrawTextW(dc, time, -1, &text, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
}

void HomeScreen::PaintItem(std::size_t index) {
  HostedPlugin& plugin = *plugins_[index];
  const RECT& rect = rects_[index];
  if (rect.bottom <= rect.top) return;
  if (plugin.state() != HostedPlugin::State::Running) {
    // A plain block for an item no plug-in here stands for, with its rule.
    Fill(buffer_, rect, colors_[kColorStatic]);
    Fill(buffer_, RECT{rect.left, rect.bottom - 1, rect.right, rect.bottom}, colors_[kColorHomeRule]);
    return;
  }
  PluginEvent event{};
  event.kind = PE_PAINT;
  event.paint.hdc = buffer_;
  event.paint.selected = static_cast<int>(index) == selected_ ? TRUE : FALSE;
  event.paint.rect = rect;
  // A plug-in draws only inside its own area.
  IntersectClipRect(buffer_, rect.left, rect.top, rect.right, rect.bottom);
  plugin.Send(event);
  SelectClipRgn(buffer_, nullptr);
}

void HomeScreen::Paint(HDC target, const RECT& area) {
  RECT clip{std::max<LONG>(0, area.left), std::max<LONG>(0, area.top), std::min<LONG>(width_, area.right),
            std::min<LONG>(height_, area.bottom)};
  if (clip.right <= clip.left || clip.bottom <= clip.top) return;
  Fill(buffer_, clip, colors_[kColorWindow]);
  if (backgroundPicture_) {
    // The picture sits at the bottom of the screen, centred.
    BITMAP info{};
    if (GetObjectW(backgroundPicture_, sizeof info, &info) == sizeof info) {
      HDC picture = CreateCompatibleDC(buffer_);
      HGDIOBJ old = SelectObject(picture, backgroundPicture_);
      const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
      BitBlt(buffer_, (width_ - info.bmWidth) / 2, height_ - height, info.bmWidth, height, picture, 0, 0, SRCCOPY);
      SelectObject(picture, old);
      DeleteDC(picture);
    }
  }
  if (Meets(TitleRect(), clip)) PaintTitle(buffer_);
  ++depth_;
  for (std::size_t i = 0; i < plugins_.size(); ++i) {
    if (Meets(rects_[i], clip)) PaintItem(i);
  }
  --depth_;
  BitBlt(target, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, buffer_, clip.left, clip.top,
         SRCCOPY);
  SweepFailed();
}

void HomeScreen::Select(int index) {
  if (index == selected_) return;
  const int old = selected_;
  selected_ = index;
  if (old >= 0 && old < static_cast<int>(rects_.size())) Invalidate(&rects_[static_cast<std::size_t>(old)]);
  if (index >= 0 && index < static_cast<int>(rects_.size())) Invalidate(&rects_[static_cast<std::size_t>(index)]);
}

void HomeScreen::OnKey(WORD key) {
  if (key == VK_UP || key == VK_DOWN) {
    const int step = key == VK_UP ? -1 : 1;
    for (int i = selected_ + step; i >= 0 && i < static_cast<int>(plugins_.size()); i += step) {
      if (plugins_[static_cast<std::size_t>(i)]->selectable()) {
        Select(i);
        break;
      }
    }
    return;
  }
  if (selected_ < 0) return;
  PluginEvent event{};
  if (key == VK_RETURN) {
    event.kind = PE_ACTION;
  } else {
    event.kind = PE_KEYDOWN;
    event.keyDown.key = key;
  }
  ++depth_;
  plugins_[static_cast<std::size_t>(selected_)]->Send(event);
  --depth_;
  SweepFailed();
}

void HomeScreen::OnPen(POINT point, bool hold) {
  for (std::size_t i = 0; i < plugins_.size(); ++i) {
    const RECT& r = rects_[i];
    if (point.x < r.left || point.x >= r.right || point.y < r.top || point.y >= r.bottom) continue;
    if (!plugins_[i]->selectable()) return;
    Select(static_cast<int>(i));
    PluginEvent event{};
    event.kind = PE_ACTION;
    event.action.source = hold ? PLUGIN_ACTION_HOLD : PLUGIN_ACTION_TAP;
    event.action.point = point;
    ++depth_;
    plugins_[i]->Send(event);
    --depth_;
    SweepFailed();
    return;
  }
}

void HomeScreen::SendToAll(DWORD kind) {
  ++depth_;
  for (std::size_t i = 0; i < plugins_.size(); ++i) {
    PluginEvent event{};
    event.kind = kind;
    plugins_[i]->Send(event);
  }
  --depth_;
  SweepFailed();
}

void HomeScreen::OnTimer() {
  SendToAll(PE_TIMER);
  SYSTEMTIME now{};
  GetLocalTime(&now);
  if (now.wHour * 60 + now.wMinute != lastMinute_) {
    const RECT title = TitleRect();
    Invalidate(&title);
  }
}

void HomeScreen::OnSysColorChange(const HomeScheme& scheme) {
  ChangeColors(scheme);
  SendToAll(PE_SYSCOLORCHANGE);
}

void HomeScreen::OnInvalidate(HPLUGIN handle, DWORD what) {
  for (std::size_t i = 0; i < plugins_.size(); ++i) {
    if (plugins_[i]->handle() != handle) continue;
    if ((what & PLUGIN_INVALIDATE_HEIGHT) != 0 && depth_ == 0 && plugins_[i]->Remeasure(height_)) {
      Layout();
      Invalidate(nullptr);
    } else {
      Invalidate(&rects_[i]);
    }
    break;
  }
  SweepFailed();
}

void HomeScreen::SweepFailed() {
  // Only once no call into a plug-in is under way further up the stack.
  if (depth_ != 0) return;
  const bool any = std::any_of(plugins_.begin(), plugins_.end(),
                               [](const auto& p) { return p->state() == HostedPlugin::State::Failed; });
  if (!any) return;
  const HostedPlugin* selected = selected_ >= 0 ? plugins_[static_cast<std::size_t>(selected_)].get() : nullptr;
  std::erase_if(plugins_, [](const auto& p) { return p->state() == HostedPlugin::State::Failed; });
  selected_ = -1;
  for (std::size_t i = 0; i < plugins_.size(); ++i) {
    if (plugins_[i].get() == selected) selected_ = static_cast<int>(i);
  }
  if (selected_ < 0) {
    for (std::size_t i = 0; i < plugins_.size(); ++i) {
      if (plugins_[i]->selectable()) {
        selected_ = static_cast<int>(i);
        break;
      }
    }
  }
  Layout();
  Invalidate(nullptr);
}

}  // namespace home
