#pragma once
// Known bytes for the hex tests, written to temporary files (sparse when large) and read back
// to compare.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/TempFile.h"

namespace corvane::test {

// Bytes 0..255 scrambled so that neighbouring positions differ.
inline std::vector<uint8_t> PatternBytes(size_t Count) {
  std::vector<uint8_t> Bytes(Count);
  for (size_t Index = 0; Index < Count; ++Index) Bytes[Index] = static_cast<uint8_t>(Index * 37 + 11);
  return Bytes;
}

inline constexpr int64_t FiveGiB = int64_t{5} << 30;

}  // namespace corvane::test
