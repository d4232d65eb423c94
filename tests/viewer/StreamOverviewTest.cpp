// The stream overview: what a walk of a real stream gathers and where the columns of a picture
// find it, the spans that merge as a long stream outgrows them, the loudness placed by frame,
// and the marks of the time axis.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "viewer/OverviewPicture.h"
#include "viewer/StreamOverview.h"
#include "viewer/ViewerTestSupport.h"

namespace corvane {
namespace {

using test::AppendBytes;
using test::TBytes;

constexpr int64_t TicksPerFrame48k = 1536 * 294;  // 32 ms

struct TCollected {
  TStreamOverview Overview;
  TStreamSummary Summary;
};

TCollected Collect(const TBytes& Stream) {
  const test::TTempFile File(Stream, ".ac3");
  TCollected Collected;
  std::string Error;
  EXPECT_EQ(CollectOverview(File.Path(), false, Collected.Overview, Collected.Summary, {}, nullptr, Error),
            TCheckEnd::Completed);
  EXPECT_EQ(Error, "");
  return Collected;
}

// 63 frames of 1536 bytes, 48 kHz 5.1 at 384 kb/s, dialnorm 27: the second of 2.016 s.
std::vector<TBytes> Frames48k() { return test::SplitFrames(test::ReadTestFile(test::TestDataPath("ac3_48k_51.ac3")), false); }

TEST(StreamOverview, ColumnsOfARealStreamWithItsProblems) {
  const std::vector<TBytes> Frames = Frames48k();
  TBytes Stream;
  for (size_t Frame = 0; Frame < 40; ++Frame) AppendBytes(Stream, Frames[Frame]);
  TBytes Damaged = Frames[40];
  Damaged[1400] ^= 0x01;  // crc2 fails: the frame keeps its time, its header its values
  AppendBytes(Stream, Damaged);
  for (size_t Frame = 41; Frame < 63; ++Frame) AppendBytes(Stream, Frames[Frame]);
  AppendBytes(Stream, test::Garbage(100));  // after the last frame

  const TCollected Collected = Collect(Stream);
  const TStreamOverview& Overview = Collected.Overview;
  EXPECT_EQ(Overview.DurationTicks(), Collected.Summary.DurationTicks);
  EXPECT_EQ(Overview.DurationTicks(), 63 * TicksPerFrame48k);

  const int32_t Width = 126;  // a column every 16 ms: two a frame
  const std::vector<TOverviewSpan> Columns = Overview.Columns(Width);
  ASSERT_EQ(Columns.size(), 126u);
  int64_t Ticks = 0;
  int64_t Bytes = 0;
  for (int32_t Column = 0; Column < Width; ++Column) {
    SCOPED_TRACE(Column);
    const TOverviewSpan& Span = Columns[static_cast<size_t>(Column)];
    EXPECT_EQ(Span.FirstOffset, Column / 2 * 1536);
    EXPECT_EQ(Span.KbpsMin, 384u);
    EXPECT_EQ(Span.KbpsMax, 384u);
    EXPECT_EQ(Span.DialnormMin, 27);
    EXPECT_EQ(Span.DialnormMax, 27);
    EXPECT_EQ(Span.Dynrng.Sum, 0);
    EXPECT_EQ(Span.Compr.Frames, 0);
    EXPECT_NEAR(static_cast<double>(Span.BitsPerSecond()), 384000.0, 384000.0 * 0.01);
    Ticks += Span.Ticks;
    Bytes += Span.Bytes;
  }
  // Each span belongs to one column: the time and bytes add up to the stream's.
  EXPECT_EQ(Ticks, Overview.DurationTicks());
  EXPECT_EQ(Bytes, 63 * 1536);

  // The damaged frame's problem in its first column, the junk's in the last.
  std::vector<int32_t> Marked;
  for (int32_t Column = 0; Column < Width; ++Column)
    if (Columns[static_cast<size_t>(Column)].Problems > 0) Marked.push_back(Column);
  EXPECT_EQ(Marked, (std::vector<int32_t>{80, 125}));
  EXPECT_EQ(ProblemNearColumn(Columns, 83, 3), 40 * 1536);
  EXPECT_EQ(ProblemNearColumn(Columns, 84, 3), -1);
  EXPECT_EQ(ProblemNearColumn(Columns, 124, 3), 63 * 1536);
  EXPECT_EQ(FrameOfColumn(Columns, 81), 40 * 1536);
  EXPECT_EQ(FrameOfColumn(Columns, 500), 62 * 1536);

  // Wider than the spans (a millisecond each): neighbouring columns repeat a span, none is empty.
  for (const TOverviewSpan& Span : Overview.Columns(5000)) ASSERT_TRUE(Span.HasFrames());
}

// However long the stream, the spans stay within their capacity: neighbours merge, and nothing
// of the time, the bytes, the values or the problems is lost.
TEST(StreamOverview, ALongStreamMergesItsSpans) {
  TStreamOverview Overview;
  const int64_t Frames = 200000;  // 1 h 46 min of 32 ms frames
  for (int64_t Index = 0; Index < Frames; ++Index) {
    TStreamFrame Frame;
    Frame.Offset = Index * 1792;
    Frame.Size = 1792;
    TCheckedFrame Checked;
    Checked.StartTicks = Index * TicksPerFrame48k;
    Checked.Ticks = TicksPerFrame48k;
    Checked.Trusted = Checked.Timed = true;
    Checked.Kbps = 448;
    Checked.dialnorm = Index < Frames / 2 ? 27 : 24;  // halfway it turns
    Checked.Dynrng = Index == 123456 ? -6020600 : 0;
    Overview.AddFrame(Frame, Checked);
    if (Index == 150100) {
      TStreamFinding Problem;
      Problem.Kind = TFindingKind::CrcFailed;
      Problem.Offset = Frame.Offset;
      Problem.AtTicks = Checked.StartTicks;
      Overview.AddFinding(Problem);
    }
  }
  Overview.Finish();
  EXPECT_LE(Overview.Spans().size(), TStreamOverview::Capacity);
  EXPECT_GT(Overview.Spans().size(), TStreamOverview::Capacity / 2);
  const TOverviewSpan Whole = Overview.Whole();
  EXPECT_EQ(Whole.Ticks, Frames * TicksPerFrame48k);
  EXPECT_EQ(Whole.Bytes, Frames * 1792);
  EXPECT_EQ(Whole.Problems, 1);
  EXPECT_EQ(Whole.DialnormMin, 24);
  EXPECT_EQ(Whole.DialnormMax, 27);
  EXPECT_EQ(Whole.Dynrng.Min, -6020600);

  const std::vector<TOverviewSpan> Columns = Overview.Columns(1000);
  EXPECT_EQ(Columns[0].DialnormMax, 27);
  EXPECT_EQ(Columns[999].DialnormMin, 24);
  EXPECT_EQ(Columns[500].DialnormMin, 24);  // the turn lies in column 499 or 500
  EXPECT_EQ(Columns[750].Problems, 1);  // 150100 of 200000 frames
  EXPECT_EQ(Columns[750].FirstProblem, 150100 * 1792);
  EXPECT_EQ(Columns[617].Dynrng.Min, -6020600);  // 123456 of 200000
  int64_t Ticks = 0;
  for (const TOverviewSpan& Column : Columns) {
    EXPECT_EQ(Column.BitsPerSecond(), 448000);
    Ticks += Column.Ticks;
  }
  EXPECT_EQ(Ticks, Whole.Ticks);
}

TEST(StreamOverview, LoudnessGoesToTheFramesSpan) {
  const std::vector<TBytes> Frames = Frames48k();
  TCollected Collected = Collect(test::RepeatFrames(Frames, 63));
  TStreamOverview& Overview = Collected.Overview;
  EXPECT_FALSE(Overview.HasLoudness());
  Overview.AddLoudness(10 * 1536, -23.5);
  Overview.AddLoudness(10 * 1536 + 7, -21.0);  // inside the same frame
  Overview.AddLoudness(50 * 1536, -HUGE_VAL);   // too short to measure: nothing
  Overview.AddLoudness(62 * 1536, -30.0);
  ASSERT_TRUE(Overview.HasLoudness());
  const std::vector<TOverviewSpan> Columns = Overview.Columns(63);  // a column a frame
  for (size_t Column = 0; Column < Columns.size(); ++Column) {
    SCOPED_TRACE(Column);
    const TOverviewSpan& Span = Columns[Column];
    // The frame's last span takes it: the frame's last column here.
    EXPECT_EQ(Span.LoudnessCount, Column == 10 ? 2 : Column == 62 ? 1 : 0);
  }
  EXPECT_EQ(Columns[10].LoudnessMin, -23.5);
  EXPECT_EQ(Columns[10].LoudnessMax, -21.0);
  Overview.ClearLoudness();
  EXPECT_FALSE(Overview.HasLoudness());
  EXPECT_EQ(Overview.Whole().LoudnessCount, 0);
}

TEST(StreamOverview, AColumnInWords) {
  TOverviewSpan Column;
  constexpr int64_t Second = TStreamSummary::DurationTicksPerSecond;
  EXPECT_EQ(ColumnLines(Column, Second, 2 * Second), std::vector<std::u16string>{u"0:00:01.000 to 0:00:02.000"});
  Column.FirstOffset = 0x7800;
  Column.Ticks = Second;
  Column.Bytes = 48000;
  Column.KbpsMin = 384;
  Column.KbpsMax = 448;
  Column.DialnormMin = 24;
  Column.DialnormMax = 27;
  Column.LoudnessMin = -23.44;
  Column.LoudnessMax = -21.05;
  Column.LoudnessCount = 2;
  Column.Dynrng.Add(-6020600);
  Column.Dynrng.Add(0);
  Column.Problems = 2;
  Column.FirstProblem = 0x7800;
  const std::vector<std::u16string> Expected = {u"0:00:01.000 to 0:00:02.000",
                                                u"Frame at 0x0000000000007800",
                                                u"Bit rate: 384.0 kbps (frames of 384 to 448 kbps)",
                                                u"dialnorm: 24 to 27",
                                                u"Short-term loudness: -23.4 to -21.1 LKFS",
                                                u"compr: in no frame",
                                                u"dynrng: -6.02 to 0.00 dB, mean -3.01 dB",
                                                u"Problems: 2, the first at 0x0000000000007800"};
  EXPECT_EQ(ColumnLines(Column, Second, 2 * Second), Expected);
}

TEST(StreamOverview, TimeMarksAtRoundSteps) {
  constexpr int64_t Second = TStreamSummary::DurationTicksPerSecond;
  struct TCase {
    int64_t Duration;
    int32_t Width;
    size_t Marks;
    const char16_t* Second;  // the label of the second mark
    int32_t SecondX;
  };
  const TCase Cases[] = {
      {10 * Second, 1000, 11, u"0:00:01", 100},
      {Second / 2, 1000, 6, u"0:00:00.100", 200},
      {38347 * Second, 1000, 11, u"1:00:00", 93},  // 10 h 39 min: hours, 94 pixels apart
      {90 * Second, 200, 7, u"0:00:15", 33},
      {30 * 86400 * Second, 100, 6, u"144:00:00", 20},  // longer than a day a step: whole days
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Duration);
    const std::vector<TTimeMark> Marks = TimeMarks(Case.Duration, Case.Width, 80 * Case.Width / 1000 + 10);
    ASSERT_EQ(Marks.size(), Case.Marks);
    EXPECT_EQ(Marks[0].X, 0);
    EXPECT_EQ(Marks[1].Label, Case.Second);
    EXPECT_EQ(Marks[1].X, Case.SecondX);
  }
  EXPECT_TRUE(TimeMarks(0, 1000, 80).empty());
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

// The picture's scales and labels every window paints with: round tops, the loudness around
// what dialnorm claims and what was measured, gains symmetric in 6 dB steps, numbers free of
// the locale.
TEST(OverviewPicture, ScalesAndLabels) {
  TOverviewSpan Whole;
  Whole.KbpsMin = 384;
  Whole.KbpsMax = 448;
  Whole.DialnormMin = 0;  // reserved: taken as -31
  Whole.DialnormMax = 27;
  Whole.Dynrng.Add(-7'500'000);
  const TOverviewScales Scales = OverviewScales(Whole);
  EXPECT_EQ(Scales.Rate.High, 500.0);
  EXPECT_EQ(Scales.Loudness.Low, -35.0);
  EXPECT_EQ(Scales.Loudness.High, -20.0);
  EXPECT_EQ(Scales.Gains.High, 12.0);
  EXPECT_EQ(Scales.Gains.Low, -12.0);

  Whole.LoudnessCount = 1;
  Whole.LoudnessMin = -45.5;
  Whole.LoudnessMax = -12.0;
  EXPECT_EQ(OverviewScales(Whole).Loudness.Low, -50.0);
  EXPECT_EQ(OverviewScales(Whole).Loudness.High, -5.0);

  EXPECT_EQ(OverviewKbpsLabel(500.0), u"500 kbps");
  EXPECT_EQ(OverviewLkfsLabel(-22.5), u"-22.5 LKFS");
  EXPECT_EQ(OverviewDbLabel(12.0), u"+12 dB");
  EXPECT_EQ(OverviewDbLabel(-12.0), u"-12 dB");
}

// A click: in the problem lane (or half a gap beside it) the nearest problem within reach, else
// the column's own frame; outside the plot nothing.
TEST(OverviewPicture, ClickTargets) {
  const TOverviewLayout Layout(OverviewGutter + 100 + OverviewRightMargin, 400, 16);
  std::vector<TOverviewSpan> Columns(100);
  for (size_t Column = 0; Column < Columns.size(); ++Column) Columns[Column].FirstOffset = int64_t(Column) * 1000;
  Columns[52].Problems = 1;
  Columns[52].FirstProblem = 52'345;
  const int32_t Left = Layout.Plot().Left;
  const TOverviewRect Marks = Layout.Lane(TOverviewLane::Problems);
  const TOverviewRect Rate = Layout.Lane(TOverviewLane::BitRate);
  const struct {
    int32_t X, Y;
    int64_t Offset;
  } Cases[] = {
      {Left + 50, Marks.Top + 2, 52'345},                    // within reach of the problem
      {Left + 50, Marks.Top - OverviewLaneGap / 2, 52'345},  // just above the lane
      {Left + 40, Marks.Top + 2, 40'000},                    // too far: the column's frame
      {Left + 50, Rate.Top + 2, 50'000},                     // another lane: the column's frame
      {Left - 1, Rate.Top + 2, -1},                          // the gutter
      {Left + 100, Rate.Top + 2, -1},                        // past the plot
  };
  for (const auto& Case : Cases)
    EXPECT_EQ(Layout.ClickTarget(Columns, Case.X, Case.Y), Case.Offset) << Case.X << "," << Case.Y;
}

}  // namespace
}  // namespace corvane
