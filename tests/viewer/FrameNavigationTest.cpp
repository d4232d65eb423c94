// Moving the frame window with the keys, the scroll bar and the wheel.

#include <gtest/gtest.h>

#include "viewer/ViewerTestSupport.h"

namespace corvane {
namespace {

// 1000 synthetic frames of 256 bytes (no syncword inside a frame), 20 visible rows.
class FrameNavigation : public ::testing::Test {
 protected:
  static constexpr int64_t FrameSize = 256;
  static constexpr int32_t Rows = 20;
  void SetUp() override { Window = test::LoadedWindow(File.Path(), Rows); }

  // The window's first frame as a frame number.
  int64_t FirstFrame() const { return Window->FrameOffset(0) / FrameSize; }
  static int32_t Thumb(int64_t Frame) { return static_cast<int32_t>(Frame * FrameSize / 100); }

  test::TTempFile File{test::SyntheticAC3(1000)};
  std::unique_ptr<TFrameWindow> Window;
};

TEST_F(FrameNavigation, KeysMoveTheWindowAndTheSelection) {
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

TEST_F(FrameNavigation, DownKeepsEachFramesShade) {
  Window->RefreshPosition(50 * FrameSize);
  std::vector<bool> Before;
  for (int32_t Row = 0; Row < Rows; ++Row) Before.push_back(Window->RowShaded(Row));
  Window->ListView1KeyDown(KeyDown, Rows - 1);
  for (int32_t Row = 1; Row < Rows; ++Row) EXPECT_EQ(Window->RowShaded(Row - 1), Before[Row]) << Row;
}

TEST_F(FrameNavigation, PageDownWithTheEndInViewOnlyPutsTheThumbBack) {
  Window->MyScrollMouseDown(300);
  const int32_t Last = Window->ScrollLastPosition();
  Window->RefreshPosition(985 * FrameSize);
  const TNavResult Result = Window->ListView1KeyDown(KeyPageDown, 2);
  EXPECT_FALSE(Result.Refilled);
  EXPECT_EQ(Window->ScrollPosition(), Last);
  EXPECT_EQ(FirstFrame(), 985);
  EXPECT_EQ(Result.SelectedRow, 14);
}

TEST_F(FrameNavigation, ScrollBarStepsByTheirDistanceFromTheLastPosition) {
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

TEST_F(FrameNavigation, ThumbPlacementStartsAtTheFirstFrameAtOrAfterItsPosition) {
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

TEST_F(FrameNavigation, ThumbPastTheLastFrameStartFindsItBackwards) {
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

TEST_F(FrameNavigation, UpArrowNearTheStartAndAShortPageAreHandled) {
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

TEST(FrameNavigationWheel, OneNotchIsOneKey) {
  EXPECT_EQ(TFrameWindow::WheelToKey(120, false), KeyUp);
  EXPECT_EQ(TFrameWindow::WheelToKey(120, true), KeyPageUp);
  EXPECT_EQ(TFrameWindow::WheelToKey(-360, false), KeyDown);
  EXPECT_EQ(TFrameWindow::WheelToKey(0, true), KeyPageDown);
}

}  // namespace
}  // namespace corvane
