// Deciding whether a file is an AC-3 elementary stream, and at which sampling rate.

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

// Frames of the given sampling rates, each at frmsizecod 8 and its coded size.
std::vector<uint8_t> Frames(const std::vector<uint32_t>& Rates) {
  const size_t Sizes[] = {256, 278, 384};
  std::vector<uint8_t> Bytes;
  for (uint32_t fscod : Rates) Append(Bytes, ComposeAC3Frame(AC3Header(fscod, 8), Sizes[fscod]));
  return Bytes;
}

std::vector<uint8_t> Concat(std::vector<uint8_t> First, const std::vector<uint8_t>& Second) {
  Append(First, Second);
  return First;
}

TEST(IsAC3ES, CountsFramesAndVotesOnTheRate) {
  // Junk that steps past a false syncword (fscod 3) before the stream starts.
  std::vector<uint8_t> Junk(100, 0xFF);
  Junk[10] = 0x0B, Junk[11] = 0x77, Junk[14] = 0xC0;

  struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
    bool Expected;
    int32_t Fscod;
  } const Cases[] = {
      {"three 48 kHz frames", Frames({0, 0, 0}), true, 0},
      {"two 44.1 kHz frames are too few", Frames({1, 1}), false, 1},
      {"one frame each of 32, 44.1 and 48 kHz: the tie goes to 48", Frames({2, 1, 0}), true, 0},
      {"a majority of 32 kHz frames", Frames({0, 2, 2}), true, 2},
      {"junk before the frames", Concat(Junk, Frames({1, 1, 1})), true, 1},
      // Only the first 32 frames vote: the 44.1 kHz frames after them are never looked at.
      {"32 frames of 48 kHz, then 40 of 44.1",
       Concat(Frames(std::vector<uint32_t>(32, 0)), Frames(std::vector<uint32_t>(40, 1))), true, 0},
      {"frames only after the first MiB", Concat(std::vector<uint8_t>(1024 * 1024, 0), Frames({0, 0, 0})), false, 0},
      {"an empty file", {}, false, 0},
      {"a 1-byte file", {0x0B}, false, 0},
  };
  for (const auto& C : Cases) {
    const test::TTempFile File(C.Bytes);
    int32_t Fscod = -2;
    EXPECT_EQ(IsAC3ES(File.Path(), Fscod), C.Expected) << C.Name;
    EXPECT_EQ(Fscod, C.Fscod) << C.Name;
  }
}

TEST(IsAC3ES, MissingFileFailsWithItsLine) {
  TDebugCapture Log;
  int32_t Fscod = 7;
  EXPECT_FALSE(IsAC3ES(test::TestDataPath("no_such_stream.ac3"), Fscod));
  EXPECT_EQ(Fscod, -1);
  EXPECT_EQ(Log.Lines(), std::vector<std::u16string>{u"nox: Error in IsAC3ES call..."});
}

}  // namespace
}  // namespace corvane
