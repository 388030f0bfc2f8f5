// Helpers for the WAV tests: the file builders, device and host file access,
// sample blocks and a consumer that collects what it gets.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/blocks.h"
#include "audio/link.h"
#include "ce/testing.h"
#include "os/file.h"
#include "wav_fixtures.h"

namespace wav_test {

// A device path of the test's own in "My Documents", so the tests of one
// program never see each other's files.
inline std::wstring TestPath(const std::string& suffix = ".wav") {
  const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
  return L"%my_documents%/" + std::wstring(name.begin(), name.end());
}

// The host path of that file, for the command-line tools and for reading a
// file that a writer holds open.
inline std::string TestHostPath(const std::string& suffix = ".wav") {
  os::create_directory(L"%my_documents%");
  return ce::testing::DeviceRoot() + "/My Documents/" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
}

inline std::string ReadHostFile(const std::string& host_path) {
  std::ifstream in(host_path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Command-line tools that make or check fixtures; a test skips what needs
// a missing one.
inline bool HasTool(const std::string& tool) {
  return std::system(("command -v " + tool + " > /dev/null 2>&1").c_str()) == 0;
}

inline bool RunTool(const std::string& command) { return std::system((command + " > /dev/null 2>&1").c_str()) == 0; }

inline void WriteHostFile(const std::string& host_path, const std::string& bytes) {
  std::ofstream out(host_path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A host path quoted for the shell.
inline std::string Quote(const std::string& path) { return "'" + path + "'"; }

inline void WriteFile(const std::wstring& path, const std::string& bytes) {
  os::File f(path, 1);
  f.write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

inline std::string ReadFile(const std::wstring& path) {
  os::File f(path, 0);
  std::string bytes(f.get_size(), '\0');
  if (!bytes.empty()) bytes.resize(f.read(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
  return bytes;
}

inline bool Exists(const std::wstring& path) { return os::File(path, 0).is_ok(); }

// Bytes counting up (mod 251), so any shifted or lost byte shows.
inline std::string Ramp(std::size_t n, std::size_t start = 0) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((start + i) % 251);
  return s;
}

// Byte strings compared with a short report: the sizes and the first
// offset where they differ.
inline ::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                       << " were expected; first difference at offset " << at;
}

inline audio::PCMData PCMBlock(const std::string& bytes, std::uint32_t channels = 1, std::uint32_t bits = 16,
                               std::uint32_t rate = 8000) {
  return audio::PCMData(audio::SharedBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size())), channels, bits,
                        rate);
}

// 16-bit little-endian samples of a sine, interleaved over the channels.
inline std::string Sine(std::size_t frames, std::uint32_t channels, double hz, std::uint32_t rate) {
  std::string s;
  for (std::size_t i = 0; i < frames; ++i) {
    const auto v = static_cast<std::int16_t>(std::lround(12000.0 * std::sin(6.283185307179586 * hz * i / rate)));
    for (std::uint32_t c = 0; c < channels; ++c) Put16(s, static_cast<std::uint16_t>(v));
  }
  return s;
}

inline std::string Bytes(const audio::SharedBuffer& b) {
  return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

// Collects every block pushed into it.
template <typename T>
struct Sink : audio::Consumer<T> {
  void on_data(const T& block) override {
    bytes += Bytes(block.buffer);
    blocks.push_back(block);
  }
  std::string bytes;
  std::vector<T> blocks;
};

}  // namespace wav_test
