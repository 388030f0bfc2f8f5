// The device's image decompressor library: export number 1 is
// DecompressImageIndirect, which runs on the host program's copy of the
// platform.
#include "ce/imgdecmp.h"

extern "C" __attribute__((visibility("default"))) HRESULT Ordinal_1(DecompressImageInfo* info) {
  return DecompressImageIndirect(info);
}
