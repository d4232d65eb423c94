// The hex pane's state without its controls: which text a refresh puts into the pane, where the
// frame's and the field's highlights fall in it, when a refresh changes nothing, and the thumb.

#include "hex/HexViewModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/StringUtils.h"
#include "hex/HexTestFiles.h"

namespace corvane {
namespace {

using test::PatternBytes;
using test::TTempFile;

constexpr int32_t TenLines = 11 * HexViewLineHeight;  // a pane that shows 10 lines

TEST(HexViewModelTest, RefreshShowsTheLinesFromTheOffsetsLineOn) {
  const auto Bytes = PatternBytes(20);
  const TTempFile File(Bytes);
  THexViewModel Model;
  ASSERT_TRUE(Model.Open(File.Path()));
  const auto Pane = Model.Refresh(0, TenLines, u'\n');
  ASSERT_TRUE(Pane);
  std::vector<std::u16string> Lines;
  ASSERT_TRUE(MemToStrLines2(Bytes.data(), 20, &Lines));
  EXPECT_EQ(Pane->Text, HexViewLinePrefix(0) + Lines[0] + u"\n" + HexViewLinePrefix(16) + Lines[1]);
  EXPECT_TRUE(Pane->Frame.empty());
  EXPECT_EQ(Pane->Thumb, 0);

  // The offset shown already, and offsets at or past the end, change nothing.
  EXPECT_FALSE(Model.Refresh(0, TenLines, u'\n'));
  EXPECT_FALSE(Model.Refresh(20, TenLines, u'\n'));
  // An offset inside a line shows from that line; the unrounded offset is kept for the steps.
  const auto Inside = Model.Refresh(0x13, TenLines, u'\n');
  ASSERT_TRUE(Inside);
  EXPECT_EQ(Inside->Text.substr(0, 21), HexViewLinePrefix(0x10));
  EXPECT_EQ(Model.LastRefreshOffset(), 0x13);
  EXPECT_EQ(Inside->Thumb, HexViewThumbPosition(0x13, 20));
  EXPECT_EQ(Model.StepTarget(THexViewStep::LineUp, TenLines), 3);
}

TEST(HexViewModelTest, HighlightsFallOnTheSelectedBytesOfEachLine) {
  const TTempFile File(PatternBytes(40));
  THexViewModel Model;
  ASSERT_TRUE(Model.Open(File.Path()));
  ASSERT_TRUE(Model.Refresh(0, TenLines, u'\r'));
  struct TCase {
    const char* Name;
    int64_t Start, Length;
    std::vector<THexCharRange> Runs;
  };
  const TCase Cases[] = {
      {"three bytes from column 5", 5, 3, {{36, 8}, {76, 3}}},
      {"across a line break", 14, 4, {{63, 5}, {85, 2}, {88 + 21, 5}, {88 + 71, 2}}},
      // The last line holds 8 bytes, its hex part padded: the text part's run ends with the text.
      {"past the end of the file", 36, 100, {{176 + 33, 35}, {176 + 75, 4}}},
      {"nothing", 5, 0, {}},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Model.SetSelection(Case.Start, Case.Length);
    Model.SetFieldSelection(Case.Start, 1);
    const auto Pane = Model.Refresh(-1, TenLines, u'\r');
    ASSERT_TRUE(Pane);
    EXPECT_EQ(Pane->Frame, Case.Runs);
    ASSERT_EQ(Pane->Field.size(), 2u);
    EXPECT_EQ(Pane->Field[0].Length, 2);
    for (const THexCharRange& Run : Pane->Frame) EXPECT_LE(Run.Start + Run.Length, static_cast<int64_t>(Pane->Text.size()));
  }
}

TEST(HexViewModelTest, AMissingFileLeavesThePaneEmpty) {
  THexViewModel Model;
  EXPECT_TRUE(Model.Open("no such file.ac3"));
  EXPECT_FALSE(Model.IsOpen());
  EXPECT_FALSE(Model.Refresh(0, TenLines, u'\n'));
}

}  // namespace
}  // namespace corvane
