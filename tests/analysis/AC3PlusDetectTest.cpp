// Deciding whether a file is an E-AC-3 elementary stream, and at which sampling rate.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/AC3PlusUtils.h"
#include "core/ODSUtls.h"
#include "support/AC3PlusComposer.h"
#include "support/TempFile.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

using test::TTempFile;

// Count frames of 512 bytes at each fscod, in this order.
std::vector<uint8_t> Frames(std::initializer_list<std::pair<int, uint32_t>> Runs) {
  std::vector<TAC3PlusFrame> List;
  for (const auto& [Count, fscod] : Runs) {
    TAC3PlusFrame F = test::PlainAC3PlusFrame();
    F.frmsiz = 255;
    F.fscod = fscod;
    if (fscod == 3) F.fscod2 = 0;
    List.insert(List.end(), static_cast<size_t>(Count), F);
  }
  return test::ComposeAC3PlusStream(List);
}

std::vector<uint8_t> Concat(std::vector<uint8_t> First, const std::vector<uint8_t>& Second) {
  First.insert(First.end(), Second.begin(), Second.end());
  return First;
}

struct TDetectCase {
  const char* Name;
  std::vector<uint8_t> Bytes;
  bool IsStream;
  int32_t Fscod;
};

std::vector<TDetectCase> DetectCases() {
  return {
      {"FortyAt48k", Frames({{40, 0}}), true, 0},
      {"FortyAt44k", Frames({{40, 1}}), true, 1},
      {"MajorityAfterMinority", Frames({{10, 1}, {30, 0}}), true, 0},
      {"TieGoesToLowerFscod", Frames({{16, 1}, {20, 0}}), true, 0},
      // Only the first 32 frames vote: 20 against 12, although the file holds 30 at fscod 2.
      {"OnlyThirtyTwoFramesCount", Frames({{20, 1}, {30, 2}}), true, 1},
      {"ReducedRatesOnly", Frames({{40, 3}}), false, 0},
      {"TwoFrames", Frames({{2, 2}}), false, 2},
      {"ThreeFrames", Frames({{3, 2}}), true, 2},
      {"LeadingBytesSkipped", Concat(std::vector<uint8_t>(100, 0x5A), Frames({{40, 0}})), true, 0},
      {"FramesBeyondTheFirstMiB", Concat(std::vector<uint8_t>(2 * 1048576, 0), Frames({{40, 0}})), false, 0},
      {"Empty", {}, false, 0},
      {"NoFrames", std::vector<uint8_t>(5000, 0x0B), false, 0},
  };
}

class AC3PlusDetectTest : public testing::TestWithParam<TDetectCase> {};

TEST_P(AC3PlusDetectTest, CountsFramesAndVotesForTheRate) {
  const TTempFile File(GetParam().Bytes);
  TDebugCapture Quiet;
  int32_t Fscod = 99;
  EXPECT_EQ(IsAC3PlusES(File.Path(), Fscod), GetParam().IsStream);
  EXPECT_EQ(Fscod, GetParam().Fscod);
}

INSTANTIATE_TEST_SUITE_P(Files, AC3PlusDetectTest, testing::ValuesIn(DetectCases()),
                         [](const testing::TestParamInfo<TDetectCase>& Info) { return Info.param.Name; });

TEST(AC3PlusDetectTest, MissingFileIsReported) {
  TDebugCapture Capture;
  int32_t Fscod = 99;
  EXPECT_FALSE(IsAC3PlusES(fs::path(testing::TempDir()) / "corvane_no_such_file.eac3", Fscod));
  EXPECT_EQ(Fscod, -1);
  EXPECT_EQ(Capture.Lines(), std::vector<std::u16string>{u"nox: Error in IsAC3PlusES call..."});
}

// Frames that differ in size: independent frames of 1536 bytes, each followed by a dependent
// substream frame of 512 bytes. Each frame is measured to the next one, so all are counted.
// The two kinds carry different fscod values only so that the vote shows which were counted:
// 4 independent frames against 3 dependent ones; a scan that passed over the independent
// frames after a smaller one would count 2 against 3.
TEST(AC3PlusDetectTest, AlternatingFrameSizesAreAllCounted) {
  TAC3PlusFrame Independent = test::PlainAC3PlusFrame();
  Independent.fscod = 2;
  TAC3PlusFrame Dependent = test::PlainAC3PlusFrame();
  Dependent.strmtyp = 1;
  Dependent.frmsiz = 255;
  std::vector<TAC3PlusFrame> List;
  for (int Pair = 0; Pair < 3; ++Pair) List.insert(List.end(), {Independent, Dependent});
  List.push_back(Independent);
  const TTempFile File(test::ComposeAC3PlusStream(List));
  int32_t Fscod = 99;
  EXPECT_TRUE(IsAC3PlusES(File.Path(), Fscod));
  EXPECT_EQ(Fscod, 2);
}

}  // namespace
}  // namespace corvane
