#include "analysis/AC3Crc.h"

#include <array>

#include "analysis/AC3PlusUtils.h"
#include "analysis/AC3Utils.h"

namespace corvane {
namespace {

// The generator without its x^16 term.
constexpr uint32_t Generator = 0x8005;

// Slice k maps a byte to the register it leaves when followed by k zero bytes, so that sixteen
// bytes fold into the register with sixteen lookups and no loop over bits.
constexpr int SliceCount = 16;
using TCrcTables = std::array<std::array<uint16_t, 256>, SliceCount>;

constexpr TCrcTables MakeTables() {
  TCrcTables Tables{};
  for (uint32_t Byte = 0; Byte < 256; ++Byte) {
    uint32_t Crc = Byte << 8;
    for (int Bit = 0; Bit < 8; ++Bit) Crc = (Crc & 0x8000) ? (Crc << 1) ^ Generator : Crc << 1;
    Tables[0][Byte] = static_cast<uint16_t>(Crc);
  }
  for (size_t Slice = 1; Slice < SliceCount; ++Slice)
    for (size_t Byte = 0; Byte < 256; ++Byte) {
      const uint16_t Previous = Tables[Slice - 1][Byte];
      Tables[Slice][Byte] = static_cast<uint16_t>((Previous << 8) ^ Tables[0][Previous >> 8]);
    }
  return Tables;
}

constexpr TCrcTables CrcTables = MakeTables();

// Products of polynomials modulo the generator (degree below 16 each).
uint16_t MulMod(uint16_t A, uint16_t B) {
  uint32_t Product = 0;
  for (int Bit = 15; Bit >= 0; --Bit) {
    Product <<= 1;
    if (Product & 0x10000) Product ^= 0x10000 | Generator;
    if ((B >> Bit) & 1) Product ^= A;
  }
  return static_cast<uint16_t>(Product);
}

uint16_t PowMod(uint16_t Base, uint32_t Exponent) {
  uint16_t Result = 1;
  while (Exponent != 0) {
    if (Exponent & 1) Result = MulMod(Result, Base);
    Base = MulMod(Base, Base);
    Exponent >>= 1;
  }
  return Result;
}

// x^-1 modulo the generator: x * (x^15 + x^14 + x) = x^16 + x^15 + x^2, which is 1 modulo it.
constexpr uint16_t InverseOfX = 0xC002;

void WriteWord(uint8_t* Data, uint16_t Word) {
  Data[0] = static_cast<uint8_t>(Word >> 8);
  Data[1] = static_cast<uint8_t>(Word);
}

TCrcVerdict Verdict(const uint8_t* Data, int32_t From, int32_t To) {
  return Crc16(Data + From, static_cast<size_t>(To - From)) == 0 ? TCrcVerdict::Ok : TCrcVerdict::Failed;
}

// Makes the CRC of bytes From up to To come out 0 by the word at From, the first word of the
// stretch: with the word zeroed the stretch leaves C, and a word W adds W * x^(8n) for a stretch
// of n bytes, so W = C * x^(-8n).
void SolveLeadingWord(uint8_t* Data, int32_t From, int32_t To) {
  WriteWord(Data + From, 0);
  const uint16_t Remainder = Crc16(Data + From, static_cast<size_t>(To - From));
  const uint32_t Bits = 8 * static_cast<uint32_t>(To - From);
  WriteWord(Data + From, MulMod(Remainder, PowMod(InverseOfX, Bits)));
}

// The word that ends the stretch From up to To is the CRC of what precedes it.
void SolveTrailingWord(uint8_t* Data, int32_t From, int32_t To) {
  WriteWord(Data + To - 2, Crc16(Data + From, static_cast<size_t>(To - 2 - From)));
}

// x^(8 k) and x^(-8 k) modulo the generator for k up to the largest frame: what k zero bytes
// after (or before) a stretch do to its CRC register.
constexpr int32_t MaxShift = 4096;
struct TShifts {
  std::array<uint16_t, MaxShift + 1> Forward{};
  std::array<uint16_t, MaxShift + 1> Backward{};
};

const TShifts& Shifts() {
  static const TShifts Tables = [] {
    TShifts Made;
    const uint16_t Back = PowMod(InverseOfX, 8);
    Made.Forward[0] = Made.Backward[0] = 1;
    for (size_t Bytes = 1; Bytes <= MaxShift; ++Bytes) {
      Made.Forward[Bytes] = MulMod(Made.Forward[Bytes - 1], 0x100);
      Made.Backward[Bytes] = MulMod(Made.Backward[Bytes - 1], Back);
    }
    return Made;
  }();
  return Tables;
}

// The CRC register after the bytes by which New differs from Old.
uint16_t DeltaCrc(const uint8_t* New, const uint8_t* Old, int32_t Count) {
  uint16_t Crc = 0;
  for (int32_t Index = 0; Index < Count; ++Index)
    Crc = static_cast<uint16_t>((Crc << 8) ^ CrcTables[0][(Crc >> 8) ^ (New[Index] ^ Old[Index])]);
  return Crc;
}

void XorWord(uint8_t* Data, uint16_t Word) {
  Data[0] = static_cast<uint8_t>(Data[0] ^ (Word >> 8));
  Data[1] = static_cast<uint8_t>(Data[1] ^ Word);
}

// The smallest frames whose words do not overlap: the header is longer than this anyway.
constexpr int32_t MinCheckedFrame = 8;

bool Fits(int32_t FrameBytes, int32_t Size) { return FrameBytes >= MinCheckedFrame && FrameBytes <= Size; }

}  // namespace

uint16_t Crc16(const uint8_t* Data, size_t Size, uint16_t Crc) {
  const auto& T = CrcTables;
  while (Size >= 16) {
    const uint8_t First = static_cast<uint8_t>(Data[0] ^ (Crc >> 8));
    const uint8_t Second = static_cast<uint8_t>(Data[1] ^ (Crc & 0xFF));
    Crc = static_cast<uint16_t>(T[15][First] ^ T[14][Second] ^ T[13][Data[2]] ^ T[12][Data[3]] ^ T[11][Data[4]] ^
                                T[10][Data[5]] ^ T[9][Data[6]] ^ T[8][Data[7]] ^ T[7][Data[8]] ^ T[6][Data[9]] ^
                                T[5][Data[10]] ^ T[4][Data[11]] ^ T[3][Data[12]] ^ T[2][Data[13]] ^ T[1][Data[14]] ^
                                T[0][Data[15]]);
    Data += 16;
    Size -= 16;
  }
  while (Size >= 8) {
    const uint8_t First = static_cast<uint8_t>(Data[0] ^ (Crc >> 8));
    const uint8_t Second = static_cast<uint8_t>(Data[1] ^ (Crc & 0xFF));
    Crc = static_cast<uint16_t>(T[7][First] ^ T[6][Second] ^ T[5][Data[2]] ^ T[4][Data[3]] ^ T[3][Data[4]] ^
                                T[2][Data[5]] ^ T[1][Data[6]] ^ T[0][Data[7]]);
    Data += 8;
    Size -= 8;
  }
  while (Size-- > 0) Crc = static_cast<uint16_t>((Crc << 8) ^ T[0][(Crc >> 8) ^ *Data++]);
  return Crc;
}

std::u16string CrcVerdictText(const TFrameCrc& Crc) {
  const bool First = Crc.crc1 == TCrcVerdict::Failed;
  const bool Second = Crc.crc2 == TCrcVerdict::Failed;
  if (First && Second) return u"crc1 and crc2 fail";
  if (First) return u"crc1 fails";
  if (Second) return u"crc2 fails";
  return Crc.Checked() ? u"CRC ok" : u"CRC not checked";
}

TFrameCrc CheckAC3FrameCrc(const uint8_t* Data, int32_t Size) {
  if (Size < 5) return {};
  const int32_t FrameBytes = AC3CodedFrameSize(Data);
  if (!Fits(FrameBytes, Size)) return {};
  const int32_t Crc1End = AC3Crc1End(FrameBytes);
  return {Verdict(Data, 2, Crc1End), Verdict(Data, Crc1End, FrameBytes)};
}

TFrameCrc CheckAC3PlusFrameCrc(const uint8_t* Data, int32_t Size) {
  if (Size < 4) return {};
  const int32_t FrameBytes = AC3PlusCodedFrameSize(Data);
  if (!Fits(FrameBytes, Size)) return {TCrcVerdict::Absent, TCrcVerdict::Unchecked};
  return {TCrcVerdict::Absent, Verdict(Data, 2, FrameBytes)};
}

bool RepairAC3FrameCrc(uint8_t* Data, int32_t Size) {
  if (Size < 5) return false;
  const int32_t FrameBytes = AC3CodedFrameSize(Data);
  if (!Fits(FrameBytes, Size)) return false;
  const int32_t Crc1End = AC3Crc1End(FrameBytes);
  SolveLeadingWord(Data, 2, Crc1End);
  SolveTrailingWord(Data, Crc1End, FrameBytes);
  return true;
}

bool RepairAC3PlusFrameCrc(uint8_t* Data, int32_t Size) {
  if (Size < 4) return false;
  const int32_t FrameBytes = AC3PlusCodedFrameSize(Data);
  if (!Fits(FrameBytes, Size)) return false;
  SolveTrailingWord(Data, 2, FrameBytes);
  return true;
}

// The CRC is linear: the stretch's register changes by the register of the changed bits alone,
// moved to where they end, and its word has to change by what cancels that.
bool UpdateAC3FrameCrc(uint8_t* Data, int32_t Size, int32_t From, int32_t To, const uint8_t* Old) {
  if (Size < 5) return false;
  const int32_t FrameBytes = AC3CodedFrameSize(Data);
  if (!Fits(FrameBytes, Size) || From < 4 || From >= To || To > AC3Crc1End(FrameBytes)) return false;
  // crc1 leads its stretch from byte 2: the change ends To - 2 bytes into it.
  XorWord(Data + 2, MulMod(DeltaCrc(Data + From, Old, To - From), Shifts().Backward[static_cast<size_t>(To - 2)]));
  return true;
}

bool UpdateAC3PlusFrameCrc(uint8_t* Data, int32_t Size, int32_t From, int32_t To, const uint8_t* Old) {
  if (Size < 4) return false;
  const int32_t FrameBytes = AC3PlusCodedFrameSize(Data);
  if (!Fits(FrameBytes, Size) || From < 2 || From >= To || To > FrameBytes - 2) return false;
  // crc2 ends its stretch: the change lies FrameBytes - 2 - To bytes before it.
  XorWord(Data + FrameBytes - 2,
          MulMod(DeltaCrc(Data + From, Old, To - From), Shifts().Forward[static_cast<size_t>(FrameBytes - 2 - To)]));
  return true;
}

int32_t AnyFrameCodedSize(const uint8_t* Data, int32_t Size) {
  if (Size < 6) return 0;
  return HasAC3PlusBsid(Data) ? AC3PlusCodedFrameSize(Data) : AC3CodedFrameSize(Data);
}

TFrameCrc CheckAnyFrameCrc(const uint8_t* Data, int32_t Size) {
  if (Size < 6) return {};
  return HasAC3PlusBsid(Data) ? CheckAC3PlusFrameCrc(Data, Size) : CheckAC3FrameCrc(Data, Size);
}

bool RepairAnyFrameCrc(uint8_t* Data, int32_t Size) {
  if (Size < 6) return false;
  return HasAC3PlusBsid(Data) ? RepairAC3PlusFrameCrc(Data, Size) : RepairAC3FrameCrc(Data, Size);
}

}  // namespace corvane
