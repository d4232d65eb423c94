#include "app/OverviewStrip.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "app/QtText.h"

namespace corvane {
namespace {

constexpr int Gutter = 108;  // lane names, legends and scales
constexpr int RightMargin = 10;
constexpr int TopMargin = 6;
constexpr int LaneGap = 8;
constexpr int ProblemLaneHeight = 16;
constexpr int MarkSpacing = 90;  // pixels between time marks at least
constexpr int ProblemReach = 3;  // columns a click in the problem lane may miss a mark by

const QColor RateColor(40, 90, 170);
const QColor LoudnessColor(205, 105, 0);
const QColor ClaimColor(50, 50, 50);
const QColor DynrngColor(30, 130, 200);
const QColor ComprColor(160, 50, 150);
const QColor ProblemColor(210, 30, 30);
const QColor ChangeColor(130, 130, 130);

QColor Faint(QColor Color, int Alpha) {
  Color.setAlpha(Alpha);
  return Color;
}

// The level dialnorm claims, in LKFS (the reserved 0 taken as 31).
double Claimed(int32_t dialnorm) { return -static_cast<double>(dialnorm == 0 ? 31 : dialnorm); }

// 1, 2 or 5 times a power of ten, at least Value.
double RoundUp(double Value) {
  if (Value <= 0.0) return 1.0;
  const double Power = std::pow(10.0, std::floor(std::log10(Value)));
  for (const double Step : {1.0, 2.0, 5.0, 10.0})
    if (Step * Power >= Value) return Step * Power;
  return 10.0 * Power;
}

// Values from Low (at the lane's bottom) to High (at its top) on the lane's pixels.
struct TScale {
  QRect Lane;
  double Low = 0.0;
  double High = 1.0;
  double Y(double Value) const {
    const double Share = (std::clamp(Value, Low, High) - Low) / (High - Low);
    return Lane.bottom() + 0.5 - Share * (Lane.height() - 1);
  }
};

// A band from Low to High in a column (at least a pixel high), batched.
void AddBand(QVector<QLineF>& Band, double X, double YLow, double YHigh) {
  Band.append(QLineF(X, YLow, X, std::min(YHigh, YLow - 1.0)));
}

QString Db(double Value) { return (Value > 0 ? QStringLiteral("+") : QString()) + QString::number(Value) + " dB"; }

}  // namespace

TOverviewStrip::TOverviewStrip(QWidget* Parent) : QWidget(Parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setCursor(Qt::PointingHandCursor);
}

QSize TOverviewStrip::sizeHint() const { return {960, 420}; }

QSize TOverviewStrip::minimumSizeHint() const { return {Gutter + 200, 240}; }

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

QRect TOverviewStrip::PlotRect() const {
  return QRect(Gutter, TopMargin, std::max(width() - Gutter - RightMargin, 1), std::max(height() - TopMargin, 1));
}

QRect TOverviewStrip::LaneRect(TLane Lane) const {
  const QRect Plot = PlotRect();
  const int AxisHeight = fontMetrics().height() + 8;
  const int Shared = std::max(Plot.height() - AxisHeight - ProblemLaneHeight - 4 * LaneGap, 30);
  // Bit rate, loudness and the gains share what the problem lane and the axis leave: 3 : 4 : 3.
  const int Rate = Shared * 3 / 10;
  const int Loudness = Shared * 4 / 10;
  const int Gains = Shared - Rate - Loudness;
  int Top = Plot.top();
  const auto Next = [&](int Height) {
    const QRect Rect(Plot.left(), Top, Plot.width(), Height);
    Top += Height + LaneGap;
    return Rect;
  };
  const QRect Lanes[] = {Next(Rate), Next(Loudness), Next(Gains), Next(ProblemLaneHeight), Next(AxisHeight)};
  return Lanes[static_cast<size_t>(Lane)];
}

int32_t TOverviewStrip::ColumnAt(int X) const {
  const QRect Plot = PlotRect();
  if (X < Plot.left() || X > Plot.right() || FColumns.empty()) return -1;
  return std::min(static_cast<int32_t>(X - Plot.left()), static_cast<int32_t>(FColumns.size()) - 1);
}

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
  const auto Lane = [&](TLane Which, const QString& Title, const QColor& TitleColor) {
    const QRect Rect = LaneRect(Which);
    Painter.fillRect(Rect, palette().base());
    Painter.setPen(palette().color(QPalette::Mid));
    Painter.drawRect(Rect.adjusted(0, 0, -1, -1));
    Painter.setPen(TitleColor);
    Painter.drawText(QRect(4, Rect.top(), Gutter - 8, Text), Qt::AlignLeft | Qt::AlignVCenter, Title);
    return Rect;
  };
  // The values at a lane's top and bottom, in its corners, over what is drawn there.
  const auto Scale = [&](const TScale& On, const QString& High, const QString& Low) {
    Painter.setPen(palette().color(QPalette::PlaceholderText));
    const QColor Behind = Faint(palette().color(QPalette::Base), 200);
    for (const auto& [Label, Top] : {std::pair{High, On.Lane.top() + 1}, std::pair{Low, On.Lane.bottom() - Text}}) {
      const QRect Place(On.Lane.left() + 2, Top, Metrics.horizontalAdvance(Label) + 4, Text);
      Painter.fillRect(Place, Behind);
      Painter.drawText(Place, Qt::AlignCenter, Label);
    }
  };
  const auto Legend = [&](const TScale& On, int Line, const QString& Name, const QColor& Color) {
    Painter.setPen(Color);
    Painter.drawText(QRect(12, On.Lane.top() + Line * Text, Gutter - 18, Text), Qt::AlignLeft, Name);
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
  TScale Rate{Lane(TLane::BitRate, QStringLiteral("Bit rate"), RateColor), 0.0, 1.0};
  Rate.High = RoundUp(std::max(FWhole.KbpsMax, static_cast<uint32_t>(FWhole.BitsPerSecond() / 1000)) * 1.05);
  QVector<QLineF> Band;
  QPolygonF Line;
  for (size_t Column = 0; Column < FColumns.size(); ++Column) {
    const TOverviewSpan& Span = FColumns[Column];
    if (Span.KbpsMax > 0) AddBand(Band, X(Column), Rate.Y(Span.KbpsMin), Rate.Y(Span.KbpsMax));
    if (Span.Ticks > 0) Line.append({X(Column), Rate.Y(static_cast<double>(Span.BitsPerSecond()) / 1000.0)});
  }
  Draw(Band, Faint(RateColor, 70));
  Trace(Line, RateColor);
  Scale(Rate, QString::number(Rate.High) + QStringLiteral(" kbps"), QStringLiteral("0"));

  // Loudness: the level dialnorm claims with its tolerance, and the short-term loudness.
  TScale Loudness{Lane(TLane::Loudness, QStringLiteral("Loudness"), LoudnessColor), -40.0, -10.0};
  double Lowest = HUGE_VAL;
  double Highest = -HUGE_VAL;
  if (FWhole.DialnormMin >= 0) {
    Lowest = std::min({Lowest, Claimed(FWhole.DialnormMin), Claimed(FWhole.DialnormMax)});
    Highest = std::max({Highest, Claimed(FWhole.DialnormMin), Claimed(FWhole.DialnormMax)});
  }
  if (FWhole.LoudnessCount > 0) {
    Lowest = std::min(Lowest, FWhole.LoudnessMin);
    Highest = std::max(Highest, FWhole.LoudnessMax);
  }
  if (Lowest <= Highest) {
    Loudness.Low = std::floor((Lowest - 3.0) / 5.0) * 5.0;
    Loudness.High = std::max(std::ceil((Highest + 3.0) / 5.0) * 5.0, Loudness.Low + 10.0);
  }
  QVector<QLineF> Tolerance;
  QVector<QLineF> Measured;
  QPolygonF Claim;
  QPolygonF ShortTerm;
  for (size_t Column = 0; Column < FColumns.size(); ++Column) {
    const TOverviewSpan& Span = FColumns[Column];
    if (Span.DialnormMin >= 0) {
      const double Low = std::min(Claimed(Span.DialnormMin), Claimed(Span.DialnormMax));
      const double High = std::max(Claimed(Span.DialnormMin), Claimed(Span.DialnormMax));
      AddBand(Tolerance, X(Column), Loudness.Y(Low - DialnormTolerance), Loudness.Y(High + DialnormTolerance));
      Claim.append({X(Column), Loudness.Y((Low + High) / 2.0)});
    }
    if (Span.LoudnessCount > 0) {
      AddBand(Measured, X(Column), Loudness.Y(Span.LoudnessMin), Loudness.Y(Span.LoudnessMax));
      ShortTerm.append({X(Column), Loudness.Y((Span.LoudnessMin + Span.LoudnessMax) / 2.0)});
    }
  }
  Draw(Tolerance, Faint(ClaimColor, 28));
  Trace(Claim, ClaimColor);
  Draw(Measured, Faint(LoudnessColor, 80));
  Trace(ShortTerm, LoudnessColor);
  Legend(Loudness, 1, QStringLiteral("short-term"), LoudnessColor);
  Legend(Loudness, 2, QStringLiteral("dialnorm \u00B12"), ClaimColor);
  Scale(Loudness, QString::number(Loudness.High) + QStringLiteral(" LKFS"), QString::number(Loudness.Low));
  if (FWhole.LoudnessCount == 0) {
    Painter.setPen(palette().color(QPalette::PlaceholderText));
    Painter.drawText(Loudness.Lane.adjusted(8, 4, -8, -4), Qt::AlignRight | Qt::AlignTop,
                     QStringLiteral("Tools > Measure Loudness adds the short-term loudness"));
  }

  // The gains: compr and dynrng as bands with their means, around 0 dB.
  TScale Gains{Lane(TLane::Gains, QStringLiteral("compr, dynrng"), palette().color(QPalette::WindowText)), -6.0, 6.0};
  double Reach = 6.0;
  for (const TGainSummary* Whole : {&FWhole.Compr, &FWhole.Dynrng})
    if (Whole->Frames > 0) Reach = std::max({Reach, std::fabs(Whole->Min / 1e6), std::fabs(Whole->Max / 1e6)});
  Gains.High = std::ceil(Reach / 6.0) * 6.0;
  Gains.Low = -Gains.High;
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
    Draw(GainBand, Faint(Color, 70));
    Trace(Mean, Color);
  }
  Legend(Gains, 1, QStringLiteral("dynrng"), DynrngColor);
  Legend(Gains, 2, QStringLiteral("compr"), ComprColor);
  Scale(Gains, Db(Gains.High), Db(Gains.Low));

  // A mark for every column with a problem; changes shorter, below them.
  const QRect Marks = Lane(TLane::Problems, QStringLiteral("Problems"), ProblemColor);
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
  for (const TTimeMark& Mark : TimeMarks(FOverview->DurationTicks(), Plot.width(), MarkSpacing)) {
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
  const int32_t Column = ColumnAt(static_cast<int>(Event->position().x()));
  if (Event->button() != Qt::LeftButton || Column < 0 || !FNote.isEmpty() || !OnActivated) return;
  int64_t Offset = -1;
  if (LaneRect(TLane::Problems).adjusted(0, -LaneGap / 2, 0, LaneGap / 2).contains(Event->position().toPoint()))
    Offset = ProblemNearColumn(FColumns, Column, ProblemReach);
  if (Offset < 0) Offset = FrameOfColumn(FColumns, Column);
  if (Offset >= 0) OnActivated(Offset);
}

}  // namespace corvane
