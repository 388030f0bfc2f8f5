// Reads one member of a ZIP archive whose members are stored uncompressed.
// The local headers are walked from the start; the central directory is
// never read.
#pragma once

#include <cstdint>
#include <string>

#include "liba/resource.h"
#include "os/file.h"

namespace liba {

class ZipFile : public ResourceReaderWriterBase {
 public:
  explicit ZipFile(const std::wstring& path);

  // Selects the first member whose name equals `name` as paths do (case and
  // one trailing separator ignored).
  bool find_entry(const std::wstring& name);
  // Selects the next member; its name, or "" at the end of what can be read.
  std::wstring next_entry();
  static std::wstring decode_name(const char* begin, const char* end);
  // False also when the archive itself could not be opened (the failure is
  // kept in the inner file's list, not added to this one).
  bool is_ok() const { return ResourceReaderWriterBase::is_ok() && file_.is_ok(); }

  std::uint32_t read(void* buffer, std::uint32_t count) override;
  std::uint32_t skip(std::uint32_t count) override;
  std::uint32_t write(const void* buffer, std::uint32_t count) override;
  std::uint32_t get_size() override { return member_size_; }
  std::uint32_t seek(std::uint32_t position) override;
  std::uint32_t tell() override { return position_; }

 private:
  os::File file_;
  std::uint32_t next_header_ = 0;
  std::uint32_t position_ = 0;
  std::uint32_t data_start_ = 0;
  std::uint32_t member_size_ = 0;
};

}  // namespace liba
