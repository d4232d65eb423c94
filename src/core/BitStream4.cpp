#include "core/BitStream4.h"

#include <string>

#include "core/ODSUtls.h"
#include "core/SwapVar.h"

namespace corvane {
namespace {

// Entry n is 2^n - 1.
constexpr uint32_t MaskTable[33] = {
    0x00000000, 0x00000001, 0x00000003, 0x00000007, 0x0000000F, 0x0000001F, 0x0000003F,
    0x0000007F, 0x000000FF, 0x000001FF, 0x000003FF, 0x000007FF, 0x00000FFF, 0x00001FFF,
    0x00003FFF, 0x00007FFF, 0x0000FFFF, 0x0001FFFF, 0x0003FFFF, 0x0007FFFF, 0x000FFFFF,
    0x001FFFFF, 0x003FFFFF, 0x007FFFFF, 0x00FFFFFF, 0x01FFFFFF, 0x03FFFFFF, 0x07FFFFFF,
    0x0FFFFFFF, 0x1FFFFFFF, 0x3FFFFFFF, 0x7FFFFFFF, 0xFFFFFFFF};

constexpr uint32_t ByteMaskTable[5] = {0x00000000, 0x000000FF, 0x0000FFFF, 0x00FFFFFF, 0xFFFFFFFF};

bool ValidWidth(int32_t BitCount) { return BitCount >= 0 && BitCount <= 32; }

}  // namespace

THResult TBitStream4::SetData(const void* Data, int32_t Size) {
  try {
    if (Data == nullptr || Size <= 0) return HR_E_FAIL;
    FData = Data;
    FNextByte = static_cast<const uint8_t*>(Data);
    FDataSize = Size;
    FByteIndex = 0;
    FBitsTaken = 0;
    FEndOfStream = false;
    FRemainBits = 8 * static_cast<int64_t>(Size);
    return HR_S_OK;
  } catch (...) {
    ReportCallFailure(u"TBitStream4.SetData");
    return HR_E_FAIL;
  }
}

uint8_t TBitStream4::ByteAt(int64_t Index) const {
  if (Index < 0 || Index >= FDataSize) return 0;
  return static_cast<const uint8_t*>(FData)[Index];
}

uint32_t TBitStream4::Fetch32NearEnd() const {
  return (uint32_t{ByteAt(FByteIndex)} << 24) | (uint32_t{ByteAt(int64_t{FByteIndex} + 1)} << 16) |
         (uint32_t{ByteAt(int64_t{FByteIndex} + 2)} << 8) | uint32_t{ByteAt(int64_t{FByteIndex} + 3)};
}

uint32_t TBitStream4::Fetch16() const {
  if (FByteIndex >= 0 && FByteIndex <= FDataSize - 2) return LoadBE16(FNextByte);
  return (uint32_t{ByteAt(FByteIndex)} << 8) | uint32_t{ByteAt(int64_t{FByteIndex} + 1)};
}

uint32_t TBitStream4::Peek(int32_t BitCount) const {
  // A width of 0 would shift the word by 32 when the reader is aligned.
  if (BitCount == 0) return 0;
  const int32_t Shift = 32 - FBitsTaken - BitCount;
  if (Shift >= 0) return (Fetch32() >> Shift) & MaskTable[BitCount];
  // A field that reaches into a fifth byte: take that byte too rather than lose bits.
  const uint64_t Wide = (uint64_t{Fetch32()} << 8) | ByteAt(int64_t{FByteIndex} + 4);
  return static_cast<uint32_t>(Wide >> (Shift + 8)) & MaskTable[BitCount];
}

uint32_t TBitStream4::ReadBitsDWGuarded(int32_t BitCount) {
  if (!ValidWidth(BitCount) || !Admitted(BitCount - 32)) return Refuse();
  const uint32_t Value = Peek(BitCount);
  Advance(BitCount);
  return Value;
}

uint32_t TBitStream4::NextBitsDW(int32_t BitCount) {
  if (!ValidWidth(BitCount) || !Admitted(BitCount - 32)) return Refuse();
  return Peek(BitCount);
}

uint32_t TBitStream4::ReadBitsDWNoCheck(int32_t BitCount) {
  if (!ValidWidth(BitCount)) return 0;
  if (!Admitted(BitCount - 32)) ReportFailure(u"TBitStream4.ReadBitsDWNoCheck", u"no enough bits call...");
  const uint32_t Value = Peek(BitCount);
  Advance(BitCount);
  return Value;
}

uint32_t TBitStream4::NextBitsDWNoCheck(int32_t BitCount) {
  if (!ValidWidth(BitCount)) return 0;
  if (!Admitted(BitCount - 32)) ReportFailure(u"TBitStream4.NextBitsDWNoCheck", u"no enough bits call...");
  return Peek(BitCount);
}

uint32_t TBitStream4::Read1BitDW() {
  if (!Admitted(-31)) return Refuse();
  const uint32_t Bit = (uint32_t{ByteAt(FByteIndex)} >> (7 - FBitsTaken)) & 1u;
  Advance(1);
  return Bit;
}

uint32_t TBitStream4::Read32BitsDW() {
  if (!Admitted(0)) return Refuse();
  const uint32_t High = Read16BitsDW();
  return (High << 16) | Read16BitsDW();
}

uint32_t TBitStream4::ReadUpTo32BitsDW(int32_t BitCount) {
  if (!ValidWidth(BitCount) || !Admitted(0)) return Refuse();
  if (BitCount <= 24) return ReadBitsDW(BitCount);
  const uint32_t High = Read16BitsDW();
  return (High << (BitCount - 16)) | ReadBitsDW(BitCount - 16);
}

uint32_t TBitStream4::NextUpTo32BitsDW(int32_t BitCount) {
  if (!ValidWidth(BitCount) || !Admitted(0)) return Refuse();
  return Peek(BitCount);
}

int64_t TBitStream4::Read40BitsIntInt64() {
  if (!Admitted(8)) return Refuse();
  const int64_t High = ReadBitsDW(20);
  return (High << 20) | ReadBitsDW(20);
}

void TBitStream4::DumpBits(int32_t BitCount) {
  if (BitCount < 0) {
    ReportFailure(u"TBitStream4.DumpBits", u"negative value...");
    return;
  }
  if (!Admitted(int64_t{BitCount} - 32)) {
    Refuse();
    return;
  }
  Advance(BitCount);
}

void TBitStream4::DumpBitsNoCheck(int32_t BitCount) {
  if (BitCount < 0) return;
  if (!Admitted(int64_t{BitCount} - 32)) ReportFailure(u"TBitStream4.DumpBitsNoCheck", u"no enough bits call...");
  Advance(BitCount);
}

void TBitStream4::ReadBitsAlignToByte() {
  if (FBitsTaken > 0) Advance(8 - FBitsTaken);
}

uint32_t TBitStream4::Read_ue() {
  if (!Admitted(0)) return Refuse();
  int32_t LeadingZeros = 0;
  while (ReadBitsDW(1) == 0) {
    ++LeadingZeros;
    // A code longer than 31 zeros has no 32-bit code number.
    if (!Admitted(0) || LeadingZeros > 31) return Refuse();
  }
  return ReadBitsDW(LeadingZeros) + ((1u << LeadingZeros) - 1u);
}

int32_t TBitStream4::Read_se() {
  if (!Admitted(0)) return static_cast<int32_t>(Refuse());
  const uint64_t CodeNum = Read_ue();
  const uint64_t Magnitude = (CodeNum + 1) / 2;
  return (CodeNum & 1) ? static_cast<int32_t>(Magnitude) : -static_cast<int32_t>(Magnitude);
}

bool TBitStream4::more_rbsp_data() const {
  if (FRemainBits > 8) return true;
  if (FRemainBits <= 0) return false;
  const int32_t Remain = static_cast<int32_t>(FRemainBits);
  return (ByteAt(FByteIndex) & MaskTable[Remain]) != (1u << (Remain - 1));
}

void TBitStream4::OutputDebugStringNumBits(int32_t BitsNum) const {
  if (!ValidWidth(BitsNum) || !Admitted(int64_t{BitsNum} - 32)) {
    ReportFailure(u"TBitStream4.OutputDebugStringNumBits", u"not enough bits");
    return;
  }
  const uint32_t Bits = Peek(BitsNum);
  std::u16string Text;
  for (int32_t Bit = BitsNum - 1; Bit >= 0; --Bit) Text += ((Bits >> Bit) & 1u) ? u'1' : u'0';
  DebugLog(Text);
}

uint32_t TBitStream4::ReadAligned8BitDW() {
  const bool Enough = Admitted(-24);
  if (!Enough) ReportFailure(u"TBitStream4.ReadAligned8BitDW", u"no enough bits call...");
  if (FBitsTaken != 0) ReportFailure(u"TBitStream4.ReadAligned8BitDW", u"not aligned.");
  if (!Enough) return Refuse();
  const uint32_t Value = ByteAt(FByteIndex);
  MoveBytes(1);
  return Value;
}

uint32_t TBitStream4::NextAligned8BitDW() {
  const bool Enough = Admitted(-24);
  if (!Enough) ReportFailure(u"TBitStream4.NextAligned8BitDW", u"no enough bits call...");
  if (FBitsTaken != 0) ReportFailure(u"TBitStream4.NextAligned8BitDW", u"not aligned.");
  if (!Enough) return Refuse();
  return ByteAt(FByteIndex);
}

uint32_t TBitStream4::AlignedRead(int32_t Bytes, bool Move) {
  if (!Admitted(8 * Bytes - 32)) return Refuse();
  uint32_t Value;
  if (Bytes == 2)
    Value = Fetch16();
  else
    Value = Fetch32() >> (32 - 8 * Bytes);
  if (Move) MoveBytes(Bytes);
  return Value;
}

uint32_t TBitStream4::AlignedBytes(int32_t BytesCount, bool Move, const char16_t* Name) {
  const bool Enough = Admitted(8 * int64_t{BytesCount} - 32);
  if (!Enough) ReportFailure(u"TBitStream4." + std::u16string(Name), u"no enough bits call...");
  if (FBitsTaken != 0) ReportFailure(u"TBitStream4." + std::u16string(Name), u"not aligned.");
  if (!Enough || BytesCount < 0 || BytesCount > 4) return Refuse();
  const uint32_t Value = BytesCount == 0 ? 0 : (Fetch32() >> (32 - 8 * BytesCount)) & ByteMaskTable[BytesCount];
  if (Move) MoveBytes(BytesCount);
  return Value;
}

uint32_t TBitStream4::ReadAlignedBytesDW(int32_t BytesCount) {
  return AlignedBytes(BytesCount, true, u"ReadAlignedBytesDW");
}

uint32_t TBitStream4::NextAlignedBytes(int32_t BytesCount) {
  return AlignedBytes(BytesCount, false, u"NextAlignedBytes");
}

void TBitStream4::DumpAlignedBytes(int32_t Bytes) {
  if (Bytes < 0 || !Admitted(8 * int64_t{Bytes} - 32)) {
    Refuse();
    return;
  }
  MoveBytes(Bytes);
}

void TBitStream4::SeekBackAlignedBytes(int32_t Bytes) {
  if (Bytes <= 0) return;
  MoveBytes(-int64_t{Bytes});
  FEndOfStream = false;
}

}  // namespace corvane
