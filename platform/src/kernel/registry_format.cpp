#include "kernel/registry_format.h"

#include <charconv>
#include <set>

#include "ce/strconv.h"

namespace ce::kernel::registry {
namespace {

constexpr std::string_view kHeader = "device-registry 1";
constexpr std::wstring_view kRootNames[kRootCount] = {L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE",
                                                      L"HKEY_USERS"};
constexpr DWORD kTypeSz = 1;
constexpr DWORD kTypeExpandSz = 2;
constexpr DWORD kTypeBinary = 3;
constexpr DWORD kTypeDword = 4;
constexpr DWORD kTypeMultiSz = 7;

constexpr char kHex[] = "0123456789abcdef";

// ---- writing ----

bool NeedsEscape(char c, bool quoted) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F || c == '%' || (quoted && c == '"');
}

void AppendEscaped(std::string& out, std::wstring_view text, bool quoted) {
  for (char c : Utf8FromWide(text)) {
    if (NeedsEscape(c, quoted)) {
      const auto u = static_cast<unsigned char>(c);
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
}

void AppendQuoted(std::string& out, std::wstring_view text) {
  out += '"';
  AppendEscaped(out, text, true);
  out += '"';
}

void AppendHexBytes(std::string& out, const std::vector<std::uint8_t>& data) {
  for (std::uint8_t b : data) {
    out += ' ';
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
}

std::u16string UnitsOf(const std::vector<std::uint8_t>& data) {
  std::u16string units;
  units.reserve(data.size() / 2);
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  return units;
}

bool ValidUtf16(std::u16string_view units) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 1 >= units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

// The text of a string value in its plain form (one terminator at the end and
// nowhere else), or false when the bytes need the raw form.
bool PlainString(const std::vector<std::uint8_t>& data, std::wstring& text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  const std::u16string units = UnitsOf(data);
  const std::u16string_view body(units.data(), units.size() - 1);
  if (units.back() != 0 || body.find(u'\0') != std::u16string_view::npos || !ValidUtf16(body)) return false;
  text = WideFromUtf16(body);
  return true;
}

// The strings of a REG_MULTI_SZ in its plain form: non-empty strings, each
// terminated, then one more terminator.
bool PlainMultiString(const std::vector<std::uint8_t>& data, std::vector<std::wstring>& items) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  const std::u16string units = UnitsOf(data);
  if (units.back() != 0) return false;
  const std::u16string_view body(units.data(), units.size() - 1);
  if (!ValidUtf16(body)) return false;
  if (body.empty()) return true;
  if (body.back() != 0) return false;
  std::size_t start = 0;
  while (start < body.size()) {
    const std::size_t end = body.find(u'\0', start);
    if (end == start) return false;
    items.push_back(WideFromUtf16(body.substr(start, end - start)));
    start = end + 1;
  }
  return true;
}

void AppendValue(std::string& out, const Value& value) {
  AppendQuoted(out, value.name);
  out += " = ";
  std::wstring text;
  std::vector<std::wstring> items;
  if ((value.type == kTypeSz || value.type == kTypeExpandSz) && PlainString(value.data, text)) {
    out += value.type == kTypeSz ? "sz " : "expand_sz ";
    AppendQuoted(out, text);
  } else if (value.type == kTypeMultiSz && PlainMultiString(value.data, items)) {
    out += "multi_sz";
    for (const auto& item : items) {
      out += ' ';
      AppendQuoted(out, item);
    }
  } else if (value.type == kTypeDword && value.data.size() == 4) {
    const std::uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                 (static_cast<std::uint32_t>(value.data[3]) << 24);
    out += "dword 0x";
    for (int shift = 28; shift >= 0; shift -= 4) out += kHex[(number >> shift) & 15];
  } else if (value.type == kTypeBinary) {
    out += "binary";
    AppendHexBytes(out, value.data);
  } else {
    out += "type " + std::to_string(value.type);
    AppendHexBytes(out, value.data);
  }
  out += '\n';
}

void AppendKey(std::string& out, std::string& path, const Key& key) {
  const std::size_t mark = path.size();
  path += '\\';
  AppendEscaped(path, key.name, false);
  out += '[';
  out += path;
  out += "]\n";
  for (const auto& value : key.values) AppendValue(out, value);
  for (const auto& child : key.subkeys) AppendKey(out, path, *child);
  path.resize(mark);
}

// ---- reading ----

struct Fault {
  std::string reason;
};

class LineReader {
 public:
  explicit LineReader(std::string_view line) : line_(line) {}

  void SkipSpace() {
    while (pos_ < line_.size() && (line_[pos_] == ' ' || line_[pos_] == '\t')) ++pos_;
  }
  bool AtEnd() {
    SkipSpace();
    return pos_ >= line_.size();
  }
  bool Peek(char c) {
    SkipSpace();
    return pos_ < line_.size() && line_[pos_] == c;
  }
  void Expect(char c, const char* what) {
    if (!Peek(c)) throw Fault{std::string("expected ") + what};
    ++pos_;
  }
  std::string_view Word() {
    SkipSpace();
    const std::size_t start = pos_;
    while (pos_ < line_.size() && line_[pos_] != ' ' && line_[pos_] != '\t') ++pos_;
    return line_.substr(start, pos_ - start);
  }
  std::wstring Quoted(std::size_t maxChars) {
    Expect('"', "a quoted string");
    const std::size_t end = line_.find('"', pos_);
    if (end == std::string_view::npos) throw Fault{"unterminated quoted string"};
    std::wstring text = Unescape(line_.substr(pos_, end - pos_), maxChars);
    pos_ = end + 1;
    return text;
  }

  static std::wstring Unescape(std::string_view raw, std::size_t maxChars) {
    std::string bytes;
    bytes.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != '%') {
        bytes += raw[i];
        continue;
      }
      unsigned code = 0;
      if (raw.size() - i < 3) throw Fault{"bad % escape"};
      const auto [ptr, ec] = std::from_chars(raw.data() + i + 1, raw.data() + i + 3, code, 16);
      if (ec != std::errc() || ptr != raw.data() + i + 3 || code >= 0x80) throw Fault{"bad % escape"};
      bytes += static_cast<char>(code);
      i += 2;
    }
    std::wstring text = WideFromUtf8(bytes);
    if (Utf8FromWide(text) != bytes) throw Fault{"text is not valid UTF-8"};
    if (text.size() > maxChars) throw Fault{"name too long"};
    return text;
  }

  std::vector<std::uint8_t> HexBytes() {
    std::vector<std::uint8_t> data;
    while (!AtEnd()) {
      const std::string_view word = Word();
      unsigned byte = 0;
      const auto [ptr, ec] = std::from_chars(word.data(), word.data() + word.size(), byte, 16);
      if (word.size() != 2 || ec != std::errc() || ptr != word.data() + word.size()) {
        throw Fault{"expected two-digit hex bytes"};
      }
      data.push_back(static_cast<std::uint8_t>(byte));
    }
    return data;
  }

 private:
  std::string_view line_;
  std::size_t pos_ = 0;
};

void AppendText(std::vector<std::uint8_t>& data, std::wstring_view text) {
  AppendUtf16LE(data, text);
  data.push_back(0);
  data.push_back(0);
}

Value ParseValue(std::string_view line) {
  LineReader reader(line);
  Value value;
  value.name = reader.Quoted(kMaxValueNameChars);
  reader.Expect('=', "'=' after the value name");
  const std::string_view kind = reader.Word();
  if (kind == "sz" || kind == "expand_sz") {
    value.type = kind == "sz" ? kTypeSz : kTypeExpandSz;
    AppendText(value.data, reader.Quoted(SIZE_MAX));
  } else if (kind == "multi_sz") {
    value.type = kTypeMultiSz;
    while (!reader.AtEnd()) {
      const std::wstring item = reader.Quoted(SIZE_MAX);
      if (item.empty()) throw Fault{"empty string inside multi_sz"};
      AppendText(value.data, item);
    }
    value.data.push_back(0);
    value.data.push_back(0);
  } else if (kind == "dword") {
    const std::string_view word = reader.Word();
    std::uint32_t number = 0;
    if (word.size() < 3 || word.size() > 10 || word.substr(0, 2) != "0x") throw Fault{"expected dword 0xHHHHHHHH"};
    const auto [ptr, ec] = std::from_chars(word.data() + 2, word.data() + word.size(), number, 16);
    if (ec != std::errc() || ptr != word.data() + word.size()) throw Fault{"expected dword 0xHHHHHHHH"};
    value.type = kTypeDword;
    for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<std::uint8_t>(number >> (8 * i)));
  } else if (kind == "binary") {
    value.type = kTypeBinary;
    value.data = reader.HexBytes();
  } else if (kind == "type") {
    const std::string_view word = reader.Word();
    std::uint32_t type = 0;
    const auto [ptr, ec] = std::from_chars(word.data(), word.data() + word.size(), type, 10);
    if (word.empty() || ec != std::errc() || ptr != word.data() + word.size()) throw Fault{"expected a type number"};
    value.type = type;
    value.data = reader.HexBytes();
  } else {
    throw Fault{"unknown value kind '" + std::string(kind) + "'"};
  }
  if (!reader.AtEnd()) throw Fault{"unexpected text after the value"};
  return value;
}

Key* ParseKeyLine(std::string_view line, Roots& roots, std::set<const Key*>& listed) {
  const std::size_t end = line.find_last_not_of(" \t");
  if (end == std::string_view::npos || line[end] != ']') throw Fault{"key line without closing ']'"};
  const std::string_view path = line.substr(1, end - 1);
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t sep = path.find('\\', start);
    parts.push_back(path.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start));
    if (sep == std::string_view::npos) break;
    start = sep + 1;
  }
  std::size_t rootIndex = kRootCount;
  for (std::size_t i = 0; i < kRootCount; ++i) {
    if (parts[0] == Utf8FromWide(kRootNames[i])) rootIndex = i;
  }
  if (rootIndex == kRootCount) throw Fault{"unknown root key '" + std::string(parts[0]) + "'"};
  if (parts.size() - 1 > kMaxDepth) throw Fault{"key nested too deep"};
  Key* key = roots[rootIndex].get();
  for (std::size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].empty()) throw Fault{"empty key name in path"};
    const std::wstring name = LineReader::Unescape(parts[i], kMaxKeyNameChars);
    if (name.find(L'\\') != std::wstring::npos) throw Fault{"backslash inside a key name"};
    Key* child = FindSubkey(*key, name);
    if (!child) {
      auto made = std::make_shared<Key>();
      made->name = name;
      made->depth = i;
      child = made.get();
      key->subkeys.push_back(std::move(made));
    }
    key = child;
  }
  if (!listed.insert(key).second) throw Fault{"key listed twice"};
  return key;
}

}  // namespace

std::wstring_view RootName(std::size_t index) { return index < kRootCount ? kRootNames[index] : std::wstring_view(); }

Roots MakeEmptyRoots() {
  Roots roots;
  for (std::size_t i = 0; i < kRootCount; ++i) {
    roots[i] = std::make_shared<Key>();
    roots[i]->name = std::wstring(kRootNames[i]);
  }
  return roots;
}

Key* FindSubkey(const Key& key, std::wstring_view name) {
  for (const auto& child : key.subkeys) {
    if (EqualsNoCase(child->name, name)) return child.get();
  }
  return nullptr;
}

std::shared_ptr<Key> FindSubkeyShared(const Key& key, std::wstring_view name) {
  for (const auto& child : key.subkeys) {
    if (EqualsNoCase(child->name, name)) return child;
  }
  return nullptr;
}

Value* FindValue(Key& key, std::wstring_view name) {
  for (auto& value : key.values) {
    if (EqualsNoCase(value.name, name)) return &value;
  }
  return nullptr;
}

ParseResult ParseRegistryText(std::string_view text) {
  ParseResult result;
  result.roots = MakeEmptyRoots();
  std::set<const Key*> listed;
  Key* current = nullptr;
  bool sawHeader = false;
  std::size_t lineNumber = 0;
  std::size_t pos = 0;
  try {
    while (pos < text.size()) {
      std::size_t end = text.find('\n', pos);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(pos, end - pos);
      pos = end + 1;
      ++lineNumber;
      while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.remove_suffix(1);
      }
      const std::size_t first = line.find_first_not_of(" \t");
      if (first == std::string_view::npos || line[first] == '#') continue;
      line.remove_prefix(first);
      if (!sawHeader) {
        if (line != kHeader) throw Fault{"not a registry file (expected \"" + std::string(kHeader) + "\")"};
        sawHeader = true;
      } else if (line[0] == '[') {
        current = ParseKeyLine(line, result.roots, listed);
      } else if (line[0] == '"') {
        if (!current) throw Fault{"value before any key"};
        Value value = ParseValue(line);
        if (FindValue(*current, value.name)) throw Fault{"value listed twice"};
        current->values.push_back(std::move(value));
      } else {
        throw Fault{"unrecognised line"};
      }
    }
    if (!sawHeader) {
      lineNumber = lineNumber == 0 ? 1 : lineNumber;
      throw Fault{"not a registry file (no \"" + std::string(kHeader) + "\" line)"};
    }
  } catch (const Fault& fault) {
    result.line = lineNumber;
    result.reason = fault.reason;
    result.roots = MakeEmptyRoots();
    return result;
  }
  result.ok = true;
  return result;
}

std::string FormatRegistryText(const Roots& roots) {
  std::string out = "# The device registry. Every change rewrites this whole file.\n";
  out += kHeader;
  out += '\n';
  for (const auto& root : roots) {
    std::string path = Utf8FromWide(root->name);
    if (!root->values.empty()) {
      out += '[' + path + "]\n";
      for (const auto& value : root->values) AppendValue(out, value);
    }
    for (const auto& child : root->subkeys) AppendKey(out, path, *child);
  }
  return out;
}

}  // namespace ce::kernel::registry
