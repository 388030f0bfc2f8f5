// Fuzz target for the careers file reader: any accepted file is tamed and
// written back, and the written file reads again to the same careers.
#include <cstdlib>
#include <vector>

#include "fuzz_driver.h"
#include "saves/byte_io.h"
#include "saves/careers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  ks::app::Careers careers;
  if (careers.Deserialise(bytes, nullptr) == ks::app::Careers::Parse::kBad) return 0;
  if (careers.records.size() > ks::app::kMaxCareers) std::abort();
  for (ks::app::CareerRecord& r : careers.records) {
    r.Sanitise();
    if (r.nickname.back() != 0) std::abort();
  }
  const std::vector<std::uint8_t> out = careers.Serialise();
  ks::app::Careers again;
  if (again.Deserialise(out, nullptr) != ks::app::Careers::Parse::kOk) std::abort();
  if (again.Serialise() != out) std::abort();
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  ks::app::Careers careers;
  careers.records.assign(2, ks::app::CareerRecord::Fresh());
  std::vector<std::uint8_t> old(4 + ks::app::kOldCareerRecordSize, 0x31);
  ks::app::PutU32(old.data(), 0, 1);
  return {careers.Serialise(), ks::app::Careers{}.Serialise(), old};
}
