#include "compiler.h"
#include "runtime/le_bytes.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <tuple>

namespace rescomp {
namespace {

using ks::runtime::LoadLe16;
using ks::runtime::LoadLe32;

namespace fs = std::filesystem;

// Resource types, as FindResourceW numbers them.
constexpr std::uint32_t kBitmap = 2;
constexpr std::uint32_t kIcon = 3;
constexpr std::uint32_t kMenu = 4;
constexpr std::uint32_t kDialog = 5;
constexpr std::uint32_t kString = 6;
constexpr std::uint32_t kAccelerator = 9;
constexpr std::uint32_t kRcData = 10;
constexpr std::uint32_t kGroupIcon = 14;

constexpr std::uint32_t kMaxSide = 4096;
constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;
constexpr std::size_t kMaxStringLength = 4095;

// A failure at a line of the script.
struct Error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// --- Text --------------------------------------------------------------------

// The code points of UTF-8 text; throws on a malformed sequence.
std::u32string DecodeUtf8(const std::string& text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    int extra = 0;
    char32_t point = 0;
    if (c < 0x80) {
      point = c;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      point = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      point = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      point = c & 0x07;
    } else {
      throw Error("text is not valid UTF-8");
    }
    if (extra > 0 && i + extra >= text.size()) throw Error("text is not valid UTF-8");
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) throw Error("text is not valid UTF-8");
      point = (point << 6) | (next & 0x3F);
    }
    if (point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) throw Error("text is not valid UTF-8");
    out.push_back(point);
    i += 1 + extra;
  }
  return out;
}

std::u16string Utf16(const std::u32string& text) {
  std::u16string out;
  for (char32_t c : text) {
    if (c < 0x10000) {
      out.push_back(static_cast<char16_t>(c));
    } else {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
  }
  return out;
}

// --- Byte output ---------------------------------------------------------------

struct Bytes {
  std::vector<std::uint8_t> data;
  void U8(std::uint32_t v) { data.push_back(static_cast<std::uint8_t>(v)); }
  void U16(std::uint32_t v) {
    U8(v & 0xFF);
    U8((v >> 8) & 0xFF);
  }
  void U32(std::uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void Align(std::size_t to) {
    while (data.size() % to) data.push_back(0);
  }
  void Append(const std::vector<std::uint8_t>& more) { data.insert(data.end(), more.begin(), more.end()); }
  // A null-terminated UTF-16 string, as the templates hold text.
  void Text16(const std::u32string& text) {
    for (char16_t c : Utf16(text)) U16(c);
    U16(0);
  }
};

void WriteU32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// --- Tokens -------------------------------------------------------------------

enum class TokenKind { kNumber, kWord, kText, kBar };

struct Token {
  TokenKind kind;
  std::string text;  // the word, or the decoded UTF-8 of a quoted text
  std::int64_t number = 0;
};

std::vector<Token> Tokenize(const std::string& line) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '|') {
      tokens.push_back({TokenKind::kBar, "|"});
      ++i;
    } else if (c == '"') {
      std::string text;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char d = line[i++];
        if (d == '"') {
          closed = true;
          break;
        }
        if (d == '\\') {
          if (i >= line.size()) break;
          const char e = line[i++];
          switch (e) {
            case 'n':
              d = '\n';
              break;
            case 't':
              d = '\t';
              break;
            case '\\':
              d = '\\';
              break;
            case '"':
              d = '"';
              break;
            default:
              throw Error(std::string("unknown escape \\") + e + " in a text");
          }
        }
        text.push_back(d);
      }
      if (!closed) throw Error("a text is not closed with \"");
      tokens.push_back({TokenKind::kText, text});
    } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '-') {
      std::size_t end = i + 1;
      while (end < line.size() && std::isalnum(static_cast<unsigned char>(line[end]))) ++end;
      const std::string word = line.substr(i, end - i);
      std::size_t used = 0;
      std::int64_t value = 0;
      try {
        value = std::stoll(word, &used, 0);
      } catch (const std::exception&) {
        used = 0;
      }
      if (used != word.size()) throw Error("\"" + word + "\" is not a number");
      tokens.push_back({TokenKind::kNumber, word, value});
      i = end;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      std::size_t end = i + 1;
      while (end < line.size() && (std::isalnum(static_cast<unsigned char>(line[end])) || line[end] == '_')) ++end;
      tokens.push_back({TokenKind::kWord, line.substr(i, end - i)});
      i = end;
    } else {
      throw Error(std::string("unexpected character '") + c + "'");
    }
  }
  return tokens;
}

// Named numbers for styles, flags and keys.
const std::map<std::string, std::uint32_t>& Constants() {
  static const std::map<std::string, std::uint32_t> table = {// Window styles.
                                                             {"WS_OVERLAPPED", 0x00000000},
                                                             {"WS_POPUP", 0x80000000},
                                                             {"WS_CHILD", 0x40000000},
                                                             {"WS_VISIBLE", 0x10000000},
                                                             {"WS_DISABLED", 0x08000000},
                                                             {"WS_CLIPSIBLINGS", 0x04000000},
                                                             {"WS_CLIPCHILDREN", 0x02000000},
                                                             {"WS_CAPTION", 0x00C00000},
                                                             {"WS_BORDER", 0x00800000},
                                                             {"WS_DLGFRAME", 0x00400000},
                                                             {"WS_VSCROLL", 0x00200000},
                                                             {"WS_HSCROLL", 0x00100000},
                                                             {"WS_SYSMENU", 0x00080000},
                                                             {"WS_THICKFRAME", 0x00040000},
                                                             {"WS_GROUP", 0x00020000},
                                                             {"WS_TABSTOP", 0x00010000},
                                                             {"WS_EX_TOPMOST", 0x00000008},
                                                             {"WS_EX_WINDOWEDGE", 0x00000100},
                                                             {"WS_EX_CLIENTEDGE", 0x00000200},
                                                             {"WS_EX_CONTROLPARENT", 0x00010000},
                                                             {"WS_EX_NOACTIVATE", 0x08000000},
                                                             {"WS_EX_TOOLWINDOW", 0x00000080},
                                                             // Dialog styles.
                                                             {"DS_ABSALIGN", 0x01},
                                                             {"DS_SETFONT", 0x40},
                                                             {"DS_MODALFRAME", 0x80},
                                                             {"DS_SETFOREGROUND", 0x200},
                                                             {"DS_3DLOOK", 0x04},
                                                             {"DS_CONTROL", 0x400},
                                                             {"DS_CENTER", 0x800},
                                                             // Buttons.
                                                             {"BS_PUSHBUTTON", 0x0},
                                                             {"BS_DEFPUSHBUTTON", 0x1},
                                                             {"BS_CHECKBOX", 0x2},
                                                             {"BS_AUTOCHECKBOX", 0x3},
                                                             {"BS_RADIOBUTTON", 0x4},
                                                             {"BS_3STATE", 0x5},
                                                             {"BS_AUTO3STATE", 0x6},
                                                             {"BS_GROUPBOX", 0x7},
                                                             {"BS_AUTORADIOBUTTON", 0x9},
                                                             {"BS_OWNERDRAW", 0xB},
                                                             {"BS_LEFTTEXT", 0x20},
                                                             {"BS_LEFT", 0x100},
                                                             {"BS_RIGHT", 0x200},
                                                             {"BS_CENTER", 0x300},
                                                             {"BS_TOP", 0x400},
                                                             {"BS_BOTTOM", 0x800},
                                                             {"BS_VCENTER", 0xC00},
                                                             {"BS_PUSHLIKE", 0x1000},
                                                             {"BS_MULTILINE", 0x2000},
                                                             {"BS_NOTIFY", 0x4000},
                                                             {"BS_FLAT", 0x8000},
                                                             // Edits.
                                                             {"ES_LEFT", 0x0},
                                                             {"ES_CENTER", 0x1},
                                                             {"ES_RIGHT", 0x2},
                                                             {"ES_MULTILINE", 0x4},
                                                             {"ES_UPPERCASE", 0x8},
                                                             {"ES_LOWERCASE", 0x10},
                                                             {"ES_PASSWORD", 0x20},
                                                             {"ES_AUTOVSCROLL", 0x40},
                                                             {"ES_AUTOHSCROLL", 0x80},
                                                             {"ES_NOHIDESEL", 0x100},
                                                             {"ES_READONLY", 0x800},
                                                             {"ES_WANTRETURN", 0x1000},
                                                             {"ES_NUMBER", 0x2000},
                                                             // Statics.
                                                             {"SS_LEFT", 0x0},
                                                             {"SS_CENTER", 0x1},
                                                             {"SS_RIGHT", 0x2},
                                                             {"SS_ICON", 0x3},
                                                             {"SS_BITMAP", 0xE},
                                                             {"SS_LEFTNOWORDWRAP", 0xC},
                                                             {"SS_NOTIFY", 0x100},
                                                             {"SS_CENTERIMAGE", 0x200},
                                                             {"SS_NOPREFIX", 0x80},
                                                             // List boxes.
                                                             {"LBS_NOTIFY", 0x1},
                                                             {"LBS_SORT", 0x2},
                                                             {"LBS_NOINTEGRALHEIGHT", 0x100},
                                                             {"LBS_HASSTRINGS", 0x40},
                                                             {"LBS_STANDARD", 0x00A00003},
                                                             // Combo boxes.
                                                             {"CBS_SIMPLE", 0x1},
                                                             {"CBS_DROPDOWN", 0x2},
                                                             {"CBS_DROPDOWNLIST", 0x3},
                                                             {"CBS_AUTOHSCROLL", 0x40},
                                                             {"CBS_SORT", 0x100},
                                                             {"CBS_HASSTRINGS", 0x200},
                                                             {"CBS_NOINTEGRALHEIGHT", 0x400},
                                                             // Up-down controls.
                                                             {"UDS_WRAP", 0x1},
                                                             {"UDS_SETBUDDYINT", 0x2},
                                                             {"UDS_ALIGNRIGHT", 0x4},
                                                             {"UDS_ALIGNLEFT", 0x8},
                                                             {"UDS_AUTOBUDDY", 0x10},
                                                             {"UDS_ARROWKEYS", 0x20},
                                                             {"UDS_HORZ", 0x40},
                                                             {"UDS_NOTHOUSANDS", 0x80},
                                                             // Scroll bars.
                                                             {"SBS_HORZ", 0x0},
                                                             {"SBS_VERT", 0x1},
                                                             // Virtual keys.
                                                             {"VK_BACK", 0x08},
                                                             {"VK_TAB", 0x09},
                                                             {"VK_RETURN", 0x0D},
                                                             {"VK_SHIFT", 0x10},
                                                             {"VK_CONTROL", 0x11},
                                                             {"VK_MENU", 0x12},
                                                             {"VK_ESCAPE", 0x1B},
                                                             {"VK_SPACE", 0x20},
                                                             {"VK_PRIOR", 0x21},
                                                             {"VK_NEXT", 0x22},
                                                             {"VK_END", 0x23},
                                                             {"VK_HOME", 0x24},
                                                             {"VK_LEFT", 0x25},
                                                             {"VK_UP", 0x26},
                                                             {"VK_RIGHT", 0x27},
                                                             {"VK_DOWN", 0x28},
                                                             {"VK_INSERT", 0x2D},
                                                             {"VK_DELETE", 0x2E},
                                                             {"VK_F1", 0x70},
                                                             {"VK_F2", 0x71},
                                                             {"VK_F3", 0x72},
                                                             {"VK_F4", 0x73},
                                                             {"VK_F5", 0x74},
                                                             {"VK_F6", 0x75},
                                                             {"VK_F7", 0x76},
                                                             {"VK_F8", 0x77},
                                                             {"VK_F9", 0x78},
                                                             {"VK_F10", 0x79},
                                                             {"VK_F11", 0x7A},
                                                             {"VK_F12", 0x7B}};
  return table;
}

// --- Images -------------------------------------------------------------------

struct Rgba {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> pixels;  // top-down rows of R, G, B, A
};

bool IsPng(const std::vector<std::uint8_t>& bytes) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return bytes.size() >= 8 && std::memcmp(bytes.data(), kSignature, 8) == 0;
}

Rgba DecodePng(const std::vector<std::uint8_t>& bytes, const std::string& name) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
    throw Error(name + ": not a readable PNG picture (" + image.message + ")");
  }
  if (image.width == 0 || image.height == 0 || image.width > kMaxSide || image.height > kMaxSide) {
    png_image_free(&image);
    throw Error(name + ": picture sides must be 1 to " + std::to_string(kMaxSide) + " pixels");
  }
  image.format = PNG_FORMAT_RGBA;
  Rgba out;
  out.width = image.width;
  out.height = image.height;
  out.pixels.assign(PNG_IMAGE_SIZE(image), 0);
  if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr)) {
    std::string why = image.message;
    png_image_free(&image);
    throw Error(name + ": not a readable PNG picture (" + why + ")");
  }
  return out;
}

// A device-independent bitmap (header, no colour table, bottom-up rows) of
// the picture: 24 bits a pixel when it is opaque, 32 with alpha otherwise.
std::vector<std::uint8_t> DibOf(const Rgba& picture) {
  bool opaque = true;
  for (std::size_t i = 3; i < picture.pixels.size(); i += 4) opaque = opaque && picture.pixels[i] == 255;
  const std::uint32_t bpp = opaque ? 24 : 32;
  const std::uint32_t stride = (picture.width * bpp / 8 + 3) & ~3u;
  Bytes b;
  b.U32(40);
  b.U32(picture.width);
  b.U32(picture.height);
  b.U16(1);
  b.U16(bpp);
  b.U32(0);
  b.U32(stride * picture.height);
  b.U32(2835);
  b.U32(2835);
  b.U32(0);
  b.U32(0);
  for (std::uint32_t row = picture.height; row-- > 0;) {
    const std::size_t start = b.data.size();
    for (std::uint32_t x = 0; x < picture.width; ++x) {
      const std::uint8_t* p = &picture.pixels[(std::size_t{row} * picture.width + x) * 4];
      b.U8(p[2]);
      b.U8(p[1]);
      b.U8(p[0]);
      if (bpp == 32) b.U8(p[3]);
    }
    while (b.data.size() - start < stride) b.U8(0);
  }
  return b.data;
}

// An icon image as RT_ICON holds it: a 32-bit DIB of twice the height, the
// colour rows (black where transparent) then the 1-bit AND mask (set where
// transparent).
std::vector<std::uint8_t> IconImageOf(const Rgba& picture) {
  const std::uint32_t w = picture.width;
  const std::uint32_t h = picture.height;
  const std::uint32_t maskStride = ((w + 31) / 32) * 4;
  Bytes b;
  b.U32(40);
  b.U32(w);
  b.U32(h * 2);
  b.U16(1);
  b.U16(32);
  b.U32(0);
  b.U32(w * 4 * h + maskStride * h);
  b.U32(0);
  b.U32(0);
  b.U32(0);
  b.U32(0);
  for (std::uint32_t row = h; row-- > 0;) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const std::uint8_t* p = &picture.pixels[(std::size_t{row} * w + x) * 4];
      const bool clear = p[3] < 128;
      b.U8(clear ? 0 : p[2]);
      b.U8(clear ? 0 : p[1]);
      b.U8(clear ? 0 : p[0]);
      b.U8(p[3]);
    }
  }
  for (std::uint32_t row = h; row-- > 0;) {
    std::vector<std::uint8_t> mask(maskStride, 0);
    for (std::uint32_t x = 0; x < w; ++x) {
      if (picture.pixels[(std::size_t{row} * w + x) * 4 + 3] < 128) mask[x / 8] |= 0x80 >> (x % 8);
    }
    b.Append(mask);
  }
  return b.data;
}

// Checks a DIB's header and sizes: the header (40 bytes, or the longer V4/V5
// headers), colour table and pixel rows must all be there. Returns the DIB
// with a 40-byte header (bit-field masks kept after it), its colour table
// and rows; `rowsFactor` is 2 for icon images (colour and mask).
std::vector<std::uint8_t> CheckedDib(const std::vector<std::uint8_t>& dib, std::size_t pixelsAt, int rowsFactor,
                                     const std::string& name) {
  if (dib.size() < 40) throw Error(name + ": the bitmap header is cut short");
  const std::uint32_t headerSize = LoadLe32(dib.data() + 0);
  const auto width = static_cast<std::int32_t>(LoadLe32(dib.data() + 4));
  const auto height = static_cast<std::int32_t>(LoadLe32(dib.data() + 8));
  const std::uint32_t bpp = LoadLe16(dib.data() + 14);
  const std::uint32_t compression = LoadLe32(dib.data() + 16);
  const std::uint32_t colorsUsed = LoadLe32(dib.data() + 32);
  if (headerSize != 40 && headerSize != 108 && headerSize != 124) {
    throw Error(name + ": unsupported bitmap header of " + std::to_string(headerSize) + " bytes");
  }
  if (headerSize > dib.size()) throw Error(name + ": the bitmap header is cut short");
  const std::int64_t absHeight = height < 0 ? -static_cast<std::int64_t>(height) : height;
  if (width <= 0 || absHeight == 0 || width > static_cast<std::int32_t>(kMaxSide) ||
      absHeight > static_cast<std::int64_t>(kMaxSide) * rowsFactor) {
    throw Error(name + ": bitmap sides must be 1 to " + std::to_string(kMaxSide) + " pixels");
  }
  if (rowsFactor == 2 && (height < 0 || height % 2)) {
    throw Error(name + ": an icon picture's height must be positive and twice its rows");
  }
  if (LoadLe16(dib.data() + 12) != 1) throw Error(name + ": a bitmap must have one plane");
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
    throw Error(name + ": unsupported " + std::to_string(bpp) + " bits a pixel");
  }
  if (!(compression == 0 || (compression == 3 && (bpp == 16 || bpp == 32)))) {
    throw Error(name + ": compressed bitmaps are not supported; store them uncompressed");
  }
  std::uint32_t colors = 0;
  if (bpp <= 8) {
    colors = colorsUsed == 0 ? (1u << bpp) : colorsUsed;
    if (colors > (1u << bpp)) throw Error(name + ": the colour table is longer than the pixels can use");
  }
  const std::size_t masks = compression == 3 ? 12 : 0;
  // The masks sit right after the first 40 bytes, in every header.
  const std::size_t tableAt = headerSize == 40 ? 40 + masks : headerSize;
  const std::size_t tableEnd = tableAt + std::size_t{colors} * 4;
  if (pixelsAt == 0) pixelsAt = tableEnd;
  const std::size_t stride = ((std::size_t{static_cast<std::uint32_t>(width)} * bpp + 31) / 32) * 4;
  std::size_t rows = static_cast<std::size_t>(absHeight);
  std::size_t pixelBytes = stride * rows;
  if (rowsFactor == 2) {
    // Colour rows for half the height, then the 1-bit mask rows.
    rows /= 2;
    pixelBytes = stride * rows + ((std::size_t{static_cast<std::uint32_t>(width)} + 31) / 32) * 4 * rows;
  }
  if (tableEnd > dib.size() || pixelsAt < tableEnd || pixelsAt > dib.size() || dib.size() - pixelsAt < pixelBytes) {
    throw Error(name + ": the bitmap's colour table or pixels are cut short");
  }
  std::vector<std::uint8_t> out(dib.begin(), dib.begin() + 40);
  WriteU32(out, 0, 40);
  WriteU32(out, 20, static_cast<std::uint32_t>(pixelBytes));
  out.insert(out.end(), dib.begin() + 40, dib.begin() + 40 + masks);
  out.insert(out.end(), dib.begin() + tableAt, dib.begin() + tableEnd);
  out.insert(out.end(), dib.begin() + pixelsAt, dib.begin() + pixelsAt + pixelBytes);
  return out;
}

// --- The compiler ----------------------------------------------------------------

struct Key {
  std::uint32_t id = 0;  // when text is empty
  std::u32string text;   // a name given as text
  bool operator<(const Key& o) const { return std::tie(text, id) < std::tie(o.text, o.id); }
};

struct Entry {
  Key type;
  Key name;
  std::vector<std::uint8_t> data;
};

class Compiler {
 public:
  Compiler(std::string script, std::vector<std::string> searchDirs)
      : script_(std::move(script)), searchDirs_(std::move(searchDirs)) {}

  std::vector<std::uint8_t> Run() {
    std::ifstream in(script_, std::ios::binary);
    if (!in) throw Error("cannot read the script");
    std::string line;
    while (std::getline(in, line)) lines_.push_back(line);
    while (Next()) Statement();
    FlushStrings();
    return Table();
  }

  std::size_t line() const { return lineNo_; }

 private:
  // Moves to the next line with tokens; false at the end of the script.
  bool Next() {
    while (at_ < lines_.size()) {
      lineNo_ = at_ + 1;
      tokens_ = Tokenize(lines_[at_++]);
      pos_ = 0;
      if (!tokens_.empty()) return true;
    }
    lineNo_ = lines_.size();
    return false;
  }

  bool More() const { return pos_ < tokens_.size(); }
  const Token* Peek() const { return More() ? &tokens_[pos_] : nullptr; }

  void End() {
    if (More()) throw Error("unexpected \"" + tokens_[pos_].text + "\" at the end of the line");
  }

  const Token& Take(const char* what) {
    if (!More()) throw Error(std::string("missing ") + what);
    return tokens_[pos_++];
  }

  std::int64_t Number(const char* what, std::int64_t lo, std::int64_t hi) {
    const Token& t = Take(what);
    std::int64_t value = t.number;
    if (t.kind == TokenKind::kWord) {
      const auto it = Constants().find(t.text);
      if (it == Constants().end()) throw Error("unknown name \"" + t.text + "\" for " + what);
      value = it->second;
    } else if (t.kind != TokenKind::kNumber) {
      throw Error(std::string("expected a number for ") + what);
    }
    if (value < lo || value > hi) {
      throw Error(std::string(what) + " " + std::to_string(value) + " is out of range " + std::to_string(lo) + " to " +
                  std::to_string(hi));
    }
    return value;
  }

  // Numbers and names joined with "|".
  std::uint32_t Flags(const char* what) {
    std::uint32_t value = static_cast<std::uint32_t>(Number(what, 0, 0xFFFFFFFFll));
    while (More() && Peek()->kind == TokenKind::kBar) {
      ++pos_;
      value |= static_cast<std::uint32_t>(Number(what, 0, 0xFFFFFFFFll));
    }
    return value;
  }

  std::u32string Text(const char* what) {
    const Token& t = Take(what);
    if (t.kind != TokenKind::kText) throw Error(std::string("expected a quoted text for ") + what);
    return DecodeUtf8(t.text);
  }

  // A resource name: a number from 1 to 65535, or a word or quoted text.
  Key Name(const char* what) {
    const Token& t = Take(what);
    Key key;
    if (t.kind == TokenKind::kNumber) {
      if (t.number < 1 || t.number > 0xFFFF) throw Error(std::string(what) + " must be 1 to 65535");
      key.id = static_cast<std::uint32_t>(t.number);
    } else if (t.kind == TokenKind::kWord || t.kind == TokenKind::kText) {
      key.text = DecodeUtf8(t.text);
      if (key.text.empty()) throw Error(std::string(what) + " is empty");
    } else {
      throw Error(std::string("expected ") + what);
    }
    return key;
  }

  bool Word(const char* word) {
    if (More() && Peek()->kind == TokenKind::kWord && Peek()->text == word) {
      ++pos_;
      return true;
    }
    return false;
  }

  std::vector<std::uint8_t> ReadFile(const std::string& name) {
    std::vector<fs::path> places{fs::path(script_).parent_path() / name};
    for (const std::string& dir : searchDirs_) places.push_back(fs::path(dir) / name);
    for (const fs::path& place : places) {
      std::error_code ec;
      if (!fs::is_regular_file(place, ec)) continue;
      if (fs::file_size(place, ec) > kMaxFileBytes) throw Error(name + ": the file is too large");
      std::ifstream in(place, std::ios::binary);
      if (!in) throw Error(name + ": cannot read the file");
      return {std::istreambuf_iterator<char>(in), {}};
    }
    throw Error(name + ": no such file beside the script or in the search folders");
  }

  std::string FileName() {
    const Token& t = Take("a file name");
    if (t.kind != TokenKind::kText) throw Error("expected a quoted file name");
    return t.text;
  }

  void Add(Key type, Key name, std::vector<std::uint8_t> data) {
    for (const Entry& e : entries_) {
      if (!(e.type < type) && !(type < e.type) && !(e.name < name) && !(name < e.name)) {
        throw Error("a resource of this type and name is already defined");
      }
    }
    entries_.push_back({std::move(type), std::move(name), std::move(data)});
  }

  static Key Id(std::uint32_t id) { return Key{id, {}}; }

  void Statement() {
    const Token& head = Take("a statement");
    if (head.kind != TokenKind::kWord) throw Error("expected a statement name at the start of the line");
    const std::string word = head.text;
    if (word == "strings") {
      End();
      Strings();
    } else if (word == "bitmap") {
      Key name = Name("a bitmap name");
      const std::string file = FileName();
      End();
      Add(Id(kBitmap), std::move(name), Bitmap(file));
    } else if (word == "icon") {
      Key name = Name("an icon name");
      const std::string file = FileName();
      End();
      Icon(std::move(name), file);
    } else if (word == "data") {
      Key type;
      const Token& t = Take("a resource type");
      if (t.kind == TokenKind::kNumber) {
        if (t.number < 1 || t.number > 0xFFFF) throw Error("a resource type must be 1 to 65535");
        type.id = static_cast<std::uint32_t>(t.number);
      } else if (t.kind == TokenKind::kWord || t.kind == TokenKind::kText) {
        type.text = DecodeUtf8(t.text);
        if (type.text == U"RCDATA") type = Id(kRcData);
      } else {
        throw Error("expected a resource type");
      }
      Key name = Name("a resource name");
      const std::string file = FileName();
      End();
      Add(std::move(type), std::move(name), ReadFile(file));
    } else if (word == "accelerators") {
      Key name = Name("an accelerator table name");
      End();
      Accelerators(std::move(name));
    } else if (word == "menu") {
      Key name = Name("a menu name");
      End();
      Bytes b;
      b.U16(0);  // version
      b.U16(0);  // header size after this word
      MenuItems(b, 0);
      Add(Id(kMenu), std::move(name), std::move(b.data));
    } else if (word == "dialog") {
      Dialog();
    } else {
      throw Error("unknown statement \"" + word + "\"");
    }
  }

  void Strings() {
    while (true) {
      if (!Next()) throw Error("the string table has no \"end\"");
      if (Word("end")) {
        End();
        return;
      }
      const auto id = static_cast<std::uint32_t>(Number("a string id", 0, 0xFFFF));
      std::u32string text = Text("the string's text");
      End();
      if (text.size() > kMaxStringLength) throw Error("the string is longer than 4095 characters");
      if (!strings_.emplace(id, std::move(text)).second) {
        throw Error("string " + std::to_string(id) + " is already defined");
      }
    }
  }

  // Blocks of 16 strings: string n is in block n / 16 + 1, at n % 16. Each
  // string is a length then its characters, as 32-bit units (the
  // platform's WCHAR), so the platform can hand out a pointer into it.
  void FlushStrings() {
    std::map<std::uint32_t, std::vector<const std::u32string*>> blocks;
    for (const auto& [id, text] : strings_) {
      auto& block = blocks[id / 16 + 1];
      block.resize(16, nullptr);
      block[id % 16] = &text;
    }
    for (const auto& [block, texts] : blocks) {
      Bytes b;
      for (const std::u32string* text : texts) {
        b.U32(text ? static_cast<std::uint32_t>(text->size()) : 0);
        if (text)
          for (char32_t c : *text) b.U32(c);
      }
      entries_.push_back({Id(kString), Id(block), std::move(b.data)});
    }
  }

  std::vector<std::uint8_t> Bitmap(const std::string& file) {
    const std::vector<std::uint8_t> bytes = ReadFile(file);
    if (IsPng(bytes)) return DibOf(DecodePng(bytes, file));
    if (bytes.size() < 14 || bytes[0] != 'B' || bytes[1] != 'M') throw Error(file + ": not a BMP or PNG picture");
    const std::vector<std::uint8_t> dib(bytes.begin() + 14, bytes.end());
    const std::uint32_t offBits = LoadLe32(bytes.data() + 10);
    if (offBits < 14 + 40) throw Error(file + ": the pixel offset points into the headers");
    return CheckedDib(dib, offBits - 14, 1, file);
  }

  void Icon(Key name, const std::string& file) {
    const std::vector<std::uint8_t> bytes = ReadFile(file);
    std::vector<std::vector<std::uint8_t>> images;
    if (IsPng(bytes)) {
      images.push_back(IconImageOf(DecodePng(bytes, file)));
    } else {
      if (bytes.size() < 6 || LoadLe16(bytes.data() + 0) != 0 || LoadLe16(bytes.data() + 2) != 1) {
        throw Error(file + ": not an ICO or PNG picture");
      }
      const std::uint32_t count = LoadLe16(bytes.data() + 4);
      if (count == 0) throw Error(file + ": the icon holds no pictures");
      if (bytes.size() < 6 + std::size_t{count} * 16) throw Error(file + ": the icon directory is cut short");
      for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t at = 6 + std::size_t{i} * 16;
        const std::uint32_t size = LoadLe32(bytes.data() + at + 8);
        const std::uint32_t offset = LoadLe32(bytes.data() + at + 12);
        if (offset > bytes.size() || size > bytes.size() - offset) {
          throw Error(file + ": picture " + std::to_string(i + 1) + " lies outside the file");
        }
        std::vector<std::uint8_t> image(bytes.begin() + offset, bytes.begin() + offset + size);
        if (IsPng(image)) {
          images.push_back(IconImageOf(DecodePng(image, file)));
        } else {
          std::vector<std::uint8_t> dib = CheckedDib(image, 0, 2, file);
          if (LoadLe32(dib.data() + 16) != 0) throw Error(file + ": icon pictures must be uncompressed");
          images.push_back(std::move(dib));
        }
      }
    }
    // The group: a directory naming each picture by its RT_ICON id.
    Bytes group;
    group.U16(0);
    group.U16(1);
    group.U16(static_cast<std::uint32_t>(images.size()));
    for (auto& image : images) {
      const std::uint32_t width = LoadLe32(image.data() + 4);
      const std::uint32_t height = LoadLe32(image.data() + 8) / 2;
      const std::uint32_t bpp = LoadLe16(image.data() + 14);
      const std::uint32_t id = nextIconId_++;
      if (id > 0xFFFF) throw Error("too many icon pictures in the module");
      group.U8(width >= 256 ? 0 : width);
      group.U8(height >= 256 ? 0 : height);
      group.U8(bpp < 8 ? (1u << bpp) : 0);
      group.U8(0);
      group.U16(1);
      group.U16(bpp);
      group.U32(static_cast<std::uint32_t>(image.size()));
      group.U16(id);
      Add(Id(kIcon), Id(id), std::move(image));
    }
    Add(Id(kGroupIcon), std::move(name), std::move(group.data));
  }

  // Each line: a key, the command id, then modifiers. A key is a virtual
  // key (a VK_ name or a number) or a quoted character; a character with
  // modifiers stands for its key (letters and digits are their own keys).
  void Accelerators(Key name) {
    Bytes b;
    std::size_t count = 0;
    while (true) {
      if (!Next()) throw Error("the accelerator table has no \"end\"");
      if (Word("end")) {
        End();
        break;
      }
      std::uint32_t flags = 0;
      std::uint32_t key = 0;
      const Token* t = Peek();
      bool character = false;
      if (t && t->kind == TokenKind::kText) {
        const std::u32string text = Text("a key");
        if (text.size() != 1 || text[0] > 0xFFFF) throw Error("a key character must be one character");
        key = text[0];
        character = true;
      } else {
        key = static_cast<std::uint32_t>(Number("a key", 1, 0xFF));
        flags |= 0x01;  // FVIRTKEY
      }
      const auto command = static_cast<std::uint32_t>(Number("a command id", 0, 0xFFFF));
      while (More()) {
        if (Word("ctrl")) {
          flags |= 0x08;
        } else if (Word("shift")) {
          flags |= 0x04;
        } else if (Word("alt")) {
          flags |= 0x10;
        } else if (Word("noinvert")) {
          flags |= 0x02;
        } else {
          throw Error("unknown accelerator modifier \"" + Peek()->text + "\" (ctrl, shift, alt or noinvert)");
        }
      }
      if (character && (flags & 0x1C)) {
        if (key > 0x7F || !std::isalnum(static_cast<int>(key))) {
          throw Error("a key with modifiers must be a letter, a digit or a virtual key");
        }
        key = static_cast<std::uint32_t>(std::toupper(static_cast<int>(key)));
        flags |= 0x01;
      }
      b.U16(flags);
      b.U16(key);
      b.U16(command);
      b.U16(0);
      ++count;
    }
    if (count == 0) throw Error("the accelerator table is empty");
    b.data[b.data.size() - 8] |= 0x80;  // the last entry
    Add(Id(kAccelerator), std::move(name), std::move(b.data));
  }

  // Items up to "end"; the last item of each level carries MF_END.
  void MenuItems(Bytes& b, int depth) {
    std::size_t lastOption = SIZE_MAX;
    while (true) {
      if (!Next()) throw Error("the menu has no \"end\"");
      if (Word("end")) {
        End();
        break;
      }
      const Token& head = Take("a menu item");
      std::uint32_t option = 0;
      if (head.kind == TokenKind::kWord && head.text == "separator") {
        End();
        lastOption = b.data.size();
        b.U16(0);
        b.U16(0);
        b.Text16(U"");
        continue;
      }
      if (head.kind != TokenKind::kWord || (head.text != "item" && head.text != "popup")) {
        throw Error("expected \"item\", \"popup\", \"separator\" or \"end\" in a menu");
      }
      const bool popup = head.text == "popup";
      std::u32string text = Text("the item's text");
      std::uint32_t id = 0;
      if (!popup) id = static_cast<std::uint32_t>(Number("the item's command id", 0, 0xFFFF));
      while (More()) {
        if (Word("grayed")) {
          option |= 0x01;
        } else if (Word("disabled")) {
          option |= 0x02;
        } else if (Word("checked")) {
          option |= 0x08;
        } else if (Word("menubreak")) {
          option |= 0x40;
        } else if (Word("menubarbreak")) {
          option |= 0x20;
        } else {
          throw Error("unknown menu item option \"" + Peek()->text +
                      "\" (grayed, disabled, checked, menubreak or menubarbreak)");
        }
      }
      lastOption = b.data.size();
      if (popup) {
        if (depth >= 8) throw Error("menus nest at most 8 deep");
        b.U16(option | 0x10);
        b.Text16(text);
        MenuItems(b, depth + 1);
      } else {
        b.U16(option);
        b.U16(id);
        b.Text16(text);
      }
    }
    if (lastOption == SIZE_MAX) throw Error("a menu or pop-up has no items");
    b.data[lastOption] |= 0x80;
  }

  // A class: a predefined control's atom, or its name.
  void ClassOf(Bytes& b, const Token& t) {
    static const std::map<std::string, std::uint32_t> kAtoms = {
        {"button", 0x80}, {"edit", 0x81}, {"static", 0x82}, {"listbox", 0x83}, {"scrollbar", 0x84}, {"combobox", 0x85}};
    if (t.kind == TokenKind::kWord) {
      const auto it = kAtoms.find(t.text);
      if (it == kAtoms.end()) {
        throw Error("unknown control class \"" + t.text +
                    "\" (button, edit, static, listbox, scrollbar, combobox, or a quoted class name)");
      }
      b.U16(0xFFFF);
      b.U16(it->second);
    } else if (t.kind == TokenKind::kText) {
      const std::u32string name = DecodeUtf8(t.text);
      if (name.empty()) throw Error("a control class name is empty");
      b.Text16(name);
    } else {
      throw Error("expected a control class");
    }
  }

  struct Control {
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::int64_t x = 0, y = 0, cx = 0, cy = 0;
    std::uint32_t id = 0;
    Bytes classAndText;
  };

  void Dialog() {
    Key name = Name("a dialog name");
    const std::int64_t x = Number("x", -32768, 32767), y = Number("y", -32768, 32767);
    const std::int64_t cx = Number("width", 0, 32767), cy = Number("height", 0, 32767);
    End();
    std::uint32_t style = 0x80000000 | 0x80;  // WS_POPUP | DS_MODALFRAME unless "style" says otherwise
    std::uint32_t exStyle = 0;
    std::u32string caption, className, fontName;
    Key menu;
    bool hasMenu = false, hasFont = false, hasClass = false;
    std::int64_t points = 0;
    std::vector<Control> controls;
    while (true) {
      if (!Next()) throw Error("the dialog has no \"end\"");
      if (Word("end")) {
        End();
        break;
      }
      if (Word("style")) {
        style = Flags("a dialog style");
      } else if (Word("exstyle")) {
        exStyle = Flags("an extended style");
      } else if (Word("caption")) {
        caption = Text("the caption");
      } else if (Word("font")) {
        points = Number("the font size", 1, 0xFFFF);
        fontName = Text("the font name");
        hasFont = true;
      } else if (Word("class")) {
        className = Text("the dialog class");
        hasClass = true;
      } else if (Word("menu")) {
        menu = Name("a menu name");
        hasMenu = true;
      } else if (Word("control")) {
        if (controls.size() >= 0xFFFF) throw Error("too many controls");
        Control c;
        const Token& text = Take("the control's text");
        Bytes textBytes;
        if (text.kind == TokenKind::kText) {
          textBytes.Text16(DecodeUtf8(text.text));
        } else if (text.kind == TokenKind::kNumber && text.number >= 0 && text.number <= 0xFFFF) {
          // A resource id as the text (a picture for a static, say).
          textBytes.U16(0xFFFF);
          textBytes.U16(static_cast<std::uint32_t>(text.number));
        } else {
          throw Error("expected the control's quoted text or a resource number");
        }
        c.id = static_cast<std::uint32_t>(Number("the control id", 0, 0xFFFF));
        ClassOf(c.classAndText, Take("the control class"));
        c.classAndText.Append(textBytes.data);
        c.x = Number("x", -32768, 32767);
        c.y = Number("y", -32768, 32767);
        c.cx = Number("width", 0, 32767);
        c.cy = Number("height", 0, 32767);
        c.style = 0x40000000 | 0x10000000;  // WS_CHILD | WS_VISIBLE
        while (More()) {
          if (Word("style")) {
            c.style |= Flags("a control style");
          } else if (Word("exstyle")) {
            c.exStyle = Flags("an extended style");
          } else if (Word("hidden")) {
            c.style &= ~0x10000000u;
          } else {
            throw Error("unknown control option \"" + Peek()->text + "\" (style, exstyle or hidden)");
          }
        }
        controls.push_back(std::move(c));
        continue;
      } else {
        throw Error("unknown dialog line \"" + Peek()->text +
                    "\" (style, exstyle, caption, font, class, menu, control or end)");
      }
      End();
    }
    if (hasFont) style |= 0x40;  // DS_SETFONT
    Bytes b;
    b.U32(style);
    b.U32(exStyle);
    b.U16(static_cast<std::uint32_t>(controls.size()));
    b.U16(static_cast<std::uint16_t>(x));
    b.U16(static_cast<std::uint16_t>(y));
    b.U16(static_cast<std::uint16_t>(cx));
    b.U16(static_cast<std::uint16_t>(cy));
    if (!hasMenu) {
      b.U16(0);
    } else if (menu.text.empty()) {
      b.U16(0xFFFF);
      b.U16(menu.id);
    } else {
      b.Text16(menu.text);
    }
    if (hasClass) {
      b.Text16(className);
    } else {
      b.U16(0);
    }
    b.Text16(caption);
    if (style & 0x40) {
      b.U16(static_cast<std::uint32_t>(points));
      b.Text16(fontName);
    }
    for (const Control& c : controls) {
      b.Align(4);
      b.U32(c.style);
      b.U32(c.exStyle);
      b.U16(static_cast<std::uint16_t>(c.x));
      b.U16(static_cast<std::uint16_t>(c.y));
      b.U16(static_cast<std::uint16_t>(c.cx));
      b.U16(static_cast<std::uint16_t>(c.cy));
      b.U16(c.id);
      b.Append(c.classAndText.data);
      b.U16(0);  // no creation data
    }
    Add(Id(kDialog), std::move(name), std::move(b.data));
  }

  // The table: header, directory, names, then each resource's bytes on an
  // 8-byte boundary.
  std::vector<std::uint8_t> Table() {
    std::sort(entries_.begin(), entries_.end(),
              [](const Entry& a, const Entry& b) { return std::tie(a.type, a.name) < std::tie(b.type, b.name); });
    Bytes b;
    b.U8('K');
    b.U8('S');
    b.U8('R');
    b.U8('T');
    b.U32(1);
    b.U32(0);  // total size, filled in below
    b.U32(static_cast<std::uint32_t>(entries_.size()));
    const std::size_t directory = b.data.size();
    b.data.resize(directory + entries_.size() * 16);
    auto key = [&](const Key& k) -> std::uint32_t {
      if (k.text.empty()) return k.id;
      b.Align(4);
      const auto at = static_cast<std::uint32_t>(b.data.size());
      b.U32(static_cast<std::uint32_t>(k.text.size()));
      for (char32_t c : k.text) b.U32(c);
      return 0x80000000u | at;
    };
    std::vector<std::uint32_t> keys;
    for (const Entry& e : entries_) {
      keys.push_back(key(e.type));
      keys.push_back(key(e.name));
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      b.Align(8);
      const std::size_t at = directory + i * 16;
      WriteU32(b.data, at, keys[2 * i]);
      WriteU32(b.data, at + 4, keys[2 * i + 1]);
      WriteU32(b.data, at + 8, static_cast<std::uint32_t>(b.data.size()));
      WriteU32(b.data, at + 12, static_cast<std::uint32_t>(entries_[i].data.size()));
      b.Append(entries_[i].data);
    }
    b.Align(8);
    if (b.data.size() > 0x7FFFFFFF) {
      lineNo_ = 0;
      throw Error("the module's resources exceed 2 GB");
    }
    WriteU32(b.data, 8, static_cast<std::uint32_t>(b.data.size()));
    return std::move(b.data);
  }

  std::string script_;
  std::vector<std::string> searchDirs_;
  std::vector<std::string> lines_;
  std::size_t at_ = 0;
  std::size_t lineNo_ = 0;
  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
  std::vector<Entry> entries_;
  std::map<std::uint32_t, std::u32string> strings_;
  std::uint32_t nextIconId_ = 1;
};

}  // namespace

bool Compile(const std::string& script, const std::vector<std::string>& searchDirs, std::vector<std::uint8_t>* table,
             std::string* error) {
  Compiler compiler(script, searchDirs);
  try {
    *table = compiler.Run();
    return true;
  } catch (const Error& e) {
    *error = script + ":" + std::to_string(compiler.line()) + ": error: " + e.what();
    return false;
  }
}

std::string CppSource(const std::vector<std::uint8_t>& table, const std::string& origin) {
  std::ostringstream out;
  out << "// The module's resources, compiled by rescomp from " << origin << ". Do not edit.\n"
      << "#include <cstddef>\n\n"
      << "namespace {\n"
      << "// In a section of its own, so the shell reads a module's icon from the\n"
      << "// section alone, found through the file's section headers.\n"
      << "alignas(16) __attribute__((section(\".ce_resources\"))) const unsigned char kTable[" << table.size()
      << "] = {";
  for (std::size_t i = 0; i < table.size(); ++i) {
    out << (i % 20 == 0 ? "\n   " : "") << ' ' << static_cast<unsigned>(table[i]) << ',';
  }
  out << "\n};\n}  // namespace\n\n"
      << "// Found by the platform with dlsym on the module's handle.\n"
      << "struct CeModuleResources {\n"
      << "  const unsigned char* table;\n"
      << "  std::size_t size;\n"
      << "};\n"
      << "extern \"C\" __attribute__((visibility(\"default\"), used)) const CeModuleResources ce_module_resources = {\n"
      << "    kTable, sizeof kTable};\n";
  return out.str();
}

}  // namespace rescomp
