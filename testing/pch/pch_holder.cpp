// The program that builds the test programs' precompiled header (test_pch.h)
// for them to reuse; it is never run.
int main() { return 0; }
