// Measuring AC-3 frames: the distance from a frame start to the next acceptable frame start.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/AC3Utils.h"
#include "core/ODSUtls.h"
#include "support/AC3Composer.h"
#include "support/TempFile.h"

namespace corvane {
namespace {

using test::AC3Header;
using test::Append;
using test::ComposeAC3Frame;
using test::ComposeAC3Header;

constexpr int32_t Unset = 12345;

int32_t SizeOf(const std::vector<uint8_t>& Bytes) { return static_cast<int32_t>(Bytes.size()); }

// Writes the header of Frame into Bytes at Offset (a syncword hidden inside another frame's payload).
void Plant(std::vector<uint8_t>& Bytes, size_t Offset, const TAC3Frame& Frame) {
  const std::vector<uint8_t> Header = ComposeAC3Header(Frame);
  std::copy(Header.begin(), Header.end(), Bytes.begin() + static_cast<std::ptrdiff_t>(Offset));
}

TEST(GetAC3ESPackLength, MeasuresChainedFrames) {
  std::vector<uint8_t> Stream;
  for (int I = 0; I < 3; ++I) Append(Stream, ComposeAC3Frame(AC3Header(0, 8), 256));
  int32_t Length = Unset;
  EXPECT_TRUE(GetAC3ESPackLength(Stream.data(), SizeOf(Stream), Length, -1));
  EXPECT_EQ(Length, 256);
}

// At 44.1 kHz the two codes of a pair differ by one word; each frame is measured by its own size,
// so a 556-byte frame is not merged with the 558-byte frame after it.
TEST(GetAC3ESPackLength, MeasuresAlternatingFrameSizesAt44k) {
  std::vector<uint8_t> Stream;
  Append(Stream, ComposeAC3Frame(AC3Header(1, 16), 556));
  Append(Stream, ComposeAC3Frame(AC3Header(1, 17), 558));
  Append(Stream, ComposeAC3Frame(AC3Header(1, 16), 556));
  int32_t Length = Unset;
  ASSERT_TRUE(GetAC3ESPackLength(Stream.data(), SizeOf(Stream), Length, 1));
  EXPECT_EQ(Length, 556);
  ASSERT_TRUE(GetAC3ESPackLength(Stream.data() + 556, SizeOf(Stream) - 556, Length, 1));
  EXPECT_EQ(Length, 558);
}

// A syncword inside a frame's coded size is payload, whatever size it codes itself.
TEST(GetAC3ESPackLength, PassesOverSyncwordsInsideTheFrame) {
  struct {
    const char* Name;
    size_t Distance;
    TAC3Frame Planted;
  } const Cases[] = {
      {"a large frame at 200", 200, AC3Header(0, 37)},
      {"a small frame at 200", 200, AC3Header(0, 0)},
      {"a small frame right after the header", 8, AC3Header(0, 0)},
      {"the frame's own twin at 128", 128, AC3Header(0, 8)},
  };
  for (const auto& C : Cases) {
    std::vector<uint8_t> Stream = ComposeAC3Frame(AC3Header(0, 8), 256);
    Plant(Stream, C.Distance, C.Planted);
    Append(Stream, ComposeAC3Frame(AC3Header(0, 8), 256));
    int32_t Length = Unset;
    EXPECT_TRUE(GetAC3ESPackLength(Stream.data(), SizeOf(Stream), Length, -1)) << C.Name;
    EXPECT_EQ(Length, 256) << C.Name;
  }
}

TEST(GetAC3ESPackLength, SkipsFramesOfAnotherRequiredRate) {
  std::vector<uint8_t> Stream;
  Append(Stream, ComposeAC3Frame(AC3Header(0, 8), 256));
  Append(Stream, ComposeAC3Frame(AC3Header(2, 0), 192));
  Append(Stream, ComposeAC3Frame(AC3Header(0, 8), 256));
  int32_t Length = Unset;
  ASSERT_TRUE(GetAC3ESPackLength(Stream.data(), SizeOf(Stream), Length, -1));
  EXPECT_EQ(Length, 256);
  ASSERT_TRUE(GetAC3ESPackLength(Stream.data(), SizeOf(Stream), Length, 0));
  EXPECT_EQ(Length, 448);
}

// Where the frame at Data codes no size (reserved frmsizecod or fscod 3), a candidate closer than
// the size it codes itself is passed over.
TEST(GetAC3ESPackLength, WeighsCandidatesByTheirOwnSizeWhenTheFrameHasNone) {
  for (const TAC3Frame& First : {AC3Header(0, 40), AC3Header(3, 8)}) {
    SCOPED_TRACE("fscod " + std::to_string(First.fscod) + ", frmsizecod " + std::to_string(First.frmsizecod));
    std::vector<uint8_t> Stream = ComposeAC3Frame(First, 1000);
    Plant(Stream, 100, AC3Header(0, 37));  // 2560 bytes > 100: passed over
    Plant(Stream, 300, AC3Header(0, 0));   // 128 bytes <= 300: the next frame
    int32_t Length = Unset;
    EXPECT_TRUE(GetAC3ESPackLength(Stream.data(), SizeOf(Stream), Length, -1));
    EXPECT_EQ(Length, 300);
  }
  // When neither codes a size there is nothing to weigh: the first candidate is taken.
  std::vector<uint8_t> Stream = ComposeAC3Frame(AC3Header(0, 40), 400);
  Plant(Stream, 50, AC3Header(0, 63));
  int32_t Length = Unset;
  EXPECT_TRUE(GetAC3ESPackLength(Stream.data(), SizeOf(Stream), Length, -1));
  EXPECT_EQ(Length, 50);
}

// A candidate needs its five syncinfo bytes; without an acceptable one the answer is false and
// Length keeps its value, even when rejected candidates were seen on the way.
TEST(GetAC3ESPackLength, FalseLeavesLengthAlone) {
  TDebugCapture Quiet;  // a candidate with exactly five bytes reports its short parse
  const std::vector<uint8_t> Frame = ComposeAC3Frame(AC3Header(0, 8), 256);
  struct {
    const char* Name;
    std::vector<uint8_t> Tail;
    bool Expected;
  } const Cases[] = {
      {"nothing after the frame", {}, false},
      {"a syncword with 4 bytes left", {0x0B, 0x77, 0x00, 0x00}, false},
      {"a syncword with 5 bytes left", {0x0B, 0x77, 0x00, 0x00, 0x08}, true},
      {"a frame of fscod 3", ComposeAC3Frame(AC3Header(3, 8), 256), false},
      {"a frame of another rate", ComposeAC3Frame(AC3Header(1, 8), 278), false},
  };
  for (const auto& C : Cases) {
    std::vector<uint8_t> Stream = Frame;
    Plant(Stream, 100, AC3Header(1, 0));  // inside the frame, and of another rate too
    Append(Stream, C.Tail);
    int32_t Length = Unset;
    EXPECT_EQ(GetAC3ESPackLength(Stream.data(), SizeOf(Stream), Length, 0), C.Expected) << C.Name;
    EXPECT_EQ(Length, C.Expected ? 256 : Unset) << C.Name;
  }
  int32_t Length = Unset;
  EXPECT_FALSE(GetAC3ESPackLength(Frame.data(), 0, Length, -1));
  EXPECT_FALSE(GetAC3ESPackLength(Frame.data(), -7, Length, -1));
  EXPECT_EQ(Length, Unset);
}

// Walking each committed stream frame by frame: every length is the frame's coded size and the
// lengths add up to the file.
TEST(GetAC3ESPackLength, WalksRealStreamsFrameByFrame) {
  struct {
    const char* File;
    int32_t fscod;
    size_t Frames;
  } const Cases[] = {{"ac3_48k_51.ac3", 0, 63}, {"ac3_44k_stereo.ac3", 1, 87}, {"ac3_32k_mono.ac3", 2, 63}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.File);
    const std::vector<uint8_t> Bytes = test::ReadTestFile(test::TestDataPath(C.File));
    const uint8_t* Position = Bytes.data();
    int32_t Left = SizeOf(Bytes);
    size_t Frames = 1;
    bool SawBothSizes[2] = {false, false};
    int32_t Length = 0;
    while (GetAC3ESPackLength(Position, Left, Length, C.fscod)) {
      ASSERT_EQ(Length, AC3FrameSizeBytes(Position[4] >> 6, Position[4] & 0x3F)) << "frame " << Frames;
      SawBothSizes[Position[4] & 1] = true;
      Position += Length;
      Left -= Length;
      ++Frames;
    }
    EXPECT_EQ(Left, AC3FrameSizeBytes(Position[4] >> 6, Position[4] & 0x3F)) << "the last frame ends the file";
    EXPECT_EQ(Frames, C.Frames);
    if (C.fscod == 1) {
      EXPECT_TRUE(SawBothSizes[0] && SawBothSizes[1]);
    }
  }
}

}  // namespace
}  // namespace corvane
