// A library with resources of its own, for the resource tests: its table
// is compiled in by ks_add_resources; it needs no code.
extern "C" __attribute__((visibility("default"))) int ResourceLibraryVersion() { return 1; }
