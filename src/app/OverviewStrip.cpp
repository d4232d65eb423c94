#include "app/OverviewStrip.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "app/QtText.h"
#include "viewer/OverviewPicture.h"

namespace corvane {
namespace {

QColor Colour(TOverviewColour Shade) { return QColor(Shade.Red, Shade.Green, Shade.Blue); }
const QColor RateColor = Colour(OverviewRateColour);
const QColor LoudnessColor = Colour(OverviewLoudnessColour);
const QColor ClaimColor = Colour(OverviewClaimColour);
const QColor DynrngColor = Colour(OverviewDynrngColour);
const QColor ComprColor = Colour(OverviewComprColour);
const QColor ProblemColor = Colour(OverviewProblemColour);
const QColor ChangeColor = Colour(OverviewChangeColour);

QColor Faint(QColor Color, int Alpha) {
  Color.setAlpha(Alpha);
  return Color;
}

QRect ToQRect(const TOverviewRect& Rect) { return QRect(Rect.Left, Rect.Top, Rect.Width, Rect.Height); }

// A band from Low to High in a column (at least a pixel high), batched.
void AddBand(QVector<QLineF>& Band, double X, double YLow, double YHigh) {
  Band.append(QLineF(X, YLow, X, std::min(YHigh, YLow - 1.0)));
}

}  // namespace

TOverviewStrip::TOverviewStrip(QWidget* Parent) : QWidget(Parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setCursor(Qt::PointingHandCursor);
}

QSize TOverviewStrip::sizeHint() const { return {960, 420}; }

QSize TOverviewStrip::minimumSizeHint() const { return {OverviewGutter + 200, 240}; }

void TOverviewStrip::SetOverview(const TStreamOverview* Overview) {
  FOverview = Overview;
  Refresh();
}

void TOverviewStrip::SetNote(const QString& Note) {
  FNote = Note;
  update();
}

void TOverviewStrip::Refresh() {
  Gather();
  update();
}

void TOverviewStrip::Gather() {
  FColumns = FOverview ? FOverview->Columns(PlotRect().width()) : std::vector<TOverviewSpan>{};
  FWhole = TOverviewSpan{};
  for (const TOverviewSpan& Column : FColumns) FWhole.Merge(Column);
}

void TOverviewStrip::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  Gather();
}

TOverviewLayout TOverviewStrip::Layout() const { return TOverviewLayout(width(), height(), fontMetrics().height()); }

QRect TOverviewStrip::PlotRect() const { return ToQRect(Layout().Plot()); }

QRect TOverviewStrip::LaneRect(TLane Lane) const { return ToQRect(Layout().Lane(Lane)); }

int32_t TOverviewStrip::ColumnAt(int X) const { return Layout().ColumnAt(X, FColumns.size()); }

void TOverviewStrip::paintEvent(QPaintEvent*) {
  QPainter Painter(this);
  Painter.fillRect(rect(), palette().window());
  const QRect Plot = PlotRect();
  if (FColumns.empty() || !FNote.isEmpty()) {
    Painter.setPen(palette().color(QPalette::WindowText));
    Painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, FNote);
    return;
  }
  const QFontMetrics Metrics = fontMetrics();
  const int Text = Metrics.height();
  const TOverviewScales Scales = OverviewScales(FWhole);
  const auto Lane = [&](TLane Which, std::u16string_view Title, const QColor& TitleColor) {
    const QRect Rect = LaneRect(Which);
    Painter.fillRect(Rect, palette().base());
    Painter.setPen(palette().color(QPalette::Mid));
    Painter.drawRect(Rect.adjusted(0, 0, -1, -1));
    Painter.setPen(TitleColor);
    Painter.drawText(QRect(4, Rect.top(), OverviewGutter - 8, Text), Qt::AlignLeft | Qt::AlignVCenter, Q(Title));
    return Rect;
  };
  // The values at a lane's top and bottom, in its corners, over what is drawn there.
  struct TScale {
    QRect Lane;
    TOverviewScale Range;
    double Y(double Value) const {
      return Range.Y(Value, {Lane.left(), Lane.top(), Lane.width(), Lane.height()});
    }
  };
  const auto Scale = [&](const TScale& On, const std::u16string& HighText, const std::u16string& LowText) {
    const QString High = Q(HighText);
    const QString Low = Q(LowText);
    Painter.setPen(palette().color(QPalette::PlaceholderText));
    const QColor Behind = Faint(palette().color(QPalette::Base), 200);
    for (const auto& [Label, Top] : {std::pair{High, On.Lane.top() + 1}, std::pair{Low, On.Lane.bottom() - Text}}) {
      const QRect Place(On.Lane.left() + 2, Top, Metrics.horizontalAdvance(Label) + 4, Text);
      Painter.fillRect(Place, Behind);
      Painter.drawText(Place, Qt::AlignCenter, Label);
    }
  };
  const auto Legend = [&](const TScale& On, int Line, std::u16string_view Name, const QColor& Color) {
    Painter.setPen(Color);
    Painter.drawText(QRect(12, On.Lane.top() + Line * Text, OverviewGutter - 18, Text), Qt::AlignLeft, Q(Name));
  };
  const auto Draw = [&](const QVector<QLineF>& Band, const QColor& Color) {
    Painter.setPen(QPen(Color, 1.0));
    Painter.drawLines(Band);
  };
  const auto Trace = [&](const QPolygonF& Line, const QColor& Color) {
    Painter.setRenderHint(QPainter::Antialiasing, true);
    Painter.setPen(QPen(Color, 1.5));
    Painter.drawPolyline(Line);
    Painter.setRenderHint(QPainter::Antialiasing, false);
  };
  const auto X = [&](size_t Column) { return Plot.left() + static_cast<double>(Column) + 0.5; };

  // Bit rate: the frames' rates as a band, the bytes over the time as a line.
  const TScale Rate{Lane(TLane::BitRate, OverviewRateTitle, RateColor), Scales.Rate};
  QVector<QLineF> Band;
  QPolygonF Line;
  for (size_t Column = 0; Column < FColumns.size(); ++Column) {
    const TOverviewSpan& Span = FColumns[Column];
    if (Span.KbpsMax > 0) AddBand(Band, X(Column), Rate.Y(Span.KbpsMin), Rate.Y(Span.KbpsMax));
    if (Span.Ticks > 0) Line.append({X(Column), Rate.Y(static_cast<double>(Span.BitsPerSecond()) / 1000.0)});
  }
  Draw(Band, Faint(RateColor, OverviewRateBandAlpha));
  Trace(Line, RateColor);
  Scale(Rate, OverviewKbpsLabel(Scales.Rate.High), OverviewNumber(Scales.Rate.Low));

  // Loudness: the level dialnorm claims with its tolerance, and the short-term loudness.
  const TScale Loudness{Lane(TLane::Loudness, OverviewLoudnessTitle, LoudnessColor), Scales.Loudness};
  QVector<QLineF> Tolerance;
  QVector<QLineF> Measured;
  QPolygonF Claim;
  QPolygonF ShortTerm;
  for (size_t Column = 0; Column < FColumns.size(); ++Column) {
    const TOverviewSpan& Span = FColumns[Column];
    if (Span.DialnormMin >= 0) {
      const double Low = std::min(ClaimedLoudness(Span.DialnormMin), ClaimedLoudness(Span.DialnormMax));
      const double High = std::max(ClaimedLoudness(Span.DialnormMin), ClaimedLoudness(Span.DialnormMax));
      AddBand(Tolerance, X(Column), Loudness.Y(Low - DialnormTolerance), Loudness.Y(High + DialnormTolerance));
      Claim.append({X(Column), Loudness.Y((Low + High) / 2.0)});
    }
    if (Span.LoudnessCount > 0) {
      AddBand(Measured, X(Column), Loudness.Y(Span.LoudnessMin), Loudness.Y(Span.LoudnessMax));
      ShortTerm.append({X(Column), Loudness.Y((Span.LoudnessMin + Span.LoudnessMax) / 2.0)});
    }
  }
  Draw(Tolerance, Faint(ClaimColor, OverviewToleranceAlpha));
  Trace(Claim, ClaimColor);
  Draw(Measured, Faint(LoudnessColor, OverviewMeasuredAlpha));
  Trace(ShortTerm, LoudnessColor);
  Legend(Loudness, 1, OverviewShortTermLegend, LoudnessColor);
  Legend(Loudness, 2, OverviewClaimLegend, ClaimColor);
  Scale(Loudness, OverviewLkfsLabel(Scales.Loudness.High), OverviewNumber(Scales.Loudness.Low));
  if (FWhole.LoudnessCount == 0) {
    Painter.setPen(palette().color(QPalette::PlaceholderText));
    Painter.drawText(Loudness.Lane.adjusted(8, 4, -8, -4), Qt::AlignRight | Qt::AlignTop,
#ifdef CORVANE_HAVE_LOUDNESS
                     Q(OverviewNoLoudnessText));
#else
                     Q(OverviewNoMeasurementText));
#endif
  }

  // The gains: compr and dynrng as bands with their means, around 0 dB.
  const TScale Gains{Lane(TLane::Gains, OverviewGainsTitle, palette().color(QPalette::WindowText)), Scales.Gains};
  Painter.setPen(QPen(palette().color(QPalette::Mid), 1.0, Qt::DotLine));
  Painter.drawLine(QPointF(Plot.left(), Gains.Y(0.0)), QPointF(Plot.right(), Gains.Y(0.0)));
  const std::pair<TGainSummary TOverviewSpan::*, QColor> GainLanes[] = {{&TOverviewSpan::Dynrng, DynrngColor},
                                                                         {&TOverviewSpan::Compr, ComprColor}};
  for (const auto& [Member, Color] : GainLanes) {
    QVector<QLineF> GainBand;
    QPolygonF Mean;
    for (size_t Column = 0; Column < FColumns.size(); ++Column) {
      const TGainSummary& Gain = FColumns[Column].*Member;
      if (Gain.Frames == 0) continue;
      AddBand(GainBand, X(Column), Gains.Y(Gain.Min / 1e6), Gains.Y(Gain.Max / 1e6));
      Mean.append({X(Column), Gains.Y(static_cast<double>(Gain.MeanCentiDb()) / 100.0)});
    }
    Draw(GainBand, Faint(Color, OverviewGainBandAlpha));
    Trace(Mean, Color);
  }
  Legend(Gains, 1, OverviewDynrngLegend, DynrngColor);
  Legend(Gains, 2, OverviewComprLegend, ComprColor);
  Scale(Gains, OverviewDbLabel(Scales.Gains.High), OverviewDbLabel(Scales.Gains.Low));

  // A mark for every column with a problem; changes shorter, below them.
  const QRect Marks = Lane(TLane::Problems, OverviewProblemsTitle, ProblemColor);
  QVector<QLineF> Problems;
  QVector<QLineF> Changes;
  for (size_t Column = 0; Column < FColumns.size(); ++Column) {
    if (FColumns[Column].Changes > 0)
      Changes.append(QLineF(X(Column), Marks.bottom() - 1, X(Column), Marks.center().y() + 2));
    if (FColumns[Column].Problems > 0) Problems.append(QLineF(X(Column), Marks.top() + 1, X(Column), Marks.bottom() - 1));
  }
  Draw(Changes, ChangeColor);
  Painter.setPen(QPen(ProblemColor, 2.0));
  Painter.drawLines(Problems);

  // The time axis.
  const QRect Axis = LaneRect(TLane::Axis);
  Painter.setPen(palette().color(QPalette::WindowText));
  for (const TTimeMark& Mark : TimeMarks(FOverview->DurationTicks(), Plot.width(), OverviewMarkSpacing)) {
    const int At = Plot.left() + Mark.X;
    Painter.drawLine(At, Axis.top(), At, Axis.top() + 4);
    const QString Label = Q(Mark.Label);
    const int Width = Metrics.horizontalAdvance(Label);
    const int Left = std::clamp(At - Width / 2, Plot.left(), Plot.right() - Width);
    Painter.drawText(QRect(Left, Axis.top() + 5, Width + 1, Text), Qt::AlignLeft, Label);
  }
}

void TOverviewStrip::mouseMoveEvent(QMouseEvent* Event) {
  const int32_t Column = ColumnAt(static_cast<int>(Event->position().x()));
  if (Column < 0 || !FOverview || !FNote.isEmpty()) {
    QToolTip::hideText();
    return;
  }
  const auto Width = static_cast<int64_t>(FColumns.size());
  const int64_t Duration = FOverview->DurationTicks();
  QStringList Lines;
  for (const std::u16string& Line : ColumnLines(FColumns[static_cast<size_t>(Column)], Duration * Column / Width,
                                                Duration * (Column + 1) / Width))
    Lines << Q(Line);
  QToolTip::showText(Event->globalPosition().toPoint(), Lines.join(QLatin1Char('\n')), this);
}

void TOverviewStrip::mousePressEvent(QMouseEvent* Event) {
  if (Event->button() != Qt::LeftButton || !FNote.isEmpty() || !OnActivated) return;
  const QPoint At = Event->position().toPoint();
  const int64_t Offset = Layout().ClickTarget(FColumns, At.x(), At.y());
  if (Offset >= 0) OnActivated(Offset);
}

}  // namespace corvane
