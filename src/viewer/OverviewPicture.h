#pragma once
// The stream overview's picture without a painter: where its lanes lie in a window of a given
// size, the colours, the scales that map the columns' values to pixels, the texts it shows and
// where a click leads. A window gathers TStreamOverview::Columns for PlotWidth and draws what
// these say; every front-end paints the same picture.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/RgbColour.h"
#include "viewer/StreamOverview.h"

namespace corvane {

using TOverviewColour = TRgbColour;
inline constexpr TOverviewColour OverviewRateColour{40, 90, 170};
inline constexpr TOverviewColour OverviewLoudnessColour{205, 105, 0};
inline constexpr TOverviewColour OverviewClaimColour{50, 50, 50};
inline constexpr TOverviewColour OverviewDynrngColour{30, 130, 200};
inline constexpr TOverviewColour OverviewComprColour{160, 50, 150};
inline constexpr TOverviewColour OverviewProblemColour{210, 30, 30};
inline constexpr TOverviewColour OverviewChangeColour{130, 130, 130};
// How opaque (of 255) each band is drawn over the lane's background, under its line.
inline constexpr int OverviewRateBandAlpha = 70;
inline constexpr int OverviewToleranceAlpha = 28;
inline constexpr int OverviewMeasuredAlpha = 80;
inline constexpr int OverviewGainBandAlpha = 70;
// Colour at Alpha of 255 over Back, for painters without transparency.
TOverviewColour OverviewBlend(TOverviewColour Colour, int Alpha, TOverviewColour Back);

inline constexpr int32_t OverviewGutter = 108;  // lane names, legends and scales
inline constexpr int32_t OverviewRightMargin = 10;
inline constexpr int32_t OverviewTopMargin = 6;
inline constexpr int32_t OverviewLaneGap = 8;
inline constexpr int32_t OverviewProblemLaneHeight = 16;
inline constexpr int32_t OverviewMarkSpacing = 90;  // pixels between time marks at least
inline constexpr int32_t OverviewProblemReach = 3;  // columns a click in the problem lane may miss a mark by

struct TOverviewRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Right() const { return Left + Width - 1; }
  int32_t Bottom() const { return Top + Height - 1; }
  bool Contains(int32_t X, int32_t Y) const { return X >= Left && X <= Right() && Y >= Top && Y <= Bottom(); }
};

enum class TOverviewLane { BitRate, Loudness, Gains, Problems, Axis, Count };

// The picture in a window Width x Height pixels whose text lines are TextHeight high.
class TOverviewLayout {
 public:
  TOverviewLayout(int32_t Width, int32_t Height, int32_t TextHeight);
  // The area of the columns: one column per pixel of its width.
  const TOverviewRect& Plot() const { return FPlot; }
  TOverviewRect Lane(TOverviewLane Which) const { return FLanes[static_cast<size_t>(Which)]; }
  // The column under X among Count, or -1 outside the plot.
  int32_t ColumnAt(int32_t X, size_t Count) const;
  // The frame a click at (X, Y) leads to: in the problem lane (or just beside it) the nearest
  // problem's, else the frame of the column; -1 for none.
  int64_t ClickTarget(const std::vector<TOverviewSpan>& Columns, int32_t X, int32_t Y) const;

 private:
  TOverviewRect FPlot;
  TOverviewRect FLanes[static_cast<size_t>(TOverviewLane::Count)];
};

// Values from Low (at a lane's bottom) to High (at its top) on the lane's pixels.
struct TOverviewScale {
  double Low = 0.0;
  double High = 1.0;
  // The pixel row of Value (clamped to the scale) in Lane, at the middle of a pixel.
  double Y(double Value, const TOverviewRect& Lane) const;
};

// The scales for the columns' whole (every column merged): the bit rate from 0 to a round value
// over the highest, the loudness around the claimed and measured levels in steps of 5 dB, the
// gains symmetric around 0 in steps of 6 dB.
struct TOverviewScales {
  TOverviewScale Rate;
  TOverviewScale Loudness;
  TOverviewScale Gains;
};
TOverviewScales OverviewScales(const TOverviewSpan& Whole);

// The level dialnorm claims, in LKFS (the reserved 0 taken as 31).
double ClaimedLoudness(int32_t Dialnorm);

// The texts: lane titles, legends, the scales' labels and the lines around the picture.
inline constexpr std::u16string_view OverviewRateTitle = u"Bit rate";
inline constexpr std::u16string_view OverviewLoudnessTitle = u"Loudness";
inline constexpr std::u16string_view OverviewGainsTitle = u"compr, dynrng";
inline constexpr std::u16string_view OverviewProblemsTitle = u"Problems";
inline constexpr std::u16string_view OverviewShortTermLegend = u"short-term";
inline constexpr std::u16string_view OverviewClaimLegend = u"dialnorm \u00B12";
inline constexpr std::u16string_view OverviewDynrngLegend = u"dynrng";
inline constexpr std::u16string_view OverviewComprLegend = u"compr";
// The loudness lane before a measurement: how to get one, or, in a build without the
// measurement, that there is none to get.
inline constexpr std::u16string_view OverviewNoLoudnessText = u"Tools > Measure Loudness adds the short-term loudness";
inline constexpr std::u16string_view OverviewNoMeasurementText = u"This build does not measure loudness";
inline constexpr std::u16string_view OverviewNoStreamText = u"No stream: View > Stream Overview shows the open file's.";
inline constexpr std::u16string_view OverviewHintText =
    u"A click shows the frame at that time in the main window; in the problem lane, the nearest problem's frame.";
inline constexpr std::u16string_view OverviewTitle = u"Stream Overview";
inline constexpr std::u16string_view OverviewProgressText = u"Reading the stream...";
// "Stream Overview - FILE".
std::u16string OverviewWindowTitle(const std::filesystem::path& File);
// The line above the picture: kind, duration, problems and changes of the summary.
std::u16string OverviewHeadLine(const TStreamSummary& Summary);
// A scale's label: "500 kbps", "-10 LKFS", "+6 dB", and the plain number for a lane's bottom.
std::u16string OverviewNumber(double Value);
std::u16string OverviewKbpsLabel(double Value);
std::u16string OverviewLkfsLabel(double Value);
std::u16string OverviewDbLabel(double Value);

}  // namespace corvane
