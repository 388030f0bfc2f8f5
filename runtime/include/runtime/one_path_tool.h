// The command line of a build tool that takes one output path (a folder or
// a file): --help or -h prints the usage on standard output (exit 0); no
// argument, more than one, or an option it does not know prints it on
// standard error (exit 2), so nothing is written under an option's name.
#pragma once

#include <cstdio>
#include <cstring>

namespace toolusage {

// -1 when the command line holds the one path (argv[1]); otherwise the exit
// status the tool ends with, its usage printed.
inline int OnePathArgument(int argc, char** argv, const char* usage) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(usage, stdout);
    return 0;
  }
  if (argc != 2 || argv[1][0] == '-') {
    std::fputs(usage, stderr);
    return 2;
  }
  return -1;
}

}  // namespace toolusage
