#include "resources/resource_table.h"

#include <cwctype>

#include "kernel/module.h"

namespace ce::resources {
namespace {

constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kEntrySize = 16;
constexpr std::uint32_t kTextKey = 0x80000000u;

}  // namespace

std::optional<Table> Table::Parse(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kHeaderSize || bytes.size() > 0x7FFFFFFF) return std::nullopt;
  if (bytes[0] != 'K' || bytes[1] != 'S' || bytes[2] != 'R' || bytes[3] != 'T') return std::nullopt;
  if (U32At(bytes, 4) != 1 || U32At(bytes, 8) != bytes.size()) return std::nullopt;
  const std::uint32_t count = U32At(bytes, 12);
  if (count > (bytes.size() - kHeaderSize) / kEntrySize) return std::nullopt;
  const std::size_t directoryEnd = kHeaderSize + std::size_t{count} * kEntrySize;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t at = kHeaderSize + std::size_t{i} * kEntrySize;
    for (std::size_t k = 0; k < 2; ++k) {
      const std::uint32_t key = U32At(bytes, at + 4 * k);
      if (key & kTextKey) {
        const std::size_t text = key & ~kTextKey;
        if (text % 4 || text < directoryEnd || text > bytes.size() - 4) return std::nullopt;
        const std::uint32_t length = U32At(bytes, text);
        if (length == 0 || length > (bytes.size() - text - 4) / 4) return std::nullopt;
      } else if (key == 0 || key > 0xFFFF) {
        return std::nullopt;
      }
    }
    const std::uint32_t offset = U32At(bytes, at + 8);
    const std::uint32_t size = U32At(bytes, at + 12);
    if (offset % 8 || offset < directoryEnd || offset > bytes.size() || size > bytes.size() - offset) {
      return std::nullopt;
    }
  }
  return Table(bytes, count);
}

bool Table::KeyMatches(std::uint32_t key, LPCWSTR wanted) const {
  if (IS_INTRESOURCE(wanted)) return !(key & kTextKey) && key == reinterpret_cast<ULONG_PTR>(wanted);
  if (wanted[0] == L'#') {
    // "#123" names the number 123.
    std::uint32_t number = 0;
    const WCHAR* digit = wanted + 1;
    for (; *digit >= L'0' && *digit <= L'9' && number <= 0xFFFF; ++digit) number = number * 10 + (*digit - L'0');
    if (digit != wanted + 1 && *digit == 0 && number >= 1 && number <= 0xFFFF)
      return !(key & kTextKey) && key == number;
  }
  if (!(key & kTextKey)) return false;
  const std::size_t at = key & ~kTextKey;
  const std::uint32_t length = U32At(bytes_, at);
  for (std::uint32_t i = 0; i < length; ++i) {
    if (wanted[i] == 0) return false;
    const auto stored = static_cast<wint_t>(U32At(bytes_, at + 4 + 4 * std::size_t{i}));
    if (std::towupper(stored) != std::towupper(static_cast<wint_t>(wanted[i]))) return false;
  }
  return wanted[length] == 0;
}

HRSRC Table::Find(LPCWSTR type, LPCWSTR name) const {
  bool typeSeen = false;
  for (std::uint32_t i = 0; i < count_; ++i) {
    const std::size_t at = kHeaderSize + std::size_t{i} * kEntrySize;
    if (!KeyMatches(U32At(bytes_, at), type)) continue;
    typeSeen = true;
    if (KeyMatches(U32At(bytes_, at + 4), name)) {
      return reinterpret_cast<HRSRC>(const_cast<std::uint8_t*>(bytes_.data() + at));
    }
  }
  SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

std::optional<std::span<const std::uint8_t>> Table::Data(HRSRC entry) const {
  const auto address = reinterpret_cast<std::uintptr_t>(entry);
  const auto first = reinterpret_cast<std::uintptr_t>(bytes_.data()) + kHeaderSize;
  if (address < first || (address - first) % kEntrySize || (address - first) / kEntrySize >= count_) {
    return std::nullopt;
  }
  const std::size_t at = address - reinterpret_cast<std::uintptr_t>(bytes_.data());
  return bytes_.subspan(U32At(bytes_, at + 8), U32At(bytes_, at + 12));
}

std::optional<std::span<const std::uint8_t>> Table::Get(LPCWSTR type, LPCWSTR name) const {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  HRSRC entry = Find(type, name);
  if (!entry) return std::nullopt;
  return Data(entry);
}

std::optional<std::span<const std::uint8_t>> Table::First(LPCWSTR type) const {
  for (std::uint32_t i = 0; i < count_; ++i) {
    const std::size_t at = kHeaderSize + std::size_t{i} * kEntrySize;
    if (KeyMatches(U32At(bytes_, at), type)) {
      return Data(reinterpret_cast<HRSRC>(const_cast<std::uint8_t*>(bytes_.data() + at)));
    }
  }
  SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  return std::nullopt;
}

std::optional<Table> TableOf(HMODULE module) {
  const auto* symbol = static_cast<const ModuleResources*>(ce::kernel::ModuleOwnSymbol(module, "ce_module_resources"));
  std::optional<Table> table;
  if (symbol && symbol->table) table = Table::Parse({symbol->table, symbol->size});
  if (!table) SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
  return table;
}

}  // namespace ce::resources
