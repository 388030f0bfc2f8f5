// Whole-file reads and writes of the game's saves.
//
// A save is never written over the file it replaces: the bytes go to
// "<name>.new" first, and only when every byte is written does the new file
// take the old one's name (the old file is deleted, then the new one renamed;
// the device's rename does not replace). A program killed while writing
// leaves the old file whole; one killed between the delete and the rename
// leaves the finished "<name>.new", which the reader takes when the save
// itself is missing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ks::app {

enum class SaveRead {
  kOk,       // the bytes are in `out`
  kMissing,  // neither the file nor a finished replacement exists
  kTooLarge  // larger than the reader's limit: not read
};

// Reads the file at `path` (a device path) whole, when it has at most
// `limit` bytes.
SaveRead ReadSaveFile(const std::wstring& path, std::size_t limit, std::vector<std::uint8_t>& out);

// Writes `size` bytes as the new content of `path`; false (the old file
// left as it was) when any step fails.
bool WriteSaveFile(const std::wstring& path, const std::uint8_t* data, std::size_t size);

// Test seam: the next writes stop after this many bytes, as a full store or
// a killed program would (negative: no fault).
void SetSaveWriteLimitForTesting(long long bytes);

// "<folder>\<name>".
std::wstring SavePath(const std::wstring& folder, const wchar_t* name);

}  // namespace ks::app
