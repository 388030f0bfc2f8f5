// FindResourceW and its companions over a module's compiled table.
#include "resources/resource_table.h"

using ce::resources::TableOf;

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
  if (!name || !type) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const auto table = TableOf(module);
  return table ? table->Find(type, name) : nullptr;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
  const auto table = TableOf(module);
  if (!table) return nullptr;
  const auto data = table->Data(resource);
  if (!data) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // An empty resource still has an address inside the table.
  return const_cast<std::uint8_t*>(data->data());
}

LPVOID LockResource(HGLOBAL resourceData) { return resourceData; }

DWORD SizeofResource(HMODULE module, HRSRC resource) {
  const auto table = TableOf(module);
  if (!table) return 0;
  const auto data = table->Data(resource);
  if (!data) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return static_cast<DWORD>(data->size());
}
