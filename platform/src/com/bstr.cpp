// BSTR storage: a 32-bit byte count, the characters, a terminator. The
// count sits directly before the pointer the caller holds.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>

#include "ce/oleauto.h"

namespace {

constexpr std::size_t kPrefix = sizeof(std::uint32_t);

std::uint32_t* Header(BSTR text) {
  return reinterpret_cast<std::uint32_t*>(reinterpret_cast<unsigned char*>(text) - kPrefix);
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  // The byte count must fit the 32-bit prefix.
  if (length > (std::numeric_limits<std::uint32_t>::max() - kPrefix) / sizeof(OLECHAR) - 1) return nullptr;
  const std::size_t bytes = std::size_t{length} * sizeof(OLECHAR);
  auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  const auto count = static_cast<std::uint32_t>(bytes);
  std::memcpy(block, &count, kPrefix);
  auto* chars = reinterpret_cast<OLECHAR*>(block + kPrefix);
  if (text != nullptr) {
    std::memcpy(chars, text, bytes);
  } else {
    std::memset(chars, 0, bytes);
  }
  chars[length] = L'\0';
  return chars;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  const std::size_t length = std::wcslen(text);
  if (length > std::numeric_limits<UINT>::max()) return nullptr;
  return SysAllocStringLen(text, static_cast<UINT>(length));
}

INT SysReAllocString(BSTR* target, const OLECHAR* text) {
  if (target == nullptr) return FALSE;
  BSTR copy = nullptr;
  if (text != nullptr) {
    copy = SysAllocString(text);
    if (copy == nullptr) return FALSE;
  }
  SysFreeString(*target);
  *target = copy;
  return TRUE;
}

void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(Header(text));
}

UINT SysStringByteLen(BSTR text) {
  if (text == nullptr) return 0;
  std::uint32_t count = 0;
  std::memcpy(&count, Header(text), kPrefix);
  return count;
}

UINT SysStringLen(BSTR text) { return SysStringByteLen(text) / sizeof(OLECHAR); }
