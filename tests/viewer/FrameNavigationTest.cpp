// Moving the frame window with the keys, the scroll bar and the wheel.

#include <gtest/gtest.h>

#include "viewer/ViewerTestSupport.h"

namespace corvane {
namespace {

// 1000 synthetic frames of 256 bytes (no syncword inside a frame), 20 visible rows; AC-3 or
// E-AC-3 frames, which the searches find with the same AC-3 frame-start test.
class FrameNavigation : public ::testing::TestWithParam<bool> {
 protected:
  static constexpr int64_t FrameSize = 256;
  static constexpr int32_t Rows = 20;
  void SetUp() override {
    Window = test::LoadedWindow(File.Path(), Rows);
    ASSERT_EQ(Window->EAC3(), GetParam());
  }

  // The window's first frame as a frame number.
  int64_t FirstFrame() const { return Window->FrameOffset(0) / FrameSize; }
  static int32_t Thumb(int64_t Frame) { return static_cast<int32_t>(Frame * FrameSize / 100); }

  test::TTempFile File{GetParam() ? test::SyntheticEAC3(1000) : test::SyntheticAC3(1000)};
  std::unique_ptr<TFrameWindow> Window;
};

INSTANTIATE_TEST_SUITE_P(Kinds, FrameNavigation, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& Info) { return Info.param ? "EAC3" : "AC3"; });

TEST_P(FrameNavigation, KeysMoveTheWindowAndTheSelection) {
  struct TCase {
    const char* Name;
    int64_t StartFrame;
    int32_t Key;
    int32_t Selected;
    bool Refilled;
    int64_t FirstAfter;
    int32_t SelectedAfter;
    bool Flipped;
  };
  const TCase Cases[] = {
      {"up on row 0 at the file start", 0, KeyUp, 0, false, 0, 0, false},
      {"up on row 0", 50, KeyUp, 0, true, 49, 0, true},
      {"up inside the window", 50, KeyUp, 5, false, 50, 4, false},
      {"down on the last row", 50, KeyDown, 19, true, 51, 19, true},
      {"down inside the window", 50, KeyDown, 10, false, 50, 11, false},
      {"down at the end in view", 985, KeyDown, 14, false, 985, 14, false},
      {"page up", 50, KeyPageUp, 7, true, 30, 0, false},
      {"page up at the file start", 0, KeyPageUp, 7, false, 0, 0, false},
      {"page down", 50, KeyPageDown, 3, true, 70, 19, false},
      {"home", 500, KeyHome, 3, true, 0, 0, false},
      {"end", 0, KeyEnd, 3, true, 980, 19, false},
      {"no selected row", 50, KeyDown, -1, false, 50, -1, false},
      {"another key", 50, 0x41, 19, false, 50, 19, false},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Window->RefreshPosition(Case.StartFrame * FrameSize);
    const int32_t Gray = Window->ListViewGrayMarkIndex();
    const int32_t ScrollBefore = Window->ScrollPosition();
    const TNavResult Result = Window->ListView1KeyDown(Case.Key, Case.Selected);
    EXPECT_EQ(Result.Refilled, Case.Refilled);
    EXPECT_EQ(FirstFrame(), Case.FirstAfter);
    EXPECT_EQ(Result.SelectedRow, Case.SelectedAfter);
    EXPECT_EQ(Window->ListViewGrayMarkIndex() != Gray, Case.Flipped);
    if (Case.Refilled) {
      EXPECT_EQ(Window->ScrollPosition(), Thumb(Case.FirstAfter));
      EXPECT_EQ(Window->ScrollLastPosition(), Thumb(Case.FirstAfter));
    } else if (Case.Key != KeyHome && Case.Key != KeyEnd) {
      EXPECT_EQ(Window->ScrollPosition(), ScrollBefore);
    }
  }
}

TEST_P(FrameNavigation, DownKeepsEachFramesShade) {
  Window->RefreshPosition(50 * FrameSize);
  std::vector<bool> Before;
  for (int32_t Row = 0; Row < Rows; ++Row) Before.push_back(Window->RowShaded(Row));
  Window->ListView1KeyDown(KeyDown, Rows - 1);
  for (int32_t Row = 1; Row < Rows; ++Row) EXPECT_EQ(Window->RowShaded(Row - 1), Before[static_cast<size_t>(Row)]) << Row;
}

TEST_P(FrameNavigation, PageDownWithTheEndInViewOnlyPutsTheThumbBack) {
  Window->MyScrollMouseDown(300);
  const int32_t Last = Window->ScrollLastPosition();
  Window->RefreshPosition(985 * FrameSize);
  const TNavResult Result = Window->ListView1KeyDown(KeyPageDown, 2);
  EXPECT_FALSE(Result.Refilled);
  EXPECT_EQ(Window->ScrollPosition(), Last);
  EXPECT_EQ(FirstFrame(), 985);
  EXPECT_EQ(Result.SelectedRow, 14);
}

TEST_P(FrameNavigation, ScrollBarStepsByTheirDistanceFromTheLastPosition) {
  // The thumb placed at 200 starts the window on frame 79 (the first at or after byte 20000).
  struct TCase {
    const char* Name;
    int32_t NewPosition;
    int64_t FirstAfter;
    bool Flipped;
  };
  const TCase Cases[] = {
      {"up arrow", Thumb(79) - 1, 78, true},
      {"down arrow", Thumb(79) + 1, 80, true},
      {"page above", Thumb(79) - 10, 59, false},
      {"page below", Thumb(79) + 10, 99, false},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Window->MyScrollMouseDown(0);  // far from 200, so that the next step is a placement
    Window->MyScrollMouseDown(200);
    ASSERT_EQ(FirstFrame(), 79);
    ASSERT_EQ(Window->ScrollLastPosition(), Thumb(79));
    const int32_t Gray = Window->ListViewGrayMarkIndex();
    const TNavResult Result = Window->MyScrollMouseDown(Case.NewPosition);
    EXPECT_TRUE(Result.Refilled);
    EXPECT_EQ(Result.SelectedRow, -1);
    EXPECT_EQ(FirstFrame(), Case.FirstAfter);
    EXPECT_EQ(Window->ScrollPosition(), Thumb(Case.FirstAfter));
    EXPECT_EQ(Window->ScrollLastPosition(), Thumb(Case.FirstAfter));
    EXPECT_EQ(Window->ListViewGrayMarkIndex() != Gray, Case.Flipped);
    // Only a thumb placement moves the position a resize returns to.
    EXPECT_EQ(Window->CurrentPosition(), 79 * FrameSize);
  }
}

TEST_P(FrameNavigation, ThumbPlacementStartsAtTheFirstFrameAtOrAfterItsPosition) {
  Window->MyScrollMouseDown(500);
  EXPECT_EQ(Window->CurrentPosition(), 196 * FrameSize);  // the first start at or after 50000
  EXPECT_EQ(FirstFrame(), 196);
  EXPECT_EQ(Window->ScrollPosition(), Thumb(196));

  // A resize after key moves brings the window back to the placement's start.
  Window->ListView1KeyDown(KeyDown, Rows - 1);
  Window->ListView1KeyDown(KeyPageDown, 0);
  ASSERT_NE(FirstFrame(), 196);
  Window->FormResize(Rows);
  EXPECT_EQ(FirstFrame(), 196);
}

TEST_P(FrameNavigation, ThumbPastTheLastFrameStartFindsItBackwards) {
  Window->MyScrollMouseDown(Window->ScrollMax());
  EXPECT_EQ(FirstFrame(), 999);
  EXPECT_EQ(Window->AC3FramesCount(), 1);
  EXPECT_EQ(Window->CurrentPosition(), 999 * FrameSize);

  // With the end in view the down arrow and the page below undo themselves.
  const int32_t Last = Window->ScrollLastPosition();
  const TNavResult Result = Window->MyScrollMouseDown(Last + 1);
  EXPECT_FALSE(Result.Refilled);
  EXPECT_EQ(Window->ScrollPosition(), Last);
  EXPECT_EQ(FirstFrame(), 999);
}

TEST_P(FrameNavigation, UpArrowNearTheStartAndAShortPageAreHandled) {
  // The window on frame 1: the up arrow finds frame 0.
  Window->MyScrollMouseDown(1);
  ASSERT_EQ(FirstFrame(), 1);
  Window->MyScrollMouseDown(Window->ScrollLastPosition() - 1);
  EXPECT_EQ(FirstFrame(), 0);
  EXPECT_EQ(Window->ScrollPosition(), 0);

  // A page click cut short at the top (from 5 to 0) is a thumb placement at 0.
  Window->MyScrollMouseDown(5);
  ASSERT_EQ(Window->ScrollLastPosition(), 5);
  Window->MyScrollMouseDown(0);
  EXPECT_EQ(FirstFrame(), 0);
  EXPECT_EQ(Window->CurrentPosition(), 0);
}

TEST_P(FrameNavigation, EachStepReadsOnceToSearchAndOnceToRefill) {
  struct TCase {
    const char* Name;
    int32_t Key;  // 0: a scroll-bar step of Scroll positions from the last one
    int32_t Selected;
    int32_t Scroll;
  };
  const TCase Cases[] = {
      {"up", KeyUp, 0, 0},          {"down", KeyDown, Rows - 1, 0},
      {"page up", KeyPageUp, 3, 0}, {"page down", KeyPageDown, 3, 0},
      {"home", KeyHome, 3, 0},      {"end", KeyEnd, 3, 0},
      {"up arrow", 0, 0, -1},       {"down arrow", 0, 0, 1},
      {"page above", 0, 0, -10},    {"page below", 0, 0, 10},
      {"thumb", 0, 0, 300},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Window->MyScrollMouseDown(Thumb(500));
    const int64_t Reads = Window->ReadCount();
    const TNavResult Result = Case.Key != 0 ? Window->ListView1KeyDown(Case.Key, Case.Selected)
                                            : Window->MyScrollMouseDown(Window->ScrollLastPosition() + Case.Scroll);
    EXPECT_TRUE(Result.Refilled);
    EXPECT_EQ(Window->ReadCount(), Reads + 2);
  }
}

TEST(FrameNavigationAtSearchStart, DownAndPageDownStayOnTheFrameWhenTheStartFoundIsTheSearchStart) {
  // Frames whose fscod/frmsizecod and bsid/bsmod bytes read 0B 77: 4 bytes after each frame
  // start the AC-3 test sees another one.
  TAC3Frame Header = test::AC3Header(0, 11);  // 320 bytes
  Header.bsid = 14;
  Header.bsmod = 7;
  test::TBytes Frame = test::ComposeAC3Frame(Header, 320);
  ASSERT_EQ(Frame[4], 0x0B);
  ASSERT_EQ(Frame[5], 0x77);
  Frame[8] &= 0x3F;  // fscod 0 for the start seen at byte 4
  test::TBytes Stream;
  for (int Index = 0; Index < 200; ++Index) test::AppendBytes(Stream, Frame);
  const test::TTempFile File(Stream);
  auto Window = test::LoadedWindow(File.Path(), 10);
  ASSERT_FALSE(Window->EAC3());

  Window->RefreshPosition(100 * 320);
  const int32_t Gray = Window->ListViewGrayMarkIndex();
  TNavResult Result = Window->ListView1KeyDown(KeyDown, 9);
  EXPECT_TRUE(Result.Refilled);
  EXPECT_EQ(Window->FrameOffset(0), 100 * 320);
  EXPECT_NE(Window->ListViewGrayMarkIndex(), Gray);
  EXPECT_EQ(Window->ScrollLastPosition(), (100 * 320 + 4) / 100);

  Result = Window->ListView1KeyDown(KeyPageDown, 0);
  EXPECT_TRUE(Result.Refilled);
  EXPECT_EQ(Window->FrameOffset(0), 109 * 320);
  EXPECT_EQ(Window->ScrollLastPosition(), (109 * 320 + 4) / 100);
}

TEST(FrameNavigationNothingFound, HomeAndEndOnlyMoveTheThumb) {
  // A file without a frame start, opened anyway, longer than one read.
  const test::TTempFile File(test::Garbage(2 * FrameReadSize + 12345));
  TFrameWindow Window;
  Window.SetVisibleRows(20);
  ASSERT_TRUE(Window.OpenConfirmed(File.Path(), [](std::u16string_view) { return true; }));
  int32_t LongSteps = 0;
  Window.SetLongStepCallback([&] { ++LongSteps; });
  Window.MyScrollMouseDown(700);
  ASSERT_EQ(Window.ScrollLastPosition(), 700);
  LongSteps = 0;

  TNavResult Result = Window.ListView1KeyDown(KeyEnd, 0);
  EXPECT_FALSE(Result.Refilled);
  EXPECT_EQ(Window.ScrollPosition(), Window.ScrollMax());
  EXPECT_EQ(Window.ScrollLastPosition(), 700);
  Result = Window.ListView1KeyDown(KeyHome, 0);
  EXPECT_FALSE(Result.Refilled);
  EXPECT_EQ(Window.ScrollPosition(), 0);
  EXPECT_EQ(Window.ScrollLastPosition(), 700);
  EXPECT_EQ(Window.AC3FramesCount(), 0);
  // Both searches read the whole file, and each said once that its step was a long one.
  EXPECT_EQ(LongSteps, 2);
}

// 30 frames, a stretch without a frame start, 40 frames; 25 visible rows.
test::TBytes GapStream(size_t Gap) {
  test::TBytes Stream = test::SyntheticAC3(30);
  test::AppendBytes(Stream, test::Garbage(Gap));
  test::AppendBytes(Stream, test::SyntheticAC3(40));
  return Stream;
}

TEST(FrameNavigationGaps, EveryStepGoesOnPastAGapToTheEndOrTheStartOfTheFile) {
  enum TStep { Down, PageDown, DownArrow, PageBelow, Up, PageUp, UpArrow, PageAbove };
  for (const size_t Gap : {size_t{FrameReadSize - 1000}, size_t{3 * FrameReadSize}}) {
    const test::TTempFile File(GapStream(Gap));
    const int64_t LastFrame = 30 * 256 + static_cast<int64_t>(Gap) + 39 * 256;
    for (const TStep Step : {Down, PageDown, DownArrow, PageBelow, Up, PageUp, UpArrow, PageAbove}) {
      SCOPED_TRACE(testing::Message() << "gap " << Gap << ", step " << Step);
      auto Window = test::LoadedWindow(File.Path(), 25);
      const bool Forward = Step <= PageBelow;
      if (!Forward) Window->ListView1KeyDown(KeyEnd, 0);
      for (int Moves = 0; Moves < 200; ++Moves) {
        const int64_t First = Window->FrameOffset(0);
        const int32_t Last = Window->ScrollLastPosition();
        TNavResult Result;
        switch (Step) {
          case Down:
            Result = Window->ListView1KeyDown(KeyDown, Window->ListRowCount() - 1);
            break;
          case PageDown:
            Result = Window->ListView1KeyDown(KeyPageDown, 0);
            break;
          case DownArrow:
            Result = Window->MyScrollMouseDown(Last + 1);
            break;
          case PageBelow:
            Result = Window->MyScrollMouseDown(Last + ScrollPageStep);
            break;
          case Up:
            Result = Window->ListView1KeyDown(KeyUp, 0);
            break;
          case PageUp:
            Result = Window->ListView1KeyDown(KeyPageUp, 0);
            break;
          case UpArrow:
            Result = Window->MyScrollMouseDown(Last - 1);
            break;
          case PageAbove:
            Result = Window->MyScrollMouseDown(Last - ScrollPageStep);
            break;
        }
        if (!Result.Refilled || Window->FrameOffset(0) == First) break;
      }
      if (Forward) {
        EXPECT_EQ(Window->FrameOffset(Window->AC3FramesCount() - 1), LastFrame);
        EXPECT_TRUE(Window->EndInView());
      } else {
        EXPECT_EQ(Window->FrameOffset(0), 0);
      }
    }
  }
}

TEST(FrameNavigationGaps, OnlyTheStepsOverALongGapAreLongOnes) {
  const test::TTempFile File(GapStream(3 * FrameReadSize));
  auto Window = test::LoadedWindow(File.Path(), 25);
  int32_t LongSteps = 0;
  Window->SetLongStepCallback([&] { ++LongSteps; });
  // To frames 25 to 29: the refill reads on to find where frame 29 ends.
  Window->ListView1KeyDown(KeyPageDown, 0);
  EXPECT_EQ(Window->FrameOffset(0), 25 * 256);
  EXPECT_EQ(LongSteps, 1);
  // Over the gap: the search reads on.
  Window->ListView1KeyDown(KeyPageDown, 0);
  EXPECT_EQ(Window->FrameOffset(0), 30 * 256 + 3 * FrameReadSize);
  EXPECT_EQ(LongSteps, 2);
  Window->ListView1KeyDown(KeyPageDown, 0);
  Window->ListView1KeyDown(KeyHome, 0);
  EXPECT_EQ(LongSteps, 2);
}

TEST(FrameNavigationWheel, OneNotchIsOneKey) {
  EXPECT_EQ(TFrameWindow::WheelToKey(120, false), KeyUp);
  EXPECT_EQ(TFrameWindow::WheelToKey(120, true), KeyPageUp);
  EXPECT_EQ(TFrameWindow::WheelToKey(-360, false), KeyDown);
  EXPECT_EQ(TFrameWindow::WheelToKey(0, true), KeyPageDown);
}

}  // namespace
}  // namespace corvane
