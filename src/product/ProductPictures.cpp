#include "product/ProductPictures.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWidget>

#include "product/ProductTexts.h"

namespace corvane {
namespace {

constexpr double DesignPixelsPerInch = 120.0;

// A few overlapping sine bursts, the look of an audio waveform, across the given rectangle.
QPainterPath Waveform(const QRectF& Area, double Phase) {
  QPainterPath Path;
  const int Steps = std::max(2, static_cast<int>(Area.width()));
  for (int I = 0; I <= Steps; ++I) {
    const double T = double(I) / Steps;
    const double Envelope = 0.55 + 0.45 * std::sin(T * 3.1 * std::numbers::pi + Phase);
    const double Y = Envelope * (0.6 * std::sin(T * 38 * std::numbers::pi + Phase) + 0.4 * std::sin(T * 91 * std::numbers::pi));
    const QPointF P(Area.left() + T * Area.width(), Area.center().y() - Y * Area.height() / 2);
    if (I == 0)
      Path.moveTo(P);
    else
      Path.lineTo(P);
  }
  return Path;
}

}  // namespace

QString ProductText(std::u16string_view Text) {
  return QString::fromUtf16(Text.data(), static_cast<qsizetype>(Text.size()));
}

QString HalvernNotice(const QString& Year) {
  const std::u16string Notice = HalvernNoticeText(std::u16string_view(reinterpret_cast<const char16_t*>(Year.utf16()),
                                                                      static_cast<size_t>(Year.size())));
  return ProductText(Notice);
}
QString HalvernRights() { return ProductText(HalvernRightsText); }
QString HalvernWebAddress() { return ProductText(HalvernWebAddressText); }
QString HalvernMailAddress() { return ProductText(HalvernMailAddressText); }

double DesignScale(const QWidget* Widget) {
  const QScreen* Screen = Widget && Widget->screen() ? Widget->screen() : QGuiApplication::primaryScreen();
  return Screen ? Screen->logicalDotsPerInch() / DesignPixelsPerInch : 96.0 / DesignPixelsPerInch;
}

int ScaleDesign(int Value, double Scale) { return static_cast<int>(std::lround(Value * Scale)); }

QFont FontForCellHeight(const QString& Family, int CellHeight, bool Bold) {
  QFont Font(Family);
  Font.setBold(Bold);
  Font.setPixelSize(std::max(1, CellHeight));
  const double Cell = QFontMetricsF(Font).height();
  if (Cell > 0) Font.setPixelSize(std::max(1, static_cast<int>(std::lround(CellHeight * CellHeight / Cell))));
  return Font;
}

QPixmap PaintSplashPicture(const QSize& Size) {
  QPixmap Picture(Size);
  Picture.fill(Qt::transparent);
  QPainter P(&Picture);
  P.setRenderHint(QPainter::Antialiasing);
  const QRectF Area(QPointF(0, 0), QSizeF(Size));
  QLinearGradient Sky(Area.topLeft(), Area.bottomLeft());
  Sky.setColorAt(0.0, QColor(0x1B, 0x3A, 0x6B));
  Sky.setColorAt(0.55, QColor(0x0E, 0x22, 0x48));
  Sky.setColorAt(1.0, QColor(0x06, 0x10, 0x26));
  P.fillRect(Area, Sky);
  const QRectF Band(Area.left(), Area.top() + Area.height() * 0.18, Area.width(), Area.height() * 0.6);
  for (int Layer = 0; Layer < 3; ++Layer) {
    QColor Line(0x5F, 0xB4, 0xE8);
    Line.setAlphaF(0.18f + 0.12f * static_cast<float>(Layer));
    P.setPen(QPen(Line, 1.0 + Layer * 0.6));
    P.drawPath(Waveform(Band.adjusted(0, Layer * 6.0, 0, -Layer * 6.0), Layer * 1.3));
  }
  QLinearGradient Floor(Area.bottomLeft() - QPointF(0, Area.height() * 0.2), Area.bottomLeft());
  Floor.setColorAt(0.0, QColor(0, 0, 0, 0));
  Floor.setColorAt(1.0, QColor(0, 0, 0, 140));
  P.fillRect(Area, Floor);
  return Picture;
}

QPixmap PaintAboutPicture(const QSize& Size) {
  QPixmap Picture(Size);
  QPainter P(&Picture);
  P.setRenderHint(QPainter::Antialiasing);
  const QRectF Area(QPointF(0, 0), QSizeF(Size));
  QLinearGradient Band(Area.topLeft(), Area.bottomLeft());
  Band.setColorAt(0.0, QColor(0xE8, 0xEE, 0xF6));
  Band.setColorAt(1.0, QColor(0xC9, 0xD6, 0xE8));
  P.fillRect(Area, Band);
  P.setPen(QPen(QColor(0x1B, 0x3A, 0x6B, 110), 1.2));
  P.drawPath(Waveform(Area.adjusted(0, Area.height() * 0.15, 0, -Area.height() * 0.35), 0.4));
  return Picture;
}

}  // namespace corvane
