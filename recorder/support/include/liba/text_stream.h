// Wide-text output streams.
#pragma once

#include <string>

namespace liba {

template <typename Char>
class TextOStream {
 public:
  virtual ~TextOStream() = default;
  virtual void write(const Char* begin, const Char* end) = 0;
  virtual void flush() = 0;
};

// Discards everything.
template <typename Char>
class TextOStreamEmpty : public TextOStream<Char> {
 public:
  void write(const Char*, const Char*) override {}
  void flush() override {}
};

TextOStream<wchar_t>& operator<<(TextOStream<wchar_t>& stream, const wchar_t* text);
TextOStream<wchar_t>& operator<<(TextOStream<wchar_t>& stream, const std::wstring& text);

}  // namespace liba
