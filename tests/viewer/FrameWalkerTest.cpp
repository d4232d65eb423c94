// The whole-file walk lists exactly the rows of the chain of full windows, on clean streams and
// on streams with garbage, mixed sampling rates, cut frames and window ends in odd places.

#include <gtest/gtest.h>

#include "core/ODSUtls.h"
#include "viewer/ViewerTestSupport.h"

namespace corvane {
namespace {

using test::TBytes;

TBytes Repeat(const TBytes& Frame, size_t Count) {
  TBytes Out;
  for (size_t Index = 0; Index < Count; ++Index) test::AppendBytes(Out, Frame);
  return Out;
}

// Random bytes, syncwords included.
TBytes Noise(size_t Count, unsigned Seed) {
  std::mt19937 Random(Seed);
  TBytes Out(Count);
  for (auto& Byte : Out) Byte = static_cast<uint8_t>(Random());
  // A few syncwords with a plausible fscod byte after them, like those inside real payloads.
  for (size_t At = 1000; At + 5 < Count; At += 7919) {
    Out[At] = 0x0B;
    Out[At + 1] = 0x77;
    Out[At + 4] = static_cast<uint8_t>(Random() & 0x7F);
  }
  return Out;
}

void ExpectWalkMatchesChain(const TBytes& Stream, const std::vector<int64_t>& Starts, bool ExpectEAC3) {
  const test::TTempFile File(Stream);
  TFrameWindow Window;
  Window.SetVisibleRows(MaxFrameRows);
  ASSERT_TRUE(Window.OpenConfirmed(File.Path(), [](std::u16string_view) { return true; }));
  ASSERT_EQ(Window.EAC3(), ExpectEAC3);
  ASSERT_FALSE(test::ChainText(Window, 0).empty());
  for (const int64_t Start : Starts) {
    const std::string Chain = test::ChainText(Window, Start);
    const std::string Walk = test::WalkText(Window, Start);
    EXPECT_EQ(Walk, Chain) << "from " << Start;
  }
}

TEST(FrameWalker, MatchesTheWindowChainOnEveryCommittedStream) {
  const struct {
    std::filesystem::path File;
    bool EAC3;
  } Streams[] = {
      {test::TestDataPath("ac3_48k_51.ac3"), false},
      {test::TestDataPath("ac3_44k_stereo.ac3"), false},
      {test::TestDataPath("ac3_32k_mono.ac3"), false},
      {test::ViewerDataPath("ac3_48k_51_448k.ac3"), false},
      {test::ViewerDataPath("eac3_44k_stereo.eac3"), true},
      {test::TestDataPath("eac3_51_48k_meta.eac3"), true},
      {test::TestDataPath("eac3_mono_32k.eac3"), true},
      {test::TestDataPath("eac3_stereo_48k.eac3"), true},
  };
  for (const auto& Stream : Streams) {
    SCOPED_TRACE(Stream.File.string());
    // Repeated into several windows' worth, cut in the middle of a frame at the end.
    TBytes Bytes = test::ReadTestFile(Stream.File);
    TBytes Long;
    while (Long.size() < 3 * static_cast<size_t>(FrameReadSize)) test::AppendBytes(Long, Bytes);
    Long.resize(Long.size() - 100);
    ExpectWalkMatchesChain(Long, {0, 1, 12345, static_cast<int64_t>(Long.size()) - 3000}, Stream.EAC3);
  }
}

TEST(FrameWalker, MatchesTheWindowChainThroughGarbageAndOtherSamplingRates) {
  const auto Frames448 = test::SplitFrames(test::ReadTestFile(test::ViewerDataPath("ac3_48k_51_448k.ac3")), false);
  const auto Frames44 = test::SplitFrames(test::ReadTestFile(test::TestDataPath("ac3_44k_stereo.ac3")), false);
  const auto Frames32 = test::SplitFrames(test::ReadTestFile(test::TestDataPath("ac3_32k_mono.ac3")), false);

  TBytes Stream = test::Garbage(777, 3);
  test::AppendBytes(Stream, test::RepeatFrames(Frames448, 600));
  test::AppendBytes(Stream, test::RepeatFrames(Frames44, 300));        // not listed, spanned by one row
  test::AppendBytes(Stream, test::RepeatFrames(Frames448, 300));
  test::AppendBytes(Stream, Noise(300000, 5));                         // syncwords that are no frames
  test::AppendBytes(Stream, test::SyntheticAC3(400, 0, 37));           // 2560-byte frames
  test::AppendBytes(Stream, TBytes(Frames448[3].begin(), Frames448[3].begin() + 900));  // a cut frame
  test::AppendBytes(Stream, test::RepeatFrames(Frames32, 50));
  test::AppendBytes(Stream, test::RepeatFrames(Frames448, 700));
  test::AppendBytes(Stream, test::Garbage(FrameReadSize + 4096, 9));  // a gap no window spans
  test::AppendBytes(Stream, test::RepeatFrames(Frames448, 300));
  test::AppendBytes(Stream, Noise(5000, 7));

  std::vector<int64_t> Starts{0};
  for (int64_t Start = 1; Start < static_cast<int64_t>(Stream.size()); Start += 1234567) Starts.push_back(Start);
  ExpectWalkMatchesChain(Stream, Starts, false);
}

TEST(FrameWalker, MatchesTheWindowChainOnMixedEAC3) {
  const auto Real = test::SplitFrames(test::ReadTestFile(test::ViewerDataPath("eac3_44k_stereo.eac3")), true);
  TBytes Stream = test::Garbage(5, 2);
  test::AppendBytes(Stream, test::RepeatFrames(Real, 2000));
  test::AppendBytes(Stream, Repeat(test::ComposeEAC3Frame(0, 1536), 200));  // 48 kHz: not listed
  const auto Real48 = test::SplitFrames(test::ReadTestFile(test::TestDataPath("eac3_stereo_48k.eac3")), true);
  test::AppendBytes(Stream, test::RepeatFrames(Real48, 150));
  test::AppendBytes(Stream, Noise(200000, 4));
  test::AppendBytes(Stream, Repeat(test::ComposeEAC3Frame(1, 4096), 300));  // large frames of the file's rate
  test::AppendBytes(Stream, test::RepeatFrames(Real, 800));
  test::AppendBytes(Stream, TBytes(Real[0].begin(), Real[0].begin() + 20));
  ExpectWalkMatchesChain(Stream, {0, 777777, 2000000}, true);
}

TEST(FrameWalker, ListsEveryFrameWhateverTheGapsBetweenThem) {
  // 30 frames, a gap without a frame start, 40 frames; the frame before the gap reaches to the
  // frame after it, however far that is, and the last frame to the end of the file.
  constexpr size_t MiB = FrameReadSize;
  for (const size_t Gap : {size_t{500000}, MiB - 1000, MiB + 10, 3 * MiB}) {
    SCOPED_TRACE(Gap);
    TBytes Stream = test::SyntheticAC3(30);
    test::AppendBytes(Stream, test::Garbage(Gap));
    test::AppendBytes(Stream, test::SyntheticAC3(40));
    const test::TTempFile File(Stream);
    auto Window = test::LoadedWindow(File.Path(), 25);
    std::vector<TWalkFrame> Frames;
    ASSERT_TRUE(Window->WalkFrames(0, [&](const TWalkFrame& Frame) {
      Frames.push_back(Frame);
      return true;
    }));
    ASSERT_EQ(Frames.size(), 70u);
    for (size_t Index = 0; Index + 1 < Frames.size(); ++Index)
      EXPECT_EQ(Frames[Index].Offset + Frames[Index].Length, Frames[Index + 1].Offset) << Index;
    EXPECT_EQ(Frames[29].Length, static_cast<int32_t>(256 + Gap));
    EXPECT_EQ(Frames[69].Offset + Frames[69].Length, Window->FileSize());
    EXPECT_EQ(test::WalkText(*Window, 0), test::ChainText(*Window, 0));
  }
}

TEST(FrameWalker, EndsWhereTheVisitorSaysSoOrAtTheEndOfTheFile) {
  TBytes Stream = test::SyntheticAC3(1000);
  const test::TTempFile File(Stream);
  auto Window = test::LoadedWindow(File.Path(), 25);
  int32_t Count = 0;
  TDebugCapture Capture;
  EXPECT_TRUE(Window->WalkFrames(0, [&](const TWalkFrame&) { return ++Count < 300; }));
  EXPECT_EQ(Count, 300);
  EXPECT_TRUE(Capture.Lines().empty());

  // Past the end of the file there is nothing to walk; from inside a gap the walk starts with
  // the frame after it.
  Count = 0;
  EXPECT_TRUE(Window->WalkFrames(Window->FileSize(), [&](const TWalkFrame&) { return ++Count > 0; }));
  EXPECT_EQ(Count, 0);
}

}  // namespace
}  // namespace corvane
