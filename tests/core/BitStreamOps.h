#pragma once
// The bit reader's read, peek and skip operations as one table, each with the width it takes,
// the least FRemainBits at which it is admitted and whether it moves, plus a reference reader
// that treats every byte outside the data as zero. The table-driven tests run every entry at
// every bit position of buffers of 1 to 8 bytes.

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "core/BitStream4.h"

namespace corvane::test {

// The n bits (0..64) that start at bit position Pos of Bytes[0..Size), zeros outside it.
inline uint64_t ReferenceBits(const uint8_t* Bytes, int64_t Size, int64_t Pos, int32_t Count) {
  uint64_t Value = 0;
  for (int64_t Bit = Pos; Bit < Pos + Count; ++Bit) {
    const int64_t Index = Bit >> 3;
    const uint32_t Byte = Index >= 0 && Index < Size ? Bytes[Index] : 0;
    Value = (Value << 1) | ((Byte >> (7 - (Bit & 7))) & 1u);
  }
  return Value;
}

struct TBitOp {
  std::string Name;
  // Bits read or peeked. Byte-granular operations take whole bytes from the start of the
  // current byte, whatever FBitsTaken holds.
  int32_t Width;
  bool ByteGranular;
  // Admitted while FRemainBits >= MinRemainBits; NoCheck forms are never refused.
  int64_t MinRemainBits;
  bool Moves;
  bool HasValue;
  // May write a debug line (the NoCheck and the "not aligned." families); all others never do.
  bool MayWrite;
  std::function<uint64_t(TBitStream4&)> Run;
};

// "Name(N)", built by appending (operator+ chains trip a false -Wrestrict in GCC 12).
inline std::string WithArgument(const char* Name, int32_t Argument) {
  std::string Text = Name;
  Text += '(';
  Text += std::to_string(Argument);
  Text += ')';
  return Text;
}

inline constexpr int64_t NeverRefused = std::numeric_limits<int64_t>::min();

inline std::vector<TBitOp> AllBitOps() {
  std::vector<TBitOp> Ops;
  const auto Bits = [&](std::string Name, int32_t Width, int64_t Min, bool Moves, bool HasValue,
                        std::function<uint64_t(TBitStream4&)> Run) {
    Ops.push_back({std::move(Name), Width, false, Min, Moves, HasValue, Min == NeverRefused, std::move(Run)});
  };
  const auto Bytes = [&](std::string Name, int32_t Count, bool Moves, bool HasValue, bool MayWrite,
                         std::function<uint64_t(TBitStream4&)> Run) {
    Ops.push_back({std::move(Name), 8 * Count, true, 8 * Count - 32, Moves, HasValue, MayWrite, std::move(Run)});
  };

  for (int32_t N = 0; N <= 32; ++N) {
    Bits(WithArgument("ReadBitsDW", N), N, N - 32, true, true, [N](TBitStream4& R) { return R.ReadBitsDW(N); });
    Bits(WithArgument("NextBitsDW", N), N, N - 32, false, true, [N](TBitStream4& R) { return R.NextBitsDW(N); });
    Bits(WithArgument("ReadBitsDWNoCheck", N), N, NeverRefused, true, true, [N](TBitStream4& R) { return R.ReadBitsDWNoCheck(N); });
    Bits(WithArgument("NextBitsDWNoCheck", N), N, NeverRefused, false, true, [N](TBitStream4& R) { return R.NextBitsDWNoCheck(N); });
    Bits(WithArgument("ReadUpTo32BitsDW", N), N, 0, true, true, [N](TBitStream4& R) { return R.ReadUpTo32BitsDW(N); });
    Bits(WithArgument("NextUpTo32BitsDW", N), N, 0, false, true, [N](TBitStream4& R) { return R.NextUpTo32BitsDW(N); });
    Bits(WithArgument("DumpBits", N), N, N - 32, true, false, [N](TBitStream4& R) { R.DumpBits(N); return 0; });
    Bits(WithArgument("DumpBitsNoCheck", N), N, NeverRefused, true, false, [N](TBitStream4& R) { R.DumpBitsNoCheck(N); return 0; });
  }
  Bits("Read1BitDW", 1, -31, true, true, [](TBitStream4& R) { return R.Read1BitDW(); });
  Bits("Read2BitsDW", 2, -30, true, true, [](TBitStream4& R) { return R.Read2BitsDW(); });
  Bits("Read3BitsDW", 3, -29, true, true, [](TBitStream4& R) { return R.Read3BitsDW(); });
  Bits("Read4BitsDW", 4, -28, true, true, [](TBitStream4& R) { return R.Read4BitsDW(); });
  Bits("Read5BitsDW", 5, -27, true, true, [](TBitStream4& R) { return R.Read5BitsDW(); });
  Bits("Read6BitsDW", 6, -26, true, true, [](TBitStream4& R) { return R.Read6BitsDW(); });
  Bits("Read7BitsDW", 7, -25, true, true, [](TBitStream4& R) { return R.Read7BitsDW(); });
  Bits("Read8BitsDW", 8, -24, true, true, [](TBitStream4& R) { return R.Read8BitsDW(); });
  Bits("Read10BitsDW", 10, -22, true, true, [](TBitStream4& R) { return R.Read10BitsDW(); });
  Bits("Read16BitsDW", 16, -16, true, true, [](TBitStream4& R) { return R.Read16BitsDW(); });
  Bits("Next1BitDW", 1, -31, false, true, [](TBitStream4& R) { return R.Next1BitDW(); });
  Bits("Next4BitsDW", 4, -28, false, true, [](TBitStream4& R) { return R.Next4BitsDW(); });
  Bits("Next11BitsDW", 11, -21, false, true, [](TBitStream4& R) { return R.Next11BitsDW(); });
  Bits("Next16BitsDW", 16, -16, false, true, [](TBitStream4& R) { return R.Next16BitsDW(); });
  Bits("Next23BitsDW", 23, -9, false, true, [](TBitStream4& R) { return R.Next23BitsDW(); });
  Bits("Read32BitsDW", 32, 0, true, true, [](TBitStream4& R) { return R.Read32BitsDW(); });
  Bits("Read40BitsIntInt64", 40, 8, true, true,
       [](TBitStream4& R) { return static_cast<uint64_t>(R.Read40BitsIntInt64()); });

  Bytes("ReadAligned8BitDW", 1, true, true, true, [](TBitStream4& R) { return R.ReadAligned8BitDW(); });
  Bytes("NextAligned8BitDW", 1, false, true, true, [](TBitStream4& R) { return R.NextAligned8BitDW(); });
  Bytes("ReadAligned16BitDW", 2, true, true, false, [](TBitStream4& R) { return R.ReadAligned16BitDW(); });
  Bytes("NextAligned16BitDW", 2, false, true, false, [](TBitStream4& R) { return R.NextAligned16BitDW(); });
  Bytes("ReadAligned24BitDW", 3, true, true, false, [](TBitStream4& R) { return R.ReadAligned24BitDW(); });
  Bytes("NextAligned24BitDW", 3, false, true, false, [](TBitStream4& R) { return R.NextAligned24BitDW(); });
  Bytes("ReadAligned32BitDW", 4, true, true, false, [](TBitStream4& R) { return R.ReadAligned32BitDW(); });
  Bytes("NextAligned32BitDW", 4, false, true, false, [](TBitStream4& R) { return R.NextAligned32BitDW(); });
  Bytes("DumpAligned8Bits", 1, true, false, false, [](TBitStream4& R) { R.DumpAligned8Bits(); return 0; });
  Bytes("DumpAligned16Bits", 2, true, false, false, [](TBitStream4& R) { R.DumpAligned16Bits(); return 0; });
  Bytes("DumpAligned24Bits", 3, true, false, false, [](TBitStream4& R) { R.DumpAligned24Bits(); return 0; });
  Bytes("DumpAligned32Bits", 4, true, false, false, [](TBitStream4& R) { R.DumpAligned32Bits(); return 0; });
  for (int32_t K = 0; K <= 4; ++K) {
    Bytes(WithArgument("ReadAlignedBytesDW", K), K, true, true, true, [K](TBitStream4& R) { return R.ReadAlignedBytesDW(K); });
    Bytes(WithArgument("NextAlignedBytes", K), K, false, true, true, [K](TBitStream4& R) { return R.NextAlignedBytes(K); });
    Bytes(WithArgument("DumpAlignedBytes", K), K, true, false, false, [K](TBitStream4& R) { R.DumpAlignedBytes(K); return 0; });
  }
  const auto NoCheckBytes = [&](std::string Name, int32_t Count, void (TBitStream4::*Dump)()) {
    Ops.push_back({std::move(Name), 8 * Count, true, NeverRefused, true, false, false,
                   [Dump](TBitStream4& R) { (R.*Dump)(); return 0; }});
  };
  NoCheckBytes("DumpAligned8BitsNoCheck", 1, &TBitStream4::DumpAligned8BitsNoCheck);
  NoCheckBytes("DumpAligned16BitsNoCheck", 2, &TBitStream4::DumpAligned16BitsNoCheck);
  NoCheckBytes("DumpAligned24BitsNoCheck", 3, &TBitStream4::DumpAligned24BitsNoCheck);
  NoCheckBytes("DumpAligned32BitsNoCheck", 4, &TBitStream4::DumpAligned32BitsNoCheck);
  return Ops;
}

}  // namespace corvane::test
