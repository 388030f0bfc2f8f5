// Directory scanning with callbacks, and the storage-card list.
#pragma once

#include <string>

#include "ce/minwindef.h"
#include "liba/nocopy.h"

namespace os {

// Closes an open search handle when it goes.
class FindHandle : private liba::Nocopy {
 public:
  explicit FindHandle(HANDLE handle) : handle(handle) {}
  ~FindHandle();
  HANDLE handle;
};

class Finder {
 public:
  // Return false to end the whole scan.
  virtual bool on_file(const std::wstring& path);
  virtual bool on_directory(const std::wstring& path);
  virtual ~Finder() = default;

  // Files of `dir` matching `file_mask`, then its folders matching
  // `dir_mask` (each followed by its own scan when `recursive`).
  static bool find(Finder& finder, const std::wstring& dir, const std::wstring& file_mask, const std::wstring& dir_mask,
                   bool recursive);
  // The storage cards' mount folders, except one that holds the documents.
  static bool find_drives(Finder& finder);
};

}  // namespace os
