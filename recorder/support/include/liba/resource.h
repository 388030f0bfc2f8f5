// Random-access reader and writer interfaces. Counts, sizes and positions
// are unsigned 32-bit byte values.
#pragma once

#include <cstdint>

#include "liba/error.h"

namespace liba {

class StreamReader : public ErrorBase {
 public:
  // Bytes read; fewer than asked at the end of the data, 0 on failure.
  virtual std::uint32_t read(void* buffer, std::uint32_t count) = 0;
  // Distance actually moved forward.
  virtual std::uint32_t skip(std::uint32_t count) = 0;
};

class ResourceReader : public StreamReader {
 public:
  virtual std::uint32_t get_size() = 0;
  virtual std::uint32_t seek(std::uint32_t position) = 0;
  virtual std::uint32_t tell() = 0;
};

class StreamWriter : public ErrorBase {
 public:
  virtual std::uint32_t write(const void* buffer, std::uint32_t count) = 0;
};

class ResourceWriter : public StreamWriter {
 public:
  virtual std::uint32_t get_size() = 0;
  virtual std::uint32_t seek(std::uint32_t position) = 0;
  virtual std::uint32_t tell() = 0;
};

// Both sides over one object, with one effective error list: the writer
// side adds to and tests the reader side's list.
class ResourceReaderWriterBase : public ResourceReader, public ResourceWriter {
 public:
  // Overrides the slot of both sides, so the writer side fails the object too.
  void add_error(const std::wstring& message) override { ResourceReader::errors.push_back(message); }
  bool is_ok() const { return ResourceReader::is_ok(); }
  const std::vector<std::wstring>& error_list() const { return ResourceReader::errors; }
  ResourceReader& reader() { return *this; }
  ResourceWriter& writer() { return *this; }
};

}  // namespace liba
