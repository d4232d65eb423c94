#include "app/FrameListModel.h"

#include <QColor>

#include "app/QtText.h"
#include "viewer/FrameRowText.h"

namespace corvane {
namespace {

const QColor ShadedRow(240, 240, 240);

}  // namespace

TFrameListModel::TFrameListModel(TFrameWindow& Frames, QObject* Parent) : QAbstractTableModel(Parent), FFrames(Frames) {}

int TFrameListModel::rowCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : FFrames.ListRowCount();
}

int TFrameListModel::columnCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : static_cast<int>(FrameListColumns.size());
}

QVariant TFrameListModel::data(const QModelIndex& Index, int Role) const {
  if (!Index.isValid()) return {};
  switch (Role) {
    case Qt::DisplayRole:
      return Q(FFrames.ListView1Data(Index.row())[static_cast<size_t>(Index.column())]);
    case Qt::BackgroundRole:
      if (FFrames.RowShaded(Index.row())) return ShadedRow;
      return {};
    default:
      return {};
  }
}

QVariant TFrameListModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
  if (Orientation != Qt::Horizontal || Role != Qt::DisplayRole || Section < 0 ||
      Section >= static_cast<int>(FrameListColumns.size()))
    return {};
  return Q(FrameListColumns[static_cast<size_t>(Section)].Header);
}

void TFrameListModel::Refresh() {
  beginResetModel();
  endResetModel();
}

}  // namespace corvane
