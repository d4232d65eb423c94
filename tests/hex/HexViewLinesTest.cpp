#include "hex/HexViewLines.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "core/ODSUtls.h"
#include "hex/HexTestFiles.h"

namespace corvane {
namespace {

using test::FiveGiB;

TEST(MemToStrLines2Test, FormatsSixteenBytesALineWithTheHexPartPaddedToFifty) {
  // 20 bytes: letters, then control bytes and the soft hyphen, which all show as ".".
  std::vector<uint8_t> Bytes;
  for (int Index = 0; Index < 16; ++Index) Bytes.push_back(static_cast<uint8_t>('A' + Index));
  Bytes.insert(Bytes.end(), {0x00, 0x0A, 0xAD, 0xE9});

  std::vector<std::u16string> Lines{u"kept"};
  ASSERT_TRUE(MemToStrLines2(Bytes.data(), static_cast<int32_t>(Bytes.size()), &Lines));

  ASSERT_EQ(Lines.size(), 3u);
  EXPECT_EQ(Lines[0], u"kept");
  EXPECT_EQ(Lines[1],
            u"41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 " + std::u16string(2, u' ') + u"ABCDEFGHIJKLMNOP");
  EXPECT_EQ(Lines[2], u"00 0A AD E9 " + std::u16string(38, u' ') + u"...\u00E9");
  EXPECT_EQ(HexViewLinePrefix(0).size() + Lines[1].size(), static_cast<size_t>(HexViewLineLength));
}

TEST(MemToStrLines2Test, RefusesMissingOrEmptyInputWithoutTouchingTheList) {
  const uint8_t Byte = 0x41;
  std::vector<std::u16string> Lines{u"kept"};
  EXPECT_FALSE(MemToStrLines2(&Byte, 0, &Lines));
  EXPECT_FALSE(MemToStrLines2(&Byte, -1, &Lines));
  EXPECT_FALSE(MemToStrLines2(nullptr, 1, &Lines));
  EXPECT_FALSE(MemToStrLines2(&Byte, 1, nullptr));
  EXPECT_EQ(Lines, std::vector<std::u16string>{u"kept"});
}

TEST(HexViewLinesTest, LineOffsetsUseSixteenDigitsAndRoundDownToTheLine) {
  EXPECT_EQ(HexViewLinePrefix(0), u"0x0000000000000000   ");
  EXPECT_EQ(HexViewLinePrefix(FiveGiB + 0x10), u"0x0000000140000010   ");
  EXPECT_EQ(HexViewLinePrefix(INT64_MAX - 15), u"0x7FFFFFFFFFFFFFF0   ");

  EXPECT_EQ(HexViewAlignedStart(0x25), 0x20);
  EXPECT_EQ(HexViewAlignedStart(0x20), 0x20);
  EXPECT_EQ(HexViewAlignedStart(FiveGiB + 19), FiveGiB + 16);
}

struct THighlightCase {
  const char* Name;
  int32_t LineIndex;
  int64_t LineStart;
  int64_t SelectionStart;
  int64_t SelectionLength;
  std::optional<THexLineHighlight> Expected;
};

TEST(HexViewLinesTest, HighlightCoversTheSelectedBytesOfEachLine) {
  const THighlightCase Cases[] = {
      // Digits and the two spaces between them: positions 36..43; text 76..78.
      {"column 5, 3 bytes", 0, 0, 5, 3, THexLineHighlight{{36, 8}, {76, 3}}},
      {"whole line", 0, 0, 0, 16, THexLineHighlight{{21, 47}, {71, 16}}},
      // A selection over two lines: the tail of the first, the head of the second.
      {"two lines, first", 0, 0, 12, 8, THexLineHighlight{{57, 11}, {83, 4}}},
      {"two lines, second", 1, 16, 12, 8, THexLineHighlight{{88 + 21, 11}, {88 + 71, 4}}},
      {"line far past 4 GiB", 2, FiveGiB - 16, FiveGiB - 3, 3, THexLineHighlight{{176 + 21 + 39, 8}, {176 + 71 + 13, 3}}},
      {"zero length", 0, 0, 5, 0, std::nullopt},
      {"negative length", 0, 0, 5, -4, std::nullopt},
      {"ends where the line starts", 1, 16, 0, 16, std::nullopt},
      {"starts where the line ends", 0, 0, 16, 4, std::nullopt},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    EXPECT_EQ(HexViewLineHighlight(Case.LineIndex, Case.LineStart, Case.SelectionStart, Case.SelectionLength),
              Case.Expected);
  }
}

TEST(HexViewLinesTest, VisibleLinesAndPageFollowTheClientHeight) {
  const struct {
    int32_t Height;
    int32_t Lines;
    int64_t Page;
  } Cases[] = {{0, 1, 0}, {20, 1, 16}, {31, 1, 16}, {48, 2, 48}, {176, 10, 176}, {192, 11, 192},
               {10256, 640, 10256}, {20000, 640, 20000}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Height);
    EXPECT_EQ(HexViewVisibleLines(Case.Height), Case.Lines);
    EXPECT_EQ(HexViewPageBytes(Case.Height), Case.Page);
  }
}

TEST(HexViewLinesTest, StepsMoveFromTheLastOffsetAndStayInsideTheFile) {
  const struct {
    THexViewStep Step;
    int64_t From;
    int64_t FileSize;
    int64_t Expected;
  } Cases[] = {
      {THexViewStep::LineDown, 0x25, 1000, 0x35},  // keeps the remainder modulo 16
      {THexViewStep::LineUp, 0x35, 1000, 0x25},
      {THexViewStep::LineUp, 10, 1000, 0},
      {THexViewStep::LineDown, 990, 1000, 999},
      {THexViewStep::PageDown, 0, 1000, 192},
      {THexViewStep::PageDown, 900, 1000, 999},
      {THexViewStep::PageUp, 500, 1000, 308},
      {THexViewStep::PageUp, 100, 1000, 0},
      {THexViewStep::Home, 500, 1000, 0},
      {THexViewStep::End, 0, 1000, 999},
      {THexViewStep::End, 0, FiveGiB + 20, FiveGiB + 19},
      // From past the end of a file that shrank while shown: back inside it.
      {THexViewStep::LineUp, 5000, 1000, 999},
      {THexViewStep::PageUp, 5000, 1000, 999},
      {THexViewStep::LineDown, 5000, 1000, 999},
      {THexViewStep::End, 0, 0, 0},
      {THexViewStep::LineDown, FiveGiB, FiveGiB + 20, FiveGiB + 16},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(Case.Step) << " from " << Case.From);
    EXPECT_EQ(HexViewStepTarget(Case.Step, Case.From, Case.FileSize, 192), Case.Expected);
  }
}

TEST(HexViewLinesTest, ThumbAndTrackMapBetweenOffsetsAndTheScrollRange) {
  constexpr int64_t Huge = int64_t{1} << 62;
  constexpr int64_t Largest = std::numeric_limits<int64_t>::max();
  struct TCase {
    int64_t Offset;
    int64_t FileSize;
    int32_t Expected;
  };
  const TCase Cases[] = {
      {0, 1000, 0},
      {500, 1000, 50000},
      {999, 1000, 99900},
      {-1, 1000, 0},
      {0, 0, 0},  // an empty file has no position
      {FiveGiB + 19, FiveGiB + 20, 99999},
      // Past the end of a file that shrank while shown: the end, never a wrapped value.
      {1000, 1000, 100000},
      {5000, 1000, 100000},
      {FiveGiB, 1, 100000},
      // Offsets too large for the exact product: the quotient, which must still fit.
      {Huge, Huge + Huge / 4, 80000},
      {Huge / 4 * 3, Huge, 75000},
      {Huge, 1000, 100000},
      {Largest, Largest, 100000},
      {Largest, 1, 100000},
      {Huge, -5, 0},
  };
  for (const TCase& Case : Cases)
    EXPECT_EQ(HexViewThumbPosition(Case.Offset, Case.FileSize), Case.Expected) << Case.Offset << " of " << Case.FileSize;

  EXPECT_EQ(HexViewTrackTarget(50000, 1000), 500);
  EXPECT_EQ(HexViewTrackTarget(0, 1000), 0);
  EXPECT_EQ(HexViewTrackTarget(100000, 1000), 999);  // never past the last byte
  EXPECT_EQ(HexViewTrackTarget(50000, FiveGiB), FiveGiB / 2);
}

}  // namespace
}  // namespace corvane
