#pragma once
// Byte-order helpers: the streams are big-endian, the machines little-endian.

#include <cstdint>
#include <bit>
#include <cstring>

namespace corvane {

inline uint32_t SwapDW(uint32_t Value) {
#if defined(_MSC_VER)
  return _byteswap_ulong(Value);
#else
  return __builtin_bswap32(Value);
#endif
}

// One unaligned 32-bit load of four bytes read as a big-endian value.
inline uint32_t LoadBE32(const uint8_t* Bytes) {
  uint32_t Word;
  std::memcpy(&Word, Bytes, sizeof(Word));
  if constexpr (std::endian::native == std::endian::little)
    return SwapDW(Word);
  else
    return Word;
}

inline uint16_t LoadBE16(const uint8_t* Bytes) {
  return static_cast<uint16_t>((Bytes[0] << 8) | Bytes[1]);
}

}  // namespace corvane
