// A small library for the module tests: a named export and an export by
// ordinal, spelled as host libraries spell ordinals. Both have the shape of
// FARPROC so the tests call them without a cast. Its entry point keeps the
// handle it was attached with.
#include <cstdint>

namespace {
void* g_attachedAs = nullptr;
}

extern "C" {

__attribute__((visibility("default"))) int DllMain(void* module, std::uint32_t reason, void* /*reserved*/) {
  if (reason == 1) g_attachedAs = module;
  return 1;
}
__attribute__((visibility("default"))) std::intptr_t SampleAnswer() { return 42; }
__attribute__((visibility("default"))) std::intptr_t SampleAttachedAs() {
  return reinterpret_cast<std::intptr_t>(g_attachedAs);
}
__attribute__((visibility("default"))) std::intptr_t Ordinal_7() { return 7; }
}
