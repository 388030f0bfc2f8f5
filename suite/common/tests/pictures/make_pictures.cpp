// Writes the pictures of the common library's test resources into the
// folder named on the command line.
#include <fstream>
#include <iostream>
#include <string>

#include "bmp_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: suite_test_pictures OUTPUT_FOLDER\n";
    return 2;
  }
  std::ofstream out(std::string(argv[1]) + "/tile.bmp", std::ios::binary);
  out << suite_test::MakeBmp(6, 3, 10, 200, 30);
  return out.good() ? 0 : 1;
}
