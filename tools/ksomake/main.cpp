// ksomake <model.txt> <model.kso>: writes a ".kso" model from its text
// description (see kso_writer.h for the format).
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "kso_writer.h"

namespace {

constexpr const char* kUsage =
    "usage: ksomake <model.txt> <model.kso>\n"
    "  writes a model from its text description\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  if (argc != 3 || argv[1][0] == '-' || argv[2][0] == '-') {
    std::cerr << kUsage;
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "ksomake: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::string text{std::istreambuf_iterator<char>(in), {}};
  ksomake::Model model;
  std::string error;
  if (!ksomake::ParseModel(text, &model, &error)) {
    std::cerr << "ksomake: " << argv[1] << ": " << error << "\n";
    return 1;
  }
  std::vector<std::uint8_t> bytes = ksomake::EncodeModel(model);
  std::string temporary = std::string(argv[2]) + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      std::cerr << "ksomake: cannot write " << temporary << "\n";
      std::remove(temporary.c_str());
      return 1;
    }
  }
  if (std::rename(temporary.c_str(), argv[2]) != 0) {
    std::cerr << "ksomake: cannot write " << argv[2] << "\n";
    std::remove(temporary.c_str());
    return 1;
  }
  return 0;
}
