// Decoding AC-3 syncframe headers, recognising frame starts, and the A/52 size and rate tables.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "AC3FieldList.h"
#include "analysis/AC3Utils.h"
#include "core/ODSUtls.h"
#include "support/AC3Composer.h"
#include "support/TempFile.h"

namespace corvane {
namespace {

using test::AC3Fields;
using test::AC3Header;
using test::ComposeAC3Header;

// A record whose every byte is 0xEE, so fields the parser leaves alone stand out.
TAC3Frame FilledFrame() {
  TAC3Frame Frame;
  std::memset(&Frame, 0xEE, sizeof(Frame));
  return Frame;
}
constexpr uint32_t Untouched = 0xEEEEEEEEu;

// "0100 1..." to bytes, most significant bit first; spaces are ignored, the tail is zero-padded.
std::vector<uint8_t> BitsToBytes(const std::string& Bits) {
  std::vector<uint8_t> Bytes;
  int Count = 0;
  for (char C : Bits) {
    if (C == ' ') continue;
    if (Count % 8 == 0) Bytes.push_back(0);
    if (C == '1') Bytes.back() = static_cast<uint8_t>(Bytes.back() | (0x80 >> (Count % 8)));
    ++Count;
  }
  return Bytes;
}

// --- Tables ---------------------------------------------------------------------------------

TEST(AC3Tables, FrameSizesMatchA52CheckpointsAndTheRateFormula) {
  struct {
    int frmsizecod;
    uint32_t Words[3];
  } const Checkpoints[] = {{0, {64, 69, 96}}, {1, {64, 70, 96}}, {26, {640, 696, 960}}, {37, {1280, 1394, 1920}}};
  for (const auto& C : Checkpoints)
    for (size_t fscod = 0; fscod < 3; ++fscod)
      EXPECT_EQ(AC3FrameSizeTable[fscod][static_cast<size_t>(C.frmsizecod)], C.Words[fscod]) << "fscod " << fscod << " code " << C.frmsizecod;

  const uint32_t Rates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 576, 640};
  for (uint32_t Code = 0; Code < 38; ++Code) {
    const uint32_t R = AC3BitrateTable[Code];
    EXPECT_EQ(R, Rates[Code / 2]) << "frmsizecod " << Code;
    EXPECT_EQ(AC3FrameSizeTable[0][Code], 2 * R) << "48 kHz, frmsizecod " << Code;
    EXPECT_EQ(AC3FrameSizeTable[2][Code], 3 * R) << "32 kHz, frmsizecod " << Code;
    // 1536 samples at 44.1 kHz in 16-bit words, one word more on the odd code of each pair.
    EXPECT_EQ(AC3FrameSizeTable[1][Code], R * 1000 * 1536 / (44100 * 16) + (Code & 1)) << "44.1 kHz, frmsizecod " << Code;
  }
}

TEST(AC3Tables, FrameSizeBytesIsZeroWhereA52CodesNoSize) {
  EXPECT_EQ(AC3FrameSizeBytes(1, 16), 556);
  EXPECT_EQ(AC3FrameSizeBytes(1, 17), 558);
  EXPECT_EQ(AC3FrameSizeBytes(2, 37), 3840);
  EXPECT_EQ(AC3FrameSizeBytes(3, 0), 0);
  EXPECT_EQ(AC3FrameSizeBytes(0, 38), 0);
  EXPECT_EQ(AC3FrameSizeBytes(2, 63), 0);
  EXPECT_EQ(AC3FrameSizeBytes(0xFFFFFFFFu, 0xFFFFFFFFu), 0);
}

// --- parse_ac3_frame --------------------------------------------------------------------------

TEST(ParseAC3Frame, ReadsSyncinfoBigEndianAndLeavesOffsetAndLength) {
  std::vector<uint8_t> Bytes = {0x0B, 0x77, 0x12, 0x34, 0x50};
  test::Append(Bytes, std::vector<uint8_t>(16, 0));
  TAC3Frame Frame = FilledFrame();
  ASSERT_TRUE(parse_ac3_frame(Bytes.data(), static_cast<int32_t>(Bytes.size()), Frame));
  EXPECT_EQ(Frame.syncword, 0x0B77u);
  EXPECT_EQ(Frame.crc1, 0x1234u);
  EXPECT_EQ(Frame.fscod, 1u);
  EXPECT_EQ(Frame.frmsizecod, 16u);
  EXPECT_EQ(static_cast<uint64_t>(Frame.Offset), 0xEEEEEEEEEEEEEEEEull);
  EXPECT_EQ(static_cast<uint32_t>(Frame.Length), Untouched);
}

// A 1+1 header assembled bit by bit from the A/52 bsi() syntax, independent of the composer.
TEST(ParseAC3Frame, DecodesHandAssembledDualMonoHeader) {
  std::vector<uint8_t> Bytes = {0x0B, 0x77, 0x00, 0x00, 0x08};
  test::Append(Bytes, BitsToBytes(
                          "01000 011 000"           // bsid 8, bsmod 3, acmod 0
                          "0 11011"                 // lfeon 0, dialnorm 27
                          "1 10100101"              // compre, compr 0xA5
                          "0"                       // langcode
                          "1 10001 10"              // audprodie, mixlevel 17, roomtyp 2
                          "00111 1 00111100"        // dialnorm2 7, compr2e, compr2 0x3C
                          "1 00001001"              // langcod2e, langcod2 9
                          "1 11111 01"              // audprodi2e, mixlevel2 31, roomtyp2 1
                          "1 0"                     // copyrightb 1, origbs 0
                          "1 10000000000001 0"      // timecod1e, timecod1 8193, timecod2e 0
                          "1 000000 11000011"));    // addbsie, addbsil 0, addbsi 0xC3
  TAC3Frame Frame = FilledFrame();
  ASSERT_TRUE(parse_ac3_frame(Bytes.data(), static_cast<int32_t>(Bytes.size()), Frame));

  TAC3Frame Expected = FilledFrame();
  Expected.syncword = 0x0B77, Expected.crc1 = 0, Expected.fscod = 0, Expected.frmsizecod = 8;
  Expected.bsid = 8, Expected.bsmod = 3, Expected.acmod = 0, Expected.lfeon = 0, Expected.dialnorm = 27;
  Expected.compre = 1, Expected.compr = 0xA5, Expected.langcode = 0;
  Expected.audprodie = 1, Expected.mixlevel = 17, Expected.roomtyp = 2;
  Expected.dialnorm2 = 7, Expected.compr2e = 1, Expected.compr2 = 0x3C, Expected.langcod2e = 1, Expected.langcod2 = 9;
  Expected.audprodi2e = 1, Expected.mixlevel2 = 31, Expected.roomtyp2 = 1;
  Expected.copyrightb = 1, Expected.origbs = 0, Expected.timecod1e = 1, Expected.timecod1 = 8193, Expected.timecod2e = 0;
  Expected.addbsie = 1, Expected.addbsil = 0, Expected.addbsi[0] = 0xC3;
  EXPECT_EQ(AC3Fields(Frame), AC3Fields(Expected));
}

// Which mix elements each audio coding mode carries, and that the fields after them still line up.
TEST(ParseAC3Frame, ReadsTheElementsOfEachAcmod) {
  struct {
    uint32_t acmod;
    bool Cmixlev, Surmixlev, Dsurmod, SecondChannel;
  } const Cases[] = {
      {0, false, false, false, true}, {1, false, false, false, false}, {2, false, false, true, false},
      {3, true, false, false, false}, {4, false, true, false, false},  {5, true, true, false, false},
      {6, false, true, false, false}, {7, true, true, false, false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE("acmod " + std::to_string(C.acmod));
    TAC3Frame In = AC3Header(0, 8, C.acmod);
    In.cmixlev = 2, In.surmixlev = 1, In.dsurmod = 3;
    In.lfeon = 1, In.dialnorm = 17;
    In.dialnorm2 = 9, In.audprodi2e = 1, In.mixlevel2 = 21, In.roomtyp2 = 2;
    In.copyrightb = 1, In.origbs = 0, In.addbsie = 1, In.addbsil = 0, In.addbsi[0] = 0x99;
    const std::vector<uint8_t> Bytes = ComposeAC3Header(In);

    TAC3Frame Out = FilledFrame();
    ASSERT_TRUE(parse_ac3_frame(Bytes.data(), static_cast<int32_t>(Bytes.size()), Out));
    EXPECT_EQ(Out.cmixlev, C.Cmixlev ? 2u : Untouched);
    EXPECT_EQ(Out.surmixlev, C.Surmixlev ? 1u : Untouched);
    EXPECT_EQ(Out.dsurmod, C.Dsurmod ? 3u : Untouched);
    EXPECT_EQ(Out.dialnorm2, C.SecondChannel ? 9u : Untouched);
    EXPECT_EQ(Out.mixlevel2, C.SecondChannel ? 21u : Untouched);
    EXPECT_EQ(Out.roomtyp2, C.SecondChannel ? 2u : Untouched);
    EXPECT_EQ(Out.lfeon, 1u);
    EXPECT_EQ(Out.dialnorm, 17u);
    EXPECT_EQ(Out.copyrightb, 1u);
    EXPECT_EQ(Out.origbs, 0u);
    EXPECT_EQ(Out.addbsi[0], 0x99);
  }
}

// The optional elements behind their flags, alone and together, decode back to what was written.
TEST(ParseAC3Frame, ReadsOptionalElementsBehindTheirFlags) {
  const auto Compr = [](TAC3Frame& F) { F.compre = 1, F.compr = 0x81; };
  const auto Lang = [](TAC3Frame& F) { F.langcode = 1, F.langcod = 0x09; };
  const auto Prod = [](TAC3Frame& F) { F.audprodie = 1, F.mixlevel = 25, F.roomtyp = 1; };
  const auto Time = [](TAC3Frame& F) { F.timecod1e = 1, F.timecod1 = 0x3FFF, F.timecod2e = 1, F.timecod2 = 0x1234; };
  const auto Addbsi1 = [](TAC3Frame& F) { F.addbsie = 1, F.addbsil = 0, F.addbsi[0] = 0x5A; };
  const auto Addbsi64 = [](TAC3Frame& F) {
    F.addbsie = 1, F.addbsil = 63;
    for (int I = 0; I < 64; ++I) F.addbsi[I] = static_cast<uint8_t>(0xC0 ^ I);
  };
  const auto Second = [](TAC3Frame& F) {
    F.acmod = 0, F.dsurmod = 0, F.dialnorm2 = 31, F.compr2e = 1, F.compr2 = 0xFE, F.langcod2e = 1, F.langcod2 = 0x7F;
  };
  struct {
    const char* Name;
    std::vector<void (*)(TAC3Frame&)> Set;
  } const Cases[] = {
      {"compre", {Compr}},
      {"langcode", {Lang}},
      {"audprodie", {Prod}},
      {"time codes", {Time}},
      {"addbsi of 1 byte", {Addbsi1}},
      {"addbsi of 64 bytes", {Addbsi64}},
      {"second channel", {Second}},
      {"everything", {Compr, Lang, Prod, Second, Time, Addbsi64}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TAC3Frame In = AC3Header(2, 37, 2);
    In.bsmod = 5, In.dsurmod = 2, In.dialnorm = 31, In.crc1 = 0xBEEF;
    for (auto Set : C.Set) Set(In);
    const std::vector<uint8_t> Bytes = ComposeAC3Header(In);
    TAC3Frame Out{};
    ASSERT_TRUE(parse_ac3_frame(Bytes.data(), static_cast<int32_t>(Bytes.size()), Out));
    EXPECT_EQ(AC3Fields(Out), AC3Fields(In));
  }
}

// Syncinfo is there but no bsi() byte: the four syncinfo fields are written, nothing else.
TEST(ParseAC3Frame, SyncinfoAloneIsWrittenAndFails) {
  const uint8_t Bytes[] = {0x0B, 0x77, 0x12, 0x34, 0x50};
  TDebugCapture Log;
  TAC3Frame Frame = FilledFrame();
  EXPECT_FALSE(parse_ac3_frame(Bytes, 5, Frame));
  EXPECT_EQ(Frame.syncword, 0x0B77u);
  EXPECT_EQ(Frame.crc1, 0x1234u);
  EXPECT_EQ(Frame.fscod, 1u);
  EXPECT_EQ(Frame.frmsizecod, 16u);
  EXPECT_EQ(Frame.bsid, Untouched);
  EXPECT_EQ(Log.Lines(), std::vector<std::u16string>{u"nox: Error in parse_ac3_frame call..."});
}

// A header cut short decodes as if zeros followed the buffer, and nothing past the buffer is read
// (each cut copy is its own exact-size allocation, so the sanitizer build sees any over-read).
TEST(ParseAC3Frame, TruncatedHeaderReadsZerosPastTheEnd) {
  TAC3Frame In = AC3Header(0, 20, 0);
  In.compre = 1, In.compr = 0xFF, In.langcode = 1, In.langcod = 0xFF, In.audprodie = 1, In.mixlevel = 31;
  In.roomtyp = 3, In.dialnorm2 = 31, In.timecod1e = 1, In.timecod1 = 0x3FFF, In.addbsie = 1, In.addbsil = 63;
  for (int I = 0; I < 64; ++I) In.addbsi[I] = 0xFF;
  const std::vector<uint8_t> Full = ComposeAC3Header(In);

  for (size_t Size = 6; Size <= Full.size(); ++Size) {
    SCOPED_TRACE("Size " + std::to_string(Size));
    const std::vector<uint8_t> Cut(Full.begin(), Full.begin() + static_cast<std::ptrdiff_t>(Size));
    std::vector<uint8_t> Padded = Cut;
    Padded.resize(Full.size() + 16, 0);
    TAC3Frame FromCut{}, FromPadded{};
    ASSERT_TRUE(parse_ac3_frame(Cut.data(), static_cast<int32_t>(Cut.size()), FromCut));
    ASSERT_TRUE(parse_ac3_frame(Padded.data(), static_cast<int32_t>(Padded.size()), FromPadded));
    EXPECT_EQ(AC3Fields(FromCut), AC3Fields(FromPadded));
  }
}

// The first frame of each committed stream against the settings its encoder was given.
TEST(ParseAC3Frame, DecodesRealStreams) {
  struct {
    const char* File;
    uint32_t fscod, frmsizecod, acmod, lfeon, dialnorm, copyrightb, origbs;
  } const Cases[] = {
      {"ac3_48k_51.ac3", 0, 28, 7, 1, 27, 1, 1},
      {"ac3_44k_stereo.ac3", 1, 16, 2, 0, 24, 0, 1},
      {"ac3_32k_mono.ac3", 2, 8, 1, 0, 20, 0, 0},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.File);
    const std::vector<uint8_t> Bytes = test::ReadTestFile(test::TestDataPath(C.File));
    TAC3Frame F{};
    ASSERT_TRUE(parse_ac3_frame(Bytes.data(), static_cast<int32_t>(Bytes.size()), F));
    EXPECT_EQ(F.syncword, 0x0B77u);
    EXPECT_EQ(F.bsid, 8u);
    EXPECT_EQ(F.fscod, C.fscod);
    EXPECT_EQ(F.frmsizecod, C.frmsizecod);
    EXPECT_EQ(F.acmod, C.acmod);
    EXPECT_EQ(F.lfeon, C.lfeon);
    EXPECT_EQ(F.dialnorm, C.dialnorm);
    EXPECT_EQ(F.copyrightb, C.copyrightb);
    EXPECT_EQ(F.origbs, C.origbs);
    if (C.acmod == 7) {
      EXPECT_EQ(F.cmixlev, 0u);  // 0.707
      EXPECT_EQ(F.surmixlev, 1u);  // 0.5
      EXPECT_EQ(F.audprodie, 1u);
      EXPECT_EQ(F.mixlevel, 25u);  // 105 dB SPL
      EXPECT_EQ(F.roomtyp, 1u);
    }
    if (C.acmod == 2) {
      EXPECT_EQ(F.dsurmod, 2u);
    }
  }
}

// --- AC3ValidFramePoint -----------------------------------------------------------------------

TEST(AC3ValidFramePoint, AcceptsSyncwordsOfTheRequiredRate) {
  const auto Frame = [](uint8_t Byte0, uint8_t Byte1, uint8_t Byte4) {
    return std::vector<uint8_t>{Byte0, Byte1, 0x00, 0x00, Byte4, 0x40, 0x00, 0x00};
  };
  struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
    int32_t RequiredFscod;
    bool Expected;
  } const Cases[] = {
      {"48 kHz, any rate", Frame(0x0B, 0x77, 0x08), -1, true},
      {"44.1 kHz, any rate", Frame(0x0B, 0x77, 0x48), -1, true},
      {"32 kHz, any rate", Frame(0x0B, 0x77, 0x88), -5, true},
      {"fscod 3 is reserved", Frame(0x0B, 0x77, 0xC8), -1, false},
      {"48 kHz where 44.1 is required", Frame(0x0B, 0x77, 0x08), 1, false},
      {"44.1 kHz where 44.1 is required", Frame(0x0B, 0x77, 0x48), 1, true},
      {"32 kHz where 48 is required", Frame(0x0B, 0x77, 0x88), 0, false},
      {"reserved frmsizecod still starts a frame", Frame(0x0B, 0x77, 0x28), 0, true},
      {"byte-swapped syncword", Frame(0x77, 0x0B, 0x08), -1, false},
      {"no syncword at all", Frame(0x00, 0x00, 0x00), -1, false},
      {"no syncword, any rate", Frame(0x0B, 0x78, 0x08), 0, false},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(AC3ValidFramePoint(C.Bytes.data(), static_cast<int32_t>(C.Bytes.size()), C.RequiredFscod), C.Expected)
        << C.Name;
}

// A syncword with fewer than five bytes behind it counts as a 48 kHz frame start, after the parse's
// line; a single byte cannot hold a syncword and is read no further than it goes.
TEST(AC3ValidFramePoint, ShortBuffers) {
  TDebugCapture Log;
  const std::vector<uint8_t> One = {0x0B};
  EXPECT_FALSE(AC3ValidFramePoint(One.data(), 1, -1));
  EXPECT_FALSE(AC3ValidFramePoint(One.data(), 0, -1));
  EXPECT_TRUE(Log.Lines().empty());

  const std::vector<uint8_t> Sync = {0x0B, 0x77, 0xAA, 0xBB};
  EXPECT_TRUE(AC3ValidFramePoint(Sync.data(), 4, -1));
  EXPECT_TRUE(AC3ValidFramePoint(Sync.data(), 2, 0));
  EXPECT_FALSE(AC3ValidFramePoint(Sync.data(), 4, 1));
  EXPECT_EQ(Log.Lines().size(), 3u);
  EXPECT_EQ(Log.Lines().front(), u"nox: Error in parse_ac3_frame - insufficient memory.");
}

}  // namespace
}  // namespace corvane
