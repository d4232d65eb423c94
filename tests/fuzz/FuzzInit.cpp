// The start-up every fuzz target shares, linked into each of them.

#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  corvane::fuzz::QuietDebugChannel();
  return 0;
}
