// skinc [--bare] <source.txt> <output> [file...]: compiles a skin source into
// the compiled skin and writes it as a stored ZIP whose first member is
// "<source title>.skin", followed by the named files (pictures) under their
// file names; with --bare, the compiled skin alone.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "skin_compiler.h"

namespace {

constexpr const char* kUsage =
    "usage: skinc [--bare] <source> <output> [file...]\n"
    "  compiles the skin source and writes a stored ZIP holding <source title>.skin\n"
    "  and the given files; --bare writes the compiled skin alone\n";

bool ReadFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  bool bare = false;
  if (!args.empty() && args[0] == "--bare") {
    bare = true;
    args.erase(args.begin());
  }
  bool bad = args.size() < 2 || (bare && args.size() != 2);
  for (const std::string& a : args) bad = bad || a.empty() || a[0] == '-';
  if (bad) {
    std::cerr << kUsage;
    return 2;
  }
  std::string source;
  if (!ReadFile(args[0], source)) {
    std::cerr << "skinc: cannot read " << args[0] << "\n";
    return 1;
  }
  std::vector<std::uint8_t> blob;
  std::string error;
  if (!skinc::Compile(source, blob, error)) {
    std::cerr << "skinc: " << args[0] << ": " << error << "\n";
    return 1;
  }
  std::string output(blob.begin(), blob.end());
  if (!bare) {
    std::vector<std::pair<std::string, std::string>> members;
    members.emplace_back(std::filesystem::path(args[0]).stem().string() + ".skin", output);
    for (std::size_t i = 2; i < args.size(); ++i) {
      std::string data;
      if (!ReadFile(args[i], data)) {
        std::cerr << "skinc: cannot read " << args[i] << "\n";
        return 1;
      }
      members.emplace_back(std::filesystem::path(args[i]).filename().string(), data);
    }
    output = skinc::StoredZip(members);
  }
  std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
  out.write(output.data(), static_cast<std::streamsize>(output.size()));
  out.close();
  if (!out) {
    std::cerr << "skinc: cannot write " << args[1] << "\n";
    return 1;
  }
  return 0;
}
