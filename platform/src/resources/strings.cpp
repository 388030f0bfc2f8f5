// LoadStringW: string tables in blocks of 16, each string a length then its
// characters, in WCHAR units.
#include <algorithm>
#include <cstring>

#include "resources/resource_table.h"

namespace ce::resources {

std::optional<std::span<const WCHAR>> StringInBlock(std::span<const std::uint8_t> block, unsigned index) {
  constexpr std::size_t kUnit = sizeof(WCHAR);
  std::size_t at = 0;
  for (unsigned i = 0; i < 16; ++i) {
    if (block.size() < kUnit || at > block.size() - kUnit) return std::nullopt;  // cut short
    const std::uint32_t count = U32At(block, at);
    at += kUnit;
    if (count > (block.size() - at) / kUnit) return std::nullopt;  // a length past the block's end
    if (i == index) return std::span<const WCHAR>(reinterpret_cast<const WCHAR*>(block.data() + at), count);
    at += std::size_t{count} * kUnit;
  }
  return std::nullopt;
}

}  // namespace ce::resources

using namespace ce::resources;

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax) {
  if (!buffer || bufferMax < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::span<const WCHAR> text;
  if (const auto table = TableOf(instance); table && id <= 0xFFFF) {
    if (const auto block = table->Get(RT_STRING, MAKEINTRESOURCEW(id / 16 + 1))) {
      if (const auto found = StringInBlock(*block, id % 16)) {
        text = *found;
      } else {
        SetLastError(ERROR_INVALID_DATA);
      }
    }
  }
  if (bufferMax == 0) {
    // The read-only form: a pointer to the text in the module.
    const WCHAR* pointer = text.empty() ? nullptr : text.data();
    std::memcpy(buffer, &pointer, sizeof pointer);
    return static_cast<int>(text.size());
  }
  const std::size_t copied = std::min<std::size_t>(text.size(), static_cast<std::size_t>(bufferMax) - 1);
  if (copied) std::memcpy(buffer, text.data(), copied * sizeof(WCHAR));
  buffer[copied] = L'\0';
  return static_cast<int>(copied);
}
