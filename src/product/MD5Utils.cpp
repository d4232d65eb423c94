#include "product/MD5Utils.h"

#include <algorithm>
#include <cstring>

#include "core/FileStream.h"
#include "core/ODSUtls.h"

namespace corvane {
namespace {

// Per-round shift amounts and the sine-derived constants of RFC 1321.
constexpr uint32_t Shifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
constexpr uint32_t Sines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

uint32_t RotateLeft(uint32_t Value, uint32_t Bits) { return (Value << Bits) | (Value >> (32 - Bits)); }

}  // namespace

TMD5::TMD5() : FState{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void TMD5::Block(const uint8_t* Data) {
  uint32_t Words[16];
  for (int Index = 0; Index < 16; ++Index)
    Words[Index] = uint32_t(Data[Index * 4]) | (uint32_t(Data[Index * 4 + 1]) << 8) |
                   (uint32_t(Data[Index * 4 + 2]) << 16) | (uint32_t(Data[Index * 4 + 3]) << 24);
  uint32_t A = FState[0], B = FState[1], C = FState[2], D = FState[3];
  for (uint32_t Step = 0; Step < 64; ++Step) {
    uint32_t F;
    uint32_t Word;
    if (Step < 16) {
      F = (B & C) | (~B & D);
      Word = Step;
    } else if (Step < 32) {
      F = (D & B) | (~D & C);
      Word = (5 * Step + 1) % 16;
    } else if (Step < 48) {
      F = B ^ C ^ D;
      Word = (3 * Step + 5) % 16;
    } else {
      F = C ^ (B | ~D);
      Word = (7 * Step) % 16;
    }
    const uint32_t Next = D;
    D = C;
    C = B;
    B += RotateLeft(A + F + Sines[Step] + Words[Word], Shifts[Step]);
    A = Next;
  }
  FState[0] += A;
  FState[1] += B;
  FState[2] += C;
  FState[3] += D;
}

void TMD5::Add(const uint8_t* Data, size_t Count) {
  FLength += Count;
  while (Count > 0) {
    const size_t Take = std::min(Count, sizeof FPending - FPendingCount);
    std::memcpy(FPending + FPendingCount, Data, Take);
    FPendingCount += Take;
    Data += Take;
    Count -= Take;
    if (FPendingCount == sizeof FPending) {
      Block(FPending);
      FPendingCount = 0;
    }
  }
}

TMD5Digest TMD5::Finish() {
  const uint64_t Bits = FLength * 8;
  const uint8_t Pad = 0x80;
  Add(&Pad, 1);
  const uint8_t Zero = 0;
  while (FPendingCount != 56) Add(&Zero, 1);
  uint8_t Length[8];
  for (int Index = 0; Index < 8; ++Index) Length[Index] = static_cast<uint8_t>(Bits >> (8 * Index));
  Add(Length, sizeof Length);
  TMD5Digest Digest;
  for (size_t Index = 0; Index < Digest.size(); ++Index)
    Digest[Index] = static_cast<uint8_t>(FState[Index / 4] >> (8 * (Index % 4)));
  return Digest;
}

bool CalculateFileMD5(const std::filesystem::path& FileName, TMD5Digest& Digest) {
  try {
    if (!FileExists(FileName)) {
      ReportFailure(u"CalculateFileMD5", u"file not found.");
      return false;
    }
    TFileStream Stream;
    if (!Stream.Open(FileName, TFileStream::TMode::Read)) return ReportCallFailure(u"CalculateFileMD5");
    TMD5 Hash;
    uint8_t Block[1024];
    for (;;) {
      const int32_t Got = Stream.Read(Block, sizeof Block);
      if (Got < 0) return ReportCallFailure(u"CalculateFileMD5");
      if (Got == 0) break;
      Hash.Add(Block, static_cast<size_t>(Got));
    }
    Digest = Hash.Finish();
    return true;
  } catch (...) {
    ReportCallFailure(u"CalculateFileMD5");
    return false;
  }
}

std::u16string MD5DigestToStr(const TMD5Digest& Digest) {
  static const char16_t Digits[] = u"0123456789abcdef";
  std::u16string Text;
  for (uint8_t Byte : Digest) {
    Text.push_back(Digits[Byte >> 4]);
    Text.push_back(Digits[Byte & 15]);
  }
  return Text;
}

}  // namespace corvane
