// Every operation of the bit reader at every bit position of buffers of exactly 1 to 8 bytes.
// The buffers are heap blocks of exactly that size, so under AddressSanitizer a fetch of one
// byte outside them fails the run; the values checked are those of a reference reader that
// reads every byte past the end as zero.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "BitStreamOps.h"
#include "core/BitStream4.h"
#include "core/ODSUtls.h"
#include "core/StringUtils.h"

namespace corvane::test {
namespace {

constexpr uint8_t Pattern[8] = {0xA5, 0x3C, 0xF0, 0x5A, 0x81, 0x7E, 0xC3, 0x19};

// A heap block of exactly Size bytes.
std::unique_ptr<uint8_t[]> ExactBuffer(int32_t Size, const uint8_t* Fill) {
  std::unique_ptr<uint8_t[]> Data(new uint8_t[static_cast<size_t>(Size)]);
  for (int32_t I = 0; I < Size; ++I) Data[static_cast<size_t>(I)] = Fill[I % 8];
  return Data;
}

// Checks the position model's invariants against the bit position Pos.
::testing::AssertionResult IsAt(const TBitStream4& Reader, const uint8_t* Data, int32_t Size, int64_t Pos) {
  const bool Ok = Reader.ByteIndex() == Pos >> 3 && Reader.BitsTaken() == (Pos & 7) &&
                  Reader.RemainBits() == 8 * int64_t{Size} - Pos &&
                  reinterpret_cast<uintptr_t>(Reader.GetNextByte()) ==
                      reinterpret_cast<uintptr_t>(Data) + static_cast<uintptr_t>(Pos >> 3) &&
                  Reader.GetDataSizeLeft() == Size - (Pos >> 3);
  if (Ok) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected bit position " << Pos << ", reader at byte "
                                       << Reader.ByteIndex() << " bit " << Reader.BitsTaken() << " remain "
                                       << Reader.RemainBits();
}

// A reader on Data, moved to bit position Pos (which may lie past the end).
void StartAt(TBitStream4& Reader, const uint8_t* Data, int32_t Size, int64_t Pos) {
  ASSERT_EQ(Reader.SetData(Data, Size), HR_S_OK);
  Reader.DumpBitsNoCheck(static_cast<int32_t>(Pos));
}

TEST(BitStreamTable, EveryOperationAtEveryPositionOfShortBuffers) {
  const std::vector<TBitOp> Ops = AllBitOps();
  TDebugCapture Capture;
  for (int32_t Size = 1; Size <= 8; ++Size) {
    const auto Data = ExactBuffer(Size, Pattern);
    for (int64_t Pos = 0; Pos <= 8 * Size + 48; ++Pos) {
      const int64_t Remain = 8 * Size - Pos;
      for (const TBitOp& Op : Ops) {
        SCOPED_TRACE(::testing::Message() << Op.Name << " on " << Size << " bytes at bit " << Pos);
        TBitStream4 Reader;
        StartAt(Reader, Data.get(), Size, Pos);
        Capture.Clear();
        const uint64_t Value = Op.Run(Reader);
        if (!Op.MayWrite) {
          ASSERT_TRUE(Capture.Lines().empty()) << ToUtf8(Capture.Lines().front());
        }
        if (Remain < Op.MinRemainBits) {
          ASSERT_EQ(Value, 0u);
          ASSERT_TRUE(Reader.EndOfStream());
          ASSERT_TRUE(IsAt(Reader, Data.get(), Size, Pos));
          continue;
        }
        const int64_t From = Op.ByteGranular ? Pos & ~int64_t{7} : Pos;
        if (Op.HasValue) {
          ASSERT_EQ(Value, ReferenceBits(Data.get(), Size, From, Op.Width));
        }
        ASSERT_FALSE(Reader.EndOfStream());
        ASSERT_TRUE(IsAt(Reader, Data.get(), Size, Op.Moves ? Pos + Op.Width : Pos));
      }
    }
  }
}

// Read_ue as the algorithm states it, over the reference bits; returns the code number and
// leaves the final position in Pos and the end-of-stream flag in EndOfStream.
uint32_t ReferenceUe(const uint8_t* Data, int32_t Size, int64_t& Pos, bool& EndOfStream) {
  EndOfStream = false;
  if (8 * Size - Pos < 0) {
    EndOfStream = true;
    return 0;
  }
  int32_t Zeros = 0;
  while (ReferenceBits(Data, Size, Pos++, 1) == 0) {
    ++Zeros;
    if (8 * Size - Pos < 0 || Zeros > 31) {
      EndOfStream = true;
      return 0;
    }
  }
  const auto Suffix = static_cast<uint32_t>(ReferenceBits(Data, Size, Pos, Zeros));
  Pos += Zeros;
  return Suffix + static_cast<uint32_t>((uint64_t{1} << Zeros) - 1);
}

TEST(BitStreamTable, ExpGolombAtEveryPositionOfShortBuffers) {
  // Long runs of zeros, single stop bits and mixed codes.
  const uint8_t Fills[][8] = {{0, 0, 0, 0, 0, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                              {0x01, 0x00, 0x80, 0x00, 0x00, 0x01, 0x00, 0x40}, {0xA5, 0x3C, 0xF0, 0x5A, 0x81, 0x7E, 0xC3, 0x19}};
  for (const auto& Fill : Fills) {
    for (int32_t Size = 1; Size <= 8; ++Size) {
      const auto Data = ExactBuffer(Size, Fill);
      for (int64_t Pos = 0; Pos <= 8 * Size + 8; ++Pos) {
        SCOPED_TRACE(::testing::Message() << Size << " bytes from " << int{Fill[0]} << " at bit " << Pos);
        int64_t End = Pos;
        bool EndOfStream = false;
        const uint32_t Expected = ReferenceUe(Data.get(), Size, End, EndOfStream);

        TBitStream4 Reader;
        StartAt(Reader, Data.get(), Size, Pos);
        ASSERT_EQ(Reader.Read_ue(), Expected);
        ASSERT_EQ(Reader.EndOfStream(), EndOfStream);
        ASSERT_TRUE(IsAt(Reader, Data.get(), Size, End));

        TBitStream4 Signed;
        StartAt(Signed, Data.get(), Size, Pos);
        const int64_t Magnitude = (int64_t{Expected} + 1) / 2;
        ASSERT_EQ(Signed.Read_se(), (Expected & 1) ? Magnitude : -Magnitude);
        ASSERT_TRUE(IsAt(Signed, Data.get(), Size, End));
      }
    }
  }
}

TEST(BitStreamTable, RbspEndAndBitDumpAtEveryPositionOfShortBuffers) {
  TDebugCapture Capture;
  for (int32_t Size = 1; Size <= 8; ++Size) {
    const auto Data = ExactBuffer(Size, Pattern);
    for (int64_t Pos = 0; Pos <= 8 * Size + 40; ++Pos) {
      SCOPED_TRACE(::testing::Message() << Size << " bytes at bit " << Pos);
      const int64_t Remain = 8 * Size - Pos;
      TBitStream4 Reader;
      StartAt(Reader, Data.get(), Size, Pos);

      bool More = Remain > 8;
      if (Remain > 0 && Remain <= 8) {
        const uint32_t Low = Data[static_cast<size_t>(Pos >> 3)] & ((1u << Remain) - 1u);
        More = Low != 1u << (Remain - 1);
      }
      ASSERT_EQ(Reader.more_rbsp_data(), More);

      for (int32_t Count = 0; Count <= 32; ++Count) {
        Capture.Clear();
        Reader.OutputDebugStringNumBits(Count);
        std::u16string Expected = u"nox: Error in TBitStream4.OutputDebugStringNumBits - not enough bits";
        if (Remain >= Count - 32) {
          Expected.clear();
          for (int32_t Bit = 0; Bit < Count; ++Bit)
            Expected += ReferenceBits(Data.get(), Size, Pos + Bit, 1) ? u'1' : u'0';
        }
        ASSERT_EQ(Capture.Lines(), std::vector<std::u16string>{Expected}) << "width " << Count;
      }
      ASSERT_FALSE(Reader.EndOfStream());
      ASSERT_TRUE(IsAt(Reader, Data.get(), Size, Pos));
    }
  }
}

TEST(BitStreamTable, SeekingBackBeforeTheStartReadsZerosThere) {
  for (int32_t Size = 1; Size <= 8; ++Size) {
    SCOPED_TRACE(::testing::Message() << Size << " bytes");
    const auto Data = ExactBuffer(Size, Pattern);
    TBitStream4 Reader;
    ASSERT_EQ(Reader.SetData(Data.get(), Size), HR_S_OK);
    Reader.SeekBackAlignedBytes(3);
    EXPECT_EQ(Reader.ByteIndex(), -3);
    EXPECT_EQ(Reader.RemainBits(), 8 * (Size + 3));
    // Three zero bytes, then the first byte of the data.
    EXPECT_EQ(Reader.NextAligned32BitDW(), uint32_t{Data[0]});
    EXPECT_EQ(Reader.ReadBitsDW(32), uint32_t{Data[0]});
    EXPECT_EQ(Reader.Read1BitDW(), 0u);
    EXPECT_EQ(Reader.ByteIndex(), 1);
    EXPECT_EQ(Reader.BitsTaken(), 1);
  }
}

}  // namespace
}  // namespace corvane::test
