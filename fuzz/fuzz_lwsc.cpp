// libFuzzer target: lwsc input.
#include <cstdio>
#include <cstdlib>

#include "harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Progress and warnings would drown the fuzzer's own output.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, unsigned long size) {
  if (fuzz::lwscInput(data, size) != 0) std::abort();
  return 0;
}
