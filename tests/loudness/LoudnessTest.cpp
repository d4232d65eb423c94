// The loudness of whole streams: figures of streams encoded at known loudness, what is left out
// and why, the series, the dialnorm verdict, and where the dynamic range words sit as the
// decoder reads them.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <type_traits>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "analysis/AC3Crc.h"
#include "analysis/AC3PlusSyntax.h"
#include "analysis/AC3Syntax.h"
#include "loudness/FrameDecoder.h"
#include "loudness/LoudnessScan.h"
#include "support/TempFile.h"

namespace corvane {
namespace {

using TBytes = std::vector<uint8_t>;

std::filesystem::path StreamPath(const std::string& Name) { return test::TestDataPath("loudness/" + Name); }

TLoudnessResult Measured(const std::filesystem::path& File, double SeriesStep = 0.0,
                         std::function<bool(const TSeriesRow&)> Series = {}) {
  TLoudnessRequest Request;
  Request.File = File;
  Request.EAC3 = File.extension() == ".eac3";
  Request.SeriesStep = SeriesStep;
  Request.Series = std::move(Series);
  return MeasureLoudness(Request);
}

std::map<std::string, double> Peaks(const TLoudnessResult& Result) {
  std::map<std::string, double> Peaks;
  for (const auto& [Role, Peak] : Result.ChannelPeaks) Peaks[ChannelRoleName(Role)] = Peak;
  return Peaks;
}

// 1 kHz sines of known peaks in each layout (tests/data/make_loudness_samples.sh): the
// loudness follows from the amplitudes and BS.1770's channel weights, the LFE channel counts
// for the true peak only, and each channel's peak is its own sine's.
TEST(Loudness, StreamsOfKnownLoudnessInEveryLayout) {
  struct TCase {
    const char* File;
    double Integrated;
    std::map<std::string, double> Peaks;
    uint32_t Dialnorm;
  };
  const TCase Cases[] = {
      {"sine_1_0.ac3", -23.01, {{"C", -20.0}}, 27},
      {"sine_2_0.ac3", -20.0, {{"L", -20.0}, {"R", -20.0}}, 20},
      {"sine_2_0.eac3", -20.0, {{"L", -20.0}, {"R", -20.0}}, 20},
      {"sine_3_2.ac3", -18.82, {{"L", -20.0}, {"R", -26.02}, {"C", -21.94}, {"Ls", -27.96}, {"Rs", -24.44}}, 19},
      {"sine_3_2_lfe.ac3",
       -18.82,
       {{"L", -20.0}, {"R", -26.02}, {"C", -21.94}, {"LFE", -6.02}, {"Ls", -27.96}, {"Rs", -24.44}},
       19},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.File);
    const TLoudnessResult Result = Measured(StreamPath(Case.File));
    ASSERT_TRUE(Result.Completed) << Result.Error;
    EXPECT_NEAR(Result.Integrated, Case.Integrated, 0.1);
    EXPECT_NEAR(Result.Range, 0.0, 0.1);
    const std::map<std::string, double> Found = Peaks(Result);
    ASSERT_EQ(Found.size(), Case.Peaks.size());
    double Highest = -HUGE_VAL;
    for (const auto& [Name, Peak] : Case.Peaks) {
      ASSERT_TRUE(Found.contains(Name)) << Name;
      EXPECT_NEAR(Found.at(Name), Peak, 0.1) << Name;
      Highest = std::max(Highest, Peak);
    }
    EXPECT_NEAR(Result.TruePeak, Highest, 0.1);
    EXPECT_EQ(Result.FindingCount, 0);
    ASSERT_EQ(Result.Dialnorms.size(), 1u);
    EXPECT_EQ(Result.Dialnorms[0].Value, Case.Dialnorm);
    EXPECT_EQ(Result.Dialnorms[0].Frames, Result.Frames);
    EXPECT_EQ(Result.Compr.Frames, 0);
    EXPECT_EQ(Result.Dynrng.Frames, Result.Frames);  // 0 dB where a frame sends none
    EXPECT_NEAR(Result.Seconds, static_cast<double>(Result.Frames) * 1536 / 48000, 1e-9);
  }
}

TEST(Loudness, DialnormVerdict) {
  struct TCase {
    double Integrated;
    std::vector<TValueCount> Dialnorms;
    bool Measured, Agrees;
    uint32_t Prevailing;
    double Difference;
  };
  const TCase Cases[] = {
      {-20.04, {{20, 10}}, true, true, 20, 0.0},
      {-22.04, {{20, 10}}, true, true, 20, -2.0},            // at the tolerance, to 0.1 dB
      {-17.94, {{20, 10}}, true, false, 20, 2.1},            // just past it
      {-24.0, {{31, 3}, {24, 9}}, true, true, 24, 0.0},       // the value most frames carry
      {-31.0, {{0, 5}}, true, true, 0, 0.0},                  // reserved 0 taken as 31
      {-HUGE_VAL, {{20, 10}}, false, false, 20, 0.0},         // nothing above the gates
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Integrated);
    TLoudnessResult Result;
    Result.Integrated = Case.Integrated;
    Result.Dialnorms = Case.Dialnorms;
    const TDialnormVerdict Verdict = JudgeDialnorm(Result);
    EXPECT_EQ(Verdict.Measured, Case.Measured);
    EXPECT_TRUE(Verdict.HasDialnorm);
    EXPECT_EQ(Verdict.Dialnorm, Case.Prevailing);
    EXPECT_EQ(Verdict.Agrees, Case.Agrees);
    EXPECT_NEAR(Verdict.Difference, Case.Difference, 1e-9);
  }
  EXPECT_FALSE(JudgeDialnorm(TLoudnessResult{}).HasDialnorm);

  // The dialnorm that claims a loudness: its level in whole dB, half a dB away from zero, as near
  // as 1 to 31 come.
  const std::pair<double, uint32_t> Matches[] = {{-23.1, 23}, {-23.5, 24}, {-22.5, 23}, {-0.4, 1},
                                                 {3.0, 1},    {-31.4, 31}, {-40.0, 31}, {-HUGE_VAL, 31}};
  for (const auto& [Integrated, Dialnorm] : Matches) EXPECT_EQ(MatchingDialnorm(Integrated), Dialnorm) << Integrated;
}

// A frame that fails its CRC would decode to noise, and one cut short cannot be decoded: both
// are findings at their offsets, and leaving them out moves neither peak nor loudness.
TEST(Loudness, DamagedFramesAreLeftOutWithoutMovingTheFigures) {
  const TLoudnessResult Clean = Measured(StreamPath("sine_2_0.ac3"));
  TBytes Bytes = test::ReadTestFile(StreamPath("sine_2_0.ac3"));
  const size_t FrameSize = 384;  // 96 kbps at 48 kHz
  for (size_t At = 10 * FrameSize + 100; At < 10 * FrameSize + 300; ++At) Bytes[At] ^= 0x5A;
  Bytes.resize(Bytes.size() - 100);
  const test::TTempFile File(Bytes, ".ac3");
  const TLoudnessResult Result = Measured(File.Path());
  ASSERT_TRUE(Result.Completed) << Result.Error;
  ASSERT_EQ(Result.FindingCount, 2);
  EXPECT_EQ(Result.Findings[0].Offset, 10 * static_cast<int64_t>(FrameSize));
  EXPECT_EQ(Result.Findings[0].Text, "not measured: crc1 and crc2 fail");
  EXPECT_EQ(Result.Findings[1].Text, "not measured: the frame runs past the end of the file");
  EXPECT_EQ(Result.Frames, Clean.Frames - 2);
  EXPECT_NEAR(Result.TruePeak, Clean.TruePeak, 0.05);
  EXPECT_NEAR(Result.Integrated, Clean.Integrated, 0.05);
}

TEST(Loudness, SeriesStepsThroughTheStream) {
  std::vector<TSeriesRow> Rows;
  const TLoudnessResult Result = Measured(StreamPath("sine_2_0.ac3"), 1.0, [&](const TSeriesRow& Row) {
    Rows.push_back(Row);
    return true;
  });
  ASSERT_TRUE(Result.Completed) << Result.Error;
  // Three whole seconds, then the rest of the last frame.
  ASSERT_EQ(Rows.size(), 4u);
  for (size_t Index = 0; Index < 3; ++Index) EXPECT_DOUBLE_EQ(Rows[Index].Time, 1.0 + static_cast<double>(Index));
  EXPECT_DOUBLE_EQ(Rows[3].Time, Result.Seconds);
  // A step ends in the frame of 384 bytes whose 1536 samples hold its last: 1 s in frame 31.
  EXPECT_EQ(Rows[0].Offset, 31 * 384);
  EXPECT_EQ(Rows[3].Offset, Result.Frames * 384 - 384);
  int64_t Frames = 0;
  for (const TSeriesRow& Row : Rows) {
    EXPECT_NEAR(Row.Momentary, -20.0, 0.1);
    EXPECT_NEAR(Row.Kbps, 96.0, 0.5);
    EXPECT_EQ(Row.Dialnorm, 20);
    EXPECT_EQ(Row.Compr.Frames, 0);
    EXPECT_EQ(Row.Dynrng.Sum, 0);
    Frames += Row.Dynrng.Frames;
  }
  EXPECT_EQ(Frames, Result.Frames);
  // Short-term loudness takes 3 s: the first second holds a third of a window of sine.
  EXPECT_NEAR(Rows[0].ShortTerm, -20.0 - 4.77, 0.2);
  EXPECT_NEAR(Rows[2].ShortTerm, -20.0, 0.1);

  // A receiver that takes no more rows ends the measurement.
  const TLoudnessResult Ended = Measured(StreamPath("sine_2_0.ac3"), 1.0, [](const TSeriesRow&) { return false; });
  EXPECT_FALSE(Ended.Completed);
  EXPECT_FALSE(Ended.Error.empty());
}

TEST(Loudness, CancelledOrUnreadable) {
  std::atomic<bool> Cancel{true};
  TLoudnessRequest Request;
  Request.File = StreamPath("sine_2_0.ac3");
  Request.Cancel = &Cancel;
  const TLoudnessResult Cancelled = MeasureLoudness(Request);
  EXPECT_TRUE(Cancelled.Cancelled);
  EXPECT_FALSE(Cancelled.Completed);

  const TLoudnessResult Missing = Measured(StreamPath("no_such_file.ac3"));
  EXPECT_FALSE(Missing.Completed);
  EXPECT_FALSE(Missing.Cancelled);
  EXPECT_FALSE(Missing.Error.empty());
}

// ---------------------------------------------------------------------------------------------
// The dynamic range word of the first block sits where the syntax walk says: a frame given one
// there (the bits after it moved on, the frame's padding shortened to keep its size) decodes,
// with the gains applied, to exactly that gain.

using TBits = std::vector<bool>;

TBits ToBits(const TBytes& Bytes) {
  TBits Bits;
  for (uint8_t Byte : Bytes)
    for (int Bit = 7; Bit >= 0; --Bit) Bits.push_back(((Byte >> Bit) & 1) != 0);
  return Bits;
}

TBytes ToBytes(const TBits& Bits) {
  TBytes Bytes(Bits.size() / 8, 0);
  for (size_t Bit = 0; Bit < Bits.size(); ++Bit)
    if (Bits[Bit]) Bytes[Bit / 8] = static_cast<uint8_t>(Bytes[Bit / 8] | (0x80u >> (Bit % 8)));
  return Bytes;
}

template <typename TFrame>
int32_t DynrngeBit(const uint8_t* Data, int32_t Size) {
  auto Frame = std::make_unique<TFrame>();
  std::memset(Frame.get(), 0, sizeof(TFrame));
  if constexpr (std::is_same_v<TFrame, TAC3Frame>)
    parse_ac3_frame(Data, Size, *Frame);
  else
    parse_ac3_plus_frame(Data, Size, *Frame);
  for (const TFieldPosition& Position : Frame->Layout.Decoded())
    if (Position.Field == static_cast<uint8_t>(TSyntax<TFrame>::TId::dynrnge)) return Position.BitOffset;
  return -1;
}

// The decoded samples of the first channel of frame Index of Frames (each Size bytes).
std::vector<float> DecodedFrame(const TBytes& Frames, size_t Size, size_t Index, bool EAC3) {
  TFrameDecoder Decoder(EAC3, 1.0);
  std::vector<float> Samples;
  for (size_t Frame = 0; Frame <= Index; ++Frame) {
    std::string Error;
    Samples.clear();
    EXPECT_TRUE(Decoder.Decode(
        Frames.data() + Frame * Size, static_cast<int32_t>(Size),
        [&](const TDecodedAudio& Audio) { Samples.insert(Samples.end(), Audio.Planes[0], Audio.Planes[0] + Audio.Samples); },
        Error))
        << Error;
  }
  return Samples;
}

double Rms(const std::vector<float>& Samples, size_t From) {
  double Sum = 0.0;
  for (size_t Index = From; Index < Samples.size(); ++Index) Sum += double{Samples[Index]} * Samples[Index];
  return std::sqrt(Sum / static_cast<double>(Samples.size() - From));
}

TEST(Loudness, DynrngSitsWhereTheDecoderReadsIt) {
  struct TCase {
    const char* File;
    size_t Size;  // of its frames
  };
  // Streams whose frames end in enough padding: 64 and 96 kbps at 48 kHz.
  for (const TCase& Case : {TCase{"sine_1_0.ac3", 256}, TCase{"sine_2_0.eac3", 384}}) {
    SCOPED_TRACE(Case.File);
    const bool EAC3 = std::string(Case.File).ends_with(".eac3");
    const TBytes Stream = test::ReadTestFile(StreamPath(Case.File));
    const size_t Size = Case.Size;
    const size_t Index = 10;
    const uint8_t* Frame = Stream.data() + Index * Size;
    const int32_t Bit = EAC3 ? DynrngeBit<TAC3PlusFrame>(Frame, static_cast<int32_t>(Size))
                             : DynrngeBit<TAC3Frame>(Frame, static_cast<int32_t>(Size));
    ASSERT_GT(Bit, 0);
    TBits Bits = ToBits(TBytes(Frame, Frame + Size));
    ASSERT_FALSE(Bits[static_cast<size_t>(Bit)]) << "the encoder sends no gain";
    // The frame ends in auxdatae, a reserved bit and crc2; the 8 bits before them are padding.
    const size_t Padding = Bits.size() - 18 - 8;
    for (size_t At = Padding; At < Padding + 8; ++At) ASSERT_FALSE(Bits[At]);
    Bits.erase(Bits.begin() + static_cast<std::ptrdiff_t>(Padding), Bits.begin() + static_cast<std::ptrdiff_t>(Padding + 8));
    Bits[static_cast<size_t>(Bit)] = true;
    const TBits Gain = ToBits({0xE0});  // -6.02 dB
    Bits.insert(Bits.begin() + Bit + 1, Gain.begin(), Gain.end());
    TBytes Changed = Stream;
    TBytes NewFrame = ToBytes(Bits);
    ASSERT_TRUE(EAC3 ? RepairAC3PlusFrameCrc(NewFrame.data(), static_cast<int32_t>(Size))
                     : RepairAC3FrameCrc(NewFrame.data(), static_cast<int32_t>(Size)));
    std::copy(NewFrame.begin(), NewFrame.end(), Changed.begin() + static_cast<std::ptrdiff_t>(Index * Size));

    const std::vector<float> Before = DecodedFrame(Stream, Size, Index, EAC3);
    const std::vector<float> After = DecodedFrame(Changed, Size, Index, EAC3);
    ASSERT_EQ(Before.size(), 1536u);
    ASSERT_EQ(After.size(), 1536u);
    // The first 256 samples overlap the frame before, which had no gain.
    EXPECT_NEAR(Rms(After, 256) / Rms(Before, 256), 0.5, 0.005);
  }
}

}  // namespace
}  // namespace corvane
