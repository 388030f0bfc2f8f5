// The ".ark" directory and member reads, streamed and preloaded.
#include <cstring>

#include "ark_writer.h"
#include "fuzz_common.h"
#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  // Ask for the first entry's name as well as fixed ones.
  std::wstring first = L"a.bin";
  if (size >= 12 + 32) {
    first.clear();
    for (std::size_t i = 12; i < 12 + 31 && data[i] != 0; ++i) first += static_cast<wchar_t>(data[i]);
  }
  for (bool preload : {false, true}) {
    ssMemoryArchive archive(preload);
    archive.AddFile(L"\\x.ark", bytes);
    for (const std::wstring& name : {first, std::wstring(L"b.bin"), first}) {
      auto member = archive.OpenFile(name.c_str(), L"", L"x.ark", kFileModeRead, 3);
      if (!member) continue;
      std::uint8_t buffer[64];
      member->Read(buffer, sizeof buffer);
      member->Seek(-7, kSeekEnd);
      member->Read(buffer, sizeof buffer);
      member->Seek(static_cast<std::int32_t>(member->GetSize() / 2), kSeekBegin);
      member->Read(buffer, 3);
      member->Seek(-0x7FFFFFFF, kSeekCurrent);
      member->Read(buffer, sizeof buffer);
      member->Seek(0x7FFFFFFF, kSeekCurrent);
      member->Read(buffer, sizeof buffer);
    }
  }
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  std::string error;
  std::vector<std::uint8_t> big(300);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i);
  return {arkpack::BuildArchive({{"a.bin", {1, 2, 3, 4, 5}}, {"b.bin", big}}, &error),
          arkpack::BuildArchive({{"a.bin", {}}}, &error), arkpack::BuildArchive({}, &error)};
}
