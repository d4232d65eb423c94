// Decoding E-AC-3 syncframe headers, recognising frame starts and measuring frames.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "analysis/AC3PlusUtils.h"
#include "core/ODSUtls.h"
#include "support/AC3PlusComposer.h"
#include "support/TempFile.h"

namespace corvane {
namespace {

using test::ComposeAC3PlusFrame;
using test::ComposeAC3PlusStream;
using test::DiffAC3PlusFrames;
using test::ExtractBytes;
using test::PlainAC3PlusFrame;

TAC3PlusFrame Filled(uint8_t Byte) {
  TAC3PlusFrame F;
  std::memset(&F, Byte, sizeof F);
  return F;
}

// Ends the header with four known additional bsi bytes, so that a decoder that takes one
// bit too many or too few anywhere before them reads them wrong.
void AddEndMarker(TAC3PlusFrame& F) {
  if (F.addbsie) return;
  F.addbsie = 1;
  F.addbsil = 3;
  const uint8_t Marker[] = {0xDE, 0xAD, 0xBE, 0xEF};
  std::memcpy(F.addbsi, Marker, sizeof Marker);
}

TAC3PlusFrame Parse(const std::vector<uint8_t>& Bytes) {
  TAC3PlusFrame Actual{};
  EXPECT_TRUE(parse_ac3_plus_frame(Bytes.data(), static_cast<int32_t>(Bytes.size()), Actual));
  return Actual;
}

std::string Joined(const std::vector<std::string>& Lines) {
  std::string Text;
  for (const std::string& Line : Lines) Text += Line + "\n";
  return Text;
}

// ---------------------------------------------------------------------------------------------
// Every branch of bsi(): the case sets the fields the frame carries (derived ones included);
// the composed frame must decode into exactly those values.

struct TBranchCase {
  const char* Name;
  void (*Setup)(TAC3PlusFrame&);
  uint32_t BlockFlags = 0x3F;
};

const TBranchCase BranchCases[] = {
    {"CoreThreeTwoWithLfeAndCompr",
     [](TAC3PlusFrame& F) {
       F.substreamid = 5, F.frmsiz = 1023, F.acmod = 7, F.lfeon = 1, F.dialnorm = 17, F.compre = 1, F.compr = 0x9C;
     }},
    {"OnePlusOneSecondChannel",
     [](TAC3PlusFrame& F) { F.acmod = 0, F.dialnorm2 = 9, F.compr2e = 1, F.compr2 = 0x81; }},
    {"DependentWithChanmap", [](TAC3PlusFrame& F) { F.strmtyp = 1, F.substreamid = 2, F.chanmape = 1, F.chanmap = 0xA53C; }},
    {"DependentWithoutChanmap", [](TAC3PlusFrame& F) { F.strmtyp = 1, F.chanmape = 0; }},
    {"StrmtypTwoSixBlocksDerivesBlkid",
     [](TAC3PlusFrame& F) { F.strmtyp = 2, F.numblkscod = 3, F.blkid = 1, F.frmsizecod = 37; }},
    {"StrmtypTwoCodedBlkidSet", [](TAC3PlusFrame& F) { F.strmtyp = 2, F.numblkscod = 1, F.blkid = 1, F.frmsizecod = 21; }},
    {"StrmtypTwoCodedBlkidClear", [](TAC3PlusFrame& F) { F.strmtyp = 2, F.numblkscod = 0, F.blkid = 0; }},
    {"ReducedRateReadsFscod2AndDerivesSixBlocks",
     [](TAC3PlusFrame& F) {
       F.fscod = 3, F.fscod2 = 1, F.numblkscod = 3;
       F.infomdate = 1, F.bsmod = 7, F.origbs = 1, F.dsurmod = 1, F.dheadphonmod = 2;  // no sourcefscod
     }},
    {"ConvsyncWithFewerBlocks", [](TAC3PlusFrame& F) { F.numblkscod = 2, F.convsync = 1; }},
    {"DownmixLevelsOfDependentStream",
     [](TAC3PlusFrame& F) {
       F.strmtyp = 1, F.acmod = 7, F.lfeon = 1, F.mixmdate = 1, F.dmixmod = 3, F.ltrtcmixlev = 5, F.lorocmixlev = 6;
       F.ltrtsurmixlev = 3, F.lorosurmixlev = 4, F.lfemixlevcode = 1, F.lfemixlevcod = 21;
     }},
    {"SurroundLevelsAndProgramScales",
     [](TAC3PlusFrame& F) {
       F.acmod = 6, F.mixmdate = 1, F.dmixmod = 1, F.ltrtsurmixlev = 2, F.lorosurmixlev = 7;
       F.pgmscle = 1, F.pgmscl = 45, F.extpgmscle = 1, F.extpgmscl = 12;
     }},
    {"ThreeFrontLevelsWithoutLfeCode",
     [](TAC3PlusFrame& F) { F.acmod = 3, F.lfeon = 1, F.mixmdate = 1, F.dmixmod = 2, F.ltrtcmixlev = 1, F.lorocmixlev = 7; }},
    {"MixdefOne",
     [](TAC3PlusFrame& F) { F.mixmdate = 1, F.mixdef = 1, F.premixcmpsel = 1, F.drcsrc = 1, F.premixcmpscl = 5; }},
    {"MixdefTwo", [](TAC3PlusFrame& F) { F.mixmdate = 1, F.mixdef = 2, F.mixdata = 0xABC; }},
    {"OnePlusOneProgramAndPanInfo",
     [](TAC3PlusFrame& F) {
       F.acmod = 0, F.mixmdate = 1, F.pgmscl2e = 1, F.pgmscl2 = 33;
       F.paninfoe = 1, F.panmean = 200, F.paninfo = 41, F.paninfo2e = 1, F.panmean2 = 77, F.paninfo2 = 22;
     }},
    {"MonoPanInfo", [](TAC3PlusFrame& F) { F.acmod = 1, F.mixmdate = 1, F.paninfoe = 1, F.panmean = 3, F.paninfo = 60; }},
    {"FrameMixConfigOneBlock",
     [](TAC3PlusFrame& F) { F.numblkscod = 0, F.mixmdate = 1, F.frmmixcfginfoe = 1, F.blkmixcfginfo[0] = 19; }},
    {"FrameMixConfigTwoBlocks",
     [](TAC3PlusFrame& F) {
       F.numblkscod = 1, F.mixmdate = 1, F.frmmixcfginfoe = 1, F.blkmixcfginfo[0] = 3, F.blkmixcfginfo[1] = 28;
       F.blkmixcfginfoe = 1;
     }},
    {"FrameMixConfigThreeBlocksLastFlagClear",
     [](TAC3PlusFrame& F) {
       F.numblkscod = 2, F.mixmdate = 1, F.frmmixcfginfoe = 1, F.blkmixcfginfo[0] = 31, F.blkmixcfginfo[1] = 6;
       F.blkmixcfginfoe = 0;
     },
     0x03},
    {"FrameMixConfigSixBlocks",
     [](TAC3PlusFrame& F) {
       F.numblkscod = 3, F.mixmdate = 1, F.frmmixcfginfoe = 1, F.blkmixcfginfo[0] = 1, F.blkmixcfginfo[2] = 2;
       F.blkmixcfginfo[5] = 30, F.blkmixcfginfoe = 1;
     },
     0x25},
    {"InformationalStereo",
     [](TAC3PlusFrame& F) {
       F.infomdate = 1, F.bsmod = 5, F.copyrightb = 1, F.origbs = 1, F.dsurmod = 2, F.dheadphonmod = 1;
       F.audprodie = 1, F.mixlevel = 29, F.roomtyp = 2, F.adconvtyp = 1, F.sourcefscod = 1;
     }},
    {"InformationalOnePlusOne",
     [](TAC3PlusFrame& F) {
       F.acmod = 0, F.infomdate = 1, F.bsmod = 2, F.audprodi2e = 1, F.mixlevel2 = 7, F.roomtyp2 = 1, F.adconvtyp2 = 1;
       F.sourcefscod = 1;
     }},
    {"InformationalTwoTwo", [](TAC3PlusFrame& F) { F.acmod = 6, F.infomdate = 1, F.dsurexmod = 3, F.copyrightb = 1; }},
    {"AddbsiOfSixtyFourBytes",
     [](TAC3PlusFrame& F) {
       F.addbsie = 1, F.addbsil = 63;
       for (int I = 0; I < 64; ++I) F.addbsi[I] = static_cast<uint8_t>(I * 3 + 1);
     }},
};

class AC3PlusBranchTest : public testing::TestWithParam<TBranchCase> {};

TEST_P(AC3PlusBranchTest, DecodesExactlyTheComposedFields) {
  TAC3PlusFrame Expected = PlainAC3PlusFrame();
  GetParam().Setup(Expected);
  AddEndMarker(Expected);
  test::TAC3PlusComposeOptions Options;
  Options.BlockFlags = GetParam().BlockFlags;
  const TAC3PlusFrame Actual = Parse(ComposeAC3PlusFrame(Expected, Options).Bytes);
  EXPECT_EQ(Joined(DiffAC3PlusFrames(Expected, Actual)), "");
}

INSTANTIATE_TEST_SUITE_P(Branches, AC3PlusBranchTest, testing::ValuesIn(BranchCases),
                         [](const testing::TestParamInfo<TBranchCase>& Info) { return Info.param.Name; });

TEST(AC3PlusParseTest, WritesOnlyTheFieldsTheFrameCarries) {
  const TAC3PlusFrame Plain = PlainAC3PlusFrame();
  TAC3PlusFrame Actual = Filled(0xEE);
  const std::vector<uint8_t> Bytes = ComposeAC3PlusFrame(Plain).Bytes;
  ASSERT_TRUE(parse_ac3_plus_frame(Bytes.data(), static_cast<int32_t>(Bytes.size()), Actual));

  EXPECT_EQ(Actual.Offset, Filled(0xEE).Offset);
  EXPECT_EQ(Actual.Length, Filled(0xEE).Length);
  TAC3PlusFrame Expected = Filled(0xEE);
  Expected.syncword = 0x0B77, Expected.strmtyp = 0, Expected.substreamid = 0, Expected.frmsiz = 767;
  Expected.fscod = 0, Expected.numblkscod = 3, Expected.acmod = 2, Expected.lfeon = 0, Expected.bsid = 16;
  Expected.dialnorm = 31, Expected.compre = 0, Expected.mixmdate = 0, Expected.infomdate = 0, Expected.addbsie = 0;
  Expected.blkswe = 0, Expected.dithflage = 0, Expected.dynrnge = 0;  // from audfrm() and the first block
  EXPECT_EQ(Joined(DiffAC3PlusFrames(Expected, Actual)), "");
}

// ---------------------------------------------------------------------------------------------
// mixdef 3: the mixing data block is mixdeflen + 2 bytes from the bit after mixdeflen; its
// sub-fields sit at its start and the fields after it follow the block's last bit.

struct TMixBlockCase {
  const char* Name;
  void (*Setup)(TAC3PlusFrame&);
};

void SetAllMixBlockSubFields(TAC3PlusFrame& F) {
  F.mixdata2e = 1, F.premixcmpsel = 1, F.drcsrc = 0, F.premixcmpscl = 6;
  F.extpgmlscle = 1, F.extpgmlscl = 1, F.extpgmcscle = 1, F.extpgmcscl = 2, F.extpgmrscle = 1, F.extpgmrscl = 3;
  F.extpgmlsscle = 1, F.extpgmlsscl = 4, F.extpgmrsscle = 1, F.extpgmrsscl = 5, F.extpgmlfescle = 1;
  F.extpgmlfescl = 6, F.dmixscle = 1, F.dmixscl = 7, F.addche = 1, F.extpgmaux1scle = 1, F.extpgmaux1scl = 8;
  F.extpgmaux2scle = 1, F.extpgmaux2scl = 9;
  F.mixdata3e = 1, F.spchdat = 17, F.addspchdate = 1, F.spchdat1 = 9, F.spchan1att = 2, F.addspchdat1e = 1;
  F.spchdat2 = 30, F.spchan2att = 6;
}

const TMixBlockCase MixBlockCases[] = {
    {"EmptyBlockOfTwoBytes", [](TAC3PlusFrame& F) { F.mixdeflen = 0; }},
    {"EmptyBlockThenMonoPanInfo", [](TAC3PlusFrame& F) { F.acmod = 1, F.paninfoe = 1, F.panmean = 129, F.paninfo = 33; }},
    {"SpeechChannelsOnly",
     [](TAC3PlusFrame& F) {
       F.mixdeflen = 2, F.mixdata3e = 1, F.spchdat = 17, F.addspchdate = 1, F.spchdat1 = 9, F.spchan1att = 2;
       F.addspchdat1e = 1, F.spchdat2 = 30, F.spchan2att = 6;
     }},
    {"SomeScalesWithoutAuxChannels",
     [](TAC3PlusFrame& F) {
       F.mixdeflen = 5, F.mixdata2e = 1, F.premixcmpscl = 3, F.extpgmcscle = 1, F.extpgmcscl = 11, F.dmixscle = 1;
       F.dmixscl = 14;
     }},
    {"EverySubFieldInTheLargestBlock",
     [](TAC3PlusFrame& F) {
       F.mixdeflen = 31;
       SetAllMixBlockSubFields(F);
     }},
    // The sub-fields need more bits than the declared block holds: the reader goes on after
    // them and never back to the block's end.
    {"SubFieldsLongerThanTheBlock",
     [](TAC3PlusFrame& F) {
       F.mixdeflen = 0;
       SetAllMixBlockSubFields(F);
     }},
};

class AC3PlusMixBlockTest : public testing::TestWithParam<TMixBlockCase> {};

TEST_P(AC3PlusMixBlockTest, ReadsTheBlockAndContinuesAfterIt) {
  TAC3PlusFrame Expected = PlainAC3PlusFrame();
  Expected.mixmdate = 1, Expected.pgmscle = 1, Expected.pgmscl = 21, Expected.mixdef = 3;
  GetParam().Setup(Expected);
  Expected.frmmixcfginfoe = 1, Expected.blkmixcfginfo[0] = 1, Expected.blkmixcfginfo[1] = 2;
  Expected.blkmixcfginfo[2] = 3, Expected.blkmixcfginfo[3] = 4, Expected.blkmixcfginfo[4] = 5;
  Expected.blkmixcfginfo[5] = 6, Expected.blkmixcfginfoe = 1;
  Expected.infomdate = 1, Expected.bsmod = 3, Expected.audprodie = 1, Expected.mixlevel = 21, Expected.roomtyp = 1;
  Expected.sourcefscod = 1;
  AddEndMarker(Expected);

  const test::TComposedAC3PlusFrame Composed = ComposeAC3PlusFrame(Expected);
  const std::vector<uint8_t> Block = ExtractBytes(Composed.Bytes, Composed.MixDataBlockBit, Expected.mixdeflen + 2);
  std::memcpy(Expected.mixdatabytes, Block.data(), Block.size());
  Expected.mixdatafill = 0;

  TAC3PlusFrame Actual{};
  Actual.mixdatafill = 99;
  ASSERT_TRUE(parse_ac3_plus_frame(Composed.Bytes.data(), static_cast<int32_t>(Composed.Bytes.size()), Actual));
  EXPECT_EQ(Joined(DiffAC3PlusFrames(Expected, Actual)), "");
}

INSTANTIATE_TEST_SUITE_P(MixingDataBlock, AC3PlusMixBlockTest, testing::ValuesIn(MixBlockCases),
                         [](const testing::TestParamInfo<TMixBlockCase>& Info) { return Info.param.Name; });

TEST(AC3PlusMixBlockTest, BlockCutOffByTheDataEndLeavesLaterFieldsZero) {
  TAC3PlusFrame F = PlainAC3PlusFrame();
  F.mixmdate = 1, F.mixdef = 3, F.mixdeflen = 31;
  F.infomdate = 1, F.bsmod = 7;
  AddEndMarker(F);
  test::TAC3PlusComposeOptions Options;
  Options.MixDataFill = 0xFF;  // a reader left inside the block would see set flags
  const test::TComposedAC3PlusFrame Composed = ComposeAC3PlusFrame(F, Options);

  // The caller's buffer ends ten bytes into the 33-byte block.
  const int32_t Size = static_cast<int32_t>(Composed.MixDataBlockBit / 8 + 10);
  const std::vector<uint8_t> Cut(Composed.Bytes.begin(), Composed.Bytes.begin() + Size);
  TAC3PlusFrame Actual{};
  ASSERT_TRUE(parse_ac3_plus_frame(Cut.data(), Size, Actual));
  EXPECT_EQ(Actual.mixdeflen, 31u);
  EXPECT_EQ(Actual.mixdatabytes[0] & 0x3F, 0x3F);  // fill bits after mixdata2e and mixdata3e
  EXPECT_EQ(Actual.mixdatabytes[32], 0);           // beyond the data
  EXPECT_EQ(Actual.infomdate, 0u);
  EXPECT_EQ(Actual.addbsie, 0u);
}

// ---------------------------------------------------------------------------------------------
// No value of the bits writes outside the record's arrays.

struct TGuardedFrame {
  uint8_t Before[64];
  TAC3PlusFrame Frame;
  uint8_t After[64];
};

// Checks the bytes around the record and every byte of it that no field owns or that lies past
// the written part of an array or of the field layout (padding included, where a write one past
// an array would land).
void ExpectArraysRespected(const TGuardedFrame& G, uint8_t Sentinel) {
  const auto* Base = reinterpret_cast<const uint8_t*>(&G);
  const auto ExpectSentinel = [&](size_t From, size_t To, const char* What) {
    for (size_t At = From; At < To; ++At) ASSERT_EQ(Base[At], Sentinel) << What << " at byte " << At;
  };
  const size_t Frame = offsetof(TGuardedFrame, Frame);
  ExpectSentinel(0, Frame, "before the record");
  ExpectSentinel(Frame + offsetof(TAC3PlusFrame, mixdatabytes) + sizeof G.Frame.mixdatabytes,
                 Frame + offsetof(TAC3PlusFrame, mixdatafill), "after mixdatabytes");
  ExpectSentinel(Frame + offsetof(TAC3PlusFrame, blkmixcfginfo) + 6 * sizeof(uint32_t),
                 Frame + offsetof(TAC3PlusFrame, blkmixcfginfoe), "blkmixcfginfo past block 5");
  ExpectSentinel(Frame + offsetof(TAC3PlusFrame, addbsi) + sizeof G.Frame.addbsi, Frame + offsetof(TAC3PlusFrame, blkswe),
                 "after addbsi");
  ExpectSentinel(Frame + offsetof(TAC3PlusFrame, dithflag) + sizeof G.Frame.dithflag,
                 Frame + offsetof(TAC3PlusFrame, dynrnge), "after dithflag");
  ExpectSentinel(Frame + offsetof(TAC3PlusFrame, dynrng2) + sizeof G.Frame.dynrng2, Frame + offsetof(TAC3PlusFrame, Layout),
                 "after dynrng2");
  ExpectSentinel(Frame + offsetof(TAC3PlusFrame, Layout.Fields) + G.Frame.Layout.Count * sizeof(TFieldPosition), sizeof G,
                 "after the layout's entries");
}

TEST(AC3PlusArrayBoundsTest, LargestCountsFillTheArraysExactly) {
  TAC3PlusFrame F = PlainAC3PlusFrame();
  F.mixmdate = 1, F.mixdef = 3, F.mixdeflen = 31;
  SetAllMixBlockSubFields(F);
  F.frmmixcfginfoe = 1;
  for (int Block = 0; Block < 6; ++Block) F.blkmixcfginfo[Block] = 31;
  F.addbsie = 1, F.addbsil = 63;
  std::memset(F.addbsi, 0xC3, sizeof F.addbsi);
  const std::vector<uint8_t> Bytes = ComposeAC3PlusFrame(F).Bytes;

  auto Guarded = std::make_unique<TGuardedFrame>();
  std::memset(Guarded.get(), 0xEE, sizeof(TGuardedFrame));
  ASSERT_TRUE(parse_ac3_plus_frame(Bytes.data(), static_cast<int32_t>(Bytes.size()), Guarded->Frame));
  ExpectArraysRespected(*Guarded, 0xEE);
  for (uint8_t Byte : Guarded->Frame.addbsi) EXPECT_EQ(Byte, 0xC3);
  EXPECT_EQ(Guarded->Frame.mixdatafill, 0u);
  EXPECT_EQ(Guarded->Frame.blkmixcfginfo[5], 31u);
}

TEST(AC3PlusArrayBoundsTest, RandomHeadersNeverWriteOutsideTheArrays) {
  std::mt19937 Random(20240607);
  auto Guarded = std::make_unique<TGuardedFrame>();
  std::vector<uint8_t> Bytes(160);
  TDebugCapture Quiet;
  for (int Round = 0; Round < 2000; ++Round) {
    for (uint8_t& Byte : Bytes) Byte = static_cast<uint8_t>(Random());
    Bytes[0] = 0x0B, Bytes[1] = 0x77;
    std::memset(Guarded.get(), 0xEE, sizeof(TGuardedFrame));
    const int32_t Size = 5 + static_cast<int32_t>(Random() % (Bytes.size() - 5));
    parse_ac3_plus_frame(Bytes.data(), Size, Guarded->Frame);
    ExpectArraysRespected(*Guarded, 0xEE);
  }
}

// ---------------------------------------------------------------------------------------------
// Frame starts.

// strmtyp 0, substreamid 0, frmsiz 767, fscod 0, numblkscod 3, acmod 7, lfeon 1, bsid 16,
// dialnorm 31: bsid sits in bits 40 to 44 of the frame.
std::vector<uint8_t> HandMadeFrameStart() {
  std::vector<uint8_t> Bytes = {0x0B, 0x77, 0x02, 0xFF, 0x3F, 0x87, 0xC0};
  Bytes.resize(32);
  return Bytes;
}

struct TFramePointCase {
  const char* Name;
  size_t Index;
  uint8_t Byte;
  int32_t RequiredFscod;
  bool Accepted;
};

const TFramePointCase FramePointCases[] = {
    {"AnyRate", 0, 0x0B, -1, true},
    {"Required48k", 0, 0x0B, 0, true},
    {"Required44k", 0, 0x0B, 1, false},
    {"Fscod1Required44k", 4, 0x7F, 1, true},  // fscod 1
    {"Fscod2Required48k", 4, 0xBF, 0, false},
    {"Bsid15", 5, 0x7F, -1, false},
    {"Bsid8AsInAc3", 5, 0x47, -1, false},
    {"Bsid17", 5, 0x8F, -1, false},
    {"ReducedRateAny", 4, 0xCF, -1, false},  // fscod 3, fscod2 0, acmod 7, lfeon 1: bsid still 16
    {"ReducedRateRequired3", 4, 0xCF, 3, false},
    {"ByteSwappedSync", 0, 0x77, -1, false},
    {"SecondSyncByte", 1, 0x76, -1, false},
};

class AC3PlusFramePointTest : public testing::TestWithParam<TFramePointCase> {};

TEST_P(AC3PlusFramePointTest, AcceptsOnlyBsid16AtFullRates) {
  std::vector<uint8_t> Bytes = HandMadeFrameStart();
  Bytes[GetParam().Index] = GetParam().Byte;
  if (GetParam().Index == 0 && GetParam().Byte == 0x77) Bytes[1] = 0x0B;
  EXPECT_EQ(AC3PlusValidFramePoint(Bytes.data(), static_cast<int32_t>(Bytes.size()), GetParam().RequiredFscod),
            GetParam().Accepted);
}

INSTANTIATE_TEST_SUITE_P(Cases, AC3PlusFramePointTest, testing::ValuesIn(FramePointCases),
                         [](const testing::TestParamInfo<TFramePointCase>& Info) { return Info.param.Name; });

TEST(AC3PlusFramePointTest, ReducedRateFrameIsDecodedButRejected) {
  std::vector<uint8_t> Bytes = HandMadeFrameStart();
  Bytes[4] = 0xDF;  // fscod 3, fscod2 1, acmod 7, lfeon 1
  TAC3PlusFrame F{};
  ASSERT_TRUE(parse_ac3_plus_frame(Bytes.data(), static_cast<int32_t>(Bytes.size()), F));
  EXPECT_EQ(F.fscod, 3u);
  EXPECT_EQ(F.fscod2, 1u);
  EXPECT_EQ(F.numblkscod, 3u);
  EXPECT_EQ(F.acmod, 7u);
  EXPECT_EQ(F.bsid, 16u);
  for (int32_t Required : {-1, 0, 1, 2, 3})
    EXPECT_FALSE(AC3PlusValidFramePoint(Bytes.data(), static_cast<int32_t>(Bytes.size()), Required));
}

TEST(AC3PlusFramePointTest, SyncWordWithTooFewBytesIsRejected) {
  TDebugCapture Capture;
  const uint8_t Bytes[] = {0x0B, 0x77, 0x00, 0x00};
  EXPECT_FALSE(AC3PlusValidFramePoint(Bytes, 4, -1));
  EXPECT_EQ(Capture.Lines(), std::vector<std::u16string>{u"nox: Error in parse_ac3_plus_frame - insufficient memory."});
  EXPECT_FALSE(AC3PlusValidFramePoint(Bytes, 1, -1));
}

// ---------------------------------------------------------------------------------------------
// Frame lengths.

TAC3PlusFrame FrameOf(int32_t Bytes, uint32_t strmtyp = 0, uint32_t fscod = 0) {
  TAC3PlusFrame F = PlainAC3PlusFrame();
  F.frmsiz = static_cast<uint32_t>(Bytes / 2 - 1);
  F.strmtyp = strmtyp;
  F.fscod = fscod;
  return F;
}

// An independent frame and its dependent substream alternate; each is measured by its own size
// (the measuring common to both kinds is in BothKindsTest).
TEST(AC3PlusLengthTest, DependentSubstreamsAreFramesOfTheirOwn) {
  const std::vector<TAC3PlusFrame> Frames = {FrameOf(1536), FrameOf(512, 1), FrameOf(1536), FrameOf(512, 1)};
  const std::vector<uint8_t> Stream = ComposeAC3PlusStream(Frames);
  const int32_t Expected[] = {1536, 512, 1536};
  int32_t Offset = 0;
  for (const int32_t Want : Expected) {
    int32_t Length = -7;
    EXPECT_TRUE(GetAC3PlusESPackLength(Stream.data() + Offset, static_cast<int32_t>(Stream.size()) - Offset, Length, -1));
    EXPECT_EQ(Length, Want) << "frame at " << Offset;
    Offset += Want;
  }
}

// Five bytes of a next frame hold its syncword and sizes but not its bsid (bits 40 to 44), which
// reads as 0: not a frame start.
TEST(AC3PlusLengthTest, NextSyncWithoutItsBsidIsNotAFrame) {
  std::vector<uint8_t> Bytes = ComposeAC3PlusFrame(FrameOf(256)).Bytes;
  const std::vector<uint8_t> Next = ComposeAC3PlusFrame(FrameOf(256)).Bytes;
  Bytes.insert(Bytes.end(), Next.begin(), Next.begin() + 5);
  int32_t Length = -7;
  EXPECT_FALSE(GetAC3PlusESPackLength(Bytes.data(), static_cast<int32_t>(Bytes.size()), Length, -1));
  EXPECT_EQ(Length, -7);
}

// ---------------------------------------------------------------------------------------------
// A real stream from an encoder.

// The encoder was given these metadata values (see make_eac3_samples.sh); reading them back
// checks every width up to the end of the informational metadata on a stream made elsewhere.
TEST(AC3PlusRealStreamTest, EncoderMetadataReadsBack) {
  const std::vector<uint8_t> Stream = test::ReadTestFile(test::TestDataPath("eac3_51_48k_meta.eac3"));
  TAC3PlusFrame F{};
  ASSERT_TRUE(parse_ac3_plus_frame(Stream.data(), static_cast<int32_t>(Stream.size()), F));
  EXPECT_EQ(F.dialnorm, 27u);      // -27 dB
  EXPECT_EQ(F.mixmdate, 1u);
  EXPECT_EQ(F.dmixmod, 2u);        // Lo/Ro preferred
  EXPECT_EQ(F.ltrtcmixlev, 4u);    // 0.707
  EXPECT_EQ(F.lorocmixlev, 5u);    // 0.595
  EXPECT_EQ(F.ltrtsurmixlev, 6u);  // 0.5
  EXPECT_EQ(F.lorosurmixlev, 6u);  // 0.5
  EXPECT_EQ(F.infomdate, 1u);
  EXPECT_EQ(F.copyrightb, 1u);
  EXPECT_EQ(F.origbs, 0u);
  EXPECT_EQ(F.dsurexmod, 2u);
  EXPECT_EQ(F.audprodie, 1u);
  EXPECT_EQ(F.mixlevel, 25u);      // 105 dB SPL
  EXPECT_EQ(F.roomtyp, 2u);        // small room
  EXPECT_EQ(F.adconvtyp, 1u);
  EXPECT_EQ(F.addbsie, 0u);
}

}  // namespace
}  // namespace corvane
