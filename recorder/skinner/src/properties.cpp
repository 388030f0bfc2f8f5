#include "skinner/properties.h"

#include <cstring>

#include "liba/error.h"
#include "liba/text.h"
#include "liba/text_stream.h"
#include "liba/zip_file.h"
#include "os/file.h"
#include "os/log.h"
#include "os/path.h"
#include "skinner/cursor.h"
#include "skinner/font.h"
#include "skinner/picture.h"

namespace skinner {

namespace {

constexpr std::uint32_t kHeaderSize = 200;
constexpr std::uint32_t kNodeHead = 72;
constexpr std::uint32_t kObjectSize = 108;
constexpr std::uint32_t kDeclaredSize = 164;
constexpr std::uint32_t kNameUnits = 32;
// Larger images are refused rather than allocated: a skin is a few kilobytes.
constexpr std::uint32_t kMaxBlob = 64u << 20;

DeviceInfo g_device;

std::int32_t scale_value(std::int32_t value, double scale) {
  return static_cast<std::int32_t>(static_cast<double>(value) * scale);
}

}  // namespace

void set_device_info(const DeviceInfo& info) { g_device = info; }

bool device_is_smartphone() { return g_device.is_smartphone != nullptr && g_device.is_smartphone(); }

PropertiesImpl::PropertiesImpl(const std::wstring& skin_path, const std::wstring& language_path, Point screen)
    : liba::StringTranslator(language_path), skin_path_(skin_path), screen_(screen) {
  if (!skin_path.empty()) load_file(skin_path);
  validate();
  if (!is_valid()) return;
  choose_scale(screen);
  localise();
}

PropertiesImpl::PropertiesImpl(std::vector<std::uint8_t> blob, Point screen) : blob_(std::move(blob)), screen_(screen) {
  validate();
  if (!is_valid()) return;
  choose_scale(screen);
  localise();
}

void PropertiesImpl::load_file(const std::wstring& path) {
  {
    liba::ZipFile zip(path);
    for (;;) {
      const std::wstring name = zip.next_entry();
      if (name.empty()) break;
      if (!os::paths_equal(os::path_extension(name), L"skin")) continue;
      const std::uint32_t size = zip.get_size();
      if (size > kMaxBlob) return;
      blob_.resize(size);
      const std::uint32_t got = size == 0 ? 0 : zip.read(blob_.data(), size);
      if (got != size) {
        os::get_log() << L"Error: skin [" << path << L"] failed to load from archive\n";
        blob_.resize(got);
      }
      return;
    }
  }
  os::File file(path, 0);
  const std::uint32_t size = file.get_size();
  if (size > kMaxBlob) return;
  blob_.resize(size);
  const std::uint32_t got = size == 0 ? 0 : file.read(blob_.data(), size);
  if (got != size || !file.is_ok()) {
    os::get_log() << L"Error: skin [" << path << L"] failed to load\n";
    blob_.resize(got);
  }
}

void PropertiesImpl::validate() {
  header_ = nullptr;
  if (blob_.size() < kHeaderSize) return;
  for (std::uint32_t i = 0; i < kNameUnits; ++i) {
    if (blob_[2 * i] == 0 && blob_[2 * i + 1] == 0) {
      header_ = blob_.data();
      return;
    }
  }
}

bool PropertiesImpl::fits(std::uint32_t offset, std::uint64_t bytes) const {
  return static_cast<std::uint64_t>(offset) + bytes <= blob_.size();
}

bool PropertiesImpl::node_ok(std::uint32_t offset, std::uint64_t bytes) const {
  if (offset == 0 || !fits(offset, bytes)) return false;
  for (std::uint32_t i = 0; i < kNameUnits; ++i) {
    if (blob_[offset + 2 * i] == 0 && blob_[offset + 2 * i + 1] == 0) return true;
  }
  return false;
}

std::uint32_t PropertiesImpl::u32(std::uint32_t offset) const {
  if (!fits(offset, 4)) return 0;
  const std::uint8_t* p = blob_.data() + offset;
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::wstring PropertiesImpl::name_at(std::uint32_t offset) const {
  std::u16string units;
  for (std::uint32_t i = 0; i < kNameUnits && fits(offset, 2 * i + 2); ++i) {
    const char16_t c = static_cast<char16_t>(blob_[offset + 2 * i] | (blob_[offset + 2 * i + 1] << 8));
    if (c == 0) break;
    units.push_back(c);
  }
  std::wstring out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
      out.push_back(static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00)));
      ++i;
    } else {
      out.push_back(static_cast<wchar_t>(c));
    }
  }
  return out;
}

PropertiesImpl::Units::Units(const std::wstring& name) {
  for (const wchar_t c : name) {
    const auto v = static_cast<std::uint32_t>(c);
    if (v >= 0x10000) {
      if (count + 2 >= kNameUnits) {
        ok = false;
        return;
      }
      units[count++] = static_cast<char16_t>(0xD800 + ((v - 0x10000) >> 10));
      units[count++] = static_cast<char16_t>(0xDC00 + ((v - 0x10000) & 0x3FF));
    } else {
      if (count + 1 >= kNameUnits) {
        ok = false;
        return;
      }
      units[count++] = static_cast<char16_t>(v);
    }
  }
  units[count] = 0;
}

std::uint32_t PropertiesImpl::find(std::uint32_t root, const Units& name) const {
  if (!name.ok) return 0;
  std::uint32_t node = root;
  // A search visits each node at most once; more steps than nodes is a cycle.
  // The comparison stays within the 32 units of the name field, so a name
  // without its terminator simply compares unequal.
  for (std::uint32_t steps = max_steps(); node != 0 && steps != 0; --steps) {
    if (!fits(node, kNodeHead)) return 0;
    const std::uint8_t* p = blob_.data() + node;
    int order = 0;
    for (std::uint32_t i = 0; i < kNameUnits; ++i) {
      const auto have = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
      const char16_t want = name.units[i];
      if (want != have) {
        order = want < have ? -1 : 1;
        break;
      }
      if (want == 0) return node;
      if (i + 1 == kNameUnits) order = -1;  // an unterminated name sorts after every valid one
    }
    node = u32(node + (order < 0 ? 64 : 68));
  }
  return 0;
}

bool PropertiesImpl::has_prefix(std::uint32_t node, const Units& prefix) const {
  if (!prefix.ok || !fits(node, kNodeHead)) return false;
  const std::uint8_t* p = blob_.data() + node;
  for (std::uint32_t i = 0; i < prefix.count; ++i) {
    if (static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8)) != prefix.units[i]) return false;
  }
  return true;
}

bool PropertiesImpl::record_ok(std::uint32_t record, Tree tree) const {
  switch (tree) {
    case kInts:
      return node_ok(record, kNodeHead + 4);
    case kSizes:
      return node_ok(record, kNodeHead + 8);
    case kColours:
      return node_ok(record, kNodeHead + 12);
    case kTexts: {
      // A negative stored length is damage, not a translation.
      if (!node_ok(record, kNodeHead + 4)) return false;
      const std::int32_t length = i32(record + kNodeHead);
      return length >= 0 && fits(record + kNodeHead + 4, 2ull * static_cast<std::uint32_t>(length));
    }
    case kPictures:
      // A text that is no descriptor counts as absent.
      return node_ok(record, kNodeHead + 4) && fits(record + kNodeHead + 4, 2ull * u32(record + kNodeHead)) &&
             Picture::is_descriptor(record_text(record));
    case kFonts:
      return node_ok(record, kNodeHead + 4) && fits(record + kNodeHead + 4, 2ull * u32(record + kNodeHead));
  }
  return false;
}

std::wstring PropertiesImpl::record_text(std::uint32_t record) const {
  const std::uint32_t length = u32(record + kNodeHead);
  const std::uint8_t* p = blob_.data() + record + kNodeHead + 4;
  std::wstring out;
  out.reserve(length);
  for (std::uint32_t i = 0; i < length; ++i) {
    const std::uint32_t c = p[2 * i] | (p[2 * i + 1] << 8);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < length) {
      const std::uint32_t low = p[2 * i + 2] | (p[2 * i + 3] << 8);
      if (low >= 0xDC00 && low < 0xE000) {
        out.push_back(static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00)));
        ++i;
        continue;
      }
    }
    out.push_back(static_cast<wchar_t>(c));
  }
  return out;
}

std::uint32_t PropertiesImpl::find_inherited(std::uint32_t node, Tree tree, const Units& key) const {
  for (std::uint32_t steps = max_steps(); node != 0 && steps != 0; --steps) {
    if (!object_ok(node)) return 0;
    const std::uint32_t record = find(u32(node + tree), key);
    if (record != 0 && record_ok(record, tree)) return record;
    node = u32(node + 72);
  }
  return 0;
}

void PropertiesImpl::choose_scale(Point screen) {
  scale_ = 1.0;
  if (screen.x == 0 && screen.y == 0) return;
  Point sizes[16];
  for (std::uint32_t i = 0; i < 16; ++i) sizes[i] = {i32(72 + 8 * i), i32(76 + 8 * i)};
  if (sizes[0].x == 0 || sizes[0].y == 0) return;
  for (int x = 1; x <= 4; ++x) {
    for (const Point& s : sizes) {
      if (static_cast<std::int64_t>(s.x) * x == screen.x && static_cast<std::int64_t>(s.y) * x == screen.y) {
        scale_ = x;
        return;
      }
    }
  }
  const std::int64_t w = screen.x;
  const std::int64_t h = screen.y;
  std::int64_t best = (w + 1) * h;
  for (int x = 1; x <= 4; ++x) {
    for (const Point& s : sizes) {
      const std::int64_t dw = (w - x * static_cast<std::int64_t>(s.x)) * h;
      const std::int64_t dh = h - x * static_cast<std::int64_t>(s.y);
      if (dw >= 0 && dh >= 0 && dw + dh < best) {
        best = dw + dh;
        scale_ = x;
      }
    }
  }
}

std::wstring PropertiesImpl::get_skin_name() const { return is_valid() ? name_at(0) : std::wstring(); }

bool PropertiesImpl::match_screen(const std::wstring& name, Point screen) const {
  if (!is_valid()) return false;
  if (!name.empty() && name != get_skin_name()) return false;
  if ((screen.x == 0 && screen.y == 0) || (i32(72) == 0 && i32(76) == 0)) return true;
  for (int x = 1; x <= 4; ++x) {
    for (std::uint32_t i = 0; i < 16; ++i) {
      if (static_cast<std::int64_t>(i32(72 + 8 * i)) * x == screen.x &&
          static_cast<std::int64_t>(i32(76 + 8 * i)) * x == screen.y) {
        return true;
      }
    }
  }
  return false;
}

std::uint32_t PropertiesImpl::find_best_variant(const std::wstring& form) {
  if (variant_cached_ && form == variant_name_) return variant_node_;
  variant_node_ = 0;
  variant_size_ = {};
  variant_name_ = form;
  variant_cached_ = true;
  if (!is_valid()) return 0;
  const bool smartphone = device_is_smartphone();
  const Point screen = g_device.get_screen_size != nullptr ? g_device.get_screen_size() : screen_;
  const Point workarea = g_device.get_workarea != nullptr ? g_device.get_workarea() : screen;
  bool taken = false;
  // Pre-order (node, left, right); a damaged tree that links back is cut at
  // as many visits as the image could hold nodes.
  static const Units kSize(L"Size"), kDevices(L"Devices"), kFullscreen(L"Fullscreen");
  const Units prefix(form);
  std::vector<std::uint32_t>& stack = walk_stack_;
  stack.assign(1, forms_root());
  std::uint32_t visits = max_steps();
  while (!stack.empty() && visits != 0) {
    const std::uint32_t node = stack.back();
    stack.pop_back();
    if (node == 0 || !fits(node, kNodeHead)) continue;
    --visits;
    stack.push_back(u32(node + 68));
    stack.push_back(u32(node + 64));
    if (!has_prefix(node, prefix) || !object_ok(node)) continue;
    Point size{};
    if (const std::uint32_t r = find_inherited(node, kSizes, kSize)) {
      size = {scale_value(i32(r + 72), scale_), scale_value(i32(r + 76), scale_)};
    }
    std::wstring devices;
    if (const std::uint32_t r = find_inherited(node, kTexts, kDevices)) devices = record_text(r);
    if (!devices.empty() && devices.find(smartphone ? L'S' : L'P') == std::wstring::npos) continue;
    int fullscreen = 0;
    if (const std::uint32_t r = find_inherited(node, kInts, kFullscreen)) fullscreen = i32(r + 72);
    const Point area = fullscreen != 0 ? screen : workarea;
    const bool fits_area = (area.x == 0 && area.y == 0) || (size.x <= area.x && size.y <= area.y);
    if (!fits_area) continue;
    if (!taken || size.x > variant_size_.x || (size.x == variant_size_.x && size.y >= variant_size_.y)) {
      variant_node_ = node;
      variant_size_ = size;
      taken = true;
    }
  }
  return variant_node_;
}

std::uint32_t PropertiesImpl::lookup(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                                     Tree tree, const std::wstring& key) {
  if (!is_valid()) return 0;
  const Units units(key);
  if (!control.empty() && control == form) {
    const std::uint32_t node = find_best_variant(form);
    if (node == 0) liba::fatal_error(L"find_in_tree_with_exception2", form);
    return find_inherited(node, tree, units);
  }
  if (!control.empty()) {
    const std::uint32_t variant = find_best_variant(form);
    if (variant == 0) liba::fatal_error(L"find_in_tree_with_exception2", form);
    const std::uint32_t node = find(u32(variant + 100), control);
    if (node == 0 || !object_ok(node)) liba::fatal_error(L"find_in_tree_with_exception", control);
    const std::uint32_t record = find(u32(node + tree), units);
    if (record != 0 && record_ok(record, tree)) return record;
  }
  if (kind.empty()) return 0;
  const std::uint32_t node = find(kinds_root(), kind);
  if (node == 0 || !object_ok(node)) liba::fatal_error(L"find_in_tree_with_exception", kind);
  return find_inherited(node, tree, units);
}

int PropertiesImpl::read_int(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                             const std::wstring& key, int fallback) {
  const std::uint32_t r = lookup(kind, control, form, kInts, key);
  return r != 0 ? i32(r + 72) : fallback;
}

int PropertiesImpl::read_scaled_int(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                                    const std::wstring& key, int fallback) {
  const std::uint32_t r = lookup(kind, control, form, kInts, key);
  return r != 0 ? scale_value(i32(r + 72), scale_) : fallback;
}

Point PropertiesImpl::read_point(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                                 const std::wstring& key, Point fallback) {
  const std::uint32_t r = lookup(kind, control, form, kSizes, key);
  return r != 0 ? Point{i32(r + 72), i32(r + 76)} : fallback;
}

Point PropertiesImpl::read_scaled_point(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                                        const std::wstring& key, Point fallback) {
  const std::uint32_t r = lookup(kind, control, form, kSizes, key);
  return r != 0 ? Point{scale_value(i32(r + 72), scale_), scale_value(i32(r + 76), scale_)} : fallback;
}

Colour PropertiesImpl::read_colour(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                                   const std::wstring& key, Colour fallback) {
  const std::uint32_t r = lookup(kind, control, form, kColours, key);
  if (r == 0) return fallback;
  return {blob_[r + 72], blob_[r + 76], blob_[r + 80], 255};
}

std::wstring PropertiesImpl::read_text(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                                       const std::wstring& key, const std::wstring& fallback) {
  const std::uint32_t r = lookup(kind, control, form, kTexts, key);
  if (r == 0) return fallback;
  const auto it = translated_index_.find(r);
  return it != translated_index_.end() ? translated_[it->second] : record_text(r);
}

std::wstring PropertiesImpl::read_picture_text(const std::wstring& kind, const std::wstring& control,
                                               const std::wstring& form, const std::wstring& key,
                                               const std::wstring& fallback) {
  const std::uint32_t r = lookup(kind, control, form, kPictures, key);
  return r != 0 ? record_text(r) : fallback;
}

std::wstring PropertiesImpl::read_font_text(const std::wstring& kind, const std::wstring& control,
                                            const std::wstring& form, const std::wstring& key,
                                            const std::wstring& fallback) {
  const std::uint32_t r = lookup(kind, control, form, kFonts, key);
  return r != 0 ? record_text(r) : fallback;
}

Cursor PropertiesImpl::read_cursor(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                                   const std::wstring& key, const Cursor& fallback) {
  const std::uint32_t r = lookup(kind, control, form, kTexts, key);
  return r != 0 ? Cursor::from_name(record_text(r)) : fallback;
}

Picture PropertiesImpl::read_picture(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                                     const std::wstring& key, const Picture& fallback) {
  const std::uint32_t r = lookup(kind, control, form, kPictures, key);
  if (r == 0) return fallback;
  Picture picture;
  picture.load(record_text(r), skin_path_, scale_);
  return picture;
}

FontDesc PropertiesImpl::read_font(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                                   const std::wstring& key, const FontDesc& fallback) {
  const std::uint32_t r = lookup(kind, control, form, kFonts, key);
  if (r == 0) return fallback;
  FontDesc desc(scale_);
  desc.parse(record_text(r));
  return desc;
}

std::wstring PropertiesImpl::get_control_kind(const std::wstring& form, const std::wstring& control) {
  if (!is_valid()) return {};
  std::uint32_t node = find_best_variant(form);
  if (node == 0) liba::fatal_error(L"find_in_tree_with_exception2", form);
  if (control != form) {
    node = find(u32(node + 100), control);
    if (node == 0 || !object_ok(node)) liba::fatal_error(L"find_in_tree_with_exception", control);
  }
  const std::uint32_t base = u32(node + 72);
  return node_ok(base, kNodeHead) ? name_at(base) : std::wstring();
}

int PropertiesImpl::get_declared_count(const std::wstring& form) {
  if (!is_valid()) return 0;
  const std::uint32_t node = find_best_variant(form);
  if (node == 0) liba::fatal_error(L"find_in_tree_with_exception2", form);
  const std::uint32_t count = u32(node + 104);
  // Only as many records as the image holds.
  if (!fits(node + kObjectSize, static_cast<std::uint64_t>(count) * kDeclaredSize)) return 0;
  return static_cast<int>(count);
}

DeclaredControl PropertiesImpl::get_declared_control(const std::wstring& form, int index) {
  DeclaredControl out;
  if (index < 0 || index >= get_declared_count(form)) return out;
  const std::uint32_t record = variant_node_ + kObjectSize + static_cast<std::uint32_t>(index) * kDeclaredSize;
  out.name = name_at(record);
  out.class_name = name_at(record + 100);
  const std::uint32_t kind = u32(record + 72);
  if (node_ok(kind, kNodeHead)) out.kind = name_at(kind);
  return out;
}

bool PropertiesImpl::set_language(const std::wstring& language_path) {
  // The new language replaces the old one whole: a key only the old one
  // had (an explicit "form..." text, say) would keep its text on screen.
  if (!load(language_path)) return false;
  if (is_valid()) localise();
  return true;
}

void PropertiesImpl::localise() {
  translated_.clear();
  translated_index_.clear();
  translated_.reserve(table_.size() + 1);
  translated_.emplace_back();
  auto bind = [&](std::uint32_t record, const std::wstring& text) {
    translated_index_[record] = static_cast<std::uint32_t>(translated_.size());
    translated_.push_back(text);
  };
  // Explicit keys: "form.<form>.<property>" or "form.<form>.<control>.<property>".
  for (const auto& [key, value] : table_) {
    const std::size_t dot1 = key.find(L'.');
    if (dot1 == std::wstring::npos) continue;
    const std::size_t dot2 = key.find(L'.', dot1 + 1);
    if (dot2 == std::wstring::npos || key.compare(0, dot1, L"form") != 0) continue;
    std::uint32_t node = find(forms_root(), key.substr(dot1 + 1, dot2 - dot1 - 1));
    if (node == 0 || !object_ok(node)) continue;
    std::wstring property = key.substr(dot2 + 1);
    const std::size_t dot3 = property.find(L'.');
    if (dot3 != std::wstring::npos) {
      node = find(u32(node + 100), property.substr(0, dot3));
      if (node == 0 || !object_ok(node)) continue;
      property.erase(0, dot3 + 1);
    }
    const std::uint32_t record = find(u32(node + kTexts), property);
    if (record != 0 && record_ok(record, kTexts)) bind(record, value);
  }
  // Literal texts as keys, from every form, every control of a form and
  // every kind. Each run starts from the literal, so a change of language
  // reaches every text again.
  const Units text_key(L"Text");
  std::vector<std::uint32_t> nodes;
  auto collect = [&](std::uint32_t root, std::vector<std::uint32_t>& out) {
    std::vector<std::uint32_t> stack{root};
    std::uint32_t visits = max_steps();
    while (!stack.empty() && visits != 0) {
      const std::uint32_t node = stack.back();
      stack.pop_back();
      if (node == 0 || !node_ok(node, kNodeHead)) continue;
      --visits;
      out.push_back(node);
      stack.push_back(u32(node + 68));
      stack.push_back(u32(node + 64));
    }
  };
  std::vector<std::uint32_t> forms;
  collect(forms_root(), forms);
  for (const std::uint32_t form : forms) {
    nodes.push_back(form);
    if (object_ok(form)) collect(u32(form + 100), nodes);
  }
  collect(kinds_root(), nodes);
  liba::TextOStream<wchar_t>& log = os::get_log();
  for (const std::uint32_t node : nodes) {
    if (!object_ok(node)) continue;
    const std::uint32_t record = find(u32(node + kTexts), text_key);
    if (record == 0 || !record_ok(record, kTexts) || i32(record + 72) <= 0) continue;
    if (translated_index_.count(record) != 0) continue;
    const std::wstring text = record_text(record);
    log << L"Text=" << text << L"\n";
    const auto it = table_.find(text);
    if (it != table_.end()) bind(record, it->second);
  }
}

PropertiesImpl* Properties::create_for_device(const std::wstring& skin_path, Point screen) {
  return new PropertiesImpl(skin_path, std::wstring(), screen);
}

PropertiesImpl* Properties::create_language_only() { return new PropertiesImpl(std::wstring(), std::wstring(), {}); }

namespace {

Properties::FormReloader g_reloader = nullptr;

}  // namespace

void Properties::set_form_reloader(FormReloader reloader) { g_reloader = reloader; }

void Properties::create_named(Properties& handle, const std::wstring& skin_path, const std::wstring& language_path,
                              Point screen) {
  handle.reset(new PropertiesImpl(skin_path, language_path, screen));
  if (g_reloader != nullptr) g_reloader(handle);
}

bool Properties::set_language(Properties& handle, const std::wstring& language_path) {
  if (handle.impl_ == nullptr || !handle.impl_->set_language(language_path)) return false;
  if (g_reloader != nullptr) g_reloader(handle);
  return true;
}

bool Properties::is_valid(const Properties& handle) { return handle.impl_ != nullptr && handle.impl_->is_valid(); }

bool Properties::match_screen(const Properties& handle, const std::wstring& name, Point screen) {
  return handle.impl_ != nullptr && handle.impl_->match_screen(name, screen);
}

const std::wstring& Properties::translate(const Properties& handle, const std::wstring& key) {
  return translate(handle, key, key);
}

const std::wstring& Properties::translate(const Properties& handle, const std::wstring& key,
                                          const std::wstring& fallback) {
  return handle.impl_ != nullptr ? handle.impl_->translate(key, fallback) : fallback;
}

void Properties::reset(PropertiesImpl* impl) {
  if (impl != impl_) delete impl_;
  impl_ = impl;
}

}  // namespace skinner
