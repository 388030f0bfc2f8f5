// A small library for the module tests: a named export and an export by
// ordinal, spelled as host libraries spell ordinals. Both have the shape of
// FARPROC so the tests call them without a cast.
#include <cstdint>

extern "C" {

__attribute__((visibility("default"))) std::intptr_t SampleAnswer() { return 42; }
__attribute__((visibility("default"))) std::intptr_t Ordinal_7() { return 7; }
}
