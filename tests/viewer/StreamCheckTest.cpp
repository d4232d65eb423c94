// The whole-file stream check: its findings with their exact offsets on streams built from real
// frames with junk, damage, cuts and changes, frames the frame walk passes over, and the
// summary of an E-AC-3 program with a dependent substream.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "analysis/AC3Crc.h"
#include "support/AC3PlusComposer.h"
#include "viewer/StreamCheck.h"
#include "viewer/ViewerJson.h"
#include "viewer/ViewerTestSupport.h"

namespace corvane {
namespace {

using test::AppendBytes;
using test::TBytes;

struct TCheckRun {
  TCheckEnd End;
  std::vector<std::string> Lines;  // one per finding, as the command-line program prints it
  TStreamSummary Summary;
};

TCheckRun Check(const TBytes& Stream, bool EAC3, const std::atomic<bool>* Cancel = nullptr) {
  const test::TTempFile File(Stream, EAC3 ? ".eac3" : ".ac3");
  TCheckRun Run;
  std::string Error;
  Run.End = CheckStream(
      File.Path(), EAC3,
      [&](const TStreamFinding& Finding) {
        Run.Lines.push_back(ToUtf8(OffsetText(Finding.Offset)) + (Finding.IsProblem() ? " problem: " : " change: ") +
                            ToUtf8(FindingText(Finding)));
        return true;
      },
      Run.Summary, {}, Cancel, Error);
  EXPECT_EQ(Error, "");
  return Run;
}

std::string At(int64_t Offset) { return ToUtf8(OffsetText(Offset)); }

std::vector<TBytes> Frames(const char* Name) {
  return test::SplitFrames(test::ReadTestFile(test::TestDataPath(Name)), false);
}

// 1536-byte frames of 48 kHz 5.1 at 384 kb/s, dialnorm 27; 556 and 558-byte frames of 44.1 kHz
// stereo at 128 kb/s, dialnorm 24; 384-byte frames of 32 kHz mono at 64 kb/s, dialnorm 20.
const std::vector<TBytes>& Rate48() {
  static const std::vector<TBytes> F = Frames("ac3_48k_51.ac3");
  return F;
}
const std::vector<TBytes>& Rate44() {
  static const std::vector<TBytes> F = Frames("ac3_44k_stereo.ac3");
  return F;
}
const std::vector<TBytes>& Rate32() {
  static const std::vector<TBytes> F = Frames("ac3_32k_mono.ac3");
  return F;
}

TEST(StreamCheck, ACleanStreamHasNoFindingsAndItsSummary) {
  const TCheckRun Run = Check(test::ReadTestFile(test::TestDataPath("ac3_48k_51.ac3")), false);
  EXPECT_EQ(Run.End, TCheckEnd::Completed);
  EXPECT_TRUE(Run.Lines.empty());
  const std::vector<std::u16string> Expected = {u"Kind: AC-3",
                                                u"Frames: 63",
                                                u"Duration: 2.016 s (0:00:02.016)",
                                                u"Sampling rate: 48000 Hz",
                                                u"Bit rate: 384 kbps (average 384.0 kbps)",
                                                u"acmod/lfeon: 7/1 [3/2 (5) L, C, R, SL, SR]",
                                                u"bsid: 8",
                                                u"dialnorm: 27",
                                                u"compr: in no frame",
                                                u"dynrng: min 0.00 dB, max 0.00 dB, mean 0.00 dB (first block of 63 frames)",
                                                u"Problems: 0",
                                                u"Changes: 0"};
  EXPECT_EQ(SummaryLines(Run.Summary), Expected);
}

TEST(StreamCheck, JunkDamageARateChangeAndATruncatedLastFrameAtTheirOffsets) {
  TBytes Stream = test::Garbage(100);
  for (int Frame = 0; Frame < 3; ++Frame) AppendBytes(Stream, Rate48()[static_cast<size_t>(Frame)]);
  const int64_t FirstJunk = static_cast<int64_t>(Stream.size());
  AppendBytes(Stream, test::Garbage(50, 2));
  AppendBytes(Stream, Rate48()[3]);
  const int64_t Damaged = static_cast<int64_t>(Stream.size());
  TBytes Flipped = Rate48()[4];
  Flipped[1400] ^= 0x01;  // in the last 3/8
  AppendBytes(Stream, Flipped);
  const int64_t RateChange = static_cast<int64_t>(Stream.size());
  for (size_t Frame = 0; Frame < 3; ++Frame) AppendBytes(Stream, Rate44()[Frame]);
  const int64_t Truncated = static_cast<int64_t>(Stream.size());
  const TBytes& Last = Rate44()[3];
  Stream.insert(Stream.end(), Last.begin(), Last.begin() + 300);

  const TCheckRun Run = Check(Stream, false);
  const std::vector<std::string> Expected = {
      At(0) + " problem: 100 bytes that belong to no frame",
      At(FirstJunk) + " problem: 50 bytes that belong to no frame",
      At(Damaged) + " problem: crc2 fails",
      At(RateChange) + " change: sampling rate 48000 Hz -> 44100 Hz",
      At(RateChange) + " change: acmod 7 -> 2",
      At(RateChange) + " change: lfeon 1 -> 0",
      At(RateChange) + " change: bit rate 384 kbps -> 128 kbps",
      At(RateChange) + " change: dialnorm 27 -> 24",
      At(Truncated) + " problem: frame runs past the end of the file: the file ends after 300 of its " +
          std::to_string(Last.size()) + " bytes",
  };
  EXPECT_EQ(Run.Lines, Expected);
  EXPECT_EQ(Run.Summary.Frames, 9);
  EXPECT_EQ(Run.Summary.Problems, 4);
  EXPECT_EQ(Run.Summary.Changes, 5);
  EXPECT_EQ(Run.Summary.JunkBytes, 150);
  EXPECT_EQ(Run.Summary.Kbps, (std::vector<uint32_t>{128, 384}));

  // Junk after the last frame, and damage in the first 5/8, which fails crc1 alone.
  TBytes Tail = Rate48()[0];
  TBytes Header = Rate48()[1];
  Header[6] ^= 0x40;  // dialnorm's bits
  AppendBytes(Tail, Header);
  AppendBytes(Tail, test::Garbage(70, 3));
  EXPECT_EQ(Check(Tail, false).Lines,
            (std::vector<std::string>{At(1536) + " problem: crc1 fails",
                                      At(3072) + " problem: 70 bytes that belong to no frame"}));

  // A frame whose size code is reserved runs up to the next frame, its CRCs unchecked.
  TBytes Reserved = Rate48()[0];
  TBytes Unsized = Rate48()[1];
  Unsized[4] = static_cast<uint8_t>((Unsized[4] & 0xC0) | 40);
  AppendBytes(Reserved, Unsized);
  AppendBytes(Reserved, Rate48()[2]);
  const TCheckRun Sized = Check(Reserved, false);
  EXPECT_EQ(Sized.Lines, (std::vector<std::string>{At(1536) + " problem: reserved frmsizecod 40"}));
  EXPECT_EQ(Sized.Summary.Frames, 3);
}

// The frame walk measures a frame up to the next frame start that lies at least that frame's own
// size away; the check finds the frames it passes over.
TEST(StreamCheck, FramesTheWalkPassesOverAreFound) {
  // A splice: the second frame breaks off after 1000 bytes and the next one starts there.
  TBytes Splice = Rate48()[0];
  Splice.insert(Splice.end(), Rate48()[1].begin(), Rate48()[1].begin() + 1000);
  for (size_t Frame = 2; Frame < 4; ++Frame) AppendBytes(Splice, Rate48()[Frame]);
  const TCheckRun Spliced = Check(Splice, false);
  EXPECT_EQ(Spliced.Lines,
            (std::vector<std::string>{
                At(1536) + " problem: frame cut short: the next frame starts after 1000 of its 1536 bytes"}));
  EXPECT_EQ(Spliced.Summary.Frames, 4);

  // Ten bytes of junk, then a frame larger than the one before it.
  TBytes Larger = Rate32()[0];
  AppendBytes(Larger, Rate32()[1]);
  AppendBytes(Larger, test::Garbage(10, 4));
  for (size_t Frame = 0; Frame < 3; ++Frame) AppendBytes(Larger, Rate48()[Frame]);
  const TCheckRun Grown = Check(Larger, false);
  ASSERT_GE(Grown.Lines.size(), 2u);
  EXPECT_EQ(Grown.Lines[0], At(768) + " problem: 10 bytes that belong to no frame");
  EXPECT_EQ(Grown.Lines[1], At(778) + " change: sampling rate 32000 Hz -> 48000 Hz");
  EXPECT_EQ(Grown.Summary.Frames, 5);
  EXPECT_EQ(Grown.Summary.JunkBytes, 10);
}

TAC3PlusFrame ProgramFrame(uint32_t strmtyp, uint32_t acmod, uint32_t lfeon, uint32_t dialnorm) {
  TAC3PlusFrame Frame = test::PlainAC3PlusFrame();
  Frame.strmtyp = strmtyp;
  Frame.frmsiz = 127;  // 256 bytes
  Frame.acmod = acmod;
  Frame.lfeon = lfeon;
  Frame.dialnorm = dialnorm;
  return Frame;
}

TBytes ComposedFrame(const TAC3PlusFrame& Frame) {
  TBytes Bytes = test::ComposeAC3PlusFrame(Frame).Bytes;
  EXPECT_TRUE(RepairAC3PlusFrameCrc(Bytes.data(), static_cast<int32_t>(Bytes.size())));
  return Bytes;
}

TEST(StreamCheck, AnEAC3ProgramWithADependentSubstream) {
  TBytes Stream;
  for (int Pair = 0; Pair < 4; ++Pair) {
    // The dependent substream's dialnorm turns to the reserved 0 from the third pair on.
    for (const TAC3PlusFrame& Frame : {ProgramFrame(0, 7, 1, 27), ProgramFrame(1, 2, 0, Pair >= 2 ? 0 : 27)})
      AppendBytes(Stream, ComposedFrame(Frame));
  }
  const TCheckRun Run = Check(Stream, true);
  const std::string Where = " in dependent substream 0 of independent substream 0";
  EXPECT_EQ(Run.Lines, (std::vector<std::string>{At(5 * 256) + " problem: reserved dialnorm 0" + Where,
                                                 At(5 * 256) + " change: dialnorm 27 -> 0" + Where}));
  EXPECT_EQ(Run.Summary.Frames, 8);
  EXPECT_EQ(Run.Summary.ReservedFrames, 2);
  const std::vector<std::u16string> Lines = SummaryLines(Run.Summary);
  // Only the independent substream's frames make up the duration: 4 frames of 1536 samples.
  EXPECT_EQ(Lines[2], u"Duration: 0.128 s (0:00:00.128)");
  EXPECT_EQ(Lines[5], u"acmod/lfeon: 2/0 [2/0 (2) L, R], 7/1 [3/2 (5) L, C, R, SL, SR]");
  EXPECT_EQ(Lines[7], u"dialnorm: 0, 27");
  // The dynamic range metadata is the independent substream's: 4 frames.
  EXPECT_EQ(Lines[8], u"compr: in no frame");
  EXPECT_EQ(Lines[9], u"dynrng: min 0.00 dB, max 0.00 dB, mean 0.00 dB (first block of 4 frames)");
  EXPECT_EQ(Lines[10], u"Substreams: independent 0 (dependent 0)");
  EXPECT_EQ(Lines[11], u"Problems: 1 (2 frames with reserved codes)");
}

// The summary's compr and dynrng figures come from the program's frames whose header a CRC
// vouches for; a dependent substream's frame and a damaged frame add nothing.
TEST(StreamCheck, DynamicRangeMetadataOfTheProgramsFrames) {
  const auto Program = [](uint32_t compre, uint32_t compr, uint32_t dynrnge, uint32_t dynrng) {
    TAC3PlusFrame Frame = ProgramFrame(0, 2, 0, 24);
    Frame.compre = compre;
    Frame.compr = compr;
    Frame.dynrnge = dynrnge;
    Frame.dynrng = dynrng;
    return ComposedFrame(Frame);
  };
  TBytes Stream = Program(1, 0x10, 1, 0xE0);  // compr +6.02 dB, dynrng -6.02 dB
  TAC3PlusFrame Dependent = ProgramFrame(1, 2, 0, 24);
  Dependent.compre = 1;
  Dependent.compr = 0x70;
  AppendBytes(Stream, ComposedFrame(Dependent));
  AppendBytes(Stream, Program(0, 0, 0, 0));  // no words: dynrng 0 dB
  TBytes Damaged = Program(1, 0x70, 1, 0x60);
  Damaged[100] ^= 0x01;
  AppendBytes(Stream, Damaged);
  AppendBytes(Stream, Program(1, 0xF0, 1, 0x10));  // compr -6.02 dB, dynrng +3.52 dB
  const TCheckRun Run = Check(Stream, true);
  EXPECT_EQ(Run.Summary.Compr.Frames, 2);
  EXPECT_EQ(Run.Summary.Dynrng.Frames, 3);
  const std::vector<std::u16string> Lines = SummaryLines(Run.Summary);
  EXPECT_EQ(Lines[8], u"compr: min -6.02 dB, max 6.02 dB, mean 0.00 dB (2 frames)");
  EXPECT_EQ(Lines[9], u"dynrng: min -6.02 dB, max 3.52 dB, mean -0.83 dB (first block of 3 frames)");
  const TJson Json = SummaryJson(Run.Summary);
  EXPECT_EQ(Json["compr"].dump(), R"({"frames":2,"min":-6.02,"max":6.02,"mean":0.0})");
  EXPECT_EQ(Json["dynrng"].dump(), R"({"frames":3,"min":-6.02,"max":3.52,"mean":-0.83})");
}

// E-AC-3 codes its reduced rates as fscod 3 with the rate in fscod2: such frames are frames, of
// six blocks at their own rate, and add their time to the duration.
TEST(StreamCheck, EAC3AtTheReducedRatesHasItsDurationAndRates) {
  struct TCase {
    uint32_t fscod2;
    const char16_t* Duration;
    const char16_t* Rate;
    const char16_t* BitRate;
  };
  const TCase Cases[] = {
      {0, u"Duration: 0.256 s (0:00:00.256)", u"Sampling rate: 24000 Hz", u"Bit rate: 32 kbps (average 32.0 kbps)"},
      {1, u"Duration: 0.279 s (0:00:00.279)", u"Sampling rate: 22050 Hz", u"Bit rate: 29 kbps (average 29.4 kbps)"},
      {2, u"Duration: 0.384 s (0:00:00.384)", u"Sampling rate: 16000 Hz", u"Bit rate: 21 kbps (average 21.3 kbps)"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.fscod2);
    TAC3PlusFrame Frame = ProgramFrame(0, 2, 0, 24);
    Frame.fscod = 3;
    Frame.fscod2 = Case.fscod2;
    TBytes Stream;
    for (int Count = 0; Count < 4; ++Count) AppendBytes(Stream, ComposedFrame(Frame));
    const TCheckRun Run = Check(Stream, true);
    EXPECT_TRUE(Run.Lines.empty());
    EXPECT_EQ(Run.Summary.Frames, 4);
    const std::vector<std::u16string> Lines = SummaryLines(Run.Summary);
    EXPECT_EQ(Lines[2], Case.Duration);
    EXPECT_EQ(Lines[3], Case.Rate);
    EXPECT_EQ(Lines[4], Case.BitRate);
  }

  // From 48 kHz to 24 kHz: a change of rate, and each frame's own time.
  TAC3PlusFrame Reduced = ProgramFrame(0, 2, 0, 24);
  Reduced.fscod = 3;
  TBytes Stream = ComposedFrame(ProgramFrame(0, 2, 0, 24));
  AppendBytes(Stream, ComposedFrame(Reduced));
  const TCheckRun Run = Check(Stream, true);
  EXPECT_EQ(Run.Lines, (std::vector<std::string>{At(256) + " change: sampling rate 48000 Hz -> 24000 Hz",
                                                 At(256) + " change: bit rate 64 kbps -> 32 kbps"}));
  const std::vector<std::u16string> Lines = SummaryLines(Run.Summary);
  EXPECT_EQ(Lines[2], u"Duration: 0.096 s (0:00:00.096)");
  EXPECT_EQ(Lines[3], u"Sampling rates: 48000 Hz, 24000 Hz");
}

enum class TFalse { None, Start, Middle, End };

// A syncword with a header any frame could have (the 5.1 frames' own first bytes), its CRCs
// failing over whatever follows, and no syncword where its size ends.
void PutFalseSyncword(TBytes& Junk, TFalse At) {
  const TBytes& Header = Rate48()[0];
  const size_t Size = std::min<size_t>(Junk.size(), 16);
  const size_t Where = At == TFalse::Start ? 0 : At == TFalse::Middle ? Junk.size() / 2 : Junk.size() - Size;
  if (At == TFalse::None) return;
  std::copy(Header.begin(), Header.begin() + static_cast<long>(Size), Junk.begin() + static_cast<long>(Where));
  Junk[Where + 2] ^= 0xFF;  // crc1
}

// Every stretch of junk is found whole, at its offset, and frames and junk make up the file.
TEST(StreamCheck, JunkOfAnyLengthWithOrWithoutAFalseSyncwordIsOneStretch) {
  enum class TWhere { Start, Between, End };
  const struct {
    size_t Length;
    TFalse False;
    TWhere Where;
  } Cases[] = {
      {1, TFalse::None, TWhere::Between},
      {3, TFalse::None, TWhere::Between},
      {3, TFalse::End, TWhere::Between},
      {4097, TFalse::None, TWhere::Between},
      {4097, TFalse::Start, TWhere::Between},
      {4097, TFalse::Middle, TWhere::Between},
      {4097, TFalse::End, TWhere::Between},
      {(1 << 20) + 3, TFalse::None, TWhere::Between},
      {(1 << 20) + 3, TFalse::Start, TWhere::Between},
      {(1 << 20) + 3, TFalse::Middle, TWhere::Between},
      {(1 << 20) + 3, TFalse::End, TWhere::Between},
      {4097, TFalse::Start, TWhere::Start},
      {4097, TFalse::End, TWhere::Start},
      {4097, TFalse::Start, TWhere::End},
      {4097, TFalse::Middle, TWhere::End},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(testing::Message() << Case.Length << " bytes, false syncword " << static_cast<int>(Case.False)
                                    << ", place " << static_cast<int>(Case.Where));
    TBytes Junk = test::JunkWithSyncBytes(Case.Length, static_cast<unsigned>(Case.Length));
    if (Case.Length == 3 && Case.False == TFalse::End) {
      Junk[1] = 0x0B;
      Junk[2] = 0x77;
    } else {
      PutFalseSyncword(Junk, Case.False);
    }
    TBytes Stream;
    const size_t Frames = Case.Where == TWhere::Between ? 4 : 2;
    if (Case.Where == TWhere::Start) AppendBytes(Stream, Junk);
    for (size_t Frame = 0; Frame < Frames; ++Frame) {
      if (Case.Where == TWhere::Between && Frame == 2) AppendBytes(Stream, Junk);
      AppendBytes(Stream, Rate48()[Frame]);
    }
    if (Case.Where == TWhere::End) AppendBytes(Stream, Junk);
    const int64_t JunkAt = Case.Where == TWhere::Start ? 0 : 2 * 1536;

    const TCheckRun Run = Check(Stream, false);
    const std::string Bytes =
        Case.Length == 1 ? "1 byte that belongs" : std::to_string(Case.Length) + " bytes that belong";
    EXPECT_EQ(Run.Lines, std::vector<std::string>{At(JunkAt) + " problem: " + Bytes + " to no frame"});
    EXPECT_EQ(Run.Summary.Frames, static_cast<int64_t>(Frames));
    EXPECT_EQ(Run.Summary.FrameBytes + Run.Summary.JunkBytes, static_cast<int64_t>(Stream.size()));
  }

  // A false syncword in the last bytes of the file may be the start of a frame that the file
  // cuts off: too few of its bytes are there to tell.
  TBytes Stream = Rate48()[0];
  TBytes Tail = test::JunkWithSyncBytes(100, 7);
  PutFalseSyncword(Tail, TFalse::End);
  AppendBytes(Stream, Tail);
  EXPECT_EQ(Check(Stream, false).Lines,
            (std::vector<std::string>{At(1536) + " problem: 84 bytes that belong to no frame",
                                      At(1620) + " problem: frame runs past the end of the file: the file ends after "
                                                 "16 of its 1536 bytes"}));
}

// A frame that fails its CRCs is a frame only where something vouches for it: the other CRC of
// an AC-3 frame, a syncword where its size ends, or the end of the file there. Otherwise its
// bytes are junk, and a good frame after them is found where it starts.
TEST(StreamCheck, ADamagedFrameIsAFrameOnlyWhereSomethingVouchesForIt) {
  const std::vector<TBytes> EAC3 =
      test::SplitFrames(test::ReadTestFile(test::TestDataPath("eac3_stereo_48k.eac3")), true);
  const auto Flipped = [](TBytes Frame, size_t At) {
    Frame[At] ^= 0x10;
    return Frame;
  };
  const TBytes Junk = test::JunkWithSyncBytes(50, 3);
  const struct {
    const char* Name;
    bool IsEAC3;
    std::vector<TBytes> Parts;
    std::vector<std::string> Lines;
  } Cases[] = {
      {"an E-AC-3 frame followed by a frame",
       true,
       {EAC3[0], Flipped(EAC3[1], 200), EAC3[2]},
       {At(static_cast<int64_t>(EAC3[0].size())) + " problem: crc2 fails"}},
      {"an E-AC-3 frame at the end of the file",
       true,
       {EAC3[0], Flipped(EAC3[1], 200)},
       {At(static_cast<int64_t>(EAC3[0].size())) + " problem: crc2 fails"}},
      {"an E-AC-3 frame followed by junk",
       true,
       {EAC3[0], Flipped(EAC3[1], 200), Junk, EAC3[2]},
       {At(static_cast<int64_t>(EAC3[0].size())) + " problem: " + std::to_string(EAC3[1].size() + 50) +
        " bytes that belong to no frame"}},
      {"an AC-3 header whose size code is damaged",
       false,
       {Rate48()[0], Flipped(Rate48()[1], 4), Rate48()[2]},
       {At(1536) + " problem: 1536 bytes that belong to no frame"}},
      {"an AC-3 header damaged elsewhere",
       false,
       {Rate48()[0], Flipped(Rate48()[1], 6), Rate48()[2]},
       {At(1536) + " problem: crc1 fails"}},
      {"a syncword whose header without a size runs into the next frame's",
       false,
       {Rate48()[0], {0x0B, 0x77, 0x00}, Rate48()[3]},
       {At(1536) + " problem: 3 bytes that belong to no frame"}},
      {"an AC-3 frame damaged in its last 3/8, followed by junk",
       false,
       {Rate48()[0], Flipped(Rate48()[1], 1400), Junk},
       {At(1536) + " problem: crc2 fails", At(3072) + " problem: 50 bytes that belong to no frame"}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TBytes Stream;
    for (const TBytes& Part : Case.Parts) AppendBytes(Stream, Part);
    const TCheckRun Run = Check(Stream, Case.IsEAC3);
    EXPECT_EQ(Run.Lines, Case.Lines);
    EXPECT_EQ(Run.Summary.FrameBytes + Run.Summary.JunkBytes, static_cast<int64_t>(Stream.size()));
  }
}

// Frames are of the kind their own bsid makes them: an E-AC-3 frame in an AC-3 file is one frame
// of the other kind, and the AC-3 frame after it is found where it starts.
TEST(StreamCheck, AFrameOfTheOtherKindIsAKindChange) {
  const TBytes Other = test::SplitFrames(test::ReadTestFile(test::TestDataPath("eac3_stereo_48k.eac3")), true)[0];
  TBytes Stream = Rate48()[0];
  AppendBytes(Stream, Other);
  AppendBytes(Stream, Rate48()[1]);
  const auto After = static_cast<int64_t>(1536 + Other.size());
  const TCheckRun Run = Check(Stream, false);
  EXPECT_EQ(Run.Lines, (std::vector<std::string>{At(1536) + " change: kind AC-3 -> E-AC-3",
                                                 At(After) + " change: kind E-AC-3 -> AC-3"}));
  EXPECT_EQ(Run.Summary.Frames, 3);
  EXPECT_EQ(Run.Summary.JunkBytes, 0);
  EXPECT_EQ(SummaryLines(Run.Summary)[0], u"Kind: AC-3 (1 frame of E-AC-3)");
}

TEST(StreamCheck, ACancelledCheckStopsAndSaysSo) {
  std::atomic<bool> Cancel{true};
  const TCheckRun Run = Check(test::ReadTestFile(test::TestDataPath("ac3_48k_51.ac3")), false, &Cancel);
  EXPECT_EQ(Run.End, TCheckEnd::Cancelled);
  EXPECT_EQ(Run.Summary.Frames, 0);
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

// Durations and rates come from whole numbers of samples and bytes, rounded once, so that every
// build prints the same digits (floating point gave ...02 on one and ...98 on another).
TEST(StreamCheck, DurationAndAverageRateAreRoundedFromWholeNumbers) {
  struct TCase {
    const char* Name;
    int64_t Samples48k, Samples44k, Samples32k;
    int64_t FrameBytes;
    int64_t Microseconds, BitsPerSecond;
    const char16_t* Duration;
    const char16_t* Average;
  };
  const TCase Cases[] = {
      {"three 48 kHz frames", 3 * 1536, 0, 0, 3 * 1536, 96000, 384000, u"Duration: 0.096 s (0:00:00.096)", u"(average 384.0 kbps)"},
      {"one 44.1 kHz frame", 0, 1536, 0, 1254, 34830, 288028, u"Duration: 0.035 s (0:00:00.035)", u"(average 288.0 kbps)"},
      {"rates mixed", 1536, 1536, 1536, 3000, 114830, 209005, u"Duration: 0.115 s (0:00:00.115)", u"(average 209.0 kbps)"},
      {"ten and a half hours at 48 kHz", int64_t{38400} * 48000, 0, 0, 2150400000, 38400000000, 448000,
       u"Duration: 38400.000 s (10:40:00.000)", u"(average 448.0 kbps)"},
      {"no frames", 0, 0, 0, 0, 0, 0, u"Duration: 0.000 s (0:00:00.000)", u"(average 0.0 kbps)"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TStreamSummary Summary;
    Summary.DurationTicks = Case.Samples48k * 294 + Case.Samples44k * 320 + Case.Samples32k * 441;
    Summary.FrameBytes = Case.FrameBytes;
    EXPECT_EQ(Summary.DurationMicroseconds(), Case.Microseconds);
    EXPECT_EQ(Summary.AverageBitsPerSecond(), Case.BitsPerSecond);
    const std::vector<std::u16string> Lines = SummaryLines(Summary);
    EXPECT_EQ(Lines[2], Case.Duration);
    EXPECT_NE(Lines[4].find(Case.Average), std::u16string::npos) << ToUtf8(Lines[4]);
  }
}

}  // namespace
}  // namespace corvane
