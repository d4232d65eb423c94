#pragma once
// The stream overview painted: lanes over the whole stream's time axis, one column per pixel of
// TStreamOverview::Columns: the bit rate, the loudness that dialnorm claims beside the measured
// short-term loudness, compr and dynrng, and a mark for every column with a problem (and a
// shorter one for a change). Hovering shows a column in words; a click hands on the offset of
// the frame there, or in the problem lane of the nearest problem. The columns are gathered again
// only when the width or the data changes.

#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "viewer/OverviewPicture.h"
#include "viewer/StreamOverview.h"

namespace corvane {

class TOverviewStrip : public QWidget {
  Q_OBJECT

 public:
  explicit TOverviewStrip(QWidget* Parent = nullptr);

  // What to paint (null for nothing); Refresh after it changed.
  void SetOverview(const TStreamOverview* Overview);
  void Refresh();
  // A line painted where the picture would be (while there is none).
  void SetNote(const QString& Note);

  // The lanes' places, for tests and for the window's own layout.
  using TLane = TOverviewLane;
  QRect LaneRect(TLane Lane) const;
  // The column under X, or -1 outside the plot.
  int32_t ColumnAt(int X) const;
  const std::vector<TOverviewSpan>& Columns() const { return FColumns; }

  std::function<void(int64_t Offset)> OnActivated;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;

 private:
  TOverviewLayout Layout() const;
  QRect PlotRect() const;
  void Gather();

  const TStreamOverview* FOverview = nullptr;
  std::vector<TOverviewSpan> FColumns;
  TOverviewSpan FWhole;
  QString FNote;
};

}  // namespace corvane
