// The stream tests on the start of a file, from bytes in memory and from the file itself.

#include "analysis/AC3Detect.h"
#include "analysis/AC3PlusUtils.h"
#include "analysis/AC3Utils.h"
#include "analysis/FrameKinds.h"
#include "fuzz/FuzzSupport.h"

namespace {

bool HasSyncword(const uint8_t* Data, int32_t Size) {
  for (int32_t At = 0; At + 1 < Size; ++At)
    if (corvane::IsSyncword(Data + At)) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Bytes) {
  using namespace corvane;
  if (Bytes > static_cast<size_t>(StreamTestBytes)) return 0;
  const auto Size = static_cast<int32_t>(Bytes);
  static fuzz::TMemoryFile File;
  File.Set(Data, Bytes);

  int32_t Fscod = 7;
  const bool AC3 = IsAC3ES(Data, Size, Fscod);
  // A stream has a sampling rate and frames; no stream may still leave a majority of none (-1).
  FUZZ_CHECK(Fscod >= -1 && Fscod <= 2);
  if (AC3) FUZZ_CHECK(Fscod >= 0 && HasSyncword(Data, Size));
  int32_t FromFile = 7;
  FUZZ_CHECK(IsAC3ES(File.Path(), FromFile) == AC3 && FromFile == Fscod);

  const bool EAC3 = IsAC3PlusES(Data, Size, Fscod);
  FUZZ_CHECK(Fscod >= -1 && Fscod <= 2);
  if (EAC3) FUZZ_CHECK(Fscod >= 0 && HasSyncword(Data, Size));
  FUZZ_CHECK(IsAC3PlusES(File.Path(), FromFile) == EAC3 && FromFile == Fscod);
  return 0;
}
