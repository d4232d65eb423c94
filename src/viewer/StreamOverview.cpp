#include "viewer/StreamOverview.h"

#include <algorithm>
#include <cmath>

#include "core/StringUtils.h"
#include "viewer/FrameRowText.h"
#include "viewer/ViewerTexts.h"

namespace corvane {
namespace {

// The minimum or maximum of two values of which either may be missing (Missing).
template <typename T>
T Least(T A, T B, T Missing) {
  return A == Missing ? B : B == Missing ? A : std::min(A, B);
}

constexpr int64_t TicksPerSecond = TStreamSummary::DurationTicksPerSecond;

}  // namespace

void TOverviewSpan::Merge(const TOverviewSpan& Next) {
  if (FirstOffset < 0) FirstOffset = Next.FirstOffset;
  Ticks += Next.Ticks;
  Bytes += Next.Bytes;
  KbpsMin = Least(KbpsMin, Next.KbpsMin, 0u);
  KbpsMax = std::max(KbpsMax, Next.KbpsMax);
  DialnormMin = Least(DialnormMin, Next.DialnormMin, -1);
  DialnormMax = std::max(DialnormMax, Next.DialnormMax);
  Compr.Merge(Next.Compr);
  Dynrng.Merge(Next.Dynrng);
  Problems += Next.Problems;
  if (FirstProblem < 0) FirstProblem = Next.FirstProblem;
  Changes += Next.Changes;
  if (FirstChange < 0) FirstChange = Next.FirstChange;
  if (Next.LoudnessCount > 0) {
    LoudnessMin = LoudnessCount > 0 ? std::min(LoudnessMin, Next.LoudnessMin) : Next.LoudnessMin;
    LoudnessMax = LoudnessCount > 0 ? std::max(LoudnessMax, Next.LoudnessMax) : Next.LoudnessMax;
    LoudnessCount += Next.LoudnessCount;
  }
}

int64_t TOverviewSpan::BitsPerSecond() const {
  if (Ticks <= 0) return 0;
  return std::llround(static_cast<double>(Bytes) * 8.0 * static_cast<double>(TicksPerSecond) / static_cast<double>(Ticks));
}

size_t TStreamOverview::IndexAt(int64_t Ticks) const {
  return std::min(static_cast<size_t>(std::max<int64_t>(Ticks, 0) / FSpanTicks), FSpans.size() - 1);
}

void TStreamOverview::Reach(int64_t Ticks) {
  while (Ticks > static_cast<int64_t>(Capacity) * FSpanTicks) {
    // Neighbours merge: the spans' time doubles, their count halves.
    const size_t Count = (FSpans.size() + 1) / 2;
    for (size_t Index = 0; Index < Count; ++Index) {
      TOverviewSpan Merged = FSpans[2 * Index];
      if (2 * Index + 1 < FSpans.size()) Merged.Merge(FSpans[2 * Index + 1]);
      FSpans[Index] = Merged;
    }
    FSpans.resize(Count);
    FSpanTicks *= 2;
  }
  const auto Needed = static_cast<size_t>(std::max<int64_t>((Ticks + FSpanTicks - 1) / FSpanTicks, 1));
  if (FSpans.size() < Needed) FSpans.resize(Needed);
}

void TStreamOverview::AddFrame(const TStreamFrame& Frame, const TCheckedFrame& Checked) {
  TOverviewSpan Values;
  Values.FirstOffset = Frame.Offset;
  if (Checked.Trusted && Checked.Timed) {
    Values.KbpsMin = Values.KbpsMax = Checked.Kbps;
    Values.DialnormMin = Values.DialnormMax = static_cast<int32_t>(Checked.dialnorm);
    if (Checked.HasCompr) Values.Compr.Add(Checked.Compr);
    Values.Dynrng.Add(Checked.Dynrng);
  }
  const int64_t Start = Checked.StartTicks;
  const int64_t End = Start + Checked.Ticks;
  Reach(std::max<int64_t>(End, 1));
  FEnd = std::max(FEnd, End);
  // A frame of no time of its own (a dependent substream's) joins the frame before it.
  TOverviewSpan& First = FSpans[IndexAt(Checked.Ticks > 0 ? Start : Start - 1)];
  First.Merge(FPending);
  FPending = TOverviewSpan{};
  if (Checked.Ticks <= 0) {
    Values.Bytes = Frame.Size;
    First.Merge(Values);
    return;
  }
  // Its time, and its bytes in proportion, go to each span it reaches into.
  int64_t BytesLeft = Frame.Size;
  for (size_t Index = IndexAt(Start); Index < FSpans.size(); ++Index) {
    const int64_t SpanStart = static_cast<int64_t>(Index) * FSpanTicks;
    if (SpanStart >= End) break;
    const int64_t Overlap = std::min(End, SpanStart + FSpanTicks) - std::max(Start, SpanStart);
    Values.Ticks = Overlap;
    Values.Bytes = SpanStart + FSpanTicks >= End ? BytesLeft : Frame.Size * Overlap / Checked.Ticks;
    BytesLeft -= Values.Bytes;
    FSpans[Index].Merge(Values);
  }
}

void TStreamOverview::AddFinding(const TStreamFinding& Finding) {
  // At the stream's end it waits for the frame it is found at, or for the end of the stream.
  TOverviewSpan& Span = Finding.AtTicks < FEnd ? FSpans[IndexAt(Finding.AtTicks)] : FPending;
  if (Finding.IsProblem()) {
    ++Span.Problems;
    if (Span.FirstProblem < 0) Span.FirstProblem = Finding.Offset;
  } else {
    ++Span.Changes;
    if (Span.FirstChange < 0) Span.FirstChange = Finding.Offset;
  }
}

void TStreamOverview::Finish() {
  Reach(1);
  FSpans[IndexAt(FEnd - 1)].Merge(FPending);
  FPending = TOverviewSpan{};
}

void TStreamOverview::AddLoudness(int64_t Offset, double ShortTerm) {
  if (!std::isfinite(ShortTerm) || FSpans.empty()) return;
  // The last span whose first frame lies at or before Offset: spans keep their frames in file order.
  const auto After = std::upper_bound(FSpans.begin(), FSpans.end(), Offset, [](int64_t At, const TOverviewSpan& Span) {
    return Span.FirstOffset >= 0 && At < Span.FirstOffset;
  });
  TOverviewSpan& Span = After == FSpans.begin() ? FSpans.front() : *(After - 1);
  Span.LoudnessMin = Span.LoudnessCount > 0 ? std::min(Span.LoudnessMin, ShortTerm) : ShortTerm;
  Span.LoudnessMax = Span.LoudnessCount > 0 ? std::max(Span.LoudnessMax, ShortTerm) : ShortTerm;
  ++Span.LoudnessCount;
  FLoudness = true;
}

void TStreamOverview::ClearLoudness() {
  for (TOverviewSpan& Span : FSpans) {
    Span.LoudnessCount = 0;
    Span.LoudnessMin = Span.LoudnessMax = 0.0;
  }
  FLoudness = false;
}

TOverviewSpan TStreamOverview::Whole() const {
  TOverviewSpan Whole;
  for (const TOverviewSpan& Span : FSpans) Whole.Merge(Span);
  return Whole;
}

std::vector<TOverviewSpan> TStreamOverview::Columns(int32_t Width) const {
  std::vector<TOverviewSpan> Columns(static_cast<size_t>(std::max(Width, 0)));
  if (Columns.empty() || FSpans.empty()) return Columns;
  if (FEnd == 0) {
    // No time at all: what there is shows at the start.
    Columns.front() = Whole();
    return Columns;
  }
  const auto SpanOf = [&](int64_t Ticks, bool Up) {
    const int64_t Index = Up ? (Ticks + FSpanTicks - 1) / FSpanTicks : Ticks / FSpanTicks;
    return static_cast<size_t>(std::min<int64_t>(Index, static_cast<int64_t>(FSpans.size())));
  };
  for (int32_t Column = 0; Column < Width; ++Column) {
    const int64_t From = FEnd * Column / Width;
    const int64_t To = FEnd * (Column + 1) / Width;
    // The spans that start in the column; without one, the span its start lies in.
    size_t First = SpanOf(From, true);
    size_t Last = SpanOf(To, true);
    if (First >= Last) {
      First = std::min(SpanOf(From, false), FSpans.size() - 1);
      Last = First + 1;
    }
    TOverviewSpan& Into = Columns[static_cast<size_t>(Column)];
    for (size_t Index = First; Index < Last; ++Index) Into.Merge(FSpans[Index]);
  }
  return Columns;
}

int64_t FrameOfColumn(const std::vector<TOverviewSpan>& Columns, int32_t Column) {
  if (Columns.empty()) return -1;
  for (auto Index = std::clamp<int64_t>(Column, 0, static_cast<int64_t>(Columns.size()) - 1); Index >= 0; --Index)
    if (Columns[static_cast<size_t>(Index)].HasFrames()) return Columns[static_cast<size_t>(Index)].FirstOffset;
  for (const TOverviewSpan& Span : Columns)
    if (Span.HasFrames()) return Span.FirstOffset;
  return -1;
}

int64_t ProblemNearColumn(const std::vector<TOverviewSpan>& Columns, int32_t Column, int32_t Reach) {
  const auto Count = static_cast<int64_t>(Columns.size());
  for (int64_t Distance = 0; Distance <= Reach; ++Distance) {
    for (const int64_t Index : {Column - Distance, Column + Distance}) {
      if (Index < 0 || Index >= Count) continue;
      if (const TOverviewSpan& Span = Columns[static_cast<size_t>(Index)]; Span.Problems > 0) return Span.FirstProblem;
    }
  }
  return -1;
}

namespace {

std::u16string RangeText(const std::u16string& Min, const std::u16string& Max, const char16_t* Unit) {
  return (Min == Max ? Min : Min + u" to " + Max) + Unit;
}

std::u16string GainRangeText(const TGainSummary& Gains) {
  if (Gains.Frames == 0) return u"in no frame";
  return RangeText(FixedText(MicroToCentiDb(Gains.Min), 2), FixedText(MicroToCentiDb(Gains.Max), 2), u" dB") +
         (Gains.Min == Gains.Max ? u"" : u", mean " + FixedText(Gains.MeanCentiDb(), 2) + u" dB");
}

std::u16string FirstText(int64_t Count, int64_t First) {
  return IntToStr(Count) + (Count == 1 ? u", at " : u", the first at ") + OffsetText(First);
}

}  // namespace

std::vector<std::u16string> ColumnLines(const TOverviewSpan& Column, int64_t FromTicks, int64_t ToTicks) {
  std::vector<std::u16string> Lines{TimeText(FromTicks) + u" to " + TimeText(ToTicks)};
  if (!Column.HasFrames()) return Lines;
  Lines.push_back(u"Frame at " + OffsetText(Column.FirstOffset));
  std::u16string Rate = u"Bit rate: " + FixedText((Column.BitsPerSecond() + 50) / 100, 1) + u" kbps";
  if (Column.KbpsMin != Column.KbpsMax)
    Rate += u" (frames of " + UIntToStr(Column.KbpsMin) + u" to " + UIntToStr(Column.KbpsMax) + u" kbps)";
  Lines.push_back(Rate);
  Lines.push_back(u"dialnorm: " + (Column.DialnormMin < 0 ? std::u16string(u"none")
                                                           : RangeText(IntToStr(Column.DialnormMin),
                                                                       IntToStr(Column.DialnormMax), u"")));
  if (Column.LoudnessCount > 0) {
    const auto Tenths = [](double Lkfs) { return FixedText(std::llround(Lkfs * 10.0), 1); };
    Lines.push_back(u"Short-term loudness: " +
                    RangeText(Tenths(Column.LoudnessMin), Tenths(Column.LoudnessMax), u" LKFS"));
  }
  Lines.push_back(u"compr: " + GainRangeText(Column.Compr));
  Lines.push_back(u"dynrng: " + GainRangeText(Column.Dynrng));
  if (Column.Problems > 0) Lines.push_back(u"Problems: " + FirstText(Column.Problems, Column.FirstProblem));
  if (Column.Changes > 0) Lines.push_back(u"Changes: " + FirstText(Column.Changes, Column.FirstChange));
  return Lines;
}

std::u16string TimeText(int64_t Ticks) {
  return DurationText((std::max<int64_t>(Ticks, 0) * 1000 + TicksPerSecond / 2) / TicksPerSecond);
}

std::vector<TTimeMark> TimeMarks(int64_t DurationTicks, int32_t Width, int32_t MinSpacing) {
  std::vector<TTimeMark> Marks;
  if (DurationTicks <= 0 || Width <= 0) return Marks;
  // Round steps in milliseconds, from a tenth of a second to a day.
  static constexpr int64_t Steps[] = {100,     200,     500,     1000,    2000,     5000,     10000,    15000,
                                      30000,   60000,   120000,  300000,  600000,   900000,   1800000,  3600000,
                                      7200000, 10800000, 21600000, 43200000, 86400000};
  int64_t Step = 0;
  for (const int64_t Milliseconds : Steps) {
    Step = Milliseconds * (TicksPerSecond / 1000);
    if (Step * Width >= static_cast<int64_t>(MinSpacing) * DurationTicks) break;
  }
  // Longer than the last step allows: whole days.
  while (Step * Width < static_cast<int64_t>(MinSpacing) * DurationTicks) Step += 86400 * TicksPerSecond;
  const bool Seconds = Step % TicksPerSecond == 0;
  for (int64_t At = 0; At <= DurationTicks; At += Step) {
    std::u16string Label = TimeText(At);
    if (Seconds) Label.resize(Label.size() - 4);  // no ".000"
    Marks.push_back({static_cast<int32_t>(At * Width / DurationTicks), std::move(Label)});
  }
  return Marks;
}

TCheckEnd CollectOverview(const std::filesystem::path& File, bool EAC3, TStreamOverview& Overview,
                          TStreamSummary& Summary, const TFrameWindow::TWalkProgress& Progress,
                          const std::atomic<bool>* Cancel, std::string& Error) {
  const TCheckEnd End = CheckStream(
      File, EAC3,
      [&Overview](const TStreamFinding& Finding) {
        Overview.AddFinding(Finding);
        return true;
      },
      Summary, Progress, Cancel, Error,
      [&Overview](const TStreamFrame& Frame, const TCheckedFrame& Checked) { Overview.AddFrame(Frame, Checked); });
  Overview.Finish();
  return End;
}

}  // namespace corvane
