#include "skinner/font.h"

#include <map>
#include <memory>
#include <utility>

#include "ce/winuser.h"
#include "liba/text.h"
#include "liba/text_stream.h"
#include "os/log.h"

#include "shared_cache.h"

namespace skinner {

struct FontCacheEntry {
  std::uint32_t count = 0;
  std::unique_ptr<FontRep> font;
};

namespace {

// Ordered by scale, then text.
using FontKey = std::pair<double, std::wstring>;

// Never destroyed: users may outlive static destruction.
SharedCache<FontKey, FontCacheEntry>& Cache() {
  static auto* cache = new SharedCache<FontKey, FontCacheEntry>;
  return *cache;
}

constexpr wchar_t kEllipsis = 0x2026;

}  // namespace

bool FontRep::parse(const std::wstring& description, double scale, LOGFONTW& out) {
  const wchar_t* p = description.data();
  const wchar_t* const end = p + description.size();
  int numbers[4] = {};
  for (int& n : numbers) {
    p = liba::parse_int(p, end, n);
    if (p == nullptr) return false;
  }
  p = liba::skip_spaces(p, end);
  out = LOGFONTW{};
  out.lfHeight = static_cast<LONG>(static_cast<double>(numbers[0]) * scale);
  out.lfWeight = numbers[1] != 0 ? 700 : 400;
  out.lfItalic = static_cast<BYTE>(numbers[2]);
  out.lfUnderline = static_cast<BYTE>(numbers[3]);
  out.lfCharSet = 1;
  for (int i = 0; i < LF_FACESIZE - 1 && p != end; ++i, ++p) out.lfFaceName[i] = *p;
  return true;
}

FontRep::FontRep(const std::wstring& description, double scale) {
  LOGFONTW logfont;
  if (!parse(description, scale, logfont)) return;
  font_ = CreateFontIndirectW(&logfont);
  if (font_ == nullptr) os::get_log() << L"ERROR: FontRep::FontRep() Failed to create font\n";
}

FontRep::~FontRep() {
  if (font_ != nullptr) DeleteObject(font_);
}

FontDesc::FontDesc(double scale) : scale_(scale) { Cache().join(); }

FontDesc::FontDesc(const FontDesc& other) : entry_(other.entry_), scale_(other.scale_) {
  Cache().join();
  if (entry_ != nullptr) ++entry_->count;
}

FontDesc& FontDesc::operator=(const FontDesc& other) {
  if (other.entry_ != entry_) {
    if (other.entry_ != nullptr) ++other.entry_->count;
    release();
    entry_ = other.entry_;
  }
  scale_ = other.scale_;
  return *this;
}

FontDesc::~FontDesc() {
  release();
  Cache().leave();
}

void FontDesc::release() { Cache().release(entry_); }

void FontDesc::parse(const std::wstring& text) {
  FontCacheEntry& entry = Cache().acquire(FontKey(scale_, text));
  if (entry.font == nullptr) entry.font = std::make_unique<FontRep>(text, scale_);
  release();
  entry_ = &entry;
}

const FontRep* FontDesc::get_font() const { return entry_ != nullptr ? entry_->font.get() : nullptr; }

Point FontDesc::measure_text(const std::wstring& text) const {
  const FontRep* font = get_font();
  if (font == nullptr) return {};
  HDC dc = GetDC(nullptr);
  // A font that could not be made leaves the context's own font selected.
  HGDIOBJ previous = font->get() != nullptr ? SelectObject(dc, font->get()) : nullptr;
  RECT rect{0, 0, 1, 1};
  const int height =
      DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, DT_CALCRECT | DT_NOPREFIX | DT_VCENTER);
  if (previous != nullptr) SelectObject(dc, previous);
  ReleaseDC(nullptr, dc);
  return {text.empty() ? 0 : static_cast<std::int32_t>(rect.right), height};
}

std::size_t FontDesc::cache_size() { return Cache().size(); }

bool FontDesc::cache_exists() { return Cache().exists(); }

const FontRep* get_font(const FontDesc& desc) { return desc.get_font(); }

Point measure_text(const FontDesc& desc, const std::wstring& text) { return desc.measure_text(text); }

std::wstring fit_text(const FontDesc& desc, const std::wstring& text, int width) {
  if (text.empty() || desc.measure_text(text).x < width) return text;
  const int ellipsis = desc.measure_text(std::wstring(1, kEllipsis)).x;
  std::size_t lo = 0;
  std::size_t hi = text.size();
  for (;;) {
    const std::size_t mid = (lo + hi) / 2;
    if (desc.measure_text(text.substr(0, mid)).x + ellipsis >= width) {
      if (hi == mid) break;
      hi = mid;
    } else {
      if (lo == mid) break;
      lo = mid;
    }
  }
  return text.substr(0, lo) + kEllipsis;
}

}  // namespace skinner
