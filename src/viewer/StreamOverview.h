#pragma once
// The whole stream at a glance: its course along its time axis (bit rate, dialnorm, compr and
// dynrng, and the short-term loudness once it was measured) and where the check found problems
// and changes. One walk of the file (the stream check's own) gathers it into at most Capacity
// spans of equal time, so the memory stays the same however long the stream is: when the stream
// outgrows them, neighbouring spans are merged and the spans' time doubles. A picture of any
// width then takes one column per pixel, each merged from the spans that lie in it, so that
// painting never goes through the frames. Windows only paint what the columns hold.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "viewer/StreamCheck.h"

namespace corvane {

// What the frames of a stretch of the stream's time held, and what the check found there.
struct TOverviewSpan {
  int64_t FirstOffset = -1;  // of the first frame whose time reaches into it; -1: none
  int64_t Ticks = 0;         // the frames' time in it (TStreamSummary::DurationTicksPerSecond)
  int64_t Bytes = 0;         // theirs, in proportion to their time in it, and those of frames of no time of their own
  uint32_t KbpsMin = 0;      // the rates the program's frames' sizes stand for (0 and 0: none)
  uint32_t KbpsMax = 0;
  int32_t DialnormMin = -1;  // of the program's frames whose header a CRC vouches for (-1: none)
  int32_t DialnormMax = -1;
  TGainSummary Compr;        // of those frames that carry it
  TGainSummary Dynrng;       // of their first audio blocks
  int64_t Problems = 0;
  int64_t FirstProblem = -1;  // the offset of the first
  int64_t Changes = 0;
  int64_t FirstChange = -1;
  double LoudnessMin = 0.0;   // the short-term loudness measured in it, LKFS
  double LoudnessMax = 0.0;
  int64_t LoudnessCount = 0;  // 0: none measured

  // Takes in the span that follows this one.
  void Merge(const TOverviewSpan& Next);
  bool HasFrames() const { return FirstOffset >= 0; }
  // The bit rate of its bytes over its time, in bits per second; 0 without time.
  int64_t BitsPerSecond() const;
};

class TStreamOverview {
 public:
  static constexpr size_t Capacity = 8192;
  // The spans' time at the start: a millisecond. It doubles as the stream outgrows the spans.
  static constexpr int64_t FirstSpanTicks = TStreamSummary::DurationTicksPerSecond / 1000;

  // Gathering, in file order, then Finish.
  void AddFrame(const TStreamFrame& Frame, const TCheckedFrame& Checked);
  void AddFinding(const TStreamFinding& Finding);
  void Finish();
  // The short-term loudness at the frame at Offset; minus infinity (too short, silent) adds
  // nothing.
  void AddLoudness(int64_t Offset, double ShortTerm);
  void ClearLoudness();

  // The stream's time gathered so far.
  int64_t DurationTicks() const { return FEnd; }
  int64_t SpanTicks() const { return FSpanTicks; }
  const std::vector<TOverviewSpan>& Spans() const { return FSpans; }
  bool HasLoudness() const { return FLoudness; }
  // Every span merged: the ranges that scale a picture of the whole stream.
  TOverviewSpan Whole() const;

  // Width columns of equal time over the whole stream, each merged from the spans that lie in
  // it (at least the one its start lies in, so that a picture wider than the spans repeats them).
  std::vector<TOverviewSpan> Columns(int32_t Width) const;

 private:
  size_t IndexAt(int64_t Ticks) const;
  // Makes room for the spans up to Ticks, merging pairs as often as needed.
  void Reach(int64_t Ticks);

  std::vector<TOverviewSpan> FSpans;
  // Findings at the stream's end so far: they belong to the frame that comes next, if one does.
  TOverviewSpan FPending;
  int64_t FSpanTicks = FirstSpanTicks;
  int64_t FEnd = 0;
  bool FLoudness = false;
};

// The overview a window shows and the file it was gathered from; File is empty while it shows
// none.
struct THeldOverview {
  std::filesystem::path File;
  TStreamOverview Overview;
  TStreamSummary Summary;

  bool Held() const { return !File.empty(); }
  bool Holds(const std::filesystem::path& Other) const { return Held() && File == Other; }
};

// What a column holds, a line each, for its tooltip: its time ("0:00:01.280 to 0:00:01.296"), the
// frame it leads to, bit rate, dialnorm, the short-term loudness once measured, compr and
// dynrng, and its problems and changes with the first one's offset.
std::vector<std::u16string> ColumnLines(const TOverviewSpan& Column, int64_t FromTicks, int64_t ToTicks);

// The frame a click on Column of the columns leads to: the column's first frame, or the nearest
// one before it; -1 when there is none.
int64_t FrameOfColumn(const std::vector<TOverviewSpan>& Columns, int32_t Column);
// The first problem of the column nearest to Column within Reach columns (the problem's column
// first, then those left and right of it, nearer ones first); -1 when none is that near.
int64_t ProblemNearColumn(const std::vector<TOverviewSpan>& Columns, int32_t Column, int32_t Reach);

// A mark of the time axis: its pixel and its label ("0:01:30", or "0:00:00.500" in steps below a
// second).
struct TTimeMark {
  int32_t X = 0;
  std::u16string Label;
};
// Marks at the roundest step that keeps them at least MinSpacing pixels apart on Width pixels
// for DurationTicks, from 0 on.
std::vector<TTimeMark> TimeMarks(int64_t DurationTicks, int32_t Width, int32_t MinSpacing);
// "0:01:30.250": a time on the axis, to the millisecond.
std::u16string TimeText(int64_t Ticks);

// Gathers the overview of File, a stream of the given kind, in one walk of the stream check,
// whose summary it fills too. Cancel, Progress and Error as for CheckStream.
TCheckEnd CollectOverview(const std::filesystem::path& File, bool EAC3, TStreamOverview& Overview,
                          TStreamSummary& Summary, const TFrameWindow::TWalkProgress& Progress,
                          const std::atomic<bool>* Cancel, std::string& Error);

}  // namespace corvane
