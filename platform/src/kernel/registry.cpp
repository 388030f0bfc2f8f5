// The registry calls over the shared store. Each call checks its arguments
// first, then works under the store's mutex on a tree refreshed from the file;
// a change is made in the tree and recorded for the store's write-back.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <optional>

#include "ce/strconv.h"
#include "ce/winreg.h"
#include "kernel/handles.h"
#include "kernel/not_implemented.h"
#include "kernel/backlight.h"
#include "kernel/registry_store.h"

namespace {

using ce::kernel::HandleKind;
using ce::kernel::KernelObject;
using ce::kernel::registry::Change;
using ce::kernel::registry::Key;
using ce::kernel::registry::kMaxDepth;
using ce::kernel::registry::kMaxKeyNameChars;
using ce::kernel::registry::kMaxValueNameChars;
using ce::kernel::registry::kRootCount;
using ce::kernel::registry::Store;
using ce::kernel::registry::Value;

constexpr std::uintptr_t kFirstPredefined = 0x80000000u;

// A key and where it sits: its root and the path below it, which a recorded
// change names it by.
struct KeyRef {
  std::shared_ptr<Key> key;
  std::size_t root = 0;
  std::vector<std::wstring> path;
};

// Open key handles of the process; the last one closed writes back.
std::atomic<long> g_openKeys{0};

class RegistryKeyObject : public KernelObject {
 public:
  explicit RegistryKeyObject(KeyRef ref) : KernelObject(HandleKind::RegistryKey), ref_(std::move(ref)) { ++g_openKeys; }
  ~RegistryKeyObject() override { --g_openKeys; }
  const KeyRef& ref() const { return ref_; }

 private:
  KeyRef ref_;
};

std::optional<std::size_t> PredefinedIndex(HKEY key) {
  const auto value = reinterpret_cast<std::uintptr_t>(key);
  if (value >= kFirstPredefined && value < kFirstPredefined + kRootCount) return value - kFirstPredefined;
  return std::nullopt;
}

// The key behind a handle with its place, for the calls that open or
// change keys; call under the store's mutex after a refresh.
LONG Resolve(const Store& store, HKEY handle, KeyRef& ref) {
  if (const auto index = PredefinedIndex(handle)) {
    ref = KeyRef{store.Root(*index), *index, {}};
    return ERROR_SUCCESS;
  }
  const auto object = ce::kernel::LookupHandleAs<RegistryKeyObject>(handle, HandleKind::RegistryKey);
  if (!object) return ERROR_INVALID_HANDLE;
  if (object->ref().key->deleted) return ERROR_KEY_DELETED;
  ref = object->ref();
  return ERROR_SUCCESS;
}

// The key alone, for the calls that only read (no copy of its path).
LONG ResolveKey(const Store& store, HKEY handle, std::shared_ptr<Key>& key) {
  if (const auto index = PredefinedIndex(handle)) {
    key = store.Root(*index);
    return ERROR_SUCCESS;
  }
  const auto object = ce::kernel::LookupHandleAs<RegistryKeyObject>(handle, HandleKind::RegistryKey);
  if (!object) return ERROR_INVALID_HANDLE;
  if (object->ref().key->deleted) return ERROR_KEY_DELETED;
  key = object->ref().key;
  return ERROR_SUCCESS;
}

// Names are kept as the text the file can hold: characters that are not
// valid Unicode become U+FFFD, so memory and file always agree.
std::wstring Canonical(std::wstring_view name) { return ce::WideFromUtf16(ce::Utf16FromWide(name)); }

// A subkey path split on backslashes, empty components skipped.
LONG SplitPath(LPCWSTR path, std::vector<std::wstring>& parts) {
  if (!path) return ERROR_SUCCESS;
  const std::wstring_view text(path);
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(L'\\', start);
    if (end == std::wstring_view::npos) end = text.size();
    if (end - start > kMaxKeyNameChars) return ERROR_INVALID_PARAMETER;
    if (end > start) parts.push_back(Canonical(text.substr(start, end - start)));
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

LONG CheckValueName(LPCWSTR name, std::wstring& out) {
  if (!name) return ERROR_SUCCESS;
  const std::size_t length = std::wcslen(name);
  if (length > kMaxValueNameChars) return ERROR_INVALID_PARAMETER;
  out = Canonical(std::wstring_view(name, length));
  return ERROR_SUCCESS;
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_LINK || type == REG_MULTI_SZ; }

// The device bytes of text handed in as wchar_t: the count is in UTF-16 bytes
// (two per character), and reading stops after the terminator of a string
// (after the empty string that ends a list), so it never passes a
// terminated string whatever the count says.
std::vector<std::uint8_t> TextFromCaller(const BYTE* data, DWORD byteCount, DWORD type) {
  const std::size_t budget = byteCount / 2;
  std::u16string units;
  units.reserve(budget);
  for (std::size_t i = 0; units.size() < budget; ++i) {
    wchar_t c;
    std::memcpy(&c, data + i * sizeof(wchar_t), sizeof c);
    const bool previousWasZero = !units.empty() && units.back() == 0;
    units += ce::Utf16FromWide(std::wstring_view(&c, 1));
    if (c != 0) continue;
    if (type != REG_MULTI_SZ || previousWasZero) break;
  }
  units.resize(std::min(units.size(), budget));  // a pair cut at the end keeps its first half
  std::vector<std::uint8_t> bytes;
  bytes.reserve(units.size() * 2);
  for (char16_t unit : units) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

// Copies a value's data out under the size rules of the query calls. The
// size reported is the device's (UTF-16 bytes for text). The caller's count is
// the real size of its buffer: text goes out as wchar_t and must fit in it,
// so a wrong-typed value can never overrun, say, a DWORD. When it does not
// fit, the size returned is what this call needs, so a retry with it succeeds.
LONG CopyData(const Value& value, LPBYTE data, LPDWORD dataSize) {
  if (!dataSize) return ERROR_SUCCESS;
  const auto stored = static_cast<DWORD>(value.data.size());
  if (!data) {
    *dataSize = stored;
    return ERROR_SUCCESS;
  }
  if (IsText(value.type)) {
    const std::wstring text = ce::WideFromUtf16LE(value.data.data(), value.data.size() & ~std::size_t{1});
    const std::size_t room = text.size() * sizeof(wchar_t);
    const DWORD needed = static_cast<DWORD>(std::min<std::size_t>(std::max<std::size_t>(room, stored), 0xFFFFFFFFu));
    if (needed > *dataSize) {
      *dataSize = needed;
      return ERROR_MORE_DATA;
    }
    std::memcpy(data, text.data(), room);
  } else {
    if (stored > *dataSize) {
      *dataSize = stored;
      return ERROR_MORE_DATA;
    }
    if (stored > 0) std::memcpy(data, value.data.data(), stored);
  }
  *dataSize = stored;
  return ERROR_SUCCESS;
}

// Copies a name with its terminator into a buffer of *size characters.
LONG CopyName(const std::wstring& name, LPWSTR out, LPDWORD size) {
  if (name.size() + 1 > *size) {
    *size = static_cast<DWORD>(name.size() + 1);
    return ERROR_MORE_DATA;
  }
  std::wmemcpy(out, name.data(), name.size());
  out[name.size()] = L'\0';
  *size = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

template <class Fn>
LONG Reading(Fn&& fn) {
  ce::kernel::backlight::EnsureFilled();
  Store& store = Store::Instance();
  std::lock_guard guard(store.mutex());
  if (const DWORD error = store.Refresh()) return static_cast<LONG>(error);
  return fn(store);
}

LONG NewHandle(KeyRef ref, PHKEY result) {
  HANDLE handle = ce::kernel::InsertHandle(std::make_shared<RegistryKeyObject>(std::move(ref)));
  if (!handle) return ERROR_TOO_MANY_OPEN_FILES;
  *result = static_cast<HKEY>(handle);
  return ERROR_SUCCESS;
}

// Walks as far as the path exists, extending the reference's path; returns
// how many parts were found.
std::size_t Walk(KeyRef& ref, const std::vector<std::wstring>& parts) {
  std::size_t found = 0;
  for (const auto& part : parts) {
    auto child = ce::kernel::registry::FindSubkeyShared(*ref.key, part);
    if (!child) break;
    ref.key = std::move(child);
    ref.path.push_back(part);
    ++found;
  }
  return found;
}

Change MakeChange(Change::Kind kind, const KeyRef& ref) {
  Change change;
  change.kind = kind;
  change.root = ref.root;
  change.path = ref.path;
  return change;
}

}  // namespace

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD /*reserved*/, LPWSTR /*keyClass*/, DWORD options,
                     REGSAM /*desired*/, LPSECURITY_ATTRIBUTES /*security*/, PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  if (options & REG_OPTION_VOLATILE) {
    ce::kernel::NotImplemented("RegCreateKeyExW(REG_OPTION_VOLATILE)");
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
  std::vector<std::wstring> parts;
  if (const LONG error = SplitPath(subKey, parts)) return error;
  return Reading([&](Store& store) -> LONG {
    KeyRef ref;
    if (const LONG error = Resolve(store, key, ref)) return error;
    const std::size_t found = Walk(ref, parts);
    if (found == parts.size()) {
      if (disposition) *disposition = REG_OPENED_EXISTING_KEY;
      return NewHandle(std::move(ref), result);
    }
    if (ref.key->depth + parts.size() - found > kMaxDepth) return ERROR_INVALID_PARAMETER;
    for (std::size_t i = found; i < parts.size(); ++i) {
      auto made = std::make_shared<Key>();
      made->name = parts[i];
      made->depth = ref.key->depth + 1;
      ref.key->subkeys.push_back(made);
      ref.key = std::move(made);
      ref.path.push_back(parts[i]);
    }
    store.Record(MakeChange(Change::Kind::kCreateKey, ref));
    if (disposition) *disposition = REG_CREATED_NEW_KEY;
    return NewHandle(std::move(ref), result);
  });
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD /*options*/, REGSAM /*desired*/, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  std::vector<std::wstring> parts;
  if (const LONG error = SplitPath(subKey, parts)) return error;
  return Reading([&](Store& store) -> LONG {
    KeyRef ref;
    if (const LONG error = Resolve(store, key, ref)) return error;
    if (parts.empty() && PredefinedIndex(key)) {
      *result = key;
      return ERROR_SUCCESS;
    }
    if (Walk(ref, parts) != parts.size()) return ERROR_FILE_NOT_FOUND;
    return NewHandle(std::move(ref), result);
  });
}

LONG RegCloseKey(HKEY key) {
  if (PredefinedIndex(key)) return ERROR_SUCCESS;
  if (!ce::kernel::LookupHandle(key, HandleKind::RegistryKey)) return ERROR_INVALID_HANDLE;
  if (!ce::kernel::RemoveHandle(key)) return ERROR_INVALID_HANDLE;
  // A program that closes its last key is done with the registry for now.
  if (g_openKeys.load() == 0) (void)ce::kernel::registry::FlushPending();
  return ERROR_SUCCESS;
}

LONG RegFlushKey(HKEY key) {
  if (!PredefinedIndex(key) && !ce::kernel::LookupHandle(key, HandleKind::RegistryKey)) return ERROR_INVALID_HANDLE;
  return static_cast<LONG>(ce::kernel::registry::FlushPending());
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD /*reserved*/, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  if (data && !dataSize) return ERROR_INVALID_PARAMETER;
  std::wstring name;
  if (const LONG error = CheckValueName(valueName, name)) return error;
  return Reading([&](Store& store) -> LONG {
    std::shared_ptr<Key> target;
    if (const LONG error = ResolveKey(store, key, target)) return error;
    const Value* value = ce::kernel::registry::FindValue(*target, name);
    if (!value) return ERROR_FILE_NOT_FOUND;
    if (type) *type = value->type;
    return CopyData(*value, data, dataSize);
  });
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE* data, DWORD dataSize) {
  if (!data && dataSize != 0) return ERROR_INVALID_PARAMETER;
  std::wstring name;
  if (const LONG error = CheckValueName(valueName, name)) return error;
  Value incoming;
  incoming.name = name;
  incoming.type = type;
  if (data && IsText(type)) {
    incoming.data = TextFromCaller(data, dataSize, type);
  } else if (data) {
    incoming.data.assign(data, data + dataSize);
  }
  return Reading([&](Store& store) -> LONG {
    KeyRef ref;
    if (const LONG error = Resolve(store, key, ref)) return error;
    if (Value* existing = ce::kernel::registry::FindValue(*ref.key, name)) {
      existing->type = incoming.type;
      existing->data = incoming.data;
    } else {
      ref.key->values.push_back(incoming);
    }
    Change change = MakeChange(Change::Kind::kSetValue, ref);
    change.value = std::move(incoming);
    store.Record(std::move(change));
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  std::wstring name;
  if (const LONG error = CheckValueName(valueName, name)) return error;
  return Reading([&](Store& store) -> LONG {
    KeyRef ref;
    if (const LONG error = Resolve(store, key, ref)) return error;
    auto& values = ref.key->values;
    const auto it =
        std::find_if(values.begin(), values.end(), [&](const Value& v) { return ce::EqualsNoCase(v.name, name); });
    if (it == values.end()) return ERROR_FILE_NOT_FOUND;
    values.erase(it);
    Change change = MakeChange(Change::Kind::kDeleteValue, ref);
    change.value.name = name;
    store.Record(std::move(change));
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
  if (!subKey) return ERROR_INVALID_PARAMETER;
  std::vector<std::wstring> parts;
  if (const LONG error = SplitPath(subKey, parts)) return error;
  if (parts.empty()) return ERROR_INVALID_PARAMETER;  // a key is deleted through its parent
  const std::wstring last = parts.back();
  parts.pop_back();
  return Reading([&](Store& store) -> LONG {
    KeyRef parent;
    if (const LONG error = Resolve(store, key, parent)) return error;
    if (Walk(parent, parts) != parts.size()) return ERROR_FILE_NOT_FOUND;
    auto& subkeys = parent.key->subkeys;
    const auto it = std::find_if(subkeys.begin(), subkeys.end(),
                                 [&](const auto& child) { return ce::EqualsNoCase(child->name, last); });
    if (it == subkeys.end()) return ERROR_FILE_NOT_FOUND;
    const std::shared_ptr<Key> removed = *it;
    subkeys.erase(it);
    Store::MarkDeleted(*removed);
    Change change = MakeChange(Change::Kind::kDeleteKey, parent);
    change.path.push_back(removed->name);
    store.Record(std::move(change));
    return ERROR_SUCCESS;
  });
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD /*reserved*/, LPWSTR keyClass,
                   LPDWORD classSize, PFILETIME lastWriteTime) {
  if (!name || !nameSize) return ERROR_INVALID_PARAMETER;
  return Reading([&](Store& store) -> LONG {
    std::shared_ptr<Key> target;
    if (const LONG error = ResolveKey(store, key, target)) return error;
    if (index >= target->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    if (const LONG error = CopyName(target->subkeys[index]->name, name, nameSize)) return error;
    if (classSize) {
      if (keyClass && *classSize > 0) keyClass[0] = L'\0';
      *classSize = 0;
    }
    if (lastWriteTime) *lastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
  });
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR valueName, LPDWORD valueNameSize, LPDWORD /*reserved*/, LPDWORD type,
                   LPBYTE data, LPDWORD dataSize) {
  if (!valueName || !valueNameSize) return ERROR_INVALID_PARAMETER;
  if (data && !dataSize) return ERROR_INVALID_PARAMETER;
  return Reading([&](Store& store) -> LONG {
    std::shared_ptr<Key> target;
    if (const LONG error = ResolveKey(store, key, target)) return error;
    if (index >= target->values.size()) return ERROR_NO_MORE_ITEMS;
    const Value& value = target->values[index];
    if (const LONG error = CopyName(value.name, valueName, valueNameSize)) return error;
    if (type) *type = value.type;
    return CopyData(value, data, dataSize);
  });
}
