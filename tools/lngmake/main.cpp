// lngmake [--ansi] <source> <output.lng>: writes a language file from UTF-8
// text, as UTF-16LE with the byte-order mark, or with --ansi in the device's
// ANSI code page (Windows-1252); a character that page lacks is an error.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "lng_encode.h"

namespace {

constexpr const char* kUsage =
    "usage: lngmake [--ansi] <source> <output.lng>\n"
    "  writes the UTF-8 source as a language file: UTF-16LE with the byte-order\n"
    "  mark, or with --ansi in the ANSI code page (Windows-1252)\n";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  bool ansi = false;
  if (!args.empty() && args[0] == "--ansi") {
    ansi = true;
    args.erase(args.begin());
  }
  bool bad = args.size() != 2;
  for (const std::string& a : args) bad = bad || a.empty() || a[0] == '-';
  if (bad) {
    std::cerr << kUsage;
    return 2;
  }
  std::ifstream in(args[0], std::ios::binary);
  if (!in) {
    std::cerr << "lngmake: cannot read " << args[0] << "\n";
    return 1;
  }
  const std::string source{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::string output;
  std::string error;
  if (!(ansi ? lngmake::ToAnsi(source, output, error) : lngmake::ToUtf16(source, output, error))) {
    std::cerr << "lngmake: " << args[0] << ": " << error << "\n";
    return 1;
  }
  std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
  out.write(output.data(), static_cast<std::streamsize>(output.size()));
  out.close();
  if (!out) {
    std::cerr << "lngmake: cannot write " << args[1] << "\n";
    return 1;
  }
  return 0;
}
