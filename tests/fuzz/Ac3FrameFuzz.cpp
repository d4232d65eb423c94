// AC-3 headers: parse_ac3_frame with its tree, AC3ValidFramePoint and GetAC3ESPackLength.

#include "fuzz/FrameFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  corvane::fuzz::FuzzFrame<corvane::TAC3Kind>(Data, Size);
  return 0;
}
