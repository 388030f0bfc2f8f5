// Module resource tables under mutation: the table's directory, and the
// string blocks, bitmaps, icon groups and pictures and accelerator tables
// read from it, must be refused or read within their bytes. Seeded with the
// table of the resource tests' program, compiled into this driver.
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "fuzz_driver.h"
#include "kernel/module.h"
#include "resources/dib.h"
#include "resources/resource_table.h"

using namespace ce::resources;

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  const auto* own = static_cast<const ModuleResources*>(ce::kernel::ModuleOwnSymbol(nullptr, "ce_module_resources"));
  if (!own) return {};
  return {std::vector<std::uint8_t>(own->table, own->table + own->size)};
}

std::vector<std::string> KsFuzzDictionary() { return {"KSRT", std::string("\xFF\xFF", 2), std::string("\x80", 1)}; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The table as a module holds it: aligned, as the compiler lays it out.
  std::vector<std::uint64_t> aligned((size + 7) / 8);
  if (size) std::memcpy(aligned.data(), data, size);
  const auto table = Table::Parse({reinterpret_cast<const std::uint8_t*>(aligned.data()), size});
  if (!table) return 0;
  volatile std::uint32_t sink = 0;
  for (WORD block = 1; block <= 3; ++block) {
    if (auto bytes = table->Get(RT_STRING, MAKEINTRESOURCEW(block))) {
      for (unsigned i = 0; i < 16; ++i) {
        if (auto text = StringInBlock(*bytes, i)) {
          for (WCHAR c : *text) sink = sink + static_cast<std::uint32_t>(c);
        }
      }
    }
  }
  if (auto bytes = table->Get(RT_BITMAP, MAKEINTRESOURCEW(110))) {
    if (auto dib = ReadDib(*bytes, false)) {
      if (dib->header.biCompression == BI_RGB) sink = sink + DibPixel(*dib, dib->width - 1, dib->height - 1).rgbRed;
    }
  }
  for (LPCWSTR name : std::initializer_list<LPCWSTR>{MAKEINTRESOURCEW(106), L"Named"}) {
    if (auto group = table->Get(RT_GROUP_ICON, name)) {
      for (int side : {0, 16, 32}) {
        const auto choice = ChooseIconPicture(*group, side, side);
        if (!choice) continue;
        if (auto picture = table->Get(RT_ICON, MAKEINTRESOURCEW(choice->id))) {
          if (auto dib = ReadDib(*picture, true)) {
            sink = sink + DibPixel(*dib, dib->width - 1, 0).rgbBlue + DibMaskSet(*dib, 0, dib->height - 1);
          }
        }
      }
    }
  }
  if (auto bytes = table->Get(RT_ACCELERATOR, MAKEINTRESOURCEW(3))) {
    if (auto entries = ParseAccelerators(*bytes)) sink = sink + static_cast<std::uint32_t>(entries->size());
  }
  return 0;
}
