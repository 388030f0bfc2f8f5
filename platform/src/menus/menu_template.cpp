// Menus from the standard menu template: a four-byte header (a WORD
// version, 0, and a WORD count of header bytes to skip before the items),
// then the items in order. Each item is a WORD of MF_ flags, a WORD command
// unless MF_POPUP is set, and its text, NUL-terminated UTF-16; an item
// without flags, command or text is a separator. A popup's items follow it;
// MF_END on an item closes its level. Little-endian, WORD-aligned.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ce/winbase.h"
#include "ce/winuser.h"
#include "kernel/not_implemented.h"
#include "menus/menus.h"

namespace {

constexpr int kMaxDepth = 16;
constexpr WORD kHelp = 0x4000;  // MF_HELP: a right-justified item, drawn as any other here

class Reader {
 public:
  Reader(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
  bool Word(WORD* out) {
    if (size_ - at_ < 2) return false;
    *out = static_cast<WORD>(bytes_[at_] | (bytes_[at_ + 1] << 8));
    at_ += 2;
    return true;
  }
  bool Text(std::wstring* out) {
    out->clear();
    for (WORD c = 0;;) {
      if (!Word(&c)) return false;
      if (c == 0) return true;
      out->push_back(static_cast<wchar_t>(c));
    }
  }
  bool Skip(std::size_t n) {
    if (size_ - at_ < n) return false;
    at_ += n;
    return true;
  }

 private:
  const std::uint8_t* bytes_;
  std::size_t size_;
  std::size_t at_ = 0;
};

constexpr WORD kKnownOptions = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_END | MF_SEPARATOR |
                               MF_MENUBARBREAK | MF_MENUBREAK | MF_BITMAP | MF_OWNERDRAW | kHelp;

// Reads one level's items into `menu`, up to and including the item with
// MF_END. False when the bytes end first or an item is not valid.
bool ReadLevel(Reader& in, HMENU menu, int depth) {
  if (depth > kMaxDepth) return false;
  for (;;) {
    WORD options = 0;
    if (!in.Word(&options) || (options & ~kKnownOptions)) return false;
    if (options & (MF_BITMAP | MF_OWNERDRAW)) return false;
    WORD id = 0;
    if (!(options & MF_POPUP) && !in.Word(&id)) return false;
    std::wstring text;
    if (!in.Text(&text)) return false;
    const UINT state = options & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
    if (options & MF_POPUP) {
      HMENU sub = CreatePopupMenu();
      if (!sub) return false;
      if (!ReadLevel(in, sub, depth + 1) ||
          !AppendMenuW(menu, MF_POPUP | state, reinterpret_cast<UINT_PTR>(sub), text.c_str())) {
        DestroyMenu(sub);
        return false;
      }
    } else if ((options & MF_SEPARATOR) || (id == 0 && text.empty() && !(options & ~MF_END))) {
      if (!AppendMenuW(menu, MF_SEPARATOR, 0, nullptr)) return false;
    } else if (!AppendMenuW(menu, MF_STRING | state, id, text.c_str())) {
      return false;
    }
    if (options & MF_END) return true;
  }
}

}  // namespace

namespace ce::menus {

HMENU MenuFromTemplate(const void* bytes, std::size_t size) {
  if (!bytes) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Reader in(static_cast<const std::uint8_t*>(bytes), size);
  WORD version = 0;
  WORD offset = 0;
  if (!in.Word(&version) || !in.Word(&offset)) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  if (version != 0) {
    ce::kernel::NotImplemented("extended menu templates");
    return nullptr;
  }
  HMENU menu = CreateMenu();
  if (!menu) return nullptr;
  if (!in.Skip(offset) || !ReadLevel(in, menu, 0)) {
    DestroyMenu(menu);
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  return menu;
}

}  // namespace ce::menus

HMENU LoadMenuIndirectW(const void* menuTemplate) {
  // The caller vouches for the template's extent: it is read as far as its
  // own items reach and no further.
  return ce::menus::MenuFromTemplate(menuTemplate, static_cast<std::size_t>(-1) / 2);
}

HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name) {
  // The module's RT_MENU resource holds the template; it is read within the
  // resource's own size.
  HRSRC found = FindResourceW(instance, name, RT_MENU);
  if (!found) return nullptr;
  HGLOBAL loaded = LoadResource(instance, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return nullptr;
  return ce::menus::MenuFromTemplate(bytes, SizeofResource(instance, found));
}
