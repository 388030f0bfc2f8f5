// rescomp: compiles a module's resource script into a C++ source that
// carries the module's resource table (or into the bare table).
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "compiler.h"

namespace {

void Usage(std::FILE* to) {
  std::fprintf(to,
               "usage: rescomp SCRIPT -o OUTPUT.cpp [--table OUTPUT.bin] [-I FOLDER]...\n"
               "Compiles the resource script SCRIPT (format: tools/rescomp/README.md) into a C++\n"
               "source holding the module's resource table. Files the script names are found\n"
               "beside it, then in each FOLDER. --table also writes the bare table.\n");
}

bool Write(const std::string& path, const void* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  std::string script, output, table;
  std::vector<std::string> search;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    }
    if ((arg == "-o" || arg == "--table" || arg == "-I") && i + 1 < argc) {
      const std::string value = argv[++i];
      if (arg == "-o") output = value;
      if (arg == "--table") table = value;
      if (arg == "-I") search.push_back(value);
    } else if (!arg.empty() && arg[0] != '-' && script.empty()) {
      script = arg;
    } else {
      std::fprintf(stderr, "rescomp: unexpected argument \"%s\"\n", arg.c_str());
      Usage(stderr);
      return 2;
    }
  }
  if (script.empty() || (output.empty() && table.empty())) {
    Usage(stderr);
    return 2;
  }
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!rescomp::Compile(script, search, &bytes, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (!output.empty()) {
    const std::string source = rescomp::CppSource(bytes, script.substr(script.find_last_of('/') + 1));
    if (!Write(output, source.data(), source.size())) {
      std::fprintf(stderr, "rescomp: cannot write %s\n", output.c_str());
      return 1;
    }
  }
  if (!table.empty() && !Write(table, bytes.data(), bytes.size())) {
    std::fprintf(stderr, "rescomp: cannot write %s\n", table.c_str());
    return 1;
  }
  return 0;
}
