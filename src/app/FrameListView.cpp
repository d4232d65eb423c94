#include "app/FrameListView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace corvane {
namespace {

QStringList LocalFiles(const QMimeData* Data) {
  QStringList Files;
  if (!Data || !Data->hasUrls()) return Files;
  for (const QUrl& Url : Data->urls())
    if (Url.isLocalFile()) Files << Url.toLocalFile();
  return Files;
}

}  // namespace

TFrameListView::TFrameListView(QWidget* Parent) : QTableView(Parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setWordWrap(false);
  setTabKeyNavigation(false);
  // The list never holds more rows than it shows; its place in the file is the separate bar's.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setStretchLastSection(false);
  // The selected row stays as visible when the list does not have the focus.
  QPalette Colours = palette();
  Colours.setColor(QPalette::Inactive, QPalette::Highlight, Colours.color(QPalette::Active, QPalette::Highlight));
  Colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   Colours.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(Colours);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
}

int TFrameListView::SelectedRow() const {
  if (!selectionModel()) return -1;
  const QModelIndexList Rows = selectionModel()->selectedRows();
  return Rows.isEmpty() ? -1 : Rows.first().row();
}

void TFrameListView::SelectRow(int Row) {
  if (!selectionModel() || !model()) return;
  if (Row < 0 || Row >= model()->rowCount()) {
    selectionModel()->clearSelection();
    return;
  }
  const QModelIndex Index = model()->index(Row, 0);
  selectionModel()->setCurrentIndex(Index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int TFrameListView::FullyVisibleRows() const {
  const int RowHeight = verticalHeader()->defaultSectionSize();
  return RowHeight > 0 ? viewport()->height() / RowHeight : 0;
}

void TFrameListView::keyPressEvent(QKeyEvent* Event) {
  if (OnKeyDown && OnKeyDown(Event)) {
    Event->accept();
    return;
  }
  QTableView::keyPressEvent(Event);
}

void TFrameListView::keyReleaseEvent(QKeyEvent* Event) {
  QTableView::keyReleaseEvent(Event);
  // A key held down repeats its press; only the real release counts.
  if (OnKeyUp && !Event->isAutoRepeat()) OnKeyUp(Event);
}

void TFrameListView::mousePressEvent(QMouseEvent* Event) {
  QTableView::mousePressEvent(Event);
  if (OnMouseDown) OnMouseDown(Event);
}

void TFrameListView::dragEnterEvent(QDragEnterEvent* Event) {
  if (!LocalFiles(Event->mimeData()).isEmpty())
    Event->acceptProposedAction();
  else
    Event->ignore();
}

void TFrameListView::dragMoveEvent(QDragMoveEvent* Event) {
  if (!LocalFiles(Event->mimeData()).isEmpty())
    Event->acceptProposedAction();
  else
    Event->ignore();
}

void TFrameListView::dropEvent(QDropEvent* Event) {
  const QStringList Files = LocalFiles(Event->mimeData());
  if (Files.isEmpty()) {
    Event->ignore();
    return;
  }
  Event->acceptProposedAction();
  if (OnFilesDropped) OnFilesDropped(Files);
}

void TFrameListView::resizeEvent(QResizeEvent* Event) {
  QTableView::resizeEvent(Event);
  if (OnViewportResized) OnViewportResized();
}

}  // namespace corvane
