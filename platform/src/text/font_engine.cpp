#include "text/font_engine.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <map>
#include <string_view>
#include <tuple>

#include "ce/device.h"
#include "ce/strconv.h"
#include "kernel/debug_output.h"

namespace ce::text {
namespace {

// --- Faces -------------------------------------------------------------------

enum class Family { Sans, Mono, Serif };

struct FaceName {
  const wchar_t* name;
  Family family;
  bool listed;  // enumerated by EnumFontFamiliesW
};

// The names programs ask for and the family that stands in for each. Any
// other name is drawn in the sans-serif family.
constexpr FaceName kFaces[] = {
    {L"Tahoma", Family::Sans, true},          {L"Nina", Family::Sans, true},
    {L"Courier New", Family::Mono, true},     {L"Times New Roman", Family::Serif, true},
    {L"DejaVu Sans", Family::Sans, true},     {L"DejaVu Sans Mono", Family::Mono, true},
    {L"DejaVu Serif", Family::Serif, true},   {L"Arial", Family::Sans, false},
    {L"Verdana", Family::Sans, false},        {L"MS Sans Serif", Family::Sans, false},
    {L"System", Family::Sans, false},         {L"Courier", Family::Mono, false},
    {L"Lucida Console", Family::Mono, false}, {L"Times", Family::Serif, false},
    {L"Georgia", Family::Serif, false},
};

bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) return false;
  }
  return true;
}

Family FamilyOf(std::wstring_view face) {
  for (const FaceName& f : kFaces) {
    if (SameName(face, f.name)) return f.family;
  }
  return Family::Sans;
}

std::string FontFile(Family family, bool bold, bool italic) {
  static constexpr const char* kFiles[3][4] = {
      {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf", "DejaVuSans-BoldOblique.ttf"},
      {"DejaVuSansMono.ttf", "DejaVuSansMono-Bold.ttf", "DejaVuSansMono-Oblique.ttf", "DejaVuSansMono-BoldOblique.ttf"},
      {"DejaVuSerif.ttf", "DejaVuSerif-Bold.ttf", "DejaVuSerif-Italic.ttf", "DejaVuSerif-BoldItalic.ttf"},
  };
  const std::string folder = ce::device::SettingOr("font_folder", "/usr/share/fonts/truetype/dejavu");
  return folder + "/" + kFiles[static_cast<int>(family)][(bold ? 1 : 0) + (italic ? 2 : 0)];
}

// The pixel height a logical font asks for: the cell (positive), the
// character (negative), or the default character height of 12 (zero).
// Kept within what a glyph may sensibly be.
int CellOrEm(LONG height) {
  const long long h = height == 0 ? 12 : std::llabs(static_cast<long long>(height));
  return static_cast<int>(std::clamp<long long>(h, 1, 2048));
}

// --- The box font ------------------------------------------------------------

// Every character is a box: a cell as high as the font's height (cell or
// character height alike, no internal leading), three quarters of it above
// the baseline; the advance is half the height (or lfWidth). A visible
// character fills the columns before the last of its advance and the rows
// from the second row of the cell down to the baseline; spaces and control
// characters draw nothing.
class BoxFont final : public RealizedFont {
 public:
  explicit BoxFont(const LOGFONTW& lf) {
    const int h = CellOrEm(lf.lfHeight);
    advance_ = lf.lfWidth > 0 ? static_cast<int>(std::min<LONG>(lf.lfWidth, 2048)) : std::max(1, h / 2);
    metrics_.height = h;
    metrics_.ascent = h - h / 4;
    metrics_.descent = h / 4;
    metrics_.internalLeading = 0;
    metrics_.averageWidth = advance_;
    metrics_.maxWidth = advance_;
    metrics_.fixedPitch = true;
    metrics_.underlineOffset = metrics_.descent > 1 ? 1 : 0;
    metrics_.strikeOffset = metrics_.ascent / 2;
    metrics_.lineThickness = 1;
    metrics_.pitchAndFamily = FIXED_PITCH | FF_MODERN;
  }

 private:
  Glyph Render(wchar_t c) override {
    Glyph g;
    g.advance = advance_;
    if (c <= 0x20 || c == 0xA0 || (c >= 0x7F && c < 0xA0)) return g;
    g.left = 0;
    g.top = metrics_.ascent - 1;
    g.width = std::max(1, advance_ - 1);
    g.height = std::max(0, metrics_.ascent - 1);
    g.coverage.assign(static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.height), 255);
    return g;
  }
  int advance_ = 1;
};

// --- FreeType ------------------------------------------------------------------

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library made = nullptr;
    if (FT_Init_FreeType(&made) != 0) made = nullptr;
    return made;
  }();
  return library;
}

int Scale(long long designUnits, int em, int unitsPerEm) {
  return static_cast<int>((designUnits * em + unitsPerEm / 2) / unitsPerEm);
}

class FreeTypeFont final : public RealizedFont {
 public:
  ~FreeTypeFont() override {
    if (face_) FT_Done_Face(face_);
  }

  // Null when the file cannot be read as a scalable face.
  static std::unique_ptr<FreeTypeFont> Open(const std::string& path, const LOGFONTW& lf) {
    FT_Library library = Library();
    if (!library) return nullptr;
    auto font = std::unique_ptr<FreeTypeFont>(new FreeTypeFont);
    if (FT_New_Face(library, path.c_str(), 0, &font->face_) != 0) {
      font->face_ = nullptr;
      return nullptr;
    }
    FT_Face face = font->face_;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) return nullptr;
    const int upem = face->units_per_EM;
    const long long asc = face->ascender;
    const long long desc = -static_cast<long long>(face->descender);
    if (asc <= 0 || desc < 0) return nullptr;
    const int wanted = CellOrEm(lf.lfHeight);
    FontMetrics& m = font->metrics_;
    int em;
    if (lf.lfHeight > 0) {
      // A cell height: the em is the part of it the face's design gives
      // the characters.
      em = std::max(1, static_cast<int>((wanted * static_cast<long long>(upem) + (asc + desc) / 2) / (asc + desc)));
      m.height = wanted;
      m.ascent = static_cast<int>((wanted * asc + (asc + desc) / 2) / (asc + desc));
      m.descent = wanted - m.ascent;
    } else {
      em = wanted;
      m.ascent = Scale(asc, em, upem);
      m.descent = Scale(desc, em, upem);
      m.height = m.ascent + m.descent;
    }
    m.internalLeading = std::max(0, m.height - em);
    int emWidth = em;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const int average = os2 && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : upem / 2;
    if (lf.lfWidth > 0) {
      // Stretch so the average character is as wide as asked.
      emWidth = static_cast<int>(std::clamp<long long>(
          (static_cast<long long>(std::min<LONG>(lf.lfWidth, 2048)) * upem + average / 2) / average, 1, 4096));
    }
    if (FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(emWidth), static_cast<FT_UInt>(em)) != 0) return nullptr;
    m.averageWidth = std::max(1, Scale(average, emWidth, upem));
    m.maxWidth = std::max(1, Scale(face->max_advance_width, emWidth, upem));
    m.fixedPitch = FT_IS_FIXED_WIDTH(face);
    m.underlineOffset = std::max(1, Scale(-static_cast<long long>(face->underline_position), em, upem));
    m.lineThickness = std::max(1, Scale(face->underline_thickness, em, upem));
    m.strikeOffset = std::max(1, m.ascent / 3);
    m.pitchAndFamily = m.fixedPitch ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS;
    return font;
  }

 private:
  FreeTypeFont() = default;

  Glyph Render(wchar_t c) override {
    Glyph g;
    const FT_UInt index = FT_Get_Char_Index(face_, static_cast<FT_ULong>(static_cast<std::uint32_t>(c)));
    if (FT_Load_Glyph(face_, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) != 0) return g;
    FT_GlyphSlot slot = face_->glyph;
    g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return g;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.pixel_mode != FT_PIXEL_MODE_MONO) return g;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int>(bitmap.width);
    g.height = static_cast<int>(bitmap.rows);
    g.coverage.assign(static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.height), 0);
    const int levels = bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 255;
    for (int y = 0; y < g.height; ++y) {
      const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
      std::uint8_t* out = g.coverage.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(g.width);
      for (int x = 0; x < g.width; ++x) {
        if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
          out[x] = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0;
        } else {
          out[x] = static_cast<std::uint8_t>(row[x] * 255 / levels);
        }
      }
    }
    return g;
  }

  FT_Face face_ = nullptr;
};

// --- The cache of realised fonts ------------------------------------------------

using Key = std::tuple<bool, std::string, LONG, LONG, LONG, bool, bool, bool, int>;

std::map<Key, std::shared_ptr<RealizedFont>>& Cache() {
  static auto* cache = new std::map<Key, std::shared_ptr<RealizedFont>>;  // fonts may be used during exit
  return *cache;
}

}  // namespace

const Glyph& RealizedFont::GlyphOf(wchar_t c) {
  const auto code = static_cast<std::uint32_t>(c);
  if (code < kDirect) {
    auto& slot = direct_[code];
    if (!slot) slot = std::make_unique<Glyph>(Render(c));
    return *slot;
  }
  if (const auto it = others_.find(c); it != others_.end()) return it->second;
  if (others_.size() >= kMostOthers) others_.clear();
  return others_.emplace(c, Render(c)).first->second;
}

std::shared_ptr<RealizedFont> Realize(const LOGFONTW& lf) {
  const bool boxes = ce::device::SettingOr("font_test", "") == "fixed";
  const bool bold = lf.lfWeight >= FW_SEMIBOLD;
  const bool italic = lf.lfItalic != 0;
  std::wstring_view face(
      lf.lfFaceName,
      static_cast<std::size_t>(std::find(lf.lfFaceName, lf.lfFaceName + LF_FACESIZE, L'\0') - lf.lfFaceName));
  const std::string path = boxes ? std::string() : FontFile(FamilyOf(face), bold, italic);
  const long turns = ((lf.lfEscapement % 3600) + 3600) % 3600 / 900;
  // The whole weight is in the key, as the metrics report it.
  const Key key{boxes,
                path,
                lf.lfHeight,
                lf.lfWidth,
                lf.lfWeight,
                italic,
                lf.lfUnderline != 0,
                lf.lfStrikeOut != 0,
                static_cast<int>(turns)};
  auto& cache = Cache();
  if (const auto it = cache.find(key); it != cache.end()) return it->second;
  std::shared_ptr<RealizedFont> font;
  if (!boxes) {
    font = FreeTypeFont::Open(path, lf);
    if (!font) {
      ce::kernel::Diagnostic("platform: cannot read the font file %s; drawing boxes instead", path.c_str());
    }
  }
  if (!font) font = std::make_shared<BoxFont>(lf);
  FontMetrics& m = font->metrics_;
  m.weight = lf.lfWeight == 0 ? FW_NORMAL : static_cast<int>(std::clamp<LONG>(lf.lfWeight, 1, 1000));
  m.italic = italic;
  m.underline = lf.lfUnderline != 0;
  m.strikeOut = lf.lfStrikeOut != 0;
  font->quarterTurns_ = static_cast<int>(turns);
  // A bounded cache: realised fonts in use stay alive through their owners.
  if (cache.size() >= 64) cache.clear();
  cache.emplace(key, font);
  return font;
}

std::vector<std::wstring> DeviceFamilies() {
  std::vector<std::wstring> families;
  if (const auto setting = ce::device::Setting("font_families")) {
    const std::wstring list = ce::WideFromUtf8(*setting);
    std::size_t start = 0;
    while (start <= list.size()) {
      std::size_t end = list.find(L',', start);
      if (end == std::wstring::npos) end = list.size();
      std::wstring name = list.substr(start, end - start);
      name.erase(0, name.find_first_not_of(L' '));
      name.erase(name.find_last_not_of(L' ') + 1);
      if (!name.empty()) families.push_back(std::move(name));
      start = end + 1;
    }
    return families;
  }
  for (const FaceName& f : kFaces) {
    if (f.listed) families.emplace_back(f.name);
  }
  return families;
}

}  // namespace ce::text
