#include "skin_dump.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <stdexcept>

namespace skindump {

namespace {

struct Damaged : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class Image {
 public:
  explicit Image(const std::vector<std::uint8_t>& b) : b_(b) {}

  void Need(std::uint64_t at, std::uint64_t n) const {
    if (at + n > b_.size()) throw Damaged("record at " + std::to_string(at) + " runs past the end");
  }
  std::uint32_t U32(std::uint32_t at) const {
    Need(at, 4);
    return b_[at] | (b_[at + 1] << 8) | (b_[at + 2] << 16) | (static_cast<std::uint32_t>(b_[at + 3]) << 24);
  }
  std::u16string Units(std::uint32_t at, std::uint32_t count) const {
    Need(at, 2ull * count);
    std::u16string s;
    for (std::uint32_t i = 0; i < count; ++i)
      s.push_back(static_cast<char16_t>(b_[at + 2 * i] | (b_[at + 2 * i + 1] << 8)));
    return s;
  }
  std::u16string Name(std::uint32_t at) const {
    Need(at, 64);
    std::u16string s;
    for (std::uint32_t i = 0; i < 32; ++i) {
      const auto c = static_cast<char16_t>(b_[at + 2 * i] | (b_[at + 2 * i + 1] << 8));
      if (c == 0) return s;
      s.push_back(c);
    }
    throw Damaged("name at " + std::to_string(at) + " is not terminated");
  }
  // The nodes of a tree, in offset order; a node reached twice is damage.
  std::vector<std::uint32_t> Tree(std::uint32_t root) const {
    std::vector<std::uint32_t> out;
    std::set<std::uint32_t> seen;
    std::vector<std::uint32_t> stack{root};
    while (!stack.empty()) {
      const std::uint32_t node = stack.back();
      stack.pop_back();
      if (node == 0) continue;
      if (!seen.insert(node).second) throw Damaged("tree links back to " + std::to_string(node));
      Need(node, 72);
      out.push_back(node);
      stack.push_back(U32(node + 64));
      stack.push_back(U32(node + 68));
    }
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  const std::vector<std::uint8_t>& b_;
};

void Utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Quoted: control characters and lone surrogates as \uXXXX.
std::string Text(const std::u16string& s, bool quoted) {
  std::string out = quoted ? "\"" : "";
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      Utf8(out, 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00));
      ++i;
    } else if (quoted && (c < 0x20 || (c >= 0xD800 && c < 0xE000))) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
      out += buf;
    } else if (quoted && (c == '"' || c == '\\')) {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else {
      Utf8(out, c);
    }
  }
  if (quoted) out.push_back('"');
  return out;
}

const char* const kTypeWord[6] = {"int", "size", "text", "picture", "colour", "font"};

void Properties(const Image& im, std::uint32_t object, const std::string& indent, std::string& out) {
  std::vector<std::pair<std::uint32_t, int>> records;
  for (int t = 0; t < 6; ++t) {
    for (const std::uint32_t r : im.Tree(im.U32(object + 76 + 4 * t))) records.emplace_back(r, t);
  }
  std::sort(records.begin(), records.end());
  for (const auto& [r, t] : records) {
    out += indent + kTypeWord[t] + " " + Text(im.Name(r), false);
    switch (t) {
      case 0:
        out += " " + std::to_string(static_cast<std::int32_t>(im.U32(r + 72)));
        break;
      case 1:
        out += " " + std::to_string(static_cast<std::int32_t>(im.U32(r + 72))) + " " +
               std::to_string(static_cast<std::int32_t>(im.U32(r + 76)));
        break;
      case 4:
        for (int i = 0; i < 3; ++i) out += " " + std::to_string(im.U32(r + 72 + 4 * i));
        break;
      default: {
        const std::uint32_t length = im.U32(r + 72);
        if (length > 0x7FFFFFFFu) throw Damaged("negative text length at " + std::to_string(r));
        out += " " + Text(im.Units(r + 76, length), true);
      }
    }
    out += "\n";
  }
}

std::string Heading(const Image& im, const char* word, std::uint32_t node) {
  im.Need(node, 108);
  std::string out = std::string(word) + " " + Text(im.Name(node), false);
  if (const std::uint32_t base = im.U32(node + 72)) out += " : " + Text(im.Name(base), false);
  return out;
}

}  // namespace

bool Dump(const std::vector<std::uint8_t>& blob, std::string& out, std::string& error) {
  out.clear();
  try {
    if (blob.size() < 200) throw Damaged("shorter than the 200-byte header");
    const Image im(blob);
    out += "skin " + Text(im.Name(0), true) + "\n";
    int last = -1;
    for (int i = 0; i < 16; ++i) {
      if (im.U32(72 + 8 * i) != 0 || im.U32(76 + 8 * i) != 0) last = i;
    }
    if (last >= 0) {
      out += "sizes";
      for (int i = 0; i <= last; ++i) {
        out += " " + std::to_string(static_cast<std::int32_t>(im.U32(72 + 8 * i))) + "x" +
               std::to_string(static_cast<std::int32_t>(im.U32(76 + 8 * i)));
      }
      out += "\n";
    }
    for (const std::uint32_t kind : im.Tree(im.U32(68))) {
      out += Heading(im, "kind", kind) + "\n";
      Properties(im, kind, "  ", out);
    }
    for (const std::uint32_t form : im.Tree(im.U32(64))) {
      out += Heading(im, "form", form) + "\n";
      Properties(im, form, "  ", out);
      const std::uint32_t count = im.U32(form + 104);
      im.Need(form + 108ull, 164ull * count);
      std::vector<std::pair<std::u16string, std::u16string>> declared;
      for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t record = form + 108 + 164 * i;
        declared.emplace_back(im.Name(record), im.Name(record + 100));
      }
      for (const std::uint32_t control : im.Tree(im.U32(form + 100))) {
        const std::u16string name = im.Name(control);
        const auto it = std::find_if(declared.begin(), declared.end(), [&](const auto& d) { return d.first == name; });
        out += "  " + Heading(im, it != declared.end() ? "control" : "child", control);
        if (it != declared.end() && !it->second.empty()) out += " class " + Text(it->second, false);
        out += "\n";
        Properties(im, control, "    ", out);
      }
    }
  } catch (const Damaged& e) {
    error = e.what();
    return false;
  }
  return true;
}

std::vector<std::uint8_t> SkinFromFile(const std::vector<std::uint8_t>& bytes) {
  std::size_t at = 0;
  auto u = [&](std::size_t p, int width) {
    std::uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = (v << 8) | bytes[p + i];
    return v;
  };
  while (at + 30 <= bytes.size() && u(at, 4) == 0x04034b50u) {
    const std::uint32_t size = u(at + 22, 4);
    const std::uint32_t name_length = u(at + 26, 2);
    const std::uint32_t extra = u(at + 28, 2);
    const std::size_t data = at + 30 + name_length + extra;
    if (data + size > bytes.size()) break;
    const std::string name(bytes.begin() + static_cast<std::ptrdiff_t>(at + 30),
                           bytes.begin() + static_cast<std::ptrdiff_t>(at + 30 + name_length));
    std::string extension = name.size() >= 5 ? name.substr(name.size() - 5) : "";
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".skin") {
      return {bytes.begin() + static_cast<std::ptrdiff_t>(data),
              bytes.begin() + static_cast<std::ptrdiff_t>(data + size)};
    }
    at = data + size;
  }
  return bytes;
}

}  // namespace skindump
