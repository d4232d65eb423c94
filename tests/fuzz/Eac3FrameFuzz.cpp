// E-AC-3 headers: parse_ac3_plus_frame with its tree, AC3PlusValidFramePoint and
// GetAC3PlusESPackLength.

#include "fuzz/FrameFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  corvane::fuzz::FuzzFrame<corvane::TAC3PlusKind>(Data, Size);
  return 0;
}
