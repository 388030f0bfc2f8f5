#include "skin_compiler.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>

namespace skinc {

namespace {

constexpr std::size_t kMaxNameUnits = 31;

enum Type { kInt, kSize, kText, kPicture, kColour, kFont, kTypeCount };
// Offset of each tree's root in an object node.
constexpr std::uint32_t kTreeField[kTypeCount] = {76, 80, 84, 88, 92, 96};
const char* const kTypeWord[kTypeCount] = {"int", "size", "text", "picture", "colour", "font"};

struct Property {
  Type type;
  std::u16string key;
  std::int64_t numbers[3] = {0, 0, 0};
  std::u16string text;
  std::uint32_t offset = 0;
};

struct Object {
  std::u16string name;
  std::u16string base;
  std::u16string class_name;
  bool declared = false;
  std::vector<Property> properties;
  std::vector<Object> controls;  // forms only
  std::uint32_t offset = 0;
};

struct Source {
  std::u16string name;
  std::vector<std::pair<std::int32_t, std::int32_t>> sizes;
  std::vector<Object> kinds;
  std::vector<Object> forms;
};

std::u16string Utf16(const std::string& utf8, bool& ok) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    std::uint32_t cp = 0;
    std::size_t n = 0;
    if (c < 0x80) {
      cp = c, n = 1;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F, n = 2;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F, n = 3;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07, n = 4;
    } else {
      ok = false;
      return out;
    }
    if (i + n > utf8.size()) {
      ok = false;
      return out;
    }
    for (std::size_t k = 1; k < n; ++k) {
      const auto d = static_cast<unsigned char>(utf8[i + k]);
      if ((d & 0xC0) != 0x80) {
        ok = false;
        return out;
      }
      cp = (cp << 6) | (d & 0x3F);
    }
    i += n;
    if (cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

class Parser {
 public:
  explicit Parser(const std::string& source) : in_(source) {}

  bool Run(Source& out, std::string& error) {
    std::string line;
    while (std::getline(in_, line)) {
      ++line_number_;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      line_ = line;
      pos_ = 0;
      SkipBlanks();
      if (pos_ == line_.size() || line_[pos_] == '#') continue;
      if (!Statement(out)) {
        error = "line " + std::to_string(line_number_) + ": " + error_;
        return false;
      }
    }
    return true;
  }

 private:
  bool Fail(const std::string& message) {
    error_ = message;
    return false;
  }
  void SkipBlanks() {
    while (pos_ < line_.size() && (line_[pos_] == ' ' || line_[pos_] == '\t')) ++pos_;
  }
  bool AtEnd() {
    SkipBlanks();
    return pos_ == line_.size();
  }
  std::string Word() {
    SkipBlanks();
    const std::size_t start = pos_;
    while (pos_ < line_.size() && line_[pos_] != ' ' && line_[pos_] != '\t') ++pos_;
    return line_.substr(start, pos_ - start);
  }
  bool Name(std::u16string& out, const char* what) {
    const std::string word = Word();
    if (word.empty()) return Fail(std::string("missing ") + what);
    bool ok = true;
    out = Utf16(word, ok);
    if (!ok) return Fail(std::string("bad UTF-8 in ") + what);
    if (out.size() > kMaxNameUnits) return Fail(std::string(what) + " \"" + word + "\" is longer than 31 characters");
    return true;
  }
  bool Number(std::int64_t& out, std::int64_t low, std::int64_t high) {
    const std::string word = Word();
    if (word.empty()) return Fail("missing number");
    std::size_t used = 0;
    try {
      out = std::stoll(word, &used);
    } catch (...) {
      return Fail("bad number \"" + word + "\"");
    }
    if (used != word.size()) return Fail("bad number \"" + word + "\"");
    if (out < low || out > high) return Fail("number " + word + " out of range");
    return true;
  }
  bool Quoted(std::u16string& out) {
    SkipBlanks();
    if (pos_ == line_.size() || line_[pos_] != '"') return Fail("missing quoted text");
    ++pos_;
    std::string raw;
    out.clear();
    bool ok = true;
    auto flush = [&] {
      out += Utf16(raw, ok);
      raw.clear();
    };
    for (;;) {
      if (pos_ == line_.size()) return Fail("unterminated text");
      const char c = line_[pos_++];
      if (c == '"') break;
      if (c == '\\' && pos_ < line_.size()) {
        const char e = line_[pos_];
        if (e == '"' || e == '\\') {
          raw.push_back(e);
          ++pos_;
          continue;
        }
        if (e == 'u' && pos_ + 5 <= line_.size()) {
          const std::string hex = line_.substr(pos_ + 1, 4);
          if (hex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
            flush();
            out.push_back(static_cast<char16_t>(std::stoul(hex, nullptr, 16)));
            pos_ += 5;
            continue;
          }
        }
      }
      raw.push_back(c);
    }
    flush();
    if (!ok) return Fail("bad UTF-8 in text");
    return true;
  }
  bool Heading(Object& object, bool control, bool declared) {
    if (!Name(object.name, "name")) return false;
    object.declared = declared;
    SkipBlanks();
    if (pos_ < line_.size() && line_[pos_] == ':') {
      ++pos_;
      if (!Name(object.base, "base")) return false;
    }
    if (control && declared && !AtEnd()) {
      if (Word() != "class") return Fail("expected \"class\"");
      if (!Name(object.class_name, "class name")) return false;
    }
    return AtEnd() || Fail("unexpected text after the heading");
  }

  bool Statement(Source& out) {
    const std::string word = Word();
    if (word == "skin") {
      if (!Quoted(out.name)) return false;
      if (out.name.size() > kMaxNameUnits) return Fail("skin name longer than 31 characters");
      return AtEnd() || Fail("unexpected text after the skin name");
    }
    if (word == "sizes") {
      while (!AtEnd()) {
        const std::string size = Word();
        int w = 0, h = 0;
        char x = 0, rest = 0;
        if (std::sscanf(size.c_str(), "%d%c%d%c", &w, &x, &h, &rest) != 3 || x != 'x' || w < 0 || h < 0) {
          return Fail("bad size \"" + size + "\" (WxH)");
        }
        if (out.sizes.size() == 16) return Fail("more than 16 sizes");
        out.sizes.emplace_back(w, h);
      }
      return true;
    }
    if (word == "kind" || word == "form") {
      std::vector<Object>& list = word == "kind" ? out.kinds : out.forms;
      list.emplace_back();
      current_ = &list.back();
      current_form_ = word == "form" ? &list.back() : nullptr;
      return Heading(*current_, false, false);
    }
    if (word == "control" || word == "child") {
      if (current_form_ == nullptr) return Fail(word + " outside a form");
      current_form_->controls.emplace_back();
      current_ = &current_form_->controls.back();
      return Heading(*current_, true, word == "control");
    }
    for (int t = 0; t < kTypeCount; ++t) {
      if (word != kTypeWord[t]) continue;
      if (current_ == nullptr) return Fail("property outside a kind or form");
      if (current_form_ != nullptr && current_ == current_form_ && !current_form_->controls.empty()) {
        return Fail("a form's properties come before its controls");
      }
      Property p;
      p.type = static_cast<Type>(t);
      if (!Name(p.key, "key")) return false;
      const std::int64_t lo = INT32_MIN, hi = INT32_MAX;
      switch (p.type) {
        case kInt:
          if (!Number(p.numbers[0], lo, hi)) return false;
          break;
        case kSize:
          if (!Number(p.numbers[0], lo, hi) || !Number(p.numbers[1], lo, hi)) return false;
          break;
        case kColour:
          for (auto& n : p.numbers) {
            if (!Number(n, 0, 255)) return false;
          }
          break;
        default:
          if (!Quoted(p.text)) return false;
      }
      for (const Property& q : current_->properties) {
        if (q.type == p.type && q.key == p.key) return Fail("duplicate property " + std::string(kTypeWord[t]));
      }
      current_->properties.push_back(std::move(p));
      return AtEnd() || Fail("unexpected text after the value");
    }
    return Fail("unknown statement \"" + word + "\"");
  }

  std::istringstream in_;
  std::string line_;
  std::size_t pos_ = 0;
  int line_number_ = 0;
  std::string error_;
  Object* current_ = nullptr;
  Object* current_form_ = nullptr;
};

class Writer {
 public:
  std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(200, 0);

  std::uint32_t Allocate(std::size_t size) {
    const auto at = static_cast<std::uint32_t>(bytes.size());
    bytes.resize(bytes.size() + size, 0);
    return at;
  }
  void U32(std::uint32_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  void Name(std::uint32_t at, const std::u16string& name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
      bytes[at + 2 * i] = static_cast<std::uint8_t>(name[i]);
      bytes[at + 2 * i + 1] = static_cast<std::uint8_t>(name[i] >> 8);
    }
  }
  // Links the nodes (offset by name) as a balanced search tree; its root.
  std::uint32_t Tree(std::vector<std::pair<std::u16string, std::uint32_t>> nodes) {
    std::sort(nodes.begin(), nodes.end());
    std::function<std::uint32_t(std::size_t, std::size_t)> build = [&](std::size_t lo,
                                                                       std::size_t hi) -> std::uint32_t {
      if (lo >= hi) return 0;
      const std::size_t mid = lo + (hi - lo) / 2;
      const std::uint32_t node = nodes[mid].second;
      U32(node + 64, build(lo, mid));
      U32(node + 68, build(mid + 1, hi));
      return node;
    };
    return build(0, nodes.size());
  }
};

bool Unique(const std::vector<Object>& list, const char* what, std::string& error) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (list[i].name == list[j].name) {
        error = std::string("duplicate ") + what + " name";
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool Compile(const std::string& source, std::vector<std::uint8_t>& blob, std::string& error) {
  Source src;
  if (!Parser(source).Run(src, error)) return false;
  if (src.name.empty()) {
    error = "the skin has no name (skin \"...\")";
    return false;
  }
  if (!Unique(src.kinds, "kind", error) || !Unique(src.forms, "form", error)) return false;
  for (const Object& form : src.forms) {
    if (!Unique(form.controls, "control", error)) return false;
  }
  std::map<std::u16string, const Object*> kinds;
  for (const Object& kind : src.kinds) kinds[kind.name] = &kind;
  auto check_base = [&](const Object& o) {
    if (!o.base.empty() && kinds.count(o.base) == 0) {
      error = "base names no kind";
      return false;
    }
    return true;
  };
  for (const Object& kind : src.kinds) {
    if (!check_base(kind)) return false;
    // A base chain must end.
    const Object* at = &kind;
    for (std::size_t steps = 0; !at->base.empty(); ++steps) {
      if (steps > src.kinds.size()) {
        error = "the kinds' bases form a cycle";
        return false;
      }
      at = kinds[at->base];
    }
  }
  for (const Object& form : src.forms) {
    if (!check_base(form)) return false;
    for (const Object& control : form.controls) {
      if (!check_base(control)) return false;
    }
  }

  Writer w;
  w.Name(0, src.name);
  for (std::size_t i = 0; i < src.sizes.size(); ++i) {
    w.U32(static_cast<std::uint32_t>(72 + 8 * i), static_cast<std::uint32_t>(src.sizes[i].first));
    w.U32(static_cast<std::uint32_t>(76 + 8 * i), static_cast<std::uint32_t>(src.sizes[i].second));
  }
  // Object nodes first, in source order, so bases can be linked; then each
  // object's value records, in source order.
  for (Object& kind : src.kinds) kind.offset = w.Allocate(108);
  for (Object& form : src.forms) {
    std::size_t declared = 0;
    for (const Object& c : form.controls) declared += c.declared ? 1 : 0;
    form.offset = w.Allocate(108 + 164 * declared);
    for (Object& control : form.controls) control.offset = w.Allocate(108);
  }
  std::map<std::u16string, std::uint32_t> kind_offset;
  for (const Object& kind : src.kinds) kind_offset[kind.name] = kind.offset;
  auto write_object = [&](Object& o) {
    w.Name(o.offset, o.name);
    if (!o.base.empty()) w.U32(o.offset + 72, kind_offset[o.base]);
    std::vector<std::pair<std::u16string, std::uint32_t>> trees[kTypeCount];
    for (Property& p : o.properties) {
      std::size_t size = 72;
      switch (p.type) {
        case kInt:
          size += 4;
          break;
        case kSize:
          size += 8;
          break;
        case kColour:
          size += 12;
          break;
        default:
          size += 4 + 2 * p.text.size();
      }
      p.offset = w.Allocate(size);
      w.Name(p.offset, p.key);
      switch (p.type) {
        case kInt:
          w.U32(p.offset + 72, static_cast<std::uint32_t>(p.numbers[0]));
          break;
        case kSize:
          w.U32(p.offset + 72, static_cast<std::uint32_t>(p.numbers[0]));
          w.U32(p.offset + 76, static_cast<std::uint32_t>(p.numbers[1]));
          break;
        case kColour:
          for (int i = 0; i < 3; ++i) w.U32(p.offset + 72 + 4 * i, static_cast<std::uint32_t>(p.numbers[i]));
          break;
        default:
          w.U32(p.offset + 72, static_cast<std::uint32_t>(p.text.size()));
          w.Name(p.offset + 76, p.text);
      }
      trees[p.type].emplace_back(p.key, p.offset);
    }
    for (int t = 0; t < kTypeCount; ++t) w.U32(o.offset + kTreeField[t], w.Tree(std::move(trees[t])));
  };
  for (Object& kind : src.kinds) write_object(kind);
  for (Object& form : src.forms) {
    write_object(form);
    std::vector<std::pair<std::u16string, std::uint32_t>> children;
    std::uint32_t n = 0;
    for (Object& control : form.controls) {
      write_object(control);
      children.emplace_back(control.name, control.offset);
      if (!control.declared) continue;
      const std::uint32_t record = form.offset + 108 + 164 * n++;
      w.Name(record, control.name);
      if (!control.base.empty()) w.U32(record + 72, kind_offset[control.base]);
      w.Name(record + 100, control.class_name);
    }
    w.U32(form.offset + 100, w.Tree(std::move(children)));
    w.U32(form.offset + 104, n);
  }
  std::vector<std::pair<std::u16string, std::uint32_t>> kind_nodes, form_nodes;
  for (const Object& kind : src.kinds) kind_nodes.emplace_back(kind.name, kind.offset);
  for (const Object& form : src.forms) form_nodes.emplace_back(form.name, form.offset);
  w.U32(64, w.Tree(std::move(form_nodes)));
  w.U32(68, w.Tree(std::move(kind_nodes)));
  blob = std::move(w.bytes);
  return true;
}

namespace {

std::uint32_t Crc32(const std::string& data) {
  static const auto table = [] {
    std::vector<std::uint32_t> t(256);
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char ch : data) crc = table[(crc ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

void Put(std::string& out, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

}  // namespace

std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& members) {
  std::string out;
  std::string directory;
  constexpr std::uint32_t kDate = (0 << 9) | (1 << 5) | 1;  // 1980-01-01
  for (const auto& [name, data] : members) {
    const std::uint32_t crc = Crc32(data);
    const auto size = static_cast<std::uint32_t>(data.size());
    const auto at = static_cast<std::uint32_t>(out.size());
    Put(out, 0x04034b50u, 4);
    Put(out, 10, 2);  // version needed
    Put(out, 0, 2);   // flags
    Put(out, 0, 2);   // stored
    Put(out, 0, 2);   // time
    Put(out, kDate, 2);
    Put(out, crc, 4);
    Put(out, size, 4);
    Put(out, size, 4);
    Put(out, static_cast<std::uint32_t>(name.size()), 2);
    Put(out, 0, 2);
    out += name;
    out += data;

    Put(directory, 0x02014b50u, 4);
    Put(directory, 20, 2);  // made by
    Put(directory, 10, 2);  // needed
    Put(directory, 0, 2);
    Put(directory, 0, 2);
    Put(directory, 0, 2);
    Put(directory, kDate, 2);
    Put(directory, crc, 4);
    Put(directory, size, 4);
    Put(directory, size, 4);
    Put(directory, static_cast<std::uint32_t>(name.size()), 2);
    Put(directory, 0, 2);  // extra
    Put(directory, 0, 2);  // comment
    Put(directory, 0, 2);  // disk
    Put(directory, 0, 2);  // internal attributes
    Put(directory, 0, 4);  // external attributes
    Put(directory, at, 4);
    directory += name;
  }
  const auto directory_at = static_cast<std::uint32_t>(out.size());
  out += directory;
  Put(out, 0x06054b50u, 4);
  Put(out, 0, 2);
  Put(out, 0, 2);
  Put(out, static_cast<std::uint32_t>(members.size()), 2);
  Put(out, static_cast<std::uint32_t>(members.size()), 2);
  Put(out, static_cast<std::uint32_t>(directory.size()), 4);
  Put(out, directory_at, 4);
  Put(out, 0, 2);
  return out;
}

}  // namespace skinc
