#pragma once
// TBitStream4 reads bit fields, most significant bit first, from bytes its caller owns.
//
// Position model: FByteIndex/FNextByte name the current byte, FBitsTaken (0..7) the bits of it
// already consumed, FRemainBits the bits not yet consumed (8 * (FDataSize - FByteIndex) -
// FBitsTaken). A guarded operation of width w is admitted while FRemainBits >= w - 32, so a
// reader may run up to 32 bits past the end of its data; a refused operation returns 0, sets
// the sticky FEndOfStream flag and does not move. Bytes past the end of the data (and before
// its start) read as zeros: the reader never touches memory outside the caller's buffer.

#include <cstdint>

#include "core/Status.h"
#include "core/SwapVar.h"

namespace corvane {

class TBitStream4 {
 public:
  // Setting up and inspecting.
  THResult SetData(const void* Data, int32_t Size);
  int32_t GetDataSizeLeft() const { return FDataSize - FByteIndex; }
  const uint8_t* GetNextByte() const { return FNextByte; }

  // Bit-granular reads and peeks.
  // Reads BitCount (0..32) bits. A field of 1 to 25 bits with four whole bytes of data at the
  // current byte, which is every header field away from the end of the data, takes the inline
  // path: one 32-bit load, a shift, and the move.
  uint32_t ReadBitsDW(int32_t BitCount) {
    if (static_cast<uint32_t>(BitCount) - 1u < 25u && FByteIndex >= 0 && FByteIndex <= FDataSize - 4) {
      const uint32_t Value = (LoadBE32(FNextByte) << FBitsTaken) >> (32 - BitCount);
      Advance(BitCount);
      return Value;
    }
    return ReadBitsDWGuarded(BitCount);
  }
  uint32_t NextBitsDW(int32_t BitCount);
  uint32_t ReadBitsDWNoCheck(int32_t BitCount);
  uint32_t NextBitsDWNoCheck(int32_t BitCount);
  uint32_t Read1BitDW();
  uint32_t Read2BitsDW() { return ReadFixed<2>(); }
  uint32_t Read3BitsDW() { return ReadFixed<3>(); }
  uint32_t Read4BitsDW() { return ReadFixed<4>(); }
  uint32_t Read5BitsDW() { return ReadFixed<5>(); }
  uint32_t Read6BitsDW() { return ReadFixed<6>(); }
  uint32_t Read7BitsDW() { return ReadFixed<7>(); }
  uint32_t Read8BitsDW() { return ReadFixed<8>(); }
  uint32_t Read10BitsDW() { return ReadFixed<10>(); }
  uint32_t Read16BitsDW() { return ReadFixed<16>(); }
  uint32_t Next1BitDW() { return NextFixed<1>(); }
  uint32_t Next4BitsDW() { return NextFixed<4>(); }
  uint32_t Next11BitsDW() { return NextFixed<11>(); }
  uint32_t Next16BitsDW() { return NextFixed<16>(); }
  uint32_t Next23BitsDW() { return NextFixed<23>(); }
  uint32_t Read32BitsDW();
  uint32_t ReadUpTo32BitsDW(int32_t BitCount);
  uint32_t NextUpTo32BitsDW(int32_t BitCount);
  int64_t Read40BitsIntInt64();
  void DumpBits(int32_t BitCount);
  void DumpBitsNoCheck(int32_t BitCount);
  void ReadBitsAlignToByte();
  uint32_t Read_ue();
  int32_t Read_se();
  bool more_rbsp_data() const;
  void OutputDebugStringNumBits(int32_t BitsNum) const;

  // Byte-granular operations: whole bytes from FNextByte, FBitsTaken left as it is.
  uint32_t ReadAligned8BitDW();
  uint32_t NextAligned8BitDW();
  uint32_t ReadAligned16BitDW() { return AlignedRead(2, true); }
  uint32_t NextAligned16BitDW() { return AlignedRead(2, false); }
  uint32_t ReadAligned24BitDW() { return AlignedRead(3, true); }
  uint32_t NextAligned24BitDW() { return AlignedRead(3, false); }
  uint32_t ReadAligned32BitDW() { return AlignedRead(4, true); }
  uint32_t NextAligned32BitDW() { return AlignedRead(4, false); }
  uint32_t ReadAlignedBytesDW(int32_t BytesCount);
  uint32_t NextAlignedBytes(int32_t BytesCount);
  void DumpAligned8Bits() { DumpAlignedBytes(1); }
  void DumpAligned16Bits() { DumpAlignedBytes(2); }
  void DumpAligned24Bits() { DumpAlignedBytes(3); }
  void DumpAligned32Bits() { DumpAlignedBytes(4); }
  void DumpAligned8BitsNoCheck() { MoveBytes(1); }
  void DumpAligned16BitsNoCheck() { MoveBytes(2); }
  void DumpAligned24BitsNoCheck() { MoveBytes(3); }
  void DumpAligned32BitsNoCheck() { MoveBytes(4); }
  void DumpAlignedBytes(int32_t Bytes);
  void SeekBackAlignedBytes(int32_t Bytes);

  // State, readable for callers and tests.
  int32_t DataSize() const { return FDataSize; }
  int32_t ByteIndex() const { return FByteIndex; }
  int32_t BitsTaken() const { return FBitsTaken; }
  bool EndOfStream() const { return FEndOfStream; }
  int64_t RemainBits() const { return FRemainBits; }
  const void* Data() const { return FData; }

 private:
  bool Admitted(int64_t MinRemainBits) const { return FRemainBits >= MinRemainBits; }
  uint32_t Refuse() {
    FEndOfStream = true;
    return 0;
  }
  // The byte at Index of the data, or 0 outside it.
  uint8_t ByteAt(int64_t Index) const;
  // The four bytes at the current byte as a big-endian word (zeros past the end). The hot
  // path is one unaligned load while four whole bytes of data remain.
  uint32_t Fetch32() const {
    if (FByteIndex >= 0 && FByteIndex <= FDataSize - 4) return LoadBE32(FNextByte);
    return Fetch32NearEnd();
  }
  uint32_t Fetch32NearEnd() const;
  // The two bytes at the current byte as a big-endian value (zeros past the end).
  uint32_t Fetch16() const;
  // The next n bits (0..32) without moving.
  uint32_t Peek(int32_t BitCount) const;
  void SetByteIndex(int64_t Index) {
    FByteIndex = static_cast<int32_t>(Index);
    // Kept as an address even past the end; it is only dereferenced inside the data.
    FNextByte = reinterpret_cast<const uint8_t*>(reinterpret_cast<uintptr_t>(FData) +
                                                 static_cast<uintptr_t>(static_cast<intptr_t>(Index)));
  }
  void Advance(int64_t BitCount) {
    const int64_t Sum = FBitsTaken + BitCount;
    SetByteIndex(FByteIndex + (Sum >> 3));
    FBitsTaken = static_cast<int32_t>(Sum & 7);
    FRemainBits -= BitCount;
  }
  void MoveBytes(int64_t Bytes) {
    SetByteIndex(FByteIndex + Bytes);
    FRemainBits -= 8 * Bytes;
  }
  // ReadBitsDW for every width and position, the end of the data included.
  uint32_t ReadBitsDWGuarded(int32_t BitCount);
  uint32_t AlignedRead(int32_t Bytes, bool Move);
  uint32_t AlignedBytes(int32_t BytesCount, bool Move, const char16_t* Name);

  template <int N>
  uint32_t NextFixed() {
    if (!Admitted(N - 32)) return Refuse();
    return (Fetch32() >> (32 - FBitsTaken - N)) & ((1u << N) - 1u);
  }
  template <int N>
  uint32_t ReadFixed() {
    if (!Admitted(N - 32)) return Refuse();
    const uint32_t Value = (Fetch32() >> (32 - FBitsTaken - N)) & ((1u << N) - 1u);
    Advance(N);
    return Value;
  }

  int32_t FDataSize = 0;
  int32_t FByteIndex = 0;
  int32_t FBitsTaken = 0;
  const uint8_t* FNextByte = nullptr;
  bool FEndOfStream = false;
  int64_t FRemainBits = 0;
  const void* FData = nullptr;
};

}  // namespace corvane
