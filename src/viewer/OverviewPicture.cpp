#include "viewer/OverviewPicture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/StringUtils.h"

namespace corvane {
namespace {

// 1, 2 or 5 times a power of ten, at least Value.
double RoundUp(double Value) {
  if (Value <= 0.0) return 1.0;
  const double Power = std::pow(10.0, std::floor(std::log10(Value)));
  for (const double Step : {1.0, 2.0, 5.0, 10.0})
    if (Step * Power >= Value) return Step * Power;
  return 10.0 * Power;
}

}  // namespace

TOverviewColour OverviewBlend(TOverviewColour Colour, int Alpha, TOverviewColour Back) {
  const auto Mix = [Alpha](uint8_t Front, uint8_t Behind) {
    return static_cast<uint8_t>((Front * Alpha + Behind * (255 - Alpha) + 127) / 255);
  };
  return {Mix(Colour.Red, Back.Red), Mix(Colour.Green, Back.Green), Mix(Colour.Blue, Back.Blue)};
}

TOverviewLayout::TOverviewLayout(int32_t Width, int32_t Height, int32_t TextHeight) {
  FPlot = {OverviewGutter, OverviewTopMargin, std::max(Width - OverviewGutter - OverviewRightMargin, 1),
           std::max(Height - OverviewTopMargin, 1)};
  const int32_t AxisHeight = TextHeight + 8;
  const int32_t Shared =
      std::max(FPlot.Height - AxisHeight - OverviewProblemLaneHeight - 4 * OverviewLaneGap, int32_t{30});
  // Bit rate, loudness and the gains share what the problem lane and the axis leave: 3 : 4 : 3.
  const int32_t Rate = Shared * 3 / 10;
  const int32_t Loudness = Shared * 4 / 10;
  const int32_t Gains = Shared - Rate - Loudness;
  int32_t Top = FPlot.Top;
  size_t Index = 0;
  for (const int32_t LaneHeight : {Rate, Loudness, Gains, OverviewProblemLaneHeight, AxisHeight}) {
    FLanes[Index++] = {FPlot.Left, Top, FPlot.Width, LaneHeight};
    Top += LaneHeight + OverviewLaneGap;
  }
}

int32_t TOverviewLayout::ColumnAt(int32_t X, size_t Count) const {
  if (X < FPlot.Left || X > FPlot.Right() || Count == 0) return -1;
  return std::min(X - FPlot.Left, static_cast<int32_t>(Count) - 1);
}

int64_t TOverviewLayout::ClickTarget(const std::vector<TOverviewSpan>& Columns, int32_t X, int32_t Y) const {
  const int32_t Column = ColumnAt(X, Columns.size());
  if (Column < 0) return -1;
  TOverviewRect Marks = Lane(TOverviewLane::Problems);
  Marks.Top -= OverviewLaneGap / 2;
  Marks.Height += OverviewLaneGap;
  int64_t Offset = -1;
  if (Marks.Contains(X, Y)) Offset = ProblemNearColumn(Columns, Column, OverviewProblemReach);
  if (Offset < 0) Offset = FrameOfColumn(Columns, Column);
  return Offset;
}

double TOverviewScale::Y(double Value, const TOverviewRect& Lane) const {
  const double Share = (std::clamp(Value, Low, High) - Low) / (High - Low);
  return Lane.Bottom() + 0.5 - Share * (Lane.Height - 1);
}

double ClaimedLoudness(int32_t Dialnorm) { return -static_cast<double>(Dialnorm == 0 ? 31 : Dialnorm); }

TOverviewScales OverviewScales(const TOverviewSpan& Whole) {
  TOverviewScales Scales;
  Scales.Rate = {0.0, RoundUp(std::max(Whole.KbpsMax, static_cast<uint32_t>(Whole.BitsPerSecond() / 1000)) * 1.05)};

  Scales.Loudness = {-40.0, -10.0};
  double Lowest = HUGE_VAL;
  double Highest = -HUGE_VAL;
  if (Whole.DialnormMin >= 0) {
    Lowest = std::min({Lowest, ClaimedLoudness(Whole.DialnormMin), ClaimedLoudness(Whole.DialnormMax)});
    Highest = std::max({Highest, ClaimedLoudness(Whole.DialnormMin), ClaimedLoudness(Whole.DialnormMax)});
  }
  if (Whole.LoudnessCount > 0) {
    Lowest = std::min(Lowest, Whole.LoudnessMin);
    Highest = std::max(Highest, Whole.LoudnessMax);
  }
  if (Lowest <= Highest) {
    Scales.Loudness.Low = std::floor((Lowest - 3.0) / 5.0) * 5.0;
    Scales.Loudness.High = std::max(std::ceil((Highest + 3.0) / 5.0) * 5.0, Scales.Loudness.Low + 10.0);
  }

  double Reach = 6.0;
  for (const TGainSummary* Gain : {&Whole.Compr, &Whole.Dynrng})
    if (Gain->Frames > 0) Reach = std::max({Reach, std::fabs(Gain->Min / 1e6), std::fabs(Gain->Max / 1e6)});
  Scales.Gains.High = std::ceil(Reach / 6.0) * 6.0;
  Scales.Gains.Low = -Scales.Gains.High;
  return Scales;
}

std::u16string OverviewWindowTitle(const std::filesystem::path& File) {
  return std::u16string(OverviewTitle) + u" - " + PathToText(File);
}

std::u16string OverviewHeadLine(const TStreamSummary& Summary) {
  // Kind, duration, problems and changes: the first, third and last two lines of the summary.
  const std::vector<std::u16string> Lines = SummaryLines(Summary);
  return Lines[0] + u"    " + Lines[2] + u"    " + Lines[Lines.size() - 2] + u"    " + Lines.back();
}

std::u16string OverviewNumber(double Value) {
  // The shortest form of up to six digits, with "." whatever the locale.
  char Text[32];
  std::snprintf(Text, sizeof Text, "%g", Value);
  std::u16string Number;
  for (const char* Each = Text; *Each; ++Each) Number.push_back(*Each == ',' ? u'.' : static_cast<char16_t>(*Each));
  return Number;
}

std::u16string OverviewKbpsLabel(double Value) { return OverviewNumber(Value) + u" kbps"; }
std::u16string OverviewLkfsLabel(double Value) { return OverviewNumber(Value) + u" LKFS"; }
std::u16string OverviewDbLabel(double Value) {
  std::u16string Label;
  if (Value > 0) Label.push_back(u'+');
  Label.append(OverviewNumber(Value));
  Label.append(u" dB");
  return Label;
}

}  // namespace corvane
