// The bit reader's position model, end-of-data rule, diagnostics and special operations.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/BitStream4.h"
#include "core/ODSUtls.h"
#include "support/BitWriter.h"

namespace corvane::test {
namespace {

using TLines = std::vector<std::u16string>;

struct TState {
  int32_t ByteIndex;
  int32_t BitsTaken;
  int64_t RemainBits;
  bool EndOfStream;
  bool operator==(const TState&) const = default;
};

std::ostream& operator<<(std::ostream& Out, const TState& S) {
  return Out << "{byte " << S.ByteIndex << ", bit " << S.BitsTaken << ", remain " << S.RemainBits
             << (S.EndOfStream ? ", end" : "") << "}";
}

TState StateOf(const TBitStream4& R) { return {R.ByteIndex(), R.BitsTaken(), R.RemainBits(), R.EndOfStream()}; }

TEST(BitStream4, NewReaderHasNoDataAndZeroState) {
  TBitStream4 Reader;
  EXPECT_EQ(StateOf(Reader), (TState{0, 0, 0, false}));
  EXPECT_EQ(Reader.DataSize(), 0);
  EXPECT_EQ(Reader.Data(), nullptr);
  EXPECT_EQ(Reader.GetNextByte(), nullptr);
}

TEST(BitStream4, FieldsSpanBytesMostSignificantBitFirst) {
  const uint8_t Data[] = {0x0B, 0x77};
  TBitStream4 Reader;
  ASSERT_EQ(Reader.SetData(Data, 2), HR_S_OK);
  EXPECT_EQ(Reader.ReadBitsDW(4), 0u);
  EXPECT_EQ(StateOf(Reader), (TState{0, 4, 12, false}));
  EXPECT_EQ(Reader.ReadBitsDW(12), 0xB77u);
  EXPECT_EQ(StateOf(Reader), (TState{2, 0, 0, false}));
  EXPECT_EQ(Reader.GetNextByte(), Data + 2);
}

TEST(BitStream4, AlignToByteMovesOnlyWhenInsideAByte) {
  const uint8_t Data[] = {0xA5};
  TBitStream4 Reader;
  ASSERT_EQ(Reader.SetData(Data, 1), HR_S_OK);
  Reader.ReadBitsAlignToByte();
  EXPECT_EQ(StateOf(Reader), (TState{0, 0, 8, false}));
  EXPECT_EQ(Reader.Read1BitDW(), 1u);
  EXPECT_EQ(StateOf(Reader), (TState{0, 1, 7, false}));
  Reader.ReadBitsAlignToByte();
  EXPECT_EQ(StateOf(Reader), (TState{1, 0, 0, false}));
  Reader.ReadBitsAlignToByte();
  EXPECT_EQ(StateOf(Reader), (TState{1, 0, 0, false}));
  // It makes no end-of-data test: it moves on past the end too.
  Reader.DumpBitsNoCheck(3);
  Reader.ReadBitsAlignToByte();
  EXPECT_EQ(StateOf(Reader), (TState{2, 0, -8, false}));
}

TEST(BitStream4, ReadsMayRunUpTo32BitsPastTheEnd) {
  const uint8_t Data[] = {0x12, 0x34};
  TBitStream4 Reader;
  ASSERT_EQ(Reader.SetData(Data, 2), HR_S_OK);
  EXPECT_EQ(Reader.ReadBitsDW(16), 0x1234u);
  EXPECT_EQ(StateOf(Reader), (TState{2, 0, 0, false}));
  EXPECT_EQ(Reader.ReadBitsDW(16), 0u);
  EXPECT_EQ(StateOf(Reader), (TState{4, 0, -16, false}));
  EXPECT_EQ(Reader.ReadBitsDW(17), 0u);
  EXPECT_EQ(StateOf(Reader), (TState{4, 0, -16, true}));
  EXPECT_EQ(Reader.ReadBitsDW(16), 0u);
  EXPECT_EQ(StateOf(Reader), (TState{6, 0, -32, true}));
  for (int32_t Width = 1; Width <= 32; ++Width) {
    EXPECT_EQ(Reader.ReadBitsDW(Width), 0u);
    EXPECT_EQ(Reader.NextBitsDW(Width), 0u);
  }
  EXPECT_EQ(Reader.Read1BitDW(), 0u);
  EXPECT_EQ(StateOf(Reader), (TState{6, 0, -32, true}));
  // A width of 0 is still admitted and yields 0.
  EXPECT_EQ(Reader.ReadBitsDW(0), 0u);
  EXPECT_EQ(StateOf(Reader), (TState{6, 0, -32, true}));
}

TEST(BitStream4, EndOfStreamIsStickyUntilSeekBackOrSetData) {
  const uint8_t Data[] = {0xF0, 0x0F};
  TBitStream4 Reader;
  ASSERT_EQ(Reader.SetData(Data, 2), HR_S_OK);
  Reader.DumpBits(16);
  EXPECT_EQ(Reader.Read32BitsDW(), 0u);  // admitted at FRemainBits 0, leaves -32
  EXPECT_FALSE(Reader.EndOfStream());
  EXPECT_EQ(Reader.ReadUpTo32BitsDW(1), 0u);  // needs FRemainBits >= 0 whatever the width
  EXPECT_TRUE(Reader.EndOfStream());

  Reader.SeekBackAlignedBytes(6);
  EXPECT_EQ(StateOf(Reader), (TState{0, 0, 16, false}));
  EXPECT_EQ(Reader.ReadBitsDW(33), 0u);  // a width past 32 is refused
  EXPECT_TRUE(Reader.EndOfStream());
  EXPECT_EQ(Reader.Read4BitsDW(), 0xFu);  // admitted, the flag stays
  EXPECT_TRUE(Reader.EndOfStream());

  Reader.SeekBackAlignedBytes(1);
  EXPECT_FALSE(Reader.EndOfStream());
  EXPECT_EQ(StateOf(Reader), (TState{-1, 4, 20, false}));

  Reader.DumpBits(5);
  ASSERT_EQ(Reader.SetData(Data, 2), HR_S_OK);
  EXPECT_EQ(StateOf(Reader), (TState{0, 0, 16, false}));
}

TEST(BitStream4, SeekBackKeepsTheBitOffsetAndIgnoresCountsBelowOne) {
  const uint8_t Data[] = {0x01, 0x02, 0x03, 0x04};
  TBitStream4 Reader;
  ASSERT_EQ(Reader.SetData(Data, 4), HR_S_OK);
  Reader.DumpBits(21);
  const TState At21 = StateOf(Reader);
  Reader.SeekBackAlignedBytes(0);
  Reader.SeekBackAlignedBytes(-2);
  EXPECT_EQ(StateOf(Reader), At21);
  Reader.SeekBackAlignedBytes(2);
  EXPECT_EQ(StateOf(Reader), (TState{0, 5, 27, false}));
  EXPECT_EQ(Reader.ReadBitsDW(11), 0x102u);
}

TEST(BitStream4, SetDataRefusesNullAndEmptyDataAndKeepsTheOldState) {
  const uint8_t Data[] = {0xAB, 0xCD, 0xEF};
  TBitStream4 Reader;
  ASSERT_EQ(Reader.SetData(Data, 3), HR_S_OK);
  Reader.DumpBits(9);
  const TState Before = StateOf(Reader);
  const uint8_t Other[] = {0};
  TDebugCapture Capture;
  EXPECT_EQ(Reader.SetData(nullptr, 3), HR_E_FAIL);
  EXPECT_EQ(Reader.SetData(Other, 0), HR_E_FAIL);
  EXPECT_EQ(Reader.SetData(Other, -1), HR_E_FAIL);
  EXPECT_EQ(StateOf(Reader), Before);
  EXPECT_EQ(Reader.Data(), Data);
  EXPECT_EQ(Reader.DataSize(), 3);
  EXPECT_EQ(Reader.GetNextByte(), Data + 1);
  EXPECT_EQ(Reader.ReadBitsDW(7), 0xCDu & 0x7Fu);
  EXPECT_TRUE(Capture.Lines().empty());
  EXPECT_EQ(HR_E_FAIL, static_cast<THResult>(0x80004005u));
}

TEST(BitStream4, DataSizeLeftCountsThePartlyReadByte) {
  const uint8_t Data[] = {1, 2, 3, 4};
  TBitStream4 Reader;
  ASSERT_EQ(Reader.SetData(Data, 4), HR_S_OK);
  Reader.DumpBits(3);
  EXPECT_EQ(Reader.GetDataSizeLeft(), 4);
  Reader.DumpBits(5);
  EXPECT_EQ(Reader.GetDataSizeLeft(), 3);
}

TEST(BitStream4, DumpBitsWithANegativeCountReportsAndKeepsTheState) {
  const uint8_t Data[] = {0xFF};
  TBitStream4 Reader;
  ASSERT_EQ(Reader.SetData(Data, 1), HR_S_OK);
  Reader.DumpBits(3);
  TDebugCapture Capture;
  Reader.DumpBits(-1);
  EXPECT_EQ(Capture.Lines(), TLines{u"nox: Error in TBitStream4.DumpBits - negative value..."});
  EXPECT_EQ(StateOf(Reader), (TState{0, 3, 5, false}));
  Reader.DumpBits(64);  // refused
  Capture.Clear();
  Reader.DumpBits(-1);
  EXPECT_EQ(Capture.Lines().size(), 1u);
  EXPECT_EQ(StateOf(Reader), (TState{0, 3, 5, true}));
}

// The NoCheck forms report a failed test and carry on; they never touch FEndOfStream.
TEST(BitStream4, NoCheckFormsReportAndCarryOn) {
  const uint8_t Data[] = {0xFF};
  TBitStream4 Reader;
  ASSERT_EQ(Reader.SetData(Data, 1), HR_S_OK);
  TDebugCapture Capture;
  EXPECT_EQ(Reader.ReadBitsDWNoCheck(32), 0xFF000000u);  // -24 >= 0: passes
  EXPECT_EQ(Reader.NextBitsDWNoCheck(8), 0u);            // -24 >= -24: passes
  EXPECT_TRUE(Capture.Lines().empty());
  EXPECT_EQ(Reader.NextBitsDWNoCheck(9), 0u);
  EXPECT_EQ(Reader.ReadBitsDWNoCheck(9), 0u);
  Reader.DumpBitsNoCheck(9);
  EXPECT_EQ(Capture.Lines(),
            (TLines{u"nox: Error in TBitStream4.NextBitsDWNoCheck - no enough bits call...",
                    u"nox: Error in TBitStream4.ReadBitsDWNoCheck - no enough bits call...",
                    u"nox: Error in TBitStream4.DumpBitsNoCheck - no enough bits call..."}));
  EXPECT_EQ(StateOf(Reader), (TState{6, 2, -42, false}));

  // The flag, once raised, is left as it is.
  Reader.DumpBits(1);
  ASSERT_TRUE(Reader.EndOfStream());
  Reader.ReadBitsDWNoCheck(1);
  Reader.DumpAligned32BitsNoCheck();
  EXPECT_TRUE(Reader.EndOfStream());
  EXPECT_EQ(StateOf(Reader), (TState{10, 3, -75, true}));
  EXPECT_EQ(Capture.Lines().size(), 4u);  // the aligned NoCheck skip writes nothing
}

TEST(BitStream4, ByteReadsIgnoreTheBitOffsetAndOnlySomeSayNotAligned) {
  const uint8_t Data[] = {0x12, 0x34, 0x56, 0x78, 0x9A};
  TBitStream4 Reader;
  ASSERT_EQ(Reader.SetData(Data, 5), HR_S_OK);
  Reader.DumpBits(3);
  TDebugCapture Capture;
  EXPECT_EQ(Reader.NextAligned16BitDW(), 0x1234u);
  EXPECT_EQ(Reader.NextAligned24BitDW(), 0x123456u);
  EXPECT_EQ(Reader.NextAligned32BitDW(), 0x12345678u);
  EXPECT_EQ(Reader.ReadAligned16BitDW(), 0x1234u);
  EXPECT_EQ(StateOf(Reader), (TState{2, 3, 21, false}));
  Reader.DumpAligned8Bits();
  EXPECT_TRUE(Capture.Lines().empty());

  EXPECT_EQ(Reader.NextAligned8BitDW(), 0x78u);
  EXPECT_EQ(Reader.ReadAligned8BitDW(), 0x78u);
  EXPECT_EQ(Reader.NextAlignedBytes(1), 0x9Au);
  EXPECT_EQ(Reader.ReadAlignedBytesDW(0), 0u);
  EXPECT_EQ(Capture.Lines(), (TLines{u"nox: Error in TBitStream4.NextAligned8BitDW - not aligned.",
                                     u"nox: Error in TBitStream4.ReadAligned8BitDW - not aligned.",
                                     u"nox: Error in TBitStream4.NextAlignedBytes - not aligned.",
                                     u"nox: Error in TBitStream4.ReadAlignedBytesDW - not aligned."}));
  EXPECT_EQ(StateOf(Reader), (TState{4, 3, 5, false}));
}

TEST(BitStream4, AlignedReadsReportShortDataBeforeMisalignment) {
  const uint8_t Data[] = {0xAA};
  TBitStream4 Reader;
  ASSERT_EQ(Reader.SetData(Data, 1), HR_S_OK);
  Reader.DumpBitsNoCheck(33);  // FRemainBits -25, FBitsTaken 1
  TDebugCapture Capture;
  EXPECT_EQ(Reader.ReadAligned8BitDW(), 0u);
  EXPECT_EQ(Reader.NextAligned8BitDW(), 0u);
  EXPECT_EQ(Reader.ReadAlignedBytesDW(1), 0u);
  EXPECT_EQ(Reader.NextAlignedBytes(1), 0u);
  EXPECT_EQ(Reader.ReadAlignedBytesDW(0), 0u);  // a count of 0 is admitted down to -32
  EXPECT_EQ(Capture.Lines(), (TLines{u"nox: Error in TBitStream4.ReadAligned8BitDW - no enough bits call...",
                                     u"nox: Error in TBitStream4.ReadAligned8BitDW - not aligned.",
                                     u"nox: Error in TBitStream4.NextAligned8BitDW - no enough bits call...",
                                     u"nox: Error in TBitStream4.NextAligned8BitDW - not aligned.",
                                     u"nox: Error in TBitStream4.ReadAlignedBytesDW - no enough bits call...",
                                     u"nox: Error in TBitStream4.ReadAlignedBytesDW - not aligned.",
                                     u"nox: Error in TBitStream4.NextAlignedBytes - no enough bits call...",
                                     u"nox: Error in TBitStream4.NextAlignedBytes - not aligned.",
                                     u"nox: Error in TBitStream4.ReadAlignedBytesDW - not aligned."}));
  EXPECT_EQ(StateOf(Reader), (TState{4, 1, -25, true}));
}

TEST(BitStream4, AlignedByteCountsOutsideZeroToFourAreRefused) {
  const uint8_t Data[] = {1, 2, 3, 4, 5, 6, 7, 8};
  TBitStream4 Reader;
  ASSERT_EQ(Reader.SetData(Data, 8), HR_S_OK);
  EXPECT_EQ(Reader.ReadAlignedBytesDW(5), 0u);
  EXPECT_EQ(Reader.NextAlignedBytes(-1), 0u);
  Reader.DumpAlignedBytes(-1);
  EXPECT_EQ(StateOf(Reader), (TState{0, 0, 64, true}));
}

TEST(BitStream4, WideReadsAreSplitAndExact) {
  const uint8_t Data[] = {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x23, 0x45, 0x67};
  TBitStream4 Reader;
  ASSERT_EQ(Reader.SetData(Data, 8), HR_S_OK);
  Reader.DumpBits(4);
  EXPECT_EQ(Reader.NextUpTo32BitsDW(32), 0xEADBEEF0u);
  EXPECT_EQ(Reader.ReadUpTo32BitsDW(28), 0xEADBEEFu);
  EXPECT_EQ(Reader.Read40BitsIntInt64(), int64_t{0x0123456700});
  EXPECT_EQ(Reader.RemainBits(), -8);
  EXPECT_EQ(Reader.Read40BitsIntInt64(), 0);  // needs FRemainBits >= 8
  EXPECT_TRUE(Reader.EndOfStream());
  Reader.SeekBackAlignedBytes(5);
  EXPECT_EQ(Reader.Read32BitsDW(), 0x01234567u);
  // A variable-width field that starts late in a byte and reaches into a fifth byte.
  ASSERT_EQ(Reader.SetData(Data, 8), HR_S_OK);
  Reader.DumpBits(7);
  EXPECT_EQ(Reader.NextBitsDW(32), 0x56DF7780u);
  EXPECT_EQ(Reader.ReadBitsDW(30), 0x56DF7780u >> 2);
}

// Zeros leading zero bits, a 1, then the Zeros-bit suffix.
struct TExpGolombCase {
  int32_t Zeros;
  uint32_t Suffix;
  uint32_t CodeNum;
  int32_t Signed;
};

TEST(BitStream4, ExpGolombCodes) {
  const TExpGolombCase Cases[] = {
      {0, 0, 0, 0},     {1, 0, 1, 1},    {1, 1, 2, -1},  {2, 0, 3, 2},
      {2, 1, 4, -2},    {2, 3, 6, -3},   {3, 0, 7, 4},   {9, 511, 1022, -511},
      {31, 0, 0x7FFFFFFFu, 0x40000000}, {31, 0x7FFFFFFEu, 0xFFFFFFFDu, 0x7FFFFFFF},
  };
  for (const TExpGolombCase& Case : Cases) {
    // Each code after 0 to 7 bits of padding, followed by a stop bit.
    for (int32_t Pad = 0; Pad < 8; ++Pad) {
      SCOPED_TRACE(::testing::Message() << "code " << Case.CodeNum << " after " << Pad << " bits");
      TBitWriter Writer;
      Writer.Put(0x55, Pad).Put(0, Case.Zeros).Put(1, 1).Put(Case.Suffix, Case.Zeros).Put(1, 1).Align();
      const std::vector<uint8_t> Bytes = Writer.Bytes();
      const int32_t End = Pad + 2 * Case.Zeros + 1;

      TBitStream4 Reader;
      ASSERT_EQ(Reader.SetData(Bytes.data(), static_cast<int32_t>(Bytes.size())), HR_S_OK);
      Reader.DumpBits(Pad);
      EXPECT_EQ(Reader.Read_ue(), Case.CodeNum);
      EXPECT_EQ(Reader.ByteIndex() * 8 + Reader.BitsTaken(), End);
      EXPECT_FALSE(Reader.EndOfStream());

      ASSERT_EQ(Reader.SetData(Bytes.data(), static_cast<int32_t>(Bytes.size())), HR_S_OK);
      Reader.DumpBits(Pad);
      EXPECT_EQ(Reader.Read_se(), Case.Signed);
      EXPECT_EQ(Reader.ByteIndex() * 8 + Reader.BitsTaken(), End);
    }
  }
}

TEST(BitStream4, ExpGolombCodeRunningOffTheEndIsRefused) {
  const uint8_t Zeros[] = {0x00, 0x00};
  TBitStream4 Reader;
  ASSERT_EQ(Reader.SetData(Zeros, 2), HR_S_OK);
  EXPECT_EQ(Reader.Read_ue(), 0u);
  EXPECT_TRUE(Reader.EndOfStream());
  EXPECT_EQ(Reader.RemainBits(), -1);
  // At entry FRemainBits must not be negative.
  Reader.SeekBackAlignedBytes(1);
  Reader.DumpBits(8);
  EXPECT_EQ(Reader.RemainBits(), -1);
  EXPECT_EQ(Reader.Read_se(), 0);
  EXPECT_EQ(Reader.Read_ue(), 0u);
  EXPECT_TRUE(Reader.EndOfStream());
  EXPECT_EQ(Reader.RemainBits(), -1);
}

struct TRbspCase {
  std::vector<uint8_t> Data;
  int32_t SkipBits;
  bool More;
};

TEST(BitStream4, MoreRbspDataLooksForTheStopBitInTheLastByte) {
  const TRbspCase Cases[] = {
      {{0x80}, 0, false},       // only the stop bit
      {{0xC0}, 0, true},        // a data bit before it
      {{0x80, 0x00}, 0, true},  // trailing zero bytes are not looked for
      {{0x58}, 4, false},       // low four bits 1000: the stop bit
      {{0x5C}, 4, true},        // low four bits 1100: a data bit first
      {{0x01}, 7, false},       // the last bit alone
      {{0x00}, 7, true},        // no stop bit at all
      {{0xFF}, 8, false},       // nothing left
      {{0xFF}, 9, false},       // past the end
  };
  for (const TRbspCase& Case : Cases) {
    TBitStream4 Reader;
    ASSERT_EQ(Reader.SetData(Case.Data.data(), static_cast<int32_t>(Case.Data.size())), HR_S_OK);
    Reader.DumpBits(Case.SkipBits);
    EXPECT_EQ(Reader.more_rbsp_data(), Case.More) << int{Case.Data[0]} << " after " << Case.SkipBits;
  }
}

TEST(BitStream4, OutputDebugStringNumBitsWritesBitsWithoutMoving) {
  const uint8_t Data[] = {0xA5, 0x0F};
  TBitStream4 Reader;
  ASSERT_EQ(Reader.SetData(Data, 2), HR_S_OK);
  TDebugCapture Capture;
  Reader.OutputDebugStringNumBits(8);
  Reader.DumpBits(3);
  Reader.OutputDebugStringNumBits(9);
  Reader.OutputDebugStringNumBits(1);
  EXPECT_EQ(Capture.Lines(), (TLines{u"10100101", u"001010000", u"0"}));
  EXPECT_EQ(StateOf(Reader), (TState{0, 3, 13, false}));
  Reader.DumpBits(45);  // FRemainBits -32
  Capture.Clear();
  Reader.OutputDebugStringNumBits(1);
  EXPECT_EQ(Capture.Lines(), TLines{u"nox: Error in TBitStream4.OutputDebugStringNumBits - not enough bits"});
  EXPECT_FALSE(Reader.EndOfStream());
}

}  // namespace
}  // namespace corvane::test
