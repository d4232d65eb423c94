#pragma once
// The syncword (0B 77) that begins every frame of both kinds, and the skip to the next one that
// every scan uses: the frame-start tests turn down any other position without looking further.

#include <cstdint>
#include <cstring>

namespace corvane {

inline bool IsSyncword(const uint8_t* Data) { return Data[0] == 0x0B && Data[1] == 0x77; }

// The first offset from From to Last (inclusive) that holds a syncword, or Last + 1.
// Bytes Last and Last + 1 must be readable. memchr finds the candidates' first byte many bytes
// at a time, so runs without frames (gaps, padding, zeros) cost little.
inline int32_t NextSyncword(const uint8_t* Data, int32_t From, int32_t Last) {
  // Frames that follow each other put the next syncword right where a length search begins.
  if (From <= Last && IsSyncword(Data + From)) return From;
  while (From <= Last) {
    const void* Hit = std::memchr(Data + From, 0x0B, static_cast<size_t>(Last - From) + 1);
    if (!Hit) return Last + 1;
    const int32_t At = static_cast<int32_t>(static_cast<const uint8_t*>(Hit) - Data);
    if (Data[At + 1] == 0x77) return At;
    From = At + 1;
  }
  return Last + 1;
}

}  // namespace corvane
