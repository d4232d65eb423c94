// Measuring AC-3 frames: what only the AC-3 length search does (frames of reserved size codes,
// candidates it turns down); what it shares with E-AC-3 is in BothKindsTest.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/AC3Utils.h"
#include "core/ODSUtls.h"
#include "support/AC3Composer.h"

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

}  // namespace
}  // namespace corvane
