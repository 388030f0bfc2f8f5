// LoadStringW: string tables in blocks of 16, each string a length then its
// characters, in WCHAR units.
#include <cstring>

#include "resources/resource_table.h"

using namespace ce::resources;

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax) {
  if (!buffer || bufferMax < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const WCHAR* text = nullptr;
  std::size_t length = 0;
  if (const auto table = TableOf(instance); table && id <= 0xFFFF) {
    if (const auto block = table->Get(RT_STRING, MAKEINTRESOURCEW(id / 16 + 1))) {
      constexpr std::size_t kUnit = sizeof(WCHAR);
      std::size_t at = 0;
      for (UINT i = 0;; ++i) {
        if (block->size() < kUnit || at > block->size() - kUnit) break;  // cut short
        const std::uint32_t count = U32At(*block, at);
        at += kUnit;
        if (count > (block->size() - at) / kUnit) break;  // a length past the block's end
        if (i == id % 16) {
          text = reinterpret_cast<const WCHAR*>(block->data() + at);
          length = count;
          break;
        }
        at += std::size_t{count} * kUnit;
      }
      if (!text) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    }
  }
  if (bufferMax == 0) {
    // The read-only form: a pointer to the text in the module.
    const WCHAR* pointer = length ? text : nullptr;
    std::memcpy(buffer, &pointer, sizeof pointer);
    return static_cast<int>(length);
  }
  const std::size_t copied = std::min<std::size_t>(length, static_cast<std::size_t>(bufferMax) - 1);
  if (copied) std::memcpy(buffer, text, copied * sizeof(WCHAR));
  buffer[copied] = L'\0';
  return static_cast<int>(copied);
}
