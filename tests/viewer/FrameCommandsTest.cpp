// What the main window's commands ask of the frame window: a row's frame range for the hex
// editor, Go to Offset, and the status line.

#include <gtest/gtest.h>

#include "viewer/ViewerTestSupport.h"

namespace corvane {
namespace {

constexpr int64_t FrameSize = 256;

TEST(FrameCommands, RowFrameRangeReadsTheRowsOffsetAndLength) {
  const test::TTempFile File(test::SyntheticAC3(10));
  const auto Window = test::LoadedWindow(File.Path(), 5);
  int64_t Offset = -1;
  int64_t Size = -1;
  ASSERT_TRUE(Window->RowFrameRange(3, Offset, Size));
  EXPECT_EQ(Offset, 3 * FrameSize);
  EXPECT_EQ(Size, FrameSize);
  // A row the window does not hold has no texts to read.
  EXPECT_FALSE(Window->RowFrameRange(5, Offset, Size));
  EXPECT_FALSE(Window->RowFrameRange(-1, Offset, Size));
  EXPECT_EQ(Offset, 3 * FrameSize);
}

TEST(FrameCommands, HexEditCaptionSuffixShowsAllSixteenDigits) {
  EXPECT_EQ(TFrameWindow::HexEditCaptionSuffix(0), u" [AC3 Frame @ 0x0000000000000000]");
  EXPECT_EQ(TFrameWindow::HexEditCaptionSuffix((int64_t{1} << 32) + 0xC10), u" [AC3 Frame @ 0x0000000100000C10]");
}

TEST(FrameCommands, GoToOffsetStartsAtTheFirstFrameAtOrAfterIt) {
  const test::TTempFile File(test::SyntheticAC3(1000));
  const auto Window = test::LoadedWindow(File.Path(), 20);
  struct TCase {
    int64_t Offset;
    TGoToResult Result;
    int64_t First;  // the window's first frame afterwards
  };
  const TCase Cases[] = {
      {50000, TGoToResult::Moved, 196 * FrameSize},
      {512, TGoToResult::Moved, 512},
      {999 * FrameSize + 10, TGoToResult::Moved, 999 * FrameSize},  // past the last start: the one before
      {1000 * FrameSize, TGoToResult::PastEnd, 999 * FrameSize},
      {-1, TGoToResult::PastEnd, 999 * FrameSize},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Offset);
    EXPECT_EQ(Window->GoToOffset(Case.Offset), Case.Result);
    EXPECT_EQ(Window->FrameOffset(0), Case.First);
    EXPECT_EQ(Window->CurrentPosition(), Case.First);
    EXPECT_EQ(Window->ScrollPosition(), Case.First / 100);
    EXPECT_EQ(Window->PackOffset(), Case.First) << "the first row is shown";
  }
  TFrameWindow Closed;
  EXPECT_EQ(Closed.GoToOffset(0), TGoToResult::NoFile);
}

TEST(FrameCommands, StatusTextNamesKindRateSizeAndPlace) {
  const test::TTempFile File(test::SyntheticAC3(1000));
  const auto Window = test::LoadedWindow(File.Path(), 20);
  EXPECT_EQ(Window->StatusText(), u"AC-3 | 48000 Hz | 256,000 bytes | first frame at 0.0 %");
  Window->GoToOffset(128000);
  EXPECT_EQ(Window->StatusText(), u"AC-3 | 48000 Hz | 256,000 bytes | first frame at 50.0 %");

  const auto EAC3 = test::LoadedWindow(test::ViewerDataPath("eac3_44k_stereo.eac3"), 20);
  EXPECT_EQ(EAC3->StatusText(), u"E-AC-3 | 44100 Hz | 24,240 bytes | first frame at 0.0 %");

  TFrameWindow Closed;
  EXPECT_EQ(Closed.StatusText(), u"");
}

// The node whose text starts with Label, or NoNode.
TTreeModel::TNodeId FindNode(const TTreeModel& Tree, std::u16string_view Label) {
  for (TTreeModel::TNodeId Node = 0; Node < Tree.Count(); ++Node)
    if (Tree.Node(Node).Text.starts_with(Label)) return Node;
  return TTreeModel::NoNode;
}

TEST(FrameCommands, ASelectedTreeNodeMarksTheBytesOfItsBits) {
  const auto Window = test::LoadedWindow(test::ViewerDataPath("ac3_48k_51_448k.ac3"), 5);
  Window->ShowRow(2);
  const int64_t Frame = 2 * 1792;
  struct TCase {
    std::u16string_view Label;
    bool Coded;
    int64_t Start;  // from the frame's start
    int64_t Length;
  };
  const TCase Cases[] = {
      {u"crc1 ", true, 2, 2},        // bits 16..31
      {u"fscod ", true, 4, 1},       // bits 32..33
      {u"frmsizecod ", true, 4, 1},  // bits 34..39
      {u"syncinfo()", true, 0, 5},   // the elements under it: bits 0..39
      {u"bsid ", true, 5, 1},        // bits 40..44
      {u"audblk()", true, 8, 2},     // its flags up to dynrnge: bits 69..79
      {u"auxdata()", false, 0, 0},   // no coded bits of its own or below it
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(ToUtf8(Case.Label));
    const TTreeModel::TNodeId Node = FindNode(Window->Tree(), Case.Label);
    ASSERT_NE(Node, TTreeModel::NoNode);
    EXPECT_EQ(Window->SelectTreeNode(Node), Case.Coded);
    EXPECT_EQ(Window->HexPane().FieldLength, Case.Length);
    if (Case.Coded) {
      EXPECT_EQ(Window->HexPane().FieldStart, Frame + Case.Start);
    }
  }
  // The whole frame's tree spans its header, from the syncword on.
  ASSERT_TRUE(Window->SelectTreeNode(Window->Tree().Roots()[0]));
  EXPECT_EQ(Window->HexPane().FieldStart, Frame);
  // Showing another frame forgets the field.
  Window->ShowRow(1);
  EXPECT_EQ(Window->HexPane().FieldLength, 0);
}

}  // namespace
}  // namespace corvane
