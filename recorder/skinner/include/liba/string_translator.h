// The language table: a ".lng" file read into a map of key to text, and
// lookups that fall back to a caller-given default.
#pragma once

#include <map>
#include <string>

namespace liba {

class StringTranslator {
 public:
  StringTranslator() = default;
  // Loads the file as parse() does; a file that cannot be read leaves the
  // table empty.
  explicit StringTranslator(const std::wstring& path);
  virtual ~StringTranslator() = default;

  // Adds the file's entries, replacing the text of keys already there and
  // keeping the others. False, with the table unchanged, when the file could
  // not be opened or read.
  bool parse(const std::wstring& path);
  // Adds the entries of a text already decoded to wide characters.
  void parse_text(const std::wstring& text);
  // Replaces the whole table with the file's entries, as a change of
  // language does: no key of the previous file outlives it. False, with the
  // table unchanged, when the file could not be opened or read.
  bool load(const std::wstring& path);

  // The stored text of the key, or `fallback` itself when the key is absent.
  const std::wstring& translate(const std::wstring& key, const std::wstring& fallback) const;
  // The stored text, or the key itself.
  const std::wstring& translate(const std::wstring& key) const { return translate(key, key); }

  const std::map<std::wstring, std::wstring>& table() const { return table_; }
  const std::wstring& path() const { return path_; }

 protected:
  std::map<std::wstring, std::wstring> table_;
  std::wstring path_;
};

}  // namespace liba
