// The whole-file walk lists exactly the rows of the chain of full windows, on clean streams and
// on streams with garbage, mixed sampling rates, cut frames and window ends in odd places.

#include <gtest/gtest.h>

#include "viewer/ViewerTestSupport.h"

namespace corvane {
namespace {

using test::TBytes;

// An E-AC-3 frame of Size bytes (even) at fscod: a minimal independent-stream header, zeros after.
TBytes ComposeEAC3Frame(uint32_t fscod, size_t Size) {
  test::TBitWriter Bits;
  Bits.Put(0x0B77, 16).Put(0, 2).Put(0, 3).Put(static_cast<uint32_t>(Size / 2 - 1), 11);
  Bits.Put(fscod, 2).Put(3, 2).Put(2, 3).Put(0, 1).Put(16, 5);  // numblkscod, acmod, lfeon, bsid
  Bits.Put(31, 5).Put(0, 1).Put(0, 1).Put(0, 1).Put(0, 1);      // dialnorm, compre, mixmdate, infomdate, addbsie
  return Bits.PadTo(Size).Bytes();
}

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
  test::AppendBytes(Stream, Repeat(ComposeEAC3Frame(0, 1536), 200));  // 48 kHz: not listed
  const auto Real48 = test::SplitFrames(test::ReadTestFile(test::TestDataPath("eac3_stereo_48k.eac3")), true);
  test::AppendBytes(Stream, test::RepeatFrames(Real48, 150));
  test::AppendBytes(Stream, Noise(200000, 4));
  test::AppendBytes(Stream, Repeat(ComposeEAC3Frame(1, 4096), 300));  // large frames of the file's rate
  test::AppendBytes(Stream, test::RepeatFrames(Real, 800));
  test::AppendBytes(Stream, TBytes(Real[0].begin(), Real[0].begin() + 20));
  ExpectWalkMatchesChain(Stream, {0, 777777, 2000000}, true);
}

TEST(FrameWalker, StopsWhereTheChainStops) {
  // The first window is not full: the walk lists it and nothing more.
  const auto Frames = test::SplitFrames(test::ReadTestFile(test::ViewerDataPath("ac3_48k_51_448k.ac3")), false);
  TBytes Stream = test::RepeatFrames(Frames, 100);
  test::AppendBytes(Stream, test::Garbage(2 * FrameReadSize));
  test::AppendBytes(Stream, test::RepeatFrames(Frames, 100));
  const test::TTempFile File(Stream);
  auto Window = test::LoadedWindow(File.Path(), 25);
  int32_t Count = 0;
  int64_t LastOffset = -1;
  ASSERT_TRUE(Window->WalkFrames(0, [&](const TWalkFrame& Frame) {
    ++Count;
    LastOffset = Frame.Offset;
  }));
  EXPECT_EQ(Count, 100);
  EXPECT_EQ(LastOffset, 99 * 1792);

  // Past the end of the file there is nothing to walk.
  Count = 0;
  ASSERT_TRUE(Window->WalkFrames(Window->FileSize(), [&](const TWalkFrame&) { ++Count; }));
  EXPECT_EQ(Count, 0);
}

}  // namespace
}  // namespace corvane
