// Files over the platform file calls, and the file-system helpers. Every
// path may begin with a macro ("%my_documents%"), expanded before use.
#pragma once

#include <cstdint>
#include <string>

#include "ce/minwindef.h"
#include "liba/nocopy.h"
#include "liba/resource.h"
#include "os/date_time.h"

namespace os {

struct FileImpl {
  HANDLE handle = INVALID_HANDLE_VALUE;
};

class File : private liba::Nocopy, public liba::ResourceReaderWriterBase {
 public:
  // Modes: 0 read an existing file; 1 create (empties an existing file);
  // 2 append (created when missing); anything else read-write from 0.
  File(const std::wstring& path, int mode);
  ~File() override;

  std::uint32_t read(void* buffer, std::uint32_t count) override;
  std::uint32_t skip(std::uint32_t count) override;
  std::uint32_t write(const void* buffer, std::uint32_t count) override;
  std::uint32_t get_size() override;
  std::uint32_t seek(std::uint32_t position) override;
  std::uint32_t tell() override;
  bool set_size(std::uint32_t size);
  bool flush();
  void close();

 private:
  FileImpl impl_;
};

class FileInfo {
 public:
  explicit FileInfo(const std::wstring& path);

  bool exists() const { return attributes != 0xFFFFFFFFu; }
  std::uint32_t get_size() const { return size; }
  const DateTime& get_time() const { return time; }
  // Moves the file; the stored path stays as it was.
  bool rename(const std::wstring& new_path);

  std::wstring path;
  std::uint32_t attributes = 0xFFFFFFFFu;
  std::uint32_t last_error = 0;
  std::uint32_t size = 0;
  DateTime time;
};

// Bytes free to the caller on the volume of the path; 0 on failure.
double get_disk_free_space(const std::wstring& path);
void create_directory(const std::wstring& path);
// Creates every missing folder of the path; existing ones are passed over.
void create_directory_tree(const std::wstring& path);
bool delete_file(const std::wstring& path);

}  // namespace os
