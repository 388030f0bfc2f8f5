#include "liba/string_translator.h"

#include <cstdint>

#include "liba/text.h"
#include "os/file.h"

namespace liba {

namespace {

bool is_line_end(wchar_t c) { return c == L'\r' || c == L'\n'; }

// One pass over the decoded text; each line gives at most one entry.
void parse_entries(const std::wstring& text, std::map<std::wstring, std::wstring>& table) {
  const wchar_t* p = text.data();
  const wchar_t* const end = p + text.size();
  std::wstring key;
  while (p != end) {
    p = skip_spaces(p, end);
    if (p == end) break;
    const wchar_t* token_end = p;
    while (token_end != end && !is_space(*token_end)) ++token_end;
    key.assign(p, token_end);
    const wchar_t* value = token_end;
    if (key.size() >= 2 && key[0] == L'/' && key[1] == L'/') {
      key.clear();
    } else if (!key.empty() && key.back() == L'=') {
      key.pop_back();
    } else {
      // A key alone on its line takes the next non-blank line as its value.
      value = skip_spaces(token_end, end);
    }
    p = value;
    while (p != end && !is_line_end(*p)) ++p;
    if (!key.empty()) table[key].assign(value, p);
  }
}

}  // namespace

StringTranslator::StringTranslator(const std::wstring& path) : path_(path) { parse(path); }

bool StringTranslator::parse(const std::wstring& path) {
  os::File file(path, 0);
  if (!file.is_ok()) return false;
  const std::wstring text = read_text_wide(file, 0x7FFFFFFFu);
  if (!file.is_ok()) return false;
  parse_text(text);
  return true;
}

bool StringTranslator::load(const std::wstring& path) {
  StringTranslator fresh;
  if (!fresh.parse(path)) return false;
  table_.swap(fresh.table_);
  return true;
}

void StringTranslator::parse_text(const std::wstring& text) { parse_entries(text, table_); }

const std::wstring& StringTranslator::translate(const std::wstring& key, const std::wstring& fallback) const {
  const auto it = table_.find(key);
  return it == table_.end() ? fallback : it->second;
}

}  // namespace liba
